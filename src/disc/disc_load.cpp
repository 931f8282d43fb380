#include "disc/disc_load.h"

#include <algorithm>
#include <cctype>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace morvex::disc {

namespace {

bool isDir(const fs::path& p) {
  std::error_code ec;
  return fs::is_directory(p, ec);
}

bool isFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec);
}

// One check line: folders as "[bl]NAME[/bl] folder: ...", files as "name: ...".
bool checkFolder(core::Log& log, const fs::path& base, const std::string& name) {
  bool ok = isDir(base / name);
  log.info("[bl]" + name + "[/bl] folder: " + (ok ? "[b]OK[/b]" : "[re]missing[/re]"));
  return ok;
}

bool checkFile(core::Log& log, const fs::path& base, const std::string& name) {
  bool ok = isFile(base / name);
  log.info(name + ": " + (ok ? "[b]OK[/b]" : "[re]missing[/re]"));
  return ok;
}

// Reads a file the check found; a file that will not open ends the load with the
// system's message.
bool readOrStop(core::Log& log, const fs::path& p, core::Bytes& bytes, DiscLoad& out) {
  std::string err;
  if (core::readWholeFile(p, bytes, err)) return true;
  log.error(core::displayPath(p) + ": " + err);
  out.reads.push_back(core::ReadResult::refusal(core::ReadIssue::CannotOpen, 0, core::displayPath(p) + ": " + err));
  out.stopped = true;
  return false;
}

std::vector<std::string> listWithStatus(core::Log& log, const fs::path& dir, const std::string& ext) {
  auto names = listNames(dir, ext);
  for (const auto& n : names) log.status(core::StatusPanel::Detail, "Checking " + n + ext);
  return names;
}

// Label of the file system mounted at `mountPoint`, found through the by-label device
// links; empty when there is none.
std::string volumeLabel(const fs::path& mountPoint) {
  struct stat st {};
  if (::stat(mountPoint.c_str(), &st) != 0) return "";
  std::error_code ec;
  for (fs::directory_iterator it("/dev/disk/by-label", ec), end; !ec && it != end; it.increment(ec)) {
    struct stat dev {};
    if (::stat(it->path().c_str(), &dev) != 0 || !S_ISBLK(dev.st_mode) || dev.st_rdev != st.st_dev) continue;
    // Link names escape unusual characters as \xHH.
    std::string raw = it->path().filename().string(), label;
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == '\\' && i + 3 < raw.size() && raw[i + 1] == 'x' && std::isxdigit(uint8_t(raw[i + 2])) &&
          std::isxdigit(uint8_t(raw[i + 3]))) {
        label.push_back(static_cast<char>(std::stoi(raw.substr(i + 2, 2), nullptr, 16)));
        i += 3;
      } else {
        label.push_back(raw[i]);
      }
    }
    return label;
  }
  return "";
}

bool isMountPoint(const fs::path& p) {
  if (p == p.root_path()) return true;
  struct stat a {}, b {};
  if (::stat(p.c_str(), &a) != 0 || ::stat(p.parent_path().c_str(), &b) != 0) return false;
  return a.st_dev != b.st_dev;
}

fs::path withoutTrailingSeparator(fs::path p) {
  std::string s = p.generic_string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return fs::path(s);
}

}  // namespace

std::vector<std::string> listNames(const fs::path& dir, const std::string& ext) {
  std::vector<std::string> out;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code fec;
    if (!it->is_regular_file(fec)) continue;
    std::string name = it->path().filename().string();
    if (!ext.empty() && (name.size() < ext.size() || name.compare(name.size() - ext.size(), ext.size(), ext) != 0))
      continue;
    size_t dot = name.rfind('.');
    out.push_back(dot == std::string::npos ? name : name.substr(0, dot));
  }
  // Directory listings come in no particular order here; names are shown sorted.
  std::sort(out.begin(), out.end());
  return out;
}

fs::path discFolderFor(const fs::path& chosen) {
  fs::path p = withoutTrailingSeparator(chosen);
  if (p.filename() == "BDMV") return p;
  return p / "BDMV";
}

std::string discLabel(const fs::path& bdmvFolder) {
  std::error_code ec;
  fs::path abs = fs::weakly_canonical(fs::absolute(withoutTrailingSeparator(bdmvFolder), ec), ec);
  fs::path parent = abs.parent_path();
  if (isMountPoint(parent)) {
    std::string label = volumeLabel(parent);
    if (!label.empty()) {
      std::transform(label.begin(), label.end(), label.begin(), [](unsigned char c) { return std::toupper(c); });
      return label;
    }
  }
  return parent.filename().string();
}

std::string windowTitle(const std::string& version, const std::string& label) {
  return "Morvex v" + version + " [" + label + "]";
}

DiscLoad loadDisc(const fs::path& bdmvFolder, const LoadOptions& options, core::Log& log) {
  DiscLoad out;
  out.folder = bdmvFolder;
  out.names = core::FileNames::make(options.use83names);
  const auto& names = out.names;
  const fs::path& dir = bdmvFolder;

  log.info("Checking required files and directories...");
  bool ok = true;
  ok &= checkFolder(log, dir, "PLAYLIST");
  ok &= checkFolder(log, dir, "CLIPINF");
  if (!options.use83names) ok &= checkFolder(log, dir, "BACKUP");
  ok &= checkFile(log, dir, names.indexfile);
  ok &= checkFile(log, dir, names.mobjfile);
  if (!ok) {
    log.error("[b]Check failed.[/b]");
    return out;
  }
  out.checkPassed = true;
  log.status(core::StatusPanel::Detail, "");

  // Movie objects first: the index screen offers their numbers.
  core::Bytes bytes;
  if (!readOrStop(log, dir / names.mobjfile, bytes, out)) return out;
  auto mobj = nav::readMovieObjectFile(bytes, names.mobjfile, out.movieObjects, log);
  out.mobjGood = mobj.usable();
  out.mobjTruncated = mobj.partial();
  out.reads.push_back(mobj);

  log.stage("Reading playlists");
  out.playlists = listWithStatus(log, dir / "PLAYLIST", names.playlistext);
  log.info("  Found [b]" + std::to_string(out.playlists.size()) + "[/b] playlists.");

  log.stage("Reading clipinfos");
  out.clipinfos = listWithStatus(log, dir / "CLIPINF", names.clipinfext);
  log.info("  Found [b]" + std::to_string(out.clipinfos.size()) + "[/b] clipinfos.");
  out.ciRefs.assign(out.clipinfos.size(), ClipInfoRefs{});

  if (isDir(dir / "BDJO")) {
    out.bdjObjects = listWithStatus(log, dir / "BDJO", "");
    out.bdjFirstPlayback = out.bdjTopMenu = out.bdjTitles = out.bdjObjects;
  }

  if (!readOrStop(log, dir / names.indexfile, bytes, out)) return out;
  auto idx = nav::readIndexTable(bytes, names.indexfile, out.index, log);
  out.indexGood = idx.usable();
  out.indexTruncated = idx.partial();
  out.reads.push_back(idx);
  // Too many titles: the load ends here.
  if (idx.refused() && idx.problems.back().kind == core::ReadIssue::CountCapped) {
    out.stopped = true;
    return out;
  }
  log.statusReady();

  if (checkFolder(log, dir, "AUXDATA") && checkFile(log, dir, "AUXDATA/sound.bdmv")) {
    if (!readOrStop(log, dir / "AUXDATA" / "sound.bdmv", bytes, out)) return out;
    auto snd = sound::readSoundFile(bytes, "sound.bdmv", out.sound, log);
    out.soundTruncated = snd.partial();
    out.reads.push_back(snd);
    out.hasSound = true;
  }

  out.discLabel = discLabel(dir);

  checkFolder(log, dir, "STREAM");
  out.avStreams.reserve(out.clipinfos.size());
  for (const auto& clip : out.clipinfos) {
    std::string file = clip + names.streamext;
    fs::path p = dir / "STREAM" / file;
    std::error_code ec;
    AvStream s;
    if (fs::exists(p, ec) && !fs::is_directory(p, ec)) {
      s.fileName = file;
      uint64_t size = fs::file_size(p, ec);
      s.size = ec ? 0 : size;
      ++out.streamsFound;
    } else {
      log.info("  Stream " + file + " " + "[re]missing[/re]");
      ++out.streamsMissing;
    }
    out.avStreams.push_back(std::move(s));
  }
  std::string summary = "  Found [b]" + std::to_string(out.streamsFound) + "[/b] AV streams";
  if (out.streamsMissing > 0) summary += ", [re]missing[/re] [b]" + std::to_string(out.streamsMissing) + "[/b]";
  log.info(summary);

  checkFolder(log, dir, "META");
  checkFolder(log, dir, "BDJO");
  checkFolder(log, dir, "JAR");
  log.info("");
  log.statusReady();
  out.complete = true;
  return out;
}

}  // namespace morvex::disc

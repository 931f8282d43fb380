#include "check/checker.h"

#include "core/stream_coding.h"

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <system_error>

#include "bdj/bdjo.h"
#include "core/text.h"
#include "check/menu_check.h"
#include "check/nav_check.h"
#include "check/player_rules.h"
#include "clip/clpi.h"
#include "core/binary.h"
#include "core/read_result.h"
#include "core/save.h"
#include "disc/disc_load.h"
#include "hdmv/command.h"
#include "nav/index.h"
#include "nav/movie_object.h"
#include "playlist/mpls.h"
#include "playlist/mpls_reader.h"
#include "sound/sound.h"

namespace morvex::check {

namespace fs = std::filesystem;
using core::Severity;

const char* severityName(Severity s) {
  switch (s) {
    case Severity::Error: return "error";
    case Severity::Warning: return "warning";
    case Severity::Info: return "info";
  }
  return "error";
}

std::optional<Severity> parseSeverity(const std::string& text) {
  if (text == "error") return Severity::Error;
  if (text == "warning") return Severity::Warning;
  if (text == "info") return Severity::Info;
  return std::nullopt;
}

size_t CheckReport::count(Severity s) const {
  return static_cast<size_t>(std::count_if(findings.begin(), findings.end(),
                                           [s](const Finding& f) { return f.severity == s; }));
}

std::vector<Finding> atLeast(const std::vector<Finding>& findings, Severity minimum) {
  std::vector<Finding> out;
  for (const auto& f : findings)
    if (static_cast<int>(f.severity) >= static_cast<int>(minimum)) out.push_back(f);
  return out;
}

std::string offsetText(uint64_t offset) { return "offset $" + core::hexText(offset, 8); }

void Sink::add(Severity s, std::string code, std::string location, std::string message) {
  out.push_back(Finding{s, std::move(code), file, std::move(location), std::nullopt, std::move(message)});
}

void Sink::addAt(Severity s, std::string code, uint64_t offset, std::string message) {
  out.push_back(Finding{s, std::move(code), file, offsetText(offset), offset, std::move(message)});
}

namespace {

std::string num(uint64_t v) { return std::to_string(v); }

// The reader's verdict as findings: each problem keeps its offset and message; a
// refusal for an unsupported version names the version.
void readFindings(Sink& sink, const std::string& kind, const core::ReadResult& r) {
  for (const auto& p : r.problems) {
    std::string what;
    switch (p.kind) {
      case core::ReadIssue::EndsEarly: what = "ends-early"; break;
      case core::ReadIssue::CountCapped: what = "count-capped"; break;
      case core::ReadIssue::SectionOutside: what = "section-outside"; break;
      case core::ReadIssue::Malformed: what = "malformed"; break;
      case core::ReadIssue::UnsupportedVersion: what = "unsupported-version"; break;
      case core::ReadIssue::WrongKind: what = "wrong-kind"; break;
      case core::ReadIssue::CannotOpen: what = "cannot-open"; break;
      case core::ReadIssue::Cancelled: what = "cancelled"; break;
      case core::ReadIssue::UnknownContent: what = "unknown-content"; break;
    }
    sink.addAt(Severity::Error, kind + ".read." + what, p.offset, p.message);
  }
}

// A read that is partial only because a stored length or address disagrees with what
// was read: the section rule names the section and its place, and the reader's lines are
// reported only when that rule finds nothing.
bool layoutOnly(const core::ReadResult& r) {
  return r.partial() && std::all_of(r.problems.begin(), r.problems.end(),
                                    [](const auto& p) { return p.kind == core::ReadIssue::Malformed; });
}

// The reader's findings and the section rule for one file (see layoutOnly).
void readAndSectionFindings(Sink& sink, const std::string& kind, const core::ReadResult& r,
                            const std::function<void()>& sections) {
  const size_t before = sink.out.size();
  const bool layout = layoutOnly(r);
  if (r.complete() || layout) sections();
  if (!layout || sink.out.size() == before) readFindings(sink, kind, r);
}

// One section of a file: where its address says it starts and how many bytes its
// length field (plus the field itself) says it covers.
struct Section {
  std::string name;
  uint64_t start = 0;
  uint64_t size = 0;
};

// Sections must not run into each other, and the file should end where the last one
// does: bytes after it are reported (a warning; a player ignores them), a section that
// runs past the file end or into the next is an error (its stored length is wrong).
void sectionFindings(Sink& sink, const std::string& kind, std::vector<Section> sections, uint64_t fileSize) {
  std::erase_if(sections, [](const Section& s) { return s.start == 0; });
  std::stable_sort(sections.begin(), sections.end(),
                   [](const Section& a, const Section& b) { return a.start < b.start; });
  uint64_t end = 0;
  for (size_t i = 0; i < sections.size(); ++i) {
    const auto& s = sections[i];
    const uint64_t sEnd = s.start + s.size;
    if (i + 1 < sections.size() && sEnd > sections[i + 1].start)
      sink.addAt(Severity::Error, kind + ".section.overlaps", s.start,
                 s.name + " at " + offsetText(s.start) + " stores a length of " + num(s.size - 4) +
                     " bytes and runs into " + sections[i + 1].name + " at " + offsetText(sections[i + 1].start));
    else if (sEnd > fileSize)
      sink.addAt(Severity::Error, kind + ".section.past-end", s.start,
                 s.name + " stores a length of " + num(s.size - 4) + " bytes, which runs " + num(sEnd - fileSize) +
                     " bytes past the end of the file");
    end = std::max(end, sEnd);
  }
  if (!sections.empty() && end < fileSize)
    sink.addAt(Severity::Warning, kind + ".trailing-bytes", end,
               num(fileSize - end) + " bytes follow the last section");
}

uint64_t extSize(const core::ExtensionData& e) { return e.length == 0 ? 0 : uint64_t(e.length) + 4; }

bool readFileBytes(const fs::path& p, core::Bytes& out, std::string& error) {
  return core::readWholeFile(p, out, error);
}

// Everything the cross-file checks need, filled while the files are read.
struct Disc {
  fs::path folder;
  core::FileNames names;
  nav::IndexTable index;
  bool indexRead = false;
  nav::MovieObjectFile mobj;
  bool mobjRead = false;
  std::map<std::string, playlist::Playlist> playlists;  // by five-digit name, usable reads only
  std::set<std::string> playlistFiles, clipFiles, bdjoFiles;
  std::map<std::string, clip::ClipInfo> clips;
};

std::set<std::string> namesIn(const fs::path& dir, const std::string& ext) {
  auto v = disc::listNames(dir, ext);
  return {v.begin(), v.end()};
}

// A playlist number as its file name ("00012").
std::string playlistName(uint32_t n) { return core::decimalText(n, 5); }

void checkIndexRefs(Sink& sink, const Disc& d) {
  const size_t objects = d.mobjRead ? d.mobj.movieObjects.objects.size() : 0;
  auto one = [&](const nav::Title& t, const std::string& where) {
    if (t.isHdmv()) {
      if (t.objectId == 0xFFFF) return;
      if (d.mobjRead && t.objectId >= objects)
        sink.add(Severity::Error, "index.title.object-missing", where,
                 where + " uses movie object " + num(t.objectId) + "; the disc has " + num(objects));
    } else if (!d.bdjoFiles.count(t.bdjFileName)) {
      sink.add(Severity::Error, "index.title.bdjo-missing", where,
               where + " uses BD-J object " + t.bdjFileName + ".bdjo, which is not in BDJO");
    }
  };
  one(d.index.indexes.firstPlayback, "First Playback");
  one(d.index.indexes.topMenu, "Top Menu");
  for (size_t i = 0; i < d.index.indexes.titles.size(); ++i)
    one(d.index.indexes.titles[i], "title " + num(i + 1));
}

// The rules a player imposes across playlists, clips and streams.
void checkPlayerRulesOf(std::vector<Finding>& out, const Disc& d, const CheckOptions& options) {
  PlayerRuleInput in;
  in.folder = d.folder;
  in.streamExt = d.names.streamext;
  in.clipExt = d.names.clipinfext;
  in.playlistExt = d.names.playlistext;
  in.index = d.indexRead ? &d.index : nullptr;
  in.mobj = d.mobjRead ? &d.mobj : nullptr;
  in.playlists = &d.playlists;
  in.clips = &d.clips;
  in.readStreams = options.streamMenus;
  checkPlayerRules(out, in);
}

}  // namespace

void checkCommands(Sink& sink, const hdmv::CommandList& cmds, hdmv::CmdContext ctx, const std::string& where,
                   const DiscFacts& facts) {
  const std::string kind = ctx == hdmv::CmdContext::MovieObject ? "mobj" : "button";
  for (size_t line = 0; line < cmds.size(); ++line) {
    const auto& c = cmds[line];
    const std::string loc = where + ", line " + num(line);
    if (!hdmv::isValid(c.opcode)) {
      sink.add(Severity::Error, kind + ".command.invalid", loc,
               "opcode " + core::hexText(c.opcode, 8) + " is not a command");
      continue;
    }
    const auto dec = hdmv::decode(c.opcode);
    const std::string name(hdmv::commandName(dec.group, dec.subGroup, dec.operation));
    if (hdmv::isForbidden(c.opcode, ctx)) {
      sink.add(Severity::Error, kind + ".command.forbidden", loc,
               name + " is not allowed in " +
                   (ctx == hdmv::CmdContext::MovieObject ? "a movie object" : "a button"));
      continue;
    }
    if (dec.group != 0) continue;
    if (dec.subGroup == 0 && dec.operation == 1 && dec.imm1 && c.dst >= cmds.size())
      sink.add(Severity::Error, kind + ".command.goto-out-of-range", loc,
               "GoTo " + num(c.dst) + " is past the last line (" + num(cmds.size() - 1) + ")");
    if (dec.subGroup == 1 && dec.imm1 && (dec.operation == 0 || dec.operation == 2) && facts.objects &&
        c.dst >= *facts.objects)
      sink.add(Severity::Error, kind + ".command.object-missing", loc,
               name + " " + num(c.dst) + ": the disc has " + num(*facts.objects) + " movie objects");
    // Title 0 is the Top Menu; titles count from 1.
    if (dec.subGroup == 1 && dec.imm1 && (dec.operation == 1 || dec.operation == 3) && facts.titles &&
        c.dst > *facts.titles)
      sink.add(Severity::Error, kind + ".command.title-missing", loc,
               name + " " + num(c.dst) + ": the disc has " + num(*facts.titles) + " titles");
    if (dec.subGroup == 2 && dec.operation <= 2 && dec.imm1 && facts.playlistFiles) {
      const std::string pl = playlistName(c.dst);
      if (c.dst > 99999 || !facts.playlistFiles->count(pl)) {
        sink.add(Severity::Error, kind + ".command.playlist-missing", loc,
                 name + " " + num(c.dst) + ": there is no playlist " + pl + facts.playlistExt);
        continue;
      }
      if (dec.operation == 0 || !dec.imm2 || !facts.playlists) continue;
      auto it = facts.playlists->find(pl);
      if (it == facts.playlists->end()) continue;  // read failed; reported on its own file
      const auto& m = it->second;
      if (dec.operation == 1 && c.src >= m.playList.playItems.size())
        sink.add(Severity::Error, kind + ".command.playitem-out-of-range", loc,
                 name + " " + num(c.dst) + " PlayItem " + num(c.src) + ": the playlist has " +
                     num(m.playList.playItems.size()) + " PlayItems");
      if (dec.operation == 2 && c.src >= m.playListMark.marks.size())
        sink.add(Severity::Error, kind + ".command.mark-out-of-range", loc,
                 name + " " + num(c.dst) + " mark " + num(c.src) + ": the playlist has " +
                     num(m.playListMark.marks.size()) + " marks");
    }
  }
}

namespace {

// HEVC streams and the Ultra HD fields belong to version 0300 files: a file of an
// earlier version naming HEVC is read by players that do not know it.
void checkHevcVersion(Sink& sink, const std::string& kind, const std::string& version, const std::string& where,
                      unsigned codingType) {
  if (version == "0300" || !core::isCoding(codingType, core::StreamCoding::Hevc)) return;
  sink.add(Severity::Error, kind + ".stream.hevc-needs-0300", where,
           where + " is an HEVC stream, which a version " + version + " file cannot carry (HEVC needs version 0300)");
}

// A PlayItem that ends before it starts.
void checkPlayItemTimes(Sink& sink, const playlist::PlayItem& pi, const std::string& where) {
  if (pi.outTime < pi.inTime)
    sink.add(Severity::Error, "mpls.playitem.out-before-in", where, where + " ends before it starts");
}

// Marks on a PlayItem the playlist lacks, or outside the PlayItem they name.
void checkMarks(Sink& sink, const playlist::Playlist& m) {
  const auto& pl = m.playList;
  const auto& marks = m.playListMark.marks;
  for (size_t i = 0; i < marks.size(); ++i) {
    const auto& mk = marks[i];
    const std::string where = "mark " + num(i);
    if (mk.playItemRef >= pl.playItems.size()) {
      sink.add(Severity::Error, "mpls.mark.playitem-out-of-range", where,
               where + " points at PlayItem " + num(mk.playItemRef) + "; the playlist has " +
                   num(pl.playItems.size()));
      continue;
    }
    const auto& pi = pl.playItems[mk.playItemRef];
    if (mk.timeStamp < pi.inTime || mk.timeStamp > pi.outTime)
      sink.add(Severity::Warning, "mpls.mark.time-outside-playitem", where,
               where + " at " + num(mk.timeStamp) + " lies outside PlayItem " + num(mk.playItemRef) + " (" +
                   num(pi.inTime) + ".." + num(pi.outTime) + ")");
  }
}

void checkPlaylist(Sink& sink, const playlist::Playlist& m, const Disc& d) {
  const auto& pl = m.playList;
  auto clipExists = [&](const std::string& name) { return d.clipFiles.count(name) != 0; };
  for (size_t i = 0; i < pl.playItems.size(); ++i) {
    const auto& pi = pl.playItems[i];
    const std::string where = "PlayItem " + num(i);
    if (!clipExists(pi.clipName))
      sink.add(Severity::Error, "mpls.playitem.clip-missing", where,
               where + " uses clip " + pi.clipName + d.names.clipinfext + ", which is not in CLIPINF");
    for (size_t a = 0; a < pi.multiClip.angles.size(); ++a)
      if (!clipExists(pi.multiClip.angles[a].clipName))
        sink.add(Severity::Error, "mpls.playitem.clip-missing", where + ", angle " + num(a + 1),
                 where + " angle " + num(a + 1) + " uses clip " + pi.multiClip.angles[a].clipName +
                     d.names.clipinfext + ", which is not in CLIPINF");
    checkPlayItemTimes(sink, pi, where);
    // Streams of types 2..4 come from a SubPath named by its id.
    for (int k = 0; k <= 6; ++k) {
      auto kind = static_cast<playlist::StreamKind>(k);
      const unsigned n = playlist::streamCount(pi.stn, kind);
      for (unsigned s = 0; s < n; ++s) {
        const auto* st = playlist::streamAt(pi.stn, kind, s);
        if (st) checkHevcVersion(sink, "mpls", m.version, where + ", stream " + num(k) + "/" + num(s), st->attr.codingType);
        if (!st || st->entry.type < 2 || st->entry.type > 4) continue;
        if (st->entry.subPathId >= pl.subPaths.size())
          sink.add(Severity::Error, "mpls.stream.subpath-missing", where + ", stream " + num(k) + "/" + num(s),
                   "a stream of " + where + " uses SubPath " + num(st->entry.subPathId) + "; the playlist has " +
                       num(pl.subPaths.size()));
      }
    }
  }
  for (size_t p = 0; p < pl.subPaths.size(); ++p)
    for (size_t i = 0; i < pl.subPaths[p].subPlayItems.size(); ++i) {
      const auto& spi = pl.subPaths[p].subPlayItems[i];
      const std::string where = "SubPath " + num(p) + ", SubPlayItem " + num(i);
      if (!clipExists(spi.clipName))
        sink.add(Severity::Error, "mpls.subplayitem.clip-missing", where,
                 where + " uses clip " + spi.clipName + d.names.clipinfext + ", which is not in CLIPINF");
      for (const auto& c : spi.clips)
        if (!clipExists(c.clipName))
          sink.add(Severity::Error, "mpls.subplayitem.clip-missing", where,
                   where + " uses clip " + c.clipName + d.names.clipinfext + ", which is not in CLIPINF");
    }
  checkMarks(sink, m);
}

// An Ultra HD disc has every navigation file at version 0300; a disc mixing 0300 files
// with earlier ones is read by no player as a whole.
void checkVersionMix(std::vector<Finding>& out, const std::vector<std::pair<std::string, std::string>>& versions,
                     const std::string& indexfile) {
  const std::pair<std::string, std::string>* uhd = nullptr;
  const std::pair<std::string, std::string>* older = nullptr;
  for (const auto& v : versions) {
    auto& first = v.second == "0300" ? uhd : older;
    if (!first) first = &v;
  }
  if (!uhd || !older) return;
  Sink sink{indexfile, out};
  sink.add(Severity::Error, "disc.versions-mixed", "disc",
           "the disc mixes version 0300 (Ultra HD) files with older ones: " + uhd->first + " is " + uhd->second + ", " +
               older->first + " is " + older->second);
}

void compareBackup(std::vector<Finding>& out, const fs::path& folder, const std::string& rel, bool required) {
  Sink sink{rel, out};
  const fs::path orig = folder / rel, copy = folder / "BACKUP" / rel;
  std::error_code ec;
  if (!fs::is_regular_file(copy, ec)) {
    if (required)
      sink.add(Severity::Warning, "backup.missing", "BACKUP", "there is no copy in BACKUP/" + rel);
    return;
  }
  core::Bytes a, b;
  std::string err;
  if (!readFileBytes(orig, a, err) || !readFileBytes(copy, b, err)) return;
  if (a == b) return;
  size_t at = 0;
  while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
  sink.addAt(Severity::Warning, "backup.differs", at,
             "the copy in BACKUP differs from the original from " + offsetText(at) +
                 (a.size() != b.size() ? " (" + num(a.size()) + " bytes against " + num(b.size()) + ")" : "") +
                 "; \"Save to BACKUP dir\" keeps it in step when files are saved");
}

// Groups the findings by file, keeping each file's order.
CheckReport finishReport(CheckReport rep) {
  auto& out = rep.findings;
  std::map<std::string, size_t> firstSeen;
  for (size_t i = 0; i < out.size(); ++i) firstSeen.emplace(out[i].file, i);
  std::stable_sort(out.begin(), out.end(), [&](const Finding& a, const Finding& b) {
    return firstSeen[a.file] < firstSeen[b.file];
  });
  return rep;
}

}  // namespace

CheckReport checkDisc(const fs::path& chosen, const CheckOptions& options) {
  CheckReport rep;
  std::error_code ec;
  fs::path start = chosen;
  if (fs::is_regular_file(start, ec)) start = start.parent_path();
  rep.folder = disc::discFolderFor(start);
  Disc d;
  d.folder = rep.folder;
  d.names = core::FileNames::make(options.use83names);
  if (!fs::is_directory(d.folder, ec)) {
    rep.failure = d.folder.string() + ": no such folder";
    return rep;
  }
  if (!fs::is_regular_file(d.folder / d.names.indexfile, ec)) {
    rep.failure = d.folder.string() + ": there is no " + d.names.indexfile + " (not a disc folder)";
    return rep;
  }
  rep.checked = true;
  auto& out = rep.findings;
  core::NullLog log;
  std::vector<std::pair<std::string, std::string>> versions;  // file, version of every file read

  d.playlistFiles = namesIn(d.folder / "PLAYLIST", d.names.playlistext);
  d.clipFiles = namesIn(d.folder / "CLIPINF", d.names.clipinfext);
  d.bdjoFiles = namesIn(d.folder / "BDJO", ".bdjo");

  // Progress counts files: the navigation files, then every playlist, clip and BD-J
  // object read, then their BACKUP copies compared. Cancel is honoured between files.
  core::Progress* progress = options.progress;
  const uint64_t perPass = d.playlistFiles.size() + d.clipFiles.size() + d.bdjoFiles.size();
  if (progress) progress->setTotal(3 + 2 * perPass + options.menuFiles.size());
  uint64_t done = 0;
  auto step = [&] {
    if (progress) progress->setPosition(++done);
  };
  auto stop = [&] {
    if (!progress || !progress->cancelled()) return false;
    rep.cancelled = true;
    return true;
  };

  // index and movie objects.
  {
    Sink sink{d.names.indexfile, out};
    core::Bytes img;
    std::string err;
    if (!readFileBytes(d.folder / d.names.indexfile, img, err)) {
      sink.add(Severity::Error, "index.read.cannot-open", "file", err);
    } else {
      auto r = nav::readIndexTable(img, d.names.indexfile, d.index, log);
      d.indexRead = r.usable();
      if (r.usable()) versions.emplace_back(d.names.indexfile, core::versionText(d.index.version));
      readAndSectionFindings(sink, "index", r, [&] {
        sectionFindings(sink, "index",
                        {{"AppInfoBDMV", 40, uint64_t(d.index.appInfoLength) + 4},
                         {"Indexes", d.index.indexesStartAddress, uint64_t(d.index.indexes.length) + 4},
                         {"ExtensionData", d.index.extensionDataStartAddress, extSize(d.index.extensionData)}},
                        img.size());
      });
    }
  }
  {
    Sink sink{d.names.mobjfile, out};
    core::Bytes img;
    std::string err;
    if (!fs::is_regular_file(d.folder / d.names.mobjfile, ec)) {
      sink.add(Severity::Error, "mobj.missing", "file", "there is no " + d.names.mobjfile);
    } else if (!readFileBytes(d.folder / d.names.mobjfile, img, err)) {
      sink.add(Severity::Error, "mobj.read.cannot-open", "file", err);
    } else {
      auto r = nav::readMovieObjectFile(img, d.names.mobjfile, d.mobj, log);
      d.mobjRead = r.usable();
      if (r.usable()) versions.emplace_back(d.names.mobjfile, d.mobj.version);
      readAndSectionFindings(sink, "mobj", r, [&] {
        sectionFindings(sink, "mobj",
                        {{"MovieObjects", 40, uint64_t(d.mobj.movieObjects.length) + 4},
                         {"ExtensionData", d.mobj.extensionDataStartAddress, extSize(d.mobj.extensionData)}},
                        img.size());
      });
    }
  }
  // Sound file (optional).
  {
    const fs::path snd = d.folder / "AUXDATA" / "sound.bdmv";
    if (fs::is_regular_file(snd, ec)) {
      Sink sink{"AUXDATA/sound.bdmv", out};
      core::Bytes img;
      std::string err;
      sound::SoundFile model;
      if (readFileBytes(snd, img, err)) readFindings(sink, "sound", sound::readSoundFile(img, "sound.bdmv", model, log));
    }
  }

  done = 3;
  if (progress) progress->setPosition(done);
  if (stop()) return finishReport(std::move(rep));

  // Playlists: read all first, the references between them need every model.
  for (const auto& name : d.playlistFiles) {
    if (stop()) return finishReport(std::move(rep));
    step();
    const std::string rel = "PLAYLIST/" + name + d.names.playlistext;
    Sink sink{rel, out};
    core::Bytes img;
    std::string err;
    if (!readFileBytes(d.folder / rel, img, err)) {
      sink.add(Severity::Error, "mpls.read.cannot-open", "file", err);
      continue;
    }
    playlist::Playlist m;
    playlist::ReadOptions ro;
    ro.silent = true;
    auto r = playlist::readPlaylist(img, name + d.names.playlistext, m, log, ro);
    readAndSectionFindings(sink, "mpls", r, [&] {
      sectionFindings(sink, "mpls",
                      {{"AppInfoPlayList", 40, uint64_t(m.appInfo.length) + 4},
                       {"PlayList", m.playListStart, uint64_t(m.playList.length) + 4},
                       {"PlayListMark", m.markStart, uint64_t(m.playListMark.length) + 4},
                       {"ExtensionData", m.extDataStart, extSize(m.extData)}},
                      img.size());
    });
    if (r.usable()) {
      versions.emplace_back(rel, m.version);
      d.playlists.emplace(name, std::move(m));
    }
  }

  DiscFacts facts;
  if (d.mobjRead) facts.objects = d.mobj.movieObjects.objects.size();
  if (d.indexRead) facts.titles = d.index.indexes.titles.size();
  facts.playlistFiles = &d.playlistFiles;
  facts.playlists = &d.playlists;
  facts.playlistExt = d.names.playlistext;

  // Cross-file checks of index and movie objects, in those files' groups.
  {
    std::vector<Finding> more;
    Sink isink{d.names.indexfile, more};
    if (d.indexRead) checkIndexRefs(isink, d);
    Sink msink{d.names.mobjfile, more};
    if (d.mobjRead)
      for (size_t i = 0; i < d.mobj.movieObjects.objects.size(); ++i)
        checkCommands(msink, d.mobj.movieObjects.objects[i].commands, hdmv::CmdContext::MovieObject,
                      "object " + num(i), facts);
    out.insert(out.end(), more.begin(), more.end());
  }
  for (const auto& [name, m] : d.playlists) {
    Sink sink{"PLAYLIST/" + name + d.names.playlistext, out};
    checkPlaylist(sink, m, d);
  }

  // Clip information: stream file present and of the size the packet count says.
  for (const auto& name : d.clipFiles) {
    if (stop()) return finishReport(std::move(rep));
    step();
    const std::string rel = "CLIPINF/" + name + d.names.clipinfext;
    Sink sink{rel, out};
    core::Bytes img;
    std::string err;
    if (!readFileBytes(d.folder / rel, img, err)) {
      sink.add(Severity::Error, "clpi.read.cannot-open", "file", err);
      continue;
    }
    clip::ClipInfo c;
    auto r = clip::readClipInfo(img, name + d.names.clipinfext, c, log);
    if (!r.usable()) {
      readFindings(sink, "clpi", r);
      continue;
    }
    versions.emplace_back(rel, c.version);
    for (const auto& ps : c.programInfo.programSequences)
      for (size_t i = 0; i < ps.streams.size(); ++i)
        checkHevcVersion(sink, "clpi", c.version, "ProgramInfo stream " + num(i), ps.streams[i].codingType);
    readAndSectionFindings(sink, "clpi", r, [&] {
      sectionFindings(sink, "clpi",
                      {{"ClipInfo", 40, uint64_t(c.clipInfo.length) + 4},
                       {"SequenceInfo", c.sequenceInfoStart, uint64_t(c.sequenceInfo.length) + 4},
                       {"ProgramInfo", c.programInfoStart, uint64_t(c.programInfo.length) + 4},
                       {"CPI", c.cpiStart, uint64_t(c.cpi.length) + 4},
                       {"ClipMark", c.clipMarkStart, uint64_t(c.clipMarkLength) + 4},
                       {"ExtensionData", c.extensionDataStart, extSize(c.extensionData)}},
                      img.size());
    });
    const fs::path stream = d.folder / "STREAM" / (name + d.names.streamext);
    if (!fs::is_regular_file(stream, ec)) {
      sink.add(Severity::Warning, "clpi.stream-missing", "ClipInfo",
               "the stream file STREAM/" + name + d.names.streamext + " is missing");
    } else {
      const uint64_t size = fs::file_size(stream, ec);
      if (!ec) {
        if (auto packets = clip::packetCountMismatch(c, size))
          sink.addAt(Severity::Error, "clpi.clipinfo.packet-count", 56,
                     "ClipInfo stores " + num(c.clipInfo.numberOfSourcePackets) + " source packets; the stream file holds " +
                         num(*packets));
        if (options.streamMenus) checkStreamMenus(out, d.folder, "STREAM/" + name + d.names.streamext, c, facts);
      }
    }
    d.clips.emplace(name, std::move(c));
  }

  checkVersionMix(out, versions, d.names.indexfile);

  // BD-J objects: the playlists they may play.
  for (const auto& name : d.bdjoFiles) {
    if (stop()) return finishReport(std::move(rep));
    step();
    const std::string rel = "BDJO/" + name + ".bdjo";
    Sink sink{rel, out};
    core::Bytes img;
    std::string err;
    if (!readFileBytes(d.folder / rel, img, err)) {
      sink.add(Severity::Error, "bdjo.read.cannot-open", "file", err);
      continue;
    }
    bdj::BdjObject b;
    auto r = bdj::readBdjObject(img, name + ".bdjo", b, log);
    readFindings(sink, "bdjo", r);
    if (!r.usable()) continue;
    const auto& pls = b.accessiblePlaylists.playlists;
    for (size_t i = 0; i < pls.size(); ++i)
      if (!d.playlistFiles.count(pls[i]))
        sink.add(Severity::Error, "bdjo.playlist-missing", "accessible playlist " + num(i),
                 "accessible playlist " + pls[i] + " is not in PLAYLIST");
  }

  // What the navigation reaches, walked from the models read above. A navigation
  // that already points at objects, titles or playlists that are not there is
  // reported for that; what a walk over it misses follows from those faults.
  const bool navFaults = std::any_of(out.begin(), out.end(), [&](const Finding& f) {
    return f.severity == Severity::Error && (f.file == d.names.indexfile || f.file == d.names.mobjfile);
  });
  if (d.indexRead && d.mobjRead && !navFaults) {
    disc::NavigationDisc nd;
    nd.index = d.index;
    nd.movieObjects = d.mobj;
    nd.playlistFiles = d.playlistFiles;
    nd.playlists = d.playlists;
    std::vector<disc::FileRead> menuReads;  // their faults are the stream menu checks' to report
    if (options.streamMenus) disc::readStreamMenus(d.folder, nd, d.names, menuReads);
    checkNavigation(out, nd, d.names);
  }

  // BACKUP copies.
  if (!options.use83names) {
    compareBackup(out, d.folder, d.names.indexfile, true);
    compareBackup(out, d.folder, d.names.mobjfile, true);
    auto backups = [&](const std::set<std::string>& names, const std::string& dir, const std::string& ext) {
      for (const auto& n : names) {
        if (stop()) return false;
        step();
        compareBackup(out, d.folder, dir + n + ext, false);
      }
      return true;
    };
    if (!backups(d.playlistFiles, "PLAYLIST/", d.names.playlistext) ||
        !backups(d.clipFiles, "CLIPINF/", d.names.clipinfext) || !backups(d.bdjoFiles, "BDJO/", ".bdjo"))
      return finishReport(std::move(rep));
  } else {
    done += perPass;
  }

  checkPlayerRulesOf(out, d, options);

  for (const auto& mnu : options.menuFiles) {
    if (stop()) return finishReport(std::move(rep));
    step();
    checkMenuFile(out, mnu, facts);
  }
  return finishReport(std::move(rep));
}

std::vector<Finding> checkPlaylistTimes(const playlist::Playlist& m, const std::string& file) {
  std::vector<Finding> out;
  Sink sink{file, out};
  for (size_t i = 0; i < m.playList.playItems.size(); ++i)
    checkPlayItemTimes(sink, m.playList.playItems[i], "PlayItem " + num(i));
  checkMarks(sink, m);
  return out;
}

}  // namespace morvex::check

#include "nav/movie_object.h"

#include "nav/index.h"

namespace morvex::nav {

std::string resumeText(uint8_t flag) { return flag ? "suspend" : "discard"; }
std::string maskText(uint8_t flag) { return flag ? "disable" : "enable"; }

uint32_t movieObjectsLength(const TObjects& objs) {
  uint64_t len = 6;
  for (const auto& o : objs.objects) len += 4 + 12 * uint64_t(o.commands.size());
  return static_cast<uint32_t>(len);
}

core::ReadResult readMovieObjects(const core::Bytes& image, const std::string& mobjfile, TMOBJ& mobj,
                                  core::Log& log) {
  core::ReadResult res;
  bool truncated = false;
  log.dlog0("Reading " + mobjfile);
  mobj.movieObjects.objects.clear();
  core::Reader r(image);

  std::string type = r.readstring(4);
  std::string version = r.readstring(4);
  if (type != "MOBJ" || (version != "0100" && version != "0200")) {
    log.erlog("Format error " + mobjfile);
    if (type == "MOBJ" && image.size() >= 8)
      res.refuse(core::ReadIssue::UnsupportedVersion, 4, core::unsupportedVersionMessage(mobjfile, version));
    else
      res.refuse(core::ReadIssue::WrongKind, 0, mobjfile + ": not a movie-object file");
    return res;
  }
  mobj.typeIndicator = type;
  mobj.version = version;
  mobj.extensionDataStartAddress = r.readlong();
  for (auto& b : mobj.reserved) b = r.readbyte();
  mobj.movieObjects.length = r.readlong();
  mobj.movieObjects.reserved = r.readlong();
  unsigned n = r.readword();
  const size_t size = image.size();

  auto& objects = mobj.movieObjects.objects;
  // Every object takes at least 4 bytes, every command 12: the lists never grow
  // beyond what the remaining bytes can hold.
  objects.reserve(std::min<size_t>(n, r.remaining() / 4));
  bool stop = r.overrun();
  for (unsigned i = 0; i < n && !stop; ++i) {
    if (!r.has(4)) {
      truncated = true;
      break;
    }
    Tmobject o;
    uint16_t flags = r.readword();
    o.resumeIntentionFlag = (flags >> 15) & 1;
    o.menuCallMask = (flags >> 14) & 1;
    o.titleSearchMask = (flags >> 13) & 1;
    unsigned count = r.readword();
    o.commands.reserve(std::min<size_t>(count, r.remaining() / 12));
    for (unsigned j = 0; j < count; ++j) {
      if (!r.has(12)) {
        truncated = true;
        stop = true;
        break;
      }
      hdmv::TCommand c;
      c.opcode = r.readlong();
      c.dst = r.readlong();
      c.src = r.readlong();
      o.commands.push_back(c);
      // A file may end right after a command: reading stops there.
      if (r.pos() == size) {
        stop = true;
        if (j + 1 < count) truncated = true;
        break;
      }
    }
    objects.push_back(std::move(o));
    if (r.pos() == size) {
      stop = true;
      if (i + 1 < n) truncated = true;
    } else {
      log.slog(std::to_string(r.pos()) + "/" + std::to_string(size), 1);
    }
  }
  if (r.overrun()) truncated = true;
  if (truncated) {
    std::string what = mobjfile + " ends early at " + hexPos(size) + " (" + std::to_string(objects.size()) + " of " +
                       std::to_string(n) + " objects read)";
    log.erlog(what);
    res.addPartial(core::ReadIssue::EndsEarly, size, what);
  }

  mobj.extensionData = core::TExtensionData{};
  if (mobj.extensionDataStartAddress != 0 && !truncated) {
    core::ReadExtensionData(r, mobj.extensionData);
    if (r.overrun())
      res.addPartial(core::ReadIssue::EndsEarly, size,
                     mobjfile + " ends early at " + hexPos(size) + " (inside ExtensionData)");
  }

  log.log("  Found [b]" + std::to_string(objects.size()) + "[/b] objects, [b]" +
          std::to_string(mobj.extensionData.entries.size()) + "[/b] extended entry.");
  return res;
}

core::Bytes mobjBytes(const TMOBJ& mobj) {
  core::ByteWriter w;
  w.putstring(mobj.typeIndicator, 0, 4);
  w.putstring(mobj.version, 4, 4);
  w.putlong(mobj.extensionDataStartAddress, 8);
  for (size_t i = 0; i < mobj.reserved.size(); ++i) w.putbyte(mobj.reserved[i], 12 + i);
  const auto& objs = mobj.movieObjects;
  w.putlong(objs.length, 40);
  w.putlong(objs.reserved, 44);
  w.putword(static_cast<uint32_t>(objs.objects.size() & 0xFFFF), 48);
  for (const auto& o : objs.objects) {
    w.addword(uint32_t((o.resumeIntentionFlag & 1) * 4 + (o.menuCallMask & 1) * 2 + (o.titleSearchMask & 1)) << 13);
    w.addword(static_cast<uint32_t>(o.commands.size() & 0xFFFF));
    for (const auto& c : o.commands) {
      w.addlong(c.opcode);
      w.addlong(c.dst);
      w.addlong(c.src);
    }
  }
  if (mobj.extensionDataStartAddress != 0) core::WriteExtensionDataFullHead(w, mobj.extensionData);
  return w.take();
}

bool mobjsave(core::Log& log, const core::SaveSettings& settings, const std::filesystem::path& discFolder,
              const core::FileNames& names, const TMOBJ& mobj) {
  core::SaveRequest req;
  req.folder = discFolder;
  req.fileName = names.mobjfile;
  req.startMessage = "Saving [bl]" + names.mobjfile + "[/bl]";
  req.doneMessage = names.mobjfile + " saved.";
  req.copyToBackupDir = true;
  req.discFolder = discFolder;
  return core::saveFile(log, settings, req, mobjBytes(mobj));
}

}  // namespace morvex::nav

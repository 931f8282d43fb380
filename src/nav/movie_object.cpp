#include "nav/movie_object.h"

#include "nav/index.h"

namespace morvex::nav {

std::string resumeText(uint8_t flag) { return flag ? "suspend" : "discard"; }
std::string maskText(uint8_t flag) { return flag ? "disable" : "enable"; }

uint32_t movieObjectsLength(const MovieObjectList& objs) {
  uint64_t len = 6;
  for (const auto& o : objs.objects) len += 4 + 12 * uint64_t(o.commands.size());
  return static_cast<uint32_t>(len);
}

core::ReadResult readMovieObjectFile(const core::Bytes& image, const std::string& mobjfile, MovieObjectFile& mobj,
                                  core::Log& log) {
  core::ReadResult res;
  bool truncated = false;
  log.stage("Reading " + mobjfile);
  mobj.movieObjects.objects.clear();
  core::Reader r(image);

  std::string type = r.readString(4);
  std::string version = r.readString(4);
  if (type != "MOBJ" || (version != "0100" && version != "0200" && version != "0300")) {
    log.error("Format error " + mobjfile);
    if (type == "MOBJ" && image.size() >= 8)
      res.refuse(core::ReadIssue::UnsupportedVersion, 4, core::unsupportedVersionMessage(mobjfile, version));
    else
      res.refuse(core::ReadIssue::WrongKind, 0, mobjfile + ": not a movie-object file");
    return res;
  }
  mobj.typeIndicator = type;
  mobj.version = version;
  mobj.extensionDataStartAddress = r.readU32();
  for (auto& b : mobj.reserved) b = r.readU8();
  mobj.movieObjects.length = r.readU32();
  mobj.movieObjects.reserved = r.readU32();
  unsigned n = r.readU16();
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
    MovieObject o;
    uint16_t flags = r.readU16();
    o.resumeIntentionFlag = (flags >> 15) & 1;
    o.menuCallMask = (flags >> 14) & 1;
    o.titleSearchMask = (flags >> 13) & 1;
    unsigned count = r.readU16();
    o.commands.reserve(std::min<size_t>(count, r.remaining() / 12));
    for (unsigned j = 0; j < count; ++j) {
      if (!r.has(12)) {
        truncated = true;
        stop = true;
        break;
      }
      hdmv::Command c;
      c.opcode = r.readU32();
      c.dst = r.readU32();
      c.src = r.readU32();
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
      log.status(core::StatusPanel::Detail, std::to_string(r.pos()) + "/" + std::to_string(size));
    }
  }
  if (r.overrun()) truncated = true;
  if (truncated) {
    std::string what = mobjfile + " ends early at " + hexPos(size) + " (" + std::to_string(objects.size()) + " of " +
                       std::to_string(n) + " objects read)";
    log.error(what);
    res.addPartial(core::ReadIssue::EndsEarly, size, what);
  }

  mobj.extensionData = core::ExtensionData{};
  if (mobj.extensionDataStartAddress != 0 && !truncated) {
    const uint64_t blockStart = r.pos();
    const uint64_t readAt = blockStart;
    core::readExtensionData(r, mobj.extensionData);
    if (r.overrun() || (version == "0300" && core::extensionDataCutShort(mobj.extensionData, blockStart, size)))
      res.addPartial(core::ReadIssue::EndsEarly, size,
                     mobjfile + " ends early at " + hexPos(size) + " (inside ExtensionData)");
    else
      core::checkExtensionDataLayout(mobj.extensionData, mobj.extensionDataStartAddress, readAt, mobjfile, res);
  }
  // MovieObjects() starts at byte 40 and its length counts the bytes after the length
  // field: the reserved word, the count and the objects as read.
  if (res.complete()) {
    const uint32_t held = movieObjectsLength(mobj.movieObjects);
    if (mobj.movieObjects.length != held)
      res.addLayoutMismatch(mobjfile, "MovieObjects length", mobj.movieObjects.length, held);
  }

  // An Ultra HD file is taken only when the writer gives back every byte of it (the
  // flag words' low bits, anything between the objects and ExtensionData()).
  if (version == "0300" && res.complete()) {
    int64_t at = core::firstDifference(image, writeMovieObjectFile(mobj));
    if (at >= 0) {
      log.error("Format error " + mobjfile);
      core::refuseUnknownContent(res, mobjfile, uint64_t(at), uint64_t(at) < 40 ? "header bytes" : "MovieObjects() bytes");
      mobj.movieObjects.objects.clear();
      return res;
    }
  }

  log.info("  Found [b]" + std::to_string(objects.size()) + "[/b] objects, [b]" +
          std::to_string(mobj.extensionData.entries.size()) + "[/b] extended entry.");
  return res;
}

core::Bytes writeMovieObjectFile(const MovieObjectFile& mobj) {
  core::ByteWriter w;
  w.putString(mobj.typeIndicator, 0, 4);
  w.putString(mobj.version, 4, 4);
  w.putU32(mobj.extensionDataStartAddress, 8);
  for (size_t i = 0; i < mobj.reserved.size(); ++i) w.putU8(mobj.reserved[i], 12 + i);
  const auto& objs = mobj.movieObjects;
  w.putU32(objs.length, 40);
  w.putU32(objs.reserved, 44);
  w.putU16(static_cast<uint32_t>(objs.objects.size() & 0xFFFF), 48);
  for (const auto& o : objs.objects) {
    w.addU16(uint32_t((o.resumeIntentionFlag & 1) * 4 + (o.menuCallMask & 1) * 2 + (o.titleSearchMask & 1)) << 13);
    w.addU16(static_cast<uint32_t>(o.commands.size() & 0xFFFF));
    for (const auto& c : o.commands) {
      w.addU32(c.opcode);
      w.addU32(c.dst);
      w.addU32(c.src);
    }
  }
  if (mobj.extensionDataStartAddress != 0) core::writeExtensionDataFullHead(w, mobj.extensionData);
  return w.take();
}

core::WriteResult saveMovieObjectFile(const MovieObjectFile& mobj, const std::filesystem::path& discFolder,
                                      const std::string& fileName, const core::SaveSettings& settings, core::Log& log) {
  return core::saveFile(log, settings, core::discFileRequest(discFolder, fileName), writeMovieObjectFile(mobj));
}

}  // namespace morvex::nav

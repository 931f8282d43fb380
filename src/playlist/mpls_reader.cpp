#include "playlist/mpls_reader.h"

#include <algorithm>

#include "core/save.h"
#include "core/stream_coding.h"
#include "core/text.h"
#include "playlist/mpls_writer.h"

namespace morvex::playlist {

using core::Reader;

namespace {

// The reader consumes exactly the bytes laid down for each field; the length bytes of
// entries and attributes are kept but never used to skip. An entry always takes 10
// bytes and an attributes block 6, whatever the stream type or coding type: the writer
// puts them down at that size for every type, so a stream whose type is unknown (or
// was set to "---" in the editor) still reads back, and the streams after it with it.
void readEntry(Reader& r, StreamEntry& e) {
  e.length = r.readU8();
  e.type = r.readU8();
  switch (e.type) {
    case 1:
      e.mainPID = r.readU16();
      r.skip(6);
      break;
    case 2:
      e.subPathId = r.readU8();
      e.subClipId = r.readU8();
      e.subPID = r.readU16();
      r.skip(4);
      break;
    case 3:
      e.subPathId = r.readU8();
      e.mainPID = r.readU16();
      r.skip(5);
      break;
    default:
      r.skip(8);
      break;
  }
}

void readAttributes(Reader& r, StreamAttributes& a) {
  a.length = r.readU8();
  a.codingType = r.readU8();
  const unsigned t = a.codingType;
  if (core::isVideoCoding(t)) {
    uint8_t b = r.readU8();
    a.videoFormat = b >> 4;
    a.frameRate = b & 0x0F;
    if (core::isCoding(t, core::StreamCoding::Hevc)) {
      b = r.readU8();
      a.dynamicRangeType = b >> 4;
      a.colorSpace = b & 0x0F;
      b = r.readU8();
      a.crFlag = b >> 7;
      a.hdrPlusFlag = (b >> 6) & 1;
      r.skip(1);
    } else {
      r.skip(3);
    }
  } else if (core::isAudioCoding(t)) {
    uint8_t b = r.readU8();
    a.audioPresentation = b >> 4;
    a.samplingFrequency = b & 0x0F;
    a.language = r.readString(3);
  } else if (core::isGraphicsCoding(t)) {
    a.language = r.readString(3);
    r.skip(1);
  } else if (core::isTextSubtitleCoding(t)) {
    a.charCode = r.readU8();
    a.language = r.readString(3);
  } else {
    r.skip(4);
  }
}

void readStream(Reader& r, Stream& s) {
  readEntry(r, s.entry);
  readAttributes(r, s.attr);
}

// A reference list: count, reserved byte, the references, and a padding byte when the
// count is odd. References are read only while the image holds them.
std::vector<uint8_t> readRefs(Reader& r) {
  unsigned n = r.readU8();
  r.skip(1);
  std::vector<uint8_t> refs;
  for (unsigned i = 0; i < n && !r.atEnd(); ++i) refs.push_back(r.readU8());
  if (refs.size() < n) r.skip(n - refs.size());
  if (n & 1) r.skip(1);
  return refs;
}

// Reads `count` streams into `list`, stopping at the end of the image so a garbage
// count never allocates more than the bytes that remain can fill.
template <typename T, typename Fn>
void readList(Reader& r, std::vector<T>& list, unsigned count, Fn readOne) {
  list.clear();
  for (unsigned i = 0; i < count; ++i) {
    if (r.atEnd()) {
      r.skip(1);  // marks the read as short
      return;
    }
    list.emplace_back();
    readOne(r, list.back());
  }
}

void readSTN(Reader& r, StreamTable& stn) {
  stn.length = r.readU16();
  stn.reserved = r.readU16();
  stn.numVideo = r.readU8();
  stn.numAudio = r.readU8();
  stn.numPG = r.readU8();
  stn.numIG = r.readU8();
  stn.numSecAudio = r.readU8();
  stn.numSecVideo = r.readU8();
  stn.numPIPPG = r.readU8();
  stn.numDV = r.readU8();
  r.skip(4);
  auto plain = [](Reader& rr, Stream& s) { readStream(rr, s); };
  readList(r, stn.video, stn.numVideo, plain);
  readList(r, stn.audio, stn.numAudio, plain);
  readList(r, stn.pg, unsigned(stn.numPG) + stn.numPIPPG, plain);
  readList(r, stn.ig, stn.numIG, plain);
  readList(r, stn.secAudio, stn.numSecAudio, [](Reader& rr, SecondaryAudioStream& s) {
    readStream(rr, s);
    s.primaryAudioRefs = readRefs(rr);
  });
  readList(r, stn.secVideo, stn.numSecVideo, [](Reader& rr, SecondaryVideoStream& s) {
    readStream(rr, s);
    s.secAudioRefs = readRefs(rr);
    s.pipPGRefs = readRefs(rr);
  });
  readList(r, stn.dv, stn.numDV, plain);
}

ClipRef readClipRef(Reader& r) {
  ClipRef c;
  c.clipName = r.readString(5);
  c.codecId = r.readString(4);
  c.stcId = r.readU8();
  return c;
}

void readPlayItem(Reader& r, PlayItem& pi) {
  pi.length = r.readU16();
  pi.clipName = r.readString(5);
  pi.codecId = r.readString(4);
  uint16_t w = r.readU16();
  pi.isMultiAngle = (w >> 4) & 1;
  pi.connectionCondition = w & 0x0F;
  pi.stcId = r.readU8();
  pi.inTime = r.readU32();
  pi.outTime = r.readU32();
  pi.uoMask1 = r.readU32();
  pi.uoMask2 = r.readU32();
  pi.randomAccessFlag = r.readU8() >> 7;
  pi.stillMode = r.readU8();
  pi.stillTime = r.readU16();
  pi.multiClip = MultiClip{};
  if (pi.isMultiAngle) {
    auto& mc = pi.multiClip;
    mc.numAngles = r.readU8();
    uint8_t f = r.readU8();
    mc.isDifferentAudios = (f >> 1) & 1;
    mc.isSeamlessAngleChange = f & 1;
    // Angle 0 is the PlayItem's own clip. A multi-angle PlayItem that declares no
    // angle still gets it, so the angle list is never empty for such an item.
    mc.angles.push_back(ClipRef{pi.clipName, pi.codecId, pi.stcId});
    for (unsigned a = 1; a < mc.numAngles; ++a) {
      if (r.atEnd()) {
        r.skip(1);
        break;
      }
      mc.angles.push_back(readClipRef(r));
    }
  }
  readSTN(r, pi.stn);
}

void readSubPlayItem(Reader& r, SubPlayItem& s) {
  s.length = r.readU16();
  s.clipName = r.readString(5);
  s.codecId = r.readString(4);
  uint32_t f = r.readU32();
  s.isMultiClipEntries = f & 1;
  s.connectionCondition = static_cast<uint8_t>(f >> 1);
  s.stcId = r.readU8();
  s.inTime = r.readU32();
  s.outTime = r.readU32();
  s.syncPlayItemId = r.readU16();
  s.syncStartPTS = r.readU32();
  s.clips.clear();
  if (s.isMultiClipEntries) {
    s.numMultiClip = r.readU8();
    s.reserved = r.readU8();
    s.clips.push_back(ClipRef{s.clipName, s.codecId, s.stcId});
    for (unsigned c = 1; c < s.numMultiClip; ++c) {
      if (r.atEnd()) {
        r.skip(1);
        break;
      }
      s.clips.push_back(readClipRef(r));
    }
  }
}

void readSubPath(Reader& r, SubPath& sp) {
  sp.length = r.readU32();
  sp.reserved1 = r.readU8();
  sp.type = r.readU8();
  sp.repeat = r.readU16();
  sp.reserved2 = r.readU8();
  sp.numSubPlayItems = r.readU8();
  readList(r, sp.subPlayItems, sp.numSubPlayItems, readSubPlayItem);
}

// What of an Ultra HD playlist the model would lose, named by the section of the first
// byte the writer does not give back ("" when it gives back every byte): an unknown
// coding type, reserved bits, bytes beyond the lengths the model keeps, a gap.
std::string unknownContent(const core::Bytes& image, const Playlist& m) {
  for (const auto& p : m.playList.playItems) {
    const auto& t = p.stn;
    for (const auto* list : {&t.video, &t.audio, &t.pg, &t.ig, &t.dv})
      for (const auto& s : *list)
        if (core::codingTypeName(s.attr.codingType).empty())
          return "stream coding type 0x" + core::hexText(s.attr.codingType, 2);
    for (const auto& s : t.video)
      if (core::isCoding(s.attr.codingType, core::StreamCoding::Hevc) &&
          (core::dynamicRangeTypeName(s.attr.dynamicRangeType).empty() ||
           core::colorSpaceName(s.attr.colorSpace).empty()))
        return "HEVC attribute values (dynamic range type " + std::to_string(s.attr.dynamicRangeType) +
               ", colour space " + std::to_string(s.attr.colorSpace) + ")";
  }
  int64_t at = core::firstDifference(image, writePlaylist(m));
  if (at < 0) return {};
  const uint64_t pos = uint64_t(at);
  if (pos < 40) return "header bytes";
  if (pos < m.playListStart) return "AppInfoPlayList bytes";
  if (m.markStart != 0 && pos < m.markStart) return "PlayList bytes";
  if (m.extDataStart == 0 || pos < m.extDataStart) return "PlayListMark bytes";
  return "ExtensionData bytes";
}

void showPosition(core::Log& log, const Reader& r) {
  log.status(core::StatusPanel::Detail, std::to_string(r.pos()) + "/" + std::to_string(r.size()));
}

}  // namespace

std::string readSummary(const Playlist& m) {
  return "[b]" + std::to_string(m.playList.numPlayItems) + "[/b] PlayItem(s), [b]" +
         std::to_string(m.playList.numSubPaths) + "[/b] SubPath(s) and [b]" +
         std::to_string(m.playListMark.numMarks) + "[/b] PlayListMark(s) found.";
}

core::ReadResult readPlaylist(const core::Bytes& image, const std::string& fileName, Playlist& model, core::Log& log,
                          ReadOptions options) {
  Reader r(image);
  core::ReadResult res;
  auto close = [&]() {
    if (!options.silent) log.statusReady();
    return res;
  };

  std::string type = r.readString(4);
  std::string version = r.readString(4);
  if (type != "MPLS" || (version != "0100" && version != "0200" && version != "0300")) {
    model.typeIndicator = type;
    model.version = version;
    log.error("Invalid format: " + fileName);
    if (type == "MPLS" && image.size() >= 8)
      res.refuse(core::ReadIssue::UnsupportedVersion, 4, core::unsupportedVersionMessage(fileName, version));
    else
      res.refuse(core::ReadIssue::WrongKind, 0, fileName + ": not a playlist file");
    return close();
  }

  // A read replaces the whole model; nothing of the previous playlist survives.
  Playlist m;
  m.typeIndicator = type;
  m.version = version;
  m.playListStart = r.readU32();
  m.markStart = r.readU32();
  m.extDataStart = r.readU32();
  for (auto& b : m.reserved) b = r.readU8();

  auto& ai = m.appInfo;
  ai.length = r.readU32();
  ai.reserved = r.readU8();
  ai.playbackType = r.readU8();
  ai.playbackCount = r.readU16();
  ai.uoMask1 = r.readU32();
  ai.uoMask2 = r.readU32();
  uint16_t flags = r.readU16();
  ai.randomAccessFlag = (flags >> 15) & 1;
  ai.audioMixAppFlag = (flags >> 14) & 1;
  ai.losslessMayBypassMixerFlag = (flags >> 13) & 1;
  ai.mvcBaseViewRFlag = (flags >> 12) & 1;
  ai.sdrConversionNotificationFlag = (flags >> 11) & 1;

  // Where the section being read started: a start address beyond the file is reported
  // as such rather than as a file that ends early.
  uint64_t sectionStart = 0;
  const char* section = "PlayList";
  auto finish = [&](bool truncated) {
    // An Ultra HD playlist the model does not hold whole is refused like an unknown
    // version: the previous model stays, only type indicator and version change.
    if (!truncated && version == "0300") {
      if (auto what = unknownContent(image, m); !what.empty()) {
        model.typeIndicator = type;
        model.version = version;
        log.error("Invalid format: " + fileName);
        const int64_t at = core::firstDifference(image, writePlaylist(m));
        core::refuseUnknownContent(res, fileName, uint64_t(std::max<int64_t>(0, at)), what);
        return close();
      }
    }
    // Complete only when every stored start address, length and count agrees with what
    // was read: the writer lays the file out from what was read, so a field that
    // disagrees would write lost or invented bytes.
    if (!truncated) {
      for (const auto& w : readLayoutMismatches(m))
        res.addPartial(core::ReadIssue::Malformed, 0, fileName + ": " + w);
      if (m.extDataStart != 0) core::checkExtensionDataLayout(m.extData, m.extDataStart, m.extDataStart, fileName, res);
    }
    model = std::move(m);
    if (truncated) {
      log.error(fileName + " ends early: the file has " + std::to_string(r.size()) +
                " bytes and the reader needed more; what was read is kept");
      res.addCutShort(fileName, section, sectionStart, image.size());
    } else if (!options.silent) {
      log.paragraph(readSummary(model));
    }
    return close();
  };

  if (r.overrun()) return finish(true);
  sectionStart = m.playListStart;
  r.seek(m.playListStart);
  auto& pl = m.playList;
  pl.length = r.readU32();
  pl.reserved = r.readU16();
  pl.numPlayItems = r.readU16();
  pl.numSubPaths = r.readU16();
  if (r.overrun()) return finish(true);

  for (unsigned i = 0; i < pl.numPlayItems; ++i) {
    if (r.atEnd()) return finish(true);
    showPosition(log, r);
    pl.playItems.emplace_back();
    readPlayItem(r, pl.playItems.back());
    if (r.overrun()) return finish(true);
  }
  for (unsigned j = 0; j < pl.numSubPaths; ++j) {
    if (r.atEnd()) return finish(true);
    showPosition(log, r);
    pl.subPaths.emplace_back();
    readSubPath(r, pl.subPaths.back());
    if (r.overrun()) return finish(true);
  }

  if (m.markStart != 0) {
    sectionStart = m.markStart;
    section = "PlayListMark";
    r.seek(m.markStart);
    auto& pm = m.playListMark;
    pm.length = r.readU32();
    pm.numMarks = r.readU16();
    if (r.overrun()) return finish(true);
    for (unsigned k = 0; k < pm.numMarks; ++k) {
      if (r.atEnd()) return finish(true);
      showPosition(log, r);
      Mark mk;
      mk.reserved = r.readU8();
      mk.type = r.readU8();
      mk.playItemRef = r.readU16();
      mk.timeStamp = r.readU32();
      mk.entryPID = r.readU16();
      mk.duration = r.readU32();
      pm.marks.push_back(mk);
      if (r.overrun()) return finish(true);
    }
  }

  if (m.extDataStart != 0) {
    sectionStart = m.extDataStart;
    section = "ExtensionData";
    r.seek(m.extDataStart);
    core::readExtensionData(r, m.extData);
    if (r.overrun() || (version == "0300" && core::extensionDataCutShort(m.extData, m.extDataStart, image.size())))
      return finish(true);
  }
  return finish(false);
}

core::ReadResult readPlaylistFile(const std::filesystem::path& path, Playlist& model, core::Log& log, ReadOptions options) {
  const std::string name = core::displayPath(path);
  log.stage("Reading [bl]" + name + "[/bl]");
  core::Bytes image;
  std::string err;
  if (!core::readWholeFile(path, image, err)) {
    log.error(name + ": " + err);
    if (!options.silent) log.statusReady();
    return core::ReadResult::refusal(core::ReadIssue::CannotOpen, 0, name + ": " + err);
  }
  return readPlaylist(image, name, model, log, options);
}

}  // namespace morvex::playlist

#include "playlist/mpls_reader.h"

#include "core/save.h"
#include "playlist/names.h"

namespace morvex::playlist {

using core::Reader;

namespace {

// The reader consumes exactly the bytes laid down for each field; the length bytes of
// entries and attributes are kept but never used to skip. An entry always takes 10
// bytes and an attributes block 6, whatever the stream type or coding type: the writer
// puts them down at that size for every type, so a stream whose type is unknown (or
// was set to "---" in the editor) still reads back, and the streams after it with it.
void readEntry(Reader& r, TStreamEntry& e) {
  e.length = r.readbyte();
  e.type = r.readbyte();
  switch (e.type) {
    case 1:
      e.mainPID = r.readword();
      r.skip(6);
      break;
    case 2:
      e.subPathId = r.readbyte();
      e.subClipId = r.readbyte();
      e.subPID = r.readword();
      r.skip(4);
      break;
    case 3:
      e.subPathId = r.readbyte();
      e.mainPID = r.readword();
      r.skip(5);
      break;
    default:
      r.skip(8);
      break;
  }
}

void readAttributes(Reader& r, TStreamAttributes& a) {
  a.length = r.readbyte();
  a.codingType = r.readbyte();
  const unsigned t = a.codingType;
  if (isVideoCoding(t)) {
    uint8_t b = r.readbyte();
    a.videoFormat = b >> 4;
    a.frameRate = b & 0x0F;
    r.skip(3);
  } else if (isAudioCoding(t)) {
    uint8_t b = r.readbyte();
    a.audioPresentation = b >> 4;
    a.samplingFrequency = b & 0x0F;
    a.language = r.readstring(3);
  } else if (isGraphicsCoding(t)) {
    a.language = r.readstring(3);
    r.skip(1);
  } else if (isTextSubtitleCoding(t)) {
    a.charCode = r.readbyte();
    a.language = r.readstring(3);
  } else {
    r.skip(4);
  }
}

void readStream(Reader& r, TStream& s) {
  readEntry(r, s.entry);
  readAttributes(r, s.attr);
}

// A reference list: count, reserved byte, the references, and a padding byte when the
// count is odd. References are read only while the image holds them.
std::vector<uint8_t> readRefs(Reader& r) {
  unsigned n = r.readbyte();
  r.skip(1);
  std::vector<uint8_t> refs;
  for (unsigned i = 0; i < n && !r.atEnd(); ++i) refs.push_back(r.readbyte());
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

void readSTN(Reader& r, TSTN& stn) {
  stn.length = r.readword();
  stn.reserved = r.readword();
  stn.numVideo = r.readbyte();
  stn.numAudio = r.readbyte();
  stn.numPG = r.readbyte();
  stn.numIG = r.readbyte();
  stn.numSecAudio = r.readbyte();
  stn.numSecVideo = r.readbyte();
  stn.numPIPPG = r.readbyte();
  r.skip(5);
  auto plain = [](Reader& rr, TStream& s) { readStream(rr, s); };
  readList(r, stn.video, stn.numVideo, plain);
  readList(r, stn.audio, stn.numAudio, plain);
  readList(r, stn.pg, unsigned(stn.numPG) + stn.numPIPPG, plain);
  readList(r, stn.ig, stn.numIG, plain);
  readList(r, stn.secAudio, stn.numSecAudio, [](Reader& rr, TSecAudio& s) {
    readStream(rr, s);
    s.primaryAudioRefs = readRefs(rr);
  });
  readList(r, stn.secVideo, stn.numSecVideo, [](Reader& rr, TSecVideo& s) {
    readStream(rr, s);
    s.secAudioRefs = readRefs(rr);
    s.pipPGRefs = readRefs(rr);
  });
}

TClipRef readClipRef(Reader& r) {
  TClipRef c;
  c.clipName = r.readstring(5);
  c.codecId = r.readstring(4);
  c.stcId = r.readbyte();
  return c;
}

void readPlayItem(Reader& r, TPlayItem& pi) {
  pi.length = r.readword();
  pi.clipName = r.readstring(5);
  pi.codecId = r.readstring(4);
  uint16_t w = r.readword();
  pi.isMultiAngle = (w >> 4) & 1;
  pi.connectionCondition = w & 0x0F;
  pi.stcId = r.readbyte();
  pi.inTime = r.readlong();
  pi.outTime = r.readlong();
  pi.uoMask1 = r.readlong();
  pi.uoMask2 = r.readlong();
  pi.randomAccessFlag = r.readbyte() >> 7;
  pi.stillMode = r.readbyte();
  pi.stillTime = r.readword();
  pi.multiClip = Tmulti_clip{};
  if (pi.isMultiAngle) {
    auto& mc = pi.multiClip;
    mc.numAngles = r.readbyte();
    uint8_t f = r.readbyte();
    mc.isDifferentAudios = (f >> 1) & 1;
    mc.isSeamlessAngleChange = f & 1;
    // Angle 0 is the PlayItem's own clip. A multi-angle PlayItem that declares no
    // angle still gets it, so the angle list is never empty for such an item.
    mc.angles.push_back(TClipRef{pi.clipName, pi.codecId, pi.stcId});
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

void readSubPlayItem(Reader& r, TSubPlayItem& s) {
  s.length = r.readword();
  s.clipName = r.readstring(5);
  s.codecId = r.readstring(4);
  uint32_t f = r.readlong();
  s.isMultiClipEntries = f & 1;
  s.connectionCondition = static_cast<uint8_t>(f >> 1);
  s.stcId = r.readbyte();
  s.inTime = r.readlong();
  s.outTime = r.readlong();
  s.syncPlayItemId = r.readword();
  s.syncStartPTS = r.readlong();
  s.clips.clear();
  if (s.isMultiClipEntries) {
    s.numMultiClip = r.readbyte();
    s.reserved = r.readbyte();
    s.clips.push_back(TClipRef{s.clipName, s.codecId, s.stcId});
    for (unsigned c = 1; c < s.numMultiClip; ++c) {
      if (r.atEnd()) {
        r.skip(1);
        break;
      }
      s.clips.push_back(readClipRef(r));
    }
  }
}

void readSubPath(Reader& r, TSubPath& sp) {
  sp.length = r.readlong();
  sp.reserved1 = r.readbyte();
  sp.type = r.readbyte();
  sp.repeat = r.readword();
  sp.reserved2 = r.readbyte();
  sp.numSubPlayItems = r.readbyte();
  readList(r, sp.subPlayItems, sp.numSubPlayItems, readSubPlayItem);
}

void showPosition(core::Log& log, const Reader& r) {
  log.slog(std::to_string(r.pos()) + "/" + std::to_string(r.size()), 1);
}

}  // namespace

std::string readSummary(const TMPLS& m) {
  return "[b]" + std::to_string(m.playList.numPlayItems) + "[/b] PlayItem(s), [b]" +
         std::to_string(m.playList.numSubPaths) + "[/b] SubPath(s) and [b]" +
         std::to_string(m.playListMark.numMarks) + "[/b] PlayListMark(s) found.";
}

core::ReadResult readMPLS(const core::Bytes& image, const std::string& fileName, TMPLS& model, core::Log& log,
                          ReadOptions options) {
  Reader r(image);
  core::ReadResult res;
  auto close = [&]() {
    if (!options.silent) log.slogR();
    return res;
  };

  std::string type = r.readstring(4);
  std::string version = r.readstring(4);
  if (type != "MPLS" || (version != "0100" && version != "0200")) {
    model.typeIndicator = type;
    model.version = version;
    log.erlog("Invalid format: " + fileName);
    if (type == "MPLS" && image.size() >= 8)
      res.refuse(core::ReadIssue::UnsupportedVersion, 4, core::unsupportedVersionMessage(fileName, version));
    else
      res.refuse(core::ReadIssue::WrongKind, 0, fileName + ": not a playlist file");
    return close();
  }

  // A read replaces the whole model; nothing of the previous playlist survives.
  TMPLS m;
  m.typeIndicator = type;
  m.version = version;
  m.playListStart = r.readlong();
  m.markStart = r.readlong();
  m.extDataStart = r.readlong();
  for (auto& b : m.reserved) b = r.readbyte();

  auto& ai = m.appInfo;
  ai.length = r.readlong();
  ai.reserved = r.readbyte();
  ai.playbackType = r.readbyte();
  ai.playbackCount = r.readword();
  ai.uoMask1 = r.readlong();
  ai.uoMask2 = r.readlong();
  uint16_t flags = r.readword();
  ai.PlayList_random_access_flag = (flags >> 15) & 1;
  ai.audio_mix_app_flag = (flags >> 14) & 1;
  ai.lossless_may_bypass_mixer_flag = (flags >> 13) & 1;

  // Where the section being read started: a start address beyond the file is reported
  // as such rather than as a file that ends early.
  uint64_t sectionStart = 0;
  const char* section = "PlayList";
  auto finish = [&](bool truncated) {
    model = std::move(m);
    if (truncated) {
      log.erlog(fileName + " ends early: the file has " + std::to_string(r.size()) +
                " bytes and the reader needed more; what was read is kept");
      res.addCutShort(fileName, section, sectionStart, image.size());
    } else if (!options.silent) {
      log.log2(readSummary(model));
    }
    return close();
  };

  if (r.overrun()) return finish(true);
  sectionStart = m.playListStart;
  r.seek(m.playListStart);
  auto& pl = m.playList;
  pl.length = r.readlong();
  pl.reserved = r.readword();
  pl.numPlayItems = r.readword();
  pl.numSubPaths = r.readword();
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
    pm.length = r.readlong();
    pm.numMarks = r.readword();
    if (r.overrun()) return finish(true);
    for (unsigned k = 0; k < pm.numMarks; ++k) {
      if (r.atEnd()) return finish(true);
      showPosition(log, r);
      TMark mk;
      mk.reserved = r.readbyte();
      mk.type = r.readbyte();
      mk.playItemRef = r.readword();
      mk.timeStamp = r.readlong();
      mk.entryPID = r.readword();
      mk.duration = r.readlong();
      pm.marks.push_back(mk);
      if (r.overrun()) return finish(true);
    }
  }

  if (m.extDataStart != 0) {
    sectionStart = m.extDataStart;
    section = "ExtensionData";
    r.seek(m.extDataStart);
    core::ReadExtensionData(r, m.extData);
    if (r.overrun()) return finish(true);
  }
  return finish(false);
}

core::ReadResult readMPLSFile(const std::filesystem::path& path, TMPLS& model, core::Log& log, ReadOptions options) {
  const std::string name = core::displayPath(path);
  log.dlog0("Reading [bl]" + name + "[/bl]");
  core::Bytes image;
  std::string err;
  if (!core::readWholeFile(path, image, err)) {
    log.erlog(name + ": " + err);
    if (!options.silent) log.slogR();
    return core::ReadResult::refusal(core::ReadIssue::CannotOpen, 0, name + ": " + err);
  }
  return readMPLS(image, name, model, log, options);
}

}  // namespace morvex::playlist

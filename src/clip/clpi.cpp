#include "clip/clpi.h"
#include "core/stream_coding.h"
#include "core/text.h"

#include <algorithm>
#include <fstream>

#include "clip/clpi_text.h"

namespace morvex::clip {

// Adds to `res` every stored start address and length of `c` that disagrees with the
// layout of what was read (defined with the writer below).
void checkClipInfoLayout(const ClipInfo& c, const std::string& fileName, core::ReadResult& res);

using core::Reader;

namespace {

void readRecordingCode(Reader& r, ClipStream& s) {
  s.isrcCountry = r.readString(2);
  s.isrcOwner = r.readString(3);
  s.isrcYear = r.readString(2);
  s.isrcNumber = r.readString(5);
}

// One stream of a program: PID, the coding-information length (kept, not used to
// skip), the coding type and the 20 bytes of details its type defines.
void readStream(Reader& r, ClipStream& s) {
  s.pid = r.readU16();
  s.codingInfoLength = r.readU8();
  s.codingType = r.readU8();
  const uint8_t t = s.codingType;
  if (core::isVideoCoding(t)) {
    uint8_t b = r.readU8();
    s.videoFormat = b >> 4;
    s.frameRate = b & 0x0F;
    b = r.readU8();
    s.aspectRatio = b >> 4;
    s.cpFlag = (b >> 1) & 1;
    if (core::isCoding(t, core::StreamCoding::Hevc)) {
      s.crFlag = b & 1;
      b = r.readU8();
      s.dynamicRangeType = b >> 4;
      s.colorSpace = b & 0x0F;
      s.hdrPlusFlag = r.readU8() >> 7;
    } else {
      r.skip(2);
    }
    readRecordingCode(r, s);
    r.skip(4);
  } else if (core::isAudioCoding(t)) {
    uint8_t b = r.readU8();
    s.audioPresentationType = b >> 4;
    s.samplingFrequency = b & 0x0F;
    s.audioLanguage = r.readString(3);
    readRecordingCode(r, s);
    r.skip(4);
  } else if (core::isGraphicsCoding(t)) {
    (core::isCoding(t, core::StreamCoding::Pg) ? s.pgLanguage : s.igLanguage) = r.readString(3);
    r.skip(1);
    readRecordingCode(r, s);
    r.skip(4);
  } else if (core::isTextSubtitleCoding(t)) {
    s.characterCode = r.readU8();
    s.textStLanguage = r.readString(3);
    readRecordingCode(r, s);
    r.skip(4);
  }
}

void readClipInfoBlock(Reader& r, ClipInfoBlock& ci) {
  ci = ClipInfoBlock{};
  ci.length = r.readU32();
  r.skip(2);
  ci.clipStreamType = r.readU8();
  ci.applicationType = r.readU8();
  ci.isAtcDelta = r.readU32() & 1;
  ci.tsRecordingRate = r.readU32();
  ci.numberOfSourcePackets = r.readU32();
  r.skip(128);
  ci.tsTypeInfoLength = r.readU16();
  ci.validityFlags = r.readU8();
  ci.formatIdentifier = r.readString(4);
  r.skip(9 + 16);
  if (ci.isAtcDelta == 1) {
    r.skip(1);
    unsigned n = r.readU8();
    for (unsigned i = 0; i < n && r.has(14); ++i) {
      AtcDeltaEntry e;
      e.atcDelta = r.readU32();
      e.followingClip = r.readString(5);
      e.clipCodec = r.readString(4);
      r.skip(1);
      ci.atcDeltaEntries.push_back(e);
    }
    if (ci.atcDeltaEntries.size() < n) r.skip(14);
  }
  if (ci.applicationType == 6) {
    r.skip(1);
    unsigned m = r.readU8();
    for (unsigned i = 0; i < m && r.has(6); ++i) {
      ci.fontFiles.push_back(r.readString(5));
      r.skip(1);
    }
    if (ci.fontFiles.size() < m) r.skip(6);
  }
}

void readSequenceInfo(Reader& r, SequenceInfo& si) {
  si = SequenceInfo{};
  si.length = r.readU32();
  r.skip(1);
  unsigned n = r.readU8();
  for (unsigned i = 0; i < n && r.has(6); ++i) {
    AtcSequence a;
    a.spnAtcStart = r.readU32();
    unsigned m = r.readU8();
    a.offsetStcId = r.readU8();
    for (unsigned k = 0; k < m && r.has(14); ++k) {
      StcSequence s;
      s.pcrPid = r.readU16();
      s.spnStcStart = r.readU32();
      s.presentationStartTime = r.readU32();
      s.presentationEndTime = r.readU32();
      a.stcSequences.push_back(s);
    }
    if (a.stcSequences.size() < m) r.skip(14);
    si.atcSequences.push_back(std::move(a));
    if (r.overrun()) return;
  }
  if (si.atcSequences.size() < n) r.skip(6);
}

void readProgramInfo(Reader& r, ProgramInfo& pi) {
  pi = ProgramInfo{};
  pi.length = r.readU32();
  r.skip(1);
  unsigned n = r.readU8();
  for (unsigned i = 0; i < n && r.has(8); ++i) {
    ProgramSequence p;
    p.spnProgramSequenceStart = r.readU32();
    p.programMapPid = r.readU16();
    unsigned m = r.readU8();
    r.skip(1);
    for (unsigned k = 0; k < m && r.has(4); ++k) {
      ClipStream s;
      readStream(r, s);
      p.streams.push_back(std::move(s));
    }
    if (p.streams.size() < m) r.skip(4);
    pi.programSequences.push_back(std::move(p));
    if (r.overrun()) return;
  }
  if (pi.programSequences.size() < n) r.skip(8);
}

void readCPI(Reader& r, Cpi& cpi) {
  cpi = Cpi{};
  cpi.length = r.readU32();
  if (cpi.length == 0) return;
  cpi.cpiType = r.readU16();
  r.skip(1);
  unsigned n = r.readU8();
  for (unsigned i = 0; i < n && r.has(12); ++i) {
    EpMapEntry e;
    e.streamPid = r.readU16();
    uint16_t a = r.readU16(), b = r.readU16(), c = r.readU16();
    e.epStreamType = (a >> 2) & 0x0F;
    e.numCoarse = uint32_t(a & 3) * 16384 + (b >> 2);
    e.numFine = uint32_t(b & 3) * 65536 + c;
    e.mapStartAddress = r.readU32();
    cpi.epMapEntries.push_back(e);
  }
  if (cpi.epMapEntries.size() < n) {
    r.skip(12);
    return;
  }
  // Each PID's map follows where the previous one ended; the start addresses are kept
  // but not used to seek.
  for (const auto& e : cpi.epMapEntries) {
    EpMap m;
    m.fineTableStartAddress = r.readU32();
    for (uint32_t k = 0; k < e.numCoarse && r.has(8); ++k) {
      uint32_t x = r.readU32();
      EpCoarse c;
      c.refToEpFineId = x >> 14;
      c.ptsEpCoarse = x & 0x3FFF;
      c.spnEpCoarse = r.readU32();
      m.coarse.push_back(c);
    }
    if (m.coarse.size() < e.numCoarse) {
      r.skip(8);
      cpi.maps.push_back(std::move(m));
      return;
    }
    int64_t pad = int64_t(m.fineTableStartAddress) - 4 - 8 * int64_t(e.numCoarse);
    if (pad > 0) r.skip(size_t(pad));
    for (uint32_t k = 0; k < e.numFine && r.has(4); ++k) {
      uint32_t y = r.readU32();
      EpFine f;
      f.isAngleChangePoint = y >> 31;
      f.iEndPositionOffset = (y >> 28) & 7;
      f.ptsEpFine = (y >> 17) & 0x7FF;
      f.spnEpFine = y & 0x1FFFF;
      m.fine.push_back(f);
    }
    if (m.fine.size() < e.numFine) r.skip(4);
    cpi.maps.push_back(std::move(m));
    if (r.overrun()) return;
  }
}

// What of an Ultra HD clip information file the model would lose ("" when the writer
// gives back every byte): an unknown coding type or HEVC attribute value, or the
// section holding the first byte the writer does not reproduce.
std::string unknownContent(const core::Bytes& image, const ClipInfo& m) {
  for (const auto& p : m.programInfo.programSequences)
    for (const auto& s : p.streams) {
      if (core::codingTypeName(s.codingType).empty()) return "stream coding type 0x" + core::hexText(s.codingType, 2);
      if (core::isCoding(s.codingType, core::StreamCoding::Hevc) &&
          (core::dynamicRangeTypeName(s.dynamicRangeType).empty() || core::colorSpaceName(s.colorSpace).empty()))
        return "HEVC attribute values (dynamic range type " + std::to_string(s.dynamicRangeType) + ", colour space " +
               std::to_string(s.colorSpace) + ")";
    }
  int64_t at = core::firstDifference(image, writeClipInfo(m));
  if (at < 0) return {};
  const uint64_t pos = uint64_t(at);
  if (pos < 40) return "header bytes";
  if (pos < m.sequenceInfoStart) return "ClipInfo bytes";
  if (pos < m.programInfoStart) return "SequenceInfo bytes";
  if (pos < m.cpiStart) return "ProgramInfo bytes";
  if (pos < m.clipMarkStart) return "CPI bytes";
  if (m.extensionDataStart == 0 || pos < m.extensionDataStart) return "ClipMark bytes";
  return "ExtensionData bytes";
}

}  // namespace

core::ReadResult readClipInfo(const core::Bytes& image, const std::string& fileName, ClipInfo& clpi, core::Log& log) {
  core::ReadResult res;
  log.stage("Reading [bl]" + fileName + "[/bl]");
  Reader r(image);
  std::string type = r.readString(4);
  std::string version = r.readString(4);
  clpi.typeIndicator = type;
  clpi.version = version;
  if (type != "HDMV" || (version != "0100" && version != "0200" && version != "0300")) {
    log.error("Invalid format: " + fileName);
    if (type == "HDMV" && image.size() >= 8)
      res.refuse(core::ReadIssue::UnsupportedVersion, 4, core::unsupportedVersionMessage(fileName, version));
    else
      res.refuse(core::ReadIssue::WrongKind, 0, fileName + ": not a clip information file");
    return res;
  }
  ClipInfo m;
  m.typeIndicator = type;
  m.version = version;
  m.sequenceInfoStart = r.readU32();
  m.programInfoStart = r.readU32();
  m.cpiStart = r.readU32();
  m.clipMarkStart = r.readU32();
  m.extensionDataStart = r.readU32();
  r.skip(12);
  uint64_t sectionStart = 0;
  const char* section = "ClipInfo";
  // Only called for a read that ran past the end of the image.
  auto finish = [&]() {
    clpi = std::move(m);
    log.error("Unexpected end of file: " + fileName);
    res.addCutShort(fileName, section, sectionStart, image.size());
    return res;
  };
  readClipInfoBlock(r, m.clipInfo);
  if (r.overrun()) return finish();
  sectionStart = m.sequenceInfoStart;
  section = "SequenceInfo";
  r.seek(m.sequenceInfoStart);
  readSequenceInfo(r, m.sequenceInfo);
  if (r.overrun()) return finish();
  sectionStart = m.programInfoStart;
  section = "ProgramInfo";
  r.seek(m.programInfoStart);
  readProgramInfo(r, m.programInfo);
  if (r.overrun()) return finish();
  sectionStart = m.cpiStart;
  section = "CPI";
  r.seek(m.cpiStart);
  readCPI(r, m.cpi);
  if (r.overrun()) return finish();
  sectionStart = m.clipMarkStart;
  section = "ClipMark";
  r.seek(m.clipMarkStart);
  m.clipMarkLength = r.readU32();
  if (r.overrun()) return finish();
  // The ClipMark body, bounded by what the file holds (a bad length cannot make us
  // keep more than the image).
  m.clipMarkData = r.readBytes(std::min<size_t>(m.clipMarkLength, r.remaining()));
  if (m.extensionDataStart != 0) {
    sectionStart = m.extensionDataStart;
    section = "ExtensionData";
    r.seek(m.extensionDataStart);
    core::readExtensionData(r, m.extensionData);
    if (r.overrun() ||
        (version == "0300" && core::extensionDataCutShort(m.extensionData, m.extensionDataStart, image.size())))
      return finish();
    core::checkExtensionDataLayout(m.extensionData, m.extensionDataStart, m.extensionDataStart, fileName, res);
  }
  if (version == "0300") {
    if (std::string what = unknownContent(image, m); !what.empty()) {
      log.error("Invalid format: " + fileName);
      core::refuseUnknownContent(res, fileName, uint64_t(std::max<int64_t>(0, core::firstDifference(image, writeClipInfo(m)))),
                                 what);
      return res;
    }
  }
  checkClipInfoLayout(m, fileName, res);
  clpi = std::move(m);
  size_t firstStreams = clpi.programInfo.programSequences.empty() ? 0 : clpi.programInfo.programSequences[0].streams.size();
  log.paragraph("[b]" + std::to_string(firstStreams) + "[/b] Program stream(s) found.");
  return res;
}

core::ReadResult readClipInfoFile(const std::filesystem::path& file, ClipInfo& clpi, core::Log& log) {
  core::Bytes image;
  std::string err;
  if (!core::readWholeFile(file, image, err)) {
    log.stage("Reading [bl]" + file.filename().string() + "[/bl]");
    log.error(err);
    return core::ReadResult::refusal(core::ReadIssue::CannotOpen, 0, file.filename().string() + ": " + err);
  }
  return readClipInfo(image, file.filename().string(), clpi, log);
}

uint32_t clipInfoLength(const ClipInfo& clpi) {
  uint32_t L = 176;
  if (clpi.clipInfo.isAtcDelta == 1) L += 2 + 14 * uint32_t(clpi.clipInfo.atcDeltaEntries.size());
  if (clpi.clipInfo.applicationType == 6) L += 2 + 6 * uint32_t(clpi.clipInfo.fontFiles.size());
  return L;
}

namespace {

void writeRecordingCode(core::ByteWriter& w, const ClipStream& s) {
  w.addString(s.isrcCountry, 2);
  w.addString(s.isrcOwner, 3);
  w.addString(s.isrcYear, 2);
  w.addString(s.isrcNumber, 5);
}

void writeStream(core::ByteWriter& w, const ClipStream& s) {
  w.addU16(s.pid);
  w.addU8(s.codingInfoLength);
  w.addU8(s.codingType);
  const uint8_t t = s.codingType;
  if (core::isVideoCoding(t)) {
    w.addU8((s.videoFormat & 0x0F) * 16 + (s.frameRate & 0x0F));
    if (core::isCoding(t, core::StreamCoding::Hevc)) {
      w.addU8((s.aspectRatio & 0x0F) * 16 + (s.cpFlag & 1) * 2 + (s.crFlag & 1));
      w.addU8((s.dynamicRangeType & 0x0F) * 16 + (s.colorSpace & 0x0F));
      w.addU8((s.hdrPlusFlag & 1) * 0x80);
    } else {
      w.addU8((s.aspectRatio & 0x0F) * 16 + (s.cpFlag & 1) * 2);
      w.addZeros(2);
    }
    writeRecordingCode(w, s);
    w.addZeros(4);
  } else if (core::isAudioCoding(t)) {
    w.addU8((s.audioPresentationType & 0x0F) * 16 + (s.samplingFrequency & 0x0F));
    w.addString(s.audioLanguage, 3);
    writeRecordingCode(w, s);
    w.addZeros(4);
  } else if (core::isGraphicsCoding(t)) {
    w.addString(core::isCoding(t, core::StreamCoding::Pg) ? s.pgLanguage : s.igLanguage, 3);
    w.addZeros(1);
    writeRecordingCode(w, s);
    w.addZeros(4);
  } else if (core::isTextSubtitleCoding(t)) {
    w.addU8(s.characterCode);
    w.addString(s.textStLanguage, 3);
    writeRecordingCode(w, s);
    w.addZeros(4);
  }
}

// Where the sections land when the model is written back to back.
struct ClipInfoLayout {
  uint32_t clipInfoLength = 0;
  uint32_t sequenceInfoStart = 0, programInfoStart = 0, cpiStart = 0, clipMarkStart = 0, extensionDataStart = 0;
};

// An ATC delta switch left on without entries is written (and settled) as off.
bool emptyAtcDelta(const ClipInfo& c) { return c.clipInfo.isAtcDelta == 1 && c.clipInfo.atcDeltaEntries.empty(); }

core::Bytes compose(const ClipInfo& c, ClipInfoLayout& at) {
  const ClipInfoBlock& ci = c.clipInfo;
  const uint32_t isAtcDelta = emptyAtcDelta(c) ? 0 : ci.isAtcDelta;
  core::ByteWriter w;
  w.addString(c.typeIndicator, 4);
  w.addString(c.version, 4);
  w.addZeros(5 * 4 + 12);  // start addresses, put once the sections are placed

  at.clipInfoLength = 176;
  if (isAtcDelta == 1) at.clipInfoLength += 2 + 14 * uint32_t(ci.atcDeltaEntries.size());
  if (ci.applicationType == 6) at.clipInfoLength += 2 + 6 * uint32_t(ci.fontFiles.size());
  w.addU32(at.clipInfoLength);
  w.addZeros(2);
  w.addU8(ci.clipStreamType);
  w.addU8(ci.applicationType);
  w.addU32(isAtcDelta);
  w.addU32(ci.tsRecordingRate);
  w.addU32(ci.numberOfSourcePackets);
  w.addZeros(128);
  w.addU16(ci.tsTypeInfoLength);
  w.addU8(ci.validityFlags);
  w.addString(ci.formatIdentifier, 4);
  w.addZeros(9 + 16);
  if (isAtcDelta == 1) {
    w.addZeros(1);
    w.addU8(uint32_t(ci.atcDeltaEntries.size()));
    for (const auto& e : ci.atcDeltaEntries) {
      w.addU32(e.atcDelta);
      w.addString(e.followingClip, 5);
      w.addString(e.clipCodec, 4);
      w.addZeros(1);
    }
  }
  if (ci.applicationType == 6) {
    w.addZeros(1);
    w.addU8(uint32_t(ci.fontFiles.size()));
    for (const auto& f : ci.fontFiles) {
      w.addString(f, 5);
      w.addZeros(1);
    }
  }

  at.sequenceInfoStart = uint32_t(w.length());
  w.addU32(c.sequenceInfo.length);
  w.addZeros(1);
  w.addU8(uint32_t(c.sequenceInfo.atcSequences.size()));
  for (const auto& a : c.sequenceInfo.atcSequences) {
    w.addU32(a.spnAtcStart);
    w.addU8(uint32_t(a.stcSequences.size()));
    w.addU8(a.offsetStcId);
    for (const auto& s : a.stcSequences) {
      w.addU16(s.pcrPid);
      w.addU32(s.spnStcStart);
      w.addU32(s.presentationStartTime);
      w.addU32(s.presentationEndTime);
    }
  }

  at.programInfoStart = uint32_t(w.length());
  w.addU32(c.programInfo.length);
  w.addZeros(1);
  w.addU8(uint32_t(c.programInfo.programSequences.size()));
  for (const auto& p : c.programInfo.programSequences) {
    w.addU32(p.spnProgramSequenceStart);
    w.addU16(p.programMapPid);
    w.addU8(uint32_t(p.streams.size()));
    w.addZeros(1);
    for (const auto& s : p.streams) writeStream(w, s);
  }

  at.cpiStart = uint32_t(w.length());
  w.addU32(c.cpi.length);
  if (c.cpi.length != 0) {
    w.addU16(c.cpi.cpiType);
    w.addZeros(1);
    w.addU8(uint32_t(c.cpi.epMapEntries.size()));
    for (const auto& e : c.cpi.epMapEntries) {
      w.addU16(e.streamPid);
      w.addU16((e.epStreamType & 0x0F) * 4 + ((e.numCoarse >> 14) & 3));
      w.addU16(((e.numCoarse & 0x3FFF) * 4 + ((e.numFine >> 16) & 3)) & 0xFFFF);
      w.addU16(e.numFine & 0xFFFF);
      w.addU32(e.mapStartAddress);
    }
    for (size_t i = 0; i < c.cpi.maps.size(); ++i) {
      const auto& m = c.cpi.maps[i];
      w.addU32(m.fineTableStartAddress);
      for (const auto& k : m.coarse) {
        w.addU32((k.refToEpFineId << 14) + (k.ptsEpCoarse & 0x3FFF));
        w.addU32(k.spnEpCoarse);
      }
      int64_t pad = int64_t(m.fineTableStartAddress) - 4 - 8 * int64_t(m.coarse.size());
      if (pad > 0) w.addZeros(size_t(pad));
      for (const auto& f : m.fine)
        w.addU32((uint32_t(f.isAngleChangePoint & 1) << 31) + (uint32_t(f.iEndPositionOffset & 7) << 28) +
                  (uint32_t(f.ptsEpFine & 0x7FF) << 17) + (f.spnEpFine & 0x1FFFF));
    }
  }

  at.clipMarkStart = uint32_t(w.length());
  w.addU32(c.clipMarkLength);
  w.addBytes(c.clipMarkData);

  at.extensionDataStart = 0;
  if (c.extensionDataStart != 0) {
    at.extensionDataStart = uint32_t(w.length());
    core::writeExtensionData(w, c.extensionData);
  }

  w.putU32(at.sequenceInfoStart, 8);
  w.putU32(at.programInfoStart, 12);
  w.putU32(at.cpiStart, 16);
  w.putU32(at.clipMarkStart, 20);
  w.putU32(at.extensionDataStart, 24);
  return w.take();
}

}  // namespace

void checkClipInfoLayout(const ClipInfo& c, const std::string& fileName, core::ReadResult& res) {
  // The writer's layout puts the sections back to back (`at`). A file may keep padding
  // words between them, so a stored start address may lie further on, but never inside
  // the section before it. The sections' own length fields are kept as held (the disc
  // check weighs them against the sections' places).
  ClipInfoLayout at;
  compose(c, at);
  auto check = [&](const char* field, uint64_t stored, uint64_t read) {
    if (stored != read) res.addLayoutMismatch(fileName, field, stored, read);
  };
  auto notInside = [&](const char* field, uint64_t stored, uint64_t earliest) {
    if (stored < earliest) res.addLayoutMismatch(fileName, field, stored, earliest);
  };
  check("ClipInfo length", c.clipInfo.length, at.clipInfoLength);
  notInside("SequenceInfo start address", c.sequenceInfoStart, at.sequenceInfoStart);
  notInside("ProgramInfo start address", c.programInfoStart,
            uint64_t(c.sequenceInfoStart) + at.programInfoStart - at.sequenceInfoStart);
  notInside("CPI start address", c.cpiStart, uint64_t(c.programInfoStart) + at.cpiStart - at.programInfoStart);
  notInside("ClipMark start address", c.clipMarkStart, uint64_t(c.cpiStart) + at.clipMarkStart - at.cpiStart);
  if (c.extensionDataStart != 0)
    notInside("ExtensionData start address", c.extensionDataStart,
              uint64_t(c.clipMarkStart) + at.extensionDataStart - at.clipMarkStart);
}

void settleClipInfo(ClipInfo& c) {
  if (emptyAtcDelta(c)) setATCdelta(c, false);
  ClipInfoLayout at;
  compose(c, at);
  c.clipInfo.length = at.clipInfoLength;
  c.sequenceInfoStart = at.sequenceInfoStart;
  c.programInfoStart = at.programInfoStart;
  c.cpiStart = at.cpiStart;
  c.clipMarkStart = at.clipMarkStart;
  c.extensionDataStart = at.extensionDataStart;
}

core::Bytes writeClipInfo(const ClipInfo& c) {
  ClipInfoLayout at;
  return compose(c, at);
}

core::WriteResult saveClipInfo(const ClipInfo& clpi, const std::filesystem::path& folder, const std::string& fileName,
                               const core::SaveSettings& settings, core::Log& log) {
  core::SaveRequest req;
  req.folder = folder;
  req.fileName = fileName;
  req.startMessage = "Saving [bl]" + fileName + "[/bl]";
  // With "Save to BACKUP dir" the disc's BACKUP/CLIPINF keeps a copy (folder is
  // <disc>/CLIPINF).
  req.copyToBackupDir = true;
  req.discFolder = (folder.has_filename() ? folder : folder.parent_path()).parent_path();
  req.backupSubfolder = "CLIPINF";
  return core::saveFile(log, settings, req, writeClipInfo(clpi));
}

std::optional<uint64_t> packetCountMismatch(const ClipInfo& clpi, uint64_t streamSize) {
  if (streamSize == 0) return std::nullopt;
  uint64_t n = packetsInStream(streamSize);
  if (n == clpi.clipInfo.numberOfSourcePackets) return std::nullopt;
  return n;
}

core::WriteResult correctPacketCount(const std::filesystem::path& clpiFile, uint64_t packets) {
  auto fail = [&](std::string error) { return core::WriteResult::failure(clpiFile, std::move(error)); };
  if (packets > 0xFFFFFFFFull)
    return fail("The packet count " + std::to_string(packets) + " does not fit the 32-bit field.");
  std::error_code ec;
  auto size = std::filesystem::file_size(clpiFile, ec);
  if (ec) return fail(ec.message());
  if (size < 60) return fail("The file is too short to hold the packet count.");
  // Opened for update: in|out never truncates, so only the four bytes change.
  std::fstream f(clpiFile, std::ios::in | std::ios::out | std::ios::binary);
  if (!f) return fail("Cannot open " + core::displayPath(clpiFile) + " for writing.");
  const char b[4] = {char(packets >> 24), char(packets >> 16), char(packets >> 8), char(packets)};
  f.seekp(56);
  f.write(b, 4);
  f.flush();
  if (!f) return fail("Cannot write " + core::displayPath(clpiFile) + ".");
  return core::WriteResult::written(clpiFile, 4);
}

void shiftStartAddresses(ClipInfo& c, int64_t d) {
  auto mv = [d](uint32_t& a) { a = uint32_t(int64_t(a) + d); };
  mv(c.sequenceInfoStart);
  mv(c.programInfoStart);
  mv(c.cpiStart);
  mv(c.clipMarkStart);
  if (c.extensionDataStart != 0) mv(c.extensionDataStart);
}

void setApplicationType(ClipInfo& c, uint8_t type) {
  bool was6 = c.clipInfo.applicationType == 6, is6 = type == 6;
  int64_t block = 2 + 6 * int64_t(c.clipInfo.fontFiles.size());
  c.clipInfo.applicationType = type;
  if (was6 && !is6) shiftStartAddresses(c, -block);
  if (!was6 && is6) shiftStartAddresses(c, block);
}

void setATCdelta(ClipInfo& c, bool on) {
  bool was = c.clipInfo.isAtcDelta == 1;
  if (was == on) return;
  int64_t block = 2 + 14 * int64_t(c.clipInfo.atcDeltaEntries.size());
  c.clipInfo.isAtcDelta = on ? 1 : 0;
  shiftStartAddresses(c, on ? block : -block);
}

int insertATCdeltaEntry(ClipInfo& c, int selected) {
  auto& v = c.clipInfo.atcDeltaEntries;
  if (v.size() >= 255) return -1;
  size_t at = v.empty() ? 0 : size_t(std::clamp(selected, -1, int(v.size()) - 1) + 1);
  v.insert(v.begin() + at, AtcDeltaEntry{});
  shiftStartAddresses(c, 14);
  return int(at);
}

bool deleteATCdeltaEntry(ClipInfo& c, int index) {
  auto& v = c.clipInfo.atcDeltaEntries;
  if (index < 0 || size_t(index) >= v.size()) return false;
  v.erase(v.begin() + index);
  shiftStartAddresses(c, -14);
  return true;
}

std::string setATCdeltaCell(ClipInfo& c, int index, AtcDeltaField field, const std::string& text) {
  auto& v = c.clipInfo.atcDeltaEntries;
  if (index < 0 || size_t(index) >= v.size()) return "";
  auto& e = v[index];
  bool incomplete = text.find(' ') != std::string::npos;
  switch (field) {
    case AtcDeltaField::AtcDelta:
      if (!incomplete) {
        e.atcDelta = uint32_t(*core::parseHex(text, 8, core::HexInput::SkipOthers));
      }
      return core::hexText(e.atcDelta, 8);
    case AtcDeltaField::FollowingClip:
      if (!incomplete) e.followingClip = text.substr(0, 5);
      return e.followingClip;
    case AtcDeltaField::ClipCodec:
      return e.clipCodec;
    default:
      return "";
  }
}

}  // namespace morvex::clip

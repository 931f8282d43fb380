#include "nav/index.h"

#include "core/stream_coding.h"
#include "core/text.h"

namespace morvex::nav {

std::string hexPos(uint64_t pos) { return "$" + core::hexField(pos, 8); }

std::string objectTypeText(uint8_t t) {
  if (t == ObjectHDMV) return "HDMV";
  if (t == ObjectBDJ) return "BD-J";
  return "";
}

std::string playbackTypeText(uint8_t t) {
  if (t == 0) return "Movie";
  if (t == 1) return "Interactive";
  return "";
}

std::string accessTypeText(uint8_t t) {
  switch (t) {
    case 0:
    case 1: return "Permitted";
    case 2: return "Prohibited1";
    case 3: return "Prohibited2";
  }
  return "";
}

AppInfoFlags appInfoFlagsOf(uint16_t w) {
  AppInfoFlags f;
  f.initialOutputModePreference = (w >> 14) & 1;
  f.contentExistFlag = (w >> 13) & 1;
  f.initialDynamicRangeType = (w >> 8) & 0x0F;
  f.videoFormat = (w >> 4) & 0x0F;
  f.frameRate = w & 0x0F;
  return f;
}

uint16_t withAppInfoFlags(uint16_t w, const AppInfoFlags& f) {
  uint16_t reserved = w & 0x9000;
  return static_cast<uint16_t>(reserved | (f.initialOutputModePreference & 1u) << 14 | (f.contentExistFlag & 1u) << 13 |
                               (f.initialDynamicRangeType & 0x0Fu) << 8 | (f.videoFormat & 0x0Fu) << 4 |
                               (f.frameRate & 0x0Fu));
}

bool readUhdDiscInfo(const core::ExtensionData& block, UhdDiscInfo& info) {
  const auto* e = core::findEntry(block, kUhdDiscInfoId1, kUhdDiscInfoId2);
  if (!e || e->length < 8) return false;
  int64_t at = core::entryDataOffset(block, *e);
  if (at < 0) return false;
  const uint8_t* b = block.data.data() + at + 4;
  info.discType = b[0] >> 4;
  info.exist4kFlag = b[0] & 1;
  info.hdr10PlusFlag = (b[2] >> 4) & 1;
  info.slHdr2Flag = (b[2] >> 3) & 1;
  info.dolbyVisionFlag = (b[2] >> 2) & 1;
  info.hdr10Flag = (b[2] >> 1) & 1;
  info.sdrFlag = b[2] & 1;
  return true;
}

bool writeUhdDiscInfo(core::ExtensionData& block, const UhdDiscInfo& info) {
  const auto* e = core::findEntry(block, kUhdDiscInfoId1, kUhdDiscInfoId2);
  if (!e || e->length < 8) return false;
  int64_t at = core::entryDataOffset(block, *e);
  if (at < 0) return false;
  uint8_t* b = block.data.data() + at + 4;
  b[0] = static_cast<uint8_t>((b[0] & 0x0E) | (info.discType & 0x0F) << 4 | (info.exist4kFlag & 1));
  b[2] = static_cast<uint8_t>((b[2] & 0xE0) | (info.hdr10PlusFlag & 1) << 4 | (info.slHdr2Flag & 1) << 3 |
                              (info.dolbyVisionFlag & 1) << 2 | (info.hdr10Flag & 1) << 1 | (info.sdrFlag & 1));
  return true;
}

std::string uhdDiscInfoText(const UhdDiscInfo& u) {
  std::string s = "disc type " + std::to_string(u.discType);
  if (u.exist4kFlag) s += ", 4K";
  if (u.hdr10PlusFlag) s += ", HDR10+";
  if (u.slHdr2Flag) s += ", SL-HDR2";
  if (u.dolbyVisionFlag) s += ", Dolby Vision";
  if (u.hdr10Flag) s += ", HDR10";
  if (u.sdrFlag) s += ", SDR";
  return s;
}

namespace {

// The object part of an entry after its first word: the playback-type word, then the
// HDMV object id and four zero bytes, or the BD-J name and one zero byte. Every object
// type other than HDMV uses the BD-J layout.
void readEntryTail(core::Reader& r, Title& t) {
  t.playbackType = static_cast<uint8_t>((r.readU16() >> 14) & 3);
  if (t.objectType == ObjectHDMV) {
    t.objectId = r.readU16();
    r.readU32();
  } else {
    t.bdjFileName = r.readString(5);
    r.readU8();
  }
}

void readTopEntry(core::Reader& r, Title& t, uint32_t number) {
  t = Title{};
  t.titleNumber = number;
  t.objectType = static_cast<uint8_t>(r.readU32() >> 30);
  readEntryTail(r, t);
}

void putEntry(core::ByteWriter& w, size_t at, const Title& t, bool isTitle) {
  uint32_t word = uint32_t(t.objectType & 3) << 30;
  if (isTitle) word |= uint32_t(t.accessType & 3) << 28;
  w.putU32(word, at);
  w.putU16(uint32_t(t.playbackType & 3) << 14, at + 4);
  if (t.objectType == ObjectHDMV) {
    w.putU16(t.objectId, at + 6);
    w.putU32(0, at + 8);
  } else {
    w.putString(t.bdjFileName, at + 6, 5);
    w.putU8(0, at + 11);
  }
}

}  // namespace

core::ReadResult readIndexTable(const core::Bytes& image, const std::string& indexfile, IndexTable& indx, core::Log& log) {
  core::ReadResult res;
  log.stage("Reading " + indexfile);
  indx.indexes.titles.clear();
  indx.extensionData.data.clear();
  core::Reader r(image);

  uint32_t type = r.readU32();
  uint32_t version = r.readU32();
  bool good = type == kIndxType && (version == kVersion0100 || version == kVersion0200 || version == kVersion0300);
  if (!good) {
    log.error(indexfile + " format error at " + hexPos(r.pos()));
    if (type == kIndxType && image.size() >= 8)
      res.refuse(core::ReadIssue::UnsupportedVersion, 4,
                 core::unsupportedVersionMessage(indexfile, core::versionText(version)));
    else
      res.refuse(core::ReadIssue::WrongKind, 0, indexfile + ": not an index file");
    log.statusReady();
    return res;
  }

  indx.typeIndicator = type;
  indx.version = version;
  indx.indexesStartAddress = r.readU32();
  indx.extensionDataStartAddress = r.readU32();
  for (auto& b : indx.reserved) b = r.readU8();
  indx.appInfoLength = r.readU32();
  indx.appInfoFlags = r.readU16();
  // Provider data is 32 bytes, not a C string: everything up to the last non-zero byte
  // is kept (a zero byte inside it included), only the zero padding is dropped.
  {
    core::Bytes raw = r.readBytes(32);
    size_t end = raw.size();
    while (end > 0 && raw[end - 1] == 0) --end;
    indx.contentProviderData.assign(raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(end));
  }

  if (r.pos() != indx.indexesStartAddress) r.seek(indx.indexesStartAddress);
  indx.indexes.length = r.readU32();
  readTopEntry(r, indx.indexes.firstPlayback, kFirstPlaybackNumber);
  readTopEntry(r, indx.indexes.topMenu, 0);
  unsigned n = r.readU16();

  auto endsEarly = [&](unsigned readTitles) {
    std::string what = indexfile + " ends early at " + hexPos(image.size()) + " (" + std::to_string(readTitles) +
                       " of " + std::to_string(n) + " titles read)";
    log.error(what);
    res.addPartial(core::ReadIssue::EndsEarly, image.size(), what);
  };

  if (r.overrun()) {
    // The file ended inside the head or the First Playback / Top Menu entries: what
    // was read is kept, no title is taken from beyond the end.
    endsEarly(0);
  } else {
    if (n > kMaxTitles) {
      std::string what = "Error in " + indexfile + " (number of title: " + std::to_string(n) + ")";
      log.errorLine(what);
      res.refuse(core::ReadIssue::CountCapped, r.pos() - 2, what);
      return res;
    }
    // A title needs 12 bytes, so the list never grows beyond what the file holds.
    indx.indexes.titles.reserve(std::min<size_t>(n, r.remaining() / 12));
    for (unsigned i = 1; i <= n; ++i) {
      if (!r.has(12)) {
        endsEarly(i - 1);
        break;
      }
      Title t;
      t.titleNumber = i;
      uint32_t word = r.readU32();
      t.objectType = static_cast<uint8_t>(word >> 30);
      t.accessType = static_cast<uint8_t>((word >> 28) & 3);
      readEntryTail(r, t);
      indx.indexes.titles.push_back(std::move(t));
      log.status(core::StatusPanel::Detail, std::to_string(i) + "/" + std::to_string(n));
    }
  }

  indx.extensionData = core::ExtensionData{};
  // The block is read from where the titles end; its stored start address does not
  // position the file.
  if (indx.extensionDataStartAddress != 0 && res.complete()) {
    const uint64_t blockStart = r.pos();
    const uint64_t readAt = blockStart;
    core::readExtensionData(r, indx.extensionData);
    // Ultra HD files are held to the length the block declares (no byte of it may be
    // missing from a file that is taken whole).
    if (r.overrun() || (version == kVersion0300 && core::extensionDataCutShort(indx.extensionData, blockStart, image.size())))
      res.addPartial(core::ReadIssue::EndsEarly, image.size(),
                     indexfile + " ends early at " + hexPos(image.size()) + " (inside ExtensionData)");
    else
      core::checkExtensionDataLayout(indx.extensionData, indx.extensionDataStartAddress, readAt, indexfile, res);
  }
  // The writer lays the file out as it was read: AppInfoBDMV (34 bytes) right after the
  // head, the Indexes after it, each title 12 bytes. Stored fields that say otherwise
  // mean the file was not read where it says its parts are.
  if (res.complete()) {
    if (indx.appInfoLength != kIndexHeadSize - 44)
      res.addLayoutMismatch(indexfile, "AppInfoBDMV length", indx.appInfoLength, kIndexHeadSize - 44);
    if (indx.indexesStartAddress != kIndexHeadSize)
      res.addLayoutMismatch(indexfile, "Indexes start address", indx.indexesStartAddress, kIndexHeadSize);
    const uint64_t indexesLength = 26 + 12 * uint64_t(indx.indexes.titles.size());
    if (indx.indexes.length != indexesLength)
      res.addLayoutMismatch(indexfile, "Indexes length", indx.indexes.length, indexesLength);
  }

  // An Ultra HD index is taken only when the writer gives back every byte of it: the
  // bits the writer puts down as zero (entry words, playback-type words), a gap before
  // Indexes() or bytes between the titles and ExtensionData() would otherwise be lost.
  if (version == kVersion0300 && res.complete()) {
    int64_t at = core::firstDifference(image, writeIndexTable(indx));
    if (at >= 0) {
      const uint64_t pos = uint64_t(at);
      const uint64_t titlesEnd = uint64_t(indx.indexesStartAddress) + 30 + 12 * indx.indexes.titles.size();
      std::string what = pos < indx.indexesStartAddress ? "header bytes"
                         : pos < titlesEnd               ? "Indexes() bytes"
                                                         : "bytes after the titles";
      log.error(indexfile + " format error at " + hexPos(pos));
      core::refuseUnknownContent(res, indexfile, pos, what);
      // Nothing of a refused file is offered for editing, as for an unknown version.
      indx.indexes.titles.clear();
      indx.extensionData = core::ExtensionData{};
      log.statusReady();
      return res;
    }
  }

  log.info("  Found [b]" + std::to_string(indx.indexes.titles.size()) + "[/b] titles, [b]" +
          std::to_string(indx.extensionData.entries.size()) + "[/b] extended entry.");
  if (version == kVersion0300) {
    UhdDiscInfo u;
    std::string line = "  Ultra HD index, initial dynamic range " +
                       std::string(core::dynamicRangeTypeName(appInfoFlagsOf(indx.appInfoFlags).initialDynamicRangeType));
    if (readUhdDiscInfo(indx.extensionData, u)) line += "; " + uhdDiscInfoText(u);
    log.info(line + ".");
  }
  log.statusReady();
  return res;
}

core::Bytes writeIndexTable(const IndexTable& indx) {
  core::ByteWriter w;
  w.putU32(indx.typeIndicator, 0);
  w.putU32(indx.version, 4);
  w.putU32(indx.indexesStartAddress, 8);
  w.putU32(indx.extensionDataStartAddress, 12);
  for (size_t i = 0; i < indx.reserved.size(); ++i) w.putU8(indx.reserved[i], 16 + i);
  w.putU32(indx.appInfoLength, 40);
  w.putU16(indx.appInfoFlags, 44);
  w.putString(indx.contentProviderData, 46, 32);

  const size_t head = kIndexHeadSize;
  const auto& titles = indx.indexes.titles;
  w.putU32(indx.indexes.length, head);
  putEntry(w, head + 4, indx.indexes.firstPlayback, false);
  putEntry(w, head + 16, indx.indexes.topMenu, false);
  w.putU16(static_cast<uint32_t>(titles.size() & 0xFFFF), head + 28);
  for (size_t i = 0; i < titles.size(); ++i) putEntry(w, head + 30 + 12 * i, titles[i], true);

  if (indx.extensionDataStartAddress != 0) core::writeExtensionDataFullHead(w, indx.extensionData);
  return w.take();
}

core::WriteResult saveIndexTable(const IndexTable& indx, const std::filesystem::path& discFolder,
                                 const std::string& fileName, const core::SaveSettings& settings, core::Log& log) {
  return core::saveFile(log, settings, core::discFileRequest(discFolder, fileName), writeIndexTable(indx));
}

}  // namespace morvex::nav

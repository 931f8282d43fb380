#include "playlist/mpls.h"

#include <algorithm>

namespace morvex::playlist {

unsigned streamCount(const StreamTable& s, StreamKind kind) {
  switch (kind) {
    case StreamKind::Video: return s.numVideo;
    case StreamKind::Audio: return s.numAudio;
    case StreamKind::PG: return s.numPG;
    case StreamKind::IG: return s.numIG;
    case StreamKind::SecVideo: return s.numSecVideo;
    case StreamKind::SecAudio: return s.numSecAudio;
    case StreamKind::PIPPG: return s.numPIPPG;
  }
  return 0;
}

template <typename STN>
static auto* streamAtImpl(STN& s, StreamKind kind, unsigned i) {
  using Ptr = decltype(&s.video[0]);
  auto from = [&](auto& list, unsigned idx) -> Ptr { return idx < list.size() ? &list[idx] : nullptr; };
  if (i >= streamCount(s, kind)) return Ptr{nullptr};
  switch (kind) {
    case StreamKind::Video: return from(s.video, i);
    case StreamKind::Audio: return from(s.audio, i);
    case StreamKind::PG: return from(s.pg, i);
    case StreamKind::IG: return from(s.ig, i);
    case StreamKind::PIPPG: return from(s.pg, unsigned(s.numPG) + i);
    case StreamKind::SecVideo: return i < s.secVideo.size() ? static_cast<Ptr>(&s.secVideo[i]) : nullptr;
    case StreamKind::SecAudio: return i < s.secAudio.size() ? static_cast<Ptr>(&s.secAudio[i]) : nullptr;
  }
  return Ptr{nullptr};
}

const Stream* streamAt(const StreamTable& s, StreamKind kind, unsigned i) { return streamAtImpl(s, kind, i); }
Stream* streamAt(StreamTable& s, StreamKind kind, unsigned i) { return streamAtImpl(s, kind, i); }

}  // namespace morvex::playlist

namespace morvex::playlist {

namespace {

// Where the records of the static-metadata entry start in the block's data bytes and
// how many the entry holds; -1 when there is no usable entry.
int64_t staticMetadataRecords(const ExtensionData& block, unsigned& count) {
  const auto* e = core::findEntry(block, kStaticMetadataId1, kStaticMetadataId2);
  if (!e || e->length < 8) return -1;
  int64_t at = core::entryDataOffset(block, *e);
  if (at < 0) return -1;
  const uint8_t* b = block.data.data() + at;
  const uint32_t length = uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
  // The count is believed only as far as both the length field and the entry hold it.
  const uint64_t room = std::min<uint64_t>(e->length - 8, length >= 4 ? length - 4 : 0);
  count = std::min<unsigned>(b[4], unsigned(room / 28));
  return at + 8;
}

uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
void set16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}

}  // namespace

bool readStaticMetadata(const ExtensionData& block, std::vector<StaticMetadata>& records) {
  records.clear();
  unsigned n = 0;
  int64_t at = staticMetadataRecords(block, n);
  if (at < 0) return false;
  for (unsigned i = 0; i < n; ++i) {
    const uint8_t* p = block.data.data() + at + 28 * i;
    StaticMetadata m;
    m.dynamicRangeType = p[0] >> 4;
    for (int c = 0; c < 3; ++c) {
      m.displayPrimariesX[c] = get16(p + 4 + 4 * c);
      m.displayPrimariesY[c] = get16(p + 6 + 4 * c);
    }
    m.whitePointX = get16(p + 16);
    m.whitePointY = get16(p + 18);
    m.maxDisplayMasteringLuminance = get16(p + 20);
    m.minDisplayMasteringLuminance = get16(p + 22);
    m.maxContentLightLevel = get16(p + 24);
    m.maxFrameAverageLightLevel = get16(p + 26);
    records.push_back(m);
  }
  return true;
}

bool writeStaticMetadata(ExtensionData& block, const std::vector<StaticMetadata>& records) {
  unsigned n = 0;
  int64_t at = staticMetadataRecords(block, n);
  if (at < 0) return false;
  for (unsigned i = 0; i < n && i < records.size(); ++i) {
    uint8_t* p = block.data.data() + at + 28 * i;
    const auto& m = records[i];
    p[0] = static_cast<uint8_t>((m.dynamicRangeType & 0x0F) << 4 | (p[0] & 0x0F));
    for (int c = 0; c < 3; ++c) {
      set16(p + 4 + 4 * c, m.displayPrimariesX[c]);
      set16(p + 6 + 4 * c, m.displayPrimariesY[c]);
    }
    set16(p + 16, m.whitePointX);
    set16(p + 18, m.whitePointY);
    set16(p + 20, m.maxDisplayMasteringLuminance);
    set16(p + 22, m.minDisplayMasteringLuminance);
    set16(p + 24, m.maxContentLightLevel);
    set16(p + 26, m.maxFrameAverageLightLevel);
  }
  return true;
}

}  // namespace morvex::playlist

#include "clip/stream_clip.h"

#include <algorithm>

#include "core/binary.h"
#include "core/save.h"
#include "core/stream_coding.h"

namespace morvex::clip {

StreamFacts scanStream(const std::filesystem::path& file, uint16_t videoPid) {
  StreamFacts f;
  core::Bytes b;
  if (!core::readWholeFile(file, b, f.error, uint64_t(1) << 32)) return f;
  if (b.size() % 192 != 0) {
    f.error = core::displayPath(file) + " is not a BD AV stream (its size is not a multiple of 192 bytes)";
    return f;
  }
  f.packets = b.size() / 192;
  for (uint64_t i = 0; i < f.packets; ++i) {
    const uint8_t* tp = b.data() + i * 192 + 4;
    // Only packets that start a PES packet on the video PID carry a time stamp.
    if (tp[0] != 0x47 || ((tp[1] & 0x1F) << 8 | tp[2]) != videoPid || !(tp[1] & 0x40)) continue;
    size_t at = 4;
    bool rai = false;
    if (tp[3] & 0x20) {
      rai = tp[4] > 0 && (tp[5] & 0x40);
      at += 1 + tp[4];
    }
    if (at + 14 > 188 || tp[at] != 0 || tp[at + 1] != 0 || tp[at + 2] != 1 || !(tp[at + 7] & 0x80)) continue;
    const uint8_t* s = tp + at + 9;
    const uint64_t pts = (uint64_t(s[0] & 0x0E) << 29) | (uint64_t(s[1]) << 22) | (uint64_t(s[2] & 0xFE) << 14) |
                         (uint64_t(s[3]) << 7) | (s[4] >> 1);
    f.firstPts = std::min(f.firstPts, pts);
    f.lastPts = std::max(f.lastPts, pts);
    if (rai) f.keys.push_back({uint32_t(i), pts, 1});
  }
  f.ok = !f.keys.empty();
  if (!f.ok) f.error = core::displayPath(file) + " has no video key frame on PID " + std::to_string(videoPid);
  return f;
}

ClipStream avcVideoStream(uint16_t pid, uint8_t videoFormat, uint8_t frameRate) {
  ClipStream s;
  s.pid = pid;
  s.codingInfoLength = 21;
  s.codingType = core::codingValue(core::StreamCoding::Avc);
  s.videoFormat = videoFormat;
  s.frameRate = frameRate;
  s.aspectRatio = 3;  // 16:9
  return s;
}

ClipInfo clipInfoOfStream(const StreamFacts& f, std::vector<ClipStream> streams, uint16_t videoPid,
                          uint32_t frameDuration) {
  ClipInfo c;
  c.typeIndicator = "HDMV";
  c.version = "0200";
  c.clipInfo.clipStreamType = 1;
  c.clipInfo.applicationType = 1;  // a movie
  c.clipInfo.tsRecordingRate = 6000000;  // 48 Mbit/s in bytes per second
  c.clipInfo.numberOfSourcePackets = uint32_t(f.packets);
  c.clipInfo.tsTypeInfoLength = 30;
  c.clipInfo.validityFlags = 0x80;
  c.clipInfo.formatIdentifier = "HDMV";
  // Presentation times are stored in 45 kHz.
  const uint64_t first = f.firstPts == UINT64_MAX ? 0 : f.firstPts;
  AtcSequence a;
  a.stcSequences.push_back({videoPid, 0, uint32_t(first / 2), uint32_t((f.lastPts + frameDuration) / 2)});
  c.sequenceInfo.atcSequences.push_back(a);
  c.sequenceInfo.length = 2 + 6 + 14;
  ProgramSequence p;
  p.programMapPid = 0x0100;
  p.streams = std::move(streams);
  c.programInfo.length = uint32_t(2 + 8 + 24 * p.streams.size());
  c.programInfo.programSequences.push_back(std::move(p));
  c.cpi.length = 0;
  setSingleEPMap(c, videoPid, f.keys);
  return c;
}

}  // namespace morvex::clip

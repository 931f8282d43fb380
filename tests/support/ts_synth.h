#pragma once
// Synthetic BD transport streams for tests, benchmarks and the demo disc.
//
// Writes 192-byte source packets (4-byte arrival time stamp + 188-byte TS packet) with
// PAT and PMT, PCR packets, occasional null packets, and PES traffic on the usual BD
// PIDs: 0x1011 video (AVC-like access units, 23.976 frames/s, PES length 0 for frames
// above 64 KiB, PTS + DTS, random access adaptation field on key frames), 0x1100 audio
// (AC-3-sized frames every 32 ms), 0x1200 PG display sets and 0x1400 IG menu segments
// (each PES one segment: type byte, 16-bit length, body). Packets of the streams are
// interleaved; the last packet of each PES is filled with adaptation-field stuffing.
// The output is deterministic for a seed and is produced piece by piece, so any size
// can be written in constant memory. The packets are laid out by ts::Packetizer, the
// one the menu muxer uses.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace morvex::test {

struct SynthOptions {
  uint64_t targetBytes = 1 << 20;  // stops after the time slot that reaches this size
  uint64_t seed = 1;
  bool video = true, audio = true, pg = true, ig = true;
  bool secondAudio = false;  // a second audio stream on PID 0x1101
  uint32_t videoBitrate = 20'000'000;  // bits per second, on average
  uint32_t firstPts = 900000;          // 90 kHz
  // The IG display set to carry on PID 0x1400, one segment (type, 16-bit length,
  // body) per entry, repeated where the stream would place its own. Empty: segments
  // of the right types with random bodies, which no menu reader accepts.
  std::vector<std::vector<uint8_t>> igSegments;
};

// One PES packet as generated: what a demultiplexer should find again.
struct SynthPes {
  uint16_t pid = 0;
  uint8_t streamId = 0;
  uint32_t pts = 0, dts = 0;
  bool hasDts = false;
  bool unboundedLength = false;
  const std::vector<uint8_t>* payload = nullptr;  // valid during the callback only
};

// A key frame: the source packet number where its PES starts and its PTS (90 kHz).
struct SynthKeyFrame {
  uint32_t spn = 0;
  uint32_t pts = 0;
};

struct SynthStats {
  uint64_t packets = 0;
  uint64_t pesPackets = 0;
  uint32_t firstPts = 0, lastPts = 0;  // 90 kHz, of the first and last video frame
  std::vector<SynthKeyFrame> keyFrames;  // one per GOP (about one a second)
};

using SynthSink = std::function<bool(const uint8_t*, size_t)>;  // false = stop
using SynthPesCallback = std::function<void(const SynthPes&)>;

// Generates a stream into `sink`; `onPes` (optional) sees every PES packet's payload.
SynthStats generateStream(const SynthOptions& opt, const SynthSink& sink, const SynthPesCallback& onPes = {});

// Writes a stream to a file. False (with `error`) when the file cannot be written.
bool writeSyntheticStream(const std::filesystem::path& file, const SynthOptions& opt, std::string& error,
                          SynthStats* stats = nullptr, const SynthPesCallback& onPes = {});

}  // namespace morvex::test

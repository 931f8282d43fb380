#include "support/ts_synth.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/save.h"
#include "ts/packetizer.h"
#include "core/stream_coding.h"

namespace morvex::test {

namespace {

constexpr uint16_t kPmtPid = 0x0100;
constexpr uint16_t kPcrPid = 0x1001;
constexpr uint32_t kFrameTicks = 3754;  // 23.976 frames/s at 90 kHz
constexpr uint32_t kAudioTicks = 2880;  // 1536 samples at 48 kHz
constexpr uint32_t kAtsPerPacket = 864;  // 27 MHz arrival clock at 48 Mbit/s

class Rng {
public:
  explicit Rng(uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ull + 0x1234567ull) {}
  uint64_t next() {
    s_ ^= s_ >> 12;
    s_ ^= s_ << 25;
    s_ ^= s_ >> 27;
    return s_ * 0x2545F4914F6CDD1Dull;
  }
  uint32_t below(uint32_t n) { return n ? uint32_t(next() % n) : 0; }
  void fill(uint8_t* p, size_t n) {
    while (n >= 8) {
      uint64_t v = next();
      std::memcpy(p, &v, 8);
      p += 8;
      n -= 8;
    }
    uint64_t v = next();
    std::memcpy(p, &v, n);
  }

private:
  uint64_t s_;
};

uint32_t crc32mpeg(const uint8_t* p, size_t n) {
  uint32_t crc = 0xFFFFFFFF;
  for (size_t i = 0; i < n; ++i) {
    crc ^= uint32_t(p[i]) << 24;
    for (int k = 0; k < 8; ++k) crc = (crc & 0x80000000) ? (crc << 1) ^ 0x04C11DB7 : crc << 1;
  }
  return crc;
}

void putTimeStamp(uint8_t* b, uint8_t marker, uint64_t ts) {
  b[0] = uint8_t(marker << 4 | ((ts >> 29) & 0x0E) | 1);
  b[1] = uint8_t(ts >> 22);
  b[2] = uint8_t(((ts >> 14) & 0xFE) | 1);
  b[3] = uint8_t(ts >> 7);
  b[4] = uint8_t(((ts << 1) & 0xFE) | 1);
}

// One PES packet being cut into transport packets.
struct PesCut {
  uint16_t pid = 0;
  std::vector<uint8_t> bytes;  // PES header + payload
  size_t pos = 0;
  bool randomAccess = false;
  uint32_t pts = 0;
  bool done() const { return pos >= bytes.size(); }
};

class Muxer {
public:
  Muxer(const SynthOptions& o, const SynthSink& sink, const SynthPesCallback& onPes)
      : opt_(o), sink_(sink), onPes_(onPes), rng_(o.seed), packetizer_(out_, {0, kAtsPerPacket, true}) {
    out_.reserve(kOutPackets * ts::kSourcePacketSize);
  }

  SynthStats run() {
    uint64_t slot = 0;
    uint32_t audioNext = opt_.firstPts;
    while (!stopped_ && bytes() < opt_.targetBytes) {
      const uint32_t t = opt_.firstPts + uint32_t(slot) * kFrameTicks;
      if (slot % 2 == 0) {
        psi(0, pat());
        psi(kPmtPid, pmt());
      }
      pcr(uint64_t(t) - 2 * kFrameTicks);
      std::vector<PesCut> slotPes;
      if (opt_.video) slotPes.push_back(videoFrame(slot, t));
      if (opt_.audio || opt_.secondAudio)
        for (; audioNext < t + kFrameTicks; audioNext += kAudioTicks) {
          if (opt_.audio) slotPes.push_back(audioFrame(0x1100, audioNext));
          if (opt_.secondAudio) slotPes.push_back(audioFrame(0x1101, audioNext));
        }
      if (opt_.pg && slot % 48 == 5) {
        static const uint8_t types[] = {0x16, 0x17, 0x14, 0x15, 0x80};
        for (uint8_t ty : types) slotPes.push_back(segment(0x1200, ty, t + 2 * kFrameTicks, ty == 0x16 || ty == 0x15));
      }
      if (opt_.ig && slot % 120 == 0 && !opt_.igSegments.empty()) {
        // Composition and object segments carry a decode time, as a muxer writes them.
        for (const auto& seg : opt_.igSegments) {
          buf_ = seg;
          const bool dts = !seg.empty() && (seg[0] == 0x18 || seg[0] == 0x15);
          slotPes.push_back(makePes(0x1400, 0xBD, t + 3 * kFrameTicks, dts, t + 2 * kFrameTicks, buf_));
        }
      } else if (opt_.ig && slot % 120 == 0) {
        static const uint8_t types[] = {0x18, 0x14, 0x15, 0x15, 0x80};
        for (uint8_t ty : types) slotPes.push_back(segment(0x1400, ty, t + 3 * kFrameTicks, ty == 0x18));
      }
      // Round-robin over the PIDs, as a multiplexer interleaves them; the PES packets of
      // one PID follow each other whole.
      std::vector<std::vector<PesCut*>> byPid;
      for (auto& p : slotPes) {
        auto it = std::find_if(byPid.begin(), byPid.end(), [&](auto& q) { return q.front()->pid == p.pid; });
        if (it == byPid.end()) byPid.push_back({&p});
        else it->push_back(&p);
      }
      std::vector<size_t> at(byPid.size(), 0);
      bool any = true;
      while (any && !stopped_) {
        any = false;
        for (size_t q = 0; q < byPid.size(); ++q) {
          if (at[q] >= byPid[q].size()) continue;
          any = true;
          PesCut& z = *byPid[q][at[q]];
          pesPacket(z);
          if (z.done()) ++at[q];
          if (++sinceNull_ == 97) {
            nullPacket();
            sinceNull_ = 0;
          }
        }
      }
      stats_.lastPts = t;
      ++slot;
    }
    flushOut();
    stats_.packets = packetizer_.packets();
    return stats_;
  }

private:
  static constexpr size_t kOutPackets = 2048;

  uint64_t bytes() const { return packetizer_.packets() * ts::kSourcePacketSize; }

  // After every packet: the buffer is handed on once it is full.
  void packetDone() {
    if (out_.size() >= kOutPackets * ts::kSourcePacketSize) flushOut();
  }

  void flushOut() {
    if (!out_.empty() && !stopped_ && !sink_(out_.data(), out_.size())) stopped_ = true;
    out_.clear();
  }

  void psi(uint16_t pid, const std::vector<uint8_t>& section) {
    packetizer_.section(pid, section);
    packetDone();
  }

  static void finishSection(std::vector<uint8_t>& s) {
    size_t len = s.size() - 3 + 4;
    s[1] = uint8_t(0xB0 | (len >> 8));
    s[2] = uint8_t(len);
    uint32_t crc = crc32mpeg(s.data(), s.size());
    for (int i = 3; i >= 0; --i) s.push_back(uint8_t(crc >> (8 * i)));
  }

  std::vector<uint8_t> pat() const {
    std::vector<uint8_t> s = {0x00, 0, 0, 0x00, 0x01, 0xC1, 0x00, 0x00, 0x00, 0x01,
                              uint8_t(0xE0 | (kPmtPid >> 8)), uint8_t(kPmtPid)};
    finishSection(s);
    return s;
  }

  std::vector<uint8_t> pmt() const {
    std::vector<uint8_t> s = {0x02, 0, 0, 0x00, 0x01, 0xC1, 0x00, 0x00, uint8_t(0xE0 | (kPcrPid >> 8)),
                              uint8_t(kPcrPid), 0xF0, 0x00};
    auto es = [&s](core::StreamCoding coding, uint16_t pid) {
      s.insert(s.end(), {core::codingValue(coding), uint8_t(0xE0 | (pid >> 8)), uint8_t(pid), 0xF0, 0x00});
    };
    using enum core::StreamCoding;
    if (opt_.video) es(Avc, 0x1011);
    if (opt_.audio) es(DolbyDigital, 0x1100);
    if (opt_.secondAudio) es(DolbyDigital, 0x1101);
    if (opt_.pg) es(Pg, 0x1200);
    if (opt_.ig) es(Ig, 0x1400);
    finishSection(s);
    return s;
  }

  void pcr(uint64_t base90k) {
    packetizer_.pcr(kPcrPid, base90k);
    packetDone();
  }

  void nullPacket() {
    packetizer_.null();
    packetDone();
  }

  // Cuts the next transport packet from a PES. A key frame's first packet carries an
  // adaptation field with the random access flag; the last packet is padded with
  // stuffing so that the PES ends exactly at the packet's end.
  void pesPacket(PesCut& z) {
    const bool first = z.pos == 0;
    if (first && z.randomAccess) stats_.keyFrames.push_back({uint32_t(packetizer_.packets()), z.pts});
    z.pos += packetizer_.payload(z.pid, z.bytes.data() + z.pos, z.bytes.size() - z.pos, first, first && z.randomAccess);
    packetDone();
  }

  PesCut makePes(uint16_t pid, uint8_t sid, uint32_t pts, bool withDts, uint32_t dts,
                     std::vector<uint8_t>& payload) {
    PesCut z;
    z.pid = pid;
    const uint8_t H = withDts ? 10 : 5;
    const size_t len = 3 + H + payload.size();
    const bool unbounded = len > 0xFFFF;
    z.bytes.reserve(9 + H + payload.size());
    z.bytes = {0, 0, 1, sid, uint8_t(unbounded ? 0 : len >> 8), uint8_t(unbounded ? 0 : len), 0x81,
               uint8_t(withDts ? 0xC0 : 0x80), H};
    z.bytes.resize(9 + H);
    putTimeStamp(z.bytes.data() + 9, withDts ? 3 : 2, pts);
    if (withDts) putTimeStamp(z.bytes.data() + 14, 1, dts);
    z.bytes.insert(z.bytes.end(), payload.begin(), payload.end());
    ++stats_.pesPackets;
    if (onPes_) {
      SynthPes e;
      e.pid = pid;
      e.streamId = sid;
      e.pts = pts;
      e.dts = withDts ? dts : 0;
      e.hasDts = withDts;
      e.unboundedLength = unbounded;
      e.payload = &payload;
      onPes_(e);
    }
    return z;
  }

  PesCut videoFrame(uint64_t slot, uint32_t t) {
    const uint64_t avg = uint64_t(opt_.videoBitrate) / 8 * 1001 / 24000;
    const unsigned inGop = unsigned(slot % 24);
    uint64_t size = inGop == 0 ? avg * 4 : (inGop % 3 == 1 ? avg * 6 / 5 : avg * 3 / 5);
    size = size * (90 + rng_.below(21)) / 100 + 16;
    buf_.resize(size_t(size));
    rng_.fill(buf_.data(), buf_.size());
    // An access unit delimiter opens each frame, as in an AVC elementary stream.
    const uint8_t aud[] = {0, 0, 0, 1, 0x09, 0xF0};
    std::memcpy(buf_.data(), aud, sizeof aud);
    const uint32_t dts = t - kFrameTicks;
    const uint32_t pts = inGop % 3 == 2 ? t : t + kFrameTicks;
    PesCut z = makePes(0x1011, 0xE0, pts, true, dts, buf_);
    z.randomAccess = inGop == 0;
    z.pts = pts;
    if (slot == 0) stats_.firstPts = pts;
    return z;
  }

  PesCut audioFrame(uint16_t pid, uint32_t pts) {
    buf_.resize(2560);
    rng_.fill(buf_.data(), buf_.size());
    buf_[0] = 0x0B;  // AC-3 sync word
    buf_[1] = 0x77;
    return makePes(pid, 0xBD, pts, false, 0, buf_);
  }

  // One graphics segment in its own PES packet: type, 16-bit body length, body.
  PesCut segment(uint16_t pid, uint8_t type, uint32_t pts, bool withDts) {
    size_t body = 0;
    switch (type) {
      case 0x16: body = 19; break;                              // presentation composition
      case 0x17: body = 10; break;                              // window definition
      case 0x14: body = 2 + 5 * (16 + rng_.below(240)); break;  // palette
      case 0x15: body = 2000 + rng_.below(30000); break;         // object
      case 0x18: body = 600 + rng_.below(3000); break;           // interactive composition
      default: body = 0; break;                                  // end of display set
    }
    buf_.resize(3 + body);
    rng_.fill(buf_.data() + 3, body);
    buf_[0] = type;
    buf_[1] = uint8_t(body >> 8);
    buf_[2] = uint8_t(body);
    return makePes(pid, 0xBD, pts, withDts, pts - kFrameTicks, buf_);
  }

  SynthOptions opt_;
  const SynthSink& sink_;
  const SynthPesCallback& onPes_;
  Rng rng_;
  std::vector<uint8_t> out_, buf_;
  ts::Packetizer packetizer_;
  unsigned sinceNull_ = 0;
  bool stopped_ = false;
  SynthStats stats_;
};

}  // namespace

SynthStats generateStream(const SynthOptions& opt, const SynthSink& sink, const SynthPesCallback& onPes) {
  auto m = std::make_unique<Muxer>(opt, sink, onPes);
  return m->run();
}

bool writeSyntheticStream(const std::filesystem::path& file, const SynthOptions& opt, std::string& error,
                          SynthStats* stats, const SynthPesCallback& onPes) {
  core::AtomicFile f(file);
  if (!f.open(error)) {
    error = file.string() + ": " + error;
    return false;
  }
  std::string werr;
  bool ok = true;
  SynthStats s = generateStream(
      opt, [&](const uint8_t* p, size_t n) { return ok = f.write(p, n, werr); }, onPes);
  if (ok) ok = f.commit(werr);
  if (!ok) error = file.string() + ": " + (werr.empty() ? "write failed" : werr);
  if (stats) *stats = s;
  return ok;
}

}  // namespace morvex::test

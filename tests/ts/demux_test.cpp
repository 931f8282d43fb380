// The demultiplexer against an independent reassembly of generated streams, plus the
// packet-level rules (adaptation fields, framing, time base, exclusions, damage).
#include <gtest/gtest.h>

#include <map>

#include "ts/demux.h"
#include "support/ts_synth.h"
#include "core/log.h"
#include "support/test_support.h"

using namespace morvex;
using namespace morvex::test;
using namespace morvex::ts;
using Bytes = std::vector<uint8_t>;

namespace {

// ---- An independent reader of the generated streams ---------------------------------
// It cuts PES packets at the payload-unit-start flag (which the demultiplexer does not
// use) and takes the PES header apart on its own.
struct RefPes {
  uint32_t pts = 0, dts = 0;
  bool hasPts = false, hasDts = false;
  uint8_t sid = 0;
  Bytes payload;  // after the PES header
};

uint32_t ts32(const uint8_t* b) {
  uint64_t v = (uint64_t(b[0] >> 1) & 7) << 30 | uint64_t(b[1]) << 22 | uint64_t(b[2] >> 1) << 15 |
               uint64_t(b[3]) << 7 | (b[4] >> 1);
  return uint32_t(v);
}

struct RefDemux {
  std::map<uint16_t, Bytes> rawPayload;             // PES mode
  std::map<uint16_t, std::vector<RefPes>> pes;      // reassembled
  std::map<uint16_t, Bytes> cur;
  explicit RefDemux(const Bytes& ts) {
    for (size_t off = 0; off + 192 <= ts.size(); off += 192) {
      const uint8_t* p = ts.data() + off + 4;  // TS packet
      if (p[0] != 0x47) continue;
      uint16_t pid = uint16_t((p[1] & 0x1F) << 8 | p[2]);
      bool pusi = p[1] & 0x40;
      int afc = (p[3] >> 4) & 3;
      size_t start = 4;
      if (afc & 2) start += 1 + p[4];
      if (!(afc & 1) || start >= 188) continue;
      Bytes pl(p + start, p + 188);
      auto& raw = rawPayload[pid];
      raw.insert(raw.end(), pl.begin(), pl.end());
      if (pusi) finish(pid);
      auto& c = cur[pid];
      c.insert(c.end(), pl.begin(), pl.end());
    }
    for (auto& [pid, c] : cur) finish(pid);
  }
  void finish(uint16_t pid) {
    auto& c = cur[pid];
    if (c.size() >= 9 && c[0] == 0 && c[1] == 0 && c[2] == 1) {
      RefPes r;
      r.sid = c[3];
      uint8_t flags = c[7] >> 6;
      r.hasPts = flags & 2;
      r.hasDts = flags == 3;
      if (r.hasPts) r.pts = ts32(&c[9]);
      if (r.hasDts) r.dts = ts32(&c[14]);
      size_t len = size_t(c[4]) << 8 | c[5];
      size_t end = len ? std::min(c.size(), 6 + len) : c.size();
      r.payload.assign(c.begin() + 9 + c[8], c.begin() + end);
      pes[pid].push_back(std::move(r));
    }
    c.clear();
  }
  Bytes elementary(uint16_t pid) {
    Bytes out;
    for (auto& r : pes[pid]) out.insert(out.end(), r.payload.begin(), r.payload.end());
    return out;
  }
  Bytes framed(uint16_t pid, const char* tag, uint32_t base) {
    Bytes out;
    for (auto& r : pes[pid]) {
      uint32_t pts = r.pts - base, dts = r.hasDts ? r.dts - base : 0;
      Bytes h = {uint8_t(tag[0]), uint8_t(tag[1]), uint8_t(pts >> 24), uint8_t(pts >> 16), uint8_t(pts >> 8),
                 uint8_t(pts), uint8_t(dts >> 24), uint8_t(dts >> 16), uint8_t(dts >> 8), uint8_t(dts)};
      out.insert(out.end(), h.begin(), h.end());
      out.insert(out.end(), r.payload.begin(), r.payload.end());
    }
    return out;
  }
};

Bytes generate(SynthOptions o, std::map<uint16_t, Bytes>* truth = nullptr) {
  Bytes ts;
  generateStream(
      o, [&](const uint8_t* p, size_t n) { ts.insert(ts.end(), p, p + n); return true; },
      [&](const SynthPes& e) {
        if (truth) (*truth)[e.pid].insert((*truth)[e.pid].end(), e.payload->begin(), e.payload->end());
      });
  return ts;
}

Bytes demuxMemory(const Bytes& ts, uint32_t pid, DemuxMode mode, core::Log* log = nullptr) {
  Bytes out;
  PidDemuxer d(pid, mode, [&](const uint8_t* p, size_t n) { out.insert(out.end(), p, p + n); return true; }, log);
  d.feed(ts.data(), ts.size() / 192);
  d.flush();
  return out;
}

// A hand-made source packet: PID, payload-unit-start flag, adaptation field length
// (-1 = none) and the payload (padded with 0xFF to the packet's end).
Bytes packet(uint16_t pid, bool pusi, int afLen, const Bytes& payload) {
  Bytes p(192, 0xFF);
  p[0] = 0x12, p[1] = 0x34, p[2] = 0x56, p[3] = 0x78;
  p[4] = 0x47;
  p[5] = uint8_t((pusi ? 0x40 : 0) | (pid >> 8));
  p[6] = uint8_t(pid);
  p[7] = afLen >= 0 ? 0x30 : 0x10;
  size_t at = 8;
  if (afLen >= 0) {
    p[8] = uint8_t(afLen);
    at = 9 + size_t(afLen);
  }
  for (size_t i = 0; i < payload.size() && at + i < 192; ++i) p[at + i] = payload[i];
  return p;
}

void putTs(uint8_t* b, uint8_t marker, uint32_t ts) {
  b[0] = uint8_t(marker << 4 | ((uint64_t(ts) >> 29) & 0x0E) | 1);
  b[1] = uint8_t(ts >> 22);
  b[2] = uint8_t(((ts >> 14) & 0xFE) | 1);
  b[3] = uint8_t(ts >> 7);
  b[4] = uint8_t(((ts << 1) & 0xFE) | 1);
}

// A PES packet's first bytes: header with PTS (and DTS), then `body`.
Bytes pes(uint8_t sid, uint16_t length, const Bytes& body, int64_t pts = -1, int64_t dts = -1) {
  uint8_t H = pts < 0 ? 0 : dts < 0 ? 5 : 10;
  Bytes b = {0, 0, 1, sid, uint8_t(length >> 8), uint8_t(length), 0x81,
             uint8_t(pts < 0 ? 0 : dts < 0 ? 0x80 : 0xC0), H};
  b.resize(9 + H);
  if (pts >= 0) putTs(&b[9], dts < 0 ? 2 : 3, uint32_t(pts));
  if (dts >= 0) putTs(&b[14], 1, uint32_t(dts));
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

}  // namespace

TEST(DemuxGenerated, EveryModeMatchesAnIndependentReassembly) {
  SynthOptions o;
  o.targetBytes = 6 << 20;
  o.seed = 7;
  std::map<uint16_t, Bytes> truth;
  Bytes ts = generate(o, &truth);
  ASSERT_EQ(ts.size() % 192, 0u);
  RefDemux ref(ts);
  ASSERT_GT(ref.pes[0x1011].size(), 50u);
  ASSERT_GT(ref.pes[0x1200].size(), 5u);
  ASSERT_GT(ref.pes[0x1400].size(), 3u);
  const uint32_t videoBase = ref.pes[0x1011].front().pts;

  for (uint16_t pid : {0x1011, 0x1100, 0x1200, 0x1400}) {
    SCOPED_TRACE(pid);
    // The generator's own record and the independent reassembly agree ...
    EXPECT_EQ(ref.elementary(pid), truth[pid]);
    // ... and so does the demultiplexer in each mode.
    EXPECT_EQ(demuxMemory(ts, pid, DemuxMode::Elementary), truth[pid]);
    EXPECT_EQ(demuxMemory(ts, pid, DemuxMode::Pes), ref.rawPayload[pid]);
  }
  EXPECT_EQ(demuxMemory(ts, 0x1200, DemuxMode::Subtitle), ref.framed(0x1200, "PG", videoBase));
  EXPECT_EQ(demuxMemory(ts, 0x1400, DemuxMode::Menu), ref.framed(0x1400, "IG", 0));
}

TEST(DemuxGenerated, FileRunCountsPacketsAndLogsFramedSegments) {
  test::TempDir d;
  SynthOptions o;
  o.targetBytes = 1 << 20;
  std::string err;
  ASSERT_TRUE(writeSyntheticStream(d / "s.m2ts", o, err)) << err;
  Bytes ts = test::readFile(d / "s.m2ts");
  // two stray bytes after the last whole packet
  Bytes damaged = ts;
  damaged.push_back(0x47);
  damaged.push_back(0x00);
  test::writeFile(d / "t.m2ts", damaged);

  core::MemoryLog log;
  DemuxResult r = demuxStream(d / "t.m2ts", d / "out.mnu", 0x1400, DemuxMode::Menu, log);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.trailingBytes, 2u);
  EXPECT_EQ(r.packetsSeen, ts.size() / 192);
  RefDemux ref(ts);
  uint64_t pidPackets = 0;
  for (size_t off = 0; off < ts.size(); off += 192)
    pidPackets += ((ts[off + 5] & 0x1F) << 8 | ts[off + 6]) == 0x1400;
  EXPECT_EQ(r.pidPackets, pidPackets);
  EXPECT_EQ(test::readFile(d / "out.mnu"), ref.framed(0x1400, "IG", 0));
  auto lines = log.plainLines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.find("bytes after the last whole source packet") != std::string::npos; }),
            1);
  // one line per IG segment: PTS, DTS, clock times, segment type, packet prefix
  const RefPes& first = ref.pes[0x1400].front();
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08X, ", first.pts);
  auto it = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(buf, 0) == 0; });
  ASSERT_NE(it, lines.end());
  EXPECT_NE(it->find("   18   "), std::string::npos) << *it;  // interactive composition first

  // The stream itself is never taken as the output.
  core::MemoryLog log3;
  DemuxResult same = demuxStream(d / "s.m2ts", d / "." / "s.m2ts", 0x1100, DemuxMode::Elementary, log3);
  EXPECT_FALSE(same.ok);
  EXPECT_FALSE(same.outputCreated);
  EXPECT_EQ(test::readFile(d / "s.m2ts"), ts);

  core::MemoryLog secondLog;
  DemuxResult s = savePid(d / "s.m2ts", (d / "x.aus").string(), 0x1100, DemuxMode::Elementary, secondLog);
  ASSERT_TRUE(s.ok);
  auto l2 = secondLog.plainLines();
  ASSERT_GE(l2.size(), 3u);
  EXPECT_EQ(l2[1], "Saving " + (d / "x.aus").string() + " ...");
  EXPECT_EQ(l2.back().rfind(std::to_string(s.pidPackets) + " source packets saved. (", 0), 0u) << l2.back();
}

TEST(DemuxGenerated, GivenIgDisplaySetIsCarriedWholeAndDemuxedBack) {
  // A display set of a composition, a palette and an end segment, each its own PES.
  SynthOptions o;
  o.targetBytes = 400000;
  o.video = o.audio = o.pg = false;
  o.igSegments = {{0x18, 0, 3, 1, 2, 3}, {0x14, 0, 2, 9, 9}, {0x80, 0, 0}};
  std::vector<std::pair<Bytes, bool>> pes;
  Bytes ts;
  generateStream(
      o, [&](const uint8_t* p, size_t n) { ts.insert(ts.end(), p, p + n); return true; },
      [&](const SynthPes& e) {
        if (e.pid == 0x1400) pes.emplace_back(*e.payload, e.hasDts);
      });
  ASSERT_GE(pes.size(), 3u);
  ASSERT_EQ(pes.size() % 3, 0u);
  for (size_t i = 0; i < pes.size(); ++i) {
    EXPECT_EQ(pes[i].first, o.igSegments[i % 3]);
    // The composition carries a decode time; palettes and the end do not need one.
    EXPECT_EQ(pes[i].second, i % 3 == 0);
  }
  // What the demultiplexer finds again is the segments in order.
  Bytes expected;
  for (size_t i = 0; i < pes.size(); ++i) expected.insert(expected.end(), pes[i].first.begin(), pes[i].first.end());
  EXPECT_EQ(demuxMemory(ts, 0x1400, DemuxMode::Elementary), expected);
}

TEST(DemuxPackets, AdaptationFieldDecidesPayloadSizeAndOffset) {
  Bytes body(300);
  for (size_t i = 0; i < body.size(); ++i) body[i] = uint8_t(i);
  Bytes first = pes(0xBD, uint16_t(3 + 5 + 183 - 14 + 183), Bytes(body.begin(), body.begin() + 183 - 14), 1000);
  Bytes ts = cat({packet(0x1100, true, 0, first),                                // 183 payload bytes at offset 9
                  packet(0x1100, false, 183, {}),                                // length 183: nothing
                  packet(0x1100, false, 0, Bytes(body.begin() + 169, body.begin() + 300))});
  Bytes es = demuxMemory(ts, 0x1100, DemuxMode::Elementary);
  ASSERT_GE(es.size(), 169u + 131u);
  EXPECT_EQ(Bytes(es.begin(), es.begin() + 300), body);
  Bytes raw = demuxMemory(ts, 0x1100, DemuxMode::Pes);
  EXPECT_EQ(raw.size(), 183u * 2);
}

TEST(DemuxPackets, SubtitleTimeBaseIsTheFirstVideoPts) {
  Bytes seg = {0x16, 0x00, 0x01, 0xAB};
  // A PG packet before any video time stamp is framed against base 0.
  Bytes early = packet(0x1200, true, int(184 - 1 - (14 + seg.size())), pes(0xBD, uint16_t(8 + seg.size()), seg, 500000));
  Bytes video = packet(0x1011, true, -1, pes(0xE0, 0, Bytes(150, 0x11), 810000, 800000));
  Bytes late = packet(0x1200, true, int(184 - 1 - (14 + seg.size())), pes(0xBD, uint16_t(8 + seg.size()), seg, 900000));
  Bytes out = demuxMemory(cat({early, video, late}), 0x1200, DemuxMode::Subtitle);
  Bytes expect = {'P', 'G', 0x00, 0x07, 0xA1, 0x20, 0, 0, 0, 0, 0x16, 0x00, 0x01, 0xAB,
                  'P', 'G', 0x00, 0x01, 0x5F, 0x90, 0, 0, 0, 0, 0x16, 0x00, 0x01, 0xAB};
  EXPECT_EQ(out, expect);
  // The menu framing keeps absolute time stamps, DTS included.
  Bytes ig = packet(0x1400, true, int(184 - 1 - (19 + seg.size())), pes(0xBD, uint16_t(13 + seg.size()), seg, 900000, 896246));
  Bytes m = demuxMemory(cat({video, ig}), 0x1400, DemuxMode::Menu);
  Bytes em = {'I', 'G', 0x00, 0x0D, 0xBB, 0xA0, 0x00, 0x0D, 0xAC, 0xF6, 0x16, 0x00, 0x01, 0xAB};
  EXPECT_EQ(m, em);
}

TEST(DemuxPackets, ExcludedStreamIdsWriteNothingOfTheirPes) {
  Bytes pad = pes(0xBE, 400, Bytes(175, 0xEE));  // padding stream over three packets
  Bytes data = pes(0xBD, uint16_t(3 + 5 + 10), Bytes(10, 0x42), 1000);
  Bytes ts = cat({packet(0x1100, true, -1, pad), packet(0x1100, false, -1, Bytes(184, 0xEE)),
                  packet(0x1100, false, int(183 - 41), Bytes(41, 0xEE)),
                  packet(0x1100, true, int(183 - data.size()), data)});
  EXPECT_EQ(demuxMemory(ts, 0x1100, DemuxMode::Elementary), Bytes(10, 0x42));
}

TEST(DemuxPackets, UnboundedPesLastsUntilTheNextUnitStart) {
  // Payload bytes that happen to look like a start code must stay payload.
  Bytes body1(184, 0x55);
  body1[0] = 0, body1[1] = 0, body1[2] = 1, body1[3] = 0xE0;
  Bytes first = pes(0xE0, 0, Bytes(170, 0x33), 90000, 86000);
  Bytes second = pes(0xE0, 0, Bytes(170, 0x77), 93754, 90000);
  Bytes ts = cat({packet(0x1011, true, -1, first), packet(0x1011, false, -1, body1), packet(0x1011, true, -1, second)});
  Bytes expect = cat({Bytes(184 - 19, 0x33), body1, Bytes(184 - 19, 0x77)});
  EXPECT_EQ(demuxMemory(ts, 0x1011, DemuxMode::Elementary), expect);
}

TEST(DemuxPackets, LostSyncCostsOnlyTheDamagedPacket) {
  SynthOptions o;
  o.targetBytes = 1 << 20;
  Bytes ts = generate(o);
  RefDemux ref(ts);
  // Break the sync byte of the packets of other PIDs here and there: the audio output
  // must come out complete.
  size_t broken = 0;
  for (size_t off = 0; off < ts.size(); off += 192 * 37)
    if (((ts[off + 5] & 0x1F) << 8 | ts[off + 6]) != 0x1100) {
      ts[off + 4] = 0x00;
      ++broken;
    }
  ASSERT_GT(broken, 10u);
  core::MemoryLog log;
  Bytes out;
  PidDemuxer d(0x1100, DemuxMode::Elementary, [&](const uint8_t* p, size_t n) { out.insert(out.end(), p, p + n); return true; }, &log);
  d.feed(ts.data(), ts.size() / 192);
  d.flush();
  EXPECT_EQ(out, ref.elementary(0x1100));
  EXPECT_EQ(d.lostSync(), broken);
  EXPECT_EQ(log.plainLines().size(), 1u);
}

TEST(DemuxPackets, HeaderSplitOverTwoPacketsIsSkippedNotWritten) {
  // A PES header whose data length runs past the first packet's payload.
  Bytes hdr = {0, 0, 1, 0xBD, 0x00, 0x40, 0x81, 0x00, 20};  // H = 20, no time stamps
  Bytes first = packet(0x1100, true, int(183 - 15), cat({hdr, Bytes(6, 0)}));  // 15 bytes of payload
  Bytes rest = cat({Bytes(14, 0), Bytes(30, 0x99)});
  Bytes second = packet(0x1100, false, int(183 - rest.size()), rest);
  EXPECT_EQ(demuxMemory(cat({first, second}), 0x1100, DemuxMode::Elementary), Bytes(30, 0x99));
}

TEST(DemuxPackets, CancelStopsAtThePidsNextPesStart) {
  SynthOptions o;
  o.targetBytes = 1 << 20;
  Bytes ts = generate(o);
  core::Progress prog;
  prog.cancel();
  Bytes out;
  PidDemuxer d(0x1100, DemuxMode::Elementary, [&](const uint8_t* p, size_t n) { out.insert(out.end(), p, p + n); return true; }, nullptr, &prog);
  EXPECT_FALSE(d.feed(ts.data(), ts.size() / 192));
  EXPECT_TRUE(d.cancelled());
  d.flush();
  EXPECT_TRUE(out.empty());
  EXPECT_LT(d.packetsSeen(), ts.size() / 192);

  // With no PES start on the PID the run ends after the read in progress (reads are
  // far smaller than this 5 MiB stream, so it is cut short).
  o.targetBytes = 5 << 20;
  ts = generate(o);
  test::TempDir t;
  test::writeFile(t / "s.m2ts", ts);
  core::MemoryLog log;
  core::Progress p2;
  p2.cancel();
  DemuxResult r = demuxStream(t / "s.m2ts", t / "o", 0x1FFE, DemuxMode::Elementary, log, &p2);
  EXPECT_TRUE(r.ok);
  EXPECT_TRUE(r.cancelled);
  EXPECT_LT(r.packetsSeen, ts.size() / 192);
}

// Three PES packets of known length, each over three packets; one packet of the middle
// one is lost. The middle PES packet is dropped whole and the others come out intact,
// whichever of its packets went missing.
TEST(DemuxPackets, ALostPacketDropsItsPesAndTheNextStartResynchronises) {
  auto body = [](uint8_t seed) {
    Bytes b(170 + 184 + 100);
    for (size_t i = 0; i < b.size(); ++i) b[i] = uint8_t(seed + i * 7);
    return b;
  };
  auto threePackets = [](const Bytes& b, uint32_t pts) {
    Bytes head = pes(0xBD, uint16_t(3 + 5 + b.size()), Bytes(b.begin(), b.begin() + 170), pts);
    return std::vector<Bytes>{packet(0x1100, true, -1, head), packet(0x1100, false, -1, Bytes(b.begin() + 170, b.begin() + 354)),
                              packet(0x1100, false, 183 - 100, Bytes(b.begin() + 354, b.end()))};
  };
  const Bytes b1 = body(1), b2 = body(2), b3 = body(3);
  const auto p1 = threePackets(b1, 1000), p2 = threePackets(b2, 4000), p3 = threePackets(b3, 7000);
  // Intact, the three bodies follow each other.
  Bytes whole;
  for (const auto* ps : {&p1, &p2, &p3})
    for (const auto& p : *ps) whole.insert(whole.end(), p.begin(), p.end());
  ASSERT_EQ(demuxMemory(whole, 0x1100, DemuxMode::Elementary), cat({b1, b2, b3}));

  for (size_t lost = 0; lost < 3; ++lost) {
    SCOPED_TRACE("lost packet " + std::to_string(lost) + " of the middle PES packet");
    Bytes ts;
    for (const auto& p : p1) ts.insert(ts.end(), p.begin(), p.end());
    for (size_t k = 0; k < 3; ++k)
      if (k != lost) ts.insert(ts.end(), p2[k].begin(), p2[k].end());
    for (const auto& p : p3) ts.insert(ts.end(), p.begin(), p.end());
    core::MemoryLog log;
    Bytes out;
    PidDemuxer d(0x1100, DemuxMode::Elementary, [&](const uint8_t* p, size_t n) { out.insert(out.end(), p, p + n); return true; }, &log);
    d.feed(ts.data(), ts.size() / 192);
    d.flush();
    EXPECT_EQ(out, cat({b1, b3}));
    EXPECT_EQ(d.damagedPes(), 1u);
    const auto lines = log.plainLines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.find("damaged PES packets are dropped") != std::string::npos; }),
              1);
    // The framed menu form drops the same unit, header included.
    Bytes framed = demuxMemory(ts, 0x1100, DemuxMode::Menu);
    ASSERT_EQ(framed.size(), 2 * (10 + b1.size()));
    EXPECT_EQ(Bytes(framed.begin() + 10, framed.begin() + 10 + long(b1.size())), b1);
    EXPECT_EQ(Bytes(framed.end() - long(b3.size()), framed.end()), b3);
  }
}

// The output is written beside its name and renamed over it when complete: a full disk
// or a cancelled run leaves an existing output as it was and nothing else behind.
TEST(DemuxOutput, AnExistingOutputSurvivesAFullDiskAndACancel) {
  test::TempDir src;
  SynthOptions o;
  o.targetBytes = 1 << 20;
  std::string err;
  ASSERT_TRUE(writeSyntheticStream(src / "s.m2ts", o, err)) << err;
  const Bytes old = {'o', 'l', 'd'};
  {
    test::SmallDisk disk(64 * 1024);
    test::writeFile(disk / "out.vis", old);
    disk.fill(8 * 1024);
    core::MemoryLog log;
    DemuxResult r = demuxStream(src / "s.m2ts", disk / "out.vis", 0x1011, DemuxMode::Elementary, log);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.outputCreated);
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(test::readFile(disk / "out.vis"), old);
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(disk.path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (disk.mounted() ? std::vector<std::string>{"filler", "out.vis"} : std::vector<std::string>{"out.vis"}));
  }
  test::writeFile(src / "out.aus", old);
  core::MemoryLog log;
  core::Progress p;
  p.cancel();
  DemuxResult r = demuxStream(src / "s.m2ts", src / "out.aus", 0x1100, DemuxMode::Elementary, log, &p);
  EXPECT_TRUE(r.cancelled);
  EXPECT_EQ(test::readFile(src / "out.aus"), old);
  // A hard link to the stream is the stream.
  std::filesystem::create_hard_link(src / "s.m2ts", src / "link.m2ts");
  const Bytes stream = test::readFile(src / "s.m2ts");
  DemuxResult same = demuxStream(src / "s.m2ts", src / "link.m2ts", 0x1100, DemuxMode::Elementary, log);
  EXPECT_FALSE(same.ok);
  EXPECT_EQ(test::readFile(src / "s.m2ts"), stream);
  EXPECT_TRUE(std::filesystem::equivalent(src / "s.m2ts", src / "link.m2ts"));
  // A complete run replaces the old output.
  DemuxResult ok = demuxStream(src / "s.m2ts", src / "out.aus", 0x1100, DemuxMode::Elementary, log);
  ASSERT_TRUE(ok.ok) << ok.error;
  EXPECT_TRUE(ok.outputCreated);
  EXPECT_EQ(test::readFile(src / "out.aus"), RefDemux(stream).elementary(0x1100));
}

TEST(DemuxNaming, ModeAndOutputNameFollowTheRowAndOptions) {
  EXPECT_EQ(chooseDemuxMode(0x1200, true, true, true), DemuxMode::Subtitle);
  EXPECT_EQ(chooseDemuxMode(0x1200, true, false, true), DemuxMode::Pes);
  EXPECT_EQ(chooseDemuxMode(0x1400, false, true, true), DemuxMode::Menu);
  EXPECT_EQ(chooseDemuxMode(0x1400, true, true, true), DemuxMode::Pes);
  EXPECT_EQ(chooseDemuxMode(0x1100, false, true, true), DemuxMode::Elementary);

  EXPECT_EQ(demuxOutputType(0x1011, DemuxMode::Elementary, false), "vis");
  EXPECT_EQ(demuxOutputType(0x1012, DemuxMode::Elementary, false), "");
  EXPECT_EQ(demuxOutputType(0x1B00, DemuxMode::Elementary, false), "svs");
  EXPECT_EQ(demuxOutputType(0x1200, DemuxMode::Subtitle, true), "sup");
  EXPECT_EQ(demuxOutputType(0x1400, DemuxMode::Pes, true), "PES.igs");
  EXPECT_EQ(demuxOutputType(0x1400, DemuxMode::Menu, false), "mnu");

  EXPECT_EQ(demuxOutputName("out", "00001", "1100", "LPCM", "Stereo, 48 kHz, eng", "aus"),
            "out/00001_PID1100_LPCM_Stereo_48_kHz_eng.aus");
  EXPECT_EQ(demuxOutputName("", "00002", "1011", "AVC", "1080p, 23.976, 16:9", "vis"),
            "00002_PID1011_AVC_1080p_23.976_16_9.vis");
  // A sampling-frequency text with a slash stays one file name in the chosen folder.
  EXPECT_EQ(demuxOutputName("out", "00003", "1100", "LPCM", "Multi, c:48/96, e:192 kHz, eng", "aus"),
            "out/00003_PID1100_LPCM_Multi_c_48_96_e_192_kHz_eng.aus");
  EXPECT_EQ(demuxOutputName("", "00004", "1200", "PG", "a\\b*c?d\"e<f>g|h\ti", "pgs"),
            "00004_PID1200_PG_a_b_c_d_e_f_g_h_i.pgs");
}


TEST(DemuxMany, OnePassGivesEachPidWhatItsOwnRunGives) {
  test::TempDir d;
  SynthOptions o;
  o.targetBytes = 1 << 20;
  o.secondAudio = true;
  std::string err;
  ASSERT_TRUE(writeSyntheticStream(d / "s.m2ts", o, err)) << err;
  const Bytes ts = test::readFile(d / "s.m2ts");
  RefDemux ref(ts);

  core::MemoryLog log;
  const auto results = demuxPids(d / "s.m2ts",
                                 {{0x1100, DemuxMode::Elementary, d / "a.aus"},
                                  {0x1101, DemuxMode::Elementary, d / "b.aus"},
                                  {0x1400, DemuxMode::Menu, d / "m.mnu"}},
                                 log);
  ASSERT_EQ(results.size(), 3u);
  for (const auto& r : results) {
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.outputCreated);
    EXPECT_EQ(r.packetsSeen, ts.size() / 192);
  }
  EXPECT_EQ(test::readFile(d / "a.aus"), ref.elementary(0x1100));
  EXPECT_EQ(test::readFile(d / "b.aus"), ref.elementary(0x1101));
  EXPECT_NE(ref.elementary(0x1100), ref.elementary(0x1101));
  EXPECT_EQ(test::readFile(d / "m.mnu"), ref.framed(0x1400, "IG", 0));
  // The same as a run of its own.
  core::MemoryLog secondLog;
  ASSERT_TRUE(demuxStream(d / "s.m2ts", d / "single.aus", 0x1101, DemuxMode::Elementary, secondLog).ok);
  EXPECT_EQ(test::readFile(d / "single.aus"), test::readFile(d / "b.aus"));
  EXPECT_EQ(results[1].pidPackets, demuxStream(d / "s.m2ts", d / "single.aus", 0x1101, DemuxMode::Elementary, secondLog).pidPackets);
}

TEST(DemuxMany, RefusalsAndFailuresPutNoOutputInPlace) {
  test::TempDir d;
  SynthOptions o;
  o.targetBytes = 256 << 10;
  std::string err;
  ASSERT_TRUE(writeSyntheticStream(d / "s.m2ts", o, err)) << err;
  test::writeFile(d / "a.aus", {1, 2, 3});
  core::MemoryLog log;
  // A PID twice, one output twice, the stream as an output: refused, nothing touched.
  for (const auto& targets : std::vector<std::vector<DemuxTarget>>{
           {{0x1100, DemuxMode::Elementary, d / "a.aus"}, {0x1100, DemuxMode::Pes, d / "b.aus"}},
           {{0x1100, DemuxMode::Elementary, d / "a.aus"}, {0x1011, DemuxMode::Elementary, d / "." / "a.aus"}},
           {{0x1100, DemuxMode::Elementary, d / "a.aus"}, {0x1011, DemuxMode::Elementary, d / "s.m2ts"}}}) {
    const auto r = demuxPids(d / "s.m2ts", targets, log);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_FALSE(r[0].ok);
    EXPECT_FALSE(r[1].ok);
    EXPECT_FALSE(r[0].error.empty());
    EXPECT_EQ(test::readFile(d / "a.aus"), (Bytes{1, 2, 3}));
    EXPECT_FALSE(std::filesystem::exists(d / "b.aus"));
  }
  // A cancelled run leaves the existing output and creates no other.
  core::Progress cancel;
  cancel.cancel();
  const auto r = demuxPids(d / "s.m2ts",
                           {{0x1100, DemuxMode::Elementary, d / "a.aus"}, {0x1011, DemuxMode::Elementary, d / "v.vis"}},
                           log, &cancel);
  EXPECT_TRUE(r[0].cancelled || r[1].cancelled);
  EXPECT_FALSE(r[0].outputCreated);
  EXPECT_EQ(test::readFile(d / "a.aus"), (Bytes{1, 2, 3}));
  EXPECT_FALSE(std::filesystem::exists(d / "v.vis"));
}

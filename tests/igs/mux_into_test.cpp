// A menu muxed into an existing AV stream, checked by reading the output back packet
// by packet here (not through the muxer's own helpers): the other PIDs untouched and in
// order, a PMT that declares the menu with a valid CRC, menu packets that arrive before
// their decode time and carry one whole segment each, and EP map entries that still
// point at the same video access units.
#include <gtest/gtest.h>

#include <cstring>

#include "clip/ep_map.h"
#include "igs/extract.h"
#include "igs/mux_into.h"
#include "igs/writer.h"
#include "igs_test_util.h"
#include "support/test_support.h"
#include "support/ts_synth.h"

namespace morvex::igs {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

uint16_t pidOf(const Bytes& b, size_t packet) {
  const uint8_t* tp = b.data() + packet * 192 + 4;
  return uint16_t((tp[1] & 0x1F) << 8 | tp[2]);
}

// CRC_32 of MPEG-2 sections, bit by bit: over a whole section with its CRC it is 0.
uint32_t crcOver(const uint8_t* p, size_t n) {
  uint32_t crc = 0xFFFFFFFF;
  for (size_t i = 0; i < n; ++i)
    for (int bit = 7; bit >= 0; --bit) {
      const bool in = ((p[i] >> bit) & 1) != ((crc >> 31) & 1);
      crc <<= 1;
      if (in) crc ^= 0x04C11DB7;
    }
  return crc;
}

uint64_t stamp(const uint8_t* s) {
  return (uint64_t(s[0] & 0x0E) << 29) | (uint64_t(s[1]) << 22) | (uint64_t(s[2] & 0xFE) << 14) |
         (uint64_t(s[3]) << 7) | (s[4] >> 1);
}

struct Fixture {
  morvex::test::TempDir dir;
  fs::path source = dir / "00001.m2ts", output = dir / "out.m2ts";
  morvex::test::SynthStats stats;
  clip::ClipInfo clpi;
  Menu menu = test::syntheticMenu(4);

  Fixture() {
    morvex::test::SynthOptions o;
    o.targetBytes = 2 << 20;
    o.ig = false;
    o.seed = 7;
    o.videoBitrate = 2'000'000;  // about eight seconds in 2 MB
    std::string err;
    EXPECT_TRUE(morvex::test::writeSyntheticStream(source, o, err, &stats)) << err;
    std::vector<clip::EntryPoint> points;
    for (const auto& k : stats.keyFrames) points.push_back({k.spn, k.pts, 1});
    clpi.typeIndicator = "HDMV";
    clpi.version = "0200";
    clpi.clipInfo.tsRecordingRate = 6000000;
    clpi.clipInfo.tsTypeInfoLength = 30;
    clpi.clipInfo.validityFlags = 0x80;
    clpi.clipInfo.formatIdentifier = "HDMV";
    clip::AtcSequence a;
    a.stcSequences.push_back({0x1001, 0, stats.firstPts / 2, stats.lastPts / 2});
    clpi.sequenceInfo.atcSequences.push_back(a);
    clpi.sequenceInfo.length = 2 + 6 + 14;
    clip::ProgramSequence p;
    p.programMapPid = 0x0100;
    clip::ClipStream v;
    v.pid = 0x1011, v.codingInfoLength = 21, v.codingType = 0x1B;
    p.streams.push_back(v);
    clpi.programInfo.programSequences.push_back(p);
    clpi.programInfo.length = 2 + 8 + 24;
    clpi.clipInfo.numberOfSourcePackets = uint32_t(stats.packets);
    clip::setSingleEPMap(clpi, 0x1011, points);
  }
};

TEST(MuxInto, KeepsEveryOtherPacketDeclaresTheMenuAndMovesTheEpMap) {
  Fixture f;
  core::MemoryLog log;
  MuxIntoOptions o;
  o.at = f.stats.firstPts + 3 * 90000;  // three seconds into the clip
  ASSERT_GT(f.stats.lastPts, o.at + 90000);
  const MuxIntoResult r = muxMenuInto(stampedMenuPes(f.menu, o.at), f.source, f.output, o, log);
  ASSERT_TRUE(r.ok) << r.error;
  const Bytes in = morvex::test::readFile(f.source), out = morvex::test::readFile(f.output);
  ASSERT_EQ(out.size() % (192 * 32), 0u) << "not a whole number of aligned units";
  EXPECT_EQ(r.packetsOut, out.size() / 192);
  EXPECT_GT(r.inserted, 0u);
  EXPECT_EQ(r.late, 0u);

  // The other PIDs byte for byte and in order; PMT packets differ only in their section.
  std::vector<size_t> kept;
  for (size_t i = 0; i < out.size() / 192; ++i)
    if (pidOf(out, i) != 0x1400) kept.push_back(i);
  ASSERT_GE(kept.size(), in.size() / 192);
  size_t pmtPackets = 0, nullTail = 0;
  for (size_t i = 0, k = 0; i < in.size() / 192; ++i, ++k) {
    ASSERT_LT(k, kept.size());
    const uint8_t* a = in.data() + i * 192;
    const uint8_t* b = out.data() + kept[k] * 192;
    if (pidOf(in, i) == 0x0100) {
      ++pmtPackets;
      ASSERT_EQ(std::memcmp(a, b, 4 + 5), 0) << "PMT packet header " << i;
      // The section: stream type 0x91 on PID 0x1400 with the HDMV registration, valid CRC.
      const uint8_t* sec = b + 4 + 5;
      const size_t len = size_t((sec[1] & 0x0F) << 8 | sec[2]) + 3;
      ASSERT_EQ(crcOver(sec, len), 0u) << "PMT CRC of packet " << i;
      const size_t progInfo = size_t((sec[10] & 0x0F) << 8 | sec[11]);
      bool declared = false;
      for (size_t p = 12 + progInfo; p + 5 <= len - 4;) {
        const size_t es = size_t((sec[p + 3] & 0x0F) << 8 | sec[p + 4]);
        if (sec[p] == 0x91 && ((sec[p + 1] & 0x1F) << 8 | sec[p + 2]) == 0x1400) {
          declared = es >= 6 && sec[p + 5] == 0x05 && std::memcmp(sec + p + 7, "HDMV", 4) == 0;
        }
        p += 5 + es;
      }
      EXPECT_TRUE(declared) << "PMT packet " << i;
    } else {
      ASSERT_EQ(std::memcmp(a, b, 192), 0) << "source packet " << i << " changed";
    }
  }
  for (size_t k = in.size() / 192; k < kept.size(); ++k) nullTail += pidOf(out, kept[k]) == 0x1FFF;
  EXPECT_EQ(kept.size() - in.size() / 192, nullTail) << "only null packets pad the end";
  EXPECT_GT(pmtPackets, 0u);

  // The menu's packets: PES of one segment each, stamped from `at` on, each arriving
  // (by PCR and arrival clock) before its decode time.
  uint64_t pcr = 0, pcrAts = 0;
  bool havePcr = false;
  Bytes pes;
  uint64_t pesArrival = 0;
  std::vector<std::pair<uint8_t, uint64_t>> segments;  // type, PTS
  auto finish = [&] {
    if (pes.empty()) return;
    ASSERT_GE(pes.size(), 9u);
    const size_t pesLen = size_t(pes[4] << 8 | pes[5]) + 6;
    ASSERT_EQ(pes.size(), pesLen) << "a PES packet must end with its transport packet";
    const size_t body = 9 + pes[8];
    const size_t segLen = size_t(pes[body + 1] << 8 | pes[body + 2]);
    EXPECT_EQ(body + 3 + segLen, pes.size()) << "one segment per PES packet";
    const uint64_t pts = stamp(&pes[9]);
    const uint64_t dts = (pes[7] & 0x40) ? stamp(&pes[14]) : pts;
    EXPECT_GE(dts, o.at);
    EXPECT_LE(pesArrival, dts) << "segment " << int(pes[body]) << " arrives after its decode time";
    segments.push_back({pes[body], pts});
    pes.clear();
  };
  for (size_t i = 0; i < out.size() / 192; ++i) {
    const uint8_t* sp = out.data() + i * 192;
    const uint8_t* tp = sp + 4;
    const uint64_t ats = (uint32_t(sp[0]) << 24 | sp[1] << 16 | sp[2] << 8 | sp[3]) & 0x3FFFFFFF;
    const uint16_t pid = pidOf(out, i);
    if ((tp[3] & 0x20) && tp[4] >= 7 && (tp[5] & 0x10) && pid == 0x1001) {
      pcr = (uint64_t(tp[6]) << 25) | (uint64_t(tp[7]) << 17) | (uint64_t(tp[8]) << 9) | (uint64_t(tp[9]) << 1) |
            (tp[10] >> 7);
      pcrAts = ats;
      havePcr = true;
    }
    if (pid != 0x1400) continue;
    ASSERT_TRUE(havePcr) << "menu packet before the first PCR";
    const size_t at = 4 + ((tp[3] & 0x20) ? 1 + tp[4] : 0);
    if (tp[1] & 0x40) {
      finish();
      pesArrival = pcr + ((ats - pcrAts) & 0x3FFFFFFF) / 300;
    }
    pes.insert(pes.end(), tp + at, tp + 188);
  }
  finish();
  ASSERT_FALSE(segments.empty());
  EXPECT_EQ(segments.front().first, kSegComposition);
  EXPECT_EQ(segments.back().first, kSegEnd);
  EXPECT_EQ(segments.front().second, r.compositionPts);
  EXPECT_GE(segments.back().second, segments.front().second) << "END presented before the composition";

  // The menu reads back from the output whole.
  Menu back;
  ASSERT_TRUE(loadMenuSource(f.output, back, log).complete());
  EXPECT_EQ(writeMenu(back, SaveForm::MenuFile).size(), writeMenu(f.menu, SaveForm::MenuFile).size());

  // The clip information: packet count, the IG entry, and each EP map entry still at
  // the same video access unit.
  clip::ClipInfo c = f.clpi;
  updateClipForMux(c, r, 0x1400, "fre");
  EXPECT_EQ(c.clipInfo.numberOfSourcePackets, out.size() / 192);
  ASSERT_EQ(c.programInfo.programSequences[0].streams.size(), 2u);
  EXPECT_EQ(c.programInfo.programSequences[0].streams[1].pid, 0x1400);
  EXPECT_EQ(c.programInfo.programSequences[0].streams[1].codingType, 0x91);
  EXPECT_EQ(c.programInfo.programSequences[0].streams[1].igLanguage, "fre");
  const auto& fine = c.cpi.maps.at(0).fine;
  const auto& coarse = c.cpi.maps.at(0).coarse;
  ASSERT_EQ(fine.size(), f.stats.keyFrames.size());
  size_t moved = 0;
  for (size_t k = 0, ci = 0; k < fine.size(); ++k) {
    while (ci + 1 < coarse.size() && coarse[ci + 1].refToEpFineId <= k) ++ci;
    const uint32_t spn = (coarse[ci].spnEpCoarse & ~0x1FFFFu) | fine[k].spnEpFine;
    const uint32_t was = f.stats.keyFrames[k].spn;
    moved += spn != was;
    ASSERT_LT(spn, out.size() / 192);
    EXPECT_EQ(std::memcmp(in.data() + size_t(was) * 192, out.data() + size_t(spn) * 192, 192), 0)
        << "EP entry " << k << " no longer points at its access unit";
  }
  EXPECT_GT(moved, 0u) << "no entry lies after an inserted packet: the test proves nothing";
  // Written and read back, the clip's file is consistent.
  core::NullLog quiet;
  clip::ClipInfo reread;
  ASSERT_TRUE(clip::readClipInfo(clip::writeClipInfo(c), "x.clpi", reread, quiet).complete());
  EXPECT_EQ(reread.cpi.maps.at(0).fine.size(), fine.size());
}

TEST(MuxInto, AnExistingMenuIsRefusedUnlessReplacedAndNothingIsLeftBehind) {
  Fixture f;
  core::MemoryLog log;
  MuxIntoOptions o;
  o.at = f.stats.firstPts;
  ASSERT_TRUE(muxMenuInto(stampedMenuPes(f.menu, o.at), f.source, f.output, o, log).ok);
  const fs::path again = f.dir / "again.m2ts";
  morvex::test::writeFile(again, {1, 2, 3});
  const MuxIntoResult refused = muxMenuInto(stampedMenuPes(f.menu, o.at), f.output, again, o, log);
  EXPECT_FALSE(refused.ok);
  EXPECT_NE(refused.error.find("--replace"), std::string::npos) << refused.error;
  EXPECT_EQ(morvex::test::readFile(again), (Bytes{1, 2, 3})) << "a refused mux touched its output";
  for (const auto& e : fs::directory_iterator(f.dir.path()))
    EXPECT_EQ(e.path().string().find(".tmp"), std::string::npos) << e.path();

  o.replace = true;
  const MuxIntoResult r = muxMenuInto(stampedMenuPes(f.menu, o.at), f.output, again, o, log);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_GT(r.removed, 0u);
  // One menu in the result, not two.
  const Bytes b = morvex::test::readFile(again), first = morvex::test::readFile(f.output);
  size_t igA = 0, igB = 0;
  for (size_t i = 0; i < b.size() / 192; ++i) igB += pidOf(b, i) == 0x1400;
  for (size_t i = 0; i < first.size() / 192; ++i) igA += pidOf(first, i) == 0x1400;
  EXPECT_EQ(igA, igB);
  EXPECT_EQ(r.removed, igA);

  // The output may not be the stream read.
  EXPECT_FALSE(muxMenuInto(stampedMenuPes(f.menu, o.at), f.output, f.output, o, log).ok);
}

}  // namespace
}  // namespace morvex::igs

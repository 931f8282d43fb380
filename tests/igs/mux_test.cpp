// The menu-only AV stream, checked by an independent parse of its packets.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "igs/mux.h"
#include "igs/writer.h"
#include "igs_test_util.h"
#include "support/test_support.h"

namespace morvex::igs {
namespace {

// CRC-32 of MPEG-2 sections (polynomial 0x04C11DB7, initial value all ones, no
// reflection); a section followed by its own CRC gives 0.
uint32_t crc32mpeg(const uint8_t* p, size_t n) {
  uint32_t crc = 0xFFFFFFFF;
  for (size_t i = 0; i < n; ++i) {
    crc ^= uint32_t(p[i]) << 24;
    for (int b = 0; b < 8; ++b) crc = (crc & 0x80000000) ? (crc << 1) ^ 0x04C11DB7 : crc << 1;
  }
  return crc;
}

struct Parsed {
  std::vector<uint16_t> pids;
  std::vector<core::Bytes> pes;  // reassembled IG PES packets
  std::vector<size_t> adaptationLengths;
  size_t tables = 0;
};

Parsed parse(const core::Bytes& ts) {
  Parsed out;
  EXPECT_EQ(ts.size() % 192, 0u);
  EXPECT_EQ((ts.size() / 192) % 32, 0u);
  std::map<uint16_t, int> cc;
  for (size_t i = 0; i + 192 <= ts.size(); i += 192) {
    const uint8_t* p = &ts[i];
    EXPECT_EQ(core::be32(p), 0x10000000u + 846u * uint32_t(i / 192)) << "arrival time of packet " << i / 192;
    const uint8_t* t = p + 4;
    EXPECT_EQ(t[0], 0x47);
    uint16_t pid = uint16_t(((t[1] & 0x1F) << 8) | t[2]);
    bool start = t[1] & 0x40;
    int counter = t[3] & 15;
    out.pids.push_back(pid);
    if (pid == 0x1001 || pid == 0x1FFF) {
      EXPECT_EQ(counter, 0);
    } else {
      if (cc.count(pid)) EXPECT_EQ(counter, (cc[pid] + 1) & 15) << "pid " << pid;
      cc[pid] = counter;
    }
    if (pid == 0x0000 || pid == 0x0100 || pid == 0x001F) {
      EXPECT_TRUE(start);
      const uint8_t* sec = t + 5;  // after the pointer field
      size_t len = ((sec[1] & 0x0F) << 8 | sec[2]) + 3;
      EXPECT_EQ(crc32mpeg(sec, len), 0u) << "table on pid " << pid;
      EXPECT_EQ(sec[0], pid == 0 ? 0x00 : pid == 0x100 ? 0x02 : 0x7F);
      for (size_t k = 5 + len; k < 188; ++k) EXPECT_EQ(t[k], 0xFF);
      ++out.tables;
    }
    if (pid == 0x1400) {
      size_t off = 4;
      if ((t[3] & 0x30) == 0x30) {
        out.adaptationLengths.push_back(t[4]);
        off = 5 + t[4];
      } else {
        EXPECT_EQ(t[3] & 0x30, 0x10);
      }
      if (start) out.pes.emplace_back();
      EXPECT_FALSE(out.pes.empty());
      if (!out.pes.empty()) out.pes.back().insert(out.pes.back().end(), t + off, t + 188);
    }
  }
  return out;
}

core::Bytes pesPacket(size_t total) {
  core::Bytes b(total, 0x5A);
  b[0] = 0;
  b[1] = 0;
  b[2] = 1;
  b[3] = 0xBD;
  b[4] = uint8_t((total - 6) >> 8);
  b[5] = uint8_t(total - 6);
  return b;
}

TEST(packetizeMenu, PacketLayoutOfSmallPesPackets) {
  core::MemoryLog log;
  core::Bytes ts = packetizeMenu(pesPacket(300), log);
  ASSERT_EQ(ts.size(), 32u * 192);
  Parsed p = parse(ts);
  EXPECT_EQ(p.pids[0], 0x0000);
  EXPECT_EQ(p.pids[1], 0x0100);
  EXPECT_EQ(p.pids[2], 0x001F);
  EXPECT_EQ(p.pids[3], 0x1001);
  EXPECT_EQ(p.pids[4], 0x1400);
  EXPECT_EQ(p.pids[5], 0x1400);
  for (size_t i = 6; i < 32; ++i) EXPECT_EQ(p.pids[i], 0x1FFF);
  ASSERT_EQ(p.pes.size(), 1u);
  EXPECT_EQ(p.pes[0], pesPacket(300));
  EXPECT_EQ(p.adaptationLengths, std::vector<size_t>{67});
  EXPECT_EQ(ts[5 * 192 + 4 + 5], 0x00);  // adaptation flags
  EXPECT_EQ(ts[5 * 192 + 4 + 6], 0xFF);  // stuffing
  // The PCR packet and its zero PCR.
  EXPECT_EQ(ts[3 * 192 + 4 + 4], 0xB7);
  EXPECT_EQ(ts[3 * 192 + 4 + 5], 0x10);
  EXPECT_TRUE(log.lines.empty());

  // 183 bytes left: an adaptation field of length 0 without a flags byte.
  core::Bytes ts2 = packetizeMenu(pesPacket(184 + 183), log);
  const uint8_t* second = &ts2[5 * 192 + 4];
  EXPECT_EQ(second[3] & 0x30, 0x30);
  EXPECT_EQ(second[4], 0);
  EXPECT_EQ(second[5], 0x5A);
  EXPECT_EQ(parse(ts2).pes[0], pesPacket(367));
}

TEST(packetizeMenu, ShortPesFileIsReportedAndWrittenAsFarAsItGoes) {
  core::MemoryLog log;
  core::Bytes pes = pesPacket(500);
  pes.resize(400);
  core::Bytes ts = packetizeMenu(pes, log);
  EXPECT_TRUE(log.hadError());
  EXPECT_EQ(log.errorText, "Mux error");
  Parsed p = parse(ts);
  ASSERT_EQ(p.pes.size(), 1u);
  EXPECT_EQ(p.pes[0], pes);
}

TEST(packetizeMenu, MenuStreamCarriesTheWritersPesPacketsWithTablesOnCadence) {
  core::MemoryLog log;
  Menu m = test::syntheticMenu(3);
  // Enough object data for several thousand packets, so the PCR and table
  // insertions show up.
  std::mt19937 rng(5);
  IndexedPicture noise{1900, 1000, std::vector<uint8_t>(1900 * 1000)};
  for (auto& px : noise.pixels) px = uint8_t(rng());
  m.objects[2].picture = noise;
  settleMenu(m, log);
  core::Bytes pes = writeMenu(m, SaveForm::Pes);
  core::Bytes ts = packetizeMenu(pes, log);
  Parsed p = parse(ts);
  core::Bytes joined;
  for (const auto& b : p.pes) joined.insert(joined.end(), b.begin(), b.end());
  EXPECT_EQ(joined, pes);
  // Each writer segment is one PES packet.
  size_t segments = 0;
  for (size_t i = 0; i + 6 <= pes.size(); i += 6 + core::be16(&pes[i + 4])) ++segments;
  EXPECT_EQ(p.pes.size(), segments);
  ASSERT_GT(p.pids.size(), 5000u);
  // PCR after the 2500th and 5000th packets, PAT + PMT after the 2000th and 4500th.
  EXPECT_EQ(p.pids[2500], 0x1001);
  EXPECT_EQ(p.pids[2000], 0x0000);
  EXPECT_EQ(p.pids[2001], 0x0100);
  EXPECT_EQ(p.pids[5000], 0x1001);
  // Each PCR holds the time the arrival clock has run since the first one (packet 3).
  for (size_t at : {size_t(3), size_t(2500), size_t(5000)}) {
    const uint8_t* t = &ts[at * 192 + 4];
    const uint64_t base = uint64_t(t[6]) << 25 | uint64_t(t[7]) << 17 | uint64_t(t[8]) << 9 | uint64_t(t[9]) << 1 |
                          t[10] >> 7;
    EXPECT_EQ(base * 300 + ((t[10] & 1) << 8 | t[11]), (at - 3) * 846u) << "PCR of packet " << at;
  }
  EXPECT_FALSE(log.hadError());
  // Two muxes of the same menu are byte-identical.
  Menu again = test::syntheticMenu(3);
  again.objects[2].picture = m.objects[2].picture;
  EXPECT_EQ(muxMenu(again, log), ts);
}

TEST(packetizeMenu, FfprobeSeesTheIgStream) {
  if (std::system("ffprobe -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffprobe not installed; skipping";
  morvex::test::TempDir dir;
  core::MemoryLog log;
  Menu m = test::syntheticMenu(4);
  ASSERT_TRUE(muxMenuToFile(m, dir / "menu.m2ts", log));
  EXPECT_EQ(log.plainLines().at(0), "Muxing menu...");
  std::string cmd = "ffprobe -v error -show_entries stream=index,id,codec_tag -of compact '" +
                    (dir / "menu.m2ts").string() + "' 2>&1";
  FILE* f = popen(cmd.c_str(), "r");
  ASSERT_NE(f, nullptr);
  std::string out;
  char buf[256];
  while (fgets(buf, sizeof buf, f)) out += buf;
  pclose(f);
  // Exactly one stream (listed once at top level, once inside its program).
  size_t streams = 0;
  for (size_t at = 0; (at = out.find("\nstream|", at)) != std::string::npos; ++at) ++streams;
  if (out.rfind("stream|", 0) == 0) ++streams;
  EXPECT_EQ(streams, 1u) << out;
  // ffprobe names the stream by its registration descriptor, "HDMV" read as a tag.
  EXPECT_NE(out.find("stream|index=0|codec_tag=0x564d4448|id=0x1400"), std::string::npos) << out;
}

}  // namespace
}  // namespace morvex::igs

#include <gtest/gtest.h>

#include <random>

#include "nav/index.h"
#include "support/test_support.h"

using namespace morvex;
using namespace morvex::nav;
using core::Bytes;

namespace {

Title hdmv(uint16_t id, uint8_t playback = 0, uint8_t access = 0) {
  Title t;
  t.objectType = ObjectHDMV;
  t.objectId = id;
  t.playbackType = playback;
  t.accessType = access;
  return t;
}

Title bdj(const std::string& name, uint8_t playback = 2) {
  Title t;
  t.objectType = ObjectBDJ;
  t.bdjFileName = name;
  t.playbackType = playback;
  return t;
}

IndexTable sampleIndex(size_t titles) {
  IndexTable x;
  x.contentProviderData = "Vantoro test";
  x.indexes.firstPlayback = hdmv(0, 1);
  x.indexes.firstPlayback.titleNumber = kFirstPlaybackNumber;
  x.indexes.topMenu = hdmv(1, 1);
  for (size_t i = 0; i < titles; ++i) {
    Title t = i % 3 == 2 ? bdj("0000" + std::to_string(i % 10)) : hdmv(static_cast<uint16_t>(i + 2), 0, i % 4);
    t.titleNumber = static_cast<uint32_t>(i + 1);
    x.indexes.titles.push_back(t);
  }
  x.indexes.length = static_cast<uint32_t>(26 + 12 * titles);
  return x;
}

core::ReadResult readBack(const Bytes& b, IndexTable& out, core::MemoryLog& log) { return readIndexTable(b, "index.bdmv", out, log); }

}  // namespace

TEST(IndexFile, WriteThenReadKeepsEveryField) {
  IndexTable x = sampleIndex(5);
  x.reserved[3] = 0x5A;
  x.appInfoFlags = 0x1234;
  x.extensionDataStartAddress = 78 + 4 + x.indexes.length;
  x.extensionData.length = 12 + 12 + 3;
  x.extensionData.dataBlockStartAddress = 24;
  x.extensionData.entries.push_back({1, 2, 24, 3});
  x.extensionData.data = {7, 8, 9};
  Bytes b = writeIndexTable(x);
  EXPECT_EQ(b.size(), 78u + 30 + 60 + 27);

  IndexTable y;
  core::MemoryLog log;
  auto res = readBack(b, y, log);
  EXPECT_TRUE(res.usable());
  EXPECT_FALSE(res.partial());
  EXPECT_EQ(y, x);
  EXPECT_EQ(writeIndexTable(y), b);
  auto lines = log.plainLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Reading index.bdmv");
  EXPECT_EQ(lines[1], "  Found 5 titles, 1 extended entry.");
  EXPECT_EQ(log.statusText[0], "Ready.");
}

TEST(IndexFile, VersionCheck) {
  for (const char* v : {"0100", "0200", "0300", "0400"}) {
    IndexTable x = sampleIndex(1);
    x.version = core::be32(reinterpret_cast<const uint8_t*>(v));
    IndexTable y;
    core::MemoryLog log;
    auto res = readBack(writeIndexTable(x), y, log);
    if (std::string(v) == "0400") {
      EXPECT_FALSE(res.usable());
      EXPECT_EQ(log.plainLines().back(), "ERROR: index.bdmv format error at $00000008");
      EXPECT_TRUE(log.hadError());
      EXPECT_TRUE(y.indexes.titles.empty());
    } else {
      EXPECT_TRUE(res.usable()) << v;
      EXPECT_EQ(y.version, x.version);
    }
  }
  // A wrong type indicator is refused the same way.
  Bytes b = writeIndexTable(sampleIndex(0));
  b[0] = 'X';
  IndexTable y;
  core::MemoryLog log;
  EXPECT_FALSE(readBack(b, y, log).usable());
  EXPECT_EQ(log.plainLines().back(), "ERROR: index.bdmv format error at $00000008");
}

TEST(IndexFile, TitleCountLimit) {
  {
    IndexTable x = sampleIndex(999);
    IndexTable y;
    core::MemoryLog log;
    auto res = readBack(writeIndexTable(x), y, log);
    EXPECT_TRUE(res.usable());
    EXPECT_EQ(y.indexes.titles.size(), 999u);
    EXPECT_EQ(y.indexes.titles.back().titleNumber, 999u);
    EXPECT_EQ(log.statusText[1], "");  // cleared by the final "Ready."
  }
  {
    IndexTable x = sampleIndex(1000);
    IndexTable y;
    core::MemoryLog log;
    auto res = readBack(writeIndexTable(x), y, log);
    ASSERT_TRUE(res.refused());
    EXPECT_EQ(res.problems[0].kind, core::ReadIssue::CountCapped);
    EXPECT_TRUE(y.indexes.titles.empty());
    EXPECT_EQ(log.plainLines().back(), "Error in index.bdmv (number of title: 1000)");
    EXPECT_FALSE(log.hadError());  // plain line, not an error
    EXPECT_NE(log.statusText[0], "Ready.");
  }
}

TEST(IndexFile, ZeroTitlesAndUnusualObjectTypes) {
  IndexTable x = sampleIndex(0);
  IndexTable y;
  core::MemoryLog log;
  Bytes b = writeIndexTable(x);
  EXPECT_EQ(b.size(), 108u);
  ASSERT_TRUE(readBack(b, y, log).usable());
  EXPECT_TRUE(y.indexes.titles.empty());
  EXPECT_EQ(writeIndexTable(y), b);

  // Object types 0 and 3 use the BD-J layout (name, then one zero byte).
  x = sampleIndex(2);
  x.indexes.titles[0].objectType = 0;
  x.indexes.titles[0].bdjFileName = "ABCDE";
  x.indexes.titles[1].objectType = 3;
  x.indexes.titles[1].bdjFileName = "12";
  b = writeIndexTable(x);
  EXPECT_EQ(std::string(b.begin() + 78 + 30 + 6, b.begin() + 78 + 30 + 11), "ABCDE");
  ASSERT_TRUE(readBack(b, y, log).usable());
  EXPECT_EQ(y.indexes.titles[0].bdjFileName, "ABCDE");
  EXPECT_EQ(y.indexes.titles[1].objectType, 3);
  EXPECT_EQ(y.indexes.titles[1].bdjFileName, "12");
  EXPECT_EQ(objectTypeText(3), "");
  EXPECT_EQ(accessTypeText(1), "Permitted");
  EXPECT_EQ(playbackTypeText(2), "");
}

TEST(IndexFile, BitsWrittenAsZero) {
  // Every bit the writer does not carry is set in the input: exactly those bits drop.
  IndexTable x = sampleIndex(2);
  Bytes b = writeIndexTable(x);
  Bytes dirty = b;
  const size_t fp = 78 + 4, tm = 78 + 16, t1 = 78 + 30, t2 = 78 + 42;
  for (size_t e : {fp, tm}) {
    dirty[e] |= 0x3F;
    dirty[e + 1] = dirty[e + 2] = dirty[e + 3] = 0xFF;
  }
  for (size_t e : {fp, tm, t1, t2}) {
    dirty[e + 4] |= 0x3F;
    dirty[e + 5] = 0xFF;
  }
  dirty[t1] |= 0x0F;
  dirty[t1 + 1] = 0xFF;
  for (size_t k = 8; k < 12; ++k) dirty[fp + k] = 0xEE;  // HDMV: four zero bytes
  dirty[t2 + 11] = 0x77;                                  // BD-J: one zero byte
  IndexTable y;
  core::MemoryLog log;
  ASSERT_TRUE(readBack(dirty, y, log).usable());
  EXPECT_EQ(writeIndexTable(y), b);
}

TEST(IndexFile, GapBeforeIndexesIsSkippedAndClosedOnWrite) {
  IndexTable x = sampleIndex(1);
  Bytes b = writeIndexTable(x);
  Bytes gapped(b.begin(), b.begin() + 78);
  gapped.insert(gapped.end(), {0xAA, 0xBB, 0xCC, 0xDD});
  gapped.insert(gapped.end(), b.begin() + 78, b.end());
  gapped[8] = 0, gapped[9] = 0, gapped[10] = 0, gapped[11] = 82;
  IndexTable y;
  core::MemoryLog log;
  ASSERT_TRUE(readBack(gapped, y, log).usable());
  EXPECT_EQ(y.indexesStartAddress, 82u);
  EXPECT_EQ(y.indexes, x.indexes);
  Bytes out = writeIndexTable(y);
  ASSERT_EQ(out.size(), b.size());
  EXPECT_TRUE(std::equal(out.begin() + 78, out.end(), b.begin() + 78));
  EXPECT_EQ(out[11], 82);  // the stored address is written unchanged
}

TEST(IndexFile, ShortAndCorruptFilesNeverCrash) {
  IndexTable x = sampleIndex(7);
  x.extensionDataStartAddress = 78 + 4 + x.indexes.length;
  x.extensionData.length = 20;
  x.extensionData.entries.push_back({1, 1, 24, 4});
  x.extensionData.data = {1, 2, 3, 4};
  Bytes full = writeIndexTable(x);
  for (size_t cut = 0; cut < full.size(); ++cut) {
    Bytes b(full.begin(), full.begin() + cut);
    IndexTable y;
    core::NullLog log;
    auto res = readIndexTable(b, "index.bdmv", y, log);
    if (cut < 8) {
      EXPECT_FALSE(res.usable());
    }
    // Titles are only kept when all their 12 bytes were there.
    size_t whole = cut >= 108 ? (cut - 108) / 12 : 0;
    EXPECT_EQ(y.indexes.titles.size(), std::min<size_t>(whole, 7)) << cut;
    if (cut >= 8 && cut < 108 + 84) {
      EXPECT_TRUE(res.partial()) << cut;
    }
  }
  std::mt19937 rng(7);
  for (int round = 0; round < 3000; ++round) {
    Bytes b = full;
    int flips = 1 + round % 8;
    for (int k = 0; k < flips; ++k) b[rng() % b.size()] = static_cast<uint8_t>(rng());
    IndexTable y;
    core::NullLog log;
    readIndexTable(b, "index.bdmv", y, log);
    EXPECT_LE(y.indexes.titles.size(), b.size() / 12);
  }
}

TEST(IndexFile, SaveGoesThroughTheSavingPolicy) {
  test::TempDir d;
  std::filesystem::create_directories(d / "BACKUP");
  core::MemoryLog log;
  core::SaveSettings s;
  s.saveBackupDir = true;
  IndexTable x = sampleIndex(3);
  ASSERT_TRUE(saveIndexTable(x, d.path(), core::FileNames::make(true).indexfile, s, log));
  EXPECT_EQ(test::readFile(d / "INDEX.BDM"), writeIndexTable(x));
  EXPECT_EQ(test::readFile(d / "BACKUP" / "INDEX.BDM"), writeIndexTable(x));
  EXPECT_EQ(log.plainLines().back(), "INDEX.BDM saved.");
}

// Fixture round trip: each byte of the written file equals the read byte with the
// bits the writer does not carry cleared; those are the only differences.
namespace {
std::vector<uint8_t> indexKeepMask(const Bytes& in) {
  std::vector<uint8_t> keep(in.size(), 0xFF);
  if (in.size() < 78) return keep;
  size_t s = core::be32(&in[8]);
  auto entry = [&](size_t at, bool title) {
    if (at + 12 > in.size()) return;
    uint8_t type = in[at] >> 6;
    keep[at] = title ? 0xF0 : 0xC0;
    keep[at + 1] = keep[at + 2] = keep[at + 3] = 0;
    keep[at + 4] = 0xC0;
    keep[at + 5] = 0;
    if (type == ObjectHDMV) {
      for (int k = 8; k < 12; ++k) keep[at + k] = 0;
    } else {
      bool nul = false;  // the name ends at its first NUL
      for (int k = 6; k < 11; ++k) {
        if (in[at + k] == 0) nul = true;
        if (nul) keep[at + k] = 0;
      }
      keep[at + 11] = 0;
    }
  };
  entry(s + 4, false);
  entry(s + 16, false);
  size_t n = core::be16(&in[s + 28]);
  for (size_t i = 0; i < n; ++i) entry(s + 30 + 12 * i, true);
  size_t ext = s + 30 + 12 * n;
  if (core::be32(&in[12]) != 0 && ext + 12 <= in.size()) keep[ext + 8] = keep[ext + 9] = keep[ext + 10] = 0;
  return keep;
}
}  // namespace

TEST(IndexFile, FixturesResaveExceptBitsWrittenAsZero) {
  MORVEX_REQUIRE_FIXTURES();
  auto files = test::fixtureFiles("index.bdmv");
  ASSERT_FALSE(files.empty());
  size_t identical = 0;
  for (const auto& f : files) {
    Bytes in = test::readFile(f);
    IndexTable x;
    core::MemoryLog log;
    auto res = readIndexTable(in, "index.bdmv", x, log);
    ASSERT_TRUE(res.usable() && !res.partial()) << f << "\n" << log.text();
    ASSERT_EQ(core::be32(&in[8]), kIndexHeadSize) << f;
    Bytes out = writeIndexTable(x);
    ASSERT_EQ(out.size(), in.size()) << f;
    auto keep = indexKeepMask(in);
    for (size_t i = 0; i < in.size(); ++i)
      ASSERT_EQ(out[i], in[i] & keep[i]) << f << " at byte " << i;
    identical += out == in;
    // Reading the written file gives the same model.
    IndexTable again;
    core::NullLog quiet;
    readIndexTable(out, "index.bdmv", again, quiet);
    EXPECT_EQ(again, x) << f;
  }
  RecordProperty("identical", static_cast<int>(identical));
}

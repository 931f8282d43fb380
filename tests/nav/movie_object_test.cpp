#include <gtest/gtest.h>

#include <random>

#include "nav/movie_object.h"
#include "support/test_support.h"

using namespace morvex;
using namespace morvex::nav;
using core::Bytes;

namespace {

MovieObjectFile sampleObjects(std::initializer_list<size_t> commandCounts) {
  MovieObjectFile m;
  uint32_t k = 1;
  for (size_t n : commandCounts) {
    MovieObject o;
    o.resumeIntentionFlag = k & 1;
    o.menuCallMask = (k >> 1) & 1;
    for (size_t j = 0; j < n; ++j, ++k) o.commands.push_back({0x50000001u + k, k, 0x80000000u | k});
    m.movieObjects.objects.push_back(o);
  }
  m.movieObjects.length = movieObjectsLength(m.movieObjects);
  return m;
}

void addExtension(MovieObjectFile& m) {
  m.extensionDataStartAddress = 44 + m.movieObjects.length;
  m.extensionData.length = 12 + 12 + 2;
  m.extensionData.dataBlockStartAddress = 24;
  m.extensionData.entries.push_back({3, 4, 24, 2});
  m.extensionData.data = {0xAB, 0xCD};
}

}  // namespace

TEST(MovieObjectFile, WriteThenReadKeepsEveryField) {
  MovieObjectFile m = sampleObjects({3, 0, 2});
  m.reserved[27] = 9;
  m.movieObjects.reserved = 0x01020304;
  addExtension(m);
  Bytes b = writeMovieObjectFile(m);
  EXPECT_EQ(b.size(), 44u + m.movieObjects.length + 26);
  EXPECT_EQ(core::be32(&b[8]), b.size() - 26);  // the block follows the last object
  MovieObjectFile y;
  core::MemoryLog log;
  auto res = readMovieObjectFile(b, "MovieObject.bdmv", y, log);
  EXPECT_TRUE(res.usable());
  EXPECT_FALSE(res.partial());
  EXPECT_EQ(y, m);
  EXPECT_EQ(writeMovieObjectFile(y), b);
  auto lines = log.plainLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Reading MovieObject.bdmv");
  EXPECT_EQ(lines[1], "  Found 3 objects, 1 extended entry.");
  EXPECT_FALSE(log.hadError());
}

TEST(MovieObjectFile, FormatAndFlags) {
  MovieObjectFile m = sampleObjects({1});
  m.version = "0400";
  MovieObjectFile y;
  core::MemoryLog log;
  EXPECT_FALSE(readMovieObjectFile(writeMovieObjectFile(m), "MovieObject.bdmv", y, log).usable());
  EXPECT_EQ(log.plainLines().back(), "ERROR: Format error MovieObject.bdmv");
  EXPECT_TRUE(y.movieObjects.objects.empty());

  // Version 0200 is written back as read; 0xA000 is suspend / enable / disable, and
  // bits 12-0 of the flags word are dropped.
  m.version = "0100";
  Bytes b = writeMovieObjectFile(m);
  b[50] = 0xA0;
  b[51] = 0x00;
  Bytes expected = b;
  b[50] |= 0x1F;
  b[51] = 0xFF;
  core::MemoryLog secondLog;
  ASSERT_TRUE(readMovieObjectFile(b, "MovieObject.bdmv", y, secondLog).usable());
  EXPECT_EQ(y.version, "0100");
  const auto& o = y.movieObjects.objects[0];
  EXPECT_EQ(resumeText(o.resumeIntentionFlag), "suspend");
  EXPECT_EQ(maskText(o.menuCallMask), "enable");
  EXPECT_EQ(maskText(o.titleSearchMask), "disable");
  EXPECT_EQ(writeMovieObjectFile(y), expected);
}

TEST(MovieObjectFile, EmptyObjectsAndNoExtensionData) {
  MovieObjectFile m = sampleObjects({0, 0});
  Bytes b = writeMovieObjectFile(m);
  ASSERT_EQ(b.size(), 50u + 8);  // each object is its 4-byte head; nothing follows
  MovieObjectFile y;
  core::MemoryLog log;
  ASSERT_TRUE(readMovieObjectFile(b, "MovieObject.bdmv", y, log).usable());
  EXPECT_EQ(y.movieObjects.objects.size(), 2u);
  EXPECT_EQ(writeMovieObjectFile(y), b);
}

TEST(MovieObjectFile, LastCommandEndingTheFileIsComplete) {
  MovieObjectFile m = sampleObjects({2, 4});
  MovieObjectFile y;
  core::MemoryLog log;
  auto res = readMovieObjectFile(writeMovieObjectFile(m), "MovieObject.bdmv", y, log);
  EXPECT_TRUE(res.usable());
  EXPECT_FALSE(res.partial());
  EXPECT_FALSE(log.hadError());
  EXPECT_EQ(y, m);
}

TEST(MovieObjectFile, InsertedCommandMovesLengthAndExtensionData) {
  // What the editing operations keep: 12 more bytes of MovieObjects and a block
  // start 12 further on; the writer then places the block exactly there.
  MovieObjectFile m = sampleObjects({1, 1});
  addExtension(m);
  uint32_t len = m.movieObjects.length, ext = m.extensionDataStartAddress;
  m.movieObjects.objects[1].commands.push_back({});
  m.movieObjects.length = movieObjectsLength(m.movieObjects);
  m.extensionDataStartAddress = 44 + m.movieObjects.length;
  EXPECT_EQ(m.movieObjects.length, len + 12);
  EXPECT_EQ(m.extensionDataStartAddress, ext + 12);
  Bytes b = writeMovieObjectFile(m);
  EXPECT_EQ(core::be32(&b[ext + 12]), m.extensionData.length);
}

TEST(MovieObjectFile, ShortFilesKeepWhatWasRead) {
  MovieObjectFile m = sampleObjects({2, 1, 3});
  addExtension(m);
  Bytes full = writeMovieObjectFile(m);
  // Object boundaries: 50, 50+4+24=78, 78+16=94, 94+40=134.
  for (size_t cut = 0; cut < full.size(); ++cut) {
    Bytes b(full.begin(), full.begin() + cut);
    MovieObjectFile y;
    core::MemoryLog log;
    auto res = readMovieObjectFile(b, "MovieObject.bdmv", y, log);
    if (cut < 8) {
      EXPECT_FALSE(res.usable());
      continue;
    }
    size_t commands = 0;
    for (const auto& o : y.movieObjects.objects) commands += o.commands.size();
    if (cut < 134) {
      EXPECT_TRUE(res.partial()) << cut;
      EXPECT_TRUE(log.hadError()) << cut;
      EXPECT_LT(commands, 6u);
      // Only whole commands are kept, each equal to the original.
      for (size_t i = 0; i < y.movieObjects.objects.size(); ++i)
        for (size_t j = 0; j < y.movieObjects.objects[i].commands.size(); ++j)
          EXPECT_EQ(y.movieObjects.objects[i].commands[j], m.movieObjects.objects[i].commands[j]);
    } else {
      // Every object is there. A cut inside the head or entry table of the
      // ExtensionData that follows is reported, at the file's end.
      EXPECT_EQ(commands, 6u);
      EXPECT_EQ(res.partial(), cut < 134 + 12 + 12) << cut;  // head and one entry
      if (res.partial()) EXPECT_EQ(res.problems.back().offset, cut);
    }
  }
  {
    MovieObjectFile whole;
    core::NullLog quiet;
    EXPECT_TRUE(readMovieObjectFile(full, "MovieObject.bdmv", whole, quiet).complete());
  }
  MovieObjectFile y;
  core::MemoryLog log;
  Bytes b(full.begin(), full.begin() + 82);
  readMovieObjectFile(b, "MovieObject.bdmv", y, log);
  EXPECT_EQ(y.movieObjects.objects.size(), 2u);
  EXPECT_TRUE(y.movieObjects.objects[1].commands.empty());
  EXPECT_EQ(log.plainLines()[1], "ERROR: MovieObject.bdmv ends early at $00000052 (2 of 3 objects read)");
}

TEST(MovieObjectFile, HugeCountsInATinyFile) {
  MovieObjectFile m = sampleObjects({1});
  Bytes b = writeMovieObjectFile(m);
  b[48] = b[49] = 0xFF;  // 65535 objects declared
  b[52] = b[53] = 0xFF;  // 65535 commands in the first
  MovieObjectFile y;
  core::NullLog log;
  auto res = readMovieObjectFile(b, "MovieObject.bdmv", y, log);
  EXPECT_TRUE(res.partial());
  ASSERT_EQ(res.problems.size(), 1u);
  EXPECT_EQ(res.problems[0].kind, core::ReadIssue::EndsEarly);
  EXPECT_EQ(res.problems[0].offset, b.size());
  EXPECT_NE(res.problems[0].message.find("of 65535 objects read"), std::string::npos) << res.problems[0].message;
  ASSERT_EQ(y.movieObjects.objects.size(), 1u);
  EXPECT_EQ(y.movieObjects.objects[0].commands.size(), 1u);
  EXPECT_LE(y.movieObjects.objects.capacity(), b.size());

  std::mt19937 rng(11);
  Bytes base = writeMovieObjectFile(sampleObjects({4, 0, 7, 1}));
  for (int round = 0; round < 3000; ++round) {
    Bytes c = base;
    for (int k = 0; k <= round % 6; ++k) c[rng() % c.size()] = static_cast<uint8_t>(rng());
    MovieObjectFile z;
    readMovieObjectFile(c, "MovieObject.bdmv", z, log);
    EXPECT_LE(z.movieObjects.objects.size(), c.size() / 4);
  }
}

TEST(MovieObjectFile, FixturesResaveExceptBitsWrittenAsZero) {
  MORVEX_REQUIRE_FIXTURES();
  auto files = test::fixtureFiles("MovieObject.bdmv");
  ASSERT_FALSE(files.empty());
  for (const auto& f : files) {
    Bytes in = test::readFile(f);
    MovieObjectFile m;
    core::MemoryLog log;
    auto res = readMovieObjectFile(in, "MovieObject.bdmv", m, log);
    ASSERT_TRUE(res.usable() && !res.partial()) << f << "\n" << log.text();
    Bytes out = writeMovieObjectFile(m);
    ASSERT_EQ(out.size(), in.size()) << f;
    // Bits the writer clears: bits 12-0 of each flags word and the reserved bytes of
    // the ExtensionData head. Every other byte must come back unchanged.
    std::vector<uint8_t> keep(in.size(), 0xFF);
    size_t p = 50;
    for (const auto& o : m.movieObjects.objects) {
      keep[p] = 0xE0;
      keep[p + 1] = 0;
      p += 4 + 12 * o.commands.size();
    }
    if (m.extensionDataStartAddress != 0 && p + 12 <= in.size()) keep[p + 8] = keep[p + 9] = keep[p + 10] = 0;
    for (size_t i = 0; i < in.size(); ++i) ASSERT_EQ(out[i], in[i] & keep[i]) << f << " at byte " << i;
    EXPECT_EQ(m.movieObjects.length, movieObjectsLength(m.movieObjects)) << f;
  }
}

// Chapter files that bring every real mark back: the frame of each fixture mark
// survives export, import and export again; marks that point nowhere are left out or
// placed at their PlayItem's start, with a warning naming them.
#include <gtest/gtest.h>

#include <cstdlib>

#include "playlist/chapters.h"
#include "playlist/mpls_reader.h"
#include "playlist/synth.h"
#include "support/test_support.h"

using namespace morvex;
using namespace morvex::playlist;

namespace {

Playlist readFixture(const std::filesystem::path& p) {
  Playlist m;
  core::MemoryLog log;
  readPlaylist(test::readFile(p), p.filename().string(), m, log);
  return m;
}

std::vector<uint64_t> numbers(const std::string& text) {
  std::vector<uint64_t> v;
  size_t a = 0;
  for (size_t b; (b = text.find("\r\n", a)) != std::string::npos; a = b + 2)
    v.push_back(std::strtoull(text.substr(a, b - a).c_str(), nullptr, 10));
  return v;
}

std::string roundTrip(const Playlist& m, ChapterFormat f, Playlist& back) {
  const auto first = exportChapters(m, f);
  EXPECT_TRUE(first.ok);
  back = m;
  core::MemoryLog log;
  EXPECT_TRUE(importChapters(back, first.text, f, log).ok);
  return first.text;
}

}  // namespace

TEST(ChapterRoundTrip, EveryFixtureMarkKeepsItsFrame) {
  const auto files = test::fixtureFiles(".mpls");
  if (files.empty()) MORVEX_SKIP_OR_FAIL("fixture discs not present");
  size_t marks = 0, sameTick = 0, pointNowhere = 0;
  for (const auto& file : files) {
    SCOPED_TRACE(file.string());
    const Playlist m = readFixture(file);
    const auto& items = m.playList.playItems;
    if (items.empty() || items[0].stn.video.empty() || m.markStart == 0 || m.playListMark.marks.empty()) continue;
    const auto ratio = frameRatio(items[0].stn.video[0].attr.frameRate);
    if (!ratio) continue;
    bool inside = true;
    for (const auto& mk : m.playListMark.marks)
      inside = inside && mk.playItemRef < items.size() && mk.timeStamp >= items[mk.playItemRef].inTime;
    if (!inside) {
      // A real mark that points nowhere: named in a warning, and no position past the
      // playlist's end (nor a wrapped one) is written.
      ++pointNowhere;
      uint64_t total = 0;
      for (const auto& pi : items) total += uint32_t(pi.outTime - pi.inTime);
      const auto r = exportChapters(m, ChapterFormat::PTS);
      EXPECT_FALSE(r.warnings.empty());
      for (uint64_t pos : numbers(r.text)) EXPECT_LE(pos, total);
      continue;
    }

    // Frames: the second export is the first, and every PTS stays within its frame.
    Playlist back;
    const std::string frames = roundTrip(m, ChapterFormat::Frame, back);
    EXPECT_EQ(exportChapters(back, ChapterFormat::Frame).text, frames);
    const auto before = numbers(exportChapters(m, ChapterFormat::PTS).text);
    const auto after = numbers(exportChapters(back, ChapterFormat::PTS).text);
    ASSERT_EQ(before.size(), after.size());
    const uint64_t halfFrame = uint64_t(45000) * ratio->d / ratio->n / 2;
    for (size_t k = 0; k < before.size(); ++k) {
      ++marks;
      sameTick += before[k] == after[k];
      EXPECT_LE(uint64_t(std::llabs(int64_t(before[k]) - int64_t(after[k]))), halfFrame) << "mark " << k;
      EXPECT_EQ(framesFromTicks(before[k], *ratio), framesFromTicks(after[k], *ratio)) << "mark " << k;
    }
    // PTS and time: to the tick and to the millisecond.
    Playlist pts;
    const std::string text = roundTrip(m, ChapterFormat::PTS, pts);
    EXPECT_EQ(exportChapters(pts, ChapterFormat::PTS).text, text);
    Playlist time;
    const std::string times = roundTrip(m, ChapterFormat::Time, time);
    EXPECT_EQ(exportChapters(time, ChapterFormat::Time).text, times);
  }
  EXPECT_GT(marks, 500u);
  std::cout << "[          ] " << marks << " marks kept their frame; " << sameTick << " came back to the tick; "
            << pointNowhere << " playlists have marks that point nowhere\n";
}

// disc1 00000: a mark on the second PlayItem's IN time is frame 348 (653,152.5 ticks,
// stored as 653,152), and the last mark frame 1080; both come back there.
TEST(ChapterRoundTrip, Disc1IntroMarks) {
  std::filesystem::path file;
  for (const auto& f : test::fixtureFiles("00000.mpls"))
    if (f.string().find("/disc1/") != std::string::npos) file = f;
  if (file.empty()) MORVEX_SKIP_OR_FAIL("fixture disc1 not present");
  const Playlist m = readFixture(file);
  EXPECT_EQ(exportChapters(m, ChapterFormat::PTS).text, "0\r\n653152\r\n2027024\r\n");
  Playlist back;
  EXPECT_EQ(roundTrip(m, ChapterFormat::Frame, back), "0\r\n348\r\n1080\r\n");
  const auto pts = numbers(exportChapters(back, ChapterFormat::PTS).text);
  ASSERT_EQ(pts.size(), 3u);
  EXPECT_EQ(pts[0], 0u);
  EXPECT_EQ(pts[1], 653152u);
  EXPECT_EQ(back.playListMark.marks[1].playItemRef, 1);
  EXPECT_EQ(back.playListMark.marks[1].timeStamp, m.playList.playItems[1].inTime);
  // Frame 1080 starts at exactly 2,027,025 ticks; the disc's mark lies one tick before.
  EXPECT_LE(uint64_t(std::llabs(int64_t(pts[2]) - 2027024)), 1u);
}

TEST(ChapterRoundTrip, MarksThatPointNowhereAreNamed) {
  Playlist m = synth::twoItems();  // PlayItems 0/4500000 and 900000/2700000
  m.playListMark.marks = {Mark{0, 1, 0, 0, 0xFFFF, 0}, Mark{0, 1, 7, 1000, 0xFFFF, 0},
                          Mark{0, 1, 1, 45000, 0xFFFF, 0}, Mark{0, 1, 1, 1800000, 0xFFFF, 0}};
  for (auto f : {ChapterFormat::PTS, ChapterFormat::Frame, ChapterFormat::Time}) {
    const auto r = exportChapters(m, f);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.warnings.size(), 2u);
    EXPECT_NE(r.warnings[0].find("mark 1 points at PlayItem 7"), std::string::npos) << r.warnings[0];
    EXPECT_NE(r.warnings[1].find("mark 2 at 45000 lies before the IN time of PlayItem 1"), std::string::npos)
        << r.warnings[1];
    if (f == ChapterFormat::PTS) EXPECT_EQ(r.text, "0\r\n4500000\r\n5400000\r\n");
    if (f == ChapterFormat::Time) EXPECT_EQ(r.text, "00:00:00.000\r\n00:01:40.000\r\n00:02:00.000\r\n");
  }
  EXPECT_TRUE(exportChapters(synth::twoItems(), ChapterFormat::PTS).warnings.empty());
}

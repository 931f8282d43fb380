// Chapter files that bring every real mark back: each fixture mark survives export,
// import and export again to the tick in every format, while a chapter moved in the
// file moves; marks that point nowhere are left out or placed at their PlayItem's
// start, with a warning naming them.
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

TEST(ChapterRoundTrip, EveryFixtureMarkKeepsItsTick) {
  const auto files = test::fixtureFiles(".mpls");
  if (files.empty()) MORVEX_SKIP_OR_FAIL("fixture discs not present");
  size_t marks = 0, framePlaylists = 0, pointNowhere = 0;
  for (const auto& file : files) {
    SCOPED_TRACE(file.string());
    const Playlist m = readFixture(file);
    const auto& items = m.playList.playItems;
    if (items.empty() || m.markStart == 0 || m.playListMark.marks.empty()) continue;
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
    std::vector<ChapterFormat> formats = {ChapterFormat::PTS, ChapterFormat::Time};
    if (!items[0].stn.video.empty() && frameRatio(items[0].stn.video[0].attr.frameRate)) {
      formats.push_back(ChapterFormat::Frame);
      ++framePlaylists;
    }
    // Export, import, export: the file comes back the same, and every stored mark
    // keeps its PlayItem and its time stamp to the tick, whatever the format drops.
    for (const auto f : formats) {
      SCOPED_TRACE("format " + std::to_string(int(f)));
      Playlist back;
      const std::string text = roundTrip(m, f, back);
      EXPECT_EQ(exportChapters(back, f).text, text);
      ASSERT_EQ(back.playListMark.marks.size(), m.playListMark.marks.size());
      for (size_t k = 0; k < back.playListMark.marks.size(); ++k) {
        EXPECT_EQ(back.playListMark.marks[k].playItemRef, m.playListMark.marks[k].playItemRef) << "mark " << k;
        EXPECT_EQ(back.playListMark.marks[k].timeStamp, m.playListMark.marks[k].timeStamp) << "mark " << k;
      }
      if (f == ChapterFormat::Frame) marks += m.playListMark.marks.size();
    }
  }
  EXPECT_GT(marks, 500u);
  std::cout << "[          ] " << marks << " marks in " << framePlaylists
            << " playlists checked to the tick in every format; " << pointNowhere
            << " playlists have marks that point nowhere\n";
}

// disc1 00000: a mark on the second PlayItem's IN time is frame 348 (653,152.5 ticks,
// stored as 653,152), and the last mark frame 1080, which starts at exactly 2,027,025
// ticks while the disc stores 2,027,024; both come back to the stored tick.
TEST(ChapterRoundTrip, Disc1IntroMarks) {
  std::filesystem::path file;
  for (const auto& f : test::fixtureFiles("00000.mpls"))
    if (f.string().find("/disc1/") != std::string::npos) file = f;
  if (file.empty()) MORVEX_SKIP_OR_FAIL("fixture disc1 not present");
  const Playlist m = readFixture(file);
  EXPECT_EQ(exportChapters(m, ChapterFormat::PTS).text, "0\r\n653152\r\n2027024\r\n");
  Playlist back;
  EXPECT_EQ(roundTrip(m, ChapterFormat::Frame, back), "0\r\n348\r\n1080\r\n");
  EXPECT_EQ(exportChapters(back, ChapterFormat::PTS).text, "0\r\n653152\r\n2027024\r\n");
  EXPECT_EQ(back.playListMark.marks[1].playItemRef, 1);
  EXPECT_EQ(back.playListMark.marks[1].timeStamp, m.playList.playItems[1].inTime);
  Playlist time;
  EXPECT_EQ(roundTrip(m, ChapterFormat::Time, time), "00:00:00.000\r\n00:00:14.514\r\n00:00:45.044\r\n");
  EXPECT_EQ(exportChapters(time, ChapterFormat::PTS).text, "0\r\n653152\r\n2027024\r\n");
}

// A line the user changed names no mark that was there: it converts as the format says
// (a frame to its start truncated to a tick, a time to its whole millisecond), while
// the lines left alone keep their marks' ticks. A mark once moved has no stored tick to
// come back to: moving it back gives the frame's own start.
TEST(ChapterRoundTrip, AMovedChapterMoves) {
  std::filesystem::path file;
  for (const auto& f : test::fixtureFiles("00000.mpls"))
    if (f.string().find("/disc1/") != std::string::npos) file = f;
  if (file.empty()) MORVEX_SKIP_OR_FAIL("fixture disc1 not present");
  const Playlist m = readFixture(file);
  core::MemoryLog log;

  Playlist moved = m;
  ASSERT_TRUE(importChapters(moved, "0\r\n348\r\n1081\r\n", ChapterFormat::Frame, log).ok);
  // Frame 1081 starts at 1081 * 1876.875 = 2,028,901.875 ticks.
  EXPECT_EQ(exportChapters(moved, ChapterFormat::PTS).text, "0\r\n653152\r\n2028901\r\n");
  Playlist back = moved;
  ASSERT_TRUE(importChapters(back, "0\r\n348\r\n1080\r\n", ChapterFormat::Frame, log).ok);
  EXPECT_EQ(exportChapters(back, ChapterFormat::PTS).text, "0\r\n653152\r\n2027025\r\n");

  // Two lines swapped keep their marks' ticks; a line moved by one millisecond does not.
  Playlist swapped = m;
  ASSERT_TRUE(importChapters(swapped, "00:00:45.044\r\n00:00:14.514\r\n00:00:00.001\r\n", ChapterFormat::Time,
                             log).ok);
  EXPECT_EQ(exportChapters(swapped, ChapterFormat::PTS).text, "2027024\r\n653152\r\n45\r\n");
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

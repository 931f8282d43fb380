// Chapter export and import: positions on the playlist's time line and back.
#include <gtest/gtest.h>

#include "playlist/chapters.h"
#include "playlist/grid_text.h"
#include "playlist/mpls_writer.h"
#include "playlist/synth.h"

using namespace morvex;
using namespace morvex::playlist;

namespace {

// PlayItem 0 covers 0..4500000 of the time line, PlayItem 1 (IN 900000, OUT 2700000)
// covers 4500000..6300000.
Playlist twoItems() { return synth::twoItems(true); }

std::vector<Mark> marksOf(const Playlist& m) { return m.playListMark.marks; }

}  // namespace

TEST(Chapters, ExportInEachFormat) {
  Playlist m = twoItems();
  m.playListMark.marks = {Mark{0, 1, 1, 1800000, 0xFFFF, 0}, Mark{0, 2, 0, 45000, 0x1011, 0}};
  auto pts = exportChapters(m, ChapterFormat::PTS);
  ASSERT_TRUE(pts.ok);
  EXPECT_EQ(pts.text, "5400000\r\n45000\r\n");
  EXPECT_EQ(exportChapters(m, ChapterFormat::Time).text, "00:02:00.000\r\n00:00:01.000\r\n");
  // 23.976 fps: 120 s is 2877.12 frames, 1 s is 23.976 frames: the nearest frames.
  EXPECT_EQ(exportChapters(m, ChapterFormat::Frame).text, "2877\r\n24\r\n");
  m.playListMark.marks.clear();
  EXPECT_EQ(exportChapters(m, ChapterFormat::PTS).text, "");
}

TEST(Chapters, FrameNumbersAreTrueFrames) {
  // One second of 24 fps is frame 24; 1001-rates are exact both ways.
  FrameRatio r24 = *frameRatio(2);
  EXPECT_EQ(framesFromTicks(45000, r24), 24u);
  EXPECT_EQ(ticksFromFrames(24, r24), 45000u);
  FrameRatio r23 = *frameRatio(1);
  EXPECT_EQ(framesFromTicks(45045, r23), 24u);  // 24 frames of 23.976 take 1.001 s
  EXPECT_EQ(ticksFromFrames(24, r23), 45045u);
  for (unsigned v : {1u, 2u, 3u, 4u, 6u, 7u}) {
    FrameRatio r = *frameRatio(v);
    for (uint64_t f : {0ull, 1ull, 2ull, 7ull, 1000ull, 123457ull, 5000000ull})
      EXPECT_EQ(framesFromTicks(ticksFromFrames(f, r), r), f) << "rate " << v << " frame " << f;
  }
  EXPECT_FALSE(frameRatio(0));
  EXPECT_FALSE(frameRatio(5));
  EXPECT_FALSE(frameRatio(8));
}

TEST(Chapters, FrameFormatNeedsVideoWithADefinedRate) {
  Playlist m = twoItems();
  const auto marks = marksOf(m);
  m.playList.playItems[0].stn.video[0].attr.frameRate = 5;
  core::MemoryLog log;
  auto e = exportChapters(m, ChapterFormat::Frame);
  EXPECT_FALSE(e.ok);
  EXPECT_NE(e.error.find("frame rate"), std::string::npos);
  auto i = importChapters(m, "24\r\n", ChapterFormat::Frame, log);
  EXPECT_FALSE(i.ok);
  EXPECT_EQ(marksOf(m), marks);  // nothing changed
  m.playList.playItems[0].stn.video.clear();
  m.playList.playItems[0].stn.numVideo = 0;
  e = exportChapters(m, ChapterFormat::Frame);
  EXPECT_FALSE(e.ok);
  EXPECT_NE(e.error.find("video stream"), std::string::npos);
}

TEST(Chapters, ImportPlacesPositionsOnTheirPlayItem) {
  Playlist m = twoItems();
  core::MemoryLog log;
  const uint32_t ext = m.extDataStart;
  ASSERT_EQ(m.playListMark.marks.size(), 3u);
  auto r = importChapters(m, "4500000\r\n4499999\r\n0\r\n\r\n5400000\r\n", ChapterFormat::PTS, log);
  ASSERT_TRUE(r.ok) << r.error;
  const auto& mk = m.playListMark.marks;
  ASSERT_EQ(mk.size(), 5u);
  EXPECT_EQ(mk[0].playItemRef, 1);  // the boundary belongs to the later PlayItem
  EXPECT_EQ(mk[0].timeStamp, 900000u);
  EXPECT_EQ(mk[1].playItemRef, 0);
  EXPECT_EQ(mk[1].timeStamp, 4499999u);
  EXPECT_EQ(mk[2].playItemRef, 0);  // 0 and the empty line: the start
  EXPECT_EQ(mk[2].timeStamp, 0u);
  EXPECT_EQ(mk[3], mk[2]);
  EXPECT_EQ(mk[4].playItemRef, 1);
  EXPECT_EQ(mk[4].timeStamp, 1800000u);
  for (const auto& x : mk) {
    EXPECT_EQ(x.type, 1);
    EXPECT_EQ(x.entryPID, 0xFFFF);
    EXPECT_EQ(x.duration, 0u);
  }
  EXPECT_EQ(m.playListMark.length, 14u * 5 + 2);
  EXPECT_EQ(m.extDataStart, ext + 2 * 14);
  EXPECT_TRUE(layoutMismatches(m).empty());
  // The search is logged: first line of the boundary case, then the PlayItem found.
  auto lines = log.plainLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "2: 00:01:40.000 00:01:40.000   0044AA20 0044AA20");
  EXPECT_EQ(lines[1], "1, 00:01:40.000");
  // Export gives the positions back.
  EXPECT_EQ(exportChapters(m, ChapterFormat::PTS).text, "4500000\r\n4499999\r\n0\r\n0\r\n5400000\r\n");
}

TEST(Chapters, ImportShrinksAndReplacesMarks) {
  Playlist m = twoItems();
  core::MemoryLog log;
  // five marks before, three lines after: 44 bytes of marks, ExtensionData 28 back
  m.playListMark.marks.push_back(Mark{});
  m.playListMark.marks.push_back(Mark{});
  updateLengths(m);
  ASSERT_EQ(m.playListMark.marks.size(), 5u);
  const uint32_t ext = m.extDataStart;
  ASSERT_TRUE(importChapters(m, "00:00:00.000\n00:00:01.500\n00:01:15.000", ChapterFormat::Time, log).ok);
  EXPECT_EQ(m.playListMark.length, 44u);
  EXPECT_EQ(m.playListMark.numMarks, 3);
  EXPECT_EQ(m.extDataStart, ext - 28);
  EXPECT_TRUE(layoutMismatches(m).empty());
  EXPECT_EQ(m.playListMark.marks[0].timeStamp, 0u);
  EXPECT_EQ(m.playListMark.marks[1].timeStamp, 67500u);
  // 00:01:40.000 in Time format lands on PlayItem 1's IN.
  ASSERT_TRUE(importChapters(m, "00:01:40.000", ChapterFormat::Time, log).ok);
  EXPECT_EQ(m.playListMark.marks[0].playItemRef, 1);
  EXPECT_EQ(m.playListMark.marks[0].timeStamp, 900000u);
  // A playlist without a mark section takes no chapters: the reader would not see them.
  Playlist none = twoItems();
  none.markStart = 0;
  EXPECT_FALSE(importChapters(none, "0\r\n", ChapterFormat::PTS, log).ok);
  EXPECT_EQ(none.playListMark.marks.size(), 3u);
  // Text without lines changes nothing.
  const auto marks = marksOf(m);
  EXPECT_FALSE(importChapters(m, "", ChapterFormat::PTS, log).ok);
  EXPECT_EQ(marksOf(m), marks);
}

TEST(Chapters, PositionsAtOrPastTheEndGoToTheLastPlayItem) {
  Playlist m = twoItems();
  core::MemoryLog log;
  ASSERT_TRUE(importChapters(m, "6300000\r\n9999999\r\n6299999\r\n4294967295\r\n", ChapterFormat::PTS, log).ok);
  const auto& mk = m.playListMark.marks;
  for (size_t i : {0u, 1u, 3u}) {
    EXPECT_EQ(mk[i].playItemRef, 1) << i;
    EXPECT_EQ(mk[i].timeStamp, 2700000u) << i;  // clamped to OUT
  }
  EXPECT_EQ(mk[2].playItemRef, 1);
  EXPECT_EQ(mk[2].timeStamp, 2699999u);
  // Frame import round-trips a frame export.
  Playlist f = twoItems();
  auto text = exportChapters(f, ChapterFormat::Frame).text;
  ASSERT_TRUE(importChapters(f, text, ChapterFormat::Frame, log).ok);
  EXPECT_EQ(exportChapters(f, ChapterFormat::Frame).text, text);
}

TEST(Chapters, FormatNamesAndFileNames) {
  EXPECT_EQ(parseChapterFormat("Frame"), ChapterFormat::Frame);
  EXPECT_EQ(parseChapterFormat("pts"), ChapterFormat::PTS);
  EXPECT_FALSE(parseChapterFormat("vtt"));
  EXPECT_EQ(defaultChapterFileName("00001", ChapterFormat::PTS), "chapter_00001_PTS.txt");
  EXPECT_EQ(defaultChapterFileName("00001", ChapterFormat::Frame), "chapter_00001_frame.txt");
  EXPECT_EQ(defaultChapterFileName("00001", ChapterFormat::Time), "chapter_00001_time.txt");
}

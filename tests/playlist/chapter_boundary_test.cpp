// Chapter files that come back where they were written: marks on a PlayItem's IN time
// in the Frame format, files with a byte-order mark or other line ends, and size edits
// of a playlist that has no mark section.
#include <gtest/gtest.h>

#include "playlist/chapters.h"
#include "playlist/mpls_reader.h"
#include "playlist/mpls_writer.h"
#include "playlist/playlist_edit.h"
#include "playlist/stream_edit.h"
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

bool hasFrameRate(const Playlist& m) {
  const auto& pis = m.playList.playItems;
  return !pis.empty() && !pis[0].stn.video.empty() && frameRatio(pis[0].stn.video[0].attr.frameRate);
}

}  // namespace

// Every mark that sits exactly on the IN time of its PlayItem is exported as the frame
// of that boundary and must come back on the same PlayItem, at its IN time.
TEST(ChapterBoundaries, FrameRoundTripKeepsMarksOnTheirPlayItem) {
  const auto files = test::fixtureFiles(".mpls");
  if (files.empty()) MORVEX_SKIP_OR_FAIL("fixture discs not present");
  size_t checked = 0;
  for (const auto& f : files) {
    const Playlist m = readFixture(f);
    if (!hasFrameRate(m) || m.markStart == 0 || m.playListMark.marks.empty()) continue;
    const auto out = exportChapters(m, ChapterFormat::Frame);
    ASSERT_TRUE(out.ok) << f;
    Playlist back = m;
    core::MemoryLog log;
    ASSERT_TRUE(importChapters(back, out.text, ChapterFormat::Frame, log).ok) << f;
    ASSERT_EQ(back.playListMark.marks.size(), m.playListMark.marks.size());
    for (size_t k = 0; k < m.playListMark.marks.size(); ++k) {
      const auto& was = m.playListMark.marks[k];
      if (was.playItemRef >= m.playList.playItems.size()) continue;
      const auto& pi = m.playList.playItems[was.playItemRef];
      if (was.timeStamp != pi.inTime) continue;
      // A PlayItem shorter than a frame puts two boundaries into one frame number:
      // the format cannot tell them apart, and such a mark is not counted.
      const FrameRatio r = *frameRatio(m.playList.playItems[0].stn.video[0].attr.frameRate);
      uint64_t start = 0;
      for (size_t i = 0; i < was.playItemRef; ++i)
        start += uint32_t(m.playList.playItems[i].outTime - m.playList.playItems[i].inTime);
      if (was.playItemRef > 0) {
        const auto& prev = m.playList.playItems[was.playItemRef - 1];
        const uint64_t prevStart = start - uint32_t(prev.outTime - prev.inTime);
        if (framesFromTicks(prevStart, r) == framesFromTicks(start, r)) continue;
      }
      ++checked;
      EXPECT_EQ(back.playListMark.marks[k].playItemRef, was.playItemRef) << f << " mark " << k;
      EXPECT_EQ(back.playListMark.marks[k].timeStamp, pi.inTime) << f << " mark " << k;
    }
  }
  EXPECT_GT(checked, 10u);
}

TEST(ChapterBoundaries, Disc11FirstPlaylistMarkOne) {
  const auto files = test::fixtureFiles("00000.mpls");
  std::filesystem::path file;
  for (const auto& f : files)
    if (f.string().find("/disc11/") != std::string::npos) file = f;
  if (file.empty()) MORVEX_SKIP_OR_FAIL("fixture disc11 not present");
  const Playlist m = readFixture(file);
  ASSERT_GT(m.playListMark.marks.size(), 1u);
  const auto out = exportChapters(m, ChapterFormat::Frame);
  ASSERT_TRUE(out.ok);
  Playlist back = m;
  core::MemoryLog log;
  ASSERT_TRUE(importChapters(back, out.text, ChapterFormat::Frame, log).ok);
  EXPECT_EQ(back.playListMark.marks[1].playItemRef, m.playListMark.marks[1].playItemRef);
  EXPECT_EQ(back.playListMark.marks[1].timeStamp, m.playListMark.marks[1].timeStamp);
}

// A position inside a frame that is not the boundary's frame still lands before it.
TEST(ChapterBoundaries, FrameBeforeTheBoundaryStaysOnTheEarlierPlayItem) {
  Playlist m = synth::twoItems(true);  // PlayItem 0 covers 0..4500000, 23.976 fps
  const FrameRatio r = *frameRatio(m.playList.playItems[0].stn.video[0].attr.frameRate);
  const uint64_t boundary = framesFromTicks(4500000, r);
  core::MemoryLog log;
  const std::string text = std::to_string(boundary - 1) + "\r\n" + std::to_string(boundary) + "\r\n";
  ASSERT_TRUE(importChapters(m, text, ChapterFormat::Frame, log).ok);
  EXPECT_EQ(m.playListMark.marks[0].playItemRef, 0);
  EXPECT_EQ(m.playListMark.marks[0].timeStamp, ticksFromFrames(boundary - 1, r));
  EXPECT_EQ(m.playListMark.marks[1].playItemRef, 1);
  EXPECT_EQ(m.playListMark.marks[1].timeStamp, m.playList.playItems[1].inTime);
}

TEST(ChapterBoundaries, ByteOrderMarkAndLineEnds) {
  for (const std::string& text : {std::string("\xEF\xBB\xBF" "45000\r\n90000\r\n"), std::string("45000\r90000\r"),
                                 std::string("45000\n90000"), std::string("\xEF\xBB\xBF" "45000\r90000\n")}) {
    Playlist m = synth::twoItems(true);
    core::MemoryLog log;
    ASSERT_TRUE(importChapters(m, text, ChapterFormat::PTS, log).ok);
    ASSERT_EQ(m.playListMark.marks.size(), 2u) << text;
    EXPECT_EQ(m.playListMark.marks[0].timeStamp, 45000u) << text;
    EXPECT_EQ(m.playListMark.marks[1].timeStamp, 90000u) << text;
    EXPECT_EQ(m.playListMark.length, 2u + 2 * 14);
  }
  // An empty line between two others is still a chapter at 0.
  Playlist m = synth::twoItems(true);
  core::MemoryLog log;
  ASSERT_TRUE(importChapters(m, "45000\r\r90000\r", ChapterFormat::PTS, log).ok);
  ASSERT_EQ(m.playListMark.marks.size(), 3u);
  EXPECT_EQ(m.playListMark.marks[1].timeStamp, m.playList.playItems[0].inTime);
}

TEST(ChapterBoundaries, NoMarkSectionStaysWithoutOne) {
  Playlist m = synth::twoItems(true);
  m.playListMark = {};
  m.markStart = 0;
  updateLengths(m);
  ASSERT_EQ(m.markStart, 0u);
  const auto ext = m.extDataStart;
  ASSERT_TRUE(insertStream(m, 0, StreamKind::Audio, 0));
  EXPECT_EQ(m.markStart, 0u);
  ASSERT_TRUE(insertSubPath(m, -1));
  EXPECT_EQ(m.markStart, 0u);
  EXPECT_FALSE(canInsertMark(m));
  ASSERT_TRUE(deleteSubPath(m, 0));
  EXPECT_EQ(m.markStart, 0u);
  EXPECT_TRUE(layoutMismatches(m).empty());
  // The file written still has no mark section and reads back as it was.
  Playlist back;
  core::MemoryLog log;
  ASSERT_TRUE(readPlaylist(writePlaylist(m), "x.mpls", back, log).usable());
  EXPECT_EQ(back.markStart, 0u);
  EXPECT_NE(ext, 0u);
  EXPECT_EQ(back.playList, m.playList);
}

// Title and movie-object editing: lengths and addresses kept in step, title
// references after object deletion, row and label texts.
#include <gtest/gtest.h>

#include "nav/nav_edit.h"

using namespace morvex;
using namespace morvex::nav;
using hdmv::CmdKey;
using hdmv::Command;
using hdmv::CommandList;

namespace {

IndexTable indexWithTitles(int n, uint16_t firstObject = 0) {
  IndexTable indx;
  indx.indexes.length = 26;
  indx.extensionDataStartAddress = 78 + 4 + 26;
  for (int i = 0; i < n; ++i) insertTitle(indx, i - 1);
  for (int i = 0; i < n; ++i) indx.indexes.titles[i].objectId = static_cast<uint16_t>(firstObject + i);
  indx.indexes.firstPlayback.objectId = kNoObject;
  indx.indexes.topMenu.objectId = kNoObject;
  return indx;
}

MovieObjectFile objectsWithCommands(std::vector<int> counts) {
  MovieObjectFile m;
  for (int c : counts) {
    MovieObject o;
    o.commands.assign(static_cast<size_t>(c), Command{0x50400001u, 1, 2});
    m.movieObjects.objects.push_back(o);
  }
  m.movieObjects.length = movieObjectsLength(m.movieObjects);
  m.extensionDataStartAddress = 44 + m.movieObjects.length;
  return m;
}

void expectConsistent(const MovieObjectFile& m) {
  EXPECT_EQ(m.movieObjects.length, movieObjectsLength(m.movieObjects));
  EXPECT_EQ(m.extensionDataStartAddress, 44 + m.movieObjects.length);
}

}  // namespace

TEST(TitleEditing, InsertIntoEmptyAndDeleteRanges) {
  IndexTable indx;
  indx.indexes.length = 26;
  indx.extensionDataStartAddress = 0;
  EXPECT_EQ(insertTitle(indx, 0), 0);
  ASSERT_EQ(indx.indexes.titles.size(), 1u);
  const Title& t = indx.indexes.titles[0];
  EXPECT_EQ(t.titleNumber, 1u);
  EXPECT_TRUE(t.isHdmv());
  EXPECT_EQ(t.objectId, 0u);
  EXPECT_EQ(indx.indexes.length, 38u);
  EXPECT_EQ(indx.extensionDataStartAddress, 0u);  // absent stays absent

  IndexTable six = indexWithTitles(6);
  EXPECT_EQ(six.indexes.length, 26u + 72u);
  EXPECT_EQ(six.extensionDataStartAddress, 78u + 4u + 26u + 72u);
  EXPECT_EQ(deleteTitles(six, 1, 3), 0);  // titles 2 to 4
  ASSERT_EQ(six.indexes.titles.size(), 3u);
  EXPECT_EQ(six.indexes.length, 26u + 36u);
  EXPECT_EQ(six.extensionDataStartAddress, 78u + 4u + 26u + 36u);
  EXPECT_EQ(six.indexes.titles[1].titleNumber, 2u);
  EXPECT_EQ(six.indexes.titles[1].objectId, 4u);  // former title 5
  EXPECT_EQ(six.indexes.titles[2].titleNumber, 3u);
  // Inserting in the middle renumbers by position.
  EXPECT_EQ(insertTitle(six, 0), 1);
  EXPECT_EQ(six.indexes.titles[2].objectId, 4u);
  EXPECT_EQ(six.indexes.titles[2].titleNumber, 3u);
  EXPECT_EQ(deleteTitles(six, 0, 0), 0);
  EXPECT_EQ(deleteTitles(six, 0, 99), -1);
  EXPECT_TRUE(six.indexes.titles.empty());
  EXPECT_EQ(six.indexes.length, 26u);
  EXPECT_EQ(deleteTitles(six, 0, 0), -1);
  EXPECT_EQ(six.indexes.length, 26u);
  // An index holds at most 999 titles: the 1000th is not inserted.
  IndexTable full = indexWithTitles(999);
  const uint32_t length = full.indexes.length;
  EXPECT_EQ(insertTitle(full, 5), -1);
  EXPECT_EQ(full.indexes.titles.size(), 999u);
  EXPECT_EQ(full.indexes.length, length);
}

TEST(TitleEditing, FirstPlaybackTopMenuAndLabels) {
  IndexTable indx = indexWithTitles(12);
  EXPECT_EQ(titleCountLabel(indx), "12 titles");
  setFirstPlaybackOn(indx, true, 3);
  setTopMenuOn(indx, true, 4);
  EXPECT_EQ(indx.indexes.firstPlayback.objectId, 3u);
  EXPECT_EQ(titleCountLabel(indx), "12 + 2 titles");
  setFirstPlaybackOn(indx, false, 3);
  EXPECT_EQ(indx.indexes.firstPlayback.objectId, 0xFFFFu);
  EXPECT_EQ(titleCountLabel(indx), "12 + 1 titles");
  // A BD-J First Playback keeps its object id when switched on.
  indx.indexes.firstPlayback.objectType = ObjectBDJ;
  setFirstPlaybackOn(indx, true, 5);
  EXPECT_EQ(indx.indexes.firstPlayback.objectId, 0xFFFFu);
  // Access type mapping both ways.
  EXPECT_EQ(accessTypeEntry(0), 0);
  EXPECT_EQ(accessTypeEntry(1), 0);
  EXPECT_EQ(accessTypeEntry(3), 2);
  EXPECT_EQ(accessTypeFromEntry(1), 2);
  EXPECT_EQ(accessTypeFromEntry(2), 3);
  Title t;
  t.titleNumber = 7;
  t.accessType = 1;
  t.playbackType = 2;
  t.objectId = 12;
  EXPECT_EQ(titleRowTexts(t), (std::array<std::string, 5>{"007", "HDMV", "Permitted", "", "12"}));
  t.objectType = ObjectBDJ;
  t.bdjFileName = "00001";
  t.playbackType = 1;
  t.accessType = 3;
  EXPECT_EQ(titleRowTexts(t), (std::array<std::string, 5>{"007", "BD-J", "Prohibited2", "Interactive", "00001"}));
}

TEST(ObjectEditing, InsertAndDeleteKeepLengths) {
  MovieObjectFile m = objectsWithCommands({2, 0, 5});
  expectConsistent(m);
  EXPECT_EQ(insertObject(m, 0), 1);
  EXPECT_EQ(m.movieObjects.objects.size(), 4u);
  EXPECT_TRUE(m.movieObjects.objects[1].commands.empty());
  expectConsistent(m);
  EXPECT_EQ(objectCountLabel(m), "4 objects");
  EXPECT_EQ(objectRowTexts(m.movieObjects.objects[3], 3),
            (std::array<std::string, 5>{"003", "discard", "enable", "enable", "5"}));
  core::MemoryLog log;
  IndexTable indx;
  deleteObjects(m, indx, 2, 3, log);
  EXPECT_EQ(m.movieObjects.objects.size(), 2u);
  expectConsistent(m);
  // With the index, titles follow the objects that move up; 0xFFFF and objects before
  // the insertion point stay.
  IndexTable titles = indexWithTitles(3);  // objects 0, 1, 2
  titles.indexes.titles[2].objectId = kNoObject;
  titles.indexes.topMenu.objectId = 1;
  EXPECT_EQ(insertObject(m, titles, 0), 1);
  EXPECT_EQ(titles.indexes.titles[0].objectId, 0u);
  EXPECT_EQ(titles.indexes.titles[1].objectId, 2u);
  EXPECT_EQ(titles.indexes.titles[2].objectId, kNoObject);
  EXPECT_EQ(titles.indexes.topMenu.objectId, 1u);
  expectConsistent(m);
  // Without ExtensionData the address stays 0.
  MovieObjectFile bare = objectsWithCommands({1});
  bare.extensionDataStartAddress = 0;
  insertObject(bare, 0);
  EXPECT_EQ(bare.extensionDataStartAddress, 0u);
  EXPECT_EQ(bare.movieObjects.length, movieObjectsLength(bare.movieObjects));
}

TEST(ObjectEditing, DeletionRenumbersAndReportsTitles) {
  MovieObjectFile m = objectsWithCommands(std::vector<int>(10, 1));
  IndexTable indx = indexWithTitles(6);
  indx.indexes.titles[4].objectId = 7;  // title 5
  indx.indexes.titles[5].objectId = 3;  // title 6
  indx.indexes.titles[3].objectId = 2;  // title 4, before the deleted object
  indx.indexes.titles[0].objectType = ObjectBDJ;
  indx.indexes.titles[0].objectId = 9;  // BD-J titles are not touched
  indx.indexes.firstPlayback.objectId = 8;
  core::MemoryLog log;
  auto out = deleteObjects(m, indx, 3, 3, log);
  EXPECT_EQ(indx.indexes.titles[4].objectId, 6u);
  EXPECT_EQ(indx.indexes.titles[5].objectId, 0xFFFFu);
  EXPECT_EQ(titleRowTexts(indx.indexes.titles[5])[4], "??");
  EXPECT_EQ(indx.indexes.titles[0].objectId, 9u);
  EXPECT_EQ(indx.indexes.titles[3].objectId, 2u);
  EXPECT_EQ(indx.indexes.firstPlayback.objectId, 8u);
  EXPECT_EQ(out.select, 2);
  EXPECT_EQ(out.reported, std::vector<uint32_t>{6});
  ASSERT_EQ(log.plainLines().size(), 1u);
  EXPECT_EQ(log.plainLines()[0], "ERROR: Invalid object reference in Title 6");
  EXPECT_EQ(log.errorText, "See Status");
  expectConsistent(m);
  // A title that already had no object keeps 0xFFFF (it is not shifted down) and is
  // reported again.
  core::MemoryLog secondLog;
  deleteObjects(m, indx, 0, 0, secondLog);
  EXPECT_EQ(indx.indexes.titles[5].objectId, 0xFFFFu);
  EXPECT_EQ(indx.indexes.titles[4].objectId, 5u);
  EXPECT_EQ(secondLog.plainLines().size(), 1u);
}

TEST(ObjectEditing, DeletingAllObjectsReportsEveryHdmvTitle) {
  MovieObjectFile m = objectsWithCommands({1, 2, 3});
  IndexTable indx = indexWithTitles(3);
  indx.indexes.titles[1].objectType = ObjectBDJ;
  core::MemoryLog log;
  auto out = deleteObjects(m, indx, 0, 2, log);
  EXPECT_EQ(out.select, -1);
  EXPECT_EQ(out.reported, (std::vector<uint32_t>{1, 3}));
  EXPECT_EQ(m.movieObjects.length, 6u);
  EXPECT_EQ(m.extensionDataStartAddress, 50u);
  EXPECT_TRUE(log.hadError());
}

TEST(ObjectCommandEditing, LengthsFollowEachCommand) {
  MovieObjectFile m = objectsWithCommands({3, 2});
  const uint32_t before = m.movieObjects.length;
  CommandList clip;
  auto out = editObjectCommands(m, 0, 1, 1, CmdKey::Insert, clip);
  EXPECT_EQ(out.inserted, 1);
  EXPECT_EQ(m.movieObjects.length, before + 12);
  expectConsistent(m);
  editObjectCommands(m, 1, 0, 1, CmdKey::Cut, clip);
  EXPECT_EQ(clip.size(), 2u);
  EXPECT_TRUE(m.movieObjects.objects[1].commands.empty());
  expectConsistent(m);
  editObjectCommands(m, 0, 3, 3, CmdKey::Paste, clip);
  EXPECT_EQ(m.movieObjects.objects[0].commands.size(), 6u);
  expectConsistent(m);
  editObjectCommands(m, 0, 0, 0, CmdKey::Copy, clip);  // no change in length
  expectConsistent(m);
  EXPECT_EQ(editObjectCommands(m, 7, 0, 0, CmdKey::Insert, clip).changed, false);
  // The saved file agrees: read it back and compare.
  core::MemoryLog log;
  MovieObjectFile back;
  ASSERT_TRUE(readMovieObjectFile(writeMovieObjectFile(m), "MovieObject.bdmv", back, log).usable());
  EXPECT_EQ(back.movieObjects.objects, m.movieObjects.objects);
  EXPECT_EQ(back.movieObjects.length, m.movieObjects.length);
}

// Stream, PlayItem, SubPath and mark edits: what they change and the sizes they keep.
#include <gtest/gtest.h>

#include "playlist/grid_text.h"
#include "playlist/mpls_reader.h"
#include "playlist/mpls_writer.h"
#include "playlist/names.h"
#include "playlist/playlist_edit.h"
#include "playlist/stream_edit.h"
#include "playlist/synth.h"

using namespace morvex;
using namespace morvex::playlist;

namespace {

// The writer's output read back must be the edited model, with every stored size
// describing the file.
void expectConsistent(const Playlist& m) {
  auto mismatches = layoutMismatches(m);
  for (const auto& s : mismatches) ADD_FAILURE() << s;
  core::MemoryLog log;
  Playlist back;
  ASSERT_TRUE((readPlaylist(writePlaylist(m), "x", back, log)).complete()) << log.text();
  EXPECT_EQ(back, synth::writable(m));
}

struct Sizes {
  uint32_t mark, ext, pl, pi, stn;
};
Sizes sizes(const Playlist& m, unsigned p) {
  const auto& pi = m.playList.playItems[p];
  return {m.markStart, m.extDataStart, m.playList.length, pi.length, pi.stn.length};
}

}  // namespace

TEST(StreamEdit, InsertWithDefaultsAndSizeBookkeeping) {
  Playlist m = synth::twoItems(true);
  // Empty the audio list of PlayItem 0 by hand, then insert: stream 1 gets the defaults.
  auto& stn0 = m.playList.playItems[0].stn;
  stn0.audio.clear();
  stn0.numAudio = 0;
  updateLengths(m);
  Sizes before = sizes(m, 0);
  auto at = insertStream(m, 0, StreamKind::Audio, -1);
  ASSERT_EQ(at, 0u);
  Sizes after = sizes(m, 0);
  EXPECT_EQ(after.mark, before.mark + 16);
  EXPECT_EQ(after.ext, before.ext + 16);
  EXPECT_EQ(after.pl, before.pl + 16);
  EXPECT_EQ(after.pi, before.pi + 16);
  EXPECT_EQ(after.stn, before.stn + 16);
  EXPECT_EQ(streamRows(m.playList.playItems[0].stn, StreamKind::Audio)[0],
            (Row{"001", "PlayItem", "1100", "", "", "", "DD, Multi-ch., 48 kHz, eng"}));
  expectConsistent(m);

  // PG goes after the selected PG stream; the PiP stream stays behind the PG streams.
  auto& stn1 = m.playList.playItems[1].stn;
  const Stream pip = stn1.pg.back();
  ASSERT_EQ(insertStream(m, 1, StreamKind::PG, 0), 1u);
  EXPECT_EQ(stn1.numPG, 3);
  EXPECT_EQ(stn1.numPIPPG, 1);
  EXPECT_EQ(stn1.pg[1].entry.mainPID, 0x1200);
  EXPECT_EQ(stn1.pg[1].attr.codingType, 0x90);
  EXPECT_EQ(*streamAt(stn1, StreamKind::PIPPG, 0), pip);
  ASSERT_EQ(insertStream(m, 1, StreamKind::IG, -1), 0u);
  EXPECT_EQ(stn1.ig[0].entry.type, 2);
  EXPECT_EQ(stn1.ig[0].entry.subPID, 0x1400);
  EXPECT_EQ(streamRows(stn1, StreamKind::IG)[0], (Row{"001", "SubPath", "", "00", "00", "1400", "eng"}));
  expectConsistent(m);

  // Kinds without insert defaults, and the limits.
  EXPECT_FALSE(insertStream(m, 1, StreamKind::Video, 0));
  EXPECT_FALSE(insertStream(m, 1, StreamKind::SecAudio, 0));
  EXPECT_FALSE(insertStream(m, 1, StreamKind::PIPPG, 0));
  EXPECT_FALSE(insertStream(m, 7, StreamKind::Audio, 0));
  while (canInsertStream(stn1, StreamKind::Audio)) ASSERT_TRUE(insertStream(m, 1, StreamKind::Audio, 0));
  EXPECT_EQ(stn1.numAudio, 32);
  expectConsistent(m);
}

TEST(StreamEdit, DeleteSizesAndRefusals) {
  Playlist m = synth::twoItems(true);
  auto& stn1 = m.playList.playItems[1].stn;
  // Secondary audio with 3 references: 16 + 2 + 3 + 1 bytes.
  EXPECT_EQ(streamSize(stn1, StreamKind::SecAudio, 0), 22u);
  Sizes before = sizes(m, 1);
  ASSERT_EQ(deleteStream(m, 1, StreamKind::SecAudio, 0), -1);
  EXPECT_EQ(sizes(m, 1).mark, before.mark - 22);
  EXPECT_EQ(sizes(m, 1).ext, before.ext - 22);
  EXPECT_EQ(sizes(m, 1).stn, before.stn - 22);
  expectConsistent(m);
  // Secondary video with 1 + 2 references: 16 + (2+1+1) + (2+2).
  EXPECT_EQ(streamSize(stn1, StreamKind::SecVideo, 0), 24u);
  ASSERT_EQ(deleteStream(m, 1, StreamKind::SecVideo, 0), -1);
  expectConsistent(m);
  // PiP PG is the second part of the PG list.
  ASSERT_EQ(deleteStream(m, 1, StreamKind::PIPPG, 0), -1);
  EXPECT_EQ(stn1.numPIPPG, 0);
  EXPECT_EQ(stn1.pg.size(), 2u);
  // Deleting the second of two PG streams selects the first.
  EXPECT_EQ(deleteStream(m, 1, StreamKind::PG, 1), 0);
  expectConsistent(m);

  // The last primary audio stream stays; video is never deleted; the last IG may go.
  auto& stn0 = m.playList.playItems[0].stn;
  EXPECT_FALSE(deleteStream(m, 0, StreamKind::Audio, 0));
  EXPECT_FALSE(deleteStream(m, 0, StreamKind::Video, 0));
  EXPECT_TRUE(canDeleteStream(stn0, StreamKind::Audio));  // the button, not the action
  ASSERT_TRUE(insertStream(m, 0, StreamKind::IG, -1));
  EXPECT_EQ(deleteStream(m, 0, StreamKind::IG, 0), -1);
  EXPECT_TRUE(stn0.ig.empty());
  EXPECT_FALSE(deleteStream(m, 0, StreamKind::IG, 0));
  expectConsistent(m);
}

TEST(StreamEdit, FieldEditsKeepSizes) {
  Playlist m = synth::twoItems();
  const auto before = layoutMismatches(m);
  ASSERT_TRUE(setStreamField(m, 1, StreamKind::Audio, 0, StreamField::EntryType, 2));
  auto& s = m.playList.playItems[1].stn.audio[0];
  EXPECT_EQ(s.entry.mainPID, 0x1100);  // kept, though type 2 does not show it
  auto row = streamRow(s, StreamKind::Audio, 0);
  EXPECT_EQ(row[2], "");
  EXPECT_EQ(row[5], "0000");
  ASSERT_TRUE(setStreamField(m, 1, StreamKind::Audio, 0, StreamField::CodingType,
                             audioCodingValues()[size_t(8)]));
  EXPECT_EQ(s.attr.codingType, 0xA2);
  EXPECT_EQ(audioCodingValues()[6], 0x86);
  ASSERT_TRUE(setStreamLanguage(m, 1, StreamKind::Audio, 0, "spa"));
  EXPECT_EQ(s.attr.language, "spa");
  EXPECT_FALSE(setStreamLanguage(m, 1, StreamKind::PIPPG, 0, "spa"));
  EXPECT_EQ(streamAt(m.playList.playItems[1].stn, StreamKind::PIPPG, 0)->attr.language, "jpn");
  EXPECT_FALSE(setStreamField(m, 1, StreamKind::IG, 0, StreamField::MainPID, 1));
  // A type 3 entry shows its SubPath id with four hexadecimal digits for PG.
  ASSERT_TRUE(setStreamField(m, 1, StreamKind::PG, 0, StreamField::EntryType, 3));
  ASSERT_TRUE(setStreamField(m, 1, StreamKind::PG, 0, StreamField::SubPathId, 10));
  EXPECT_EQ(streamRow(m.playList.playItems[1].stn.pg[0], StreamKind::PG, 0)[3], "000A");
  EXPECT_EQ(layoutMismatches(m), before);
  expectConsistent(m);
}

TEST(PlayItemEdit, CellsAcceptOnlyTheirForm) {
  Playlist m = synth::twoItems();
  EXPECT_TRUE(setPlayItemCell(m, 0, PlayItemField::OutTime, "00:00:10.000"));
  EXPECT_EQ(m.playList.playItems[0].outTime, 450000u);
  EXPECT_FALSE(setPlayItemCell(m, 0, PlayItemField::OutTime, "00:00:10.00"));
  EXPECT_FALSE(setPlayItemCell(m, 0, PlayItemField::OutTime, "00:00 10.000"));
  EXPECT_TRUE(setPlayItemCell(m, 0, PlayItemField::UoMask2, "000000FF"));
  EXPECT_EQ(m.playList.playItems[0].uoMask2, 0u);
  EXPECT_TRUE(setPlayItemCell(m, 0, PlayItemField::UoMask2, "40000001"));
  EXPECT_EQ(m.playList.playItems[0].uoMask2, 0x40000000u);
  EXPECT_TRUE(setPlayItemCell(m, 0, PlayItemField::UoMask1, "deadBEEF"));
  EXPECT_EQ(m.playList.playItems[0].uoMask1, 0xDEADBEEFu);
  EXPECT_FALSE(setPlayItemCell(m, 0, PlayItemField::UoMask1, "DEADBEEG"));
  EXPECT_FALSE(setPlayItemCell(m, 0, PlayItemField::CodecId, "ABCD"));
  EXPECT_FALSE(setPlayItemCell(m, 0, PlayItemField::Length, "00:00:01.000"));
  EXPECT_FALSE(setPlayItemCell(m, 0, PlayItemField::ClipName, "0001"));
  EXPECT_TRUE(setPlayItemCell(m, 0, PlayItemField::ClipName, "00042"));
  EXPECT_EQ(m.playList.playItems[0].clipName, "00042");
  expectConsistent(m);
}

TEST(PlayItemEdit, InTimeCascades) {
  Playlist m = synth::twoItems();
  auto& p0 = m.playList.playItems[0];
  p0.inTime = 450000;
  p0.outTime = 900000;
  m.playListMark.marks[0].timeStamp = 450000;
  EXPECT_TRUE(inTimeQuestions(m, 0, 450000).empty());
  EXPECT_EQ(inTimeQuestions(m, 0, 540000),
            (std::vector<std::string>{"Do you want to update OUT time?",
                                      "Do you want to update SubPlayItems' IN/OUT times?",
                                      "Do you want to update PlayListMarks' marktimes?"}));
  ASSERT_TRUE(setPlayItemCell(m, 0, PlayItemField::InTime, "00:00:12.000", InTimeCascade{true, true, true}));
  EXPECT_EQ(p0.inTime, 540000u);
  EXPECT_EQ(p0.outTime, 990000u);
  EXPECT_EQ(m.playList.subPaths[0].subPlayItems[0].inTime, 100u + 90000);
  EXPECT_EQ(m.playList.subPaths[0].subPlayItems[0].outTime, 200u + 90000);
  EXPECT_EQ(m.playListMark.marks[0].timeStamp, 540000u);
  EXPECT_EQ(m.playListMark.marks[1].timeStamp, 1800000u);  // PlayItem 1's mark stays
  // Answering No everywhere moves only the IN time; a move backwards wraps nothing.
  ASSERT_TRUE(changeInTime(m, 0, 0, InTimeCascade{}));
  EXPECT_EQ(p0.inTime, 0u);
  EXPECT_EQ(p0.outTime, 990000u);
  ASSERT_TRUE(changeInTime(m, 0, 45, InTimeCascade{false, false, true}));
  EXPECT_EQ(m.playListMark.marks[0].timeStamp, 540045u);
}

TEST(AppInfoEdit, MasksAndFlags) {
  Playlist m = synth::twoItems();
  setcbUOs(m, 0, 0);
  setUOBit(m, 31, true);
  setUOBit(m, 0, true);
  setUO2Bit30(m, true);
  EXPECT_EQ(m.appInfo.uoMask1, 0x80000001u);
  EXPECT_EQ(m.appInfo.uoMask2, 0x40000000u);
  setUOBit(m, 31, false);
  EXPECT_EQ(m.appInfo.uoMask1, 1u);
  EXPECT_EQ(uoMask2Accepted(0x4000FFFF), 0x40000000u);
  auto boxes = uoBoxes(m.appInfo.uoMask1, m.appInfo.uoMask2);
  ASSERT_EQ(boxes.size(), 33u);
  EXPECT_TRUE(boxes[0].checked);
  EXPECT_FALSE(boxes[1].checked);
  EXPECT_EQ(boxes[26].hint, "Skip back to previous point ");
  EXPECT_EQ(boxes[32].name, "cbUO2_30");
  EXPECT_TRUE(boxes[32].checked);
  setPlaybackType(m, 2);
  EXPECT_EQ(m.appInfo.playbackType, 3);
  setAppFlag(m, AppFlag::AudioMix, true);
  EXPECT_EQ(m.appInfo.audioMixAppFlag, 1);
  expectConsistent(m);
}

TEST(SubPathEdit, InsertDeleteTypeAndCells) {
  Playlist m = synth::twoItems();
  m.extDataStart = 0;
  updateLengths(m);
  const uint32_t pl = m.playList.length, mark = m.markStart;
  ASSERT_EQ(insertSubPath(m, 0), 1u);
  EXPECT_EQ(m.playList.length, pl + 40);
  EXPECT_EQ(m.markStart, mark + 40);
  EXPECT_EQ(m.extDataStart, 0u);
  const auto& sp = m.playList.subPaths[1];
  EXPECT_EQ(sp.type, 3);
  EXPECT_EQ(sp.subPlayItems[0].clipName, "00001");
  EXPECT_EQ(sp.subPlayItems[0].outTime, 4500000u);
  expectConsistent(m);

  auto& s = m.playList.subPaths[1].subPlayItems[0];
  EXPECT_TRUE(setSubPlayItemCell(m, 1, 0, SubPlayItemField::ConnectionCondition, "7"));
  EXPECT_EQ(s.connectionCondition, 1);
  EXPECT_TRUE(setSubPlayItemCell(m, 1, 0, SubPlayItemField::ConnectionCondition, "6"));
  EXPECT_EQ(s.connectionCondition, 6);
  EXPECT_TRUE(setSubPlayItemCell(m, 1, 0, SubPlayItemField::SyncPlayItem, "999"));
  EXPECT_EQ(s.syncPlayItemId, 0);
  EXPECT_TRUE(setSubPlayItemCell(m, 1, 0, SubPlayItemField::SyncPlayItem, "998"));
  EXPECT_EQ(s.syncPlayItemId, 998);
  EXPECT_TRUE(setSubPlayItemCell(m, 1, 0, SubPlayItemField::SyncStartPts, "00:00:01.000"));
  EXPECT_EQ(s.syncStartPTS, 45000u);
  EXPECT_EQ(subPlayItemRow(s, 0)[9], "00:00:01.000");
  EXPECT_FALSE(setSubPlayItemCell(m, 1, 0, SubPlayItemField::CodecId, "M2TS"));
  EXPECT_FALSE(setSubPlayItemCell(m, 1, 0, SubPlayItemField::StcId, "1 2"));
  // Switching multi-clip entries keeps the file whole both ways.
  EXPECT_TRUE(setSubPlayItemCell(m, 1, 0, SubPlayItemField::MultiClip, "Y"));
  EXPECT_EQ(s.clips.size(), 1u);
  expectConsistent(m);
  EXPECT_TRUE(setSubPlayItemCell(m, 1, 0, SubPlayItemField::MultiClip, "N"));
  expectConsistent(m);

  EXPECT_TRUE(setSubPathType(m, 0, 2));
  EXPECT_TRUE(setSubPathRepeat(m, 0, true));
  EXPECT_EQ(m.playList.subPaths[0].repeat, 1);
  EXPECT_TRUE(setSubPathType(m, 0, 4));
  EXPECT_EQ(m.playList.subPaths[0].repeat, 0);
  EXPECT_FALSE(setSubPathRepeat(m, 0, true));

  const uint32_t size1 = subPathSize(m.playList.subPaths[1]);
  EXPECT_EQ(size1, 40u);
  EXPECT_EQ(deleteSubPath(m, 1), 0);
  EXPECT_EQ(deleteSubPath(m, 0), -1);
  EXPECT_FALSE(deleteSubPath(m, 0));
  EXPECT_EQ(m.playList.numSubPaths, 0);
  expectConsistent(m);
}

TEST(MarkEdit, InsertDeleteAndTimeFields) {
  Playlist m = synth::twoItems(true);
  const uint32_t len = m.playListMark.length, ext = m.extDataStart;
  ASSERT_EQ(insertMark(m, 0), 1u);
  EXPECT_EQ(m.playListMark.marks[1], (Mark{0, 1, 0, 0, 0xFFFF, 0}));
  EXPECT_EQ(m.playListMark.length, len + 14);
  EXPECT_EQ(m.extDataStart, ext + 14);
  expectConsistent(m);
  // Three selected marks: 42 bytes less; the row above the range is selected.
  ASSERT_EQ(deleteMarks(m, 1, 3), 0);
  EXPECT_EQ(m.playListMark.length, len + 14 - 42);
  EXPECT_EQ(m.playListMark.marks.size(), 1u);
  expectConsistent(m);
  EXPECT_EQ(deleteMarks(m, 0, 0), -1);
  EXPECT_EQ(m.playListMark.numMarks, 0);
  expectConsistent(m);
  EXPECT_TRUE(setMarkType(m, 0, 0) == false);
  ASSERT_EQ(insertMark(m, -1), 0u);
  EXPECT_TRUE(setMarkType(m, 0, 1));
  EXPECT_EQ(markTypeName(m.playListMark.marks[0].type), "link point");

  MarkTimeFields f{26, 75, -3, 12345};
  EXPECT_EQ(markTime(f), 25u * 162000000 + 59u * 2700000 + 0 + 999u * 45);
  EXPECT_EQ(f.hours, 25);
  EXPECT_EQ(f.seconds, 0);
  MarkTimeFields max{25, 59, 59, 999};
  ASSERT_TRUE(setMarkTime(m, 0, max));
  EXPECT_EQ(ticks2time(m.playListMark.marks[0].timeStamp), "25:59:59.999");
  auto back = markTimeFields(m.playListMark.marks[0].timeStamp);
  EXPECT_EQ(back.hours, 25);
  EXPECT_EQ(back.milliseconds, 999);

  // Without a mark section, marks cannot be added (the reader would never see them).
  m.markStart = 0;
  EXPECT_FALSE(insertMark(m, 0));
}

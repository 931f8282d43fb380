// Clip information model: layout written and read back, the EP map packing, the grid
// texts, the edits with their address upkeep, and the packet-count correction.
#include <gtest/gtest.h>

#include "clip/clpi.h"
#include "clip/clpi_text.h"
#include "core/log.h"
#include "support/test_support.h"

using namespace morvex;
using namespace morvex::clip;
using Bytes = std::vector<uint8_t>;

namespace {

uint32_t be32at(const Bytes& b, size_t at) {
  return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

// A small but complete clip: one ATC/STC sequence, video + audio + PG + IG streams, an
// EP map for the video PID with padding before its fine table, ExtensionData.
ClipInfo sampleClip() {
  ClipInfo c;
  c.typeIndicator = "HDMV";
  c.version = "0200";
  c.extensionDataStart = 1;  // placed by the writer
  c.clipInfo.clipStreamType = 1;
  c.clipInfo.applicationType = 1;
  c.clipInfo.tsRecordingRate = 6000000;
  c.clipInfo.numberOfSourcePackets = 9999;
  c.clipInfo.tsTypeInfoLength = 0x1E;
  c.clipInfo.validityFlags = 0x80;
  c.clipInfo.formatIdentifier = "HDMV";
  c.sequenceInfo.length = 22;
  AtcSequence a;
  a.stcSequences.push_back({0x1001, 0, 900000, 45000u * 3600 * 25});
  c.sequenceInfo.atcSequences.push_back(a);
  ProgramSequence p;
  p.programMapPid = 0x0100;
  ClipStream v;
  v.pid = 0x1011, v.codingInfoLength = 21, v.codingType = 0x1B, v.videoFormat = 6, v.frameRate = 1,
  v.aspectRatio = 3;
  ClipStream au;
  au.pid = 0x1100, au.codingInfoLength = 21, au.codingType = 0x80, au.audioPresentationType = 3,
  au.samplingFrequency = 1, au.audioLanguage = "eng";
  ClipStream pg;
  pg.pid = 0x1200, pg.codingInfoLength = 21, pg.codingType = 0x90, pg.pgLanguage = "deu";
  ClipStream ig;
  ig.pid = 0x1400, ig.codingInfoLength = 21, ig.codingType = 0x91, ig.igLanguage = "fra";
  p.streams = {v, au, pg, ig};
  c.programInfo.programSequences.push_back(p);
  c.programInfo.length = 2 + 8 + 4 * 24;
  c.cpi.length = 1;  // not checked by anything; kept as held
  c.cpi.cpiType = 1;
  EpMapEntry e;
  e.streamPid = 0x1011, e.epStreamType = 1, e.numCoarse = 10, e.numFine = 3, e.mapStartAddress = 14;
  c.cpi.epMapEntries.push_back(e);
  EpMap m;
  m.fineTableStartAddress = 96;
  for (uint32_t k = 0; k < 10; ++k) m.coarse.push_back({k, uint16_t(k * 3), 1000 * k});
  m.fine = {{1, 0, 0, 0}, {0, 5, 0x7FF, 0x1FFFF}, {0, 1, 2, 3}};
  c.cpi.maps.push_back(m);
  c.extensionData.length = 12;
  c.extensionData.dataBlockStartAddress = 12;
  return c;
}

}  // namespace

TEST(ClipInfoLayout, WrittenClipReadsBackAndAddressesFollowTheSections) {
  ClipInfo c = sampleClip();
  settleClipInfo(c);
  Bytes b = writeClipInfo(c);
  EXPECT_EQ(c.clipInfo.length, 176u);
  EXPECT_EQ(be32at(b, 40), 176u);
  EXPECT_EQ(c.sequenceInfoStart, 220u);  // ClipInfo ends 220 bytes from the start
  EXPECT_EQ(be32at(b, 8), 220u);
  EXPECT_EQ(be32at(b, 56), 9999u);
  core::MemoryLog log;
  ClipInfo r;
  ASSERT_TRUE((readClipInfo(b, "00001.clpi", r, log)).complete());
  EXPECT_EQ(r, c);
  auto lines = log.plainLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Reading 00001.clpi");
  EXPECT_EQ(lines[1], "4 Program stream(s) found.");
  EXPECT_FALSE(log.hadError());

  // The EP map: 12 zero bytes between 10 coarse entries and a fine table at 96.
  size_t map = c.cpiStart + 4 + 4 + 12;
  EXPECT_EQ(be32at(b, map), 96u);
  for (size_t i = map + 4 + 80; i < map + 96; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(be32at(b, map + 96), 0x80000000u);
}

TEST(ClipInfoLayout, EpMapEntryWordsPackCountsOverThreeWords) {
  ClipInfo c = sampleClip();
  c.cpi.epMapEntries[0].numCoarse = 49224;
  c.cpi.epMapEntries[0].numFine = 214375;
  settleClipInfo(c);
  Bytes b = writeClipInfo(c);
  size_t e = c.cpiStart + 8;
  EXPECT_EQ(Bytes(b.begin() + e + 2, b.begin() + e + 8), (Bytes{0x00, 0x07, 0x01, 0x23, 0x45, 0x67}));
  // Read back: the counts decode, the map itself is missing -> a short file that keeps
  // everything before the break.
  core::MemoryLog log;
  ClipInfo r;
  EXPECT_TRUE((readClipInfo(b, "x.clpi", r, log)).partial());
  EXPECT_TRUE(log.hadError());
  ASSERT_EQ(r.cpi.epMapEntries.size(), 1u);
  EXPECT_EQ(r.cpi.epMapEntries[0].epStreamType, 1);
  EXPECT_EQ(r.cpi.epMapEntries[0].numCoarse, 49224u);
  EXPECT_EQ(r.cpi.epMapEntries[0].numFine, 214375u);
  EXPECT_EQ(r.programInfo, c.programInfo);
  EXPECT_LE(r.cpi.maps.size(), 1u);
}

TEST(ClipInfoLayout, WrongFormatKeepsThePreviousModel) {
  ClipInfo prev = sampleClip();
  settleClipInfo(prev);
  Bytes b = writeClipInfo(prev);
  ClipInfo model = prev;
  Bytes bad = b;
  bad[5] = '4';  // version "0400"
  core::MemoryLog log;
  EXPECT_TRUE((readClipInfo(bad, "00002.clpi", model, log)).refused());
  EXPECT_EQ(model.version, "0400");
  model.version = prev.version;
  EXPECT_EQ(model, prev);
  EXPECT_NE(log.text().find("Invalid format: 00002.clpi"), std::string::npos);
  EXPECT_TRUE(log.hadError());
}

TEST(ClipInfoLayout, GapsAndDroppedBytesAreTheOnlyDifferences) {
  ClipInfo c = sampleClip();
  settleClipInfo(c);
  Bytes b = writeClipInfo(c);
  // Non-zero reserved bytes and stream format name, and 8 spare bytes between
  // ProgramInfo and CPI with the later addresses moved past them.
  Bytes odd = b;
  odd[30] = 0x55;
  odd[40 + 100] = 0x66;
  odd[40 + 170] = 'X';
  odd.insert(odd.begin() + c.cpiStart, 8, 0xAA);
  for (size_t at : {16, 20, 24}) {
    uint32_t v = be32at(odd, at) + 8;
    odd[at] = uint8_t(v >> 24), odd[at + 1] = uint8_t(v >> 16), odd[at + 2] = uint8_t(v >> 8), odd[at + 3] = uint8_t(v);
  }
  core::MemoryLog log;
  ClipInfo r;
  ASSERT_TRUE((readClipInfo(odd, "odd.clpi", r, log)).complete());
  settleClipInfo(r);
  EXPECT_EQ(writeClipInfo(r), b);  // the gap closes, the dropped bytes become zero
  EXPECT_EQ(r.cpiStart, c.cpiStart);
}

TEST(ClipInfoLayout, ClipMarkBytesSurviveAResave) {
  ClipInfo c = sampleClip();
  c.clipMarkLength = 6;
  c.clipMarkData = {0, 0, 0, 2, 9, 9};
  settleClipInfo(c);
  Bytes b = writeClipInfo(c);
  core::MemoryLog log;
  ClipInfo r;
  ASSERT_TRUE((readClipInfo(b, "m.clpi", r, log)).complete());
  EXPECT_EQ(r.clipMarkData, c.clipMarkData);
  EXPECT_EQ(r.extensionDataStart, c.clipMarkStart + 4 + 6);
  settleClipInfo(r);
  EXPECT_EQ(writeClipInfo(r), b);
}

TEST(ClipInfoText, GridsShowTheTabledFormats) {
  ClipInfo c = sampleClip();
  auto ci = programRows(c);
  ASSERT_EQ(ci.size(), 4u);
  EXPECT_EQ(ci[0], (GridRow{"1", "1011", "AVC", "1080p, 23.976, 16:9"}));
  EXPECT_EQ(ci[1], (GridRow{"2", "1100", "LPCM", "Stereo, 48 kHz, eng"}));
  EXPECT_EQ(ci[2][3], "deu");
  EXPECT_EQ(ci[3][3], "fra");
  c.programInfo.programSequences[0].streams[0].aspectRatio = 2;
  EXPECT_EQ(programRows(c)[0][3], "1080p, 23.976, 4:3");
  c.programInfo.programSequences[0].streams[0].aspectRatio = 7;
  EXPECT_EQ(programRows(c)[0][3], "1080p, 23.976, 16:9");

  auto stc = stcRows(c);
  ASSERT_EQ(stc.size(), 1u);
  EXPECT_EQ(stc[0], (GridRow{"0", "1001", "00000000", "0:00:20.000", "1:00:00.000"}));  // 25 h wraps to 1 h
  EXPECT_EQ(epMapRows(c)[0], (GridRow{"0", "1011", "1", "000A", "00003", "0000000E"}));
  auto fine = epFineRows(c.cpi.maps[0]);
  EXPECT_EQ(fine[0], (GridRow{"00000", "y", "0", "0000", "00000"}));
  EXPECT_EQ(fine[1], (GridRow{"00001", "n", "5", "07FF", "1FFFF"}));
  EXPECT_EQ(epCoarseRows(c.cpi.maps[0])[9], (GridRow{"0009", "00009", "001B", "00002328"}));

  c.clipInfo.atcDeltaEntries.resize(3);
  auto atc = atcDeltaRows(c);
  ASSERT_EQ(atc.size(), 3u);
  EXPECT_EQ(atc[2], (GridRow{"2", "00000000", "00000", "m2ts"}));
  EXPECT_EQ(applicationTypeNames()[5], "Sub TS for a Interactive Graphics menu");
  EXPECT_EQ(samplingFrequencyName(12), "c:48/96, e:192 kHz");
  EXPECT_TRUE(rowLoadsMenu("1400", 10));
  EXPECT_FALSE(rowLoadsMenu("1400", 0));
  EXPECT_FALSE(rowLoadsMenu("1200", 10));
}

TEST(ClipInfoEdit, AtcDeltaSwitchInsertDeleteMoveTheAddresses) {
  ClipInfo c = sampleClip();
  settleClipInfo(c);
  const ClipInfo before = c;
  setATCdelta(c, true);
  EXPECT_EQ(c.sequenceInfoStart, before.sequenceInfoStart + 2);
  EXPECT_EQ(c.extensionDataStart, before.extensionDataStart + 2);
  EXPECT_EQ(insertATCdeltaEntry(c, -1), 0);
  EXPECT_EQ(c.cpiStart, before.cpiStart + 16);
  ClipInfo saved = c;
  settleClipInfo(saved);
  Bytes b = writeClipInfo(saved);
  EXPECT_EQ(saved.sequenceInfoStart, c.sequenceInfoStart);  // edits kept the file consistent
  EXPECT_EQ(be32at(b, 40), 192u);
  EXPECT_EQ(Bytes(b.begin() + 220, b.begin() + 236),
            (Bytes{0, 1, 0, 0, 0, 0, '0', '0', '0', '0', '0', 'm', '2', 't', 's', 0}));

  EXPECT_EQ(setATCdeltaCell(c, 0, AtcDeltaField::AtcDelta, "0000001G"), "00000001");
  EXPECT_EQ(c.clipInfo.atcDeltaEntries[0].atcDelta, 1u);
  EXPECT_EQ(setATCdeltaCell(c, 0, AtcDeltaField::AtcDelta, "12 "), "00000001");  // incomplete mask: not taken
  EXPECT_EQ(setATCdeltaCell(c, 0, AtcDeltaField::FollowingClip, "12345"), "12345");
  EXPECT_EQ(setATCdeltaCell(c, 0, AtcDeltaField::ClipCodec, "abcd"), "m2ts");

  EXPECT_EQ(insertATCdeltaEntry(c, 0), 1);
  EXPECT_EQ(insertATCdeltaEntry(c, 0), 1);  // after the selected entry
  EXPECT_EQ(c.clipInfo.atcDeltaEntries[0].followingClip, "12345");
  EXPECT_TRUE(deleteATCdeltaEntry(c, 0));
  EXPECT_TRUE(deleteATCdeltaEntry(c, 0));
  EXPECT_TRUE(deleteATCdeltaEntry(c, 0));
  EXPECT_FALSE(deleteATCdeltaEntry(c, 0));
  EXPECT_EQ(c.sequenceInfoStart, before.sequenceInfoStart + 2);

  // Switched on without entries: the save switches it off again.
  ClipInfo d = before;
  setATCdelta(d, true);
  settleClipInfo(d);
  Bytes bd = writeClipInfo(d);
  EXPECT_EQ(d.clipInfo.isAtcDelta, 0);
  EXPECT_EQ(be32at(bd, 40), 176u);
  EXPECT_EQ(d.sequenceInfoStart, before.sequenceInfoStart);

  // The 8-bit count is full at 255.
  ClipInfo f = before;
  setATCdelta(f, true);
  for (int i = 0; i < 255; ++i) ASSERT_GE(insertATCdeltaEntry(f, i - 1), 0);
  EXPECT_EQ(insertATCdeltaEntry(f, 3), -1);
  EXPECT_EQ(f.clipInfo.atcDeltaEntries.size(), 255u);
}

TEST(ClipInfoEdit, FontBlockForTextSubtitleClips) {
  ClipInfo c = sampleClip();
  c.clipInfo.fontFiles = {"00001", "00002"};
  settleClipInfo(c);
  const uint32_t seq = c.sequenceInfoStart;
  setApplicationType(c, 6);
  EXPECT_EQ(c.sequenceInfoStart, seq + 14);
  ClipInfo w = c;
  settleClipInfo(w);
  Bytes b = writeClipInfo(w);
  EXPECT_EQ(be32at(b, 40), 190u);
  EXPECT_EQ(w.sequenceInfoStart, c.sequenceInfoStart);
  core::MemoryLog log;
  ClipInfo r;
  ASSERT_TRUE((readClipInfo(b, "t.clpi", r, log)).complete());
  EXPECT_EQ(fontRows(r), (GridRows{{"1", "00001"}, {"2", "00002"}}));
  setApplicationType(r, 1);
  EXPECT_EQ(r.sequenceInfoStart, seq);
}

TEST(ClipInfoPackets, CountCheckAndInPlaceCorrection) {
  ClipInfo c = sampleClip();
  EXPECT_EQ(packetCountMismatch(c, 1920000), std::optional<uint64_t>(10000));
  EXPECT_EQ(packetCountMismatch(c, 1920000 - 1), std::optional<uint64_t>(std::nullopt));  // 9999 whole packets
  EXPECT_EQ(packetCountMismatch(c, 0), std::optional<uint64_t>(std::nullopt));

  test::TempDir d;
  settleClipInfo(c);
  Bytes b = writeClipInfo(c);
  test::writeFile(d / "00001.clpi", b);
  const core::WriteResult corrected = correctPacketCount(d / "00001.clpi", 10000);
  ASSERT_TRUE(corrected) << corrected.error;
  Bytes after = test::readFile(d / "00001.clpi");
  ASSERT_EQ(after.size(), b.size());
  EXPECT_EQ(be32at(after, 56), 0x00002710u);
  after[56] = b[56], after[57] = b[57], after[58] = b[58], after[59] = b[59];
  EXPECT_EQ(after, b);

  const core::WriteResult tooBig = correctPacketCount(d / "00001.clpi", 1ull << 32);
  EXPECT_FALSE(tooBig);
  EXPECT_FALSE(tooBig.error.empty());
  EXPECT_FALSE(correctPacketCount(d / "missing.clpi", 5));
  test::writeFile(d / "short.clpi", Bytes(40, 0));
  EXPECT_FALSE(correctPacketCount(d / "short.clpi", 5));
  EXPECT_EQ(test::readFile(d / "short.clpi").size(), 40u);
}

TEST(ClipInfoSave, SaveWritesThroughTheSaveSequence) {
  test::TempDir d;
  ClipInfo c = sampleClip();
  core::MemoryLog log;
  core::SaveSettings s;
  s.backup = false;
  ASSERT_TRUE(saveClipInfo(c, d.path(), "00001.clpi", s, log));
  EXPECT_EQ(log.plainLines().front(), "Saving 00001.clpi");
  ClipInfo copy = sampleClip();
  EXPECT_EQ(test::readFile(d / "00001.clpi"), writeClipInfo(copy));
}

TEST(ClipInfoSave, StoppedSaveLeavesTheModelAsItWas) {
  test::TempDir d;
  ClipInfo c = sampleClip();
  c.clipInfo.isAtcDelta = 1;  // on without entries: the writer would clear it
  c.sequenceInfoStart = 7;     // stale addresses the writer would recompute
  c.cpiStart = 9;
  const ClipInfo before = c;
  test::writeFile(d / "00001.clpi", Bytes{1, 2, 3});
  test::writeFile(d / "00001.clpi.backup", Bytes{4});
  core::MemoryLog log;
  core::SaveSettings s;
  s.backupMode = core::BackupMode::StopIfExists;
  EXPECT_FALSE(saveClipInfo(c, d.path(), "00001.clpi", s, log));
  EXPECT_TRUE(c == before);
  EXPECT_EQ(test::readFile(d / "00001.clpi"), (Bytes{1, 2, 3}));

  // The same save with the backup allowed goes through; the model settled as an editor
  // settles it after a save holds what was written.
  s.backupMode = core::BackupMode::Overwrite;
  ASSERT_TRUE(saveClipInfo(c, d.path(), "00001.clpi", s, log));
  settleClipInfo(c);
  EXPECT_EQ(c.clipInfo.isAtcDelta, 0);
  EXPECT_NE(c.sequenceInfoStart, 7u);
  EXPECT_EQ(be32at(test::readFile(d / "00001.clpi"), 8), c.sequenceInfoStart);
}

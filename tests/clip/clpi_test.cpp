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
TCLPI sampleClip() {
  TCLPI c;
  c.type_indicator = "HDMV";
  c.version = "0200";
  c.ExtensionData_start = 1;  // placed by the writer
  c.ClipInfo.clip_stream_type = 1;
  c.ClipInfo.application_type = 1;
  c.ClipInfo.TS_recording_rate = 6000000;
  c.ClipInfo.number_of_source_packets = 9999;
  c.ClipInfo.TS_type_info_length = 0x1E;
  c.ClipInfo.validity_flags = 0x80;
  c.ClipInfo.format_identifier = "HDMV";
  c.SequenceInfo.length = 22;
  TATC_sequences a;
  a.STC_sequences.push_back({0x1001, 0, 900000, 45000u * 3600 * 25});
  c.SequenceInfo.ATC_sequences.push_back(a);
  TProgram_sequences p;
  p.program_map_PID = 0x0100;
  TClipStream v;
  v.PID = 0x1011, v.coding_info_length = 21, v.coding_type = 0x1B, v.video_format = 6, v.frame_rate = 1,
  v.aspect_ratio = 3;
  TClipStream au;
  au.PID = 0x1100, au.coding_info_length = 21, au.coding_type = 0x80, au.audio_presentation_type = 3,
  au.sampling_frequency = 1, au.audio_language = "eng";
  TClipStream pg;
  pg.PID = 0x1200, pg.coding_info_length = 21, pg.coding_type = 0x90, pg.PG_language = "deu";
  TClipStream ig;
  ig.PID = 0x1400, ig.coding_info_length = 21, ig.coding_type = 0x91, ig.IG_language = "fra";
  p.streams = {v, au, pg, ig};
  c.ProgramInfo.program_sequences.push_back(p);
  c.ProgramInfo.length = 2 + 8 + 4 * 24;
  c.CPI.length = 1;  // not checked by anything; kept as held
  c.CPI.CPI_type = 1;
  TEP_map_entry e;
  e.stream_PID = 0x1011, e.EP_stream_type = 1, e.num_coarse = 10, e.num_fine = 3, e.map_start_address = 14;
  c.CPI.EP_map.push_back(e);
  TEP_map_fosPID m;
  m.fine_table_start_address = 96;
  for (uint32_t k = 0; k < 10; ++k) m.coarse.push_back({k, uint16_t(k * 3), 1000 * k});
  m.fine = {{1, 0, 0, 0}, {0, 5, 0x7FF, 0x1FFFF}, {0, 1, 2, 3}};
  c.CPI.maps.push_back(m);
  c.ExtensionData.length = 12;
  c.ExtensionData.dataBlockStartAddress = 12;
  return c;
}

}  // namespace

TEST(ClipInfoLayout, WrittenClipReadsBackAndAddressesFollowTheSections) {
  TCLPI c = sampleClip();
  Bytes b = writeCLPI(c);
  EXPECT_EQ(c.ClipInfo.length, 176u);
  EXPECT_EQ(be32at(b, 40), 176u);
  EXPECT_EQ(c.SequenceInfo_start, 220u);  // ClipInfo ends 220 bytes from the start
  EXPECT_EQ(be32at(b, 8), 220u);
  EXPECT_EQ(be32at(b, 56), 9999u);
  core::MemoryLog log;
  TCLPI r;
  ASSERT_TRUE((readCLPI(b, "00001.clpi", r, log)).complete());
  EXPECT_EQ(r, c);
  auto lines = log.plainLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Reading 00001.clpi");
  EXPECT_EQ(lines[1], "4 Program stream(s) found.");
  EXPECT_FALSE(log.errorflag);

  // The EP map: 12 zero bytes between 10 coarse entries and a fine table at 96.
  size_t map = c.CPI_start + 4 + 4 + 12;
  EXPECT_EQ(be32at(b, map), 96u);
  for (size_t i = map + 4 + 80; i < map + 96; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(be32at(b, map + 96), 0x80000000u);
}

TEST(ClipInfoLayout, EpMapEntryWordsPackCountsOverThreeWords) {
  TCLPI c = sampleClip();
  c.CPI.EP_map[0].num_coarse = 49224;
  c.CPI.EP_map[0].num_fine = 214375;
  Bytes b = writeCLPI(c);
  size_t e = c.CPI_start + 8;
  EXPECT_EQ(Bytes(b.begin() + e + 2, b.begin() + e + 8), (Bytes{0x00, 0x07, 0x01, 0x23, 0x45, 0x67}));
  // Read back: the counts decode, the map itself is missing -> a short file that keeps
  // everything before the break.
  core::MemoryLog log;
  TCLPI r;
  EXPECT_TRUE((readCLPI(b, "x.clpi", r, log)).partial());
  EXPECT_TRUE(log.errorflag);
  ASSERT_EQ(r.CPI.EP_map.size(), 1u);
  EXPECT_EQ(r.CPI.EP_map[0].EP_stream_type, 1);
  EXPECT_EQ(r.CPI.EP_map[0].num_coarse, 49224u);
  EXPECT_EQ(r.CPI.EP_map[0].num_fine, 214375u);
  EXPECT_EQ(r.ProgramInfo, c.ProgramInfo);
  EXPECT_LE(r.CPI.maps.size(), 1u);
}

TEST(ClipInfoLayout, WrongFormatKeepsThePreviousModel) {
  TCLPI prev = sampleClip();
  Bytes b = writeCLPI(prev);
  TCLPI model = prev;
  Bytes bad = b;
  bad[5] = '3';  // version "0300"
  core::MemoryLog log;
  EXPECT_TRUE((readCLPI(bad, "00002.clpi", model, log)).refused());
  EXPECT_EQ(model.version, "0300");
  model.version = prev.version;
  EXPECT_EQ(model, prev);
  EXPECT_NE(log.text().find("Invalid format: 00002.clpi"), std::string::npos);
  EXPECT_TRUE(log.errorflag);
}

TEST(ClipInfoLayout, GapsAndDroppedBytesAreTheOnlyDifferences) {
  TCLPI c = sampleClip();
  Bytes b = writeCLPI(c);
  // Non-zero reserved bytes and stream format name, and 8 spare bytes between
  // ProgramInfo and CPI with the later addresses moved past them.
  Bytes odd = b;
  odd[30] = 0x55;
  odd[40 + 100] = 0x66;
  odd[40 + 170] = 'X';
  odd.insert(odd.begin() + c.CPI_start, 8, 0xAA);
  for (size_t at : {16, 20, 24}) {
    uint32_t v = be32at(odd, at) + 8;
    odd[at] = uint8_t(v >> 24), odd[at + 1] = uint8_t(v >> 16), odd[at + 2] = uint8_t(v >> 8), odd[at + 3] = uint8_t(v);
  }
  core::MemoryLog log;
  TCLPI r;
  ASSERT_TRUE((readCLPI(odd, "odd.clpi", r, log)).complete());
  EXPECT_EQ(writeCLPI(r), b);  // the gap closes, the dropped bytes become zero
  EXPECT_EQ(r.CPI_start, c.CPI_start);
}

TEST(ClipInfoLayout, ClipMarkBytesSurviveAResave) {
  TCLPI c = sampleClip();
  c.ClipMark_length = 6;
  c.ClipMark_data = {0, 0, 0, 2, 9, 9};
  Bytes b = writeCLPI(c);
  core::MemoryLog log;
  TCLPI r;
  ASSERT_TRUE((readCLPI(b, "m.clpi", r, log)).complete());
  EXPECT_EQ(r.ClipMark_data, c.ClipMark_data);
  EXPECT_EQ(r.ExtensionData_start, c.ClipMark_start + 4 + 6);
  EXPECT_EQ(writeCLPI(r), b);
}

TEST(ClipInfoText, GridsShowTheTabledFormats) {
  TCLPI c = sampleClip();
  auto ci = programRows(c);
  ASSERT_EQ(ci.size(), 4u);
  EXPECT_EQ(ci[0], (GridRow{"1", "1011", "AVC", "1080p, 23.976, 16:9"}));
  EXPECT_EQ(ci[1], (GridRow{"2", "1100", "LPCM", "Stereo, 48 kHz, eng"}));
  EXPECT_EQ(ci[2][3], "deu");
  EXPECT_EQ(ci[3][3], "fra");
  c.ProgramInfo.program_sequences[0].streams[0].aspect_ratio = 2;
  EXPECT_EQ(programRows(c)[0][3], "1080p, 23.976, 4:3");
  c.ProgramInfo.program_sequences[0].streams[0].aspect_ratio = 7;
  EXPECT_EQ(programRows(c)[0][3], "1080p, 23.976, 16:9");

  auto stc = stcRows(c);
  ASSERT_EQ(stc.size(), 1u);
  EXPECT_EQ(stc[0], (GridRow{"0", "1001", "00000000", "0:00:20.000", "1:00:00.000"}));  // 25 h wraps to 1 h
  EXPECT_EQ(epMapRows(c)[0], (GridRow{"0", "1011", "1", "000A", "00003", "0000000E"}));
  auto fine = epFineRows(c.CPI.maps[0]);
  EXPECT_EQ(fine[0], (GridRow{"00000", "y", "0", "0000", "00000"}));
  EXPECT_EQ(fine[1], (GridRow{"00001", "n", "5", "07FF", "1FFFF"}));
  EXPECT_EQ(epCoarseRows(c.CPI.maps[0])[9], (GridRow{"0009", "00009", "001B", "00002328"}));

  c.ClipInfo.ATC_delta_entries.resize(3);
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
  TCLPI c = sampleClip();
  writeCLPI(c);
  const TCLPI before = c;
  setATCdelta(c, true);
  EXPECT_EQ(c.SequenceInfo_start, before.SequenceInfo_start + 2);
  EXPECT_EQ(c.ExtensionData_start, before.ExtensionData_start + 2);
  EXPECT_EQ(insertATCdeltaEntry(c, -1), 0);
  EXPECT_EQ(c.CPI_start, before.CPI_start + 16);
  TCLPI saved = c;
  Bytes b = writeCLPI(saved);
  EXPECT_EQ(saved.SequenceInfo_start, c.SequenceInfo_start);  // edits kept the file consistent
  EXPECT_EQ(be32at(b, 40), 192u);
  EXPECT_EQ(Bytes(b.begin() + 220, b.begin() + 236),
            (Bytes{0, 1, 0, 0, 0, 0, '0', '0', '0', '0', '0', 'm', '2', 't', 's', 0}));

  EXPECT_EQ(setATCdeltaCell(c, 0, 1, "0000001G"), "00000001");
  EXPECT_EQ(c.ClipInfo.ATC_delta_entries[0].ATC_delta, 1u);
  EXPECT_EQ(setATCdeltaCell(c, 0, 1, "12 "), "00000001");  // incomplete mask: not taken
  EXPECT_EQ(setATCdeltaCell(c, 0, 2, "12345"), "12345");
  EXPECT_EQ(setATCdeltaCell(c, 0, 3, "abcd"), "m2ts");

  EXPECT_EQ(insertATCdeltaEntry(c, 0), 1);
  EXPECT_EQ(insertATCdeltaEntry(c, 0), 1);  // after the selected entry
  EXPECT_EQ(c.ClipInfo.ATC_delta_entries[0].following_clip, "12345");
  EXPECT_TRUE(deleteATCdeltaEntry(c, 0));
  EXPECT_TRUE(deleteATCdeltaEntry(c, 0));
  EXPECT_TRUE(deleteATCdeltaEntry(c, 0));
  EXPECT_FALSE(deleteATCdeltaEntry(c, 0));
  EXPECT_EQ(c.SequenceInfo_start, before.SequenceInfo_start + 2);

  // Switched on without entries: the save switches it off again.
  TCLPI d = before;
  setATCdelta(d, true);
  Bytes bd = writeCLPI(d);
  EXPECT_EQ(d.ClipInfo.is_ATC_delta, 0);
  EXPECT_EQ(be32at(bd, 40), 176u);
  EXPECT_EQ(d.SequenceInfo_start, before.SequenceInfo_start);

  // The 8-bit count is full at 255.
  TCLPI f = before;
  setATCdelta(f, true);
  for (int i = 0; i < 255; ++i) ASSERT_GE(insertATCdeltaEntry(f, i - 1), 0);
  EXPECT_EQ(insertATCdeltaEntry(f, 3), -1);
  EXPECT_EQ(f.ClipInfo.ATC_delta_entries.size(), 255u);
}

TEST(ClipInfoEdit, FontBlockForTextSubtitleClips) {
  TCLPI c = sampleClip();
  c.ClipInfo.font_files = {"00001", "00002"};
  writeCLPI(c);
  const uint32_t seq = c.SequenceInfo_start;
  setApplicationType(c, 6);
  EXPECT_EQ(c.SequenceInfo_start, seq + 14);
  TCLPI w = c;
  Bytes b = writeCLPI(w);
  EXPECT_EQ(be32at(b, 40), 190u);
  EXPECT_EQ(w.SequenceInfo_start, c.SequenceInfo_start);
  core::MemoryLog log;
  TCLPI r;
  ASSERT_TRUE((readCLPI(b, "t.clpi", r, log)).complete());
  EXPECT_EQ(fontRows(r), (GridRows{{"1", "00001"}, {"2", "00002"}}));
  setApplicationType(r, 1);
  EXPECT_EQ(r.SequenceInfo_start, seq);
}

TEST(ClipInfoPackets, CountCheckAndInPlaceCorrection) {
  TCLPI c = sampleClip();
  EXPECT_EQ(packetCountMismatch(c, 1920000), std::optional<uint64_t>(10000));
  EXPECT_EQ(packetCountMismatch(c, 1920000 - 1), std::optional<uint64_t>(std::nullopt));  // 9999 whole packets
  EXPECT_EQ(packetCountMismatch(c, 0), std::optional<uint64_t>(std::nullopt));
  EXPECT_EQ(packetCountQuestion(10000),
            "The m2ts file contains 10,000 packets.\nDo you want to correct the packet value of ClipInfo?");

  test::TempDir d;
  Bytes b = writeCLPI(c);
  test::writeFile(d / "00001.clpi", b);
  std::string err;
  ASSERT_TRUE(correctPacketCount(d / "00001.clpi", 10000, err)) << err;
  Bytes after = test::readFile(d / "00001.clpi");
  ASSERT_EQ(after.size(), b.size());
  EXPECT_EQ(be32at(after, 56), 0x00002710u);
  after[56] = b[56], after[57] = b[57], after[58] = b[58], after[59] = b[59];
  EXPECT_EQ(after, b);

  EXPECT_FALSE(correctPacketCount(d / "00001.clpi", 1ull << 32, err));
  EXPECT_FALSE(err.empty());
  EXPECT_FALSE(correctPacketCount(d / "missing.clpi", 5, err));
  test::writeFile(d / "short.clpi", Bytes(40, 0));
  EXPECT_FALSE(correctPacketCount(d / "short.clpi", 5, err));
  EXPECT_EQ(test::readFile(d / "short.clpi").size(), 40u);
}

TEST(ClipInfoSave, SaveWritesThroughTheSaveSequence) {
  test::TempDir d;
  TCLPI c = sampleClip();
  core::MemoryLog log;
  core::SaveSettings s;
  s.backup = false;
  ASSERT_TRUE(saveCLPI(c, d.path(), "00001.clpi", s, log));
  EXPECT_EQ(log.plainLines().front(), "Saving 00001.clpi");
  TCLPI copy = sampleClip();
  EXPECT_EQ(test::readFile(d / "00001.clpi"), writeCLPI(copy));
}

TEST(ClipInfoSave, StoppedSaveLeavesTheModelAsItWas) {
  test::TempDir d;
  TCLPI c = sampleClip();
  c.ClipInfo.is_ATC_delta = 1;  // on without entries: the writer would clear it
  c.SequenceInfo_start = 7;     // stale addresses the writer would recompute
  c.CPI_start = 9;
  const TCLPI before = c;
  test::writeFile(d / "00001.clpi", Bytes{1, 2, 3});
  test::writeFile(d / "00001.clpi.backup", Bytes{4});
  core::MemoryLog log;
  core::SaveSettings s;
  s.backupMode = core::BackupMode::StopIfExists;
  EXPECT_FALSE(saveCLPI(c, d.path(), "00001.clpi", s, log));
  EXPECT_TRUE(c == before);
  EXPECT_EQ(test::readFile(d / "00001.clpi"), (Bytes{1, 2, 3}));

  // The same save with the backup allowed settles the model as written.
  s.backupMode = core::BackupMode::Overwrite;
  ASSERT_TRUE(saveCLPI(c, d.path(), "00001.clpi", s, log));
  EXPECT_EQ(c.ClipInfo.is_ATC_delta, 0);
  EXPECT_NE(c.SequenceInfo_start, 7u);
  EXPECT_EQ(be32at(test::readFile(d / "00001.clpi"), 8), c.SequenceInfo_start);
}

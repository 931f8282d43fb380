// The playlist reader and writer on files built byte by byte.
#include <gtest/gtest.h>

#include "core/binary.h"
#include "playlist/grid_text.h"
#include "playlist/mpls_reader.h"
#include "playlist/mpls_writer.h"
#include "support/test_support.h"
#include "playlist/synth.h"

using namespace morvex;
using namespace morvex::playlist;

namespace {

// Raw playlist bytes: header, PlaylistAppInfo, a PlayList whose PlayItem/SubPath bytes
// the test supplies, and a mark section.
struct RawPlaylist {
  std::string version = "0200";
  uint16_t appFlags = 0;
  uint16_t numPlayItems = 1;
  uint16_t numSubPaths = 0;
  core::Bytes items;  // PlayItems then SubPaths
  core::Bytes marks;  // 14 bytes each
  uint16_t numMarks = 0;

  core::Bytes bytes() const {
    core::ByteWriter w;
    w.addString("MPLS", 4);
    w.addString(version, 4);
    const uint32_t plStart = 58;
    const uint32_t plLen = uint32_t(6 + items.size());
    const uint32_t markStart = plStart + 4 + plLen;
    w.addU32(plStart);
    w.addU32(markStart);
    w.addU32(0);
    w.addZeros(20);
    w.addU32(14);
    w.addU8(0);
    w.addU8(1);
    w.addU16(0);
    w.addU32(0);
    w.addU32(0);
    w.addU16(appFlags);
    w.addU32(plLen);
    w.addU16(0);
    w.addU16(numPlayItems);
    w.addU16(numSubPaths);
    w.addBytes(items);
    w.addU32(uint32_t(2 + marks.size()));
    w.addU16(numMarks);
    w.addBytes(marks);
    return w.take();
  }
};

// A PlayItem head (34 bytes) with the given flag word at offset 11.
void playItemHead(core::ByteWriter& w, uint16_t flags, const char* clip = "00007") {
  w.addU16(0);  // length is not used by the reader
  w.addString(clip, 5);
  w.addString("M2TS", 4);
  w.addU16(flags);
  w.addU8(3);
  w.addU32(45000);
  w.addU32(90000);
  w.addU32(0x11223344);
  w.addU32(0x40000000);
  w.addU8(0x80);
  w.addU8(0);
  w.addU16(0);
}

void stnHead(core::ByteWriter& w, std::initializer_list<uint8_t> counts) {
  w.addU16(0);
  w.addU16(0);
  for (uint8_t c : counts) w.addU8(c);
  w.addZeros(5);
}

void pgStream(core::ByteWriter& w, uint16_t pid, const char* lang) {
  w.addU8(9);
  w.addU8(1);
  w.addU16(pid);
  w.addZeros(6);
  w.addU8(5);
  w.addU8(0x90);
  w.addString(lang, 3);
  w.addU8(0);
}

void audioStream(core::ByteWriter& w, uint16_t pid) {
  w.addU8(9);
  w.addU8(1);
  w.addU16(pid);
  w.addZeros(6);
  w.addU8(5);
  w.addU8(0xA1);
  w.addU8(0x31);
  w.addString("eng", 3);
}

core::ReadResult read(const core::Bytes& b, Playlist& m, core::MemoryLog& log, bool silent = false) {
  return readPlaylist(b, "00001.mpls", m, log, ReadOptions{silent});
}

}  // namespace

TEST(PlaylistReader, VersionsAndTypeIndicator) {
  RawPlaylist raw;
  core::ByteWriter w;
  playItemHead(w, 0x0001);
  stnHead(w, {0, 0, 0, 0, 0, 0, 0});
  raw.items = w.take();
  core::MemoryLog log;
  Playlist m;
  EXPECT_TRUE((read(raw.bytes(), m, log)).complete());
  ASSERT_EQ(m.playList.playItems.size(), 1u);
  EXPECT_EQ(m.playList.playItems[0].clipName, "00007");
  raw.version = "0100";
  EXPECT_TRUE((read(raw.bytes(), m, log)).complete());

  // A rejected file leaves the model as it was except type indicator and version.
  raw.version = "0400";
  core::MemoryLog bad;
  Playlist before = m;
  EXPECT_TRUE((read(raw.bytes(), m, bad)).refused());
  EXPECT_EQ(bad.plainLines().at(0), "ERROR: Invalid format: 00001.mpls");
  EXPECT_TRUE(bad.hadError());
  EXPECT_EQ(m.version, "0400");
  m.version = before.version;
  EXPECT_EQ(m, before);

  core::Bytes clpi = raw.bytes();
  clpi[0] = 'H';
  clpi[1] = 'D';
  clpi[2] = 'M';
  clpi[3] = 'V';
  EXPECT_TRUE((read(clpi, m, bad)).refused());
  EXPECT_EQ(m.typeIndicator, "HDMV");
}

TEST(PlaylistReader, MultiAngleStnListsAndReferencePadding) {
  RawPlaylist raw;
  core::ByteWriter w;
  playItemHead(w, 0x0011);  // multi-angle, connection condition 1
  w.addU8(3);             // three angles: two follow
  w.addU8(0x03);
  for (const char* c : {"00011", "00012"}) {
    w.addString(c, 5);
    w.addString("M2TS", 4);
    w.addU8(7);
  }
  // 2 PG + 1 PiP PG, and 2 secondary audio streams with 3 and 2 references.
  stnHead(w, {0, 0, 2, 0, 2, 0, 1});
  pgStream(w, 0x1200, "eng");
  pgStream(w, 0x1201, "fre");
  pgStream(w, 0x1A00, "ger");
  audioStream(w, 0x1A10);
  w.addU8(3);
  w.addU8(0);
  w.addU8(0);
  w.addU8(1);
  w.addU8(2);
  w.addU8(0);  // padding after an odd count
  audioStream(w, 0x1A11);
  w.addU8(2);
  w.addU8(0);
  w.addU8(5);
  w.addU8(6);
  raw.items = w.take();
  // one mark right after: it is read correctly only if every byte above was consumed
  core::ByteWriter mk;
  mk.addU8(0);
  mk.addU8(1);
  mk.addU16(0);
  mk.addU32(45000);
  mk.addU16(0xFFFF);
  mk.addU32(0);
  raw.marks = mk.take();
  raw.numMarks = 1;

  core::MemoryLog log;
  Playlist m;
  ASSERT_TRUE((read(raw.bytes(), m, log)).complete()) << log.text();
  const auto& pi = m.playList.playItems.at(0);
  EXPECT_EQ(pi.isMultiAngle, 1);
  EXPECT_EQ(pi.connectionCondition, 1);
  EXPECT_EQ(pi.randomAccessFlag, 1);
  ASSERT_EQ(pi.multiClip.angles.size(), 3u);
  EXPECT_EQ(pi.multiClip.angles[0], (ClipRef{"00007", "M2TS", 3}));
  EXPECT_EQ(pi.multiClip.angles[2].clipName, "00012");
  auto angles = angleRows(pi);
  ASSERT_EQ(angles.size(), 3u);
  EXPECT_EQ(angles[0], (Row{"1", "00007", "M2TS", "3"}));
  EXPECT_EQ(playItemRow(pi, 0).back(), "3");

  EXPECT_EQ(pi.stn.pg.size(), 3u);
  EXPECT_EQ(stnCountRow(pi.stn), (Row{"0", "0", "2", "0", "0", "2", "1"}));
  ASSERT_EQ(streamRows(pi.stn, StreamKind::PIPPG).size(), 1u);
  EXPECT_EQ(streamRows(pi.stn, StreamKind::PIPPG)[0][6], "ger");
  ASSERT_EQ(pi.stn.secAudio.size(), 2u);
  EXPECT_EQ(pi.stn.secAudio[0].primaryAudioRefs, (std::vector<uint8_t>{0, 1, 2}));
  EXPECT_EQ(pi.stn.secAudio[1].primaryAudioRefs, (std::vector<uint8_t>{5, 6}));
  EXPECT_EQ(streamRows(pi.stn, StreamKind::SecAudio)[0][6], "DD+, Stereo, 48 kHz, eng");

  ASSERT_EQ(m.playListMark.marks.size(), 1u);
  EXPECT_EQ(m.playListMark.marks[0].timeStamp, 45000u);
  EXPECT_EQ(markLine(m.playListMark.marks[0], 0),
            (Row{"000", "entry-mark", "000", "00:00:01.000", "FFFF", "0"}));
  EXPECT_EQ(log.plainLines().back(), "");
  EXPECT_EQ(log.plainLines().at(log.plainLines().size() - 2),
            "1 PlayItem(s), 0 SubPath(s) and 1 PlayListMark(s) found.");
}

TEST(PlaylistReader, SubPathFlagsAndAppInfoFlags) {
  RawPlaylist raw;
  raw.appFlags = 0xA000;
  raw.numSubPaths = 2;
  core::ByteWriter w;
  playItemHead(w, 0x0000);
  stnHead(w, {0, 0, 0, 0, 0, 0, 0});
  for (uint16_t repeat : {uint16_t(1), uint16_t(0)}) {
    w.addU32(0);
    w.addU8(0);
    w.addU8(2);
    w.addU16(repeat);
    w.addU8(0);
    w.addU8(1);
    w.addU16(0);
    w.addString("00020", 5);
    w.addString("M2TS", 4);
    w.addU32(repeat ? 0x00000003 : 0x0000000C);
    w.addU8(0);
    w.addU32(1);
    w.addU32(2);
    w.addU16(0);
    w.addU32(3);
    if (repeat) {
      w.addU8(1);  // one multi-clip entry: only the own clip
      w.addU8(0);
    }
  }
  raw.items = w.take();
  core::MemoryLog log;
  Playlist m;
  ASSERT_TRUE((read(raw.bytes(), m, log)).complete()) << log.text();
  EXPECT_EQ(m.appInfo.randomAccessFlag, 1);
  EXPECT_EQ(m.appInfo.audioMixAppFlag, 0);
  EXPECT_EQ(m.appInfo.losslessMayBypassMixerFlag, 1);
  ASSERT_EQ(m.playList.subPaths.size(), 2u);
  EXPECT_EQ(subPathRow(m.playList.subPaths[0], 0), (Row{"000", "p. Audio", "Yes", "1"}));
  EXPECT_EQ(subPathRow(m.playList.subPaths[1], 1)[2], "No");
  const auto& s0 = m.playList.subPaths[0].subPlayItems.at(0);
  EXPECT_EQ(s0.connectionCondition, 1);
  EXPECT_EQ(s0.isMultiClipEntries, 1);
  EXPECT_EQ(s0.clips.size(), 1u);
  const auto& s1 = m.playList.subPaths[1].subPlayItems.at(0);
  EXPECT_EQ(s1.connectionCondition, 6);
  EXPECT_EQ(s1.isMultiClipEntries, 0);
  EXPECT_EQ(subPlayItemRow(s1, 0),
            (Row{"000", "00020", "M2TS", "6", "No", "0", "00:00:00.000", "00:00:00.000", "0", "00:00:00.000", "0"}));
  // The writer puts the flags back as read.
  core::Bytes out = writePlaylist(m);
  EXPECT_EQ(core::be16(&out[40 + 16]), 0xA000);
}

TEST(PlaylistReader, SilentModeAndShortFiles) {
  Playlist m = synth::twoItems();
  core::Bytes b = writePlaylist(m);

  core::MemoryLog silent;
  Playlist s;
  ASSERT_TRUE((read(b, s, silent, true)).complete());
  EXPECT_TRUE(silent.lines.empty());            // no summary
  EXPECT_NE(silent.statusText[1].find("/"), std::string::npos);  // the last position stays
  EXPECT_EQ(s, m);

  core::MemoryLog loud;
  ASSERT_TRUE((read(b, s, loud)).complete());
  EXPECT_EQ(loud.statusText[0], "Ready.");
  EXPECT_EQ(loud.statusText[1], "");

  // Cut the file inside the second PlayItem: the first PlayItem is kept, the error
  // names the file, and no cut ever crashes or reads past the image.
  const size_t firstEnd = m.playListStart + 10 + m.playList.playItems[0].length + 2;
  core::Bytes cut(b.begin(), b.begin() + firstEnd + 20);
  core::MemoryLog err;
  ASSERT_TRUE((read(cut, s, err)).partial());
  ASSERT_GE(s.playList.playItems.size(), 1u);
  EXPECT_EQ(s.playList.playItems[0], m.playList.playItems[0]);
  EXPECT_TRUE(err.hadError());
  EXPECT_NE(err.text().find("00001.mpls ends early"), std::string::npos);
  for (size_t n = 0; n < b.size(); ++n) {
    core::Bytes part(b.begin(), b.begin() + n);
    core::MemoryLog l;
    Playlist x;
    auto st = read(part, x, l);
    EXPECT_FALSE(st.complete()) << n;
    EXPECT_LE(x.playList.playItems.size(), 2u);
  }
}

TEST(PlaylistReader, ReadsFromFileAndReportsMissingOnes) {
  test::TempDir d;
  Playlist m = synth::twoItems(true);
  test::writeFile(d / "00001.mpls", writePlaylist(m));
  core::MemoryLog log;
  Playlist r;
  ASSERT_TRUE(readPlaylistFile(d / "00001.mpls", r, log).complete());
  EXPECT_EQ(r, m);
  EXPECT_EQ(log.plainLines().at(0), "Reading " + core::displayPath(d / "00001.mpls"));
  bool blueName = false;
  for (const auto& run : log.lines.at(0).runs)
    blueName |= run.colour == core::LogColour::Blue && run.pos == 9;
  EXPECT_TRUE(blueName);
  Playlist before = r;
  auto open = readPlaylistFile(d / "00009.mpls", r, log);
  ASSERT_TRUE(open.refused());
  EXPECT_EQ(open.problems[0].kind, core::ReadIssue::CannotOpen);
  EXPECT_EQ(r, before);
  EXPECT_TRUE(log.hadError());
}

TEST(PlaylistWriter, FieldLayout) {
  core::ByteWriter w;
  StreamEntry e{9, 2, 0x1011, 0x1200, 1, 0};
  writeEntry(w, e, 0);
  EXPECT_EQ(w.bytes(), (core::Bytes{0x09, 0x02, 0x01, 0x00, 0x12, 0x00, 0x00, 0x00, 0x00, 0x00}));
  core::ByteWriter a;
  StreamAttributes at;
  at.codingType = 0x92;
  at.charCode = 0x01;
  at.language = "kor";
  writeAttributes(a, at, 0);
  EXPECT_EQ(a.bytes(), (core::Bytes{0x05, 0x92, 0x01, 'k', 'o', 'r'}));
  at.codingType = 0x42;  // unknown coding: four zero bytes
  writeAttributes(a, at, 0);
  EXPECT_EQ(a.bytes(), (core::Bytes{0x05, 0x42, 0, 0, 0, 0}));

  Playlist m = synth::twoItems();
  m.playList.playItems[0].randomAccessFlag = 1;
  m.appInfo.randomAccessFlag = 1;
  m.appInfo.losslessMayBypassMixerFlag = 1;
  core::Bytes out = writePlaylist(m);
  EXPECT_EQ(out[m.playListStart + 10 + 30], 0x80);
  EXPECT_EQ(core::be16(&out[40 + 16]), 0xA000);
  EXPECT_TRUE(layoutMismatches(m).empty());
  EXPECT_EQ(out.size(), mplsLayout(m).fileSize);

  // An ExtensionData address of 0 writes no block, whatever the model holds.
  Playlist x = synth::twoItems(true);
  ASSERT_NE(x.extDataStart, 0u);
  size_t withExt = writePlaylist(x).size();
  x.extDataStart = 0;
  EXPECT_EQ(writePlaylist(x).size(), withExt - 28);
}

TEST(PlaylistWriter, SectionsWrittenBackToBackGetTheirRealAddresses) {
  Playlist m = synth::twoItems(true);
  core::Bytes tight = writePlaylist(m);
  // Open a gap of 6 bytes between the PlayList and the marks, as some authoring tools do.
  core::Bytes gap = tight;
  gap.insert(gap.begin() + m.markStart, 6, 0xEE);
  core::ByteWriter fix;
  fix.addBytes(gap);
  fix.putU32(m.markStart + 6, 12);
  fix.putU32(m.extDataStart + 6, 16);
  Playlist g;
  core::MemoryLog log;
  ASSERT_TRUE((readPlaylist(fix.bytes(), "gap", g, log)).complete());
  EXPECT_FALSE(layoutMismatches(g).empty());
  core::Bytes out = writePlaylist(g);
  EXPECT_EQ(out, tight);  // the gap is gone and the header says where the marks are
  Playlist back;
  ASSERT_TRUE((readPlaylist(out, "back", back, log)).complete());
  EXPECT_EQ(back, m);
}

TEST(PlaylistTimes, TicksAndTimeText) {
  EXPECT_EQ(ticks2time(45000), "00:00:01.000");
  EXPECT_EQ(ticks2time(2700000), "00:01:00.000");
  EXPECT_EQ(ticks2time(162000000), "01:00:00.000");
  EXPECT_EQ(ticks2time(4294967295u), "26:30:43.717");
  EXPECT_EQ(ticks2time(44), "00:00:00.000");
  EXPECT_EQ(time2ticks("00:00:10.000"), 450000u);
  EXPECT_EQ(time2ticks("26:30:43.717"), 4294967265u);
  EXPECT_EQ(time2ticks(ticks2time(123456789)), 123456789u / 45 * 45);
  EXPECT_EQ(time2ticks(""), 0u);
  PlayItem p = synth::playItem("00001", 1000, 900);  // OUT before IN
  EXPECT_EQ(playItemRow(p, 0)[5], "26:30:43.715");
}

// Cross references: commands that play a playlist, playlists that play each clip,
// the "Referenced by" rows, and copying a PlayItem's stream attributes into its clip.
#include <gtest/gtest.h>

#include "disc/apply.h"
#include "disc/finder.h"
#include "core/log.h"
#include "playlist/mpls_writer.h"
#include "support/test_support.h"

using namespace morvex;
using namespace morvex::clip;
using namespace morvex::disc;
namespace fs = std::filesystem;

namespace {

playlist::PlayItem item(const std::string& clip) {
  playlist::PlayItem p;
  p.clipName = clip;
  p.codecId = "M2TS";
  p.outTime = 45000;
  return p;
}

// A playlist of PlayItems and SubPaths (each a list of SubPlayItem clips).
void makePlaylistFile(const fs::path& file, const std::vector<std::string>& items,
                   const std::vector<std::vector<std::string>>& subPaths = {}) {
  playlist::Playlist m;
  m.typeIndicator = "MPLS";
  m.version = "0200";
  m.markStart = 1;
  m.appInfo.playbackType = 1;
  for (const auto& c : items) m.playList.playItems.push_back(item(c));
  for (const auto& sp : subPaths) {
    playlist::SubPath s;
    s.type = 3;
    for (const auto& c : sp) {
      playlist::SubPlayItem si;
      si.clipName = c;
      si.codecId = "M2TS";
      s.subPlayItems.push_back(si);
    }
    m.playList.subPaths.push_back(s);
  }
  playlist::updateLengths(m);
  test::writeFile(file, playlist::writePlaylist(m));
}

struct Disc {
  test::TempDir dir;
  disc::DiscLoad load;
  Disc() {
    load.folder = dir.path();
    fs::create_directories(dir / "PLAYLIST");
    fs::create_directories(dir / "STREAM");
  }
  void stream(const std::string& clip) { test::writeFile(dir / "STREAM" / (clip + ".m2ts"), {0}); }
};

}  // namespace

TEST(FinderCommands, ImmediatePlayCommandsOnly) {
  nav::MovieObjectFile m;
  m.movieObjects.objects.resize(2);
  auto& c0 = m.movieObjects.objects[0].commands;
  c0.resize(5);
  c0[3] = {0x22800000, 12, 0};  // Play PL 12
  c0[4] = {0x22000000, 12, 0};  // Play PL from a register: never found
  auto& c1 = m.movieObjects.objects[1].commands;
  c1 = {{0x42C20000, 12, 3}, {0x42810000, 12, 1}, {0x42C10000, 13, 0}, {0x42820000, 12, 4}, {0x42C10001, 12, 0}};
  EXPECT_EQ(findPlaylistCommands(m, playlistNumber("00012")),
            (std::vector<std::string>{"Object 0000, Command line 0003", "Object 0001, Command line 0000",
                                      "Object 0001, Command line 0001", "Object 0001, Command line 0003"}));
  EXPECT_TRUE(findPlaylistCommands(m, playlistNumber("abcde")).empty());
  core::MemoryLog log;
  logPlaylistCommands(log, "00012", {"Object 0000, Command line 0003"});
  EXPECT_EQ(log.plainLines(), (std::vector<std::string>{"", "PlayList 00012 found in:", "Object 0000, Command line 0003"}));
}

TEST(FinderClips, ReferencesAndMissingStreams) {
  Disc d;
  makePlaylistFile(d.dir / "PLAYLIST" / "00001.mpls", {"00005", "00007", "00009", "00007", "00005"});
  makePlaylistFile(d.dir / "PLAYLIST" / "00002.mpls", {"00007"}, {{"00003"}, {"00005", "00008"}});
  test::writeFile(d.dir / "PLAYLIST" / "00003.mpls", {'X', 'P', 'L', 'S', '0', '2', '0', '0'});  // rejected
  makePlaylistFile(d.dir / "PLAYLIST" / "00800.mpls", {"00001", "00001", "00005"});
  d.load.playlists = {"00001", "00002", "00003", "00800"};
  d.load.clipinfos = {"00001", "00005", "00007"};
  d.stream("00001");
  d.stream("00007");
  d.stream("00009");
  // a stale reference from an earlier search is dropped
  d.load.ciRefs = {{{1, 'p', 1}}};

  core::MemoryLog log;
  core::Progress prog;
  ClipSearchResult r = findClipReferences(d.load, log, &prog);
  EXPECT_EQ(r.playlistsRead, 3u);
  EXPECT_EQ(r.playlistsRejected, 1u);
  EXPECT_EQ(prog.position(), 4u);
  ASSERT_EQ(d.load.ciRefs.size(), 3u);
  EXPECT_EQ(d.load.ciRefs[0], (disc::ClipInfoRefs{{800, 'p', 0}, {800, 'p', 1}}));
  EXPECT_EQ(ciRefRows(d.load.ciRefs[1]),
            (GridRows{{"1", "00001", "p", "00000"}, {"2", "00001", "p", "00004"}, {"3", "00002", "s", "00000"},
                      {"4", "00800", "p", "00002"}}));
  EXPECT_EQ(d.load.ciRefs[2].size(), 3u);

  std::string text = log.text();
  for (const char* line : {"Missing stream file referenced by 00001.mpls, PlayItem 0",
                           "Missing stream file referenced by 00001.mpls, PlayItem 4",
                           "Missing stream file referenced by 00002.mpls, SubPath 0, SubPlayItem 0",
                           "Missing stream file referenced by 00002.mpls, SubPath 1, SubPlayItem 1",
                           "Missing stream file referenced by 00800.mpls, PlayItem 2"})
    EXPECT_NE(text.find(line), std::string::npos) << line;
  EXPECT_EQ(r.missingStreams, 6u);  // 00005 x4 (two PlayItems, SubPlayItem, 00800), 00003, 00008
  EXPECT_EQ(text.find("00001.mpls, PlayItem 1"), std::string::npos);  // 00007 has its stream
  EXPECT_TRUE(log.hadError());
}

TEST(FinderClips, JumpFromAReferenceRow) {
  RefJump a = refJump({"1", "00001", "p", "00004"});
  EXPECT_EQ(a.playlist, "00001");
  EXPECT_EQ(a.playItemRow, 5);
  EXPECT_EQ(refJump({"1", "00001", "p", "00000"}).playItemRow, -1);
  EXPECT_EQ(refJump({"1", "00002", "s", "00003"}).playItemRow, -1);
}

TEST(ApplyToClip, MatchesStreamsByPositionAndPid) {
  ClipInfo c;
  c.programInfo.programSequences.resize(1);
  auto& s = c.programInfo.programSequences[0].streams;
  s.resize(5);
  const uint16_t pids[] = {0x1011, 0x1102, 0x1200, 0x1400, 0x1401};
  for (size_t i = 0; i < 5; ++i) s[i].pid = pids[i];
  s[0].codingType = 0x02, s[0].aspectRatio = 2;
  s[1].codingType = 0x80, s[1].audioLanguage = "deu";
  s[2].codingType = 0x90;

  playlist::PlayItem pi = item("00001");
  playlist::Stream v;
  v.entry.mainPID = 0x1011, v.attr.codingType = 0x1B, v.attr.videoFormat = 6, v.attr.frameRate = 1;
  playlist::Stream au;
  au.entry.mainPID = 0x1101, au.attr.codingType = 0x81, au.attr.language = "eng";  // clip stream has 0x1102
  playlist::Stream pg;
  pg.entry.mainPID = 0x1200, pg.attr.codingType = 0x90, pg.attr.language = "fra";
  playlist::Stream ig1;
  ig1.entry.type = 1, ig1.entry.mainPID = 0x1400, ig1.attr.language = "spa";
  playlist::Stream ig2;
  ig2.entry.type = 2, ig2.entry.mainPID = 0x1401, ig2.attr.language = "ita";  // from a SubPath clip
  pi.stn.video = {v};
  pi.stn.audio = {au};
  pi.stn.pg = {pg};
  pi.stn.numPG = 1;
  pi.stn.ig = {ig1, ig2};

  EXPECT_EQ(applyPlayItem(pi, c), (std::vector<size_t>{0, 2, 3}));
  EXPECT_EQ(programRows(c)[0], (GridRow{"1", "1011", "AVC", "1080p, 23.976, 4:3"}));  // aspect ratio kept
  EXPECT_EQ(s[1].codingType, 0x80);
  EXPECT_EQ(s[1].audioLanguage, "deu");
  EXPECT_EQ(s[2].pgLanguage, "fra");
  EXPECT_EQ(s[3].igLanguage, "spa");
  EXPECT_EQ(s[4].igLanguage, "");
}

TEST(ApplyToClip, ReadsTheClipFromTheDiscFirst) {
  Disc d;
  fs::create_directories(d.dir / "CLIPINF");
  ClipInfo c;
  c.typeIndicator = "HDMV";
  c.version = "0200";
  c.programInfo.programSequences.resize(1);
  c.programInfo.programSequences[0].streams.resize(1);
  c.programInfo.programSequences[0].streams[0].pid = 0x1011;
  c.programInfo.programSequences[0].streams[0].codingType = 0x02;
  test::writeFile(d.dir / "CLIPINF" / "00004.clpi", writeClipInfo(c));
  d.load.clipinfos = {"00004"};
  playlist::PlayItem pi = item("00004");
  playlist::Stream v;
  v.entry.mainPID = 0x1011, v.attr.codingType = 0xEA;
  pi.stn.video = {v};

  ClipInfo model;  // whatever was loaded before is replaced
  model.clipInfo.applicationType = 5;
  core::MemoryLog log;
  std::vector<size_t> changed;
  ASSERT_TRUE(applyToClpi(d.load, pi, model, log, &changed));
  EXPECT_EQ(changed, (std::vector<size_t>{0}));
  EXPECT_EQ(model.clipInfo.applicationType, 1);
  EXPECT_EQ(model.programInfo.programSequences[0].streams[0].codingType, 0xEA);

  pi.clipName = "00099";  // not among the clip information files
  ClipInfo before = model;
  EXPECT_FALSE(applyToClpi(d.load, pi, model, log));
  EXPECT_EQ(model, before);
  EXPECT_TRUE(log.hadError());
}

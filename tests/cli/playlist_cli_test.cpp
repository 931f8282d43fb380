// morvex-cli on playlists: dump, resave and chapters, run as the real executable.
#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>

#include <nlohmann/json.hpp>

#include "playlist/mpls_reader.h"
#include "playlist/mpls_writer.h"
#include "playlist/synth.h"
#include "support/test_support.h"
#include "cli/run_cli.h"

namespace fs = std::filesystem;
using namespace morvex;
using morvex::test::TempDir;

namespace {

using Result = morvex::test::CliResult;

Result cli(const std::string& args, bool withStderr = true) {
  return morvex::test::runCli(args, withStderr ? morvex::test::CliStderr::Merge : morvex::test::CliStderr::Drop);
}

std::string q(const fs::path& p) { return "'" + p.string() + "'"; }

fs::path writeSynth(const TempDir& d, const playlist::Playlist& m, const std::string& name = "00001.mpls") {
  fs::path p = d / name;
  test::writeFile(p, playlist::writePlaylist(m));
  return p;
}

}  // namespace

TEST(PlaylistCli, DumpTextAndJson) {
  TempDir d;
  fs::path p = writeSynth(d, playlist::synth::twoItems(true));
  Result t = cli("dump " + q(p));
  ASSERT_EQ(t.status, 0) << t.out;
  EXPECT_NE(t.out.find("000 | 00001 | M2TS | 00:00:00.000 | 00:01:40.000 | 00:01:40.000 | 00000000 | 00000000 | 0"),
            std::string::npos)
      << t.out;
  EXPECT_NE(t.out.find("PiP PG/text subtitle 001 | PlayItem | 1A00 |  |  |  | jpn"), std::string::npos);
  EXPECT_NE(t.out.find("002 | link point | 001 | 00:00:44.444 | 1011 | 45"), std::string::npos);
  EXPECT_NE(t.out.find("ExtensionData: 1 entry, 28 bytes"), std::string::npos);
  EXPECT_EQ(t.out.find("warning"), std::string::npos);

  Result j = cli("dump --json " + q(p), false);
  ASSERT_EQ(j.status, 0);
  auto doc = nlohmann::json::parse(j.out);
  EXPECT_EQ(doc["typeIndicator"], "MPLS");
  EXPECT_EQ(doc["playItems"].size(), 2u);
  EXPECT_EQ(doc["playItems"][1]["stn"]["pg"].size(), 2u);
  EXPECT_EQ(doc["playItems"][1]["stn"]["pipPG"][0]["entry"]["mainPID"], 0x1A00);
  EXPECT_EQ(doc["playItems"][1]["stn"]["secondaryAudio"][0]["primaryAudioRefs"].size(), 3u);
  EXPECT_EQ(doc["playListMark"]["marks"][2]["time"], 2000000);
}

TEST(PlaylistCli, ResaveFixturesAndRefuseBrokenFiles) {
  MORVEX_REQUIRE_FIXTURES();
  TempDir d;
  auto files = test::fixtureFiles(".mpls");
  ASSERT_FALSE(files.empty());
  for (size_t i = 0; i < files.size(); i += 25) {
    fs::path out = d / ("out" + std::to_string(i) + ".mpls");
    Result r = cli("resave " + q(files[i]) + " -o " + q(out));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(test::readFile(out), test::readFile(files[i])) << files[i];
  }
  core::Bytes b = test::readFile(files[0]);
  b.resize(b.size() - 3);
  test::writeFile(d / "cut.mpls", b);
  Result r = cli("resave " + q(d / "cut.mpls") + " -o " + q(d / "never.mpls"));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("ends early"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(d / "never.mpls"));
}

TEST(PlaylistCli, ChaptersExportAndImport) {
  TempDir d;
  fs::path p = writeSynth(d, playlist::synth::twoItems());
  Result e = cli("chapters export " + q(p) + " --format time", false);
  ASSERT_EQ(e.status, 0);
  EXPECT_EQ(e.out, "00:00:00.000\r\n00:02:00.000\r\n00:02:04.444\r\n");

  test::writeFile(d / "ch.txt", {'4', '5', '0', '0', '0', '0', '0', '\r', '\n', '9', '0', '\r', '\n'});
  Result i = cli("chapters import " + q(p) + " " + q(d / "ch.txt") + " --format pts -o " + q(d / "new.mpls"));
  ASSERT_EQ(i.status, 0) << i.out;
  EXPECT_NE(i.out.find("1, 00:01:40.000"), std::string::npos) << i.out;
  core::MemoryLog log;
  playlist::Playlist m;
  ASSERT_TRUE((playlist::readPlaylist(test::readFile(d / "new.mpls"), "new", m, log)).complete());
  ASSERT_EQ(m.playListMark.marks.size(), 2u);
  EXPECT_EQ(m.playListMark.marks[0].playItemRef, 1);
  EXPECT_EQ(m.playListMark.marks[0].timeStamp, 900000u);
  EXPECT_TRUE(playlist::layoutMismatches(m).empty());
  Result back = cli("chapters export " + q(d / "new.mpls") + " -o " + q(d / "back.txt"));
  ASSERT_EQ(back.status, 0);
  EXPECT_EQ(test::readFile(d / "back.txt"), test::readFile(d / "ch.txt"));

  // Frame format without a video stream: a clear error and nothing written.
  playlist::Playlist nv = playlist::synth::twoItems();
  nv.playList.playItems[0].stn.video.clear();
  playlist::updateLengths(nv);
  fs::path np = writeSynth(d, nv, "00002.mpls");
  Result f = cli("chapters export " + q(np) + " --format frame -o " + q(d / "f.txt"));
  EXPECT_NE(f.status, 0);
  EXPECT_NE(f.out.find("primary video stream"), std::string::npos) << f.out;
  EXPECT_FALSE(fs::exists(d / "f.txt"));
  Result bad = cli("chapters export " + q(p) + " --format vtt");
  EXPECT_NE(bad.status, 0);
}

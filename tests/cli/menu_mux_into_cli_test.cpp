// "menu mux MENU --into CLIP -o OUT": on a copy of the demo disc, the demo's menu put
// into the feature clip over itself (through a stream beside the disc), with and
// without --add-stream, --replace and --at; refusals write nothing and exit non-zero.
#include <gtest/gtest.h>

#include "clip/clpi.h"
#include "core/log.h"
#include "playlist/mpls_reader.h"
#include "run_cli.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace morvex;
using test::CliStderr;
using test::runCli;
using test::shellQuote;

#ifdef MORVEX_MAKE_DEMO_PATH
TEST(MenuMuxIntoCli, FeatureClipGainsTheMenuItsClipInformationAndPlaylistEntry) {
  test::TempDir tmp;
  const fs::path bdmv = tmp / "demo" / "BDMV";
  ASSERT_EQ(std::system(("'" + std::string(MORVEX_MAKE_DEMO_PATH) + "' " + shellQuote(bdmv) + " >/dev/null").c_str()), 0);
  const fs::path menu = tmp / "menu.mnu", clip = bdmv / "STREAM" / "00001.m2ts", plain = tmp / "plain.m2ts";
  ASSERT_EQ(runCli("menu resave " + shellQuote(bdmv / "STREAM" / "00000.m2ts") + " -o " + shellQuote(menu)).status, 0);
  fs::copy_file(clip, plain);

  // Written over the disc's clip 00001 from the plain copy: the clip information of
  // 00001 follows, and playlist 00001 (which plays it) is told about, not changed.
  auto r = runCli("menu mux " + shellQuote(menu) + " --into " + shellQuote(plain) + " -o " + shellQuote(clip),
                  CliStderr::Separate);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.err.find("00001.mpls plays the clip but lists no IG stream"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("composition at 0:00:01."), std::string::npos) << r.out;
  core::NullLog quiet;
  clip::ClipInfo c;
  ASSERT_TRUE(clip::readClipInfoFile(bdmv / "CLIPINF" / "00001.clpi", c, quiet).complete());
  EXPECT_EQ(uint64_t(c.clipInfo.numberOfSourcePackets), fs::file_size(clip) / 192);
  EXPECT_EQ(c.programInfo.programSequences.at(0).streams.back().pid, 0x1400);
  playlist::Playlist m;
  ASSERT_TRUE(playlist::readPlaylistFile(bdmv / "PLAYLIST" / "00001.mpls", m, quiet).complete());
  EXPECT_TRUE(m.playList.playItems[0].stn.ig.empty());
  // The checker sees the unlisted menu.
  r = runCli("check " + shellQuote(bdmv), CliStderr::Separate);
  EXPECT_NE(r.out.find("clpi.ig.unlisted"), std::string::npos) << r.out;

  // Again without --replace: refused, the clip untouched.
  const auto before = test::readFile(clip);
  r = runCli("menu mux " + shellQuote(menu) + " --into " + shellQuote(clip) + " -o " + shellQuote(tmp / "x.m2ts"),
             CliStderr::Separate);
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("--replace"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(tmp / "x.m2ts"));
  // Onto its own input: refused.
  r = runCli("menu mux " + shellQuote(menu) + " --into " + shellQuote(clip) + " -o " + shellQuote(clip) + " --replace",
             CliStderr::Separate);
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(test::readFile(clip), before);

  // With --replace, --at and --add-stream from the plain copy again: the playlist
  // gains the entry and the checker finds nothing.
  r = runCli("menu mux " + shellQuote(menu) + " --into " + shellQuote(plain) + " -o " + shellQuote(clip) +
                 " --replace --add-stream --at 0:00:02.5",
             CliStderr::Separate);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("00001.mpls: IG stream entry added"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("composition at 0:00:02.5"), std::string::npos) << r.out;
  ASSERT_TRUE(playlist::readPlaylistFile(bdmv / "PLAYLIST" / "00001.mpls", m, quiet).complete());
  ASSERT_EQ(m.playList.playItems[0].stn.ig.size(), 1u);
  EXPECT_EQ(m.playList.playItems[0].stn.ig[0].entry.mainPID, 0x1400);
  r = runCli("check " + shellQuote(bdmv), CliStderr::Separate);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("0 error(s), 0 warning(s)"), std::string::npos) << r.out;

  // A bad time is refused before anything is read.
  r = runCli("menu mux " + shellQuote(menu) + " --into " + shellQuote(plain) + " -o " + shellQuote(tmp / "y.m2ts") +
                 " --at soon",
             CliStderr::Separate);
  EXPECT_EQ(r.status, 2);
  EXPECT_FALSE(fs::exists(tmp / "y.m2ts"));
}
#endif

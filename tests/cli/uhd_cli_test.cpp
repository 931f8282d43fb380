// The command line on an Ultra HD disc built byte by byte: every command reads its
// 0300 files, shows the new fields, resaves them unchanged, and the checker holds the
// 0300 rules (HEVC only in 0300 files, no disc mixing 0300 with older files).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/run_cli.h"
#include "support/test_support.h"
#include "support/ts_synth.h"
#include "support/uhd_disc.h"

using namespace morvex;
namespace fs = std::filesystem;
namespace uhd = morvex::test::uhd;
using nlohmann::json;

namespace {

test::CliResult run(const std::string& args) { return test::runCli(args, test::CliStderr::Separate); }
std::string q(const fs::path& p) { return test::shellQuote(p); }
bool has(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

}  // namespace

TEST(UltraHdCli, EveryCommandReadsTheDiscAndShowsTheNewFields) {
  test::TempDir dir;
  uhd::writeDisc(dir.path());
  const fs::path bdmv = dir / "BDMV";

  auto info = run("info " + q(dir.path()));
  EXPECT_EQ(info.status, 0) << info.out << info.err;
  EXPECT_TRUE(has(info.out, "Ultra HD index, initial dynamic range HDR10; disc type 5, 4K, HDR10+, Dolby Vision, HDR10."))
      << info.out;

  auto idx = run("dump --json " + q(bdmv / "index.bdmv"));
  ASSERT_EQ(idx.status, 0) << idx.err;
  json ij = json::parse(idx.out);
  EXPECT_EQ(ij["appInfo"]["initialDynamicRangeType"], 1);
  EXPECT_EQ(ij["appInfo"]["videoFormat"], 8);
  EXPECT_EQ(ij["appInfo"]["initialOutputModePreference"], 1);
  EXPECT_EQ(ij["uhdDiscInfo"]["discType"], 5);
  EXPECT_EQ(ij["uhdDiscInfo"]["dolbyVisionFlag"], 1);
  EXPECT_EQ(ij["uhdDiscInfo"]["sdrFlag"], 0);

  auto pl = run("dump --json " + q(bdmv / "PLAYLIST" / "00000.mpls"));
  ASSERT_EQ(pl.status, 0) << pl.err;
  json pj = json::parse(pl.out);
  const json& va = pj["playItems"][0]["stn"]["video"][0]["attributes"];
  EXPECT_EQ(va["codingName"], "HEVC");
  EXPECT_EQ(va["dynamicRangeName"], "HDR10");
  EXPECT_EQ(va["colorSpaceName"], "BT.2020");
  EXPECT_EQ(va["hdrPlusFlag"], 1);
  EXPECT_EQ(pj["appInfo"]["SDR_conversion_notification_flag"], 1);
  EXPECT_EQ(pj["extensionData"]["staticMetadata"][0]["maxFrameAverageLightLevel"], 400);
  auto plText = run("dump " + q(bdmv / "PLAYLIST" / "00000.mpls"));
  EXPECT_TRUE(has(plText.out, "HEVC, 2160p, 23.976, HDR10, BT.2020, CR, HDR10+")) << plText.out;

  auto cl = run("dump --json " + q(bdmv / "CLIPINF" / "00000.clpi"));
  ASSERT_EQ(cl.status, 0) << cl.err;
  json cj = json::parse(cl.out);
  const json& cs = cj["ProgramInfo"]["program_sequences"][0]["streams"][0];
  EXPECT_EQ(cs["coding_type_name"], "HEVC");
  EXPECT_EQ(cs["dynamic_range_type_name"], "HDR10");
  EXPECT_EQ(cs["color_space"], 2);
  EXPECT_EQ(cs["CR_flag"], 1);

  // Resaving gives the same bytes back.
  for (const fs::path rel : {"index.bdmv", "MovieObject.bdmv", "PLAYLIST/00000.mpls", "CLIPINF/00000.clpi"}) {
    SCOPED_TRACE(rel.string());
    const fs::path out = dir / ("resaved" + rel.extension().string());
    auto r = run("resave " + q(bdmv / rel) + " -o " + q(out));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::readFile(out), test::readFile(bdmv / rel));
  }

  auto chapters = run("chapters export " + q(bdmv / "PLAYLIST" / "00000.mpls"));
  EXPECT_EQ(chapters.status, 0) << chapters.err;
  EXPECT_EQ(chapters.out, "0\r\n1350000\r\n");  // one mark per line, CR LF as chapter files have

  auto find = run("find --json " + q(bdmv) + " --clips");
  EXPECT_EQ(find.status, 0) << find.out << find.err;
  EXPECT_TRUE(has(find.out, "\"unreadable_playlists\": 0")) << find.out;

  // The built stream file is an empty stand-in whose clip has no EP map: without it the
  // folder is a copy of the metadata, which the player rules on streams leave alone.
  fs::remove(bdmv / "STREAM" / "00000.m2ts");
  auto check = run("check " + q(bdmv));
  EXPECT_EQ(check.status, 0) << check.out << check.err;
  EXPECT_TRUE(has(check.out, "0 error(s)")) << check.out;
}

TEST(UltraHdCli, CheckerHoldsTheVersionRules) {
  test::TempDir dir;
  uhd::writeDisc(dir.path());
  const fs::path bdmv = dir / "BDMV";
  // The playlist says 0200 but carries HEVC; the disc now mixes 0200 and 0300 files.
  for (const fs::path p : {bdmv / "PLAYLIST" / "00000.mpls", bdmv / "BACKUP" / "PLAYLIST" / "00000.mpls"}) {
    auto b = test::readFile(p);
    b[5] = '2';
    test::writeFile(p, b);
  }
  auto check = run("check --json " + q(bdmv));
  EXPECT_EQ(check.status, 1) << check.out;
  EXPECT_TRUE(has(check.out, "mpls.stream.hevc-needs-0300")) << check.out;
  EXPECT_TRUE(has(check.out, "PlayItem 0, stream 0/0 is an HEVC stream, which a version 0200 file cannot carry"))
      << check.out;
  EXPECT_TRUE(has(check.out, "disc.versions-mixed")) << check.out;
  EXPECT_TRUE(has(check.out, "PLAYLIST/00000.mpls is 0200")) << check.out;

  // A 0300 playlist whose video carries an unknown coding type is refused by name.
  test::writeFile(bdmv / "PLAYLIST" / "00000.mpls", uhd::playlistFile(0x20));
  auto dump = run("dump " + q(bdmv / "PLAYLIST" / "00000.mpls"));
  EXPECT_EQ(dump.status, 1);
  EXPECT_TRUE(has(dump.err, "00000.mpls: version 0300 holds stream coding type 0x20")) << dump.err;
  EXPECT_TRUE(dump.out.empty()) << dump.out;
}

// The HEVC video of an Ultra HD clip demultiplexes like any video PID: the output is
// named from the clip's ProgramInfo row and holds exactly the PES payloads.
TEST(UltraHdCli, DemuxWritesTheHevcStreamUnderItsClipName) {
  test::TempDir dir;
  uhd::writeDisc(dir.path());
  const fs::path stream = dir / "BDMV" / "STREAM" / "00000.m2ts";
  test::SynthOptions o;
  o.targetBytes = 300000;
  o.audio = o.pg = o.ig = false;
  std::vector<uint8_t> expected;
  std::string err;
  ASSERT_TRUE(test::writeSyntheticStream(stream, o, err, nullptr, [&](const test::SynthPes& p) {
    if (p.pid == 0x1011) expected.insert(expected.end(), p.payload->begin(), p.payload->end());
  })) << err;
  ASSERT_FALSE(expected.empty());
  auto r = test::runCli("demux " + q(stream) + " --pid 0x1011", test::CliStderr::Separate, dir.path());
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const fs::path out = dir / "00000_PID1011_HEVC_2160p_23.976_16_9_HDR10_BT.2020_CR_HDR10+.vis";
  ASSERT_TRUE(fs::exists(out)) << r.out << r.err;
  EXPECT_EQ(test::readFile(out), expected);
}

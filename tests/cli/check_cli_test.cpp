// "check DIR": exit status, text grouped by file, JSON a script can filter, severity
// filter, and the folder that cannot be checked.
#include <gtest/gtest.h>

#include <algorithm>

#include <nlohmann/json.hpp>

#include "support/sample_disc.h"
#include "run_cli.h"

namespace fs = std::filesystem;
using namespace morvex;
using test::CliStderr;
using test::runCli;
using test::shellQuote;

namespace {

class CheckCli : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(test::writeSampleDisc(tmp / "disc" / "BDMV", 4, 3)); }
  fs::path root() const { return tmp / "disc"; }
  fs::path bdmv() const { return tmp / "disc" / "BDMV"; }
  test::TempDir tmp;
};

TEST_F(CheckCli, CleanDiscExitsZeroAndMissingStreamsAreWarnings) {
  auto r = runCli("check --json " + shellQuote(root()), CliStderr::Separate);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const auto j = nlohmann::json::parse(r.out);
  ASSERT_TRUE(j.is_array());
  ASSERT_EQ(j.size(), 3u) << r.out;  // one missing stream file per clip, nothing else
  for (const auto& f : j) {
    EXPECT_EQ(f["severity"], "warning");
    EXPECT_EQ(f["code"], "clpi.stream-missing");
  }
  EXPECT_EQ(j[1]["file"], "CLIPINF/00001.clpi");
  // --severity error leaves nothing; the BDMV folder itself gives the same verdict.
  r = runCli("check --json --severity error " + shellQuote(bdmv()), CliStderr::Separate);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(nlohmann::json::parse(r.out).size(), 0u) << r.out;
}

TEST_F(CheckCli, ErrorsExitOneGroupedByFileWithOffsets) {
  // Playlist 00002 goes (movie object 2 plays it), and a PlayItem of 00001 points at
  // a clip that is not there.
  fs::remove(bdmv() / "PLAYLIST" / "00002.mpls");
  auto pl = test::readFile(bdmv() / "PLAYLIST" / "00001.mpls");
  const size_t start = size_t(pl[8]) << 24 | size_t(pl[9]) << 16 | size_t(pl[10]) << 8 | pl[11];
  std::copy_n("77777", 5, pl.begin() + start + 12);
  test::writeFile(bdmv() / "PLAYLIST" / "00001.mpls", pl);

  auto r = runCli("check --json " + shellQuote(root()), CliStderr::Separate);
  ASSERT_EQ(r.status, 1) << r.out << r.err;
  const auto j = nlohmann::json::parse(r.out);
  std::vector<std::string> errors;
  for (const auto& f : j)
    if (f["severity"] == "error") errors.push_back(f["code"].get<std::string>() + " " + f["file"].get<std::string>() +
                                                   " " + f["location"].get<std::string>());
  EXPECT_EQ(errors, (std::vector<std::string>{"mobj.command.playlist-missing MovieObject.bdmv object 2, line 0",
                                              "mpls.playitem.clip-missing PLAYLIST/00001.mpls PlayItem 0"}));

  r = runCli("check --severity error " + shellQuote(root()), CliStderr::Separate);
  EXPECT_EQ(r.status, 1);
  // Each file heads its group once; its findings follow indented.
  EXPECT_NE(r.out.find("MovieObject.bdmv\n  error  mobj.command.playlist-missing  object 2, line 0: "),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("PLAYLIST/00001.mpls\n  error  mpls.playitem.clip-missing  PlayItem 0: "), std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("clpi.stream-missing"), std::string::npos) << "warnings shown under --severity error";
  EXPECT_NE(r.out.find("2 error(s), 3 warning(s)"), std::string::npos) << r.out;

  // A stored length that runs into the next section carries its byte offset.
  auto idx = test::readFile(bdmv() / "index.bdmv");
  idx[43] += 100;  // AppInfoBDMV length
  test::writeFile(bdmv() / "index.bdmv", idx);
  r = runCli("check --json " + shellQuote(root()), CliStderr::Separate);
  EXPECT_EQ(r.status, 1);
  bool found = false;
  for (const auto& f : nlohmann::json::parse(r.out))
    if (f["code"] == "index.section.overlaps") {
      found = true;
      EXPECT_EQ(f["offset"], 40);
      EXPECT_EQ(f["file"], "index.bdmv");
    }
  EXPECT_TRUE(found) << r.out;
}

// A folder that cannot be checked fails the check (1); only a wrong option is a usage
// error (2).
TEST_F(CheckCli, FolderThatCannotBeCheckedExitsOne) {
  auto r = runCli("check " + shellQuote(tmp / "nowhere"), CliStderr::Separate);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no such folder"), std::string::npos) << r.err;
  fs::remove(bdmv() / "index.bdmv");
  r = runCli("check " + shellQuote(root()), CliStderr::Separate);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("index.bdmv"), std::string::npos) << r.err;
  r = runCli("check --severity fatal " + shellQuote(root()), CliStderr::Separate);
  EXPECT_EQ(r.status, 2);
}

}  // namespace

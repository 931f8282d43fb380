// morvex-cli info: the load's log as plain text, exit status 1 after a failed check.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include "disc/disc_load.h"
#include "support/test_support.h"
#include "cli/run_cli.h"

using namespace morvex;
namespace fs = std::filesystem;

namespace {

using CliRun = morvex::test::CliResult;

CliRun cli(const std::string& args) { return morvex::test::runCli(args, morvex::test::CliStderr::Separate); }

std::vector<std::string> lines(const std::string& s) {
  std::vector<std::string> v;
  size_t a = 0;
  for (size_t b; (b = s.find('\n', a)) != std::string::npos; a = b + 1) v.push_back(s.substr(a, b - a));
  return v;
}

bool has(const std::vector<std::string>& v, const std::string& s) { return std::find(v.begin(), v.end(), s) != v.end(); }

size_t countFiles(const fs::path& dir, const std::string& ext) {
  size_t n = 0;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec))
    if (e.is_regular_file() && e.path().extension() == ext) ++n;
  return n;
}

}  // namespace

TEST(InfoCli, EveryFixtureDisc) {
  MORVEX_REQUIRE_FIXTURES();
  for (const auto& bdmv : test::fixtureDiscs()) {
    // The disc root is accepted as well as its BDMV folder.
    CliRun r = cli("info '" + bdmv.parent_path().string() + "'");
    ASSERT_EQ(r.status, 0) << bdmv << r.err;
    auto v = lines(r.out);
    ASSERT_GE(v.size(), 6u);
    EXPECT_EQ(v[0], "Checking required files and directories...");
    EXPECT_EQ(v[1], "PLAYLIST folder: OK");
    EXPECT_EQ(v[2], "CLIPINF folder: OK");
    EXPECT_EQ(v[3], "BACKUP folder: OK");
    EXPECT_EQ(v[4], "index.bdmv: OK");
    EXPECT_EQ(v[5], "MovieObject.bdmv: OK");
    size_t playlists = countFiles(bdmv / "PLAYLIST", ".mpls"), clips = countFiles(bdmv / "CLIPINF", ".clpi");
    EXPECT_TRUE(has(v, "  Found " + std::to_string(playlists) + " playlists.")) << bdmv;
    EXPECT_TRUE(has(v, "  Found " + std::to_string(clips) + " clipinfos.")) << bdmv;
    EXPECT_TRUE(has(v, "STREAM folder: missing"));
    EXPECT_TRUE(has(v, "  Found 0 AV streams, missing " + std::to_string(clips))) << bdmv;
    size_t missingLines = std::count_if(v.begin(), v.end(), [](const std::string& s) {
      return s.rfind("  Stream ", 0) == 0 && s.size() > 8 && s.substr(s.size() - 8) == " missing";
    });
    EXPECT_EQ(missingLines, clips);
    EXPECT_TRUE(has(v, fs::exists(bdmv / "META") ? "META folder: OK" : "META folder: missing"));
    EXPECT_EQ(v.back(), "");
    auto found = [&](const std::string& prefix) {
      return std::any_of(v.begin(), v.end(), [&](const std::string& s) { return s.rfind(prefix, 0) == 0; });
    };
    EXPECT_TRUE(found("  Found ") && found("Reading index.bdmv") && found("Reading MovieObject.bdmv"));
  }
}

TEST(InfoCli, AFileStandsForItsFolder) {
  MORVEX_REQUIRE_FIXTURES();
  auto bdmv = test::fixtureDiscs().front();
  CliRun byFile = cli("info '" + (bdmv / "index.bdmv").string() + "'");
  CliRun byDir = cli("info '" + bdmv.string() + "'");
  EXPECT_EQ(byFile.status, 0);
  EXPECT_EQ(byFile.out, byDir.out);
}

TEST(InfoCli, FailedCheckExitsWithOne) {
  test::TempDir t;
  fs::create_directories(t / "Disc" / "BDMV" / "PLAYLIST");
  CliRun r = cli("info '" + (t / "Disc").string() + "'");
  EXPECT_EQ(r.status, 1);
  auto v = lines(r.out);
  ASSERT_FALSE(v.empty());
  // The error line goes to stderr, the check lines to stdout.
  EXPECT_EQ(lines(r.err), std::vector<std::string>{"ERROR: Check failed."});
  EXPECT_FALSE(has(v, "ERROR: Check failed."));
  EXPECT_TRUE(has(v, "CLIPINF folder: missing"));
  EXPECT_TRUE(has(v, "index.bdmv: missing"));
}

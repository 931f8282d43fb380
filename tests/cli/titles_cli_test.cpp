// morvex-cli titles: the navigation map as text and JSON, register settings, and the
// exit status when the disc could not be read whole.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/run_cli.h"
#include "support/sample_disc.h"
#include "support/test_support.h"

using namespace morvex;
namespace fs = std::filesystem;
using nlohmann::json;

namespace {

test::CliResult cli(const std::string& args) { return test::runCli(args, test::CliStderr::Separate); }

std::vector<std::string> strings(const json& j) { return j.get<std::vector<std::string>>(); }

}  // namespace

TEST(TitlesCli, FixtureDiscJson) {
  MORVEX_REQUIRE_FIXTURES();
  const auto disc = *test::fixturesDir() / "discs" / "disc1";
  const auto r = cli("titles " + test::shellQuote(disc) + " --json");
  ASSERT_EQ(r.status, 0) << r.err;
  const json j = json::parse(r.out);
  // First Play shows its intro, goes to the film (title 1), then to the menu.
  EXPECT_EQ(strings(j["firstPlay"]["playlists"]), (std::vector<std::string>{"00000", "00002", "00001"}));
  EXPECT_EQ(j["firstPlay"]["feature"], "00002");
  EXPECT_EQ(j["firstPlay"]["title"], 65535);
  EXPECT_EQ(j["topMenu"]["title"], 0);
  EXPECT_EQ(strings(j["topMenu"]["playlists"]), (std::vector<std::string>{"00001"}));
  ASSERT_EQ(j["titles"].size(), 9u);
  for (size_t i = 0; i < 9; ++i) {
    const auto& t = j["titles"][i];
    // Title n plays playlist n + 1 and nothing else.
    const std::string own = std::string(i + 2 < 10 ? "0000" : "000") + std::to_string(i + 2);
    EXPECT_EQ(t["title"], i + 1);
    EXPECT_EQ(strings(t["playlists"]), std::vector<std::string>{own});
    EXPECT_EQ(t["feature"], own);
  }
  EXPECT_TRUE(j["unreachable"].empty());

  const auto text = cli("titles " + test::shellQuote(disc / "BDMV"));
  ASSERT_EQ(text.status, 0);
  EXPECT_NE(text.out.find("Title 1: object 2, plays 00002; feature 00002 (01:21:06.528)\n"), std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("Unreachable playlists: none\n"), std::string::npos);
}

TEST(TitlesCli, GeneratedDiscWithADecoy) {
  test::TempDir tmp;
  const auto bdmv = tmp / "BDMV";
  ASSERT_TRUE(test::writeSampleDisc(bdmv, 3, 3));
  // A copy nothing plays.
  fs::copy_file(bdmv / "PLAYLIST" / "00001.mpls", bdmv / "PLAYLIST" / "00077.mpls");
  const auto r = cli("titles " + test::shellQuote(tmp.path()) + " --json");
  ASSERT_EQ(r.status, 0) << r.err;
  const json j = json::parse(r.out);
  EXPECT_EQ(strings(j["unreachable"]), std::vector<std::string>{"00077"});
  ASSERT_EQ(j["titles"].size(), 3u);
  // Each title plays its own playlist and then goes to title 1, whose object is the
  // Top Menu's: a title's way ends there. The Top Menu itself goes round and round,
  // a loop, but one that plays.
  EXPECT_EQ(strings(j["titles"][1]["playlists"]), std::vector<std::string>{"00001"});
  EXPECT_EQ(strings(j["titles"][0]["playlists"]), std::vector<std::string>{"00000"});
  EXPECT_FALSE(j["titles"][1]["loops"].get<bool>());
  EXPECT_EQ(strings(j["topMenu"]["playlists"]), std::vector<std::string>{"00000"});
  EXPECT_TRUE(j["topMenu"]["loops"].get<bool>());

  const auto text = cli("titles " + test::shellQuote(bdmv));
  EXPECT_EQ(text.status, 0);
  EXPECT_NE(text.out.find("Unreachable playlists: 00077\n"), std::string::npos) << text.out;

  // Register settings: accepted in either base; anything else is a usage error.
  EXPECT_EQ(cli("titles " + test::shellQuote(bdmv) + " --set PSR20=4 --set psr16=0x667261").status, 0);
  for (const char* bad : {"PSR128=1", "GPR1=2", "PSR20", "PSR20=x"}) {
    const auto b = cli("titles " + test::shellQuote(bdmv) + " --set " + bad);
    EXPECT_EQ(b.status, 2) << bad;
    EXPECT_TRUE(b.out.empty()) << bad;
  }

  // A playlist read only in part: nothing printed, exit 1; --force prints, still 1.
  auto bytes = test::readFile(bdmv / "PLAYLIST" / "00002.mpls");
  bytes.resize(bytes.size() / 2);
  test::writeFile(bdmv / "PLAYLIST" / "00002.mpls", bytes);
  const auto part = cli("titles " + test::shellQuote(bdmv) + " --json");
  EXPECT_EQ(part.status, 1);
  EXPECT_TRUE(part.out.empty()) << part.out;
  EXPECT_NE(part.err.find("00002.mpls"), std::string::npos) << part.err;
  const auto forced = cli("titles " + test::shellQuote(bdmv) + " --json --force");
  EXPECT_EQ(forced.status, 1);
  EXPECT_EQ(json::parse(forced.out)["titles"].size(), 3u);

  const auto none = cli("titles " + test::shellQuote(tmp / "nothing"));
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.err.find("not a disc folder"), std::string::npos) << none.err;
}

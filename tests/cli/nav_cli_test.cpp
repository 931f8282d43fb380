// morvex-cli on index.bdmv and MovieObject.bdmv: dump, dump --json, resave.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sys/wait.h>

#include "nav/index.h"
#include "nav/movie_object.h"
#include "support/test_support.h"

using namespace morvex;
namespace fs = std::filesystem;

namespace {

struct CliRun {
  int status = -1;
  std::string out, err;
};

std::string slurp(const fs::path& p) {
  auto b = test::readFile(p);
  return std::string(b.begin(), b.end());
}

CliRun cli(const std::string& args) {
  test::TempDir t;
  std::string cmd = std::string("'") + MORVEX_CLI_PATH + "' " + args + " >'" + (t / "out").string() + "' 2>'" +
                    (t / "err").string() + "'";
  int rc = std::system(cmd.c_str());
  CliRun r;
  r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  r.out = slurp(t / "out");
  r.err = slurp(t / "err");
  return r;
}

std::string q(const fs::path& p) { return "'" + p.string() + "'"; }

}  // namespace

TEST(NavCli, ResaveEveryFixtureWritesTheWritersBytes) {
  MORVEX_REQUIRE_FIXTURES();
  test::TempDir t;
  size_t files = 0, identical = 0;
  for (const char* name : {"index.bdmv", "MovieObject.bdmv"}) {
    for (const auto& f : test::fixtureFiles(name)) {
      CliRun r = cli("resave " + q(f) + " -o " + q(t / "out.bdmv"));
      ASSERT_EQ(r.status, 0) << f << r.err;
      auto in = test::readFile(f);
      auto out = test::readFile(t / "out.bdmv");
      core::NullLog log;
      core::Bytes expected;
      if (std::string(name) == "index.bdmv") {
        nav::IndexTable x;
        nav::readIndexTable(in, "index.bdmv", x, log);
        expected = nav::writeIndexTable(x);
      } else {
        nav::MovieObjectFile m;
        nav::readMovieObjectFile(in, "MovieObject.bdmv", m, log);
        expected = nav::writeMovieObjectFile(m);
      }
      EXPECT_EQ(out, expected) << f;
      ++files;
      identical += out == in;
    }
  }
  EXPECT_GT(files, 0u);
  std::cout << identical << " of " << files << " fixture files resaved byte-identical\n";
}

TEST(NavCli, DumpJsonNamesTheFields) {
  MORVEX_REQUIRE_FIXTURES();
  auto disc = test::fixtureDiscs().front();
  CliRun r = cli("dump --json " + q(disc / "index.bdmv"));
  ASSERT_EQ(r.status, 0) << r.err;
  auto j = nlohmann::json::parse(r.out);
  nav::IndexTable x;
  core::NullLog log;
  nav::readIndexTable(test::readFile(disc / "index.bdmv"), "index.bdmv", x, log);
  EXPECT_EQ(j["typeIndicator"], "INDX");
  EXPECT_EQ(j["indexes"]["numberOfTitles"], x.indexes.titles.size());
  EXPECT_EQ(j["indexes"]["firstPlayback"]["titleNumber"], 0xFFFF);
  EXPECT_EQ(j["indexes"]["titles"].size(), x.indexes.titles.size());
  EXPECT_EQ(j["extensionData"]["summary"], core::extensionDataCaption(x.extensionData));

  r = cli("dump --json " + q(disc / "MovieObject.bdmv"));
  ASSERT_EQ(r.status, 0) << r.err;
  j = nlohmann::json::parse(r.out);
  nav::MovieObjectFile m;
  nav::readMovieObjectFile(test::readFile(disc / "MovieObject.bdmv"), "MovieObject.bdmv", m, log);
  ASSERT_EQ(j["movieObjects"]["objects"].size(), m.movieObjects.objects.size());
  const auto& o = j["movieObjects"]["objects"][0];
  EXPECT_EQ(o["numberOfCommands"], m.movieObjects.objects[0].commands.size());
  char op[9];
  std::snprintf(op, sizeof op, "%08X", m.movieObjects.objects[0].commands[0].opcode);
  EXPECT_EQ(o["commands"][0]["opcode"], op);
  EXPECT_EQ(j["movieObjects"]["movieObjectsLength"], m.movieObjects.length);
}

TEST(NavCli, FailuresWriteNothing) {
  test::TempDir t;
  nav::IndexTable x;
  x.indexes.titles.resize(3);
  auto b = nav::writeIndexTable(x);
  b.resize(b.size() - 5);  // ends inside the last title
  test::writeFile(t / "index.bdmv", b);
  CliRun r = cli("resave " + q(t / "index.bdmv") + " -o " + q(t / "out"));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("index.bdmv ends early"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(t / "out"));

  test::writeFile(t / "MovieObject.bdmv", {'M', 'O', 'B', 'J', '0', '4', '0', '0'});
  r = cli("dump " + q(t / "MovieObject.bdmv"));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("Format error MovieObject.bdmv"), std::string::npos) << r.err;

  x.indexes.titles.resize(1000);
  test::writeFile(t / "index.bdmv", nav::writeIndexTable(x));
  r = cli("resave " + q(t / "index.bdmv") + " -o " + q(t / "out"));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("Error in index.bdmv (number of title: 1000)"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(t / "out"));

  r = cli("resave " + q(t / "nothing.bdmv") + " -o " + q(t / "out"));
  EXPECT_NE(r.status, 0);
  EXPECT_FALSE(r.err.empty());
}

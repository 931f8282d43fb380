// Disc texts reach JSON without loss and the terminal without control bytes; a set of
// pictures is written whole or not at all.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "run_cli.h"

using namespace morvex::test;
namespace fs = std::filesystem;

TEST(DiscTexts, NonUtf8AndControlBytesOfAClipNameSurviveJsonAndNeverReachTheTerminal) {
  MORVEX_REQUIRE_FIXTURES();
  TempDir tmp;
  auto b = readFile(*fixturesDir() / "discs" / "disc1" / "BDMV" / "PLAYLIST" / "00000.mpls");
  const size_t name = (size_t(b[8]) << 24 | size_t(b[9]) << 16 | size_t(b[10]) << 8 | b[11]) + 12;
  b[name] = 0x1B;      // ESC
  b[name + 1] = 0x07;  // BEL
  b[name + 2] = 0xE9;  // not UTF-8
  writeFile(tmp / "t.mpls", b);
  CliResult r = runCli("dump --json " + shellQuote(tmp / "t.mpls"), CliStderr::Separate);
  ASSERT_EQ(r.status, 0) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  const auto& item = j["playItems"][0];
  EXPECT_EQ(item["clipHex"], "1B07E93030");
  EXPECT_EQ(item["clip"], "\x1B\x07\xC3\xA9" "00");  // each byte its Latin-1 character
  r = runCli("dump " + shellQuote(tmp / "t.mpls"), CliStderr::Separate);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find('\x1B'), std::string::npos);
  EXPECT_EQ(r.out.find('\x07'), std::string::npos);
  EXPECT_NE(r.out.find("\\x1B\\x07"), std::string::npos);
}

#ifdef MORVEX_MAKE_DEMO_PATH
TEST(PictureSets, ExportObjectsWritesEveryPictureOrNone) {
  TempDir tmp;
  const fs::path bdmv = tmp / "demo" / "BDMV";
  fs::create_directories(bdmv);
  const std::string make = std::string("'") + MORVEX_MAKE_DEMO_PATH + "' " + shellQuote(bdmv) + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(make.c_str()), 0);
  const fs::path menu = tmp / "menu.mnu";
  ASSERT_EQ(runCli("menu extract " + shellQuote(bdmv / "STREAM" / "00010.m2ts") + " -o " + shellQuote(menu)).status, 0);
  // A folder that cannot be made says why.
  writeFile(tmp / "file", {1});
  CliResult r = runCli("menu export-objects " + shellQuote(menu) + " -o " + shellQuote(tmp / "file" / "pics"),
                       CliStderr::Separate);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("the folder cannot be created"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("No such file or directory"), std::string::npos) << r.err;
  // On a disk with room for some of the pictures only, none is left.
  ASSERT_EQ(runCli("menu export-objects " + shellQuote(menu) + " -o " + shellQuote(tmp / "all")).status, 0);
  size_t total = 0, count = 0;
  for (const auto& e : fs::directory_iterator(tmp / "all")) total += fs::file_size(e.path()), ++count;
  ASSERT_GT(count, 2u);
  SmallDisk disk(total + 64 * 1024);
  if (!disk.mounted()) MORVEX_SKIP_OR_FAIL("no small file system can be mounted here");
  disk.fill(total / 2);
  r = runCli("menu export-objects " + shellQuote(menu) + " -o " + shellQuote(disk / "pics"), CliStderr::Separate);
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_TRUE(fs::is_directory(disk / "pics"));
  EXPECT_TRUE(fs::is_empty(disk / "pics"));
}
#endif

// "demux STREAM --pid A --pid B": one pass, each PID in the file a single-PID run names
// and fills.
#include <gtest/gtest.h>

#include "support/ts_synth.h"
#include "run_cli.h"

namespace fs = std::filesystem;
using namespace morvex;
using test::CliStderr;
using test::runCli;
using test::shellQuote;

TEST(CliDemuxPids, SeveralPidsGiveTheFilesOfSingleRuns) {
  test::TempDir dir;
  test::SynthOptions o;
  o.targetBytes = 512 << 10;
  std::string err;
  ASSERT_TRUE(test::writeSyntheticStream(dir / "s.m2ts", o, err)) << err;
  fs::create_directories(dir / "one");
  fs::create_directories(dir / "two");
  for (const char* pid : {"0x1100", "0x1400"}) {
    auto r = runCli("demux " + shellQuote(dir / "s.m2ts") + " --pid " + pid, CliStderr::Merge, dir / "one");
    ASSERT_EQ(r.status, 0) << r.out;
  }
  auto r = runCli("demux " + shellQuote(dir / "s.m2ts") + " --pid 0x1100 --pid 0x1400", CliStderr::Merge, dir / "two");
  ASSERT_EQ(r.status, 0) << r.out;
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir / "one")) names.push_back(e.path().filename().string());
  ASSERT_EQ(names.size(), 2u);
  for (const auto& n : names) {
    ASSERT_TRUE(fs::exists(dir / "two" / n)) << n;
    EXPECT_EQ(test::readFile(dir / "two" / n), test::readFile(dir / "one" / n)) << n;
    EXPECT_GT(fs::file_size(dir / "two" / n), 0u) << n;
  }
  // One -o for several PIDs, or a PID given twice, writes nothing.
  r = runCli("demux " + shellQuote(dir / "s.m2ts") + " --pid 0x1100 --pid 0x1011 -o x.es", CliStderr::Merge, dir.path());
  EXPECT_EQ(r.status, 2) << r.out;
  r = runCli("demux " + shellQuote(dir / "s.m2ts") + " --pid 0x1011 --pid 0x1011", CliStderr::Merge, dir.path());
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_FALSE(fs::exists(dir / "x.es"));
  for (const auto& e : fs::directory_iterator(dir.path()))
    EXPECT_EQ(e.path().filename().string().find("PID1011"), std::string::npos) << e.path();
}

// "demux" says so when a PID is not in the stream, and writes a menu file only when it
// reads as a menu, as "menu extract" does.
#include <gtest/gtest.h>

#include "run_cli.h"

#ifdef MORVEX_MAKE_DEMO_PATH

using namespace morvex::test;
namespace fs = std::filesystem;

TEST(DemuxHonesty, AnAbsentPidFailsAndAMenuThatDoesNotReadIsNotWritten) {
  TempDir tmp;
  const fs::path bdmv = tmp / "demo" / "BDMV";
  fs::create_directories(bdmv);
  const std::string make = std::string("'") + MORVEX_MAKE_DEMO_PATH + "' " + shellQuote(bdmv) + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(make.c_str()), 0);
  const fs::path stream = bdmv / "STREAM" / "00010.m2ts";
  const fs::path work = tmp / "work";
  fs::create_directories(work);

  CliResult r = runCli("demux " + shellQuote(stream) + " --pid 0x1FFE -o " + shellQuote(work / "none.bin"),
                       CliStderr::Separate);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no packets of PID 1FFE"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(work / "none.bin"));
  // Several PIDs: the carried one is written, the absent one fails the command and
  // gets no file (and no name ending in a bare dot).
  r = runCli("demux " + shellQuote(stream) + " --pid 0x1400 --pid 0x1FFE", CliStderr::Separate, work);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no packets of PID 1FFE"), std::string::npos) << r.err;
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(work)) names.push_back(e.path().filename().string());
  ASSERT_EQ(names.size(), 1u);
  EXPECT_NE(names[0].find("PID1400"), std::string::npos) << names[0];
  EXPECT_NE(names[0].back(), '.');

  // The PES header of the menu's packet 848 claims 255 header bytes.
  auto bytes = readFile(stream);
  const size_t p = 848 * 192 + 4;
  ASSERT_EQ(((bytes[p + 1] & 0x1F) << 8) | bytes[p + 2], 0x1400);
  const size_t payload = p + 4 + (bytes[p + 3] & 0x20 ? 1 + bytes[p + 4] : 0);
  ASSERT_EQ(bytes[payload + 3], 0xBD);
  ASSERT_EQ(bytes[payload + 8], 0x05);
  bytes[payload + 8] = 0xFF;
  const fs::path bad = tmp / "bad.m2ts";
  writeFile(bad, bytes);
  const CliResult extract = runCli("menu extract " + shellQuote(bad) + " -o " + shellQuote(work / "e.mnu"));
  const CliResult demux = runCli("demux " + shellQuote(bad) + " --pid 0x1400 -o " + shellQuote(work / "d.mnu"));
  EXPECT_EQ(extract.status, 1) << extract.out;
  EXPECT_EQ(demux.status, extract.status) << demux.out;
  EXPECT_FALSE(fs::exists(work / "d.mnu"));
  // The undamaged stream's menu reads back from either.
  ASSERT_EQ(runCli("demux " + shellQuote(stream) + " --pid 0x1400 -o " + shellQuote(work / "good.mnu")).status, 0);
  EXPECT_EQ(runCli("menu dump " + shellQuote(work / "good.mnu")).status, 0);
}

#endif

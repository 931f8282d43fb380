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

  // The first menu PES header whose header-data length is 5 claims 255 header bytes.
  auto bytes = readFile(stream);
  size_t headerLength = 0;
  for (size_t p = 4; p + 188 <= bytes.size() && !headerLength; p += 192) {
    if ((((bytes[p + 1] & 0x1F) << 8) | bytes[p + 2]) != 0x1400 || !(bytes[p + 1] & 0x40)) continue;
    const size_t payload = p + 4 + (bytes[p + 3] & 0x20 ? 1 + bytes[p + 4] : 0);
    if (payload + 9 <= p + 188 && bytes[payload] == 0 && bytes[payload + 1] == 0 && bytes[payload + 2] == 1 &&
        bytes[payload + 3] == 0xBD && bytes[payload + 8] == 0x05)
      headerLength = payload + 8;
  }
  ASSERT_NE(headerLength, 0u) << "no menu PES header to damage";
  bytes[headerLength] = 0xFF;
  const fs::path bad = tmp / "bad.m2ts";
  writeFile(bad, bytes);
  const CliResult extract = runCli("menu extract " + shellQuote(bad) + " -o " + shellQuote(work / "e.mnu"));
  const CliResult demux = runCli("demux " + shellQuote(bad) + " --pid 0x1400 -o " + shellQuote(work / "d.mnu"));
  EXPECT_EQ(extract.status, 1) << extract.out;
  EXPECT_EQ(demux.status, extract.status) << demux.out;
  EXPECT_FALSE(fs::exists(work / "d.mnu"));

  // Several PIDs: the menu PID that does not read as a menu gets no file and is named;
  // the audio PID of the clip joined after it is still written.
  auto joined = bytes;
  const auto audioClip = readFile(bdmv / "STREAM" / "00001.m2ts");
  joined.insert(joined.end(), audioClip.begin(), audioClip.end());
  const fs::path both = tmp / "both.m2ts";
  writeFile(both, joined);
  const fs::path many = tmp / "many";
  fs::create_directories(many);
  CliResult multi = runCli("demux " + shellQuote(both) + " --pid 0x1400 --pid 0x1100", CliStderr::Separate, many);
  EXPECT_EQ(multi.status, 1) << multi.out;
  EXPECT_NE(multi.err.find("PID 1400 does not read as a menu"), std::string::npos) << multi.err;
  std::vector<fs::path> written;
  for (const auto& e : fs::directory_iterator(many)) written.push_back(e.path());
  ASSERT_EQ(written.size(), 1u);
  EXPECT_NE(written[0].filename().string().find("PID1100"), std::string::npos) << written[0];
  EXPECT_GT(fs::file_size(written[0]), 10000u);
  // --force writes the menu PID's data as the stream carries it.
  multi = runCli("demux --force " + shellQuote(both) + " --pid 0x1400 --pid 0x1100", CliStderr::Separate, many);
  size_t menus = 0;
  for (const auto& e : fs::directory_iterator(many)) menus += e.path().extension() == ".mnu";
  EXPECT_EQ(menus, 1u) << multi.err;
  EXPECT_EQ(multi.status, 1) << multi.err;  // forced, but still not a menu read whole

  // The undamaged stream's menu reads back from either.
  ASSERT_EQ(runCli("demux " + shellQuote(stream) + " --pid 0x1400 -o " + shellQuote(work / "good.mnu")).status, 0);
  EXPECT_EQ(runCli("menu dump " + shellQuote(work / "good.mnu")).status, 0);
}

#endif

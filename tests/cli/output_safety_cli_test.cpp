// Commands that read one kind of file and write another refuse an output that is their
// input under another name (a hard link), and leave both names as they were.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "run_cli.h"

#ifdef MORVEX_MAKE_DEMO_PATH

using namespace morvex::test;
namespace fs = std::filesystem;

namespace {

ino_t inode(const fs::path& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 ? st.st_ino : 0;
}

}  // namespace

TEST(OutputSafety, AnOutputThatIsTheInputByAHardLinkIsRefused) {
  TempDir tmp;
  const fs::path bdmv = tmp / "demo" / "BDMV";
  fs::create_directories(bdmv);
  const std::string make = std::string("'") + MORVEX_MAKE_DEMO_PATH + "' " + shellQuote(bdmv) + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(make.c_str()), 0);
  fs::path playlist;
  for (const auto& e : fs::directory_iterator(bdmv / "PLAYLIST")) playlist = e.path();
  const fs::path stream = bdmv / "STREAM" / "00010.m2ts";
  ASSERT_FALSE(playlist.empty());
  ASSERT_TRUE(fs::exists(stream));
  ASSERT_TRUE(fs::exists(bdmv / "AUXDATA" / "sound.bdmv"));
  // A menu file to feed "menu mux", written the ordinary way.
  ASSERT_EQ(runCli("menu extract " + shellQuote(stream) + " -o " + shellQuote(tmp / "menu.mnu")).status, 0);

  struct Case {
    std::string name;
    fs::path input;
    std::string args;  // with {in} for the input and {out} for the output
  } cases[] = {
      {"chapters export", playlist, "chapters export {in} -o {out}"},
      {"sound export", bdmv / "AUXDATA" / "sound.bdmv", "sound export {in} --entry 0 -o {out}"},
      {"disasm -o", bdmv / "MovieObject.bdmv", "disasm {in} -o {out}"},
      {"disasm --object -o", bdmv / "MovieObject.bdmv", "disasm {in} --object 0 -o {out}"},
      {"menu extract", stream, "menu extract {in} -o {out}"},
      {"menu mux", tmp / "menu.mnu", "menu mux {in} -o {out}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path link = tmp / ("link_" + std::to_string(&c - cases));
    fs::create_hard_link(c.input, link);
    const auto before = readFile(c.input);
    const ino_t ino = inode(c.input);
    std::string args = c.args;
    args.replace(args.find("{in}"), 4, shellQuote(c.input));
    args.replace(args.find("{out}"), 5, shellQuote(link));
    const CliResult r = runCli(args, CliStderr::Separate);
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.err.find("which is being read"), std::string::npos) << r.err;
    EXPECT_EQ(readFile(c.input), before);
    EXPECT_EQ(inode(link), ino);  // the link still names the input, not a new file
    // The same command with an unrelated output works.
    std::string ok = c.args;
    ok.replace(ok.find("{in}"), 4, shellQuote(c.input));
    ok.replace(ok.find("{out}"), 5, shellQuote(tmp / ("out_" + std::to_string(&c - cases))));
    const CliResult good = runCli(ok);
    EXPECT_EQ(good.status, 0) << good.out;
    EXPECT_GT(fs::file_size(tmp / ("out_" + std::to_string(&c - cases))), 0u);
  }
}

// A full output disk during "demux" keeps the earlier output whole and fails.
TEST(OutputSafety, DemuxOverAnExistingOutputOnAFullDiskKeepsIt) {
  TempDir tmp;
  const fs::path bdmv = tmp / "demo" / "BDMV";
  fs::create_directories(bdmv);
  const std::string make = std::string("'") + MORVEX_MAKE_DEMO_PATH + "' " + shellQuote(bdmv) + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(make.c_str()), 0);
  const fs::path stream = bdmv / "STREAM" / "00010.m2ts";
  SmallDisk disk(16 * 1024);
  if (!disk.mounted()) GTEST_SKIP() << "no small file system can be mounted here (the engine tests cover it)";
  writeFile(disk / "out.mnu", {1, 2, 3});
  disk.fill(512);
  const CliResult r =
      runCli("demux " + shellQuote(stream) + " --pid 0x1400 -o " + shellQuote(disk / "out.mnu"), CliStderr::Separate);
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_EQ(readFile(disk / "out.mnu"), (std::vector<uint8_t>{1, 2, 3}));
}

#endif

// morvex-cli disasm, run and regs, run as the real executable.
#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>

#include "core/binary.h"
#include "support/test_support.h"
#include "cli/run_cli.h"

namespace fs = std::filesystem;
using morvex::test::TempDir;

namespace {

using Result = morvex::test::CliResult;

// Runs morvex-cli with the arguments (already quoted as needed); stderr goes to stdout.
Result cli(const std::string& args) { return morvex::test::runCli(args); }

std::string q(const fs::path& p) { return "'" + p.string() + "'"; }

fs::path fixtureMobj(const std::string& disc) {
  return *morvex::test::fixturesDir() / "discs" / disc / "BDMV" / "MovieObject.bdmv";
}

// A movie-object file with one object holding the given commands (12 bytes each).
void writeMobj(const fs::path& p, const std::vector<std::array<uint32_t, 3>>& cmds) {
  morvex::core::ByteWriter w;
  w.addString("MOBJ", 4);
  w.addString("0200", 4);
  w.addU32(0);
  w.addZeros(28);
  w.addU32(static_cast<uint32_t>(6 + 4 + 12 * cmds.size()));
  w.addU32(0);
  w.addU16(1);
  w.addU16(0);
  w.addU16(static_cast<uint32_t>(cmds.size()));
  for (const auto& c : cmds) {
    w.addU32(c[0]);
    w.addU32(c[1]);
    w.addU32(c[2]);
  }
  morvex::test::writeFile(p, w.take());
}

bool contains(const std::string& text, const std::string& line) { return text.find(line) != std::string::npos; }

}  // namespace

TEST(CliDisasm, EveryFixtureDiscDisassembles) {
  MORVEX_REQUIRE_FIXTURES();
  const auto files = morvex::test::fixtureFiles("MovieObject.bdmv");
  ASSERT_FALSE(files.empty());
  for (const auto& f : files) {
    if (f.parent_path().filename() == "BACKUP") continue;
    const Result r = cli("disasm " + q(f));
    EXPECT_EQ(r.status, 0) << f << "\n" << r.out.substr(0, 400);
    EXPECT_TRUE(contains(r.out, "; MovieObject 000: ")) << f;
  }
}

TEST(CliDisasm, RealRowsMatchTheirBitLayout) {
  MORVEX_REQUIRE_FIXTURES();
  const std::string seven = "       ";
  struct Sample {
    std::string disc;
    int object;
    std::string row;
  } samples[] = {
      {"disc1", 0, "0002  [21810000,00000001 ,00000000]  Jump Title 1"},
      {"disc1", 1, "0040  [51400001,8008C006 ,00000000 ]  SetStream GPR8, GPR6, (0), (0)"},
      {"disc1", 1, "0011  [51C00001,80018001 ,00000000 ]  SetStream 1, 1, (0), (0)"},
      {"disc1", 1, "0021  [50400009,00000007 ,80000FFF ]  And GPR7, 2147487743"},
      {"disc1", 2, "0016  [50000001,00000001 ,80000004 ]  Move GPR1, PSR4" + seven +
                       ";PSR4: Title Number (b15-b0) {1-999,$ffff}"},
      {"disc1", 2, "0020  [42820000,00000002 ,00000003 ]  Play PL_MK 2, GPR3"},
      {"disc10", 1, "0044  [51400001,8006801E ,00000000 ]  SetStream GPR6, GPR30, (0), (0)"},
      {"disc26", 1, "0002  [50000001,00000005 ,80000025 ]  Move GPR5, PSR37" + seven +
                        ";PSR37: Back-up Register for PSR5"},
      {"disc26", 1, "0020  [00020000,00000000,00000000]  Break"},
      {"disc26", 2, "0029  [48400700,00000002 ,80000001 ]  LT GPR2, 2147483649"},
  };
  for (const auto& s : samples) {
    const Result r = cli("disasm " + q(fixtureMobj(s.disc)) + " --object " + std::to_string(s.object));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(contains(r.out, "\n" + s.row + "\n")) << s.disc << " object " << s.object << ": " << s.row;
  }
}

TEST(CliDisasm, ProgramFilesAndErrors) {
  TempDir dir;
  const fs::path mobj = dir / "MovieObject.bdmv";
  writeMobj(mobj, {{0x20810000u, 5, 0}, {0x50400001u, 0x80000010u, 0x00656E67u}});
  Result r = cli("disasm " + q(mobj) + " --object 0 -o " + q(dir / "p.lst"));
  ASSERT_EQ(r.status, 0) << r.out;
  const auto lst = morvex::test::readFile(dir / "p.lst");
  const std::string text(lst.begin(), lst.end());
  EXPECT_TRUE(contains(text, ";             MovieObject program list by Morvex\r\n"));
  EXPECT_TRUE(contains(text, "\r\n0000  [20810000,00000005 ,00000000]  GoTo 5\r\n"));
  EXPECT_TRUE(contains(text, "0001  [50400001,80000010 ,00656E67 ]  Move PSR16, 6647399       ;PSR16: Language "
                             "Code for Audio (b23-b0)  [eng]\r\n"));
  r = cli("disasm " + q(mobj) + " --object 0 --format bin -o " + q(dir / "p.bin"));
  ASSERT_EQ(r.status, 0) << r.out;
  const auto bin = morvex::test::readFile(dir / "p.bin");
  ASSERT_EQ(bin.size(), 24u);
  EXPECT_EQ(bin[0], 0x20);
  EXPECT_EQ(bin[15], 0x01);
  EXPECT_EQ(bin[16], 0x80);
  // Failures write nothing and exit non-zero.
  r = cli("disasm " + q(mobj) + " --object 1 -o " + q(dir / "none.lst"));
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(contains(r.out, "object 1 not found (the file has 1 objects)"));
  EXPECT_FALSE(fs::exists(dir / "none.lst"));
  morvex::test::writeFile(dir / "bad.bdmv", {'I', 'N', 'D', 'X', '0', '2', '0', '0'});
  r = cli("disasm " + q(dir / "bad.bdmv"));
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(contains(r.out, "Format error"));
  // A file cut inside its commands is not shown as if whole; --force shows what was
  // read, and the status still says the read was partial.
  auto bytes = morvex::test::readFile(mobj);
  bytes.resize(bytes.size() - 8);
  morvex::test::writeFile(dir / "short.bdmv", bytes);
  r = cli("disasm " + q(dir / "short.bdmv"));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_TRUE(contains(r.out, "short.bdmv ends early"));
  EXPECT_FALSE(contains(r.out, "GoTo 5"));
  r = cli("disasm --force " + q(dir / "short.bdmv"));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_TRUE(contains(r.out, "GoTo 5"));
}

TEST(CliRun, ReportsAndChangedRegisters) {
  TempDir dir;
  const fs::path mobj = dir / "MovieObject.bdmv";
  writeMobj(mobj, {{0x50000003u, 7, 8},             // Add GPR7, GPR8
                   {0x48400500u, 7, 10},            // GT GPR7, 10
                   {0x21810000u, 3, 0},             // Jump Title 3
                   {0x22800000u, 0x00000009u, 0}}); // Play PL 9 (reached when GT fails)
  Result r = cli("run " + q(mobj) + " --object 0 --set GPR7=5 --set GPR8=0x10");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "Jump Title 3\nChanged registers:\n  PSR4: 00000003 (3)\n  GPR7: 00000015 (21)\n");
  r = cli("run " + q(mobj) + " --object 0 --trace");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out,
            "Line 0000 : 50000003 00000007  00000008  : Add GPR7, GPR8\n"
            "Line 0001 : 48400500 00000007  0000000A  : GT GPR7, 10\n"
            "Line 0003 : 22800000 00000009  00000000 : Play PL 9\n"
            "Play PL 9\n"
            "Changed registers:\n  PSR6: 00000009 (9)\n");
  r = cli("run " + q(mobj) + " --object 0 --set GPR4096=1");
  EXPECT_NE(r.status, 0);
  r = cli("run " + q(mobj) + " --object 0 --country 1X");
  EXPECT_NE(r.status, 0);
}

TEST(CliRun, EndlessLoopStopsAtTheStepBudget) {
  TempDir dir;
  const fs::path mobj = dir / "MovieObject.bdmv";
  writeMobj(mobj, {{0x50400003u, 1, 1}, {0x20810000u, 0, 0}});
  const Result r = cli("run " + q(mobj) + " --object 0 --max-steps 1001");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(contains(r.out, "Stopped after 1001 steps at line 1")) << r.out;
  EXPECT_TRUE(contains(r.out, "GPR1: 000001F5 (501)")) << r.out;
}

TEST(CliRegs, ListingFollowsTheOptions) {
  Result r = cli("regs");
  ASSERT_EQ(r.status, 0);
  EXPECT_TRUE(contains(r.out, "PSR19: 00005553 (21843) - Country Code (b15-b0)\n"));
  EXPECT_TRUE(contains(r.out, "PSR20: 00000001 (1) - Region Code (b7-b0) {1,2,4}\n"));
  r = cli("regs --real-psrs --region C --country zz");
  ASSERT_EQ(r.status, 0);
  EXPECT_TRUE(contains(r.out, "PSR4: 00000000 (0) - "));
  EXPECT_TRUE(contains(r.out, "PSR19: 00005A5A (23130) - "));
  EXPECT_TRUE(contains(r.out, "PSR20: 00000004 (4) - "));
  r = cli("regs --region D");
  EXPECT_NE(r.status, 0);
}

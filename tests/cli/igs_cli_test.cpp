// morvex-cli menu ..., run as the real executable.
#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <sys/wait.h>

#include "igs/igs_test_util.h"
#include "igs/objects.h"
#include "igs/reader.h"
#include "igs/rle.h"
#include "igs/writer.h"
#include "support/test_support.h"
#include "cli/run_cli.h"

namespace fs = std::filesystem;
using morvex::test::TempDir;
namespace igs = morvex::igs;

namespace {

using Result = morvex::test::CliResult;

Result run(const std::string& args) { return morvex::test::runCli(args); }

std::string q(const fs::path& p) { return "'" + p.string() + "'"; }

fs::path writeSyntheticMenu(const TempDir& dir) {
  igs::Menu m = igs::test::syntheticMenu(11);
  m.ics.pages[0].bogs[0].buttons[0].commands = {{0x51C00003, 0x80000001, 0x80000000}};
  morvex::core::NullLog log;
  fs::path p = dir / "menu.mnu";
  igs::settleMenu(m, log);
  morvex::test::writeFile(p, igs::writeMenu(m, igs::SaveForm::MenuFile));
  return p;
}

igs::Menu load(const fs::path& p) {
  igs::Menu m;
  morvex::core::NullLog log;
  igs::readMenu(p, m, log);
  return m;
}

TEST(MenuCli, DumpTextAndJson) {
  TempDir dir;
  fs::path menu = writeSyntheticMenu(dir);
  Result text = run("menu dump " + q(menu));
  ASSERT_EQ(text.status, 0) << text.out;
  EXPECT_NE(text.out.find("Menu: 1920x1080, frame rate 23.97 (code 1)"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("  BOG 1: default valid button FFFF, 1 buttons"), std::string::npos);
  EXPECT_NE(text.out.find("0000  51C00003 80000001 80000000  SetButtonPage"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("Object 0005: 55x10"), std::string::npos) << text.out;
  Result js = run("menu dump --json " + q(menu));
  ASSERT_EQ(js.status, 0) << js.out;
  auto j = nlohmann::json::parse(js.out);
  EXPECT_EQ(j["pages"].size(), 2u);
  EXPECT_EQ(j["pages"][0]["bogs"][0]["buttons"][1]["selected"]["repeat"], true);
  EXPECT_EQ(j["pages"][0]["inEffects"]["effects"][0]["objects"][0]["crop"]["width"], 30);
  EXPECT_EQ(j["objects"].size(), 6u);
  EXPECT_EQ(j["palettes"][1]["referenced"], "0i 1i 1");
  // The shared "dump" knows menu files too.
  Result shared = run("dump " + q(menu));
  EXPECT_EQ(shared.status, 0);
  EXPECT_EQ(shared.out, text.out);
  // Not a menu: an error and no output file.
  morvex::test::writeFile(dir / "junk.mnu", {1, 2, 3});
  Result bad = run("menu resave " + q(dir / "junk.mnu") + " -o " + q(dir / "out.mnu"));
  EXPECT_NE(bad.status, 0);
  EXPECT_NE(bad.out.find("not a menu file"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "out.mnu"));
}

TEST(MenuCli, ResaveAndMux) {
  TempDir dir;
  fs::path menu = writeSyntheticMenu(dir);
  Result r = run("menu resave " + q(menu) + " -o " + q(dir / "again.mnu"));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(morvex::test::readFile(dir / "again.mnu"), morvex::test::readFile(menu));
  r = run("menu mux " + q(menu) + " -o " + q(dir / "menu.m2ts"));
  ASSERT_EQ(r.status, 0) << r.out;
  auto ts = morvex::test::readFile(dir / "menu.m2ts");
  ASSERT_FALSE(ts.empty());
  EXPECT_EQ(ts.size() % (192 * 32), 0u);
  EXPECT_NE(r.out.find(std::to_string(ts.size() / 192) + " source packets written"), std::string::npos);
  EXPECT_EQ(ts[4], 0x47);
}

TEST(MenuCli, ExtractAndDumpFromAStream) {
  TempDir dir;
  fs::path menu = writeSyntheticMenu(dir);
  ASSERT_EQ(run("menu mux " + q(menu) + " -o " + q(dir / "00001.m2ts")).status, 0);
  Result r = run("menu extract " + q(dir / "00001.m2ts") + " -o " + q(dir / "out.mnu"));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("PID 1400; menu written to"), std::string::npos) << r.out;
  // The extracted units are the menu file the stream was made from.
  EXPECT_EQ(morvex::test::readFile(dir / "out.mnu"), morvex::test::readFile(menu));
  Result fromStream = run("menu dump " + q(dir / "00001.m2ts"));
  ASSERT_EQ(fromStream.status, 0) << fromStream.out;
  EXPECT_EQ(fromStream.out, run("menu dump " + q(menu)).out);
  // No menu on another PID: an error and no file.
  r = run("menu extract " + q(dir / "00001.m2ts") + " --pid 0x1401 -o " + q(dir / "none.mnu"));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("no interactive composition on PID 1401"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(dir / "none.mnu"));
}

TEST(MenuCli, ObjectsAndPalettesOutAndIn) {
  TempDir dir;
  fs::path menu = writeSyntheticMenu(dir);
  Result r = run("menu export-objects " + q(menu) + " --palette 1 -o " + q(dir / "pics"));
  ASSERT_EQ(r.status, 0) << r.out;
  fs::path pic3 = dir / "pics" / "IGobject_0003_pal_01.png";
  ASSERT_TRUE(fs::exists(pic3));
  auto png = igs::readPalettePng(morvex::test::readFile(pic3));
  ASSERT_TRUE(png);
  igs::Menu m = load(menu);
  morvex::core::NullLog log;
  igs::rle_decode(m, 3, log);
  EXPECT_EQ(png->picture, *m.objects[3].picture);
  EXPECT_EQ(png->colours, m.palettes[1].rgbt);

  EXPECT_NE(run("menu export-objects " + q(menu) + " --palette 9 -o " + q(dir / "x")).status, 0);
  ASSERT_EQ(run("menu export-palette " + q(menu) + " --palette 1 -o " + q(dir / "p.act")).status, 0);
  EXPECT_EQ(morvex::test::readFile(dir / "p.act"), igs::paletteAct(m.palettes[1]));
  ASSERT_EQ(run("menu export-palette " + q(menu) + " -o " + q(dir / "p.pxml")).status, 0);
  auto pxml = morvex::test::readFile(dir / "p.pxml");
  EXPECT_EQ(std::string(pxml.begin(), pxml.end()), igs::palettePxml(m.palettes[0]));
  EXPECT_NE(run("menu export-palette " + q(menu) + " -o " + q(dir / "p.txt")).status, 0);

  // Import as a new object and palette, then over object 3 and palette 0.
  r = run("menu import-object " + q(menu) + " " + q(pic3) + " -o " + q(dir / "plus.mnu"));
  ASSERT_EQ(r.status, 0) << r.out;
  igs::Menu plus = load(dir / "plus.mnu");
  ASSERT_EQ(plus.objects.size(), 7u);
  ASSERT_EQ(plus.palettes.size(), 3u);
  igs::rle_decode(plus, 6, log);
  EXPECT_EQ(*plus.objects[6].picture, *m.objects[3].picture);
  r = run("menu import-object " + q(menu) + " " + q(pic3) + " --replace-object 0 --replace-palette 0 -o " +
          q(dir / "repl.mnu"));
  ASSERT_EQ(r.status, 0) << r.out;
  igs::Menu repl = load(dir / "repl.mnu");
  EXPECT_EQ(repl.objects.size(), 6u);
  igs::rle_decode(repl, 0, log);
  EXPECT_EQ(*repl.objects[0].picture, *m.objects[3].picture);
  // The colours were stored as Y, Cr, Cb giving the PNG's RGB (a replaced entry keeps
  // its old Y, Cr, Cb when that already gives the same RGB).
  const auto& c = m.palettes[1].rgbt[1];
  const igs::Ycc& stored = repl.palettes[0].ycc[1];
  // The menu's video is 1080 lines: its palettes are in BT.709.
  const igs::ColourMatrix mx = igs::menuMatrix(repl);
  EXPECT_EQ(mx, igs::ColourMatrix::Bt709);
  EXPECT_EQ(igs::ycc2rgb(stored.y, stored.cr, stored.cb, mx), (igs::Rgb8{c.r, c.g, c.b}));
  const igs::Ycc& before = m.palettes[0].ycc[1];
  if (igs::ycc2rgb(before.y, before.cr, before.cb, mx) != igs::Rgb8{c.r, c.g, c.b})
    EXPECT_EQ(stored, igs::rgb2ycc(c.r, c.g, c.b, mx));
  EXPECT_EQ(repl.palettes[0].rgbt[1].t, c.t);
  // A picture larger than the video is refused and nothing is written.
  igs::IndexedPicture big{1921, 2, std::vector<uint8_t>(1921 * 2, 1)};
  morvex::test::writeFile(dir / "big.png", igs::writePalettePng(big, igs::PaletteTable{}, "t"));
  r = run("menu import-object " + q(menu) + " " + q(dir / "big.png") + " -o " + q(dir / "big.mnu"));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("Not supported file format!"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(dir / "big.mnu"));
  EXPECT_NE(run("menu import-object " + q(menu) + " " + q(pic3) + " --replace-object 99 -o " + q(dir / "n.mnu")).status, 0);
}

}  // namespace

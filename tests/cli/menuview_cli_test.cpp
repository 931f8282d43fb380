// "menu render" and "menu play" through the real executable, on a menu file written
// with the project's own writer.
#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>

#include "core/log.h"
#include "igs/colour.h"
#include "igs/mux.h"
#include "igs/writer.h"
#include "menuview/picture_io.h"
#include "sound/sound.h"
#include "support/test_support.h"
#include "cli/run_cli.h"

using namespace morvex;
using morvex::menuview::Image;
using morvex::menuview::Rgba;

namespace {

using morvex::test::CliResult;
using morvex::test::runCli;

// Palette entries chosen so the YCrCb round trip of the writer is exact or known.
Rgba viaYcc(uint8_t r, uint8_t g, uint8_t b) {
  const igs::Ycc y = igs::rgb2ycc(r, g, b);
  const igs::Rgb8 c = igs::ycc2rgb(y.y, y.cr, y.cb);
  return Rgba{c.r, c.g, c.b, 255};
}

igs::Button button(uint16_t id, uint16_t x, uint16_t y, hdmv::CommandList cmds) {
  igs::Button b;
  b.id = id;
  b.x = x;
  b.y = y;
  b.upper = b.lower = b.left = b.right = id;
  b.normalStart = b.normalEnd = 0;
  b.selectedStart = b.selectedEnd = 1;
  b.activatedStart = b.activatedEnd = 2;
  b.commands = std::move(cmds);
  b.numCommands = uint16_t(b.commands.size());
  return b;
}

// Page 0: buttons 0 at (730, 430) and 1 at (970, 430), neighbours left/right; button 1
// sets GPR 5 = 77 and shows page 1, button 0. Page 1: button 0 at (850, 600).
// Objects 100 x 50: 0 white (normal), 1 black (selected), 2 mid grey (activated).
// With `endless`, button 0 of page 0 is an auto-action button whose program selects
// it again with SetButtonPage, which restarts the program for ever.
// With `withoutObjects`, the menu keeps its composition but has no objects, as a
// composition read from a disc whose pictures live elsewhere.
std::filesystem::path writeTestMenu(const std::filesystem::path& dir, bool endless = false, bool withoutObjects = false) {
  igs::Menu m;
  m.loaded = true;
  m.ics.width = 1920;
  m.ics.height = 1080;
  m.ics.frameRateCode = 2;
  m.ics.model = 2;
  m.palettes.resize(1);
  m.palettes[0].rgbt[1] = {255, 255, 255, 255};
  m.palettes[0].rgbt[2] = {0, 0, 0, 255};
  m.palettes[0].rgbt[3] = {128, 128, 128, 255};
  m.objects.resize(3);
  for (uint16_t i = 0; i < 3; ++i) {
    igs::GraphicsObject& o = m.objects[i];
    o.id = i;
    o.width = 100;
    o.height = 50;
    o.picture = igs::IndexedPicture{100, 50, std::vector<uint8_t>(5000, uint8_t(i + 1))};
  }
  m.ics.pages.resize(2);
  igs::Page& p0 = m.ics.pages[0];
  p0.id = 0;
  p0.defaultSelected = 0;
  p0.bogs.resize(2);
  p0.bogs[0].defaultValid = 0;
  p0.bogs[0].buttons.push_back(button(0, 730, 430, {hdmv::Command{0x50400001, 1, 1}}));
  p0.bogs[0].buttons[0].right = 1;
  if (endless) {
    p0.bogs[0].buttons[0].autoAction = 1;
    p0.bogs[0].buttons[0].commands = {hdmv::Command{0x51C00003, 0x80000000, 0x80000000}};
    p0.bogs[0].buttons[0].numCommands = 1;
  }
  p0.bogs[1].defaultValid = 1;
  p0.bogs[1].buttons.push_back(
      button(1, 970, 430, {hdmv::Command{0x50400001, 5, 77}, hdmv::Command{0x51C00003, 0x80000000, 0x80000001}}));
  p0.bogs[1].buttons[0].left = 0;
  p0.bogs[1].buttons[0].selectedSound = 1;
  igs::Page& p1 = m.ics.pages[1];
  p1.id = 1;
  p1.defaultSelected = 0;
  p1.bogs.resize(1);
  p1.bogs[0].defaultValid = 0;
  p1.bogs[0].buttons.push_back(button(0, 850, 600, {hdmv::Command{0x50400001, 2, 2}}));
  m.ics.numPages = 2;
  for (auto& p : m.ics.pages) {
    p.numBOGs = uint8_t(p.bogs.size());
    for (auto& g : p.bogs) g.numButtons = uint8_t(g.buttons.size());
    m.pageButtons.push_back(igs::buildPageButtons(p));
  }
  if (withoutObjects) m.objects.clear();
  core::MemoryLog log;
  const auto file = dir / "MENU.mnu";
  EXPECT_TRUE(igs::saveMenuFile(m, dir, "MENU.mnu", core::SaveSettings{.backup = false}, log)) << log.text();
  // The same menu as a menu-only AV stream.
  EXPECT_TRUE(igs::muxMenuToFile(m, dir / "00001.m2ts", log)) << log.text();
  return file;
}

Image readPng(const std::filesystem::path& f) {
  Image img;
  std::string err;
  EXPECT_TRUE(menuview::loadPicture(f, img, err)) << err;
  return img;
}

}  // namespace

TEST(MenuViewCli, RenderComposesSelectionActivationOverlaysAndFit) {
  test::TempDir tmp;
  const auto menu = writeTestMenu(tmp.path());
  const Rgba white = viaYcc(255, 255, 255), black = viaYcc(0, 0, 0), grey = viaYcc(128, 128, 128);

  auto r = runCli("menu render '" + menu.string() + "' -o '" + (tmp / "p.png").string() + "'");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("PSR10: 0000 (0), PSR11: 00 (0)"), std::string::npos) << r.out;
  Image page = readPng(tmp / "p.png");
  ASSERT_EQ(page.width(), 1920);
  ASSERT_EQ(page.height(), 1080);
  EXPECT_EQ(page.pixel(735, 435), black);  // default selected button 0
  EXPECT_EQ(page.pixel(975, 435), white);  // button 1 normal

  r = runCli("menu render '" + menu.string() + "' --select 1 --activate --overlay ids,frames -o '" +
             (tmp / "a.png").string() + "'");
  ASSERT_EQ(r.status, 0) << r.out;
  page = readPng(tmp / "a.png");
  EXPECT_EQ(page.pixel(735, 435), white);
  // The activated animation draws the bare objects over the selected state.
  EXPECT_EQ(page.pixel(985, 470), grey);
  EXPECT_EQ(page.pixel(730, 479), (Rgba{192, 192, 192, 255}));  // normal frame, silver
  EXPECT_EQ(page.pixel(733, 433), (Rgba{255, 255, 255, 255}));  // normal label, white

  // A user background: a PNG with one half-transparent pixel over the navy colour.
  Image back(2, 2, Rgba{255, 255, 255, 255});
  back.setPixel(1, 1, Rgba{255, 255, 255, 128});
  const core::WriteResult saved = menuview::savePng(back, tmp / "back.png");
  ASSERT_TRUE(saved) << saved.error;
  r = runCli("menu render '" + menu.string() + "' --background '" + (tmp / "back.png").string() + "' -o '" +
             (tmp / "b.png").string() + "'");
  ASSERT_EQ(r.status, 0) << r.out;
  page = readPng(tmp / "b.png");
  EXPECT_EQ(page.pixel(0, 0), (Rgba{255, 255, 255, 255}));
  EXPECT_EQ(page.pixel(1, 1), (Rgba{128, 128, 192, 255}));
  EXPECT_EQ(page.pixel(2, 2), (Rgba{0, 0, 128, 255}));

  r = runCli("menu render '" + menu.string() + "' --page 1 --fit 962x542 -o '" + (tmp / "f.png").string() + "'");
  ASSERT_EQ(r.status, 0) << r.out;
  page = readPng(tmp / "f.png");
  ASSERT_EQ(page.width(), 962);
  ASSERT_EQ(page.height(), 542);
  EXPECT_EQ(page.pixel(0, 0), (Rgba{0, 0, 0, 255}));   // surround
  EXPECT_EQ(page.pixel(1 + 430, 1 + 305), black);      // page (860, 610): selected
}

TEST(MenuViewCli, RenderReadsTheMenuOfAnAvStream) {
  test::TempDir tmp;
  writeTestMenu(tmp.path());
  auto r = runCli("menu render '" + (tmp / "00001.m2ts").string() + "' --select 1 -o '" + (tmp / "s.png").string() +
                  "'");
  ASSERT_EQ(r.status, 0) << r.out;
  const Image page = readPng(tmp / "s.png");
  EXPECT_EQ(page.pixel(735, 435), viaYcc(255, 255, 255));
  EXPECT_EQ(page.pixel(975, 435), viaYcc(0, 0, 0));
  // A stream without the menu PID is refused.
  test::writeFile(tmp / "empty.m2ts", std::vector<uint8_t>(192 * 4, 0));
  r = runCli("menu render '" + (tmp / "empty.m2ts").string() + "' -o '" + (tmp / "e.png").string() + "'");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("no interactive composition on PID 1400"), std::string::npos) << r.out;
  EXPECT_FALSE(std::filesystem::exists(tmp / "e.png"));
}

TEST(MenuViewCli, RenderRefusesBadInputAndWritesNothing) {
  test::TempDir tmp;
  const auto menu = writeTestMenu(tmp.path());
  const auto out = tmp / "x.png";
  EXPECT_NE(runCli("menu render '" + (tmp / "none.mnu").string() + "' -o '" + out.string() + "'").status, 0);
  EXPECT_NE(runCli("menu render '" + menu.string() + "' --page 2 -o '" + out.string() + "'").status, 0);
  EXPECT_NE(runCli("menu render '" + menu.string() + "' --overlay ids,bogus -o '" + out.string() + "'").status, 0);
  EXPECT_NE(runCli("menu render '" + menu.string() + "' --fit 100 -o '" + out.string() + "'").status, 0);
  EXPECT_NE(runCli("menu render '" + menu.string() + "' --background '" + (tmp / "none.png").string() + "' -o '" +
                   out.string() + "'").status, 0);
  test::writeFile(tmp / "junk.mnu", {'X', 'Y', 0, 0, 0, 0, 0, 0, 0, 0, 0x18, 0, 0});
  EXPECT_NE(runCli("menu render '" + (tmp / "junk.mnu").string() + "' -o '" + out.string() + "'").status, 0);
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(MenuViewCli, PlayPrintsRunsRegisterAndPageChanges) {
  test::TempDir tmp;
  const auto menu = writeTestMenu(tmp.path());
  auto r = runCli("menu play '" + menu.string() + "' --keys \"R,Sel\" --trace -o '" + (tmp / "final.png").string() +
                  "'");
  ASSERT_EQ(r.status, 0) << r.out;
  const std::string& o = r.out;
  const auto at = [&](const std::string& s) { return o.find(s); };
  ASSERT_NE(at("Start\n"), std::string::npos) << o;
  ASSERT_NE(at("PSR10: 0000FFFF -> 00000000 (0)"), std::string::npos) << o;
  ASSERT_NE(at("R\n  PSR10: 00000000 -> 00000001 (1)"), std::string::npos) << o;
  ASSERT_NE(at("Run button 0001"), std::string::npos) << o;
  EXPECT_EQ(at("Sound"), std::string::npos) << o;  // no sound file: no sounds
  ASSERT_NE(at("GPR5: 00000000 -> 0000004D (77)"), std::string::npos) << o;
  ASSERT_NE(at("Page: 1"), std::string::npos) << o;
  ASSERT_NE(at("PSR11: 00000000 -> 00000001 (1)"), std::string::npos) << o;
  EXPECT_LT(at("Run button 0001"), at("0001 0000  "));
  EXPECT_LT(at("0001 0001  "), at("Page: 1"));
  EXPECT_NE(at("Final: PSR10: 0000 (0), PSR11: 01 (1)"), std::string::npos) << o;
  // Trace lists the commands run, with their line numbers.
  EXPECT_NE(at("0001 0000  "), std::string::npos) << o;
  EXPECT_NE(at("0001 0001  "), std::string::npos) << o;
  const Image page = readPng(tmp / "final.png");
  EXPECT_EQ(page.pixel(855, 605), viaYcc(0, 0, 0));  // page 1's button, selected

  // With a sound file of two entries, selecting button 1 plays its sound 1.
  sound::SoundFile snd = sound::newSoundFile();
  snd.entries.resize(2);
  for (auto& e : snd.entries) e.data.assign(96, 0);
  sound::settleSoundFile(snd);
  test::writeFile(tmp / "sound.bdmv", sound::writeSoundFile(snd));
  r = runCli("menu play '" + menu.string() + "' --keys R --sounds '" + (tmp / "sound.bdmv").string() + "'");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("R\n  Sound 1\n"), std::string::npos) << r.out;

  r = runCli("menu play '" + menu.string() + "' --keys \"R,Jump\"");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.out.find("unknown key \"Jump\""), std::string::npos) << r.out;
}

TEST(MenuViewCli, PlayPausesAnEndlessProgramAfterMaxStepsWithABoundedTrace) {
  test::TempDir tmp;
  const auto menu = writeTestMenu(tmp.path(), true);
  auto r = runCli("menu play '" + menu.string() + "' --keys Sel --max-steps 300");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("Paused after 300 commands"), std::string::npos) << r.out;

  // A trace lists at most 10000 commands however long the program runs.
  r = runCli("menu play '" + menu.string() + "' --keys Sel --trace --max-steps 25000");
  ASSERT_EQ(r.status, 0) << r.out.substr(0, 2000);
  EXPECT_NE(r.out.find("Paused after 25000 commands"), std::string::npos);
  EXPECT_NE(r.out.find("trace stops listing commands after 10000"), std::string::npos);
  size_t commandLines = 0;
  for (size_t at = r.out.find("\n  0000 "); at != std::string::npos; at = r.out.find("\n  0000 ", at + 1))
    ++commandLines;
  EXPECT_EQ(commandLines, 10000u);
  EXPECT_LT(r.out.size(), 4u << 20);
}

TEST(MenuViewCli, RenderDrawsPlaceholdersForMissingObjectsWhenAsked) {
  test::TempDir tmp;
  const auto menu = writeTestMenu(tmp.path(), false, true);
  auto r = runCli("menu render '" + menu.string() + "' -o '" + (tmp / "bare.png").string() + "'");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("objects missing: not drawn"), std::string::npos) << r.out;
  r = runCli("menu render '" + menu.string() + "' --placeholders -o '" + (tmp / "marked.png").string() + "'");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("objects missing: drawn as placeholders"), std::string::npos) << r.out;
  const Image bare = readPng(tmp / "bare.png"), marked = readPng(tmp / "marked.png");
  // Button 0 (selected) and button 1 (normal) at their positions, in their states'
  // frame colours; the bare picture has nothing there.
  EXPECT_EQ(marked.pixel(730, 430), (Rgba{255, 255, 0, 255}));
  EXPECT_EQ(marked.pixel(970, 430), (Rgba{192, 192, 192, 255}));
  EXPECT_NE(bare.pixel(730, 430), marked.pixel(730, 430));
  EXPECT_EQ(bare.pixel(1500, 900), marked.pixel(1500, 900));
}

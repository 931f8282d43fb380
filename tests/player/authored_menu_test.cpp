// Menus made by "menu author" played by the system's Blu-ray player library in
// navigation mode: the demo disc with its Top Menu and First Play taken away, and a
// disc of three titles made here. The player must draw one button per title, move the
// selection as the layout says, start the title whose button is pressed and, with
// --return-to-menu, come back to the menu when the title ends. The authored disc must
// also pass the disc checker.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "author/menu_author.h"
#include "check/checker.h"
#include "core/save.h"
#include "nav/index.h"
#include "player_harness.h"
#include "support/av_disc.h"
#include "support/test_support.h"

namespace {

using namespace morvex;
using namespace morvex::test::player;
namespace fs = std::filesystem;

int runCli(const std::string& args) {
  const std::string cmd = std::string("\"") + MORVEX_CLI_PATH + "\" " + args + " > /dev/null 2>&1";
  return std::system(cmd.c_str());
}

// What a button shows on the IG plane, judged from the plate's colour beside the label:
// dark blue when normal, gold when selected, white when activated.
enum class Face { None, Normal, Selected, Activated };

Face faceOnPlane(const Plane& plane, const author::PlannedButton& b) {
  const int x = b.x + 8, y = b.y + b.height / 2;
  if (x >= plane.width || y >= plane.height) return Face::None;
  const auto& p = plane.px[size_t(y) * plane.width + x];
  if (p[3] == 0) return Face::None;
  if (p[0] > 220 && p[1] > 220 && p[2] > 220) return Face::Activated;
  if (p[0] > 180 && p[1] > 120 && p[2] < 110) return Face::Selected;
  if (p[0] < 100 && p[1] < 100) return Face::Normal;
  return Face::None;
}

// The one selected button among `buttons` (-1 none, -2 several); `drawn` counts the
// buttons the plane shows at all.
int selectedOnPlane(const Plane& plane, const std::vector<author::PlannedButton>& buttons, size_t* drawn = nullptr) {
  int sel = -1;
  size_t shown = 0;
  for (size_t i = 0; i < buttons.size(); ++i) {
    const Face f = faceOnPlane(plane, buttons[i]);
    shown += f != Face::None;
    if (f == Face::Selected) sel = sel == -1 ? int(i) : -2;
  }
  if (drawn) *drawn = shown;
  return sel;
}

struct Authoring {
  std::vector<author::PlannedButton> buttons;  // page 0's
  std::vector<int> titles;                     // the title of each of them
  std::vector<author::PlannedButton> all;      // every page's
  uint32_t menuPlaylist = 0;
  std::vector<author::PlannedButton> page(size_t n) const {
    std::vector<author::PlannedButton> out;
    for (const auto& b : all)
      if (b.page == n) out.push_back(b);
    return out;
  }
};

// Plans the menu (for where its buttons are), authors it with the command line and
// checks the result with the disc checker.
Authoring authorWithCli(const fs::path& disc, const std::string& flags, const author::AuthorOptions& options) {
  Authoring a;
  core::NullLog quiet;
  const author::MenuPlan plan = author::planMenu(disc, options, quiet);
  EXPECT_TRUE(plan.ok) << plan.error;
  a.all = plan.buttons;
  for (const auto& b : plan.buttons)
    if (b.page == 0) a.buttons.push_back(b), a.titles.push_back(b.title);
  EXPECT_EQ(runCli("menu author \"" + disc.string() + "\" " + flags), 0);
  a.menuPlaylist = uint32_t(std::stoul(plan.menuPlaylist.empty() ? "0" : plan.menuPlaylist));
  const check::CheckReport report = check::checkDisc(disc);
  EXPECT_TRUE(report.checked) << report.failure;
  for (const auto& f : report.findings)
    EXPECT_NE(f.severity, core::Severity::Error) << f.file << " " << f.location << ": " << f.message;
  return a;
}

// Opens the disc and waits for the menu: every button drawn, the first selected.
void waitForMenu(Player& p, const Authoring& a) {
  size_t drawn = 0;
  ASSERT_TRUE(p.run(8000, [&] { return selectedOnPlane(p.seen().plane, a.buttons, &drawn) == 0 && drawn == a.buttons.size(); }))
      << "the menu never showed its " << a.buttons.size() << " buttons with the first selected (opened: "
      << p.seen().opened << ", " << p.seen().draws.size() << " draws, " << drawn << " buttons drawn, selected "
      << selectedOnPlane(p.seen().plane, a.buttons) << ")";
  EXPECT_TRUE(p.sawEvent(BD_EVENT_PLAYLIST, a.menuPlaylist)) << "the menu playlist was not played";
}

// Presses `key` and waits until `want` is the selected button.
void move(Player& p, const Authoring& a, uint32_t key, int want, const char* name) {
  p.key(key);
  const bool reached = p.run(2000, [&] { return selectedOnPlane(p.seen().plane, a.buttons) == want; });
  EXPECT_TRUE(reached) << name << " should select button " << want << "; selected: "
                       << selectedOnPlane(p.seen().plane, a.buttons);
  // A key that must not move the selection leaves it in place a while.
  p.run(150);
  EXPECT_EQ(selectedOnPlane(p.seen().plane, a.buttons), want) << "after " << name;
}

bool removeTopMenu(const fs::path& bdmv) {
  core::Bytes b;
  std::string err;
  nav::IndexTable indx;
  core::NullLog quiet;
  if (!core::readWholeFile(bdmv / "index.bdmv", b, err) || !nav::readIndexTable(b, "index.bdmv", indx, quiet).complete())
    return false;
  indx.indexes.topMenu.objectId = 0xFFFF;
  indx.indexes.firstPlayback.objectId = 0xFFFF;
  core::SaveSettings s;
  s.backup = false;
  s.saveBackupDir = true;
  return nav::saveIndexTable(indx, bdmv, "index.bdmv", s, quiet).ok;
}

}  // namespace

TEST(AuthoredMenu, DemoWithoutItsMenuGetsOneThatPlays) {
  morvex::test::TempDir dir;
  const fs::path disc = makeDemo(dir);
  if (disc.empty()) MORVEX_SKIP_OR_FAIL("the demo disc could not be generated (ffmpeg missing?)");
  ASSERT_TRUE(removeTopMenu(disc / "BDMV"));
  author::AuthorOptions o;
  o.firstPlay = true;
  const Authoring a = authorWithCli(disc, "--first-play", o);
  // The demo's titles 1, 2 and 4 play playlists; title 3 is a BD-J game.
  ASSERT_EQ(a.titles, (std::vector<int>{1, 2, 4}));

  Player p(disc);
  ASSERT_TRUE(p.playing()) << "bd_play refused " << disc;
  waitForMenu(p, a);
  // A column: Down and Up walk it, Left and Right stay.
  move(p, a, BD_VK_DOWN, 1, "Down");
  move(p, a, BD_VK_DOWN, 2, "Down");
  move(p, a, BD_VK_DOWN, 2, "Down at the bottom");
  move(p, a, BD_VK_RIGHT, 2, "Right in a column");
  move(p, a, BD_VK_UP, 1, "Up");
  move(p, a, BD_VK_LEFT, 1, "Left in a column");
  move(p, a, BD_VK_UP, 0, "Up");
  p.seen().events.clear();
  p.key(BD_VK_ENTER);
  EXPECT_TRUE(p.run(4000, [&] { return p.sawEvent(BD_EVENT_PLAYLIST, 1); })) << "Enter on title 1 did not play 00001";
  EXPECT_TRUE(p.sawEvent(BD_EVENT_TITLE, 1)) << "Enter on title 1 did not start title 1";
}

// The buttons fade in (an in-effect of three steps) before the menu takes keys.
TEST(AuthoredMenu, ThreeTitlesInAGridStartEachAndComeBack) {
  morvex::test::TempDir dir;
  const fs::path disc = dir.path() / "three";
  std::string err;
  if (!morvex::test::writeAvDisc(disc / "BDMV", {3, 1.0, 0}, err)) MORVEX_SKIP_OR_FAIL(err);
  author::AuthorOptions o;
  o.layout = author::Layout::Grid;
  o.firstPlay = o.returnToMenu = o.fadeIn = true;
  o.titles = {{1, "The first", false}, {2, "", false}, {3, "", false}};
  const Authoring a =
      authorWithCli(disc, "--layout grid --fade-in --first-play --return-to-menu --title \"1=The first\" --title 2 --title 3", o);
  ASSERT_EQ(a.titles, (std::vector<int>{1, 2, 3}));
  ASSERT_EQ(a.menuPlaylist, 4u);

  Player p(disc);
  ASSERT_TRUE(p.playing()) << "bd_play refused " << disc;
  waitForMenu(p, a);
  // The fade: the plates were drawn through palettes of partial opacity first.
  size_t faded = 0;
  for (const Draw& d : p.seen().draws) {
    if (d.palette.empty()) continue;
    uint8_t most = 0;
    for (uint8_t px : d.pixels) most = std::max(most, d.palette[px].T);
    faded += most > 0 && most < 200;
  }
  EXPECT_GE(faded, 1u) << "no draw of the buttons at partial opacity: the fade-in was not played";
  // One row of three: Right and Left walk it, Up and Down stay.
  move(p, a, BD_VK_RIGHT, 1, "Right");
  move(p, a, BD_VK_RIGHT, 2, "Right");
  move(p, a, BD_VK_DOWN, 2, "Down in a single row");
  move(p, a, BD_VK_LEFT, 1, "Left");
  move(p, a, BD_VK_UP, 1, "Up in a single row");

  // Enter on the second button starts title 2; when its second of video ends, the
  // title's program jumps back to the menu, which is drawn again.
  p.seen().events.clear();
  p.key(BD_VK_ENTER);
  EXPECT_TRUE(p.run(4000, [&] { return p.sawEvent(BD_EVENT_PLAYLIST, 2); })) << "Enter on button 1 did not play 00002";
  EXPECT_TRUE(p.sawEvent(BD_EVENT_TITLE, 2)) << "Enter on button 1 did not start title 2";
  p.seen().events.clear();
  ASSERT_TRUE(p.run(6000, [&] {
    return p.sawEvent(BD_EVENT_PLAYLIST, a.menuPlaylist) && selectedOnPlane(p.seen().plane, a.buttons) == 0;
  })) << "the menu did not come back after title 2";

  // And from the menu again, the third title.
  move(p, a, BD_VK_RIGHT, 1, "Right");
  move(p, a, BD_VK_RIGHT, 2, "Right");
  p.seen().events.clear();
  p.key(BD_VK_ENTER);
  EXPECT_TRUE(p.run(4000, [&] { return p.sawEvent(BD_EVENT_PLAYLIST, 3); })) << "Enter on button 2 did not play 00003";
  EXPECT_TRUE(p.sawEvent(BD_EVENT_TITLE, 3));
}

// Scenes: title 2's button opens its scenes page; the third button there is the second
// chapter, which plays title 2's playlist from its mark 1 (the mark's number reaches
// the player through a register). Chapters fall on the key frames (one a second, every
// 24th frame at 23.976), so the player's seek lands on the mark itself.
TEST(AuthoredMenu, ASceneButtonPlaysFromItsChapter) {
  morvex::test::TempDir dir;
  const fs::path disc = dir.path() / "scenes";
  std::string err;
  if (!morvex::test::writeAvDisc(disc / "BDMV", {2, 3.0, 1.001}, err)) MORVEX_SKIP_OR_FAIL(err);
  author::AuthorOptions o;
  o.firstPlay = o.scenes = true;
  const Authoring a = authorWithCli(disc, "--first-play --scenes", o);
  ASSERT_EQ(a.titles, (std::vector<int>{2 - 1, 2}));
  // Pages: titles, scenes of title 1, scenes of title 2.
  const auto scenes = a.page(2);
  ASSERT_GE(scenes.size(), 4u);
  EXPECT_EQ(scenes[0].label, "Play from the start");
  EXPECT_EQ(scenes[2].mark, 1u);

  Player p(disc);
  ASSERT_TRUE(p.playing()) << "bd_play refused " << disc;
  waitForMenu(p, a);
  move(p, a, BD_VK_DOWN, 1, "Down");
  p.key(BD_VK_ENTER);
  ASSERT_TRUE(p.run(3000, [&] { return selectedOnPlane(p.seen().plane, scenes) == 0; }))
      << "Enter on title 2 did not show its scenes page with \"Play from the start\" selected";
  Authoring onScenes = a;
  onScenes.buttons = scenes;
  move(p, onScenes, BD_VK_DOWN, 1, "Down");
  move(p, onScenes, BD_VK_DOWN, 2, "Down");
  p.seen().events.clear();
  p.key(BD_VK_ENTER);
  EXPECT_TRUE(p.run(4000, [&] { return p.sawEvent(BD_EVENT_PLAYLIST, 2); })) << "the scene did not play 00002";
  // The seek to the mark: media time (45 kHz from the playlist's start) of the second
  // key frame, 1001/1000 s in.
  auto seekedTo = [&](uint32_t lo, uint32_t hi) {
    for (const auto& [e, v] : p.seen().events)
      if (e == BD_EVENT_SEEK && v >= lo && v <= hi) return true;
    return false;
  };
  p.run(300);
  std::string seen;
  for (const auto& [e, v] : p.seen().events) seen += " " + std::to_string(e) + ":" + std::to_string(v);
  EXPECT_TRUE(seekedTo(44000, 46000)) << "the scene did not start at its mark, 45045; events:" << seen;
}

// Authored menus read back by the navigation walk, which runs the movie objects and
// the menu's button programs as a player would: every scene button must reach its
// chapter mark, every title button its title, and Next / Previous / Back their pages.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "author/menu_author.h"
#include "check/checker.h"
#include "core/log.h"
#include "disc/nav_map.h"
#include "menuview/picture_io.h"
#include "support/av_disc.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace morvex;

TEST(MenuAuthor, ScenesAndPagesAreReachedByTheirButtons) {
  test::TempDir dir;
  const fs::path bdmv = dir.path() / "BDMV";
  std::string err;
  // Two titles of one second with a chapter every quarter second: four marks each.
  if (!test::writeAvDisc(bdmv, {2, 1.0, 0.25}, err)) MORVEX_SKIP_OR_FAIL(err);
  author::AuthorOptions o;
  o.scenes = true;
  o.returnToMenu = true;
  core::NullLog quiet;
  const author::AuthorResult r = author::authorMenu(dir.path(), o, core::SaveSettings{}, quiet);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.menuPlaylist, "00003");

  disc::NavigationDisc d;
  ASSERT_TRUE(disc::loadNavigationDisc(bdmv, d).loaded);
  const disc::NavigationMap map = disc::walkNavigation(d);
  // Pages: the titles, then a scenes page per title, each shown by its title's button.
  for (int page : {0, 1, 2}) EXPECT_TRUE(map.pagesShown.count({r.menuPlaylist, page})) << "page " << page << " never shown";
  std::set<std::pair<std::string, uint32_t>> marks;
  std::set<uint32_t> titles;
  for (const disc::Link& l : map.links) {
    if (l.kind == disc::LinkKind::PlayAtMark) marks.insert({l.playlist, l.mark});
    if (l.kind == disc::LinkKind::JumpTitle && l.from.kind == disc::Place::Kind::Button) titles.insert(l.title);
  }
  size_t allMarks = 0;
  for (const char* pl : {"00001", "00002"}) {
    const disc::PlaylistFacts* f = map.facts(pl);
    ASSERT_TRUE(f && f->chapters >= 4) << pl;
    allMarks += f->chapters;
    for (uint32_t m = 0; m < f->chapters; ++m) EXPECT_TRUE(marks.count({pl, m})) << pl << " mark " << m << " is never played";
  }
  EXPECT_EQ(marks.size(), allMarks) << "a scene button plays a mark that is not a chapter";
  // "Play from the start" on each scenes page.
  EXPECT_EQ(titles, (std::set<uint32_t>{1, 2}));
  // Every button of the menu can run, and the titles come back to the menu.
  EXPECT_TRUE(map.buttonsNeverRun.empty()) << map.buttonsNeverRun.size() << " buttons never run";
  std::set<int> backToMenu;
  for (const disc::Link& l : map.links)
    if (l.kind == disc::LinkKind::JumpObject && l.from.kind == disc::Place::Kind::Object && l.object == uint32_t(r.menuObject))
      backToMenu.insert(l.from.object);
  // Titles 1 and 2 run objects 0 and 1; the scenes objects follow the menu's (2).
  EXPECT_EQ(backToMenu, (std::set<int>{0, 1, 3, 4})) << "titles and scenes go back to the menu";

  const check::CheckReport report = check::checkDisc(bdmv);
  ASSERT_TRUE(report.checked) << report.failure;
  for (const auto& f : report.findings)
    EXPECT_NE(f.severity, core::Severity::Error) << f.file << " " << f.location << ": " << f.message;
}

TEST(MenuAuthor, TitlesBeyondAPageGoOnNextPages) {
  test::TempDir dir;
  const fs::path bdmv = dir.path() / "BDMV";
  std::string err;
  if (!test::writeAvDisc(bdmv, {14, 0.5, 0}, err)) MORVEX_SKIP_OR_FAIL(err);
  author::AuthorOptions o;
  o.layout = author::Layout::Grid;  // twelve a page
  core::NullLog quiet;
  const author::MenuPlan plan = author::planMenu(dir.path(), o, quiet);
  ASSERT_TRUE(plan.ok) << plan.error;
  ASSERT_EQ(plan.pages.size(), 2u);
  EXPECT_EQ(plan.pageNames, (std::vector<std::string>{"Titles 1", "Titles 2"}));
  size_t onFirst = 0;
  for (const auto& b : plan.buttons) onFirst += b.page == 0 && b.title != 0;
  EXPECT_EQ(onFirst, 12u);
  EXPECT_EQ(plan.titles.front().defaultLabel.substr(0, 11), "Title 1 \xE2\x80\x94");

  const author::AuthorResult r = author::authorMenu(dir.path(), o, core::SaveSettings{}, quiet);
  ASSERT_TRUE(r.ok) << r.error;
  disc::NavigationDisc d;
  ASSERT_TRUE(disc::loadNavigationDisc(bdmv, d).loaded);
  const disc::NavigationMap map = disc::walkNavigation(d);
  EXPECT_TRUE(map.pagesShown.count({r.menuPlaylist, 1})) << "Next never shows page 1";
  std::set<uint32_t> titles;
  for (const disc::Link& l : map.links)
    if (l.kind == disc::LinkKind::JumpTitle && l.from.kind == disc::Place::Kind::Button) titles.insert(l.title);
  EXPECT_EQ(titles.size(), 14u) << "every title has a button that starts it";
  EXPECT_TRUE(map.buttonsNeverRun.empty());
}

}  // namespace

namespace {

// Every file of the folder with its bytes.
std::map<std::string, std::vector<uint8_t>> filesOf(const fs::path& folder) {
  std::map<std::string, std::vector<uint8_t>> files;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.is_regular_file()) files[fs::relative(e.path(), folder).generic_string()] = test::readFile(e.path());
  return files;
}

TEST(MenuAuthor, ButtonPicturesAreTheFacesAndOversizedOnesAreRefused) {
  test::TempDir dir;
  std::string err;
  if (!test::writeAvDisc(dir.path() / "BDMV", {2, 0.5, 0}, err)) MORVEX_SKIP_OR_FAIL(err);
  const fs::path pics = dir.path() / "pictures";
  fs::create_directories(pics);
  // Title 1: a red picture when normal, green when selected (no activated picture: the
  // selected one serves). Title 2 keeps its text face.
  menuview::Image red(400, 80, {200, 0, 0, 255}), green(400, 80, {0, 200, 0, 255});
  ASSERT_TRUE(menuview::savePng(red, pics / "title-1-normal.png").ok);
  ASSERT_TRUE(menuview::savePng(green, pics / "title-1-selected.png").ok);
  author::AuthorOptions o;
  o.buttonImages = pics;
  core::NullLog quiet;
  author::MenuPlan plan = author::planMenu(dir.path(), o, quiet);
  ASSERT_TRUE(plan.ok) << plan.error;
  ASSERT_EQ(plan.buttons.size(), 2u);
  const author::PlannedButton& b = plan.buttons[0];
  EXPECT_EQ(b.width, 400);
  EXPECT_EQ(b.height, 80);
  // Centred in the column's 1000x90 place, shown selected (green) on the page.
  EXPECT_EQ(b.x, 460 + 300);
  EXPECT_EQ(b.y, 150 + 5);
  const menuview::Rgba c = plan.pages[0].pixel(b.x + 200, b.y + 40);
  EXPECT_LT(c.r, 20);
  EXPECT_GT(c.g, 180);
  const auto& button = plan.menu.ics.pages[0].bogs[0].buttons[0];
  EXPECT_EQ(plan.menu.objects[button.activatedStart].picture, plan.menu.objects[button.selectedStart].picture);

  // A picture larger than its place (alone: pictures of one button must agree in size,
  // which is refused too).
  fs::remove(pics / "title-1-selected.png");
  ASSERT_TRUE(menuview::savePng(menuview::Image(1200, 80, {0, 0, 200, 255}), pics / "title-1-normal.png").ok);
  plan = author::planMenu(dir.path(), o, quiet);
  EXPECT_FALSE(plan.ok);
  EXPECT_NE(plan.error.find("is larger than its place on the page (1000x90)"), std::string::npos) << plan.error;
}

TEST(MenuAuthor, CancelledAuthoringLeavesTheDiscAsItWas) {
  test::TempDir dir;
  std::string err;
  if (!test::writeAvDisc(dir.path() / "BDMV", {2, 0.5, 0}, err)) MORVEX_SKIP_OR_FAIL(err);
  const auto before = filesOf(dir.path());
  core::Progress progress;
  progress.cancel();
  core::NullLog quiet;
  const author::AuthorResult r = author::authorMenu(dir.path(), {}, core::SaveSettings{}, quiet, &progress);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.cancelled) << r.error;
  EXPECT_TRUE(r.written.empty());
  EXPECT_TRUE(before == filesOf(dir.path()));
}

}  // namespace

namespace {

// Forty titles make seven pages in a column, 147 objects in one display set: the menu
// is found in its clip with every page, every title has its button, and the disc
// checks clean.
TEST(MenuAuthor, ManyTitlesFillSevenPagesAndCheckClean) {
  test::TempDir dir;
  std::string err;
  if (!test::writeAvDisc(dir.path() / "BDMV", {40, 0.5, 0}, err)) MORVEX_SKIP_OR_FAIL(err);
  core::NullLog quiet;
  const author::AuthorResult r = author::authorMenu(dir.path(), {}, core::SaveSettings{}, quiet);
  ASSERT_TRUE(r.ok) << r.error;
  disc::NavigationDisc d;
  ASSERT_TRUE(disc::loadNavigationDisc(dir.path(), d).loaded);
  ASSERT_TRUE(d.menus.count(r.menuPlaylist)) << "the menu is not found in its clip";
  EXPECT_EQ(d.menus.at(r.menuPlaylist).pages.size(), 7u);
  const disc::NavigationMap map = disc::walkNavigation(d);
  std::set<uint32_t> titles;
  for (const disc::Link& l : map.links)
    if (l.kind == disc::LinkKind::JumpTitle && l.from.kind == disc::Place::Kind::Button) titles.insert(l.title);
  EXPECT_EQ(titles.size(), 40u);
  const check::CheckReport report = check::checkDisc(dir.path());
  ASSERT_TRUE(report.checked) << report.failure;
  for (const auto& f : report.findings)
    EXPECT_NE(f.severity, core::Severity::Error) << f.file << " " << f.location << ": " << f.message;
}

}  // namespace

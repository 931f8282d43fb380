// Authored menus read back by the navigation walk, which runs the movie objects and
// the menu's button programs as a player would: every scene button must reach its
// chapter mark, every title button its title, and Next / Previous / Back their pages.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "author/menu_author.h"
#include "check/checker.h"
#include "core/log.h"
#include "disc/nav_map.h"
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

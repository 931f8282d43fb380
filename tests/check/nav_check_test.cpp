// The checker's navigation findings on a generated disc changed so that one title
// spins without playing, and two movie objects are run by nothing.
#include <gtest/gtest.h>

#include "check/checker.h"
#include "disc/nav_map.h"
#include "core/log.h"
#include "nav/index.h"
#include "nav/movie_object.h"
#include "support/sample_disc.h"
#include "support/test_support.h"

using namespace morvex;

TEST(CheckNavigation, UnreachableObjectsAndTitlesThatPlayNothing) {
  test::TempDir tmp;
  const auto bdmv = tmp / "BDMV";
  ASSERT_TRUE(test::writeSampleDisc(bdmv, 3, 3));
  core::NullLog log;
  nav::MovieObjectFile mobj;
  ASSERT_TRUE(nav::readMovieObjectFile(test::readFile(bdmv / "MovieObject.bdmv"), "MovieObject.bdmv", mobj, log).complete());
  nav::IndexTable index;
  ASSERT_TRUE(nav::readIndexTable(test::readFile(bdmv / "index.bdmv"), "index.bdmv", index, log).complete());

  const auto clean = check::checkDisc(bdmv);
  for (const auto& f : clean.findings) EXPECT_EQ(f.code.find("unreachable"), std::string::npos) << f.message;

  auto& objs = mobj.movieObjects.objects;
  nav::MovieObject spin, idle;
  spin.commands = {{test::kMove, 0, 1}, {test::kGoTo, 0, 0}};
  idle.commands = {{test::kBreak, 0, 0}};
  objs.push_back(spin);  // object 3: title 3 from now on
  objs.push_back(idle);  // object 4: nothing runs it
  mobj.movieObjects.length = nav::movieObjectsLength(mobj.movieObjects);
  index.indexes.titles[2].objectId = 3;  // object 2 is left without a title
  test::writeFile(bdmv / "MovieObject.bdmv", nav::writeMovieObjectFile(mobj));
  test::writeFile(bdmv / "index.bdmv", nav::writeIndexTable(index));

  const auto report = check::checkDisc(bdmv);
  std::vector<std::string> found;
  for (const auto& f : report.findings)
    if (f.code.rfind("mobj.object.", 0) == 0 || f.code.rfind("index.title.", 0) == 0) {
      EXPECT_EQ(f.severity, core::Severity::Warning);
      found.push_back(f.code + " " + f.file + " " + f.location);
    }
  EXPECT_EQ(found, (std::vector<std::string>{"index.title.loops-without-playing index.bdmv title 3",
                                             "mobj.object.unreachable MovieObject.bdmv object 2",
                                             "mobj.object.unreachable MovieObject.bdmv object 4"}));
}

#ifdef MORVEX_MAKE_DEMO_PATH
// The demo disc carries its menu in a stream file: the walk reads it from there, shows
// its pages and runs its buttons, and the links it finds in buttons name that menu.
TEST(CheckNavigation, MenusComeFromTheStreamFiles) {
  test::TempDir tmp;
  const auto bdmv = tmp / "demo" / "BDMV";
  const std::string cmd = std::string("'") + MORVEX_MAKE_DEMO_PATH + "' '" + bdmv.string() + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  disc::NavigationDisc nd;
  const auto load = disc::loadNavigationDisc(bdmv, nd);
  ASSERT_TRUE(load.allComplete());
  ASSERT_FALSE(nd.menus.empty());
  for (const auto& [playlist, source] : nd.menuSources) {
    EXPECT_TRUE(std::filesystem::is_regular_file(bdmv / source.stream)) << source.stream;
    EXPECT_NE(source.pid, 0) << playlist;
  }
  const auto map = disc::walkNavigation(nd);
  EXPECT_FALSE(map.pagesShown.empty());
  EXPECT_FALSE(map.buttonsRun.empty());
  size_t fromButtons = 0;
  for (const auto& l : map.links) {
    if (l.from.kind != disc::Place::Kind::Button) continue;
    ++fromButtons;
    EXPECT_TRUE(nd.menus.count(l.from.playlist)) << l.from.playlist;
    EXPECT_TRUE(map.buttonsRun.count(disc::ButtonRef{l.from.playlist, l.from.page, l.from.button}));
  }
  EXPECT_GT(fromButtons, 0u);
  // Without the stream menus, what only buttons reach is reached no more.
  disc::NavigationDisc bare = nd;
  bare.menus.clear();
  const auto without = disc::walkNavigation(bare);
  EXPECT_TRUE(without.pagesShown.empty());
  EXPECT_GE(without.unreachablePlaylists.size(), map.unreachablePlaylists.size());
}
#endif

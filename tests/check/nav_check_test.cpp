// The checker's navigation findings on a generated disc changed so that one title
// spins without playing, and two movie objects are run by nothing.
#include <gtest/gtest.h>

#include "check/checker.h"
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

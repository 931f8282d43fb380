// The navigation walk on discs built in code (decoy playlists, menu-only paths, loops,
// random branches, calls) and on the fixture discs.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "core/binary.h"
#include "disc/nav_map.h"
#include "igs/model.h"
#include "igs/reader.h"
#include "support/test_support.h"

using namespace morvex;
using namespace morvex::disc;
using hdmv::Command;

namespace {

// Commands with immediate operands.
Command playPl(uint32_t pl) { return {0x22800000, pl, 0}; }
Command playPlAtItem(uint32_t pl, uint32_t item) { return {0x42C10000, pl, item}; }
Command jumpObject(uint32_t o) { return {0x21800000, o, 0}; }
Command jumpTitle(uint32_t t) { return {0x21810000, t, 0}; }
Command callTitle(uint32_t t) { return {0x21830000, t, 0}; }
Command resume() { return {0x01040000, 0, 0}; }
Command gotoLine(uint32_t l) { return {0x20810000, l, 0}; }
Command moveGpr(uint32_t g, uint32_t v) { return {0x50400001, g, v}; }
Command addGpr(uint32_t g, uint32_t v) { return {0x50400003, g, v}; }
Command rndGpr(uint32_t g, uint32_t n) { return {0x50400008, g, n}; }
Command eqGpr(uint32_t g, uint32_t v) { return {0x48400200, g, v}; }      // EQ GPRg, v
Command eqPsr(uint32_t p, uint32_t v) { return {0x48400200, 0x80000000u | p, v}; }
Command setPage(uint32_t page) { return {0x51C00003, 0, 0x80000000u | page}; }
Command enableButton(uint32_t b) { return {0x31800004, b, 0}; }

playlist::Playlist playlistOf(uint32_t seconds, int marks = 1) {
  playlist::Playlist m;
  playlist::PlayItem pi;
  pi.clipName = "00001";
  pi.inTime = 0;
  pi.outTime = seconds * 45000;
  m.playList.playItems.push_back(pi);
  for (int i = 0; i < marks; ++i) m.playListMark.marks.push_back(playlist::Mark{0, 1, 0, uint32_t(i) * 45000, 0xFFFF, 0});
  return m;
}

igs::Button button(uint16_t id, hdmv::CommandList cmds, bool autoAction = false) {
  igs::Button b;
  b.id = id;
  b.autoAction = autoAction;
  b.commands = std::move(cmds);
  b.numCommands = uint16_t(b.commands.size());
  return b;
}

// One BOG per button; `visible` buttons are their BOG's default valid button.
igs::Page page(std::vector<std::pair<igs::Button, bool>> buttons) {
  igs::Page p;
  for (auto& [b, visible] : buttons) {
    igs::ButtonOverlapGroup g;
    g.defaultValid = visible ? b.id : igs::kNoButton;
    g.buttons.push_back(b);
    p.bogs.push_back(g);
  }
  return p;
}

struct DiscBuilder {
  NavigationDisc disc;
  void playlist(uint32_t n, uint32_t seconds) {
    disc.playlistFiles.insert(playlistName(n));
    disc.playlists[playlistName(n)] = playlistOf(seconds);
  }
  int object(hdmv::CommandList cmds) {
    nav::MovieObject o;
    o.commands = std::move(cmds);
    disc.movieObjects.movieObjects.objects.push_back(o);
    return int(disc.movieObjects.movieObjects.objects.size() - 1);
  }
  void title(int object) {
    nav::Title t;
    t.titleNumber = uint32_t(disc.index.indexes.titles.size() + 1);
    t.objectId = uint16_t(object);
    disc.index.indexes.titles.push_back(t);
  }
};

const EntryWalk& titleWalk(const NavigationMap& m, uint32_t title) {
  for (const auto& e : m.entries)
    if (e.title == title) return e;
  throw std::runtime_error("no such entry");
}

bool has(const std::vector<std::string>& v, const std::string& s) { return std::find(v.begin(), v.end(), s) != v.end(); }

// A disc that hides its film: a three-hour decoy nothing plays, the film reached only
// through the menu's button, a page reached by SetButtonPage from a button that
// another button enables, an extra on that page, a button nothing shows and an object
// nothing runs.
DiscBuilder decoyDisc() {
  DiscBuilder d;
  d.playlist(1, 1);          // menu background loop
  d.playlist(2, 30);         // warning
  d.playlist(3, 2 * 3600);   // the film
  d.playlist(4, 600);        // extra, only from menu page 1
  d.playlist(9, 3 * 3600);   // decoy
  d.playlist(10, 60);        // leftover
  const int fp = d.object({jumpObject(1)});
  const int menu = d.object({playPl(1), gotoLine(0)});
  const int film = d.object({playPl(2), playPl(3), jumpTitle(0)});
  d.object({playPl(10)});  // object 3: nothing runs it
  d.disc.index.indexes.firstPlayback.objectId = uint16_t(fp);
  d.disc.index.indexes.topMenu.objectId = uint16_t(menu);
  d.title(film);

  igs::InteractiveComposition ics;
  ics.pages.push_back(page({{button(0, {jumpTitle(1)}), true},
                            {button(1, {enableButton(2)}), true},
                            {button(2, {setPage(1)}), false},
                            {button(3, {playPl(9)}), false}}));
  ics.pages.push_back(page({{button(0, {playPl(4)}), true}, {button(1, {setPage(0)}), true}}));
  d.disc.menus["00001"] = ics;
  return d;
}

}  // namespace

TEST(NavigationWalk, FindsTheFilmBehindTheMenuAndNotTheDecoy) {
  auto d = decoyDisc();
  const auto map = walkNavigation(d.disc);
  ASSERT_EQ(map.entries.size(), 3u);

  const auto& t1 = titleWalk(map, 1);
  EXPECT_EQ(t1.playlists, (std::vector<std::string>{"00002", "00003"}));
  EXPECT_EQ(t1.feature, "00003");  // not the longer decoy 00009
  EXPECT_FALSE(t1.loops);
  EXPECT_FALSE(t1.truncated);

  // First Play reaches the menu, whose buttons lead to the title and, through the
  // enabled button and page 1, to the extra.
  const auto& fp = titleWalk(map, nav::kFirstPlaybackNumber);
  EXPECT_EQ(fp.playlists.front(), "00001");
  EXPECT_TRUE(has(fp.playlists, "00003"));
  EXPECT_TRUE(has(fp.playlists, "00004"));
  EXPECT_FALSE(has(fp.playlists, "00009"));
  EXPECT_EQ(fp.feature, "00003");
  EXPECT_TRUE(map.pagesShown.count({"00001", 1}));

  EXPECT_EQ(map.unreachablePlaylists, (std::vector<std::string>{"00009", "00010"}));
  EXPECT_EQ(map.unreachableObjects, (std::vector<int>{3}));
  EXPECT_EQ(map.buttonsNeverRun, (std::vector<ButtonRef>{{"00001", 0, 3}}));
  EXPECT_TRUE(map.buttonsRun.count(ButtonRef{"00001", 0, 2}));  // only once button 1 enabled it

  // The links name their places: the film's play is line 1 of object 2, the extra's
  // play a button of page 1.
  auto link = [&](LinkKind k, const std::string& pl) {
    return std::find_if(map.links.begin(), map.links.end(),
                        [&](const Link& l) { return l.kind == k && l.playlist == pl; });
  };
  auto film = link(LinkKind::PlayPlaylist, "00003");
  ASSERT_NE(film, map.links.end());
  EXPECT_EQ(film->from.kind, Place::Kind::Object);
  EXPECT_EQ(film->from.object, 2);
  EXPECT_EQ(film->from.line, 1);
  auto extra = link(LinkKind::PlayPlaylist, "00004");
  ASSERT_NE(extra, map.links.end());
  EXPECT_EQ(extra->from.kind, Place::Kind::Button);
  EXPECT_EQ(extra->from.page, 1);
  EXPECT_EQ(extra->from.button, 0);
  EXPECT_NE(link(LinkKind::SetPage, "00001"), map.links.end());

  const auto* facts = map.facts("00003");
  ASSERT_NE(facts, nullptr);
  EXPECT_EQ(facts->duration, uint64_t(2 * 3600) * 45000);
  EXPECT_EQ(facts->chapters, 1u);
  EXPECT_EQ(map.facts("00001")->pages, 2u);
}

TEST(NavigationWalk, LoopsEndAndAreReported) {
  DiscBuilder d;
  d.playlist(1, 100);
  d.title(d.object({moveGpr(0, 1), gotoLine(0)}));           // title 1: spins in its program
  const int a = d.object({jumpObject(2)});                   // title 2: two objects jump
  d.object({jumpObject(1)});                                  // to each other
  d.title(a);
  d.title(d.object({addGpr(0, 1), jumpObject(3)}));          // title 3: counts for ever
  d.title(d.object({playPl(1), jumpObject(4)}));             // title 4: plays, then repeats
  const auto start = std::chrono::steady_clock::now();
  const auto map = walkNavigation(d.disc);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));

  for (uint32_t t : {1u, 2u, 3u}) {
    SCOPED_TRACE(t);
    EXPECT_TRUE(titleWalk(map, t).loops);
    EXPECT_TRUE(titleWalk(map, t).playsNothing());
  }
  EXPECT_LT(titleWalk(map, 3).steps, 1000u);  // the count is seen for what it is early
  EXPECT_EQ(titleWalk(map, 2).objects, (std::vector<int>{1, 2}));
  const auto& t4 = titleWalk(map, 4);
  EXPECT_EQ(t4.playlists, (std::vector<std::string>{"00001"}));
  EXPECT_TRUE(t4.loops);
  EXPECT_FALSE(t4.truncated);
}

TEST(NavigationWalk, RandomAndUnknownBranchesAreFollowedEveryWay) {
  DiscBuilder d;
  for (uint32_t n = 10; n <= 14; ++n) d.playlist(n, 60 * n);
  d.playlist(20, 60);
  d.playlist(21, 60);
  // Title 1 draws 1..3 (a player's range) and plays a trailer for each.
  d.title(d.object({rndGpr(1, 3), eqGpr(1, 1), playPl(10), eqGpr(1, 2), playPl(11), eqGpr(1, 3), playPl(12)}));
  // Title 2 draws from a range too wide to try each value: the compare goes both ways.
  d.title(d.object({rndGpr(2, 1000), eqGpr(2, 500), playPl(13), playPl(14)}));
  // Title 3 asks the region register: a known value, so one way only.
  d.title(d.object({eqPsr(20, 2), jumpObject(3), playPl(21)}));
  d.object({playPl(20)});
  const auto map = walkNavigation(d.disc);

  const auto& t1 = titleWalk(map, 1);
  for (const char* pl : {"00010", "00011", "00012"}) EXPECT_TRUE(has(t1.playlists, pl)) << pl;
  EXPECT_GT(t1.forks, 0u);
  const auto& t2 = titleWalk(map, 2);
  EXPECT_TRUE(has(t2.playlists, "00013"));
  EXPECT_TRUE(has(t2.playlists, "00014"));
  for (const auto& l : map.links) {
    if (l.playlist == "00010" || l.playlist == "00013") {
      EXPECT_TRUE(l.uncertain) << l.playlist;
    }
  }

  EXPECT_EQ(titleWalk(map, 3).playlists, (std::vector<std::string>{"00021"}));  // region A
  EXPECT_EQ(titleWalk(map, 3).forks, 0u);
  WalkOptions regionB;
  regionB.psrValues = {{20, 2}};
  const auto b = walkNavigation(d.disc, regionB);
  EXPECT_EQ(titleWalk(b, 3).playlists, (std::vector<std::string>{"00020"}));
  for (const auto& l : b.links) {
    if (l.playlist == "00020") {
      EXPECT_FALSE(l.uncertain);
    }
  }
}

TEST(NavigationWalk, CallsResumeAndTitlesStopAtTheTopMenu) {
  DiscBuilder d;
  for (uint32_t n : {1u, 30u, 31u, 32u}) d.playlist(n, 60);
  d.playlist(99, 4 * 3600);  // played only by the menu
  const int menu = d.object({playPl(99)});
  d.disc.index.indexes.topMenu.objectId = uint16_t(menu);
  d.title(d.object({callTitle(2), playPlAtItem(30, 0), jumpTitle(0)}));  // title 1
  d.title(d.object({playPl(31), resume(), playPl(32)}));                 // title 2
  const auto map = walkNavigation(d.disc);
  // The called title plays before the caller goes on; the line after Resume never runs.
  EXPECT_EQ(titleWalk(map, 1).playlists, (std::vector<std::string>{"00031", "00030"}));
  EXPECT_EQ(titleWalk(map, 1).feature, "00031");
  EXPECT_EQ(titleWalk(map, 2).playlists, (std::vector<std::string>{"00031"}));
  EXPECT_EQ(titleWalk(map, 0).feature, "00099");
  EXPECT_TRUE(has(map.unreachablePlaylists, "00032"));
  EXPECT_TRUE(has(map.unreachablePlaylists, "00001"));
  auto at = std::find_if(map.links.begin(), map.links.end(), [](const Link& l) { return l.kind == LinkKind::PlayAtItem; });
  ASSERT_NE(at, map.links.end());
  EXPECT_EQ(at->playlist, "00030");
}

TEST(NavigationWalk, FixtureDiscsGiveEachTitleItsFeature) {
  MORVEX_REQUIRE_FIXTURES();
  size_t discs = 0, titles = 0;
  for (const auto& bdmv : test::fixtureDiscs()) {
    SCOPED_TRACE(bdmv.string());
    NavigationDisc nd;
    const auto load = loadNavigationDisc(bdmv, nd);
    ASSERT_TRUE(load.loaded);
    ASSERT_TRUE(load.allComplete());
    const auto map = walkNavigation(nd);
    ASSERT_EQ(map.entries.size(), nd.index.indexes.titles.size() + 2);
    ++discs;
    for (const auto& e : map.entries) {
      if (!e.hdmv || e.title == 0 || e.title == nav::kFirstPlaybackNumber) continue;
      ++titles;
      EXPECT_FALSE(e.truncated) << e.label;
      if (e.playlists.empty()) continue;
      // The feature is the longest of what the title plays, not of the disc.
      const auto* f = map.facts(e.feature);
      ASSERT_NE(f, nullptr);
      for (const auto& p : e.playlists) EXPECT_LE(map.facts(p)->duration, f->duration) << e.label << " " << p;
    }
    // Every playlist is either played by some entry or reported unreachable.
    std::set<std::string> played;
    for (const auto& e : map.entries) played.insert(e.playlists.begin(), e.playlists.end());
    for (const auto& p : nd.playlistFiles) EXPECT_NE(played.count(p) != 0, has(map.unreachablePlaylists, p)) << p;
  }
  EXPECT_EQ(discs, test::fixtureDiscs().size());
  EXPECT_GT(titles, 50u);
}

// A fixture disc's own menu (its interactive composition) put on its Top Menu's
// playlist: the buttons' programs take the walk to titles and pages of the disc.
TEST(NavigationWalk, FixtureMenuButtonsLeadOn) {
  MORVEX_REQUIRE_FIXTURES();
  const auto bdmv = *test::fixturesDir() / "discs" / "disc26" / "BDMV";
  NavigationDisc nd;
  ASSERT_TRUE(loadNavigationDisc(bdmv, nd).allComplete());
  const auto plain = walkNavigation(nd);
  const auto& top = titleWalk(plain, 0);
  ASSERT_FALSE(top.playlists.empty());

  // The composition payload behind a menu-file unit header.
  const auto ics = test::readFile(bdmv.parent_path() / "ics_menu.bin");
  core::Bytes unit = {'I', 'G', 0, 0, 0, 0, 0, 0, 0, 0, 0x18, uint8_t(ics.size() >> 8), uint8_t(ics.size())};
  unit.insert(unit.end(), ics.begin(), ics.end());
  igs::Menu menu;
  core::NullLog log;
  ASSERT_TRUE(igs::readMenu(std::span<const uint8_t>(unit), "ics_menu.bin", menu, log).usable());
  nd.menus[top.playlists.front()] = menu.ics;
  const auto withMenu = walkNavigation(nd);
  EXPECT_FALSE(withMenu.buttonsRun.empty());
  EXPECT_FALSE(withMenu.pagesShown.empty());
  size_t buttonLinks = 0;
  for (const auto& l : withMenu.links) buttonLinks += l.from.kind == Place::Kind::Button;
  EXPECT_GT(buttonLinks, 0u);
  // Whatever the menu adds, the titles' own walks stay theirs.
  EXPECT_EQ(titleWalk(withMenu, 1).playlists, titleWalk(plain, 1).playlists);
}

// SetButtonPage in a movie object only prepares the next menu; a Jump Object to the
// Top Menu's object is a title's way back to the menu, where its walk ends.
TEST(NavigationWalk, ObjectsPrepareMenusAndReturnToThem) {
  DiscBuilder d;
  for (uint32_t n : {1u, 2u, 3u}) d.playlist(n, 60 * n);
  const int menu = d.object({setPage(1), playPl(3), gotoLine(1)});
  d.disc.index.indexes.topMenu.objectId = uint16_t(menu);
  d.title(d.object({playPl(1), jumpObject(uint32_t(menu))}));
  d.title(d.object({{0x51C00003, 0x80000002u, 0x80000001u}, playPl(2)}));  // SetButtonPage 2, 1
  const auto map = walkNavigation(d.disc);
  EXPECT_EQ(titleWalk(map, 0).playlists, (std::vector<std::string>{"00003"}));
  EXPECT_EQ(titleWalk(map, 1).playlists, (std::vector<std::string>{"00001"}));
  EXPECT_EQ(titleWalk(map, 2).playlists, (std::vector<std::string>{"00002"}));
  EXPECT_TRUE(std::find_if(map.links.begin(), map.links.end(), [&](const Link& l) {
                return l.kind == LinkKind::JumpObject && l.object == uint32_t(menu);
              }) != map.links.end());
}

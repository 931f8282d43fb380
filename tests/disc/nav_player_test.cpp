// The system's Blu-ray player library runs the same navigation in its own virtual
// machine. For every HDMV title (and First Play and the Top Menu) of every fixture
// disc, the first playlist it starts must be the first one the walk reports. The
// fixtures hold no stream files; the player still announces each playlist it starts
// (and stops it at once), so its events give the order.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

#include "disc/nav_map.h"
#include "support/test_support.h"

#ifdef MORVEX_HAVE_LIBBLURAY
#include <libbluray/bluray.h>
#include <libbluray/log_control.h>
#endif

using namespace morvex;
namespace fs = std::filesystem;

#ifdef MORVEX_HAVE_LIBBLURAY

namespace {

// The playlists the player starts for `title` (0xFFFF: First Play through bd_play),
// in order, until a title goes back to the Top Menu or the events run out. The disc is opened afresh so every title starts from the player's reset.
std::vector<std::string> playerPlaylists(const fs::path& root, uint32_t title) {
  std::vector<std::string> out;
  BLURAY* bd = bd_open(root.c_str(), nullptr);
  if (!bd) return out;
  bd_get_event(bd, nullptr);
  bool ok = bd_play(bd) != 0;
  // The title is asked for before First Play gets to mask title search.
  if (ok && title != nav::kFirstPlaybackNumber) ok = bd_play_title(bd, title) != 0;
  bool inTitle = title == nav::kFirstPlaybackNumber;
  std::vector<unsigned char> buf(6144);
  for (int round = 0; ok && round < 40; ++round) {
    BD_EVENT ev{};
    bd_read_ext(bd, buf.data(), int(buf.size()), &ev);
    std::vector<BD_EVENT> events{ev};
    while (bd_get_event(bd, &ev)) events.push_back(ev);
    bool leave = false;
    for (const auto& e : events) {
      if (e.event == BD_EVENT_TITLE) {
        // First Play announces itself before the title asked for. As in the walk, a
        // title's way ends where it goes back to the Top Menu (or First Play).
        if (e.param == title) inTitle = true;
        else if (inTitle && title != 0 && title != nav::kFirstPlaybackNumber && (e.param == 0 || e.param == 0xFFFF))
          leave = true;
      }
      if (leave) break;
      if (e.event == BD_EVENT_PLAYLIST && inTitle) out.push_back(disc::playlistName(e.param));
      if (e.event == BD_EVENT_ERROR) leave = true;
    }
    if (leave) break;
  }
  bd_close(bd);
  return out;
}

}  // namespace

TEST(NavigationPlayer, FirstPlaylistAgreesWithThePlayerLibrary) {
  MORVEX_REQUIRE_FIXTURES();
  bd_set_debug_mask(0);
  size_t compared = 0, sameFirst = 0, sameSequence = 0;
  for (const fs::path& bdmv : test::fixtureDiscs()) {
    disc::NavigationDisc nd;
    ASSERT_TRUE(disc::loadNavigationDisc(bdmv, nd).allComplete()) << bdmv;
    const auto map = disc::walkNavigation(nd);
    for (const auto& e : map.entries) {
      if (!e.hdmv || e.object < 0) continue;
      SCOPED_TRACE(bdmv.parent_path().filename().string() + " " + e.label);
      const auto theirs = playerPlaylists(bdmv.parent_path(), e.title);
      ++compared;
      if (theirs.empty() && e.playlists.empty()) {
        ++sameFirst;
        continue;
      }
      ASSERT_FALSE(theirs.empty()) << "the player started nothing; the walk starts " << e.playlists.front();
      ASSERT_FALSE(e.playlists.empty()) << "the walk plays nothing; the player starts " << theirs.front();
      EXPECT_EQ(e.playlists.front(), theirs.front());
      sameFirst += e.playlists.front() == theirs.front();
      // What the player went on to play before it left the title is where the walk
      // went too (the walk adds the ways the player did not take).
      bool prefix = true;
      for (const auto& p : theirs) prefix = prefix && std::find(e.playlists.begin(), e.playlists.end(), p) != e.playlists.end();
      sameSequence += prefix;
    }
  }
  EXPECT_GT(compared, 100u);
  std::cout << "[          ] the player library agreed on the first playlist of " << sameFirst << " of " << compared
            << " entries; the walk also reached every later playlist the player started in " << sameSequence << "\n";
}

#else

TEST(NavigationPlayer, FirstPlaylistAgreesWithThePlayerLibrary) {
  MORVEX_SKIP_OR_FAIL("libbluray (libbluray-dev) was not found when the tests were configured");
}

#endif

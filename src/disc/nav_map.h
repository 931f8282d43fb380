#pragma once
// The navigation map of a disc: what First Play, the Top Menu and every title really
// play. Each entry's movie object is run in the command interpreter against the
// player registers; the walk follows Jump Object, Jump Title, Call Object, Call Title
// and Resume itself, records every Play PL (with its PlayItem or mark), and enters
// the IG menu the played playlist carries: every page shown, every button that can
// run (a BOG's default valid button, or one a command enables), and what each
// button's program does in turn (SetButtonPage, Enable/DisableButton, jumps, plays).
//
// A command whose outcome depends on a value the walk cannot know (a random number,
// or a register derived from one) is followed every way, up to a bound, and what it
// leads to is marked uncertain. Nothing can make a walk hang: each program run has a
// step budget, each entry a total budget, and a state (program, line, registers) is
// walked once.
#include <bitset>
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/log.h"
#include "core/read_result.h"
#include "core/save.h"
#include "hdmv/registers.h"
#include "igs/model.h"
#include "nav/index.h"
#include "nav/movie_object.h"
#include "playlist/mpls.h"

namespace morvex::disc {

// What a BD-J object may play: the playlists of its table, or every playlist.
struct BdjReach {
  bool all = false;
  std::vector<std::string> playlists;
};

// The navigation of a disc in memory: what the walk reads.
struct NavigationDisc {
  nav::IndexTable index;
  nav::MovieObjectFile movieObjects;
  std::set<std::string> playlistFiles;                    // five-digit names present
  std::map<std::string, playlist::Playlist> playlists;    // the readable ones, by name
  std::map<std::string, igs::InteractiveComposition> menus;  // the IG menu a playlist carries
  // Where each of those menus was read: the stream file (relative to the BDMV folder)
  // and its IG PID.
  struct MenuSource {
    std::string stream;
    uint16_t pid = 0;
  };
  std::map<std::string, MenuSource> menuSources;
  std::map<std::string, BdjReach> bdjObjects;             // by object name
};

struct NavigationLoadOptions {
  bool use83names = false;
  bool streamMenus = true;  // read the IG menus of the stream files that are present
};

// One file the load read, and how the read went.
struct FileRead {
  std::string file;  // relative to the BDMV folder
  core::ReadResult result;
};

struct NavigationLoad {
  bool loaded = false;   // false: no disc folder there (`failure` says why)
  std::string failure;
  std::vector<FileRead> reads;
  bool allComplete() const {
    for (const auto& r : reads)
      if (!r.result.complete()) return false;
    return true;
  }
};

// Reads what the walk needs from a disc folder (its root or BDMV folder): the index,
// the movie objects, every playlist, every BD-J object, and for each playlist the IG
// menu of its first PlayItem's stream file when that file is present.
NavigationLoad loadNavigationDisc(const std::filesystem::path& chosen, NavigationDisc& disc,
                                  const NavigationLoadOptions& options = {});

// Adds to `disc.menus` the IG menu of each playlist's first PlayItem, read from its
// stream file in `bdmvFolder` when that file and its clip information are present;
// every file read is added to `reads`.
void readStreamMenus(const std::filesystem::path& bdmvFolder, NavigationDisc& disc, const core::FileNames& names,
                     std::vector<FileRead>& reads);

struct WalkOptions {
  hdmv::RegisterOptions registers;                 // the reset every entry starts from
  std::vector<std::pair<int, uint32_t>> psrValues;  // PSRn = value, after the reset
  size_t maxRunSteps = 20000;    // commands one program run may take before it counts as a loop
  size_t maxEntrySteps = 2000000;  // commands one entry's walk may take in all
  size_t maxEntryStates = 20000;   // different states (program, line, registers) one entry may enter
  size_t maxStatesPerPlace = 16;  // different registers one program start is walked with
  size_t maxForks = 256;         // branches on unknown values one entry may follow
  uint32_t maxRandomValues = 16;  // a random number below this many values is tried with each
};

// Where a command is: line `line` of movie object `object`, or of button `button`
// on page `page` of the menu of playlist `playlist`.
struct Place {
  enum class Kind : uint8_t { Object, Button };
  Kind kind = Kind::Object;
  int object = -1;
  std::string playlist;
  int page = -1;
  int button = -1;
  int line = -1;
  auto operator<=>(const Place&) const = default;
};

enum class LinkKind : uint8_t {
  JumpObject,
  JumpTitle,
  CallObject,
  CallTitle,
  PlayPlaylist,  // Play PL
  PlayAtItem,    // Play PL_PI
  PlayAtMark,    // Play PL_PM
  SetPage,       // SetButtonPage showing another page
  EnableButton,
};

// What a link leads to. Titles keep the index's numbers: 0 the Top Menu, 0xFFFF
// First Play.
struct Link {
  Place from;
  LinkKind kind = LinkKind::JumpObject;
  uint32_t object = 0;    // JumpObject, CallObject
  uint32_t title = 0;     // JumpTitle, CallTitle
  std::string playlist;   // the plays; SetPage and EnableButton: the menu's playlist
  uint32_t playItem = 0;  // PlayAtItem
  uint32_t mark = 0;      // PlayAtMark
  int page = -1;          // SetPage, EnableButton
  int button = -1;        // EnableButton
  bool uncertain = false;  // reached through a value the walk could not know
  auto operator<=>(const Link&) const = default;
};

// The playlist facts the map shows beside each playlist.
struct PlaylistFacts {
  std::string name;
  bool readable = false;
  uint64_t duration = 0;  // 45 kHz ticks: the PlayItems' OUT - IN, summed
  size_t playItems = 0, chapters = 0;
  size_t video = 0, audio = 0, subtitles = 0, menus = 0;  // streams of the first PlayItem
  size_t pages = 0;  // pages of the IG menu the walk found for it (0: none)
};

struct EntryWalk {
  std::string label;    // "First Play", "Top Menu", "Title 3"
  uint32_t title = 0;   // 0xFFFF First Play, 0 Top Menu, 1..n
  bool hdmv = true;
  int object = -1;      // HDMV: its movie object, -1 when none
  std::string bdjObject;
  std::vector<std::string> playlists;  // in the order the walk first plays them
  std::string feature;  // the longest of them (the first of equals); empty when none
  std::vector<int> objects;  // movie objects run, in the order first run
  bool loops = false;   // a program ran past its step budget, or the walk came back to a state
  bool truncated = false;  // the entry's budget or fork bound ended the walk early
  size_t forks = 0;     // branches taken on unknown values
  size_t steps = 0;     // commands run
  bool playsNothing() const { return playlists.empty(); }
};

struct ButtonRef {
  std::string playlist;
  int page = 0;
  int button = 0;
  auto operator<=>(const ButtonRef&) const = default;
};

struct NavigationMap {
  std::vector<EntryWalk> entries;  // First Play, Top Menu, then titles 1..n
  std::vector<Link> links;         // every link found, sorted, each once
  std::vector<PlaylistFacts> playlists;  // every playlist file, by name
  std::vector<std::string> unreachablePlaylists;  // nothing plays them (nor may a BD-J object)
  std::vector<int> unreachableObjects;            // movie objects nothing runs
  std::set<std::pair<std::string, int>> pagesShown;  // (playlist, page)
  std::set<ButtonRef> buttonsRun;
  std::vector<ButtonRef> buttonsNeverRun;  // buttons of the menus the walk entered
  size_t steps = 0;

  const PlaylistFacts* facts(const std::string& name) const;
};

NavigationMap walkNavigation(const NavigationDisc& disc, const WalkOptions& options = {});

// "First Play", "Top Menu", "Title n".
std::string entryLabel(uint32_t title);

// A playlist number as its five-digit name.
std::string playlistName(uint32_t number);

}  // namespace morvex::disc

#pragma once
// Authoring a top menu for a disc that has titles and no menu: one button per title
// (and optionally a scenes page per title from its chapter marks), a background
// encoded as a short still video clip with the menu muxed into it, a playlist that
// holds that still for ever, a movie object that plays it, and the index's Top Menu
// (and First Play on request) pointing at that object.
//
// planMenu decides everything and writes nothing, so the front ends can preview the
// pages and show problems before a file is touched; authorMenu plans again, then
// writes every file through the backup policy.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/progress.h"
#include "core/save.h"
#include "igs/model.h"
#include "menuview/image.h"

namespace morvex::author {

enum class Layout { Column, Grid };

// One title of the disc as the menu would offer it.
struct OfferedTitle {
  int title = 0;                 // 1-based title number in index.bdmv
  std::string playlist;          // its feature playlist, "00001"; empty when the title plays nothing
  uint64_t duration = 0;         // that playlist's length, 45 kHz ticks
  size_t chapters = 0;           // entry marks of that playlist
  std::string defaultLabel;      // "Title 1 — 0:05:00"
  bool playable = false;
  std::string problem;           // why not playable (e.g. "title 3's program plays nothing")
  int movieObject = -1;          // the movie object the title runs
};

struct DiscTitles {
  bool ok = false;
  std::string error;
  std::vector<OfferedTitle> titles;
  bool hasTopMenu = false, hasFirstPlay = false, hasSound = false;
  size_t sounds = 0;  // entries of sound.bdmv
};

// Reads index.bdmv, MovieObject.bdmv and the playlists the titles play. `bdmv` is the
// BDMV folder (or the disc folder holding it).
// A title's feature is the first playlist its program plays (the walk goes on into
// menus and other titles, whose playlists are not the title's own).
DiscTitles readDiscTitles(const std::filesystem::path& bdmv, core::Log& log);

struct ChosenTitle {
  int title = 0;
  std::string label;  // empty: the title's default label
  bool scenes = false;
};

struct AuthorOptions {
  std::vector<ChosenTitle> titles;          // empty: every playable title with its default label
  bool scenes = false;                      // a scenes page for every chosen title
  std::filesystem::path background;         // a PNG; empty: backgroundColour
  menuview::Rgba backgroundColour{16, 24, 40, 255};
  std::string font;                         // fontconfig pattern or font file; empty: sans-serif
  // A folder of button pictures instead of text faces: for the button of title N,
  // title-N-normal.png, title-N-selected.png and title-N-activated.png (the last two
  // optional: missing states reuse the one before; all the same size, at most the
  // layout's place, 1000x90 in a column and 520x110 in a grid, centred in it). Scene
  // buttons use title-N-scene-K-*.png (K 0 "Play from the start", then the chapters),
  // the page buttons back-*, previous-*, next-*; a button without a normal picture
  // keeps its text face.
  std::filesystem::path buttonImages;
  Layout layout = Layout::Column;
  bool fadeIn = false, firstPlay = false, returnToMenu = false, replace = false;
};

// One button as planned, for front ends that list or check them.
struct PlannedButton {
  size_t page = 0;
  uint16_t id = 0;
  std::string label;
  int title = 0;                 // the title it plays (0 for Next/Previous/Back)
  uint32_t mark = 0;             // the chapter mark it starts at (scenes pages)
  int x = 0, y = 0, width = 0, height = 0;
};

struct MenuPlan {                           // everything decided, nothing written
  bool ok = false;
  std::string error;                        // the clear message for bad input
  igs::Menu menu;
  std::vector<menuview::Image> pages;       // each page as the player first shows it (default button selected)
  std::vector<std::string> pageNames;       // "Titles", "Titles 2", "Scenes of title 1", ...
  std::vector<PlannedButton> buttons;
  std::vector<OfferedTitle> titles;           // the chosen titles, with the labels used
  menuview::Image background;               // the page background at 1920x1080, before the buttons
  std::string menuPlaylist, menuClip;       // numbers the new files take, "00010"
  int menuObject = -1;                      // the movie object that will play the menu
  std::map<int, int> scenesObjects;         // title -> the movie object playing its scenes
  bool replacesTopMenu = false;             // --replace with a Top Menu present
  std::vector<std::string> warnings;        // e.g. a font substituted
};

// Refuses (ok false, `error` set) what authorMenu would refuse, except a missing ffmpeg.
// Safe to call from a worker thread; reads the disc, writes nothing.
MenuPlan planMenu(const std::filesystem::path& bdmv, const AuthorOptions& options, core::Log& log);

struct AuthorResult {
  bool ok = false;
  bool cancelled = false;
  std::string error;
  std::vector<std::filesystem::path> written;   // every file created or changed
  std::string menuPlaylist, menuClip;            // "00010", "00010"
  std::filesystem::path menuStream;              // <BDMV>/STREAM/<menuClip>.m2ts
  int menuObject = -1;                           // the movie object that plays the menu
};

AuthorResult authorMenu(const std::filesystem::path& bdmv, const AuthorOptions& options,
                        const core::SaveSettings& settings, core::Log& log,
                        core::Progress* progress = nullptr);

// The writing half of authorMenu, for a plan already made and a still clip already
// encoded (`stillStream`: the background as H.264 on PID 0x1011 in 192-byte packets):
// the menu muxed into the clip as <BDMV>/STREAM/<menuClip>.m2ts, its clip information,
// the playlist, the movie objects and the index. The plan's menu is settled for writing.
AuthorResult writePlannedMenu(const std::filesystem::path& bdmv, MenuPlan& plan, const AuthorOptions& options,
                              const std::filesystem::path& stillStream, const core::SaveSettings& settings,
                              core::Log& log, core::Progress* progress = nullptr);

// The label a title gets by default: "Title 3 — 1:02:05" (an em dash; hours always shown).
std::string defaultTitleLabel(int title, uint64_t duration45k);

}  // namespace morvex::author

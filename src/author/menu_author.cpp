// Authoring a top menu from a disc's titles.
//
// The menu is an always-on IG menu muxed into a short still video clip; its playlist
// holds the clip's last picture for ever (still mode "infinite"), so the player waits
// on the menu until a button is pressed. Buttons cannot play playlists themselves
// (Play commands are not allowed in button programs), so:
//  - a title button jumps to its title (Jump Title n), whose own movie object plays it;
//  - a scene button puts the chapter mark's number in a general-purpose register and
//    jumps to a scenes movie object of the title, which plays the playlist from the
//    mark the register names (Play PL_PM with the mark taken from the register);
//  - Next, Previous and Back show another page of the menu (SetButtonPage).
// The menu's movie object selects page 0's first button and plays the menu playlist.
#include "author/menu_author.h"


#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <thread>
#include <unordered_map>

#include "author/pictures.h"
#include "author/still_clip.h"
#include "clip/clpi.h"
#include "clip/stream_clip.h"
#include "core/stream_coding.h"
#include "disc/nav_map.h"
#include "igs/colour.h"
#include "igs/edit.h"
#include "igs/mux_into.h"
#include "igs/writer.h"
#include "menuview/picture_io.h"
#include "nav/index.h"
#include "nav/movie_object.h"
#include "nav/nav_edit.h"
#include "playlist/mpls.h"
#include "playlist/mpls_reader.h"
#include "playlist/mpls_writer.h"
#include "sound/sound.h"
#include "typeset/label.h"

namespace fs = std::filesystem;

namespace morvex::author {

namespace {

using menuview::Image;
using menuview::Rgba;

// Operation words of the commands the authored programs use.
constexpr uint32_t kMoveImm = 0x50400001;        // Move GPR, value
constexpr uint32_t kJumpObject = 0x21800000;     // Jump Object n
constexpr uint32_t kJumpTitle = 0x21810000;      // Jump Title n
constexpr uint32_t kCallObject = 0x21820000;
constexpr uint32_t kCallTitle = 0x21830000;
constexpr uint32_t kPlayPL = 0x22800000;         // Play PL n
constexpr uint32_t kPlayPLPMReg = 0x42820000;    // Play PL_PM n, mark in a register
constexpr uint32_t kSetButtonPage = 0x51C00003;  // button and page both immediate
constexpr uint32_t kApply = 0x80000000;          // "set this value" flag of a packed operand
// The register a scene button leaves its chapter mark in for the scenes object.
constexpr uint32_t kSceneRegister = 4000;

constexpr uint16_t kVideoPid = 0x1011;
constexpr uint16_t kMenuPid = 0x1400;

// Seconds of still picture the menu clip holds at least before its last picture is
// held. The menu's objects must be decoded within it: its display set is stamped from
// the clip's first picture on, and players drop IG packets stamped after OUT time, so
// a large menu gets a longer clip (stillSecondsFor).
constexpr int kStillSeconds = 3;

// The clip length a menu needs: its display set's span, stamped from time 0, and two
// seconds to spare.
int stillSecondsFor(const igs::Menu& menu) {
  uint64_t last = 0;
  for (const igs::MenuPes& p : igs::stampedMenuPes(menu, 0)) last = std::max(last, p.pts);
  return std::max<int>(kStillSeconds, int(last / 90000) + 2);
}

fs::path bdmvFolder(const fs::path& chosen) {
  if (fs::is_directory(chosen / "BDMV")) return chosen / "BDMV";
  return chosen;
}

std::string number5(unsigned n) {
  char b[8];
  std::snprintf(b, sizeof b, "%05u", n);
  return b;
}

std::string clockText(uint64_t ticks45k) {
  const uint64_t s = ticks45k / 45000;
  char b[32];
  std::snprintf(b, sizeof b, "%llu:%02llu:%02llu", (unsigned long long)(s / 3600), (unsigned long long)(s / 60 % 60),
                (unsigned long long)(s % 60));
  return b;
}

// ---- Geometry ------------------------------------------------------------------

struct Cell {
  int x, y, w, h;
};

// Where the buttons of one page go: title or scene buttons in a column or a grid,
// then a row for Back / Previous / Next under them.
struct Geometry {
  int columns, rows, w, h, x0, y0, dx, dy;
  int perPage() const { return columns * rows; }
  // Item i of a page holding `count` items: a page that is not full keeps its block
  // of buttons centred in the space a full page fills, and a grid's only row is
  // centred across it, so a short menu does not hang at the top left.
  Cell item(int i, int count) const {
    const int usedRows = std::max(1, (count + columns - 1) / columns);
    const int usedColumns = usedRows == 1 ? std::max(1, count) : columns;
    const int top = y0 + ((rows - usedRows) * dy) / 2;
    const int left = x0 + ((columns - usedColumns) * dx) / 2;
    return {left + (i % columns) * dx, top + (i / columns) * dy, w, h};
  }
};

Geometry geometryOf(Layout layout) {
  if (layout == Layout::Grid) return {3, 4, 520, 110, 140, 150, 560, 150};
  return {1, 6, 1000, 90, 460, 150, 0, 112};
}

// The navigation row sits below the items: three slots, Back left, Previous in the
// middle, Next right.
Cell navCell(int slot) { return {260 + slot * 480, 900, 440, 90}; }

// ---- Pages as planned ---------------------------------------------------------

enum class Kind { Title, Scene, Next, Previous, Back, ScenesPage };

struct Item {
  Kind kind = Kind::Title;
  std::string label;
  int title = 0;           // Title, Scene, ScenesPage
  uint32_t mark = 0;       // Scene: the mark's number in the playlist
  int targetPage = -1;     // Next, Previous, Back, ScenesPage
  Cell cell{};
  std::string imageStem;   // button pictures: "title-3"
};

struct PagePlan {
  std::string name;
  std::vector<Item> items;
};

// ---- Disc numbers -----------------------------------------------------------------

// The lowest number above every playlist, clip and stream of the disc, so the new
// files replace nothing.
std::optional<unsigned> freeNumber(const fs::path& bdmv) {
  unsigned highest = 0;
  bool any = false;
  for (const char* dir : {"PLAYLIST", "CLIPINF", "STREAM"}) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(bdmv / dir, ec)) {
      const std::string stem = e.path().stem().string();
      if (stem.size() != 5 || !std::all_of(stem.begin(), stem.end(), ::isdigit)) continue;
      highest = std::max(highest, unsigned(std::stoul(stem)));
      any = true;
    }
  }
  const unsigned n = any ? highest + 1 : 1;
  if (n > 99999) return std::nullopt;
  return n;
}

bool endsInJump(const hdmv::CommandList& cmds) {
  if (cmds.empty()) return false;
  const uint32_t op = cmds.back().opcode;
  return op == kJumpObject || op == kJumpTitle || op == kCallObject || op == kCallTitle;
}

struct SceneMark {
  uint32_t mark;      // its number among the playlist's marks
  uint64_t at = 0;    // 45 kHz from the playlist's start
};

std::vector<SceneMark> sceneMarks(const playlist::Playlist& pl) {
  std::vector<SceneMark> out;
  const auto& items = pl.playList.playItems;
  for (size_t i = 0; i < pl.playListMark.marks.size(); ++i) {
    const auto& m = pl.playListMark.marks[i];
    if (m.type != 1 || m.playItemRef >= items.size()) continue;
    uint64_t at = 0;
    for (size_t k = 0; k < m.playItemRef; ++k) at += items[k].outTime - items[k].inTime;
    at += m.timeStamp >= items[m.playItemRef].inTime ? m.timeStamp - items[m.playItemRef].inTime : 0;
    out.push_back({uint32_t(i), at});
  }
  return out;
}

}  // namespace

std::string defaultTitleLabel(int title, uint64_t duration45k) {
  return "Title " + std::to_string(title) + " \u2014 " + clockText(duration45k);
}

DiscTitles readDiscTitles(const fs::path& chosen, core::Log& log) {
  DiscTitles out;
  const fs::path bdmv = bdmvFolder(chosen);
  disc::NavigationDisc disc;
  disc::NavigationLoadOptions lo;
  lo.streamMenus = false;
  const disc::NavigationLoad load = disc::loadNavigationDisc(bdmv, disc, lo);
  if (!load.loaded) {
    out.error = load.failure.empty() ? core::displayPath(chosen) + " is not a disc folder" : load.failure;
    return out;
  }
  for (const auto& r : load.reads)
    if ((r.file == "index.bdmv" || r.file == "MovieObject.bdmv") && !r.result.complete()) {
      out.error = r.file + " of " + core::displayPath(chosen) + " could not be read whole";
      return out;
    }
  const nav::TitleTable& t = disc.index.indexes;
  out.hasTopMenu = t.topMenu.isHdmv() ? t.topMenu.objectId != nav::kNoObject : !t.topMenu.bdjFileName.empty();
  out.hasFirstPlay =
      t.firstPlayback.isHdmv() ? t.firstPlayback.objectId != nav::kNoObject : !t.firstPlayback.bdjFileName.empty();
  {
    core::NullLog quiet;
    core::Bytes b;
    std::string err;
    sound::SoundFile snd;
    if (core::readWholeFile(bdmv / "AUXDATA" / "sound.bdmv", b, err) &&
        sound::readSoundFile(b, "sound.bdmv", snd, quiet).complete() && !snd.entries.empty()) {
      out.hasSound = true;
      out.sounds = snd.entries.size();
    }
  }
  const disc::NavigationMap map = disc::walkNavigation(disc);
  for (size_t i = 0; i < t.titles.size(); ++i) {
    const nav::Title& title = t.titles[i];
    OfferedTitle e;
    e.title = int(i + 1);
    const auto walk = std::find_if(map.entries.begin(), map.entries.end(),
                                   [&](const disc::EntryWalk& w) { return w.title == uint32_t(i + 1); });
    if (!title.isHdmv()) {
      e.problem = "title " + std::to_string(e.title) + " is a BD-J title";
    } else if (title.objectId >= disc.movieObjects.movieObjects.objects.size()) {
      e.problem = "title " + std::to_string(e.title) + " has no movie object";
    } else {
      e.movieObject = title.objectId;
      if (walk == map.entries.end() || walk->playlists.empty()) {
        e.problem = "title " + std::to_string(e.title) + "'s program plays nothing";
      } else {
        // The title's feature is the first playlist its program plays: the walk goes on
        // through jumps into menus and other titles, whose playlists are not this title's.
        e.playlist = walk->playlists.front();
        const disc::PlaylistFacts* f = map.facts(e.playlist);
        if (!f || !f->readable) {
          e.problem = "playlist " + e.playlist + " of title " + std::to_string(e.title) + " cannot be read";
        } else {
          e.duration = f->duration;
          e.chapters = f->chapters;
          e.playable = true;
        }
      }
    }
    e.defaultLabel = defaultTitleLabel(e.title, e.duration);
    out.titles.push_back(std::move(e));
  }
  out.ok = true;
  log.info("Titles read: " + std::to_string(out.titles.size()));
  return out;
}

MenuPlan planMenu(const fs::path& chosen, const AuthorOptions& options, core::Log& log) {
  MenuPlan plan;
  const fs::path bdmv = bdmvFolder(chosen);
  auto refuse = [&](std::string message) {
    plan.ok = false;
    plan.error = std::move(message);
    return std::move(plan);
  };
  const DiscTitles disc = readDiscTitles(bdmv, log);
  if (!disc.ok) return refuse(disc.error);
  if (disc.titles.empty()) return refuse(core::displayPath(chosen) + " has no titles: a menu needs something to play");
  if (disc.hasTopMenu && !options.replace)
    return refuse(core::displayPath(chosen) +
                  " already has a Top Menu; --replace puts the new menu in its place (the old files stay in the backup)");
  plan.replacesTopMenu = disc.hasTopMenu;

  // The titles the menu offers.
  std::vector<ChosenTitle> choices = options.titles;
  if (choices.empty()) {
    for (const OfferedTitle& e : disc.titles)
      if (e.playable) choices.push_back({e.title, "", options.scenes});
    if (choices.empty()) {
      std::string why;
      for (const OfferedTitle& e : disc.titles) why += (why.empty() ? "" : "; ") + e.problem;
      return refuse("no title of " + core::displayPath(chosen) + " plays anything (" + why + ")");
    }
  }
  for (ChosenTitle& c : choices) {
    if (c.title < 1 || size_t(c.title) > disc.titles.size())
      return refuse("title " + std::to_string(c.title) + " does not exist (the disc has " +
                    std::to_string(disc.titles.size()) + " title" + (disc.titles.size() == 1 ? "" : "s") + ")");
    OfferedTitle e = disc.titles[size_t(c.title - 1)];
    if (!e.playable) return refuse(e.problem + ": a menu button could not start it");
    if (!c.label.empty()) e.defaultLabel = c.label;
    c.scenes = c.scenes || options.scenes;
    plan.titles.push_back(e);
  }

  // Background.
  if (!options.background.empty()) {
    core::Bytes b;
    std::string err;
    if (!core::readWholeFile(options.background, b, err)) return refuse(err);
    if (!isPng(b)) return refuse(core::displayPath(options.background) + " is not a PNG picture");
    Image src;
    if (!menuview::decodePng(b, src, err) || src.empty())
      return refuse(core::displayPath(options.background) + ": " + (err.empty() ? "an empty picture" : err));
    plan.background = scaledToPage(src, options.backgroundColour);
  } else {
    plan.background = Image(menuview::kPageWidth, menuview::kPageHeight, options.backgroundColour);
    for (auto& p : plan.background.pixels()) p.a = 255;
  }

  // Pages: the titles, then each chosen title's scenes.
  const Geometry g = geometryOf(options.layout);
  std::vector<PagePlan> pages;
  const size_t perPage = size_t(g.perPage());
  const size_t titlePages = (plan.titles.size() + perPage - 1) / perPage;
  for (size_t p = 0; p < titlePages; ++p)
    pages.push_back({titlePages == 1 ? "Titles" : "Titles " + std::to_string(p + 1), {}});
  // Chapter marks of the titles that get a scenes page.
  std::map<int, std::vector<SceneMark>> marks;
  for (size_t i = 0; i < plan.titles.size(); ++i) {
    if (!choices[i].scenes) continue;
    playlist::Playlist pl;
    core::NullLog quiet;
    if (!playlist::readPlaylistFile(bdmv / "PLAYLIST" / (plan.titles[i].playlist + ".mpls"), pl, quiet).complete())
      return refuse("playlist " + plan.titles[i].playlist + " of title " + std::to_string(plan.titles[i].title) +
                    " cannot be read for its scenes");
    marks[int(i)] = sceneMarks(pl);
  }
  for (size_t i = 0; i < plan.titles.size(); ++i) {
    const OfferedTitle& t = plan.titles[i];
    Item item;
    item.title = t.title;
    item.label = t.defaultLabel;
    item.imageStem = "title-" + std::to_string(t.title);
    item.cell = g.item(int(i % perPage), int(std::min(perPage, plan.titles.size() - i / perPage * perPage)));
    if (marks.count(int(i)) && !marks[int(i)].empty()) {
      // The title's button opens its scenes; their first button plays from the start.
      const auto& ms = marks[int(i)];
      item.kind = Kind::ScenesPage;
      item.targetPage = int(pages.size());
      const size_t scenesPerPage = perPage;
      const size_t count = ms.size() + 1;
      const size_t n = (count + scenesPerPage - 1) / scenesPerPage;
      const int first = int(pages.size());
      for (size_t p = 0; p < n; ++p) {
        PagePlan sp;
        sp.name = "Scenes of title " + std::to_string(t.title) + (n > 1 ? " (" + std::to_string(p + 1) + ")" : "");
        for (size_t k = p * scenesPerPage; k < std::min(count, (p + 1) * scenesPerPage); ++k) {
          Item s;
          s.cell = g.item(int(k % scenesPerPage), int(std::min(count, (p + 1) * scenesPerPage) - p * scenesPerPage));
          s.title = t.title;
          s.imageStem = "title-" + std::to_string(t.title) + "-scene-" + std::to_string(k);
          if (k == 0) {
            s.kind = Kind::Title;
            s.label = "Play from the start";
          } else {
            s.kind = Kind::Scene;
            s.mark = ms[k - 1].mark;
            s.label = "Scene " + std::to_string(k) + " \u2014 " + clockText(ms[k - 1].at);
          }
          sp.items.push_back(std::move(s));
        }
        Item back;
        back.kind = Kind::Back;
        back.label = "Back";
        back.targetPage = int(i / perPage);
        back.cell = navCell(0);
        back.imageStem = "back";
        sp.items.push_back(back);
        if (p > 0) sp.items.push_back({Kind::Previous, "Previous", 0, 0, first + int(p) - 1, navCell(1), "previous"});
        if (p + 1 < n) sp.items.push_back({Kind::Next, "Next", 0, 0, first + int(p) + 1, navCell(2), "next"});
        pages.push_back(std::move(sp));
      }
    }
    pages[i / perPage].items.push_back(std::move(item));
  }
  for (size_t p = 0; p < titlePages; ++p) {
    if (p > 0) pages[p].items.push_back({Kind::Previous, "Previous", 0, 0, int(p) - 1, navCell(1), "previous"});
    if (p + 1 < titlePages) pages[p].items.push_back({Kind::Next, "Next", 0, 0, int(p) + 1, navCell(2), "next"});
  }
  if (pages.size() > igs::kMaxPages)
    return refuse("the menu would need " + std::to_string(pages.size()) + " pages; a menu holds at most " +
                  std::to_string(igs::kMaxPages));

  // Numbers of the new files and the menu's movie object.
  const auto free = freeNumber(bdmv);
  if (!free) return refuse("every playlist number of the disc is taken");
  plan.menuPlaylist = plan.menuClip = number5(*free);
  size_t objectCount = 0;
  {
    nav::MovieObjectFile mobj;
    core::Bytes b;
    std::string err;
    core::NullLog quiet;
    if (!core::readWholeFile(bdmv / "MovieObject.bdmv", b, err) ||
        !nav::readMovieObjectFile(b, "MovieObject.bdmv", mobj, quiet).complete())
      return refuse("MovieObject.bdmv of " + core::displayPath(chosen) + " could not be read whole");
    nav::IndexTable indx;
    if (!core::readWholeFile(bdmv / "index.bdmv", b, err) || !nav::readIndexTable(b, "index.bdmv", indx, quiet).complete())
      return refuse("index.bdmv of " + core::displayPath(chosen) + " could not be read whole");
    objectCount = mobj.movieObjects.objects.size();
    // The old Top Menu's object is rewritten in place, so that every jump to it (a
    // title going back to the menu) leads to the new menu, unless a title or First
    // Play runs that same object: then the new menu gets an object of its own.
    const auto& top = indx.indexes.topMenu;
    bool shared = indx.indexes.firstPlayback.isHdmv() && indx.indexes.firstPlayback.objectId == top.objectId;
    for (const auto& t : indx.indexes.titles) shared = shared || (t.isHdmv() && t.objectId == top.objectId);
    plan.menuObject = disc.hasTopMenu && top.isHdmv() && top.objectId < objectCount && !shared ? int(top.objectId)
                                                                                            : int(objectCount);
  }

  // Faces: three pictures per button, from the label or from the button pictures.
  std::optional<typeset::FontFace> font;
  auto needFont = [&]() -> bool {
    if (font) return true;
    std::string err;
    font = typeset::findFont(options.font, err);
    if (!font) {
      plan.error = err.empty() ? "no font found for \"" + options.font + "\"" : err;
      return false;
    }
    if (font->substituted && !options.font.empty())
      plan.warnings.push_back("\"" + options.font + "\" is not installed; " + font->family + " is used");
    return true;
  };
  struct Faces {
    std::array<Image, 3> state;
  };
  std::vector<std::vector<Faces>> faces(pages.size());
  for (size_t p = 0; p < pages.size(); ++p)
    for (Item& item : pages[p].items) {
      Faces f;
      bool fromImages = false;
      if (!options.buttonImages.empty()) {
        const fs::path normal = options.buttonImages / (item.imageStem + "-normal.png");
        if (fs::exists(normal)) {
          fromImages = true;
          for (int s = 0; s < 3; ++s) {
            static const char* names[] = {"normal", "selected", "activated"};
            fs::path file = options.buttonImages / (item.imageStem + "-" + names[s] + ".png");
            if (!fs::exists(file)) {
              f.state[size_t(s)] = f.state[size_t(s - 1)];
              continue;
            }
            core::Bytes b;
            std::string err;
            if (!core::readWholeFile(file, b, err)) return refuse(err);
            if (!isPng(b)) return refuse(core::displayPath(file) + " is not a PNG picture");
            if (!menuview::decodePng(b, f.state[size_t(s)], err)) return refuse(core::displayPath(file) + ": " + err);
            if (f.state[size_t(s)].width() != f.state[0].width() || f.state[size_t(s)].height() != f.state[0].height())
              return refuse(core::displayPath(file) + " is not the size of " + core::displayPath(normal));
          }
          const int w = f.state[0].width(), h = f.state[0].height();
          if (w > item.cell.w || h > item.cell.h)
            return refuse(core::displayPath(normal) + " (" + std::to_string(w) + "x" + std::to_string(h) +
                          ") is larger than its place on the page (" + std::to_string(item.cell.w) + "x" +
                          std::to_string(item.cell.h) + ")");
          // Centred in its place.
          item.cell = {item.cell.x + (item.cell.w - w) / 2, item.cell.y + (item.cell.h - h) / 2, w, h};
        }
      }
      if (!fromImages) {
        if (!needFont()) return refuse(plan.error);
        typeset::LabelStyle st;
        st.pixelSize = item.cell.h >= 100 ? 40 : 44;
        st.minPixelSize = 22;
        st.maxWidth = item.cell.w - 40;
        st.maxHeight = item.cell.h - 12;
        st.maxLines = 2;
        const typeset::SetLabel set = typeset::setLabel(*font, item.label, st);
        if (!set.ok)
          return refuse(pages[p].name + " page: " +
                        (set.error.empty() ? "the label \"" + item.label + "\" does not fit its button" : set.error));
        Image coverage(item.cell.w, item.cell.h);
        coverage.blend(set.image, (item.cell.w - set.image.width()) / 2, (item.cell.h - set.image.height()) / 2);
        for (int s = 0; s < 3; ++s) f.state[size_t(s)] = plateFace(coverage, item.cell.w, item.cell.h, kStates[size_t(s)]);
      }
      faces[p].push_back(std::move(f));
    }

  // One palette for every face.
  Quantizer q;
  {
    std::vector<const Image*> all;
    for (auto& pf : faces)
      for (auto& f : pf)
        for (auto& s : f.state) all.push_back(&s);
    q.build(all);
  }

  // The menu.
  igs::Menu& m = plan.menu;
  igs::newMenu(m);
  m.ics.model = 2;  // always on, not a pop-up
  m.ics.compositionState = 2;  // the display set starts an epoch: a player builds the menu from it
  m.ics.pages.clear();
  m.palettes.push_back(paletteOf(q.colours, 0, 100));
  if (options.fadeIn)
    for (int step = 1; step <= 3; ++step) m.palettes.push_back(paletteOf(q.colours, uint16_t(step), step * 25));
  const uint8_t selectedSound = disc.hasSound ? 0 : 0xFF;
  const uint8_t activatedSound = disc.hasSound ? uint8_t(disc.sounds > 1 ? 1 : 0) : 0xFF;
  // Scenes objects: one per title with a scenes page, after the menu's own object.
  std::map<int, int> scenesObject;
  {
    // The menu object is appended or takes the old Top Menu's place; scenes objects
    // come after every existing object.
    int next = int(objectCount) + (size_t(plan.menuObject) < objectCount ? 0 : 1);
    for (const auto& [i, ms] : marks)
      if (!ms.empty()) scenesObject[plan.titles[size_t(i)].title] = next++;
  }
  plan.scenesObjects = scenesObject;

  for (size_t p = 0; p < pages.size(); ++p) {
    igs::Page page;
    page.id = uint8_t(p);
    page.paletteId = 0;
    const auto& items = pages[p].items;
    const int n = int(items.size());
    // Items of the layout first, then the navigation row.
    int gridItems = 0;
    while (gridItems < n && items[size_t(gridItems)].kind != Kind::Next && items[size_t(gridItems)].kind != Kind::Previous &&
           items[size_t(gridItems)].kind != Kind::Back)
      ++gridItems;
    std::vector<int> navRow;
    for (int i = gridItems; i < n; ++i) navRow.push_back(i);
    for (int i = 0; i < n; ++i) {
      const Item& it = items[size_t(i)];
      igs::Button b;
      b.id = uint16_t(i);
      b.numericValue = uint16_t(i + 1);
      b.x = uint16_t(it.cell.x);
      b.y = uint16_t(it.cell.y);
      // Neighbours: within the layout by row and column (an edge keeps the selection
      // where it is), from the last row down into the navigation row and back up.
      int up = i, down = i, left = i, right = i;
      if (i < gridItems) {
        const int c = i % g.columns;
        if (i - g.columns >= 0) up = i - g.columns;
        if (i + g.columns < gridItems) down = i + g.columns;
        else if (!navRow.empty()) down = navRow.front();
        if (c > 0) left = i - 1;
        if (c + 1 < g.columns && i + 1 < gridItems) right = i + 1;
      } else {
        const int k = i - gridItems;
        if (gridItems > 0) up = gridItems - 1;
        if (k > 0) left = i - 1;
        if (k + 1 < int(navRow.size())) right = i + 1;
      }
      b.upper = uint16_t(up), b.lower = uint16_t(down), b.left = uint16_t(left), b.right = uint16_t(right);
      const uint16_t base = uint16_t(m.objects.size());
      for (int s = 0; s < 3; ++s) {
        igs::GraphicsObject o;
        o.id = uint16_t(base + s);
        o.picture = q.indexed(faces[p][size_t(i)].state[size_t(s)]);
        o.width = o.picture->width;
        o.height = o.picture->height;
        m.objects.push_back(std::move(o));
      }
      b.normalStart = b.normalEnd = base;
      b.selectedStart = b.selectedEnd = uint16_t(base + 1);
      b.activatedStart = b.activatedEnd = uint16_t(base + 2);
      b.selectedSound = selectedSound;
      b.activatedSound = activatedSound;
      switch (it.kind) {
        case Kind::Title: b.commands = {{kJumpTitle, uint32_t(it.title), 0}}; break;
        case Kind::Scene:
          b.commands = {{kMoveImm, kSceneRegister, it.mark}, {kJumpObject, uint32_t(scenesObject[it.title]), 0}};
          break;
        case Kind::Next:
        case Kind::Previous:
        case Kind::Back:
        case Kind::ScenesPage:
          b.commands = {{kSetButtonPage, kApply | 0, kApply | uint32_t(it.targetPage)}};
          break;
      }
      b.numCommands = uint16_t(b.commands.size());
      igs::ButtonOverlapGroup bog;
      bog.defaultValid = b.id;
      bog.buttons.push_back(b);
      page.bogs.push_back(std::move(bog));
      PlannedButton pb;
      pb.page = p;
      pb.id = b.id;
      pb.label = it.label;
      pb.title = it.kind == Kind::Title || it.kind == Kind::Scene || it.kind == Kind::ScenesPage ? it.title : 0;
      pb.mark = it.mark;
      pb.x = it.cell.x, pb.y = it.cell.y, pb.width = it.cell.w, pb.height = it.cell.h;
      plan.buttons.push_back(pb);
    }
    page.defaultSelected = n > 0 ? 0 : igs::kNoButton;
    if (options.fadeIn && n > 0) {
      // The page's buttons fade in: their normal faces in palettes of rising opacity,
      // one window around them all.
      int x1 = 1920, y1 = 1080, x2 = 0, y2 = 0;
      for (const Item& it : items)
        x1 = std::min(x1, it.cell.x), y1 = std::min(y1, it.cell.y), x2 = std::max(x2, it.cell.x + it.cell.w),
        y2 = std::max(y2, it.cell.y + it.cell.h);
      igs::EffectSequence& in = page.effects[0];
      in.numWindows = 1;
      in.windows[0] = {0, uint16_t(x1), uint16_t(y1), uint16_t(x2 - x1), uint16_t(y2 - y1)};
      for (uint8_t pal = 1; pal <= 3; ++pal) {
        igs::Effect e;
        e.duration = 13500;  // 0.15 s
        e.paletteId = pal;
        for (const auto& bog : page.bogs) {
          igs::CompositionObject co;
          co.objectId = bog.buttons[0].normalStart;
          co.x = bog.buttons[0].x;
          co.y = bog.buttons[0].y;
          e.objects.push_back(co);
        }
        e.numObjects = uint8_t(e.objects.size());
        in.effects.push_back(std::move(e));
      }
      in.numEffects = uint8_t(in.effects.size());
    }
    m.ics.pages.push_back(std::move(page));
    plan.pageNames.push_back(pages[p].name);
  }
  igs::refreshMenu(m);
  igs::recolourPalettes(m);

  // The pages as first shown: the background, every button's face, the default one
  // selected, each coloured through the menu's own palette.
  igs::MenuPictures pictures;
  igs::resizeCache(m, pictures);
  for (size_t p = 0; p < m.ics.pages.size(); ++p) {
    Image page = plan.background;
    const igs::Page& pg = m.ics.pages[p];
    for (const auto& bog : pg.bogs) {
      const igs::Button& b = bog.buttons[0];
      const unsigned obj = b.id == pg.defaultSelected ? b.selectedStart : b.normalStart;
      const igs::RgbaImage& pic = igs::objectPicture(m, pictures, obj, pg.paletteId, log);
      page.blendRgba(pic.rgba.data(), pic.width, pic.height, b.x, b.y);
    }
    plan.pages.push_back(std::move(page));
  }
  plan.ok = true;
  return plan;
}

// ---- Writing ----------------------------------------------------------------------

namespace {

// Files created so far, removed again when a later step fails, so that a failed run
// leaves the disc as it was (files it changed keep their backups).
struct CreatedFiles {
  std::vector<fs::path> files;
  bool keep = false;
  ~CreatedFiles() {
    if (keep) return;
    std::error_code ec;
    for (const auto& f : files) fs::remove(f, ec);
  }
};

nav::Title hdmvEntry(uint32_t number, uint16_t object) {
  nav::Title t;
  t.titleNumber = number;
  t.objectType = nav::ObjectHDMV;
  t.objectId = object;
  t.playbackType = 1;  // interactive
  return t;
}

playlist::Stream streamEntry(uint16_t pid, core::StreamCoding coding) {
  playlist::Stream s;
  s.entry.length = 9;
  s.entry.type = 1;
  s.entry.mainPID = pid;
  s.attr.length = 5;
  s.attr.codingType = core::codingValue(coding);
  if (coding == core::StreamCoding::Avc) {
    s.attr.videoFormat = 6;  // 1080p
    s.attr.frameRate = 1;    // 23.976
  } else {
    s.attr.language = "eng";
  }
  return s;
}

}  // namespace

AuthorResult authorMenu(const fs::path& chosen, const AuthorOptions& options, const core::SaveSettings& settings,
                        core::Log& log, core::Progress* progress) {
  AuthorResult r;
  MenuPlan plan = planMenu(chosen, options, log);
  if (!plan.ok) {
    r.error = plan.error;
    return r;
  }
  for (const auto& w : plan.warnings) log.warning(w);
  if (progress) progress->setTotal(100), progress->setPosition(0);
  // The still clip: the background encoded by ffmpeg into a scratch folder.
  igs::settleMenu(plan.menu, log);
  const StillClipResult still =
      encodeStillClip(plan.background, stillSecondsFor(plan.menu), kVideoPid, log, progress, 0, 40);
  if (!still.ok) {
    r.cancelled = still.cancelled;
    r.error = still.error;
    return r;
  }
  return writePlannedMenu(chosen, plan, options, still.stream, settings, log, progress);
}

namespace {

AuthorResult writeMenuFiles(const fs::path& chosen, MenuPlan& plan, const AuthorOptions& options,
                            const fs::path& stillStream, const core::SaveSettings& given, core::Log& log,
                            core::Progress* progress) {
  AuthorResult r;
  const fs::path bdmv = bdmvFolder(chosen);
  if (!plan.ok) {
    r.error = plan.error.empty() ? "the menu was not planned" : plan.error;
    return r;
  }
  auto cancelled = [&] { return progress && progress->cancelled(); };
  // A disc with a BACKUP folder keeps its copies in step.
  core::SaveSettings settings = given;
  if (fs::is_directory(bdmv / "BACKUP")) settings.saveBackupDir = true;
  const clip::StreamFacts facts = clip::scanStream(stillStream, kVideoPid);
  if (!facts.ok) {
    r.error = "the encoded menu background: " + facts.error;
    return r;
  }
  if (cancelled()) {
    r.cancelled = true;
    r.error = "cancelled";
    return r;
  }

  CreatedFiles created;
  std::error_code ec;
  for (const char* d : {"STREAM", "CLIPINF", "PLAYLIST"}) fs::create_directories(bdmv / d, ec);
  r.menuPlaylist = plan.menuPlaylist;
  r.menuClip = plan.menuClip;
  r.menuStream = bdmv / "STREAM" / (plan.menuClip + ".m2ts");
  r.menuObject = plan.menuObject;

  // The menu muxed into the still clip, stamped from its first picture.
  igs::settleMenu(plan.menu, log);
  igs::MuxIntoOptions mo;
  mo.pid = kMenuPid;
  mo.at = facts.firstPts;
  core::Progress muxProgress;
  std::atomic<bool> muxDone{false};
  std::thread relay;
  if (progress) {
    // The muxer reports packets; the caller sees them as 40..85 of the whole.
    relay = std::thread([&] {
      while (!muxDone.load()) {
        if (progress->cancelled()) muxProgress.cancel();
        const uint64_t t = muxProgress.total();
        progress->setPosition(40 + (t ? 45 * muxProgress.position() / t : 0));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
  }
  const igs::MuxIntoResult mux = igs::muxMenuInto(igs::stampedMenuPes(plan.menu, mo.at), stillStream, r.menuStream, mo,
                                                  log, progress ? &muxProgress : nullptr);
  muxDone = true;
  if (relay.joinable()) relay.join();
  if (!mux.ok) {
    r.cancelled = mux.cancelled;
    r.error = mux.cancelled ? "cancelled" : "the menu could not be muxed into its clip: " + mux.error;
    return r;
  }
  created.files.push_back(r.menuStream);
  r.written.push_back(r.menuStream);
  if (mux.late) log.warning(std::to_string(mux.late) + " menu packets arrive after their decode time");
  if (mux.compositionPts >= facts.lastPts) {
    r.error = "the menu takes longer to decode than its still clip lasts; fewer titles a page or a longer clip is needed";
    return r;
  }
  if (cancelled()) {
    r.cancelled = true;
    r.error = "cancelled";
    return r;
  }

  // Its clip information.
  clip::ClipInfo clpi = clip::clipInfoOfStream(facts, {clip::avcVideoStream(kVideoPid)}, kVideoPid);
  igs::updateClipForMux(clpi, mux, kMenuPid, "eng");
  const fs::path clpiFile = bdmv / "CLIPINF" / (plan.menuClip + ".clpi");
  if (!clip::saveClipInfo(clpi, bdmv / "CLIPINF", plan.menuClip + ".clpi", settings, log).ok) {
    r.error = "the menu clip's information could not be saved";
    return r;
  }
  created.files.push_back(clpiFile);
  if (settings.saveBackupDir) created.files.push_back(bdmv / "BACKUP" / "CLIPINF" / (plan.menuClip + ".clpi"));
  r.written.push_back(clpiFile);

  // The playlist: the clip from its first picture to its end, then held for ever.
  playlist::Playlist pl;
  pl.typeIndicator = "MPLS";
  pl.version = "0200";
  pl.markStart = 1;
  pl.appInfo.length = 14;
  pl.appInfo.playbackType = 1;
  playlist::PlayItem pi;
  pi.clipName = plan.menuClip;
  pi.codecId = "M2TS";
  pi.connectionCondition = 1;
  const auto& stc = clpi.sequenceInfo.atcSequences[0].stcSequences[0];
  pi.inTime = stc.presentationStartTime;
  pi.outTime = stc.presentationEndTime;
  pi.stillMode = 2;  // infinite
  pi.stn.video.push_back(streamEntry(kVideoPid, core::StreamCoding::Avc));
  pi.stn.ig.push_back(streamEntry(kMenuPid, core::StreamCoding::Ig));
  pl.playList.playItems.push_back(pi);
  pl.playListMark.marks.push_back(playlist::Mark{0, 1, 0, pi.inTime, 0xFFFF, 0});
  playlist::updateLengths(pl);
  const fs::path plFile = bdmv / "PLAYLIST" / (plan.menuPlaylist + ".mpls");
  if (!playlist::savePlaylist(pl, bdmv / "PLAYLIST", plan.menuPlaylist + ".mpls", settings, log).ok) {
    r.error = "the menu playlist could not be saved";
    return r;
  }
  created.files.push_back(plFile);
  if (settings.saveBackupDir) created.files.push_back(bdmv / "BACKUP" / "PLAYLIST" / (plan.menuPlaylist + ".mpls"));
  r.written.push_back(plFile);
  if (progress) progress->setPosition(90);

  // Navigation: the menu's movie object, the scenes objects, titles back to the menu.
  nav::MovieObjectFile mobj;
  nav::IndexTable indx;
  {
    core::Bytes b;
    std::string err;
    if (!core::readWholeFile(bdmv / "MovieObject.bdmv", b, err) ||
        !nav::readMovieObjectFile(b, "MovieObject.bdmv", mobj, log).complete() ||
        !core::readWholeFile(bdmv / "index.bdmv", b, err) || !nav::readIndexTable(b, "index.bdmv", indx, log).complete()) {
      r.error = "the disc's navigation files could not be read again";
      return r;
    }
  }
  auto& objs = mobj.movieObjects.objects;
  nav::MovieObject menuObj;
  menuObj.menuCallMask = 1;  // the menu key does nothing while the menu is shown
  menuObj.commands = {{kSetButtonPage, kApply | 0, kApply | 0},
                      {kPlayPL, uint32_t(std::stoul(plan.menuPlaylist)), 0}};
  if (size_t(plan.menuObject) < objs.size()) objs[size_t(plan.menuObject)] = menuObj;
  else objs.push_back(menuObj);
  for (const OfferedTitle& t : plan.titles) {
    auto it = plan.scenesObjects.find(t.title);
    if (it == plan.scenesObjects.end()) continue;
    nav::MovieObject so;
    so.resumeIntentionFlag = 1;
    so.commands = {{kPlayPLPMReg, uint32_t(std::stoul(t.playlist)), kSceneRegister}};
    if (options.returnToMenu) so.commands.push_back({kJumpObject, uint32_t(plan.menuObject), 0});
    if (objs.size() != size_t(it->second)) {
      r.error = "movie object numbers moved while the menu was written";
      return r;
    }
    objs.push_back(so);
  }
  if (options.returnToMenu) {
    std::set<int> done;
    for (const OfferedTitle& t : plan.titles)
      if (t.movieObject >= 0 && size_t(t.movieObject) < objs.size() && done.insert(t.movieObject).second &&
          !endsInJump(objs[size_t(t.movieObject)].commands))
        objs[size_t(t.movieObject)].commands.push_back({kJumpObject, uint32_t(plan.menuObject), 0});
  }
  if (objs.size() > 0xFFFF) {
    r.error = "the disc has too many movie objects for a menu";
    return r;
  }
  mobj.movieObjects.length = nav::movieObjectsLength(mobj.movieObjects);
  indx.indexes.topMenu = hdmvEntry(0, uint16_t(plan.menuObject));
  const bool firstPlay = options.firstPlay && [&] {
    const auto& fp = indx.indexes.firstPlayback;
    return fp.isHdmv() ? fp.objectId == nav::kNoObject : fp.bdjFileName.empty();
  }();
  if (firstPlay) indx.indexes.firstPlayback = hdmvEntry(nav::kFirstPlaybackNumber, uint16_t(plan.menuObject));
  if (options.firstPlay && !firstPlay) log.warning("the disc has a First Play already; it stays as it is");
  const auto names = core::FileNames::make(false);
  // The navigation files are edited in place.
  for (const auto& f : {bdmv / names.mobjfile, bdmv / names.indexfile, bdmv / "BACKUP" / names.mobjfile,
                        bdmv / "BACKUP" / names.indexfile})
    if (fs::exists(f)) core::allowRewrite(f);
  if (!nav::saveMovieObjectFile(mobj, bdmv, names.mobjfile, settings, log).ok) {
    r.error = "MovieObject.bdmv could not be saved";
    return r;
  }
  r.written.push_back(bdmv / names.mobjfile);
  if (!nav::saveIndexTable(indx, bdmv, names.indexfile, settings, log).ok) {
    r.error = "index.bdmv could not be saved (MovieObject.bdmv was; its backup holds the old one)";
    return r;
  }
  r.written.push_back(bdmv / names.indexfile);
  created.keep = true;
  if (progress) progress->setPosition(100);
  log.info("Top menu written: playlist " + plan.menuPlaylist + ", clip " + plan.menuClip + ", movie object " +
           std::to_string(plan.menuObject) + ", " + std::to_string(plan.menu.ics.pages.size()) + " page" +
           (plan.menu.ics.pages.size() == 1 ? "" : "s"));
  r.ok = true;
  return r;
}

}  // namespace

AuthorResult writePlannedMenu(const fs::path& chosen, MenuPlan& plan, const AuthorOptions& options,
                              const fs::path& stillStream, const core::SaveSettings& settings, core::Log& log,
                              core::Progress* progress) {
  AuthorResult r = writeMenuFiles(chosen, plan, options, stillStream, settings, log, progress);
  // A failed run removed what it had created; nothing it names is left written.
  if (!r.ok) r.written.clear();
  return r;
}

}  // namespace morvex::author

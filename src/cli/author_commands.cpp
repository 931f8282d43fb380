// "menu author DIR": a top menu for a disc that has titles, from its titles: one button
// per title, a background, faces set from the labels (or pictures), the menu clip,
// its playlist and the navigation that shows it. With --preview the pages are drawn
// to pictures and the disc is left alone.
#include <iostream>
#include <string>
#include <vector>

#include "author/menu_author.h"
#include "cli/registry.h"
#include "core/save.h"
#include "core/text.h"
#include "menuview/picture_io.h"

namespace morvex::cli {
namespace {

namespace fs = std::filesystem;

struct AuthorArgs {
  std::string dir;
  std::vector<std::string> titles;
  bool scenes = false;
  std::string background, colour, font, buttonImages, layout = "column", preview;
  bool fadeIn = false, firstPlay = false, returnToMenu = false, replace = false, noBackup = false;
};

// "#102840", "102840" or "16,40,64".
bool parseColour(const std::string& text, menuview::Rgba& out) {
  std::string t = text;
  if (!t.empty() && t[0] == '#') t.erase(0, 1);
  if (t.size() == 6 && t.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
    const unsigned long v = std::stoul(t, nullptr, 16);
    out = {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v), 255};
    return true;
  }
  unsigned r, g, b;
  char tail;
  if (std::sscanf(text.c_str(), "%u,%u,%u%c", &r, &g, &b, &tail) == 3 && r < 256 && g < 256 && b < 256) {
    out = {uint8_t(r), uint8_t(g), uint8_t(b), 255};
    return true;
  }
  return false;
}

// "3" or "3=The Making Of".
bool parseTitle(const std::string& text, author::ChosenTitle& out) {
  const auto eq = text.find('=');
  const std::string n = text.substr(0, eq);
  if (n.empty() || n.size() > 4 || n.find_first_not_of("0123456789") != std::string::npos) return false;
  out.title = std::stoi(n);
  if (eq != std::string::npos) {
    out.label = text.substr(eq + 1);
    if (out.label.empty()) return false;
  }
  return out.title > 0;
}

// Where page `index` of `count` goes: OUT itself for a single page, else OUT-1.png,
// OUT-2.png, ... beside it.
fs::path previewName(const fs::path& out, size_t index, size_t count) {
  if (count == 1) return out;
  fs::path p = out;
  p.replace_filename(out.stem().string() + "-" + std::to_string(index + 1) + out.extension().string());
  return p;
}

void authorCommand(const AuthorArgs& a) {
  author::AuthorOptions o;
  for (const auto& t : a.titles) {
    author::ChosenTitle c;
    if (!parseTitle(t, c)) {
      fail("--title wants N or N=LABEL, not \"" + t + "\"", 2);
      return;
    }
    o.titles.push_back(c);
  }
  o.scenes = a.scenes;
  o.background = a.background;
  if (!a.colour.empty() && !parseColour(a.colour, o.backgroundColour)) {
    fail("--colour wants #RRGGBB or R,G,B, not \"" + a.colour + "\"", 2);
    return;
  }
  o.font = a.font;
  o.buttonImages = a.buttonImages;
  if (!a.buttonImages.empty() && !fs::is_directory(a.buttonImages)) {
    fail(core::displayPath(a.buttonImages) + " is not a folder");
    return;
  }
  if (a.layout == "column") o.layout = author::Layout::Column;
  else if (a.layout == "grid") o.layout = author::Layout::Grid;
  else {
    fail("--layout is column or grid, not \"" + a.layout + "\"", 2);
    return;
  }
  o.fadeIn = a.fadeIn;
  o.firstPlay = a.firstPlay;
  o.returnToMenu = a.returnToMenu;
  o.replace = a.replace;

  ConsoleLog log;
  if (!a.preview.empty()) {
    const author::MenuPlan plan = author::planMenu(a.dir, o, log);
    if (!plan.ok) {
      fail(plan.error);
      return;
    }
    for (const auto& w : plan.warnings) std::cerr << "morvex-cli: " << w << '\n';
    for (size_t i = 0; i < plan.pages.size(); ++i) {
      const fs::path out = previewName(a.preview, i, plan.pages.size());
      const auto w = menuview::savePng(plan.pages[i], out);
      if (!w.ok) {
        fail(core::displayPath(out) + " could not be written");
        return;
      }
      std::cout << "Page " << i << " (" << plan.pageNames[i] << ") drawn to " << core::displayPath(out) << '\n';
    }
    std::cout << plan.buttons.size() << " buttons on " << plan.pages.size() << " page"
              << (plan.pages.size() == 1 ? "" : "s") << "; the disc was not changed\n";
    return;
  }
  core::SaveSettings settings;
  settings.backup = !a.noBackup;
  const author::AuthorResult r = author::authorMenu(a.dir, o, settings, log);
  if (!r.ok) {
    fail(r.error);
    return;
  }
  for (const auto& f : r.written) std::cout << "Written: " << core::displayPath(f) << '\n';
  std::cout << "Top menu: movie object " << r.menuObject << " plays playlist " << r.menuPlaylist << " (clip "
            << r.menuClip << ")\n";
}

CommandRegistrar reg(61, [](CLI::App& app) {
  CLI::App* menu = sharedSubcommand(app, "menu", "Interactive Graphics menus (.mnu files and menu streams)");
  static AuthorArgs a;
  auto* c = menu->add_subcommand("author", "Add a top menu to a disc folder from its titles");
  c->add_option("DIR", a.dir, "disc folder (or its BDMV folder)")->required();
  c->add_option("--title", a.titles, "a title to offer, N or N=LABEL (repeatable; default: every playable title)");
  c->add_flag("--scenes", a.scenes, "a scenes page per title from its chapter marks");
  c->add_option("--background", a.background, "background picture (PNG, scaled to 1920x1080)");
  c->add_option("--colour", a.colour, "background colour when there is no picture (#RRGGBB or R,G,B)");
  c->add_option("--font", a.font, "font for the labels: a fontconfig pattern or a font file (default sans-serif)");
  c->add_option("--button-images", a.buttonImages,
                "folder of button pictures: title-N-normal.png, title-N-selected.png, title-N-activated.png");
  c->add_option("--layout", a.layout, "column or grid (default column)");
  c->add_flag("--fade-in", a.fadeIn, "the buttons fade in when a page is shown");
  c->add_flag("--first-play", a.firstPlay, "the menu also opens at First Play (when the disc has none)");
  c->add_flag("--return-to-menu", a.returnToMenu, "each title goes back to the menu when it ends");
  c->add_flag("--replace", a.replace, "replace the disc's Top Menu (the changed files keep backups)");
  c->add_flag("--no-backup", a.noBackup, "do not keep .backup copies of the files changed");
  c->add_option("--preview", a.preview, "draw the pages to OUT.png (OUT-1.png, OUT-2.png, ... for several) and change nothing");
  c->callback([] { authorCommand(a); });
});

}  // namespace
}  // namespace morvex::cli

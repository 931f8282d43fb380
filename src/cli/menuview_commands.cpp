// "menu render" and "menu play": compose a menu page into a PNG, and run the menu
// emulator headless over a list of keys, printing what a user would see change.
#include <algorithm>
#include <iostream>
#include <sstream>

#include <fstream>
#include <span>

#include "cli/registry.h"
#include "ts/demux.h"
#include "core/save.h"
#include "core/text.h"
#include "hdmv/command_text.h"
#include "hdmv/interpreter.h"
#include "hdmv/registers.h"
#include "igs/extract.h"
#include "igs/mux.h"
#include "igs/reader.h"
#include "menuview/emulator.h"
#include "menuview/overlay.h"
#include "menuview/picture_io.h"
#include "sound/sound.h"

namespace fs = std::filesystem;
using namespace morvex;
using namespace morvex::menuview;

namespace morvex::cli {
namespace {

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return s;
}

// Loads the menu of a menu file, or of an AV stream through its IG stream (the one
// loader every command uses). Errors go to stderr; a partial menu is shown only with
// --force.
bool loadMenu(const fs::path& file, igs::Menu& menu) {
  if (!fs::exists(file)) {
    fail(core::displayPath(file) + ": file not found");
    return false;
  }
  ConsoleLog log(ConsoleLog::Show::ErrorsOnly);
  if (!acceptRead(igs::loadMenuSource(file, menu, log))) return false;
  if (!menu.loaded || menu.ics.pages.empty()) {
    fail(core::displayPath(file) + ": no menu could be read");
    return false;
  }
  return true;
}

// Scales the page into a view of w x h the way the fit-to-window mode shows it: black
// surround, the picture at the fitted rectangle (nearest pixel).
Image fitPicture(const Image& page, int w, int h) {
  Image out(w, h, Rgba{0, 0, 0, 255});
  const FitRect f = fitToWindow(w, h);
  for (int y = 0; y < f.height; ++y)
    for (int x = 0; x < f.width; ++x) {
      const PagePoint p = mapToPage(f, x, y);
      out.setPixel(f.left + x, f.top + y, page.pixel(p.x, p.y));
    }
  return out;
}

bool parseFit(const std::string& s, int& w, int& h) {
  const auto x = s.find_first_of("xX");
  if (x == std::string::npos) return false;
  auto pw = core::parseNumber(s.substr(0, x), 16384), ph = core::parseNumber(s.substr(x + 1), 16384);
  if (!pw || !ph) return false;
  w = int(*pw);
  h = int(*ph);
  return w > 2 && h > 2;
}

bool parseNumber(const std::string& s, unsigned& v) {
  auto n = core::parseNumber(s, 0xFFFF);
  if (!n) return false;
  v = unsigned(*n);
  return true;
}

bool writeOutput(const Image& img, const std::string& out) {
  if (const core::WriteResult written = savePng(img, out); written.failed()) {
    fail(core::displayPath(out) + ": " + written.error);
    return false;
  }
  std::cout << "Wrote " << core::displayPath(out) << " (" << img.width() << "x" << img.height() << ")\n";
  return true;
}

struct Session {
  igs::Menu menu;
  hdmv::Registers regs;
  DisplayOptions options;
  ConsoleLog log{ConsoleLog::Show::Nothing};
  std::unique_ptr<PageView> view;
  hdmv::Interpreter interp{regs};
  std::unique_ptr<MenuEmulator> emu;

  void open(int page) {
    view = std::make_unique<PageView>(menu, regs, options, log);
    emu = std::make_unique<MenuEmulator>(*view, interp);
    emu->menuOpened(hdmv::RegisterOptions{}, page);
  }
};

// ---- menu render ----

struct RenderArgs {
  std::string file, out, select, overlay, fit, background;
  int page = 0;
  bool activate = false;
  bool placeholders = false;
};

void render(const RenderArgs& a) {
  Session s;
  if (!loadMenu(a.file, s.menu)) return;
  if (a.page < 0 || size_t(a.page) >= s.menu.ics.pages.size()) {
    fail("page " + std::to_string(a.page) + " does not exist (the menu has " +
         std::to_string(s.menu.ics.pages.size()) + ")");
    return;
  }
  std::stringstream items(a.overlay);
  for (std::string item; std::getline(items, item, ',');) {
    item = lower(item);
    if (item == "ids") s.options.showButtonId = true;
    else if (item == "objects") s.options.showObjectId = true;
    else if (item == "frames") s.options.showButtonFrame = true;
    else if (item == "windows") s.options.showWindowFrame = true;
    else if (!item.empty()) {
      fail("unknown overlay \"" + item + "\" (ids, objects, frames, windows)");
      return;
    }
  }
  int fw = 0, fh = 0;
  if (!a.fit.empty()) {
    if (!parseFit(a.fit, fw, fh)) {
      fail("--fit wants WIDTHxHEIGHT, for example 962x542", 2);
      return;
    }
    s.options.fullScreen = true;
  }
  s.options.placeholders = a.placeholders;
  s.open(a.page);
  if (!a.background.empty()) {
    s.options.background = true;
    s.options.backgroundFile = a.background;
    std::string err;
    if (!s.view->changeBackground(&err)) {
      fail(core::displayPath(a.background) + ": " + err);
      return;
    }
  }
  const igs::Page& page = s.menu.ics.pages[size_t(a.page)];
  unsigned selected = page.defaultSelected;
  if (!a.select.empty() && !parseNumber(a.select, selected)) {
    fail("--select wants a button id (decimal or 0x hex)", 2);
    return;
  }
  s.regs.psr[10] = selected < s.view->states().size() ? selected : 0xFFFF;
  if (!a.select.empty() && s.regs.psr[10] == 0xFFFF)
    std::cerr << "morvex-cli: button " << selected << " is not a button of page " << a.page << "; none selected\n";
  s.view->renderPage();
  if (a.activate && s.regs.psr[10] != 0xFFFF) s.view->renderActivatedButton();
  std::cout << pageStatus(s.regs.psr[10], s.regs.psr[11]) << '\n';
  if (s.view->objectsMissing())
    std::cout << (a.placeholders ? "objects missing: drawn as placeholders\n"
                                 : "objects missing: not drawn (--placeholders shows them)\n");
  writeOutput(fw ? fitPicture(s.view->page(), fw, fh) : s.view->page(), a.out);
}

// ---- menu play ----

struct PlayArgs {
  std::string file, keys, out, sounds, fit;
  int page = 0;
  bool trace = false;
  uint64_t maxSteps = 1000000;
};

// Commands a trace prints before it stops listing them (an endless program would
// otherwise print without bound).
constexpr uint64_t kTraceLines = 10000;

enum class Key { Up, Down, Left, Right, Sel, Timeout, Tick };

bool parseKeys(const std::string& text, std::vector<Key>& keys) {
  std::stringstream in(text);
  for (std::string k; std::getline(in, k, ',');) {
    k.erase(std::remove_if(k.begin(), k.end(), [](unsigned char c) { return std::isspace(c); }), k.end());
    const std::string l = lower(k);
    if (l == "u" || l == "up") keys.push_back(Key::Up);
    else if (l == "d" || l == "down") keys.push_back(Key::Down);
    else if (l == "l" || l == "left") keys.push_back(Key::Left);
    else if (l == "r" || l == "right") keys.push_back(Key::Right);
    else if (l == "sel" || l == "e" || l == "enter") keys.push_back(Key::Sel);
    else if (l == "timeout" || l == "t") keys.push_back(Key::Timeout);
    else if (l == "tick" || l == "a") keys.push_back(Key::Tick);
    else {
      fail("unknown key \"" + k + "\" (U, D, L, R, Sel, Timeout, Tick)");
      return false;
    }
  }
  return true;
}

const char* keyName(Key k) {
  switch (k) {
    case Key::Up: return "U";
    case Key::Down: return "D";
    case Key::Left: return "L";
    case Key::Right: return "R";
    case Key::Sel: return "Sel";
    case Key::Timeout: return "Timeout";
    default: return "Tick";
  }
}

void printChanges(const hdmv::Registers& before, const hdmv::Registers& after) {
  for (int i = 0; i < hdmv::kPsrCount; ++i)
    if (before.psr[size_t(i)] != after.psr[size_t(i)])
      std::cout << "  PSR" << i << ": " << hdmv::hexWord(before.psr[size_t(i)]) << " -> "
                << hdmv::hexWord(after.psr[size_t(i)]) << " (" << after.psr[size_t(i)] << ")\n";
  for (int i = 0; i < hdmv::kGprCount; ++i)
    if (before.gpr[size_t(i)] != after.gpr[size_t(i)])
      std::cout << "  GPR" << i << ": " << hdmv::hexWord(before.gpr[size_t(i)]) << " -> "
                << hdmv::hexWord(after.gpr[size_t(i)]) << " (" << after.gpr[size_t(i)] << ")\n";
}

void printEvents(Session& s, bool trace) {
  for (const EmulatorEvent& e : s.emu->takeEvents()) {
    switch (e.kind) {
      case EmulatorEvent::Kind::RunButton:
        std::cout << "  Run button " << core::hexField(unsigned(e.number), 4) << '\n';
        break;
      case EmulatorEvent::Kind::Report: std::cout << "  Report: " << e.text << '\n'; break;
      case EmulatorEvent::Kind::PageShown: std::cout << "  Page: " << e.number << '\n'; break;
      case EmulatorEvent::Kind::Paused:
        std::cout << "  Paused after " << e.number << " commands (the program does not end)\n";
        break;
    }
  }
  for (const ViewEvent& e : s.view->takeEvents()) std::cout << "  Sound " << e.soundId << '\n';
  for (const ViewFrame& f : s.view->takeFrames())
    if (trace && !f.status.empty()) std::cout << "  " << f.status << '\n';
}

void play(const PlayArgs& a) {
  std::vector<Key> keys;
  if (!parseKeys(a.keys, keys)) return;
  int fw = 0, fh = 0;
  if (!a.fit.empty() && !parseFit(a.fit, fw, fh)) {
    fail("--fit wants WIDTHxHEIGHT, for example 962x542", 2);
    return;
  }
  Session s;
  if (!loadMenu(a.file, s.menu)) return;
  if (a.page < 0 || size_t(a.page) >= s.menu.ics.pages.size()) {
    fail("page " + std::to_string(a.page) + " does not exist");
    return;
  }
  s.open(a.page);
  // Button sounds are those of the disc's sound file: named, or found beside the menu
  // in BDMV/AUXDATA when the menu lies in BDMV/STREAM.
  fs::path soundFile = a.sounds;
  if (soundFile.empty()) {
    const fs::path guess = fs::absolute(a.file).parent_path().parent_path() / "AUXDATA" / "sound.bdmv";
    std::error_code ec;
    if (fs::is_regular_file(guess, ec)) soundFile = guess;
  }
  if (!soundFile.empty()) {
    core::Bytes image;
    std::string err;
    sound::SoundFile snd;
    core::MemoryLog quietSound;
    if (!core::readWholeFile(soundFile, image, err)) {
      fail(core::displayPath(soundFile) + ": " + err);
      return;
    }
    if (!acceptRead(sound::readSoundFile(image, soundFile.filename().string(), snd, quietSound))) return;
    s.view->soundCount = unsigned(snd.entries.size());
    s.options.playSound = true;
  }
  s.emu->stepBudget = size_t(std::max<uint64_t>(1, a.maxSteps));
  uint64_t traced = 0;
  if (a.trace)
    s.emu->traceHook = [&s, &traced](int button, int line, const hdmv::Command& c) {
      if (++traced > kTraceLines) {
        if (traced == kTraceLines + 1)
          std::cout << "  ... trace stops listing commands after " << kTraceLines << '\n';
        return;
      }
      printEvents(s, true);  // what led to this command comes first
      const hdmv::CommandRow row = hdmv::comm2str(c, line, hdmv::CmdContext::Button);
      std::cout << "  " << core::hexField(unsigned(button), 4) << " " << row.cells[0] << "  " << row.cells[4] << '\n';
    };
  hdmv::Registers before = s.regs;
  std::cout << "Start\n";
  s.emu->start();
  printEvents(s, a.trace);
  printChanges(before, s.regs);
  std::cout << "  " << pageStatus(s.regs.psr[10], s.regs.psr[11]) << '\n';
  for (Key k : keys) {
    before = s.regs;
    std::cout << keyName(k) << '\n';
    switch (k) {
      case Key::Up: s.emu->move(NavKey::Up); break;
      case Key::Down: s.emu->move(NavKey::Down); break;
      case Key::Left: s.emu->move(NavKey::Left); break;
      case Key::Right: s.emu->move(NavKey::Right); break;
      case Key::Sel: s.emu->select(); break;
      case Key::Timeout: s.emu->userTimeout(); break;
      case Key::Tick: s.emu->animationTick(); break;
    }
    printEvents(s, a.trace);
    printChanges(before, s.regs);
  }
  std::cout << "Final: " << pageStatus(s.regs.psr[10], s.regs.psr[11]) << '\n';
  if (!a.out.empty()) writeOutput(fw ? fitPicture(s.view->page(), fw, fh) : s.view->page(), a.out);
}

CommandRegistrar reg(60, [](CLI::App& app) {
  CLI::App* menu = sharedSubcommand(app, "menu", "Interactive Graphics menus");

  static RenderArgs r;
  CLI::App* render = menu->add_subcommand("render", "Compose one page of a menu into a PNG picture");
  render->add_option("MENU", r.file, "menu file (.mnu) or AV stream (.m2ts)")->required();
  render->add_option("--page", r.page, "page index (default 0)");
  render->add_option("--select", r.select, "selected button id (default: the page's default)");
  render->add_flag("--activate", r.activate, "draw the selected button activated");
  render->add_flag("--placeholders", r.placeholders, "draw buttons whose objects are missing as marked boxes");
  render->add_option("--overlay", r.overlay, "comma-separated overlays: ids, objects, frames, windows");
  render->add_option("--background", r.background, "background picture (BMP or PNG) instead of the built-in one");
  render->add_option("--fit", r.fit, "scale into a WIDTHxHEIGHT view as the fit-to-window mode does");
  render->add_option("-o,--output", r.out, "PNG file to write")->required();
  render->callback([] { ::morvex::cli::render(r); });

  static PlayArgs p;
  CLI::App* play = menu->add_subcommand("play", "Run the menu emulator over a list of keys");
  play->add_option("MENU", p.file, "menu file (.mnu) or AV stream (.m2ts)")->required();
  play->add_option("--keys", p.keys, "comma-separated keys: U, D, L, R, Sel, Timeout, Tick")->required();
  play->add_option("--page", p.page, "page to start on (default 0)");
  play->add_flag("--trace", p.trace, "also print every command executed and the effect steps");
  play->add_option("--max-steps", p.maxSteps, "pause a button program after this many commands (default 1000000)");
  play->add_option("-o,--output", p.out, "PNG file for the final picture");
  play->add_option("--fit", p.fit, "scale the final picture into a WIDTHxHEIGHT view");
  play->add_option("--sounds", p.sounds, "sound.bdmv whose entries the buttons play (default: the disc's)");
  play->callback([] { ::morvex::cli::play(p); });
});

}  // namespace
}  // namespace morvex::cli

#include "synthetic_menu.h"

namespace morvex::menuview::test {

SyntheticMenu::SyntheticMenu() {
  menu.loaded = true;
  menu.ics.width = 1920;
  menu.ics.height = 1080;
  menu.ics.frameRateCode = 2;  // 24 frames a second, exactly 1000/24000
  setEntry(0, kRed, {255, 0, 0, 255});
  setEntry(0, kGreen, {0, 255, 0, 255});
  setEntry(0, kBlue, {0, 0, 255, 255});
  setEntry(0, kHalfWhite, {255, 255, 255, 128});
  setEntry(0, kCyan, {0, 255, 255, 255});
  setEntry(0, kMagenta, {255, 0, 255, 255});
  setEntry(0, kOrange, {255, 128, 0, 255});
  view = std::make_unique<PageView>(menu, regs, options, log);
  emu = std::make_unique<MenuEmulator>(*view, interp);
  hdmv::resetRegisters(regs, hdmv::RegisterOptions{});
}

void SyntheticMenu::setEntry(unsigned palette, unsigned index, igs::Rgbt c) {
  if (menu.palettes.size() <= palette) menu.palettes.resize(palette + 1);
  menu.palettes[palette].id = uint16_t(palette);
  menu.palettes[palette].rgbt[index] = c;
}

static void putObject(igs::Menu& menu, unsigned id, igs::IndexedPicture pic) {
  if (menu.objects.size() <= id) menu.objects.resize(id + 1);
  igs::GraphicsObject& o = menu.objects[id];
  o.id = uint16_t(id);
  o.width = pic.width;
  o.height = pic.height;
  o.picture = std::move(pic);
}

void SyntheticMenu::addSolidObject(unsigned id, int w, int h, uint8_t index) {
  putObject(menu, id, igs::IndexedPicture{uint16_t(w), uint16_t(h), std::vector<uint8_t>(size_t(w) * h, index)});
}

void SyntheticMenu::addColumnObject(unsigned id, int w, int h) {
  igs::IndexedPicture pic{uint16_t(w), uint16_t(h), std::vector<uint8_t>(size_t(w) * h)};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) pic.pixels[size_t(y) * w + x] = uint8_t(x % 250 + 1);
  for (unsigned i = 1; i <= 250; ++i) setEntry(1, i, {uint8_t(i), uint8_t(255 - i), 77, 255});
  putObject(menu, id, std::move(pic));
}

igs::ButtonOverlapGroup& SyntheticMenu::bog(unsigned page, unsigned bogIndex) {
  if (menu.ics.pages.size() <= page) menu.ics.pages.resize(page + 1);
  igs::Page& p = menu.ics.pages[page];
  p.id = uint8_t(page);
  if (p.bogs.size() <= bogIndex) p.bogs.resize(bogIndex + 1);
  return p.bogs[bogIndex];
}

igs::Button& SyntheticMenu::addButton(unsigned page, unsigned bogIndex, igs::Button b) {
  igs::ButtonOverlapGroup& g = bog(page, bogIndex);
  b.numCommands = uint16_t(b.commands.size());
  g.buttons.push_back(b);
  return g.buttons.back();
}

void SyntheticMenu::finish() {
  menu.ics.numPages = uint8_t(menu.ics.pages.size());
  menu.pageButtons.clear();
  for (igs::Page& p : menu.ics.pages) {
    p.numBOGs = uint8_t(p.bogs.size());
    for (igs::ButtonOverlapGroup& g : p.bogs) g.numButtons = uint8_t(g.buttons.size());
    menu.pageButtons.push_back(igs::buildPageButtons(p));
  }
  igs::resizeCache(menu, view->pictures());
  view->selectPage(0);
  view->blankPage();
  view->takeFrames();
}

igs::Button makeButton(uint16_t id, uint16_t x, uint16_t y, uint16_t n, uint16_t s, uint16_t a,
                          hdmv::CommandList commands) {
  igs::Button b;
  b.id = id;
  b.x = x;
  b.y = y;
  b.upper = b.lower = b.left = b.right = id;
  b.normalStart = b.normalEnd = n;
  b.selectedStart = b.selectedEnd = s;
  b.activatedStart = b.activatedEnd = a;
  b.commands = std::move(commands);
  b.numCommands = uint16_t(b.commands.size());
  return b;
}

// Set operations with an immediate source: 0x50400000 | operation, destination GPR.
hdmv::Command moveGpr(uint16_t gpr, uint32_t value) { return hdmv::Command{0x50400001, gpr, value}; }
hdmv::Command addGpr(uint16_t gpr, uint32_t value) { return hdmv::Command{0x50400003, gpr, value}; }

}  // namespace morvex::menuview::test

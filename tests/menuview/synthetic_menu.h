#pragma once
// Menus built in code for the page-view tests: palettes with known colours and solid
// or patterned objects whose decoded pictures are set directly, so every expected
// pixel can be written down.
#include <memory>

#include "core/log.h"
#include "igs/colour.h"
#include "hdmv/interpreter.h"
#include "igs/model.h"
#include "menuview/emulator.h"
#include "menuview/page_view.h"

namespace morvex::menuview::test {

// Palette 0 entries used by the tests.
inline constexpr uint8_t kRed = 1, kGreen = 2, kBlue = 3, kHalfWhite = 4, kCyan = 5, kMagenta = 6, kOrange = 7;

struct SyntheticMenu {
  igs::Menu menu;
  hdmv::Registers regs;
  DisplayOptions options;
  core::MemoryLog log;
  std::unique_ptr<PageView> view;
  hdmv::Interpreter interp{regs};
  std::unique_ptr<MenuEmulator> emu;

  SyntheticMenu();
  // Sets entry `index` of a palette (created on demand).
  void setEntry(unsigned palette, unsigned index, igs::Rgbt c);
  // A w x h object filled with one palette index.
  void addSolidObject(unsigned id, int w, int h, uint8_t index);
  // A w x h object whose column c has palette index (c % 250) + 1.
  void addColumnObject(unsigned id, int w, int h);
  // Pages and BOGs are created on demand.
  igs::ButtonOverlapGroup& bog(unsigned page, unsigned bog);
  igs::Button& addButton(unsigned page, unsigned bog, igs::Button b);
  // Rebuilds page-button lists and counts, selects page 0 and resets the picture.
  void finish();
};

// A button at (x, y) with single-object states: normal n, selected s, activated a.
igs::Button makeButton(uint16_t id, uint16_t x, uint16_t y, uint16_t n, uint16_t s, uint16_t a,
                          hdmv::CommandList commands = {hdmv::Command{0x50400001, 0, 1}});

// Navigation commands used by the tests.
hdmv::Command moveGpr(uint16_t gpr, uint32_t value);  // GPR = value
hdmv::Command addGpr(uint16_t gpr, uint32_t value);   // GPR += value

}  // namespace morvex::menuview::test

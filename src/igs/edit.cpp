#include "igs/edit.h"
#include "core/text.h"

#include <algorithm>
#include <cctype>

#include "igs/colour.h"

namespace morvex::igs {

namespace {

bool validPage(const Menu& m, size_t page) { return page < m.ics.pages.size(); }
bool validBog(const Menu& m, size_t page, size_t bog) {
  return validPage(m, page) && bog < m.ics.pages[page].bogs.size();
}

void syncPageButtons(Menu& m) {
  m.pageButtons.resize(m.ics.pages.size());
  m.ics.numPages = uint8_t(m.ics.pages.size());
}

bool hasBlank(std::string_view t) { return t.find(' ') != std::string_view::npos; }

// Neighbour fields in the order upper, lower, left, right.
std::array<uint16_t*, 4> neighbours(Button& b) { return {&b.upper, &b.lower, &b.left, &b.right}; }

}  // namespace

void newMenu(Menu& menu) {
  menu.clear();
  InteractiveComposition& c = menu.ics;
  c.width = 1920;
  c.height = 1080;
  c.frameRateCode = 1;
  c.dataLength = 67;
  c.model = 3;
  menu.inTime = 180000;
  menu.loaded = true;
  createPage(menu);
}

bool createPage(Menu& menu) {
  if (menu.ics.pages.size() >= kMaxPages) return false;
  Page p;
  p.id = uint8_t(menu.ics.pages.size());
  p.animationCode = 1;
  p.defaultSelected = kNoButton;
  p.defaultActivated = kNoButton;
  menu.ics.pages.push_back(p);
  syncPageButtons(menu);
  menu.pageButtons.back().clear();
  createBog(menu, menu.ics.pages.size() - 1);
  return true;
}

bool createBog(Menu& menu, size_t page) {
  if (!validPage(menu, page)) return false;
  Page& p = menu.ics.pages[page];
  if (p.bogs.size() >= kMaxBOGs) return false;
  ButtonOverlapGroup g;
  g.defaultValid = kNoButton;
  p.bogs.push_back(g);
  p.numBOGs = uint8_t(p.bogs.size());
  createButton(menu, page, p.bogs.size() - 1);
  return true;
}

bool createButton(Menu& menu, size_t page, size_t bog) {
  if (!validBog(menu, page, bog)) return false;
  syncPageButtons(menu);
  ButtonOverlapGroup& g = menu.ics.pages[page].bogs[bog];
  if (g.buttons.size() >= kMaxButtonsPerBOG) return false;
  PageButtons& list = menu.pageButtons[page];
  if (list.size() >= kNoButton) return false;
  Button b;
  b.id = uint16_t(list.size());
  b.numericValue = 0xFFFF;
  b.upper = b.lower = b.left = b.right = b.id;
  b.selectedSound = b.activatedSound = 255;
  g.buttons.push_back(b);
  g.numButtons = uint8_t(g.buttons.size());
  list.push_back(b);
  return true;
}

size_t pageAfterDelete(size_t deletedPage) { return deletedPage == 0 ? 0 : deletedPage - 1; }

bool erasePage(Menu& menu, size_t page) {
  if (menu.ics.pages.size() < 2 || !validPage(menu, page)) return false;
  syncPageButtons(menu);
  menu.ics.pages.erase(menu.ics.pages.begin() + page);
  menu.pageButtons.erase(menu.pageButtons.begin() + page);
  menu.ics.numPages = uint8_t(menu.ics.pages.size());
  return true;
}

bool canDeleteButton(const Menu& menu, size_t page, size_t bog) {
  return validBog(menu, page, bog) && menu.ics.pages[page].bogs[bog].buttons.size() >= 2;
}

bool eraseButton(Menu& menu, size_t page, size_t bog, size_t index) {
  if (!validBog(menu, page, bog)) return false;
  syncPageButtons(menu);
  Page& p = menu.ics.pages[page];
  ButtonOverlapGroup& g = p.bogs[bog];
  if (index >= g.buttons.size()) return false;
  const Button gone = g.buttons[index];
  const uint16_t b = gone.id;
  const std::array<uint16_t, 4> goneNb = {gone.upper, gone.lower, gone.left, gone.right};
  g.buttons.erase(g.buttons.begin() + index);
  g.numButtons = uint8_t(g.buttons.size());

  for (auto& grp : p.bogs)
    if (grp.defaultValid != kNoButton && grp.defaultValid > b) --grp.defaultValid;
  for (auto& grp : p.bogs)
    for (auto& btn : grp.buttons) {
      if (btn.id > b) --btn.id;
      auto nb = neighbours(btn);
      for (int d = 0; d < 4; ++d) {
        uint16_t& n = *nb[d];
        if (n == b) {
          // The deleted button's own neighbour in that direction takes its place;
          // a deleted button that named itself leaves the button pointing at itself.
          n = goneNb[d] == b ? btn.id : uint16_t(goneNb[d] > b ? goneNb[d] - 1 : goneNb[d]);
        } else if (n > b && n != kNoButton) {
          --n;
        }
      }
    }
  // Commands that name a button by an immediate operand: SetButtonPage,
  // EnableButton and DisableButton.
  for (auto& grp : p.bogs)
    for (auto& btn : grp.buttons)
      for (auto& c : btn.commands) {
        if (c.opcode != 0x51800003 && c.opcode != 0x51C00003 && c.opcode != 0x31800004 && c.opcode != 0x31800005)
          continue;
        uint16_t target = uint16_t(c.dst & 0xFFFF);
        if (target == b) c = hdmv::Command{};
        else if (target > b) c.dst -= 1;
      }
  const size_t oldLen = menu.pageButtons[page].size();
  PageButtons rebuilt = buildPageButtons(p);
  if (oldLen > 0 && rebuilt.size() < oldLen - 1) {
    Button empty;
    empty.id = kNoButton;
    rebuilt.resize(oldLen - 1, empty);
  }
  menu.pageButtons[page] = std::move(rebuilt);
  return true;
}

bool eraseBog(Menu& menu, size_t page, size_t bog) {
  if (!validBog(menu, page, bog) || menu.ics.pages[page].bogs.size() < 2) return false;
  while (!menu.ics.pages[page].bogs[bog].buttons.empty()) eraseButton(menu, page, bog, 0);
  Page& p = menu.ics.pages[page];
  p.bogs.erase(p.bogs.begin() + bog);
  p.numBOGs = uint8_t(p.bogs.size());
  return true;
}

// ---- Page fields --------------------------------------------------------------

std::string pageFieldText(const Page& p, PageField f) {
  switch (f) {
    case PageField::Mask1: return core::hexText(p.uopHigh, 8);
    case PageField::Mask2: return core::hexText(p.uopLow, 1);
    case PageField::AnimationCode: return std::to_string(p.animationCode);
    case PageField::DefaultSelected: return core::hexText(p.defaultSelected, 4);
    case PageField::DefaultActivated: return core::hexText(p.defaultActivated, 4);
    case PageField::Palette: return core::hexText(p.paletteId, 2);
  }
  return {};
}

bool setPageField(Menu& menu, size_t page, PageField f, std::string_view text) {
  if (!validPage(menu, page)) return false;
  Page& p = menu.ics.pages[page];
  auto hex = core::parseHex(text, 8);
  switch (f) {
    case PageField::Mask1:
      if (!hex) return false;
      p.uopHigh = *hex;
      return true;
    case PageField::Mask2:
      if (!hex) return false;
      p.uopLow = *hex;
      return true;
    case PageField::AnimationCode: {
      auto v = core::parseDecimal(text, 9);
      if (!v || *v > 255) return false;
      p.animationCode = uint8_t(*v);
      return true;
    }
    case PageField::DefaultSelected:
      if (!hex || *hex > 0xFFFF) return false;
      p.defaultSelected = uint16_t(*hex);
      return true;
    case PageField::DefaultActivated:
      if (!hex || *hex > 0xFFFF) return false;
      p.defaultActivated = uint16_t(*hex);
      return true;
    case PageField::Palette:
      if (!hex || *hex >= menu.palettes.size()) return false;
      p.paletteId = uint8_t(*hex);
      return true;
  }
  return false;
}

std::array<unsigned, 5> pageCounts(const Page& p) {
  return {p.effects[0].numWindows, unsigned(p.effects[0].effects.size()), p.effects[1].numWindows,
          unsigned(p.effects[1].effects.size()), unsigned(p.bogs.size())};
}

std::string userTimeoutText(const InteractiveComposition& ics) { return core::secondsText(ics.userTimeout / 90000); }

std::string inTimeText(uint32_t inTime) { return core::timeText(inTime / 90); }  // 90 ticks per millisecond

bool setUserTimeout(Menu& menu, std::string_view text, core::Log& log) {
  // h:mm:ss, with the leading parts optional; minutes and seconds below 60.
  std::vector<uint32_t> parts;
  size_t start = 0;
  bool ok = !text.empty();
  while (ok) {
    size_t colon = text.find(':', start);
    std::string_view piece = text.substr(start, colon == std::string_view::npos ? std::string_view::npos : colon - start);
    auto v = core::parseDecimal(piece, 9);
    if (!v) ok = false;
    else parts.push_back(*v);
    if (colon == std::string_view::npos) break;
    start = colon + 1;
  }
  if (ok && (parts.empty() || parts.size() > 3)) ok = false;
  uint64_t seconds = 0;
  if (ok) {
    for (size_t i = 0; i < parts.size(); ++i) {
      if (i > 0 && parts[i] >= 60) ok = false;
      seconds = seconds * 60 + parts[i];
    }
    // h < 24 as a time of day; the stored value has 24 bits of 90 kHz ticks.
    if (parts.size() == 3 && parts[0] >= 24) ok = false;
  }
  if (!ok || seconds * 90000 > 0xFFFFFF) {
    log.errorStatus("'" + std::string(text) + "' is not a valid time");
    return false;
  }
  menu.ics.userTimeout = uint32_t(seconds * 90000);
  return true;
}

// ---- BOG grid -----------------------------------------------------------------

const std::array<const char*, 2> kBogRowCaptions = {" default valid button", " number of buttons"};

std::array<std::string, 2> bogColumnTexts(const ButtonOverlapGroup& g) {
  return {core::hexText(g.defaultValid, 4), std::to_string(g.buttons.size())};
}

bool setBogDefault(Menu& menu, size_t page, size_t bog, std::string_view text) {
  if (!validBog(menu, page, bog) || hasBlank(text)) return false;
  syncPageButtons(menu);
  auto v = core::parseHex(text, 8);
  if (!v || (*v != kNoButton && *v >= menu.pageButtons[page].size())) return false;
  menu.ics.pages[page].bogs[bog].defaultValid = uint16_t(*v);
  return true;
}

void stepBogDefault(Menu& menu, size_t page, size_t bog) {
  if (!validBog(menu, page, bog)) return;
  ButtonOverlapGroup& g = menu.ics.pages[page].bogs[bog];
  if (g.buttons.empty()) return;
  if (g.defaultValid == kNoButton) {
    g.defaultValid = g.buttons.front().id;
    return;
  }
  for (size_t i = 0; i < g.buttons.size(); ++i)
    if (g.buttons[i].id == g.defaultValid) {
      g.defaultValid = i + 1 < g.buttons.size() ? g.buttons[i + 1].id : kNoButton;
      return;
    }
  // A default naming a button of another group starts over at the first.
  g.defaultValid = g.buttons.front().id;
}

// ---- Button grid --------------------------------------------------------------

const std::array<const char*, kButtonFieldCount> kButtonFieldCaptions = {
    "id", "value", "a.act.", "X", "Y", "upper", "lower", "left", "right", "n.start", "n.end", "n.repeat",
    "s.sound", "s.start", "s.end", "s.repeat", "a.sound", "a.start", "a.end", "comm."};
const std::array<const char*, kButtonFieldCount> kButtonFieldMasks = {
    "", ">AAAA", ">L", "9999", "9999", ">AAAA", ">AAAA", ">AAAA", ">AAAA", ">AAAA", ">AAAA", ">L",
    ">AA", ">AAAA", ">AAAA", ">L", ">AA", ">AAAA", ">AAAA", "-"};

std::vector<std::string> buttonRowTexts(const Button& b) {
  auto yn = [](uint8_t v) { return std::string(v ? "Yes" : "No"); };
  return {core::hexText(b.id, 4),          core::hexText(b.numericValue, 4),   yn(b.autoAction),
          std::to_string(b.x),       std::to_string(b.y),          core::hexText(b.upper, 4),
          core::hexText(b.lower, 4),       core::hexText(b.left, 4),           core::hexText(b.right, 4),
          core::hexText(b.normalStart, 4), core::hexText(b.normalEnd, 4),      yn(b.normalRepeat),
          core::hexText(b.selectedSound, 2), core::hexText(b.selectedStart, 4), core::hexText(b.selectedEnd, 4),
          yn(b.selectedRepeat),      core::hexText(b.activatedSound, 2), core::hexText(b.activatedStart, 4),
          core::hexText(b.activatedEnd, 4), std::to_string(b.commands.size())};
}

bool editButtonCell(Menu& menu, size_t page, size_t bog, size_t index, ButtonField field, std::string_view text,
                    unsigned numSounds) {
  if (!validBog(menu, page, bog) || index >= menu.ics.pages[page].bogs[bog].buttons.size()) return false;
  syncPageButtons(menu);
  Button& b = menu.ics.pages[page].bogs[bog].buttons[index];
  bool stored = false;
  if (!hasBlank(text)) {
    auto hex = core::parseHex(text, 8);
    auto dec = core::parseDecimal(text, 9);
    const size_t listLen = menu.pageButtons[page].size();
    const size_t objects = menu.objects.size();
    const bool yes = text.size() == 1 && std::toupper(static_cast<unsigned char>(text[0])) == 'Y';
    auto setStart = [&](uint16_t& start, uint16_t& end) {
      if (!hex || *hex >= objects) return;
      start = uint16_t(*hex);
      if (end == kNoObject || end < start) end = start;
      stored = true;
    };
    auto setEnd = [&](uint16_t& end) {
      if (!hex || *hex >= objects) return;
      end = uint16_t(*hex);
      stored = true;
    };
    auto setRepeat = [&](uint8_t& repeat, uint16_t start, uint16_t end) {
      repeat = (yes && start != end) ? 1 : 0;
      stored = true;
    };
    auto setSound = [&](uint8_t& sound) {
      if (!hex || (*hex != 255 && *hex >= numSounds) || *hex > 255) return;
      sound = uint8_t(*hex);
      stored = true;
    };
    switch (field) {
      case ButtonField::Value:
        if (hex && *hex <= 0xFFFF) {
          b.numericValue = uint16_t(*hex);
          stored = true;
        }
        break;
      case ButtonField::AutoAction:
        b.autoAction = yes ? 1 : 0;
        stored = true;
        break;
      case ButtonField::X:
        if (dec && *dec < menu.ics.width) {
          b.x = uint16_t(*dec);
          stored = true;
        }
        break;
      case ButtonField::Y:
        if (dec && *dec < menu.ics.height) {
          b.y = uint16_t(*dec);
          stored = true;
        }
        break;
      case ButtonField::Upper:
      case ButtonField::Lower:
      case ButtonField::Left:
      case ButtonField::Right:
        if (hex && listLen > 0 && *hex <= listLen - 1) {
          *neighbours(b)[int(field) - int(ButtonField::Upper)] = uint16_t(*hex);
          stored = true;
        }
        break;
      case ButtonField::NormalStart: setStart(b.normalStart, b.normalEnd); break;
      case ButtonField::NormalEnd: setEnd(b.normalEnd); break;
      case ButtonField::NormalRepeat: setRepeat(b.normalRepeat, b.normalStart, b.normalEnd); break;
      case ButtonField::SelectedSound: setSound(b.selectedSound); break;
      case ButtonField::SelectedStart: setStart(b.selectedStart, b.selectedEnd); break;
      case ButtonField::SelectedEnd: setEnd(b.selectedEnd); break;
      case ButtonField::SelectedRepeat: setRepeat(b.selectedRepeat, b.selectedStart, b.selectedEnd); break;
      case ButtonField::ActivatedSound: setSound(b.activatedSound); break;
      case ButtonField::ActivatedStart: setStart(b.activatedStart, b.activatedEnd); break;
      case ButtonField::ActivatedEnd: setEnd(b.activatedEnd); break;
      default: break;  // id and command count are not edited here
    }
  }
  PageButtons& list = menu.pageButtons[page];
  if (b.id < list.size()) list[b.id] = b;
  return stored;
}

bool setButtonCommands(Menu& menu, size_t page, size_t bog, size_t index, hdmv::CommandList commands) {
  if (!validBog(menu, page, bog) || index >= menu.ics.pages[page].bogs[bog].buttons.size()) return false;
  Button& b = menu.ics.pages[page].bogs[bog].buttons[index];
  b.commands = std::move(commands);
  b.numCommands = uint16_t(std::min<size_t>(b.commands.size(), 0xFFFF));
  if (menu.pageButtons.size() <= page) menu.pageButtons.resize(menu.ics.pages.size());
  PageButtons& list = menu.pageButtons[page];
  if (b.id < list.size() && list[b.id].id == b.id) {
    list[b.id].commands = b.commands;
    list[b.id].numCommands = b.numCommands;
  }
  return true;
}

void refreshMenu(Menu& menu, MenuPictures* pictures) {
  InteractiveComposition& c = menu.ics;
  c.numPages = uint8_t(std::min<size_t>(c.pages.size(), 255));
  menu.pageButtons.resize(c.pages.size());
  for (size_t i = 0; i < c.pages.size(); ++i) {
    Page& p = c.pages[i];
    p.numBOGs = uint8_t(std::min<size_t>(p.bogs.size(), 255));
    for (EffectSequence& seq : p.effects) {
      seq.numEffects = uint8_t(std::min<size_t>(seq.effects.size(), 255));
      for (Effect& e : seq.effects) e.numObjects = uint8_t(std::min<size_t>(e.objects.size(), 255));
    }
    for (ButtonOverlapGroup& g : p.bogs) {
      g.numButtons = uint8_t(std::min<size_t>(g.buttons.size(), 255));
      for (Button& b : g.buttons) b.numCommands = uint16_t(std::min<size_t>(b.commands.size(), 0xFFFF));
    }
    menu.pageButtons[i] = buildPageButtons(p);
  }
  if (pictures) resizeCache(menu, *pictures);
}

}  // namespace morvex::igs

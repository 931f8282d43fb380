#include "menuview/emulator.h"

#include <algorithm>

#include "core/text.h"
#include "igs/colour.h"

namespace morvex::menuview {

std::string dragStatus(const std::string& mode, unsigned id, int x, int y) {
  return mode + "Button: " + core::hexField(id, 4) + "   X: " + std::to_string(x) + " Y: " + std::to_string(y);
}

MenuEmulator::MenuEmulator(PageView& view, hdmv::Interpreter& interpreter) : view_(view), interp_(interpreter) {}

// ---- the interpreter's view of the menu ----

const igs::Button* MenuEmulator::pageButton(int page, int id) const {
  const igs::Menu& m = view_.menu();
  if (page < 0 || size_t(page) >= m.pageButtons.size()) return nullptr;
  const igs::PageButtons& list = m.pageButtons[size_t(page)];
  if (id < 0 || size_t(id) >= list.size() || list[size_t(id)].id == igs::kNoButton) return nullptr;
  return &list[size_t(id)];
}

int MenuEmulator::pageCount() const { return int(view_.menu().ics.pages.size()); }

int MenuEmulator::buttonListLength(int page) const {
  const igs::Menu& m = view_.menu();
  return page >= 0 && size_t(page) < m.pageButtons.size() ? int(m.pageButtons[size_t(page)].size()) : 0;
}

bool MenuEmulator::isButton(int page, int button) const { return pageButton(page, button) != nullptr; }

int MenuEmulator::bogOf(int page, int button) const {
  const igs::Page* p = view_.pageAt(page);
  if (!p) return -1;
  // The last BOG holding the id wins, as the button-by-id list keeps the later button.
  int found = -1;
  for (size_t i = 0; i < p->bogs.size(); ++i)
    for (const igs::Button& b : p->bogs[i].buttons)
      if (b.id == button) found = int(i);
  return found;
}

bool MenuEmulator::autoAction(int page, int button) const {
  const igs::Button* b = pageButton(page, button);
  return b && b->autoAction == 1;
}

hdmv::CommandList MenuEmulator::buttonCommands(int page, int button) const {
  const igs::Button* b = pageButton(page, button);
  return b ? b->commands : hdmv::CommandList{};
}

bool MenuEmulator::outEffectsEnabled() const { return view_.options().showOutEffects; }

bool MenuEmulator::hasOutEffects(int page) const {
  const igs::Page* p = view_.pageAt(page);
  return p && !p->effects[1].effects.empty();
}

int MenuEmulator::buttonStateCount() const { return int(view_.states().size()); }

int MenuEmulator::stateBog(int slot) const {
  return slot >= 0 && size_t(slot) < view_.states().size() ? view_.states()[size_t(slot)].bogIndex : -1;
}

void MenuEmulator::setButtonStates(int page) { view_.prepareButtonStates(page); }
void MenuEmulator::showInBog(int button) { view_.showInBog(unsigned(button)); }

void MenuEmulator::hideButton(int button) {
  if (button >= 0 && size_t(button) < view_.states().size()) view_.states()[size_t(button)].shown = 0;
}

void MenuEmulator::delPage() { view_.blankPage(); }

void MenuEmulator::drawEffects(int page) {
  if (const igs::Page* p = view_.pageAt(page)) view_.renderEffects(p->effects[1]);
}

void MenuEmulator::showPage(int page) {
  if (page != view_.pageChoice()) events_.push_back({EmulatorEvent::Kind::PageShown, page, {}});
  view_.setPageChoice(page);
}

// A program may switch pages many times (a looping auto-action button calling
// SetButtonPage); the page is drawn once, when the program ends or pauses, from the
// registers as they stand then.
void MenuEmulator::drawPage() { pageDrawPending_ = true; }

void MenuEmulator::flushPageDraw() {
  if (!std::exchange(pageDrawPending_, false)) return;
  view_.renderPage();
}
void MenuEmulator::drawButton(int button) { view_.renderButton(unsigned(button)); }
void MenuEmulator::drawSButton() { view_.renderSelectedButton(); }
void MenuEmulator::delButton(int button) { view_.blankButton(unsigned(button)); }
void MenuEmulator::setRunButton(int button) { runPanelButton = button; }

// ---- running button programs ----

void MenuEmulator::collectRunEvents() {
  for (hdmv::RunEvent& e : interp_.takeEvents())
    if (e.kind == hdmv::RunEventKind::Report) events_.push_back({EmulatorEvent::Kind::Report, 0, std::move(e.text)});
}

void MenuEmulator::drive() {
  hdmv::RunState st;
  if (traceHook) {
    size_t steps = 0;
    while (interp_.inProgress() && steps++ < stepBudget) {
      const int line = interp_.curLine;
      if (line >= 0 && size_t(line) < interp_.program().size()) traceHook(runPanelButton, line, interp_.program()[size_t(line)]);
      interp_.step();
    }
    st = interp_.state();
  } else {
    st = interp_.run(stepBudget);
  }
  if (st == hdmv::RunState::Running) {
    interp_.pause();
    events_.push_back({EmulatorEvent::Kind::Paused, int(stepBudget), {}});
  }
  flushPageDraw();
}

void MenuEmulator::runButton(unsigned id) {
  runPanelButton = int(id);
  events_.push_back({EmulatorEvent::Kind::RunButton, int(id), {}});
  interp_.curLine = interp_.traceBox ? -1 : 0;
  if (!interp_.executeCommand(buttonCommands(view_.pageChoice(), int(id)), this)) {
    flushPageDraw();
    collectRunEvents();
    return;
  }
  drive();
  collectRunEvents();
}

// ---- start, keys and timers ----

void MenuEmulator::menuOpened(const hdmv::RegisterOptions& registers, int page) {
  interp_.cancel();
  interp_.takeEvents();
  hdmv::resetRegisters(view_.regs(), registers);
  igs::Menu& m = view_.menu();
  if (page < 0 || size_t(page) >= m.ics.pages.size()) page = 0;
  igs::MenuPictures& pics = view_.pictures();
  for (unsigned id = 0; id < m.objects.size(); ++id) igs::invalidateObject(pics, id);
  igs::resizeCache(m, pics);
  view_.selectPage(page);
  view_.regs().psr[11] = uint32_t(page);
  view_.blankPage();
  view_.takeFrames();
  view_.takeEvents();
  events_.clear();
  runPanelButton = -1;
  userTimerOn = false;
  userTimeoutMs = 0;
  view_.animationTimerOn = false;
  dragging_ = false;
  pageDrawPending_ = false;
}

void MenuEmulator::start(int page) {
  if (page != view_.pageChoice() && view_.pageAt(page)) view_.selectPage(page);
  start();
}

void MenuEmulator::start() {
  const int p = view_.pageChoice();
  const igs::Page* page = view_.pageAt(p);
  if (!page) return;
  // PSR 11 names the page on screen from here on, as the player's would.
  view_.regs().psr[11] = uint32_t(p);
  if (page->defaultActivated != igs::kNoButton) userTimeoutMs = view_.menu().ics.userTimeout / 90;
  userTimerOn = true;
  if (view_.options().buttonAnimation) view_.animationTimerOn = true;

  if (interp_.state() == hdmv::RunState::Paused && runPanelButton >= 0) {
    if (interp_.start(buttonCommands(p, runPanelButton), this)) drive();
    collectRunEvents();
    return;
  }
  interp_.curLine = 0;
  view_.renderPage();

  const unsigned b = page->defaultSelected;
  if (b >= view_.states().size()) {
    for (const igs::ButtonOverlapGroup& bog : page->bogs) {
      // Each group is looked at on its own: a group whose default id names none of its
      // buttons runs nothing.
      const igs::Button* found = nullptr;
      if (bog.defaultValid != igs::kNoButton)
        for (const igs::Button& btn : bog.buttons)
          if (btn.id == bog.defaultValid) found = &btn;
      if (found && found->autoAction == 1) runButton(found->id);
    }
    return;
  }
  view_.regs().psr[10] = b;
  view_.renderSelectedButton();
  if (autoAction(p, int(b))) runButton(b);
}

void MenuEmulator::move(NavKey key) {
  uint32_t& psr10 = view_.regs().psr[10];
  if (psr10 >= view_.states().size()) return;
  const igs::Button* b = view_.button(psr10);
  if (!b) return;
  const uint16_t next = key == NavKey::Up     ? b->upper
                        : key == NavKey::Down ? b->lower
                        : key == NavKey::Left ? b->left
                                              : b->right;
  if (next == psr10) return;
  view_.renderButton(psr10);
  psr10 = next;
  if (autoAction(view_.pageChoice(), next))
    runButton(next);
  else
    view_.renderSelectedButton();
}

void MenuEmulator::select() {
  hdmv::Registers& r = view_.regs();
  const uint32_t id = r.psr[10];
  if (id >= 0xFFFF || !view_.button(id)) return;
  const uint32_t page = r.psr[11];
  view_.renderActivatedButton();
  runButton(id);
  if (r.psr[10] == id && r.psr[11] == page && !autoAction(view_.pageChoice(), int(id))) view_.renderSelectedButton();
}

void MenuEmulator::userTimeout() {
  hdmv::Registers& r = view_.regs();
  const igs::Page* page = view_.pageAt(view_.pageChoice());
  if (!page) return;
  if (r.psr[10] < view_.states().size() && page->defaultActivated == 0xFFFE) {
    select();
    return;
  }
  const unsigned d = page->defaultActivated;
  if (d >= view_.states().size() || !view_.states()[d].shown) return;
  if (r.psr[10] < 0xFFFF) view_.renderButton(r.psr[10]);
  r.psr[10] = d;
  view_.renderActivatedButton();
  runButton(d);
  const igs::Page* now = view_.pageAt(view_.pageChoice());
  if (now && now->defaultActivated == r.psr[10] && uint32_t(view_.pageChoice()) == r.psr[11] &&
      !autoAction(view_.pageChoice(), int(d)))
    view_.renderSelectedButton();
}

void MenuEmulator::animationTick() {
  const uint32_t sel = view_.regs().psr[10];
  for (size_t id = 0; id < view_.states().size(); ++id) {
    const ButtonState& s = view_.states()[id];
    if (id == sel) {
      if (s.selectedAnimating) view_.renderSelectedButtonAt();
      if (view_.states()[id].activatedAnimating) view_.renderActivatedButtonAt();
    } else if (s.shown && s.normalAnimating) {
      view_.renderButtonAt(unsigned(id));
    }
  }
  view_.animationTimerOn = view_.options().buttonAnimation;
}

// ---- mouse ----

PagePoint MenuEmulator::toPage(int x, int y) const {
  return view_.options().fullScreen ? mapToPage(fit, x, y) : PagePoint{x, y};
}

bool MenuEmulator::inHotArea(const igs::Button& b, PagePoint p) const {
  const auto [w, h] = view_.stateSize(b.selectedStart);
  return b.x + 5 <= p.x && p.x <= b.x + w - 5 && b.y + 5 <= p.y && p.y <= b.y + h - 5;
}

CursorShape MenuEmulator::mouseMove(int x, int y, DragKeys keys) {
  if (dragging_) {
    dragMove(x, y, keys);
    return CursorShape::Move;
  }
  hdmv::Registers& r = view_.regs();
  if (r.psr[11] >= 0xFFFF || r.psr[10] >= view_.states().size()) return CursorShape::Arrow;
  const PagePoint p = toPage(x, y);
  CursorShape cursor = CursorShape::Arrow;
  if (const igs::Button* sel = view_.button(r.psr[10]))
    if (sel->selectedStart != igs::kNoObject && inHotArea(*sel, p)) cursor = CursorShape::Hand;
  for (NavKey key : {NavKey::Up, NavKey::Down, NavKey::Right, NavKey::Left}) {
    const igs::Button* sel = view_.button(r.psr[10]);
    if (!sel) break;
    const uint16_t n = key == NavKey::Up     ? sel->upper
                       : key == NavKey::Down ? sel->lower
                       : key == NavKey::Left ? sel->left
                                             : sel->right;
    const igs::Button* nb = view_.button(n);
    if (nb && nb->selectedStart != igs::kNoObject && inHotArea(*nb, p)) move(key);
  }
  return cursor;
}

void MenuEmulator::leftPress(int x, int y) {
  hdmv::Registers& r = view_.regs();
  if (r.psr[11] >= 0xFFFF || r.psr[10] >= view_.states().size()) return;
  const igs::Button* sel = view_.button(r.psr[10]);
  if (!sel || sel->selectedStart == igs::kNoObject) return;
  const PagePoint p = toPage(x, y);
  const auto [w, h] = view_.stateSize(sel->selectedStart);
  if (sel->x <= p.x && p.x <= sel->x + w && sel->y <= p.y && p.y <= sel->y + h) select();
}

CursorShape MenuEmulator::rightPress(int x, int y) {
  const PagePoint p = toPage(x, y);
  for (size_t id = 0; id < view_.states().size(); ++id) {
    if (!view_.states()[id].shown) continue;
    const igs::Button* b = view_.button(unsigned(id));
    if (!b || b->normalStart == igs::kNoObject) continue;
    const auto [w, h] = view_.stateSize(b->normalStart);
    if (b->x <= p.x && p.x <= b->x + w && b->y <= p.y && p.y <= b->y + h) {
      dragging_ = true;
      dragButton_ = *b;
      lastX_ = x;
      lastY_ = y;
      return CursorShape::Move;
    }
  }
  return CursorShape::Arrow;
}

CursorShape MenuEmulator::rightRelease() {
  dragging_ = false;
  return CursorShape::Arrow;
}

CursorShape MenuEmulator::mouseLeave() { return rightRelease(); }

bool MenuEmulator::checkPosition(unsigned id, int x, int y, int w, int h) const {
  // Inclusive corners of the proposed rectangle against every other shown button.
  const int x2 = x + w - 1, y2 = y + h - 1;
  for (size_t other = 0; other < view_.states().size(); ++other) {
    if (other == id || !view_.states()[other].shown) continue;
    const igs::Button* b = pageButton(view_.pageChoice(), int(other));
    if (!b) continue;
    const auto [bw, bh] = view_.stateSize(b->normalStart);
    if (bw == 0) continue;
    const int bx2 = b->x + bw - 1, by2 = b->y + bh - 1;
    if (x <= bx2 && b->x <= x2 && y <= by2 && b->y <= y2) return false;
  }
  return true;
}

void MenuEmulator::dragMove(int mx, int my, DragKeys keys) {
  hdmv::Registers& r = view_.regs();
  igs::Button& b = dragButton_;
  const bool selected = r.psr[10] == b.id;
  const auto [w, h] = view_.stateSize(selected ? b.selectedStart : b.normalStart);
  view_.blankRect(b.x, b.y, b.x + w, b.y + h);

  std::string mode;
  if (!keys.otherButton) {
    if (keys.shift && !keys.alt && !keys.ctrl) mode = "[2x] ";
    else if (keys.alt && !keys.shift && !keys.ctrl) mode = "[Y] ";
    else if (keys.ctrl && !keys.shift && !keys.alt) mode = "[X] ";
    else if (keys.ctrl && keys.alt && !keys.shift) mode = "[GRID] ";
  }
  int lx = lastX_, ly = lastY_;
  if (mode == "[GRID] ") {
    // A grid below 1 pixel snaps to every pixel.
    const int g = std::max(1, view_.options().gridSize);
    auto snap = [g](int v) { return ((v + 5) / g) * g; };
    mx = snap(mx), my = snap(my), lx = snap(lx), ly = snap(ly);
  }
  int dx = mx - lx, dy = my - ly;
  if (mode == "[2x] ") dx *= 2, dy *= 2;
  if (mode == "[Y] ") dx = 0;
  if (mode == "[X] ") dy = 0;

  bool okX = b.x + dx >= 0 && b.x + dx + w < kPageWidth;
  bool okY = b.y + dy >= 0 && b.y + dy + h < kPageHeight;
  // A refused direction is tested as if the button went all the way to that edge.
  const int tx = okX ? dx : dx < 0 ? -b.x : dx > 0 ? kPageWidth - b.x : 0;
  const int ty = okY ? dy : dy < 0 ? -b.y : dy > 0 ? kPageHeight - b.y : 0;
  if (!checkPosition(b.id, b.x + tx, b.y + ty, w, h)) okX = okY = false;
  if (okX) {
    b.x = uint16_t(b.x + dx);
    lastX_ = mx;
  }
  if (okY) {
    b.y = uint16_t(b.y + dy);
    lastY_ = my;
  }
  if (okX || okY) {
    // Write the move back into the page on screen (the one the button was taken
    // from): the BOG's copy and the button-by-id list.
    igs::Menu& m = view_.menu();
    const uint32_t p = uint32_t(view_.pageChoice());
    if (b.id < view_.states().size() && p < m.ics.pages.size()) {
      const ButtonState& s = view_.states()[b.id];
      igs::Page& page = m.ics.pages[p];
      if (s.bogIndex < page.bogs.size() && s.indexInBog < page.bogs[s.bogIndex].buttons.size()) {
        igs::Button& inBog = page.bogs[s.bogIndex].buttons[s.indexInBog];
        inBog.x = b.x;
        inBog.y = b.y;
      }
      if (p < m.pageButtons.size() && b.id < m.pageButtons[p].size()) {
        m.pageButtons[p][b.id].x = b.x;
        m.pageButtons[p][b.id].y = b.y;
      }
    }
  }
  if (selected)
    view_.renderSelectedButton();
  else
    view_.renderButton(b.id);
  const std::string status = dragStatus(mode, b.id, b.x, b.y);
  view_.log().status(core::StatusPanel::Detail, status);
  dragStatus_ = status;
}

}  // namespace morvex::menuview

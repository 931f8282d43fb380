#include "menuview/page_view.h"
#include "core/text.h"

#include <algorithm>
#include <cstdio>

#include "igs/colour.h"
#include "menuview/background.h"
#include "menuview/overlay.h"

namespace morvex::menuview {

static constexpr Rgba kLabelInk{0, 0, 0, 255};

// Registers are shown in at least 4 (PSR 10) and 2 (PSR 11) hex digits; a command may
// have stored a larger value, which is shown whole rather than cut.
static std::string hexAtLeast(uint32_t v, int digits) {
  return core::hexText(v, digits);
}

std::string pageStatus(uint32_t psr10, uint32_t psr11) {
  return "PSR10: " + hexAtLeast(psr10, 4) + " (" + std::to_string(psr10) + "), PSR11: " + hexAtLeast(psr11, 2) +
         " (" + std::to_string(psr11) + ")";
}

PageView::PageView(igs::Menu& menu, hdmv::Registers& regs, DisplayOptions& options, core::Log& log)
    : menu_(menu), regs_(regs), options_(options), log_(log) {
  clockMs = [] {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
  };
  std::string err;
  background_ = buildBackground(options_, err);
  page_ = background_;
  resetEffectPicture();
}

bool PageView::changeBackground(std::string* error) {
  std::string err;
  background_ = buildBackground(options_, err);
  page_ = background_;
  markDirty(0, 0, kPageWidth, kPageHeight);
  if (error) *error = err;
  if (!err.empty()) log_.errorStatus(err);
  return err.empty();
}

const igs::Page* PageView::pageAt(int page) const {
  if (page < 0 || size_t(page) >= menu_.ics.pages.size()) return nullptr;
  return &menu_.ics.pages[size_t(page)];
}

const igs::Button* PageView::button(unsigned id) const {
  if (pageChoice_ < 0 || size_t(pageChoice_) >= menu_.pageButtons.size()) return nullptr;
  const igs::PageButtons& list = menu_.pageButtons[size_t(pageChoice_)];
  if (id >= list.size() || id >= states_.size() || list[id].id == igs::kNoButton) return nullptr;
  return &list[id];
}

std::pair<int, int> PageView::objectSize(unsigned objectId) const {
  if (objectId >= menu_.objects.size()) return {0, 0};
  return {menu_.objects[objectId].width, menu_.objects[objectId].height};
}

std::pair<int, int> PageView::stateSize(unsigned objectId) const {
  if (objectExists(objectId)) return objectSize(objectId);
  if (options_.placeholders && objectId != igs::kNoObject) return {kPlaceholderWidth, kPlaceholderHeight};
  return {0, 0};
}

bool PageView::objectsMissing() const {
  const igs::Page* p = pageAt(pageChoice_);
  if (!p) return false;
  auto missing = [&](uint16_t id) { return id != igs::kNoObject && !objectExists(id); };
  for (const igs::ButtonOverlapGroup& g : p->bogs)
    for (const igs::Button& b : g.buttons)
      if (missing(b.normalStart) || missing(b.selectedStart) || missing(b.activatedStart)) return true;
  return false;
}

unsigned PageView::paletteOfChoice() const {
  const igs::Page* p = pageAt(pageChoice_);
  return p ? p->paletteId : 0;
}

uint32_t PageView::animationInterval(int page) const {
  const igs::Page* p = pageAt(page);
  const igs::FrameRate fr = igs::frameRate(menu_.ics.frameRateCode);
  // A frame rate without a frame duration gives no interval: the timer never fires.
  if (!p || fr.den == 0) return 0;
  return uint32_t(uint64_t(fr.num) * (uint64_t(p->animationCode) * 1000) / fr.den);
}

uint32_t PageView::animationIntervalMs() const { return animationInterval(pageChoice_); }

void PageView::selectPage(int page) {
  pageChoice_ = page;
  prepareButtonStates(page);
  resetEffectPicture();
}

void PageView::markDirty(int x1, int y1, int x2, int y2) {
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, kPageWidth);
  y2 = std::min(y2, kPageHeight);
  if (x2 <= x1 || y2 <= y1) return;
  if (dirtyX2_ <= dirtyX1_) {
    dirtyX1_ = x1, dirtyY1_ = y1, dirtyX2_ = x2, dirtyY2_ = y2;
    return;
  }
  dirtyX1_ = std::min(dirtyX1_, x1);
  dirtyY1_ = std::min(dirtyY1_, y1);
  dirtyX2_ = std::max(dirtyX2_, x2);
  dirtyY2_ = std::max(dirtyY2_, y2);
}

void PageView::emitFrame(uint32_t waitMs, std::string status) {
  ViewFrame f;
  if (dirtyX2_ > dirtyX1_) {
    f.x = dirtyX1_;
    f.y = dirtyY1_;
    f.patch = page_.crop(dirtyX1_, dirtyY1_, dirtyX2_, dirtyY2_);
  }
  dirtyX1_ = dirtyY1_ = dirtyX2_ = dirtyY2_ = 0;
  f.waitMs = waitMs;
  f.status = std::move(status);
  frames_.push_back(std::move(f));
}

std::vector<ViewFrame> PageView::takeFrames() {
  dirtyX1_ = dirtyY1_ = dirtyX2_ = dirtyY2_ = 0;
  return std::exchange(frames_, {});
}

std::vector<ViewEvent> PageView::takeEvents() { return std::exchange(events_, {}); }

void PageView::setStatus(std::string text) {
  status_ = std::move(text);
  log_.status(core::StatusPanel::Detail, status_);
}

void PageView::blankPage() {
  page_ = background_;
  markDirty(0, 0, kPageWidth, kPageHeight);
}

void PageView::blankRect(int x1, int y1, int x2, int y2) {
  page_.copyRect(background_, x1, y1, x2, y2);
  markDirty(x1, y1, x2, y2);
}

void PageView::prepareButtonStates(int page) {
  states_.clear();
  const igs::Page* p = pageAt(page);
  if (!p || size_t(page) >= menu_.pageButtons.size()) return;
  states_.assign(menu_.pageButtons[size_t(page)].size(), ButtonState{});
  for (size_t i = 0; i < p->bogs.size(); ++i) {
    const igs::ButtonOverlapGroup& bog = p->bogs[i];
    for (size_t j = 0; j < bog.buttons.size(); ++j) {
      const igs::Button& b = bog.buttons[j];
      if (b.id >= states_.size()) continue;
      ButtonState& s = states_[b.id];
      s.bogIndex = uint8_t(i);
      s.indexInBog = uint8_t(j);
      s.normalAnimating = b.normalStart != b.normalEnd;
      s.selectedAnimating = b.selectedStart != b.selectedEnd;
      s.normalRepeat = b.normalRepeat == 1;
      s.selectedRepeat = b.selectedRepeat == 1;
      s.shown = bog.defaultValid != igs::kNoButton && bog.defaultValid == b.id;
    }
  }
}

std::vector<std::string> PageView::buttonChoiceItems() const {
  std::vector<std::string> items;
  items.reserve(states_.size());
  for (size_t i = 0; i < states_.size(); ++i) items.push_back(core::hexField(unsigned(i), 4));
  return items;
}

void PageView::loadButtonPictures(int page) {
  const igs::Page* p = pageAt(page);
  if (!p) return;
  const size_t count = menu_.objects.size();
  auto colour = [&](unsigned obj, unsigned pal) {
    if (obj >= count) return;
    if (obj < pictures_.cache.size() && pal < pictures_.cache[obj].byPalette.size() &&
        pictures_.cache[obj].byPalette[pal])
      return;
    igs::objectPicture(menu_, pictures_, obj, pal, log_);
  };
  auto range = [&](uint16_t start, uint16_t end, unsigned pal) {
    // Ranges are capped at the object list: a garbage end id costs nothing.
    for (size_t id = start; id <= end && id < count; ++id) colour(unsigned(id), pal);
  };
  for (const igs::ButtonOverlapGroup& bog : p->bogs)
    for (const igs::Button& b : bog.buttons) {
      range(b.normalStart, b.normalEnd, p->paletteId);
      range(b.selectedStart, b.selectedEnd, p->paletteId);
      range(b.activatedStart, b.activatedEnd, p->paletteId);
    }
  for (const igs::EffectSequence& seq : p->effects)
    for (const igs::Effect& e : seq.effects)
      for (const igs::CompositionObject& c : e.objects) colour(c.objectId, e.paletteId);
}

void PageView::drawObject(unsigned objectId, unsigned paletteId, int x, int y, const igs::EffectWindow* window) {
  // A picture already in the colour cache is drawn from there; only a first colouring
  // goes through objectPicture (which also fills the cache).
  const igs::RgbaImage* cached = nullptr;
  if (objectId < pictures_.cache.size() && paletteId < pictures_.cache[objectId].byPalette.size() &&
      pictures_.cache[objectId].byPalette[paletteId])
    cached = &*pictures_.cache[objectId].byPalette[paletteId];
  const igs::RgbaImage& pic = cached ? *cached : igs::objectPicture(menu_, pictures_, objectId, paletteId, log_);
  if (window) {
    page_.blendRgbaClipped(pic.rgba.data(), pic.width, pic.height, x, y, window->x, window->y,
                           window->x + window->width, window->y + window->height);
    markDirty(std::max<int>(x, window->x), std::max<int>(y, window->y),
              std::min<int>(x + pic.width, window->x + window->width),
              std::min<int>(y + pic.height, window->y + window->height));
    return;
  }
  page_.blendRgba(pic.rgba.data(), pic.width, pic.height, x, y);
  markDirty(x, y, x + pic.width, y + pic.height);
}

void PageView::renderPage() {
  const int p = pageChoice_;
  if (regs_.psr[43] != regs_.psr[11]) regs_.psr[43] = regs_.psr[11];
  if (options_.preload) loadButtonPictures(p);
  blankPage();
  if (options_.showInEffects)
    if (const igs::Page* pg = pageAt(p)) renderEffects(pg->effects[0]);
  for (size_t id = 0; id < states_.size(); ++id)
    if (states_[id].shown) renderButton(unsigned(id));
  if (regs_.psr[10] < 0xFFFF) renderSelectedButton();
  setStatus(pageStatus(regs_.psr[10], regs_.psr[11]));
}

void PageView::drawState(ButtonStateKind kind, unsigned id) {
  const igs::Button* b = button(id);
  if (!b) return;
  ButtonState& s = states_[id];
  uint16_t start, end;
  uint8_t* animating;
  bool repeat;
  switch (kind) {
    case ButtonStateKind::Normal:
      start = b->normalStart, end = b->normalEnd, animating = &s.normalAnimating, repeat = s.normalRepeat;
      break;
    case ButtonStateKind::Selected:
      start = b->selectedStart, end = b->selectedEnd, animating = &s.selectedAnimating, repeat = s.selectedRepeat;
      break;
    default:
      start = b->activatedStart, end = b->activatedEnd, animating = &s.activatedAnimating, repeat = false;
      break;
  }
  const unsigned objectId = unsigned(start) + s.frame;
  if (*animating) {
    ++s.frame;
    // Signed span: an end below the start restarts at every step.
    if (int(s.frame) > int(end) - int(start)) {
      s.frame = 0;
      if (!repeat) *animating = 0;
    }
  }
  const bool placeholder = !objectExists(objectId) && options_.placeholders && start != igs::kNoObject;
  if (!objectExists(objectId) && !placeholder) return;
  const auto [w, h] = stateSize(objectId);
  const int x = b->x, y = b->y;
  blankRect(x, y, x + w, y + h);
  if (placeholder) {
    // A dimmed box in the state's colour, framed, with the button id in it.
    const Rgba c = kind == ButtonStateKind::Normal     ? options_.colNormalFrame
                   : kind == ButtonStateKind::Selected ? options_.colSelectedButton
                                                       : options_.colSelectedFrame;
    Image box(w, h, Rgba{c.r, c.g, c.b, 96});
    page_.blend(box, x, y);
    page_.frame(x, y, x + w, y + h, c);
    page_.frame(x + 1, y + 1, x + w - 1, y + h - 1, c);
    drawHexLabel(page_, x + (w - labelWidth(16)) / 2, y + (h - labelHeight(16)) / 2, uint16_t(id), c, kLabelInk, 16);
    markDirty(x, y, x + w, y + h);
    return;
  }
  drawObject(objectId, paletteOfChoice(), x, y);

  const bool hasCommands = !b->commands.empty();
  Rgba label, frame;
  if (!hasCommands) {
    label = options_.colInvalidButton, frame = options_.colInvalidFrame;
  } else if (kind == ButtonStateKind::Normal) {
    label = options_.colNormalButton, frame = options_.colNormalFrame;
  } else {
    label = options_.colSelectedButton, frame = options_.colSelectedFrame;
  }
  if (kind == ButtonStateKind::Normal) fontSize_ = options_.fullScreen ? 16 : 8;
  if (options_.showButtonId) {
    drawHexLabel(page_, x + 3, y + 3, uint16_t(id), label, kLabelInk, fontSize_);
    markDirty(x + 3, y + 3, x + 3 + labelWidth(fontSize_), y + 3 + labelHeight(fontSize_));
  }
  if (options_.showObjectId) {
    const int lx = x + w - 28, ly = y + h - 16;
    drawHexLabel(page_, lx, ly, start, label, kLabelInk, fontSize_);
    markDirty(lx, ly, lx + labelWidth(fontSize_), ly + labelHeight(fontSize_));
  }
  if (options_.showButtonFrame) {
    page_.frame(x, y, x + w, y + h, frame);
    markDirty(x, y, x + w, y + h);
  }
}

void PageView::renderButtonAt(unsigned id) { drawState(ButtonStateKind::Normal, id); }
void PageView::renderSelectedButtonAt() { drawState(ButtonStateKind::Selected, regs_.psr[10]); }
void PageView::renderActivatedButtonAt() { drawState(ButtonStateKind::Activated, regs_.psr[10]); }

void PageView::renderButton(unsigned id) {
  if (id >= states_.size()) return;
  states_[id].frame = 0;
  const igs::Button* b = button(id);
  states_[id].normalAnimating = b && b->normalStart < b->normalEnd;
  renderButtonAt(id);
}

void PageView::renderSelectedButton() {
  const uint32_t id = regs_.psr[10];
  if (id >= states_.size()) return;
  const igs::Button* b = button(id);
  if (b && b->selectedSound < soundCount && options_.playSound)
    events_.push_back(ViewEvent{ViewEvent::Kind::Sound, b->selectedSound});
  states_[id].frame = 0;
  states_[id].selectedAnimating = b && b->selectedStart < b->selectedEnd;
  renderSelectedButtonAt();
}

void PageView::renderActivatedButton() {
  const uint32_t id = regs_.psr[10];
  if (id >= states_.size()) return;
  const igs::Button* b = button(id);
  if (b && b->activatedSound < soundCount && options_.playSound)
    events_.push_back(ViewEvent{ViewEvent::Kind::Sound, b->activatedSound});
  states_[id].frame = 0;
  states_[id].activatedAnimating = b && b->activatedStart < b->activatedEnd;
  if (options_.buttonAnimation)
    renderActivatedButtonAt();
  else
    renderActivatedButtonOver();
}

void PageView::renderActivatedButtonOver() {
  const igs::Button* b = button(regs_.psr[10]);
  if (b && options_.placeholders && b->activatedStart != igs::kNoObject && !objectExists(b->activatedStart)) {
    drawState(ButtonStateKind::Activated, regs_.psr[10]);
  } else if (b && b->activatedStart != igs::kNoObject && b->activatedEnd >= b->activatedStart) {
    const uint32_t wait = animationInterval(pageChoice_);
    for (unsigned id = b->activatedStart; id <= b->activatedEnd; ++id) {
      if (!objectExists(id)) break;  // ids beyond the list: nothing more to show
      const auto [w, h] = objectSize(id);
      blankRect(b->x, b->y, b->x + w, b->y + h);
      drawObject(id, paletteOfChoice(), b->x, b->y);
      emitFrame(wait, {});
    }
  }
  setStatus("PSR10: " + hexAtLeast(regs_.psr[10], 4) + ", PSR11: " + hexAtLeast(regs_.psr[11], 2));
}

void PageView::blankButton(unsigned id) {
  if (id >= states_.size()) return;
  const uint8_t bog = states_[id].bogIndex;
  for (const ButtonState& s : states_)
    if (s.shown && s.bogIndex == bog) return;
  const igs::Button* b = button(id);
  if (!b) return;
  const auto [w, h] = stateSize(b->normalStart);
  if (w == 0) return;
  blankRect(b->x, b->y, b->x + w, b->y + h);
}

void PageView::showInBog(unsigned id) {
  if (id >= states_.size()) return;
  const uint8_t bog = states_[id].bogIndex;
  for (ButtonState& s : states_)
    if (s.bogIndex == bog) s.shown = 0;
  states_[id].shown = 1;
}

}  // namespace morvex::menuview

#include "menuview/effects.h"

#include <algorithm>
#include <cmath>

#include "core/text.h"
#include "igs/colour.h"
#include "menuview/overlay.h"
#include "menuview/page_view.h"

namespace morvex::menuview {

std::vector<std::array<std::string, 5>> effectWindowRows(const igs::EffectSequence& seq) {
  std::vector<std::array<std::string, 5>> rows;
  for (size_t i = 0; i < std::min<size_t>(seq.numWindows, seq.windows.size()); ++i) {
    const igs::EffectWindow& w = seq.windows[i];
    rows.push_back({core::decimalText(w.id, 2), std::to_string(w.x), std::to_string(w.y), std::to_string(w.width),
                    std::to_string(w.height)});
  }
  return rows;
}

std::string durationText(uint32_t duration90k) {
  // Milliseconds rounded to nearest, as a time of day would show them.
  return core::timeText((uint64_t(duration90k) + 45) / 90);
}

std::vector<std::array<std::string, 4>> effectRows(const igs::EffectSequence& seq) {
  std::vector<std::array<std::string, 4>> rows;
  for (size_t i = 0; i < seq.effects.size(); ++i) {
    const igs::Effect& e = seq.effects[i];
    rows.push_back({core::decimalText(i, 3), durationText(e.duration), core::hexField(e.paletteId, 2),
                    std::to_string(e.objects.size())});
  }
  return rows;
}

std::vector<std::array<std::string, 5>> compObjectRows(const igs::Effect& effect) {
  std::vector<std::array<std::string, 5>> rows;
  for (size_t i = 0; i < effect.objects.size(); ++i) {
    const igs::CompositionObject& c = effect.objects[i];
    rows.push_back({core::decimalText(i, 3), core::hexField(c.objectId, 4), core::hexField(c.windowId, 2),
                    std::to_string(c.x), std::to_string(c.y)});
  }
  return rows;
}

CropFields cropFields(const igs::CompositionObject& obj) {
  if (!obj.cropped()) return CropFields{};
  return CropFields{true, true, obj.cropX, obj.cropY, obj.cropWidth, obj.cropHeight};
}

bool setCropValue(igs::CompositionObject& obj, CropField field, int value) {
  if (value < 0) return false;
  const uint16_t v = uint16_t(std::min(value, 1919));
  uint16_t* target = field == CropField::X ? &obj.cropX
                     : field == CropField::Y ? &obj.cropY
                     : field == CropField::Width ? &obj.cropWidth
                                                 : &obj.cropHeight;
  if (*target == v) return false;
  *target = v;
  return true;
}

namespace {

std::optional<unsigned> decimalCell(std::string_view t, unsigned max) {
  auto v = core::parseDecimal(t, 5);
  if (!v || *v > max) return std::nullopt;
  return unsigned(*v);
}

template <class T>
bool store(T& field, unsigned v) {
  if (field == T(v)) return false;
  field = T(v);
  return true;
}

}  // namespace

std::optional<uint32_t> parseDuration(std::string_view text) {
  // Up to three colon-separated parts, the last with an optional fraction.
  uint64_t ms = 0;
  std::string_view rest = text;
  std::string_view frac;
  if (const size_t dot = rest.find('.'); dot != std::string_view::npos) {
    frac = rest.substr(dot + 1);
    rest = rest.substr(0, dot);
    if (frac.empty() || frac.size() > 3) return std::nullopt;
  }
  int parts = 0;
  uint64_t seconds = 0;
  while (true) {
    const size_t colon = rest.find(':');
    const std::string_view part = rest.substr(0, colon);
    const auto v = decimalCell(part, 99999);
    if (!v) return std::nullopt;
    // Minutes and seconds after the first part are two digits below 60.
    if (parts > 0 && (part.size() != 2 || *v > 59)) return std::nullopt;
    seconds = seconds * 60 + *v;
    ++parts;
    if (colon == std::string_view::npos) break;
    rest = rest.substr(colon + 1);
    if (parts == 3) return std::nullopt;
  }
  ms = seconds * 1000;
  if (!frac.empty()) {
    const auto f = decimalCell(frac, 999);
    if (!f) return std::nullopt;
    unsigned scaled = *f;
    for (size_t i = frac.size(); i < 3; ++i) scaled *= 10;
    ms += scaled;
  }
  const uint64_t ticks = ms * 90;
  if (ticks > 0xFFFFFF) return std::nullopt;
  return uint32_t(ticks);
}

bool setEffectWindowCell(igs::EffectSequence& seq, unsigned window, WindowField field, std::string_view text,
                         unsigned videoWidth, unsigned videoHeight) {
  if (window >= std::min<size_t>(seq.numWindows, seq.windows.size())) return false;
  const auto v = decimalCell(text, 65535);
  if (!v) return false;
  igs::EffectWindow w = seq.windows[window];
  switch (field) {
    case WindowField::X: w.x = uint16_t(*v); break;
    case WindowField::Y: w.y = uint16_t(*v); break;
    case WindowField::Width: w.width = uint16_t(*v); break;
    case WindowField::Height: w.height = uint16_t(*v); break;
    default: return false;
  }
  if (w.width == 0 || w.height == 0 || unsigned(w.x) + w.width > videoWidth || unsigned(w.y) + w.height > videoHeight)
    return false;
  if (w == seq.windows[window]) return false;
  seq.windows[window] = w;
  return true;
}

bool setEffectCell(igs::EffectSequence& seq, unsigned effect, EffectField field, std::string_view text,
                   size_t paletteCount) {
  if (effect >= seq.effects.size()) return false;
  igs::Effect& e = seq.effects[effect];
  if (field == EffectField::Duration) {
    const auto d = parseDuration(text);
    return d && store(e.duration, *d);
  }
  if (field == EffectField::Palette) {
    const auto p = core::parseHex(text, 2);
    return p && *p < paletteCount && store(e.paletteId, *p);
  }
  return false;
}

bool setCompObjectCell(igs::EffectSequence& seq, unsigned effect, unsigned index, CompObjectField field,
                       std::string_view text,
                       size_t objectCount, unsigned videoWidth, unsigned videoHeight) {
  if (effect >= seq.effects.size() || index >= seq.effects[effect].objects.size()) return false;
  igs::CompositionObject& c = seq.effects[effect].objects[index];
  switch (field) {
    case CompObjectField::ObjectId: {
      const auto v = core::parseHex(text, 4);
      return v && *v < objectCount && store(c.objectId, *v);
    }
    case CompObjectField::WindowId: {
      const auto v = core::parseHex(text, 2);
      return v && *v < std::min<size_t>(seq.numWindows, seq.windows.size()) && store(c.windowId, *v);
    }
    case CompObjectField::X: {
      const auto v = decimalCell(text, 65535);
      return v && *v < videoWidth && store(c.x, *v);
    }
    case CompObjectField::Y: {
      const auto v = decimalCell(text, 65535);
      return v && *v < videoHeight && store(c.y, *v);
    }
    default: return false;
  }
}

const igs::EffectWindow* windowOf(const igs::EffectSequence& seq, const igs::CompositionObject& obj) {
  if (obj.windowId >= seq.numWindows || obj.windowId >= seq.windows.size()) return nullptr;
  return &seq.windows[obj.windowId];
}

// ---- playing and previewing on the page view ----

void PageView::renderEffects(const igs::EffectSequence& seq) {
  animationTimerOn = false;
  for (size_t i = 0; i < seq.effects.size(); ++i) {
    const igs::Effect& e = seq.effects[i];
    const double t0 = clockMs();
    for (const igs::CompositionObject& c : e.objects)
      if (const igs::EffectWindow* w = windowOf(seq, c)) {
        blankRect(w->x, w->y, w->x + w->width, w->y + w->height);
        if (options_.showWindowFrame) page_.frame(w->x, w->y, w->x + w->width, w->y + w->height, options_.colWindow);
      }
    for (const igs::CompositionObject& c : e.objects) {
      // An object is only visible through its window; one naming no window of the
      // sequence is not drawn.
      const igs::EffectWindow* win = windowOf(seq, c);
      if (!win || !objectExists(c.objectId)) continue;
      if (c.cropped()) {
        const igs::RgbaImage& pic = igs::objectPictureCropped(menu_, pictures_, c.objectId, e.paletteId, c.cropX, c.cropY,
                                                   c.cropX + c.cropWidth, c.cropY + c.cropHeight, log_);
        page_.blendRgbaClipped(pic.rgba.data(), pic.width, pic.height, c.x, c.y, win->x, win->y, win->x + win->width,
                               win->y + win->height);
        markDirty(std::max<int>(c.x, win->x), std::max<int>(c.y, win->y),
                  std::min<int>(c.x + c.cropWidth, win->x + win->width),
                  std::min<int>(c.y + c.cropHeight, win->y + win->height));
        if (options_.showButtonFrame) page_.frame(c.x, c.y, c.x + c.cropWidth, c.y + c.cropHeight, options_.colNormalButton);
      } else {
        const auto [w, h] = objectSize(c.objectId);
        drawObject(c.objectId, e.paletteId, c.x, c.y, win);
        if (options_.showWindowFrame) page_.frame(c.x, c.y, c.x + w, c.y + h, options_.colNormalButton);
      }
    }
    // The wait fills the effect's duration; drawing that took longer is not waited for.
    const double drawn = std::max(0.0, clockMs() - t0);
    const uint64_t e90 = uint64_t(drawn) * 90;
    uint32_t wait = 0;
    if (uint64_t(drawn) < e.duration / 90) wait = uint32_t((e.duration - e90) / 90);
    const long displayed = std::lround(drawn + wait);
    emitFrame(wait, "Effect: " + std::to_string(i) + "  duration: " + std::to_string(e.duration / 90) +
                        "ms, displayed: " + std::to_string(displayed) + " ms");
    setStatus(frames_.back().status);
  }
  for (size_t i = 0; i < std::min<size_t>(seq.numWindows, seq.windows.size()); ++i) {
    const igs::EffectWindow& w = seq.windows[i];
    blankRect(w.x, w.y, w.x + w.width, w.y + w.height);
  }
  animationTimerOn = options_.buttonAnimation;
}

void PageView::resetEffectPicture() {
  effectPicture_ = Image(kPageWidth, kPageHeight, options_.colObjectBackground);
  effectPicture_.fill(Rgba{options_.colObjectBackground.r, options_.colObjectBackground.g,
                           options_.colObjectBackground.b, 255});
}

void PageView::effectPreview(const igs::EffectSequence& seq, unsigned effect, unsigned compObject) {
  if (effect >= seq.effects.size() || compObject >= seq.effects[effect].objects.size()) return;
  const igs::Effect& e = seq.effects[effect];
  const igs::CompositionObject& c = e.objects[compObject];
  const Rgba objectBg{options_.colObjectBackground.r, options_.colObjectBackground.g, options_.colObjectBackground.b,
                      255};
  const igs::EffectWindow* w = windowOf(seq, c);
  if (w) {
    effectPicture_.fillRect(w->x, w->y, w->x + w->width, w->y + w->height, objectBg);
    if (options_.showWindowFrame)
      effectPicture_.frame(w->x, w->y, w->x + w->width, w->y + w->height, options_.colWindow);
  }
  // As when playing, the object shows only through its window.
  if (!w || !objectExists(c.objectId)) return;
  const int cx1 = w->x, cy1 = w->y, cx2 = w->x + w->width, cy2 = w->y + w->height;
  if (c.cropped()) {
    const igs::RgbaImage& pic = igs::objectPictureCropped(menu_, pictures_, c.objectId, e.paletteId, c.cropX, c.cropY,
                                               c.cropX + c.cropWidth, c.cropY + c.cropHeight, log_);
    effectPicture_.blendRgbaClipped(pic.rgba.data(), pic.width, pic.height, c.x, c.y, cx1, cy1, cx2, cy2);
    if (options_.showButtonFrame)
      effectPicture_.frame(c.x, c.y, c.x + c.cropWidth, c.y + c.cropHeight, options_.colNormalButton);
  } else {
    const igs::RgbaImage& pic = igs::objectPicture(menu_, pictures_, c.objectId, e.paletteId, log_);
    effectPicture_.blendRgbaClipped(pic.rgba.data(), pic.width, pic.height, c.x, c.y, cx1, cy1, cx2, cy2);
    if (options_.showButtonFrame)
      effectPicture_.frame(c.x, c.y, c.x + pic.width, c.y + pic.height, options_.colNormalButton);
  }
}

void PageView::previewEffect(const igs::EffectSequence& seq, unsigned effect) {
  if (effect >= seq.effects.size()) return;
  for (size_t i = 0; i < seq.effects[effect].objects.size(); ++i) effectPreview(seq, effect, unsigned(i));
}

}  // namespace morvex::menuview

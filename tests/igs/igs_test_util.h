#pragma once
// Builders for synthetic menus used by the IG tests.
#include <random>
#include <string>

#include "core/binary.h"
#include "igs/colour.h"
#include "igs/model.h"

namespace morvex::igs::test {

// One menu-file unit: "IG", PTS, DTS, type, length, payload.
inline core::Bytes unit(uint8_t type, const core::Bytes& payload, uint32_t pts = 0, uint32_t dts = 0) {
  core::ByteWriter w;
  w.addU8('I');
  w.addU8('G');
  w.addU32(pts);
  w.addU32(dts);
  w.addU8(type);
  w.addU16(uint32_t(payload.size()));
  w.addBytes(payload);
  return w.take();
}

inline void append(core::Bytes& a, const core::Bytes& b) { a.insert(a.end(), b.begin(), b.end()); }

// Payload of a first-and-last composition segment with the given page data.
inline core::Bytes compositionPayload(const core::Bytes& pages, uint8_t numPages, uint8_t model = 3,
                                      uint8_t seqFlags = 3) {
  core::ByteWriter w;
  w.addU16(1920);
  w.addU16(1080);
  w.addU8(0x10);
  w.addU16(7);
  w.addU8(0x80);
  w.addU8(seqFlags * 64);
  if (seqFlags & 2) {
    w.addU24(uint32_t(pages.size() + ((model & 2) ? 5 : 15)));
    w.addU8(model * 64);
    if (!(model & 2)) {
      w.addU40(0x0123456789ULL);
      w.addU40(0x00AABBCCDDULL);
    }
    w.addU24(90000 * 30);
    w.addU8(numPages);
  }
  w.addBytes(pages);
  return w.take();
}

inline IndexedPicture randomPicture(std::mt19937& rng, uint16_t w, uint16_t h, int colours = 6) {
  IndexedPicture p;
  p.width = w;
  p.height = h;
  p.pixels.resize(size_t(w) * h);
  std::uniform_int_distribution<int> c(0, colours - 1), len(1, 40);
  size_t i = 0;
  while (i < p.pixels.size()) {
    uint8_t v = uint8_t(c(rng) * 37 % 256);
    size_t n = std::min<size_t>(len(rng), p.pixels.size() - i);
    for (size_t k = 0; k < n; ++k) p.pixels[i++] = v;
  }
  return p;
}

inline Button button(uint16_t id, uint16_t obj) {
  Button b;
  b.id = id;
  b.numericValue = id + 1;
  b.x = 100 + id * 10;
  b.y = 200;
  b.upper = b.lower = b.left = b.right = id;
  b.normalStart = b.normalEnd = obj;
  b.selectedStart = obj;
  b.selectedEnd = uint16_t(obj + 1);
  b.selectedRepeat = 1;
  b.activatedStart = b.activatedEnd = obj;
  b.selectedSound = 0xFF;
  b.activatedSound = 2;
  b.commands = {{0x21810000, 1, 0}, {0x50400001, 0x80000010, 2}};
  b.numCommands = 2;
  return b;
}

// A two-page menu with objects, palettes, effects and commands, built in memory.
inline Menu syntheticMenu(uint32_t seed = 1) {
  std::mt19937 rng(seed);
  Menu m;
  m.loaded = true;
  m.inTime = 180000;
  m.ics.width = 1920;
  m.ics.height = 1080;
  m.ics.frameRateCode = 1;
  m.ics.model = 3;
  m.ics.userTimeout = 900000;
  for (int pi = 0; pi < 2; ++pi) {
    Page p;
    p.id = uint8_t(pi);
    p.animationCode = 2;
    p.uopHigh = 0x12345678;
    p.uopLow = 1;
    p.paletteId = uint8_t(pi);
    p.defaultSelected = 0;
    ButtonOverlapGroup g;
    g.defaultValid = 0;
    g.buttons = {button(0, 0), button(1, 2)};
    g.numButtons = 2;
    p.bogs.push_back(g);
    ButtonOverlapGroup g2;
    g2.buttons = {button(2, 4)};
    g2.numButtons = 1;
    p.bogs.push_back(g2);
    p.numBOGs = 2;
    EffectSequence& in = p.effects[0];
    in.numWindows = 1;
    in.windows[0] = {0, 10, 20, 300, 200};
    Effect e;
    e.duration = 9000;
    e.paletteId = 1;
    CompositionObject co;
    co.objectId = 5;
    co.flags = 3;
    co.x = 10;
    co.y = 20;
    co.cropX = 1;
    co.cropY = 2;
    co.cropWidth = 30;
    co.cropHeight = 40;
    e.objects = {co};
    e.numObjects = 1;
    in.effects = {e, e};
    in.numEffects = 2;
    m.ics.pages.push_back(p);
  }
  m.ics.numPages = 2;
  for (const auto& p : m.ics.pages) m.pageButtons.push_back(buildPageButtons(p));
  for (uint16_t id = 0; id < 6; ++id) {
    GraphicsObject o;
    o.id = id;
    o.picture = randomPicture(rng, uint16_t(20 + id * 7), uint16_t(5 + id));
    o.width = o.picture->width;
    o.height = o.picture->height;
    m.objects.push_back(o);
  }
  for (uint16_t pid = 0; pid < 2; ++pid) {
    Palette pal;
    pal.id = pid;
    for (int e = 1; e < 255; e += 3) {
      // Colours as a load leaves them: stored Y, Cr, Cb and the RGB derived from them.
      pal.ycc[e] = {uint8_t(16 + e % 220), uint8_t(16 + (e * 3) % 225), uint8_t(240 - e % 225)};
      ycc2rgbEntry(pal.ycc[e], pal.rgbt[e], menuMatrix(m));  // as a reader derives them
      pal.rgbt[e].t = uint8_t(e | 1);
    }
    m.palettes.push_back(pal);
  }
  return m;
}

}  // namespace morvex::igs::test

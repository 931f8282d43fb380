#include "igs/writer.h"

#include <algorithm>

#include "core/save.h"
#include "igs/colour.h"
#include "igs/rle.h"

namespace morvex::igs {

using core::ByteWriter;

namespace {

void writeEffectSeq(ByteWriter& w, const EffectSequence& s) {
  unsigned nw = std::min<unsigned>(s.numWindows, 2);
  w.addU8(nw);
  for (unsigned i = 0; i < nw; ++i) {
    const EffectWindow& win = s.windows[i];
    w.addU8(win.id);
    w.addU16(win.x);
    w.addU16(win.y);
    w.addU16(win.width);
    w.addU16(win.height);
  }
  w.addU8(uint32_t(s.effects.size()));
  for (const auto& e : s.effects) {
    w.addU24(e.duration);
    w.addU8(e.paletteId);
    w.addU8(uint32_t(e.objects.size()));
    for (const auto& o : e.objects) {
      w.addU16(o.objectId);
      w.addU8(o.windowId);
      w.addU8(uint32_t(o.flags & 3) * 64);
      w.addU16(o.x);
      w.addU16(o.y);
      if (o.cropped()) {
        w.addU16(o.cropX);
        w.addU16(o.cropY);
        w.addU16(o.cropWidth);
        w.addU16(o.cropHeight);
      }
    }
  }
}

uint32_t delay(uint64_t bytes) { return uint32_t(bytes * 9 / 600); }

}  // namespace

core::Bytes serializePages(const std::vector<Page>& pages) {
  ByteWriter w;
  for (const auto& p : pages) {
    w.addU8(p.id);
    w.addU8(p.version);
    w.addU32(p.uopHigh);
    w.addU32(p.uopLow);
    writeEffectSeq(w, p.effects[0]);
    writeEffectSeq(w, p.effects[1]);
    w.addU8(p.animationCode);
    w.addU16(p.defaultSelected);
    w.addU16(p.defaultActivated);
    w.addU8(p.paletteId);
    w.addU8(uint32_t(p.bogs.size()));
    for (const auto& g : p.bogs) {
      w.addU16(g.defaultValid);
      w.addU8(uint32_t(g.buttons.size()));
      for (const auto& b : g.buttons) {
        w.addU16(b.id);
        w.addU16(b.numericValue);
        w.addU8(uint32_t(b.autoAction & 1) * 128);
        w.addU16(b.x);
        w.addU16(b.y);
        w.addU16(b.upper);
        w.addU16(b.lower);
        w.addU16(b.left);
        w.addU16(b.right);
        w.addU16(b.normalStart);
        w.addU16(b.normalEnd);
        w.addU8(uint32_t(b.normalRepeat & 1) * 128);
        w.addU8(b.selectedSound);
        w.addU16(b.selectedStart);
        w.addU16(b.selectedEnd);
        w.addU8(uint32_t(b.selectedRepeat & 1) * 128);
        w.addU8(b.activatedSound);
        w.addU16(b.activatedStart);
        w.addU16(b.activatedEnd);
        w.addU16(uint32_t(b.commands.size()));
        for (const auto& c : b.commands) {
          w.addU32(c.opcode);
          w.addU32(c.dst);
          w.addU32(c.src);
        }
      }
    }
  }
  return w.take();
}

std::vector<uint16_t> objectOrder(Menu& menu) {
  std::vector<uint16_t> order;
  for (auto& o : menu.objects) o.saveOrder = -1;
  auto place = [&](unsigned id) {
    if (id >= menu.objects.size() || menu.objects[id].saveOrder != -1) return;
    menu.objects[id].saveOrder = int32_t(order.size());
    order.push_back(uint16_t(id));
  };
  auto placeRange = [&](uint16_t start, uint16_t end) {
    if (start == kNoObject) return;
    if (end == kNoObject || end < start) end = start;
    unsigned last = std::min<unsigned>(end, unsigned(menu.objects.size()));
    for (unsigned id = start; id <= last; ++id) place(id);
  };
  if (!menu.ics.pages.empty()) {
    const Page& p0 = menu.ics.pages[0];
    for (const auto& e : p0.effects[0].effects)
      for (const auto& o : e.objects) place(o.objectId);
    size_t len = menu.pageButtons.empty() ? 0 : menu.pageButtons[0].size();
    for (int state = 0; state < 3; ++state)
      for (const auto& g : p0.bogs) {
        if (g.defaultValid >= len) continue;
        for (const auto& b : g.buttons) {
          if (state == 0) placeRange(b.normalStart, b.normalEnd);
          if (state == 1) placeRange(b.selectedStart, b.selectedEnd);
          if (state == 2) placeRange(b.activatedStart, b.activatedEnd);
        }
      }
    for (const auto& g : p0.bogs) {
      if (g.defaultValid < len) continue;
      for (const auto& b : g.buttons) {
        placeRange(b.normalStart, b.normalEnd);
        placeRange(b.selectedStart, b.selectedEnd);
        placeRange(b.activatedStart, b.activatedEnd);
      }
    }
  }
  return order;
}

uint32_t effectiveInTime(uint32_t inTime, uint64_t objectBytes) {
  const uint64_t d = objectBytes * 9 / 600;
  // Time stamps are 33-bit fields written from 32-bit values; a delay beyond that
  // cannot be represented and is clamped.
  return uint32_t(std::min<uint64_t>(std::max<uint64_t>(inTime, d), 0xFFFFFFFFu));
}

void writeUnitHeader(ByteWriter& w, SaveForm form, uint32_t pts, uint32_t dts, uint32_t segLength, bool withDts) {
  if (form == SaveForm::MenuFile) {
    w.addU8('I');
    w.addU8('G');
    w.addU32(pts);
    w.addU32(dts);
    return;
  }
  const bool hasDts = withDts || dts != 0;
  w.addU32(0x000001BD);
  w.addU16(segLength + (hasDts ? 16 : 11));
  w.addU8(0x84);
  w.addU8(hasDts ? 0xC0 : 0x80);
  w.addU8(hasDts ? 10 : 5);
  // Time stamps are 32-bit values: bit 32 of the field is 0, and bits 31..29 land
  // on bits 2..0 of the first byte (bit 29 on the marker bit, which is 1 anyway).
  auto stamp = [&](uint8_t prefix, uint32_t ts) {
    w.addU8(prefix | ((ts >> 29) & 7));
    w.addU16((((ts >> 15) & 0x7FFF) << 1) | 1);
    w.addU16(((ts & 0x7FFF) << 1) | 1);
  };
  stamp(hasDts ? 0x31 : 0x21, pts);
  if (hasDts) stamp(0x11, dts);
}

namespace {

// Lays the menu out in the given form and brings the model in step with what was laid
// out; settleMenu keeps the model, writeMenu the bytes of a copy.
core::Bytes compose(Menu& menu, SaveForm form, core::Log& log) {
  std::vector<uint16_t> order = objectOrder(menu);

  log.status(core::StatusPanel::Detail, "RLE decoding/encoding");
  std::vector<core::Bytes> encoded(menu.objects.size());
  uint64_t D = 0;
  for (unsigned id = 0; id < menu.objects.size(); ++id) {
    GraphicsObject& o = menu.objects[id];
    if (o.saveOrder == -1) {
      o.saveOrder = int32_t(order.size());
      order.push_back(uint16_t(id));
    }
    if (!o.picture) rle_decode(menu, id, log);
    encoded[id] = encodeRuns(*o.picture);
    D += encoded[id].size();
  }

  // Every decode time stays at or after 0: with much object data the presentation
  // time moves later instead of the stamps wrapping round.
  const uint32_t T = effectiveInTime(menu.inTime, D);
  if (T != menu.inTime) {
    log.info("IN_time moved from " + std::to_string(menu.inTime) + " to " + std::to_string(T) +
            " ticks so that the object data is decoded after time 0");
    menu.inTime = T;
  }

  const core::Bytes pageData = serializePages(menu.ics.pages);
  const uint64_t L = pageData.size();
  InteractiveComposition& c = menu.ics;
  c.numPages = uint8_t(c.pages.size());
  log.status(core::StatusPanel::Detail, "Writing ICS");
  ByteWriter w;
  c.dataLength = uint32_t(L + (c.hasTimeouts() ? 15 : 5));
  const uint64_t H = c.hasTimeouts() ? 27 : 17;
  const uint64_t N = (L + H - 9 + 65509) / 65510;
  c.segments.clear();
  uint64_t sent = 0;
  for (uint64_t i = 0; i < N; ++i) {
    const bool firstSeg = i == 0, lastSeg = i == N - 1;
    const uint64_t hdr = firstSeg ? H : 9;
    const uint64_t len = lastSeg ? (L - sent) + hdr : std::min<uint64_t>(L + H, kMaxSegmentLength);
    const uint64_t dataLen = len - hdr;
    writeUnitHeader(w, form, T, T - delay(D), uint32_t(len), true);
    w.addU8(kSegComposition);
    w.addU16(uint32_t(len));
    w.addU16(c.width);
    w.addU16(c.height);
    w.addU8(uint32_t(c.frameRateCode & 15) * 16);
    w.addU16(c.compositionNumber);
    w.addU8(uint32_t(c.compositionState & 3) * 64);
    uint8_t flags = uint8_t((firstSeg ? 2 : 0) | (lastSeg ? 1 : 0));
    w.addU8(uint32_t(flags) * 64);
    if (firstSeg) {
      w.addU24(c.dataLength);
      w.addU8(uint32_t(c.model & 3) * 64);
      if (c.hasTimeouts()) {
        w.addU40(c.compositionTimeout);
        w.addU40(c.selectionTimeout);
      }
      w.addU24(c.userTimeout);
      w.addU8(c.numPages);
    }
    std::span<const uint8_t> chunk(pageData.data() + sent, dataLen);
    w.addBytes(chunk);
    Fragment seg;
    seg.flags = flags;
    seg.pos = uint32_t(menu.work.size());
    seg.len = uint32_t(dataLen);
    menu.work.insert(menu.work.end(), chunk.begin(), chunk.end());
    c.segments.push_back(seg);
    sent += dataLen;
  }
  c.numSegments = uint16_t(c.segments.size());

  log.status(core::StatusPanel::Detail, "Writing palettes");
  for (auto& pal : menu.palettes) {
    unsigned z = 0;
    for (unsigned e = 0; e < 255; ++e)
      if (pal.rgbt[e] == Rgbt{}) ++z;
    const uint32_t len = 2 + 5 * (255 - z);
    writeUnitHeader(w, form, T - delay(D), 0, len);
    w.addU8(kSegPalette);
    w.addU16(len);
    w.addU8(uint32_t(&pal - menu.palettes.data()));
    w.addU8(0);
    for (unsigned e = 0; e < 255; ++e) {
      const Rgbt& v = pal.rgbt[e];
      if (v == Rgbt{}) continue;
      if (pal.ycc[e].y == 0) pal.ycc[e] = rgb2ycc(v.r, v.g, v.b, menuMatrix(menu));
      w.addU8(e);
      w.addU8(pal.ycc[e].y);
      w.addU8(pal.ycc[e].cr);
      w.addU8(pal.ycc[e].cb);
      w.addU8(v.t);
    }
  }

  log.status(core::StatusPanel::Detail, "Writing objects");
  uint64_t R = D, m = L;
  for (uint16_t id : order) {
    GraphicsObject& o = menu.objects[id];
    const core::Bytes& data = encoded[id];
    const uint64_t n = data.size();
    const uint64_t F = std::max<uint64_t>(1, (n + 7 + 65514) / 65515);
    o.fragments.clear();
    uint64_t sentObj = 0;
    for (uint64_t j = 0; j < F; ++j) {
      const bool firstFr = j == 0, lastFr = j == F - 1;
      const uint64_t hdr = firstFr ? 11 : 4;
      const uint64_t len = lastFr ? (n - sentObj) + hdr : std::min<uint64_t>(n + 11, kMaxSegmentLength);
      const uint64_t dataLen = len - hdr;
      writeUnitHeader(w, form, T - delay(R - n), T - delay(R), uint32_t(len), true);
      w.addU8(kSegObject);
      w.addU16(uint32_t(len));
      w.addU16(id);
      w.addU8(0);
      uint8_t flags = uint8_t((firstFr ? 2 : 0) | (lastFr ? 1 : 0));
      w.addU8(uint32_t(flags) * 64);
      if (firstFr) {
        w.addU24(uint32_t(n + 4));
        w.addU16(o.picture->width);
        w.addU16(o.picture->height);
      }
      std::span<const uint8_t> chunk(data.data() + sentObj, dataLen);
      w.addBytes(chunk);
      Fragment fr;
      fr.flags = flags;
      fr.pos = uint32_t(menu.work.size());
      fr.len = uint32_t(dataLen);
      menu.work.insert(menu.work.end(), chunk.begin(), chunk.end());
      o.fragments.push_back(fr);
      sentObj += dataLen;
    }
    o.numFragments = uint16_t(o.fragments.size());
    o.dataLength = uint32_t(n);
    o.width = o.picture->width;
    o.height = o.picture->height;
    R -= n;
    m = n;
  }

  writeUnitHeader(w, form, T - delay(R + m), 0, 0);
  w.addU8(kSegEnd);
  w.addU16(0);
  log.status(core::StatusPanel::Detail, "");
  return w.take();
}

}  // namespace

void settleMenu(Menu& menu, core::Log& log) { compose(menu, SaveForm::MenuFile, log); }

core::Bytes writeMenu(const Menu& menu, SaveForm form) {
  // Laying out a settled menu changes nothing that is written, so the bytes of the copy
  // are those of the menu as settled.
  Menu copy = menu;
  core::NullLog quiet;
  return compose(copy, form, quiet);
}

core::WriteResult saveMenuFile(const Menu& menu, const std::filesystem::path& folder, const std::string& fileName,
                               const core::SaveSettings& settings, core::Log& log) {
  log.info("Saving IGS menu...");
  log.status(core::StatusPanel::Detail, "Preparing data");
  // The copy written is settled on the way (its lines reach the log); the caller's menu
  // stays as edited.
  Menu copy = menu;
  const core::Bytes bytes = compose(copy, SaveForm::MenuFile, log);
  core::SaveRequest req;
  req.folder = folder;
  req.fileName = fileName;
  req.doneMessage = fileName + " saved.";
  return core::saveFile(log, settings, req, bytes);
}

}  // namespace morvex::igs

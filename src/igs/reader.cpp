#include "igs/reader.h"

#include <algorithm>
#include <string>

#include "core/save.h"
#include "igs/colour.h"

namespace morvex::igs {

using core::Reader;

namespace {

// A time stamp field of 40 bits as stored (7 reserved bits, 33 bits of time stamp).
uint64_t read40(Reader& r) { return r.readU40(); }

bool readEffectSeq(Reader& r, EffectSequence& seq, core::Log& log) {
  uint8_t windows = r.readU8();
  for (unsigned w = 0; w < windows && !r.overrun(); ++w) {
    EffectWindow win;
    win.id = r.readU8();
    win.x = r.readU16();
    win.y = r.readU16();
    win.width = r.readU16();
    win.height = r.readU16();
    // The model holds two windows; further windows are read to stay in step and
    // then dropped.
    if (w < 2) seq.windows[w] = win;
  }
  if (windows > 2)
    log.info("[re]Effect sequence with " + std::to_string(windows) + " windows: only the first two are kept[/re]");
  seq.numWindows = std::min<uint8_t>(windows, 2);
  uint8_t effects = r.readU8();
  for (unsigned e = 0; e < effects && !r.overrun(); ++e) {
    Effect eff;
    eff.duration = r.readU24();
    eff.paletteId = r.readU8();
    uint8_t objs = r.readU8();
    for (unsigned o = 0; o < objs && !r.overrun(); ++o) {
      CompositionObject co;
      co.objectId = r.readU16();
      co.windowId = r.readU8();
      co.flags = uint8_t(r.readU8() >> 6);
      co.x = r.readU16();
      co.y = r.readU16();
      if (co.cropped()) {
        co.cropX = r.readU16();
        co.cropY = r.readU16();
        co.cropWidth = r.readU16();
        co.cropHeight = r.readU16();
      }
      eff.objects.push_back(co);
    }
    eff.numObjects = uint8_t(eff.objects.size());
    seq.effects.push_back(std::move(eff));
  }
  seq.numEffects = uint8_t(seq.effects.size());
  return !r.overrun();
}

void readButton(Reader& r, Button& b) {
  b.id = r.readU16();
  b.numericValue = r.readU16();
  b.autoAction = r.readU8() >> 7;
  b.x = r.readU16();
  b.y = r.readU16();
  b.upper = r.readU16();
  b.lower = r.readU16();
  b.left = r.readU16();
  b.right = r.readU16();
  b.normalStart = r.readU16();
  b.normalEnd = r.readU16();
  b.normalRepeat = r.readU8() >> 7;
  b.selectedSound = r.readU8();
  b.selectedStart = r.readU16();
  b.selectedEnd = r.readU16();
  b.selectedRepeat = r.readU8() >> 7;
  b.activatedSound = r.readU8();
  b.activatedStart = r.readU16();
  b.activatedEnd = r.readU16();
  uint16_t n = r.readU16();
  b.numCommands = n;
  // The count never drives more work than the bytes that remain.
  size_t fit = std::min<size_t>(n, r.remaining() / 12);
  b.commands.reserve(fit);
  for (size_t i = 0; i < fit; ++i) {
    hdmv::Command c;
    c.opcode = r.readU32();
    c.dst = r.readU32();
    c.src = r.readU32();
    b.commands.push_back(c);
  }
  if (fit < n) {
    b.numCommands = uint16_t(fit);
    r.skip(r.remaining() + 1);  // marks the reader overrun
  }
}

bool readPage(Reader& r, Page& p, core::Log& log) {
  p.version = r.readU8();
  p.uopHigh = r.readU32();
  p.uopLow = r.readU32();
  readEffectSeq(r, p.effects[0], log);
  readEffectSeq(r, p.effects[1], log);
  p.animationCode = r.readU8();
  p.defaultSelected = r.readU16();
  p.defaultActivated = r.readU16();
  p.paletteId = r.readU8();
  uint8_t bogs = r.readU8();
  for (unsigned g = 0; g < bogs && !r.overrun(); ++g) {
    ButtonOverlapGroup bog;
    bog.defaultValid = r.readU16();
    uint8_t buttons = r.readU8();
    for (unsigned k = 0; k < buttons && !r.overrun(); ++k) {
      Button b;
      readButton(r, b);
      bog.buttons.push_back(std::move(b));
    }
    bog.numButtons = uint8_t(bog.buttons.size());
    p.bogs.push_back(std::move(bog));
  }
  p.numBOGs = uint8_t(p.bogs.size());
  return !r.overrun();
}

}  // namespace

bool readPages(std::span<const uint8_t> data, size_t count, std::vector<Page>& pages, core::Log& log,
                core::Progress* progress) {
  Reader r(data);
  pages.clear();
  for (size_t i = 0; i < count; ++i) {
    if (progress) progress->setPosition(80 + (20 * (i + 1)) / count);
    if (r.atEnd()) {
      log.info("[re]Page data ends before page " + std::to_string(i) + "[/re]");
      return false;
    }
    Page p;
    p.id = r.readU8();
    log.status(core::StatusPanel::Detail, "Reading page " + std::to_string(p.id));
    bool ok = readPage(r, p, log);
    pages.push_back(std::move(p));
    if (!ok) {
      log.info("[re]Page data ends inside page " + std::to_string(i) + "[/re]");
      return false;
    }
  }
  return true;
}

bool decodeMenu(Menu& menu, core::Log& log, core::Progress* progress) {
  // The page data of all composition segments, in order, is one byte sequence.
  core::Bytes data;
  for (const auto& s : menu.ics.segments) {
    if (size_t(s.pos) + s.len > menu.work.size()) continue;
    data.insert(data.end(), menu.work.begin() + s.pos, menu.work.begin() + s.pos + s.len);
  }
  bool whole = readPages(data, menu.ics.numPages, menu.ics.pages, log, progress);
  menu.ics.numPages = uint8_t(menu.ics.pages.size());
  menu.pageButtons.clear();
  for (const auto& p : menu.ics.pages) menu.pageButtons.push_back(buildPageButtons(p));
  return whole;
}

core::ReadResult readMenu(std::span<const uint8_t> bytes, const std::string& fileName, Menu& menu, core::Log& log,
                         core::Progress* progress) {
  core::ReadResult res;
  menu.clear();
  if (progress) progress->setTotal(100);
  Reader f(bytes);
  bool first = true;
  bool ended = false;  // the end segment was reached
  while (!f.atEnd()) {
    if (f.remaining() < 13) {
      log.error("Menu file ends inside a unit header");
      res.addPartial(core::ReadIssue::EndsEarly, bytes.size(),
                     fileName + " ends early at " + std::to_string(bytes.size()) + " (inside a unit header at " +
                         std::to_string(f.pos()) + ")");
      break;
    }
    size_t unitStart = f.pos();
    uint8_t m0 = f.readU8(), m1 = f.readU8();
    if (m0 != 'I' || m1 != 'G') {
      log.errorStatus("File format error");
      res.addPartial(core::ReadIssue::Malformed, unitStart,
                     fileName + ": the unit at offset " + std::to_string(unitStart) +
                         " does not start with \"IG\"; the rest of the file is not read");
      break;
    }
    uint32_t pts = f.readU32();
    f.readU32();  // DTS
    if (first) menu.inTime = pts;
    first = false;
    uint8_t type = f.readU8();
    uint16_t len = f.readU16();
    if (f.remaining() < len) {
      // Keep what was read before the broken unit; the unit itself is dropped.
      log.error("Menu file ends inside a segment at offset " + std::to_string(unitStart));
      res.addPartial(core::ReadIssue::EndsEarly, bytes.size(),
                     fileName + " ends early at " + std::to_string(bytes.size()) + " (inside the segment at offset " +
                         std::to_string(unitStart) + ")");
      break;
    }
    std::span<const uint8_t> payload(bytes.data() + f.pos(), len);
    f.skip(len);
    Reader s(payload);
    if (progress && bytes.size()) progress->setPosition(80 * f.pos() / bytes.size());

    if (type == kSegPalette) {
      uint8_t p = s.readU8();
      if (menu.palettes.size() < size_t(p) + 1) menu.palettes.resize(size_t(p) + 1);
      Palette& pal = menu.palettes[p];
      pal.id = p;
      pal.version = s.readU8();
      if (len > 2) {
        pal.rgbt.fill(Rgbt{});
        for (size_t e = 0; e < size_t(len - 2) / 5; ++e) {
          uint8_t id = s.readU8();
          Ycc c{};
          c.y = s.readU8();
          c.cr = s.readU8();
          c.cb = s.readU8();
          uint8_t t = s.readU8();
          pal.ycc[id] = c;
          Rgbt& out = pal.rgbt[id];
          // The composition comes first in a display set: its size names the matrix.
          ycc2rgbEntry(c, out, menuMatrix(menu));
          out.t = t;
        }
      }
    } else if (type == kSegObject) {
      uint16_t d = s.readU16();
      if (menu.objects.size() < size_t(d) + 1) menu.objects.resize(size_t(d) + 1);
      GraphicsObject& o = menu.objects[d];
      o.id = d;
      Fragment fr;
      fr.version = s.readU8();
      fr.flags = uint8_t(s.readU8() >> 6);
      if (fr.flags & 2) {
        // A new first fragment starts the object afresh: a later definition of the
        // same id replaces the earlier one instead of being glued to it.
        o.fragments.clear();
        o.picture.reset();
        uint32_t total = s.readU24();
        o.dataLength = total >= 4 ? total - 4 : 0;
        o.width = s.readU16();
        o.height = s.readU16();
      }
      core::Bytes data = s.rest();
      fr.pos = uint32_t(menu.work.size());
      fr.len = uint32_t(data.size());
      menu.work.insert(menu.work.end(), data.begin(), data.end());
      o.fragments.push_back(fr);
      o.numFragments = uint16_t(o.fragments.size());
    } else if (type == kSegComposition) {
      InteractiveComposition& c = menu.ics;
      c.width = s.readU16();
      c.height = s.readU16();
      c.frameRateCode = uint8_t(s.readU8() >> 4);
      c.compositionNumber = s.readU16();
      c.compositionState = uint8_t(s.readU8() >> 6);
      Fragment seg;
      seg.flags = uint8_t(s.readU8() >> 6);
      if (seg.flags & 2) {
        c.dataLength = s.readU24();
        c.model = uint8_t(s.readU8() >> 6);
        c.compositionTimeout = c.selectionTimeout = 0;
        if (c.hasTimeouts()) {
          c.compositionTimeout = read40(s);
          c.selectionTimeout = read40(s);
        }
        c.userTimeout = s.readU24();
        c.numPages = s.readU8();
      }
      core::Bytes data = s.rest();
      seg.pos = uint32_t(menu.work.size());
      seg.len = uint32_t(data.size());
      menu.work.insert(menu.work.end(), data.begin(), data.end());
      c.segments.push_back(seg);
      c.numSegments = uint16_t(c.segments.size());
    } else if (type == kSegEnd) {
      ended = true;
      break;
    } else {
      log.errorStatus("Unknow segment!");
      res.addPartial(core::ReadIssue::Malformed, unitStart,
                     fileName + ": segment type " + std::to_string(type) + " at offset " + std::to_string(unitStart) +
                         " is not a menu segment and is left out");
    }
  }
  // A file that simply stops between units, before its end segment, was cut short.
  if (!ended && res.complete() && !bytes.empty())
    res.addPartial(core::ReadIssue::EndsEarly, bytes.size(),
                   fileName + " ends early at " + std::to_string(bytes.size()) + " (no end segment)");

  if (progress && progress->cancelled()) {
    res.refuse(core::ReadIssue::Cancelled, f.pos(), fileName + ": reading was cancelled");
    return res;
  }
  if (menu.ics.segments.empty()) {
    res.refuse(core::ReadIssue::WrongKind, 0, fileName + ": not a menu file (no interactive composition segment)");
    return res;
  }
  const unsigned declaredPages = menu.ics.numPages;
  if (!decodeMenu(menu, log, progress))
    res.addPartial(core::ReadIssue::EndsEarly, bytes.size(),
                   fileName + ": the page data ends inside the pages (" + std::to_string(menu.ics.pages.size()) +
                       " of " + std::to_string(declaredPages) + " read)");
  menu.loaded = true;
  log.paragraph("[b]1[/b] ICS, [b]" + std::to_string(menu.objects.size()) + "[/b] OCS, [b]" +
           std::to_string(menu.palettes.size()) + "[/b] PCS found.");
  return res;
}

core::ReadResult readMenu(const std::filesystem::path& file, Menu& menu, core::Log& log, core::Progress* progress) {
  core::Bytes bytes;
  std::string err;
  // A menu's IG stream is far below a gigabyte on any disc; more is not a menu file.
  if (!core::readWholeFile(file, bytes, err, uint64_t(1) << 30)) {
    menu.clear();
    log.error(core::displayPath(file) + ": " + err);
    return core::ReadResult::refusal(core::ReadIssue::CannotOpen, 0, core::displayPath(file) + ": " + err);
  }
  return readMenu(std::span<const uint8_t>(bytes), file.filename().string(), menu, log, progress);
}

}  // namespace morvex::igs

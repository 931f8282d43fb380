#include "igs/reader.h"

#include <algorithm>
#include <string>

#include "core/save.h"
#include "igs/colour.h"

namespace morvex::igs {

using core::Reader;

namespace {

// A time stamp field of 40 bits as stored (7 reserved bits, 33 bits of time stamp).
uint64_t read40(Reader& r) { return r.read5byte(); }

bool readEffectSeq(Reader& r, Teffectseq& seq, core::Log& log) {
  uint8_t windows = r.readbyte();
  for (unsigned w = 0; w < windows && !r.overrun(); ++w) {
    TEffWindow win;
    win.id = r.readbyte();
    win.x = r.readword();
    win.y = r.readword();
    win.width = r.readword();
    win.height = r.readword();
    // The model holds two windows; further windows are read to stay in step and
    // then dropped.
    if (w < 2) seq.windows[w] = win;
  }
  if (windows > 2)
    log.log("[re]Effect sequence with " + std::to_string(windows) + " windows: only the first two are kept[/re]");
  seq.numWindows = std::min<uint8_t>(windows, 2);
  uint8_t effects = r.readbyte();
  for (unsigned e = 0; e < effects && !r.overrun(); ++e) {
    Teffect eff;
    eff.duration = r.read3byte();
    eff.paletteId = r.readbyte();
    uint8_t objs = r.readbyte();
    for (unsigned o = 0; o < objs && !r.overrun(); ++o) {
      TCompObject co;
      co.objectId = r.readword();
      co.windowId = r.readbyte();
      co.flags = uint8_t(r.readbyte() >> 6);
      co.x = r.readword();
      co.y = r.readword();
      if (co.cropped()) {
        co.cropX = r.readword();
        co.cropY = r.readword();
        co.cropWidth = r.readword();
        co.cropHeight = r.readword();
      }
      eff.objects.push_back(co);
    }
    eff.numObjects = uint8_t(eff.objects.size());
    seq.effects.push_back(std::move(eff));
  }
  seq.numEffects = uint8_t(seq.effects.size());
  return !r.overrun();
}

void readButton(Reader& r, TIGbutton& b) {
  b.id = r.readword();
  b.numericValue = r.readword();
  b.autoAction = r.readbyte() >> 7;
  b.x = r.readword();
  b.y = r.readword();
  b.upper = r.readword();
  b.lower = r.readword();
  b.left = r.readword();
  b.right = r.readword();
  b.normalStart = r.readword();
  b.normalEnd = r.readword();
  b.normalRepeat = r.readbyte() >> 7;
  b.selectedSound = r.readbyte();
  b.selectedStart = r.readword();
  b.selectedEnd = r.readword();
  b.selectedRepeat = r.readbyte() >> 7;
  b.activatedSound = r.readbyte();
  b.activatedStart = r.readword();
  b.activatedEnd = r.readword();
  uint16_t n = r.readword();
  b.numCommands = n;
  // The count never drives more work than the bytes that remain.
  size_t fit = std::min<size_t>(n, r.remaining() / 12);
  b.commands.reserve(fit);
  for (size_t i = 0; i < fit; ++i) {
    hdmv::TCommand c;
    c.opcode = r.readlong();
    c.dst = r.readlong();
    c.src = r.readlong();
    b.commands.push_back(c);
  }
  if (fit < n) {
    b.numCommands = uint16_t(fit);
    r.skip(r.remaining() + 1);  // marks the reader overrun
  }
}

bool readPage(Reader& r, TPage& p, core::Log& log) {
  p.version = r.readbyte();
  p.uopHigh = r.readlong();
  p.uopLow = r.readlong();
  readEffectSeq(r, p.effects[0], log);
  readEffectSeq(r, p.effects[1], log);
  p.animationCode = r.readbyte();
  p.defaultSelected = r.readword();
  p.defaultActivated = r.readword();
  p.paletteId = r.readbyte();
  uint8_t bogs = r.readbyte();
  for (unsigned g = 0; g < bogs && !r.overrun(); ++g) {
    TBOG bog;
    bog.defaultValid = r.readword();
    uint8_t buttons = r.readbyte();
    for (unsigned k = 0; k < buttons && !r.overrun(); ++k) {
      TIGbutton b;
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

bool parsePages(std::span<const uint8_t> data, size_t count, std::vector<TPage>& pages, core::Log& log,
                core::Progress* progress) {
  Reader r(data);
  pages.clear();
  for (size_t i = 0; i < count; ++i) {
    if (progress) progress->setPosition(80 + (20 * (i + 1)) / count);
    if (r.atEnd()) {
      log.log("[re]Page data ends before page " + std::to_string(i) + "[/re]");
      return false;
    }
    TPage p;
    p.id = r.readbyte();
    log.slog("Reading page " + std::to_string(p.id), 1);
    bool ok = readPage(r, p, log);
    pages.push_back(std::move(p));
    if (!ok) {
      log.log("[re]Page data ends inside page " + std::to_string(i) + "[/re]");
      return false;
    }
  }
  return true;
}

bool getIGS(Menu& menu, core::Log& log, core::Progress* progress) {
  // The page data of all composition segments, in order, is one byte sequence.
  core::Bytes data;
  for (const auto& s : menu.ics.segments) {
    if (size_t(s.pos) + s.len > menu.work.size()) continue;
    data.insert(data.end(), menu.work.begin() + s.pos, menu.work.begin() + s.pos + s.len);
  }
  bool whole = parsePages(data, menu.ics.numPages, menu.ics.pages, log, progress);
  menu.ics.numPages = uint8_t(menu.ics.pages.size());
  menu.pageButtons.clear();
  for (const auto& p : menu.ics.pages) menu.pageButtons.push_back(buildPageButtons(p));
  return whole;
}

core::ReadResult loadMNU(std::span<const uint8_t> bytes, const std::string& fileName, Menu& menu, core::Log& log,
                         core::Progress* progress) {
  core::ReadResult res;
  menu.clear();
  if (progress) progress->setTotal(100);
  Reader f(bytes);
  bool first = true;
  bool ended = false;  // the end segment was reached
  while (!f.atEnd()) {
    if (f.remaining() < 13) {
      log.erlog("Menu file ends inside a unit header");
      res.addPartial(core::ReadIssue::EndsEarly, bytes.size(),
                     fileName + " ends early at " + std::to_string(bytes.size()) + " (inside a unit header at " +
                         std::to_string(f.pos()) + ")");
      break;
    }
    size_t unitStart = f.pos();
    uint8_t m0 = f.readbyte(), m1 = f.readbyte();
    if (m0 != 'I' || m1 != 'G') {
      log.erslog("File format error");
      res.addPartial(core::ReadIssue::Malformed, unitStart,
                     fileName + ": the unit at offset " + std::to_string(unitStart) +
                         " does not start with \"IG\"; the rest of the file is not read");
      break;
    }
    uint32_t pts = f.readlong();
    f.readlong();  // DTS
    if (first) menu.inTime = pts;
    first = false;
    uint8_t type = f.readbyte();
    uint16_t len = f.readword();
    if (f.remaining() < len) {
      // Keep what was read before the broken unit; the unit itself is dropped.
      log.erlog("Menu file ends inside a segment at offset " + std::to_string(unitStart));
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
      uint8_t p = s.readbyte();
      if (menu.palettes.size() < size_t(p) + 1) menu.palettes.resize(size_t(p) + 1);
      TIGpalette& pal = menu.palettes[p];
      pal.id = p;
      pal.version = s.readbyte();
      if (len > 2) {
        pal.rgbt.fill(Rgbt{});
        for (size_t e = 0; e < size_t(len - 2) / 5; ++e) {
          uint8_t id = s.readbyte();
          Ycc c{};
          c.y = s.readbyte();
          c.cr = s.readbyte();
          c.cb = s.readbyte();
          uint8_t t = s.readbyte();
          pal.ycc[id] = c;
          Rgbt& out = pal.rgbt[id];
          ycc2rgbEntry(c, out);
          out.t = t;
        }
      }
    } else if (type == kSegObject) {
      uint16_t d = s.readword();
      if (menu.objects.size() < size_t(d) + 1) menu.objects.resize(size_t(d) + 1);
      TIGobject& o = menu.objects[d];
      o.id = d;
      TFragment fr;
      fr.version = s.readbyte();
      fr.flags = uint8_t(s.readbyte() >> 6);
      if (fr.flags & 2) {
        // A new first fragment starts the object afresh: a later definition of the
        // same id replaces the earlier one instead of being glued to it.
        o.fragments.clear();
        o.picture.reset();
        uint32_t total = s.read3byte();
        o.dataLength = total >= 4 ? total - 4 : 0;
        o.width = s.readword();
        o.height = s.readword();
      }
      core::Bytes data = s.rest();
      fr.pos = uint32_t(menu.work.size());
      fr.len = uint32_t(data.size());
      menu.work.insert(menu.work.end(), data.begin(), data.end());
      o.fragments.push_back(fr);
      o.numFragments = uint16_t(o.fragments.size());
    } else if (type == kSegComposition) {
      TIGSc& c = menu.ics;
      c.width = s.readword();
      c.height = s.readword();
      c.frameRateCode = uint8_t(s.readbyte() >> 4);
      c.compositionNumber = s.readword();
      c.compositionState = uint8_t(s.readbyte() >> 6);
      TFragment seg;
      seg.flags = uint8_t(s.readbyte() >> 6);
      if (seg.flags & 2) {
        c.dataLength = s.read3byte();
        c.model = uint8_t(s.readbyte() >> 6);
        c.compositionTimeout = c.selectionTimeout = 0;
        if (c.hasTimeouts()) {
          c.compositionTimeout = read40(s);
          c.selectionTimeout = read40(s);
        }
        c.userTimeout = s.read3byte();
        c.numPages = s.readbyte();
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
      log.erslog("Unknow segment!");
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
  if (!getIGS(menu, log, progress))
    res.addPartial(core::ReadIssue::EndsEarly, bytes.size(),
                   fileName + ": the page data ends inside the pages (" + std::to_string(menu.ics.pages.size()) +
                       " of " + std::to_string(declaredPages) + " read)");
  menu.loaded = true;
  log.log2("[b]1[/b] ICS, [b]" + std::to_string(menu.objects.size()) + "[/b] OCS, [b]" +
           std::to_string(menu.palettes.size()) + "[/b] PCS found.");
  return res;
}

core::ReadResult loadMNU(const std::filesystem::path& file, Menu& menu, core::Log& log, core::Progress* progress) {
  core::Bytes bytes;
  std::string err;
  if (!core::readWholeFile(file, bytes, err)) {
    menu.clear();
    log.erlog(core::displayPath(file) + ": " + err);
    return core::ReadResult::refusal(core::ReadIssue::CannotOpen, 0, core::displayPath(file) + ": " + err);
  }
  return loadMNU(std::span<const uint8_t>(bytes), file.filename().string(), menu, log, progress);
}

}  // namespace morvex::igs

#include "check/menu_check.h"

#include <algorithm>

#include "core/stream_coding.h"
#include "igs/extract.h"

namespace morvex::check {

using core::Severity;

namespace {

std::string num(uint64_t v) { return std::to_string(v); }

struct Rect {
  int x0, y0, x1, y1;  // x1, y1 exclusive
  bool overlaps(const Rect& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
};

const igs::GraphicsObject* objectById(const igs::Menu& m, uint16_t id) {
  for (const auto& o : m.objects)
    if (o.id == id) return &o;
  return nullptr;
}

bool hasPalette(const igs::Menu& m, uint16_t id) {
  return std::any_of(m.palettes.begin(), m.palettes.end(), [id](const igs::Palette& p) { return p.id == id; });
}

// A button's rectangle from its first normal-state picture, when the menu has it.
std::optional<Rect> buttonRect(const igs::Menu& m, const igs::Button& b) {
  if (b.normalStart == igs::kNoObject) return std::nullopt;
  const auto* o = objectById(m, b.normalStart);
  if (!o) return std::nullopt;
  return Rect{b.x, b.y, b.x + o->width, b.y + o->height};
}

void objectRange(Sink& sink, const igs::Menu& m, uint16_t start, uint16_t end, const std::string& where,
                 const char* state) {
  if (start == igs::kNoObject) return;
  const uint16_t last = end == igs::kNoObject ? start : std::max(start, end);
  // A long animation range is reported once, at its first missing picture.
  for (uint32_t id = start; id <= last; ++id)
    if (!objectById(m, static_cast<uint16_t>(id))) {
      sink.add(Severity::Error, "menu.button.object-missing", where,
               where + " " + state + " state uses object " + num(id) + ", which the menu lacks");
      return;
    }
}

}  // namespace

void checkMenu(std::vector<Finding>& out, const std::string& file, const igs::Menu& menu, const DiscFacts& facts) {
  Sink sink{file, out};
  const auto& ics = menu.ics;
  for (size_t p = 0; p < ics.pages.size(); ++p) {
    const auto& page = ics.pages[p];
    const std::string pw = "page " + num(page.id);
    std::set<uint16_t> ids;
    for (const auto& bog : page.bogs)
      for (const auto& b : bog.buttons) ids.insert(b.id);
    if (page.defaultSelected != igs::kNoButton && !ids.count(page.defaultSelected))
      sink.add(Severity::Error, "menu.page.default-selected-missing", pw,
               pw + " selects button " + num(page.defaultSelected) + " first, which is not on the page");
    if (page.defaultActivated != igs::kNoButton && !ids.count(page.defaultActivated))
      sink.add(Severity::Error, "menu.page.default-activated-missing", pw,
               pw + " activates button " + num(page.defaultActivated) + ", which is not on the page");
    if (!hasPalette(menu, page.paletteId))
      sink.add(Severity::Error, "menu.page.palette-missing", pw,
               pw + " uses palette " + num(page.paletteId) + ", which the menu lacks");
    for (int e = 0; e < 2; ++e)
      for (size_t k = 0; k < page.effects[e].effects.size(); ++k) {
        const auto& eff = page.effects[e].effects[k];
        const std::string ew = pw + ", " + (e == 0 ? "in" : "out") + "-effect " + num(k);
        if (!hasPalette(menu, eff.paletteId))
          sink.add(Severity::Error, "menu.effect.palette-missing", ew,
                   ew + " uses palette " + num(eff.paletteId) + ", which the menu lacks");
        for (const auto& co : eff.objects)
          if (!objectById(menu, co.objectId))
            sink.add(Severity::Error, "menu.effect.object-missing", ew,
                     ew + " uses object " + num(co.objectId) + ", which the menu lacks");
      }
    // The buttons shown together: one of each BOG (its default, else its first).
    std::vector<std::pair<const igs::Button*, Rect>> shown;
    for (size_t g = 0; g < page.bogs.size(); ++g) {
      const auto& bog = page.bogs[g];
      const std::string gw = pw + ", BOG " + num(g);
      if (bog.defaultValid != igs::kNoButton &&
          std::none_of(bog.buttons.begin(), bog.buttons.end(),
                       [&](const igs::Button& b) { return b.id == bog.defaultValid; }))
        sink.add(Severity::Error, "menu.bog.default-missing", gw,
                 gw + " shows button " + num(bog.defaultValid) + " first, which is not in the BOG");
      const igs::Button* first = nullptr;
      for (const auto& b : bog.buttons) {
        const std::string bw = pw + ", button " + num(b.id);
        const std::pair<const char*, uint16_t> nbs[] = {
            {"upper", b.upper}, {"lower", b.lower}, {"left", b.left}, {"right", b.right}};
        for (const auto& [side, id] : nbs)
          if (!ids.count(id))
            sink.add(Severity::Error, "menu.button.neighbour-missing", bw,
                     bw + " has " + side + " neighbour " + num(id) + ", which is not on the page");
        objectRange(sink, menu, b.normalStart, b.normalEnd, bw, "normal");
        objectRange(sink, menu, b.selectedStart, b.selectedEnd, bw, "selected");
        objectRange(sink, menu, b.activatedStart, b.activatedEnd, bw, "activated");
        if (auto r = buttonRect(menu, b); r && ics.width && ics.height &&
                                          (r->x1 > ics.width || r->y1 > ics.height))
          sink.add(Severity::Error, "menu.button.outside-frame", bw,
                   bw + " (" + num(r->x0) + "," + num(r->y0) + " to " + num(r->x1) + "," + num(r->y1) +
                       ") reaches outside the " + num(ics.width) + "x" + num(ics.height) + " frame");
        checkCommands(sink, b.commands, hdmv::CmdContext::Button, bw, facts);
        if (!first || b.id == bog.defaultValid) first = &b;
      }
      if (first)
        if (auto r = buttonRect(menu, *first)) shown.emplace_back(first, *r);
    }
    for (size_t i = 0; i < shown.size(); ++i)
      for (size_t j = i + 1; j < shown.size(); ++j)
        if (shown[i].second.overlaps(shown[j].second))
          sink.add(Severity::Warning, "menu.button.overlap", pw + ", button " + num(shown[i].first->id),
                   pw + ": buttons " + num(shown[i].first->id) + " and " + num(shown[j].first->id) +
                       " of different BOGs overlap when shown together");
  }
}

void checkStreamMenus(std::vector<Finding>& out, const std::filesystem::path& folder, const std::string& streamRel,
                      const clip::ClipInfo& clip, const DiscFacts& facts) {
  std::set<uint16_t> pids;
  for (const auto& seq : clip.programInfo.programSequences)
    for (const auto& s : seq.streams)
      if (core::isCoding(s.codingType, core::StreamCoding::Ig)) pids.insert(s.pid);
  for (uint16_t pid : pids) {
    igs::Menu menu;
    core::NullLog log;
    const std::string file = streamRel + " (IG PID " + num(pid) + ")";
    auto r = igs::loadMenuSource(folder / streamRel, menu, log, pid);
    Sink sink{file, out};
    for (const auto& p : r.problems)
      sink.addAt(Severity::Error, "menu.read.failed", p.offset, p.message);
    // A menu read only in part is reported once: what was read of it is no page
    // layout to judge.
    if (r.complete()) checkMenu(out, file, menu, facts);
  }
}

void checkMenuFile(std::vector<Finding>& out, const std::filesystem::path& file, const DiscFacts& facts) {
  igs::Menu menu;
  core::NullLog log;
  auto r = igs::loadMenuSource(file, menu, log);
  Sink sink{file.string(), out};
  for (const auto& p : r.problems) sink.addAt(Severity::Error, "menu.read.failed", p.offset, p.message);
  if (r.complete()) checkMenu(out, file.string(), menu, facts);
}

}  // namespace morvex::check

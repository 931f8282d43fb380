#include "igs/dump.h"
#include "core/text.h"

#include "hdmv/command_text.h"
#include "igs/edit.h"
#include "igs/objects.h"

namespace morvex::igs {

std::string clockText(uint64_t ticks) { return core::timeText(ticks / 90); }

std::string buttonCommandText(const hdmv::Command& c, int r) {
  return hdmv::comm2str(c, r, hdmv::CmdContext::Button).cells[4];
}

namespace {

std::string yn(unsigned v) { return v ? "Yes" : "No"; }

void dumpEffects(std::string& s, const char* name, const EffectSequence& seq) {
  s += std::string("  ") + name + ": " + std::to_string(seq.numWindows) + " windows, " +
       std::to_string(seq.effects.size()) + " effects\n";
  for (unsigned w = 0; w < seq.numWindows && w < 2; ++w) {
    const EffectWindow& win = seq.windows[w];
    s += "    Window " + std::to_string(win.id) + ": (" + std::to_string(win.x) + "," + std::to_string(win.y) + ") " +
         std::to_string(win.width) + "x" + std::to_string(win.height) + "\n";
  }
  for (size_t e = 0; e < seq.effects.size(); ++e) {
    const Effect& eff = seq.effects[e];
    s += "    Effect " + std::to_string(e) + ": duration " + std::to_string(eff.duration) + " (" +
         clockText(eff.duration) + "), palette " + core::hexText(eff.paletteId, 2) + ", " +
         std::to_string(eff.objects.size()) + " objects\n";
    for (const auto& o : eff.objects) {
      s += "      Object " + core::hexText(o.objectId, 4) + " window " + std::to_string(o.windowId) + " at (" +
           std::to_string(o.x) + "," + std::to_string(o.y) + ")";
      if (o.cropped())
        s += " cropped (" + std::to_string(o.cropX) + "," + std::to_string(o.cropY) + ") " +
             std::to_string(o.cropWidth) + "x" + std::to_string(o.cropHeight);
      if (o.flags & 1) s += " forced";
      s += "\n";
    }
  }
}

}  // namespace

std::string dumpMenu(const Menu& m) {
  const InteractiveComposition& c = m.ics;
  std::string s;
  s += "Menu: " + std::to_string(c.width) + "x" + std::to_string(c.height) + ", frame rate " +
       frameRate(c.frameRateCode).label + " (code " + std::to_string(c.frameRateCode) + "), composition number " +
       std::to_string(c.compositionNumber) + ", state " + std::to_string(c.compositionState) + "\n";
  s += "Model: " + std::to_string(c.model) + " (" + ((c.model & 2) ? "stream model bit set" : "time-outs present") +
       ", " + ((c.model & 1) ? "pop-up" : "always on") + ")\n";
  s += "IN_time: " + clockText(m.inTime) + ", user time-out: " + userTimeoutText(c) + "\n";
  if (c.hasTimeouts())
    s += "Composition time-out: " + core::hexText(uint32_t(c.compositionTimeout >> 32), 2) +
         core::hexText(uint32_t(c.compositionTimeout), 8) + ", selection time-out: " +
         core::hexText(uint32_t(c.selectionTimeout >> 32), 2) + core::hexText(uint32_t(c.selectionTimeout), 8) + "\n";
  s += "Pages: " + std::to_string(c.pages.size()) + ", objects: " + std::to_string(m.objects.size()) +
       ", palettes: " + std::to_string(m.palettes.size()) + ", composition segments: " +
       std::to_string(c.segments.size()) + "\n";
  for (size_t n = 0; n < c.pages.size(); ++n) {
    const Page& p = c.pages[n];
    s += "\nPage " + std::to_string(n) + " (id " + std::to_string(p.id) + ", version " + std::to_string(p.version) +
         "): UO mask " + core::hexText(p.uopHigh, 8) + " " + core::hexText(p.uopLow, 8) + ", animation " +
         std::to_string(p.animationCode) + ", default selected " + core::hexText(p.defaultSelected, 4) +
         ", default activated " + core::hexText(p.defaultActivated, 4) + ", palette " + core::hexText(p.paletteId, 2) + "\n";
    dumpEffects(s, "In-effects", p.effects[0]);
    dumpEffects(s, "Out-effects", p.effects[1]);
    for (size_t g = 0; g < p.bogs.size(); ++g) {
      const ButtonOverlapGroup& bog = p.bogs[g];
      s += "  BOG " + std::to_string(g) + ": default valid button " + core::hexText(bog.defaultValid, 4) + ", " +
           std::to_string(bog.buttons.size()) + " buttons\n";
      for (const auto& b : bog.buttons) {
        s += "    Button " + core::hexText(b.id, 4) + ": value " + core::hexText(b.numericValue, 4) + ", auto-action " +
             yn(b.autoAction) + ", at (" + std::to_string(b.x) + "," + std::to_string(b.y) + "), upper " +
             core::hexText(b.upper, 4) + " lower " + core::hexText(b.lower, 4) + " left " + core::hexText(b.left, 4) + " right " +
             core::hexText(b.right, 4) + "\n";
        s += "      normal " + core::hexText(b.normalStart, 4) + ".." + core::hexText(b.normalEnd, 4) + " repeat " +
             yn(b.normalRepeat) + "; selected " + core::hexText(b.selectedStart, 4) + ".." + core::hexText(b.selectedEnd, 4) +
             " repeat " + yn(b.selectedRepeat) + " sound " + core::hexText(b.selectedSound, 2) + "; activated " +
             core::hexText(b.activatedStart, 4) + ".." + core::hexText(b.activatedEnd, 4) + " sound " +
             core::hexText(b.activatedSound, 2) + "\n";
        s += "      " + std::to_string(b.commands.size()) + " commands\n";
        for (size_t r = 0; r < b.commands.size(); ++r) {
          const auto& cmd = b.commands[r];
          s += "        " + core::hexText(unsigned(r), 4) + "  " + core::hexText(cmd.opcode, 8) + " " + core::hexText(cmd.dst, 8) +
               " " + core::hexText(cmd.src, 8) + "  " + buttonCommandText(cmd, int(r)) + "\n";
        }
      }
    }
  }
  if (!m.objects.empty()) s += "\n";
  for (const auto& o : m.objects)
    s += "Object " + core::hexText(o.id, 4) + ": " + std::to_string(o.width) + "x" + std::to_string(o.height) + ", " +
         std::to_string(o.fragments.size()) + " fragments, " + std::to_string(o.dataLength) +
         " bytes of RLE data; referenced: " + objectReferences(m, unsigned(&o - m.objects.data())) + "\n";
  if (!m.palettes.empty()) s += "\n";
  for (size_t p = 0; p < m.palettes.size(); ++p) {
    const Palette& pal = m.palettes[p];
    unsigned used = 0;
    for (int e = 0; e < 255; ++e)
      if (pal.rgbt[e] != Rgbt{}) ++used;
    std::string ref = paletteReferences(m, unsigned(p));
    while (!ref.empty() && ref.back() == ' ') ref.pop_back();
    s += "Palette " + core::hexText(unsigned(p), 2) + ": version " + std::to_string(pal.version) + ", " +
         std::to_string(used) + " entries in use; referenced: " + ref + "\n";
  }
  return s;
}

}  // namespace morvex::igs

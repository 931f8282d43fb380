// "menu ...": IG menus — dump, resave, mux into a menu-only stream, export objects
// and palettes, import a picture. The "menu" command is shared so other areas can add
// their own subcommands to it.
#include <iostream>
#include <memory>

#include <nlohmann/json.hpp>

#include "cli/json_text.h"
#include "cli/output_guard.h"
#include "cli/registry.h"
#include "core/text.h"
#include "core/save.h"
#include "igs/dump.h"
#include "igs/edit.h"
#include "igs/extract.h"
#include "igs/mux.h"
#include "igs/mux_into.h"
#include "igs/objects.h"
#include "igs/reader.h"
#include "igs/writer.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace morvex::cli {

namespace {

bool isMenuFile(const core::Bytes& b) { return b.size() >= 13 && b[0] == 'I' && b[1] == 'G'; }

std::optional<unsigned> parseNumber(const std::string& text) {
  auto v = core::parseNumber(text, 0xFFFF);
  if (!v) return std::nullopt;
  return unsigned(*v);
}

// Loads a menu file, or the IG stream `pid` of an AV stream file, through the one menu
// loader; the read's result decides whether the command goes on.
bool loadMenu(const std::string& file, igs::Menu& menu, ConsoleLog& log, const std::string& pidText = "0x1400") {
  auto pid = core::parseNumber(pidText, 0x1FFE);
  if (!pid) {
    fail("bad PID " + pidText, 2);
    return false;
  }
  if (!acceptRead(igs::loadMenuSource(file, menu, log, uint16_t(*pid)))) return false;
  // Errors logged while reading are the read's business, settled above.
  log.clearError();
  return true;
}

// The palette a command names, when the menu has it; otherwise the command fails.
std::optional<unsigned> menuPalette(const igs::Menu& m, const std::string& text) {
  auto pal = parseNumber(text);
  if (!pal || *pal >= m.palettes.size()) {
    fail("palette " + text + " not found (the menu has " + std::to_string(m.palettes.size()) + " palettes)");
    return std::nullopt;
  }
  return pal;
}

json effectsJson(const igs::EffectSequence& s) {
  json j;
  j["windows"] = json::array();
  for (unsigned w = 0; w < s.numWindows && w < 2; ++w) {
    const auto& win = s.windows[w];
    j["windows"].push_back({{"id", win.id}, {"x", win.x}, {"y", win.y}, {"width", win.width}, {"height", win.height}});
  }
  j["effects"] = json::array();
  for (const auto& e : s.effects) {
    json je = {{"duration", e.duration}, {"palette", e.paletteId}, {"objects", json::array()}};
    for (const auto& o : e.objects) {
      json jo = {{"object", o.objectId}, {"window", o.windowId}, {"x", o.x}, {"y", o.y},
                 {"cropped", o.cropped()}, {"forced", (o.flags & 1) != 0}};
      if (o.cropped())
        jo["crop"] = {{"x", o.cropX}, {"y", o.cropY}, {"width", o.cropWidth}, {"height", o.cropHeight}};
      je["objects"].push_back(jo);
    }
    j["effects"].push_back(je);
  }
  return j;
}

json menuJson(const igs::Menu& m) {
  const igs::InteractiveComposition& c = m.ics;
  json j;
  j["width"] = c.width;
  j["height"] = c.height;
  j["frameRateCode"] = c.frameRateCode;
  j["frameRate"] = igs::frameRate(c.frameRateCode).label;
  j["compositionNumber"] = c.compositionNumber;
  j["compositionState"] = c.compositionState;
  j["model"] = c.model;
  j["compositionTimeout"] = c.compositionTimeout;
  j["selectionTimeout"] = c.selectionTimeout;
  j["userTimeout"] = c.userTimeout;
  j["inTime"] = m.inTime;
  j["pages"] = json::array();
  for (const auto& p : c.pages) {
    json jp = {{"id", p.id},
               {"version", p.version},
               {"uopMask", {p.uopHigh, p.uopLow}},
               {"inEffects", effectsJson(p.effects[0])},
               {"outEffects", effectsJson(p.effects[1])},
               {"animationCode", p.animationCode},
               {"defaultSelectedButton", p.defaultSelected},
               {"defaultActivatedButton", p.defaultActivated},
               {"palette", p.paletteId},
               {"bogs", json::array()}};
    for (const auto& g : p.bogs) {
      json jg = {{"defaultValidButton", g.defaultValid}, {"buttons", json::array()}};
      for (const auto& b : g.buttons) {
        json jb = {{"id", b.id},
                   {"numericValue", b.numericValue},
                   {"autoAction", b.autoAction != 0},
                   {"x", b.x},
                   {"y", b.y},
                   {"neighbours", {{"upper", b.upper}, {"lower", b.lower}, {"left", b.left}, {"right", b.right}}},
                   {"normal", {{"start", b.normalStart}, {"end", b.normalEnd}, {"repeat", b.normalRepeat != 0}}},
                   {"selected",
                    {{"start", b.selectedStart},
                     {"end", b.selectedEnd},
                     {"repeat", b.selectedRepeat != 0},
                     {"sound", b.selectedSound}}},
                   {"activated", {{"start", b.activatedStart}, {"end", b.activatedEnd}, {"sound", b.activatedSound}}},
                   {"commands", json::array()}};
        for (size_t r = 0; r < b.commands.size(); ++r) {
          const auto& cmd = b.commands[r];
          jb["commands"].push_back({{"words", {cmd.opcode, cmd.dst, cmd.src}},
                                    {"text", igs::buttonCommandText(cmd, int(r))}});
        }
        jg["buttons"].push_back(jb);
      }
      jp["bogs"].push_back(jg);
    }
    j["pages"].push_back(jp);
  }
  j["objects"] = json::array();
  for (size_t i = 0; i < m.objects.size(); ++i) {
    const auto& o = m.objects[i];
    j["objects"].push_back({{"id", o.id},
                            {"width", o.width},
                            {"height", o.height},
                            {"fragments", o.fragments.size()},
                            {"dataLength", o.dataLength},
                            {"referenced", igs::objectReferences(m, unsigned(i))}});
  }
  j["palettes"] = json::array();
  for (size_t p = 0; p < m.palettes.size(); ++p) {
    const auto& pal = m.palettes[p];
    json entries = json::array();
    for (int e = 0; e < 256; ++e) {
      const auto& c2 = pal.rgbt[e];
      if (c2 == igs::Rgbt{}) continue;
      entries.push_back({{"entry", e},
                         {"y", pal.ycc[e].y},
                         {"cr", pal.ycc[e].cr},
                         {"cb", pal.ycc[e].cb},
                         {"t", c2.t},
                         {"rgb", {c2.r, c2.g, c2.b}}});
    }
    std::string ref = igs::paletteReferences(m, unsigned(p));
    while (!ref.empty() && ref.back() == ' ') ref.pop_back();
    j["palettes"].push_back({{"id", p}, {"version", pal.version}, {"entries", entries}, {"referenced", ref}});
  }
  return j;
}

bool writeOut(const fs::path& out, const core::Bytes& bytes) {
  std::string err;
  if (!writeCommandOutput(out, bytes, err)) {
    fail(core::displayPath(out) + ": " + err);
    return false;
  }
  return true;
}

struct Args {
  std::string in, out, png, pid = "0x1400", palette = "0", replaceObject, replacePalette;
  bool json = false;
  // menu mux --into
  std::string into, at;
  bool replace = false, addStream = false;
};

// "--at": seconds ("10.04") or a clock time ("0:00:10.040"), as 90 kHz ticks.
std::optional<uint64_t> parseAt(const std::string& text) {
  double total = 0;
  size_t start = 0;
  int parts = 0;
  while (true) {
    const size_t colon = text.find(':', start);
    const std::string part = text.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    if (part.empty() || part.find_first_not_of("0123456789.") != std::string::npos) return std::nullopt;
    total = total * 60 + std::stod(part);
    if (++parts > 3) return std::nullopt;
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return uint64_t(total * 90000 + 0.5);
}

// "menu mux MENU --into CLIP.m2ts -o OUT.m2ts": the menu muxed into an AV stream, the
// clip information and (with --add-stream) the playlists of its disc brought in step.
void muxInto(const Args& a, ConsoleLog& log) {
  igs::Menu m;
  if (!loadMenu(a.in, m, log)) return;
  auto pid = core::parseNumber(a.pid, 0x1FFE);
  if (!pid) {
    fail("bad PID " + a.pid, 2);
    return;
  }
  std::optional<uint64_t> at;
  if (!a.at.empty()) {
    at = parseAt(a.at);
    if (!at) {
      fail("bad time " + a.at + " (seconds, or h:mm:ss.fff)", 2);
      return;
    }
  }
  if (outputIsAnInput(a.out, {a.in, a.into})) return;
  igs::MuxIntoOptions o;
  o.pid = uint16_t(*pid);
  o.replace = a.replace;
  // The playlists that will play the written clip.
  const igs::ClipMuxPlan plan = igs::planClipMux(a.out, o.pid);
  const igs::ClipMuxResult r =
      igs::muxMenuIntoClip(m, a.into, a.out, o, at, a.addStream, core::SaveSettings{}, log);
  if (!r.mux.ok) {
    fail(r.mux.cancelled ? r.mux.error : "Mux error");
    return;
  }
  std::cout << r.mux.packetsOut << " source packets written to " << core::displayPath(a.out) << " ("
            << r.mux.inserted << " inserted, " << r.mux.removed << " removed; composition at "
            << core::timeText(r.mux.compositionPts / 90) << ")\n";
  if (!r.clipInfo.empty()) std::cout << "Clip information written to " << core::displayPath(r.clipInfo) << '\n';
  for (const auto& name : r.playlistsUpdated) std::cout << name << ": IG stream entry added\n";
  if (!a.addStream)
    for (const auto& name : plan.lackingStream)
      std::cerr << name << " plays the clip but lists no IG stream on PID 0x" << core::hexText(o.pid, 4)
                << "; players will not show the menu there (--add-stream adds it)\n";
  if (!r.error.empty()) fail(r.error);
}

Args& args() {
  static Args a;
  return a;
}

void registerMenu(CLI::App& app) {
  CLI::App* menu = sharedSubcommand(app, "menu", "Interactive Graphics menus (.mnu files and menu streams)");
  menu->require_subcommand(1);
  Args& a = args();

  auto* extract = menu->add_subcommand("extract", "Get the menu of an AV stream's IG PID as a menu file");
  extract->add_option("STREAM", a.in, "AV stream file (.m2ts)")->required();
  extract->add_option("--pid", a.pid, "IG PID (default 0x1400)");
  extract->add_option("-o,--output", a.out, "menu file to write")->required();
  extract->callback([&a] {
    auto pid = core::parseNumber(a.pid, 0x1FFE);
    if (!pid) {
      fail("bad PID " + a.pid, 2);
      return;
    }
    // Only errors are printed (on stderr), so dumps stay clean.
    ConsoleLog log(ConsoleLog::Show::ErrorsOnly);
    igs::StreamMenu s = igs::extractMenu(a.in, uint16_t(*pid), log);
    if (!s.ok) {
      fail(s.error);
      return;
    }
    igs::Menu m;
    if (s.framed.empty()) {
      fail(core::displayPath(a.in) + ": no interactive composition on PID " + core::hexText(*pid, 4));
      return;
    }
    const std::string name = fs::path(a.in).filename().string();
    core::ReadResult read = igs::readMenu(std::span<const uint8_t>(s.framed), name, m, log);
    if (!s.damage.empty() && read.usable())
      read.addPartial(core::ReadIssue::Malformed, 0, name + ": the stream is damaged (" + s.damage + ")");
    if (!acceptRead(read)) return;
    // The units as the stream carries them (every display set), which read as a
    // menu file.
    if (outputIsAnInput(a.out, {a.in})) return;
    if (writeOut(a.out, s.framed))
      std::cout << s.pidPackets << " source packets of PID " << core::hexText(*pid, 4) << "; menu written to "
                << core::displayPath(a.out) << '\n';
  });

  auto* dump = menu->add_subcommand("dump", "Print the menu: composition, pages, BOGs, buttons, effects, objects, palettes");
  dump->add_option("MENU", a.in, "menu file (.mnu) or AV stream (.m2ts)")->required();
  dump->add_option("--pid", a.pid, "IG PID of a stream (default 0x1400)");
  dump->add_flag("--json", a.json, "machine-readable JSON output");
  dump->callback([&a] {
    igs::Menu m;
    // Only errors are printed (on stderr), so dumps stay clean.
    ConsoleLog log(ConsoleLog::Show::ErrorsOnly);
    if (!loadMenu(a.in, m, log, a.pid)) return;
    if (a.json) std::cout << jsonText(menuJson(m)) << '\n';
    else {
      EscapedOutput escaped;  // menu texts never reach the terminal raw
      std::cout << igs::dumpMenu(m);
    }
  });

  auto* resave = menu->add_subcommand("resave", "Read a menu and write it again (fresh RLE, segments, time stamps)");
  resave->add_option("MENU", a.in, "menu file (.mnu)")->required();
  resave->add_option("-o,--output", a.out, "menu file to write")->required();
  resave->callback([&a] {
    igs::Menu m;
    // Only errors are printed (on stderr), so dumps stay clean.
    ConsoleLog log(ConsoleLog::Show::ErrorsOnly);
    if (!loadMenu(a.in, m, log)) return;
    allowInPlace(a.in);
    igs::settleMenu(m, log);
    if (writeOut(a.out, igs::writeMenu(m, igs::SaveForm::MenuFile)))
      std::cout << "Menu written to " << core::displayPath(a.out) << '\n';
  });

  auto* mux = menu->add_subcommand(
      "mux", "Write the menu as a menu-only BD AV stream (.m2ts), or with --into into an existing AV stream");
  mux->add_option("MENU", a.in, "menu file (.mnu)")->required();
  mux->add_option("-o,--output", a.out, "stream file to write")->required();
  mux->add_option("--into", a.into, "AV stream (.m2ts) to put the menu into; every other packet is kept");
  mux->add_option("--pid", a.pid, "with --into: the menu's PID (default 0x1400)");
  mux->add_flag("--replace", a.replace, "with --into: replace an IG stream already on the PID");
  mux->add_option("--at", a.at,
                  "with --into: time the display set starts (seconds or h:mm:ss.fff; default: inside the IN-OUT "
                  "range of the PlayItems that play the clip)");
  mux->add_flag("--add-stream", a.addStream,
                "with --into: playlists that play the clip gain the IG stream-table entry they lack");
  mux->callback([&a] {
    igs::Menu m;
    // Only errors are printed (on stderr), so dumps stay clean.
    ConsoleLog log(ConsoleLog::Show::ErrorsOnly);
    if (!a.into.empty()) {
      muxInto(a, log);
      return;
    }
    if (!loadMenu(a.in, m, log)) return;
    core::Bytes ts = igs::muxMenu(m, log);
    if (log.hadError()) {
      fail("Mux error");
      return;
    }
    if (outputIsAnInput(a.out, {a.in})) return;
    if (writeOut(a.out, ts))
      std::cout << ts.size() / 192 << " source packets written to " << core::displayPath(a.out) << '\n';
  });

  auto* exportObjects = menu->add_subcommand("export-objects", "Save every object as an 8-bit palette PNG");
  exportObjects->add_option("MENU", a.in, "menu file (.mnu)")->required();
  exportObjects->add_option("--palette", a.palette, "palette to colour the objects with (default 0)");
  exportObjects->add_option("-o,--output", a.out, "folder for the pictures")->required();
  exportObjects->callback([&a] {
    igs::Menu m;
    // Only errors are printed (on stderr), so dumps stay clean.
    ConsoleLog log(ConsoleLog::Show::ErrorsOnly);
    if (!loadMenu(a.in, m, log)) return;
    auto pal = menuPalette(m, a.palette);
    if (!pal) return;
    std::error_code ec;
    fs::create_directories(a.out, ec);
    if (ec || !fs::is_directory(a.out)) {
      fail(core::displayPath(a.out) + ": the folder cannot be created (" +
           (ec ? ec.message() : std::string("a file of that name is in the way")) + ")");
      return;
    }
    // All pictures or none: each is written complete beside its name first, and only
    // when every one is on disk are they put in place.
    std::vector<std::unique_ptr<core::AtomicFile>> files;
    for (unsigned id = 0; id < m.objects.size(); ++id) {
      core::Bytes png = igs::exportObjectPng(m, id, *pal, log);
      if (png.empty()) continue;
      const fs::path file = fs::path(a.out) / (igs::objectPngName(id, *pal) + ".png");
      files.push_back(std::make_unique<core::AtomicFile>(file));
      std::string err;
      if (!files.back()->open(err) || !files.back()->write(png.data(), png.size(), err)) {
        fail(core::displayPath(file) + ": " + err + " (no picture was written)");
        return;  // the temporaries go with their owners
      }
    }
    for (auto& f : files) {
      std::string err;
      if (!f->commit(err)) {
        fail(core::displayPath(f->destination()) + ": " + err);
        return;
      }
    }
    std::cout << files.size() << " objects written to " << core::displayPath(a.out) << '\n';
  });

  auto* exportPalette = menu->add_subcommand("export-palette", "Save a palette as .pxml or .act");
  exportPalette->add_option("MENU", a.in, "menu file (.mnu)")->required();
  exportPalette->add_option("--palette", a.palette, "palette id (default 0)");
  exportPalette->add_option("-o,--output", a.out, "FILE.pxml or FILE.act")->required();
  exportPalette->callback([&a] {
    igs::Menu m;
    // Only errors are printed (on stderr), so dumps stay clean.
    ConsoleLog log(ConsoleLog::Show::ErrorsOnly);
    if (!loadMenu(a.in, m, log)) return;
    auto pal = menuPalette(m, a.palette);
    if (!pal) return;
    const std::string ext = fs::path(a.out).extension().string();
    if (ext != ".pxml" && ext != ".act") {
      fail(core::displayPath(a.out) + ": the file name must end in .pxml or .act");
      return;
    }
    if (igs::savePalette(m, *pal, a.out, log)) std::cout << "Palette written to " << core::displayPath(a.out) << '\n';
    else exitStatus() = 1;
  });

  auto* import = menu->add_subcommand("import-object", "Add an 8-bit palette PNG as an object with its palette");
  import->add_option("MENU", a.in, "menu file (.mnu)")->required();
  import->add_option("PICTURE", a.png, "8-bit palette PNG")->required();
  import->add_option("--replace-object", a.replaceObject, "object id to replace instead of adding one");
  import->add_option("--replace-palette", a.replacePalette, "palette id to replace instead of adding one");
  import->add_option("-o,--output", a.out, "menu file to write")->required();
  import->callback([&a] {
    igs::Menu m;
    // Only errors are printed (on stderr), so dumps stay clean.
    ConsoleLog log(ConsoleLog::Show::ErrorsOnly);
    if (!loadMenu(a.in, m, log)) return;
    std::optional<unsigned> obj, pal;
    if (!a.replaceObject.empty()) {
      obj = parseNumber(a.replaceObject);
      if (!obj || *obj >= m.objects.size()) {
        fail("object " + a.replaceObject + " not found (the menu has " + std::to_string(m.objects.size()) + " objects)");
        return;
      }
    }
    if (!a.replacePalette.empty()) {
      pal = menuPalette(m, a.replacePalette);
      if (!pal) return;
    }
    core::Bytes png;
    std::string err;
    if (!core::readWholeFile(a.png, png, err)) {
      fail(core::displayPath(a.png) + ": " + err);
      return;
    }
    igs::MenuPictures pictures;
    auto r = igs::importObjectPng(m, pictures, png, obj, pal, log);
    if (!r) {
      exitStatus() = 1;
      return;
    }
    igs::settleMenu(m, log);
    allowInPlace(a.in);
    if (writeOut(a.out, igs::writeMenu(m, igs::SaveForm::MenuFile)))
      std::cout << "Object " << core::hexText(r->objectId, 4) << " with palette " << core::hexText(r->paletteId, 2)
                << " written to " << core::displayPath(a.out) << '\n';
  });
}

// Menu files in the shared "dump" and "resave".
FileKind menuKind() {
  FileKind k;
  k.name = "menu";
  k.matches = [](const fs::path&, const core::Bytes& b) { return isMenuFile(b) && b[10] >= 0x14; };
  k.dump = [](const fs::path& p, const core::Bytes& b, bool asJson) {
    igs::Menu m;
    // Only errors are printed (on stderr), so dumps stay clean.
    ConsoleLog log(ConsoleLog::Show::ErrorsOnly);
    if (!acceptRead(igs::readMenu(std::span<const uint8_t>(b), p.filename().string(), m, log))) return 1;
    if (asJson) std::cout << jsonText(menuJson(m)) << '\n';
    else std::cout << igs::dumpMenu(m);
    return 0;
  };
  k.resave = [](const fs::path& in, const core::Bytes& b, const fs::path& out) {
    igs::Menu m;
    // Only errors are printed (on stderr), so dumps stay clean.
    ConsoleLog log(ConsoleLog::Show::ErrorsOnly);
    if (!acceptRead(igs::readMenu(std::span<const uint8_t>(b), in.filename().string(), m, log))) return 1;
    igs::settleMenu(m, log);
    return writeOut(out, igs::writeMenu(m, igs::SaveForm::MenuFile)) ? exitStatus() : 1;
  };
  return k;
}

CommandRegistrar reg(60, [](CLI::App& app) {
  registerMenu(app);
  registerFileKind(menuKind());
});

}  // namespace

}  // namespace morvex::cli

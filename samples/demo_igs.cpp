// Demo disc: an IG menu of two pages, authored the way a user would in the editor:
// pictures imported as PNG objects, pages, BOGs and buttons created and their cells
// typed in, then muxed into a menu-only stream. The menu file is also kept beside
// the demo folder for loading by itself.
#include <cstdio>
#include <string>

#include "core/text.h"
#include "demo_registry.h"
#include "igs/edit.h"
#include "igs/mux.h"
#include "igs/objects.h"
#include "igs/writer.h"

namespace morvex::demo {

namespace {

using namespace igs;

constexpr uint32_t kJumpTitle = 0x21810000;
constexpr uint32_t kPlayPL = 0x22800000;
constexpr uint32_t kSetButtonPage = 0x51C00003;  // button and page both immediate
constexpr uint32_t kEnableButton = 0x31800004;
constexpr uint32_t kSetFlag = 0x80000000;        // "set this value" flag of a packed operand

// The demo palette: transparent 0, greys, a blue family for frames, white text, and
// a gold highlight family. Entry 255 stays unused.
PaletteTable demoColours(uint8_t alpha) {
  PaletteTable t{};
  for (int i = 1; i < 32; ++i) t[i] = {uint8_t(i * 8), uint8_t(i * 8), uint8_t(i * 8), alpha};
  for (int i = 0; i < 32; ++i) t[32 + i] = {uint8_t(10 + i * 2), uint8_t(40 + i * 3), uint8_t(120 + i * 4), alpha};
  for (int i = 0; i < 32; ++i) t[64 + i] = {uint8_t(200 + i), uint8_t(150 + i * 3), uint8_t(20 + i), alpha};
  t[100] = {255, 255, 255, alpha};
  t[101] = {0, 0, 0, uint8_t(alpha / 2)};
  return t;
}

// A rounded button face with a label bar pattern; `phase` shifts the highlight so
// that a sequence of faces animates.
IndexedPicture buttonFace(int w, int h, int base, int phase, int label) {
  IndexedPicture p;
  p.width = uint16_t(w);
  p.height = uint16_t(h);
  p.pixels.assign(size_t(w) * h, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int dx = std::min(x, w - 1 - x), dy = std::min(y, h - 1 - y);
      if (dx + dy < 6) continue;  // rounded corners stay transparent
      uint8_t c = uint8_t(base + std::min(31, (y * 31) / h));
      if (dx < 3 || dy < 3) c = uint8_t(base + ((x + phase * 8) / 8) % 32);
      // Label: blocks standing in for letters.
      if (y > h / 3 && y < 2 * h / 3 && x > 20 && x < w - 20 && ((x / 6 + label) % 4) != 0) c = 100;
      p.pixels[size_t(y) * w + x] = c;
    }
  return p;
}

IndexedPicture banner(int w, int h) {
  IndexedPicture p;
  p.width = uint16_t(w);
  p.height = uint16_t(h);
  p.pixels.assign(size_t(w) * h, 101);
  for (int y = 10; y < h - 10; ++y)
    for (int x = 10; x < w - 10; ++x) p.pixels[size_t(y) * w + x] = uint8_t(32 + (x * 31) / w);
  for (int y = h / 3; y < 2 * h / 3; ++y)
    for (int x = 40; x < w - 40; ++x)
      if ((x / 10) % 3 != 2) p.pixels[size_t(y) * w + x] = 100;
  return p;
}

struct Author {
  Menu menu;
  core::Log& log;
  bool ok = true;
  MenuPictures pictures;

  // Imports a picture as a new object; the first import brings palette 0, the rest
  // replace palette 0 with the same colours.
  unsigned importObject(const IndexedPicture& pic, std::optional<unsigned> palette, uint8_t alpha = 255) {
    core::Bytes png = writePalettePng(pic, demoColours(alpha), "Morvex demo");
    auto r = importObjectPng(menu, pictures, png, std::nullopt, palette, log);
    if (!r) {
      ok = false;
      return 0;
    }
    return r->objectId;
  }
  void cell(size_t page, size_t bog, size_t index, int column, const std::string& text) {
    if (!editButtonCell(menu, page, bog, index, column, text, 0)) ok = false;
  }
  void objects(size_t page, size_t bog, size_t index, int startColumn, unsigned first, unsigned last) {
    cell(page, bog, index, startColumn, core::hexText(first, 4));
    cell(page, bog, index, startColumn + 1, core::hexText(last, 4));
  }
  void place(size_t page, size_t bog, size_t index, int x, int y) {
    cell(page, bog, index, ColX, std::to_string(x));
    cell(page, bog, index, ColY, std::to_string(y));
  }
  void commands(size_t page, size_t bog, size_t index, hdmv::TCommands cmds) {
    TIGbutton& b = menu.ics.pages[page].bogs[bog].buttons[index];
    b.commands = std::move(cmds);
    b.numCommands = uint16_t(b.commands.size());
    menu.pageButtons[page][b.id] = b;
  }
};

bool writeDemoMenu(DemoContext& ctx) {
  Author a{Menu{}, ctx.log};
  Menu& m = a.menu;
  newMenu(m);

  // Objects: the banner, then for each of four buttons a normal face, three
  // selected faces (animated) and an activated face.
  const unsigned bannerObj = a.importObject(banner(960, 160), std::nullopt);
  struct Faces {
    unsigned normal, sel0, sel2, act;
  };
  std::vector<Faces> faces;
  for (int label = 0; label < 4; ++label) {
    Faces f;
    f.normal = a.importObject(buttonFace(360, 90, 32, 0, label), 0u);
    f.sel0 = a.importObject(buttonFace(360, 90, 64, 0, label), 0u);
    a.importObject(buttonFace(360, 90, 64, 1, label), 0u);
    f.sel2 = a.importObject(buttonFace(360, 90, 64, 2, label), 0u);
    f.act = a.importObject(buttonFace(360, 90, 1, 0, label), 0u);
    faces.push_back(f);
  }
  // Palette 1: the same colours half transparent, for the fade-in.
  a.importObject(banner(16, 16), std::nullopt, 128);

  // Page 0: three buttons in BOG 0, one hidden button in BOG 1 that "Settings"
  // enables. Page 1: chapter button and back button.
  CreateButton(m, 0, 0);
  CreateButton(m, 0, 0);
  CreateBOG(m, 0);
  CreatePage(m);
  CreateButton(m, 1, 0);
  for (int i = 0; i < 3; ++i) {
    const Faces& f = faces[i];
    a.place(0, 0, i, 780, 420 + i * 130);
    a.objects(0, 0, i, ColNormalStart, f.normal, f.normal);
    a.objects(0, 0, i, ColSelStart, f.sel0, f.sel2);
    a.cell(0, 0, i, ColSelRepeat, "Y");
    a.objects(0, 0, i, ColActStart, f.act, f.act);
    a.cell(0, 0, i, ColValue, core::hexText(i + 1, 4));
    a.cell(0, 0, i, ColUpper, core::hexText((i + 2) % 3, 4));
    a.cell(0, 0, i, ColLower, core::hexText((i + 1) % 3, 4));
  }
  a.place(0, 1, 0, 1200, 810);
  a.objects(0, 1, 0, ColNormalStart, faces[3].normal, faces[3].normal);
  a.objects(0, 1, 0, ColSelStart, faces[3].sel0, faces[3].sel2);
  a.cell(0, 1, 0, ColSelRepeat, "Y");
  a.objects(0, 1, 0, ColActStart, faces[3].act, faces[3].act);
  a.cell(0, 1, 0, ColLeft, "0002");
  setBogDefault(m, 0, 0, "0000");  // BOG 1 stays hidden (0xFFFF) until enabled
  setPageField(m, 0, PageField::DefaultSelected, "0000");
  setPageField(m, 0, PageField::AnimationCode, "2");

  a.commands(0, 0, 0, {{kPlayPL, 0, 0}});
  a.commands(0, 0, 1, {{kSetButtonPage, kSetFlag | 0, kSetFlag | 1}});
  a.commands(0, 0, 2, {{kEnableButton, 3, 0}, {kSetButtonPage, kSetFlag | 3, 0}});
  a.commands(0, 1, 0, {{kJumpTitle, 1, 0}});

  for (int i = 0; i < 2; ++i) {
    a.place(1, 0, i, 780, 500 + i * 160);
    a.objects(1, 0, i, ColNormalStart, faces[i].normal, faces[i].normal);
    a.objects(1, 0, i, ColSelStart, faces[i].sel0, faces[i].sel2);
    a.objects(1, 0, i, ColActStart, faces[i].act, faces[i].act);
    a.cell(1, 0, i, ColUpper, core::hexText(1 - i, 4));
    a.cell(1, 0, i, ColLower, core::hexText(1 - i, 4));
  }
  setBogDefault(m, 1, 0, "0000");
  a.commands(1, 0, 0, {{kPlayPL, 1, 0}});
  a.commands(1, 0, 1, {{kSetButtonPage, kSetFlag | 1, kSetFlag | 0}});

  // In-effect of page 0: the banner half transparent for 0.5 s, then opaque.
  Teffectseq& in = m.ics.pages[0].effects[0];
  in.numWindows = 1;
  in.windows[0] = {0, 480, 100, 960, 160};
  for (uint8_t pal : {1, 0}) {
    Teffect e;
    e.duration = 45000;
    e.paletteId = pal;
    TCompObject co;
    co.objectId = uint16_t(bannerObj);
    co.x = 480;
    co.y = 100;
    e.objects.push_back(co);
    e.numObjects = 1;
    in.effects.push_back(e);
  }
  in.numEffects = uint8_t(in.effects.size());
  m.ics.userTimeout = 0;
  m.ics.model = 2;  // always-on menu: the stream-model bit set, not a pop-up

  if (!a.ok) {
    ctx.log.erlog("demo menu: an authoring step was refused");
    return false;
  }
  const std::filesystem::path stream = ctx.bdmv / "STREAM";
  std::error_code ec;
  std::filesystem::create_directories(stream, ec);
  if (!muxMenuToFile(m, stream / "00010.m2ts", ctx.log)) return false;
  // The menu file lives beside the demo folder, outside the disc structure.
  const std::filesystem::path beside = ctx.bdmv.parent_path().parent_path();
  if (!beside.empty() && std::filesystem::is_directory(beside))
    if (!saveMenuFile(m, beside / "demo_menu.mnu", ctx.log)) return false;
  return true;
}

DemoStep step(60, "IG menu", writeDemoMenu);

}  // namespace

}  // namespace morvex::demo

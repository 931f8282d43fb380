// Demo disc: an IG menu of two pages, authored the way a user would in the editor:
// labelled pictures drawn and saved as 8-bit PNGs, imported as objects, pages, BOGs
// and buttons created and their cells typed in, then muxed into a menu-only stream. The menu file is also kept beside
// the demo folder for loading by itself.
#include <QBuffer>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <cstring>
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
  t[102] = {8, 16, 40, alpha};
  return t;
}

// Labels are set in type by Qt, as any paint program would, and reduced to the demo
// palette: white letters over a one-pixel dark shadow. The font is the DejaVu family
// the setup script installs, so every machine set up alike writes the same bytes.
void ensureGuiApplication() {
  if (QGuiApplication::instance()) return;
  // No window is ever shown: text is rendered into pictures only.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Qt's notes about the desktop session (no runtime folder and the like) do not
  // concern a generator; only its errors are passed on.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(msg));
  });
  static int argc = 1;
  static char name[] = "morvex-make-demo";
  static char* argv[] = {name, nullptr};
  static QGuiApplication app(argc, argv);
}

// Where the letters of `text` are: alpha of the rendered type per pixel.
QImage typeMask(int w, int h, const QString& text, int pixelSize) {
  ensureGuiApplication();
  QImage mask(w, h, QImage::Format_ARGB32_Premultiplied);
  mask.fill(Qt::transparent);
  QPainter p(&mask);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  QFont font("DejaVu Sans");
  font.setPixelSize(pixelSize);
  font.setBold(true);
  font.setHintingPreference(QFont::PreferFullHinting);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRect(0, 0, w, h), Qt::AlignCenter, text);
  p.end();
  return mask;
}

// Lays the text over an indexed picture: entry 100 (white) where the type covers at
// least half a pixel, entry 102 (dark) one pixel down and right of it as a shadow.
void letter(IndexedPicture& pic, const QString& text, int pixelSize) {
  const QImage mask = typeMask(pic.width, pic.height, text, pixelSize);
  auto covered = [&](int x, int y) {
    return x >= 0 && y >= 0 && x < pic.width && y < pic.height && qAlpha(mask.pixel(x, y)) >= 128;
  };
  for (int y = 0; y < pic.height; ++y)
    for (int x = 0; x < pic.width; ++x) {
      uint8_t& px = pic.pixels[size_t(y) * pic.width + x];
      if (covered(x, y))
        px = 100;
      else if (covered(x - 2, y - 2) && px != 0)
        px = 102;
    }
}

// A rounded button face in a colour family (`base`: 1 grey, 32 blue, 64 gold) with
// its label; `phase` moves the border pattern so that faces in turn animate.
IndexedPicture buttonFace(int w, int h, int base, int phase, const QString& label) {
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
      p.pixels[size_t(y) * w + x] = c;
    }
  letter(p, label, 40);
  return p;
}

// The page title: a framed blue band with large type.
IndexedPicture banner(int w, int h, const QString& title) {
  IndexedPicture p;
  p.width = uint16_t(w);
  p.height = uint16_t(h);
  p.pixels.assign(size_t(w) * h, 101);
  for (int y = 10; y < h - 10; ++y)
    for (int x = 10; x < w - 10; ++x) p.pixels[size_t(y) * w + x] = uint8_t(32 + (x * 31) / w);
  if (!title.isEmpty()) letter(p, title, 84);
  return p;
}

// The picture as an 8-bit palette PNG, written by Qt the way a paint program saves it.
core::Bytes palettePng(const IndexedPicture& pic, const PaletteTable& colours) {
  QImage img(pic.width, pic.height, QImage::Format_Indexed8);
  QList<QRgb> table;
  for (const Rgbt& c : colours) table << qRgba(c.r, c.g, c.b, c.t);
  img.setColorTable(table);
  for (int y = 0; y < pic.height; ++y)
    std::memcpy(img.scanLine(y), pic.pixels.data() + size_t(y) * pic.width, pic.width);
  img.setText("Software", "Morvex demo");
  QByteArray bytes;
  QBuffer buf(&bytes);
  buf.open(QIODevice::WriteOnly);
  img.save(&buf, "PNG");
  return core::Bytes(bytes.begin(), bytes.end());
}

struct Author {
  Menu menu;
  core::Log& log;
  bool ok = true;
  MenuPictures pictures;

  // Imports a picture as a new object; the first import brings palette 0, later ones
  // replace palette 0 with the same colours, and `newPalette` adds one.
  unsigned importObject(const IndexedPicture& pic, std::optional<unsigned> palette, uint8_t alpha = 255) {
    const core::Bytes png = palettePng(pic, demoColours(alpha));
    auto r = importObjectPng(menu, pictures, png, std::nullopt, palette, log);
    if (!r) {
      ok = false;
      return 0;
    }
    return r->objectId;
  }
  // A palette of the demo colours at another opacity, for fades. The import brings
  // a small object along; it is deleted again, as a user would.
  void addFadePalette(uint8_t alpha) {
    const unsigned obj = importObject(banner(16, 16, {}), std::nullopt, alpha);
    if (!deleteObjects(menu, pictures, obj, 1, log)) ok = false;
  }
  void cell(size_t page, size_t bog, size_t index, ButtonField field, const std::string& text) {
    if (!editButtonCell(menu, page, bog, index, field, text, 2)) ok = false;
  }
  // The start field and the end field after it.
  void objects(size_t page, size_t bog, size_t index, ButtonField start, unsigned first, unsigned last) {
    cell(page, bog, index, start, core::hexText(first, 4));
    cell(page, bog, index, ButtonField(int(start) + 1), core::hexText(last, 4));
  }
  void place(size_t page, size_t bog, size_t index, int x, int y) {
    cell(page, bog, index, ButtonField::X, std::to_string(x));
    cell(page, bog, index, ButtonField::Y, std::to_string(y));
  }
  void commands(size_t page, size_t bog, size_t index, hdmv::CommandList cmds) {
    if (!setButtonCommands(menu, page, bog, index, std::move(cmds))) ok = false;
  }
};

struct Faces {
  unsigned normal, sel0, sel2, act;
};

// Normal, three selected (animated) and activated faces of one labelled item.
Faces itemFaces(Author& a, const QString& label) {
  Faces f;
  f.normal = a.importObject(buttonFace(360, 90, 32, 0, label), 0u);
  f.sel0 = a.importObject(buttonFace(360, 90, 64, 0, label), 0u);
  a.importObject(buttonFace(360, 90, 64, 1, label), 0u);
  f.sel2 = a.importObject(buttonFace(360, 90, 64, 2, label), 0u);
  f.act = a.importObject(buttonFace(360, 90, 1, 0, label), 0u);
  return f;
}

// One item: its button (the only one of its BOG) with faces, sounds and place.
void item(Author& a, size_t page, size_t bog, const Faces& f, int x, int y) {
  a.place(page, bog, 0, x, y);
  a.objects(page, bog, 0, ButtonField::NormalStart, f.normal, f.normal);
  a.objects(page, bog, 0, ButtonField::SelectedStart, f.sel0, f.sel2);
  a.cell(page, bog, 0, ButtonField::SelectedRepeat, "Y");
  a.objects(page, bog, 0, ButtonField::ActivatedStart, f.act, f.act);
  // Entry 0 of sound.bdmv is the short high tone, entry 1 the lower one.
  a.cell(page, bog, 0, ButtonField::SelectedSound, "00");
  a.cell(page, bog, 0, ButtonField::ActivatedSound, "01");
}

// A title: a button nobody navigates to, showing the banner in every state.
void title(Author& a, size_t page, size_t bog, unsigned obj) {
  a.place(page, bog, 0, 480, 100);
  a.objects(page, bog, 0, ButtonField::NormalStart, obj, obj);
  a.objects(page, bog, 0, ButtonField::SelectedStart, obj, obj);
  a.objects(page, bog, 0, ButtonField::ActivatedStart, obj, obj);
}

Effect bannerStep(unsigned obj, uint8_t palette, uint32_t duration) {
  Effect e;
  e.duration = duration;
  e.paletteId = palette;
  CompositionObject co;
  co.objectId = uint16_t(obj);
  co.x = 480;
  co.y = 100;
  e.objects.push_back(co);
  e.numObjects = 1;
  return e;
}

// The menu as a user authors it; false when a step was refused.
bool authorDemoMenu(core::Log& log, Menu& result) {
  Author a{Menu{}, log};
  Menu& m = a.menu;
  newMenu(m);

  // Objects: the two page titles, then the faces of every item.
  const unsigned mainTitle = a.importObject(banner(960, 160, "Morvex Demo"), std::nullopt);
  const unsigned scenesTitle = a.importObject(banner(960, 160, "Scenes"), 0u);
  const Faces play = itemFaces(a, "Play Movie"), scenes = itemFaces(a, "Scenes"), extras = itemFaces(a, "Extras"),
              trailer = itemFaces(a, "Trailer"), secondHalf = itemFaces(a, "Second Half"), back = itemFaces(a, "Back");
  // Palettes 1 and 2: the same colours at about 40 % and 70 % opacity, for fades.
  a.addFadePalette(96);
  a.addFadePalette(176);

  // Page 0: "Play Movie", "Scenes", "Extras" and a "Trailer" that "Extras" enables,
  // each in a BOG of its own, then the title. Page 1: "Second Half", "Back", its title.
  // Items start titles; the titles' movie objects play the playlists, as button
  // programs may not.
  for (int i = 0; i < 4; ++i) createBog(m, 0);
  createPage(m);
  for (int i = 0; i < 2; ++i) createBog(m, 1);
  item(a, 0, 0, play, 780, 420);
  item(a, 0, 1, scenes, 780, 550);
  item(a, 0, 2, extras, 780, 680);
  item(a, 0, 3, trailer, 1200, 810);
  title(a, 0, 4, mainTitle);
  for (int i = 0; i < 3; ++i) {
    a.cell(0, size_t(i), 0, ButtonField::Value, core::hexText(i + 1, 4));
    a.cell(0, size_t(i), 0, ButtonField::Upper, core::hexText((i + 2) % 3, 4));
    a.cell(0, size_t(i), 0, ButtonField::Lower, core::hexText((i + 1) % 3, 4));
  }
  a.cell(0, 3, 0, ButtonField::Left, "0002");
  for (int g = 0; g < 3; ++g) setBogDefault(m, 0, size_t(g), core::hexText(g, 4));
  setBogDefault(m, 0, 4, "0004");
  // BOG 3 stays hidden (0xFFFF) until "Extras" enables its button.
  setPageField(m, 0, PageField::DefaultSelected, "0000");
  setPageField(m, 0, PageField::AnimationCode, "2");

  a.commands(0, 0, 0, {{kJumpTitle, 1, 0}});
  a.commands(0, 1, 0, {{kSetButtonPage, kSetFlag | 0, kSetFlag | 1}});
  a.commands(0, 2, 0, {{kEnableButton, 3, 0}, {kSetButtonPage, kSetFlag | 3, 0}});
  a.commands(0, 3, 0, {{kJumpTitle, 4, 0}});

  item(a, 1, 0, secondHalf, 780, 500);
  item(a, 1, 1, back, 780, 660);
  title(a, 1, 2, scenesTitle);
  for (int i = 0; i < 2; ++i) {
    a.cell(1, size_t(i), 0, ButtonField::Upper, core::hexText(1 - i, 4));
    a.cell(1, size_t(i), 0, ButtonField::Lower, core::hexText(1 - i, 4));
    setBogDefault(m, 1, size_t(i), core::hexText(i, 4));
  }
  setBogDefault(m, 1, 2, "0002");
  setPageField(m, 1, PageField::AnimationCode, "2");
  a.commands(1, 0, 0, {{kJumpTitle, 2, 0}});
  a.commands(1, 1, 0, {{kSetButtonPage, kSetFlag | 1, kSetFlag | 0}});
  // Left alone on the scenes page, the menu goes back by itself after 20 seconds.
  setPageField(m, 1, PageField::DefaultActivated, "0001");
  if (!setUserTimeout(m, "0:00:20", log)) a.ok = false;

  // Page 0's title fades in when the page is shown and out when it is left: the
  // banner in palettes of rising (falling) opacity, one window over it.
  for (int seq = 0; seq < 2; ++seq) {
    EffectSequence& s = m.ics.pages[0].effects[size_t(seq)];
    s.numWindows = 1;
    s.windows[0] = {0, 480, 100, 960, 160};
  }
  EffectSequence& in = m.ics.pages[0].effects[0];
  for (uint8_t pal : {1, 2, 0}) in.effects.push_back(bannerStep(mainTitle, pal, 18000));
  EffectSequence& out = m.ics.pages[0].effects[1];
  for (uint8_t pal : {2, 1}) out.effects.push_back(bannerStep(mainTitle, pal, 13500));
  m.ics.model = 2;  // always-on menu: the stream-model bit set, not a pop-up
  // The menu's one display set starts its epoch: a player builds the menu from it.
  m.ics.compositionState = 2;
  refreshMenu(m, &a.pictures);

  if (!a.ok) {
    log.error("demo menu: an authoring step was refused");
    return false;
  }
  result = std::move(m);
  return true;
}

bool writeDemoMenu(DemoContext& ctx) {
  Menu m;
  if (!authorDemoMenu(ctx.log, m)) return false;
  const std::filesystem::path stream = ctx.bdmv / "STREAM";
  std::error_code ec;
  std::filesystem::create_directories(stream, ec);
  if (!muxMenuToFile(m, stream / "00010.m2ts", ctx.log)) return false;
  // The menu file lives beside the demo folder, outside the disc structure.
  const std::filesystem::path beside = ctx.bdmv.parent_path().parent_path();
  if (!beside.empty() && std::filesystem::is_directory(beside))
    if (!saveMenuFile(m, beside, "demo_menu.mnu", core::SaveSettings{.backup = false}, ctx.log)) return false;
  return true;
}

DemoStep step(60, "IG menu", writeDemoMenu);

}  // namespace

bool demoMenu(core::Log& log, igs::Menu& menu) { return authorDemoMenu(log, menu); }

std::vector<std::vector<uint8_t>> demoMenuSegments(core::Log& log) {
  Menu m;
  if (!authorDemoMenu(log, m)) return {};
  // The menu file form: each segment behind a 10-byte unit header ("IG", PTS, DTS).
  settleMenu(m, log);
  const core::Bytes file = writeMenu(m, SaveForm::MenuFile);
  std::vector<std::vector<uint8_t>> segments;
  for (size_t at = 0; at + 13 <= file.size();) {
    const size_t len = size_t(file[at + 11]) << 8 | file[at + 12];
    if (at + 13 + len > file.size()) return {};
    segments.emplace_back(file.begin() + long(at + 10), file.begin() + long(at + 13 + len));
    at += 13 + len;
  }
  return segments;
}

}  // namespace morvex::demo

#include "igs/colour.h"

#include <algorithm>

#include "core/text.h"
#include "igs/rle.h"

namespace morvex::igs {

namespace {
uint8_t clampTo(int v, int lo, int hi) { return uint8_t(std::clamp(v, lo, hi)); }
}  // namespace

ColourMatrix matrixForHeight(unsigned lines) { return lines > 576 ? ColourMatrix::Bt709 : ColourMatrix::Bt601; }
ColourMatrix menuMatrix(const Menu& menu) { return matrixForHeight(menu.ics.height); }

Rgb8 ycc2rgb(uint8_t y, uint8_t cr, uint8_t cb, ColourMatrix m) {
  const int Y = (int(y) - 16) * 1164, Cr = int(cr) - 128, Cb = int(cb) - 128;
  // C++ integer division truncates toward zero, as the format's rule requires.
  if (m == ColourMatrix::Bt709)
    return {clampTo((Y + Cr * 1793 + 500) / 1000, 0, 255),
            clampTo((Y - Cr * 533 - Cb * 213 + 500) / 1000, 0, 255),
            clampTo((Y + Cb * 2112 + 500) / 1000, 0, 255)};
  return {clampTo((Y + Cr * 1596 + 500) / 1000, 0, 255),
          clampTo((Y - Cr * 813 - Cb * 391 + 500) / 1000, 0, 255),
          clampTo((Y + Cb * 2018 + 500) / 1000, 0, 255)};
}

Ycc rgb2ycc(uint8_t r, uint8_t g, uint8_t b, ColourMatrix m) {
  const int R = r, G = g, B = b;
  if (m == ColourMatrix::Bt709)
    return {clampTo((183 * R + 614 * G + 62 * B + 500) / 1000 + 16, 16, 235),
            clampTo((439 * R - 399 * G - 40 * B + 500) / 1000 + 128, 16, 240),
            clampTo((-101 * R - 338 * G + 439 * B + 500) / 1000 + 128, 16, 240)};
  return {clampTo((257 * R + 504 * G + 98 * B + 500) / 1000 + 16, 16, 235),
          clampTo((439 * R - 368 * G - 71 * B + 500) / 1000 + 128, 16, 240),
          clampTo((-148 * R - 291 * G + 439 * B + 500) / 1000 + 128, 16, 240)};
}

void ycc2rgbEntry(const Ycc& c, Rgbt& out, ColourMatrix m) {
  Rgb8 v = ycc2rgb(c.y, c.cr, c.cb, m);
  out.r = v.r;
  out.g = v.g;
  out.b = v.b;
}

void recolourPalettes(Menu& menu) {
  const ColourMatrix m = menuMatrix(menu);
  for (auto& pal : menu.palettes)
    for (size_t e = 0; e < pal.rgbt.size(); ++e)
      if (pal.ycc[e] != Ycc{}) ycc2rgbEntry(pal.ycc[e], pal.rgbt[e], m);
}

PaletteTable id2pal(const Menu& menu, unsigned paletteId) {
  if (paletteId < menu.palettes.size()) return menu.palettes[paletteId].rgbt;
  return PaletteTable{};
}

void resizeCache(const Menu& menu, MenuPictures& pictures) {
  // Rows are filled on demand (a menu may have thousands of object ids and hundreds
  // of palettes, but only the pairs shown are ever coloured); here they only shrink.
  pictures.cache.resize(menu.objects.size());
  for (auto& row : pictures.cache)
    if (row.byPalette.size() > menu.palettes.size()) row.byPalette.resize(menu.palettes.size());
}

void invalidateObject(MenuPictures& pictures, unsigned objectId) {
  if (objectId >= pictures.cache.size()) return;
  for (auto& slot : pictures.cache[objectId].byPalette) slot.reset();
  pictures.cache[objectId].decoded.reset();
}

void invalidatePalette(MenuPictures& pictures, unsigned paletteId) {
  for (auto& row : pictures.cache)
    if (paletteId < row.byPalette.size()) row.byPalette[paletteId].reset();
}

const RgbaImage& objectPicture(const Menu& menu, MenuPictures& pictures, unsigned objectId, unsigned paletteId,
                         core::Log& log) {
  if (objectId >= menu.objects.size()) {
    pictures.workPicture = RgbaImage{};
    return pictures.workPicture;
  }
  if (pictures.cache.size() != menu.objects.size()) resizeCache(menu, pictures);
  ObjectCache& row = pictures.cache[objectId];
  if (row.byPalette.size() != menu.palettes.size()) row.byPalette.resize(menu.palettes.size());
  std::optional<RgbaImage>* slot = paletteId < row.byPalette.size() ? &row.byPalette[paletteId] : nullptr;
  if (slot && *slot) {
    pictures.workPicture = **slot;
    return pictures.workPicture;
  }
  log.status(core::StatusPanel::Detail, "Decoding RLE pixel data and build bitmaps...");
  const GraphicsObject& o = menu.objects[objectId];
  if (!o.picture && !row.decoded) row.decoded = decodeObject(menu, objectId, log);
  const PaletteTable pal = id2pal(menu, paletteId);
  const IndexedPicture& pic = o.picture ? *o.picture : *row.decoded;
  RgbaImage& img = pictures.workPicture;
  img.width = pic.width;
  img.height = pic.height;
  img.rgba.resize(pic.pixels.size() * 4);
  uint8_t* out = img.rgba.data();
  for (uint8_t idx : pic.pixels) {
    const Rgbt& e = pal[idx];
    out[0] = e.r;
    out[1] = e.g;
    out[2] = e.b;
    out[3] = e.t;
    out += 4;
  }
  if (slot) *slot = img;
  log.status(core::StatusPanel::Detail, "");
  return img;
}

const RgbaImage& objectPictureCropped(const Menu& menu, MenuPictures& pictures, unsigned objectId, unsigned paletteId, int x1,
                           int y1, int x2, int y2, core::Log& log) {
  RgbaImage whole = objectPicture(menu, pictures, objectId, paletteId, log);
  RgbaImage& img = pictures.workPicture;
  img.width = std::max(0, x2 - x1);
  img.height = std::max(0, y2 - y1);
  img.rgba.assign(size_t(img.width) * img.height * 4, 0);
  for (int y = 0; y < img.height; ++y) {
    int sy = y1 + y;
    if (sy < 0 || sy >= whole.height) continue;
    for (int x = 0; x < img.width; ++x) {
      int sx = x1 + x;
      if (sx < 0 || sx >= whole.width) continue;
      const uint8_t* s = &whole.rgba[(size_t(sy) * whole.width + sx) * 4];
      std::copy(s, s + 4, &img.rgba[(size_t(y) * img.width + x) * 4]);
    }
  }
  return img;
}

int paletteEntryAt(int x, int y) {
  if (y < 11 || y > 171) return -1;
  int row = (y - 11) / 10;
  if (x >= 11 && x <= 171) return 16 * row + (x - 11) / 10;
  if (x >= 181 && x <= 341) return 16 * row + (x - 181) / 10;
  return -1;
}

std::string paletteTitle(unsigned paletteId) {
  return "Palette: " + core::hexField(paletteId, 2) + " (" + std::to_string(paletteId) + ")";
}

std::string paletteReadout(unsigned paletteId, const PaletteTable& table, unsigned entry) {
  if (entry > 255) return paletteTitle(paletteId);
  const Rgbt& e = table[entry];
  unsigned u = 255 - e.t;
  return paletteTitle(paletteId) + "      Color: " + core::hexField(entry, 2) + " (" + std::to_string(entry) +
         ")      RGB: #" + core::hexField(e.r, 2) + core::hexField(e.g, 2) + core::hexField(e.b, 2) + "  (" +
         std::to_string(e.r) + "," + std::to_string(e.g) + "," + std::to_string(e.b) +
         ")      Opacity: " + core::hexField(e.t, 2) + " (" + std::to_string(e.t) +
         ")      Transparency: " + core::hexField(u, 2) + " (" + std::to_string(u) + ")  " +
         std::to_string(u * 100 / 255) + "%";
}

}  // namespace morvex::igs

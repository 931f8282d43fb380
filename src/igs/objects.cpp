#include "igs/objects.h"
#include "core/text.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>

#include "core/save.h"
#include "igs/edit.h"
#include "igs/rle.h"

namespace morvex::igs {

namespace {

// A state's object range; an unset or reversed end means the start alone.
bool inRange(uint16_t start, uint16_t end, unsigned id) {
  if (start == kNoObject) return false;
  if (end == kNoObject || end < start) end = start;
  return id >= start && id <= end;
}

bool effectsUsePalette(const EffectSequence& s, unsigned pal) {
  for (const auto& e : s.effects)
    if (e.paletteId == pal) return true;
  return false;
}

bool effectsUseObject(const EffectSequence& s, unsigned obj) {
  for (const auto& e : s.effects)
    for (const auto& o : e.objects)
      if (o.objectId == obj) return true;
  return false;
}

}  // namespace

std::string paletteReferences(const Menu& menu, unsigned paletteId) {
  std::string out;
  for (size_t n = 0; n < menu.ics.pages.size(); ++n) {
    const Page& p = menu.ics.pages[n];
    bool in = effectsUsePalette(p.effects[0], paletteId), outE = effectsUsePalette(p.effects[1], paletteId);
    if (in || outE) out += std::to_string(n) + (in ? "i" : "") + (outE ? "o" : "") + " ";
    if (p.paletteId == paletteId) out += std::to_string(n) + " ";
  }
  return out;
}

std::string objectReferences(const Menu& menu, unsigned objectId) {
  std::string out;
  for (size_t n = 0; n < menu.ics.pages.size(); ++n) {
    const Page& p = menu.ics.pages[n];
    bool in = effectsUseObject(p.effects[0], objectId), outE = effectsUseObject(p.effects[1], objectId);
    if (in || outE) out += std::to_string(n) + (in ? "i" : "") + (outE ? "o" : "") + " ";
    std::string buttons;
    for (const auto& g : p.bogs)
      for (const auto& b : g.buttons) {
        std::string states;
        if (inRange(b.normalStart, b.normalEnd, objectId)) states += "n";
        if (inRange(b.selectedStart, b.selectedEnd, objectId)) states += "s";
        if (inRange(b.activatedStart, b.activatedEnd, objectId)) states += "a";
        if (states.empty()) continue;
        if (!buttons.empty()) buttons += ",";
        buttons += std::to_string(b.id) + states;
      }
    if (!buttons.empty()) out += std::to_string(n) + ":" + buttons + " ";
  }
  if (!out.empty()) out.pop_back();
  return out;
}

std::optional<unsigned> paletteForObject(const Menu& menu, unsigned objectId) {
  std::string ref = objectReferences(menu, objectId);
  size_t i = 0;
  unsigned page = 0;
  while (i < ref.size() && ref[i] >= '0' && ref[i] <= '9') page = page * 10 + unsigned(ref[i++] - '0');
  if (i == 0 || i >= ref.size() || page >= menu.ics.pages.size()) return std::nullopt;
  const Page& p = menu.ics.pages[page];
  if (ref[i] == ':') return p.paletteId;
  if (ref[i] == 'i' && !p.effects[0].effects.empty()) return p.effects[0].effects.back().paletteId;
  if (ref[i] == 'o' && !p.effects[1].effects.empty()) return p.effects[1].effects.front().paletteId;
  return std::nullopt;
}

const std::array<const char*, 4> kObjectGridCaptions = {"   id", "width", "height", "referenced"};
const std::array<const char*, 2> kPaletteGridCaptions = {" id", "refer."};

std::array<std::string, 4> objectGridRow(const Menu& menu, unsigned objectId) {
  if (objectId >= menu.objects.size()) return {};
  const GraphicsObject& o = menu.objects[objectId];
  return {core::hexText(o.id, 4), std::to_string(o.width), std::to_string(o.height), objectReferences(menu, objectId)};
}

std::array<std::string, 2> paletteGridRow(const Menu& menu, unsigned paletteId) {
  return {core::hexText(paletteId, 2), paletteReferences(menu, paletteId)};
}

// ---- PNG --------------------------------------------------------------------------

namespace {

struct MemRead {
  std::span<const uint8_t> data;
  size_t pos = 0;
};

void pngRead(png_structp png, png_bytep out, png_size_t n) {
  auto* src = static_cast<MemRead*>(png_get_io_ptr(png));
  if (src->pos + n > src->data.size()) png_error(png, "PNG data ends early");
  std::memcpy(out, src->data.data() + src->pos, n);
  src->pos += n;
}

void pngWrite(png_structp png, png_bytep in, png_size_t n) {
  auto* dst = static_cast<core::Bytes*>(png_get_io_ptr(png));
  dst->insert(dst->end(), in, in + n);
}
void pngFlush(png_structp) {}

// libpng's messages: kept for the caller instead of printed on stderr. An error
// message is stored before control jumps back to the setjmp point.
struct PngMessages {
  std::string error;
  std::string warnings;
};
[[noreturn]] void pngError(png_structp png, png_const_charp message) {
  if (auto* m = static_cast<PngMessages*>(png_get_error_ptr(png))) m->error = message ? message : "libpng error";
  png_longjmp(png, 1);
}
void pngWarn(png_structp png, png_const_charp message) {
  if (auto* m = static_cast<PngMessages*>(png_get_error_ptr(png)); m && message) {
    if (!m->warnings.empty()) m->warnings += "; ";
    m->warnings += message;
  }
}

struct PngLimits {
  png_uint_32 width = 65535, height = 65535;
};

// The decoding part; returns false on any libpng error. No object with a destructor
// lives across the setjmp in this function.
bool decodePng(std::span<const uint8_t> bytes, PalettePng& out, std::vector<uint8_t>& pixels,
               std::vector<png_bytep>& rows, bool& eightBit, bool& tooLarge, PngLimits limits,
               PngMessages& messages) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &messages, pngError, pngWarn);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  MemRead src{bytes, 0};
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &src, pngRead);
  // Refuse absurd sizes before any allocation.
  png_set_user_limits(png, 16384, 16384);
  png_read_info(png, info);
  png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
  int depth = png_get_bit_depth(png, info), type = png_get_color_type(png, info);
  eightBit = type == PNG_COLOR_TYPE_PALETTE && depth == 8;
  // The size is known from the header: a picture too large for its use is refused
  // here, before the pixel rows are allocated.
  tooLarge = w > limits.width || h > limits.height;
  if (!eightBit || tooLarge || w > 65535 || h > 65535) {
    png_destroy_read_struct(&png, &info, nullptr);
    out.picture.width = uint16_t(std::min<png_uint_32>(w, 65535));
    out.picture.height = uint16_t(std::min<png_uint_32>(h, 65535));
    return true;
  }
  png_colorp plte = nullptr;
  int n = 0;
  if (png_get_PLTE(png, info, &plte, &n) && plte)
    for (int i = 0; i < n && i < 256; ++i) out.colours[i] = {plte[i].red, plte[i].green, plte[i].blue, 255};
  out.paletteSize = n;
  png_bytep trans = nullptr;
  int nt = 0;
  png_color_16p tc = nullptr;
  if (png_get_tRNS(png, info, &trans, &nt, &tc) && trans) {
    out.hasTransparency = true;
    for (int i = 0; i < nt && i < 256; ++i) out.colours[i].t = trans[i];
  }
  pixels.resize(size_t(w) * h);
  rows.resize(h);
  for (png_uint_32 y = 0; y < h; ++y) rows[y] = pixels.data() + size_t(y) * w;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  out.picture.width = uint16_t(w);
  out.picture.height = uint16_t(h);
  return true;
}

}  // namespace

std::optional<PalettePng> readPalettePng(std::span<const uint8_t> bytes, std::string* problem, uint32_t maxWidth,
                                         uint32_t maxHeight) {
  PalettePng out;
  std::vector<uint8_t> pixels;
  std::vector<png_bytep> rows;
  bool eightBit = false, tooLarge = false;
  PngMessages messages;
  auto fail = [&](std::string why) -> std::optional<PalettePng> {
    if (problem) *problem = std::move(why);
    return std::nullopt;
  };
  if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) return fail("not a PNG file");
  const PngLimits limits{std::min<png_uint_32>(maxWidth, 65535), std::min<png_uint_32>(maxHeight, 65535)};
  if (!decodePng(bytes, out, pixels, rows, eightBit, tooLarge, limits, messages))
    return fail("bad PNG data: " + (messages.error.empty() ? std::string("unreadable") : messages.error));
  if (!eightBit) return fail("not an 8-bit palette PNG");
  if (tooLarge)
    return fail("picture of " + std::to_string(out.picture.width) + "x" + std::to_string(out.picture.height) +
                " is larger than " + std::to_string(limits.width) + "x" + std::to_string(limits.height));
  if (problem) *problem = messages.warnings;
  out.picture.pixels = std::move(pixels);
  return out;
}

namespace {

// The encoding part; everything it changes lives in the caller, so nothing is left
// indeterminate by libpng's longjmp on an error.
bool encodePng(const IndexedPicture& pic, const png_color* plte, const png_byte* trans, png_text* text,
               png_bytep* rows, core::Bytes& out) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarn);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &out, pngWrite, pngFlush);
  png_set_IHDR(png, info, std::max<png_uint_32>(pic.width, 1), std::max<png_uint_32>(pic.height, 1), 8,
               PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_PLTE(png, info, plte, 256);
  png_set_tRNS(png, info, trans, 256, nullptr);
  png_set_text(png, info, text, 1);
  png_write_info(png, info);
  if (pic.width && pic.height) {
    png_write_image(png, rows);
  } else {
    static png_byte zero = 0;  // PNG has no empty pictures: one pixel of index 0
    png_write_row(png, &zero);
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

core::Bytes writePalettePng(const IndexedPicture& pic, const PaletteTable& colours, const std::string& software) {
  std::vector<png_color> plte(256);
  std::vector<png_byte> trans(256);
  for (int i = 0; i < 256; ++i) {
    plte[i] = {colours[i].r, colours[i].g, colours[i].b};
    trans[i] = colours[i].t;
  }
  std::vector<png_bytep> rows(pic.height);
  for (size_t y = 0; y < pic.height; ++y) rows[y] = const_cast<png_bytep>(pic.pixels.data() + y * pic.width);
  std::string key = "Software", value = software;
  png_text text{};
  text.compression = PNG_TEXT_COMPRESSION_NONE;
  text.key = key.data();
  text.text = value.data();
  core::Bytes out;
  if (!encodePng(pic, plte.data(), trans.data(), &text, rows.data(), out)) return {};
  return out;
}

std::optional<ImportResult> importObjectPng(Menu& menu, MenuPictures& pictures, std::span<const uint8_t> bytes,
                                            std::optional<unsigned> replaceObject,
                                            std::optional<unsigned> replacePalette, core::Log& log) {
  std::string problem;
  std::optional<PalettePng> png = readPalettePng(bytes, &problem, menu.ics.width, menu.ics.height);
  if (!png) {
    log.errorLine("PNG import: " + problem);
    log.errorStatus("Not supported file format!");
    return std::nullopt;
  }
  if (!problem.empty()) log.warning("PNG import: " + problem);
  if (replaceObject && *replaceObject >= menu.objects.size()) replaceObject.reset();
  if (replacePalette && *replacePalette >= menu.palettes.size()) replacePalette.reset();
  if (!replaceObject && menu.objects.size() >= kNoObject) {
    log.errorStatus("Not supported file format!");
    return std::nullopt;
  }
  if (!replacePalette && menu.palettes.size() >= 256) {
    log.errorStatus("Not supported file format!");
    return std::nullopt;
  }
  ImportResult r;
  r.objectId = replaceObject ? *replaceObject : unsigned(menu.objects.size());
  r.paletteId = replacePalette ? *replacePalette : unsigned(menu.palettes.size());
  if (!replaceObject) menu.objects.emplace_back();
  if (!replacePalette) menu.palettes.emplace_back();
  resizeCache(menu, pictures);

  GraphicsObject& o = menu.objects[r.objectId];
  o.id = uint16_t(r.objectId);
  o.width = png->picture.width;
  o.height = png->picture.height;
  o.picture = std::move(png->picture);
  o.fragments.clear();
  o.numFragments = 0;
  o.dataLength = uint32_t(rle_encode(menu, pictures, r.objectId));
  invalidateObject(pictures, r.objectId);

  Palette& pal = menu.palettes[r.paletteId];
  // Y, Cr, Cb do not survive a trip through RGB exactly; an entry whose stored value
  // still gives the imported colour keeps it, so exporting and importing again never
  // drifts the colours.
  const std::array<Ycc, 256> previous = pal.ycc;
  pal.id = uint16_t(r.paletteId);
  pal.ycc.fill(Ycc{});
  pal.rgbt.fill(Rgbt{});
  for (int e = 0; e < 255; ++e) {
    const Rgbt& c = png->colours[e];
    pal.rgbt[e] = {c.r, c.g, c.b, e < png->paletteSize ? c.t : uint8_t(0)};
    const Ycc& old = previous[e];
    const ColourMatrix m = menuMatrix(menu);
    const bool keep = replacePalette && old.y != 0 && ycc2rgb(old.y, old.cr, old.cb, m) == Rgb8{c.r, c.g, c.b};
    pal.ycc[e] = keep ? old : rgb2ycc(c.r, c.g, c.b, m);
  }
  // Every object coloured with a replaced palette shows the new colours.
  invalidatePalette(pictures, r.paletteId);
  return r;
}

core::Bytes exportObjectPng(const Menu& menu, unsigned objectId, unsigned paletteId, core::Log& log,
                            const std::string& software) {
  if (objectId >= menu.objects.size()) return {};
  const GraphicsObject& o = menu.objects[objectId];
  if (o.picture) return writePalettePng(*o.picture, id2pal(menu, paletteId), software);
  return writePalettePng(decodeObject(menu, objectId, log), id2pal(menu, paletteId), software);
}

std::string objectPngName(unsigned objectId, unsigned paletteId) {
  return "IGobject_" + core::hexText(objectId, 4) + "_pal_" + core::hexText(paletteId, 2);
}

// ---- Palette files ----------------------------------------------------------------

core::Bytes paletteAct(const Palette& pal) {
  core::Bytes b;
  b.reserve(768);
  for (const auto& e : pal.rgbt) {
    b.push_back(e.r);
    b.push_back(e.g);
    b.push_back(e.b);
  }
  return b;
}

std::string palettePxml(const Palette& pal) {
  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\r\n"
                  "<PaletteDefinition UseForm=\"YCrCb\">\r\n";
  auto tag = [&](const char* name, unsigned v) {
    s += std::string("    <") + name + ">" + std::to_string(v) + "</" + name + ">\r\n";
  };
  for (int n = 0; n < 256; ++n) {
    s += "\r\n  <PaletteData PaletteEntryId=\"" + std::to_string(n) + "\" UseForm=\"YCrCb\">\r\n";
    tag("R", pal.rgbt[n].r);
    tag("G", pal.rgbt[n].g);
    tag("B", pal.rgbt[n].b);
    tag("T", pal.rgbt[n].t);
    tag("Y", pal.ycc[n].y);
    tag("Cr", pal.ycc[n].cr);
    tag("Cb", pal.ycc[n].cb);
    s += "  </PaletteData>\r\n";
  }
  s += "\r\n</PaletteDefinition>\r\n";
  return s;
}

std::string paletteFileName(unsigned paletteId) {
  std::string n = std::to_string(paletteId);
  while (n.size() < 3) n.insert(n.begin(), '0');
  return "palette_" + n;
}

core::WriteResult savePalette(const Menu& menu, unsigned paletteId, const std::filesystem::path& file, core::Log& log) {
  if (paletteId >= menu.palettes.size()) {
    const std::string error = "No palette " + std::to_string(paletteId);
    log.errorStatus(error);
    return core::WriteResult::failure(file, error);
  }
  core::Bytes content;
  const std::string ext = file.extension().string();
  if (ext == ".pxml") {
    std::string x = palettePxml(menu.palettes[paletteId]);
    content.assign(x.begin(), x.end());
  } else if (ext == ".act") {
    content = paletteAct(menu.palettes[paletteId]);
  }
  std::string err;
  if (!core::writeFileAtomic(file, content, err)) {
    const std::string error = core::displayPath(file) + ": " + err;
    log.error(error);
    return core::WriteResult::failure(file, error);
  }
  return core::WriteResult::written(file, content.size());
}

// ---- Deleting -----------------------------------------------------------------------

bool deleteObjects(Menu& menu, MenuPictures& pictures, unsigned first, unsigned count, core::Log& log) {
  if (count == 0 || first >= menu.objects.size()) return false;
  count = std::min<unsigned>(count, unsigned(menu.objects.size()) - first);
  for (unsigned id = first; id < first + count; ++id)
    if (!objectReferences(menu, id).empty()) {
      log.errorStatus("Cannot delete object. Remove all reference first.");
      return false;
    }
  const unsigned last = first + count - 1;
  resizeCache(menu, pictures);
  menu.objects.erase(menu.objects.begin() + first, menu.objects.begin() + first + count);
  pictures.cache.erase(pictures.cache.begin() + first, pictures.cache.begin() + first + count);
  for (size_t i = first; i < menu.objects.size(); ++i) menu.objects[i].id = uint16_t(i);
  // References to the objects that moved up move with them.
  auto shift = [&](uint16_t& id) {
    if (id != kNoObject && id > last) id = uint16_t(id - count);
  };
  for (auto& p : menu.ics.pages) {
    for (auto& s : p.effects)
      for (auto& e : s.effects)
        for (auto& o : e.objects) shift(o.objectId);
    for (auto& g : p.bogs)
      for (auto& b : g.buttons)
        for (uint16_t* f : {&b.normalStart, &b.normalEnd, &b.selectedStart, &b.selectedEnd, &b.activatedStart,
                            &b.activatedEnd})
          shift(*f);
  }
  for (size_t i = 0; i < menu.ics.pages.size() && i < menu.pageButtons.size(); ++i)
    menu.pageButtons[i] = buildPageButtons(menu.ics.pages[i]);
  return true;
}

bool deletePalettes(Menu& menu, MenuPictures& pictures, unsigned first, unsigned count, core::Log& log) {
  if (menu.palettes.size() < 2) {
    log.errorStatus("Cannot delete palette. Remove all objects first.");
    return false;
  }
  if (count == 0 || first >= menu.palettes.size()) return false;
  count = std::min<unsigned>(count, unsigned(menu.palettes.size()) - first);
  if (count >= menu.palettes.size()) {
    log.errorStatus("Cannot delete palette. Remove all objects first.");
    return false;
  }
  for (unsigned id = first; id < first + count; ++id) {
    std::string ref = paletteReferences(menu, id);
    if (ref.find_first_not_of(' ') != std::string::npos) {
      log.errorStatus("Cannot delete palette. Remove all reference first.");
      return false;
    }
  }
  const unsigned last = first + count - 1;
  resizeCache(menu, pictures);
  menu.palettes.erase(menu.palettes.begin() + first, menu.palettes.begin() + first + count);
  for (size_t i = first; i < menu.palettes.size(); ++i) menu.palettes[i].id = uint16_t(i);
  for (auto& row : pictures.cache) {
    const size_t from = std::min<size_t>(first, row.byPalette.size());
    const size_t to = std::min<size_t>(size_t(first) + count, row.byPalette.size());
    row.byPalette.erase(row.byPalette.begin() + from, row.byPalette.begin() + to);
  }
  auto shift = [&](uint8_t& id) {
    if (id > last) id = uint8_t(id - count);
  };
  for (auto& p : menu.ics.pages) {
    shift(p.paletteId);
    for (auto& s : p.effects)
      for (auto& e : s.effects) shift(e.paletteId);
  }
  return true;
}

// ---- Viewer pictures ------------------------------------------------------------------

RgbaImage paletteViewPicture(const Menu& menu, unsigned paletteId, Rgb8 bg) {
  RgbaImage img;
  img.width = 350;
  img.height = 180;
  img.rgba.resize(size_t(350) * 180 * 4);
  for (size_t i = 0; i < img.rgba.size(); i += 4) {
    img.rgba[i] = bg.r;
    img.rgba[i + 1] = bg.g;
    img.rgba[i + 2] = bg.b;
    img.rgba[i + 3] = 255;
  }
  auto put = [&](int x, int y, uint8_t r, uint8_t g, uint8_t b) {
    uint8_t* p = &img.rgba[(size_t(y) * 350 + x) * 4];
    p[0] = r;
    p[1] = g;
    p[2] = b;
  };
  const PaletteTable pal = id2pal(menu, paletteId);
  for (int e = 0; e < 256; ++e) {
    const int i = e / 16, j = e % 16;
    for (int half = 0; half < 2; ++half) {
      const int x0 = 10 + 10 * j + 180 * half, y0 = 10 + 10 * i;
      // A 9 x 9 black cell without its corner pixels, holding a 7 x 7 block without
      // its corners.
      for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) {
          bool corner = (x == 0 || x == 8) && (y == 0 || y == 8);
          if (!corner) put(x0 + x, y0 + y, 0, 0, 0);
        }
      const Rgbt& c = pal[e];
      for (int y = 1; y < 8; ++y)
        for (int x = 1; x < 8; ++x) {
          bool corner = (x == 1 || x == 7) && (y == 1 || y == 7);
          if (corner) continue;
          if (half == 0) {
            put(x0 + x, y0 + y, c.r, c.g, c.b);
          } else {
            auto blend = [&](uint8_t b) { return uint8_t((255 * c.t + b * (255 - c.t)) / 255); };
            put(x0 + x, y0 + y, blend(bg.r), blend(bg.g), blend(bg.b));
          }
        }
    }
  }
  return img;
}

RgbaImage objectViewPicture(const Menu& menu, MenuPictures& pictures, unsigned objectId, unsigned paletteId, Rgb8 bg,
                            core::Log& log) {
  RgbaImage img = objectPicture(menu, pictures, objectId, paletteId, log);
  for (size_t i = 0; i + 3 < img.rgba.size(); i += 4) {
    const unsigned a = img.rgba[i + 3];
    img.rgba[i] = uint8_t((img.rgba[i] * a + bg.r * (255 - a)) / 255);
    img.rgba[i + 1] = uint8_t((img.rgba[i + 1] * a + bg.g * (255 - a)) / 255);
    img.rgba[i + 2] = uint8_t((img.rgba[i + 2] * a + bg.b * (255 - a)) / 255);
    img.rgba[i + 3] = 255;
  }
  return img;
}

std::string objectInfoText(const GraphicsObject& o, unsigned paletteId) {
  return "Size: " + std::to_string(o.width) + "x" + std::to_string(o.height) + ",  Object: " + core::hexText(o.id, 4) +
         ",  Palette: " + core::hexText(paletteId, 2) + ",  RLE pixel data: " + core::thousandsText(o.dataLength) +
         " (" + core::thousandsText(uint64_t(o.width) * o.height) + ")";
}

}  // namespace morvex::igs

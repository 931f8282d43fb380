#pragma once
// Objects and palettes of a menu: where they are used, PNG import and export,
// palette files, deletion, and the pictures of the object viewer.
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "core/binary.h"
#include "core/write_result.h"
#include "core/log.h"
#include "igs/colour.h"
#include "igs/model.h"

namespace morvex::igs {

// Where a palette is used: per page n, "n" + "i"/"o" for in/out-effects and a blank,
// then "n " when it is the page's palette. Empty when unreferenced.
std::string paletteReferences(const Menu& menu, unsigned paletteId);
// Where an object is used: per page n, "n" + "i"/"o" and a blank for effects, then
// "n:" and the buttons using it ("3na,5s") and a blank; the last blank dropped.
std::string objectReferences(const Menu& menu, unsigned objectId);
// The palette to show an object with, from its first reference: the page's palette
// for a button reference, the last in-effect's palette for "i", the first
// out-effect's for "o"; nothing without references.
std::optional<unsigned> paletteForObject(const Menu& menu, unsigned objectId);

// Rows of the object grid (id in 4 hex digits, width, height, references) and of
// the palette grid (id in 2 hex digits, references), and their captions.
extern const std::array<const char*, 4> kObjectGridCaptions;   // "   id", "width", "height", "referenced"
extern const std::array<const char*, 2> kPaletteGridCaptions;  // " id", "refer."
std::array<std::string, 4> objectGridRow(const Menu& menu, unsigned objectId);
std::array<std::string, 2> paletteGridRow(const Menu& menu, unsigned paletteId);

// ---- PNG ------------------------------------------------------------------------
// An 8-bit palette PNG: indices, up to 256 palette colours and their opacities.
struct PalettePng {
  IndexedPicture picture;
  std::array<Rgbt, 256> colours{};  // entries past the PNG's palette stay zero
  int paletteSize = 0;
  bool hasTransparency = false;
};
// Reads an 8-bit palette PNG from memory; nothing for any other kind, for bad data
// and for a picture wider or taller than the limits (refused from its header, before
// any pixel memory is taken). `problem` receives the reason; libpng's own warnings
// and errors go there too instead of to the standard error stream.
std::optional<PalettePng> readPalettePng(std::span<const uint8_t> png, std::string* problem = nullptr,
                                         uint32_t maxWidth = 65535, uint32_t maxHeight = 65535);
// Writes an 8-bit palette PNG with a 256-entry PLTE, a 256-entry tRNS and a tEXt
// "Software" chunk.
core::Bytes writePalettePng(const IndexedPicture& pic, const PaletteTable& colours, const std::string& software);

struct ImportResult {
  unsigned objectId = 0;
  unsigned paletteId = 0;
};
// Imports a PNG as a new object (or into `replaceObject`) with a new palette (or into
// `replacePalette`). Refuses pictures larger than the video or not 8 bits per pixel
// with "Not supported file format!". Entries without an opacity in the PNG are
// opaque, as PNG defines it; entry 255 stays transparent black.
// The pictures of the replaced object and palette are dropped from `pictures`.
std::optional<ImportResult> importObjectPng(Menu& menu, MenuPictures& pictures, std::span<const uint8_t> png,
                                            std::optional<unsigned> replaceObject,
                                            std::optional<unsigned> replacePalette, core::Log& log);
// The object as an 8-bit palette PNG coloured with a palette.
core::Bytes exportObjectPng(const Menu& menu, unsigned objectId, unsigned paletteId, core::Log& log,
                            const std::string& software = "Morvex");
// "IGobject_" + object (4 hex digits) + "_pal_" + palette (2 hex digits).
std::string objectPngName(unsigned objectId, unsigned paletteId);

// ---- Palette files -------------------------------------------------------------
// 768 bytes: R, G, B of entries 0..255.
core::Bytes paletteAct(const Palette& pal);
// The XML palette file, lines ending in CR LF.
std::string palettePxml(const Palette& pal);
// "palette_" + the index with at least three digits.
std::string paletteFileName(unsigned paletteId);
// Writes the palette in the form its extension names: exactly ".pxml" or ".act";
// any other extension leaves an empty file.
core::WriteResult savePalette(const Menu& menu, unsigned paletteId, const std::filesystem::path& file, core::Log& log);

// ---- Deleting ------------------------------------------------------------------
// Deletes `count` objects from `first`. Refused with "Cannot delete object. Remove
// all reference first." while any of them is referenced. Objects after them move up
// and take their new index as id, and the references to them in effects and buttons
// move with them.
bool deleteObjects(Menu& menu, MenuPictures& pictures, unsigned first, unsigned count, core::Log& log);
// Deletes `count` palettes from `first`. Refused with fewer than two palettes
// ("Cannot delete palette. Remove all objects first.") or while any of them is
// referenced ("Cannot delete palette. Remove all reference first."). Palette ids of
// pages and effects above the deleted ones decrease by the number deleted.
bool deletePalettes(Menu& menu, MenuPictures& pictures, unsigned first, unsigned count, core::Log& log);

// ---- Viewer pictures -------------------------------------------------------------
// The palette by itself: 350 x 180 on the background, colours on the left and
// opacities (white over the background) on the right.
RgbaImage paletteViewPicture(const Menu& menu, unsigned paletteId, Rgb8 background);
// The coloured object blended over the background.
RgbaImage objectViewPicture(const Menu& menu, MenuPictures& pictures, unsigned objectId, unsigned paletteId, Rgb8 background, core::Log& log);
// "Size: WxH,  Object: 0001,  Palette: 00,  RLE pixel data: 12,345 (67,890)".
std::string objectInfoText(const GraphicsObject& o, unsigned paletteId);

}  // namespace morvex::igs

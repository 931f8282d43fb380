#pragma once
// Palette colours and coloured object pictures.
//
// Palettes store Y, Cr, Cb and an opacity T (0 transparent, 255 opaque); the
// renderer works on R, G, B, T. The conversions use integer arithmetic with
// division truncating toward zero, so a colour survives a read and a write exactly
// as any other reader of the format would compute it.
#include <array>
#include <optional>
#include <string>

#include "core/log.h"
#include "igs/model.h"

namespace morvex::igs {

struct Rgb8 {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb8&) const = default;
};

// The colour matrix of palette entries: the one of the video the menu plays over, as
// players take it (the entries reach the graphics plane unchanged, "in the same colour
// matrix as the associated video stream"): BT.709 for high-definition video (720 and
// 1080 lines), BT.601 for standard definition (480 and 576 lines, and menus that name
// no size). Both limited range: Y 16..235, Cr and Cb 16..240.
enum class ColourMatrix { Bt601, Bt709 };
ColourMatrix matrixForHeight(unsigned lines);
// The matrix of the menu's video format (its composition's height).
ColourMatrix menuMatrix(const Menu& menu);

Rgb8 ycc2rgb(uint8_t y, uint8_t cr, uint8_t cb, ColourMatrix m = ColourMatrix::Bt601);
Ycc rgb2ycc(uint8_t r, uint8_t g, uint8_t b, ColourMatrix m = ColourMatrix::Bt601);
// Fills r, g, b of `out` from a stored (Y, Cr, Cb); T is left alone.
void ycc2rgbEntry(const Ycc& c, Rgbt& out, ColourMatrix m = ColourMatrix::Bt601);
// Recomputes every palette's R, G, B from its stored Y, Cr, Cb in the menu's matrix
// (after the composition's size became known or changed); stored bytes stay as they are.
void recolourPalettes(Menu& menu);

using PaletteTable = std::array<Rgbt, 256>;
// The palette's RGBT table; all zero for a palette id the menu does not have.
PaletteTable id2pal(const Menu& menu, unsigned paletteId);

// The whole object coloured with a palette (alpha = the entry's T). The result is
// the shared working picture of `pictures`, valid until the next call; a copy stays
// in the object's cache, so colouring the same pair again neither decodes nor
// converts. An object without a decoded picture is decoded once into its cache row;
// the menu is not changed. An object id the menu does not have gives an empty picture.
const RgbaImage& objectPicture(const Menu& menu, MenuPictures& pictures, unsigned objectId, unsigned paletteId,
                         core::Log& log);
// The rectangle (x1, y1) inclusive to (x2, y2) exclusive of the coloured object;
// pixels outside the object are transparent black.
const RgbaImage& objectPictureCropped(const Menu& menu, MenuPictures& pictures, unsigned objectId, unsigned paletteId, int x1,
                           int y1, int x2, int y2, core::Log& log);

// Drops the cached pictures of one object (after it is replaced), the coloured
// pictures of one palette (after it changes), or all of them.
void invalidateObject(MenuPictures& pictures, unsigned objectId);
void invalidatePalette(MenuPictures& pictures, unsigned paletteId);
// Sizes the cache to one row per object of the menu; a row gets its palette slots
// when the object is first coloured, and rows longer than the palette list are cut.
void resizeCache(const Menu& menu, MenuPictures& pictures);

// The palette view shows the entries twice, as two 16 x 16 grids of 10-pixel cells
// with corners at (11, 11) and (181, 11). The entry under a mouse position, or -1.
int paletteEntryAt(int x, int y);
// "Palette: hh (n)" — the status text while the palette view is examined.
std::string paletteTitle(unsigned paletteId);
// The one-line readout of an entry of a palette table.
std::string paletteReadout(unsigned paletteId, const PaletteTable& table, unsigned entry);

}  // namespace morvex::igs

#pragma once
// Overlay labels and geometry of the page view: the small built-in font that writes
// button and object ids as four hex digits, and the fit-to-window arithmetic.
#include <cstdint>
#include <string>

#include "menuview/image.h"

namespace morvex::menuview {

// Glyphs are 5 x 7 pixels in a 6 x 9 cell (one column of spacing, one row of margin
// above and below). Font size 8 draws them 1:1, size 16 doubles them.
inline constexpr int kGlyphWidth = 5, kGlyphHeight = 7;

// Width and height of a four-digit label at the given font size (8 or 16).
int labelWidth(int fontSize);
int labelHeight(int fontSize);

// Writes `value` as four upper-case hex digits at (x, y): the label's box is filled
// with `background` and the digits are drawn in `ink`.
void drawHexLabel(Image& img, int x, int y, uint16_t value, Rgba background, Rgba ink, int fontSize);

// Fit-to-window view: the picture is scaled into a view of viewWidth x viewHeight
// (less a one-pixel border all round), keeping 16:9, centred.
struct FitRect {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const FitRect&) const = default;
};
FitRect fitToWindow(int viewWidth, int viewHeight);

struct PagePoint {
  int x = 0, y = 0;
  bool operator==(const PagePoint&) const = default;
};
// Maps a position on the shown (fitted) picture to page coordinates. A shown size of
// 0 maps to the origin.
PagePoint mapToPage(const FitRect& fit, int x, int y);

}  // namespace morvex::menuview

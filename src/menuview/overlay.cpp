#include "menuview/overlay.h"

namespace morvex::menuview {

// Rows of each glyph, top to bottom; bit 4 is the leftmost column.
static constexpr uint8_t kGlyphs[16][kGlyphHeight] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E},  // 0
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},  // 1
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F},  // 2
    {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},  // 3
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02},  // 4
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},  // 5
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E},  // 6
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},  // 7
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E},  // 8
    {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},  // 9
    {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11},  // A
    {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E},  // B
    {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E},  // C
    {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C},  // D
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F},  // E
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10},  // F
};

static int scaleOf(int fontSize) { return fontSize >= 16 ? 2 : 1; }

int labelWidth(int fontSize) { return (4 * (kGlyphWidth + 1) + 1) * scaleOf(fontSize); }
int labelHeight(int fontSize) { return (kGlyphHeight + 2) * scaleOf(fontSize); }

void drawHexLabel(Image& img, int x, int y, uint16_t value, Rgba background, Rgba ink, int fontSize) {
  const int s = scaleOf(fontSize);
  img.fillRect(x, y, x + labelWidth(fontSize), y + labelHeight(fontSize), background);
  for (int d = 0; d < 4; ++d) {
    const unsigned digit = (value >> (12 - 4 * d)) & 0xF;
    const int gx = x + (1 + d * (kGlyphWidth + 1)) * s, gy = y + s;
    for (int row = 0; row < kGlyphHeight; ++row)
      for (int col = 0; col < kGlyphWidth; ++col)
        if (kGlyphs[digit][row] & (0x10 >> col)) img.fillRect(gx + col * s, gy + row * s, gx + (col + 1) * s, gy + (row + 1) * s, ink);
  }
}

FitRect fitToWindow(int viewWidth, int viewHeight) {
  const int w = viewWidth - 2, h = viewHeight - 2;
  if (w <= 0 || h <= 0) return FitRect{1, 1, 0, 0};
  int width = w, height = h;
  // Integer products stay well inside 64 bits for any window size.
  if (int64_t(w) * kPageHeight < int64_t(kPageWidth) * h) height = int(int64_t(w) * kPageHeight / kPageWidth);
  if (int64_t(kPageWidth) * h < int64_t(w) * kPageHeight) width = int(int64_t(kPageWidth) * h / kPageHeight);
  return FitRect{(w - width) / 2 + 1, (h - height) / 2 + 1, width, height};
}

PagePoint mapToPage(const FitRect& fit, int x, int y) {
  if (fit.width <= 0 || fit.height <= 0) return PagePoint{};
  return PagePoint{int(int64_t(x) * kPageWidth / fit.width), int(int64_t(y) * kPageHeight / fit.height)};
}

}  // namespace morvex::menuview

#pragma once
// Plain RGBA pictures for the page view. Every picture the menu screens show (the
// 1920 x 1080 page, the background it is restored from, the effect preview) is one
// of these; front ends wrap the bytes (R, G, B, A per pixel, rows top to bottom,
// no padding) without copying.
#include <cstdint>
#include <string>
#include <vector>

namespace morvex::menuview {

struct Rgba {
  uint8_t r = 0, g = 0, b = 0, a = 255;
  bool operator==(const Rgba&) const = default;
};

// The page picture is always this size, whatever the menu's video format.
inline constexpr int kPageWidth = 1920;
inline constexpr int kPageHeight = 1080;

class Image {
public:
  Image() = default;
  Image(int width, int height, Rgba fill = Rgba{0, 0, 0, 0});

  int width() const { return width_; }
  int height() const { return height_; }
  bool empty() const { return width_ == 0 || height_ == 0; }

  // Out-of-range reads give a transparent black pixel; out-of-range writes are dropped.
  Rgba pixel(int x, int y) const;
  void setPixel(int x, int y, Rgba c);

  const uint8_t* bytes() const { return reinterpret_cast<const uint8_t*>(pixels_.data()); }
  const std::vector<Rgba>& pixels() const { return pixels_; }
  std::vector<Rgba>& pixels() { return pixels_; }

  void fill(Rgba c);
  // Rectangles run from (x1, y1) inclusive to (x2, y2) exclusive and are clipped to
  // the picture, so callers may pass positions that stick out of the page.
  void fillRect(int x1, int y1, int x2, int y2, Rgba c);
  // Copies the rectangle from `from` (same coordinates in both pictures).
  void copyRect(const Image& from, int x1, int y1, int x2, int y2);
  // Draws `src` with its top-left corner at (x, y), mixing each pixel by its alpha
  // (255 covers, 0 leaves the destination as it was).
  void blend(const Image& src, int x, int y);
  // Same for a picture given as bare RGBA bytes (width x height x 4).
  void blendRgba(const uint8_t* rgba, int width, int height, int x, int y);
  // Same, changing only pixels inside (cx1, cy1)-(cx2, cy2) (right and bottom
  // exclusive): an effect object shows only through its window.
  void blendRgbaClipped(const uint8_t* rgba, int width, int height, int x, int y, int cx1, int cy1, int cx2, int cy2);
  // One-pixel outline of the rectangle (x1, y1)-(x2, y2), right and bottom exclusive.
  void frame(int x1, int y1, int x2, int y2, Rgba c);
  // The rectangle (x1, y1)-(x2, y2) as a new picture; parts outside read transparent.
  Image crop(int x1, int y1, int x2, int y2) const;

  bool operator==(const Image&) const = default;

private:
  int width_ = 0, height_ = 0;
  std::vector<Rgba> pixels_;
};

// One pixel of `src` mixed over `dst` (source-over; the result is opaque when the
// destination is).
Rgba blendPixel(Rgba dst, Rgba src);

}  // namespace morvex::menuview

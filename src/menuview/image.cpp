#include "menuview/image.h"

#include <algorithm>

static_assert(sizeof(morvex::menuview::Rgba) == 4, "pixels are four bytes, R G B A");

namespace morvex::menuview {

Image::Image(int width, int height, Rgba fill) {
  if (width <= 0 || height <= 0) return;
  width_ = width;
  height_ = height;
  pixels_.assign(size_t(width) * size_t(height), fill);
}

Rgba Image::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return Rgba{0, 0, 0, 0};
  return pixels_[size_t(y) * width_ + x];
}

void Image::setPixel(int x, int y, Rgba c) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  pixels_[size_t(y) * width_ + x] = c;
}

void Image::fill(Rgba c) { std::fill(pixels_.begin(), pixels_.end(), c); }

void Image::fillRect(int x1, int y1, int x2, int y2, Rgba c) {
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, width_);
  y2 = std::min(y2, height_);
  for (int y = y1; y < y2; ++y) std::fill_n(pixels_.begin() + (size_t(y) * width_ + x1), std::max(0, x2 - x1), c);
}

void Image::copyRect(const Image& from, int x1, int y1, int x2, int y2) {
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min({x2, width_, from.width_});
  y2 = std::min({y2, height_, from.height_});
  if (x2 <= x1) return;
  for (int y = y1; y < y2; ++y)
    std::copy_n(from.pixels_.begin() + (size_t(y) * from.width_ + x1), x2 - x1,
                pixels_.begin() + (size_t(y) * width_ + x1));
}

Rgba blendPixel(Rgba dst, Rgba src) {
  const unsigned a = src.a;
  if (a == 255) return src;
  if (a == 0) return dst;
  if (dst.a == 255) {
    auto mix = [a](unsigned d, unsigned s) { return uint8_t((s * a + d * (255 - a) + 127) / 255); };
    return Rgba{mix(dst.r, src.r), mix(dst.g, src.g), mix(dst.b, src.b), 255};
  }
  // General source-over for translucent destinations (built-in pictures, previews).
  const unsigned da = dst.a * (255 - a);  // destination weight, scaled by 255
  const unsigned outA255 = a * 255 + da;  // result alpha, scaled by 255
  if (outA255 == 0) return Rgba{0, 0, 0, 0};
  auto mix = [&](unsigned d, unsigned s) { return uint8_t((s * a * 255 + d * da + outA255 / 2) / outA255); };
  return Rgba{mix(dst.r, src.r), mix(dst.g, src.g), mix(dst.b, src.b), uint8_t((outA255 + 127) / 255)};
}

void Image::blend(const Image& src, int x, int y) { blendRgba(src.bytes(), src.width_, src.height_, x, y); }

void Image::blendRgba(const uint8_t* rgba, int width, int height, int x, int y) {
  blendRgbaClipped(rgba, width, height, x, y, 0, 0, width_, height_);
}

void Image::blendRgbaClipped(const uint8_t* rgba, int width, int height, int x, int y, int cx1, int cy1, int cx2,
                             int cy2) {
  if (!rgba || width <= 0 || height <= 0) return;
  cx1 = std::max(cx1, 0), cy1 = std::max(cy1, 0);
  cx2 = std::min(cx2, width_), cy2 = std::min(cy2, height_);
  if (cx2 <= cx1 || cy2 <= cy1) return;
  const Rgba* srcPixels = reinterpret_cast<const Rgba*>(rgba);
  // Source rows and columns whose destination lies inside the clip rectangle; 64-bit
  // sums keep positions near the int limits from overflowing.
  const int sx1 = int(std::max<int64_t>(0, int64_t(cx1) - x)), sy1 = int(std::max<int64_t>(0, int64_t(cy1) - y));
  const int sx2 = int(std::min<int64_t>(width, int64_t(cx2) - x)), sy2 = int(std::min<int64_t>(height, int64_t(cy2) - y));
  for (int sy = sy1; sy < sy2; ++sy) {
    const Rgba* s = srcPixels + size_t(sy) * width;
    Rgba* d = pixels_.data() + size_t(sy + y) * width_ + x;
    for (int sx = sx1; sx < sx2; ++sx) {
      const Rgba p = s[sx];
      if (p.a == 255)
        d[sx] = p;
      else if (p.a != 0)
        d[sx] = blendPixel(d[sx], p);
    }
  }
}

void Image::frame(int x1, int y1, int x2, int y2, Rgba c) {
  if (x2 <= x1 || y2 <= y1) return;
  fillRect(x1, y1, x2, y1 + 1, c);
  fillRect(x1, y2 - 1, x2, y2, c);
  fillRect(x1, y1, x1 + 1, y2, c);
  fillRect(x2 - 1, y1, x2, y2, c);
}

Image Image::crop(int x1, int y1, int x2, int y2) const {
  Image out(std::max(0, x2 - x1), std::max(0, y2 - y1));
  for (int y = 0; y < out.height_; ++y)
    for (int x = 0; x < out.width_; ++x) out.pixels_[size_t(y) * out.width_ + x] = pixel(x1 + x, y1 + y);
  return out;
}

}  // namespace morvex::menuview

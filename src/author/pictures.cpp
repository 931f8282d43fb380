#include "author/pictures.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "igs/colour.h"

namespace morvex::author {

using menuview::Image;
using menuview::Rgba;

namespace {
uint8_t mix(int a, int b, int t, int of) { return uint8_t((a * (of - t) + b * t + of / 2) / of); }
}  // namespace

// ---- Faces ----------------------------------------------------------------------

Image plateFace(const Image& coverage, int w, int h, const StateColours& c) {
  Image face(w, h, Rgba{0, 0, 0, 0});
  constexpr int r = 14;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int cx = x < r ? r - x : x >= w - r ? x - (w - r - 1) : 0;
      const int cy = y < r ? r - y : y >= h - r ? y - (h - r - 1) : 0;
      if (cx * cx + cy * cy > r * r) continue;
      const int cov = (coverage.pixel(x, y).a * 15 + 127) / 255;
      face.setPixel(x, y,
                    Rgba{mix(c.fill.r, c.text.r, cov, 15), mix(c.fill.g, c.text.g, cov, 15),
                         mix(c.fill.b, c.text.b, cov, 15), mix(c.fill.a, c.text.a, cov, 15)});
    }
  return face;
}

// ---- Palette --------------------------------------------------------------------

uint32_t Quantizer::key(Rgba c) { return uint32_t(c.r) << 24 | uint32_t(c.g) << 16 | uint32_t(c.b) << 8 | c.a; }

void Quantizer::build(const std::vector<const Image*>& pictures) {
  std::unordered_map<uint32_t, size_t> exact;
  for (const Image* p : pictures)
    for (const Rgba& c : p->pixels())
      if (c.a != 0) ++exact[key(c)];
  std::vector<std::pair<size_t, uint32_t>> ranked;
  if (exact.size() <= 255) {
    for (auto& [k, n] : exact) ranked.push_back({n, k});
  } else {
    std::unordered_map<uint32_t, size_t> coarse;
    for (auto& [k, n] : exact) coarse[k & 0xF8F8F8F8u] += n;
    for (auto& [k, n] : coarse) ranked.push_back({n, k | 0x04040404u});
  }
  std::sort(ranked.begin(), ranked.end(), [](auto& a, auto& b) { return a.first != b.first ? a.first > b.first : a.second < b.second; });
  if (ranked.size() > 255) ranked.resize(255);
  std::sort(ranked.begin(), ranked.end(), [](auto& a, auto& b) { return a.second < b.second; });
  for (auto& [n, k] : ranked) colours.push_back(Rgba{uint8_t(k >> 24), uint8_t(k >> 16), uint8_t(k >> 8), uint8_t(k)});
}

uint8_t Quantizer::entry(Rgba c) {
  if (c.a == 0) return kTransparent;
  const uint32_t k = key(c);
  if (auto it = index.find(k); it != index.end()) return it->second;
  size_t best = 0;
  long bestD = -1;
  for (size_t i = 0; i < colours.size(); ++i) {
    const Rgba& p = colours[i];
    const long d = long(p.r - c.r) * (p.r - c.r) + long(p.g - c.g) * (p.g - c.g) + long(p.b - c.b) * (p.b - c.b) +
                   2 * long(p.a - c.a) * (p.a - c.a);
    if (bestD < 0 || d < bestD) bestD = d, best = i;
  }
  index[k] = uint8_t(best);
  return uint8_t(best);
}

igs::IndexedPicture Quantizer::indexed(const Image& img) {
  igs::IndexedPicture p;
  p.width = uint16_t(img.width());
  p.height = uint16_t(img.height());
  p.pixels.reserve(size_t(p.width) * p.height);
  for (const Rgba& c : img.pixels()) p.pixels.push_back(entry(c));
  return p;
}

igs::Palette paletteOf(const std::vector<Rgba>& colours, uint16_t id, int opacityPercent) {
  igs::Palette p;
  p.id = id;
  for (size_t i = 0; i < colours.size() && i < 255; ++i) {
    const Rgba& c = colours[i];
    p.rgbt[i] = {c.r, c.g, c.b, uint8_t((c.a * opacityPercent + 50) / 100)};
    p.ycc[i] = igs::rgb2ycc(c.r, c.g, c.b, igs::ColourMatrix::Bt709);
  }
  p.rgbt[kTransparent] = {0, 0, 0, 0};
  p.ycc[kTransparent] = {16, 128, 128};
  return p;
}

// ---- Background -----------------------------------------------------------------

Image scaledToPage(const Image& src, Rgba under) {
  Image out(menuview::kPageWidth, menuview::kPageHeight, under);
  const double sx = double(src.width()) / out.width(), sy = double(src.height()) / out.height();
  Image scaled(out.width(), out.height());
  for (int y = 0; y < out.height(); ++y) {
    const double fy = std::max(0.0, (y + 0.5) * sy - 0.5);
    const int y0 = std::min(int(fy), src.height() - 1), y1 = std::min(y0 + 1, src.height() - 1);
    const double ty = fy - y0;
    for (int x = 0; x < out.width(); ++x) {
      const double fx = std::max(0.0, (x + 0.5) * sx - 0.5);
      const int x0 = std::min(int(fx), src.width() - 1), x1 = std::min(x0 + 1, src.width() - 1);
      const double tx = fx - x0;
      const Rgba a = src.pixel(x0, y0), b = src.pixel(x1, y0), c = src.pixel(x0, y1), d = src.pixel(x1, y1);
      auto lerp = [&](uint8_t Rgba::*ch) {
        const double top = a.*ch * (1 - tx) + b.*ch * tx, bottom = c.*ch * (1 - tx) + d.*ch * tx;
        return uint8_t(std::lround(top * (1 - ty) + bottom * ty));
      };
      scaled.setPixel(x, y, Rgba{lerp(&Rgba::r), lerp(&Rgba::g), lerp(&Rgba::b), lerp(&Rgba::a)});
    }
  }
  out.blend(scaled, 0, 0);
  return out;
}

bool isPng(const core::Bytes& b) {
  static const uint8_t sig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  return b.size() >= 8 && std::equal(sig, sig + 8, b.begin());
}

}  // namespace morvex::author

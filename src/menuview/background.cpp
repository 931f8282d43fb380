#include "menuview/background.h"

#include <algorithm>
#include <cmath>

#include "menuview/picture_io.h"

namespace morvex::menuview {

static Image drawBuiltIn() {
  Image pic(kPageWidth, kPageHeight, Rgba{0, 0, 0, 0});
  // Vignette: darkening toward the corners, fully transparent in the middle.
  const double cx = kPageWidth / 2.0, cy = kPageHeight / 2.0;
  for (int y = 0; y < kPageHeight; ++y)
    for (int x = 0; x < kPageWidth; ++x) {
      const double dx = (x - cx) / cx, dy = (y - cy) / cy;
      const double d = std::sqrt(dx * dx + dy * dy) / std::sqrt(2.0);
      const double t = std::clamp((d - 0.55) / 0.45, 0.0, 1.0);
      if (t > 0) pic.setPixel(x, y, Rgba{0, 0, 0, uint8_t(std::lround(t * t * 140))});
    }
  // Faint grid every 120 pixels.
  const Rgba grid{255, 255, 255, 28};
  for (int x = 120; x < kPageWidth; x += 120)
    for (int y = 0; y < kPageHeight; ++y) pic.setPixel(x, y, blendPixel(pic.pixel(x, y), grid));
  for (int y = 120; y < kPageHeight; y += 120)
    for (int x = 0; x < kPageWidth; ++x) pic.setPixel(x, y, blendPixel(pic.pixel(x, y), grid));
  // Action-safe (5 %) and title-safe (10 %) frames.
  Image frames(kPageWidth, kPageHeight, Rgba{0, 0, 0, 0});
  frames.frame(96, 54, kPageWidth - 96, kPageHeight - 54, Rgba{255, 255, 255, 70});
  frames.frame(192, 108, kPageWidth - 192, kPageHeight - 108, Rgba{255, 255, 0, 70});
  pic.blend(frames, 0, 0);
  return pic;
}

const Image& builtInBackground() {
  static const Image pic = drawBuiltIn();
  return pic;
}

Image buildBackground(const DisplayOptions& opt, std::string& error) {
  error.clear();
  Image bg(kPageWidth, kPageHeight, Rgba{opt.colBackground.r, opt.colBackground.g, opt.colBackground.b, 255});
  if (opt.background && !opt.backgroundFile.empty()) {
    Image user;
    if (loadPicture(opt.backgroundFile, user, error)) {
      bg.blend(user, 0, 0);  // bitmaps are opaque, PNGs keep their transparency
      return bg;
    }
  }
  bg.blend(builtInBackground(), 0, 0);
  return bg;
}

}  // namespace morvex::menuview

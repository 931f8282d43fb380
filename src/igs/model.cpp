#include "igs/model.h"

#include <algorithm>

namespace morvex::igs {

void Menu::clear() {
  ics = InteractiveComposition{};
  pageButtons.clear();
  objects.clear();
  palettes.clear();
  inTime = 0;
  work.clear();
  loaded = false;
}

void MenuPictures::clear() {
  cache.clear();
  workPicture = RgbaImage{};
  encoded.clear();
}

FrameRate frameRate(uint8_t code) {
  switch (code) {
    case 1: return {1001, 24000, "23.97"};
    case 2: return {1000, 24000, "24"};
    case 3: return {1000, 25000, "25"};
    case 4: return {1001, 30000, "29.97"};
    case 6: return {1000, 50000, "50"};
    case 7: return {1001, 60000, "59.94"};
    default: return {0, 0, "-"};
  }
}

const std::array<const char*, 4> kVideoFormats = {"1920x1080", "1280x720", "720x576", "720x480"};

int videoFormatIndex(uint16_t width, uint16_t height) {
  int i = -1;
  if (width == 1920) i = 0;
  if (width == 1280) i = 1;
  if (height == 576) i = 2;
  if (height == 480) i = 3;
  return i;
}

PageButtons buildPageButtons(const Page& page) {
  size_t total = 0, highest = 0;
  bool any = false;
  for (const auto& bog : page.bogs)
    for (const auto& b : bog.buttons) {
      ++total;
      highest = std::max<size_t>(highest, b.id);
      any = true;
    }
  PageButtons list(std::max(total, any ? highest + 1 : 0));
  for (auto& slot : list) slot.id = kNoButton;
  // A later button with the same id overwrites an earlier one.
  for (const auto& bog : page.bogs)
    for (const auto& b : bog.buttons) list[b.id] = b;
  return list;
}

}  // namespace morvex::igs

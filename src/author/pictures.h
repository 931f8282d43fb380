#pragma once
// The pictures of an authored menu: button faces drawn from a label's coverage, the one
// palette every face of the menu shares, and the background scaled to the page.
#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "core/binary.h"
#include "igs/model.h"
#include "menuview/image.h"

namespace morvex::author {

inline constexpr uint8_t kTransparent = 0xFF;  // palette entry of the faces' empty pixels

struct StateColours {
  menuview::Rgba fill, text;
};
// Normal: white letters on a translucent blue plate; selected: dark letters on gold;
// activated: dark letters on white.
inline constexpr std::array<StateColours, 3> kStates = {{
    {{48, 66, 108, 225}, {255, 255, 255, 255}},
    {{236, 184, 40, 255}, {16, 18, 28, 255}},
    {{255, 255, 255, 255}, {16, 18, 28, 255}},
}};

// A rounded plate (w x h) in the state's fill with the label's coverage (alpha of
// `coverage`) laid over it in the state's text colour. Coverage is taken in 16 steps,
// so that a face has few colours and the faces of a menu share one palette.
menuview::Image plateFace(const menuview::Image& coverage, int w, int h, const StateColours& c);

// Reduces pictures to one palette of at most 255 colours (entry 255 is transparent).
// Colours are counted exactly; when there are more than fit, they are counted again at
// five bits per channel and the most used are kept, every pixel taking the nearest.
struct Quantizer {
  std::vector<menuview::Rgba> colours;
  std::unordered_map<uint32_t, uint8_t> index;

  static uint32_t key(menuview::Rgba c);
  void build(const std::vector<const menuview::Image*>& pictures);
  uint8_t entry(menuview::Rgba c);
  igs::IndexedPicture indexed(const menuview::Image& img);
};

// The colours as palette `id` (BT.709 Y, Cr, Cb, the menu being high definition), each
// opacity scaled to `opacityPercent`; entry 255 transparent.
igs::Palette paletteOf(const std::vector<menuview::Rgba>& colours, uint16_t id, int opacityPercent);

// The picture scaled to the page (bilinear), drawn over the colour where it has
// transparency.
menuview::Image scaledToPage(const menuview::Image& src, menuview::Rgba under);

// True when the bytes start with the PNG signature.
bool isPng(const core::Bytes& b);

}  // namespace morvex::author

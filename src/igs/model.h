#pragma once
// The Interactive Graphics menu model.
//
// A menu is one interactive composition (video format, time-outs, pages with their
// in and out effects, button overlap groups and buttons with navigation commands),
// the palettes (Y, Cr, Cb and opacity T per entry) and the run-length coded objects
// the buttons and effects show. Object and palette lists are indexed by id: a list is
// as long as its highest id + 1 and a missing id leaves a zeroed record in its slot.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/binary.h"
#include "hdmv/command.h"

namespace morvex::igs {

// Unit and segment types of the IG stream.
inline constexpr uint8_t kSegPalette = 0x14;
inline constexpr uint8_t kSegObject = 0x15;
inline constexpr uint8_t kSegComposition = 0x18;
inline constexpr uint8_t kSegEnd = 0x80;
inline constexpr uint16_t kNoObject = 0xFFFF;
inline constexpr uint16_t kNoButton = 0xFFFF;

struct EffectWindow {
  uint8_t id = 0;
  uint16_t x = 0, y = 0, width = 0, height = 0;
  bool operator==(const EffectWindow&) const = default;
};

// flags: 2 = cropped, 1 = forced on (bits 7..6 of the stored byte).
struct CompositionObject {
  uint16_t objectId = 0;
  uint8_t windowId = 0;
  uint8_t flags = 0;
  uint16_t x = 0, y = 0;
  uint16_t cropX = 0, cropY = 0, cropWidth = 0, cropHeight = 0;
  bool cropped() const { return (flags & 2) != 0; }
  bool operator==(const CompositionObject&) const = default;
};

struct Effect {
  uint32_t duration = 0;  // 90 kHz units, 24 bits stored
  uint8_t paletteId = 0;
  uint8_t numObjects = 0;
  std::vector<CompositionObject> objects;
  bool operator==(const Effect&) const = default;
};

// An effect sequence holds at most two windows.
struct EffectSequence {
  uint8_t numWindows = 0;
  std::array<EffectWindow, 2> windows{};
  uint8_t numEffects = 0;
  std::vector<Effect> effects;
  bool operator==(const EffectSequence&) const = default;
};

struct Button {
  uint16_t id = 0;
  uint16_t numericValue = 0;
  uint8_t autoAction = 0;  // 0 or 1
  uint16_t x = 0, y = 0;
  uint16_t upper = 0, lower = 0, left = 0, right = 0;
  uint16_t normalStart = kNoObject, normalEnd = kNoObject;
  uint8_t normalRepeat = 0;
  uint8_t selectedSound = 0xFF;
  uint16_t selectedStart = kNoObject, selectedEnd = kNoObject;
  uint8_t selectedRepeat = 0;
  uint8_t activatedSound = 0xFF;
  uint16_t activatedStart = kNoObject, activatedEnd = kNoObject;
  uint16_t numCommands = 0;
  hdmv::CommandList commands;
  bool operator==(const Button&) const = default;
};

struct ButtonOverlapGroup {
  uint16_t defaultValid = kNoButton;
  uint8_t numButtons = 0;
  std::vector<Button> buttons;
  bool operator==(const ButtonOverlapGroup&) const = default;
};

struct Page {
  uint8_t id = 0;
  uint8_t version = 0;
  uint32_t uopHigh = 0, uopLow = 0;
  std::array<EffectSequence, 2> effects{};  // 0 in-effects, 1 out-effects
  uint8_t animationCode = 0;
  uint16_t defaultSelected = kNoButton;
  uint16_t defaultActivated = kNoButton;
  uint8_t paletteId = 0;
  uint8_t numBOGs = 0;
  std::vector<ButtonOverlapGroup> bogs;
  bool operator==(const Page&) const = default;
};

// A page's buttons by id; empty slots have id 0xFFFF.
using PageButtons = std::vector<Button>;

// One stored piece of a composition or an object: flags 2 = first, 1 = last; pos and
// len locate its data in the work store.
struct Fragment {
  uint8_t version = 0;
  uint8_t flags = 0;
  uint32_t pos = 0;
  uint32_t len = 0;
  bool operator==(const Fragment&) const = default;
};

struct InteractiveComposition {
  uint16_t width = 0, height = 0;
  uint8_t frameRateCode = 0;
  uint16_t compositionNumber = 0;
  uint8_t compositionState = 0;
  uint32_t dataLength = 0;
  uint8_t model = 0;  // 2 = stream model bit, 1 = user-interface model bit (pop-up)
  uint64_t compositionTimeout = 0;  // 40 bits as stored
  uint64_t selectionTimeout = 0;
  uint32_t userTimeout = 0;  // 90 kHz units, 24 bits stored
  uint8_t numPages = 0;
  std::vector<Page> pages;
  uint16_t numSegments = 0;
  std::vector<Fragment> segments;
  // With the stream-model bit clear the composition carries both time-out fields.
  bool hasTimeouts() const { return (model & 2) == 0; }
  bool operator==(const InteractiveComposition&) const = default;
};

// An 8-bit palette-indexed picture, rows top to bottom.
struct IndexedPicture {
  uint16_t width = 0, height = 0;
  std::vector<uint8_t> pixels;
  bool operator==(const IndexedPicture&) const = default;
};

// A coloured picture: 8-bit R, G, B, A per pixel, rows top to bottom.
struct RgbaImage {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;
  bool operator==(const RgbaImage&) const = default;
};

struct GraphicsObject {
  uint16_t id = 0;
  int32_t saveOrder = -1;
  uint32_t dataLength = 0;
  uint16_t width = 0, height = 0;
  uint16_t numFragments = 0;
  std::vector<Fragment> fragments;
  std::optional<IndexedPicture> picture;
  bool operator==(const GraphicsObject&) const = default;
};

struct Rgbt {
  uint8_t r = 0, g = 0, b = 0, t = 0;
  bool operator==(const Rgbt&) const = default;
};
struct Ycc {
  uint8_t y = 0, cr = 0, cb = 0;
  bool operator==(const Ycc&) const = default;
};

struct Palette {
  uint16_t id = 0;
  uint8_t version = 0;
  std::array<Ycc, 256> ycc{};
  std::array<Rgbt, 256> rgbt{};
  bool operator==(const Palette&) const = default;
};

// Coloured pictures of one object, one slot per palette id, and the object's
// run-length data decoded once when the object itself holds no decoded picture.
struct ObjectCache {
  std::vector<std::optional<RgbaImage>> byPalette;
  std::optional<IndexedPicture> decoded;
};

// The open menu: everything a load produces and the editors change.
struct Menu {
  InteractiveComposition ics;
  std::vector<PageButtons> pageButtons;  // one per page
  std::vector<GraphicsObject> objects;
  std::vector<Palette> palettes;
  uint32_t inTime = 0;              // presentation time stamp of the first unit
  // The work store: composition page data and object run-length data as read; the
  // fragments locate their bytes here.
  core::Bytes work;
  // True once a composition was read (or a menu created): the menu can be shown.
  bool loaded = false;

  size_t objectCount() const { return objects.size(); }
  size_t paletteCount() const { return palettes.size(); }
  // Empties everything (the state before a load or a new menu).
  void clear();
  // Editors keep the menu as a value with undo snapshots; two menus are equal when
  // everything a save would write from them is.
  bool operator==(const Menu&) const = default;
};

// The working state of colouring and encoding a menu's objects. It is kept beside a
// menu, not in it, so reading, showing or exporting a menu never changes the menu.
// Whoever shows a menu owns one, passes it to the edits that replace or delete
// objects and palettes, and clears it when another menu is loaded.
struct MenuPictures {
  std::vector<ObjectCache> cache;  // one per object
  // Shared working picture returned by objectPicture / objectPictureCropped.
  RgbaImage workPicture;
  // Encoder output: the last object encoded.
  core::Bytes encoded;
  void clear();
};

// Frame-rate table: duration of one video frame as num/den seconds (0/0 = none) and
// the label shown.
struct FrameRate {
  uint32_t num = 0, den = 0;
  const char* label = "-";
};
FrameRate frameRate(uint8_t code);
// "1920x1080", "1280x720", "720x576", "720x480".
extern const std::array<const char*, 4> kVideoFormats;
// Index into kVideoFormats chosen for a video size (later tests win), or -1.
int videoFormatIndex(uint16_t width, uint16_t height);

// Rebuilds a page's button-by-id list from its BOGs.
PageButtons buildPageButtons(const Page& page);

}  // namespace morvex::igs

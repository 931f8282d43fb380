#pragma once
// Texts and edits of a page's effects: the windows, effects and composition
// objects of a page's in- or out-effects, and the cropping values of one object.
// Playing and previewing are PageView::renderEffects and PageView::effectPreview.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "igs/model.h"

namespace morvex::menuview {

// Windows grid: "id", "X", "Y", "width", "height".
std::vector<std::array<std::string, 5>> effectWindowRows(const igs::EffectSequence& seq);
// Effects grid: "duration", "palette", "c.obj." after the row number.
std::vector<std::array<std::string, 4>> effectRows(const igs::EffectSequence& seq);
// Composition objects of one effect: row number, "object", "window", "X pos.", "Y pos.".
std::vector<std::array<std::string, 5>> compObjectRows(const igs::Effect& effect);

// A duration in 90 kHz units as h:mm:ss.zzz.
std::string durationText(uint32_t duration90k);

// The cropping of a composition object: whether it is cropped ("Crop") and the four values.
struct CropFields {
  bool cropped = false;  // shown, not edited here
  bool enabled = false;  // the four values can be edited
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const CropFields&) const = default;
};
CropFields cropFields(const igs::CompositionObject& obj);

enum class CropField : uint8_t { X, Y, Width, Height };
// Leaving a field stores its value in the object; negative values are ignored and the
// fields accept at most 1919. Returns true when the model changed.
bool setCropValue(igs::CompositionObject& obj, CropField field, int value);

// ---- editing the grids -----------------------------------------------------------
// Each setter takes the text typed into one field and stores it when it is accepted;
// false (and nothing changed) otherwise. Fields follow the row texts above (the id or
// row number is never edited).
enum class WindowField { Id, X, Y, Width, Height };
enum class EffectField { Number, Duration, Palette, ObjectCount };
enum class CompObjectField { Number, ObjectId, WindowId, X, Y };

// A duration typed as h:mm:ss.zzz, m:ss.zzz or s.zzz (the fraction optional, up to
// three digits) in 90 kHz units; nothing when it is not such a time or does not fit
// the 24 bits a duration is stored in (about 186 s).
std::optional<uint32_t> parseDuration(std::string_view text);
// Windows grid: X, Y, width, height in decimal. A window stays inside the video frame
// and is at least one pixel wide and high.
bool setEffectWindowCell(igs::EffectSequence& seq, unsigned window, WindowField field, std::string_view text,
                         unsigned videoWidth, unsigned videoHeight);
// Effects grid: the duration (as parseDuration reads it) and the palette id (hex,
// below the palette count).
bool setEffectCell(igs::EffectSequence& seq, unsigned effect, EffectField field, std::string_view text,
                   size_t paletteCount);
// Composition objects: the object id (hex, below the object count), the window id
// (hex, a window of the sequence), and X and Y (decimal, inside the video frame).
bool setCompObjectCell(igs::EffectSequence& seq, unsigned effect, unsigned index, CompObjectField field,
                       std::string_view text,
                       size_t objectCount, unsigned videoWidth, unsigned videoHeight);

// The composition object's window: the sequence's window at the position the
// object's window id names, or nullptr when the sequence has no such window.
const igs::EffectWindow* windowOf(const igs::EffectSequence& seq, const igs::CompositionObject& obj);

}  // namespace morvex::menuview

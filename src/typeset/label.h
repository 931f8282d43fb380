#pragma once
// Text setting for authored menus: a button's label drawn into an RGBA picture that
// the menu's button states are made from. A label is shaped (so joined scripts, marks
// and right-to-left text come out as a reader expects), fitted into its button's box
// by shrinking and then wrapping, and drawn with anti-aliased coverage as alpha.
//
// Fonts, once opened, stay open for the life of the program, one per (file, face
// index), shared by every call; the calls may come from any thread.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "menuview/image.h"

namespace morvex::typeset {

struct FontFace {
  std::filesystem::path file;  // the font file
  int index = 0;               // face index within the file
  std::string family, style;   // as fontconfig names them
  // fontconfig always answers a name with its best match, the default face when it
  // knows nothing better. True when the family matched is not the one the pattern
  // asked for, so a caller can warn ("Foo Sans" is not installed; DejaVu Sans is used).
  bool substituted = false;
};

// Finds a font on the system through fontconfig. `pattern` is a fontconfig pattern
// ("DejaVu Sans:bold", "Noto Sans CJK JP", "serif") or a path to a font file; empty means
// "sans-serif". On failure returns nullopt and sets `error` to a message for the user.
//
// A family fontconfig does not have is not a failure: the best match comes back with
// `substituted` set and `family` naming the face actually found. A path that does not
// name a readable font file, or a pattern fontconfig cannot parse, is a failure.
std::optional<FontFace> findFont(const std::string& pattern, std::string& error);

// Where each line sits across the box: centred, or against its left edge (whatever the
// script's direction).
enum class Align { Centre, Left };

struct LabelStyle {
  int pixelSize = 48;       // size tried first
  int minPixelSize = 24;    // shrinking stops here
  int maxWidth = 0;         // the box the text must fit; 0 = no limit
  int maxHeight = 0;        // 0 = no limit
  int maxLines = 2;         // wrapping is tried after shrinking on one line fails
  menuview::Rgba colour{255, 255, 255, 255};
  std::optional<menuview::Rgba> shadow;  // a drop shadow, offset below right
  int shadowOffset = 2;
  Align align = Align::Centre;
};

struct SetLabel {
  bool ok = false;
  std::string error;        // why the label does not fit (or the font cannot be loaded)
  menuview::Image image;    // maxWidth x maxHeight when both are set (text placed by align, centred vertically), else a tight box
  int pixelSize = 0;        // the size used
  int lines = 0;            // the lines used
  int missingGlyphs = 0;    // characters the font has no glyph for (drawn as its empty box)
};

// Shapes `utf8` with HarfBuzz (script, direction and language guessed per run, so Arabic,
// Hebrew, Devanagari, CJK come out shaped and ordered) and draws it with FreeType's
// anti-aliased grey rendering in `colour` (coverage becomes alpha). Fitting: one line at
// pixelSize, shrinking step by step to minPixelSize; then wrapped onto up to maxLines lines
// at spaces (anywhere between CJK characters), again from pixelSize down; then refused
// with an error naming the label, the box and the smallest size tried.
//
// Bytes that are not UTF-8 are drawn as U+FFFD. A newline is a hard line break (it
// counts against maxLines). An empty label is ok and gives a blank picture.
SetLabel setLabel(const FontFace& face, std::string_view utf8, const LabelStyle& style);

// The glyphs HarfBuzz chose for one line of text, in visual order (left to right on
// the screen), at `pixelSize`. For tests and diagnostics: a shaped line of a joined
// script has other glyphs than its code points would give one by one.
struct ShapedGlyph {
  unsigned glyphId = 0;
  unsigned cluster = 0;  // index (in code points) of the character it came from
};
std::vector<ShapedGlyph> shapeLine(const FontFace& face, std::string_view utf8, int pixelSize);

}  // namespace morvex::typeset

// Menu labels: arbitrary bytes as the text of a label, set into a small box (so the
// shrinking, wrapping and refusing all run) and on one unbounded line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "typeset/label.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace morvex::typeset;
  static const FontFace face = [] {
    std::string error;
    return findFont("DejaVu Sans", error).value_or(FontFace{});
  }();
  if (size > 4096) return 0;  // labels are short; longer inputs only slow the search
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  LabelStyle box;
  box.pixelSize = 32;
  box.minPixelSize = 12;
  box.maxWidth = 200;
  box.maxHeight = 80;
  box.maxLines = 3;
  box.shadow = morvex::menuview::Rgba{0, 0, 0, 200};
  setLabel(face, text, box);
  LabelStyle line;
  line.pixelSize = line.minPixelSize = 16;
  setLabel(face, text, line);
  shapeLine(face, text, 16);
  return 0;
}

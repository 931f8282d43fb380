// Menu reader on arbitrary bytes: framing, segments, pages; then colouring of the
// first objects, which runs the run-length decoder on whatever was read.
#include <cstddef>
#include <cstdint>
#include <span>

#include "igs/colour.h"
#include "igs/reader.h"
#include "igs/writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  morvex::core::NullLog log;
  morvex::igs::Menu menu;
  auto read = morvex::igs::readMenu(std::span<const uint8_t>(data, size), "fuzz.mnu", menu, log);
  if (read.complete() != read.problems.empty()) __builtin_trap();
  bool shown = read.usable();
  morvex::igs::MenuPictures pictures;
  for (unsigned id = 0; id < menu.objects.size() && id < 4; ++id) {
    if (size_t(menu.objects[id].width) * menu.objects[id].height > 1u << 20) continue;
    morvex::igs::objectPicture(menu, pictures, id, 0, log);
  }
  if (shown && menu.objects.size() < 8) {
    bool small = true;
    for (const auto& o : menu.objects) small = small && size_t(o.width) * o.height <= 1u << 20;
    if (small) {
      // What was read must write and read back.
      morvex::igs::settleMenu(menu, log);
      auto bytes = morvex::igs::writeMenu(menu, morvex::igs::SaveForm::MenuFile);
      morvex::igs::Menu again;
      morvex::igs::readMenu(std::span<const uint8_t>(bytes), "again.mnu", again, log);
    }
  }
  return 0;
}

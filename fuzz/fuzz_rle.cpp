// Run-length decoder on arbitrary data; the first four bytes choose the size. A
// decoded picture must encode and decode back to itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "igs/rle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  uint16_t w = uint16_t(((data[0] << 8) | data[1]) % 2048);
  uint16_t h = uint16_t(((data[2] << 8) | data[3]) % 512);
  std::span<const uint8_t> codes(data + 4, size - 4);
  morvex::igs::IndexedPicture pic = morvex::igs::decodeRuns(codes, w, h, nullptr);
  morvex::igs::IndexedPicture back = morvex::igs::decodeRuns(morvex::igs::encodeRuns(pic), w, h, nullptr);
  if (!(back == pic)) std::abort();
  return 0;
}

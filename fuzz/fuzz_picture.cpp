// Background pictures: arbitrary bytes through the bitmap and PNG decoders.
#include <cstddef>
#include <cstdint>

#include "menuview/picture_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const morvex::core::Bytes bytes(data, data + size);
  morvex::menuview::Image img;
  std::string err;
  morvex::menuview::decodeBmp(bytes, img, err);
  morvex::menuview::decodePng(bytes, img, err);
  return 0;
}

// index.bdmv reader, then the writer on whatever was read.
#include <cstddef>
#include <cstdint>

#include "nav/index.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  morvex::core::Bytes image(data, data + size);
  morvex::nav::IndexTable x;
  morvex::core::NullLog log;
  auto r = morvex::nav::readIndexTable(image, "fuzz.bdmv", x, log);
  // A result names its problems exactly when it is not complete.
  if (r.complete() != r.problems.empty()) __builtin_trap();
  if (r.usable()) (void)morvex::nav::writeIndexTable(x);
  return 0;
}

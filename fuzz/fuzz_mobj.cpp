// MovieObject.bdmv reader, then the writer on whatever was read.
#include <cstddef>
#include <cstdint>

#include "nav/movie_object.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  morvex::core::Bytes image(data, data + size);
  morvex::nav::TMOBJ m;
  morvex::core::NullLog log;
  auto r = morvex::nav::readMovieObjects(image, m, log);
  if (r.good) (void)morvex::nav::mobjBytes(m);
  return 0;
}

// Clip information reader and writer on arbitrary bytes: the read must end cleanly, and
// a model that was read completely must write and read back to the same model.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "clip/clpi.h"
#include "clip/clpi_text.h"
#include "core/log.h"

using namespace morvex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  core::Bytes image(data, data + size);
  core::NullLog log;
  clip::ClipInfo c;
  if (!clip::readClipInfo(image, "fuzz.clpi", c, log).complete()) return 0;
  (void)clip::programRows(c);
  (void)clip::stcRows(c);
  (void)clip::epMapRows(c);
  for (const auto& m : c.cpi.maps) {
    (void)clip::epCoarseRows(m);
    (void)clip::epFineRows(m);
  }
  // Values that do not fit their bit fields are not kept by a write; only in-range
  // models must come back unchanged, which is what a read produces.
  // A ClipMark longer than the file holds keeps only what was there; the bytes after
  // it would then be read as marks, so such files are not round-trip material.
  if (c.clipMarkData.size() != c.clipMarkLength) return 0;
  clip::ClipInfo w = c;
  clip::settleClipInfo(w);
  core::Bytes out = clip::writeClipInfo(w);
  clip::ClipInfo again;
  if (!clip::readClipInfo(out, "again", again, log).complete()) std::abort();
  if (!(again == w)) std::abort();
  return 0;
}

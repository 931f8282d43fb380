// BD-J object reader on arbitrary bytes, with the texts of every table.
#include <cstddef>
#include <cstdint>

#include "bdj/bdjo.h"
#include "core/log.h"

using namespace morvex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  core::Bytes image(data, data + size);
  core::NullLog log;
  bdj::BdjObject b;
  bdj::readBdjObject(image, "fuzz.bdjo", b, log);
  (void)bdj::appCacheRows(b);
  (void)bdj::playListRows(b);
  (void)bdj::applicationRows(b);
  for (const auto& a : b.applicationTable.applications) {
    (void)bdj::profileRows(a);
    (void)bdj::nameRows(a);
    (void)bdj::parameterRows(a);
  }
  return 0;
}

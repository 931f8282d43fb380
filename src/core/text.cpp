#include "core/text.h"

#include <cstdio>

namespace morvex::core {

std::string hexText(uint64_t value, int digits) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*llX", digits, static_cast<unsigned long long>(value));
  return buf;
}

}  // namespace morvex::core

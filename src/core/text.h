#pragma once
// Number texts shared by every table: upper-case hexadecimal with leading zeros.
#include <cstdint>
#include <string>

namespace morvex::core {

// Upper-case hexadecimal with at least `digits` digits (more when the value needs them).
std::string hexText(uint64_t value, int digits);

}  // namespace morvex::core

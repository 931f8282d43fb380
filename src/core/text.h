#pragma once
// Number texts shared by every table: upper-case hexadecimal with leading zeros, and
// the clock times of the disc's 45 kHz and 90 kHz time bases.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace morvex::core {

// Upper-case hexadecimal with at least `digits` digits (more when the value needs them).
std::string hexText(uint64_t value, int digits);

// A 45 kHz tick count as a clock time "h:mm:ss.zzz" within one day (25 h show as 1 h),
// to the nearest millisecond.
std::string clock45k(uint32_t ticks);
// The same for a 90 kHz time stamp.
std::string clock90k(uint32_t ticks);

// Upper-case hexadecimal of every byte, two digits each, no separator.
std::string hexBytes(std::string_view bytes);

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing
// above U+10FFFF).
bool isUtf8(std::string_view bytes);

// Each byte as the Latin-1 character of that code, encoded as UTF-8: a lossless
// rendering of text whose encoding the file does not state.
std::string latin1ToUtf8(std::string_view bytes);

// The one number parser of the front ends: decimal, or hexadecimal after "0x"/"0X"
// (or "$"), the whole text and nothing else (no sign, no blanks, no trailing
// characters), at most `max`. Empty when the text is not such a number.
std::optional<uint64_t> parseNumber(std::string_view text, uint64_t max = UINT64_MAX);

}  // namespace morvex::core

#pragma once
// Number texts shared by every table: upper-case hexadecimal with leading zeros, the
// clock times of the disc's 45 kHz and 90 kHz time bases, and the parsers that read
// numbers typed by the user.
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
// Exactly `digits` upper-case hexadecimal digits: the low ones of the value, as a
// field of that width holds it ("%02X" of value & 0xFF for two digits).
std::string hexField(uint64_t value, int digits);

// Decimal with leading zeros to at least `digits` digits ("007").
std::string decimalText(uint64_t value, int digits);

// A duration as "h:mm:ss" from whole seconds, the hours with as many digits as they need.
std::string secondsText(uint64_t seconds);

// Decimal with "," between groups of three digits: 1920000 -> "1,920,000".
std::string thousandsText(uint64_t value);

// A time as "h:mm:ss.mmm" from milliseconds, the hours with at least `hourDigits`
// digits and as many more as they need.
std::string timeText(uint64_t milliseconds, int hourDigits = 1);

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

// Bare decimal digits: 1 to `maxDigits` of them (at most 19) and nothing else; the
// cells that take a small count or number.
std::optional<uint64_t> parseDecimal(std::string_view text, size_t maxDigits);

// What parseHex does with a character that is not a hexadecimal digit.
enum class HexInput {
  // The text is 1 to `maxDigits` digits and nothing else; anything other is no number.
  Strict,
  // Other characters are passed over and the digits left are read, however many there
  // are; the value keeps the last `maxDigits` of them, as a field of that width would.
  // Never empty: a text without digits is 0. Grid cells that take what was typed.
  SkipOthers,
};

// Bare hexadecimal digits, upper or lower case, without "0x" or "$": the cells that
// show a value in hexadecimal read it back with this.
std::optional<uint64_t> parseHex(std::string_view text, size_t maxDigits, HexInput input = HexInput::Strict);

}  // namespace morvex::core

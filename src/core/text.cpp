#include "core/text.h"

#include <cstdio>

namespace morvex::core {

namespace {

// The value of one digit in base 10 or 16, or -1 when the character is none.
int digitValue(char ch, unsigned base) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (base == 16 && ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (base == 16 && ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

}  // namespace

std::string hexText(uint64_t value, int digits) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*llX", digits, static_cast<unsigned long long>(value));
  return buf;
}

static std::string clockMs(uint64_t ms) {
  ms %= 86400000ull;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%u:%02u:%02u.%03u", unsigned(ms / 3600000), unsigned(ms / 60000 % 60),
                unsigned(ms / 1000 % 60), unsigned(ms % 1000));
  return buf;
}

// Times are shown to the nearest millisecond.
std::string clock45k(uint32_t ticks) { return clockMs((uint64_t(ticks) * 1000 + 22500) / 45000); }
std::string clock90k(uint32_t ticks) { return clockMs((uint64_t(ticks) * 1000 + 45000) / 90000); }
std::string hexField(uint64_t value, int digits) {
  const uint64_t keep = digits >= 16 ? UINT64_MAX : (uint64_t(1) << (4 * digits)) - 1;
  return hexText(value & keep, digits);
}

std::string decimalText(uint64_t value, int digits) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*llu", digits, static_cast<unsigned long long>(value));
  return buf;
}

std::string secondsText(uint64_t s) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%llu:%02u:%02u", static_cast<unsigned long long>(s / 3600), unsigned(s / 60 % 60),
                unsigned(s % 60));
  return buf;
}

std::string thousandsText(uint64_t value) {
  std::string s = std::to_string(value);
  for (int i = int(s.size()) - 3; i > 0; i -= 3) s.insert(size_t(i), ",");
  return s;
}

std::string timeText(uint64_t ms, int hourDigits) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%0*llu:%02u:%02u.%03u", hourDigits, static_cast<unsigned long long>(ms / 3600000),
                unsigned(ms / 60000 % 60), unsigned(ms / 1000 % 60), unsigned(ms % 1000));
  return buf;
}

std::string hexBytes(std::string_view bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string s;
  s.reserve(2 * bytes.size());
  for (unsigned char c : bytes) {
    s.push_back(digits[c >> 4]);
    s.push_back(digits[c & 15]);
  }
  return s;
}

bool isUtf8(std::string_view bytes) {
  size_t i = 0;
  const size_t n = bytes.size();
  auto cont = [&](size_t k) { return k < n && (static_cast<unsigned char>(bytes[k]) & 0xC0) == 0x80; };
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t len;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    for (size_t k = 1; k < len; ++k) {
      if (!cont(i + k)) return false;
      cp = (cp << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += len;
  }
  return true;
}

std::string latin1ToUtf8(std::string_view bytes) {
  std::string s;
  s.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    if (c < 0x80) {
      s.push_back(static_cast<char>(c));
    } else {
      s.push_back(static_cast<char>(0xC0 | (c >> 6)));
      s.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return s;
}

std::optional<uint64_t> parseNumber(std::string_view text, uint64_t max) {
  unsigned base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  } else if (text.size() > 1 && text[0] == '$') {
    base = 16;
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  uint64_t v = 0;
  for (char ch : text) {
    const int digit = digitValue(ch, base);
    if (digit < 0) return std::nullopt;
    const auto d = unsigned(digit);
    if (d > max || v > (max - d) / base) return std::nullopt;  // v * base + d would pass max
    v = v * base + d;
  }
  return v;
}

std::optional<uint64_t> parseDecimal(std::string_view text, size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) return std::nullopt;
  uint64_t v = 0;
  for (char ch : text) {
    const int d = digitValue(ch, 10);
    if (d < 0) return std::nullopt;
    v = v * 10 + uint64_t(d);
  }
  return v;
}

std::optional<uint64_t> parseHex(std::string_view text, size_t maxDigits, HexInput input) {
  const bool strict = input == HexInput::Strict;
  if (strict && (text.empty() || text.size() > maxDigits)) return std::nullopt;
  const uint64_t keep = maxDigits >= 16 ? UINT64_MAX : (uint64_t(1) << (4 * maxDigits)) - 1;
  uint64_t v = 0;
  for (char ch : text) {
    const int d = digitValue(ch, 16);
    if (d < 0) {
      if (strict) return std::nullopt;
      continue;
    }
    v = ((v << 4) | uint64_t(d)) & keep;
  }
  return v;
}

}  // namespace morvex::core

#include "core/binary.h"

#include <algorithm>
#include <cstdint>

namespace morvex::core {

uint64_t Reader::readN(int n) {
  uint64_t v = 0;
  for (int i = 0; i < n; ++i) {
    v <<= 8;
    if (pos_ < size_) {
      v |= data_[pos_];
    } else {
      overrun_ = true;
    }
    if (pos_ != SIZE_MAX) ++pos_;
  }
  return v;
}

uint8_t Reader::readU8() { return static_cast<uint8_t>(readN(1)); }
uint16_t Reader::readU16() { return static_cast<uint16_t>(readN(2)); }
uint32_t Reader::readU24() { return static_cast<uint32_t>(readN(3)); }
uint32_t Reader::readU32() { return static_cast<uint32_t>(readN(4)); }
uint64_t Reader::readU40() { return readN(5); }

std::string Reader::readString(size_t n) {
  std::string s;
  s.reserve(std::min(n, remaining() + 1));
  bool cut = false;
  for (size_t i = 0; i < n; ++i) {
    char c = ' ';
    if (pos_ < size_) {
      c = static_cast<char>(data_[pos_]);
    } else {
      overrun_ = true;
    }
    if (pos_ != SIZE_MAX) ++pos_;
    if (c == '\0') cut = true;
    if (!cut) s.push_back(c);
  }
  return s;
}

Bytes Reader::readBytes(size_t n) {
  size_t avail = remaining();
  size_t take = std::min(n, avail);
  Bytes out;
  if (take) out.assign(data_ + pos_, data_ + pos_ + take);
  if (take < n) overrun_ = true;
  pos_ = (n > SIZE_MAX - pos_) ? SIZE_MAX : pos_ + n;
  return out;
}

Bytes Reader::rest() {
  Bytes out;
  if (pos_ < size_) out.assign(data_ + pos_, data_ + size_);
  pos_ = std::max(pos_, size_);
  return out;
}

void Reader::skip(size_t n) {
  if (n > remaining()) overrun_ = true;
  pos_ = (n > SIZE_MAX - pos_) ? SIZE_MAX : pos_ + n;
}

void Reader::seek(size_t p) {
  if (p > size_) overrun_ = true;
  pos_ = p;
}

void ByteWriter::ensure(size_t end) {
  if (buf_.size() < end) buf_.resize(end, 0);
}

void ByteWriter::putN(uint64_t v, size_t offset, int n) {
  ensure(offset + n);
  for (int i = n - 1; i >= 0; --i) {
    buf_[offset + i] = static_cast<uint8_t>(v & 0xFF);
    v >>= 8;
  }
}

void ByteWriter::addU8(uint32_t v) { putN(v, buf_.size(), 1); }
void ByteWriter::addU16(uint32_t v) { putN(v, buf_.size(), 2); }
void ByteWriter::addU24(uint32_t v) { putN(v, buf_.size(), 3); }
void ByteWriter::addU32(uint32_t v) { putN(v, buf_.size(), 4); }
void ByteWriter::addU40(uint64_t v) { putN(v, buf_.size(), 5); }
void ByteWriter::addString(std::string_view text, size_t width) { putString(text, buf_.size(), width); }
void ByteWriter::addBytes(std::span<const uint8_t> bytes) { buf_.insert(buf_.end(), bytes.begin(), bytes.end()); }
void ByteWriter::addZeros(size_t n) { buf_.resize(buf_.size() + n, 0); }

void ByteWriter::putU8(uint32_t v, size_t offset) { putN(v, offset, 1); }
void ByteWriter::putU16(uint32_t v, size_t offset) { putN(v, offset, 2); }
void ByteWriter::putU24(uint32_t v, size_t offset) { putN(v, offset, 3); }
void ByteWriter::putU32(uint32_t v, size_t offset) { putN(v, offset, 4); }
void ByteWriter::putU40(uint64_t v, size_t offset) { putN(v, offset, 5); }

void ByteWriter::putString(std::string_view text, size_t offset, size_t width) {
  ensure(offset + width);
  std::fill(buf_.begin() + offset, buf_.begin() + offset + width, 0);
  size_t n = std::min(width, text.size());
  for (size_t i = 0; i < n; ++i) buf_[offset + i] = static_cast<uint8_t>(text[i]);
}

}  // namespace morvex::core

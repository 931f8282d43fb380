#pragma once
// Big-endian field access over in-memory file images.
//
// Every integer in a disc file is big-endian: the most significant byte comes first.
// A reader works on a whole file image held in memory and tracks its position; a read
// past the end yields 0 for each missing byte (spaces for text) and marks the reader
// as overrun, so a caller can stop cleanly and keep what it has read so far.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace morvex::core {

using Bytes = std::vector<uint8_t>;

class Reader {
public:
  Reader() = default;
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit Reader(std::span<const uint8_t> bytes) : data_(bytes.data()), size_(bytes.size()) {}
  explicit Reader(const Bytes& bytes) : data_(bytes.data()), size_(bytes.size()) {}

  uint8_t readU8();
  uint16_t readU16();
  uint32_t readU24();
  uint32_t readU32();
  uint64_t readU40();
  // n single-byte characters, cut before the first NUL; missing bytes past the end
  // of the image count as spaces.
  std::string readString(size_t n);
  // n raw bytes (fewer when the image ends first; the reader is then overrun).
  Bytes readBytes(size_t n);
  // Every byte from the position to the end.
  Bytes rest();
  void skip(size_t n);

  size_t pos() const { return pos_; }
  // Moves the position; a position past the end marks the reader overrun.
  void seek(size_t p);
  size_t size() const { return size_; }
  size_t remaining() const { return pos_ < size_ ? size_ - pos_ : 0; }
  bool atEnd() const { return pos_ >= size_; }
  // True once any read or seek went past the end of the image.
  bool overrun() const { return overrun_; }
  // True when at least n more bytes can be read.
  bool has(size_t n) const { return remaining() >= n; }
  const uint8_t* data() const { return data_; }

private:
  uint64_t readN(int n);
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t pos_ = 0;
  bool overrun_ = false;
};

// Output image of a file being written. The put helpers write at a fixed offset and
// the add helpers append at the end; both grow the image on demand, zero-filling.
class ByteWriter {
public:
  ByteWriter() = default;

  void addU8(uint32_t v);
  void addU16(uint32_t v);
  void addU24(uint32_t v);
  void addU32(uint32_t v);
  void addU40(uint64_t v);
  // Exactly `width` bytes: the first min(width, text length) characters, then zeros.
  void addString(std::string_view text, size_t width);
  void addBytes(std::span<const uint8_t> bytes);
  void addZeros(size_t n);

  void putU8(uint32_t v, size_t offset);
  void putU16(uint32_t v, size_t offset);
  void putU24(uint32_t v, size_t offset);
  void putU32(uint32_t v, size_t offset);
  void putU40(uint64_t v, size_t offset);
  void putString(std::string_view text, size_t offset, size_t width);

  // Current length of the image (the append position).
  size_t length() const { return buf_.size(); }
  const Bytes& bytes() const { return buf_; }
  Bytes take() { return std::move(buf_); }

private:
  void ensure(size_t end);
  void putN(uint64_t v, size_t offset, int n);
  Bytes buf_;
};

// Stand-alone big-endian helpers for code that works on raw buffers.
inline uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline uint32_t be24(const uint8_t* p) { return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2]; }
inline uint32_t be32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

}  // namespace morvex::core

#include "igs/rle.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace morvex::igs {

namespace {

// Largest picture the decoder creates (pixels). Real objects never exceed the video
// size; a corrupted header asking for more gets an empty picture instead of an
// allocation of gigabytes.
constexpr size_t kMaxPixels = size_t(4096) * 4096;

struct Decoder {
  IndexedPicture& pic;
  uint32_t x = 0, line = 0;

  // Writes n pixels of index k; n = 0 means the rest of the line.
  void put(uint32_t n, uint8_t k) {
    bool toEnd = n == 0;
    if (toEnd) n = x < pic.width ? pic.width - x : 0;
    if (line < pic.height && x < pic.width) {
      uint32_t m = std::min<uint32_t>(n, pic.width - x);
      std::memset(pic.pixels.data() + size_t(line) * pic.width + x, k, m);
    }
    x += n;
    if (toEnd || x > pic.width) {
      x = 0;
      ++line;
    }
  }
};

}  // namespace

IndexedPicture decodeRuns(std::span<const uint8_t> data, uint16_t width, uint16_t height, core::Log* log) {
  IndexedPicture pic;
  if (size_t(width) * height > kMaxPixels) {
    if (log) log->info("[re]Object of " + std::to_string(width) + "x" + std::to_string(height) + " is too large to decode[/re]");
    return pic;
  }
  pic.width = width;
  pic.height = height;
  pic.pixels.assign(size_t(width) * height, 0);
  Decoder d{pic};
  const size_t n = data.size();
  size_t i = 0;
  // Look-ahead past the last byte reads zeros.
  auto next = [&]() -> uint8_t { return i < n ? data[i++] : (++i, 0); };
  while (i < n) {
    uint8_t b = next();
    if (b != 0) {
      d.put(1, b);
      continue;
    }
    uint8_t f = next();
    uint32_t len = f & 0x3F;
    if (f & 0x40) len = (len << 8) | next();
    if (!(f & 0xC0) && len == 0) {
      if (d.x < width && log) log->info(std::to_string(d.x) + "," + std::to_string(d.line));
      d.x = 0;
      ++d.line;
      continue;
    }
    uint8_t k = (f & 0x80) ? next() : 0;
    d.put(len, k);
  }
  return pic;
}

namespace {

void putRun(core::Bytes& out, uint8_t k, uint32_t len) {
  if (k != 0 && len == 1) {
    out.push_back(k);
    return;
  }
  if (k != 0 && len == 2) {
    out.push_back(k);
    out.push_back(k);
    return;
  }
  out.push_back(0);
  uint8_t flag = k != 0 ? 0x80 : 0;
  if (len > 63) {
    out.push_back(uint8_t(flag | 0x40 | (len >> 8)));
    out.push_back(uint8_t(len & 0xFF));
  } else {
    out.push_back(uint8_t(flag | len));
  }
  if (k != 0) out.push_back(k);
}

}  // namespace

core::Bytes encodeRuns(const IndexedPicture& pic) {
  core::Bytes out;
  out.reserve(size_t(pic.width) * pic.height / 4 + 2 * size_t(pic.height) + 16);
  const uint8_t* p = pic.pixels.data();
  const bool whole = pic.pixels.size() >= size_t(pic.width) * pic.height;
  for (size_t row = 0; whole && row < pic.height; ++row) {
    const uint8_t* r = p + row * pic.width;
    size_t x = 0;
    while (x < pic.width) {
      uint8_t k = r[x];
      size_t e = x + 1;
      while (e < pic.width && r[e] == k) ++e;
      size_t run = e - x;
      while (run > 0) {
        uint32_t piece = uint32_t(std::min<size_t>(run, 16383));
        putRun(out, k, piece);
        run -= piece;
      }
      x = e;
    }
    out.push_back(0);
    out.push_back(0);
  }
  return out;
}

IndexedPicture decodeObject(const Menu& menu, unsigned objectId, core::Log& log) {
  if (objectId >= menu.objects.size()) return {};
  const GraphicsObject& o = menu.objects[objectId];
  core::Bytes data;
  for (const auto& f : o.fragments) {
    if (size_t(f.pos) + f.len > menu.work.size()) continue;
    data.insert(data.end(), menu.work.begin() + f.pos, menu.work.begin() + f.pos + f.len);
  }
  return decodeRuns(data, o.width, o.height, &log);
}

void rle_decode(Menu& menu, unsigned objectId, core::Log& log) {
  if (objectId >= menu.objects.size()) return;
  menu.objects[objectId].picture = decodeObject(menu, objectId, log);
}

size_t rle_encode(const Menu& menu, MenuPictures& pictures, unsigned objectId) {
  pictures.encoded.clear();
  if (objectId >= menu.objects.size()) return 0;
  const GraphicsObject& o = menu.objects[objectId];
  if (o.picture) pictures.encoded = encodeRuns(*o.picture);
  return pictures.encoded.size();
}

}  // namespace morvex::igs

#include "menuview/picture_io.h"

#include <png.h>

#include <algorithm>
#include <cstring>

#include "core/save.h"

namespace morvex::menuview {

namespace {
// The video frame: pictures up to it are always accepted.
constexpr uint32_t kFrameWidth = 1920, kFrameHeight = 1080;
// The most a larger picture's pixels may take (RGBA): 8192x4096, or 5792x5792.
constexpr uint64_t kMaxPictureBytes = uint64_t(128) << 20;
}  // namespace

bool decodePng(const core::Bytes& data, Image& out, std::string& error) {
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&img, data.data(), data.size())) {
    error = img.message;
    return false;
  }
  img.format = PNG_FORMAT_RGBA;
  // The decoded size is known from the header, before anything is allocated. A
  // picture up to the video frame (1920x1080) is always taken, however well it
  // compresses (a flat picture of a few kilobytes decodes to megabytes). A larger one is
  // bounded by the memory its pixels would take, not by its file's size.
  const uint64_t need = uint64_t(img.width) * img.height * 4;
  const bool frameSized = img.width <= kFrameWidth && img.height <= kFrameHeight;
  if (img.width == 0 || img.height == 0) {
    png_image_free(&img);
    error = "unsupported picture size " + std::to_string(img.width) + "x" + std::to_string(img.height);
    return false;
  }
  if (!frameSized && need > kMaxPictureBytes) {
    png_image_free(&img);
    error = "picture of " + std::to_string(img.width) + "x" + std::to_string(img.height) + " would take " +
            std::to_string(need >> 20) + " MiB, more than the " + std::to_string(kMaxPictureBytes >> 20) +
            " MiB a picture may take";
    return false;
  }
  Image pic(int(img.width), int(img.height));
  if (!png_image_finish_read(&img, nullptr, pic.pixels().data(), 0, nullptr)) {
    error = img.message;
    png_image_free(&img);
    return false;
  }
  out = std::move(pic);
  return true;
}

bool encodePng(const Image& pic, core::Bytes& out, std::string& error) {
  if (pic.empty()) {
    error = "empty picture";
    return false;
  }
  const bool opaque = std::all_of(pic.pixels().begin(), pic.pixels().end(), [](Rgba p) { return p.a == 255; });
  std::vector<uint8_t> rgb;
  const void* src = pic.bytes();
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  img.width = png_uint_32(pic.width());
  img.height = png_uint_32(pic.height());
  img.format = PNG_FORMAT_RGBA;
  if (opaque) {
    rgb.resize(pic.pixels().size() * 3);
    size_t i = 0;
    for (Rgba p : pic.pixels()) {
      rgb[i++] = p.r;
      rgb[i++] = p.g;
      rgb[i++] = p.b;
    }
    src = rgb.data();
    img.format = PNG_FORMAT_RGB;
  }
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&img, nullptr, &size, 0, src, 0, nullptr)) {
    error = img.message;
    return false;
  }
  out.resize(size);
  if (!png_image_write_to_memory(&img, out.data(), &size, 0, src, 0, nullptr)) {
    error = img.message;
    return false;
  }
  out.resize(size);
  return true;
}

bool decodeBmp(const core::Bytes& data, Image& out, std::string& error) {
  auto le16 = [&](size_t o) -> uint32_t { return o + 2 <= data.size() ? data[o] | (data[o + 1] << 8) : 0; };
  auto le32 = [&](size_t o) -> uint32_t { return o + 4 <= data.size() ? le16(o) | (le16(o + 2) << 16) : 0; };
  if (data.size() < 26 || data[0] != 'B' || data[1] != 'M') {
    error = "not a bitmap file";
    return false;
  }
  const uint32_t pixelOffset = le32(10);
  const uint32_t headerSize = le32(14);
  int32_t width, height;
  uint32_t bpp, compression = 0, colours = 0;
  if (headerSize == 12) {  // OS/2 core header
    width = int32_t(le16(18));
    height = int16_t(le16(20));
    bpp = le16(24);
  } else if (headerSize >= 40 && data.size() >= 54) {
    width = int32_t(le32(18));
    height = int32_t(le32(22));
    bpp = le16(28);
    compression = le32(30);
    colours = le32(46);
  } else {
    error = "unsupported bitmap header";
    return false;
  }
  const bool topDown = height < 0;
  const int64_t h = topDown ? -int64_t(height) : height;
  if (width <= 0 || h <= 0 || width > 16384 || h > 16384) {
    error = "unsupported bitmap size";
    return false;
  }
  // Bit fields (3) are accepted for 32-bit pictures in the usual B, G, R, A order.
  if (!(compression == 0 || (compression == 3 && bpp == 32)) ||
      !(bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24 || bpp == 32)) {
    error = "unsupported bitmap format (compressed or " + std::to_string(bpp) + " bits per pixel)";
    return false;
  }
  std::vector<Rgba> table;
  if (bpp <= 8) {
    const uint32_t n = colours ? std::min<uint32_t>(colours, 1u << bpp) : (1u << bpp);
    const size_t entry = headerSize == 12 ? 3 : 4;
    const size_t at = 14 + headerSize;
    for (uint32_t i = 0; i < n; ++i) {
      const size_t o = at + i * entry;
      if (o + 3 > data.size()) break;
      table.push_back(Rgba{data[o + 2], data[o + 1], data[o], 255});
    }
  }
  const size_t stride = ((size_t(width) * bpp + 31) / 32) * 4;
  if (pixelOffset > data.size() || (data.size() - pixelOffset) / stride < size_t(h)) {
    error = "bitmap file is truncated";
    return false;
  }
  Image pic(width, int(h));
  for (int64_t row = 0; row < h; ++row) {
    const uint8_t* line = data.data() + pixelOffset + size_t(row) * stride;
    const int y = int(topDown ? row : h - 1 - row);
    for (int x = 0; x < width; ++x) {
      Rgba c;
      if (bpp == 24) {
        c = Rgba{line[x * 3 + 2], line[x * 3 + 1], line[x * 3], 255};
      } else if (bpp == 32) {
        c = Rgba{line[x * 4 + 2], line[x * 4 + 1], line[x * 4], 255};
      } else {
        const size_t bit = size_t(x) * bpp;
        const unsigned idx = (line[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
        c = idx < table.size() ? table[idx] : Rgba{0, 0, 0, 255};
      }
      pic.setPixel(x, y, c);
    }
  }
  out = std::move(pic);
  return true;
}

bool loadPicture(const std::filesystem::path& file, Image& out, std::string& error) {
  core::Bytes data;
  if (!core::readWholeFile(file, data, error)) return false;
  std::string ext = file.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char ch) { return char(std::toupper(ch)); });
  return ext == ".PNG" ? decodePng(data, out, error) : decodeBmp(data, out, error);
}

core::WriteResult savePng(const Image& img, const std::filesystem::path& file) {
  core::Bytes data;
  std::string error;
  if (!encodePng(img, data, error) || !core::writeFileAtomic(file, data, error))
    return core::WriteResult::failure(file, error);
  return core::WriteResult::written(file, data.size());
}

}  // namespace morvex::menuview

#pragma once
// Reading and writing pictures: PNG through libpng (with its transparency) and
// Windows bitmaps (BMP) for user background pictures, PNG for composed pages.
#include <filesystem>
#include <string>

#include "core/binary.h"
#include "core/write_result.h"
#include "menuview/image.h"

namespace morvex::menuview {

// Decodes a PNG image in memory. On failure returns false and leaves libpng's
// message in `error`.
bool decodePng(const core::Bytes& data, Image& out, std::string& error);
// Encodes a picture as an 8-bit RGBA PNG (RGB when every pixel is opaque).
bool encodePng(const Image& img, core::Bytes& out, std::string& error);

// Decodes an uncompressed Windows bitmap: 1, 4, 8 bits with a colour table, 24 and 32
// bits, bottom-up or top-down rows. Bitmaps carry no transparency: every pixel is opaque.
bool decodeBmp(const core::Bytes& data, Image& out, std::string& error);

// Reads a picture file: PNG when its name ends in .png (any case), else a bitmap.
bool loadPicture(const std::filesystem::path& file, Image& out, std::string& error);

// Writes a picture as PNG, replacing the file atomically; a failure carries the
// encoder's or the system's message.
core::WriteResult savePng(const Image& img, const std::filesystem::path& file);

}  // namespace morvex::menuview

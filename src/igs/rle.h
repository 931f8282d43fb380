#pragma once
// Run-length coding of IG objects (8-bit palette indices).
//
// Codes are whole bytes:
//   K (K != 0)                   one pixel of index K
//   00 00                        end of line
//   00 00LLLLLL                  L (1..63) pixels of index 0
//   00 01LLLLLL LLLLLLLL         L pixels of index 0, 14-bit length
//   00 10LLLLLL K                L pixels of index K
//   00 11LLLLLL LLLLLLLL K       L pixels of index K, 14-bit length
#include <span>

#include "core/binary.h"
#include "core/log.h"
#include "igs/model.h"

namespace morvex::igs {

// The byte-level codec: run-length data to a picture and back. rle_decode and
// rle_encode below apply it to a menu's objects.
//
// Decodes run-length data into a width x height picture. Lines that end early are
// reported in the log as "x,line" and keep index 0 in the rest of the line; runs
// past the right edge or below the last row are discarded; data ending inside a
// code reads the missing bytes as zeros.
IndexedPicture decodeRuns(std::span<const uint8_t> data, uint16_t width, uint16_t height, core::Log* log);
// Encodes a picture. Runs longer than the 14-bit limit (16383) are written as
// several codes of at most 16383 pixels, each coded as a run of its own length.
core::Bytes encodeRuns(const IndexedPicture& pic);

// Object `objectId` of the menu decoded from its fragments in the work store (in
// fragment order); an empty picture for an id the menu does not have.
IndexedPicture decodeObject(const Menu& menu, unsigned objectId, core::Log& log);
// Decodes object `objectId` into its decoded picture.
void rle_decode(Menu& menu, unsigned objectId, core::Log& log);
// Encodes the object's decoded picture into pictures.encoded; returns its length.
size_t rle_encode(const Menu& menu, MenuPictures& pictures, unsigned objectId);

}  // namespace morvex::igs

#pragma once
// The ExtensionData() block that index.bdmv, MovieObject.bdmv, playlists, clip
// information and sound.bdmv may end with. Morvex does not interpret extension data:
// it keeps the block whole and writes it back unchanged (reserved bytes become 0).
//
// Layout (big-endian), offsets from the first byte of the block:
//   0  length (bytes after this field; 0 = no block)
//   4  data block start address
//   8  reserved 16 bits, 10 reserved 8 bits
//  11  number of entries n
//  12  n entries of 12 bytes: ID1 (2), ID2 (2), start address (4), length (4)
//  12+12n .. end of file: data bytes, kept as read (including any padding)
#include <cstdint>
#include <string>
#include <vector>

#include "core/binary.h"
#include "core/read_result.h"

namespace morvex::core {

struct ExtensionDataEntry {
  uint16_t id1 = 0;
  uint16_t id2 = 0;
  uint32_t startAddress = 0;
  uint32_t length = 0;
  bool operator==(const ExtensionDataEntry&) const = default;
};

struct ExtensionData {
  uint32_t length = 0;
  uint32_t dataBlockStartAddress = 0;
  std::vector<ExtensionDataEntry> entries;
  Bytes data;
  bool empty() const { return length == 0 && entries.empty() && data.empty(); }
  bool operator==(const ExtensionData&) const = default;
};

// Reads a block from the reader's position. The data bytes are everything from the
// end of the entry table to the end of the image. Entries the image cannot hold are
// not read (the reader is then overrun).
void readExtensionData(Reader& r, ExtensionData& target);

// Checks the layout fields of a block that was read at `readAt` against what was read:
// its stored start address (`storedStart`) and its entries (each inside the block its
// length declares). Every disagreement makes `res` partial, naming the field.
void checkExtensionDataLayout(const ExtensionData& block, uint64_t storedStart, uint64_t readAt,
                              const std::string& fileName, ReadResult& res);

// Writes a block: a single zero word when length is 0, else the 12-byte head, the
// entry table and the data bytes.
void writeExtensionData(ByteWriter& w, const ExtensionData& block);

// Writes the full 12-byte head even for length 0 (the index and movie-object files
// do this whenever their ExtensionData start address is not 0).
void writeExtensionDataFullHead(ByteWriter& w, const ExtensionData& block);

// Where the data of an entry lies in `block.data`: its start address counts from the
// block's length field, the data bytes from the end of the entry table. Returns -1
// when the entry's bytes are not all inside the data.
int64_t entryDataOffset(const ExtensionData& block, const ExtensionDataEntry& entry);
// True when the block that starts at `blockStart` declares more bytes than a file of
// `fileSize` bytes holds after that point (the data bytes were cut short).
bool extensionDataCutShort(const ExtensionData& block, uint64_t blockStart, uint64_t fileSize);
// The first entry with these two IDs, or nullptr.
const ExtensionDataEntry* findEntry(const ExtensionData& block, uint16_t id1, uint16_t id2);

// One-line summary: "no ExtensionData()", "1 entry, N bytes", "K entries, N bytes".
std::string extensionDataCaption(const ExtensionData& block);

}  // namespace morvex::core

#pragma once
// Texts of the ExtensionData editor: the summary line, the entry rows and the hex
// dump of one entry (32 bytes a line: address, hexadecimal bytes, characters).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/extension_data.h"

namespace morvex::app {

// "<length + 4> bytes, <n> entry"/"entries", or "None" for an empty block.
std::string extDataSummary(const core::ExtensionData& block);
// Number (3 digits), ID1, ID2 (4 hex digits), start, length (8 hex digits).
std::array<std::string, 5> extDataEntryRow(const core::ExtensionData& block, size_t i);

// One dump line in its three coloured parts; address + hex + chars is the line.
struct DumpLine {
  std::string address;  // " " + address in at least 4 upper-case hex digits
  std::string hex;      // 32 x (" " + 2 hex digits, or 3 spaces past the end)
  std::string chars;    // " " + the present bytes as characters (below 0x20: ".")
  std::string text() const { return address + hex + chars; }
};
// The dump of entry i. Bytes outside the data block are not shown.
std::vector<DumpLine> extDataDump(const core::ExtensionData& block, size_t i);

// The value typed into the "ID1" column: every hexadecimal digit in order, anything
// else skipped, modulo 65536.
uint16_t parseId1(const std::string& text);

}  // namespace morvex::app

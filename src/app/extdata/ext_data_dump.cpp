#include "app/extdata/ext_data_dump.h"
#include "core/text.h"

#include <algorithm>
#include <cstdio>

namespace morvex::app {

namespace {
std::string hexText(uint32_t v, int digits) {
  return core::hexText(v, digits);
}
}  // namespace

std::string extDataSummary(const core::ExtensionData& block) {
  if (block.length == 0) return "None";
  const size_t n = block.entries.size();
  return std::to_string(uint64_t(block.length) + 4) + " bytes, " + std::to_string(n) + " entr" + (n < 2 ? "y" : "ies");
}

std::array<std::string, 5> extDataEntryRow(const core::ExtensionData& block, size_t i) {
  const core::ExtensionDataEntry& e = block.entries.at(i);
  char num[8];
  std::snprintf(num, sizeof num, "%03zu", i);
  return {num, hexText(e.id1, 4), hexText(e.id2, 4), hexText(e.startAddress, 8), hexText(e.length, 8)};
}

std::vector<DumpLine> extDataDump(const core::ExtensionData& block, size_t i) {
  std::vector<DumpLine> out;
  if (i >= block.entries.size()) return out;
  const core::ExtensionDataEntry& e = block.entries[i];
  // Position of the entry's first byte within the data bytes (which start at the
  // data block start address).
  const int64_t d = int64_t(e.startAddress) - int64_t(block.dataBlockStartAddress);
  // Only the entry's bytes that the data holds are dumped: an entry length or start
  // address pointing far past the data (a damaged file) must not produce millions of
  // empty lines. [lo, hi) are the present offsets within the entry.
  const int64_t lo = std::max<int64_t>(0, -d);
  const int64_t hi = std::min<int64_t>(int64_t(e.length), int64_t(block.data.size()) - d);
  const uint64_t firstLine = hi > lo ? uint64_t(lo) / 32 : 0;
  const uint64_t endLine = hi > lo ? (uint64_t(hi) - 1) / 32 + 1 : 1;
  for (uint64_t k = firstLine; k < endLine; ++k) {
    DumpLine line;
    line.address = " " + hexText(uint32_t(e.startAddress + 32 * k), 4);
    std::string chars;
    for (uint32_t pos = 0; pos < 32; ++pos) {
      const int64_t off = int64_t(32 * k + pos);
      if (off >= lo && off < hi) {
        const uint8_t b = block.data[size_t(d + off)];
        line.hex += " " + hexText(b, 2);
        chars += b < 0x20 ? '.' : char(b);
      } else {
        line.hex += "   ";
      }
    }
    line.chars = " " + chars;
    out.push_back(std::move(line));
  }
  return out;
}

uint16_t parseId1(const std::string& text) {
  uint32_t v = 0;
  for (char c : text) {
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    if (d >= 0) v = ((v << 4) | uint32_t(d)) & 0xFFFF;
  }
  return uint16_t(v);
}

}  // namespace morvex::app

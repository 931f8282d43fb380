#include "core/extension_data.h"

namespace morvex::core {

void readExtensionData(Reader& r, ExtensionData& target) {
  target = ExtensionData{};
  target.length = r.readU32();
  if (target.length == 0) return;
  target.dataBlockStartAddress = r.readU32();
  r.readU16();
  r.readU8();
  unsigned n = r.readU8();
  for (unsigned i = 0; i < n && r.has(12); ++i) {
    ExtensionDataEntry e;
    e.id1 = r.readU16();
    e.id2 = r.readU16();
    e.startAddress = r.readU32();
    e.length = r.readU32();
    target.entries.push_back(e);
  }
  if (target.entries.size() < n) r.skip(12);  // marks the reader overrun
  target.data = r.rest();
}

void checkExtensionDataLayout(const ExtensionData& b, uint64_t storedStart, uint64_t readAt,
                              const std::string& fileName, ReadResult& res) {
  if (storedStart != readAt) res.addLayoutMismatch(fileName, "ExtensionData start address", storedStart, readAt);
  if (b.length == 0) return;
  for (size_t i = 0; i < b.entries.size(); ++i) {
    const auto& e = b.entries[i];
    if (uint64_t(e.startAddress) + e.length > 4 + uint64_t(b.length))
      res.addLayoutMismatch(fileName, "ExtensionData entry " + std::to_string(i) + " end (start address + length)",
                            uint64_t(e.startAddress) + e.length, 4 + uint64_t(b.length));
  }
}

static void writeBody(ByteWriter& w, const ExtensionData& b) {
  w.addU32(b.dataBlockStartAddress);
  w.addU16(0);
  w.addU8(0);
  w.addU8(static_cast<uint32_t>(b.entries.size() & 0xFF));
  for (const auto& e : b.entries) {
    w.addU16(e.id1);
    w.addU16(e.id2);
    w.addU32(e.startAddress);
    w.addU32(e.length);
  }
  w.addBytes(b.data);
}

void writeExtensionData(ByteWriter& w, const ExtensionData& block) {
  w.addU32(block.length);
  if (block.length == 0) return;
  writeBody(w, block);
}

void writeExtensionDataFullHead(ByteWriter& w, const ExtensionData& block) {
  w.addU32(block.length);
  writeBody(w, block);
}

int64_t entryDataOffset(const ExtensionData& block, const ExtensionDataEntry& entry) {
  const uint64_t tableEnd = 12 + 12 * uint64_t(block.entries.size());
  if (entry.startAddress < tableEnd) return -1;
  const uint64_t at = entry.startAddress - tableEnd;
  if (at + entry.length > block.data.size()) return -1;
  return static_cast<int64_t>(at);
}

bool extensionDataCutShort(const ExtensionData& block, uint64_t blockStart, uint64_t fileSize) {
  return block.length != 0 && blockStart + 4 + uint64_t(block.length) > fileSize;
}

const ExtensionDataEntry* findEntry(const ExtensionData& block, uint16_t id1, uint16_t id2) {
  for (const auto& e : block.entries)
    if (e.id1 == id1 && e.id2 == id2) return &e;
  return nullptr;
}

std::string extensionDataCaption(const ExtensionData& block) {
  if (block.entries.empty()) return "no ExtensionData()";
  std::string s = std::to_string(block.entries.size());
  s += block.entries.size() == 1 ? " entry, " : " entries, ";
  s += std::to_string(uint64_t(block.length) + 4);
  s += " bytes";
  return s;
}

}  // namespace morvex::core

#include "core/extension_data.h"

namespace morvex::core {

void ReadExtensionData(Reader& r, TExtensionData& target) {
  target = TExtensionData{};
  target.length = r.readlong();
  if (target.length == 0) return;
  target.dataBlockStartAddress = r.readlong();
  r.readword();
  r.readbyte();
  unsigned n = r.readbyte();
  for (unsigned i = 0; i < n && r.has(12); ++i) {
    TExtDataEntry e;
    e.ID1 = r.readword();
    e.ID2 = r.readword();
    e.startAddress = r.readlong();
    e.length = r.readlong();
    target.entries.push_back(e);
  }
  if (target.entries.size() < n) r.skip(12);  // marks the reader overrun
  target.data = r.rest();
}

static void writeBody(ByteWriter& w, const TExtensionData& b) {
  w.addlong(b.dataBlockStartAddress);
  w.addword(0);
  w.addbyte(0);
  w.addbyte(static_cast<uint32_t>(b.entries.size() & 0xFF));
  for (const auto& e : b.entries) {
    w.addword(e.ID1);
    w.addword(e.ID2);
    w.addlong(e.startAddress);
    w.addlong(e.length);
  }
  w.addbytes(b.data);
}

void WriteExtensionData(ByteWriter& w, const TExtensionData& block) {
  w.addlong(block.length);
  if (block.length == 0) return;
  writeBody(w, block);
}

void WriteExtensionDataFullHead(ByteWriter& w, const TExtensionData& block) {
  w.addlong(block.length);
  writeBody(w, block);
}

std::string ExtDatCap(const TExtensionData& block) {
  if (block.entries.empty()) return "no ExtensionData()";
  std::string s = std::to_string(block.entries.size());
  s += block.entries.size() == 1 ? " entry, " : " entries, ";
  s += std::to_string(uint64_t(block.length) + 4);
  s += " bytes";
  return s;
}

}  // namespace morvex::core

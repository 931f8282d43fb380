#include "ts/packetizer.h"

#include <algorithm>
#include <cstring>

namespace morvex::ts {

Packetizer::Packetizer(core::Bytes& out, ArrivalClock clock) : out_(out), clock_(clock), arrival_(clock.first) {}

uint8_t* Packetizer::begin(uint16_t pid, bool unitStart) {
  const size_t at = out_.size();
  out_.resize(at + kSourcePacketSize, 0xFF);
  uint8_t* p = out_.data() + at;
  const uint32_t stamp = clock_.wrap ? arrival_ & kArrivalTimeMask : arrival_;
  p[0] = uint8_t(stamp >> 24);
  p[1] = uint8_t(stamp >> 16);
  p[2] = uint8_t(stamp >> 8);
  p[3] = uint8_t(stamp);
  arrival_ += clock_.step;
  ++packets_;
  uint8_t* tp = p + kExtraHeaderSize;
  tp[0] = kSyncByte;
  tp[1] = uint8_t((unitStart ? 0x40 : 0) | ((pid >> 8) & 0x1F));
  tp[2] = uint8_t(pid);
  return tp;
}

uint8_t Packetizer::nextCounter(uint16_t pid) {
  uint8_t& c = counters_[pid & 0x1FFF];
  const uint8_t now = c;
  c = (c + 1) & 0x0F;
  return now;
}

void Packetizer::section(uint16_t pid, std::span<const uint8_t> section) {
  uint8_t* tp = begin(pid, true);
  tp[3] = uint8_t(0x10 | nextCounter(pid));
  tp[4] = 0;  // pointer field
  const size_t n = std::min(section.size(), kTsPayloadSize - 1);
  std::memcpy(tp + 5, section.data(), n);
}

void Packetizer::pcr(uint16_t pid, uint64_t base90k, uint16_t extension27m) {
  uint8_t* tp = begin(pid, false);
  tp[3] = uint8_t(0x20 | counters_[pid & 0x1FFF]);  // adaptation only: the counter stays
  tp[4] = 183;
  tp[5] = 0x10;  // PCR flag
  const uint64_t b = base90k & 0x1FFFFFFFFull;
  tp[6] = uint8_t(b >> 25);
  tp[7] = uint8_t(b >> 17);
  tp[8] = uint8_t(b >> 9);
  tp[9] = uint8_t(b >> 1);
  const uint16_t x = extension27m % 300;
  tp[10] = uint8_t(((b & 1) << 7) | 0x7E | (x >> 8));  // base bit 0, 6 reserved bits, extension bit 8
  tp[11] = uint8_t(x);                                  // extension bits 7..0
}

void Packetizer::null() {
  uint8_t* tp = begin(kNullPid, false);
  tp[3] = 0x10;
}

size_t Packetizer::payload(uint16_t pid, const uint8_t* data, size_t remaining, bool unitStart, bool randomAccess) {
  size_t af = randomAccess ? 2 : 0;  // adaptation field bytes, its length byte included
  const size_t n = std::min(remaining, kTsPayloadSize - af);
  if (n < kTsPayloadSize - af) af = kTsPayloadSize - n;
  uint8_t* tp = begin(pid, unitStart);
  tp[3] = uint8_t((af ? 0x30 : 0x10) | nextCounter(pid));
  if (af >= 1) tp[4] = uint8_t(af - 1);
  if (af >= 2) tp[5] = randomAccess ? 0x40 : 0x00;  // the rest of the field is 0xFF stuffing
  std::memcpy(tp + kTsHeaderSize + af, data, n);
  return n;
}

}  // namespace morvex::ts

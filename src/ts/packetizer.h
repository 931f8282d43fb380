#pragma once
// Writing a BD AV stream: source packets (TP_extra_header + 188-byte transport packet,
// see ts/packet.h) appended to a byte buffer, one call per packet, so that a muxer can
// interleave PIDs and program tables in any order it likes.
//
// Every packet is 192 bytes; bytes a packet does not use are 0xFF. The packetizer keeps
// one continuity counter per PID and stamps each packet from its arrival clock.
#include <array>
#include <cstdint>
#include <span>

#include "core/binary.h"
#include "ts/packet.h"

namespace morvex::ts {

// The arrival clock: packet n (counted from 0) is stamped first + n * step, in 27 MHz
// ticks, computed modulo 2^32. With `wrap` the stamp is kept to the 30 bits of the
// arrival_time_stamp (the copy_permission_indicator stays 0); without it the sum fills
// the whole 4-byte TP_extra_header, as the menu muxer has always written it.
struct ArrivalClock {
  uint32_t first = 0;
  uint32_t step = 0;
  bool wrap = true;
};

class Packetizer {
public:
  // Appends to `out`, which must outlive the packetizer; the caller may hand out's
  // bytes on and clear it between packets.
  Packetizer(core::Bytes& out, ArrivalClock clock);

  // Source packets written so far (the number the next packet gets).
  uint64_t packets() const { return packets_; }

  // A PSI section (PAT, PMT, SIT) in one packet of its own: payload unit start, a
  // pointer field of 0, the section (at most 183 bytes, CRC included), 0xFF after it.
  void section(uint16_t pid, std::span<const uint8_t> section);

  // A packet with an adaptation field only, carrying a PCR with base `base90k` (33 bits,
  // 90 kHz) and extension 0. The continuity counter of the PID does not advance.
  void pcr(uint16_t pid, uint64_t base90k, uint16_t extension27m = 0);

  // A null packet (PID 0x1FFF, payload of 0xFF, continuity counter 0).
  void null();

  // The next transport packet of a PES packet: takes up to 184 of the `remaining` bytes
  // (at least 1) at `data`. When they do not fill the packet, adaptation-field stuffing
  // (a length byte, a flags byte when there is room, 0xFF) stands before them, so the PES
  // packet ends with the packet. `unitStart` marks the first packet of a PES packet;
  // `randomAccess` gives it an adaptation field with the random access indicator set.
  // Returns the number of bytes taken.
  size_t payload(uint16_t pid, const uint8_t* data, size_t remaining, bool unitStart, bool randomAccess = false);

private:
  // Appends a source packet of 0xFF with its TP_extra_header and the sync byte, payload
  // unit start and PID written; returns its transport packet.
  uint8_t* begin(uint16_t pid, bool unitStart);
  // The PID's continuity counter, then advanced.
  uint8_t nextCounter(uint16_t pid);

  core::Bytes& out_;
  ArrivalClock clock_;
  uint32_t arrival_;
  uint64_t packets_ = 0;
  std::array<uint8_t, 0x2000> counters_{};
};

}  // namespace morvex::ts

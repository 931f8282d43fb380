#pragma once
// Building an EP map (the entry points players use to jump to a time) for one stream.
//
// Each entry point is split the way the file stores it: a coarse entry holds PTS bits
// 32..19 and the full source packet number, a fine entry PTS bits 19..9 and the low 17
// bits of the packet number. A new coarse entry starts whenever the coarse PTS bits or
// the packet number above bit 16 change, and points at its first fine entry.
#include <cstdint>
#include <vector>

#include "clip/clpi.h"

namespace morvex::clip {

struct EntryPoint {
  uint32_t spn = 0;  // source packet where the access unit's PES starts
  uint64_t pts = 0;  // 33-bit, 90 kHz
  uint8_t endPositionOffset = 1;
};

EpMap makeEPMap(const std::vector<EntryPoint>& points);

// Gives the clip a CPI holding one EP map for `pid` (EP stream type 1, video), with the
// CPI length, map start and fine table start filled in.
void setSingleEPMap(ClipInfo& clpi, uint16_t pid, const std::vector<EntryPoint>& points);

}  // namespace morvex::clip

#pragma once
// Transport packets as a BD AV stream (.m2ts) carries them.
//
// The stream is a sequence of 192-byte source packets: a 4-byte TP_extra_header (a 2-bit
// copy_permission_indicator and a 30-bit arrival_time_stamp, 27 MHz) and a 188-byte
// MPEG-2 transport packet. The transport packet starts with the sync byte 0x47 and three
// header bytes: payload_unit_start_indicator and the 13-bit PID, then the adaptation
// field control and the 4-bit continuity counter. An adaptation field (a length byte,
// then flags, PCR and stuffing) may stand before the payload; together they fill the
// 184 bytes after the header.
#include <cstddef>
#include <cstdint>

namespace morvex::ts {

inline constexpr size_t kExtraHeaderSize = 4;
inline constexpr size_t kTsPacketSize = 188;
inline constexpr size_t kSourcePacketSize = kExtraHeaderSize + kTsPacketSize;  // 192
inline constexpr size_t kTsHeaderSize = 4;
inline constexpr size_t kTsPayloadSize = kTsPacketSize - kTsHeaderSize;  // 184

inline constexpr uint8_t kSyncByte = 0x47;
inline constexpr uint16_t kPatPid = 0x0000;
inline constexpr uint16_t kSitPid = 0x001F;
inline constexpr uint16_t kNullPid = 0x1FFF;
// The arrival_time_stamp's bits of the TP_extra_header.
inline constexpr uint32_t kArrivalTimeMask = 0x3FFFFFFF;

// Header fields of the transport packet at `tp` (the byte after the TP_extra_header).
inline uint16_t packetPid(const uint8_t* tp) { return uint16_t(((tp[1] & 0x1F) << 8) | tp[2]); }
inline bool payloadUnitStart(const uint8_t* tp) { return (tp[1] & 0x40) != 0; }
inline bool hasAdaptationField(const uint8_t* tp) { return (tp[3] & 0x20) != 0; }
inline bool hasPayload(const uint8_t* tp) { return (tp[3] & 0x10) != 0; }
inline uint8_t continuityCounter(const uint8_t* tp) { return tp[3] & 0x0F; }

}  // namespace morvex::ts

#pragma once
// A menu-only BD AV stream: the menu's PES packets cut into 192-byte source packets
// (4-byte arrival time stamp + 188-byte transport packet) together with the fixed
// program tables a player needs (PAT, PMT with one IG stream on PID 0x1400, SIT and
// a PCR packet), padded with null packets to a multiple of 32 packets.
#include <filesystem>
#include <span>

#include "core/binary.h"
#include "core/log.h"
#include "igs/model.h"

namespace morvex::igs {

inline constexpr uint16_t kIgPid = 0x1400;
inline constexpr uint32_t kFirstArrivalTime = 0x10000000;
inline constexpr uint32_t kArrivalStep = 846;

// Cuts a file of PES packets (the writer's PES form) into the stream. A PES packet
// whose announced length runs past the end of the data is reported as "Mux error"
// and written with the bytes there are.
core::Bytes packetizeMenu(std::span<const uint8_t> pes, core::Log& log);

// Writes the menu as PES packets and muxes them.
core::Bytes muxMenu(Menu& menu, core::Log& log);

// Logs "Muxing menu...", muxes the menu and writes the stream atomically.
bool muxMenuToFile(Menu& menu, const std::filesystem::path& file, core::Log& log);

}  // namespace morvex::igs

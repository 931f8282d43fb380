#pragma once
// Muxing a menu into an existing BD AV stream (a clip that already carries video and
// audio), as a user needs who edits a disc's menu or restores a pop-up menu into a
// remux.
//
// Every source packet of the other PIDs is copied byte for byte and in order; the
// menu's transport packets are placed between them. What a player needs of the result:
//  - each PES packet holds exactly one segment, its length exact; a display set is
//    shown once its composition and END segments are complete;
//  - IG packets whose PES time stamps lie before the PlayItem's IN time, or at or after
//    its OUT time, are dropped by players, so the whole display set is stamped from
//    `at` on, on the stream's own clock (the STC its PCRs carry);
//  - each IG packet arrives (by the stream's arrival clock) before its decode time;
//  - the program map declares the PID (stream type 0x91 with an HDMV registration
//    descriptor); the PMT's CRC is computed afresh;
//  - the clip information describes the new stream: its packet count, the program's
//    stream entry for the PID and the EP map's packet numbers moved by the packets
//    inserted (or removed) before them, so each entry points at the same video access
//    unit as before.
// Memory use is constant in the size of the stream: only the menu is held.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "clip/clpi.h"
#include "core/binary.h"
#include "core/log.h"
#include "core/progress.h"
#include "core/save.h"
#include "igs/model.h"

namespace morvex::igs {

struct MuxIntoOptions {
  uint16_t pid = 0x1400;
  // An IG stream already on the PID (packets or a PMT entry) is refused unless set;
  // with it, the old stream's packets are dropped and the PMT entry replaced.
  bool replace = false;
  // 90 kHz time from which the display set is stamped: its first decode time. The
  // composition's presentation time follows once its objects are decoded.
  uint64_t at = 0;
  // How long before its decode time a packet may arrive at the earliest (90 kHz).
  uint64_t lead = 90000;
};

// One PES packet of the menu: a single segment with its 33-bit time stamps.
struct MenuPes {
  core::Bytes bytes;
  uint8_t segmentType = 0;
  uint64_t pts = 0, dts = 0;  // dts == pts for segments that carry no DTS
};

// The menu's display set as PES packets stamped from `at` on: decode times rise in
// stream order (palettes, then objects one after the other at the decode rate the
// menu writer assumes), and the composition, like the END segment, is presented once
// the last object is decoded. Empty when the menu cannot be laid out.
std::vector<MenuPes> stampedMenuPes(const Menu& menu, uint64_t at);

// The same from the bytes of a menu file (segments behind "IG" unit headers).
std::vector<MenuPes> stampedMenuPes(std::span<const uint8_t> menuFile, uint64_t at);

struct MuxIntoResult {
  bool ok = false;
  bool cancelled = false;
  std::string error;
  uint64_t packetsIn = 0;    // source packets read
  uint64_t packetsOut = 0;   // source packets written
  uint64_t inserted = 0;     // menu packets written (and null packets padding the end)
  uint64_t removed = 0;      // packets of an old stream on the PID (with replace)
  uint64_t pmtRewritten = 0; // PMT packets rewritten
  uint64_t late = 0;         // menu packets that could only arrive after their decode time
  uint64_t compositionPts = 0;
  double seconds = 0;
  // Where the packet count changed, in order: before source packet `at` the count so
  // far changed by `delta` (inserted packets count up, removed ones down).
  struct Shift {
    uint64_t at;
    int64_t delta;
  };
  std::vector<Shift> shifts;
  // The number a source packet has in the output (the packet itself being kept).
  uint64_t newPacketNumber(uint64_t sourcePacket) const;
};

// Muxes `pes` (from stampedMenuPes) into `source`, writing `output` beside it and
// renaming when complete; a failed or cancelled run leaves no output and an existing
// one as it was. `output` naming the source is refused. Progress gets
// position/total in packets and is polled for cancel.
MuxIntoResult muxMenuInto(const std::vector<MenuPes>& pes, const std::filesystem::path& source,
                          const std::filesystem::path& output, const MuxIntoOptions& options, core::Log& log,
                          core::Progress* progress = nullptr);

// Brings the clip information of the source in step with the muxed stream: packet
// count, an IG entry for the PID in every program sequence (language `language`),
// EP map and sequence start packet numbers moved, and the section lengths.
void updateClipForMux(clip::ClipInfo& clpi, const MuxIntoResult& result, uint16_t pid,
                      const std::string& language = "eng");

// ---- A clip of a disc ----------------------------------------------------------------

// What muxing into the stream <BDMV>/STREAM/<clip>.m2ts touches on its disc.
struct ClipMuxPlan {
  std::filesystem::path bdmv;          // empty when the stream is not in a disc's STREAM folder
  std::string clipName;                // the stream's name without extension
  std::vector<std::string> playlists;  // playlist files whose PlayItems play the clip
  std::vector<std::string> lackingStream;  // of those, the ones whose stream table lists no IG on the PID
  // The latest IN time (90 kHz) of those PlayItems, when it lies before every OUT time.
  std::optional<uint64_t> at;
};
ClipMuxPlan planClipMux(const std::filesystem::path& stream, uint16_t pid);

struct ClipMuxResult {
  MuxIntoResult mux;
  std::filesystem::path clipInfo;            // the clip information written (empty: none)
  std::vector<std::string> playlistsUpdated;  // playlists that gained the IG entry
  bool ok() const { return mux.ok && error.empty(); }
  std::string error;
};

// Muxes the menu into `source` as `output` and settles the clip information that goes
// with it: the source's <BDMV>/CLIPINF/<clip>.clpi, updated, is saved for the output
// (in the output's disc when it lies in a STREAM folder beside a CLIPINF folder,
// otherwise beside it as <name>.clpi). With `addStream`, playlists of the output's disc
// that play its clip gain the IG stream-table entry. `at` unset: the plan's time, or
// the clip's presentation start, or 0.
ClipMuxResult muxMenuIntoClip(const Menu& menu, const std::filesystem::path& source,
                              const std::filesystem::path& output, MuxIntoOptions options, std::optional<uint64_t> at,
                              bool addStream, const core::SaveSettings& settings, core::Log& log,
                              core::Progress* progress = nullptr);

// MPEG-2 CRC_32 of a PSI section (polynomial 0x04C11DB7, initial value all ones).
uint32_t psiCrc32(const uint8_t* data, size_t size);

}  // namespace morvex::igs

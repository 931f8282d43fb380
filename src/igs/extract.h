#pragma once
// Getting a menu out of a BD AV stream: the IG PID is demultiplexed into "IG"-framed
// units (each PES payload behind "IG", PTS and DTS), which read like a menu file.
#include <filesystem>

#include "core/binary.h"
#include "core/log.h"
#include "core/read_result.h"
#include "core/progress.h"
#include "igs/model.h"

namespace morvex::igs {

inline constexpr uint16_t kDefaultIgPid = 0x1400;

struct StreamMenu {
  bool ok = false;         // false: the stream or the work file could not be used
  bool cancelled = false;
  std::string error;
  uint64_t pidPackets = 0;  // source packets of the PID
  core::Bytes framed;       // the IG-framed units
  // What the stream lost (packets without sync, dropped PES packets, a cut last
  // packet), empty for a stream read whole: its menu is then read only in part.
  std::string damage;
};

// The most IG data a stream's menu may hold. Interactive graphics of a disc take a few
// megabytes at most; a stream beyond this is refused rather than held in memory.
inline constexpr size_t kMaxMenuData = size_t(256) << 20;

// Demultiplexes `pid` of the stream into IG-framed units, in memory: no file is
// written anywhere, so nothing can be redirected or left behind.
StreamMenu extractMenu(const std::filesystem::path& stream, uint16_t pid, core::Log& log,
                       core::Progress* progress = nullptr);

// Extracts and loads; a cancelled extraction loads nothing. An extraction that fails
// is refused (cannot open) and leaves `menu` as it was; otherwise see readMenu.
core::ReadResult loadMenuFromStream(const std::filesystem::path& stream, uint16_t pid, Menu& menu, core::Log& log,
                                    core::Progress* progress = nullptr);

// What a chosen file is, by its extension without regard to case: ".mnu" a menu file,
// ".m2ts" or ".mts" an AV stream; anything else is Other.
enum class MenuSource { MenuFile, Stream, Other };
MenuSource menuSourceKind(const std::filesystem::path& file);

// The one way every front end reads a menu: a menu file, or the IG PID `pid` of an AV
// stream, chosen by extension. A file of another extension is taken by its contents
// (192-byte source packets: a stream; "IG": a menu file); anything else is refused as
// not a menu and leaves `menu` unchanged.
core::ReadResult loadMenuSource(const std::filesystem::path& file, Menu& menu, core::Log& log,
                                uint16_t pid = kDefaultIgPid, core::Progress* progress = nullptr);

}  // namespace morvex::igs

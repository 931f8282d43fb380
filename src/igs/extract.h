#pragma once
// Getting a menu out of a BD AV stream: the IG PID is demultiplexed into "IG"-framed
// units (each PES payload behind "IG", PTS and DTS), which read like a menu file.
#include <filesystem>

#include "core/binary.h"
#include "core/log.h"
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
};

// The most IG data a stream's menu may hold. Interactive graphics of a disc take a few
// megabytes at most; a stream beyond this is refused rather than held in memory.
inline constexpr size_t kMaxMenuData = size_t(256) << 20;

// Demultiplexes `pid` of the stream into IG-framed units, in memory: no file is
// written anywhere, so nothing can be redirected or left behind.
StreamMenu extractMenu(const std::filesystem::path& stream, uint16_t pid, core::Log& log,
                       core::Progress* progress = nullptr);

// Extracts and loads; a cancelled extraction loads nothing. Returns true when a menu
// was loaded (see loadMNU).
bool loadMenuFromStream(Menu& menu, const std::filesystem::path& stream, uint16_t pid, core::Log& log,
                        core::Progress* progress = nullptr);

// What a chosen file is, by its extension exactly: ".mnu" a menu file, the AV
// stream extension (".m2ts", or ".MTS" with 8.3 names) a stream; anything else is
// not read.
enum class MenuSource { MenuFile, Stream, Other };
MenuSource menuSourceKind(const std::filesystem::path& file, bool use83names);

// Loads a menu file or the PID 0x1400 of a stream, by extension; other files are
// ignored (false, nothing changed).
bool loadMenuSource(Menu& menu, const std::filesystem::path& file, bool use83names, core::Log& log,
                    core::Progress* progress = nullptr);

}  // namespace morvex::igs

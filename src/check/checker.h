#pragma once
// The disc checker: reads every file of a BDMV folder with the engine's readers and
// reports what is inconsistent, each finding with a severity, a stable code a script
// can filter on, the file, the place inside it and a one-line message.
//
// Codes are "<file kind>.<area>.<what>" (for example "mpls.mark.playitem-out-of-range")
// and never change meaning once published; new checks get new codes.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/progress.h"

namespace morvex::playlist {
struct Playlist;
}

namespace morvex::check {

struct Finding {
  core::Severity severity = core::Severity::Error;
  std::string code;
  std::string file;      // path relative to the BDMV folder ("PLAYLIST/00001.mpls")
  std::string location;  // "offset $0000003A", "PlayItem 2", "object 4, line 7", ...
  std::optional<uint64_t> offset;  // byte offset when the finding has one
  std::string message;
  bool operator==(const Finding&) const = default;
};

struct CheckOptions {
  bool use83names = false;                       // short names; no BACKUP folder required
  std::vector<std::filesystem::path> menuFiles;  // extra .mnu files to check
  bool streamMenus = true;  // check the IG menus of the stream files that are present
  // Counts the files checked and is polled between files: a cancelled check stops
  // there and says so (`CheckReport::cancelled`). May be shared with another thread.
  core::Progress* progress = nullptr;
};

struct CheckReport {
  std::filesystem::path folder;  // the BDMV folder checked
  // False when the folder could not be checked at all (no such folder, no index
  // file); `failure` says why and `findings` is empty.
  bool checked = false;
  std::string failure;
  std::vector<Finding> findings;  // grouped by file, in reading order within a file
  // The check was cancelled part way: `findings` covers only the files read so far.
  bool cancelled = false;

  size_t count(core::Severity s) const;
  bool hasErrors() const { return count(core::Severity::Error) != 0; }
};

// Checks the disc folder `chosen` (the disc root or its BDMV folder).
CheckReport checkDisc(const std::filesystem::path& chosen, const CheckOptions& options = {});

// The checks of a playlist that need nothing but the playlist itself: a PlayItem
// whose OUT time lies before its IN time, a mark on a PlayItem the playlist lacks,
// a mark outside its PlayItem. The disc check reports the same findings; an editor
// asks here before it takes a typed value. `file` goes into each finding.
std::vector<Finding> checkPlaylistTimes(const playlist::Playlist& m, const std::string& file);

// "error", "warning", "info".
const char* severityName(core::Severity s);
// Parses those names; nothing for any other text.
std::optional<core::Severity> parseSeverity(const std::string& text);

// The findings at or above `minimum`.
std::vector<Finding> atLeast(const std::vector<Finding>& findings, core::Severity minimum);

}  // namespace morvex::check

#pragma once
// Checking and loading a disc folder (the BDMV folder) in one operation: the required
// folders and files are checked, the movie-object, index and sound files are read,
// playlists, clip-information and BD-J object files are listed by name, and the AV
// stream file of each clip-information file is looked up. Everything the other screens
// need afterwards is in the DiscLoad result; the log receives the lines in order.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/read_result.h"
#include "core/save.h"
#include "nav/index.h"
#include "nav/movie_object.h"
#include "sound/sound.h"

namespace morvex::disc {

// The AV stream file found for one clip-information entry (empty name, size 0 when
// the stream file is missing).
struct AvStream {
  std::string fileName;
  uint64_t size = 0;
  bool operator==(const AvStream&) const = default;
};

// One playlist reference to a clip: playlist number (its five-digit name as a number),
// 'p' for a PlayItem or 's' for a SubPlayItem, and the item's index.
struct ClipInfoRef {
  uint16_t playlist = 0;
  char kind = 'p';
  uint16_t item = 0;
  bool operator==(const ClipInfoRef&) const = default;
};
using ClipInfoRefs = std::vector<ClipInfoRef>;

struct LoadOptions {
  bool use83names = false;  // "Use 8.3 filenames": short names, no BACKUP required
};

struct DiscLoad {
  std::filesystem::path folder;  // the BDMV folder
  core::FileNames names;

  bool checkPassed = false;   // the required folders and files exist
  bool mobjGood = false;      // MovieObject file read with a valid head
  bool indexGood = false;     // index read with a valid head: Save and the lists are usable
  // The file ended before its declared contents: what was read is kept, and a front end
  // should ask before saving such a model over the file.
  bool mobjTruncated = false, indexTruncated = false, soundTruncated = false;
  bool stopped = false;       // the load ended early (too many titles, a file that would not open)
  bool complete = false;      // every step ran
  // What each file read reported (movie objects, index, sound, in that order; only the
  // files that were read). A disc checker decides from these, not from the log.
  std::vector<core::ReadResult> reads;
  bool allReadsComplete() const {
    for (const auto& r : reads)
      if (!r.complete()) return false;
    return true;
  }

  nav::MovieObjectFile movieObjects;
  nav::IndexTable index;
  bool hasSound = false;      // AUXDATA/sound.bdmv was found and read
  sound::SoundFile sound;

  std::vector<std::string> playlists;  // names without extension, sorted
  std::vector<std::string> clipinfos;
  // BD-J object names (BDJO folder): the First Playback, Top Menu and title choices
  // of the index screen and the BD-J object list hold the same names.
  std::vector<std::string> bdjFirstPlayback, bdjTopMenu, bdjTitles, bdjObjects;
  std::vector<AvStream> avStreams;  // one per clipinfos entry
  std::vector<ClipInfoRefs> ciRefs;       // one per clipinfos entry, empty after a load
  size_t streamsFound = 0, streamsMissing = 0;

  std::string discLabel;
};

// The folder a chosen path stands for: the path itself when its last component is
// "BDMV" (case-sensitive), otherwise path/BDMV. A disc's root and its BDMV folder
// both give the BDMV folder.
std::filesystem::path discFolderFor(const std::filesystem::path& chosen);

// The label shown in the window title: the name of the folder holding the BDMV
// folder, or, when that folder is the root of a mounted file system, the file
// system's label in upper case (the folder name when it has none).
std::string discLabel(const std::filesystem::path& bdmvFolder);

// "Morvex v<version> [<label>]".
std::string windowTitle(const std::string& version, const std::string& label);

// Runs the check and the load. Returns the result; `out.checkPassed` false means the
// check failed ("Check failed." was logged as an error) and nothing was read.
DiscLoad loadDisc(const std::filesystem::path& bdmvFolder, const LoadOptions& options, core::Log& log);

// Names of the regular files in `dir` whose name ends with `ext` (an empty ext takes
// every file), without extension (from the last dot), sorted by name.
std::vector<std::string> listNames(const std::filesystem::path& dir, const std::string& ext);

}  // namespace morvex::disc

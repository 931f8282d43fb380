#pragma once
// File names of a disc folder and the saving policy every disc-file writer follows.
#include <filesystem>
#include <string>

#include "core/binary.h"
#include "core/log.h"

namespace morvex::core {

// Long names of a disc folder, or the 8.3 names some authoring tools use.
struct FileNames {
  std::string indexfile = "index.bdmv";
  std::string mobjfile = "MovieObject.bdmv";
  std::string playlistext = ".mpls";
  std::string clipinfext = ".clpi";
  std::string streamext = ".m2ts";
  static FileNames make(bool use83names);
};

enum class BackupMode : int { OnlyFirst = 0, Overwrite = 1, StopIfExists = 2 };

// The saving settings: "Create backup files", the backup mode and "Save to BACKUP dir".
struct SaveSettings {
  bool backup = true;
  BackupMode backupMode = BackupMode::OnlyFirst;
  bool saveBackupDir = false;
};

// What one writer asks of the save sequence.
struct SaveRequest {
  std::filesystem::path folder;  // the target's folder
  std::string fileName;          // the target's name inside it
  // Logged with dlog0 before the backup step ("Saving " + name for most writers);
  // empty logs nothing.
  std::string startMessage;
  // Logged after writing (the index and movie-object writers log name + " saved.").
  std::string doneMessage;
  // Copy the written file to <disc folder>/BACKUP/<name> when "Save to BACKUP dir"
  // is on (index and movie-object files only); discFolder is then the BDMV folder.
  bool copyToBackupDir = false;
  std::filesystem::path discFolder;
};

// The save sequence: clear errorflag; log the start; make the backup (T moved to
// T + ".backup" by the mode's rule, "Cannot create backup file." on failure, which
// stops the save); write the bytes beside the target and rename them over it, so a
// failure never leaves a half-written file; log the end; "Ready."; the BACKUP copy.
// Returns true when the file was written.
bool saveFile(Log& log, const SaveSettings& settings, const SaveRequest& req, const Bytes& content);

// Writes bytes to `target` atomically: a temporary file beside it, then a rename.
// On failure returns false and sets `error` to the system's message.
bool writeFileAtomic(const std::filesystem::path& target, const Bytes& content, std::string& error);

// Reads a whole file. On failure returns false with the system's message in `error`.
bool readWholeFile(const std::filesystem::path& p, Bytes& out, std::string& error);

// Renames `from` to `to`, failing when `to` exists (never replaces).
bool moveNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);

// A path as shown to the user: generic form with '/'.
std::string displayPath(const std::filesystem::path& p);

}  // namespace morvex::core

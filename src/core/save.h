#pragma once
// File names of a disc folder and the saving policy every disc-file writer follows.
#include <cstdint>
#include <filesystem>
#include <string>

#include "core/binary.h"
#include "core/log.h"
#include "core/write_result.h"

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
  // Logged as a stage before the backup step ("Saving " + name for most writers);
  // empty logs nothing.
  std::string startMessage;
  // Logged after writing (the index and movie-object writers log name + " saved.").
  std::string doneMessage;
  // Copy the written file to <disc folder>/BACKUP/<name> when "Save to BACKUP dir"
  // is on (index and movie-object files only); discFolder is then the BDMV folder.
  bool copyToBackupDir = false;
  std::filesystem::path discFolder;
};

// The save sequence: clear the log's error state; log the start; write the bytes to a private
// file beside the target; make the backup (T + ".backup" by the mode's rule, as a
// second name of T's content or a copy of it, never by moving T away; "Cannot create
// backup file." on failure, which stops the save); rename the new file over T; log
// the end; "Ready."; the BACKUP copy. Whatever fails, T keeps its old content and an
// older backup is only replaced by a complete one. The result names the target; when
// the save stops, its error is the line the log received.
WriteResult saveFile(Log& log, const SaveSettings& settings, const SaveRequest& req, const Bytes& content);

// Writes bytes to `target` atomically: a temporary file beside it, then a rename.
// On failure returns false and sets `error` to the system's message.
bool writeFileAtomic(const std::filesystem::path& target, const Bytes& content, std::string& error);

// A file written beside its target and renamed over it once complete. The temporary
// is "<target>.Morvex_<pid>_<random>.tmp", created new (never through an existing
// name or a symbolic link) and readable by the owner only while it is written; the
// finished file gets the target's permissions (or the usual ones for a new file).
// Dropped without commit(), the temporary is removed and the target is untouched.
class AtomicFile {
public:
  explicit AtomicFile(std::filesystem::path target);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  bool open(std::string& error);
  bool write(const uint8_t* data, size_t size, std::string& error);
  // Flushes to disk and renames over the target.
  bool commit(std::string& error);
  // Removes the temporary; the target stays as it was.
  void discard();
  const std::filesystem::path& tempPath() const { return tmp_; }

private:
  std::filesystem::path target_, tmp_;
  int fd_ = -1;
  // Bytes written so far, and how many of them have been handed to the disk already.
  uint64_t written_ = 0, started_ = 0;
};

// True when both names lead to the same file (device and inode), whatever the names.
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// Removes what earlier runs left behind in `folder` when they were killed: entries
// named "Morvex_<pid>_..." or "<name>.Morvex_<pid>[_...].tmp" whose process no longer
// runs and which belong to this user. Entries of running processes stay.
void removeStaleTemporaries(const std::filesystem::path& folder);

// The system temporary folder ($TMPDIR or /tmp), cleaned of stale leftovers.
void removeStaleTemporaries();


// Reads a whole file. On failure returns false with the system's message in `error`.
bool readWholeFile(const std::filesystem::path& p, Bytes& out, std::string& error);

// Renames `from` to `to`, failing when `to` exists (never replaces).
bool moveNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);

// A path as shown to the user: generic form with '/'.
std::string displayPath(const std::filesystem::path& p);

}  // namespace morvex::core

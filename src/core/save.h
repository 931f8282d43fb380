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
  // Copy the written file to <disc folder>/BACKUP/<backupSubfolder>/<name> when "Save
  // to BACKUP dir" is on; discFolder is then the BDMV folder. The index and movie-object
  // files go straight into BACKUP, playlists into BACKUP/PLAYLIST and clip information
  // into BACKUP/CLIPINF. The copy goes through the same atomic writer as the file itself
  // and replaces whatever stands at its name (a planted link included, never its target).
  bool copyToBackupDir = false;
  std::filesystem::path discFolder;
  std::string backupSubfolder;
};

// The save sequence: clear the log's error state; log the start; write the bytes to a private
// file beside the target; make the backup (T + ".backup" by the mode's rule, as a
// second name of T's content or a copy of it, never by moving T away; "Cannot create
// backup file." on failure, which stops the save); rename the new file over T; log
// the end; "Ready."; the BACKUP copy. Whatever fails, T keeps its old content and an
// older backup is only replaced by a complete one. The result names the target; when
// the save stops, its error is the line the log received.
WriteResult saveFile(Log& log, const SaveSettings& settings, const SaveRequest& req, const Bytes& content);

// The request for a file that stands straight in the BDMV folder (index.bdmv,
// MovieObject.bdmv): "Saving <name>" before, "<name> saved." after, and its copy in
// BACKUP when that setting is on.
SaveRequest discFileRequest(const std::filesystem::path& discFolder, const std::string& fileName);

// Writes bytes to `target` the way AtomicFile does. On failure returns false and sets
// `error` to the system's message (or the reason the target was refused).
bool writeFileAtomic(const std::filesystem::path& target, const Bytes& content, std::string& error);

// A file written beside its target and renamed over it once complete. What the target
// name stands for decides how:
//   - a regular file or a new name: a temporary "<folder>/.Morvex_<pid>_<random>.tmp"
//     beside it, created new (never through an existing name or a symbolic link),
//     readable by the owner only while it is written, renamed over the target at
//     commit(); the finished file gets the target's permissions (or the usual ones);
//   - a symbolic link (followLinks): the same, at the file the link leads to; the link
//     stays a link. Without followLinks the link itself is replaced;
//   - "-", a character device or a FIFO: written as a stream, in place;
//   - a directory, a socket or a block device: refused.
// The temporary's name does not grow with the target's, so any name the file system
// takes can be written. Dropped without commit(), the temporary is removed and the
// target is untouched.
class AtomicFile {
public:
  explicit AtomicFile(std::filesystem::path target, bool followLinks = true);
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
  // The file that commit() replaces (the target, or the file its link leads to); set
  // by open().
  const std::filesystem::path& destination() const { return dest_; }
  // True when the target is written in place as a stream (no temporary, no rename).
  bool streams() const { return streaming_; }

private:
  bool resolve(std::string& error);
  std::filesystem::path target_, dest_, tmp_;
  bool followLinks_ = true;
  bool streaming_ = false;
  int fd_ = -1;
  // Bytes written so far, and how many of them have been handed to the disk already.
  uint64_t written_ = 0, started_ = 0;
};

// True when both names lead to the same file (device and inode), whatever the names.
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// Inputs and outputs of one run. A program that reads some files and writes others
// (the command line) turns tracking on; from then on every file read through
// readWholeFile() or openInputFile() is noted, and AtomicFile refuses to replace a noted
// input ("the output file is <input>, which is being read") unless allowRewrite() named
// it. Identity is the device and inode, so a hard link or a symbolic link to an input
// is that input.
void trackInputs(bool on);
void noteInput(const std::filesystem::path& p);
// The input `p` may be replaced: an in-place edit of a file of the same kind.
void allowRewrite(const std::filesystem::path& p);
// The noted input that writing `output` would replace (and that may not be
// replaced), or an empty path.
std::filesystem::path inputReplacedBy(const std::filesystem::path& output);

// Removes what earlier runs left behind in `folder` when they were killed: regular
// files of this user whose whole name is a temporary this program makes
// (".Morvex_<pid>_<8 letters or digits>.tmp") and whose process no longer runs. Folders,
// links and every other name stay, whatever they are called.
void removeStaleTemporaries(const std::filesystem::path& folder);

// The system temporary folder ($TMPDIR or /tmp), cleaned the same way; and, through
// the note "Morvex_<pid>.folders" that every run which writes beside a target keeps
// there, the folders where a killed run left its temporaries.
void removeStaleTemporaries();

// The most a disc file of the navigation and clip kinds can take: larger files are
// refused before they are read.
inline constexpr uint64_t kMaxDiscFileBytes = uint64_t(64) << 20;

// Checks that `p` names a regular file (after links) no larger than maxBytes and opens
// it for reading; -1 with the reason in `error` otherwise ("not a regular file", or
// "<n> bytes, more than the <limit> a file of this kind can take"). A FIFO is never
// opened, so the check cannot block. The file is noted as an input.
int openInputFile(const std::filesystem::path& p, uint64_t maxBytes, uint64_t& size, std::string& error);

// Reads a whole regular file of at most maxBytes. On failure returns false with the
// system's message (or the reason of openInputFile) in `error`.
bool readWholeFile(const std::filesystem::path& p, Bytes& out, std::string& error,
                   uint64_t maxBytes = kMaxDiscFileBytes);

// "64 MiB", "1 GiB", or the number of bytes.
std::string sizeLimitText(uint64_t bytes);

// Renames `from` to `to`, failing when `to` exists (never replaces).
bool moveNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);

// A path as shown to the user: generic form with '/'.
std::string displayPath(const std::filesystem::path& p);

}  // namespace morvex::core

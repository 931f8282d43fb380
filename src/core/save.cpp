#include "core/save.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <random>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace morvex::core {

FileNames FileNames::make(bool use83names) {
  FileNames n;
  if (use83names) {
    n.indexfile = "INDEX.BDM";
    n.mobjfile = "MOVIEOBJ.BDM";
    n.playlistext = ".MPL";
    n.clipinfext = ".CPI";
    n.streamext = ".MTS";
  }
  return n;
}

std::string displayPath(const fs::path& p) { return p.generic_string(); }

bool moveNoReplace(const fs::path& from, const fs::path& to) {
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno == EEXIST) return false;
#endif
  // File systems without renameat2: a hard link fails when the target exists.
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  if (::unlink(from.c_str()) != 0) {
    ::unlink(to.c_str());
    return false;
  }
  return true;
}

std::string sizeLimitText(uint64_t bytes) {
  if (bytes >= (uint64_t(1) << 30) && bytes % (uint64_t(1) << 30) == 0) return std::to_string(bytes >> 30) + " GiB";
  if (bytes >= (uint64_t(1) << 20) && bytes % (uint64_t(1) << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
  return std::to_string(bytes) + " bytes";
}

int openInputFile(const fs::path& p, uint64_t maxBytes, uint64_t& size, std::string& error) {
  size = 0;
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
  int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    error = std::strerror(errno);
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    error = std::strerror(errno);
    ::close(fd);
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    error = S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "not a regular file";
    ::close(fd);
    return -1;
  }
  if (uint64_t(st.st_size) > maxBytes) {
    error = std::to_string(uint64_t(st.st_size)) + " bytes, more than the " + sizeLimitText(maxBytes) +
            " a file of this kind can take";
    ::close(fd);
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  size = uint64_t(st.st_size);
  noteInput(p);
  return fd;
}

bool readWholeFile(const fs::path& p, Bytes& out, std::string& error, uint64_t maxBytes) {
  out.clear();
  uint64_t size = 0;
  int fd = openInputFile(p, maxBytes, size, error);
  if (fd < 0) return false;
  out.reserve(static_cast<size_t>(size));
  uint8_t buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = std::strerror(errno);
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    // A file that grows while it is read is held to the same limit.
    if (out.size() + size_t(n) > maxBytes) {
      error = "more than the " + sizeLimitText(maxBytes) + " a file of this kind can take";
      ::close(fd);
      out.clear();
      return false;
    }
    out.insert(out.end(), buf, buf + n);
  }
  ::close(fd);
  return true;
}

// ---- Inputs of one run ------------------------------------------------------------

namespace {

struct FileId {
  dev_t dev;
  ino_t ino;
  bool operator==(const FileId& o) const { return dev == o.dev && ino == o.ino; }
};

struct InputBook {
  std::mutex m;
  bool on = false;
  std::vector<std::pair<FileId, fs::path>> inputs;
  std::vector<FileId> rewritable;
};

InputBook& inputBook() {
  static InputBook book;
  return book;
}

bool fileId(const fs::path& p, FileId& id) {
  struct stat st {};
  if (::stat(p.c_str(), &st) != 0) return false;
  id = {st.st_dev, st.st_ino};
  return true;
}

}  // namespace

void trackInputs(bool on) {
  auto& b = inputBook();
  std::lock_guard<std::mutex> lock(b.m);
  b.on = on;
  if (!on) {
    b.inputs.clear();
    b.rewritable.clear();
  }
}

void noteInput(const fs::path& p) {
  auto& b = inputBook();
  std::lock_guard<std::mutex> lock(b.m);
  FileId id{};
  if (!b.on || !fileId(p, id)) return;
  for (const auto& in : b.inputs)
    if (in.first == id) return;
  b.inputs.emplace_back(id, p);
}

void allowRewrite(const fs::path& p) {
  auto& b = inputBook();
  std::lock_guard<std::mutex> lock(b.m);
  FileId id{};
  if (fileId(p, id)) b.rewritable.push_back(id);
}

fs::path inputReplacedBy(const fs::path& output) {
  auto& b = inputBook();
  std::lock_guard<std::mutex> lock(b.m);
  FileId id{};
  if (!b.on || !fileId(output, id)) return {};
  for (const auto& r : b.rewritable)
    if (r == id) return {};
  for (const auto& in : b.inputs)
    if (in.first == id) return in.second;
  return {};
}

namespace {

// The temporaries' own name, in the folder of the file they become:
// ".Morvex_<pid>_<8 letters or digits>.tmp". It never grows with the target's name, so
// a target of the longest name the file system takes can still be written.
fs::path tempNameIn(const fs::path& folder) {
  static std::mt19937_64 rng{std::random_device{}() ^ uint64_t(::getpid()) << 32};
  static std::mutex m;
  uint64_t r;
  {
    std::lock_guard<std::mutex> lock(m);
    r = rng();
  }
  static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string name = ".Morvex_" + std::to_string(::getpid()) + "_";
  for (int i = 0; i < 8; ++i, r /= 36) name.push_back(digits[r % 36]);
  name += ".tmp";
  return folder.empty() ? fs::path(name) : folder / name;
}

fs::path tempNameBeside(const fs::path& target) { return tempNameIn(target.parent_path()); }

// Digits of a process id at `at` up to `stop`; -1 when there are none or too many.
long pidAt(const std::string& name, size_t at, char stop, size_t& end) {
  end = at;
  while (end < name.size() && end - at < 10 && std::isdigit(static_cast<unsigned char>(name[end]))) ++end;
  if (end == at || end >= name.size() || name[end] != stop) return -1;
  return std::stol(name.substr(at, end - at));
}

// The process id of a temporary name this program makes, or -1 for any other name.
long temporaryPid(const std::string& name) {
  if (name.rfind(".Morvex_", 0) != 0) return -1;
  size_t end;
  const long pid = pidAt(name, 8, '_', end);
  if (pid < 0 || name.size() != end + 1 + 8 + 4 || name.compare(name.size() - 4, 4, ".tmp") != 0) return -1;
  for (size_t i = end + 1; i < end + 9; ++i)
    if (!std::islower(static_cast<unsigned char>(name[i])) && !std::isdigit(static_cast<unsigned char>(name[i])))
      return -1;
  return pid;
}

// The process id of a note "Morvex_<pid>.folders", or -1.
long folderNotePid(const std::string& name) {
  if (name.rfind("Morvex_", 0) != 0) return -1;
  size_t end;
  const long pid = pidAt(name, 7, '.', end);
  return pid >= 0 && name.compare(end, std::string::npos, ".folders") == 0 ? pid : -1;
}

fs::path systemTempFolder() {
  std::error_code ec;
  fs::path t = fs::temp_directory_path(ec);
  return ec ? fs::path() : t;
}

fs::path folderNotePath(long pid) {
  const fs::path t = systemTempFolder();
  return t.empty() ? t : t / ("Morvex_" + std::to_string(pid) + ".folders");
}

// A run notes each folder where it writes a temporary, so that when it is killed the
// next start knows where to look. The note goes away when the run ends normally.
void noteTemporaryFolder(const fs::path& folder) {
  static std::mutex m;
  static std::vector<std::string> noted;
  static bool exitHook = false;
  std::error_code ec;
  fs::path abs = fs::absolute(folder.empty() ? fs::path(".") : folder, ec);
  if (ec) return;
  abs = abs.lexically_normal();
  const fs::path tmp = systemTempFolder();
  if (tmp.empty() || abs == tmp.lexically_normal()) return;
  std::lock_guard<std::mutex> lock(m);
  const std::string line = abs.string();
  if (line.find('\n') != std::string::npos) return;
  if (std::find(noted.begin(), noted.end(), line) != noted.end()) return;
  const fs::path note = folderNotePath(::getpid());
  int fd = ::open(note.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return;
  const std::string text = line + "\n";
  const bool ok = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
  ::close(fd);
  if (!ok) return;
  noted.push_back(line);
  if (!exitHook) {
    exitHook = true;
    std::atexit([] { ::unlink(folderNotePath(::getpid()).c_str()); });
  }
}

// The permission bits a new file gets: 0666 without the process's umask. The umask is
// read from /proc so that no thread ever sees it changed.
mode_t newFileMode() {
  static const mode_t mode = [] {
    mode_t mask = 022;
    if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
      char line[256];
      while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, "Umask:", 6) == 0) {
          mask = mode_t(std::strtoul(line + 6, nullptr, 8));
          break;
        }
      std::fclose(f);
    }
    return mode_t(0666 & ~mask);
  }();
  return mode;
}

bool processRuns(long pid) {
  if (pid <= 0) return true;  // not ours to judge
  return ::kill(pid_t(pid), 0) == 0 || errno != ESRCH;
}

}  // namespace

AtomicFile::AtomicFile(fs::path target, bool followLinks) : target_(std::move(target)), followLinks_(followLinks) {}

AtomicFile::~AtomicFile() { discard(); }

// Decides what the target name stands for (see the class) and, for a stream, opens it.
bool AtomicFile::resolve(std::string& error) {
  streaming_ = false;
  dest_ = target_;
  if (target_ == "-") {
    streaming_ = true;
    std::fflush(stdout);  // what was printed before comes first
    fd_ = ::dup(STDOUT_FILENO);
    if (fd_ < 0) error = std::strerror(errno);
    return fd_ >= 0;
  }
  for (int hop = 0; hop < 40; ++hop) {
    struct stat st {};
    if (::lstat(dest_.c_str(), &st) != 0) {
      if (errno == ENOENT) return true;  // a new file (or a link to a new file)
      error = std::strerror(errno);
      return false;
    }
    if (S_ISLNK(st.st_mode)) {
      if (!followLinks_) return true;  // the rename replaces the link itself
      std::error_code ec;
      const fs::path to = fs::read_symlink(dest_, ec);
      if (ec) {
        error = ec.message();
        return false;
      }
      dest_ = to.is_absolute() ? to : dest_.parent_path() / to;
      continue;
    }
    if (S_ISREG(st.st_mode)) return true;
    if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)) {
      // A device or a pipe takes the bytes as they come; there is nothing to rename.
      fd_ = ::open(dest_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
      if (fd_ < 0) {
        error = std::strerror(errno);
        return false;
      }
      streaming_ = true;
      return true;
    }
    error = S_ISDIR(st.st_mode)    ? std::string("is a folder, not a file to write")
            : S_ISSOCK(st.st_mode) ? std::string("is a socket, not a file to write")
                                   : std::string("is a block device, not a file to write");
    return false;
  }
  error = std::strerror(ELOOP);
  return false;
}

bool AtomicFile::open(std::string& error) {
  discard();
  if (!resolve(error)) return false;
  if (streaming_) return true;
  const fs::path input = inputReplacedBy(dest_);
  if (!input.empty()) {
    error = "the output file is " + displayPath(input) + ", which is being read";
    return false;
  }
  const fs::path folder = dest_.parent_path();
  {
    // Each folder is cleaned once per run: a command that writes thousands of files
    // into one folder must not scan it once for every file.
    static std::mutex m;
    static std::vector<fs::path> cleaned;
    std::unique_lock<std::mutex> lock(m);
    if (std::find(cleaned.begin(), cleaned.end(), folder) == cleaned.end()) {
      cleaned.push_back(folder);
      lock.unlock();
      removeStaleTemporaries(folder);
    }
  }
  noteTemporaryFolder(folder);
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path name = tempNameIn(folder);
    // O_EXCL with O_CREAT never opens an existing name, a planted symbolic link
    // included; O_NOFOLLOW says the same once more.
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      fd_ = fd;
      tmp_ = std::move(name);
      written_ = started_ = 0;
      return true;
    }
    if (errno != EEXIST) {
      error = std::strerror(errno);
      return false;
    }
  }
  error = "no free name for a temporary file";
  return false;
}

bool AtomicFile::write(const uint8_t* data, size_t size, std::string& error) {
  if (fd_ < 0) {
    error = std::strerror(EBADF);
    return false;
  }
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::write(fd_, data + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = std::strerror(errno);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  written_ += size;
#ifdef SYNC_FILE_RANGE_WRITE
  // A large file (a stream of several GiB) would otherwise sit in the page cache until
  // commit() and then make its caller wait for all of it at once. Handing each few
  // MiB to the disk as they are written lets the device work while the caller goes on
  // reading and computing; the final fsync then finds little left. Only the start of
  // write-back is asked for here, nothing waits, and a failure changes nothing: the
  // fsync in commit() is what makes the file durable.
  constexpr uint64_t kWriteBackStep = 8u << 20;
  if (written_ - started_ >= kWriteBackStep) {
    ::sync_file_range(fd_, off64_t(started_), off64_t(written_ - started_), SYNC_FILE_RANGE_WRITE);
    started_ = written_;
  }
#endif
  return true;
}

bool AtomicFile::commit(std::string& error) {
  if (fd_ < 0) {
    error = std::strerror(EBADF);
    return false;
  }
  if (streaming_) {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
      error = std::strerror(errno);
      return false;
    }
    return true;
  }
  // An input read after open() is as much an input as one read before.
  const fs::path input = inputReplacedBy(dest_);
  if (!input.empty()) {
    error = "the output file is " + displayPath(input) + ", which is being read";
    discard();
    return false;
  }
  struct stat st {};
  const mode_t mode = ::stat(dest_.c_str(), &st) == 0 ? mode_t(st.st_mode & 07777) : newFileMode();
  if (::fchmod(fd_, mode) != 0 || (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS)) {
    error = std::strerror(errno);
    discard();
    return false;
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    error = std::strerror(errno);
    ::unlink(tmp_.c_str());
    tmp_.clear();
    return false;
  }
  if (::rename(tmp_.c_str(), dest_.c_str()) != 0) {
    error = std::strerror(errno);
    ::unlink(tmp_.c_str());
    tmp_.clear();
    return false;
  }
  tmp_.clear();
  return true;
}

void AtomicFile::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!tmp_.empty()) ::unlink(tmp_.c_str());
  tmp_.clear();
}

bool sameFile(const fs::path& a, const fs::path& b) {
  struct stat sa {}, sb {};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

void removeStaleTemporaries(const fs::path& folder) {
  std::error_code ec;
  fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const long pid = temporaryPid(it->path().filename().string());
    if (pid < 0 || processRuns(pid)) continue;
    struct stat st {};
    if (::lstat(it->path().c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
    ::unlink(it->path().c_str());
  }
}

void removeStaleTemporaries() {
  const fs::path tmp = systemTempFolder();
  if (tmp.empty()) return;
  removeStaleTemporaries(tmp);
  std::error_code ec;
  for (fs::directory_iterator it(tmp, ec), end; !ec && it != end; it.increment(ec)) {
    const long pid = folderNotePid(it->path().filename().string());
    if (pid < 0 || processRuns(pid)) continue;
    struct stat st {};
    if (::lstat(it->path().c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
    Bytes text;
    std::string error;
    if (readWholeFile(it->path(), text, error, uint64_t(1) << 20)) {
      std::string line;
      for (uint8_t c : text) {
        if (c != '\n') {
          line.push_back(char(c));
          continue;
        }
        if (!line.empty() && line[0] == '/') removeStaleTemporaries(fs::path(line));
        line.clear();
      }
    }
    ::unlink(it->path().c_str());
  }
}

bool writeFileAtomic(const fs::path& target, const Bytes& content, std::string& error) {
  AtomicFile f(target);
  return f.open(error) && f.write(content.data(), content.size(), error) && f.commit(error);
}

// A second name `b` for the content of `t`: a hard link, or a complete copy where the
// file system has no links. With `replace` an existing `b` is replaced only once the
// new one is complete; without it an existing `b` makes this fail.
static bool linkOrCopy(const fs::path& t, const fs::path& b, bool replace) {
  if (!replace) {
    if (::link(t.c_str(), b.c_str()) == 0) return true;
    if (errno == EEXIST) return false;
  } else {
    for (int attempt = 0; attempt < 100; ++attempt) {
      fs::path name = tempNameBeside(b);
      if (::link(t.c_str(), name.c_str()) == 0) {
        if (::rename(name.c_str(), b.c_str()) == 0) return true;
        ::unlink(name.c_str());
        return false;
      }
      if (errno != EEXIST) break;
    }
  }
  // No hard links here (FAT and exFAT drives, some network shares): copy instead.
  Bytes content;
  std::string error;
  if (!readWholeFile(t, content, error, UINT64_MAX)) return false;
  AtomicFile copy(b, false);
  if (!copy.open(error) || !copy.write(content.data(), content.size(), error)) return false;
  if (!replace && fs::exists(b)) return false;
  return copy.commit(error);
}

// Gives T's current content its backup name B by the mode's rule. T itself stays
// where it is. Returns false when the backup could not be made.
static bool backupstep(const SaveSettings& s, const fs::path& t) {
  fs::path b = t;
  b += ".backup";
  std::error_code ec;
  if (!fs::exists(t, ec)) return true;
  switch (s.backupMode) {
    case BackupMode::OnlyFirst:
      if (fs::exists(b, ec) || fs::is_symlink(b, ec)) return true;
      return linkOrCopy(t, b, false);
    case BackupMode::Overwrite:
      return linkOrCopy(t, b, true);
    case BackupMode::StopIfExists:
      return linkOrCopy(t, b, false);
  }
  return true;
}

WriteResult saveFile(Log& log, const SaveSettings& settings, const SaveRequest& req, const Bytes& content) {
  log.clearError();
  if (!req.startMessage.empty()) log.stage(req.startMessage);
  fs::path target = req.folder / req.fileName;
  // The new content is complete on disk before anything else changes, so a full disk
  // stops the save with the original and its backup untouched.
  std::string error;
  AtomicFile file(target);
  auto fail = [&](const fs::path& path, const std::string& line) {
    log.error(line);
    return WriteResult::failure(path, line);
  };
  if (!file.open(error) || !file.write(content.data(), content.size(), error))
    return fail(target, displayPath(target) + ": " + error);
  // The backup is of the file that is replaced (through a link, the file it leads
  // to); a device or a pipe keeps nothing to back up.
  if (settings.backup && !file.streams()) {
    if (!backupstep(settings, file.destination())) return fail(target, "Cannot create backup file.");
  }
  if (!file.commit(error)) return fail(target, displayPath(target) + ": " + error);

  if (req.copyToBackupDir && settings.saveBackupDir) {
    // Only a disc that keeps a BACKUP folder gets the copy (8.3 discs need none).
    fs::path dir = req.discFolder / "BACKUP";
    std::error_code ec;
    if (fs::is_directory(dir, ec)) {
      if (!req.backupSubfolder.empty()) {
        dir /= req.backupSubfolder;
        if (!fs::is_directory(dir, ec)) fs::create_directory(dir, ec);
      }
      // Whatever stands at the copy's name is replaced, never written through.
      const fs::path copyPath = dir / req.fileName;
      AtomicFile copy(copyPath, false);
      if (!copy.open(error) || !copy.write(content.data(), content.size(), error) || !copy.commit(error))
        return fail(copyPath, "Cannot copy " + req.fileName + " to the BACKUP folder: " + displayPath(copyPath) +
                                  ": " + error);
    }
  }
  if (!req.doneMessage.empty()) log.info(req.doneMessage);
  log.statusReady();
  return WriteResult::written(target, content.size());
}

SaveRequest discFileRequest(const std::filesystem::path& discFolder, const std::string& fileName) {
  SaveRequest req;
  req.folder = discFolder;
  req.fileName = fileName;
  req.startMessage = "Saving [bl]" + fileName + "[/bl]";
  req.doneMessage = fileName + " saved.";
  req.copyToBackupDir = true;
  req.discFolder = discFolder;
  return req;
}

}  // namespace morvex::core

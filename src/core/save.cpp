#include "core/save.h"

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

bool readWholeFile(const fs::path& p, Bytes& out, std::string& error) {
  out.clear();
  int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    error = std::strerror(EISDIR);
    return false;
  }
  if (st.st_size > 0) out.reserve(static_cast<size_t>(st.st_size));
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
    out.insert(out.end(), buf, buf + n);
  }
  ::close(fd);
  return true;
}

namespace {

// A name beside `target` that no file has yet: "<target>.Morvex_<pid>_<random>.tmp".
fs::path tempNameBeside(const fs::path& target) {
  static std::mt19937_64 rng{std::random_device{}() ^ uint64_t(::getpid()) << 32};
  static std::mutex m;
  uint64_t r;
  {
    std::lock_guard<std::mutex> lock(m);
    r = rng();
  }
  static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string suffix;
  for (int i = 0; i < 8; ++i, r /= 36) suffix.push_back(digits[r % 36]);
  fs::path tmp = target;
  tmp += ".Morvex_" + std::to_string(::getpid()) + "_" + suffix + ".tmp";
  return tmp;
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

// The process id in a leftover's name, or -1 when the name is not one of ours.
// Recognised: "Morvex_<pid>_..." (temporary folder) and "<name>.Morvex_<pid>.tmp" or
// "<name>.Morvex_<pid>_<random>.tmp" (beside a saved file).
long leftoverPid(const std::string& name) {
  size_t at;
  if (name.rfind("Morvex_", 0) == 0) {
    at = 7;
  } else {
    size_t k = name.rfind(".Morvex_");
    if (k == std::string::npos || name.size() < 4 || name.compare(name.size() - 4, 4, ".tmp") != 0)
      return -1;
    at = k + 8;
  }
  size_t end = at;
  while (end < name.size() && end - at < 10 && std::isdigit(static_cast<unsigned char>(name[end]))) ++end;
  if (end == at || end >= name.size() || (name[end] != '_' && name[end] != '.')) return -1;
  return std::stol(name.substr(at, end - at));
}

}  // namespace

AtomicFile::AtomicFile(fs::path target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::open(std::string& error) {
  discard();
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path name = tempNameBeside(target_);
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
  struct stat st {};
  const mode_t mode = ::stat(target_.c_str(), &st) == 0 ? mode_t(st.st_mode & 07777) : newFileMode();
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
  if (::rename(tmp_.c_str(), target_.c_str()) != 0) {
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
    const std::string name = it->path().filename().string();
    const long pid = leftoverPid(name);
    if (pid < 0 || processRuns(pid)) continue;
    struct stat st {};
    if (::lstat(it->path().c_str(), &st) != 0 || st.st_uid != ::geteuid()) continue;
    std::error_code rec;
    if (S_ISDIR(st.st_mode)) fs::remove_all(it->path(), rec);  // does not follow links inside
    else fs::remove(it->path(), rec);                           // a link itself, never its target
  }
}

void removeStaleTemporaries() {
  std::error_code ec;
  const fs::path tmp = fs::temp_directory_path(ec);
  if (!ec) removeStaleTemporaries(tmp);
}

bool writeFileAtomic(const fs::path& target, const Bytes& content, std::string& error) {
  removeStaleTemporaries(target.parent_path());
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
  if (!readWholeFile(t, content, error)) return false;
  AtomicFile copy(b);
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
  removeStaleTemporaries(req.folder);
  // The new content is complete on disk before anything else changes, so a full disk
  // stops the save with the original and its backup untouched.
  std::string error;
  AtomicFile file(target);
  auto fail = [&](const std::string& line) {
    log.error(line);
    return WriteResult::failure(target, line);
  };
  if (!file.open(error) || !file.write(content.data(), content.size(), error))
    return fail(displayPath(target) + ": " + error);
  if (settings.backup) {
    if (!backupstep(settings, target)) return fail("Cannot create backup file.");
  }
  if (!file.commit(error)) return fail(displayPath(target) + ": " + error);
  if (!req.doneMessage.empty()) log.info(req.doneMessage);
  log.statusReady();

  if (req.copyToBackupDir && settings.saveBackupDir) {
    std::error_code ec;
    fs::path dir = req.discFolder / "BACKUP";
    fs::copy_file(target, dir / req.fileName, fs::copy_options::overwrite_existing, ec);
    // a failure of this copy is not reported
  }
  return WriteResult::written(target, content.size());
}

}  // namespace morvex::core

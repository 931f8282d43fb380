#include "core/save.h"

#include <cerrno>
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

bool writeFileAtomic(const fs::path& target, const Bytes& content, std::string& error) {
  fs::path tmp = target;
  tmp += ".Morvex_" + std::to_string(::getpid()) + ".tmp";
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  size_t done = 0;
  while (done < content.size()) {
    ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = std::strerror(errno);
      ::close(fd);
      ::unlink(tmp.c_str());
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
    error = std::strerror(errno);
    ::close(fd);
    ::unlink(tmp.c_str());
    return false;
  }
  if (::close(fd) != 0) {
    error = std::strerror(errno);
    ::unlink(tmp.c_str());
    return false;
  }
  if (::rename(tmp.c_str(), target.c_str()) != 0) {
    error = std::strerror(errno);
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
}

// Moves T to its backup name B by the mode's rule. Returns false when a move failed.
static bool backupstep(const SaveSettings& s, const fs::path& t) {
  fs::path b = t;
  b += ".backup";
  std::error_code ec;
  bool tExists = fs::exists(t, ec);
  switch (s.backupMode) {
    case BackupMode::OnlyFirst:
      if (!fs::exists(b, ec) && tExists) return moveNoReplace(t, b);
      return true;
    case BackupMode::Overwrite:
      if (fs::exists(b, ec)) fs::remove(b, ec);
      if (tExists) return moveNoReplace(t, b);
      return true;
    case BackupMode::StopIfExists:
      if (tExists) return moveNoReplace(t, b);
      return true;
  }
  return true;
}

bool saveFile(Log& log, const SaveSettings& settings, const SaveRequest& req, const Bytes& content) {
  log.errorflag = false;
  if (!req.startMessage.empty()) log.dlog0(req.startMessage);
  fs::path target = req.folder / req.fileName;
  if (settings.backup) {
    if (!backupstep(settings, target)) log.erlog("Cannot create backup file.");
  }
  if (log.errorflag) return false;

  std::string error;
  if (!writeFileAtomic(target, content, error)) {
    log.erlog(displayPath(target) + ": " + error);
    return false;
  }
  if (!req.doneMessage.empty()) log.log(req.doneMessage);
  log.slogR();

  if (req.copyToBackupDir && settings.saveBackupDir) {
    std::error_code ec;
    fs::path dir = req.discFolder / "BACKUP";
    fs::copy_file(target, dir / req.fileName, fs::copy_options::overwrite_existing, ec);
    // a failure of this copy is not reported
  }
  return true;
}

}  // namespace morvex::core

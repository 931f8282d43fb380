#include "support/test_support.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string_view>
#include <unistd.h>

namespace fs = std::filesystem;

namespace morvex::test {

std::optional<fs::path> fixturesDir() {
  fs::path p = MORVEX_FIXTURES_DIR;
  std::error_code ec;
  if (fs::is_directory(p / "discs", ec)) return fs::weakly_canonical(p, ec);
  return std::nullopt;
}

bool missingFails() {
  const char* ci = std::getenv("CI");
  return ci && std::string_view(ci) == "true";
}

std::vector<fs::path> fixtureDiscs() {
  std::vector<fs::path> out;
  auto dir = fixturesDir();
  if (!dir) return out;
  for (const auto& e : fs::directory_iterator(*dir / "discs")) {
    if (fs::is_directory(e.path() / "BDMV")) out.push_back(e.path() / "BDMV");
  }
  auto num = [](const fs::path& p) {
    std::string n = p.parent_path().filename().string();
    return std::stoi(n.substr(4));
  };
  std::sort(out.begin(), out.end(), [&](const fs::path& a, const fs::path& b) { return num(a) < num(b); });
  return out;
}

std::vector<fs::path> fixtureFiles(const std::string& nameOrExt) {
  std::vector<fs::path> out;
  auto dir = fixturesDir();
  if (!dir) return out;
  for (const auto& e : fs::recursive_directory_iterator(*dir / "discs")) {
    if (!e.is_regular_file()) continue;
    const auto& p = e.path();
    if (p.filename() == nameOrExt || (!nameOrExt.empty() && nameOrExt[0] == '.' && p.extension() == nameOrExt))
      out.push_back(p);
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<uint8_t> readFile(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  if (!f) throw std::runtime_error("cannot open " + p.string());
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& p, const std::vector<uint8_t>& bytes) {
  std::ofstream f(p, std::ios::binary | std::ios::trunc);
  if (!f) throw std::runtime_error("cannot create " + p.string());
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  path_ = fs::temp_directory_path() /
          ("morvex_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
  fs::remove_all(path_);
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

}  // namespace morvex::test

#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/statvfs.h>

namespace morvex::test {

SmallDisk::SmallDisk(size_t bytes) {
  const std::string opts = "size=" + std::to_string(bytes) + ",mode=0700";
  if (::mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, opts.c_str()) == 0) {
    mounted_ = true;
    return;
  }
  std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit rl {};
  ::getrlimit(RLIMIT_FSIZE, &rl);
  oldLimit_ = rl.rlim_cur;
  rl.rlim_cur = bytes;
  limited_ = ::setrlimit(RLIMIT_FSIZE, &rl) == 0;
}

SmallDisk::~SmallDisk() {
  if (mounted_) ::umount2(dir_.path().c_str(), MNT_DETACH);
  if (limited_) {
    struct rlimit rl {};
    ::getrlimit(RLIMIT_FSIZE, &rl);
    rl.rlim_cur = rlim_t(oldLimit_);
    ::setrlimit(RLIMIT_FSIZE, &rl);
  }
}

void SmallDisk::fill(size_t freeBytes) {
  if (!mounted_) return;
  struct statvfs v {};
  if (::statvfs(dir_.path().c_str(), &v) != 0) return;
  const size_t avail = size_t(v.f_bavail) * v.f_frsize;
  if (avail > freeBytes) writeFile(dir_ / "filler", std::vector<uint8_t>(avail - freeBytes, 0x55));
}

}  // namespace morvex::test

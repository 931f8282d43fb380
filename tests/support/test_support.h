#pragma once
// Helpers shared by the test programs: where the real disc fixtures live, scratch
// folders that clean up after themselves, and whole-file byte helpers.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace morvex::test {

// The folder of real disc metadata beside the project, or nothing when it is absent
// (tests that need it then skip with a message).
std::optional<std::filesystem::path> fixturesDir();

// Every discN/BDMV folder under the fixtures, sorted by disc number.
std::vector<std::filesystem::path> fixtureDiscs();

// All files below the fixture discs whose name matches (case-sensitive, exact name or
// extension such as ".mpls"), sorted.
std::vector<std::filesystem::path> fixtureFiles(const std::string& nameOrExt);

std::vector<uint8_t> readFile(const std::filesystem::path& p);
void writeFile(const std::filesystem::path& p, const std::vector<uint8_t>& bytes);

// A fresh folder under the system temporary folder, removed when the object dies.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
  std::filesystem::path path_;
};

}  // namespace morvex::test

// Skips the current test when the fixtures folder is missing.
#define MORVEX_REQUIRE_FIXTURES()                                                  \
  do {                                                                             \
    if (!::morvex::test::fixturesDir())                                            \
      GTEST_SKIP() << "disc fixtures not found beside the project; skipping";      \
  } while (0)

namespace morvex::test {

// A folder where writing soon fails as on a full disk: a small tmpfs mounted there when
// the process may mount, otherwise a file-size limit on this process (writes beyond
// `bytes` fail with EFBIG; the signal that would stop the process is ignored). Either
// way, files up to about `bytes` fit and larger ones do not.
class SmallDisk {
public:
  explicit SmallDisk(size_t bytes);
  ~SmallDisk();
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  const std::filesystem::path& path() const { return dir_.path(); }
  std::filesystem::path operator/(const std::string& name) const { return dir_ / name; }
  bool mounted() const { return mounted_; }
  // Fills the disk (tmpfs only) so that at most `freeBytes` stay free.
  void fill(size_t freeBytes);

private:
  TempDir dir_;
  bool mounted_ = false;
  bool limited_ = false;
  unsigned long long oldLimit_ = 0;
};

}  // namespace morvex::test

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
// (tests that need it then skip with a message, or fail under CI).
std::optional<std::filesystem::path> fixturesDir();

// True under CI (the environment variable CI is "true"): there every fixture and every
// program the tests use is meant to be present, so a test that lacks one fails rather
// than skips, and a run that tested less than it should cannot pass.
bool missingFails();

// Every discN/BDMV folder under the fixtures, sorted by disc number.
std::vector<std::filesystem::path> fixtureDiscs();

// All files below the fixture discs whose name matches (case-sensitive, exact name or
// extension such as ".mpls"), sorted.
std::vector<std::filesystem::path> fixtureFiles(const std::string& nameOrExt);

// HDMV command opcodes the tests write: the first word of a command, with the
// operands that take a value marked immediate.
constexpr uint32_t kMove = 0x50400001;          // Move GPR, value
constexpr uint32_t kAdd = 0x50400003;           // Add GPR, value
constexpr uint32_t kBreak = 0x00020000;         // Break
constexpr uint32_t kGoTo = 0x20810000;          // GoTo line
constexpr uint32_t kPlayPlAtItem = 0x42C10000;  // PlayPL at PlayItem, both values

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

// Ends the current test for want of something it needs: a skip with `reason`, or
// under CI a failure with it.
#define MORVEX_SKIP_OR_FAIL(reason)                                                 \
  do {                                                                              \
    if (::morvex::test::missingFails())                                             \
      GTEST_FAIL() << (reason) << " (CI=true: this fails rather than skips)";       \
    else                                                                            \
      GTEST_SKIP() << (reason);                                                     \
  } while (0)

// Ends the current test when the fixtures folder is missing (see MORVEX_SKIP_OR_FAIL).
#define MORVEX_REQUIRE_FIXTURES()                                                   \
  do {                                                                              \
    if (!::morvex::test::fixturesDir())                                             \
      MORVEX_SKIP_OR_FAIL("disc fixtures not found beside the project; skipping"); \
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

// A read is complete only when every stored start address, length and count agrees
// with what was read. Real disc files damaged in one layout field are read as partial,
// naming the field: resave writes nothing (exit 1), info and check fail, and --force
// still writes what was read.
#include <gtest/gtest.h>

#include <functional>

#include "run_cli.h"

using namespace morvex::test;
namespace fs = std::filesystem;

namespace {

fs::path disc(const std::string& name) { return *fixturesDir() / "discs" / name / "BDMV"; }

void putU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (24 - 8 * i));
}
void putU16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = uint8_t(v >> 8);
  b[at + 1] = uint8_t(v);
}
uint32_t getU32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

}  // namespace

TEST(ReaderLayout, AFieldThatDisagreesWithWhatWasReadMakesTheReadPartial) {
  MORVEX_REQUIRE_FIXTURES();
  struct Case {
    std::string name;
    fs::path source;
    std::string field;  // the field the refusal names
    std::function<void(std::vector<uint8_t>&)> damage;
  };
  const fs::path subPathPlaylist = disc("disc11") / "PLAYLIST" / "00001.mpls";
  const std::vector<Case> cases = {
      {"index Indexes start one byte low", disc("disc1") / "index.bdmv", "Indexes start address",
       [](auto& b) { putU32(b, 8, getU32(b, 8) - 1); }},
      {"index Indexes length", disc("disc1") / "index.bdmv", "Indexes length",
       [](auto& b) { putU32(b, 78, getU32(b, 78) + 12); }},
      {"playlist AppInfoPlayList length", disc("disc1") / "PLAYLIST" / "00000.mpls", "AppInfoPlayList length",
       [](auto& b) { putU32(b, 40, 0xFFFFFFF0); }},
      {"playlist SubPath count 0", subPathPlaylist, "PlayList length",
       [](auto& b) { putU16(b, getU32(b, 8) + 8, 0); }},
      {"playlist ExtensionData start 1", disc("disc1") / "PLAYLIST" / "00000.mpls", "ExtensionData start address",
       [](auto& b) { putU32(b, 16, 1); }},
      {"clip information ClipInfo length", disc("disc1") / "CLIPINF" / "00000.clpi", "ClipInfo length",
       [](auto& b) { putU32(b, 40, getU32(b, 40) + 6); }},
      {"clip information ClipMark start inside the CPI", disc("disc1") / "CLIPINF" / "00000.clpi",
       "ClipMark start address", [](auto& b) { putU32(b, 20, getU32(b, 20) - 4); }},
      {"movie objects length", disc("disc1") / "MovieObject.bdmv", "MovieObjects length",
       [](auto& b) { putU32(b, 40, getU32(b, 40) - 12); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir tmp;
    auto bytes = readFile(c.source);
    ASSERT_GT(bytes.size(), 60u);
    c.damage(bytes);
    const fs::path in = tmp / c.source.filename();
    writeFile(in, bytes);
    CliResult r = runCli("resave " + shellQuote(in) + " -o " + shellQuote(tmp / "out"), CliStderr::Separate);
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.err.find(c.field), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(tmp / "out"));
    r = runCli("dump " + shellQuote(in), CliStderr::Separate);
    EXPECT_EQ(r.status, 1) << r.err;
    // --force writes what was read, and the exit status still says it was partial.
    r = runCli("resave --force " + shellQuote(in) + " -o " + shellQuote(tmp / "out"), CliStderr::Separate);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(fs::exists(tmp / "out"));
  }
}

// "info" reads every playlist and clip information file, so a damaged one or one of
// the wrong kind fails it as it fails "check".
TEST(ReaderLayout, InfoFailsOnAPlaylistThatIsNotOne) {
  MORVEX_REQUIRE_FIXTURES();
  TempDir tmp;
  const fs::path bdmv = tmp / "disc" / "BDMV";
  fs::create_directories(bdmv.parent_path());
  fs::copy(disc("disc1"), bdmv, fs::copy_options::recursive);
  for (auto& e : fs::recursive_directory_iterator(bdmv)) fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add);
  ASSERT_EQ(runCli("info " + shellQuote(bdmv)).status, 0);
  fs::path playlist;
  for (const auto& e : fs::directory_iterator(bdmv / "PLAYLIST")) playlist = e.path();
  fs::remove(playlist);
  fs::copy_file(bdmv / "CLIPINF" / "00000.clpi", playlist);
  CliResult r = runCli("info " + shellQuote(bdmv), CliStderr::Separate);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("not a playlist file"), std::string::npos) << r.err;
  r = runCli("check " + shellQuote(bdmv), CliStderr::Separate);
  EXPECT_EQ(r.status, 1);
}

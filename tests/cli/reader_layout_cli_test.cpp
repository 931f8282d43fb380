// A read is complete only when every stored start address, length and count agrees
// with what was read. Real disc files damaged in one layout field are read as partial,
// naming the field: resave writes nothing (exit 1), info and check fail, and --force
// still writes what was read.
#include <gtest/gtest.h>

#include <functional>

#include "core/binary.h"
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

namespace {

// A BD-J object with one entry in every table, each length counting the bytes after its
// own length field; `gap` zero bytes sit between the playlist table and the application
// table, as padding a disc may carry.
std::vector<uint8_t> bdjObject(size_t gap) {
  morvex::core::ByteWriter w;
  auto text = [&](const std::string& s) {
    w.addU8(uint32_t(s.size()));
    w.addString(s, s.size());
  };
  auto even = [&] {
    if (w.length() & 1) w.addU8(0);
  };
  auto closeLength = [&](size_t lengthAt) { w.putU32(uint32_t(w.length() - lengthAt - 4), lengthAt); };
  w.addString("BDJO", 4);
  w.addString("0200", 4);
  w.addZeros(40);
  w.addU32(10);  // TerminalInfo
  w.addString("*****", 5);
  w.addU8(0x10);
  w.addZeros(4);
  const size_t cache = w.length();
  w.putU32(uint32_t(cache), 12);
  w.addU32(0);
  w.addU8(1);
  w.addU8(0);
  w.addU8(1);
  w.addString("00000", 5);
  w.addString("*.*", 3);
  w.addZeros(3);
  closeLength(cache);
  const size_t playlists = w.length();
  w.putU32(uint32_t(playlists), 16);
  w.addU32(0);
  w.addU16(1 << 5);
  w.addZeros(2);
  w.addString("00001", 5);
  w.addZeros(1);
  closeLength(playlists);
  w.addZeros(gap);
  const size_t amt = w.length();
  w.putU32(uint32_t(amt), 20);
  w.addU32(0);
  w.addU8(1);  // one application
  w.addU8(0);
  w.addU8(1);
  w.addU8(1);
  w.addU32(0x7FFF0001);
  w.addU16(0x4000);
  w.addU8(0);
  w.addU8(0);
  const size_t descriptor = w.length();
  w.addU32(0);
  w.addZeros(4);
  w.addU16(1 << 12);  // one profile
  w.addU16(1);
  w.addU8(1);
  w.addU8(0);
  w.addU8(0);
  w.addU8(0);
  w.addU8(1);
  w.addU8(0x70);
  w.addU16(4 + 4);
  w.addString("eng", 3);
  text("Menu");
  even();
  text("");
  even();
  w.addU16(0);
  text("00000");
  even();
  text("");
  even();
  text("app.Main");
  even();
  w.addU8(3);
  text("ab");
  even();
  closeLength(descriptor);
  closeLength(amt);
  w.putU32(uint32_t(w.length()), 24);
  w.addU32(0xC0000000);
  w.putU32(uint32_t(w.length()), 28);
  w.addU16(6);
  w.addString("/00000", 6);
  return w.take();
}

}  // namespace

// Every length and start address of a BD-J object must agree with what was read; one
// that does not makes "dump" fail, naming it. A table may start after padding.
TEST(ReaderLayout, BdjObjectFieldsThatDisagreeWithWhatWasRead) {
  TempDir tmp;
  for (size_t gap : {0, 6}) {
    writeFile(tmp / "ok.bdjo", bdjObject(gap));
    CliResult r = runCli("dump " + shellQuote(tmp / "ok.bdjo"), CliStderr::Separate);
    EXPECT_EQ(r.status, 0) << gap << r.err;
    EXPECT_NE(r.out.find("app.Main"), std::string::npos) << r.out;
  }
  const auto at = [](const std::vector<uint8_t>& b, size_t header) { return size_t(getU32(b, header)); };
  struct Case {
    std::string field;  // the field the message names
    std::function<void(std::vector<uint8_t>&)> damage;
  };
  const std::vector<Case> cases = {
      {"TerminalInfo length", [](auto& b) { putU32(b, 48, 9); }},
      {"AppCacheInfo start address", [](auto& b) { putU32(b, 12, getU32(b, 12) - 1); }},
      {"AppCacheInfo length", [&](auto& b) { putU32(b, at(b, 12), getU32(b, at(b, 12)) + 12); }},
      {"AppCacheInfo length", [&](auto& b) { b[at(b, 12) + 4] = 0; }},  // entry count
      {"TableOfAccessiblePlayLists start address", [](auto& b) { putU32(b, 16, getU32(b, 16) - 2); }},
      {"TableOfAccessiblePlayLists length", [&](auto& b) { putU32(b, at(b, 16), 0); }},
      {"ApplicationManagementTable start address", [](auto& b) { putU32(b, 20, getU32(b, 20) - 2); }},
      {"ApplicationManagementTable length", [&](auto& b) { putU32(b, at(b, 20), 0xFFFFFFF0); }},
      {"ApplicationManagementTable length", [&](auto& b) { b[at(b, 20) + 4] = 0; }},  // application count
      {"application 0 descriptor length", [&](auto& b) { putU32(b, at(b, 20) + 16, 1); }},
      {"application 0 names length", [&](auto& b) { putU16(b, at(b, 20) + 34, 6); }},
      {"KeyInterestTable start address", [](auto& b) { putU32(b, 24, getU32(b, 24) - 2); }},
      {"FileAccessInfo start address", [](auto& b) { putU32(b, 28, getU32(b, 28) - 4); }},
      {"ExtensionData start address", [](auto& b) { putU32(b, 8, 1); }},
      {"ExtensionData start address", [](auto& b) { putU32(b, 8, uint32_t(b.size()) + 4); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.field);
    auto bytes = bdjObject(0);
    c.damage(bytes);
    writeFile(tmp / "bad.bdjo", bytes);
    CliResult r = runCli("dump " + shellQuote(tmp / "bad.bdjo"), CliStderr::Separate);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.err.find("bad.bdjo: " + c.field + " is "), std::string::npos) << r.err;
    r = runCli("dump --json " + shellQuote(tmp / "bad.bdjo"), CliStderr::Separate);
    EXPECT_EQ(r.status, 1);
  }
}

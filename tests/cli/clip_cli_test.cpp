// morvex-cli on clip information, streams and BD-J objects, run as the real executable.
#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>

#include "clip/clpi.h"
#include "support/ts_synth.h"
#include "core/log.h"
#include "support/test_support.h"
#include "cli/run_cli.h"

namespace fs = std::filesystem;
using namespace morvex;
using morvex::test::TempDir;

namespace {

using Result = morvex::test::CliResult;

Result cli(const std::string& args, const fs::path& cwd = {}) {
  return morvex::test::runCli(args, morvex::test::CliStderr::Merge, cwd);
}

std::string q(const fs::path& p) { return "'" + p.string() + "'"; }
bool contains(const std::string& t, const std::string& s) { return t.find(s) != std::string::npos; }

// A disc folder with STREAM/00001.m2ts (generated) and its clip information.
fs::path makeDisc(const TempDir& dir) {
  fs::path bdmv = dir / "BDMV";
  fs::create_directories(bdmv / "STREAM");
  fs::create_directories(bdmv / "CLIPINF");
  test::SynthOptions o;
  o.targetBytes = 2 << 20;
  std::string err;
  EXPECT_TRUE(test::writeSyntheticStream(bdmv / "STREAM" / "00001.m2ts", o, err)) << err;
  clip::ClipInfo c;
  c.typeIndicator = "HDMV";
  c.version = "0200";
  c.clipInfo.formatIdentifier = "HDMV";
  clip::ProgramSequence p;
  clip::ClipStream a;
  a.pid = 0x1100, a.codingType = 0x80, a.audioPresentationType = 3, a.samplingFrequency = 1, a.audioLanguage = "eng";
  clip::ClipStream g;
  g.pid = 0x1200, g.codingType = 0x90, g.pgLanguage = "deu";
  p.streams = {a, g};
  c.programInfo.programSequences.push_back(p);
  test::writeFile(bdmv / "CLIPINF" / "00001.clpi", clip::writeClipInfo(c));
  return bdmv;
}

}  // namespace

TEST(CliClip, DumpAndResaveRealClipInformation) {
  MORVEX_REQUIRE_FIXTURES();
  auto files = test::fixtureFiles(".clpi");
  ASSERT_FALSE(files.empty());
  TempDir dir;
  const fs::path f = files.front();
  Result r = cli("dump " + q(f));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(contains(r.out, "  #\tPID\tStream type\tDetails\n"));
  EXPECT_TRUE(contains(r.out, "missing file"));  // fixtures carry no streams
  r = cli("dump --json " + q(f));
  ASSERT_EQ(r.status, 0);
  EXPECT_TRUE(contains(r.out, "\"number_of_source_packets\""));
  for (size_t i = 0; i < files.size(); i += 17) {
    r = cli("resave " + q(files[i]) + " -o " + q(dir / "out.clpi"));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(test::readFile(dir / "out.clpi"), test::readFile(files[i])) << files[i];
  }
}

TEST(CliClip, ResaveRefusesAShortFileAndWritesNothing) {
  TempDir dir;
  clip::ClipInfo c;
  c.typeIndicator = "HDMV";
  c.version = "0100";
  auto b = clip::writeClipInfo(c);
  b.resize(100);
  test::writeFile(dir / "bad.clpi", b);
  Result r = cli("resave " + q(dir / "bad.clpi") + " -o " + q(dir / "out.clpi"));
  EXPECT_NE(r.status, 0);
  EXPECT_FALSE(fs::exists(dir / "out.clpi"));
}

TEST(CliClip, DemuxNamesTheOutputFromTheClipInformation) {
  TempDir dir;
  fs::path bdmv = makeDisc(dir);
  fs::path work = dir / "work";
  fs::create_directories(work);
  Result r = cli("demux " + q(bdmv / "STREAM" / "00001.m2ts") + " --pid 0x1100", work);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(contains(r.out, "source packets saved.")) << r.out;
  fs::path out = work / "00001_PID1100_LPCM_Stereo_48_kHz_eng.aus";
  ASSERT_TRUE(fs::exists(out)) << r.out;
  // The same bytes the engine produces for the PID.
  std::vector<uint8_t> expect;
  test::SynthOptions o;
  o.targetBytes = 2 << 20;
  test::generateStream(o, [](const uint8_t*, size_t) { return true; },
                       [&](const test::SynthPes& e) {
                         if (e.pid == 0x1100) expect.insert(expect.end(), e.payload->begin(), e.payload->end());
                       });
  EXPECT_EQ(test::readFile(out), expect);

  // A PG PID defaults to the subtitle framing, named .sup.
  r = cli("demux " + q(bdmv / "STREAM" / "00001.m2ts") + " --pid 0x1200", work);
  ASSERT_EQ(r.status, 0) << r.out;
  auto sup = test::readFile(work / "00001_PID1200_PG_deu.sup");
  ASSERT_GE(sup.size(), 10u);
  EXPECT_EQ(sup[0], 'P');
  EXPECT_EQ(sup[1], 'G');

  r = cli("demux " + q(bdmv / "STREAM" / "00001.m2ts") + " --pid 0x1400 --mode pes -o " + q(work / "ig.pes"));
  ASSERT_EQ(r.status, 0) << r.out;
  // Raw PES output: every payload of the PID as it stands in the packets.
  auto ts = test::readFile(bdmv / "STREAM" / "00001.m2ts");
  std::vector<uint8_t> raw;
  for (size_t off = 0; off + 192 <= ts.size(); off += 192) {
    const uint8_t* pk = ts.data() + off;
    if (((pk[5] & 0x1F) << 8 | pk[6]) != 0x1400) continue;
    size_t start = (pk[7] & 0x20) ? 9 + pk[8] : 8;
    raw.insert(raw.end(), pk + start, pk + 192);
  }
  ASSERT_FALSE(raw.empty());
  EXPECT_EQ(test::readFile(work / "ig.pes"), raw);

  r = cli("demux " + q(bdmv / "STREAM" / "00001.m2ts") + " --pid 0x1100 --mode xyz");
  EXPECT_NE(r.status, 0);
  r = cli("demux " + q(dir / "missing.m2ts") + " --pid 0x1100");
  EXPECT_NE(r.status, 0);
}

TEST(CliBdj, DumpHandAssembledObject) {
  TempDir dir;
  core::ByteWriter w;
  w.addString("BDJO", 4);
  w.addString("0200", 4);
  w.addZeros(40);
  w.addU32(10);
  w.addString("00007", 5);
  w.addU8(0x10);
  w.addZeros(4);
  // Empty tables, one after the other: each length counts the bytes after its own
  // length field.
  w.putU32(uint32_t(w.length()), 12);
  w.addU32(2);  // AppCacheInfo: no entries
  w.addZeros(2);
  w.putU32(uint32_t(w.length()), 16);
  w.addU32(4);  // accessible playlists: none
  w.addZeros(4);
  w.putU32(uint32_t(w.length()), 20);
  w.addU32(2);  // application management table: no applications
  w.addZeros(2);
  w.putU32(uint32_t(w.length()), 24);
  w.addZeros(4);  // key interest
  w.putU32(uint32_t(w.length()), 28);
  w.addU16(3);
  w.addString("abc", 3);
  test::writeFile(dir / "00001.bdjo", w.take());
  Result r = cli("dump " + q(dir / "00001.bdjo"));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(contains(r.out, "Default font: 00007  Initial HAVi configuration id: 1")) << r.out;
  EXPECT_TRUE(contains(r.out, "FileAccessInfo: abc"));
  r = cli("dump --json " + q(dir / "00001.bdjo"));
  ASSERT_EQ(r.status, 0);
  EXPECT_TRUE(contains(r.out, "\"directory_paths\": \"abc\""));
}

TEST(CliFind, PlaylistCommandsAndClipReferencesOfARealDisc) {
  MORVEX_REQUIRE_FIXTURES();
  const fs::path disc = *test::fixturesDir() / "discs" / "disc1";
  Result r = cli("find " + q(disc) + " --playlist 00002");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(contains(r.out, "PlayList 00002 found in:\nObject 0002, Command line 0020\n")) << r.out;
  r = cli("find " + q(disc) + " --clips");
  ASSERT_EQ(r.status, 0) << r.out.substr(0, 400);
  EXPECT_TRUE(contains(r.out, "00001.clpi:\n  00000 p 00001\n")) << r.out.substr(0, 400);
  EXPECT_TRUE(contains(r.out, "Missing stream file referenced by 00000.mpls, PlayItem 0"));
  r = cli("find " + q(disc) + " --clips --playlist 00002");
  EXPECT_NE(r.status, 0);
}

#ifdef MORVEX_MAKE_DEMO_PATH
namespace {

// The demo disc, generated into `dir`; empty when the generator failed.
fs::path demoDisc(const TempDir& dir) {
  fs::path bdmv = dir / "demo" / "BDMV";
  fs::create_directories(bdmv);
  const std::string cmd = std::string("'") + MORVEX_MAKE_DEMO_PATH + "' " + q(bdmv) + " >/dev/null 2>&1";
  if (std::system(cmd.c_str()) != 0) return {};
  return bdmv;
}

// Gives every playlist of the disc a version no reader accepts ("0400").
size_t spoilPlaylistVersions(const fs::path& bdmv) {
  size_t n = 0;
  for (const auto& e : fs::directory_iterator(bdmv / "PLAYLIST")) {
    core::Bytes b = test::readFile(e.path());
    if (b.size() < 8) continue;
    b[5] = '4';
    test::writeFile(e.path(), b);
    ++n;
  }
  return n;
}

}  // namespace

TEST(CliFind, UnreadablePlaylistsAreCountedAndFailTheSearch) {
  TempDir dir;
  const fs::path bdmv = demoDisc(dir);
  ASSERT_FALSE(bdmv.empty());
  // Readable playlists first: both searches succeed and count nothing unreadable.
  Result r = cli("find --json " + q(bdmv) + " --clips");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(contains(r.out, "\"unreadable_playlists\": 0")) << r.out;

  const size_t spoiled = spoilPlaylistVersions(bdmv);
  ASSERT_GT(spoiled, 0u);
  const std::string count = std::to_string(spoiled);
  r = cli("find " + q(bdmv) + " --clips");
  EXPECT_NE(r.status, 0) << r.out;
  EXPECT_TRUE(contains(r.out, "0 playlist(s) read")) << r.out;
  EXPECT_TRUE(contains(r.out, count + " playlist(s) could not be read in full.")) << r.out;
  r = cli("find --json " + q(bdmv) + " --clips");
  EXPECT_NE(r.status, 0) << r.out;
  EXPECT_TRUE(contains(r.out, "\"unreadable_playlists\": " + count)) << r.out;
  r = cli("find " + q(bdmv) + " --playlist 00001");
  EXPECT_NE(r.status, 0) << r.out;
  EXPECT_TRUE(contains(r.out, count + " playlist(s) could not be read in full.")) << r.out;
  r = cli("find --json " + q(bdmv) + " --playlist 00001");
  EXPECT_NE(r.status, 0) << r.out;
  EXPECT_TRUE(contains(r.out, "\"unreadable_playlists\": " + count)) << r.out;
}

TEST(CliBdj, DemoObjectStoresTheApplicationTypeInTheHighBits) {
  TempDir dir;
  const fs::path bdmv = demoDisc(dir);
  ASSERT_FALSE(bdmv.empty());
  const core::Bytes b = test::readFile(bdmv / "BDJO" / "00001.bdjo");
  // The first application entry follows the 4-byte table length and the count byte +
  // reserved byte: control code, then the type byte.
  ASSERT_GE(b.size(), 32u);
  const uint32_t amt = uint32_t(b[20]) << 24 | uint32_t(b[21]) << 16 | uint32_t(b[22]) << 8 | b[23];
  ASSERT_LT(size_t(amt) + 7, b.size());
  EXPECT_EQ(b[amt + 6], 1) << "control code";
  EXPECT_EQ(b[amt + 7], 0x10) << "application type";
  Result r = cli("dump --json " + q(bdmv / "BDJO" / "00001.bdjo"));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(contains(r.out, "\"type\": 16")) << r.out;
}
#endif

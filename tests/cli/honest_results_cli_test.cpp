// What morvex-cli reports after a read that was refused or only partial: exit status
// 1, the reason on stderr, no output unless --force; JSON output that holds any text.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/run_cli.h"
#include "igs/igs_test_util.h"
#include "igs/mux.h"
#include "igs/reader.h"
#include "igs/writer.h"
#include "nav/index.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace morvex;
using morvex::test::TempDir;

namespace {

using Result = morvex::test::CliResult;

Result run(const std::string& args) { return morvex::test::runCli(args, morvex::test::CliStderr::Separate); }

std::string q(const fs::path& p) { return morvex::test::shellQuote(p); }

// A copy of a fixture disc's navigation files with every type's version set to 0400,
// a version no reader knows.
fs::path makeUnknownVersionDisc(const TempDir& dir) {
  const fs::path src = test::fixtureDiscs().front();
  const fs::path bdmv = dir / "V4" / "BDMV";
  for (const char* sub : {"PLAYLIST", "CLIPINF", "BACKUP", "STREAM"}) fs::create_directories(bdmv / sub);
  auto patched = [&](const fs::path& from, const fs::path& to) {
    core::Bytes b = test::readFile(from);
    if (b.size() >= 8) std::copy_n("0400", 4, b.begin() + 4);
    test::writeFile(to, b);
  };
  patched(src / "index.bdmv", bdmv / "index.bdmv");
  patched(src / "MovieObject.bdmv", bdmv / "MovieObject.bdmv");
  for (const char* sub : {"PLAYLIST", "CLIPINF"}) {
    size_t n = 0;
    for (const auto& e : fs::directory_iterator(src / sub))
      if (e.is_regular_file() && n++ < 3) patched(e.path(), bdmv / sub / e.path().filename());
  }
  return bdmv;
}

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

}  // namespace

TEST(HonestResultsCli, UnknownVersionDiscIsRefusedByEveryCommand) {
  MORVEX_REQUIRE_FIXTURES();
  TempDir dir;
  const fs::path bdmv = makeUnknownVersionDisc(dir);
  const std::string indexVersion = "index.bdmv: version 0400 is not supported";
  const std::string mobjVersion = "MovieObject.bdmv: version 0400 is not supported";

  Result info = run("info " + q(bdmv));
  EXPECT_EQ(info.status, 1) << info.out << info.err;
  EXPECT_NE(info.err.find(indexVersion), std::string::npos) << info.err;
  EXPECT_NE(info.err.find(mobjVersion), std::string::npos) << info.err;
  // Error lines go to stderr only; the check lines to stdout.
  EXPECT_EQ(info.out.find("ERROR"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("index.bdmv: OK"), std::string::npos) << info.out;

  for (const char* json : {"", " --json"}) {
    Result dump = run(std::string("dump") + json + " " + q(bdmv / "index.bdmv"));
    EXPECT_EQ(dump.status, 1) << dump.out;
    EXPECT_NE(dump.err.find(indexVersion), std::string::npos) << dump.err;
    EXPECT_TRUE(dump.out.empty()) << dump.out;
  }
  Result dumpMobj = run("dump " + q(bdmv / "MovieObject.bdmv"));
  EXPECT_EQ(dumpMobj.status, 1);
  EXPECT_NE(dumpMobj.err.find(mobjVersion), std::string::npos) << dumpMobj.err;

  for (const auto& e : fs::directory_iterator(bdmv / "PLAYLIST")) {
    Result dump = run("dump " + q(e.path()));
    EXPECT_EQ(dump.status, 1) << e.path();
    EXPECT_NE(dump.err.find("version 0400 is not supported"), std::string::npos) << dump.err;
    Result resave = run("resave " + q(e.path()) + " -o " + q(dir / "out.mpls"));
    EXPECT_EQ(resave.status, 1);
    EXPECT_FALSE(fs::exists(dir / "out.mpls"));
  }
  for (const auto& e : fs::directory_iterator(bdmv / "CLIPINF")) {
    Result resave = run("resave " + q(e.path()) + " -o " + q(dir / "out.clpi"));
    EXPECT_EQ(resave.status, 1) << e.path();
    EXPECT_NE(resave.err.find(e.path().filename().string() + ": version 0400 is not supported"),
              std::string::npos)
        << resave.err;
    EXPECT_FALSE(fs::exists(dir / "out.clpi"));
  }

  // A refused read is not forced into an output either.
  for (const char* force : {"", " --force"}) {
    Result resave = run(std::string("resave") + force + " " + q(bdmv / "index.bdmv") + " -o " + q(dir / "out.bdmv"));
    EXPECT_EQ(resave.status, 1);
    EXPECT_NE(resave.err.find(indexVersion), std::string::npos) << resave.err;
    EXPECT_FALSE(fs::exists(dir / "out.bdmv"));
  }

  for (const char* what : {"--clips", "--playlist 00000"}) {
    Result find = run("find " + q(bdmv) + " " + what);
    EXPECT_EQ(find.status, 1) << what << find.out;
    EXPECT_NE(find.err.find(mobjVersion), std::string::npos) << find.err;
    EXPECT_TRUE(find.out.empty()) << find.out;
  }
}

TEST(HonestResultsCli, PartialIndexWritesOnlyWhenForced) {
  TempDir dir;
  nav::IndexTable x;
  x.indexes.titles.resize(4);
  core::Bytes b = nav::writeIndexTable(x);
  b.resize(b.size() - 5);  // the last title is cut short
  test::writeFile(dir / "index.bdmv", b);

  Result plain = run("resave " + q(dir / "index.bdmv") + " -o " + q(dir / "out.bdmv"));
  EXPECT_EQ(plain.status, 1);
  EXPECT_FALSE(fs::exists(dir / "out.bdmv"));
  EXPECT_NE(plain.err.find("index.bdmv ends early at $" ), std::string::npos) << plain.err;
  EXPECT_NE(plain.err.find("--force"), std::string::npos) << plain.err;

  // Forced: what was read is written, and the status still tells of the partial read.
  Result forced = run("resave --force " + q(dir / "index.bdmv") + " -o " + q(dir / "out.bdmv"));
  EXPECT_EQ(forced.status, 1) << forced.err;
  ASSERT_TRUE(fs::exists(dir / "out.bdmv"));
  nav::IndexTable back;
  core::NullLog log;
  ASSERT_TRUE(nav::readIndexTable(test::readFile(dir / "out.bdmv"), "out.bdmv", back, log).usable());
  EXPECT_EQ(back.indexes.titles.size(), 3u);

  Result dump = run("dump " + q(dir / "index.bdmv"));
  EXPECT_EQ(dump.status, 1);
  EXPECT_TRUE(dump.out.empty()) << dump.out;
  Result forcedDump = run("dump --force " + q(dir / "index.bdmv"));
  EXPECT_EQ(forcedDump.status, 1);
  EXPECT_NE(forcedDump.out.find("Titles: 3"), std::string::npos) << forcedDump.out;
}

TEST(HonestResultsCli, ProviderTextThatIsNotUtf8) {
  TempDir dir;
  nav::IndexTable x;
  x.indexes.titles.resize(1);
  x.indexes.length = 26 + 12;  // settled, as every edit keeps it
  x.contentProviderData = "Caf\xE9";
  test::writeFile(dir / "index.bdmv", nav::writeIndexTable(x));
  Result js = run("dump --json " + q(dir / "index.bdmv"));
  ASSERT_EQ(js.status, 0) << js.err;
  auto j = nlohmann::json::parse(js.out);
  EXPECT_EQ(j["contentProviderData"], "Caf\xC3\xA9");  // é, from its Latin-1 byte
  EXPECT_EQ(j["contentProviderDataHex"], "436166E9");

  // UTF-8 text stays as it is, with no raw copy beside it.
  x.contentProviderData = "Caf\xC3\xA9";
  test::writeFile(dir / "utf8.bdmv", nav::writeIndexTable(x));
  Result u = run("dump --json " + q(dir / "utf8.bdmv"));
  ASSERT_EQ(u.status, 0);
  auto ju = nlohmann::json::parse(u.out);
  EXPECT_EQ(ju["contentProviderData"], "Caf\xC3\xA9");
  EXPECT_FALSE(ju.contains("contentProviderDataHex"));

  // Provider data is bytes: a zero byte inside it survives a resave.
  x.contentProviderData = std::string("AB\0CD", 5);
  core::Bytes in = nav::writeIndexTable(x);
  test::writeFile(dir / "zero.bdmv", in);
  Result r = run("resave " + q(dir / "zero.bdmv") + " -o " + q(dir / "zero.out"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(test::readFile(dir / "zero.out"), in);
  Result zj = run("dump --json " + q(dir / "zero.bdmv"));
  ASSERT_EQ(zj.status, 0);
  EXPECT_EQ(nlohmann::json::parse(zj.out)["contentProviderData"], std::string("AB\0CD", 5));
}

TEST(HonestResultsCli, MenuWithADamagedTailIsNotTakenAsWhole) {
  TempDir dir;
  igs::Menu m = igs::test::syntheticMenu(3);
  core::NullLog log;
  igs::settleMenu(m, log);
  core::Bytes good = igs::writeMenu(m, igs::SaveForm::MenuFile);
  // Units without their end segment, then bytes that are no unit at all.
  core::Bytes damaged(good.begin(), good.end() - 13);
  damaged.insert(damaged.end(), {'X', 'X', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  test::writeFile(dir / "bad.mnu", damaged);

  const std::vector<std::pair<std::string, fs::path>> writers = {
      {"menu resave", dir / "a.mnu"},
      {"resave", dir / "b.mnu"},
      {"menu mux", dir / "c.m2ts"},
      {"menu export-objects", dir / "objects"},
  };
  for (const auto& [cmd, out] : writers) {
    Result r = run(cmd + " " + q(dir / "bad.mnu") + " -o " + q(out));
    EXPECT_EQ(r.status, 1) << cmd << r.out << r.err;
    EXPECT_FALSE(fs::exists(out)) << cmd;
    EXPECT_NE(r.err.find("does not start with \"IG\""), std::string::npos) << cmd << r.err;
    // The status-bar error of the reader appears once, as an error line.
    EXPECT_EQ(count(r.err, "ERROR: File format error"), 1u) << cmd << r.err;
    EXPECT_EQ(r.out.find("ERROR"), std::string::npos) << cmd << r.out;
  }
  Result dump = run("menu dump " + q(dir / "bad.mnu"));
  EXPECT_EQ(dump.status, 1);
  EXPECT_TRUE(dump.out.empty()) << dump.out;

  // With --force the menu read so far is written, and reads back as the same pages.
  Result forced = run("menu resave --force " + q(dir / "bad.mnu") + " -o " + q(dir / "a.mnu"));
  EXPECT_EQ(forced.status, 1);
  ASSERT_TRUE(fs::exists(dir / "a.mnu"));
  igs::Menu back;
  ASSERT_TRUE(igs::readMenu(dir / "a.mnu", back, log).complete());
  EXPECT_EQ(back.ics.pages, m.ics.pages);
  Result mux = run("menu mux --force " + q(dir / "bad.mnu") + " -o " + q(dir / "c.m2ts"));
  EXPECT_EQ(mux.status, 1) << mux.err;
  EXPECT_TRUE(fs::exists(dir / "c.m2ts")) << mux.err;
  EXPECT_EQ(mux.err.find("Mux error"), std::string::npos) << mux.err;
}

TEST(HonestResultsCli, OneMenuLoaderForEveryCommand) {
  TempDir dir;
  igs::Menu m = igs::test::syntheticMenu(7);
  core::NullLog log;
  ASSERT_TRUE(igs::muxMenuToFile(m, dir / "00001.m2ts", log));
  // A stream whose last source packet is cut short is still a stream.
  core::Bytes ts = test::readFile(dir / "00001.m2ts");
  ts.insert(ts.end(), {0, 0, 0, 0, 0x47});
  test::writeFile(dir / "00002.M2TS", ts);
  for (const char* name : {"00001.m2ts", "00002.M2TS"}) {
    Result dump = run(std::string("menu dump --json ") + q(dir / name));
    ASSERT_EQ(dump.status, 0) << name << dump.err;
    EXPECT_EQ(nlohmann::json::parse(dump.out)["pages"].size(), m.ics.pages.size()) << name;
  }
  // A menu file under an upper-case extension, dumped, resaved and muxed alike.
  igs::settleMenu(m, log);
  test::writeFile(dir / "MENU.MNU", igs::writeMenu(m, igs::SaveForm::MenuFile));
  EXPECT_EQ(run("menu dump " + q(dir / "MENU.MNU")).status, 0);
  EXPECT_EQ(run("menu resave " + q(dir / "MENU.MNU") + " -o " + q(dir / "r.mnu")).status, 0);
  Result mux = run("menu mux " + q(dir / "MENU.MNU") + " -o " + q(dir / "m.m2ts"));
  EXPECT_EQ(mux.status, 0) << mux.err;
}

TEST(HonestResultsCli, NumbersAreReadStrictly) {
  TempDir dir;
  igs::Menu m = igs::test::syntheticMenu(2);
  core::NullLog log;
  ASSERT_TRUE(igs::muxMenuToFile(m, dir / "s.m2ts", log));
  for (const char* pid : {"0x1400junk", "0x", "-1", "1400 ", "0x2000"}) {
    Result r = run(std::string("demux ") + q(dir / "s.m2ts") + " --pid '" + pid + "' -o " + q(dir / "o.mnu"));
    EXPECT_EQ(r.status, 2) << pid;
    EXPECT_FALSE(fs::exists(dir / "o.mnu")) << pid;
  }
  Result ok = run("demux " + q(dir / "s.m2ts") + " --pid 0x1400 -o " + q(dir / "o.mnu"));
  EXPECT_EQ(ok.status, 0) << ok.err;
  Result junkPid = run("menu extract " + q(dir / "s.m2ts") + " --pid 5120x -o " + q(dir / "e.mnu"));
  EXPECT_EQ(junkPid.status, 2);
  Result decimalPid = run("menu extract " + q(dir / "s.m2ts") + " --pid 5120 -o " + q(dir / "e.mnu"));
  EXPECT_EQ(decimalPid.status, 0) << decimalPid.err;
}

// A stream that lost packets is a partial read for every command that takes a menu or
// a PID out of it: exit 1, nothing written (an earlier output stays as it was) unless
// --force, and the loss named on stderr.
TEST(HonestResultsCli, DamagedStreamIsAPartialRead) {
  TempDir dir;
  igs::Menu m = igs::test::syntheticMenu(5);
  core::NullLog log;
  ASSERT_TRUE(igs::muxMenuToFile(m, dir / "good.m2ts", log));
  const core::Bytes good = test::readFile(dir / "good.m2ts");
  ASSERT_EQ(good.size() % 192, 0u);
  auto pidAt = [&](size_t k) { return ((good[k * 192 + 5] & 0x1F) << 8) | good[k * 192 + 6]; };
  auto startsPes = [&](size_t k) { return (good[k * 192 + 5] & 0x40) != 0; };
  // A packet of the menu PID that continues a PES packet (not its first).
  size_t inside = 0;
  for (size_t k = 1; k < good.size() / 192 && !inside; ++k)
    if (pidAt(k) == 0x1400 && !startsPes(k) && pidAt(k - 1) == 0x1400) inside = k;
  ASSERT_GT(inside, 0u) << "the synthetic menu needs a PES packet longer than one packet";

  core::Bytes noSync = good;
  noSync[inside * 192 + 4] = 0x00;  // that packet loses its sync byte
  test::writeFile(dir / "nosync.m2ts", noSync);
  core::Bytes lost = good;  // that packet is gone: its PES packet misses a piece
  lost.erase(lost.begin() + std::ptrdiff_t(inside * 192), lost.begin() + std::ptrdiff_t((inside + 1) * 192));
  test::writeFile(dir / "lost.m2ts", lost);
  core::Bytes cut(good.begin(), good.begin() + std::ptrdiff_t(inside * 192));  // the stream ends inside it
  test::writeFile(dir / "cut.m2ts", cut);

  const core::Bytes old = {'o', 'l', 'd'};
  for (const char* name : {"nosync.m2ts", "lost.m2ts", "cut.m2ts"}) {
    const fs::path in = dir / name;
    test::writeFile(dir / "o.mnu", old);
    Result demux = run("demux " + q(in) + " --pid 0x1400 -o " + q(dir / "o.mnu"));
    EXPECT_EQ(demux.status, 1) << name << demux.out << demux.err;
    EXPECT_NE(demux.err.find("the stream is damaged"), std::string::npos) << name << demux.err;
    EXPECT_EQ(test::readFile(dir / "o.mnu"), old) << name;

    Result extract = run("menu extract " + q(in) + " -o " + q(dir / "e.mnu"));
    EXPECT_EQ(extract.status, 1) << name << extract.err;
    EXPECT_FALSE(fs::exists(dir / "e.mnu")) << name;
    Result dump = run("menu dump " + q(in));
    EXPECT_EQ(dump.status, 1) << name << dump.err;
    EXPECT_TRUE(dump.out.empty()) << name << dump.out;

    // --force writes what was read, and the status still tells.
    Result forced = run("demux --force " + q(in) + " --pid 0x1400 -o " + q(dir / "o.mnu"));
    EXPECT_EQ(forced.status, 1) << name << forced.err;
    EXPECT_NE(test::readFile(dir / "o.mnu"), old) << name;
  }
  // The stream as it was muxed demuxes whole, and the menu file reads back complete.
  Result whole = run("demux " + q(dir / "good.m2ts") + " --pid 0x1400 -o " + q(dir / "o.mnu"));
  EXPECT_EQ(whole.status, 0) << whole.err;
  igs::Menu back;
  EXPECT_TRUE(igs::readMenu(dir / "o.mnu", back, log).complete());
  EXPECT_EQ(back.ics.pages, m.ics.pages);
}

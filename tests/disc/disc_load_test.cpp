#include <gtest/gtest.h>

#include <algorithm>

#include "disc/disc_load.h"
#include "support/test_support.h"

using namespace morvex;
using namespace morvex::disc;
namespace fs = std::filesystem;

namespace {

// A small disc folder written with the project's writers.
struct Disc {
  test::TempDir tmp;
  fs::path bdmv;
  explicit Disc(bool use83 = false, size_t titles = 2) {
    bdmv = tmp / "My Disc" / "BDMV";
    for (const char* d : {"PLAYLIST", "CLIPINF", "BACKUP", "STREAM", "BDJO", "AUXDATA"})
      fs::create_directories(bdmv / d);
    auto names = core::FileNames::make(use83);
    nav::IndexTable x;
    for (size_t i = 0; i < titles; ++i) {
      nav::Title t;
      t.titleNumber = static_cast<uint32_t>(i + 1);
      t.objectId = 0;
      x.indexes.titles.push_back(t);
    }
    test::writeFile(bdmv / names.indexfile, nav::writeIndexTable(x));
    nav::MovieObjectFile m;
    m.movieObjects.objects.resize(3);
    m.movieObjects.length = nav::movieObjectsLength(m.movieObjects);
    test::writeFile(bdmv / names.mobjfile, nav::writeMovieObjectFile(m));
    for (const char* n : {"00002", "00000", "00001"}) test::writeFile(bdmv / "PLAYLIST" / (n + names.playlistext), {1});
    for (const char* n : {"00011", "00010"}) test::writeFile(bdmv / "CLIPINF" / (n + names.clipinfext), {1});
    fs::create_directories(bdmv / "PLAYLIST" / "sub.mpls");  // a folder is not listed
    test::writeFile(bdmv / "PLAYLIST" / "notes.txt", {1});
    test::writeFile(bdmv / "STREAM" / ("00010" + names.streamext), std::vector<uint8_t>(1234, 0));
    test::writeFile(bdmv / "BDJO" / "00001.bdjo", {1});
    test::writeFile(bdmv / "BDJO" / "00000.bdjo", {1});
    sound::SoundFile s = sound::newSoundFile();
    sound::SoundEntry e;
    e.data = {0, 1, 2, 3};
    sound::insertSound(s, -1, e);
    test::writeFile(bdmv / "AUXDATA" / "sound.bdmv", sound::writeSoundFile(s));
  }
};

}  // namespace

TEST(DiscLoad, FullFolderLogsEveryStepInOrder) {
  Disc d;
  core::MemoryLog log;
  DiscLoad r = loadDisc(d.bdmv, {}, log);
  EXPECT_TRUE(r.checkPassed && r.complete && r.mobjGood && r.indexGood);
  EXPECT_FALSE(log.hadError());
  std::vector<std::string> expected = {
      "Checking required files and directories...",
      "PLAYLIST folder: OK",
      "CLIPINF folder: OK",
      "BACKUP folder: OK",
      "index.bdmv: OK",
      "MovieObject.bdmv: OK",
      "Reading MovieObject.bdmv",
      "  Found 3 objects, 0 extended entry.",
      "Reading playlists",
      "  Found 3 playlists.",
      "Reading clipinfos",
      "  Found 2 clipinfos.",
      "Reading index.bdmv",
      "  Found 2 titles, 0 extended entry.",
      "AUXDATA folder: OK",
      "AUXDATA/sound.bdmv: OK",
      "Reading sound.bdmv",
      " Found 1 sound entry",
      "STREAM folder: OK",
      "  Stream 00011.m2ts missing",
      "  Found 1 AV streams, missing 1",
      "META folder: missing",
      "BDJO folder: OK",
      "JAR folder: missing",
      "",
  };
  EXPECT_EQ(log.plainLines(), expected);
  EXPECT_EQ(log.statusText[0], "Ready.");
  EXPECT_EQ(r.playlists, (std::vector<std::string>{"00000", "00001", "00002"}));
  EXPECT_EQ(r.clipinfos, (std::vector<std::string>{"00010", "00011"}));
  ASSERT_EQ(r.avStreams.size(), 2u);
  EXPECT_EQ(r.avStreams[0], (AvStream{"00010.m2ts", 1234}));
  EXPECT_EQ(r.avStreams[1], AvStream{});
  EXPECT_EQ(r.ciRefs.size(), 2u);
  EXPECT_TRUE(r.ciRefs[0].empty());
  EXPECT_EQ(r.bdjObjects, (std::vector<std::string>{"00000", "00001"}));
  EXPECT_EQ(r.bdjTitles, r.bdjObjects);
  EXPECT_TRUE(r.hasSound);
  EXPECT_EQ(r.sound.entries.size(), 1u);
  EXPECT_EQ(r.movieObjects.movieObjects.objects.size(), 3u);
  EXPECT_EQ(r.discLabel, "My Disc");

  // Loading again gives the same result.
  core::MemoryLog again;
  DiscLoad r2 = loadDisc(d.bdmv, {}, again);
  EXPECT_EQ(again.plainLines(), expected);
  EXPECT_EQ(r2.avStreams, r.avStreams);
  EXPECT_EQ(r2.index, r.index);
}

TEST(DiscLoad, CheckRunsEveryItemAndFailsOnAnyMissing) {
  Disc d;
  fs::remove_all(d.bdmv / "CLIPINF");
  fs::remove(d.bdmv / "MovieObject.bdmv");
  core::MemoryLog log;
  DiscLoad r = loadDisc(d.bdmv, {}, log);
  EXPECT_FALSE(r.checkPassed);
  std::vector<std::string> expected = {
      "Checking required files and directories...", "PLAYLIST folder: OK", "CLIPINF folder: missing",
      "BACKUP folder: OK", "index.bdmv: OK", "MovieObject.bdmv: missing", "ERROR: Check failed."};
  EXPECT_EQ(log.plainLines(), expected);
  EXPECT_TRUE(log.hadError());
  EXPECT_TRUE(r.playlists.empty());
  EXPECT_TRUE(r.index.indexes.titles.empty());
}

TEST(DiscLoad, ShortNamesNeedNoBackupFolder) {
  Disc d(true);
  fs::remove_all(d.bdmv / "BACKUP");
  fs::rename(d.bdmv / "STREAM" / "00010.MTS", d.bdmv / "STREAM" / "00011.MTS");
  core::MemoryLog log;
  LoadOptions o;
  o.use83names = true;
  DiscLoad r = loadDisc(d.bdmv, o, log);
  ASSERT_TRUE(r.complete) << log.text();
  auto lines = log.plainLines();
  EXPECT_EQ(lines[3], "INDEX.BDM: OK");
  EXPECT_EQ(lines[4], "MOVIEOBJ.BDM: OK");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "BACKUP folder: OK"), 0);
  EXPECT_EQ(r.playlists.size(), 3u);
  EXPECT_EQ(r.avStreams[1].fileName, "00011.MTS");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "  Stream 00010.MTS missing"), 1);

  // The same folder with long names fails the check.
  core::MemoryLog secondLog;
  EXPECT_FALSE(loadDisc(d.bdmv, {}, secondLog).checkPassed);
}

TEST(DiscLoad, OptionalItemsMissing) {
  Disc d;
  fs::remove_all(d.bdmv / "BDJO");
  fs::remove_all(d.bdmv / "AUXDATA" / "sound.bdmv");
  fs::remove_all(d.bdmv / "STREAM");
  core::MemoryLog log;
  DiscLoad r = loadDisc(d.bdmv, {}, log);
  EXPECT_TRUE(r.complete);
  EXPECT_FALSE(log.hadError());
  EXPECT_FALSE(r.hasSound);
  EXPECT_TRUE(r.bdjObjects.empty() && r.bdjTitles.empty() && r.bdjFirstPlayback.empty() && r.bdjTopMenu.empty());
  auto lines = log.plainLines();
  auto at = [&](const std::string& s) { return std::find(lines.begin(), lines.end(), s) - lines.begin(); };
  EXPECT_LT(at("AUXDATA/sound.bdmv: missing"), at("STREAM folder: missing"));
  EXPECT_LT(at("  Found 0 AV streams, missing 2"), at("BDJO folder: missing"));
  EXPECT_EQ(lines.back(), "");
}

TEST(DiscLoad, BadFilesAndTooManyTitles) {
  {
    Disc d;
    test::writeFile(d.bdmv / "MovieObject.bdmv", {'M', 'O', 'B', 'J', '0', '4', '0', '0'});
    test::writeFile(d.bdmv / "index.bdmv", {'I', 'N', 'D', 'X', '0', '9', '0', '0'});
    core::MemoryLog log;
    DiscLoad r = loadDisc(d.bdmv, {}, log);
    EXPECT_TRUE(r.complete);  // the load goes on after bad files
    EXPECT_FALSE(r.mobjGood);
    EXPECT_FALSE(r.indexGood);
    auto lines = log.plainLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "ERROR: Format error MovieObject.bdmv"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "ERROR: index.bdmv format error at $00000008"), lines.end());
  }
  {
    Disc d(false, 4);
    auto b = test::readFile(d.bdmv / "index.bdmv");
    b.resize(b.size() - 12);  // the last title is gone
    test::writeFile(d.bdmv / "index.bdmv", b);
    core::MemoryLog log;
    DiscLoad r = loadDisc(d.bdmv, {}, log);
    EXPECT_TRUE(r.complete);
    EXPECT_TRUE(r.indexTruncated);
    EXPECT_FALSE(r.mobjTruncated);
    EXPECT_EQ(r.index.indexes.titles.size(), 3u);
  }
  {
    Disc d(false, 1000);
    core::MemoryLog log;
    DiscLoad r = loadDisc(d.bdmv, {}, log);
    EXPECT_TRUE(r.stopped);
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(log.plainLines().back(), "Error in index.bdmv (number of title: 1000)");
    EXPECT_TRUE(r.avStreams.empty());
  }
}

TEST(DiscLoad, FolderChoiceAndLabel) {
  EXPECT_EQ(discFolderFor("/d/Disc"), fs::path("/d/Disc/BDMV"));
  EXPECT_EQ(discFolderFor("/d/Disc/BDMV"), fs::path("/d/Disc/BDMV"));
  EXPECT_EQ(discFolderFor("/d/Disc/BDMV/"), fs::path("/d/Disc/BDMV"));
  EXPECT_EQ(discFolderFor("/d/Disc/bdmv"), fs::path("/d/Disc/bdmv/BDMV"));
  test::TempDir t;
  fs::create_directories(t / "Movies" / "MyDisc" / "BDMV");
  EXPECT_EQ(discLabel(t / "Movies" / "MyDisc" / "BDMV"), "MyDisc");
  EXPECT_EQ(discLabel((t / "Movies" / "MyDisc" / "BDMV").string() + "/"), "MyDisc");
  EXPECT_EQ(windowTitle("0.1.0", "MyDisc"), "Morvex v0.1.0 [MyDisc]");
}

TEST(DiscLoad, FixtureDiscsLoad) {
  MORVEX_REQUIRE_FIXTURES();
  for (const auto& bdmv : test::fixtureDiscs()) {
    core::MemoryLog log;
    DiscLoad r = loadDisc(bdmv, {}, log);
    ASSERT_TRUE(r.complete) << bdmv << "\n" << log.text();
    EXPECT_TRUE(r.mobjGood && r.indexGood) << bdmv;
    EXPECT_FALSE(log.hadError()) << log.text();
    EXPECT_EQ(r.playlists.size(), listNames(bdmv / "PLAYLIST", ".mpls").size());
    EXPECT_EQ(r.streamsMissing, r.clipinfos.size()) << bdmv;  // the fixtures carry no streams
    EXPECT_EQ(r.discLabel, bdmv.parent_path().filename().string());
  }
}

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "core/save.h"
#include "support/test_support.h"

using namespace morvex::core;
using morvex::test::readFile;
using morvex::test::TempDir;
using morvex::test::writeFile;
namespace fs = std::filesystem;

namespace {
SaveRequest request(const fs::path& dir, const std::string& name = "index.bdmv") {
  SaveRequest r;
  r.folder = dir;
  r.fileName = name;
  r.startMessage = "Saving [bl]" + name + "[/bl]";
  r.doneMessage = name + " saved.";
  r.copyToBackupDir = true;
  r.discFolder = dir;
  return r;
}
}  // namespace

TEST(SavePolicy, OnlyFirstKeepsTheOldestBackup) {
  TempDir d;
  writeFile(d / "index.bdmv", {1});
  MemoryLog log;
  SaveSettings s;  // backups on, "Only first"
  ASSERT_TRUE(saveFile(log, s, request(d.path()), {2}));
  ASSERT_TRUE(saveFile(log, s, request(d.path()), {3}));
  EXPECT_EQ(readFile(d / "index.bdmv"), Bytes{3});
  EXPECT_EQ(readFile(d / "index.bdmv.backup"), Bytes{1});
  auto lines = log.plainLines();
  EXPECT_EQ(lines.front(), "Saving index.bdmv");
  EXPECT_EQ(lines.back(), "index.bdmv saved.");
  EXPECT_EQ(log.status[0], "Ready.");
}

TEST(SavePolicy, OverwriteKeepsThePreviousContent) {
  TempDir d;
  writeFile(d / "index.bdmv", {1});
  writeFile(d / "index.bdmv.backup", {0});
  MemoryLog log;
  SaveSettings s;
  s.backupMode = BackupMode::Overwrite;
  ASSERT_TRUE(saveFile(log, s, request(d.path()), {2}));
  EXPECT_EQ(readFile(d / "index.bdmv.backup"), Bytes{1});
  EXPECT_EQ(readFile(d / "index.bdmv"), Bytes{2});
}

TEST(SavePolicy, StopIfExistsLeavesEverythingAlone) {
  TempDir d;
  fs::create_directories(d / "BACKUP");
  writeFile(d / "index.bdmv", {1});
  writeFile(d / "index.bdmv.backup", {0});
  MemoryLog log;
  SaveSettings s;
  s.backupMode = BackupMode::StopIfExists;
  s.saveBackupDir = true;
  EXPECT_FALSE(saveFile(log, s, request(d.path()), {2}));
  EXPECT_TRUE(log.errorflag);
  EXPECT_EQ(log.plainLines().back(), "ERROR: Cannot create backup file.");
  EXPECT_EQ(readFile(d / "index.bdmv"), Bytes{1});
  EXPECT_EQ(readFile(d / "index.bdmv.backup"), Bytes{0});
  EXPECT_FALSE(fs::exists(d / "BACKUP" / "index.bdmv"));
}

TEST(SavePolicy, NewFileWithBackupsOnAndTheBackupFolderCopy) {
  TempDir d;
  fs::create_directories(d / "BACKUP");
  MemoryLog log;
  log.errorflag = true;  // a save starts by clearing it
  SaveSettings s;
  s.saveBackupDir = true;
  ASSERT_TRUE(saveFile(log, s, request(d.path()), {7, 8}));
  EXPECT_FALSE(log.errorflag);
  EXPECT_FALSE(fs::exists(d / "index.bdmv.backup"));
  EXPECT_EQ(readFile(d / "BACKUP" / "index.bdmv"), (Bytes{7, 8}));
  for (const auto& l : log.plainLines()) EXPECT_EQ(l.find("ERROR"), std::string::npos);
}

TEST(SavePolicy, BackupsOffReplacesAtomicallyAndLeavesNoTemporaryFile) {
  TempDir d;
  writeFile(d / "index.bdmv", {1, 2, 3});
  MemoryLog log;
  SaveSettings s;
  s.backup = false;
  ASSERT_TRUE(saveFile(log, s, request(d.path()), {9}));
  EXPECT_EQ(readFile(d / "index.bdmv"), Bytes{9});
  int files = 0;
  for (auto& e : fs::directory_iterator(d.path())) (void)e, ++files;
  EXPECT_EQ(files, 1);
}

TEST(SavePolicy, UnwritableFolderReportsAndKeepsTheOldFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
  TempDir d;
  writeFile(d / "index.bdmv", {1});
  ::chmod(d.path().c_str(), 0555);
  MemoryLog log;
  SaveSettings s;
  s.backup = false;
  EXPECT_FALSE(saveFile(log, s, request(d.path()), {2}));
  ::chmod(d.path().c_str(), 0755);
  EXPECT_TRUE(log.errorflag);
  EXPECT_EQ(readFile(d / "index.bdmv"), Bytes{1});
}

TEST(SavePolicy, MissingFolderIsAnErrorNotACrash) {
  TempDir d;
  MemoryLog log;
  SaveSettings s;
  EXPECT_FALSE(saveFile(log, s, request(d / "nope"), {2}));
  EXPECT_TRUE(log.errorflag);
}

TEST(FileNames, EightDotThreeSet) {
  auto l = FileNames::make(false);
  EXPECT_EQ(l.indexfile, "index.bdmv");
  EXPECT_EQ(l.playlistext, ".mpls");
  auto s = FileNames::make(true);
  EXPECT_EQ(s.indexfile, "INDEX.BDM");
  EXPECT_EQ(s.mobjfile, "MOVIEOBJ.BDM");
  EXPECT_EQ(s.playlistext, ".MPL");
  EXPECT_EQ(s.clipinfext, ".CPI");
  EXPECT_EQ(s.streamext, ".MTS");
}

TEST(MoveNoReplace, RefusesAnExistingTarget) {
  TempDir d;
  writeFile(d / "a", {1});
  writeFile(d / "b", {2});
  EXPECT_FALSE(moveNoReplace(d / "a", d / "b"));
  EXPECT_EQ(readFile(d / "b"), Bytes{2});
  EXPECT_TRUE(moveNoReplace(d / "a", d / "c"));
  EXPECT_FALSE(fs::exists(d / "a"));
}

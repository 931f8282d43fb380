#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
  EXPECT_EQ(log.statusText[0], "Ready.");
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
  EXPECT_TRUE(log.hadError());
  EXPECT_EQ(log.plainLines().back(), "ERROR: Cannot create backup file.");
  EXPECT_EQ(readFile(d / "index.bdmv"), Bytes{1});
  EXPECT_EQ(readFile(d / "index.bdmv.backup"), Bytes{0});
  EXPECT_FALSE(fs::exists(d / "BACKUP" / "index.bdmv"));
}

TEST(SavePolicy, NewFileWithBackupsOnAndTheBackupFolderCopy) {
  TempDir d;
  fs::create_directories(d / "BACKUP");
  MemoryLog log;
  log.error("an earlier failure");  // a save starts by clearing the error state
  log.lines.clear();
  SaveSettings s;
  s.saveBackupDir = true;
  ASSERT_TRUE(saveFile(log, s, request(d.path()), {7, 8}));
  EXPECT_FALSE(log.hadError());
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
  EXPECT_TRUE(log.hadError());
  EXPECT_EQ(readFile(d / "index.bdmv"), Bytes{1});
}

TEST(SavePolicy, MissingFolderIsAnErrorNotACrash) {
  TempDir d;
  MemoryLog log;
  SaveSettings s;
  EXPECT_FALSE(saveFile(log, s, request(d / "nope"), {2}));
  EXPECT_TRUE(log.hadError());
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

// ---- Faults during a save -----------------------------------------------------------

namespace {
std::vector<std::string> namesIn(const fs::path& dir) {
  std::vector<std::string> names;
  for (auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The id of a process that has ended.
pid_t deadPid() {
  pid_t p = ::fork();
  if (p == 0) ::_exit(0);
  ::waitpid(p, nullptr, 0);
  return p;
}
}  // namespace

TEST(SaveFaults, FullDiskKeepsTheOriginalAndTheOlderBackupInEveryMode) {
  const Bytes original(3000, 0x11), older(3000, 0x22), bigger(200000, 0x33);
  for (BackupMode mode : {BackupMode::OnlyFirst, BackupMode::Overwrite, BackupMode::StopIfExists}) {
    for (bool withOlderBackup : {false, true}) {
      SCOPED_TRACE(std::to_string(int(mode)) + (withOlderBackup ? " with an older backup" : " without a backup"));
      morvex::test::SmallDisk disk(64 * 1024);
      writeFile(disk / "index.bdmv", original);
      if (withOlderBackup) writeFile(disk / "index.bdmv.backup", older);
      disk.fill(8 * 1024);
      const auto before = namesIn(disk.path());
      MemoryLog log;
      SaveSettings s;
      s.backupMode = mode;
      EXPECT_FALSE(saveFile(log, s, request(disk.path()), bigger));
      EXPECT_TRUE(log.hadError());
      EXPECT_EQ(readFile(disk / "index.bdmv"), original);
      if (withOlderBackup) EXPECT_EQ(readFile(disk / "index.bdmv.backup"), older);
      // nothing new is left behind: no backup of a save that did not happen, no temporary
      EXPECT_EQ(namesIn(disk.path()), before);
    }
  }
}

TEST(SaveFaults, BackupIsASecondNameNotAMoveAndKeepsTheOriginalsPermissions) {
  TempDir d;
  writeFile(d / "index.bdmv", {1, 2});
  ::chmod((d / "index.bdmv").c_str(), 0640);
  struct stat before {};
  ASSERT_EQ(::stat((d / "index.bdmv").c_str(), &before), 0);
  MemoryLog log;
  SaveSettings s;
  s.backupMode = BackupMode::Overwrite;
  writeFile(d / "index.bdmv.backup", {0});
  ASSERT_TRUE(saveFile(log, s, request(d.path()), {3}));
  EXPECT_EQ(readFile(d / "index.bdmv"), Bytes{3});
  EXPECT_EQ(readFile(d / "index.bdmv.backup"), (Bytes{1, 2}));
  struct stat after {};
  ASSERT_EQ(::stat((d / "index.bdmv").c_str(), &after), 0);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  // A new file gets the usual permissions, not the private ones of its temporary.
  std::string err;
  ASSERT_TRUE(writeFileAtomic(d / "fresh.bin", {1}, err)) << err;
  struct stat fresh {};
  ASSERT_EQ(::stat((d / "fresh.bin").c_str(), &fresh), 0);
  const mode_t mask = ::umask(022);
  ::umask(mask);
  EXPECT_EQ(fresh.st_mode & 0777, 0666u & ~mask);
}

TEST(SaveFaults, APlantedLinkAtTheTemporaryNameIsNeverFollowed) {
  TempDir d;
  writeFile(d / "victim", {0xAA, 0xBB});
  writeFile(d / "index.bdmv", {1});
  // The names earlier versions used beside the target, and the form used now with
  // every suffix a guess could take: none of them may lead to the victim.
  const std::string pid = std::to_string(::getpid());
  fs::create_symlink(d / "victim", d / ("index.bdmv.Morvex_" + pid + ".tmp"));
  fs::create_symlink(d / "victim", d / ("index.bdmv.backup.Morvex_" + pid + ".tmp"));
  std::string err;
  ASSERT_TRUE(writeFileAtomic(d / "index.bdmv", {2, 2, 2}, err)) << err;
  MemoryLog log;
  SaveSettings s;
  s.backupMode = BackupMode::Overwrite;
  ASSERT_TRUE(saveFile(log, s, request(d.path()), {3}));
  EXPECT_EQ(readFile(d / "victim"), (Bytes{0xAA, 0xBB}));
  EXPECT_EQ(readFile(d / "index.bdmv"), Bytes{3});
  EXPECT_EQ(readFile(d / "index.bdmv.backup"), (Bytes{2, 2, 2}));
  // The temporary itself is new, private and no link.
  AtomicFile f(d / "other.bin");
  ASSERT_TRUE(f.open(err)) << err;
  struct stat st {};
  ASSERT_EQ(::lstat(f.tempPath().c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(f.tempPath().parent_path(), d.path());
  f.discard();
  EXPECT_FALSE(fs::exists(f.tempPath()));
  EXPECT_FALSE(fs::exists(d / "other.bin"));
}

TEST(SaveFaults, LeftoversOfEndedProcessesGoAndThoseOfRunningOnesStay) {
  TempDir d;
  const std::string dead = std::to_string(deadPid()), alive = std::to_string(::getpid());
  writeFile(d / ("index.bdmv.Morvex_" + dead + "_k3j9x0aa.tmp"), {1});
  writeFile(d / ("index.bdmv.Morvex_" + dead + ".tmp"), {1});
  writeFile(d / ("Morvex_" + dead + "_MENU.tmp"), {1});
  fs::create_directories(d / ("Morvex_" + dead + "_work") / "inner");
  writeFile(d / "keep" , {7});
  fs::create_symlink(d / "keep", d / ("Morvex_" + dead + "_link"));
  writeFile(d / ("index.bdmv.Morvex_" + alive + "_running.tmp"), {1});
  writeFile(d / "Morvex_notes.txt", {1});
  writeFile(d / ("index.bdmv.Morvex_" + dead + "_x.bak"), {1});
  removeStaleTemporaries(d.path());
  std::vector<std::string> expect = {"Morvex_notes.txt", "index.bdmv.Morvex_" + alive + "_running.tmp",
                                     "index.bdmv.Morvex_" + dead + "_x.bak", "keep"};
  std::sort(expect.begin(), expect.end());
  EXPECT_EQ(namesIn(d.path()), expect);
  EXPECT_EQ(readFile(d / "keep"), Bytes{7});  // a leftover link goes, never what it points to
  // A save beside them cleans its folder the same way.
  writeFile(d / ("index.bdmv.Morvex_" + dead + "_again.tmp"), {1});
  MemoryLog log;
  ASSERT_TRUE(saveFile(log, SaveSettings{}, request(d.path()), {5}));
  EXPECT_FALSE(fs::exists(d / ("index.bdmv.Morvex_" + dead + "_again.tmp")));
}

TEST(SaveFaults, SameFileComparesTheFileNotTheName) {
  TempDir d;
  writeFile(d / "a", {1});
  writeFile(d / "b", {1});
  fs::create_hard_link(d / "a", d / "hard");
  fs::create_symlink(d / "a", d / "soft");
  EXPECT_TRUE(sameFile(d / "a", d / "hard"));
  EXPECT_TRUE(sameFile(d / "soft", d / "a"));
  EXPECT_TRUE(sameFile(d / "a", d.path() / "." / "a"));
  EXPECT_FALSE(sameFile(d / "a", d / "b"));
  EXPECT_FALSE(sameFile(d / "a", d / "missing"));
}

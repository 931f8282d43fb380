#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
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

TEST(SaveFaults, OnlyTemporaryFilesOfEndedRunsGoNeverAFolderOrAnotherName) {
  TempDir d;
  const std::string dead = std::to_string(deadPid()), alive = std::to_string(::getpid());
  writeFile(d / (".Morvex_" + dead + "_k3j9x0aa.tmp"), {1});  // a killed run's temporary
  // Everything else stays, whatever its name says: the user's own folder and files,
  // names that only look like ours, a link, and a running process's temporary.
  fs::create_directories(d / ("Morvex_" + dead + "_my_notes") / "inner");
  writeFile(d / ("Morvex_" + dead + "_my_notes") / "inner" / "text", {9});
  fs::create_directories(d / (".Morvex_" + dead + "_abcdefgh.tmp"));
  writeFile(d / ("Morvex_" + dead + "_MENU.tmp"), {1});
  writeFile(d / ("index.bdmv.Morvex_" + dead + "_k3j9x0aa.tmp"), {1});
  writeFile(d / (".Morvex_" + dead + "_k3j9x0aa.tmp.txt"), {1});
  writeFile(d / (".Morvex_" + dead + "_K3J9X0AA.tmp"), {1});
  writeFile(d / "keep", {7});
  fs::create_symlink(d / "keep", d / (".Morvex_" + dead + "_linklink.tmp"));
  writeFile(d / (".Morvex_" + alive + "_running.tmp"), {1});
  const auto before = namesIn(d.path());
  removeStaleTemporaries(d.path());
  auto expect = before;
  expect.erase(std::find(expect.begin(), expect.end(), ".Morvex_" + dead + "_k3j9x0aa.tmp"));
  EXPECT_EQ(namesIn(d.path()), expect);
  EXPECT_EQ(readFile(d / ("Morvex_" + dead + "_my_notes") / "inner" / "text"), Bytes{9});
  EXPECT_EQ(readFile(d / "keep"), Bytes{7});
  // A save beside them cleans its folder the same way.
  writeFile(d / (".Morvex_" + dead + "_again000.tmp"), {1});
  MemoryLog log;
  ASSERT_TRUE(saveFile(log, SaveSettings{}, request(d.path()), {5}));
  EXPECT_FALSE(fs::exists(d / (".Morvex_" + dead + "_again000.tmp")));
  EXPECT_TRUE(fs::is_directory(d / ("Morvex_" + dead + "_my_notes") / "inner"));
}

// A run killed while it writes a large file leaves its temporary beside the output; the
// next start finds it through the note the run kept in the temporary folder.
TEST(SaveFaults, TheNextStartRemovesTheTemporaryOfAKilledRunBesideItsOutput) {
  TempDir sysTmp, out;
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  ::setenv("TMPDIR", sysTmp.path().c_str(), 1);
  pid_t child = ::fork();
  if (child == 0) {
    AtomicFile f(out / "stream.mnu");
    std::string err;
    if (!f.open(err)) ::_exit(3);
    const Bytes part(4096, 0x47);
    f.write(part.data(), part.size(), err);
    ::raise(SIGKILL);
    ::_exit(4);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));
  auto left = namesIn(out.path());
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].rfind(".Morvex_" + std::to_string(child) + "_", 0), 0u) << left[0];
  EXPECT_EQ(namesIn(sysTmp.path()), std::vector<std::string>{"Morvex_" + std::to_string(child) + ".folders"});
  removeStaleTemporaries();  // what every start does
  EXPECT_TRUE(namesIn(out.path()).empty());
  EXPECT_TRUE(namesIn(sysTmp.path()).empty());
  if (old) ::setenv("TMPDIR", saved.c_str(), 1);
  else ::unsetenv("TMPDIR");
}

// What an output name stands for decides how it is written.
TEST(SaveTargets, StreamsDevicesAndPipesFollowsLinksAndRefusesFoldersAndSockets) {
  TempDir d;
  std::string err;
  // A link: the file it leads to gets the content, the link stays a link.
  writeFile(d / "real.mpls", {1});
  fs::create_symlink("real.mpls", d / "link.mpls");
  ASSERT_TRUE(writeFileAtomic(d / "link.mpls", {2, 2}, err)) << err;
  EXPECT_TRUE(fs::is_symlink(d / "link.mpls"));
  EXPECT_EQ(readFile(d / "real.mpls"), (Bytes{2, 2}));
  // A link to a name not yet there creates the file it names.
  fs::create_symlink(d / "new.mpls", d / "dangling.mpls");
  ASSERT_TRUE(writeFileAtomic(d / "dangling.mpls", {3}, err)) << err;
  EXPECT_TRUE(fs::is_symlink(d / "dangling.mpls"));
  EXPECT_EQ(readFile(d / "new.mpls"), Bytes{3});
  // A FIFO is written as a stream: the reader gets the bytes, the FIFO stays a FIFO.
  ASSERT_EQ(::mkfifo((d / "pipe").c_str(), 0600), 0);
  pid_t reader = ::fork();
  if (reader == 0) {
    FILE* in = std::fopen((d / "pipe").c_str(), "rb");
    FILE* copy = std::fopen((d / "from_pipe").c_str(), "wb");
    for (int c; in && copy && (c = std::fgetc(in)) != EOF;) std::fputc(c, copy);
    ::_exit(in && copy && std::fclose(copy) == 0 ? 0 : 1);
  }
  ASSERT_TRUE(writeFileAtomic(d / "pipe", {4, 5, 6}, err)) << err;
  int status = 0;
  ::waitpid(reader, &status, 0);
  EXPECT_EQ(readFile(d / "from_pipe"), (Bytes{4, 5, 6}));
  struct stat st {};
  ASSERT_EQ(::lstat((d / "pipe").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  // A character device (the null device made in a private folder) stays a device.
  if (::mknod((d / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
    ASSERT_TRUE(writeFileAtomic(d / "null", Bytes(151872, 1), err)) << err;
    ASSERT_EQ(::lstat((d / "null").c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
  } else if (std::getenv("CI")) {
    ADD_FAILURE() << "mknod failed: a character device cannot be made here";
  }
  // A folder and a socket are refused and stay as they were.
  fs::create_directories(d / "folder.mpls");
  EXPECT_FALSE(writeFileAtomic(d / "folder.mpls", {1}, err));
  EXPECT_NE(err.find("folder"), std::string::npos) << err;
  EXPECT_TRUE(fs::is_directory(d / "folder.mpls"));
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const std::string sockPath = (d / "sock").string();
  ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
  std::memcpy(addr.sun_path, sockPath.c_str(), sockPath.size() + 1);
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  EXPECT_FALSE(writeFileAtomic(d / "sock", {1}, err));
  EXPECT_NE(err.find("socket"), std::string::npos) << err;
  ::close(sock);
  ASSERT_EQ(::lstat((d / "sock").c_str(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  // Nothing was left behind by any of them.
  for (const auto& name : namesIn(d.path())) EXPECT_EQ(name.find("Morvex"), std::string::npos) << name;
}

TEST(SaveTargets, TheLongestNameTheFileSystemTakesCanBeWritten) {
  TempDir d;
  for (size_t length : {200u, 226u, 240u, 255u}) {
    const std::string name = std::string(length - 5, 'n') + ".mpls";
    std::string err;
    ASSERT_TRUE(writeFileAtomic(d / name, {1, 2}, err)) << length << ": " << err;
    EXPECT_EQ(readFile(d / name), (Bytes{1, 2}));
    MemoryLog log;
    SaveSettings s;
    s.backup = false;
    EXPECT_TRUE(saveFile(log, s, request(d.path(), name), {3})) << length;
  }
}

// The copy into the disc's BACKUP folder: a planted link is replaced, not written
// through; the copy is whole or the save says it failed; playlists and clip
// information go to their own folders there.
TEST(SaveFaults, TheBackupFolderCopyIsAtomicAndNeverFollowsAPlantedLink) {
  TempDir d;
  fs::create_directories(d / "BACKUP");
  writeFile(d / "victim", {0xAA});
  fs::create_symlink(d / "victim", d / "BACKUP" / "index.bdmv");
  MemoryLog log;
  SaveSettings s;
  s.saveBackupDir = true;
  ASSERT_TRUE(saveFile(log, s, request(d.path()), {1, 2, 3}));
  EXPECT_EQ(readFile(d / "victim"), Bytes{0xAA});
  EXPECT_FALSE(fs::is_symlink(d / "BACKUP" / "index.bdmv"));
  EXPECT_EQ(readFile(d / "BACKUP" / "index.bdmv"), (Bytes{1, 2, 3}));

  fs::create_directories(d / "PLAYLIST");
  SaveRequest pl;
  pl.folder = d / "PLAYLIST";
  pl.fileName = "00001.mpls";
  pl.copyToBackupDir = true;
  pl.discFolder = d.path();
  pl.backupSubfolder = "PLAYLIST";
  ASSERT_TRUE(saveFile(log, s, pl, {4}));
  EXPECT_EQ(readFile(d / "BACKUP" / "PLAYLIST" / "00001.mpls"), Bytes{4});

  morvex::test::SmallDisk disk(64 * 1024);
  if (!disk.mounted()) {
    if (std::getenv("CI")) ADD_FAILURE() << "no small file system can be mounted here";
    return;
  }
  fs::create_directories(disk / "BACKUP");
  writeFile(disk / "BACKUP" / "index.bdmv", Bytes(100, 0x11));
  const Bytes content(12000, 0x22);
  disk.fill(14000);  // room for the file, not for its copy as well
  MemoryLog full;
  s.backup = false;
  const WriteResult r = saveFile(full, s, request(disk.path()), content);
  EXPECT_FALSE(r);
  EXPECT_TRUE(full.hadError());
  EXPECT_NE(r.error.find("BACKUP"), std::string::npos) << r.error;
  EXPECT_EQ(full.text().find("index.bdmv saved."), std::string::npos) << full.text();
  EXPECT_EQ(readFile(disk / "BACKUP" / "index.bdmv"), Bytes(100, 0x11));  // the old copy, whole
  for (const auto& name : namesIn(disk / "BACKUP")) EXPECT_EQ(name, "index.bdmv");
}

// Inputs are regular files no larger than their kind can be; checking never blocks.
TEST(SaveInputs, OnlyRegularFilesWithinTheirLimitAreRead) {
  TempDir d;
  Bytes out;
  std::string err;
  ASSERT_EQ(::mkfifo((d / "pipe").c_str(), 0600), 0);
  EXPECT_FALSE(readWholeFile(d / "pipe", out, err));  // returns at once: no writer is waited for
  EXPECT_NE(err.find("not a regular file"), std::string::npos) << err;
  EXPECT_FALSE(readWholeFile("/dev/zero", out, err));
  EXPECT_NE(err.find("not a regular file"), std::string::npos) << err;
  {
    FILE* f = std::fopen((d / "sparse.mpls").c_str(), "wb");
    ASSERT_TRUE(f);
    ASSERT_EQ(::ftruncate(::fileno(f), off_t(4) << 30), 0);
    std::fclose(f);
  }
  EXPECT_FALSE(readWholeFile(d / "sparse.mpls", out, err));
  EXPECT_NE(err.find("4294967296 bytes, more than the 64 MiB"), std::string::npos) << err;
  EXPECT_TRUE(out.empty());
  writeFile(d / "small", Bytes(100, 1));
  EXPECT_FALSE(readWholeFile(d / "small", out, err, 99));
  EXPECT_TRUE(readWholeFile(d / "small", out, err, 100)) << err;
  EXPECT_EQ(out.size(), 100u);
}

// With tracking on, no write replaces a file that was read, by any name, unless it
// was allowed as an in-place edit.
TEST(SaveInputs, AnInputIsNeverReplacedUnlessAllowed) {
  TempDir d;
  writeFile(d / "in.png", {1, 2});
  fs::create_hard_link(d / "in.png", d / "hard.png");
  fs::create_symlink(d / "in.png", d / "soft.png");
  trackInputs(true);
  Bytes b;
  std::string err;
  ASSERT_TRUE(readWholeFile(d / "in.png", b, err));
  for (const char* name : {"in.png", "hard.png", "soft.png"}) {
    EXPECT_FALSE(writeFileAtomic(d / name, {9}, err)) << name;
    EXPECT_NE(err.find("which is being read"), std::string::npos) << err;
  }
  EXPECT_EQ(readFile(d / "in.png"), (Bytes{1, 2}));
  EXPECT_TRUE(writeFileAtomic(d / "other.png", {9}, err)) << err;
  allowRewrite(d / "in.png");
  EXPECT_TRUE(writeFileAtomic(d / "soft.png", {9}, err)) << err;
  trackInputs(false);
  EXPECT_EQ(readFile(d / "in.png"), Bytes{9});
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

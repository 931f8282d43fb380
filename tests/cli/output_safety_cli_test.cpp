// Commands that read one kind of file and write another refuse an output that is their
// input under another name (a hard link), and leave both names as they were.
#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>

#include "run_cli.h"

#ifdef MORVEX_MAKE_DEMO_PATH

using namespace morvex::test;
namespace fs = std::filesystem;

namespace {

ino_t inode(const fs::path& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 ? st.st_ino : 0;
}

}  // namespace

TEST(OutputSafety, AnOutputThatIsTheInputByAHardLinkIsRefused) {
  TempDir tmp;
  const fs::path bdmv = tmp / "demo" / "BDMV";
  fs::create_directories(bdmv);
  const std::string make = std::string("'") + MORVEX_MAKE_DEMO_PATH + "' " + shellQuote(bdmv) + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(make.c_str()), 0);
  fs::path playlist;
  for (const auto& e : fs::directory_iterator(bdmv / "PLAYLIST")) playlist = e.path();
  const fs::path stream = bdmv / "STREAM" / "00010.m2ts";
  ASSERT_FALSE(playlist.empty());
  ASSERT_TRUE(fs::exists(stream));
  ASSERT_TRUE(fs::exists(bdmv / "AUXDATA" / "sound.bdmv"));
  // A menu file to feed "menu mux", written the ordinary way.
  ASSERT_EQ(runCli("menu extract " + shellQuote(stream) + " -o " + shellQuote(tmp / "menu.mnu")).status, 0);

  struct Case {
    std::string name;
    fs::path input;
    std::string args;  // with {in} for the input and {out} for the output
  } cases[] = {
      {"chapters export", playlist, "chapters export {in} -o {out}"},
      {"sound export", bdmv / "AUXDATA" / "sound.bdmv", "sound export {in} --entry 0 -o {out}"},
      {"disasm -o", bdmv / "MovieObject.bdmv", "disasm {in} -o {out}"},
      {"disasm --object -o", bdmv / "MovieObject.bdmv", "disasm {in} --object 0 -o {out}"},
      {"menu extract", stream, "menu extract {in} -o {out}"},
      {"menu mux", tmp / "menu.mnu", "menu mux {in} -o {out}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path link = tmp / ("link_" + std::to_string(&c - cases));
    fs::create_hard_link(c.input, link);
    const auto before = readFile(c.input);
    const ino_t ino = inode(c.input);
    std::string args = c.args;
    args.replace(args.find("{in}"), 4, shellQuote(c.input));
    args.replace(args.find("{out}"), 5, shellQuote(link));
    const CliResult r = runCli(args, CliStderr::Separate);
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.err.find("which is being read"), std::string::npos) << r.err;
    EXPECT_EQ(readFile(c.input), before);
    EXPECT_EQ(inode(link), ino);  // the link still names the input, not a new file
    // The same command with an unrelated output works.
    std::string ok = c.args;
    ok.replace(ok.find("{in}"), 4, shellQuote(c.input));
    ok.replace(ok.find("{out}"), 5, shellQuote(tmp / ("out_" + std::to_string(&c - cases))));
    const CliResult good = runCli(ok);
    EXPECT_EQ(good.status, 0) << good.out;
    EXPECT_GT(fs::file_size(tmp / ("out_" + std::to_string(&c - cases))), 0u);
  }
}

// A full output disk during "demux" keeps the earlier output whole and fails.
TEST(OutputSafety, DemuxOverAnExistingOutputOnAFullDiskKeepsIt) {
  TempDir tmp;
  const fs::path bdmv = tmp / "demo" / "BDMV";
  fs::create_directories(bdmv);
  const std::string make = std::string("'") + MORVEX_MAKE_DEMO_PATH + "' " + shellQuote(bdmv) + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(make.c_str()), 0);
  const fs::path stream = bdmv / "STREAM" / "00010.m2ts";
  SmallDisk disk(16 * 1024);
  if (!disk.mounted()) GTEST_SKIP() << "no small file system can be mounted here (the engine tests cover it)";
  writeFile(disk / "out.mnu", {1, 2, 3});
  disk.fill(512);
  const CliResult r =
      runCli("demux " + shellQuote(stream) + " --pid 0x1400 -o " + shellQuote(disk / "out.mnu"), CliStderr::Separate);
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_EQ(readFile(disk / "out.mnu"), (std::vector<uint8_t>{1, 2, 3}));
}

#endif

#ifdef MORVEX_MAKE_DEMO_PATH
namespace {

// The demo disc in a private folder, with a menu file, a chapter file, a WAV file and
// an object picture taken from it.
struct DemoInputs {
  TempDir tmp;
  fs::path bdmv, playlist, stream, sound, menu, chapters, wav, png;
  DemoInputs() {
    bdmv = tmp / "demo" / "BDMV";
    fs::create_directories(bdmv);
    const std::string make = std::string("'") + MORVEX_MAKE_DEMO_PATH + "' " + shellQuote(bdmv) + " >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0) return;
    for (const auto& e : fs::directory_iterator(bdmv / "PLAYLIST")) playlist = e.path();
    stream = bdmv / "STREAM" / "00010.m2ts";
    sound = bdmv / "AUXDATA" / "sound.bdmv";
    menu = tmp / "menu.mnu";
    chapters = tmp / "chapters.txt";
    wav = tmp / "entry.wav";
    runCli("menu extract " + shellQuote(stream) + " -o " + shellQuote(menu));
    runCli("chapters export " + shellQuote(playlist) + " -o " + shellQuote(chapters));
    runCli("sound export " + shellQuote(sound) + " --entry 0 -o " + shellQuote(wav));
    runCli("menu export-objects " + shellQuote(menu) + " -o " + shellQuote(tmp / "objects"));
    for (const auto& e : fs::directory_iterator(tmp / "objects"))
      if (png.empty() || e.path() < png) png = e.path();
  }
  bool ready() const { return fs::exists(menu) && fs::exists(chapters) && fs::exists(wav) && !png.empty(); }
};

std::string fill(std::string args, const std::map<std::string, fs::path>& names) {
  for (const auto& [key, path] : names)
    for (size_t at; (at = args.find(key)) != std::string::npos;) args.replace(at, key.size(), shellQuote(path));
  return args;
}

}  // namespace

// Every input a command reads is guarded, whatever its kind and by whatever name the
// output reaches it; nothing is written and the input keeps its bytes.
TEST(OutputSafety, NoInputOfAnotherKindIsOverwritten) {
  DemoInputs in;
  ASSERT_TRUE(in.ready());
  const fs::path d = in.tmp / "work";
  fs::create_directories(d);
  struct Case {
    std::string args;
    std::string victim;
  } cases[] = {
      {"menu render MENU -o OUT", "MENU"},
      {"menu render STREAM -o OUT", "STREAM"},
      {"menu play MENU --keys D -o OUT", "MENU"},
      {"menu play MENU --keys D --sounds SOUND -o OUT", "SOUND"},
      {"menu render MENU --background PNG -o OUT", "PNG"},
      {"menu import-object MENU PNG -o OUT", "PNG"},
      {"chapters import PLAYLIST CHAPTERS -o OUT", "CHAPTERS"},
      {"sound import SOUND WAV -o OUT", "WAV"},
  };
  int n = 0;
  for (const auto& c : cases) {
    for (const char* how : {"same", "symlink"}) {
      SCOPED_TRACE(c.args + " (" + how + ")");
      // A copy of each input per case, so one case cannot spoil the next.
      const fs::path dir = d / std::to_string(n++);
      fs::create_directories(dir);
      std::map<std::string, fs::path> names = {{"MENU", dir / "m.mnu"},     {"STREAM", dir / "s.m2ts"},
                                               {"SOUND", dir / "s.bdmv"},   {"PNG", dir / "p.png"},
                                               {"PLAYLIST", dir / "p.mpls"}, {"CHAPTERS", dir / "ch.txt"},
                                               {"WAV", dir / "w.wav"}};
      fs::copy_file(in.menu, names["MENU"]);
      fs::copy_file(in.stream, names["STREAM"]);
      fs::copy_file(in.sound, names["SOUND"]);
      fs::copy_file(in.png, names["PNG"]);
      fs::copy_file(in.playlist, names["PLAYLIST"]);
      fs::copy_file(in.chapters, names["CHAPTERS"]);
      fs::copy_file(in.wav, names["WAV"]);
      const fs::path victim = names[c.victim];
      fs::path out = victim;
      if (std::string(how) == "symlink") {
        out = dir / "other";
        fs::create_symlink(victim.filename(), out);
      }
      names["OUT"] = out;
      const auto before = readFile(victim);
      const CliResult r = runCli(fill(c.args, names), CliStderr::Separate);
      EXPECT_EQ(r.status, 1) << r.out << r.err;
      EXPECT_NE(r.err.find("which is being read"), std::string::npos) << r.err;
      EXPECT_EQ(readFile(victim), before);
    }
  }
}

// An in-place edit of a file of the same kind is accepted, and the original stays
// beside it as "<name>.backup" (the first backup is kept).
TEST(OutputSafety, InPlaceEditsKeepTheOriginalAsTheBackup) {
  DemoInputs in;
  ASSERT_TRUE(in.ready());
  const fs::path p = in.tmp / "p.mpls";
  fs::copy_file(in.playlist, p);
  const auto original = readFile(p);
  CliResult r = runCli("resave " + shellQuote(p) + " -o " + shellQuote(p));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(readFile(p.string() + ".backup"), original);
  EXPECT_EQ(runCli("dump " + shellQuote(p)).status, 0);
  r = runCli("chapters import " + shellQuote(p) + " " + shellQuote(in.chapters) + " -q -o " + shellQuote(p));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(readFile(p.string() + ".backup"), original);  // the oldest backup stays
  EXPECT_EQ(runCli("dump " + shellQuote(p)).status, 0);
  const fs::path s = in.tmp / "s.bdmv";
  fs::copy_file(in.sound, s);
  const auto soundBefore = readFile(s);
  r = runCli("sound import " + shellQuote(s) + " " + shellQuote(in.wav) + " -o " + shellQuote(s));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(readFile(s.string() + ".backup"), soundBefore);
  EXPECT_GT(readFile(s).size(), soundBefore.size());
}

// What the output name stands for: standard output, a device, a link to a device, a
// link to a file, a folder.
TEST(OutputSafety, OutputsThatAreNotPlainFilesAreWrittenAsTheyAre) {
  DemoInputs in;
  ASSERT_TRUE(in.ready());
  const fs::path d = in.tmp / "targets";
  fs::create_directories(d);
  CliResult r = runCli("chapters export " + shellQuote(in.playlist) + " -o -", CliStderr::Separate, d);
  EXPECT_EQ(r.status, 0) << r.err;
  const auto chapterBytes = readFile(in.chapters);
  EXPECT_EQ(r.out, std::string(chapterBytes.begin(), chapterBytes.end()));
  EXPECT_FALSE(fs::exists(d / "-"));
  struct stat st {};
  if (::mknod((d / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
    fs::create_symlink("null", d / "stdout");
    for (const char* name : {"null", "stdout"}) {
      r = runCli("menu extract " + shellQuote(in.stream) + " -o " + shellQuote(d / name));
      EXPECT_EQ(r.status, 0) << name << ": " << r.out;
    }
    ASSERT_EQ(::lstat((d / "null").c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_TRUE(fs::is_symlink(d / "stdout"));
  } else if (std::getenv("CI")) {
    ADD_FAILURE() << "mknod failed: a character device cannot be made here";
  }
  fs::copy_file(in.playlist, d / "real.mpls");
  fs::create_symlink("real.mpls", d / "link.mpls");
  r = runCli("chapters import " + shellQuote(in.playlist) + " " + shellQuote(in.chapters) + " -q -o " +
             shellQuote(d / "link.mpls"));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(fs::is_symlink(d / "link.mpls"));
  fs::create_directories(d / "folder.mpls");
  r = runCli("resave " + shellQuote(in.playlist) + " -o " + shellQuote(d / "folder.mpls"), CliStderr::Separate);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("is a folder"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::is_directory(d / "folder.mpls"));
  // A user's folder named like the program's work files survives a save beside it.
  const pid_t gone = [] {
    pid_t p = ::fork();
    if (p == 0) ::_exit(0);
    ::waitpid(p, nullptr, 0);
    return p;
  }();
  const fs::path notes = d / ("Morvex_" + std::to_string(gone) + "_my_notes");
  fs::create_directories(notes);
  writeFile(notes / "n.txt", {1});
  r = runCli("resave " + shellQuote(in.playlist) + " -o " + shellQuote(d / "out.mpls"));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(fs::exists(notes / "n.txt"));
  // An output name of 255 bytes.
  r = runCli("resave " + shellQuote(in.playlist) + " -o " + std::string(250, 'n') + ".mpls", CliStderr::Merge, d);
  EXPECT_EQ(r.status, 0) << r.out;
}

// Inputs that are not regular files, or larger than their kind can be, are refused
// at once.
TEST(InputLimits, PipesDevicesAndHugeFilesAreRefused) {
  DemoInputs in;
  ASSERT_TRUE(in.ready());
  const fs::path d = in.tmp / "inputs";
  fs::create_directories(d);
  ASSERT_EQ(::mkfifo((d / "pipe").c_str(), 0600), 0);
  {
    FILE* f = std::fopen((d / "huge.mpls").c_str(), "wb");
    ASSERT_TRUE(f);
    ASSERT_EQ(::ftruncate(::fileno(f), off_t(4) << 30), 0);
    std::fclose(f);
  }
  const std::string cases[] = {
      "dump " + shellQuote(d / "pipe"),
      "dump /dev/zero",
      "chapters import " + shellQuote(in.playlist) + " /dev/zero -o " + shellQuote(d / "o.mpls"),
      "menu play " + shellQuote(in.menu) + " --keys D --sounds " + shellQuote(d / "pipe"),
      "dump " + shellQuote(d / "huge.mpls"),
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(args);
    // Under a time limit: a FIFO that is waited on would otherwise stop the test.
    const std::string cmd = "timeout 20 '" + std::string(MORVEX_CLI_PATH) + "' " + args + " >/dev/null 2>&1";
    const int rc = std::system(cmd.c_str());
    EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 1) << rc;
  }
  EXPECT_FALSE(fs::exists(d / "o.mpls"));
  const CliResult huge = runCli("dump " + shellQuote(d / "huge.mpls"), CliStderr::Separate);
  EXPECT_NE(huge.err.find("more than the 64 MiB"), std::string::npos) << huge.err;
}
#endif

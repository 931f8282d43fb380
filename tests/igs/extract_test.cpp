// Menus out of AV streams: a muxed menu comes back through the demultiplexer.
#include <gtest/gtest.h>

#include "support/ts_synth.h"
#include "igs/extract.h"
#include "igs/mux.h"
#include "igs/reader.h"
#include "igs/rle.h"
#include "igs/writer.h"
#include <cstdlib>
#include <unistd.h>

#include "igs_test_util.h"
#include "support/test_support.h"

namespace morvex::igs {
namespace {

// The extraction writes no file at all: a link planted where a work file was once put
// (the temporary folder, named after the process) leads nowhere.
TEST(MenuExtraction, APlantedLinkInTheTemporaryFolderIsNeverWritten) {
  morvex::test::TempDir dir, tmp;
  core::MemoryLog log;
  Menu m = test::syntheticMenu(5);
  ASSERT_TRUE(muxMenuToFile(m, dir / "00001.m2ts", log));
  morvex::test::writeFile(dir / "victim", {0x5A});
  const std::string planted = "Morvex_" + std::to_string(::getpid()) + "_MENU.tmp";
  std::filesystem::create_symlink(dir / "victim", tmp / planted);
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  ::setenv("TMPDIR", tmp.path().c_str(), 1);
  StreamMenu s = extractMenu(dir / "00001.m2ts", kIgPid, log);
  if (old) ::setenv("TMPDIR", saved.c_str(), 1);
  else ::unsetenv("TMPDIR");
  ASSERT_TRUE(s.ok) << s.error;
  EXPECT_FALSE(s.framed.empty());
  EXPECT_EQ(morvex::test::readFile(dir / "victim"), std::vector<uint8_t>{0x5A});
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(tmp.path())) (void)e, ++entries;
  EXPECT_EQ(entries, 1);  // only the planted link
}

TEST(MenuExtraction, MuxedMenuReadsBackFromTheStream) {
  morvex::test::TempDir dir;
  core::MemoryLog log;
  Menu m = test::syntheticMenu(21);
  ASSERT_TRUE(muxMenuToFile(m, dir / "00001.m2ts", log));
  StreamMenu s = extractMenu(dir / "00001.m2ts", kIgPid, log);
  ASSERT_TRUE(s.ok) << s.error;
  // The framed units are exactly the menu file form of the same menu.
  Menu again = test::syntheticMenu(21);
  settleMenu(again, log);
  EXPECT_EQ(s.framed, writeMenu(again, SaveForm::MenuFile));

  Menu back;
  ASSERT_TRUE(loadMenuSource(dir / "00001.m2ts", back, log).complete());
  EXPECT_EQ(back.ics.pages, m.ics.pages);
  EXPECT_EQ(back.inTime, m.inTime);
  for (unsigned id = 0; id < m.objects.size(); ++id) {
    rle_decode(back, id, log);
    EXPECT_EQ(*back.objects[id].picture, *m.objects[id].picture);
  }
  // The demultiplexer's work file is gone.
  for (const auto& e : std::filesystem::directory_iterator(std::filesystem::temp_directory_path()))
    EXPECT_NE(e.path().filename().string(), "Morvex_" + std::to_string(::getpid()) + "_MENU.tmp");

  // Another PID of the same stream holds no menu.
  Menu none;
  EXPECT_TRUE(loadMenuFromStream(dir / "00001.m2ts", 0x1401, none, log).refused());
  EXPECT_FALSE(none.loaded);
}

TEST(MenuExtraction, SourcesAreChosenByExtensionWithoutRegardToCase) {
  EXPECT_EQ(menuSourceKind("a/menu.mnu"), MenuSource::MenuFile);
  EXPECT_EQ(menuSourceKind("a/menu.MNU"), MenuSource::MenuFile);
  EXPECT_EQ(menuSourceKind("a/00001.m2ts"), MenuSource::Stream);
  EXPECT_EQ(menuSourceKind("a/00001.M2TS"), MenuSource::Stream);
  EXPECT_EQ(menuSourceKind("a/00001.MTS"), MenuSource::Stream);
  EXPECT_EQ(menuSourceKind("a/00001.mts"), MenuSource::Stream);
  EXPECT_EQ(menuSourceKind("a/menu.bin"), MenuSource::Other);
  morvex::test::TempDir dir;
  morvex::test::writeFile(dir / "x.MTS", {1, 2, 3});
  Menu m = test::syntheticMenu();
  core::MemoryLog log;
  EXPECT_TRUE(loadMenuSource(dir / "x.MTS", m, log).refused());
  EXPECT_TRUE(m.loaded);  // nothing was extracted: the open menu stays
  EXPECT_TRUE(loadMenuSource(dir / "missing.m2ts", m, log).refused());
  EXPECT_TRUE(log.hadError());

  // A menu file under an upper-case or unrelated name reads the same as under .mnu.
  core::MemoryLog quiet;
  Menu src = test::syntheticMenu(5);
  settleMenu(src, quiet);
  core::Bytes file = writeMenu(src, SaveForm::MenuFile);
  morvex::test::writeFile(dir / "MENU.MNU", file);
  morvex::test::writeFile(dir / "menu.bin", file);
  morvex::test::writeFile(dir / "junk.bin", {'X', 'Y', 'Z'});
  Menu upper, other, junk;
  ASSERT_TRUE(loadMenuSource(dir / "MENU.MNU", upper, quiet).complete());
  ASSERT_TRUE(loadMenuSource(dir / "menu.bin", other, quiet).complete());
  EXPECT_EQ(upper.ics.pages, src.ics.pages);
  EXPECT_EQ(other.ics.pages, src.ics.pages);
  auto refused = loadMenuSource(dir / "junk.bin", junk, quiet);
  ASSERT_TRUE(refused.refused());
  EXPECT_EQ(refused.problems[0].kind, core::ReadIssue::WrongKind);
}

TEST(MenuExtraction, MixedStreamWithOtherTraffic) {
  // A stream with video, audio and subtitles around the IG PID: extraction keeps only
  // the IG segments, in order, and the reader copes with whatever they hold.
  morvex::test::TempDir dir;
  morvex::test::SynthOptions opt;
  opt.targetBytes = 4 << 20;
  std::string err;
  size_t igPes = 0;
  ASSERT_TRUE(morvex::test::writeSyntheticStream(dir / "mixed.m2ts", opt, err, nullptr, [&](const morvex::test::SynthPes& p) {
    if (p.pid == kIgPid) ++igPes;
  })) << err;
  core::MemoryLog log;
  StreamMenu s = extractMenu(dir / "mixed.m2ts", kIgPid, log);
  ASSERT_TRUE(s.ok) << s.error;
  // One 10-byte "IG" header per IG PES packet.
  size_t units = 0;
  for (size_t p = 0; p + 13 <= s.framed.size(); p += 13 + core::be16(&s.framed[p + 11])) {
    ASSERT_EQ(s.framed[p], 'I');
    ++units;
  }
  EXPECT_EQ(units, igPes);
  Menu m;
  readMenu(std::span<const uint8_t>(s.framed), "test.mnu", m, log);
}

}  // namespace
}  // namespace morvex::igs

// "menu author" from the command line: bad input refused with a clear message, exit 1
// and not one file of the disc touched; --preview draws pictures and leaves the disc
// alone; --replace puts a new menu in place of an old one and keeps what it replaced.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "core/save.h"
#include "menuview/picture_io.h"
#include "nav/index.h"
#include "nav/movie_object.h"
#include "support/av_disc.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace morvex;

struct CliRun {
  int status = 0;
  std::string out, err;
};

CliRun cli(const std::string& args, const fs::path& scratch, const std::string& environment = "") {
  const fs::path o = scratch / "stdout.txt", e = scratch / "stderr.txt";
  const std::string cmd = environment + "'" + MORVEX_CLI_PATH + "' " + args + " >'" + o.string() + "' 2>'" + e.string() + "'";
  CliRun r;
  const int st = std::system(cmd.c_str());
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  auto text = [](const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  };
  r.out = text(o), r.err = text(e);
  return r;
}

// Every file of the folder with its bytes.
std::map<std::string, std::vector<uint8_t>> snapshot(const fs::path& folder) {
  std::map<std::string, std::vector<uint8_t>> files;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.is_regular_file()) files[fs::relative(e.path(), folder).generic_string()] = test::readFile(e.path());
  return files;
}

class MenuAuthorCli : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    base_ = new test::TempDir;
    std::string err;
    ready_ = test::writeAvDisc(base_->path() / "disc" / "BDMV", {8, 1.0, 0.25}, err);
    if (!ready_) reason_ = err;
  }
  static void TearDownTestSuite() {
    delete base_;
    base_ = nullptr;
  }
  void SetUp() override {
    if (!ready_) GTEST_SKIP() << reason_;
    disc_ = dir_.path() / "disc";
    fs::copy(base_->path() / "disc", disc_, fs::copy_options::recursive);
  }
  fs::path bdmv() const { return disc_ / "BDMV"; }
  std::string quoted(const fs::path& p) const { return "'" + p.string() + "'"; }

  template <class Edit>
  void editIndex(Edit edit) {
    core::Bytes b = test::readFile(bdmv() / "index.bdmv");
    nav::IndexTable indx;
    core::NullLog quiet;
    ASSERT_TRUE(nav::readIndexTable(b, "index.bdmv", indx, quiet).complete());
    edit(indx);
    test::writeFile(bdmv() / "index.bdmv", nav::writeIndexTable(indx));
    test::writeFile(bdmv() / "BACKUP" / "index.bdmv", nav::writeIndexTable(indx));
  }

  // Refused: exit 1 (2 for a malformed option), the message names the problem, and the disc is as it was.
  void expectRefused(const std::string& args, const std::string& message, int status = 1) {
    const auto before = snapshot(disc_);
    const CliRun r = cli("menu author " + quoted(disc_) + " " + args, dir_.path());
    EXPECT_EQ(r.status, status) << args << "\n" << r.out << r.err;
    EXPECT_NE(r.err.find(message), std::string::npos) << "stderr of \"" << args << "\" lacks \"" << message << "\":\n" << r.err;
    const auto after = snapshot(disc_);
    EXPECT_TRUE(before == after) << args << ": the disc changed (" << before.size() << " files before, " << after.size()
                                 << " after)";
  }

  static inline test::TempDir* base_ = nullptr;
  static inline bool ready_ = false;
  static inline std::string reason_;
  test::TempDir dir_;
  fs::path disc_;
};

TEST_F(MenuAuthorCli, BadInputIsRefusedAndNothingIsWritten) {
  // A title that does not exist, and a label too long for any button.
  expectRefused("--title 9", "title 9 does not exist (the disc has 8 titles)");
  expectRefused("--title '1=" + std::string(40, 'W') + " " + std::string(40, 'W') + " " + std::string(40, 'W') + "'",
                "Titles page: label \"WWWW");
  // A background that is not a PNG, even when named like one.
  test::writeFile(dir_.path() / "bg.png", std::vector<uint8_t>{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0});
  expectRefused("--background " + quoted(dir_.path() / "bg.png"), "is not a PNG picture");
  expectRefused("--layout diagonal", "--layout is column or grid", 2);

  // Without ffmpeg on the PATH the background cannot be encoded.
  {
    const auto before = snapshot(disc_);
    const CliRun r = cli("menu author " + quoted(disc_), dir_.path(), "PATH=/nonexistent ");
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.err.find("ffmpeg is needed"), std::string::npos) << r.err;
    EXPECT_TRUE(before == snapshot(disc_)) << "the disc changed without ffmpeg";
  }

  // A title whose program plays nothing.
  {
    core::Bytes b = test::readFile(bdmv() / "MovieObject.bdmv");
    nav::MovieObjectFile mobj;
    core::NullLog quiet;
    ASSERT_TRUE(nav::readMovieObjectFile(b, "MovieObject.bdmv", mobj, quiet).complete());
    mobj.movieObjects.objects[2].commands.clear();
    mobj.movieObjects.length = nav::movieObjectsLength(mobj.movieObjects);
    test::writeFile(bdmv() / "MovieObject.bdmv", nav::writeMovieObjectFile(mobj));
    test::writeFile(bdmv() / "BACKUP" / "MovieObject.bdmv", nav::writeMovieObjectFile(mobj));
  }
  expectRefused("--title 1 --title 3", "title 3's program plays nothing");

  // A disc that already has a Top Menu, without --replace.
  editIndex([](nav::IndexTable& x) { x.indexes.topMenu.objectId = 0; });
  expectRefused("", "already has a Top Menu; --replace");

  // A disc without titles.
  editIndex([](nav::IndexTable& x) {
    x.indexes.topMenu.objectId = 0xFFFF;
    x.indexes.titles.clear();
    x.indexes.length = 26;
  });
  expectRefused("", "has no titles");
}

TEST_F(MenuAuthorCli, PreviewDrawsEveryPageAndChangesNothing) {
  const auto before = snapshot(disc_);
  const fs::path out = dir_.path() / "menu.png";
  // Eight titles in a column of six: two pages, and a scenes page for each title.
  const CliRun r = cli("menu author " + quoted(disc_) + " --preview " + quoted(out) + " --title 1 --title 2 --title 3 "
                    "--title 4 --title 5 --title 6 --title 7 --title '8=Épilogue — fin'",
                    dir_.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(before == snapshot(disc_)) << "--preview changed the disc";
  EXPECT_FALSE(fs::exists(out)) << "several pages are numbered";
  for (int page = 1; page <= 2; ++page) {
    menuview::Image img;
    std::string err;
    ASSERT_TRUE(menuview::loadPicture(dir_.path() / ("menu-" + std::to_string(page) + ".png"), img, err)) << err;
    EXPECT_EQ(img.width(), 1920);
    EXPECT_EQ(img.height(), 1080);
    // The first button of the page is drawn selected: gold beside its label.
    const auto c = img.pixel(460 + 8, 150 + 45);
    EXPECT_GT(c.r, 200) << "page " << page;
    EXPECT_LT(c.b, 100) << "page " << page;
  }
  EXPECT_FALSE(fs::exists(dir_.path() / "menu-3.png"));
  EXPECT_NE(r.out.find("2 pages"), std::string::npos) << r.out;
}

TEST_F(MenuAuthorCli, ReplaceKeepsTheOldMenuAndItsBackups) {
  const auto original = snapshot(disc_);
  CliRun r = cli("menu author " + quoted(disc_) + " --title 1 --title 2", dir_.path());
  ASSERT_EQ(r.status, 0) << r.err;
  // The first menu took the number after the eight titles.
  ASSERT_TRUE(fs::exists(bdmv() / "PLAYLIST" / "00009.mpls"));
  ASSERT_TRUE(fs::exists(bdmv() / "STREAM" / "00009.m2ts"));
  EXPECT_EQ(test::readFile(bdmv() / "index.bdmv.backup"), original.at("BDMV/index.bdmv"));
  EXPECT_EQ(test::readFile(bdmv() / "MovieObject.bdmv.backup"), original.at("BDMV/MovieObject.bdmv"));
  const auto firstMenu = snapshot(disc_);

  // Without --replace the second run is refused.
  r = cli("menu author " + quoted(disc_), dir_.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(firstMenu == snapshot(disc_));

  r = cli("menu author " + quoted(disc_) + " --replace --layout grid", dir_.path());
  ASSERT_EQ(r.status, 0) << r.err;
  const auto second = snapshot(disc_);
  // The old menu's files are all still there, byte for byte; the new one has its own.
  for (const char* f : {"BDMV/PLAYLIST/00009.mpls", "BDMV/CLIPINF/00009.clpi", "BDMV/STREAM/00009.m2ts"})
    EXPECT_TRUE(second.count(f) && second.at(f) == firstMenu.at(f)) << f;
  EXPECT_TRUE(second.count("BDMV/PLAYLIST/00010.mpls"));
  EXPECT_TRUE(second.count("BDMV/STREAM/00010.m2ts"));
  // The titles' playlists and clips are untouched.
  for (const auto& [name, bytes] : original)
    if (name.find("0000") != std::string::npos && name.find("BACKUP") == std::string::npos)
      EXPECT_TRUE(second.count(name) && second.at(name) == bytes) << name;
  // The Top Menu's movie object now plays the new playlist.
  nav::MovieObjectFile mobj;
  nav::IndexTable indx;
  core::NullLog quiet;
  ASSERT_TRUE(nav::readMovieObjectFile(second.at("BDMV/MovieObject.bdmv"), "MovieObject.bdmv", mobj, quiet).complete());
  ASSERT_TRUE(nav::readIndexTable(second.at("BDMV/index.bdmv"), "index.bdmv", indx, quiet).complete());
  const auto& obj = mobj.movieObjects.objects.at(indx.indexes.topMenu.objectId);
  ASSERT_FALSE(obj.commands.empty());
  EXPECT_EQ(obj.commands.back().opcode, 0x22800000u);  // Play PL
  EXPECT_EQ(obj.commands.back().dst, 10u);
  // The backups still hold what the disc had before any menu.
  EXPECT_EQ(second.at("BDMV/index.bdmv.backup"), original.at("BDMV/index.bdmv"));

  const CliRun check = cli("check " + quoted(disc_), dir_.path());
  EXPECT_EQ(check.status, 0) << check.out << check.err;
  EXPECT_NE(check.out.find("0 error(s)"), std::string::npos) << check.out;
}

}  // namespace

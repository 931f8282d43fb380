// "menu render" and "menu play" on the demo disc's menu stream.
#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>

#include "igs/colour.h"
#include "igs/extract.h"
#include "menuview/picture_io.h"
#include "support/test_support.h"

#ifdef MORVEX_MAKE_DEMO_PATH

using namespace morvex;
using morvex::menuview::Image;
using morvex::menuview::Rgba;

namespace {

int run(const std::string& cmd, std::string* out = nullptr) {
  FILE* p = popen((cmd + " 2>&1").c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;)
    if (out) out->append(buf, n);
  const int st = pclose(p);
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

// The demo palette's colours as they come back from the stored Y, Cr, Cb, in the
// matrix of the 1080-line video the demo menu plays over.
Rgba stored(uint8_t r, uint8_t g, uint8_t b) {
  const igs::Ycc y = igs::rgb2ycc(r, g, b, igs::ColourMatrix::Bt709);
  const igs::Rgb8 c = igs::ycc2rgb(y.y, y.cr, y.cb, igs::ColourMatrix::Bt709);
  return Rgba{c.r, c.g, c.b, 255};
}

Image png(const std::filesystem::path& f) {
  Image img;
  std::string err;
  EXPECT_TRUE(menuview::loadPicture(f, img, err)) << err;
  return img;
}

class DemoMenu : public ::testing::Test {
protected:
  void SetUp() override {
    bdmv = tmp / "demo" / "BDMV";
    std::filesystem::create_directories(bdmv);
    std::string out;
    ASSERT_EQ(run(std::string("'") + MORVEX_MAKE_DEMO_PATH + "' '" + bdmv.string() + "'", &out), 0) << out;
    stream = bdmv / "STREAM" / "00010.m2ts";
    ASSERT_TRUE(std::filesystem::exists(stream)) << out;
  }
  std::string cli(const std::string& args, int* status = nullptr) {
    std::string out;
    const int st = run(std::string("'") + MORVEX_CLI_PATH + "' " + args, &out);
    if (status) *status = st;
    return out;
  }
  test::TempDir tmp;
  std::filesystem::path bdmv, stream;
};

// Buttons of the demo's first page sit at x 780 with faces 360 x 90; a pixel 180
// across and 10 down shows the face's body colour: palette entry 35 for the normal
// face, 67 for the selected one.
const Rgba kNormal = stored(16, 49, 132);
const Rgba kSelected = stored(203, 159, 23);

}  // namespace

TEST_F(DemoMenu, RenderShowsEachPageWithItsDefaultSelection) {
  int st = -1;
  std::string out = cli("menu render '" + stream.string() + "' -o '" + (tmp / "p0.png").string() + "'", &st);
  ASSERT_EQ(st, 0) << out;
  Image page = png(tmp / "p0.png");
  EXPECT_EQ(page.pixel(960, 430), kSelected);
  // Every item has a group of its own: the next two show in their normal faces.
  EXPECT_EQ(page.pixel(960, 560), kNormal);
  EXPECT_EQ(page.pixel(960, 690), kNormal);
  // The fourth button's group starts hidden.
  EXPECT_NE(page.pixel(1380, 820), kNormal);
  // Labels are lettered: white type across the middle of each face.
  for (int y0 : {420, 550, 680}) {
    int white = 0;
    for (int y = y0 + 25; y < y0 + 65; ++y)
      for (int x = 800; x < 1120; ++x) white += page.pixel(x, y) == stored(255, 255, 255);
    EXPECT_GT(white, 300) << "button at y " << y0;
  }

  out = cli("menu render '" + stream.string() + "' --page 1 -o '" + (tmp / "p1.png").string() + "'", &st);
  ASSERT_EQ(st, 0) << out;
  // Page 1 names no default selected button: its first button shows normal.
  EXPECT_NE(out.find("PSR10: FFFF (65535), PSR11: 01 (1)"), std::string::npos) << out;
  page = png(tmp / "p1.png");
  EXPECT_EQ(page.pixel(960, 510), kNormal);
  EXPECT_EQ(page.pixel(960, 670), kNormal);  // "Back", in a group of its own
  // Selecting it draws the selected face.
  out = cli("menu render '" + stream.string() + "' --page 1 --select 0 -o '" + (tmp / "p1s.png").string() + "'", &st);
  ASSERT_EQ(st, 0) << out;
  EXPECT_EQ(png(tmp / "p1s.png").pixel(960, 510), kSelected);
}

TEST_F(DemoMenu, PlayEnablesTheHiddenButtonAndSwitchesPages) {
  int st = -1;
  std::string out =
      cli("menu play '" + stream.string() + "' --keys \"D,D,Sel\" -o '" + (tmp / "f.png").string() + "'", &st);
  ASSERT_EQ(st, 0) << out;
  EXPECT_NE(out.find("Run button 0002"), std::string::npos) << out;
  EXPECT_NE(out.find("Final: PSR10: 0003 (3), PSR11: 00 (0)"), std::string::npos) << out;
  Image page = png(tmp / "f.png");
  EXPECT_EQ(page.pixel(1380, 820), kSelected);  // the enabled button, selected
  EXPECT_EQ(page.pixel(960, 690), kNormal);     // the button left, back to normal
  EXPECT_EQ(page.pixel(960, 430), kNormal);

  out = cli("menu play '" + stream.string() + "' --keys \"D,Sel\"", &st);
  ASSERT_EQ(st, 0) << out;
  EXPECT_NE(out.find("Page: 1"), std::string::npos) << out;
  EXPECT_NE(out.find("Final: PSR10: 0000 (0), PSR11: 01 (1)"), std::string::npos) << out;
}

TEST_F(DemoMenu, ScenesPageTimesOutBackWithSoundsAndTheTitleFadesInAndOut) {
  int st = -1;
  // "Scenes" leads to page 1; left alone there, the time-out activates "Back".
  std::string out = cli("menu play '" + stream.string() + "' --keys \"D,Sel,Timeout\" --trace", &st);
  ASSERT_EQ(st, 0) << out;
  const size_t timeout = out.find("Timeout");
  ASSERT_NE(timeout, std::string::npos) << out;
  EXPECT_NE(out.find("Run button 0001", timeout), std::string::npos) << out;
  EXPECT_NE(out.find("Page: 0", timeout), std::string::npos) << out;
  EXPECT_NE(out.find("Final: PSR10: 0001 (1), PSR11: 00 (0)"), std::string::npos) << out;
  // Selecting plays sound 0, activating sound 1.
  const size_t sel = out.find("Sel");
  EXPECT_NE(out.find("Sound 1", sel), std::string::npos) << out;
  EXPECT_NE(out.find("Sound 0"), std::string::npos) << out;
  // The title fades in (three steps of 200 ms) and, on leaving page 0, out (two of 150).
  EXPECT_NE(out.find("Effect: 2  duration: 200ms"), std::string::npos) << out;
  EXPECT_NE(out.find("Effect: 1  duration: 150ms"), std::string::npos) << out;
}

TEST_F(DemoMenu, FfprobeReadsEverySegmentWithItsTimeStamps) {
  if (run("ffprobe -version >/dev/null") != 0) GTEST_SKIP() << "ffprobe not installed; skipping";
  igs::Menu menu;
  core::MemoryLog log;
  ASSERT_TRUE(igs::loadMenuSource(stream, menu, log, 0x1400).complete());
  std::string out;
  ASSERT_EQ(run("ffprobe -v error -show_entries packet=pts,dts -of compact '" + stream.string() + "'", &out), 0);
  // One packet per segment: the composition, every palette and object, the end.
  size_t packets = 0;
  for (size_t at = 0; (at = out.find("packet|pts=", at)) != std::string::npos; ++at) {
    ++packets;
    unsigned long pts = 0, dts = 0;
    ASSERT_EQ(std::sscanf(out.c_str() + at, "packet|pts=%lu|dts=%lu", &pts, &dts), 2) << out.substr(at, 60);
    EXPECT_LE(dts, pts);
  }
  EXPECT_EQ(packets, menu.objects.size() + menu.palettes.size() + 2) << out;
}

TEST_F(DemoMenu, CheckFindsNoErrorOnTheDemoDisc) {
  // The feature stream carries the same menu: the checker reads it there.
  int st = -1;
  const std::string out = cli("check '" + bdmv.string() + "'", &st);
  EXPECT_EQ(st, 0) << out;
  EXPECT_TRUE(out.rfind("0 error(s)", 0) == 0 || out.find("\n0 error(s)") != std::string::npos) << out;
  EXPECT_EQ(out.find("  error  "), std::string::npos) << out;
}

#endif

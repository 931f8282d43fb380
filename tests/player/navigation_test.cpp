// The generated demo disc played by the system's Blu-ray player library in navigation
// mode, as a player application drives it: the overlay callback registered before
// playback starts, the stream read in a loop while real time passes (effects, animations
// and time-outs run on the player's clock), keys given as a viewer presses them. What
// the player shows and does is compared with what the demo's menu says it should.
#include <gtest/gtest.h>

#include <libbluray/bluray.h>
#include <libbluray/keys.h>
#include <libbluray/overlay.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "core/binary.h"
#include "menuview/image.h"
#include "menuview/picture_io.h"
#include "support/test_support.h"
#include "player_harness.h"

namespace fs = std::filesystem;

namespace {

using namespace morvex::test::player;

// The demo's page 0 buttons: "Play Movie", "Scenes", "Extras" at x 780, 360x90 faces.
constexpr int kButtonX = 780, kButtonW = 360, kButtonH = 90;
constexpr int kButtonY[] = {420, 550, 680};

// The colour family a face was drawn in: the demo draws normal faces from its blue
// entries (32..63) and selected faces from its gold ones (64..95); the family of the
// face's fill is the one most of its opaque pixels use.
enum class Face { None, Normal, Selected };
Face faceAt(const Seen& s, int button) {
  Face f = Face::None;
  for (const Draw& d : s.draws) {
    if (d.x != kButtonX || d.y != kButtonY[button] || d.w != kButtonW || d.h != kButtonH) continue;
    size_t blue = 0, gold = 0;
    for (uint8_t p : d.pixels) blue += p >= 32 && p < 64, gold += p >= 64 && p < 96;
    f = gold > blue ? Face::Selected : blue > 0 ? Face::Normal : Face::None;
  }
  return f;
}

int selectedButton(const Seen& s) {
  int sel = -1;
  for (int b = 0; b < 3; ++b)
    if (faceAt(s, b) == Face::Selected) sel = b;
  return sel;
}

// The whole walk: the menu opens and draws its buttons, Down moves the selection, and
// Enter on "Play Movie" starts title 1 and its playlist 00001.
void walkTheMenu(const fs::path& disc) {
  Player p(disc);
  ASSERT_TRUE(p.playing()) << "bd_play refused " << disc;
  // The menu shows once the player reached the menu clip's IG display set.
  ASSERT_TRUE(p.run(8000, [&] { return selectedButton(p.seen()) >= 0; }))
      << "the IG plane never drew a selected button (opened: " << p.seen().opened << ", "
      << p.seen().draws.size() << " draws)";
  EXPECT_TRUE(p.seen().opened);
  EXPECT_TRUE(p.sawEvent(BD_EVENT_PLAYLIST, 0));
  for (int b = 0; b < 3; ++b) EXPECT_NE(faceAt(p.seen(), b), Face::None) << "button " << b << " not drawn";
  // Keys are refused until the page's in-effect ends: let it play out.
  p.run(1500);
  // The page names "Play Movie" as its default selected button, which takes the
  // place of the button the menu's movie object asked for.
  ASSERT_EQ(selectedButton(p.seen()), 0) << "the page's default selected button is \"Play Movie\"";

  p.seen().draws.clear();
  p.key(BD_VK_DOWN);
  ASSERT_TRUE(p.run(2000, [&] { return selectedButton(p.seen()) == 1; })) << "Down did not select \"Scenes\"";
  EXPECT_EQ(faceAt(p.seen(), 0), Face::Normal) << "\"Play Movie\" was not redrawn unselected";

  p.seen().draws.clear();
  p.key(BD_VK_UP);
  ASSERT_TRUE(p.run(2000, [&] { return selectedButton(p.seen()) == 0; })) << "Up did not go back to \"Play Movie\"";

  p.seen().events.clear();
  p.key(BD_VK_ENTER);
  EXPECT_TRUE(p.run(6000, [&] { return p.sawEvent(BD_EVENT_PLAYLIST, 1); }))
      << "Enter on \"Play Movie\" did not start playlist 00001";
  EXPECT_TRUE(p.sawEvent(BD_EVENT_TITLE, 1)) << "Enter on \"Play Movie\" did not start title 1";
}

}  // namespace

TEST(PlayerNavigation, DemoMenuOpensMovesAndStartsTheTitle) {
  morvex::test::TempDir dir;
  const fs::path disc = makeDemo(dir);
  if (disc.empty()) MORVEX_SKIP_OR_FAIL("the demo disc could not be generated (ffmpeg missing?)");
  walkTheMenu(disc);
}

// The menu taken out of the menu clip and put back with "menu mux --into": the player
// must show and use it as before.
TEST(PlayerNavigation, MenuRemovedAndMuxedBackIntoTheClipStillPlays) {
  morvex::test::TempDir dir;
  const fs::path disc = makeDemo(dir);
  if (disc.empty()) MORVEX_SKIP_OR_FAIL("the demo disc could not be generated (ffmpeg missing?)");
  const fs::path bdmv = disc / "BDMV";
  const std::string cli = std::string("\"") + MORVEX_CLI_PATH + "\" ";
  auto run = [&](const std::string& args) { return std::system((cli + args + " > /dev/null").c_str()); };
  // The menu out of the clip; then the clip without it (the feature clip has the same
  // pictures and no menu) with its clip information.
  ASSERT_EQ(run("menu resave \"" + (bdmv / "STREAM" / "00000.m2ts").string() + "\" -o \"" +
                (dir.path() / "menu.mnu").string() + "\""),
            0);
  fs::copy_file(bdmv / "STREAM" / "00001.m2ts", bdmv / "STREAM" / "00000.m2ts", fs::copy_options::overwrite_existing);
  fs::copy_file(bdmv / "CLIPINF" / "00001.clpi", bdmv / "CLIPINF" / "00000.clpi", fs::copy_options::overwrite_existing);
  // Muxed back beside the disc, then put in place of the plain clip.
  fs::create_directories(dir.path() / "out");
  ASSERT_EQ(run("menu mux \"" + (dir.path() / "menu.mnu").string() + "\" --into \"" +
                (bdmv / "STREAM" / "00000.m2ts").string() + "\" -o \"" + (dir.path() / "out" / "00000.m2ts").string() +
                "\""),
            0);
  ASSERT_TRUE(fs::exists(dir.path() / "out" / "00000.clpi"));
  fs::rename(dir.path() / "out" / "00000.m2ts", bdmv / "STREAM" / "00000.m2ts");
  fs::rename(dir.path() / "out" / "00000.clpi", bdmv / "CLIPINF" / "00000.clpi");
  walkTheMenu(disc);
}

// The plane the player library draws for the demo menu (page 0, "Play Movie" selected)
// against "menu render" of the same page and button, both over black: colours come
// from the same palette bytes, so no pixel may differ by more than one level.
TEST(PlayerNavigation, DrawnPlaneMatchesMenuRender) {
  morvex::test::TempDir dir;
  const fs::path disc = makeDemo(dir);
  if (disc.empty()) MORVEX_SKIP_OR_FAIL("the demo disc could not be generated (ffmpeg missing?)");
  Player p(disc);
  ASSERT_TRUE(p.playing());
  ASSERT_TRUE(p.run(8000, [&] { return selectedButton(p.seen()) >= 0; }));
  p.run(1500);  // the in-effect plays out
  ASSERT_EQ(selectedButton(p.seen()), 0);
  const Plane plane = p.seen().plane;
  ASSERT_EQ(plane.width, 1920);
  ASSERT_EQ(plane.height, 1080);

  // A black background, as an uncompressed 24-bit bitmap (a black PNG packs too well
  // for the picture reader's guard against oversized pictures).
  {
    std::vector<uint8_t> bmp(54 + 1920 * 1080 * 3, 0);
    auto put32 = [&](size_t at, uint32_t v) {
      for (int i = 0; i < 4; ++i) bmp[at + i] = uint8_t(v >> (8 * i));
    };
    bmp[0] = 'B', bmp[1] = 'M';
    put32(2, uint32_t(bmp.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, 1920);
    put32(22, 1080);
    bmp[26] = 1, bmp[28] = 24;
    morvex::test::writeFile(dir.path() / "black.bmp", bmp);
  }
  const fs::path out = dir.path() / "render.png";
  const std::string cmd = std::string("\"") + MORVEX_CLI_PATH + "\" menu render \"" +
                          (disc / "BDMV" / "STREAM" / "00000.m2ts").string() + "\" --page 0 --select 0 --background \"" +
                          (dir.path() / "black.bmp").string() + "\" -o \"" + out.string() + "\" > /dev/null";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  morvex::menuview::Image rendered;
  std::string err;
  ASSERT_TRUE(morvex::menuview::loadPicture(out, rendered, err)) << err;
  ASSERT_EQ(rendered.width(), 1920);
  ASSERT_EQ(rendered.height(), 1080);

  // The selected face is animated: its frames differ only in the three-pixel border
  // pattern, so there the player's current frame is not compared with the first one.
  auto animatedBorder = [](int x, int y) {
    const int dx = std::min(x - kButtonX, kButtonX + kButtonW - 1 - x), dy = std::min(y - kButtonY[0], kButtonY[0] + kButtonH - 1 - y);
    return dx >= 0 && dy >= 0 && (dx < 3 || dy < 3);
  };
  size_t visible = 0, worst = 0, over = 0;
  int x1 = 9999, y1 = 9999, x2 = -1, y2 = -1;
  for (int y = 0; y < 1080; ++y)
    for (int x = 0; x < 1920; ++x) {
      if (animatedBorder(x, y)) continue;
      const auto& q = plane.px[size_t(y) * 1920 + x];
      const auto r = rendered.pixel(x, y);
      const uint8_t mine[3] = {r.r, r.g, r.b};
      bool off = false;
      for (int c = 0; c < 3; ++c) {
        const int want = (q[c] * q[3] + 127) / 255;
        const size_t d = size_t(std::abs(int(mine[c]) - want));
        worst = std::max(worst, d);
        off = off || d > 1;
      }
      visible += q[3] != 0;
      over += off;
      if (off) x1 = std::min(x1, x), y1 = std::min(y1, y), x2 = std::max(x2, x), y2 = std::max(y2, y);
    }
  EXPECT_GT(visible, 100000u) << "the plane holds too little of the menu";
  EXPECT_EQ(over, 0u) << over << " pixels differ by more than one level (worst " << worst << ") within (" << x1
                       << "," << y1 << ")-(" << x2 << "," << y2 << ")";
}

// The demo's pictures and sound are real: ffmpeg decodes every frame of the menu clip
// without a single complaint.
TEST(PlayerNavigation, DemoStreamsDecodeWithoutError) {
  morvex::test::TempDir dir;
  const fs::path disc = makeDemo(dir);
  if (disc.empty()) MORVEX_SKIP_OR_FAIL("the demo disc could not be generated (ffmpeg missing?)");
  const fs::path log = dir.path() / "decode.log";
  const std::string cmd = "ffmpeg -nostdin -v error -i \"" + (disc / "BDMV" / "STREAM" / "00000.m2ts").string() +
                          "\" -map 0:v -map 0:a -f null - 2> \"" + log.string() + "\"";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  const auto bytes = morvex::test::readFile(log);
  EXPECT_TRUE(bytes.empty()) << std::string(bytes.begin(), bytes.end());
}

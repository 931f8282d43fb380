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

namespace fs = std::filesystem;

namespace {

struct Draw {
  int x, y, w, h;
  // The run-length coded picture drawn, decoded to palette entries, and the palette.
  std::vector<uint8_t> pixels;
  std::vector<BD_PG_PALETTE_ENTRY> palette;
};

// The IG plane as the player library hands it over, each pixel already in R, G, B, A:
// palette entries are Y, Cr, Cb "in the same colour matrix as the associated video
// stream" (limited range), converted the way a player converts them for high
// definition video, BT.709, in floating point.
struct Plane {
  int width = 0, height = 0;
  std::vector<std::array<uint8_t, 4>> px;
  void init(int w, int h) {
    width = w, height = h;
    px.assign(size_t(w) * h, {0, 0, 0, 0});
  }
  void clear(int x, int y, int w, int h) {
    for (int j = y; j < y + h && j < height; ++j)
      for (int i = x; i < x + w && i < width; ++i) px[size_t(j) * width + i] = {0, 0, 0, 0};
  }
  static std::array<uint8_t, 4> rgba(const BD_PG_PALETTE_ENTRY& e) {
    const double y = (e.Y - 16) * 255.0 / 219, pr = (e.Cr - 128) * 255.0 / 224, pb = (e.Cb - 128) * 255.0 / 224;
    const double r = y + 1.5748 * pr, b = y + 1.8556 * pb, g = (y - 0.2126 * r - 0.0722 * b) / 0.7152;
    auto c = [](double v) { return uint8_t(std::lround(std::clamp(v, 0.0, 255.0))); };
    return {c(r), c(g), c(b), e.T};
  }
};

struct Seen {
  bool opened = false;     // the IG plane was initialised
  std::vector<Draw> draws;  // IG draws since the last reset
  std::vector<std::pair<uint32_t, uint32_t>> events;
  Plane plane;
};

void overlayProc(void* handle, const BD_OVERLAY* ov) {
  auto* s = static_cast<Seen*>(handle);
  if (!ov || ov->plane != BD_OVERLAY_IG) return;
  if (ov->cmd == BD_OVERLAY_INIT) {
    s->opened = true;
    s->plane.init(ov->w, ov->h);
  }
  if (ov->cmd == BD_OVERLAY_CLEAR) s->plane.clear(0, 0, s->plane.width, s->plane.height);
  if (ov->cmd == BD_OVERLAY_WIPE) s->plane.clear(ov->x, ov->y, ov->w, ov->h);
  if (ov->cmd != BD_OVERLAY_DRAW || !ov->img) return;
  Draw d{ov->x, ov->y, ov->w, ov->h, {}, {}};
  d.pixels.reserve(size_t(ov->w) * ov->h);
  for (const BD_PG_RLE_ELEM* e = ov->img; d.pixels.size() < size_t(ov->w) * ov->h; ++e) {
    if (e->len == 0) continue;  // end of line
    d.pixels.insert(d.pixels.end(), e->len, uint8_t(e->color));
  }
  if (ov->palette) d.palette.assign(ov->palette, ov->palette + 256);
  // A draw replaces its rectangle of the plane.
  if (ov->palette)
    for (int j = 0; j < d.h; ++j)
      for (int i = 0; i < d.w; ++i) {
        const int x = d.x + i, y = d.y + j;
        if (x < s->plane.width && y < s->plane.height)
          s->plane.px[size_t(y) * s->plane.width + x] = Plane::rgba(ov->palette[d.pixels[size_t(j) * d.w + i]]);
      }
  s->draws.push_back(std::move(d));
}

class Player {
public:
  explicit Player(const fs::path& disc) {
    bd_ = bd_open(disc.c_str(), nullptr);
    if (!bd_) return;
    bd_register_overlay_proc(bd_, &seen_, overlayProc);  // before bd_play
    playing_ = bd_play(bd_) > 0;
  }
  ~Player() {
    if (bd_) {
      bd_register_overlay_proc(bd_, nullptr, nullptr);
      bd_close(bd_);
    }
  }
  bool playing() const { return playing_; }
  Seen& seen() { return seen_; }

  // Reads the stream for `ms` milliseconds of real time, a block every few
  // milliseconds, collecting the events. Stops early once `until` says so.
  template <class Until>
  bool run(int ms, Until until) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    std::vector<unsigned char> buf(6144);
    while (std::chrono::steady_clock::now() < end) {
      BD_EVENT ev;
      const int n = bd_read_ext(bd_, buf.data(), int(buf.size()), &ev);
      if (n < 0) return false;
      while (ev.event != BD_EVENT_NONE) {
        seen_.events.push_back({ev.event, ev.param});
        if (ev.event == BD_EVENT_STILL_TIME || ev.event == BD_EVENT_STILL) bd_read_skip_still(bd_);
        if (!bd_get_event(bd_, &ev)) break;
      }
      if (until()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(n == 0 ? 20 : 4));
    }
    return until();
  }
  void run(int ms) {
    run(ms, [] { return false; });
  }
  void key(uint32_t k) {
    bd_user_input(bd_, -1, k);
  }
  bool sawEvent(uint32_t event, uint32_t param) const {
    for (auto& e : seen_.events)
      if (e.first == event && e.second == param) return true;
    return false;
  }

private:
  BLURAY* bd_ = nullptr;
  Seen seen_;
  bool playing_ = false;
};

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

fs::path makeDemo(const morvex::test::TempDir& dir) {
  const fs::path bdmv = dir.path() / "demo" / "BDMV";
  const std::string cmd = std::string("\"") + MORVEX_MAKE_DEMO_PATH + "\" \"" + bdmv.string() + "\" > /dev/null";
  if (std::system(cmd.c_str()) != 0) return {};
  return dir.path() / "demo";
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

#pragma once
// The player library driven in navigation mode as a player application drives it: the
// overlay callback registered before playback starts, the stream read in a loop while
// real time passes (effects, animations and time-outs run on the player's clock), keys
// given as a viewer presses them. What the IG plane shows is kept as drawn.
#include <gtest/gtest.h>

#include <libbluray/bluray.h>
#include <libbluray/keys.h>
#include <libbluray/overlay.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"

namespace morvex::test::player {

namespace fs = std::filesystem;

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

inline void overlayProc(void* handle, const BD_OVERLAY* ov) {
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

inline fs::path makeDemo(const morvex::test::TempDir& dir) {
  const fs::path bdmv = dir.path() / "demo" / "BDMV";
  const std::string cmd = std::string("\"") + MORVEX_MAKE_DEMO_PATH + "\" \"" + bdmv.string() + "\" > /dev/null";
  if (std::system(cmd.c_str()) != 0) return {};
  return dir.path() / "demo";
}

}  // namespace morvex::test::player

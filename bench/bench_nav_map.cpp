// The navigation walk of a large disc: 3,000 playlists and about 100,000 commands.
// 999 titles of 100 commands each (register set-up, compares on known values, three
// plays, back to the Top Menu), a First Play that sets up and jumps to the menu, and
// a Top Menu whose playlist carries a menu of 10 pages of 10 buttons that reach every
// title; one title draws a random number. The target is under 100 ms a walk.
#include <benchmark/benchmark.h>

#include "disc/nav_map.h"

namespace {

using morvex::hdmv::Command;
using namespace morvex;

disc::NavigationDisc largeDisc() {
  disc::NavigationDisc d;
  for (uint32_t n = 0; n < 3000; ++n) {
    playlist::Playlist m;
    for (uint32_t i = 0; i < 1 + n % 3; ++i) {
      playlist::PlayItem pi;
      pi.clipName = disc::playlistName(n);
      pi.outTime = 45000 * (60 + (n * 37) % 7000);
      m.playList.playItems.push_back(pi);
    }
    d.playlistFiles.insert(disc::playlistName(n));
    d.playlists.emplace(disc::playlistName(n), std::move(m));
  }
  auto& objs = d.movieObjects.movieObjects.objects;
  nav::MovieObject fp;
  for (uint32_t g = 0; g < 50; ++g) fp.commands.push_back({0x50400001, g, g * 3});
  fp.commands.push_back({0x21800000, 1, 0});  // Jump Object 1
  objs.push_back(fp);
  nav::MovieObject menu;
  menu.commands = {{0x22800000, 0, 0}, {0x20810000, 0, 0}};  // Play PL 0, GoTo 0
  objs.push_back(menu);
  for (uint32_t t = 1; t <= 999; ++t) {
    nav::MovieObject o;
    if (t == 500) o.commands.push_back({0x50400008, 90, 4});  // Rnd GPR90, 4
    while (o.commands.size() < 96) {
      const uint32_t g = uint32_t(o.commands.size());
      o.commands.push_back({0x50400001, 100 + g, t});    // Move GPRn, t
      o.commands.push_back({0x50400003, 100 + g, g});    // Add GPRn, g
      o.commands.push_back({0x48400200, 100 + g, t + g});  // EQ GPRn, t + g
      o.commands.push_back({0x50400003, 99, 1});         // Add GPR99, 1
    }
    for (uint32_t k = 0; k < 3; ++k) o.commands.push_back({0x22800000, (3 * t + k) % 3000, 0});
    o.commands.push_back({0x21810000, 0, 0});  // Jump Title 0
    objs.push_back(o);
    nav::Title title;
    title.titleNumber = t;
    title.objectId = uint16_t(objs.size() - 1);
    d.index.indexes.titles.push_back(title);
  }
  d.index.indexes.firstPlayback.objectId = 0;
  d.index.indexes.topMenu.objectId = 1;

  igs::InteractiveComposition ics;
  for (uint32_t p = 0; p < 10; ++p) {
    igs::Page page;
    for (uint32_t b = 0; b < 10; ++b) {
      igs::ButtonOverlapGroup g;
      igs::Button button;
      button.id = uint16_t(b);
      g.defaultValid = button.id;
      // Nine buttons lead to titles, the tenth to the next page.
      if (b < 9) button.commands = {{0x21810000, 1 + (p * 9 + b) * 11 % 999, 0}};
      else button.commands = {{0x51C00003, 0, 0x80000000u | ((p + 1) % 10)}};
      g.buttons.push_back(button);
      page.bogs.push_back(g);
    }
    ics.pages.push_back(page);
  }
  d.menus["00000"] = ics;
  return d;
}

void BM_NavigationWalk(benchmark::State& state) {
  static const auto disc = largeDisc();
  size_t commands = 0;
  for (const auto& o : disc.movieObjects.movieObjects.objects) commands += o.commands.size();
  size_t steps = 0;
  for (auto _ : state) {
    auto map = disc::walkNavigation(disc);
    steps = map.steps;
    benchmark::DoNotOptimize(map);
  }
  state.counters["playlists"] = double(disc.playlists.size());
  state.counters["commands"] = double(commands);
  state.counters["steps"] = double(steps);
}

}  // namespace

BENCHMARK(BM_NavigationWalk)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

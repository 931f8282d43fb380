// Run-length coding of a full-screen menu object, and a menu file load.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "igs/reader.h"
#include "igs/rle.h"
#include "igs/writer.h"

namespace {

using namespace morvex;

// A 1920x1080 picture that looks like a menu background: a vertical gradient in 48
// palette steps, rounded button boxes with dithered edges, and rows of glyph-like
// strokes (short runs) for the button labels.
igs::IndexedPicture menuPicture() {
  igs::IndexedPicture p;
  p.width = 1920;
  p.height = 1080;
  p.pixels.resize(size_t(1920) * 1080);
  std::mt19937 rng(1);
  for (int y = 0; y < 1080; ++y)
    for (int x = 0; x < 1920; ++x) p.pixels[size_t(y) * 1920 + x] = uint8_t(1 + y * 48 / 1080);
  for (int b = 0; b < 6; ++b) {
    int x0 = 200 + (b % 3) * 560, y0 = 500 + (b / 3) * 220;
    for (int y = y0; y < y0 + 140; ++y)
      for (int x = x0; x < x0 + 480; ++x) {
        bool edge = x < x0 + 4 || x >= x0 + 476 || y < y0 + 4 || y >= y0 + 136;
        p.pixels[size_t(y) * 1920 + x] = edge ? uint8_t(60 + rng() % 4) : uint8_t(70);
      }
    for (int y = y0 + 40; y < y0 + 100; ++y)
      for (int x = x0 + 40; x < x0 + 440; ++x)
        if ((x / 3 + y / 5 + (rng() % 3)) % 7 < 2) p.pixels[size_t(y) * 1920 + x] = uint8_t(200 + rng() % 8);
  }
  return p;
}

void BM_RleEncode1080p(benchmark::State& state) {
  const igs::IndexedPicture pic = menuPicture();
  size_t bytes = 0;
  for (auto _ : state) {
    core::Bytes out = igs::rleEncode(pic);
    bytes = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["rle_bytes"] = double(bytes);
}
BENCHMARK(BM_RleEncode1080p)->Unit(benchmark::kMillisecond);

void BM_RleDecode1080p(benchmark::State& state) {
  const core::Bytes data = igs::rleEncode(menuPicture());
  for (auto _ : state) {
    igs::IndexedPicture p = igs::rleDecode(data, 1920, 1080, nullptr);
    benchmark::DoNotOptimize(p.pixels.data());
  }
  state.counters["rle_bytes"] = double(data.size());
}
BENCHMARK(BM_RleDecode1080p)->Unit(benchmark::kMillisecond);

// Loading a menu file of eight full-screen objects (about the size of a rich disc
// menu); the load copies the data, the pictures are decoded on demand.
void BM_LoadMenuFile(benchmark::State& state) {
  igs::Menu m;
  m.ics.width = 1920;
  m.ics.height = 1080;
  m.ics.model = 3;
  m.ics.pages.resize(1);
  m.ics.pages[0].bogs.resize(1);
  m.pageButtons.resize(1);
  const igs::IndexedPicture pic = menuPicture();
  for (uint16_t id = 0; id < 8; ++id) {
    igs::TIGobject o;
    o.id = id;
    o.picture = pic;
    m.objects.push_back(o);
  }
  core::NullLog log;
  const core::Bytes file = igs::saveIGS(m, igs::SaveForm::MenuFile, log);
  for (auto _ : state) {
    igs::Menu back;
    igs::loadMNU(back, std::span<const uint8_t>(file), log);
    benchmark::DoNotOptimize(back.work.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}
BENCHMARK(BM_LoadMenuFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

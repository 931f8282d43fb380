// Run-length coding of a full-screen menu object, and a menu file load.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "ts/demux.h"
#include "support/ts_synth.h"
#include "igs/extract.h"
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
    core::Bytes out = igs::encodeRuns(pic);
    bytes = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["rle_bytes"] = double(bytes);
}
BENCHMARK(BM_RleEncode1080p)->Unit(benchmark::kMillisecond);

void BM_RleDecode1080p(benchmark::State& state) {
  const core::Bytes data = igs::encodeRuns(menuPicture());
  for (auto _ : state) {
    igs::IndexedPicture p = igs::decodeRuns(data, 1920, 1080, nullptr);
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
    igs::GraphicsObject o;
    o.id = id;
    o.picture = pic;
    m.objects.push_back(o);
  }
  core::NullLog log;
  const core::Bytes file = igs::writeMenu(m, igs::SaveForm::MenuFile);
  for (auto _ : state) {
    igs::Menu back;
    igs::readMenu(std::span<const uint8_t>(file), "bench.mnu", back, log);
    benchmark::DoNotOptimize(back.work.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}
BENCHMARK(BM_LoadMenuFile)->Unit(benchmark::kMillisecond);

// A large synthetic stream (video, audio, subtitles and an IG PID), written once to
// the temporary folder; MORVEX_BENCH_STREAM_MB sets its size (default 2048).
const std::filesystem::path& bigStream() {
  static std::filesystem::path p;
  if (!p.empty()) return p;
  uint64_t mb = 2048;
  if (const char* e = std::getenv("MORVEX_BENCH_STREAM_MB")) mb = std::strtoull(e, nullptr, 10);
  p = std::filesystem::temp_directory_path() / ("Morvex_bench_" + std::to_string(mb) + "MB.m2ts");
  std::error_code ec;
  if (std::filesystem::file_size(p, ec) < mb << 20 || ec) {
    test::SynthOptions opt;
    opt.targetBytes = mb << 20;
    std::string err;
    test::writeSyntheticStream(p, opt, err);
  }
  return p;
}

// The bare demultiplexer on PID 0x1400, IG framing, into a work file.
void BM_DemuxIgPid(benchmark::State& state) {
  const auto& src = bigStream();
  const auto out = std::filesystem::temp_directory_path() / ("Morvex_bench_" + std::to_string(::getpid()) + ".mnu");
  core::NullLog log;
  for (auto _ : state) {
    auto r = ts::demuxStream(src, out, igs::kDefaultIgPid, ts::DemuxMode::Menu, log);
    benchmark::DoNotOptimize(r.pidPackets);
  }
  std::filesystem::remove(out);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(std::filesystem::file_size(src)));
}
BENCHMARK(BM_DemuxIgPid)->Unit(benchmark::kMillisecond)->Iterations(3);

// The whole menu load from the same stream: demultiplex, read back, parse.
void BM_LoadMenuFromStream(benchmark::State& state) {
  const auto& src = bigStream();
  core::NullLog log;
  for (auto _ : state) {
    igs::Menu m;
    igs::loadMenuFromStream(src, igs::kDefaultIgPid, m, log);
    benchmark::DoNotOptimize(m.work.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(std::filesystem::file_size(src)));
}
BENCHMARK(BM_LoadMenuFromStream)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();

// Reading and resaving every fixture playlist: playlists per second.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/log.h"
#include "playlist/mpls_reader.h"
#include "playlist/mpls_writer.h"

namespace fs = std::filesystem;
using namespace morvex;

static std::vector<core::Bytes> loadFixturePlaylists() {
  std::vector<core::Bytes> out;
  fs::path root = fs::path(MORVEX_FIXTURES_DIR) / "discs";
  std::error_code ec;
  if (!fs::is_directory(root, ec)) return out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (!e.is_regular_file() || e.path().extension() != ".mpls") continue;
    std::ifstream f(e.path(), std::ios::binary);
    out.emplace_back(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  }
  return out;
}

static void BM_ReadAndResaveFixturePlaylists(benchmark::State& state) {
  static const std::vector<core::Bytes> files = loadFixturePlaylists();
  if (files.empty()) {
    state.SkipWithError("disc fixtures not found");
    return;
  }
  core::NullLog log;
  size_t bytes = 0;
  for (auto _ : state) {
    for (const auto& f : files) {
      playlist::Playlist m;
      playlist::readPlaylist(f, "bench.mpls", m, log, playlist::ReadOptions{true});
      core::Bytes out = playlist::writePlaylist(m);
      benchmark::DoNotOptimize(out.data());
      bytes += f.size();
    }
  }
  state.SetItemsProcessed(int64_t(state.iterations() * files.size()));  // items/s = playlists/s
  state.SetBytesProcessed(int64_t(bytes));
  state.counters["playlists"] = double(files.size());
}
BENCHMARK(BM_ReadAndResaveFixturePlaylists)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

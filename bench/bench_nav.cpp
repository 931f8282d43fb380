// Reading and resaving every index.bdmv and MovieObject.bdmv of the disc fixtures.
// The files are loaded into memory once; each iteration reads and writes all of them,
// so items/second is files per second.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "nav/index.h"
#include "nav/movie_object.h"

namespace fs = std::filesystem;
using morvex::core::Bytes;

namespace {

std::vector<Bytes> load(const std::string& name) {
  std::vector<Bytes> out;
  fs::path root = fs::path(MORVEX_FIXTURES_DIR) / "discs";
  std::error_code ec;
  if (!fs::is_directory(root, ec)) return out;
  std::vector<fs::path> files;
  for (const auto& e : fs::recursive_directory_iterator(root, ec))
    if (e.is_regular_file() && e.path().filename() == name) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  for (const auto& f : files) {
    std::ifstream in(f, std::ios::binary);
    out.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return out;
}

void BM_IndexReadResave(benchmark::State& state) {
  static const auto files = load("index.bdmv");
  if (files.empty()) {
    state.SkipWithError("disc fixtures not found");
    return;
  }
  morvex::core::NullLog log;
  for (auto _ : state) {
    for (const auto& f : files) {
      morvex::nav::IndexTable x;
      morvex::nav::readIndexTable(f, "index.bdmv", x, log);
      benchmark::DoNotOptimize(morvex::nav::writeIndexTable(x));
    }
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(files.size()));
}

void BM_MovieObjectReadResave(benchmark::State& state) {
  static const auto files = load("MovieObject.bdmv");
  if (files.empty()) {
    state.SkipWithError("disc fixtures not found");
    return;
  }
  morvex::core::NullLog log;
  int64_t bytes = 0;
  for (const auto& f : files) bytes += int64_t(f.size());
  for (auto _ : state) {
    for (const auto& f : files) {
      morvex::nav::MovieObjectFile m;
      morvex::nav::readMovieObjectFile(f, "MovieObject.bdmv", m, log);
      benchmark::DoNotOptimize(morvex::nav::writeMovieObjectFile(m));
    }
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(files.size()));
  state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
}

}  // namespace

BENCHMARK(BM_IndexReadResave);
BENCHMARK(BM_MovieObjectReadResave);
BENCHMARK_MAIN();

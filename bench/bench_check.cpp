// The disc checker: the largest fixture disc (by file count) and a generated disc of
// 3,000 playlists and 3,000 clips. Targets: under 50 ms and under 1 s per check.
#include <benchmark/benchmark.h>

#include <filesystem>

#include <unistd.h>

#include "check/checker.h"
#include "support/sample_disc.h"

namespace fs = std::filesystem;

namespace {

size_t fileCount(const fs::path& dir) {
  size_t n = 0;
  std::error_code ec;
  for (const auto& e : fs::recursive_directory_iterator(dir, ec))
    if (e.is_regular_file()) ++n;
  return n;
}

fs::path largestFixture() {
  fs::path root = fs::path(MORVEX_FIXTURES_DIR) / "discs", best;
  std::error_code ec;
  size_t most = 0;
  if (!fs::is_directory(root, ec)) return {};
  for (const auto& e : fs::directory_iterator(root, ec)) {
    const size_t n = fileCount(e.path() / "BDMV");
    if (n > most) most = n, best = e.path() / "BDMV";
  }
  return best;
}

void BM_CheckLargestFixture(benchmark::State& state) {
  static const fs::path disc = largestFixture();
  if (disc.empty()) {
    state.SkipWithError("disc fixtures not found");
    return;
  }
  state.SetLabel(disc.parent_path().filename().string() + ", " + std::to_string(fileCount(disc)) + " files");
  for (auto _ : state) {
    auto r = morvex::check::checkDisc(disc);
    benchmark::DoNotOptimize(r.findings.data());
    if (!r.checked) state.SkipWithError("not checked");
  }
}
BENCHMARK(BM_CheckLargestFixture)->Unit(benchmark::kMillisecond);

void BM_CheckGenerated3000(benchmark::State& state) {
  const fs::path dir = fs::temp_directory_path() / ("morvex-bench-check-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  if (!morvex::test::writeSampleDisc(dir / "BDMV", 3000, 3000)) {
    state.SkipWithError("could not write the generated disc");
    return;
  }
  size_t findings = 0;
  for (auto _ : state) {
    auto r = morvex::check::checkDisc(dir / "BDMV");
    findings = r.findings.size();
    benchmark::DoNotOptimize(r.findings.data());
  }
  state.counters["findings"] = double(findings);
  fs::remove_all(dir);
}
BENCHMARK(BM_CheckGenerated3000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

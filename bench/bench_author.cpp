// Authoring a 20-title menu, ffmpeg's encoding left out: the titles read and walked,
// the pages planned (labels set in type, faces drawn, one palette made, the pages
// drawn), the menu muxed into a still clip encoded beforehand, and the clip
// information, the playlist, the movie objects and the index written. Target: under
// two seconds a run.
//
//   bench_author [benchmark flags]   (build it in the release preset for real numbers)
//
// The disc (20 one-second titles, encoded once by ffmpeg) and the still clip are made
// before timing; every run works on a fresh copy of the disc, copied outside the timing.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <iostream>

#include "author/menu_author.h"
#include "author/still_clip.h"
#include "core/log.h"
#include "support/av_disc.h"

namespace fs = std::filesystem;
using namespace morvex;

namespace {

fs::path gRoot;
std::shared_ptr<author::ScratchFolder> gStill;
fs::path gStillStream;
bool gReady = false;

bool prepare() {
  gRoot = fs::temp_directory_path() / ("Morvex_bench_author_" + std::to_string(getpid()));
  std::string err;
  if (!test::writeAvDisc(gRoot / "pristine" / "BDMV", {20, 1.0, 0}, err)) {
    std::cerr << "bench_author: " << err << '\n';
    return false;
  }
  core::NullLog quiet;
  author::AuthorOptions o;
  const author::MenuPlan plan = author::planMenu(gRoot / "pristine", o, quiet);
  if (!plan.ok) {
    std::cerr << "bench_author: " << plan.error << '\n';
    return false;
  }
  author::StillClipResult still = author::encodeStillClip(plan.background, 3, 0x1011, quiet);
  if (!still.ok) {
    std::cerr << "bench_author: " << still.error << '\n';
    return false;
  }
  gStill = still.scratch;
  gStillStream = still.stream;
  return true;
}

void BM_AuthorTwentyTitles(benchmark::State& state) {
  if (!gReady) {
    state.SkipWithError("the disc or the still clip could not be made (ffmpeg missing?)");
    return;
  }
  core::NullLog quiet;
  author::AuthorOptions o;
  o.layout = state.range(0) ? author::Layout::Grid : author::Layout::Column;
  o.fadeIn = true;
  size_t pages = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::error_code ec;
    fs::remove_all(gRoot / "work", ec);
    fs::copy(gRoot / "pristine", gRoot / "work", fs::copy_options::recursive, ec);
    state.ResumeTiming();
    author::MenuPlan plan = author::planMenu(gRoot / "work", o, quiet);
    const author::AuthorResult r =
        author::writePlannedMenu(gRoot / "work", plan, o, gStillStream, core::SaveSettings{}, quiet);
    if (!r.ok) {
      state.SkipWithError(r.error.c_str());
      return;
    }
    pages = plan.pages.size();
  }
  state.counters["pages"] = double(pages);
}
BENCHMARK(BM_AuthorTwentyTitles)->Arg(0)->Arg(1)->ArgName("grid")->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  gReady = prepare();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  fs::remove_all(gRoot, ec);
  gStill.reset();
  return 0;
}

// Muxing a menu into an AV stream against a plain copy of the same file, in one run:
// the muxer reads and writes every packet once, so it should come close to the copy.
//
//   bench_mux_into [benchmark flags]   (build it in the release preset for real numbers)
//   MORVEX_BENCH_STREAM=/path/x.m2ts   use this stream instead of generating one
//   MORVEX_BENCH_BYTES=536870912       size of the generated stream (default 512 MiB)
//
// The generated stream and the outputs live in the temporary folder and are removed at
// the end; the ratio of the best times (copy / mux) is printed last.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "core/log.h"
#include "igs/mux_into.h"
#include "igs/edit.h"
#include "support/ts_synth.h"

namespace fs = std::filesystem;
using namespace morvex;

namespace {

fs::path gStream, gOut;
bool gGenerated = false;
double gBestCopy = 0, gBestCopyFlushed = 0, gBestMux = 0;
uint64_t gBytes = 0, gFirstPts = 0;
std::vector<igs::MenuPes> gPes;

std::string tmpName(const std::string& what) {
  return (fs::temp_directory_path() / ("Morvex_bench_" + std::to_string(getpid()) + "_" + what)).string();
}

void best(double& b, double s) { b = b == 0 ? s : std::min(b, s); }

// This process's CPU time (user + system): on a busy machine wall times mostly measure
// the other processes and the disk, CPU times what each contender itself costs.
double cpuNow() {
  struct rusage ru {};
  getrusage(RUSAGE_SELF, &ru);
  return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}
double gCpuCopy = 0, gCpuMux = 0;

// A plain copy: 1 MiB blocks read and written, as the muxer's own I/O is; with
// `durable`, flushed to disk at the end as the muxer's atomic save does.
void copyOnce(bool durable) {
  std::vector<char> buf(1 << 20);
  FILE* in = std::fopen(gStream.c_str(), "rb");
  FILE* out = std::fopen(gOut.c_str(), "wb");
  size_t n;
  while (in && out && (n = std::fread(buf.data(), 1, buf.size(), in)) > 0) std::fwrite(buf.data(), 1, n, out);
  if (out) {
    std::fflush(out);
    if (durable) fsync(fileno(out));
    std::fclose(out);
  }
  if (in) std::fclose(in);
}

void copyBench(benchmark::State& st, bool durable, double& bestTime) {
  for (auto _ : st) {
    const auto t0 = std::chrono::steady_clock::now();
    const double c0 = cpuNow();
    copyOnce(durable);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (!durable) best(gCpuCopy, cpuNow() - c0);
    st.SetIterationTime(s);
    best(bestTime, s);
  }
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(gBytes));
}
void BM_PlainCopy(benchmark::State& st) { copyBench(st, false, gBestCopy); }
void BM_PlainCopyFlushed(benchmark::State& st) { copyBench(st, true, gBestCopyFlushed); }

void BM_MuxInto(benchmark::State& st) {
  core::NullLog log;
  igs::MuxIntoOptions o;
  o.at = gFirstPts;
  for (auto _ : st) {
    const auto t0 = std::chrono::steady_clock::now();
    const double c0 = cpuNow();
    const auto r = igs::muxMenuInto(gPes, gStream, gOut, o, log);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    best(gCpuMux, cpuNow() - c0);
    if (!r.ok) {
      st.SkipWithError(r.error.c_str());
      return;
    }
    st.SetIterationTime(s);
    best(gBestMux, s);
  }
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(gBytes));
}

}  // namespace

// Alternated, so that both see the machine in the same state.
BENCHMARK(BM_PlainCopy)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PlainCopyFlushed)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MuxInto)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PlainCopy)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PlainCopyFlushed)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MuxInto)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (const char* s = std::getenv("MORVEX_BENCH_STREAM")) {
    gStream = s;
  } else {
    gStream = tmpName("stream.m2ts");
    test::SynthOptions o;
    o.targetBytes = 512ull << 20;
    if (const char* b = std::getenv("MORVEX_BENCH_BYTES")) o.targetBytes = std::strtoull(b, nullptr, 10);
    o.ig = false;
    std::string err;
    test::SynthStats stats;
    if (!test::writeSyntheticStream(gStream, o, err, &stats)) {
      std::cerr << err << '\n';
      return 1;
    }
    gFirstPts = stats.firstPts;
    gGenerated = true;
  }
  gOut = tmpName("out.m2ts");
  gBytes = fs::file_size(gStream);
  igs::Menu m;
  igs::newMenu(m);
  gPes = igs::stampedMenuPes(m, gFirstPts);
  benchmark::RunSpecifiedBenchmarks();
  std::printf(
      "%.1f MiB: plain copy %.3f s, copy flushed to disk %.3f s, mux --into %.3f s (written atomically, flushed):\n"
      "mux runs at %.2fx the plain copy's speed, %.2fx the flushed copy's\n",
      double(gBytes) / (1 << 20), gBestCopy, gBestCopyFlushed, gBestMux, gBestMux > 0 ? gBestCopy / gBestMux : 0.0,
      gBestMux > 0 ? gBestCopyFlushed / gBestMux : 0.0);
  std::printf("CPU time: plain copy %.3f s, mux --into %.3f s (%.2fx)\n", gCpuCopy, gCpuMux,
              gCpuMux > 0 ? gCpuCopy / gCpuMux : 0.0);
  std::error_code ec;
  fs::remove(gOut, ec);
  if (gGenerated) fs::remove(gStream, ec);
  return 0;
}

// Demultiplexing speed and memory, side by side with `cat FILE > /dev/null` and with
// ffmpeg copying the same PID, on one generated stream held in the page cache.
//
//   bench_demux [benchmark flags]
//   MORVEX_BENCH_STREAM=/path/x.m2ts   use this stream instead of generating one
//   MORVEX_BENCH_BYTES=2147483648      size of the generated stream (default 2 GiB)
//
// A generated stream is written to the temporary folder and removed at the end. After
// the timed runs the program prints the ratios and the peak memory (resident set) of a
// demultiplexing child process for the full stream and for a stream an eighth its size.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "ts/demux.h"
#include "support/ts_synth.h"
#include "core/log.h"

namespace fs = std::filesystem;
using namespace morvex;

namespace {

fs::path gStream, gSmall, gOut;
bool gGenerated = false;
// Best wall time and best CPU time (user + system) of each contender. The CPU times
// matter on a busy machine, where wall times mostly measure the other processes.
struct Best {
  double wall = 0, cpu = 0;
  void add(double w, double c) {
    wall = wall == 0 ? w : std::min(wall, w);
    cpu = cpu == 0 ? c : std::min(cpu, c);
  }
};
Best gCat, gDemux, gDemuxNull, gFfmpeg, gDemuxTwo, gDemuxVideo;
uint64_t gBytes = 0;

double cpuSeconds(int who) {
  struct rusage ru {};
  getrusage(who, &ru);
  return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

std::string tmpName(const std::string& what) {
  return (fs::temp_directory_path() / ("Morvex_bench_" + std::to_string(getpid()) + "_" + what)).string();
}

double runShell(const std::string& cmd) {
  auto t0 = std::chrono::steady_clock::now();
  int rc = std::system(cmd.c_str());
  auto t1 = std::chrono::steady_clock::now();
  if (rc != 0) return -1;
  return std::chrono::duration<double>(t1 - t0).count();
}

void shellBench(benchmark::State& st, const std::string& cmd, Best& best) {
  for (auto _ : st) {
    double c0 = cpuSeconds(RUSAGE_CHILDREN);
    double s = runShell(cmd);
    double c = cpuSeconds(RUSAGE_CHILDREN) - c0;
    if (s < 0) {
      st.SkipWithError(("failed: " + cmd).c_str());
      return;
    }
    st.SetIterationTime(s);
    st.counters["cpu_s"] = c;
    best.add(s, c);
  }
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(gBytes));
}

void BM_Cat(benchmark::State& st) { shellBench(st, "cat '" + gStream.string() + "' > /dev/null", gCat); }

void BM_Ffmpeg(benchmark::State& st) {
  shellBench(st,
             "ffmpeg -nostdin -loglevel fatal -y -i '" + gStream.string() + "' -map 0:i:0x1100 -c copy -f data '" +
                 gOut.string() + ".ff'",
             gFfmpeg);
}

void demuxBench(benchmark::State& st, const fs::path& out, Best& best, uint16_t pid = 0x1100) {
  for (auto _ : st) {
    core::NullLog log;
    double c0 = cpuSeconds(RUSAGE_SELF);
    auto t0 = std::chrono::steady_clock::now();
    ts::DemuxResult r = ts::demuxStream(gStream, out, pid, ts::DemuxMode::Elementary, log);
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    double c = cpuSeconds(RUSAGE_SELF) - c0;
    if (!r.ok) {
      st.SkipWithError(r.error.c_str());
      return;
    }
    st.SetIterationTime(s);
    st.counters["cpu_s"] = c;
    st.counters["pid_packets"] = double(r.pidPackets);
    best.add(s, c);
  }
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(gBytes));
}

// Output to a file, as a user runs it; and to /dev/null, as `cat` runs.
void BM_DemuxES(benchmark::State& st) { demuxBench(st, gOut, gDemux); }
void BM_DemuxES_devnull(benchmark::State& st) { demuxBench(st, "/dev/null", gDemuxNull); }
// The larger of the two PIDs alone: the single-PID run that the two-PID pass is
// measured against (both write the same large file; 0x1100 alone may write nothing).
void BM_DemuxVideo(benchmark::State& st) { demuxBench(st, gOut.string() + ".one", gDemuxVideo, 0x1011); }

// Two PIDs (audio and video) in one pass, each to its own file: the cost of the second
// PID over a single-PID run.
void BM_DemuxTwoPids(benchmark::State& st) {
  const fs::path out2 = gOut.string() + ".vis";
  for (auto _ : st) {
    core::NullLog log;
    double c0 = cpuSeconds(RUSAGE_SELF);
    auto t0 = std::chrono::steady_clock::now();
    auto r = ts::demuxPids(gStream, {{0x1100, ts::DemuxMode::Elementary, gOut}, {0x1011, ts::DemuxMode::Elementary, out2}},
                             log);
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    double c = cpuSeconds(RUSAGE_SELF) - c0;
    if (!r[0].ok || !r[1].ok) {
      st.SkipWithError((r[0].error + r[1].error).c_str());
      return;
    }
    st.SetIterationTime(s);
    st.counters["cpu_s"] = c;
    gDemuxTwo.add(s, c);
  }
  std::error_code ec;
  fs::remove(out2, ec);
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(gBytes));
}

// Peak resident set of a child process that demultiplexes `stream` (KiB).
long childPeakKiB(const fs::path& stream) {
  pid_t pid = fork();
  if (pid == 0) {
    core::NullLog log;
    ts::DemuxResult r = ts::demuxStream(stream, gOut, 0x1100, ts::DemuxMode::Elementary, log);
    _exit(r.ok ? 0 : 1);
  }
  int status = 0;
  struct rusage ru {};
  wait4(pid, &status, 0, &ru);
  return ru.ru_maxrss;
}

bool generate(const fs::path& p, uint64_t bytes) {
  test::SynthOptions o;
  o.targetBytes = bytes;
  std::string err;
  if (!test::writeSyntheticStream(p, o, err)) {
    std::cerr << err << '\n';
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t want = 2ull << 30;
  if (const char* b = std::getenv("MORVEX_BENCH_BYTES")) want = std::strtoull(b, nullptr, 10);
  gOut = tmpName("out.es");
  if (const char* s = std::getenv("MORVEX_BENCH_STREAM")) {
    gStream = s;
  } else {
    gStream = tmpName("stream.m2ts");
    gGenerated = true;
    std::cerr << "generating " << want << " bytes into " << gStream << " ...\n";
    if (!generate(gStream, want)) return 1;
  }
  gBytes = fs::file_size(gStream);
  runShell("cat '" + gStream.string() + "' > /dev/null");  // into the page cache

  benchmark::RegisterBenchmark("Cat", BM_Cat)->UseManualTime()->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("DemuxES_0x1100", BM_DemuxES)->UseManualTime()->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("DemuxES_0x1100_devnull", BM_DemuxES_devnull)->UseManualTime()->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("DemuxES_0x1011", BM_DemuxVideo)->UseManualTime()->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("DemuxES_0x1100_and_0x1011", BM_DemuxTwoPids)->UseManualTime()->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Ffmpeg_0x1100", BM_Ffmpeg)->UseManualTime()->Iterations(1)->Repetitions(1)->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();

  long peakBig = childPeakKiB(gStream);
  gSmall = tmpName("small.m2ts");
  long peakSmall = generate(gSmall, gBytes / 8) ? childPeakKiB(gSmall) : -1;

  const double mb = double(gBytes) / 1e6;
  std::printf("\nstream: %.0f MB (%s); best of the runs, wall and CPU (user+system) seconds\n", mb,
              gGenerated ? "generated" : "given");
  auto line = [&](const char* what, const Best& b) {
    if (b.wall > 0) std::printf("%-22s wall %.3f s (%5.0f MB/s)  cpu %.3f s\n", what, b.wall, mb / b.wall, b.cpu);
  };
  line("cat > /dev/null", gCat);
  line("demux ES -> file", gDemux);
  line("demux ES -> /dev/null", gDemuxNull);
  line("demux 0x1011 -> file", gDemuxVideo);
  line("demux 2 PIDs -> files", gDemuxTwo);
  line("ffmpeg -c copy", gFfmpeg);
  auto ratio = [&](const char* what, const Best& a, const Best& b) {
    if (a.wall > 0 && b.wall > 0)
      std::printf("%-40s wall %.2f  cpu %.2f\n", what, b.wall / a.wall, b.cpu > 0 && a.cpu > 0 ? b.cpu / a.cpu : 0.0);
  };
  ratio("speed demux(/dev/null) / cat:", gDemuxNull, gCat);
  ratio("speed demux(file) / cat:", gDemux, gCat);
  ratio("speed demux(file) / ffmpeg:", gDemux, gFfmpeg);
  ratio("two PIDs in one pass / one PID (<= 1.2):", gDemuxVideo, gDemuxTwo);
  std::printf("peak memory of a demux process: %ld KiB (%.0f MB stream), %ld KiB (%.0f MB stream)\n", peakBig, mb,
              peakSmall, mb / 8);

  std::error_code ec;
  fs::remove(gOut, ec);
  fs::remove(gOut.string() + ".ff", ec);
  fs::remove(gOut.string() + ".one", ec);
  fs::remove(gSmall, ec);
  if (gGenerated) fs::remove(gStream, ec);
  return 0;
}

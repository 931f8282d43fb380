// The clip cross-reference search over a generated disc folder of 2000 playlists and
// 2000 clips (each playlist plays one to three clips and some have a SubPath; every
// other clip has a stream file). It must stay interactive.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>

#include "disc/finder.h"
#include "core/log.h"
#include "playlist/mpls_writer.h"

namespace fs = std::filesystem;
using namespace morvex;

namespace {

std::string name5(unsigned n) {
  char b[8];
  std::snprintf(b, sizeof b, "%05u", n);
  return b;
}

struct GeneratedDisc {
  fs::path root;
  disc::DiscLoad load;
  GeneratedDisc(unsigned playlists, unsigned clips) {
    root = fs::temp_directory_path() / ("Morvex_bench_finder_" + std::to_string(getpid()));
    fs::create_directories(root / "PLAYLIST");
    fs::create_directories(root / "STREAM");
    load.folder = root;
    for (unsigned c = 0; c < clips; ++c) {
      load.clipinfos.push_back(name5(c));
      if (c % 2 == 0) std::fclose(std::fopen((root / "STREAM" / (name5(c) + ".m2ts")).c_str(), "wb"));
    }
    for (unsigned p = 0; p < playlists; ++p) {
      playlist::Playlist m;
      m.typeIndicator = "MPLS";
      m.version = "0200";
      m.markStart = 1;
      m.appInfo.playbackType = 1;
      for (unsigned k = 0; k <= p % 3; ++k) {
        playlist::PlayItem it;
        it.clipName = name5((p + 7 * k) % clips);
        it.codecId = "M2TS";
        it.outTime = 45000 * 60;
        playlist::Stream v;
        v.entry.mainPID = 0x1011;
        v.attr.codingType = 0x1B;
        it.stn.video.push_back(v);
        m.playList.playItems.push_back(it);
      }
      if (p % 5 == 0) {
        playlist::SubPath sp;
        sp.type = 3;
        playlist::SubPlayItem si;
        si.clipName = name5((p + 1) % clips);
        si.codecId = "M2TS";
        sp.subPlayItems.push_back(si);
        m.playList.subPaths.push_back(sp);
      }
      playlist::updateLengths(m);
      core::Bytes b = playlist::writePlaylist(m);
      std::string err;
      core::writeFileAtomic(root / "PLAYLIST" / (name5(p) + ".mpls"), b, err);
      load.playlists.push_back(name5(p));
    }
  }
  ~GeneratedDisc() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
};

void BM_FindClipReferences(benchmark::State& st) {
  GeneratedDisc d(unsigned(st.range(0)), unsigned(st.range(0)));
  size_t refs = 0;
  for (auto _ : st) {
    core::NullLog log;
    disc::findClipReferences(d.load, log);
    refs = 0;
    for (const auto& r : d.load.ciRefs) refs += r.size();
  }
  st.counters["references"] = double(refs);
}
BENCHMARK(BM_FindClipReferences)->Arg(2000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

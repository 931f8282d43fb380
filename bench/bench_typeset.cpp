// Setting a menu's labels: 20 buttons, each in its normal, selected and activated
// state (the same text in three colours), every label fitted into a 360 x 90 box.
// The first menu of a font opens the face and fills the glyph caches; later ones
// reuse them.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "typeset/label.h"

using namespace morvex;

namespace {

const std::vector<std::string>& labels() {
  static const std::vector<std::string> l = [] {
    std::vector<std::string> v;
    const char* words[] = {"Play movie", "Scene selection", "Audio setup", "Subtitles",
                           "Bonus material and behind the scenes", "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7",
                           "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D", "Director's commentary", "Trailers", "Chapter 10"};
    for (int i = 0; i < 20; ++i) v.push_back(std::string(words[i % 10]) + (i >= 10 ? " " + std::to_string(i) : ""));
    return v;
  }();
  return l;
}

void setMenu(const typeset::FontFace& face, benchmark::State& state) {
  const menuview::Rgba colours[3] = {{255, 255, 255, 255}, {255, 220, 0, 255}, {255, 80, 0, 255}};
  for (auto _ : state) {
    int ok = 0;
    for (const std::string& text : labels())
      for (const menuview::Rgba& c : colours) {
        typeset::LabelStyle s;
        s.maxWidth = 360, s.maxHeight = 90;
        s.colour = c;
        s.shadow = menuview::Rgba{0, 0, 0, 160};
        ok += typeset::setLabel(face, text, s).ok;
      }
    if (ok != 60) state.SkipWithError("a label did not fit");
    benchmark::DoNotOptimize(ok);
  }
}

typeset::FontFace font(const char* name) {
  std::string error;
  return typeset::findFont(name, error).value_or(typeset::FontFace{});
}

// A face used nowhere else in this program, so the one run starts cold.
void BM_MenuLabelsFirstMenu(benchmark::State& state) { setMenu(font("DejaVu Sans:bold"), state); }
BENCHMARK(BM_MenuLabelsFirstMenu)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_MenuLabels(benchmark::State& state) { setMenu(font("DejaVu Sans"), state); }
BENCHMARK(BM_MenuLabels)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

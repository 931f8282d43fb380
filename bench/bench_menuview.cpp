// Page composition speed: renderPage of a 1080p page with 20 buttons after the page's
// objects are coloured (preload), and one animation step with every button animating.
#include <benchmark/benchmark.h>

#include <memory>

#include "core/log.h"
#include "hdmv/interpreter.h"
#include "igs/colour.h"
#include "igs/model.h"
#include "menuview/emulator.h"

using namespace morvex;

namespace {

struct BenchMenu {
  igs::Menu menu;
  hdmv::Registers regs;
  menuview::DisplayOptions options;
  core::NullLog log;
  std::unique_ptr<menuview::PageView> view;
  hdmv::Interpreter interp{regs};
  std::unique_ptr<menuview::MenuEmulator> emu;

  BenchMenu() {
    hdmv::resetRegisters(regs, hdmv::RegisterOptions{});
    menu.loaded = true;
    menu.ics.width = 1920;
    menu.ics.height = 1080;
    menu.ics.frameRateCode = 2;
    menu.palettes.resize(1);
    for (int i = 0; i < 256; ++i)
      menu.palettes[0].rgbt[size_t(i)] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), uint8_t(i < 16 ? i * 16 : 255)};
    // Five objects per button (three normal animation steps, selected, activated),
    // 240 x 90 pixels of a pattern with transparent and half-transparent entries.
    constexpr int kButtons = 20, kW = 240, kH = 90;
    menu.objects.resize(kButtons * 5);
    for (size_t id = 0; id < menu.objects.size(); ++id) {
      igs::IndexedPicture pic{kW, kH, std::vector<uint8_t>(size_t(kW) * kH)};
      for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) pic.pixels[size_t(y) * kW + x] = uint8_t((x / 8 + y / 8 + id) % 256);
      menu.objects[id] = igs::GraphicsObject{uint16_t(id), -1, 0, kW, kH, 0, {}, std::move(pic)};
    }
    menu.ics.pages.resize(1);
    igs::Page& p = menu.ics.pages[0];
    p.bogs.resize(kButtons);
    for (uint16_t b = 0; b < kButtons; ++b) {
      igs::Button btn;
      btn.id = b;
      btn.x = uint16_t(60 + (b % 5) * 360);
      btn.y = uint16_t(80 + (b / 5) * 240);
      btn.normalStart = uint16_t(b * 5);
      btn.normalEnd = uint16_t(b * 5 + 2);
      btn.normalRepeat = 1;
      btn.selectedStart = btn.selectedEnd = uint16_t(b * 5 + 3);
      btn.activatedStart = btn.activatedEnd = uint16_t(b * 5 + 4);
      btn.commands = {hdmv::Command{0x50400001, 0, 1}};
      btn.numCommands = 1;
      p.bogs[b].defaultValid = b;
      p.bogs[b].numButtons = 1;
      p.bogs[b].buttons.push_back(btn);
    }
    p.numBOGs = kButtons;
    p.defaultSelected = 0;
    menu.ics.numPages = 1;
    menu.pageButtons.push_back(igs::buildPageButtons(p));
    view = std::make_unique<menuview::PageView>(menu, regs, options, log);
    emu = std::make_unique<menuview::MenuEmulator>(*view, interp);
    view->selectPage(0);
    regs.psr[10] = 0;
    view->loadButtonPictures(0);
  }
};

void BM_DrawPage20Buttons(benchmark::State& state) {
  BenchMenu m;
  for (auto _ : state) {
    m.view->renderPage();
    m.view->takeFrames();
    benchmark::DoNotOptimize(m.view->page().bytes());
  }
}
BENCHMARK(BM_DrawPage20Buttons)->Unit(benchmark::kMicrosecond);

void BM_AnimationStep20Buttons(benchmark::State& state) {
  BenchMenu m;
  m.view->renderPage();
  for (auto _ : state) {
    m.emu->animationTick();
    m.view->takeFrames();
    benchmark::DoNotOptimize(m.view->page().bytes());
  }
}
BENCHMARK(BM_AnimationStep20Buttons)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

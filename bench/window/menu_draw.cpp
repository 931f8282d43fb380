// Drawing speed of the Menu tab's page view: a 1080p page of 20 buttons composed and
// painted on screen (the widget's paint included), and one animation step with every
// button animating, each against the engine's own composition of the same page in
// the same run (the figures of bench_menuview).
//
//   bench_menu_draw [iterations]
//
// Budget: on screen at most twice the engine's time. The program prints "over
// budget" beside a figure that misses it and exits with 1 then.
#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>
#include <filesystem>

#include "core/log.h"
#include "igs/model.h"
#include "igs/reader.h"
#include "igs/writer.h"
#include "app/menu/menu_tab.h"
#include "app/menu/page_view_panel.h"
#include "app/menu/picture_widget.h"
#include "menuview/emulator.h"

using namespace morvex;
namespace fs = std::filesystem;

namespace {

// The page of bench_menuview: 20 buttons of 240 x 90, three normal animation steps
// each (repeating), one selected and one activated object.
igs::Menu benchMenu() {
  igs::Menu menu;
  menu.loaded = true;
  menu.ics.width = 1920;
  menu.ics.height = 1080;
  menu.ics.frameRateCode = 2;
  menu.ics.model = 3;
  menu.inTime = 180000;
  menu.palettes.resize(1);
  for (int i = 0; i < 256; ++i)
    menu.palettes[0].rgbt[size_t(i)] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), uint8_t(i < 16 ? i * 16 : 255)};
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
  p.animationCode = 1;
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
  return menu;
}

template <class F>
double microseconds(int n, F&& f) {
  QElapsedTimer t;
  t.start();
  for (int i = 0; i < n; ++i) f();
  return double(t.nsecsElapsed()) / 1000.0 / n;
}

bool report(const char* what, double engine, double screen) {
  const bool over = screen > 2 * engine;
  std::printf("%-34s engine %8.1f us   on screen %8.1f us   (%.2fx)%s\n", what, engine, screen, screen / engine,
              over ? "   over budget" : "");
  return !over;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
  QTemporaryDir tmp;
  const fs::path file = fs::path(tmp.path().toStdString()) / "bench.mnu";
  core::NullLog quiet;
  {
    igs::Menu m = benchMenu();
    if (!igs::saveMenuFile(m, file.parent_path(), file.filename().string(), core::SaveSettings{.backup = false}, quiet))
      return 2;
  }

  // The engine alone: the same menu as read from the file.
  igs::Menu menu;
  igs::readMenu(file, menu, quiet);
  hdmv::Registers regs;
  hdmv::resetRegisters(regs, hdmv::RegisterOptions{});
  menuview::DisplayOptions options;
  menuview::PageView view(menu, regs, options, quiet);
  hdmv::Interpreter interp(regs);
  menuview::MenuEmulator emu(view, interp);
  view.selectPage(0);
  regs.psr[10] = 0;
  view.loadButtonPictures(0);
  const double engineDraw = microseconds(n, [&] {
    view.renderPage();
    view.takeFrames();
  });
  options.buttonAnimation = true;
  emu.start(0);
  view.takeFrames();
  const double engineStep = microseconds(n, [&] {
    emu.animationTick();
    view.takeFrames();
  });

  // The tab on screen at the window's default size, on the Page view sub-tab in 1:1.
  app::AppContext ctx;
  ctx.log = &quiet;
  ctx.settings.showButtonAnimation = true;
  app::MenuTab tab(ctx, nullptr, nullptr);
  tab.resize(1366, 640);
  tab.show();
  tab.subTabs()->setCurrentIndex(app::MenuTab::SubPageView);
  QApplication::processEvents();
  if (!tab.loadFile(QString::fromStdString(file.string()))) return 2;
  tab.applyDisplayOptions();
  QApplication::processEvents();
  QWidget* viewport = tab.pageViewPanel()->picture()->viewport();
  menuview::PageView& tv = tab.pageView();
  ctx.regs.psr[10] = 0;
  const double screenDraw = microseconds(n, [&] {
    tv.renderPage();
    tv.takeFrames();
    tab.pageViewPanel()->picture()->updatePicture();
    viewport->repaint();
  });
  tab.emulator().start(0);
  tv.takeFrames();
  const double screenStep = microseconds(n, [&] {
    tab.animationStep();
    viewport->repaint();
  });

  std::printf("Menu page view, %d iterations (viewport %dx%d)\n", n, viewport->width(), viewport->height());
  bool ok = report("page of 20 buttons", engineDraw, screenDraw);
  ok = report("one animation step, 20 buttons", engineStep, screenStep) && ok;
  return ok ? 0 : 1;
}

// "Save P&ID" from the CLIPINF tab against `morvex-cli demux`, side by side on one
// generated stream: the demo disc is written to the temporary folder, its stream file
// 00001.m2ts replaced by a large generated one, and PID 0x1100 (audio, elementary
// stream) is extracted first by the window (its worker thread, progress and all) and
// then by the command line, alternately, `repeats` times each.
//
//   bench_demux_gui [bytes [repeats]]      (default 2 GiB, 3 repeats)
//
// Budget: the window's best time within 1.2 x the command line's best. Prints both, the
// ratio and "over budget" when it misses; everything it wrote is removed at the end.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/clip/clip_tab.h"
#include "support/ts_synth.h"
#include "app/window/main_window.h"

namespace fs = std::filesystem;
using namespace morvex;

namespace {
// CPU seconds (user + system) of this process, this thread or the waited-for children.
double cpuSeconds(int who) {
  struct rusage ru {};
  getrusage(who, &ru);
  return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}
}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication qapp(argc, argv);
  QApplication::setOrganizationName("Vantoro Software");
  QApplication::setApplicationName("Morvex bench");
  QTemporaryDir store;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, store.path());
  // Plain numbers only: scripts/bench.sh hands every benchmark the same flags.
  auto number = [&](int i, uint64_t fallback) {
    if (argc <= i || !*argv[i] || std::string(argv[i]).find_first_not_of("0123456789") != std::string::npos)
      return fallback;
    return uint64_t(std::stoull(argv[i]));
  };
  const uint64_t bytes = number(1, uint64_t(2) << 30);
  const int repeats = int(std::max<uint64_t>(1, number(2, 3)));

  QTemporaryDir scratch(QDir::tempPath() + "/Morvex_bench_demux_XXXXXX");
  const fs::path bdmv = fs::path(scratch.path().toStdString()) / "BDMV";
  if (QProcess::execute(MORVEX_MAKE_DEMO, {QString::fromStdString(bdmv.string())}) != 0) {
    std::fprintf(stderr, "cannot write the demo disc\n");
    return 2;
  }
  const fs::path stream = bdmv / "STREAM" / "00001.m2ts";
  test::SynthOptions opt;
  opt.targetBytes = bytes;
  opt.secondAudio = true;
  std::string err;
  std::printf("generating %.2f GiB stream ...\n", double(bytes) / double(1u << 30));
  std::fflush(stdout);
  if (!test::writeSyntheticStream(stream, opt, err)) {
    std::fprintf(stderr, "%s\n", err.c_str());
    return 2;
  }
  const double gib = double(fs::file_size(stream)) / double(1u << 30);

  app::MainWindow w({QString::fromStdString((bdmv / "index.bdmv").string())});
  w.show();
  w.startUp();
  // Save P&ID writes into the work folder (it asks for one when none is set).
  w.context().settings.workFolder = scratch.path();
  app::ClipTab* tab = w.clipTab();
  // The stream no longer matches the clip's packet count: keep the count as it is.
  tab->setPacketQuestion([](const QString&) { return false; });
  w.tabs()->setCurrentWidget(tab);
  auto* list = tab->findChild<QComboBox*>("clipChoice");
  list->setCurrentIndex(list->findText("00001"));
  if (!tab->readSelected()) {
    std::fprintf(stderr, "cannot read 00001.clpi\n");
    return 2;
  }
  auto* program = tab->findChild<QTableWidget*>("programStreamTable");
  int row = -1;
  for (int r = 0; r < program->rowCount(); ++r)
    if (program->item(r, 1) && program->item(r, 1)->text() == "1100") row = r;
  if (row < 0) return 2;
  program->setCurrentCell(row, 0);
  const QString guiOut = tab->outputFileFor(row);
  const QString cliOut = QString::fromStdString((fs::path(scratch.path().toStdString()) / "cli.aus").string());

  double bestGui = 0, bestCli = 0;
  std::vector<double> guiTimes, cliTimes;
  for (int i = 0; i < repeats; ++i) {
    QFile::remove(guiOut);
    QEventLoop loop;
    bool written = false;
    auto c = QObject::connect(tab, &app::ClipTab::extractionFinished, &loop, [&](bool ok) {
      written = ok;
      loop.quit();
    });
    QElapsedTimer t;
    const double cpu0 = cpuSeconds(RUSAGE_SELF), main0 = cpuSeconds(RUSAGE_THREAD);
    t.start();
    if (!tab->savePid()) return 2;
    loop.exec();
    const double g = double(t.nsecsElapsed()) / 1e9;
    const double gCpu = cpuSeconds(RUSAGE_SELF) - cpu0, gMain = cpuSeconds(RUSAGE_THREAD) - main0;
    QObject::disconnect(c);
    if (!written) {
      std::fprintf(stderr, "Save P&ID wrote nothing\n");
      return 2;
    }
    QFile::remove(cliOut);
    const double child0 = cpuSeconds(RUSAGE_CHILDREN);
    t.restart();
    const int rc = QProcess::execute(MORVEX_CLI, {"demux", QString::fromStdString(stream.string()), "--pid", "0x1100",
                                                  "--mode", "es", "-o", cliOut});
    const double c2 = double(t.nsecsElapsed()) / 1e9;
    const double cCpu = cpuSeconds(RUSAGE_CHILDREN) - child0;
    if (rc != 0) {
      std::fprintf(stderr, "morvex-cli demux failed (%d)\n", rc);
      return 2;
    }
    if (QFileInfo(guiOut).size() != QFileInfo(cliOut).size()) {
      std::fprintf(stderr, "the two outputs differ in size\n");
      return 2;
    }
    std::printf("run %d: window %.2f s (cpu %.2f s, of which the window thread %.2f s), command line %.2f s (cpu %.2f s)\n",
                i + 1, g, gCpu, gMain, c2, cCpu);
    std::fflush(stdout);
    guiTimes.push_back(g);
    cliTimes.push_back(c2);
    bestGui = bestGui == 0 ? g : std::min(bestGui, g);
    bestCli = bestCli == 0 ? c2 : std::min(bestCli, c2);
  }
  QFile::remove(guiOut);
  QFile::remove(cliOut);
  const double ratio = bestGui / bestCli;
  // On a busy machine single runs scatter widely: the medians are printed beside the best.
  std::sort(guiTimes.begin(), guiTimes.end());
  std::sort(cliTimes.begin(), cliTimes.end());
  const double medGui = guiTimes[guiTimes.size() / 2], medCli = cliTimes[cliTimes.size() / 2];
  std::printf("medians: window %.2f s, morvex-cli demux %.2f s, ratio %.2f\n", medGui, medCli, medGui / medCli);
  std::printf("Save P&ID of PID 0x1100 from a %.2f GiB stream (best of %d): window %.2f s, morvex-cli demux %.2f s, "
              "ratio %.2f%s\n",
              gib, repeats, bestGui, bestCli, ratio, ratio > 1.2 ? "   over budget (1.2)" : "");
  w.endOfRun();
  return ratio > 1.2 ? 1 : 0;
}

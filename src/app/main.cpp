// morvex: the desktop editor. One optional argument: a menu file (".mnu") or any
// file of a disc's BDMV folder, whose folder is then loaded.
//
// A later launch while a window is open hands its argument to that window, which
// opens it after asking about unsaved changes, and quits.
//
// --screenshots DIR  (not shown to users) opens the window, grabs a PNG of every tab
// into DIR and quits; it works on the offscreen platform too.
// --screenshot-size min|max|WxH  the window size for those pictures (default: the
// default window size).
#include <QApplication>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "core/save.h"
#include "app/shell/single_instance.h"
#include "app/window/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  morvex::core::removeStaleTemporaries();  // work files of earlier runs that were killed
  QApplication::setOrganizationName("Vantoro Software");
  QApplication::setApplicationName("Morvex");
  QApplication::setApplicationVersion(MORVEX_VERSION);

  // The two screenshot options take a value each, in any order and anywhere on the
  // line; a value is never another option, so "--screenshots --screenshot-size min"
  // is refused instead of writing into a folder named "--screenshot-size".
  QStringList args;
  QString shotDir, shotSize;
  const QStringList all = app.arguments().mid(1);
  for (int i = 0; i < all.size(); ++i) {
    const QString& a = all[i];
    if (a != "--screenshots" && a != "--screenshot-size") {
      args << a;
      continue;
    }
    if (i + 1 >= all.size() || all[i + 1].startsWith("--")) {
      std::fprintf(stderr, "morvex: %s needs a value\n", qPrintable(a));
      return 2;
    }
    (a == "--screenshots" ? shotDir : shotSize) = all[++i];
  }
  if (!shotSize.isEmpty() && shotSize != "min" && shotSize != "max" &&
      !QRegularExpression(R"(^\d+x\d+$)").match(shotSize).hasMatch()) {
    std::fprintf(stderr, "morvex: --screenshot-size takes min, max or WIDTHxHEIGHT, not %s\n", qPrintable(shotSize));
    return 2;
  }

  // Screenshots start from the defaults and leave the user's settings alone; the
  // scratch settings folder exists only for such a run.
  std::unique_ptr<QTemporaryDir> shotSettings;
  if (!shotDir.isEmpty()) {
    shotSettings = std::make_unique<QTemporaryDir>();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, shotSettings->path());
  }

  // A second launch hands its folder to the window already open and quits; a
  // screenshot run stands alone.
  morvex::app::SingleInstance instance(morvex::app::SingleInstance::defaultName());
  if (shotDir.isEmpty()) {
    if (instance.handOver(args)) return 0;
    instance.listen();
  }

  morvex::app::MainWindow w(args);
  // Queued: the question about unsaved changes must not run inside the socket's signal.
  QObject::connect(&instance, &morvex::app::SingleInstance::argumentsReceived, &w,
                   &morvex::app::MainWindow::openFromLaterLaunch, Qt::QueuedConnection);
  w.show();
  if (!shotDir.isEmpty()) {
    QObject::connect(&w, &morvex::app::MainWindow::startUpFinished, &w, [&] {
      if (shotSize == "min") {
        w.resize(w.minimumSize());
      } else if (shotSize == "max") {
        w.showMaximized();
      } else if (const QStringList wh = shotSize.split('x'); wh.size() == 2) {
        w.resize(wh[0].toInt(), wh[1].toInt());
      }
      QTimer::singleShot(300, &w, [&] {
        const bool ok = w.saveScreenshots(shotDir);
        QApplication::exit(ok ? 0 : 1);
      });
    });
  }
  const int rc = app.exec();
  w.endOfRun();
  return rc;
}

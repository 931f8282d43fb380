// morvex: the desktop editor. One optional argument: a menu file (".mnu") or any
// file of a disc's BDMV folder, whose folder is then loaded.
//
// --screenshots DIR  (not shown to users) opens the window, grabs a PNG of every tab
// into DIR and quits; it works on the offscreen platform too.
// --screenshot-size min|max|WxH  the window size for those pictures (default: the
// default window size).
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "core/save.h"
#include "window/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  morvex::core::removeStaleTemporaries();  // work files of earlier runs that were killed
  QApplication::setOrganizationName("Vantoro Software");
  QApplication::setApplicationName("Morvex");
  QApplication::setApplicationVersion(MORVEX_VERSION);

  QStringList args = app.arguments().mid(1);
  QString shotDir;
  const int shot = args.indexOf("--screenshots");
  if (shot >= 0 && shot + 1 < args.size()) {
    shotDir = args.at(shot + 1);
    args.remove(shot, 2);
  }

  QString shotSize;
  const int size = args.indexOf("--screenshot-size");
  if (size >= 0 && size + 1 < args.size()) {
    shotSize = args.at(size + 1);
    args.remove(size, 2);
  }

  // Screenshots start from the defaults and leave the user's settings alone; the
  // scratch settings folder exists only for such a run.
  std::unique_ptr<QTemporaryDir> shotSettings;
  if (!shotDir.isEmpty()) {
    shotSettings = std::make_unique<QTemporaryDir>();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, shotSettings->path());
  }

  morvex::app::MainWindow w(args);
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

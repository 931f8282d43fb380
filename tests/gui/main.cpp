// Runs every GUI test class in one program, with the settings store and the user's
// data folder redirected to scratch locations.
#include <QApplication>
#include <QStringList>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "gui_tests.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setOrganizationName("Vantoro Software");
  QApplication::setApplicationName("Morvex");
  QStandardPaths::setTestModeEnabled(true);
  QTemporaryDir store;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, store.path());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, store.path());

  // MORVEX_GUI_CLASSES=A,B runs only those classes (a quick run of what was touched).
  const QStringList only = qEnvironmentVariable("MORVEX_GUI_CLASSES").split(',', Qt::SkipEmptyParts);
  int failed = 0;
  for (auto& make : morvex::guitest::testClasses()) {
    std::unique_ptr<QObject> t = make();
    if (!only.isEmpty() && !only.contains(QString::fromLatin1(t->metaObject()->className()))) continue;
    failed += QTest::qExec(t.get(), argc, argv);
  }
  return failed == 0 ? 0 : 1;
}

// The files a desktop reads about Morvex: the MIME package the Options tab writes for
// one file type must say what the installed package says, and the installed menu entry
// must open exactly the types that package defines.
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QXmlStreamReader>
#include <map>

#include "gui_tests.h"
#include "app/shell/desktop_integration.h"
#include "gui_test_support.h"
#include "support/test_support.h"

using namespace morvex;
using namespace morvex::app;

namespace {

struct MimeTypeDef {
  QString comment;
  QStringList globs;
};

// Reads a shared-mime-info package with Qt's XML reader: type -> comment and globs.
// A parse error fails the calling test.
std::map<QString, MimeTypeDef> readMimePackage(const QString& xml, QString* error) {
  std::map<QString, MimeTypeDef> out;
  QXmlStreamReader r(xml);
  QString current;
  while (!r.atEnd()) {
    r.readNext();
    if (r.isStartElement()) {
      if (r.name() == QLatin1String("mime-info") &&
          r.namespaceUri() != QLatin1String("http://www.freedesktop.org/standards/shared-mime-info"))
        *error = "wrong namespace " + r.namespaceUri().toString();
      if (r.name() == QLatin1String("mime-type")) current = r.attributes().value("type").toString();
      if (r.name() == QLatin1String("comment")) out[current].comment = r.readElementText();
      if (r.name() == QLatin1String("glob")) out[current].globs << r.attributes().value("pattern").toString();
    }
  }
  if (r.hasError()) *error = r.errorString();
  return out;
}

QString readText(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

const QString kSourcePackage = QStringLiteral(MORVEX_SOURCE_DIR "/dist/linux/morvex.xml");
const QString kSourceDesktop = QStringLiteral(MORVEX_SOURCE_DIR "/dist/linux/morvex.desktop");

}  // namespace

class DesktopFilesTest : public QObject {
  Q_OBJECT
 private slots:
  void userPackageIsTheInstalledTypeAlone() {
    QString error;
    const auto installed = readMimePackage(readText(kSourcePackage), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(installed.size(), size_t(2));

    test::TempDir data;
    const QString dir = QString::fromStdString(data.path().string());
    for (FileType t : {FileType::Bdmv, FileType::Mnu}) {
      const FileTypeInfo info = fileTypeInfo(t);
      QVERIFY(registerFileType(t, "/usr/bin/morvex", dir));
      const QString written = readText(dir + "/mime/packages/morvex-" + info.extension.mid(1) + ".xml");
      const auto user = readMimePackage(written, &error);
      QVERIFY2(error.isEmpty(), qPrintable(error + "\n" + written));
      QCOMPARE(user.size(), size_t(1));
      QCOMPARE(user.begin()->first, info.mimeType);
      QCOMPARE(user.begin()->second.globs, QStringList{"*" + info.extension});
      QCOMPARE(user.begin()->second.comment, info.typeName);
      QVERIFY(installed.count(info.mimeType));
      QCOMPARE(installed.at(info.mimeType).globs, user.begin()->second.globs);
      QCOMPARE(installed.at(info.mimeType).comment, user.begin()->second.comment);
    }
    QVERIFY(mimePackageFor("application/x-no-such-type").isEmpty());

    // shared-mime-info's own compiler accepts both files and maps the extensions.
    const QString update = QStandardPaths::findExecutable("update-mime-database");
    if (update.isEmpty()) MORVEX_QSKIP_OR_FAIL("update-mime-database is not installed (scripts/setup.sh installs it)");
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_DIRS", dir);  // else it notes that the folder is not searched
    p.setProcessEnvironment(env);
    p.start(update, {dir + "/mime"});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    QVERIFY2(p.readAllStandardError().isEmpty(), "update-mime-database warned about the package");
    const QString globs = readText(dir + "/mime/globs2");
    QVERIFY2(globs.contains("application/x-bd-movie-info:*.bdmv"), qPrintable(globs));
    QVERIFY2(globs.contains("application/x-bd-igs-menu:*.mnu"), qPrintable(globs));
  }

  void installedMenuEntryOpensThePackageTypes() {
    QString error;
    const auto installed = readMimePackage(readText(kSourcePackage), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QStringList desktopTypes;
    QString exec;
    for (const QString& line : readText(kSourceDesktop).split('\n')) {
      if (line.startsWith("MimeType=")) desktopTypes = line.mid(9).split(';', Qt::SkipEmptyParts);
      if (line.startsWith("Exec=")) exec = line.mid(5);
    }
    QStringList packageTypes;
    for (const auto& [type, def] : installed) packageTypes << type;
    desktopTypes.sort();
    packageTypes.sort();
    QCOMPARE(desktopTypes, packageTypes);
    QCOMPARE(exec, QString("morvex %f"));
  }
};

MORVEX_GUI_TEST(DesktopFilesTest)
#include "desktop_files_test.moc"

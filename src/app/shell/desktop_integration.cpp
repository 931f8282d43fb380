#include "app/shell/desktop_integration.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>

namespace morvex::app {

FileTypeInfo fileTypeInfo(FileType t) {
  if (t == FileType::Bdmv) return {".bdmv", "BD.movie.info", "application/x-bd-movie-info"};
  return {".mnu", "BD.IGS.menu", "application/x-bd-igs-menu"};
}

namespace {

bool writeText(const QString& path, const QString& text) {
  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
  f.write(text.toUtf8());
  return f.commit();
}

// The MimeType= list of an existing entry, so associations made earlier stay.
QStringList existingMimeTypes(const QString& desktopFile) {
  QFile f(desktopFile);
  if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
  QStringList out;
  for (const QString& line : QString::fromUtf8(f.readAll()).split('\n')) {
    if (line.startsWith("MimeType=")) {
      for (const QString& m : line.mid(9).split(';', Qt::SkipEmptyParts)) out << m.trimmed();
    }
  }
  return out;
}

QString quoteExec(const QString& path) {
  QString p = path;
  p.replace('\\', "\\\\").replace('"', "\\\"");
  return '"' + p + '"';
}

}  // namespace

QString mimePackageFor(const QString& mimeType) {
  QFile f(":/desktop/morvex.xml");
  if (!f.open(QIODevice::ReadOnly)) return {};
  const QString all = QString::fromUtf8(f.readAll());
  // The element is copied as it stands, so the user's package and the installed one
  // say the same; the text between its start and end tags is not interpreted.
  const int root = all.indexOf("<mime-info");
  const int rootEnd = root < 0 ? -1 : all.indexOf('>', root);
  const int begin = all.indexOf("<mime-type type=\"" + mimeType + "\"");
  const int end = begin < 0 ? -1 : all.indexOf("</mime-type>", begin);
  if (rootEnd < 0 || end < 0) return {};
  const QString element = all.mid(begin, end + 12 - begin);
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + all.mid(root, rootEnd + 1 - root) + "\n  " + element +
         "\n</mime-info>\n";
}

bool registerFileType(FileType t, const QString& programPath, const QString& dataDir) {
  const FileTypeInfo info = fileTypeInfo(t);
  const QString base = dataDir.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) : dataDir;
  if (base.isEmpty()) return false;
  const QString mimeDir = base + "/mime/packages";
  const QString appDir = base + "/applications";
  if (!QDir().mkpath(mimeDir) || !QDir().mkpath(appDir)) return false;

  const QString ext = info.extension.mid(1);
  const QString mimeXml = mimePackageFor(info.mimeType);
  if (mimeXml.isEmpty()) return false;
  if (!writeText(mimeDir + "/morvex-" + ext + ".xml", mimeXml)) return false;

  const QString desktopFile = appDir + "/morvex.desktop";
  QStringList mimes = existingMimeTypes(desktopFile);
  if (!mimes.contains(info.mimeType)) mimes << info.mimeType;
  const QString desktop =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=Morvex\n"
      "Comment=Blu-ray navigation and menu editor\n"
      "Exec=" + quoteExec(programPath) + " %f\n"
      "Terminal=false\n"
      "Categories=AudioVideo;Video;\n"
      "MimeType=" + mimes.join(';') + ";\n";
  if (!writeText(desktopFile, desktop)) return false;

  // Tell the desktop that associations changed; missing tools are not an error.
  const QString updMime = QStandardPaths::findExecutable("update-mime-database");
  if (!updMime.isEmpty()) QProcess::startDetached(updMime, {base + "/mime"});
  const QString updDesk = QStandardPaths::findExecutable("update-desktop-database");
  if (!updDesk.isEmpty()) QProcess::startDetached(updDesk, {appDir});
  return true;
}

}  // namespace morvex::app

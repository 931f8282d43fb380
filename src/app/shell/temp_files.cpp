#include "app/shell/temp_files.h"

#include <QCoreApplication>

namespace morvex::app {

std::filesystem::path tempFilePath(const QString& name) {
  const QString file = QString("Morvex_%1_%2").arg(QCoreApplication::applicationPid()).arg(name);
  return std::filesystem::temp_directory_path() / file.toStdString();
}

bool isOwnTempFile(const QString& fileName, qint64 pid) {
  const QString tag = QString("Morvex_%1_").arg(pid);
  return fileName.startsWith(tag) || fileName.startsWith("_" + tag);
}

int removeOwnTempFiles() {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path dir = fs::temp_directory_path(ec);
  if (ec) return 0;
  const qint64 pid = QCoreApplication::applicationPid();
  int removed = 0;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const QString name = QString::fromStdString(it->path().filename().string());
    if (!isOwnTempFile(name, pid)) continue;
    std::error_code rec;
    if (it->is_regular_file(rec) && fs::remove(it->path(), rec)) ++removed;
  }
  return removed;
}

}  // namespace morvex::app

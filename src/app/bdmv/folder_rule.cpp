#include "app/bdmv/folder_rule.h"

#include <QDir>
#include <QStorageInfo>

namespace morvex::app {

QString completeBdmvFolder(QString chosen) {
  chosen = QDir::fromNativeSeparators(chosen);
  if (!chosen.endsWith('/')) chosen += '/';
  if (chosen.size() < 5 || chosen.mid(chosen.size() - 5, 4) != "BDMV") chosen += "BDMV/";
  return chosen;
}

QString discLabel(const QString& bdmvFolder) {
  QString p = QDir::fromNativeSeparators(bdmvFolder);
  while (p.endsWith('/')) p.chop(1);
  const QString parent = QDir::cleanPath(p + "/..");
  const QStorageInfo st(parent);
  if (st.isValid() && QDir::cleanPath(st.rootPath()) == parent && parent != "/") {
    const QString name = st.name();
    if (!name.isEmpty()) return name.toUpper();
  }
  const QString label = QDir(parent).dirName();
  return label.isEmpty() ? parent : label;
}

}  // namespace morvex::app

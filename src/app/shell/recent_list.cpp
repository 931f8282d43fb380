#include "app/shell/recent_list.h"

#include <QDir>
#include <QSettings>

#include "app/settings/app_settings.h"

namespace morvex::app::recent {

namespace {

constexpr const char* kKey = "Recent";

// A folder is kept without its trailing "/", so "BDMV" and "BDMV/" are one entry.
QString normal(const QString& path) { return QDir::cleanPath(path); }

void store(const QStringList& list) {
  QSettings s(kOrganisation, kApplication);
  s.setValue(kKey, list);
  s.sync();
}

}  // namespace

QStringList entries() {
  QSettings s(kOrganisation, kApplication);
  QStringList list = s.value(kKey).toStringList();
  list.removeAll(QString());
  while (list.size() > kMaxEntries) list.removeLast();
  return list;
}

void note(const QString& path) {
  if (path.isEmpty()) return;
  const QString p = normal(path);
  QStringList list = entries();
  list.removeAll(p);
  list.prepend(p);
  while (list.size() > kMaxEntries) list.removeLast();
  store(list);
}

void forget(const QString& path) {
  QStringList list = entries();
  if (list.removeAll(normal(path)) > 0) store(list);
}

}  // namespace morvex::app::recent

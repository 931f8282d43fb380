#include "app/shell/navigator.h"

#include <QTabWidget>

namespace morvex::app {

QString itemText(const ItemRef& item) {
  switch (item.kind) {
    case ItemKind::MovieObject:
      return QString("movie object %1").arg(item.number, 3, 10, QChar('0'));
    case ItemKind::Playlist:
      return "playlist " + item.name;
    case ItemKind::Clip:
      return "clip " + item.name;
    case ItemKind::BdjObject:
      return "BD-J object " + item.name;
    case ItemKind::Menu:
      return "menu " + item.name;
  }
  return {};
}

void Navigator::registerShower(ItemKind kind, QWidget* page, ItemShower* shower) {
  showers_.insert(kind, Entry{page, shower});
}

bool Navigator::show(const ItemRef& item) {
  const auto it = showers_.constFind(item.kind);
  if (it == showers_.constEnd() || !it->page) {
    Q_EMIT failed("No tab shows " + itemText(item) + ".");
    return false;
  }
  if (tabs_) {
    const int index = tabs_->indexOf(it->page);
    if (index >= 0) tabs_->setCurrentIndex(index);
  }
  // A tab that is still being built is shown, and says so.
  if (!it->shower) {
    Q_EMIT failed("This build cannot show " + itemText(item) + " yet.");
    return false;
  }
  if (!it->shower->showItem(item)) {
    Q_EMIT failed("The disc has no " + itemText(item) + ".");
    return false;
  }
  return true;
}

}  // namespace morvex::app

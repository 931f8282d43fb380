#pragma once
// One place that shows a disc item in its tab: a double-click on a command, a
// "Referenced by" entry, a Find result or a title all ask the navigator, which makes
// the owning tab current and has it select and read the item. Tabs register for the
// kinds of item they show; a kind nobody shows yet is reported, not silently ignored.
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>

class QTabWidget;

namespace morvex::app {

enum class ItemKind { MovieObject, Playlist, Clip, BdjObject, Menu };

// A disc item: its kind, its name ("00001" for a playlist or clip, the five-digit
// BD-J object name, the menu file's path) or number (movie objects), and an optional
// position inside it (a line, a PlayItem, a menu page and a button on that page).
struct ItemRef {
  ItemKind kind = ItemKind::MovieObject;
  QString name;
  int number = -1;
  int part = -1;
  int button = -1;  // a menu: the button id on page `part`
};

// Implemented by every tab that can show an item.
class ItemShower {
public:
  virtual ~ItemShower() = default;
  // Selects and reads the item; false when the disc has no such item.
  virtual bool showItem(const ItemRef& item) = 0;
};

class Navigator : public QObject {
  Q_OBJECT
public:
  explicit Navigator(QTabWidget* tabs, QObject* parent = nullptr) : QObject(parent), tabs_(tabs) {}

  // `page` is the tab widget's page that shows items of `kind` through `shower`
  // (none: the tab is made current and the item reported as not shown).
  void registerShower(ItemKind kind, QWidget* page, ItemShower* shower);
  // Makes the tab current and shows the item there. False (and `failed`) when no
  // tab shows this kind or the tab has no such item.
  bool show(const ItemRef& item);

signals:
  void failed(const QString& why);

private:
  struct Entry {
    QPointer<QWidget> page;
    ItemShower* shower = nullptr;
  };
  QPointer<QTabWidget> tabs_;
  QMap<ItemKind, Entry> showers_;
};

QString itemText(const ItemRef& item);

}  // namespace morvex::app

#pragma once
// "Navigation" on the BDMV tab: the disc's navigation map as a tree. Each entry (First
// Play, Top Menu, the titles) lists the movie objects it runs; an object its commands
// that lead somewhere (line, jump, call, play); a playlist its length, chapters and
// streams, and the menu pages it shows; a page its buttons that run; a button its
// commands in turn. Then what nothing reaches. Activating a node (double-click or
// Enter) asks for its place: the object and line, the playlist and PlayItem, or the
// menu's stream file on the page, with the button selected.
#include <QDialog>
#include <filesystem>

#include "app/shell/navigator.h"
#include "disc/nav_map.h"

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace morvex::app {

class NavigationDialog : public QDialog {
  Q_OBJECT
public:
  explicit NavigationDialog(QWidget* parent = nullptr);

  // Shows the map walked from `disc`, read from the BDMV folder `folder`.
  void showMap(const disc::NavigationMap& map, const disc::NavigationDisc& disc, const std::filesystem::path& folder);
  // Shows why there is no map.
  void showFailure(const QString& why);

  QTreeWidget* tree() const { return tree_; }

  // The place a node stands for; false for a node that has none (a heading).
  static bool placeOf(const QTreeWidgetItem* node, ItemRef& place);

signals:
  void placeActivated(const ItemRef& place);

private:
  QTreeWidget* tree_;
  QLabel* summary_;
};

}  // namespace morvex::app

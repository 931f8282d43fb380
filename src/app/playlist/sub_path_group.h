#pragma once
// The SubPaths group of the PLAYLIST tab: the SubPaths with the type and repeat of the
// selected one, its SubPlayItems (typing in place) and the clips of a multi-clip
// SubPlayItem.
#include <QGroupBox>

#include "app/playlist/playlist_edits.h"
#include "app/shell/app_context.h"
#include "app/shell/navigator.h"

class QComboBox;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

namespace morvex::app {

class InPlaceEditSwitch;

class SubPathGroup : public QGroupBox {
  Q_OBJECT
public:
  SubPathGroup(AppContext& ctx, PlaylistEdits& edit, QWidget* parent = nullptr);

  // Shows the model, keeping the selected SubPath where it can.
  void showModel();
  // Shows the selected SubPath and its SubPlayItems anew.
  void showSelected();
  // Empties the tables (no playlist).
  void clear();
  // Enables what the state allows (a playlist read or not, room for one more).
  void updateEnabled();
  InPlaceEditSwitch* editSwitch() const { return editSwitch_; }

signals:
  // A clip to be shown on its own tab.
  void itemWanted(const ItemRef& item);
  // SubPaths came or went: what depends on their number is enabled anew.
  void countChanged();

protected:
  bool eventFilter(QObject* o, QEvent* e) override;

private:
  void buildUi();
  void connectEditors();
  void showSubPaths();
  void showSubPath(int i);
  void showSubPlayItem(int i);
  int selectedSubPath() const;
  void subPlayItemEdited(QTableWidgetItem* item);
  void insertSubPath();
  void deleteSubPath();

  playlist::Playlist& m() { return edit_.model(); }
  const playlist::Playlist& m() const { return edit_.model(); }

  AppContext& ctx_;
  PlaylistEdits& edit_;
  bool filling_ = false;

  QTableWidget* subPaths_;
  QComboBox *subPathType_, *repeat_;
  QPushButton *insertButton_, *deleteButton_;
  QTableWidget* subPlayItems_;
  QTableWidget* multiClips_;
  InPlaceEditSwitch* editSwitch_;
};

}  // namespace morvex::app

#pragma once
// The in-place edit switch of the editable tables. Such a table starts read-only; its
// context menu offers "Edit mode" and "Read only", checked according to its state.
// "Edit mode" lets the user type into the cells; unless the table keeps row selection
// it also switches to single-cell selection with the cell editor open and narrows the
// current selection to its first column. "Read only" ends typing and returns to row
// selection. What a typed value does is the owning tab's business (itemChanged).
#include <QObject>
#include <QPointer>

class QAction;
class QMenu;
class QTableWidget;
class QTableWidgetItem;

namespace morvex::app {

class InPlaceEditSwitch : public QObject {
  Q_OBJECT
public:
  enum class Selection { Cells, KeepRows };
  explicit InPlaceEditSwitch(QTableWidget* table, Selection selection = Selection::Cells);

  bool editing() const { return editing_; }
  void setEditing(bool on);
  QAction* editAction() const { return edit_; }
  QAction* readOnlyAction() const { return readOnly_; }
  // The context menu: the two switch entries; a tab may add its own below them.
  QMenu* menu() const { return menu_; }

signals:
  void editingChanged(bool on);

private:
  void openEditor();
  void closeEditor(QTableWidgetItem* item);

  QPointer<QTableWidget> table_;
  Selection selection_;
  bool editing_ = false;
  QMenu* menu_;
  QAction* edit_;
  QAction* readOnly_;
};

}  // namespace morvex::app

#include "app/widgets/in_place_edit.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QTableWidget>

namespace morvex::app {

InPlaceEditSwitch::InPlaceEditSwitch(QTableWidget* table, Selection selection)
    : QObject(table), table_(table), selection_(selection) {
  menu_ = new QMenu(table);
  menu_->setObjectName(table->objectName() + "Menu");
  auto* group = new QActionGroup(this);
  edit_ = menu_->addAction("Edit mode");
  readOnly_ = menu_->addAction("Read only");
  for (QAction* a : {edit_, readOnly_}) {
    a->setCheckable(true);
    group->addAction(a);
  }
  readOnly_->setChecked(true);
  connect(edit_, &QAction::triggered, this, [this] { setEditing(true); });
  connect(readOnly_, &QAction::triggered, this, [this] { setEditing(false); });
  table->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(table, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    if (table_) menu_->exec(table_->viewport()->mapToGlobal(at));
  });
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // With single-cell selection the open editor follows the current cell.
  connect(table, &QTableWidget::currentCellChanged, this, [this](int, int, int pr, int pc) {
    if (!editing_ || selection_ != Selection::Cells || !table_) return;
    if (QTableWidgetItem* old = table_->item(pr, pc)) closeEditor(old);
    openEditor();
  });
}

void InPlaceEditSwitch::setEditing(bool on) {
  if (!table_) return;
  const bool changed = on != editing_;
  editing_ = on;
  edit_->setChecked(on);
  readOnly_->setChecked(!on);
  if (on) {
    table_->setEditTriggers(QAbstractItemView::AllEditTriggers);
    if (selection_ == Selection::Cells) {
      const int row = std::max(0, table_->currentRow());
      table_->setSelectionBehavior(QAbstractItemView::SelectItems);
      table_->setSelectionMode(QAbstractItemView::SingleSelection);
      table_->setCurrentCell(row, 0);
      openEditor();
    }
  } else {
    if (QTableWidgetItem* cur = table_->currentItem()) closeEditor(cur);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    if (selection_ == Selection::Cells) {
      table_->setSelectionBehavior(QAbstractItemView::SelectRows);
      table_->setSelectionMode(QAbstractItemView::ContiguousSelection);
      if (table_->currentRow() >= 0) table_->selectRow(table_->currentRow());
    }
  }
  if (changed) Q_EMIT editingChanged(on);
}

// What was typed into the editor is kept when it closes (leaving the cell, "Read only").
void InPlaceEditSwitch::closeEditor(QTableWidgetItem* item) {
  if (QWidget* ed = table_->indexWidget(table_->model()->index(item->row(), item->column())))
    QMetaObject::invokeMethod(table_, "commitData", Qt::DirectConnection, Q_ARG(QWidget*, ed));
  table_->closePersistentEditor(item);
}

void InPlaceEditSwitch::openEditor() {
  if (!table_) return;
  if (QTableWidgetItem* it = table_->currentItem()) {
    table_->openPersistentEditor(it);
    if (QWidget* ed = table_->indexWidget(table_->currentIndex())) ed->setFocus();
  }
}

}  // namespace morvex::app

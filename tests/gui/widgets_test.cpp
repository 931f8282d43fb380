// Shared widgets: the in-place edit switch driven through a table's context menu and
// typed into, and the grid helpers' selected-row arithmetic on real selections.
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "gui_tests.h"
#include "app/widgets/grid.h"
#include "app/widgets/in_place_edit.h"

using namespace morvex::app;

namespace {

QTableWidget* makeFilled(int rows) {
  auto* t = makeTable("sgTest", {"No.", "value", "note"}, {40, 80, 80}, nullptr);
  t->setRowCount(rows);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < 3; ++c) setCell(t, r, c, QString("%1.%2").arg(r).arg(c));
  t->resize(400, 300);
  return t;
}

// Opens the table's context menu as a right-click does and picks `entry` with the
// keyboard.
void pickFromContextMenu(QTableWidget* t, const QString& entry) {
  bool picked = false;
  QTimer::singleShot(0, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    for (QAction* a : menu->actions())
      if (a->text() == entry) {
        menu->setActiveAction(a);
        picked = true;
      }
    QTest::keyClick(menu, picked ? Qt::Key_Return : Qt::Key_Escape);
  });
  const QPoint at = t->visualRect(t->model()->index(1, 1)).center();
  QContextMenuEvent e(QContextMenuEvent::Mouse, at, t->viewport()->mapToGlobal(at));
  QApplication::sendEvent(t->viewport(), &e);
  QVERIFY(picked);
}

}  // namespace

class WidgetsTest : public QObject {
  Q_OBJECT
private slots:
  void editSwitchThroughContextMenu() {
    std::unique_ptr<QTableWidget> t(makeFilled(4));
    InPlaceEditSwitch sw(t.get());
    t->show();
    QVERIFY(QTest::qWaitForWindowExposed(t.get()));
    t->setCurrentCell(2, 2);
    t->selectRow(2);
    // Read-only to begin with: typing changes nothing.
    QVERIFY(sw.readOnlyAction()->isChecked());
    QTest::keyClicks(t.get(), "zz");
    QCOMPARE(t->item(2, 1)->text(), QString("2.1"));

    pickFromContextMenu(t.get(), "Edit mode");
    QVERIFY(sw.editing());
    QVERIFY(sw.editAction()->isChecked());
    QVERIFY(!sw.readOnlyAction()->isChecked());
    // Single cells now, narrowed to the first column of the current row, editor open.
    QCOMPARE(t->selectionBehavior(), QAbstractItemView::SelectItems);
    QCOMPARE(t->currentColumn(), 0);
    QCOMPARE(t->currentRow(), 2);
    QLineEdit* editor = nullptr;
    QTRY_VERIFY((editor = t->viewport()->findChild<QLineEdit*>()) && editor->isVisible());
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, "new");
    // Leaving edit mode keeps what was typed.
    pickFromContextMenu(t.get(), "Read only");
    QCOMPARE(t->item(2, 0)->text(), QString("new"));
    QVERIFY(!sw.editing());
    QCOMPARE(t->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(t->editTriggers(), QAbstractItemView::NoEditTriggers);
    t->setFocus();
    QTest::keyClicks(t.get(), "q");
    QCOMPARE(t->item(2, 0)->text(), QString("new"));
  }

  void selectedRowsFollowShiftSelection() {
    std::unique_ptr<QTableWidget> t(makeFilled(6));
    t->show();
    QVERIFY(QTest::qWaitForWindowExposed(t.get()));
    const QRect r1 = t->visualRect(t->model()->index(1, 0));
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, r1.center());
    QTest::keyClick(t.get(), Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(t.get(), Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(selectedRows(t.get()), std::make_pair(1, 3));
    QCOMPARE(lastSelectedRow(t.get()), 3);
    QTest::keyClick(t.get(), Qt::Key_Up);
    QCOMPARE(selectedRows(t.get()), std::make_pair(2, 2));
  }
};

MORVEX_GUI_TEST(WidgetsTest)
#include "widgets_test.moc"

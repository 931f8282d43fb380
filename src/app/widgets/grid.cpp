#include "app/widgets/grid.h"

#include <QHeaderView>
#include <algorithm>

namespace morvex::app {

QTableWidget* makeTable(const char* name, const QStringList& header, const QList<int>& widths, QWidget* parent) {
  auto* t = new QTableWidget(parent);
  t->setObjectName(name);
  t->setColumnCount(int(header.size()));
  t->setHorizontalHeaderLabels(header);
  t->verticalHeader()->hide();
  t->verticalHeader()->setDefaultSectionSize(QFontMetrics(t->font()).height() + 4);
  t->setSelectionBehavior(QAbstractItemView::SelectRows);
  t->setSelectionMode(QAbstractItemView::ContiguousSelection);
  t->setEditTriggers(QAbstractItemView::NoEditTriggers);
  t->setWordWrap(false);
  t->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  const QFontMetrics fm(t->font());
  for (int i = 0; i < header.size(); ++i) {
    const int w = i < widths.size() ? widths[i] : 0;
    t->setColumnWidth(i, std::max(w, fm.horizontalAdvance(header[i]) + 18));
  }
  t->horizontalHeader()->setStretchLastSection(true);
  t->setRowCount(1);
  return t;
}

QComboBox* makeList(const char* name, const QStringList& items, const QString& tip, QWidget* parent) {
  auto* c = new QComboBox(parent);
  c->setObjectName(name);
  c->addItems(items);
  if (!tip.isEmpty()) c->setToolTip(tip);
  c->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  return c;
}

void setCell(QTableWidget* t, int r, int c, const QString& text) {
  auto* it = t->item(r, c);
  if (!it) {
    it = new QTableWidgetItem();
    t->setItem(r, c, it);
  }
  it->setText(text);
}

int lastSelectedRow(QTableWidget* t) {
  int last = t->currentRow();
  for (const auto& r : t->selectedRanges()) last = std::max(last, r.bottomRow());
  return last;
}
std::pair<int, int> selectedRows(QTableWidget* t) {
  const auto ranges = t->selectedRanges();
  if (ranges.isEmpty()) return {t->currentRow(), t->currentRow()};
  int a = ranges.front().topRow(), b = ranges.front().bottomRow();
  for (const auto& r : ranges) {
    a = std::min(a, r.topRow());
    b = std::max(b, r.bottomRow());
  }
  return {a, b};
}

}  // namespace morvex::app

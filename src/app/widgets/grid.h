#pragma once
// Grid helpers shared by the tabs: row tables with fixed-height rows and sized
// columns, drop-down lists, cell text, and the selected rows of a table.
#include <QComboBox>
#include <QStringList>
#include <QTableWidget>
#include <utility>

namespace morvex::app {

// A row-selecting, read-only table with `header` captions; column i is at least
// widths[i] wide and always wide enough for its caption. One empty row to begin with.
QTableWidget* makeTable(const char* name, const QStringList& header, const QList<int>& widths, QWidget* parent);
// A drop-down list that sizes itself to its entries.
QComboBox* makeList(const char* name, const QStringList& items, const QString& tip, QWidget* parent);
// Sets a cell's text, creating the item on first use.
void setCell(QTableWidget* t, int r, int c, const QString& text);
// The bottom-most selected row, or the current row when that lies lower (or nothing is selected).
int lastSelectedRow(QTableWidget* t);
// The first and last selected rows (the current row twice when nothing is selected).
std::pair<int, int> selectedRows(QTableWidget* t);
// Three-digit number ("007").
inline QString num3(int n) { return QString("%1").arg(n, 3, 10, QChar('0')); }

}  // namespace morvex::app

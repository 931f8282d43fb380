#pragma once
// What the PLAYLIST tab's groups share to show the playlist: the engine's grid rows
// into tables, caption lists into Qt strings, and the narrow fields that take a
// number of a few digits.
#include <QLineEdit>
#include <QStringList>
#include <QTableWidget>
#include <string_view>
#include <vector>

#include "app/shell/qt_text.h"
#include "playlist/grid_text.h"

namespace morvex::app {

// The captions of a row; the first is dropped unless `dropFirst` is false.
QStringList qlist(const playlist::Row& row, bool dropFirst = true);

// The entries of a list of names.
template <class Span>
QStringList items(Span s) {
  QStringList out;
  for (auto v : s) out << toQt(std::string_view(v));
  return out;
}

// One row of texts into row `r` of a table (as many cells as the table has columns).
void fillRow(QTableWidget* t, int r, const playlist::Row& row);

// Rows into a table that keeps its items (and so an open cell editor) where it can;
// without rows it shows one empty row.
void fillTable(QTableWidget* t, const std::vector<playlist::Row>& rows);

// A field for `chars` characters matching `pattern`, just wide enough for them.
QLineEdit* field(const char* name, const QString& tip, const QString& pattern, int chars, QWidget* parent);

}  // namespace morvex::app

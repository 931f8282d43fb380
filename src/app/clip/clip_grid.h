#pragma once
// The CLIPINF tab's tables are filled from the engine's grid rows: one caption per
// column after the row-number column, and at least one row, empty when the clip has
// nothing to show there.
#include <QStringList>
#include <QTableWidget>
#include <algorithm>
#include <string>
#include <vector>

#include "clip/clpi_text.h"
#include "app/shell/qt_text.h"
#include "app/widgets/grid.h"

namespace morvex::app {

// The header of a table: the row-number column has no caption.
inline QStringList clipHeader(const std::vector<std::string>& captions) {
  QStringList h{QString()};
  for (const auto& c : captions) h << toQt(c);
  return h;
}

// Shows `rows` in `t` and enables it or not.
inline void fillClipTable(QTableWidget* t, const clip::GridRows& rows, bool enable) {
  t->clearContents();
  t->setRowCount(std::max<int>(1, int(rows.size())));
  for (int r = 0; r < int(rows.size()); ++r)
    for (int c = 0; c < int(rows[size_t(r)].size()) && c < t->columnCount(); ++c)
      setCell(t, r, c, toQt(rows[size_t(r)][size_t(c)]));
  t->setEnabled(enable);
}

}  // namespace morvex::app

#include "app/playlist/playlist_grid.h"

#include <QRegularExpressionValidator>
#include <algorithm>

#include "app/widgets/grid.h"

namespace morvex::app {

QStringList qlist(const playlist::Row& row, bool dropFirst) {
  QStringList out;
  for (size_t i = dropFirst ? 1 : 0; i < row.size(); ++i) out << toQt(row[i]);
  return out;
}

void fillRow(QTableWidget* t, int r, const playlist::Row& row) {
  for (size_t c = 0; c < row.size() && int(c) < t->columnCount(); ++c) setCell(t, r, int(c), toQt(row[c]));
}

void fillTable(QTableWidget* t, const std::vector<playlist::Row>& rows) {
  t->setRowCount(std::max<int>(1, int(rows.size())));
  if (rows.empty())
    for (int c = 0; c < t->columnCount(); ++c)
      if (auto* it = t->item(0, c)) it->setText(QString());
  for (size_t r = 0; r < rows.size(); ++r) fillRow(t, int(r), rows[r]);
}

QLineEdit* field(const char* name, const QString& tip, const QString& pattern, int chars, QWidget* parent) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  e->setToolTip(tip);
  e->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), e));
  e->setMaxLength(chars);
  e->setFixedWidth(QFontMetrics(e->font()).horizontalAdvance(QString(chars, QChar('D'))) + 14);
  return e;
}

}  // namespace morvex::app

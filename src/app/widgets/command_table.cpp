#include "app/widgets/command_table.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <optional>

namespace morvex::app {

namespace {
QColor paintColour(hdmv::CellColour c, const QPalette& pal) {
  switch (c) {
    case hdmv::CellColour::Blue: return QColor(0, 0, 255);
    case hdmv::CellColour::Grey: return QColor(hdmv::kGreyRgb[0], hdmv::kGreyRgb[1], hdmv::kGreyRgb[2]);
    case hdmv::CellColour::Red: return QColor(255, 0, 0);
    case hdmv::CellColour::Orange: return QColor(hdmv::kOrangeRgb[0], hdmv::kOrangeRgb[1], hdmv::kOrangeRgb[2]);
    case hdmv::CellColour::Normal: break;
  }
  return pal.color(QPalette::Text);
}
}  // namespace

CommandTable::CommandTable(const QString& objectName, hdmv::CmdContext context, QWidget* parent)
    : QTableWidget(parent), context_(context) {
  setObjectName(objectName);
  setColumnCount(5);
  QStringList header;
  for (auto h : hdmv::kCommandHeader) header << QString::fromUtf8(h.data(), int(h.size()));
  setHorizontalHeaderLabels(header);
  // Wide enough for the texts in this font: four digits, eight hexadecimal digits and
  // the marker space; the command line takes the rest.
  const QFontMetrics fm(font());
  setColumnWidth(0, fm.horizontalAdvance("00000") + 8);
  for (int i = 1; i < 4; ++i) setColumnWidth(i, fm.horizontalAdvance("00000000 ") + 10);
  const auto& widths = context == hdmv::CmdContext::MovieObject ? hdmv::kObjectCommandWidths : hdmv::kButtonCommandWidths;
  setColumnWidth(4, int(widths[4] * fm.averageCharWidth() / 6.0));
  horizontalHeader()->setStretchLastSection(true);
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(QFontMetrics(font()).height() + 4);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setItemDelegate(new CommandRowDelegate(this));
  setWordWrap(false);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  setRowCount(1);
}

void CommandTable::setProgram(const hdmv::CommandList& program) {
  rows_.clear();
  clearContents();
  setRowCount(std::max<int>(1, int(program.size())));
  for (int r = 0; r < int(program.size()); ++r) setRow(r, program[size_t(r)]);
}

void CommandTable::setRow(int r, const hdmv::Command& c) {
  if (r >= int(rows_.size())) rows_.resize(size_t(r) + 1);
  rows_[size_t(r)] = hdmv::comm2str(c, r, context_);
  if (r >= rowCount()) setRowCount(r + 1);
  for (int col = 0; col < 5; ++col) {
    auto* it = new QTableWidgetItem(QString::fromStdString(rows_[size_t(r)].cells[size_t(col)]));
    setItem(r, col, it);
  }
}

void CommandTable::selectLine(int line) {
  if (line < 0 || line >= rowCount()) return;
  clearSelection();
  setCurrentCell(line, 1);
  selectRow(line);
  scrollToItem(item(line, 0));
}

void CommandTable::selectLines(int first, int last) {
  if (first < 0 || first >= rowCount()) return;
  last = std::clamp(last, first, rowCount() - 1);
  clearSelection();
  setCurrentCell(first, 1, QItemSelectionModel::NoUpdate);
  setRangeSelected(QTableWidgetSelectionRange(first, 0, last, columnCount() - 1), true);
  scrollToItem(item(first, 0));
}

std::pair<int, int> CommandTable::selectedRange() const {
  const auto ranges = selectedRanges();
  if (ranges.isEmpty()) return {currentRow(), currentRow()};
  int a = ranges.front().topRow(), b = ranges.front().bottomRow();
  for (const auto& r : ranges) {
    a = std::min(a, r.topRow());
    b = std::max(b, r.bottomRow());
  }
  return {a, b};
}

void CommandTable::keyPressEvent(QKeyEvent* e) {
  const auto mods = e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  const int k = e->key();
  // Ins; Ctrl+V, C, X, A; Shift+Del, Shift+N: the program edits every command table offers.
  std::optional<hdmv::CmdKey> key;
  if (k == Qt::Key_Insert && mods == Qt::NoModifier) key = hdmv::CmdKey::Insert;
  else if (mods == Qt::ControlModifier && k == Qt::Key_V) key = hdmv::CmdKey::Paste;
  else if (mods == Qt::ControlModifier && k == Qt::Key_C) key = hdmv::CmdKey::Copy;
  else if (mods == Qt::ControlModifier && k == Qt::Key_X) key = hdmv::CmdKey::Cut;
  else if (mods == Qt::ControlModifier && k == Qt::Key_A) key = hdmv::CmdKey::SelectAll;
  else if (mods == Qt::ShiftModifier && k == Qt::Key_Delete) key = hdmv::CmdKey::Delete;
  else if (mods == Qt::ShiftModifier && k == Qt::Key_N) key = hdmv::CmdKey::Nop;
  if (key) {
    Q_EMIT editKey(*key);
    e->accept();
    return;
  }
  QTableWidget::keyPressEvent(e);
}

void CommandRowDelegate::paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QStyleOptionViewItem opt = option;
  initStyleOption(&opt, index);
  const int r = index.row(), col = index.column();
  if (r >= table_->commandCount()) {
    QStyledItemDelegate::paint(p, option, index);
    return;
  }
  const hdmv::CommandRow& row = table_->rowData(r);
  const bool selected = opt.state & QStyle::State_Selected;
  const hdmv::CellPaint paint = hdmv::cellPaint(row, col);
  const bool badRow = row.style != hdmv::RowStyle::Normal;

  // Background: the selection colour, or for a selected invalid or forbidden row its
  // red or orange.
  QColor bg = opt.palette.color(QPalette::Base);
  QColor fg = paintColour(paint.colour, opt.palette);
  if (selected) {
    bg = badRow ? paintColour(row.style == hdmv::RowStyle::Invalid ? hdmv::CellColour::Red : hdmv::CellColour::Orange,
                              opt.palette)
                : opt.palette.color(QPalette::Highlight);
    fg = opt.palette.color(QPalette::HighlightedText);
  }
  p->save();
  p->fillRect(opt.rect, bg);
  QFont f = opt.font;
  f.setBold(paint.bold || (selected && col == 4));
  const hdmv::CellParts parts = hdmv::splitCommandCell(row.cells[size_t(col)]);
  const QRect tr = opt.rect.adjusted(3, 0, -2, 0);
  p->setFont(f);
  p->setPen(fg);
  const QString text = QString::fromStdString(parts.text);
  p->drawText(tr, Qt::AlignVCenter | Qt::AlignLeft, text);
  if (!parts.comment.empty()) {
    const int x = QFontMetrics(f).horizontalAdvance(text);
    QFont cf = f;
    cf.setItalic(true);
    p->setFont(cf);
    p->setPen(selected ? fg : QColor(0, 170, 0));
    p->drawText(tr.adjusted(x, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, QString::fromStdString(parts.comment));
  }
  p->restore();
}

}  // namespace morvex::app

#pragma once
// A command table: one row per command in the five columns of the command text, with
// the painting of the command rows: comments after ";" in green italics, invalid rows
// red and forbidden rows orange with a bold command line, the opcode blue and the
// operand columns blue when in use and grey when not.
#include <QStyledItemDelegate>
#include <QTableWidget>

#include "hdmv/command_edit.h"
#include "hdmv/command_text.h"

namespace morvex::app {

class CommandTable : public QTableWidget {
  Q_OBJECT
public:
  CommandTable(const QString& objectName, hdmv::CmdContext context, QWidget* parent = nullptr);

  // Shows a program (an empty program leaves one blank row).
  void setProgram(const hdmv::CommandList& program);
  // Re-renders one row after its command changed.
  void setRow(int r, const hdmv::Command& c);
  const hdmv::CommandRow& rowData(int r) const { return rows_.at(size_t(r)); }
  int commandCount() const { return int(rows_.size()); }
  // Selects the row of a command (whole row) and scrolls it into view.
  void selectLine(int line);
  // Selects lines first..last (whole rows).
  void selectLines(int first, int last);
  // First and last selected line, or -1.
  std::pair<int, int> selectedRange() const;

signals:
  // A key of the command table that edits the program, as the edit it asks for.
  void editKey(hdmv::CmdKey key);

protected:
  void keyPressEvent(QKeyEvent* e) override;

private:
  hdmv::CmdContext context_;
  std::vector<hdmv::CommandRow> rows_;
};

class CommandRowDelegate : public QStyledItemDelegate {
  Q_OBJECT
public:
  explicit CommandRowDelegate(CommandTable* table) : QStyledItemDelegate(table), table_(table) {}
  void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
  CommandTable* table_;
};

}  // namespace morvex::app

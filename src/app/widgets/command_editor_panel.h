#pragma once
// The command editor of the movie-object commands: group, sub-group and option
// selectors, the two operand switches with their type and number, and the three
// hexadecimal words. Every action goes through the engine's editor and hands the new
// command back to the tab, which stores it and renders its row.
#include <QWidget>

#include "hdmv/command_edit.h"

class QComboBox;
class QCheckBox;
class QLineEdit;

namespace morvex::app {

class CommandEditorPanel : public QWidget {
  Q_OBJECT
public:
  explicit CommandEditorPanel(QWidget* parent = nullptr);

  // Shows a command (enables the fields); `showCommand({})` with enabled false blanks.
  void showCommand(const hdmv::Command& c);
  void clearCommand();
  const hdmv::CommandEditor& editor() const { return ed_; }
  // The table hint the shown command asks for.
  QString hint() const { return QString::fromStdString(ed_.hint); }

signals:
  void commandEdited(const hdmv::Command& c);
  // Enter in a field: the focus goes back to the command table.
  void returnToTable();

private:
  void fill();
  void changed();
  hdmv::CommandEditor ed_;
  bool filling_ = false;
  QComboBox *grp_, *sub_, *opt_, *dstType_, *srcType_;
  QCheckBox *op1_, *op2_;
  QLineEdit *dst_, *src_, *hexOp_, *hexDst_, *hexSrc_;
};

}  // namespace morvex::app

#pragma once
// The ExtensionData editor window: works on a copy of one file's block, shows its
// entries and the hex dump of the selected one, deletes the block or exchanges it
// with an .exd file. OK hands the copy back; Cancel (or Escape) changes nothing.
#include <QDialog>

#include "core/extension_data.h"
#include "core/log.h"

class QLabel;
class QTableWidget;
class QTextEdit;
class QPushButton;

namespace morvex::app {

class ExtDataEditor : public QDialog {
  Q_OBJECT
public:
  ExtDataEditor(const core::ExtensionData& block, const QString& fileName, const QString& workFolder,
                core::Log& log, QWidget* parent = nullptr);

  const core::ExtensionData& block() const { return copy_; }

  // The buttons' actions with the file already chosen (the dialogs call these).
  void deleteBlock();
  bool loadFrom(const QString& path);
  bool saveTo(const QString& path);
  void showEntry(int i);

  QTableWidget* entries() const { return table_; }
  QTextEdit* dump() const { return dump_; }
  QLabel* summary() const { return summary_; }

private:
  void refresh();
  core::ExtensionData copy_;
  QString workFolder_;
  core::Log& log_;
  bool filling_ = false;
  QLabel* summary_;
  QTableWidget* table_;
  QTextEdit* dump_;
  QPushButton* save_;
  QPushButton* delete_;
};

// The file's ExtensionData start address after OK, when a block is present; 0 when
// the block is empty. `position` is where the file's layout puts the block.
inline uint32_t extDataStartAfterEdit(const core::ExtensionData& block, uint32_t position) {
  return block.length == 0 ? 0 : position;
}

}  // namespace morvex::app

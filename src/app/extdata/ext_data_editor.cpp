#include "app/extdata/ext_data_editor.h"

#include <QDir>

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTextEdit>
#include <QVBoxLayout>

#include "core/binary.h"
#include "core/save.h"
#include "app/extdata/ext_data_dump.h"

namespace morvex::app {

ExtDataEditor::ExtDataEditor(const core::ExtensionData& block, const QString& fileName, const QString& workFolder,
                             core::Log& log, QWidget* parent)
    : QDialog(parent), copy_(block), workFolder_(workFolder), log_(log) {
  setObjectName("extensionDataDialog");
  setWindowTitle(fileName + " ExtensionData edit");
  setModal(true);
  resize(1000, 480);
  auto* lay = new QVBoxLayout(this);
  summary_ = new QLabel(this);
  summary_->setObjectName("extensionDataSummaryLabel");
  lay->addWidget(summary_);
  auto* body = new QHBoxLayout();
  auto* left = new QVBoxLayout();
  left->addWidget(new QLabel("Entries", this));
  table_ = new QTableWidget(this);
  table_->setObjectName("extensionDataEntryTable");
  table_->setColumnCount(5);
  table_->setHorizontalHeaderLabels({"No.", "ID1", "ID2", "start", "length"});
  table_->verticalHeader()->hide();
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  const int cw = QFontMetrics(font()).horizontalAdvance("00000000") + 12;
  table_->setColumnWidth(0, cw * 5 / 8);
  table_->setColumnWidth(1, cw * 5 / 8);
  table_->setColumnWidth(2, cw * 5 / 8);
  table_->setColumnWidth(3, cw);
  table_->setColumnWidth(4, cw);
  table_->setFixedWidth(cw * 7 / 8 * 4 + cw + 24);
  left->addWidget(table_);
  body->addLayout(left);
  auto* right = new QVBoxLayout();
  right->addWidget(new QLabel("DataBlock", this));
  dump_ = new QTextEdit(this);
  dump_->setObjectName("dataBlockView");
  dump_->setReadOnly(true);
  dump_->setLineWrapMode(QTextEdit::NoWrap);
  QFont mono("Monospace");
  mono.setStyleHint(QFont::TypeWriter);
  mono.setPointSize(9);
  dump_->setFont(mono);
  right->addWidget(dump_);
  body->addLayout(right, 1);
  lay->addLayout(body, 1);

  auto* buttons = new QHBoxLayout();
  delete_ = new QPushButton("Delete", this);
  delete_->setObjectName("extensionDataDeleteButton");
  delete_->setToolTip("Delete");
  auto* load = new QPushButton("Load...", this);
  load->setObjectName("extensionDataLoadButton");
  load->setToolTip("Load ExtensionData()");
  save_ = new QPushButton("Save...", this);
  save_->setObjectName("extensionDataSaveButton");
  save_->setToolTip("Save ExtensionData()");
  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("extensionDataOkButton");
  ok->setDefault(true);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("extensionDataCancelButton");
  buttons->addWidget(delete_);
  buttons->addWidget(load);
  buttons->addWidget(save_);
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  lay->addLayout(buttons);

  connect(delete_, &QPushButton::clicked, this, &ExtDataEditor::deleteBlock);
  connect(load, &QPushButton::clicked, this, [this] {
    const QString f = QFileDialog::getOpenFileName(this, "Load ExtensionData()", workFolder_, "ExtensionData (*.exd)");
    if (!f.isEmpty()) loadFrom(f);
  });
  connect(save_, &QPushButton::clicked, this, [this] {
    QFileDialog dlg(this, "Save ExtensionData()", workFolder_, "ExtensionData (*.exd)");
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix("exd");
    if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty()) saveTo(dlg.selectedFiles().front());
  });
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(table_, &QTableWidget::currentCellChanged, this, [this](int row) { showEntry(row); });
  // Typing in the ID1 column stores the typed value; the other columns only show.
  connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* it) {
    if (filling_ || it->column() != 1 || it->row() >= int(copy_.entries.size())) return;
    copy_.entries[size_t(it->row())].id1 = parseId1(it->text().toStdString());
    filling_ = true;
    it->setText(QString::asprintf("%04X", copy_.entries[size_t(it->row())].id1));
    filling_ = false;
  });
  refresh();
}

void ExtDataEditor::refresh() {
  filling_ = true;
  summary_->setText(QString::fromStdString(extDataSummary(copy_)));
  save_->setEnabled(copy_.length != 0);
  delete_->setEnabled(copy_.length != 0);
  table_->clearContents();
  table_->setRowCount(std::max<int>(1, int(copy_.entries.size())));
  for (size_t i = 0; i < copy_.entries.size(); ++i) {
    const auto row = extDataEntryRow(copy_, i);
    for (int c = 0; c < 5; ++c) {
      auto* it = new QTableWidgetItem(QString::fromStdString(row[size_t(c)]));
      if (c != 1) it->setFlags(it->flags() & ~Qt::ItemIsEditable);
      table_->setItem(int(i), c, it);
    }
  }
  filling_ = false;
  if (!copy_.entries.empty())
    table_->setCurrentCell(0, 0);
  else
    dump_->clear();
  showEntry(copy_.entries.empty() ? -1 : 0);
}

void ExtDataEditor::showEntry(int i) {
  dump_->clear();
  if (i < 0 || i >= int(copy_.entries.size())) return;
  QTextCursor cur(dump_->document());
  QTextCharFormat addr, hex, chars;
  addr.setForeground(QColor(0, 0, 255));
  hex.setForeground(dump_->palette().color(QPalette::Text));
  chars.setForeground(QColor(255, 0, 0));
  bool first = true;
  for (const DumpLine& l : extDataDump(copy_, size_t(i))) {
    if (!first) cur.insertBlock();
    first = false;
    cur.insertText(QString::fromLatin1(l.address.data(), int(l.address.size())), addr);
    cur.insertText(QString::fromLatin1(l.hex.data(), int(l.hex.size())), hex);
    cur.insertText(QString::fromLatin1(l.chars.data(), int(l.chars.size())), chars);
  }
}

void ExtDataEditor::deleteBlock() {
  copy_ = core::ExtensionData{};
  refresh();
}

bool ExtDataEditor::loadFrom(const QString& path) {
  core::Bytes bytes;
  std::string error;
  if (!core::readWholeFile(path.toStdString(), bytes, error)) {
    log_.error(error);
    return false;
  }
  core::Reader r(bytes);
  core::ExtensionData block;
  readExtensionData(r, block);
  // A block whose length field or entry table claims more than the file holds is
  // damaged: it is refused rather than written into a disc file.
  bool entriesFit = true;
  for (const auto& e : block.entries) {
    const int64_t at = int64_t(e.startAddress) - int64_t(block.dataBlockStartAddress);
    if (at < 0 || at + int64_t(e.length) > int64_t(block.data.size())) entriesFit = false;
  }
  if (r.overrun() || bytes.size() < 4 || block.length > bytes.size() || !entriesFit) {
    log_.error(QDir::toNativeSeparators(path).toStdString() + ": not a valid ExtensionData file (it claims " +
               std::to_string(block.length) + " bytes and holds " + std::to_string(bytes.size()) + ").");
    return false;
  }
  copy_ = std::move(block);
  refresh();
  return true;
}

bool ExtDataEditor::saveTo(const QString& path) {
  core::ByteWriter w;
  writeExtensionData(w, copy_);
  std::string error;
  if (!core::writeFileAtomic(path.toStdString(), w.bytes(), error)) {
    log_.error(error);
    return false;
  }
  return true;
}

}  // namespace morvex::app

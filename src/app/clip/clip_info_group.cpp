#include <optional>

#include "app/clip/clip_info_group.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "clip/clpi_text.h"
#include "core/extension_data.h"
#include "app/clip/clip_grid.h"
#include "app/extdata/ext_data_editor.h"
#include "app/widgets/in_place_edit.h"

namespace morvex::app {

// The field a column of the ATC delta grid shows (column 0 is the row number).
static std::optional<clip::AtcDeltaField> atcDeltaField(int column) {
  switch (column) {
    case 1: return clip::AtcDeltaField::AtcDelta;
    case 2: return clip::AtcDeltaField::FollowingClip;
    case 3: return clip::AtcDeltaField::ClipCodec;
    default: return std::nullopt;
  }
}

ClipInfoGroup::ClipInfoGroup(AppContext& ctx, ClipEdits& edit, QWidget* parent)
    : QGroupBox("ClipInfo", parent), ctx_(ctx), edit_(edit) {
  setObjectName("clipInfoGroup");
  auto* cl = new QGridLayout(this);
  QStringList types;
  for (size_t i = 0; i < clip::applicationTypeNames().size(); ++i)
    types << QString("%1 %2").arg(i).arg(toQt(clip::applicationTypeNames()[i]));
  appType_ = makeList("applicationTypeChoice", types, "Application type", this);
  cl->addWidget(new QLabel("Application type", this), 0, 0);
  cl->addWidget(appType_, 0, 1, 1, 3);
  atcDelta_ = new QCheckBox("ATCd", this);
  atcDelta_->setObjectName("atcDeltaCheck");
  atcDelta_->setToolTip("ATC delta entries present");
  cl->addWidget(atcDelta_, 0, 4);
  cl->addWidget(new QLabel("Rec. rate", this), 1, 0);
  recRate_ = new QLineEdit(this);
  recRate_->setObjectName("recordingRateField");
  cl->addWidget(recRate_, 1, 1);
  cl->addWidget(new QLabel("Packets", this), 1, 2);
  packets_ = new QLineEdit(this);
  packets_->setObjectName("packetCountField");
  cl->addWidget(packets_, 1, 3);
  extData_ = new QLabel("no ExtensionData()", this);
  extData_->setObjectName("clipExtensionDataLabel");
  extEdit_ = new QPushButton("Edit", this);
  extEdit_->setObjectName("clipExtensionDataButton");
  extEdit_->setToolTip("Edit the clip's ExtensionData");
  extEdit_->setEnabled(false);
  auto* extRow = new QHBoxLayout();
  extRow->addWidget(extData_);
  extRow->addWidget(extEdit_);
  extRow->addStretch(1);
  cl->addLayout(extRow, 1, 4);
  // Whole unsigned 32-bit numbers: digits only, at most ten of them.
  for (auto* f : {recRate_, packets_}) {
    f->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,10}"), f));
    f->setMaximumWidth(f->fontMetrics().horizontalAdvance("0000000000") + 16);
  }
  auto* atcBox = new QGroupBox("ATC_delta_entries", this);
  auto* al = new QVBoxLayout(atcBox);
  atcGrid_ = makeTable("atcDeltaTable", clipHeader(clip::kHeadATCdelta), {30, 80, 60, 50}, atcBox);
  atcGrid_->setToolTip("Right click: Edit mode; Insert adds an entry, Shift+Delete removes the selected one");
  atcGrid_->installEventFilter(this);
  atcEdit_ = new InPlaceEditSwitch(atcGrid_);
  al->addWidget(atcGrid_);
  cl->addWidget(atcBox, 2, 0, 1, 3);
  auto* fontBox = new QGroupBox("Font files", this);
  auto* fl = new QVBoxLayout(fontBox);
  fonts_ = makeTable("fontFileTable", clipHeader(clip::kHeadFontFiles), {30, 80}, fontBox);
  fl->addWidget(fonts_);
  cl->addWidget(fontBox, 2, 3, 1, 2);

  connect(appType_, &QComboBox::activated, this, [this](int i) {
    if (!edit_.filling && edit_.loaded)
      edit_("Application type", [i](clip::ClipInfo& c) { clip::setApplicationType(c, uint8_t(i)); });
  });
  connect(atcDelta_, &QCheckBox::clicked, this, [this](bool on) {
    if (!edit_.filling && edit_.loaded) edit_("ATCd", [on](clip::ClipInfo& c) { clip::setATCdelta(c, on); });
  });
  connect(atcGrid_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* it) { atcCellEdited(it); });
  connect(extEdit_, &QPushButton::clicked, this, [this] { editExtensionData(); });
  connect(recRate_, &QLineEdit::editingFinished, this, [this] { numberEdited(recRate_, false); });
  connect(packets_, &QLineEdit::editingFinished, this, [this] { numberEdited(packets_, true); });
}

void ClipInfoGroup::setFieldsEnabled(bool on) {
  for (auto* w : {static_cast<QWidget*>(appType_), static_cast<QWidget*>(atcDelta_), static_cast<QWidget*>(recRate_),
                  static_cast<QWidget*>(packets_)})
    w->setEnabled(on);
}

void ClipInfoGroup::showClip(const clip::ClipInfo& c) {
  const bool any = !c.typeIndicator.empty();
  const auto& ci = c.clipInfo;
  appType_->setCurrentIndex(any && ci.applicationType < appType_->count() ? ci.applicationType : -1);
  atcDelta_->setChecked(ci.isAtcDelta != 0);
  recRate_->setText(any ? QString::number(ci.tsRecordingRate) : QString());
  packets_->setText(any ? QString::number(ci.numberOfSourcePackets) : QString());
  setFieldsEnabled(edit_.loaded);
  extData_->setText(toQt(core::extensionDataCaption(c.extensionData)));
  extEdit_->setEnabled(edit_.loaded);
  fillClipTable(atcGrid_, ci.isAtcDelta ? clip::atcDeltaRows(c) : clip::GridRows{}, ci.isAtcDelta != 0);
  // Font files belong to text-subtitle clips (application type 6) only.
  fillClipTable(fonts_, ci.applicationType == 6 ? clip::fontRows(c) : clip::GridRows{}, ci.applicationType == 6);
}

void ClipInfoGroup::clear() {
  appType_->setCurrentIndex(-1);
  atcDelta_->setChecked(false);
  recRate_->clear();
  packets_->clear();
  extData_->setText("no ExtensionData()");
  extEdit_->setEnabled(false);
  setFieldsEnabled(false);
  fillClipTable(atcGrid_, {}, false);
  fillClipTable(fonts_, {}, false);
}

void ClipInfoGroup::showPacketCount(uint64_t count) {
  const bool was = edit_.filling;
  edit_.filling = true;
  packets_->setText(QString::number(count));
  edit_.filling = was;
}

void ClipInfoGroup::numberEdited(QLineEdit* field, bool packets) {
  if (edit_.filling || !edit_.loaded) return;
  bool ok = false;
  const qulonglong v = field->text().toULongLong(&ok);
  const auto& ci = edit_.model().clipInfo;
  const uint32_t now = packets ? ci.numberOfSourcePackets : ci.tsRecordingRate;
  if (!ok || v > 0xFFFFFFFFull) {
    // Not a 32-bit number: the field shows the stored value again and says why.
    ctx_.log->error((packets ? "Packets" : "Rec. rate") + std::string(": ") + field->text().toStdString() +
                    " is not a number from 0 to 4294967295.");
    field->setText(QString::number(now));
    return;
  }
  if (v == now) return;
  edit_(packets ? "Packets" : "Rec. rate", [packets, v](clip::ClipInfo& c) {
    (packets ? c.clipInfo.numberOfSourcePackets : c.clipInfo.tsRecordingRate) = uint32_t(v);
  });
}

void ClipInfoGroup::atcCellEdited(QTableWidgetItem* it) {
  if (edit_.filling || !edit_.loaded || !atcEdit_->editing()) return;
  const int r = it->row(), c = it->column();
  if (c < 1 || c > 3) return;
  const std::string text = it->text().toStdString();
  // The cell shows `shown` once its editor has closed (the table is not refilled
  // under an open editor).
  auto showLater = [this, r, c](QString shown) {
    QTimer::singleShot(0, this, [this, r, c, shown] {
      edit_.filling = true;
      if (auto* cell = atcGrid_->item(r, c)) cell->setText(shown);
      edit_.filling = false;
    });
  };
  if (r >= int(edit_.model().clipInfo.atcDeltaEntries.size())) {
    // No entry behind the row: the cell is just emptied.
    showLater(QString());
    return;
  }
  std::string shown;
  edit_.record(QString("ATC delta %1 %2").arg(r).arg(atcGrid_->horizontalHeaderItem(c)->text()),
               [&](clip::ClipInfo& m) {
                 if (auto field = atcDeltaField(c)) shown = clip::setATCdeltaCell(m, r, *field, text);
               });
  // The cell shows what was stored.
  showLater(toQt(shown));
}

void ClipInfoGroup::insertAtcDelta() {
  if (!edit_.loaded || !edit_.model().clipInfo.isAtcDelta) return;
  const int sel = edit_.model().clipInfo.atcDeltaEntries.empty() ? -1 : atcGrid_->currentRow();
  int at = -1;
  edit_("Insert ATC delta entry", [&](clip::ClipInfo& c) { at = clip::insertATCdeltaEntry(c, sel); });
  if (at >= 0) atcGrid_->setCurrentCell(at, atcEdit_->editing() ? 1 : 0);
}

void ClipInfoGroup::deleteAtcDelta() {
  const int r = atcGrid_->currentRow();
  const auto& entries = edit_.model().clipInfo.atcDeltaEntries;
  if (!edit_.loaded || !edit_.model().clipInfo.isAtcDelta || r < 0 || r >= int(entries.size())) return;
  edit_("Delete ATC delta entry", [&](clip::ClipInfo& c) { clip::deleteATCdeltaEntry(c, r); });
  const int n = int(edit_.model().clipInfo.atcDeltaEntries.size());
  if (n > 0) atcGrid_->setCurrentCell(std::min(r, n - 1), 0);
}

void ClipInfoGroup::editExtensionData() {
  if (!edit_.loaded) return;
  const QString file = edit_.name + toQt(ctx_.names().clipinfext);
  ExtDataEditor dlg(edit_.model().extensionData, file, ctx_.dialogFolder(), *ctx_.log, this);
  if (dlg.exec() != QDialog::Accepted) return;
  const core::ExtensionData block = dlg.block();
  edit_(file + " ExtensionData", [&](clip::ClipInfo& c) {
    c.extensionData = block;
    // The block follows the ClipMark section; an empty block has no address.
    c.extensionDataStart = extDataStartAfterEdit(block, c.clipMarkStart + 4 + c.clipMarkLength);
  });
}

bool ClipInfoGroup::eventFilter(QObject* o, QEvent* e) {
  if (o == atcGrid_ && e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Insert) return insertAtcDelta(), true;
    if (k->key() == Qt::Key_Delete && k->modifiers() == Qt::ShiftModifier) return deleteAtcDelta(), true;
  }
  return QGroupBox::eventFilter(o, e);
}

}  // namespace morvex::app

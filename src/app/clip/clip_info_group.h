#pragma once
// The ClipInfo group of the CLIPINF tab: the clip's application type, the ATC delta
// switch with its entries (Insert adds one, Shift+Delete removes one, edit mode types
// into the cells), the TS recording rate, the packet count, the font files of a
// text-subtitle clip and the clip's ExtensionData.
#include <QGroupBox>

#include "app/clip/clip_edits.h"
#include "app/shell/app_context.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

namespace morvex::app {

class InPlaceEditSwitch;

class ClipInfoGroup : public QGroupBox {
  Q_OBJECT
public:
  ClipInfoGroup(AppContext& ctx, ClipEdits& edit, QWidget* parent = nullptr);

  // Shows the clip's fields; they can be edited when the clip was read whole.
  void showClip(const clip::ClipInfo& c);
  // Nothing shown, nothing editable (the tables too).
  void clear();
  // The packet count the file holds now (corrected on disc, not by an edit).
  void showPacketCount(uint64_t count);

  InPlaceEditSwitch* atcEditSwitch() const { return atcEdit_; }

protected:
  bool eventFilter(QObject* o, QEvent* e) override;

private:
  void setFieldsEnabled(bool on);
  void atcCellEdited(QTableWidgetItem* item);
  void insertAtcDelta();
  void deleteAtcDelta();
  void editExtensionData();
  void numberEdited(QLineEdit* field, bool packets);

  AppContext& ctx_;
  ClipEdits& edit_;

  QComboBox* appType_ = nullptr;
  QCheckBox* atcDelta_ = nullptr;
  QLineEdit* recRate_ = nullptr;
  QLineEdit* packets_ = nullptr;
  QLabel* extData_ = nullptr;
  QPushButton* extEdit_ = nullptr;
  QTableWidget* atcGrid_ = nullptr;
  InPlaceEditSwitch* atcEdit_ = nullptr;
  QTableWidget* fonts_ = nullptr;
};

}  // namespace morvex::app

#pragma once
// The ProgramInfo group of the CLIPINF tab: the elementary streams of the clip's
// program sequence (the last one, when the file has more), one row each with its PID,
// coding type and attributes. Its selected row is what the Extract group works on.
#include <QGroupBox>

#include "clip/clpi.h"

class QTableWidget;

namespace morvex::app {

class ProgramGroup : public QGroupBox {
  Q_OBJECT
public:
  explicit ProgramGroup(QWidget* parent = nullptr);

  void showClip(const clip::ClipInfo& c);
  void clear();
  // Selects the stream row `row`.
  void selectStream(int row);

  QTableWidget* table() const { return program_; }
  int currentRow() const;
  // The PID column of `row` as shown ("1011"); empty when the row has none.
  QString pidText(int row) const;

private:
  QTableWidget* program_ = nullptr;
};

}  // namespace morvex::app

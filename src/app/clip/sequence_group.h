#pragma once
// The SequenceInfo group of the CLIPINF tab: the clip's ATC sequences and, below,
// the STC sequences of each, as the file lists them. Shown, not edited.
#include <QGroupBox>

#include "clip/clpi.h"

class QTableWidget;

namespace morvex::app {

class SequenceGroup : public QGroupBox {
  Q_OBJECT
public:
  explicit SequenceGroup(QWidget* parent = nullptr);

  void showClip(const clip::ClipInfo& c);
  void clear();

private:
  QTableWidget* sequence_ = nullptr;
  QTableWidget* stc_ = nullptr;
};

}  // namespace morvex::app

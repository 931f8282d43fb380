#include "app/clip/sequence_group.h"

#include <QVBoxLayout>

#include "app/clip/clip_grid.h"

namespace morvex::app {

SequenceGroup::SequenceGroup(QWidget* parent) : QGroupBox("SequenceInfo", parent) {
  setObjectName("sequenceGroup");
  auto* sl = new QVBoxLayout(this);
  sequence_ = makeTable("sequenceTable", clipHeader(clip::kHeadSequence), {30, 90, 70, 70}, this);
  stc_ = makeTable("stcSequenceTable", clipHeader(clip::kHeadSTC), {30, 60, 80, 90, 90}, this);
  sl->addWidget(sequence_);
  sl->addWidget(stc_);
}

void SequenceGroup::showClip(const clip::ClipInfo& c) {
  fillClipTable(sequence_, clip::sequenceRows(c), !c.typeIndicator.empty());
  const auto stcRows = clip::stcRows(c);
  fillClipTable(stc_, stcRows, !stcRows.empty());
}

void SequenceGroup::clear() {
  fillClipTable(sequence_, {}, false);
  fillClipTable(stc_, {}, false);
}

}  // namespace morvex::app

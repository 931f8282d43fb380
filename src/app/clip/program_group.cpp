#include "app/clip/program_group.h"

#include <QVBoxLayout>

#include "app/clip/clip_grid.h"

namespace morvex::app {

ProgramGroup::ProgramGroup(QWidget* parent) : QGroupBox("ProgramInfo", parent) {
  setObjectName("programGroup");
  auto* pl = new QVBoxLayout(this);
  program_ = makeTable("programStreamTable", clipHeader(clip::kHeadCI), {30, 50, 110, 200}, this);
  program_->setToolTip("ProgramInfo (Double click to play the m2ts file)");
  pl->addWidget(program_);
}

void ProgramGroup::showClip(const clip::ClipInfo& c) {
  fillClipTable(program_, clip::programRows(c), !c.typeIndicator.empty());
}

void ProgramGroup::clear() { fillClipTable(program_, {}, false); }

void ProgramGroup::selectStream(int row) { program_->setCurrentCell(row, 0); }

int ProgramGroup::currentRow() const { return program_->currentRow(); }

QString ProgramGroup::pidText(int row) const {
  auto* pid = row >= 0 ? program_->item(row, 1) : nullptr;
  return pid ? pid->text() : QString();
}

}  // namespace morvex::app

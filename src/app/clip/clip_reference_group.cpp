#include "app/clip/clip_reference_group.h"

#include <QVBoxLayout>

#include "disc/finder.h"
#include "app/clip/clip_grid.h"

namespace morvex::app {

ClipReferenceGroup::ClipReferenceGroup(AppContext& ctx, QWidget* parent)
    : QGroupBox("Referenced by", parent), ctx_(ctx) {
  setObjectName("clipReferenceGroup");
  auto* rl = new QVBoxLayout(this);
  refsGrid_ = makeTable("clipReferenceTable", clipHeader(clip::kHeadCIRef), {30, 60, 30, 50}, this);
  refsGrid_->setToolTip("Playlists playing this clip (Find; double click to open)");
  rl->addWidget(refsGrid_);
  connect(refsGrid_, &QTableWidget::cellDoubleClicked, this, &ClipReferenceGroup::referenceActivated);
}

void ClipReferenceGroup::find() {
  refs_ = ctx_.session.disc();
  const disc::ClipSearchResult r = disc::findClipReferences(refs_, *ctx_.log);
  refsFound_ = true;
  ctx_.log->info(std::to_string(r.playlistsRead) + " playlist(s) read, " + std::to_string(r.missingStreams) +
                 " missing stream file reference(s).");
  if (!r.problems.empty())
    ctx_.log->error(std::to_string(r.problems.size()) + " playlist(s) could not be read in full.");
}

void ClipReferenceGroup::forget() {
  refsFound_ = false;
  refs_ = {};
}

void ClipReferenceGroup::showClip(const QString& name) {
  clip::GridRows rows;
  if (refsFound_)
    for (size_t i = 0; i < refs_.clipinfos.size() && i < refs_.ciRefs.size(); ++i)
      if (toQt(refs_.clipinfos[i]) == name) {
        rows = disc::ciRefRows(refs_.ciRefs[i]);
        break;
      }
  fillClipTable(refsGrid_, rows, !rows.empty());
}

void ClipReferenceGroup::referenceActivated(int row) {
  if (!refsGrid_->isEnabled() || row < 0 || row >= refsGrid_->rowCount()) return;
  clip::GridRow r;
  for (int c = 0; c < refsGrid_->columnCount(); ++c) {
    auto* it = refsGrid_->item(row, c);
    r.push_back(it ? it->text().toStdString() : std::string());
  }
  const disc::RefJump j = disc::refJump(r);
  if (j.playlist.empty()) return;
  // The jump names a grid row below the header; the navigator takes the PlayItem.
  Q_EMIT itemWanted(ItemRef{ItemKind::Playlist, toQt(j.playlist), -1, j.playItemRow >= 0 ? j.playItemRow - 1 : -1});
}

}  // namespace morvex::app

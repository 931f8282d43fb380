#include "app/playlist/played_by_group.h"

#include <QTableWidget>
#include <QVBoxLayout>

#include "app/playlist/playlist_grid.h"
#include "app/widgets/grid.h"
#include "hdmv/command_edit.h"
#include "hdmv/command_text.h"

namespace morvex::app {

namespace pl = morvex::playlist;

PlayedByGroup::PlayedByGroup(AppContext& ctx, QWidget* parent) : QGroupBox("Played by", parent), ctx_(ctx) {
  setObjectName("findGroup");
  auto* fg = new QVBoxLayout(this);
  fg->setContentsMargins(4, 4, 4, 4);
  findGrid_ = makeTable("findTable", {"MovieObject", "command", "PlayItem", "Command line"}, {80, 60, 60, 160}, this);
  findGrid_->setSelectionMode(QAbstractItemView::SingleSelection);
  findGrid_->setToolTip("Movie-object commands that play this playlist (Find; double click to show the object)");
  fg->addWidget(findGrid_);
  setMaximumHeight(140);
  hide();
  connect(findGrid_, &QTableWidget::cellDoubleClicked, this, [this](int r) {
    if (r >= 0 && r < found_.size()) Q_EMIT itemWanted(found_[r]);
  });
}

void PlayedByGroup::findCommands(const QString& name) {
  const uint32_t number = name.toUInt();
  const auto& objects = ctx_.session.movieObjects.model.movieObjects.objects;
  QList<ItemRef> found;
  std::vector<pl::Row> rows;
  ctx_.log->info("Movie-object commands playing " + name.toStdString() + ":");
  for (size_t o = 0; o < objects.size(); ++o)
    for (size_t l = 0; l < objects[o].commands.size(); ++l) {
      const auto t = hdmv::followCommand(objects[o].commands, int(l));
      if (t.kind != hdmv::FollowTarget::PlayList || t.number != number) continue;
      found << ItemRef{ItemKind::MovieObject, QString(), int(o), int(l)};
      std::string line = "  MovieObject " + std::to_string(o) + ", command " + std::to_string(l);
      if (t.playItem) line += ", PlayItem " + std::to_string(*t.playItem);
      ctx_.log->info(line);
      const auto text = hdmv::comm2str(objects[o].commands[l], int(l), hdmv::CmdContext::MovieObject);
      rows.push_back({std::to_string(o), std::to_string(l), t.playItem ? std::to_string(*t.playItem) : std::string("-"),
                      hdmv::splitCommandCell(text.cells[4]).text});
    }
  if (found.isEmpty()) ctx_.log->info("  none found");
  found_ = found;
  fillTable(findGrid_, rows);
  findGrid_->setEnabled(!rows.empty());
  setTitle(QString("Played by (%1)").arg(found_.size()));
  show();
}

void PlayedByGroup::clear() {
  hide();
  found_.clear();
}

}  // namespace morvex::app

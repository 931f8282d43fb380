#include "app/playlist/sub_path_group.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

#include "app/playlist/playlist_grid.h"
#include "app/widgets/grid.h"
#include "app/widgets/in_place_edit.h"
#include "playlist/names.h"
#include "playlist/playlist_edit.h"

namespace morvex::app {

namespace pl = morvex::playlist;

// The field a column of the SubPlayItem grid shows (column 0 is the row number).
static std::optional<pl::SubPlayItemField> subPlayItemField(int column) {
  if (column < 1 || column > 10) return std::nullopt;
  return pl::SubPlayItemField(column - 1);
}

SubPathGroup::SubPathGroup(AppContext& ctx, PlaylistEdits& edit, QWidget* parent)
    : QGroupBox("SubPaths", parent), ctx_(ctx), edit_(edit) {
  setObjectName("subPathGroup");
  buildUi();
  connectEditors();
}

void SubPathGroup::buildUi() {
  auto* sg = new QVBoxLayout(this);
  sg->setContentsMargins(4, 4, 4, 4);
  auto* spRow = new QHBoxLayout();
  subPaths_ = makeTable("subPathTable", qlist(pl::subPathHeader(), false), {34, 80, 50, 40}, this);
  subPaths_->setSelectionMode(QAbstractItemView::SingleSelection);
  subPaths_->installEventFilter(this);
  spRow->addWidget(subPaths_, 1);
  auto* spCtl = new QVBoxLayout();
  QStringList spNames;
  for (unsigned t = 0; t < 8; ++t) spNames << toQt(pl::subPathTypeName(t));
  subPathType_ = makeList("subPathTypeChoice", spNames, "", this);
  repeat_ = makeList("subPathRepeatChoice", {"No", "Yes"}, "Repeat", this);
  insertButton_ = new QPushButton("+", this);
  insertButton_->setObjectName("insertSubPathButton");
  insertButton_->setToolTip("Insert a SubPath");
  deleteButton_ = new QPushButton("-", this);
  deleteButton_->setObjectName("deleteSubPathButton");
  deleteButton_->setToolTip("Delete the selected SubPath");
  spCtl->addWidget(subPathType_);
  spCtl->addWidget(repeat_);
  auto* spb = new QHBoxLayout();
  spb->addWidget(insertButton_);
  spb->addWidget(deleteButton_);
  spCtl->addLayout(spb);
  spCtl->addStretch(1);
  spRow->addLayout(spCtl);
  sg->addLayout(spRow, 1);
  subPlayItems_ = makeTable("subPlayItemTable", qlist(pl::subPlayItemHeader(), false),
                        {34, 52, 40, 36, 36, 32, 92, 92, 46, 92, 28}, this);
  editSwitch_ = new InPlaceEditSwitch(subPlayItems_);
  sg->addWidget(subPlayItems_, 1);
  multiClips_ = makeTable("subPlayItemClipsTable", qlist(pl::angleHeader(), false), {28, 52, 40, 30}, this);
  multiClips_->setMaximumHeight(90);
  sg->addWidget(multiClips_);
}

void SubPathGroup::connectEditors() {
  connect(subPaths_, &QTableWidget::currentCellChanged, this, [this](int r) {
    if (!filling_) showSubPath(r);
  });
  connect(insertButton_, &QPushButton::clicked, this, [this] { insertSubPath(); });
  connect(deleteButton_, &QPushButton::clicked, this, [this] { deleteSubPath(); });
  connect(subPathType_, &QComboBox::activated, this, [this](int t) {
    const int s = selectedSubPath();
    if (s < 0) return;
    edit_("SubPath type", [&] { pl::setSubPathType(m(), unsigned(s), unsigned(t)); });
    showSubPath(s);
  });
  connect(repeat_, &QComboBox::activated, this, [this](int r) {
    const int s = selectedSubPath();
    if (s < 0) return;
    edit_("SubPath repeat", [&] { pl::setSubPathRepeat(m(), unsigned(s), r == 1); });
    showSubPath(s);
  });
  connect(subPlayItems_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* it) { subPlayItemEdited(it); });
  connect(subPlayItems_, &QTableWidget::currentCellChanged, this, [this](int r) {
    if (!filling_) showSubPlayItem(r);
  });
  connect(subPlayItems_, &QTableWidget::cellDoubleClicked, this, [this](int r) {
    const int s = selectedSubPath();
    if (editSwitch_->editing() || s < 0) return;
    const auto& sp = m().playList.subPaths[size_t(s)];
    if (r >= 0 && r < int(sp.subPlayItems.size()))
      Q_EMIT itemWanted(ItemRef{ItemKind::Clip, toQt(sp.subPlayItems[size_t(r)].clipName)});
  });
  connect(multiClips_, &QTableWidget::cellDoubleClicked, this, [this](int r) {
    const QString clip = multiClips_->item(r, 1) ? multiClips_->item(r, 1)->text() : QString();
    if (!clip.isEmpty()) Q_EMIT itemWanted(ItemRef{ItemKind::Clip, clip});
  });
}

// ---- showing the model ---------------------------------------------------------------

void SubPathGroup::showModel() {
  const int sp = subPaths_->currentRow();
  showSubPaths();
  filling_ = true;
  const int nsp = int(m().playList.subPaths.size());
  if (nsp > 0) subPaths_->setCurrentCell(std::clamp(sp, 0, nsp - 1), 0);
  filling_ = false;
  showSubPath(subPaths_->currentRow());
}

void SubPathGroup::showSelected() { showSubPath(subPaths_->currentRow()); }

void SubPathGroup::clear() {
  filling_ = true;
  for (QTableWidget* t : {subPaths_, subPlayItems_, multiClips_}) {
    t->clearContents();
    t->setRowCount(1);
  }
  multiClips_->hide();
  filling_ = false;
}

void SubPathGroup::updateEnabled() {
  const bool on = edit_.loaded;
  subPaths_->setEnabled(on);
  subPlayItems_->setEnabled(on);
  insertButton_->setEnabled(on && pl::canInsertSubPath(m()));
  deleteButton_->setEnabled(on && !m().playList.subPaths.empty());
  if (!on)
    for (QWidget* w : {subPathType_, repeat_}) w->setEnabled(false);
}

void SubPathGroup::showSubPaths() {
  filling_ = true;
  const auto& sps = m().playList.subPaths;
  std::vector<pl::Row> rows;
  for (size_t i = 0; i < sps.size(); ++i) rows.push_back(pl::subPathRow(sps[i], unsigned(i)));
  fillTable(subPaths_, rows);
  filling_ = false;
}

int SubPathGroup::selectedSubPath() const {
  const int r = subPaths_->currentRow();
  return r >= 0 && r < int(m().playList.subPaths.size()) ? r : -1;
}

void SubPathGroup::showSubPath(int i) {
  filling_ = true;
  const bool has = i >= 0 && i < int(m().playList.subPaths.size());
  std::vector<pl::Row> rows;
  subPathType_->setEnabled(has);
  repeat_->setEnabled(false);
  if (has) {
    const auto& sp = m().playList.subPaths[size_t(i)];
    fillRow(subPaths_, i, pl::subPathRow(sp, unsigned(i)));
    subPathType_->setCurrentIndex(sp.type < 8 ? sp.type : -1);
    subPathType_->setToolTip(toQt(pl::subPathTypeHint(sp.type)));
    repeat_->setCurrentIndex(sp.repeat == 1 ? 1 : 0);
    repeat_->setEnabled(sp.type == 2);
    for (size_t k = 0; k < sp.subPlayItems.size(); ++k) rows.push_back(pl::subPlayItemRow(sp.subPlayItems[k], unsigned(k)));
  }
  fillTable(subPlayItems_, rows);
  filling_ = false;
  showSubPlayItem(has ? std::max(0, subPlayItems_->currentRow()) : -1);
}

void SubPathGroup::showSubPlayItem(int k) {
  filling_ = true;
  multiClips_->clearContents();
  multiClips_->setRowCount(1);
  std::vector<pl::Row> rows;
  const int s = selectedSubPath();
  if (s >= 0) {
    const auto& sp = m().playList.subPaths[size_t(s)];
    if (k >= 0 && k < int(sp.subPlayItems.size())) rows = pl::multiClipRows(sp.subPlayItems[size_t(k)]);
  }
  multiClips_->setVisible(!rows.empty());
  multiClips_->setRowCount(std::max<int>(1, int(rows.size())));
  for (size_t r = 0; r < rows.size(); ++r) fillRow(multiClips_, int(r), rows[r]);
  filling_ = false;
}

// ---- edits ------------------------------------------------------------------------------

void SubPathGroup::subPlayItemEdited(QTableWidgetItem* it) {
  if (filling_ || !edit_.loaded) return;
  const int s = selectedSubPath();
  if (s < 0) return;
  const int r = it->row(), c = it->column();
  if (r < 0 || r >= int(m().playList.subPaths[size_t(s)].subPlayItems.size())) return;
  const std::string text = it->text().toStdString();
  edit_(QString("SubPlayItem %1 %2").arg(r).arg(subPlayItems_->horizontalHeaderItem(c)->text()),
        [&] {
          if (auto field = subPlayItemField(c)) pl::setSubPlayItemCell(m(), unsigned(s), unsigned(r), *field, text);
        });
  // The cell shows what the model holds: a refused value goes back.
  QTimer::singleShot(0, this, [this, s, r] {
    if (s >= int(m().playList.subPaths.size())) return;
    const auto& sp = m().playList.subPaths[size_t(s)];
    if (r >= int(sp.subPlayItems.size())) return;
    filling_ = true;
    fillRow(subPlayItems_, r, pl::subPlayItemRow(sp.subPlayItems[size_t(r)], unsigned(r)));
    filling_ = false;
  });
}

void SubPathGroup::insertSubPath() {
  if (!edit_.loaded || !pl::canInsertSubPath(m())) return;
  std::optional<unsigned> at;
  edit_("Insert SubPath", [&] { at = pl::insertSubPath(m(), selectedSubPath()); });
  showSubPaths();
  if (at) subPaths_->setCurrentCell(int(*at), 0);
  showSubPath(subPaths_->currentRow());
  Q_EMIT countChanged();
}

void SubPathGroup::deleteSubPath() {
  const int s = selectedSubPath();
  if (s < 0) return;
  std::optional<int> next;
  edit_("Delete SubPath", [&] { next = pl::deleteSubPath(m(), unsigned(s)); });
  showSubPaths();
  if (next && *next >= 0) subPaths_->setCurrentCell(*next, 0);
  showSubPath(next ? *next : -1);
  Q_EMIT countChanged();
  warnReferences(m(), *ctx_.log);
}

bool SubPathGroup::eventFilter(QObject* o, QEvent* e) {
  if (o == subPaths_ && e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Insert) return insertSubPath(), true;
    if (k->key() == Qt::Key_Delete) return deleteSubPath(), true;
  }
  return QGroupBox::eventFilter(o, e);
}

}  // namespace morvex::app

#include "app/clip/ep_map_group.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QTableView>

#include "app/clip/clip_grid.h"

namespace morvex::app {

// The coarse or the fine table of one PID's EP map, drawn from the map itself: a view
// asks for the rows it shows, so a map of tens of thousands of entries shows at once.
class EpTableModel : public QAbstractTableModel {
public:
  using Row = clip::GridRow (*)(const clip::EpMap&, size_t);
  EpTableModel(QStringList header, Row row, bool fine, QObject* parent)
      : QAbstractTableModel(parent), header_(std::move(header)), row_(row), fine_(fine) {}
  void setMap(const clip::EpMap* m) {
    beginResetModel();
    map_ = m ? *m : clip::EpMap{};
    endResetModel();
  }
  int rowCount(const QModelIndex& parent = {}) const override {
    if (parent.isValid()) return 0;
    return int(fine_ ? map_.fine.size() : map_.coarse.size());
  }
  int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(header_.size()); }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    const auto r = row_(map_, size_t(index.row()));
    return index.column() < int(r.size()) ? toQt(r[size_t(index.column())]) : QString();
  }
  QVariant headerData(int section, Qt::Orientation o, int role) const override {
    if (role == Qt::DisplayRole && o == Qt::Horizontal && section < header_.size()) return header_[section];
    return QAbstractTableModel::headerData(section, o, role);
  }

private:
  QStringList header_;
  Row row_;
  bool fine_;
  clip::EpMap map_;
};

namespace {

QTableView* makeView(const char* name, QAbstractTableModel* model, QWidget* parent) {
  auto* v = new QTableView(parent);
  v->setObjectName(name);
  v->setModel(model);
  v->verticalHeader()->hide();
  v->verticalHeader()->setDefaultSectionSize(QFontMetrics(v->font()).height() + 4);
  v->setSelectionBehavior(QAbstractItemView::SelectRows);
  v->setEditTriggers(QAbstractItemView::NoEditTriggers);
  v->setWordWrap(false);
  v->horizontalHeader()->setStretchLastSection(true);
  v->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  for (int i = 0; i < model->columnCount(); ++i)
    v->setColumnWidth(i, std::max(54, v->fontMetrics().horizontalAdvance(model->headerData(i, Qt::Horizontal).toString()) + 18));
  return v;
}

}  // namespace

EpMapGroup::EpMapGroup(QWidget* parent) : QGroupBox("CPI", parent) {
  setObjectName("cpiGroup");
  auto* cpl = new QHBoxLayout(this);
  epMap_ = makeTable("epMapTable", clipHeader(clip::kHeadEPmap), {30, 50, 50, 60, 60, 80}, this);
  epMap_->setToolTip("CPI (Characteristic Point Information)");
  coarseModel_ = new EpTableModel(clipHeader(clip::kHeadEPCoarse), &clip::epCoarseRow, false, this);
  fineModel_ = new EpTableModel(clipHeader(clip::kHeadEPfine), &clip::epFineRow, true, this);
  epCoarse_ = makeView("epCoarseTable", coarseModel_, this);
  epFine_ = makeView("epFineTable", fineModel_, this);
  cpl->addWidget(epMap_, 3);
  cpl->addWidget(epCoarse_, 2);
  cpl->addWidget(epFine_, 3);
}

void EpMapGroup::showClip(const clip::ClipInfo& c) {
  fillClipTable(epMap_, clip::epMapRows(c), c.cpi.length != 0);
  const clip::EpMap* last = c.cpi.maps.empty() ? nullptr : &c.cpi.maps.back();
  coarseModel_->setMap(last);
  fineModel_->setMap(last);
}

void EpMapGroup::clear() {
  fillClipTable(epMap_, {}, false);
  coarseModel_->setMap(nullptr);
  fineModel_->setMap(nullptr);
}

}  // namespace morvex::app

#pragma once
// The CPI group of the CLIPINF tab: the EP map's PIDs and, beside them, the coarse
// and fine entry tables of one PID's map (the last, when the file has more). A map
// may hold tens of thousands of entries: its tables are views drawn from the map.
#include <QGroupBox>

#include "clip/clpi.h"

class QTableView;
class QTableWidget;

namespace morvex::app {

class EpTableModel;

class EpMapGroup : public QGroupBox {
  Q_OBJECT
public:
  explicit EpMapGroup(QWidget* parent = nullptr);

  void showClip(const clip::ClipInfo& c);
  void clear();

private:
  QTableWidget* epMap_ = nullptr;
  EpTableModel* coarseModel_ = nullptr;
  EpTableModel* fineModel_ = nullptr;
  QTableView* epCoarse_ = nullptr;
  QTableView* epFine_ = nullptr;
};

}  // namespace morvex::app

#pragma once
// "Check disc" on the BDMV tab: the findings of the disc checker in a table (severity,
// code, file, location, message). A disc in poor shape can have thousands of
// findings, so the table is a model over the report's vector that formats a cell
// only when the view paints it. A double-click asks for the place of the finding;
// the BDMV tab decides which tab and row show it.
#include <QAbstractTableModel>
#include <QDialog>
#include <QIcon>
#include <vector>

#include "check/checker.h"
#include "core/save.h"
#include "app/shell/navigator.h"

class QLabel;
class QTableView;

namespace morvex::app {

class FindingsModel : public QAbstractTableModel {
  Q_OBJECT
public:
  enum Column { ColSeverity, ColCode, ColFile, ColLocation, ColMessage, ColCount };
  explicit FindingsModel(QObject* parent = nullptr);

  void setFindings(std::vector<check::Finding> findings);
  const std::vector<check::Finding>& findings() const { return findings_; }
  const check::Finding* finding(int row) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
  std::vector<check::Finding> findings_;
  QIcon icons_[3];
};

// Where a finding is shown: a title, First Playback or Top Menu entry of the index,
// an item another tab (or the BDMV tab's movie objects) shows, or only the BDMV tab
// (the file as a whole, the sound file).
struct FindingPlace {
  enum Kind { None, BdmvTab, Title, FirstPlayback, TopMenu, Item };
  Kind kind = None;
  int title = -1;  // Title: 0-based row of the title table
  ItemRef item;    // Item
};

// The place for a finding of the disc checked with `names` (index and movie-object
// file names, extensions of playlists and clips).
FindingPlace findingPlace(const check::Finding& f, const core::FileNames& names);

class CheckDialog : public QDialog {
  Q_OBJECT
public:
  explicit CheckDialog(QWidget* parent = nullptr);

  // Shows a finished (or cancelled) check.
  void showReport(const check::CheckReport& report);
  // Shows that a check of `folder` is running.
  void showRunning(const QString& folder);

  // The disc has unsaved changes, which the check (reading the files) did not see.
  void noteUnsaved();

  FindingsModel* model() const { return model_; }
  QTableView* table() const { return table_; }

signals:
  void findingActivated(const check::Finding& finding);

private:
  FindingsModel* model_;
  QTableView* table_;
  QLabel* summary_;
};

}  // namespace morvex::app

#pragma once
// The BDJO tab: one BD-J object of the disc, chosen from the BDJO folder's list and
// shown read-only: TerminalInfo, the application cache, the accessible playlists, the
// application management table with the details of the selected application, the
// key interest flags and the file access paths. There is no writer for these files,
// so Save stays disabled here.
#include <QList>

#include "bdj/bdjo.h"
#include "app/shell/app_context.h"
#include "app/shell/navigator.h"
#include "app/shell/tab_page.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace morvex::app {

class BdjoTab : public TabPage, public ItemShower {
  Q_OBJECT
public:
  explicit BdjoTab(AppContext& ctx, QWidget* parent = nullptr);

  TabRules rules() const override;
  // With "Auto Read" on, the selected object is read when none is shown yet.
  void activated() override;
  void resetForLoad() override;
  // BD-J objects by their five-digit name: selects and reads it.
  bool showItem(const ItemRef& item) override;

  // The Read button: reads the selected object into the page. False when nothing is
  // selected or the file could not be read at all.
  bool readSelected();
  // The shown object and whether one was read since the last load.
  const bdj::BdjObject& model() const { return model_; }
  bool hasObject() const { return shown_; }
  QString shownName() const { return shownName_; }

signals:
  // A double-click on an accessible playlist.
  void itemWanted(const ItemRef& item);

private:
  void fillList();
  void clearPage();
  void fillPage();
  void showApplication(int row);
  void openPlaylist(int row);

  AppContext& ctx_;
  bdj::BdjObject model_;
  bool shown_ = false;
  QString shownName_;

  QComboBox* list_ = nullptr;
  QPushButton* read_ = nullptr;
  QLineEdit* font_ = nullptr;
  QLineEdit* havi_ = nullptr;
  QCheckBox* menuCall_ = nullptr;
  QCheckBox* titleSearch_ = nullptr;
  QTableWidget* cache_ = nullptr;
  QCheckBox* accessAll_ = nullptr;
  QCheckBox* autostart_ = nullptr;
  QTableWidget* playlists_ = nullptr;
  QTableWidget* apps_ = nullptr;
  QTableWidget* profiles_ = nullptr;
  QTableWidget* names_ = nullptr;
  QTableWidget* params_ = nullptr;
  QList<QCheckBox*> keys_;
  QLineEdit* paths_ = nullptr;
};

}  // namespace morvex::app

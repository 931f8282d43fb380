#pragma once
// The index.bdmv group of the BDMV tab: the content provider, the First Playback and
// Top Menu entries, the titles with the selected title's details, and the file's
// ExtensionData.
#include <QGroupBox>
#include <QStringList>
#include <functional>
#include <vector>

#include "app/bdmv/disc_edits.h"
#include "app/shell/app_context.h"
#include "app/shell/navigator.h"

class QLineEdit;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace morvex::app {

class IndexGroup : public QGroupBox {
  Q_OBJECT
public:
  IndexGroup(AppContext& ctx, DiscEdits& edit, QWidget* parent = nullptr);

  // Empties the lists before a read.
  void clear();
  // Shows a freshly read index; `objects` names the disc's movie objects.
  void showRead(const QStringList& objects);
  // Shows the model anew after an undo or redo, keeping the selected title;
  // `objects` names the movie objects as they are now.
  void showAfterUndo(const QStringList& objects);
  // The movie objects were inserted, deleted or renumbered: the lists offering them
  // and the titles that refer to them show the model again.
  void objectsChanged(const QStringList& objects);

  // Selects a title: its details and its movie object follow.
  void selectTitle(int index);
  void insertTitle();
  void deleteTitles();
  int currentTitle() const;
  // Puts the focus on the First Playback or the Top Menu entry.
  void focusEntry(bool topMenu);
  QTableWidget* titleTable() const { return titles_; }

signals:
  // The selected title (or the First Playback / Top Menu entry) plays this movie object.
  void objectWanted(int index);
  // A BD-J title was double-clicked.
  void itemWanted(const ItemRef& item);
  void rulesChanged();

protected:
  bool eventFilter(QObject* o, QEvent* e) override;

private:
  void buildUi();
  void fillTitles();
  void setObjectNames(const QStringList& objects);
  void refreshTitleRow(int i);
  void refreshCount();
  void showTitleDetails(int i);
  void showFirstPlaybackTopMenu();
  void updateExtDataLabel();
  void editExtensionData();
  // The AppInfo fields and, on an Ultra HD disc, its disc info entry.
  void showAppInfo();
  void editAppInfo(const QString& what, const std::function<void(nav::AppInfoFlags&)>& change);

  nav::IndexTable& ix() { return ctx_.session.index.model; }
  const nav::IndexTable& ix() const { return ctx_.session.index.model; }

  AppContext& ctx_;
  DiscEdits& edit_;
  bool filling_ = false;

  QLineEdit* content_;
  QCheckBox* fpbOn_;
  QComboBox *fpbType_, *fpbPbType_, *fpbObject_, *fpbFile_;
  QCheckBox* tmOn_;
  QComboBox *tmType_, *tmObject_, *tmFile_;
  QTableWidget* titles_;
  QComboBox *titleNo_, *titleOT_, *titleAT_, *titlePBT_, *titleOID_, *titleFN_;
  QPushButton *titleIns_, *titleDel_;
  QLabel* titleCount_;
  QLabel* indExt_;
  QPushButton* indExtEdit_;
  // AppInfo: output mode preference, content-exists flag, initial dynamic range (0300),
  // video format and frame rate; then the Ultra HD disc info flags.
  QComboBox *outputMode_, *initialDynamicRange_, *appVideoFormat_, *appFrameRate_;
  QCheckBox* contentExist_;
  QLabel* uhdInfo_;
  std::vector<QCheckBox*> uhdFlags_;
};

}  // namespace morvex::app

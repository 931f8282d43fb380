#pragma once
// The Options tab: every user setting that is not owned by another tab's controls.
// Each control writes straight into the settings record, so the record is always
// what the controls show.
#include <QMap>

#include "app/shell/app_context.h"
#include "app/shell/tab_page.h"

class QCheckBox;
class QLineEdit;
class QLabel;
class QPushButton;
class QButtonGroup;
class QSpinBox;
class QGroupBox;
class QComboBox;
class QHBoxLayout;

namespace morvex::app {

class OptionsTab : public TabPage {
  Q_OBJECT
public:
  explicit OptionsTab(AppContext& ctx, QWidget* parent = nullptr);

  // Sets every control from the settings (after they were read at start-up).
  void loadFromSettings();

  // The work folder dialog ("Select a directory"); tests set the folder directly.
  void setWorkFolder(const QString& folder);

  QPushButton* createSoundButton() const { return createSound_; }

signals:
  // One of the menu display options changed (the Menu tab mirrors them).
  void displayOptionsChanged();
  // "Create sound.bdmv" was pressed.
  void createSoundRequested();
  // "Create Menu" was pressed.
  void createMenuRequested();
  // The 8.3 file-name setting changed.
  void fileNamesChanged();

protected:
  bool eventFilter(QObject* o, QEvent* e) override;

private:
  QCheckBox* check(const char* name, const QString& caption, bool AppSettings::*member, QWidget* parent);
  QButtonGroup* radios(const char* name, const QString& title, const QStringList& items, int AppSettings::*member,
                       QGroupBox** box, QWidget* parent);
  QComboBox* list(const char* name, const QStringList& items, int AppSettings::*member, QWidget* parent);
  QPushButton* colourButton(const char* name, const QString& caption, uint32_t AppSettings::*member, QWidget* parent);
  // The six groups of the page, each with its controls; the Country box and the
  // background picture row are built for the groups that hold them.
  QGroupBox* loadingGroup(QWidget* body);
  QGroupBox* filesGroup(QWidget* body);
  QGroupBox* desktopGroup(QWidget* body);
  QGroupBox* commandsGroup(QWidget* body);
  QGroupBox* countryGroup(QWidget* parent);
  QGroupBox* menuDisplayGroup(QWidget* body);
  QHBoxLayout* backgroundPictureRow(QWidget* parent);
  QGroupBox* coloursGroup(QWidget* body);
  void countryEdited();
  void countryLeft();
  void updateEnabling();

  AppContext& ctx_;
  bool loading_ = false;
  QList<std::function<void()>> loaders_;
  QCheckBox* backup_ = nullptr;
  QComboBox* backupMode_ = nullptr;
  QCheckBox* background_ = nullptr;
  QLineEdit* backPic_ = nullptr;
  QPushButton* backPicBrowse_ = nullptr;
  QLineEdit* country_ = nullptr;
  QLabel* countryLabel_ = nullptr;
  QGroupBox* countryGroup_ = nullptr;
  QLineEdit* workDir_ = nullptr;
  QPushButton* createSound_ = nullptr;
};

}  // namespace morvex::app

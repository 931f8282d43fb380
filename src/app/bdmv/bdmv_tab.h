#pragma once
// The BDMV tab: the disc folder with its Read button over three groups, one per file
// it edits: index.bdmv (IndexGroup), MovieObject.bdmv (MovieObjectGroup) and
// sound.bdmv (SoundGroup). The tab reads the folder, saves the three files, and wires
// the groups to one another (a title selects its movie object, a command jumps to a
// title, deleting objects renumbers the titles).
#include <functional>
#include <memory>

#include "app/bdmv/disc_edits.h"
#include "check/checker.h"
#include "core/progress.h"
#include "hdmv/command_edit.h"
#include "app/shell/app_context.h"
#include "app/shell/document.h"
#include "app/shell/navigator.h"
#include "app/shell/tab_page.h"
#include "sound/sound.h"

class QLineEdit;
class QPushButton;

namespace morvex::app {

class ExecutePanel;
class RegisterPanel;
class CommandTable;
class CommandEditorPanel;
class IndexGroup;
class MovieObjectGroup;
class SoundGroup;
class CheckDialog;
class NavigationDialog;
class ReadBanner;

class BdmvTab : public TabPage, public ItemShower {
  Q_OBJECT
public:
  BdmvTab(AppContext& ctx, ExecutePanel* exec, RegisterPanel* regs, QWidget* parent = nullptr);
  ~BdmvTab() override;

  bool saveEnabled() const;
  bool startEnabled() const;
  TabRules rules() const override;
  ExecutePanel::Host executeHost() override;
  void save() override;
  // Movie objects: selects the object (its flags, commands and Start follow).
  bool showItem(const ItemRef& item) override;

  // Long work (the disc check) runs through the window's worker thread, with its
  // progress bar and Cancel; without a runner it runs here and now.
  void setTaskRunner(TaskRunner r) { runTask_ = std::move(r); }

  // "Check disc": checks the disc folder with the disc checker and lists the findings.
  void checkDisc();
  CheckDialog* checkDialog() const { return checkDialog_; }
  // Shows where a finding lies: the title, the movie object and its line, or the
  // item another tab shows.
  void showFinding(const check::Finding& finding);

  // "Navigation": walks the disc's navigation and shows the map; its nodes lead to
  // their places.
  void showNavigation();
  NavigationDialog* navigationDialog() const { return navigationDialog_; }

  // Start-up: the sound group starts hidden.
  void startUp();

  QString folder() const;
  void setFolder(const QString& folder);
  // The load of the folder in the folder field (the Read button).
  void readFolder();
  // Reads `folder` (a folder from the command line): unsaved changes are asked about
  // first, and Cancel keeps both the disc read and the folder field as they are.
  void openFolder(const QString& folder);
  // The folder button's dialog result (tests pass the chosen folder directly).
  void folderChosen(const QString& chosen);

  // Selections (the folder load and the tests use them as a click would).
  void selectTitle(int index);
  void selectObject(int index);
  int selectedObject() const;

  sound::SoundFile& soundModel() { return ctx_.session.sound.model; }
  bool soundShown() const;
  bool importSound(const QString& wavPath);
  bool exportSound(int row, const QString& wavPath);
  // "Create sound.bdmv" with the WAV file of its first import.
  bool createSound(const QString& wavPath);

  CommandTable* commandTable() const;
  CommandEditorPanel* commandEditor() const;
  // The rows that say a file was refused or read only in part (index, movie objects,
  // sound).
  QList<ReadBanner*> readBanners() const { return banners_; }
  IndexGroup* indexGroup() const { return index_; }
  MovieObjectGroup* movieObjectGroup() const { return objects_; }
  SoundGroup* soundGroup() const { return sound_; }

  // The undo stack of the three files this tab edits.
  QUndoStack* undoStack() override { return &ctx_.session.discUndo(); }

signals:
  // A folder passed its check and was read; `label` names the disc.
  void folderLoaded(const QString& label);
  // A command or a title leads to an item another tab shows (a playlist, with the
  // PlayItem when the command names one; a BD-J object).
  void itemWanted(const ItemRef& item);
  // The tab itself should be shown (a finding in one of its files).
  void frontWanted();
  // "Create sound.bdmv" becomes available or not.
  void createSoundAvailable(bool on);

private:
  void buildUi();
  void readSettledFolder();
  // Shows the models anew after an undo or redo, keeping the selected rows.
  void showAfterUndo();

  AppContext& ctx_;
  DiscEdits edit_;
  ExecutePanel* exec_;
  RegisterPanel* regs_;

  QLineEdit* dir_;
  QPushButton* openDir_;
  QPushButton* read_;
  QPushButton* check_;
  CheckDialog* checkDialog_ = nullptr;
  QPushButton* navigation_ = nullptr;
  NavigationDialog* navigationDialog_ = nullptr;
  std::filesystem::path walkedFolder_;
  TaskRunner runTask_;
  // The folder the findings shown came from.
  std::filesystem::path checkedFolder_;
  IndexGroup* index_;
  MovieObjectGroup* objects_;
  SoundGroup* sound_;
  QList<ReadBanner*> banners_;
};

}  // namespace morvex::app

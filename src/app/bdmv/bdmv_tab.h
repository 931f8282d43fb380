#pragma once
// The BDMV tab: the disc folder with its Read button, the index group (content
// provider, First Playback, Top Menu, titles), the MovieObject group (objects, flags,
// the command table) and the sound.bdmv group.
#include <QBuffer>
#include <QPointer>
#include <memory>
#include <vector>

#include "shell/app_context.h"
#include "shell/document.h"
#include "shell/navigator.h"
#include "shell/tab_page.h"
#include "hdmv/command_edit.h"
#include "sound/sound.h"

class QLineEdit;
class QPushButton;
class QComboBox;
class QCheckBox;
class QLabel;
class QTableWidget;
class QGroupBox;
class QAudioSink;

namespace morvex::app {

class ExecutePanel;
class RegisterPanel;
class CommandTable;
class CommandEditorPanel;

class BdmvTab : public TabPage, public ItemShower {
  Q_OBJECT
public:
  BdmvTab(AppContext& ctx, ExecutePanel* exec, RegisterPanel* regs, QWidget* parent = nullptr);
  bool saveEnabled() const;
  bool startEnabled() const;
  ~BdmvTab() override;

  TabRules rules() const override;
  ExecutePanel::Host executeHost() override;
  void save() override;
  // Movie objects: selects the object (its flags, commands and Start follow).
  bool showItem(const ItemRef& item) override;

  // Start-up: the sound group starts hidden.
  void startUp();

  QString folder() const;
  void setFolder(const QString& folder);
  // The load of the folder in the folder field (the Read button).
  void readFolder();
  // The folder button's dialog result (tests pass the chosen folder directly).
  void folderChosen(const QString& chosen);

  // Selections (the folder load and the tests use them as a click would).
  void selectTitle(int index);
  void selectObject(int index);
  int selectedObject() const;

  sound::TSND& soundModel() { return ctx_.session.sound.model; }
  bool soundShown() const;
  // Imports a WAV file after the selected sound (Ins in the sound table).
  bool importSound(const QString& wavPath);
  bool exportSound(int row, const QString& wavPath);
  void deleteSound(int row);
  // "Create sound.bdmv" with the WAV file of its first import.
  bool createSound(const QString& wavPath);
  void playSound(int row);

  // Title and movie-object editing (the + and - buttons and the table keys).
  void insertTitle();
  void deleteTitles();
  void insertObject();
  void deleteObjects();
  // A key of the command table on the selected object's program.
  void commandKey(hdmv::CmdKey key);
  // Double-click on a command: go where it leads.
  void followCommand(int line);
  // Writes the selected object's program as a list or binary file.
  bool saveProgramList(const QString& path, hdmv::ProgramFormat format);
  CommandTable* commandTable() const { return commands_; }
  CommandEditorPanel* commandEditor() const { return editor_; }

  // The undo stack of the three files this tab edits.
  QUndoStack* undoStack() override { return &ctx_.session.discUndo(); }

signals:
  // A folder passed its check and was read; `label` names the disc.
  void folderLoaded(const QString& label);
  // A command or a title leads to an item another tab shows (a playlist, with the
  // PlayItem when the command names one; a BD-J object).
  void itemWanted(const ItemRef& item);
  // "Create sound.bdmv" becomes available or not.
  void createSoundAvailable(bool on);

protected:
  bool eventFilter(QObject* o, QEvent* e) override;

private:
  void buildUi();
  void clearScreen();
  void showIndex();
  void fillTitles();
  void fillObjects();
  void selectCommand(int row);
  void commandEdited(const hdmv::TCommand& c);
  void refreshTitleRow(int i);
  void refreshObjectRow(int i);
  void refreshCounts();
  void showTitleDetails(int i);
  void showFirstPlaybackTopMenu();
  void showSound();
  void refreshSoundRow(int i);
  void updateExtDataLabels();
  void editExtensionData(int which);
  void commandClicked(int row);
  // Shows the models anew after an undo or redo, keeping the selected rows.
  void showAfterUndo();

  nav::TINDX& ix() { return ctx_.session.index.model; }
  const nav::TINDX& ix() const { return ctx_.session.index.model; }
  nav::TMOBJ& mo() { return ctx_.session.movieObjects.model; }
  const nav::TMOBJ& mo() const { return ctx_.session.movieObjects.model; }
  sound::TSND& snd() { return ctx_.session.sound.model; }
  // Every change of the three files goes through here, so it can be undone.
  // `mergeId` >= 0 joins it with the previous edit of the same kind (typing).
  template <class F>
  bool edit(const QString& what, F&& change, int mergeId = -1) {
    auto& s = ctx_.session;
    const bool was = editing_;
    editing_ = true;
    const bool changed = editDocuments(s.discUndo(), what, mergeId, std::forward<F>(change), s.index, s.movieObjects, s.sound);
    editing_ = was;
    return changed;
  }

  AppContext& ctx_;
  ExecutePanel* exec_;
  RegisterPanel* regs_;
  bool filling_ = false;
  bool editing_ = false;
  bool reading_ = false;

  std::unique_ptr<QBuffer> wavBuffer_;
  QPointer<QAudioSink> sink_;

  QLineEdit* dir_;
  QPushButton* openDir_;
  QPushButton* read_;
  // Index group.
  QGroupBox* indexGroup_;
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
  // MovieObject group.
  QGroupBox* objectGroup_;
  QTableWidget* objects_;
  QComboBox *resume_, *menuCall_, *titleSearch_;
  QPushButton *objIns_, *objDel_;
  QLabel* objCount_;
  CommandTable* commands_;
  CommandEditorPanel* editor_;
  QPushButton *cmdIns_, *cmdDel_, *saveProgram_;
  QLabel* objExt_;
  QPushButton* objExtEdit_;
  // Sound group.
  QGroupBox* soundGroup_;
  QTableWidget* sounds_;
  QPushButton *play_, *saveSound_;
  QLabel* sndExt_;
  QPushButton* sndExtEdit_;
};

}  // namespace morvex::app

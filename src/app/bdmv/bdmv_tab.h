#pragma once
// The BDMV tab: the disc folder with its Read button, the index group (content
// provider, First Playback, Top Menu, titles), the MovieObject group (objects, flags,
// the command table) and the sound.bdmv group.
#include <QBuffer>
#include <QPointer>
#include <memory>
#include <vector>

#include "shell/app_context.h"
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

class BdmvTab : public TabPage {
  Q_OBJECT
public:
  BdmvTab(AppContext& ctx, ExecutePanel* exec, RegisterPanel* regs, QWidget* parent = nullptr);
  ~BdmvTab() override;

  bool saveShown() const override { return true; }
  bool saveEnabled() const override;
  QString saveHint() const override { return QStringLiteral("Save the bdmv files"); }
  bool executePanelShown() const override { return true; }
  bool registerPanelShown() const override { return true; }
  bool startEnabled() const override;
  void save() override;

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

  sound::TSND& soundModel() { return snd_; }
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

  const std::vector<std::string>& playlists() const { return playlists_; }
  const std::vector<std::string>& clipinfos() const { return clipinfos_; }

signals:
  // A folder passed its check and was read; `label` names the disc.
  void folderLoaded(const QString& label);
  // A command names a playlist (five-digit name) to show on the PLAYLIST tab.
  void playlistWanted(const QString& name, int playItem);
  // A BD-J title was double-clicked: its object file is shown on the BDJO tab.
  void bdjoWanted(const QString& name);
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

  AppContext& ctx_;
  ExecutePanel* exec_;
  RegisterPanel* regs_;
  bool filling_ = false;

  sound::TSND snd_;
  bool soundLoaded_ = false;
  std::vector<std::string> playlists_, clipinfos_, bdjNames_;
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

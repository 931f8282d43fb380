#pragma once
// The BDMV tab: the disc folder with its Read button, the index group (content
// provider, First Playback, Top Menu, titles), the MovieObject group (objects, flags,
// commands and the command editor) and the sound.bdmv group.
#include "shell/app_context.h"
#include "shell/tab_page.h"

class QLineEdit;
class QPushButton;

namespace morvex::app {

class ExecutePanel;
class RegisterPanel;

class BdmvTab : public TabPage {
  Q_OBJECT
public:
  BdmvTab(AppContext& ctx, ExecutePanel* exec, RegisterPanel* regs, QWidget* parent = nullptr);

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

signals:
  // A folder passed its check and was read; `label` names the disc.
  void folderLoaded(const QString& label);

private:
  AppContext& ctx_;
  ExecutePanel* exec_;
  RegisterPanel* regs_;
  QLineEdit* dir_;
  QPushButton* openDir_;
  QPushButton* read_;
};

}  // namespace morvex::app

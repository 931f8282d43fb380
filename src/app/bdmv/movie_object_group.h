#pragma once
// The MovieObject.bdmv group of the BDMV tab: the movie objects with their flags,
// the selected object's commands and the command editor, and the file's
// ExtensionData. Everything below the table acts on the current object, however the
// current row changes.
#include <QGroupBox>
#include <QStringList>

#include "app/bdmv/disc_edits.h"
#include "hdmv/command_edit.h"
#include "app/panels/execute_panel.h"
#include "app/shell/app_context.h"
#include "app/shell/navigator.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace morvex::app {

class CommandTable;
class CommandEditorPanel;

class MovieObjectGroup : public QGroupBox {
  Q_OBJECT
public:
  MovieObjectGroup(AppContext& ctx, DiscEdits& edit, ExecutePanel* exec, QWidget* parent = nullptr);

  // Empties the lists before a read.
  void clear();
  // Shows freshly read movie objects (the selection is the caller's).
  void showRead();
  // Shows the model anew after an undo or redo, keeping the selected object and line.
  void showAfterUndo();
  // The three-digit names of the objects ("000", "001", ...).
  QStringList objectNames() const;

  void selectObject(int index);
  int selectedObject() const;
  void insertObject();
  void deleteObjects();
  // A key of the command table on the selected object's program.
  void commandKey(hdmv::CmdKey key);
  // Double-click on a command: go where it leads.
  void followCommand(int line);
  // Writes the selected object's program as a list or binary file.
  bool saveProgramList(const QString& path, hdmv::ProgramFormat format);
  bool startEnabled() const;
  ExecutePanel::Host executeHost();

  CommandTable* commandTable() const { return commands_; }
  CommandEditorPanel* commandEditor() const { return editor_; }
  QTableWidget* objectTable() const { return objects_; }

signals:
  // Objects were inserted or deleted (deleting renumbers the titles' references).
  void objectsChanged();
  // A command jumps to a title (1-based number as the command names it, minus one).
  void titleWanted(int index);
  // A command plays a playlist.
  void itemWanted(const ItemRef& item);
  void rulesChanged();

private:
  void buildUi();
  void fillObjects();
  void refreshObjectRow(int i);
  void refreshCount();
  void selectCommand(int row);
  void commandEdited(const hdmv::Command& c);
  void commandClicked(int row);
  void updateExtDataLabel();
  void editExtensionData();

  nav::MovieObjectFile& mo() { return ctx_.session.movieObjects.model; }
  const nav::MovieObjectFile& mo() const { return ctx_.session.movieObjects.model; }

  AppContext& ctx_;
  DiscEdits& edit_;
  ExecutePanel* exec_;
  bool filling_ = false;

  QTableWidget* objects_;
  QComboBox *resume_, *menuCall_, *titleSearch_;
  QPushButton *objIns_, *objDel_;
  QLabel* objCount_;
  CommandTable* commands_;
  CommandEditorPanel* editor_;
  QPushButton *cmdIns_, *cmdDel_, *saveProgram_;
  QLabel* objExt_;
  QPushButton* objExtEdit_;
};

}  // namespace morvex::app

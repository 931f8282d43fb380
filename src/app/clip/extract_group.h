#pragma once
// The Extract group of the CLIPINF tab: "Save P&ID" writes the elementary stream of
// the ProgramInfo row selected out of the clip's stream file, in the form the Options
// tab's "Save PID format" boxes choose; "-> M&enu" hands an IG stream to the Menu tab.
#include <QGroupBox>
#include <functional>

#include "core/progress.h"
#include "app/clip/clip_edits.h"
#include "app/shell/app_context.h"
#include "app/shell/tab_page.h"

class QLabel;
class QPushButton;

namespace morvex::app {

class ProgramGroup;

class ExtractGroup : public QGroupBox {
  Q_OBJECT
public:
  ExtractGroup(AppContext& ctx, ClipEdits& edit, ProgramGroup& program, QWidget* parent = nullptr);

  // Runs long work off the window thread with progress and Cancel (the window's).
  void setTaskRunner(TaskRunner r) { runTask_ = std::move(r); }

  // Writes the PID of the selected row; false when nothing could start. Without a
  // work folder the user is asked where to write first, and the answer becomes the
  // work folder (the Options tab shows it).
  bool savePid();
  // The work folder ("" while none is set).
  QString outputFolder() const;
  // Asks for the output folder (tests answer it); returns "" for Cancel.
  std::function<QString()> folderQuestion;
  // "Written to <file>" after a run, or why nothing was written.
  QString outcomeText() const;
  // The output file of `row` (empty when it is no stream row).
  QString outputFileFor(int row) const;
  // The stream file and the IG PID of the selected row go to the Menu tab.
  void toMenu();
  // The buttons follow the selected row, the stream file and a run under way.
  void updateButtons();

signals:
  // "-> M&enu": the Menu tab should load the IG stream `pid` of `streamFile`.
  void menuStreamWanted(const QString& streamFile, int pid);
  // A run ended; `written` when the output file is in place.
  void extractionFinished(bool written);
  // The user chose the work folder when Save P&ID asked for it.
  void workFolderChosen();

private:
  AppContext& ctx_;
  ClipEdits& edit_;
  ProgramGroup& program_;
  TaskRunner runTask_;
  bool extracting_ = false;

  QPushButton* savePid_ = nullptr;
  QPushButton* toMenu_ = nullptr;
  QLabel* outcome_ = nullptr;
};

}  // namespace morvex::app

#pragma once
// Reading and writing the Menu tab's menu: a menu file or the IG PID of an AV stream
// read on the worker thread, "Create Menu", Save to a menu file and Mux into a new AV
// stream that holds only the menu.
//
// A menu read only in part is shown as such, by a banner with "Allow saving": a save
// or a mux would write only what could be read and drop the rest of the original, so
// neither runs until the user says so.
#include <QObject>
#include <QString>
#include <functional>

#include "app/shell/tab_page.h"
#include "app/menu/menu_document.h"
#include "app/shell/app_context.h"
#include "core/progress.h"

class QLabel;
class QPushButton;
class QWidget;

namespace morvex::app {

class MenuFiles : public QObject {
  Q_OBJECT
public:
  // Runs `work` (off the window thread when the window offers a worker), then `done`.
  // `tab` parents the banner and the dialogs.
  MenuFiles(AppContext& ctx, MenuDocument& doc, TaskRunner run, QWidget* tab);

  // The partial-read banner and its "Allow saving" button, one row of the tab.
  QWidget* banner() const { return banner_; }
  // The row with "Mux into clip…", which puts the menu into an existing AV stream.
  QWidget* clipRow() const { return clipRow_; }

  // Asks for a menu file or stream and reads it.
  void chooseAndLoad();
  // Reads a menu file or the IG PID of an AV stream. False when nothing was started
  // (the user kept a modified menu, or a load or mux is running); loadFinished tells
  // the end.
  bool loadFile(const QString& path, uint16_t pid);
  // A new empty menu (after settling a modified one).
  bool createMenu();
  // The document's saver: asks for the file name and saves.
  bool chooseAndSave();
  bool saveTo(const QString& path);
  // Asks for the stream's name and muxes.
  void chooseAndMux();
  bool muxTo(const QString& path);
  // "Mux into clip…": asks for the AV stream and the stream to write, and whether
  // playlists that play the clip without an IG entry gain one; then muxes.
  void chooseAndMuxIntoClip();
  // Muxes the menu into `source` as `output` on the worker (progress, Cancel): the
  // clip information goes with it and, with `addStream`, the playlists' IG entries.
  bool muxIntoClip(const QString& source, const QString& output, bool addStream);
  // A partial read: the user accepts that a save writes only what was read.
  void confirmPartial();
  void updateBanner();

  bool loading() const { return loading_; }
  // The last loadFile() did not start because the user kept the modified menu
  // (Cancel in the question).
  bool keptModified() const { return kept_; }
  bool muxing() const { return muxing_; }
  bool partial() const { return doc_.partial(); }
  // Save and Mux may write: the menu was read whole, or the user allowed it.
  bool writable() const { return doc_.writable(); }
  // The document is being replaced by a read or a new menu (not an undo or redo).
  bool replacing() const { return replacing_; }

signals:
  // A modified menu was settled and a read or a new menu starts: the emulator stops.
  void aboutToReplace();
  // The document now holds the menu read or created.
  void menuAdopted();
  void loadFinished(bool shown);
  void muxFinished(bool written);
  void rulesChanged();

private:
  // Save / Discard / Cancel for a modified menu; true when it may be replaced.
  bool settleModified();
  bool beginMux();
  void adoptMenu(igs::Menu menu, const core::ReadResult& result, const QString& path);

  AppContext& ctx_;
  MenuDocument& doc_;
  TaskRunner run_;
  QWidget* tab_;
  bool loading_ = false;
  bool muxing_ = false;
  bool replacing_ = false;
  bool kept_ = false;
  QString partialText_;
  QString menuPath_;

  QWidget* banner_ = nullptr;
  QLabel* partialBanner_ = nullptr;
  QPushButton* confirmPartial_ = nullptr;
  QWidget* clipRow_ = nullptr;
  QPushButton* muxIntoClip_ = nullptr;
  void updateClipRow();
};

}  // namespace morvex::app

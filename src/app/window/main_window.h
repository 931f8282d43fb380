#pragma once
// The main window: eight tabs, the shared bottom controls (execute, navigate and
// register panels, progress bar, Cancel, Find, Load, Mux, Save), the two-panel status
// bar, the start-up sequence, the tab rules and the button dispatch, the question
// about unsaved changes, and the end of the run. Everything the tabs share lives in
// the shell beneath (session, navigator, log); the window only wires it together.
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>

#include "core/progress.h"
#include "app/shell/app_context.h"
#include "app/shell/tab_page.h"

class QTabWidget;
class QMenu;
class QPushButton;
class QToolButton;
class QProgressBar;
class QSettings;
class QTimer;
class QThread;

namespace morvex::app {

class TabPage;
class TabBar;
class LogView;
class StatusLine;
class GuiLog;
class BdmvTab;
class BdjoTab;
class ClipTab;
class MenuTab;
class PlaylistTab;
class OptionsTab;
class StatusTab;
class AboutTab;
class ExecutePanel;
class RegisterPanel;
class Navigator;
class Document;

enum TabIndex { TabBdmv = 0, TabPlaylist, TabClipinf, TabMenu, TabBdjo, TabOptions, TabStatus, TabAbout, TabCount };

class MainWindow : public QMainWindow {
  Q_OBJECT
public:
  // `arguments` are the command-line arguments after the program name.
  explicit MainWindow(QStringList arguments = {}, QWidget* parent = nullptr);
  ~MainWindow() override;

  AppContext& context() { return ctx_; }
  core::Log& log();
  LogView* logView() const { return logView_; }
  StatusLine* statusLine() const { return status_; }
  QTabWidget* tabs() const { return tabs_; }
  TabPage* page(int index) const { return pages_[index]; }
  BdmvTab* bdmvTab() const { return bdmv_; }
  BdjoTab* bdjoTab() const { return bdjo_; }
  ClipTab* clipTab() const { return clip_; }
  MenuTab* menuTab() const { return menu_; }
  ExecutePanel* executePanel() const { return exec_; }
  RegisterPanel* registerPanel() const { return regs_; }
  Navigator* navigator() const { return nav_; }
  DiscSession& session() { return ctx_.session; }

  // Runs once (the first show calls it); later calls do nothing.
  void startUp();
  bool startedUp() const { return startedUp_; }

  // Applies the tab rules for the current tab.
  void applyTabRules();
  // The shared buttons, dispatched to the current tab.
  void saveCurrent();
  void findCurrent();
  void loadCurrent();
  void muxCurrent();
  // Ctrl+Z / Ctrl+Shift+Z on the current tab's documents.
  void undoCurrent();
  void redoCurrent();
  // Asks Save / Discard / Cancel about modified documents; the answer (one of
  // DiscSession::Answer). Tests answer the message box named "unsavedQuestion".
  int askAboutModified(const QList<Document*>& docs);

  // Long work off the window thread: the progress bar and Cancel are shown while
  // `work` runs on a worker thread; `done` runs on the window thread afterwards.
  void runLongTask(std::function<void(core::Progress&)> work, std::function<void(bool cancelled)> done);
  bool longTaskRunning() const { return worker_ != nullptr; }
  // Once a stream extraction has started, every later Cancel asks first.
  void noteExtractionStarted() { extractionStarted_ = true; }

  // The arguments of a later launch of the program (handed over by the single-instance
  // socket): the window comes to the front and opens them as its own start-up would,
  // after Save / Discard / Cancel about unsaved changes.
  void openFromLaterLaunch(const QStringList& arguments);

  // Opens an entry of the recent list (a disc's BDMV folder or a .mnu file) as a
  // dropped or command-line one is; an entry that no longer exists is taken off the
  // list with a message.
  void openRecent(const QString& path);
  // The button whose menu lists the recent discs and menus.
  QToolButton* recentButton() const { return recent_; }

  // The disc folder, index.bdmv or .mnu file a drop of `urls` names, or empty when
  // it names anything else (or more than one thing).
  static QString droppedPath(const QList<QUrl>& urls);

  // Grabs a PNG of the window for every tab into `folder` (the screenshot command).
  bool saveScreenshots(const QString& folder);

  // The end of the run without closing (tests): settings written, own temporary
  // files removed.
  void endOfRun();

signals:
  void startUpFinished();

protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  // Undo and redo keys reach the window's shortcuts wherever the focus is.
  bool eventFilter(QObject* o, QEvent* e) override;
  // A disc folder, an index.bdmv or a .mnu dropped anywhere on the window opens it.
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  void dropEvent(QDropEvent* e) override;

private:
  void fillRecentMenu();
  void buildUi();
  void prBarOn();
  void prBarOff();
  void cancelClicked();
  void readSettings();
  void writeSettings();
  void applyWindowGeometry();
  void handleCommandLine();
  // Opens one command-line argument (a menu file or a file or folder of a disc);
  // false when there is not exactly one.
  bool openArguments(const QStringList& arguments);
  void updateTitle();
  void fitMinimumSize();

  AppContext ctx_;
  std::unique_ptr<GuiLog> guiLog_;
  QStringList arguments_;
  // The title without the modified mark.
  QString titleBase_;
  Navigator* nav_ = nullptr;
  bool startedUp_ = false;
  bool ending_ = false;
  bool extractionStarted_ = false;

  QTabWidget* tabs_ = nullptr;
  TabBar* tabBar_ = nullptr;
  TabPage* pages_[TabCount] = {};
  BdmvTab* bdmv_ = nullptr;
  BdjoTab* bdjo_ = nullptr;
  ClipTab* clip_ = nullptr;
  MenuTab* menu_ = nullptr;
  PlaylistTab* playlist_ = nullptr;
  OptionsTab* options_ = nullptr;
  StatusTab* statusTab_ = nullptr;
  AboutTab* about_ = nullptr;

  LogView* logView_ = nullptr;
  StatusLine* status_ = nullptr;
  ExecutePanel* exec_ = nullptr;
  QWidget* navigate_ = nullptr;
  RegisterPanel* regs_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QPushButton* find_ = nullptr;
  QPushButton* load_ = nullptr;
  QPushButton* mux_ = nullptr;
  QToolButton* recent_ = nullptr;
  QMenu* recentMenu_ = nullptr;

  // The running long task.
  QThread* worker_ = nullptr;
  std::shared_ptr<core::Progress> progressState_;
  QTimer* progressTimer_ = nullptr;
};

}  // namespace morvex::app

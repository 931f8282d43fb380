#include "app/window/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QAbstractItemView>
#include <QKeyEvent>
#include <QShortcut>
#include <QUndoStack>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "app/about/about_tab.h"
#include "app/bdjo/bdjo_tab.h"
#include "app/clip/clip_tab.h"
#include "app/bdmv/bdmv_tab.h"
#include "app/bdmv/folder_rule.h"
#include "app/bdmv/sound_group.h"
#include "app/playlist/playlist_tab.h"
#include "app/options/options_tab.h"
#include "app/panels/execute_panel.h"
#include "app/panels/register_panel.h"
#include "app/menu/menu_tab.h"
#include "app/menu/navigate_panel.h"
#include "app/shell/desktop_integration.h"
#include "app/shell/navigator.h"
#include "app/shell/recent_list.h"
#include "app/shell/gui_log.h"
#include "app/widgets/accessible_names.h"
#include "app/shell/log_view.h"
#include "app/shell/status_line.h"
#include "app/shell/tab_bar.h"
#include "app/shell/tab_page.h"
#include "app/shell/temp_files.h"
#include "app/status/status_tab.h"

namespace morvex::app {

namespace {
const char* const kCaptions[TabCount] = {"&BDMV", "&PLAYLIST", "&CLIPINF", "&Menu", "BD&JO", "&Options", "S&tatus", "&About"};

QString versionText() { return QStringLiteral(MORVEX_VERSION); }
}  // namespace

MainWindow::MainWindow(QStringList arguments, QWidget* parent) : QMainWindow(parent), arguments_(std::move(arguments)) {
  setObjectName("mainWindow");
  // The bare program name until start-up adds the version (and a read disc its label).
  titleBase_ = "Morvex";
  updateTitle();
  QApplication::setApplicationDisplayName(QString());
  buildUi();
}

MainWindow::~MainWindow() {
  // The pages outlive this part of the window while it is destroyed; what they
  // signal then must not reach it.
  for (TabPage* p : pages_)
    if (p) p->disconnect(this);
  // An open cell editor commits while the tables are destroyed, after the log has
  // gone: nothing the controls signal from here on reaches a handler.
  for (QWidget* c : findChildren<QWidget*>()) c->blockSignals(true);
  if (worker_) {
    if (progressState_) progressState_->cancel();
    worker_->wait();
  }
}

core::Log& MainWindow::log() { return *guiLog_; }

void MainWindow::buildUi() {
  auto* central = new QWidget(this);
  auto* lay = new QVBoxLayout(central);
  lay->setContentsMargins(4, 4, 4, 2);
  lay->setSpacing(4);

  status_ = new StatusLine(this);
  logView_ = new LogView();
  guiLog_ = std::make_unique<GuiLog>(logView_, status_);
  ctx_.log = guiLog_.get();
  ctx_.session.setLog(ctx_.log);
  ctx_.session.backupDirOn = [this] { return ctx_.settings.saveBACKUP; };

  auto* tabs = new MainTabs(central);
  tabs_ = tabs;
  tabs_->setObjectName("mainTabs");
  tabBar_ = tabs->bar();
  tabs_->setDocumentMode(false);

  exec_ = new ExecutePanel(central);
  regs_ = new RegisterPanel(central);
  regs_->setRegisters(ctx_.regs.psr.data(), ctx_.regs.gpr.data());

  exec_->attach(&ctx_.interp, ctx_.log, regs_, {});

  bdmv_ = new BdmvTab(ctx_, exec_, regs_);
  pages_[TabBdmv] = bdmv_;
  // One long task at a time, whichever tab asks. The clip tab's runs are extractions:
  // once one has started, Cancel asks before it stops a task.
  const auto taskRunner = [this](bool extraction) -> TaskRunner {
    return [this, extraction](std::function<void(core::Progress&)> work, std::function<void(bool)> done) {
      if (worker_) {
        log().status(core::StatusPanel::Detail, "Another task is running: wait for it or cancel it first.");
        if (done) done(true);
        return;
      }
      if (extraction) noteExtractionStarted();
      runLongTask(std::move(work), std::move(done));
    };
  };
  bdmv_->setTaskRunner(taskRunner(false));
  playlist_ = new PlaylistTab(ctx_);
  pages_[TabPlaylist] = playlist_;
  clip_ = new ClipTab(ctx_);
  clip_->setTaskRunner(taskRunner(true));
  pages_[TabClipinf] = clip_;
  menu_ = new MenuTab(ctx_, exec_, regs_);
  menu_->setTaskRunner(taskRunner(false));
  pages_[TabMenu] = menu_;
  bdjo_ = new BdjoTab(ctx_);
  pages_[TabBdjo] = bdjo_;
  options_ = new OptionsTab(ctx_);
  pages_[TabOptions] = options_;
  statusTab_ = new StatusTab(ctx_, logView_, regs_);
  pages_[TabStatus] = statusTab_;
  about_ = new AboutTab();
  pages_[TabAbout] = about_;
  for (int i = 0; i < TabCount; ++i) {
    tabs_->addTab(pages_[i], kCaptions[i]);
    connect(pages_[i], &TabPage::rulesChanged, this, [this, i] {
      if (tabs_->currentIndex() == i && !worker_) applyTabRules();
    });
    connect(pages_[i], &TabPage::logWanted, this, [this] { tabs_->setCurrentIndex(TabStatus); });
  }
  lay->addWidget(tabs_, 1);

  // The shared bottom row.
  auto* bottom = new QWidget(central);
  bottom->setObjectName("bottomPanel");
  auto* bl = new QHBoxLayout(bottom);
  bl->setContentsMargins(0, 0, 0, 0);
  bl->setSpacing(6);
  navigate_ = new QWidget(bottom);
  navigate_->setObjectName("navigatePanel");
  auto* nl = new QHBoxLayout(navigate_);
  nl->setContentsMargins(0, 0, 0, 0);
  nl->addWidget(menu_->navigatePanel());
  progress_ = new QProgressBar(bottom);
  progress_->setObjectName("progressBar");
  progress_->setRange(0, 100);
  progress_->setMinimumWidth(280);
  progress_->setStyleSheet(
      "QProgressBar { font-weight: bold; text-align: center; border: 1px solid #888; border-radius: 2px; }"
      "QProgressBar::chunk { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #ffff00, stop:1 #ff0000); }");
  progress_->hide();
  find_ = new QPushButton("Find", bottom);
  find_->setObjectName("findButton");
  // Alt+U, D, L, R and E belong to the menu emulator's buttons beside these two.
  load_ = new QPushButton("Load", bottom);
  load_->setObjectName("loadButton");
  mux_ = new QPushButton("Mu&x", bottom);
  mux_->setObjectName("muxButton");
  cancel_ = new QPushButton("Cancel", bottom);
  cancel_->setObjectName("cancelButton");
  cancel_->setEnabled(false);
  // The discs and menus opened last, as a menu of their paths: a tool button, as
  // narrow as its caption, so the row of the Menu tab's emulator keeps its width.
  recent_ = new QToolButton(bottom);
  recent_->setText("Recent");
  recent_->setPopupMode(QToolButton::InstantPopup);
  recent_->setToolButtonStyle(Qt::ToolButtonTextOnly);
  recent_->setObjectName("recentButton");
  recent_->setToolTip("Open one of the discs and menus opened last");
  recent_->setAccessibleName("Recent discs and menus");
  recentMenu_ = new QMenu(recent_);
  recentMenu_->setObjectName("recentMenu");
  recent_->setMenu(recentMenu_);
  connect(recentMenu_, &QMenu::aboutToShow, this, &MainWindow::fillRecentMenu);
  save_ = new QPushButton("&Save", bottom);
  save_->setObjectName("saveButton");
  save_->setDefault(false);
  save_->setAutoDefault(false);
  bl->addWidget(exec_);
  bl->addWidget(navigate_);
  bl->addWidget(regs_);
  bl->addWidget(progress_, 1);
  bl->addStretch(1);
  bl->addWidget(recent_);
  bl->addWidget(find_);
  bl->addWidget(load_);
  bl->addWidget(mux_);
  bl->addWidget(cancel_);
  bl->addWidget(save_);
  lay->addWidget(bottom);
  setCentralWidget(central);

  statusBar()->setObjectName("statusBar");
  statusBar()->addWidget(status_, 1);
  statusBar()->setSizeGripEnabled(true);

  // Only a change of tab activates the page (its Auto Read): a page whose read fails
  // changes its rules, and re-activating it on every rules change would read again
  // without end.
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
    if (worker_) return;
    applyTabRules();
    if (TabPage* p = index >= 0 && index < TabCount ? pages_[index] : nullptr) p->activated();
  });
  connect(save_, &QPushButton::clicked, this, &MainWindow::saveCurrent);
  connect(find_, &QPushButton::clicked, this, &MainWindow::findCurrent);
  connect(load_, &QPushButton::clicked, this, &MainWindow::loadCurrent);
  connect(mux_, &QPushButton::clicked, this, &MainWindow::muxCurrent);
  auto* undo = new QShortcut(QKeySequence::Undo, this);
  undo->setObjectName("undoShortcut");
  connect(undo, &QShortcut::activated, this, &MainWindow::undoCurrent);
  auto* redo = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), this);
  redo->setObjectName("redoShortcut");
  connect(redo, &QShortcut::activated, this, &MainWindow::redoCurrent);
  auto* redoY = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y), this);
  redoY->setObjectName("redoAltShortcut");
  connect(redoY, &QShortcut::activated, this, &MainWindow::redoCurrent);
  // Ctrl+S saves the current tab's document as its Save button does; Ctrl+O asks
  // for a disc folder as the BDMV tab's folder button does.
  auto* saveKey = new QShortcut(QKeySequence::Save, this);
  saveKey->setObjectName("saveShortcut");
  connect(saveKey, &QShortcut::activated, this, &MainWindow::saveCurrent);
  auto* openKey = new QShortcut(QKeySequence::Open, this);
  openKey->setObjectName("openShortcut");
  connect(openKey, &QShortcut::activated, this, [this] {
    if (auto* b = bdmv_->findChild<QPushButton*>("openFolderButton")) b->click();
  });
  // Every edit of the documents is an undo step of the window's stacks: a cell
  // editor or a line edit with the focus must not take Ctrl+Z for its own text.
  qApp->installEventFilter(this);
  // Tab leaves a table for the next control instead of walking its cells.
  for (QAbstractItemView* v : findChildren<QAbstractItemView*>()) v->setTabKeyNavigation(false);
  // Every control says what it is to a screen reader.
  nameControls(this);

  // The modified mark in the title and the question before anything modified is dropped.
  ctx_.session.setQuestion([this](const QList<Document*>& docs) { return askAboutModified(docs); });
  connect(&ctx_.session, &DiscSession::modifiedChanged, this, [this] {
    updateTitle();
    if (!worker_) applyTabRules();
  });
  connect(cancel_, &QPushButton::clicked, this, &MainWindow::cancelClicked);
  connect(exec_, &ExecutePanel::cancelWanted, this, [this](bool on) {
    if (!worker_) cancel_->setEnabled(on);
  });
  // "Create sound.bdmv" lives on the Options tab and fills the BDMV tab's group.
  connect(bdmv_, &BdmvTab::createSoundAvailable, options_->createSoundButton(), &QPushButton::setEnabled);
  connect(options_, &OptionsTab::createSoundRequested, this, [this] {
    const QString f = QFileDialog::getOpenFileName(this, "Select a sound file (mandatory 16 bit, 48kHz, uncompressed)",
                                                   ctx_.dialogFolder(), "Wave (*.wav)");
    if (f.isEmpty()) return;
    tabs_->setCurrentIndex(TabBdmv);
    bdmv_->createSound(f);
  });
  // Tab-to-tab navigation goes through the navigator; the tabs still being built
  // are made current and say that they cannot show the item yet.
  nav_ = new Navigator(tabs_, this);
  nav_->registerShower(ItemKind::MovieObject, bdmv_, bdmv_);
  nav_->registerShower(ItemKind::Playlist, playlist_, playlist_);
  nav_->registerShower(ItemKind::Clip, pages_[TabClipinf], clip_);
  connect(clip_, &ClipTab::itemWanted, nav_, &Navigator::show);
  nav_->registerShower(ItemKind::Menu, menu_, menu_);
  // The menu display options live on the Options tab and beside the page view.
  connect(options_, &OptionsTab::displayOptionsChanged, menu_, &MenuTab::applyDisplayOptions);
  connect(menu_, &MenuTab::displayOptionsEdited, options_, &OptionsTab::loadFromSettings);
  // The BACKUP copies left behind by a save: a notice, with the setting at hand.
  connect(&ctx_.session, &DiscSession::backupLeftBehind, this, [this](const QString& file) {
    auto* box = new QMessageBox(QMessageBox::Information, "Morvex",
                                "The copy of " + file +
                                    " in the disc's BACKUP folder matched it before this save and now no longer "
                                    "does. \"Save to BACKUP dir\" (Options tab) keeps the BACKUP copies in step "
                                    "whenever a file is saved.",
                                QMessageBox::Close, this);
    box->setObjectName("backupNotice");
    box->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton* on = box->addButton("Turn on Save to BACKUP dir", QMessageBox::AcceptRole);
    on->setObjectName("backupSettingButton");
    connect(on, &QPushButton::clicked, this, [this] {
      ctx_.settings.saveBACKUP = true;
      options_->loadFromSettings();
    });
    box->setModal(false);
    box->show();
  });
  // Save P&ID's answer to "where" is the work folder the Options tab shows.
  connect(clip_, &ClipTab::workFolderChosen, options_, &OptionsTab::loadFromSettings);
  // "Chapter format" is one setting shown on the PLAYLIST and Options tabs.
  connect(playlist_, &PlaylistTab::chapterFormatEdited, options_, &OptionsTab::loadFromSettings);
  if (auto* c = options_->findChild<QComboBox*>("optionsChapterFormatChoice"))
    connect(c, &QComboBox::currentIndexChanged, playlist_, &PlaylistTab::showChapterFormat);
  connect(menu_, &MenuTab::buttonSound, bdmv_->soundGroup(), &SoundGroup::playSound);
  // A menu authored on the Menu tab rewrote files of the disc: it is read again.
  connect(menu_, &MenuTab::discRewritten, this,
          [this] { bdmv_->openFolder(QString::fromStdString(ctx_.session.folder().string())); });
  connect(options_, &OptionsTab::createMenuRequested, this, [this] {
    tabs_->setCurrentIndex(TabMenu);
    menu_->createMenu();
  });
  nav_->registerShower(ItemKind::BdjObject, pages_[TabBdjo], bdjo_);
  connect(bdjo_, &BdjoTab::itemWanted, nav_, &Navigator::show);
  connect(nav_, &Navigator::failed, this, [this](const QString& why) { log().status(core::StatusPanel::Detail, why.toStdString()); });
  connect(bdmv_, &BdmvTab::itemWanted, nav_, &Navigator::show);
  connect(bdmv_, &BdmvTab::frontWanted, this, [this] { tabs_->setCurrentWidget(bdmv_); });
  connect(playlist_, &PlaylistTab::itemWanted, nav_, &Navigator::show);
  // "Apply to clpi" on the playlist's stream view edits the clip on the CLIPINF tab.
  connect(playlist_, &PlaylistTab::applyToClipWanted, this, [this](const playlist::PlayItem& item) {
    if (clip_->applyPlayItem(item)) tabs_->setCurrentIndex(TabClipinf);
  });
  // What was opened goes to the top of the recent list.
  connect(menu_, &MenuTab::loadFinished, this, [this](bool shown) {
    if (shown && !menu_->document().path.isEmpty()) recent::note(menu_->document().path);
  });
  connect(bdmv_, &BdmvTab::folderLoaded, this, [this] { recent::note(bdmv_->folder()); });
  setAcceptDrops(true);
  connect(bdmv_, &BdmvTab::folderLoaded, this, [this](const QString& label) {
    titleBase_ = "Morvex v" + versionText() + " [" + label + "]";
    updateTitle();
    fitMinimumSize();
    QApplication::setApplicationDisplayName(QString());
  });

  fitMinimumSize();
  resize(ctx_.settings.width, ctx_.settings.height);
}

// The window never gets smaller than its layout needs to show every label whole
// (913 x 585 at the least); lists that grow with a disc's names may raise it.
void MainWindow::fitMinimumSize() {
  const QSize need = QMainWindow::minimumSizeHint().expandedTo(QSize(913, 585));
  if (need != minimumSize()) setMinimumSize(need);
}

void MainWindow::showEvent(QShowEvent* e) {
  QMainWindow::showEvent(e);
  if (!startedUp_) QTimer::singleShot(0, this, &MainWindow::startUp);
}

void MainWindow::startUp() {
  if (startedUp_) return;
  startedUp_ = true;
  // The window opens on the BDMV tab with the navigate and execute panels hidden
  // until a tab's rules ask for them.
  navigate_->hide();
  exec_->hide();
  tabs_->setCurrentIndex(TabBdmv);
  // The stored settings, and the Options tab showing them.
  readSettings();
  options_->loadFromSettings();
  // The page view's options (full screen, button ids, frames) as stored: the tab
  // was built before the settings were read.
  menu_->applyDisplayOptions();
  playlist_->showChapterFormat();
  applyWindowGeometry();
  // Keep the file associations the user asked for pointing at this program.
  if (ctx_.settings.associateBDMV) registerFileType(FileType::Bdmv, QApplication::applicationFilePath());
  if (ctx_.settings.associateMNU) registerFileType(FileType::Mnu, QApplication::applicationFilePath());
  // The sound group stays hidden until a disc with sound.bdmv is read; the other
  // display options are read from the settings where they are used.
  bdmv_->startUp();
  // The status line starts at "Ready.".
  log().statusReady();
  // The player registers start from their power-on values.
  statusTab_->resetRegisters();
  // The version in the title from now on.
  titleBase_ = "Morvex v" + versionText();
  updateTitle();
  // "Auto create": a new menu waits on the Menu tab.
  if (ctx_.settings.autoMenu) menu_->createMenu();
  // A file or folder on the command line is read; otherwise the stored folder is
  // shown, and read when "Auto Read" is on.
  handleCommandLine();
  // The buttons and panels of the tab now current.
  applyTabRules();
  Q_EMIT startUpFinished();
}

void MainWindow::handleCommandLine() {
  if (openArguments(arguments_)) return;
  // The stored folder is shown either way, so it is kept for the next run; "Auto
  // Read" also reads it.
  if (!ctx_.settings.bdmvDir.isEmpty()) {
    bdmv_->setFolder(ctx_.settings.bdmvDir);
    if (ctx_.settings.autoRead) bdmv_->readFolder();
  }
}

bool MainWindow::openArguments(const QStringList& arguments) {
  if (arguments.size() != 1) return false;
  const QString arg = arguments.front();
  if (arg.endsWith(".mnu", Qt::CaseSensitive)) {
    // The Menu tab asks about an unsaved menu before it reads another.
    tabs_->setCurrentIndex(TabMenu);
    menu_->loadFile(QFileInfo(arg).absoluteFilePath());
    return true;
  }
  // Any other file: its folder is the disc folder. A folder given directly is taken
  // as the folder choice (the BDMV completion rule applies). Unsaved changes of the
  // disc read now are asked about first; Cancel keeps it.
  const QFileInfo fi(arg);
  tabs_->setCurrentIndex(TabBdmv);
  bdmv_->openFolder(fi.isDir() ? completeBdmvFolder(fi.absoluteFilePath()) : fi.absolutePath() + "/");
  return true;
}

void MainWindow::openFromLaterLaunch(const QStringList& arguments) {
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
  if (arguments.isEmpty()) return;
  if (worker_) {
    log().status(core::StatusPanel::Detail, "Another task is running: open the folder again when it has finished.");
    return;
  }
  openArguments(arguments);
}

void MainWindow::fillRecentMenu() {
  recentMenu_->clear();
  const QStringList list = recent::entries();
  if (list.isEmpty()) {
    recentMenu_->addAction("(nothing opened yet)")->setEnabled(false);
    return;
  }
  for (const QString& path : list) {
    QAction* a = recentMenu_->addAction(QDir::toNativeSeparators(path));
    a->setObjectName("recentEntry");
    a->setData(path);
    connect(a, &QAction::triggered, this, [this, path] { openRecent(path); });
  }
}

void MainWindow::openRecent(const QString& path) {
  if (worker_) {
    log().status(core::StatusPanel::Detail, "Another task is running: open it again when it has finished.");
    return;
  }
  const QFileInfo fi(path);
  if (!fi.exists()) {
    recent::forget(path);
    log().error(QDir::toNativeSeparators(path).toStdString() +
                " no longer exists (moved, renamed or its disc not mounted): taken off the recent list.");
    return;
  }
  openArguments({fi.isDir() ? fi.absoluteFilePath() + "/" : fi.absoluteFilePath()});
}

QString MainWindow::droppedPath(const QList<QUrl>& urls) {
  if (urls.size() != 1 || !urls.front().isLocalFile()) return {};
  const QFileInfo fi(urls.front().toLocalFile());
  if (fi.isDir()) {
    // The BDMV folder itself or the disc folder holding it.
    const QString bdmv = completeBdmvFolder(fi.absoluteFilePath());
    return QFileInfo(bdmv).isDir() ? fi.absoluteFilePath() : QString();
  }
  if (!fi.isFile()) return {};
  // A menu file by the command line's rule (".mnu" in lower case).
  if (fi.fileName() == "index.bdmv" || fi.fileName().endsWith(".mnu", Qt::CaseSensitive)) return fi.absoluteFilePath();
  return {};
}

void MainWindow::dragEnterEvent(QDragEnterEvent* e) {
  if (e->mimeData()->hasUrls() && !droppedPath(e->mimeData()->urls()).isEmpty())
    e->acceptProposedAction();
  else
    e->ignore();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* e) {
  if (e->mimeData()->hasUrls() && !droppedPath(e->mimeData()->urls()).isEmpty())
    e->acceptProposedAction();
  else
    e->ignore();
}

void MainWindow::dropEvent(QDropEvent* e) {
  const QString path = e->mimeData()->hasUrls() ? droppedPath(e->mimeData()->urls()) : QString();
  if (path.isEmpty()) {
    e->ignore();
    return;
  }
  e->acceptProposedAction();
  if (worker_) {
    log().status(core::StatusPanel::Detail, "Another task is running: drop it again when it has finished.");
    return;
  }
  // The drop is handled once the drag has ended: the unsaved-changes question must
  // not run inside the platform's drag loop.
  QTimer::singleShot(0, this, [this, path] {
    activateWindow();
    openArguments({path});
  });
}

void MainWindow::applyTabRules() {
  TabPage* p = pages_[tabs_->currentIndex()];
  const TabRules r = p ? p->rules() : TabRules{};
  save_->setVisible(r.saveShown);
  save_->setEnabled(r.saveShown && r.saveEnabled);
  save_->setToolTip(r.saveHint);
  exec_->setVisible(r.executePanel);
  navigate_->setVisible(r.navigatePanel);
  regs_->setVisible(r.registerPanel);
  find_->setVisible(r.find);
  load_->setVisible(r.load);
  mux_->setVisible(r.mux);
  mux_->setEnabled(r.mux && (r.saveEnabled || r.muxEnabled));
  exec_->startButton()->setEnabled(r.executePanel && r.startEnabled);
  // The execute panel runs what the current page offers (the BDMV tab's movie
  // objects, the Menu tab's buttons).
  if (p && r.executePanel) exec_->attach(&ctx_.interp, ctx_.log, regs_, p->executeHost());
}

void MainWindow::saveCurrent() {
  TabPage* p = pages_[tabs_->currentIndex()];
  if (p && save_->isVisible() && save_->isEnabled()) p->save();
}

void MainWindow::findCurrent() {
  TabPage* p = pages_[tabs_->currentIndex()];
  if (p && find_->isVisible() && find_->isEnabled()) p->find();
}

void MainWindow::loadCurrent() {
  TabPage* p = pages_[tabs_->currentIndex()];
  if (p && load_->isVisible() && load_->isEnabled()) p->load();
}

void MainWindow::muxCurrent() {
  TabPage* p = pages_[tabs_->currentIndex()];
  if (p && mux_->isVisible() && mux_->isEnabled()) p->mux();
}

void MainWindow::undoCurrent() {
  TabPage* p = pages_[tabs_->currentIndex()];
  if (QUndoStack* u = p ? p->undoStack() : nullptr; u && !worker_) u->undo();
}

void MainWindow::redoCurrent() {
  TabPage* p = pages_[tabs_->currentIndex()];
  if (QUndoStack* u = p ? p->undoStack() : nullptr; u && !worker_) u->redo();
}

void MainWindow::updateTitle() { setWindowTitle(ctx_.session.anyModified() ? titleBase_ + " *" : titleBase_); }

int MainWindow::askAboutModified(const QList<Document*>& docs) {
  QStringList names;
  for (Document* d : docs) names << d->caption();
  QMessageBox box(QMessageBox::Warning, "Morvex",
                  "Save the changes to " + names.join(", ") + "?\nOtherwise they are lost.",
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
  box.setObjectName("unsavedQuestion");
  box.setDefaultButton(QMessageBox::Save);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Save:
      return DiscSession::AnswerSave;
    case QMessageBox::Discard:
      return DiscSession::AnswerDiscard;
    default:
      return DiscSession::AnswerCancel;
  }
}

void MainWindow::prBarOn() {
  exec_->hide();
  navigate_->hide();
  regs_->hide();
  progress_->setValue(0);
  progress_->show();
  cancel_->setEnabled(true);
}

void MainWindow::prBarOff() {
  progress_->hide();
  applyTabRules();
  cancel_->setEnabled(exec_->traceActive());
}

void MainWindow::runLongTask(std::function<void(core::Progress&)> work, std::function<void(bool)> done) {
  if (worker_) return;
  progressState_ = std::make_shared<core::Progress>();
  progressState_->start();
  prBarOn();
  auto state = progressState_;
  worker_ = QThread::create([work = std::move(work), state] { work(*state); });
  // Owned by the window as well: a finished thread whose deferred deletion never came
  // round (the window closed right after the task) goes with it.
  worker_->setParent(this);
  progressTimer_ = new QTimer(this);
  connect(progressTimer_, &QTimer::timeout, this, [this, state] {
    progress_->setValue(state->percent());
    progress_->setFormat(QString("%p%   elapsed %1   remaining %2")
                             .arg(QString::fromStdString(core::Progress::clock(state->elapsedSeconds())),
                                  QString::fromStdString(core::Progress::clock(state->remainingSeconds()))));
  });
  progressTimer_->start(100);
  connect(worker_, &QThread::finished, this, [this, state, done = std::move(done)] {
    progressTimer_->stop();
    progressTimer_->deleteLater();
    progressTimer_ = nullptr;
    worker_->deleteLater();
    worker_ = nullptr;
    prBarOff();
    if (done) done(state->cancelled());
  });
  worker_->start();
}

void MainWindow::cancelClicked() {
  if (!worker_ && (exec_->traceActive() || exec_->running())) {
    exec_->cancelTrace();
    return;
  }
  if (!progressState_ || !worker_) return;
  if (!extractionStarted_) {
    progressState_->cancel();
    return;
  }
  if (QMessageBox::question(this, "Morvex", "Are you sure to stop?", QMessageBox::Yes | QMessageBox::No) ==
      QMessageBox::Yes) {
    progressState_->cancel();
    log().stage("");
    log().status(core::StatusPanel::Detail, "Cancelled.");
  }
}

void MainWindow::readSettings() {
  QSettings store(kOrganisation, kApplication);
  QStringList errors;
  ctx_.settings.read(store, &errors);
  for (const QString& e : errors) log().error(e.toStdString());
}

void MainWindow::writeSettings() {
  AppSettings& s = ctx_.settings;
  s.windowState = isMaximized() ? 2 : isMinimized() ? 1 : 0;
  if (s.windowState != 2) {
    const QRect g = geometry();
    s.top = g.top();
    s.left = g.left();
    s.width = g.width();
    s.height = g.height();
  }
  s.bdmvDir = bdmv_->folder();
  QSettings store(kOrganisation, kApplication);
  s.write(store);
}

// A minimized state is not restored: the program always opens where it can be seen.
void MainWindow::applyWindowGeometry() {
  const AppSettings& s = ctx_.settings;
  setGeometry(s.left, s.top, std::max(s.width, 913), std::max(s.height, 585));
  if (s.windowState == 2) setWindowState(windowState() | Qt::WindowMaximized);
}

void MainWindow::endOfRun() {
  if (ending_) return;
  ending_ = true;
  writeSettings();
  removeOwnTempFiles();
}

bool MainWindow::eventFilter(QObject* o, QEvent* e) {
  if (e->type() == QEvent::ShortcutOverride) {
    auto* w = qobject_cast<QWidget*>(o);
    auto* k = static_cast<QKeyEvent*>(e);
    const QKeyCombination c = k->keyCombination();
    const bool undoRedo = k->matches(QKeySequence::Undo) || k->matches(QKeySequence::Redo) ||
                          c == QKeyCombination(Qt::ControlModifier, Qt::Key_Y) ||
                          c == QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z);
    // Not claimed by the widget: the window's shortcut takes the key.
    if (undoRedo && w && w->window() == this) return true;
  }
  return QMainWindow::eventFilter(o, e);
}

void MainWindow::closeEvent(QCloseEvent* e) {
  if (!ending_ && !ctx_.session.settle()) {
    e->ignore();
    return;
  }
  if (worker_ && progressState_) {
    progressState_->cancel();
    worker_->wait();
  }
  endOfRun();
  e->accept();
}

bool MainWindow::saveScreenshots(const QString& folder) {
  QDir().mkpath(folder);
  bool ok = true;
  static const char* const names[TabCount] = {"bdmv", "playlist", "clipinf", "menu", "bdjo", "options", "status", "about"};
  for (int i = 0; i < TabCount; ++i) {
    tabs_->setCurrentIndex(i);
    QApplication::processEvents();
    const QString file = QString("%1/%2-%3.png").arg(folder).arg(i).arg(names[i]);
    ok = grab().save(file) && ok;
    // The Menu tab's sub-tabs each get a picture of their own.
    if (i == TabMenu)
      for (int s = 1; s < menu_->subTabs()->count(); ++s) {
        menu_->subTabs()->setCurrentIndex(s);
        QApplication::processEvents();
        ok = grab().save(QString("%1/%2-%3-%4.png").arg(folder).arg(i).arg(names[i]).arg(s)) && ok;
      }
  }
  tabs_->setCurrentIndex(TabBdmv);
  return ok;
}

}  // namespace morvex::app

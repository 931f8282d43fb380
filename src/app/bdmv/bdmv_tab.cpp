#include "app/bdmv/bdmv_tab.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/bdmv/check_dialog.h"
#include "app/bdmv/navigation_dialog.h"
#include "app/widgets/command_table.h"
#include "app/bdmv/folder_rule.h"
#include "app/bdmv/index_group.h"
#include "app/bdmv/movie_object_group.h"
#include "app/bdmv/sound_group.h"
#include "disc/disc_load.h"
#include "app/panels/execute_panel.h"
#include "app/panels/register_panel.h"
#include "app/widgets/read_banner.h"

namespace morvex::app {

BdmvTab::BdmvTab(AppContext& ctx, ExecutePanel* exec, RegisterPanel* regs, QWidget* parent)
    : TabPage(parent), ctx_(ctx), edit_(ctx.session), exec_(exec), regs_(regs) {
  setObjectName("bdmvTab");
  buildUi();

  // Each file has its own writer; Save and the unsaved-changes question both go
  // through Document::save(), so a file refused or read only in part is not written.
  auto& s = ctx_.session;
  s.index.saver = [this] {
    auto& d = ctx_.session.index;
    if (!nav::saveIndexTable(d.model, ctx_.session.folder(), ctx_.names().indexfile, ctx_.saveSettings(), *ctx_.log))
      return false;
    d.markSaved();
    return true;
  };
  s.movieObjects.saver = [this] {
    auto& d = ctx_.session.movieObjects;
    if (!nav::saveMovieObjectFile(d.model, ctx_.session.folder(), ctx_.names().mobjfile, ctx_.saveSettings(),
                                  *ctx_.log))
      return false;
    d.markSaved();
    return true;
  };
  s.sound.saver = [this] {
    auto& d = ctx_.session.sound;
    if (!soundShown()) return false;
    sound::settleSoundFile(d.model);
    const bool ok =
        bool(sound::saveSoundFile(d.model, ctx_.session.folder() / "AUXDATA", "sound.bdmv", ctx_.saveSettings(), *ctx_.log));
    if (ok) {
      ctx_.log->info("sound.bdmv saved.");
      d.markSaved();
    }
    sound_->showSound();
    return ok;
  };
  // Undo and redo replace the models: the screen shows them anew. A new edit or a
  // new read has already shown itself.
  connect(&ctx_.session.discUndo(), &QUndoStack::indexChanged, this, [this] {
    if (!edit_.busy()) showAfterUndo();
  });
  // Discarded edits: the files' models are as read again, with no steps to redo.
  for (Document* d : std::initializer_list<Document*>{&s.index, &s.movieObjects, &s.sound})
    connect(d, &Document::discarded, this, [this] {
      ctx_.session.discUndo().clear();
      showAfterUndo();
    });
}

BdmvTab::~BdmvTab() = default;

void BdmvTab::buildUi() {
  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(4, 4, 4, 4);
  lay->setSpacing(4);
  auto* top = new QHBoxLayout();
  top->addWidget(new QLabel("BDMV folder", this));
  dir_ = new QLineEdit(this);
  dir_->setObjectName("discFolderField");
  // A typed or pasted path is read with Enter or Read, by the same rule as a chosen
  // one (a disc root stands for its BDMV folder).
  dir_->setToolTip("The disc's BDMV folder: type or paste a path and press Enter, or choose one with ...");
  openDir_ = new QPushButton("...", this);
  openDir_->setObjectName("openFolderButton");
  openDir_->setToolTip("Select a directory");
  openDir_->setFixedWidth(32);
  read_ = new QPushButton("&Read", this);
  read_->setObjectName("readDiscButton");
  top->addWidget(dir_, 1);
  top->addWidget(openDir_);
  top->addWidget(read_);
  check_ = new QPushButton("Check disc", this);
  check_->setObjectName("checkDiscButton");
  check_->setToolTip("Verify every stored length, reference and command of the disc folder");
  top->addWidget(check_);
  navigation_ = new QPushButton("Navigation", this);
  navigation_->setObjectName("navigationButton");
  navigation_->setToolTip("What First Play, the Top Menu and each title play, and what nothing reaches");
  top->addWidget(navigation_);
  lay->addLayout(top);

  // A file of the three that was refused or read only in part says so here, above
  // the lists, with what the user can do about it.
  auto& s = ctx_.session;
  banners_ = {new ReadBanner(s.index, "indexReadBanner", this), new ReadBanner(s.movieObjects, "movieObjectReadBanner", this),
              new ReadBanner(s.sound, "soundReadBanner", this)};
  for (ReadBanner* b : banners_) {
    lay->addWidget(b);
    connect(b, &ReadBanner::logWanted, this, &TabPage::logWanted);
  }

  auto* split = new QSplitter(Qt::Horizontal, this);
  split->setObjectName("bdmvSplitter");
  split->setChildrenCollapsible(false);
  lay->addWidget(split, 1);

  // Left: the index and the sounds; right: the movie objects and their commands.
  auto* left = new QWidget(split);
  auto* ll = new QVBoxLayout(left);
  ll->setContentsMargins(0, 0, 0, 0);
  index_ = new IndexGroup(ctx_, edit_, left);
  ll->addWidget(index_, 3);
  sound_ = new SoundGroup(ctx_, edit_, left);
  ll->addWidget(sound_, 2);
  objects_ = new MovieObjectGroup(ctx_, edit_, exec_, split);
  split->addWidget(left);
  split->addWidget(objects_);
  split->setStretchFactor(0, 9);
  split->setStretchFactor(1, 11);
  split->setSizes({530, 650});

  connect(openDir_, &QPushButton::clicked, this, [this] {
    QString start = folder();
    if (start.size() >= 5) start.chop(5);
    const QString d = QFileDialog::getExistingDirectory(this, "Select a directory", start);
    if (!d.isEmpty()) folderChosen(d);
  });
  connect(read_, &QPushButton::clicked, this, &BdmvTab::readFolder);
  connect(dir_, &QLineEdit::returnPressed, this, &BdmvTab::readFolder);
  connect(check_, &QPushButton::clicked, this, &BdmvTab::checkDisc);
  connect(navigation_, &QPushButton::clicked, this, &BdmvTab::showNavigation);

  // The groups lead to one another.
  connect(index_, &IndexGroup::objectWanted, objects_, &MovieObjectGroup::selectObject);
  connect(objects_, &MovieObjectGroup::titleWanted, index_, &IndexGroup::selectTitle);
  connect(objects_, &MovieObjectGroup::objectsChanged, this,
          [this] { index_->objectsChanged(objects_->objectNames()); });
  connect(index_, &IndexGroup::itemWanted, this, &BdmvTab::itemWanted);
  connect(objects_, &MovieObjectGroup::itemWanted, this, &BdmvTab::itemWanted);
  connect(index_, &IndexGroup::rulesChanged, this, &TabPage::rulesChanged);
  connect(objects_, &MovieObjectGroup::rulesChanged, this, &TabPage::rulesChanged);
}

void BdmvTab::startUp() {
  sound_->hide();
  index_->clear();
  objects_->clear();
}

ExecutePanel::Host BdmvTab::executeHost() { return objects_->executeHost(); }

TabRules BdmvTab::rules() const {
  TabRules r;
  r.saveShown = true;
  r.saveEnabled = saveEnabled();
  r.saveHint = QStringLiteral("Save the bdmv files");
  r.executePanel = true;
  r.registerPanel = true;
  r.startEnabled = startEnabled();
  return r;
}

bool BdmvTab::showItem(const ItemRef& item) {
  if (item.kind != ItemKind::MovieObject) return false;
  if (item.number < 0 || item.number >= int(ctx_.session.movieObjects.model.movieObjects.objects.size()))
    return false;
  objects_->selectObject(item.number);
  objects_->objectTable()->setFocus();
  // A line of the program: the command table shows it.
  if (item.part >= 0 && item.part < commandTable()->commandCount()) {
    commandTable()->selectLine(item.part);
    commandTable()->setFocus();
  }
  return true;
}

bool BdmvTab::saveEnabled() const {
  return ctx_.session.isLoaded() && ctx_.session.indexRead() &&
         (!ctx_.session.movieObjects.model.movieObjects.objects.empty() ||
          !ctx_.session.index.model.indexes.titles.empty());
}

bool BdmvTab::startEnabled() const { return objects_->startEnabled(); }

// index.bdmv, MovieObject.bdmv, then sound.bdmv, each only when it changed: a file
// nobody edited stays as it is on disc, with no new backup beside it. Each writer
// follows the saving policy on its own: a failed backup stops only that writer.
void BdmvTab::save() {
  if (!ctx_.session.isLoaded()) return;
  auto& s = ctx_.session;
  bool any = false;
  for (Document* d : std::initializer_list<Document*>{&s.index, &s.movieObjects, &s.sound}) {
    if (!d->modified()) continue;
    any = true;
    d->save();
  }
  if (!any) ctx_.log->status(core::StatusPanel::Detail, "Nothing changed: no file was written.");
  Q_EMIT rulesChanged();
}

QString BdmvTab::folder() const { return dir_->text(); }
void BdmvTab::setFolder(const QString& folder) { dir_->setText(QDir::fromNativeSeparators(folder)); }

// Without "Auto Read" the choice only fills the field: nothing is read, so nothing
// unsaved is at stake until Read. With it, the question comes before the field
// changes, so Cancel leaves the loaded disc beside the folder it came from.
void BdmvTab::folderChosen(const QString& chosen) {
  const QString folder = completeBdmvFolder(chosen);
  if (!ctx_.settings.autoRead) {
    setFolder(folder);
    return;
  }
  if (!ctx_.session.settle()) return;
  setFolder(folder);
  readSettledFolder();
}

void BdmvTab::openFolder(const QString& folder) {
  if (!ctx_.session.settle()) return;
  setFolder(folder);
  readSettledFolder();
}

bool BdmvTab::soundShown() const { return ctx_.session.hasSound(); }

void BdmvTab::selectTitle(int index) { index_->selectTitle(index); }
void BdmvTab::selectObject(int index) { objects_->selectObject(index); }
int BdmvTab::selectedObject() const { return objects_->selectedObject(); }
bool BdmvTab::importSound(const QString& wavPath) { return sound_->importSound(wavPath); }
bool BdmvTab::exportSound(int row, const QString& wavPath) { return sound_->exportSound(row, wavPath); }
CommandTable* BdmvTab::commandTable() const { return objects_->commandTable(); }
CommandEditorPanel* BdmvTab::commandEditor() const { return objects_->commandEditor(); }

bool BdmvTab::createSound(const QString& wavPath) {
  if (!sound_->createSound(wavPath)) return false;
  Q_EMIT createSoundAvailable(false);
  return true;
}

void BdmvTab::readFolder() {
  if (folder().isEmpty()) return;
  // A typed disc root reads as its BDMV folder.
  if (dir_->isModified()) {
    setFolder(completeBdmvFolder(folder()));
    dir_->setModified(false);
  }
  // Reading again drops every unsaved change: the user decides first.
  if (!ctx_.session.settle()) return;
  readSettledFolder();
}

// The user has already answered for the unsaved changes (a Discard leaves them
// modified until the read replaces them, so they must not be asked about twice).
void BdmvTab::readSettledFolder() {
  if (folder().isEmpty()) return;
  read_->setEnabled(false);
  index_->clear();
  objects_->clear();
  disc::LoadOptions opt;
  opt.use83names = ctx_.settings.names83;
  std::filesystem::path path = folder().toStdString();
  disc::DiscLoad load = disc::loadDisc(path, opt, *ctx_.log);
  load.folder = path;
  // After a failed check nothing of the previous folder may be written into this one.
  edit_.reading = true;
  ctx_.session.adopt(std::move(load));
  edit_.reading = false;
  if (!ctx_.session.isLoaded()) {
    sound_->hide();
    index_->setEnabled(false);
    objects_->setEnabled(false);
    index_->clear();
    objects_->clear();
    read_->setEnabled(true);
    Q_EMIT rulesChanged();
    return;
  }
  objects_->showRead();
  // A refused movie-object file is shown as read-only as the refused index is.
  objects_->setEnabled(!ctx_.session.movieObjects.refused());
  index_->showRead(objects_->objectNames());
  if (!ctx_.session.index.model.indexes.titles.empty()) index_->selectTitle(0);
  const int o = objects_->selectedObject();
  objects_->selectObject(o >= 0 ? o : 0);
  sound_->showSound();
  Q_EMIT createSoundAvailable(!ctx_.session.hasSound());
  Q_EMIT folderLoaded(QString::fromStdString(ctx_.session.disc().discLabel));
  read_->setEnabled(true);
  // "Ready." would hide a file that was not read whole: the status line points to
  // the banner instead.
  QStringList incomplete;
  for (Document* d : std::initializer_list<Document*>{&ctx_.session.index, &ctx_.session.movieObjects, &ctx_.session.sound})
    if (!d->readResult().complete()) incomplete << d->name();
  if (!incomplete.isEmpty())
    ctx_.log->errorStatus((incomplete.join(", ") + " not read whole: see the BDMV tab.").toStdString());
  Q_EMIT rulesChanged();
}

void BdmvTab::showAfterUndo() {
  if (!ctx_.session.disc().hasSound && ctx_.session.sound.model == sound::SoundFile{}) {
    ctx_.session.setHasSound(false);
    Q_EMIT createSoundAvailable(true);
  }
  // The index lists offer the movie objects as they are after the undo.
  index_->showAfterUndo(objects_->objectNames());
  objects_->showAfterUndo();
  sound_->showSound();
  Q_EMIT rulesChanged();
}

}  // namespace morvex::app

namespace morvex::app {

// The checker reads the files as they are on disk, on the worker thread; the findings
// are shown once it is done. A check that was cancelled shows what it found so far.
void BdmvTab::checkDisc() {
  QString chosen = folder();
  if (ctx_.session.isLoaded()) chosen = QString::fromStdString(ctx_.session.folder().string());
  if (chosen.isEmpty()) {
    ctx_.log->error("Choose a disc folder to check first.");
    return;
  }
  if (!checkDialog_) {
    checkDialog_ = new CheckDialog(this);
    connect(checkDialog_, &CheckDialog::findingActivated, this, &BdmvTab::showFinding);
  }
  checkDialog_->showRunning(QDir::toNativeSeparators(chosen));
  checkDialog_->show();
  checkDialog_->raise();
  check_->setEnabled(false);
  const bool modified = ctx_.session.anyModified();
  auto report = std::make_shared<check::CheckReport>();
  check::CheckOptions opt;
  opt.use83names = ctx_.settings.names83;
  const std::filesystem::path path = chosen.toStdString();
  core::Log* log = ctx_.log;
  log->info("Checking [b]" + QDir::toNativeSeparators(chosen).toStdString() + "[/b]...");
  auto work = [report, opt, path, log](core::Progress& progress) mutable {
    opt.progress = &progress;
    *report = check::checkDisc(path, opt);
    if (!report->checked)
      log->error(report->failure);
    else
      log->info("  " + std::to_string(report->count(core::Severity::Error)) + " errors, " +
               std::to_string(report->count(core::Severity::Warning)) + " warnings, " +
               std::to_string(report->count(core::Severity::Info)) + " notes" +
               (report->cancelled ? " (cancelled)." : "."));
  };
  auto done = [this, report, modified](bool cancelled) {
    check_->setEnabled(true);
    if (!checkDialog_) return;
    if (cancelled && !report->checked && report->failure.empty()) {
      checkDialog_->close();  // it never started
      return;
    }
    checkedFolder_ = report->folder;
    checkDialog_->showReport(*report);
    if (modified) checkDialog_->noteUnsaved();
  };
  if (runTask_) {
    runTask_(std::move(work), std::move(done));
  } else {
    core::Progress progress;
    work(progress);
    done(false);
  }
}

void BdmvTab::showFinding(const check::Finding& finding) {
  // The tabs show the disc that is read; findings of another folder have no place there.
  std::error_code ec;
  if (!ctx_.session.isLoaded() || !std::filesystem::equivalent(ctx_.session.folder(), checkedFolder_, ec)) {
    ctx_.log->status(core::StatusPanel::Detail, "Read the checked disc to show where its findings lie.");
    return;
  }
  const FindingPlace place = findingPlace(finding, ctx_.names());
  switch (place.kind) {
    case FindingPlace::None:
      ctx_.log->status(core::StatusPanel::Detail, "No tab shows " + finding.file + ".");
      return;
    case FindingPlace::BdmvTab:
      Q_EMIT frontWanted();
      return;
    case FindingPlace::Title:
      Q_EMIT frontWanted();
      if (place.title < index_->titleTable()->rowCount()) {
        index_->selectTitle(place.title);
        index_->titleTable()->setFocus();
      }
      return;
    case FindingPlace::FirstPlayback:
    case FindingPlace::TopMenu:
      Q_EMIT frontWanted();
      index_->focusEntry(place.kind == FindingPlace::TopMenu);
      return;
    case FindingPlace::Item: {
      ItemRef item = place.item;
      // A menu in a stream file is named relative to the disc folder that was checked.
      if (item.kind == ItemKind::Menu && item.name.startsWith("STREAM/"))
        item.name = QString::fromStdString((ctx_.session.folder() / item.name.toStdString()).string());
      Q_EMIT itemWanted(item);
      return;
    }
  }
}

}  // namespace morvex::app

namespace morvex::app {

// The walk reads the files as they are on disk (it takes milliseconds, even for a
// large disc) and the dialog shows the map; a node leads to its place in the tabs of
// the disc that is read.
void BdmvTab::showNavigation() {
  QString chosen = folder();
  if (ctx_.session.isLoaded()) chosen = QString::fromStdString(ctx_.session.folder().string());
  if (chosen.isEmpty()) {
    ctx_.log->error("Choose a disc folder first.");
    return;
  }
  if (!navigationDialog_) {
    navigationDialog_ = new NavigationDialog(this);
    connect(navigationDialog_, &NavigationDialog::placeActivated, this, [this](const ItemRef& place) {
      std::error_code ec;
      if (!ctx_.session.isLoaded() || !std::filesystem::equivalent(ctx_.session.folder(), walkedFolder_, ec)) {
        ctx_.log->status(core::StatusPanel::Detail, "Read the disc to show where its navigation leads.");
        return;
      }
      if (place.kind == ItemKind::MovieObject) {
        Q_EMIT frontWanted();
        showItem(place);
        return;
      }
      Q_EMIT itemWanted(place);
    });
  }
  disc::NavigationDisc nd;
  disc::NavigationLoadOptions options;
  options.use83names = ctx_.settings.names83;
  const auto load = disc::loadNavigationDisc(chosen.toStdString(), nd, options);
  if (!load.loaded) {
    ctx_.log->error(load.failure);
    navigationDialog_->showFailure(QString::fromStdString(load.failure));
  } else {
    for (const auto& r : load.reads)
      if (!r.result.complete()) ctx_.log->errorLine(r.result.summary());
    walkedFolder_ = disc::discFolderFor(chosen.toStdString());
    const auto map = disc::walkNavigation(nd);
    navigationDialog_->showMap(map, nd, walkedFolder_);
    ctx_.log->info("Navigation: " + std::to_string(map.entries.size() - 2) + " titles, " +
                   std::to_string(map.unreachablePlaylists.size()) + " playlists nothing reaches.");
  }
  navigationDialog_->show();
  navigationDialog_->raise();
}

}  // namespace morvex::app

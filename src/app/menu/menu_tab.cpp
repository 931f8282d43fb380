#include "app/menu/menu_tab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cstring>

#include "app/menu/author_dialog.h"
#include "app/menu/bogs_panel.h"
#include "app/menu/effects_panel.h"
#include "app/menu/menu_emulation.h"
#include "app/menu/menu_files.h"
#include "app/menu/navigate_panel.h"
#include "app/menu/objects_panel.h"
#include "app/menu/page_fields_panel.h"
#include "app/menu/page_view_panel.h"
#include "app/menu/picture_widget.h"
#include "app/panels/register_panel.h"
#include "app/shell/qt_text.h"
#include "app/widgets/command_table.h"
#include "igs/colour.h"
#include "igs/edit.h"
#include "igs/extract.h"
#include "igs/objects.h"

namespace morvex::app {

namespace {

// Colours are stored as 0x00BBGGRR.
menuview::Rgba colour(uint32_t c) { return {uint8_t(c & 0xFF), uint8_t(c >> 8 & 0xFF), uint8_t(c >> 16 & 0xFF), 255}; }
QColor qcolour(uint32_t c) { return QColor(int(c & 0xFF), int(c >> 8 & 0xFF), int(c >> 16 & 0xFF)); }

}  // namespace

MenuTab::MenuTab(AppContext& ctx, ExecutePanel* exec, RegisterPanel* regs, QWidget* parent)
    : TabPage(parent), ctx_(ctx), exec_(exec), regs_(regs) {
  setObjectName("menuTab");
  // Composition-only menus (buttons without their pictures) are drawn as markers, so
  // their layout and navigation can be used.
  opts_.placeholders = true;
  view_ = std::make_unique<menuview::PageView>(doc_.model, ctx_.regs, opts_, *ctx_.log);
  emu_ = std::make_unique<menuview::MenuEmulator>(*view_, ctx_.interp);
  navigate_ = new NavigatePanel();
  buildUi();
  applyDisplayOptions();

  ctx_.session.registerDocument(&doc_);
  doc_.saver = [this] { return files_->chooseAndSave(); };
  // Undo and redo replace the model: the screen shows it anew. An edit, a read or a
  // drag of ours has already shown itself.
  connect(&doc_, &Document::modelReplaced, this, [this] {
    if (!filling_ && !files_->replacing() && !emulation_->recording()) afterUndoRedo();
  });
  connect(&doc_, &Document::modifiedChanged, this, [this] { Q_EMIT rulesChanged(); });
  // Discarded edits cannot be redone into the menu as it was read.
  connect(&doc_, &Document::discarded, this, [this] { undo_.clear(); });
}

MenuTab::~MenuTab() {
  // Fields and grids may signal while they are destroyed (an open editor commits).
  for (QObject* c : findChildren<QObject*>())
    for (QObject* receiver : std::initializer_list<QObject*>{this, fields_, files_, emulation_}) c->disconnect(receiver);
  doc_.disconnect(this);
  // The interpreter outlives the tab; it must not call back into a gone emulator.
  ctx_.interp.cancel();
  undo_.blockSignals(true);
  delete navigate_;
}

void MenuTab::buildUi() {
  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(4, 4, 4, 4);
  lay->setSpacing(4);

  fields_ = new PageFieldsPanel(
      doc_, *view_, *ctx_.log,
      [this](const QString& what, const std::function<void(igs::Menu&)>& change) { return edit(what, change); }, this);
  lay->addWidget(fields_);
  connect(fields_, &PageFieldsPanel::pageChosen, this, [this](int i) {
    emulation_->stopTimers();
    selectPage(i);
  });
  connect(fields_, &PageFieldsPanel::pageWanted, this, &MenuTab::selectPage);
  connect(fields_, &PageFieldsPanel::effectsWanted, this, &MenuTab::showEffects);

  files_ = new MenuFiles(
      ctx_, doc_,
      [this](std::function<void(core::Progress&)> work, std::function<void(bool)> done) {
        runTask(std::move(work), std::move(done));
      },
      this);
  lay->addWidget(files_->banner());
  lay->addWidget(files_->clipRow());
  connect(files_, &MenuFiles::aboutToReplace, this, [this] {
    emulation_->stopTimers();
    emulation_->finishPlayback();
  });
  connect(files_, &MenuFiles::menuAdopted, this, &MenuTab::openMenu);
  connect(files_, &MenuFiles::loadFinished, this, &MenuTab::loadFinished);
  connect(files_, &MenuFiles::loadFinished, this, [this](bool shown) {
    if (!shown) pendingPage_ = pendingButton_ = -1;
  });
  connect(files_, &MenuFiles::muxFinished, this, &MenuTab::muxFinished);
  connect(files_, &MenuFiles::rulesChanged, this, &MenuTab::rulesChanged);
  // A top menu from the disc's titles, beside "Mux into clip…" (which needs a menu;
  // this needs only a disc).
  author_ = new QPushButton("Create a menu for this disc\u2026", files_->clipRow());
  author_->setObjectName("authorMenuButton");
  author_->setToolTip("A top menu with a button for each of the disc's titles, written into the disc folder");
  if (auto* row = qobject_cast<QHBoxLayout*>(files_->clipRow()->layout())) row->insertWidget(0, author_);
  connect(author_, &QPushButton::clicked, this, &MenuTab::chooseAuthoring);
  connect(files_, &MenuFiles::rulesChanged, this, &MenuTab::updateAuthorButton);
  connect(&ctx_.session, &DiscSession::loaded, this, &MenuTab::updateAuthorButton);
  connect(&ctx_.session, &DiscSession::cleared, this, &MenuTab::updateAuthorButton);
  updateAuthorButton();

  sub_ = new QTabWidget(this);
  sub_->setObjectName("menuSubTabs");
  bogs_ = new BogsPanel(
      doc_, [this](const QString& what, const std::function<void(igs::Menu&)>& change) { return edit(what, change); },
      [this] { return ctx_.session.hasSound() ? unsigned(ctx_.session.sound.model.entries.size()) : 0u; },
      ctx_.cmdClipboard, sub_);
  addSubTab(bogs_, "BOGs");
  createSubTabPages();
  pageViewPanel_ = new PageViewPanel(sub_);
  addSubTab(pageViewPanel_, "Page view");
  lay->addWidget(sub_, 1);
  connect(bogs_, &BogsPanel::objectWanted, this, &MenuTab::showObject);
  connect(bogs_, &BogsPanel::commandClicked, this, [this](int line) {
    if (exec_ && exec_->traceBox()->isChecked()) exec_->rowClicked(line);
  });
  connect(sub_, &QTabWidget::currentChanged, this, [this] { emulation_->syncTimers(); });
  connect(pageViewPanel_, &PageViewPanel::optionsToggled, this, &MenuTab::overlayToggled);
  createEmulation();
  sub_->setEnabled(false);
}

// The Effects and Objects sub-tabs, in this order (SubEffects, SubObjects). Both
// panels edit the same document through the same undo stack and draw with the same
// page view; they fill again whenever the menu is replaced or another page chosen,
// and a change they make redraws the page and the other grids.
void MenuTab::createSubTabPages() {
  effectsPanel_ = new EffectsPanel(doc_, undo_, *view_, *ctx_.log, sub_);
  addSubTab(effectsPanel_, "Effects");
  connect(this, &MenuTab::menuReplaced, effectsPanel_, &EffectsPanel::menuReplaced);
  connect(this, &MenuTab::pageChanged, effectsPanel_, &EffectsPanel::setPage);
  connect(this, &MenuTab::effectsWanted, effectsPanel_, &EffectsPanel::showInOut);
  connect(effectsPanel_, &EffectsPanel::menuEdited, this, &MenuTab::panelEdited);

  objectsPanel_ = new ObjectsPanel(doc_, undo_, *view_, *ctx_.log, sub_);
  addSubTab(objectsPanel_, "Objects");
  connect(this, &MenuTab::menuReplaced, objectsPanel_, &ObjectsPanel::menuReplaced);
  connect(this, &MenuTab::pageChanged, objectsPanel_, &ObjectsPanel::setPage);
  connect(objectsPanel_, &ObjectsPanel::menuEdited, this, &MenuTab::panelEdited);
}

int MenuTab::addSubTab(QWidget* page, const QString& title) { return sub_->addTab(page, title); }

void MenuTab::createEmulation() {
  emulation_ = new MenuEmulation(ctx_, doc_, undo_, *view_, *emu_, pageViewPanel_, navigate_, exec_, regs_, this);
  emulation_->loading = [this] { return files_->loading(); };
  // The animation runs only while the page view can be seen.
  emulation_->animationShown = [this] { return isVisible() && sub_->currentIndex() == SubPageView; };
  connect(emulation_, &MenuEmulation::pageShown, this, &MenuTab::pageShown);
  connect(emulation_, &MenuEmulation::buttonSound, this, &MenuTab::buttonSound);
  connect(emulation_, &MenuEmulation::dragRecorded, bogs_, &BogsPanel::refill);
}

void MenuTab::runTask(std::function<void(core::Progress&)> work, std::function<void(bool)> done) {
  if (runTask_) {
    runTask_(std::move(work), std::move(done));
    return;
  }
  core::Progress p;
  work(p);
  done(false);
}

TabRules MenuTab::rules() const {
  TabRules r;
  const bool menu = hasMenu();
  r.saveShown = true;
  // A menu just read can be saved as a menu file at once (one read from a stream
  // has no file of its own yet).
  r.saveEnabled = menu && files_->writable() && !files_->loading();
  r.saveHint = "Save the IGS menu (.mnu)";
  r.load = true;
  r.mux = true;
  r.muxEnabled = menu && files_->writable() && !files_->loading() && !files_->muxing();
  r.executePanel = menu;
  r.navigatePanel = menu;
  r.registerPanel = menu;
  r.startEnabled = menu && !doc_.model.ics.pages.empty();
  return r;
}

ExecutePanel::Host MenuTab::executeHost() {
  ExecutePanel::Host host;
  host.program = [this]() -> hdmv::CommandList {
    const int id = exec_ ? exec_->chooser()->currentIndex() : -1;
    const igs::Button* b = id >= 0 ? view_->button(unsigned(id)) : nullptr;
    return b ? b->commands : hdmv::CommandList{};
  };
  host.selectRow = [this](int line) {
    if (line >= 0 && line < bogs_->commandTable()->commandCount()) bogs_->commandTable()->selectLine(line);
  };
  host.showDelayMs = [this] { return ctx_.settings.actiDelay; };
  host.start = [this] { emulation_->start(); };
  return host;
}

void MenuTab::activated() {
  updateChooser();
  emulation_->syncTimers();
}

void MenuTab::hideEvent(QHideEvent* e) {
  TabPage::hideEvent(e);
  // The animation runs only while the page view can be seen.
  emulation_->stopAnimation();
}

int MenuTab::currentPage() const { return view_->pageChoice(); }
QComboBox* MenuTab::pageChoice() const { return fields_->pageChoice(); }
bool MenuTab::partialLoad() const { return files_->partial(); }

// ---- Loading, creating, saving, muxing: MenuFiles -------------------------------------

void MenuTab::load() { files_->chooseAndLoad(); }

bool MenuTab::showItem(const ItemRef& item) {
  if (item.kind != ItemKind::Menu || item.name.isEmpty()) return false;
  const uint16_t pid = item.number > 0 && item.number < 0x1FFF ? uint16_t(item.number) : igs::kDefaultIgPid;
  // A menu item's part is a page, and its button one on that page: shown and
  // selected once the menu is open.
  pendingPage_ = item.part;
  pendingButton_ = item.button;
  // Cancel in the unsaved-changes question keeps the open menu: the tab shows it, and
  // the item is not "missing" from the disc.
  return loadFile(item.name, pid) || files_->keptModified();
}

bool MenuTab::loadFile(const QString& path, uint16_t pid) { return files_->loadFile(path, pid); }
bool MenuTab::createMenu() { return files_->createMenu(); }
void MenuTab::confirmPartial() { files_->confirmPartial(); }

void MenuTab::save() {
  if (!rules().saveEnabled) return;
  doc_.save();
}

bool MenuTab::saveTo(const QString& path) { return files_->saveTo(path); }

void MenuTab::mux() {
  if (!rules().muxEnabled) return;
  files_->chooseAndMux();
}

bool MenuTab::muxTo(const QString& path) { return files_->muxTo(path); }
bool MenuTab::muxIntoClip(const QString& source, const QString& output, bool addStream) {
  return files_->muxIntoClip(source, output, addStream);
}

void MenuTab::openMenu() {
  undo_.clear();
  emu_->menuOpened(ctx_.registerOptions(), 0);
  if (regs_) regs_->refresh();
  fields_->fillPageChoice();
  fields_->setEditable(true);
  sub_->setEnabled(true);
  sub_->setCurrentIndex(SubBogs);
  selectPage(0);
  // The page is shown at once in its normal state, so the menu can be seen before
  // the emulation is started.
  redrawPage();
  if (pendingPage_ > 0) {
    selectPage(pendingPage_);
    redrawPage();
  }
  if (pendingButton_ >= 0) selectButton(pendingButton_);
  pendingPage_ = pendingButton_ = -1;
  files_->updateBanner();
  updateMissingMark();
  ctx_.log->statusReady();
  Q_EMIT menuReplaced();
  Q_EMIT rulesChanged();
}

// ---- Pages ----------------------------------------------------------------------------

void MenuTab::selectPage(int page) {
  if (!view_->pageAt(page)) return;
  view_->selectPage(page);
  fields_->fillPageFields();
  bogs_->setPage(page);
  updateChooser();
  updateMissingMark();
  Q_EMIT pageChanged(page);
  Q_EMIT menuReplaced();
}

int MenuTab::selectedButton() const {
  const uint32_t id = ctx_.regs.psr[10];
  return hasMenu() && id < view_->states().size() && view_->button(id) ? int(id) : -1;
}

bool MenuTab::selectButton(int id) {
  if (!hasMenu() || id < 0 || !view_->button(unsigned(id))) return false;
  ctx_.regs.psr[10] = uint32_t(id);
  redrawPage();
  // A player shows the selected button in its BOG in place of the BOG's default.
  if (!view_->states()[size_t(id)].shown) {
    view_->showInBog(unsigned(id));
    view_->renderPage();
    view_->takeFrames();
    view_->takeEvents();
    emulation_->showPagePicture();
  }
  const menuview::ButtonState& s = view_->states()[size_t(id)];
  bogs_->selectBog(s.bogIndex);
  bogs_->selectButton(s.indexInBog);
  return true;
}

void MenuTab::pageShown() {
  fields_->fillPageFields();
  bogs_->setPage(view_->pageChoice());
  updateChooser();
  updateMissingMark();
  Q_EMIT pageChanged(view_->pageChoice());
  Q_EMIT menuReplaced();
}

void MenuTab::showEffects(bool out) {
  sub_->setCurrentIndex(SubEffects);
  Q_EMIT effectsWanted(out);
}

void MenuTab::animationStep() { emulation_->animationStep(); }

// ---- Editing ------------------------------------------------------------------------

void MenuTab::panelEdited() {
  if (!hasMenu()) return;
  igs::refreshMenu(doc_.model, &view_->pictures());
  menuEdited();
  bogs_->refill();
  Q_EMIT rulesChanged();
}

bool MenuTab::edit(const QString& what, const std::function<void(igs::Menu&)>& change, int mergeId) {
  if (!hasMenu()) return false;
  filling_ = true;
  const bool changed = editMenu(undo_, doc_, view_->pictures(), what, mergeId, change);
  filling_ = false;
  if (changed) menuEdited();
  return changed;
}

void MenuTab::menuEdited() {
  // Structural edits may move the page choice past the end or leave a state list of
  // another shape: the view starts the page afresh, the selection kept where it exists.
  emulation_->stopTimers();
  const int pages = int(doc_.model.ics.pages.size());
  if (view_->pageChoice() >= pages) view_->selectPage(std::max(0, pages - 1));
  redrawPage();
  fields_->fillPageFields();
  updateChooser();
  updateMissingMark();
}

void MenuTab::afterUndoRedo() {
  // An undo in the middle of a drag ends the drag; the menu is the one undone to.
  emulation_->dropDrag();
  emulation_->stopTimers();
  emulation_->finishPlayback();
  // Undo may bring back objects and palettes: no coloured picture is trusted.
  igs::MenuPictures& pics = view_->pictures();
  for (unsigned id = 0; id < doc_.model.objects.size(); ++id) igs::invalidateObject(pics, id);
  igs::resizeCache(doc_.model, pics);
  fields_->fillPageChoice();
  const int pages = int(doc_.model.ics.pages.size());
  const int p = std::clamp(view_->pageChoice(), 0, std::max(0, pages - 1));
  if (pages > 0) view_->selectPage(p);
  redrawPage();
  fields_->fillPageFields();
  const int bog = bogs_->currentBog(), button = bogs_->currentButton();
  bogs_->setPage(p);
  bogs_->selectBog(bog);
  bogs_->selectButton(button);
  updateChooser();
  updateMissingMark();
  Q_EMIT menuReplaced();
  Q_EMIT rulesChanged();
}

void MenuTab::redrawPage() {
  if (!hasMenu() || !view_->pageAt(view_->pageChoice())) return;
  const uint32_t selected = ctx_.regs.psr[10];
  view_->prepareButtonStates(view_->pageChoice());
  ctx_.regs.psr[11] = uint32_t(view_->pageChoice());
  ctx_.regs.psr[10] = selected < view_->states().size() ? selected : 0xFFFF;
  view_->renderPage();
  // A redraw after an edit shows the result, not the effects or sounds again.
  view_->takeFrames();
  view_->takeEvents();
  emulation_->showPagePicture();
  if (regs_) regs_->refresh();
}

void MenuTab::updateChooser() {
  if (!exec_ || !isVisible()) return;
  QComboBox* chooser = exec_->chooser();
  const int cur = chooser->currentIndex();
  chooser->clear();
  for (const std::string& s : view_->buttonChoiceItems()) chooser->addItem(toQt(s));
  if (cur >= 0 && cur < chooser->count()) chooser->setCurrentIndex(cur);
  chooser->setToolTip("Button");
}

void MenuTab::updateMissingMark() { pageViewPanel_->setObjectsMissing(hasMenu() && view_->objectsMissing()); }

// ---- Authoring a menu for the disc ---------------------------------------------------

void MenuTab::updateAuthorButton() {
  author_->setEnabled(ctx_.session.indexRead() && !authoring_ && !files_->loading() && !files_->muxing());
}

void MenuTab::chooseAuthoring() {
  if (!author_->isEnabled()) return;
  auto* dlg = new AuthorDialog(ctx_.session.folder(), this);
  dlg->setAttribute(Qt::WA_DeleteOnClose);
  // The authoring rewrites the index, the movie objects and the files of the disc
  // folder: edits not yet saved are settled while the dialog is still open, so
  // Cancel in the question keeps both the edits and the choices.
  dlg->mayCreate = [this] { return ctx_.session.settle(); };
  connect(dlg, &AuthorDialog::createWanted, this, &MenuTab::authorMenu);
  if (keptChoices_ && keptFolder_ == ctx_.session.folder()) dlg->setOptions(*keptChoices_);
  dlg->open();
}

bool MenuTab::authorMenu(const author::AuthorOptions& options) {
  if (authoring_ || !ctx_.session.indexRead() || files_->loading() || files_->muxing()) return false;
  if (!ctx_.session.settle()) return false;
  authoring_ = true;
  updateAuthorButton();
  // Kept until the menu is written: what the user typed is not lost to a failure.
  keptChoices_ = std::make_shared<author::AuthorOptions>(options);
  keptFolder_ = ctx_.session.folder();
  auto result = std::make_shared<author::AuthorResult>();
  // The folder as read may end in a separator; the file names are reported from it.
  std::filesystem::path bdmv = ctx_.session.folder();
  if (!bdmv.has_filename()) bdmv = bdmv.parent_path();
  const core::SaveSettings settings = ctx_.saveSettings();
  core::Log* log = ctx_.log;
  auto work = [=](core::Progress& p) { *result = author::authorMenu(bdmv, options, settings, *log, &p); };
  auto done = [this, result, log, bdmv](bool cancelled) {
    authoring_ = false;
    updateAuthorButton();
    const author::AuthorResult& r = *result;
    if (!r.ok) {
      if (r.cancelled || cancelled)
        log->info("Menu authoring cancelled: no file of the disc was changed.");
      else
        log->error(r.error.empty() ? std::string("The menu could not be written.") : r.error);
      Q_EMIT authorFinished(false);
      return;
    }
    // The files by their place in the disc folder, as the disc's own lists name them.
    keptChoices_.reset();
    std::string names;
    for (const auto& f : r.written) {
      const std::filesystem::path rel = f.lexically_relative(bdmv);
      names += (names.empty() ? "" : ", ") + (rel.empty() || *rel.begin() == ".." ? core::displayPath(f) : rel.generic_string());
    }
    log->info("[b]Written for the menu[/b]: " + names + ".");
    // The window reads the disc again: the index, the movie objects, the playlist and
    // clip lists as they are now. Then the new menu opens here for further editing.
    Q_EMIT discRewritten();
    loadFile(QString::fromStdString(r.menuStream.string()), igs::kDefaultIgPid);
    Q_EMIT authorFinished(true);
  };
  runTask(std::move(work), std::move(done));
  return true;
}

// ---- Display options ----------------------------------------------------------------

void MenuTab::applyDisplayOptions() {
  const AppSettings& s = ctx_.settings;
  opts_.colBackground = colour(s.colBackground);
  opts_.colSelectedButton = colour(s.colSelectedButton);
  opts_.colNormalButton = colour(s.colNormalButton);
  opts_.colInvalidButton = colour(s.colInvalidButton);
  opts_.colWindow = colour(s.colWindow);
  opts_.colSelectedFrame = colour(s.colSelectedFrame);
  opts_.colNormalFrame = colour(s.colNormalFrame);
  opts_.colInvalidFrame = colour(s.colInvalidFrame);
  opts_.colObjectBackground = colour(s.colObjectBackground);
  opts_.preload = s.preLoad;
  opts_.showButtonId = s.buttonId;
  opts_.showObjectId = s.objectId;
  opts_.showButtonFrame = s.buttonFrame;
  opts_.showWindowFrame = s.windowFrame;
  opts_.fullScreen = s.showFullScreen;
  opts_.playSound = s.playSound;
  opts_.showInEffects = s.showInEffects;
  opts_.showOutEffects = s.showOutEffects;
  opts_.buttonAnimation = s.showButtonAnimation;
  opts_.gridSize = s.grid;
  const bool backgroundChanged = opts_.background != s.background || opts_.backgroundFile != s.backgroundPic.toStdString();
  opts_.background = s.background;
  opts_.backgroundFile = s.backgroundPic.toStdString();
  pageViewPanel_->fullScreen()->setChecked(s.showFullScreen);
  pageViewPanel_->buttonId()->setChecked(s.buttonId);
  pageViewPanel_->objectId()->setChecked(s.objectId);
  pageViewPanel_->buttonFrame()->setChecked(s.buttonFrame);
  pageViewPanel_->windowFrame()->setChecked(s.windowFrame);
  pageViewPanel_->playSound()->setChecked(s.playSound);
  PictureWidget* pic = pageViewPanel_->picture();
  pic->setFitToWindow(s.showFullScreen);
  pic->setBackground(qcolour(s.colBackground));
  bogs_->bogPicture()->setBackground(qcolour(s.colObjectBackground));
  if (backgroundChanged || !hasMenu()) {
    std::string err;
    if (!view_->changeBackground(&err) && !err.empty()) ctx_.log->error(err);
  }
  if (hasMenu()) redrawPage();
  else emulation_->showPagePicture();
}

void MenuTab::overlayToggled() {
  AppSettings& s = ctx_.settings;
  s.showFullScreen = pageViewPanel_->fullScreen()->isChecked();
  s.buttonId = pageViewPanel_->buttonId()->isChecked();
  s.objectId = pageViewPanel_->objectId()->isChecked();
  s.buttonFrame = pageViewPanel_->buttonFrame()->isChecked();
  s.windowFrame = pageViewPanel_->windowFrame()->isChecked();
  s.playSound = pageViewPanel_->playSound()->isChecked();
  applyDisplayOptions();
  Q_EMIT displayOptionsEdited();
}

// ---- The BOG picture ------------------------------------------------------------------

void MenuTab::showObject(unsigned objectId) {
  const igs::Page* p = view_->pageAt(view_->pageChoice());
  const igs::Menu& m = doc_.model;
  if (!p || objectId == igs::kNoObject || objectId >= m.objects.size() || m.objects[objectId].width == 0) {
    objectPicture_ = menuview::Image();
    bogs_->showPicture(&objectPicture_);
    ctx_.log->status(core::StatusPanel::Detail, objectId == igs::kNoObject ? "No object assigned"
                                              : "Object " + std::to_string(objectId) + " is not in the menu");
    return;
  }
  const uint32_t bg = ctx_.settings.colObjectBackground;
  const igs::RgbaImage pic = igs::objectViewPicture(
      m, view_->pictures(), objectId, p->paletteId,
      igs::Rgb8{uint8_t(bg & 0xFF), uint8_t(bg >> 8 & 0xFF), uint8_t(bg >> 16 & 0xFF)}, *ctx_.log);
  objectPicture_ = menuview::Image(pic.width, pic.height);
  if (pic.rgba.size() == size_t(pic.width) * size_t(pic.height) * 4 && !pic.rgba.empty())
    std::memcpy(objectPicture_.pixels().data(), pic.rgba.data(), pic.rgba.size());
  bogs_->showPicture(&objectPicture_);
  ctx_.log->status(core::StatusPanel::Detail, igs::objectInfoText(m.objects[objectId], p->paletteId));
}

}  // namespace morvex::app

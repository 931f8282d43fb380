#include "app/menu/menu_tab.h"

#include "app/menu/effects_panel.h"
#include "app/menu/objects_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cstring>

#include "core/save.h"
#include "igs/colour.h"
#include "igs/edit.h"
#include "igs/extract.h"
#include "igs/mux.h"
#include "igs/objects.h"
#include "igs/writer.h"
#include "app/menu/bogs_panel.h"
#include "app/widgets/command_table.h"
#include "app/menu/navigate_panel.h"
#include "app/menu/page_view_panel.h"
#include "app/menu/picture_widget.h"
#include "app/panels/register_panel.h"
#include "app/shell/qt_text.h"

namespace morvex::app {

namespace fs = std::filesystem;

namespace {

// Colours are stored as 0x00BBGGRR.
menuview::Rgba colour(uint32_t c) { return {uint8_t(c & 0xFF), uint8_t(c >> 8 & 0xFF), uint8_t(c >> 16 & 0xFF), 255}; }
QColor qcolour(uint32_t c) { return QColor(int(c & 0xFF), int(c >> 8 & 0xFF), int(c >> 16 & 0xFF)); }

// Copies a frame's patch into the picture at its position.
void applyPatch(menuview::Image& to, const menuview::ViewFrame& f) {
  const menuview::Image& p = f.patch;
  for (int y = 0; y < p.height(); ++y) {
    const int ty = f.y + y;
    if (ty < 0 || ty >= to.height()) continue;
    const int x0 = std::max(0, f.x), x1 = std::min(to.width(), f.x + p.width());
    if (x1 <= x0) continue;
    std::memcpy(&to.pixels()[size_t(ty) * size_t(to.width()) + size_t(x0)],
                &p.pixels()[size_t(y) * size_t(p.width()) + size_t(x0 - f.x)], size_t(x1 - x0) * sizeof(menuview::Rgba));
  }
}

constexpr int kMergeDrag = -1;
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
  doc_.saver = [this] {
    const QString f = QFileDialog::getSaveFileName(this, "Save Menu", menuPath_.isEmpty()
                                                                          ? ctx_.dialogFolder() + "/menu.mnu"
                                                                          : QFileInfo(menuPath_).path() + "/" +
                                                                                QFileInfo(menuPath_).baseName() + ".mnu",
                                                   "Menu (*.mnu)");
    return !f.isEmpty() && saveTo(f.endsWith(".mnu", Qt::CaseInsensitive) ? f : f + ".mnu");
  };
  connect(&doc_, &Document::modelReplaced, this, [this] {
    if (!filling_) afterUndoRedo();
  });
  connect(&doc_, &Document::modifiedChanged, this, [this] { Q_EMIT rulesChanged(); });
}

MenuTab::~MenuTab() {
  // Fields and grids may signal while they are destroyed (an open editor commits).
  for (QObject* c : findChildren<QObject*>()) c->disconnect(this);
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

  // The page choice and the page fields.
  auto* top = new QGridLayout();
  top->setHorizontalSpacing(6);
  top->setVerticalSpacing(2);
  auto field = [this](const char* name, int chars, const QString& tip, bool readOnly = false) {
    auto* e = new QLineEdit(this);
    e->setObjectName(name);
    e->setToolTip(tip);
    e->setFixedWidth(QFontMetrics(e->font()).horizontalAdvance(QString(chars + 1, QChar('D'))) + 10);
    e->setReadOnly(readOnly);
    if (!readOnly) {
      e->installEventFilter(this);
      connect(e, &QLineEdit::editingFinished, this, [this, e] { pageFieldLeft(e); });
    }
    return e;
  };
  pages_ = new QComboBox(this);
  pages_->setObjectName("pageChoice");
  pages_->setToolTip("Page\r\nIns: Insert page\r\nDel: Delete page");
  pages_->setMinimumContentsLength(3);
  pages_->installEventFilter(this);
  pageCount_ = new QLabel("(0)", this);
  pageCount_->setObjectName("pageCountLabel");
  uom1_ = field("pageUoMask1Field", 8, "User Operation Mask 1");
  uom2_ = field("pageUoMask2Field", 1, "User Operation Mask 2");
  animCode_ = field("animationCodeField", 3, "Animation Frame Rate Code (divider)");
  defSel_ = field("defaultSelectedField", 4, "Default Selected Button");
  defAct_ = field("defaultActivatedField", 4, "Default Activated Button");
  palette_ = field("paletteField", 2, "Palette");
  inWindows_ = field("inWindowsField", 2, "In-effect windows (click: Effects)", true);
  inEffects_ = field("inEffectsField", 2, "In-effects (click: Effects)", true);
  outWindows_ = field("outWindowsField", 2, "Out-effect windows (click: Effects)", true);
  outEffects_ = field("outEffectsField", 2, "Out-effects (click: Effects)", true);
  bogCount_ = field("bogCountField", 3, "Number of BOGs", true);
  for (QLineEdit* e : {inWindows_, inEffects_, outWindows_, outEffects_}) e->installEventFilter(this);
  userTimeout_ = field("userTimeoutField", 7, "User timeout (h:mm:ss)");
  inTime_ = field("inTimeField", 11, "IN_time", true);
  videoFormat_ = new QComboBox(this);
  videoFormat_->setObjectName("videoFormatChoice");
  for (const char* f : igs::kVideoFormats) videoFormat_->addItem(f);
  videoFormat_->setEnabled(false);
  frameRate_ = new QComboBox(this);
  frameRate_->setObjectName("frameRateChoice");
  for (int i = 0; i < 8; ++i) frameRate_->addItem(igs::frameRate(uint8_t(i)).label);
  frameRate_->setEnabled(false);

  // Caption left of each field, three rows, so the tab stays within the window's
  // minimum width.
  auto pair = [this, top](int row, int col, const QString& caption, QWidget* w) {
    auto* lab = new QLabel(caption, this);
    lab->setBuddy(w);
    top->addWidget(lab, row, col * 2, Qt::AlignRight);
    top->addWidget(w, row, col * 2 + 1, Qt::AlignLeft);
  };
  auto box = [this](std::initializer_list<QWidget*> ws) {
    auto* b = new QWidget(this);
    auto* l = new QHBoxLayout(b);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(3);
    for (QWidget* w : ws) l->addWidget(w);
    return b;
  };
  pair(0, 0, "Page", box({pages_, pageCount_}));
  pair(0, 1, "User Operation Mask 1", uom1_);
  pair(0, 2, "User Operation Mask 2", uom2_);
  pair(0, 3, "Palette", palette_);
  pair(1, 0, "Animation Frame Rate Code (divider)", animCode_);
  pair(1, 1, "Default Selected Button", defSel_);
  pair(1, 2, "Default Activated Button", defAct_);
  pair(1, 3, "BOGs", bogCount_);
  auto* inLab = new QLabel("In", this);
  auto* outLab = new QLabel("Out", this);
  pair(2, 0, "Effect windows, effects", box({inLab, inWindows_, inEffects_, outLab, outWindows_, outEffects_}));
  pair(2, 1, "User timeout", userTimeout_);
  pair(2, 2, "Video", box({videoFormat_, frameRate_}));
  pair(2, 3, "IN_time", inTime_);
  top->setColumnStretch(8, 1);
  lay->addLayout(top);

  // A menu read only in part says so until the user accepts saving what was read.
  auto* banner = new QHBoxLayout();
  partialBanner_ = new QLabel(this);
  partialBanner_->setObjectName("partialLoadBanner");
  partialBanner_->setWordWrap(true);
  partialBanner_->setStyleSheet("QLabel { background: #fff0c0; color: #802000; padding: 2px 6px; }");
  confirmPartial_ = new QPushButton("Allow saving", this);
  confirmPartial_->setObjectName("allowSavingButton");
  confirmPartial_->setToolTip("Save writes only what could be read; the rest of the original menu is lost.");
  connect(confirmPartial_, &QPushButton::clicked, this, &MenuTab::confirmPartial);
  banner->addWidget(partialBanner_, 1);
  banner->addWidget(confirmPartial_);
  lay->addLayout(banner);
  updatePartialBanner();

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
  connect(sub_, &QTabWidget::currentChanged, this, [this] { syncTimers(); });

  PictureWidget* pic = pageViewPanel_->picture();
  pic->setPicture(&view_->page());
  pic->installEventFilter(this);
  connect(pic, &PictureWidget::pictureMoved, this, &MenuTab::pictureMoved);
  connect(pic, &PictureWidget::picturePressed, this,
          [this](QPoint p, Qt::MouseButton b, Qt::MouseButtons, Qt::KeyboardModifiers) { picturePressed(p, b); });
  connect(pic, &PictureWidget::pictureReleased, this,
          [this](QPoint, Qt::MouseButton b, Qt::MouseButtons, Qt::KeyboardModifiers) { pictureReleased(b); });
  connect(pic, &PictureWidget::pictureLeft, this, [this] {
    if (!emu_->dragging()) return;
    emu_->mouseLeave();
    endDrag();
  });
  connect(pageViewPanel_, &PageViewPanel::optionsToggled, this, &MenuTab::overlayToggled);

  connect(pages_, &QComboBox::activated, this, [this](int i) {
    stopTimers();
    selectPage(i);
  });
  connect(navigate_, &NavigatePanel::moveWanted, this,
          [this](menuview::NavKey k) { emulate([this, k] { emu_->move(k); }); });
  connect(navigate_, &NavigatePanel::selectWanted, this, [this] { emulate([this] { emu_->select(); }); });

  userTimer_ = new QTimer(this);
  userTimer_->setObjectName("userTimeoutTimer");
  connect(userTimer_, &QTimer::timeout, this, [this] { emulate([this] { emu_->userTimeout(); }); });
  animTimer_ = new QTimer(this);
  animTimer_->setObjectName("animationTimer");
  connect(animTimer_, &QTimer::timeout, this, &MenuTab::animationStep);
  frameTimer_ = new QTimer(this);
  frameTimer_->setSingleShot(true);
  connect(frameTimer_, &QTimer::timeout, this, &MenuTab::playNextFrame);
  for (QWidget* w : std::initializer_list<QWidget*>{pages_, sub_, uom1_, uom2_, animCode_, defSel_, defAct_, palette_,
                                                    userTimeout_})
    w->setEnabled(false);
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

TabRules MenuTab::rules() const {
  TabRules r;
  const bool menu = hasMenu();
  r.saveShown = true;
  r.saveEnabled = menu && doc_.modified() && (!partial_ || partialConfirmed_) && !loading_;
  r.saveHint = "Save the IGS menu (.mnu)";
  r.load = true;
  r.mux = true;
  r.muxEnabled = menu && (!partial_ || partialConfirmed_) && !loading_ && !muxing_;
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
  host.start = [this] { startEmulation(); };
  return host;
}

void MenuTab::activated() {
  updateChooser();
  syncTimers();
}

void MenuTab::hideEvent(QHideEvent* e) {
  TabPage::hideEvent(e);
  // The animation runs only while the page view can be seen.
  animTimer_->stop();
}

int MenuTab::currentPage() const { return view_->pageChoice(); }

// ---- Loading, creating, saving, muxing ------------------------------------------------

bool MenuTab::settleModified() {
  if (!doc_.modified()) return true;
  QMessageBox box(QMessageBox::Warning, "Morvex", "Save the changes to " + doc_.name() + "?\nOtherwise they are lost.",
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
  box.setObjectName("unsavedQuestion");
  box.setDefaultButton(QMessageBox::Save);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Save:
      return doc_.save();
    case QMessageBox::Discard:
      return true;
    default:
      return false;
  }
}

void MenuTab::load() {
  const QString start = menuPath_.isEmpty() ? ctx_.dialogFolder() : menuPath_;
  const QString f = QFileDialog::getOpenFileName(this, "Load an IGS menu (*.mnu)", start,
                                                 "Menu (*.mnu);;BD AV stream (*.m2ts);;AVCHD stream (*.MTS)");
  if (!f.isEmpty()) loadFile(f);
}

bool MenuTab::showItem(const ItemRef& item) {
  if (item.kind != ItemKind::Menu || item.name.isEmpty()) return false;
  const uint16_t pid = item.number > 0 && item.number < 0x1FFF ? uint16_t(item.number) : igs::kDefaultIgPid;
  return loadFile(item.name, pid);
}

bool MenuTab::loadFile(const QString& path, uint16_t pid) {
  if (loading_ || muxing_) return false;
  if (!settleModified()) return false;
  stopTimers();
  finishPlayback();
  loading_ = true;
  Q_EMIT rulesChanged();
  auto menu = std::make_shared<igs::Menu>();
  auto result = std::make_shared<core::ReadResult>();
  core::Log* log = ctx_.log;
  const fs::path file = path.toStdString();
  auto work = [=](core::Progress& p) { *result = igs::loadMenuSource(file, *menu, *log, pid, &p); };
  auto done = [this, menu, result, path, log](bool cancelled) {
    loading_ = false;
    if (cancelled || result->refused() || !menu->loaded) {
      // Nothing read, or not a menu: the open menu stays as it was.
      if (!cancelled && result->refused() && !result->summary().empty()) log->error(result->summary());
      Q_EMIT rulesChanged();
      Q_EMIT loadFinished(false);
      return;
    }
    adoptMenu(std::move(*menu), *result, path);
    Q_EMIT loadFinished(true);
  };
  if (runTask_) {
    runTask_(work, done);
  } else {
    core::Progress p;
    work(p);
    done(false);
  }
  return true;
}

void MenuTab::adoptMenu(igs::Menu menu, const core::ReadResult& result, const QString& path) {
  partial_ = result.partial();
  partialConfirmed_ = false;
  partialText_ = toQt(result.summary());
  menuPath_ = path;
  filling_ = true;
  doc_.setName(QFileInfo(path).fileName());
  doc_.path = path.endsWith(".mnu", Qt::CaseInsensitive) ? path : QString();
  doc_.reset(std::move(menu));
  filling_ = false;
  if (partial_)
    ctx_.log->error(QFileInfo(path).fileName().toStdString() +
                    ": the menu was read only in part; Save stays off until you allow it (" +
                    partialText_.toStdString() + ")");
  openMenu();
}

bool MenuTab::createMenu() {
  if (loading_ || !settleModified()) return false;
  stopTimers();
  finishPlayback();
  igs::Menu m;
  igs::newMenu(m);
  partial_ = partialConfirmed_ = false;
  partialText_.clear();
  menuPath_.clear();
  filling_ = true;
  doc_.setName("menu");
  doc_.path.clear();
  doc_.reset(std::move(m));
  filling_ = false;
  openMenu();
  return true;
}

void MenuTab::openMenu() {
  undo_.clear();
  emu_->menuOpened(ctx_.registerOptions(), 0);
  if (regs_) regs_->refresh();
  fillPageChoice();
  for (QWidget* w : std::initializer_list<QWidget*>{pages_, sub_, uom1_, uom2_, animCode_, defSel_, defAct_, palette_,
                                                    userTimeout_})
    w->setEnabled(true);
  sub_->setCurrentIndex(SubBogs);
  selectPage(0);
  // The page is shown at once in its normal state, so the menu can be seen before
  // the emulation is started.
  redrawPage();
  updatePartialBanner();
  updateMissingMark();
  ctx_.log->statusReady();
  Q_EMIT menuReplaced();
  Q_EMIT rulesChanged();
}

void MenuTab::confirmPartial() {
  if (!partial_) return;
  partialConfirmed_ = true;
  updatePartialBanner();
  Q_EMIT rulesChanged();
}

void MenuTab::updatePartialBanner() {
  const bool show = partial_ && !partialConfirmed_;
  partialBanner_->setText(show ? "This menu was read only in part (" + partialText_ +
                                     "). Saving it writes only what was read; the rest of the original is lost."
                               : QString());
  partialBanner_->setVisible(show);
  confirmPartial_->setVisible(show);
}

void MenuTab::save() {
  if (!rules().saveEnabled) return;
  doc_.save();
}

bool MenuTab::saveTo(const QString& path) {
  if (!hasMenu()) return false;
  if (partial_ && !partialConfirmed_) {
    ctx_.log->error("The menu was read only in part: allow saving first.");
    return false;
  }
  const fs::path target = path.toStdString();
  if (!igs::saveMenuFile(doc_.model, target.parent_path(), target.filename().string(), ctx_.saveSettings(), *ctx_.log))
    return false;
  menuPath_ = path;
  doc_.path = path;
  doc_.setName(QFileInfo(path).fileName());
  doc_.markSaved();
  Q_EMIT rulesChanged();
  return true;
}

void MenuTab::mux() {
  if (!rules().muxEnabled) return;
  const QString ext = toQt(ctx_.names().streamext);
  const QString f = QFileDialog::getSaveFileName(this, "Mux Menu", ctx_.dialogFolder() + "/mymenu" + ext,
                                                 ext.mid(1) + " (*" + ext + ")");
  if (!f.isEmpty()) muxTo(f.endsWith(ext, Qt::CaseInsensitive) ? f : f + ext);
}

bool MenuTab::muxTo(const QString& path) {
  if (!hasMenu() || loading_ || muxing_) return false;
  if (partial_ && !partialConfirmed_) {
    ctx_.log->error("The menu was read only in part: allow saving first.");
    return false;
  }
  muxing_ = true;
  Q_EMIT rulesChanged();
  auto copy = std::make_shared<igs::Menu>(doc_.model);
  auto ok = std::make_shared<bool>(false);
  core::Log* log = ctx_.log;
  const fs::path target = path.toStdString();
  auto work = [=](core::Progress& p) {
    p.setTotal(2);
    *ok = igs::muxMenuToFile(*copy, target, *log);
    p.setPosition(2);
  };
  auto done = [this, ok, log, target](bool) {
    muxing_ = false;
    if (*ok) log->info("[b]" + core::displayPath(target) + "[/b] written.");
    Q_EMIT rulesChanged();
    Q_EMIT muxFinished(*ok);
  };
  if (runTask_) {
    runTask_(work, done);
  } else {
    core::Progress p;
    work(p);
    done(false);
  }
  return true;
}

// ---- Pages and fields -------------------------------------------------------------

void MenuTab::fillPageChoice() {
  const bool was = filling_;
  filling_ = true;
  const int cur = view_->pageChoice();
  pages_->clear();
  const auto& pages = doc_.model.ics.pages;
  for (size_t i = 0; i < pages.size(); ++i) pages_->addItem(QString::number(i));
  pageCount_->setText("(" + QString::number(pages.size()) + ")");
  if (!pages.empty()) pages_->setCurrentIndex(std::clamp(cur, 0, int(pages.size()) - 1));
  const igs::InteractiveComposition& ics = doc_.model.ics;
  videoFormat_->setCurrentIndex(igs::videoFormatIndex(ics.width, ics.height));
  frameRate_->setCurrentIndex(ics.frameRateCode < 8 ? ics.frameRateCode : 0);
  userTimeout_->setText(toQt(igs::userTimeoutText(ics)));
  inTime_->setText(toQt(igs::inTimeText(doc_.model.inTime)));
  filling_ = was;
}

void MenuTab::fillPageFields() {
  const igs::Page* p = view_->pageAt(view_->pageChoice());
  const bool was = filling_;
  filling_ = true;
  const std::pair<QLineEdit*, igs::PageField> fields[] = {
      {uom1_, igs::PageField::Mask1},           {uom2_, igs::PageField::Mask2},
      {animCode_, igs::PageField::AnimationCode}, {defSel_, igs::PageField::DefaultSelected},
      {defAct_, igs::PageField::DefaultActivated}, {palette_, igs::PageField::Palette}};
  for (const auto& [e, f] : fields) e->setText(p ? toQt(igs::pageFieldText(*p, f)) : QString());
  const auto counts = p ? igs::pageCounts(*p) : std::array<unsigned, 5>{};
  QLineEdit* cf[] = {inWindows_, inEffects_, outWindows_, outEffects_, bogCount_};
  for (int i = 0; i < 5; ++i) cf[i]->setText(p ? QString::number(counts[size_t(i)]) : QString());
  if (pages_->currentIndex() != view_->pageChoice() && view_->pageChoice() < pages_->count())
    pages_->setCurrentIndex(view_->pageChoice());
  filling_ = was;
}

void MenuTab::selectPage(int page) {
  if (!view_->pageAt(page)) return;
  view_->selectPage(page);
  fillPageFields();
  bogs_->setPage(page);
  updateChooser();
  updateMissingMark();
  Q_EMIT pageChanged(page);
  Q_EMIT menuReplaced();
}

void MenuTab::panelEdited() {
  if (!hasMenu()) return;
  igs::refreshMenu(doc_.model, &view_->pictures());
  menuEdited();
  bogs_->refill();
  Q_EMIT rulesChanged();
}

void MenuTab::pageFieldLeft(QLineEdit* e) {
  if (filling_ || !hasMenu()) return;
  if (e == userTimeout_) {
    userTimeoutLeft();
    return;
  }
  const int p = view_->pageChoice();
  const igs::PageField f = e == uom1_       ? igs::PageField::Mask1
                           : e == uom2_     ? igs::PageField::Mask2
                           : e == animCode_ ? igs::PageField::AnimationCode
                           : e == defSel_   ? igs::PageField::DefaultSelected
                           : e == defAct_   ? igs::PageField::DefaultActivated
                                            : igs::PageField::Palette;
  const std::string text = e->text().trimmed().toStdString();
  edit(e->toolTip(), [&](igs::Menu& m) { igs::setPageField(m, size_t(p), f, text); });
  fillPageFields();
}

void MenuTab::userTimeoutLeft() {
  const std::string text = userTimeout_->text().trimmed().toStdString();
  edit("User timeout", [&](igs::Menu& m) { igs::setUserTimeout(m, text, *ctx_.log); });
  filling_ = true;
  userTimeout_->setText(toQt(igs::userTimeoutText(doc_.model.ics)));
  filling_ = false;
}

void MenuTab::insertPage() {
  if (!hasMenu()) return;
  bool done = false;
  edit("Insert page", [&](igs::Menu& m) { done = igs::createPage(m); });
  if (!done) return;
  fillPageChoice();
  selectPage(int(doc_.model.ics.pages.size()) - 1);
}

void MenuTab::deletePage() {
  if (!hasMenu()) return;
  const int p = view_->pageChoice();
  bool done = false;
  edit("Delete page", [&](igs::Menu& m) { done = igs::erasePage(m, size_t(p)); });
  if (!done) return;
  fillPageChoice();
  selectPage(int(igs::pageAfterDelete(size_t(p))));
}

bool MenuTab::eventFilter(QObject* o, QEvent* e) {
  if (o == pages_ && e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Insert && k->modifiers() == Qt::NoModifier) {
      insertPage();
      return true;
    }
    if (k->key() == Qt::Key_Delete && k->modifiers() == Qt::NoModifier) {
      deletePage();
      return true;
    }
  }
  // Every key pressed on the page view shows its key code in status panel 1.
  if (pageViewPanel_ && o == pageViewPanel_->picture() && e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    const quint32 code = k->nativeVirtualKey() ? k->nativeVirtualKey() : quint32(k->key());
    ctx_.log->status(core::StatusPanel::Detail, std::to_string(code));
  }
  if (e->type() == QEvent::MouseButtonPress) {
    if (o == inWindows_ || o == inEffects_) showEffects(false);
    if (o == outWindows_ || o == outEffects_) showEffects(true);
  }
  // Enter moves through the page fields, and from the last one to the page choice.
  if (e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
      QLineEdit* order[] = {uom1_, uom2_, animCode_, defSel_, defAct_, palette_};
      for (size_t i = 0; i < std::size(order); ++i)
        if (o == order[i]) {
          if (i + 1 < std::size(order))
            order[i + 1]->setFocus();
          else
            pages_->setFocus();
          return true;
        }
      if (o == userTimeout_) {
        pages_->setFocus();
        return true;
      }
    }
  }
  return TabPage::eventFilter(o, e);
}

void MenuTab::showEffects(bool out) {
  sub_->setCurrentIndex(SubEffects);
  Q_EMIT effectsWanted(out);
}

// ---- Editing ------------------------------------------------------------------------

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
  stopTimers();
  const int pages = int(doc_.model.ics.pages.size());
  if (view_->pageChoice() >= pages) view_->selectPage(std::max(0, pages - 1));
  redrawPage();
  fillPageFields();
  updateChooser();
  updateMissingMark();
}

void MenuTab::afterUndoRedo() {
  // An undo in the middle of a drag ends the drag; the menu is the one undone to.
  if (emu_->dragging()) {
    emu_->mouseLeave();
    dragBefore_.reset();
  }
  stopTimers();
  finishPlayback();
  // Undo may bring back objects and palettes: no coloured picture is trusted.
  igs::MenuPictures& pics = view_->pictures();
  for (unsigned id = 0; id < doc_.model.objects.size(); ++id) igs::invalidateObject(pics, id);
  igs::resizeCache(doc_.model, pics);
  fillPageChoice();
  const int pages = int(doc_.model.ics.pages.size());
  const int p = std::clamp(view_->pageChoice(), 0, std::max(0, pages - 1));
  if (pages > 0) view_->selectPage(p);
  redrawPage();
  fillPageFields();
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
  showPagePicture();
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
  else showPagePicture();
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

// ---- The emulator on screen -----------------------------------------------------------

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

void MenuTab::animationStep() {
  if (playing_ || !hasMenu()) return;
  emu_->animationTick();
  handleEmulatorOutput();
}

void MenuTab::startEmulation() {
  if (!hasMenu()) return;
  const int page = view_->pageChoice();
  emulate([this, page] { emu_->start(page); });
}

void MenuTab::emulate(const std::function<void()>& action) {
  if (!hasMenu() || loading_) return;
  // A schedule still playing ends at once: the user has moved on.
  finishPlayback();
  // What is on screen now, so the frames of this action can play from it.
  shown_ = view_->page();
  syncFit();
  // Sounds with a lower id than the disc's sound.bdmv holds are played.
  view_->soundCount = ctx_.session.hasSound() ? unsigned(ctx_.session.sound.model.entries.size()) : 0u;
  action();
  handleEmulatorOutput();
}

void MenuTab::handleEmulatorOutput() {
  for (const menuview::EmulatorEvent& ev : emu_->takeEvents()) {
    switch (ev.kind) {
      case menuview::EmulatorEvent::Kind::PageShown:
        fillPageFields();
        bogs_->setPage(view_->pageChoice());
        updateChooser();
        updateMissingMark();
        Q_EMIT pageChanged(view_->pageChoice());
        Q_EMIT menuReplaced();
        break;
      case menuview::EmulatorEvent::Kind::Report:
        ctx_.log->status(core::StatusPanel::Detail, ev.text);
        break;
      case menuview::EmulatorEvent::Kind::Paused:
        ctx_.log->status(core::StatusPanel::Detail, "Paused after " + std::to_string(ev.number) + " commands (the program does not end)");
        break;
      case menuview::EmulatorEvent::Kind::RunButton:
        if (exec_ && ev.number >= 0 && ev.number < exec_->chooser()->count())
          exec_->chooser()->setCurrentIndex(ev.number);
        break;
    }
  }
  for (const menuview::ViewEvent& ev : view_->takeEvents())
    if (ev.kind == menuview::ViewEvent::Kind::Sound) Q_EMIT buttonSound(int(ev.soundId));
  std::vector<menuview::ViewFrame> frames = view_->takeFrames();
  if (!frames.empty() && !shown_.empty()) {
    frames_ = std::move(frames);
    nextFrame_ = 0;
    playing_ = true;
    pageViewPanel_->picture()->setPicture(&shown_);
    playNextFrame();
  } else {
    showPagePicture();
  }
  if (!view_->status().empty() && !emu_->dragging()) ctx_.log->status(core::StatusPanel::Detail, view_->status());
  if (regs_) regs_->refresh();
  syncTimers();
}

void MenuTab::playNextFrame() {
  if (!playing_) return;
  if (nextFrame_ >= frames_.size()) {
    finishPlayback();
    return;
  }
  const menuview::ViewFrame& f = frames_[nextFrame_++];
  applyPatch(shown_, f);
  if (!f.status.empty()) ctx_.log->status(core::StatusPanel::Detail, f.status);
  PictureWidget* pic = pageViewPanel_->picture();
  if (f.patch.empty())
    pic->updatePicture();
  else
    pic->updatePictureRect(f.x, f.y, f.x + f.patch.width(), f.y + f.patch.height());
  frameTimer_->start(int(f.waitMs));
}

void MenuTab::finishPlayback() {
  frameTimer_->stop();
  frames_.clear();
  nextFrame_ = 0;
  if (playing_) {
    playing_ = false;
    showPagePicture();
  }
}

void MenuTab::showPagePicture() {
  PictureWidget* pic = pageViewPanel_->picture();
  if (pic->picture() != &view_->page())
    pic->setPicture(&view_->page());
  else
    pic->updatePicture();
}

void MenuTab::syncTimers() {
  if (!hasMenu()) {
    stopTimers();
    return;
  }
  if (emu_->userTimerOn && emu_->userTimeoutMs > 0) {
    if (!userTimer_->isActive() || userTimer_->interval() != int(emu_->userTimeoutMs))
      userTimer_->start(int(emu_->userTimeoutMs));
  } else {
    userTimer_->stop();
  }
  const uint32_t anim = view_->animationIntervalMs();
  const bool animate = view_->animationTimerOn && anim > 0 && isVisible() && sub_->currentIndex() == SubPageView;
  if (animate) {
    if (!animTimer_->isActive() || animTimer_->interval() != int(anim)) animTimer_->start(int(anim));
  } else {
    animTimer_->stop();
  }
}

void MenuTab::stopTimers() {
  emu_->userTimerOn = false;
  view_->animationTimerOn = false;
  userTimer_->stop();
  animTimer_->stop();
}

void MenuTab::syncFit() { emu_->fit = pageViewPanel_->picture()->fitRect(); }

void MenuTab::setCursorShape(menuview::CursorShape c) {
  QWidget* vp = pageViewPanel_->picture()->viewport();
  switch (c) {
    case menuview::CursorShape::Hand: vp->setCursor(Qt::PointingHandCursor); break;
    case menuview::CursorShape::Move: vp->setCursor(Qt::SizeAllCursor); break;
    default: vp->setCursor(Qt::ArrowCursor); break;
  }
}

void MenuTab::pictureMoved(QPoint pos, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
  if (!hasMenu() || loading_) return;
  syncFit();
  if (emu_->dragging()) {
    menuview::DragKeys keys;
    keys.shift = mods & Qt::ShiftModifier;
    keys.alt = mods & Qt::AltModifier;
    keys.ctrl = mods & Qt::ControlModifier;
    keys.otherButton = buttons & ~Qt::RightButton;
    setCursorShape(emu_->mouseMove(pos.x(), pos.y(), keys));
    view_->takeFrames();
    view_->takeEvents();
    showPagePicture();
    if (!emu_->dragStatusLine().empty()) ctx_.log->status(core::StatusPanel::Detail, emu_->dragStatusLine());
    return;
  }
  if (playing_) return;
  shown_ = menuview::Image();
  setCursorShape(emu_->mouseMove(pos.x(), pos.y()));
  handleEmulatorOutput();
}

void MenuTab::picturePressed(QPoint pos, Qt::MouseButton button) {
  if (!hasMenu() || loading_) return;
  if (button == Qt::LeftButton) {
    emulate([this, pos] { emu_->leftPress(pos.x(), pos.y()); });
    return;
  }
  if (button == Qt::RightButton) {
    finishPlayback();
    syncFit();
    dragBefore_ = std::make_unique<igs::Menu>(doc_.model);
    setCursorShape(emu_->rightPress(pos.x(), pos.y()));
    if (!emu_->dragging()) dragBefore_.reset();
    showPagePicture();
  }
}

void MenuTab::pictureReleased(Qt::MouseButton button) {
  if (button != Qt::RightButton || !emu_->dragging()) return;
  setCursorShape(emu_->rightRelease());
  endDrag();
}

void MenuTab::endDrag() {
  setCursorShape(menuview::CursorShape::Arrow);
  if (!dragBefore_) return;
  // The drag moved the button in the model as it went; the whole move becomes one
  // undo step from the menu as it was at the press.
  igs::Menu after = std::move(doc_.model);
  doc_.model = std::move(*dragBefore_);
  dragBefore_.reset();
  filling_ = true;
  editDocuments(undo_, "Move button", kMergeDrag, [&] { doc_.model = std::move(after); }, doc_);
  filling_ = false;
  view_->takeFrames();
  showPagePicture();
  bogs_->refill();
}

}  // namespace morvex::app

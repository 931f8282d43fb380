#include "app/menu/effects_panel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "igs/colour.h"
#include "igs/edit.h"
#include "app/menu/picture_widget.h"
#include "menuview/effects.h"
#include "app/widgets/grid.h"
#include "app/widgets/in_place_edit.h"
#include "app/shell/qt_text.h"

namespace morvex::app {

namespace {


template <size_t N>
void fillRows(QTableWidget* t, const std::vector<std::array<std::string, N>>& rows) {
  t->setRowCount(int(rows.size()));
  for (size_t r = 0; r < rows.size(); ++r)
    for (size_t c = 0; c < N; ++c) {
      setCell(t, int(r), int(c), toQt(rows[r][c]));
      auto* it = t->item(int(r), int(c));
      it->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      // The first column (id or row number) is never typed into.
      if (c == 0) it->setFlags(it->flags() & ~Qt::ItemIsEditable);
    }
}

}  // namespace

EffectsPanel::EffectsPanel(MenuDocument& doc, QUndoStack& undo, menuview::PageView& view, core::Log& log,
                           QWidget* parent)
    : QWidget(parent), doc_(doc), undo_(undo), view_(view), log_(log) {
  setObjectName("effectsTab");
  auto* top = new QHBoxLayout(this);
  top->setContentsMargins(4, 4, 4, 4);
  auto* split = new QSplitter(Qt::Horizontal, this);
  top->addWidget(split);

  auto* left = new QWidget(split);
  auto* ll = new QVBoxLayout(left);
  ll->setContentsMargins(0, 0, 0, 0);
  QButtonGroup* group = buildChoice(left, ll);
  buildTables(left, ll);
  buildCrop(left, ll);
  buildPicture(split);
  split->setStretchFactor(0, 2);
  split->setStretchFactor(1, 3);

  timer_ = new QTimer(this);
  timer_->setSingleShot(true);
  connect(timer_, &QTimer::timeout, this, [this] { nextFrame(); });

  connectInputs(group);
  fill();
}

// The InEffects / OutEffects choice and Play, above the grids.
QButtonGroup* EffectsPanel::buildChoice(QWidget* left, QVBoxLayout* ll) {
  auto* choice = new QGroupBox(left);
  choice->setObjectName("effectsChoice");
  auto* cl = new QHBoxLayout(choice);
  cl->setContentsMargins(4, 2, 4, 2);
  inEffects_ = new QRadioButton("InEffects", choice);
  inEffects_->setObjectName("inEffectsRadio");
  outEffects_ = new QRadioButton("OutEffects", choice);
  outEffects_->setObjectName("outEffectsRadio");
  inEffects_->setChecked(true);
  auto* group = new QButtonGroup(this);
  group->addButton(inEffects_, 0);
  group->addButton(outEffects_, 1);
  cl->addWidget(inEffects_);
  cl->addWidget(outEffects_);
  cl->addStretch(1);
  play_ = new QPushButton("Play", choice);
  play_->setObjectName("playEffectsButton");
  play_->setToolTip("Play the whole sequence on the picture");
  cl->addWidget(play_);
  ll->addWidget(choice);

  return group;
}

// The three grids: windows, effects, and the composition objects of the chosen effect.
void EffectsPanel::buildTables(QWidget* left, QVBoxLayout* ll) {
  windows_ = makeTable("effectWindowTable", {"id", "X", "Y", "width", "height"}, {30, 44, 44, 44, 44}, left);
  windows_->setToolTip("Windows of the effects (right click: Edit mode)");
  effects_ = makeTable("effectTable", {" ", "duration", "palette", "c.obj."}, {30, 86, 44, 40}, left);
  effects_->setToolTip("Effects (right click: Edit mode)");
  compObjects_ = makeTable("compositionObjectTable", {" ", "object", "window", "X pos.", "Y pos."}, {30, 44, 44, 44, 44}, left);
  compObjects_->setToolTip("Composition objects of the selected effect (right click: Edit mode)");
  for (QTableWidget* t : {windows_, effects_, compObjects_}) {
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    // Numbers stay beside their captions rather than at the far edge.
    t->horizontalHeader()->setStretchLastSection(false);
  }
  windowsEdit_ = new InPlaceEditSwitch(windows_);
  effectsEdit_ = new InPlaceEditSwitch(effects_);
  compEdit_ = new InPlaceEditSwitch(compObjects_);
  ll->addWidget(new QLabel("Windows", left));
  ll->addWidget(windows_, 1);
  ll->addWidget(new QLabel("Effects", left));
  ll->addWidget(effects_, 2);
  ll->addWidget(new QLabel("Composition objects", left));
  ll->addWidget(compObjects_, 2);
}

// The crop of the selected composition object (shown, not edited here).
void EffectsPanel::buildCrop(QWidget* left, QVBoxLayout* ll) {
  auto* cropBox = new QGroupBox(left);
  auto* cg = new QGridLayout(cropBox);
  cg->setContentsMargins(4, 2, 4, 2);
  crop_ = new QCheckBox("Crop", cropBox);
  crop_->setObjectName("cropCheck");
  // Shows whether the object is cropped; the flag itself is not edited here.
  crop_->setAttribute(Qt::WA_TransparentForMouseEvents);
  crop_->setFocusPolicy(Qt::NoFocus);
  cg->addWidget(crop_, 0, 0);
  const char* names[4] = {"cropXField", "cropYField", "cropWidthField", "cropHeightField"};
  const char* labels[4] = {"X", "Y", "width", "height"};
  for (int i = 0; i < 4; ++i) {
    auto* s = new QSpinBox(cropBox);
    s->setObjectName(names[i]);
    s->setRange(0, 1919);
    s->setKeyboardTracking(false);
    s->setEnabled(false);
    cropFields_[i] = s;
    // Position on the first row, size on the second.
    cg->addWidget(new QLabel(labels[i], cropBox), i / 2, 1 + 2 * (i % 2));
    cg->addWidget(s, i / 2, 2 + 2 * (i % 2));
    connect(s, &QSpinBox::editingFinished, this, [this, i] { cropEdited(i); });
  }
  ll->addWidget(cropBox);
}

// Right of the grids: the effect picture, fitted to the window or 1:1.
void EffectsPanel::buildPicture(QSplitter* split) {
  auto* right = new QWidget(split);
  auto* rl = new QVBoxLayout(right);
  rl->setContentsMargins(0, 0, 0, 0);
  fit_ = new QCheckBox("Fit to window", right);
  fit_->setObjectName("fitEffectsCheck");
  fit_->setChecked(true);
  rl->addWidget(fit_);
  picture_ = new PictureWidget(right);
  picture_->setObjectName("effectsPicture");
  picture_->setFitToWindow(true);
  picture_->setPicture(&view_.effectPicture());
  picture_->setMinimumSize(240, 135);
  rl->addWidget(picture_, 1);
  status_ = new QLabel(right);
  status_->setObjectName("effectsStatusLabel");
  rl->addWidget(status_);
}

void EffectsPanel::connectInputs(QButtonGroup* group) {
  connect(group, &QButtonGroup::idToggled, this, [this](int, bool on) {
    if (on && !filling_) fill();
  });
  connect(effects_, &QTableWidget::currentCellChanged, this, [this](int r) {
    if (!filling_) effectClicked(r);
  });
  connect(compObjects_, &QTableWidget::currentCellChanged, this, [this](int r) {
    if (!filling_) compObjectClicked(r);
  });
  for (QTableWidget* t : {windows_, effects_, compObjects_})
    connect(t, &QTableWidget::itemChanged, this, [this, t](QTableWidgetItem* it) {
      if (!filling_) cellEdited(t, it);
    });
  connect(fit_, &QCheckBox::toggled, picture_, &PictureWidget::setFitToWindow);
  connect(play_, &QPushButton::clicked, this, [this] {
    if (playing())
      stop();
    else
      play();
  });
}

EffectsPanel::~EffectsPanel() {
  // Children outlive this part of the object: an editor committing on its way out
  // must not reach the panel.
  for (QObject* child : findChildren<QObject*>()) disconnect(child, nullptr, this, nullptr);
}

template <class F>
bool EffectsPanel::edit(const QString& what, F&& change) {
  bool ok = false;
  const bool recorded = editMenu(undo_, doc_, view_.pictures(), what, -1, [&](igs::Menu& m) { ok = change(m); });
  return ok && recorded;
}

const igs::EffectSequence* EffectsPanel::sequence() const {
  const auto& pages = doc_.model.ics.pages;
  if (page_ < 0 || size_t(page_) >= pages.size()) return nullptr;
  return &pages[size_t(page_)].effects[showingOut() ? 1 : 0];
}

bool EffectsPanel::showingOut() const { return outEffects_->isChecked(); }
int EffectsPanel::currentEffect() const {
  const auto* s = sequence();
  const int r = effects_->currentRow();
  return s && r >= 0 && size_t(r) < s->effects.size() ? r : -1;
}
int EffectsPanel::currentCompObject() const {
  const auto* s = sequence();
  const int e = currentEffect(), r = compObjects_->currentRow();
  return e >= 0 && r >= 0 && size_t(r) < s->effects[size_t(e)].objects.size() ? r : -1;
}

void EffectsPanel::menuReplaced() {
  stop();
  // Another menu (or the same one before or after an edit): its objects may differ
  // under the same ids, and earlier previews may show what is no longer there.
  view_.pictures().clear();
  igs::resizeCache(doc_.model, view_.pictures());
  view_.resetEffectPicture();
  fill();
}

void EffectsPanel::setPage(int page) {
  stop();
  page_ = page;
  view_.resetEffectPicture();
  effects_->setCurrentCell(-1, -1);
  fill();
}

void EffectsPanel::showInOut(bool out) {
  stop();
  filling_ = true;
  (out ? outEffects_ : inEffects_)->setChecked(true);
  filling_ = false;
  fill();
}

// Lists the sequence and acts as a click on the selected effect row (the first when
// none was selected).
void EffectsPanel::fill() {
  const igs::EffectSequence empty;
  const igs::EffectSequence& s = sequence() ? *sequence() : empty;
  const int keep = effects_->currentRow();
  filling_ = true;
  fillRows(windows_, menuview::effectWindowRows(s));
  fillRows(effects_, menuview::effectRows(s));
  const int row = s.effects.empty() ? -1 : std::clamp(keep, 0, int(s.effects.size()) - 1);
  effects_->setCurrentCell(row, 0);
  filling_ = false;
  effectClicked(row);
}

void EffectsPanel::fillCompObjects() {
  const auto* s = sequence();
  const int e = currentEffect();
  const int keep = compObjects_->currentRow();
  filling_ = true;
  if (e < 0) {
    compObjects_->setRowCount(0);
  } else {
    const auto& eff = s->effects[size_t(e)];
    fillRows(compObjects_, menuview::compObjectRows(eff));
    const int row = eff.objects.empty() ? -1 : std::clamp(keep, 0, int(eff.objects.size()) - 1);
    compObjects_->setCurrentCell(row, 0);
  }
  filling_ = false;
}

void EffectsPanel::effectClicked(int row) {
  fillCompObjects();
  compObjectClicked(compObjects_->currentRow());
  const auto* s = sequence();
  if (s && row >= 0 && size_t(row) < s->effects.size()) view_.previewEffect(*s, unsigned(row));
  if (!playing()) picture_->updatePicture();
}

void EffectsPanel::compObjectClicked(int) { showCrop(); }

void EffectsPanel::showCrop() {
  const int e = currentEffect(), c = currentCompObject();
  menuview::CropFields f;
  if (e >= 0 && c >= 0) f = menuview::cropFields(sequence()->effects[size_t(e)].objects[size_t(c)]);
  filling_ = true;
  crop_->setChecked(f.cropped);
  const int values[4] = {f.x, f.y, f.width, f.height};
  for (int i = 0; i < 4; ++i) {
    cropFields_[i]->setValue(values[i]);
    cropFields_[i]->setEnabled(f.enabled);
  }
  filling_ = false;
}

void EffectsPanel::cropEdited(int field) {
  if (filling_) return;
  const int e = currentEffect(), c = currentCompObject();
  if (e < 0 || c < 0) return;
  const bool out = showingOut();
  const int page = page_, value = cropFields_[field]->value();
  const bool changed = edit("Crop", [&](igs::Menu& m) {
    auto& obj = m.ics.pages[size_t(page)].effects[out ? 1 : 0].effects[size_t(e)].objects[size_t(c)];
    return menuview::setCropValue(obj, menuview::CropField(field), value);
  });
  // The value as stored (the fields cap it); nothing is redrawn until the next preview.
  showCrop();
  if (changed) Q_EMIT menuEdited();
}

// The fields the columns of the windows, effects and composition-object grids show:
// each grid shows its fields in their order, so a column is the field's position.
static std::optional<menuview::WindowField> windowField(int column) {
  if (column < 0 || column > int(menuview::WindowField::Height)) return std::nullopt;
  return menuview::WindowField(column);
}
static std::optional<menuview::EffectField> effectField(int column) {
  if (column < 0 || column > int(menuview::EffectField::ObjectCount)) return std::nullopt;
  return menuview::EffectField(column);
}
static std::optional<menuview::CompObjectField> compObjectField(int column) {
  if (column < 0 || column > int(menuview::CompObjectField::Y)) return std::nullopt;
  return menuview::CompObjectField(column);
}

void EffectsPanel::cellEdited(QTableWidget* table, QTableWidgetItem* item) {
  const int page = page_, row = item->row(), column = item->column();
  const bool out = showingOut();
  const std::string text = item->text().trimmed().toStdString();
  const int e = currentEffect();
  const auto& ics = doc_.model.ics;
  const unsigned vw = ics.width, vh = ics.height;
  const size_t objects = doc_.model.objects.size(), palettes = doc_.model.palettes.size();
  bool changed = false;
  if (table == windows_) {
    changed = edit("Effect window", [&](igs::Menu& m) {
      const auto field = windowField(column);
      return field && menuview::setEffectWindowCell(m.ics.pages[size_t(page)].effects[out], unsigned(row), *field, text,
                                                    vw, vh);
    });
  } else if (table == effects_) {
    changed = edit("Effect", [&](igs::Menu& m) {
      const auto field = effectField(column);
      return field && menuview::setEffectCell(m.ics.pages[size_t(page)].effects[out], unsigned(row), *field, text, palettes);
    });
  } else if (e >= 0) {
    changed = edit("Composition object", [&](igs::Menu& m) {
      const auto field = compObjectField(column);
      return field && menuview::setCompObjectCell(m.ics.pages[size_t(page)].effects[out], unsigned(e), unsigned(row),
                                                  *field, text, objects, vw, vh);
    });
  }
  if (!changed) log_.status(core::StatusPanel::Detail, "'" + text + "' is not accepted here");
  // Show the cell as stored (a refused value goes back to what it was), then preview
  // the effect again with the change.
  const int keepEffect = effects_->currentRow(), keepComp = compObjects_->currentRow();
  const int keepColumn = table->currentColumn();
  filling_ = true;
  const auto* s = sequence();
  if (s) {
    fillRows(windows_, menuview::effectWindowRows(*s));
    fillRows(effects_, menuview::effectRows(*s));
    effects_->setCurrentCell(keepEffect, table == effects_ ? keepColumn : 0);
  }
  filling_ = false;
  fillCompObjects();
  if (table == compObjects_) {
    filling_ = true;
    compObjects_->setCurrentCell(keepComp, keepColumn);
    filling_ = false;
  }
  if (table == windows_) {
    filling_ = true;
    windows_->setCurrentCell(row, keepColumn);
    filling_ = false;
  }
  showCrop();
  if (s && keepEffect >= 0 && size_t(keepEffect) < s->effects.size()) {
    // A moved window or object leaves its old place: start the picture over.
    view_.resetEffectPicture();
    view_.previewEffect(*s, unsigned(keepEffect));
    if (!playing()) picture_->updatePicture();
  }
  if (changed) Q_EMIT menuEdited();
}

// ---- playing the whole sequence --------------------------------------------------

bool EffectsPanel::playing() const { return player_ != nullptr; }

const menuview::Image& EffectsPanel::shownPicture() const {
  return playing() ? playPicture_ : view_.effectPicture();
}

bool EffectsPanel::play() {
  stop();
  const auto* s = sequence();
  if (!s || s->effects.empty()) return false;
  playOptions_ = view_.options();
  player_ = std::make_unique<menuview::PageView>(doc_.model, playRegs_, playOptions_, playLog_);
  playPicture_ = player_->background();
  // The engine records every step with how long it stays; nothing waits here.
  player_->renderEffects(*s);
  frames_ = player_->takeFrames();
  nextFrame_ = 0;
  picture_->setPicture(&playPicture_);
  play_->setText("Stop");
  nextFrame();
  return true;
}

void EffectsPanel::nextFrame() {
  if (!player_) return;
  if (nextFrame_ >= frames_.size()) {
    finishPlay();
    return;
  }
  const menuview::ViewFrame& f = frames_[nextFrame_++];
  if (!f.patch.empty()) {
    // Patches come from the opaque page picture: laying one over copies it.
    playPicture_.blend(f.patch, f.x, f.y);
    picture_->updatePictureRect(f.x, f.y, f.x + f.patch.width(), f.y + f.patch.height());
  }
  if (!f.status.empty()) {
    status_->setText(toQt(f.status));
    log_.status(core::StatusPanel::Detail, f.status);
  }
  timer_->start(int(f.waitMs));
}

void EffectsPanel::finishPlay() {
  timer_->stop();
  player_.reset();
  frames_.clear();
  playPicture_ = menuview::Image();
  picture_->setPicture(&view_.effectPicture());
  play_->setText("Play");
  Q_EMIT playFinished();
}

void EffectsPanel::stop() {
  if (playing()) finishPlay();
}

}  // namespace morvex::app

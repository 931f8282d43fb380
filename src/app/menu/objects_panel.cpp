#include "app/menu/objects_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cstring>

#include "core/log.h"
#include "core/save.h"
#include "core/text.h"
#include "igs/colour.h"
#include "igs/edit.h"
#include "igs/objects.h"
#include "app/menu/picture_widget.h"
#include "app/widgets/grid.h"
#include "app/shell/qt_text.h"

namespace morvex::app {

namespace {


igs::Rgb8 objectBackground(const menuview::DisplayOptions& o) {
  return {o.colObjectBackground.r, o.colObjectBackground.g, o.colObjectBackground.b};
}

// The engine's coloured picture as a picture the viewer shows.
menuview::Image toImage(const igs::RgbaImage& src) {
  menuview::Image img(src.width, src.height);
  if (!src.rgba.empty()) std::memcpy(img.pixels().data(), src.rgba.data(), src.rgba.size());
  return img;
}

void alignRight(QTableWidget* t, int row) {
  for (int c = 0; c < t->columnCount(); ++c)
    if (auto* it = t->item(row, c)) it->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

}  // namespace

ObjectsPanel::ObjectsPanel(MenuDocument& doc, QUndoStack& undo, menuview::PageView& view, core::Log& log,
                           QWidget* parent)
    : QWidget(parent), doc_(doc), undo_(undo), view_(view), log_(log) {
  setObjectName("objectsTab");
  auto* top = new QHBoxLayout(this);
  top->setContentsMargins(4, 4, 4, 4);
  auto* split = new QSplitter(Qt::Horizontal, this);
  top->addWidget(split);

  buildLists(split);
  buildViewer(split);
  split->setStretchFactor(0, 2);
  split->setStretchFactor(1, 3);

  connectInputs();
  menuReplaced();
}

// Left: the object and palette lists, each with its Delete button.
void ObjectsPanel::buildLists(QSplitter* split) {
  auto* left = new QWidget(split);
  auto* ll = new QVBoxLayout(left);
  ll->setContentsMargins(0, 0, 0, 0);
  QStringList oc, pc;
  for (const char* c : igs::kObjectGridCaptions) oc << c;
  for (const char* c : igs::kPaletteGridCaptions) pc << c;
  objects_ = makeTable("objectTable", oc, {44, 44, 44, 120}, left);
  objects_->setToolTip("Objects");
  objects_->installEventFilter(this);
  palettes_ = makeTable("paletteTable", pc, {30, 120}, left);
  palettes_->setToolTip("Palettes");
  palettes_->installEventFilter(this);
  ll->addWidget(new QLabel("Objects (Insert: load an image, Shift+Delete: delete)", left));
  ll->addWidget(objects_, 3);
  delObj_ = new QPushButton("Delete object", left);
  delObj_->setObjectName("deleteObjectButton");
  delObj_->setToolTip("Delete the selected objects (Shift+Delete in the list)");
  ll->addWidget(delObj_, 0, Qt::AlignLeft);
  ll->addWidget(new QLabel("Palettes (Shift+Delete: delete)", left));
  ll->addWidget(palettes_, 2);
  delPal_ = new QPushButton("Delete palette", left);
  delPal_->setObjectName("deletePaletteButton");
  delPal_->setToolTip("Delete the selected palettes (Shift+Delete in the list)");
  ll->addWidget(delPal_, 0, Qt::AlignLeft);
}

// Right: the object and palette choices, the import options, the file buttons and the
// viewer.
void ObjectsPanel::buildViewer(QSplitter* split) {
  auto* right = new QWidget(split);
  auto* rl = new QVBoxLayout(right);
  rl->setContentsMargins(0, 0, 0, 0);
  auto* row1 = new QHBoxLayout();
  cbObjects_ = makeList("objectChoice", {}, "Object shown", right);
  cbPalettes_ = makeList("paletteChoice", {}, "Palette the object is coloured with", right);
  palOnly_ = new QCheckBox("View palette only", right);
  palOnly_->setObjectName("paletteOnlyCheck");
  row1->addWidget(new QLabel("Object", right));
  row1->addWidget(cbObjects_);
  row1->addWidget(new QLabel("Palette", right));
  row1->addWidget(cbPalettes_);
  row1->addWidget(palOnly_);
  row1->addStretch(1);
  rl->addLayout(row1);

  auto* row2 = new QHBoxLayout();
  replaceObj_ = new QCheckBox("Replace the selected object", right);
  replaceObj_->setObjectName("replaceObjectCheck");
  replacePal_ = new QCheckBox("Replace the selected palette", right);
  replacePal_->setObjectName("replacePaletteCheck");
  row2->addWidget(replaceObj_);
  row2->addWidget(replacePal_);
  row2->addStretch(1);
  rl->addLayout(row2);

  auto* row3 = new QHBoxLayout();
  auto button = [&](const char* name, const char* text, const char* tip) {
    auto* b = new QPushButton(text, right);
    b->setObjectName(name);
    b->setToolTip(tip);
    row3->addWidget(b);
    return b;
  };
  loadObj_ = button("loadObjectButton", "Load object image", "Import an 8-bit palette PNG as an object with its palette");
  saveObj_ = button("saveObjectButton", "Save object image", "Export the object as an 8-bit PNG in the chosen palette");
  savePal_ = button("savePaletteButton", "Save palette", "Export the chosen palette as .pxml or .act");
  row3->addStretch(1);
  rl->addLayout(row3);

  viewer_ = new PictureWidget(right);
  viewer_->setObjectName("objectPicture");
  viewer_->setPicture(&viewerPic_);
  viewer_->setMinimumSize(200, 120);
  rl->addWidget(viewer_, 1);
  info_ = new QLabel(right);
  info_->setObjectName("objectInfoLabel");
  info_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  rl->addWidget(info_);
}

void ObjectsPanel::connectInputs() {
  connect(objects_, &QTableWidget::currentCellChanged, this, [this](int r) {
    if (!filling_) objectRowClicked(r);
  });
  connect(objects_, &QTableWidget::cellClicked, this, [this](int r) {
    if (!filling_) objectRowClicked(r);
  });
  connect(palettes_, &QTableWidget::currentCellChanged, this, [this](int r) {
    if (!filling_) paletteRowClicked(r);
  });
  connect(palettes_, &QTableWidget::cellClicked, this, [this](int r) {
    if (!filling_) paletteRowClicked(r);
  });
  connect(cbObjects_, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (filling_) return;
    selectObjectRow(i);
    showChosen();
  });
  connect(cbPalettes_, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (filling_) return;
    selectPaletteRow(i);
    showChosen();
  });
  connect(palOnly_, &QCheckBox::toggled, this, [this] { showChosen(); });
  connect(viewer_, &PictureWidget::pictureMoved, this, [this](QPoint p) { pictureMoved(p); });
  connect(viewer_, &PictureWidget::pictureLeft, this, [this] { viewer_->viewport()->unsetCursor(); });

  connect(loadObj_, &QPushButton::clicked, this, [this] {
    const QString title = QString(replaceObj_->isChecked() ? "Replace object, " : "Insert object, ") +
                          (replacePal_->isChecked() ? "replace palette" : "insert palette");
    const QString f = QFileDialog::getOpenFileName(this, title, QString(), "PNG (*.png)");
    if (!f.isEmpty()) importPng(f);
  });
  connect(saveObj_, &QPushButton::clicked, this, [this] {
    if (currentObject() < 0 || currentPalette() < 0) return;
    QFileDialog dlg(this, "Save image", toQt(igs::objectPngName(unsigned(currentObject()), unsigned(currentPalette()))),
                    "PNG (*.png)");
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix("png");
    if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty()) exportPng(dlg.selectedFiles().front());
  });
  connect(savePal_, &QPushButton::clicked, this, [this] {
    if (currentPalette() < 0) return;
    QFileDialog dlg(this, "Save palette", toQt(igs::paletteFileName(unsigned(currentPalette()))),
                    "Scenarist Designer (*.pxml);;Adobe ACT (colors only) (*.act)");
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix("pxml");
    connect(&dlg, &QFileDialog::filterSelected, &dlg,
            [&dlg](const QString& f) { dlg.setDefaultSuffix(f.contains("*.act") ? "act" : "pxml"); });
    if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty()) exportPalette(dlg.selectedFiles().front());
  });
  connect(delObj_, &QPushButton::clicked, this, [this] { deleteSelectedObjects(); });
  connect(delPal_, &QPushButton::clicked, this, [this] { deleteSelectedPalettes(); });
}

ObjectsPanel::~ObjectsPanel() {
  // Children outlive this part of the object: nothing they signal on their way out
  // may reach the panel.
  for (QObject* child : findChildren<QObject*>()) disconnect(child, nullptr, this, nullptr);
}

template <class F>
bool ObjectsPanel::edit(const QString& what, F&& change) {
  bool ok = false;
  const bool recorded = editMenu(undo_, doc_, view_.pictures(), what, -1, [&](igs::Menu& m) { ok = change(m); });
  return ok && recorded;
}

void ObjectsPanel::menuReplaced() {
  // The coloured pictures belong to the menu that was shown before; an undo may have
  // brought back other objects under the same ids.
  view_.pictures().clear();
  igs::resizeCache(doc_.model, view_.pictures());
  const int obj = currentObject(), pal = currentPalette();
  fillObjects();
  fillPalettes();
  fillChoices();
  filling_ = true;
  const int no = int(doc_.model.objects.size()), np = int(doc_.model.palettes.size());
  cbObjects_->setCurrentIndex(no == 0 ? -1 : std::clamp(obj, 0, no - 1));
  cbPalettes_->setCurrentIndex(np == 0 ? -1 : std::clamp(pal, 0, np - 1));
  filling_ = false;
  selectObjectRow(currentObject());
  selectPaletteRow(currentPalette());
  updateOptions();
  showChosen();
}

// Page fields (the page's palette) may have changed the references meanwhile.
void ObjectsPanel::setPage(int page) {
  page_ = page;
  fillObjects();
  fillPalettes();
  selectObjectRow(currentObject());
  selectPaletteRow(currentPalette());
}

void ObjectsPanel::fillObjects() {
  filling_ = true;
  const auto& m = doc_.model;
  objects_->setRowCount(int(m.objects.size()));
  for (unsigned i = 0; i < m.objects.size(); ++i) {
    const auto row = igs::objectGridRow(m, i);
    for (int c = 0; c < 4; ++c) setCell(objects_, int(i), c, toQt(row[size_t(c)]));
    alignRight(objects_, int(i));
  }
  filling_ = false;
}

void ObjectsPanel::fillPalettes() {
  filling_ = true;
  const auto& m = doc_.model;
  palettes_->setRowCount(int(m.palettes.size()));
  for (unsigned i = 0; i < m.palettes.size(); ++i) {
    const auto row = igs::paletteGridRow(m, i);
    for (int c = 0; c < 2; ++c) setCell(palettes_, int(i), c, toQt(row[size_t(c)]));
    alignRight(palettes_, int(i));
  }
  filling_ = false;
}

void ObjectsPanel::fillChoices() {
  filling_ = true;
  const int obj = cbObjects_->currentIndex(), pal = cbPalettes_->currentIndex();
  cbObjects_->clear();
  for (size_t i = 0; i < doc_.model.objects.size(); ++i) cbObjects_->addItem(toQt(core::hexText(i, 4)));
  cbPalettes_->clear();
  for (size_t i = 0; i < doc_.model.palettes.size(); ++i) cbPalettes_->addItem(toQt(core::hexText(i, 2)));
  cbObjects_->setCurrentIndex(std::min(obj, cbObjects_->count() - 1));
  cbPalettes_->setCurrentIndex(std::min(pal, cbPalettes_->count() - 1));
  filling_ = false;
}

void ObjectsPanel::updateOptions() {
  const bool haveObjects = !doc_.model.objects.empty(), havePalettes = !doc_.model.palettes.empty();
  replaceObj_->setEnabled(haveObjects);
  replacePal_->setEnabled(havePalettes);
  if (!haveObjects) replaceObj_->setChecked(false);
  if (!havePalettes) replacePal_->setChecked(false);
  saveObj_->setEnabled(haveObjects && havePalettes);
  savePal_->setEnabled(havePalettes);
  delObj_->setEnabled(haveObjects);
  delPal_->setEnabled(havePalettes);
}

int ObjectsPanel::currentObject() const { return cbObjects_->currentIndex(); }
int ObjectsPanel::currentPalette() const { return cbPalettes_->currentIndex(); }
QString ObjectsPanel::viewerText() const { return info_->text(); }

void ObjectsPanel::setViewerText(const QString& text) {
  info_->setText(text);
  log_.status(core::StatusPanel::Detail, text.toStdString());
}

void ObjectsPanel::selectObjectRow(int row) {
  if (row < 0 || row >= objects_->rowCount()) return;
  filling_ = true;
  objects_->setCurrentCell(row, 0);
  objects_->selectRow(row);
  filling_ = false;
}

void ObjectsPanel::selectPaletteRow(int row) {
  if (row < 0 || row >= palettes_->rowCount()) return;
  filling_ = true;
  palettes_->setCurrentCell(row, 0);
  palettes_->selectRow(row);
  filling_ = false;
}

void ObjectsPanel::objectRowClicked(int row) {
  if (row < 0 || row >= int(doc_.model.objects.size())) return;
  objects_->setToolTip("Objects\r\nRef: " + toQt(igs::objectReferences(doc_.model, unsigned(row))));
  filling_ = true;
  cbObjects_->setCurrentIndex(row);
  // The palette the object is seen in where it is used.
  if (auto pal = igs::paletteForObject(doc_.model, unsigned(row)); pal && int(*pal) < cbPalettes_->count())
    cbPalettes_->setCurrentIndex(int(*pal));
  filling_ = false;
  selectPaletteRow(currentPalette());
  showChosen();
}

void ObjectsPanel::paletteRowClicked(int row) {
  if (row < 0 || row >= int(doc_.model.palettes.size())) return;
  palettes_->setToolTip("Palettes\r\nRef: " + toQt(igs::paletteReferences(doc_.model, unsigned(row))));
  filling_ = true;
  cbPalettes_->setCurrentIndex(row);
  filling_ = false;
  showChosen();
}

void ObjectsPanel::showChosen() {
  const int obj = currentObject(), pal = currentPalette();
  if (palOnly_->isChecked()) {
    if (pal < 0) {
      viewerPic_ = menuview::Image(1, 1, view_.options().colObjectBackground);
      setViewerText("No palette");
    } else {
      viewerPic_ = toImage(igs::paletteViewPicture(doc_.model, unsigned(pal), objectBackground(view_.options())));
      setViewerText(toQt(igs::paletteTitle(unsigned(pal))));
    }
    viewer_->updatePicture();
    return;
  }
  if (obj < 0) {
    viewerPic_ = menuview::Image(1, 1, view_.options().colObjectBackground);
    viewer_->updatePicture();
    setViewerText("No object assigned");
    return;
  }
  showButtonPicture(unsigned(obj), pal < 0 ? 0u : unsigned(pal));
}

void ObjectsPanel::showButtonPicture(unsigned objectId, unsigned paletteId) {
  if (objectId == igs::kNoObject) {
    viewerPic_ = menuview::Image(1, 1, view_.options().colObjectBackground);
    viewer_->updatePicture();
    setViewerText("No object assigned");
    return;
  }
  const auto& m = doc_.model;
  if (objectId >= m.objects.size()) return;
  const igs::GraphicsObject& o = m.objects[objectId];
  // An empty slot (an id the menu skipped) has nothing to show.
  if (o.width == 0 || o.height == 0 || o.dataLength == 0) return;
  filling_ = true;
  cbObjects_->setCurrentIndex(int(objectId));
  if (int(paletteId) < cbPalettes_->count()) cbPalettes_->setCurrentIndex(int(paletteId));
  filling_ = false;
  viewerPic_ = toImage(igs::objectViewPicture(m, view_.pictures(), objectId, paletteId,
                                              objectBackground(view_.options()), log_));
  viewer_->updatePicture();
  setViewerText(toQt(igs::objectInfoText(o, paletteId)));
}

void ObjectsPanel::pictureMoved(QPoint pos) {
  const int pal = currentPalette();
  if (!palOnly_->isChecked() || pal < 0) return;
  const int entry = igs::paletteEntryAt(pos.x(), pos.y());
  if (entry < 0) {
    viewer_->viewport()->unsetCursor();
    setViewerText(toQt(igs::paletteTitle(unsigned(pal))));
    return;
  }
  viewer_->viewport()->setCursor(Qt::PointingHandCursor);
  setViewerText(toQt(igs::paletteReadout(unsigned(pal), igs::id2pal(doc_.model, unsigned(pal)), unsigned(entry))));
}

bool ObjectsPanel::importPng(const QString& file) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) {
    log_.errorStatus(QString("%1: %2").arg(file, f.errorString()).toStdString());
    return false;
  }
  const QByteArray data = f.readAll();
  std::optional<unsigned> replaceObject, replacePalette;
  if (replaceObj_->isChecked() && currentObject() >= 0) replaceObject = unsigned(currentObject());
  if (replacePal_->isChecked() && currentPalette() >= 0) replacePalette = unsigned(currentPalette());
  std::optional<igs::ImportResult> result;
  const QString what = replaceObject ? "Replace object" : "Insert object";
  const bool changed = edit(what, [&](igs::Menu& m) {
    result = igs::importObjectPng(m, view_.pictures(),
                                  std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(data.constData()),
                                                           size_t(data.size())),
                                  replaceObject, replacePalette, log_);
    return result.has_value();
  });
  if (!result) return false;
  fillObjects();
  fillPalettes();
  fillChoices();
  filling_ = true;
  cbObjects_->setCurrentIndex(int(result->objectId));
  cbPalettes_->setCurrentIndex(int(result->paletteId));
  filling_ = false;
  replaceObj_->setChecked(false);
  replacePal_->setChecked(false);
  updateOptions();
  selectObjectRow(int(result->objectId));
  selectPaletteRow(int(result->paletteId));
  showChosen();
  if (changed) Q_EMIT menuEdited();
  return changed;
}

bool ObjectsPanel::exportPng(const QString& file) {
  const int obj = currentObject(), pal = currentPalette();
  if (obj < 0 || pal < 0) return false;
  const core::Bytes png = igs::exportObjectPng(doc_.model, unsigned(obj), unsigned(pal), log_,
                                               QCoreApplication::applicationName().toStdString());
  if (png.empty()) return false;
  std::string err;
  if (!core::writeFileAtomic(file.toStdString(), png, err)) {
    log_.errorStatus(file.toStdString() + ": " + err);
    return false;
  }
  log_.info("Object " + core::hexText(unsigned(obj), 4) + " saved to " + file.toStdString());
  return true;
}

bool ObjectsPanel::exportPalette(const QString& file) {
  const int pal = currentPalette();
  if (pal < 0) return false;
  return igs::savePalette(doc_.model, unsigned(pal), file.toStdString(), log_).ok;
}

bool ObjectsPanel::deleteSelectedObjects() {
  const auto [first, last] = selectedRows(objects_);
  if (first < 0 || first >= int(doc_.model.objects.size())) return false;
  const bool changed = edit(first == last ? "Delete object" : "Delete objects", [&](igs::Menu& m) {
    return igs::deleteObjects(m, view_.pictures(), unsigned(first), unsigned(last - first + 1), log_);
  });
  if (!changed) return false;
  fillObjects();
  fillChoices();
  const int row = std::min(first, int(doc_.model.objects.size()) - 1);
  filling_ = true;
  cbObjects_->setCurrentIndex(row);
  filling_ = false;
  selectObjectRow(row);
  updateOptions();
  showChosen();
  Q_EMIT menuEdited();
  return true;
}

bool ObjectsPanel::deleteSelectedPalettes() {
  const auto [first, last] = selectedRows(palettes_);
  if (first < 0 || first >= int(doc_.model.palettes.size())) return false;
  const bool changed = edit(first == last ? "Delete palette" : "Delete palettes", [&](igs::Menu& m) {
    return igs::deletePalettes(m, view_.pictures(), unsigned(first), unsigned(last - first + 1), log_);
  });
  if (!changed) return false;
  fillPalettes();
  fillObjects();
  fillChoices();
  const int row = std::min(first, int(doc_.model.palettes.size()) - 1);
  filling_ = true;
  cbPalettes_->setCurrentIndex(row);
  filling_ = false;
  selectPaletteRow(row);
  updateOptions();
  showChosen();
  Q_EMIT menuEdited();
  return true;
}

bool ObjectsPanel::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(event);
    const bool shiftDelete = k->key() == Qt::Key_Delete && (k->modifiers() & Qt::ShiftModifier);
    if (watched == objects_) {
      if (shiftDelete) {
        deleteSelectedObjects();
        return true;
      }
      if (k->key() == Qt::Key_Insert) {
        loadObj_->click();
        return true;
      }
    } else if (watched == palettes_ && shiftDelete) {
      deleteSelectedPalettes();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace morvex::app

// The Menu tab's Objects and Effects panels, each standalone over a menu authored
// through the engine (objects imported from PNGs written here), driven with real
// clicks and keys.
#include <QBuffer>
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

#include "core/log.h"
#include "gui_tests.h"
#include "igs/colour.h"
#include "gui_test_support.h"
#include "igs/edit.h"
#include "igs/extract.h"
#include "igs/objects.h"
#include "igs/rle.h"
#include "app/menu/effects_panel.h"
#include "app/menu/objects_panel.h"
#include "app/menu/picture_widget.h"
#include "app/widgets/in_place_edit.h"

namespace morvex::menuview {
// How QCOMPARE prints a pixel.
char* toString(const Rgba& c) {
  return QTest::toString(QString("(%1, %2, %3, %4)").arg(c.r).arg(c.g).arg(c.b).arg(c.a));
}
}  // namespace morvex::menuview

using namespace morvex;
using namespace morvex::app;
using menuview::Rgba;

namespace {

constexpr Rgba kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kSilver{192, 192, 192, 255};

// An 8-bit palette PNG of one index, written by Qt as any paint program would.
QByteArray palettePng(int w, int h, int index, const QList<QRgb>& colours) {
  QImage img(w, h, QImage::Format_Indexed8);
  QList<QRgb> table = colours;
  while (table.size() < 256) table << qRgba(0, 0, 0, 255);
  img.setColorTable(table);
  img.fill(uint(index));
  QByteArray out;
  QBuffer buf(&out);
  buf.open(QIODevice::WriteOnly);
  img.save(&buf, "PNG");
  return out;
}

const QList<QRgb> kWarm = {qRgba(0, 0, 0, 0), qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
const QList<QRgb> kCool = {qRgba(0, 0, 0, 0), qRgb(255, 255, 0), qRgb(0, 255, 255), qRgb(255, 0, 255)};

// An opaque colour of an imported palette: the import keeps the PNG's own R, G, B
// beside the Y, Cr, Cb it computes from them.
Rgba stored(uint8_t r, uint8_t g, uint8_t b) { return Rgba{r, g, b, 255}; }

// A menu made as a user makes one: a new menu, objects imported from PNGs, a button,
// an in-effect whose 200 x 50 object sticks out of its 100 x 40 window, and an
// out-effect showing a cropped part in palette 1.
//   object 0: 100 x 40 red   (page 0, button 0 normal)
//   object 1: 200 x 50 green (in-effects and out-effects)
//   object 2:  60 x 30       (unused), brought in with palette 1
struct PanelMenu {
  QTemporaryDir dir;
  MenuDocument doc{"menu.mnu"};
  QUndoStack undo;
  hdmv::Registers regs;
  menuview::DisplayOptions options;
  core::MemoryLog log;
  std::unique_ptr<menuview::PageView> view;

  QString write(const QString& name, const QByteArray& png) {
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(png);
    return path;
  }

  PanelMenu() {
    igs::Menu m;
    igs::newMenu(m);
    igs::MenuPictures pics;
    auto import = [&](const QByteArray& png, std::optional<unsigned> pal) {
      const auto* p = reinterpret_cast<const uint8_t*>(png.constData());
      QVERIFY(igs::importObjectPng(m, pics, std::span<const uint8_t>(p, size_t(png.size())), std::nullopt, pal, log));
    };
    import(palettePng(100, 40, 1, kWarm), std::nullopt);
    import(palettePng(200, 50, 2, kWarm), 0u);
    import(palettePng(60, 30, 3, kCool), std::nullopt);
    igs::Button& b = m.ics.pages[0].bogs[0].buttons[0];
    b.x = 100;
    b.y = 100;
    b.normalStart = b.normalEnd = 0;
    auto& in = m.ics.pages[0].effects[0];
    in.numWindows = 1;
    in.windows[0] = {0, 500, 300, 100, 40};
    igs::Effect e;
    e.duration = 27000;  // 0.3 s
    e.paletteId = 0;
    e.objects.push_back(igs::CompositionObject{1, 0, 0, 520, 310});
    in.effects.push_back(e);
    auto& out = m.ics.pages[0].effects[1];
    out.numWindows = 1;
    out.windows[0] = {0, 0, 0, 300, 200};
    e.paletteId = 1;
    e.duration = 9000;
    e.objects = {igs::CompositionObject{1, 0, 2, 50, 50, 10, 0, 100, 50}};
    out.effects.push_back(e);
    igs::refreshMenu(m);
    doc.reset(m);
    view = std::make_unique<menuview::PageView>(doc.model, regs, options, log);
    view->selectPage(0);
  }
};

void clickRow(QTableWidget* t, int r, int c = 0) {
  t->scrollToItem(t->item(r, c));
  QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualRect(t->model()->index(r, c)).center());
}

QString cellText(QTableWidget* t, int r, int c) { return t->item(r, c) ? t->item(r, c)->text() : QString(); }

class MenuPanelsTest : public QObject {
  Q_OBJECT
private slots:
  void objectListsSelectionAndPaletteReadout();
  void importReplaceExportAndReimport();
  void deletingObjectsAndPalettesUndoes();
  void effectPreviewStaysInsideItsWindow();
  void cropAndCellEditsUndo();
  void playRunsOnATimerAndLeavesThePageAlone();
  void demoMenuReadFromItsStream();
};

void MenuPanelsTest::objectListsSelectionAndPaletteReadout() {
  PanelMenu pm;
  ObjectsPanel panel(pm.doc, pm.undo, *pm.view, pm.log);
  panel.resize(900, 600);
  panel.show();
  QVERIFY(QTest::qWaitForWindowExposed(&panel));
  auto* objects = panel.findChild<QTableWidget*>("objectTable");
  auto* palettes = panel.findChild<QTableWidget*>("paletteTable");
  QCOMPARE(objects->rowCount(), 3);
  QCOMPARE(palettes->rowCount(), 2);
  QCOMPARE(cellText(objects, 1, 0), QString("0001"));
  QCOMPARE(cellText(objects, 1, 1), QString("200"));
  QCOMPARE(cellText(objects, 0, 3), QString("0:0n"));
  QCOMPARE(cellText(objects, 1, 3), QString("0io"));
  QCOMPARE(cellText(objects, 2, 3), QString());
  QCOMPARE(cellText(palettes, 0, 1), QString("0i 0 "));
  QCOMPARE(cellText(palettes, 1, 1), QString("0o "));

  // An object seen where it is used: object 1's first reference is page 0's
  // in-effects, whose last effect colours with palette 0.
  clickRow(palettes, 1);
  QCOMPARE(panel.currentPalette(), 1);
  clickRow(objects, 1);
  QCOMPARE(panel.currentObject(), 1);
  QCOMPARE(panel.currentPalette(), 0);
  QVERIFY(objects->toolTip().endsWith("Ref: 0io"));
  QCOMPARE(panel.viewerText(), QString("Size: 200x50,  Object: 0001,  Palette: 00,  RLE pixel data: 300 (10,000)"));
  QCOMPARE(panel.viewerPicture().width(), 200);
  QCOMPARE(panel.viewerPicture().pixel(10, 10), stored(0, 255, 0));
  // The unused object keeps the palette chosen before.
  clickRow(palettes, 1);
  clickRow(objects, 2);
  QCOMPARE(panel.currentPalette(), 1);
  QCOMPARE(panel.viewerPicture().pixel(5, 5), stored(255, 0, 255));

  // The palette by itself; the entry under the mouse is read out.
  QTest::mouseClick(panel.findChild<QCheckBox*>("paletteOnlyCheck"), Qt::LeftButton);
  QCOMPARE(panel.viewerPicture().width(), 350);
  auto* viewer = panel.findChild<PictureWidget*>("objectPicture");
  QTest::mouseMove(viewer->viewport(), viewer->fromPicture(QPoint(11 + 10 * 2 + 4, 11 + 4)));
  QTRY_VERIFY(panel.viewerText().contains("Color: 02 (2)"));
  QVERIFY2(panel.viewerText().startsWith("Palette: 01 (1)      Color: 02 (2)      RGB: #"), qPrintable(panel.viewerText()));
  QCOMPARE(viewer->viewport()->cursor().shape(), Qt::PointingHandCursor);
  QTest::mouseMove(viewer->viewport(), viewer->fromPicture(QPoint(175, 100)));
  QTRY_COMPARE(panel.viewerText(), QString("Palette: 01 (1)"));
  QCOMPARE(pm.undo.count(), 0);  // looking changes nothing

  // The page's palette changed in the page fields: the lists follow on the next page
  // selection.
  pm.doc.model.ics.pages[0].paletteId = 1;
  panel.setPage(0);
  QCOMPARE(cellText(palettes, 0, 1), QString("0i "));
  QCOMPARE(cellText(palettes, 1, 1), QString("0o 0 "));
}

void MenuPanelsTest::importReplaceExportAndReimport() {
  PanelMenu pm;
  ObjectsPanel panel(pm.doc, pm.undo, *pm.view, pm.log);
  int edited = 0;
  connect(&panel, &ObjectsPanel::menuEdited, [&] { ++edited; });
  panel.show();
  QVERIFY(QTest::qWaitForWindowExposed(&panel));
  auto* objects = panel.findChild<QTableWidget*>("objectTable");
  auto* palettes = panel.findChild<QTableWidget*>("paletteTable");

  // A new object with a new palette.
  QVERIFY(panel.importPng(pm.write("new.png", palettePng(30, 20, 3, kCool))));
  QCOMPARE(pm.doc.model.objects.size(), size_t(4));
  QCOMPARE(pm.doc.model.palettes.size(), size_t(3));
  QCOMPARE(objects->rowCount(), 4);
  QCOMPARE(cellText(objects, 3, 1), QString("30"));
  QCOMPARE(panel.currentObject(), 3);
  QCOMPARE(panel.currentPalette(), 2);
  QCOMPARE(panel.viewerPicture().pixel(0, 0), stored(255, 0, 255));
  QCOMPARE(pm.undo.count(), 1);
  QCOMPARE(edited, 1);

  // Too big for the 1920 x 1080 menu: refused, nothing recorded.
  QVERIFY(!panel.importPng(pm.write("big.png", palettePng(1921, 2, 1, kWarm))));
  QCOMPARE(QString::fromStdString(pm.log.errorText), QString("Not supported file format!"));
  QCOMPARE(pm.undo.count(), 1);

  // Replacing object 2 and palette 1 keeps the counts; the options clear afterwards.
  clickRow(objects, 2);
  clickRow(palettes, 1);
  auto* replaceObj = panel.findChild<QCheckBox*>("replaceObjectCheck");
  auto* replacePal = panel.findChild<QCheckBox*>("replacePaletteCheck");
  QTest::mouseClick(replaceObj, Qt::LeftButton);
  QTest::mouseClick(replacePal, Qt::LeftButton);
  QVERIFY(replaceObj->isChecked() && replacePal->isChecked());
  QVERIFY(panel.importPng(pm.write("repl.png", palettePng(40, 10, 1, kWarm))));
  QCOMPARE(pm.doc.model.objects.size(), size_t(4));
  QCOMPARE(pm.doc.model.palettes.size(), size_t(3));
  QCOMPARE(cellText(objects, 2, 1), QString("40"));
  QCOMPARE(cellText(objects, 2, 2), QString("10"));
  QVERIFY(!replaceObj->isChecked() && !replacePal->isChecked());
  // The cache was refreshed: the new object in the new colours, not the old picture.
  QCOMPARE(panel.viewerPicture().width(), 40);
  QCOMPARE(panel.viewerPicture().pixel(0, 0), stored(255, 0, 0));

  // Undo brings the old object back; the panel follows the document.
  connect(&pm.doc, &Document::modelReplaced, &panel, &ObjectsPanel::menuReplaced);
  pm.undo.undo();
  QCOMPARE(cellText(objects, 2, 1), QString("60"));
  QCOMPARE(pm.doc.model.palettes[1].rgbt[3].b, uint8_t(stored(255, 0, 255).b));

  // Export object 0 in palette 0, read it as an independent reader would, and bring
  // it back: the indices survive and the colours are the palette's.
  clickRow(objects, 0);
  QCOMPARE(panel.currentPalette(), 0);
  const QString exported = pm.dir.filePath("obj0.png");
  QVERIFY(panel.exportPng(exported));
  QImage back(exported);
  QCOMPARE(back.format(), QImage::Format_Indexed8);
  QCOMPARE(back.size(), QSize(100, 40));
  QCOMPARE(back.pixelIndex(50, 20), 1);
  const Rgba red = stored(255, 0, 0);
  QCOMPARE(back.pixel(50, 20), qRgb(red.r, red.g, red.b));
  QVERIFY(panel.importPng(exported));
  const auto& objs = pm.doc.model.objects;
  QCOMPARE(objs.size(), size_t(5));
  QVERIFY(objs[4].picture && objs[0].picture);
  QCOMPARE(objs[4].picture->pixels, objs[0].picture->pixels);
  QCOMPARE(pm.doc.model.palettes.back().rgbt[1], pm.doc.model.palettes[0].rgbt[1]);

  // Palette files: the colour table is exactly 768 bytes of R, G, B.
  clickRow(palettes, 0);
  const QString act = pm.dir.filePath("pal.act");
  QVERIFY(panel.exportPalette(act));
  QFile f(act);
  QVERIFY(f.open(QIODevice::ReadOnly));
  const QByteArray bytes = f.readAll();
  QCOMPARE(bytes.size(), 768);
  QCOMPARE(uint8_t(bytes[3]), red.r);
  QCOMPARE(uint8_t(bytes[4]), red.g);
}

void MenuPanelsTest::deletingObjectsAndPalettesUndoes() {
  PanelMenu pm;
  ObjectsPanel panel(pm.doc, pm.undo, *pm.view, pm.log);
  connect(&pm.doc, &Document::modelReplaced, &panel, &ObjectsPanel::menuReplaced);
  panel.show();
  QVERIFY(QTest::qWaitForWindowExposed(&panel));
  auto* objects = panel.findChild<QTableWidget*>("objectTable");
  auto* palettes = panel.findChild<QTableWidget*>("paletteTable");
  const igs::Menu before = pm.doc.model;

  // Referenced: refused with the text, nothing recorded.
  clickRow(objects, 0);
  QTest::keyClick(objects, Qt::Key_Delete, Qt::ShiftModifier);
  QCOMPARE(QString::fromStdString(pm.log.errorText), QString("Cannot delete object. Remove all reference first."));
  QCOMPARE(objects->rowCount(), 3);
  QCOMPARE(pm.undo.count(), 0);
  clickRow(palettes, 1);
  QTest::keyClick(palettes, Qt::Key_Delete, Qt::ShiftModifier);
  QCOMPARE(QString::fromStdString(pm.log.errorText), QString("Cannot delete palette. Remove all reference first."));
  QCOMPARE(pm.doc.model, before);

  // Unused: gone, and the choices follow.
  clickRow(objects, 2);
  QTest::keyClick(objects, Qt::Key_Delete, Qt::ShiftModifier);
  QCOMPARE(objects->rowCount(), 2);
  QCOMPARE(pm.doc.model.objects.size(), size_t(2));
  QCOMPARE(pm.undo.count(), 1);
  QVERIFY(pm.doc.modified());

  // Undo: every byte of the menu is back (the object's coded data included) and the
  // list shows it again; the viewer colours the restored object, not a stale picture.
  pm.undo.undo();
  QCOMPARE(pm.doc.model, before);
  QVERIFY(!pm.doc.modified());
  QCOMPARE(objects->rowCount(), 3);
  clickRow(palettes, 1);
  clickRow(objects, 2);
  QCOMPARE(panel.viewerPicture().pixel(1, 1), stored(255, 0, 255));
  // A menu written from it matches the original's.
  igs::MenuPictures a, b;
  QCOMPARE(igs::rle_encode(pm.doc.model, a, 2), igs::rle_encode(before, b, 2));
  QCOMPARE(a.encoded, b.encoded);

  // With the out-effect moved to palette 0, palette 1 is unused and can go.
  pm.doc.model.ics.pages[0].effects[1].effects[0].paletteId = 0;
  panel.menuReplaced();
  clickRow(palettes, 1);
  QTest::mouseClick(panel.findChild<QPushButton*>("deletePaletteButton"), Qt::LeftButton);
  QCOMPARE(palettes->rowCount(), 1);
  // The last palette never goes.
  clickRow(palettes, 0);
  QTest::keyClick(palettes, Qt::Key_Delete, Qt::ShiftModifier);
  QCOMPARE(QString::fromStdString(pm.log.errorText), QString("Cannot delete palette. Remove all objects first."));
  QCOMPARE(palettes->rowCount(), 1);
}

void MenuPanelsTest::effectPreviewStaysInsideItsWindow() {
  PanelMenu pm;
  EffectsPanel panel(pm.doc, pm.undo, *pm.view, pm.log);
  panel.resize(1000, 600);
  panel.show();
  QVERIFY(QTest::qWaitForWindowExposed(&panel));
  panel.setPage(0);
  auto* windows = panel.findChild<QTableWidget*>("effectWindowTable");
  auto* effects = panel.findChild<QTableWidget*>("effectTable");
  auto* comps = panel.findChild<QTableWidget*>("compositionObjectTable");
  QCOMPARE(windows->rowCount(), 1);
  QCOMPARE(cellText(windows, 0, 0), QString("00"));
  QCOMPARE(cellText(windows, 0, 1), QString("500"));
  QCOMPARE(cellText(windows, 0, 4), QString("40"));
  QCOMPARE(cellText(effects, 0, 1), QString("0:00:00.300"));
  QCOMPARE(cellText(effects, 0, 3), QString("1"));
  QCOMPARE(cellText(comps, 0, 1), QString("0001"));
  QCOMPARE(cellText(comps, 0, 3), QString("520"));

  // Selecting the effect previews it: the object inside the window, the rest of the
  // object (it is wider than the window) not drawn.
  clickRow(effects, 0);
  const menuview::Image& pic = pm.view->effectPicture();
  QCOMPARE(pic.pixel(550, 320), stored(0, 255, 0));
  QCOMPARE(pic.pixel(505, 305), kSilver);   // inside the window, left of the object
  QCOMPARE(pic.pixel(650, 320), kSilver);   // the object, outside the window
  QCOMPARE(pic.pixel(550, 345), kSilver);   // below the window
  QCOMPARE(&panel.shownPicture(), &pic);
  QVERIFY(!panel.findChild<QCheckBox*>("cropCheck")->isChecked());
  QVERIFY(!panel.findChild<QSpinBox*>("cropXField")->isEnabled());

  // The out-effects, as a click on the page's out-effect counts would show them.
  QTest::mouseClick(panel.findChild<QRadioButton*>("outEffectsRadio"), Qt::LeftButton);
  QVERIFY(panel.showingOut());
  QCOMPARE(cellText(windows, 0, 3), QString("300"));
  QCOMPARE(cellText(effects, 0, 2), QString("01"));
  QVERIFY(panel.findChild<QCheckBox*>("cropCheck")->isChecked());
  QCOMPARE(panel.findChild<QSpinBox*>("cropXField")->value(), 10);
  QCOMPARE(panel.findChild<QSpinBox*>("cropWidthField")->value(), 100);
  // The cropped part: 100 x 50 at (50, 50) in palette 1's colour for index 2 (cyan).
  QCOMPARE(pic.pixel(60, 60), stored(0, 255, 255));
  QCOMPARE(pic.pixel(149, 99), stored(0, 255, 255));
  QCOMPARE(pic.pixel(151, 60), kSilver);
  // The in-effect preview drawn before stays until the page is selected again.
  QCOMPARE(pic.pixel(550, 320), stored(0, 255, 0));
  panel.showInOut(false);
  QVERIFY(!panel.showingOut());
  panel.setPage(0);
  QCOMPARE(pm.view->effectPicture().pixel(60, 60), kSilver);
}

void MenuPanelsTest::cropAndCellEditsUndo() {
  PanelMenu pm;
  EffectsPanel panel(pm.doc, pm.undo, *pm.view, pm.log);
  connect(&pm.doc, &Document::modelReplaced, &panel, &EffectsPanel::menuReplaced);
  int edited = 0;
  connect(&panel, &EffectsPanel::menuEdited, [&] { ++edited; });
  panel.resize(1000, 600);
  panel.show();
  QVERIFY(QTest::qWaitForWindowExposed(&panel));
  panel.showInOut(true);
  auto cropped = [&]() -> igs::CompositionObject& { return pm.doc.model.ics.pages[0].effects[1].effects[0].objects[0]; };

  // Typing a width and leaving the field stores it, once, as one undo step.
  auto* w = panel.findChild<QSpinBox*>("cropWidthField");
  QVERIFY(w->isEnabled());
  w->setFocus();
  QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(w, "60");
  QTest::keyClick(w, Qt::Key_Return);
  QCOMPARE(cropped().cropWidth, 60);
  QCOMPARE(pm.undo.count(), 1);
  QCOMPARE(edited, 1);
  QVERIFY(pm.doc.modified());
  pm.undo.undo();
  QCOMPARE(cropped().cropWidth, 100);
  QCOMPARE(w->value(), 100);
  QVERIFY(!pm.doc.modified());
  pm.undo.redo();
  QCOMPARE(w->value(), 60);

  // The effects grid in edit mode: a typed duration is stored; a palette the menu does
  // not have is refused and the cell shows the stored value again.
  auto* effects = panel.findChild<QTableWidget*>("effectTable");
  for (auto* s : panel.findChildren<InPlaceEditSwitch*>())
    if (s->parent() == effects) s->editAction()->trigger();
  auto typeInto = [](QTableWidget* t, int r, int c, const QString& text) {
    clickRow(t, r, c);
    QLineEdit* ed = nullptr;
    QTRY_VERIFY((ed = qobject_cast<QLineEdit*>(t->indexWidget(t->model()->index(r, c)))) != nullptr);
    QTest::keyClick(ed, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(ed, text);
    QTest::keyClick(ed, Qt::Key_Return);
    // The editor hands its text over once the event loop runs.
    QTest::qWait(50);
  };
  typeInto(effects, 0, 1, "0:00:01.250");
  QCOMPARE(pm.doc.model.ics.pages[0].effects[1].effects[0].duration, 112500u);
  QCOMPARE(cellText(effects, 0, 1), QString("0:00:01.250"));
  const int steps = pm.undo.count();
  typeInto(effects, 0, 2, "07");
  QCOMPARE(pm.doc.model.ics.pages[0].effects[1].effects[0].paletteId, 1);
  QCOMPARE(cellText(effects, 0, 2), QString("01"));
  QCOMPARE(pm.undo.count(), steps);

  // Moving the composition object is previewed at its new place.
  auto* comps = panel.findChild<QTableWidget*>("compositionObjectTable");
  for (auto* s : panel.findChildren<InPlaceEditSwitch*>())
    if (s->parent() == comps) s->editAction()->trigger();
  typeInto(comps, 0, 3, "150");
  QCOMPARE(cropped().x, 150);
  QCOMPARE(pm.view->effectPicture().pixel(160, 60), stored(0, 255, 255));
  QCOMPARE(pm.view->effectPicture().pixel(60, 60), kSilver);
  pm.undo.undo();
  QCOMPARE(cropped().x, 50);
  QCOMPARE(cellText(comps, 0, 3), QString("50"));
  // The preview follows the undo: back at its old place, nothing left at the new one.
  QCOMPARE(pm.view->effectPicture().pixel(60, 60), stored(0, 255, 255));
  QCOMPARE(pm.view->effectPicture().pixel(160, 60), kSilver);
}

void MenuPanelsTest::playRunsOnATimerAndLeavesThePageAlone() {
  PanelMenu pm;
  EffectsPanel panel(pm.doc, pm.undo, *pm.view, pm.log);
  panel.resize(800, 500);
  panel.show();
  QVERIFY(QTest::qWaitForWindowExposed(&panel));
  const menuview::Image pageBefore = pm.view->page();
  bool finished = false;
  connect(&panel, &EffectsPanel::playFinished, [&] { finished = true; });
  QTest::mouseClick(panel.findChild<QPushButton*>("playEffectsButton"), Qt::LeftButton);
  // The first step shows at once; the window keeps handling events while it lasts.
  QVERIFY(panel.playing());
  QCOMPARE(panel.shownPicture().pixel(550, 320), stored(0, 255, 0));
  QCOMPARE(panel.shownPicture().pixel(650, 320), pm.options.colBackground);
  QCOMPARE(panel.findChild<QPushButton*>("playEffectsButton")->text(), QString("Stop"));
  QTRY_VERIFY_WITH_TIMEOUT(finished, 3000);
  QVERIFY(!panel.playing());
  QCOMPARE(&panel.shownPicture(), &pm.view->effectPicture());
  QVERIFY(pm.log.statusText[1].starts_with("Effect: 0  duration: 300ms"));
  // The Menu tab's page is another picture: playing here does not touch it.
  QCOMPARE(pm.view->page(), pageBefore);

  // Stop ends a play at once.
  QTest::mouseClick(panel.findChild<QPushButton*>("playEffectsButton"), Qt::LeftButton);
  QVERIFY(panel.playing());
  QTest::mouseClick(panel.findChild<QPushButton*>("playEffectsButton"), Qt::LeftButton);
  QVERIFY(!panel.playing());
}

void MenuPanelsTest::demoMenuReadFromItsStream() {
  QTemporaryDir tmp;
  const std::filesystem::path demo = guitest::demoDisc(tmp.path().toStdString());
  if (demo.empty()) MORVEX_QSKIP_OR_FAIL("the demo disc generator is not part of this build");
  PanelMenu pm;
  igs::Menu m;
  QVERIFY(igs::loadMenuSource(demo / "STREAM" / "00010.m2ts", m, pm.log, 0x1400).complete());
  pm.doc.reset(m);
  pm.view->selectPage(0);

  ObjectsPanel objectsPanel(pm.doc, pm.undo, *pm.view, pm.log);
  connect(&pm.doc, &Document::modelReplaced, &objectsPanel, &ObjectsPanel::menuReplaced);
  objectsPanel.resize(1000, 600);
  objectsPanel.show();
  QVERIFY(QTest::qWaitForWindowExposed(&objectsPanel));
  auto* objects = objectsPanel.findChild<QTableWidget*>("objectTable");
  QCOMPARE(objects->rowCount(), int(pm.doc.model.objects.size()));
  // Object 2 is the normal face of "Play Movie", button 0 of page 0: lettered in white.
  QCOMPARE(cellText(objects, 2, 3), QString("0:0n"));
  clickRow(objects, 2);
  QVERIFY(objectsPanel.viewerText().startsWith("Size: 360x90,  Object: 0002,  Palette: 00"));
  int white = 0;
  const menuview::Image& face = objectsPanel.viewerPicture();
  for (int y = 25; y < 65; ++y)
    for (int x = 20; x < 340; ++x) white += face.pixel(x, y).r > 240 && face.pixel(x, y).b > 240;
  QVERIFY2(white > 300, qPrintable(QString::number(white)));

  EffectsPanel effectsPanel(pm.doc, pm.undo, *pm.view, pm.log);
  effectsPanel.resize(1000, 600);
  effectsPanel.show();
  QVERIFY(QTest::qWaitForWindowExposed(&effectsPanel));
  effectsPanel.setPage(0);
  auto* effects = effectsPanel.findChild<QTableWidget*>("effectTable");
  QCOMPARE(effects->rowCount(), 3);
  QCOMPARE(cellText(effects, 0, 2), QString("01"));
  QCOMPARE(cellText(effects, 2, 2), QString("00"));
  // The first step of the fade: the title, partly transparent, over the background.
  const menuview::Image& pic = pm.view->effectPicture();
  QVERIFY(pic.pixel(500, 200) != kSilver);
  QCOMPARE(pic.pixel(470, 200), kSilver);  // left of the title's window
  clickRow(effects, 2);
  const Rgba opaque = pic.pixel(500, 200);
  clickRow(effects, 0);
  QVERIFY(pic.pixel(500, 200) != opaque);
  bool finished = false;
  connect(&effectsPanel, &EffectsPanel::playFinished, [&] { finished = true; });
  QVERIFY(effectsPanel.play());
  QTRY_VERIFY_WITH_TIMEOUT(finished, 3000);
  QVERIFY(pm.log.statusText[1].starts_with("Effect: 2  duration: 200ms"));
}

}  // namespace

MORVEX_GUI_TEST(MenuPanelsTest)
#include "menu_panels_test.moc"

// The Menu tab driven as a user does: a menu loaded from a menu file and from the demo
// disc's AV stream, navigated with the navigate buttons and the mouse, a button
// activated (its program changes a register and the page), a button dragged and the
// drag undone, a BOG cell, a button cell and a command edited, a page created and
// deleted, the menu saved and muxed and read back through the engine. A second,
// independent emulator over the same menu is the oracle for every step on screen. A
// composition without its pictures shows placeholders and the "objects missing" mark;
// a menu read only in part keeps Save off until the user allows it.
#include <QApplication>
#include <map>
#include <QProgressBar>
#include <QThread>
#include <QFileDialog>
#include <QDialogButtonBox>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>
#include <QUndoStack>

#include "clip/clpi.h"
#include "core/log.h"
#include "playlist/mpls_reader.h"
#include "core/save.h"
#include "hdmv/command_edit.h"
#include "gui_test_support.h"
#include "gui_tests.h"
#include "igs/edit.h"
#include "igs/extract.h"
#include "igs/mux.h"
#include "igs/reader.h"
#include "igs/writer.h"
#include "app/menu/bogs_panel.h"
#include "app/menu/button_grid.h"
#include "app/menu/menu_tab.h"
#include "app/menu/navigate_panel.h"
#include "app/menu/page_view_panel.h"
#include "app/menu/picture_widget.h"
#include "menuview/emulator.h"
#include "app/panels/execute_panel.h"
#include "app/shell/status_line.h"
#include "support/test_support.h"
#include "app/widgets/command_editor_panel.h"
#include "app/widgets/command_table.h"
#include "app/widgets/in_place_edit.h"

using namespace morvex;
using namespace morvex::app;
namespace fs = std::filesystem;

namespace {

QString qs(const fs::path& p) { return QString::fromStdString(p.string()); }

// The same menu in an emulator of its own: what the tab shows must be what the engine
// computes for the same inputs.
struct Oracle {
  igs::Menu menu;
  hdmv::Registers regs;
  menuview::DisplayOptions options;
  core::MemoryLog log;
  hdmv::Interpreter interp{regs};
  std::unique_ptr<menuview::PageView> view;
  std::unique_ptr<menuview::MenuEmulator> emu;
  explicit Oracle(const igs::Menu& m) : menu(m) {
    options.placeholders = true;
    view = std::make_unique<menuview::PageView>(menu, regs, options, log);
    emu = std::make_unique<menuview::MenuEmulator>(*view, interp);
    emu->menuOpened();
  }
};

// The answers to "Mux into clip…": its file dialogs get `source` and `output` (and
// Yes when the save dialog asks before replacing a file), its playlist question
// `addStream`; what came is recorded.
struct MuxIntoAnswers {
  QString source, output;
  QMessageBox::StandardButton addStream;
  bool sourceGiven = false, outputGiven = false, asked = false;
  QString question;
};

// Presses the button with a timer answering each dialog once it is on screen (found
// among the top-level windows: the active modal widget is not always the dialog on a
// loaded machine). A file dialog still open a while after it was answered is answered
// again; every answer comes from an event of its own, so no dialog's loop runs inside
// the timer.
void clickMuxIntoClip(QPushButton* button, MuxIntoAnswers& a) {
  int polls = 0;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&a, &polls] {
    QMessageBox* box = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) box = b;
    if (box) {
      QMessageBox::StandardButton answer = a.addStream;
      if (box->parentWidget() && qobject_cast<QFileDialog*>(box->parentWidget())) answer = QMessageBox::Yes;
      else if (!a.asked) a.asked = true, a.question = box->text();
      if (QAbstractButton* b = box->button(answer))
        QTimer::singleShot(0, b, [b] { QTest::mouseClick(b, Qt::LeftButton); });
      return;
    }
    QFileDialog* fd = guitest::visibleFileDialog();
    if (!fd || !fd->findChild<QLineEdit*>("fileNameEdit")) return;
    const bool save = fd->acceptMode() == QFileDialog::AcceptSave;
    bool& given = save ? a.outputGiven : a.sourceGiven;
    if (given && ++polls % 25 != 0) return;
    given = true;
    const QString path = save ? a.output : a.source;
    QTimer::singleShot(0, fd, [fd, path] { guitest::answerFileDialog(fd, path); });
  });
  poll.start(20);
  QTest::mouseClick(button, Qt::LeftButton);
  poll.stop();
}

void clickTab(MainWindow* w, int index) {
  QTabBar* bar = w->tabs()->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

void clickSubTab(MenuTab* tab, int index) {
  QTabBar* bar = tab->subTabs()->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

bool loadAndWait(MenuTab* tab, const fs::path& file) {
  QSignalSpy done(tab, &MenuTab::loadFinished);
  if (!tab->loadFile(qs(file))) return false;
  if (!done.wait(20000)) return false;
  return done.takeFirst().at(0).toBool();
}

void clickCell(QTableWidget* t, int r, int c) {
  t->scrollToItem(t->item(r, c));
  QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualRect(t->model()->index(r, c)).center());
}

void typeIntoCell(QTableWidget* t, int r, int c, const QString& text) {
  clickCell(t, r, c);
  QLineEdit* ed = nullptr;
  QTRY_VERIFY((ed = qobject_cast<QLineEdit*>(t->indexWidget(t->model()->index(r, c)))) != nullptr);
  QTest::keyClick(ed, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(ed, text);
  QTest::keyClick(ed, Qt::Key_Return);
  // The delegate commits on Return through a queued call.
  QApplication::processEvents();
}

void typeIntoField(QLineEdit* e, const QString& text) {
  e->setFocus();
  QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(e, text);
  QTest::keyClick(e, Qt::Key_Return);
}

// A mouse event on the page view's viewport at a page pixel (1:1 view).
void sendMouse(PictureWidget* pic, QEvent::Type type, QPoint pagePos, Qt::MouseButton button, Qt::MouseButtons held,
               Qt::KeyboardModifiers mods = {}) {
  const QPoint at = pic->fromPicture(pagePos);
  QMouseEvent e(type, QPointF(at), QPointF(pic->viewport()->mapToGlobal(at)), button, held, mods);
  QApplication::sendEvent(pic->viewport(), &e);
}

// A two-page menu whose pictures are absent (placeholders stand in): page 0 has
// buttons 0 and 1 in two BOGs, 0 above 1; button 0 moves 7 into GPR 5 and shows
// button 0 of page 1; button 1 moves 9 into GPR 6.
igs::Menu twoPageMenu() {
  igs::Menu m;
  igs::newMenu(m);
  igs::createBog(m, 0);
  igs::createPage(m);
  igs::refreshMenu(m);
  auto& p0 = m.ics.pages[0];
  p0.defaultSelected = 0;
  auto& b0 = p0.bogs[0].buttons[0];
  auto& b1 = p0.bogs[1].buttons[0];
  p0.bogs[0].defaultValid = 0;
  p0.bogs[1].defaultValid = 1;
  b0.x = 200, b0.y = 200, b0.lower = 1;
  b1.x = 200, b1.y = 400, b1.upper = 0;
  for (igs::Button* b : {&b0, &b1}) {
    b->normalStart = b->normalEnd = 1;
    b->selectedStart = b->selectedEnd = 2;
    b->activatedStart = b->activatedEnd = 3;
  }
  b0.commands = {{0x50400001, 5, 7}, {0x51C00003, 0x80000000, 0x80000001}};
  b1.commands = {{0x50400001, 6, 9}};
  auto& p1 = m.ics.pages[1];
  p1.bogs[0].defaultValid = 0;
  p1.defaultSelected = 0;
  p1.bogs[0].buttons[0].x = 600;
  p1.bogs[0].buttons[0].y = 500;
  p1.bogs[0].buttons[0].normalStart = p1.bogs[0].buttons[0].normalEnd = 1;
  p1.bogs[0].buttons[0].selectedStart = p1.bogs[0].buttons[0].selectedEnd = 2;
  igs::refreshMenu(m);
  return m;
}

fs::path writeMenuFile(igs::Menu m, const fs::path& file) {
  core::MemoryLog log;
  if (!igs::saveMenuFile(m, file.parent_path(), file.filename().string(), core::SaveSettings{.backup = false}, log))
    return {};
  return file;
}

igs::Menu loadMenuOrFail(const fs::path& file) {
  igs::Menu m;
  core::MemoryLog log;
  igs::loadMenuSource(file, m, log);
  return m;
}

// The demo disc's menu stream: the first AV stream whose IG PID reads completely.
fs::path demoMenuStream(const fs::path& demo) {
  std::vector<fs::path> streams;
  for (const auto& e : fs::directory_iterator(demo / "STREAM")) streams.push_back(e.path());
  std::sort(streams.begin(), streams.end());
  for (const fs::path& s : streams) {
    igs::Menu m;
    core::MemoryLog log;
    if (igs::loadMenuSource(s, m, log).complete() && m.loaded && !m.ics.pages.empty()) return s;
  }
  return {};
}

void saveShot(MainWindow* w, const QString& name) {
  const QString dir = qEnvironmentVariable("MORVEX_MENU_SHOTS");
  if (dir.isEmpty()) return;
  QApplication::processEvents();
  w->grab().save(dir + "/" + name + ".png");
}

}  // namespace

class MenuTabTest : public QObject {
  Q_OBJECT
private slots:
  void init() { guitest::clearSettings(); }

  // Start, the navigate buttons, the mouse (hover and click), a button program that
  // changes a register and the page, and a right-drag undone with Ctrl+Z, each step
  // compared with the engine's own emulator over the same menu.
  void emulatorOnScreenFollowsTheEngine() {
    test::TempDir tmp;
    const fs::path file = writeMenuFile(twoPageMenu(), tmp.path() / "two.mnu");
    QVERIFY(!file.empty());
    auto w = guitest::startWindow();
    clickTab(w.get(), TabMenu);
    MenuTab* tab = w->menuTab();
    QVERIFY(loadAndWait(tab, file));
    QCOMPARE(tab->pageChoice()->count(), 2);
    QVERIFY(w->executePanel()->isVisible());
    QVERIFY(tab->navigatePanel()->isVisible());
    clickSubTab(tab, MenuTab::SubPageView);
    PictureWidget* pic = tab->pageViewPanel()->picture();
    QVERIFY(tab->pageViewPanel()->objectsMissingMark()->isVisible());

    Oracle o(tab->document().model);
    auto& regs = w->context().regs;
    auto same = [&] {
      return regs.psr[10] == o.regs.psr[10] && regs.psr[11] == o.regs.psr[11] && regs.gpr == o.regs.gpr &&
             tab->pageView().page() == o.view->page();
    };

    // Start through the execute panel: button 0 selected on page 0.
    QTest::mouseClick(w->executePanel()->startButton(), Qt::LeftButton);
    o.emu->start(0);
    QVERIFY(same());
    QCOMPARE(regs.psr[10], 0u);
    // Down and Up with the navigate panel.
    QTest::mouseClick(tab->navigatePanel()->button("D"), Qt::LeftButton);
    o.emu->move(menuview::NavKey::Down);
    QVERIFY(same());
    QCOMPARE(regs.psr[10], 1u);
    // "Sel" runs button 1: GPR 6 becomes 9, the page stays.
    QTest::mouseClick(tab->navigatePanel()->button("Sel"), Qt::LeftButton);
    o.emu->select();
    QVERIFY(same());
    QCOMPARE(regs.gpr[6], 9u);
    QCOMPARE(regs.psr[11], 0u);

    // Hovering over the upper neighbour's hot area selects it.
    const QPoint onButton0(200 + 20, 200 + 15);
    sendMouse(pic, QEvent::MouseMove, onButton0, Qt::NoButton, Qt::NoButton);
    o.emu->mouseMove(onButton0.x(), onButton0.y());
    QVERIFY(same());
    QCOMPARE(regs.psr[10], 0u);
    // Over the selected button now: the pointing hand.
    sendMouse(pic, QEvent::MouseMove, onButton0 + QPoint(1, 0), Qt::NoButton, Qt::NoButton);
    o.emu->mouseMove(onButton0.x() + 1, onButton0.y());
    QVERIFY(same());
    QCOMPARE(pic->viewport()->cursor().shape(), Qt::PointingHandCursor);

    // A key pressed on the page view shows its code in status panel 1.
    pic->setFocus();
    QTest::keyClick(pic, Qt::Key_5);
    QVERIFY(w->statusLine()->panelText(1).trimmed().toUInt() > 0);

    // A right-drag of button 0 by (+40, +30), in one undo step.
    const igs::Menu beforeDrag = tab->document().model;
    sendMouse(pic, QEvent::MouseButtonPress, onButton0, Qt::RightButton, Qt::RightButton);
    QVERIFY(tab->emulator().dragging());
    sendMouse(pic, QEvent::MouseMove, onButton0 + QPoint(20, 10), Qt::NoButton, Qt::RightButton);
    sendMouse(pic, QEvent::MouseMove, onButton0 + QPoint(40, 30), Qt::NoButton, Qt::RightButton);
    sendMouse(pic, QEvent::MouseButtonRelease, onButton0 + QPoint(40, 30), Qt::RightButton, Qt::NoButton);
    QVERIFY(!tab->emulator().dragging());
    const auto& moved = tab->document().model.ics.pages[0].bogs[0].buttons[0];
    QCOMPARE(int(moved.x), 240);
    QCOMPARE(int(moved.y), 230);
    QCOMPARE(int(tab->document().model.pageButtons[0][0].x), 240);
    QVERIFY(tab->document().modified());
    QCOMPARE(tab->undoStack()->count(), 1);
    QTest::keyClick(w.get(), Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(tab->document().model == beforeDrag);
    QVERIFY(!tab->document().modified());
    // A menu read whole can be saved as a menu file, edited or not.
    QVERIFY(w->findChild<QPushButton*>("saveButton")->isEnabled());

    // A left click on the selected button activates it: GPR 5 = 7 and page 1 is shown,
    // with the page choice following the emulator.
    sendMouse(pic, QEvent::MouseButtonPress, onButton0, Qt::LeftButton, Qt::LeftButton);
    sendMouse(pic, QEvent::MouseButtonRelease, onButton0, Qt::LeftButton, Qt::NoButton);
    o.emu->leftPress(onButton0.x(), onButton0.y());
    QCOMPARE(regs.gpr[5], 7u);
    QCOMPARE(regs.psr[11], 1u);
    QVERIFY(same());
    QCOMPARE(tab->pageChoice()->currentIndex(), 1);
    QCOMPARE(tab->bogsPanel()->page(), 1);
    // Whatever frames the page change played, the picture ends as the engine's.
    QTRY_COMPARE(pic->picture(), &tab->pageView().page());
  }

  // The demo menu read from its AV stream as the engine reads it; a BOG cell, a button
  // cell and a command edited with the keyboard; a page created and deleted with
  // Insert and Delete; everything undone and redone; then saved and muxed, and both
  // files read back through the engine hold the menu as edited.
  void editsSaveAndMuxAsTheEngineReads() {
    test::TempDir tmp;
    const fs::path demo = guitest::demoDisc(tmp.path());
    if (demo.empty()) MORVEX_QSKIP_OR_FAIL("the demo disc is not part of this build");
    const fs::path stream = demoMenuStream(demo);
    if (stream.empty()) MORVEX_QSKIP_OR_FAIL("the demo disc carries no menu stream");
    const igs::Menu original = loadMenuOrFail(stream);
    auto w = guitest::startWindow();
    clickTab(w.get(), TabMenu);
    MenuTab* tab = w->menuTab();
    // The way "-> Menu" of the CLIPINF tab reaches the tab: the stream and its IG PID.
    QSignalSpy loaded(tab, &MenuTab::loadFinished);
    clickTab(w.get(), TabBdmv);
    QVERIFY(w->navigator()->show(ItemRef{ItemKind::Menu, qs(stream), 0x1400, -1}));
    QCOMPARE(w->tabs()->currentIndex(), int(TabMenu));
    QVERIFY(loaded.wait(20000));
    QVERIFY(loaded.takeFirst().at(0).toBool());
    QVERIFY(tab->document().model == original);
    QVERIFY(!tab->partialLoad());
    QVERIFY(w->findChild<QPushButton*>("muxButton")->isEnabled());
    // A menu read from a stream can be saved as a menu file at once.
    QVERIFY(w->findChild<QPushButton*>("saveButton")->isEnabled());
    saveShot(w.get(), "demo-bogs");
    clickSubTab(tab, MenuTab::SubPageView);
    saveShot(w.get(), "demo-pageview");
    clickSubTab(tab, MenuTab::SubBogs);

    BogsPanel* bogs = tab->bogsPanel();
    // A click on the n.start cell shows that object on the BOG picture in its size.
    {
      const auto& b = original.ics.pages[0].bogs[0].buttons[0];
      clickCell(bogs->buttonGrid(), 0, ColNormalStart);
      saveShot(w.get(), "demo-bogs-object");
      const menuview::Image* shown = bogs->bogPicture()->picture();
      QVERIFY(shown);
      if (b.normalStart < original.objects.size()) {
        QCOMPARE(shown->width(), int(original.objects[b.normalStart].width));
        QCOMPARE(shown->height(), int(original.objects[b.normalStart].height));
      }
      clickCell(bogs->buttonGrid(), 0, ColValue);
      QVERIFY(bogs->bogPicture()->picture()->empty());
      QCOMPARE(w->statusLine()->panelText(1).trimmed(), QString("No object assigned"));
    }
    igs::Menu expected = original;
    // BOG grid, row 1 of BOG 0: no button shown at first.
    bogs->bogEditSwitch()->editAction()->trigger();
    typeIntoCell(bogs->bogGrid(), 0, 0, "FFFF");
    QVERIFY(igs::setBogDefault(expected, 0, 0, "FFFF"));
    igs::refreshMenu(expected);
    QCOMPARE(tab->document().model.ics.pages[0].bogs[0].defaultValid, expected.ics.pages[0].bogs[0].defaultValid);
    QCOMPARE(tab->document().model.ics.pages[0].bogs.size(), expected.ics.pages[0].bogs.size());
    QCOMPARE(tab->document().model.pageButtons, expected.pageButtons);
    QCOMPARE(tab->document().model.ics.pages, expected.ics.pages);
    bogs->bogEditSwitch()->readOnlyAction()->trigger();
    // Button grid: X of the first button; a refused Y (past the video height) changes nothing.
    bogs->buttonEditSwitch()->editAction()->trigger();
    typeIntoCell(bogs->buttonGrid(), 0, ColX, "123");
    QVERIFY(igs::editButtonCell(expected, 0, 0, 0, igs::ButtonField::X, "123", 0));
    typeIntoCell(bogs->buttonGrid(), 0, ColY, "5000");
    igs::editButtonCell(expected, 0, 0, 0, igs::ButtonField::Y, "5000", 0);
    QCOMPARE(tab->document().model.ics.pages, expected.ics.pages);
    QCOMPARE(guitest::cell(bogs->buttonGrid(), 0, ColX), QString("123"));
    bogs->buttonEditSwitch()->readOnlyAction()->trigger();
    // A command: Insert adds a NOP after the first line; its source typed in hex.
    CommandTable* cmds = bogs->commandTable();
    clickCell(cmds, 0, 0);
    QTest::keyClick(cmds, Qt::Key_Insert);
    {
      auto& b = expected.ics.pages[0].bogs[0].buttons[0];
      hdmv::CommandList prog = b.commands;
      hdmv::CommandList clip;
      hdmv::applyCmdKey(prog, 0, 0, hdmv::CmdKey::Insert, clip);
      QVERIFY(igs::setButtonCommands(expected, 0, 0, 0, prog));
    }
    QCOMPARE(tab->document().model.ics.pages, expected.ics.pages);
    const int line = cmds->currentRow();
    // The new NOP becomes a Move through the opcode field of the command editor.
    typeIntoField(bogs->commandEditor()->findChild<QLineEdit*>("opcodeField"), "50400001");
    {
      hdmv::CommandList prog = expected.ics.pages[0].bogs[0].buttons[0].commands;
      hdmv::CommandEditor ed;
      ed.show(prog[size_t(line)]);
      ed.enterOpcodeHex(0x50400001);
      prog[size_t(line)] = ed.cmd;
      QVERIFY(igs::setButtonCommands(expected, 0, 0, 0, prog));
    }
    QCOMPARE(tab->document().model.ics.pages, expected.ics.pages);
    QVERIFY(w->findChild<QPushButton*>("saveButton")->isEnabled());

    // A page inserted with Insert in the page choice, then deleted with Delete.
    const int pages = tab->pageChoice()->count();
    tab->pageChoice()->setFocus();
    QTest::keyClick(tab->pageChoice(), Qt::Key_Insert);
    QCOMPARE(tab->pageChoice()->count(), pages + 1);
    QCOMPARE(tab->pageChoice()->currentIndex(), pages);
    QCOMPARE(tab->document().model.ics.pages.size(), size_t(pages + 1));
    QTest::keyClick(tab->pageChoice(), Qt::Key_Delete);
    QCOMPARE(tab->pageChoice()->count(), pages);
    QCOMPARE(tab->document().model.ics.pages, expected.ics.pages);

    // Every step undone, then redone.
    const igs::Menu edited = tab->document().model;
    const int steps = tab->undoStack()->count();
    QVERIFY(steps >= 6);
    for (int i = 0; i < steps; ++i) QTest::keyClick(w.get(), Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(tab->document().model == original);
    QVERIFY(!tab->document().modified());
    QCOMPARE(guitest::cell(bogs->buttonGrid(), 0, ColX),
             QString::fromStdString(igs::buttonRowTexts(original.ics.pages[0].bogs[0].buttons[0])[ColX]));
    for (int i = 0; i < steps; ++i) QTest::keyClick(w.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(tab->document().model == edited);

    // Save, and the menu file read back by the engine.
    const fs::path mnu = tmp.path() / "edited.mnu";
    QVERIFY(tab->saveTo(qs(mnu)));
    QVERIFY(!tab->document().modified());
    igs::Menu back = loadMenuOrFail(mnu);
    QCOMPARE(back.ics.pages, edited.ics.pages);
    QCOMPARE(back.palettes, edited.palettes);
    QCOMPARE(back.objects.size(), edited.objects.size());
    // Mux into a new stream; its menu is the same.
    const fs::path m2ts = tmp.path() / "edited.m2ts";
    QSignalSpy muxed(tab, &MenuTab::muxFinished);
    QVERIFY(tab->muxTo(qs(m2ts)));
    QVERIFY(muxed.wait(20000));
    QVERIFY(muxed.takeFirst().at(0).toBool());
    igs::Menu fromStream = loadMenuOrFail(m2ts);
    QCOMPARE(fromStream.ics.pages, edited.ics.pages);
    igs::Menu copy = edited;
    core::MemoryLog log;
    core::Bytes engineStream = igs::muxMenu(copy, log);
    core::Bytes written;
    std::string err;
    QVERIFY(core::readWholeFile(m2ts, written, err));
    QVERIFY(written == engineStream);
  }

  // "Mux into clip…": the demo's menu put into a plain copy of the feature's stream,
  // written over the feature clip 00001 of the disc, playlist 00001 gaining the IG
  // entry; the stream, the clip information and the playlist are then read by the
  // engine.
  void muxIntoClipAsksAndBringsTheDiscInStep() {
    test::TempDir tmp;
    const fs::path demo = guitest::demoDisc(tmp.path());
    if (demo.empty()) MORVEX_QSKIP_OR_FAIL("the demo disc is not part of this build");
    const fs::path menuStream = demo / "STREAM" / "00000.m2ts", target = demo / "STREAM" / "00001.m2ts";
    const fs::path plain = tmp.path() / "plain.m2ts";
    fs::copy_file(target, plain);
    auto w = guitest::startWindow();
    clickTab(w.get(), TabMenu);
    MenuTab* tab = w->menuTab();
    QVERIFY(loadAndWait(tab, menuStream));
    auto* button = tab->findChild<QPushButton*>("muxIntoClipButton");
    QVERIFY(button);
    QVERIFY(button->isEnabled());

    // The button asks for the stream to read, the stream to write (which exists, so the
    // file dialog asks before replacing it) and whether playlist 00001 gains the IG entry;
    // the worker run starts once they are answered, the button off while it runs.
    QSignalSpy muxed(tab, &MenuTab::muxFinished);
    MuxIntoAnswers answers{qs(plain), qs(target), QMessageBox::Yes};
    clickMuxIntoClip(button, answers);
    QVERIFY(answers.sourceGiven);
    QVERIFY(answers.outputGiven);
    QVERIFY(answers.asked);
    QVERIFY(answers.question.contains("00001"));
    QVERIFY(!button->isEnabled());
    QVERIFY(muxed.wait(30000));
    QVERIFY(muxed.takeFirst().at(0).toBool());
    QVERIFY(button->isEnabled());

    // The stream carries the menu; its clip information counts its packets and lists
    // the IG stream; playlist 00001 lists it too.
    igs::Menu back = loadMenuOrFail(target);
    QCOMPARE(back.ics.pages, tab->document().model.ics.pages);
    core::NullLog quiet;
    clip::ClipInfo c;
    QVERIFY(clip::readClipInfoFile(demo / "CLIPINF" / "00001.clpi", c, quiet).complete());
    QCOMPARE(uint64_t(c.clipInfo.numberOfSourcePackets), uint64_t(fs::file_size(target) / 192));
    bool listed = false;
    for (const auto& s : c.programInfo.programSequences[0].streams) listed = listed || (s.pid == 0x1400 && s.codingType == 0x91);
    QVERIFY(listed);
    playlist::Playlist m;
    QVERIFY(playlist::readPlaylistFile(demo / "PLAYLIST" / "00001.mpls", m, quiet).complete());
    QCOMPARE(m.playList.playItems[0].stn.ig.size(), size_t(1));
    QCOMPARE(m.playList.playItems[0].stn.ig[0].entry.mainPID, uint16_t(0x1400));
    QCOMPARE(fs::file_size(plain), fs::file_size(demo / "STREAM" / "00002.m2ts"));
  }

  // Cancel of a running "Mux into clip…": the clip, its information and its playlist
  // stay as they were, and nothing is left in the stream folder. The run waits for the
  // cancel request before it starts, so Cancel lands inside it however fast the
  // machine is.
  void muxIntoClipCancelledLeavesTheDiscAsItWas() {
    test::TempDir tmp;
    const fs::path demo = guitest::demoDisc(tmp.path());
    if (demo.empty()) MORVEX_QSKIP_OR_FAIL("the demo disc is not part of this build");
    const fs::path menuStream = demo / "STREAM" / "00000.m2ts", target = demo / "STREAM" / "00001.m2ts";
    const fs::path plain = tmp.path() / "plain.m2ts";
    fs::copy_file(target, plain);
    auto snapshot = [&demo] {
      std::map<std::string, core::Bytes> files;
      for (const char* dir : {"STREAM", "CLIPINF", "PLAYLIST"})
        for (const auto& e : fs::directory_iterator(demo / dir)) {
          core::Bytes b;
          std::string err;
          if (core::readWholeFile(e.path(), b, err)) files[std::string(dir) + "/" + e.path().filename().string()] = b;
        }
      return files;
    };
    const auto before = snapshot();
    auto w = guitest::startWindow();
    clickTab(w.get(), TabMenu);
    MenuTab* tab = w->menuTab();
    QVERIFY(loadAndWait(tab, menuStream));
    MainWindow* win = w.get();
    tab->setTaskRunner([win](std::function<void(core::Progress&)> work, std::function<void(bool)> done) {
      win->runLongTask(
          [work](core::Progress& p) {
            while (!p.cancelled()) QThread::msleep(2);
            work(p);
          },
          std::move(done));
    });
    auto* button = tab->findChild<QPushButton*>("muxIntoClipButton");
    QSignalSpy muxed(tab, &MenuTab::muxFinished);
    MuxIntoAnswers answers{qs(plain), qs(target), QMessageBox::Yes};
    clickMuxIntoClip(button, answers);
    QVERIFY(answers.outputGiven);
    QVERIFY(w->longTaskRunning());
    QVERIFY(!button->isEnabled());
    // No stream extraction ran in this window, so Cancel stops at once without asking.
    auto* cancel = w->findChild<QPushButton*>("cancelButton");
    QVERIFY(cancel->isEnabled());
    QTest::mouseClick(cancel, Qt::LeftButton);
    QVERIFY(muxed.wait(30000));
    QCOMPARE(muxed.at(0).at(0).toBool(), false);
    QVERIFY(button->isEnabled());
    QVERIFY(snapshot() == before);
  }

  // The Mux button runs on the worker with the progress bar and Cancel. A cancelled
  // mux writes no new stream and leaves an existing one byte for byte; one left to
  // finish writes the engine's stream. The run waits for the cancel request before it
  // starts, so Cancel lands inside it however fast the machine is.
  void muxCancelledWritesNothing() {
    test::TempDir tmp;
    const fs::path file = writeMenuFile(twoPageMenu(), tmp.path() / "plain.mnu");
    const fs::path fresh = tmp.path() / "fresh.m2ts", old = tmp.path() / "old.m2ts";
    const core::Bytes oldBytes(192 * 3, 0x47);
    std::string err;
    QVERIFY(core::writeFileAtomic(old, oldBytes, err));
    auto w = guitest::startWindow();
    clickTab(w.get(), TabMenu);
    MenuTab* tab = w->menuTab();
    QVERIFY(loadAndWait(tab, file));
    MainWindow* win = w.get();
    bool waitForCancel = true;
    tab->setTaskRunner([win, &waitForCancel](std::function<void(core::Progress&)> work, std::function<void(bool)> done) {
      const bool wait = waitForCancel;
      win->runLongTask(
          [work, wait](core::Progress& p) {
            while (wait && !p.cancelled()) QThread::msleep(2);
            work(p);
          },
          std::move(done));
    });
    auto* mux = w->findChild<QPushButton*>("muxButton");
    QVERIFY(mux->isVisible());
    QVERIFY(mux->isEnabled());
    QSignalSpy muxed(tab, &MenuTab::muxFinished);
    for (const fs::path& target : {fresh, old}) {
      MuxIntoAnswers answers{QString(), qs(target), QMessageBox::Yes};
      clickMuxIntoClip(mux, answers);
      QVERIFY(answers.outputGiven);
      QVERIFY(w->longTaskRunning());
      QVERIFY(w->findChild<QProgressBar*>("progressBar")->isVisible());
      auto* cancel = w->findChild<QPushButton*>("cancelButton");
      QVERIFY(cancel->isEnabled());
      QTest::mouseClick(cancel, Qt::LeftButton);
      QVERIFY(muxed.wait(20000));
      QCOMPARE(muxed.takeFirst().at(0).toBool(), false);
      QVERIFY(!w->longTaskRunning());
    }
    QVERIFY(!fs::exists(fresh));
    QVERIFY(test::readFile(old) == oldBytes);
    QVERIFY(w->statusLine()->panelText(1).contains("nothing written"));

    // Left to finish, the same button writes what the engine muxes.
    waitForCancel = false;
    MuxIntoAnswers answers{QString(), qs(fresh), QMessageBox::Yes};
    clickMuxIntoClip(mux, answers);
    QVERIFY(muxed.wait(20000));
    QCOMPARE(muxed.takeFirst().at(0).toBool(), true);
    igs::Menu copy = tab->document().model;
    core::MemoryLog log;
    QVERIFY(test::readFile(fresh) == igs::muxMenu(copy, log));
  }

  // A composition read without its pictures (a fixture disc's menu): the layout shows
  // as placeholders, marked "objects missing"; Start runs on the chosen page.
  void compositionOnlyMenuShowsPlaceholders() {
    const auto fixtures = test::fixturesDir();
    if (!fixtures) MORVEX_QSKIP_OR_FAIL("disc fixtures not found beside the project");
    const fs::path ics = *fixtures / "discs" / "disc19" / "ics_menu.bin";
    if (!fs::exists(ics)) MORVEX_QSKIP_OR_FAIL("disc19 has no composition");
    core::Bytes payload, unit;
    std::string err;
    QVERIFY(core::readWholeFile(ics, payload, err));
    // The composition behind a menu-file unit header, then an end segment.
    auto header = [&unit](uint8_t type, size_t len) {
      const uint8_t h[13] = {'I', 'G', 0, 2, 0xBF, 0x20, 0, 0, 0, 0, type, uint8_t(len >> 8), uint8_t(len)};
      unit.insert(unit.end(), h, h + 13);
    };
    header(igs::kSegComposition, payload.size());
    unit.insert(unit.end(), payload.begin(), payload.end());
    header(igs::kSegEnd, 0);
    test::TempDir tmp;
    const fs::path mnu = tmp.path() / "disc19.mnu";
    QVERIFY(core::writeFileAtomic(mnu, unit, err));

    auto w = guitest::startWindow();
    clickTab(w.get(), TabMenu);
    MenuTab* tab = w->menuTab();
    QVERIFY(loadAndWait(tab, mnu));
    QVERIFY(tab->document().model.objects.empty());
    QVERIFY(tab->pageChoice()->count() >= 2);
    // Page 1 chosen with the keyboard, then shown and started.
    tab->pageChoice()->setFocus();
    QTest::keyClick(tab->pageChoice(), Qt::Key_Down);
    QCOMPARE(tab->currentPage(), 1);
    clickSubTab(tab, MenuTab::SubPageView);
    QTest::mouseClick(w->executePanel()->startButton(), Qt::LeftButton);
    Oracle o(tab->document().model);
    o.emu->start(1);
    QCOMPARE(w->context().regs.psr[11], o.regs.psr[11]);
    QCOMPARE(w->context().regs.psr[10], o.regs.psr[10]);
    QVERIFY(tab->pageView().page() == o.view->page());
    QVERIFY(tab->pageView().objectsMissing());
    QVERIFY(tab->pageViewPanel()->objectsMissingMark()->isVisible());
    // The placeholders changed the picture: it is not the bare background.
    QVERIFY(!(tab->pageView().page() == tab->pageView().background()));
    saveShot(w.get(), "fixture-pageview");
    QCheckBox* fit = tab->pageViewPanel()->fullScreen();
    QTest::mouseClick(fit, Qt::LeftButton);
    QVERIFY(tab->pageViewPanel()->picture()->fitToWindow());
    // The Options tab's mirror follows.
    QVERIFY(w->findChild<QCheckBox*>("optionFullScreenCheck")->isChecked());
    saveShot(w.get(), "fixture-pageview-fit");
    clickSubTab(tab, MenuTab::SubBogs);
    saveShot(w.get(), "fixture-bogs");
  }

  // The user time-out runs on a timer: 0.1 s after Start the page's default activated
  // button runs; choosing another page stops the timer.
  void userTimeoutActivatesTheDefaultButton() {
    test::TempDir tmp;
    igs::Menu m = twoPageMenu();
    m.ics.userTimeout = 9000;  // 90 kHz units
    m.ics.pages[0].defaultActivated = 1;
    const fs::path file = writeMenuFile(m, tmp.path() / "timeout.mnu");
    auto w = guitest::startWindow();
    clickTab(w.get(), TabMenu);
    MenuTab* tab = w->menuTab();
    QVERIFY(loadAndWait(tab, file));
    auto* timer = tab->findChild<QTimer*>("userTimeoutTimer");
    QVERIFY(!timer->isActive());
    QTest::mouseClick(w->executePanel()->startButton(), Qt::LeftButton);
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 100);
    QCOMPARE(w->context().regs.gpr[6], 0u);
    QTRY_COMPARE(w->context().regs.gpr[6], 9u);
    QCOMPARE(w->context().regs.psr[10], 1u);
    // The window stayed responsive: the timer fires again while enabled.
    QVERIFY(timer->isActive());
    tab->pageChoice()->setFocus();
    QTest::keyClick(tab->pageChoice(), Qt::Key_Down);
    QCOMPARE(tab->currentPage(), 1);
    QVERIFY(!timer->isActive());
  }

  // A page reached by a button times out by itself, as `menu play`'s Timeout does:
  // the keys of the page view (Down, Enter) and the navigate panel's Alt+U drive the
  // emulator, every key and page change starts the time-out again, and it runs the
  // default activated button of the page on screen, which leads back to page 0.
  void pageReachedByAButtonTimesOut() {
    test::TempDir tmp;
    igs::Menu m = twoPageMenu();
    m.ics.userTimeout = 90 * 400;  // 0.4 s in 90 kHz units
    // Page 0 has no default activated button, so Start arms no time-out there.
    auto& back = m.ics.pages[1].bogs[0].buttons[0];
    back.commands = {{0x51C00003, 0x80000000, 0x80000000}};  // button 0 of page 0
    m.ics.pages[1].defaultActivated = 0;
    const fs::path file = writeMenuFile(m, tmp.path() / "back.mnu");
    auto w = guitest::startWindow();
    clickTab(w.get(), TabMenu);
    MenuTab* tab = w->menuTab();
    QVERIFY(loadAndWait(tab, file));
    clickSubTab(tab, MenuTab::SubPageView);
    PictureWidget* pic = tab->pageViewPanel()->picture();
    auto* timer = tab->findChild<QTimer*>("userTimeoutTimer");
    auto& regs = w->context().regs;
    QTest::mouseClick(w->executePanel()->startButton(), Qt::LeftButton);
    QVERIFY(!timer->isActive());
    pic->setFocus();
    // The status line names the button selected now after every move, not the one
    // the page was composed with.
    const auto statusNames = [&w, &regs] {
      return w->statusLine()->panelText(1).trimmed() ==
             QString::fromStdString(menuview::pageStatus(regs.psr[10], regs.psr[11]));
    };
    QCOMPARE(w->statusLine()->panelText(1).trimmed(), QString("PSR10: 0000 (0), PSR11: 00 (0)"));
    QTest::keyClick(pic, Qt::Key_Down);
    QCOMPARE(regs.psr[10], 1u);
    QCOMPARE(w->statusLine()->panelText(1).trimmed(), QString("PSR10: 0001 (1), PSR11: 00 (0)"));
    // A mnemonic presses its button as a click does, a moment later.
    QTest::keyClick(w.get(), Qt::Key_U, Qt::AltModifier);
    QTRY_COMPARE(regs.psr[10], 0u);
    QCOMPARE(w->statusLine()->panelText(1).trimmed(), QString("PSR10: 0000 (0), PSR11: 00 (0)"));
    pic->setFocus();
    QTest::keyClick(pic, Qt::Key_Return);
    QCOMPARE(regs.gpr[5], 7u);
    QCOMPARE(regs.psr[11], 1u);
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 400);
    // A key on the page starts the time-out again.
    QTest::qWait(250);
    QTest::keyClick(pic, Qt::Key_Left);
    QVERIFY(timer->remainingTime() > 300);
    QCOMPARE(regs.psr[11], 1u);
    // Then the page returns by itself.
    QTRY_COMPARE_WITH_TIMEOUT(regs.psr[11], 0u, 3000);
    QCOMPARE(tab->currentPage(), 0);
    QVERIFY2(statusNames(), qPrintable(w->statusLine()->panelText(1)));
    pic->setFocus();
    QTest::keyClick(pic, Qt::Key_Down);
    QCOMPARE(regs.psr[10], 1u);
    QVERIFY2(statusNames(), qPrintable(w->statusLine()->panelText(1)));
  }

  // The page fields typed into as a user does: Enter leads from field to field and
  // from the last one to the page choice; each field left is one undo step named after
  // the field, a refused value gives way to the stored one, the user time-out is shown
  // as stored, and a click on an effect count opens the Effects sub-tab on those
  // effects. Undo brings the menu and the fields back.
  void pageFieldsFollowEnterAndUndo() {
    test::TempDir tmp;
    const fs::path file = writeMenuFile(twoPageMenu(), tmp.path() / "fields.mnu");
    QVERIFY(!file.empty());
    auto w = guitest::startWindow();
    clickTab(w.get(), TabMenu);
    MenuTab* tab = w->menuTab();
    QVERIFY(loadAndWait(tab, file));
    const igs::Menu loaded = tab->document().model;
    const igs::Page& page0 = loaded.ics.pages[0];
    auto field = [tab](const char* name) { return tab->findChild<QLineEdit*>(name); };
    auto stored = [](const igs::Page& p, igs::PageField f) { return QString::fromStdString(igs::pageFieldText(p, f)); };

    typeIntoField(field("defaultSelectedField"), "1");
    QCOMPARE(QApplication::focusWidget(), field("defaultActivatedField"));
    QCOMPARE(int(tab->document().model.ics.pages[0].defaultSelected), 1);
    QCOMPARE(field("defaultSelectedField")->text(), QString("0001"));
    QCOMPARE(tab->undoStack()->count(), 1);
    QCOMPARE(tab->undoStack()->undoText(), QString("Default Selected Button"));

    // A palette the menu does not hold is refused: no step, the stored one shown.
    typeIntoField(field("paletteField"), QString::number(loaded.palettes.size(), 16));
    QCOMPARE(QApplication::focusWidget(), tab->pageChoice());
    QCOMPARE(tab->undoStack()->count(), 1);
    QCOMPARE(field("paletteField")->text(), stored(page0, igs::PageField::Palette));

    typeIntoField(field("userTimeoutField"), "1:15");
    QCOMPARE(QApplication::focusWidget(), tab->pageChoice());
    QCOMPARE(tab->document().model.ics.userTimeout, 75u * 90000);
    QCOMPARE(field("userTimeoutField")->text(), QString("0:01:15"));
    QCOMPARE(tab->undoStack()->count(), 2);
    QCOMPARE(tab->undoStack()->undoText(), QString("User timeout"));

    QTest::mouseClick(field("outEffectsField"), Qt::LeftButton);
    QCOMPARE(tab->subTabs()->currentIndex(), int(MenuTab::SubEffects));
    QVERIFY(tab->findChild<QRadioButton*>("outEffectsRadio")->isChecked());
    QTest::mouseClick(field("inWindowsField"), Qt::LeftButton);
    QVERIFY(tab->findChild<QRadioButton*>("inEffectsRadio")->isChecked());

    tab->pageChoice()->setFocus();
    QTest::keyClick(w.get(), Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(w.get(), Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(tab->document().model == loaded);
    QVERIFY(!tab->document().modified());
    QCOMPARE(field("defaultSelectedField")->text(), stored(page0, igs::PageField::DefaultSelected));
    QCOMPARE(field("userTimeoutField")->text(), QString::fromStdString(igs::userTimeoutText(loaded.ics)));
  }

  // A menu file cut short: shown, marked as partial, Save off even when modified until
  // "Allow saving"; a file that is no menu changes nothing.
  void partialLoadKeepsSaveOffUntilAllowed() {
    test::TempDir tmp;
    const fs::path whole = writeMenuFile(twoPageMenu(), tmp.path() / "whole.mnu");
    core::Bytes bytes;
    std::string err;
    QVERIFY(core::readWholeFile(whole, bytes, err));
    // The end segment replaced by a palette unit that announces 100 bytes and has 10.
    bytes.resize(bytes.size() - 13);
    const uint8_t cutUnit[13] = {'I', 'G', 0, 2, 0xBF, 0x20, 0, 0, 0, 0, igs::kSegPalette, 0, 100};
    bytes.insert(bytes.end(), cutUnit, cutUnit + 13);
    bytes.insert(bytes.end(), 10, 0x10);
    const fs::path cut = tmp.path() / "cut.mnu";
    QVERIFY(core::writeFileAtomic(cut, bytes, err));

    auto w = guitest::startWindow();
    clickTab(w.get(), TabMenu);
    MenuTab* tab = w->menuTab();
    QVERIFY(loadAndWait(tab, cut));
    QVERIFY(tab->partialLoad());
    auto* banner = tab->findChild<QLabel*>("partialLoadBanner");
    QVERIFY(banner->isVisible());
    auto* save = w->findChild<QPushButton*>("saveButton");
    auto* muxButton = w->findChild<QPushButton*>("muxButton");
    // An edit makes the menu modified; Save and Mux stay off.
    typeIntoField(tab->findChild<QLineEdit*>("animationCodeField"), "3");
    QVERIFY(tab->document().modified());
    QVERIFY(!save->isEnabled());
    QVERIFY(!muxButton->isEnabled());
    QVERIFY(!tab->saveTo(qs(tmp.path() / "x.mnu")));
    QVERIFY(!fs::exists(tmp.path() / "x.mnu"));
    QTest::mouseClick(tab->findChild<QPushButton*>("allowSavingButton"), Qt::LeftButton);
    QVERIFY(!banner->isVisible());
    QVERIFY(save->isEnabled());
    QVERIFY(muxButton->isEnabled());

    // Loading over the modified menu asks first; Cancel keeps it, Discard replaces it.
    const igs::Menu modified = tab->document().model;
    auto answer = [](QMessageBox::StandardButton button, bool* asked) {
      *asked = false;
      QTimer::singleShot(0, [button, asked] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box->objectName() != "unsavedQuestion") return;
        *asked = true;
        QTest::mouseClick(box->button(button), Qt::LeftButton);
      });
    };
    bool asked = false;
    answer(QMessageBox::Cancel, &asked);
    QVERIFY(!tab->loadFile(qs(whole)));
    QVERIFY(asked);
    QVERIFY(tab->document().model == modified);
    QVERIFY(tab->document().modified());
    answer(QMessageBox::Discard, &asked);
    QVERIFY(loadAndWait(tab, whole));
    QVERIFY(asked);
    QVERIFY(!tab->partialLoad());
    QVERIFY(!tab->document().modified());
    QVERIFY(!banner->isVisible());

    // Not a menu: refused, the open menu stays (and is not asked about).
    const fs::path junk = tmp.path() / "junk.mnu";
    QVERIFY(core::writeFileAtomic(junk, core::Bytes(100, 0x55), err));
    const igs::Menu kept = tab->document().model;
    QVERIFY(tab->saveTo(qs(tmp.path() / "kept.mnu")));
    QVERIFY(!loadAndWait(tab, junk));
    QVERIFY(tab->document().model == kept);

    // "Create Menu" on the Options tab: a new one-page menu on the Menu tab.
    clickTab(w.get(), TabOptions);
    QTest::mouseClick(w->findChild<QPushButton*>("createMenuButton"), Qt::LeftButton);
    QCOMPARE(w->tabs()->currentIndex(), int(TabMenu));
    QVERIFY(!tab->partialLoad());
    QVERIFY(!banner->isVisible());
    QCOMPARE(tab->pageChoice()->count(), 1);
    igs::Menu fresh;
    igs::newMenu(fresh);
    QVERIFY(tab->document().model == fresh);
    // A new menu is on no disk yet: it can be saved at once.
    QVERIFY(save->isEnabled());
    QVERIFY(muxButton->isEnabled());
  }
};

MORVEX_GUI_TEST(MenuTabTest)
#include "menu_tab_test.moc"

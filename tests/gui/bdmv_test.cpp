// The BDMV tab: loading a fixture disc and a disc written by the test, editing titles,
// movie objects and commands, saving through the backup policy and reading the files
// back with the engine's readers, sounds, and the ExtensionData editor.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

#include "app/bdmv/bdmv_tab.h"
#include "app/widgets/command_table.h"
#include "core/save.h"
#include "app/extdata/ext_data_editor.h"
#include "gui_test_support.h"
#include "gui_tests.h"
#include "nav/index.h"
#include "nav/movie_object.h"
#include "app/panels/execute_panel.h"
#include "app/shell/log_view.h"
#include "app/shell/status_line.h"
#include "sound/sound.h"
#include "support/test_support.h"

using namespace morvex;
using namespace morvex::app;
namespace fs = std::filesystem;

namespace {

using guitest::cmd, guitest::readIndexFile, guitest::readMobjFile;
using test::kMove, test::kAdd, test::kBreak, test::kGoTo;

void choose(QComboBox* c, int entry) {
  c->setCurrentIndex(entry);
  Q_EMIT c->activated(entry);
}

// A 48 kHz 16-bit PCM WAV of `samples` frames.
core::Bytes makeTestWav(int channels, int samples, int rate = 48000, int bits = 16) {
  core::Bytes w;
  auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) w.push_back(uint8_t(v >> (8 * i)));
  };
  auto put16 = [&](uint16_t v) {
    w.push_back(uint8_t(v));
    w.push_back(uint8_t(v >> 8));
  };
  const uint32_t data = uint32_t(samples * channels * 2);
  w.insert(w.end(), {'R', 'I', 'F', 'F'});
  put32(36 + data);
  w.insert(w.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put32(16);
  put16(1);
  put16(uint16_t(channels));
  put32(uint32_t(rate));
  put32(uint32_t(rate * channels * 2));
  put16(uint16_t(channels * 2));
  put16(uint16_t(bits));
  w.insert(w.end(), {'d', 'a', 't', 'a'});
  put32(data);
  for (int i = 0; i < samples * channels; ++i) put16(uint16_t(i * 37));
  return w;
}

// Runs `action` on the modal dialog that `open` shows.
template <class Fn>
void onNextDialog(Fn action) {
  QTimer::singleShot(0, [action] {
    auto* dlg = qobject_cast<ExtDataEditor*>(QApplication::activeModalWidget());
    QVERIFY(dlg);
    action(dlg);
  });
}

}  // namespace

class BdmvTest : public QObject {
  Q_OBJECT
private slots:
  void init() { guitest::clearSettings(); }

  void fixtureDiscFillsTables() {
    if (!test::fixturesDir()) MORVEX_QSKIP_OR_FAIL("disc fixtures not found beside the project");
    const fs::path bdmv = test::fixtureDiscs().front();
    auto w = guitest::startWindow({QString::fromStdString((bdmv / "index.bdmv").string())});
    const nav::IndexTable ix = readIndexFile(bdmv / "index.bdmv");
    const nav::MovieObjectFile mo = readMobjFile(bdmv / "MovieObject.bdmv");
    auto* titles = w->findChild<QTableWidget*>("titleTable");
    auto* objects = w->findChild<QTableWidget*>("movieObjectTable");
    QCOMPARE(titles->rowCount(), std::max<int>(1, int(ix.indexes.titles.size())));
    for (size_t i = 0; i < ix.indexes.titles.size(); ++i) {
      QCOMPARE(guitest::cell(titles, int(i), 0), QString("%1").arg(i + 1, 3, 10, QChar('0')));
      QCOMPARE(guitest::cell(titles, int(i), 1), QString::fromStdString(nav::objectTypeText(ix.indexes.titles[i].objectType)));
    }
    QCOMPARE(objects->rowCount(), std::max<int>(1, int(mo.movieObjects.objects.size())));
    for (size_t i = 0; i < mo.movieObjects.objects.size(); ++i)
      QCOMPARE(guitest::cell(objects, int(i), 4), QString::number(mo.movieObjects.objects[i].commands.size()));
    // The command table shows the selected object's program.
    const int sel = w->bdmvTab()->selectedObject();
    QCOMPARE(w->bdmvTab()->commandTable()->commandCount(), int(mo.movieObjects.objects[size_t(sel)].commands.size()));
    // The log has the load's lines; the title names the disc.
    size_t mpls = 0;
    for (const auto& e : fs::directory_iterator(bdmv / "PLAYLIST")) mpls += e.path().extension() == ".mpls";
    const QString log = w->logView()->lines().join('\n');
    QVERIFY(log.contains("Checking required files and directories..."));
    QVERIFY2(log.contains(QString("  Found %1 playlists.").arg(mpls)), qPrintable(log));
    QVERIFY(w->windowTitle().endsWith("[" + QString::fromStdString(bdmv.parent_path().filename().string()) + "]"));
    QVERIFY(w->findChild<QPushButton*>("saveButton")->isEnabled());
  }

  void demoDiscLoads() {
    test::TempDir tmp;
    const fs::path demo = guitest::demoDisc(tmp.path());
    if (demo.empty() || !fs::exists(demo / "index.bdmv")) MORVEX_QSKIP_OR_FAIL("the demo disc has no index.bdmv in this build");
    auto w = guitest::startWindow({QString::fromStdString((demo / "index.bdmv").string())});
    const nav::IndexTable ix = readIndexFile(demo / "index.bdmv");
    QCOMPARE(w->findChild<QTableWidget*>("titleTable")->rowCount(), std::max<int>(1, int(ix.indexes.titles.size())));
    QVERIFY(!w->statusLine()->errorShown());
  }

  void failedCheckNeverSavesOldModels() {
    test::TempDir tmp;
    const auto good = guitest::writeDisc(tmp / "a", guitest::makeIndex(2, 1), guitest::makeMobj({{}}));
    auto w = guitest::startWindow({QString::fromStdString((good / "index.bdmv").string())});
    QVERIFY(w->findChild<QPushButton*>("saveButton")->isEnabled());
    fs::create_directories(tmp / "b" / "BDMV");
    w->bdmvTab()->setFolder(QString::fromStdString((tmp / "b" / "BDMV").string()) + "/");
    w->bdmvTab()->readFolder();
    QVERIFY(w->logView()->lines().join('\n').contains("Check failed."));
    QVERIFY(!w->findChild<QPushButton*>("saveButton")->isEnabled());
    w->saveCurrent();
    QVERIFY(!fs::exists(tmp / "b" / "BDMV" / "index.bdmv"));
  }

  void folderChoiceEndsInBdmv() {
    test::TempDir tmp;
    guitest::writeDisc(tmp.path(), guitest::makeIndex(1, 1), guitest::makeMobj({{}}));
    auto w = guitest::startWindow();
    auto* field = w->findChild<QLineEdit*>("discFolderField");
    const QString root = QString::fromStdString(tmp.path().string());
    w->bdmvTab()->folderChosen(root);
    QCOMPARE(field->text(), root + "/BDMV/");
    w->bdmvTab()->folderChosen(root + "/BDMV");
    QCOMPARE(field->text(), root + "/BDMV/");
    w->bdmvTab()->folderChosen(root + "/bdmv");  // case-sensitive
    QCOMPARE(field->text(), root + "/bdmv/BDMV/");
  }

  void editsAreSavedWithBackups() {
    test::TempDir tmp;
    const auto bdmv = guitest::writeDisc(tmp.path(), guitest::makeIndex(3, 2),
                                         guitest::makeMobj({{cmd(kMove, 0, 5)}, {cmd(kBreak, 0, 0)}}));
    const auto originalIndex = test::readFile(bdmv / "index.bdmv");
    auto w = guitest::startWindow({QString::fromStdString((bdmv / "index.bdmv").string())});
    BdmvTab* tab = w->bdmvTab();
    auto* titles = w->findChild<QTableWidget*>("titleTable");

    // Title 2: "Prohibited1" (stored as 2), Interactive.
    tab->selectTitle(1);
    choose(w->findChild<QComboBox*>("titleAccessTypeChoice"), 1);
    choose(w->findChild<QComboBox*>("titlePlaybackTypeChoice"), 1);
    QCOMPARE(guitest::cell(titles, 1, 2), QString("Prohibited1"));
    // Object 1 resumes ("suspend").
    tab->selectObject(1);
    choose(w->findChild<QComboBox*>("resumeChoice"), 1);
    QCOMPARE(guitest::cell(w->findChild<QTableWidget*>("movieObjectTable"), 1, 1), QString("suspend"));
    // A fourth title behind title 3; Top Menu switched on with object 1.
    tab->selectTitle(2);
    w->findChild<QPushButton*>("insertTitleButton")->click();
    QCOMPARE(titles->rowCount(), 4);
    QCOMPARE(w->findChild<QLabel*>("titleCountLabel")->text(), QString("4 + 1 titles"));
    w->findChild<QComboBox*>("topMenuObjectChoice")->setCurrentIndex(1);
    w->findChild<QCheckBox*>("topMenuCheck")->click();
    QCOMPARE(w->findChild<QLabel*>("titleCountLabel")->text(), QString("4 + 2 titles"));
    w->findChild<QLineEdit*>("contentProviderField")->setText("edited");
    Q_EMIT w->findChild<QLineEdit*>("contentProviderField")->textEdited("edited");

    w->findChild<QPushButton*>("saveButton")->click();
    const nav::IndexTable ix = readIndexFile(bdmv / "index.bdmv");
    QCOMPARE(int(ix.indexes.titles.size()), 4);
    QCOMPARE(int(ix.indexes.titles[1].accessType), 2);
    QCOMPARE(int(ix.indexes.titles[1].playbackType), 1);
    QCOMPARE(int(ix.indexes.length), 26 + 12 * 4);
    QCOMPARE(int(ix.indexes.topMenu.objectId), 1);
    QCOMPARE(ix.contentProviderData, std::string("edited"));
    QCOMPARE(int(readMobjFile(bdmv / "MovieObject.bdmv").movieObjects.objects[1].resumeIntentionFlag), 1);
    // "Only first": the backup holds the original and a second save keeps it.
    QCOMPARE(test::readFile(bdmv / "index.bdmv.backup"), originalIndex);
    const auto firstSaved = test::readFile(bdmv / "index.bdmv");
    tab->selectTitle(1);
    choose(w->findChild<QComboBox*>("titlePlaybackTypeChoice"), 0);
    w->saveCurrent();
    QCOMPARE(test::readFile(bdmv / "index.bdmv.backup"), originalIndex);
    // "Overwrite": the backup follows the file it replaces (Save writes only a file
    // that changed, so the title changes once more).
    w->findChild<QComboBox*>("backupModeChoice")->setCurrentIndex(1);
    const auto secondSaved = test::readFile(bdmv / "index.bdmv");
    QVERIFY(secondSaved != firstSaved);
    choose(w->findChild<QComboBox*>("titlePlaybackTypeChoice"), 1);
    w->saveCurrent();
    QCOMPARE(test::readFile(bdmv / "index.bdmv.backup"), secondSaved);
  }

  void deletingObjectsUpdatesTitleReferences() {
    test::TempDir tmp;
    nav::IndexTable ix = guitest::makeIndex(3, 3);
    ix.indexes.titles[0].objectId = 2;  // follows its object
    ix.indexes.titles[1].objectId = 1;  // loses it
    ix.indexes.titles[2].objectId = 0;
    const auto bdmv = guitest::writeDisc(tmp.path(), ix, guitest::makeMobj({{}, {}, {}}));
    auto w = guitest::startWindow({QString::fromStdString((bdmv / "index.bdmv").string())});
    auto* objects = w->findChild<QTableWidget*>("movieObjectTable");
    objects->setCurrentCell(1, 0);
    objects->selectRow(1);
    w->findChild<QPushButton*>("deleteMovieObjectButton")->click();
    auto* titles = w->findChild<QTableWidget*>("titleTable");
    QCOMPARE(guitest::cell(titles, 0, 4), QString("1"));
    QCOMPARE(guitest::cell(titles, 1, 4), QString("??"));
    QVERIFY(w->logView()->lines().join('\n').contains("Invalid object reference in Title 2"));
    QVERIFY(w->statusLine()->errorShown());
    QCOMPARE(w->findChild<QLabel*>("movieObjectCountLabel")->text(), QString("2 objects"));
  }

  void commandKeysAndEditor() {
    test::TempDir tmp;
    hdmv::CommandList prog;
    for (int i = 0; i < 10; ++i) prog.push_back(cmd(kMove, uint32_t(i), 1));
    prog[1] = cmd(kGoTo, 7, 0);
    prog[2] = cmd(kGoTo, 3, 0);
    const auto bdmv = guitest::writeDisc(tmp.path(), guitest::makeIndex(1, 1), guitest::makeMobj({prog}));
    auto w = guitest::startWindow({QString::fromStdString((bdmv / "index.bdmv").string())});
    CommandTable* table = w->bdmvTab()->commandTable();
    // Ins behind line 4: GoTo 7 follows its line, GoTo 3 stays.
    table->selectLine(4);
    QTest::keyClick(table, Qt::Key_Insert);
    QCOMPARE(table->commandCount(), 11);
    QCOMPARE(guitest::cell(table, 1, 4), QString("GoTo 8"));
    QCOMPARE(guitest::cell(table, 2, 4), QString("GoTo 3"));
    QCOMPARE(guitest::cell(table, 5, 4), QString("NOP"));
    QCOMPARE(table->currentRow(), 5);
    // Ctrl+C of lines 6-8, Ctrl+V behind line 0.
    table->selectLines(6, 8);
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(w->statusLine()->panelText(1), QString("Command(s) copied"));
    table->selectLine(0);
    QTest::keyClick(table, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(table->commandCount(), 14);
    QCOMPARE(guitest::cell(table, 4, 4), QString("GoTo 11"));
    // Shift+Del of the three pasted lines restores the program.
    table->selectLines(1, 3);
    QTest::keyClick(table, Qt::Key_Delete, Qt::ShiftModifier);
    QCOMPARE(table->commandCount(), 11);
    QCOMPARE(guitest::cell(table, 1, 4), QString("GoTo 8"));
    QCOMPARE(table->currentRow(), 0);

    // The editor: "Compare" on a Move keeps operand count and immediate flag.
    table->selectLine(0);
    choose(w->bdmvTab()->findChild<QComboBox*>("commandGroupChoice"), 1);
    QCOMPARE(guitest::cell(table, 0, 1), QString("48400000"));
    // 0 in the opcode field blanks the command.
    auto* hex = w->bdmvTab()->findChild<QLineEdit*>("opcodeField");
    table->selectLine(3);
    hex->setFocus();
    hex->selectAll();
    QTest::keyClicks(hex, "0");
    QTest::keyClick(hex, Qt::Key_Return);
    QCOMPARE(guitest::cell(table, 3, 4), QString("NOP"));
    QCOMPARE(guitest::cell(table, 3, 2), QString("00000000"));

    w->saveCurrent();
    const nav::MovieObjectFile mo = readMobjFile(bdmv / "MovieObject.bdmv");
    const auto& saved = mo.movieObjects.objects[0].commands;
    QCOMPARE(int(saved.size()), 11);
    QCOMPARE(saved[0].opcode, 0x48400000u);
    QCOMPARE(saved[1], cmd(kGoTo, 8, 0));
    QCOMPARE(saved[3], cmd(0, 0, 0));
    QCOMPARE(mo.movieObjects.length, nav::movieObjectsLength(mo.movieObjects));
  }

  void programRunsAndTraces() {
    test::TempDir tmp;
    const hdmv::CommandList prog = {cmd(kMove, 0, 5), cmd(kAdd, 0, 3), cmd(kBreak, 0, 0), cmd(kMove, 0, 0)};
    const auto bdmv = guitest::writeDisc(tmp.path(), guitest::makeIndex(1, 1), guitest::makeMobj({prog}));
    auto w = guitest::startWindow({QString::fromStdString((bdmv / "index.bdmv").string())});
    w->context().settings.actiDelay = 10;
    ExecutePanel* exec = w->executePanel();
    auto* cancel = w->findChild<QPushButton*>("cancelButton");
    QVERIFY(exec->startButton()->isEnabled());
    exec->startButton()->click();
    QTRY_VERIFY(!exec->running());
    QCOMPARE(w->context().regs.gpr[0], 8u);
    QCOMPARE(w->bdmvTab()->commandTable()->currentRow(), 2);  // the Break ended the run

    // Trace: the first Start executes nothing and presents line 0.
    w->context().regs.gpr[0] = 0;
    exec->traceBox()->setChecked(true);
    exec->startButton()->click();
    QTRY_VERIFY(exec->traceActive());
    QCOMPARE(w->statusLine()->panelText(0), QString("Running trace..."));
    QVERIFY(w->statusLine()->panelText(1).startsWith("Line 0000 : 50400001"));
    QCOMPARE(w->context().regs.gpr[0], 0u);
    QVERIFY(cancel->isEnabled());
    exec->startButton()->click();
    QTRY_COMPARE(w->context().regs.gpr[0], 5u);
    QVERIFY(w->statusLine()->panelText(1).startsWith("Line 0001"));
    QCOMPARE(w->bdmvTab()->commandTable()->currentRow(), 1);
    cancel->click();
    QVERIFY(!exec->traceActive());
    QCOMPARE(w->statusLine()->panelText(0), QString("Ready. "));
    QVERIFY(!cancel->isEnabled());
  }

  void endlessProgramKeepsWindowResponsive() {
    test::TempDir tmp;
    const auto bdmv = guitest::writeDisc(tmp.path(), guitest::makeIndex(1, 1),
                                         guitest::makeMobj({{cmd(kAdd, 1, 1), cmd(kGoTo, 0, 0)}}));
    auto w = guitest::startWindow({QString::fromStdString((bdmv / "index.bdmv").string())});
    ExecutePanel* exec = w->executePanel();
    exec->startButton()->click();
    QVERIFY(exec->running());
    // Timers and input keep being served while the program runs.
    bool timerFired = false;
    QTimer::singleShot(50, [&] { timerFired = true; });
    QTest::qWait(200);
    QVERIFY(timerFired);
    QVERIFY(exec->running());
    QVERIFY(w->context().regs.gpr[1] > 0);
    // A second Start while running is refused.
    const uint32_t before = w->context().regs.gpr[1];
    exec->startButton()->click();
    QVERIFY(w->context().regs.gpr[1] >= before);
    // Ticking the trace box stops it, paused in the program.
    exec->traceBox()->setChecked(true);
    QTRY_VERIFY(!exec->running());
    QVERIFY(exec->traceActive());
    w->findChild<QPushButton*>("cancelButton")->click();
    QVERIFY(!exec->traceActive());
  }

  void soundsImportExportAndSave() {
    test::TempDir tmp;
    const auto bdmv = guitest::writeDisc(tmp.path(), guitest::makeIndex(1, 1), guitest::makeMobj({{}}));
    const fs::path wav = tmp / "tone.wav";
    const core::Bytes wavBytes = makeTestWav(1, 4800);
    test::writeFile(wav, wavBytes);
    test::writeFile(tmp / "cd.wav", makeTestWav(2, 100, 44100));
    auto w = guitest::startWindow({QString::fromStdString((bdmv / "index.bdmv").string())});
    BdmvTab* tab = w->bdmvTab();
    auto* group = w->findChild<QWidget*>("soundGroup");
    QVERIFY(!group->isVisibleTo(w.get()));
    QVERIFY(w->findChild<QPushButton*>("createSoundButton")->isEnabled());

    // A 44.1 kHz file is refused and creates nothing.
    QVERIFY(!tab->createSound(QString::fromStdString((tmp / "cd.wav").string())));
    QVERIFY(w->logView()->lines().last().contains("Wave format error! (Mandatory 48 kHz, 16 bit, PCM)"));
    QVERIFY(!group->isVisibleTo(w.get()));

    QVERIFY(tab->createSound(QString::fromStdString(wav.string())));
    QVERIFY(group->isVisibleTo(w.get()));
    QVERIFY(!w->findChild<QPushButton*>("createSoundButton")->isEnabled());
    auto* sounds = w->findChild<QTableWidget*>("soundTable");
    QCOMPARE(guitest::cell(sounds, 0, 1), QString("Mono"));
    QCOMPARE(guitest::cell(sounds, 0, 2), QString("48kHz"));
    QCOMPARE(guitest::cell(sounds, 0, 3), QString("16"));
    QCOMPARE(guitest::cell(sounds, 0, 4), QString("0.05 s"));
    // A second sound behind the first.
    sounds->setCurrentCell(0, 0);
    QVERIFY(tab->importSound(QString::fromStdString(wav.string())));
    QCOMPARE(sounds->rowCount(), 2);

    w->saveCurrent();
    sound::SoundFile snd;
    core::MemoryLog log;
    QVERIFY(sound::readSoundFile(test::readFile(bdmv / "AUXDATA" / "sound.bdmv"), "sound.bdmv", snd, log).usable());
    QCOMPARE(int(snd.entries.size()), 2);
    QCOMPARE(int(snd.entries[0].length), 9600);
    // Export gives back the imported file.
    QVERIFY(tab->exportSound(1, QString::fromStdString((tmp / "out.wav").string())));
    QCOMPARE(test::readFile(tmp / "out.wav"), wavBytes);
    // Shift+Del removes the selected entry.
    sounds->setCurrentCell(0, 0);
    QTest::keyClick(sounds, Qt::Key_Delete, Qt::ShiftModifier);
    QCOMPARE(int(tab->soundModel().entries.size()), 1);
  }

  void extensionDataEditor() {
    core::ExtensionData block;
    block.length = 12 + 12 + 40;
    block.dataBlockStartAddress = 0x100;
    block.entries.push_back({0x1000, 0x0100, 0x100, 40});
    for (int i = 0; i < 40; ++i) block.data.push_back(uint8_t(i < 20 ? 'A' + i : i));
    core::MemoryLog log;
    ExtDataEditor ed(block, "index.bdmv", QString(), log);
    QCOMPARE(ed.windowTitle(), QString("index.bdmv ExtensionData edit"));
    QCOMPARE(ed.summary()->text(), QString("68 bytes, 1 entry"));
    QCOMPARE(guitest::cell(ed.entries(), 0, 3), QString("00000100"));
    // Two dump lines: 32 bytes, then 8 bytes, 72 spaces and 8 characters.
    const QStringList lines = ed.dump()->toPlainText().split('\n');
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0].size(), 134);
    QVERIFY(lines[0].startsWith(" 0100 41 42"));
    QVERIFY(lines[1].startsWith(" 0120 20 21"));
    QVERIFY(lines[1].contains(QString(72, ' ')));
    // Colours: address blue, characters red.
    QTextCursor c(ed.dump()->document()->firstBlock());
    c.setPosition(2);
    QCOMPARE(c.charFormat().foreground().color(), QColor(0, 0, 255));
    c.setPosition(ed.dump()->document()->firstBlock().length() - 2);
    QCOMPARE(c.charFormat().foreground().color(), QColor(255, 0, 0));
    // Typing in ID1: hexadecimal digits only.
    ed.entries()->item(0, 1)->setText("12 ab");
    QCOMPARE(ed.block().entries[0].id1, uint16_t(0x12AB));
    // .exd round trip.
    test::TempDir tmp;
    const QString exd = QString::fromStdString((tmp / "block.exd").string());
    QVERIFY(ed.saveTo(exd));
    ed.deleteBlock();
    QCOMPARE(ed.summary()->text(), QString("None"));
    QVERIFY(ed.loadFrom(exd));
    QCOMPARE(int(ed.block().entries.size()), 1);
    QCOMPARE(ed.block().entries[0].startAddress, 0x100u);
    QCOMPARE(ed.block().entries[0].length, 40u);
    QCOMPARE(ed.block().entries[0].id1, uint16_t(0x12AB));
    QCOMPARE(ed.block().data, block.data);
  }

  // Both ExtensionData faults, met as a user meets them: index.bdmv holds an entry
  // that claims 0x10000000 bytes of a 70-byte block; the editor opens at once (Edit
  // is clicked) and dumps only the 70 bytes. Loading a .exd whose length field claims
  // more than the file holds (typed into the file dialog) is refused with a message,
  // and OK leaves the disc's block as it was.
  void extensionDataFaultsThroughTheEditor() {
    test::TempDir tmp;
    nav::IndexTable ix = guitest::makeIndex(1, 1);
    ix.extensionData.dataBlockStartAddress = 0x18;
    ix.extensionData.entries.push_back({1, 2, 0x18, 0x10000000u});
    for (int i = 0; i < 70; ++i) ix.extensionData.data.push_back(uint8_t('a' + i % 26));
    ix.extensionData.length = 0x18 - 4 + 70;
    ix.extensionDataStartAddress = ix.indexesStartAddress + 4 + ix.indexes.length;
    const auto bdmv = guitest::writeDisc(tmp.path(), ix, guitest::makeMobj({{}}));
    core::ByteWriter bw;  // length 0xFFFFFFFF, one entry, four bytes of data
    bw.addU32(0xFFFFFFFFu);
    bw.addU32(0x18);
    bw.addU32(0x00000001);
    bw.addU16(1);
    bw.addU16(2);
    bw.addU32(0x18);
    bw.addU32(4);
    bw.addU32(0xDEADBEEF);
    std::string err;
    QVERIFY(core::writeFileAtomic(tmp / "bad.exd", bw.bytes(), err));
    const QString badPath = QString::fromStdString((tmp / "bad.exd").string());

    auto w = guitest::startWindow({QString::fromStdString((bdmv / "index.bdmv").string())});
    const core::ExtensionData before = w->context().session.index.model.extensionData;
    QCOMPARE(before.entries.size(), size_t(1));
    QCOMPARE(before.entries[0].length, 0x10000000u);

    // Each step waits for the dialog it needs. The file dialog is looked for among the
    // visible windows first: while it is open the editor behind it is still visible.
    int dumpLines = -1;
    bool fileDialogSeen = false, editorClosed = false;
    int fileDialogPolls = 0;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
      if (QFileDialog* fd = guitest::visibleFileDialog()) {
        // The name is typed again every half second while the dialog stays open, in case
        // the dialog was still settling (its folder loading) when Enter was pressed.
        if (fileDialogSeen && ++fileDialogPolls % 25 != 0) return;
        if (guitest::answerFileDialog(fd, badPath)) fileDialogSeen = true;
        return;
      }
      QWidget* modal = QApplication::activeModalWidget();
      auto* ed = qobject_cast<ExtDataEditor*>(modal);
      if (!ed) return;
      if (dumpLines < 0) {
        dumpLines = int(ed->dump()->toPlainText().split('\n').size());
        // Clicked from its own event: the file dialog's loop must not run inside this
        // timer, which would then never fire again.
        QTimer::singleShot(0, ed, [ed] { QTest::mouseClick(ed->findChild<QPushButton*>("extensionDataLoadButton"), Qt::LeftButton); });
        return;
      }
      if (fileDialogSeen && !editorClosed) {
        editorClosed = true;
        QTest::mouseClick(ed->findChild<QPushButton*>("extensionDataOkButton"), Qt::LeftButton);
      }
    });
    poll.start(20);
    QTest::mouseClick(w->findChild<QPushButton*>("indexExtensionDataButton"), Qt::LeftButton);
    poll.stop();
    QCOMPARE(dumpLines, 3);  // 70 bytes: 32 + 32 + 6
    QVERIFY(fileDialogSeen);
    QVERIFY(editorClosed);
    QVERIFY(w->logView()->lines().join('\n').contains("not a valid ExtensionData file"));
    QCOMPARE(w->context().session.index.model.extensionData, before);
    QVERIFY(!w->context().session.index.modified());
  }

  void deletingIndexBlockClearsItsAddress() {
    test::TempDir tmp;
    nav::IndexTable ix = guitest::makeIndex(1, 1);
    ix.extensionData.length = 12 + 4;
    ix.extensionData.dataBlockStartAddress = 12;
    ix.extensionData.data = {1, 2, 3, 4};
    ix.extensionDataStartAddress = ix.indexesStartAddress + 4 + ix.indexes.length;
    const auto bdmv = guitest::writeDisc(tmp.path(), ix, guitest::makeMobj({{}}));
    auto w = guitest::startWindow({QString::fromStdString((bdmv / "index.bdmv").string())});
    QVERIFY(w->context().session.index.model.extensionDataStartAddress != 0);
    // Cancel changes nothing; Delete + OK removes the block.
    onNextDialog([](ExtDataEditor* d) {
      d->deleteBlock();
      d->reject();
    });
    w->findChild<QPushButton*>("indexExtensionDataButton")->click();
    QVERIFY(w->context().session.index.model.extensionDataStartAddress != 0);
    onNextDialog([](ExtDataEditor* d) {
      d->deleteBlock();
      d->accept();
    });
    w->findChild<QPushButton*>("indexExtensionDataButton")->click();
    QCOMPARE(w->context().session.index.model.extensionDataStartAddress, 0u);
    QCOMPARE(w->findChild<QLabel*>("indexExtensionDataLabel")->text(), QString("no ExtensionData()"));
    QVERIFY(w->startedUp());  // the editor does not run the start-up again
  }
};

MORVEX_GUI_TEST(BdmvTest)
#include "bdmv_test.moc"

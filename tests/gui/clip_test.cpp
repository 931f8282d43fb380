// The CLIPINF tab: a clip read from the demo disc, each editable field changed with
// the keyboard and mouse, undone and redone, saved and compared byte for byte with the
// engine's writing of the same edits; the packet-count question answered both ways;
// a missing stream; the EP map against the engine's map; Find and the jump from
// "Referenced by".
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QTableWidget>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QThread>
#include <QProcess>

#include "app/clip/clip_tab.h"
#include "app/bdmv/bdmv_tab.h"
#include "app/menu/menu_tab.h"
#include "app/shell/status_line.h"
#include "clip/clpi.h"
#include "clip/clpi_text.h"
#include "disc/finder.h"
#include "core/log.h"
#include "disc/disc_load.h"
#include "gui_test_support.h"
#include "gui_tests.h"
#include "app/shell/log_view.h"
#include "app/shell/navigator.h"
#include "app/extdata/ext_data_editor.h"
#include "app/widgets/in_place_edit.h"
#include "support/test_support.h"

using namespace morvex;
using namespace morvex::app;
namespace fs = std::filesystem;

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

bool readClip(const fs::path& f, clip::ClipInfo& c) {
  core::MemoryLog log;
  return clip::readClipInfoFile(f, c, log).complete();
}

// Answers the next packet-count question with `button`; `asked` tells whether it came.
void answerPacketQuestion(QMessageBox::StandardButton button, bool* asked, QString* text) {
  *asked = false;
  QTimer::singleShot(0, [button, asked, text] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || box->objectName() != "packetCountQuestion") return;
    *asked = true;
    *text = box->text();
    QTest::mouseClick(box->button(button), Qt::LeftButton);
  });
}

void clickTab(MainWindow* w, int index) {
  QTabBar* bar = w->tabs()->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

// Selects `name` in the clip list and presses Read.
void readClipNamed(MainWindow* w, const QString& name) {
  auto* list = w->clipTab()->findChild<QComboBox*>("clipChoice");
  list->setCurrentIndex(list->findText(name));
  QTest::mouseClick(w->clipTab()->findChild<QPushButton*>("readClipButton"), Qt::LeftButton);
}

void typeInto(QLineEdit* f, const QString& text) {
  QTest::mouseClick(f, Qt::LeftButton);
  f->selectAll();
  QTest::keyClicks(f, text);
  QTest::keyClick(f, Qt::Key_Return);
}

// Clicks row `row` of a table.
void clickRow(QTableWidget* t, int row) {
  QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualRect(t->model()->index(row, 1)).center());
}

// A check box is clicked on its box: the widget may be wider than box and caption.
void clickBox(QCheckBox* b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(b->height() / 2, b->height() / 2)); }

// The Options tab's format boxes: set as a click would (they may sit outside the
// visible part of that tab's scroll area).
void setBox(QCheckBox* b, bool on) {
  if (b->isChecked() != on) b->click();
}

#ifdef MORVEX_CLI
// `morvex-cli demux` of the same PID and mode into `out`.
bool cliDemux(const fs::path& stream, uint32_t pid, const QString& mode, const fs::path& out) {
  QProcess p;
  p.start(MORVEX_CLI, {"demux", QString::fromStdString(stream.string()), "--pid", QString("0x%1").arg(pid, 4, 16, QChar('0')),
                       "--mode", mode, "-o", QString::fromStdString(out.string())});
  return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}
#endif

// Lists a folder's file names.
QStringList filesIn(const fs::path& dir) {
  QStringList names;
  for (const auto& e : fs::directory_iterator(dir)) names << QString::fromStdString(e.path().filename().string());
  names.sort();
  return names;
}

struct PlaylistSpy : ItemShower {
  QList<ItemRef> seen;
  bool showItem(const ItemRef& item) override {
    seen << item;
    return true;
  }
};

}  // namespace

class ClipTest : public QObject {
  Q_OBJECT
private slots:
  void init() { guitest::clearSettings(); }

  void editsUndoRedoAndSaveAsTheEngineWrites() {
    test::TempDir tmp;
    const fs::path demo = guitest::demoDisc(tmp.path());
    if (demo.empty() || !fs::exists(demo / "CLIPINF" / "00001.clpi")) MORVEX_QSKIP_OR_FAIL("the demo disc is not part of this build");
    const fs::path file = demo / "CLIPINF" / "00001.clpi";
    clip::ClipInfo original;
    QVERIFY(readClip(file, original));
    auto w = guitest::startWindow({qs((demo / "index.bdmv").string())});
    clickTab(w.get(), TabClipinf);
    ClipTab* tab = w->clipTab();
    readClipNamed(w.get(), "00001");
    QVERIFY(tab->hasClip());
    QVERIFY(tab->document().model == original);
    QCOMPARE(w->clipTab()->findChild<QLabel*>("streamNameLabel")->text(), QString("00001.m2ts"));
    QVERIFY(w->clipTab()->findChild<QPushButton*>("playButton")->isEnabled());
    QCOMPARE(w->clipTab()->findChild<QLineEdit*>("packetCountField")->text(), QString::number(original.clipInfo.numberOfSourcePackets));
    auto* program = w->clipTab()->findChild<QTableWidget*>("programStreamTable");
    const auto rows = clip::programRows(original);
    QCOMPARE(program->rowCount(), int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r)
      for (int c = 0; c < 4; ++c) QCOMPARE(guitest::cell(program, r, c), qs(rows[size_t(r)][size_t(c)]));
    // The EP map is drawn from the engine's map, row for row.
    auto* fine = w->clipTab()->findChild<QTableView*>("epFineTable");
    const auto& map = original.cpi.maps.back();
    QCOMPARE(fine->model()->rowCount(), int(map.fine.size()));
    const size_t lastFine = map.fine.size() - 1;
    const auto expectFine = clip::epFineRow(map, lastFine);
    for (int c = 0; c < int(expectFine.size()); ++c)
      QCOMPARE(fine->model()->index(int(lastFine), c).data().toString(), qs(expectFine[size_t(c)]));
    QCOMPARE(w->clipTab()->findChild<QTableView*>("epCoarseTable")->model()->rowCount(), int(map.coarse.size()));

    // The edits, by keyboard and mouse.
    auto* appType = w->clipTab()->findChild<QComboBox*>("applicationTypeChoice");
    appType->setFocus();
    QTest::keyClick(appType, Qt::Key_Down);
    QCOMPARE(tab->document().model.clipInfo.applicationType, uint8_t(original.clipInfo.applicationType + 1));
    typeInto(w->clipTab()->findChild<QLineEdit*>("recordingRateField"), "4500000");
    typeInto(w->clipTab()->findChild<QLineEdit*>("packetCountField"), "12345");
    auto* atcd = w->clipTab()->findChild<QCheckBox*>("atcDeltaCheck");
    clickBox(atcd);
    QVERIFY(atcd->isChecked());

    clip::ClipInfo expected = original;
    clip::setApplicationType(expected, uint8_t(original.clipInfo.applicationType + 1));
    expected.clipInfo.tsRecordingRate = 4500000;
    expected.clipInfo.numberOfSourcePackets = 12345;
    clip::setATCdelta(expected, true);
    QVERIFY(tab->document().model == expected);
    QVERIFY(tab->document().modified());

    // Undo all four (the focus on a table, where Ctrl+Z is the window's), then redo.
    QTest::mouseClick(program->viewport(), Qt::LeftButton, {}, program->visualRect(program->model()->index(0, 1)).center());
    for (int i = 0; i < 4; ++i) QTest::keyClick(program, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(tab->document().model == original);
    QVERIFY(!tab->document().modified());
    QCOMPARE(w->clipTab()->findChild<QLineEdit*>("recordingRateField")->text(), QString::number(original.clipInfo.tsRecordingRate));
    QVERIFY(!atcd->isChecked());
    for (int i = 0; i < 4; ++i) QTest::keyClick(program, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(tab->document().model == expected);
    QCOMPARE(w->clipTab()->findChild<QLineEdit*>("packetCountField")->text(), QString("12345"));

    // A number that does not fit is not taken; the field shows the stored value.
    typeInto(w->clipTab()->findChild<QLineEdit*>("recordingRateField"), "9999999999");
    QCOMPARE(tab->document().model.clipInfo.tsRecordingRate, 4500000u);
    QCOMPARE(w->clipTab()->findChild<QLineEdit*>("recordingRateField")->text(), QString("4500000"));

    // Save: the file is what the engine writes for the same edits, nothing else.
    auto* save = w->findChild<QPushButton*>("saveButton");
    QVERIFY(save->isEnabled());
    QCOMPARE(save->toolTip(), QString("Save 00001.clpi"));
    QTest::mouseClick(save, Qt::LeftButton);
    QVERIFY(!tab->document().modified());
    clip::ClipInfo written = expected;
    clip::settleClipInfo(written);  // the model as the file holds it
    QCOMPARE(test::readFile(file), clip::writeClipInfo(written));
    clip::ClipInfo back;
    QVERIFY(readClip(file, back));
    QCOMPARE(back.clipInfo.tsRecordingRate, 4500000u);
    QCOMPARE(back.clipInfo.numberOfSourcePackets, 12345u);
    QCOMPARE(int(back.clipInfo.applicationType), original.clipInfo.applicationType + 1);
    QCOMPARE(int(back.clipInfo.isAtcDelta), 0);  // switched on without entries: cleared
    QVERIFY(back.cpi == original.cpi);
    QVERIFY(back.programInfo == original.programInfo);
    QVERIFY(back.sequenceInfo == original.sequenceInfo);
    QVERIFY(fs::exists(demo / "CLIPINF" / "00001.clpi.backup"));
  }

  // The ATC delta grid: Insert adds an entry, typed cells go through the engine in edit
  // mode, Shift+Delete removes one; the saved file is the engine's writing of the same.
  void atcDeltaGridEditing() {
    test::TempDir tmp;
    const fs::path demo = guitest::demoDisc(tmp.path());
    if (demo.empty() || !fs::exists(demo / "CLIPINF" / "00001.clpi")) MORVEX_QSKIP_OR_FAIL("the demo disc is not part of this build");
    const fs::path file = demo / "CLIPINF" / "00001.clpi";
    clip::ClipInfo original;
    QVERIFY(readClip(file, original));
    QCOMPARE(int(original.clipInfo.isAtcDelta), 0);
    auto w = guitest::startWindow({qs((demo / "index.bdmv").string())});
    clickTab(w.get(), TabClipinf);
    ClipTab* tab = w->clipTab();
    readClipNamed(w.get(), "00001");
    auto* grid = tab->findChild<QTableWidget*>("atcDeltaTable");
    clickBox(tab->findChild<QCheckBox*>("atcDeltaCheck"));
    QVERIFY(grid->isEnabled());
    clip::ClipInfo expected = original;
    clip::setATCdelta(expected, true);
    // Two entries with the Insert key, the second after the first.
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Insert);
    QTest::keyClick(grid, Qt::Key_Insert);
    QCOMPARE(clip::insertATCdeltaEntry(expected, -1), 0);
    QCOMPARE(clip::insertATCdeltaEntry(expected, 0), 1);
    QVERIFY(tab->document().model == expected);
    QCOMPARE(grid->rowCount(), 2);
    QCOMPARE(guitest::cell(grid, 1, 1), QString("00000000"));
    QCOMPARE(guitest::cell(grid, 1, 2), QString("00000"));

    // Edit mode: "0000001G" stores 1 and shows "00000001"; the following clip is typed.
    tab->atcEditSwitch()->editAction()->trigger();
    auto typeCell = [grid](int r, int c, const QString& text) {
      QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(r, c)).center());
      QLineEdit* ed = nullptr;
      QTRY_VERIFY((ed = qobject_cast<QLineEdit*>(grid->indexWidget(grid->model()->index(r, c)))) != nullptr);
      QTest::keyClick(ed, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(ed, text);
      QTest::keyClick(ed, Qt::Key_Return);
    };
    typeCell(0, 1, "0000001G");
    QCOMPARE(clip::setATCdeltaCell(expected, 0, clip::AtcDeltaField::AtcDelta, "0000001G"), std::string("00000001"));
    QTRY_COMPARE(guitest::cell(grid, 0, 1), QString("00000001"));
    typeCell(1, 2, "00042");
    clip::setATCdeltaCell(expected, 1, clip::AtcDeltaField::FollowingClip, "00042");
    QTRY_COMPARE(guitest::cell(grid, 1, 2), QString("00042"));
    QVERIFY(tab->document().model == expected);
    tab->atcEditSwitch()->readOnlyAction()->trigger();

    // Shift+Delete on the first entry: the second moves up.
    clickRow(grid, 0);
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ShiftModifier);
    QVERIFY(clip::deleteATCdeltaEntry(expected, 0));
    QVERIFY(tab->document().model == expected);
    QCOMPARE(guitest::cell(grid, 0, 2), QString("00042"));

    QTest::mouseClick(w->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
    clip::ClipInfo written = expected;
    clip::settleClipInfo(written);  // the model as the file holds it
    QCOMPARE(test::readFile(file), clip::writeClipInfo(written));
    clip::ClipInfo back;
    QVERIFY(readClip(file, back));
    QVERIFY(back == written);
    QCOMPARE(back.clipInfo.atcDeltaEntries.size(), size_t(1));
    QCOMPARE(back.clipInfo.atcDeltaEntries[0].followingClip, std::string("00042"));
    // Undo back to the file as first read.
    while (tab->undoStack()->canUndo()) tab->undoStack()->undo();
    QVERIFY(tab->document().model == original);
  }

  // A clip with two program sequences says in the log that ProgramInfo shows only the
  // last; its ExtensionData goes through the editor as an undoable edit.
  void hiddenSequenceWarningAndExtensionDataEdit() {
    test::TempDir tmp;
    const fs::path demo = guitest::demoDisc(tmp.path());
    if (demo.empty() || !fs::exists(demo / "CLIPINF" / "00001.clpi")) MORVEX_QSKIP_OR_FAIL("the demo disc is not part of this build");
    const fs::path file = demo / "CLIPINF" / "00001.clpi";
    clip::ClipInfo c;
    QVERIFY(readClip(file, c));
    // A second, shorter program sequence: 8 bytes of head and 24 per stream (a 21-byte
    // coding information each), so the sections behind ProgramInfo move by as much.
    auto second = c.programInfo.programSequences[0];
    second.streams.resize(2);
    c.programInfo.programSequences.push_back(second);
    const uint32_t grow = 8 + 2 * 24;
    c.programInfo.length += grow;
    c.cpiStart += grow;
    c.clipMarkStart += grow;
    c.extensionData.entries = {core::ExtensionDataEntry{1, 2, 24, 4}};
    c.extensionData.dataBlockStartAddress = 24;
    c.extensionData.data = {1, 2, 3, 4};
    c.extensionData.length = 8 + 12 + 4;
    c.extensionDataStart = c.clipMarkStart + 4 + c.clipMarkLength;
    clip::settleClipInfo(c);
    test::writeFile(file, clip::writeClipInfo(c));
    clip::ClipInfo prepared;
    QVERIFY(readClip(file, prepared));
    QVERIFY(prepared == c);

    auto w = guitest::startWindow({qs((demo / "index.bdmv").string())});
    clickTab(w.get(), TabClipinf);
    ClipTab* tab = w->clipTab();
    readClipNamed(w.get(), "00001");
    QVERIFY(tab->hasClip());
    QVERIFY(w->logView()->lines().join('\n').contains("00001.clpi has 2 program sequences; ProgramInfo shows the last one"));
    QCOMPARE(tab->findChild<QTableWidget*>("programStreamTable")->rowCount(), 2);
    auto* caption = tab->findChild<QLabel*>("clipExtensionDataLabel");
    QCOMPARE(caption->text(), QString("1 entry, 28 bytes"));

    // The editor: delete the block, OK.
    QTimer::singleShot(0, [] {
      auto* dlg = qobject_cast<ExtDataEditor*>(QApplication::activeModalWidget());
      if (!dlg) return;
      dlg->deleteBlock();
      dlg->accept();
    });
    QTest::mouseClick(tab->findChild<QPushButton*>("clipExtensionDataButton"), Qt::LeftButton);
    QVERIFY(tab->document().model.extensionData.empty());
    QCOMPARE(tab->document().model.extensionDataStart, 0u);
    QCOMPARE(caption->text(), QString("no ExtensionData()"));
    QVERIFY(tab->document().modified());
    QTest::mouseClick(w->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
    clip::ClipInfo expected = prepared;
    expected.extensionData = {};
    expected.extensionDataStart = 0;
    clip::ClipInfo back;
    QVERIFY(readClip(file, back));
    QVERIFY(back == expected);
    QCOMPARE(test::readFile(file), clip::writeClipInfo(expected));
    tab->undoStack()->undo();
    QVERIFY(tab->document().model == prepared);
    QCOMPARE(caption->text(), QString("1 entry, 28 bytes"));
  }

  void packetCountQuestionCorrectsOnlyThePacketField() {
    QCOMPARE(packetCountQuestion(10000),
             QString("The m2ts file contains 10,000 packets.\nDo you want to correct the packet value of ClipInfo?"));
    test::TempDir tmp;
    const fs::path demo = guitest::demoDisc(tmp.path());
    if (demo.empty() || !fs::exists(demo / "STREAM" / "00001.m2ts")) MORVEX_QSKIP_OR_FAIL("the demo disc is not part of this build");
    const fs::path file = demo / "CLIPINF" / "00001.clpi";
    clip::ClipInfo wrong;
    QVERIFY(readClip(file, wrong));
    const uint64_t real = fs::file_size(demo / "STREAM" / "00001.m2ts") / 192;
    wrong.clipInfo.numberOfSourcePackets = 7;
    test::writeFile(file, clip::writeClipInfo(wrong));
    const core::Bytes before = test::readFile(file);
    auto w = guitest::startWindow({qs((demo / "index.bdmv").string())});
    w->tabs()->setCurrentIndex(TabClipinf);

    // Cancel: nothing changes.
    bool asked = false;
    QString text;
    answerPacketQuestion(QMessageBox::Cancel, &asked, &text);
    readClipNamed(w.get(), "00001");
    QVERIFY(asked);
    QCOMPARE(text, packetCountQuestion(real));
    QVERIFY(text.startsWith("The m2ts file contains "));
    QCOMPARE(test::readFile(file), before);
    QCOMPARE(w->clipTab()->findChild<QLineEdit*>("packetCountField")->text(), QString("7"));

    // Yes: the four bytes at offset 56 take the stream's count, nothing else moves.
    answerPacketQuestion(QMessageBox::Yes, &asked, &text);
    QTest::mouseClick(w->clipTab()->findChild<QPushButton*>("readClipButton"), Qt::LeftButton);
    QVERIFY(asked);
    core::Bytes after = test::readFile(file);
    QCOMPARE(after.size(), before.size());
    const uint32_t stored = uint32_t(after[56]) << 24 | uint32_t(after[57]) << 16 | uint32_t(after[58]) << 8 | after[59];
    QCOMPARE(uint64_t(stored), real);
    for (int i = 56; i < 60; ++i) after[size_t(i)] = before[size_t(i)];
    QCOMPARE(after, before);
    QCOMPARE(w->clipTab()->findChild<QLineEdit*>("packetCountField")->text(), QString::number(real));
    QVERIFY(!w->clipTab()->document().modified());
    QCOMPARE(w->clipTab()->document().model.clipInfo.numberOfSourcePackets, uint32_t(real));
  }

  void missingStreamDisablesPlay() {
    test::TempDir tmp;
    const fs::path demo = guitest::demoDisc(tmp.path());
    if (demo.empty() || !fs::exists(demo / "CLIPINF" / "00002.clpi")) MORVEX_QSKIP_OR_FAIL("the demo disc is not part of this build");
    // Every clip of the demo has its stream: this copy loses one.
    QVERIFY(fs::remove(demo / "STREAM" / "00002.m2ts"));
    auto w = guitest::startWindow({qs((demo / "index.bdmv").string())});
    w->tabs()->setCurrentIndex(TabClipinf);
    readClipNamed(w.get(), "00002");
    QVERIFY(w->clipTab()->hasClip());
    QCOMPARE(w->clipTab()->findChild<QLabel*>("streamNameLabel")->text(), QString("00002.m2ts"));
    QCOMPARE(w->clipTab()->findChild<QLabel*>("streamSizeLabel")->text(), QString("missing file"));
    QVERIFY(!w->clipTab()->findChild<QPushButton*>("playButton")->isEnabled());
    QVERIFY(w->clipTab()->streamFile().isEmpty());
    // No packet question for a missing stream, and no error for it.
    QVERIFY(!w->logView()->lines().join('\n').contains("ERROR"));
  }

  void savePidInEveryModeMatchesTheCommandLine() {
#ifndef MORVEX_CLI
    MORVEX_QSKIP_OR_FAIL("the command line is not part of this build");
#else
    test::TempDir tmp;
    const fs::path demo = guitest::demoDisc(tmp.path());
    // The menu clip 00000 carries video, audio and the menu.
    if (demo.empty() || !fs::exists(demo / "STREAM" / "00000.m2ts")) MORVEX_QSKIP_OR_FAIL("the demo disc is not part of this build");
    const fs::path outDir = tmp / "out";
    fs::create_directories(outDir);
    auto w = guitest::startWindow({qs((demo / "index.bdmv").string())});
    w->context().settings.workFolder = qs(outDir.string());
    clickTab(w.get(), TabClipinf);
    readClipNamed(w.get(), "00000");
    ClipTab* tab = w->clipTab();
    auto* program = w->clipTab()->findChild<QTableWidget*>("programStreamTable");
    auto* savePid = w->clipTab()->findChild<QPushButton*>("savePidButton");
    QWidget* options = w->page(TabOptions);
    auto* pes = options->findChild<QCheckBox*>("savePesCheck");
    auto* sup = options->findChild<QCheckBox*>("saveSupCheck");
    auto* mnu = options->findChild<QCheckBox*>("saveMenuCheck");
    const fs::path stream = demo / "STREAM" / "00000.m2ts";
    const auto rows = clip::programRows(tab->document().model);
    auto rowOf = [&](const std::string& pid) {
      for (size_t r = 0; r < rows.size(); ++r)
        if (rows[r][1] == pid) return int(r);
      return -1;
    };
    struct Case {
      std::string pid;
      bool pes, sup, mnu;
      QString cliMode, suffix;
    };
    const Case cases[] = {
        {"1011", false, true, true, "es", ".vis"},      {"1100", false, true, true, "es", ".aus"},
        {"1100", true, true, true, "pes", ".PES.aus"}, {"1101", false, true, true, "es", ".aus"},
        {"1400", false, true, true, "mnu", ".mnu"},
        {"1400", true, true, true, "pes", ".PES.igs"},
    };
    for (const Case& c : cases) {
      const int row = rowOf(c.pid);
      QVERIFY2(row >= 0, c.pid.c_str());
      setBox(pes, c.pes);
      setBox(sup, c.sup);
      setBox(mnu, c.mnu);
      clickRow(program, row);
      QVERIFY(savePid->isEnabled());
      const QString out = tab->outputFileFor(row);
      QVERIFY2(out.endsWith(c.suffix), qPrintable(out));
      QVERIFY(out.startsWith(qs(outDir.string()) + "/" + "00000_PID" + qs(c.pid)));
      QSignalSpy finished(tab, &ClipTab::extractionFinished);
      QTest::mouseClick(savePid, Qt::LeftButton);
      QVERIFY(!savePid->isEnabled());  // one run at a time
      QVERIFY(finished.wait(120000));
      QCOMPARE(finished.at(0).at(0).toBool(), true);
      QVERIFY(!w->longTaskRunning());
      QVERIFY(savePid->isEnabled());
      const fs::path cliOut = tmp / ("cli" + c.suffix.toStdString());
      QVERIFY(cliDemux(stream, clip::pidFromText(c.pid), c.cliMode, cliOut));
      const core::Bytes gui = test::readFile(out.toStdString());
      QVERIFY2(!gui.empty(), qPrintable(out));
      QVERIFY2(gui == test::readFile(cliOut), qPrintable(out));
    }
    QVERIFY(w->logView()->lines().join('\n').contains("source packets saved."));
    // Nothing but the outputs in the output folder: no temporaries left.
    for (const QString& f : filesIn(outDir)) QVERIFY2(f.startsWith("00000_PID") && !f.endsWith(".tmp"), qPrintable(f));
#endif
  }

  // Save P&ID with no output folder set asks where to write, keeps the answer as the
  // work folder (the Options tab shows it, the next Save P&ID asks nothing), shows the
  // written path on the tab and writes nothing into the disc's folders.
  void savePidAsksWhereAndShowsThePath() {
    test::TempDir tmp;
    const fs::path demo = guitest::demoDisc(tmp.path());
    if (demo.empty() || !fs::exists(demo / "STREAM" / "00000.m2ts")) MORVEX_QSKIP_OR_FAIL("the demo disc is not part of this build");
    const fs::path outDir = tmp / "chosen";
    fs::create_directories(outDir);
    auto w = guitest::startWindow({qs((demo / "index.bdmv").string())});
    QVERIFY(w->context().settings.workFolder.isEmpty());
    clickTab(w.get(), TabClipinf);
    readClipNamed(w.get(), "00000");
    ClipTab* tab = w->clipTab();
    auto* program = tab->findChild<QTableWidget*>("programStreamTable");
    auto* savePid = tab->findChild<QPushButton*>("savePidButton");
    auto* outcome = tab->findChild<QLabel*>("extractOutcomeLabel");
    const auto rows = clip::programRows(tab->document().model);
    QVERIFY(rows.size() >= 2);
    int dialogs = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&dialogs, &outDir] {
      QFileDialog* fd = guitest::visibleFileDialog();
      if (!fd || fd->property("answered").toBool()) return;
      fd->setProperty("answered", true);
      ++dialogs;
      QTimer::singleShot(0, fd, [fd, &outDir] { guitest::answerFileDialog(fd, qs(outDir.string())); });
    });
    poll.start(20);
    for (int row : {0, 1}) {
      clickRow(program, row);
      QSignalSpy finished(tab, &ClipTab::extractionFinished);
      QTest::mouseClick(savePid, Qt::LeftButton);
      QVERIFY(finished.wait(120000));
      QCOMPARE(finished.at(0).at(0).toBool(), true);
      const QString out = tab->outputFileFor(row);
      QVERIFY2(out.startsWith(qs(outDir.string()) + "/"), qPrintable(out));
      QVERIFY2(fs::exists(out.toStdString()), qPrintable(out));
      QCOMPARE(outcome->text(), "Written to " + QDir::toNativeSeparators(out));
    }
    poll.stop();
    QCOMPARE(dialogs, 1);
    QCOMPARE(QDir::cleanPath(w->context().settings.workFolder), QDir::cleanPath(qs(outDir.string())));
    QCOMPARE(QDir::cleanPath(w->page(TabOptions)->findChild<QLineEdit*>("workFolderField")->text()),
             QDir::cleanPath(qs(outDir.string())));
    for (const fs::path& d : {demo, demo / "STREAM", demo.parent_path()})
      for (const auto& e : fs::directory_iterator(d))
        QVERIFY2(e.path().filename().string().find("_PID") == std::string::npos, e.path().string().c_str());
  }

  void cancelledSavePidLeavesNothing() {
    test::TempDir tmp;
    const fs::path demo = guitest::demoDisc(tmp.path());
    if (demo.empty() || !fs::exists(demo / "CLIPINF" / "00001.clpi")) MORVEX_QSKIP_OR_FAIL("the demo disc is not part of this build");
    const fs::path outDir = tmp / "out";
    fs::create_directories(outDir);
    auto w = guitest::startWindow({qs((demo / "index.bdmv").string())});
    w->context().settings.workFolder = qs(outDir.string());
    // The run waits for the cancel request before it starts reading, so Cancel always
    // lands inside a running extraction however fast the machine is.
    MainWindow* win = w.get();
    w->clipTab()->setTaskRunner([win](std::function<void(core::Progress&)> work, std::function<void(bool)> done) {
      win->noteExtractionStarted();
      win->runLongTask(
          [work](core::Progress& p) {
            while (!p.cancelled()) QThread::msleep(2);
            work(p);
          },
          std::move(done));
    });
    w->tabs()->setCurrentIndex(TabClipinf);
    readClipNamed(w.get(), "00001");
    auto* program = w->clipTab()->findChild<QTableWidget*>("programStreamTable");
    clickRow(program, 1);
    QSignalSpy finished(w->clipTab(), &ClipTab::extractionFinished);
    QTest::mouseClick(w->clipTab()->findChild<QPushButton*>("savePidButton"), Qt::LeftButton);
    QVERIFY(w->longTaskRunning());
    // Cancel asks first; the answer Yes stops the run.
    bool asked = false;
    QTimer::singleShot(0, [&asked] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      asked = box->text() == "Are you sure to stop?";
      QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
    });
    QTest::mouseClick(w->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    QVERIFY(asked);
    QVERIFY(finished.wait(120000));
    QCOMPARE(finished.at(0).at(0).toBool(), false);
    QVERIFY(w->logView()->lines().join('\n').contains("Saving cancelled."));
    QCOMPARE(filesIn(outDir), QStringList());
  }

  void menuStreamGoesToTheMenuTab() {
    test::TempDir tmp;
    const fs::path demo = guitest::demoDisc(tmp.path());
    // The menu clip 00000 carries the menu on 0x1400.
    if (demo.empty() || !fs::exists(demo / "STREAM" / "00000.m2ts")) MORVEX_QSKIP_OR_FAIL("the demo disc is not part of this build");
    auto w = guitest::startWindow({qs((demo / "index.bdmv").string())});
    PlaylistSpy menus;
    w->navigator()->registerShower(ItemKind::Menu, w->page(TabMenu), &menus);
    clickTab(w.get(), TabClipinf);
    readClipNamed(w.get(), "00000");
    auto* program = w->clipTab()->findChild<QTableWidget*>("programStreamTable");
    auto* toMenu = w->clipTab()->findChild<QPushButton*>("loadToMenuButton");
    int igRow = -1, audioRow = -1;
    for (int r = 0; r < program->rowCount(); ++r) {
      if (guitest::cell(program, r, 1) == "1400") igRow = r;
      if (guitest::cell(program, r, 1) == "1100") audioRow = r;
    }
    QVERIFY(igRow >= 0 && audioRow >= 0);
    clickRow(program, audioRow);
    QVERIFY(!toMenu->isEnabled());
    clickRow(program, igRow);
    QVERIFY(toMenu->isEnabled());
    QTest::mouseClick(toMenu, Qt::LeftButton);
    QCOMPARE(menus.seen.size(), 1);
    QCOMPARE(menus.seen[0].kind, ItemKind::Menu);
    QCOMPARE(menus.seen[0].name, qs((demo / "STREAM" / "00000.m2ts").string()));
    QCOMPARE(menus.seen[0].number, 0x1400);
    QCOMPARE(w->tabs()->currentIndex(), int(TabMenu));
    // The double click on the 1400 row does the same.
    w->tabs()->setCurrentIndex(TabClipinf);
    const QRect r = program->visualRect(program->model()->index(igRow, 1));
    QTest::mouseDClick(program->viewport(), Qt::LeftButton, {}, r.center());
    QCOMPARE(menus.seen.size(), 2);
  }

  // "-> Menu" while the menu read from that stream is edited: the question names the
  // menu and how it is saved, not the stream; Cancel keeps the edited menu without
  // claiming the disc has none. Discard when another disc is opened drops the edit:
  // no mark in the title, and the close asks nothing.
  void menuQuestionNamesTheMenuAndDiscardDropsIt() {
    test::TempDir tmp;
    const fs::path demo = guitest::demoDisc(tmp.path());
    if (demo.empty() || !fs::exists(demo / "STREAM" / "00000.m2ts")) MORVEX_QSKIP_OR_FAIL("the demo disc is not part of this build");
    const fs::path other = guitest::writeDisc(tmp / "other", guitest::makeIndex(1, 1), guitest::makeMobj({{}}));
    auto w = guitest::startWindow({qs((demo / "index.bdmv").string())});
    clickTab(w.get(), TabClipinf);
    readClipNamed(w.get(), "00000");
    auto* program = w->clipTab()->findChild<QTableWidget*>("programStreamTable");
    auto* toMenu = w->clipTab()->findChild<QPushButton*>("loadToMenuButton");
    int igRow = -1;
    for (int r = 0; r < program->rowCount(); ++r)
      if (guitest::cell(program, r, 1) == "1400") igRow = r;
    QVERIFY(igRow >= 0);
    MenuTab* menu = w->menuTab();
    {
      QSignalSpy loaded(menu, &MenuTab::loadFinished);
      clickRow(program, igRow);
      QTest::mouseClick(toMenu, Qt::LeftButton);
      QVERIFY(loaded.wait(20000));
      QVERIFY(loaded.at(0).at(0).toBool());
    }
    QCOMPARE(w->tabs()->currentIndex(), int(TabMenu));
    // A page inserted with Insert in the page choice: the menu is modified.
    const int pages = menu->pageChoice()->count();
    menu->pageChoice()->setFocus();
    QTest::keyClick(menu->pageChoice(), Qt::Key_Insert);
    QCOMPARE(menu->pageChoice()->count(), pages + 1);
    QVERIFY(menu->document().modified());

    auto answer = [](QMessageBox::StandardButton button, QString* text) {
      QTimer::singleShot(0, [button, text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box->objectName() != "unsavedQuestion") return;
        *text = box->text();
        QTest::mouseClick(box->button(button), Qt::LeftButton);
      });
    };
    w->tabs()->setCurrentIndex(TabClipinf);
    QString asked;
    answer(QMessageBox::Cancel, &asked);
    clickRow(program, igRow);
    QTest::mouseClick(toMenu, Qt::LeftButton);
    QVERIFY2(asked.contains("the menu read from 00000.m2ts (saved as a .mnu file)"), qPrintable(asked));
    QVERIFY2(!asked.contains("changes to 00000.m2ts"), qPrintable(asked));
    QTest::qWait(50);
    QVERIFY(menu->document().modified());
    QCOMPARE(menu->pageChoice()->count(), pages + 1);
    QVERIFY(!w->logView()->lines().join('\n').contains("has no"));
    QVERIFY(!w->statusLine()->panelText(1).contains("has no"));

    // Another disc, Discard: the menu's edit goes with it.
    asked.clear();
    answer(QMessageBox::Discard, &asked);
    w->bdmvTab()->openFolder(qs(other.string()));
    QVERIFY(!asked.isEmpty());
    QVERIFY(!menu->document().modified());
    QVERIFY(!w->session().anyModified());
    QVERIFY(!w->windowTitle().endsWith("*"));
    asked.clear();
    answer(QMessageBox::Cancel, &asked);
    QVERIFY(w->close());
    QVERIFY(asked.isEmpty());
  }

  void findFillsReferencedByAndJumps() {
    test::TempDir tmp;
    const fs::path demo = guitest::demoDisc(tmp.path());
    if (demo.empty() || !fs::exists(demo / "CLIPINF" / "00001.clpi")) MORVEX_QSKIP_OR_FAIL("the demo disc is not part of this build");
    // The engine's answer on the same folder.
    core::MemoryLog quiet;
    disc::DiscLoad d = disc::loadDisc(demo, disc::LoadOptions{}, quiet);
    disc::findClipReferences(d, quiet);
    size_t at = 0;
    while (at < d.clipinfos.size() && d.clipinfos[at] != "00001") ++at;
    QVERIFY(at < d.clipinfos.size());
    const auto expected = disc::ciRefRows(d.ciRefs[at]);
    QVERIFY(!expected.empty());

    auto w = guitest::startWindow({qs((demo / "index.bdmv").string())});
    PlaylistSpy playlists;
    w->navigator()->registerShower(ItemKind::Playlist, w->page(TabPlaylist), &playlists);
    clickTab(w.get(), TabClipinf);
    readClipNamed(w.get(), "00001");
    auto* refs = w->clipTab()->findChild<QTableWidget*>("clipReferenceTable");
    QVERIFY(!refs->isEnabled());  // nothing found yet
    auto* find = w->findChild<QPushButton*>("findButton");
    QVERIFY(find->isVisible());
    QTest::mouseClick(find, Qt::LeftButton);
    QCOMPARE(refs->rowCount(), int(expected.size()));
    for (int r = 0; r < int(expected.size()); ++r)
      for (int c = 0; c < 4; ++c) QCOMPARE(guitest::cell(refs, r, c), qs(expected[size_t(r)][size_t(c)]));

    const int row = int(expected.size()) - 1;
    const QRect rect = refs->visualRect(refs->model()->index(row, 1));
    QTest::mouseClick(refs->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(refs->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(playlists.seen.size(), 1);
    QCOMPARE(playlists.seen[0].name, qs(expected[size_t(row)][1]));
    const auto& ref = d.ciRefs[at][size_t(row)];
    QCOMPARE(playlists.seen[0].part, ref.kind == 'p' && ref.item > 0 ? int(ref.item) : -1);
    QCOMPARE(w->tabs()->currentIndex(), int(TabPlaylist));
  }
};

MORVEX_GUI_TEST(ClipTest)
#include "clip_test.moc"

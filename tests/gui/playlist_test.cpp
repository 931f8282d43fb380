// The PLAYLIST tab driven as a user drives it: a copy of a fixture disc is read, the
// grids are compared with the engine's own reading, fields, boxes, lists and cells are
// edited with the keyboard and mouse, the file is saved and read back through the
// engine, undo brings back the original bytes, the IN-time questions are answered both
// ways, chapter files go out and come back, and the jumps reach the other tabs.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "disc/apply.h"
#include "app/clip/clip_tab.h"
#include "clip/clpi.h"
#include "clip/clpi_text.h"
#include "gui_test_support.h"
#include "gui_tests.h"
#include "hdmv/command_edit.h"
#include "nav/movie_object.h"
#include "playlist/chapters.h"
#include "playlist/grid_text.h"
#include "playlist/mpls_reader.h"
#include "playlist/mpls_writer.h"
#include "playlist/names.h"
#include "playlist/playlist_edit.h"
#include "playlist/stream_edit.h"
#include "app/playlist/playlist_tab.h"
#include "app/shell/log_view.h"
#include "app/shell/navigator.h"
#include "support/test_support.h"
#include "app/window/main_window.h"
#include "app/widgets/in_place_edit.h"

using namespace morvex;
using namespace morvex::app;
namespace fs = std::filesystem;
namespace pl = morvex::playlist;

namespace {

// A scratch copy of a fixture disc's BDMV folder (the fixtures stay untouched).
fs::path copyDisc(const std::string& disc, const fs::path& scratch) {
  if (!test::fixturesDir()) return {};
  for (const auto& d : test::fixtureDiscs())
    if (d.parent_path().filename() == disc) {
      const fs::path to = scratch / disc / "BDMV";
      fs::create_directories(to);
      fs::copy(d, to, fs::copy_options::recursive);
      return to;
    }
  return {};
}

pl::Playlist readPlaylistOrFail(const fs::path& p) {
  pl::Playlist m;
  core::MemoryLog log;
  pl::readPlaylist(test::readFile(p), p.filename().string(), m, log);
  return m;
}

struct Open {
  std::unique_ptr<MainWindow> w;
  PlaylistTab* tab = nullptr;
};

// Starts the window on the disc, shows the PLAYLIST tab and reads `name` with the list
// and the Read button.
Open openPlaylist(const fs::path& bdmv, const QString& name) {
  Open o;
  o.w = guitest::startWindow({QString::fromStdString((bdmv / "index.bdmv").string())});
  o.tab = o.w->findChild<PlaylistTab*>();
  o.w->tabs()->setCurrentWidget(o.tab);
  auto* list = o.tab->findChild<QComboBox*>("playlistChoice");
  list->setFocus();
  while (list->currentText() != name && list->currentIndex() + 1 < list->count()) QTest::keyClick(list, Qt::Key_Down);
  QTest::mouseClick(o.tab->findChild<QPushButton*>("readPlaylistButton"), Qt::LeftButton);
  return o;
}

void clickCell(QTableWidget* t, int r, int c) {
  t->scrollToItem(t->item(r, c));
  QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualRect(t->model()->index(r, c)).center());
}

// Types into the open cell editor of a table in edit mode and presses Enter.
void typeIntoCell(QTableWidget* t, int r, int c, const QString& text) {
  clickCell(t, r, c);
  QLineEdit* ed = nullptr;
  QTRY_VERIFY((ed = qobject_cast<QLineEdit*>(t->indexWidget(t->model()->index(r, c)))) != nullptr);
  QTest::keyClick(ed, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(ed, text);
  QTest::keyClick(ed, Qt::Key_Return);
}

void typeIntoField(QLineEdit* e, const QString& text) {
  e->setFocus();
  QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(e, text);
  QTest::keyClick(e, Qt::Key_Return);
}

// Answers every IN-time question with the next answer, recording the texts asked.
struct QuestionAnswerer {
  QStringList asked;
  QList<QMessageBox::StandardButton> answers;
  QTimer timer;
  QuestionAnswerer(QList<QMessageBox::StandardButton> a) : answers(std::move(a)) {
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box || box->objectName() != "inTimeQuestion" || answers.isEmpty()) return;
      asked << box->text();
      QTest::mouseClick(box->button(answers.takeFirst()), Qt::LeftButton);
    });
    timer.start();
  }
};

}  // namespace

class PlaylistTest : public QObject {
  Q_OBJECT
private slots:
  void init() { guitest::clearSettings(); }

  // The grids show what the engine reads; one edit of every table and AppInfo control
  // is saved, read back and compared; undoing everything restores the file's bytes.
  void readEditSaveAndUndo() {
    test::TempDir tmp;
    const fs::path bdmv = copyDisc("disc11", tmp.path());
    if (bdmv.empty()) MORVEX_QSKIP_OR_FAIL("fixture disc11 not present");
    const fs::path file = bdmv / "PLAYLIST" / "00002.mpls";
    const auto original = test::readFile(file);
    const pl::Playlist before = readPlaylistOrFail(file);
    QVERIFY(before.playList.playItems.size() > 1 && !before.playList.subPaths.empty() &&
            before.playListMark.marks.size() > 3);

    auto o = openPlaylist(bdmv, "00002");
    PlaylistTab* tab = o.tab;
    QVERIFY(tab->loaded());
    QCOMPARE(tab->model(), before);
    QCOMPARE(o.w->findChild<QPushButton*>("saveButton")->toolTip(), QString("Save 00002.mpls"));

    auto* items = tab->findChild<QTableWidget*>("playItemTable");
    auto* marks = tab->findChild<QTableWidget*>("markTable");
    auto* subPaths = tab->findChild<QTableWidget*>("subPathTable");
    auto* subItems = tab->findChild<QTableWidget*>("subPlayItemTable");
    auto* counts = tab->findChild<QTableWidget*>("streamCountTable");
    auto* streams = tab->findChild<QTableWidget*>("streamTable");
    QCOMPARE(items->rowCount(), int(before.playList.playItems.size()));
    for (size_t i = 0; i < before.playList.playItems.size(); ++i) {
      const auto row = pl::playItemRow(before.playList.playItems[i], unsigned(i));
      for (size_t c = 0; c < row.size(); ++c) QCOMPARE(guitest::cell(items, int(i), int(c)), QString::fromStdString(row[c]));
    }
    QCOMPARE(marks->rowCount(), int(before.playListMark.marks.size()));
    QCOMPARE(guitest::cell(marks, 3, 3), QString::fromStdString(pl::ticks2time(before.playListMark.marks[3].timeStamp)));
    QCOMPARE(subPaths->rowCount(), int(before.playList.subPaths.size()));
    QCOMPARE(subItems->rowCount(), std::max<int>(1, int(before.playList.subPaths[0].subPlayItems.size())));
    // Selecting a PlayItem fills the counts; a kind fills the stream grid.
    clickCell(items, 1, 1);
    const auto& stn1 = before.playList.playItems[1].stn;
    QCOMPARE(guitest::cell(counts, 0, 1), QString::fromStdString(pl::stnCountRow(stn1)[1]));
    clickCell(counts, 0, 1);
    QCOMPARE(streams->rowCount(), std::max<int>(1, int(stn1.audio.size())));
    if (!stn1.audio.empty())
      QCOMPARE(guitest::cell(streams, 0, 6),
               QString::fromStdString(pl::streamAttributesText(stn1.audio[0].attr, pl::StreamKind::Audio)));

    // AppInfo: a user-operation box, the playback type, the count and a flag.
    pl::Playlist expected = before;
    auto* uo5 = tab->findChild<QCheckBox*>("uoMaskBitCheck5");
    QCOMPARE(uo5->toolTip(), QString("UO5: PG Text ST enable disable"));
    QTest::mouseClick(uo5, Qt::LeftButton);
    pl::setUOBit(expected, 5, !(before.appInfo.uoMask1 >> 5 & 1));
    QCOMPARE(tab->findChild<QLineEdit*>("uoMask1Field")->text(),
             QString("%1").arg(expected.appInfo.uoMask1, 8, 16, QChar('0')).toUpper());
    auto* pbt = tab->findChild<QComboBox*>("playbackTypeChoice");
    pbt->setFocus();
    QTest::keyClick(pbt, Qt::Key_Down);
    pl::setPlaybackType(expected, unsigned(before.appInfo.playbackType));  // the next type
    typeIntoField(tab->findChild<QLineEdit*>("playbackCountField"), "7");
    pl::setPlaybackCount(expected, 7);
    QTest::mouseClick(tab->findChild<QCheckBox*>("audioMixCheck"), Qt::LeftButton);
    pl::setAppFlag(expected, pl::AppFlag::AudioMix, !before.appInfo.audioMixAppFlag);
    // Bit 30 of the second word through its box, then a stray bit typed is dropped on Enter.
    QTest::mouseClick(tab->findChild<QCheckBox*>("uoMask2Bit30Check"), Qt::LeftButton);
    pl::setUO2Bit30(expected, !(before.appInfo.uoMask2 >> 30 & 1));
    QCOMPARE(tab->model().appInfo, expected.appInfo);

    // PlayItem: the OUT time of PlayItem 1 typed into its cell in edit mode.
    tab->playItemEditSwitch()->editAction()->trigger();
    QVERIFY(tab->playItemEditSwitch()->editing());
    const uint32_t newOut = before.playList.playItems[1].outTime + 45000;
    typeIntoCell(items, 1, 4, QString::fromStdString(pl::ticks2time(newOut)));
    QVERIFY(pl::setPlayItemCell(expected, 1, pl::PlayItemField::OutTime, pl::ticks2time(newOut)));
    QTRY_COMPARE(guitest::cell(items, 1, 5), QString::fromStdString(pl::playItemRow(expected.playList.playItems[1], 1)[5]));
    // A refused value (a type cell) leaves the model as it was and the cell shows it again.
    typeIntoCell(items, 0, 2, "XXXX");
    QTRY_COMPARE(guitest::cell(items, 0, 2), QString::fromStdString(before.playList.playItems[0].codecId));
    tab->playItemEditSwitch()->readOnlyAction()->trigger();

    // SubPath type, SubPlayItem sync PTS.
    clickCell(subPaths, 0, 1);
    auto* spType = tab->findChild<QComboBox*>("subPathTypeChoice");
    spType->setFocus();
    QTest::keyClick(spType, Qt::Key_Down);
    const unsigned newType = (before.playList.subPaths[0].type + 1) % 8;
    pl::setSubPathType(expected, 0, newType);
    QCOMPARE(guitest::cell(subPaths, 0, 1), QString::fromStdString(pl::subPathRow(expected.playList.subPaths[0], 0)[1]));
    tab->subPlayItemEditSwitch()->editAction()->trigger();
    typeIntoCell(subItems, 0, 9, "00:00:01.000");
    QVERIFY(pl::setSubPlayItemCell(expected, 0, 0, pl::SubPlayItemField::SyncStartPts, "00:00:01.000"));
    QTRY_COMPARE(guitest::cell(subItems, 0, 9), QString("00:00:01.000"));
    tab->subPlayItemEditSwitch()->readOnlyAction()->trigger();

    // Marks: the seconds of mark 2, then a new mark after it.
    clickCell(marks, 2, 1);
    typeIntoField(tab->findChild<QLineEdit*>("markSecondsField"), "17");
    auto f = pl::markTimeFields(before.playListMark.marks[2].timeStamp);
    f.seconds = 17;
    QVERIFY(pl::setMarkTime(expected, 2, f));
    QCOMPARE(guitest::cell(marks, 2, 3), QString::fromStdString(pl::ticks2time(expected.playListMark.marks[2].timeStamp)));
    clickCell(marks, 2, 1);
    QTest::mouseClick(tab->findChild<QPushButton*>("insertMarkButton"), Qt::LeftButton);
    QVERIFY(pl::insertMark(expected, 2));
    // The new mark starts at the IN time of the PlayItem selected.
    const int selectedItem = items->currentRow();
    expected.playListMark.marks[3].playItemRef = uint16_t(selectedItem);
    expected.playListMark.marks[3].timeStamp = expected.playList.playItems[size_t(selectedItem)].inTime;
    QCOMPARE(marks->rowCount(), int(expected.playListMark.marks.size()));
    QCOMPARE(marks->currentRow(), 3);

    QCOMPARE(tab->model(), expected);
    QVERIFY(tab->document().modified());
    QVERIFY(o.w->windowTitle().contains('*'));
    QTest::mouseClick(o.w->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
    QVERIFY(!tab->document().modified());
    // The file read back is the expected model, and its bytes are those the writer
    // makes of it: nothing else changed.
    QCOMPARE(readPlaylistOrFail(file), expected);
    QVERIFY(test::readFile(file) == pl::writePlaylist(expected));
    QVERIFY(test::readFile(file) != original);

    // Undo every edit: the saved file is the original again, byte for byte.
    while (tab->undoStack()->canUndo()) tab->undoStack()->undo();
    QCOMPARE(tab->model(), before);
    QCOMPARE(marks->rowCount(), int(before.playListMark.marks.size()));
    QVERIFY(tab->document().modified());
    QTest::mouseClick(o.w->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
    QVERIFY(test::readFile(file) == original);
    // Redo all: the screen follows the model.
    while (tab->undoStack()->canRedo()) tab->undoStack()->redo();
    QCOMPARE(tab->model(), expected);
    QCOMPARE(guitest::cell(marks, 2, 3), QString::fromStdString(pl::ticks2time(expected.playListMark.marks[2].timeStamp)));
  }

  // The stream editors and the stream "+" and "-": each edit stores one field through
  // the engine, inserting and deleting keep every length and address right, the saved
  // file is the engine's writing of the same edits, and undo gives back the bytes.
  void streamEditorsInsertDeleteSaveUndo() {
    test::TempDir tmp;
    const fs::path bdmv = copyDisc("disc11", tmp.path());
    if (bdmv.empty()) MORVEX_QSKIP_OR_FAIL("fixture disc11 not present");
    const fs::path file = bdmv / "PLAYLIST" / "00002.mpls";
    const auto original = test::readFile(file);
    const pl::Playlist before = readPlaylistOrFail(file);
    auto o = openPlaylist(bdmv, "00002");
    PlaylistTab* tab = o.tab;
    auto* items = tab->findChild<QTableWidget*>("playItemTable");
    auto* counts = tab->findChild<QTableWidget*>("streamCountTable");
    auto* streams = tab->findChild<QTableWidget*>("streamTable");
    auto* coAudio = tab->findChild<QComboBox*>("coAudio");
    auto* coVideo = tab->findChild<QComboBox*>("coVideo");
    auto* coLang = tab->findChild<QComboBox*>("coLang");
    auto* coEntry = tab->findChild<QComboBox*>("coEntryType");
    auto* mainPID = tab->findChild<QLineEdit*>("mainPidField");
    auto* subPath = tab->findChild<QLineEdit*>("subPathField");
    auto* ins = tab->findChild<QPushButton*>("insertStreamButton");
    auto* del = tab->findChild<QPushButton*>("deleteStreamButton");
    const auto& stn0 = before.playList.playItems[0].stn;
    QVERIFY(!stn0.audio.empty() && !stn0.video.empty());

    // Primary video: its lists, no insert or delete.
    clickCell(items, 0, 1);
    clickCell(counts, 0, 0);
    QVERIFY(coVideo->isVisible() && !coAudio->isVisible() && !coLang->isVisible());
    QCOMPARE(coVideo->currentIndex(), pl::videoCodingIndex(stn0.video[0].attr.codingType));
    QVERIFY(!ins->isEnabled() && !del->isEnabled());

    // Primary audio stream 1: the audio lists with their hints.
    clickCell(counts, 0, 1);
    clickCell(streams, 0, 1);
    QVERIFY(coAudio->isVisible() && coLang->isVisible() && !coVideo->isVisible());
    QVERIFY(mainPID->isVisible() && !subPath->isVisible());
    QCOMPARE(mainPID->text(), QString("%1").arg(stn0.audio[0].entry.mainPID, 4, 16, QChar('0')).toUpper());
    QCOMPARE(coLang->currentIndex(), pl::languageIndex(stn0.audio[0].attr.language));
    pl::Playlist expected = before;
    // "DTS-HD", the last of the list, stores 0xA2 and shows its hint.
    coAudio->setFocus();
    QTest::keyClick(coAudio, Qt::Key_End);
    QVERIFY(pl::setStreamField(expected, 0, pl::StreamKind::Audio, 0, pl::StreamField::CodingType, 0xA2));
    QCOMPARE(coAudio->toolTip(), QString("DTS-HD audio stream for Secondary audio stream"));
    QCOMPARE(guitest::cell(streams, 0, 6), QString::fromStdString(pl::streamAttributesText(
                                              expected.playList.playItems[0].stn.audio[0].attr, pl::StreamKind::Audio)));
    // The next language of the list.
    const int lang = pl::languageIndex(stn0.audio[0].attr.language);
    coLang->setFocus();
    QTest::keyClick(coLang, Qt::Key_Down);
    QVERIFY(pl::setStreamLanguage(expected, 0, pl::StreamKind::Audio, 0,
                                  pl::languageList()[size_t(std::max(0, lang + 1))]));
    // The PID typed into its field.
    typeIntoField(mainPID, "1105");
    QVERIFY(pl::setStreamField(expected, 0, pl::StreamKind::Audio, 0, pl::StreamField::MainPID, 0x1105));
    QCOMPARE(guitest::cell(streams, 0, 2), QString("1105"));
    QCOMPARE(tab->model(), expected);

    // Entry type 1 -> 2 keeps the main PID; the sub-clip fields come up instead.
    coEntry->setFocus();
    QTest::keyClick(coEntry, Qt::Key_Down);
    QVERIFY(pl::setStreamField(expected, 0, pl::StreamKind::Audio, 0, pl::StreamField::EntryType, 2));
    QCOMPARE(tab->model().playList.playItems[0].stn.audio[0].entry.mainPID, uint16_t(0x1105));
    QVERIFY(subPath->isVisible() && !mainPID->isVisible());
    QVERIFY(coEntry->toolTip().startsWith("Identify an elementary stream of the Clip used by a SubPath with SubPath_type set to 2"));

    // "+" after stream 1: a new DD stream 0x1100 "eng" as stream 2, 16 bytes more.
    QVERIFY(ins->isEnabled());
    QTest::mouseClick(ins, Qt::LeftButton);
    QCOMPARE(pl::insertStream(expected, 0, pl::StreamKind::Audio, 0), std::optional<unsigned>(1));
    QCOMPARE(streams->currentRow(), 1);
    QCOMPARE(guitest::cell(counts, 0, 1), QString::fromStdString(pl::stnCountRow(expected.playList.playItems[0].stn)[1]));
    QCOMPARE(guitest::cell(streams, 1, 2), QString("1100"));
    QCOMPARE(tab->model().playList.length, before.playList.length + 16);
    QVERIFY(pl::layoutMismatches(tab->model()).empty());
    // The Delete key on stream 1 (the edited one).
    clickCell(streams, 0, 1);
    QTest::keyClick(streams, Qt::Key_Delete);
    QVERIFY(pl::deleteStream(expected, 0, pl::StreamKind::Audio, 0));
    QCOMPARE(tab->model(), expected);
    QVERIFY(pl::layoutMismatches(tab->model()).empty());
    // With one primary audio stream left "-" is off: the last one stays.
    while (pl::streamCount(tab->model().playList.playItems[0].stn, pl::StreamKind::Audio) > 1) {
      QVERIFY(del->isEnabled());
      QTest::mouseClick(del, Qt::LeftButton);
      QVERIFY(pl::deleteStream(expected, 0, pl::StreamKind::Audio, 0));
    }
    QVERIFY(!del->isEnabled());
    QCOMPARE(tab->model(), expected);

    // Save: the file read back is the expected model, byte for byte the engine's writing.
    QTest::mouseClick(o.w->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
    QVERIFY(!tab->document().modified());
    QCOMPARE(readPlaylistOrFail(file), expected);
    QVERIFY(test::readFile(file) == pl::writePlaylist(expected));
    // Undo everything: the original bytes again.
    while (tab->undoStack()->canUndo()) tab->undoStack()->undo();
    QCOMPARE(tab->model(), before);
    QTest::mouseClick(o.w->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
    QVERIFY(test::readFile(file) == original);
  }

  // "Apply to clpi": the PlayItem's edited stream attributes reach its clip on the
  // CLIPINF tab as one undoable edit; saving writes what the engine makes of it.
  void applyToClpiEditsTheClip() {
    test::TempDir tmp;
    const fs::path demo = guitest::demoDisc(tmp.path());
    if (demo.empty() || !fs::exists(demo / "CLIPINF" / "00001.clpi")) MORVEX_QSKIP_OR_FAIL("the demo disc is not part of this build");
    const fs::path clpiFile = demo / "CLIPINF" / "00001.clpi";
    clip::ClipInfo original;
    {
      core::MemoryLog log;
      QVERIFY(clip::readClipInfoFile(clpiFile, original, log).complete());
    }
    auto o = openPlaylist(demo, "00001");
    QVERIFY(o.tab->loaded());
    QCOMPARE(o.tab->model().playList.playItems[0].clipName, std::string("00001"));
    auto* items = o.tab->findChild<QTableWidget*>("playItemTable");
    clickCell(items, 0, 1);
    clickCell(o.tab->findChild<QTableWidget*>("streamCountTable"), 0, 1);
    clickCell(o.tab->findChild<QTableWidget*>("streamTable"), 0, 1);
    auto* coLang = o.tab->findChild<QComboBox*>("coLang");
    coLang->setFocus();
    QTest::keyClick(coLang, Qt::Key_Down);
    const std::string lang = o.tab->model().playList.playItems[0].stn.audio[0].attr.language;
    QVERIFY(lang != original.programInfo.programSequences[0].streams[1].audioLanguage);

    QTest::mouseClick(o.tab->findChild<QPushButton*>("applyToClipButton"), Qt::LeftButton);
    ClipTab* clipTab = o.w->clipTab();
    QCOMPARE(o.w->tabs()->currentWidget(), static_cast<QWidget*>(clipTab));
    QCOMPARE(clipTab->clipName(), QString("00001"));
    clip::ClipInfo expected = original;
    QVERIFY(!disc::applyPlayItem(o.tab->model().playList.playItems[0], expected).empty());
    QCOMPARE(expected.programInfo.programSequences[0].streams[1].audioLanguage, lang);
    QVERIFY(clipTab->document().model == expected);
    QVERIFY(clipTab->document().modified());
    QCOMPARE(guitest::cell(clipTab->findChild<QTableWidget*>("programStreamTable"), 1, 3),
             QString::fromStdString(clip::programRows(expected)[1][3]));
    // One undo step brings the clip back as read.
    clipTab->undoStack()->undo();
    QVERIFY(clipTab->document().model == original);
    QVERIFY(!clipTab->document().modified());
    clipTab->undoStack()->redo();
    QTest::mouseClick(o.w->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
    QVERIFY(!clipTab->document().modified());
    clip::ClipInfo back;
    core::MemoryLog log;
    QVERIFY(clip::readClipInfoFile(clpiFile, back, log).complete());
    QVERIFY(back == expected);
    clip::ClipInfo written = expected;
    clip::settleClipInfo(written);  // the model as the file holds it
    QVERIFY(test::readFile(clpiFile) == clip::writeClipInfo(written));
  }

  // Moving an IN time asks the three questions with their texts; Yes moves what the
  // answer covers, No leaves it.
  void inTimeQuestionsBothWays() {
    test::TempDir tmp;
    const fs::path bdmv = copyDisc("disc11", tmp.path());
    if (bdmv.empty()) MORVEX_QSKIP_OR_FAIL("fixture disc11 not present");
    const pl::Playlist before = readPlaylistOrFail(bdmv / "PLAYLIST" / "00002.mpls");
    auto o = openPlaylist(bdmv, "00002");
    auto* items = o.tab->findChild<QTableWidget*>("playItemTable");
    o.tab->playItemEditSwitch()->editAction()->trigger();
    const QStringList all = {"Do you want to update OUT time?", "Do you want to update SubPlayItems' IN/OUT times?",
                             "Do you want to update PlayListMarks' marktimes?"};
    for (bool yes : {true, false}) {
      const pl::Playlist was = o.tab->model();
      const uint32_t newIn = was.playList.playItems[0].inTime + 90000;
      const auto b = yes ? QMessageBox::Yes : QMessageBox::No;
      QuestionAnswerer answer({b, b, b});
      typeIntoCell(items, 0, 3, QString::fromStdString(pl::ticks2time(newIn)));
      QTRY_COMPARE(answer.asked, all);
      pl::Playlist expected = was;
      QVERIFY(pl::changeInTime(expected, 0, newIn, {yes, yes, yes}));
      QCOMPARE(o.tab->model(), expected);
      const auto& pi = o.tab->model().playList.playItems[0];
      QCOMPARE(pi.outTime, yes ? was.playList.playItems[0].outTime + 90000 : was.playList.playItems[0].outTime);
      QCOMPARE(o.tab->model().playList.subPaths[0].subPlayItems[0].inTime,
               was.playList.subPaths[0].subPlayItems[0].inTime + (yes ? 90000u : 0u));
      QTRY_COMPARE(guitest::cell(items, 0, 4), QString::fromStdString(pl::ticks2time(pi.outTime)));
    }
    // Typing the same time again asks nothing and changes nothing.
    const pl::Playlist now = o.tab->model();
    QuestionAnswerer none({QMessageBox::Yes});
    typeIntoCell(items, 0, 3, QString::fromStdString(pl::ticks2time(now.playList.playItems[0].inTime)));
    QTest::qWait(100);
    QVERIFY(none.asked.isEmpty());
    QCOMPARE(o.tab->model(), now);
    while (o.tab->undoStack()->canUndo()) o.tab->undoStack()->undo();
    QCOMPARE(o.tab->model(), before);
  }

  // Chapter files in each format go out and come back; a refused file changes nothing.
  void chaptersRoundTrip() {
    test::TempDir tmp;
    const fs::path bdmv = copyDisc("disc11", tmp.path());
    if (bdmv.empty()) MORVEX_QSKIP_OR_FAIL("fixture disc11 not present");
    auto o = openPlaylist(bdmv, "00002");
    const pl::Playlist before = o.tab->model();
    QVERIFY(o.tab->findChild<QPushButton*>("loadChaptersButton")->isEnabled());
    for (auto f : {pl::ChapterFormat::PTS, pl::ChapterFormat::Frame, pl::ChapterFormat::Time}) {
      const QString path = QString::fromStdString((tmp.path() / pl::defaultChapterFileName("00002", f)).string());
      QVERIFY(o.tab->saveChapters(path, f));
      const auto text = test::readFile(path.toStdString());
      QCOMPARE(std::string(text.begin(), text.end()), pl::exportChapters(before, f).text);
      QVERIFY(o.tab->loadChapters(path, f));
      // Every mark comes back on its PlayItem at its stored tick, though a frame number
      // or a millisecond cannot name a tick: a line that names a mark already there
      // keeps it where it was.
      const auto& got = o.tab->model().playListMark.marks;
      QCOMPARE(got.size(), before.playListMark.marks.size());
      for (size_t k = 0; k < got.size(); ++k) {
        QCOMPARE(got[k].playItemRef, before.playListMark.marks[k].playItemRef);
        const int64_t d = int64_t(got[k].timeStamp) - int64_t(before.playListMark.marks[k].timeStamp);
        QVERIFY2(d == 0, qPrintable(QString("format %1 mark %2 moved %3").arg(int(f)).arg(k).arg(d)));
      }
      while (o.tab->undoStack()->canUndo()) o.tab->undoStack()->undo();
      QCOMPARE(o.tab->model(), before);
    }
    // An empty file: an error in the log, the marks as they were, nothing to undo.
    const fs::path empty = tmp.path() / "empty.txt";
    test::writeFile(empty, {});
    QVERIFY(!o.tab->loadChapters(QString::fromStdString(empty.string()), pl::ChapterFormat::PTS));
    QCOMPARE(o.tab->model(), before);
    QVERIFY(!o.tab->undoStack()->canUndo());
    QVERIFY(o.w->logView()->lines().join('\n').contains("Chapters not loaded"));
  }

  // Clip names lead to the CLIPINF tab; Find lists the commands playing the playlist;
  // the navigator opens a playlist here; references that point nowhere are warned of.
  void jumpsFindAndWarnings() {
    test::TempDir tmp;
    const fs::path bdmv = copyDisc("disc11", tmp.path());
    if (bdmv.empty()) MORVEX_QSKIP_OR_FAIL("fixture disc11 not present");
    auto o = openPlaylist(bdmv, "00001");
    auto* items = o.tab->findChild<QTableWidget*>("playItemTable");
    QSignalSpy wanted(o.tab, &PlaylistTab::itemWanted);
    const QRect r = items->visualRect(items->model()->index(0, 1));
    QTest::mouseClick(items->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(items->viewport(), Qt::LeftButton, {}, r.center());
    QCOMPARE(wanted.count(), 1);
    const auto ref = wanted.front().front().value<ItemRef>();
    QCOMPARE(int(ref.kind), int(ItemKind::Clip));
    QCOMPARE(ref.name, QString::fromStdString(o.tab->model().playList.playItems[0].clipName));
    QCOMPARE(o.w->tabs()->currentIndex(), 2);  // the CLIPINF tab

    // The navigator (as a Play PL command's double-click on the BDMV tab) opens 00002.
    QVERIFY(o.w->navigator()->show(ItemRef{ItemKind::Playlist, "00002", -1, 1}));
    QCOMPARE(o.w->tabs()->currentWidget(), static_cast<QWidget*>(o.tab));
    QCOMPARE(o.tab->playlistName(), QString("00002"));
    QCOMPARE(items->currentRow(), 1);
    QVERIFY(!o.w->navigator()->show(ItemRef{ItemKind::Playlist, "54321", -1, -1}));

    // Find: one line per movie-object command that plays 00002.
    nav::MovieObjectFile mo;
    core::MemoryLog ml;
    nav::readMovieObjectFile(test::readFile(bdmv / "MovieObject.bdmv"), "MovieObject.bdmv", mo, ml);
    QStringList expected;
    for (size_t ob = 0; ob < mo.movieObjects.objects.size(); ++ob)
      for (size_t l = 0; l < mo.movieObjects.objects[ob].commands.size(); ++l) {
        const auto t = hdmv::followCommand(mo.movieObjects.objects[ob].commands, int(l));
        if (t.kind == hdmv::FollowTarget::PlayList && t.number == 2) expected << QString("MovieObject %1, command %2").arg(ob).arg(l);
      }
    QTest::mouseClick(o.w->findChild<QPushButton*>("findButton"), Qt::LeftButton);
    const QString log = o.w->logView()->lines().join('\n');
    QVERIFY(log.contains("Movie-object commands playing 00002:"));
    for (const auto& e : expected) QVERIFY2(log.contains(e), qPrintable(e));
    if (expected.isEmpty()) QVERIFY(log.contains("none found"));
    // The same commands as a list; a double click shows the movie object on the BDMV tab.
    auto* found = o.tab->findChild<QTableWidget*>("findTable");
    QVERIFY(found->isVisible());
    QVERIFY(!expected.isEmpty());
    QCOMPARE(found->rowCount(), int(expected.size()));
    for (int r = 0; r < found->rowCount(); ++r)
      QCOMPARE(QString("MovieObject %1, command %2").arg(guitest::cell(found, r, 0), guitest::cell(found, r, 1)),
               expected[r]);
    const int object = guitest::cell(found, found->rowCount() - 1, 0).toInt();
    clickCell(found, found->rowCount() - 1, 1);
    QTest::mouseDClick(found->viewport(), Qt::LeftButton, {},
                       found->visualRect(found->model()->index(found->rowCount() - 1, 1)).center());
    QCOMPARE(o.w->tabs()->currentIndex(), 0);  // the BDMV tab
    QCOMPARE(o.w->findChild<QTableWidget*>("movieObjectTable")->currentRow(), object);
    o.w->tabs()->setCurrentWidget(o.tab);

    // A mark pointed at a PlayItem the playlist does not have: refused with the disc
    // check's message, the field shows the stored PlayItem again.
    auto* marks = o.tab->findChild<QTableWidget*>("markTable");
    clickCell(marks, 0, 1);
    const int storedRef = o.tab->model().playListMark.marks[0].playItemRef;
    typeIntoField(o.tab->findChild<QLineEdit*>("markPlayItemField"), "500");
    QCOMPARE(int(o.tab->model().playListMark.marks[0].playItemRef), storedRef);
    QCOMPARE(o.tab->findChild<QLineEdit*>("markPlayItemField")->text(), QString::number(storedRef));
    QVERIFY(o.w->logView()->lines().join('\n').contains("mark 0 points at PlayItem 500"));
  }

  // Insert and Delete keys in the SubPath and mark grids, Ctrl+A over the marks.
  void keysInsertAndDelete() {
    test::TempDir tmp;
    const fs::path bdmv = copyDisc("disc11", tmp.path());
    if (bdmv.empty()) MORVEX_QSKIP_OR_FAIL("fixture disc11 not present");
    auto o = openPlaylist(bdmv, "00002");
    const pl::Playlist before = o.tab->model();
    auto* marks = o.tab->findChild<QTableWidget*>("markTable");
    clickCell(marks, 0, 1);
    QTest::keyClick(marks, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(marks, Qt::Key_Delete);
    QVERIFY(o.tab->model().playListMark.marks.empty());
    QCOMPARE(o.tab->model().playListMark.length, 2u);
    QVERIFY(!o.tab->findChild<QPushButton*>("deleteMarkButton")->isEnabled());
    QVERIFY(pl::layoutMismatches(o.tab->model()).empty());
    auto* subPaths = o.tab->findChild<QTableWidget*>("subPathTable");
    clickCell(subPaths, 0, 1);
    QTest::keyClick(subPaths, Qt::Key_Insert);
    QCOMPARE(o.tab->model().playList.subPaths.size(), before.playList.subPaths.size() + 1);
    QCOMPARE(subPaths->rowCount(), int(before.playList.subPaths.size() + 1));
    QVERIFY(pl::layoutMismatches(o.tab->model()).empty());
    clickCell(subPaths, 0, 1);
    QTest::keyClick(subPaths, Qt::Key_Delete);
    QTest::keyClick(subPaths, Qt::Key_Delete);
    QVERIFY(pl::layoutMismatches(o.tab->model()).empty());
    QCOMPARE(o.tab->undoStack()->count(), 4);
    while (o.tab->undoStack()->canUndo()) o.tab->undoStack()->undo();
    QCOMPARE(o.tab->model(), before);
  }
};

MORVEX_GUI_TEST(PlaylistTest)
#include "playlist_test.moc"

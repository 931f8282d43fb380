// The disc session and its documents: edits made with the keyboard and the mouse land
// in the object or title that is current, every kind of edit undoes to the exact model
// and redoes again, the title carries the modified mark, and closing or reading again
// asks before anything modified is dropped. Also the navigator (with a stand-in for
// the tabs still to come), the log written from a worker thread, and the details of
// the BDMV tab that used to go stale.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "app/bdmv/bdmv_tab.h"
#include "core/save.h"
#include "app/extdata/ext_data_dump.h"
#include "app/extdata/ext_data_editor.h"
#include "gui_test_support.h"
#include "gui_tests.h"
#include "app/panels/execute_panel.h"
#include "app/settings/app_settings.h"
#include "app/shell/log_view.h"
#include "app/shell/navigator.h"
#include "app/shell/single_instance.h"
#include "app/shell/status_line.h"
#include "support/test_support.h"
#include "app/widgets/command_table.h"

using namespace morvex;
using namespace morvex::app;
namespace fs = std::filesystem;

namespace {

using guitest::cmd, guitest::readIndexFile, guitest::readMobjFile;
using test::kMove, test::kAdd, test::kGoTo, test::kPlayPlAtItem;

void clickRow(QTableWidget* t, int row) {
  const QRect r = t->visualRect(t->model()->index(row, 0));
  QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, r.center());
}

// Answers the next "unsaved changes" question with `button`; `asked` tells whether
// the question came.
void answerUnsaved(QMessageBox::StandardButton button, bool* asked) {
  *asked = false;
  QTimer::singleShot(0, [button, asked] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || box->objectName() != "unsavedQuestion") return;
    *asked = true;
    QTest::mouseClick(box->button(button), Qt::LeftButton);
  });
}

// Three objects of one command each, three titles playing objects 0, 1, 2.
fs::path threeObjectDisc(const fs::path& root) {
  return guitest::writeDisc(root, guitest::makeIndex(3, 3),
                            guitest::makeMobj({{cmd(kMove, 0, 1)}, {cmd(kMove, 1, 1)}, {cmd(kMove, 2, 1)}}));
}

QStringList argFor(const fs::path& bdmv) { return {QString::fromStdString((bdmv / "index.bdmv").string())}; }

struct FakeShower : ItemShower {
  QList<ItemRef> seen;
  bool answer = true;
  bool showItem(const ItemRef& item) override {
    seen << item;
    return answer;
  }
};

}  // namespace

class SessionTest : public QObject {
  Q_OBJECT
private slots:
  void init() { guitest::clearSettings(); }

  void keyboardSelectionIsWhereEditsLand() {
    test::TempDir tmp;
    const auto bdmv = threeObjectDisc(tmp.path());
    auto w = guitest::startWindow(argFor(bdmv));
    auto& s = w->session();
    auto* objects = w->findChild<QTableWidget*>("movieObjectTable");
    auto* titles = w->findChild<QTableWidget*>("titleTable");
    clickRow(objects, 0);
    QTest::keyClick(objects, Qt::Key_Down);
    // Everything follows the row the keyboard moved to.
    QCOMPARE(w->bdmvTab()->selectedObject(), 1);
    QCOMPARE(w->executePanel()->chooser()->currentIndex(), 1);
    QCOMPARE(w->bdmvTab()->commandTable()->commandCount(), 1);
    QCOMPARE(w->executePanel()->startButton()->isEnabled(), true);
    QTest::keyClick(w->findChild<QComboBox*>("resumeChoice"), Qt::Key_Down);
    QCOMPARE(int(s.movieObjects.model.movieObjects.objects[1].resumeIntentionFlag), 1);
    QCOMPARE(int(s.movieObjects.model.movieObjects.objects[0].resumeIntentionFlag), 0);
    // An Insert in the command table goes into object 1 as well.
    clickRow(w->bdmvTab()->commandTable(), 0);
    QTest::keyClick(w->bdmvTab()->commandTable(), Qt::Key_Insert);
    QCOMPARE(s.movieObjects.model.movieObjects.objects[1].commands.size(), size_t(2));
    QCOMPARE(s.movieObjects.model.movieObjects.objects[0].commands.size(), size_t(1));
    // And Save writes it there.
    QTest::mouseClick(w->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
    const nav::MovieObjectFile saved = readMobjFile(bdmv / "MovieObject.bdmv");
    QCOMPARE(int(saved.movieObjects.objects[1].resumeIntentionFlag), 1);
    QCOMPARE(saved.movieObjects.objects[1].commands.size(), size_t(2));
    QCOMPARE(int(saved.movieObjects.objects[0].resumeIntentionFlag), 0);

    // The titles' detail lists follow the keyboard too.
    clickRow(titles, 0);
    QTest::keyClick(titles, Qt::Key_Down);
    QTest::keyClick(titles, Qt::Key_Down);
    QCOMPARE(w->findChild<QComboBox*>("titleNumberChoice")->currentText(), QString("3"));
    QCOMPARE(w->findChild<QComboBox*>("titleObjectChoice")->currentIndex(), 2);
    QTest::keyClick(w->findChild<QComboBox*>("titlePlaybackTypeChoice"), Qt::Key_Down);
    QCOMPARE(int(s.index.model.indexes.titles[2].playbackType), 1);
    QCOMPARE(int(s.index.model.indexes.titles[0].playbackType), 0);
  }

  void everyEditUndoesToTheExactModel() {
    test::TempDir tmp;
    const auto bdmv = threeObjectDisc(tmp.path());
    auto w = guitest::startWindow(argFor(bdmv));
    auto& s = w->session();
    auto* objects = w->findChild<QTableWidget*>("movieObjectTable");
    auto* titles = w->findChild<QTableWidget*>("titleTable");
    auto* commands = w->bdmvTab()->commandTable();
    QVERIFY(!w->windowTitle().endsWith("*"));

    std::vector<std::pair<nav::IndexTable, nav::MovieObjectFile>> states{{s.index.model, s.movieObjects.model}};
    auto mark = [&] { states.emplace_back(s.index.model, s.movieObjects.model); };
    // A flag, a title deleted with Delete, a command inserted, an object inserted,
    // objects deleted, the content provider typed, Top Menu switched on.
    clickRow(objects, 2);
    QTest::keyClick(w->findChild<QComboBox*>("menuCallChoice"), Qt::Key_Down);
    mark();
    QVERIFY(s.movieObjects.modified());
    QVERIFY(!s.index.modified());
    QVERIFY(w->windowTitle().endsWith(" *"));
    clickRow(titles, 1);
    QTest::keyClick(titles, Qt::Key_Delete);
    QCOMPARE(int(s.index.model.indexes.titles.size()), 2);
    mark();
    clickRow(commands, 0);
    QTest::keyClick(commands, Qt::Key_Insert);
    mark();
    QTest::mouseClick(w->findChild<QPushButton*>("insertMovieObjectButton"), Qt::LeftButton);
    QCOMPARE(int(s.movieObjects.model.movieObjects.objects.size()), 4);
    mark();
    clickRow(objects, 0);
    QTest::mouseClick(w->findChild<QPushButton*>("deleteMovieObjectButton"), Qt::LeftButton);
    QCOMPARE(int(s.movieObjects.model.movieObjects.objects.size()), 3);
    mark();
    QTest::keyClicks(w->findChild<QLineEdit*>("contentProviderField"), "xyz");
    QCOMPARE(s.index.model.contentProviderData, std::string("Morvex testsxyz"));
    mark();
    QTest::mouseClick(w->findChild<QCheckBox*>("topMenuCheck"), Qt::LeftButton);
    QVERIFY(s.index.model.indexes.topMenu.objectId != 0xFFFF);
    mark();

    // Ctrl+Z walks back through every state (the typing is one step), then
    // Ctrl+Shift+Z forward again; the tables show each state.
    for (size_t i = states.size() - 1; i > 0; --i) {
      QTest::keyClick(objects, Qt::Key_Z, Qt::ControlModifier);
      QCOMPARE(s.index.model, states[i - 1].first);
      QCOMPARE(s.movieObjects.model, states[i - 1].second);
      QCOMPARE(titles->rowCount(), std::max(1, int(states[i - 1].first.indexes.titles.size())));
      QCOMPARE(objects->rowCount(), std::max(1, int(states[i - 1].second.movieObjects.objects.size())));
    }
    QVERIFY(!s.index.modified());
    QVERIFY(!s.movieObjects.modified());
    QVERIFY(!w->windowTitle().endsWith("*"));
    QCOMPARE(w->findChild<QLineEdit*>("contentProviderField")->text(), QString("Morvex tests"));
    for (size_t i = 1; i < states.size(); ++i) {
      QTest::keyClick(objects, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
      QCOMPARE(s.index.model, states[i].first);
      QCOMPARE(s.movieObjects.model, states[i].second);
    }
    QVERIFY(w->windowTitle().endsWith(" *"));
    QCOMPARE(w->findChild<QLineEdit*>("contentProviderField")->text(), QString("Morvex testsxyz"));

    // Saved: no mark; the files hold the models.
    QTest::mouseClick(w->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
    QVERIFY(!w->windowTitle().endsWith("*"));
    QCOMPARE(readIndexFile(bdmv / "index.bdmv").indexes.titles, s.index.model.indexes.titles);
    QCOMPARE(readMobjFile(bdmv / "MovieObject.bdmv").movieObjects.objects, s.movieObjects.model.movieObjects.objects);
    // Undo after a save marks the file modified again.
    QTest::keyClick(objects, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(s.index.modified());
  }

  void closeAndReadAskBeforeDroppingChanges() {
    test::TempDir tmp;
    const auto bdmv = threeObjectDisc(tmp.path());
    const auto original = test::readFile(bdmv / "MovieObject.bdmv");
    auto w = guitest::startWindow(argFor(bdmv));
    auto& s = w->session();
    auto* objects = w->findChild<QTableWidget*>("movieObjectTable");
    auto* resume = w->findChild<QComboBox*>("resumeChoice");
    auto* read = w->findChild<QPushButton*>("readDiscButton");
    clickRow(objects, 0);
    QTest::keyClick(resume, Qt::Key_Down);
    bool asked = false;

    answerUnsaved(QMessageBox::Cancel, &asked);
    QVERIFY(!w->close());
    QVERIFY(asked);
    QVERIFY(w->isVisible());
    QVERIFY(s.movieObjects.modified());

    answerUnsaved(QMessageBox::Cancel, &asked);
    QTest::mouseClick(read, Qt::LeftButton);
    QVERIFY(asked);
    QCOMPARE(int(s.movieObjects.model.movieObjects.objects[0].resumeIntentionFlag), 1);

    answerUnsaved(QMessageBox::Discard, &asked);
    QTest::mouseClick(read, Qt::LeftButton);
    QVERIFY(asked);
    QVERIFY(!s.movieObjects.modified());
    QCOMPARE(int(s.movieObjects.model.movieObjects.objects[0].resumeIntentionFlag), 0);
    QCOMPARE(test::readFile(bdmv / "MovieObject.bdmv"), original);
    QVERIFY(!w->windowTitle().endsWith("*"));

    // Nothing modified: no question.
    answerUnsaved(QMessageBox::Cancel, &asked);
    QTest::mouseClick(read, Qt::LeftButton);
    QTest::qWait(10);
    QVERIFY(!asked);

    clickRow(objects, 0);
    QTest::keyClick(resume, Qt::Key_Down);
    answerUnsaved(QMessageBox::Save, &asked);
    QVERIFY(w->close());
    QVERIFY(asked);
    QCOMPARE(int(readMobjFile(bdmv / "MovieObject.bdmv").movieObjects.objects[0].resumeIntentionFlag), 1);
  }

  void navigatorSelectsAndReadsTheTarget() {
    test::TempDir tmp;
    hdmv::CommandList prog = {cmd(kMove, 0, 1), cmd(kPlayPlAtItem, 7, 2)};
    const auto bdmv = guitest::writeDisc(tmp.path(), guitest::makeIndex(1, 3),
                                         guitest::makeMobj({{cmd(kMove, 0, 1)}, {}, prog}));
    auto w = guitest::startWindow(argFor(bdmv));
    Navigator* nav = w->navigator();
    QSignalSpy failed(nav, &Navigator::failed);

    // A movie object: the BDMV tab becomes current with the object selected.
    w->tabs()->setCurrentIndex(TabAbout);
    QVERIFY(nav->show(ItemRef{ItemKind::MovieObject, {}, 2}));
    QCOMPARE(w->tabs()->currentIndex(), int(TabBdmv));
    QCOMPARE(w->bdmvTab()->selectedObject(), 2);
    QCOMPARE(w->bdmvTab()->commandTable()->commandCount(), 2);
    QVERIFY(!nav->show(ItemRef{ItemKind::MovieObject, {}, 9}));
    QCOMPARE(failed.size(), 1);

    // Double-clicking a command that plays playlist 7 at PlayItem 2 hands the
    // playlist to the tab registered for playlists.
    FakeShower playlists;
    nav->registerShower(ItemKind::Playlist, w->page(TabPlaylist), &playlists);
    auto* commands = w->bdmvTab()->commandTable();
    const QRect r = commands->visualRect(commands->model()->index(1, 0));
    QTest::mouseClick(commands->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(commands->viewport(), Qt::LeftButton, {}, r.center());
    QCOMPARE(playlists.seen.size(), 1);
    QCOMPARE(playlists.seen[0].name, QString("00007"));
    QCOMPARE(playlists.seen[0].part, 2);
    QCOMPARE(w->tabs()->currentIndex(), int(TabPlaylist));
    // A playlist the tab does not have is reported.
    playlists.answer = false;
    QVERIFY(!nav->show(ItemRef{ItemKind::Playlist, "00099"}));
    QCOMPARE(failed.size(), 2);
    QVERIFY(failed.last().at(0).toString().contains("playlist 00099"));
  }

  void workerLogsThroughTheWindowThread() {
    auto w = guitest::startWindow();
    const QThread* windowThread = QThread::currentThread();
    bool done = false, cancelled = true;
    const QThread* workerThread = nullptr;
    const int before = int(w->logView()->lines().size());
    w->runLongTask(
        [&](core::Progress& p) {
          workerThread = QThread::currentThread();
          for (int i = 0; i < 200; ++i) {
            w->log().info("worker line " + std::to_string(i));
            p.setTotal(200);
            p.setPosition(uint64_t(i));
          }
          w->log().status(core::StatusPanel::Detail, "worker status");
        },
        [&](bool c) {
          done = true;
          cancelled = c;
        });
    QTRY_VERIFY(done);
    QVERIFY(!cancelled);
    QVERIFY(workerThread && workerThread != windowThread);
    const QStringList lines = w->logView()->lines();
    QCOMPARE(int(lines.size()) - before, 200);
    // In order, every line whole.
    for (int i = 0; i < 200; ++i) QCOMPARE(lines[before + i].trimmed(), QString("worker line %1").arg(i));
    QTRY_COMPARE(w->statusLine()->panelText(1).trimmed(), QString("worker status"));
  }

  void runningProgramSaysSoAndCancelShowsTheLine() {
    test::TempDir tmp;
    const auto bdmv = guitest::writeDisc(tmp.path(), guitest::makeIndex(1, 1),
                                         guitest::makeMobj({{cmd(kAdd, 1, 1), cmd(kAdd, 2, 1), cmd(kGoTo, 0, 0)}}));
    auto w = guitest::startWindow(argFor(bdmv));
    ExecutePanel* exec = w->executePanel();
    QTest::mouseClick(exec->startButton(), Qt::LeftButton);
    QVERIFY(exec->running());
    QTest::qWait(50);
    QCOMPARE(w->statusLine()->panelText(0), QString("Running the program... (Cancel stops it)"));
    const int32_t stopped = w->context().interp.curLine;
    QTest::mouseClick(w->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    QVERIFY(!exec->running());
    QCOMPARE(exec->commandLine()->text(), QString("%1").arg(stopped, 4, 10, QChar('0')));
  }

  void detailListsFollowDeletedObjects() {
    test::TempDir tmp;
    nav::IndexTable ix = guitest::makeIndex(1, 2);
    ix.indexes.topMenu.objectId = 1;
    const auto bdmv = guitest::writeDisc(tmp.path(), ix, guitest::makeMobj({{cmd(kMove, 0, 1)}, {cmd(kMove, 1, 1)}}));
    auto w = guitest::startWindow(argFor(bdmv));
    auto& s = w->session();
    auto* objects = w->findChild<QTableWidget*>("movieObjectTable");
    auto* topMenu = w->findChild<QComboBox*>("topMenuObjectChoice");
    QCOMPARE(topMenu->currentText(), QString("001"));
    // Every object selected with the keyboard and deleted, then one inserted.
    clickRow(objects, 0);
    QTest::keyClick(objects, Qt::Key_Down, Qt::ShiftModifier);
    QTest::mouseClick(w->findChild<QPushButton*>("deleteMovieObjectButton"), Qt::LeftButton);
    QCOMPARE(int(s.movieObjects.model.movieObjects.objects.size()), 0);
    QTest::mouseClick(w->findChild<QPushButton*>("insertMovieObjectButton"), Qt::LeftButton);
    QCOMPARE(int(s.movieObjects.model.movieObjects.objects.size()), 1);
    // The lists show what the model holds, not the entry that happened to be first.
    const uint16_t tm = s.index.model.indexes.topMenu.objectId;
    if (tm < 1)
      QCOMPARE(topMenu->currentText(), QString("000"));
    else
      QCOMPARE(topMenu->currentIndex(), -1);
    const uint16_t title = s.index.model.indexes.titles[0].objectId;
    auto* titleObject = w->findChild<QComboBox*>("titleObjectChoice");
    QCOMPARE(titleObject->currentIndex(), title < 1 ? int(title) : -1);
  }

  void storedFolderKeptWithoutAutoRead() {
    test::TempDir tmp;
    const auto bdmv = threeObjectDisc(tmp.path());
    const QString folder = QString::fromStdString(bdmv.string()) + "/";
    {
      QSettings store(kOrganisation, kApplication);
      AppSettings a;
      a.autoRead = false;
      a.bdmvDir = folder;
      a.write(store);
    }
    auto w = guitest::startWindow();
    QCOMPARE(w->findChild<QLineEdit*>("discFolderField")->text(), folder);
    QVERIFY(!w->session().isLoaded());
    // Nothing loaded, no work folder: dialogs start at home, not at the root.
    QCOMPARE(w->context().dialogFolder(), QDir::homePath());
    w->endOfRun();
    QSettings store(kOrganisation, kApplication);
    AppSettings b;
    b.read(store);
    QCOMPARE(b.bdmvDir, folder);
    // After a load the dialogs start in the disc folder.
    QTest::mouseClick(w->findChild<QPushButton*>("readDiscButton"), Qt::LeftButton);
    QVERIFY(w->session().isLoaded());
    QCOMPARE(QDir(w->context().dialogFolder()).canonicalPath(), QDir(folder).canonicalPath());
  }

  // Choosing a folder asks about unsaved changes only when a read follows (Auto Read
  // on); Cancel then keeps both the loaded disc and the folder it came from on screen.
  void folderChoiceAsksOnlyWhenItReads() {
    test::TempDir tmp;
    const auto first = threeObjectDisc(tmp.path() / "first");
    const auto second = guitest::writeDisc(tmp.path() / "second", guitest::makeIndex(1, 1),
                                           guitest::makeMobj({{cmd(kAdd, 5, 5)}}));
    auto w = guitest::startWindow(argFor(first));
    auto& s = w->session();
    BdmvTab* tab = w->bdmvTab();
    auto* dir = w->findChild<QLineEdit*>("discFolderField");
    const QString firstShown = dir->text();
    clickRow(w->findChild<QTableWidget*>("movieObjectTable"), 0);
    QTest::keyClick(w->findChild<QComboBox*>("resumeChoice"), Qt::Key_Down);
    QVERIFY(s.movieObjects.modified());
    bool asked = false;

    // Auto Read off: the folder is only shown, nothing is read, nobody is asked.
    w->context().settings.autoRead = false;
    answerUnsaved(QMessageBox::Discard, &asked);
    tab->folderChosen(QString::fromStdString((tmp.path() / "second").string()));
    QTest::qWait(10);
    QVERIFY(!asked);
    QCOMPARE(dir->text(), QString::fromStdString(second.string()) + "/");
    QVERIFY(s.movieObjects.modified());
    QCOMPARE(s.movieObjects.model.movieObjects.objects.size(), size_t(3));
    dir->setText(firstShown);

    // Auto Read on, Cancel: the loaded disc, its change and its folder stay.
    w->context().settings.autoRead = true;
    answerUnsaved(QMessageBox::Cancel, &asked);
    tab->folderChosen(QString::fromStdString((tmp.path() / "second").string()));
    QVERIFY(asked);
    QCOMPARE(dir->text(), firstShown);
    QVERIFY(s.movieObjects.modified());
    QCOMPARE(int(s.movieObjects.model.movieObjects.objects[0].resumeIntentionFlag), 1);

    // Discard: the other disc is read, asked once.
    answerUnsaved(QMessageBox::Discard, &asked);
    tab->folderChosen(QString::fromStdString((tmp.path() / "second").string()));
    QVERIFY(asked);
    QCOMPARE(s.movieObjects.model.movieObjects.objects.size(), size_t(1));
    QVERIFY(!s.anyModified());
    QCOMPARE(dir->text(), QString::fromStdString(second.string()) + "/");
  }

  // A second launch of the program with another disc while this window holds an
  // unsaved change: the launch hands its folder over the socket and quits; the window
  // asks, and Cancel keeps the disc and its change, Discard reads the new folder.
  void laterLaunchAsksBeforeReading() {
#ifndef MORVEX_APP
    MORVEX_QSKIP_OR_FAIL("the program is not built beside the tests");
#else
    test::TempDir tmp;
    const auto first = threeObjectDisc(tmp.path() / "first");
    const auto second = guitest::writeDisc(tmp.path() / "second", guitest::makeIndex(1, 1),
                                           guitest::makeMobj({{cmd(kAdd, 5, 5)}}));
    auto w = guitest::startWindow(argFor(first));
    auto& s = w->session();
    clickRow(w->findChild<QTableWidget*>("movieObjectTable"), 0);
    QTest::keyClick(w->findChild<QComboBox*>("resumeChoice"), Qt::Key_Down);
    QVERIFY(s.movieObjects.modified());

    // The window listens where a launch with this temporary folder and user looks.
    const QString runDir = QString::fromStdString((tmp.path() / "run").string());
    QDir().mkpath(runDir);
    SingleInstance server(runDir + "/morvex-tester");
    QVERIFY(server.listen());
    connect(&server, &SingleInstance::argumentsReceived, w.get(), &MainWindow::openFromLaterLaunch,
            Qt::QueuedConnection);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TMPDIR", runDir);
    env.insert("USER", "tester");
    env.insert("QT_QPA_PLATFORM", "offscreen");

    // Answers the question whenever it comes (it comes from the event loop, later).
    QMessageBox::StandardButton answer = QMessageBox::Cancel;
    int asked = 0;
    QTimer answerer;
    connect(&answerer, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box || box->objectName() != "unsavedQuestion") return;
      ++asked;
      QTest::mouseClick(box->button(answer), Qt::LeftButton);
    });
    answerer.start(20);
    auto launch = [&] {
      QProcess p;
      p.setProcessEnvironment(env);
      p.setWorkingDirectory(QString::fromStdString(tmp.path().string()));
      p.start(MORVEX_APP, {"second/BDMV/index.bdmv"});  // relative to its own folder
      QVERIFY(p.waitForStarted(10000));
      QTRY_VERIFY_WITH_TIMEOUT(p.state() == QProcess::NotRunning, 60000);
      QCOMPARE(p.exitStatus(), QProcess::NormalExit);
      QCOMPARE(p.exitCode(), 0);
    };

    launch();
    QTRY_COMPARE_WITH_TIMEOUT(asked, 1, 10000);
    QTest::qWait(50);
    QCOMPARE(s.movieObjects.model.movieObjects.objects.size(), size_t(3));
    QVERIFY(s.movieObjects.modified());
    QCOMPARE(fs::canonical(s.folder()), fs::canonical(first));

    answer = QMessageBox::Discard;
    launch();
    QTRY_COMPARE_WITH_TIMEOUT(asked, 2, 10000);
    QTRY_COMPARE(s.movieObjects.model.movieObjects.objects.size(), size_t(1));
    QVERIFY(!s.anyModified());
    QCOMPARE(fs::canonical(s.folder()), fs::canonical(second));
#endif
  }

  // "Auto Read" on and a playlist that cannot be read: clicking the PLAYLIST tab reads
  // it once, reports it, and the window stays (it used to read again on every rules
  // change until the stack ran out).
  void unreadablePlaylistOnActivationIsReadOnce() {
    test::TempDir tmp;
    const auto bdmv = threeObjectDisc(tmp.path());
    test::writeFile(bdmv / "PLAYLIST" / "00000.mpls", core::Bytes{0});
    auto w = guitest::startWindow(argFor(bdmv));
    w->context().settings.autoRead = true;
    QTabBar* bar = w->tabs()->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(TabPlaylist).center());
    QCOMPARE(w->tabs()->currentIndex(), int(TabPlaylist));
    QTest::qWait(20);
    const QString log = w->logView()->lines().join('\n');
    QVERIFY2(log.contains("00000"), qPrintable(log));
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(TabBdmv).center());
    QCOMPARE(w->tabs()->currentIndex(), int(TabBdmv));
  }

  void extensionDataShowsOnlyPresentBytes() {
    for (uint32_t claimed : {0x10000000u, 0xFFFFFFFFu}) {
      core::ExtensionData block;
      block.length = 100;
      block.dataBlockStartAddress = 0x40;
      block.entries.push_back({1, 2, 0x40, claimed});
      for (int i = 0; i < 70; ++i) block.data.push_back(uint8_t('a' + i % 26));
      const auto lines = extDataDump(block, 0);
      QCOMPARE(int(lines.size()), 3);  // 70 bytes present: 32 + 32 + 6
      QVERIFY(lines[2].hex.starts_with(" 6D 6E 6F 70 71 72   "));  // bytes 64..69: 'm'..'r'
      QCOMPARE(lines[2].chars, std::string(" mnopqr"));
      core::MemoryLog log;
      ExtDataEditor ed(block, "index.bdmv", QString(), log);
      QCOMPARE(int(ed.dump()->toPlainText().split('\n').size()), 3);
    }
    // An entry far outside the data: one empty line.
    core::ExtensionData off;
    off.length = 20;
    off.entries.push_back({1, 2, 0xFFFFFF00u, 0xFFu});
    off.data = {1, 2, 3};
    QCOMPARE(int(extDataDump(off, 0).size()), 1);

    // A file whose length field claims more than it holds is refused, and the block
    // in the editor stays as it was.
    test::TempDir tmp;
    core::ByteWriter bw;
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
    core::ExtensionData good;
    good.length = 12 + 4;
    good.dataBlockStartAddress = 0x18;
    good.entries.push_back({1, 2, 0x18, 4});
    good.data = {9, 9, 9, 9};
    core::MemoryLog log;
    ExtDataEditor ed(good, "index.bdmv", QString(), log);
    QVERIFY(!ed.loadFrom(QString::fromStdString((tmp / "bad.exd").string())));
    QCOMPARE(ed.block(), good);
    QVERIFY(log.text().find("not a valid ExtensionData file") != std::string::npos);
  }
};

MORVEX_GUI_TEST(SessionTest)
#include "session_test.moc"

// The main window as a whole: tab captions and look, the tab rules of the shared
// bottom controls, the log panel and status line, the start-up command line, long
// tasks with progress and Cancel, and the end of the run.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QSettings>
#include <QStandardPaths>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTextBlock>
#include <QTextCursor>
#include <unistd.h>
#include <atomic>
#include <thread>

#include "app/about/about_tab.h"
#include "app/bdmv/bdmv_tab.h"
#include "app/bdmv/check_dialog.h"
#include "app/clip/clip_tab.h"
#include "gui_test_support.h"
#include "gui_tests.h"
#include "app/panels/execute_panel.h"
#include "app/panels/register_panel.h"
#include "app/shell/log_view.h"
#include "app/shell/status_line.h"
#include "app/shell/tab_bar.h"
#include "app/shell/desktop_integration.h"
#include "app/shell/temp_files.h"
#include "support/test_support.h"

using namespace morvex;
using namespace morvex::app;
namespace fs = std::filesystem;

namespace {
// The character format at a position of the log's last line.
QTextCharFormat formatAt(LogView* v, int lineStartOffset) {
  // Logged lines reach the document when the event loop turns.
  QCoreApplication::processEvents();
  QTextBlock b = v->document()->lastBlock();
  QTextCursor c(b);
  c.setPosition(b.position() + lineStartOffset + 1);
  return c.charFormat();
}
}  // namespace

class WindowTest : public QObject {
  Q_OBJECT
private slots:
  void init() { guitest::clearSettings(); }

  void tabsHaveCaptionsInOrder() {
    auto w = guitest::startWindow();
    const QStringList captions = {"&BDMV", "&PLAYLIST", "&CLIPINF", "&Menu", "BD&JO", "&Options", "S&tatus", "&About"};
    QCOMPARE(w->tabs()->count(), 8);
    for (int i = 0; i < 8; ++i) QCOMPARE(w->tabs()->tabText(i), captions[i]);
    QCOMPARE(w->tabs()->currentIndex(), int(TabBdmv));
    QVERIFY(w->windowTitle().startsWith("Morvex v"));
    // The accelerator switches tabs.
    QTest::keyClick(w.get(), Qt::Key_T, Qt::AltModifier);
    QCOMPARE(w->tabs()->currentIndex(), int(TabStatus));
  }

  void activeTabIsDrawnWithStripAndColour() {
    auto w = guitest::startWindow();
    w->resize(1000, 700);
    auto* bar = w->findChild<TabBar*>("tabBar");
    const QImage img = bar->grab().toImage();
    const QRect r = bar->tabRect(0);
    const QColor strip = img.pixelColor(r.center().x(), r.top() + 1);
    QCOMPARE(strip, TabBar::stripColour());
    // No strip on an inactive tab.
    const QRect r2 = bar->tabRect(1);
    QVERIFY(img.pixelColor(r2.center().x(), r2.top() + 1) != TabBar::stripColour());
  }

  void tabRulesDriveSharedControls() {
    auto w = guitest::startWindow();
    auto* save = w->findChild<QPushButton*>("saveButton");
    auto* find = w->findChild<QPushButton*>("findButton");
    auto* load = w->findChild<QPushButton*>("loadButton");
    auto* exec = w->executePanel();
    auto* regs = w->registerPanel();
    struct Rule {
      int tab;
      bool save, exec, regs, find, load;
      const char* hint;
    } rules[] = {
        {TabBdmv, true, true, true, false, false, "Save the bdmv files"},
        {TabOptions, false, false, false, false, false, "Save"},
        {TabStatus, false, false, true, false, false, "Save"},
        {TabAbout, false, false, false, false, false, "Save"},
    };
    for (const Rule& r : rules) {
      w->tabs()->setCurrentIndex(r.tab);
      QCOMPARE(save->isVisibleTo(w.get()), r.save);
      QCOMPARE(exec->isVisibleTo(w.get()), r.exec);
      QCOMPARE(regs->isVisibleTo(w.get()), r.regs);
      QCOMPARE(find->isVisibleTo(w.get()), r.find);
      QCOMPARE(load->isVisibleTo(w.get()), r.load);
      QCOMPARE(save->toolTip(), QString(r.hint));
    }
    // Nothing loaded: Save is shown on the BDMV tab but disabled, and so is Start.
    w->tabs()->setCurrentIndex(TabAbout);
    w->tabs()->setCurrentIndex(TabBdmv);
    QVERIFY(save->isVisibleTo(w.get()));
    QVERIFY(!save->isEnabled());
    QVERIFY(!exec->startButton()->isEnabled());
  }

  void logRendersMarkupRuns() {
    auto w = guitest::startWindow();
    LogView* v = w->logView();
    // The log is looked at: lines reach it when the event loop turns.
    w->tabs()->setCurrentIndex(TabStatus);
    v->clearLog();
    w->log().info(std::string("  Found [b]") + "3" + "[/b] playlists.");
    QCOMPARE(v->lines().last(), QString("   Found 3 playlists."));
    // Runs: "   Found " normal, "3" bold, the rest normal; all 8 points.
    QVERIFY(formatAt(v, 8).fontWeight() != QFont::Bold);
    QCOMPARE(formatAt(v, 9).fontWeight(), int(QFont::Bold));
    QVERIFY(formatAt(v, 11).fontWeight() != QFont::Bold);
    QCOMPARE(formatAt(v, 9).fontPointSize(), 8.0);

    w->log().info("[re]missing[/re] [b]2[/b]");
    QCOMPARE(formatAt(v, 1).foreground().color(), QColor(255, 0, 0));
    QVERIFY(formatAt(v, 9).foreground().color() != QColor(255, 0, 0));
    QCOMPARE(formatAt(v, 9).fontWeight(), int(QFont::Bold));

    w->log().info("[gr]ok[/re] [x]plain");
    QCOMPARE(v->lines().last(), QString(" ok plain"));
    QCOMPARE(formatAt(v, 1).foreground().color(), QColor(0, 170, 0));
    QVERIFY(formatAt(v, 5).foreground().color() != QColor(0, 170, 0));

    w->log().info("");
    QCOMPARE(v->lines().last(), QString(" "));

    // A burst reaches the document at once with every line's own looks: like runs of
    // neighbouring lines go in together, an unlike one starts anew.
    v->clearLog();
    w->log().info("[re]missing[/re] a");
    w->log().info("[re]missing[/re] b");
    w->log().info("[b]bold[/b] c");
    w->log().info("plain d");
    QCOMPARE(v->lines(), (QStringList{" missing a", " missing b", " bold c", " plain d"}));
    const auto at = [v](int block, int offset) {
      const QTextBlock b = v->document()->findBlockByNumber(block);
      QTextCursor c(b);
      c.setPosition(b.position() + offset + 1);
      return c.charFormat();
    };
    for (int line : {0, 1}) {
      QCOMPARE(at(line, 1).foreground().color(), QColor(255, 0, 0));
      QVERIFY(at(line, 9).foreground().color() != QColor(255, 0, 0));
      QVERIFY(at(line, 1).fontWeight() != QFont::Bold);
    }
    QCOMPARE(at(2, 1).fontWeight(), int(QFont::Bold));
    QVERIFY(at(2, 1).foreground().color() != QColor(255, 0, 0));
    QVERIFY(at(2, 6).fontWeight() != QFont::Bold);
    QVERIFY(at(3, 1).fontWeight() != QFont::Bold);
    QCOMPARE(at(3, 1).fontPointSize(), 8.0);

    // Out of sight the lines wait; the log shown, they are there.
    w->tabs()->setCurrentIndex(TabBdmv);
    const int blocks = v->document()->blockCount();
    for (int i = 0; i < 100; ++i) w->log().info("[re]Stream " + std::to_string(i) + " missing[/re]");
    QCoreApplication::processEvents();
    QCOMPARE(v->document()->blockCount(), blocks);
    QCOMPARE(v->lineCount(), 104);
    w->tabs()->setCurrentIndex(TabStatus);
    QCOMPARE(v->document()->blockCount(), blocks + 100);
    QCOMPARE(v->document()->lastBlock().text(), QString(" Stream 99 missing"));
    w->findChild<QPushButton*>("clearButton")->click();
    QVERIFY(v->lines().isEmpty());
  }

  void errorBoxUntilNextStatus() {
    auto w = guitest::startWindow();
    StatusLine* st = w->statusLine();
    w->log().error("Cannot create backup file.");
    QCOMPARE(w->logView()->lines().last(), QString(" ERROR: Cannot create backup file."));
    QVERIFY(st->errorShown());
    QVERIFY(st->panel(0)->width() >= 55);
    QCOMPARE(st->panelText(1), QString("Cannot create backup file."));
    QCOMPARE(st->toolTip(), QString("Cannot create backup file."));
    // The box is drawn red with yellow text.
    const QImage img = st->panel(0)->grab().toImage();
    QCOMPARE(img.pixelColor(2, 2), QColor(255, 0, 0));
    bool yellow = false;
    for (int x = 0; x < img.width() && !yellow; ++x)
      for (int y = 0; y < img.height() && !yellow; ++y) yellow = img.pixelColor(x, y) == QColor(255, 255, 0);
    QVERIFY(yellow);
    // The word ends inside the box: no yellow in its last four pixel columns.
    for (int x = img.width() - 4; x < img.width(); ++x)
      for (int y = 0; y < img.height(); ++y) QVERIFY(img.pixelColor(x, y) != QColor(255, 255, 0));
    w->log().statusReady();
    QVERIFY(!st->errorShown());
    QCOMPARE(st->panelText(0), QString("Ready."));
    w->log().stage("Saving [bl]index.bdmv[/bl]");
    QCOMPARE(st->panelText(0), QString("Saving index.bdmv"));
    QCOMPARE(st->panelText(1), QString());
  }

  void commandLineMenuFileIsCaseSensitive() {
    guitest::clearSettings();
    test::TempDir tmp;
    const auto bdmv = guitest::writeDisc(tmp.path(), guitest::makeIndex(2, 1), guitest::makeMobj({{}}));
    // Upper case ".MNU": not a menu; its folder is loaded as the disc folder.
    const QString upper = QString::fromStdString((bdmv / "MENU.MNU").string());
    auto w = guitest::startWindow({upper});
    QCOMPARE(w->findChild<QLineEdit*>("discFolderField")->text(), QString::fromStdString(bdmv.string()) + "/");
    QVERIFY(w->logView()->lines().join('\n').contains("Checking required files and directories..."));
    QVERIFY(w->windowTitle().endsWith("[" + QString::fromStdString(tmp.path().filename().string()) + "]"));

    // Lower case ".mnu": a menu file; no folder is loaded.
    const QString lower = QString::fromStdString((bdmv / "menu.mnu").string());
    auto w2 = guitest::startWindow({lower});
    QVERIFY(w2->findChild<QLineEdit*>("discFolderField")->text().isEmpty());
    QVERIFY(!w2->logView()->lines().join('\n').contains("Checking required files"));
    QCOMPARE(w2->tabs()->currentIndex(), int(TabMenu));
  }

  void autoReadLoadsStoredFolderOnlyWithoutArguments() {
    test::TempDir tmp;
    const auto bdmv = guitest::writeDisc(tmp.path(), guitest::makeIndex(1, 1), guitest::makeMobj({{}}));
    {
      QSettings store(kOrganisation, kApplication);
      store.setValue("BDMVdir", QString::fromStdString(bdmv.string()) + "/");
      store.setValue("AutoRead", false);
    }
    auto off = guitest::startWindow();
    QVERIFY(!off->logView()->lines().join('\n').contains("Checking required files"));
    {
      QSettings store(kOrganisation, kApplication);
      store.setValue("AutoRead", true);
    }
    auto on = guitest::startWindow();
    QVERIFY(on->logView()->lines().join('\n').contains("Checking required files"));
  }

  void startUpRunsOnce() {
    auto w = guitest::startWindow();
    const int lines = w->logView()->lineCount();
    w->hide();
    w->show();
    QApplication::processEvents();
    w->startUp();
    QCOMPARE(w->logView()->lineCount(), lines);
    QVERIFY(w->startedUp());
  }

  void longTaskShowsProgressAndCancels() {
    auto w = guitest::startWindow();
    auto* bar = w->findChild<QProgressBar*>("progressBar");
    auto* cancel = w->findChild<QPushButton*>("cancelButton");
    QVERIFY(!cancel->isEnabled());
    std::atomic<bool> sawCancel{false};
    bool done = false, wasCancelled = false;
    w->runLongTask(
        [&](core::Progress& p) {
          p.setTotal(1000);
          for (uint64_t i = 0; !p.cancelled(); i = (i + 1) % 1000) {
            p.setPosition(i);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
          }
          sawCancel = true;
        },
        [&](bool cancelled) {
          done = true;
          wasCancelled = cancelled;
        });
    QVERIFY(bar->isVisibleTo(w.get()));
    QVERIFY(cancel->isEnabled());
    QVERIFY(!w->registerPanel()->isVisibleTo(w.get()));
    QTest::qWait(150);  // the window keeps handling events meanwhile
    cancel->click();
    QTRY_VERIFY_WITH_TIMEOUT(done, 5000);
    QVERIFY(sawCancel);
    QVERIFY(wasCancelled);
    QVERIFY(!bar->isVisibleTo(w.get()));
    QVERIFY(!cancel->isEnabled());
    QVERIFY(w->registerPanel()->isVisibleTo(w.get()));  // the BDMV tab's panels again
  }

  // One long task at a time, whichever tab asks: while one runs, Save PID on the
  // CLIPINF tab and Check disc on the BDMV tab are refused with a message and start
  // nothing. The refused extraction leaves no trace: the first task still stops on
  // Cancel without the question a running extraction asks, and Save PID works after.
  void secondLongTaskIsRefusedOnEveryTab() {
    test::TempDir tmp;
    const fs::path demo = guitest::demoDisc(tmp.path());
    if (demo.empty() || !fs::exists(demo / "CLIPINF" / "00001.clpi")) MORVEX_QSKIP_OR_FAIL("the demo disc is not part of this build");
    const fs::path outDir = tmp / "out";
    fs::create_directories(outDir);
    auto w = guitest::startWindow({QString::fromStdString((demo / "index.bdmv").string())});
    w->context().settings.workFolder = QString::fromStdString(outDir.string());
    QTabBar* tabBar = w->tabs()->tabBar();
    const QString refused = "Another task is running: wait for it or cancel it first.";

    // The CLIPINF tab with a stream of clip 00001 chosen, ready to save its PID.
    QTest::mouseClick(tabBar, Qt::LeftButton, {}, tabBar->tabRect(TabClipinf).center());
    ClipTab* clip = w->clipTab();
    auto* clips = clip->findChild<QComboBox*>("clipChoice");
    clips->setCurrentIndex(clips->findText("00001"));
    QTest::mouseClick(clip->findChild<QPushButton*>("readClipButton"), Qt::LeftButton);
    auto* program = clip->findChild<QTableWidget*>("programStreamTable");
    QVERIFY(program->rowCount() > 1);
    QTest::mouseClick(program->viewport(), Qt::LeftButton, {}, program->visualRect(program->model()->index(1, 1)).center());
    auto* savePid = clip->findChild<QPushButton*>("savePidButton");
    QVERIFY(savePid->isEnabled());

    // The first task runs until it is cancelled.
    bool firstDone = false, firstCancelled = false;
    w->runLongTask([](core::Progress& p) { while (!p.cancelled()) QThread::msleep(2); },
                   [&](bool cancelled) {
                     firstDone = true;
                     firstCancelled = cancelled;
                   });
    QVERIFY(w->longTaskRunning());

    QSignalSpy finished(clip, &ClipTab::extractionFinished);
    QTest::mouseClick(savePid, Qt::LeftButton);
    QCOMPARE(finished.count(), 1);  // at once: nothing was started
    QCOMPARE(finished.at(0).at(0).toBool(), false);
    QCOMPARE(w->statusLine()->panelText(1), refused);
    QVERIFY(!w->statusLine()->errorShown());
    QVERIFY(savePid->isEnabled());

    QTest::mouseClick(tabBar, Qt::LeftButton, {}, tabBar->tabRect(TabBdmv).center());
    w->log().status(core::StatusPanel::Detail, "");
    auto* check = w->bdmvTab()->findChild<QPushButton*>("checkDiscButton");
    QVERIFY(check->isEnabled());
    QTest::mouseClick(check, Qt::LeftButton);
    QCOMPARE(w->statusLine()->panelText(1), refused);
    QVERIFY(check->isEnabled());
    QVERIFY(!w->bdmvTab()->checkDialog()->isVisible());

    // The first task ran on throughout; Cancel stops it without asking.
    QVERIFY(w->longTaskRunning());
    QVERIFY(!firstDone);
    bool asked = false;
    QTimer::singleShot(0, [&asked] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        asked = true;
        QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
      }
    });
    QTest::mouseClick(w->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(firstDone, 5000);
    QVERIFY(firstCancelled);
    QVERIFY(!asked);
    QVERIFY(std::filesystem::is_empty(outDir));

    // With the window free, the same click saves the PID.
    QTest::mouseClick(tabBar, Qt::LeftButton, {}, tabBar->tabRect(TabClipinf).center());
    QTest::mouseClick(savePid, Qt::LeftButton);
    QVERIFY(finished.wait(120000));
    QCOMPARE(finished.at(1).at(0).toBool(), true);
    QVERIFY(!std::filesystem::is_empty(outDir));
  }

  void endOfRunRemovesOnlyOwnTempFiles() {
    const auto own = tempFilePath("menu_resource.tmp");
    // Another running instance: a process that lives as long as this test (its parent).
    const auto other = std::filesystem::temp_directory_path() /
                       ("Morvex_" + std::to_string(::getppid()) + "_other.tmp");
    test::writeFile(own, {1, 2, 3});
    test::writeFile(other, {4});
    auto w = guitest::startWindow();
    w->close();
    QVERIFY(!std::filesystem::exists(own));
    QVERIFY(std::filesystem::exists(other));  // another instance's work file stays
    std::filesystem::remove(other);
  }

  void registerPanelAndListings() {
    auto w = guitest::startWindow();
    w->tabs()->setCurrentIndex(TabStatus);
    RegisterPanel* regs = w->registerPanel();
    auto* psrNo = regs->psrNumber();
    auto* psrVal = regs->psrValue();
    // After the start-up reset: PSR19 holds the country code, PSR20 region A.
    psrNo->setFocus();
    psrNo->selectAll();
    QTest::keyClicks(psrNo, "19");
    QCOMPARE(psrVal->text(), QString("00005553"));
    QTest::keyClick(psrNo, Qt::Key_Return);  // to the value field
    QVERIFY(psrVal->hasFocus());
    QCOMPARE(psrNo->text(), QString("019"));
    // A value typed and left is stored.
    psrVal->selectAll();
    QTest::keyClicks(psrVal, "abc");
    QTest::keyClick(psrVal, Qt::Key_Return);
    QCOMPARE(w->context().regs.psr[19], 0xABCu);
    QCOMPARE(psrVal->text(), QString("00000ABC"));
    // 128 is no PSR: the field falls back to 0.
    psrNo->setFocus();
    psrNo->selectAll();
    QTest::keyClicks(psrNo, "128");
    QCOMPARE(w->context().regs.psr[0], 1u);
    QCOMPARE(psrVal->text(), QString("00000001"));
    // Re-set Regs with region C and the GPR listing.
    w->context().settings.region = 2;
    w->findChild<QPushButton*>("resetRegistersButton")->click();
    QCOMPARE(w->context().regs.psr[20], 4u);
    QCOMPARE(w->context().regs.psr[19], 0x5553u);
    w->context().regs.gpr[7] = 5;
    w->logView()->clearLog();
    w->findChild<QPushButton*>("gprsButton")->click();
    QCOMPARE(w->logView()->lines(), QStringList{" GPR7: 00000005 (5)   "});
    w->findChild<QPushButton*>("psrsButton")->click();
    QVERIFY(w->logView()->lines().size() > 21);
    QVERIFY(w->logView()->lines().at(1).startsWith(" PSR0: 00000001 (1)"));
  }

  void fileAssociationsKeepEachOther() {
    test::TempDir data;
    const QString dir = QString::fromStdString(data.path().string());
    QVERIFY(registerFileType(FileType::Bdmv, "/opt/My Apps/morvex", dir));
    QVERIFY(registerFileType(FileType::Mnu, "/opt/My Apps/morvex", dir));
    QFile desktop(dir + "/applications/morvex.desktop");
    QVERIFY(desktop.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(desktop.readAll());
    QVERIFY2(text.contains("Exec=\"/opt/My Apps/morvex\" %f"), qPrintable(text));
    QVERIFY(text.contains("MimeType=application/x-bd-movie-info;application/x-bd-igs-menu;"));
    QFile mime(dir + "/mime/packages/morvex-mnu.xml");
    QVERIFY(mime.open(QIODevice::ReadOnly));
    const QString xml = QString::fromUtf8(mime.readAll());
    QVERIFY(xml.contains("<glob pattern=\"*.mnu\"/>"));
    QVERIFY(xml.contains("BD.IGS.menu"));
  }

  void associationsAppliedAtStartUpWhenOn() {
    {
      QSettings store(kOrganisation, kApplication);
      store.setValue("AssociateBDMV", true);
    }
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    QDir(base + "/mime").removeRecursively();
    QDir(base + "/applications").removeRecursively();
    auto w = guitest::startWindow();
    QVERIFY(QFile::exists(base + "/mime/packages/morvex-bdmv.xml"));
    QVERIFY(!QFile::exists(base + "/mime/packages/morvex-mnu.xml"));
    QDir(base + "/mime").removeRecursively();
    QDir(base + "/applications").removeRecursively();
  }

  // The program itself, run twice in a scratch environment: an ordinary run makes no
  // "Morvex-XXXXXX" folder in the temporary folder; a screenshot run keeps its
  // settings in such a folder (none reach the user's configuration) and removes it.
  void temporaryFolderOnlyForScreenshots() {
#ifndef MORVEX_APP
    MORVEX_QSKIP_OR_FAIL("the program is not built beside the tests");
#else
    test::TempDir scratch;
    const QString root = QString::fromStdString(scratch.path().string());
    for (const char* d : {"tmp", "cfg", "home"}) QDir().mkpath(root + "/" + d);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TMPDIR", root + "/tmp");
    env.insert("XDG_CONFIG_HOME", root + "/cfg");
    env.insert("HOME", root + "/home");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    auto temporaries = [&] {
      return QDir(root + "/tmp").entryList({"Morvex-*"}, QDir::Dirs | QDir::NoDotAndDotDot);
    };

    QProcess plain;
    plain.setProcessEnvironment(env);
    plain.start(MORVEX_APP, {});
    QVERIFY(plain.waitForStarted(10000));
    // Long enough for the window to be up, even on the sanitizer build.
    QTest::qWait(3000);
    QCOMPARE(plain.state(), QProcess::Running);
    const QStringList duringPlainRun = temporaries();
    plain.kill();
    plain.waitForFinished(10000);
    QVERIFY2(duringPlainRun.isEmpty(), qPrintable(duringPlainRun.join(", ")));

    QProcess shots;
    shots.setProcessEnvironment(env);
    shots.start(MORVEX_APP, {"--screenshots", root + "/shots"});
    QVERIFY(shots.waitForFinished(120000));
    QCOMPARE(shots.exitStatus(), QProcess::NormalExit);
    QCOMPARE(shots.exitCode(), 0);
    // One picture per tab, and one more for each Menu sub-tab after the first.
    QCOMPARE(QDir(root + "/shots").entryList({"*.png"}, QDir::Files).size(), qsizetype(TabCount + 3));
    QVERIFY2(temporaries().isEmpty(), qPrintable(temporaries().join(", ")));
    const QStringList configured = QDir(root + "/cfg").entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    QVERIFY2(configured.isEmpty(), qPrintable(configured.join(", ")));
#endif
  }

  void aboutTabShowsTextPictureAndChangeLog() {
    auto w = guitest::startWindow();
    auto* about = static_cast<AboutTab*>(w->page(TabAbout));
    QVERIFY(about->aboutText().contains("Morvex"));
    QVERIFY(about->changeLog()->toPlainText().contains("0.1.0"));
    QVERIFY(about->changeLog()->isReadOnly());
    const QImage pic = AboutTab::drawPicture(120);
    // A drawn picture: opaque disc pixels in the middle, transparent corners.
    QCOMPARE(pic.pixelColor(0, 0).alpha(), 0);
    QVERIFY(pic.pixelColor(60, 20).alpha() > 200);
  }
};

MORVEX_GUI_TEST(WindowTest)
#include "window_test.moc"

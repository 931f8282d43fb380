// Nothing is written from a file that was refused or read only in part: copies of the
// demo disc with a file cut short or marked with a version or type the reader does
// not take are opened in the window, edited with the mouse and keyboard and saved
// with the Save button or the unsaved-changes question; every file is then compared
// byte for byte with what it held before. A disc-level Save writes only the files that
// changed, and each banner names the file and offers what the user can do.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <map>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "app/bdmv/bdmv_tab.h"
#include "app/playlist/playlist_tab.h"
#include "app/shell/log_view.h"
#include "app/shell/status_line.h"
#include "app/widgets/read_banner.h"
#include "gui_test_support.h"
#include "gui_tests.h"
#include "support/test_support.h"

using namespace morvex;
using namespace morvex::app;
namespace fs = std::filesystem;

namespace {

void clickRow(QTableWidget* t, int row) {
  const QRect r = t->visualRect(t->model()->index(row, 0));
  QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, r.center());
}

// Answers the next unsaved-changes question with `button`.
void answerUnsaved(QMessageBox::StandardButton button, bool* asked) {
  *asked = false;
  QTimer::singleShot(0, [button, asked] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || box->objectName() != "unsavedQuestion") return;
    *asked = true;
    QTest::mouseClick(box->button(button), Qt::LeftButton);
  });
}

void cutFile(const fs::path& p, size_t keep) {
  auto bytes = test::readFile(p);
  QVERIFY(bytes.size() > keep);
  bytes.resize(keep);
  test::writeFile(p, bytes);
}

void patchBytes(const fs::path& p, size_t at, const char* text) {
  auto bytes = test::readFile(p);
  for (size_t i = 0; text[i]; ++i) bytes[at + i] = uint8_t(text[i]);
  test::writeFile(p, bytes);
}

// Every regular file under `dir` with its bytes.
std::map<std::string, core::Bytes> snapshot(const fs::path& dir) {
  std::map<std::string, core::Bytes> out;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file() && e.path().extension() != ".m2ts")
      out[fs::relative(e.path(), dir).string()] = test::readFile(e.path());
  return out;
}

// The files whose bytes differ from `before` (or that are new). The backup a save
// leaves beside the file it replaced (the saving policy) is not a change of the disc.
QStringList changedFiles(const std::map<std::string, core::Bytes>& before, const fs::path& dir) {
  QStringList out;
  for (const auto& [name, bytes] : snapshot(dir)) {
    if (name.ends_with(".backup") && before.find(name.substr(0, name.size() - 7)) != before.end()) continue;
    const auto it = before.find(name);
    if (it == before.end() || it->second != bytes) out << QString::fromStdString(name);
  }
  out.sort();
  return out;
}

QStringList argFor(const fs::path& bdmv) { return {QString::fromStdString((bdmv / "index.bdmv").string())}; }

// The resume flag of movie object 0, changed from the keyboard.
void editMovieObject(MainWindow& w) {
  clickRow(w.findChild<QTableWidget*>("movieObjectTable"), 0);
  QTest::keyClick(w.findChild<QComboBox*>("resumeChoice"), Qt::Key_Down);
}

QString bannerText(MainWindow& w, const char* name) {
  auto* b = w.findChild<ReadBanner*>(name);
  return b ? b->text() : QString("(no banner)");
}

}  // namespace

class ReadContractTest : public QObject {
  Q_OBJECT
private slots:
  void init() { guitest::clearSettings(); }

  // Version 0300 (or a type indicator that is not the file's) in both navigation
  // files: the files are refused, the window says so where the user looks, "+" has
  // nothing to add to, and neither Save nor the close question writes a byte.
  void refusedNavigationFilesAreNeverWritten_data() {
    QTest::addColumn<QByteArray>("indexHead");
    QTest::addColumn<QByteArray>("mobjHead");
    QTest::newRow("version 0300") << QByteArray("INDX0300") << QByteArray("MOBJ0300");
    QTest::newRow("wrong type") << QByteArray("MOBJ0200") << QByteArray("INDX0200");
  }
  void refusedNavigationFilesAreNeverWritten() {
    QFETCH(QByteArray, indexHead);
    QFETCH(QByteArray, mobjHead);
    test::TempDir tmp;
    const fs::path bdmv = guitest::demoDisc(tmp.path());
    if (bdmv.empty()) MORVEX_QSKIP_OR_FAIL("the demo generator is not part of this build");
    patchBytes(bdmv / "index.bdmv", 0, indexHead.constData());
    patchBytes(bdmv / "MovieObject.bdmv", 0, mobjHead.constData());
    const auto before = snapshot(bdmv);
    auto w = guitest::startWindow(argFor(bdmv));
    auto& s = w->session();
    // A later reader may take 0300; the refusal case is the other row then.
    if (!s.movieObjects.refused() && QByteArray(QTest::currentDataTag()) == "version 0300")
      QSKIP("this build reads version 0300");
    QVERIFY(s.movieObjects.refused());
    QVERIFY(s.index.refused());
    // The failure is named on the tab and in the status line, not "Ready.".
    QVERIFY2(bannerText(*w, "movieObjectReadBanner").startsWith("MovieObject.bdmv could not be read"),
             qPrintable(bannerText(*w, "movieObjectReadBanner")));
    QVERIFY(bannerText(*w, "indexReadBanner").startsWith("index.bdmv could not be read"));
    QVERIFY(w->statusLine()->errorShown());
    QVERIFY2(w->statusLine()->panelText(1).contains("not read whole"), qPrintable(w->statusLine()->panelText(1)));

    QTest::mouseClick(w->findChild<QPushButton*>("insertMovieObjectButton"), Qt::LeftButton);
    QTest::mouseClick(w->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
    bool asked = false;
    answerUnsaved(QMessageBox::Save, &asked);
    w->close();
    QCOMPARE(changedFiles(before, bdmv), QStringList());

    // Even a model changed behind the window's back stays unwritten: the question's
    // Save goes through the same check and keeps the window open.
    auto w2 = guitest::startWindow(argFor(bdmv));
    auto& s2 = w2->session();
    s2.movieObjects.model.movieObjects.objects.emplace_back();
    s2.movieObjects.refreshModified();
    QVERIFY(s2.movieObjects.modified());
    answerUnsaved(QMessageBox::Save, &asked);
    QVERIFY(!w2->close());
    QVERIFY(asked);
    QCOMPARE(changedFiles(before, bdmv), QStringList());
    QVERIFY(w2->logView()->lines().join('\n').contains("MovieObject.bdmv was not read"));
    answerUnsaved(QMessageBox::Discard, &asked);
    QVERIFY(w2->close());
  }

  // index.bdmv and sound.bdmv cut short: a movie-object edit saved with Save writes
  // MovieObject.bdmv and nothing else; the cut files are written only once the user
  // allowed it on their banner, and only when they changed.
  void partialFilesWaitForAllowSaving() {
    test::TempDir tmp;
    const fs::path bdmv = guitest::demoDisc(tmp.path());
    if (bdmv.empty()) MORVEX_QSKIP_OR_FAIL("the demo generator is not part of this build");
    QVERIFY(fs::exists(bdmv / "AUXDATA" / "sound.bdmv"));
    cutFile(bdmv / "index.bdmv", 100);
    cutFile(bdmv / "AUXDATA" / "sound.bdmv", 20000);
    const auto before = snapshot(bdmv);
    auto w = guitest::startWindow(argFor(bdmv));
    auto& s = w->session();
    QVERIFY(s.index.partial());
    QVERIFY(s.sound.partial());
    QVERIFY(bannerText(*w, "indexReadBanner").startsWith("index.bdmv was read only in part"));
    QVERIFY(bannerText(*w, "soundReadBanner").startsWith("sound.bdmv was read only in part"));
    QVERIFY(bannerText(*w, "movieObjectReadBanner").isEmpty());
    QVERIFY(w->statusLine()->errorShown());
    QVERIFY(w->statusLine()->panelText(1).contains("index.bdmv"));

    editMovieObject(*w);
    QTest::mouseClick(w->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
    QCOMPARE(changedFiles(before, bdmv), QStringList({"MovieObject.bdmv"}));
    const QString log = w->logView()->lines().join('\n');
    QVERIFY(!log.contains("index.bdmv saved."));
    QVERIFY(log.contains("MovieObject.bdmv saved."));
    QVERIFY(!fs::exists(bdmv / "index.bdmv.backup"));
    QVERIFY(!fs::exists(bdmv / "AUXDATA" / "sound.bdmv.backup"));

    // An edit of the cut index: Save and the close question both leave it alone...
    const auto afterFirst = snapshot(bdmv);
    auto* content = w->findChild<QLineEdit*>("contentProviderField");
    QVERIFY(content && content->isEnabled());
    content->setFocus();
    QTest::keyClick(content, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(content, "Edited");
    QVERIFY(s.index.modified());
    QTest::mouseClick(w->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
    QCOMPARE(changedFiles(afterFirst, bdmv), QStringList());
    bool asked = false;
    answerUnsaved(QMessageBox::Save, &asked);
    QVERIFY(!w->close());
    QCOMPARE(changedFiles(afterFirst, bdmv), QStringList());
    // ...until "Allow saving" on its banner; the cut sound file still is not touched.
    auto* allow = w->findChild<QPushButton*>("indexReadBannerAllowButton");
    QVERIFY(allow && allow->isVisible());
    QTest::mouseClick(allow, Qt::LeftButton);
    QVERIFY(bannerText(*w, "indexReadBanner").isEmpty());
    QTest::mouseClick(w->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
    QCOMPARE(changedFiles(afterFirst, bdmv), QStringList({"index.bdmv"}));
    QVERIFY(guitest::readIndexFile(bdmv / "index.bdmv").contentProviderData == "Edited");
    QVERIFY(w->close());
  }

  // With "Save to BACKUP dir" off, the first save that leaves a matching BACKUP copy
  // behind says so, once for the disc, and its button turns the setting on.
  void backupCopyLeftBehindIsToldOnce() {
    test::TempDir tmp;
    const fs::path bdmv = guitest::demoDisc(tmp.path());
    if (bdmv.empty()) MORVEX_QSKIP_OR_FAIL("the demo generator is not part of this build");
    QCOMPARE(test::readFile(bdmv / "BACKUP" / "MovieObject.bdmv"), test::readFile(bdmv / "MovieObject.bdmv"));
    auto w = guitest::startWindow(argFor(bdmv));
    QVERIFY(!w->context().settings.saveBACKUP);
    auto notices = [&] {
      QList<QMessageBox*> out;
      for (QWidget* t : QApplication::topLevelWidgets())
        if (t->objectName() == "backupNotice" && t->isVisible()) out << static_cast<QMessageBox*>(t);
      return out;
    };
    editMovieObject(*w);
    QTest::mouseClick(w->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
    QCOMPARE(notices().size(), 1);
    QVERIFY(notices().front()->text().contains("MovieObject.bdmv"));
    QTest::keyClick(w->findChild<QComboBox*>("resumeChoice"), Qt::Key_Up);
    QTest::mouseClick(w->findChild<QPushButton*>("saveButton"), Qt::LeftButton);
    QCOMPARE(notices().size(), 1);
    QTest::mouseClick(notices().front()->findChild<QPushButton*>("backupSettingButton"), Qt::LeftButton);
    QVERIFY(w->context().settings.saveBACKUP);
    QVERIFY(w->findChild<QCheckBox*>("saveToBackupFolderCheck")->isChecked());
  }

  // A playlist cut to 250 bytes of 386: Save stays off and writes nothing, with or without
  // an edit, until "Allow saving".
  void partialPlaylistIsNotSavedUnasked() {
    test::TempDir tmp;
    const fs::path bdmv = guitest::demoDisc(tmp.path());
    if (bdmv.empty()) MORVEX_QSKIP_OR_FAIL("the demo generator is not part of this build");
    cutFile(bdmv / "PLAYLIST" / "00001.mpls", 250);
    const auto before = snapshot(bdmv);
    auto w = guitest::startWindow(argFor(bdmv));
    auto* tabs = w->findChild<QTabWidget*>("mainTabs");
    tabs->setCurrentWidget(w->findChild<PlaylistTab*>("playlistTab"));
    auto* list = w->findChild<QComboBox*>("playlistChoice");
    list->setCurrentIndex(list->findText("00001"));
    QTest::mouseClick(w->findChild<QPushButton*>("readPlaylistButton"), Qt::LeftButton);
    auto& doc = w->findChild<PlaylistTab*>("playlistTab")->document();
    QVERIFY(doc.partial());
    QVERIFY(bannerText(*w, "playlistReadBanner").startsWith("00001.mpls was read only in part"));
    auto* save = w->findChild<QPushButton*>("saveButton");
    QVERIFY(!save->isEnabled());
    QTest::mouseClick(save, Qt::LeftButton);
    QCOMPARE(changedFiles(before, bdmv), QStringList());
    // "Open the log" shows the Status tab.
    QTest::mouseClick(w->findChild<QPushButton*>("playlistReadBannerLogButton"), Qt::LeftButton);
    QCOMPARE(tabs->currentWidget()->objectName(), QString("statusTab"));
    tabs->setCurrentWidget(w->findChild<PlaylistTab*>("playlistTab"));
    QTest::mouseClick(w->findChild<QPushButton*>("playlistReadBannerAllowButton"), Qt::LeftButton);
    QVERIFY(save->isEnabled());
    QTest::mouseClick(save, Qt::LeftButton);
    QCOMPARE(changedFiles(before, bdmv), QStringList({"PLAYLIST/00001.mpls"}));
    QVERIFY(w->logView()->lines().join('\n').contains("00001.mpls saved."));
  }
};

MORVEX_GUI_TEST(ReadContractTest)
#include "read_contract_test.moc"

// "Create a menu for this disc…" driven as a user does: a disc of three titles and no
// menu is opened, the dialog comes from the Menu tab's button, a title is unticked and
// a label typed, the preview follows, and Create writes the menu on the worker. The
// disc read back from the files by the engine is the oracle: the index's Top Menu runs
// an object that plays the new playlist, whose clip's stream holds the menu the Menu
// tab now shows. Bad input is shown in the dialog and writes nothing; Cancel (in the
// dialog, in the unsaved-changes question, and on the running work) leaves the disc
// as it was.
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <map>

#include "app/menu/author_dialog.h"
#include "app/menu/menu_tab.h"
#include "app/menu/picture_widget.h"
#include "app/shell/log_view.h"
#include "app/widgets/accessible_names.h"
#include "core/log.h"
#include "core/text.h"
#include "gui_test_support.h"
#include "gui_tests.h"
#include "igs/extract.h"
#include "playlist/mpls_reader.h"
#include "playlist/mpls_writer.h"
#include "support/sample_disc.h"
#include "support/test_support.h"

using namespace morvex;
using namespace morvex::app;
namespace fs = std::filesystem;

namespace {

// Pictures of the dialog for a look, written only when MORVEX_MENU_SHOTS names a folder.
void saveShot(QWidget* w, const QString& name) {
  const QString dir = qEnvironmentVariable("MORVEX_MENU_SHOTS");
  if (dir.isEmpty()) return;
  QApplication::processEvents();
  w->grab().save(dir + "/" + name + ".png");
}

QString qs(const fs::path& p) { return QString::fromStdString(p.string()); }

constexpr uint32_t kPlayPl = 0x22800000;  // Play PL, playlist number in the first operand

// A disc of `titles` titles and no menu: title i runs object i-1, which plays
// playlist i-1; each playlist has four chapter marks. No First Play, no Top Menu.
fs::path titlesDisc(const fs::path& root, size_t titles) {
  const fs::path bdmv = root / "BDMV";
  if (!test::writeSampleDisc(bdmv, titles, titles)) return {};
  nav::IndexTable ix = guitest::readIndexFile(bdmv / "index.bdmv");
  ix.indexes.firstPlayback.objectId = 0xFFFF;
  ix.indexes.topMenu.objectId = 0xFFFF;
  const core::Bytes ib = nav::writeIndexTable(ix);
  test::writeFile(bdmv / "index.bdmv", ib);
  test::writeFile(bdmv / "BACKUP" / "index.bdmv", ib);
  for (size_t i = 0; i < titles; ++i) {
    const fs::path file = bdmv / "PLAYLIST" / (core::decimalText(i, 5) + ".mpls");
    playlist::Playlist pl;
    core::MemoryLog log;
    if (!playlist::readPlaylistFile(file, pl, log).complete()) return {};
    for (uint32_t s : {15u, 30u, 45u}) {
      playlist::Mark m = pl.playListMark.marks.front();
      m.timeStamp = s * 45000;
      pl.playListMark.marks.push_back(m);
    }
    playlist::updateLengths(pl);
    test::writeFile(file, playlist::writePlaylist(pl));
  }
  return bdmv;
}

// Every file under `dir` with its bytes: what "nothing written" is compared against.
std::map<std::string, core::Bytes> snapshot(const fs::path& dir) {
  std::map<std::string, core::Bytes> out;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file()) out[fs::relative(e.path(), dir).generic_string()] = test::readFile(e.path());
  return out;
}

void clickTab(MainWindow* w, int index) {
  QTabBar* bar = w->tabs()->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

// A check box is clicked on its box, whatever the width of its cell.
void clickBox(QCheckBox* b) {
  QStyleOptionButton opt;
  opt.initFrom(b);
  QTest::mouseClick(b, Qt::LeftButton, {}, b->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &opt, b).center());
}

void typeInto(QLineEdit* e, const QString& text) {
  QTest::mouseClick(e, Qt::LeftButton);
  QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(e, text);
}

// Presses `button` and answers the file dialog it opens with `path` once the dialog is
// on screen (polled: the platform shows it some events later); a dialog still open a
// while after its answer is answered again.
void clickAndAnswerFile(QAbstractButton* button, const QString& path) {
  int polls = 0;
  bool given = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QFileDialog* fd = guitest::visibleFileDialog();
    if (!fd || !fd->findChild<QLineEdit*>("fileNameEdit")) return;
    if (given && ++polls % 25 != 0) return;
    given = true;
    QTimer::singleShot(0, fd, [fd, path] { guitest::answerFileDialog(fd, path); });
  });
  poll.start(20);
  QTest::mouseClick(button, Qt::LeftButton);
  poll.stop();
}

bool dialogShown(MainWindow* w) {
  for (AuthorDialog* d : w->menuTab()->findChildren<AuthorDialog*>())
    if (d->isVisible()) return true;
  return false;
}

// Opens the dialog from the Menu tab's button, as a user does.
AuthorDialog* openDialog(MainWindow* w) {
  clickTab(w, TabMenu);
  auto* button = w->menuTab()->findChild<QPushButton*>("authorMenuButton");
  if (!button || !button->isEnabled() || button->text() != QString("Create a menu for this disc\u2026")) return nullptr;
  QTest::mouseClick(button, Qt::LeftButton);
  // The one on screen: a dialog closed a moment ago may still wait for its deletion.
  const auto shown = [w] {
    for (AuthorDialog* d : w->menuTab()->findChildren<AuthorDialog*>())
      if (d->isVisible()) return d;
    return static_cast<AuthorDialog*>(nullptr);
  };
  AuthorDialog* dlg = nullptr;
  for (int i = 0; i < 100 && !(dlg = shown()); ++i) QTest::qWait(10);
  if (dlg && !QTest::qWaitForWindowExposed(dlg)) return nullptr;
  return dlg;
}

// Waits out the pause after a change and the drawing of its plan.
bool waitForPlan(AuthorDialog* dlg) {
  for (int i = 0; i < 3000 && dlg->previewPending(); ++i) QTest::qWait(10);
  return !dlg->previewPending();
}

size_t titleButtons(const author::MenuPlan& plan) {
  size_t n = 0;
  for (const auto& b : plan.buttons) n += b.title > 0;
  return n;
}

size_t buttonsOnPage(const igs::Menu& m, size_t page) {
  size_t n = 0;
  if (page < m.ics.pages.size())
    for (const auto& bog : m.ics.pages[page].bogs) n += bog.buttons.size();
  return n;
}

// The movie object the index's Top Menu runs, and the playlist it plays (-1: none).
std::pair<int, int> topMenuPlaylist(const fs::path& bdmv) {
  const nav::IndexTable ix = guitest::readIndexFile(bdmv / "index.bdmv");
  const nav::MovieObjectFile mo = guitest::readMobjFile(bdmv / "MovieObject.bdmv");
  const int object = ix.indexes.topMenu.isHdmv() && ix.indexes.topMenu.objectId != 0xFFFF ? ix.indexes.topMenu.objectId : -1;
  if (object < 0 || size_t(object) >= mo.movieObjects.objects.size()) return {object, -1};
  for (const hdmv::Command& c : mo.movieObjects.objects[size_t(object)].commands)
    if (c.opcode == kPlayPl) return {object, int(c.dst)};
  return {object, -1};
}

}  // namespace

class AuthorDialogTest : public QObject {
  Q_OBJECT
private slots:
  void init() { guitest::clearSettings(); }

  // The whole way: choices, preview, Create on the worker, the disc read back.
  void createsTheMenuChosenInTheDialog() {
    test::TempDir tmp;
    const fs::path bdmv = titlesDisc(tmp.path(), 3);
    QVERIFY(!bdmv.empty());
    auto w = guitest::startWindow({qs(bdmv / "index.bdmv")});
    QVERIFY(w->session().isLoaded());
    QCOMPARE(topMenuPlaylist(bdmv).first, -1);

    AuthorDialog* dlg = openDialog(w.get());
    QVERIFY(dlg);
    QVERIFY(dlg->isModal() || dlg->windowModality() != Qt::NonModal);
    QVERIFY(waitForPlan(dlg));
    QVERIFY2(dlg->plan().ok, qPrintable(dlg->problem()));
    QCOMPARE(titleButtons(dlg->plan()), size_t(3));
    auto* create = dlg->findChild<QPushButton*>("createButton");
    QVERIFY(create->isEnabled());
    auto* picture = dlg->findChild<PictureWidget*>("previewPicture");
    QVERIFY(picture->isVisible());
    QCOMPARE(picture->picture(), &dlg->plan().pages.front());
    // The disc has no First Play and no Top Menu: First Play is offered, replacing is not.
    QVERIFY(dlg->findChild<QCheckBox*>("firstPlayCheck")->isVisible());
    QVERIFY(!dlg->findChild<QCheckBox*>("replaceTopMenuCheck")->isVisible());
    const menuview::Image before = dlg->plan().pages.front();

    // The dialog at its default and its smallest size, for a look.
    saveShot(dlg, "author_dialog_default");
    const QSize normal = dlg->size();
    dlg->resize(dlg->minimumSize());
    QApplication::processEvents();
    saveShot(dlg, "author_dialog_minimum");
    dlg->resize(normal);

    // Title 2 unticked, title 1's label typed: two buttons, one with the new label.
    clickBox(dlg->findChild<QCheckBox*>("titleCheck2"));
    typeInto(dlg->findChild<QLineEdit*>("titleLabelField1"), "The feature");
    QVERIFY(!create->isEnabled());  // until the new choices are planned
    QVERIFY(waitForPlan(dlg));
    QVERIFY2(dlg->plan().ok, qPrintable(dlg->problem()));
    QCOMPARE(titleButtons(dlg->plan()), size_t(2));
    QStringList labels;
    for (const auto& b : dlg->plan().buttons)
      if (b.title > 0) labels << QString("%1: %2").arg(b.title).arg(QString::fromStdString(b.label));
    QCOMPARE(labels.size(), 2);
    QCOMPARE(labels[0], QString("1: The feature"));
    QVERIFY2(labels[1].startsWith(QString("3: Title 3 \u2014 ")), qPrintable(labels[1]));
    QVERIFY(dlg->findChild<QLabel*>("previewSummaryLabel")->text().contains("2 buttons"));
    QCOMPARE(picture->picture(), &dlg->plan().pages.front());
    QVERIFY(dlg->plan().pages.front().pixels() != before.pixels());
    QVERIFY(create->isEnabled());
    auto* pages = dlg->findChild<QComboBox*>("previewPageChoice");
    QVERIFY(!pages->isVisible());

    // A scenes page for title 1: a second page, chosen with the keyboard in the page list.
    clickBox(dlg->findChild<QCheckBox*>("scenesCheck1"));
    QVERIFY(waitForPlan(dlg));
    QVERIFY2(dlg->plan().ok, qPrintable(dlg->problem()));
    QCOMPARE(dlg->plan().pages.size(), size_t(2));
    QVERIFY(pages->isVisible());
    QCOMPARE(pages->count(), 2);
    QCOMPARE(pages->itemText(1), QString("Scenes of title 1"));
    QCOMPARE(picture->picture(), &dlg->plan().pages[0]);
    pages->setFocus();
    QTest::keyClick(pages, Qt::Key_Down);
    QCOMPARE(pages->currentIndex(), 1);
    QCOMPARE(picture->picture(), &dlg->plan().pages[1]);
    saveShot(dlg, "author_dialog_scenes");
    const std::string playlist = dlg->plan().menuPlaylist;
    const int object = dlg->plan().menuObject;
    const size_t pageButtons = buttonsOnPage(dlg->plan().menu, 0);

    // Create: the dialog closes, the work runs on the worker with the window's
    // progress bar, and the disc is read again afterwards.
    MenuTab* tab = w->menuTab();
    QSignalSpy authored(tab, &MenuTab::authorFinished);
    QSignalSpy loaded(tab, &MenuTab::loadFinished);
    QTest::mouseClick(create, Qt::LeftButton);
    QTRY_VERIFY(!dialogShown(w.get()));
    QVERIFY(w->longTaskRunning());
    QVERIFY(tab->authoring());
    QVERIFY(!tab->findChild<QPushButton*>("authorMenuButton")->isEnabled());
    QVERIFY(authored.wait(120000));
    QVERIFY2(authored.front().at(0).toBool(), qPrintable(w->logView()->lines().join('\n')));
    if (loaded.isEmpty()) QVERIFY(loaded.wait(30000));
    QVERIFY(loaded.front().at(0).toBool());

    // On disc: the Top Menu runs the new object, which plays the new playlist; that
    // playlist's clip stream holds the menu with a button per chosen title.
    const auto [topObject, topPlaylist] = topMenuPlaylist(bdmv);
    QCOMPARE(topObject, object);
    QCOMPARE(core::decimalText(uint32_t(topPlaylist), 5), playlist);
    playlist::Playlist pl;
    core::MemoryLog quiet;
    QVERIFY(playlist::readPlaylistFile(bdmv / "PLAYLIST" / (playlist + ".mpls"), pl, quiet).complete());
    QCOMPARE(pl.playList.playItems.size(), size_t(1));
    const fs::path stream = bdmv / "STREAM" / (pl.playList.playItems[0].clipName + ".m2ts");
    igs::Menu onDisc;
    QVERIFY(!igs::loadMenuSource(stream, onDisc, quiet, igs::kDefaultIgPid).refused());
    QCOMPARE(onDisc.ics.pages.size(), size_t(2));
    QCOMPARE(buttonsOnPage(onDisc, 0), pageButtons);
    QVERIFY(fs::exists(bdmv / "CLIPINF" / (pl.playList.playItems[0].clipName + ".clpi")));

    // In the window: the Menu tab shows that menu, the BDMV tab the new Top Menu.
    QVERIFY(tab->hasMenu());
    QCOMPARE(buttonsOnPage(tab->document().model, 0), pageButtons);
    QCOMPARE(tab->pageChoice()->count(), 2);
    saveShot(w.get(), "author_menu_tab");
    QVERIFY(!tab->document().modified());
    QVERIFY(w->session().index.model.indexes.topMenu.objectId == uint16_t(object));
    clickTab(w.get(), TabBdmv);
    QVERIFY(w->findChild<QCheckBox*>("topMenuCheck")->isChecked());
    QCOMPARE(w->findChild<QComboBox*>("topMenuObjectChoice")->currentIndex(), object);
    // The log names what was written.
    // The log has the engine's lines and one naming every file written.
    QVERIFY(w->logView()->lines().filter("Top menu written").size() == 1);
    const QStringList written = w->logView()->lines().filter("Written for the menu:");
    QCOMPARE(written.size(), 1);
    for (const std::string& f : {"PLAYLIST/" + playlist + ".mpls", "STREAM/" + pl.playList.playItems[0].clipName + ".m2ts",
                                 std::string("index.bdmv"), std::string("MovieObject.bdmv")})
      QVERIFY2(written.front().contains(QString::fromStdString(f)), qPrintable(written.front()));
  }

  // Bad choices are shown in place of the picture, Create stays off and Enter does
  // nothing; Escape closes the dialog; nothing of the disc changes.
  void showsBadInputAndWritesNothing() {
    test::TempDir tmp;
    const fs::path bdmv = titlesDisc(tmp.path(), 3);
    QVERIFY(!bdmv.empty());
    const fs::path notPng = tmp.path() / "background.png";
    test::writeFile(notPng, {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'});
    const auto before = snapshot(bdmv);
    auto w = guitest::startWindow({qs(bdmv / "index.bdmv")});
    AuthorDialog* dlg = openDialog(w.get());
    QVERIFY(dlg);
    QVERIFY(waitForPlan(dlg));
    QVERIFY(dlg->plan().ok);
    auto* create = dlg->findChild<QPushButton*>("createButton");
    auto* problem = dlg->findChild<QLabel*>("previewProblemLabel");
    QVERIFY(!problem->isVisible());

    // Every control says what it is, and the keyboard starts at the first title and
    // goes through its row.
    QStringList unnamed;
    for (QWidget* c : dlg->findChildren<QWidget*>()) {
      if (!isInteractiveControl(c) || c->objectName().startsWith("qt_")) continue;
      QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c);
      if (!a || a->text(QAccessible::Name).trimmed().isEmpty()) unnamed << c->objectName();
    }
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
    QCOMPARE(QApplication::focusWidget(), dlg->findChild<QWidget*>("titleCheck1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), dlg->findChild<QWidget*>("titleLabelField1"));

    // A background that is not a PNG, chosen through the file dialog.
    clickAndAnswerFile(dlg->findChild<QPushButton*>("backgroundBrowseButton"), qs(notPng));
    QCOMPARE(dlg->findChild<QLineEdit*>("backgroundPictureField")->text(), qs(notPng));
    QVERIFY(dlg->findChild<QAbstractButton*>("backgroundPictureRadio")->isChecked());
    QVERIFY(waitForPlan(dlg));
    QVERIFY(!dlg->plan().ok);
    QVERIFY(problem->isVisible());
    QVERIFY(!problem->text().isEmpty());
    QCOMPARE(problem->text(), dlg->problem());
    QVERIFY(!dlg->findChild<PictureWidget*>("previewPicture")->isVisible());
    QVERIFY(!create->isEnabled());
    QSignalSpy wanted(dlg, &AuthorDialog::createWanted);
    QTest::keyClick(dlg, Qt::Key_Return);
    QVERIFY(dlg->isVisible());
    QCOMPARE(wanted.size(), 0);

    // Back to a colour: the plan is good again. Button pictures that are not PNGs
    // are refused too, and the text faces come back when the folder is cleared.
    QTest::mouseClick(dlg->findChild<QAbstractButton*>("backgroundColourRadio"), Qt::LeftButton,
                      {}, QPoint(6, dlg->findChild<QAbstractButton*>("backgroundColourRadio")->height() / 2));
    QVERIFY(waitForPlan(dlg));
    QVERIFY2(dlg->plan().ok, qPrintable(dlg->problem()));
    QVERIFY(create->isEnabled());
    const fs::path faces = tmp.path() / "faces";
    fs::create_directories(faces);
    test::writeFile(faces / "title-1-normal.png", {'n', 'o', 'p', 'e'});
    auto* facesField = dlg->findChild<QLineEdit*>("buttonPicturesField");
    typeInto(facesField, qs(faces));
    QVERIFY(waitForPlan(dlg));
    QVERIFY(!dlg->plan().ok);
    QVERIFY2(problem->text().contains("title-1-normal.png"), qPrintable(problem->text()));
    QVERIFY(!create->isEnabled());
    QTest::keyClick(facesField, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(facesField, Qt::Key_Delete);
    QVERIFY(waitForPlan(dlg));
    QVERIFY2(dlg->plan().ok, qPrintable(dlg->problem()));
    QVERIFY(create->isEnabled());

    // No title ticked: refused by the dialog.
    for (const char* name : {"titleCheck1", "titleCheck2", "titleCheck3"}) clickBox(dlg->findChild<QCheckBox*>(name));
    QVERIFY(waitForPlan(dlg));
    QVERIFY(!dlg->plan().ok);
    QVERIFY(problem->isVisible());
    QVERIFY(problem->text().contains("title"));
    QVERIFY(!create->isEnabled());

    // Escape is Cancel.
    QTest::keyClick(dlg, Qt::Key_Escape);
    QTRY_VERIFY(!dialogShown(w.get()));
    QCOMPARE(wanted.size(), 0);
    QVERIFY(!w->longTaskRunning());
    w.reset();
    QVERIFY(snapshot(bdmv) == before);
  }

  // A disc with a Top Menu and a First Play: replacing is offered, First Play is not,
  // and nothing can be created until replacing is ticked.
  void aTopMenuIsReplacedOnlyWhenTicked() {
    test::TempDir tmp;
    const fs::path bdmv = titlesDisc(tmp.path(), 2);
    QVERIFY(!bdmv.empty());
    nav::IndexTable ix = guitest::readIndexFile(bdmv / "index.bdmv");
    ix.indexes.firstPlayback.objectId = 0;
    ix.indexes.topMenu.objectId = 1;
    test::writeFile(bdmv / "index.bdmv", nav::writeIndexTable(ix));
    auto w = guitest::startWindow({qs(bdmv / "index.bdmv")});
    AuthorDialog* dlg = openDialog(w.get());
    QVERIFY(dlg);
    QVERIFY(waitForPlan(dlg));
    auto* replace = dlg->findChild<QCheckBox*>("replaceTopMenuCheck");
    QVERIFY(replace->isVisible());
    QVERIFY(!dlg->findChild<QCheckBox*>("firstPlayCheck")->isVisible());
    QVERIFY(!dlg->plan().ok);
    QVERIFY2(dlg->problem().contains(replace->text()), qPrintable(dlg->problem()));
    QVERIFY(!dlg->findChild<QPushButton*>("createButton")->isEnabled());
    clickBox(replace);
    QVERIFY(waitForPlan(dlg));
    QVERIFY2(dlg->plan().ok, qPrintable(dlg->problem()));
    QVERIFY(dlg->plan().replacesTopMenu);
    QVERIFY(dlg->options().replace);
    QVERIFY(dlg->findChild<QLabel*>("previewSummaryLabel")->text().contains("Top Menu is replaced"));
    QVERIFY(dlg->findChild<QPushButton*>("createButton")->isEnabled());
    QTest::mouseClick(dlg->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    QTRY_VERIFY(!dialogShown(w.get()));
  }

  // Unsaved edits are asked about before anything is written: Cancel keeps the edit
  // and the dialog; Discard lets the work start, and Cancel on the running work
  // leaves the disc as it was.
  void unsavedEditsAndCancelLeaveTheDiscAlone() {
    test::TempDir tmp;
    const fs::path bdmv = titlesDisc(tmp.path(), 3);
    QVERIFY(!bdmv.empty());
    const auto before = snapshot(tmp.path());
    auto w = guitest::startWindow({qs(bdmv / "index.bdmv")});
    // An edit of the index not yet saved.
    auto* provider = w->findChild<QLineEdit*>("contentProviderField");
    typeInto(provider, "edited");
    QTest::keyClick(provider, Qt::Key_Tab);
    QVERIFY(w->session().index.modified());

    AuthorDialog* dlg = openDialog(w.get());
    QVERIFY(dlg);
    clickBox(dlg->findChild<QCheckBox*>("titleCheck3"));
    typeInto(dlg->findChild<QLineEdit*>("titleLabelField2"), "Kept label");
    QVERIFY(waitForPlan(dlg));
    QVERIFY(dlg->plan().ok);
    auto* create = dlg->findChild<QPushButton*>("createButton");
    const auto answer = [](QMessageBox::StandardButton button, bool* asked) {
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
    QTest::mouseClick(create, Qt::LeftButton);
    QVERIFY(asked);
    QVERIFY(dlg->isVisible());
    QVERIFY(w->session().index.modified());
    QVERIFY(!w->longTaskRunning());

    // Discard, and Cancel at once on the running work (Enter is Create now).
    MenuTab* tab = w->menuTab();
    QSignalSpy authored(tab, &MenuTab::authorFinished);
    answer(QMessageBox::Discard, &asked);
    QTest::keyClick(dlg, Qt::Key_Return);
    QVERIFY(asked);
    QVERIFY(!w->session().index.modified());
    QVERIFY(w->longTaskRunning());
    QTest::mouseClick(w->findChild<QWidget*>("bottomPanel")->findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    QVERIFY(authored.wait(120000));
    QCOMPARE(authored.front().at(0).toBool(), false);
    QVERIFY(w->logView()->lines().filter("cancelled").size() >= 1);
    QVERIFY(!tab->hasMenu());
    QVERIFY(tab->findChild<QPushButton*>("authorMenuButton")->isEnabled());

    // The choices come back when the dialog opens again.
    dlg = openDialog(w.get());
    QVERIFY(dlg);
    QVERIFY(waitForPlan(dlg));
    QVERIFY(dlg->findChild<QCheckBox*>("titleCheck1")->isChecked());
    QVERIFY(!dlg->findChild<QCheckBox*>("titleCheck3")->isChecked());
    QCOMPARE(dlg->findChild<QLineEdit*>("titleLabelField2")->text(), QString("Kept label"));
    QVERIFY(dlg->plan().ok);
    QCOMPARE(dlg->plan().titles.size(), size_t(2));
    QTest::keyClick(dlg, Qt::Key_Escape);
    QTRY_VERIFY(!dialogShown(w.get()));
    w.reset();
    QVERIFY(snapshot(tmp.path()) == before);
  }
};

MORVEX_GUI_TEST(AuthorDialogTest)
#include "author_dialog_test.moc"

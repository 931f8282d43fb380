// The BDJO tab: a BD-J object reached from its title on the BDMV tab and compared
// field by field with the engine's reading of the same file, the jump from an
// accessible playlist, Auto Read on activation, and files that are refused or cut
// short.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>

#include "bdj/bdjo.h"
#include "app/bdjo/bdjo_tab.h"
#include "app/bdmv/bdmv_tab.h"
#include "core/log.h"
#include "gui_test_support.h"
#include "gui_tests.h"
#include "nav/index.h"
#include "app/shell/log_view.h"
#include "app/shell/navigator.h"
#include "app/shell/status_line.h"
#include "support/test_support.h"

using namespace morvex;
using namespace morvex::app;
namespace fs = std::filesystem;

namespace {

struct PlaylistSpy : ItemShower {
  QList<ItemRef> seen;
  bool showItem(const ItemRef& item) override {
    seen << item;
    return true;
  }
};

void doubleClickRow(QTableWidget* t, int row) {
  const QRect r = t->visualRect(t->model()->index(row, 1));
  QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, r.center());
  QTest::mouseDClick(t->viewport(), Qt::LeftButton, {}, r.center());
}

void clickTab(MainWindow* w, int index) {
  QTabBar* bar = w->tabs()->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

QString qs(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

class BdjoTest : public QObject {
  Q_OBJECT
private slots:
  void init() { guitest::clearSettings(); }

  void titleDoubleClickShowsTheObjectAsTheEngineReadsIt() {
    test::TempDir tmp;
    const fs::path demo = guitest::demoDisc(tmp.path());
    if (demo.empty() || !fs::exists(demo / "BDJO" / "00001.bdjo")) MORVEX_QSKIP_OR_FAIL("the demo disc is not part of this build");
    auto w = guitest::startWindow({qs((demo / "index.bdmv").string())});
    PlaylistSpy playlists;
    w->navigator()->registerShower(ItemKind::Playlist, w->page(TabPlaylist), &playlists);

    // The BD-J title of the index, double-clicked on the BDMV tab.
    const nav::IndexTable ix = guitest::readIndexFile(demo / "index.bdmv");
    core::MemoryLog quiet;
    int bdjRow = -1;
    for (size_t i = 0; i < ix.indexes.titles.size(); ++i)
      if (!ix.indexes.titles[i].isHdmv()) bdjRow = int(i);
    QVERIFY(bdjRow >= 0);
    doubleClickRow(w->bdmvTab()->findChild<QTableWidget*>("titleTable"), bdjRow);
    QCOMPARE(w->tabs()->currentIndex(), int(TabBdjo));
    BdjoTab* tab = w->bdjoTab();
    QVERIFY(tab->hasObject());
    QCOMPARE(tab->shownName(), qs(ix.indexes.titles[size_t(bdjRow)].bdjFileName));

    // Everything on the page is what the engine reads from the file.
    bdj::BdjObject b;
    QVERIFY(bdj::readBdjObjectFile(demo / "BDJO" / (ix.indexes.titles[size_t(bdjRow)].bdjFileName + ".bdjo"), b, quiet)
                .complete());
    QVERIFY(tab->model() == b);
    QCOMPARE(w->bdjoTab()->findChild<QLineEdit*>("bdjoFontField")->text(), qs(b.terminalInfo.defaultFont));
    QCOMPARE(w->bdjoTab()->findChild<QLineEdit*>("bdjoHaviField")->text(),
             QString::number(b.terminalInfo.initialHaviConfigurationId, 16).toUpper());
    QCOMPARE(w->bdjoTab()->findChild<QCheckBox*>("xBdjoAutostart")->isChecked(), b.accessiblePlaylists.autostartFirstPlaylist);
    QCOMPARE(w->bdjoTab()->findChild<QCheckBox*>("xBdjoAccessAll")->isChecked(), b.accessiblePlaylists.accessToAll);
    auto* apps = w->bdjoTab()->findChild<QTableWidget*>("tBdjoApps");
    const auto rows = bdj::applicationRows(b);
    QCOMPARE(apps->rowCount(), int(rows.size()));
    for (int c = 0; c < int(rows[0].size()); ++c) QCOMPARE(guitest::cell(apps, 0, c), qs(rows[0][size_t(c)]));
    // The demo stores the BD-J type as discs do, and the table shows the byte.
    QCOMPARE(guitest::cell(apps, 0, 2), QString("16"));
    // The first application's details are shown.
    auto* names = w->bdjoTab()->findChild<QTableWidget*>("tBdjoNames");
    QCOMPARE(guitest::cell(names, 0, 2), qs(b.applicationTable.applications[0].names[0].name));
    QCOMPARE(guitest::cell(w->bdjoTab()->findChild<QTableWidget*>("tBdjoProfiles"), 0, 1),
             qs(bdj::profileRows(b.applicationTable.applications[0])[0][1]));
    // Key flags: each box follows its bit.
    for (const auto& f : bdj::keyInterestFlags())
      QCOMPARE(w->bdjoTab()->findChild<QCheckBox*>(QString("keyInterestCheck%1").arg(f.bit))->isChecked(), bool((b.keyInterest >> f.bit) & 1));
    // The flags cannot be changed by a click: the page is read-only.
    auto* play = w->bdjoTab()->findChild<QCheckBox*>("keyInterestCheck31");
    const bool before = play->isChecked();
    QTest::mouseClick(play, Qt::LeftButton, {}, QPoint(play->height() / 2, play->height() / 2));
    QCOMPARE(play->isChecked(), before);
    // Save is shown but disabled on this tab.
    auto* save = w->findChild<QPushButton*>("saveButton");
    QVERIFY(save->isVisible());
    QVERIFY(!save->isEnabled());

    // A double-click on an accessible playlist opens it on the PLAYLIST tab.
    auto* pls = w->bdjoTab()->findChild<QTableWidget*>("tBdjoPlaylists");
    QVERIFY(!b.accessiblePlaylists.playlists.empty());
    QCOMPARE(guitest::cell(pls, 0, 1), qs(b.accessiblePlaylists.playlists[0]));
    doubleClickRow(pls, 0);
    QCOMPARE(playlists.seen.size(), 1);
    QCOMPARE(playlists.seen[0].kind, ItemKind::Playlist);
    QCOMPARE(playlists.seen[0].name, qs(b.accessiblePlaylists.playlists[0]));
    QCOMPARE(w->tabs()->currentIndex(), int(TabPlaylist));
  }

  void autoReadAndDamagedObjects() {
    test::TempDir tmp;
    const fs::path demo = guitest::demoDisc(tmp.path());
    if (demo.empty() || !fs::exists(demo / "BDJO" / "00001.bdjo")) MORVEX_QSKIP_OR_FAIL("the demo disc is not part of this build");
    const core::Bytes good = test::readFile(demo / "BDJO" / "00001.bdjo");
    core::Bytes wrongVersion = good;
    wrongVersion[5] = '9';  // "0900"
    test::writeFile(demo / "BDJO" / "00002.bdjo", wrongVersion);
    // Cut inside the application table: the head and the playlists stay.
    const uint32_t amt = uint32_t(good[20]) << 24 | uint32_t(good[21]) << 16 | uint32_t(good[22]) << 8 | good[23];
    test::writeFile(demo / "BDJO" / "00003.bdjo", core::Bytes(good.begin(), good.begin() + amt + 12));
    auto w = guitest::startWindow({qs((demo / "index.bdmv").string())});

    // Activating the tab reads the selected (first) object with "Auto Read" on.
    clickTab(w.get(), TabBdjo);
    QCOMPARE(w->tabs()->currentIndex(), int(TabBdjo));
    BdjoTab* tab = w->bdjoTab();
    QVERIFY(tab->hasObject());
    QCOMPARE(tab->shownName(), QString("00001"));
    auto* apps = w->bdjoTab()->findChild<QTableWidget*>("tBdjoApps");
    QVERIFY(apps->isEnabled());

    // An unsupported version: empty tables, no error.
    auto* list = w->bdjoTab()->findChild<QComboBox*>("bdjoChoice");
    auto* read = w->bdjoTab()->findChild<QPushButton*>("readBdjoButton");
    QCOMPARE(list->count(), 3);
    list->setCurrentIndex(1);
    QTest::mouseClick(read, Qt::LeftButton);
    QCOMPARE(tab->shownName(), QString("00002"));
    QVERIFY(!tab->hasObject());
    QVERIFY(!apps->isEnabled());
    QCOMPARE(guitest::cell(apps, 0, 1), QString());
    QCOMPARE(w->bdjoTab()->findChild<QLineEdit*>("bdjoFontField")->text(), QString());
    QVERIFY(!w->statusLine()->errorShown());

    // A file cut short: what was read before the end is shown, and the error is logged.
    list->setCurrentIndex(2);
    QTest::mouseClick(read, Qt::LeftButton);
    QCOMPARE(tab->shownName(), QString("00003"));
    QCOMPARE(w->bdjoTab()->findChild<QLineEdit*>("bdjoFontField")->text(), QString("*****"));
    QCOMPARE(guitest::cell(w->bdjoTab()->findChild<QTableWidget*>("tBdjoPlaylists"), 0, 1), QString("00001"));
    QVERIFY(w->logView()->lines().join('\n').contains("ERROR"));

    // Back to the good object with the list's keyboard and Read.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Home);
    QCOMPARE(list->currentIndex(), 0);
    QTest::mouseClick(read, Qt::LeftButton);
    QCOMPARE(tab->shownName(), QString("00001"));
    QVERIFY(tab->hasObject());
    QVERIFY(apps->isEnabled());
  }
};

MORVEX_GUI_TEST(BdjoTest)
#include "bdjo_test.moc"

// "Navigation" on the BDMV tab, driven as a user drives it: the button opens the map
// of a fixture disc, a double-click on a Play command lands on the movie object and
// line, Enter on its playlist reads the playlist in its tab.
#include <QComboBox>
#include <QPushButton>
#include <QTableWidget>
#include <QRegularExpression>
#include <QTest>
#include <QTreeWidget>

#include "app/bdmv/bdmv_tab.h"
#include "app/bdmv/navigation_dialog.h"
#include "app/menu/bogs_panel.h"
#include "app/menu/menu_tab.h"
#include "app/playlist/playlist_tab.h"
#include "app/widgets/command_table.h"
#include "gui_test_support.h"
#include "gui_tests.h"
#include "support/test_support.h"

using namespace morvex;
using namespace morvex::app;
namespace fs = std::filesystem;

namespace {

QTreeWidgetItem* childStarting(QTreeWidgetItem* parent, const QString& start) {
  for (int i = 0; i < parent->childCount(); ++i)
    if (parent->child(i)->text(0).startsWith(start)) return parent->child(i);
  return nullptr;
}

QTreeWidgetItem* topLevel(QTreeWidget* tree, const QString& text) {
  for (int i = 0; i < tree->topLevelItemCount(); ++i)
    if (tree->topLevelItem(i)->text(0) == text) return tree->topLevelItem(i);
  return nullptr;
}

QTreeWidgetItem* firstStarting(QTreeWidgetItem* node, const QString& start) {
  if (node->text(0).startsWith(start)) return node;
  for (int i = 0; i < node->childCount(); ++i)
    if (auto* found = firstStarting(node->child(i), start)) return found;
  return nullptr;
}

}  // namespace

class NavigationTest : public QObject {
  Q_OBJECT
private slots:
  void init() { guitest::clearSettings(); }

  void mapLeadsToObjectsAndPlaylists() {
    if (!test::fixturesDir()) MORVEX_QSKIP_OR_FAIL("disc fixtures not found beside the project");
    const fs::path source = *test::fixturesDir() / "discs" / "disc1" / "BDMV";
    if (!fs::exists(source)) MORVEX_QSKIP_OR_FAIL("fixture disc1 not present");
    test::TempDir tmp;
    const fs::path bdmv = tmp.path() / "disc1" / "BDMV";
    fs::create_directories(bdmv);
    fs::copy(source, bdmv, fs::copy_options::recursive);
    for (const auto& e : fs::recursive_directory_iterator(bdmv))
      fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add);

    auto w = guitest::startWindow({QString::fromStdString((bdmv / "index.bdmv").string())});
    auto* button = w->findChild<QPushButton*>("navigationButton");
    QVERIFY(button && button->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    auto* dlg = w->bdmvTab()->navigationDialog();
    QVERIFY(dlg && dlg->isVisible());
    auto* tree = dlg->findChild<QTreeWidget*>("navigationTree");
    QVERIFY(tree);

    // Title 1 runs object 2, which plays the film; nothing is left over.
    auto* title = topLevel(tree, "Title 1");
    QVERIFY(title);
    QVERIFY2(title->text(1).contains("feature 00002"), qPrintable(title->text(1)));
    QVERIFY(topLevel(tree, "Unreachable playlists (0)"));
    auto* object = childStarting(title, "Movie object 2");
    QVERIFY(object);
    QTreeWidgetItem* play = nullptr;
    for (int i = 0; i < object->childCount() && !play; ++i)
      if (object->child(i)->text(0).contains(": Play PL 00002")) play = object->child(i);
    QVERIFY2(play, "object 2 has no Play PL 00002 node");
    const auto m = QRegularExpression("^Line (\\d{4}): ").match(play->text(0));
    QVERIFY(m.hasMatch());
    const int line = m.captured(1).toInt();
    QVERIFY2(childStarting(play, "Playlist 00002")->text(1).startsWith("feature; 01:21:06.528"),
             qPrintable(childStarting(play, "Playlist 00002")->text(1)));

    // A double-click on the command: the BDMV tab, the object and the line.
    w->tabs()->setCurrentIndex(TabAbout);
    tree->expandItem(title);
    tree->expandItem(object);
    tree->scrollToItem(play);
    const QPoint at = tree->visualItemRect(play).center();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(w->tabs()->currentWidget(), static_cast<QWidget*>(w->bdmvTab()));
    QCOMPARE(w->bdmvTab()->selectedObject(), 2);
    QCOMPARE(w->bdmvTab()->commandTable()->selectedRange().first, line);

    // Enter on the playlist under it: the PLAYLIST tab reads it.
    auto* pl = childStarting(play, "Playlist 00002");
    tree->expandItem(play);
    tree->setCurrentItem(pl);
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Return);
    auto* pt = w->findChild<PlaylistTab*>();
    QCOMPARE(w->tabs()->currentWidget(), static_cast<QWidget*>(pt));
    QCOMPARE(pt->playlistName(), QString("00002"));
  }

  // The demo disc's menu lives in a stream file: a menu page under the Top Menu opens
  // that stream on the Menu tab.
  void menuPageOpensTheMenuTab() {
    test::TempDir tmp;
    const fs::path demo = guitest::demoDisc(tmp.path());
    if (demo.empty() || !fs::exists(demo / "index.bdmv")) MORVEX_QSKIP_OR_FAIL("the demo disc is not part of this build");
    auto w = guitest::startWindow({QString::fromStdString((demo / "index.bdmv").string())});
    QTest::mouseClick(w->findChild<QPushButton*>("navigationButton"), Qt::LeftButton);
    auto* tree = w->bdmvTab()->navigationDialog()->findChild<QTreeWidget*>("navigationTree");
    auto* top = topLevel(tree, "Top Menu");
    QVERIFY(top);
    auto* page = firstStarting(top, "Menu page");
    QVERIFY2(page, "the Top Menu shows no menu page");
    QVERIFY(firstStarting(page, "Button "));
    for (auto* p = page; p; p = p->parent()) tree->expandItem(p);
    tree->scrollToItem(page);
    const QPoint at = tree->visualItemRect(page).center();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(w->tabs()->currentWidget(), static_cast<QWidget*>(w->menuTab()));
    QTRY_VERIFY_WITH_TIMEOUT(w->menuTab()->hasMenu(), 20000);
    QCOMPARE(w->menuTab()->currentPage(), page->text(0).mid(10).toInt());

    // A second page, reached through a button's SetButtonPage, opens on that page.
    QTreeWidgetItem* second = firstStarting(top, "Menu page 1");
    QVERIFY2(second, "the demo menu's \"Scenes\" button shows page 1");
    for (auto* p = second; p; p = p->parent()) tree->expandItem(p);
    tree->setCurrentItem(second);
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(w->menuTab()->currentPage(), 1, 20000);

    // A button node opens its page with that button selected, as a click on it would:
    // PSR 10, drawn selected, and its BOG and row on the BOGs sub-tab. Page 0's
    // "Extras" (button 2) is not the page's default selected button; "Trailer"
    // (button 3) sits in a BOG hidden until "Extras" enables it; page 1's "Back"
    // (button 1) is on the other page.
    struct Want {
      QTreeWidgetItem* pageNode;
      int page, button;
      bool enter;
    };
    for (const Want& want : {Want{page, 0, 2, true}, Want{page, 0, 3, false}, Want{second, 1, 1, true}}) {
      auto* node = childStarting(want.pageNode, QString("Button %1").arg(want.button));
      QVERIFY2(node, qPrintable(QString("page %1 lists no button %2").arg(want.page).arg(want.button)));
      w->tabs()->setCurrentIndex(TabAbout);
      tree->expandItem(want.pageNode);
      tree->scrollToItem(node);
      if (want.enter) {
        tree->setCurrentItem(node);
        tree->setFocus();
        QTest::keyClick(tree, Qt::Key_Return);
      } else {
        const QPoint there = tree->visualItemRect(node).center();
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, there);
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, there);
      }
      QCOMPARE(w->tabs()->currentWidget(), static_cast<QWidget*>(w->menuTab()));
      QTRY_COMPARE_WITH_TIMEOUT(w->menuTab()->selectedButton(), want.button, 20000);
      MenuTab* menu = w->menuTab();
      QCOMPARE(menu->currentPage(), want.page);
      QCOMPARE(menu->pageChoice()->currentIndex(), want.page);
      QVERIFY(menu->pageView().states()[size_t(want.button)].shown);
      QCOMPARE(menu->bogsPanel()->currentButtonId(), want.button);
      auto* bogTable = menu->bogsPanel()->findChild<QTableWidget*>("bogTable");
      QVERIFY(bogTable);
      QCOMPARE(bogTable->currentColumn(), int(menu->pageView().states()[size_t(want.button)].bogIndex));
    }
  }
};

MORVEX_GUI_TEST(NavigationTest)
#include "navigation_test.moc"

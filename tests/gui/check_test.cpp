// "Check disc" on the BDMV tab, driven as a user drives it: a copy of a fixture disc
// with faults written into its bytes is read, the button is clicked, the check runs on
// the worker thread, and a double-click on a finding lands on the tab and row where
// the fault lies.
#include <QDialog>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

#include "app/bdmv/bdmv_tab.h"
#include "app/bdmv/check_dialog.h"
#include "gui_test_support.h"
#include "gui_tests.h"
#include "app/playlist/playlist_tab.h"
#include "app/shell/log_view.h"
#include "support/test_support.h"
#include "app/widgets/command_table.h"

using namespace morvex;
using namespace morvex::app;
namespace fs = std::filesystem;

namespace {

uint32_t be32(const core::Bytes& b, size_t at) {
  return uint32_t(b.at(at)) << 24 | uint32_t(b.at(at + 1)) << 16 | uint32_t(b.at(at + 2)) << 8 | b.at(at + 3);
}
uint16_t be16(const core::Bytes& b, size_t at) { return uint16_t(b.at(at) << 8 | b.at(at + 1)); }
void put32(core::Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(at + i) = uint8_t(v >> (24 - 8 * i));
}

// The file and its BACKUP copy, so that only the fault itself is new.
void writeBoth(const fs::path& bdmv, const std::string& rel, const core::Bytes& bytes) {
  test::writeFile(bdmv / rel, bytes);
  if (fs::exists(bdmv / "BACKUP" / rel)) test::writeFile(bdmv / "BACKUP" / rel, bytes);
}

// The row of the findings table with this code, or -1.
int rowOf(CheckDialog* dlg, const QString& code) {
  auto* m = dlg->model();
  for (int r = 0; r < m->rowCount(); ++r)
    if (m->index(r, FindingsModel::ColCode).data().toString() == code) return r;
  return -1;
}

void doubleClickRow(QTableView* view, int row) {
  const QModelIndex i = view->model()->index(row, FindingsModel::ColLocation);
  view->scrollTo(i);
  const QPoint at = view->visualRect(i).center();
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

}  // namespace

class CheckTest : public QObject {
  Q_OBJECT
private slots:
  void init() { guitest::clearSettings(); }

  // Two faults of disc1: a GoTo past the end of a movie object's program (on the last
  // line of the longest program, so neither the object nor the line is the first),
  // and the second PlayItem of a playlist pointing at a clip the disc lacks.
  void seededFaultsLeadToTheirRows() {
    if (!test::fixturesDir()) MORVEX_QSKIP_OR_FAIL("disc fixtures not found beside the project");
    fs::path source;
    for (const auto& d : test::fixtureDiscs())
      if (d.parent_path().filename() == "disc1") source = d;
    if (source.empty()) MORVEX_QSKIP_OR_FAIL("fixture disc1 not present");
    test::TempDir tmp;
    const fs::path bdmv = tmp.path() / "disc1" / "BDMV";
    fs::create_directories(bdmv);
    fs::copy(source, bdmv, fs::copy_options::recursive);

    // The movie-object fault.
    core::Bytes mobj = test::readFile(bdmv / "MovieObject.bdmv");
    size_t bestObject = 0, bestCount = 0, bestPos = 0, p = 50;
    const size_t objects = be16(mobj, 48);
    for (size_t o = 0; o < objects; ++o) {
      const size_t n = be16(mobj, p + 2);
      p += 4;
      if (n > bestCount) {
        bestObject = o;
        bestCount = n;
        bestPos = p + 12 * (n - 1);
      }
      p += 12 * n;
    }
    const size_t bestLine = bestCount - 1;
    QVERIFY2(bestPos != 0, "disc1 has no movie-object commands");
    put32(mobj, bestPos, test::kGoTo);
    put32(mobj, bestPos + 4, 5000);
    put32(mobj, bestPos + 8, 0);
    writeBoth(bdmv, "MovieObject.bdmv", mobj);

    // The playlist fault: the first playlist with two PlayItems or more.
    std::string playlist;
    for (const auto& e : fs::directory_iterator(bdmv / "PLAYLIST")) {
      if (e.path().extension() != ".mpls") continue;
      core::Bytes b = test::readFile(e.path());
      const size_t start = be32(b, 8);
      if (be16(b, start + 6) < 2) continue;
      const size_t first = start + 10;
      const size_t second = first + 2 + be16(b, first);
      std::copy_n("99999", 5, b.begin() + long(second) + 2);
      writeBoth(bdmv, "PLAYLIST/" + e.path().filename().string(), b);
      playlist = e.path().stem().string();
      break;
    }
    QVERIFY2(!playlist.empty(), "disc1 has no playlist of two PlayItems");

    auto w = guitest::startWindow({QString::fromStdString((bdmv / "index.bdmv").string())});
    auto* check = w->findChild<QPushButton*>("checkDiscButton");
    QVERIFY(check && check->isVisible());
    QTest::mouseClick(check, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w->longTaskRunning() && check->isEnabled(), 20000);
    auto* dlg = w->bdmvTab()->checkDialog();
    QVERIFY(dlg && dlg->isVisible());
    auto* view = dlg->findChild<QTableView*>("findingsTable");

    // Each fault is listed once with its file and place; the log has the counts.
    const int gotoRow = rowOf(dlg, "mobj.command.goto-out-of-range");
    QVERIFY2(gotoRow >= 0, "the GoTo fault is not listed");
    const auto& m = *dlg->model();
    QCOMPARE(m.index(gotoRow, FindingsModel::ColFile).data().toString(), QString("MovieObject.bdmv"));
    QCOMPARE(m.index(gotoRow, FindingsModel::ColLocation).data().toString(),
             QString("object %1, line %2").arg(bestObject).arg(bestLine));
    QCOMPARE(m.index(gotoRow, FindingsModel::ColSeverity).data().toString(), QString("Error"));
    QVERIFY(!m.index(gotoRow, FindingsModel::ColSeverity).data(Qt::DecorationRole).value<QIcon>().isNull());
    const int clipRow = rowOf(dlg, "mpls.playitem.clip-missing");
    QVERIFY2(clipRow >= 0, "the missing clip is not listed");
    QCOMPARE(m.index(clipRow, FindingsModel::ColFile).data().toString(),
             QString::fromStdString("PLAYLIST/" + playlist + ".mpls"));
    QCOMPARE(m.index(clipRow, FindingsModel::ColLocation).data().toString(), QString("PlayItem 1"));
    QVERIFY(w->logView()->lines().join('\n').contains(QRegularExpression("[1-9][0-9]* errors")));

    // The GoTo: the BDMV tab, its object selected and the faulty line current.
    w->tabs()->setCurrentIndex(TabAbout);
    doubleClickRow(view, gotoRow);
    QCOMPARE(w->tabs()->currentWidget(), static_cast<QWidget*>(w->bdmvTab()));
    QCOMPARE(w->bdmvTab()->selectedObject(), int(bestObject));
    QCOMPARE(w->bdmvTab()->commandTable()->selectedRange().first, int(bestLine));

    // The missing clip: the PLAYLIST tab reads the playlist and selects the PlayItem.
    doubleClickRow(view, clipRow);
    auto* pt = w->findChild<PlaylistTab*>();
    QCOMPARE(w->tabs()->currentWidget(), static_cast<QWidget*>(pt));
    QCOMPARE(pt->playlistName(), QString::fromStdString(playlist));
    auto* items = pt->findChild<QTableWidget*>("playItemTable");
    QCOMPARE(items->currentRow(), 1);
  }

  // Where findings lie, for the files whose names carry the place.
  void findingPlaces() {
    const core::FileNames names;
    auto place = [&](const std::string& file, const std::string& loc) {
      check::Finding f;
      f.file = file;
      f.location = loc;
      return findingPlace(f, names);
    };
    FindingPlace p = place("index.bdmv", "title 12");
    QCOMPARE(int(p.kind), int(FindingPlace::Title));
    QCOMPARE(p.title, 11);
    QCOMPARE(int(place("index.bdmv", "Top Menu").kind), int(FindingPlace::TopMenu));
    QCOMPARE(int(place("index.bdmv", "offset $00000010").kind), int(FindingPlace::BdmvTab));
    p = place("MovieObject.bdmv", "object 7");
    QCOMPARE(int(p.item.kind), int(ItemKind::MovieObject));
    QCOMPARE(p.item.number, 7);
    QCOMPARE(p.item.part, -1);
    p = place("PLAYLIST/00042.mpls", "PlayItem 3, angle 2");
    QCOMPARE(int(p.item.kind), int(ItemKind::Playlist));
    QCOMPARE(p.item.name, QString("00042"));
    QCOMPARE(p.item.part, 3);
    QCOMPARE(place("PLAYLIST/00042.mpls", "mark 4").item.part, -1);
    p = place("STREAM/00003.m2ts (IG PID 4608)", "page 0, button 2");
    QCOMPARE(int(p.item.kind), int(ItemKind::Menu));
    QCOMPARE(p.item.name, QString("STREAM/00003.m2ts"));
    QCOMPARE(p.item.number, 4608);
    p = place("STREAM/00003.m2ts", "packet count");
    QCOMPARE(int(p.item.kind), int(ItemKind::Clip));
    QCOMPARE(p.item.name, QString("00003"));
    QCOMPARE(place("BDJO/00001.bdjo", "accessible playlist 0").item.name, QString("00001"));
    QCOMPARE(int(place("elsewhere.bin", "file").kind), int(FindingPlace::None));
  }
};

MORVEX_GUI_TEST(CheckTest)
#include "check_test.moc"

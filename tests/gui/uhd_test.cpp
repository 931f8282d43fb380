// An Ultra HD disc (version 0300 files built byte by byte) in the window: the BDMV tab
// shows and edits the AppInfo fields and the disc info flags, the PLAYLIST tab the HEVC
// attributes of a stream, the CLIPINF tab shows them in the program streams; saving
// changes exactly the bits edited.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "app/playlist/playlist_tab.h"
#include "app/clip/clip_tab.h"
#include "gui_test_support.h"
#include "gui_tests.h"
#include "nav/index.h"
#include "support/test_support.h"
#include "support/uhd_disc.h"

using namespace morvex;
using namespace morvex::app;
namespace fs = std::filesystem;
namespace uhd = morvex::test::uhd;

namespace {

// Offsets of the bytes that differ between two images of the same size.
std::vector<size_t> changedBytes(const core::Bytes& a, const core::Bytes& b) {
  std::vector<size_t> out;
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
    if (a[i] != b[i]) out.push_back(i);
  return out;
}

void pickWithKeys(QComboBox* c, const QString& text) {
  c->setFocus();
  const int target = c->findText(text);
  QVERIFY(target >= 0);
  while (c->currentIndex() < target) QTest::keyClick(c, Qt::Key_Down);
  while (c->currentIndex() > target) QTest::keyClick(c, Qt::Key_Up);
}

}  // namespace

class UltraHdTest : public QObject {
  Q_OBJECT
private slots:
  void indexFieldsShownAndEdited() {
    test::TempDir tmp;
    uhd::writeDisc(tmp.path());
    const fs::path bdmv = tmp / "BDMV";
    auto w = guitest::startWindow({QString::fromStdString((bdmv / "index.bdmv").string())});
    auto* range = w->findChild<QComboBox*>("initialDynamicRangeChoice");
    QVERIFY(range && range->isVisibleTo(w.get()));
    QCOMPARE(range->currentText(), QString("HDR10"));
    QCOMPARE(w->findChild<QComboBox*>("appInfoVideoFormatChoice")->currentText(), QString("2160p"));
    QCOMPARE(w->findChild<QComboBox*>("appInfoFrameRateChoice")->currentText(), QString("23.976"));
    QCOMPARE(w->findChild<QComboBox*>("outputModeChoice")->currentText(), QString("3D"));
    QVERIFY(w->findChild<QCheckBox*>("contentExistCheck")->isChecked());
    QCOMPARE(w->findChild<QLabel*>("uhdDiscInfoLabel")->text(), QString("Ultra HD disc type 5"));
    QVERIFY(w->findChild<QCheckBox*>("dolbyVisionCheck")->isChecked());
    QVERIFY(w->findChild<QCheckBox*>("hdr10PlusCheck")->isChecked());
    auto* sdr = w->findChild<QCheckBox*>("sdrCheck");
    QVERIFY(!sdr->isChecked());

    pickWithKeys(range, "Dolby Vision");
    QTest::mouseClick(sdr, Qt::LeftButton, {}, QPoint(5, sdr->height() / 2));
    QVERIFY(sdr->isChecked());
    QTest::mouseClick(w->findChild<QPushButton*>("saveButton"), Qt::LeftButton);

    const core::Bytes saved = test::readFile(bdmv / "index.bdmv");
    const core::Bytes original = uhd::indexFile();
    QCOMPARE(saved.size(), original.size());
    // The dynamic range nibble (byte 44) and the SDR bit of the disc info entry.
    const std::vector<size_t> expected = {44, 120 + 24 + 4 + 2};
    QCOMPARE(changedBytes(original, saved), expected);
    QCOMPARE(int(saved[44]), 0x62);
    QCOMPARE(int(saved[150]), 0x17);
  }

  void playlistHevcAttributesShownAndEdited() {
    test::TempDir tmp;
    uhd::writeDisc(tmp.path());
    const fs::path bdmv = tmp / "BDMV";
    auto w = guitest::startWindow({QString::fromStdString((bdmv / "index.bdmv").string())});
    auto* tab = w->findChild<PlaylistTab*>();
    w->tabs()->setCurrentWidget(tab);
    auto* list = tab->findChild<QComboBox*>("playlistChoice");
    list->setCurrentIndex(list->findText("00000"));
    QTest::mouseClick(tab->findChild<QPushButton*>("readPlaylistButton"), Qt::LeftButton);
    auto* streams = tab->findChild<QTableWidget*>("streamTable");
    QTRY_VERIFY(streams->rowCount() > 0 && streams->item(0, 6));
    QCOMPARE(streams->item(0, 6)->text(), QString("HEVC, 2160p, 23.976, HDR10, BT.2020, CR, HDR10+"));
    auto* sdrConversion = tab->findChild<QCheckBox*>("sdrConversionCheck");
    QVERIFY(sdrConversion->isVisibleTo(w.get()) && sdrConversion->isChecked());
    QCOMPARE(tab->findChild<QLabel*>("playlistExtensionDataLabel")->text(),
             QString("1 entry, 60 bytes; HDR10 MaxCLL 1000, MaxFALL 400, mastering 1000/50"));
    QTest::mouseClick(streams->viewport(), Qt::LeftButton, {}, streams->visualRect(streams->model()->index(0, 1)).center());
    auto* space = tab->findChild<QComboBox*>("colorSpaceChoice");
    auto* plus = tab->findChild<QCheckBox*>("hdrPlusCheck");
    QVERIFY(space->isVisibleTo(w.get()));
    QCOMPARE(space->currentText(), QString("BT.2020"));
    QCOMPARE(tab->findChild<QComboBox*>("dynamicRangeChoice")->currentText(), QString("HDR10"));
    QVERIFY(plus->isChecked());
    pickWithKeys(space, "BT.709");
    QTest::mouseClick(plus, Qt::LeftButton, {}, QPoint(5, plus->height() / 2));
    QCOMPARE(streams->item(0, 6)->text(), QString("HEVC, 2160p, 23.976, HDR10, BT.709, CR"));
    QTest::mouseClick(w->findChild<QPushButton*>("saveButton"), Qt::LeftButton);

    const core::Bytes saved = test::readFile(bdmv / "PLAYLIST" / "00000.mpls");
    const std::vector<size_t> expected = {uhd::kPlaylistVideoCodingAt + 2, uhd::kPlaylistVideoCodingAt + 3};
    QCOMPARE(changedBytes(uhd::playlistFile(), saved), expected);
    QCOMPARE(int(saved[uhd::kPlaylistVideoCodingAt + 2]), 0x11);
    QCOMPARE(int(saved[uhd::kPlaylistVideoCodingAt + 3]), 0x80);
  }

  void clipProgramShowsHevcAttributes() {
    test::TempDir tmp;
    uhd::writeDisc(tmp.path());
    auto w = guitest::startWindow({QString::fromStdString((tmp / "BDMV" / "index.bdmv").string())});
    w->tabs()->setCurrentWidget(w->clipTab());
    auto* list = w->clipTab()->findChild<QComboBox*>("clipChoice");
    list->setCurrentIndex(list->findText("00000"));
    QTest::mouseClick(w->clipTab()->findChild<QPushButton*>("readClipButton"), Qt::LeftButton);
    auto* program = w->clipTab()->findChild<QTableWidget*>("programStreamTable");
    QTRY_VERIFY(program->rowCount() >= 2 && program->item(0, 2));
    QCOMPARE(program->item(0, 2)->text(), QString("HEVC"));
    QCOMPARE(program->item(0, 3)->text(), QString("2160p, 23.976, 16:9, HDR10, BT.2020, CR, HDR10+"));
  }
};

MORVEX_GUI_TEST(UltraHdTest)
#include "uhd_test.moc"

// Settings: defaults of a first run, the round trip through the store, the window
// geometry rule, values of the wrong type, and the Options controls that write them.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QSpinBox>
#include <QTest>

#include "gui_test_support.h"
#include "gui_tests.h"
#include "app/settings/app_settings.h"
#include "app/shell/log_view.h"
#include "app/window/main_window.h"

using namespace morvex;
using namespace morvex::app;

class SettingsTest : public QObject {
  Q_OBJECT
private slots:
  void init() { guitest::clearSettings(); }

  void firstRunShowsDefaults() {
    auto w = guitest::startWindow();
    const AppSettings& s = w->context().settings;
    QCOMPARE(s, AppSettings{});
    QVERIFY(w->findChild<QCheckBox*>("autoReadCheck")->isChecked());
    QVERIFY(w->findChild<QCheckBox*>("backupCheck")->isChecked());
    QCOMPARE(w->findChild<QComboBox*>("backupModeChoice")->currentText(), QString("Only first"));
    QCOMPARE(w->findChild<QLineEdit*>("countryField")->text(), QString("5553"));
    QCOMPARE(w->findChild<QLabel*>("countryLabel")->text(), QString("US"));
    // Reading does not create the store.
    QSettings store(kOrganisation, kApplication);
    QVERIFY(store.allKeys().isEmpty());
  }

  void everyValueRoundTrips() {
    AppSettings a;
    a.bdmvDir = "/discs/x/BDMV/";
    a.backgroundPic = "/pics/bg.png";
    a.objectHeight = 120;
    a.autoRead = false;
    a.backup = false;
    a.saveBACKUP = true;
    a.backupMode = 2;
    a.names83 = true;
    a.chapterFormat = 1;
    a.programFormat = 1;
    a.savePES = true;
    a.saveSUP = false;
    a.saveMNU = false;
    a.associateBDMV = true;
    a.autoMenu = true;
    a.forcedBeep = false;
    a.realPSRs = true;
    a.region = 2;
    a.countryCode = 0x4142;
    a.actiDelay = 25;
    a.buttonId = a.objectId = a.buttonFrame = a.windowFrame = true;
    a.showInEffects = a.showOutEffects = false;
    a.showButtonAnimation = a.showFullScreen = a.playSound = a.background = true;
    a.preLoad = false;
    a.grid = 40;
    a.colBackground = 0x123456;
    a.colWindow = 0x00ABCD;
    a.top = 11;
    a.left = 22;
    a.width = 1000;
    a.height = 700;
    {
      QSettings store(kOrganisation, kApplication);
      a.write(store);
    }
    QSettings store(kOrganisation, kApplication);
    // The store names are fixed; spot-check a few that are easy to get wrong.
    QVERIFY(store.contains("8.3names"));
    QVERIFY(store.contains("colObjectBackground"));
    QVERIFY(store.contains("ShowButtonAnimation"));
    QCOMPARE(store.value("CountryCode").toInt(), 0x4142);
    AppSettings b;
    QStringList errors;
    b.read(store, &errors);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
    QCOMPARE(b, a);
  }

  void maximizedKeepsLastNormalSize() {
    AppSettings a;
    a.top = 50;
    a.left = 60;
    a.width = 1111;
    a.height = 777;
    {
      QSettings store(kOrganisation, kApplication);
      a.write(store);
    }
    a.windowState = 2;
    a.top = a.left = 0;
    a.width = 4000;
    a.height = 3000;
    {
      QSettings store(kOrganisation, kApplication);
      a.write(store);
    }
    QSettings store(kOrganisation, kApplication);
    QCOMPARE(store.value("WindowState").toInt(), 2);
    QCOMPARE(store.value("Width").toInt(), 1111);
    QCOMPARE(store.value("Height").toInt(), 777);
    QCOMPARE(store.value("Top").toInt(), 50);
    QCOMPARE(store.value("Left").toInt(), 60);
  }

  void closingMaximizedWindowWritesStateTwo() {
    {
      QSettings store(kOrganisation, kApplication);
      store.setValue("Width", 1234);
      store.setValue("Height", 654);
    }
    auto w = guitest::startWindow();
    w->setWindowState(Qt::WindowMaximized);
    w->close();
    QSettings store(kOrganisation, kApplication);
    QCOMPARE(store.value("WindowState").toInt(), 2);
    QCOMPARE(store.value("Width").toInt(), 1234);
    QCOMPARE(store.value("Height").toInt(), 654);
  }

  void wrongTypeKeepsDefaultAndReports() {
    {
      QSettings store(kOrganisation, kApplication);
      store.setValue("ActiDelay", "soon");
      store.setValue("AutoRead", "maybe");
      store.setValue("Grid", 33);
    }
    auto w = guitest::startWindow();
    QCOMPARE(w->context().settings.actiDelay, 500);
    QCOMPARE(w->context().settings.autoRead, true);
    QCOMPARE(w->context().settings.grid, 33);
    const QStringList lines = w->logView()->lines();
    QVERIFY(lines.join('\n').contains("ActiDelay"));
    QVERIFY(lines.join('\n').contains("AutoRead"));
  }

  void countryCodeFieldClampsWhenLeft() {
    auto w = guitest::startWindow();
    auto* field = w->findChild<QLineEdit*>("countryField");
    auto* label = w->findChild<QLabel*>("countryLabel");
    w->tabs()->setCurrentIndex(TabOptions);
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, "4142");
    QCOMPARE(label->text(), QString("AB"));
    struct Case {
      const char* typed;
      const char* shown;
      const char* letters;
      int value;
    } cases[] = {{"1234", "4141", "AA", 0x4141}, {"FFFF", "5a5a", "ZZ", 0x5A5A}, {"4a50", "4a50", "JP", 0x4A50}};
    for (const Case& c : cases) {
      field->setFocus();
      field->selectAll();
      QTest::keyClicks(field, c.typed);
      QTest::keyClick(field, Qt::Key_Return);  // Enter moves the focus away
      QVERIFY(!field->hasFocus());
      QCOMPARE(field->text(), QString(c.shown));
      QCOMPARE(label->text(), QString(c.letters));
      QCOMPARE(w->context().settings.countryCode, c.value);
    }
  }

  void optionsControlsPersistOnClose() {
    auto w = guitest::startWindow();
    w->findChild<QCheckBox*>("optionAnimationCheck")->setChecked(true);
    w->findChild<QCheckBox*>("backupCheck")->setChecked(false);
    QVERIFY(!w->findChild<QComboBox*>("backupModeChoice")->isEnabled());
    w->findChild<QComboBox*>("backupModeChoice")->setCurrentIndex(1);
    w->findChild<QSpinBox*>("activateDelayField")->setValue(20);
    w->close();
    QSettings store(kOrganisation, kApplication);
    QCOMPARE(store.value("ShowButtonAnimation").toString(), QString("true"));
    QCOMPARE(store.value("Backup").toString(), QString("false"));
    QCOMPARE(store.value("BackupMode").toInt(), 1);
    QCOMPARE(store.value("ActiDelay").toInt(), 20);
    // And the next run shows them.
    auto w2 = guitest::startWindow();
    QVERIFY(w2->findChild<QCheckBox*>("optionAnimationCheck")->isChecked());
    QCOMPARE(w2->findChild<QComboBox*>("backupModeChoice")->currentIndex(), 1);
  }
};

MORVEX_GUI_TEST(SettingsTest)
#include "settings_test.moc"

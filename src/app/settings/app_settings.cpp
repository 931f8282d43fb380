#include "app/settings/app_settings.h"

#include <functional>
#include <vector>

namespace morvex::app {

uint32_t colourToStore(const QColor& c) {
  return uint32_t(c.red()) | (uint32_t(c.green()) << 8) | (uint32_t(c.blue()) << 16);
}

QColor colourFromStore(uint32_t v) { return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF); }

QString countryLetters(int code) {
  const QChar hi(char16_t((code >> 8) & 0xFF));
  const QChar lo(char16_t(code & 0xFF));
  return QString(hi) + QString(lo);
}

int clampCountryCode(int code) {
  if (code < 0x4141) return 0x4141;
  if (code > 0x5A5A) return 0x5A5A;
  return code;
}

namespace {

// One persisted value: its store name and how it moves between record and store.
struct Field {
  const char* name;
  std::function<bool(AppSettings&, const QVariant&)> load;  // false: wrong type
  std::function<QVariant(const AppSettings&)> save;
  bool geometry = false;  // skipped while the window is maximized
};

bool toInt(const QVariant& v, int& out) {
  bool ok = false;
  const QString s = v.toString().trimmed();
  qlonglong n = s.toLongLong(&ok, 0);
  if (!ok || n < INT32_MIN || n > UINT32_MAX) return false;
  out = int(n);
  return true;
}

bool toBool(const QVariant& v, bool& out) {
  const QString s = v.toString().trimmed().toLower();
  if (s == "true" || s == "1") {
    out = true;
    return true;
  }
  if (s == "false" || s == "0") {
    out = false;
    return true;
  }
  return false;
}

Field intField(const char* name, int AppSettings::*m, bool geometry = false) {
  return {name,
          [m](AppSettings& s, const QVariant& v) { return toInt(v, s.*m); },
          [m](const AppSettings& s) { return QVariant(s.*m); }, geometry};
}

Field boolField(const char* name, bool AppSettings::*m) {
  return {name,
          [m](AppSettings& s, const QVariant& v) { return toBool(v, s.*m); },
          [m](const AppSettings& s) { return QVariant(s.*m); }};
}

Field stringField(const char* name, QString AppSettings::*m) {
  return {name,
          [m](AppSettings& s, const QVariant& v) {
            s.*m = v.toString();
            return true;
          },
          [m](const AppSettings& s) { return QVariant(s.*m); }};
}

Field colourField(const char* name, uint32_t AppSettings::*m) {
  return {name,
          [m](AppSettings& s, const QVariant& v) {
            int n = 0;
            if (!toInt(v, n)) return false;
            s.*m = uint32_t(n) & 0xFFFFFF;
            return true;
          },
          [m](const AppSettings& s) { return QVariant(int(s.*m)); }};
}

// In the order they are read: window first.
const std::vector<Field>& fields() {
  static const std::vector<Field> f = {
      intField("WindowState", &AppSettings::windowState),
      intField("Top", &AppSettings::top, true),
      intField("Left", &AppSettings::left, true),
      intField("Width", &AppSettings::width, true),
      intField("Height", &AppSettings::height, true),
      stringField("BDMVdir", &AppSettings::bdmvDir),
      stringField("BackgroundPic", &AppSettings::backgroundPic),
      intField("ObjectHeight", &AppSettings::objectHeight),
      intField("PlayListHeight", &AppSettings::playListHeight),
      intField("SubPathHeight", &AppSettings::subPathHeight),
      intField("PlayListMarkHeight", &AppSettings::playListMarkHeight),
      boolField("AutoRead", &AppSettings::autoRead),
      boolField("Backup", &AppSettings::backup),
      boolField("SaveBACKUP", &AppSettings::saveBACKUP),
      intField("BackupMode", &AppSettings::backupMode),
      boolField("8.3names", &AppSettings::names83),
      intField("ChapterFormat", &AppSettings::chapterFormat),
      intField("ProgramFormat", &AppSettings::programFormat),
      boolField("SavePES", &AppSettings::savePES),
      boolField("SaveSUP", &AppSettings::saveSUP),
      boolField("SaveMNU", &AppSettings::saveMNU),
      boolField("AssociateBDMV", &AppSettings::associateBDMV),
      boolField("AssociateMNU", &AppSettings::associateMNU),
      boolField("AutoMenu", &AppSettings::autoMenu),
      boolField("ForcedBeep", &AppSettings::forcedBeep),
      boolField("RealPSRs", &AppSettings::realPSRs),
      intField("Region", &AppSettings::region),
      intField("CountryCode", &AppSettings::countryCode),
      intField("ActiDelay", &AppSettings::actiDelay),
      boolField("ButtonId", &AppSettings::buttonId),
      boolField("ObjectId", &AppSettings::objectId),
      boolField("ButtonFrame", &AppSettings::buttonFrame),
      boolField("WindowFrame", &AppSettings::windowFrame),
      boolField("ShowInEffects", &AppSettings::showInEffects),
      boolField("ShowOutEffects", &AppSettings::showOutEffects),
      boolField("ShowButtonAnimation", &AppSettings::showButtonAnimation),
      boolField("ShowFullScreen", &AppSettings::showFullScreen),
      boolField("PlaySound", &AppSettings::playSound),
      boolField("PreLoad", &AppSettings::preLoad),
      boolField("Background", &AppSettings::background),
      intField("Grid", &AppSettings::grid),
      colourField("colBackground", &AppSettings::colBackground),
      colourField("colObjectBackground", &AppSettings::colObjectBackground),
      colourField("colSelectedButton", &AppSettings::colSelectedButton),
      colourField("colSelectedFrame", &AppSettings::colSelectedFrame),
      colourField("colNormalButton", &AppSettings::colNormalButton),
      colourField("colNormalFrame", &AppSettings::colNormalFrame),
      colourField("colInvalidButton", &AppSettings::colInvalidButton),
      colourField("colInvalidFrame", &AppSettings::colInvalidFrame),
      colourField("colWindow", &AppSettings::colWindow),
  };
  return f;
}

}  // namespace

void AppSettings::read(QSettings& store, QStringList* errors) {
  for (const Field& f : fields()) {
    if (!store.contains(f.name)) continue;
    const QVariant v = store.value(f.name);
    if (!f.load(*this, v) && errors)
      errors->append(QStringLiteral("Invalid value of setting %1: %2").arg(f.name, v.toString()));
  }
  // Values the controls cannot show are brought into range.
  if (backupMode < 0 || backupMode > 2) backupMode = 0;
  if (chapterFormat < 0 || chapterFormat > 2) chapterFormat = 0;
  if (programFormat < 0 || programFormat > 1) programFormat = 0;
  if (region < 0 || region > 2) region = 0;
  if (grid < 0) grid = 0;
  if (grid > 100) grid = 100;
  if (actiDelay < 0) actiDelay = 0;
  countryCode = clampCountryCode(countryCode & 0xFFFF);
}

void AppSettings::write(QSettings& store) const {
  const bool maximized = windowState == 2;
  for (const Field& f : fields()) {
    if (f.geometry && maximized) continue;
    store.setValue(f.name, f.save(*this));
  }
  store.sync();
}

}  // namespace morvex::app

#pragma once
// The user's settings: every persisted value with its store name, type and default.
// They are read once at start-up and written at the end of the run; between the two
// the Options tab and the other controls edit this record directly.
#include <QColor>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace morvex::app {

// Colours are stored as 0x00BBGGRR integers.
uint32_t colourToStore(const QColor& c);
QColor colourFromStore(uint32_t v);

struct AppSettings {
  // Window and folders.
  int windowState = 0;  // 0 normal, 1 minimized, 2 maximized
  int top = 203;
  int left = 172;
  // The size this layout needs to show every column in full; the window may be made
  // as small as 913 x 585.
  int width = 1180;
  int height = 720;
  QString bdmvDir;
  QString backgroundPic;
  int objectHeight = 75;
  int playListHeight = 176;
  int subPathHeight = 92;
  int playListMarkHeight = 103;

  // Loading and saving.
  bool autoRead = true;
  bool backup = true;
  bool saveBACKUP = false;
  int backupMode = 0;  // "Only first", "Overwrite", "Stop if exists"
  bool names83 = false;
  int chapterFormat = 0;  // "PTS", "Frame", "Time"
  int programFormat = 0;  // "List (*.lst)", "Binary (*.bin)"
  bool savePES = false;
  bool saveSUP = true;
  bool saveMNU = true;
  bool associateBDMV = false;
  bool associateMNU = false;
  bool autoMenu = false;

  // Commands and registers.
  bool forcedBeep = true;
  bool realPSRs = false;
  int region = 0;  // "A", "B", "C"
  int countryCode = 0x5553;
  int actiDelay = 500;

  // Menu display.
  bool buttonId = false;
  bool objectId = false;
  bool buttonFrame = false;
  bool windowFrame = false;
  bool showInEffects = true;
  bool showOutEffects = true;
  bool showButtonAnimation = false;
  bool showFullScreen = false;
  bool playSound = false;
  bool preLoad = true;
  bool background = false;
  int grid = 15;

  // Colours.
  uint32_t colBackground = 0x800000;        // navy
  uint32_t colObjectBackground = 0xC0C0C0;  // silver
  uint32_t colSelectedButton = 0x00FFFF;    // yellow
  uint32_t colSelectedFrame = 0x0000FF;     // red
  uint32_t colNormalButton = 0xFFFFFF;      // white
  uint32_t colNormalFrame = 0xC0C0C0;       // silver
  uint32_t colInvalidButton = 0x808080;     // grey
  uint32_t colInvalidFrame = 0x000000;      // black
  uint32_t colWindow = 0x00FF00;            // lime

  // Not persisted: the work folder ("Output folder"), the start of the file dialogs.
  QString workFolder;

  // Reads every value present; a missing value keeps its default. A value that cannot
  // be taken as its type keeps the default and adds a message to `errors`.
  void read(QSettings& store, QStringList* errors = nullptr);
  // Writes every value. The window position and size are written only when the
  // window is not maximized, so a maximized window keeps the last normal size.
  void write(QSettings& store) const;

  bool operator==(const AppSettings&) const = default;
};

// The store of the running program: QSettings("Vantoro Software", "Morvex").
inline constexpr const char* kOrganisation = "Vantoro Software";
inline constexpr const char* kApplication = "Morvex";

// Two ASCII letters of a country code (high byte first), and the AA..ZZ clamp.
QString countryLetters(int code);
int clampCountryCode(int code);

}  // namespace morvex::app

#pragma once
// BD-J objects (.bdjo): the description of a Java title's applications.
//
// A BD-J object file holds "BDJO", a version ("0100"/"0200"), six start addresses and
// 16 reserved bytes, then TerminalInfo; AppCacheInfo, the TableOfAccessiblePlayLists,
// the ApplicationManagementTable, the KeyInterestTable and FileAccessInfo sit at their
// start addresses. Variable-length texts in the application table are each followed by
// a padding byte when they leave the position odd. Morvex shows these files; it does
// not write them.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/binary.h"
#include "core/log.h"
#include "core/read_result.h"

namespace morvex::bdj {

struct TerminalInfo {
  uint32_t length = 0;
  std::string defaultFont;  // 5 characters
  uint8_t initialHaviConfigurationId = 0;  // 4 bits
  bool menuCallMask = false;
  bool titleSearchMask = false;
  bool operator==(const TerminalInfo&) const = default;
};

struct AppCacheEntry {
  uint8_t entryType = 0;
  std::string refToName;  // 5 characters
  std::string language;     // 3 characters
  bool operator==(const AppCacheEntry&) const = default;
};

struct AppCacheInfo {
  uint32_t length = 0;
  std::vector<AppCacheEntry> entries;
  bool operator==(const AppCacheInfo&) const = default;
};

struct AccessiblePlaylists {
  uint32_t length = 0;
  bool accessToAll = false;
  bool autostartFirstPlaylist = false;
  std::vector<std::string> playlists;  // 5 characters each
  bool operator==(const AccessiblePlaylists&) const = default;
};

struct AppProfile {
  uint16_t profile = 0;
  uint8_t major = 0, minor = 0, micro = 0;
  bool operator==(const AppProfile&) const = default;
};

struct AppName {
  std::string language;  // 3 characters
  std::string name;
  bool operator==(const AppName&) const = default;
};

struct AppParameter {
  std::string text;
  bool operator==(const AppParameter&) const = default;
};

struct Application {
  uint8_t controlCode = 0;
  uint8_t type = 0;
  uint32_t organizationId = 0;
  uint16_t applicationId = 0;
  uint8_t descriptorTag = 0;
  uint32_t descriptorLength = 0;
  uint8_t profileCount = 0;  // 4 bits
  std::vector<AppProfile> profiles;
  uint8_t priority = 0;
  uint8_t binding = 0;     // 2 bits
  uint8_t visibility = 0;  // 2 bits
  uint16_t namesLength = 0;
  std::vector<AppName> names;
  std::string iconLocator;
  uint16_t iconFlags = 0;
  std::string baseDirectory;
  std::string classpathExtension;
  std::string initialClassName;
  uint8_t parametersLength = 0;
  std::vector<AppParameter> parameters;
  bool operator==(const Application&) const = default;
};

struct ApplicationTable {
  uint32_t length = 0;
  std::vector<Application> applications;
  bool operator==(const ApplicationTable&) const = default;
};

struct BdjObject {
  std::string typeIndicator;
  std::string version;
  uint32_t start_address[6] = {};  // ExtensionData (0: none), AppCacheInfo, playlists, AMT, keys, files
  TerminalInfo terminalInfo;
  AppCacheInfo appCacheInfo;
  AccessiblePlaylists accessiblePlaylists;
  ApplicationTable applicationTable;
  uint32_t keyInterest = 0;
  std::string directoryPaths;
  bool operator==(const BdjObject&) const = default;
};

// Reads an image. Logs "Reading [bl]name[/bl]"; a wrong type or version gives empty
// tables, no message, and is refused; a file shorter than its tables logs an error,
// keeps what was read before the end and is partial. A stored length or start address
// that disagrees with what was read makes it partial too, naming the field.
core::ReadResult readBdjObject(const core::Bytes& image, const std::string& fileName, BdjObject& bdjo, core::Log& log);
core::ReadResult readBdjObjectFile(const std::filesystem::path& file, BdjObject& bdjo, core::Log& log);

// ---- Texts of the BDJO page -------------------------------------------------------
using GridRow = std::vector<std::string>;
using GridRows = std::vector<GridRow>;

extern const std::vector<std::string> kHeadAppCache, kHeadPlayLists, kHeadApplications, kHeadProfiles, kHeadNames,
    kHeadParameters;

// Each table's rows; column 0 holds the row number (from 0, or from 1 for the details).
GridRows appCacheRows(const BdjObject& b);
GridRows playListRows(const BdjObject& b);
GridRows applicationRows(const BdjObject& b);
GridRows profileRows(const Application& a);
GridRows nameRows(const Application& a);
GridRows parameterRows(const Application& a);

// The KeyInterestTable flags: bit 31 "Play" down to bit 21 "PG TextST".
struct KeyFlag {
  int bit;
  const char* caption;
};
const std::vector<KeyFlag>& keyInterestFlags();
// The captions of the boxes that are set.
std::vector<std::string> keyInterestSet(uint32_t keys);

}  // namespace morvex::bdj

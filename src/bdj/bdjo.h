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

struct TTerminalInfo {
  uint32_t length = 0;
  std::string default_font;  // 5 characters
  uint8_t initial_HAVi_configuration_id = 0;  // 4 bits
  bool menu_call_mask = false;
  bool title_search_mask = false;
  bool operator==(const TTerminalInfo&) const = default;
};

struct TAppCacheEntry {
  uint8_t entry_type = 0;
  std::string ref_to_name;  // 5 characters
  std::string language;     // 3 characters
  bool operator==(const TAppCacheEntry&) const = default;
};

struct TAppCacheInfo {
  uint32_t length = 0;
  std::vector<TAppCacheEntry> entries;
  bool operator==(const TAppCacheInfo&) const = default;
};

struct TTableOfAccessiblePlayLists {
  uint32_t length = 0;
  bool access_to_all = false;
  bool autostart_first_PlayList = false;
  std::vector<std::string> playlists;  // 5 characters each
  bool operator==(const TTableOfAccessiblePlayLists&) const = default;
};

struct Tprofile {
  uint16_t profile = 0;
  uint8_t major = 0, minor = 0, micro = 0;
  bool operator==(const Tprofile&) const = default;
};

struct Tapplication_name {
  std::string language;  // 3 characters
  std::string name;
  bool operator==(const Tapplication_name&) const = default;
};

struct Tparameter {
  std::string text;
  bool operator==(const Tparameter&) const = default;
};

struct Tapplication {
  uint8_t control_code = 0;
  uint8_t type = 0;
  uint32_t organization_id = 0;
  uint16_t application_id = 0;
  uint8_t descriptor_tag = 0;
  uint32_t descriptor_length = 0;
  uint8_t profile_count = 0;  // 4 bits
  std::vector<Tprofile> profiles;
  uint8_t priority = 0;
  uint8_t binding = 0;     // 2 bits
  uint8_t visibility = 0;  // 2 bits
  uint16_t names_length = 0;
  std::vector<Tapplication_name> names;
  std::string icon_locator;
  uint16_t icon_flags = 0;
  std::string base_directory;
  std::string classpath_extension;
  std::string initial_class_name;
  uint8_t parameters_length = 0;
  std::vector<Tparameter> parameters;
  bool operator==(const Tapplication&) const = default;
};

struct TApplicationManagementTable {
  uint32_t length = 0;
  std::vector<Tapplication> applications;
  bool operator==(const TApplicationManagementTable&) const = default;
};

struct TBDJO {
  std::string type_indicator;
  std::string version;
  uint32_t start_address[6] = {};  // [0] unused; AppCacheInfo, playlists, AMT, keys, files
  TTerminalInfo TerminalInfo;
  TAppCacheInfo AppCacheInfo;
  TTableOfAccessiblePlayLists TableOfAccessiblePlayLists;
  TApplicationManagementTable ApplicationManagementTable;
  uint32_t key_interest = 0;
  std::string directory_paths;
  bool operator==(const TBDJO&) const = default;
};

// Reads an image. Logs "Reading [bl]name[/bl]"; a wrong type or version gives empty
// tables, no message, and is refused; a file shorter than its tables logs an error,
// keeps what was read before the end and is partial.
core::ReadResult readBDJO(const core::Bytes& image, const std::string& fileName, TBDJO& bdjo, core::Log& log);
core::ReadResult readBDJOFile(const std::filesystem::path& file, TBDJO& bdjo, core::Log& log);

// ---- Texts of the BDJO page -------------------------------------------------------
using GridRow = std::vector<std::string>;
using GridRows = std::vector<GridRow>;

extern const std::vector<std::string> kHeadAppCache, kHeadPlayLists, kHeadApplications, kHeadProfiles, kHeadNames,
    kHeadParameters;

// Each table's rows; column 0 holds the row number (from 0, or from 1 for the details).
GridRows appCacheRows(const TBDJO& b);
GridRows playListRows(const TBDJO& b);
GridRows applicationRows(const TBDJO& b);
GridRows profileRows(const Tapplication& a);
GridRows nameRows(const Tapplication& a);
GridRows parameterRows(const Tapplication& a);

// The KeyInterestTable flags: bit 31 "Play" down to bit 21 "PG TextST".
struct KeyFlag {
  int bit;
  const char* caption;
};
const std::vector<KeyFlag>& keyInterestFlags();
// The captions of the boxes that are set.
std::vector<std::string> keyInterestSet(uint32_t keys);

}  // namespace morvex::bdj

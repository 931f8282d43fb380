#pragma once
// index.bdmv: what the player runs first (First Playback), what the top-menu key runs
// (Top Menu) and what each numbered title runs, an HDMV movie object or a BD-J object.
//
// Layout (big-endian):
//   0  "INDX"   4 version "0100"/"0200"   8 Indexes start   12 ExtensionData start
//  16  24 reserved bytes   40 AppInfo length   44 AppInfo flags (2)
//  46  content provider data (32 bytes, NUL padded)
//  78  Indexes(): length (4), First Playback entry (12), Top Menu entry (12),
//      number of titles (2), title entries (12 each); ExtensionData() follows.
// An entry: word 0 bits 31-30 object type, bits 29-28 access type (titles only);
// word 4 (16 bits) bits 15-14 playback type; then the HDMV object id (2) and four zero
// bytes, or the BD-J file name (5, NUL padded) and one zero byte.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/binary.h"
#include "core/extension_data.h"
#include "core/log.h"
#include "core/read_result.h"
#include "core/save.h"
#include "core/write_result.h"

namespace morvex::nav {

constexpr uint32_t kIndxType = 0x494E4458;  // "INDX"
constexpr uint32_t kVersion0100 = 0x30313030;
constexpr uint32_t kVersion0200 = 0x30323030;
constexpr uint32_t kFirstPlaybackNumber = 0xFFFF;
constexpr size_t kMaxTitles = 999;
// Bytes of the fixed head before Indexes() in a file without a gap.
constexpr uint32_t kIndexHeadSize = 78;

enum ObjectType : uint8_t { ObjectHDMV = 1, ObjectBDJ = 2 };

// One entry of the index: First Playback (number 0xFFFF), Top Menu (0) or title 1..n.
struct Title {
  uint32_t titleNumber = 0;
  uint8_t objectType = ObjectHDMV;  // 1 HDMV; anything else uses the BD-J layout
  uint8_t accessType = 0;           // 0..3, titles only
  uint8_t playbackType = 0;         // 0..3
  uint16_t objectId = 0;            // HDMV: movie object number, 0xFFFF = none
  std::string bdjFileName;          // BD-J: object file name without extension, <= 5 chars
  bool isHdmv() const { return objectType == ObjectHDMV; }
  bool operator==(const Title&) const = default;
};

inline Title firstPlaybackTitle() {
  Title t;
  t.titleNumber = kFirstPlaybackNumber;
  return t;
}

struct TitleTable {
  uint32_t length = 26;  // bytes of Indexes() after this field; kept by title editing
  Title firstPlayback = firstPlaybackTitle();
  Title topMenu;
  // Titles 1..n in file order. The list length is the number of titles written.
  std::vector<Title> titles;
  bool operator==(const TitleTable&) const = default;
};

struct IndexTable {
  uint32_t typeIndicator = kIndxType;
  uint32_t version = kVersion0200;
  uint32_t indexesStartAddress = kIndexHeadSize;  // as read; never changed by editing
  uint32_t extensionDataStartAddress = 0;         // 0 = no ExtensionData()
  std::array<uint8_t, 24> reserved{};
  uint32_t appInfoLength = 34;
  uint16_t appInfoFlags = 0;
  std::string contentProviderData;  // at most 32 bytes, trailing zero padding removed (may hold zero bytes)
  TitleTable indexes;
  core::ExtensionData extensionData;
  bool operator==(const IndexTable&) const = default;
};

// Texts the index screen shows for the codes.
std::string objectTypeText(uint8_t objectType);      // "HDMV", "BD-J", "" otherwise
std::string playbackTypeText(uint8_t playbackType);  // "Movie", "Interactive", ""
std::string accessTypeText(uint8_t accessType);      // 0/1 "Permitted", 2 "Prohibited1", 3 "Prohibited2"

// Reads an index image into `indx` and logs as the load does: "Reading <name>", the
// found line or the format error, and "Ready.". A wrong type or version is refused
// (the version is named); more than 999 titles is refused as a capped count (a folder
// load ends there). A file that ends inside the head or the title list keeps the
// titles read so far and is partial, ending early at the file's size.
core::ReadResult readIndexTable(const core::Bytes& image, const std::string& indexfile, IndexTable& indx, core::Log& log);

// The file image the writer produces. Indexes() follows the 78-byte head directly
// whatever the stored start address; the stored addresses and lengths are written as
// held (title editing keeps them up to date).
core::Bytes writeIndexTable(const IndexTable& indx);

// Saves the model as discFolder/fileName (the folder's index name) through the saving
// policy; with "Save to BACKUP dir" the file is copied to discFolder/BACKUP as well.
core::WriteResult saveIndexTable(const IndexTable& indx, const std::filesystem::path& discFolder,
                                 const std::string& fileName, const core::SaveSettings& settings, core::Log& log);

// "$" + 8 uppercase hexadecimal digits, as the format error lines show positions.
std::string hexPos(uint64_t pos);

}  // namespace morvex::nav

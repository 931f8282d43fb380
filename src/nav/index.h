#pragma once
// index.bdmv: what the player runs first (First Playback), what the top-menu key runs
// (Top Menu) and what each numbered title runs, an HDMV movie object or a BD-J object.
//
// Layout (big-endian):
//   0  "INDX"   4 version "0100"/"0200"/"0300"   8 Indexes start   12 ExtensionData start
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
constexpr uint32_t kVersion0300 = 0x30333030;  // Ultra HD discs
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

// The two AppInfo flag bytes as fields. Bit 15 is reserved, bit 14 the initial output
// mode preference (0 2D, 1 3D), bit 13 the content-exists flag (stereoscopic content
// on the disc), bit 12 reserved, bits 11-8 the initial dynamic range type (version
// 0300 only; reserved before), bits 7-4 the video format and bits 3-0 the frame rate
// (the codes of the stream attributes). The reserved bits stay in the stored word.
struct AppInfoFlags {
  uint8_t initialOutputModePreference = 0;
  uint8_t contentExistFlag = 0;
  uint8_t initialDynamicRangeType = 0;
  uint8_t videoFormat = 0;
  uint8_t frameRate = 0;
  bool operator==(const AppInfoFlags&) const = default;
};
AppInfoFlags appInfoFlagsOf(uint16_t word);
// The word with the fields of `flags` put in; the reserved bits of `word` are kept.
uint16_t withAppInfoFlags(uint16_t word, const AppInfoFlags& flags);

// ExtensionData entry (ID1 3, ID2 1) of an Ultra HD index: 4 length bytes (8), then
// byte 0 bits 7-4 the disc type, bit 0 the 4K flag; byte 2 the HDR formats on the
// disc: bit 4 HDR10+, bit 3 SL-HDR2, bit 2 Dolby Vision, bit 1 HDR10, bit 0 SDR. The
// rest of its bytes are reserved; the entry stays in the ExtensionData bytes as read,
// these fields read from there and write back into them.
constexpr uint16_t kUhdDiscInfoId1 = 3, kUhdDiscInfoId2 = 1;
struct UhdDiscInfo {
  uint8_t discType = 0;
  uint8_t exist4kFlag = 0;
  uint8_t hdr10PlusFlag = 0;
  uint8_t slHdr2Flag = 0;
  uint8_t dolbyVisionFlag = 0;
  uint8_t hdr10Flag = 0;
  uint8_t sdrFlag = 0;
  bool operator==(const UhdDiscInfo&) const = default;
};
// False when the index has no such entry or its bytes are shorter than 8.
bool readUhdDiscInfo(const core::ExtensionData& block, UhdDiscInfo& info);
// Puts the fields into the entry's bytes; false (nothing changed) when there is none.
bool writeUhdDiscInfo(core::ExtensionData& block, const UhdDiscInfo& info);

// "disc type 5, 4K, HDR10+, Dolby Vision, HDR10": the disc info as one line.
std::string uhdDiscInfoText(const UhdDiscInfo& info);

// Texts the index screen shows for the codes.
std::string objectTypeText(uint8_t objectType);      // "HDMV", "BD-J", "" otherwise
std::string playbackTypeText(uint8_t playbackType);  // "Movie", "Interactive", ""
std::string accessTypeText(uint8_t accessType);      // 0/1 "Permitted", 2 "Prohibited1", 3 "Prohibited2"

// Reads an index image into `indx` and logs as the load does: "Reading <name>", the
// found line or the format error, and "Ready.". A wrong type or version is refused
// (the version is named); a version 0300 file the writer would not reproduce byte for
// byte is refused naming the first byte it does not know; more than 999 titles is refused as a capped count (a folder
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

#pragma once
// The playlist model: one .mpls file of a disc's PLAYLIST folder, held field by field.
//
// A playlist says which clips a title plays, in which order, between which times
// (45 kHz ticks), which elementary streams may be selected while each PlayItem plays,
// which sub-paths run beside it, and where its chapter marks lie. Every length, count
// and start address is held as it stands in the file: the writer puts them back as
// held, so every edit that changes the size of a section adjusts them itself.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/extension_data.h"

namespace morvex::playlist {

using core::ExtensionData;

// The playlist-wide settings that follow the header.
struct PlaylistAppInfo {
  uint32_t length = 0;
  uint8_t reserved = 0;
  uint8_t playbackType = 1;  // 1 Sequential, 2 Random, 3 Shuffle
  uint16_t playbackCount = 0;
  uint32_t uoMask1 = 0;  // bits UO31..UO0
  uint32_t uoMask2 = 0;  // the further bits (only bit 30 is defined)
  uint8_t randomAccessFlag = 0;
  uint8_t audioMixAppFlag = 0;
  uint8_t losslessMayBypassMixerFlag = 0;
  uint8_t mvcBaseViewRFlag = 0;                // bit 12 of the flag word: stereoscopic base view is the right eye
  uint8_t sdrConversionNotificationFlag = 0;   // bit 11 (version 0300): the player tells when it converts HDR to SDR
  bool operator==(const PlaylistAppInfo&) const = default;
};

// A clip reference as angles and multi-clip entries hold it.
struct ClipRef {
  std::string clipName;  // five digits, no extension
  std::string codecId;   // "M2TS"
  uint8_t stcId = 0;
  bool operator==(const ClipRef&) const = default;
};

// Angles of a multi-angle PlayItem. angles[0] is the PlayItem's own clip; angles
// 1.. come from the file. Empty when the PlayItem is not multi-angle.
struct MultiClip {
  uint8_t numAngles = 0;
  uint8_t isDifferentAudios = 0;
  uint8_t isSeamlessAngleChange = 0;
  std::vector<ClipRef> angles;
  bool operator==(const MultiClip&) const = default;
};

// Where a selectable stream comes from. Type 1: the PlayItem's own clip (mainPID);
// type 2: a clip of a SubPath (subPathId, subClipId, subPID); type 3: a SubPath
// multiplexed into the PlayItem's clip (subPathId, mainPID). Fields a type does not
// use keep whatever value they had.
struct StreamEntry {
  uint8_t length = 9;
  uint8_t type = 1;
  uint16_t mainPID = 0;
  uint16_t subPID = 0;
  uint8_t subPathId = 0;
  uint8_t subClipId = 0;
  bool operator==(const StreamEntry&) const = default;
};

// What a stream carries. Which fields mean something depends on the coding type:
// video keeps format and rate, audio presentation type, sampling frequency and
// language, PG/IG the language, text subtitles character code and language. HEVC
// video (version 0300) adds a byte of dynamic range type (high nibble) and colour
// space (low nibble), then a byte whose bit 7 is the CR flag and bit 6 the HDR10+ flag.
struct StreamAttributes {
  uint8_t length = 5;
  uint8_t codingType = 0;
  uint8_t videoFormat = 0;
  uint8_t frameRate = 0;
  uint8_t dynamicRangeType = 0;  // HEVC: 0 SDR, 1 HDR10, 2 Dolby Vision
  uint8_t colorSpace = 0;        // HEVC: 1 BT.709, 2 BT.2020
  uint8_t crFlag = 0;            // HEVC
  uint8_t hdrPlusFlag = 0;       // HEVC: HDR10+ dynamic metadata present
  uint8_t audioPresentation = 0;
  uint8_t samplingFrequency = 0;
  std::string language;  // three characters
  uint8_t charCode = 0;
  bool operator==(const StreamAttributes&) const = default;
};

struct Stream {
  StreamEntry entry;
  StreamAttributes attr;
  bool operator==(const Stream&) const = default;
};

// A secondary audio stream and the primary audio streams it may be mixed with.
struct SecondaryAudioStream : Stream {
  std::vector<uint8_t> primaryAudioRefs;
  bool operator==(const SecondaryAudioStream&) const = default;
};

// A secondary video stream with the secondary audio and picture-in-picture
// subtitle streams that go with it.
struct SecondaryVideoStream : Stream {
  std::vector<uint8_t> secAudioRefs;
  std::vector<uint8_t> pipPGRefs;
  bool operator==(const SecondaryVideoStream&) const = default;
};

// The stream number table of a PlayItem. `pg` holds the PG/text-subtitle streams
// followed by the picture-in-picture ones (numPG + numPIPPG streams).
struct StreamTable {
  uint16_t length = 0;
  uint16_t reserved = 0;
  uint8_t numVideo = 0;
  uint8_t numAudio = 0;
  uint8_t numPG = 0;
  uint8_t numIG = 0;
  uint8_t numSecAudio = 0;
  uint8_t numSecVideo = 0;
  uint8_t numPIPPG = 0;
  uint8_t numDV = 0;  // version 0300: Dolby Vision enhancement-layer streams, after the secondary video
  std::vector<Stream> video;
  std::vector<Stream> audio;
  std::vector<Stream> pg;
  std::vector<Stream> ig;
  std::vector<SecondaryAudioStream> secAudio;
  std::vector<SecondaryVideoStream> secVideo;
  std::vector<Stream> dv;
  bool operator==(const StreamTable&) const = default;
};

struct PlayItem {
  uint16_t length = 0;
  std::string clipName;
  std::string codecId;
  uint8_t isMultiAngle = 0;
  uint8_t connectionCondition = 0;  // 4 bits
  uint8_t stcId = 0;
  uint32_t inTime = 0;
  uint32_t outTime = 0;
  uint32_t uoMask1 = 0;
  uint32_t uoMask2 = 0;
  uint8_t randomAccessFlag = 0;
  uint8_t stillMode = 0;
  uint16_t stillTime = 0;
  MultiClip multiClip;
  StreamTable stn;
  bool operator==(const PlayItem&) const = default;
};

struct SubPlayItem {
  uint16_t length = 0;
  std::string clipName;
  std::string codecId;
  uint8_t connectionCondition = 0;  // the SubPath connection condition
  uint8_t isMultiClipEntries = 0;
  uint8_t stcId = 0;
  uint32_t inTime = 0;
  uint32_t outTime = 0;
  uint16_t syncPlayItemId = 0;
  uint32_t syncStartPTS = 0;
  uint8_t numMultiClip = 0;
  uint8_t reserved = 0;
  // clips[0] is the SubPlayItem's own clip, 1.. come from the file; empty unless
  // isMultiClipEntries is 1.
  std::vector<ClipRef> clips;
  bool operator==(const SubPlayItem&) const = default;
};

struct SubPath {
  uint32_t length = 0;
  uint8_t reserved1 = 0;
  uint8_t type = 0;
  uint16_t repeat = 0;  // 0 = not repeated
  uint8_t reserved2 = 0;
  uint8_t numSubPlayItems = 0;
  std::vector<SubPlayItem> subPlayItems;
  bool operator==(const SubPath&) const = default;
};

struct PlayItemList {
  uint32_t length = 0;
  uint16_t reserved = 0;
  uint16_t numPlayItems = 0;
  uint16_t numSubPaths = 0;
  std::vector<PlayItem> playItems;
  std::vector<SubPath> subPaths;
  bool operator==(const PlayItemList&) const = default;
};

struct Mark {
  uint8_t reserved = 0;
  uint8_t type = 1;  // 1 entry mark, 2 link point
  uint16_t playItemRef = 0;
  uint32_t timeStamp = 0;
  uint16_t entryPID = 0xFFFF;
  uint32_t duration = 0;
  bool operator==(const Mark&) const = default;
};

struct MarkList {
  uint32_t length = 0;
  uint16_t numMarks = 0;
  std::vector<Mark> marks;
  bool operator==(const MarkList&) const = default;
};

struct Playlist {
  std::string typeIndicator;  // "MPLS"
  std::string version;        // "0100", "0200" or "0300"
  uint32_t playListStart = 0;
  uint32_t markStart = 0;
  uint32_t extDataStart = 0;  // 0 = no ExtensionData
  std::array<uint8_t, 20> reserved{};  // read, but written back as zeros
  PlaylistAppInfo appInfo;
  PlayItemList playList;
  MarkList playListMark;
  ExtensionData extData;
  bool operator==(const Playlist&) const = default;
};

// ExtensionData entry (ID1 3, ID2 5) of an Ultra HD playlist: the static HDR metadata
// of its video. 4 length bytes, a count byte and 3 reserved bytes, then 28 bytes per
// record: dynamic range type (high nibble of the first byte; the rest of those 4
// bytes reserved), the display primaries as x/y pairs of 16 bits in the order green,
// blue, red, the white point x/y, the maximum and minimum mastering display
// luminance, the maximum content light level and the maximum frame-average light
// level (16 bits each). The entry stays in the ExtensionData bytes as read; these
// records read from there and write back into them.
constexpr uint16_t kStaticMetadataId1 = 3, kStaticMetadataId2 = 5;
struct StaticMetadata {
  uint8_t dynamicRangeType = 0;
  std::array<uint16_t, 3> displayPrimariesX{};
  std::array<uint16_t, 3> displayPrimariesY{};
  uint16_t whitePointX = 0;
  uint16_t whitePointY = 0;
  uint16_t maxDisplayMasteringLuminance = 0;
  uint16_t minDisplayMasteringLuminance = 0;
  uint16_t maxContentLightLevel = 0;
  uint16_t maxFrameAverageLightLevel = 0;
  bool operator==(const StaticMetadata&) const = default;
};
// The records of the entry; false when there is none or its bytes are short.
bool readStaticMetadata(const ExtensionData& block, std::vector<StaticMetadata>& records);
// Writes the records back into the entry (as many as it holds); false when there is none.
bool writeStaticMetadata(ExtensionData& block, const std::vector<StaticMetadata>& records);

// The seven stream kinds of an STN table, in the order the count grid shows them.
enum class StreamKind : int { Video = 0, Audio = 1, PG = 2, IG = 3, SecVideo = 4, SecAudio = 5, PIPPG = 6 };

// Number of streams of a kind as the table's count says.
unsigned streamCount(const StreamTable& stn, StreamKind kind);
// The stream at `index` of a kind (for PIP PG: index counted from the first
// picture-in-picture stream); nullptr when there is none.
const Stream* streamAt(const StreamTable& stn, StreamKind kind, unsigned index);
Stream* streamAt(StreamTable& stn, StreamKind kind, unsigned index);

}  // namespace morvex::playlist

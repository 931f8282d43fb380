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

using core::TExtensionData;

// The playlist-wide settings that follow the header.
struct AppInfoPlayList {
  uint32_t length = 0;
  uint8_t reserved = 0;
  uint8_t playbackType = 1;  // 1 Sequential, 2 Random, 3 Shuffle
  uint16_t playbackCount = 0;
  uint32_t uoMask1 = 0;  // bits UO31..UO0
  uint32_t uoMask2 = 0;  // the further bits (only bit 30 is defined)
  uint8_t PlayList_random_access_flag = 0;
  uint8_t audio_mix_app_flag = 0;
  uint8_t lossless_may_bypass_mixer_flag = 0;
  bool operator==(const AppInfoPlayList&) const = default;
};

// A clip reference as angles and multi-clip entries hold it.
struct TClipRef {
  std::string clipName;  // five digits, no extension
  std::string codecId;   // "M2TS"
  uint8_t stcId = 0;
  bool operator==(const TClipRef&) const = default;
};

// Angles of a multi-angle PlayItem. angles[0] is the PlayItem's own clip; angles
// 1.. come from the file. Empty when the PlayItem is not multi-angle.
struct Tmulti_clip {
  uint8_t numAngles = 0;
  uint8_t isDifferentAudios = 0;
  uint8_t isSeamlessAngleChange = 0;
  std::vector<TClipRef> angles;
  bool operator==(const Tmulti_clip&) const = default;
};

// Where a selectable stream comes from. Type 1: the PlayItem's own clip (mainPID);
// type 2: a clip of a SubPath (subPathId, subClipId, subPID); type 3: a SubPath
// multiplexed into the PlayItem's clip (subPathId, mainPID). Fields a type does not
// use keep whatever value they had.
struct TStreamEntry {
  uint8_t length = 9;
  uint8_t type = 1;
  uint16_t mainPID = 0;
  uint16_t subPID = 0;
  uint8_t subPathId = 0;
  uint8_t subClipId = 0;
  bool operator==(const TStreamEntry&) const = default;
};

// What a stream carries. Which fields mean something depends on the coding type:
// video keeps format and rate, audio presentation type, sampling frequency and
// language, PG/IG the language, text subtitles character code and language.
struct TStreamAttributes {
  uint8_t length = 5;
  uint8_t codingType = 0;
  uint8_t videoFormat = 0;
  uint8_t frameRate = 0;
  uint8_t audioPresentation = 0;
  uint8_t samplingFrequency = 0;
  std::string language;  // three characters
  uint8_t charCode = 0;
  bool operator==(const TStreamAttributes&) const = default;
};

struct TStream {
  TStreamEntry entry;
  TStreamAttributes attr;
  bool operator==(const TStream&) const = default;
};

// A secondary audio stream and the primary audio streams it may be mixed with.
struct TSecAudio : TStream {
  std::vector<uint8_t> primaryAudioRefs;
  bool operator==(const TSecAudio&) const = default;
};

// A secondary video stream with the secondary audio and picture-in-picture
// subtitle streams that go with it.
struct TSecVideo : TStream {
  std::vector<uint8_t> secAudioRefs;
  std::vector<uint8_t> pipPGRefs;
  bool operator==(const TSecVideo&) const = default;
};

// The stream number table of a PlayItem. `pg` holds the PG/text-subtitle streams
// followed by the picture-in-picture ones (numPG + numPIPPG streams).
struct TSTN {
  uint16_t length = 0;
  uint16_t reserved = 0;
  uint8_t numVideo = 0;
  uint8_t numAudio = 0;
  uint8_t numPG = 0;
  uint8_t numIG = 0;
  uint8_t numSecAudio = 0;
  uint8_t numSecVideo = 0;
  uint8_t numPIPPG = 0;
  std::vector<TStream> video;
  std::vector<TStream> audio;
  std::vector<TStream> pg;
  std::vector<TStream> ig;
  std::vector<TSecAudio> secAudio;
  std::vector<TSecVideo> secVideo;
  bool operator==(const TSTN&) const = default;
};

struct TPlayItem {
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
  Tmulti_clip multiClip;
  TSTN stn;
  bool operator==(const TPlayItem&) const = default;
};

struct TSubPlayItem {
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
  std::vector<TClipRef> clips;
  bool operator==(const TSubPlayItem&) const = default;
};

struct TSubPath {
  uint32_t length = 0;
  uint8_t reserved1 = 0;
  uint8_t type = 0;
  uint16_t repeat = 0;  // 0 = not repeated
  uint8_t reserved2 = 0;
  uint8_t numSubPlayItems = 0;
  std::vector<TSubPlayItem> subPlayItems;
  bool operator==(const TSubPath&) const = default;
};

struct TPlayList {
  uint32_t length = 0;
  uint16_t reserved = 0;
  uint16_t numPlayItems = 0;
  uint16_t numSubPaths = 0;
  std::vector<TPlayItem> playItems;
  std::vector<TSubPath> subPaths;
  bool operator==(const TPlayList&) const = default;
};

struct TMark {
  uint8_t reserved = 0;
  uint8_t type = 1;  // 1 entry mark, 2 link point
  uint16_t playItemRef = 0;
  uint32_t timeStamp = 0;
  uint16_t entryPID = 0xFFFF;
  uint32_t duration = 0;
  bool operator==(const TMark&) const = default;
};

struct TPlayListMark {
  uint32_t length = 0;
  uint16_t numMarks = 0;
  std::vector<TMark> marks;
  bool operator==(const TPlayListMark&) const = default;
};

struct TMPLS {
  std::string typeIndicator;  // "MPLS"
  std::string version;        // "0100" or "0200"
  uint32_t playListStart = 0;
  uint32_t markStart = 0;
  uint32_t extDataStart = 0;  // 0 = no ExtensionData
  std::array<uint8_t, 20> reserved{};  // read, but written back as zeros
  AppInfoPlayList appInfo;
  TPlayList playList;
  TPlayListMark playListMark;
  TExtensionData extData;
  bool operator==(const TMPLS&) const = default;
};

// The seven stream kinds of an STN table, in the order the count grid shows them.
enum class StreamKind : int { Video = 0, Audio = 1, PG = 2, IG = 3, SecVideo = 4, SecAudio = 5, PIPPG = 6 };

// Number of streams of a kind as the table's count says.
unsigned streamCount(const TSTN& stn, StreamKind kind);
// The stream at `index` of a kind (for PIP PG: index counted from the first
// picture-in-picture stream); nullptr when there is none.
const TStream* streamAt(const TSTN& stn, StreamKind kind, unsigned index);
TStream* streamAt(TSTN& stn, StreamKind kind, unsigned index);

}  // namespace morvex::playlist

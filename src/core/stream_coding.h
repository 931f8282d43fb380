#pragma once
// Stream coding types: the byte that says what an elementary stream carries. Playlist
// stream tables, the program tables of clip information and the program map of a
// transport stream all use the same numbers, and the attributes that follow a stream
// entry depend on which kind of coding it names.
//
// Model fields keep the byte as read (`uint8_t`), so a code this program does not know
// still comes back out unchanged; the helpers below take that byte.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace morvex::core {

enum class StreamCoding : uint8_t {
  Mpeg1Video = 0x01,  // named, but carries no attributes here: read as an unknown code
  Mpeg2Video = 0x02,
  Avc = 0x1B,
  Vc1 = 0xEA,
  Hevc = 0x24,  // Ultra HD discs (version 0300 files)
  Lpcm = 0x80,
  DolbyDigital = 0x81,
  Dts = 0x82,
  DolbyLossless = 0x83,
  DolbyDigitalPlus = 0x84,
  DtsHd = 0x85,  // DTS-HD except XLL
  DtsHdXll = 0x86,
  DolbyDigitalPlusSecondary = 0xA1,
  DtsHdSecondary = 0xA2,
  Pg = 0x90,
  Ig = 0x91,
  TextSubtitle = 0x92,
};

// The byte a coding is stored as.
constexpr uint8_t codingValue(StreamCoding coding) { return static_cast<uint8_t>(coding); }
// True when the stored byte is that coding.
constexpr bool isCoding(unsigned codingType, StreamCoding coding) { return codingType == codingValue(coding); }

// Stream kinds by what they carry; each decides which attributes follow the entry.
bool isVideoCoding(unsigned codingType);         // MPEG-2, AVC, VC-1, HEVC
bool isAudioCoding(unsigned codingType);         // the nine audio codings below
bool isGraphicsCoding(unsigned codingType);      // PG or IG
bool isTextSubtitleCoding(unsigned codingType);  // text subtitles

// The video and audio codings in the order the stream editor lists them.
std::span<const uint8_t> videoCodingValues();  // MPEG-2, AVC, VC-1, HEVC
std::span<const uint8_t> audioCodingValues();  // LPCM, DD, DTS, Dolby Lossless, DD+, DTS-HD, DTS-HD XLL, DD+ and
                                               // DTS-HD for secondary audio

// The short name shown for a coding ("AVC", "DD+", "PG"); "" for a code without one.
std::string_view codingTypeName(unsigned codingType);

// HEVC streams carry two further codes beside format and rate. The dynamic range type
// says how the picture is graded: 0 SDR, 1 HDR10, 2 Dolby Vision. The colour space
// names the primaries: 1 BT.709, 2 BT.2020. Both give "" for a value without a name.
std::string_view dynamicRangeTypeName(unsigned value);
std::string_view colorSpaceName(unsigned value);
// "HDR10, BT.2020, CR, HDR10+": the HEVC attributes as one text (a value without a
// name shows as "[n]"; the flags appear only when set).
std::string hevcAttributesText(unsigned dynamicRangeType, unsigned colorSpace, unsigned crFlag, unsigned hdrPlusFlag);
// The values that have a name, in the order the editor lists them.
std::span<const uint8_t> dynamicRangeTypeValues();
std::span<const uint8_t> colorSpaceValues();

}  // namespace morvex::core

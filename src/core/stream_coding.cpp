#include "core/stream_coding.h"

#include <algorithm>

namespace morvex::core {

namespace {

using enum StreamCoding;

constexpr std::array<uint8_t, 4> kVideo = {codingValue(Mpeg2Video), codingValue(Avc), codingValue(Vc1),
                                           codingValue(Hevc)};
constexpr std::array<uint8_t, 3> kDynamicRange = {0, 1, 2};
constexpr std::array<uint8_t, 2> kColorSpace = {1, 2};
constexpr std::array<uint8_t, 9> kAudio = {codingValue(Lpcm),
                                           codingValue(DolbyDigital),
                                           codingValue(Dts),
                                           codingValue(DolbyLossless),
                                           codingValue(DolbyDigitalPlus),
                                           codingValue(DtsHd),
                                           codingValue(DtsHdXll),
                                           codingValue(DolbyDigitalPlusSecondary),
                                           codingValue(DtsHdSecondary)};

template <size_t N>
bool isIn(const std::array<uint8_t, N>& values, unsigned codingType) {
  return std::find(values.begin(), values.end(), codingType) != values.end();
}

}  // namespace

bool isVideoCoding(unsigned t) { return isIn(kVideo, t); }
bool isAudioCoding(unsigned t) { return isIn(kAudio, t); }
bool isGraphicsCoding(unsigned t) { return isCoding(t, Pg) || isCoding(t, Ig); }
bool isTextSubtitleCoding(unsigned t) { return isCoding(t, TextSubtitle); }

std::span<const uint8_t> videoCodingValues() { return kVideo; }
std::span<const uint8_t> audioCodingValues() { return kAudio; }

std::string_view codingTypeName(unsigned t) {
  if (t > 0xFF) return {};
  switch (static_cast<StreamCoding>(t)) {
    case Mpeg2Video: return "MPEG-2";
    case Avc: return "AVC";
    case Vc1: return "VC1";
    case Hevc: return "HEVC";
    case Lpcm: return "LPCM";
    case DolbyDigital: return "DD";
    case Dts: return "DTS";
    case DolbyLossless: return "Dolby Lossless";
    case DolbyDigitalPlus: return "DD+";
    case DtsHd: return "DTS-HD ex. XLL";
    case DtsHdXll: return "DTS-HD XLL";
    case DolbyDigitalPlusSecondary: return "DD+";
    case DtsHdSecondary: return "DTS-HD";
    case Pg: return "PG";
    case Ig: return "IG";
    case TextSubtitle: return "Text";
    default: return {};
  }
}

std::string_view dynamicRangeTypeName(unsigned v) {
  switch (v) {
    case 0: return "SDR";
    case 1: return "HDR10";
    case 2: return "Dolby Vision";
    default: return {};
  }
}

std::string_view colorSpaceName(unsigned v) {
  switch (v) {
    case 1: return "BT.709";
    case 2: return "BT.2020";
    default: return {};
  }
}

std::string hevcAttributesText(unsigned dr, unsigned cs, unsigned cr, unsigned hdrPlus) {
  auto named = [](std::string_view n, unsigned v) { return n.empty() ? "[" + std::to_string(v) + "]" : std::string(n); };
  std::string s = named(dynamicRangeTypeName(dr), dr) + ", " + named(colorSpaceName(cs), cs);
  if (cr) s += ", CR";
  if (hdrPlus) s += ", HDR10+";
  return s;
}

std::span<const uint8_t> dynamicRangeTypeValues() { return kDynamicRange; }
std::span<const uint8_t> colorSpaceValues() { return kColorSpace; }

}  // namespace morvex::core

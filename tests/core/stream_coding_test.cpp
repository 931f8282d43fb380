// Every byte a stream table can hold falls into at most one kind, and the codes with a
// kind are exactly the ones shown under a name.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string_view>
#include <vector>

#include "core/stream_coding.h"

using namespace morvex::core;

TEST(StreamCoding, EveryByteHasOneKindAndTheNamedOnesAreExactlyTheKnown) {
  const std::set<unsigned> video = {0x02, 0x1B, 0xEA, 0x24};
  const std::set<unsigned> audio = {0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0xA1, 0xA2};
  const std::set<unsigned> graphics = {0x90, 0x91};
  for (unsigned t = 0; t < 256; ++t) {
    SCOPED_TRACE(t);
    EXPECT_EQ(isVideoCoding(t), video.count(t) == 1);
    EXPECT_EQ(isAudioCoding(t), audio.count(t) == 1);
    EXPECT_EQ(isGraphicsCoding(t), graphics.count(t) == 1);
    EXPECT_EQ(isTextSubtitleCoding(t), t == 0x92);
    const bool known = video.count(t) || audio.count(t) || graphics.count(t) || t == 0x92;
    EXPECT_EQ(codingTypeName(t).empty(), !known);
  }
  // MPEG-1 video has a name in the code list but no attributes in the stream tables.
  EXPECT_FALSE(isVideoCoding(codingValue(StreamCoding::Mpeg1Video)));
  EXPECT_EQ(codingTypeName(0x100 | 0x1B), "");

  // The editor's lists, in their order and under the names the user sees.
  const std::vector<uint8_t> videoList(videoCodingValues().begin(), videoCodingValues().end());
  const std::vector<uint8_t> audioList(audioCodingValues().begin(), audioCodingValues().end());
  EXPECT_EQ(videoList, (std::vector<uint8_t>{0x02, 0x1B, 0xEA, 0x24}));
  EXPECT_EQ(audioList, (std::vector<uint8_t>{0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0xA1, 0xA2}));
  std::vector<std::string_view> names;
  for (uint8_t t : videoList) names.push_back(codingTypeName(t));
  for (uint8_t t : audioList) names.push_back(codingTypeName(t));
  names.push_back(codingTypeName(0x90));
  names.push_back(codingTypeName(0x91));
  names.push_back(codingTypeName(0x92));
  EXPECT_EQ(names,
            (std::vector<std::string_view>{"MPEG-2", "AVC", "VC1", "HEVC", "LPCM", "DD", "DTS", "Dolby Lossless", "DD+",
                                           "DTS-HD ex. XLL", "DTS-HD XLL", "DD+", "DTS-HD", "PG", "IG", "Text"}));

  // HEVC's dynamic range and colour space: the listed values are exactly the named ones,
  // and the combined text names each value or shows it in brackets.
  for (unsigned v = 0; v < 16; ++v) {
    const auto dr = dynamicRangeTypeValues();
    const auto cs = colorSpaceValues();
    EXPECT_EQ(dynamicRangeTypeName(v).empty(), std::find(dr.begin(), dr.end(), v) == dr.end()) << v;
    EXPECT_EQ(colorSpaceName(v).empty(), std::find(cs.begin(), cs.end(), v) == cs.end()) << v;
  }
  EXPECT_EQ(hevcAttributesText(2, 2, 0, 1), "Dolby Vision, BT.2020, HDR10+");
  EXPECT_EQ(hevcAttributesText(7, 1, 1, 0), "[7], BT.709, CR");
}

// Stream attribute names and the language list.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "playlist/names.h"

using namespace morvex::playlist;

TEST(StreamNames, CodesAndTheirNames) {
  EXPECT_EQ(morvex::core::codingTypeName(0x1B), "AVC");
  EXPECT_EQ(morvex::core::codingTypeName(0xA1), "DD+");
  EXPECT_EQ(morvex::core::codingTypeName(0x84), "DD+");
  EXPECT_EQ(morvex::core::codingTypeName(0x92), "Text");
  EXPECT_EQ(morvex::core::codingTypeName(0x42), "");
  EXPECT_EQ(samplingFrequencyName(12), "c:48/96, e:192 kHz");
  EXPECT_EQ(samplingFrequencyName(2), "-");
  EXPECT_EQ(samplingFrequencyName(15), "res.");
  EXPECT_EQ(frameRateName(1), "23.976");
  EXPECT_EQ(frameRateName(5), "-");
  EXPECT_EQ(videoFormatName(6), "1080p");
  EXPECT_EQ(videoFormatName(16), "");
  EXPECT_EQ(audioPresentationName(12), "St.+M-ch.");
  EXPECT_EQ(audioPresentationName(13), "res.");
  EXPECT_EQ(entryTypeName(3), "IM PIP");
  EXPECT_EQ(entryTypeName(4), "");
  EXPECT_EQ(subPathTypeName(7), "IM Sync");
  EXPECT_EQ(subPathTypeName(9), "[9]");
  EXPECT_EQ(markTypeName(0), "");
  EXPECT_EQ(markTypeName(2), "link point");
  EXPECT_EQ(markTypeName(3), "[3]");
  // Editor lists map their index to the stored coding type.
  ASSERT_EQ(audioCodingItems().size(), audioCodingValues().size());
  for (size_t i = 0; i < audioCodingItems().size(); ++i)
    EXPECT_EQ(audioCodingItems()[i], morvex::core::codingTypeName(audioCodingValues()[i]));
  EXPECT_EQ(audioCodingIndex(0xA2), 8);
  EXPECT_EQ(videoCodingIndex(0xEA), 2);
  EXPECT_EQ(videoCodingIndex(0x81), -1);
  EXPECT_EQ(audioCodingHint(8), "DTS-HD audio stream for Secondary audio stream");
  EXPECT_EQ(audioPresentationHint(2), "");  // no hint: the previous one stays
  EXPECT_TRUE(entryTypeHasHint(0));
  EXPECT_FALSE(entryTypeHasHint(4));
}

TEST(StreamNames, LanguageList) {
  auto langs = languageList();
  ASSERT_EQ(langs.size(), 431u);
  EXPECT_EQ(langs[0], "eng");
  EXPECT_EQ(langs[1], "aar");
  EXPECT_EQ(langs.back(), "zun");
  EXPECT_EQ(languageIndex("eng"), 0);
  EXPECT_EQ(languageIndex("xxx"), -1);
  EXPECT_EQ(languageIndex(""), -1);
  // Alphabetical after the first entry, except "nzi" standing after "nub".
  int nub = languageIndex("nub");
  ASSERT_GT(nub, 0);
  EXPECT_EQ(langs[size_t(nub) + 1], "nzi");
  EXPECT_EQ(langs[size_t(nub) + 2], "nya");
  std::vector<std::string_view> rest(langs.begin() + 1, langs.end());
  rest.erase(std::find(rest.begin(), rest.end(), "nzi"));
  EXPECT_TRUE(std::is_sorted(rest.begin(), rest.end()));
  EXPECT_EQ(std::set<std::string_view>(rest.begin(), rest.end()).size(), rest.size());
  for (auto c : langs) EXPECT_EQ(c.size(), 3u);
  for (auto c : {"fre", "ger", "jpn", "spa", "chi", "kor", "ita"}) EXPECT_GT(languageIndex(c), 0) << c;
}

// The result every reader returns, and the text helpers of the front ends: UTF-8
// checking, the Latin-1 rendering, the number parsers and the padded number and time
// texts.
#include <gtest/gtest.h>

#include "core/read_result.h"
#include "core/text.h"

using namespace morvex::core;

namespace {

// An independent UTF-8 decoder for the round trip: code points of well-formed input.
std::vector<uint32_t> decode(const std::string& s) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < s.size();) {
    auto c = static_cast<unsigned char>(s[i]);
    int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    uint32_t cp = n == 1 ? c : c & (0x7F >> n);
    for (int k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    out.push_back(cp);
    i += n;
  }
  return out;
}

}  // namespace

TEST(ReadResult, OutcomeFollowsTheWorstProblem) {
  ReadResult r;
  EXPECT_TRUE(r.complete());
  EXPECT_TRUE(r.summary().empty());
  r.addPartial(ReadIssue::EndsEarly, 100, "a.bdmv ends early at 100");
  EXPECT_TRUE(r.partial());
  EXPECT_TRUE(r.usable());
  r.refuse(ReadIssue::UnsupportedVersion, 4, "a.bdmv: version 0300 (Ultra HD) is not supported");
  EXPECT_TRUE(r.refused());
  EXPECT_FALSE(r.usable());
  // A later shortfall does not make a refused read usable again.
  r.addPartial(ReadIssue::CountCapped, 8, "capped");
  EXPECT_TRUE(r.refused());
  ASSERT_EQ(r.problems.size(), 3u);
  EXPECT_EQ(r.problems[1].offset, 4u);
  EXPECT_EQ(r.summary(), "a.bdmv ends early at 100; a.bdmv: version 0300 (Ultra HD) is not supported; capped");

  // A refused part of a larger read leaves the whole partial, with the part's reasons.
  ReadResult whole;
  whole.merge(ReadResult{});
  EXPECT_TRUE(whole.complete());
  whole.merge(ReadResult::refusal(ReadIssue::WrongKind, 0, "x: not a playlist file"));
  EXPECT_TRUE(whole.partial());
  ASSERT_EQ(whole.problems.size(), 1u);
  EXPECT_EQ(whole.problems[0].kind, ReadIssue::WrongKind);
}

TEST(ReadResult, VersionMessages) {
  EXPECT_EQ(unsupportedVersionMessage("index.bdmv", "0300"), "index.bdmv: version 0300 (Ultra HD) is not supported");
  EXPECT_EQ(unsupportedVersionMessage("x.mpls", "0400"), "x.mpls: version 0400 is not supported");
  EXPECT_EQ(versionText(0x30333030), "0300");
  EXPECT_EQ(versionText(0x3001FF30), "0\\x01\\xFF0");
  EXPECT_STREQ(readIssueName(ReadIssue::SectionOutside), "section outside the file");
}

TEST(TextHelpers, Utf8CheckAndLatin1RoundTrip) {
  EXPECT_TRUE(isUtf8(""));
  EXPECT_TRUE(isUtf8("plain"));
  EXPECT_TRUE(isUtf8("Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xAC"));
  EXPECT_TRUE(isUtf8(std::string("A\0B", 3)));
  EXPECT_FALSE(isUtf8("Caf\xE9"));              // a Latin-1 byte
  EXPECT_FALSE(isUtf8("\xC3"));                 // cut inside a sequence
  EXPECT_FALSE(isUtf8("\xC0\xAF"));             // overlong
  EXPECT_FALSE(isUtf8("\xE0\x80\xAF"));         // overlong, three bytes
  EXPECT_FALSE(isUtf8("\xED\xA0\x80"));         // a surrogate
  EXPECT_FALSE(isUtf8("\xF4\x90\x80\x80"));     // above U+10FFFF
  EXPECT_FALSE(isUtf8("\x80"));                 // a lone continuation byte

  // Every byte value becomes the code point of the same number: nothing is lost.
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::string text = latin1ToUtf8(all);
  ASSERT_TRUE(isUtf8(text));
  auto cps = decode(text);
  ASSERT_EQ(cps.size(), 256u);
  for (uint32_t b = 0; b < 256; ++b) EXPECT_EQ(cps[b], b);
  EXPECT_EQ(hexBytes("Caf\xE9"), "436166E9");
}

TEST(TextHelpers, NumbersAreWholeAndInRange) {
  EXPECT_EQ(parseNumber("0"), 0u);
  EXPECT_EQ(parseNumber("4096"), 4096u);
  EXPECT_EQ(parseNumber("0x1100"), 0x1100u);
  EXPECT_EQ(parseNumber("0X1b"), 0x1Bu);
  EXPECT_EQ(parseNumber("$FF"), 0xFFu);
  EXPECT_EQ(parseNumber("010"), 10u);  // no octal surprise
  EXPECT_EQ(parseNumber("18446744073709551615"), UINT64_MAX);
  for (const char* bad : {"", " 1", "1 ", "+1", "-1", "0x", "$", "0x1100junk", "12a", "1e3", "0x-1",
                          "18446744073709551616", "0x10000000000000000"})
    EXPECT_FALSE(parseNumber(bad).has_value()) << bad;
  EXPECT_EQ(parseNumber("0x1FFE", 0x1FFE), 0x1FFEu);
  EXPECT_FALSE(parseNumber("0x1FFF", 0x1FFE).has_value());
  EXPECT_FALSE(parseNumber("65536", 0xFFFF).has_value());
  EXPECT_FALSE(parseNumber("5", 0).has_value());
  EXPECT_EQ(parseNumber("0", 0), 0u);
}

// The cells that show a value in hexadecimal read it back in one of two ways: strictly
// (the digits and nothing else, at most the field's width), or passing over anything
// that is not a digit and keeping the last digits that fit the field.
TEST(TextHelpers, HexCellsReadStrictlyOrKeepTheDigitsThatFit) {
  EXPECT_EQ(parseHex("1b", 2), 0x1Bu);
  EXPECT_EQ(parseHex("FFFFFFFF", 8), 0xFFFFFFFFu);
  EXPECT_EQ(parseHex("00000000000000Ab", 16), 0xABu);
  for (const char* bad : {"", "123456789", "0x12", "12 4", " 1", "$FF", "-1", "1g"})
    EXPECT_FALSE(parseHex(bad, 8).has_value()) << bad;
  EXPECT_FALSE(parseHex("10000", 4).has_value());

  EXPECT_EQ(parseHex("2G81XX00", 8, HexInput::SkipOthers), 0x28100u);
  EXPECT_EQ(parseHex("", 8, HexInput::SkipOthers), 0u);
  EXPECT_EQ(parseHex("-- --", 8, HexInput::SkipOthers), 0u);
  EXPECT_EQ(parseHex("123456789", 8, HexInput::SkipOthers), 0x23456789u);  // a 32-bit field keeps 8 digits
  EXPECT_EQ(parseHex("1_2345_6789_ABCD_EF01", 16, HexInput::SkipOthers), 0x23456789ABCDEF01u);
}

TEST(TextHelpers, DecimalCellsAreDigitsOnlyUpToTheirWidth) {
  EXPECT_EQ(parseDecimal("007", 3), 7u);
  EXPECT_EQ(parseDecimal("999999999", 9), 999999999u);
  EXPECT_EQ(parseDecimal("9999999999999999999", 19), 9999999999999999999ull);
  for (const char* bad : {"", "1234", "1 2", " 12", "+1", "-1", "0x1", "1a"})
    EXPECT_FALSE(parseDecimal(bad, 3).has_value()) << bad;
}

TEST(TextHelpers, PaddedNumbersAndTimes) {
  EXPECT_EQ(hexField(0xA3, 4), "00A3");
  EXPECT_EQ(hexField(0x1FFFF, 4), "FFFF");  // the low digits only, unlike hexText
  EXPECT_EQ(hexText(0x1FFFF, 4), "1FFFF");
  EXPECT_EQ(hexField(0xFFFFFFFFFFFFFFFFull, 16), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(decimalText(7, 3), "007");
  EXPECT_EQ(decimalText(12345, 3), "12345");
  EXPECT_EQ(decimalText(0, 5), "00000");
  EXPECT_EQ(timeText(0), "0:00:00.000");
  EXPECT_EQ(timeText(3723004), "1:02:03.004");
  EXPECT_EQ(timeText(3723004, 2), "01:02:03.004");
  EXPECT_EQ(timeText(100ull * 3600000 + 59999), "100:00:59.999");
  EXPECT_EQ(timeText(5000000ull * 3600000, 2), "5000000:00:00.000");
  EXPECT_EQ(secondsText(0), "0:00:00");
  EXPECT_EQ(secondsText(3599), "0:59:59");
  EXPECT_EQ(secondsText(400000), "111:06:40");
  EXPECT_EQ(thousandsText(0), "0");
  EXPECT_EQ(thousandsText(999), "999");
  EXPECT_EQ(thousandsText(1000), "1,000");
  EXPECT_EQ(thousandsText(1920000), "1,920,000");
  EXPECT_EQ(thousandsText(UINT64_MAX), "18,446,744,073,709,551,615");
}

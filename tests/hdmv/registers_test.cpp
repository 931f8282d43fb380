// Reset values, the country and panel field rules, and the two listings.
#include <gtest/gtest.h>

#include "core/log.h"
#include "hdmv/registers.h"

using namespace morvex::hdmv;

TEST(Registers, ResetWithDefaultOptions) {
  Registers r;
  r.gpr[4095] = 9;
  r.psr[100] = 9;
  resetRegisters(r, {});
  EXPECT_EQ(r.psr[0], 1u);
  EXPECT_EQ(r.psr[1], 0xFFu);
  EXPECT_EQ(r.psr[2], 0x0FFF0FFFu);
  EXPECT_EQ(r.psr[4], 0xFFFFu);
  EXPECT_EQ(r.psr[5], 0xFFFFu);
  EXPECT_EQ(r.psr[16], 0x656E67u);
  EXPECT_EQ(r.psr[18], 0x656E67u);
  EXPECT_EQ(r.psr[19], 0x5553u);
  EXPECT_EQ(r.psr[20], 1u);
  EXPECT_EQ(r.psr[31], 0x30200u);
  EXPECT_EQ(r.psr[61], 0xFFFF0000u);
  EXPECT_EQ(r.psr[100], 0u);
  for (uint32_t g : r.gpr) ASSERT_EQ(g, 0u);
}

TEST(Registers, ResetOptions) {
  Registers r;
  resetRegisters(r, {true, 0x4652, 2});
  EXPECT_EQ(r.psr[1], 1u);
  EXPECT_EQ(r.psr[2], 0x0FFF0001u);
  EXPECT_EQ(r.psr[4], 0u);
  EXPECT_EQ(r.psr[5], 1u);
  EXPECT_EQ(r.psr[19], 0x4652u);
  EXPECT_EQ(r.psr[20], 4u);
  resetRegisters(r, {false, 0x5553, 1});
  EXPECT_EQ(r.psr[20], 2u);
}

TEST(Registers, CountryCodeField) {
  EXPECT_EQ(clampCountryCode(*parseCountryCode("3030")), 0x4141u);
  EXPECT_EQ(countryLabel(clampCountryCode(0x3030)), "AA");
  EXPECT_EQ(clampCountryCode(*parseCountryCode("ffff")), 0x5A5Au);
  EXPECT_EQ(countryLabel(0x5A5A), "ZZ");
  EXPECT_EQ(clampCountryCode(0x4652), 0x4652u);
  EXPECT_EQ(countryLabel(0x5553), "US");
  EXPECT_EQ(countryCodeText(0x5A5A), "5a5a");
  EXPECT_FALSE(parseCountryCode("12345"));
  EXPECT_FALSE(parseCountryCode("xy"));
}

TEST(Registers, PanelNumberAndValueFields) {
  EXPECT_EQ(panelRegisterNumber(RegFile::Psr, "127"), 127);
  EXPECT_FALSE(panelRegisterNumber(RegFile::Psr, "128"));
  EXPECT_EQ(panelRegisterNumber(RegFile::Gpr, "4095"), 4095);
  EXPECT_FALSE(panelRegisterNumber(RegFile::Gpr, "4096"));
  EXPECT_FALSE(panelRegisterNumber(RegFile::Gpr, "-1"));
  EXPECT_FALSE(panelRegisterNumber(RegFile::Gpr, "99999999999999"));
  EXPECT_EQ(panelRegisterNumber(RegFile::Psr, "007"), 7);
  EXPECT_EQ(panelNumberText(RegFile::Psr, 0), "000");
  EXPECT_EQ(panelNumberText(RegFile::Psr, 127), "127");
  EXPECT_EQ(panelNumberText(RegFile::Gpr, 0), "0000");
  EXPECT_EQ(panelNumberText(RegFile::Gpr, 12), "0012");
  EXPECT_EQ(panelValueText(0xabcdef), "00ABCDEF");
  EXPECT_EQ(parsePanelValue("ffffffff"), 0xFFFFFFFFu);
  EXPECT_FALSE(parsePanelValue("1ffffffff"));
}

TEST(Registers, PsrListingAfterReset) {
  Registers r;
  resetRegisters(r, {});
  auto lines = psrListing(r);
  // PSR0-20, PSR29-31, then one line for PSR43, 48, 49, 50 and 61.
  ASSERT_EQ(lines.size(), 25u);
  EXPECT_EQ(lines[0], "[b]PSR0[/b]: 00000001 (1) - Interactive Graphics Stream Number (b7-b0) {1-32,$ff}");
  EXPECT_EQ(lines[8], "[b]PSR8[/b]: FFFFFFFF (4294967295) - Presentation Time in 45kHz {0-$ffffffff}");
  EXPECT_EQ(lines[21].substr(0, 17), "[b]PSR29[/b]: 000");
  EXPECT_EQ(lines[23].substr(0, 17), "[b]PSR31[/b]: 000");
  EXPECT_EQ(lines[24],
            "[b]PSR43[/b]: 0000FFFF (65535)   [b]PSR48[/b]: FFFFFFFF (4294967295)   "
            "[b]PSR49[/b]: FFFFFFFF (4294967295)   [b]PSR50[/b]: FFFFFFFF (4294967295)   "
            "[b]PSR61[/b]: FFFF0000 (4294901760)   ");
  // A non-zero reserved PSR shows without its description; six per line above 31.
  r.psr[22] = 2;
  for (int n = 32; n < 40; ++n) r.psr[n] = 1;
  lines = psrListing(r);
  EXPECT_EQ(lines[21], "[b]PSR22[/b]: 00000002 (2) - ");
  EXPECT_EQ(lines.size(), 28u);
  EXPECT_EQ(lines[25].substr(0, 12), "[b]PSR32[/b]");
  EXPECT_EQ(lines[26].substr(0, 12), "[b]PSR38[/b]");
}

TEST(Registers, GprListing) {
  Registers r;
  EXPECT_TRUE(gprListing(r).empty());
  r.gpr[7] = 5;
  auto lines = gprListing(r);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "[b]GPR7[/b]: 00000005 (5)   ");
  for (int n = 100; n < 106; ++n) r.gpr[n] = 0xFFFFFFFFu;
  lines = gprListing(r);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(0, 31), "[b]GPR7[/b]: 00000005 (5)   [b]");
  EXPECT_EQ(lines[1], "[b]GPR104[/b]: FFFFFFFF (4294967295)   [b]GPR105[/b]: FFFFFFFF (4294967295)   ");
  morvex::core::MemoryLog log;
  logGprs(r, log);
  ASSERT_EQ(log.plainLines().size(), 2u);
  EXPECT_EQ(log.plainLines()[1], "GPR104: FFFFFFFF (4294967295)   GPR105: FFFFFFFF (4294967295)   ");
}

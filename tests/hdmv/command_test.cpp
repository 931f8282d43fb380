// Decoding of the operation word, the name tables and the validity lists.
#include <gtest/gtest.h>

#include <set>

#include "hdmv/command.h"

using namespace morvex::hdmv;

TEST(CommandDecode, FieldsComeFromTheirBits) {
  EXPECT_EQ(decode(0x00000000u), (DecodedOpcode{0, 0, 0, 0, false, false}));
  // Compare NE register/immediate: operation from bits 11-8.
  EXPECT_EQ(decode(0x48400300u), (DecodedOpcode{2, 1, 0, 3, false, true}));
  // Set with option 0x11 reads all five low bits.
  EXPECT_EQ(decode(0x31000011u), (DecodedOpcode{1, 2, 1, 0x11, false, false}));
  // Branch GoTo immediate: bits 19-16; bits 11-8 and 4-0 are not the operation here.
  EXPECT_EQ(decode(0x20810F1Fu), (DecodedOpcode{1, 0, 0, 1, true, false}));
  // Group 3 never has an operation; operand count decodes all three bits.
  EXPECT_EQ(decode(0xF8FFFFFFu), (DecodedOpcode{7, 3, 0, 0, true, true}));
}

TEST(CommandDecode, RegisterReferencesIgnoreUnusedBits) {
  EXPECT_EQ(registerRef(0x80000005u), (RegRef{true, 5}));
  EXPECT_EQ(registerRef(0x00000FFFu), (RegRef{false, 4095}));
  EXPECT_EQ(registerRef(0x80001005u), (RegRef{true, 5}));
  EXPECT_EQ(registerRef(0x7FFFF00Au), (RegRef{false, 10}));
}

TEST(CommandTables, NamesCountsAndSelectorLists) {
  EXPECT_EQ(commandName(0, 0, 0), "NOP");
  EXPECT_EQ(commandName(0, 2, 1), "Play PL_PI");
  EXPECT_EQ(commandName(1, 0, 7), "LT");
  EXPECT_EQ(commandName(2, 0, 13), "Bit Clear");
  EXPECT_EQ(commandName(2, 1, 6), "SetSecondaryStream");
  EXPECT_EQ(commandName(2, 1, 0x10), "");
  EXPECT_EQ(commandName(3, 0, 0), "");
  EXPECT_EQ(commandName(-1, 0, 0), "");
  EXPECT_EQ(commandName(0, 0, 32), "");
  EXPECT_EQ(opCount(0, 2, 2), 2);
  EXPECT_EQ(opCount(0, 1, 4), 0);
  EXPECT_EQ(opCount(2, 1, 4), 1);
  EXPECT_EQ(opCount(1, 0, 0), 0);
  EXPECT_EQ(groupNames(), (std::vector<std::string>{"Branch", "Compare", "Set"}));
  EXPECT_EQ(subGroupNames(0), (std::vector<std::string>{"GoTo", "Jump", "Play"}));
  EXPECT_EQ(subGroupNames(1), (std::vector<std::string>{"-"}));
  EXPECT_TRUE(subGroupNames(3).empty());
  // A selector's index equals the option value, placeholder first.
  auto set = commandNames(2, 0);
  ASSERT_EQ(set.size(), 16u);
  EXPECT_EQ(set[0], "---");
  EXPECT_EQ(set[15], "Shift Right");
  EXPECT_EQ(commandNames(2, 1).size(), 10u);
  EXPECT_EQ(commandNames(0, 1).back(), "Resume");
}

TEST(CommandValidity, ExactWordMembership) {
  const auto& v = validOpcodes();
  EXPECT_EQ(std::set<uint32_t>(v.begin(), v.end()).size(), 122u);
  EXPECT_TRUE(isValid(0x00000000u));
  EXPECT_FALSE(isValid(0x20000000u));  // named NOP but with an operand
  EXPECT_FALSE(isValid(0x48800100u));  // compare with an immediate first operand
  EXPECT_TRUE(isValid(0x48C00100u));
  EXPECT_TRUE(isValid(0x10000005u));
  EXPECT_FALSE(isValid(0x10000006u));
  EXPECT_TRUE(isValid(0x31000010u));
  EXPECT_EQ(commandName(2, 1, 0x10), "");
  EXPECT_FALSE(isValid(0x5080000Fu));
  EXPECT_FALSE(isValid(0x50C00001u));
  EXPECT_TRUE(isValid(0x20010000u));   // GoTo with a register operand
  EXPECT_TRUE(isValid(0x51C00006u));
  EXPECT_FALSE(isValid(0x51C00005u));
  EXPECT_FALSE(isValid(0x48000800u));
  EXPECT_FALSE(isValid(0x20810001u));  // no masking of undecoded bits
  // Every valid word names an operation, except the two unnamed SetSystem options.
  for (uint32_t w : v) {
    const auto d = decode(w);
    if (w != 0x31000010u && w != 0x31000011u) {
      EXPECT_FALSE(commandName(d.group, d.subGroup, d.operation).empty()) << std::hex << w;
    }
  }
}

TEST(CommandValidity, ForbiddenDependsOnContext) {
  EXPECT_TRUE(isForbidden(0x22000000u, CmdContext::Button));
  EXPECT_FALSE(isForbidden(0x22000000u, CmdContext::MovieObject));
  EXPECT_TRUE(isForbidden(0x31000004u, CmdContext::MovieObject));
  EXPECT_FALSE(isForbidden(0x31000004u, CmdContext::Button));
  EXPECT_TRUE(isForbidden(0x11000009u, CmdContext::MovieObject));
  EXPECT_FALSE(isForbidden(0x42C20000u, CmdContext::MovieObject));
  EXPECT_TRUE(isForbidden(0x42C20000u, CmdContext::Button));
  // Every forbidden word is also a valid one.
  for (uint32_t w : forbiddenInObjects()) EXPECT_TRUE(isValid(w)) << std::hex << w;
  for (uint32_t w : forbiddenInButtons()) EXPECT_TRUE(isValid(w)) << std::hex << w;
}

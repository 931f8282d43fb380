// Program editing with GoTo renumbering, the editor's field actions, following a
// command, and the program list export.
#include <gtest/gtest.h>

#include "hdmv/command_edit.h"
#include "support/test_support.h"

using namespace morvex::hdmv;

namespace {
Command gotoI(uint32_t line) { return {morvex::test::kGoTo, line, 0}; }
Command movI(uint32_t g, uint32_t v) { return {morvex::test::kMove, g, v}; }
CommandList numbered(int n) {
  CommandList p;
  for (int i = 0; i < n; ++i) p.push_back(movI(static_cast<uint32_t>(i), static_cast<uint32_t>(i)));
  return p;
}
}  // namespace

TEST(GotoRenumbering, FollowsInsertionsAndDeletions) {
  CommandList p = numbered(10);
  p[0] = gotoI(7);
  p[1] = gotoI(3);
  p[2] = {0x20010000u, 7, 0};  // GoTo through a register is left alone
  auto changed = updateGotos(p, 4, 1);
  EXPECT_EQ(p[0].dst, 8u);
  EXPECT_EQ(p[1].dst, 3u);
  EXPECT_EQ(p[2].dst, 7u);
  EXPECT_EQ(changed, std::vector<int>{0});
  p[0] = gotoI(5);
  p[1] = gotoI(1);
  updateGotos(p, 1, -2);  // lines 2 and 3 deleted
  EXPECT_EQ(p[0].dst, 3u);
  EXPECT_EQ(p[1].dst, 1u);
  // after = -1 moves every target.
  p[0] = gotoI(0);
  updateGotos(p, -1, 2);
  EXPECT_EQ(p[0].dst, 2u);
}

TEST(GotoRenumbering, TargetsNeverWrapAroundLineZero) {
  // Deleting lines 0-3: GoTos into the range land on line 0, not near 2^32.
  CommandList p = {gotoI(0), gotoI(2), gotoI(3), gotoI(4), gotoI(9)};
  updateGotos(p, -1, -4);
  EXPECT_EQ(p[0].dst, 0u);
  EXPECT_EQ(p[1].dst, 0u);
  EXPECT_EQ(p[2].dst, 0u);
  EXPECT_EQ(p[3].dst, 0u);
  EXPECT_EQ(p[4].dst, 5u);
  // A long range starting at line 1 would take target 2 below zero as well.
  p = {gotoI(2)};
  updateGotos(p, 0, -5);
  EXPECT_EQ(p[0].dst, 0u);
  // And a target at the top of the range stays there on insertion.
  p = {gotoI(0xFFFFFFFFu)};
  updateGotos(p, 3, 2);
  EXPECT_EQ(p[0].dst, 0xFFFFFFFFu);
  // Through deleteCommands: deleting lines 0-1 of a program that jumps to line 1.
  p = {movI(0, 0), movI(1, 1), gotoI(1), gotoI(3)};
  auto out = deleteCommands(p, 0, 1);
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ(p[0].dst, 0u);
  EXPECT_EQ(p[1].dst, 1u);
  EXPECT_EQ(out.selectFirst, 0);
}

TEST(CommandEditing, InsertPasteAndTheLimit) {
  CommandList p = numbered(10);
  p[9] = gotoI(7);
  CommandList clip = {gotoI(2), movI(1, 1), movI(2, 2)};
  auto out = applyCmdKey(p, 3, 5, CmdKey::Paste, clip);
  ASSERT_EQ(p.size(), 13u);
  EXPECT_EQ(p[6], gotoI(2));  // the pasted GoTo targets a line before the insertion
  EXPECT_EQ(p[8], movI(2, 2));
  EXPECT_EQ(p[12].dst, 10u);  // GoTo 7 follows its line
  EXPECT_EQ(out.selectFirst, 6);
  EXPECT_EQ(out.inserted, 3);
  EXPECT_EQ(out.gotoLines, std::vector<int>{12});
  CommandList empty;
  out = applyCmdKey(p, 0, 0, CmdKey::Paste, empty);
  EXPECT_FALSE(out.changed);
  EXPECT_EQ(out.status, "Nothing to insert.");
  // Into an empty program the commands go from line 0.
  CommandList q;
  out = applyCmdKey(q, 0, 0, CmdKey::Insert, empty);
  EXPECT_EQ(q, CommandList{kNopCommand});
  EXPECT_EQ(out.selectFirst, 0);
  // The limit of 9999 commands.
  CommandList big(9999);
  out = insertCommands(big, 5, {kNopCommand});
  EXPECT_FALSE(out.changed);
  EXPECT_EQ(big.size(), 9999u);
  CommandList almost(9998);
  EXPECT_FALSE(insertCommands(almost, 0, {kNopCommand, kNopCommand}).changed);
  EXPECT_TRUE(insertCommands(almost, 0, {kNopCommand}).changed);
}

TEST(CommandEditing, DeleteCopyCutNopSelectAll) {
  CommandList p = numbered(6);
  auto out = deleteCommands(p, 2, 3);
  EXPECT_EQ(p.size(), 4u);
  EXPECT_EQ(p[2], movI(4, 4));
  EXPECT_EQ(out.selectFirst, 1);
  CommandList clip;
  out = applyCmdKey(p, 1, 2, CmdKey::Copy, clip);
  EXPECT_EQ(out.status, "Command(s) copied");
  EXPECT_EQ(clip, (CommandList{movI(1, 1), movI(4, 4)}));
  EXPECT_EQ(p.size(), 4u);
  out = applyCmdKey(p, 0, 0, CmdKey::Cut, clip);
  EXPECT_EQ(clip, CommandList{movI(0, 0)});
  EXPECT_EQ(p.size(), 3u);
  EXPECT_EQ(out.deleted, 1);
  out = applyCmdKey(p, 1, 1, CmdKey::Nop, clip);
  EXPECT_EQ(p[1], kNopCommand);
  EXPECT_EQ(out.selectFirst, 2);
  out = applyCmdKey(p, 2, 2, CmdKey::Nop, clip);  // last line: the selection stays
  EXPECT_EQ(out.selectFirst, 2);
  out = applyCmdKey(p, 1, 1, CmdKey::SelectAll, clip);
  EXPECT_EQ(out.selectFirst, 0);
  EXPECT_EQ(out.selectLast, 2);
  out = applyCmdKey(p, 0, 2, CmdKey::Delete, clip);
  EXPECT_TRUE(p.empty());
  EXPECT_FALSE(applyCmdKey(p, 0, 0, CmdKey::Delete, clip).changed);
}

TEST(CommandEditor, SelectorsAndSwitches) {
  CommandEditor e;
  e.show({0x50400001u, 3, 100});
  EXPECT_EQ(e.group, 2);
  EXPECT_EQ(e.option, 1);
  EXPECT_TRUE(e.switch1);
  EXPECT_TRUE(e.switch2);
  EXPECT_EQ(e.type1, OperandType::GPR);
  EXPECT_EQ(e.type2, OperandType::Imm);
  EXPECT_EQ(e.number1, 3u);
  e.selectGroup(1);
  EXPECT_EQ(e.cmd.opcode, 0x48400000u);
  e.show({0x50400001u, 3, 100});
  e.setSwitch1(false);
  EXPECT_FALSE(e.switch2);
  EXPECT_EQ(e.cmd.opcode, 0x10400001u);
  e.show({0x10000000u, 0, 0});
  e.selectOption(3);  // Add: two operands
  EXPECT_EQ(e.cmd.opcode, 0x50000003u);
  EXPECT_TRUE(e.switch1 && e.switch2);
  e.selectOption(0);
  EXPECT_EQ(e.cmd.opcode, 0x10000000u);
  e.show({0x21810000u, 1, 0});
  e.selectSubGroup(2);  // Play: option cleared, flags kept
  EXPECT_EQ(e.cmd.opcode, 0x22800000u);
  e.selectOption(1);  // Play PL_PI
  EXPECT_EQ(e.cmd.opcode, 0x42810000u);
  e.setSwitch2(false);
  EXPECT_EQ(e.cmd.opcode, 0x22810000u);
  e.show({0x00000000u, 0, 0});
  e.setSwitch2(true);
  EXPECT_TRUE(e.switch1);
  EXPECT_EQ(e.cmd.opcode, 0x40000000u);
}

TEST(CommandEditor, OperandTypesNumbersAndHexFields) {
  CommandEditor e;
  e.show({0x48400300u, 0x80000004u, 2});
  EXPECT_EQ(e.type1, OperandType::PSR);
  EXPECT_EQ(e.number1, 4u);
  EXPECT_EQ(e.hint, "PSR4: Title Number (b15-b0) {1-999,$ffff}");
  e.show({0x50000001u, 0x80000029u, 0x80000002u});  // operand 2's PSR hint wins; 41 has none
  EXPECT_EQ(e.hint, "PSR2: PG and PiP PG TextST Stream Number (b31: disp_s, b30: PIP_PG_textST_valid, b27-b16: "
                    "PiP PG TextST, b11-b0: PG TextST) {0-255,$fff}");
  e.show({0x50000001u, 0x80000029u, 5});
  EXPECT_EQ(e.hint, "Navigation commands");
  e.show({0x50000001u, 7, 5});
  e.setDstType(OperandType::PSR);
  EXPECT_EQ(e.cmd.dst, 0x80000007u);
  e.enterDst(4);
  EXPECT_EQ(e.cmd.dst, 0x80000004u);
  e.setSrcType(OperandType::Imm);
  EXPECT_EQ(e.cmd.opcode, 0x50400001u);
  e.enterSrc(0x1FFFFFFFFull);  // ten digits: the low 32 bits
  EXPECT_EQ(e.cmd.src, 0xFFFFFFFFu);
  e.setSrcType(OperandType::GPR);
  EXPECT_EQ(e.cmd.opcode, 0x50000001u);
  EXPECT_EQ(e.cmd.src, 0x7FFFFFFFu);
  // SetStream keeps bit 31 as an apply flag: PSR falls back to GPR.
  e.show({0x51C00001u, 0x80058003u, 0});
  e.setDstType(OperandType::PSR);
  EXPECT_EQ(e.type1, OperandType::GPR);
  EXPECT_EQ(e.cmd.opcode, 0x51400001u);
  EXPECT_EQ(e.cmd.dst, 0x80058003u);
  e.enterOpcodeHex(0);
  EXPECT_EQ(e.cmd, kNopCommand);
  // Button table cells: read once no space is left, non-digits skipped.
  EXPECT_FALSE(parseHexCell("2081 000"));
  EXPECT_EQ(parseHexCell("20810000"), 0x20810000u);
  EXPECT_EQ(parseHexCell("2G81XX00"), 0x28100u);
  e.enterDstHex(0x12345678u);
  e.enterOpcodeHex(0x20810000u);
  EXPECT_EQ(e.cmd, (Command{0x20810000u, 0x12345678u, 0}));
}

TEST(CommandFollow, TargetsOfADoubleClick) {
  CommandList p = {gotoI(4), {0x21810000u, 12, 0}, {0x21810000u, 1000, 0}, {0x42C10000u, 12, 3},
                 movI(2, 77), {0x22000000u, 2, 0}, {0x22000000u, 3, 0}, {0x51C00003u, 0x80000005u, 0x00000002u}};
  EXPECT_EQ(followCommand(p, 0).kind, FollowTarget::Line);
  EXPECT_EQ(followCommand(p, 0).number, 4u);
  EXPECT_EQ(followCommand(p, 1).kind, FollowTarget::Title);
  EXPECT_EQ(followCommand(p, 2).kind, FollowTarget::None);
  auto t = followCommand(p, 3);
  EXPECT_EQ(t.kind, FollowTarget::PlayList);
  EXPECT_EQ(t.playlistName(), "00012");
  EXPECT_EQ(t.playItem, 3u);
  t = followCommand(p, 5);
  EXPECT_EQ(t.kind, FollowTarget::PlayList);
  EXPECT_EQ(t.playlistName(), "00077");
  EXPECT_EQ(followCommand(p, 6).kind, FollowTarget::None);
  t = followCommand(p, 7);
  EXPECT_EQ(t.kind, FollowTarget::Menu);
  EXPECT_EQ(t.button, 5u);
  EXPECT_FALSE(t.page);  // page not applied
  EXPECT_EQ(followCommand(p, 99).kind, FollowTarget::None);
}

TEST(ProgramExport, ListAndBinary) {
  const std::string list = programList({gotoI(5)});
  const std::string rule = ";------------------------------------------------------------\r\n";
  EXPECT_EQ(list, rule + ";\r\n;             MovieObject program list by Morvex\r\n;\r\n" + rule +
                      "0000  [20810000,00000005 ,00000000]  GoTo 5\r\n");
  EXPECT_EQ(rule.size(), 63u);
  const auto bin = programBinary({gotoI(5), {0x50400001u, 0x80000010u, 0x00656E67u}});
  ASSERT_EQ(bin.size(), 24u);
  EXPECT_EQ(bin[0], 0x20);
  EXPECT_EQ(bin[1], 0x81);
  EXPECT_EQ(bin[7], 0x05);
  EXPECT_EQ(bin[12], 0x50);
  EXPECT_EQ(bin[16], 0x80);
  EXPECT_EQ(bin[23], 0x67);
  EXPECT_TRUE(programBinary({}).empty());
  EXPECT_EQ(programFileName(7, ProgramFormat::List), "program_007.lst");
  EXPECT_EQ(programFileName(1234, ProgramFormat::Binary), "program_1234.bin");
}

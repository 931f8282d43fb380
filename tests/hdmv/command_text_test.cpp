// The five cells of a command row: plain forms, packed operands, marks, verdicts and
// the PSR comment.
#include <gtest/gtest.h>

#include "hdmv/command_text.h"

using namespace morvex::hdmv;

namespace {
std::string line(uint32_t op, uint32_t dst, uint32_t src, CmdContext ctx = CmdContext::MovieObject) {
  return comm2str({op, dst, src}, 0, ctx).cells[4];
}
const std::string kSeven = "       ";
}  // namespace

TEST(CommandText, CellsAndOperandMarkers) {
  auto row = comm2str({0x20810000u, 5, 0}, 0, CmdContext::MovieObject);
  EXPECT_EQ(row.cells[0], "0000");
  EXPECT_EQ(row.cells[1], "20810000");
  EXPECT_EQ(row.cells[2], "00000005 ");
  EXPECT_EQ(row.cells[3], "00000000");
  EXPECT_EQ(row.cells[4], "GoTo 5");
  EXPECT_EQ(row.style, RowStyle::Normal);
  row = comm2str({0x50400001u, 3, 100}, 12345, CmdContext::MovieObject);
  EXPECT_EQ(row.cells[0], "12345");
  EXPECT_EQ(row.cells[2], "00000003 ");
  EXPECT_EQ(row.cells[3], "00000064 ");
  EXPECT_EQ(row.cells[4], "Move GPR3, 100");
  EXPECT_EQ(comm2str({0, 0xABCDEF01u, 0}, 12, CmdContext::MovieObject).cells[0], "0012");
  EXPECT_EQ(comm2str({0, 0xABCDEF01u, 0}, 12, CmdContext::MovieObject).cells[2], "ABCDEF01");
}

TEST(CommandText, PlainOperandsPrintUnsigned) {
  EXPECT_EQ(line(0x50400001u, 0, 0xFFFFFFFFu), "Move GPR0, 4294967295");
  EXPECT_EQ(line(0x48000200u, 0x80000001u, 0x00000FFFu), "EQ PSR1, GPR4095" + kSeven +
                                                               ";PSR1: Primary Audio Stream Number (b7-b0) {1-32,$ff}");
  EXPECT_EQ(line(0x21810000u, 3, 0), "Jump Title 3");
  EXPECT_EQ(line(0x42C10000u, 12, 0), "Play PL_PI 12, 0");
  EXPECT_EQ(line(0x01040000u, 7, 7), "Resume");
}

TEST(CommandText, MarksVerdictsAndStyles) {
  auto row = comm2str({0x20000000u, 0, 0}, 0, CmdContext::MovieObject);
  EXPECT_EQ(row.cells[4], "!NOP GPR0  ; Invalid opcode");
  EXPECT_EQ(row.style, RowStyle::Invalid);
  EXPECT_FALSE(row.beep);
  EXPECT_TRUE(comm2str({0x20000000u, 0, 0}, 0, CmdContext::Button).beep);
  row = comm2str({0x22000000u, 1, 0}, 0, CmdContext::Button);
  EXPECT_EQ(row.cells[4], "*Play PL GPR1  ; Forbidden opcode");
  EXPECT_EQ(row.style, RowStyle::Forbidden);
  EXPECT_FALSE(row.beep);
  EXPECT_EQ(line(0x22000000u, 1, 0), "Play PL GPR1");
  // An invalid command gets no PSR comment even when it names one.
  EXPECT_EQ(line(0x50800001u, 5, 0x80000004u), "!Move 5, PSR4  ; Invalid opcode");
  // The forbidden verdict comes before the PSR comment.
  EXPECT_EQ(line(0x31000004u, 0x8000000Au, 0), "*EnableButton PSR10  ; Forbidden opcode" + kSeven +
                                                     ";PSR10: Selected Button id (b15-b0) {0-$1fdf,$ffff}");
}

TEST(CommandText, PsrComment) {
  EXPECT_EQ(line(0x48400300u, 0x80000004u, 2), "NE PSR4, 2" + kSeven + ";PSR4: Title Number (b15-b0) {1-999,$ffff}");
  // Operand 2 wins over operand 1.
  EXPECT_EQ(line(0x48000200u, 0x80000004u, 0x80000006u),
            "EQ PSR4, PSR6" + kSeven + ";PSR6: PlayList id (b15-b0) {0-1999}");
  EXPECT_EQ(line(0x50000001u, 0x80000000u | 60, 1), "Move PSR60, GPR1");
  EXPECT_EQ(line(0x50000001u, 0x80000000u | 44, 1), "Move PSR44, GPR1" + kSeven + ";PSR44: Back-up Register for PSR12");
  EXPECT_EQ(line(0x50000001u, 0x80000000u | 21, 1), "Move PSR21, GPR1" + kSeven + ";PSR21: reserved");
  // Language letters from operand 2 when operand 1 is a PSR.
  EXPECT_EQ(line(0x50400001u, 0x80000010u, 0x00656E67u),
            "Move PSR16, 6647399" + kSeven + ";PSR16: Language Code for Audio (b23-b0)  [eng]");
  // Country code: no letter from a zero byte 23-16.
  EXPECT_EQ(line(0x48400200u, 0x80000013u, 0x00005553u),
            "EQ PSR19, 21843" + kSeven + ";PSR19: Country Code (b15-b0)  [US]");
  // PSR in operand 2 only: letters come from operand 1's word.
  EXPECT_EQ(line(0x50000001u, 0x00667261u, 0x80000012u),
            "Move GPR609, PSR18" + kSeven + ";PSR18: Language Code for Menu (b23-b0)  [fra]");
}

TEST(CommandText, PackedSetStreamForms) {
  EXPECT_EQ(line(0x51000001u, 0x80020005u, 0x00008001u), "SetStream GPR2, (GPR5), (GPR0), GPR1");
  EXPECT_EQ(line(0x51C00001u, 0x80058003u, 0x00038002u), "SetStream 5, 3, (3), 2");
  EXPECT_EQ(line(0x51800001u, 0x00058003u, 0x80038002u), "SetStream (5), 3, GPR3, GPR2");
  EXPECT_EQ(line(0x51400001u, 0x80030004u, 0x00048005u), "SetStream GPR3, (GPR4), (4), 5");
  // A PSR-looking plain operand of a special form never gives a comment.
  EXPECT_EQ(line(0x51000001u, 0x80000004u, 0x80000004u), "SetStream GPR0, (GPR4), GPR0, (GPR4)");
  // Extra bits make the word plain (and invalid).
  EXPECT_EQ(line(0x51000101u, 0x80000004u, 5), "!SetStream PSR4, GPR5  ; Invalid opcode");
}

TEST(CommandText, PackedButtonPageAndSecondaryStream) {
  EXPECT_EQ(line(0x51C00003u, 0x80000002u, 0x00000001u), "SetButtonPage 2, (1)");
  EXPECT_EQ(line(0x51000003u, 0x00000000u, 0x80000123u), "SetButtonPage (GPR0), GPR291");
  EXPECT_EQ(line(0x51800003u, 0x0000FFFFu, 0x80000007u), "SetButtonPage (65535), GPR7");
  EXPECT_EQ(line(0x51400003u, 0x80000009u, 0x800001FFu), "SetButtonPage GPR9, 255");
  EXPECT_EQ(line(0x51C00006u, 0x800F80FFu, 0x00FF0FFFu), "SetSecondaryStream 15, 255, (255), (4095)");
  EXPECT_EQ(line(0x51000006u, 0x000A0010u, 0x80208030u), "SetSecondaryStream (10), (GPR16), GPR32, GPR48");
}

TEST(CommandText, CellSplitAndPaint) {
  auto p = splitCommandCell("NE PSR4, 2       ;PSR4: Title");
  EXPECT_EQ(p.text, "NE PSR4, 2       ");
  EXPECT_EQ(p.comment, ";PSR4: Title");
  p = splitCommandCell("  GoTo 5 ");
  EXPECT_EQ(p.text, "GoTo 5");
  EXPECT_TRUE(p.comment.empty());
  auto row = comm2str({0x20810000u, 5, 0}, 0, CmdContext::MovieObject);
  EXPECT_EQ(cellPaint(row, 1).colour, CellColour::Blue);
  EXPECT_EQ(cellPaint(row, 2).colour, CellColour::Blue);
  EXPECT_EQ(cellPaint(row, 3).colour, CellColour::Grey);
  EXPECT_EQ(cellPaint(row, 4).colour, CellColour::Normal);
  row = comm2str({0x22000000u, 1, 0}, 0, CmdContext::Button);
  EXPECT_EQ(cellPaint(row, 0).colour, CellColour::Orange);
  EXPECT_TRUE(cellPaint(row, 4).bold);
  EXPECT_FALSE(cellPaint(row, 3).bold);
  row = comm2str({0x20000000u, 0, 0}, 0, CmdContext::Button);
  EXPECT_EQ(cellPaint(row, 2).colour, CellColour::Red);
}

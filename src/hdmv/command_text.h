#pragma once
// The text of a command row: line number, the three words in hexadecimal and an
// assembler-like command line with validity mark, verdict and PSR comment.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "hdmv/command.h"

namespace morvex::hdmv {

enum class RowStyle : uint8_t { Normal, Invalid, Forbidden };

struct CommandRow {
  // 0 line number, 1 opcode, 2 destination (+ " " when operand 1 is in use),
  // 3 source (+ " " when operand 2 is in use), 4 command line.
  std::array<std::string, 5> cells;
  RowStyle style = RowStyle::Normal;
  // Rendering an invalid command of a button program sounds a short tone
  // (2000 Hz for 40 ms); the front end may play it.
  bool beep = false;
};

inline constexpr int kBeepHz = 2000;
inline constexpr int kBeepMs = 40;

// Header texts and column widths of a command table.
inline constexpr std::array<std::string_view, 5> kCommandHeader = {"No.", "Opcode", "Destinat.", "Source",
                                                                   "Command line"};
inline constexpr std::array<int, 5> kObjectCommandWidths = {28, 54, 54, 52, 205};
inline constexpr std::array<int, 5> kButtonCommandWidths = {28, 54, 54, 52, 160};

// Renders command number r (row r+1 of its table) for the given context.
CommandRow comm2str(const Command& cmd, int r, CmdContext context);

// Painting: a cell is split at its first ";". The text before it is drawn as is (the
// whole text trimmed when there is no ";"); the rest is a green italic comment.
struct CellParts {
  std::string text;
  std::string comment;
};
CellParts splitCommandCell(std::string_view cell);

// Colours of an unselected row's cells.
enum class CellColour : uint8_t { Normal, Blue, Grey, Red, Orange };
struct CellPaint {
  CellColour colour = CellColour::Normal;
  bool bold = false;
};
CellPaint cellPaint(const CommandRow& row, int column);

// RGB of the orange and grey used above (red and blue are the usual ones).
inline constexpr uint8_t kOrangeRgb[3] = {255, 170, 0};
inline constexpr uint8_t kGreyRgb[3] = {160, 160, 164};

// "0012": a number left-padded with zeros to at least 4 digits.
std::string lineNumberText(int r);
std::string hexWord(uint32_t v);

}  // namespace morvex::hdmv

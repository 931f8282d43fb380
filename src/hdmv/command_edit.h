#pragma once
// Editing a program: inserting, deleting, copying and pasting commands with GoTo
// renumbering, the command editor's field actions on the three words, following a
// command to what it names, and the program list export.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/binary.h"
#include "hdmv/command.h"

namespace morvex::hdmv {

// A program holds at most this many commands; an insertion beyond it does nothing.
inline constexpr size_t kMaxCommands = 9999;

inline constexpr Command kNopCommand{0, 0, 0};

// Renumbers the immediate GoTo targets (operation word exactly 0x20810000) after
// commands were inserted or deleted: every target greater than `after` (all of them
// when `after` is -1) moves by `delta`. A target that would fall below line 0 (the
// deleted range held it and started near the top) becomes line 0, and one that would
// pass the largest 32-bit value stays there, rather than wrapping around. Returns the
// lines whose command changed.
std::vector<int> updateGotos(CommandList& program, int64_t after, int64_t delta);

// What an edit did, for the caller's table, selection and stored lengths.
struct EditOutcome {
  bool changed = false;
  int inserted = 0;          // commands added
  int deleted = 0;           // commands removed
  int selectFirst = 0;       // lines to select afterwards (whole rows)
  int selectLast = 0;
  std::vector<int> gotoLines;  // GoTo commands renumbered (their rows need rendering)
  std::string status;          // status panel text, when there is one
};

// Inserts Q after line b (the last selected line; -1 or an empty program: at line 0)
// and renumbers the GoTos. Nothing happens when the program would exceed 9999
// commands or Q is empty. The first inserted command is selected.
EditOutcome insertCommands(CommandList& program, int b, const CommandList& q);

// Deletes lines a to b and renumbers the GoTos; selects the line before the range
// (line 0 when the range started there).
EditOutcome deleteCommands(CommandList& program, int a, int b);

// The commands from line a to line b, in order.
CommandList copyCommands(const CommandList& program, int a, int b);

// The keys of a command table.
enum class CmdKey : uint8_t {
  Insert,     // Ins, "+" button: one NOP after the selection
  Paste,      // Ctrl+V: the clipboard after the selection
  Copy,       // Ctrl+C
  Cut,        // Ctrl+X: copy, then delete
  Delete,     // Shift+Del, "-" button
  Nop,        // Shift+N: the command becomes NOP, the selection moves down
  SelectAll,  // Ctrl+A
};

inline constexpr const char* kNothingToInsert = "Nothing to insert.";
inline constexpr const char* kCommandsCopied = "Command(s) copied";

// Applies a key to the program with lines first..last selected. `clipboard` is the
// list shared by every command table (cmdClipboard).
EditOutcome applyCmdKey(CommandList& program, int first, int last, CmdKey key, CommandList& clipboard);

// The command editor of the movie-object page: selectors for group, sub-group and
// option, two operand switches with a type (GPR, PSR, immediate) and a number each,
// and three hexadecimal word fields. Each action changes the command; the caller
// stores it, renders its row and shows it again (show()).
enum class OperandType : uint8_t { GPR, PSR, Imm };

class CommandEditor {
public:
  // Shows a command: selectors, switches, types, numbers and the table hint.
  void show(const Command& cmd);

  Command cmd;
  int group = 0;
  int subGroup = 0;
  int option = 0;
  bool switch1 = false;
  bool switch2 = false;
  OperandType type1 = OperandType::GPR;
  OperandType type2 = OperandType::GPR;
  uint32_t number1 = 0;  // the number field: a register number or the operand word
  uint32_t number2 = 0;
  std::string hint = "Navigation commands";

  void selectGroup(int g);
  void selectSubGroup(int s);
  void selectOption(int o);
  void setSwitch1(bool on);
  void setSwitch2(bool on);
  void setDstType(OperandType t);
  void setSrcType(OperandType t);
  // The number fields hold up to 10 digits; the low 32 bits are stored.
  void enterDst(uint64_t number);
  void enterSrc(uint64_t number);
  void enterOpcodeHex(uint32_t value);
  void enterDstHex(uint32_t value);
  void enterSrcHex(uint32_t value);

private:
  void operandCountFromSwitches();
};

// In-place editing of a word cell of a button's command table (8 characters, upper
// case): once the text holds no space it is read as hexadecimal, characters that are
// not hexadecimal digits being skipped. Nothing while a space remains.
std::optional<uint32_t> parseHexCell(std::string_view text);

// Where a double-click on a command leads.
struct FollowTarget {
  enum Kind : uint8_t { None, Line, Title, PlayList, Menu } kind = None;
  uint32_t number = 0;                 // line, title number or playlist number
  std::optional<uint32_t> playItem;    // Play PL_PI with an immediate PlayItem
  std::optional<uint32_t> page;        // SetButtonPage with an applied immediate page
  std::optional<uint32_t> button;      // SetButtonPage with an applied immediate button
  std::string playlistName() const;    // five digits: "00012"
};
FollowTarget followCommand(const CommandList& program, int line);

// Program list export of a movie object.
enum class ProgramFormat : uint8_t { List, Binary };
// Text lines ending in CR LF: a five-line header, then per command its table texts.
std::string programList(const CommandList& program);
// The three words of each command, big-endian, nothing else.
core::Bytes programBinary(const CommandList& program);
// "program_007.lst" or "program_007.bin".
std::string programFileName(int objectNumber, ProgramFormat format);

}  // namespace morvex::hdmv

#pragma once
// One HDMV navigation command: three 32-bit words as stored on disc (12 bytes,
// big-endian): the operation word, the destination operand and the source operand.
// A program (of a movie object or a button) is a list of commands indexed from 0.
//
// The operation word splits into these fields (bit 31 most significant):
//   31-29 operand count (0, 1 or 2 in valid commands)
//   28-27 group: 0 Branch, 1 Compare, 2 Set (3 has no name)
//   26-24 sub-group
//   23    operand 1 is an immediate value (else it names a register)
//   22    operand 2 is an immediate value
//   19-16 the operation of a Branch, 11-8 of a Compare, 4-0 of a Set
// A register operand names PSR (bits 6-0) when its bit 31 is set, else GPR (bits 11-0).
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morvex::hdmv {

struct Command {
  uint32_t opcode = 0;
  uint32_t dst = 0;
  uint32_t src = 0;
  bool operator==(const Command&) const = default;
};

using CommandList = std::vector<Command>;

// Which program a command belongs to decides which words are forbidden in it: the
// movie-object table (BDMV page) or a button's table (every other page).
enum class CmdContext : uint8_t { MovieObject, Button };

struct DecodedOpcode {
  int operandCount = 0;  // bits 31-29, 0..7
  int group = 0;         // bits 28-27
  int subGroup = 0;      // bits 26-24
  int operation = 0;     // by group: 19-16, 11-8, 4-0; group 3 always 0
  bool imm1 = false;     // bit 23
  bool imm2 = false;     // bit 22
  bool operator==(const DecodedOpcode&) const = default;
};

DecodedOpcode decode(uint32_t opcode);

struct RegRef {
  bool psr = false;     // true: PSR, false: GPR
  uint32_t number = 0;  // 0..127 or 0..4095
  bool operator==(const RegRef&) const = default;
};

// The register an operand word names when its immediate flag is clear.
RegRef registerRef(uint32_t operand);

// Bit helpers shared by text, editor and interpreter.
inline int operandCountOf(uint32_t opcode) { return static_cast<int>(opcode >> 29); }
inline bool imm1Of(uint32_t opcode) { return (opcode & 0x00800000u) != 0; }
inline bool imm2Of(uint32_t opcode) { return (opcode & 0x00400000u) != 0; }

// Static name tables. Empty text for an unnamed slot; out-of-range indexes are unnamed.
std::string_view commandName(int group, int subGroup, int operation);
std::string_view subGroupName(int group, int subGroup);
int opCount(int group, int subGroup, int operation);

// The items of the editor's selectors: from index 0 up to the first empty entry.
std::vector<std::string> groupNames();
std::vector<std::string> subGroupNames(int group);
std::vector<std::string> commandNames(int group, int subGroup);

// The 122 accepted operation words; a command is valid only when its whole word is
// one of them.
const std::array<uint32_t, 122>& validOpcodes();
bool isValid(uint32_t opcode);

// Words that are valid but not allowed in a movie-object program or a button program.
const std::array<uint32_t, 12>& forbiddenInObjects();
const std::array<uint32_t, 10>& forbiddenInButtons();
bool isForbidden(uint32_t opcode, CmdContext context);

// The operation words whose operands pack several values with apply flags.
inline constexpr uint32_t kSetStream = 0x51000001u;
inline constexpr uint32_t kSetButtonPage = 0x51000003u;
inline constexpr uint32_t kSetSecondaryStream = 0x51000006u;
inline constexpr uint32_t kGoToImmediate = 0x20810000u;

}  // namespace morvex::hdmv

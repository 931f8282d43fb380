#pragma once
// One HDMV navigation command: three 32-bit words as stored on disc (12 bytes,
// big-endian): the operation word, the destination operand and the source operand.
// A program (of a movie object or a button) is a list of commands indexed from 0.
#include <cstdint>
#include <vector>

namespace morvex::hdmv {

struct TCommand {
  uint32_t opcode = 0;
  uint32_t dst = 0;
  uint32_t src = 0;
  bool operator==(const TCommand&) const = default;
};

using TCommands = std::vector<TCommand>;

}  // namespace morvex::hdmv

#include "hdmv/command.h"

#include <algorithm>

namespace morvex::hdmv {

namespace {

struct OpEntry {
  std::string_view name;
  int operands = 0;
};

// Room for 4 groups x 8 sub-groups x 32 operations. Entry 0 of the Compare and Set
// sub-groups is a placeholder so that an operation's index equals its option value.
struct OpTable {
  OpEntry e[4][8][32];
  OpTable() {
    auto put = [this](int g, int s, int o, std::string_view n, int c) { e[g][s][o] = {n, c}; };
    put(0, 0, 0, "NOP", 0);
    put(0, 0, 1, "GoTo", 1);
    put(0, 0, 2, "Break", 0);
    put(0, 1, 0, "Jump Object", 1);
    put(0, 1, 1, "Jump Title", 1);
    put(0, 1, 2, "Call Object", 1);
    put(0, 1, 3, "Call Title", 1);
    put(0, 1, 4, "Resume", 0);
    put(0, 2, 0, "Play PL", 1);
    put(0, 2, 1, "Play PL_PI", 2);
    put(0, 2, 2, "Play PL_MK", 2);
    put(0, 2, 3, "Terminate PL", 0);
    put(0, 2, 4, "Link PI", 1);
    put(0, 2, 5, "Link MK", 1);
    put(1, 0, 0, "--", 0);
    static constexpr std::string_view cmp[] = {"BC", "EQ", "NE", "GE", "GT", "LE", "LT"};
    for (int i = 0; i < 7; ++i) put(1, 0, i + 1, cmp[i], 2);
    put(2, 0, 0, "---", 0);
    static constexpr std::string_view set[] = {"Move", "Swap",    "Add",       "Sub",        "Mul",
                                               "Div",  "Mod",     "Rnd",       "And",        "Or",
                                               "Xor",  "Bit Set", "Bit Clear", "Shift Left", "Shift Right"};
    for (int i = 0; i < 15; ++i) put(2, 0, i + 1, set[i], 2);
    put(2, 1, 0, "---", 0);
    put(2, 1, 1, "SetStream", 2);
    put(2, 1, 2, "SetNVTimer", 2);
    put(2, 1, 3, "SetButtonPage", 2);
    put(2, 1, 4, "EnableButton", 1);
    put(2, 1, 5, "DisableButton", 1);
    put(2, 1, 6, "SetSecondaryStream", 2);
    put(2, 1, 7, "PopUpMenu Off", 0);
    put(2, 1, 8, "Still On", 0);
    put(2, 1, 9, "Still Off", 0);
  }
};

const OpTable& table() {
  static const OpTable t;
  return t;
}

constexpr std::string_view kGroups[4] = {"Branch", "Compare", "Set", ""};
constexpr std::string_view kSubGroups[4][8] = {
    {"GoTo", "Jump", "Play"}, {"-"}, {"Set", "SetSystem"}, {}};

std::array<uint32_t, 122> buildValid() {
  std::array<uint32_t, 122> v{};
  size_t n = 0;
  auto add = [&](uint32_t w) { v.at(n++) = w; };
  for (uint32_t w : {0x00000000u, 0x20010000u, 0x20810000u, 0x00020000u, 0x21000000u, 0x21800000u,
                     0x21010000u, 0x21810000u, 0x21020000u, 0x21820000u, 0x21030000u, 0x21830000u,
                     0x01040000u, 0x22000000u, 0x22800000u, 0x42010000u, 0x42810000u, 0x42410000u,
                     0x42C10000u, 0x42020000u, 0x42820000u, 0x42420000u, 0x42C20000u, 0x02030000u,
                     0x22040000u, 0x22840000u, 0x22050000u, 0x22850000u})
    add(w);
  for (uint32_t base : {0x08000000u, 0x48000000u, 0x48C00000u, 0x48400000u})
    for (uint32_t op = 1; op <= 7; ++op) add(base | (op << 8));
  for (uint32_t op = 1; op <= 5; ++op) add(0x10000000u | op);
  for (uint32_t base : {0x50000000u, 0x50400000u})
    for (uint32_t op = 1; op <= 15; ++op) add(base | op);
  for (uint32_t op : {1u, 2u, 3u, 6u})
    for (uint32_t flags : {0x00000000u, 0x00800000u, 0x00400000u, 0x00C00000u}) add(0x51000000u | flags | op);
  for (uint32_t w : {0x31000004u, 0x31800004u, 0x31000005u, 0x31800005u}) add(w);
  for (uint32_t op = 1; op <= 9; ++op) add(0x11000000u | op);
  add(0x31000010u);
  add(0x31000011u);
  std::sort(v.begin(), v.end());
  return v;
}

constexpr std::array<uint32_t, 12> kForbiddenObjects = {
    0x02030000u, 0x22040000u, 0x22840000u, 0x22050000u, 0x22850000u, 0x31000004u,
    0x31800004u, 0x31000005u, 0x31800005u, 0x11000007u, 0x11000008u, 0x11000009u};
constexpr std::array<uint32_t, 10> kForbiddenButtons = {
    0x22000000u, 0x22800000u, 0x42010000u, 0x42810000u, 0x42410000u,
    0x42C10000u, 0x42020000u, 0x42820000u, 0x42420000u, 0x42C20000u};

bool inRange(int g, int s, int o) { return g >= 0 && g < 4 && s >= 0 && s < 8 && o >= 0 && o < 32; }

}  // namespace

DecodedOpcode decode(uint32_t opcode) {
  DecodedOpcode d;
  d.operandCount = static_cast<int>(opcode >> 29);
  d.group = static_cast<int>((opcode >> 27) & 3);
  d.subGroup = static_cast<int>((opcode >> 24) & 7);
  d.imm1 = (opcode & 0x00800000u) != 0;
  d.imm2 = (opcode & 0x00400000u) != 0;
  switch (d.group) {
    case 0: d.operation = static_cast<int>((opcode >> 16) & 0xF); break;
    case 1: d.operation = static_cast<int>((opcode >> 8) & 0xF); break;
    case 2: d.operation = static_cast<int>(opcode & 0x1F); break;
    default: d.operation = 0; break;
  }
  return d;
}

RegRef registerRef(uint32_t operand) {
  if (operand & 0x80000000u) return {true, operand & 0x7Fu};
  return {false, operand & 0xFFFu};
}

std::string_view commandName(int group, int subGroup, int operation) {
  return inRange(group, subGroup, operation) ? table().e[group][subGroup][operation].name : std::string_view{};
}

std::string_view subGroupName(int group, int subGroup) {
  return group >= 0 && group < 4 && subGroup >= 0 && subGroup < 8 ? kSubGroups[group][subGroup] : std::string_view{};
}

int opCount(int group, int subGroup, int operation) {
  return inRange(group, subGroup, operation) ? table().e[group][subGroup][operation].operands : 0;
}

std::vector<std::string> groupNames() {
  std::vector<std::string> v;
  for (int g = 0; g < 4 && !kGroups[g].empty(); ++g) v.emplace_back(kGroups[g]);
  return v;
}

std::vector<std::string> subGroupNames(int group) {
  std::vector<std::string> v;
  for (int s = 0; s < 8 && !subGroupName(group, s).empty(); ++s) v.emplace_back(subGroupName(group, s));
  return v;
}

std::vector<std::string> commandNames(int group, int subGroup) {
  std::vector<std::string> v;
  for (int o = 0; o < 32 && !commandName(group, subGroup, o).empty(); ++o) v.emplace_back(commandName(group, subGroup, o));
  return v;
}

const std::array<uint32_t, 122>& validOpcodes() {
  static const std::array<uint32_t, 122> v = buildValid();
  return v;
}

bool isValid(uint32_t opcode) {
  const auto& v = validOpcodes();
  return std::binary_search(v.begin(), v.end(), opcode);
}

const std::array<uint32_t, 12>& forbiddenInObjects() { return kForbiddenObjects; }
const std::array<uint32_t, 10>& forbiddenInButtons() { return kForbiddenButtons; }

bool isForbidden(uint32_t opcode, CmdContext context) {
  if (context == CmdContext::MovieObject)
    return std::find(kForbiddenObjects.begin(), kForbiddenObjects.end(), opcode) != kForbiddenObjects.end();
  return std::find(kForbiddenButtons.begin(), kForbiddenButtons.end(), opcode) != kForbiddenButtons.end();
}

}  // namespace morvex::hdmv

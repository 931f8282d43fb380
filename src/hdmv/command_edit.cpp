#include "hdmv/command_edit.h"

#include <algorithm>
#include <cstdio>

#include "core/text.h"
#include "hdmv/command_text.h"
#include "hdmv/registers.h"

namespace morvex::hdmv {

std::vector<int> updateGotos(CommandList& program, int64_t after, int64_t delta) {
  std::vector<int> changed;
  for (size_t i = 0; i < program.size(); ++i) {
    Command& c = program[i];
    if (c.opcode != kGoToImmediate) continue;
    const int64_t target = c.dst;
    if (after >= 0 && target <= after) continue;
    const int64_t moved = std::clamp<int64_t>(target + delta, 0, 0xFFFFFFFFll);
    if (moved == target) continue;
    c.dst = static_cast<uint32_t>(moved);
    changed.push_back(static_cast<int>(i));
  }
  return changed;
}

EditOutcome insertCommands(CommandList& program, int b, const CommandList& q) {
  EditOutcome out;
  if (q.empty() || program.size() + q.size() > kMaxCommands) return out;
  const int size = static_cast<int>(program.size());
  const int pos = size == 0 ? 0 : std::clamp(b, -1, size - 1) + 1;
  program.insert(program.begin() + pos, q.begin(), q.end());
  out.changed = true;
  out.inserted = static_cast<int>(q.size());
  out.gotoLines = updateGotos(program, pos - 1, static_cast<int64_t>(q.size()));
  out.selectFirst = out.selectLast = pos;
  return out;
}

EditOutcome deleteCommands(CommandList& program, int a, int b) {
  EditOutcome out;
  if (program.empty()) return out;
  const int last = static_cast<int>(program.size()) - 1;
  a = std::clamp(a, 0, last);
  b = std::clamp(b, 0, last);
  if (a > b) std::swap(a, b);
  program.erase(program.begin() + a, program.begin() + b + 1);
  out.changed = true;
  out.deleted = b - a + 1;
  if (!program.empty()) out.gotoLines = updateGotos(program, a - 1, -static_cast<int64_t>(out.deleted));
  out.selectFirst = out.selectLast = a > 0 ? a - 1 : 0;
  return out;
}

CommandList copyCommands(const CommandList& program, int a, int b) {
  if (program.empty()) return {};
  const int last = static_cast<int>(program.size()) - 1;
  a = std::clamp(a, 0, last);
  b = std::clamp(b, 0, last);
  if (a > b) std::swap(a, b);
  return CommandList(program.begin() + a, program.begin() + b + 1);
}

EditOutcome applyCmdKey(CommandList& program, int first, int last, CmdKey key, CommandList& clipboard) {
  EditOutcome out;
  out.selectFirst = first;
  out.selectLast = last;
  switch (key) {
    case CmdKey::Insert:
      return insertCommands(program, last, {kNopCommand});
    case CmdKey::Paste:
      if (clipboard.empty()) {
        out.status = kNothingToInsert;
        return out;
      }
      return insertCommands(program, last, clipboard);
    case CmdKey::Copy:
      if (!program.empty()) {
        clipboard = copyCommands(program, first, last);
        out.status = kCommandsCopied;
      }
      return out;
    case CmdKey::Cut: {
      if (program.empty()) return out;
      clipboard = copyCommands(program, first, last);
      EditOutcome del = deleteCommands(program, first, last);
      del.status = kCommandsCopied;
      return del;
    }
    case CmdKey::Delete:
      return deleteCommands(program, first, last);
    case CmdKey::Nop: {
      if (program.empty()) return out;
      const int line = std::clamp(first, 0, static_cast<int>(program.size()) - 1);
      program[line] = kNopCommand;
      out.changed = true;
      const int next = line + 1 < static_cast<int>(program.size()) ? line + 1 : line;
      out.selectFirst = out.selectLast = next;
      return out;
    }
    case CmdKey::SelectAll:
      out.selectFirst = 0;
      out.selectLast = program.empty() ? 0 : static_cast<int>(program.size()) - 1;
      return out;
  }
  return out;
}

namespace {

// SetStream and SetSecondaryStream use bit 31 of their operands as an apply flag, so
// their register operands never name a PSR.
bool packedStream(uint32_t opcode) {
  const uint32_t base = opcode & ~0x00C00000u;
  return base == kSetStream || base == kSetSecondaryStream;
}

std::string psrHint(uint32_t n) { return "PSR" + std::to_string(n) + ": " + std::string(psrNames(static_cast<int>(n))); }

}  // namespace

void CommandEditor::show(const Command& c) {
  cmd = c;
  const DecodedOpcode d = decode(c.opcode);
  group = d.group;
  subGroup = d.subGroup;
  option = d.operation;
  switch1 = (c.opcode & 0x60000000u) != 0;
  switch2 = (c.opcode & 0x40000000u) != 0;
  number1 = c.dst;
  number2 = c.src;
  hint = "Navigation commands";
  auto operand = [&](bool imm, uint32_t word, OperandType& type, uint32_t& number) {
    if (imm) {
      type = OperandType::Imm;
      return;
    }
    if (packedStream(c.opcode)) {
      type = OperandType::GPR;
      return;
    }
    const RegRef r = registerRef(word);
    type = r.psr ? OperandType::PSR : OperandType::GPR;
    number = r.number;
    if (r.psr && r.number <= 40) hint = psrHint(r.number);
  };
  operand(d.imm1, c.dst, type1, number1);
  operand(d.imm2, c.src, type2, number2);
}

void CommandEditor::selectGroup(int g) {
  cmd.opcode = (static_cast<uint32_t>(g & 3) << 27) + (cmd.opcode & 0xE7C00000u);
}

void CommandEditor::selectSubGroup(int s) {
  cmd.opcode = (static_cast<uint32_t>(s & 7) << 24) + (cmd.opcode & 0xF8C00000u);
}

void CommandEditor::selectOption(int o) {
  const int g = static_cast<int>((cmd.opcode >> 27) & 3);
  const int s = static_cast<int>((cmd.opcode >> 24) & 7);
  uint32_t placed = 0;
  if (g == 0) placed = static_cast<uint32_t>(o & 0xF) << 16;
  else if (g == 1) placed = static_cast<uint32_t>(o & 0xF) << 8;
  else if (g == 2) placed = static_cast<uint32_t>(o & 0x1F);
  cmd.opcode = placed + (cmd.opcode & 0xFFF00000u);
  const int count = opCount(g, s, o);
  switch1 = count >= 1;
  switch2 = count >= 2;
  operandCountFromSwitches();
}

void CommandEditor::operandCountFromSwitches() {
  const uint32_t count = (switch1 ? 1u : 0u) + (switch2 ? 1u : 0u);
  cmd.opcode = (cmd.opcode & 0x1FFFFFFFu) | (count << 29);
}

void CommandEditor::setSwitch1(bool on) {
  switch1 = on;
  if (!on) switch2 = false;
  operandCountFromSwitches();
}

void CommandEditor::setSwitch2(bool on) {
  switch2 = on;
  if (on) switch1 = true;
  operandCountFromSwitches();
}

void CommandEditor::setDstType(OperandType t) {
  cmd.opcode &= ~0x00800000u;
  if (t == OperandType::Imm) {
    cmd.opcode |= 0x00800000u;
  } else if (packedStream(cmd.opcode)) {
    t = OperandType::GPR;
  } else {
    cmd.dst = (cmd.dst & 0x7FFFFFFFu) | (t == OperandType::PSR ? 0x80000000u : 0u);
  }
  type1 = t;
}

void CommandEditor::setSrcType(OperandType t) {
  cmd.opcode &= ~0x00400000u;
  if (t == OperandType::Imm) {
    cmd.opcode |= 0x00400000u;
  } else if (packedStream(cmd.opcode)) {
    t = OperandType::GPR;
  } else {
    cmd.src = (cmd.src & 0x7FFFFFFFu) | (t == OperandType::PSR ? 0x80000000u : 0u);
  }
  type2 = t;
}

void CommandEditor::enterDst(uint64_t number) {
  cmd.dst = static_cast<uint32_t>(number);
  if (type1 == OperandType::PSR) cmd.dst -= 0x80000000u;
}

void CommandEditor::enterSrc(uint64_t number) {
  cmd.src = static_cast<uint32_t>(number);
  if (type2 == OperandType::PSR) cmd.src -= 0x80000000u;
}

void CommandEditor::enterOpcodeHex(uint32_t value) {
  cmd.opcode = value;
  if (value == 0) cmd = kNopCommand;
}

void CommandEditor::enterDstHex(uint32_t value) { cmd.dst = value; }
void CommandEditor::enterSrcHex(uint32_t value) { cmd.src = value; }

std::optional<uint32_t> parseHexCell(std::string_view text) {
  if (text.find(' ') != std::string_view::npos) return std::nullopt;
  return static_cast<uint32_t>(*core::parseHex(text, 8, core::HexInput::SkipOthers));
}

std::string FollowTarget::playlistName() const { return core::decimalText(number, 5); }

FollowTarget followCommand(const CommandList& program, int line) {
  FollowTarget t;
  if (line < 0 || line >= static_cast<int>(program.size())) return t;
  const Command& c = program[line];
  switch (c.opcode) {
    case 0x20810000u:
      t.kind = FollowTarget::Line;
      t.number = c.dst;
      break;
    case 0x21810000u:
    case 0x21830000u:
      if (c.dst > 0 && c.dst < 1000) {
        t.kind = FollowTarget::Title;
        t.number = c.dst;
      }
      break;
    case 0x42C10000u:
      t.playItem = c.src;
      [[fallthrough]];
    case 0x22800000u:
    case 0x42810000u:
    case 0x42820000u:
    case 0x42C20000u:
      t.kind = FollowTarget::PlayList;
      t.number = c.dst;
      break;
    case 0x22000000u:
      // Play PL GPRx right after Move GPRx, n plays playlist n.
      if (line > 0 && program[line - 1].opcode == 0x50400001u && program[line - 1].dst == c.dst) {
        t.kind = FollowTarget::PlayList;
        t.number = program[line - 1].src;
      }
      break;
    case 0x51400003u:
    case 0x51800003u:
    case 0x51C00003u:
      if (imm2Of(c.opcode) && (c.src & 0x80000000u)) t.page = c.src & 0xFF;
      if (imm1Of(c.opcode) && (c.dst & 0x80000000u)) t.button = c.dst & 0xFFFF;
      if (t.page || t.button) t.kind = FollowTarget::Menu;
      break;
    default:
      break;
  }
  return t;
}

std::string programList(const CommandList& program) {
  const std::string rule = ";" + std::string(60, '-') + "\r\n";
  std::string out = rule + ";\r\n" + ";             MovieObject program list by Morvex\r\n" + ";\r\n" + rule;
  for (size_t i = 0; i < program.size(); ++i) {
    const CommandRow row = comm2str(program[i], static_cast<int>(i), CmdContext::MovieObject);
    out += row.cells[0] + "  [" + row.cells[1] + "," + row.cells[2] + "," + row.cells[3] + "]  " + row.cells[4] +
           "\r\n";
  }
  return out;
}

core::Bytes programBinary(const CommandList& program) {
  core::ByteWriter w;
  for (const Command& c : program) {
    w.addU32(c.opcode);
    w.addU32(c.dst);
    w.addU32(c.src);
  }
  return w.take();
}

std::string programFileName(int objectNumber, ProgramFormat format) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "program_%03d", objectNumber);
  return std::string(buf) + (format == ProgramFormat::List ? ".lst" : ".bin");
}

}  // namespace morvex::hdmv

#include "hdmv/command_text.h"
#include "core/text.h"

#include <cstdio>

#include "hdmv/registers.h"

namespace morvex::hdmv {

namespace {

std::string U(uint32_t v) { return std::to_string(v); }

bool b31(uint32_t w) { return (w & 0x80000000u) != 0; }
bool b15(uint32_t w) { return (w & 0x00008000u) != 0; }

// A value the command does not apply is shown in parentheses.
std::string flagged(const std::string& text, bool applied) {
  if (applied) return text;
  std::string s;
  s.reserve(text.size() + 2);
  s += '(';
  s += text;
  s += ')';
  return s;
}

std::string gprFlag(uint32_t n, bool applied) { return flagged("GPR" + U(n), applied); }

constexpr int kNoPsr = -1;

// Appends the pieces of an operand text: a lead (" " or ", ") and one or two values.
void put(std::string& out, const char* lead, const std::string& a) {
  out += lead;
  out += a;
}
void put(std::string& out, const char* lead, const std::string& a, const std::string& b) {
  out += lead;
  out += a;
  out += ", ";
  out += b;
}

// One operand of the plain form: immediate value or register name. A PSR named
// here becomes the row's referenced PSR.
std::string plainOperand(uint32_t word, bool immediate, int& psrRef) {
  if (immediate) return U(word);
  if (b31(word)) {
    psrRef = static_cast<int>(word & 0x7F);
    return "PSR" + U(word & 0x7F);
  }
  return "GPR" + U(word & 0xFFF);
}

void operand1(std::string& out, uint32_t op, uint32_t w, int& psrRef) {
  if (imm1Of(op)) {
    switch (op) {
      case 0x51800001u:
      case 0x51C00001u:
        return put(out, " ", flagged(U((w >> 16) & 0xFF), b31(w)), flagged(U(w & 0xFFF), b15(w)));
      case 0x51800003u:
      case 0x51C00003u:
        return put(out, " ", flagged(U(w & 0xFFFF), b31(w)));
      case 0x51800006u:
      case 0x51C00006u:
        return put(out, " ", flagged(U((w >> 16) & 0xF), b31(w)), flagged(U(w & 0xFF), b15(w)));
      default:
        return put(out, " ", U(w));
    }
  }
  switch (op) {
    case 0x51000001u:
    case 0x51400001u:
      psrRef = kNoPsr;
      return put(out, " ", gprFlag((w >> 16) & 0xFFF, b31(w)), gprFlag(w & 0xFFF, b15(w)));
    case 0x51000003u:
    case 0x51400003u:
      psrRef = kNoPsr;
      return put(out, " ", gprFlag(w & 0xFFF, b31(w)));
    case 0x51000006u:
    case 0x51400006u:
      // The first value of this operand is never a register.
      psrRef = kNoPsr;
      return put(out, " ", flagged(U((w >> 16) & 0xF), b31(w)), gprFlag(w & 0xFFF, b15(w)));
    default:
      return put(out, " ", plainOperand(w, false, psrRef));
  }
}

void operand2(std::string& out, uint32_t op, uint32_t w, int& psrRef) {
  if (imm2Of(op)) {
    switch (op) {
      case 0x51400001u:
      case 0x51C00001u:
        return put(out, ", ", flagged(U((w >> 16) & 0xFF), b31(w)), flagged(U(w & 0xFF), b15(w)));
      case 0x51400003u:
      case 0x51C00003u:
        return put(out, ", ", flagged(U(w & 0xFF), b31(w)));
      case 0x51400006u:
      case 0x51C00006u:
        return put(out, ", ", flagged(U((w >> 16) & 0xFF), b31(w)), flagged(U(w & 0xFFF), b15(w)));
      default:
        return put(out, ", ", U(w));
    }
  }
  switch (op) {
    case 0x51000001u:
    case 0x51800001u:
    case 0x51000006u:
    case 0x51800006u:
      psrRef = kNoPsr;
      return put(out, ", ", gprFlag((w >> 16) & 0xFFF, b31(w)), gprFlag(w & 0xFFF, b15(w)));
    case 0x51000003u:
    case 0x51800003u:
      psrRef = kNoPsr;
      return put(out, ", ", gprFlag(w & 0xFFF, b31(w)));
    default:
      return put(out, ", ", plainOperand(w, false, psrRef));
  }
}

// Language and country codes are three (or two) letters packed into a word.
std::string letters(uint32_t w) {
  std::string s;
  if ((w >> 16) & 0xFF) s += static_cast<char>((w >> 16) & 0xFF);
  s += static_cast<char>((w >> 8) & 0xFF);
  s += static_cast<char>(w & 0xFF);
  return s;
}

}  // namespace

std::string lineNumberText(int r) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%04d", r);
  return buf;
}

std::string hexWord(uint32_t v) {
  return core::hexText(v, 8);
}

CommandRow comm2str(const Command& cmd, int r, CmdContext context) {
  CommandRow row;
  const uint32_t op = cmd.opcode;
  const DecodedOpcode d = decode(op);
  row.cells[0] = lineNumberText(r);
  row.cells[1] = hexWord(op);
  row.cells[2] = hexWord(cmd.dst) + (d.operandCount != 0 ? " " : "");
  row.cells[3] = hexWord(cmd.src) + (d.operandCount == 2 ? " " : "");

  const bool valid = isValid(op);
  const bool forbidden = valid && isForbidden(op, context);
  std::string line;
  if (!valid) line = "!";
  else if (forbidden) line = "*";
  line += commandName(d.group, d.subGroup, d.operation);

  int psrRef = kNoPsr;
  bool op1IsPsr = false;
  if (d.operandCount >= 1) {
    const size_t at = line.size();
    operand1(line, op, cmd.dst, psrRef);
    op1IsPsr = line.compare(at, 4, " PSR") == 0;
  }
  if (d.operandCount >= 2) operand2(line, op, cmd.src, psrRef);

  if (!valid) {
    line += "  ; Invalid opcode";
    row.style = RowStyle::Invalid;
    row.beep = context == CmdContext::Button;
  } else if (forbidden) {
    line += "  ; Forbidden opcode";
    row.style = RowStyle::Forbidden;
  }

  if (valid && psrRef != kNoPsr && psrRef < kPsrNamed) {
    line += "       ;PSR" + std::to_string(psrRef) + ": " + std::string(psrNames(psrRef));
    if (psrRef >= 16 && psrRef <= 19) {
      const uint32_t w = op1IsPsr ? cmd.src : cmd.dst;
      line += "  [" + letters(w) + "]";
    }
  }
  row.cells[4] = std::move(line);
  return row;
}

CellParts splitCommandCell(std::string_view cell) {
  const size_t semi = cell.find(';');
  if (semi == std::string_view::npos) {
    size_t b = cell.find_first_not_of(' ');
    size_t e = cell.find_last_not_of(' ');
    if (b == std::string_view::npos) return {};
    return {std::string(cell.substr(b, e - b + 1)), {}};
  }
  return {std::string(cell.substr(0, semi)), std::string(cell.substr(semi))};
}

CellPaint cellPaint(const CommandRow& row, int column) {
  const std::string& line = row.cells[4];
  if (!line.empty() && (line[0] == '!' || line[0] == '*')) {
    return {line[0] == '!' ? CellColour::Red : CellColour::Orange, column == 4};
  }
  if (column == 1) return {CellColour::Blue, false};
  if (column == 2 || column == 3) {
    const bool inUse = row.cells[column].find(' ') != std::string::npos;
    return {inUse ? CellColour::Blue : CellColour::Grey, false};
  }
  return {};
}

}  // namespace morvex::hdmv

#include "hdmv/interpreter.h"

#include "hdmv/command_text.h"

namespace morvex::hdmv {

namespace {

std::string U(uint32_t v) { return std::to_string(v); }

constexpr uint32_t kImmFlags = 0x00C00000u;

}  // namespace

std::string traceText(const Command& cmd, int line, CmdContext context) {
  const CommandRow row = comm2str(cmd, line, context);
  return "Line " + lineNumberText(line) + " : " + row.cells[1] + " " + row.cells[2] + " " + row.cells[3] + " : " +
         row.cells[4];
}

void Interpreter::emit(RunEventKind kind, int line, std::string text) {
  RunEvent e;
  e.kind = kind;
  e.line = line;
  e.text = std::move(text);
  events_.push_back(std::move(e));
}

std::vector<RunEvent> Interpreter::takeEvents() {
  std::vector<RunEvent> out;
  out.swap(events_);
  return out;
}

void Interpreter::report(std::string text) {
  reported_ = true;
  emit(RunEventKind::Report, 0, std::move(text));
}

// An operand's value: the word itself when immediate, else the register it names.
// SetStream, SetButtonPage and SetSecondaryStream in register form pack their apply
// flags into the operand word and take the values from GPRs.
uint32_t Interpreter::fetch(uint32_t opcode, uint32_t word, bool first) const {
  if (operandCountOf(opcode) == 0) return 0;
  if (first ? imm1Of(opcode) : imm2Of(opcode)) return word;
  const auto& g = regs_.gpr;
  switch (opcode & ~kImmFlags) {
    case kSetStream:
      return (word & 0x8000C000u) + ((g[(word >> 16) & 0xFFF] & 0xFF) << 16) + (g[word & 0xFFF] & 0xFFF);
    case kSetButtonPage:
      return (word & 0x80000000u) + (g[word & 0xFFF] & 0xFFFF);
    case kSetSecondaryStream:
      return (word & 0xC08F0000u) + (g[word & 0xFFF] & 0xFF);
    default:
      break;
  }
  if (word & 0x80000000u) return regs_.psr[word & 0x7F];
  return g[word & 0xFFF];
}

// A result goes to the register the operand names; an immediate operand keeps nothing.
void Interpreter::store(uint32_t opcode, uint32_t word, bool first, uint32_t value) {
  if (first ? imm1Of(opcode) : imm2Of(opcode)) return;
  if (word & 0x80000000u) regs_.psr[word & 0x7F] = value;
  else regs_.gpr[word & 0xFFF] = value;
}

bool Interpreter::executeCommand(const CommandList& program, MenuHost* menu) {
  if (state_ == RunState::Running) return false;
  prog_ = program;
  menu_ = menu;
  pending_ = 0xFFFF;
  lastCompare_ = false;
  pc_ = curLine;
  state_ = RunState::Running;
  if (!isLine(pc_)) finish();
  return true;
}

bool Interpreter::start(const CommandList& program, MenuHost* menu) {
  if (state_ == RunState::Running) return false;
  if (!(traceBox && traceActive)) curLine = traceBox ? -1 : 0;
  return executeCommand(program, menu);
}

bool Interpreter::stepFrom(const CommandList& program, int line, MenuHost* menu) {
  if (state_ == RunState::Running) return false;
  curLine = line;
  if (!executeCommand(program, menu)) return false;
  if (state_ == RunState::Running) {
    // One command, whether tracing is on or not.
    const bool box = traceBox;
    traceBox = true;
    step();
    traceBox = box;
  }
  return true;
}

bool Interpreter::step() {
  if (state_ != RunState::Running) return false;
  if (!isLine(pc_)) {
    finish();
    return false;
  }
  reported_ = false;
  execute();
  ++executed_;
  ++pc_;
  if (isLine(pc_)) {
    curLine = static_cast<int32_t>(pc_);
    // Only the latest line matters to the front end: a long run between two calls
    // leaves one CurLine event, not one per command.
    if (!events_.empty() && events_.back().kind == RunEventKind::CurLine) events_.back().line = curLine;
    else emit(RunEventKind::CurLine, curLine);
  }
  if (!isLine(pc_) || traceBox) finish();
  return true;
}

RunState Interpreter::run(size_t maxSteps, bool stopAtReport) {
  for (size_t i = 0; i < maxSteps && state_ == RunState::Running; ++i) {
    step();
    if (stopAtReport && reported_) break;
  }
  return state_;
}

void Interpreter::pause() {
  if (state_ == RunState::Running) finish();
}

void Interpreter::cancel() {
  if (state_ == RunState::Running) {
    endRun();
    finish();
    return;
  }
  if (state_ == RunState::Paused) {
    // A paused trace ends by running from a line that does not exist.
    curLine = 65535;
    executeCommand(prog_, menu_);
  }
}

void Interpreter::finish() {
  auto& psr = regs_.psr;
  if (pending_ != 0xFFFF && psr[10] == 0xFFFF) {
    psr[10] = pending_;
    if (menu_) menu_->drawSButton();
  }
  if (pc_ < 0) {
    pc_ = 0;
    curLine = 0;
    emit(RunEventKind::CurLine, 0);
  }
  traceActive = isLine(pc_);
  state_ = traceActive ? RunState::Paused : RunState::Idle;
  emit(RunEventKind::Status, 0, traceActive && traceBox ? kRunningTrace : kReady);
  if (traceBox && traceActive) {
    const int n = curLine;
    if (n >= 0 && n < static_cast<int>(prog_.size())) {
      const Command& c = prog_[n];
      const CommandRow row = comm2str(c, n, menu_ ? CmdContext::Button : CmdContext::MovieObject);
      emit(RunEventKind::TraceLine, n, traceText(c, n, menu_ ? CmdContext::Button : CmdContext::MovieObject));
      if (row.cells[4].find("GPR") != std::string::npos) {
        RunEvent e;
        e.kind = RunEventKind::RegisterFocus;
        e.file = RegFile::Gpr;
        e.number = static_cast<int>(c.dst & 0xFFFF);
        events_.push_back(e);
      }
      if (row.cells[4].find("PSR") != std::string::npos) {
        RunEvent e;
        e.kind = RunEventKind::RegisterFocus;
        e.file = RegFile::Psr;
        e.number = static_cast<int>(c.dst & 0xFFFF);
        events_.push_back(e);
      }
    }
  }
  if (!traceActive) emit(RunEventKind::ClearStatus);
  // A run that ended by a jump, a Break, a GoTo beyond the end or SetButtonPage
  // shows the command that ended it.
  if (pc_ > static_cast<int64_t>(curLine) + 1) emit(RunEventKind::SelectRow, curLine);
}

bool Interpreter::execute() {
  const Command c = prog_[static_cast<size_t>(pc_)];
  const uint32_t op = c.opcode;
  const uint32_t op1 = fetch(op, c.dst, true);
  const uint32_t op2 = fetch(op, c.src, false);
  auto& psr = regs_.psr;

  switch (op) {
    case 0x00020000u:  // Break
      endRun();
      return false;
    case 0x20010000u:
    case 0x20810000u:  // GoTo: a target that is not a line ends the run
      if (op1 < prog_.size()) pc_ = static_cast<int64_t>(op1) - 1;
      else endRun();
      return false;
    case 0x21000000u:
    case 0x21800000u:
      report("Jump Object " + U(op1));
      endRun();
      return true;
    case 0x21010000u:
    case 0x21810000u:
      psr[4] = op1;
      report("Jump Title " + U(op1));
      endRun();
      return true;
    case 0x21020000u:
    case 0x21820000u:
      report("Call Object " + U(op1));
      return true;
    case 0x21030000u:
    case 0x21830000u:
      psr[4] = op1;
      report("Call Title " + U(op1));
      return true;
    case 0x01040000u:
      report("Resume");
      return true;
    case 0x22000000u:
    case 0x22800000u:
      report("Play PL " + U(op1));
      psr[6] = op1;
      return true;
    case 0x42010000u:
    case 0x42410000u:
    case 0x42810000u:
    case 0x42C10000u:
      psr[6] = op1;
      psr[7] = op2;
      report("Play PLatPI " + U(op1) + ", " + U(op2));
      return true;
    case 0x42020000u:
    case 0x42420000u:
    case 0x42820000u:
    case 0x42C20000u:
      psr[6] = op1;
      psr[5] = op2;
      report("Play PLatMK " + U(op1) + ", " + U(op2));
      return true;
    case 0x02030000u:
      report("Terminate PL");
      return true;
    case 0x22040000u:
    case 0x22840000u:
      report("Link PI " + U(op1));
      psr[7] = op1;
      return true;
    case 0x22050000u:
    case 0x22850000u:
      report("Link MK " + U(op1));
      psr[5] = op1 + 1;
      return true;
    case 0x51000001u:
    case 0x51400001u:
    case 0x51800001u:
    case 0x51C00001u:  // SetStream: each part only when its apply flag is set
      if (op1 & 0x80000000u) psr[1] = (op1 >> 16) & 0xFF;
      if (op1 & 0x00008000u)
        psr[2] = (psr[2] & 0x0FFF0000u) + (op1 & 0xFFF) + (((op1 >> 14) & 1u) << 31);
      if (op2 & 0x80000000u) psr[0] = (op2 >> 16) & 0xFF;
      if (op2 & 0x00008000u) psr[3] = op2 & 0xFF;
      return false;
    case 0x51000003u:
    case 0x51400003u:
    case 0x51800003u:
    case 0x51C00003u:
      if (!menu_) {
        report("SetButtonPage ");
        endRun();
        return true;
      }
      setButtonPage(op1, op2, c);
      return false;
    case 0x31000004u:
    case 0x31800004u:
      if (menu_) enableButton(op1);
      return false;
    case 0x31000005u:
    case 0x31800005u:
      if (menu_) disableButton(op1);
      return false;
    case 0x11000007u:
      report("Pop up Menu Off");
      return true;
    case 0x11000008u:
      report("Still On");
      return true;
    case 0x11000009u:
      report("Still Off");
      return true;
    default:
      break;
  }

  if (op >= 0x48000100u && op <= 0x48C00700u) {
    bool cond;
    switch ((op >> 8) & 7) {
      case 1: cond = (op1 & op2) != 0; break;
      case 2: cond = op1 == op2; break;
      case 3: cond = op1 != op2; break;
      case 4: cond = op1 >= op2; break;
      case 5: cond = op1 > op2; break;
      case 6: cond = op1 <= op2; break;
      case 7: cond = op1 < op2; break;
      default: cond = lastCompare_; break;
    }
    lastCompare_ = cond;
    if (!cond) ++pc_;  // skip the next line
    return false;
  }

  const uint32_t setBase = op & ~(kImmFlags | 0xFu);
  const uint32_t setOp = op & 0xFu;
  if (setBase == 0x50000000u && setOp != 0) {
    uint32_t r = 0;
    const uint32_t sh = op2 % 32;
    switch (setOp) {
      case 1: r = op2; break;
      case 2:
        store(op, c.dst, true, op2);
        store(op, c.src, false, op1);
        return false;
      case 3: r = op1 + op2; break;
      case 4: r = op1 - op2; break;
      case 5: r = static_cast<uint32_t>(static_cast<uint64_t>(op1) * op2); break;
      case 6: r = op2 == 0 ? 0xFFFFFFFFu : op1 / op2; break;
      case 7: r = op2 == 0 ? 0xFFFFFFFFu : op1 % op2; break;
      case 8:
        // Linear congruential generator over the whole run of the application.
        rndSeed = rndSeed * 134775813u + 1u;
        r = static_cast<uint32_t>((static_cast<uint64_t>(op2) * rndSeed) >> 32);
        break;
      case 9: r = op1 & op2; break;
      case 10: r = op1 | op2; break;
      case 11: r = op1 ^ op2; break;
      case 12: r = op1 | (1u << sh); break;
      // A subtraction, not a mask: exact when the bit is set, a borrow when clear.
      case 13: r = op1 - (1u << sh); break;
      case 14: r = op1 << sh; break;
      case 15: r = op1 >> sh; break;
      default: break;
    }
    store(op, c.dst, true, r);
  }
  // Every other word (NOP, SetNVTimer, SetSecondaryStream, ...) has no effect.
  return false;
}

void Interpreter::setButtonPage(uint32_t op1, uint32_t op2, const Command& c) {
  MenuHost& m = *menu_;
  auto& psr = regs_.psr;
  const int oldButton = static_cast<int>(psr[10] & 0xFFFF);
  const int oldPage = static_cast<int>(psr[11] & 0xFFFF);
  const bool setPage = (c.src & 0x80000000u) != 0;
  const bool setButton = (c.dst & 0x80000000u) != 0;
  if (setPage) {
    const int page = static_cast<int>(op2 & 0xFF);
    if (page < m.pageCount()) psr[11] = static_cast<uint32_t>(page);
  }
  if (setButton) {
    const int button = static_cast<int>(op1 & 0xFFFF);
    if (button < m.buttonListLength(static_cast<int>(psr[11]))) psr[10] = static_cast<uint32_t>(button);
  }
  const int newPage = static_cast<int>(psr[11] & 0xFFFF);
  const int newButton = static_cast<int>(psr[10] & 0xFFFF);
  if (newPage != oldPage) m.setButtonStates(newPage);
  const bool newIsButton = m.isButton(newPage, newButton);
  if (newIsButton) m.showInBog(newButton);
  if (setPage) {
    if (!(c.src & 0x40000000u) && m.outEffectsEnabled() && m.hasOutEffects(oldPage)) {
      m.delPage();
      m.drawEffects(oldPage);
    }
    m.showPage(newPage);
    m.drawPage();
  }
  if (setButton && !setPage) {
    if (m.isButton(newPage, oldButton) &&
        (!newIsButton || m.bogOf(newPage, oldButton) != m.bogOf(newPage, newButton)))
      m.drawButton(oldButton);
    m.drawSButton();
  }
  if (newIsButton && m.autoAction(newPage, newButton)) {
    // The rest of the run is the auto-action button's program, from its line 0.
    prog_ = m.buttonCommands(newPage, newButton);
    m.setRunButton(newButton);
    RunEvent e;
    e.kind = RunEventKind::ButtonProgram;
    e.number = newButton;
    events_.push_back(e);
    pc_ = -1;
    return;
  }
  endRun();
}

void Interpreter::enableButton(uint32_t op1) {
  MenuHost& m = *menu_;
  auto& psr = regs_.psr;
  const int b = static_cast<int>(op1 & 0xFFFF);
  const int count = m.buttonStateCount();
  if (b >= count) return;
  const uint32_t sel = psr[10];
  if (sel < static_cast<uint32_t>(count) && m.stateBog(static_cast<int>(sel)) == m.stateBog(b)) {
    // The selection moves to the enabled button once the run is over.
    psr[10] = 0xFFFF;
    pending_ = static_cast<uint32_t>(b);
  }
  m.showInBog(b);
  m.drawButton(b);
}

void Interpreter::disableButton(uint32_t op1) {
  MenuHost& m = *menu_;
  const int b = static_cast<int>(op1 & 0xFFFF);
  if (b >= m.buttonStateCount()) return;
  m.hideButton(b);
  m.delButton(b);
}

}  // namespace morvex::hdmv

// The interpreter as a step machine: arithmetic, compare skips, jumps and reports,
// the trace states, budgets and re-entry, and the menu commands on a fake menu.
#include <gtest/gtest.h>

#include <map>

#include "hdmv/interpreter.h"
#include "support/test_support.h"

using namespace morvex::hdmv;

namespace {

Command movI(uint32_t g, uint32_t v) { return {morvex::test::kMove, g, v}; }
Command setI(uint32_t op, uint32_t g, uint32_t v) { return {0x50400000u | op, g, v}; }
Command gotoI(uint32_t line) { return {morvex::test::kGoTo, line, 0}; }
Command cmpI(uint32_t op, uint32_t g, uint32_t v) { return {0x48400000u | (op << 8), g, v}; }
const Command kBreak{morvex::test::kBreak, 0, 0};

struct Fixture {
  Registers regs;
  Interpreter it{regs};
  Fixture() { resetRegisters(regs, {}); }
  // Runs a whole program from line 0 without trace.
  RunState run(const CommandList& p, size_t budget = 10000) {
    it.curLine = 0;
    EXPECT_TRUE(it.executeCommand(p));
    return it.run(budget);
  }
  std::vector<std::string> reports() {
    std::vector<std::string> out;
    for (const auto& e : it.events())
      if (e.kind == RunEventKind::Report) out.push_back(e.text);
    return out;
  }
  bool has(RunEventKind k, int line) {
    for (const auto& e : it.events())
      if (e.kind == k && e.line == line) return true;
    return false;
  }
  bool has(RunEventKind k) {
    for (const auto& e : it.events())
      if (e.kind == k) return true;
    return false;
  }
};

}  // namespace

TEST(Interpreter, BreakEndsTheRunAndSelectsItsRow) {
  Fixture f;
  EXPECT_EQ(f.run({movI(0, 5), setI(3, 0, 3), kBreak, movI(0, 0)}), RunState::Idle);
  EXPECT_EQ(f.regs.gpr[0], 8u);
  EXPECT_FALSE(f.it.traceActive);
  EXPECT_TRUE(f.has(RunEventKind::SelectRow, 2));
  EXPECT_TRUE(f.has(RunEventKind::ClearStatus));
  EXPECT_EQ(f.it.events().back().kind, RunEventKind::SelectRow);
  // Running off the end selects nothing.
  Fixture g;
  g.run({movI(0, 1), movI(1, 2)});
  EXPECT_FALSE(g.has(RunEventKind::SelectRow));
  EXPECT_EQ(g.it.curLine, 1);
}

TEST(Interpreter, SetArithmeticEdges) {
  struct Case {
    uint32_t op, start, operand, expect;
  } cases[] = {
      {6, 100, 0, 0xFFFFFFFFu},        // Div by zero
      {7, 100, 0, 0xFFFFFFFFu},        // Mod by zero
      {6, 100, 7, 14},                 // Div truncates
      {7, 100, 7, 2},
      {4, 0, 1, 0xFFFFFFFFu},          // Sub wraps
      {3, 0xFFFFFFFFu, 2, 1},          // Add wraps
      {5, 0x10000u, 0x10001u, 0x10000u},  // Mul keeps the low 32 bits
      {13, 0, 3, 0xFFFFFFF8u},         // Bit Clear of a clear bit borrows
      {13, 8, 3, 0},
      {12, 0, 35, 8},                  // Bit Set by 35 mod 32
      {14, 1, 33, 2},                  // Shift Left by 33 mod 32
      {15, 0x80000000u, 31, 1},        // Shift Right shifts zeros in
      {15, 0xF0, 36, 0xF},
      {9, 0xF0F0, 0xFF00, 0xF000},
      {10, 0xF0F0, 0x0F0F, 0xFFFF},
      {11, 0xFF, 0x0F, 0xF0},
  };
  for (const auto& c : cases) {
    Fixture f;
    f.regs.gpr[0] = c.start;
    f.run({setI(c.op, 0, c.operand)});
    EXPECT_EQ(f.regs.gpr[0], c.expect) << "op " << c.op << " on " << c.start << ", " << c.operand;
  }
}

TEST(Interpreter, SwapMovesBothWaysAndImmediateKeepsNothing) {
  Fixture f;
  f.regs.gpr[1] = 11;
  f.regs.gpr[2] = 22;
  f.run({{0x50000002u, 1, 2}});
  EXPECT_EQ(f.regs.gpr[1], 22u);
  EXPECT_EQ(f.regs.gpr[2], 11u);
  f.run({{0x50400002u, 1, 5}});  // immediate source: only operand 1 changes
  EXPECT_EQ(f.regs.gpr[1], 5u);
  f.run({{0x50C00001u, 1, 9}});  // immediate destination: the result is dropped
  EXPECT_EQ(f.regs.gpr[1], 5u);
  f.run({{0x50000001u, 0x80000000u | 60, 0x80000004u}});  // PSR to PSR
  EXPECT_EQ(f.regs.psr[60], 0xFFFFu);
  f.run({{0x50000001u, 0x00001003u, 0x80001001u}});  // bits beyond the register number are ignored
  EXPECT_EQ(f.regs.gpr[3], 0xFFu);
}

TEST(Interpreter, RndSequenceIsFixedFromAZeroSeed) {
  Fixture f;
  f.run({setI(8, 0, 10)});
  EXPECT_EQ(f.regs.gpr[0], 0u);  // seed 1 on the first call
  for (int i = 0; i < 200; ++i) {
    f.run({setI(8, 0, 10)});
    ASSERT_LT(f.regs.gpr[0], 10u);
  }
  f.run({setI(8, 0, 0)});
  EXPECT_EQ(f.regs.gpr[0], 0u);
  // Same sequence on a fresh interpreter: seed*134775813+1 from 0.
  Fixture g;
  uint32_t seed = 0;
  for (int i = 0; i < 5; ++i) {
    seed = seed * 134775813u + 1u;
    g.run({setI(8, 0, 1000000)});
    EXPECT_EQ(g.regs.gpr[0], static_cast<uint32_t>((1000000ull * seed) >> 32));
  }
}

TEST(Interpreter, CompareSkipsTheNextLineWhenFalse) {
  Fixture f;
  f.regs.gpr[0] = 0xFFFFFFFFu;
  f.run({cmpI(7, 0, 5), movI(1, 1), movI(2, 2)});  // LT is unsigned: false
  EXPECT_EQ(f.regs.gpr[1], 0u);
  EXPECT_EQ(f.regs.gpr[2], 2u);
  f.run({cmpI(5, 0, 5), movI(3, 3)});  // GT true
  EXPECT_EQ(f.regs.gpr[3], 3u);
  // Option 0 repeats the previous compare of the run; false before the first.
  f.run({{0x48400000u, 0, 0}, movI(4, 4), cmpI(2, 0, 0xFFFFFFFFu), {0x48400000u, 0, 0}, movI(5, 5)});
  EXPECT_EQ(f.regs.gpr[4], 0u);
  EXPECT_EQ(f.regs.gpr[5], 5u);
  f.regs.gpr[6] = 6;
  f.run({{0x48000100u, 6, 6}, movI(7, 7)});  // BC register/register
  EXPECT_EQ(f.regs.gpr[7], 7u);
  // A skip past the end ends the run and selects the compare.
  Fixture g;
  g.run({cmpI(2, 0, 1), movI(1, 1)});
  EXPECT_TRUE(g.has(RunEventKind::SelectRow, 0));
}

TEST(Interpreter, GoToLoopsAreBoundedByTheBudget) {
  Fixture f;
  CommandList loop = {setI(3, 0, 1), movI(1, 2), movI(2, 3), gotoI(0)};
  EXPECT_EQ(f.run(loop, 1000), RunState::Running);
  EXPECT_EQ(f.it.executed(), 1000u);
  EXPECT_EQ(f.regs.gpr[0], 250u);
  // Events do not pile up with the steps: one current-line event stands for them all.
  ASSERT_EQ(f.it.events().size(), 1u);
  EXPECT_EQ(f.it.events()[0].kind, RunEventKind::CurLine);
  EXPECT_EQ(f.it.events()[0].line, 0);
  // A second run is refused while this one is in progress; nothing changes.
  EXPECT_FALSE(f.it.executeCommand({movI(9, 9)}));
  EXPECT_FALSE(f.it.start({movI(9, 9)}));
  EXPECT_EQ(f.it.program().size(), 4u);
  EXPECT_EQ(f.it.run(8), RunState::Running);
  EXPECT_EQ(f.regs.gpr[0], 252u);
  EXPECT_EQ(f.regs.gpr[9], 0u);
  // Ticking the trace box stops after the current command.
  f.it.traceBox = true;
  EXPECT_EQ(f.it.run(100), RunState::Paused);
  EXPECT_EQ(f.it.executed(), 1009u);
  EXPECT_TRUE(f.it.traceActive);
  f.it.cancel();
  EXPECT_EQ(f.it.state(), RunState::Idle);
  EXPECT_FALSE(f.it.traceActive);
  EXPECT_TRUE(f.it.executeCommand({movI(9, 9)}));
}

TEST(Interpreter, GoToTargets) {
  Fixture f;
  f.run({movI(0, 1), gotoI(3), movI(1, 1), movI(2, 2)});
  EXPECT_EQ(f.regs.gpr[1], 0u);
  EXPECT_EQ(f.regs.gpr[2], 2u);
  for (uint32_t target : {4u, 0x80000000u, 0xFFFFFFFFu}) {
    Fixture g;
    EXPECT_EQ(g.run({gotoI(target), movI(1, 1), movI(2, 2), movI(3, 3)}), RunState::Idle);
    EXPECT_EQ(g.regs.gpr[1], 0u) << target;
    EXPECT_EQ(g.it.executed(), 1u);
    EXPECT_TRUE(g.has(RunEventKind::SelectRow, 0));
  }
  // GoTo through a register.
  Fixture h;
  h.regs.gpr[5] = 2;
  h.run({{0x20010000u, 5, 0}, movI(1, 1), movI(2, 2)});
  EXPECT_EQ(h.regs.gpr[1], 0u);
  EXPECT_EQ(h.regs.gpr[2], 2u);
}

TEST(Interpreter, JumpsCallsAndPlaybackReports) {
  Fixture f;
  f.run({{0x21810000u, 3, 0}, movI(0, 1)});
  EXPECT_EQ(f.regs.psr[4], 3u);
  EXPECT_EQ(f.reports(), std::vector<std::string>{"Jump Title 3"});
  EXPECT_EQ(f.regs.gpr[0], 0u);
  EXPECT_TRUE(f.has(RunEventKind::ClearStatus));
  f.it.takeEvents();
  f.regs.gpr[4] = 0xFFFFFFFFu;
  f.run({{0x21020000u, 4, 0}, {0x21830000u, 7, 0}, {0x01040000u, 0, 0}, {0x22800000u, 12, 0},
         {0x42C10000u, 1, 2}, {0x42C20000u, 1, 2}, {0x02030000u, 0, 0}, {0x22840000u, 4, 0},
         {0x22850000u, 2, 0}, {0x11000007u, 0, 0}, {0x11000008u, 0, 0}, {0x11000009u, 0, 0},
         {0x51000003u, 0x80000000u, 0}, movI(0, 1)});
  EXPECT_EQ(f.reports(), (std::vector<std::string>{"Call Object 4294967295", "Call Title 7", "Resume",
                                                   "Play PL 12", "Play PLatPI 1, 2", "Play PLatMK 1, 2",
                                                   "Terminate PL", "Link PI 4", "Link MK 2", "Pop up Menu Off",
                                                   "Still On", "Still Off", "SetButtonPage "}));
  EXPECT_EQ(f.regs.psr[4], 7u);
  EXPECT_EQ(f.regs.psr[6], 1u);
  EXPECT_EQ(f.regs.psr[7], 4u);
  EXPECT_EQ(f.regs.psr[5], 3u);  // Link MK 2 sets the mark after it
  EXPECT_EQ(f.regs.gpr[0], 0u);  // SetButtonPage off the Menu page ended the run
  f.run({{0x42C20000u, 1, 2}});
  EXPECT_EQ(f.regs.psr[5], 2u);
  f.it.takeEvents();
  f.run({{0x21000000u, 4, 0}});
  EXPECT_EQ(f.reports(), std::vector<std::string>{"Jump Object 4294967295"});
}

TEST(Interpreter, ReportsCanYieldToTheFrontEnd) {
  Fixture f;
  f.it.curLine = 0;
  ASSERT_TRUE(f.it.executeCommand({{0x01040000u, 0, 0}, movI(0, 1), {0x01040000u, 0, 0}, movI(1, 1)}));
  EXPECT_EQ(f.it.run(100, true), RunState::Running);
  EXPECT_EQ(f.it.executed(), 1u);
  EXPECT_EQ(f.it.run(100, true), RunState::Running);
  EXPECT_EQ(f.regs.gpr[0], 1u);
  EXPECT_EQ(f.it.run(100, true), RunState::Idle);
  EXPECT_EQ(f.regs.gpr[1], 1u);
}

TEST(Interpreter, SetStreamAppliesFlaggedParts) {
  Fixture f;
  f.regs.psr[2] = 0xFFFFFFFFu;
  f.run({{0x51C00001u, 0x80058003u, 0}});
  EXPECT_EQ(f.regs.psr[1], 5u);
  EXPECT_EQ(f.regs.psr[2], 0x0FFF0003u);
  EXPECT_EQ(f.regs.psr[0], 1u);  // source 0 changes neither PSR0 nor PSR3
  EXPECT_EQ(f.regs.psr[3], 1u);
  f.run({{0x51C00001u, 0x8005C003u, 0x80078009u}});
  EXPECT_EQ(f.regs.psr[2], 0x8FFF0003u);
  EXPECT_EQ(f.regs.psr[0], 7u);
  EXPECT_EQ(f.regs.psr[3], 9u);
  // Register form: values come from the GPRs named in the packed fields.
  f.regs.gpr[2] = 0x1234;   // low 8 bits: 0x34
  f.regs.gpr[5] = 0xF00A;   // low 12 bits: 0x00A
  f.regs.gpr[6] = 0x0106;   // low 8 bits of the angle through bits 11-0
  f.run({{0x51000001u, 0x8002C005u, 0x00008006u}});
  EXPECT_EQ(f.regs.psr[1], 0x34u);
  EXPECT_EQ(f.regs.psr[2], 0x8FFF000Au);
  EXPECT_EQ(f.regs.psr[3], 6u);
}

TEST(Interpreter, TraceStartsPausedOnLineZero) {
  Fixture f;
  CommandList p = {movI(0, 1), {0x50000001u, 0x80000000u | 60, 0x80000004u}, movI(2, 2)};
  f.it.traceBox = true;
  ASSERT_TRUE(f.it.start(p));  // executes nothing
  EXPECT_EQ(f.it.state(), RunState::Paused);
  EXPECT_EQ(f.it.executed(), 0u);
  EXPECT_EQ(f.it.curLine, 0);
  EXPECT_TRUE(f.has(RunEventKind::TraceLine, 0));
  for (const auto& e : f.it.events()) {
    if (e.kind == RunEventKind::TraceLine) {
      EXPECT_EQ(e.text, "Line 0000 : 50400001 00000000  00000001  : Move GPR0, 1");
    }
    if (e.kind == RunEventKind::Status) {
      EXPECT_EQ(e.text, "Running trace...");
    }
  }
  f.it.takeEvents();
  ASSERT_TRUE(f.it.start(p));  // continues the paused trace by one step
  EXPECT_EQ(f.it.run(100), RunState::Paused);
  EXPECT_EQ(f.regs.gpr[0], 1u);
  EXPECT_EQ(f.it.curLine, 1);
  bool psrFocus = false;
  for (const auto& e : f.it.events())
    if (e.kind == RunEventKind::RegisterFocus && e.file == RegFile::Psr) psrFocus = e.number == 60;
  EXPECT_TRUE(psrFocus);
  f.it.takeEvents();
  f.it.cancel();
  EXPECT_EQ(f.it.state(), RunState::Idle);
  EXPECT_EQ(f.regs.psr[60], 0u);  // cancel executes nothing
  ASSERT_FALSE(f.it.events().empty());
  bool ready = false;
  for (const auto& e : f.it.events())
    if (e.kind == RunEventKind::Status) ready = e.text == "Ready. ";
  EXPECT_TRUE(ready);
  // Clicking a row executes that command only.
  f.it.traceBox = false;
  ASSERT_TRUE(f.it.stepFrom(p, 2));
  EXPECT_EQ(f.regs.gpr[2], 2u);
  EXPECT_EQ(f.regs.psr[60], 0u);
}

namespace {

// A menu of pages with button ids; bog and auto-action per button.
struct FakeMenu : MenuHost {
  struct Button {
    int bog = 0;
    bool autoAction = false;
    CommandList cmds;
  };
  std::vector<std::map<int, Button>> pages;
  std::vector<int> listLength;
  int shown = 0;
  std::vector<std::string> calls;

  int pageCount() const override { return static_cast<int>(pages.size()); }
  int buttonListLength(int page) const override { return listLength.at(page); }
  bool isButton(int page, int b) const override { return page < pageCount() && pages[page].count(b) > 0; }
  int bogOf(int page, int b) const override { return pages.at(page).at(b).bog; }
  bool autoAction(int page, int b) const override { return pages.at(page).at(b).autoAction; }
  CommandList buttonCommands(int page, int b) const override { return pages.at(page).at(b).cmds; }
  bool outEffectsEnabled() const override { return true; }
  bool hasOutEffects(int page) const override { return page == 0; }
  int buttonStateCount() const override { return listLength.at(shown); }
  int stateBog(int slot) const override { return isButton(shown, slot) ? bogOf(shown, slot) : -1; }
  void setButtonStates(int page) override { calls.push_back("states " + std::to_string(page)); }
  void showInBog(int b) override { calls.push_back("show " + std::to_string(b)); }
  void hideButton(int b) override { calls.push_back("hide " + std::to_string(b)); }
  void delPage() override { calls.push_back("delpage"); }
  void drawEffects(int page) override { calls.push_back("effects " + std::to_string(page)); }
  void showPage(int page) override {
    shown = page;
    calls.push_back("page " + std::to_string(page));
  }
  void drawPage() override { calls.push_back("drawpage"); }
  void drawButton(int b) override { calls.push_back("draw " + std::to_string(b)); }
  void drawSButton() override { calls.push_back("drawsel"); }
  void delButton(int b) override { calls.push_back("del " + std::to_string(b)); }
  void setRunButton(int b) override { calls.push_back("run " + std::to_string(b)); }
};

FakeMenu twoPages() {
  FakeMenu m;
  m.pages.resize(2);
  m.pages[0][0] = {0, false, {}};
  m.pages[0][1] = {0, false, {}};
  m.pages[0][2] = {1, false, {}};
  m.pages[1][0] = {0, false, {}};
  m.pages[1][3] = {0, true, {movI(7, 70), gotoI(5)}};
  m.listLength = {3, 4};
  return m;
}

}  // namespace

TEST(InterpreterMenu, SetButtonPageSwitchesPageWithOutEffects) {
  Fixture f;
  FakeMenu m = twoPages();
  f.regs.psr[10] = 1;
  f.regs.psr[11] = 0;
  f.it.curLine = 0;
  ASSERT_TRUE(f.it.executeCommand({{0x51C00003u, 0x80000000u, 0x80000001u}, movI(0, 1)}, &m));
  f.it.run(10);
  EXPECT_EQ(f.regs.psr[11], 1u);
  EXPECT_EQ(f.regs.psr[10], 0u);
  EXPECT_EQ(m.calls, (std::vector<std::string>{"states 1", "show 0", "delpage", "effects 0", "page 1", "drawpage"}));
  EXPECT_EQ(f.regs.gpr[0], 0u);  // ended the run
  EXPECT_TRUE(f.has(RunEventKind::SelectRow, 0));
  // Bit 30 of the source skips the out-effects of the old page.
  m.calls.clear();
  f.it.curLine = 0;
  f.it.executeCommand({{0x51400003u, 0, 0xC0000000u}}, &m);
  f.it.run(10);
  EXPECT_EQ(f.regs.psr[11], 0u);
  EXPECT_EQ(m.calls, (std::vector<std::string>{"states 0", "show 0", "page 0", "drawpage"}));
  // A page number out of range keeps PSR11 (the page is still redrawn).
  m.calls.clear();
  f.it.curLine = 0;
  f.it.executeCommand({{0x51C00003u, 0, 0x80000007u}}, &m);
  f.it.run(10);
  EXPECT_EQ(f.regs.psr[11], 0u);
  EXPECT_EQ(m.calls, (std::vector<std::string>{"show 0", "delpage", "effects 0", "page 0", "drawpage"}));
}

TEST(InterpreterMenu, SetButtonOnlyRedrawsAcrossBogs) {
  Fixture f;
  FakeMenu m = twoPages();
  f.regs.psr[10] = 0;
  f.regs.psr[11] = 0;
  f.it.curLine = 0;
  f.it.executeCommand({{0x51800003u, 0x80000002u, 0}}, &m);  // button 2 is in another BOG
  f.it.run(10);
  EXPECT_EQ(f.regs.psr[10], 2u);
  EXPECT_EQ(m.calls, (std::vector<std::string>{"show 2", "draw 0", "drawsel"}));
  m.calls.clear();
  f.it.curLine = 0;
  f.it.executeCommand({{0x51800003u, 0x80000009u, 0}}, &m);  // beyond the list: unchanged
  f.it.run(10);
  EXPECT_EQ(f.regs.psr[10], 2u);
  EXPECT_EQ(m.calls, (std::vector<std::string>{"show 2", "drawsel"}));
}

TEST(InterpreterMenu, AutoActionButtonReplacesTheRun) {
  Fixture f;
  FakeMenu m = twoPages();
  f.regs.psr[10] = 0;
  f.regs.psr[11] = 1;
  m.shown = 1;
  f.it.curLine = 0;
  CommandList original = {{0x51800003u, 0x80000003u, 0}, movI(0, 1)};
  f.it.executeCommand(original, &m);
  f.it.run(10);
  EXPECT_EQ(f.regs.gpr[7], 70u);
  EXPECT_EQ(f.regs.gpr[0], 0u);
  EXPECT_EQ(f.it.program().size(), 2u);
  EXPECT_EQ(f.it.program()[0], movI(7, 70));
  EXPECT_TRUE(f.has(RunEventKind::ButtonProgram));
  EXPECT_EQ(original[1], movI(0, 1));  // the caller's program is untouched
}

TEST(InterpreterMenu, EnableAndDisableButtons) {
  Fixture f;
  FakeMenu m = twoPages();
  f.regs.psr[10] = 0;
  f.regs.psr[11] = 0;
  f.it.curLine = 0;
  // Enabling a button of the selected button's BOG moves the selection to it at the end.
  f.it.executeCommand({{0x31800004u, 1, 0}, movI(0, static_cast<uint32_t>(-1))}, &m);
  f.it.step();
  EXPECT_EQ(f.regs.psr[10], 0xFFFFu);
  f.it.run(10);
  EXPECT_EQ(f.regs.psr[10], 1u);
  EXPECT_EQ(m.calls, (std::vector<std::string>{"show 1", "draw 1", "drawsel"}));
  m.calls.clear();
  f.run({{0x31800004u, 2, 0}});  // another BOG: selection kept
  EXPECT_EQ(f.regs.psr[10], 1u);
  m.calls.clear();
  f.it.curLine = 0;
  f.it.executeCommand({{0x31800005u, 2, 0}, {0x31800005u, 3, 0}, {0x31000004u, 1, 0}}, &m);
  f.regs.gpr[1] = 0x10000;  // register operand: low 16 bits give button 0
  f.it.run(10);
  EXPECT_EQ(m.calls, (std::vector<std::string>{"hide 2", "del 2", "show 0", "draw 0", "drawsel"}));
  EXPECT_EQ(f.regs.psr[10], 0u);
  // Off the Menu page they do nothing.
  m.calls.clear();
  f.run({{0x31800005u, 2, 0}});
  EXPECT_TRUE(m.calls.empty());
}

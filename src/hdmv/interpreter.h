#pragma once
// The command interpreter: runs a program of navigation commands against the player
// registers. It is an emulator for checking disc logic, not a player: it computes
// register values, follows GoTo and compare-skips and carries out the menu commands,
// and for what would make a player leave the program (Jump Object, Jump Title) it
// reports the command and ends the run.
//
// The interpreter is a step machine. executeCommand begins a run over a private copy of the
// program; step() executes one command; run() executes up to a budget of commands, so
// a program that loops forever never blocks its caller. What a front end shows (a
// report in the status line, the current line, the row to select, a traced line) is
// handed out as events, in the order they happened; how long a report stays visible
// is the front end's business (it keeps a Report up for the show delay before it acts
// on the events after it, such as the status line being cleared at the end).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "hdmv/command.h"
#include "hdmv/registers.h"

namespace morvex::hdmv {

// The menu emulator's side of SetButtonPage, EnableButton and DisableButton. Buttons
// are numbered by id within a page; a page's button-by-id list may have holes.
class MenuHost {
public:
  virtual ~MenuHost() = default;

  virtual int pageCount() const = 0;
  // Length of the button-by-id list of a page.
  virtual int buttonListLength(int page) const = 0;
  // True when the id names a button of the page (an entry of its list that exists).
  virtual bool isButton(int page, int button) const = 0;
  // The button overlap group a button of the page belongs to.
  virtual int bogOf(int page, int button) const = 0;
  virtual bool autoAction(int page, int button) const = 0;
  virtual CommandList buttonCommands(int page, int button) const = 0;
  // "Show OutEffects() effects" option of the Menu page.
  virtual bool outEffectsEnabled() const = 0;
  virtual bool hasOutEffects(int page) const = 0;

  // The button-state list of the page shown (one slot per button id).
  virtual int buttonStateCount() const = 0;
  virtual int stateBog(int slot) const = 0;

  // Requests to the page view.
  virtual void setButtonStates(int page) {}  // prepare the states of a page about to be shown
  virtual void showInBog(int button) {}      // clear the shown flag of its BOG, set its own
  virtual void hideButton(int button) {}     // clear its shown flag
  virtual void delPage() {}                  // clear the page view
  virtual void drawEffects(int page) {}      // play the page's out-effects
  virtual void showPage(int page) {}         // the page selector moves to the page
  virtual void drawPage() {}
  virtual void drawButton(int button) {}
  virtual void drawSButton() {}              // draw the selected button (PSR10)
  virtual void delButton(int button) {}      // erase a button from the page view
  virtual void setRunButton(int button) {}   // the run panel's button selector
};

enum class RunEventKind : uint8_t {
  Report,         // text: status panel 1, kept visible for the show delay
  CurLine,        // line: the "Command line" field shows the new current line
  Status,         // text: status panel 0 ("Running trace..." or "Ready. ")
  ClearStatus,    // status panel 1 is cleared (the run is over)
  SelectRow,      // line: the command table selects the row of this command
  TraceLine,      // line, text: the traced line is presented ("Line 0003 : ...")
  RegisterFocus,  // file, number: the register panel shows this register
  ButtonProgram,  // number: SetButtonPage replaced the program by this button's commands
};

struct RunEvent {
  RunEventKind kind = RunEventKind::Report;
  std::string text;
  int line = 0;
  RegFile file = RegFile::Gpr;
  int number = 0;
  bool operator==(const RunEvent&) const = default;
};

enum class RunState : uint8_t {
  Idle,     // nothing in progress
  Running,  // a run is in progress (its budget ran out or it waits after a report)
  Paused,   // a trace is paused in the middle of the program (traceActive)
};

class Interpreter {
public:
  explicit Interpreter(Registers& regs) : regs_(regs) {}

  // The line the next run or step starts at; shared by all runs.
  int32_t curLine = 0;
  // True when the last run stopped in the middle of a program.
  bool traceActive = false;
  // Tracing: when set, a run stops after each command (it may be set while a run is
  // in progress).
  bool traceBox = false;
  // One generator for the whole application run; starts at 0 and is never reseeded.
  uint32_t rndSeed = 0;

  // Begins a run of a copy of P at curLine. With a menu host the Menu page is the
  // active page: the menu commands act on it and traced rows use the button context.
  // Refused (false, nothing changes) while another run is in progress.
  bool executeCommand(const CommandList& program, MenuHost* menu = nullptr);

  // Executes one command of the run in progress (and ends the run when the program
  // is left or tracing is on). False when no run is in progress.
  bool step();

  // Executes at most maxSteps commands; with stopAtReport, also returns right after a
  // command that reported something, so the front end can keep the text visible
  // before it calls again. Returns the state afterwards.
  RunState run(size_t maxSteps, bool stopAtReport = false);

  // Stops the run in progress after the current command, as switching tracing on
  // does: the run pauses on the next line (or ends when there is none).
  void pause();

  // Ends a run in progress or a paused trace; the interpreter is idle afterwards.
  void cancel();

  // Starting a run ("Start"). Begins the run as executeCommand does (the
  // caller then calls run): a paused trace continues where it stopped; otherwise the
  // run starts at line 0, or at -1 when tracing (which executes nothing and presents
  // line 0 at once).
  bool start(const CommandList& program, MenuHost* menu = nullptr);

  // Clicking a command row while tracing: runs that command alone and pauses after it.
  bool stepFrom(const CommandList& program, int line, MenuHost* menu = nullptr);

  RunState state() const { return state_; }
  bool inProgress() const { return state_ == RunState::Running; }
  // The private copy being run (replaced by an auto-action button's program).
  const CommandList& program() const { return prog_; }
  // Commands executed since the interpreter was made.
  uint64_t executed() const { return executed_; }

  // The value operand 1 (first) or operand 2 of `c` has with the registers as they
  // stand: what the command would act on if it ran next. Lets a caller that follows
  // a program's jumps itself see where a command leads before it runs.
  uint32_t operandValue(const Command& c, bool first) const { return fetch(c.opcode, first ? c.dst : c.src, first); }

  // Events since the last call, in order.
  std::vector<RunEvent> takeEvents();
  const std::vector<RunEvent>& events() const { return events_; }

private:
  uint32_t fetch(uint32_t opcode, uint32_t word, bool first) const;
  void store(uint32_t opcode, uint32_t word, bool first, uint32_t value);
  // Executes prog_[pc_]; returns true when it reported something.
  bool execute();
  void setButtonPage(uint32_t op1, uint32_t op2, const Command& c);
  void enableButton(uint32_t op1);
  void disableButton(uint32_t op1);
  void report(std::string text);
  void endRun() { pc_ = static_cast<int64_t>(prog_.size()); }
  bool isLine(int64_t pc) const { return pc >= 0 && pc < static_cast<int64_t>(prog_.size()); }
  void finish();
  void emit(RunEventKind kind, int line = 0, std::string text = {});

  Registers& regs_;
  MenuHost* menu_ = nullptr;
  CommandList prog_;
  int64_t pc_ = 0;
  bool lastCompare_ = false;
  uint32_t pending_ = 0xFFFF;
  RunState state_ = RunState::Idle;
  uint64_t executed_ = 0;
  bool reported_ = false;
  std::vector<RunEvent> events_;
};

// The presentation of a traced line: "Line 0003 : " + the row's words + " : " + its
// command line.
std::string traceText(const Command& cmd, int line, CmdContext context);

// Texts of the run's status line.
inline constexpr const char* kRunningTrace = "Running trace...";
inline constexpr const char* kReady = "Ready. ";

}  // namespace morvex::hdmv

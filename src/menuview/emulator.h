#pragma once
// The menu emulator: navigation with the five keys and the mouse, activation, the
// user time-out, the animation timer and the dragging of buttons, on top of the page
// view. Button programs run in the command interpreter, which calls back through the
// MenuHost interface for SetButtonPage, EnableButton and DisableButton.
//
// The emulator has no running state of its own: PSR 10 and PSR 11, the button-state
// list and the two timers are its state. Timers are intervals the front end arms;
// it calls userTimeout() and animationTick() when they fire.
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "hdmv/interpreter.h"
#include "menuview/overlay.h"
#include "menuview/page_view.h"

namespace morvex::menuview {

enum class NavKey : uint8_t { Up, Down, Left, Right };

enum class CursorShape : uint8_t { Arrow, Hand, Move };

// Keys and buttons held during a right-drag move.
struct DragKeys {
  bool shift = false, alt = false, ctrl = false;
  bool otherButton = false;  // another mouse button held besides the right one
};

// What happened during an emulator call, for front ends that list it (morvex-cli).
struct EmulatorEvent {
  enum class Kind : uint8_t {
    RunButton,  // number: a button's program was handed to the interpreter
    Report,     // text: the interpreter reported a command
    PageShown,  // number: the page view moved to another page
    Paused,     // number: a program stopped after its step budget, paused like a trace
  } kind = Kind::Report;
  int number = 0;
  std::string text;
  bool operator==(const EmulatorEvent&) const = default;
};

class MenuEmulator : public hdmv::MenuHost {
public:
  MenuEmulator(PageView& view, hdmv::Interpreter& interpreter);

  PageView& view() { return view_; }
  hdmv::Interpreter& interpreter() { return interp_; }

  // A menu has just been read, or is opened afresh: registers back to the player's
  // initial values, nothing running, no timers, the page chosen (page 0 unless
  // given; a page the menu lacks gives page 0) with PSR 11 naming it, the picture
  // cleared and every coloured object picture dropped. The Menu tab and
  // "menu play" both begin here.
  void menuOpened(const hdmv::RegisterOptions& registers = {}, int page = 0);

  // "Start" on the Menu tab, on the page shown.
  void start();
  // Start on a page: it is shown first when it is not the one on screen.
  void start(int page);
  // The navigation panel: "U", "D", "L", "R" and "Sel".
  void move(NavKey key);
  void select();
  // Timer firings.
  void userTimeout();
  void animationTick();

  // User time-out timer: enabled by start(); fires every userTimeoutMs (0 = never).
  bool userTimerOn = false;
  uint32_t userTimeoutMs = 0;

  // Mouse on the page view. Positions are raw view coordinates; in fit-to-window
  // mode the front end gives the fitted picture's geometry here.
  FitRect fit;
  // While a button is dragged, `keys` choose the drag mode.
  CursorShape mouseMove(int x, int y, DragKeys keys = {});
  void leftPress(int x, int y);
  CursorShape rightPress(int x, int y);
  CursorShape rightRelease();
  CursorShape mouseLeave();
  bool dragging() const { return dragging_; }
  // Status line of the last drag step.
  const std::string& dragStatusLine() const { return dragStatus_; }

  // The run panel's current button (the last one handed to the interpreter).
  int runPanelButton = -1;
  // Commands a button program may execute in one go; a program still running after
  // that many is paused as if tracing had been switched on, so an endless loop in a
  // menu cannot hang the caller.
  size_t stepBudget = 1000000;
  // Called before each command a button program executes (button, line, command);
  // when set, programs run one command at a time so each can be watched.
  std::function<void(int button, int line, const hdmv::Command&)> traceHook;

  std::vector<EmulatorEvent> takeEvents() { return std::exchange(events_, {}); }
  const std::vector<EmulatorEvent>& events() const { return events_; }

  // Hands a button of the shown page to the interpreter.
  void runButton(unsigned id);

  // hdmv::MenuHost
  int pageCount() const override;
  int buttonListLength(int page) const override;
  bool isButton(int page, int button) const override;
  int bogOf(int page, int button) const override;
  bool autoAction(int page, int button) const override;
  hdmv::CommandList buttonCommands(int page, int button) const override;
  bool outEffectsEnabled() const override;
  bool hasOutEffects(int page) const override;
  int buttonStateCount() const override;
  int stateBog(int slot) const override;
  void setButtonStates(int page) override;
  void showInBog(int button) override;
  void hideButton(int button) override;
  void delPage() override;
  void drawEffects(int page) override;
  void showPage(int page) override;
  void drawPage() override;
  void drawButton(int button) override;
  void drawSButton() override;
  void delButton(int button) override;
  void setRunButton(int button) override;

private:
  PagePoint toPage(int x, int y) const;
  const igs::Button* pageButton(int page, int id) const;
  bool inHotArea(const igs::Button& b, PagePoint p) const;
  void dragMove(int mx, int my, DragKeys keys);
  bool checkPosition(unsigned id, int x, int y, int w, int h) const;
  void collectRunEvents();
  // Draws the page once if a program asked for it; see drawPage().
  void flushPageDraw();
  // Runs the program in progress to its end, to a trace stop or to the step budget.
  void drive();

  PageView& view_;
  hdmv::Interpreter& interp_;
  std::vector<EmulatorEvent> events_;
  bool pageDrawPending_ = false;
  bool dragging_ = false;
  igs::Button dragButton_;
  int lastX_ = 0, lastY_ = 0;
  std::string dragStatus_;
};

// Status line of a drag step: "[GRID] Button: 0003   X: 105 Y: 40".
std::string dragStatus(const std::string& mode, unsigned id, int x, int y);

}  // namespace morvex::menuview

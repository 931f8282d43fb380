#pragma once
// The execute panel: "Start", the trace box, the "Command line" field and the object
// (or button) chooser. It drives the interpreter from the event loop: a batch of
// commands per timer tick, and each reported text stays in the status line for the
// activation delay through a single-shot timer, so the window never blocks, even for a
// program that loops forever (ticking the trace box stops it).
#include <QWidget>
#include <functional>

#include "core/log.h"
#include "hdmv/interpreter.h"

class QPushButton;
class QCheckBox;
class QLineEdit;
class QComboBox;
class QTimer;

namespace morvex::app {

class RegisterPanel;

class ExecutePanel : public QWidget {
  Q_OBJECT
public:
  explicit ExecutePanel(QWidget* parent = nullptr);

  // What the panel runs and where it shows the results.
  struct Host {
    std::function<hdmv::CommandList()> program;       // the selected program
    std::function<void(int line)> selectRow;         // command table row of a line
    std::function<int()> showDelayMs;                // "Activate command show delay (ms)"
    // When set, Start hands over to the page instead of running `program` (the Menu
    // tab starts its menu emulation).
    std::function<void()> start;
  };
  void attach(hdmv::Interpreter* interp, core::Log* log, RegisterPanel* regs, Host host);

  QPushButton* startButton() const { return start_; }
  QCheckBox* traceBox() const { return trace_; }
  QLineEdit* commandLine() const { return cmdLine_; }
  QComboBox* chooser() const { return chooser_; }

  bool traceActive() const { return interp_ && interp_->traceActive; }
  bool running() const { return interp_ && interp_->inProgress(); }
  // Cancel while a trace is paused (or a run is going on): ends it.
  void cancelTrace();
  // The Start button.
  void startClicked();
  // A click on a command row while the trace box is ticked runs that command.
  void rowClicked(int line);

  // Commands per timer tick when nothing is reported (keeps the window responsive).
  static constexpr size_t kBatch = 5000;

signals:
  // The Cancel button should be enabled or disabled.
  void cancelWanted(bool enabled);
  // A run or a step ended (the register values may have changed).
  void runFinished();

private:
  void tick();
  void handleEvents();
  void afterRun();

  hdmv::Interpreter* interp_ = nullptr;
  core::Log* log_ = nullptr;
  RegisterPanel* regs_ = nullptr;
  Host host_;
  QTimer* timer_;
  bool reportedThisTick_ = false;
  QPushButton* start_;
  QCheckBox* trace_;
  QLineEdit* cmdLine_;
  QComboBox* chooser_;
};

}  // namespace morvex::app

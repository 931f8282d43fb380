#pragma once
// The execute panel: "Start", the trace box, the "Command line" field and the object
// (or button) chooser. It drives the interpreter from the event loop: one command per
// timer tick, and each reported text stays in the status line for the activation
// delay through a timer, so the window never blocks, even for a program that loops
// forever.
#include <QWidget>
#include <functional>

class QPushButton;
class QCheckBox;
class QLineEdit;
class QComboBox;
class QTimer;

namespace morvex::app {

class ExecutePanel : public QWidget {
  Q_OBJECT
public:
  explicit ExecutePanel(QWidget* parent = nullptr);

  QPushButton* startButton() const { return start_; }
  QCheckBox* traceBox() const { return trace_; }
  QLineEdit* commandLine() const { return cmdLine_; }
  QComboBox* chooser() const { return chooser_; }

  // The interpreter has stopped in the middle of a program.
  virtual bool traceActive() const { return false; }
  // Cancel while a trace is paused: ends it.
  virtual void cancelTrace() {}
  // A run is going on (between timer ticks).
  virtual bool running() const { return false; }

signals:
  // The Cancel button should be enabled or disabled.
  void cancelWanted(bool enabled);

protected:
  QPushButton* start_;
  QCheckBox* trace_;
  QLineEdit* cmdLine_;
  QComboBox* chooser_;
};

}  // namespace morvex::app

#pragma once
// The desktop face of the engine's Log: lines go to the rich-text log of the Status
// tab, panels to the status bar, errors to the red box and the exclamation sound.
// Long work logs from a worker thread: such calls are queued to the window thread,
// in order, so widgets are only ever touched there.
#include <QObject>
#include <QPointer>
#include <functional>

#include "core/log.h"
#include "app/shell/log_view.h"
#include "app/shell/status_line.h"

namespace morvex::app {

class GuiLog : public core::Log {
public:
  GuiLog(LogView* view, StatusLine* status);
  ~GuiLog() override;
  int beeps() const { return beeps_; }

protected:
  void appendLine(const core::FormattedLine& line) override;
  void setStatus(core::StatusPanel panel, const std::string& text) override;
  void showError(const std::string& text) override;
  void beep() override;

private:
  // Runs `f` now on the window thread, or queues it there from any other thread.
  void onWindowThread(std::function<void()> f);

  QPointer<LogView> view_;
  QPointer<StatusLine> status_;
  // Lives on the window thread; queued calls are delivered through it and dropped
  // when the log goes away first.
  QObject* receiver_;
  int beeps_ = 0;
};

}  // namespace morvex::app

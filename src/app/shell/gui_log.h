#pragma once
// The desktop face of the engine's Log: lines go to the rich-text log of the Status
// tab, panels to the status bar, errors to the red box and the exclamation sound.
#include <QPointer>

#include "core/log.h"
#include "shell/log_view.h"
#include "shell/status_line.h"

namespace morvex::app {

class GuiLog : public core::Log {
public:
  GuiLog(LogView* view, StatusLine* status) : view_(view), status_(status) {}
  int beeps() const { return beeps_; }

protected:
  void appendLine(const core::FormattedLine& line) override;
  void setStatus(int panel, const std::string& text) override;
  void showError(const std::string& text) override;
  void beep() override;

private:
  QPointer<LogView> view_;
  QPointer<StatusLine> status_;
  int beeps_ = 0;
};

}  // namespace morvex::app

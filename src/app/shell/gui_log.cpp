#include "shell/gui_log.h"

#include <QApplication>

namespace morvex::app {

void GuiLog::appendLine(const core::FormattedLine& line) {
  if (view_) view_->appendLine(line);
}

void GuiLog::setStatus(int panel, const std::string& text) {
  if (status_) status_->setPanel(panel, QString::fromStdString(text));
}

void GuiLog::showError(const std::string& text) {
  if (status_) status_->showError(QString::fromStdString(text));
}

void GuiLog::beep() {
  ++beeps_;
  QApplication::beep();
}

}  // namespace morvex::app

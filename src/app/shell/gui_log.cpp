#include "app/shell/gui_log.h"

#include <QApplication>
#include <QThread>

namespace morvex::app {

GuiLog::GuiLog(LogView* view, StatusLine* status) : view_(view), status_(status), receiver_(new QObject()) {}

GuiLog::~GuiLog() { delete receiver_; }

void GuiLog::onWindowThread(std::function<void()> f) {
  if (QThread::currentThread() == receiver_->thread()) {
    f();
    return;
  }
  QMetaObject::invokeMethod(receiver_, std::move(f), Qt::QueuedConnection);
}

void GuiLog::appendLine(const core::FormattedLine& line) {
  onWindowThread([this, line] {
    if (view_) view_->appendLine(line);
  });
}

void GuiLog::setStatus(core::StatusPanel panel, const std::string& text) {
  onWindowThread([this, panel, text] {
    if (status_) status_->setPanel(panel == core::StatusPanel::Main ? 0 : 1, QString::fromStdString(text));
  });
}

void GuiLog::showError(const std::string& text) {
  onWindowThread([this, text] {
    if (status_) status_->showError(QString::fromStdString(text));
  });
}

void GuiLog::beep() {
  onWindowThread([this] {
    ++beeps_;
    QApplication::beep();
  });
}

}  // namespace morvex::app

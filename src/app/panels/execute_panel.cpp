#include "app/panels/execute_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimer>

#include "app/panels/register_panel.h"

namespace morvex::app {

namespace {
const char* const kStartHint = "Run the program of the selected movie object";
}

ExecutePanel::ExecutePanel(QWidget* parent) : QWidget(parent) {
  setObjectName("executePanel");
  auto* lay = new QHBoxLayout(this);
  lay->setContentsMargins(0, 0, 0, 0);
  lay->setSpacing(3);
  start_ = new QPushButton("Start", this);
  start_->setObjectName("startButton");
  start_->setToolTip(kStartHint);
  trace_ = new QCheckBox("Trace", this);
  trace_->setObjectName("traceCheck");
  cmdLine_ = new QLineEdit("0000", this);
  cmdLine_->setObjectName("commandLineField");
  cmdLine_->setToolTip("Command line");
  cmdLine_->setMaxLength(5);
  cmdLine_->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,5}"), cmdLine_));
  cmdLine_->setFixedWidth(QFontMetrics(cmdLine_->font()).horizontalAdvance("000000") + 12);
  chooser_ = new QComboBox(this);
  chooser_->setObjectName("executeObjectChoice");
  chooser_->setToolTip("Movie object");
  chooser_->setMinimumContentsLength(4);
  lay->addWidget(start_);
  lay->addWidget(chooser_);
  lay->addWidget(trace_);
  lay->addWidget(new QLabel("Line", this));
  lay->addWidget(cmdLine_);
  start_->setEnabled(false);

  timer_ = new QTimer(this);
  timer_->setSingleShot(true);
  connect(timer_, &QTimer::timeout, this, &ExecutePanel::tick);
  connect(start_, &QPushButton::clicked, this, &ExecutePanel::startClicked);
  connect(trace_, &QCheckBox::toggled, this, [this](bool on) {
    start_->setToolTip(on ? QString() : QString(kStartHint));
    // Ticking the box during a run stops it after the current command.
    if (interp_) interp_->traceBox = on;
  });
  // Leaving the field sets the current line; Enter moves on to Start.
  connect(cmdLine_, &QLineEdit::editingFinished, this, [this] {
    if (interp_ && !interp_->inProgress()) interp_->curLine = cmdLine_->text().toInt();
    cmdLine_->setText(QString("%1").arg(cmdLine_->text().toInt(), 4, 10, QChar('0')));
  });
  connect(cmdLine_, &QLineEdit::returnPressed, this, [this] { start_->setFocus(); });
}

void ExecutePanel::attach(hdmv::Interpreter* interp, core::Log* log, RegisterPanel* regs, Host host) {
  interp_ = interp;
  log_ = log;
  regs_ = regs;
  host_ = std::move(host);
  interp_->traceBox = trace_->isChecked();
}

void ExecutePanel::startClicked() {
  if (host_.start) {
    host_.start();
    if (regs_) regs_->refresh();
    Q_EMIT runFinished();
    return;
  }
  if (!interp_ || !host_.program) return;
  // A second run while one is in progress is refused.
  if (interp_->inProgress()) return;
  interp_->traceBox = trace_->isChecked();
  if (!interp_->start(host_.program())) return;
  Q_EMIT cancelWanted(true);
  tick();
}

void ExecutePanel::rowClicked(int line) {
  if (!interp_ || !host_.program || !trace_->isChecked() || interp_->inProgress()) return;
  interp_->traceBox = true;
  if (!interp_->stepFrom(host_.program(), line)) return;
  tick();
}

void ExecutePanel::cancelTrace() {
  if (!interp_) return;
  timer_->stop();
  const int32_t stoppedAt = interp_->curLine;
  interp_->cancel();
  interp_->run(kBatch);
  handleEvents();
  // The Line field keeps the line the program was stopped at.
  cmdLine_->setText(QString("%1").arg(stoppedAt, 4, 10, QChar('0')));
  afterRun();
}

void ExecutePanel::tick() {
  if (!interp_) return;
  interp_->run(kBatch, true);
  reportedThisTick_ = false;
  handleEvents();
  if (interp_->inProgress()) {
    // A run without trace reports nothing per command: the status line says that
    // the program is still going, not "Ready.".
    if (log_ && !trace_->isChecked()) log_->status(core::StatusPanel::Main, "Running the program... (Cancel stops it)");
    // A report stays visible for the show delay; otherwise the next batch runs as
    // soon as the window has handled its pending events.
    timer_->start(reportedThisTick_ && host_.showDelayMs ? host_.showDelayMs() : 0);
    return;
  }
  afterRun();
}

void ExecutePanel::afterRun() {
  QFont f = start_->font();
  f.setBold(interp_->traceActive && trace_->isChecked());
  start_->setFont(f);
  Q_EMIT cancelWanted(interp_->traceActive);
  if (regs_) regs_->refresh();
  Q_EMIT runFinished();
}

void ExecutePanel::handleEvents() {
  for (const hdmv::RunEvent& ev : interp_->takeEvents()) {
    switch (ev.kind) {
      case hdmv::RunEventKind::Report:
        if (log_) log_->status(core::StatusPanel::Detail, ev.text);
        reportedThisTick_ = true;
        break;
      case hdmv::RunEventKind::CurLine:
        cmdLine_->setText(QString("%1").arg(ev.line, 4, 10, QChar('0')));
        break;
      case hdmv::RunEventKind::Status:
        if (log_) log_->status(core::StatusPanel::Main, ev.text);
        break;
      case hdmv::RunEventKind::ClearStatus:
        if (log_) log_->status(core::StatusPanel::Detail, "");
        break;
      case hdmv::RunEventKind::SelectRow:
        if (host_.selectRow) host_.selectRow(ev.line);
        break;
      case hdmv::RunEventKind::TraceLine:
        if (host_.selectRow) host_.selectRow(ev.line);
        if (log_) log_->status(core::StatusPanel::Detail, ev.text);
        break;
      case hdmv::RunEventKind::RegisterFocus:
        if (regs_) {
          if (ev.file == hdmv::RegFile::Psr)
            regs_->showPsr(ev.number);
          else
            regs_->showGpr(ev.number);
        }
        break;
      case hdmv::RunEventKind::ButtonProgram:
        break;
    }
  }
}

}  // namespace morvex::app

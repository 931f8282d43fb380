#include "panels/execute_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace morvex::app {

ExecutePanel::ExecutePanel(QWidget* parent) : QWidget(parent) {
  setObjectName("pExec");
  auto* lay = new QHBoxLayout(this);
  lay->setContentsMargins(0, 0, 0, 0);
  lay->setSpacing(3);
  start_ = new QPushButton("Start", this);
  start_->setObjectName("bStart");
  start_->setToolTip("Run the program of the selected movie object");
  trace_ = new QCheckBox("Trace", this);
  trace_->setObjectName("cbTrace");
  trace_->setToolTip("Execute one command per Start");
  cmdLine_ = new QLineEdit("0000", this);
  cmdLine_->setObjectName("eCmdLine");
  cmdLine_->setToolTip("Command line");
  cmdLine_->setMaxLength(5);
  cmdLine_->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,5}"), cmdLine_));
  cmdLine_->setFixedWidth(QFontMetrics(cmdLine_->font()).horizontalAdvance("000000") + 12);
  chooser_ = new QComboBox(this);
  chooser_->setObjectName("cbExecObject");
  chooser_->setToolTip("Movie object");
  chooser_->setMinimumContentsLength(4);
  lay->addWidget(start_);
  lay->addWidget(chooser_);
  lay->addWidget(trace_);
  lay->addWidget(new QLabel("Line", this));
  lay->addWidget(cmdLine_);
  start_->setEnabled(false);
}

}  // namespace morvex::app

#include "app/status/status_tab.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/panels/register_panel.h"
#include "hdmv/registers.h"
#include "app/shell/log_view.h"

namespace morvex::app {

StatusTab::StatusTab(AppContext& ctx, LogView* log, RegisterPanel* regs, QWidget* parent)
    : TabPage(parent), ctx_(ctx), log_(log), regs_(regs) {
  setObjectName("statusTab");
  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(4, 4, 4, 4);
  log_->setParent(this);
  lay->addWidget(log_, 1);
  auto* row = new QHBoxLayout();
  auto* clear = new QPushButton("Clear", this);
  clear->setObjectName("clearButton");
  connect(clear, &QPushButton::clicked, log_, &LogView::clearLog);
  psrs_ = new QPushButton("PS&Rs", this);
  psrs_->setObjectName("psrsButton");
  psrs_->setToolTip("List the player status registers");
  gprs_ = new QPushButton("&GPRs", this);
  gprs_->setObjectName("gprsButton");
  gprs_->setToolTip("List the general purpose registers that are not zero");
  reset_ = new QPushButton("Re&set Regs", this);
  reset_->setObjectName("resetRegistersButton");
  reset_->setToolTip("Reset the player registers");
  row->addWidget(clear);
  row->addStretch(1);
  row->addWidget(psrs_);
  row->addWidget(gprs_);
  row->addWidget(reset_);
  lay->addLayout(row);
  connect(psrs_, &QPushButton::clicked, this, [this] { hdmv::logPsrs(ctx_.regs, *ctx_.log); });
  connect(gprs_, &QPushButton::clicked, this, [this] { hdmv::logGprs(ctx_.regs, *ctx_.log); });
  connect(reset_, &QPushButton::clicked, this, &StatusTab::resetRegisters);
}

void StatusTab::resetRegisters() {
  hdmv::resetRegisters(ctx_.regs, ctx_.registerOptions());
  regs_->refresh();
}

}  // namespace morvex::app

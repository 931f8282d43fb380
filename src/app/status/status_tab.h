#pragma once
// The Status tab: the message log with its Clear button, and the register listings
// ("PS&Rs", "&GPRs") and reset ("Re&set Regs").
#include "app/shell/app_context.h"
#include "app/shell/tab_page.h"

class QPushButton;

namespace morvex::app {

class LogView;
class RegisterPanel;

class StatusTab : public TabPage {
  Q_OBJECT
public:
  StatusTab(AppContext& ctx, LogView* log, RegisterPanel* regs, QWidget* parent = nullptr);

  TabRules rules() const override {
    TabRules r;
    r.registerPanel = true;
    return r;
  }

  // Resets the player registers from the register options.
  void resetRegisters();

private:
  AppContext& ctx_;
  LogView* log_;
  RegisterPanel* regs_;
  QPushButton* psrs_;
  QPushButton* gprs_;
  QPushButton* reset_;
};

}  // namespace morvex::app

#pragma once
// The navigate panel of the menu emulator: the remote control's four arrows and its
// select key ("U", "D", "L", "R", "Sel"). The window shows it in its bottom row while
// the Menu tab is current.
#include <QWidget>

#include "menuview/emulator.h"

class QPushButton;

namespace morvex::app {

class NavigatePanel : public QWidget {
  Q_OBJECT
public:
  explicit NavigatePanel(QWidget* parent = nullptr);
  QPushButton* button(const char* caption) const;

signals:
  void moveWanted(menuview::NavKey key);
  void selectWanted();

private:
  QPushButton *up_, *down_, *left_, *right_, *sel_;
};

}  // namespace morvex::app

#pragma once
// The main window's tab row, drawn by the program: captions centred without their
// "&", dark blue on the active tab and grey-blue with the accelerator letter
// underlined on the others, and an orange strip along the top of the active tab.
#include <QTabBar>
#include <QTabWidget>

namespace morvex::app {

class TabBar : public QTabBar {
  Q_OBJECT
public:
  explicit TabBar(QWidget* parent = nullptr);

  static QColor activeColour() { return QColor(0, 0, 136); }
  static QColor inactiveColour() { return QColor(102, 102, 153); }
  static QColor stripColour() { return QColor(255, 187, 0); }

protected:
  void paintEvent(QPaintEvent* e) override;
  QSize tabSizeHint(int index) const override;
};

// The main tab widget with the program's own tab row.
class MainTabs : public QTabWidget {
  Q_OBJECT
public:
  explicit MainTabs(QWidget* parent = nullptr) : QTabWidget(parent) {
    bar_ = new TabBar(this);
    setTabBar(bar_);
  }
  TabBar* bar() const { return bar_; }

private:
  TabBar* bar_;
};

}  // namespace morvex::app

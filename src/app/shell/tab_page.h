#pragma once
// One tab of the main window. The window hosts the pages and asks each, on every tab
// change, how the shared bottom controls should look; a page is self-contained, so a
// tab's content can be replaced without touching the window.
#include <QString>
#include <QWidget>

namespace morvex::app {

class TabPage : public QWidget {
  Q_OBJECT
public:
  using QWidget::QWidget;

  // The tab rules: what the shared controls show while this page is current.
  virtual bool saveShown() const { return false; }
  virtual bool saveEnabled() const { return false; }
  virtual QString saveHint() const { return QStringLiteral("Save"); }
  virtual bool executePanelShown() const { return false; }
  virtual bool navigatePanelShown() const { return false; }
  virtual bool registerPanelShown() const { return false; }
  virtual bool findShown() const { return false; }
  virtual bool loadMuxShown() const { return false; }
  virtual bool startEnabled() const { return false; }
  // Called after the rules when the page becomes current (reads on "Auto Read").
  virtual void activated() {}

  // The Save button while this page is current.
  virtual void save() {}
  // A new disc folder is being loaded: forget what came from the previous one.
  virtual void resetForLoad() {}

signals:
  // The page's state changed in a way the tab rules depend on.
  void rulesChanged();
};

}  // namespace morvex::app

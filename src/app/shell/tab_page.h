#pragma once
// One tab of the main window. The window hosts the pages and, whenever the current
// tab or its state changes, asks the current page for one TabRules value and applies
// it to the shared bottom controls in one place; the shared buttons (Save, Find, Load,
// Mux) are dispatched to the current page. A page is self-contained, so a tab's
// content can be replaced without touching the window.
#include <QString>
#include <QWidget>
#include <functional>

#include "app/panels/execute_panel.h"
#include "core/progress.h"

class QUndoStack;

namespace morvex::app {

// What the shared controls show while a page is current.
struct TabRules {
  bool saveShown = false;
  bool saveEnabled = false;
  QString saveHint = QStringLiteral("Save");
  bool executePanel = false;   // the execute panel, driving the page's executeHost()
  bool navigatePanel = false;
  bool registerPanel = false;
  bool find = false;
  bool load = false;
  bool mux = false;            // shown with Load; enabled like Save
  bool muxEnabled = false;     // also enabled when Save is not (an unmodified menu)
  bool startEnabled = false;
  bool operator==(const TabRules&) const = default;
};

// Long work a page hands to the window: `work` runs on a worker thread while the
// progress bar and Cancel show, then `done` runs on the window thread with whether
// the work was cancelled. One task runs at a time: while one runs, another is
// refused at once (the detail panel says so and `done` gets true, as for a cancel).
using TaskRunner =
    std::function<void(std::function<void(core::Progress&)> work, std::function<void(bool cancelled)> done)>;

class TabPage : public QWidget {
  Q_OBJECT
public:
  using QWidget::QWidget;

  virtual TabRules rules() const { return {}; }
  // What the execute panel runs while this page is current (pages with the panel).
  virtual ExecutePanel::Host executeHost() { return {}; }
  // The edits of this page's documents (Ctrl+Z / Ctrl+Shift+Z), when it edits any.
  virtual QUndoStack* undoStack() { return nullptr; }
  // Called after the rules when the page becomes current (reads on "Auto Read").
  virtual void activated() {}

  // The shared buttons while this page is current.
  virtual void save() {}
  virtual void find() {}
  virtual void load() {}
  virtual void mux() {}
  // A new disc folder is being loaded: forget what came from the previous one.
  virtual void resetForLoad() {}

signals:
  // The page's state changed in a way the tab rules depend on.
  void rulesChanged();
  // The user wants the log (a read banner's "Open the log").
  void logWanted();
};

}  // namespace morvex::app

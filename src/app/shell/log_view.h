#pragma once
// The message log: a read-only rich-text view that shows one formatted line per
// message, each run with its own style, colour and 8-point size. Lines logged in a burst
// are shown together when the event loop next turns; while the log is out of sight
// (another tab in front) they wait until it is shown. A plain-text view lays out only
// the lines in sight, so thousands of waiting lines show at once when the tab opens.
#include <QPlainTextEdit>
#include <vector>

#include "core/log.h"

namespace morvex::app {

class LogView : public QPlainTextEdit {
  Q_OBJECT
public:
  explicit LogView(QWidget* parent = nullptr);
  void appendLine(const core::FormattedLine& line);
  // Plain text of every line (tests and the clipboard).
  QStringList lines() const;
  int lineCount() const { return lineCount_; }
  // Empties the log (the Clear button).
  void clearLog();
  // Shows the lines logged since the event loop last turned.
  void flush();

protected:
  void showEvent(QShowEvent* e) override;

private:
  std::vector<core::FormattedLine> pending_;
  bool flushQueued_ = false;
  int lineCount_ = 0;   // lines logged
  int shownCount_ = 0;  // lines in the document
};

// Qt colour of a markup colour; the default colour is the palette's text colour.
QColor logColour(core::LogColour c, const QPalette& palette);

}  // namespace morvex::app

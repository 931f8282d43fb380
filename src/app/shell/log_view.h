#pragma once
// The message log: a read-only rich-text view that appends one formatted line per
// message, each run with its own style, colour and 8-point size.
#include <QTextEdit>

#include "core/log.h"

namespace morvex::app {

class LogView : public QTextEdit {
  Q_OBJECT
public:
  explicit LogView(QWidget* parent = nullptr);
  void appendLine(const core::FormattedLine& line);
  // Plain text of every line (tests and the clipboard).
  QStringList lines() const;
  int lineCount() const { return lineCount_; }
  // Empties the log (the Clear button).
  void clearLog();

private:
  int lineCount_ = 0;
};

// Qt colour of a markup colour; the default colour is the palette's text colour.
QColor logColour(core::LogColour c, const QPalette& palette);

}  // namespace morvex::app

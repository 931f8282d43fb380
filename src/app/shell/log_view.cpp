#include "app/shell/log_view.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

namespace morvex::app {

QColor logColour(core::LogColour c, const QPalette& palette) {
  if (c == core::LogColour::Default) return palette.color(QPalette::Text);
  const core::Rgb rgb = core::colourRgb(c);
  return QColor(rgb.r, rgb.g, rgb.b);
}

LogView::LogView(QWidget* parent) : QTextEdit(parent) {
  setObjectName("logView");
  setReadOnly(true);
  setUndoRedoEnabled(false);
  setLineWrapMode(QTextEdit::NoWrap);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setAcceptRichText(false);
}

void LogView::appendLine(const core::FormattedLine& line) {
  // Lines arrive in bursts (a disc of thousands of playlists without their streams logs
  // a line for each): they are kept and put into the document together once the event
  // loop turns, so the document lays out and scrolls once per burst, not once per line.
  pending_.push_back(line);
  ++lineCount_;
  if (flushQueued_) return;
  flushQueued_ = true;
  QMetaObject::invokeMethod(this, [this] { flush(); }, Qt::QueuedConnection);
}

void LogView::flush() {
  flushQueued_ = false;
  if (pending_.empty()) return;
  QTextCursor cur(document());
  cur.beginEditBlock();
  cur.movePosition(QTextCursor::End);
  for (const core::FormattedLine& line : pending_) {
    // The first line goes into the document's empty first block.
    if (shownCount_ > 0) cur.insertBlock();
    ++shownCount_;
    const std::string& text = line.text;
    for (size_t i = 0; i < line.runs.size(); ++i) {
      const core::FormatRun& run = line.runs[i];
      const size_t end = i + 1 < line.runs.size() ? line.runs[i + 1].pos : text.size();
      if (run.pos >= end || run.pos >= text.size()) continue;
      QTextCharFormat f;
      f.setFontWeight(run.bold ? QFont::Bold : QFont::Normal);
      f.setFontItalic(run.italic);
      f.setFontUnderline(run.underline);
      f.setForeground(logColour(run.colour, palette()));
      f.setFontPointSize(run.size);
      cur.insertText(QString::fromUtf8(text.data() + run.pos, int(end - run.pos)), f);
    }
    if (line.runs.empty()) cur.insertText(QString::fromUtf8(text.data(), int(text.size())));
  }
  cur.endEditBlock();
  pending_.clear();
  // Keep the newest line in view.
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void LogView::clearLog() {
  pending_.clear();
  clear();
  lineCount_ = 0;
  shownCount_ = 0;
}

QStringList LogView::lines() const {
  if (lineCount_ == 0) return {};
  // What was logged counts, whether or not the event loop has shown it yet.
  const_cast<LogView*>(this)->flush();
  QStringList out;
  for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) out << b.text();
  return out;
}

}  // namespace morvex::app

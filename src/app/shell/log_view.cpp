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

LogView::LogView(QWidget* parent) : QPlainTextEdit(parent) {
  setObjectName("logView");
  setReadOnly(true);
  setUndoRedoEnabled(false);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void LogView::appendLine(const core::FormattedLine& line) {
  // Lines arrive in bursts (a disc of thousands of playlists without their streams logs
  // a line for each): they are kept and put into the document together once the event
  // loop turns, so the document lays out and scrolls once per burst, not once per line.
  pending_.push_back(line);
  ++lineCount_;
  // Out of sight, the lines wait for the log to be shown: a disc opened on another
  // tab does not lay out thousands of lines nobody is looking at.
  if (flushQueued_ || !isVisible()) return;
  flushQueued_ = true;
  // Shown at that time only: the log may have been hidden since (a flush asked for
  // meanwhile leaves this call nothing to do).
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (isVisible())
          flush();
        else
          flushQueued_ = false;
      },
      Qt::QueuedConnection);
}

void LogView::flush() {
  flushQueued_ = false;
  if (pending_.empty()) return;
  QTextCursor cur(document());
  cur.beginEditBlock();
  cur.movePosition(QTextCursor::End);
  // Text of one look is put in with one call: a burst of like lines (the missing
  // streams of a large disc) becomes a handful of insertions instead of one per run,
  // the newlines between them becoming the document's blocks.
  QString run;
  QTextCharFormat runFormat;
  bool plainRun = true;
  const auto put = [&] {
    if (run.isEmpty()) return;
    if (plainRun)
      cur.insertText(run);
    else
      cur.insertText(run, runFormat);
    run.clear();
  };
  const auto add = [&](const QString& text, const QTextCharFormat* f) {
    const bool plain = f == nullptr;
    if (!run.isEmpty() && (plain != plainRun || (!plain && !(*f == runFormat)))) put();
    if (run.isEmpty()) {
      plainRun = plain;
      if (f) runFormat = *f;
    }
    run += text;
  };
  for (const core::FormattedLine& line : pending_) {
    // The first line goes into the document's empty first block.
    if (shownCount_ > 0) {
      if (run.isEmpty()) cur.insertBlock();
      else run += QChar('\n');
    }
    ++shownCount_;
    const std::string& text = line.text;
    for (size_t i = 0; i < line.runs.size(); ++i) {
      const core::FormatRun& r = line.runs[i];
      const size_t end = i + 1 < line.runs.size() ? line.runs[i + 1].pos : text.size();
      if (r.pos >= end || r.pos >= text.size()) continue;
      QTextCharFormat f;
      f.setFontWeight(r.bold ? QFont::Bold : QFont::Normal);
      f.setFontItalic(r.italic);
      f.setFontUnderline(r.underline);
      f.setForeground(logColour(r.colour, palette()));
      f.setFontPointSize(r.size);
      add(QString::fromUtf8(text.data() + r.pos, int(end - r.pos)), &f);
    }
    if (line.runs.empty()) add(QString::fromUtf8(text.data(), int(text.size())), nullptr);
  }
  put();
  cur.endEditBlock();
  pending_.clear();
  // Keep the newest line in view.
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void LogView::showEvent(QShowEvent* e) {
  QPlainTextEdit::showEvent(e);
  flush();
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

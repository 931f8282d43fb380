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
  QTextCursor cur(document());
  cur.movePosition(QTextCursor::End);
  // The first line goes into the document's empty first block.
  if (lineCount_ > 0) cur.insertBlock();
  ++lineCount_;
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
  // Keep the newest line in view.
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void LogView::clearLog() {
  clear();
  lineCount_ = 0;
}

QStringList LogView::lines() const {
  if (lineCount_ == 0) return {};
  QStringList out;
  for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) out << b.text();
  return out;
}

}  // namespace morvex::app

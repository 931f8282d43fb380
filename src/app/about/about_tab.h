#pragma once
// The About tab: the program's own text, a picture it draws itself and the change
// log, which scrolls a line per 60 units of wheel movement or when the pointer rests
// over its upper or lower part.
#include <QImage>
#include <QPlainTextEdit>

#include "app/shell/tab_page.h"

class QLabel;

namespace morvex::app {

class ChangeLogView : public QPlainTextEdit {
  Q_OBJECT
public:
  explicit ChangeLogView(QWidget* parent = nullptr);

protected:
  void wheelEvent(QWheelEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;

private:
  int wheelRest_ = 0;
};

class AboutTab : public TabPage {
  Q_OBJECT
public:
  explicit AboutTab(QWidget* parent = nullptr);
  QString aboutText() const;
  QPlainTextEdit* changeLog() const { return changeLog_; }

  // The picture of the About tab: a disc with a highlighted menu button.
  static QImage drawPicture(int size);

private:
  QLabel* text_;
  ChangeLogView* changeLog_;
};

}  // namespace morvex::app

#pragma once
// Shows one of the engine's RGBA pictures (the 1920 x 1080 page, the effect picture,
// an object in the viewer) either 1:1 with scroll bars on a background colour, or
// fitted into the view on black with the engine's fit-to-window arithmetic. The
// picture's bytes are wrapped, never copied or touched pixel by pixel.
//
// Mouse positions are reported as positions on the shown picture: in 1:1 mode that
// is the picture pixel itself, in fit mode the offset from the fitted picture's
// top-left corner (the engine maps those to page pixels with the fit rectangle).
#include <QAbstractScrollArea>
#include <QImage>
#include <QColor>

#include "menuview/image.h"
#include "menuview/overlay.h"

namespace morvex::app {

class PictureWidget : public QAbstractScrollArea {
  Q_OBJECT
public:
  explicit PictureWidget(QWidget* parent = nullptr);

  // The picture to show; not owned, must outlive the widget or be replaced. The
  // widget repaints from it on every paint, so after the engine draws call update
  // (or updatePicture for a changed rectangle).
  void setPicture(const menuview::Image* picture);
  const menuview::Image* picture() const { return picture_; }
  void updatePicture();
  // A rectangle of picture pixels changed (right and bottom exclusive).
  void updatePictureRect(int x1, int y1, int x2, int y2);

  void setFitToWindow(bool fit);
  bool fitToWindow() const { return fit_; }
  // The surround in 1:1 mode (the menu background colour); fit mode uses black.
  void setBackground(const QColor& c);

  // Where the fitted picture sits in the viewport (fit mode only).
  menuview::FitRect fitRect() const;
  // A viewport position as a position on the shown picture (see above).
  QPoint toPicture(const QPoint& viewportPos) const;
  // Picture pixel -> viewport position (the inverse, for tests and tool tips).
  QPoint fromPicture(const QPoint& picturePos) const;

signals:
  void picturePressed(QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods);
  void pictureReleased(QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods);
  void pictureMoved(QPoint pos, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods);
  void pictureLeft();

protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void scrollContentsBy(int dx, int dy) override;

private:
  void updateScrollBars();

  const menuview::Image* picture_ = nullptr;
  bool fit_ = false;
  QColor background_{Qt::darkGray};
  // The page averaged down to the fitted size (a small preview), and whether the
  // picture changed since.
  QImage shrunk_;
  bool shrunkStale_ = true;
};

}  // namespace morvex::app

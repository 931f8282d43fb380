#include "app/menu/picture_widget.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace morvex::app {

PictureWidget::PictureWidget(QWidget* parent) : QAbstractScrollArea(parent) {
  viewport()->setMouseTracking(true);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  updateScrollBars();
}

void PictureWidget::setPicture(const menuview::Image* picture) {
  picture_ = picture;
  shrunkStale_ = true;
  updateScrollBars();
  viewport()->update();
}

void PictureWidget::updatePicture() {
  shrunkStale_ = true;
  updateScrollBars();
  viewport()->update();
}

void PictureWidget::updatePictureRect(int x1, int y1, int x2, int y2) {
  shrunkStale_ = true;
  if (fit_) {
    // A scaled rectangle may touch one more pixel on each side.
    const QPoint a = fromPicture(QPoint(x1, y1)), b = fromPicture(QPoint(x2, y2));
    viewport()->update(QRect(a, b).normalized().adjusted(-1, -1, 1, 1));
  } else {
    viewport()->update(QRect(QPoint(x1, y1) - QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value()),
                             QSize(x2 - x1, y2 - y1)));
  }
}

void PictureWidget::setFitToWindow(bool fit) {
  if (fit_ == fit) return;
  fit_ = fit;
  updateScrollBars();
  viewport()->update();
}

void PictureWidget::setBackground(const QColor& c) {
  background_ = c;
  viewport()->update();
}

menuview::FitRect PictureWidget::fitRect() const {
  return menuview::fitToWindow(viewport()->width(), viewport()->height());
}

QPoint PictureWidget::toPicture(const QPoint& p) const {
  if (fit_) {
    const auto f = fitRect();
    return p - QPoint(f.left, f.top);
  }
  return p + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

QPoint PictureWidget::fromPicture(const QPoint& p) const {
  if (fit_) {
    const auto f = fitRect();
    const int pw = picture_ && !picture_->empty() ? picture_->width() : menuview::kPageWidth;
    const int ph = picture_ && !picture_->empty() ? picture_->height() : menuview::kPageHeight;
    return QPoint(f.left + int(int64_t(p.x()) * f.width / pw), f.top + int(int64_t(p.y()) * f.height / ph));
  }
  return p - QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void PictureWidget::updateScrollBars() {
  const int w = picture_ && !fit_ ? picture_->width() : 0;
  const int h = picture_ && !fit_ ? picture_->height() : 0;
  const QSize vp = viewport()->size();
  horizontalScrollBar()->setRange(0, std::max(0, w - vp.width()));
  verticalScrollBar()->setRange(0, std::max(0, h - vp.height()));
  horizontalScrollBar()->setPageStep(vp.width());
  verticalScrollBar()->setPageStep(vp.height());
  const Qt::ScrollBarPolicy policy = fit_ ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
  setHorizontalScrollBarPolicy(policy);
  setVerticalScrollBarPolicy(policy);
}

void PictureWidget::paintEvent(QPaintEvent* e) {
  QPainter p(viewport());
  const QRect all = viewport()->rect();
  if (!picture_ || picture_->empty()) {
    p.fillRect(e->rect(), fit_ ? QColor(Qt::black) : background_);
    return;
  }
  // Wrap the engine's bytes: R, G, B, A per pixel, rows without padding.
  const QImage img(picture_->bytes(), picture_->width(), picture_->height(), picture_->width() * 4,
                   QImage::Format_RGBA8888);
  if (fit_) {
    const auto f = fitRect();
    const QRect target(f.left, f.top, f.width, f.height);
    p.fillRect(all, Qt::black);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    // Shrunk to well under its size (a preview in a small window), the page is
    // averaged down first: the painter's filter samples too few pixels and would
    // break up thin letters.
    // The shrunk page is kept until the picture or the size changes, so a repaint for
    // any other reason costs no scaling.
    if (target.width() * 2 < img.width() && !target.isEmpty()) {
      if (shrunkStale_ || shrunk_.size() != target.size()) {
        shrunk_ = img.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        shrunkStale_ = false;
      }
      p.drawImage(target.topLeft(), shrunk_);
    } else
      p.drawImage(target, img);
    return;
  }
  const QPoint off(horizontalScrollBar()->value(), verticalScrollBar()->value());
  const QRect shown = QRect(QPoint(0, 0), img.size()).translated(-off);
  // The page is drawn over the background colour, so its transparent parts show it.
  p.fillRect(e->rect(), background_);
  const QRect dirty = e->rect().intersected(shown);
  if (!dirty.isEmpty()) p.drawImage(dirty.topLeft(), img, dirty.translated(off));
}

void PictureWidget::resizeEvent(QResizeEvent* e) {
  QAbstractScrollArea::resizeEvent(e);
  updateScrollBars();
}

void PictureWidget::scrollContentsBy(int, int) { viewport()->update(); }

void PictureWidget::mousePressEvent(QMouseEvent* e) {
  setFocus(Qt::MouseFocusReason);
  Q_EMIT picturePressed(toPicture(e->position().toPoint()), e->button(), e->buttons(), e->modifiers());
}

void PictureWidget::mouseReleaseEvent(QMouseEvent* e) {
  Q_EMIT pictureReleased(toPicture(e->position().toPoint()), e->button(), e->buttons(), e->modifiers());
}

void PictureWidget::mouseMoveEvent(QMouseEvent* e) {
  Q_EMIT pictureMoved(toPicture(e->position().toPoint()), e->buttons(), e->modifiers());
}

void PictureWidget::leaveEvent(QEvent* e) {
  QAbstractScrollArea::leaveEvent(e);
  Q_EMIT pictureLeft();
}

}  // namespace morvex::app

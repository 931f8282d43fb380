#include "app/shell/status_line.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QPainter>

namespace morvex::app {

void StatusPanel::setErrorBox(bool on) {
  errorBox_ = on;
  update();
}

void StatusPanel::paintEvent(QPaintEvent* e) {
  if (!errorBox_) {
    QLabel::paintEvent(e);
    return;
  }
  QPainter p(this);
  p.fillRect(rect(), QColor(255, 0, 0));
  QFont f = font();
  f.setBold(true);
  p.setFont(f);
  p.setPen(QColor(255, 255, 0));
  const QFontMetrics fm(f);
  // 10 pixels from the left and 5 from the top of the bar, or centred when the
  // panel is lower than the text needs.
  const int top = std::min(5, std::max(0, (height() - fm.height()) / 2));
  p.drawText(QPoint(10, top + fm.ascent()), QStringLiteral("ERROR"));
}

StatusLine::StatusLine(QWidget* parent) : QWidget(parent) {
  setObjectName("statusLine");
  auto* lay = new QHBoxLayout(this);
  lay->setContentsMargins(0, 0, 0, 0);
  lay->setSpacing(2);
  panel0_ = new StatusPanel(this);
  panel0_->setObjectName("statusMainPanel");
  panel1_ = new StatusPanel(this);
  panel1_->setObjectName("statusDetailPanel");
  for (QLabel* l : {static_cast<QLabel*>(panel0_), static_cast<QLabel*>(panel1_)}) {
    l->setFrameShape(QFrame::StyledPanel);
    l->setFrameShadow(QFrame::Sunken);
    l->setTextFormat(Qt::PlainText);
    l->setMinimumHeight(20);
  }
  panel0_->setFixedWidth(100);
  panel1_->setMinimumWidth(0);
  panel1_->setMaximumWidth(850);
  lay->addWidget(panel0_);
  lay->addWidget(panel1_, 1);
  lay->addStretch(1);
  lay->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void StatusLine::fitWidth(QLabel* l) {
  const QFontMetrics fm(font());
  const int w = fm.horizontalAdvance(l->text() + "m") + 2 * l->frameWidth();
  if (l == panel0_)
    l->setFixedWidth(w);
  else
    l->setMinimumWidth(std::min(w, 850));
}

void StatusLine::setPanel(int panel, const QString& text) {
  if (font().bold()) {
    QFont f = font();
    f.setBold(false);
    setFont(f);
  }
  panel0_->setErrorBox(false);
  QLabel* l = panel == 0 ? panel0_ : panel1_;
  l->setText(" " + text + " ");
  fitWidth(l);
  if (panel == 1) setToolTip(text);
  paintSoon();
}

void StatusLine::showError(const QString& text) {
  QFont f = font();
  f.setBold(true);
  setFont(f);
  panel0_->setErrorBox(true);
  panel0_->setText(QString());
  // Wide enough for the bold word with the same margin on both sides.
  QFont bold = font();
  bold.setBold(true);
  panel0_->setFixedWidth(std::max(55, QFontMetrics(bold).horizontalAdvance(QStringLiteral("ERROR")) + 20));
  panel1_->setText(" " + text);
  fitWidth(panel1_);
  setToolTip(text);
  repaint();
}

void StatusLine::paintSoon() {
  if (!lastPaint_.isValid() || lastPaint_.elapsed() >= 40) {
    repaint();
    lastPaint_.start();
  } else {
    update();
  }
}

QString StatusLine::panelText(int panel) const {
  const QString t = (panel == 0 ? panel0_ : panel1_)->text();
  // Strip the padding spaces the panels are written with.
  QString s = t;
  if (s.startsWith(' ')) s.remove(0, 1);
  if (s.endsWith(' ')) s.chop(1);
  return s;
}

}  // namespace morvex::app

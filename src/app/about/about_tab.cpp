#include "app/about/about_tab.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>

// The resources live in the static library; they must be registered by name.
static void initAboutResources() { Q_INIT_RESOURCE(about); }

namespace morvex::app {

namespace {
QString resourceText(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
  return QString::fromUtf8(f.readAll());
}
}  // namespace

ChangeLogView::ChangeLogView(QWidget* parent) : QPlainTextEdit(parent) {
  setObjectName("changeLogView");
  setReadOnly(true);
  setMouseTracking(true);
  viewport()->setMouseTracking(true);
  setLineWrapMode(QPlainTextEdit::NoWrap);
}

// One line per 60 units of wheel movement (a usual notch is 120: two lines).
void ChangeLogView::wheelEvent(QWheelEvent* e) {
  wheelRest_ += e->angleDelta().y();
  const int lines = wheelRest_ / 60;
  wheelRest_ -= lines * 60;
  verticalScrollBar()->setValue(verticalScrollBar()->value() - lines);
  e->accept();
}

// The upper quarter scrolls up a line, the lower quarter down a line.
void ChangeLogView::mouseMoveEvent(QMouseEvent* e) {
  const int y = int(e->position().y());
  const int h = viewport()->height();
  if (y < h / 4)
    verticalScrollBar()->setValue(verticalScrollBar()->value() - 1);
  else if (y > h - h / 4)
    verticalScrollBar()->setValue(verticalScrollBar()->value() + 1);
  QPlainTextEdit::mouseMoveEvent(e);
}

QImage AboutTab::drawPicture(int size) {
  QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  const QPointF c(size / 2.0, size / 2.0);
  const double r = size * 0.46;
  // The disc: a silver-blue surface with rainbow sheen and the clamping hole.
  QRadialGradient g(c, r);
  g.setColorAt(0.0, QColor(235, 240, 250));
  g.setColorAt(0.55, QColor(160, 175, 215));
  g.setColorAt(0.8, QColor(120, 140, 200));
  g.setColorAt(1.0, QColor(70, 80, 150));
  p.setPen(QPen(QColor(0, 0, 136), size / 90.0));
  p.setBrush(g);
  p.drawEllipse(c, r, r);
  QConicalGradient sheen(c, 30);
  sheen.setColorAt(0.0, QColor(255, 187, 0, 90));
  sheen.setColorAt(0.25, QColor(0, 170, 0, 60));
  sheen.setColorAt(0.5, QColor(0, 0, 255, 70));
  sheen.setColorAt(0.75, QColor(255, 0, 0, 60));
  sheen.setColorAt(1.0, QColor(255, 187, 0, 90));
  p.setPen(Qt::NoPen);
  p.setBrush(sheen);
  p.drawEllipse(c, r * 0.95, r * 0.95);
  p.setBrush(QColor(245, 245, 250));
  p.setPen(QPen(QColor(102, 102, 153), size / 120.0));
  p.drawEllipse(c, r * 0.22, r * 0.22);
  p.setBrush(Qt::white);
  p.drawEllipse(c, r * 0.08, r * 0.08);
  // A menu page over it: three buttons, the middle one selected.
  const double w = size * 0.56, bh = size * 0.1;
  const double x = c.x() - w / 2;
  double y = size * 0.62;
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 128, 200));
  p.drawRoundedRect(QRectF(x - size * 0.03, y - size * 0.03, w + size * 0.06, 3 * bh + size * 0.1), 8, 8);
  QFont f;
  f.setPixelSize(int(bh * 0.55));
  f.setBold(true);
  p.setFont(f);
  const char* labels[] = {"Play", "Chapters", "Setup"};
  for (int i = 0; i < 3; ++i) {
    const QRectF br(x, y, w, bh * 0.85);
    const bool sel = i == 1;
    p.setBrush(sel ? QColor(255, 255, 0) : QColor(255, 255, 255, 40));
    p.setPen(sel ? QPen(QColor(255, 0, 0), 2) : QPen(QColor(192, 192, 192), 1));
    p.drawRoundedRect(br, 4, 4);
    p.setPen(sel ? QColor(0, 0, 136) : QColor(255, 255, 255));
    p.drawText(br, Qt::AlignCenter, labels[i]);
    y += bh;
  }
  return img;
}

AboutTab::AboutTab(QWidget* parent) : TabPage(parent) {
  initAboutResources();
  setObjectName("aboutTab");
  auto* lay = new QHBoxLayout(this);
  auto* pic = new QLabel(this);
  pic->setObjectName("aboutPicture");
  pic->setPixmap(QPixmap::fromImage(drawPicture(220)));
  pic->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
  auto* right = new QVBoxLayout();
  text_ = new QLabel(resourceText(":/about/about.txt"), this);
  text_->setObjectName("aboutLabel");
  text_->setWordWrap(true);
  text_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  QFont tf = text_->font();
  text_->setFont(tf);
  auto* version = new QLabel(QStringLiteral("Version " MORVEX_VERSION), this);
  version->setObjectName("versionLabel");
  QFont vf = version->font();
  vf.setBold(true);
  version->setFont(vf);
  version->setStyleSheet("color: #000088;");
  changeLog_ = new ChangeLogView(this);
  changeLog_->setPlainText(resourceText(":/about/changelog.txt"));
  right->addWidget(version);
  right->addWidget(text_);
  right->addWidget(new QLabel("Change log", this));
  right->addWidget(changeLog_, 1);
  lay->addWidget(pic);
  lay->addLayout(right, 1);
}

QString AboutTab::aboutText() const { return text_->text(); }

}  // namespace morvex::app

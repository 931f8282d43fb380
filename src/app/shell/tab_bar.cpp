#include "app/shell/tab_bar.h"

#include <QStyleOptionTab>
#include <QStylePainter>

namespace morvex::app {

TabBar::TabBar(QWidget* parent) : QTabBar(parent) {
  setObjectName("tabBar");
  setDrawBase(true);
  setExpanding(false);
}

QSize TabBar::tabSizeHint(int index) const {
  QSize s = QTabBar::tabSizeHint(index);
  QFont f = font();
  f.setBold(true);
  const int w = QFontMetrics(f).horizontalAdvance(QString(tabText(index)).remove('&')) + 28;
  return QSize(std::max(s.width(), std::max(w, 86)), std::max(s.height(), 26));
}

void TabBar::paintEvent(QPaintEvent*) {
  QStylePainter p(this);
  for (int i = 0; i < count(); ++i) {
    QStyleOptionTab opt;
    initStyleOption(&opt, i);
    opt.text.clear();
    p.drawControl(QStyle::CE_TabBarTabShape, opt);

    const QRect r = tabRect(i);
    const bool active = i == currentIndex();
    if (active) p.fillRect(QRect(r.left() + 1, r.top(), r.width() - 2, 3), stripColour());

    // Caption: the text without its "&"; the accelerator letter is underlined on
    // the inactive tabs.
    const QString caption = tabText(i);
    const int amp = caption.indexOf('&');
    const QString plain = QString(caption).remove('&');
    QFont f = font();
    f.setBold(active);
    const QFontMetrics fm(f);
    const int x = r.left() + (r.width() - fm.horizontalAdvance(plain)) / 2;
    const int y = r.top() + (r.height() + fm.ascent() - fm.descent()) / 2 + 1;
    p.setPen(active ? activeColour() : inactiveColour());
    if (active || amp < 0 || amp + 1 >= caption.size()) {
      p.setFont(f);
      p.drawText(x, y, plain);
      continue;
    }
    const QString before = plain.left(amp);
    const QString letter = plain.mid(amp, 1);
    const QString after = plain.mid(amp + 1);
    int cx = x;
    p.setFont(f);
    p.drawText(cx, y, before);
    cx += fm.horizontalAdvance(before);
    QFont uf = f;
    uf.setUnderline(true);
    p.setFont(uf);
    p.drawText(cx, y, letter);
    cx += QFontMetrics(uf).horizontalAdvance(letter);
    p.setFont(f);
    p.drawText(cx, y, after);
  }
}

}  // namespace morvex::app

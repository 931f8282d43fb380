#include "app/menu/navigate_panel.h"

#include <QHBoxLayout>
#include <QPushButton>

namespace morvex::app {

NavigatePanel::NavigatePanel(QWidget* parent) : QWidget(parent) {
  setObjectName("menuNavigatePanel");
  auto* lay = new QHBoxLayout(this);
  lay->setContentsMargins(0, 0, 0, 0);
  lay->setSpacing(2);
  auto make = [this, lay](const char* name, const char* caption, const char* tip) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(name);
    b->setToolTip(tip);
    b->setFixedWidth(std::max(28, QFontMetrics(b->font()).horizontalAdvance(caption) + 14));
    lay->addWidget(b);
    return b;
  };
  up_ = make("upButton", "U", "Up");
  down_ = make("downButton", "D", "Down");
  left_ = make("leftButton", "L", "Left");
  right_ = make("rightButton", "R", "Right");
  sel_ = make("selectButton", "Sel", "Select (activate the selected button)");
  connect(up_, &QPushButton::clicked, this, [this] { Q_EMIT moveWanted(menuview::NavKey::Up); });
  connect(down_, &QPushButton::clicked, this, [this] { Q_EMIT moveWanted(menuview::NavKey::Down); });
  connect(left_, &QPushButton::clicked, this, [this] { Q_EMIT moveWanted(menuview::NavKey::Left); });
  connect(right_, &QPushButton::clicked, this, [this] { Q_EMIT moveWanted(menuview::NavKey::Right); });
  connect(sel_, &QPushButton::clicked, this, [this] { Q_EMIT selectWanted(); });
}

QPushButton* NavigatePanel::button(const char* caption) const {
  for (QPushButton* b : {up_, down_, left_, right_, sel_})
    if (b->text() == QLatin1String(caption)) return b;
  return nullptr;
}

}  // namespace morvex::app

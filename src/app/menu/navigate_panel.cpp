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
    b->setFixedWidth(std::max(28, QFontMetrics(b->font()).horizontalAdvance(QString(caption).remove('&')) + 14));
    lay->addWidget(b);
    return b;
  };
  // Alt and the letter press them; on the page view the arrow keys and Enter do.
  up_ = make("upButton", "&U", "Up (Alt+U)");
  down_ = make("downButton", "&D", "Down (Alt+D)");
  left_ = make("leftButton", "&L", "Left (Alt+L)");
  right_ = make("rightButton", "&R", "Right (Alt+R)");
  sel_ = make("selectButton", "S&el", "Select: activate the selected button (Alt+E)");
  up_->setAccessibleName("Up");
  down_->setAccessibleName("Down");
  left_->setAccessibleName("Left");
  right_->setAccessibleName("Right");
  sel_->setAccessibleName("Select");
  connect(up_, &QPushButton::clicked, this, [this] { Q_EMIT moveWanted(menuview::NavKey::Up); });
  connect(down_, &QPushButton::clicked, this, [this] { Q_EMIT moveWanted(menuview::NavKey::Down); });
  connect(left_, &QPushButton::clicked, this, [this] { Q_EMIT moveWanted(menuview::NavKey::Left); });
  connect(right_, &QPushButton::clicked, this, [this] { Q_EMIT moveWanted(menuview::NavKey::Right); });
  connect(sel_, &QPushButton::clicked, this, [this] { Q_EMIT selectWanted(); });
}

QPushButton* NavigatePanel::button(const char* caption) const {
  for (QPushButton* b : {up_, down_, left_, right_, sel_})
    if (QString(b->text()).remove('&') == QLatin1String(caption)) return b;
  return nullptr;
}

}  // namespace morvex::app

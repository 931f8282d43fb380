#include "app/placeholder/placeholder_tab.h"

#include <QLabel>
#include <QVBoxLayout>

namespace morvex::app {

PlaceholderTab::PlaceholderTab(const QString& objectName, const QString& description, QWidget* parent)
    : TabPage(parent) {
  setObjectName(objectName);
  auto* lay = new QVBoxLayout(this);
  auto* l = new QLabel(description + "\n\nThis view is not available in this build.", this);
  l->setAlignment(Qt::AlignCenter);
  l->setStyleSheet("color: #666699;");
  lay->addWidget(l);
}

}  // namespace morvex::app

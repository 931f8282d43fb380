#pragma once
// A tab whose content is not part of this build yet: it keeps its place, caption and
// tab rules so the window behaves as a whole, and says what will appear there.
#include "app/shell/tab_page.h"

namespace morvex::app {

class PlaceholderTab : public TabPage {
  Q_OBJECT
public:
  PlaceholderTab(const QString& objectName, const QString& description, QWidget* parent = nullptr);
};

}  // namespace morvex::app

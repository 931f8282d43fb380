#pragma once
// The "Played by" list of the PLAYLIST tab: Find fills it with the movie-object
// commands that play the playlist; a double click shows the movie object on the BDMV
// tab. Hidden until the first Find.
#include <QGroupBox>
#include <QList>

#include "app/shell/app_context.h"
#include "app/shell/navigator.h"

class QTableWidget;

namespace morvex::app {

class PlayedByGroup : public QGroupBox {
  Q_OBJECT
public:
  PlayedByGroup(AppContext& ctx, QWidget* parent = nullptr);

  // Lists the commands that play playlist `name` ("00001"), here and in the log.
  void findCommands(const QString& name);
  // Empties and hides the list.
  void clear();

signals:
  // A movie object (with the command in `part`) to be shown on the BDMV tab.
  void itemWanted(const ItemRef& item);

private:
  AppContext& ctx_;
  QTableWidget* findGrid_;
  QList<ItemRef> found_;
};

}  // namespace morvex::app

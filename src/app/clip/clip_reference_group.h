#pragma once
// The "Referenced by" group of the CLIPINF tab: the playlists that play the clip, as
// the last Find found them (every playlist of the disc read through). A double click
// opens the playlist on its tab, at the PlayItem when the row names one.
#include <QGroupBox>

#include "disc/disc_load.h"
#include "app/shell/app_context.h"
#include "app/shell/navigator.h"

class QTableWidget;

namespace morvex::app {

class ClipReferenceGroup : public QGroupBox {
  Q_OBJECT
public:
  explicit ClipReferenceGroup(AppContext& ctx, QWidget* parent = nullptr);

  // Reads every playlist of the disc and notes which clips each plays.
  void find();
  // Forgets what the last Find found (a new disc).
  void forget();
  // Shows the references of the clip `name`; none before a Find.
  void showClip(const QString& name);

signals:
  void itemWanted(const ItemRef& item);

private:
  void referenceActivated(int row);

  AppContext& ctx_;
  // A copy of the disc's lists with the references the finder filled in, kept until
  // the next load.
  disc::DiscLoad refs_;
  bool refsFound_ = false;
  QTableWidget* refsGrid_ = nullptr;
};

}  // namespace morvex::app

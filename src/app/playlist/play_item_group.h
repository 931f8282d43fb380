#pragma once
// The PlayItems of the PLAYLIST tab with the streams of the selected one: the PlayItem
// grid (typing in place), its angles, the stream counts by kind, the streams of the
// chosen kind with the editors of the selected stream, and "Apply to clpi".
#include <QWidget>
#include <functional>

#include "app/playlist/playlist_edits.h"
#include "app/shell/app_context.h"
#include "app/shell/navigator.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

namespace morvex::app {

class InPlaceEditSwitch;

class PlayItemGroup : public QWidget {
  Q_OBJECT
public:
  PlayItemGroup(AppContext& ctx, PlaylistEdits& edit, QWidget* parent = nullptr);

  // Shows the model, keeping the selected PlayItem where it can.
  void showModel();
  // Empties the tables (no playlist); the stream editors go.
  void clear();
  // Enables what the state allows (a playlist read or not, the selected stream).
  void updateEnabled();
  // A new playlist starts with its video streams.
  void resetStreamKind() { kind_ = 0; }
  // Selects PlayItem `part` (when the playlist has it) and puts the focus on the grid.
  void focusPlayItem(int part);
  InPlaceEditSwitch* editSwitch() const { return editSwitch_; }
  // The PlayItem selected in the grid (-1 for none).
  int selectedPlayItem() const;

signals:
  // A clip to be shown on its own tab.
  void itemWanted(const ItemRef& item);
  // "Apply to clpi" with the selected PlayItem.
  void applyToClipWanted(const morvex::playlist::PlayItem& item);
  // A new IN time moved what hangs on it: the SubPlayItems and marks show anew.
  void timesMoved();

protected:
  bool eventFilter(QObject* o, QEvent* e) override;

private:
  void buildTables();
  void buildStreamEditors();
  void connectPlayItems();
  void connectStreamEditors();

  void showPlayItems();
  void showPlayItemRow(int i);
  void showPlayItem(int i);
  void showStreams(int row = 0);
  void showStreamEditors();
  void updateStreamButtons();
  int selectedStream() const;

  void playItemEdited(QTableWidgetItem* item);
  // The stream editors: one field of the selected stream, then the grid again.
  void editStream(const QString& what,
                  const std::function<bool(playlist::Playlist&, unsigned, playlist::StreamKind, unsigned)>& change);
  void streamFieldEdited(QLineEdit* field);
  void insertStream();
  void deleteStream();
  void applyToClip();

  playlist::Playlist& m() { return edit_.model(); }
  const playlist::Playlist& m() const { return edit_.model(); }

  AppContext& ctx_;
  PlaylistEdits& edit_;
  bool filling_ = false;
  // The stream kind chosen in the counts (a column of the counts table).
  int kind_ = 0;

  QTableWidget* items_;
  InPlaceEditSwitch* editSwitch_;
  QTableWidget* angles_;
  QTableWidget* counts_;
  QTableWidget* streams_;
  QGroupBox* streamEditors_;
  QComboBox *entryType_, *videoCoding_, *videoFormat_, *frameRate_, *audioCoding_, *audioPresentation_, *samplingFrequency_, *language_;
  // HEVC streams (version 0300 playlists): dynamic range, colour space and the two flags.
  QComboBox *dynamicRange_, *colorSpace_;
  QCheckBox *crFlag_, *hdrPlusFlag_;
  QLineEdit *mainPid_, *subPid_, *subClipId_, *subPathId_;
  QLabel *mainPidLabel_, *subPidLabel_, *subClipIdLabel_, *subPathIdLabel_;
  QPushButton *insertStreamButton_, *deleteStreamButton_, *applyToClipButton_;
};

}  // namespace morvex::app

#pragma once
// The PlaylistAppInfo group of the PLAYLIST tab: the playback type and count, the two
// user-operation words with the 32 boxes of the first and bit 30 of the second, and
// the three flags.
#include <QGroupBox>

#include "app/playlist/playlist_edits.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace morvex::app {

class AppInfoGroup : public QGroupBox {
  Q_OBJECT
public:
  AppInfoGroup(PlaylistEdits& edit, QWidget* parent = nullptr);

  // Shows the model; a field being typed into keeps its text.
  void showAppInfo();
  // Empties the fields and the boxes (no playlist).
  void clear();

private:
  void buildUi();
  void connectEditors();
  playlist::Playlist& m() { return edit_.model(); }

  PlaylistEdits& edit_;
  bool filling_ = false;

  QComboBox* playbackType_;
  QLineEdit* playbackCount_;
  QLineEdit *uoMask1_, *uoMask2_;
  QCheckBox *randomAccess_, *audioMix_, *bypassMixer_;
  QCheckBox* sdrConversion_;  // version 0300 playlists only
  QCheckBox* uoBits_[32];
  QCheckBox* uoMask2Bit30_;
};

}  // namespace morvex::app

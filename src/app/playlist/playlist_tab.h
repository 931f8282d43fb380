#pragma once
// The PLAYLIST tab: the playlist list with its Read button, the file's ExtensionData,
// chapter files, and the groups that show and edit the playlist read last
// (PlaylistAppInfo, the PlayItems with their streams, the SubPaths, the marks, and
// the commands that play it). The playlist is a document: every edit is undoable and
// Save writes it through the saving policy.
#include <QString>

#include "playlist/chapters.h"
#include "playlist/mpls.h"
#include "app/playlist/playlist_edits.h"
#include "app/shell/app_context.h"
#include "app/shell/document.h"
#include "app/shell/navigator.h"
#include "app/shell/tab_page.h"

class QComboBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace morvex::app {

class AppInfoGroup;
class InPlaceEditSwitch;
class MarkGroup;
class PlayedByGroup;
class PlayItemGroup;
class SubPathGroup;
class ReadBanner;

class PlaylistTab : public TabPage, public ItemShower {
  Q_OBJECT
public:
  explicit PlaylistTab(AppContext& ctx, QWidget* parent = nullptr);
  ~PlaylistTab() override;

  TabRules rules() const override;
  QUndoStack* undoStack() override { return &undo_; }
  void save() override;
  void find() override;
  void activated() override;
  // Shows the stored chapter format (the Options tab changed it, or the settings
  // were read).
  void showChapterFormat();
  void resetForLoad() override;
  // A playlist ("00001"), with the PlayItem to select in `part`.
  bool showItem(const ItemRef& item) override;

  // The Read button: reads the playlist chosen in the list.
  void readSelected();
  bool loaded() const { return edit_.loaded; }
  QString playlistName() const { return name_; }
  playlist::Playlist& model() { return doc_.model; }
  ModelDocument<playlist::Playlist>& document() { return doc_; }

  // Chapter files (the buttons run these once the file is chosen).
  bool loadChapters(const QString& path, playlist::ChapterFormat format);
  bool saveChapters(const QString& path, playlist::ChapterFormat format);

  InPlaceEditSwitch* playItemEditSwitch() const;
  InPlaceEditSwitch* subPlayItemEditSwitch() const;

signals:
  // The chapter format was chosen here (the Options tab shows the same setting).
  void chapterFormatEdited();
  // A clip or a movie object to be shown on its own tab.
  void itemWanted(const ItemRef& item);
  // "Apply to clpi": the PlayItem's stream attributes go into the clip information of
  // the clip it plays (the CLIPINF tab reads that clip and applies them as an edit).
  void applyToClipWanted(const morvex::playlist::PlayItem& item);

private:
  void buildUi();
  void buildTopRow(QVBoxLayout* lay);
  void connectGroups();
  void fillList();
  void clearScreen();
  void showAll();
  void updateExtDataLabel();
  void updateEnabled();
  void editExtensionData();
  bool writeFile();

  const playlist::Playlist& m() const { return doc_.model; }

  AppContext& ctx_;
  ModelDocument<playlist::Playlist> doc_{QStringLiteral("playlist")};
  QUndoStack undo_;
  PlaylistEdits edit_{undo_, doc_};
  QString name_;

  QComboBox* list_;
  ReadBanner* banner_;
  QPushButton* readButton_;
  QLabel* extDataLabel_;
  QPushButton* extDataButton_;
  QComboBox* chapterFormat_;
  QPushButton *loadChaptersButton_, *saveChaptersButton_;
  AppInfoGroup* appInfo_;
  PlayItemGroup* playItems_;
  SubPathGroup* subPaths_;
  MarkGroup* marks_;
  PlayedByGroup* playedBy_;
};

}  // namespace morvex::app

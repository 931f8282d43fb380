#pragma once
// The PLAYLIST tab: the playlist list with its Read button, the PlaylistAppInfo group
// (playback type and count, the two user-operation words and their 33 boxes, the three
// flags), the PlayItem grid with its angles, the stream counts and streams of the
// selected PlayItem, the SubPaths with their SubPlayItems, the marks, and chapter
// files. The playlist read last is a document: every edit is undoable and Save writes
// it through the saving policy.
#include <QList>
#include <QString>
#include <functional>

#include "playlist/chapters.h"
#include "playlist/mpls.h"
#include "app/shell/app_context.h"
#include "app/shell/document.h"
#include "app/shell/navigator.h"
#include "app/shell/tab_page.h"

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
  void resetForLoad() override;
  // A playlist ("00001"), with the PlayItem to select in `part`.
  bool showItem(const ItemRef& item) override;

  // The Read button: reads the playlist chosen in the list.
  void readSelected();
  bool loaded() const { return loaded_; }
  QString playlistName() const { return name_; }
  playlist::Playlist& model() { return doc_.model; }
  ModelDocument<playlist::Playlist>& document() { return doc_; }

  // Chapter files (the buttons run these once the file is chosen).
  bool loadChapters(const QString& path, playlist::ChapterFormat format);
  bool saveChapters(const QString& path, playlist::ChapterFormat format);

  InPlaceEditSwitch* playItemEditSwitch() const { return piEdit_; }
  InPlaceEditSwitch* subPlayItemEditSwitch() const { return spiEdit_; }

signals:
  // A clip or a movie object to be shown on its own tab.
  void itemWanted(const ItemRef& item);
  // "Apply to clpi": the PlayItem's stream attributes go into the clip information of
  // the clip it plays (the CLIPINF tab reads that clip and applies them as an edit).
  void applyToClipWanted(const morvex::playlist::PlayItem& item);

protected:
  bool eventFilter(QObject* o, QEvent* e) override;

private:
  void buildUi();
  void fillList();
  void clearScreen();
  void showAll();
  void showAppInfo();
  void showPlayItems();
  void showPlayItemRow(int i);
  void showPlayItem(int i);
  void showStreams(int row = 0);
  void showStreamEditors();
  void updateStreamButtons();
  void showSubPaths();
  void showSubPath(int i);
  void showSubPlayItem(int i);
  void showMarks();
  void showMarkRow(int i);
  void showMarkFields(int i);
  void updateExtDataLabel();
  void updateEnabled();
  void warnReferences();

  void playItemEdited(QTableWidgetItem* item);
  void subPlayItemEdited(QTableWidgetItem* item);
  void markTimeEdited();
  void insertSubPath();
  void deleteSubPath();
  void insertMark();
  void deleteMarks();
  void editExtensionData();
  // The stream editors: one field of the selected stream, then the grid again.
  void editStream(const QString& what, const std::function<bool(playlist::Playlist&, unsigned, playlist::StreamKind, unsigned)>& change);
  void streamFieldEdited(QLineEdit* field);
  void insertStream();
  void deleteStream();
  void applyToClip();
  int selectedStream() const;
  void fillFindResults(const QList<ItemRef>& found, const QStringList& texts);
  int selectedPlayItem() const;
  int selectedSubPath() const;
  int selectedMark() const;
  int selectedKind() const { return kind_; }

  // Every change of the playlist goes through here, so it can be undone.
  template <class F>
  bool edit(const QString& what, F&& change, int mergeId = -1) {
    const bool was = editing_;
    editing_ = true;
    const bool changed = editDocuments(undo_, what, mergeId, std::forward<F>(change), doc_);
    editing_ = was;
    return changed;
  }
  playlist::Playlist& m() { return doc_.model; }
  const playlist::Playlist& m() const { return doc_.model; }

  AppContext& ctx_;
  ModelDocument<playlist::Playlist> doc_{QStringLiteral("playlist")};
  QUndoStack undo_;
  QString name_;
  bool loaded_ = false;
  bool filling_ = false;
  bool editing_ = false;
  int kind_ = 0;

  QComboBox* list_;
  QPushButton* read_;
  QLabel* extLabel_;
  QPushButton* extEdit_;
  QComboBox* chapFormat_;
  QPushButton *loadChap_, *saveChap_;
  // PlaylistAppInfo.
  QGroupBox* appGroup_;
  QComboBox* pbType_;
  QLineEdit* pbCount_;
  QLineEdit *uo1_, *uo2_;
  QCheckBox *ra_, *am_, *bm_;
  QCheckBox* uo_[32];
  QCheckBox* uo2_30_;
  // PlayItems and streams.
  QTableWidget* items_;
  QTableWidget* angles_;
  QTableWidget* counts_;
  QTableWidget* streams_;
  QWidget* streamEditors_;
  QComboBox *coEntryType_, *coVideo_, *coResol_, *coFrmRate_, *coAudio_, *coAuType_, *coFreq_, *coLang_;
  QLineEdit *heMainPID_, *heSubPID_, *ieSubClip_, *ieSubPath_;
  QLabel *lMainPID_, *lSubPID_, *lSubClip_, *lSubPath_;
  QPushButton *bbInsSTN_, *bbDelSTN_, *bApply2CI_;
  // Find: the movie-object commands that play this playlist.
  QGroupBox* findGroup_;
  QTableWidget* findGrid_;
  QList<ItemRef> found_;
  InPlaceEditSwitch* piEdit_;
  // SubPaths.
  QTableWidget* subPaths_;
  QComboBox *spType_, *spRepeat_;
  QPushButton *spIns_, *spDel_;
  QTableWidget* subItems_;
  QTableWidget* multiClips_;
  InPlaceEditSwitch* spiEdit_;
  // Marks.
  QTableWidget* marks_;
  QComboBox* markType_;
  QLineEdit *markPI_, *markH_, *markM_, *markS_, *markMs_;
  QPushButton *markIns_, *markDel_;
  QGroupBox* markGroup_;
};

}  // namespace morvex::app

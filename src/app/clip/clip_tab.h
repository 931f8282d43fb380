#pragma once
// The CLIPINF tab: one clip-information file of the disc, chosen from the clip list
// and read into an undoable document. It shows the stream file beside it (or
// "missing file") over the groups that show and edit the file: ClipInfo (application
// type, the ATC delta switch, TS recording rate, packet count, ExtensionData),
// SequenceInfo, ProgramInfo with Extract beside it, Referenced by, and the CPI with
// its EP map. The tab reads and saves the file, checks the packet count against the
// stream's size, plays the stream and finds the playlists that refer to the clip.
#include <QUndoStack>

#include "clip/clpi.h"
#include "core/progress.h"
#include "playlist/mpls.h"
#include "app/clip/clip_edits.h"
#include "app/shell/app_context.h"
#include "app/shell/document.h"
#include "app/shell/navigator.h"
#include "app/shell/tab_page.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace morvex::app {

class ReadBanner;

class InPlaceEditSwitch;
class ClipInfoGroup;
class SequenceGroup;
class ProgramGroup;
class ExtractGroup;
class ClipReferenceGroup;
class EpMapGroup;

// The question asked when the stream file holds another number of packets than the
// clip information says: "The m2ts file contains N packets.\nDo you want to correct
// the packet value of ClipInfo?" with thousands separators.
QString packetCountQuestion(uint64_t packets);

class ClipTab : public TabPage, public ItemShower {
  Q_OBJECT
public:
  explicit ClipTab(AppContext& ctx, QWidget* parent = nullptr);
  ~ClipTab() override;

  TabRules rules() const override;
  QUndoStack* undoStack() override { return &undo_; }
  void activated() override;
  void save() override;
  void find() override;
  // Clips by their five-digit name: selects and reads it.
  bool showItem(const ItemRef& item) override;

  // The Read button: settles unsaved edits first, then reads the selected clip.
  bool readSelected();
  // The packet-count question: the tests answer it; the program shows a dialog.
  using Question = std::function<bool(const QString& text)>;
  void setPacketQuestion(Question q) { packetQuestion_ = std::move(q); }
  // Runs long work off the window thread with progress and Cancel (the window's).
  void setTaskRunner(TaskRunner r);

  // "Save P&ID": the PID of the selected ProgramInfo row into the output folder, in
  // the mode the "Save PID format" options (Options tab) choose. False when nothing could start.
  bool savePid();
  // Where "Save P&ID" writes: the work folder when one is set, else the folder that
  // holds the disc's BDMV folder.
  QString outputFolder() const;
  // The output file of the selected row (empty when no stream row is selected).
  QString outputFileFor(int row) const;

  // "Apply to clpi" from the PLAYLIST tab: the PlayItem's stream attributes go into its
  // clip's information as one undoable edit. The clip is selected and read first unless
  // it is the one shown (unsaved edits of another clip are settled with the user).
  // False when the disc has no such clip or it could not be read whole.
  bool applyPlayItem(const playlist::PlayItem& item);

  ModelDocument<clip::ClipInfo>& document() { return doc_; }
  InPlaceEditSwitch* atcEditSwitch() const;
  bool hasClip() const { return edit_.loaded; }
  QString clipName() const { return edit_.name; }
  // The stream file of the shown clip; empty when it is missing.
  QString streamFile() const { return edit_.streamFile(ctx_); }

signals:
  // Save P&ID asked for the output folder and the user chose one (the work folder).
  void workFolderChosen();
  void itemWanted(const ItemRef& item);
  // A "Save P&ID" run ended; `written` when the output file is in place.
  void extractionFinished(bool written);

private:
  void buildUi();
  void fillList();
  void warnHiddenParts();
  void clearPage();
  void fillPage();
  void showStream();
  void checkPackets(const std::filesystem::path& clpiFile);
  void play();
  void fillReferences();

  AppContext& ctx_;
  ModelDocument<clip::ClipInfo> doc_{QStringLiteral("clip information")};
  ReadBanner* banner_ = nullptr;
  QUndoStack undo_;
  ClipEdits edit_{doc_, undo_};
  Question packetQuestion_;

  QComboBox* list_ = nullptr;
  QPushButton* read_ = nullptr;
  QPushButton* play_ = nullptr;
  QLabel* streamName_ = nullptr;
  QLabel* streamSizeLabel_ = nullptr;
  ClipInfoGroup* info_ = nullptr;
  SequenceGroup* sequences_ = nullptr;
  ProgramGroup* program_ = nullptr;
  ClipReferenceGroup* references_ = nullptr;
  ExtractGroup* extract_ = nullptr;
  EpMapGroup* epMap_ = nullptr;
};

}  // namespace morvex::app

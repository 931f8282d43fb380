#pragma once
// The CLIPINF tab: one clip-information file of the disc, chosen from the clip list
// and read into an undoable document. It shows the stream file beside it (or
// "missing file"), the ClipInfo fields with their edits (application type, the ATC
// delta switch, TS recording rate, packet count), the sequences, the ProgramInfo
// streams and the CPI with its EP map, checks the packet count against the stream's
// size, plays the stream and finds the playlists that refer to the clip.
#include <QPointer>
#include <QUndoStack>

#include "clip/clpi.h"
#include "core/progress.h"
#include "disc/disc_load.h"
#include "playlist/mpls.h"
#include "app/shell/app_context.h"
#include "app/shell/document.h"
#include "app/shell/navigator.h"
#include "app/shell/tab_page.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTableWidget;
class QTableWidgetItem;

namespace morvex::app {

class EpFineModel;
class InPlaceEditSwitch;
class EpCoarseModel;

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
  using TaskRunner = std::function<void(std::function<void(core::Progress&)>, std::function<void(bool)>)>;
  void setTaskRunner(TaskRunner r) { runTask_ = std::move(r); }

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
  InPlaceEditSwitch* atcEditSwitch() const { return atcEdit_; }
  bool hasClip() const { return loaded_; }
  QString clipName() const { return clipName_; }
  // The stream file of the shown clip; empty when it is missing.
  QString streamFile() const;

signals:
  void itemWanted(const ItemRef& item);
  // A "Save P&ID" run ended; `written` when the output file is in place.
  void extractionFinished(bool written);

protected:
  bool eventFilter(QObject* o, QEvent* e) override;

private:
  void fillList();
  void atcCellEdited(QTableWidgetItem* item);
  void insertATCdelta();
  void deleteATCdelta();
  void editExtensionData();
  void warnHiddenParts();
  void clearPage();
  void fillPage();
  void showStream();
  void checkPackets(const std::filesystem::path& clpiFile);
  void edit(const QString& what, const std::function<void(clip::ClipInfo&)>& change);
  void numberEdited(QLineEdit* field, bool packets);
  void play();
  void fillReferences();
  void referenceActivated(int row);
  void updateSavePidButton();
  // "-> M&enu": the stream file and the IG PID of the selected row go to the Menu tab.
  void toMenu();

  AppContext& ctx_;
  ModelDocument<clip::ClipInfo> doc_{QStringLiteral("clip information")};
  QUndoStack undo_;
  bool loaded_ = false;
  bool filling_ = false;
  QString clipName_;
  uint64_t streamSize_ = 0;
  Question packetQuestion_;
  TaskRunner runTask_;
  bool extracting_ = false;
  // The cross references of the last Find (a copy of the disc's lists and the
  // references the finder fills in), kept until the next load.
  disc::DiscLoad refs_;
  bool refsFound_ = false;

  QComboBox* list_ = nullptr;
  QPushButton* read_ = nullptr;
  QPushButton* play_ = nullptr;
  QLabel* streamName_ = nullptr;
  QLabel* streamSizeLabel_ = nullptr;
  QComboBox* appType_ = nullptr;
  QCheckBox* atcDelta_ = nullptr;
  QLineEdit* recRate_ = nullptr;
  QLineEdit* packets_ = nullptr;
  QLabel* extData_ = nullptr;
  QPushButton* extEdit_ = nullptr;
  InPlaceEditSwitch* atcEdit_ = nullptr;
  QTableWidget* atcGrid_ = nullptr;
  QTableWidget* fonts_ = nullptr;
  QTableWidget* sequence_ = nullptr;
  QTableWidget* stc_ = nullptr;
  QTableWidget* program_ = nullptr;
  QTableWidget* epMap_ = nullptr;
  QTableView* epCoarse_ = nullptr;
  QTableView* epFine_ = nullptr;
  EpCoarseModel* coarseModel_ = nullptr;
  EpFineModel* fineModel_ = nullptr;
  QTableWidget* refsGrid_ = nullptr;
  QPushButton* savePid_ = nullptr;
  QPushButton* toMenu_ = nullptr;

};

}  // namespace morvex::app

#include "app/playlist/playlist_tab.h"

#include "core/stream_coding.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

#include "core/extension_data.h"
#include "app/extdata/ext_data_editor.h"
#include "app/playlist/app_info_group.h"
#include "app/playlist/mark_group.h"
#include "app/playlist/play_item_group.h"
#include "app/playlist/played_by_group.h"
#include "app/playlist/sub_path_group.h"
#include "app/shell/qt_text.h"
#include "app/widgets/grid.h"
#include "app/widgets/read_banner.h"
#include "playlist/mpls_reader.h"
#include "playlist/mpls_writer.h"

namespace morvex::app {

namespace pl = morvex::playlist;

PlaylistTab::~PlaylistTab() {
  // The stack empties itself as it goes; nothing is shown any more by then.
  undo_.blockSignals(true);
  doc_.blockSignals(true);
}

PlaylistTab::PlaylistTab(AppContext& ctx, QWidget* parent) : TabPage(parent), ctx_(ctx) {
  setObjectName("playlistTab");
  buildUi();
  ctx_.session.registerDocument(&doc_);
  doc_.saver = [this] { return writeFile(); };
  // Undo and redo replace the model: the screen shows it anew. An edit of ours has
  // already shown itself.
  connect(&undo_, &QUndoStack::indexChanged, this, [this] {
    if (!edit_.busy()) showAll();
  });
  connect(&doc_, &Document::modifiedChanged, this, [this] { Q_EMIT rulesChanged(); });
  connect(&doc_, &Document::discarded, this, [this] {
    undo_.clear();
    showAll();
  });
  // A new disc: the playlist of the previous one is dropped (the session asked about
  // unsaved edits before the load), so nothing of it can be saved into the new folder.
  connect(&ctx_.session, &DiscSession::loaded, this, [this] {
    resetForLoad();
    fillList();
  });
  connect(&ctx_.session, &DiscSession::cleared, this, [this] {
    resetForLoad();
    fillList();
  });
  fillList();
}

void PlaylistTab::buildUi() {
  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(4, 4, 4, 4);
  lay->setSpacing(4);
  buildTopRow(lay);
  banner_ = new ReadBanner(doc_, "playlistReadBanner", this);
  lay->addWidget(banner_);
  connect(banner_, &ReadBanner::logWanted, this, &TabPage::logWanted);
  connect(&doc_, &Document::readStateChanged, this, [this] { Q_EMIT rulesChanged(); });

  auto* split = new QSplitter(Qt::Horizontal, this);
  lay->addWidget(split, 1);
  // Left: PlaylistAppInfo, PlayItems, streams.
  auto* left = new QWidget(split);
  auto* ll = new QVBoxLayout(left);
  ll->setContentsMargins(0, 0, 0, 0);
  appInfo_ = new AppInfoGroup(edit_, left);
  ll->addWidget(appInfo_);
  playItems_ = new PlayItemGroup(ctx_, edit_, left);
  ll->addWidget(playItems_, 1);
  // Right: SubPaths and marks, and what Find found.
  auto* right = new QWidget(split);
  auto* rl = new QVBoxLayout(right);
  rl->setContentsMargins(0, 0, 0, 0);
  subPaths_ = new SubPathGroup(ctx_, edit_, right);
  rl->addWidget(subPaths_, 1);
  marks_ = new MarkGroup(ctx_, edit_, right);
  marks_->selectedPlayItem = [this] { return playItems_->selectedPlayItem(); };
  rl->addWidget(marks_, 1);
  playedBy_ = new PlayedByGroup(ctx_, right);
  rl->addWidget(playedBy_);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 2);
  connectGroups();
}

// The playlist list with Read, the ExtensionData, and the chapter files.
void PlaylistTab::buildTopRow(QVBoxLayout* lay) {
  auto* top = new QHBoxLayout();
  top->addWidget(new QLabel("PlayList", this));
  list_ = makeList("playlistChoice", {}, "Playlists of the disc", this);
  list_->setMinimumContentsLength(5);
  top->addWidget(list_);
  readButton_ = new QPushButton("&Read", this);
  readButton_->setObjectName("readPlaylistButton");
  readButton_->setToolTip("Read the selected playlist");
  top->addWidget(readButton_);
  extDataLabel_ = new QLabel(this);
  extDataLabel_->setObjectName("playlistExtensionDataLabel");
  top->addWidget(extDataLabel_);
  extDataButton_ = new QPushButton("Edit", this);
  extDataButton_->setObjectName("playlistExtensionDataButton");
  extDataButton_->setToolTip("Edit the playlist's ExtensionData");
  top->addWidget(extDataButton_);
  top->addStretch(1);
  chapterFormat_ = makeList("chapterFormatChoice", {"PTS", "Frame", "Time"}, "Chapter file format", this);
  top->addWidget(chapterFormat_);
  // One setting, shown here and on the Options tab ("Chapter format").
  connect(chapterFormat_, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (i < 0 || i == ctx_.settings.chapterFormat) return;
    ctx_.settings.chapterFormat = i;
    Q_EMIT chapterFormatEdited();
  });
  loadChaptersButton_ = new QPushButton("Load chapters", this);
  loadChaptersButton_->setObjectName("loadChaptersButton");
  loadChaptersButton_->setToolTip("Replace the marks by the chapters of a file");
  saveChaptersButton_ = new QPushButton("Save chapters", this);
  saveChaptersButton_->setObjectName("saveChaptersButton");
  saveChaptersButton_->setToolTip("Write the marks as a chapter file");
  top->addWidget(loadChaptersButton_);
  top->addWidget(saveChaptersButton_);
  lay->addLayout(top);

  connect(readButton_, &QPushButton::clicked, this, [this] { readSelected(); });
  connect(list_, &QComboBox::activated, this, [this] {
    Q_EMIT rulesChanged();
    if (ctx_.settings.autoRead) readSelected();
  });
  connect(extDataButton_, &QPushButton::clicked, this, [this] { editExtensionData(); });
  connect(loadChaptersButton_, &QPushButton::clicked, this, [this] {
    const auto f = pl::ChapterFormat(chapterFormat_->currentIndex());
    const QString path = QFileDialog::getOpenFileName(this, "Open chapter file", ctx_.dialogFolder(), "Text (*.txt)");
    if (!path.isEmpty()) loadChapters(path, f);
  });
  connect(saveChaptersButton_, &QPushButton::clicked, this, [this] {
    const auto f = pl::ChapterFormat(chapterFormat_->currentIndex());
    QFileDialog dlg(this, "Save chapter file",
                    ctx_.dialogFolder() + "/" + toQt(pl::defaultChapterFileName(name_.toStdString(), f)), "Text (*.txt)");
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix("txt");
    if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty()) saveChapters(dlg.selectedFiles().front(), f);
  });
}

// The groups lead to other tabs and to one another.
void PlaylistTab::connectGroups() {
  connect(playItems_, &PlayItemGroup::itemWanted, this, &PlaylistTab::itemWanted);
  connect(subPaths_, &SubPathGroup::itemWanted, this, &PlaylistTab::itemWanted);
  connect(playedBy_, &PlayedByGroup::itemWanted, this, &PlaylistTab::itemWanted);
  connect(playItems_, &PlayItemGroup::applyToClipWanted, this, &PlaylistTab::applyToClipWanted);
  connect(playItems_, &PlayItemGroup::timesMoved, this, [this] {
    subPaths_->showSelected();
    marks_->showSelected();
  });
  connect(subPaths_, &SubPathGroup::countChanged, this, &PlaylistTab::updateEnabled);
  connect(marks_, &MarkGroup::countChanged, this, &PlaylistTab::updateEnabled);
}

InPlaceEditSwitch* PlaylistTab::playItemEditSwitch() const { return playItems_->editSwitch(); }
InPlaceEditSwitch* PlaylistTab::subPlayItemEditSwitch() const { return subPaths_->editSwitch(); }

void PlaylistTab::fillList() {
  const QString was = list_->currentText();
  list_->clear();
  if (ctx_.session.isLoaded())
    for (const auto& n : ctx_.session.disc().playlists) list_->addItem(toQt(n));
  const int at = list_->findText(was);
  if (at >= 0) list_->setCurrentIndex(at);
  if (!ctx_.session.isLoaded() && edit_.loaded) {
    edit_.loaded = false;
    clearScreen();
  }
  updateEnabled();
  Q_EMIT rulesChanged();
}

void PlaylistTab::resetForLoad() {
  // The playlist belongs to the previous disc: nothing of it may be saved into the next.
  edit_.loaded = false;
  name_.clear();
  undo_.clear();
  doc_.reset({});
  doc_.setReadResult({});
  clearScreen();
  updateEnabled();
}

void PlaylistTab::showChapterFormat() { chapterFormat_->setCurrentIndex(ctx_.settings.chapterFormat); }

void PlaylistTab::activated() {
  showChapterFormat();
  if (ctx_.settings.autoRead && !edit_.loaded && list_->count() > 0) readSelected();
}

TabRules PlaylistTab::rules() const {
  TabRules r;
  r.saveShown = true;
  // A playlist read only in part is saved once the user allowed it on the banner.
  r.saveEnabled = edit_.loaded && ctx_.session.isLoaded() && !m().playList.playItems.empty() && doc_.writable();
  const QString shown = edit_.loaded ? name_ : list_->currentText();
  r.saveHint = "Save " + shown + toQt(ctx_.names().playlistext);
  r.find = edit_.loaded;
  return r;
}

void PlaylistTab::readSelected() {
  const QString name = list_->currentText();
  if (name.isEmpty() || !ctx_.session.isLoaded()) return;
  // Reading drops the unsaved edits of the playlist read before: the user decides first.
  // Only this tab's own edits are at stake here; the question covers it.
  if (doc_.modified() && !ctx_.session.settle()) {
    // Cancel: the choice goes back to the playlist the tables still hold.
    list_->setCurrentIndex(list_->findText(name_));
    return;
  }
  const auto path = ctx_.session.folder() / "PLAYLIST" / (name.toStdString() + ctx_.names().playlistext);
  pl::Playlist model;
  const auto result = pl::readPlaylistFile(path, model, *ctx_.log);
  undo_.clear();
  doc_.setName(name + toQt(ctx_.names().playlistext));
  doc_.setReadResult(result);
  if (result.refused()) {
    // A refused file leaves nothing to show or save.
    edit_.loaded = false;
    name_.clear();
    doc_.reset({});
    clearScreen();
  } else {
    edit_.loaded = true;
    name_ = name;
    doc_.path = QString::fromStdString(path.string());
    doc_.reset(std::move(model));
    playItems_->resetStreamKind();
    showAll();
    warnReferences(m(), *ctx_.log);
  }
  if (result.complete())
    ctx_.log->statusReady();
  else
    ctx_.log->errorStatus((doc_.name() + " not read whole: see the PLAYLIST tab.").toStdString());
  updateEnabled();
  list_->setFocus();
  Q_EMIT rulesChanged();
}

bool PlaylistTab::showItem(const ItemRef& item) {
  if (item.kind != ItemKind::Playlist) return false;
  const int at = list_->findText(item.name);
  if (at < 0) return false;
  list_->setCurrentIndex(at);
  if (!edit_.loaded || name_ != item.name) readSelected();
  if (!edit_.loaded || name_ != item.name) return false;
  playItems_->focusPlayItem(item.part);
  return true;
}

void PlaylistTab::save() {
  if (!rules().saveEnabled) return;
  doc_.save();
  Q_EMIT rulesChanged();
}

// The document's writer: reached only through Document::save(), after its read check.
bool PlaylistTab::writeFile() {
  if (!edit_.loaded || !ctx_.session.isLoaded()) return false;
  const std::string file = name_.toStdString() + ctx_.names().playlistext;
  if (!pl::savePlaylist(m(), ctx_.session.folder() / "PLAYLIST", file, ctx_.saveSettings(), *ctx_.log)) return false;
  ctx_.log->info(file + " saved.");
  doc_.markSaved();
  return true;
}

// Lists the movie-object commands that play this playlist, in the "Played by" list
// and in the log.
void PlaylistTab::find() {
  if (!edit_.loaded) return;
  playedBy_->findCommands(name_);
}

bool PlaylistTab::loadChapters(const QString& path, pl::ChapterFormat format) {
  if (!marks_->loadChapters(path, format)) return false;
  updateExtDataLabel();
  return true;
}

bool PlaylistTab::saveChapters(const QString& path, pl::ChapterFormat format) {
  return marks_->saveChapters(path, format);
}

void PlaylistTab::editExtensionData() {
  if (!edit_.loaded) return;
  const QString file = name_ + toQt(ctx_.names().playlistext);
  ExtDataEditor dlg(m().extData, file, ctx_.dialogFolder(), *ctx_.log, this);
  if (dlg.exec() != QDialog::Accepted) return;
  edit_(file + " ExtensionData", [&] {
    auto& mm = edit_.model();
    mm.extData = dlg.block();
    // The block follows the mark section; an empty block has no address.
    mm.extDataStart = 0;
    if (!mm.extData.empty()) mm.extDataStart = pl::mplsLayout(mm).fileSize;
  });
  updateExtDataLabel();
}

// ---- showing the model ---------------------------------------------------------------

void PlaylistTab::clearScreen() {
  playItems_->clear();
  subPaths_->clear();
  marks_->clear();
  appInfo_->clear();
  extDataLabel_->clear();
  playedBy_->clear();
}

void PlaylistTab::showAll() {
  if (!edit_.loaded) {
    clearScreen();
    return;
  }
  appInfo_->showAppInfo();
  playItems_->showModel();
  subPaths_->showModel();
  marks_->showModel();
  updateExtDataLabel();
  updateEnabled();
  Q_EMIT rulesChanged();
}

void PlaylistTab::updateExtDataLabel() {
  QString ext = edit_.loaded ? toQt(core::extensionDataCaption(m().extData)) : QString();
  // An Ultra HD playlist's static HDR metadata, in brief.
  std::vector<pl::StaticMetadata> meta;
  if (edit_.loaded && pl::readStaticMetadata(m().extData, meta))
    for (const auto& h : meta)
      ext += QString("; %1 MaxCLL %2, MaxFALL %3, mastering %4/%5")
                 .arg(toQt(core::dynamicRangeTypeName(h.dynamicRangeType)))
                 .arg(h.maxContentLightLevel)
                 .arg(h.maxFrameAverageLightLevel)
                 .arg(h.maxDisplayMasteringLuminance)
                 .arg(h.minDisplayMasteringLuminance);
  extDataLabel_->setText(ext);
}

void PlaylistTab::updateEnabled() {
  const bool on = edit_.loaded;
  readButton_->setEnabled(list_->count() > 0);
  list_->setEnabled(list_->count() > 0);
  appInfo_->setEnabled(on);
  extDataButton_->setEnabled(on);
  playItems_->updateEnabled();
  subPaths_->updateEnabled();
  marks_->updateEnabled();
  // Chapters live in the mark section: a playlist without one has none to load or save.
  const bool markSection = on && m().markStart != 0;
  loadChaptersButton_->setEnabled(markSection);
  saveChaptersButton_->setEnabled(markSection);
}

}  // namespace morvex::app

#include "app/playlist/playlist_tab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSaveFile>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "core/extension_data.h"
#include "app/extdata/ext_data_editor.h"
#include "hdmv/command_edit.h"
#include "hdmv/command_text.h"
#include "playlist/grid_text.h"
#include "playlist/mpls_reader.h"
#include "playlist/mpls_writer.h"
#include "playlist/names.h"
#include "playlist/playlist_edit.h"
#include "playlist/stream_edit.h"
#include "app/widgets/grid.h"
#include "app/widgets/in_place_edit.h"
#include "app/shell/qt_text.h"

namespace morvex::app {

namespace pl = morvex::playlist;

namespace {


QStringList qlist(const pl::Row& row, bool dropFirst = true) {
  QStringList out;
  for (size_t i = dropFirst ? 1 : 0; i < row.size(); ++i) out << toQt(row[i]);
  return out;
}
template <class Span>
QStringList items(Span s) {
  QStringList out;
  for (auto v : s) out << toQt(std::string_view(v));
  return out;
}

void fillRow(QTableWidget* t, int r, const pl::Row& row) {
  for (size_t c = 0; c < row.size() && int(c) < t->columnCount(); ++c) setCell(t, r, int(c), toQt(row[c]));
}

// Rows into a table that keeps its items (and so an open cell editor) where it can;
// without rows it shows one empty row.
void fillTable(QTableWidget* t, const std::vector<pl::Row>& rows) {
  t->setRowCount(std::max<int>(1, int(rows.size())));
  if (rows.empty())
    for (int c = 0; c < t->columnCount(); ++c)
      if (auto* it = t->item(0, c)) it->setText(QString());
  for (size_t r = 0; r < rows.size(); ++r) fillRow(t, int(r), rows[r]);
}

QLineEdit* field(const char* name, const QString& tip, const QString& pattern, int chars, QWidget* parent) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  e->setToolTip(tip);
  e->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), e));
  e->setMaxLength(chars);
  e->setFixedWidth(QFontMetrics(e->font()).horizontalAdvance(QString(chars, QChar('D'))) + 14);
  return e;
}

QString hex8(uint32_t v) { return QString("%1").arg(v, 8, 16, QChar('0')).toUpper(); }

// Typing in one of the AppInfo fields is one undo step until another edit.
constexpr int kMergeCount = 1, kMergeUO1 = 2, kMergeUO2 = 3;

}  // namespace

PlaylistTab::~PlaylistTab() {
  // The stack empties itself as it goes; nothing is shown any more by then.
  undo_.blockSignals(true);
  doc_.blockSignals(true);
}

PlaylistTab::PlaylistTab(AppContext& ctx, QWidget* parent) : TabPage(parent), ctx_(ctx) {
  setObjectName("playlistTab");
  buildUi();
  ctx_.session.registerDocument(&doc_);
  doc_.saver = [this] {
    save();
    return !doc_.modified();
  };
  connect(&undo_, &QUndoStack::indexChanged, this, [this] {
    if (!editing_) showAll();
  });
  connect(&doc_, &Document::modifiedChanged, this, [this] { Q_EMIT rulesChanged(); });
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

  auto* top = new QHBoxLayout();
  top->addWidget(new QLabel("PlayList", this));
  list_ = makeList("playlistChoice", {}, "Playlists of the disc", this);
  list_->setMinimumContentsLength(5);
  top->addWidget(list_);
  read_ = new QPushButton("&Read", this);
  read_->setObjectName("readPlaylistButton");
  read_->setToolTip("Read the selected playlist");
  top->addWidget(read_);
  extLabel_ = new QLabel(this);
  extLabel_->setObjectName("playlistExtensionDataLabel");
  top->addWidget(extLabel_);
  extEdit_ = new QPushButton("Edit", this);
  extEdit_->setObjectName("playlistExtensionDataButton");
  extEdit_->setToolTip("Edit the playlist's ExtensionData");
  top->addWidget(extEdit_);
  top->addStretch(1);
  chapFormat_ = makeList("chapterFormatChoice", {"PTS", "Frame", "Time"}, "Chapter file format", this);
  top->addWidget(chapFormat_);
  loadChap_ = new QPushButton("Load chapters", this);
  loadChap_->setObjectName("loadChaptersButton");
  loadChap_->setToolTip("Replace the marks by the chapters of a file");
  saveChap_ = new QPushButton("Save chapters", this);
  saveChap_->setObjectName("saveChaptersButton");
  saveChap_->setToolTip("Write the marks as a chapter file");
  top->addWidget(loadChap_);
  top->addWidget(saveChap_);
  lay->addLayout(top);

  auto* split = new QSplitter(Qt::Horizontal, this);
  lay->addWidget(split, 1);

  // Left: PlaylistAppInfo, PlayItems, streams.
  auto* left = new QWidget(split);
  auto* ll = new QVBoxLayout(left);
  ll->setContentsMargins(0, 0, 0, 0);
  appGroup_ = new QGroupBox("AppInfoPlayList", left);
  appGroup_->setObjectName("appInfoGroup");
  auto* ag = new QGridLayout(appGroup_);
  ag->setContentsMargins(4, 4, 4, 4);
  ag->setHorizontalSpacing(4);
  ag->setVerticalSpacing(1);
  auto* ar = new QHBoxLayout();
  pbType_ = makeList("playbackTypeChoice", items(pl::playbackTypeItems()), "Playback type", appGroup_);
  pbCount_ = field("playbackCountField", "Playback count for random and shuffle play", "[0-9]{0,4}", 4, appGroup_);
  uo1_ = field("uoMask1Field", "User Operation Mask Table", "[0-9A-Fa-f]{0,8}", 8, appGroup_);
  uo2_ = field("uoMask2Field", "User Operation Mask Table #2", "[0-9A-Fa-f]{0,8}", 8, appGroup_);
  ra_ = new QCheckBox("random access", appGroup_);
  ra_->setObjectName("randomAccessCheck");
  ra_->setToolTip("PlayList_random_access_flag");
  am_ = new QCheckBox("audio mix", appGroup_);
  am_->setObjectName("audioMixCheck");
  am_->setToolTip("audio_mix_app_flag");
  bm_ = new QCheckBox("bypass mixer", appGroup_);
  bm_->setObjectName("losslessBypassCheck");
  bm_->setToolTip("lossless_may_bypass_mixer_flag");
  ar->addWidget(pbType_);
  ar->addWidget(new QLabel("count", appGroup_));
  ar->addWidget(pbCount_);
  ar->addWidget(new QLabel("UO", appGroup_));
  ar->addWidget(uo1_);
  ar->addWidget(new QLabel("UO2", appGroup_));
  ar->addWidget(uo2_);
  ar->addWidget(ra_);
  ar->addWidget(am_);
  ar->addWidget(bm_);
  ar->addStretch(1);
  ag->addLayout(ar, 0, 0, 1, 17);
  // Bits 31..0 of the first word in two rows of sixteen, then bit 30 of the second.
  for (int bit = 31; bit >= 0; --bit) {
    auto* b = new QCheckBox(QString::number(bit), appGroup_);
    b->setObjectName(QString("uoMaskBitCheck%1").arg(bit));
    b->setToolTip(toQt(pl::uoHint(unsigned(bit))));
    uo_[bit] = b;
    const int pos = 31 - bit;
    ag->addWidget(b, 1 + pos / 16, pos % 16);
  }
  uo2_30_ = new QCheckBox("2:30", appGroup_);
  uo2_30_->setObjectName("uoMask2Bit30Check");
  uo2_30_->setToolTip(toQt(pl::uoMask2Hint()));
  ag->addWidget(uo2_30_, 1, 16);
  ll->addWidget(appGroup_);

  items_ = makeTable("playItemTable", qlist(pl::playItemHeader(), false), {34, 52, 40, 92, 92, 92, 72, 72, 28}, left);
  piEdit_ = new InPlaceEditSwitch(items_);
  ll->addWidget(items_, 3);
  auto* sr = new QHBoxLayout();
  angles_ = makeTable("playItemAnglesTable", qlist(pl::angleHeader(), false), {28, 52, 40, 30}, left);
  angles_->setMaximumWidth(200);
  sr->addWidget(angles_);
  auto* sc = new QVBoxLayout();
  counts_ = makeTable("streamCountTable", qlist(pl::stnCountHeader(), false), {30, 30, 30, 30, 30, 30, 30}, left);
  counts_->setSelectionBehavior(QAbstractItemView::SelectItems);
  counts_->setSelectionMode(QAbstractItemView::SingleSelection);
  counts_->horizontalHeader()->setStretchLastSection(false);
  counts_->setFixedHeight(counts_->horizontalHeader()->sizeHint().height() + counts_->verticalHeader()->defaultSectionSize() + 6);
  counts_->setToolTip("Streams of the selected PlayItem by kind: click a kind to list its streams");
  sc->addWidget(counts_);
  sc->addStretch(1);
  sr->addLayout(sc);
  streams_ = makeTable("streamTable", qlist(pl::streamHeader(), false), {34, 60, 44, 40, 40, 44, 180}, left);
  streams_->setSelectionMode(QAbstractItemView::SingleSelection);
  streams_->installEventFilter(this);

  // The editors of the selected stream: where it comes from (the entry) and what it
  // carries (the attributes). Only those that mean something for the stream's kind and
  // entry type are shown.
  streamEditors_ = new QGroupBox("Stream", left);
  streamEditors_->setObjectName("streamEntryGroup");
  auto* eg = new QGridLayout(streamEditors_);
  eg->setContentsMargins(4, 2, 4, 2);
  eg->setHorizontalSpacing(4);
  eg->setVerticalSpacing(2);
  auto small = [](QComboBox* c, int chars) {
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c->setMinimumContentsLength(chars);
    return c;
  };
  auto names = [](std::string_view (*name)(unsigned), unsigned n) {
    QStringList out;
    for (unsigned v = 0; v < n; ++v) out << toQt(name(v));
    return out;
  };
  QStringList langs;
  for (auto l : pl::languageList()) langs << toQt(l);
  coEntryType_ = small(makeList("coEntryType", items(pl::entryTypeItems()), "", streamEditors_), 8);
  coVideo_ = small(makeList("coVideo", items(pl::videoCodingItems()), "", streamEditors_), 8);
  coResol_ = small(makeList("coResol", names(&pl::videoFormatName, 8), "Video format", streamEditors_), 5);
  coFrmRate_ = small(makeList("coFrmRate", names(&pl::frameRateName, 8), "Frame rate", streamEditors_), 5);
  coAudio_ = small(makeList("coAudio", items(pl::audioCodingItems()), "", streamEditors_), 10);
  coAuType_ = small(makeList("coAuType", names(&pl::audioPresentationName, 13), "", streamEditors_), 7);
  coFreq_ = small(makeList("coFreq", names(&pl::samplingFrequencyName, 15), "Sampling frequency", streamEditors_), 7);
  coLang_ = small(makeList("coLang", langs, "Language", streamEditors_), 4);
  coLang_->setMaxVisibleItems(20);
  heMainPID_ = field("mainPidField", "PID of mainClip", "[0-9A-Fa-f]{0,4}", 4, streamEditors_);
  heSubPID_ = field("subPidField", "PID of subClip", "[0-9A-Fa-f]{0,4}", 4, streamEditors_);
  ieSubClip_ = field("subClipField", "subClip entry id", "[0-9]{0,2}", 2, streamEditors_);
  ieSubPath_ = field("subPathField", "SubPath id", "[0-9]{0,2}", 2, streamEditors_);
  lMainPID_ = new QLabel("mPID", streamEditors_);
  lSubPID_ = new QLabel("sPID", streamEditors_);
  lSubClip_ = new QLabel("sCid", streamEditors_);
  lSubPath_ = new QLabel("SPid", streamEditors_);
  bbInsSTN_ = new QPushButton("+", streamEditors_);
  bbInsSTN_->setObjectName("insertStreamButton");
  bbInsSTN_->setToolTip("Insert a stream after the selected one (Insert)");
  bbDelSTN_ = new QPushButton("-", streamEditors_);
  bbDelSTN_->setObjectName("deleteStreamButton");
  bbDelSTN_->setToolTip("Delete the selected stream (Delete)");
  for (QPushButton* b : {bbInsSTN_, bbDelSTN_}) b->setFixedWidth(b->fontMetrics().horizontalAdvance("+") + 24);
  bApply2CI_ = new QPushButton("Apply to clpi", streamEditors_);
  bApply2CI_->setObjectName("applyToClipButton");
  bApply2CI_->setToolTip("Copy the stream attributes of the selected PlayItem into its clip information");
  eg->addWidget(coEntryType_, 0, 0, 1, 2);
  eg->addWidget(bbInsSTN_, 0, 2);
  eg->addWidget(bbDelSTN_, 0, 3);
  eg->addWidget(lMainPID_, 1, 0);
  eg->addWidget(heMainPID_, 1, 1);
  eg->addWidget(lSubPath_, 1, 2);
  eg->addWidget(ieSubPath_, 1, 3);
  eg->addWidget(lSubClip_, 2, 0);
  eg->addWidget(ieSubClip_, 2, 1);
  eg->addWidget(lSubPID_, 2, 2);
  eg->addWidget(heSubPID_, 2, 3);
  eg->addWidget(coVideo_, 3, 0, 1, 4);
  eg->addWidget(coAudio_, 3, 0, 1, 4);
  eg->addWidget(coResol_, 4, 0, 1, 2);
  eg->addWidget(coFrmRate_, 4, 2, 1, 2);
  eg->addWidget(coAuType_, 4, 0, 1, 2);
  eg->addWidget(coFreq_, 4, 2, 1, 2);
  eg->addWidget(coLang_, 5, 0, 1, 2);
  eg->addWidget(bApply2CI_, 6, 0, 1, 4);
  eg->setRowStretch(7, 1);
  // As wide as with every editor shown, so the stream grid keeps its width from kind to kind.
  streamEditors_->setFixedWidth(streamEditors_->sizeHint().width());

  auto* sv = new QVBoxLayout();
  sv->addLayout(sr);
  auto* se = new QHBoxLayout();
  se->addWidget(streams_, 1);
  se->addWidget(streamEditors_);
  sv->addLayout(se, 1);
  ll->addLayout(sv, 2);

  // Right: SubPaths and marks.
  auto* right = new QWidget(split);
  auto* rl = new QVBoxLayout(right);
  rl->setContentsMargins(0, 0, 0, 0);
  auto* spGroup = new QGroupBox("SubPaths", right);
  auto* sg = new QVBoxLayout(spGroup);
  sg->setContentsMargins(4, 4, 4, 4);
  auto* spRow = new QHBoxLayout();
  subPaths_ = makeTable("subPathTable", qlist(pl::subPathHeader(), false), {34, 80, 50, 40}, spGroup);
  subPaths_->setSelectionMode(QAbstractItemView::SingleSelection);
  spRow->addWidget(subPaths_, 1);
  auto* spCtl = new QVBoxLayout();
  QStringList spNames;
  for (unsigned t = 0; t < 8; ++t) spNames << toQt(pl::subPathTypeName(t));
  spType_ = makeList("subPathTypeChoice", spNames, "", spGroup);
  spRepeat_ = makeList("subPathRepeatChoice", {"No", "Yes"}, "Repeat", spGroup);
  spIns_ = new QPushButton("+", spGroup);
  spIns_->setObjectName("insertSubPathButton");
  spIns_->setToolTip("Insert a SubPath");
  spDel_ = new QPushButton("-", spGroup);
  spDel_->setObjectName("deleteSubPathButton");
  spDel_->setToolTip("Delete the selected SubPath");
  spCtl->addWidget(spType_);
  spCtl->addWidget(spRepeat_);
  auto* spb = new QHBoxLayout();
  spb->addWidget(spIns_);
  spb->addWidget(spDel_);
  spCtl->addLayout(spb);
  spCtl->addStretch(1);
  spRow->addLayout(spCtl);
  sg->addLayout(spRow, 1);
  subItems_ = makeTable("subPlayItemTable", qlist(pl::subPlayItemHeader(), false),
                        {34, 52, 40, 36, 36, 32, 92, 92, 46, 92, 28}, spGroup);
  spiEdit_ = new InPlaceEditSwitch(subItems_);
  sg->addWidget(subItems_, 1);
  multiClips_ = makeTable("subPlayItemClipsTable", qlist(pl::angleHeader(), false), {28, 52, 40, 30}, spGroup);
  multiClips_->setMaximumHeight(90);
  sg->addWidget(multiClips_);
  rl->addWidget(spGroup, 1);

  auto* mkGroup = new QGroupBox("PlayListMarks", right);
  auto* mg = new QVBoxLayout(mkGroup);
  mg->setContentsMargins(4, 4, 4, 4);
  marks_ = makeTable("markTable", qlist(pl::markHeader(), false), {34, 84, 34, 92, 60, 60}, mkGroup);
  marks_->installEventFilter(this);
  subPaths_->installEventFilter(this);
  mg->addWidget(marks_, 1);
  auto* mr = new QHBoxLayout();
  markType_ = makeList("cmPLMtype", items(pl::markTypeItems()), "Mark type", mkGroup);
  markPI_ = field("markPlayItemField", "PlayItem of the mark", "[0-9]{0,3}", 3, mkGroup);
  markH_ = field("markHoursField", "Hours", "[0-9]{0,2}", 2, mkGroup);
  markM_ = field("markMinutesField", "Minutes", "[0-9]{0,2}", 2, mkGroup);
  markS_ = field("markSecondsField", "Seconds", "[0-9]{0,2}", 2, mkGroup);
  markMs_ = field("markMillisecondsField", "Milliseconds", "[0-9]{0,3}", 3, mkGroup);
  markIns_ = new QPushButton("+", mkGroup);
  markIns_->setObjectName("insertMarkButton");
  markIns_->setToolTip("Insert a mark after the selected one");
  markDel_ = new QPushButton("-", mkGroup);
  markDel_->setObjectName("deleteMarkButton");
  markDel_->setToolTip("Delete the selected marks");
  markType_->setMinimumWidth(markType_->sizeHint().width());
  for (QPushButton* b : {markIns_, markDel_}) b->setFixedWidth(b->fontMetrics().horizontalAdvance("+") + 30);
  markGroup_ = mkGroup;
  mr->addWidget(markType_);
  mr->addWidget(new QLabel("PI", mkGroup));
  mr->addWidget(markPI_);
  mr->addWidget(new QLabel("time", mkGroup));
  for (QLineEdit* e : {markH_, markM_, markS_, markMs_}) mr->addWidget(e);
  mr->addWidget(markIns_);
  mr->addWidget(markDel_);
  mr->addStretch(1);
  mg->addLayout(mr);
  rl->addWidget(mkGroup, 1);
  // Find fills this list: the movie-object commands that play the playlist. A double
  // click shows the movie object on the BDMV tab.
  auto* fdGroup = findGroup_ = new QGroupBox("Played by", right);
  fdGroup->setObjectName("findGroup");
  auto* fg = new QVBoxLayout(fdGroup);
  fg->setContentsMargins(4, 4, 4, 4);
  findGrid_ = makeTable("findTable", {"MovieObject", "command", "PlayItem", "Command line"}, {80, 60, 60, 160}, fdGroup);
  findGrid_->setSelectionMode(QAbstractItemView::SingleSelection);
  findGrid_->setToolTip("Movie-object commands that play this playlist (Find; double click to show the object)");
  fg->addWidget(findGrid_);
  fdGroup->setMaximumHeight(140);
  fdGroup->hide();
  rl->addWidget(fdGroup);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 2);

  // Reading and chapters.
  connect(read_, &QPushButton::clicked, this, [this] { readSelected(); });
  connect(list_, &QComboBox::activated, this, [this] {
    Q_EMIT rulesChanged();
    if (ctx_.settings.autoRead) readSelected();
  });
  connect(extEdit_, &QPushButton::clicked, this, [this] { editExtensionData(); });
  connect(loadChap_, &QPushButton::clicked, this, [this] {
    const auto f = pl::ChapterFormat(chapFormat_->currentIndex());
    const QString path = QFileDialog::getOpenFileName(this, "Open chapter file", ctx_.dialogFolder(), "Text (*.txt)");
    if (!path.isEmpty()) loadChapters(path, f);
  });
  connect(saveChap_, &QPushButton::clicked, this, [this] {
    const auto f = pl::ChapterFormat(chapFormat_->currentIndex());
    QFileDialog dlg(this, "Save chapter file",
                    ctx_.dialogFolder() + "/" + toQt(pl::defaultChapterFileName(name_.toStdString(), f)), "Text (*.txt)");
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix("txt");
    if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty()) saveChapters(dlg.selectedFiles().front(), f);
  });

  // PlaylistAppInfo.
  connect(pbType_, &QComboBox::activated, this, [this](int i) {
    if (!filling_) edit("Playback type", [&] { pl::setPlaybackType(m(), unsigned(i)); });
  });
  connect(pbCount_, &QLineEdit::textEdited, this, [this](const QString& t) {
    edit("Playback count", [&] { pl::setPlaybackCount(m(), uint16_t(t.toUInt())); }, kMergeCount);
  });
  connect(uo1_, &QLineEdit::textEdited, this, [this](const QString& t) {
    edit("User operations", [&] { pl::setcbUOs(m(), t.toUInt(nullptr, 16), m().appInfo.uoMask2); }, kMergeUO1);
    filling_ = true;
    for (int b = 0; b < 32; ++b) uo_[b]->setChecked(m().appInfo.uoMask1 >> b & 1);
    filling_ = false;
  });
  connect(uo2_, &QLineEdit::textEdited, this, [this](const QString& t) {
    edit("User operations #2", [&] { pl::setcbUOs(m(), m().appInfo.uoMask1, t.toUInt(nullptr, 16)); }, kMergeUO2);
    filling_ = true;
    uo2_30_->setChecked(m().appInfo.uoMask2 >> 30 & 1);
    filling_ = false;
  });
  // Leaving the second word keeps only bit 30: the word can hold no other bit.
  connect(uo2_, &QLineEdit::editingFinished, this, [this] {
    if (!loaded_) return;
    edit("User operations #2", [&] { pl::setcbUOs(m(), m().appInfo.uoMask1, pl::uoMask2Accepted(m().appInfo.uoMask2)); });
    showAppInfo();
  });
  for (QLineEdit* e : {pbCount_, uo1_, uo2_})
    connect(e, &QLineEdit::returnPressed, this, [this] { appGroup_->setFocus(); });
  for (int b = 0; b < 32; ++b)
    connect(uo_[b], &QCheckBox::toggled, this, [this, b](bool on) {
      if (filling_) return;
      edit(QString("User operation %1").arg(b), [&] { pl::setUOBit(m(), unsigned(b), on); });
      showAppInfo();
    });
  connect(uo2_30_, &QCheckBox::toggled, this, [this](bool on) {
    if (filling_) return;
    edit("User operation #2 30", [&] { pl::setUO2Bit30(m(), on); });
    showAppInfo();
  });
  const std::pair<QCheckBox*, pl::AppFlag> flags[] = {
      {ra_, pl::AppFlag::RandomAccess}, {am_, pl::AppFlag::AudioMix}, {bm_, pl::AppFlag::BypassMixer}};
  for (const auto& bf : flags)
    connect(bf.first, &QCheckBox::toggled, this, [this, box = bf.first, flag = bf.second](bool on) {
      if (!filling_) edit(box->text(), [&] { pl::setAppFlag(m(), flag, on); });
    });

  // PlayItems and streams.
  connect(items_, &QTableWidget::currentCellChanged, this, [this](int r) {
    if (!filling_) showPlayItem(r);
  });
  connect(items_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* it) { playItemEdited(it); });
  connect(items_, &QTableWidget::cellDoubleClicked, this, [this](int r) {
    if (piEdit_->editing() || r < 0 || r >= int(m().playList.playItems.size())) return;
    Q_EMIT itemWanted(ItemRef{ItemKind::Clip, toQt(m().playList.playItems[size_t(r)].clipName)});
  });
  connect(angles_, &QTableWidget::cellDoubleClicked, this, [this](int r) {
    const QString clip = angles_->item(r, 1) ? angles_->item(r, 1)->text() : QString();
    if (!clip.isEmpty()) Q_EMIT itemWanted(ItemRef{ItemKind::Clip, clip});
  });
  connect(counts_, &QTableWidget::currentCellChanged, this, [this](int, int c) {
    if (filling_ || c < 0) return;
    kind_ = c;
    showStreams();
  });
  connect(streams_, &QTableWidget::currentCellChanged, this, [this] {
    if (!filling_) showStreamEditors();
  });
  connect(bbInsSTN_, &QPushButton::clicked, this, [this] { insertStream(); });
  connect(bbDelSTN_, &QPushButton::clicked, this, [this] { deleteStream(); });
  connect(bApply2CI_, &QPushButton::clicked, this, [this] { applyToClip(); });
  using SF = pl::StreamField;
  connect(coEntryType_, &QComboBox::activated, this, [this](int i) {
    editStream("Stream entry type", [i](pl::Playlist& mm, unsigned p, pl::StreamKind k, unsigned s) {
      return pl::setStreamField(mm, p, k, s, SF::EntryType, unsigned(i));
    });
    warnReferences();
  });
  connect(coVideo_, &QComboBox::activated, this, [this](int i) {
    if (i < 0 || i >= int(pl::videoCodingValues().size())) return;
    editStream("Video coding type", [i](pl::Playlist& mm, unsigned p, pl::StreamKind k, unsigned s) {
      return pl::setStreamField(mm, p, k, s, SF::CodingType, pl::videoCodingValues()[size_t(i)]);
    });
  });
  connect(coAudio_, &QComboBox::activated, this, [this](int i) {
    if (i < 0 || i >= int(pl::audioCodingValues().size())) return;
    editStream("Audio coding type", [i](pl::Playlist& mm, unsigned p, pl::StreamKind k, unsigned s) {
      return pl::setStreamField(mm, p, k, s, SF::CodingType, pl::audioCodingValues()[size_t(i)]);
    });
  });
  const std::tuple<QComboBox*, SF, const char*> valueLists[] = {{coResol_, SF::VideoFormat, "Video format"},
                                                                 {coFrmRate_, SF::FrameRate, "Frame rate"},
                                                                 {coAuType_, SF::AudioPresentation, "Audio presentation type"},
                                                                 {coFreq_, SF::SamplingFrequency, "Sampling frequency"}};
  for (const auto& [box, f, what] : valueLists)
    connect(box, &QComboBox::activated, this, [this, f = f, what = what](int i) {
      editStream(what, [i, f](pl::Playlist& mm, unsigned p, pl::StreamKind k, unsigned s) {
                   return pl::setStreamField(mm, p, k, s, f, unsigned(i));
                 });
    });
  connect(coLang_, &QComboBox::activated, this, [this](int i) {
    const std::string code = coLang_->itemText(i).toStdString();
    editStream("Stream language", [code](pl::Playlist& mm, unsigned p, pl::StreamKind k, unsigned s) {
      return pl::setStreamLanguage(mm, p, k, s, code);
    });
  });
  for (QLineEdit* e : {heMainPID_, heSubPID_, ieSubClip_, ieSubPath_}) {
    connect(e, &QLineEdit::editingFinished, this, [this, e] { streamFieldEdited(e); });
    // Enter hands the focus back to the stream counts, which stores the field.
    connect(e, &QLineEdit::returnPressed, this, [this] { counts_->setFocus(); });
  }
  connect(findGrid_, &QTableWidget::cellDoubleClicked, this, [this](int r) {
    if (r >= 0 && r < found_.size()) Q_EMIT itemWanted(found_[r]);
  });

  // SubPaths.
  connect(subPaths_, &QTableWidget::currentCellChanged, this, [this](int r) {
    if (!filling_) showSubPath(r);
  });
  connect(spIns_, &QPushButton::clicked, this, [this] { insertSubPath(); });
  connect(spDel_, &QPushButton::clicked, this, [this] { deleteSubPath(); });
  connect(spType_, &QComboBox::activated, this, [this](int t) {
    const int s = selectedSubPath();
    if (s < 0) return;
    edit("SubPath type", [&] { pl::setSubPathType(m(), unsigned(s), unsigned(t)); });
    showSubPath(s);
  });
  connect(spRepeat_, &QComboBox::activated, this, [this](int r) {
    const int s = selectedSubPath();
    if (s < 0) return;
    edit("SubPath repeat", [&] { pl::setSubPathRepeat(m(), unsigned(s), r == 1); });
    showSubPath(s);
  });
  connect(subItems_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* it) { subPlayItemEdited(it); });
  connect(subItems_, &QTableWidget::currentCellChanged, this, [this](int r) {
    if (!filling_) showSubPlayItem(r);
  });
  connect(subItems_, &QTableWidget::cellDoubleClicked, this, [this](int r) {
    const int s = selectedSubPath();
    if (spiEdit_->editing() || s < 0) return;
    const auto& sp = m().playList.subPaths[size_t(s)];
    if (r >= 0 && r < int(sp.subPlayItems.size()))
      Q_EMIT itemWanted(ItemRef{ItemKind::Clip, toQt(sp.subPlayItems[size_t(r)].clipName)});
  });
  connect(multiClips_, &QTableWidget::cellDoubleClicked, this, [this](int r) {
    const QString clip = multiClips_->item(r, 1) ? multiClips_->item(r, 1)->text() : QString();
    if (!clip.isEmpty()) Q_EMIT itemWanted(ItemRef{ItemKind::Clip, clip});
  });

  // Marks.
  connect(marks_, &QTableWidget::currentCellChanged, this, [this](int r) {
    if (!filling_) showMarkFields(r);
  });
  connect(markIns_, &QPushButton::clicked, this, [this] { insertMark(); });
  connect(markDel_, &QPushButton::clicked, this, [this] { deleteMarks(); });
  connect(markType_, &QComboBox::activated, this, [this](int i) {
    const int k = selectedMark();
    if (k < 0) return;
    edit("Mark type", [&] { pl::setMarkType(m(), unsigned(k), unsigned(i)); });
    showMarkRow(k);
  });
  connect(markPI_, &QLineEdit::editingFinished, this, [this] {
    const int k = selectedMark();
    if (k < 0 || filling_) return;
    edit("Mark PlayItem", [&] { pl::setMarkPlayItem(m(), unsigned(k), uint16_t(markPI_->text().toUInt())); });
    showMarkRow(k);
    warnReferences();
  });
  for (QLineEdit* e : {markH_, markM_, markS_, markMs_})
    connect(e, &QLineEdit::editingFinished, this, [this] { markTimeEdited(); });
  // Enter walks from the PlayItem field through the time fields to the type list.
  QWidget* chain[] = {markPI_, markH_, markM_, markS_, markMs_, markType_};
  for (int i = 0; i < 5; ++i)
    connect(static_cast<QLineEdit*>(chain[i]), &QLineEdit::returnPressed, this,
            [next = chain[i + 1]] { next->setFocus(); });
}

void PlaylistTab::fillList() {
  filling_ = true;
  const QString was = list_->currentText();
  list_->clear();
  if (ctx_.session.isLoaded())
    for (const auto& n : ctx_.session.disc().playlists) list_->addItem(toQt(n));
  const int at = list_->findText(was);
  if (at >= 0) list_->setCurrentIndex(at);
  filling_ = false;
  if (!ctx_.session.isLoaded() && loaded_) {
    loaded_ = false;
    clearScreen();
  }
  updateEnabled();
  Q_EMIT rulesChanged();
}

void PlaylistTab::resetForLoad() {
  // The playlist belongs to the previous disc: nothing of it may be saved into the next.
  loaded_ = false;
  name_.clear();
  undo_.clear();
  doc_.reset({});
  clearScreen();
  updateEnabled();
}

void PlaylistTab::activated() {
  if (ctx_.settings.autoRead && !loaded_ && list_->count() > 0) readSelected();
}

TabRules PlaylistTab::rules() const {
  TabRules r;
  r.saveShown = true;
  r.saveEnabled = loaded_ && ctx_.session.isLoaded() && !m().playList.playItems.empty();
  const QString shown = loaded_ ? name_ : list_->currentText();
  r.saveHint = "Save " + shown + toQt(ctx_.names().playlistext);
  r.find = loaded_;
  return r;
}

void PlaylistTab::readSelected() {
  const QString name = list_->currentText();
  if (name.isEmpty() || !ctx_.session.isLoaded()) return;
  // Reading drops the unsaved edits of the playlist read before: the user decides first.
  // Only this tab's own edits are at stake here; the question covers it.
  if (doc_.modified() && !ctx_.session.settle()) return;
  const auto path = ctx_.session.folder() / "PLAYLIST" / (name.toStdString() + ctx_.names().playlistext);
  pl::Playlist model;
  const auto result = pl::readPlaylistFile(path, model, *ctx_.log);
  undo_.clear();
  if (result.refused()) {
    // A refused file leaves nothing to show or save.
    loaded_ = false;
    name_.clear();
    doc_.reset({});
    clearScreen();
  } else {
    loaded_ = true;
    name_ = name;
    doc_.setName(name + toQt(ctx_.names().playlistext));
    doc_.path = QString::fromStdString(path.string());
    doc_.reset(std::move(model));
    kind_ = 0;
    showAll();
    warnReferences();
  }
  ctx_.log->statusReady();
  updateEnabled();
  list_->setFocus();
  Q_EMIT rulesChanged();
}

bool PlaylistTab::showItem(const ItemRef& item) {
  if (item.kind != ItemKind::Playlist) return false;
  const int at = list_->findText(item.name);
  if (at < 0) return false;
  list_->setCurrentIndex(at);
  if (!loaded_ || name_ != item.name) readSelected();
  if (!loaded_ || name_ != item.name) return false;
  if (item.part >= 0 && item.part < int(m().playList.playItems.size())) items_->selectRow(item.part);
  items_->setFocus();
  return true;
}

void PlaylistTab::save() {
  if (!rules().saveEnabled) return;
  if (pl::savePlaylist(m(), ctx_.session.folder() / "PLAYLIST", name_.toStdString() + ctx_.names().playlistext,
                       ctx_.saveSettings(), *ctx_.log))
    doc_.markSaved();
  Q_EMIT rulesChanged();
}

// Lists the movie-object commands that play this playlist, in the "Played by" list
// and in the log.
void PlaylistTab::find() {
  if (!loaded_) return;
  const uint32_t number = name_.toUInt();
  const auto& objects = ctx_.session.movieObjects.model.movieObjects.objects;
  QList<ItemRef> found;
  QStringList lines;
  std::vector<pl::Row> rows;
  ctx_.log->info("Movie-object commands playing " + name_.toStdString() + ":");
  for (size_t o = 0; o < objects.size(); ++o)
    for (size_t l = 0; l < objects[o].commands.size(); ++l) {
      const auto t = hdmv::followCommand(objects[o].commands, int(l));
      if (t.kind != hdmv::FollowTarget::PlayList || t.number != number) continue;
      found << ItemRef{ItemKind::MovieObject, QString(), int(o), int(l)};
      std::string line = "  MovieObject " + std::to_string(o) + ", command " + std::to_string(l);
      if (t.playItem) line += ", PlayItem " + std::to_string(*t.playItem);
      ctx_.log->info(line);
      const auto text = hdmv::comm2str(objects[o].commands[l], int(l), hdmv::CmdContext::MovieObject);
      rows.push_back({std::to_string(o), std::to_string(l), t.playItem ? std::to_string(*t.playItem) : std::string("-"),
                      hdmv::splitCommandCell(text.cells[4]).text});
    }
  if (found.isEmpty()) ctx_.log->info("  none found");
  found_ = found;
  filling_ = true;
  fillTable(findGrid_, rows);
  findGrid_->setEnabled(!rows.empty());
  filling_ = false;
  findGroup_->setTitle(QString("Played by (%1)").arg(found_.size()));
  findGroup_->show();
}

// ---- showing the model ---------------------------------------------------------------

void PlaylistTab::clearScreen() {
  filling_ = true;
  for (QTableWidget* t : {items_, angles_, counts_, streams_, subPaths_, subItems_, multiClips_, marks_}) {
    t->clearContents();
    t->setRowCount(1);
  }
  angles_->hide();
  multiClips_->hide();
  extLabel_->clear();
  findGroup_->hide();
  found_.clear();
  markGroup_->setTitle("PlayListMarks");
  for (QLineEdit* e : {pbCount_, uo1_, uo2_, markPI_, markH_, markM_, markS_, markMs_}) e->clear();
  for (auto* b : uo_) b->setChecked(false);
  uo2_30_->setChecked(false);
  filling_ = false;
  showStreamEditors();  // no stream: the editors go
}

void PlaylistTab::showAll() {
  if (!loaded_) {
    clearScreen();
    return;
  }
  const int pi = items_->currentRow(), sp = subPaths_->currentRow(), mk = marks_->currentRow();
  showAppInfo();
  showPlayItems();
  showSubPaths();
  showMarks();
  updateExtDataLabel();
  filling_ = true;
  const int npi = int(m().playList.playItems.size()), nsp = int(m().playList.subPaths.size()),
            nmk = int(m().playListMark.marks.size());
  if (npi > 0) items_->setCurrentCell(std::clamp(pi, 0, npi - 1), 0);
  if (nsp > 0) subPaths_->setCurrentCell(std::clamp(sp, 0, nsp - 1), 0);
  if (nmk > 0) marks_->setCurrentCell(std::clamp(mk, 0, nmk - 1), 0);
  filling_ = false;
  showPlayItem(items_->currentRow());
  showSubPath(subPaths_->currentRow());
  showMarkFields(marks_->currentRow());
  updateEnabled();
  Q_EMIT rulesChanged();
}

void PlaylistTab::showAppInfo() {
  filling_ = true;
  const auto& a = m().appInfo;
  pbType_->setCurrentIndex(a.playbackType >= 1 && a.playbackType <= 3 ? a.playbackType - 1 : -1);
  if (!pbCount_->hasFocus()) pbCount_->setText(QString::number(a.playbackCount));
  if (!uo1_->hasFocus()) uo1_->setText(hex8(a.uoMask1));
  if (!uo2_->hasFocus()) uo2_->setText(hex8(a.uoMask2));
  for (int b = 0; b < 32; ++b) uo_[b]->setChecked(a.uoMask1 >> b & 1);
  uo2_30_->setChecked(a.uoMask2 >> 30 & 1);
  ra_->setChecked(a.randomAccessFlag);
  am_->setChecked(a.audioMixAppFlag);
  bm_->setChecked(a.losslessMayBypassMixerFlag);
  filling_ = false;
}

void PlaylistTab::showPlayItems() {
  filling_ = true;
  const auto& pis = m().playList.playItems;
  std::vector<pl::Row> rows;
  rows.reserve(pis.size());
  for (size_t i = 0; i < pis.size(); ++i) rows.push_back(pl::playItemRow(pis[i], unsigned(i)));
  fillTable(items_, rows);
  filling_ = false;
}

void PlaylistTab::showPlayItemRow(int i) {
  if (i < 0 || i >= int(m().playList.playItems.size())) return;
  filling_ = true;
  fillRow(items_, i, pl::playItemRow(m().playList.playItems[size_t(i)], unsigned(i)));
  filling_ = false;
}

int PlaylistTab::selectedPlayItem() const {
  const int r = items_->currentRow();
  return r >= 0 && r < int(m().playList.playItems.size()) ? r : -1;
}

void PlaylistTab::showPlayItem(int i) {
  filling_ = true;
  angles_->clearContents();
  counts_->clearContents();
  if (i < 0 || i >= int(m().playList.playItems.size())) {
    angles_->hide();
    filling_ = false;
    showStreams();
    return;
  }
  const auto& pi = m().playList.playItems[size_t(i)];
  const auto rows = pl::angleRows(pi);
  angles_->setVisible(!rows.empty());
  angles_->setRowCount(std::max<int>(1, int(rows.size())));
  for (size_t r = 0; r < rows.size(); ++r) fillRow(angles_, int(r), rows[r]);
  fillRow(counts_, 0, pl::stnCountRow(pi.stn));
  counts_->setCurrentCell(0, kind_);
  filling_ = false;
  showStreams();
}

void PlaylistTab::showStreams(int row) {
  filling_ = true;
  streams_->clearContents();
  streams_->setRowCount(1);
  const int p = selectedPlayItem();
  if (p >= 0) {
    const auto rows = pl::streamRows(m().playList.playItems[size_t(p)].stn, pl::StreamKind(kind_));
    streams_->setRowCount(std::max<int>(1, int(rows.size())));
    for (size_t r = 0; r < rows.size(); ++r) fillRow(streams_, int(r), rows[r]);
    if (!rows.empty()) streams_->setCurrentCell(std::clamp(row, 0, int(rows.size()) - 1), 0);
  }
  filling_ = false;
  showStreamEditors();
}

int PlaylistTab::selectedStream() const {
  const int p = selectedPlayItem();
  if (p < 0) return -1;
  const int r = streams_->currentRow();
  const unsigned n = pl::streamCount(m().playList.playItems[size_t(p)].stn, pl::StreamKind(kind_));
  return r >= 0 && unsigned(r) < n ? r : -1;
}

// The editors of the selected stream: the entry type with the fields it uses, then the
// attributes the kind has. Lists whose value has a hint show it; for a value without
// one the hint shown before stays.
void PlaylistTab::showStreamEditors() {
  filling_ = true;
  const int p = selectedPlayItem(), r = selectedStream();
  const pl::Stream* s = r >= 0 ? pl::streamAt(m().playList.playItems[size_t(p)].stn, pl::StreamKind(kind_), unsigned(r)) : nullptr;
  const pl::StreamEditors ed = s ? pl::streamEditors(pl::StreamKind(kind_), s->entry.type) : pl::StreamEditors{};
  auto show = [](QWidget* w, bool on) { w->setVisible(on); };
  show(coEntryType_, ed.entryType);
  show(heMainPID_, ed.mainPID), show(lMainPID_, ed.mainPID);
  show(heSubPID_, ed.subPID), show(lSubPID_, ed.subPID);
  show(ieSubClip_, ed.subClipId), show(lSubClip_, ed.subClipId);
  show(ieSubPath_, ed.subPathId), show(lSubPath_, ed.subPathId);
  for (QWidget* w : {coVideo_, coResol_, coFrmRate_}) show(w, ed.video);
  for (QWidget* w : {coAudio_, coAuType_, coFreq_}) show(w, ed.audio);
  show(coLang_, ed.language);
  if (s) {
    const auto& e = s->entry;
    const auto& a = s->attr;
    coEntryType_->setCurrentIndex(e.type < unsigned(coEntryType_->count()) ? int(e.type) : -1);
    if (pl::entryTypeHasHint(e.type)) coEntryType_->setToolTip(toQt(pl::entryTypeHint(e.type)));
    if (!heMainPID_->hasFocus()) heMainPID_->setText(QString("%1").arg(e.mainPID, 4, 16, QChar('0')).toUpper());
    if (!heSubPID_->hasFocus()) heSubPID_->setText(QString("%1").arg(e.subPID, 4, 16, QChar('0')).toUpper());
    if (!ieSubClip_->hasFocus()) ieSubClip_->setText(QString::number(e.subClipId));
    if (!ieSubPath_->hasFocus()) ieSubPath_->setText(QString::number(e.subPathId));
    const int vi = pl::videoCodingIndex(a.codingType), ai = pl::audioCodingIndex(a.codingType);
    coVideo_->setCurrentIndex(vi);
    if (vi >= 0) coVideo_->setToolTip(toQt(pl::videoCodingHint(vi)));
    coAudio_->setCurrentIndex(ai);
    if (ai >= 0) coAudio_->setToolTip(toQt(pl::audioCodingHint(ai)));
    auto pick = [](QComboBox* c, unsigned v) { c->setCurrentIndex(v < unsigned(c->count()) ? int(v) : -1); };
    pick(coResol_, a.videoFormat);
    pick(coFrmRate_, a.frameRate);
    pick(coAuType_, a.audioPresentation);
    if (!pl::audioPresentationHint(a.audioPresentation).empty())
      coAuType_->setToolTip(toQt(pl::audioPresentationHint(a.audioPresentation)));
    pick(coFreq_, a.samplingFrequency);
    // A code the list does not hold shows no selection; it stays stored until the user picks one.
    coLang_->setCurrentIndex(pl::languageIndex(a.language));
  }
  filling_ = false;
  updateStreamButtons();
}

void PlaylistTab::updateStreamButtons() {
  const int p = selectedPlayItem();
  const bool on = loaded_ && p >= 0;
  const pl::StreamTable* stn = on ? &m().playList.playItems[size_t(p)].stn : nullptr;
  const auto kind = pl::StreamKind(kind_);
  bbInsSTN_->setEnabled(stn && pl::canInsertStream(*stn, kind));
  // The last primary audio stream stays: the button is off rather than doing nothing.
  bbDelSTN_->setEnabled(stn && pl::canDeleteStream(*stn, kind) &&
                        !(kind == pl::StreamKind::Audio && pl::streamCount(*stn, kind) < 2) && selectedStream() >= 0);
  bApply2CI_->setEnabled(on && ctx_.session.isLoaded());
}

void PlaylistTab::showSubPaths() {
  filling_ = true;
  const auto& sps = m().playList.subPaths;
  std::vector<pl::Row> rows;
  for (size_t i = 0; i < sps.size(); ++i) rows.push_back(pl::subPathRow(sps[i], unsigned(i)));
  fillTable(subPaths_, rows);
  filling_ = false;
}

int PlaylistTab::selectedSubPath() const {
  const int r = subPaths_->currentRow();
  return r >= 0 && r < int(m().playList.subPaths.size()) ? r : -1;
}

void PlaylistTab::showSubPath(int i) {
  filling_ = true;
  const bool has = i >= 0 && i < int(m().playList.subPaths.size());
  std::vector<pl::Row> rows;
  spType_->setEnabled(has);
  spRepeat_->setEnabled(false);
  if (has) {
    const auto& sp = m().playList.subPaths[size_t(i)];
    fillRow(subPaths_, i, pl::subPathRow(sp, unsigned(i)));
    spType_->setCurrentIndex(sp.type < 8 ? sp.type : -1);
    spType_->setToolTip(toQt(pl::subPathTypeHint(sp.type)));
    spRepeat_->setCurrentIndex(sp.repeat == 1 ? 1 : 0);
    spRepeat_->setEnabled(sp.type == 2);
    for (size_t k = 0; k < sp.subPlayItems.size(); ++k) rows.push_back(pl::subPlayItemRow(sp.subPlayItems[k], unsigned(k)));
  }
  fillTable(subItems_, rows);
  filling_ = false;
  showSubPlayItem(has ? std::max(0, subItems_->currentRow()) : -1);
}

void PlaylistTab::showSubPlayItem(int k) {
  filling_ = true;
  multiClips_->clearContents();
  multiClips_->setRowCount(1);
  std::vector<pl::Row> rows;
  const int s = selectedSubPath();
  if (s >= 0) {
    const auto& sp = m().playList.subPaths[size_t(s)];
    if (k >= 0 && k < int(sp.subPlayItems.size())) rows = pl::multiClipRows(sp.subPlayItems[size_t(k)]);
  }
  multiClips_->setVisible(!rows.empty());
  multiClips_->setRowCount(std::max<int>(1, int(rows.size())));
  for (size_t r = 0; r < rows.size(); ++r) fillRow(multiClips_, int(r), rows[r]);
  filling_ = false;
}

void PlaylistTab::showMarks() {
  filling_ = true;
  const auto& mk = m().playListMark.marks;
  std::vector<pl::Row> rows;
  rows.reserve(mk.size());
  for (size_t i = 0; i < mk.size(); ++i) rows.push_back(pl::markLine(mk[i], unsigned(i)));
  fillTable(marks_, rows);
  // The count sits in the caption, where a narrow window cannot cut it off.
  markGroup_->setTitle(QString("PlayListMarks (%1)").arg(mk.size()));
  filling_ = false;
}

void PlaylistTab::showMarkRow(int i) {
  if (i < 0 || i >= int(m().playListMark.marks.size())) return;
  filling_ = true;
  fillRow(marks_, i, pl::markLine(m().playListMark.marks[size_t(i)], unsigned(i)));
  filling_ = false;
  showMarkFields(i);
}

int PlaylistTab::selectedMark() const {
  const int r = marks_->currentRow();
  return r >= 0 && r < int(m().playListMark.marks.size()) ? r : -1;
}

void PlaylistTab::showMarkFields(int i) {
  filling_ = true;
  const bool has = i >= 0 && i < int(m().playListMark.marks.size());
  for (QWidget* w : std::initializer_list<QWidget*>{markType_, markPI_, markH_, markM_, markS_, markMs_})
    w->setEnabled(has);
  if (has) {
    const auto& mk = m().playListMark.marks[size_t(i)];
    markType_->setCurrentIndex(mk.type >= 1 && mk.type <= 2 ? mk.type - 1 : -1);
    markPI_->setText(QString::number(mk.playItemRef));
    const auto f = pl::markTimeFields(mk.timeStamp);
    markH_->setText(QString::number(f.hours));
    markM_->setText(QString::number(f.minutes));
    markS_->setText(QString::number(f.seconds));
    markMs_->setText(QString::number(f.milliseconds));
  } else {
    for (QLineEdit* e : {markPI_, markH_, markM_, markS_, markMs_}) e->clear();
  }
  filling_ = false;
}

void PlaylistTab::updateExtDataLabel() {
  extLabel_->setText(loaded_ ? toQt(core::extensionDataCaption(m().extData)) : QString());
}

void PlaylistTab::updateEnabled() {
  const bool on = loaded_;
  read_->setEnabled(list_->count() > 0);
  list_->setEnabled(list_->count() > 0);
  for (QWidget* w : std::initializer_list<QWidget*>{appGroup_, items_, counts_, streams_, subPaths_, subItems_,
                                                     extEdit_, saveChap_, streamEditors_})
    w->setEnabled(on);
  updateStreamButtons();
  const bool markSection = on && m().markStart != 0;
  loadChap_->setEnabled(markSection);
  saveChap_->setEnabled(markSection);
  spIns_->setEnabled(on && pl::canInsertSubPath(m()));
  spDel_->setEnabled(on && !m().playList.subPaths.empty());
  markIns_->setEnabled(on && pl::canInsertMark(m()));
  markDel_->setEnabled(on && !m().playListMark.marks.empty());
  marks_->setEnabled(on && !m().playListMark.marks.empty());
  if (!on)
    for (QWidget* w : std::initializer_list<QWidget*>{spType_, spRepeat_, markType_, markPI_, markH_, markM_, markS_, markMs_})
      w->setEnabled(false);
}

// References that point nowhere are kept as they stand (a player may still make
// sense of them), but the user should know.
void PlaylistTab::warnReferences() {
  const auto& pl_ = m().playList;
  const size_t npi = pl_.playItems.size(), nsp = pl_.subPaths.size();
  for (size_t k = 0; k < m().playListMark.marks.size(); ++k) {
    const auto ref = m().playListMark.marks[k].playItemRef;
    if (ref >= npi)
      ctx_.log->warning("Mark " + std::to_string(k) + " refers to PlayItem " + std::to_string(ref) + ", but the playlist has " +
                        std::to_string(npi) + " PlayItem(s)");
  }
  for (size_t p = 0; p < npi; ++p)
    for (int kind = 0; kind < 7; ++kind) {
      const auto& stn = pl_.playItems[p].stn;
      for (unsigned s = 0; s < pl::streamCount(stn, pl::StreamKind(kind)); ++s) {
        const pl::Stream* st = pl::streamAt(stn, pl::StreamKind(kind), s);
        if (!st || (st->entry.type != 2 && st->entry.type != 3)) continue;
        if (st->entry.subPathId < nsp) continue;
        ctx_.log->warning("PlayItem " + std::to_string(p) + ": a " + std::string(pl::stnCountHeader()[size_t(kind)]) +
                          " stream refers to SubPath " + std::to_string(st->entry.subPathId) + ", but the playlist has " +
                          std::to_string(nsp) + " SubPath(s)");
      }
    }
}

// ---- edits ------------------------------------------------------------------------------

// The field a column of the PlayItem grid shows (column 0 is the row number).
static std::optional<pl::PlayItemField> playItemField(int column) {
  if (column < 1 || column > 8) return std::nullopt;
  return pl::PlayItemField(column - 1);
}

// The field a column of the SubPlayItem grid shows (column 0 is the row number).
static std::optional<pl::SubPlayItemField> subPlayItemField(int column) {
  if (column < 1 || column > 10) return std::nullopt;
  return pl::SubPlayItemField(column - 1);
}

void PlaylistTab::playItemEdited(QTableWidgetItem* it) {
  if (filling_ || !loaded_) return;
  const int r = it->row(), c = it->column();
  if (r < 0 || r >= int(m().playList.playItems.size())) return;
  const std::string text = it->text().toStdString();
  pl::InTimeCascade cascade;
  if (playItemField(c) == pl::PlayItemField::InTime && text.size() == 12 && text.find(' ') == std::string::npos) {
    // Moving the IN time may move what hangs on it: the user decides, question by question.
    for (const auto& question : pl::inTimeQuestions(m(), unsigned(r), pl::time2ticks(text))) {
      QMessageBox box(QMessageBox::Question, "Confirm", toQt(question), QMessageBox::Yes | QMessageBox::No, this);
      box.setObjectName("inTimeQuestion");
      const bool yes = box.exec() == QMessageBox::Yes;
      if (question == pl::kAskUpdateOut) cascade.updateOut = yes;
      else if (question == pl::kAskUpdateSubPlayItems) cascade.updateSubPlayItems = yes;
      else if (question == pl::kAskUpdateMarks) cascade.updateMarks = yes;
    }
  }
  edit(QString("PlayItem %1 %2").arg(r).arg(items_->horizontalHeaderItem(c)->text()),
       [&] {
         if (auto field = playItemField(c)) pl::setPlayItemCell(m(), unsigned(r), *field, text, cascade);
       });
  // The cell shows what the model holds (a refused value goes back), and whatever
  // the cascade moved shows too.
  QTimer::singleShot(0, this, [this, r] {
    showPlayItemRow(r);
    showSubPath(subPaths_->currentRow());
    showMarks();
    showMarkFields(marks_->currentRow());
  });
}

void PlaylistTab::subPlayItemEdited(QTableWidgetItem* it) {
  if (filling_ || !loaded_) return;
  const int s = selectedSubPath();
  if (s < 0) return;
  const int r = it->row(), c = it->column();
  if (r < 0 || r >= int(m().playList.subPaths[size_t(s)].subPlayItems.size())) return;
  const std::string text = it->text().toStdString();
  edit(QString("SubPlayItem %1 %2").arg(r).arg(subItems_->horizontalHeaderItem(c)->text()),
       [&] {
         if (auto field = subPlayItemField(c)) pl::setSubPlayItemCell(m(), unsigned(s), unsigned(r), *field, text);
       });
  QTimer::singleShot(0, this, [this, s, r] {
    if (s >= int(m().playList.subPaths.size())) return;
    const auto& sp = m().playList.subPaths[size_t(s)];
    if (r >= int(sp.subPlayItems.size())) return;
    filling_ = true;
    fillRow(subItems_, r, pl::subPlayItemRow(sp.subPlayItems[size_t(r)], unsigned(r)));
    filling_ = false;
  });
}

void PlaylistTab::markTimeEdited() {
  const int k = selectedMark();
  if (k < 0 || filling_) return;
  pl::MarkTimeFields f{markH_->text().toInt(), markM_->text().toInt(), markS_->text().toInt(), markMs_->text().toInt()};
  edit("Mark time", [&] { pl::setMarkTime(m(), unsigned(k), f); });
  showMarkRow(k);
}

void PlaylistTab::insertSubPath() {
  if (!loaded_ || !pl::canInsertSubPath(m())) return;
  std::optional<unsigned> at;
  edit("Insert SubPath", [&] { at = pl::insertSubPath(m(), selectedSubPath()); });
  showSubPaths();
  if (at) subPaths_->setCurrentCell(int(*at), 0);
  showSubPath(subPaths_->currentRow());
  updateEnabled();
}

void PlaylistTab::deleteSubPath() {
  const int s = selectedSubPath();
  if (s < 0) return;
  std::optional<int> next;
  edit("Delete SubPath", [&] { next = pl::deleteSubPath(m(), unsigned(s)); });
  showSubPaths();
  if (next && *next >= 0) subPaths_->setCurrentCell(*next, 0);
  showSubPath(next ? *next : -1);
  updateEnabled();
  warnReferences();
}

void PlaylistTab::insertMark() {
  if (!loaded_ || !pl::canInsertMark(m())) return;
  const int after = m().playListMark.marks.empty() ? -1 : lastSelectedRow(marks_);
  std::optional<unsigned> at;
  edit("Insert mark", [&] { at = pl::insertMark(m(), after); });
  showMarks();
  updateEnabled();
  if (at) marks_->setCurrentCell(int(*at), 0);
  showMarkFields(selectedMark());
}

void PlaylistTab::deleteMarks() {
  if (m().playListMark.marks.empty()) return;
  auto [a, b] = selectedRows(marks_);
  const int n = int(m().playListMark.marks.size());
  if (a < 0 || a >= n) return;
  b = std::min(b, n - 1);
  std::optional<int> next;
  edit("Delete marks", [&] { next = pl::deleteMarks(m(), unsigned(a), unsigned(b)); });
  showMarks();
  updateEnabled();
  if (next && *next >= 0) marks_->setCurrentCell(*next, 0);
  showMarkFields(selectedMark());
}

void PlaylistTab::editStream(const QString& what,
                             const std::function<bool(pl::Playlist&, unsigned, pl::StreamKind, unsigned)>& change) {
  if (filling_ || !loaded_) return;
  const int p = selectedPlayItem(), r = selectedStream();
  if (r < 0) return;
  edit(what, [&] { change(m(), unsigned(p), pl::StreamKind(kind_), unsigned(r)); });
  showStreams(r);
}

void PlaylistTab::streamFieldEdited(QLineEdit* e) {
  const int p = selectedPlayItem(), r = selectedStream();
  if (filling_ || !loaded_ || r < 0) return;
  const pl::Stream* s = pl::streamAt(m().playList.playItems[size_t(p)].stn, pl::StreamKind(kind_), unsigned(r));
  if (!s) return;
  const bool hex = e == heMainPID_ || e == heSubPID_;
  bool ok = false;
  const unsigned v = e->text().toUInt(&ok, hex ? 16 : 10);
  using SF = pl::StreamField;
  const SF f = e == heMainPID_ ? SF::MainPID : e == heSubPID_ ? SF::SubPID : e == ieSubClip_ ? SF::SubClipId : SF::SubPathId;
  const unsigned now = f == SF::MainPID ? s->entry.mainPID
                       : f == SF::SubPID ? s->entry.subPID
                       : f == SF::SubClipId ? s->entry.subClipId
                                            : s->entry.subPathId;
  // An emptied field is not a value: it shows the stored one again.
  if (!ok || v == now) {
    showStreamEditors();
    return;
  }
  static const char* const what[] = {"", "PID of mainClip", "PID of subClip", "SubPath id", "subClip entry id"};
  editStream(what[int(f)], [f, v](pl::Playlist& mm, unsigned pi, pl::StreamKind k, unsigned si) {
    return pl::setStreamField(mm, pi, k, si, f, v);
  });
  if (f == SF::SubPathId) warnReferences();
}

void PlaylistTab::insertStream() {
  const int p = selectedPlayItem();
  if (!loaded_ || p < 0 || !bbInsSTN_->isEnabled()) return;
  std::optional<unsigned> at;
  edit("Insert stream", [&] { at = pl::insertStream(m(), unsigned(p), pl::StreamKind(kind_), selectedStream()); });
  if (!at) return;
  filling_ = true;
  fillRow(counts_, 0, pl::stnCountRow(m().playList.playItems[size_t(p)].stn));
  fillRow(items_, p, pl::playItemRow(m().playList.playItems[size_t(p)], unsigned(p)));
  filling_ = false;
  showStreams(int(*at));
}

void PlaylistTab::deleteStream() {
  const int p = selectedPlayItem(), r = selectedStream();
  if (!loaded_ || r < 0 || !bbDelSTN_->isEnabled()) return;
  std::optional<int> next;
  edit("Delete stream", [&] { next = pl::deleteStream(m(), unsigned(p), pl::StreamKind(kind_), unsigned(r)); });
  if (!next) return;
  filling_ = true;
  fillRow(counts_, 0, pl::stnCountRow(m().playList.playItems[size_t(p)].stn));
  filling_ = false;
  showStreams(std::max(0, *next));
}

void PlaylistTab::applyToClip() {
  const int p = selectedPlayItem();
  if (!loaded_ || p < 0) return;
  Q_EMIT applyToClipWanted(m().playList.playItems[size_t(p)]);
}

void PlaylistTab::editExtensionData() {
  if (!loaded_) return;
  const QString file = name_ + toQt(ctx_.names().playlistext);
  ExtDataEditor dlg(m().extData, file, ctx_.dialogFolder(), *ctx_.log, this);
  if (dlg.exec() != QDialog::Accepted) return;
  edit(file + " ExtensionData", [&] {
    m().extData = dlg.block();
    // The block follows the mark section; an empty block has no address.
    m().extDataStart = 0;
    if (!m().extData.empty()) m().extDataStart = pl::mplsLayout(m()).fileSize;
  });
  updateExtDataLabel();
}

bool PlaylistTab::loadChapters(const QString& path, pl::ChapterFormat format) {
  if (!loaded_) return false;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    ctx_.log->errorLine("Cannot read " + path.toStdString() + ": " + f.errorString().toStdString());
    return false;
  }
  const QByteArray bytes = f.readAll();
  // The import works on a copy: a refused file changes nothing.
  pl::Playlist copy = m();
  const auto result = pl::importChapters(copy, std::string_view(bytes.constData(), size_t(bytes.size())), format, *ctx_.log);
  if (!result.ok) {
    ctx_.log->errorLine("Chapters not loaded: " + result.error);
    return false;
  }
  edit("Load chapters", [&] { m() = std::move(copy); });
  showMarks();
  updateEnabled();
  if (!m().playListMark.marks.empty()) marks_->setCurrentCell(0, 0);
  showMarkFields(selectedMark());
  updateExtDataLabel();
  return true;
}

bool PlaylistTab::saveChapters(const QString& path, pl::ChapterFormat format) {
  if (!loaded_) return false;
  const auto result = pl::exportChapters(m(), format);
  if (!result.ok) {
    ctx_.log->errorLine("Chapters not saved: " + result.error);
    return false;
  }
  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(result.text.data(), qint64(result.text.size())) != qint64(result.text.size()) ||
      !f.commit()) {
    ctx_.log->errorLine("Cannot write " + path.toStdString() + ": " + f.errorString().toStdString());
    return false;
  }
  ctx_.log->info("Chapters written to " + path.toStdString());
  return true;
}

bool PlaylistTab::eventFilter(QObject* o, QEvent* e) {
  if (e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (o == marks_) {
      if (k->key() == Qt::Key_Insert) return insertMark(), true;
      if (k->key() == Qt::Key_Delete) return deleteMarks(), true;
      if (k->matches(QKeySequence::SelectAll)) return marks_->selectAll(), true;
    } else if (o == streams_) {
      if (k->key() == Qt::Key_Insert) return insertStream(), true;
      if (k->key() == Qt::Key_Delete) return deleteStream(), true;
    } else if (o == subPaths_) {
      if (k->key() == Qt::Key_Insert) return insertSubPath(), true;
      if (k->key() == Qt::Key_Delete) return deleteSubPath(), true;
    }
  }
  return TabPage::eventFilter(o, e);
}

}  // namespace morvex::app

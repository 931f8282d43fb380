#include "app/playlist/play_item_group.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>
#include <span>
#include <tuple>

#include "app/playlist/playlist_grid.h"
#include "app/widgets/grid.h"
#include "app/widgets/in_place_edit.h"
#include "playlist/names.h"
#include "playlist/playlist_edit.h"
#include "playlist/stream_edit.h"

namespace morvex::app {

namespace pl = morvex::playlist;

// The field a column of the PlayItem grid shows (column 0 is the row number).
static std::optional<pl::PlayItemField> playItemField(int column) {
  if (column < 1 || column > 8) return std::nullopt;
  return pl::PlayItemField(column - 1);
}

PlayItemGroup::PlayItemGroup(AppContext& ctx, PlaylistEdits& edit, QWidget* parent)
    : QWidget(parent), ctx_(ctx), edit_(edit) {
  setObjectName("playItemPanel");
  buildTables();
  connectPlayItems();
  connectStreamEditors();
}

// The PlayItem grid above; below it the angles and the stream counts, then the streams
// of the chosen kind beside the editors of the selected stream.
void PlayItemGroup::buildTables() {
  auto* ll = new QVBoxLayout(this);
  ll->setContentsMargins(0, 0, 0, 0);
  items_ = makeTable("playItemTable", qlist(pl::playItemHeader(), false), {34, 52, 40, 92, 92, 92, 72, 72, 28}, this);
  editSwitch_ = new InPlaceEditSwitch(items_);
  ll->addWidget(items_, 3);
  auto* sr = new QHBoxLayout();
  angles_ = makeTable("playItemAnglesTable", qlist(pl::angleHeader(), false), {28, 52, 40, 30}, this);
  angles_->setMaximumWidth(200);
  sr->addWidget(angles_);
  auto* sc = new QVBoxLayout();
  counts_ = makeTable("streamCountTable", qlist(pl::stnCountHeader(), false), {30, 30, 30, 30, 30, 30, 30}, this);
  counts_->setSelectionBehavior(QAbstractItemView::SelectItems);
  counts_->setSelectionMode(QAbstractItemView::SingleSelection);
  counts_->horizontalHeader()->setStretchLastSection(false);
  counts_->setFixedHeight(counts_->horizontalHeader()->sizeHint().height() + counts_->verticalHeader()->defaultSectionSize() + 6);
  counts_->setToolTip("Streams of the selected PlayItem by kind: click a kind to list its streams");
  sc->addWidget(counts_);
  sc->addStretch(1);
  sr->addLayout(sc);
  streams_ = makeTable("streamTable", qlist(pl::streamHeader(), false), {34, 60, 44, 40, 40, 44, 180}, this);
  streams_->setSelectionMode(QAbstractItemView::SingleSelection);
  streams_->installEventFilter(this);
  buildStreamEditors();

  auto* sv = new QVBoxLayout();
  sv->addLayout(sr);
  auto* se = new QHBoxLayout();
  se->addWidget(streams_, 1);
  se->addWidget(streamEditors_);
  sv->addLayout(se, 1);
  ll->addLayout(sv, 2);
}

// The editors of the selected stream: where it comes from (the entry) and what it
// carries (the attributes). Only those that mean something for the stream's kind and
// entry type are shown.
void PlayItemGroup::buildStreamEditors() {
  streamEditors_ = new QGroupBox("Stream", this);
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
  QGroupBox* g = streamEditors_;
  entryType_ = small(makeList("coEntryType", items(pl::entryTypeItems()), "", g), 8);
  videoCoding_ = small(makeList("coVideo", items(pl::videoCodingItems()), "", g), 8);
  videoFormat_ = small(makeList("coResol", names(&pl::videoFormatName, 9), "Video format", g), 5);
  QStringList ranges, spaces;
  for (uint8_t v : core::dynamicRangeTypeValues()) ranges << toQt(core::dynamicRangeTypeName(v));
  for (uint8_t v : core::colorSpaceValues()) spaces << toQt(core::colorSpaceName(v));
  dynamicRange_ = small(makeList("dynamicRangeChoice", ranges, "Dynamic range type (HEVC)", g), 7);
  colorSpace_ = small(makeList("colorSpaceChoice", spaces, "Colour space (HEVC)", g), 5);
  crFlag_ = new QCheckBox("CR", g);
  crFlag_->setObjectName("crFlagCheck");
  crFlag_->setToolTip("CR flag (HEVC)");
  hdrPlusFlag_ = new QCheckBox("HDR10+", g);
  hdrPlusFlag_->setObjectName("hdrPlusCheck");
  hdrPlusFlag_->setToolTip("HDR10+ dynamic metadata present (HEVC)");
  frameRate_ = small(makeList("coFrmRate", names(&pl::frameRateName, 8), "Frame rate", g), 5);
  audioCoding_ = small(makeList("coAudio", items(pl::audioCodingItems()), "", g), 10);
  audioPresentation_ = small(makeList("coAuType", names(&pl::audioPresentationName, 13), "", g), 7);
  samplingFrequency_ = small(makeList("coFreq", names(&pl::samplingFrequencyName, 15), "Sampling frequency", g), 7);
  language_ = small(makeList("coLang", langs, "Language", g), 4);
  language_->setMaxVisibleItems(20);
  mainPid_ = field("mainPidField", "PID of mainClip", "[0-9A-Fa-f]{0,4}", 4, g);
  subPid_ = field("subPidField", "PID of subClip", "[0-9A-Fa-f]{0,4}", 4, g);
  subClipId_ = field("subClipField", "subClip entry id", "[0-9]{0,2}", 2, g);
  subPathId_ = field("subPathField", "SubPath id", "[0-9]{0,2}", 2, g);
  mainPidLabel_ = new QLabel("mPID", g);
  subPidLabel_ = new QLabel("sPID", g);
  subClipIdLabel_ = new QLabel("sCid", g);
  subPathIdLabel_ = new QLabel("SPid", g);
  insertStreamButton_ = new QPushButton("+", g);
  insertStreamButton_->setObjectName("insertStreamButton");
  insertStreamButton_->setToolTip("Insert a stream after the selected one (Insert)");
  deleteStreamButton_ = new QPushButton("-", g);
  deleteStreamButton_->setObjectName("deleteStreamButton");
  deleteStreamButton_->setToolTip("Delete the selected stream (Delete)");
  for (QPushButton* b : {insertStreamButton_, deleteStreamButton_}) b->setFixedWidth(b->fontMetrics().horizontalAdvance("+") + 24);
  applyToClipButton_ = new QPushButton("Apply to clpi", g);
  applyToClipButton_->setObjectName("applyToClipButton");
  applyToClipButton_->setToolTip("Copy the stream attributes of the selected PlayItem into its clip information");
  eg->addWidget(entryType_, 0, 0, 1, 2);
  eg->addWidget(insertStreamButton_, 0, 2);
  eg->addWidget(deleteStreamButton_, 0, 3);
  eg->addWidget(mainPidLabel_, 1, 0);
  eg->addWidget(mainPid_, 1, 1);
  eg->addWidget(subPathIdLabel_, 1, 2);
  eg->addWidget(subPathId_, 1, 3);
  eg->addWidget(subClipIdLabel_, 2, 0);
  eg->addWidget(subClipId_, 2, 1);
  eg->addWidget(subPidLabel_, 2, 2);
  eg->addWidget(subPid_, 2, 3);
  // Video and audio attributes share their rows: a stream has one or the other.
  eg->addWidget(videoCoding_, 3, 0, 1, 4);
  eg->addWidget(audioCoding_, 3, 0, 1, 4);
  eg->addWidget(videoFormat_, 4, 0, 1, 2);
  eg->addWidget(frameRate_, 4, 2, 1, 2);
  eg->addWidget(audioPresentation_, 4, 0, 1, 2);
  eg->addWidget(samplingFrequency_, 4, 2, 1, 2);
  eg->addWidget(language_, 5, 0, 1, 2);
  eg->addWidget(dynamicRange_, 5, 0, 1, 2);
  eg->addWidget(colorSpace_, 5, 2, 1, 2);
  eg->addWidget(crFlag_, 6, 0, 1, 2);
  eg->addWidget(hdrPlusFlag_, 6, 2, 1, 2);
  eg->addWidget(applyToClipButton_, 7, 0, 1, 4);
  eg->setRowStretch(8, 1);
  // As wide as with every editor shown, so the stream grid keeps its width from kind to kind.
  streamEditors_->setFixedWidth(streamEditors_->sizeHint().width());
}

void PlayItemGroup::connectPlayItems() {
  connect(items_, &QTableWidget::currentCellChanged, this, [this](int r) {
    if (!filling_) showPlayItem(r);
  });
  connect(items_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* it) { playItemEdited(it); });
  connect(items_, &QTableWidget::cellDoubleClicked, this, [this](int r) {
    if (editSwitch_->editing() || r < 0 || r >= int(m().playList.playItems.size())) return;
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
  connect(insertStreamButton_, &QPushButton::clicked, this, [this] { insertStream(); });
  connect(deleteStreamButton_, &QPushButton::clicked, this, [this] { deleteStream(); });
  connect(applyToClipButton_, &QPushButton::clicked, this, [this] { applyToClip(); });
}

void PlayItemGroup::connectStreamEditors() {
  using SF = pl::StreamField;
  connect(entryType_, &QComboBox::activated, this, [this](int i) {
    editStream("Stream entry type", [i](pl::Playlist& mm, unsigned p, pl::StreamKind k, unsigned s) {
      return pl::setStreamField(mm, p, k, s, SF::EntryType, unsigned(i));
    });
    warnReferences(m(), *ctx_.log);
  });
  connect(videoCoding_, &QComboBox::activated, this, [this](int i) {
    if (i < 0 || i >= int(pl::videoCodingValues().size())) return;
    editStream("Video coding type", [i](pl::Playlist& mm, unsigned p, pl::StreamKind k, unsigned s) {
      return pl::setStreamField(mm, p, k, s, SF::CodingType, pl::videoCodingValues()[size_t(i)]);
    });
  });
  connect(audioCoding_, &QComboBox::activated, this, [this](int i) {
    if (i < 0 || i >= int(pl::audioCodingValues().size())) return;
    editStream("Audio coding type", [i](pl::Playlist& mm, unsigned p, pl::StreamKind k, unsigned s) {
      return pl::setStreamField(mm, p, k, s, SF::CodingType, pl::audioCodingValues()[size_t(i)]);
    });
  });
  const std::tuple<QComboBox*, SF, const char*> valueLists[] = {{videoFormat_, SF::VideoFormat, "Video format"},
                                                                 {frameRate_, SF::FrameRate, "Frame rate"},
                                                                 {audioPresentation_, SF::AudioPresentation, "Audio presentation type"},
                                                                 {samplingFrequency_, SF::SamplingFrequency, "Sampling frequency"}};
  for (const auto& [box, f, what] : valueLists)
    connect(box, &QComboBox::activated, this, [this, f = f, what = what](int i) {
      editStream(what, [i, f](pl::Playlist& mm, unsigned p, pl::StreamKind k, unsigned s) {
                   return pl::setStreamField(mm, p, k, s, f, unsigned(i));
                 });
    });
  // The HEVC lists hold the named values only; the item's index picks the value.
  const std::tuple<QComboBox*, SF, std::span<const uint8_t>, const char*> hevcLists[] = {
      {dynamicRange_, SF::DynamicRangeType, core::dynamicRangeTypeValues(), "Dynamic range type"},
      {colorSpace_, SF::ColorSpace, core::colorSpaceValues(), "Colour space"}};
  for (const auto& [box, f, values, what] : hevcLists)
    connect(box, &QComboBox::activated, this, [this, f = f, values = values, what = what](int i) {
      if (i < 0 || i >= int(values.size())) return;
      const unsigned v = values[size_t(i)];
      editStream(what, [v, f](pl::Playlist& mm, unsigned p, pl::StreamKind k, unsigned s) {
        return pl::setStreamField(mm, p, k, s, f, v);
      });
    });
  const std::tuple<QCheckBox*, SF, const char*> hevcFlags[] = {{crFlag_, SF::CrFlag, "CR flag"},
                                                                {hdrPlusFlag_, SF::HdrPlusFlag, "HDR10+ flag"}};
  for (const auto& [box, f, what] : hevcFlags)
    connect(box, &QCheckBox::clicked, this, [this, f = f, what = what](bool on) {
      editStream(what, [on, f](pl::Playlist& mm, unsigned p, pl::StreamKind k, unsigned s) {
        return pl::setStreamField(mm, p, k, s, f, on ? 1u : 0u);
      });
    });
  connect(language_, &QComboBox::activated, this, [this](int i) {
    const std::string code = language_->itemText(i).toStdString();
    editStream("Stream language", [code](pl::Playlist& mm, unsigned p, pl::StreamKind k, unsigned s) {
      return pl::setStreamLanguage(mm, p, k, s, code);
    });
  });
  for (QLineEdit* e : {mainPid_, subPid_, subClipId_, subPathId_}) {
    connect(e, &QLineEdit::editingFinished, this, [this, e] { streamFieldEdited(e); });
    // Enter hands the focus back to the stream counts, which stores the field.
    connect(e, &QLineEdit::returnPressed, this, [this] { counts_->setFocus(); });
  }
}

// ---- showing the model ---------------------------------------------------------------

void PlayItemGroup::showModel() {
  const int pi = items_->currentRow();
  showPlayItems();
  filling_ = true;
  const int npi = int(m().playList.playItems.size());
  if (npi > 0) items_->setCurrentCell(std::clamp(pi, 0, npi - 1), 0);
  filling_ = false;
  showPlayItem(items_->currentRow());
}

void PlayItemGroup::clear() {
  filling_ = true;
  for (QTableWidget* t : {items_, angles_, counts_, streams_}) {
    t->clearContents();
    t->setRowCount(1);
  }
  angles_->hide();
  filling_ = false;
  showStreamEditors();  // no stream: the editors go
}

void PlayItemGroup::updateEnabled() {
  for (QWidget* w : std::initializer_list<QWidget*>{items_, counts_, streams_, streamEditors_}) w->setEnabled(edit_.loaded);
  updateStreamButtons();
}

void PlayItemGroup::focusPlayItem(int part) {
  if (part >= 0 && part < int(m().playList.playItems.size())) items_->selectRow(part);
  items_->setFocus();
}

void PlayItemGroup::showPlayItems() {
  filling_ = true;
  const auto& pis = m().playList.playItems;
  std::vector<pl::Row> rows;
  rows.reserve(pis.size());
  for (size_t i = 0; i < pis.size(); ++i) rows.push_back(pl::playItemRow(pis[i], unsigned(i)));
  fillTable(items_, rows);
  filling_ = false;
}

void PlayItemGroup::showPlayItemRow(int i) {
  if (i < 0 || i >= int(m().playList.playItems.size())) return;
  filling_ = true;
  fillRow(items_, i, pl::playItemRow(m().playList.playItems[size_t(i)], unsigned(i)));
  filling_ = false;
}

int PlayItemGroup::selectedPlayItem() const {
  const int r = items_->currentRow();
  return r >= 0 && r < int(m().playList.playItems.size()) ? r : -1;
}

void PlayItemGroup::showPlayItem(int i) {
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

void PlayItemGroup::showStreams(int row) {
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

int PlayItemGroup::selectedStream() const {
  const int p = selectedPlayItem();
  if (p < 0) return -1;
  const int r = streams_->currentRow();
  const unsigned n = pl::streamCount(m().playList.playItems[size_t(p)].stn, pl::StreamKind(kind_));
  return r >= 0 && unsigned(r) < n ? r : -1;
}

// The editors of the selected stream: the entry type with the fields it uses, then the
// attributes the kind has. Lists whose value has a hint show it; for a value without
// one the hint shown before stays.
void PlayItemGroup::showStreamEditors() {
  filling_ = true;
  const int p = selectedPlayItem(), r = selectedStream();
  const pl::Stream* s = r >= 0 ? pl::streamAt(m().playList.playItems[size_t(p)].stn, pl::StreamKind(kind_), unsigned(r)) : nullptr;
  const pl::StreamEditors ed = s ? pl::streamEditors(pl::StreamKind(kind_), s->entry.type) : pl::StreamEditors{};
  auto show = [](QWidget* w, bool on) { w->setVisible(on); };
  show(entryType_, ed.entryType);
  show(mainPid_, ed.mainPID), show(mainPidLabel_, ed.mainPID);
  show(subPid_, ed.subPID), show(subPidLabel_, ed.subPID);
  show(subClipId_, ed.subClipId), show(subClipIdLabel_, ed.subClipId);
  show(subPathId_, ed.subPathId), show(subPathIdLabel_, ed.subPathId);
  for (QWidget* w : {videoCoding_, videoFormat_, frameRate_}) show(w, ed.video);
  const bool hevc = ed.video && s && core::isCoding(s->attr.codingType, core::StreamCoding::Hevc);
  for (QWidget* w : std::initializer_list<QWidget*>{dynamicRange_, colorSpace_, crFlag_, hdrPlusFlag_}) show(w, hevc);
  for (QWidget* w : {audioCoding_, audioPresentation_, samplingFrequency_}) show(w, ed.audio);
  show(language_, ed.language);
  if (s) {
    const auto& e = s->entry;
    const auto& a = s->attr;
    entryType_->setCurrentIndex(e.type < unsigned(entryType_->count()) ? int(e.type) : -1);
    if (pl::entryTypeHasHint(e.type)) entryType_->setToolTip(toQt(pl::entryTypeHint(e.type)));
    if (!mainPid_->hasFocus()) mainPid_->setText(QString("%1").arg(e.mainPID, 4, 16, QChar('0')).toUpper());
    if (!subPid_->hasFocus()) subPid_->setText(QString("%1").arg(e.subPID, 4, 16, QChar('0')).toUpper());
    if (!subClipId_->hasFocus()) subClipId_->setText(QString::number(e.subClipId));
    if (!subPathId_->hasFocus()) subPathId_->setText(QString::number(e.subPathId));
    const int vi = pl::videoCodingIndex(a.codingType), ai = pl::audioCodingIndex(a.codingType);
    videoCoding_->setCurrentIndex(vi);
    if (vi >= 0) videoCoding_->setToolTip(toQt(pl::videoCodingHint(vi)));
    audioCoding_->setCurrentIndex(ai);
    if (ai >= 0) audioCoding_->setToolTip(toQt(pl::audioCodingHint(ai)));
    auto pick = [](QComboBox* c, unsigned v) { c->setCurrentIndex(v < unsigned(c->count()) ? int(v) : -1); };
    pick(videoFormat_, a.videoFormat);
    pick(frameRate_, a.frameRate);
    pick(audioPresentation_, a.audioPresentation);
    if (!pl::audioPresentationHint(a.audioPresentation).empty())
      audioPresentation_->setToolTip(toQt(pl::audioPresentationHint(a.audioPresentation)));
    pick(samplingFrequency_, a.samplingFrequency);
    auto pickValue = [](QComboBox* c, std::span<const uint8_t> values, unsigned v) {
      auto it = std::find(values.begin(), values.end(), v);
      c->setCurrentIndex(it == values.end() ? -1 : int(it - values.begin()));
    };
    pickValue(dynamicRange_, core::dynamicRangeTypeValues(), a.dynamicRangeType);
    pickValue(colorSpace_, core::colorSpaceValues(), a.colorSpace);
    crFlag_->setChecked(a.crFlag != 0);
    hdrPlusFlag_->setChecked(a.hdrPlusFlag != 0);
    // A code the list does not hold shows no selection; it stays stored until the user picks one.
    language_->setCurrentIndex(pl::languageIndex(a.language));
  }
  filling_ = false;
  updateStreamButtons();
}

void PlayItemGroup::updateStreamButtons() {
  const int p = selectedPlayItem();
  const bool on = edit_.loaded && p >= 0;
  const pl::StreamTable* stn = on ? &m().playList.playItems[size_t(p)].stn : nullptr;
  const auto kind = pl::StreamKind(kind_);
  insertStreamButton_->setEnabled(stn && pl::canInsertStream(*stn, kind));
  // The last primary audio stream stays: the button is off rather than doing nothing.
  deleteStreamButton_->setEnabled(stn && pl::canDeleteStream(*stn, kind) &&
                        !(kind == pl::StreamKind::Audio && pl::streamCount(*stn, kind) < 2) && selectedStream() >= 0);
  applyToClipButton_->setEnabled(on && ctx_.session.isLoaded());
}

// ---- edits ------------------------------------------------------------------------------

void PlayItemGroup::playItemEdited(QTableWidgetItem* it) {
  if (filling_ || !edit_.loaded) return;
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
  edit_.checked(*ctx_.log, QString("PlayItem %1 %2").arg(r).arg(items_->horizontalHeaderItem(c)->text()),
                [&](pl::Playlist& p) {
                  if (auto field = playItemField(c)) pl::setPlayItemCell(p, unsigned(r), *field, text, cascade);
                });
  // The cell shows what the model holds (a refused value goes back), and whatever
  // the cascade moved shows too.
  QTimer::singleShot(0, this, [this, r] {
    showPlayItemRow(r);
    Q_EMIT timesMoved();
  });
}

void PlayItemGroup::editStream(const QString& what,
                               const std::function<bool(pl::Playlist&, unsigned, pl::StreamKind, unsigned)>& change) {
  if (filling_ || !edit_.loaded) return;
  const int p = selectedPlayItem(), r = selectedStream();
  if (r < 0) return;
  edit_(what, [&] { change(m(), unsigned(p), pl::StreamKind(kind_), unsigned(r)); });
  showStreams(r);
}

void PlayItemGroup::streamFieldEdited(QLineEdit* e) {
  const int p = selectedPlayItem(), r = selectedStream();
  if (filling_ || !edit_.loaded || r < 0) return;
  const pl::Stream* s = pl::streamAt(m().playList.playItems[size_t(p)].stn, pl::StreamKind(kind_), unsigned(r));
  if (!s) return;
  const bool hex = e == mainPid_ || e == subPid_;
  bool ok = false;
  const unsigned v = e->text().toUInt(&ok, hex ? 16 : 10);
  using SF = pl::StreamField;
  const SF f = e == mainPid_ ? SF::MainPID : e == subPid_ ? SF::SubPID : e == subClipId_ ? SF::SubClipId : SF::SubPathId;
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
  if (f == SF::SubPathId) warnReferences(m(), *ctx_.log);
}

void PlayItemGroup::insertStream() {
  const int p = selectedPlayItem();
  if (!edit_.loaded || p < 0 || !insertStreamButton_->isEnabled()) return;
  std::optional<unsigned> at;
  edit_("Insert stream", [&] { at = pl::insertStream(m(), unsigned(p), pl::StreamKind(kind_), selectedStream()); });
  if (!at) return;
  filling_ = true;
  fillRow(counts_, 0, pl::stnCountRow(m().playList.playItems[size_t(p)].stn));
  fillRow(items_, p, pl::playItemRow(m().playList.playItems[size_t(p)], unsigned(p)));
  filling_ = false;
  showStreams(int(*at));
}

void PlayItemGroup::deleteStream() {
  const int p = selectedPlayItem(), r = selectedStream();
  if (!edit_.loaded || r < 0 || !deleteStreamButton_->isEnabled()) return;
  std::optional<int> next;
  edit_("Delete stream", [&] { next = pl::deleteStream(m(), unsigned(p), pl::StreamKind(kind_), unsigned(r)); });
  if (!next) return;
  filling_ = true;
  fillRow(counts_, 0, pl::stnCountRow(m().playList.playItems[size_t(p)].stn));
  filling_ = false;
  showStreams(std::max(0, *next));
}

void PlayItemGroup::applyToClip() {
  const int p = selectedPlayItem();
  if (!edit_.loaded || p < 0) return;
  Q_EMIT applyToClipWanted(m().playList.playItems[size_t(p)]);
}

bool PlayItemGroup::eventFilter(QObject* o, QEvent* e) {
  if (o == streams_ && e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Insert) return insertStream(), true;
    if (k->key() == Qt::Key_Delete) return deleteStream(), true;
  }
  return QWidget::eventFilter(o, e);
}

}  // namespace morvex::app

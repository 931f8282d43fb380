#include "app/clip/clip_tab.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QLocale>
#include <QPalette>
#include <QTableView>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <filesystem>

#include "clip/apply.h"
#include "clip/clpi_text.h"
#include "clip/demux.h"
#include "clip/finder.h"
#include "core/extension_data.h"
#include "app/extdata/ext_data_editor.h"
#include "app/widgets/grid.h"
#include "app/widgets/in_place_edit.h"
#include "app/shell/qt_text.h"

namespace morvex::app {

namespace fs = std::filesystem;

namespace {


QStringList header(const std::vector<std::string>& captions) {
  QStringList h{QString()};
  for (const auto& c : captions) h << toQt(c);
  return h;
}

void fillTable(QTableWidget* t, const clip::GridRows& rows, bool enable) {
  t->clearContents();
  t->setRowCount(std::max<int>(1, int(rows.size())));
  for (int r = 0; r < int(rows.size()); ++r)
    for (int c = 0; c < int(rows[size_t(r)].size()) && c < t->columnCount(); ++c)
      setCell(t, r, c, toQt(rows[size_t(r)][size_t(c)]));
  t->setEnabled(enable);
}

}  // namespace

// The coarse and fine tables of one PID's EP map, drawn from the map itself: a view
// asks for the rows it shows, so a map of tens of thousands of entries shows at once.
class EpTableModel : public QAbstractTableModel {
public:
  using Row = clip::GridRow (*)(const clip::EpMap&, size_t);
  EpTableModel(QStringList header, Row row, bool fine, QObject* parent)
      : QAbstractTableModel(parent), header_(std::move(header)), row_(row), fine_(fine) {}
  void setMap(const clip::EpMap* m) {
    beginResetModel();
    map_ = m ? *m : clip::EpMap{};
    endResetModel();
  }
  int rowCount(const QModelIndex& parent = {}) const override {
    if (parent.isValid()) return 0;
    return int(fine_ ? map_.fine.size() : map_.coarse.size());
  }
  int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(header_.size()); }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    const auto r = row_(map_, size_t(index.row()));
    return index.column() < int(r.size()) ? toQt(r[size_t(index.column())]) : QString();
  }
  QVariant headerData(int section, Qt::Orientation o, int role) const override {
    if (role == Qt::DisplayRole && o == Qt::Horizontal && section < header_.size()) return header_[section];
    return QAbstractTableModel::headerData(section, o, role);
  }

private:
  QStringList header_;
  Row row_;
  bool fine_;
  clip::EpMap map_;
};

class EpCoarseModel : public EpTableModel {
public:
  explicit EpCoarseModel(QObject* p) : EpTableModel(header(clip::kHeadEPCoarse), &clip::epCoarseRow, false, p) {}
};
class EpFineModel : public EpTableModel {
public:
  explicit EpFineModel(QObject* p) : EpTableModel(header(clip::kHeadEPfine), &clip::epFineRow, true, p) {}
};

QString packetCountQuestion(uint64_t packets) {
  return toQt("The m2ts file contains " + clip::thousands(packets) +
              " packets.\nDo you want to correct the packet value of ClipInfo?");
}

namespace {

// The field a column of the ATC delta grid shows (column 0 is the row number).
std::optional<clip::AtcDeltaField> atcDeltaField(int column) {
  switch (column) {
    case 1: return clip::AtcDeltaField::AtcDelta;
    case 2: return clip::AtcDeltaField::FollowingClip;
    case 3: return clip::AtcDeltaField::ClipCodec;
    default: return std::nullopt;
  }
}

QTableView* makeView(const char* name, QAbstractTableModel* model, QWidget* parent) {
  auto* v = new QTableView(parent);
  v->setObjectName(name);
  v->setModel(model);
  v->verticalHeader()->hide();
  v->verticalHeader()->setDefaultSectionSize(QFontMetrics(v->font()).height() + 4);
  v->setSelectionBehavior(QAbstractItemView::SelectRows);
  v->setEditTriggers(QAbstractItemView::NoEditTriggers);
  v->setWordWrap(false);
  v->horizontalHeader()->setStretchLastSection(true);
  v->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  for (int i = 0; i < model->columnCount(); ++i)
    v->setColumnWidth(i, std::max(54, v->fontMetrics().horizontalAdvance(model->headerData(i, Qt::Horizontal).toString()) + 18));
  return v;
}

QLabel* label(const char* name, const QString& text, QWidget* parent) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(name);
  return l;
}

}  // namespace

ClipTab::ClipTab(AppContext& ctx, QWidget* parent) : TabPage(parent), ctx_(ctx) {
  setObjectName("clipTab");
  ctx_.session.registerDocument(&doc_);
  doc_.saver = [this] {
    if (!loaded_ || !ctx_.session.isLoaded()) return false;
    const std::string file = clipName_.toStdString() + ctx_.names().clipinfext;
    if (!clip::saveClipInfo(doc_.model, ctx_.session.folder() / "CLIPINF", file, ctx_.saveSettings(), *ctx_.log))
      return false;
    clip::settleClipInfo(doc_.model);
    ctx_.log->statusReady();
    doc_.markSaved();
    fillPage();  // the writer settles the model (an empty ATC delta block is cleared)
    return true;
  };
  packetQuestion_ = [this](const QString& text) {
    QMessageBox box(QMessageBox::Question, "Packet count", text, QMessageBox::Yes | QMessageBox::Cancel, this);
    box.setObjectName("packetCountQuestion");
    return box.exec() == QMessageBox::Yes;
  };

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(4, 4, 4, 4);

  // Clip list, Read, the stream file and Play.
  auto* top = new QHBoxLayout();
  top->addWidget(new QLabel("Clip:", this));
  list_ = makeList("clipChoice", {}, "Clip information files of the CLIPINF folder", this);
  list_->setMinimumContentsLength(8);
  top->addWidget(list_);
  read_ = new QPushButton("&Read", this);
  read_->setObjectName("readClipButton");
  read_->setToolTip("Read the selected .clpi file");
  read_->setEnabled(false);
  top->addWidget(read_);
  top->addSpacing(12);
  streamName_ = label("streamNameLabel", "-", this);
  streamSizeLabel_ = label("streamSizeLabel", QString(), this);
  top->addWidget(streamName_);
  top->addWidget(streamSizeLabel_);
  play_ = new QPushButton("Pla&y", this);
  play_->setObjectName("playButton");
  play_->setToolTip("Open the stream file with the desktop's player");
  play_->setEnabled(false);
  top->addWidget(play_);
  top->addStretch(1);
  outer->addLayout(top);

  // ClipInfo and its editable fields.
  auto* ci = new QGroupBox("ClipInfo", this);
  auto* cl = new QGridLayout(ci);
  QStringList types;
  for (size_t i = 0; i < clip::applicationTypeNames().size(); ++i)
    types << QString("%1 %2").arg(i).arg(toQt(clip::applicationTypeNames()[i]));
  appType_ = makeList("applicationTypeChoice", types, "Application type", ci);
  cl->addWidget(new QLabel("Application type", ci), 0, 0);
  cl->addWidget(appType_, 0, 1, 1, 3);
  atcDelta_ = new QCheckBox("ATCd", ci);
  atcDelta_->setObjectName("atcDeltaCheck");
  atcDelta_->setToolTip("ATC delta entries present");
  cl->addWidget(atcDelta_, 0, 4);
  cl->addWidget(new QLabel("Rec. rate", ci), 1, 0);
  recRate_ = new QLineEdit(ci);
  recRate_->setObjectName("recordingRateField");
  cl->addWidget(recRate_, 1, 1);
  cl->addWidget(new QLabel("Packets", ci), 1, 2);
  packets_ = new QLineEdit(ci);
  packets_->setObjectName("packetCountField");
  cl->addWidget(packets_, 1, 3);
  extData_ = label("clipExtensionDataLabel", "no ExtensionData()", ci);
  extEdit_ = new QPushButton("Edit", ci);
  extEdit_->setObjectName("clipExtensionDataButton");
  extEdit_->setToolTip("Edit the clip's ExtensionData");
  extEdit_->setEnabled(false);
  auto* extRow = new QHBoxLayout();
  extRow->addWidget(extData_);
  extRow->addWidget(extEdit_);
  extRow->addStretch(1);
  cl->addLayout(extRow, 1, 4);
  // Whole unsigned 32-bit numbers: digits only, at most ten of them.
  for (auto* f : {recRate_, packets_}) {
    f->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,10}"), f));
    f->setMaximumWidth(f->fontMetrics().horizontalAdvance("0000000000") + 16);
  }
  auto* atcBox = new QGroupBox("ATC_delta_entries", ci);
  auto* al = new QVBoxLayout(atcBox);
  atcGrid_ = makeTable("atcDeltaTable", header(clip::kHeadATCdelta), {30, 80, 60, 50}, atcBox);
  atcGrid_->setToolTip("Right click: Edit mode; Insert adds an entry, Shift+Delete removes the selected one");
  atcGrid_->installEventFilter(this);
  atcEdit_ = new InPlaceEditSwitch(atcGrid_);
  al->addWidget(atcGrid_);
  cl->addWidget(atcBox, 2, 0, 1, 3);
  auto* fontBox = new QGroupBox("Font files", ci);
  auto* fl = new QVBoxLayout(fontBox);
  fonts_ = makeTable("fontFileTable", header(clip::kHeadFontFiles), {30, 80}, fontBox);
  fl->addWidget(fonts_);
  cl->addWidget(fontBox, 2, 3, 1, 2);

  // Sequences, ProgramInfo, references.
  auto* seqBox = new QGroupBox("SequenceInfo", this);
  auto* sl = new QVBoxLayout(seqBox);
  sequence_ = makeTable("sequenceTable", header(clip::kHeadSequence), {30, 90, 70, 70}, seqBox);
  stc_ = makeTable("stcSequenceTable", header(clip::kHeadSTC), {30, 60, 80, 90, 90}, seqBox);
  sl->addWidget(sequence_);
  sl->addWidget(stc_);

  auto* row1 = new QHBoxLayout();
  row1->addWidget(ci, 3);
  row1->addWidget(seqBox, 2);
  outer->addLayout(row1, 2);

  auto* progBox = new QGroupBox("ProgramInfo", this);
  auto* pl = new QVBoxLayout(progBox);
  program_ = makeTable("programStreamTable", header(clip::kHeadCI), {30, 50, 110, 200}, progBox);
  program_->setToolTip("ProgramInfo (Double click to play the m2ts file)");
  pl->addWidget(program_);
  auto* refBox = new QGroupBox("Referenced by", this);
  auto* rl = new QVBoxLayout(refBox);
  refsGrid_ = makeTable("clipReferenceTable", header(clip::kHeadCIRef), {30, 60, 30, 50}, refBox);
  refsGrid_->setToolTip("Playlists playing this clip (Find; double click to open)");
  rl->addWidget(refsGrid_);
  // Extraction of the selected row's PID, in the format the Options tab's
  // "Save PID format" boxes choose.
  auto* fmt = new QGroupBox("Extract", this);
  auto* fml = new QVBoxLayout(fmt);
  savePid_ = new QPushButton("Save P&ID", fmt);
  savePid_->setObjectName("savePidButton");
  savePid_->setToolTip("Save the selected PID");
  savePid_->setEnabled(false);
  fml->addWidget(savePid_);
  toMenu_ = new QPushButton("-> M&enu", fmt);
  toMenu_->setObjectName("loadToMenuButton");
  toMenu_->setToolTip("Load the selected IG stream on the Menu tab");
  toMenu_->setEnabled(false);
  fml->addWidget(toMenu_);
  connect(toMenu_, &QPushButton::clicked, this, &ClipTab::toMenu);
  fml->addStretch(1);
  connect(savePid_, &QPushButton::clicked, this, [this] { savePid(); });
  connect(program_, &QTableWidget::currentCellChanged, this, [this] { updateSavePidButton(); });

  auto* row2 = new QHBoxLayout();
  row2->addWidget(progBox, 3);
  row2->addWidget(fmt, 1);
  row2->addWidget(refBox, 1);
  outer->addLayout(row2, 2);

  // CPI.
  auto* cpiBox = new QGroupBox("CPI", this);
  auto* cpl = new QHBoxLayout(cpiBox);
  epMap_ = makeTable("epMapTable", header(clip::kHeadEPmap), {30, 50, 50, 60, 60, 80}, cpiBox);
  epMap_->setToolTip("CPI (Characteristic Point Information)");
  coarseModel_ = new EpCoarseModel(this);
  fineModel_ = new EpFineModel(this);
  epCoarse_ = makeView("epCoarseTable", coarseModel_, cpiBox);
  epFine_ = makeView("epFineTable", fineModel_, cpiBox);
  cpl->addWidget(epMap_, 3);
  cpl->addWidget(epCoarse_, 2);
  cpl->addWidget(epFine_, 3);
  outer->addWidget(cpiBox, 3);

  // Actions.
  connect(read_, &QPushButton::clicked, this, [this] { readSelected(); });
  connect(list_, &QComboBox::activated, this, [this] {
    Q_EMIT rulesChanged();
    fillReferences();
    if (ctx_.settings.autoRead) readSelected();
  });
  connect(play_, &QPushButton::clicked, this, &ClipTab::play);
  // A double click plays the stream, or hands the menu stream (PID 1400) to the Menu tab.
  connect(program_, &QTableWidget::cellDoubleClicked, this, [this](int row) {
    if (!play_->isEnabled()) return;
    auto* pid = program_->item(row, 1);
    if (pid && pid->text() == "1400") toMenu();
    else play();
  });
  connect(refsGrid_, &QTableWidget::cellDoubleClicked, this, &ClipTab::referenceActivated);
  connect(appType_, &QComboBox::activated, this, [this](int i) {
    if (!filling_ && loaded_) edit("Application type", [i](clip::ClipInfo& c) { clip::setApplicationType(c, uint8_t(i)); });
  });
  connect(atcDelta_, &QCheckBox::clicked, this, [this](bool on) {
    if (!filling_ && loaded_) edit("ATCd", [on](clip::ClipInfo& c) { clip::setATCdelta(c, on); });
  });
  connect(atcGrid_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* it) { atcCellEdited(it); });
  connect(extEdit_, &QPushButton::clicked, this, [this] { editExtensionData(); });
  connect(recRate_, &QLineEdit::editingFinished, this, [this] { numberEdited(recRate_, false); });
  connect(packets_, &QLineEdit::editingFinished, this, [this] { numberEdited(packets_, true); });
  // Undo and redo replace the model: the page shows it anew.
  connect(&doc_, &Document::modelReplaced, this, [this] {
    if (!filling_) fillPage();
  });
  connect(&doc_, &Document::modifiedChanged, this, [this] { Q_EMIT rulesChanged(); });
  connect(&ctx_.session, &DiscSession::loaded, this, [this] { fillList(); });
  connect(&ctx_.session, &DiscSession::cleared, this, [this] { fillList(); });
  clearPage();
}

ClipTab::~ClipTab() { undo_.blockSignals(true); }

TabRules ClipTab::rules() const {
  TabRules r;
  r.saveShown = true;
  r.saveEnabled = list_->isEnabled() && loaded_;
  const QString name = loaded_ ? clipName_ : list_->currentText();
  r.saveHint = "Save " + name + toQt(ctx_.names().clipinfext);
  r.find = true;
  return r;
}

void ClipTab::activated() {
  if (ctx_.settings.autoRead && !loaded_ && read_->isEnabled()) readSelected();
  list_->setFocus();
}

void ClipTab::fillList() {
  loaded_ = false;
  clipName_.clear();
  refsFound_ = false;
  refs_ = {};
  undo_.clear();
  doc_.reset({});
  list_->clear();
  if (ctx_.session.isLoaded())
    for (const auto& n : ctx_.session.disc().clipinfos) list_->addItem(toQt(n));
  list_->setEnabled(list_->count() > 0);
  read_->setEnabled(list_->count() > 0);
  clearPage();
  Q_EMIT rulesChanged();
}

void ClipTab::clearPage() {
  filling_ = true;
  streamName_->setText("-");
  streamSizeLabel_->clear();
  play_->setEnabled(false);
  appType_->setCurrentIndex(-1);
  atcDelta_->setChecked(false);
  recRate_->clear();
  packets_->clear();
  extData_->setText("no ExtensionData()");
  extEdit_->setEnabled(false);
  for (auto* w : {static_cast<QWidget*>(appType_), static_cast<QWidget*>(atcDelta_), static_cast<QWidget*>(recRate_),
                  static_cast<QWidget*>(packets_)})
    w->setEnabled(false);
  for (auto* t : {atcGrid_, fonts_, sequence_, stc_, program_, epMap_}) fillTable(t, {}, false);
  coarseModel_->setMap(nullptr);
  fineModel_->setMap(nullptr);
  fillReferences();
  filling_ = false;
}

bool ClipTab::readSelected() {
  const QString name = list_->currentText();
  if (!ctx_.session.isLoaded() || name.isEmpty()) return false;
  // Only this tab's own edits are at stake here; the question covers it.
  if (doc_.modified() && !ctx_.session.settle()) return false;
  const fs::path file = ctx_.session.folder() / "CLIPINF" / (name.toStdString() + ctx_.names().clipinfext);
  clip::ClipInfo model;
  const core::ReadResult st = clip::readClipInfoFile(file, model, *ctx_.log);
  undo_.clear();
  clipName_ = name;
  loaded_ = st.complete();
  // A clip that was not read whole is shown as far as it was read but cannot be
  // edited or saved: writing it back would lose what the reader did not reach.
  doc_.reset(loaded_ ? model : clip::ClipInfo{});
  doc_.path = QString::fromStdString(file.string());
  filling_ = true;
  fillPage();
  if (!loaded_ && st.usable()) {
    // Show the part that was read, read-only.
    const clip::ClipInfo kept = doc_.model;
    doc_.model = model;
    fillPage();
    doc_.model = kept;
    for (auto* w : {static_cast<QWidget*>(appType_), static_cast<QWidget*>(atcDelta_),
                    static_cast<QWidget*>(recRate_), static_cast<QWidget*>(packets_)})
      w->setEnabled(false);
  }
  filling_ = false;
  fillReferences();
  if (loaded_) {
    ctx_.log->paragraph("[b]" + std::to_string(model.programInfo.programSequences.empty()
                                                 ? 0
                                                 : model.programInfo.programSequences.front().streams.size()) +
                   "[/b] Program stream(s) found.");
    checkPackets(file);
    warnHiddenParts();
  }
  list_->setFocus();
  ctx_.log->statusReady();
  Q_EMIT rulesChanged();
  return loaded_;
}

void ClipTab::showStream() {
  streamSize_ = 0;
  streamName_->setText("-");
  streamSizeLabel_->clear();
  if (clipName_.isEmpty() || !ctx_.session.isLoaded()) return;
  const auto& d = ctx_.session.disc();
  std::string fileName;
  for (size_t i = 0; i < d.clipinfos.size() && i < d.avStreams.size(); ++i)
    if (toQt(d.clipinfos[i]) == clipName_) fileName = d.avStreams[i].fileName;
  // The size is asked now: the stream may have been written since the load.
  std::error_code ec;
  const fs::path stream = ctx_.session.folder() / "STREAM" / (clipName_.toStdString() + ctx_.names().streamext);
  const bool exists = fs::is_regular_file(stream, ec);
  const uint64_t size = exists ? fs::file_size(stream, ec) : 0;
  if (exists && !ec && size > 0) {
    streamSize_ = size;
    streamName_->setText(toQt(stream.filename().string()));
    streamSizeLabel_->setText(QLocale().toString(qulonglong(size)));
    streamName_->setForegroundRole(QPalette::WindowText);
    streamSizeLabel_->setForegroundRole(QPalette::WindowText);
  } else {
    streamName_->setText(fileName.empty() ? toQt(stream.filename().string()) : toQt(fileName));
    streamSizeLabel_->setText("missing file");
    streamName_->setForegroundRole(QPalette::PlaceholderText);
    streamSizeLabel_->setForegroundRole(QPalette::PlaceholderText);
  }
}

void ClipTab::fillPage() {
  const bool was = filling_;
  filling_ = true;
  const clip::ClipInfo& c = doc_.model;
  showStream();
  const bool any = !c.typeIndicator.empty();
  const auto& ci = c.clipInfo;
  appType_->setCurrentIndex(any && ci.applicationType < appType_->count() ? ci.applicationType : -1);
  atcDelta_->setChecked(ci.isAtcDelta != 0);
  recRate_->setText(any ? QString::number(ci.tsRecordingRate) : QString());
  packets_->setText(any ? QString::number(ci.numberOfSourcePackets) : QString());
  for (auto* w : {static_cast<QWidget*>(appType_), static_cast<QWidget*>(atcDelta_), static_cast<QWidget*>(recRate_),
                  static_cast<QWidget*>(packets_)})
    w->setEnabled(loaded_);
  extData_->setText(toQt(core::extensionDataCaption(c.extensionData)));
  extEdit_->setEnabled(loaded_);
  fillTable(atcGrid_, ci.isAtcDelta ? clip::atcDeltaRows(c) : clip::GridRows{}, ci.isAtcDelta != 0);
  fillTable(fonts_, ci.applicationType == 6 ? clip::fontRows(c) : clip::GridRows{}, ci.applicationType == 6);
  fillTable(sequence_, clip::sequenceRows(c), any);
  const auto stcRows = clip::stcRows(c);
  fillTable(stc_, stcRows, !stcRows.empty());
  fillTable(program_, clip::programRows(c), any);
  fillTable(epMap_, clip::epMapRows(c), c.cpi.length != 0);
  const clip::EpMap* last = c.cpi.maps.empty() ? nullptr : &c.cpi.maps.back();
  coarseModel_->setMap(last);
  fineModel_->setMap(last);
  play_->setEnabled(streamSize_ > 0);
  updateSavePidButton();
  filling_ = was;
}

void ClipTab::updateSavePidButton() {
  const auto& ps = doc_.model.programInfo.programSequences;
  const int row = program_->currentRow();
  const bool streamRow = !ps.empty() && row >= 0 && row < int(ps.back().streams.size());
  savePid_->setEnabled(!extracting_ && streamSize_ > 0 && streamRow);
  auto* pid = streamRow ? program_->item(row, 1) : nullptr;
  toMenu_->setEnabled(!extracting_ && pid && clip::rowLoadsMenu(pid->text().toStdString(), streamSize_));
}

void ClipTab::toMenu() {
  const int row = program_->currentRow();
  auto* pid = row >= 0 ? program_->item(row, 1) : nullptr;
  const QString stream = streamFile();
  if (!pid || stream.isEmpty() || !clip::rowLoadsMenu(pid->text().toStdString(), streamSize_)) return;
  // The Menu tab pulls the IG stream out of the stream file itself.
  Q_EMIT itemWanted(ItemRef{ItemKind::Menu, stream, int(clip::pidFromText(pid->text().toStdString())), -1});
}

QString ClipTab::outputFolder() const {
  if (!ctx_.settings.workFolder.isEmpty()) return ctx_.settings.workFolder;
  return QString::fromStdString(ctx_.session.folder().parent_path().string());
}

QString ClipTab::outputFileFor(int row) const {
  const auto rows = clip::programRows(doc_.model);
  if (row < 0 || row >= int(rows.size()) || rows[size_t(row)].size() < 4) return {};
  const auto& r = rows[size_t(row)];
  const uint32_t pid = clip::pidFromText(r[1]);
  const auto& o = ctx_.settings;
  const auto mode = clip::chooseDemuxMode(pid, o.savePES, o.saveSUP, o.saveMNU);
  const std::string type = clip::demuxOutputType(pid, mode, o.savePES);
  return QString::fromStdString(
      clip::demuxOutputName(outputFolder().toStdString(), clipName_.toStdString(), r[1], r[2], r[3], type));
}

bool ClipTab::savePid() {
  const QString source = streamFile();
  const int row = program_->currentRow();
  const QString out = outputFileFor(row);
  if (source.isEmpty() || out.isEmpty() || !runTask_ || extracting_) return false;
  const auto rows = clip::programRows(doc_.model);
  const uint32_t pid = clip::pidFromText(rows[size_t(row)][1]);
  const auto& o = ctx_.settings;
  const auto mode = clip::chooseDemuxMode(pid, o.savePES, o.saveSUP, o.saveMNU);
  extracting_ = true;
  updateSavePidButton();
  // The demultiplexer writes beside the output and renames when complete, so a
  // cancelled or failed run leaves no part of a file behind.
  auto result = std::make_shared<clip::DemuxResult>();
  core::Log* log = ctx_.log;
  const fs::path src = source.toStdString();
  const std::string name = out.toStdString();
  runTask_(
      [=](core::Progress& p) { *result = clip::savePid(src, name, pid, mode, *log, &p); },
      [this, result, log](bool) {
        extracting_ = false;
        if (!result->ok && !result->cancelled) log->error(result->error);
        updateSavePidButton();
        Q_EMIT extractionFinished(result->outputCreated);
      });
  return true;
}

void ClipTab::checkPackets(const fs::path& clpiFile) {
  const auto n = clip::packetCountMismatch(doc_.model, streamSize_);
  if (!n) return;
  if (!packetQuestion_ || !packetQuestion_(packetCountQuestion(*n))) return;
  if (const auto written = clip::correctPacketCount(clpiFile, *n); written.failed()) {
    ctx_.log->error(written.error);
    return;
  }
  // The file holds the new count now: the model read from it does too, unmodified.
  clip::ClipInfo m = doc_.model;
  m.clipInfo.numberOfSourcePackets = uint32_t(*n);
  doc_.reset(m);
  filling_ = true;
  packets_->setText(QString::number(*n));
  filling_ = false;
}

void ClipTab::edit(const QString& what, const std::function<void(clip::ClipInfo&)>& change) {
  filling_ = true;
  editDocuments(undo_, what, -1, [&] { change(doc_.model); }, doc_);
  filling_ = false;
  fillPage();
}

void ClipTab::numberEdited(QLineEdit* field, bool packets) {
  if (filling_ || !loaded_) return;
  bool ok = false;
  const qulonglong v = field->text().toULongLong(&ok);
  const uint32_t now = packets ? doc_.model.clipInfo.numberOfSourcePackets : doc_.model.clipInfo.tsRecordingRate;
  if (!ok || v > 0xFFFFFFFFull) {
    // Not a 32-bit number: the field shows the stored value again and says why.
    ctx_.log->error((packets ? "Packets" : "Rec. rate") + std::string(": ") + field->text().toStdString() +
                    " is not a number from 0 to 4294967295.");
    field->setText(QString::number(now));
    return;
  }
  if (v == now) return;
  edit(packets ? "Packets" : "Rec. rate", [packets, v](clip::ClipInfo& c) {
    (packets ? c.clipInfo.numberOfSourcePackets : c.clipInfo.tsRecordingRate) = uint32_t(v);
  });
}

QString ClipTab::streamFile() const {
  if (streamSize_ == 0 || !ctx_.session.isLoaded()) return {};
  return QString::fromStdString(
      (ctx_.session.folder() / "STREAM" / (clipName_.toStdString() + ctx_.names().streamext)).string());
}

void ClipTab::play() {
  const QString f = streamFile();
  // The desktop's default application; when none is registered nothing happens.
  if (!f.isEmpty()) QDesktopServices::openUrl(QUrl::fromLocalFile(f));
}

void ClipTab::save() {
  if (loaded_) doc_.save();
}

void ClipTab::find() {
  if (!ctx_.session.isLoaded()) return;
  refs_ = ctx_.session.disc();
  const clip::ClipSearchResult r = clip::findClipReferences(refs_, *ctx_.log);
  refsFound_ = true;
  ctx_.log->info(std::to_string(r.playlistsRead) + " playlist(s) read, " + std::to_string(r.missingStreams) +
                " missing stream file reference(s).");
  if (!r.problems.empty())
    ctx_.log->error(std::to_string(r.problems.size()) + " playlist(s) could not be read in full.");
  ctx_.log->statusReady();
  fillReferences();
}

void ClipTab::fillReferences() {
  clip::GridRows rows;
  const QString name = loaded_ ? clipName_ : list_->currentText();
  if (refsFound_)
    for (size_t i = 0; i < refs_.clipinfos.size() && i < refs_.ciRefs.size(); ++i)
      if (toQt(refs_.clipinfos[i]) == name) {
        rows = clip::ciRefRows(refs_.ciRefs[i]);
        break;
      }
  fillTable(refsGrid_, rows, !rows.empty());
}

void ClipTab::referenceActivated(int row) {
  if (!refsGrid_->isEnabled() || row < 0 || row >= refsGrid_->rowCount()) return;
  clip::GridRow r;
  for (int c = 0; c < refsGrid_->columnCount(); ++c) {
    auto* it = refsGrid_->item(row, c);
    r.push_back(it ? it->text().toStdString() : std::string());
  }
  const clip::RefJump j = clip::refJump(r);
  if (j.playlist.empty()) return;
  // The jump names a grid row below the header; the navigator takes the PlayItem.
  Q_EMIT itemWanted(ItemRef{ItemKind::Playlist, toQt(j.playlist), -1, j.playItemRow >= 0 ? j.playItemRow - 1 : -1});
}

bool ClipTab::showItem(const ItemRef& item) {
  const int i = list_->findText(item.name);
  if (i < 0) return false;
  list_->setCurrentIndex(i);
  fillReferences();
  readSelected();
  Q_EMIT rulesChanged();
  return true;
}

// The grids show one program sequence and one EP map PID (the last of each, as the
// file lists them); a clip with more says so rather than hiding the rest silently.
void ClipTab::warnHiddenParts() {
  const auto& c = doc_.model;
  const std::string file = clipName_.toStdString() + ctx_.names().clipinfext;
  if (c.programInfo.programSequences.size() > 1)
    ctx_.log->warning(file + " has " + std::to_string(c.programInfo.programSequences.size()) +
                      " program sequences; ProgramInfo shows the last one");
  if (c.cpi.maps.size() > 1)
    ctx_.log->warning(file + " has EP maps for " + std::to_string(c.cpi.maps.size()) +
                      " PIDs; the coarse and fine tables show the last one");
}

bool ClipTab::applyPlayItem(const playlist::PlayItem& item) {
  const QString name = toQt(item.clipName);
  const int at = list_->findText(name, Qt::MatchFixedString | Qt::MatchCaseSensitive);
  if (at < 0) {
    ctx_.log->error("No clip information file for clip " + item.clipName);
    return false;
  }
  // The clip shown already takes the attributes as they stand (its edits are kept);
  // another clip is read first.
  if (!loaded_ || clipName_ != name) {
    filling_ = true;
    list_->setCurrentIndex(at);
    filling_ = false;
    if (!readSelected()) return false;
  }
  std::vector<size_t> changed;
  edit("Apply to clpi", [&](clip::ClipInfo& c) { changed = clip::applyPlayItem(item, c); });
  ctx_.log->info("Apply to clpi: " + std::to_string(changed.size()) + " stream(s) of " + item.clipName +
                ctx_.names().clipinfext + " matched the PlayItem");
  if (!changed.empty() && doc_.model.programInfo.programSequences.size() == 1)
    program_->setCurrentCell(int(changed.front()), 0);
  ctx_.log->statusReady();
  return true;
}

void ClipTab::atcCellEdited(QTableWidgetItem* it) {
  if (filling_ || !loaded_ || !atcEdit_->editing()) return;
  const int r = it->row(), c = it->column();
  if (c < 1 || c > 3) return;
  const std::string text = it->text().toStdString();
  if (r >= int(doc_.model.clipInfo.atcDeltaEntries.size())) {
    // No entry behind the row: the cell is just emptied.
    QTimer::singleShot(0, this, [this, r, c] {
      filling_ = true;
      if (auto* cell = atcGrid_->item(r, c)) cell->setText(QString());
      filling_ = false;
    });
    return;
  }
  std::string shown;
  filling_ = true;
  editDocuments(undo_, QString("ATC delta %1 %2").arg(r).arg(atcGrid_->horizontalHeaderItem(c)->text()), -1,
                [&] {
                  if (auto field = atcDeltaField(c)) shown = clip::setATCdeltaCell(doc_.model, r, *field, text);
                }, doc_);
  filling_ = false;
  // The cell shows what was stored (the table is not refilled under its open editor).
  QTimer::singleShot(0, this, [this, r, c, shown] {
    filling_ = true;
    if (auto* cell = atcGrid_->item(r, c)) cell->setText(toQt(shown));
    filling_ = false;
  });
}

void ClipTab::insertATCdelta() {
  if (!loaded_ || !doc_.model.clipInfo.isAtcDelta) return;
  const int sel = doc_.model.clipInfo.atcDeltaEntries.empty() ? -1 : atcGrid_->currentRow();
  int at = -1;
  edit("Insert ATC delta entry", [&](clip::ClipInfo& c) { at = clip::insertATCdeltaEntry(c, sel); });
  if (at >= 0) atcGrid_->setCurrentCell(at, atcEdit_->editing() ? 1 : 0);
}

void ClipTab::deleteATCdelta() {
  const int r = atcGrid_->currentRow();
  if (!loaded_ || !doc_.model.clipInfo.isAtcDelta || r < 0 ||
      r >= int(doc_.model.clipInfo.atcDeltaEntries.size()))
    return;
  edit("Delete ATC delta entry", [&](clip::ClipInfo& c) { clip::deleteATCdeltaEntry(c, r); });
  const int n = int(doc_.model.clipInfo.atcDeltaEntries.size());
  if (n > 0) atcGrid_->setCurrentCell(std::min(r, n - 1), 0);
}

void ClipTab::editExtensionData() {
  if (!loaded_) return;
  const QString file = clipName_ + toQt(ctx_.names().clipinfext);
  ExtDataEditor dlg(doc_.model.extensionData, file, ctx_.dialogFolder(), *ctx_.log, this);
  if (dlg.exec() != QDialog::Accepted) return;
  const core::ExtensionData block = dlg.block();
  edit(file + " ExtensionData", [&](clip::ClipInfo& c) {
    c.extensionData = block;
    // The block follows the ClipMark section; an empty block has no address.
    c.extensionDataStart = extDataStartAfterEdit(block, c.clipMarkStart + 4 + c.clipMarkLength);
  });
}

bool ClipTab::eventFilter(QObject* o, QEvent* e) {
  if (o == atcGrid_ && e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Insert) return insertATCdelta(), true;
    if (k->key() == Qt::Key_Delete && k->modifiers() == Qt::ShiftModifier) return deleteATCdelta(), true;
  }
  return TabPage::eventFilter(o, e);
}

}  // namespace morvex::app

#include "app/clip/clip_tab.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <filesystem>

#include "disc/apply.h"
#include "clip/clpi_text.h"
#include "app/clip/clip_info_group.h"
#include "app/clip/clip_reference_group.h"
#include "app/clip/ep_map_group.h"
#include "app/clip/extract_group.h"
#include "app/clip/program_group.h"
#include "app/clip/sequence_group.h"
#include "app/shell/qt_text.h"
#include "core/text.h"
#include "app/widgets/grid.h"
#include "app/widgets/read_banner.h"

namespace morvex::app {

namespace fs = std::filesystem;

QString packetCountQuestion(uint64_t packets) {
  return toQt("The m2ts file contains " + core::thousandsText(packets) +
              " packets.\nDo you want to correct the packet value of ClipInfo?");
}

ClipTab::ClipTab(AppContext& ctx, QWidget* parent) : TabPage(parent), ctx_(ctx) {
  setObjectName("clipTab");
  ctx_.session.registerDocument(&doc_);
  doc_.saver = [this] {
    if (!edit_.loaded || !ctx_.session.isLoaded()) return false;
    const std::string file = edit_.name.toStdString() + ctx_.names().clipinfext;
    if (!clip::saveClipInfo(doc_.model, ctx_.session.folder() / "CLIPINF", file, ctx_.saveSettings(), *ctx_.log))
      return false;
    clip::settleClipInfo(doc_.model);
    ctx_.log->info(file + " saved.");
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
  edit_.showPage = [this] { fillPage(); };
  buildUi();

  connect(read_, &QPushButton::clicked, this, [this] { readSelected(); });
  connect(list_, &QComboBox::activated, this, [this] {
    Q_EMIT rulesChanged();
    fillReferences();
    if (ctx_.settings.autoRead) readSelected();
  });
  connect(play_, &QPushButton::clicked, this, &ClipTab::play);
  connect(program_->table(), &QTableWidget::currentCellChanged, extract_, &ExtractGroup::updateButtons);
  // A double click plays the stream, or hands the menu stream (PID 1400) to the Menu tab.
  connect(program_->table(), &QTableWidget::cellDoubleClicked, this, [this](int row) {
    if (!play_->isEnabled()) return;
    if (program_->pidText(row) == "1400") extract_->toMenu();
    else play();
  });
  connect(extract_, &ExtractGroup::menuStreamWanted, this, [this](const QString& stream, int pid) {
    Q_EMIT itemWanted(ItemRef{ItemKind::Menu, stream, pid, -1});
  });
  connect(extract_, &ExtractGroup::extractionFinished, this, &ClipTab::extractionFinished);
  connect(extract_, &ExtractGroup::workFolderChosen, this, &ClipTab::workFolderChosen);
  connect(references_, &ClipReferenceGroup::itemWanted, this, &ClipTab::itemWanted);
  // Undo and redo replace the model: the page shows it anew.
  connect(&doc_, &Document::modelReplaced, this, [this] {
    if (!edit_.filling) fillPage();
  });
  connect(&doc_, &Document::modifiedChanged, this, [this] { Q_EMIT rulesChanged(); });
  connect(&doc_, &Document::discarded, this, [this] { undo_.clear(); });
  connect(&ctx_.session, &DiscSession::loaded, this, [this] { fillList(); });
  connect(&ctx_.session, &DiscSession::cleared, this, [this] { fillList(); });
  clearPage();
}

ClipTab::~ClipTab() { undo_.blockSignals(true); }

// The clip list with Read, the stream file and Play on top; below, ClipInfo beside
// SequenceInfo, ProgramInfo beside Extract and Referenced by, and the CPI.
void ClipTab::buildUi() {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(4, 4, 4, 4);

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
  streamName_ = new QLabel("-", this);
  streamName_->setObjectName("streamNameLabel");
  streamSizeLabel_ = new QLabel(QString(), this);
  streamSizeLabel_->setObjectName("streamSizeLabel");
  top->addWidget(streamName_);
  top->addWidget(streamSizeLabel_);
  play_ = new QPushButton("Pla&y", this);
  play_->setObjectName("playButton");
  play_->setToolTip("Open the stream file with the desktop's player");
  play_->setEnabled(false);
  top->addWidget(play_);
  top->addStretch(1);
  outer->addLayout(top);
  banner_ = new ReadBanner(doc_, "clipReadBanner", this);
  banner_->setPartialReadOnly(true);
  outer->addWidget(banner_);
  connect(banner_, &ReadBanner::logWanted, this, &TabPage::logWanted);

  // Created in the order the Tab key visits them.
  info_ = new ClipInfoGroup(ctx_, edit_, this);
  sequences_ = new SequenceGroup(this);
  program_ = new ProgramGroup(this);
  references_ = new ClipReferenceGroup(ctx_, this);
  extract_ = new ExtractGroup(ctx_, edit_, *program_, this);
  epMap_ = new EpMapGroup(this);

  auto* row1 = new QHBoxLayout();
  row1->addWidget(info_, 3);
  row1->addWidget(sequences_, 2);
  outer->addLayout(row1, 2);
  auto* row2 = new QHBoxLayout();
  row2->addWidget(program_, 3);
  row2->addWidget(extract_, 1);
  row2->addWidget(references_, 1);
  outer->addLayout(row2, 2);
  outer->addWidget(epMap_, 3);
}

TabRules ClipTab::rules() const {
  TabRules r;
  r.saveShown = true;
  r.saveEnabled = list_->isEnabled() && edit_.loaded;
  const QString name = edit_.loaded ? edit_.name : list_->currentText();
  r.saveHint = "Save " + name + toQt(ctx_.names().clipinfext);
  r.find = true;
  return r;
}

void ClipTab::activated() {
  if (ctx_.settings.autoRead && !edit_.loaded && read_->isEnabled()) readSelected();
  list_->setFocus();
}

void ClipTab::setTaskRunner(TaskRunner r) { extract_->setTaskRunner(std::move(r)); }
bool ClipTab::savePid() { return extract_->savePid(); }
QString ClipTab::outputFolder() const { return extract_->outputFolder(); }
QString ClipTab::outputFileFor(int row) const { return extract_->outputFileFor(row); }
InPlaceEditSwitch* ClipTab::atcEditSwitch() const { return info_->atcEditSwitch(); }

void ClipTab::fillList() {
  edit_.loaded = false;
  edit_.name.clear();
  references_->forget();
  undo_.clear();
  doc_.reset({});
  doc_.setReadResult({});
  list_->clear();
  if (ctx_.session.isLoaded())
    for (const auto& n : ctx_.session.disc().clipinfos) list_->addItem(toQt(n));
  list_->setEnabled(list_->count() > 0);
  read_->setEnabled(list_->count() > 0);
  clearPage();
  Q_EMIT rulesChanged();
}

void ClipTab::clearPage() {
  edit_.filling = true;
  streamName_->setText("-");
  streamSizeLabel_->clear();
  play_->setEnabled(false);
  info_->clear();
  sequences_->clear();
  program_->clear();
  epMap_->clear();
  fillReferences();
  edit_.filling = false;
}

bool ClipTab::readSelected() {
  const QString name = list_->currentText();
  if (!ctx_.session.isLoaded() || name.isEmpty()) return false;
  // Only this tab's own edits are at stake here; the question covers it.
  if (doc_.modified() && !ctx_.session.settle()) {
    // Cancel: the choice goes back to the clip the page still holds.
    list_->setCurrentIndex(list_->findText(edit_.name));
    fillReferences();
    return false;
  }
  const fs::path file = ctx_.session.folder() / "CLIPINF" / (name.toStdString() + ctx_.names().clipinfext);
  clip::ClipInfo model;
  const core::ReadResult st = clip::readClipInfoFile(file, model, *ctx_.log);
  undo_.clear();
  edit_.name = name;
  edit_.loaded = st.complete();
  doc_.setName(name + toQt(ctx_.names().clipinfext));
  doc_.setReadResult(st);
  // A clip that was not read whole is shown as far as it was read but cannot be
  // edited or saved: writing it back would lose what the reader did not reach.
  doc_.reset(edit_.loaded ? model : clip::ClipInfo{});
  doc_.path = QString::fromStdString(file.string());
  edit_.filling = true;
  fillPage();
  if (!edit_.loaded && st.usable()) {
    // Show the part that was read, read-only (the fields follow `loaded`).
    const clip::ClipInfo kept = doc_.model;
    doc_.model = model;
    fillPage();
    doc_.model = kept;
  }
  edit_.filling = false;
  fillReferences();
  if (edit_.loaded) {
    // The reader has logged the program streams it found.
    checkPackets(file);
    warnHiddenParts();
  }
  list_->setFocus();
  if (st.complete())
    ctx_.log->statusReady();
  else
    ctx_.log->errorStatus((doc_.name() + " not read whole: see the CLIPINF tab.").toStdString());
  Q_EMIT rulesChanged();
  return edit_.loaded;
}

void ClipTab::showStream() {
  edit_.streamSize = 0;
  streamName_->setText("-");
  streamSizeLabel_->clear();
  if (edit_.name.isEmpty() || !ctx_.session.isLoaded()) return;
  const auto& d = ctx_.session.disc();
  std::string fileName;
  for (size_t i = 0; i < d.clipinfos.size() && i < d.avStreams.size(); ++i)
    if (toQt(d.clipinfos[i]) == edit_.name) fileName = d.avStreams[i].fileName;
  // The size is asked now: the stream may have been written since the load.
  std::error_code ec;
  const fs::path stream = ctx_.session.folder() / "STREAM" / (edit_.name.toStdString() + ctx_.names().streamext);
  const bool exists = fs::is_regular_file(stream, ec);
  const uint64_t size = exists ? fs::file_size(stream, ec) : 0;
  if (exists && !ec && size > 0) {
    edit_.streamSize = size;
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
  const bool was = edit_.filling;
  edit_.filling = true;
  const clip::ClipInfo& c = doc_.model;
  showStream();
  info_->showClip(c);
  sequences_->showClip(c);
  program_->showClip(c);
  epMap_->showClip(c);
  play_->setEnabled(edit_.streamSize > 0);
  extract_->updateButtons();
  edit_.filling = was;
}

void ClipTab::checkPackets(const fs::path& clpiFile) {
  const auto n = clip::packetCountMismatch(doc_.model, edit_.streamSize);
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
  info_->showPacketCount(*n);
}

void ClipTab::play() {
  const QString f = streamFile();
  // The desktop's default application; when none is registered nothing happens.
  if (!f.isEmpty()) QDesktopServices::openUrl(QUrl::fromLocalFile(f));
}

void ClipTab::save() {
  if (edit_.loaded) doc_.save();
}

void ClipTab::find() {
  if (!ctx_.session.isLoaded()) return;
  references_->find();
  ctx_.log->statusReady();
  fillReferences();
}

void ClipTab::fillReferences() { references_->showClip(edit_.loaded ? edit_.name : list_->currentText()); }

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
  const std::string file = edit_.name.toStdString() + ctx_.names().clipinfext;
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
  if (!edit_.loaded || edit_.name != name) {
    edit_.filling = true;
    list_->setCurrentIndex(at);
    edit_.filling = false;
    if (!readSelected()) return false;
  }
  std::vector<size_t> changed;
  edit_("Apply to clpi", [&](clip::ClipInfo& c) { changed = disc::applyPlayItem(item, c); });
  ctx_.log->info("Apply to clpi: " + std::to_string(changed.size()) + " stream(s) of " + item.clipName +
                 ctx_.names().clipinfext + " matched the PlayItem");
  if (!changed.empty() && doc_.model.programInfo.programSequences.size() == 1)
    program_->selectStream(int(changed.front()));
  ctx_.log->statusReady();
  return true;
}

}  // namespace morvex::app

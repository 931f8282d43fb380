#include "bdmv/bdmv_tab.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMediaDevices>
#include <QPushButton>
#include <QSplitter>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "bdmv/command_editor_panel.h"
#include "bdmv/command_table.h"
#include "nav/nav_edit.h"
#include "bdmv/folder_rule.h"
#include "core/save.h"
#include "disc/disc_load.h"
#include "extdata/ext_data_editor.h"
#include "panels/execute_panel.h"
#include "panels/register_panel.h"

namespace morvex::app {

namespace {

QString num3(int n) { return QString("%1").arg(n, 3, 10, QChar('0')); }

QTableWidget* makeTable(const char* name, const QStringList& header, const QList<int>& widths, QWidget* parent) {
  auto* t = new QTableWidget(parent);
  t->setObjectName(name);
  t->setColumnCount(int(header.size()));
  t->setHorizontalHeaderLabels(header);
  t->verticalHeader()->hide();
  t->verticalHeader()->setDefaultSectionSize(QFontMetrics(t->font()).height() + 4);
  t->setSelectionBehavior(QAbstractItemView::SelectRows);
  t->setSelectionMode(QAbstractItemView::ContiguousSelection);
  t->setEditTriggers(QAbstractItemView::NoEditTriggers);
  t->setWordWrap(false);
  t->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  const QFontMetrics fm(t->font());
  for (int i = 0; i < header.size(); ++i) {
    const int w = i < widths.size() ? widths[i] : 0;
    t->setColumnWidth(i, std::max(w, fm.horizontalAdvance(header[i]) + 18));
  }
  t->horizontalHeader()->setStretchLastSection(true);
  t->setRowCount(1);
  return t;
}

QComboBox* makeList(const char* name, const QStringList& items, const QString& tip, QWidget* parent) {
  auto* c = new QComboBox(parent);
  c->setObjectName(name);
  c->addItems(items);
  if (!tip.isEmpty()) c->setToolTip(tip);
  c->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  return c;
}

void setCell(QTableWidget* t, int r, int c, const QString& text) {
  auto* it = t->item(r, c);
  if (!it) {
    it = new QTableWidgetItem();
    t->setItem(r, c, it);
  }
  it->setText(text);
}

QString q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

BdmvTab::BdmvTab(AppContext& ctx, ExecutePanel* exec, RegisterPanel* regs, QWidget* parent)
    : TabPage(parent), ctx_(ctx), exec_(exec), regs_(regs) {
  setObjectName("tsBDMV");
  buildUi();

  ExecutePanel::Host host;
  host.program = [this]() -> hdmv::TCommands {
    const int o = selectedObject();
    if (o < 0 || o >= int(ctx_.mobj.movieObjects.objects.size())) return {};
    return ctx_.mobj.movieObjects.objects[size_t(o)].commands;
  };
  host.selectRow = [this](int line) { commands_->selectLine(line); };
  host.showDelayMs = [this] { return ctx_.settings.actiDelay; };
  exec_->attach(&ctx_.interp, ctx_.log, regs_, host);
  connect(exec_->chooser(), &QComboBox::activated, this, [this](int i) { selectObject(i); });
}

BdmvTab::~BdmvTab() {
  if (sink_) sink_->stop();
}

void BdmvTab::buildUi() {
  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(4, 4, 4, 4);
  lay->setSpacing(4);
  auto* top = new QHBoxLayout();
  top->addWidget(new QLabel("BDMV folder", this));
  dir_ = new QLineEdit(this);
  dir_->setObjectName("eBDMVdir");
  dir_->setReadOnly(true);
  openDir_ = new QPushButton("...", this);
  openDir_->setObjectName("bbOpenDir");
  openDir_->setToolTip("Select a directory");
  openDir_->setFixedWidth(32);
  read_ = new QPushButton("&Read", this);
  read_->setObjectName("bReadBDMV");
  top->addWidget(dir_, 1);
  top->addWidget(openDir_);
  top->addWidget(read_);
  lay->addLayout(top);

  auto* split = new QSplitter(Qt::Horizontal, this);
  split->setObjectName("spBDMV");
  split->setChildrenCollapsible(false);
  lay->addWidget(split, 1);

  // Left: the index and the sounds.
  auto* left = new QWidget(split);
  auto* ll = new QVBoxLayout(left);
  ll->setContentsMargins(0, 0, 0, 0);
  indexGroup_ = new QGroupBox("index.bdmv", left);
  indexGroup_->setObjectName("gbIndex");
  auto* il = new QGridLayout(indexGroup_);
  il->setVerticalSpacing(3);
  il->addWidget(new QLabel("Content provider", indexGroup_), 0, 0);
  content_ = new QLineEdit(indexGroup_);
  content_->setObjectName("eContent");
  content_->setMaxLength(32);
  il->addWidget(content_, 0, 1, 1, 4);
  fpbOn_ = new QCheckBox("First Playback", indexGroup_);
  fpbOn_->setObjectName("cbFPBon");
  fpbOn_->setToolTip("First playback on/off");
  fpbType_ = makeList("cbFPBtype", {"HDMV", "BD-J"}, "", indexGroup_);
  fpbPbType_ = makeList("cbFPBTitlePBtype", {"Movie", "Interactive"}, "", indexGroup_);
  fpbObject_ = makeList("cbFPBObject", {}, "", indexGroup_);
  fpbFile_ = makeList("cbFPBFile", {}, "", indexGroup_);
  il->addWidget(fpbOn_, 1, 0);
  il->addWidget(fpbType_, 1, 1);
  il->addWidget(fpbPbType_, 1, 2);
  il->addWidget(fpbObject_, 1, 3);
  il->addWidget(fpbFile_, 1, 4);
  tmOn_ = new QCheckBox("Top Menu (0)", indexGroup_);
  tmOn_->setObjectName("cbTMon");
  tmType_ = makeList("cbTMtype", {"HDMV", "BD-J"}, "", indexGroup_);
  tmObject_ = makeList("cbTMObject", {}, "", indexGroup_);
  tmFile_ = makeList("cbTMFile", {}, "", indexGroup_);
  il->addWidget(tmOn_, 2, 0);
  il->addWidget(tmType_, 2, 1);
  il->addWidget(tmObject_, 2, 3);
  il->addWidget(tmFile_, 2, 4);
  const int cw = QFontMetrics(font()).horizontalAdvance("Interactive") + 16;
  titles_ = makeTable("sgTitles", {"No.", "object t.", "title search", "playback t.", "OID/file"},
                      {QFontMetrics(font()).horizontalAdvance("0000") + 10, cw * 3 / 4, cw, cw}, indexGroup_);
  titles_->setToolTip("Titles");
  titles_->setSelectionMode(QAbstractItemView::ContiguousSelection);
  il->addWidget(titles_, 3, 0, 1, 5);
  il->setRowStretch(3, 1);
  auto* td = new QHBoxLayout();
  titleNo_ = makeList("cbTitleNo", {}, "Title", indexGroup_);
  titleOT_ = makeList("cbTitleOT", {"HDMV", "BD-J"}, "Object type", indexGroup_);
  titleAT_ = makeList("cbTitleAT", {"Permitted", "Prohibited1", "Prohibited2"}, "Title search", indexGroup_);
  titlePBT_ = makeList("cbTitlePBT", {"Movie", "Interactive"}, "Playback type", indexGroup_);
  titleOID_ = makeList("cbTitleOID", {}, "Movie object", indexGroup_);
  titleFN_ = makeList("cbTitleFN", {}, "BD-J object file", indexGroup_);
  for (QComboBox* c : {titleNo_, titleOT_, titleAT_, titlePBT_, titleOID_, titleFN_}) td->addWidget(c);
  td->addStretch(1);
  il->addLayout(td, 4, 0, 1, 5);
  auto* tr = new QHBoxLayout();
  titleIns_ = new QPushButton("+", indexGroup_);
  titleIns_->setObjectName("bbTiins");
  titleIns_->setToolTip("Insert title");
  titleDel_ = new QPushButton("-", indexGroup_);
  titleDel_->setObjectName("bbTidel");
  titleDel_->setToolTip("Delete title");
  for (QPushButton* b : {titleIns_, titleDel_}) b->setFixedWidth(28);
  titleCount_ = new QLabel(indexGroup_);
  titleCount_->setObjectName("lTitleCount");
  indExt_ = new QLabel("no ExtensionData()", indexGroup_);
  indExt_->setObjectName("lIndExtDat");
  indExtEdit_ = new QPushButton("Edit", indexGroup_);
  indExtEdit_->setObjectName("bIndExDatEdit");
  tr->addWidget(titleIns_);
  tr->addWidget(titleDel_);
  tr->addWidget(titleCount_);
  tr->addStretch(1);
  tr->addWidget(indExt_);
  tr->addWidget(indExtEdit_);
  il->addLayout(tr, 5, 0, 1, 5);
  ll->addWidget(indexGroup_, 3);

  soundGroup_ = new QGroupBox("sound.bdmv", left);
  soundGroup_->setObjectName("gbSound");
  auto* sl = new QVBoxLayout(soundGroup_);
  const int sw = QFontMetrics(font()).horizontalAdvance("Stereo") + 18;
  sounds_ = makeTable("sgSound", {"No.", "channel", "frequency", "bits/sample", "length"},
                      {QFontMetrics(font()).horizontalAdvance("0000") + 10, sw, sw, sw}, soundGroup_);
  sounds_->setSelectionMode(QAbstractItemView::SingleSelection);
  sounds_->setToolTip("Sound entries\r\nShift-Del: Delete sound\r\nIns: Insert sound");
  sounds_->installEventFilter(this);
  sl->addWidget(sounds_, 1);
  auto* sr = new QHBoxLayout();
  play_ = new QPushButton("Play", soundGroup_);
  play_->setObjectName("bPlay");
  play_->setToolTip("Play sound entry");
  saveSound_ = new QPushButton("Save...", soundGroup_);
  saveSound_->setObjectName("bSaveSound");
  saveSound_->setToolTip("Save sound entry");
  sndExt_ = new QLabel("no ExtensionData()", soundGroup_);
  sndExt_->setObjectName("lSndExtDat");
  sndExtEdit_ = new QPushButton("Edit", soundGroup_);
  sndExtEdit_->setObjectName("bEditSndExtDat");
  sr->addWidget(play_);
  sr->addWidget(saveSound_);
  sr->addStretch(1);
  sr->addWidget(sndExt_);
  sr->addWidget(sndExtEdit_);
  sl->addLayout(sr);
  ll->addWidget(soundGroup_, 2);

  // Right: the movie objects and their commands.
  objectGroup_ = new QGroupBox("MovieObject.bdmv", split);
  objectGroup_->setObjectName("gbMovieObject");
  auto* ol = new QVBoxLayout(objectGroup_);
  ol->setSpacing(3);
  const int fw = QFontMetrics(font()).horizontalAdvance("suspend") + 16;
  objects_ = makeTable("sgObject", {"No.", "resume", "menu call", "title search", "commands"},
                       {QFontMetrics(font()).horizontalAdvance("0000") + 10, fw, fw, fw}, objectGroup_);
  objects_->setToolTip("Movie objects");
  objects_->setMinimumHeight(std::max(75, ctx_.settings.objectHeight));
  ol->addWidget(objects_, 2);
  resume_ = makeList("cbResume", {"discard", "suspend"}, "Resume", objectGroup_);
  menuCall_ = makeList("cbMenuCall", {"enable", "disable"}, "Menu call", objectGroup_);
  titleSearch_ = makeList("cbTitleSearch", {"enable", "disable"}, "Title search", objectGroup_);
  objIns_ = new QPushButton("+", objectGroup_);
  objIns_->setObjectName("bbObins");
  objIns_->setToolTip("Insert movieobject");
  objDel_ = new QPushButton("-", objectGroup_);
  objDel_->setObjectName("bbObdel");
  objDel_->setToolTip("Delete movieobject");
  for (QPushButton* b : {objIns_, objDel_}) b->setFixedWidth(28);
  objCount_ = new QLabel(objectGroup_);
  objCount_->setObjectName("lObjCount");
  auto* fr = new QHBoxLayout();
  fr->addWidget(new QLabel("Resume", objectGroup_));
  fr->addWidget(resume_);
  fr->addSpacing(6);
  fr->addWidget(new QLabel("Menu call", objectGroup_));
  fr->addWidget(menuCall_);
  fr->addSpacing(6);
  fr->addWidget(new QLabel("Title search", objectGroup_));
  fr->addWidget(titleSearch_);
  fr->addStretch(1);
  fr->addWidget(objIns_);
  fr->addWidget(objDel_);
  fr->addWidget(objCount_);
  ol->addLayout(fr);
  commands_ = new CommandTable("sgCommands", hdmv::CmdContext::MovieObject, objectGroup_);
  commands_->setToolTip("Navigation commands");
  ol->addWidget(commands_, 5);
  editor_ = new CommandEditorPanel(objectGroup_);
  ol->addWidget(editor_);
  auto* er = new QHBoxLayout();
  cmdIns_ = new QPushButton("+", objectGroup_);
  cmdIns_->setObjectName("bbCmdIns");
  cmdIns_->setToolTip("Insert a line after selected line(s)");
  cmdDel_ = new QPushButton("-", objectGroup_);
  cmdDel_->setObjectName("bbCmdDel");
  cmdDel_->setToolTip("Delete the selected line(s)");
  for (QPushButton* b : {cmdIns_, cmdDel_}) b->setFixedWidth(28);
  saveProgram_ = new QPushButton("Save program list", objectGroup_);
  saveProgram_->setObjectName("bSaveProgram");
  saveProgram_->setEnabled(false);
  er->addWidget(cmdIns_);
  er->addWidget(cmdDel_);
  er->addWidget(saveProgram_);
  objExt_ = new QLabel("no ExtensionData()", objectGroup_);
  objExt_->setObjectName("lObjExtDat");
  objExtEdit_ = new QPushButton("Edit", objectGroup_);
  objExtEdit_->setObjectName("bObjExtDatEdit");
  er->addStretch(1);
  er->addWidget(objExt_);
  er->addWidget(objExtEdit_);
  ol->addLayout(er);
  split->addWidget(left);
  split->addWidget(objectGroup_);
  split->setStretchFactor(0, 9);
  split->setStretchFactor(1, 11);
  split->setSizes({530, 650});

  // Actions.
  connect(openDir_, &QPushButton::clicked, this, [this] {
    QString start = folder();
    if (start.size() >= 5) start.chop(5);
    const QString d = QFileDialog::getExistingDirectory(this, "Select a directory", start);
    if (!d.isEmpty()) folderChosen(d);
  });
  connect(read_, &QPushButton::clicked, this, &BdmvTab::readFolder);
  connect(content_, &QLineEdit::textEdited, this, [this](const QString& t) {
    ctx_.indx.contentProviderData = t.left(32).toStdString();
  });
  connect(titles_, &QTableWidget::cellClicked, this, [this](int r) { selectTitle(r); });
  connect(titles_, &QTableWidget::cellDoubleClicked, this, [this](int r) {
    const auto& ts = ctx_.indx.indexes.titles;
    if (r >= 0 && r < int(ts.size()) && !ts[size_t(r)].isHdmv()) Q_EMIT bdjoWanted(titleFN_->currentText());
  });
  connect(titleNo_, &QComboBox::activated, this, [this](int i) { showTitleDetails(i); });
  auto titleEdit = [this](QComboBox* box, auto apply) {
    connect(box, &QComboBox::activated, this, [this, apply](int entry) {
      const int i = titleNo_->currentIndex();
      auto& ts = ctx_.indx.indexes.titles;
      if (filling_ || i < 0 || i >= int(ts.size())) return;
      apply(ts[size_t(i)], entry);
      refreshTitleRow(i);
      showTitleDetails(i);
    });
  };
  titleEdit(titleOT_, [](nav::TTitle& t, int e) { t.objectType = uint8_t(e + 1); });
  titleEdit(titleAT_, [](nav::TTitle& t, int e) { t.accessType = nav::accessTypeFromEntry(e); });
  titleEdit(titlePBT_, [](nav::TTitle& t, int e) { t.playbackType = uint8_t(e); });
  titleEdit(titleOID_, [](nav::TTitle& t, int e) { t.objectId = uint16_t(e); });
  connect(titleFN_, &QComboBox::activated, this, [this](int) {
    const int i = titleNo_->currentIndex();
    auto& ts = ctx_.indx.indexes.titles;
    if (i < 0 || i >= int(ts.size())) return;
    ts[size_t(i)].bdjFileName = titleFN_->currentText().left(5).toStdString();
    refreshTitleRow(i);
  });
  connect(fpbOn_, &QCheckBox::clicked, this, [this](bool on) {
    if (on) ctx_.indx.indexes.firstPlayback.objectType = uint8_t(fpbType_->currentIndex() + 1);
    nav::setFirstPlaybackOn(ctx_.indx, on, uint16_t(std::max(0, fpbObject_->currentIndex())));
    showFirstPlaybackTopMenu();
    refreshCounts();
  });
  connect(tmOn_, &QCheckBox::clicked, this, [this](bool on) {
    if (on) ctx_.indx.indexes.topMenu.objectType = uint8_t(tmType_->currentIndex() + 1);
    nav::setTopMenuOn(ctx_.indx, on, uint16_t(std::max(0, tmObject_->currentIndex())));
    showFirstPlaybackTopMenu();
    refreshCounts();
  });
  connect(fpbType_, &QComboBox::activated, this, [this](int e) {
    ctx_.indx.indexes.firstPlayback.objectType = uint8_t(e + 1);
    showFirstPlaybackTopMenu();
  });
  connect(tmType_, &QComboBox::activated, this, [this](int e) {
    ctx_.indx.indexes.topMenu.objectType = uint8_t(e + 1);
    showFirstPlaybackTopMenu();
  });
  connect(fpbPbType_, &QComboBox::activated, this,
          [this](int e) { ctx_.indx.indexes.firstPlayback.playbackType = uint8_t(e); });
  connect(fpbObject_, &QComboBox::activated, this, [this](int e) {
    ctx_.indx.indexes.firstPlayback.objectId = uint16_t(e);
    if (ctx_.indx.indexes.firstPlayback.isHdmv()) selectObject(e);
  });
  connect(tmObject_, &QComboBox::activated, this, [this](int e) {
    ctx_.indx.indexes.topMenu.objectId = uint16_t(e);
    if (ctx_.indx.indexes.topMenu.isHdmv()) selectObject(e);
  });

  connect(objects_, &QTableWidget::cellClicked, this, [this](int r) { selectObject(r); });
  auto flagEdit = [this](QComboBox* box, uint8_t nav::Tmobject::*flag) {
    connect(box, &QComboBox::activated, this, [this, flag](int e) {
      const int o = selectedObject();
      auto& objs = ctx_.mobj.movieObjects.objects;
      if (o < 0 || o >= int(objs.size())) return;
      objs[size_t(o)].*flag = uint8_t(e);
      refreshObjectRow(o);
    });
  };
  flagEdit(resume_, &nav::Tmobject::resumeIntentionFlag);
  flagEdit(menuCall_, &nav::Tmobject::menuCallMask);
  flagEdit(titleSearch_, &nav::Tmobject::titleSearchMask);
  connect(commands_, &QTableWidget::cellClicked, this, [this](int r) { commandClicked(r); });
  connect(commands_, &QTableWidget::currentCellChanged, this, [this](int r) {
    if (!filling_) selectCommand(r);
  });
  connect(commands_, &QTableWidget::cellDoubleClicked, this, [this](int r) { followCommand(r); });
  connect(commands_, &CommandTable::editKey, this, [this](QKeyEvent* e) {
    const int k = e->key();
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    hdmv::CmdKey key = hdmv::CmdKey::Insert;
    if (k == Qt::Key_Insert) key = hdmv::CmdKey::Insert;
    else if (ctrl && k == Qt::Key_V) key = hdmv::CmdKey::Paste;
    else if (ctrl && k == Qt::Key_C) key = hdmv::CmdKey::Copy;
    else if (ctrl && k == Qt::Key_X) key = hdmv::CmdKey::Cut;
    else if (ctrl && k == Qt::Key_A) key = hdmv::CmdKey::SelectAll;
    else if (k == Qt::Key_Delete) key = hdmv::CmdKey::Delete;
    else if (k == Qt::Key_N) key = hdmv::CmdKey::Nop;
    commandKey(key);
  });
  connect(cmdIns_, &QPushButton::clicked, this, [this] { commandKey(hdmv::CmdKey::Insert); });
  connect(cmdDel_, &QPushButton::clicked, this, [this] { commandKey(hdmv::CmdKey::Delete); });
  connect(editor_, &CommandEditorPanel::commandEdited, this, &BdmvTab::commandEdited);
  connect(editor_, &CommandEditorPanel::returnToTable, this, [this] { commands_->setFocus(); });
  connect(saveProgram_, &QPushButton::clicked, this, [this] {
    const int o = selectedObject();
    if (o < 0) return;
    const auto fmt = ctx_.settings.programFormat == 1 ? hdmv::ProgramFormat::Binary : hdmv::ProgramFormat::List;
    QFileDialog dlg(this, "Save program list",
                    ctx_.dialogFolder() + "/" + q(hdmv::programFileName(o, fmt)),
                    "List (*.lst);;Binary (*.bin)");
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.selectNameFilter(fmt == hdmv::ProgramFormat::List ? "List (*.lst)" : "Binary (*.bin)");
    dlg.setDefaultSuffix(fmt == hdmv::ProgramFormat::List ? "lst" : "bin");
    if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty())
      saveProgramList(dlg.selectedFiles().front(), dlg.selectedNameFilter().startsWith("Binary")
                                                       ? hdmv::ProgramFormat::Binary
                                                       : hdmv::ProgramFormat::List);
    commands_->setFocus();
  });
  connect(titleIns_, &QPushButton::clicked, this, &BdmvTab::insertTitle);
  connect(titleDel_, &QPushButton::clicked, this, &BdmvTab::deleteTitles);
  connect(objIns_, &QPushButton::clicked, this, &BdmvTab::insertObject);
  connect(objDel_, &QPushButton::clicked, this, &BdmvTab::deleteObjects);
  titles_->installEventFilter(this);

  connect(indExtEdit_, &QPushButton::clicked, this, [this] { editExtensionData(0); });
  connect(objExtEdit_, &QPushButton::clicked, this, [this] { editExtensionData(1); });
  connect(sndExtEdit_, &QPushButton::clicked, this, [this] { editExtensionData(2); });
  connect(play_, &QPushButton::clicked, this, [this] {
    playSound(sounds_->currentRow());
    sounds_->setFocus();
  });
  connect(saveSound_, &QPushButton::clicked, this, [this] {
    const int r = sounds_->currentRow();
    if (r < 0 || r >= int(snd_.entries.size())) return;
    QFileDialog dlg(this, "Save sound entry", ctx_.dialogFolder() + "/sound_" + num3(r) + ".wav", "Wave (*.wav)");
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix("wav");
    if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty()) exportSound(r, dlg.selectedFiles().front());
    sounds_->setFocus();
  });
  connect(sounds_, &QTableWidget::currentCellChanged, this, [this](int r) {
    if (filling_) return;
    if (r >= 0 && r < int(snd_.entries.size()))
      ctx_.log->slog(sound::selectionText(snd_, size_t(r)), 1);
    else if (snd_.entries.empty())
      ctx_.log->slog("", 1);
  });
  indexGroup_->setEnabled(false);
  objectGroup_->setEnabled(false);
}

bool BdmvTab::eventFilter(QObject* o, QEvent* e) {
  if (e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    const auto mods = k->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (o == titles_ && mods == Qt::NoModifier && k->key() == Qt::Key_Insert) {
      insertTitle();
      return true;
    }
    if (o == titles_ && mods == Qt::NoModifier && k->key() == Qt::Key_Delete) {
      deleteTitles();
      return true;
    }
    if (o == sounds_ && mods == Qt::NoModifier && k->key() == Qt::Key_Insert) {
      const QString f = QFileDialog::getOpenFileName(
          this, "Select a sound file (mandatory 16 bit, 48kHz, uncompressed)", ctx_.dialogFolder(), "Wave (*.wav)");
      if (!f.isEmpty()) importSound(f);
      return true;
    }
    if (o == sounds_ && mods == Qt::ShiftModifier && k->key() == Qt::Key_Delete) {
      deleteSound(sounds_->currentRow());
      return true;
    }
  }
  return TabPage::eventFilter(o, e);
}

void BdmvTab::startUp() {
  soundGroup_->hide();
  refreshCounts();
}

bool BdmvTab::saveEnabled() const {
  return ctx_.discLoaded && ctx_.indexRead &&
         (!ctx_.mobj.movieObjects.objects.empty() || !ctx_.indx.indexes.titles.empty());
}

bool BdmvTab::startEnabled() const {
  const int o = selectedObject();
  return ctx_.discLoaded && o >= 0 && o < int(ctx_.mobj.movieObjects.objects.size()) &&
         !ctx_.mobj.movieObjects.objects[size_t(o)].commands.empty();
}

// index.bdmv, MovieObject.bdmv, then sound.bdmv when its group is shown. Each writer
// follows the saving policy on its own: a failed backup stops only that writer.
void BdmvTab::save() {
  if (!ctx_.discLoaded) return;
  const auto names = ctx_.names();
  const auto settings = ctx_.saveSettings();
  nav::indexsave(*ctx_.log, settings, ctx_.discFolder, names, ctx_.indx);
  nav::mobjsave(*ctx_.log, settings, ctx_.discFolder, names, ctx_.mobj);
  if (soundShown()) {
    sound::soundsave(*ctx_.log, settings, ctx_.discFolder, snd_);
    showSound();
  }
}

QString BdmvTab::folder() const { return dir_->text(); }
void BdmvTab::setFolder(const QString& folder) { dir_->setText(QDir::fromNativeSeparators(folder)); }

void BdmvTab::folderChosen(const QString& chosen) {
  setFolder(completeBdmvFolder(chosen));
  if (ctx_.settings.autoRead) readFolder();
}

bool BdmvTab::soundShown() const { return soundLoaded_; }

void BdmvTab::clearScreen() {
  filling_ = true;
  titles_->clearContents();
  titles_->setRowCount(1);
  objects_->clearContents();
  objects_->setRowCount(1);
  commands_->setProgram({});
  exec_->chooser()->clear();
  for (QComboBox* c : {titleNo_, titleOID_, titleFN_, fpbObject_, fpbFile_, tmObject_, tmFile_}) c->clear();
  indExtEdit_->setEnabled(false);
  playlists_.clear();
  clipinfos_.clear();
  bdjNames_.clear();
  filling_ = false;
}

void BdmvTab::readFolder() {
  if (folder().isEmpty()) return;
  read_->setEnabled(false);
  clearScreen();
  disc::LoadOptions opt;
  opt.use83names = ctx_.settings.names83;
  std::filesystem::path path = folder().toStdString();
  disc::DiscLoad load = disc::loadDisc(path, opt, *ctx_.log);
  ctx_.discFolder = path;
  // After a failed check nothing of the previous folder may be written into this one.
  ctx_.discLoaded = load.checkPassed;
  if (!load.checkPassed) {
    ctx_.indx = {};
    ctx_.mobj = {};
    ctx_.indexRead = false;
    snd_ = {};
    soundLoaded_ = false;
    soundGroup_->hide();
    indexGroup_->setEnabled(false);
    objectGroup_->setEnabled(false);
    refreshCounts();
    read_->setEnabled(true);
    Q_EMIT rulesChanged();
    return;
  }
  ctx_.indx = std::move(load.index);
  ctx_.mobj = std::move(load.movieObjects);
  ctx_.indexRead = load.indexGood;
  snd_ = std::move(load.sound);
  soundLoaded_ = load.hasSound;
  playlists_ = load.playlists;
  clipinfos_ = load.clipinfos;
  bdjNames_ = load.bdjObjects;
  showIndex();
  showSound();
  Q_EMIT createSoundAvailable(!soundLoaded_);
  Q_EMIT folderLoaded(q(load.discLabel));
  read_->setEnabled(true);
  Q_EMIT rulesChanged();
}

void BdmvTab::showIndex() {
  filling_ = true;
  const auto& ix = ctx_.indx;
  const auto& objs = ctx_.mobj.movieObjects.objects;
  content_->setText(q(ix.contentProviderData));
  QStringList objNames;
  for (size_t i = 0; i < objs.size(); ++i) objNames << num3(int(i));
  QStringList bdj;
  for (const auto& n : bdjNames_) bdj << q(n);
  for (QComboBox* c : {fpbObject_, tmObject_, titleOID_}) {
    c->clear();
    c->addItems(objNames);
  }
  for (QComboBox* c : {fpbFile_, tmFile_, titleFN_}) {
    c->clear();
    c->addItems(bdj);
  }
  auto* chooser = exec_->chooser();
  chooser->clear();
  chooser->addItems(objNames);

  filling_ = false;
  fillTitles();
  fillObjects();

  indexGroup_->setEnabled(ctx_.indexRead);
  objectGroup_->setEnabled(true);
  indExtEdit_->setEnabled(ctx_.indexRead);
  showFirstPlaybackTopMenu();
  updateExtDataLabels();
  refreshCounts();
  if (!ix.indexes.titles.empty()) selectTitle(0);
  const int o = selectedObject();
  selectObject(o >= 0 ? o : 0);
}

void BdmvTab::fillTitles() {
  const bool was = filling_;
  filling_ = true;
  const auto& ts = ctx_.indx.indexes.titles;
  titles_->clearContents();
  titles_->setRowCount(std::max<int>(1, int(ts.size())));
  titleNo_->clear();
  for (size_t i = 0; i < ts.size(); ++i) {
    titleNo_->addItem(QString::number(i + 1));
    refreshTitleRow(int(i));
  }
  const bool any = !ts.empty();
  for (QComboBox* c : {titleNo_, titleAT_, titlePBT_}) c->setEnabled(any);
  if (!any) {
    for (QComboBox* c : {titleOT_, titleOID_, titleFN_}) c->setEnabled(false);
  }
  filling_ = was;
}

// The object table and every list that offers the movie objects.
void BdmvTab::fillObjects() {
  const bool was = filling_;
  filling_ = true;
  const auto& objs = ctx_.mobj.movieObjects.objects;
  objects_->clearContents();
  objects_->setRowCount(std::max<int>(1, int(objs.size())));
  QStringList objNames;
  for (size_t i = 0; i < objs.size(); ++i) {
    refreshObjectRow(int(i));
    objNames << num3(int(i));
  }
  for (QComboBox* c : {fpbObject_, tmObject_, titleOID_, exec_->chooser()}) {
    const int cur = c->currentIndex();
    c->clear();
    c->addItems(objNames);
    if (cur >= 0 && cur < c->count()) c->setCurrentIndex(cur);
  }
  for (QComboBox* c : {resume_, menuCall_, titleSearch_}) c->setEnabled(!objs.empty());
  filling_ = was;
}

void BdmvTab::refreshTitleRow(int i) {
  const auto texts = nav::titleRowTexts(ctx_.indx.indexes.titles.at(size_t(i)));
  for (int c = 0; c < 5; ++c) setCell(titles_, i, c, q(texts[size_t(c)]));
}

void BdmvTab::refreshObjectRow(int i) {
  const auto texts = nav::objectRowTexts(ctx_.mobj.movieObjects.objects.at(size_t(i)), i);
  for (int c = 0; c < 5; ++c) setCell(objects_, i, c, q(texts[size_t(c)]));
}

void BdmvTab::refreshCounts() {
  titleCount_->setText(ctx_.indexRead ? q(nav::titleCountLabel(ctx_.indx)) : QString());
  objCount_->setText(ctx_.discLoaded ? q(nav::objectCountLabel(ctx_.mobj)) : QString());
}

namespace {
int lastSelectedRow(QTableWidget* t) {
  int last = t->currentRow();
  for (const auto& r : t->selectedRanges()) last = std::max(last, r.bottomRow());
  return last;
}
std::pair<int, int> selectedRows(QTableWidget* t) {
  const auto ranges = t->selectedRanges();
  if (ranges.isEmpty()) return {t->currentRow(), t->currentRow()};
  int a = ranges.front().topRow(), b = ranges.front().bottomRow();
  for (const auto& r : ranges) {
    a = std::min(a, r.topRow());
    b = std::max(b, r.bottomRow());
  }
  return {a, b};
}
}  // namespace

void BdmvTab::insertTitle() {
  if (!ctx_.indexRead) return;
  const int after = ctx_.indx.indexes.titles.empty() ? -1 : lastSelectedRow(titles_);
  const int at = nav::insertTitle(ctx_.indx, after);
  fillTitles();
  if (ctx_.indx.indexes.titles.size() == 1) {
    titleOT_->setEnabled(!bdjNames_.empty());
  }
  selectTitle(at);
  refreshCounts();
  Q_EMIT rulesChanged();
}

void BdmvTab::deleteTitles() {
  if (!ctx_.indexRead || ctx_.indx.indexes.titles.empty()) return;
  auto [a, b] = selectedRows(titles_);
  if (a < 0) return;
  b = std::min<int>(b, int(ctx_.indx.indexes.titles.size()) - 1);
  const int sel = nav::deleteTitles(ctx_.indx, a, b);
  fillTitles();
  if (sel >= 0) selectTitle(sel);
  refreshCounts();
  Q_EMIT rulesChanged();
}

void BdmvTab::insertObject() {
  if (!ctx_.discLoaded) return;
  const int after = ctx_.mobj.movieObjects.objects.empty() ? -1 : lastSelectedRow(objects_);
  const int at = nav::insertObject(ctx_.mobj, after);
  fillObjects();
  selectObject(at);
  refreshCounts();
  Q_EMIT rulesChanged();
}

void BdmvTab::deleteObjects() {
  if (!ctx_.discLoaded || ctx_.mobj.movieObjects.objects.empty()) return;
  auto [a, b] = selectedRows(objects_);
  if (a < 0) return;
  b = std::min<int>(b, int(ctx_.mobj.movieObjects.objects.size()) - 1);
  const nav::ObjectDeletion res = nav::deleteObjects(ctx_.mobj, ctx_.indx, a, b, *ctx_.log);
  fillObjects();
  for (size_t i = 0; i < ctx_.indx.indexes.titles.size(); ++i) refreshTitleRow(int(i));
  selectObject(res.select);
  refreshCounts();
  if (!res.reported.empty()) ctx_.log->erslog("See Status");
  Q_EMIT rulesChanged();
}

void BdmvTab::commandKey(hdmv::CmdKey key) {
  const int o = selectedObject();
  if (o < 0) return;
  auto [a, b] = commands_->selectedRange();
  const auto& prog = ctx_.mobj.movieObjects.objects[size_t(o)].commands;
  if (prog.empty()) a = b = -1;
  const hdmv::EditOutcome out = nav::editObjectCommands(ctx_.mobj, o, a, b, key, ctx_.cmdClipboard);
  if (!out.status.empty()) ctx_.log->slog(out.status, 1);
  const auto& now = ctx_.mobj.movieObjects.objects[size_t(o)].commands;
  if (out.changed) {
    filling_ = true;
    commands_->setProgram(now);
    filling_ = false;
    refreshObjectRow(o);
  }
  if (!now.empty()) {
    commands_->selectLines(out.selectFirst, out.selectLast);
    selectCommand(out.selectFirst);
  } else {
    editor_->clearCommand();
  }
  saveProgram_->setEnabled(!now.empty());
  Q_EMIT rulesChanged();
}

void BdmvTab::selectCommand(int row) {
  const int o = selectedObject();
  if (o < 0) return;
  const auto& prog = ctx_.mobj.movieObjects.objects[size_t(o)].commands;
  if (row < 0 || row >= int(prog.size())) {
    editor_->clearCommand();
    return;
  }
  editor_->showCommand(prog[size_t(row)]);
  commands_->setToolTip(editor_->hint());
}

void BdmvTab::commandEdited(const hdmv::TCommand& c) {
  const int o = selectedObject();
  const int r = commands_->currentRow();
  if (o < 0) return;
  auto& prog = ctx_.mobj.movieObjects.objects[size_t(o)].commands;
  if (r < 0 || r >= int(prog.size())) return;
  prog[size_t(r)] = c;
  commands_->setRow(r, c);
  commands_->setToolTip(editor_->hint());
}

void BdmvTab::followCommand(int line) {
  const int o = selectedObject();
  if (o < 0) return;
  const auto& prog = ctx_.mobj.movieObjects.objects[size_t(o)].commands;
  const hdmv::FollowTarget t = hdmv::followCommand(prog, line);
  switch (t.kind) {
    case hdmv::FollowTarget::Line:
      if (t.number < prog.size()) {
        commands_->selectLine(int(t.number));
        selectCommand(int(t.number));
      }
      break;
    case hdmv::FollowTarget::Title:
      if (t.number > 0 && t.number < 1000 && t.number <= ctx_.indx.indexes.titles.size()) {
        selectTitle(int(t.number) - 1);
        commands_->selectLine(0);
      }
      break;
    case hdmv::FollowTarget::PlayList:
      Q_EMIT playlistWanted(q(t.playlistName()), t.playItem ? int(*t.playItem) : -1);
      break;
    default:
      break;
  }
}

bool BdmvTab::saveProgramList(const QString& path, hdmv::ProgramFormat format) {
  const int o = selectedObject();
  if (o < 0) return false;
  const auto& prog = ctx_.mobj.movieObjects.objects[size_t(o)].commands;
  core::Bytes bytes;
  if (format == hdmv::ProgramFormat::Binary) {
    bytes = hdmv::programBinary(prog);
  } else {
    const std::string text = hdmv::programList(prog);
    bytes.assign(text.begin(), text.end());
  }
  std::string error;
  if (!core::writeFileAtomic(path.toStdString(), bytes, error)) {
    ctx_.log->erlog(error);
    return false;
  }
  return true;
}

void BdmvTab::showFirstPlaybackTopMenu() {
  filling_ = true;
  const auto& ix = ctx_.indx.indexes;
  const bool bdj = !bdjNames_.empty();
  const nav::TTitle& f = ix.firstPlayback;
  const bool fOn = f.objectId != 0xFFFF || !f.isHdmv();
  fpbOn_->setChecked(fOn);
  fpbType_->setCurrentIndex(f.isHdmv() ? 0 : 1);
  fpbPbType_->setCurrentIndex(std::min<int>(f.playbackType, 1));
  if (f.isHdmv() && f.objectId < fpbObject_->count()) fpbObject_->setCurrentIndex(f.objectId);
  fpbType_->setEnabled(fOn && bdj);
  fpbPbType_->setEnabled(fOn);
  fpbObject_->setEnabled(fOn && f.isHdmv());
  fpbFile_->setEnabled(fOn && !f.isHdmv());
  const nav::TTitle& m = ix.topMenu;
  const bool mOn = m.objectId != 0xFFFF || !m.isHdmv();
  tmOn_->setChecked(mOn);
  tmType_->setCurrentIndex(m.isHdmv() ? 0 : 1);
  if (m.isHdmv() && m.objectId < tmObject_->count()) tmObject_->setCurrentIndex(m.objectId);
  tmType_->setEnabled(mOn && bdj);
  tmObject_->setEnabled(mOn && m.isHdmv());
  tmFile_->setEnabled(mOn && !m.isHdmv());
  filling_ = false;
}

void BdmvTab::selectTitle(int index) {
  const auto& ts = ctx_.indx.indexes.titles;
  if (index < 0 || index >= int(ts.size())) return;
  showTitleDetails(index);
  const nav::TTitle& t = ts[size_t(index)];
  if (t.isHdmv() && t.objectId < ctx_.mobj.movieObjects.objects.size()) selectObject(t.objectId);
  if (isVisible()) titles_->setFocus();
}

void BdmvTab::showTitleDetails(int i) {
  const auto& ts = ctx_.indx.indexes.titles;
  if (i < 0 || i >= int(ts.size())) return;
  filling_ = true;
  const nav::TTitle& t = ts[size_t(i)];
  titleNo_->setCurrentIndex(i);
  titleOT_->setCurrentIndex(t.isHdmv() ? 0 : 1);
  titleAT_->setCurrentIndex(t.accessType == 0 ? 0 : std::min(2, t.accessType - 1));
  titlePBT_->setCurrentIndex(std::min<int>(t.playbackType, 1));
  titleOID_->setEnabled(t.isHdmv());
  titleFN_->setEnabled(!t.isHdmv());
  if (t.isHdmv() && t.objectId < titleOID_->count()) titleOID_->setCurrentIndex(t.objectId);
  titleOT_->setEnabled(!bdjNames_.empty() || !t.isHdmv());
  titles_->selectRow(i);
  filling_ = false;
}

int BdmvTab::selectedObject() const {
  const int r = objects_->currentRow();
  if (r >= 0 && r < int(ctx_.mobj.movieObjects.objects.size())) return r;
  return ctx_.mobj.movieObjects.objects.empty() ? -1 : 0;
}

void BdmvTab::selectObject(int index) {
  const auto& objs = ctx_.mobj.movieObjects.objects;
  if (index < 0 || index >= int(objs.size())) {
    commands_->setProgram({});
    editor_->clearCommand();
    saveProgram_->setEnabled(false);
    Q_EMIT rulesChanged();
    return;
  }
  objects_->setCurrentCell(index, 0);
  objects_->selectRow(index);
  // The object's row becomes the top row where the table can scroll that far.
  // Done once the window has laid the table out, so its height is known.
  QTimer::singleShot(0, objects_, [t = objects_, index] {
    const int rowH = std::max(1, t->verticalHeader()->defaultSectionSize());
    const int visible = std::max(1, t->viewport()->height() / rowH);
    const int topRow = std::max(0, std::min(index, t->rowCount() - visible));
    if (auto* it = t->item(topRow, 0)) t->scrollToItem(it, QAbstractItemView::PositionAtTop);
  });
  const nav::Tmobject& o = objs[size_t(index)];
  filling_ = true;
  resume_->setCurrentIndex(o.resumeIntentionFlag);
  menuCall_->setCurrentIndex(o.menuCallMask);
  titleSearch_->setCurrentIndex(o.titleSearchMask);
  exec_->chooser()->setCurrentIndex(index);
  filling_ = false;
  filling_ = true;
  if (!o.commands.empty()) {
    ctx_.log->slog("Building commands...", 0);
    commands_->setProgram(o.commands);
  } else {
    commands_->setProgram({});
  }
  filling_ = false;
  saveProgram_->setEnabled(!o.commands.empty());
  Q_EMIT rulesChanged();
  ctx_.log->slogR();
  commands_->selectLine(0);
  selectCommand(0);
}

void BdmvTab::commandClicked(int row) {
  if (exec_->traceBox()->isChecked()) exec_->rowClicked(row);
}

void BdmvTab::updateExtDataLabels() {
  indExt_->setText(q(core::ExtDatCap(ctx_.indx.extensionData)));
  objExt_->setText(q(core::ExtDatCap(ctx_.mobj.extensionData)));
  sndExt_->setText(q(core::ExtDatCap(snd_.extensionData)));
}

// Where each file's layout puts the block after an edit.
void BdmvTab::editExtensionData(int which) {
  const auto names = ctx_.names();
  core::TExtensionData* block = nullptr;
  QString name;
  if (which == 0) {
    block = &ctx_.indx.extensionData;
    name = q(names.indexfile);
  } else if (which == 1) {
    block = &ctx_.mobj.extensionData;
    name = q(names.mobjfile);
  } else {
    block = &snd_.extensionData;
    name = "sound.bdmv";
  }
  ExtDataEditor dlg(*block, name, ctx_.dialogFolder(), *ctx_.log, this);
  if (dlg.exec() != QDialog::Accepted) return;
  *block = dlg.block();
  if (which == 0)
    ctx_.indx.extensionDataStartAddress =
        extDataStartAfterEdit(*block, ctx_.indx.indexesStartAddress + 4 + ctx_.indx.indexes.length);
  else if (which == 1)
    ctx_.mobj.extensionDataStartAddress = extDataStartAfterEdit(*block, 44 + ctx_.mobj.movieObjects.length);
  // The sound writer places the block itself when the file is saved.
  updateExtDataLabels();
}

// Sounds.

void BdmvTab::showSound() {
  filling_ = true;
  soundGroup_->setVisible(soundLoaded_);
  sounds_->clearContents();
  sounds_->setRowCount(std::max<int>(1, int(snd_.entries.size())));
  for (size_t i = 0; i < snd_.entries.size(); ++i) refreshSoundRow(int(i));
  play_->setEnabled(!snd_.entries.empty());
  saveSound_->setEnabled(!snd_.entries.empty());
  updateExtDataLabels();
  filling_ = false;
}

void BdmvTab::refreshSoundRow(int i) {
  const auto& e = snd_.entries.at(size_t(i));
  setCell(sounds_, i, 0, q(sound::soundNumberText(size_t(i))));
  setCell(sounds_, i, 1, q(sound::channelText(e.channelConfiguration)));
  setCell(sounds_, i, 2, q(sound::frequencyText(e.samplingFrequency)));
  setCell(sounds_, i, 3, q(sound::bitsText(e.bitsPerSample)));
  setCell(sounds_, i, 4, q(sound::lengthText(e.length)));
}

bool BdmvTab::importSound(const QString& wavPath) {
  ctx_.log->slog(wavPath.toStdString(), 1);
  core::Bytes wav;
  std::string error;
  if (!core::readWholeFile(wavPath.toStdString(), wav, error)) {
    ctx_.log->erlog(error);
    return false;
  }
  sound::TSoundEntries entry;
  if (!sound::wavToEntry(wav, entry, error)) {
    ctx_.log->erlog(error);
    return false;
  }
  const int row = snd_.entries.empty() ? -1 : sounds_->currentRow();
  const int at = sound::insertSound(snd_, row, std::move(entry));
  if (at < 0) {
    ctx_.log->erlog(sound::kTooManySounds);
    return false;
  }
  showSound();
  sounds_->setCurrentCell(at, 0);
  return true;
}

bool BdmvTab::exportSound(int row, const QString& wavPath) {
  if (row < 0 || row >= int(snd_.entries.size())) return false;
  std::string error;
  if (!core::writeFileAtomic(wavPath.toStdString(), sound::mkWav(snd_.entries[size_t(row)]), error)) {
    ctx_.log->erlog(error);
    return false;
  }
  return true;
}

void BdmvTab::deleteSound(int row) {
  if (!sound::deleteSound(snd_, size_t(std::max(0, row)))) return;
  showSound();
  if (!snd_.entries.empty()) sounds_->setCurrentCell(std::min(row, int(snd_.entries.size()) - 1), 0);
}

bool BdmvTab::createSound(const QString& wavPath) {
  if (!ctx_.discLoaded || soundLoaded_) return false;
  snd_ = sound::newSoundFile();
  soundLoaded_ = true;
  showSound();
  if (!importSound(wavPath)) {
    snd_ = {};
    soundLoaded_ = false;
    showSound();
    return false;
  }
  std::error_code ec;
  std::filesystem::create_directories(ctx_.discFolder / "AUXDATA", ec);
  Q_EMIT createSoundAvailable(false);
  return true;
}

// Plays one entry once, asynchronously; a request while a sound plays restarts the
// player with the new sound. No audio device: nothing plays and nothing is said.
void BdmvTab::playSound(int row) {
  if (row < 0 || row >= int(snd_.entries.size())) return;
  const sound::TSoundEntries& e = snd_.entries[size_t(row)];
  if (sink_) {
    sink_->stop();
    sink_->deleteLater();
  }
  const core::Bytes wav = sound::mkWav(e);
  QAudioFormat fmt;
  fmt.setSampleRate(48000);
  fmt.setChannelCount(e.channelConfiguration == 3 ? 2 : 1);
  fmt.setSampleFormat(QAudioFormat::Int16);
  const QAudioDevice dev = QMediaDevices::defaultAudioOutput();
  if (dev.isNull() || !dev.isFormatSupported(fmt)) return;
  wavBuffer_ = std::make_unique<QBuffer>();
  wavBuffer_->setData(reinterpret_cast<const char*>(wav.data()) + 44, int(wav.size()) - 44);
  wavBuffer_->open(QIODevice::ReadOnly);
  sink_ = new QAudioSink(dev, fmt, this);
  sink_->start(wavBuffer_.get());
}

}  // namespace morvex::app

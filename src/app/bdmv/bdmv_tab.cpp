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

#include "widgets/command_editor_panel.h"
#include "widgets/command_table.h"
#include "nav/nav_edit.h"
#include "bdmv/folder_rule.h"
#include "core/save.h"
#include "disc/disc_load.h"
#include "extdata/ext_data_editor.h"
#include "widgets/grid.h"
#include "panels/execute_panel.h"
#include "panels/register_panel.h"

namespace morvex::app {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

// Typing in the content provider field is one undo step until another edit.
constexpr int kMergeContent = 1;

}  // namespace

BdmvTab::BdmvTab(AppContext& ctx, ExecutePanel* exec, RegisterPanel* regs, QWidget* parent)
    : TabPage(parent), ctx_(ctx), exec_(exec), regs_(regs) {
  setObjectName("tsBDMV");
  buildUi();

  connect(exec_->chooser(), &QComboBox::activated, this, [this](int i) { selectObject(i); });

  // One Save writes the three files, whichever of them the question names.
  for (Document* d : std::initializer_list<Document*>{&ctx_.session.index, &ctx_.session.movieObjects,
                                                      &ctx_.session.sound})
    d->saver = [this, d] {
      save();
      return !d->modified();
    };
  // Undo and redo replace the models: the screen shows them anew. A new edit or a
  // new read has already shown itself.
  connect(&ctx_.session.discUndo(), &QUndoStack::indexChanged, this, [this] {
    if (!editing_ && !reading_) showAfterUndo();
  });
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
  // Column captions of the First Playback and Top Menu lists.
  const char* const fpbCaptions[] = {"Object type", "Playback type", "Movie object", "BD-J object"};
  for (int c = 0; c < 4; ++c) {
    auto* cap = new QLabel(fpbCaptions[c], indexGroup_);
    cap->setObjectName(QString("lFpbCaption%1").arg(c));
    il->addWidget(cap, 1, c + 1);
  }
  fpbOn_ = new QCheckBox("First Playback", indexGroup_);
  fpbOn_->setObjectName("cbFPBon");
  fpbOn_->setToolTip("First playback on/off");
  fpbType_ = makeList("cbFPBtype", {"HDMV", "BD-J"}, "", indexGroup_);
  fpbPbType_ = makeList("cbFPBTitlePBtype", {"Movie", "Interactive"}, "", indexGroup_);
  fpbObject_ = makeList("cbFPBObject", {}, "", indexGroup_);
  fpbFile_ = makeList("cbFPBFile", {}, "", indexGroup_);
  il->addWidget(fpbOn_, 2, 0);
  il->addWidget(fpbType_, 2, 1);
  il->addWidget(fpbPbType_, 2, 2);
  il->addWidget(fpbObject_, 2, 3);
  il->addWidget(fpbFile_, 2, 4);
  tmOn_ = new QCheckBox("Top Menu (0)", indexGroup_);
  tmOn_->setObjectName("cbTMon");
  tmType_ = makeList("cbTMtype", {"HDMV", "BD-J"}, "", indexGroup_);
  tmObject_ = makeList("cbTMObject", {}, "", indexGroup_);
  tmFile_ = makeList("cbTMFile", {}, "", indexGroup_);
  il->addWidget(tmOn_, 3, 0);
  il->addWidget(tmType_, 3, 1);
  il->addWidget(tmObject_, 3, 3);
  il->addWidget(tmFile_, 3, 4);
  const int cw = QFontMetrics(font()).horizontalAdvance("Interactive") + 16;
  titles_ = makeTable("sgTitles", {"No.", "object t.", "title search", "playback t.", "OID/file"},
                      {QFontMetrics(font()).horizontalAdvance("0000") + 10, cw * 3 / 4, cw, cw}, indexGroup_);
  titles_->setToolTip("Titles");
  titles_->setSelectionMode(QAbstractItemView::ContiguousSelection);
  il->addWidget(titles_, 4, 0, 1, 5);
  il->setRowStretch(4, 1);
  // The selected title's details, each list under its caption.
  auto* td = new QGridLayout();
  td->setVerticalSpacing(0);
  td->setHorizontalSpacing(8);
  titleNo_ = makeList("cbTitleNo", {}, "Title", indexGroup_);
  titleOT_ = makeList("cbTitleOT", {"HDMV", "BD-J"}, "Object type", indexGroup_);
  titleAT_ = makeList("cbTitleAT", {"Permitted", "Prohibited1", "Prohibited2"}, "Title search", indexGroup_);
  titlePBT_ = makeList("cbTitlePBT", {"Movie", "Interactive"}, "Playback type", indexGroup_);
  titleOID_ = makeList("cbTitleOID", {}, "Movie object", indexGroup_);
  titleFN_ = makeList("cbTitleFN", {}, "BD-J object file", indexGroup_);
  const char* const titleCaptions[] = {"Title", "Object type", "Title search", "Playback type", "Movie object",
                                       "BD-J object"};
  int col = 0;
  for (QComboBox* c : {titleNo_, titleOT_, titleAT_, titlePBT_, titleOID_, titleFN_}) {
    auto* cap = new QLabel(titleCaptions[col], indexGroup_);
    cap->setObjectName(QString("lTitleCaption%1").arg(col));
    td->addWidget(cap, 0, col);
    td->addWidget(c, 1, col);
    ++col;
  }
  td->setColumnStretch(col, 1);
  il->addLayout(td, 5, 0, 1, 5);
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
  il->addLayout(tr, 6, 0, 1, 5);
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
  // The flags keep their longest entry readable however narrow the window gets.
  for (QComboBox* c : {resume_, menuCall_, titleSearch_}) c->setMinimumWidth(c->sizeHint().width());
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
  // Typing (and the field's own undo) edits the model; consecutive typing is one step.
  connect(content_, &QLineEdit::textChanged, this, [this](const QString& t) {
    if (filling_) return;
    edit("Content provider", [&] { ix().contentProviderData = t.left(32).toStdString(); }, kMergeContent);
  });
  // The details follow the current title however it changes (click or keyboard).
  connect(titles_, &QTableWidget::currentCellChanged, this, [this](int r, int, int pr) {
    if (!filling_ && r != pr) selectTitle(r);
  });
  connect(titles_, &QTableWidget::cellDoubleClicked, this, [this](int r) {
    const auto& ts = ix().indexes.titles;
    if (r >= 0 && r < int(ts.size()) && !ts[size_t(r)].isHdmv())
      Q_EMIT itemWanted(ItemRef{ItemKind::BdjObject, q(ts[size_t(r)].bdjFileName)});
  });
  connect(titleNo_, &QComboBox::activated, this, [this](int i) { showTitleDetails(i); });
  auto titleEdit = [this](QComboBox* box, auto apply) {
    connect(box, &QComboBox::activated, this, [this, apply](int entry) {
      const int i = titleNo_->currentIndex();
      auto& ts = ix().indexes.titles;
      if (filling_ || i < 0 || i >= int(ts.size())) return;
      edit("Title " + QString::number(i + 1), [&] { apply(ts[size_t(i)], entry); });
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
    auto& ts = ix().indexes.titles;
    if (i < 0 || i >= int(ts.size())) return;
    edit("Title " + QString::number(i + 1),
         [&] { ts[size_t(i)].bdjFileName = titleFN_->currentText().left(5).toStdString(); });
    refreshTitleRow(i);
  });
  connect(fpbOn_, &QCheckBox::clicked, this, [this](bool on) {
    edit("First Playback", [&] {
      if (on) ix().indexes.firstPlayback.objectType = uint8_t(fpbType_->currentIndex() + 1);
      nav::setFirstPlaybackOn(ix(), on, uint16_t(std::max(0, fpbObject_->currentIndex())));
    });
    showFirstPlaybackTopMenu();
    refreshCounts();
  });
  connect(tmOn_, &QCheckBox::clicked, this, [this](bool on) {
    edit("Top Menu", [&] {
      if (on) ix().indexes.topMenu.objectType = uint8_t(tmType_->currentIndex() + 1);
      nav::setTopMenuOn(ix(), on, uint16_t(std::max(0, tmObject_->currentIndex())));
    });
    showFirstPlaybackTopMenu();
    refreshCounts();
  });
  connect(fpbType_, &QComboBox::activated, this, [this](int e) {
    edit("First Playback", [&] { ix().indexes.firstPlayback.objectType = uint8_t(e + 1); });
    showFirstPlaybackTopMenu();
  });
  connect(tmType_, &QComboBox::activated, this, [this](int e) {
    edit("Top Menu", [&] { ix().indexes.topMenu.objectType = uint8_t(e + 1); });
    showFirstPlaybackTopMenu();
  });
  connect(fpbPbType_, &QComboBox::activated, this,
          [this](int e) { edit("First Playback", [&] { ix().indexes.firstPlayback.playbackType = uint8_t(e); }); });
  connect(fpbObject_, &QComboBox::activated, this, [this](int e) {
    edit("First Playback", [&] { ix().indexes.firstPlayback.objectId = uint16_t(e); });
    if (ix().indexes.firstPlayback.isHdmv()) selectObject(e);
  });
  connect(tmObject_, &QComboBox::activated, this, [this](int e) {
    edit("Top Menu", [&] { ix().indexes.topMenu.objectId = uint16_t(e); });
    if (ix().indexes.topMenu.isHdmv()) selectObject(e);
  });

  // Flags, commands, editor, Start and the program list follow the current object
  // however the current row changes (click or keyboard).
  connect(objects_, &QTableWidget::currentCellChanged, this, [this](int r, int, int pr) {
    if (!filling_ && r != pr) selectObject(r);
  });
  auto flagEdit = [this](QComboBox* box, uint8_t nav::Tmobject::*flag) {
    connect(box, &QComboBox::activated, this, [this, flag](int e) {
      const int o = selectedObject();
      auto& objs = mo().movieObjects.objects;
      if (o < 0 || o >= int(objs.size())) return;
      edit("Movie object " + num3(o), [&] { objs[size_t(o)].*flag = uint8_t(e); });
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
    if (r < 0 || r >= int(snd().entries.size())) return;
    QFileDialog dlg(this, "Save sound entry", ctx_.dialogFolder() + "/sound_" + num3(r) + ".wav", "Wave (*.wav)");
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix("wav");
    if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty()) exportSound(r, dlg.selectedFiles().front());
    sounds_->setFocus();
  });
  connect(sounds_, &QTableWidget::currentCellChanged, this, [this](int r) {
    if (filling_) return;
    if (r >= 0 && r < int(snd().entries.size()))
      ctx_.log->slog(sound::selectionText(snd(), size_t(r)), 1);
    else if (snd().entries.empty())
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

ExecutePanel::Host BdmvTab::executeHost() {
  ExecutePanel::Host host;
  host.program = [this]() -> hdmv::TCommands {
    const int o = selectedObject();
    if (o < 0 || o >= int(mo().movieObjects.objects.size())) return {};
    return mo().movieObjects.objects[size_t(o)].commands;
  };
  host.selectRow = [this](int line) { commands_->selectLine(line); };
  host.showDelayMs = [this] { return ctx_.settings.actiDelay; };
  return host;
}

TabRules BdmvTab::rules() const {
  TabRules r;
  r.saveShown = true;
  r.saveEnabled = saveEnabled();
  r.saveHint = QStringLiteral("Save the bdmv files");
  r.executePanel = true;
  r.registerPanel = true;
  r.startEnabled = startEnabled();
  return r;
}

bool BdmvTab::showItem(const ItemRef& item) {
  if (item.kind != ItemKind::MovieObject) return false;
  if (item.number < 0 || item.number >= int(mo().movieObjects.objects.size())) return false;
  selectObject(item.number);
  objects_->setFocus();
  return true;
}

bool BdmvTab::saveEnabled() const {
  return ctx_.session.isLoaded() && ctx_.session.indexRead() &&
         (!mo().movieObjects.objects.empty() || !ix().indexes.titles.empty());
}

bool BdmvTab::startEnabled() const {
  const int o = selectedObject();
  return ctx_.session.isLoaded() && o >= 0 && o < int(mo().movieObjects.objects.size()) &&
         !mo().movieObjects.objects[size_t(o)].commands.empty();
}

// index.bdmv, MovieObject.bdmv, then sound.bdmv when its group is shown. Each writer
// follows the saving policy on its own: a failed backup stops only that writer.
void BdmvTab::save() {
  if (!ctx_.session.isLoaded()) return;
  const auto names = ctx_.names();
  const auto settings = ctx_.saveSettings();
  auto& s = ctx_.session;
  if (nav::indexsave(*ctx_.log, settings, s.folder(), names, ix())) s.index.markSaved();
  if (nav::mobjsave(*ctx_.log, settings, s.folder(), names, mo())) s.movieObjects.markSaved();
  if (soundShown()) {
    if (sound::soundsave(*ctx_.log, settings, s.folder(), snd())) s.sound.markSaved();
    showSound();
  }
}

QString BdmvTab::folder() const { return dir_->text(); }
void BdmvTab::setFolder(const QString& folder) { dir_->setText(QDir::fromNativeSeparators(folder)); }

void BdmvTab::folderChosen(const QString& chosen) {
  setFolder(completeBdmvFolder(chosen));
  if (ctx_.settings.autoRead) readFolder();
}

bool BdmvTab::soundShown() const { return ctx_.session.hasSound(); }

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
  filling_ = false;
}

void BdmvTab::readFolder() {
  if (folder().isEmpty()) return;
  // Reading again drops every unsaved change: the user decides first.
  if (!ctx_.session.settle()) return;
  read_->setEnabled(false);
  clearScreen();
  disc::LoadOptions opt;
  opt.use83names = ctx_.settings.names83;
  std::filesystem::path path = folder().toStdString();
  disc::DiscLoad load = disc::loadDisc(path, opt, *ctx_.log);
  load.folder = path;
  // After a failed check nothing of the previous folder may be written into this one.
  reading_ = true;
  ctx_.session.adopt(std::move(load));
  reading_ = false;
  if (!ctx_.session.isLoaded()) {
    soundGroup_->hide();
    indexGroup_->setEnabled(false);
    objectGroup_->setEnabled(false);
    refreshCounts();
    read_->setEnabled(true);
    Q_EMIT rulesChanged();
    return;
  }
  showIndex();
  showSound();
  Q_EMIT createSoundAvailable(!ctx_.session.hasSound());
  Q_EMIT folderLoaded(q(ctx_.session.disc().discLabel));
  read_->setEnabled(true);
  Q_EMIT rulesChanged();
}

void BdmvTab::showIndex() {
  filling_ = true;
  const auto& index = ix();
  const auto& objs = mo().movieObjects.objects;
  content_->setText(q(index.contentProviderData));
  QStringList objNames;
  for (size_t i = 0; i < objs.size(); ++i) objNames << num3(int(i));
  QStringList bdj;
  for (const auto& n : ctx_.session.disc().bdjObjects) bdj << q(n);
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

  indexGroup_->setEnabled(ctx_.session.indexRead());
  objectGroup_->setEnabled(true);
  indExtEdit_->setEnabled(ctx_.session.indexRead());
  showFirstPlaybackTopMenu();
  updateExtDataLabels();
  refreshCounts();
  if (!index.indexes.titles.empty()) selectTitle(0);
  const int o = selectedObject();
  selectObject(o >= 0 ? o : 0);
}

void BdmvTab::showAfterUndo() {
  const int t = titles_->currentRow(), o = objects_->currentRow(), c = commands_->currentRow();
  if (!ctx_.session.disc().hasSound && snd() == sound::TSND{}) {
    ctx_.session.setHasSound(false);
    Q_EMIT createSoundAvailable(true);
  }
  filling_ = true;
  content_->setText(q(ix().contentProviderData));
  filling_ = false;
  fillTitles();
  fillObjects();
  showFirstPlaybackTopMenu();
  updateExtDataLabels();
  refreshCounts();
  showSound();
  const int nt = int(ix().indexes.titles.size()), no = int(mo().movieObjects.objects.size());
  if (nt > 0) showTitleDetails(std::clamp(t, 0, nt - 1));
  selectObject(no > 0 ? std::clamp(o, 0, no - 1) : -1);
  if (c > 0 && c < commands_->commandCount()) {
    commands_->selectLine(c);
    selectCommand(c);
  }
  Q_EMIT rulesChanged();
}

void BdmvTab::fillTitles() {
  const bool was = filling_;
  filling_ = true;
  const auto& ts = ix().indexes.titles;
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
  const auto& objs = mo().movieObjects.objects;
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
  // The lists were filled anew: what they show comes from the models, not from the
  // entry that happened to be current before.
  showFirstPlaybackTopMenu();
  if (titleNo_->currentIndex() >= 0) showTitleDetails(titleNo_->currentIndex());
}

void BdmvTab::refreshTitleRow(int i) {
  const auto texts = nav::titleRowTexts(ix().indexes.titles.at(size_t(i)));
  for (int c = 0; c < 5; ++c) setCell(titles_, i, c, q(texts[size_t(c)]));
}

void BdmvTab::refreshObjectRow(int i) {
  const auto texts = nav::objectRowTexts(mo().movieObjects.objects.at(size_t(i)), i);
  for (int c = 0; c < 5; ++c) setCell(objects_, i, c, q(texts[size_t(c)]));
}

void BdmvTab::refreshCounts() {
  titleCount_->setText(ctx_.session.indexRead() ? q(nav::titleCountLabel(ix())) : QString());
  objCount_->setText(ctx_.session.isLoaded() ? q(nav::objectCountLabel(mo())) : QString());
}


void BdmvTab::insertTitle() {
  if (!ctx_.session.indexRead()) return;
  const int after = ix().indexes.titles.empty() ? -1 : lastSelectedRow(titles_);
  int at = -1;
  edit("Insert title", [&] { at = nav::insertTitle(ix(), after); });
  fillTitles();
  if (ix().indexes.titles.size() == 1) {
    titleOT_->setEnabled(!ctx_.session.disc().bdjObjects.empty());
  }
  selectTitle(at);
  refreshCounts();
  Q_EMIT rulesChanged();
}

void BdmvTab::deleteTitles() {
  if (!ctx_.session.indexRead() || ix().indexes.titles.empty()) return;
  auto [a, b] = selectedRows(titles_);
  if (a < 0) return;
  b = std::min<int>(b, int(ix().indexes.titles.size()) - 1);
  int sel = -1;
  edit("Delete titles", [&] { sel = nav::deleteTitles(ix(), a, b); });
  fillTitles();
  if (sel >= 0) selectTitle(sel);
  refreshCounts();
  Q_EMIT rulesChanged();
}

void BdmvTab::insertObject() {
  if (!ctx_.session.isLoaded()) return;
  const int after = mo().movieObjects.objects.empty() ? -1 : lastSelectedRow(objects_);
  int at = -1;
  edit("Insert movie object", [&] { at = nav::insertObject(mo(), after); });
  fillObjects();
  selectObject(at);
  refreshCounts();
  Q_EMIT rulesChanged();
}

void BdmvTab::deleteObjects() {
  if (!ctx_.session.isLoaded() || mo().movieObjects.objects.empty()) return;
  auto [a, b] = selectedRows(objects_);
  if (a < 0) return;
  b = std::min<int>(b, int(mo().movieObjects.objects.size()) - 1);
  nav::ObjectDeletion res;
  edit("Delete movie objects", [&] { res = nav::deleteObjects(mo(), ix(), a, b, *ctx_.log); });
  fillObjects();
  for (size_t i = 0; i < ix().indexes.titles.size(); ++i) refreshTitleRow(int(i));
  selectObject(res.select);
  refreshCounts();
  if (!res.reported.empty()) ctx_.log->erslog("See Status");
  Q_EMIT rulesChanged();
}

void BdmvTab::commandKey(hdmv::CmdKey key) {
  const int o = selectedObject();
  if (o < 0) return;
  auto [a, b] = commands_->selectedRange();
  const auto& prog = mo().movieObjects.objects[size_t(o)].commands;
  if (prog.empty()) a = b = -1;
  hdmv::EditOutcome out;
  edit("Commands of movie object " + num3(o),
       [&] { out = nav::editObjectCommands(mo(), o, a, b, key, ctx_.cmdClipboard); });
  if (!out.status.empty()) ctx_.log->slog(out.status, 1);
  const auto& now = mo().movieObjects.objects[size_t(o)].commands;
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
  const auto& prog = mo().movieObjects.objects[size_t(o)].commands;
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
  auto& prog = mo().movieObjects.objects[size_t(o)].commands;
  if (r < 0 || r >= int(prog.size())) return;
  edit("Command " + QString::number(r) + " of movie object " + num3(o), [&] { prog[size_t(r)] = c; });
  commands_->setRow(r, c);
  refreshObjectRow(o);
  commands_->setToolTip(editor_->hint());
}

void BdmvTab::followCommand(int line) {
  const int o = selectedObject();
  if (o < 0) return;
  const auto& prog = mo().movieObjects.objects[size_t(o)].commands;
  const hdmv::FollowTarget t = hdmv::followCommand(prog, line);
  switch (t.kind) {
    case hdmv::FollowTarget::Line:
      if (t.number < prog.size()) {
        commands_->selectLine(int(t.number));
        selectCommand(int(t.number));
      }
      break;
    case hdmv::FollowTarget::Title:
      if (t.number > 0 && t.number < 1000 && t.number <= ix().indexes.titles.size()) {
        selectTitle(int(t.number) - 1);
        commands_->selectLine(0);
      }
      break;
    case hdmv::FollowTarget::PlayList:
      Q_EMIT itemWanted(ItemRef{ItemKind::Playlist, q(t.playlistName()), -1, t.playItem ? int(*t.playItem) : -1});
      break;
    default:
      break;
  }
}

bool BdmvTab::saveProgramList(const QString& path, hdmv::ProgramFormat format) {
  const int o = selectedObject();
  if (o < 0) return false;
  const auto& prog = mo().movieObjects.objects[size_t(o)].commands;
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
  const auto& idx = ix().indexes;
  const bool bdj = !ctx_.session.disc().bdjObjects.empty();
  const nav::TTitle& f = idx.firstPlayback;
  const bool fOn = f.objectId != 0xFFFF || !f.isHdmv();
  fpbOn_->setChecked(fOn);
  fpbType_->setCurrentIndex(f.isHdmv() ? 0 : 1);
  fpbPbType_->setCurrentIndex(std::min<int>(f.playbackType, 1));
  // An object number the file names but the disc lacks shows as an empty entry.
  fpbObject_->setCurrentIndex(f.isHdmv() && f.objectId < fpbObject_->count() ? f.objectId : -1);
  fpbType_->setEnabled(fOn && bdj);
  fpbPbType_->setEnabled(fOn);
  fpbObject_->setEnabled(fOn && f.isHdmv());
  fpbFile_->setEnabled(fOn && !f.isHdmv());
  const nav::TTitle& m = idx.topMenu;
  const bool mOn = m.objectId != 0xFFFF || !m.isHdmv();
  tmOn_->setChecked(mOn);
  tmType_->setCurrentIndex(m.isHdmv() ? 0 : 1);
  tmObject_->setCurrentIndex(m.isHdmv() && m.objectId < tmObject_->count() ? m.objectId : -1);
  tmType_->setEnabled(mOn && bdj);
  tmObject_->setEnabled(mOn && m.isHdmv());
  tmFile_->setEnabled(mOn && !m.isHdmv());
  filling_ = false;
}

void BdmvTab::selectTitle(int index) {
  const auto& ts = ix().indexes.titles;
  if (index < 0 || index >= int(ts.size())) return;
  showTitleDetails(index);
  const nav::TTitle& t = ts[size_t(index)];
  if (t.isHdmv() && t.objectId < mo().movieObjects.objects.size()) selectObject(t.objectId);
  if (isVisible()) titles_->setFocus();
}

void BdmvTab::showTitleDetails(int i) {
  const auto& ts = ix().indexes.titles;
  if (i < 0 || i >= int(ts.size())) return;
  filling_ = true;
  const nav::TTitle& t = ts[size_t(i)];
  titleNo_->setCurrentIndex(i);
  titleOT_->setCurrentIndex(t.isHdmv() ? 0 : 1);
  titleAT_->setCurrentIndex(t.accessType == 0 ? 0 : std::min(2, t.accessType - 1));
  titlePBT_->setCurrentIndex(std::min<int>(t.playbackType, 1));
  titleOID_->setEnabled(t.isHdmv());
  titleFN_->setEnabled(!t.isHdmv());
  titleOID_->setCurrentIndex(t.isHdmv() && t.objectId < titleOID_->count() ? t.objectId : -1);
  titleOT_->setEnabled(!ctx_.session.disc().bdjObjects.empty() || !t.isHdmv());
  titles_->selectRow(i);
  filling_ = false;
}

int BdmvTab::selectedObject() const {
  const int r = objects_->currentRow();
  if (r >= 0 && r < int(mo().movieObjects.objects.size())) return r;
  return mo().movieObjects.objects.empty() ? -1 : 0;
}

void BdmvTab::selectObject(int index) {
  const auto& objs = mo().movieObjects.objects;
  if (index < 0 || index >= int(objs.size())) {
    commands_->setProgram({});
    editor_->clearCommand();
    saveProgram_->setEnabled(false);
    Q_EMIT rulesChanged();
    return;
  }
  filling_ = true;
  objects_->setCurrentCell(index, 0);
  objects_->selectRow(index);
  filling_ = false;
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
  indExt_->setText(q(core::ExtDatCap(ix().extensionData)));
  objExt_->setText(q(core::ExtDatCap(mo().extensionData)));
  sndExt_->setText(q(core::ExtDatCap(snd().extensionData)));
}

// Where each file's layout puts the block after an edit.
void BdmvTab::editExtensionData(int which) {
  const auto names = ctx_.names();
  core::TExtensionData* block = nullptr;
  QString name;
  if (which == 0) {
    block = &ix().extensionData;
    name = q(names.indexfile);
  } else if (which == 1) {
    block = &mo().extensionData;
    name = q(names.mobjfile);
  } else {
    block = &snd().extensionData;
    name = "sound.bdmv";
  }
  ExtDataEditor dlg(*block, name, ctx_.dialogFolder(), *ctx_.log, this);
  if (dlg.exec() != QDialog::Accepted) return;
  edit(name + " ExtensionData", [&] {
    *block = dlg.block();
    if (which == 0)
      ix().extensionDataStartAddress =
          extDataStartAfterEdit(*block, ix().indexesStartAddress + 4 + ix().indexes.length);
    else if (which == 1)
      mo().extensionDataStartAddress = extDataStartAfterEdit(*block, 44 + mo().movieObjects.length);
  });
  // The sound writer places the block itself when the file is saved.
  updateExtDataLabels();
}

// Sounds.

void BdmvTab::showSound() {
  filling_ = true;
  soundGroup_->setVisible(ctx_.session.hasSound());
  sounds_->clearContents();
  sounds_->setRowCount(std::max<int>(1, int(snd().entries.size())));
  for (size_t i = 0; i < snd().entries.size(); ++i) refreshSoundRow(int(i));
  play_->setEnabled(!snd().entries.empty());
  saveSound_->setEnabled(!snd().entries.empty());
  updateExtDataLabels();
  filling_ = false;
}

void BdmvTab::refreshSoundRow(int i) {
  const auto& e = snd().entries.at(size_t(i));
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
  const int row = snd().entries.empty() ? -1 : sounds_->currentRow();
  int at = -1;
  edit("Insert sound", [&] { at = sound::insertSound(snd(), row, std::move(entry)); });
  if (at < 0) {
    ctx_.log->erlog(sound::kTooManySounds);
    return false;
  }
  showSound();
  sounds_->setCurrentCell(at, 0);
  return true;
}

bool BdmvTab::exportSound(int row, const QString& wavPath) {
  if (row < 0 || row >= int(snd().entries.size())) return false;
  std::string error;
  if (!core::writeFileAtomic(wavPath.toStdString(), sound::mkWav(snd().entries[size_t(row)]), error)) {
    ctx_.log->erlog(error);
    return false;
  }
  return true;
}

void BdmvTab::deleteSound(int row) {
  bool gone = false;
  edit("Delete sound", [&] { gone = sound::deleteSound(snd(), size_t(std::max(0, row))); });
  if (!gone) return;
  showSound();
  if (!snd().entries.empty()) sounds_->setCurrentCell(std::min(row, int(snd().entries.size()) - 1), 0);
}

bool BdmvTab::createSound(const QString& wavPath) {
  if (!ctx_.session.isLoaded() || ctx_.session.hasSound()) return false;
  // The new file starts with its first sound: the empty file and the import are one
  // edit, so undo removes both.
  core::Bytes wav;
  std::string error;
  sound::TSoundEntries entry;
  if (!core::readWholeFile(wavPath.toStdString(), wav, error) || !sound::wavToEntry(wav, entry, error)) {
    ctx_.log->erlog(error);
    return false;
  }
  edit("Create sound.bdmv", [&] {
    snd() = sound::newSoundFile();
    sound::insertSound(snd(), -1, std::move(entry));
  });
  ctx_.session.setHasSound(true);
  showSound();
  sounds_->setCurrentCell(0, 0);
  std::error_code ec;
  std::filesystem::create_directories(ctx_.session.folder() / "AUXDATA", ec);
  Q_EMIT createSoundAvailable(false);
  return true;
}

// Plays one entry once, asynchronously; a request while a sound plays restarts the
// player with the new sound. No audio device: nothing plays and nothing is said.
void BdmvTab::playSound(int row) {
  if (row < 0 || row >= int(snd().entries.size())) return;
  const sound::TSoundEntries& e = snd().entries[size_t(row)];
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

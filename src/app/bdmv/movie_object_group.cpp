#include "app/bdmv/movie_object_group.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "core/save.h"
#include "app/extdata/ext_data_editor.h"
#include "nav/nav_edit.h"
#include "app/widgets/command_editor_panel.h"
#include "app/widgets/command_table.h"
#include "app/widgets/grid.h"
#include "app/shell/qt_text.h"

namespace morvex::app {

namespace {
}  // namespace

MovieObjectGroup::MovieObjectGroup(AppContext& ctx, DiscEdits& edit, ExecutePanel* exec, QWidget* parent)
    : QGroupBox("MovieObject.bdmv", parent), ctx_(ctx), edit_(edit), exec_(exec) {
  setObjectName("movieObjectGroup");
  buildUi();
  setEnabled(false);
}

void MovieObjectGroup::buildUi() {
  auto* ol = new QVBoxLayout(this);
  ol->setSpacing(3);
  const int fw = QFontMetrics(font()).horizontalAdvance("suspend") + 16;
  objects_ = makeTable("movieObjectTable", {"No.", "resume", "menu call", "title search", "commands"},
                       {QFontMetrics(font()).horizontalAdvance("0000") + 10, fw, fw, fw}, this);
  objects_->setToolTip("Movie objects");
  objects_->setMinimumHeight(std::max(75, ctx_.settings.objectHeight));
  ol->addWidget(objects_, 2);
  resume_ = makeList("resumeChoice", {"discard", "suspend"}, "Resume", this);
  menuCall_ = makeList("menuCallChoice", {"enable", "disable"}, "Menu call", this);
  titleSearch_ = makeList("titleSearchChoice", {"enable", "disable"}, "Title search", this);
  // The flags keep their longest entry readable however narrow the window gets.
  for (QComboBox* c : {resume_, menuCall_, titleSearch_}) c->setMinimumWidth(c->sizeHint().width());
  objIns_ = new QPushButton("+", this);
  objIns_->setObjectName("insertMovieObjectButton");
  objIns_->setToolTip("Insert movieobject");
  objDel_ = new QPushButton("-", this);
  objDel_->setObjectName("deleteMovieObjectButton");
  objDel_->setToolTip("Delete movieobject");
  for (QPushButton* b : {objIns_, objDel_}) b->setFixedWidth(28);
  objCount_ = new QLabel(this);
  objCount_->setObjectName("movieObjectCountLabel");
  auto* fr = new QHBoxLayout();
  fr->addWidget(new QLabel("Resume", this));
  fr->addWidget(resume_);
  fr->addSpacing(6);
  fr->addWidget(new QLabel("Menu call", this));
  fr->addWidget(menuCall_);
  fr->addSpacing(6);
  fr->addWidget(new QLabel("Title search", this));
  fr->addWidget(titleSearch_);
  fr->addStretch(1);
  fr->addWidget(objIns_);
  fr->addWidget(objDel_);
  fr->addWidget(objCount_);
  ol->addLayout(fr);
  commands_ = new CommandTable("commandTable", hdmv::CmdContext::MovieObject, this);
  commands_->setToolTip("Navigation commands");
  ol->addWidget(commands_, 5);
  editor_ = new CommandEditorPanel(this);
  ol->addWidget(editor_);
  auto* er = new QHBoxLayout();
  cmdIns_ = new QPushButton("+", this);
  cmdIns_->setObjectName("insertCommandButton");
  cmdIns_->setToolTip("Insert a line after selected line(s)");
  cmdDel_ = new QPushButton("-", this);
  cmdDel_->setObjectName("deleteCommandButton");
  cmdDel_->setToolTip("Delete the selected line(s)");
  for (QPushButton* b : {cmdIns_, cmdDel_}) b->setFixedWidth(28);
  saveProgram_ = new QPushButton("Save program list", this);
  saveProgram_->setObjectName("saveProgramButton");
  saveProgram_->setEnabled(false);
  er->addWidget(cmdIns_);
  er->addWidget(cmdDel_);
  er->addWidget(saveProgram_);
  objExt_ = new QLabel("no ExtensionData()", this);
  objExt_->setObjectName("movieObjectExtensionDataLabel");
  objExtEdit_ = new QPushButton("Edit", this);
  objExtEdit_->setObjectName("movieObjectExtensionDataButton");
  er->addStretch(1);
  er->addWidget(objExt_);
  er->addWidget(objExtEdit_);
  ol->addLayout(er);

  connect(exec_->chooser(), &QComboBox::activated, this, [this](int i) { selectObject(i); });
  // Flags, commands, editor, Start and the program list follow the current object
  // however the current row changes (click or keyboard).
  connect(objects_, &QTableWidget::currentCellChanged, this, [this](int r, int, int pr) {
    if (!filling_ && r != pr) selectObject(r);
  });
  auto flagEdit = [this](QComboBox* box, uint8_t nav::MovieObject::*flag) {
    connect(box, &QComboBox::activated, this, [this, flag](int e) {
      const int o = selectedObject();
      auto& objs = mo().movieObjects.objects;
      if (o < 0 || o >= int(objs.size())) return;
      edit_("Movie object " + num3(o), [&] { objs[size_t(o)].*flag = uint8_t(e); });
      refreshObjectRow(o);
    });
  };
  flagEdit(resume_, &nav::MovieObject::resumeIntentionFlag);
  flagEdit(menuCall_, &nav::MovieObject::menuCallMask);
  flagEdit(titleSearch_, &nav::MovieObject::titleSearchMask);
  connect(commands_, &QTableWidget::cellClicked, this, [this](int r) { commandClicked(r); });
  connect(commands_, &QTableWidget::currentCellChanged, this, [this](int r) {
    if (!filling_) selectCommand(r);
  });
  connect(commands_, &QTableWidget::cellDoubleClicked, this, [this](int r) { followCommand(r); });
  connect(commands_, &CommandTable::editKey, this, &MovieObjectGroup::commandKey);
  connect(cmdIns_, &QPushButton::clicked, this, [this] { commandKey(hdmv::CmdKey::Insert); });
  connect(cmdDel_, &QPushButton::clicked, this, [this] { commandKey(hdmv::CmdKey::Delete); });
  connect(editor_, &CommandEditorPanel::commandEdited, this, &MovieObjectGroup::commandEdited);
  connect(editor_, &CommandEditorPanel::returnToTable, this, [this] { commands_->setFocus(); });
  connect(saveProgram_, &QPushButton::clicked, this, [this] {
    const int o = selectedObject();
    if (o < 0) return;
    const auto fmt = ctx_.settings.programFormat == 1 ? hdmv::ProgramFormat::Binary : hdmv::ProgramFormat::List;
    QFileDialog dlg(this, "Save program list", ctx_.dialogFolder() + "/" + toQt(hdmv::programFileName(o, fmt)),
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
  connect(objIns_, &QPushButton::clicked, this, &MovieObjectGroup::insertObject);
  connect(objDel_, &QPushButton::clicked, this, &MovieObjectGroup::deleteObjects);
  connect(objExtEdit_, &QPushButton::clicked, this, &MovieObjectGroup::editExtensionData);
}

void MovieObjectGroup::clear() {
  filling_ = true;
  objects_->clearContents();
  objects_->setRowCount(1);
  commands_->setProgram({});
  exec_->chooser()->clear();
  filling_ = false;
  refreshCount();
}

void MovieObjectGroup::showRead() {
  fillObjects();
  setEnabled(true);
  updateExtDataLabel();
  refreshCount();
}

void MovieObjectGroup::showAfterUndo() {
  const int o = objects_->currentRow(), c = commands_->currentRow();
  fillObjects();
  updateExtDataLabel();
  refreshCount();
  const int no = int(mo().movieObjects.objects.size());
  selectObject(no > 0 ? std::clamp(o, 0, no - 1) : -1);
  if (c > 0 && c < commands_->commandCount()) {
    commands_->selectLine(c);
    selectCommand(c);
  }
}

QStringList MovieObjectGroup::objectNames() const {
  QStringList names;
  const size_t n = mo().movieObjects.objects.size();
  names.reserve(qsizetype(n));
  for (size_t i = 0; i < n; ++i) names << num3(int(i));
  return names;
}

// The object table and the execute panel's object list.
void MovieObjectGroup::fillObjects() {
  const bool was = filling_;
  filling_ = true;
  const auto& objs = mo().movieObjects.objects;
  objects_->clearContents();
  objects_->setRowCount(std::max<int>(1, int(objs.size())));
  for (size_t i = 0; i < objs.size(); ++i) refreshObjectRow(int(i));
  QComboBox* chooser = exec_->chooser();
  const int cur = chooser->currentIndex();
  chooser->clear();
  chooser->addItems(objectNames());
  if (cur >= 0 && cur < chooser->count()) chooser->setCurrentIndex(cur);
  for (QComboBox* c : {resume_, menuCall_, titleSearch_}) c->setEnabled(!objs.empty());
  filling_ = was;
}

void MovieObjectGroup::refreshObjectRow(int i) {
  const auto texts = nav::objectRowTexts(mo().movieObjects.objects.at(size_t(i)), i);
  for (int c = 0; c < 5; ++c) setCell(objects_, i, c, toQt(texts[size_t(c)]));
}

void MovieObjectGroup::refreshCount() {
  objCount_->setText(ctx_.session.isLoaded() ? toQt(nav::objectCountLabel(mo())) : QString());
}

void MovieObjectGroup::insertObject() {
  if (!ctx_.session.isLoaded()) return;
  const int after = mo().movieObjects.objects.empty() ? -1 : lastSelectedRow(objects_);
  int at = -1;
  edit_("Insert movie object", [&] { at = nav::insertObject(mo(), after); });
  fillObjects();
  Q_EMIT objectsChanged();
  selectObject(at);
  refreshCount();
  Q_EMIT rulesChanged();
}

void MovieObjectGroup::deleteObjects() {
  if (!ctx_.session.isLoaded() || mo().movieObjects.objects.empty()) return;
  auto [a, b] = selectedRows(objects_);
  if (a < 0) return;
  b = std::min<int>(b, int(mo().movieObjects.objects.size()) - 1);
  nav::ObjectDeletion res;
  edit_("Delete movie objects",
        [&] { res = nav::deleteObjects(mo(), ctx_.session.index.model, a, b, *ctx_.log); });
  fillObjects();
  Q_EMIT objectsChanged();
  selectObject(res.select);
  refreshCount();
  if (!res.reported.empty()) ctx_.log->errorStatus("See Status");
  Q_EMIT rulesChanged();
}

void MovieObjectGroup::commandKey(hdmv::CmdKey key) {
  const int o = selectedObject();
  if (o < 0) return;
  auto [a, b] = commands_->selectedRange();
  const auto& prog = mo().movieObjects.objects[size_t(o)].commands;
  if (prog.empty()) a = b = -1;
  hdmv::EditOutcome out;
  edit_("Commands of movie object " + num3(o),
        [&] { out = nav::editObjectCommands(mo(), o, a, b, key, ctx_.cmdClipboard); });
  if (!out.status.empty()) ctx_.log->status(core::StatusPanel::Detail, out.status);
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

void MovieObjectGroup::selectCommand(int row) {
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

void MovieObjectGroup::commandEdited(const hdmv::Command& c) {
  const int o = selectedObject();
  const int r = commands_->currentRow();
  if (o < 0) return;
  auto& prog = mo().movieObjects.objects[size_t(o)].commands;
  if (r < 0 || r >= int(prog.size())) return;
  edit_("Command " + QString::number(r) + " of movie object " + num3(o), [&] { prog[size_t(r)] = c; });
  commands_->setRow(r, c);
  refreshObjectRow(o);
  commands_->setToolTip(editor_->hint());
}

void MovieObjectGroup::followCommand(int line) {
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
      if (t.number > 0 && t.number < 1000 && t.number <= ctx_.session.index.model.indexes.titles.size()) {
        Q_EMIT titleWanted(int(t.number) - 1);
        commands_->selectLine(0);
      }
      break;
    case hdmv::FollowTarget::PlayList:
      Q_EMIT itemWanted(ItemRef{ItemKind::Playlist, toQt(t.playlistName()), -1, t.playItem ? int(*t.playItem) : -1});
      break;
    default:
      break;
  }
}

bool MovieObjectGroup::saveProgramList(const QString& path, hdmv::ProgramFormat format) {
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
    ctx_.log->error(error);
    return false;
  }
  return true;
}

int MovieObjectGroup::selectedObject() const {
  const int r = objects_->currentRow();
  if (r >= 0 && r < int(mo().movieObjects.objects.size())) return r;
  return mo().movieObjects.objects.empty() ? -1 : 0;
}

void MovieObjectGroup::selectObject(int index) {
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
  const nav::MovieObject& o = objs[size_t(index)];
  filling_ = true;
  resume_->setCurrentIndex(o.resumeIntentionFlag);
  menuCall_->setCurrentIndex(o.menuCallMask);
  titleSearch_->setCurrentIndex(o.titleSearchMask);
  exec_->chooser()->setCurrentIndex(index);
  if (!o.commands.empty()) {
    ctx_.log->status(core::StatusPanel::Main, "Building commands...");
    commands_->setProgram(o.commands);
  } else {
    commands_->setProgram({});
  }
  filling_ = false;
  saveProgram_->setEnabled(!o.commands.empty());
  Q_EMIT rulesChanged();
  ctx_.log->statusReady();
  commands_->selectLine(0);
  selectCommand(0);
}

void MovieObjectGroup::commandClicked(int row) {
  if (exec_->traceBox()->isChecked()) exec_->rowClicked(row);
}

bool MovieObjectGroup::startEnabled() const {
  const int o = selectedObject();
  return ctx_.session.isLoaded() && o >= 0 && o < int(mo().movieObjects.objects.size()) &&
         !mo().movieObjects.objects[size_t(o)].commands.empty();
}

ExecutePanel::Host MovieObjectGroup::executeHost() {
  ExecutePanel::Host host;
  host.program = [this]() -> hdmv::CommandList {
    const int o = selectedObject();
    if (o < 0 || o >= int(mo().movieObjects.objects.size())) return {};
    return mo().movieObjects.objects[size_t(o)].commands;
  };
  host.selectRow = [this](int line) { commands_->selectLine(line); };
  host.showDelayMs = [this] { return ctx_.settings.actiDelay; };
  return host;
}

void MovieObjectGroup::updateExtDataLabel() { objExt_->setText(toQt(core::extensionDataCaption(mo().extensionData))); }

// The block goes where the file's layout puts it after an edit.
void MovieObjectGroup::editExtensionData() {
  const QString name = toQt(ctx_.names().mobjfile);
  ExtDataEditor dlg(mo().extensionData, name, ctx_.dialogFolder(), *ctx_.log, this);
  if (dlg.exec() != QDialog::Accepted) return;
  edit_(name + " ExtensionData", [&] {
    mo().extensionData = dlg.block();
    mo().extensionDataStartAddress = extDataStartAfterEdit(mo().extensionData, 44 + mo().movieObjects.length);
  });
  updateExtDataLabel();
}

}  // namespace morvex::app

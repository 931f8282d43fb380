#include "app/menu/bogs_panel.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QKeyEvent>
#include <QLabel>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include "hdmv/command_edit.h"
#include "igs/edit.h"
#include "app/menu/button_grid.h"
#include "app/menu/picture_widget.h"
#include "app/widgets/command_editor_panel.h"
#include "app/widgets/command_table.h"
#include "app/widgets/grid.h"
#include "app/widgets/in_place_edit.h"
#include "app/shell/qt_text.h"

namespace morvex::app {

namespace {
QString hex4(unsigned v) { return QString("%1").arg(v, 4, 16, QChar('0')).toUpper(); }
}  // namespace

BogsPanel::BogsPanel(MenuDocument& doc, EditFn edit, std::function<unsigned()> soundCount,
                     hdmv::CommandList& clipboard, QWidget* parent)
    : QWidget(parent), doc_(doc), edit_(std::move(edit)), soundCount_(std::move(soundCount)), clipboard_(clipboard) {
  setObjectName("bogsTab");
  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(2, 2, 2, 2);
  lay->setSpacing(3);

  bogs_ = new QTableWidget(2, 1, this);
  bogs_->setObjectName("bogTable");
  bogs_->setToolTip("Button overlap groups\r\nIns: Insert BOG\r\nDel: Delete BOG");
  bogs_->setVerticalHeaderLabels({toQt(igs::kBogRowCaptions[0]), toQt(igs::kBogRowCaptions[1])});
  bogs_->verticalHeader()->setDefaultSectionSize(QFontMetrics(font()).height() + 4);
  bogs_->horizontalHeader()->setDefaultSectionSize(QFontMetrics(font()).horizontalAdvance("00000") + 14);
  bogs_->setSelectionBehavior(QAbstractItemView::SelectColumns);
  bogs_->setSelectionMode(QAbstractItemView::SingleSelection);
  const int bogHeight = bogs_->horizontalHeader()->sizeHint().height() + 2 * bogs_->verticalHeader()->defaultSectionSize() +
                        bogs_->horizontalScrollBar()->sizeHint().height() + 6;
  bogs_->setFixedHeight(bogHeight);
  bogSwitch_ = new InPlaceEditSwitch(bogs_);

  QStringList caps;
  for (const char* c : igs::kButtonFieldCaptions) caps << c;
  QList<int> widths;
  for (int i = 0; i < ButtonColumnCount; ++i) widths << QFontMetrics(font()).horizontalAdvance("0000") + 10;
  buttons_ = makeTable("buttonTable", caps, widths, this);
  buttons_->setToolTip("Buttons\r\nIns: Insert button\r\nShift+Del: Delete button");
  buttonSwitch_ = new InPlaceEditSwitch(buttons_);

  commands_ = new CommandTable("buttonCommandTable", hdmv::CmdContext::Button, this);
  commands_->setToolTip("Navigation commands of the button");
  editor_ = new CommandEditorPanel(this);

  picture_ = new PictureWidget(this);
  picture_->setObjectName("bogPicture");
  picture_->setToolTip("The object of the clicked object column");
  picture_->setMinimumWidth(160);
  auto* top = new QSplitter(Qt::Horizontal, this);
  top->addWidget(buttons_);
  top->addWidget(picture_);
  top->setStretchFactor(0, 4);
  top->setStretchFactor(1, 1);
  top->setChildrenCollapsible(false);
  auto* split = new QSplitter(Qt::Vertical, this);
  split->setObjectName("bogsSplitter");
  split->addWidget(top);
  auto* lower = new QWidget(split);
  auto* ll = new QVBoxLayout(lower);
  ll->setContentsMargins(0, 0, 0, 0);
  ll->setSpacing(2);
  ll->addWidget(commands_, 1);
  ll->addWidget(editor_);
  split->addWidget(lower);
  split->setStretchFactor(0, 2);
  split->setStretchFactor(1, 3);
  split->setChildrenCollapsible(false);
  lay->addWidget(bogs_);
  lay->addWidget(split, 1);

  for (QTableWidget* t : {bogs_, buttons_}) t->installEventFilter(this);

  connect(bogs_, &QTableWidget::currentCellChanged, this, [this](int, int c, int, int pc) {
    if (!filling_ && c >= 0 && c != pc) selectBog(c);
  });
  connect(bogs_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* it) {
    if (!filling_) bogCellChanged(it->row(), it->column());
  });
  connect(bogs_, &QTableWidget::cellDoubleClicked, this, [this](int r, int c) {
    if (bogSwitch_->editing() || r != 0) return;
    const int p = page_;
    edit_("Default valid button", [p, c](igs::Menu& m) { igs::stepBogDefault(m, size_t(p), size_t(c)); });
    refill();
  });
  connect(buttons_, &QTableWidget::currentCellChanged, this, [this](int r, int, int pr, int) {
    if (!filling_ && r >= 0 && r != pr) selectButton(r);
  });
  connect(buttons_, &QTableWidget::cellClicked, this, [this](int r, int c) {
    const igs::ButtonOverlapGroup* g = bogModel();
    if (!g || r < 0 || r >= int(g->buttons.size())) return;
    const igs::Button& b = g->buttons[size_t(r)];
    unsigned id = igs::kNoObject;
    switch (c) {
      case ColNormalStart: id = b.normalStart; break;
      case ColNormalEnd: id = b.normalEnd; break;
      case ColSelStart: id = b.selectedStart; break;
      case ColSelEnd: id = b.selectedEnd; break;
      case ColActStart: id = b.activatedStart; break;
      case ColActEnd: id = b.activatedEnd; break;
      default: break;
    }
    Q_EMIT objectWanted(id);
  });
  connect(buttons_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* it) {
    if (!filling_) buttonCellChanged(it->row(), it->column());
  });
  connect(commands_, &QTableWidget::currentCellChanged, this, [this](int r) {
    if (filling_) return;
    const igs::Button* b = buttonModel();
    if (b && r >= 0 && r < int(b->commands.size()))
      editor_->showCommand(b->commands[size_t(r)]);
    else
      editor_->clearCommand();
  });
  connect(commands_, &QTableWidget::cellClicked, this, [this](int r) { Q_EMIT commandClicked(r); });
  connect(commands_, &CommandTable::editKey, this, &BogsPanel::commandKey);
  connect(editor_, &CommandEditorPanel::commandEdited, this, &BogsPanel::commandEdited);
  connect(editor_, &CommandEditorPanel::returnToTable, this, [this] { commands_->setFocus(); });
}

// The grids commit an open cell editor while they are destroyed; nothing may reach
// the half-destroyed panel then.
BogsPanel::~BogsPanel() {
  for (QObject* c : findChildren<QObject*>()) c->disconnect(this);
}

const igs::Page* BogsPanel::pageModel() const {
  const auto& pages = doc_.model.ics.pages;
  return page_ >= 0 && size_t(page_) < pages.size() ? &pages[size_t(page_)] : nullptr;
}

const igs::ButtonOverlapGroup* BogsPanel::bogModel() const {
  const igs::Page* p = pageModel();
  return p && bog_ >= 0 && size_t(bog_) < p->bogs.size() ? &p->bogs[size_t(bog_)] : nullptr;
}

const igs::Button* BogsPanel::buttonModel() const {
  const igs::ButtonOverlapGroup* g = bogModel();
  return g && button_ >= 0 && size_t(button_) < g->buttons.size() ? &g->buttons[size_t(button_)] : nullptr;
}

void BogsPanel::showPicture(const menuview::Image* picture) { picture_->setPicture(picture); }

int BogsPanel::currentButtonId() const {
  const igs::Button* b = buttonModel();
  return b ? int(b->id) : -1;
}

void BogsPanel::setPage(int page) {
  page_ = page;
  bog_ = 0;
  button_ = 0;
  refill();
  // A new page shows its first BOG with the default valid button's row.
  selectBog(0);
}

void BogsPanel::refill() {
  const igs::Page* p = pageModel();
  if (p) {
    bog_ = std::clamp(bog_, 0, std::max(0, int(p->bogs.size()) - 1));
    const igs::ButtonOverlapGroup* g = bogModel();
    button_ = g ? std::clamp(button_, 0, std::max(0, int(g->buttons.size()) - 1)) : 0;
  }
  fillBogs();
  fillButtons();
  fillCommands();
}

void BogsPanel::fillBogs() {
  const bool was = filling_;
  filling_ = true;
  const igs::Page* p = pageModel();
  const int n = p ? int(p->bogs.size()) : 0;
  bogs_->setColumnCount(std::max(1, n));
  QStringList header;
  for (int i = 0; i < std::max(1, n); ++i) header << QString::number(i);
  bogs_->setHorizontalHeaderLabels(header);
  for (int i = 0; i < n; ++i) {
    const auto texts = igs::bogColumnTexts(p->bogs[size_t(i)]);
    setCell(bogs_, 0, i, toQt(texts[0]));
    setCell(bogs_, 1, i, toQt(texts[1]));
    if (QTableWidgetItem* it = bogs_->item(1, i)) it->setFlags(it->flags() & ~Qt::ItemIsEditable);
  }
  if (n == 0) {
    setCell(bogs_, 0, 0, QString());
    setCell(bogs_, 1, 0, QString());
  }
  if (n > 0 && bogs_->currentColumn() != bog_) bogs_->setCurrentCell(std::max(0, bogs_->currentRow()), bog_);
  filling_ = was;
}

void BogsPanel::fillButtons() {
  const bool was = filling_;
  filling_ = true;
  const igs::ButtonOverlapGroup* g = bogModel();
  const int n = g ? int(g->buttons.size()) : 0;
  buttons_->setRowCount(std::max(1, n));
  for (int r = 0; r < n; ++r) {
    const auto texts = igs::buttonRowTexts(g->buttons[size_t(r)]);
    for (int c = 0; c < ButtonColumnCount && c < int(texts.size()); ++c) {
      setCell(buttons_, r, c, toQt(texts[size_t(c)]));
      if (c == ColId || c == ColCommands)
        if (QTableWidgetItem* it = buttons_->item(r, c)) it->setFlags(it->flags() & ~Qt::ItemIsEditable);
    }
  }
  if (n == 0)
    for (int c = 0; c < ButtonColumnCount; ++c) setCell(buttons_, 0, c, QString());
  if (n > 0 && buttons_->currentRow() != button_)
    buttons_->setCurrentCell(button_, std::max(0, buttons_->currentColumn()));
  filling_ = was;
}

void BogsPanel::fillCommands() {
  const bool was = filling_;
  filling_ = true;
  const igs::Button* b = buttonModel();
  const int line = std::max(0, commands_->currentRow());
  commands_->setProgram(b ? b->commands : hdmv::CommandList{});
  filling_ = was;
  if (b && !b->commands.empty()) {
    const int l = std::min(line, int(b->commands.size()) - 1);
    commands_->selectLine(l);
    editor_->showCommand(b->commands[size_t(l)]);
  } else {
    editor_->clearCommand();
  }
}

void BogsPanel::selectBog(int bog) {
  const igs::Page* p = pageModel();
  if (!p || bog < 0 || size_t(bog) >= p->bogs.size()) return;
  bog_ = bog;
  // The button grid opens on the BOG's default valid button, else the first one.
  const igs::ButtonOverlapGroup& g = p->bogs[size_t(bog)];
  button_ = 0;
  for (size_t i = 0; i < g.buttons.size(); ++i)
    if (g.buttons[i].id == g.defaultValid) button_ = int(i);
  fillBogs();
  fillButtons();
  fillCommands();
}

void BogsPanel::selectButton(int index) {
  const igs::ButtonOverlapGroup* g = bogModel();
  if (!g || index < 0 || size_t(index) >= g->buttons.size()) return;
  button_ = index;
  if (buttons_->currentRow() != index) {
    filling_ = true;
    buttons_->setCurrentCell(index, std::max(0, buttons_->currentColumn()));
    filling_ = false;
  }
  commands_->setCurrentCell(-1, -1);
  fillCommands();
}

void BogsPanel::bogCellChanged(int row, int column) {
  QTableWidgetItem* it = bogs_->item(row, column);
  if (!it || row != 0) return;
  const std::string text = it->text().toStdString();
  const int p = page_;
  edit_("Default valid button of BOG " + QString::number(column),
        [&](igs::Menu& m) { igs::setBogDefault(m, size_t(p), size_t(column), text); });
  refill();
}

void BogsPanel::buttonCellChanged(int row, int column) {
  QTableWidgetItem* it = buttons_->item(row, column);
  const igs::ButtonOverlapGroup* g = bogModel();
  if (!it || !g || row >= int(g->buttons.size())) return;
  const std::string text = it->text().toStdString();
  const int p = page_, bog = bog_;
  const unsigned sounds = soundCount_ ? soundCount_() : 0;
  button_ = row;
  edit_(QString("Button %1, %2").arg(hex4(g->buttons[size_t(row)].id), igs::kButtonFieldCaptions[size_t(column)]),
        [&](igs::Menu& m) {
          if (auto field = buttonField(column)) igs::editButtonCell(m, size_t(p), size_t(bog), size_t(row), *field, text, sounds);
        });
  refill();
}

void BogsPanel::setCommands(const hdmv::CommandList& program, const QString& what) {
  const int p = page_, bog = bog_, b = button_;
  edit_(what, [&](igs::Menu& m) { igs::setButtonCommands(m, size_t(p), size_t(bog), size_t(b), program); });
}

void BogsPanel::commandKey(hdmv::CmdKey key) {
  const igs::Button* b = buttonModel();
  if (!b) return;
  hdmv::CommandList program = b->commands;
  auto [first, last] = commands_->selectedRange();
  if (program.empty()) first = last = -1;
  const hdmv::EditOutcome out = hdmv::applyCmdKey(program, first, last, key, clipboard_);
  if (out.changed) setCommands(program, "Commands of button " + hex4(b->id));
  refill();
  if (!program.empty()) {
    commands_->selectLines(out.selectFirst, out.selectLast);
    if (out.selectFirst >= 0 && out.selectFirst < int(program.size())) editor_->showCommand(program[size_t(out.selectFirst)]);
  }
}

void BogsPanel::commandEdited(const hdmv::Command& c) {
  const igs::Button* b = buttonModel();
  const int r = commands_->currentRow();
  if (!b || r < 0 || r >= int(b->commands.size())) return;
  hdmv::CommandList program = b->commands;
  program[size_t(r)] = c;
  setCommands(program, QString("Command %1 of button %2").arg(r).arg(hex4(b->id)));
  filling_ = true;
  commands_->setRow(r, c);
  filling_ = false;
  const igs::ButtonOverlapGroup* g = bogModel();
  if (g && button_ < int(g->buttons.size()))
    setCell(buttons_, button_, ColCommands, toQt(igs::buttonRowTexts(g->buttons[size_t(button_)])[ColCommands]));
}

void BogsPanel::insertBog() {
  const int p = page_;
  bool done = false;
  edit_("Insert BOG", [&](igs::Menu& m) { done = igs::createBog(m, size_t(p)); });
  refill();
  if (done && pageModel()) selectBog(int(pageModel()->bogs.size()) - 1);
}

void BogsPanel::deleteBog() {
  const int p = page_, g = bog_;
  edit_("Delete BOG", [&](igs::Menu& m) { igs::eraseBog(m, size_t(p), size_t(g)); });
  refill();
}

void BogsPanel::insertButton() {
  const int p = page_, g = bog_;
  bool done = false;
  edit_("Insert button", [&](igs::Menu& m) { done = igs::createButton(m, size_t(p), size_t(g)); });
  refill();
  if (done && bogModel()) selectButton(int(bogModel()->buttons.size()) - 1);
}

void BogsPanel::deleteButton() {
  const int p = page_, g = bog_, b = button_;
  if (!igs::canDeleteButton(doc_.model, size_t(p), size_t(g))) return;
  edit_("Delete button", [&](igs::Menu& m) { igs::eraseButton(m, size_t(p), size_t(g), size_t(b)); });
  refill();
}

bool BogsPanel::eventFilter(QObject* o, QEvent* e) {
  if (e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    const auto mods = k->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (o == bogs_ && !bogSwitch_->editing()) {
      if (k->key() == Qt::Key_Insert && mods == Qt::NoModifier) {
        insertBog();
        return true;
      }
      if (k->key() == Qt::Key_Delete && mods == Qt::NoModifier) {
        deleteBog();
        return true;
      }
    }
    if (o == buttons_ && !buttonSwitch_->editing()) {
      if (k->key() == Qt::Key_Insert && mods == Qt::NoModifier) {
        insertButton();
        return true;
      }
      if (k->key() == Qt::Key_Delete && mods == Qt::ShiftModifier) {
        deleteButton();
        return true;
      }
    }
  }
  return QWidget::eventFilter(o, e);
}

}  // namespace morvex::app

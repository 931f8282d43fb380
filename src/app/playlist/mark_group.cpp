#include "app/playlist/mark_group.h"

#include <QApplication>

#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

#include "app/playlist/playlist_grid.h"
#include "app/widgets/grid.h"
#include "playlist/names.h"
#include "playlist/playlist_edit.h"

namespace morvex::app {

namespace pl = morvex::playlist;

MarkGroup::MarkGroup(AppContext& ctx, PlaylistEdits& edit, QWidget* parent)
    : QGroupBox("PlayListMarks", parent), ctx_(ctx), edit_(edit) {
  setObjectName("markGroup");
  buildUi();
  connectEditors();
}

void MarkGroup::buildUi() {
  auto* mg = new QVBoxLayout(this);
  mg->setContentsMargins(4, 4, 4, 4);
  marks_ = makeTable("markTable", qlist(pl::markHeader(), false), {34, 84, 34, 92, 60, 60}, this);
  marks_->installEventFilter(this);
  mg->addWidget(marks_, 1);
  auto* mr = new QHBoxLayout();
  markType_ = makeList("cmPLMtype", items(pl::markTypeItems()), "Mark type", this);
  markPlayItem_ = field("markPlayItemField", "PlayItem of the mark", "[0-9]{0,3}", 3, this);
  hours_ = field("markHoursField", "Hours", "[0-9]{0,2}", 2, this);
  minutes_ = field("markMinutesField", "Minutes", "[0-9]{0,2}", 2, this);
  seconds_ = field("markSecondsField", "Seconds", "[0-9]{0,2}", 2, this);
  milliseconds_ = field("markMillisecondsField", "Milliseconds", "[0-9]{0,3}", 3, this);
  insertButton_ = new QPushButton("+", this);
  insertButton_->setObjectName("insertMarkButton");
  insertButton_->setToolTip(
      "Insert a mark after the selected one: at the time typed into the fields, or at the selected PlayItem's IN time");
  deleteButton_ = new QPushButton("-", this);
  deleteButton_->setObjectName("deleteMarkButton");
  deleteButton_->setToolTip("Delete the selected marks");
  markType_->setMinimumWidth(markType_->sizeHint().width());
  for (QPushButton* b : {insertButton_, deleteButton_}) b->setFixedWidth(b->fontMetrics().horizontalAdvance("+") + 30);
  mr->addWidget(markType_);
  mr->addWidget(new QLabel("PI", this));
  mr->addWidget(markPlayItem_);
  mr->addWidget(new QLabel("time", this));
  for (QLineEdit* e : {hours_, minutes_, seconds_, milliseconds_}) mr->addWidget(e);
  mr->addWidget(insertButton_);
  mr->addWidget(deleteButton_);
  mr->addStretch(1);
  mg->addLayout(mr);
}

void MarkGroup::connectEditors() {
  connect(marks_, &QTableWidget::currentCellChanged, this, [this](int r) {
    if (!filling_) showMarkFields(r);
  });
  connect(insertButton_, &QPushButton::clicked, this, [this] { insertMark(); });
  connect(deleteButton_, &QPushButton::clicked, this, [this] { deleteMarks(); });
  connect(markType_, &QComboBox::activated, this, [this](int i) {
    const int k = selectedMark();
    if (k < 0) return;
    edit_("Mark type", [&] { pl::setMarkType(m(), unsigned(k), unsigned(i)); });
    showMarkRow(k);
  });
  connect(markPlayItem_, &QLineEdit::editingFinished, this, [this] {
    const int k = selectedMark();
    if (k < 0 || filling_) return;
    edit_.checked(*ctx_.log, "Mark PlayItem", [&](pl::Playlist& p) {
      pl::setMarkPlayItem(p, unsigned(k), uint16_t(markPlayItem_->text().toUInt()));
    });
    showMarkRow(k);
  });
  for (QLineEdit* e : {hours_, minutes_, seconds_, milliseconds_}) {
    connect(e, &QLineEdit::textEdited, this, [this] { timeTyped_ = true; });
    connect(e, &QLineEdit::editingFinished, this, [this] { markTimeEdited(); });
  }
  // Enter walks from the PlayItem field through the time fields to the type list.
  QWidget* chain[] = {markPlayItem_, hours_, minutes_, seconds_, milliseconds_, markType_};
  for (int i = 0; i < 5; ++i)
    connect(static_cast<QLineEdit*>(chain[i]), &QLineEdit::returnPressed, this,
            [next = chain[i + 1]] { next->setFocus(); });
}

// ---- showing the model ---------------------------------------------------------------

void MarkGroup::showModel() {
  const int mk = marks_->currentRow();
  showMarks();
  filling_ = true;
  const int nmk = int(m().playListMark.marks.size());
  if (nmk > 0) marks_->setCurrentCell(std::clamp(mk, 0, nmk - 1), 0);
  filling_ = false;
  showMarkFields(marks_->currentRow());
}

void MarkGroup::showSelected() {
  showMarks();
  showMarkFields(marks_->currentRow());
}

void MarkGroup::clear() {
  filling_ = true;
  marks_->clearContents();
  marks_->setRowCount(1);
  setTitle("PlayListMarks");
  for (QLineEdit* e : {markPlayItem_, hours_, minutes_, seconds_, milliseconds_}) e->clear();
  filling_ = false;
}

void MarkGroup::updateEnabled() {
  const bool on = edit_.loaded;
  insertButton_->setEnabled(on && pl::canInsertMark(m()));
  deleteButton_->setEnabled(on && !m().playListMark.marks.empty());
  marks_->setEnabled(on && !m().playListMark.marks.empty());
  if (!on)
    for (QWidget* w : std::initializer_list<QWidget*>{markType_, markPlayItem_, hours_, minutes_, seconds_, milliseconds_})
      w->setEnabled(false);
}

void MarkGroup::showMarks() {
  filling_ = true;
  const auto& mk = m().playListMark.marks;
  std::vector<pl::Row> rows;
  rows.reserve(mk.size());
  for (size_t i = 0; i < mk.size(); ++i) rows.push_back(pl::markLine(mk[i], unsigned(i)));
  fillTable(marks_, rows);
  // The count sits in the caption, where a narrow window cannot cut it off.
  setTitle(QString("PlayListMarks (%1)").arg(mk.size()));
  filling_ = false;
}

void MarkGroup::showMarkRow(int i) {
  if (i < 0 || i >= int(m().playListMark.marks.size())) return;
  filling_ = true;
  fillRow(marks_, i, pl::markLine(m().playListMark.marks[size_t(i)], unsigned(i)));
  filling_ = false;
  showMarkFields(i);
}

int MarkGroup::selectedMark() const {
  const int r = marks_->currentRow();
  return r >= 0 && r < int(m().playListMark.marks.size()) ? r : -1;
}

void MarkGroup::showMarkFields(int i) {
  filling_ = true;
  const bool has = i >= 0 && i < int(m().playListMark.marks.size());
  for (QWidget* w : std::initializer_list<QWidget*>{markType_, markPlayItem_, hours_, minutes_, seconds_, milliseconds_})
    w->setEnabled(has);
  if (has) {
    const auto& mk = m().playListMark.marks[size_t(i)];
    markType_->setCurrentIndex(mk.type >= 1 && mk.type <= 2 ? mk.type - 1 : -1);
    markPlayItem_->setText(QString::number(mk.playItemRef));
    const auto f = pl::markTimeFields(mk.timeStamp);
    hours_->setText(QString::number(f.hours));
    minutes_->setText(QString::number(f.minutes));
    seconds_->setText(QString::number(f.seconds));
    milliseconds_->setText(QString::number(f.milliseconds));
  } else {
    for (QLineEdit* e : {markPlayItem_, hours_, minutes_, seconds_, milliseconds_}) e->clear();
  }
  timeTyped_ = false;
  filling_ = false;
}

// ---- edits ------------------------------------------------------------------------------

void MarkGroup::markTimeEdited() {
  const int k = selectedMark();
  if (k < 0 || filling_) return;
  // Typed and then "+" pressed: the time is the new mark's, the selected one stays.
  if (timeTyped_ && QApplication::focusWidget() == insertButton_) return;
  timeTyped_ = false;
  pl::MarkTimeFields f{hours_->text().toInt(), minutes_->text().toInt(), seconds_->text().toInt(), milliseconds_->text().toInt()};
  edit_.checked(*ctx_.log, "Mark time", [&](pl::Playlist& p) { pl::setMarkTime(p, unsigned(k), f); });
  showMarkRow(k);
}

void MarkGroup::insertMark() {
  if (!edit_.loaded || !pl::canInsertMark(m())) return;
  const int after = m().playListMark.marks.empty() ? -1 : lastSelectedRow(marks_);
  std::optional<unsigned> at;
  // The new mark belongs to the selected PlayItem: at the time typed into the fields
  // when the user typed one (checked as the disc check would: a time outside the
  // PlayItem is taken with the check's warning shown), otherwise at its IN time.
  const int item = selectedPlayItem ? selectedPlayItem() : -1;
  if (timeTyped_) {
    pl::MarkTimeFields f{hours_->text().toInt(), minutes_->text().toInt(), seconds_->text().toInt(),
                         milliseconds_->text().toInt()};
    const uint32_t ticks = pl::markTime(f);
    const int typedItem = item >= 0 ? item : markPlayItem_->text().toInt();
    const bool changed = edit_.checked(*ctx_.log, "Insert mark", [&](pl::Playlist& p) {
      at = pl::insertMark(p, after);
      if (!at) return;
      auto& mark = p.playListMark.marks[*at];
      mark.playItemRef = uint16_t(typedItem);
      mark.timeStamp = ticks;
    });
    if (!changed) at.reset();
  } else {
    edit_("Insert mark", [&] {
      at = pl::insertMark(m(), after);
      const auto& items = m().playList.playItems;
      if (at && item >= 0 && item < int(items.size())) {
        auto& mark = m().playListMark.marks[*at];
        mark.playItemRef = uint16_t(item);
        mark.timeStamp = items[size_t(item)].inTime;
      }
    });
  }
  showMarks();
  Q_EMIT countChanged();
  if (at) marks_->setCurrentCell(int(*at), 0);
  showMarkFields(selectedMark());
}

void MarkGroup::deleteMarks() {
  if (m().playListMark.marks.empty()) return;
  auto [a, b] = selectedRows(marks_);
  const int n = int(m().playListMark.marks.size());
  if (a < 0 || a >= n) return;
  b = std::min(b, n - 1);
  std::optional<int> next;
  edit_("Delete marks", [&] { next = pl::deleteMarks(m(), unsigned(a), unsigned(b)); });
  showMarks();
  Q_EMIT countChanged();
  if (next && *next >= 0) marks_->setCurrentCell(*next, 0);
  showMarkFields(selectedMark());
}

bool MarkGroup::loadChapters(const QString& path, pl::ChapterFormat format) {
  if (!edit_.loaded) return false;
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
  edit_("Load chapters", [&] { m() = std::move(copy); });
  showMarks();
  Q_EMIT countChanged();
  if (!m().playListMark.marks.empty()) marks_->setCurrentCell(0, 0);
  showMarkFields(selectedMark());
  return true;
}

bool MarkGroup::saveChapters(const QString& path, pl::ChapterFormat format) {
  if (!edit_.loaded) return false;
  const auto result = pl::exportChapters(m(), format);
  if (!result.ok) {
    ctx_.log->errorLine("Chapters not saved: " + result.error);
    return false;
  }
  for (const auto& w : result.warnings) ctx_.log->warning(w);
  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(result.text.data(), qint64(result.text.size())) != qint64(result.text.size()) ||
      !f.commit()) {
    ctx_.log->errorLine("Cannot write " + path.toStdString() + ": " + f.errorString().toStdString());
    return false;
  }
  ctx_.log->info("Chapters written to " + path.toStdString());
  return true;
}

bool MarkGroup::eventFilter(QObject* o, QEvent* e) {
  if (o == marks_ && e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Insert) return insertMark(), true;
    if (k->key() == Qt::Key_Delete) return deleteMarks(), true;
    if (k->matches(QKeySequence::SelectAll)) return marks_->selectAll(), true;
  }
  return QGroupBox::eventFilter(o, e);
}

}  // namespace morvex::app

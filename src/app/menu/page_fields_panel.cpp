#include "app/menu/page_fields_panel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include "app/shell/qt_text.h"
#include "igs/edit.h"

namespace morvex::app {

PageFieldsPanel::PageFieldsPanel(MenuDocument& doc, menuview::PageView& view, core::Log& log, MenuEditFn edit,
                                 QWidget* parent)
    : QWidget(parent), doc_(doc), view_(view), log_(log), edit_(std::move(edit)) {
  setObjectName("pageFieldsPanel");
  pages_ = new QComboBox(this);
  pages_->setObjectName("pageChoice");
  pages_->setToolTip("Page\r\nIns: Insert page\r\nDel: Delete page");
  pages_->setMinimumContentsLength(3);
  pages_->installEventFilter(this);
  pageCount_ = new QLabel("(0)", this);
  pageCount_->setObjectName("pageCountLabel");
  uom1_ = addField("pageUoMask1Field", 8, "User Operation Mask 1");
  uom2_ = addField("pageUoMask2Field", 1, "User Operation Mask 2");
  animCode_ = addField("animationCodeField", 3, "Animation Frame Rate Code (divider)");
  defSel_ = addField("defaultSelectedField", 4, "Default Selected Button");
  defAct_ = addField("defaultActivatedField", 4, "Default Activated Button");
  palette_ = addField("paletteField", 2, "Palette");
  inWindows_ = addField("inWindowsField", 2, "In-effect windows (click: Effects)", true);
  inEffects_ = addField("inEffectsField", 2, "In-effects (click: Effects)", true);
  outWindows_ = addField("outWindowsField", 2, "Out-effect windows (click: Effects)", true);
  outEffects_ = addField("outEffectsField", 2, "Out-effects (click: Effects)", true);
  bogCount_ = addField("bogCountField", 3, "Number of BOGs", true);
  // The effect counts are not typed into; a click on one opens the Effects sub-tab.
  for (QLineEdit* e : {inWindows_, inEffects_, outWindows_, outEffects_}) e->installEventFilter(this);
  userTimeout_ = addField("userTimeoutField", 7, "User timeout (h:mm:ss)");
  inTime_ = addField("inTimeField", 11, "IN_time", true);
  videoFormat_ = new QComboBox(this);
  videoFormat_->setObjectName("videoFormatChoice");
  for (const char* f : igs::kVideoFormats) videoFormat_->addItem(f);
  videoFormat_->setEnabled(false);
  frameRate_ = new QComboBox(this);
  frameRate_->setObjectName("frameRateChoice");
  for (int i = 0; i < 8; ++i) frameRate_->addItem(igs::frameRate(uint8_t(i)).label);
  frameRate_->setEnabled(false);
  layOut();

  connect(pages_, &QComboBox::activated, this, &PageFieldsPanel::pageChosen);
  setEditable(false);
}

PageFieldsPanel::~PageFieldsPanel() {
  // A field losing its focus while it is destroyed must not reach the group.
  for (QObject* c : findChildren<QObject*>()) c->disconnect(this);
}

QLineEdit* PageFieldsPanel::addField(const char* name, int chars, const QString& tip, bool readOnly) {
  auto* e = new QLineEdit(this);
  e->setObjectName(name);
  e->setToolTip(tip);
  e->setFixedWidth(QFontMetrics(e->font()).horizontalAdvance(QString(chars + 1, QChar('D'))) + 10);
  e->setReadOnly(readOnly);
  if (!readOnly) {
    e->installEventFilter(this);
    connect(e, &QLineEdit::editingFinished, this, [this, e] { fieldLeft(e); });
  }
  return e;
}

// Caption left of each field, three rows, so the tab stays within the window's
// minimum width.
void PageFieldsPanel::layOut() {
  auto* top = new QGridLayout(this);
  top->setContentsMargins(0, 0, 0, 0);
  top->setHorizontalSpacing(6);
  top->setVerticalSpacing(2);
  auto pair = [this, top](int row, int col, const QString& caption, QWidget* w) {
    auto* lab = new QLabel(caption, this);
    lab->setBuddy(w);
    top->addWidget(lab, row, col * 2, Qt::AlignRight);
    top->addWidget(w, row, col * 2 + 1, Qt::AlignLeft);
  };
  auto box = [this](std::initializer_list<QWidget*> ws) {
    auto* b = new QWidget(this);
    auto* l = new QHBoxLayout(b);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(3);
    for (QWidget* w : ws) l->addWidget(w);
    return b;
  };
  pair(0, 0, "Page", box({pages_, pageCount_}));
  pair(0, 1, "User Operation Mask 1", uom1_);
  pair(0, 2, "User Operation Mask 2", uom2_);
  pair(0, 3, "Palette", palette_);
  pair(1, 0, "Animation Frame Rate Code (divider)", animCode_);
  pair(1, 1, "Default Selected Button", defSel_);
  pair(1, 2, "Default Activated Button", defAct_);
  pair(1, 3, "BOGs", bogCount_);
  auto* inLab = new QLabel("In", this);
  auto* outLab = new QLabel("Out", this);
  pair(2, 0, "Effect windows, effects", box({inLab, inWindows_, inEffects_, outLab, outWindows_, outEffects_}));
  pair(2, 1, "User timeout", userTimeout_);
  pair(2, 2, "Video", box({videoFormat_, frameRate_}));
  pair(2, 3, "IN_time", inTime_);
  top->setColumnStretch(8, 1);
}

void PageFieldsPanel::setEditable(bool on) {
  for (QWidget* w : std::initializer_list<QWidget*>{pages_, uom1_, uom2_, animCode_, defSel_, defAct_, palette_,
                                                    userTimeout_})
    w->setEnabled(on);
}

void PageFieldsPanel::fillPageChoice() {
  const bool was = filling_;
  filling_ = true;
  const int cur = view_.pageChoice();
  pages_->clear();
  const auto& pages = doc_.model.ics.pages;
  for (size_t i = 0; i < pages.size(); ++i) pages_->addItem(QString::number(i));
  pageCount_->setText("(" + QString::number(pages.size()) + ")");
  if (!pages.empty()) pages_->setCurrentIndex(std::clamp(cur, 0, int(pages.size()) - 1));
  const igs::InteractiveComposition& ics = doc_.model.ics;
  videoFormat_->setCurrentIndex(igs::videoFormatIndex(ics.width, ics.height));
  frameRate_->setCurrentIndex(ics.frameRateCode < 8 ? ics.frameRateCode : 0);
  userTimeout_->setText(toQt(igs::userTimeoutText(ics)));
  inTime_->setText(toQt(igs::inTimeText(doc_.model.inTime)));
  filling_ = was;
}

void PageFieldsPanel::fillPageFields() {
  const igs::Page* p = view_.pageAt(view_.pageChoice());
  const bool was = filling_;
  filling_ = true;
  const std::pair<QLineEdit*, igs::PageField> fields[] = {
      {uom1_, igs::PageField::Mask1},           {uom2_, igs::PageField::Mask2},
      {animCode_, igs::PageField::AnimationCode}, {defSel_, igs::PageField::DefaultSelected},
      {defAct_, igs::PageField::DefaultActivated}, {palette_, igs::PageField::Palette}};
  for (const auto& [e, f] : fields) e->setText(p ? toQt(igs::pageFieldText(*p, f)) : QString());
  const auto counts = p ? igs::pageCounts(*p) : std::array<unsigned, 5>{};
  QLineEdit* cf[] = {inWindows_, inEffects_, outWindows_, outEffects_, bogCount_};
  for (int i = 0; i < 5; ++i) cf[i]->setText(p ? QString::number(counts[size_t(i)]) : QString());
  if (pages_->currentIndex() != view_.pageChoice() && view_.pageChoice() < pages_->count())
    pages_->setCurrentIndex(view_.pageChoice());
  filling_ = was;
}

void PageFieldsPanel::fieldLeft(QLineEdit* e) {
  if (filling_ || !doc_.model.loaded) return;
  if (e == userTimeout_) {
    userTimeoutLeft();
    return;
  }
  const int p = view_.pageChoice();
  const igs::PageField f = e == uom1_       ? igs::PageField::Mask1
                           : e == uom2_     ? igs::PageField::Mask2
                           : e == animCode_ ? igs::PageField::AnimationCode
                           : e == defSel_   ? igs::PageField::DefaultSelected
                           : e == defAct_   ? igs::PageField::DefaultActivated
                                            : igs::PageField::Palette;
  const std::string text = e->text().trimmed().toStdString();
  // The field's tooltip names the undo step.
  edit_(e->toolTip(), [&](igs::Menu& m) { igs::setPageField(m, size_t(p), f, text); });
  fillPageFields();
}

void PageFieldsPanel::userTimeoutLeft() {
  const std::string text = userTimeout_->text().trimmed().toStdString();
  edit_("User timeout", [&](igs::Menu& m) { igs::setUserTimeout(m, text, log_); });
  // The field shows the time-out as stored (a refused text goes back to it).
  filling_ = true;
  userTimeout_->setText(toQt(igs::userTimeoutText(doc_.model.ics)));
  filling_ = false;
}

void PageFieldsPanel::insertPage() {
  if (!doc_.model.loaded) return;
  bool done = false;
  edit_("Insert page", [&](igs::Menu& m) { done = igs::createPage(m); });
  if (!done) return;
  fillPageChoice();
  Q_EMIT pageWanted(int(doc_.model.ics.pages.size()) - 1);
}

void PageFieldsPanel::deletePage() {
  if (!doc_.model.loaded) return;
  const int p = view_.pageChoice();
  bool done = false;
  edit_("Delete page", [&](igs::Menu& m) { done = igs::erasePage(m, size_t(p)); });
  if (!done) return;
  fillPageChoice();
  Q_EMIT pageWanted(int(igs::pageAfterDelete(size_t(p))));
}

bool PageFieldsPanel::eventFilter(QObject* o, QEvent* e) {
  if (o == pages_ && e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Insert && k->modifiers() == Qt::NoModifier) {
      insertPage();
      return true;
    }
    if (k->key() == Qt::Key_Delete && k->modifiers() == Qt::NoModifier) {
      deletePage();
      return true;
    }
  }
  if (e->type() == QEvent::MouseButtonPress) {
    if (o == inWindows_ || o == inEffects_) Q_EMIT effectsWanted(false);
    if (o == outWindows_ || o == outEffects_) Q_EMIT effectsWanted(true);
  }
  if (e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) && enterPressed(o)) return true;
  }
  return QWidget::eventFilter(o, e);
}

bool PageFieldsPanel::enterPressed(QObject* o) {
  QLineEdit* order[] = {uom1_, uom2_, animCode_, defSel_, defAct_, palette_};
  for (size_t i = 0; i < std::size(order); ++i)
    if (o == order[i]) {
      if (i + 1 < std::size(order))
        order[i + 1]->setFocus();
      else
        pages_->setFocus();
      return true;
    }
  if (o == userTimeout_) {
    pages_->setFocus();
    return true;
  }
  return false;
}

}  // namespace morvex::app

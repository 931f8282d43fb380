#include "app/widgets/accessible_names.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTabBar>
#include <QTextEdit>

namespace morvex::app {

namespace {

QString plain(QString s) {
  s.remove('&');
  s = s.trimmed();
  while (s.endsWith(':')) s.chop(1);
  return s.trimmed();
}

// The layout that holds `w` directly, searched from its parent's layout down.
QLayout* holdingLayout(QLayout* l, const QWidget* w, int* index) {
  if (!l) return nullptr;
  for (int i = 0; i < l->count(); ++i) {
    QLayoutItem* it = l->itemAt(i);
    if (it->widget() == w) {
      *index = i;
      return l;
    }
    if (QLayout* sub = it->layout())
      if (QLayout* found = holdingLayout(sub, w, index)) return found;
  }
  return nullptr;
}

// The label that introduces `w` in its layout: the one before it in a row, the one
// to its left in a grid, the form's label of its row.
QLabel* labelFor(QWidget* w) {
  QWidget* parent = w->parentWidget();
  if (!parent || !parent->layout()) return nullptr;
  int index = -1;
  QLayout* l = holdingLayout(parent->layout(), w, &index);
  if (!l) return nullptr;
  auto usable = [](QWidget* c) -> QLabel* {
    auto* label = qobject_cast<QLabel*>(c);
    return label && !plain(label->text()).isEmpty() && !label->buddy() ? label : nullptr;
  };
  if (auto* form = qobject_cast<QFormLayout*>(l)) return usable(form->labelForField(w));
  if (auto* grid = qobject_cast<QGridLayout*>(l)) {
    int row = 0, col = 0, rs = 0, cs = 0;
    grid->getItemPosition(index, &row, &col, &rs, &cs);
    for (int c = col - 1; c >= 0; --c) {
      QLayoutItem* it = grid->itemAtPosition(row, c);
      if (!it || !it->widget()) continue;
      return usable(it->widget());
    }
    return nullptr;
  }
  for (int i = index - 1; i >= 0; --i) {
    QLayoutItem* it = l->itemAt(i);
    if (it->spacerItem()) continue;
    return it->widget() ? usable(it->widget()) : nullptr;
  }
  return nullptr;
}

QString groupTitle(const QWidget* w) {
  for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget())
    if (auto* g = qobject_cast<const QGroupBox*>(p); g && !plain(g->title()).isEmpty()) return plain(g->title());
  return {};
}

// "playItemTable" -> "play item table".
QString wordsOf(const QString& objectName) {
  QString out;
  for (QChar c : objectName) {
    if (c.isUpper() && !out.isEmpty()) out += ' ';
    out += c.toLower();
  }
  return out;
}

QString kindOf(const QWidget* w) {
  if (qobject_cast<const QAbstractItemView*>(w)) return "table";
  if (qobject_cast<const QComboBox*>(w)) return "choice";
  if (qobject_cast<const QAbstractButton*>(w)) return "button";
  return "field";
}

}  // namespace

bool isInteractiveControl(const QWidget* w) {
  if (qobject_cast<const QScrollBar*>(w) || qobject_cast<const QTabBar*>(w)) return false;
  // The parts Qt builds inside a control (a combo box's list and line edit, a
  // spin box's field) are named by the control.
  // Cell editors and the corner button live inside a table, which names them.
  for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget())
    if (qobject_cast<const QComboBox*>(p) || qobject_cast<const QAbstractSpinBox*>(p) ||
        qobject_cast<const QAbstractItemView*>(p))
      return false;
  return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QComboBox*>(w) ||
         qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
         qobject_cast<const QAbstractItemView*>(w) || qobject_cast<const QAbstractSlider*>(w) ||
         qobject_cast<const QTextEdit*>(w) || qobject_cast<const QPlainTextEdit*>(w);
}

void nameControls(QWidget* root) {
  QList<QWidget*> controls;
  for (QWidget* w : root->findChildren<QWidget*>())
    if (isInteractiveControl(w) && !w->objectName().startsWith("qt_")) controls << w;

  QHash<QWidget*, QString> chosen;
  for (QWidget* w : controls) {
    if (!w->accessibleName().isEmpty()) continue;
    QString name;
    if (auto* b = qobject_cast<QAbstractButton*>(w)) name = plain(b->text());
    if (name.isEmpty() || name.size() <= 3) {
      // A label names a field; buttons with a caption keep it unless it is a sign.
      if (QLabel* label = labelFor(w)) {
        if (!qobject_cast<QAbstractButton*>(w)) label->setBuddy(w);
        name = plain(label->text());
      }
    }
    if ((name.isEmpty() || name.size() <= 3) && !w->toolTip().isEmpty()) name = plain(w->toolTip());
    if (name.isEmpty()) {
      const QString group = groupTitle(w);
      name = group.isEmpty() ? wordsOf(w->objectName()) : group + " " + kindOf(w);
    }
    if (qobject_cast<QAbstractItemView*>(w) && !name.endsWith("table") && !name.endsWith("list")) name += " table";
    chosen.insert(w, name);
  }

  // Names two controls would share: the tool tip, else the group, tells them apart.
  QHash<QString, int> uses;
  for (auto it = chosen.cbegin(); it != chosen.cend(); ++it) ++uses[it.value()];
  for (auto it = chosen.begin(); it != chosen.end(); ++it) {
    if (uses.value(it.value()) < 2) continue;
    QWidget* w = it.key();
    const QString tip = plain(w->toolTip());
    const QString group = groupTitle(w);
    if (!tip.isEmpty() && tip != it.value()) it.value() = it.value() + " (" + tip + ")";
    else if (!group.isEmpty()) it.value() = group + " " + it.value();
  }
  // Still alike (two tables of one group with the same tip): their object names part them.
  uses.clear();
  for (auto it = chosen.cbegin(); it != chosen.cend(); ++it) ++uses[it.value()];
  for (auto it = chosen.begin(); it != chosen.end(); ++it)
    if (uses.value(it.value()) > 1) it.value() = it.value() + " (" + wordsOf(it.key()->objectName()) + ")";
  for (auto it = chosen.cbegin(); it != chosen.cend(); ++it) it.key()->setAccessibleName(it.value());
}

}  // namespace morvex::app

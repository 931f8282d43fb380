#include "app/widgets/command_editor_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace morvex::app {

namespace {
QStringList names(const std::vector<std::string>& v) {
  QStringList out;
  for (const auto& s : v) {
    if (s.empty()) break;  // the lists end at their first empty name
    out << QString::fromStdString(s);
  }
  return out;
}

QLineEdit* field(const char* name, const char* tip, int chars, const QString& re, QWidget* parent) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  e->setToolTip(tip);
  e->setMaxLength(chars);
  e->setValidator(new QRegularExpressionValidator(QRegularExpression(re), e));
  e->setMinimumWidth(QFontMetrics(e->font()).horizontalAdvance(QString(chars, 'D')) + 14);
  return e;
}
}  // namespace

CommandEditorPanel::CommandEditorPanel(QWidget* parent) : QWidget(parent) {
  setObjectName("commandEditor");
  auto* g = new QGridLayout(this);
  g->setContentsMargins(0, 0, 0, 0);
  g->setHorizontalSpacing(4);
  g->setVerticalSpacing(2);
  grp_ = new QComboBox(this);
  grp_->setObjectName("commandGroupChoice");
  grp_->setToolTip("Command Group");
  grp_->addItems(names(hdmv::groupNames()));
  sub_ = new QComboBox(this);
  sub_->setObjectName("commandSubGroupChoice");
  sub_->setToolTip("Command Sub-Group");
  opt_ = new QComboBox(this);
  opt_->setObjectName("commandOptionChoice");
  opt_->setToolTip("Command Option");
  for (QComboBox* c : {grp_, sub_, opt_}) c->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  // The operand rows carry their captions on the switches themselves.
  op1_ = new QCheckBox("Destination", this);
  op1_->setObjectName("operand1Choice");
  op1_->setToolTip("Operand 1");
  dstType_ = new QComboBox(this);
  dstType_->setObjectName("destinationTypeChoice");
  dstType_->setToolTip("Destination Type");
  dstType_->addItems({"GPR", "PSR", "Imm"});
  dst_ = field("destinationField", "Destination", 10, "[0-9]{0,10}", this);
  op2_ = new QCheckBox("Source", this);
  op2_->setObjectName("operand2Choice");
  op2_->setToolTip("Operand 2");
  srcType_ = new QComboBox(this);
  srcType_->setObjectName("sourceTypeChoice");
  srcType_->setToolTip("Source Type");
  srcType_->addItems({"GPR", "PSR", "Imm"});
  src_ = field("sourceField", "Source", 10, "[0-9]{0,10}", this);
  hexOp_ = field("opcodeField", "opcode", 8, "[0-9A-Fa-f]{0,8}", this);
  hexDst_ = field("destinationHexField", "destination", 8, "[0-9A-Fa-f]{0,8}", this);
  hexSrc_ = field("sourceHexField", "source", 8, "[0-9A-Fa-f]{0,8}", this);

  g->addWidget(grp_, 0, 0);
  g->addWidget(sub_, 0, 1);
  g->addWidget(opt_, 0, 2, 1, 2);
  g->addWidget(new QLabel("Hex", this), 0, 4);
  g->addWidget(hexOp_, 0, 5);
  g->addWidget(op1_, 1, 0, Qt::AlignRight);
  g->addWidget(dstType_, 1, 1);
  g->addWidget(dst_, 1, 2, 1, 2);
  g->addWidget(hexDst_, 1, 5);
  g->addWidget(op2_, 2, 0, Qt::AlignRight);
  g->addWidget(srcType_, 2, 1);
  g->addWidget(src_, 2, 2, 1, 2);
  g->addWidget(hexSrc_, 2, 5);
  g->setColumnStretch(3, 1);

  connect(grp_, &QComboBox::activated, this, [this](int i) {
    ed_.selectGroup(i);
    changed();
  });
  connect(sub_, &QComboBox::activated, this, [this](int i) {
    ed_.selectSubGroup(i);
    changed();
  });
  connect(opt_, &QComboBox::activated, this, [this](int i) {
    ed_.selectOption(i);
    changed();
  });
  connect(op1_, &QCheckBox::clicked, this, [this](bool on) {
    ed_.setSwitch1(on);
    changed();
  });
  connect(op2_, &QCheckBox::clicked, this, [this](bool on) {
    ed_.setSwitch2(on);
    changed();
  });
  connect(dstType_, &QComboBox::activated, this, [this](int i) {
    ed_.setDstType(hdmv::OperandType(i));
    changed();
  });
  connect(srcType_, &QComboBox::activated, this, [this](int i) {
    ed_.setSrcType(hdmv::OperandType(i));
    changed();
  });
  auto onLeave = [this](QLineEdit* e, auto apply) {
    connect(e, &QLineEdit::editingFinished, this, [this, e, apply] {
      if (filling_ || !e->isModified()) return;
      e->setModified(false);
      apply(e->text());
      changed();
    });
    connect(e, &QLineEdit::returnPressed, this, [this] { Q_EMIT returnToTable(); });
  };
  onLeave(dst_, [this](const QString& t) { ed_.enterDst(t.toULongLong()); });
  onLeave(src_, [this](const QString& t) { ed_.enterSrc(t.toULongLong()); });
  onLeave(hexOp_, [this](const QString& t) { ed_.enterOpcodeHex(t.toUInt(nullptr, 16)); });
  onLeave(hexDst_, [this](const QString& t) { ed_.enterDstHex(t.toUInt(nullptr, 16)); });
  onLeave(hexSrc_, [this](const QString& t) { ed_.enterSrcHex(t.toUInt(nullptr, 16)); });
  clearCommand();
}

void CommandEditorPanel::showCommand(const hdmv::Command& c) {
  ed_.show(c);
  setEnabled(true);
  fill();
}

void CommandEditorPanel::clearCommand() {
  ed_.show(hdmv::kNopCommand);
  fill();
  setEnabled(false);
}

void CommandEditorPanel::fill() {
  filling_ = true;
  grp_->setCurrentIndex(ed_.group);
  sub_->clear();
  sub_->addItems(names(hdmv::subGroupNames(ed_.group)));
  sub_->setCurrentIndex(ed_.subGroup);
  opt_->clear();
  opt_->addItems(names(hdmv::commandNames(ed_.group, ed_.subGroup)));
  opt_->setCurrentIndex(ed_.option);
  op1_->setChecked(ed_.switch1);
  op2_->setChecked(ed_.switch2);
  for (QWidget* w : {static_cast<QWidget*>(dstType_), static_cast<QWidget*>(dst_), static_cast<QWidget*>(hexDst_)})
    w->setEnabled(ed_.switch1);
  for (QWidget* w : {static_cast<QWidget*>(srcType_), static_cast<QWidget*>(src_), static_cast<QWidget*>(hexSrc_)})
    w->setEnabled(ed_.switch2);
  dstType_->setCurrentIndex(int(ed_.type1));
  srcType_->setCurrentIndex(int(ed_.type2));
  dst_->setText(QString::number(ed_.number1));
  src_->setText(QString::number(ed_.number2));
  hexOp_->setText(QString::asprintf("%08X", ed_.cmd.opcode));
  hexDst_->setText(QString::asprintf("%08X", ed_.cmd.dst));
  hexSrc_->setText(QString::asprintf("%08X", ed_.cmd.src));
  filling_ = false;
}

void CommandEditorPanel::changed() {
  const hdmv::Command c = ed_.cmd;
  ed_.show(c);
  fill();
  Q_EMIT commandEdited(c);
}

}  // namespace morvex::app

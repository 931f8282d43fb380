#include "app/panels/register_panel.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include "hdmv/registers.h"

namespace morvex::app {

namespace {
constexpr int kPsrCount = 128;
constexpr int kGprCount = 4096;

QString hex8(uint32_t v) { return QString::fromStdString(hdmv::panelValueText(v)); }
}  // namespace

RegisterPanel::RegisterPanel(QWidget* parent) : QWidget(parent) {
  setObjectName("registerPanel");
  auto* lay = new QHBoxLayout(this);
  lay->setContentsMargins(0, 0, 0, 0);
  lay->setSpacing(3);
  auto field = [&](const char* name, const QString& text, int chars, const char* tip, const QString& re) {
    auto* e = new QLineEdit(text, this);
    e->setObjectName(name);
    e->setToolTip(tip);
    e->setMaxLength(chars);
    e->setValidator(new QRegularExpressionValidator(QRegularExpression(re), e));
    e->setFixedWidth(QFontMetrics(e->font()).horizontalAdvance(QString(chars + 1, 'D')) + 12);
    e->installEventFilter(this);
    return e;
  };
  psrNo_ = field("psrNumberField", "000", 3, "PSR number", "[0-9]{0,3}");
  psrVal_ = field("psrValueField", "00000001", 8, "PSR value", "[0-9A-Fa-f]{0,8}");
  gprNo_ = field("gprNumberField", "0000", 4, "GPR number", "[0-9]{0,4}");
  gprVal_ = field("gprValueField", "00000000", 8, "GPR value", "[0-9A-Fa-f]{0,8}");
  lay->addWidget(new QLabel("PSR", this));
  lay->addWidget(psrNo_);
  lay->addWidget(psrVal_);
  lay->addSpacing(6);
  lay->addWidget(new QLabel("GPR", this));
  lay->addWidget(gprNo_);
  lay->addWidget(gprVal_);

  connect(psrNo_, &QLineEdit::textEdited, this, [this] { numberChanged(true); });
  connect(gprNo_, &QLineEdit::textEdited, this, [this] { numberChanged(false); });
  connect(psrNo_, &QLineEdit::returnPressed, this, [this] { psrVal_->setFocus(); });
  connect(gprNo_, &QLineEdit::returnPressed, this, [this] { gprVal_->setFocus(); });
  connect(psrVal_, &QLineEdit::returnPressed, this, [this] { psrNo_->setFocus(); });
  connect(gprVal_, &QLineEdit::returnPressed, this, [this] { gprNo_->setFocus(); });
  setEnabled(false);
}

void RegisterPanel::setRegisters(uint32_t* psr, uint32_t* gpr) {
  psr_ = psr;
  gpr_ = gpr;
  setEnabled(psr_ && gpr_);
  refresh();
}

void RegisterPanel::refresh() {
  if (!psr_ || !gpr_) return;
  const int p = psrNo_->text().toInt();
  const int g = gprNo_->text().toInt();
  if (p >= 0 && p < kPsrCount) psrVal_->setText(hex8(psr_[p]));
  if (g >= 0 && g < kGprCount) gprVal_->setText(hex8(gpr_[g]));
}

void RegisterPanel::showPsr(int n) {
  if (n < 0 || n >= kPsrCount) return;
  psrNo_->setText(QString::asprintf("%03d", n));
  refresh();
}

void RegisterPanel::showGpr(int n) {
  if (n < 0 || n >= kGprCount) return;
  gprNo_->setText(QString::asprintf("%04d", n));
  refresh();
}

// A number outside the register file (or not a number) resets the field to 0.
void RegisterPanel::numberChanged(bool psr) {
  QLineEdit* no = psr ? psrNo_ : gprNo_;
  const auto n = hdmv::panelRegisterNumber(psr ? hdmv::RegFile::Psr : hdmv::RegFile::Gpr, no->text().toStdString());
  if (!n) {
    no->setText("0");
    no->selectAll();
  }
  refresh();
}

void RegisterPanel::numberLeft(bool psr) {
  numberChanged(psr);
  QLineEdit* no = psr ? psrNo_ : gprNo_;
  no->setText(QString::fromStdString(
      hdmv::panelNumberText(psr ? hdmv::RegFile::Psr : hdmv::RegFile::Gpr, no->text().toInt())));
}

void RegisterPanel::valueLeft(bool psr) {
  if (!psr_ || !gpr_) return;
  QLineEdit* val = psr ? psrVal_ : gprVal_;
  const int n = (psr ? psrNo_ : gprNo_)->text().toInt();
  const uint32_t v = hdmv::parsePanelValue(val->text().toStdString()).value_or(0);
  if (psr && n >= 0 && n < kPsrCount) psr_[n] = v;
  if (!psr && n >= 0 && n < kGprCount) gpr_[n] = v;
  val->setText(hex8(v));
}

bool RegisterPanel::eventFilter(QObject* o, QEvent* e) {
  if (e->type() == QEvent::FocusIn) {
    // Entering a number field shows the plain number without leading zeros.
    if (o == psrNo_ || o == gprNo_) {
      auto* f = static_cast<QLineEdit*>(o);
      f->setText(QString::number(f->text().toInt()));
    }
  } else if (e->type() == QEvent::FocusOut) {
    if (o == psrNo_) numberLeft(true);
    if (o == gprNo_) numberLeft(false);
    if (o == psrVal_) valueLeft(true);
    if (o == gprVal_) valueLeft(false);
  }
  return QWidget::eventFilter(o, e);
}

}  // namespace morvex::app

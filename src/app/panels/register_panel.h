#pragma once
// The register panel under the BDMV, Menu and Status tabs: a PSR and a GPR, each a
// number field and a value field. Changing a number shows that register's value;
// leaving a value field stores it.
#include <QWidget>
#include <cstdint>

class QLineEdit;

namespace morvex::app {

class RegisterPanel : public QWidget {
  Q_OBJECT
public:
  explicit RegisterPanel(QWidget* parent = nullptr);

  // The register files the panel shows (128 PSRs, 4096 GPRs); none: disabled.
  void setRegisters(uint32_t* psr, uint32_t* gpr);
  // Re-reads both values (after a reset or a run).
  void refresh();
  // Points a number field at a register and shows its value (trace presentation).
  void showPsr(int n);
  void showGpr(int n);

  QLineEdit* psrNumber() const { return psrNo_; }
  QLineEdit* psrValue() const { return psrVal_; }

protected:
  bool eventFilter(QObject* o, QEvent* e) override;

private:
  void numberChanged(bool psr);
  void numberLeft(bool psr);
  void valueLeft(bool psr);
  uint32_t* psr_ = nullptr;
  uint32_t* gpr_ = nullptr;
  QLineEdit* psrNo_;
  QLineEdit* psrVal_;
  QLineEdit* gprNo_;
  QLineEdit* gprVal_;
  bool updating_ = false;
};

}  // namespace morvex::app

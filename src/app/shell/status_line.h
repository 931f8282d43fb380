#pragma once
// The two-panel status bar. Panel 0 shows the state or operation ("Ready.",
// "Reading ..."), panel 1 the details. Panel 0 can turn into a red box with a yellow
// "ERROR" that lasts until the next text is set.
#include <QLabel>
#include <QElapsedTimer>
#include <QWidget>

namespace morvex::app {

class StatusPanel : public QLabel {
  Q_OBJECT
public:
  explicit StatusPanel(QWidget* parent = nullptr) : QLabel(parent) {}
  bool errorBox() const { return errorBox_; }
  void setErrorBox(bool on);

protected:
  void paintEvent(QPaintEvent* e) override;

private:
  bool errorBox_ = false;
};

class StatusLine : public QWidget {
  Q_OBJECT
public:
  explicit StatusLine(QWidget* parent = nullptr);
  // Sets one panel: normal font, panel 0 back to text, " " + text + " ", width of the
  // text followed by "m"; panel 1 also sets the tooltip.
  void setPanel(int panel, const QString& text);
  // The error box in panel 0, bold font, " " + text in panel 1 and the tooltip.
  void showError(const QString& text);

  QString panelText(int panel) const;
  bool errorShown() const { return panel0_->errorBox(); }
  StatusPanel* panel(int i) const { return i == 0 ? panel0_ : panel1_; }

private:
  // Shows the new text now when the last immediate paint is a while ago (a long
  // synchronous step still shows its progress), otherwise at the next paint: a load
  // that reports thousands of file names must not paint thousands of times.
  void paintSoon();
  QElapsedTimer lastPaint_;
  void fitWidth(QLabel* l);
  StatusPanel* panel0_;
  StatusPanel* panel1_;
};

}  // namespace morvex::app

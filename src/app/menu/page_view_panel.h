#pragma once
// The Page view sub-tab: the page picture (1:1 or fitted to the window), the overlay
// check boxes that mirror the Options tab's menu display options, and the mark that
// tells a composition read without its pictures from the real look.
#include <QWidget>

class QCheckBox;
class QLabel;

namespace morvex::app {

class PictureWidget;

class PageViewPanel : public QWidget {
  Q_OBJECT
public:
  explicit PageViewPanel(QWidget* parent = nullptr);

  PictureWidget* picture() const { return picture_; }
  QCheckBox* fullScreen() const { return fullScreen_; }
  QCheckBox* buttonId() const { return buttonId_; }
  QCheckBox* objectId() const { return objectId_; }
  QCheckBox* buttonFrame() const { return buttonFrame_; }
  QCheckBox* windowFrame() const { return windowFrame_; }
  QCheckBox* playSound() const { return playSound_; }
  QLabel* objectsMissingMark() const { return missing_; }
  void setObjectsMissing(bool missing);

signals:
  // One of the check boxes was toggled by the user.
  void optionsToggled();

private:
  PictureWidget* picture_;
  QCheckBox *fullScreen_, *buttonId_, *objectId_, *buttonFrame_, *windowFrame_, *playSound_;
  QLabel* missing_;
};

}  // namespace morvex::app

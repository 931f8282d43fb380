#pragma once
// The page choice and the page fields of the Menu tab. Of the shown page: the two
// user-operation mask words, the animation frame rate code (a divider of the video
// frame rate), the default selected and activated buttons, the palette, and the
// numbers of effect windows, effects and BOGs (read-only; a click on an effect count
// opens the Effects sub-tab). Of the whole composition: the user time-out, the video
// format and frame rate, and the IN_time. Insert and Delete on the page choice add
// and remove pages. Every change is one step through the tab's menu edit, so it can
// be undone.
#include <QWidget>

#include "app/menu/menu_document.h"
#include "core/log.h"
#include "menuview/page_view.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace morvex::app {

class PageFieldsPanel : public QWidget {
  Q_OBJECT
public:
  PageFieldsPanel(MenuDocument& doc, menuview::PageView& view, core::Log& log, MenuEditFn edit,
                  QWidget* parent = nullptr);
  ~PageFieldsPanel() override;

  QComboBox* pageChoice() const { return pages_; }
  // A menu is open: the page choice and the fields that take typing are enabled.
  void setEditable(bool on);
  // The page list and the fields of the whole composition.
  void fillPageChoice();
  // The fields and counts of the page the view shows; the page choice follows it.
  void fillPageFields();
  // Ins / Del on the page choice.
  void insertPage();
  void deletePage();

signals:
  // The user chose a page in the page choice.
  void pageChosen(int page);
  // A page was inserted or deleted: the page to show now.
  void pageWanted(int page);
  // A click on an effect count: the in- (false) or out-effects (true).
  void effectsWanted(bool out);

protected:
  bool eventFilter(QObject* o, QEvent* e) override;

private:
  QLineEdit* addField(const char* name, int chars, const QString& tip, bool readOnly = false);
  void layOut();
  void fieldLeft(QLineEdit* field);
  void userTimeoutLeft();
  // Enter moves through the page fields, and from the last one to the page choice.
  bool enterPressed(QObject* o);

  MenuDocument& doc_;
  menuview::PageView& view_;
  core::Log& log_;
  MenuEditFn edit_;
  bool filling_ = false;

  QComboBox* pages_ = nullptr;
  QLabel* pageCount_ = nullptr;
  QLineEdit* uom1_ = nullptr;
  QLineEdit* uom2_ = nullptr;
  QLineEdit* animCode_ = nullptr;
  QLineEdit* defSel_ = nullptr;
  QLineEdit* defAct_ = nullptr;
  QLineEdit* palette_ = nullptr;
  QLineEdit* inWindows_ = nullptr;
  QLineEdit* inEffects_ = nullptr;
  QLineEdit* outWindows_ = nullptr;
  QLineEdit* outEffects_ = nullptr;
  QLineEdit* bogCount_ = nullptr;
  QLineEdit* userTimeout_ = nullptr;
  QLineEdit* inTime_ = nullptr;
  QComboBox* videoFormat_ = nullptr;
  QComboBox* frameRate_ = nullptr;
};

}  // namespace morvex::app

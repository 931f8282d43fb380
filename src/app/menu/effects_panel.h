#pragma once
// The Effects sub-tab of the Menu tab: the windows, effects and composition objects
// of the shown page's in- or out-effects, a preview of one effect on the effect
// picture, the cropping of the selected composition object, and a play of the whole
// sequence from the engine's frame schedule on a timer (the window stays responsive
// while it plays). Edits go through the menu document, so they can be undone.
#include <QUndoStack>
#include <QWidget>
#include <memory>
#include <vector>

#include "core/log.h"
#include "hdmv/registers.h"
#include "app/menu/menu_document.h"
#include "menuview/image.h"
#include "menuview/options.h"
#include "menuview/page_view.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QSplitter;
class QTableWidget;
class QTableWidgetItem;
class QTimer;
class QVBoxLayout;

namespace morvex::app {

class InPlaceEditSwitch;
class PictureWidget;

class EffectsPanel : public QWidget {
  Q_OBJECT
public:
  EffectsPanel(MenuDocument& doc, QUndoStack& undo, menuview::PageView& view, core::Log& log,
               QWidget* parent = nullptr);
  ~EffectsPanel() override;

  // Refills everything from the document's menu (after a load, an undo or a redo).
  void menuReplaced();
  // The page in the Menu tab's page choice: its effects are listed, the effect
  // picture starts over.
  void setPage(int page);
  // Selects "OutEffects" (true) or "InEffects" (false) and lists them.
  void showInOut(bool out);

  bool showingOut() const;
  // The effect and composition object selected (-1 when none).
  int currentEffect() const;
  int currentCompObject() const;
  // Plays the whole sequence; false when there is nothing to play.
  bool play();
  void stop();
  bool playing() const;
  // What the picture widget shows: the effect picture, or the play picture while the
  // sequence plays.
  const menuview::Image& shownPicture() const;

signals:
  // The menu changed in a way the page may show.
  void menuEdited();
  // A play of the sequence ended (or was stopped).
  void playFinished();

private:
  QButtonGroup* buildChoice(QWidget* left, QVBoxLayout* ll);
  void buildTables(QWidget* left, QVBoxLayout* ll);
  void buildCrop(QWidget* left, QVBoxLayout* ll);
  void buildPicture(QSplitter* split);
  void connectInputs(QButtonGroup* group);
  template <class F>
  bool edit(const QString& what, F&& change);
  const igs::EffectSequence* sequence() const;
  void fill();
  void fillCompObjects();
  void effectClicked(int row);
  void compObjectClicked(int row);
  void showCrop();
  void cropEdited(int field);
  void cellEdited(QTableWidget* table, QTableWidgetItem* item);
  void nextFrame();
  void finishPlay();

  MenuDocument& doc_;
  QUndoStack& undo_;
  menuview::PageView& view_;
  core::Log& log_;
  int page_ = 0;
  bool filling_ = false;

  QRadioButton* inEffects_;
  QRadioButton* outEffects_;
  QTableWidget* windows_;
  QTableWidget* effects_;
  QTableWidget* compObjects_;
  InPlaceEditSwitch* windowsEdit_;
  InPlaceEditSwitch* effectsEdit_;
  InPlaceEditSwitch* compEdit_;
  QCheckBox* crop_;
  QSpinBox* cropFields_[4];
  QCheckBox* fit_;
  QPushButton* play_;
  QLabel* status_;
  PictureWidget* picture_;

  // Playing: a page view of its own over the same menu, so the Menu tab's page and
  // its schedule are left alone; its frames are laid over a copy of the background.
  hdmv::Registers playRegs_;
  menuview::DisplayOptions playOptions_;
  core::NullLog playLog_;
  std::unique_ptr<menuview::PageView> player_;
  std::vector<menuview::ViewFrame> frames_;
  size_t nextFrame_ = 0;
  menuview::Image playPicture_;
  QTimer* timer_;
};

}  // namespace morvex::app

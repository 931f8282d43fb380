#pragma once
// The BOGs sub-tab of the Menu tab: the button overlap groups of the page in the page
// choice (one column per BOG), the buttons of the clicked BOG (one row per button),
// and the clicked button's navigation commands with the command editor.
//
// Every change goes through the owner's edit function, which runs the engine's edit
// operation inside one undo step and redraws the page; the grids are then filled
// again from the model, so a refused value shows the stored one.
#include <QWidget>
#include <functional>

#include "hdmv/command_edit.h"
#include "igs/model.h"
#include "app/menu/menu_document.h"
#include "menuview/image.h"

class QTableWidget;
class QKeyEvent;

namespace morvex::app {

class CommandTable;
class PictureWidget;
class CommandEditorPanel;
class InPlaceEditSwitch;

class BogsPanel : public QWidget {
  Q_OBJECT
public:
  // Runs `change` on the menu as one undo step named `what`; true when the menu changed.
  using EditFn = MenuEditFn;
  BogsPanel(MenuDocument& doc, EditFn edit, std::function<unsigned()> soundCount, hdmv::CommandList& clipboard,
            QWidget* parent = nullptr);
  ~BogsPanel() override;

  // The page whose BOGs are shown; fills the grids.
  void setPage(int page);
  int page() const { return page_; }
  // The model changed (edit, undo, load): fill again, keeping the selection where it
  // still exists.
  void refill();

  int currentBog() const { return bog_; }
  int currentButton() const { return button_; }
  void selectBog(int bog);
  void selectButton(int index);
  // The id of the button in the button grid's current row, or -1.
  int currentButtonId() const;

  QTableWidget* bogGrid() const { return bogs_; }
  QTableWidget* buttonGrid() const { return buttons_; }
  CommandTable* commandTable() const { return commands_; }
  CommandEditorPanel* commandEditor() const { return editor_; }
  InPlaceEditSwitch* bogEditSwitch() const { return bogSwitch_; }
  InPlaceEditSwitch* buttonEditSwitch() const { return buttonSwitch_; }
  // The BOG picture: the object of the clicked object column (owner-drawn).
  PictureWidget* bogPicture() const { return picture_; }
  void showPicture(const menuview::Image* picture);

  // Insert / Delete on the grids (also from their keys).
  void insertBog();
  void deleteBog();
  void insertButton();
  void deleteButton();

signals:
  // A cell of the button grid was clicked: the object of an object column (start or
  // end of a state), or 0xFFFF for any other column.
  void objectWanted(unsigned objectId);
  // A command of the current button was clicked (the execute panel may step it).
  void commandClicked(int line);

protected:
  bool eventFilter(QObject* o, QEvent* e) override;

private:
  const igs::Page* pageModel() const;
  const igs::ButtonOverlapGroup* bogModel() const;
  const igs::Button* buttonModel() const;
  void fillBogs();
  void fillButtons();
  void fillCommands();
  void bogCellChanged(int row, int column);
  void buttonCellChanged(int row, int column);
  void commandKey(hdmv::CmdKey key);
  void commandEdited(const hdmv::Command& c);
  void setCommands(const hdmv::CommandList& program, const QString& what);

  MenuDocument& doc_;
  EditFn edit_;
  std::function<unsigned()> soundCount_;
  hdmv::CommandList& clipboard_;
  int page_ = 0, bog_ = 0, button_ = 0;
  bool filling_ = false;
  QTableWidget* bogs_ = nullptr;
  QTableWidget* buttons_ = nullptr;
  CommandTable* commands_ = nullptr;
  CommandEditorPanel* editor_ = nullptr;
  InPlaceEditSwitch* bogSwitch_ = nullptr;
  InPlaceEditSwitch* buttonSwitch_ = nullptr;
  PictureWidget* picture_ = nullptr;
};

}  // namespace morvex::app

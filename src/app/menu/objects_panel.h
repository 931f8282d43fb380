#pragma once
// The Objects sub-tab of the Menu tab: the menu's objects and palettes with the
// places that use them, the viewer (an object coloured with a palette, or a palette
// by itself with the entry under the mouse read out), PNG import as a new or a
// replacing object, PNG and palette export, and deletion of what nothing uses.
// Every change goes through the menu document, so it can be undone.
#include <QUndoStack>
#include <QWidget>
#include <optional>

#include "app/menu/menu_document.h"
#include "menuview/image.h"
#include "menuview/page_view.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSplitter;
class QTableWidget;

namespace morvex::core {
class Log;
}

namespace morvex::app {

class PictureWidget;

class ObjectsPanel : public QWidget {
  Q_OBJECT
public:
  ObjectsPanel(MenuDocument& doc, QUndoStack& undo, menuview::PageView& view, core::Log& log,
               QWidget* parent = nullptr);
  ~ObjectsPanel() override;

  // Refills everything from the document's menu (after a load, an undo or a redo).
  void menuReplaced();
  // The page in the Menu tab's page choice (its palette colours objects first).
  void setPage(int page);

  // The work behind the buttons, without their file dialogs. Each returns true when
  // it changed the menu or wrote the file.
  bool importPng(const QString& file);
  bool exportPng(const QString& file);
  bool exportPalette(const QString& file);
  bool deleteSelectedObjects();
  bool deleteSelectedPalettes();

  // The object and palette the viewer shows (-1 when there is none).
  int currentObject() const;
  int currentPalette() const;
  // The viewer's picture as shown.
  const menuview::Image& viewerPicture() const { return viewerPic_; }
  // The viewer's caption line ("Size: ...", "Palette: ...", "No object assigned").
  QString viewerText() const;

  // Shows an object in a palette on the viewer, selecting both (the BOG sub-tab uses
  // the same viewer logic).
  void showButtonPicture(unsigned objectId, unsigned paletteId);

signals:
  // The menu changed in a way the page may show.
  void menuEdited();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void buildLists(QSplitter* split);
  void buildViewer(QSplitter* split);
  void connectInputs();
  template <class F>
  bool edit(const QString& what, F&& change);
  void fillObjects();
  void fillPalettes();
  void fillChoices();
  void updateOptions();
  void objectRowClicked(int row);
  void paletteRowClicked(int row);
  void showChosen();
  void pictureMoved(QPoint pos);
  void setViewerText(const QString& text);
  void selectObjectRow(int row);
  void selectPaletteRow(int row);

  MenuDocument& doc_;
  QUndoStack& undo_;
  menuview::PageView& view_;
  core::Log& log_;
  int page_ = 0;
  bool filling_ = false;

  QTableWidget* objects_;
  QTableWidget* palettes_;
  QComboBox* cbObjects_;
  QComboBox* cbPalettes_;
  QCheckBox* palOnly_;
  QCheckBox* replaceObj_;
  QCheckBox* replacePal_;
  QPushButton* loadObj_;
  QPushButton* saveObj_;
  QPushButton* savePal_;
  QPushButton* delObj_;
  QPushButton* delPal_;
  PictureWidget* viewer_;
  QLabel* info_;
  menuview::Image viewerPic_;
};

}  // namespace morvex::app

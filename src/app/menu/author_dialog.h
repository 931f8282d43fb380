#pragma once
// "Create a menu for this disc…": the choices of a top menu made from the disc's
// titles (which titles, their labels and scenes pages, the background, the font or
// pictures of the button faces, the layout and how the menu joins the disc's
// navigation), with the pages as a player first shows them.
//
// The picture is the engine's plan, made again a moment after each change: planning
// writes nothing, so every choice can be tried. A plan the engine refuses (a
// background that is not a PNG, a label that does not fit, a disc that already has a
// Top Menu) shows its message in place of the picture, and Create stays off until the
// choices plan again. Create hands the options to whoever opened the dialog, which
// writes the disc on the worker thread.
#include <QDialog>
#include <QPointer>
#include <filesystem>
#include <functional>
#include <vector>

#include "author/menu_author.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTableWidget;
class QThread;
class QTimer;

namespace morvex::app {

class PictureWidget;

class AuthorDialog : public QDialog {
  Q_OBJECT
public:
  // `bdmv` is the disc's BDMV folder; its titles are read at once.
  explicit AuthorDialog(const std::filesystem::path& bdmv, QWidget* parent = nullptr);
  ~AuthorDialog() override;

  // The options as the controls stand.
  author::AuthorOptions options() const;
  // Puts earlier choices back (a Create that failed or was cancelled): the titles
  // named are ticked with their labels and scenes, the others unticked; titles the
  // disc no longer offers are left out.
  void setOptions(const author::AuthorOptions& options);
  // What the disc offers, as read when the dialog opened.
  const author::DiscTitles& discTitles() const { return titles_; }
  // The last plan made (ok == false while the choices are refused).
  const author::MenuPlan& plan() const { return plan_; }
  // Plans now instead of after the pause that follows a change. The plan is drawn on
  // a thread of its own; previewed() tells when it is shown.
  void refreshPreview();
  // A change waits for its plan (the pause, or the plan being drawn).
  bool previewPending() const;
  // The message shown in place of the picture, empty while the plan is good.
  QString problem() const;

  // Asked when Create is pressed, before the dialog closes: false keeps the dialog
  // open (the user kept unsaved changes that the authoring would write over).
  std::function<bool()> mayCreate;

signals:
  // Create was pressed with a good plan and mayCreate agreed; the dialog closes.
  void createWanted(const morvex::author::AuthorOptions& options);
  // A plan was made (or refused) and is shown.
  void previewed();

private:
  void buildUi();
  QWidget* buildTitleTable();
  QWidget* buildLook();
  QWidget* buildPreview();
  void fillTitles();
  // Any control changed: the plan is made again after a short pause.
  void changed();
  void showPlan();
  void showProblem(const QString& text);
  void showPage(int page);
  void chooseBackground();
  void chooseColour();
  void showColour();
  void create();
  void updateCreate();

  std::filesystem::path bdmv_;
  author::DiscTitles titles_;
  author::MenuPlan plan_;
  QString problem_;
  QColor colour_;

  struct Row {
    int title = 0;
    QCheckBox* use = nullptr;
    QLineEdit* label = nullptr;
    QCheckBox* scenes = nullptr;
  };
  std::vector<Row> rows_;

  QTableWidget* table_ = nullptr;
  QRadioButton* colourRadio_ = nullptr;
  QRadioButton* pictureRadio_ = nullptr;
  QPushButton* colourButton_ = nullptr;
  QLineEdit* pictureField_ = nullptr;
  QPushButton* browse_ = nullptr;
  QComboBox* font_ = nullptr;
  QLineEdit* buttonImages_ = nullptr;
  QPushButton* buttonImagesBrowse_ = nullptr;
  QComboBox* layout_ = nullptr;
  QCheckBox* fadeIn_ = nullptr;
  QCheckBox* firstPlay_ = nullptr;
  QCheckBox* returnToMenu_ = nullptr;
  QCheckBox* replace_ = nullptr;
  QStackedWidget* previewStack_ = nullptr;
  PictureWidget* picture_ = nullptr;
  QLabel* problemLabel_ = nullptr;
  QLabel* pageLabel_ = nullptr;
  QComboBox* page_ = nullptr;
  QLabel* summary_ = nullptr;
  QPushButton* create_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QTimer* timer_ = nullptr;
  // The plan being drawn beside the window, and whether choices changed meanwhile.
  QThread* planner_ = nullptr;
  bool again_ = false;
};

}  // namespace morvex::app

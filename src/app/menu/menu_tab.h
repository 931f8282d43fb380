#pragma once
// The Menu tab: the open IG menu as an editable document, its page choice and page
// fields, and four sub-tabs (BOGs, Effects, Objects, Page view). The page view is
// also the menu emulator (MenuEmulation); reading and writing the menu, with its
// partial-read banner, is MenuFiles; the page choice and fields are PageFieldsPanel.
// Every part changes the one menu document through edit() (editMenu), so every
// change is one step on the tab's one undo stack.
//
// One menu is open at a time. Loading replaces it (after Save / Discard / Cancel for
// a modified one); a menu read only in part is shown as such and cannot be saved
// until the user says so, because a save would drop what could not be read.
#include <QUndoStack>
#include <filesystem>
#include <functional>
#include <memory>

#include "core/progress.h"
#include "app/menu/menu_document.h"
#include "menuview/emulator.h"
#include "menuview/options.h"
#include "menuview/page_view.h"
#include "app/shell/app_context.h"
#include "app/shell/navigator.h"
#include "app/shell/tab_page.h"

class QComboBox;
class QPushButton;
class QTabWidget;

namespace morvex::author {
struct AuthorOptions;
}

namespace morvex::app {

class EffectsPanel;
class ObjectsPanel;
class BogsPanel;
class MenuEmulation;
class MenuFiles;
class NavigatePanel;
class PageFieldsPanel;
class PageViewPanel;
class RegisterPanel;

class MenuTab : public TabPage, public ItemShower {
  Q_OBJECT
public:
  MenuTab(AppContext& ctx, ExecutePanel* exec, RegisterPanel* regs, QWidget* parent = nullptr);
  ~MenuTab() override;

  // TabPage
  TabRules rules() const override;
  ExecutePanel::Host executeHost() override;
  QUndoStack* undoStack() override { return &undo_; }
  void activated() override;
  void save() override;
  void load() override;
  void mux() override;
  // ItemShower: a menu file path, or an AV stream with its IG PID in `number`.
  bool showItem(const ItemRef& item) override;

  // Runs long work off the window thread with progress and Cancel (the window's).
  void setTaskRunner(TaskRunner r) { runTask_ = std::move(r); }

  // Reads a menu file or the IG PID of an AV stream (on the worker thread). False when
  // nothing was started (the user kept a modified menu, or a load is running);
  // loadFinished tells the end.
  bool loadFile(const QString& path, uint16_t pid = 0x1400);
  // "Create Menu": a new empty menu (after settling a modified one).
  bool createMenu();
  // Writes the menu file / a new AV stream holding only the menu. False when nothing
  // was written (or, for mux, started).
  bool saveTo(const QString& path);
  bool muxTo(const QString& path);
  // "Mux into clip…" once its dialogs were answered (see MenuFiles::muxIntoClip).
  bool muxIntoClip(const QString& source, const QString& output, bool addStream);
  // A partial read: the user accepts that a save writes only what was read.
  void confirmPartial();
  // "Create a menu for this disc…": the choices in a dialog (AuthorDialog), which
  // stays open until Create or Cancel.
  void chooseAuthoring();
  // Adds a top menu made from the disc's titles to the disc folder, on the worker
  // thread. Unsaved changes are settled first (the files they belong to may be
  // rewritten); afterwards the disc is read again and the new menu is open here.
  // False when nothing was started.
  bool authorMenu(const author::AuthorOptions& options);
  bool authoring() const { return authoring_; }

  bool hasMenu() const { return doc_.model.loaded; }
  bool partialLoad() const;
  MenuDocument& document() { return doc_; }
  menuview::PageView& pageView() { return *view_; }
  menuview::MenuEmulator& emulator() { return *emu_; }
  NavigatePanel* navigatePanel() const { return navigate_; }
  BogsPanel* bogsPanel() const { return bogs_; }
  PageViewPanel* pageViewPanel() const { return pageViewPanel_; }
  EffectsPanel* effectsPanel() const { return effectsPanel_; }
  ObjectsPanel* objectsPanel() const { return objectsPanel_; }
  QTabWidget* subTabs() const { return sub_; }
  QComboBox* pageChoice() const;
  int currentPage() const;
  // The selected button of the page shown (PSR 10), or -1 when none is.
  int selectedButton() const;
  // Selects button `id` of the page shown, as a click on it would: drawn in its
  // selected state in place of its BOG's other buttons, and its BOG and row current on
  // the BOGs sub-tab. False when the page has no such button.
  bool selectButton(int id);

  // The Options tab's menu display options changed: the page view follows them.
  void applyDisplayOptions();
  // A sub-tab panel (Objects, Effects) changed the menu through the undo stack: the
  // page is redrawn and the other grids filled again.
  void panelEdited();

  // One firing of the animation timer: every animating button advances one step.
  void animationStep();

  // The effect-count fields jump here: the Effects sub-tab, on the in- or out-effects.
  void showEffects(bool out);

  // Sub-tab indexes.
  enum SubTab { SubBogs = 0, SubEffects = 1, SubObjects = 2, SubPageView = 3 };

signals:
  // A load ended; `shown` when a menu was read and is now open.
  void loadFinished(bool shown);
  // A mux ended; `written` when the stream file is in place.
  void muxFinished(bool written);
  // An authored menu changed the disc's files: the disc is to be read again.
  void discRewritten();
  // Authoring ended; `written` when the disc has its new menu.
  void authorFinished(bool written);
  // The page view's overlay boxes changed a display option (the Options tab mirrors it).
  void displayOptionsEdited();
  // The effect-count fields asked for the Effects sub-tab on the in- (false) or
  // out-effects (true).
  void effectsWanted(bool out);
  // A button sound should play ("Play button sound" on and a sound.bdmv with that
  // entry); the window hands it to the sound group.
  void buttonSound(int id);
  // The page in the page choice changed (by the user or the emulator); the sub-tab
  // panels show that page.
  void pageChanged(int page);
  // The menu was replaced as a whole (load, undo, redo, page change): the sub-tab
  // panels fill again.
  void menuReplaced();

protected:
  void hideEvent(QHideEvent* e) override;

private:
  void buildUi();
  // The Effects and Objects sub-tabs. Their panels take
  // (MenuDocument&, QUndoStack&, menuview::PageView&, core::Log&, QWidget*), offer
  // menuReplaced() and setPage(int), and signal menuEdited() when the page must be
  // redrawn (panelEdited); they are created here, in sub-tab order.
  void createSubTabPages();
  int addSubTab(QWidget* page, const QString& title);
  // The page view and the emulator behind it, driven by the picture and the navigate
  // panel.
  void createEmulation();
  // Long work through the window's task runner, or here and now without one.
  void runTask(std::function<void(core::Progress&)> work, std::function<void(bool)> done);

  // The menu is new in the view: emulator reset, page 0, every grid filled.
  void openMenu();
  void selectPage(int page);
  // The emulator showed another page: the fields and panels follow.
  void pageShown();
  // Runs a change of the menu as one undo step, brings the model back in step and
  // redraws the page.
  bool edit(const QString& what, const std::function<void(igs::Menu&)>& change, int mergeId = -1);
  // After an edit, undo or redo: the page redrawn and every panel filled again.
  void menuEdited();
  void afterUndoRedo();
  void redrawPage();
  void updateChooser();
  void updateMissingMark();
  void updateAuthorButton();
  void overlayToggled();
  // The BOG picture: an object in the page's palette, or "No object assigned".
  void showObject(unsigned objectId);

  AppContext& ctx_;
  ExecutePanel* exec_;
  RegisterPanel* regs_;
  MenuDocument doc_{QStringLiteral("menu")};
  int pendingPage_ = -1;  // the page an item asked for, shown when its menu opens
  int pendingButton_ = -1;  // the button on it to select then
  QUndoStack undo_;
  menuview::DisplayOptions opts_;
  std::unique_ptr<menuview::PageView> view_;
  std::unique_ptr<menuview::MenuEmulator> emu_;
  TaskRunner runTask_;
  bool authoring_ = false;
  QPushButton* author_ = nullptr;
  // The choices of a Create that wrote nothing (failed or cancelled), offered again
  // when the dialog next opens for the same disc folder.
  std::shared_ptr<author::AuthorOptions> keptChoices_;
  std::filesystem::path keptFolder_;
  // An edit of ours is changing the document: it is no undo or redo to redraw for.
  bool filling_ = false;
  menuview::Image objectPicture_;

  PageFieldsPanel* fields_ = nullptr;
  MenuFiles* files_ = nullptr;
  MenuEmulation* emulation_ = nullptr;
  QTabWidget* sub_ = nullptr;
  BogsPanel* bogs_ = nullptr;
  PageViewPanel* pageViewPanel_ = nullptr;
  EffectsPanel* effectsPanel_ = nullptr;
  ObjectsPanel* objectsPanel_ = nullptr;
  NavigatePanel* navigate_ = nullptr;
};

}  // namespace morvex::app

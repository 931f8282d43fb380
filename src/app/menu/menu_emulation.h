#pragma once
// The menu emulator on the Menu tab's page view. Start (through the execute panel),
// the navigate panel, the mouse, the user time-out and the button animation drive the
// engine's MenuEmulator on the window thread from Qt timers; the frames an action
// schedules (effects, animation steps) play on a timer over the picture on screen, so
// the window never waits for them. A right-drag moves a button and becomes one undo
// step when it ends.
#include <QObject>
#include <QPoint>
#include <QUndoStack>
#include <functional>
#include <memory>
#include <vector>

#include "app/menu/menu_document.h"
#include "app/shell/app_context.h"
#include "menuview/emulator.h"
#include "menuview/page_view.h"

class QTimer;

namespace morvex::app {

class ExecutePanel;
class NavigatePanel;
class PageViewPanel;
class RegisterPanel;

class MenuEmulation : public QObject {
  Q_OBJECT
public:
  MenuEmulation(AppContext& ctx, MenuDocument& doc, QUndoStack& undo, menuview::PageView& view,
                menuview::MenuEmulator& emu, PageViewPanel* panel, NavigatePanel* navigate, ExecutePanel* exec,
                RegisterPanel* regs, QObject* parent);

  // A menu is being read: the emulator takes no input meanwhile.
  std::function<bool()> loading;
  // The page view is on screen: only then does the button animation run.
  std::function<bool()> animationShown;

  // Start on the page in the page choice.
  void start();
  // Runs one emulator action from the picture on screen and shows what it did.
  void emulate(const std::function<void()>& action);
  // One firing of the animation timer: every animating button advances one step.
  void animationStep();
  // Frames still playing end at once; the page is shown as it is.
  void finishPlayback();
  void showPagePicture();
  // The timers follow the emulator's user time-out and the view's animation.
  void syncTimers();
  void stopTimers();
  void stopAnimation();
  // An undo or redo in the middle of a drag ends the drag without recording it.
  void dropDrag();
  // A drag's undo step is being recorded (the document changes under the tab).
  bool recording() const { return recording_; }

signals:
  // The emulator showed another page.
  void pageShown();
  // A button sound should play.
  void buttonSound(int id);
  // A drag moved a button; the move is on the undo stack.
  void dragRecorded();

protected:
  bool eventFilter(QObject* o, QEvent* e) override;

private:
  bool live() const { return doc_.model.loaded && !loading(); }
  void handleOutput();
  void playNextFrame();
  void pictureMoved(QPoint pos, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods);
  void picturePressed(QPoint pos, Qt::MouseButton button);
  void pictureReleased(Qt::MouseButton button);
  void endDrag();
  void setCursorShape(menuview::CursorShape c);
  void syncFit();

  AppContext& ctx_;
  MenuDocument& doc_;
  QUndoStack& undo_;
  menuview::PageView& view_;
  menuview::MenuEmulator& emu_;
  PageViewPanel* panel_;
  const QObject* picture_ = nullptr;  // the page view the key filter watches
  ExecutePanel* exec_;
  RegisterPanel* regs_;

  // Effect playback: the picture on screen while the frames play.
  menuview::Image shown_;
  std::vector<menuview::ViewFrame> frames_;
  size_t nextFrame_ = 0;
  bool playing_ = false;
  // A right-drag: the menu before the press, so the whole drag is one undo step.
  std::unique_ptr<igs::Menu> dragBefore_;
  bool recording_ = false;

  QTimer* userTimer_ = nullptr;
  QTimer* animTimer_ = nullptr;
  QTimer* frameTimer_ = nullptr;
};

}  // namespace morvex::app

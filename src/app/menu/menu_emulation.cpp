#include "app/menu/menu_emulation.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QTimer>
#include <cstring>

#include "app/menu/navigate_panel.h"
#include "app/menu/page_view_panel.h"
#include "app/menu/picture_widget.h"
#include "app/panels/execute_panel.h"
#include "app/panels/register_panel.h"

namespace morvex::app {

namespace {

// Copies a frame's patch into the picture at its position.
void applyPatch(menuview::Image& to, const menuview::ViewFrame& f) {
  const menuview::Image& p = f.patch;
  for (int y = 0; y < p.height(); ++y) {
    const int ty = f.y + y;
    if (ty < 0 || ty >= to.height()) continue;
    const int x0 = std::max(0, f.x), x1 = std::min(to.width(), f.x + p.width());
    if (x1 <= x0) continue;
    std::memcpy(&to.pixels()[size_t(ty) * size_t(to.width()) + size_t(x0)],
                &p.pixels()[size_t(y) * size_t(p.width()) + size_t(x0 - f.x)], size_t(x1 - x0) * sizeof(menuview::Rgba));
  }
}

constexpr int kMergeDrag = -1;

}  // namespace

MenuEmulation::MenuEmulation(AppContext& ctx, MenuDocument& doc, QUndoStack& undo, menuview::PageView& view,
                             menuview::MenuEmulator& emu, PageViewPanel* panel, NavigatePanel* navigate,
                             ExecutePanel* exec, RegisterPanel* regs, QObject* parent)
    : QObject(parent), ctx_(ctx), doc_(doc), undo_(undo), view_(view), emu_(emu), panel_(panel), exec_(exec),
      regs_(regs) {
  PictureWidget* pic = panel_->picture();
  picture_ = pic;
  pic->setPicture(&view_.page());
  pic->installEventFilter(this);
  connect(pic, &PictureWidget::pictureMoved, this, &MenuEmulation::pictureMoved);
  connect(pic, &PictureWidget::picturePressed, this,
          [this](QPoint p, Qt::MouseButton b, Qt::MouseButtons, Qt::KeyboardModifiers) { picturePressed(p, b); });
  connect(pic, &PictureWidget::pictureReleased, this,
          [this](QPoint, Qt::MouseButton b, Qt::MouseButtons, Qt::KeyboardModifiers) { pictureReleased(b); });
  connect(pic, &PictureWidget::pictureLeft, this, [this] {
    if (!emu_.dragging()) return;
    emu_.mouseLeave();
    endDrag();
  });
  connect(navigate, &NavigatePanel::moveWanted, this,
          [this](menuview::NavKey k) { emulate([this, k] { emu_.move(k); }); });
  connect(navigate, &NavigatePanel::selectWanted, this, [this] { emulate([this] { emu_.select(); }); });

  userTimer_ = new QTimer(this);
  userTimer_->setObjectName("userTimeoutTimer");
  connect(userTimer_, &QTimer::timeout, this, [this] { emulate([this] { emu_.userTimeout(); }); });
  animTimer_ = new QTimer(this);
  animTimer_->setObjectName("animationTimer");
  connect(animTimer_, &QTimer::timeout, this, &MenuEmulation::animationStep);
  frameTimer_ = new QTimer(this);
  frameTimer_->setSingleShot(true);
  connect(frameTimer_, &QTimer::timeout, this, &MenuEmulation::playNextFrame);
}

bool MenuEmulation::eventFilter(QObject* o, QEvent* e) {
  // The arrow keys and Enter drive the emulator as the navigate panel's U, D, L, R
  // and Sel do while the page view has the focus; any other key shows its key code
  // in status panel 1. The picture is compared by address only: while the tab is
  // torn down the panel is already half destroyed when its picture's last events
  // arrive here.
  if (e->type() == QEvent::KeyPress && o == picture_) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->modifiers() == Qt::NoModifier || k->modifiers() == Qt::KeypadModifier) {
      switch (k->key()) {
        case Qt::Key_Up: emulate([this] { emu_.move(menuview::NavKey::Up); }); return true;
        case Qt::Key_Down: emulate([this] { emu_.move(menuview::NavKey::Down); }); return true;
        case Qt::Key_Left: emulate([this] { emu_.move(menuview::NavKey::Left); }); return true;
        case Qt::Key_Right: emulate([this] { emu_.move(menuview::NavKey::Right); }); return true;
        case Qt::Key_Return:
        case Qt::Key_Enter: emulate([this] { emu_.select(); }); return true;
        default: break;
      }
    }
    const quint32 code = k->nativeVirtualKey() ? k->nativeVirtualKey() : quint32(k->key());
    ctx_.log->status(core::StatusPanel::Detail, std::to_string(code));
  }
  return QObject::eventFilter(o, e);
}

void MenuEmulation::animationStep() {
  if (playing_ || !doc_.model.loaded) return;
  emu_.animationTick();
  handleOutput();
}

void MenuEmulation::start() {
  if (!doc_.model.loaded) return;
  const int page = view_.pageChoice();
  emulate([this, page] { emu_.start(page); });
}

void MenuEmulation::emulate(const std::function<void()>& action) {
  if (!live()) return;
  // A schedule still playing ends at once: the user has moved on.
  finishPlayback();
  // What is on screen now, so the frames of this action can play from it.
  shown_ = view_.page();
  syncFit();
  // Sounds with a lower id than the disc's sound.bdmv holds are played.
  view_.soundCount = ctx_.session.hasSound() ? unsigned(ctx_.session.sound.model.entries.size()) : 0u;
  action();
  // The user time-out belongs to the page on screen, as on a player: once Start has
  // armed it, every key and every page change starts it again with that page's
  // time-out (none when the page has no default activated button).
  if (emu_.userTimerOn) {
    const igs::Page* page = view_.pageAt(view_.pageChoice());
    emu_.userTimeoutMs =
        page && page->defaultActivated != igs::kNoButton ? view_.menu().ics.userTimeout / 90 : 0;
    userTimer_->stop();
  }
  handleOutput();
}

void MenuEmulation::handleOutput() {
  for (const menuview::EmulatorEvent& ev : emu_.takeEvents()) {
    switch (ev.kind) {
      case menuview::EmulatorEvent::Kind::PageShown:
        Q_EMIT pageShown();
        break;
      case menuview::EmulatorEvent::Kind::Report:
        ctx_.log->status(core::StatusPanel::Detail, ev.text);
        break;
      case menuview::EmulatorEvent::Kind::Paused:
        ctx_.log->status(core::StatusPanel::Detail, "Paused after " + std::to_string(ev.number) + " commands (the program does not end)");
        break;
      case menuview::EmulatorEvent::Kind::RunButton:
        if (exec_ && ev.number >= 0 && ev.number < exec_->chooser()->count())
          exec_->chooser()->setCurrentIndex(ev.number);
        break;
    }
  }
  for (const menuview::ViewEvent& ev : view_.takeEvents())
    if (ev.kind == menuview::ViewEvent::Kind::Sound) Q_EMIT buttonSound(int(ev.soundId));
  std::vector<menuview::ViewFrame> frames = view_.takeFrames();
  if (!frames.empty() && !shown_.empty()) {
    frames_ = std::move(frames);
    nextFrame_ = 0;
    playing_ = true;
    panel_->picture()->setPicture(&shown_);
    playNextFrame();
  } else {
    showPagePicture();
  }
  // The view words its status line when it composes a page or activates a button;
  // a move or a time-out only redraws buttons, so the selected button and page are
  // read from the registers again rather than repeating the line of an earlier page.
  if (!view_.status().empty() && !emu_.dragging()) {
    const bool registers = view_.status().rfind("PSR10:", 0) == 0;
    ctx_.log->status(core::StatusPanel::Detail,
                     registers ? menuview::pageStatus(view_.regs().psr[10], view_.regs().psr[11]) : view_.status());
  }
  if (regs_) regs_->refresh();
  syncTimers();
}

void MenuEmulation::playNextFrame() {
  if (!playing_) return;
  if (nextFrame_ >= frames_.size()) {
    finishPlayback();
    return;
  }
  const menuview::ViewFrame& f = frames_[nextFrame_++];
  applyPatch(shown_, f);
  if (!f.status.empty()) ctx_.log->status(core::StatusPanel::Detail, f.status);
  PictureWidget* pic = panel_->picture();
  if (f.patch.empty())
    pic->updatePicture();
  else
    pic->updatePictureRect(f.x, f.y, f.x + f.patch.width(), f.y + f.patch.height());
  frameTimer_->start(int(f.waitMs));
}

void MenuEmulation::finishPlayback() {
  frameTimer_->stop();
  frames_.clear();
  nextFrame_ = 0;
  if (playing_) {
    playing_ = false;
    showPagePicture();
  }
}

void MenuEmulation::showPagePicture() {
  PictureWidget* pic = panel_->picture();
  if (pic->picture() != &view_.page())
    pic->setPicture(&view_.page());
  else
    pic->updatePicture();
}

void MenuEmulation::syncTimers() {
  if (!doc_.model.loaded) {
    stopTimers();
    return;
  }
  if (emu_.userTimerOn && emu_.userTimeoutMs > 0) {
    if (!userTimer_->isActive() || userTimer_->interval() != int(emu_.userTimeoutMs))
      userTimer_->start(int(emu_.userTimeoutMs));
  } else {
    userTimer_->stop();
  }
  const uint32_t anim = view_.animationIntervalMs();
  const bool animate = view_.animationTimerOn && anim > 0 && animationShown();
  if (animate) {
    if (!animTimer_->isActive() || animTimer_->interval() != int(anim)) animTimer_->start(int(anim));
  } else {
    animTimer_->stop();
  }
}

void MenuEmulation::stopTimers() {
  emu_.userTimerOn = false;
  view_.animationTimerOn = false;
  userTimer_->stop();
  animTimer_->stop();
}

void MenuEmulation::stopAnimation() { animTimer_->stop(); }

void MenuEmulation::dropDrag() {
  if (!emu_.dragging()) return;
  emu_.mouseLeave();
  dragBefore_.reset();
}

void MenuEmulation::syncFit() { emu_.fit = panel_->picture()->fitRect(); }

void MenuEmulation::setCursorShape(menuview::CursorShape c) {
  QWidget* vp = panel_->picture()->viewport();
  switch (c) {
    case menuview::CursorShape::Hand: vp->setCursor(Qt::PointingHandCursor); break;
    case menuview::CursorShape::Move: vp->setCursor(Qt::SizeAllCursor); break;
    default: vp->setCursor(Qt::ArrowCursor); break;
  }
}

void MenuEmulation::pictureMoved(QPoint pos, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
  if (!live()) return;
  syncFit();
  if (emu_.dragging()) {
    menuview::DragKeys keys;
    keys.shift = mods & Qt::ShiftModifier;
    keys.alt = mods & Qt::AltModifier;
    keys.ctrl = mods & Qt::ControlModifier;
    keys.otherButton = buttons & ~Qt::RightButton;
    setCursorShape(emu_.mouseMove(pos.x(), pos.y(), keys));
    view_.takeFrames();
    view_.takeEvents();
    showPagePicture();
    if (!emu_.dragStatusLine().empty()) ctx_.log->status(core::StatusPanel::Detail, emu_.dragStatusLine());
    return;
  }
  if (playing_) return;
  shown_ = menuview::Image();
  setCursorShape(emu_.mouseMove(pos.x(), pos.y()));
  handleOutput();
}

void MenuEmulation::picturePressed(QPoint pos, Qt::MouseButton button) {
  if (!live()) return;
  if (button == Qt::LeftButton) {
    emulate([this, pos] { emu_.leftPress(pos.x(), pos.y()); });
    return;
  }
  if (button == Qt::RightButton) {
    finishPlayback();
    syncFit();
    dragBefore_ = std::make_unique<igs::Menu>(doc_.model);
    setCursorShape(emu_.rightPress(pos.x(), pos.y()));
    if (!emu_.dragging()) dragBefore_.reset();
    showPagePicture();
  }
}

void MenuEmulation::pictureReleased(Qt::MouseButton button) {
  if (button != Qt::RightButton || !emu_.dragging()) return;
  setCursorShape(emu_.rightRelease());
  endDrag();
}

void MenuEmulation::endDrag() {
  setCursorShape(menuview::CursorShape::Arrow);
  if (!dragBefore_) return;
  // The drag moved the button in the model as it went; the whole move becomes one
  // undo step from the menu as it was at the press.
  igs::Menu after = std::move(doc_.model);
  doc_.model = std::move(*dragBefore_);
  dragBefore_.reset();
  recording_ = true;
  editDocuments(undo_, "Move button", kMergeDrag, [&] { doc_.model = std::move(after); }, doc_);
  recording_ = false;
  view_.takeFrames();
  showPagePicture();
  Q_EMIT dragRecorded();
}

}  // namespace morvex::app

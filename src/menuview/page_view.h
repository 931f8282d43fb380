#pragma once
// The page view: composes one page of the open menu into a 1920 x 1080 picture the
// way a player shows it. A background (colour plus picture), the page's in-effects,
// the visible button of every button overlap group (BOG) in its normal state, and the
// selected button (PSR 10) in its selected or activated state, with optional overlays
// (button ids, object ids, frames).
//
// Nothing here waits or sleeps. Whatever a player would show for a while (effect
// steps, the activated animation played at once) is recorded as a schedule of frames
// that the front end plays with its own timer; the page picture always holds the
// final composition.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/log.h"
#include "hdmv/registers.h"
#include "igs/model.h"
#include "menuview/image.h"
#include "menuview/options.h"

namespace morvex::menuview {

// Run-time state of one slot of the shown page's button-by-id list (index = id).
// Empty slots stay all zero.
struct ButtonState {
  uint8_t shown = 0;               // the visible button of its BOG
  uint8_t bogIndex = 0;            // position of the button's BOG in the page
  uint8_t indexInBog = 0;          // position of the button in its BOG
  uint8_t normalAnimating = 0;
  uint8_t selectedAnimating = 0;
  uint8_t activatedAnimating = 0;
  uint8_t normalRepeat = 0;
  uint8_t selectedRepeat = 0;
  uint16_t frame = 0;  // animation step: offset from the state's start object id
  bool operator==(const ButtonState&) const = default;
};

// One step of a schedule: the part of the page picture that changed since the
// previous step (a patch at (x, y)), how long to show it, and the status line to show
// with it (empty = leave the status line alone).
struct ViewFrame {
  int x = 0, y = 0;
  Image patch;
  uint32_t waitMs = 0;
  std::string status;
};

// Things the front end acts on besides pictures.
struct ViewEvent {
  enum class Kind : uint8_t { Sound } kind = Kind::Sound;
  unsigned soundId = 0;
  bool operator==(const ViewEvent&) const = default;
};

enum class ButtonStateKind : uint8_t { Normal, Selected, Activated };

class PageView {
public:
  PageView(igs::Menu& menu, hdmv::Registers& regs, DisplayOptions& options, core::Log& log);

  const Image& page() const { return page_; }
  const Image& background() const { return background_; }
  const std::vector<ButtonState>& states() const { return states_; }
  std::vector<ButtonState>& states() { return states_; }
  igs::Menu& menu() { return menu_; }
  // The coloured pictures of the menu's objects. Edits that replace or delete objects
  // or palettes take them; loading another menu into the view clears them.
  igs::MenuPictures& pictures() { return pictures_; }
  hdmv::Registers& regs() { return regs_; }
  DisplayOptions& options() { return options_; }
  core::Log& log() { return log_; }

  // The page in the page choice (the page drawn and whose palette colours objects).
  int pageChoice() const { return pageChoice_; }
  // Selecting a page in the page choice: rebuilds the state list (the picture is not
  // redrawn) and resets the effect picture.
  void selectPage(int page);
  // Moves the page choice without rebuilding the state list: the interpreter shows a
  // page whose states it has already prepared.
  void setPageChoice(int page) { pageChoice_ = page; }

  // Number of button sounds loaded; sounds with a lower id are played.
  unsigned soundCount = 0;

  // Rebuilds the background picture for the options and shows it (the page picture
  // becomes the background). Returns false with the picture library's message when a
  // user picture could not be loaded (the built-in picture is used instead).
  bool changeBackground(std::string* error = nullptr);

  void blankPage();
  void blankRect(int x1, int y1, int x2, int y2);

  void prepareButtonStates(int page);
  // The execute panel's button choice after prepareButtonStates: every slot index as four
  // hex digits (the first is selected).
  std::vector<std::string> buttonChoiceItems() const;
  void loadButtonPictures(int page);
  void renderPage();

  void renderButton(unsigned id);
  void renderButtonAt(unsigned id);
  void renderSelectedButton();
  void renderSelectedButtonAt();
  void renderActivatedButton();
  void renderActivatedButtonAt();
  void renderActivatedButtonOver();
  void blankButton(unsigned id);

  // Showing a button within its BOG: only it is shown among the buttons of its BOG.
  void showInBog(unsigned id);

  // Plays an effect sequence (in- or out-effects): its steps become frames.
  void renderEffects(const igs::EffectSequence& seq);

  // Effect preview picture (1920 x 1080).
  const Image& effectPicture() const { return effectPicture_; }
  void resetEffectPicture();
  void effectPreview(const igs::EffectSequence& seq, unsigned effect, unsigned compObject);
  // Clicking an effect row: every composition object of that effect is previewed.
  void previewEffect(const igs::EffectSequence& seq, unsigned effect);

  // The frames recorded since the last call and the events raised; the front end
  // plays the frames in order, then shows page().
  std::vector<ViewFrame> takeFrames();
  std::vector<ViewEvent> takeEvents();
  const std::vector<ViewFrame>& frames() const { return frames_; }
  const std::vector<ViewEvent>& events() const { return events_; }

  // Animation timer: on/off as the drawing procedures leave it; the interval follows
  // the page in the page choice (0 = never fires).
  bool animationTimerOn = false;
  uint32_t animationIntervalMs() const;

  // The last status line written.
  const std::string& status() const { return status_; }

  // Milliseconds since some fixed point; effect timing measures drawing time with it.
  std::function<double()> clockMs;

  // Label font size as the normal-state drawing last set it (8, or 16 in fit mode).
  int overlayFontSize() const { return fontSize_; }

  // The button of the shown page at `id`, or nullptr for an empty slot or an id
  // beyond the list.
  const igs::Button* button(unsigned id) const;
  // Object size, (0, 0) when it does not exist.
  std::pair<int, int> objectSize(unsigned objectId) const;
  // The marker drawn for a missing object: a fixed, readable size, since the real
  // size lives in the object that is not there.
  static constexpr int kPlaceholderWidth = 96, kPlaceholderHeight = 40;
  // Size a button state takes on the page: its object's; for an object the menu lacks
  // the marker's when placeholders are drawn; (0, 0) otherwise and for "no object".
  std::pair<int, int> stateSize(unsigned objectId) const;
  // A button of the shown page names an object the menu does not have.
  bool objectsMissing() const;
  bool objectExists(unsigned objectId) const { return objectId < menu_.objects.size(); }
  // A page the menu has, by index.
  const igs::Page* pageAt(int page) const;
  // Interval of one animation step for a page, in ms: num x (code x 1000) div den.
  uint32_t animationInterval(int page) const;

private:
  void drawState(ButtonStateKind kind, unsigned id);
  // With `window`, only the pixels inside that effect window change.
  void drawObject(unsigned objectId, unsigned paletteId, int x, int y, const igs::EffectWindow* window = nullptr);
  void markDirty(int x1, int y1, int x2, int y2);
  void emitFrame(uint32_t waitMs, std::string status);
  void setStatus(std::string text);
  unsigned paletteOfChoice() const;

  igs::Menu& menu_;
  igs::MenuPictures pictures_;
  hdmv::Registers& regs_;
  DisplayOptions& options_;
  core::Log& log_;
  Image background_;
  Image page_;
  Image effectPicture_;
  std::vector<ButtonState> states_;
  int pageChoice_ = 0;
  int fontSize_ = 8;
  std::string status_;
  std::vector<ViewFrame> frames_;
  std::vector<ViewEvent> events_;
  int dirtyX1_ = 0, dirtyY1_ = 0, dirtyX2_ = 0, dirtyY2_ = 0;  // empty when x2 <= x1
};

// Status line after composing a page: "PSR10: 0001 (1), PSR11: 00 (0)".
std::string pageStatus(uint32_t psr10, uint32_t psr11);

}  // namespace morvex::menuview

// Composition of a page: button states, exact pixels, overlays, animation steps and
// the activated animation played as a schedule.
#include <gtest/gtest.h>

#include "igs/colour.h"
#include "menuview/overlay.h"
#include "synthetic_menu.h"

using namespace morvex;
using namespace morvex::menuview;
using namespace morvex::menuview::test;

namespace {

constexpr Rgba kNavy{0, 0, 128, 255};
constexpr Rgba kRedPx{255, 0, 0, 255}, kGreenPx{0, 255, 0, 255}, kBluePx{0, 0, 255, 255};

// Page with one BOG of three buttons (ids 0..2) near the middle of the screen, where
// the built-in background is fully transparent (navy shows), away from its grid lines.
// Objects: 0 red, 1 green, 2 blue (100 x 50).
struct ThreeButtons : SyntheticMenu {
  ThreeButtons() {
    addSolidObject(0, 100, 50, kRed);
    addSolidObject(1, 100, 50, kGreen);
    addSolidObject(2, 100, 50, kBlue);
    bog(0, 0).defaultValid = 0;
    addButton(0, 0, makeButton(0, 730, 430, 0, 1, 2));
    bog(0, 1).defaultValid = 1;
    addButton(0, 1, makeButton(1, 850, 430, 0, 1, 2));
    bog(0, 2).defaultValid = 2;
    addButton(0, 2, makeButton(2, 970, 430, 0, 1, 2));
    finish();
  }
};

}  // namespace

TEST(PageView, NormalSelectedAndActivatedStatesHaveExactColours) {
  ThreeButtons m;
  m.regs.psr[10] = 1;
  m.view->renderPage();
  const Image& page = m.view->page();
  EXPECT_EQ(page.pixel(735, 435), kRedPx);    // button 0 normal
  EXPECT_EQ(page.pixel(855, 435), kGreenPx);  // button 1 selected
  EXPECT_EQ(page.pixel(949, 479), kGreenPx);  // last pixel of the selected object
  EXPECT_EQ(page.pixel(950, 479), kNavy);     // right edge is exclusive
  EXPECT_EQ(page.pixel(975, 435), kRedPx);
  EXPECT_EQ(page.pixel(735, 425), kNavy);
  EXPECT_EQ(m.view->status(), "PSR10: 0001 (1), PSR11: 00 (0)");
  EXPECT_EQ(m.regs.psr[43], m.regs.psr[11]);

  // Activation without the animation timer plays the activated range at once.
  m.view->takeFrames();
  m.view->renderActivatedButton();
  EXPECT_EQ(m.view->page().pixel(855, 435), kBluePx);
  EXPECT_EQ(m.view->status(), "PSR10: 0001, PSR11: 00");
  auto frames = m.view->takeFrames();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].x, 850);
  EXPECT_EQ(frames[0].patch.width(), 100);
  EXPECT_EQ(frames[0].patch.pixel(5, 5), kBluePx);
}

TEST(PageView, NoButtonIsSelectedWithPsr10None) {
  ThreeButtons m;
  m.regs.psr[10] = 0xFFFF;
  m.view->renderPage();
  for (int x : {735, 855, 975}) EXPECT_EQ(m.view->page().pixel(x, 435), kRedPx);
  EXPECT_EQ(m.view->status(), "PSR10: FFFF (65535), PSR11: 00 (0)");
}

TEST(PageView, HalfTransparentEntriesBlendOverTheBackground) {
  SyntheticMenu m;
  m.addSolidObject(0, 40, 40, kHalfWhite);
  m.bog(0, 0).defaultValid = 5;
  m.addButton(0, 0, makeButton(5, 1000, 500, 0, 0, 0));
  m.finish();
  m.view->renderPage();
  // (255 x 128 + 0 x 127) / 255 rounds to 128; blue (255 x 128 + 128 x 127) / 255 to 192.
  EXPECT_EQ(m.view->page().pixel(1010, 510), (Rgba{128, 128, 192, 255}));
  EXPECT_EQ(m.view->page().pixel(1040, 510), kNavy);
}

TEST(PageView, ButtonStatesFollowTheGroupDefaults) {
  SyntheticMenu m;
  m.addSolidObject(0, 20, 20, kRed);
  m.addSolidObject(1, 20, 20, kGreen);
  m.addSolidObject(5, 20, 20, kCyan);
  m.addSolidObject(6, 20, 20, kMagenta);
  m.addSolidObject(7, 20, 20, kOrange);
  m.bog(0, 0).defaultValid = 0xFFFF;  // nothing shown until enabled
  m.addButton(0, 0, makeButton(3, 700, 400, 0, 1, 1));
  m.addButton(0, 0, makeButton(4, 700, 400, 0, 1, 1));
  m.bog(0, 1).defaultValid = 6;
  auto b = makeButton(6, 900, 400, 5, 1, 1);
  b.normalEnd = 7;
  b.normalRepeat = 1;
  b.selectedEnd = 3;
  m.addButton(0, 1, b);
  m.finish();
  const auto& st = m.view->states();
  ASSERT_EQ(st.size(), 7u);  // highest id + 1
  EXPECT_EQ(st[0], ButtonState{});
  EXPECT_EQ(st[3].shown, 0);
  EXPECT_EQ(st[4].indexInBog, 1);
  EXPECT_EQ(st[6].bogIndex, 1);
  EXPECT_EQ(st[6].shown, 1);
  EXPECT_EQ(st[6].normalAnimating, 1);
  EXPECT_EQ(st[6].normalRepeat, 1);
  EXPECT_EQ(st[6].selectedAnimating, 1);
  EXPECT_EQ(st[6].selectedRepeat, 0);
  const auto items = m.view->buttonChoiceItems();
  ASSERT_EQ(items.size(), 7u);
  EXPECT_EQ(items[6], "0006");

  m.view->renderPage();
  EXPECT_EQ(m.view->page().pixel(705, 405), kNavy);  // BOG with default 0xFFFF shows nothing

  // Enabling shows one button of the group and hides the other.
  m.view->showInBog(4);
  m.view->renderButton(4);
  EXPECT_EQ(m.view->page().pixel(705, 405), kRedPx);
  m.view->showInBog(3);
  EXPECT_EQ(m.view->states()[3].shown, 1);
  EXPECT_EQ(m.view->states()[4].shown, 0);
  // blankButton keeps the picture while another button of the group is visible...
  m.view->blankButton(4);
  EXPECT_EQ(m.view->page().pixel(705, 405), kRedPx);
  // ...and erases it once none is.
  m.view->states()[3].shown = 0;
  m.view->blankButton(4);
  EXPECT_EQ(m.view->page().pixel(705, 405), kNavy);
}

TEST(PageView, AnimationStepsWithAndWithoutRepeat) {
  for (bool repeat : {false, true}) {
    SyntheticMenu m;
    m.addSolidObject(5, 20, 20, kCyan);
    m.addSolidObject(6, 20, 20, kMagenta);
    m.addSolidObject(7, 20, 20, kOrange);
    m.bog(0, 0).defaultValid = 0;
    auto b = makeButton(0, 700, 400, 5, 5, 5);
    b.normalEnd = 7;
    b.normalRepeat = repeat;
    m.addButton(0, 0, b);
    m.finish();
    auto colour = [&] { return m.view->page().pixel(705, 405); };
    const Rgba cyan{0, 255, 255, 255}, magenta{255, 0, 255, 255}, orange{255, 128, 0, 255};
    m.view->renderButton(0);
    EXPECT_EQ(colour(), cyan);
    m.emu->animationTick();
    EXPECT_EQ(colour(), magenta);
    m.emu->animationTick();
    EXPECT_EQ(colour(), orange);
    m.emu->animationTick();
    EXPECT_EQ(colour(), repeat ? cyan : orange) << "repeat " << repeat;
    m.emu->animationTick();
    EXPECT_EQ(colour(), repeat ? magenta : orange) << "repeat " << repeat;
    EXPECT_EQ(m.view->states()[0].normalAnimating, repeat ? 1 : 0);
    // Drawn anew, the animation starts again at the first object.
    m.view->renderButton(0);
    EXPECT_EQ(colour(), cyan);
  }
}

TEST(PageView, SingleObjectStateDoesNotAnimate) {
  ThreeButtons m;
  m.view->renderPage();
  EXPECT_EQ(m.view->states()[0].normalAnimating, 0);
  m.emu->animationTick();
  EXPECT_EQ(m.view->states()[0].frame, 0);
  EXPECT_EQ(m.view->page().pixel(735, 435), kRedPx);
}

TEST(PageView, OverlayLabelsAndFramesUseStateColours) {
  ThreeButtons m;
  // Button 2 has no commands: invalid colours in every state.
  m.menu.pageButtons[0][2].commands.clear();
  m.options.showButtonId = true;
  m.options.showObjectId = true;
  m.options.showButtonFrame = true;
  m.regs.psr[10] = 1;
  m.view->renderPage();
  const Image& page = m.view->page();
  const Rgba white{255, 255, 255, 255}, silver{192, 192, 192, 255}, yellow{255, 255, 0, 255}, red{255, 0, 0, 255},
      grey{128, 128, 128, 255}, black{0, 0, 0, 255};
  // Label boxes start at (x + 3, y + 3); their first pixel is the label colour.
  EXPECT_EQ(page.pixel(733, 433), white);
  EXPECT_EQ(page.pixel(853, 433), yellow);
  EXPECT_EQ(page.pixel(973, 433), grey);
  // Object id label at (x + w - 28, y + h - 16).
  EXPECT_EQ(page.pixel(730 + 100 - 28, 430 + 50 - 16), white);
  // One-pixel frames on the button's rectangle.
  EXPECT_EQ(page.pixel(730, 440), silver);
  EXPECT_EQ(page.pixel(731, 440), kRedPx);
  EXPECT_EQ(page.pixel(949, 460), red);
  EXPECT_EQ(page.pixel(970, 479), black);
  // The digits differ between button 1 and 2 (ids 0001 and 0002).
  Image l1 = page.crop(853, 433, 853 + labelWidth(8), 433 + labelHeight(8));
  Image l2 = page.crop(973, 433, 973 + labelWidth(8), 433 + labelHeight(8));
  int ink1 = 0;
  for (const Rgba& p : l1.pixels()) ink1 += p == black;
  EXPECT_GT(ink1, 0);
  EXPECT_NE(l1.pixels(), l2.pixels());

  // Fit-to-window mode doubles the labels (set by the normal-state drawing).
  m.options.fullScreen = true;
  m.view->renderPage();
  EXPECT_EQ(m.view->overlayFontSize(), 16);
  EXPECT_EQ(m.view->page().pixel(733 + labelWidth(16) - 1, 433), white);
}

TEST(PageView, PreloadColoursEveryObjectOfThePage) {
  ThreeButtons m;
  m.addSolidObject(3, 10, 10, kCyan);  // not used by the page
  igs::resizeCache(m.menu, m.view->pictures());
  m.view->loadButtonPictures(0);
  // Cache rows are filled on demand: a row holds a slot for a palette only once a
  // picture of that object has been coloured with it.
  auto coloured = [&](unsigned id) {
    const auto& row = m.view->pictures().cache[id].byPalette;
    return !row.empty() && row[0].has_value();
  };
  for (unsigned id = 0; id < 3; ++id) EXPECT_TRUE(coloured(id)) << id;
  EXPECT_FALSE(coloured(3));
}

TEST(PageView, ActivatedAnimationScheduleWaitsOneAnimationStepPerObject) {
  SyntheticMenu m;
  m.addSolidObject(5, 20, 20, kCyan);
  m.addSolidObject(6, 20, 20, kMagenta);
  m.addSolidObject(7, 20, 20, kOrange);
  m.bog(0, 0).defaultValid = 0;
  auto b = makeButton(0, 700, 400, 5, 5, 5);
  b.activatedEnd = 7;
  m.addButton(0, 0, b);
  m.menu.ics.pages[0].animationCode = 2;  // every second frame at 24 frames a second
  m.finish();
  EXPECT_EQ(m.view->animationIntervalMs(), 83u);  // 1000 x 2000 div 24000
  m.regs.psr[10] = 0;
  m.view->renderActivatedButton();
  auto frames = m.view->takeFrames();
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].patch.pixel(0, 0), (Rgba{0, 255, 255, 255}));
  EXPECT_EQ(frames[2].patch.pixel(0, 0), (Rgba{255, 128, 0, 255}));
  for (const auto& f : frames) EXPECT_EQ(f.waitMs, 83u);
  // With the animation option on, activation only draws the first step.
  m.options.buttonAnimation = true;
  m.view->renderActivatedButton();
  EXPECT_EQ(m.view->takeFrames().size(), 0u);
  EXPECT_EQ(m.view->page().pixel(700, 400), (Rgba{0, 255, 255, 255}));
  EXPECT_EQ(m.view->states()[0].activatedAnimating, 1);
}

TEST(PageView, MissingObjectsAndOutOfRangeIdsDrawNothing) {
  ThreeButtons m;
  m.menu.pageButtons[0][0].normalStart = m.menu.pageButtons[0][0].normalEnd = 0xFFFF;
  m.view->renderPage();
  EXPECT_EQ(m.view->page().pixel(735, 435), kNavy);
  const Image before = m.view->page();
  m.view->renderButton(3);
  m.view->renderButton(0xFFFF);
  m.view->blankButton(500);
  m.regs.psr[10] = 40;
  m.view->renderSelectedButton();
  EXPECT_EQ(m.view->page(), before);
}

TEST(PageView, ButtonSoundsAreEventsWhenEnabledAndLoaded) {
  ThreeButtons m;
  m.menu.pageButtons[0][1].selectedSound = 2;
  m.menu.pageButtons[0][1].activatedSound = 3;
  m.regs.psr[10] = 1;
  m.view->renderSelectedButton();
  EXPECT_TRUE(m.view->takeEvents().empty());  // option off
  m.options.playSound = true;
  m.view->soundCount = 3;
  m.view->renderSelectedButton();
  m.view->renderActivatedButton();  // sound 3 is not below the count of 3
  auto ev = m.view->takeEvents();
  ASSERT_EQ(ev.size(), 1u);
  EXPECT_EQ(ev[0].soundId, 2u);
}

TEST(PageView, ButtonsWhoseObjectsAreMissingShowAsPlaceholdersWhenAsked) {
  // A composition without its pictures: the buttons name objects 40..42, which the
  // menu does not have.
  SyntheticMenu m;
  m.bog(0, 0).defaultValid = 0;
  m.addButton(0, 0, makeButton(0, 730, 430, 40, 41, 42));
  m.bog(0, 1).defaultValid = 1;
  m.addButton(0, 1, makeButton(1, 900, 430, 40, 41, 42));
  m.finish();
  EXPECT_TRUE(m.view->objectsMissing());
  m.regs.psr[10] = 1;
  m.view->renderPage();
  const Image bare = m.view->page();
  EXPECT_EQ(bare.pixel(735, 435), kNavy);  // off: nothing drawn

  m.options.placeholders = true;
  m.view->renderPage();
  const Image& pic = m.view->page();
  const Rgba silver = m.options.colNormalFrame, yellow = m.options.colSelectedButton;
  // Frames in the state's colour, at the placeholder's fixed size.
  const int w = PageView::kPlaceholderWidth, h = PageView::kPlaceholderHeight;
  EXPECT_EQ(pic.pixel(730, 430), silver);
  EXPECT_EQ(pic.pixel(730 + w - 1, 430 + h - 1), silver);
  EXPECT_EQ(pic.pixel(730 + w, 430 + h), kNavy);
  EXPECT_EQ(pic.pixel(900, 430), yellow);
  // Inside: the state's colour over the background, neither bare nor opaque.
  const Rgba inside = pic.pixel(735, 435);
  EXPECT_NE(inside, kNavy);
  EXPECT_NE(inside, silver);
  // The id label sits in the middle: its box has the state's colour as background.
  Image label(labelWidth(16), labelHeight(16), kNavy);
  drawHexLabel(label, 0, 0, 1, yellow, Rgba{0, 0, 0, 255}, 16);
  const int lx = 900 + (w - labelWidth(16)) / 2, ly = 430 + (h - labelHeight(16)) / 2;
  EXPECT_EQ(pic.crop(lx, ly, lx + labelWidth(16), ly + labelHeight(16)), label);
  // Moving the selection redraws both buttons in their new states.
  m.view->renderButton(1);
  m.regs.psr[10] = 0;
  m.view->renderSelectedButton();
  EXPECT_EQ(pic.pixel(900, 430), silver);
  EXPECT_EQ(pic.pixel(730, 430), yellow);

  // With every object present nothing is missing.
  ThreeButtons full;
  EXPECT_FALSE(full.view->objectsMissing());
}

TEST(MenuEmulator, PlaceholdersTakeTheMouse) {
  SyntheticMenu m;
  m.options.placeholders = true;
  m.bog(0, 0).defaultValid = 0;
  auto b0 = makeButton(0, 730, 430, 40, 41, 42, {moveGpr(2, 22)});
  b0.right = 1;
  m.addButton(0, 0, b0);
  m.bog(0, 1).defaultValid = 1;
  auto b1 = makeButton(1, 900, 430, 40, 41, 42, {moveGpr(3, 33)});
  b1.left = 0;
  m.addButton(0, 1, b1);
  m.menu.ics.pages[0].defaultSelected = 0;
  m.finish();
  m.emu->start();
  // Hovering over the neighbour's marker selects it; a left click activates it.
  m.emu->mouseMove(940, 450);
  EXPECT_EQ(m.regs.psr[10], 1u);
  m.emu->leftPress(940, 450);
  EXPECT_EQ(m.regs.gpr[3], 33u);
  // A right-drag moves the marker and writes the position back.
  ASSERT_EQ(m.emu->rightPress(740, 440), CursorShape::Move);
  m.emu->mouseMove(750, 460);
  m.emu->rightRelease();
  EXPECT_EQ(m.menu.pageButtons[0][0].x, 740);
  EXPECT_EQ(m.menu.pageButtons[0][0].y, 450);
}

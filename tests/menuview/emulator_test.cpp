// The menu emulator: start sequence, keys, time-out, hover, dragging, and the
// interpreter's menu commands acting on the page view.
#include <gtest/gtest.h>

#include "synthetic_menu.h"

using namespace morvex;
using namespace morvex::menuview;
using namespace morvex::menuview::test;

namespace {

constexpr Rgba kNavy{0, 0, 128, 255};
constexpr Rgba kRedPx{255, 0, 0, 255}, kGreenPx{0, 255, 0, 255}, kBluePx{0, 0, 255, 255};

hdmv::Command setButtonPage(int button, int page, bool skipOut = false) {
  return hdmv::Command{0x51C00003, button < 0 ? 0u : 0x80000000u | uint32_t(button),
                        page < 0 ? 0u : 0x80000000u | (skipOut ? 0x40000000u : 0u) | uint32_t(page)};
}
hdmv::Command enableButton(int b) { return hdmv::Command{0x31800004, uint32_t(b), 0}; }
hdmv::Command disableButton(int b) { return hdmv::Command{0x31800005, uint32_t(b), 0}; }

// A 2 x 2 grid of buttons in one BOG each: 0 (top left), 1 (top right),
// 2 (bottom left), 3 (bottom right); objects 0 red normal, 1 green selected, 2 blue
// activated, 100 x 50. Button n's program sets GPR n to n + 10.
struct Grid : SyntheticMenu {
  Grid() {
    addSolidObject(0, 100, 50, kRed);
    addSolidObject(1, 100, 50, kGreen);
    addSolidObject(2, 100, 50, kBlue);
    const uint16_t xs[4] = {730, 850, 730, 850}, ys[4] = {410, 410, 490, 490};
    for (uint16_t id = 0; id < 4; ++id) {
      bog(0, id).defaultValid = id;
      auto b = makeButton(id, xs[id], ys[id], 0, 1, 2, {moveGpr(id, id + 10u)});
      b.left = id & 1 ? id - 1 : id;
      b.right = id & 1 ? id : id + 1;
      b.upper = id >= 2 ? id - 2 : id;
      b.lower = id >= 2 ? id : id + 2;
      addButton(0, id, b);
    }
    page0().defaultSelected = 0;
    finish();
  }
  igs::Page& page0() { return menu.ics.pages[0]; }
  igs::Button& btn(unsigned id) { return menu.pageButtons[0][id]; }
  void syncBogs() {
    // Changes made to the button-by-id list are copied back to the BOGs.
    for (auto& g : page0().bogs)
      for (auto& b : g.buttons) b = menu.pageButtons[0][b.id];
  }
};

}  // namespace

TEST(MenuEmulator, StartSelectsTheDefaultButtonAndKeysMoveTheSelection) {
  Grid m;
  m.emu->start();
  EXPECT_EQ(m.regs.psr[10], 0u);
  EXPECT_EQ(m.view->page().pixel(735, 415), kGreenPx);
  EXPECT_TRUE(m.emu->userTimerOn);

  m.emu->move(NavKey::Right);
  EXPECT_EQ(m.regs.psr[10], 1u);
  EXPECT_EQ(m.view->page().pixel(735, 415), kRedPx);
  EXPECT_EQ(m.view->page().pixel(855, 415), kGreenPx);
  m.emu->move(NavKey::Down);
  EXPECT_EQ(m.regs.psr[10], 3u);

  // A neighbour that is the button itself: nothing changes, nothing is redrawn.
  m.view->takeFrames();
  const Image before = m.view->page();
  m.emu->move(NavKey::Down);
  m.emu->move(NavKey::Right);
  EXPECT_EQ(m.regs.psr[10], 3u);
  EXPECT_EQ(m.view->page(), before);

  // "Sel": activated picture, the program runs, the selected state comes back.
  m.emu->select();
  EXPECT_EQ(m.regs.gpr[3], 13u);
  EXPECT_EQ(m.view->page().pixel(855, 495), kGreenPx);
  auto ev = m.emu->takeEvents();
  ASSERT_FALSE(ev.empty());
  EXPECT_EQ(ev.back(), (EmulatorEvent{EmulatorEvent::Kind::RunButton, 3, {}}));
}

TEST(MenuEmulator, NavigationWithoutSelectionAndToMissingButtons) {
  Grid m;
  m.regs.psr[10] = 0xFFFF;
  m.emu->move(NavKey::Up);
  m.emu->select();
  EXPECT_EQ(m.regs.psr[10], 0xFFFFu);
  EXPECT_TRUE(m.emu->events().empty());
  // A neighbour id naming no button: PSR 10 takes it, nothing is drawn selected.
  m.btn(0).right = 40;
  m.regs.psr[10] = 0;
  m.emu->move(NavKey::Right);
  EXPECT_EQ(m.regs.psr[10], 40u);
  m.emu->move(NavKey::Left);  // beyond the list: ignored
  EXPECT_EQ(m.regs.psr[10], 40u);
}

TEST(MenuEmulator, AutoActionNeighbourRunsAtOnceWithoutBeingSelected) {
  Grid m;
  m.btn(1).autoAction = 1;
  m.emu->start();
  m.emu->move(NavKey::Right);
  EXPECT_EQ(m.regs.psr[10], 1u);
  EXPECT_EQ(m.regs.gpr[1], 11u);
  EXPECT_EQ(m.view->page().pixel(855, 415), kRedPx);  // not drawn selected
}

TEST(MenuEmulator, StartWithoutDefaultSelectionRunsAutoActionDefaultsOnly) {
  Grid m;
  m.page0().defaultSelected = 0xFFFF;
  // BOG 0's default (button 0) has auto-action; BOG 1 names button 0 too, which is
  // not among its buttons: it must not run button 0 a second time.
  m.btn(0).autoAction = 1;
  m.btn(0).commands = {addGpr(0, 1)};
  m.syncBogs();
  m.page0().bogs[1].defaultValid = 0;
  m.page0().bogs[2].defaultValid = 0xFFFF;
  m.finish();
  m.emu->start();
  EXPECT_EQ(m.regs.gpr[0], 1u);
  EXPECT_EQ(m.regs.psr[10], 0xFFFFu);
  EXPECT_EQ(m.view->page().pixel(735, 415), kRedPx);
}

TEST(MenuEmulator, UserTimeOutActivatesTheDefaultOrTheSelectedButton) {
  Grid m;
  m.menu.ics.userTimeout = 90 * 2500;
  m.page0().defaultActivated = 2;
  m.emu->start();
  EXPECT_EQ(m.emu->userTimeoutMs, 2500u);
  m.emu->userTimeout();
  EXPECT_EQ(m.regs.psr[10], 2u);
  EXPECT_EQ(m.regs.gpr[2], 12u);
  EXPECT_EQ(m.view->page().pixel(735, 495), kGreenPx);  // selected again afterwards
  EXPECT_EQ(m.view->page().pixel(735, 415), kRedPx);

  // 0xFFFE: whichever button is selected at the time-out is activated.
  Grid n;
  n.page0().defaultActivated = 0xFFFE;
  n.emu->start();
  n.emu->move(NavKey::Right);
  n.emu->userTimeout();
  EXPECT_EQ(n.regs.gpr[1], 11u);
  EXPECT_EQ(n.regs.gpr[0], 0u);

  // A default activated button that is not shown does nothing.
  Grid o;
  o.page0().defaultActivated = 3;
  o.emu->start();
  o.view->states()[3].shown = 0;
  o.emu->userTimeout();
  EXPECT_EQ(o.regs.gpr[3], 0u);
  EXPECT_EQ(o.regs.psr[10], 0u);
}

TEST(MenuEmulator, HoverFollowsNeighboursInOrderUpperLowerRightLeft) {
  Grid m;
  m.emu->start();
  // Over a non-neighbour (button 3, diagonal): nothing.
  EXPECT_EQ(m.emu->mouseMove(900, 510), CursorShape::Arrow);
  EXPECT_EQ(m.regs.psr[10], 0u);
  // Inside the selected button's hot area: the hand cursor.
  EXPECT_EQ(m.emu->mouseMove(780, 430), CursorShape::Hand);
  // Within 5 pixels of the right neighbour's edge: outside its hot area.
  m.emu->mouseMove(852, 430);
  EXPECT_EQ(m.regs.psr[10], 0u);
  m.emu->mouseMove(860, 430);
  EXPECT_EQ(m.regs.psr[10], 1u);
  // Left neighbour.
  m.emu->mouseMove(760, 430);
  EXPECT_EQ(m.regs.psr[10], 0u);

  // Each test uses the selection the earlier ones left: button 0's lower neighbour is
  // 2, whose right neighbour is 3; a position in both 2's and 3's hot areas goes
  // down first, then right.
  m.btn(3).x = 760;  // overlap button 2 (730..829) and button 3 (760..859)
  m.btn(3).left = 3;
  m.emu->mouseMove(790, 510);
  EXPECT_EQ(m.regs.psr[10], 3u);

  // The upper test comes before the left one: from 3, upper is 1 and left is 2; a
  // position inside both 1 and 2 ends on 1.
  Grid n;
  n.emu->start();
  n.regs.psr[10] = 3;
  n.btn(1).y = 470;  // button 1 now overlaps the row of button 2 (490..539)
  n.btn(1).x = 760;
  n.btn(1).left = 1;
  n.btn(1).lower = 1;
  n.btn(1).right = 1;
  n.emu->mouseMove(790, 505);
  EXPECT_EQ(n.regs.psr[10], 1u);
}

TEST(MenuEmulator, MouseInFitModeMapsToPageAndLeftPressActivates) {
  Grid m;
  m.options.fullScreen = true;
  m.emu->fit = fitToWindow(962, 542);  // half size
  m.emu->start();
  m.emu->leftPress(100, 100);  // page (200, 200): outside
  EXPECT_EQ(m.regs.gpr[0], 0u);
  m.emu->leftPress(365, 205);  // page (730, 410): the corner is inside
  EXPECT_EQ(m.regs.gpr[0], 10u);
  m.emu->mouseMove(430, 215);  // page (860, 430): button 1's hot area
  EXPECT_EQ(m.regs.psr[10], 1u);
}

TEST(MenuEmulator, DragOnTheGridAndAtTheEdges) {
  Grid m;
  m.options.gridSize = 15;
  m.emu->start();
  m.regs.psr[10] = 0xFFFF;  // drag a button in its normal state
  ASSERT_EQ(m.emu->rightPress(1500, 800), CursorShape::Arrow);  // no button there
  ASSERT_FALSE(m.emu->dragging());
  ASSERT_EQ(m.emu->rightPress(860, 420), CursorShape::Move);  // button 1
  DragKeys grid{false, true, true, false};
  // From 860 to 864: ((864 + 5) div 15) x 15 - ((860 + 5) div 15) x 15 = 855 - 855 = 0;
  // then to 866: 870 - 855 = 15.
  m.emu->mouseMove(864, 420, grid);
  EXPECT_EQ(m.btn(1).x, 850);
  EXPECT_EQ(m.emu->dragStatusLine(), "[GRID] Button: 0001   X: 850 Y: 410");
  m.emu->mouseMove(866, 420, grid);
  EXPECT_EQ(m.btn(1).x, 865);
  EXPECT_EQ(m.page0().bogs[1].buttons[0].x, 865);  // written back into the BOG
  EXPECT_EQ(m.view->page().pixel(866, 415), kRedPx);
  EXPECT_EQ(m.view->page().pixel(955, 415), kRedPx);
  m.emu->rightRelease();

  // The example of the grid arithmetic: from raw x 100 to 112 nothing, to 116 15.
  Grid g;
  g.options.gridSize = 15;
  g.btn(0).x = 90;
  g.syncBogs();
  g.finish();
  g.emu->start();
  ASSERT_EQ(g.emu->rightPress(100, 420), CursorShape::Move);
  g.emu->mouseMove(112, 420, grid);
  EXPECT_EQ(g.btn(0).x, 90);
  g.emu->mouseMove(116, 420, grid);
  EXPECT_EQ(g.btn(0).x, 105);
}

TEST(MenuEmulator, DragModesRefusedEdgeAndOverlap) {
  Grid m;
  m.emu->start();
  m.regs.psr[10] = 0xFFFF;
  ASSERT_EQ(m.emu->rightPress(860, 420), CursorShape::Move);
  // Shift doubles: 5 pixels become 10 in both directions.
  m.emu->mouseMove(865, 425, DragKeys{true, false, false, false});
  EXPECT_EQ(m.btn(1).x, 860);
  EXPECT_EQ(m.btn(1).y, 420);
  EXPECT_EQ(m.emu->dragStatusLine(), "[2x] Button: 0001   X: 860 Y: 420");
  // Alt: vertical only; Ctrl: horizontal only.
  m.emu->mouseMove(875, 430, DragKeys{false, true, false, false});
  EXPECT_EQ(m.btn(1).x, 860);
  EXPECT_EQ(m.btn(1).y, 425);
  m.emu->mouseMove(880, 440, DragKeys{false, false, true, false});
  EXPECT_EQ(m.btn(1).x, 865);
  EXPECT_EQ(m.btn(1).y, 425);
  // Shift with another mouse button held is free movement.
  m.emu->mouseMove(881, 441, DragKeys{true, false, false, true});
  EXPECT_EQ(m.btn(1).x, 866);
  EXPECT_EQ(m.emu->dragStatusLine(), "Button: 0001   X: 866 Y: 426");

  // Right edge: a move that would put the right edge at 1920 is refused
  // horizontally, the vertical part still applies.
  m.emu->mouseMove(881 + (1920 - 100 - 866), 451);
  EXPECT_EQ(m.btn(1).x, 866);
  EXPECT_EQ(m.btn(1).y, 436);
  m.emu->mouseMove(881 + (1920 - 100 - 866) - 1, 451);  // right edge at 1919
  EXPECT_EQ(m.btn(1).x, 1819);
  m.emu->rightRelease();

  // Overlap: moving button 2 onto button 3 is refused in both directions.
  Grid o;
  o.emu->start();
  o.regs.psr[10] = 0xFFFF;
  ASSERT_EQ(o.emu->rightPress(740, 500), CursorShape::Move);
  o.emu->mouseMove(840, 505);  // would cover 840..939 at y 495: overlaps 3
  EXPECT_EQ(o.btn(2).x, 730);
  EXPECT_EQ(o.btn(2).y, 490);
  o.emu->mouseMove(740, 510);  // straight down: free
  EXPECT_EQ(o.btn(2).y, 500);
  o.emu->mouseLeave();
  EXPECT_FALSE(o.emu->dragging());
}

TEST(MenuEmulator, ProgramsChangePagesAndButtonsThroughTheInterpreter) {
  Grid m;
  // Page 1: one button (id 0) drawn blue-normal at (1000, 600); page 0's out-effects
  // show one effect.
  m.addSolidObject(3, 60, 30, kCyan);
  m.bog(1, 0).defaultValid = 0;
  m.addButton(1, 0, makeButton(0, 1000, 600, 3, 3, 3));
  igs::EffectSequence& out = m.page0().effects[1];
  out.numWindows = 1;
  out.windows[0] = igs::EffectWindow{0, 0, 0, 100, 100};
  igs::Effect e;
  e.duration = 9000;
  out.effects.push_back(e);
  out.numEffects = 1;
  m.btn(0).commands = {setButtonPage(0, 1)};
  m.syncBogs();
  m.finish();
  m.emu->start();
  m.emu->select();
  EXPECT_EQ(m.regs.psr[11], 1u);
  EXPECT_EQ(m.regs.psr[10], 0u);
  EXPECT_EQ(m.view->pageChoice(), 1);
  EXPECT_EQ(m.view->page().pixel(1005, 605), (Rgba{0, 255, 255, 255}));
  EXPECT_EQ(m.view->page().pixel(735, 415), kNavy);  // page 0's buttons are gone
  bool shown = false, effect = false;
  for (const auto& ev : m.emu->takeEvents()) shown |= ev == EmulatorEvent{EmulatorEvent::Kind::PageShown, 1, {}};
  for (const auto& f : m.view->takeFrames()) effect |= f.status.rfind("Effect: 0  duration: 100ms", 0) == 0;
  EXPECT_TRUE(shown);
  EXPECT_TRUE(effect);

  // Disable and enable on the shown page.
  Grid n;
  n.btn(0).commands = {disableButton(1), enableButton(3)};
  n.syncBogs();
  n.finish();
  n.emu->start();
  n.view->states()[3].shown = 0;
  n.view->renderPage();
  n.emu->select();
  EXPECT_EQ(n.view->states()[1].shown, 0);
  EXPECT_EQ(n.view->page().pixel(855, 415), kNavy);
  EXPECT_EQ(n.view->states()[3].shown, 1);
  EXPECT_EQ(n.view->page().pixel(855, 495), kRedPx);
}

TEST(MenuEmulator, TracedProgramPausesAndStartContinuesIt) {
  Grid m;
  m.btn(0).commands = {moveGpr(0, 10), moveGpr(1, 11)};
  m.emu->start();
  m.interp.traceBox = true;
  m.emu->select();  // a traced run starts at line -1: nothing executed yet
  EXPECT_EQ(m.regs.gpr[0], 0u);
  EXPECT_EQ(m.interp.state(), hdmv::RunState::Paused);
  EXPECT_EQ(m.emu->runPanelButton, 0);
  m.emu->start();
  EXPECT_EQ(m.regs.gpr[0], 10u);
  EXPECT_EQ(m.regs.gpr[1], 0u);
  m.emu->start();
  EXPECT_EQ(m.regs.gpr[1], 11u);
  EXPECT_EQ(m.interp.state(), hdmv::RunState::Idle);
}

TEST(MenuEmulator, EndlessProgramIsPausedAfterTheStepBudget) {
  Grid m;
  m.btn(0).commands = {addGpr(0, 1), hdmv::Command{0x20810000, 0, 0}};  // GoTo 0
  m.emu->stepBudget = 1000;
  m.emu->start();
  m.emu->select();
  EXPECT_EQ(m.regs.gpr[0], 500u);
  EXPECT_EQ(m.interp.state(), hdmv::RunState::Paused);
  bool paused = false;
  for (const auto& e : m.emu->takeEvents()) paused |= e.kind == EmulatorEvent::Kind::Paused;
  EXPECT_TRUE(paused);
}

TEST(MenuEmulator, StartSetsThePageRegisterAndDragsMoveButtonsOfTheShownPage) {
  // Two pages with a button 0 each at different places; the second page is shown
  // while PSR 11 still names the first one.
  Grid m;
  m.bog(1, 0).defaultValid = 0;
  m.addButton(1, 0, makeButton(0, 200, 200, 0, 1, 2));
  m.menu.ics.pages[1].defaultSelected = 0;
  m.finish();
  m.regs.psr[11] = 0;
  m.view->selectPage(1);
  m.emu->start();
  EXPECT_EQ(m.regs.psr[11], 1u);

  ASSERT_EQ(m.emu->rightPress(210, 210), CursorShape::Move);
  m.emu->mouseMove(240, 230);
  m.emu->rightRelease();
  EXPECT_EQ(m.menu.pageButtons[1][0].x, 230);
  EXPECT_EQ(m.menu.pageButtons[1][0].y, 220);
  EXPECT_EQ(m.menu.ics.pages[1].bogs[0].buttons[0].x, 230);
  // The first page's button 0 stays where it was.
  EXPECT_EQ(m.menu.pageButtons[0][0].x, 730);
  EXPECT_EQ(m.menu.pageButtons[0][0].y, 410);
  EXPECT_EQ(m.menu.ics.pages[0].bogs[0].buttons[0].x, 730);
}

TEST(MenuEmulator, AnAutoActionLoopThroughSetButtonPageDrawsThePageOnlyWhenItPauses) {
  // Each drawing of page 0 plays its (empty) in-effect, which shows as a frame.
  Grid m;
  m.options.showInEffects = true;
  m.page0().effects[0].effects.resize(1);
  m.page0().effects[0].numEffects = 1;
  // Button 0 is an auto-action button whose program counts in GPR 7 and selects
  // button 0 on page 0 again, which starts the program again, for ever.
  igs::Button& b0 = m.page0().bogs[0].buttons[0];
  b0.autoAction = 1;
  b0.commands = {addGpr(7, 1), setButtonPage(0, 0)};
  b0.numCommands = 2;
  m.finish();
  m.view->renderPage();
  const size_t perDraw = m.view->takeFrames().size();
  ASSERT_GE(perDraw, 1u);
  m.emu->stepBudget = 100;
  m.emu->start();  // draws the page, then runs the default button's program
  EXPECT_EQ(m.regs.gpr[7], 50u);
  const auto events = m.emu->takeEvents();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().kind, EmulatorEvent::Kind::Paused);
  // The start's own drawing and one when the program paused; not one per loop.
  EXPECT_EQ(m.view->takeFrames().size(), 2 * perDraw);
  EXPECT_EQ(m.view->page().pixel(735, 415), kGreenPx);  // button 0 drawn selected
}

TEST(MenuEmulator, MenuOpenedResetsEverythingAndStartTakesThePage) {
  Grid m;
  m.bog(1, 0).defaultValid = 0;
  m.addButton(1, 0, makeButton(0, 200, 200, 0, 1, 2, {moveGpr(3, 33)}));
  m.menu.ics.pages[1].defaultSelected = 0;
  m.finish();
  const Image blank = m.view->page();

  // Start on the second page: it is shown, PSR 11 names it, its button is selected.
  m.emu->start(1);
  EXPECT_EQ(m.view->pageChoice(), 1);
  EXPECT_EQ(m.regs.psr[11], 1u);
  EXPECT_EQ(m.view->page().pixel(205, 205), kGreenPx);
  m.emu->select();
  EXPECT_EQ(m.regs.gpr[3], 33u);
  m.regs.psr[10] = 0;

  // Opening the menu again: registers as a player starts, page 0, nothing drawn.
  m.emu->menuOpened();
  EXPECT_EQ(m.regs.gpr[3], 0u);
  EXPECT_EQ(m.regs.psr[10], 0xFFFFu);
  EXPECT_EQ(m.regs.psr[11], 0u);
  EXPECT_EQ(m.view->pageChoice(), 0);
  EXPECT_FALSE(m.emu->userTimerOn);
  EXPECT_EQ(m.emu->runPanelButton, -1);
  EXPECT_TRUE(m.emu->events().empty());
  EXPECT_EQ(m.view->page(), blank);
  // A page the menu lacks opens page 0; a given page is taken.
  m.emu->menuOpened({}, 9);
  EXPECT_EQ(m.view->pageChoice(), 0);
  m.emu->menuOpened({}, 1);
  EXPECT_EQ(m.view->pageChoice(), 1);
  EXPECT_EQ(m.regs.psr[11], 1u);
  // Start on the current page after opening draws it with its default selection.
  m.emu->start();
  EXPECT_EQ(m.view->page().pixel(205, 205), kGreenPx);
  EXPECT_EQ(m.view->page().pixel(735, 415), blank.pixel(735, 415));
}

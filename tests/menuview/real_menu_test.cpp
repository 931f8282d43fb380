// The emulator over the interactive compositions of real discs (pages, BOGs,
// neighbours and button programs as authored; no objects or palettes): every move
// follows the authored neighbour, and activation keeps the registers and the page
// view consistent.
#include <gtest/gtest.h>

#include "igs/reader.h"
#include "support/test_support.h"
#include "synthetic_menu.h"

using namespace morvex;
using namespace morvex::menuview;

namespace {

// One composition segment and an end segment behind menu-file unit headers.
core::Bytes frameComposition(const std::vector<uint8_t>& payload) {
  core::Bytes b = {'I', 'G', 0, 0, 0, 0, 0, 0, 0, 0, 0x18, uint8_t(payload.size() >> 8), uint8_t(payload.size())};
  b.insert(b.end(), payload.begin(), payload.end());
  const uint8_t end[] = {'I', 'G', 0, 0, 0, 0, 0, 0, 0, 0, 0x80, 0, 0};
  b.insert(b.end(), std::begin(end), std::end(end));
  return b;
}

}  // namespace

TEST(RealMenus, NavigationFollowsAuthoredNeighboursOnEveryPage) {
  MORVEX_REQUIRE_FIXTURES();
  const auto files = morvex::test::fixtureFiles("ics_menu.bin");
  if (files.empty()) MORVEX_SKIP_OR_FAIL("no ics_menu.bin among the fixtures");
  size_t checkedMoves = 0;
  for (const auto& f : files) {
    SCOPED_TRACE(f.string());
    menuview::test::SyntheticMenu m;
    const core::Bytes framed = frameComposition(morvex::test::readFile(f));
    ASSERT_TRUE(igs::readMenu(std::span<const uint8_t>(framed), "test.mnu", m.menu, m.log).usable());
    ASSERT_FALSE(m.menu.ics.pages.empty());
    for (size_t p = 0; p < m.menu.ics.pages.size(); ++p) {
      hdmv::resetRegisters(m.regs, hdmv::RegisterOptions{});
      m.view->selectPage(int(p));
      m.regs.psr[11] = uint32_t(p);
      m.emu->start();
      const NavKey keys[] = {NavKey::Down, NavKey::Right, NavKey::Down, NavKey::Left, NavKey::Up,
                             NavKey::Right, NavKey::Right, NavKey::Down, NavKey::Up, NavKey::Left};
      for (int round = 0; round < 3; ++round)
        for (NavKey k : keys) {
          if (uint32_t(m.view->pageChoice()) != p) break;  // an auto-action button left the page
          const uint32_t before = m.regs.psr[10];
          const igs::Button* b = m.view->button(before);
          if (!b) {
            m.emu->move(k);
            EXPECT_EQ(m.regs.psr[10], before);  // nothing selected: keys do nothing
            continue;
          }
          const uint16_t n = k == NavKey::Up     ? b->upper
                             : k == NavKey::Down ? b->lower
                             : k == NavKey::Left ? b->left
                                                 : b->right;
          const igs::Button* nb = m.view->button(n);
          const bool runs = nb && nb->autoAction;
          m.emu->move(k);
          if (runs) continue;  // its program may move the selection or the page on
          EXPECT_EQ(m.regs.psr[10], n) << "page " << p << " from " << before;
          ++checkedMoves;
        }
      m.emu->animationTick();
      m.emu->select();
      m.view->takeFrames();
      // Whatever the program did, the page view shows a page of the menu with its states.
      ASSERT_LT(size_t(m.view->pageChoice()), m.menu.ics.pages.size());
      EXPECT_EQ(m.view->states().size(), m.menu.pageButtons[size_t(m.view->pageChoice())].size());
      EXPECT_LT(m.regs.psr[11], m.menu.ics.pages.size());
    }
  }
  EXPECT_GT(checkedMoves, 100u);
}

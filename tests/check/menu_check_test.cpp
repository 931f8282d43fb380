// Menu checks on the demo disc's menu: each fault put into the loaded menu adds exactly
// its own finding with its code and place.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "check/menu_check.h"
#include "igs/extract.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace morvex;
using core::Severity;

#ifdef MORVEX_MAKE_DEMO_PATH
namespace {

class MenuCheck : public ::testing::Test {
protected:
  void SetUp() override {
    const fs::path bdmv = tmp / "demo" / "BDMV";
    const std::string cmd = std::string("'") + MORVEX_MAKE_DEMO_PATH + "' '" + bdmv.string() + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    core::NullLog log;
    ASSERT_TRUE(igs::loadMenuSource(bdmv / "STREAM" / "00010.m2ts", menu, log, 0x1400).complete());
    ASSERT_FALSE(menu.ics.pages.empty());
    ASSERT_FALSE(menu.ics.pages[0].bogs.empty());
    baseline = run(menu);
  }
  std::vector<check::Finding> run(const igs::Menu& m) {
    std::vector<check::Finding> out;
    check::DiscFacts facts;
    // As on the demo disc: six movie objects, four titles.
    facts.objects = 6;
    facts.titles = 4;
    check::checkMenu(out, "menu", m, facts);
    return out;
  }
  // The findings a changed copy of the menu adds.
  std::vector<check::Finding> added(const std::function<void(igs::Menu&)>& change) {
    igs::Menu m = menu;
    change(m);
    std::vector<check::Finding> out;
    for (const auto& f : run(m))
      if (std::find(baseline.begin(), baseline.end(), f) == baseline.end()) out.push_back(f);
    return out;
  }
  igs::Button& firstButton(igs::Menu& m) { return m.ics.pages[0].bogs[0].buttons.at(0); }
  test::TempDir tmp;
  igs::Menu menu;
  std::vector<check::Finding> baseline;
};

void expectOne(const std::vector<check::Finding>& v, Severity s, const std::string& code, const std::string& location) {
  ASSERT_EQ(v.size(), 1u) << (v.empty() ? "nothing" : v[0].code + " and more");
  EXPECT_EQ(v[0].severity, s);
  EXPECT_EQ(v[0].code, code);
  EXPECT_EQ(v[0].location, location);
}

TEST_F(MenuCheck, DemoMenuIsCleanAndEachFaultIsReportedAlone) {
  // The demo menu is sound: its buttons start titles, whose movie objects play the
  // playlists, and the checker finds nothing in it.
  for (const auto& f : baseline) ADD_FAILURE() << f.code << " at " << f.location << ": " << f.message;
  const std::string b0 = "page " + std::to_string(menu.ics.pages[0].id) + ", button " +
                         std::to_string(menu.ics.pages[0].bogs[0].buttons.at(0).id);
  expectOne(added([&](igs::Menu& m) { firstButton(m).lower = 999; }), Severity::Error,
            "menu.button.neighbour-missing", b0);
  expectOne(added([&](igs::Menu& m) { m.ics.pages[0].defaultSelected = 998; }), Severity::Error,
            "menu.page.default-selected-missing", "page " + std::to_string(menu.ics.pages[0].id));
  expectOne(added([&](igs::Menu& m) { m.ics.pages[0].paletteId = 250; }), Severity::Error,
            "menu.page.palette-missing", "page " + std::to_string(menu.ics.pages[0].id));
  expectOne(added([&](igs::Menu& m) {
              auto& b = firstButton(m);
              b.selectedStart = b.selectedEnd = 4000;
            }),
            Severity::Error, "menu.button.object-missing", b0);
  expectOne(added([&](igs::Menu& m) { firstButton(m).x = uint16_t(m.ics.width - 1); }), Severity::Error,
            "menu.button.outside-frame", b0);
  // Button programs get the command checks, with the button context's own rules.
  expectOne(added([&](igs::Menu& m) { firstButton(m).commands.push_back({0x20810000u, 77, 0}); }), Severity::Error,
            "button.command.goto-out-of-range", b0 + ", line " + std::to_string(firstButton(menu).commands.size()));
  expectOne(added([&](igs::Menu& m) { firstButton(m).commands.push_back({0x42C10000u, 1, 0}); }), Severity::Error,
            "button.command.forbidden", b0 + ", line " + std::to_string(firstButton(menu).commands.size()));
}

TEST_F(MenuCheck, ButtonsOfTwoBogsShownOverOneAnotherAreAWarning) {
  auto& page = menu.ics.pages[0];
  if (page.bogs.size() < 2) GTEST_SKIP() << "the demo menu's first page has one BOG";
  auto v = added([&](igs::Menu& m) {
    auto& p = m.ics.pages[0];
    auto& a = p.bogs[0].buttons.at(0);
    auto& b = p.bogs[1].buttons.at(0);
    b.x = a.x;
    b.y = a.y;
  });
  ASSERT_EQ(v.size(), 1u);
  EXPECT_EQ(v[0].code, "menu.button.overlap");
  EXPECT_EQ(v[0].severity, Severity::Warning);
}

}  // namespace
#endif

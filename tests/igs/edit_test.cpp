// Structure editing: new menus, insertion limits, deletion with renumbering, and the
// acceptance rules of the page fields and grids.
#include <gtest/gtest.h>

#include "igs/edit.h"
#include "igs/reader.h"
#include "igs/writer.h"
#include "igs_test_util.h"

namespace morvex::igs {
namespace {

// A menu of one page with one BOG of buttons 0..n-1.
Menu pageWithButtons(int n) {
  Menu m;
  newMenu(m);
  for (int i = 1; i < n; ++i) EXPECT_TRUE(createButton(m, 0, 0));
  return m;
}

Button& btn(Menu& m, size_t i, size_t bog = 0) { return m.ics.pages[0].bogs[bog].buttons[i]; }

TEST(MenuEdit, NewMenuAndInsertionLimits) {
  Menu m;
  newMenu(m);
  EXPECT_EQ(m.ics.width, 1920);
  EXPECT_EQ(m.ics.height, 1080);
  EXPECT_EQ(m.ics.model, 3);
  EXPECT_EQ(m.ics.dataLength, 67u);
  EXPECT_EQ(m.inTime, 180000u);
  EXPECT_EQ(inTimeText(m.inTime), "0:00:02.000");
  ASSERT_EQ(m.ics.pages.size(), 1u);
  const Page& p = m.ics.pages[0];
  EXPECT_EQ(p.animationCode, 1);
  EXPECT_EQ(p.defaultSelected, kNoButton);
  ASSERT_EQ(p.bogs.size(), 1u);
  EXPECT_EQ(p.bogs[0].defaultValid, kNoButton);
  ASSERT_EQ(p.bogs[0].buttons.size(), 1u);
  const Button& b = p.bogs[0].buttons[0];
  EXPECT_EQ(b.id, 0);
  EXPECT_EQ(b.numericValue, 0xFFFF);
  EXPECT_EQ(b.upper, 0);
  EXPECT_EQ(b.normalStart, kNoObject);
  EXPECT_EQ(b.selectedSound, 255);
  // Page header, empty effects, page fields, one BOG of one button without commands.
  EXPECT_EQ(serializePages(m.ics.pages).size(), 59u);

  // Buttons take the next id of the page, across BOGs; a BOG holds 32.
  ASSERT_TRUE(createBog(m, 0));
  EXPECT_EQ(m.ics.pages[0].bogs[1].buttons[0].id, 1);
  for (int i = 1; i < 32; ++i) ASSERT_TRUE(createButton(m, 0, 1));
  EXPECT_FALSE(createButton(m, 0, 1));
  EXPECT_EQ(m.ics.pages[0].bogs[1].buttons.size(), 32u);
  EXPECT_EQ(m.pageButtons[0].size(), 33u);
  EXPECT_EQ(m.pageButtons[0][32].id, 32);
  // Pages up to 255, each with its index as id.
  while (createPage(m)) {
  }
  EXPECT_EQ(m.ics.pages.size(), 255u);
  EXPECT_EQ(m.ics.pages[254].id, 254);
  EXPECT_FALSE(createBog(m, 255));
}

TEST(MenuEdit, DeletingAButtonRenumbersThePage) {
  Menu m = pageWithButtons(3);
  btn(m, 0).right = 1;
  btn(m, 1).right = 2;
  btn(m, 1).upper = 1;  // names itself
  btn(m, 0).upper = 1;
  btn(m, 1).left = 2;
  btn(m, 0).left = 1;
  btn(m, 2).lower = 1;
  btn(m, 1).lower = 0;
  m.ics.pages[0].bogs[0].defaultValid = 2;
  btn(m, 0).commands = {{0x31800004, 1, 0}, {0x31800004, 3, 0}, {0x51800003, 2, 1}, {0x31800005, 0, 0},
                        {0x20000000, 1, 0}};
  ASSERT_TRUE(eraseButton(m, 0, 0, 1));
  ASSERT_EQ(m.ics.pages[0].bogs[0].buttons.size(), 2u);
  EXPECT_EQ(btn(m, 1).id, 1);                 // button 2 became 1
  EXPECT_EQ(btn(m, 0).right, 1);              // 1 -> deleted button's right (2) -> 1
  EXPECT_EQ(btn(m, 0).upper, 0);              // deleted button named itself: own id
  EXPECT_EQ(btn(m, 0).left, 1);               // deleted button's left (2) renumbered
  EXPECT_EQ(btn(m, 1).lower, 0);              // deleted button's lower was 0
  EXPECT_EQ(m.ics.pages[0].bogs[0].defaultValid, 1);
  const auto& c = btn(m, 0).commands;
  EXPECT_EQ(c[0], (hdmv::Command{0, 0, 0}));          // EnableButton 1: removed
  EXPECT_EQ(c[1], (hdmv::Command{0x31800004, 2, 0}));  // EnableButton 3 -> 2
  EXPECT_EQ(c[2], (hdmv::Command{0x51800003, 1, 1}));  // SetButtonPage 2 -> 1
  EXPECT_EQ(c[3], (hdmv::Command{0x31800005, 0, 0}));  // below: unchanged
  EXPECT_EQ(c[4], (hdmv::Command{0x20000000, 1, 0}));  // not a button command
  ASSERT_EQ(m.pageButtons[0].size(), 2u);
  EXPECT_EQ(m.pageButtons[0][1].right, btn(m, 1).right);
  EXPECT_FALSE(canDeleteButton(Menu{}, 0, 0));
}

TEST(MenuEdit, DeletingBogsAndPages) {
  Menu m = pageWithButtons(2);
  ASSERT_TRUE(createBog(m, 0));
  for (int i = 0; i < 3; ++i) createButton(m, 0, 1);  // BOG 1: ids 2..5
  ASSERT_TRUE(createBog(m, 0));                        // BOG 2: id 6
  m.ics.pages[0].bogs[2].defaultValid = 6;
  ASSERT_TRUE(eraseBog(m, 0, 1));
  ASSERT_EQ(m.ics.pages[0].bogs.size(), 2u);
  EXPECT_EQ(m.ics.pages[0].bogs[1].buttons[0].id, 2);
  EXPECT_EQ(m.ics.pages[0].bogs[1].defaultValid, 2);
  EXPECT_EQ(m.pageButtons[0].size(), 3u);
  ASSERT_TRUE(eraseBog(m, 0, 1));
  EXPECT_FALSE(eraseBog(m, 0, 0));  // a page keeps one BOG

  ASSERT_TRUE(createPage(m));
  ASSERT_TRUE(createPage(m));
  m.ics.pages[2].uopHigh = 0xABCD;
  ASSERT_TRUE(erasePage(m, 1));
  ASSERT_EQ(m.ics.pages.size(), 2u);
  EXPECT_EQ(m.ics.pages[1].uopHigh, 0xABCDu);
  EXPECT_EQ(m.ics.pages[1].id, 2);  // page ids are not renumbered
  EXPECT_EQ(m.pageButtons.size(), 2u);
  EXPECT_EQ(pageAfterDelete(1), 0u);
  EXPECT_EQ(pageAfterDelete(0), 0u);
  ASSERT_TRUE(erasePage(m, 0));
  EXPECT_FALSE(erasePage(m, 0));
}

TEST(MenuEdit, ButtonCellsFollowTheirRules) {
  Menu m = pageWithButtons(3);
  m.objects.resize(8);
  EXPECT_EQ(buttonRowTexts(btn(m, 0)),
            (std::vector<std::string>{"0000", "FFFF", "No", "0", "0", "0000", "0000", "0000", "0000", "FFFF", "FFFF",
                                      "No", "FF", "FFFF", "FFFF", "No", "FF", "FFFF", "FFFF", "0"}));
  // Start sets the end when the end is unset or below it.
  EXPECT_TRUE(editButtonCell(m, 0, 0, 0, ButtonField::NormalStart, "5", 0));
  EXPECT_EQ(btn(m, 0).normalEnd, 5);
  EXPECT_TRUE(editButtonCell(m, 0, 0, 0, ButtonField::NormalEnd, "7", 0));
  EXPECT_TRUE(editButtonCell(m, 0, 0, 0, ButtonField::NormalStart, "6", 0));
  EXPECT_EQ(btn(m, 0).normalEnd, 7);
  EXPECT_FALSE(editButtonCell(m, 0, 0, 0, ButtonField::NormalStart, "8", 0));  // not below the object count
  EXPECT_EQ(btn(m, 0).normalStart, 6);
  // Repeat only when start and end differ.
  EXPECT_TRUE(editButtonCell(m, 0, 0, 0, ButtonField::NormalRepeat, "Y", 0));
  EXPECT_EQ(btn(m, 0).normalRepeat, 1);
  EXPECT_TRUE(editButtonCell(m, 0, 0, 1, ButtonField::SelectedStart, "3", 0));
  EXPECT_TRUE(editButtonCell(m, 0, 0, 1, ButtonField::SelectedRepeat, "Y", 0));
  EXPECT_EQ(btn(m, 1).selectedRepeat, 0);
  // Blanks, bad numbers and out-of-range values change nothing.
  EXPECT_FALSE(editButtonCell(m, 0, 0, 0, ButtonField::Value, "1 2", 0));
  EXPECT_FALSE(editButtonCell(m, 0, 0, 0, ButtonField::Value, "XYZ", 0));
  EXPECT_TRUE(editButtonCell(m, 0, 0, 0, ButtonField::Value, "00a1", 0));
  EXPECT_EQ(btn(m, 0).numericValue, 0xA1);
  EXPECT_FALSE(editButtonCell(m, 0, 0, 0, ButtonField::X, "1920", 0));
  EXPECT_TRUE(editButtonCell(m, 0, 0, 0, ButtonField::X, "1919", 0));
  EXPECT_FALSE(editButtonCell(m, 0, 0, 0, ButtonField::Y, "1080", 0));
  EXPECT_FALSE(editButtonCell(m, 0, 0, 0, ButtonField::Upper, "3", 0));
  EXPECT_TRUE(editButtonCell(m, 0, 0, 0, ButtonField::Upper, "2", 0));
  EXPECT_TRUE(editButtonCell(m, 0, 0, 0, ButtonField::SelectedSound, "FF", 0));
  EXPECT_FALSE(editButtonCell(m, 0, 0, 0, ButtonField::SelectedSound, "02", 2));
  EXPECT_TRUE(editButtonCell(m, 0, 0, 0, ButtonField::ActivatedSound, "01", 2));
  EXPECT_TRUE(editButtonCell(m, 0, 0, 0, ButtonField::AutoAction, "y", 0));
  EXPECT_EQ(btn(m, 0).autoAction, 1);
  EXPECT_FALSE(editButtonCell(m, 0, 0, 0, ButtonField::Id, "0005", 0));
  // The button-by-id list follows every edit.
  EXPECT_EQ(m.pageButtons[0][0], btn(m, 0));
}

TEST(MenuEdit, BogDefaultsPageFieldsAndTimeouts) {
  Menu m = pageWithButtons(3);
  ButtonOverlapGroup& g = m.ics.pages[0].bogs[0];
  stepBogDefault(m, 0, 0);
  EXPECT_EQ(g.defaultValid, 0);
  stepBogDefault(m, 0, 0);
  EXPECT_EQ(g.defaultValid, 1);
  stepBogDefault(m, 0, 0);
  stepBogDefault(m, 0, 0);
  EXPECT_EQ(g.defaultValid, kNoButton);
  EXPECT_EQ(bogColumnTexts(g), (std::array<std::string, 2>{"FFFF", "3"}));
  EXPECT_FALSE(setBogDefault(m, 0, 0, "0003"));
  EXPECT_TRUE(setBogDefault(m, 0, 0, "0002"));
  EXPECT_TRUE(setBogDefault(m, 0, 0, "FFFF"));

  EXPECT_TRUE(setPageField(m, 0, PageField::Mask1, "8000000F"));
  EXPECT_EQ(pageFieldText(m.ics.pages[0], PageField::Mask1), "8000000F");
  EXPECT_EQ(pageFieldText(m.ics.pages[0], PageField::Mask2), "0");
  EXPECT_FALSE(setPageField(m, 0, PageField::Palette, "00"));  // no palettes yet
  m.palettes.resize(2);
  EXPECT_TRUE(setPageField(m, 0, PageField::Palette, "01"));
  EXPECT_EQ(pageFieldText(m.ics.pages[0], PageField::Palette), "01");
  EXPECT_TRUE(setPageField(m, 0, PageField::DefaultSelected, "0123"));
  EXPECT_EQ(pageFieldText(m.ics.pages[0], PageField::DefaultSelected), "0123");

  core::MemoryLog log;
  EXPECT_TRUE(setUserTimeout(m, "0:01:30", log));
  EXPECT_EQ(m.ics.userTimeout, 90u * 90000);
  EXPECT_EQ(userTimeoutText(m.ics), "0:01:30");
  EXPECT_FALSE(setUserTimeout(m, "0:61:00", log));
  EXPECT_EQ(log.errorText, "'0:61:00' is not a valid time");
  EXPECT_FALSE(setUserTimeout(m, "abc", log));
  EXPECT_EQ(m.ics.userTimeout, 90u * 90000);
}

TEST(MenuEdit, ButtonCommandsAndRefreshKeepTheModelInStep) {
  Menu m = pageWithButtons(3);
  const hdmv::CommandList prog = {hdmv::Command{0x50400001, 5, 77}, hdmv::Command{0x20000000, 0, 0}};
  ASSERT_TRUE(setButtonCommands(m, 0, 0, 2, prog));
  EXPECT_EQ(btn(m, 2).commands, prog);
  EXPECT_EQ(btn(m, 2).numCommands, 2);
  // The emulator's copy (the button-by-id list) has the same program.
  EXPECT_EQ(m.pageButtons[0][2].commands, prog);
  EXPECT_EQ(m.pageButtons[0][2].numCommands, 2);
  EXPECT_FALSE(setButtonCommands(m, 0, 0, 3, prog));
  EXPECT_FALSE(setButtonCommands(m, 1, 0, 0, prog));
  // What a save writes comes back the same.
  core::MemoryLog log;
  Menu back;
  settleMenu(m, log);
  ASSERT_TRUE(readMenu(writeMenu(m, SaveForm::MenuFile), "t.mnu", back, log).usable());
  EXPECT_EQ(back.pageButtons[0][2].commands, prog);

  // Lists changed by hand: one refresh brings counts and the by-id list along.
  Button extra = btn(m, 0);
  extra.id = 7;
  m.ics.pages[0].bogs[0].buttons.push_back(extra);
  m.ics.pages[0].bogs[0].buttons[1].commands.push_back(hdmv::Command{0x20000000, 0, 0});
  m.ics.pages.push_back(m.ics.pages[0]);
  m.objects.emplace_back();
  MenuPictures pictures;
  refreshMenu(m, &pictures);
  EXPECT_EQ(pictures.cache.size(), m.objects.size());
  EXPECT_EQ(m.ics.numPages, 2);
  ASSERT_EQ(m.pageButtons.size(), 2u);
  EXPECT_EQ(m.ics.pages[0].bogs[0].numButtons, 4);
  EXPECT_EQ(m.ics.pages[0].bogs[0].buttons[1].numCommands, 1);
  ASSERT_EQ(m.pageButtons[1].size(), 8u);
  EXPECT_EQ(m.pageButtons[1][7].id, 7);
  EXPECT_EQ(m.pageButtons[1][2].commands, prog);
}

TEST(MenuEdit, EditedMenuSavesAndLoads) {
  Menu m = pageWithButtons(4);
  createPage(m);
  eraseButton(m, 0, 0, 2);
  core::MemoryLog log;
  settleMenu(m, log);
  core::Bytes file = writeMenu(m, SaveForm::MenuFile);
  Menu back;
  ASSERT_TRUE(readMenu(file, "test.mnu", back, log).usable());
  EXPECT_EQ(back.ics.pages, m.ics.pages);
  EXPECT_EQ(back.pageButtons, m.pageButtons);
}

}  // namespace
}  // namespace morvex::igs

// BD-J object reader: a hand-assembled object with every table, the bit fields and
// padding rules, and files that end early or are not BD-J objects.
#include <gtest/gtest.h>

#include "bdj/bdjo.h"
#include "core/binary.h"
#include "core/log.h"

using namespace morvex;
using namespace morvex::bdj;

namespace {

struct AppLayout {
  std::vector<std::pair<std::string, std::string>> names;  // language, name
  int namesLengthOverride = -1;
  uint16_t profileWord = 0x2000;
  uint8_t bindVis = 0x70;
  std::string icon = "icon", base = "00000", classpath = "", initClass = "com.example.Main";
  std::vector<std::string> params = {"a", "bcd"};
};

void padEven(core::ByteWriter& w) {
  if (w.outlen() & 1) w.addbyte(0);
}

void addText(core::ByteWriter& w, const std::string& s) {
  w.addbyte(uint32_t(s.size()));
  w.addstring(s, s.size());
}

// A BD-J object image laid out field by field; start addresses are filled in as the
// tables are placed.
core::Bytes buildBdjo(const AppLayout& app, uint16_t playlistWord = 0x0030) {
  core::ByteWriter w;
  w.addstring("BDJO", 4);
  w.addstring("0200", 4);
  w.addzeros(24 + 16);
  w.addlong(10);  // TerminalInfo
  w.addstring("00001", 5);
  w.addbyte(0x3C);  // HAVi 3, menu call mask, title search mask
  w.addzeros(4);
  w.putlong(uint32_t(w.outlen()), 12);  // AppCacheInfo
  w.addlong(14);
  w.addbyte(1);
  w.addbyte(0);
  w.addbyte(1);
  w.addstring("00000", 5);
  w.addstring("eng", 3);
  w.addzeros(3);
  w.putlong(uint32_t(w.outlen()), 16);  // accessible playlists
  w.addlong(4 + 6 * (playlistWord >> 5));
  w.addword(playlistWord);
  w.addzeros(2);
  for (unsigned i = 0; i < unsigned(playlistWord >> 5); ++i) {
    w.addstring("0000" + std::to_string(i), 5);
    w.addzeros(1);
  }
  w.putlong(uint32_t(w.outlen()), 20);  // application management table
  w.addlong(0);
  w.addbyte(1);
  w.addbyte(0);
  w.addbyte(1);  // control code
  w.addbyte(2);  // type
  w.addlong(0x12345678);
  w.addword(0x4001);
  w.addbyte(0x00);  // descriptor tag
  w.addbyte(0);
  w.addlong(0);
  w.addzeros(4);
  w.addword(app.profileWord);
  for (unsigned i = 0; i < unsigned(app.profileWord >> 12); ++i) {
    w.addword(1 + i);
    w.addbyte(1);
    w.addbyte(0);
    w.addbyte(2 + i);
    w.addbyte(0);
  }
  w.addbyte(5);  // priority
  w.addbyte(app.bindVis);
  size_t namesLen = 0;
  for (auto& [l, n] : app.names) namesLen += 4 + n.size();
  w.addword(app.namesLengthOverride >= 0 ? uint32_t(app.namesLengthOverride) : uint32_t(namesLen));
  for (auto& [l, n] : app.names) {
    w.addstring(l, 3);
    addText(w, n);
  }
  padEven(w);
  addText(w, app.icon);
  padEven(w);
  w.addword(0xABCD);
  addText(w, app.base);
  padEven(w);
  addText(w, app.classpath);
  padEven(w);
  addText(w, app.initClass);
  padEven(w);
  size_t plen = 0;
  for (auto& p : app.params) plen += 1 + p.size();
  w.addbyte(uint32_t(plen));
  for (auto& p : app.params) addText(w, p);
  padEven(w);
  w.putlong(uint32_t(w.outlen()), 24);  // key interest
  w.addlong(0xC0200000);                // Play, Stop, PG TextST
  w.putlong(uint32_t(w.outlen()), 28);  // file access
  w.addword(9);
  w.addstring("/00000/ab", 9);
  return w.take();
}

}  // namespace

TEST(BdjoReader, ReadsEveryTableOfAHandAssembledObject) {
  AppLayout app;
  app.names = {{"eng", "Menu12"}, {"deu", "Mene"}};  // a names block of 18 bytes
  core::MemoryLog log;
  TBDJO b;
  ASSERT_TRUE((readBDJO(buildBdjo(app), "00001.bdjo", b, log)).complete()) << log.text();
  EXPECT_FALSE(log.errorflag);
  EXPECT_EQ(b.TerminalInfo.default_font, "00001");
  EXPECT_EQ(b.TerminalInfo.initial_HAVi_configuration_id, 3);
  EXPECT_TRUE(b.TerminalInfo.menu_call_mask);
  EXPECT_TRUE(b.TerminalInfo.title_search_mask);
  EXPECT_EQ(appCacheRows(b), (GridRows{{"0", "1", "00000", "eng"}}));
  // The playlist word 0x0030: one PlayList, access to all, no autostart.
  EXPECT_TRUE(b.TableOfAccessiblePlayLists.access_to_all);
  EXPECT_FALSE(b.TableOfAccessiblePlayLists.autostart_first_PlayList);
  EXPECT_EQ(playListRows(b), (GridRows{{"0", "00000"}}));

  ASSERT_EQ(b.ApplicationManagementTable.applications.size(), 1u);
  const Tapplication& a = b.ApplicationManagementTable.applications[0];
  EXPECT_EQ(a.binding, 1);
  EXPECT_EQ(a.visibility, 3);
  EXPECT_EQ(a.icon_flags, 0xABCD);
  EXPECT_EQ(applicationRows(b)[0],
            (GridRow{"0", "1", "2", "12345678", "4001", "00", "5", "1", "3", "icon", "00000", "", "com.example.Main", "2",
                     "2", "2"}));
  EXPECT_EQ(profileRows(a), (GridRows{{"1", "0001", "1.0.2"}, {"2", "0002", "1.0.3"}}));
  EXPECT_EQ(nameRows(a), (GridRows{{"1", "eng", "Menu12"}, {"2", "deu", "Mene"}}));
  EXPECT_EQ(parameterRows(a), (GridRows{{"1", "a"}, {"2", "bcd"}}));
  EXPECT_EQ(keyInterestSet(b.key_interest), (std::vector<std::string>{"Play", "Stop", "PG TextST"}));
  EXPECT_EQ(b.directory_paths, "/00000/ab");
}

TEST(BdjoReader, NamesBlockAndOddPositions) {
  // A names block of 10 bytes whose first name takes 11: that one name, then the
  // block is done and the reader goes on after it (position odd -> one padding byte).
  AppLayout app;
  app.names = {{"eng", "Seven77"}};
  app.namesLengthOverride = 10;
  core::MemoryLog log;
  TBDJO b;
  ASSERT_TRUE((readBDJO(buildBdjo(app), "x.bdjo", b, log)).complete());
  const Tapplication& a = b.ApplicationManagementTable.applications.at(0);
  ASSERT_EQ(a.names.size(), 1u);
  EXPECT_EQ(a.names[0].name, "Seven77");
  EXPECT_EQ(a.icon_locator, "icon");
  EXPECT_EQ(a.initial_class_name, "com.example.Main");

  // Texts of odd and even lengths all land right.
  app.icon = "ic";
  app.base = "0000";
  app.classpath = "x";
  app.params = {"pp"};
  ASSERT_TRUE((readBDJO(buildBdjo(app), "y.bdjo", b, log)).complete());
  const Tapplication& c = b.ApplicationManagementTable.applications.at(0);
  EXPECT_EQ(c.icon_locator, "ic");
  EXPECT_EQ(c.base_directory, "0000");
  EXPECT_EQ(c.classpath_extension, "x");
  EXPECT_EQ(parameterRows(c), (GridRows{{"1", "pp"}}));
  EXPECT_EQ(b.directory_paths, "/00000/ab");
}

TEST(BdjoReader, WrongFormatAndShortFiles) {
  AppLayout app;
  app.names = {{"eng", "A"}};
  core::Bytes img = buildBdjo(app);
  core::Bytes wrong = img;
  wrong[7] = '9';
  core::MemoryLog log;
  TBDJO b;
  EXPECT_TRUE((readBDJO(wrong, "w.bdjo", b, log)).refused());
  EXPECT_TRUE(b.ApplicationManagementTable.applications.empty());
  EXPECT_TRUE(b.AppCacheInfo.entries.empty());
  EXPECT_FALSE(log.errorflag);  // no message for a wrong type or version

  // Cut inside the application table: what came before stays.
  const size_t amt = (size_t(img[20]) << 24) | (size_t(img[21]) << 16) | (size_t(img[22]) << 8) | img[23];
  core::Bytes cut(img.begin(), img.begin() + amt + 30);
  core::MemoryLog log2;
  EXPECT_TRUE((readBDJO(cut, "c.bdjo", b, log2)).partial());
  EXPECT_TRUE(log2.errorflag);
  EXPECT_EQ(b.AppCacheInfo.entries.size(), 1u);
  EXPECT_EQ(b.TableOfAccessiblePlayLists.playlists.size(), 1u);
  ASSERT_EQ(b.ApplicationManagementTable.applications.size(), 1u);
  EXPECT_EQ(b.ApplicationManagementTable.applications[0].organization_id, 0x12345678u);

  // Every shorter prefix ends cleanly.
  for (size_t n = 0; n < img.size(); ++n) {
    core::NullLog quiet;
    core::Bytes prefix(img.begin(), img.begin() + n);
    EXPECT_FALSE((readBDJO(prefix, "p.bdjo", b, quiet)).complete()) << n;
  }
}

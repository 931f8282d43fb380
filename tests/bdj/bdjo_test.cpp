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
  if (w.length() & 1) w.addU8(0);
}

void addText(core::ByteWriter& w, const std::string& s) {
  w.addU8(uint32_t(s.size()));
  w.addString(s, s.size());
}

// A BD-J object image laid out field by field; start addresses are filled in as the
// tables are placed.
core::Bytes buildBdjo(const AppLayout& app, uint16_t playlistWord = 0x0030) {
  core::ByteWriter w;
  w.addString("BDJO", 4);
  w.addString("0200", 4);
  w.addZeros(24 + 16);
  w.addU32(10);  // TerminalInfo
  w.addString("00001", 5);
  w.addU8(0x3C);  // HAVi 3, menu call mask, title search mask
  w.addZeros(4);
  w.putU32(uint32_t(w.length()), 12);  // AppCacheInfo
  w.addU32(14);
  w.addU8(1);
  w.addU8(0);
  w.addU8(1);
  w.addString("00000", 5);
  w.addString("eng", 3);
  w.addZeros(3);
  w.putU32(uint32_t(w.length()), 16);  // accessible playlists
  w.addU32(4 + 6 * (playlistWord >> 5));
  w.addU16(playlistWord);
  w.addZeros(2);
  for (unsigned i = 0; i < unsigned(playlistWord >> 5); ++i) {
    w.addString("0000" + std::to_string(i), 5);
    w.addZeros(1);
  }
  const size_t amtAt = w.length();
  w.putU32(uint32_t(amtAt), 20);  // application management table
  w.addU32(0);  // filled in below
  w.addU8(1);
  w.addU8(0);
  w.addU8(1);  // control code
  w.addU8(2);  // type
  w.addU32(0x12345678);
  w.addU16(0x4001);
  w.addU8(0x00);  // descriptor tag
  w.addU8(0);
  const size_t descriptorAt = w.length();
  w.addU32(0);  // filled in below
  w.addZeros(4);
  w.addU16(app.profileWord);
  for (unsigned i = 0; i < unsigned(app.profileWord >> 12); ++i) {
    w.addU16(1 + i);
    w.addU8(1);
    w.addU8(0);
    w.addU8(2 + i);
    w.addU8(0);
  }
  w.addU8(5);  // priority
  w.addU8(app.bindVis);
  size_t namesLen = 0;
  for (auto& [l, n] : app.names) namesLen += 4 + n.size();
  w.addU16(app.namesLengthOverride >= 0 ? uint32_t(app.namesLengthOverride) : uint32_t(namesLen));
  for (auto& [l, n] : app.names) {
    w.addString(l, 3);
    addText(w, n);
  }
  padEven(w);
  addText(w, app.icon);
  padEven(w);
  w.addU16(0xABCD);
  addText(w, app.base);
  padEven(w);
  addText(w, app.classpath);
  padEven(w);
  addText(w, app.initClass);
  padEven(w);
  size_t plen = 0;
  for (auto& p : app.params) plen += 1 + p.size();
  w.addU8(uint32_t(plen));
  for (auto& p : app.params) addText(w, p);
  padEven(w);
  w.putU32(uint32_t(w.length() - descriptorAt - 4), descriptorAt);
  w.putU32(uint32_t(w.length() - amtAt - 4), amtAt);
  w.putU32(uint32_t(w.length()), 24);  // key interest
  w.addU32(0xC0200000);                // Play, Stop, PG TextST
  w.putU32(uint32_t(w.length()), 28);  // file access
  w.addU16(9);
  w.addString("/00000/ab", 9);
  return w.take();
}

}  // namespace

TEST(BdjoReader, ReadsEveryTableOfAHandAssembledObject) {
  AppLayout app;
  app.names = {{"eng", "Menu12"}, {"deu", "Mene"}};  // a names block of 18 bytes
  core::MemoryLog log;
  BdjObject b;
  ASSERT_TRUE((readBdjObject(buildBdjo(app), "00001.bdjo", b, log)).complete()) << log.text();
  EXPECT_FALSE(log.hadError());
  EXPECT_EQ(b.terminalInfo.defaultFont, "00001");
  EXPECT_EQ(b.terminalInfo.initialHaviConfigurationId, 3);
  EXPECT_TRUE(b.terminalInfo.menuCallMask);
  EXPECT_TRUE(b.terminalInfo.titleSearchMask);
  EXPECT_EQ(appCacheRows(b), (GridRows{{"0", "1", "00000", "eng"}}));
  // The playlist word 0x0030: one PlayList, access to all, no autostart.
  EXPECT_TRUE(b.accessiblePlaylists.accessToAll);
  EXPECT_FALSE(b.accessiblePlaylists.autostartFirstPlaylist);
  EXPECT_EQ(playListRows(b), (GridRows{{"0", "00000"}}));

  ASSERT_EQ(b.applicationTable.applications.size(), 1u);
  const Application& a = b.applicationTable.applications[0];
  EXPECT_EQ(a.binding, 1);
  EXPECT_EQ(a.visibility, 3);
  EXPECT_EQ(a.iconFlags, 0xABCD);
  EXPECT_EQ(applicationRows(b)[0],
            (GridRow{"0", "1", "2", "12345678", "4001", "00", "5", "1", "3", "icon", "00000", "", "com.example.Main", "2",
                     "2", "2"}));
  EXPECT_EQ(profileRows(a), (GridRows{{"1", "0001", "1.0.2"}, {"2", "0002", "1.0.3"}}));
  EXPECT_EQ(nameRows(a), (GridRows{{"1", "eng", "Menu12"}, {"2", "deu", "Mene"}}));
  EXPECT_EQ(parameterRows(a), (GridRows{{"1", "a"}, {"2", "bcd"}}));
  EXPECT_EQ(keyInterestSet(b.keyInterest), (std::vector<std::string>{"Play", "Stop", "PG TextST"}));
  EXPECT_EQ(b.directoryPaths, "/00000/ab");
}

TEST(BdjoReader, NamesBlockAndOddPositions) {
  // A names block of 10 bytes whose first name takes 11: that one name, then the
  // block is done and the reader goes on after it (position odd -> one padding byte).
  // The stored length disagrees with what was read, so the read is partial.
  AppLayout app;
  app.names = {{"eng", "Seven77"}};
  app.namesLengthOverride = 10;
  core::MemoryLog log;
  BdjObject b;
  const core::ReadResult longName = readBdjObject(buildBdjo(app), "x.bdjo", b, log);
  EXPECT_TRUE(longName.partial());
  EXPECT_NE(longName.summary().find("application 0 names length is 10, what was read makes it 11"), std::string::npos)
      << longName.summary();
  const Application& a = b.applicationTable.applications.at(0);
  ASSERT_EQ(a.names.size(), 1u);
  EXPECT_EQ(a.names[0].name, "Seven77");
  EXPECT_EQ(a.iconLocator, "icon");
  EXPECT_EQ(a.initialClassName, "com.example.Main");

  // Texts of odd and even lengths all land right.
  app.icon = "ic";
  app.base = "0000";
  app.classpath = "x";
  app.params = {"pp"};
  app.namesLengthOverride = -1;
  ASSERT_TRUE((readBdjObject(buildBdjo(app), "y.bdjo", b, log)).complete());
  const Application& c = b.applicationTable.applications.at(0);
  EXPECT_EQ(c.iconLocator, "ic");
  EXPECT_EQ(c.baseDirectory, "0000");
  EXPECT_EQ(c.classpathExtension, "x");
  EXPECT_EQ(parameterRows(c), (GridRows{{"1", "pp"}}));
  EXPECT_EQ(b.directoryPaths, "/00000/ab");
}

TEST(BdjoReader, WrongFormatAndShortFiles) {
  AppLayout app;
  app.names = {{"eng", "A"}};
  core::Bytes img = buildBdjo(app);
  core::Bytes wrong = img;
  wrong[7] = '9';
  core::MemoryLog log;
  BdjObject b;
  EXPECT_TRUE((readBdjObject(wrong, "w.bdjo", b, log)).refused());
  EXPECT_TRUE(b.applicationTable.applications.empty());
  EXPECT_TRUE(b.appCacheInfo.entries.empty());
  EXPECT_FALSE(log.hadError());  // no message for a wrong type or version

  // Cut inside the application table: what came before stays.
  const size_t amt = (size_t(img[20]) << 24) | (size_t(img[21]) << 16) | (size_t(img[22]) << 8) | img[23];
  core::Bytes cut(img.begin(), img.begin() + amt + 30);
  core::MemoryLog secondLog;
  EXPECT_TRUE((readBdjObject(cut, "c.bdjo", b, secondLog)).partial());
  EXPECT_TRUE(secondLog.hadError());
  EXPECT_EQ(b.appCacheInfo.entries.size(), 1u);
  EXPECT_EQ(b.accessiblePlaylists.playlists.size(), 1u);
  ASSERT_EQ(b.applicationTable.applications.size(), 1u);
  EXPECT_EQ(b.applicationTable.applications[0].organizationId, 0x12345678u);

  // Every shorter prefix ends cleanly.
  for (size_t n = 0; n < img.size(); ++n) {
    core::NullLog quiet;
    core::Bytes prefix(img.begin(), img.begin() + n);
    EXPECT_FALSE((readBdjObject(prefix, "p.bdjo", b, quiet)).complete()) << n;
  }
}

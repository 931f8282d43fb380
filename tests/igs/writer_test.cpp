// Writing menus: segment splitting, palettes, object fragments, time stamps and the
// two unit header forms; a written menu reads back to the same model.
#include <gtest/gtest.h>

#include "igs/reader.h"
#include "igs/rle.h"
#include "igs/writer.h"
#include "igs_test_util.h"

namespace morvex::igs {
namespace {

struct Unit {
  uint32_t pts, dts;
  uint8_t type;
  core::Bytes payload;
};

// Independent walk over a menu file.
std::vector<Unit> units(const core::Bytes& f) {
  std::vector<Unit> out;
  size_t p = 0;
  while (p + 13 <= f.size()) {
    EXPECT_EQ(f[p], 'I');
    EXPECT_EQ(f[p + 1], 'G');
    Unit u{core::be32(&f[p + 2]), core::be32(&f[p + 6]), f[p + 10], {}};
    size_t len = core::be16(&f[p + 11]);
    u.payload.assign(f.begin() + p + 13, f.begin() + std::min(f.size(), p + 13 + len));
    out.push_back(u);
    p += 13 + len;
  }
  EXPECT_EQ(p, f.size());
  return out;
}

// One page whose serialized form is exactly `length` bytes.
Menu menuWithPageData(size_t length, uint8_t model = 3) {
  Menu m;
  m.ics.width = 1920;
  m.ics.height = 1080;
  m.ics.model = model;
  m.inTime = 90000;
  Page p;
  ButtonOverlapGroup g;
  g.buttons.push_back(test::button(0, kNoObject));
  g.buttons[0].commands.clear();
  p.bogs.push_back(g);
  m.ics.pages.push_back(p);
  size_t base = serializePages(m.ics.pages).size();
  size_t rest = length - base;
  int effects = 0;
  while (rest % 12 != 0) {
    rest -= 5;  // an empty effect
    ++effects;
  }
  Page& page = m.ics.pages[0];
  page.effects[0].effects.resize(effects);
  page.effects[0].numEffects = uint8_t(effects);
  page.bogs[0].buttons[0].commands.resize(rest / 12, hdmv::Command{0x20000000, 0, 0});
  page.bogs[0].buttons[0].numCommands = uint16_t(rest / 12);
  page.bogs[0].numButtons = 1;
  page.numBOGs = 1;
  EXPECT_EQ(serializePages(m.ics.pages).size(), length);
  m.ics.numPages = 1;
  m.pageButtons = {buildPageButtons(m.ics.pages[0])};
  return m;
}

TEST(MenuWriter, CompositionIsSplitAtTheSegmentLimit) {
  core::MemoryLog log;
  {
    Menu m = menuWithPageData(65502);
    settleMenu(m, log);
    auto u = units(writeMenu(m, SaveForm::MenuFile));
    ASSERT_EQ(u[0].type, kSegComposition);
    EXPECT_EQ(u[0].payload.size(), 65519u);
    EXPECT_EQ(u[0].payload[8], 0xC0);  // first and last
    EXPECT_EQ(u[1].type, kSegEnd);
    EXPECT_EQ(m.ics.dataLength, 65502u + 5);
  }
  {
    Menu m = menuWithPageData(65503);
    settleMenu(m, log);
    core::Bytes file = writeMenu(m, SaveForm::MenuFile);
    auto u = units(file);
    ASSERT_EQ(u[1].type, kSegComposition);
    EXPECT_EQ(u[0].payload.size(), 65519u);
    EXPECT_EQ(u[0].payload[8], 0x80);
    EXPECT_EQ(u[1].payload.size(), 10u);
    EXPECT_EQ(u[1].payload[8], 0x40);
    ASSERT_EQ(m.ics.numSegments, 2);
    Menu back;
    ASSERT_TRUE(readMenu(file, "test.mnu", back, log).usable());
    EXPECT_EQ(back.ics.pages, m.ics.pages);
  }
  {
    // With the time-outs present the first segment carries ten bytes less.
    Menu m = menuWithPageData(65492, 0);
    m.ics.compositionTimeout = 0x1FFFFFFFFULL;
    m.ics.selectionTimeout = 12345;
    settleMenu(m, log);
    core::Bytes file = writeMenu(m, SaveForm::MenuFile);
    auto u = units(file);
    EXPECT_EQ(u[0].payload.size(), 65519u);
    EXPECT_EQ(u[0].payload[8], 0xC0);
    EXPECT_EQ(core::be24(&u[0].payload[9]), 65492u + 15);
    EXPECT_EQ(u[0].payload[12], 0x00);  // model bits
    Menu back;
    ASSERT_TRUE(readMenu(file, "test.mnu", back, log).usable());
    EXPECT_EQ(back.ics.compositionTimeout, 0x1FFFFFFFFULL);
    EXPECT_EQ(back.ics.selectionTimeout, 12345u);
    m = menuWithPageData(65493, 0);
    settleMenu(m, log);
    EXPECT_EQ(units(writeMenu(m, SaveForm::MenuFile))[1].payload.size(), 10u);
  }
}

// An object whose encoding is exactly n bytes: one row of alternating indices.
GraphicsObject objectOfEncodedSize(uint16_t id, size_t n) {
  GraphicsObject o;
  o.id = id;
  IndexedPicture p;
  p.width = uint16_t(n - 2);
  p.height = 1;
  for (size_t i = 0; i < p.width; ++i) p.pixels.push_back(uint8_t(1 + i % 2));
  o.picture = p;
  o.width = p.width;
  o.height = 1;
  return o;
}

TEST(MenuWriter, ObjectFragmentsAndTimeStamps) {
  core::MemoryLog log;
  Menu m = menuWithPageData(200);
  m.objects = {objectOfEncodedSize(0, 65508), objectOfEncodedSize(1, 65509)};
  m.palettes.resize(1);
  m.palettes[0].rgbt[1] = {10, 20, 30, 40};
  settleMenu(m, log);
  core::Bytes file = writeMenu(m, SaveForm::MenuFile);
  auto u = units(file);
  ASSERT_EQ(u.size(), 1u + 1 + 1 + 2 + 1);
  EXPECT_EQ(u[2].type, kSegObject);
  EXPECT_EQ(u[2].payload.size(), 65519u);
  EXPECT_EQ(u[2].payload[3], 0xC0);
  EXPECT_EQ(core::be24(&u[2].payload[4]), 65508u + 4);
  EXPECT_EQ(u[3].payload.size(), 65519u);
  EXPECT_EQ(u[3].payload[3], 0x80);
  EXPECT_EQ(u[4].payload.size(), 5u);
  EXPECT_EQ(u[4].payload[3], 0x40);
  // T = 90000, D = 131017: DTS of the composition and PTS of the palettes.
  const uint32_t T = 90000, D = 65508 + 65509;
  EXPECT_EQ(u[0].pts, T);
  EXPECT_EQ(u[0].dts, T - D * 9 / 600);
  EXPECT_EQ(u[1].pts, T - D * 9 / 600);
  EXPECT_EQ(u[1].dts, 0u);
  EXPECT_EQ(u[2].pts, T - (D - 65508) * 9 / 600);
  EXPECT_EQ(u[2].dts, T - D * 9 / 600);
  EXPECT_EQ(u[4].pts, T - 0);
  EXPECT_EQ(u[4].dts, T - 65509 * 9 / 600);
  EXPECT_EQ(u[5].pts, T - 65509 * 9 / 600);
  Menu back;
  ASSERT_TRUE(readMenu(file, "test.mnu", back, log).usable());
  ASSERT_EQ(back.objects.size(), 2u);
  EXPECT_EQ(back.objects[1].fragments.size(), 2u);
  rle_decode(back, 1, log);
  EXPECT_EQ(*back.objects[1].picture, *m.objects[1].picture);

  // 60000 bytes of object data put the composition's DTS 900 ticks before IN_time.
  Menu n = menuWithPageData(100);
  n.inTime = 180000;
  n.objects = {objectOfEncodedSize(0, 60000)};
  settleMenu(n, log);
  auto v = units(writeMenu(n, SaveForm::MenuFile));
  EXPECT_EQ(v[0].dts, 180000u - 900);
}

TEST(MenuWriter, MuchObjectDataMovesTheInTimeInsteadOfWrappingTheStamps) {
  // 60000 bytes of object data need 900 ticks of decoding; from IN_time 100 the
  // composition's decode time would fall before 0 and wrap round to near 2^32.
  core::MemoryLog log;
  Menu m = menuWithPageData(100);
  m.inTime = 100;
  m.objects = {objectOfEncodedSize(0, 60000)};
  settleMenu(m, log);
  auto u = units(writeMenu(m, SaveForm::MenuFile));
  ASSERT_EQ(u[0].type, kSegComposition);
  EXPECT_EQ(u[0].pts, 900u);
  EXPECT_EQ(u[0].dts, 0u);
  for (const Unit& x : u) EXPECT_LE(x.dts, x.pts);
  EXPECT_EQ(m.inTime, 900u);  // the model says what was written
  Menu back;
  settleMenu(m, log);
  ASSERT_TRUE(readMenu(writeMenu(m, SaveForm::MenuFile), "t.mnu", back, log).usable());
  EXPECT_EQ(back.inTime, 900u);

  // In PES form the composition and the object keep their DTS field even at time 0;
  // palette and end segments have none.
  Menu p = menuWithPageData(100);
  p.inTime = 0;
  p.objects = {objectOfEncodedSize(0, 600)};
  p.palettes.resize(1);
  settleMenu(p, log);
  const core::Bytes pes = writeMenu(p, SaveForm::Pes);
  std::vector<std::pair<uint8_t, uint8_t>> flagsByType;  // (segment type, PTS/DTS flags)
  for (size_t at = 0; at + 9 <= pes.size();) {
    ASSERT_EQ(core::be32(&pes[at]), 0x000001BDu);
    const size_t len = core::be16(&pes[at + 4]);
    const size_t headerLen = pes[at + 8];
    flagsByType.emplace_back(pes[at + 9 + headerLen], pes[at + 7]);
    at += 6 + len;
  }
  ASSERT_EQ(flagsByType.size(), 4u);
  EXPECT_EQ(flagsByType[0], std::make_pair(uint8_t(kSegComposition), uint8_t(0xC0)));
  EXPECT_EQ(flagsByType[1], std::make_pair(uint8_t(kSegPalette), uint8_t(0x80)));
  EXPECT_EQ(flagsByType[2], std::make_pair(uint8_t(kSegObject), uint8_t(0xC0)));
  EXPECT_EQ(flagsByType[3], std::make_pair(uint8_t(kSegEnd), uint8_t(0x80)));
}

TEST(MenuWriter, PalettesSkipEmptyEntriesAndEntry255) {
  core::MemoryLog log;
  Menu m = menuWithPageData(100);
  m.palettes.resize(2);
  for (int e = 0; e < 10; ++e) m.palettes[1].rgbt[e] = {uint8_t(e), 0, 0, 255};
  m.palettes[1].rgbt[0] = {0, 0, 0, 0};    // black and transparent: never written
  m.palettes[1].rgbt[10] = {0, 0, 0, 1};   // black but visible: written
  m.palettes[1].rgbt[255] = {9, 9, 9, 9};  // never written
  settleMenu(m, log);
  auto u = units(writeMenu(m, SaveForm::MenuFile));
  ASSERT_EQ(u[1].type, kSegPalette);
  EXPECT_EQ(u[1].payload.size(), 2u);  // palette 0 is all zero
  ASSERT_EQ(u[2].payload.size(), 52u);
  EXPECT_EQ(u[2].payload[0], 1);
  EXPECT_EQ(u[2].payload[2], 1);  // first entry written is 1
  EXPECT_EQ(u[2].payload[47], 10);
  // Missing Y, Cr, Cb were computed from the colour and kept.
  EXPECT_EQ(m.palettes[1].ycc[10], rgb2ycc(0, 0, 0));
  EXPECT_EQ(u[2].payload[48], 16);
}

TEST(MenuWriter, SyntheticMenuRoundTrips) {
  core::MemoryLog log;
  Menu m = test::syntheticMenu(7);
  settleMenu(m, log);
  core::Bytes file = writeMenu(m, SaveForm::MenuFile);
  Menu back;
  ASSERT_TRUE(readMenu(file, "test.mnu", back, log).usable());
  EXPECT_EQ(back.ics.pages, m.ics.pages);
  EXPECT_EQ(back.pageButtons, m.pageButtons);
  EXPECT_EQ(back.inTime, 180000u);
  ASSERT_EQ(back.objects.size(), m.objects.size());
  for (unsigned id = 0; id < m.objects.size(); ++id) {
    rle_decode(back, id, log);
    EXPECT_EQ(*back.objects[id].picture, *m.objects[id].picture) << id;
  }
  ASSERT_EQ(back.palettes.size(), m.palettes.size());
  for (size_t p = 0; p < m.palettes.size(); ++p)
    for (int e = 0; e < 255; ++e) {
      EXPECT_EQ(back.palettes[p].rgbt[e], m.palettes[p].rgbt[e]);
      if (m.palettes[p].rgbt[e] != Rgbt{}) EXPECT_EQ(back.palettes[p].ycc[e], m.palettes[p].ycc[e]);
    }
  // Page 0's effect object comes first, then its buttons' normal-state objects.
  auto order = objectOrder(m);
  ASSERT_GE(order.size(), 3u);
  EXPECT_EQ(order[0], 5);
  EXPECT_EQ(order[1], 0);
  EXPECT_EQ(order[2], 2);
  // A second save of the reloaded menu gives the same bytes.
  settleMenu(back, log);
  EXPECT_EQ(writeMenu(back, SaveForm::MenuFile), file);
}

TEST(MenuWriter, PesHeaders) {
  core::ByteWriter w;
  writeUnitHeader(w, SaveForm::Pes, 0xE0000001u, 0x12345678u, 100);
  core::Bytes h = w.take();
  ASSERT_EQ(h.size(), 19u);
  EXPECT_EQ(core::be32(&h[0]), 0x000001BDu);
  EXPECT_EQ(core::be16(&h[4]), 116);
  EXPECT_EQ(h[6], 0x84);
  EXPECT_EQ(h[7], 0xC0);
  EXPECT_EQ(h[8], 10);
  // Decoded the way a demultiplexer reads a time stamp field.
  auto decode = [](const uint8_t* b) {
    return uint32_t(((b[0] & 0x0E) << 29) + (b[1] << 22) + ((b[2] & 0xFE) << 14) + (b[3] << 7) + ((b[4] & 0xFE) >> 1));
  };
  EXPECT_EQ(decode(&h[9]), 0xE0000001u);
  EXPECT_EQ(h[9] & 0xF1, 0x31);
  EXPECT_EQ(decode(&h[14]), 0x12345678u);
  EXPECT_EQ(h[14] & 0xF1, 0x11);
  core::ByteWriter w2;
  writeUnitHeader(w2, SaveForm::Pes, 90000, 0, 0);
  core::Bytes h2 = w2.take();
  ASSERT_EQ(h2.size(), 14u);
  EXPECT_EQ(core::be16(&h2[4]), 11);
  EXPECT_EQ(h2[7], 0x80);
  EXPECT_EQ(h2[8], 5);
  EXPECT_EQ(decode(&h2[9]), 90000u);
}

}  // namespace
}  // namespace morvex::igs

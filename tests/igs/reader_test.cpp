// Reading menu files: framing, segment kinds, fragments and the page layout.
#include <gtest/gtest.h>

#include "igs/colour.h"
#include "igs/reader.h"
#include "igs/rle.h"
#include "igs/writer.h"
#include "igs_test_util.h"
#include "support/test_support.h"

namespace morvex::igs {
namespace {

using test::append;
using test::compositionPayload;
using test::unit;

core::Bytes palettePayload(uint8_t id, std::initializer_list<std::array<uint8_t, 5>> entries) {
  core::Bytes b{id, 0};
  for (auto& e : entries) b.insert(b.end(), e.begin(), e.end());
  return b;
}

core::Bytes objectFragment(uint16_t id, uint8_t flags, const core::Bytes& data, uint16_t w = 0, uint16_t h = 0,
                           uint32_t total = 0) {
  core::ByteWriter o;
  o.addU16(id);
  o.addU8(0);
  o.addU8(flags * 64);
  if (flags & 2) {
    o.addU24(total + 4);
    o.addU16(w);
    o.addU16(h);
  }
  o.addBytes(data);
  return o.take();
}

core::Bytes onePageMenu(const Menu& src) { return serializePages(src.ics.pages); }

TEST(MenuReader, CountsSlotsAndLogsTheSummary) {
  Menu src = test::syntheticMenu();
  core::Bytes file;
  append(file, unit(kSegComposition, compositionPayload(onePageMenu(src), 2), 180000));
  append(file, unit(kSegPalette, palettePayload(0, {{{1, 235, 128, 128, 255}}})));
  append(file, unit(kSegPalette, palettePayload(3, {{{2, 16, 128, 128, 128}}})));
  for (uint16_t id : {0, 4})
    append(file, unit(kSegObject, objectFragment(id, 3, {0, 0}, 1, 1, 2)));
  append(file, unit(kSegEnd, {}));
  Menu m;
  core::MemoryLog log;
  ASSERT_TRUE(readMenu(file, "test.mnu", m, log).usable());
  EXPECT_EQ(m.inTime, 180000u);
  ASSERT_EQ(m.palettes.size(), 4u);
  EXPECT_EQ(m.palettes[1].id, 0);
  EXPECT_EQ(m.palettes[2].id, 0);
  EXPECT_EQ(m.palettes[3].id, 3);
  EXPECT_EQ(m.palettes[0].rgbt[1], (Rgbt{255, 255, 255, 255}));
  EXPECT_EQ(m.palettes[3].rgbt[2], (Rgbt{0, 0, 0, 128}));
  ASSERT_EQ(m.objects.size(), 5u);
  EXPECT_EQ(m.objects[4].id, 4);
  EXPECT_TRUE(m.objects[2].fragments.empty());
  EXPECT_EQ(m.ics.pages, src.ics.pages);
  ASSERT_FALSE(log.plainLines().empty());
  EXPECT_EQ(log.plainLines()[0], "1 ICS, 5 OCS, 4 PCS found.");
  // The counts are in bold.
  EXPECT_TRUE(log.lines[0].runs.size() >= 6 && log.lines[0].runs[1].bold);
}

TEST(MenuReader, FragmentsAreConcatenatedInOrder) {
  Menu src = test::syntheticMenu();
  core::Bytes pages = onePageMenu(src);
  // The composition split in two segments, with an object between them.
  size_t cut = pages.size() / 2;
  core::Bytes firstPart(pages.begin(), pages.begin() + cut), secondPart(pages.begin() + cut, pages.end());
  core::Bytes file;
  append(file, unit(kSegComposition, compositionPayload(firstPart, 2, 0, 2)));
  IndexedPicture pic = src.objects[3].picture.value();
  core::Bytes rle = encodeRuns(pic);
  size_t a = rle.size() / 3, b = 2 * rle.size() / 3;
  append(file, unit(kSegObject, objectFragment(9, 2, core::Bytes(rle.begin(), rle.begin() + a), pic.width,
                                               pic.height, uint32_t(rle.size()))));
  append(file, unit(kSegComposition, compositionPayload(secondPart, 0, 0, 1)));
  append(file, unit(kSegObject, objectFragment(9, 0, core::Bytes(rle.begin() + a, rle.begin() + b))));
  append(file, unit(kSegObject, objectFragment(9, 1, core::Bytes(rle.begin() + b, rle.end()))));
  Menu m;
  core::MemoryLog log;
  ASSERT_TRUE(readMenu(file, "test.mnu", m, log).usable());
  EXPECT_EQ(m.ics.numSegments, 2);
  EXPECT_EQ(m.ics.segments[0].flags, 2);
  EXPECT_EQ(m.ics.segments[1].flags, 1);
  EXPECT_EQ(m.ics.pages, src.ics.pages);
  // Model bit 7 clear: both time-outs were read.
  EXPECT_EQ(m.ics.compositionTimeout, 0x0123456789ULL);
  EXPECT_EQ(m.ics.selectionTimeout, 0x00AABBCCDDULL);
  EXPECT_EQ(m.ics.userTimeout, 90000u * 30);
  const GraphicsObject& o = m.objects[9];
  ASSERT_EQ(o.fragments.size(), 3u);
  EXPECT_EQ(o.width, pic.width);
  EXPECT_EQ(o.dataLength, rle.size());
  rle_decode(m, 9, log);
  EXPECT_EQ(*m.objects[9].picture, pic);
}

TEST(MenuReader, PageFieldsAndButtonSlots) {
  Menu src = test::syntheticMenu();
  Page& p = src.ics.pages[0];
  p.bogs[1].buttons[0].id = 1;  // same id as a button of the first BOG
  p.bogs[1].buttons[0].x = 999;
  p.bogs[0].buttons[0].normalRepeat = 1;
  p.bogs[0].buttons[0].id = 7;
  core::Bytes pages = serializePages(src.ics.pages);
  core::Bytes file = unit(kSegComposition, compositionPayload(pages, 2));
  Menu m;
  core::MemoryLog log;
  ASSERT_TRUE(readMenu(file, "test.mnu", m, log).usable());
  ASSERT_EQ(m.pageButtons.size(), 2u);
  // Slots up to the highest id, empty ones marked 0xFFFF; the later button wins.
  ASSERT_EQ(m.pageButtons[0].size(), 8u);
  EXPECT_EQ(m.pageButtons[0][0].id, kNoButton);
  EXPECT_EQ(m.pageButtons[0][1].x, 999);
  EXPECT_EQ(m.pageButtons[0][7].normalRepeat, 1);
  EXPECT_EQ(m.ics.hasTimeouts(), false);
  EXPECT_EQ(m.ics.compositionTimeout, 0u);
}

TEST(MenuReader, FlagBitsAreReadFromTheTopOfTheirBytes) {
  Menu src = test::syntheticMenu();
  core::Bytes pages = serializePages(src.ics.pages);
  // Page header (10) + in-effects with one window and two effects of one cropped
  // object (53) + empty out-effects (2) + page fields (7) + BOG header (3): the first
  // button starts at 75; its normal flags byte is 21 bytes into it.
  const size_t normalFlags = 75 + 21;
  ASSERT_EQ(pages[75 + 5], 0);
  ASSERT_EQ(pages[75 + 6], 100);  // x of button 0
  pages[normalFlags] = 0x40;  // the completion bit alone is not a repeat
  core::Bytes file = unit(kSegComposition, compositionPayload(pages, 2));
  Menu m;
  core::MemoryLog log;
  ASSERT_TRUE(readMenu(file, "test.mnu", m, log).usable());
  EXPECT_EQ(m.ics.pages[0].bogs[0].buttons[0].normalRepeat, 0);
  pages[normalFlags] = 0x80;
  file = unit(kSegComposition, compositionPayload(pages, 2));
  ASSERT_TRUE(readMenu(file, "test.mnu", m, log).usable());
  EXPECT_EQ(m.ics.pages[0].bogs[0].buttons[0].normalRepeat, 1);
}

TEST(MenuReader, ShortPaletteKeepsColoursAndBadUnitsAreReported) {
  core::Bytes file;
  append(file, unit(kSegPalette, palettePayload(0, {{{5, 235, 128, 128, 200}}})));
  append(file, unit(kSegPalette, core::Bytes{0, 1}));  // length 2: id and version only
  append(file, unit(0x16, core::Bytes{1, 2, 3}));      // unknown kind, skipped
  append(file, unit(kSegComposition, compositionPayload(serializePages(test::syntheticMenu().ics.pages), 2)));
  core::Bytes good = file;
  file.push_back('X');  // not a unit header
  file.insert(file.end(), 20, 0);
  Menu m;
  core::MemoryLog log;
  auto read = readMenu(file, "test.mnu", m, log);
  ASSERT_TRUE(read.partial());
  // The unknown segment, then the unit that is not one, each where it starts.
  ASSERT_EQ(read.problems.size(), 2u);
  EXPECT_EQ(read.problems[0].kind, core::ReadIssue::Malformed);
  EXPECT_EQ(read.problems[1].kind, core::ReadIssue::Malformed);
  EXPECT_EQ(read.problems[1].offset, good.size());
  EXPECT_EQ(m.palettes[0].version, 1);
  EXPECT_EQ(m.palettes[0].rgbt[5], (Rgbt{255, 255, 255, 200}));
  EXPECT_EQ(m.ics.pages.size(), 2u);
  EXPECT_TRUE(log.errorBox);
  EXPECT_EQ(log.errorText, "File format error");

  // Without any composition the menu is not shown, but what was read stays.
  core::MemoryLog secondLog;
  core::Bytes noIcs;
  append(noIcs, unit(0x16, core::Bytes{1, 2, 3}));
  append(noIcs, unit(kSegPalette, palettePayload(2, {{{5, 235, 128, 128, 200}}})));
  auto none = readMenu(noIcs, "test.mnu", m, secondLog);
  ASSERT_TRUE(none.refused());
  EXPECT_EQ(none.problems.back().kind, core::ReadIssue::WrongKind);
  EXPECT_EQ(m.palettes.size(), 3u);
  EXPECT_FALSE(m.loaded);
  EXPECT_EQ(secondLog.errorText, "Unknow segment!");

  // A file cut inside its last unit keeps the units before it.
  core::Bytes cut = good;
  append(cut, unit(kSegObject, objectFragment(1, 3, core::Bytes(40, 1), 4, 4, 40)));
  cut.resize(cut.size() - 10);
  core::MemoryLog log3;
  auto short_ = readMenu(cut, "test.mnu", m, log3);
  ASSERT_TRUE(short_.partial());
  EXPECT_EQ(short_.problems.back().kind, core::ReadIssue::EndsEarly);
  EXPECT_EQ(short_.problems.back().offset, cut.size());
  EXPECT_EQ(m.ics.pages.size(), 2u);
  EXPECT_TRUE(m.objects.empty());
  EXPECT_TRUE(log3.hadError());
}

TEST(MenuReader, CorruptPageCountsStayWithinTheData) {
  // A page claiming 255 BOGs of 255 buttons with 65535 commands each, in a few bytes.
  core::Bytes pages = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0xFF, 0, 0, 0xFF};
  core::Bytes file = unit(kSegComposition, compositionPayload(pages, 200));
  Menu m;
  core::MemoryLog log;
  ASSERT_TRUE(readMenu(file, "test.mnu", m, log).usable());
  ASSERT_EQ(m.ics.pages.size(), 1u);
  EXPECT_LE(m.ics.pages[0].bogs.size(), 1u);
  EXPECT_EQ(m.ics.numPages, 1);

  // High object and palette ids make long lists but no per-pair cache up front.
  core::Bytes ids = file;
  append(ids, unit(kSegObject, objectFragment(65000, 3, {1, 0, 0}, 1, 1, 3)));
  append(ids, unit(kSegPalette, palettePayload(255, {{{1, 235, 128, 128, 255}}})));
  ASSERT_TRUE(readMenu(ids, "test.mnu", m, log).usable());
  ASSERT_EQ(m.objects.size(), 65001u);
  ASSERT_EQ(m.palettes.size(), 256u);
  MenuPictures pics;
  EXPECT_EQ(objectPicture(m, pics, 65000, 255, log).rgba, (std::vector<uint8_t>{255, 255, 255, 255}));
  ASSERT_EQ(pics.cache.size(), 65001u);
  EXPECT_EQ(pics.cache[65000].byPalette.size(), 256u);
  for (size_t id = 0; id < 65000; ++id) ASSERT_TRUE(pics.cache[id].byPalette.empty()) << id;
  // Colouring reads the menu, it does not change it: the decoded picture stays in the
  // cache row, not in the object.
  EXPECT_FALSE(m.objects[65000].picture.has_value());
  EXPECT_TRUE(pics.cache[65000].decoded.has_value());
}

// Every real composition, framed as a menu-file unit, reads, writes and reads back
// to the same model.
TEST(MenuReader, FixtureCompositionsSurviveASave) {
  MORVEX_REQUIRE_FIXTURES();
  auto files = morvex::test::fixtureFiles("ics_menu.bin");
  ASSERT_FALSE(files.empty());
  for (const auto& f : files) {
    SCOPED_TRACE(f.string());
    core::Bytes payload = morvex::test::readFile(f);
    Menu m;
    core::MemoryLog log;
    ASSERT_TRUE(readMenu(unit(kSegComposition, payload, 0x12345, 0x12000), "test.mnu", m, log).usable());
    ASSERT_FALSE(m.ics.pages.empty());
    EXPECT_EQ(m.ics.pages.size(), m.ics.numPages);
    // The page data is exactly what the composition carried.
    size_t header = m.ics.hasTimeouts() ? 27 : 17;
    EXPECT_EQ(serializePages(m.ics.pages), core::Bytes(payload.begin() + header, payload.end()));
    settleMenu(m, log);
    core::Bytes saved = writeMenu(m, SaveForm::MenuFile);
    Menu again;
    ASSERT_TRUE(readMenu(saved, "test.mnu", again, log).usable());
    EXPECT_EQ(again.ics.pages, m.ics.pages);
    EXPECT_EQ(again.pageButtons, m.pageButtons);
    EXPECT_EQ(again.ics.width, m.ics.width);
    EXPECT_EQ(again.ics.height, m.ics.height);
    EXPECT_EQ(again.ics.frameRateCode, m.ics.frameRateCode);
    EXPECT_EQ(again.ics.model, m.ics.model);
    EXPECT_EQ(again.ics.compositionTimeout, m.ics.compositionTimeout);
    EXPECT_EQ(again.ics.selectionTimeout, m.ics.selectionTimeout);
    EXPECT_EQ(again.ics.userTimeout, m.ics.userTimeout);
    EXPECT_EQ(again.ics.dataLength, m.ics.dataLength);
    EXPECT_EQ(again.inTime, 0x12345u);
  }
}

}  // namespace
}  // namespace morvex::igs

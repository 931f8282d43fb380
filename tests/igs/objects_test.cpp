// Object and palette references, PNG import and export, palette files, deletion.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include "igs/edit.h"
#include "igs/objects.h"
#include "igs/reader.h"
#include "igs/rle.h"
#include "igs/writer.h"
#include "igs_test_util.h"
#include "support/test_support.h"

namespace morvex::igs {
namespace {

// A menu of two pages; objects and palettes are referenced as the cases need.
Menu twoPages() {
  Menu m;
  newMenu(m);
  createPage(m);
  for (int i = 0; i < 5; ++i) createButton(m, 0, 0);  // page 0: buttons 0..5
  m.objects.resize(12);
  for (unsigned i = 0; i < 12; ++i) m.objects[i].id = uint16_t(i);
  m.palettes.resize(4);
  for (unsigned i = 0; i < 4; ++i) m.palettes[i].id = uint16_t(i);
  return m;
}

TEST(ObjectRefs, TextsNameEffectsPagesAndButtonStates) {
  Menu m = twoPages();
  Page& p0 = m.ics.pages[0];
  Page& p1 = m.ics.pages[1];
  p0.paletteId = 2;
  p1.paletteId = 0;
  Effect out;
  out.paletteId = 2;
  p1.effects[1].effects.push_back(out);
  EXPECT_EQ(paletteReferences(m, 2), "0 1o ");
  EXPECT_EQ(paletteReferences(m, 3), "");

  Button& b2 = p0.bogs[0].buttons[2];
  b2.normalStart = 7;
  b2.normalEnd = 9;   // range holds 8
  b2.activatedStart = 8;
  Button& b5 = p0.bogs[0].buttons[5];
  b5.selectedStart = 8;
  b5.selectedEnd = kNoObject;
  Effect in;
  in.paletteId = 3;
  CompositionObject co;
  co.objectId = 8;
  in.objects.push_back(co);
  p1.effects[0].effects.push_back(in);
  EXPECT_EQ(objectReferences(m, 8), "0:2na,5s 1i");
  EXPECT_EQ(objectReferences(m, 9), "0:2n");
  EXPECT_EQ(objectGridRow(m, 8), (std::array<std::string, 4>{"0008", "0", "0", "0:2na,5s 1i"}));
  EXPECT_EQ(paletteGridRow(m, 2), (std::array<std::string, 2>{"02", "0 1o "}));
  EXPECT_EQ(objectReferences(m, 10), "");
  EXPECT_EQ(paletteForObject(m, 8), 2u);  // a button reference: the page's palette
  b2.normalStart = b2.normalEnd = b2.activatedStart = kNoObject;
  b5.selectedStart = kNoObject;
  EXPECT_EQ(objectReferences(m, 8), "1i");
  EXPECT_EQ(paletteForObject(m, 8), 3u);  // the last in-effect's palette
  EXPECT_FALSE(paletteForObject(m, 10).has_value());
}

core::Bytes rgbPng(int w, int h) {
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  img.width = w;
  img.height = h;
  img.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> px(size_t(w) * h * 3, 90);
  png_alloc_size_t size = 0;
  EXPECT_TRUE(png_image_write_to_memory(&img, nullptr, &size, 0, px.data(), 0, nullptr));
  core::Bytes out(size);
  EXPECT_TRUE(png_image_write_to_memory(&img, out.data(), &size, 0, px.data(), 0, nullptr));
  out.resize(size);
  return out;
}

TEST(ObjectPng, ExportImportRoundTripAndRefusals) {
  std::mt19937 rng(9);
  Menu m;
  MenuPictures pics;
  newMenu(m);
  core::MemoryLog log;
  // A picture and palette of our own, written and imported as a new object.
  PaletteTable colours{};
  for (int e = 0; e < 256; ++e) colours[e] = {uint8_t(e), uint8_t(255 - e), uint8_t(e * 3), uint8_t(e * 5)};
  IndexedPicture pic = test::randomPicture(rng, 37, 11, 250);
  core::Bytes png = writePalettePng(pic, colours, "Morvex test");
  auto parsed = readPalettePng(png);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->picture, pic);
  EXPECT_EQ(parsed->colours, colours);
  EXPECT_EQ(parsed->paletteSize, 256);
  // The text chunk is there, uncompressed.
  std::string raw(png.begin(), png.end());
  EXPECT_NE(raw.find(std::string("tEXtSoftware\0Morvex test", 24)), std::string::npos);

  auto r = importObjectPng(m, pics, png, std::nullopt, std::nullopt, log);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->objectId, 0u);
  EXPECT_EQ(r->paletteId, 0u);
  ASSERT_EQ(m.objects.size(), 1u);
  EXPECT_EQ(*m.objects[0].picture, pic);
  EXPECT_EQ(m.objects[0].dataLength, encodeRuns(pic).size());
  const Palette& pal = m.palettes[0];
  EXPECT_EQ(pal.rgbt[10], (Rgbt{10, 245, 30, 50}));
  EXPECT_EQ(pal.ycc[10], rgb2ycc(10, 245, 30, menuMatrix(m)));  // the 1080-line menu's matrix
  EXPECT_EQ(pal.rgbt[255], Rgbt{});  // entry 255 stays black and transparent

  // Exported again with its palette, the PNG holds the same indices and colours.
  auto again = readPalettePng(exportObjectPng(m, 0, 0, log));
  ASSERT_TRUE(again);
  EXPECT_EQ(again->picture, pic);
  EXPECT_EQ(again->colours[10], pal.rgbt[10]);
  EXPECT_EQ(objectPngName(0x1A, 3), "IGobject_001A_pal_03");

  // Replacing object 0 and palette 0 drops the cached colourings of both.
  objectPicture(m, pics, 0, 0, log);
  ASSERT_TRUE(pics.cache[0].byPalette[0].has_value());
  IndexedPicture pic2 = test::randomPicture(rng, 5, 5, 3);
  ASSERT_TRUE(importObjectPng(m, pics, writePalettePng(pic2, colours, "x"), 0u, 0u, log));
  EXPECT_EQ(m.objects.size(), 1u);
  EXPECT_FALSE(pics.cache[0].byPalette[0].has_value());
  EXPECT_EQ(objectPicture(m, pics, 0, 0, log).width, 5);

  // Too large for the video, or not 8 bits per pixel.
  m.ics.width = 720;
  m.ics.height = 480;
  IndexedPicture big{1920, 1080, std::vector<uint8_t>(1920 * 1080, 1)};
  core::MemoryLog secondLog;
  EXPECT_FALSE(importObjectPng(m, pics, writePalettePng(big, colours, "x"), std::nullopt, std::nullopt, secondLog));
  EXPECT_EQ(secondLog.errorText, "Not supported file format!");
  core::MemoryLog log3;
  EXPECT_FALSE(importObjectPng(m, pics, rgbPng(4, 4), std::nullopt, std::nullopt, log3));
  EXPECT_EQ(log3.errorText, "Not supported file format!");
  core::Bytes broken = png;
  broken.resize(broken.size() / 2);
  EXPECT_FALSE(importObjectPng(m, pics, broken, std::nullopt, std::nullopt, log3));
  EXPECT_EQ(m.objects.size(), 1u);
  EXPECT_EQ(m.palettes.size(), 1u);

  // An imported menu saves and loads with the same picture and colours.
  settleMenu(m, log);
  core::Bytes file = writeMenu(m, SaveForm::MenuFile);
  Menu back;
  readMenu(file, "test.mnu", back, log);
  rle_decode(back, 0, log);
  EXPECT_EQ(*back.objects[0].picture, pic2);
  for (int e = 0; e < 255; ++e) EXPECT_EQ(back.palettes[0].ycc[e].y == 0, m.palettes[0].rgbt[e] == Rgbt{});
}

// A PNG whose header is rewritten to claim another size (the CRC is fixed up, so
// only the size is a lie): a few bytes that would decode to a huge picture.
core::Bytes withDeclaredSize(core::Bytes png, uint32_t w, uint32_t h) {
  // Signature (8), IHDR length (4), "IHDR" (4), width, height ...
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) png[at + i] = uint8_t(v >> (24 - 8 * i));
  };
  put32(16, w);
  put32(20, h);
  const uint32_t crc = uint32_t(crc32(0, png.data() + 12, 4 + 13));
  put32(29, crc);
  return png;
}

TEST(ObjectPng, OversizedAndBrokenPngsAreRefusedWithTheirReasonAndNothingOnStderr) {
  PaletteTable colours{};
  colours[1] = {200, 10, 10, 255};
  IndexedPicture one{1, 1, {1}};
  const core::Bytes huge = withDeclaredSize(writePalettePng(one, colours, "t"), 16384, 16384);
  ASSERT_LT(huge.size(), 2000u);

  // Refused from its header against the menu's video size.
  Menu m;
  newMenu(m);
  MenuPictures pictures;
  core::MemoryLog log;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(importObjectPng(m, pictures, huge, std::nullopt, std::nullopt, log));
  std::string problem;
  EXPECT_FALSE(readPalettePng(huge, &problem, 1920, 1080));
  // Truncated inside the picture data: libpng's complaint reaches the caller.
  core::Bytes cut = writePalettePng(IndexedPicture{64, 64, std::vector<uint8_t>(64 * 64, 1)}, colours, "t");
  cut.resize(cut.size() - 30);
  std::string cutProblem;
  EXPECT_FALSE(readPalettePng(cut, &cutProblem));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "");
  EXPECT_EQ(problem, "picture of 16384x16384 is larger than 1920x1080");
  EXPECT_NE(log.text().find("16384x16384"), std::string::npos) << log.text();
  EXPECT_EQ(log.errorText, "Not supported file format!");
  EXPECT_TRUE(m.objects.empty());
  EXPECT_TRUE(m.palettes.empty());
  EXPECT_EQ(cutProblem.rfind("bad PNG data: ", 0), 0u) << cutProblem;
  EXPECT_GT(cutProblem.size(), std::string("bad PNG data: ").size());
}

TEST(ObjectPng, RepeatedExportAndImportKeepsTheStoredColours) {
  Menu m;
  newMenu(m);
  const ColourMatrix mx = menuMatrix(m);
  // Stored Y/Cr/Cb values that do not come back unchanged through RGB.
  std::vector<Ycc> drifting;
  for (int y = 16; y < 236 && drifting.size() < 20; y += 7)
    for (int c = 16; c < 241 && drifting.size() < 20; c += 29) {
      const Ycc v{uint8_t(y), uint8_t(c), uint8_t(255 - c)};
      const Rgb8 rgb = ycc2rgb(v.y, v.cr, v.cb, mx);
      if (rgb2ycc(rgb.r, rgb.g, rgb.b, mx) != v) drifting.push_back(v);
    }
  ASSERT_GE(drifting.size(), 10u);

  MenuPictures pictures;
  core::MemoryLog log;
  IndexedPicture pic{20, 1, {}};
  for (int i = 0; i < 20; ++i) pic.pixels.push_back(uint8_t(1 + i % drifting.size()));
  PaletteTable start{};
  for (size_t i = 0; i < drifting.size(); ++i) {
    const Rgb8 rgb = ycc2rgb(drifting[i].y, drifting[i].cr, drifting[i].cb, mx);
    start[i + 1] = {rgb.r, rgb.g, rgb.b, 255};
  }
  ASSERT_TRUE(importObjectPng(m, pictures, writePalettePng(pic, start, "t"), std::nullopt, std::nullopt, log));
  for (size_t i = 0; i < drifting.size(); ++i) m.palettes[0].ycc[i + 1] = drifting[i];

  for (int cycle = 0; cycle < 5; ++cycle) {
    core::Bytes png = exportObjectPng(m, 0, 0, log);
    ASSERT_TRUE(importObjectPng(m, pictures, png, 0u, 0u, log));
  }
  for (size_t i = 0; i < drifting.size(); ++i) EXPECT_EQ(m.palettes[0].ycc[i + 1], drifting[i]) << "entry " << i + 1;

  // An entry whose colour did change takes the colour's own Y/Cr/Cb.
  PaletteTable changed = id2pal(m, 0);
  changed[3] = {1, 2, 3, 255};
  ASSERT_TRUE(importObjectPng(m, pictures, writePalettePng(*m.objects[0].picture, changed, "t"), 0u, 0u, log));
  EXPECT_EQ(m.palettes[0].ycc[3], rgb2ycc(1, 2, 3, mx));
  EXPECT_EQ(m.palettes[0].ycc[2], drifting[1]);
}

TEST(PaletteFiles, ActPxmlAndExtensions) {
  Menu m;
  newMenu(m);
  m.palettes.resize(2);
  m.palettes[1].rgbt[0] = {1, 2, 3, 4};
  m.palettes[1].ycc[0] = {5, 6, 7};
  m.palettes[1].rgbt[255] = {9, 8, 7, 6};
  core::Bytes act = paletteAct(m.palettes[1]);
  ASSERT_EQ(act.size(), 768u);
  EXPECT_EQ(act[0], 1);
  EXPECT_EQ(act[767], 7);
  std::string x = palettePxml(m.palettes[1]);
  EXPECT_EQ(x.substr(0, 97),
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\r\n"
            "<PaletteDefinition UseForm=\"YCrCb\">\r\n\r\n");
  EXPECT_NE(x.find("  <PaletteData PaletteEntryId=\"0\" UseForm=\"YCrCb\">\r\n    <R>1</R>\r\n    <G>2</G>\r\n"
                   "    <B>3</B>\r\n    <T>4</T>\r\n    <Y>5</Y>\r\n    <Cr>6</Cr>\r\n    <Cb>7</Cb>\r\n"
                   "  </PaletteData>\r\n"),
            std::string::npos);
  EXPECT_EQ(x.substr(x.size() - 42), "  </PaletteData>\r\n\r\n</PaletteDefinition>\r\n");
  // Every line ends in CR LF.
  for (size_t i = 0; i < x.size(); ++i)
    if (x[i] == '\n') ASSERT_EQ(x[i - 1], '\r');
  EXPECT_EQ(paletteFileName(7), "palette_007");
  EXPECT_EQ(paletteFileName(1234), "palette_1234");

  morvex::test::TempDir dir;
  core::MemoryLog log;
  ASSERT_TRUE(savePalette(m, 1, dir / "p.act", log));
  EXPECT_EQ(morvex::test::readFile(dir / "p.act"), act);
  ASSERT_TRUE(savePalette(m, 1, dir / "p.pxml", log));
  EXPECT_EQ(morvex::test::readFile(dir / "p.pxml").size(), x.size());
  ASSERT_TRUE(savePalette(m, 1, dir / "p.ACT", log));
  EXPECT_TRUE(morvex::test::readFile(dir / "p.ACT").empty());
}

TEST(Deleting, ObjectsAndPalettesWithTheirRefusals) {
  Menu m = twoPages();
  MenuPictures pics;
  core::MemoryLog log;
  Button& b = m.ics.pages[0].bogs[0].buttons[1];
  b.normalStart = 4;
  b.normalEnd = 6;
  b.selectedStart = 9;
  EXPECT_FALSE(deleteObjects(m, pics, 5, 1, log));
  EXPECT_EQ(log.errorText, "Cannot delete object. Remove all reference first.");
  // An unreferenced first object with a referenced one after it is refused too.
  EXPECT_FALSE(deleteObjects(m, pics, 3, 2, log));
  EXPECT_EQ(m.objects.size(), 12u);
  ASSERT_TRUE(deleteObjects(m, pics, 7, 2, log));
  ASSERT_EQ(m.objects.size(), 10u);
  EXPECT_EQ(m.objects[7].id, 7);
  EXPECT_EQ(m.ics.pages[0].bogs[0].buttons[1].selectedStart, 7);  // 9 moved up with its object
  EXPECT_EQ(m.ics.pages[0].bogs[0].buttons[1].normalEnd, 6);
  EXPECT_EQ(m.pageButtons[0][1].selectedStart, 7);
  EXPECT_EQ(pics.cache.size(), 10u);

  // Palettes: page 0 uses 0, page 1 uses 3 and an in-effect 3.
  m.ics.pages[1].paletteId = 3;
  Effect e;
  e.paletteId = 3;
  m.ics.pages[1].effects[0].effects.push_back(e);
  EXPECT_FALSE(deletePalettes(m, pics, 0, 1, log));
  EXPECT_EQ(log.errorText, "Cannot delete palette. Remove all reference first.");
  ASSERT_TRUE(deletePalettes(m, pics, 1, 2, log));
  EXPECT_EQ(m.palettes.size(), 2u);
  EXPECT_EQ(m.palettes[1].id, 1);
  EXPECT_EQ(m.ics.pages[1].paletteId, 1);
  EXPECT_EQ(m.ics.pages[1].effects[0].effects[0].paletteId, 1);
  EXPECT_EQ(m.ics.pages[0].paletteId, 0);
  m.palettes.resize(1);
  EXPECT_FALSE(deletePalettes(m, pics, 0, 1, log));
  EXPECT_EQ(log.errorText, "Cannot delete palette. Remove all objects first.");
}

TEST(Viewer, PalettePictureAndObjectInfo) {
  Menu m;
  newMenu(m);
  m.palettes.resize(1);
  m.palettes[0].rgbt[17] = {200, 100, 50, 255};
  m.palettes[0].rgbt[18] = {0, 0, 0, 0};
  RgbaImage img = paletteViewPicture(m, 0, Rgb8{10, 20, 30});
  ASSERT_EQ(img.width, 350);
  ASSERT_EQ(img.height, 180);
  auto at = [&](int x, int y) { return Rgb8{img.rgba[(y * 350 + x) * 4], img.rgba[(y * 350 + x) * 4 + 1], img.rgba[(y * 350 + x) * 4 + 2]}; };
  // Entry 17 is row 1, column 1: its cell starts at (20, 20).
  EXPECT_EQ(at(24, 24), (Rgb8{200, 100, 50}));
  EXPECT_EQ(at(20, 24), (Rgb8{0, 0, 0}));      // cell border
  EXPECT_EQ(at(20, 20), (Rgb8{10, 20, 30}));   // corner left out
  EXPECT_EQ(at(204, 24), (Rgb8{255, 255, 255}));  // opaque: white
  EXPECT_EQ(at(214, 24), (Rgb8{10, 20, 30}));     // entry 18 transparent: background
  GraphicsObject o;
  o.id = 0x2B;
  o.width = 1920;
  o.height = 1080;
  o.dataLength = 1234567;
  EXPECT_EQ(objectInfoText(o, 3),
            "Size: 1920x1080,  Object: 002B,  Palette: 03,  RLE pixel data: 1,234,567 (2,073,600)");
}

}  // namespace
}  // namespace morvex::igs

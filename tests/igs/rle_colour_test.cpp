// Run-length coding, colour conversion and coloured object pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "igs/colour.h"
#include "igs/reader.h"
#include "igs/rle.h"
#include "igs/writer.h"
#include "igs_test_util.h"

namespace morvex::igs {
namespace {

IndexedPicture picture(uint16_t w, uint16_t h, std::vector<uint8_t> px) { return {w, h, std::move(px)}; }

TEST(Rle, EncodingsUseTheShortestForms) {
  EXPECT_EQ(encodeRuns(picture(4, 1, {5, 5, 5, 0})), (core::Bytes{0x00, 0x83, 0x05, 0x00, 0x01, 0x00, 0x00}));
  EXPECT_EQ(encodeRuns(picture(3, 1, {9, 9, 4})), (core::Bytes{9, 9, 4, 0, 0}));
  EXPECT_EQ(encodeRuns(picture(100, 1, std::vector<uint8_t>(100, 7))), (core::Bytes{0x00, 0xC0, 0x64, 0x07, 0, 0}));
  // A one-pixel-wide row of index 0 takes four bytes.
  EXPECT_EQ(encodeRuns(picture(1, 2, {0, 0})), (core::Bytes{0, 1, 0, 0, 0, 1, 0, 0}));
  // 64 zeros need the 14-bit form, 63 do not.
  EXPECT_EQ(encodeRuns(picture(64, 1, std::vector<uint8_t>(64, 0))), (core::Bytes{0, 0x40, 0x40, 0, 0}));
  EXPECT_EQ(encodeRuns(picture(63, 1, std::vector<uint8_t>(63, 0))), (core::Bytes{0, 0x3F, 0, 0}));
  // Runs past 16383 pixels are split; a remainder of one pixel is a single byte.
  EXPECT_EQ(encodeRuns(picture(16384, 1, std::vector<uint8_t>(16384, 3))),
            (core::Bytes{0, 0xFF, 0xFF, 3, 3, 0, 0}));
}

TEST(Rle, DecodeOfEncodeIsTheIdentity) {
  std::mt19937 rng(42);
  std::vector<std::pair<uint16_t, uint16_t>> sizes = {{1, 1}, {1, 57}, {2, 3}, {63, 4}, {64, 4}, {65, 2},
                                                      {300, 17}, {1920, 3}, {20000, 2}, {16383, 1}, {16384, 1}};
  for (auto [w, h] : sizes) {
    for (int colours : {1, 2, 200}) {
      IndexedPicture p = test::randomPicture(rng, w, h, colours);
      core::MemoryLog log;
      IndexedPicture back = decodeRuns(encodeRuns(p), w, h, &log);
      EXPECT_EQ(back, p) << w << "x" << h;
      EXPECT_TRUE(log.lines.empty());
    }
  }
  // Very long runs and all-zero rows.
  IndexedPicture wide = picture(40000, 3, std::vector<uint8_t>(120000, 0));
  std::fill(wide.pixels.begin() + 40000, wide.pixels.begin() + 80000, 11);
  wide.pixels[80000 + 39999] = 1;
  EXPECT_EQ(decodeRuns(encodeRuns(wide), 40000, 3, nullptr), wide);
}

TEST(Rle, ShortLinesOverlongRunsAndTruncatedData) {
  // First line ends after 10 of 12 pixels.
  core::Bytes codes = {0, 0x8A, 4, 0, 0, 0, 0x8C, 6, 0, 0};
  core::MemoryLog log;
  IndexedPicture p = decodeRuns(codes, 12, 2, &log);
  ASSERT_EQ(log.plainLines(), std::vector<std::string>{"10,0"});
  EXPECT_EQ(p.pixels[9], 4);
  EXPECT_EQ(p.pixels[10], 0);
  EXPECT_EQ(p.pixels[11], 0);
  EXPECT_EQ(p.pixels[12], 6);
  // A run longer than the line is cut at the edge and the line ends with it; rows
  // below the picture are discarded.
  core::Bytes over = {0, 0x85, 2, 3, 0, 0, 0, 0x83, 8, 0, 0x83, 9};
  IndexedPicture q = decodeRuns(over, 4, 2, nullptr);
  EXPECT_EQ(q.pixels, (std::vector<uint8_t>{2, 2, 2, 2, 3, 0, 0, 0}));
  // A length of 0 in the colour form fills the rest of the line.
  IndexedPicture r = decodeRuns(core::Bytes{7, 0, 0x80, 5, 0, 0x81, 1}, 3, 2, nullptr);
  EXPECT_EQ(r.pixels, (std::vector<uint8_t>{7, 5, 5, 1, 0, 0}));
  // Data ending inside a code reads zeros.
  IndexedPicture t = decodeRuns(core::Bytes{0, 0xC0}, 3, 1, nullptr);
  EXPECT_EQ(t.pixels, (std::vector<uint8_t>{0, 0, 0}));
}

TEST(Colour, ConversionsFollowTheIntegerRules) {
  EXPECT_EQ(ycc2rgb(235, 128, 128), (Rgb8{255, 255, 255}));
  EXPECT_EQ(ycc2rgb(16, 128, 128), (Rgb8{0, 0, 0}));
  EXPECT_EQ(ycc2rgb(0, 255, 0), (Rgb8{184, 0, 0}));
  EXPECT_EQ(ycc2rgb(255, 16, 16), (Rgb8{99, 255, 52}));
  EXPECT_EQ(rgb2ycc(255, 255, 255), (Ycc{235, 128, 128}));
  EXPECT_EQ(rgb2ycc(0, 0, 255), (Ycc{41, 111, 240}));
  EXPECT_EQ(rgb2ycc(255, 0, 0), (Ycc{82, 240, 91}));
  EXPECT_EQ(rgb2ycc(0, 0, 0), (Ycc{16, 128, 128}));
}

// Both matrices against the defining equations in floating point (limited range,
// Kr/Kb of BT.601 and BT.709): every conversion lies within one level of them (one and
// a half, two from RGB, where the integer rule truncates a negative sum toward zero),
// and the matrix follows the menu's video size.
TEST(Colour, EachMatrixMatchesItsDefinitionAndFollowsTheVideoSize) {
  struct K {
    ColourMatrix m;
    double kr, kb;
  };
  for (const K k : {K{ColourMatrix::Bt601, 0.299, 0.114}, K{ColourMatrix::Bt709, 0.2126, 0.0722}}) {
    const double kg = 1 - k.kr - k.kb;
    for (int y = 16; y <= 235; y += 9)
      for (int cr = 16; cr <= 240; cr += 14)
        for (int cb = 16; cb <= 240; cb += 14) {
          const double Y = (y - 16) * 255.0 / 219, Pr = (cr - 128) * 255.0 / 224, Pb = (cb - 128) * 255.0 / 224;
          const double r = Y + 2 * (1 - k.kr) * Pr, b = Y + 2 * (1 - k.kb) * Pb, g = (Y - k.kr * r - k.kb * b) / kg;
          const Rgb8 got = ycc2rgb(uint8_t(y), uint8_t(cr), uint8_t(cb), k.m);
          auto near = [](int v, double want) { return std::abs(v - std::clamp(want, 0.0, 255.0)) <= 1.5; };
          ASSERT_TRUE(near(got.r, r) && near(got.g, g) && near(got.b, b))
              << int(k.m) << ": " << y << "," << cr << "," << cb << " -> " << int(got.r) << "," << int(got.g) << ","
              << int(got.b) << " (want " << r << "," << g << "," << b << ")";
        }
    for (int r = 0; r < 256; r += 17)
      for (int g = 0; g < 256; g += 17)
        for (int b = 0; b < 256; b += 17) {
          const double Y = k.kr * r + kg * g + k.kb * b;
          const double y = 16 + Y * 219 / 255, cb = 128 + (b - Y) / (2 * (1 - k.kb)) * 224 / 255,
                       cr = 128 + (r - Y) / (2 * (1 - k.kr)) * 224 / 255;
          const Ycc got = rgb2ycc(uint8_t(r), uint8_t(g), uint8_t(b), k.m);
          ASSERT_LE(std::abs(got.y - y), 2.0) << int(k.m) << ": " << r << "," << g << "," << b;
          ASSERT_LE(std::abs(got.cr - cr), 2.0) << int(k.m) << ": " << r << "," << g << "," << b;
          ASSERT_LE(std::abs(got.cb - cb), 2.0) << int(k.m) << ": " << r << "," << g << "," << b;
        }
  }
  EXPECT_EQ(matrixForHeight(1080), ColourMatrix::Bt709);
  EXPECT_EQ(matrixForHeight(720), ColourMatrix::Bt709);
  EXPECT_EQ(matrixForHeight(576), ColourMatrix::Bt601);
  EXPECT_EQ(matrixForHeight(480), ColourMatrix::Bt601);

  // Reading picks the matrix by the composition's size; the stored bytes stay.
  Menu hd = test::syntheticMenu(3);
  Menu sd = hd;
  sd.ics.width = 720, sd.ics.height = 576;
  core::MemoryLog log;
  Menu hdBack, sdBack;
  ASSERT_TRUE(readMenu(writeMenu(hd, SaveForm::MenuFile), "hd.mnu", hdBack, log).usable());
  ASSERT_TRUE(readMenu(writeMenu(sd, SaveForm::MenuFile), "sd.mnu", sdBack, log).usable());
  const Ycc& stored = hd.palettes[0].ycc[40];
  ASSERT_EQ(hdBack.palettes[0].ycc[40], stored);
  ASSERT_EQ(sdBack.palettes[0].ycc[40], stored);
  const Rgbt a = hdBack.palettes[0].rgbt[40], b = sdBack.palettes[0].rgbt[40];
  EXPECT_EQ((Rgb8{a.r, a.g, a.b}), ycc2rgb(stored.y, stored.cr, stored.cb, ColourMatrix::Bt709));
  EXPECT_EQ((Rgb8{b.r, b.g, b.b}), ycc2rgb(stored.y, stored.cr, stored.cb, ColourMatrix::Bt601));
  EXPECT_NE((Rgb8{a.r, a.g, a.b}), (Rgb8{b.r, b.g, b.b}));
}

TEST(Colour, ObjectsAreColouredOncePerPalette) {
  Menu m = test::syntheticMenu();
  MenuPictures pics;
  core::MemoryLog log;
  // Keep only the encoded data, as after a load.
  core::Bytes data = encodeRuns(*m.objects[1].picture);
  IndexedPicture original = *m.objects[1].picture;
  m.objects[1].picture.reset();
  m.objects[1].fragments = {Fragment{0, 3, uint32_t(m.work.size()), uint32_t(data.size())}};
  m.work.insert(m.work.end(), data.begin(), data.end());

  const RgbaImage& img = objectPicture(m, pics, 1, 1, log);
  ASSERT_EQ(img.width, original.width);
  ASSERT_EQ(img.height, original.height);
  PaletteTable pal = id2pal(m, 1);
  for (size_t i = 0; i < original.pixels.size(); ++i) {
    const Rgbt& e = pal[original.pixels[i]];
    ASSERT_EQ(img.rgba[i * 4 + 0], e.r);
    ASSERT_EQ(img.rgba[i * 4 + 3], e.t);
  }
  RgbaImage first = img;
  // Change the stored data: a cached colouring does not decode again...
  m.objects[1].picture.reset();
  EXPECT_EQ(objectPicture(m, pics, 1, 1, log), first);
  EXPECT_FALSE(m.objects[1].picture.has_value());
  // ...until the object is invalidated.
  m.objects[1].picture = picture(original.width, original.height, std::vector<uint8_t>(original.pixels.size(), 1));
  invalidateObject(pics, 1);
  const RgbaImage& again = objectPicture(m, pics, 1, 1, log);
  EXPECT_EQ(again.rgba[3], pal[1].t);
  // Cropping takes the rectangle of the whole picture.
  const RgbaImage& crop = objectPictureCropped(m, pics, 1, 0, 1, 1, 3, 4, log);
  EXPECT_EQ(crop.width, 2);
  EXPECT_EQ(crop.height, 3);
  EXPECT_EQ(crop.rgba[0], m.palettes[0].rgbt[1].r);
  // Unknown objects and palettes do not crash.
  EXPECT_EQ(objectPicture(m, pics, 999, 0, log).width, 0);
  EXPECT_EQ(objectPicture(m, pics, 0, 77, log).rgba[3], 0);
}

TEST(Colour, PaletteReadout) {
  EXPECT_EQ(paletteEntryAt(11, 11), 0);
  // The edge pixel 171 still belongs to the grid and selects past entry 255.
  EXPECT_EQ(paletteEntryAt(171, 171), 272);
  EXPECT_EQ(paletteReadout(1, PaletteTable{}, 272), "Palette: 01 (1)");
  EXPECT_EQ(paletteEntryAt(181 + 25, 11 + 10), 18);
  EXPECT_EQ(paletteEntryAt(175, 50), -1);
  EXPECT_EQ(paletteEntryAt(50, 5), -1);
  PaletteTable t{};
  t[18] = {255, 16, 1, 64};
  EXPECT_EQ(paletteReadout(3, t, 18),
            "Palette: 03 (3)      Color: 12 (18)      RGB: #FF1001  (255,16,1)      Opacity: 40 (64)      "
            "Transparency: BF (191)  74%");
  EXPECT_EQ(paletteTitle(10), "Palette: 0A (10)");
}

}  // namespace
}  // namespace morvex::igs

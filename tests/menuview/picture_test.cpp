// Pictures, blending, overlay labels, fit-to-window mapping and picture files.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstring>

#include "core/text.h"
#include "menuview/background.h"
#include "menuview/image.h"
#include "menuview/overlay.h"
#include "menuview/picture_io.h"
#include "support/test_support.h"

using namespace morvex::menuview;

TEST(MenuImage, BlendMixesByAlphaAndKeepsPageOpaque) {
  Image page(4, 1, Rgba{0, 0, 128, 255});
  Image obj(3, 1);
  obj.setPixel(0, 0, Rgba{255, 255, 255, 255});  // opaque covers
  obj.setPixel(1, 0, Rgba{255, 0, 0, 128});      // half transparent mixes
  obj.setPixel(2, 0, Rgba{255, 255, 0, 0});      // transparent leaves the page
  page.blend(obj, 1, 0);
  EXPECT_EQ(page.pixel(0, 0), (Rgba{0, 0, 128, 255}));
  EXPECT_EQ(page.pixel(1, 0), (Rgba{255, 255, 255, 255}));
  // 255*128/255 = 128; blue 128*(127)/255 = 63.75 -> 64
  EXPECT_EQ(page.pixel(2, 0), (Rgba{128, 0, 64, 255}));
  EXPECT_EQ(page.pixel(3, 0), (Rgba{0, 0, 128, 255}));
}

TEST(MenuImage, BlendAndCopyClipAtEdges) {
  Image page(10, 10, Rgba{1, 2, 3, 255});
  Image obj(4, 4, Rgba{9, 9, 9, 255});
  page.blend(obj, -2, 8);  // only the 2 x 2 corner lands
  int covered = 0;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) covered += page.pixel(x, y) == Rgba{9, 9, 9, 255};
  EXPECT_EQ(covered, 4);
  EXPECT_EQ(page.pixel(1, 9), (Rgba{9, 9, 9, 255}));

  Image bg(10, 10, Rgba{7, 7, 7, 255});
  page.copyRect(bg, -5, 8, 3, 50);  // right and bottom exclusive, clipped
  EXPECT_EQ(page.pixel(0, 8), (Rgba{7, 7, 7, 255}));
  EXPECT_EQ(page.pixel(2, 9), (Rgba{7, 7, 7, 255}));
  EXPECT_EQ(page.pixel(3, 9), (Rgba{1, 2, 3, 255}));
  EXPECT_EQ(page.pixel(0, 7), (Rgba{1, 2, 3, 255}));
}

TEST(MenuImage, FrameIsOnePixelInsideTheExclusiveCorner) {
  Image page(8, 8, Rgba{0, 0, 0, 255});
  const Rgba red{255, 0, 0, 255};
  page.frame(2, 2, 6, 5, red);  // columns 2..5, rows 2..4
  EXPECT_EQ(page.pixel(2, 2), red);
  EXPECT_EQ(page.pixel(5, 4), red);
  EXPECT_EQ(page.pixel(5, 3), red);
  EXPECT_EQ(page.pixel(3, 3), (Rgba{0, 0, 0, 255}));  // inside stays
  EXPECT_EQ(page.pixel(6, 4), (Rgba{0, 0, 0, 255}));  // right edge exclusive
  EXPECT_EQ(page.pixel(3, 5), (Rgba{0, 0, 0, 255}));  // bottom edge exclusive
}

TEST(MenuImage, CropReadsTheRectangle) {
  Image obj(200, 50);
  for (int x = 0; x < 200; ++x) obj.setPixel(x, 0, Rgba{uint8_t(x), 0, 0, 255});
  Image c = obj.crop(10, 0, 110, 50);
  ASSERT_EQ(c.width(), 100);
  ASSERT_EQ(c.height(), 50);
  EXPECT_EQ(c.pixel(0, 0).r, 10);
  EXPECT_EQ(c.pixel(99, 0).r, 109);
}

TEST(MenuOverlay, HexLabelDrawsFourDistinctDigits) {
  EXPECT_EQ(morvex::core::hexField(0xA3, 4), "00A3");
  EXPECT_EQ(morvex::core::hexField(0x1FFFF, 4), "FFFF");
  EXPECT_EQ(morvex::core::hexField(0x105, 2), "05");
  const Rgba bg{255, 255, 0, 255}, ink{0, 0, 0, 255}, page{0, 0, 128, 255};
  Image a(60, 30, page), b(60, 30, page);
  drawHexLabel(a, 3, 3, 0x0001, bg, ink, 8);
  drawHexLabel(b, 3, 3, 0x0008, bg, ink, 8);
  // The box is the label colour, nothing is drawn beyond it.
  EXPECT_EQ(a.pixel(3, 3), bg);
  EXPECT_EQ(a.pixel(3 + labelWidth(8), 3), page);
  EXPECT_EQ(a.pixel(3, 3 + labelHeight(8)), page);
  EXPECT_EQ(a.pixel(2, 3), page);
  // The first three digits are equal, the last one differs.
  EXPECT_EQ(a.crop(3, 3, 3 + 18, 12), b.crop(3, 3, 3 + 18, 12));
  EXPECT_NE(a.crop(3 + 18, 3, 3 + labelWidth(8), 12), b.crop(3 + 18, 3, 3 + labelWidth(8), 12));
  int inkPixels = 0;
  for (const Rgba& p : a.pixels()) inkPixels += p == ink;
  EXPECT_GT(inkPixels, 20);
  // Size 16 doubles the label.
  EXPECT_EQ(labelWidth(16), 2 * labelWidth(8));
  Image big(100, 40, page);
  drawHexLabel(big, 0, 0, 0x0001, bg, ink, 16);
  EXPECT_EQ(big.pixel(labelWidth(16) - 1, labelHeight(16) - 1), bg);
}

TEST(MenuOverlay, FitToWindowAndMouseMapping) {
  FitRect f = fitToWindow(962, 542);
  EXPECT_EQ(f, (FitRect{1, 1, 960, 540}));
  EXPECT_EQ(mapToPage(f, 480, 270), (PagePoint{960, 540}));
  // A tall view: the width rules, centred vertically.
  f = fitToWindow(962, 802);
  EXPECT_EQ(f, (FitRect{1, 1 + (800 - 540) / 2, 960, 540}));
  // A wide view: the height rules, centred horizontally.
  f = fitToWindow(1602, 542);
  EXPECT_EQ(f, (FitRect{1 + (1600 - 960) / 2, 1, 960, 540}));
  EXPECT_EQ(mapToPage(f, 959, 539), (PagePoint{1918, 1078}));
  // A view smaller than its border shows nothing and maps to the origin.
  f = fitToWindow(2, 100);
  EXPECT_EQ(f.width, 0);
  EXPECT_EQ(mapToPage(f, 5, 5), (PagePoint{0, 0}));
}

TEST(MenuPictureFiles, PngRoundTripKeepsTransparency) {
  Image img(3, 2, Rgba{10, 20, 30, 255});
  img.setPixel(1, 1, Rgba{200, 100, 50, 128});
  img.setPixel(2, 0, Rgba{0, 0, 0, 0});
  morvex::core::Bytes png;
  std::string err;
  ASSERT_TRUE(encodePng(img, png, err)) << err;
  Image back;
  ASSERT_TRUE(decodePng(png, back, err)) << err;
  EXPECT_EQ(back, img);
  // A header claiming far more pixels than the data could hold is refused before
  // anything is allocated for it.
  morvex::core::Bytes huge = png;
  const uint8_t dims[8] = {0, 0, 0x3E, 0x80, 0, 0, 0x3E, 0x80};  // 16000 x 16000
  std::copy(dims, dims + 8, huge.begin() + 16);
  const uLong crc = crc32(crc32(0, huge.data() + 12, 4), huge.data() + 16, 13);
  for (int i = 0; i < 4; ++i) huge[29 + i] = uint8_t(crc >> (24 - 8 * i));
  EXPECT_FALSE(decodePng(huge, back, err));
  EXPECT_NE(err.find("16000x16000"), std::string::npos) << err;
  // Garbage is refused with the library's message.
  morvex::core::Bytes junk(png.begin(), png.begin() + 20);
  EXPECT_FALSE(decodePng(junk, back, err));
  EXPECT_FALSE(err.empty());
}

// A flat picture compresses far better than a photograph: a plain black frame of a
// few kilobytes is still a frame, and is taken. Only pictures beyond the frame are
// weighed, by the memory their pixels would take.
TEST(MenuPictureFiles, AFlatFramePictureIsTakenAndOnlyLargerOnesAreWeighed) {
  std::string err;
  for (Rgba colour : {Rgba{0, 0, 0, 255}, Rgba{0, 0, 40, 255}}) {
    morvex::core::Bytes png;
    ASSERT_TRUE(encodePng(Image(1920, 1080, colour), png, err)) << err;
    Image back;
    ASSERT_TRUE(decodePng(png, back, err)) << err;
    EXPECT_EQ(back.width(), 1920);
    EXPECT_EQ(back.pixel(1919, 1079), colour);
  }
  // A palette picture of the frame's size, written by libpng itself.
  {
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    img.width = 1920;
    img.height = 1080;
    img.format = PNG_FORMAT_RGB_COLORMAP;
    img.colormap_entries = 1;
    const std::vector<uint8_t> pixels(1920 * 1080, 0);
    const uint8_t map[3] = {0, 0, 0};
    png_alloc_size_t size = 0;
    ASSERT_TRUE(png_image_write_to_memory(&img, nullptr, &size, 0, pixels.data(), 0, map));
    morvex::core::Bytes png(size);
    ASSERT_TRUE(png_image_write_to_memory(&img, png.data(), &size, 0, pixels.data(), 0, map));
    png.resize(size);
    // Far smaller than a guard by file size would let through for a frame.
    EXPECT_LT(png.size(), (1920u * 1080 * 4 - (1u << 20)) / 1100);
    Image back;
    ASSERT_TRUE(decodePng(png, back, err)) << err;
    EXPECT_EQ(back.height(), 1080);
  }
  // 8192 x 8192 would take 256 MiB: refused, and the message says it is the memory.
  morvex::core::Bytes small;
  ASSERT_TRUE(encodePng(Image(2, 2, Rgba{1, 2, 3, 255}), small, err));
  morvex::core::Bytes big = small;
  const uint8_t dims[8] = {0, 0, 0x20, 0, 0, 0, 0x20, 0};
  std::copy(dims, dims + 8, big.begin() + 16);
  const uLong crc = crc32(crc32(0, big.data() + 12, 4), big.data() + 16, 13);
  for (int i = 0; i < 4; ++i) big[29 + i] = uint8_t(crc >> (24 - 8 * i));
  Image back;
  EXPECT_FALSE(decodePng(big, back, err));
  EXPECT_NE(err.find("8192x8192 would take 256 MiB, more than the 128 MiB"), std::string::npos) << err;
}

static morvex::core::Bytes makeBmp(int w, int h, int bpp, const std::vector<uint8_t>& rows, bool topDown,
                                   const std::vector<uint8_t>& table = {}) {
  morvex::core::Bytes b(54 + table.size());
  auto le = [&](size_t o, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b[o + i] = uint8_t(v >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  le(2, uint32_t(b.size() + rows.size()), 4);
  le(10, uint32_t(54 + table.size()), 4);
  le(14, 40, 4);
  le(18, uint32_t(w), 4);
  le(22, uint32_t(topDown ? -h : h), 4);
  le(26, 1, 2);
  le(28, uint32_t(bpp), 2);
  le(46, uint32_t(table.size() / 4), 4);
  std::copy(table.begin(), table.end(), b.begin() + 54);
  b.insert(b.end(), rows.begin(), rows.end());
  return b;
}

TEST(MenuPictureFiles, BitmapsBottomUpTopDownAndIndexed) {
  // 2 x 2, 24 bits, bottom-up: the first stored row is the bottom one; rows pad to 4.
  std::vector<uint8_t> rows = {0, 0, 255, 0, 255, 0, 0, 0,      // bottom: red, green
                               255, 0, 0, 255, 255, 255, 0, 0};  // top: blue, white
  Image img;
  std::string err;
  ASSERT_TRUE(decodeBmp(makeBmp(2, 2, 24, rows, false), img, err)) << err;
  EXPECT_EQ(img.pixel(0, 1), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(img.pixel(1, 1), (Rgba{0, 255, 0, 255}));
  EXPECT_EQ(img.pixel(0, 0), (Rgba{0, 0, 255, 255}));
  ASSERT_TRUE(decodeBmp(makeBmp(2, 2, 24, rows, true), img, err)) << err;
  EXPECT_EQ(img.pixel(0, 0), (Rgba{255, 0, 0, 255}));

  // 4 bits with a two-entry table: pixel indices 1, 0, 1.
  std::vector<uint8_t> table = {0, 0, 0, 0, 0x40, 0x80, 0xC0, 0};
  ASSERT_TRUE(decodeBmp(makeBmp(3, 1, 4, {0x10, 0x10, 0, 0}, false, table), img, err)) << err;
  EXPECT_EQ(img.pixel(0, 0), (Rgba{0xC0, 0x80, 0x40, 255}));
  EXPECT_EQ(img.pixel(1, 0), (Rgba{0, 0, 0, 255}));
  EXPECT_EQ(img.pixel(2, 0), (Rgba{0xC0, 0x80, 0x40, 255}));

  // Truncated pixel data and compressed bitmaps are refused, not read past the end.
  auto shortBmp = makeBmp(2, 2, 24, rows, false);
  shortBmp.resize(shortBmp.size() - 3);
  EXPECT_FALSE(decodeBmp(shortBmp, img, err));
  auto rle = makeBmp(2, 2, 24, rows, false);
  rle[30] = 1;
  EXPECT_FALSE(decodeBmp(rle, img, err));
}

TEST(MenuBackground, ColourBuiltInAndUserPictures) {
  DisplayOptions opt;
  std::string err;
  Image bg = buildBackground(opt, err);
  EXPECT_TRUE(err.empty());
  ASSERT_EQ(bg.width(), kPageWidth);
  ASSERT_EQ(bg.height(), kPageHeight);
  // The centre of the built-in picture is transparent: the navy shows through.
  EXPECT_EQ(bg.pixel(900, 500), (Rgba{0, 0, 128, 255}));
  // The built-in picture has both transparent and partly covering pixels.
  const Image& builtIn = builtInBackground();
  EXPECT_EQ(builtIn.pixel(900, 500).a, 0);
  EXPECT_GT(builtIn.pixel(0, 0).a, 0);
  EXPECT_LT(builtIn.pixel(0, 0).a, 255);

  morvex::test::TempDir tmp;
  Image user(4, 4, Rgba{255, 255, 255, 128});
  user.setPixel(0, 0, Rgba{255, 0, 0, 255});
  const morvex::core::WriteResult saved = savePng(user, tmp / "BACK.PNG");
  ASSERT_TRUE(saved) << saved.error;
  opt.background = true;
  opt.backgroundFile = (tmp / "BACK.PNG").string();
  opt.colBackground = Rgba{0, 0, 0, 255};
  bg = buildBackground(opt, err);
  EXPECT_TRUE(err.empty()) << err;
  EXPECT_EQ(bg.pixel(0, 0), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(bg.pixel(1, 1), (Rgba{128, 128, 128, 255}));
  EXPECT_EQ(bg.pixel(4, 4), (Rgba{0, 0, 0, 255}));  // beyond the picture: the colour, no built-in

  opt.backgroundFile = (tmp / "missing.bmp").string();
  bg = buildBackground(opt, err);
  EXPECT_FALSE(err.empty());
  EXPECT_EQ(bg.pixel(900, 500), (Rgba{0, 0, 0, 255}));
  EXPECT_EQ(bg.pixel(0, 0), blendPixel(Rgba{0, 0, 0, 255}, builtIn.pixel(0, 0)));
}

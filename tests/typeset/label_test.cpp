// Menu labels set from real fonts found by fontconfig (DejaVu Sans, which the build
// machines install, covers Latin, Arabic and Hebrew).
#include "typeset/label.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace morvex::typeset {
namespace {

using menuview::Image;
using menuview::Rgba;

FontFace dejaVu() {
  std::string error;
  auto face = findFont("DejaVu Sans", error);
  if (!face) ADD_FAILURE() << "DejaVu Sans not found: " << error;
  return face.value_or(FontFace{});
}

struct Ink {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // right and bottom inclusive
  long long alphaSum = 0;
  int pixels = 0;
};
Ink inkOf(const Image& img) {
  Ink ink;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (const Rgba p = img.pixel(x, y); p.a) {
        ink.left = std::min(ink.left, x), ink.right = std::max(ink.right, x);
        ink.top = std::min(ink.top, y), ink.bottom = std::max(ink.bottom, y);
        ink.alphaSum += p.a;
        ++ink.pixels;
      }
  return ink;
}

TEST(FindFont, NamesPatternsAndFiles) {
  std::string error;
  auto regular = findFont("DejaVu Sans", error);
  ASSERT_TRUE(regular) << error;
  EXPECT_EQ(regular->family, "DejaVu Sans");
  EXPECT_FALSE(regular->substituted);
  EXPECT_TRUE(std::filesystem::is_regular_file(regular->file)) << regular->file;

  auto bold = findFont("DejaVu Sans:bold", error);
  ASSERT_TRUE(bold) << error;
  EXPECT_EQ(bold->family, "DejaVu Sans");
  EXPECT_EQ(bold->style, "Bold");
  EXPECT_NE(bold->file, regular->file);

  // A path to the file gives the same face, named as fontconfig names it.
  auto byPath = findFont(bold->file.string(), error);
  ASSERT_TRUE(byPath) << error;
  EXPECT_EQ(byPath->file, bold->file);
  EXPECT_EQ(byPath->family, "DejaVu Sans");
  EXPECT_EQ(byPath->style, "Bold");

  // Generic names and the empty pattern are answered by the system's choice, which is
  // not a substitution.
  for (const char* generic : {"", "sans-serif", "serif", "monospace"}) {
    auto f = findFont(generic, error);
    ASSERT_TRUE(f) << generic << ": " << error;
    EXPECT_FALSE(f->substituted) << generic;
    EXPECT_FALSE(f->family.empty()) << generic;
  }
}

TEST(FindFont, UnknownFamilyFallsBackAndSaysSo) {
  std::string error;
  auto f = findFont("Qwzx Nonexistent Grotesk", error);
  ASSERT_TRUE(f) << error;
  EXPECT_TRUE(f->substituted);
  EXPECT_NE(f->family, "Qwzx Nonexistent Grotesk");
  EXPECT_FALSE(f->family.empty());
  EXPECT_TRUE(std::filesystem::is_regular_file(f->file));
}

TEST(FindFont, MissingOrUnreadableFileIsRefused) {
  std::string error;
  EXPECT_FALSE(findFont("/nonexistent/fonts/Missing.ttf", error));
  EXPECT_NE(error.find("/nonexistent/fonts/Missing.ttf"), std::string::npos) << error;

  const auto notFont = std::filesystem::temp_directory_path() / "morvex_typeset_not_a_font.ttf";
  std::ofstream(notFont) << "this is plain text, not a font\n";
  error.clear();
  EXPECT_FALSE(findFont(notFont.string(), error));
  EXPECT_NE(error.find("not a font"), std::string::npos) << error;
  std::filesystem::remove(notFont);

  // setLabel with a face that cannot be opened names the label and the file.
  FontFace gone{"/nonexistent/fonts/Missing.ttf", 0, "", ""};
  SetLabel set = setLabel(gone, "Play", LabelStyle{});
  EXPECT_FALSE(set.ok);
  EXPECT_NE(set.error.find("\"Play\""), std::string::npos) << set.error;
  EXPECT_NE(set.error.find("Missing.ttf"), std::string::npos) << set.error;
}

// The natural width of a label on one line at one size, in a tight box.
int naturalWidth(const FontFace& face, const std::string& text, int px) {
  LabelStyle s;
  s.pixelSize = s.minPixelSize = px;
  SetLabel set = setLabel(face, text, s);
  EXPECT_TRUE(set.ok) << set.error;
  return set.image.width();
}

TEST(SetLabel, ShrinksThenWrapsThenRefuses) {
  const FontFace face = dejaVu();
  const std::string text = "Play the whole film";
  const int at48 = naturalWidth(face, text, 48);
  const int at24 = naturalWidth(face, text, 24);
  ASSERT_GT(at48, at24);

  LabelStyle s;
  s.maxHeight = 200;

  // Fits as it is: 48 px, one line.
  s.maxWidth = at48 + 10;
  SetLabel set = setLabel(face, text, s);
  ASSERT_TRUE(set.ok) << set.error;
  EXPECT_EQ(set.pixelSize, 48);
  EXPECT_EQ(set.lines, 1);
  EXPECT_EQ(set.image.width(), s.maxWidth);
  EXPECT_EQ(set.image.height(), s.maxHeight);

  // A little too narrow: shrunk on one line, to the largest size that fits.
  s.maxWidth = at48 * 3 / 4;
  set = setLabel(face, text, s);
  ASSERT_TRUE(set.ok) << set.error;
  EXPECT_EQ(set.lines, 1);
  EXPECT_LT(set.pixelSize, 48);
  EXPECT_GT(set.pixelSize, 24);
  EXPECT_LE(naturalWidth(face, text, set.pixelSize), s.maxWidth);
  EXPECT_GT(naturalWidth(face, text, set.pixelSize + 1), s.maxWidth);

  // Too narrow for one line even at 24 px: wrapped onto two, at a larger size again.
  s.maxWidth = at24 * 2 / 3;
  set = setLabel(face, text, s);
  ASSERT_TRUE(set.ok) << set.error;
  EXPECT_EQ(set.lines, 2);
  EXPECT_GE(set.pixelSize, 24);
  EXPECT_EQ(set.image.width(), s.maxWidth);
  // Nothing of the text was cut at the box's edges: the same label set without a
  // height limit (a tight box, as wide as its ink) has as much ink, and is no wider.
  LabelStyle tight = s;
  tight.maxHeight = 0;
  SetLabel open = setLabel(face, text, tight);
  ASSERT_TRUE(open.ok) << open.error;
  EXPECT_EQ(open.pixelSize, set.pixelSize);
  EXPECT_EQ(open.lines, 2);
  EXPECT_LE(open.image.width(), s.maxWidth);
  EXPECT_LE(open.image.height(), s.maxHeight);
  EXPECT_EQ(inkOf(open.image).alphaSum, inkOf(set.image).alphaSum);
  EXPECT_GT(inkOf(set.image).pixels, 0);

  // One line only: refused, naming the label, the box and the smallest size.
  s.maxLines = 1;
  set = setLabel(face, text, s);
  EXPECT_FALSE(set.ok);
  EXPECT_NE(set.error.find("\"Play the whole film\""), std::string::npos) << set.error;
  EXPECT_NE(set.error.find(std::to_string(s.maxWidth) + " x 200"), std::string::npos) << set.error;
  EXPECT_NE(set.error.find("24 px"), std::string::npos) << set.error;

  // A word wider than the box cannot be broken: refused even with lines to spare.
  s.maxLines = 4;
  s.maxWidth = naturalWidth(face, "whole", 24) - 5;
  set = setLabel(face, text, s);
  EXPECT_FALSE(set.ok);

  // Too low for two lines: the height limit counts as well.
  s.maxLines = 2;
  s.maxWidth = at24 * 2 / 3;
  s.maxHeight = 40;
  set = setLabel(face, text, s);
  EXPECT_FALSE(set.ok) << "two lines set in " << set.image.height() << " px";
}

TEST(SetLabel, CjkWrapsBetweenCharactersLatinOnlyAtSpaces) {
  const FontFace face = dejaVu();
  // DejaVu has no Han glyphs: the characters come out as the font's empty boxes and
  // are counted, but they still break like Han.
  const std::string han = "\xE6\xBC\xA2\xE5\xAD\x97\xE6\xBC\xA2\xE5\xAD\x97\xE6\xBC\xA2\xE5\xAD\x97";  // 漢字漢字漢字
  const std::string latin = "Chapterselection";
  LabelStyle s;
  s.minPixelSize = 24;
  s.maxWidth = naturalWidth(face, han, 24) * 2 / 3;
  SetLabel set = setLabel(face, han, s);
  ASSERT_TRUE(set.ok) << set.error;
  EXPECT_EQ(set.lines, 2);
  EXPECT_EQ(set.missingGlyphs, 6);

  s.maxWidth = naturalWidth(face, latin, 24) * 2 / 3;
  set = setLabel(face, latin, s);
  EXPECT_FALSE(set.ok);
  set = setLabel(face, "Chapter selection", s);
  EXPECT_TRUE(set.ok) << set.error;
  EXPECT_EQ(set.lines, 2);
  EXPECT_EQ(set.missingGlyphs, 0);
}

TEST(SetLabel, NewlinesBreakLinesAndCountAgainstTheLimit) {
  const FontFace face = dejaVu();
  LabelStyle s;
  SetLabel one = setLabel(face, "Scenes", s);
  SetLabel two = setLabel(face, "Scenes\nSetup", s);
  ASSERT_TRUE(one.ok && two.ok) << one.error << two.error;
  EXPECT_EQ(one.lines, 1);
  EXPECT_EQ(two.lines, 2);
  EXPECT_EQ(two.pixelSize, 48);
  EXPECT_GT(two.image.height(), one.image.height() * 3 / 2);
  // CR LF line ends read as one break.
  SetLabel crlf = setLabel(face, "Scenes\r\nSetup", s);
  EXPECT_EQ(crlf.image, two.image);

  s.maxLines = 1;
  SetLabel refused = setLabel(face, "Scenes\nSetup", s);
  EXPECT_FALSE(refused.ok);
  EXPECT_NE(refused.error.find("2 lines of its own"), std::string::npos) << refused.error;
}

TEST(SetLabel, EmptyLabelIsABlankPicture) {
  const FontFace face = dejaVu();
  LabelStyle s;
  s.maxWidth = 300, s.maxHeight = 60;
  SetLabel set = setLabel(face, "", s);
  EXPECT_TRUE(set.ok) << set.error;
  EXPECT_EQ(set.image.width(), 300);
  EXPECT_EQ(set.image.height(), 60);
  EXPECT_EQ(inkOf(set.image).pixels, 0);
  set = setLabel(face, "", LabelStyle{});
  EXPECT_TRUE(set.ok);
  EXPECT_TRUE(set.image.empty());
}

// Glyph ids of each code point shaped on its own, as a renderer without shaping would
// draw them.
std::vector<unsigned> isolatedGlyphs(const FontFace& face, const std::u32string& cps) {
  std::vector<unsigned> out;
  for (char32_t c : cps) {
    std::string one;
    if (c < 0x800) one = {char(0xC0 | (c >> 6)), char(0x80 | (c & 0x3F))};
    else one = {char(0xE0 | (c >> 12)), char(0x80 | ((c >> 6) & 0x3F)), char(0x80 | (c & 0x3F))};
    auto g = shapeLine(face, one, 48);
    EXPECT_EQ(g.size(), 1u);
    if (!g.empty()) out.push_back(g[0].glyphId);
  }
  return out;
}

TEST(Shaping, ArabicJoinsAndRunsRightToLeft) {
  const FontFace face = dejaVu();
  // "marhaban": meem, reh, hah, beh, alef.
  const std::string word = "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7";
  auto shaped = shapeLine(face, word, 48);
  ASSERT_EQ(shaped.size(), 5u);
  // Display order is the reverse of reading order: alef leftmost, meem rightmost.
  for (size_t i = 0; i < shaped.size(); ++i) EXPECT_EQ(shaped[i].cluster, 4 - i) << i;
  // Joined letters take their initial, medial and final forms, not the isolated ones.
  const auto isolated = isolatedGlyphs(face, U"\u0645\u0631\u062D\u0628\u0627");
  ASSERT_EQ(isolated.size(), 5u);
  int differ = 0;
  for (size_t i = 0; i < 5; ++i) differ += shaped[4 - i].glyphId != isolated[i];
  EXPECT_GE(differ, 4);  // meem initial, reh final, hah initial, beh medial, alef final

  // The label drawn: same glyphs in the picture, so the joined word's ink differs from
  // the letters set one by one with spaces between them.
  SetLabel joined = setLabel(face, word, LabelStyle{});
  SetLabel apart = setLabel(face, "\xD9\x85 \xD8\xB1 \xD8\xAD \xD8\xA8 \xD8\xA7", LabelStyle{});
  ASSERT_TRUE(joined.ok && apart.ok);
  EXPECT_LT(joined.image.width(), apart.image.width());
}

TEST(Shaping, MixedDirectionsKeepEachRunsOrder) {
  const FontFace face = dejaVu();
  // Latin then Hebrew ("shalom") in a left-to-right line: Latin first, Hebrew reversed.
  auto mixed = shapeLine(face, "Menu \xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D", 48);
  ASSERT_EQ(mixed.size(), 9u);
  std::vector<unsigned> clusters;
  for (auto& g : mixed) clusters.push_back(g.cluster);
  EXPECT_EQ(clusters, (std::vector<unsigned>{0, 1, 2, 3, 4, 8, 7, 6, 5}));

  // A right-to-left line ending in a number: the digits stand leftmost and read left to
  // right; the Arabic word (with the space after it) runs right to left.
  auto rtl = shapeLine(face, "\xD9\x82\xD8\xB3\xD9\x85 12", 48);  // "qism 12"
  clusters.clear();
  for (auto& g : rtl) clusters.push_back(g.cluster);
  EXPECT_EQ(clusters, (std::vector<unsigned>{4, 5, 3, 2, 1, 0}));
}

TEST(SetLabel, CoverageBecomesAlphaInTheLabelsColour) {
  const FontFace face = dejaVu();
  LabelStyle s;
  s.colour = Rgba{10, 200, 30, 255};
  SetLabel set = setLabel(face, "Hg", s);
  ASSERT_TRUE(set.ok) << set.error;
  int solid = 0, edge = 0;
  for (const Rgba& p : set.image.pixels()) {
    if (p.a == 0) continue;
    EXPECT_EQ(p.r, 10);
    EXPECT_EQ(p.g, 200);
    EXPECT_EQ(p.b, 30);
    (p.a == 255 ? solid : edge)++;
  }
  EXPECT_GT(solid, 100);
  EXPECT_GT(edge, 20);  // anti-aliased edges

  // A translucent colour scales the coverage.
  s.colour.a = 128;
  SetLabel half = setLabel(face, "Hg", s);
  int maxA = 0;
  for (const Rgba& p : half.image.pixels()) maxA = std::max(maxA, int(p.a));
  EXPECT_EQ(maxA, 128);

  // A shadow widens the picture by its offset and shows below right in its own colour;
  // fully covered text pixels keep the text's colour.
  s.colour.a = 255;
  s.shadow = Rgba{0, 0, 0, 255};
  s.shadowOffset = 3;
  SetLabel shadowed = setLabel(face, "Hg", s);
  ASSERT_TRUE(shadowed.ok) << shadowed.error;
  EXPECT_EQ(shadowed.image.width(), set.image.width() + 3);
  EXPECT_EQ(shadowed.image.height(), set.image.height() + 3);
  int shadowOnly = 0;
  for (int y = 0; y < set.image.height(); ++y)
    for (int x = 0; x < set.image.width(); ++x)
      if (set.image.pixel(x, y).a == 255) {
        EXPECT_EQ(shadowed.image.pixel(x, y), (Rgba{10, 200, 30, 255}));
      }
  for (const Rgba& p : shadowed.image.pixels()) shadowOnly += p == Rgba{0, 0, 0, 255};
  EXPECT_GT(shadowOnly, 50);
  const Ink ink = inkOf(shadowed.image), textInk = inkOf(set.image);
  EXPECT_EQ(ink.right, textInk.right + 3);
  EXPECT_EQ(ink.bottom, textInk.bottom + 3);
  EXPECT_EQ(ink.left, textInk.left);
  EXPECT_EQ(ink.top, textInk.top);
}

TEST(SetLabel, LeftAlignmentAndVerticalCentring) {
  const FontFace face = dejaVu();
  LabelStyle s;
  s.maxWidth = 600, s.maxHeight = 120;
  s.align = Align::Left;
  SetLabel left = setLabel(face, "Audio", s);
  s.align = Align::Centre;
  SetLabel centre = setLabel(face, "Audio", s);
  ASSERT_TRUE(left.ok && centre.ok);
  const Ink l = inkOf(left.image), c = inkOf(centre.image);
  EXPECT_LE(l.left, 3);
  EXPECT_NEAR((c.left + c.right) / 2.0, 300, 4);
  EXPECT_EQ(l.top, c.top);
  EXPECT_EQ(l.alphaSum, c.alphaSum);
  // Vertically the ink sits about the middle ("Audio" has no descender, so a little high).
  EXPECT_NEAR((c.top + c.bottom) / 2.0, 60, 12);
}

TEST(SetLabel, InvalidUtf8IsSetAsReplacementCharacters) {
  const FontFace face = dejaVu();
  const auto replacement = shapeLine(face, "\xEF\xBF\xBD", 48);
  ASSERT_EQ(replacement.size(), 1u);
  ASSERT_NE(replacement[0].glyphId, 0u);  // DejaVu has U+FFFD
  // A stray byte, a truncated sequence, overlong slashes (two and three bytes) and a
  // surrogate half.
  for (const std::string& bad : {std::string("A\xFF" "B"), std::string("A\xE2\x82"), std::string("A\xC0\xAF"),
                                std::string("A\xE0\x80\xAF"), std::string("A\xED\xA0\x80")}) {
    auto g = shapeLine(face, bad, 48);
    // One replacement character per byte that is not part of a well-formed sequence.
    ASSERT_EQ(g.size(), bad.size());
    EXPECT_EQ(g[1].glyphId, replacement[0].glyphId);
    SetLabel set = setLabel(face, bad, LabelStyle{});
    EXPECT_TRUE(set.ok) << set.error;
    EXPECT_GT(inkOf(set.image).pixels, 0);
  }
  // Nul bytes and control characters are dropped, not drawn.
  SetLabel withNul = setLabel(face, std::string_view("Go\0\x07", 4), LabelStyle{});
  SetLabel plain = setLabel(face, "Go", LabelStyle{});
  EXPECT_EQ(withNul.image, plain.image);
}

TEST(SetLabel, ConcurrentCallersGetTheSamePictures) {
  const FontFace face = dejaVu();
  const std::vector<std::string> labels = {"Play", "Scenes", "Audio \xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7",
                                           "Subtitles", "Bonus material and extras"};
  LabelStyle s;
  s.maxWidth = 240, s.maxHeight = 90;
  s.shadow = Rgba{0, 0, 0, 160};
  std::vector<Image> serial;
  for (auto& l : labels) serial.push_back(setLabel(face, l, s).image);
  std::vector<std::vector<Image>> got(4);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int round = 0; round < 5; ++round)
        for (size_t i = 0; i < labels.size(); ++i) {
          LabelStyle mine = s;
          mine.pixelSize = 48 - round;  // sizes change under one another's feet
          SetLabel r = setLabel(face, labels[i], mine);
          if (round == 0) got[t].push_back(r.image);
        }
    });
  for (auto& th : threads) th.join();
  for (auto& g : got) EXPECT_EQ(g, serial);
}

}  // namespace
}  // namespace morvex::typeset

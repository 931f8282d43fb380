#include <gtest/gtest.h>

#include "core/log.h"

using namespace morvex::core;

namespace {
// Style of the run that covers byte `pos` of the shown text.
FormatRun runAt(const FormattedLine& l, size_t pos) {
  FormatRun r = l.runs.front();
  for (const auto& x : l.runs)
    if (x.pos <= pos) r = x;
  return r;
}
}  // namespace

TEST(Markup, BoldNumberInsideText) {
  auto l = formatLine(std::string("  Found [b]") + "3" + "[/b] playlists.");
  EXPECT_EQ(l.text, "   Found 3 playlists.");
  size_t three = l.text.find('3');
  EXPECT_TRUE(runAt(l, three).bold);
  EXPECT_FALSE(runAt(l, three - 1).bold);
  EXPECT_FALSE(runAt(l, three + 1).bold);
  EXPECT_EQ(l.runs.front().pos, 0u);
  for (const auto& r : l.runs) EXPECT_EQ(r.size, 8);
}

TEST(Markup, ColourAndBoldAreIndependent) {
  auto l = formatLine("[re]missing[/re] [b]12[/b]");
  EXPECT_EQ(l.text, " missing 12");
  EXPECT_EQ(runAt(l, 1).colour, LogColour::Red);
  EXPECT_FALSE(runAt(l, 1).bold);
  EXPECT_EQ(runAt(l, 8).colour, LogColour::Default);  // the space
  EXPECT_TRUE(runAt(l, 9).bold);
  EXPECT_EQ(runAt(l, 9).colour, LogColour::Default);
  EXPECT_EQ(runAt(l, 0).colour, LogColour::Default);  // leading space never styled

  auto rb = formatLine("[re][b]x");
  EXPECT_EQ(rb.text, " x");
  EXPECT_TRUE(runAt(rb, 1).bold);
  EXPECT_EQ(runAt(rb, 1).colour, LogColour::Red);
  EXPECT_EQ(rb.runs.size(), 2u);  // adjacent tags act on one run
}

TEST(Markup, UnknownTagsVanishAndAnyColourEndEndsAnyColour) {
  auto l = formatLine("a[x]b");
  EXPECT_EQ(l.text, " ab");
  for (const auto& r : l.runs) {
    EXPECT_FALSE(r.bold || r.italic || r.underline);
    EXPECT_EQ(r.colour, LogColour::Default);
  }
  auto g = formatLine("[re]red[/gr]plain");
  EXPECT_EQ(runAt(g, 1).colour, LogColour::Red);
  EXPECT_EQ(runAt(g, 4).colour, LogColour::Default);
  auto c = formatLine("[B]caps are not tags of effect");
  EXPECT_FALSE(runAt(c, 1).bold);
}

TEST(Markup, EmptyAndUnmatchedBracket) {
  auto e = formatLine("");
  EXPECT_EQ(e.text, " ");
  auto u = formatLine("[b]x[ no close");
  EXPECT_EQ(u.text, " x[ no close");
  EXPECT_TRUE(runAt(u, 2).bold);
  EXPECT_EQ(stripTags("a[b]b[c"), "ab[c");
  EXPECT_EQ(stripTags("Saving [bl]00001.mpls[/bl]"), "Saving 00001.mpls");
}

TEST(Markup, LongLineStaysLinear) {
  std::string msg;
  for (int i = 0; i < 50000; ++i) msg += "[b]ab[/b]cd";
  auto l = formatLine(msg);
  EXPECT_EQ(l.text.size(), 1 + 50000u * 4);
  EXPECT_EQ(l.runs.size(), 1 + 2 * 50000u);
  EXPECT_TRUE(runAt(l, l.text.size() - 3).bold);
}

TEST(LogRoutines, ErlogFormatsSetsFlagAndShowsErrorBox) {
  MemoryLog log;
  log.error("Cannot create backup file.");
  ASSERT_EQ(log.lines.size(), 1u);
  const auto& l = log.lines[0];
  EXPECT_EQ(l.text, " ERROR: Cannot create backup file.");
  EXPECT_EQ(runAt(l, 1).colour, LogColour::Red);
  EXPECT_FALSE(runAt(l, 1).bold);
  EXPECT_EQ(runAt(l, 7).colour, LogColour::Default);
  EXPECT_TRUE(runAt(l, 8).bold);
  EXPECT_TRUE(log.hadError());
  EXPECT_TRUE(log.errorBox);
  EXPECT_EQ(log.statusText[1], " Cannot create backup file.");
  EXPECT_EQ(log.beeps, 1);
  log.statusReady();
  EXPECT_FALSE(log.errorBox);
  EXPECT_EQ(log.statusText[0], "Ready.");
  EXPECT_EQ(log.statusText[1], "");
  EXPECT_TRUE(log.hadError());  // only a save clears it
}

TEST(LogRoutines, StatusVariants) {
  MemoryLog log;
  log.status(StatusPanel::Detail, "x");
  log.stage("Saving [bl]index.bdmv[/bl]");
  EXPECT_EQ(log.statusText[0], "Saving index.bdmv");
  EXPECT_EQ(log.statusText[1], "");
  log.detail("[b]7[/b] found");
  EXPECT_EQ(log.statusText[1], "7 found");
  log.paragraph("a");
  auto p = log.plainLines();
  ASSERT_EQ(p.size(), 4u);
  EXPECT_EQ(p[2], "a");
  EXPECT_EQ(p[3], "");
}

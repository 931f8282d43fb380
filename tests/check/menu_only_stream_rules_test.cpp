// The menu-only stream `menu mux` writes, read the way the checker's player rules read
// a disc's stream: the program map declares the menu with its registration, the first
// display set starts an epoch, compositions never go back in time, and every PCR gives
// the system clock at its own arrival.
#include <gtest/gtest.h>

#include <cstdlib>

#include "check/player_rules.h"
#include "core/log.h"
#include "igs/extract.h"
#include "igs/mux.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace morvex;

#ifdef MORVEX_MAKE_DEMO_PATH
TEST(MenuOnlyStream, PassesThePlayerRulesOfTheChecker) {
  test::TempDir tmp;
  const fs::path bdmv = tmp / "demo" / "BDMV";
  const std::string cmd = std::string("'") + MORVEX_MAKE_DEMO_PATH + "' '" + bdmv.string() + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  core::MemoryLog log;
  igs::Menu menu;
  igs::loadMenuFromStream(bdmv / "STREAM" / "00000.m2ts", 0x1400, menu, log);
  ASSERT_FALSE(log.hadError());
  const fs::path out = tmp / "menu.m2ts";
  ASSERT_TRUE(igs::muxMenuToFile(menu, out, log));

  const check::IgStreamFacts f = check::readIgStreamFacts(out);
  ASSERT_TRUE(f.read);
  EXPECT_TRUE(f.pmtSeen);
  ASSERT_EQ(f.pids.size(), 1u);
  ASSERT_TRUE(f.pids.count(0x1400));
  const auto& ig = f.pids.at(0x1400);
  EXPECT_TRUE(ig.declared);
  EXPECT_TRUE(ig.registration);
  EXPECT_EQ(ig.firstState, 2);
  ASSERT_FALSE(ig.compositionPts.empty());
  for (size_t k = 1; k < ig.compositionPts.size(); ++k) EXPECT_GE(ig.compositionPts[k], ig.compositionPts[k - 1]);

  // Every PCR (PID 0x1001) against the packets' arrival stamps (27 MHz): the clock runs
  // with them from the first PCR on.
  const auto ts = test::readFile(out);
  bool first = true;
  uint64_t arrival0 = 0, pcr0 = 0;
  size_t pcrs = 0;
  for (size_t p = 0; p + 192 <= ts.size(); p += 192) {
    const uint8_t* tp = ts.data() + p + 4;
    if (((tp[1] & 0x1F) << 8 | tp[2]) != 0x1001 || !(tp[3] & 0x20) || !(tp[5] & 0x10)) continue;
    const uint64_t base = uint64_t(tp[6]) << 25 | uint64_t(tp[7]) << 17 | uint64_t(tp[8]) << 9 | uint64_t(tp[9]) << 1 |
                          tp[10] >> 7;
    const uint64_t pcr = base * 300 + ((tp[10] & 1) << 8 | tp[11]);
    const uint64_t arrival = (uint64_t(ts[p]) << 24 | uint64_t(ts[p + 1]) << 16 | ts[p + 2] << 8 | ts[p + 3]) & 0x3FFFFFFF;
    if (first) arrival0 = arrival, pcr0 = pcr, first = false;
    EXPECT_EQ(pcr - pcr0, arrival - arrival0) << "PCR of packet " << p / 192;
    ++pcrs;
  }
  EXPECT_GE(pcrs, 1u);
}
#endif

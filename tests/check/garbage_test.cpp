// The checker over a generated disc whose files are damaged at random (bytes changed,
// files cut short or emptied): it always finishes, and each damaged file that the clean
// disc had no finding for is reported at least once.
#include <gtest/gtest.h>

#include <random>

#include "check/checker.h"
#include "support/sample_disc.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace morvex;

TEST(CheckGarbage, DamagedFilesAreReportedNeverFatal) {
  test::TempDir tmp;
  const fs::path clean = tmp / "clean" / "BDMV";
  ASSERT_TRUE(test::writeSampleDisc(clean, 3, 2));
  const auto base = check::checkDisc(clean);
  ASSERT_TRUE(base.checked);
  ASSERT_FALSE(base.hasErrors());
  const std::vector<std::string> files = {"index.bdmv", "MovieObject.bdmv", "PLAYLIST/00000.mpls",
                                          "PLAYLIST/00002.mpls", "CLIPINF/00001.clpi"};
  std::mt19937 rng(20261209);
  int reported = 0;
  for (int round = 0; round < 120; ++round) {
    const fs::path work = tmp / "work";
    fs::remove_all(work);
    fs::copy(tmp / "clean", work, fs::copy_options::recursive);
    const std::string rel = files[rng() % files.size()];
    auto bytes = test::readFile(work / "BDMV" / rel);
    switch (rng() % 3) {
      case 0:  // cut short
        bytes.resize(rng() % bytes.size());
        break;
      case 1:  // a few bytes changed in the header and tables
        for (int k = 0; k < 4; ++k) bytes[rng() % bytes.size()] = uint8_t(rng());
        break;
      default:  // a count or length field set high
        for (size_t at = 8 + (rng() % 24); at + 1 < bytes.size() && at < 64; at += 64) bytes[at] = 0xFF;
        break;
    }
    test::writeFile(work / "BDMV" / rel, bytes);
    const auto r = check::checkDisc(work);
    ASSERT_TRUE(r.checked) << rel;
    for (const auto& f : r.findings) {
      EXPECT_FALSE(f.code.empty());
      EXPECT_FALSE(f.file.empty());
      EXPECT_FALSE(f.message.empty()) << f.code;
    }
    // A file cut to less than its header is always a finding in its own group (or,
    // for the index and movie objects, in the BACKUP comparison at least).
    if (bytes.size() < 40) {
      const bool own = std::any_of(r.findings.begin(), r.findings.end(),
                                   [&](const check::Finding& f) { return f.file == rel && f.severity != core::Severity::Info; });
      EXPECT_TRUE(own) << rel << " cut to " << bytes.size() << " bytes was not reported";
      reported += own;
    }
  }
  EXPECT_GT(reported, 0);
}

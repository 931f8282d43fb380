// The real discs are consistent: checking each reports no error, and the only warning
// is the stream file each clip lacks (the fixtures carry no AV streams).
#include <gtest/gtest.h>

#include "check/checker.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace morvex;

TEST(CheckFixtures, RealDiscsHaveNoErrorsAndOnlyMissingStreamWarnings) {
  MORVEX_REQUIRE_FIXTURES();
  const auto discs = test::fixtureDiscs();
  ASSERT_FALSE(discs.empty());
  for (const auto& disc : discs) {
    // Either the root or the BDMV folder may be given.
    const auto report = check::checkDisc(disc.parent_path());
    ASSERT_TRUE(report.checked) << disc << ": " << report.failure;
    size_t clips = 0;
    for (const auto& e : fs::directory_iterator(disc / "CLIPINF")) clips += e.path().extension() == ".clpi";
    size_t missing = 0;
    for (const auto& f : report.findings) {
      if (f.code == "clpi.stream-missing") {
        ++missing;
        EXPECT_EQ(f.severity, core::Severity::Warning);
        EXPECT_EQ(f.file.rfind("CLIPINF/", 0), 0u) << f.file;
        continue;
      }
      ADD_FAILURE() << disc << ": " << f.code << " " << f.file << " [" << f.location << "] " << f.message;
    }
    EXPECT_EQ(missing, clips) << disc;
    EXPECT_FALSE(report.hasErrors()) << disc;
  }
}

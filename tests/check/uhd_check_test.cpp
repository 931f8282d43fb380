// The checker on an Ultra HD disc built byte by byte: clean as built; a clip
// information file that says 0200 but carries HEVC gives exactly the HEVC and the
// mixed-versions errors.
#include <gtest/gtest.h>

#include <set>

#include "check/checker.h"
#include "support/test_support.h"
#include "support/uhd_disc.h"

namespace fs = std::filesystem;
using namespace morvex;

namespace {

std::set<std::string> errors(const check::CheckReport& r) {
  std::set<std::string> out;
  for (const auto& f : r.findings)
    if (f.severity == core::Severity::Error) out.insert(f.code + " " + f.file + " " + f.location);
  return out;
}

}  // namespace

TEST(UltraHdCheck, CleanDiscAndHevcInAnOlderClip) {
  test::TempDir dir;
  test::uhd::writeDisc(dir.path());
  // The built stream file is an empty stand-in, so its clip has no EP map; without it
  // the folder is a copy of the metadata, which the player rules on streams leave alone.
  fs::remove(dir / "BDMV" / "STREAM" / "00000.m2ts");
  const auto clean = check::checkDisc(dir.path());
  ASSERT_TRUE(clean.checked);
  EXPECT_TRUE(errors(clean).empty()) << *errors(clean).begin();

  for (const fs::path p : {dir / "BDMV" / "CLIPINF" / "00000.clpi", dir / "BDMV" / "BACKUP" / "CLIPINF" / "00000.clpi"}) {
    auto b = test::readFile(p);
    b[5] = '2';
    test::writeFile(p, b);
  }
  const auto mixed = check::checkDisc(dir.path());
  const std::set<std::string> expected = {"clpi.stream.hevc-needs-0300 CLIPINF/00000.clpi ProgramInfo stream 0",
                                          "disc.versions-mixed index.bdmv disc"};
  EXPECT_EQ(errors(mixed), expected);
}

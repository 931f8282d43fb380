// Real clip information files: every one must read, and write back either byte for
// byte or with only the differences the writer is allowed to make.
#include <gtest/gtest.h>

#include "clip/clpi.h"
#include "core/log.h"
#include "support/test_support.h"

using namespace morvex;
using namespace morvex::clip;

namespace {

bool allZero(const std::vector<uint8_t>& b, size_t from, size_t n) {
  for (size_t i = from; i < from + n && i < b.size(); ++i)
    if (b[i]) return false;
  return true;
}

// Whether a file meets the conditions under which a write must reproduce it exactly:
// sections back to back (the writer lands them where the file has them), a ClipInfo
// length equal to the computed one, and zero bytes wherever the reader drops data.
bool mustBeIdentical(const std::vector<uint8_t>& orig, const ClipInfo& read, const ClipInfo& written) {
  if (read.sequenceInfoStart != written.sequenceInfoStart || read.programInfoStart != written.programInfoStart ||
      read.cpiStart != written.cpiStart || read.clipMarkStart != written.clipMarkStart ||
      read.extensionDataStart != written.extensionDataStart)
    return false;
  if (read.clipInfo.length != clipInfoLength(read)) return false;
  // header reserved, ClipInfo reserved word, the flag word's other bits, reserved
  // block, network information and stream format name
  if (!allZero(orig, 28, 12) || !allZero(orig, 44, 2) || !allZero(orig, 48, 3) || (orig[51] & 0xFE) ||
      !allZero(orig, 60, 128) || !allZero(orig, 195, 25))
    return false;
  return true;
}

}  // namespace

TEST(ClipInfoFixtures, EveryFileReadsAndWritesBack) {
  MORVEX_REQUIRE_FIXTURES();
  auto files = test::fixtureFiles(".clpi");
  ASSERT_FALSE(files.empty());
  size_t identical = 0, differing = 0;
  for (const auto& f : files) {
    SCOPED_TRACE(f.string());
    auto orig = test::readFile(f);
    core::MemoryLog log;
    ClipInfo c;
    ASSERT_TRUE((readClipInfo(orig, f.filename().string(), c, log)).complete()) << log.text();
    EXPECT_FALSE(log.hadError());
    ClipInfo w = c;
    settleClipInfo(w);
    auto out = writeClipInfo(w);
    if (mustBeIdentical(orig, c, w)) {
      EXPECT_EQ(out, orig);
      ++identical;
    } else {
      ++differing;
    }
    // Either way a second read gives the same model (addresses as written).
    ClipInfo again;
    ASSERT_TRUE((readClipInfo(out, "again", again, log)).complete());
    EXPECT_EQ(again, w);
    // And rewriting that is a fixed point.
    ClipInfo again2 = again;
    EXPECT_EQ(writeClipInfo(again2), out);
    // What the model holds apart from positions is exactly what the first read found.
    ClipInfo a = c, b = again;
    for (ClipInfo* m : {&a, &b}) {
      m->sequenceInfoStart = m->programInfoStart = m->cpiStart = m->clipMarkStart = 0;
      m->extensionDataStart = m->extensionDataStart ? 1 : 0;
      m->clipInfo.length = 0;
    }
    EXPECT_EQ(a, b);
  }
  std::cout << identical << " byte-identical, " << differing << " rewritten with allowed differences\n";
}

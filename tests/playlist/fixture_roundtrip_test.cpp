// Every playlist of the real discs read and written back: byte-identical, or different
// only in bytes the writer puts down as zero (fields the model does not keep), and a
// second read of the written file gives the same model.
#include <gtest/gtest.h>

#include <set>

#include "core/binary.h"
#include "playlist/mpls_reader.h"
#include "playlist/mpls_writer.h"
#include "support/test_support.h"

using namespace morvex;
using namespace morvex::playlist;
namespace fs = std::filesystem;

namespace {

// Walks a playlist image on its own (not through the reader) and lists, per byte,
// the bits the model keeps. Bits outside that mask are the ones a resave may clear.
struct KeptBits {
  std::vector<uint8_t> mask;  // 0xFF = byte kept whole
  explicit KeptBits(size_t n) : mask(n, 0xFF) {}
  void drop(size_t at, size_t n, uint8_t keep = 0) {
    for (size_t i = at; i < at + n && i < mask.size(); ++i) mask[i] = keep;
  }
};

KeptBits keptBits(const core::Bytes& b) {
  KeptBits k(b.size());
  auto be16 = [&](size_t p) { return size_t(b[p]) << 8 | b[p + 1]; };
  auto be32 = [&](size_t p) { return size_t(core::be32(&b[p])); };
  k.drop(20, 20);                                 // header reserved
  size_t aiLen = be32(40);
  k.drop(40 + 16, 1, 0xF8);                       // AppInfo flags: five bits kept
  k.drop(40 + 17, 1);
  if (aiLen + 4 > 18) k.drop(40 + 18, aiLen + 4 - 18);
  size_t p = be32(8);
  size_t nPI = be16(p + 6), nSP = be16(p + 8);
  p += 10;
  auto stream = [&](size_t at) {
    uint8_t type = b[at + 1];
    // entry: bytes past the fields of its type are reserved
    size_t used = type == 1 ? 4 : type == 2 ? 6 : type == 3 ? 5 : 2;
    k.drop(at + used, 10 - used);
    uint8_t ct = b[at + 11];
    size_t a = at + 10;
    bool video = ct == 0x02 || ct == 0x1B || ct == 0xEA;
    bool audio = (ct >= 0x80 && ct <= 0x86) || ct == 0xA1 || ct == 0xA2;
    if (video) k.drop(a + 3, 3);
    else if (ct == 0x90 || ct == 0x91) k.drop(a + 5, 1);
    else if (!audio && ct != 0x92) k.drop(a + 2, 4);
  };
  auto refs = [&](size_t at) {
    size_t n = b[at];
    k.drop(at + 1, 1);
    if (n & 1) k.drop(at + 2 + n, 1);
    return 2 + n + (n & 1);
  };
  for (size_t i = 0; i < nPI; ++i) {
    k.drop(p + 11, 1);
    k.drop(p + 12, 1, 0x1F);
    k.drop(p + 30, 1, 0x80);
    size_t q = p + 34;
    if (b[p + 12] & 0x10) {
      size_t n = b[q];
      k.drop(q + 1, 1, 0x03);
      q += 2 + (n ? n - 1 : 0) * 10;
    }
    size_t s = q;
    k.drop(s + 12, 4);  // byte 11 counts the Dolby Vision streams
    q = s + 16;
    size_t plain = size_t(b[s + 4]) + b[s + 5] + b[s + 6] + b[s + 7] + b[s + 10];
    const size_t dvStreams = b[s + 11];
    for (size_t n = 0; n < plain; ++n, q += 16) stream(q);
    for (size_t n = 0; n < b[s + 8]; ++n) {
      stream(q);
      q += 16;
      q += refs(q);
    }
    for (size_t n = 0; n < b[s + 9]; ++n) {
      stream(q);
      q += 16;
      q += refs(q);
      q += refs(q);
    }
    for (size_t n = 0; n < dvStreams; ++n, q += 16) stream(q);
    p = q;
  }
  for (size_t j = 0; j < nSP; ++j) {
    size_t n = b[p + 9];
    p += 10;
    for (size_t i = 0; i < n; ++i) {
      k.drop(p + 11, 2);
      k.drop(p + 13, 1, 0x01);  // bits 1-8 connection condition, bit 0 multi-clip
      size_t q = p + 30;
      if (b[p + 14] & 1) q += 2 + (b[q] ? b[q] - 1 : 0) * 10;
      p = q;
    }
  }
  size_t ext = be32(16);
  if (ext) k.drop(ext + 8, 3);  // ExtensionData reserved fields
  return k;
}

// Resaves `orig` and checks every changed byte against the kept-bits walk; returns
// true when the output is byte-identical.
bool resaveDiffersOnlyInReserved(const core::Bytes& orig) {
  core::MemoryLog log;
  Playlist m;
  EXPECT_TRUE((readPlaylist(orig, "in.mpls", m, log)).complete()) << log.text();
  core::Bytes out = writePlaylist(m);
  // Every input here has its sections back to back, so the sizes agree.
  EXPECT_EQ(out.size(), orig.size());
  if (out.size() != orig.size()) return false;
  KeptBits k = keptBits(orig);
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] == orig[i]) continue;
    EXPECT_NE(k.mask[i], 0xFF) << "byte " << i << " differs but is a kept field";
    EXPECT_EQ(out[i], orig[i] & k.mask[i]) << "byte " << i << " is not the original with reserved bits cleared";
    if (k.mask[i] == 0xFF || out[i] != (orig[i] & k.mask[i])) return false;
  }
  Playlist again;
  EXPECT_TRUE((readPlaylist(out, "again", again, log)).complete());
  // The header's reserved bytes are the one field the model holds but does not write.
  EXPECT_EQ(again.reserved, decltype(again.reserved){});
  again.reserved = m.reserved;
  EXPECT_EQ(again, m);
  EXPECT_EQ(writePlaylist(again), out);  // a second resave is a fixed point
  return out == orig;
}

}  // namespace

TEST(PlaylistFixtures, ResaveDiffersOnlyInClearedReservedBits) {
  MORVEX_REQUIRE_FIXTURES();
  auto files = test::fixtureFiles(".mpls");
  ASSERT_FALSE(files.empty());
  size_t identical = 0;
  for (const auto& f : files) {
    SCOPED_TRACE(f.string());
    if (resaveDiffersOnlyInReserved(test::readFile(f))) ++identical;
    if (HasFailure()) return;
  }
  std::cout << "[          ] " << identical << " of " << files.size() << " playlists resaved byte-identical\n";
}

// The fixtures all carry zero reserved fields; filling those fields with ones shows
// that a resave clears exactly them and keeps every field of the model.
TEST(PlaylistFixtures, NonZeroReservedFieldsAreClearedAndNothingElse) {
  MORVEX_REQUIRE_FIXTURES();
  auto files = test::fixtureFiles(".mpls");
  ASSERT_FALSE(files.empty());
  for (const auto& f : files) {
    SCOPED_TRACE(f.string());
    core::Bytes orig = test::readFile(f);
    KeptBits k = keptBits(orig);
    core::Bytes dirty = orig;
    size_t changed = 0;
    for (size_t i = 0; i < dirty.size(); ++i) {
      if (k.mask[i] != 0xFF) {
        dirty[i] |= uint8_t(~k.mask[i]);
        changed += dirty[i] != orig[i];
      }
    }
    ASSERT_GT(changed, 20u);  // at least the header's reserved bytes
    EXPECT_FALSE(resaveDiffersOnlyInReserved(dirty));
    core::MemoryLog log;
    Playlist clean, fromDirty;
    readPlaylist(orig, "a", clean, log);
    readPlaylist(dirty, "b", fromDirty, log);
    fromDirty.reserved = clean.reserved;
    EXPECT_EQ(fromDirty, clean);
    EXPECT_EQ(writePlaylist(fromDirty), orig);
    if (HasFailure()) return;
  }
}

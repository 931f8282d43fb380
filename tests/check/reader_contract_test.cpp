// Every reader keeps the same promise about what it returns: complete on what the
// writers produce; refused, naming the version, on a version it does not know; refused
// on another kind of file; never complete on a file cut short, and when partial, the
// problem says where the file ended or which section lies outside it.
#include <gtest/gtest.h>

#include <functional>

#include "clip/clpi.h"
#include "igs/igs_test_util.h"
#include "igs/reader.h"
#include "igs/writer.h"
#include "nav/index.h"
#include "nav/movie_object.h"
#include "playlist/mpls_reader.h"
#include "playlist/mpls_writer.h"
#include "playlist/synth.h"
#include "sound/sound.h"

using namespace morvex;

namespace {

struct Kind {
  std::string name;
  core::Bytes image;
  std::function<core::ReadResult(const core::Bytes&, const std::string&, core::Log&)> read;
  bool versioned = true;
};

std::vector<Kind> kinds() {
  std::vector<Kind> k;
  nav::IndexTable indx;
  indx.indexes.titles.resize(3);
  indx.indexes.length = 26 + 12 * 3;  // settled, as every edit keeps it
  k.push_back({"index.bdmv", nav::writeIndexTable(indx), [](const core::Bytes& b, const std::string& n, core::Log& log) {
                 nav::IndexTable x;
                 return nav::readIndexTable(b, n, x, log);
               }});
  nav::MovieObjectFile mobj;
  mobj.movieObjects.objects.resize(2);
  mobj.movieObjects.objects[1].commands.resize(2);
  mobj.movieObjects.length = nav::movieObjectsLength(mobj.movieObjects);
  k.push_back({"MovieObject.bdmv", nav::writeMovieObjectFile(mobj),
               [](const core::Bytes& b, const std::string& n, core::Log& log) {
                 nav::MovieObjectFile m;
                 return nav::readMovieObjectFile(b, n, m, log);
               }});
  sound::SoundFile snd = sound::newSoundFile();
  sound::SoundEntry e;
  e.data.assign(400, 7);
  e.length = 400;
  snd.entries.push_back(e);
  k.push_back({"sound.bdmv", sound::writeSoundFile(snd), [](const core::Bytes& b, const std::string& n, core::Log& log) {
                 sound::SoundFile s;
                 return sound::readSoundFile(b, n, s, log);
               }});
  k.push_back({"00001.mpls", playlist::writePlaylist(playlist::synth::writable(playlist::synth::twoItems(false))),
               [](const core::Bytes& b, const std::string& n, core::Log& log) {
                 playlist::Playlist m;
                 return playlist::readPlaylist(b, n, m, log);
               }});
  clip::ClipInfo clpi;
  clpi.typeIndicator = "HDMV";
  clpi.version = "0200";
  k.push_back({"00001.clpi", clip::writeClipInfo(clpi), [](const core::Bytes& b, const std::string& n, core::Log& log) {
                 clip::ClipInfo c;
                 return clip::readClipInfo(b, n, c, log);
               }});
  core::NullLog quiet;
  igs::Menu menu = igs::test::syntheticMenu(4);
  igs::settleMenu(menu, quiet);
  k.push_back({"menu.mnu", igs::writeMenu(menu, igs::SaveForm::MenuFile),
               [](const core::Bytes& b, const std::string& n, core::Log& log) {
                 igs::Menu m;
                 return igs::readMenu(std::span<const uint8_t>(b), n, m, log);
               },
               false});
  return k;
}

// The invariants every result holds, whatever the input.
void checkShape(const core::ReadResult& r, const std::string& what) {
  EXPECT_EQ(r.complete(), r.problems.empty()) << what;
  for (const auto& p : r.problems) EXPECT_FALSE(p.message.empty()) << what;
}

}  // namespace

TEST(ReaderContract, WhatTheWritersProduceReadsComplete) {
  for (const auto& k : kinds()) {
    core::MemoryLog log;
    auto r = k.read(k.image, k.name, log);
    EXPECT_TRUE(r.complete()) << k.name << ": " << r.summary() << "\n" << log.text();
  }
}

TEST(ReaderContract, UnknownVersionsAndOtherKindsAreRefused) {
  for (const auto& k : kinds()) {
    if (k.versioned) {
      core::Bytes v4 = k.image;
      std::copy_n("0400", 4, v4.begin() + 4);
      core::NullLog log;
      auto r = k.read(v4, k.name, log);
      ASSERT_TRUE(r.refused()) << k.name;
      ASSERT_EQ(r.problems.size(), 1u) << k.name;
      EXPECT_EQ(r.problems[0].kind, core::ReadIssue::UnsupportedVersion) << k.name;
      EXPECT_EQ(r.problems[0].offset, 4u);
      EXPECT_EQ(r.problems[0].message, k.name + ": version 0400 is not supported");
    }
    core::Bytes other = k.image;
    std::copy_n("ZZZZ", 4, other.begin());
    core::NullLog log;
    auto r = k.read(other, k.name, log);
    ASSERT_TRUE(r.refused()) << k.name;
    EXPECT_EQ(r.problems.back().kind, core::ReadIssue::WrongKind) << k.name;
    checkShape(r, k.name);
  }
}

TEST(ReaderContract, AFileCutShortIsNeverComplete) {
  for (const auto& k : kinds()) {
    size_t partial = 0;
    std::string firstRefusal;
    // Cuts that remove a whole trailing section may still read complete for files
    // whose last part is optional; those must then equal a read of a real file, which
    // the writer never ends early: so every proper prefix must be incomplete.
    for (size_t n = 8; n < k.image.size(); ++n) {
      core::Bytes cut(k.image.begin(), k.image.begin() + static_cast<std::ptrdiff_t>(n));
      core::NullLog log;
      auto r = k.read(cut, k.name, log);
      const std::string what = k.name + " cut to " + std::to_string(n);
      checkShape(r, what);
      EXPECT_FALSE(r.complete()) << what;
      if (!r.partial()) {
        if (firstRefusal.empty()) firstRefusal = what + ": " + r.summary();
        continue;
      }
      ++partial;
      for (const auto& p : r.problems) {
        if (p.kind == core::ReadIssue::EndsEarly) EXPECT_EQ(p.offset, n) << what;
        else if (p.kind == core::ReadIssue::SectionOutside) EXPECT_GT(p.offset, n) << what;
      }
    }
    EXPECT_GT(partial, 0u) << k.name << " " << firstRefusal;
  }
}

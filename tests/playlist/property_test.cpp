// Random edit sequences: after any mix of stream, SubPath, SubPlayItem and mark edits,
// every stored length and address equals what the writer lays out, and the written
// file reads back as the edited model.
#include <gtest/gtest.h>

#include <random>

#include "playlist/chapters.h"
#include "playlist/mpls_reader.h"
#include "playlist/mpls_writer.h"
#include "playlist/playlist_edit.h"
#include "playlist/stream_edit.h"
#include "support/test_support.h"
#include "playlist/synth.h"

using namespace morvex;
using namespace morvex::playlist;

namespace {

constexpr StreamKind kKinds[] = {StreamKind::Video,    StreamKind::Audio,    StreamKind::PG,   StreamKind::IG,
                                 StreamKind::SecVideo, StreamKind::SecAudio, StreamKind::PIPPG};

void randomEdit(Playlist& m, std::mt19937& rng, std::string& trail) {
  auto pick = [&](size_t n) { return n ? unsigned(rng() % n) : 0u; };
  const size_t nPI = m.playList.playItems.size();
  const unsigned pi = pick(nPI);
  const StreamKind kind = kKinds[pick(7)];
  switch (rng() % 12) {
    case 0:
    case 1: {
      int sel = int(pick(streamCount(m.playList.playItems[pi].stn, kind) + 1)) - 1;
      trail += " insStream(" + std::to_string(pi) + "," + std::to_string(int(kind)) + ")";
      insertStream(m, pi, kind, sel);
      break;
    }
    case 2:
    case 3: {
      unsigned n = streamCount(m.playList.playItems[pi].stn, kind);
      trail += " delStream(" + std::to_string(pi) + "," + std::to_string(int(kind)) + ")";
      deleteStream(m, pi, kind, pick(n));
      break;
    }
    case 4:
      trail += " insSubPath";
      insertSubPath(m, int(pick(m.playList.subPaths.size() + 1)) - 1);
      break;
    case 5:
      trail += " delSubPath";
      deleteSubPath(m, pick(m.playList.subPaths.size()));
      break;
    case 6:
      if (!m.playList.subPaths.empty()) {
        unsigned sp = pick(m.playList.subPaths.size());
        unsigned n = unsigned(m.playList.subPaths[sp].subPlayItems.size());
        trail += " multi(" + std::to_string(sp) + ")";
        setSubPlayItemCell(m, sp, pick(n), SubPlayItemField::MultiClip, rng() % 2 ? "Y" : "N");
        setSubPathType(m, sp, pick(8));
      }
      break;
    case 7:
      trail += " insMark";
      insertMark(m, int(pick(m.playListMark.marks.size() + 1)) - 1);
      break;
    case 8:
      if (!m.playListMark.marks.empty()) {
        unsigned a = pick(m.playListMark.marks.size());
        unsigned b = a + pick(3);
        trail += " delMarks";
        deleteMarks(m, a, b);
      }
      break;
    case 9: {
      std::string text;
      const unsigned lines = pick(6);
      for (unsigned i = 0; i < lines; ++i) text += std::to_string(rng() % 20000000) + "\r\n";
      core::NullLog log;
      trail += " import(" + std::to_string(lines) + ")";
      if (m.markStart != 0) importChapters(m, text, ChapterFormat::PTS, log);
      break;
    }
    case 10:
      trail += " field";
      setStreamField(m, pi, kind, pick(streamCount(m.playList.playItems[pi].stn, kind)), StreamField::EntryType,
                     pick(4));
      setStreamLanguage(m, pi, kind, 0, "fin");
      break;
    case 11:
      trail += " inTime";
      changeInTime(m, pi, uint32_t(rng()), InTimeCascade{bool(rng() % 2), bool(rng() % 2), bool(rng() % 2)});
      break;
  }
}

void checkAfterEdits(const Playlist& m, const std::string& trail) {
  SCOPED_TRACE(trail);
  for (const auto& s : layoutMismatches(m)) ADD_FAILURE() << s;
  core::MemoryLog log;
  Playlist back;
  core::Bytes out = writePlaylist(m);
  ASSERT_TRUE((readPlaylist(out, "edited", back, log)).complete()) << log.text();
  EXPECT_EQ(back, synth::writable(m));
  EXPECT_EQ(out.size(), mplsLayout(m).fileSize);
}

}  // namespace

TEST(PlaylistEditProperty, SyntheticPlaylistStaysConsistent) {
  std::mt19937 rng(20260);
  for (int seq = 0; seq < 300; ++seq) {
    Playlist m = synth::twoItems(seq % 2 == 0);
    std::string trail;
    const int steps = 1 + int(rng() % 25);
    for (int i = 0; i < steps; ++i) randomEdit(m, rng, trail);
    checkAfterEdits(m, trail);
    if (HasFailure()) return;
  }
}

TEST(PlaylistEditProperty, FixturePlaylistsStayConsistent) {
  MORVEX_REQUIRE_FIXTURES();
  auto files = test::fixtureFiles(".mpls");
  ASSERT_FALSE(files.empty());
  std::mt19937 rng(77);
  for (size_t f = 0; f < files.size(); f += 3) {
    core::MemoryLog log;
    Playlist orig;
    ASSERT_TRUE((readPlaylist(test::readFile(files[f]), files[f].string(), orig, log)).complete());
    for (int seq = 0; seq < 4; ++seq) {
      Playlist m = orig;
      std::string trail = files[f].string() + ":";
      for (int i = 0; i < 12; ++i) randomEdit(m, rng, trail);
      checkAfterEdits(m, trail);
      if (HasFailure()) return;
    }
  }
}

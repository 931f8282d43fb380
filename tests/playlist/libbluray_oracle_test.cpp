// libbluray, an independent reader of the same files, must see the same PlayItems,
// streams and marks as the playlist reader in every fixture playlist.
#include <gtest/gtest.h>

#include <cstdlib>

#include "playlist/chapters.h"
#include "playlist/mpls_reader.h"
#include "support/test_support.h"

#ifdef MORVEX_HAVE_LIBBLURAY
#include <libbluray/bluray.h>
#include <libbluray/log_control.h>
#endif

using namespace morvex;
using namespace morvex::playlist;
namespace fs = std::filesystem;

#ifdef MORVEX_HAVE_LIBBLURAY

namespace {

void compareStreams(const BLURAY_STREAM_INFO* theirs, unsigned count, const std::vector<const Stream*>& ours,
                    const std::string& what) {
  ASSERT_EQ(count, ours.size()) << what;
  for (unsigned i = 0; i < count; ++i) {
    SCOPED_TRACE(what + " " + std::to_string(i));
    const Stream& s = *ours[i];
    const uint16_t pid = s.entry.type == 2 ? s.entry.subPID : s.entry.mainPID;
    EXPECT_EQ(theirs[i].pid, pid);
    EXPECT_EQ(theirs[i].coding_type, s.attr.codingType);
    const unsigned t = s.attr.codingType;
    const bool video = t == 0x02 || t == 0x1B || t == 0xEA;
    const bool audio = (t >= 0x80 && t <= 0x86) || t == 0xA1 || t == 0xA2;
    if (video) {
      EXPECT_EQ(theirs[i].format, s.attr.videoFormat);
      EXPECT_EQ(theirs[i].rate, s.attr.frameRate);
    } else if (audio) {
      EXPECT_EQ(theirs[i].format, s.attr.audioPresentation);
      EXPECT_EQ(theirs[i].rate, s.attr.samplingFrequency);
    }
    if (!video) {
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(theirs[i].lang)), s.attr.language);
    }
  }
}

template <typename T>
std::vector<const Stream*> ptrs(const std::vector<T>& v, size_t from = 0, size_t n = SIZE_MAX) {
  std::vector<const Stream*> out;
  for (size_t i = from; i < v.size() && out.size() < n; ++i) out.push_back(&v[i]);
  return out;
}

}  // namespace

TEST(PlaylistOracle, LibblurayReadsTheSamePlaylists) {
  MORVEX_REQUIRE_FIXTURES();
  bd_set_debug_mask(0);
  size_t compared = 0, marks = 0;
  for (const fs::path& bdmv : test::fixtureDiscs()) {
    BLURAY* bd = bd_open(bdmv.parent_path().c_str(), nullptr);
    ASSERT_NE(bd, nullptr) << bdmv;
    for (const auto& e : fs::directory_iterator(bdmv / "PLAYLIST")) {
      if (e.path().extension() != ".mpls") continue;
      SCOPED_TRACE(e.path().string());
      core::MemoryLog log;
      Playlist m;
      ASSERT_TRUE((readPlaylist(test::readFile(e.path()), e.path().string(), m, log)).complete());
      const uint32_t num = uint32_t(std::strtoul(e.path().stem().c_str(), nullptr, 10));
      BLURAY_TITLE_INFO* ti = bd_get_playlist_info(bd, num, 0);
      if (!ti) {
        // libbluray gives up on a playlist whose clips are not all on the disc (the
        // fixtures carry only some clip files); nothing to compare then.
        continue;
      }
      ++compared;
      const auto& items = m.playList.playItems;
      ASSERT_EQ(ti->clip_count, items.size());
      for (size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE("PlayItem " + std::to_string(i));
        const BLURAY_CLIP_INFO& c = ti->clips[i];
        EXPECT_EQ(std::string(c.clip_id), items[i].clipName);
        EXPECT_EQ(c.in_time, uint64_t(items[i].inTime) * 2);  // libbluray counts 90 kHz
        EXPECT_EQ(c.out_time, uint64_t(items[i].outTime) * 2);
        const StreamTable& s = items[i].stn;
        compareStreams(c.video_streams, c.video_stream_count, ptrs(s.video), "video");
        compareStreams(c.audio_streams, c.audio_stream_count, ptrs(s.audio), "audio");
        compareStreams(c.pg_streams, c.pg_stream_count, ptrs(s.pg), "PG");
        compareStreams(c.ig_streams, c.ig_stream_count, ptrs(s.ig), "IG");
        compareStreams(c.sec_audio_streams, c.sec_audio_stream_count, ptrs(s.secAudio), "secondary audio");
        compareStreams(c.sec_video_streams, c.sec_video_stream_count, ptrs(s.secVideo), "secondary video");
      }
      // Marks, and their place on the playlist's time line as chapter export gives it.
      const auto& mk = m.playListMark.marks;
      ASSERT_EQ(ti->mark_count, mk.size());
      auto pts = exportChapters(m, ChapterFormat::PTS);
      ASSERT_TRUE(pts.ok);
      size_t pos = 0;
      for (size_t k = 0; k < mk.size(); ++k) {
        SCOPED_TRACE("mark " + std::to_string(k));
        EXPECT_EQ(ti->marks[k].type, mk[k].type);
        EXPECT_EQ(ti->marks[k].clip_ref, mk[k].playItemRef);
        size_t eol = pts.text.find("\r\n", pos);
        uint64_t ours = std::stoull(pts.text.substr(pos, eol - pos));
        pos = eol + 2;
        EXPECT_EQ(ti->marks[k].start, ours * 2);
        ++marks;
      }
      bd_free_title_info(ti);
      if (HasFailure()) break;
    }
    bd_close(bd);
    if (HasFailure()) return;
  }
  EXPECT_GT(compared, 0u);
  std::cout << "[          ] libbluray agreed on " << compared << " playlists and " << marks << " marks\n";
}

#else

TEST(PlaylistOracle, LibblurayReadsTheSamePlaylists) {
  GTEST_SKIP() << "libbluray (libbluray-dev) was not found when the tests were configured; skipping";
}

#endif

// Version 0300 (Ultra HD) files built byte by byte: every file reads back with the
// values put down, resaves byte for byte, and libbluray, the system's Blu-ray library,
// reads the same values from the same bytes. A file holding something the model does
// not keep is refused naming it.
#include <gtest/gtest.h>

#include <cstring>

#include "clip/clpi.h"
#include "core/log.h"
#include "nav/index.h"
#include "nav/movie_object.h"
#include "playlist/mpls_reader.h"
#include "playlist/mpls_writer.h"
#include "support/test_support.h"
#include "support/uhd_disc.h"

#ifdef MORVEX_HAVE_LIBBLURAY
#include <libbluray/bluray.h>
#include <libbluray/clpi_data.h>
#include <libbluray/log_control.h>
#endif

using namespace morvex;
namespace uhd = morvex::test::uhd;

namespace {

nav::IndexTable readIndex(const core::Bytes& b, core::ReadResult& res) {
  core::MemoryLog log;
  nav::IndexTable x;
  res = nav::readIndexTable(b, "index.bdmv", x, log);
  return x;
}

playlist::Playlist readMpls(const core::Bytes& b, core::ReadResult& res) {
  core::MemoryLog log;
  playlist::Playlist p;
  res = playlist::readPlaylist(b, "00000.mpls", p, log);
  return p;
}

clip::ClipInfo readClpi(const core::Bytes& b, core::ReadResult& res) {
  core::MemoryLog log;
  clip::ClipInfo c;
  res = clip::readClipInfo(b, "00000.clpi", c, log);
  return c;
}

}  // namespace

TEST(UltraHdFiles, IndexFieldsReadAndResaveByteForByte) {
  const core::Bytes b = uhd::indexFile();
  core::ReadResult res;
  nav::IndexTable x = readIndex(b, res);
  ASSERT_TRUE(res.complete()) << res.summary();
  EXPECT_EQ(x.version, nav::kVersion0300);
  const nav::AppInfoFlags f = nav::appInfoFlagsOf(x.appInfoFlags);
  EXPECT_EQ(f.initialOutputModePreference, 1);
  EXPECT_EQ(f.contentExistFlag, 1);
  EXPECT_EQ(f.initialDynamicRangeType, 1);
  EXPECT_EQ(f.videoFormat, 8);
  EXPECT_EQ(f.frameRate, 1);
  EXPECT_EQ(x.contentProviderData, "UHD sample");
  ASSERT_EQ(x.indexes.titles.size(), 1u);
  EXPECT_EQ(x.indexes.titles[0].objectId, 2);
  EXPECT_EQ(x.indexes.topMenu.objectId, 1);
  nav::UhdDiscInfo info;
  ASSERT_TRUE(nav::readUhdDiscInfo(x.extensionData, info));
  EXPECT_EQ(info, (nav::UhdDiscInfo{5, 1, 1, 0, 1, 1, 0}));
  EXPECT_EQ(nav::writeIndexTable(x), b);

  // Editing the fields changes exactly their bits; the round trip gives them back.
  nav::AppInfoFlags g{0, 1, 2, 6, 6};
  x.appInfoFlags = nav::withAppInfoFlags(x.appInfoFlags, g);
  info.hdr10PlusFlag = 0;
  info.sdrFlag = 1;
  info.discType = 3;
  ASSERT_TRUE(nav::writeUhdDiscInfo(x.extensionData, info));
  const core::Bytes edited = nav::writeIndexTable(x);
  ASSERT_EQ(edited.size(), b.size());
  size_t changed = 0;
  for (size_t i = 0; i < b.size(); ++i) changed += edited[i] != b[i];
  EXPECT_EQ(changed, 4u);  // the two AppInfo flag bytes, disc type byte, HDR byte
  nav::IndexTable y = readIndex(edited, res);
  ASSERT_TRUE(res.complete());
  EXPECT_EQ(nav::appInfoFlagsOf(y.appInfoFlags), g);
  nav::UhdDiscInfo back;
  ASSERT_TRUE(nav::readUhdDiscInfo(y.extensionData, back));
  EXPECT_EQ(back, info);
}

TEST(UltraHdFiles, MovieObjectsResaveByteForByte) {
  const core::Bytes b = uhd::movieObjectFile();
  core::MemoryLog log;
  nav::MovieObjectFile m;
  ASSERT_TRUE(nav::readMovieObjectFile(b, "MovieObject.bdmv", m, log).complete());
  EXPECT_EQ(m.version, "0300");
  ASSERT_EQ(m.movieObjects.objects.size(), 3u);
  EXPECT_EQ(m.movieObjects.objects[2].menuCallMask, 1);
  EXPECT_EQ(m.movieObjects.objects[2].commands.at(0).dst, 1u);
  EXPECT_EQ(nav::writeMovieObjectFile(m), b);

  // Bits 12-0 of a flags word are not held by the model: a 0300 file with one set is
  // refused, naming where, rather than resaved without it.
  core::Bytes odd = b;
  odd[50 + 1] = 0x01;
  nav::MovieObjectFile z;
  core::MemoryLog log2;
  auto res = nav::readMovieObjectFile(odd, "MovieObject.bdmv", z, log2);
  ASSERT_TRUE(res.refused());
  EXPECT_EQ(res.problems.at(0).kind, core::ReadIssue::UnknownContent);
  EXPECT_EQ(res.problems.at(0).offset, 51u);
  EXPECT_NE(res.problems.at(0).message.find("MovieObjects() bytes at $00000033"), std::string::npos);
}

TEST(UltraHdFiles, PlaylistHevcAttributesAndStaticMetadata) {
  const core::Bytes b = uhd::playlistFile();
  core::ReadResult res;
  playlist::Playlist p = readMpls(b, res);
  ASSERT_TRUE(res.complete()) << res.summary();
  EXPECT_EQ(p.version, "0300");
  EXPECT_EQ(p.appInfo.sdrConversionNotificationFlag, 1);
  ASSERT_EQ(p.playList.playItems.size(), 1u);
  const auto& v = p.playList.playItems[0].stn.video.at(0).attr;
  EXPECT_EQ(v.codingType, 0x24);
  EXPECT_EQ(v.videoFormat, 8);
  EXPECT_EQ(v.frameRate, 1);
  EXPECT_EQ(v.dynamicRangeType, 1);
  EXPECT_EQ(v.colorSpace, 2);
  EXPECT_EQ(v.crFlag, 1);
  EXPECT_EQ(v.hdrPlusFlag, 1);
  EXPECT_EQ(p.playList.playItems[0].stn.audio.at(0).attr.language, "eng");
  EXPECT_EQ(p.playListMark.marks.size(), 2u);
  std::vector<playlist::StaticMetadata> meta;
  ASSERT_TRUE(playlist::readStaticMetadata(p.extData, meta));
  ASSERT_EQ(meta.size(), 1u);
  EXPECT_EQ(meta[0].dynamicRangeType, 1);
  EXPECT_EQ(meta[0].displayPrimariesX, (std::array<uint16_t, 3>{8500, 6550, 35400}));
  EXPECT_EQ(meta[0].displayPrimariesY, (std::array<uint16_t, 3>{39850, 2300, 14600}));
  EXPECT_EQ(meta[0].whitePointX, 15635);
  EXPECT_EQ(meta[0].whitePointY, 16450);
  EXPECT_EQ(meta[0].maxDisplayMasteringLuminance, 1000);
  EXPECT_EQ(meta[0].minDisplayMasteringLuminance, 50);
  EXPECT_EQ(meta[0].maxContentLightLevel, 1000);
  EXPECT_EQ(meta[0].maxFrameAverageLightLevel, 400);
  EXPECT_TRUE(playlist::layoutMismatches(p).empty());
  EXPECT_EQ(playlist::writePlaylist(p), b);

  // Edited HEVC attributes and metadata land in their bits and read back.
  auto& w = p.playList.playItems[0].stn.video[0].attr;
  w.dynamicRangeType = 2;
  w.colorSpace = 1;
  w.hdrPlusFlag = 0;
  meta[0].maxContentLightLevel = 4000;
  ASSERT_TRUE(playlist::writeStaticMetadata(p.extData, meta));
  const core::Bytes edited = playlist::writePlaylist(p);
  EXPECT_EQ(edited[uhd::kPlaylistVideoCodingAt + 2], 0x21);
  EXPECT_EQ(edited[uhd::kPlaylistVideoCodingAt + 3], 0x80);
  playlist::Playlist q = readMpls(edited, res);
  ASSERT_TRUE(res.complete()) << res.summary();
  EXPECT_EQ(q, p);
  std::vector<playlist::StaticMetadata> again;
  ASSERT_TRUE(playlist::readStaticMetadata(q.extData, again));
  EXPECT_EQ(again, meta);
}

TEST(UltraHdFiles, ClipInfoHevcAttributes) {
  const core::Bytes b = uhd::clipInfoFile();
  core::ReadResult res;
  clip::ClipInfo c = readClpi(b, res);
  ASSERT_TRUE(res.complete()) << res.summary();
  EXPECT_EQ(c.version, "0300");
  ASSERT_EQ(c.programInfo.programSequences.size(), 1u);
  const auto& s = c.programInfo.programSequences[0].streams;
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].codingType, 0x24);
  EXPECT_EQ(s[0].videoFormat, 8);
  EXPECT_EQ(s[0].frameRate, 1);
  EXPECT_EQ(s[0].aspectRatio, 3);
  EXPECT_EQ(s[0].crFlag, 1);
  EXPECT_EQ(s[0].dynamicRangeType, 1);
  EXPECT_EQ(s[0].colorSpace, 2);
  EXPECT_EQ(s[0].hdrPlusFlag, 1);
  EXPECT_EQ(s[0].isrcCountry + s[0].isrcOwner + s[0].isrcYear + s[0].isrcNumber, "USABC2400001");
  EXPECT_EQ(s[1].audioLanguage, "eng");
  EXPECT_EQ(clip::writeClipInfo(c), b);
}

// What a 0300 file holds beyond the model is refused with its name and place; a file
// cut short is partial, as for 0200.
TEST(UltraHdFiles, UnknownContentIsRefusedAndShortFilesArePartial) {
  core::ReadResult res;
  {
    // A refused playlist leaves the model as it was, but for type indicator and version.
    core::MemoryLog log;
    playlist::Playlist before = readMpls(uhd::playlistFile(), res), m = before;
    m.version = "0200";
    before.version = "0200";
    res = playlist::readPlaylist(uhd::playlistFile(0x20), "00000.mpls", m, log);
    EXPECT_EQ(m.version, "0300");
    m.version = "0200";
    EXPECT_EQ(m, before);
  }
  ASSERT_TRUE(res.refused());
  EXPECT_EQ(res.problems.at(0).kind, core::ReadIssue::UnknownContent);
  EXPECT_NE(res.problems.at(0).message.find("stream coding type 0x20"), std::string::npos) << res.summary();

  core::Bytes b = uhd::playlistFile();
  b[uhd::kPlaylistVideoCodingAt + 2] = 0x17;  // colour space 7 has no name
  readMpls(b, res);
  ASSERT_TRUE(res.refused());
  EXPECT_NE(res.summary().find("colour space 7"), std::string::npos) << res.summary();

  b = uhd::playlistFile();
  b[uhd::kPlaylistVideoCodingAt + 3] |= 0x01;  // a reserved bit beside the HDR10+ flag
  readMpls(b, res);
  ASSERT_TRUE(res.refused());
  EXPECT_EQ(res.problems.at(0).offset, uhd::kPlaylistVideoCodingAt + 3);
  EXPECT_NE(res.summary().find("PlayList bytes"), std::string::npos) << res.summary();

  b = uhd::clipInfoFile();
  b[uhd::kClipVideoAttrAt] = 0x20;
  readClpi(b, res);
  ASSERT_TRUE(res.refused());
  EXPECT_NE(res.summary().find("00000.clpi: version 0300 holds stream coding type 0x20"), std::string::npos)
      << res.summary();

  b = uhd::indexFile();
  b[78 + 4 + 1] = 0x01;  // bits 29-0 of the First Playback word
  readIndex(b, res);
  ASSERT_TRUE(res.refused());
  EXPECT_EQ(res.problems.at(0).offset, 83u);

  for (auto [whole, name] : {std::pair{uhd::playlistFile(), "playlist"}, std::pair{uhd::clipInfoFile(), "clip"},
                             std::pair{uhd::indexFile(), "index"}}) {
    SCOPED_TRACE(name);
    core::Bytes cut(whole.begin(), whole.begin() + std::ptrdiff_t(whole.size() * 2 / 3));
    if (std::string(name) == "playlist") readMpls(cut, res);
    else if (std::string(name) == "clip") readClpi(cut, res);
    else readIndex(cut, res);
    EXPECT_TRUE(res.partial()) << res.summary();
    EXPECT_EQ(res.problems.at(0).kind, core::ReadIssue::EndsEarly);
    // Cut inside the ExtensionData bytes: the block's length says more follow.
    core::Bytes tail(whole.begin(), whole.end() - 5);
    if (std::string(name) == "playlist") readMpls(tail, res);
    else if (std::string(name) == "clip") readClpi(tail, res);
    else readIndex(tail, res);
    EXPECT_TRUE(res.partial()) << res.summary();
    // The built clip has no ExtensionData: its CPI and ClipMark lengths end the file.
    EXPECT_NE(res.summary().find(std::string(name) == "clip" ? "inside CPI" : "ExtensionData"), std::string::npos)
        << res.summary();
  }
}

#ifdef MORVEX_HAVE_LIBBLURAY

// libbluray opens the disc built from the same bytes: its disc info, title list, the
// playlist's streams and marks and the clip's program streams match field for field.
TEST(UltraHdFiles, LibblurayReadsTheSameValues) {
  bd_set_debug_mask(0);
  test::TempDir dir;
  uhd::writeDisc(dir.path());
  core::ReadResult res;
  const nav::IndexTable x = readIndex(uhd::indexFile(), res);
  const playlist::Playlist p = readMpls(uhd::playlistFile(), res);
  const clip::ClipInfo c = readClpi(uhd::clipInfoFile(), res);

  BLURAY* bd = bd_open(dir.path().c_str(), nullptr);
  ASSERT_NE(bd, nullptr);
  struct Close {
    BLURAY* b;
    ~Close() { bd_close(b); }
  } closer{bd};

  const BLURAY_DISC_INFO* di = bd_get_disc_info(bd);
  ASSERT_NE(di, nullptr);
  ASSERT_TRUE(di->bluray_detected);
  const nav::AppInfoFlags f = nav::appInfoFlagsOf(x.appInfoFlags);
  EXPECT_EQ(di->initial_output_mode_preference, f.initialOutputModePreference);
  EXPECT_EQ(di->content_exist_3D, f.contentExistFlag);
  EXPECT_EQ(di->initial_dynamic_range_type, f.initialDynamicRangeType);
  EXPECT_EQ(di->video_format, f.videoFormat);
  EXPECT_EQ(di->frame_rate, f.frameRate);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(di->provider_data), strnlen(reinterpret_cast<const char*>(di->provider_data), 32)),
            x.contentProviderData);
  ASSERT_EQ(di->num_titles, x.indexes.titles.size());
  ASSERT_NE(di->titles[1], nullptr);
  EXPECT_EQ(di->titles[1]->bdj, 0);
  EXPECT_EQ(di->titles[1]->id_ref, x.indexes.titles[0].objectId);
  EXPECT_EQ(di->titles[1]->interactive, x.indexes.titles[0].playbackType);
  ASSERT_NE(di->top_menu, nullptr);
  EXPECT_EQ(di->top_menu->id_ref, x.indexes.topMenu.objectId);
  EXPECT_EQ(di->top_menu->interactive, x.indexes.topMenu.playbackType);
  ASSERT_NE(di->first_play, nullptr);
  EXPECT_EQ(di->first_play->id_ref, x.indexes.firstPlayback.objectId);

  BLURAY_TITLE_INFO* ti = bd_get_playlist_info(bd, 0, 0);
  ASSERT_NE(ti, nullptr);
  struct Free {
    BLURAY_TITLE_INFO* t;
    ~Free() { bd_free_title_info(t); }
  } freer{ti};
  ASSERT_EQ(ti->clip_count, 1u);
  const auto& item = p.playList.playItems[0];
  EXPECT_EQ(ti->clips[0].in_time, uint64_t(item.inTime) * 2);
  EXPECT_EQ(ti->clips[0].out_time, uint64_t(item.outTime) * 2);
  ASSERT_EQ(ti->clips[0].video_stream_count, 1);
  const auto& v = item.stn.video[0];
  EXPECT_EQ(ti->clips[0].video_streams[0].coding_type, v.attr.codingType);
  EXPECT_EQ(ti->clips[0].video_streams[0].format, v.attr.videoFormat);
  EXPECT_EQ(ti->clips[0].video_streams[0].rate, v.attr.frameRate);
  EXPECT_EQ(ti->clips[0].video_streams[0].pid, v.entry.mainPID);
  ASSERT_EQ(ti->clips[0].audio_stream_count, 1);
  const auto& a = item.stn.audio[0];
  EXPECT_EQ(ti->clips[0].audio_streams[0].coding_type, a.attr.codingType);
  EXPECT_EQ(ti->clips[0].audio_streams[0].format, a.attr.audioPresentation);
  EXPECT_EQ(ti->clips[0].audio_streams[0].rate, a.attr.samplingFrequency);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(ti->clips[0].audio_streams[0].lang)), a.attr.language);
  ASSERT_EQ(ti->mark_count, p.playListMark.marks.size());
  for (size_t i = 0; i < p.playListMark.marks.size(); ++i)
    EXPECT_EQ(ti->marks[i].start, uint64_t(p.playListMark.marks[i].timeStamp - item.inTime) * 2);

  const auto clpiPath = dir.path() / "BDMV" / "CLIPINF" / "00000.clpi";
  CLPI_CL* cl = bd_read_clpi(clpiPath.c_str());
  ASSERT_NE(cl, nullptr);
  struct FreeClpi {
    CLPI_CL* p;
    ~FreeClpi() { bd_free_clpi(p); }
  } clpiGuard{cl};
  EXPECT_EQ(cl->clip.num_source_packets, c.clipInfo.numberOfSourcePackets);
  EXPECT_EQ(cl->clip.application_type, c.clipInfo.applicationType);
  ASSERT_EQ(cl->program.num_prog, 1);
  const auto& ours = c.programInfo.programSequences[0].streams;
  ASSERT_EQ(cl->program.progs[0].num_streams, ours.size());
  for (size_t i = 0; i < ours.size(); ++i) {
    SCOPED_TRACE(i);
    const CLPI_PROG_STREAM& t = cl->program.progs[0].streams[i];
    EXPECT_EQ(t.pid, ours[i].pid);
    EXPECT_EQ(t.coding_type, ours[i].codingType);
    if (i == 0) {
      EXPECT_EQ(t.format, ours[i].videoFormat);
      EXPECT_EQ(t.rate, ours[i].frameRate);
      EXPECT_EQ(t.aspect, ours[i].aspectRatio);
      EXPECT_EQ(t.oc_flag, ours[i].cpFlag);
      EXPECT_EQ(t.cr_flag, ours[i].crFlag);
      EXPECT_EQ(t.dynamic_range_type, ours[i].dynamicRangeType);
      EXPECT_EQ(t.color_space, ours[i].colorSpace);
      EXPECT_EQ(t.hdr_plus_flag, ours[i].hdrPlusFlag);
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(t.isrc), 12),
                ours[i].isrcCountry + ours[i].isrcOwner + ours[i].isrcYear + ours[i].isrcNumber);
    } else {
      EXPECT_EQ(t.format, ours[i].audioPresentationType);
      EXPECT_EQ(t.rate, ours[i].samplingFrequency);
      EXPECT_EQ(std::string(t.lang), ours[i].audioLanguage);
    }
  }
}

#else

TEST(UltraHdFiles, LibblurayReadsTheSameValues) { MORVEX_SKIP_OR_FAIL("libbluray is not installed"); }

#endif

// The fuzz targets and the robustness campaign start from these files: the seeds in
// the repository are exactly what the builders make.
TEST(UltraHdFiles, FuzzSeedsAreTheBuiltFiles) {
  const std::filesystem::path seeds = std::filesystem::path(MORVEX_SOURCE_DIR) / "fuzz" / "seeds";
  EXPECT_EQ(test::readFile(seeds / "fuzz_index" / "uhd_index.bdmv"), uhd::indexFile());
  EXPECT_EQ(test::readFile(seeds / "fuzz_mobj" / "uhd_MovieObject.bdmv"), uhd::movieObjectFile());
  EXPECT_EQ(test::readFile(seeds / "fuzz_mpls" / "uhd_00000.mpls"), uhd::playlistFile());
  EXPECT_EQ(test::readFile(seeds / "fuzz_clpi" / "uhd_00000.clpi"), uhd::clipInfoFile());
}

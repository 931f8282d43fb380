// Demo disc playlists: a menu playlist and a feature playlist with chapters, written
// with the playlist writer. Clips 00000 (menu) and 00001/00002 (feature) come from the
// clip step, which runs first; each PlayItem plays its clip from the start to the end
// of the clip's presentation time. Streams use the usual PIDs: video 0x1011, audio
// 0x1100/0x1101, menu 0x1400.
#include <filesystem>

#include "clip/clpi.h"

#include "core/save.h"
#include "core/stream_coding.h"
#include "demo_registry.h"
#include "playlist/chapters.h"
#include "playlist/mpls_writer.h"

namespace morvex::demo {

namespace {

using namespace morvex::playlist;
using morvex::core::StreamCoding;

constexpr uint32_t kSecond = 45000;

Stream stream(uint8_t type, uint16_t pid, StreamCoding coding, const char* lang) {
  Stream s;
  s.entry.length = 9;
  s.entry.type = type;
  if (type == 2) s.entry.subPID = pid;
  else s.entry.mainPID = pid;
  s.attr.length = 5;
  s.attr.codingType = morvex::core::codingValue(coding);
  if (coding == StreamCoding::Avc) {
    s.attr.videoFormat = 6;  // 1080p
    s.attr.frameRate = 1;    // 23.976
  } else if (coding == StreamCoding::DolbyDigital) {
    s.attr.audioPresentation = 6;
    s.attr.samplingFrequency = 1;
    s.attr.language = lang;
  } else {
    s.attr.language = lang;
  }
  return s;
}

// IN and OUT of a PlayItem that plays a whole clip: the presentation start and end of
// the clip's first STC sequence, or 0 and `seconds` when the clip cannot be read.
struct ClipSpan {
  uint32_t in = 0, out = 0;
};
ClipSpan clipSpan(const std::filesystem::path& bdmv, const char* clip, uint32_t seconds) {
  core::NullLog quiet;
  clip::ClipInfo c;
  if (clip::readClipInfoFile(bdmv / "CLIPINF" / (std::string(clip) + ".clpi"), c, quiet).complete() &&
      !c.sequenceInfo.atcSequences.empty() && !c.sequenceInfo.atcSequences[0].stcSequences.empty()) {
    const auto& stc = c.sequenceInfo.atcSequences[0].stcSequences[0];
    return {stc.presentationStartTime, stc.presentationEndTime};
  }
  return {0, seconds * kSecond};
}

PlayItem playItem(const char* clip, ClipSpan span) {
  PlayItem p;
  p.clipName = clip;
  p.codecId = "M2TS";
  p.connectionCondition = 1;
  p.inTime = span.in;
  p.outTime = span.out;
  p.randomAccessFlag = 0;
  p.stn.video.push_back(stream(1, 0x1011, StreamCoding::Avc, ""));
  p.stn.audio.push_back(stream(1, 0x1100, StreamCoding::DolbyDigital, "eng"));
  return p;
}

Playlist blank() {
  Playlist m;
  m.typeIndicator = "MPLS";
  m.version = "0200";
  m.markStart = 1;  // the file has a mark section; updateLengths places it
  m.appInfo.length = 14;
  m.appInfo.playbackType = 1;
  return m;
}

bool save(DemoContext& ctx, const std::string& name, const Playlist& m) {
  core::SaveSettings s;
  s.backup = false;
  return savePlaylist(m, ctx.bdmv / "PLAYLIST", name + ".mpls", s, ctx.log).ok;
}

bool writePlaylists(DemoContext& ctx) {
  std::error_code ec;
  std::filesystem::create_directories(ctx.bdmv / "PLAYLIST", ec);
  if (ec) return false;

  // 00000: the top menu, a still-like loop of clip 00000 with its IG menu in the clip.
  Playlist menu = blank();
  menu.appInfo.uoMask1 = 0x00000000;
  PlayItem mp = playItem("00000", clipSpan(ctx.bdmv, "00000", 30));
  mp.stn.ig.push_back(stream(1, 0x1400, StreamCoding::Ig, "eng"));
  mp.stillMode = 0;
  menu.playList.playItems.push_back(mp);
  menu.playListMark.marks.push_back(Mark{0, 1, 0, mp.inTime, 0xFFFF, 0});
  updateLengths(menu);

  // 00001: the feature, clips 00001 and 00002 end to end, two audio languages, and
  // a chapter every 1.5 seconds placed by chapter import.
  Playlist feature = blank();
  PlayItem f1 = playItem("00001", clipSpan(ctx.bdmv, "00001", 12));
  f1.stn.audio.push_back(stream(1, 0x1101, StreamCoding::DolbyDigital, "fre"));
  PlayItem f2 = playItem("00002", clipSpan(ctx.bdmv, "00002", 60));
  f2.stn.audio = f1.stn.audio;
  feature.playList.playItems = {f1, f2};
  updateLengths(feature);
  core::NullLog quiet;
  ChapterResult ch = importChapters(
      feature, "00:00:00.000\r\n00:00:01.500\r\n00:00:03.000\r\n00:00:04.500\r\n00:00:06.000\r\n00:00:07.500\r\n",
      ChapterFormat::Time, quiet);
  if (!ch.ok) return false;
  // the last chapter is a link point, as authoring tools set for a scene bookmark
  feature.playListMark.marks.back().type = 2;
  if (!layoutMismatches(feature).empty() || !layoutMismatches(menu).empty()) return false;

  // 00002: the feature's second half alone, with a SubPath for an out-of-mux menu.
  Playlist extra = blank();
  PlayItem e1 = f2;
  e1.stn.ig.push_back(stream(2, 0x1400, StreamCoding::Ig, "eng"));
  extra.playList.playItems = {e1};
  SubPath sp;
  sp.type = 3;
  SubPlayItem spi;
  spi.clipName = "00000";
  spi.codecId = "M2TS";
  spi.connectionCondition = 1;
  spi.inTime = mp.inTime;
  spi.outTime = mp.outTime;
  spi.syncStartPTS = e1.inTime;
  sp.subPlayItems.push_back(spi);
  extra.playList.subPaths.push_back(sp);
  extra.playListMark.marks.push_back(Mark{0, 1, 0, e1.inTime, 0xFFFF, 0});
  updateLengths(extra);

  return save(ctx, "00000", menu) && save(ctx, "00001", feature) && save(ctx, "00002", extra);
}

const DemoStep step(50, "playlists", writePlaylists);  // after the clips

}  // namespace

}  // namespace morvex::demo

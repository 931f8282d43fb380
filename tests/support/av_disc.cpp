#include "support/av_disc.h"

#include <cstdlib>

#include "clip/stream_clip.h"
#include "core/log.h"
#include "core/save.h"
#include "core/stream_coding.h"
#include "core/text.h"
#include "nav/index.h"
#include "nav/movie_object.h"
#include "playlist/mpls_writer.h"

namespace morvex::test {

namespace fs = std::filesystem;

bool writeAvDisc(const fs::path& bdmv, const AvDiscOptions& o, std::string& error) {
  std::error_code ec;
  for (const char* d : {"PLAYLIST", "CLIPINF", "STREAM", "BACKUP", "AUXDATA"}) fs::create_directories(bdmv / d, ec);
  if (ec) {
    error = ec.message();
    return false;
  }
  const fs::path first = bdmv / "STREAM" / "00001.m2ts";
  const std::string cmd = "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i \"testsrc2=size=1920x1080:rate=24000/1001:duration=" +
                          std::to_string(o.seconds) +
                          "\" -c:v libx264 -preset ultrafast -profile:v high -level 4.1 -pix_fmt yuv420p -crf 35"
                          " -x264-params \"threads=1:keyint=24:min-keyint=24:scenecut=0:bframes=0:aud=1\" -threads 1"
                          " -f mpegts -mpegts_m2ts_mode 1 -mpegts_pmt_start_pid 0x100 -streamid 0:0x1011 \"" +
                          first.string() + "\"";
  if (std::system(cmd.c_str()) != 0) {
    error = "ffmpeg could not encode the titles' video (is ffmpeg installed?)";
    return false;
  }
  const clip::StreamFacts facts = clip::scanStream(first, 0x1011);
  if (!facts.ok) {
    error = facts.error;
    return false;
  }
  const clip::ClipInfo clpi = clip::clipInfoOfStream(facts, {clip::avcVideoStream(0x1011)}, 0x1011);
  core::NullLog quiet;
  core::SaveSettings s;
  s.backup = false;
  s.saveBackupDir = true;
  nav::MovieObjectFile mobj;
  nav::IndexTable index;
  index.indexes.firstPlayback.objectId = 0xFFFF;
  index.indexes.topMenu.objectId = 0xFFFF;
  for (size_t i = 0; i < o.titles; ++i) {
    const std::string name = core::decimalText(i + 1, 5);
    if (i > 0) fs::copy_file(first, bdmv / "STREAM" / (name + ".m2ts"), fs::copy_options::overwrite_existing, ec);
    if (ec || !clip::saveClipInfo(clpi, bdmv / "CLIPINF", name + ".clpi", s, quiet).ok) {
      error = "clip " + name + " could not be written";
      return false;
    }
    playlist::Playlist m;
    m.typeIndicator = "MPLS";
    m.version = "0200";
    m.markStart = 1;
    m.appInfo.length = 14;
    m.appInfo.playbackType = 1;
    playlist::PlayItem p;
    p.clipName = name;
    p.codecId = "M2TS";
    p.connectionCondition = 1;
    const auto& stc = clpi.sequenceInfo.atcSequences[0].stcSequences[0];
    p.inTime = stc.presentationStartTime;
    p.outTime = stc.presentationEndTime;
    playlist::Stream v;
    v.entry.length = 9;
    v.entry.type = 1;
    v.entry.mainPID = 0x1011;
    v.attr.length = 5;
    v.attr.codingType = core::codingValue(core::StreamCoding::Avc);
    v.attr.videoFormat = 6;
    v.attr.frameRate = 1;
    p.stn.video.push_back(v);
    m.playList.playItems.push_back(p);
    const uint32_t step = o.chapterSeconds > 0 ? uint32_t(o.chapterSeconds * 45000) : 0;
    for (uint32_t t = p.inTime; t < p.outTime; t += step) {
      m.playListMark.marks.push_back(playlist::Mark{0, 1, 0, t, 0xFFFF, 0});
      if (!step) break;
    }
    playlist::updateLengths(m);
    if (!playlist::savePlaylist(m, bdmv / "PLAYLIST", name + ".mpls", s, quiet).ok) {
      error = "playlist " + name + " could not be written";
      return false;
    }
    nav::MovieObject obj;
    obj.commands.push_back({0x22800000u, uint32_t(i + 1), 0});  // Play PL
    mobj.movieObjects.objects.push_back(obj);
    nav::Title t;
    t.titleNumber = uint32_t(i + 1);
    t.objectId = uint16_t(i);
    index.indexes.titles.push_back(t);
  }
  index.indexes.length = uint32_t(26 + 12 * index.indexes.titles.size());
  mobj.movieObjects.length = nav::movieObjectsLength(mobj.movieObjects);
  const auto names = core::FileNames::make(false);
  if (!nav::saveIndexTable(index, bdmv, names.indexfile, s, quiet).ok ||
      !nav::saveMovieObjectFile(mobj, bdmv, names.mobjfile, s, quiet).ok) {
    error = "the navigation files could not be written";
    return false;
  }
  return true;
}

}  // namespace morvex::test

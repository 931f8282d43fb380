#include "check/sample_disc.h"

#include <cstdio>
#include <fstream>

#include "clip/clpi.h"
#include "nav/index.h"
#include "nav/movie_object.h"
#include "playlist/mpls_writer.h"

namespace morvex::check {

namespace fs = std::filesystem;

namespace {

std::string name5(size_t n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%05zu", n % 100000);
  return buf;
}

bool put(const fs::path& p, const core::Bytes& b) {
  std::ofstream f(p, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  return static_cast<bool>(f);
}

}  // namespace

bool writeSampleDisc(const fs::path& bdmv, size_t playlists, size_t clips) {
  std::error_code ec;
  for (const char* sub : {"PLAYLIST", "CLIPINF", "STREAM", "BACKUP", "BDJO", "AUXDATA"})
    fs::create_directories(bdmv / sub, ec);
  if (ec) return false;
  if (clips == 0) clips = 1;
  constexpr uint32_t kSecond = 45000;

  // One movie object per playlist (at most 999 titles; the rest are reached by objects).
  nav::TMOBJ mobj;
  nav::TINDX index;
  index.indexes.firstPlayback.objectId = 0;
  index.indexes.topMenu.objectId = 0;
  for (size_t i = 0; i < std::max<size_t>(playlists, 1); ++i) {
    nav::Tmobject o;
    // Play PL i, then back to the first title.
    if (i < playlists) o.commands.push_back({0x22800000u, uint32_t(i % 100000), 0});
    o.commands.push_back({0x21810000u, 1, 0});
    mobj.movieObjects.objects.push_back(o);
    if (index.indexes.titles.size() < nav::kMaxTitles) {
      nav::TTitle t;
      t.titleNumber = uint32_t(i + 1);
      t.objectId = uint16_t(std::min<size_t>(i, 0xFFFE));
      index.indexes.titles.push_back(t);
    }
  }
  index.indexes.length = uint32_t(26 + 12 * index.indexes.titles.size());
  mobj.movieObjects.length = nav::movieObjectsLength(mobj.movieObjects);
  const auto ib = nav::indexBytes(index), mb = nav::mobjBytes(mobj);
  if (!put(bdmv / "index.bdmv", ib) || !put(bdmv / "BACKUP" / "index.bdmv", ib) ||
      !put(bdmv / "MovieObject.bdmv", mb) || !put(bdmv / "BACKUP" / "MovieObject.bdmv", mb))
    return false;

  for (size_t i = 0; i < playlists; ++i) {
    playlist::TMPLS m;
    m.typeIndicator = "MPLS";
    m.version = "0200";
    m.markStart = 1;
    m.appInfo.length = 14;
    playlist::TPlayItem p;
    p.clipName = name5(i % clips);
    p.codecId = "M2TS";
    p.inTime = 0;
    p.outTime = 60 * kSecond;
    playlist::TStream v;
    v.entry.mainPID = 0x1011;
    v.attr.codingType = 0x1B;
    v.attr.videoFormat = 6;
    v.attr.frameRate = 1;
    p.stn.video.push_back(v);
    m.playList.playItems.push_back(p);
    playlist::TMark mk;
    mk.timeStamp = 0;
    m.playListMark.marks.push_back(mk);
    playlist::updateLengths(m);
    if (!put(bdmv / "PLAYLIST" / (name5(i) + ".mpls"), playlist::buildMPLS(m))) return false;
  }
  for (size_t i = 0; i < clips; ++i) {
    clip::TCLPI c;
    c.type_indicator = "HDMV";
    c.version = "0200";
    c.ClipInfo.TS_recording_rate = 6000000;
    c.ClipInfo.number_of_source_packets = 1000;
    c.ClipInfo.TS_type_info_length = 30;
    c.ClipInfo.validity_flags = 0x80;
    c.ClipInfo.format_identifier = "HDMV";
    clip::TATC_sequences a;
    a.STC_sequences.push_back({0x1001, 0, 0, 60 * kSecond});
    c.SequenceInfo.ATC_sequences.push_back(a);
    c.SequenceInfo.length = 2 + 6 + 14;
    clip::TProgram_sequences ps;
    ps.program_map_PID = 0x0100;
    clip::TClipStream s;
    s.PID = 0x1011;
    s.coding_info_length = 5;
    s.coding_type = 0x1B;
    s.video_format = 6;
    s.frame_rate = 1;
    ps.streams.push_back(s);
    c.ProgramInfo.length = uint32_t(2 + 8 + 24 * ps.streams.size());
    c.ProgramInfo.program_sequences.push_back(ps);
    if (!put(bdmv / "CLIPINF" / (name5(i) + ".clpi"), clip::writeCLPI(c))) return false;
  }
  return true;
}

}  // namespace morvex::check

#include "support/sample_disc.h"

#include <fstream>

#include "clip/clpi.h"
#include "core/stream_coding.h"
#include "core/text.h"
#include "nav/index.h"
#include "nav/movie_object.h"
#include "playlist/mpls_writer.h"

namespace morvex::test {

namespace fs = std::filesystem;

namespace {

std::string name5(size_t n) { return core::decimalText(n % 100000, 5); }

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
  nav::MovieObjectFile mobj;
  nav::IndexTable index;
  index.indexes.firstPlayback.objectId = 0;
  index.indexes.topMenu.objectId = 0;
  for (size_t i = 0; i < std::max<size_t>(playlists, 1); ++i) {
    nav::MovieObject o;
    // Play PL i, then back to the first title.
    if (i < playlists) o.commands.push_back({0x22800000u, uint32_t(i % 100000), 0});
    o.commands.push_back({0x21810000u, 1, 0});
    mobj.movieObjects.objects.push_back(o);
    if (index.indexes.titles.size() < nav::kMaxTitles) {
      nav::Title t;
      t.titleNumber = uint32_t(i + 1);
      t.objectId = uint16_t(std::min<size_t>(i, 0xFFFE));
      index.indexes.titles.push_back(t);
    }
  }
  index.indexes.length = uint32_t(26 + 12 * index.indexes.titles.size());
  mobj.movieObjects.length = nav::movieObjectsLength(mobj.movieObjects);
  const auto ib = nav::writeIndexTable(index), mb = nav::writeMovieObjectFile(mobj);
  if (!put(bdmv / "index.bdmv", ib) || !put(bdmv / "BACKUP" / "index.bdmv", ib) ||
      !put(bdmv / "MovieObject.bdmv", mb) || !put(bdmv / "BACKUP" / "MovieObject.bdmv", mb))
    return false;

  for (size_t i = 0; i < playlists; ++i) {
    playlist::Playlist m;
    m.typeIndicator = "MPLS";
    m.version = "0200";
    m.markStart = 1;
    m.appInfo.length = 14;
    playlist::PlayItem p;
    p.clipName = name5(i % clips);
    p.codecId = "M2TS";
    p.inTime = 0;
    p.outTime = 60 * kSecond;
    playlist::Stream v;
    v.entry.mainPID = 0x1011;
    v.attr.codingType = core::codingValue(core::StreamCoding::Avc);
    v.attr.videoFormat = 6;
    v.attr.frameRate = 1;
    p.stn.video.push_back(v);
    m.playList.playItems.push_back(p);
    playlist::Mark mk;
    mk.timeStamp = 0;
    m.playListMark.marks.push_back(mk);
    playlist::updateLengths(m);
    if (!put(bdmv / "PLAYLIST" / (name5(i) + ".mpls"), playlist::writePlaylist(m))) return false;
  }
  for (size_t i = 0; i < clips; ++i) {
    clip::ClipInfo c;
    c.typeIndicator = "HDMV";
    c.version = "0200";
    c.clipInfo.tsRecordingRate = 6000000;
    c.clipInfo.numberOfSourcePackets = 1000;
    c.clipInfo.tsTypeInfoLength = 30;
    c.clipInfo.validityFlags = 0x80;
    c.clipInfo.formatIdentifier = "HDMV";
    clip::AtcSequence a;
    a.stcSequences.push_back({0x1001, 0, 0, 60 * kSecond});
    c.sequenceInfo.atcSequences.push_back(a);
    c.sequenceInfo.length = 2 + 6 + 14;
    clip::ProgramSequence ps;
    ps.programMapPid = 0x0100;
    clip::ClipStream s;
    s.pid = 0x1011;
    s.codingInfoLength = 5;
    s.codingType = core::codingValue(core::StreamCoding::Avc);
    s.videoFormat = 6;
    s.frameRate = 1;
    ps.streams.push_back(s);
    c.programInfo.length = uint32_t(2 + 8 + 24 * ps.streams.size());
    c.programInfo.programSequences.push_back(ps);
    if (!put(bdmv / "CLIPINF" / (name5(i) + ".clpi"), clip::writeClipInfo(c))) return false;
  }
  return true;
}

}  // namespace morvex::test

// Demo disc clips: clip information for the menu clip 00000 and the feature clips
// 00001/00002, a small generated stream file for 00001 (video 0x1011, audio 0x1100 and
// 0x1101, subtitles 0x1200, menu 0x1400) whose EP map and packet count the clip
// information describes, and the BD-J object 00001 the index's BD-J title names.
#include <filesystem>

#include "clip/clpi.h"
#include "clip/ep_map.h"
#include "support/ts_synth.h"
#include "core/binary.h"
#include "core/save.h"
#include "core/stream_coding.h"
#include "demo_registry.h"

namespace fs = std::filesystem;

namespace morvex::demo {

namespace {

using namespace morvex::clip;
using morvex::core::StreamCoding;
using morvex::core::codingValue;

ClipStream video() {
  ClipStream s;
  s.pid = 0x1011, s.codingInfoLength = 21, s.codingType = codingValue(StreamCoding::Avc), s.videoFormat = 6,
  s.frameRate = 1, s.aspectRatio = 3;
  return s;
}

ClipStream audio(uint16_t pid, const char* lang) {
  ClipStream s;
  s.pid = pid, s.codingInfoLength = 21, s.codingType = codingValue(StreamCoding::DolbyDigital),
  s.audioPresentationType = 6, s.samplingFrequency = 1, s.audioLanguage = lang;
  return s;
}

ClipStream graphics(uint16_t pid, StreamCoding type, const char* lang) {
  ClipStream s;
  s.pid = pid, s.codingInfoLength = 21, s.codingType = codingValue(type);
  (type == StreamCoding::Pg ? s.pgLanguage : s.igLanguage) = lang;
  return s;
}

// A clip of one program, one ATC and one STC sequence; times in 90 kHz.
ClipInfo clipInfo(std::vector<ClipStream> streams, uint32_t packets, uint32_t firstPts, uint32_t endPts) {
  ClipInfo c;
  c.typeIndicator = "HDMV";
  c.version = "0200";
  c.clipInfo.clipStreamType = 1;
  c.clipInfo.applicationType = 1;
  c.clipInfo.tsRecordingRate = 6000000;  // 48 Mbit/s in bytes per second
  c.clipInfo.numberOfSourcePackets = packets;
  c.clipInfo.tsTypeInfoLength = 30;
  c.clipInfo.validityFlags = 0x80;
  c.clipInfo.formatIdentifier = "HDMV";
  AtcSequence a;
  a.stcSequences.push_back({0x1001, 0, firstPts / 2, endPts / 2});
  c.sequenceInfo.atcSequences.push_back(a);
  c.sequenceInfo.length = 2 + 6 + 14;
  ProgramSequence p;
  p.programMapPid = 0x0100;
  p.streams = std::move(streams);
  c.programInfo.length = uint32_t(2 + 8 + 24 * p.streams.size());
  c.programInfo.programSequences.push_back(std::move(p));
  c.cpi.length = 0;
  return c;
}

bool saveClip(DemoContext& ctx, const std::string& name, ClipInfo c) {
  core::SaveSettings s;
  s.backup = false;
  return saveClipInfo(c, ctx.bdmv / "CLIPINF", name + ".clpi", s, ctx.log).ok;
}

// A BD-J object with one application, assembled field by field: TerminalInfo, an
// empty cache, one accessible playlist started automatically, the application, no key
// interest and no file access paths.
core::Bytes bdjObject() {
  core::ByteWriter w;
  w.addString("BDJO", 4);
  w.addString("0200", 4);
  w.addZeros(24 + 16);
  w.addU32(10);
  w.addString("*****", 5);
  w.addU8(0x30);  // HAVi configuration 3 (1920x1080)
  w.addZeros(4);
  w.putU32(uint32_t(w.length()), 12);
  w.addU32(2);  // AppCacheInfo: no entries
  w.addZeros(2);
  w.putU32(uint32_t(w.length()), 16);
  w.addU32(10);
  w.addU16((1 << 5) | 0x08);  // one playlist, autostart
  w.addZeros(2);
  w.addString("00001", 5);
  w.addZeros(1);
  const size_t amt = w.length();
  w.putU32(uint32_t(amt), 20);
  w.addU32(0);  // length, put below
  w.addU8(1);
  w.addU8(0);
  w.addU8(1);            // control code: autostart
  w.addU8(0x10);         // type: BD-J application, in the high four bits as discs store it
  w.addU32(0x56000001);   // organization id
  w.addU16(0x4000);       // application id
  w.addU8(0x00);         // descriptor tag
  w.addU8(0);
  w.addU32(0);
  w.addZeros(4);
  w.addU16(0x1000);  // one profile
  w.addU16(1);
  w.addU8(1), w.addU8(0), w.addU8(2), w.addU8(0);
  w.addU8(1);     // priority
  w.addU8(0x30);  // binding 0, visibility 3
  const std::string name = "Morvex demo game";
  w.addU16(uint32_t(4 + name.size()));
  w.addString("eng", 3);
  w.addU8(uint32_t(name.size()));
  w.addString(name, name.size());
  auto text = [&w](const std::string& t) {
    w.addU8(uint32_t(t.size()));
    w.addString(t, t.size());
    if (w.length() & 1) w.addU8(0);
  };
  if (w.length() & 1) w.addU8(0);
  text("");  // icon locator
  w.addU16(0);
  text("00001");
  text("");
  text("demo.Game");
  w.addU8(0);  // no parameters
  if (w.length() & 1) w.addU8(0);
  w.putU32(uint32_t(w.length() - amt - 4), amt);
  w.putU32(uint32_t(w.length()), 24);
  w.addU32(0xC0000000);  // Play and Stop keys
  w.putU32(uint32_t(w.length()), 28);
  w.addU16(0);
  return w.take();
}

bool writeClips(DemoContext& ctx) {
  std::error_code ec;
  for (const char* d : {"CLIPINF", "STREAM", "BDJO"}) fs::create_directories(ctx.bdmv / d, ec);
  // The feature's first clip gets a real stream file, about 3 MB.
  test::SynthOptions o;
  o.targetBytes = 3 << 20;
  o.secondAudio = true;
  o.seed = 2026;
  o.videoBitrate = 2000000;  // a dozen seconds in 3 MB
  // Its interactive graphics are the demo menu, as a disc repeats the menu's display
  // set along the feature.
  o.igSegments = demoMenuSegments(ctx.log);
  if (o.igSegments.empty()) return false;
  test::SynthStats st;
  std::string err;
  if (!test::writeSyntheticStream(ctx.bdmv / "STREAM" / "00001.m2ts", o, err, &st)) {
    ctx.log.error(err);
    return false;
  }
  ClipInfo feature = clipInfo({video(), audio(0x1100, "eng"), audio(0x1101, "fre"),
                               graphics(0x1200, StreamCoding::Pg, "eng"), graphics(0x1400, StreamCoding::Ig, "eng")},
                              uint32_t(st.packets), st.firstPts, st.lastPts + 3754);
  std::vector<EntryPoint> points;
  for (const auto& k : st.keyFrames) points.push_back({k.spn, k.pts, 1});
  setSingleEPMap(feature, 0x1011, points);

  // Clips without stream files: the menu loop and the feature's second half.
  ClipInfo menu = clipInfo({video(), audio(0x1100, "eng"), graphics(0x1400, StreamCoding::Ig, "eng")}, 250000, 900000,
                           900000 + 30 * 90000);
  ClipInfo second =
      clipInfo({video(), audio(0x1100, "eng"), audio(0x1101, "fre"), graphics(0x1200, StreamCoding::Pg, "eng")},
               1500000, 900000, 900000 + 60 * 90000);

  std::string bdjErr;
  return saveClip(ctx, "00000", menu) && saveClip(ctx, "00001", feature) && saveClip(ctx, "00002", second) &&
         core::writeFileAtomic(ctx.bdmv / "BDJO" / "00001.bdjo", bdjObject(), bdjErr);
}

const DemoStep step(45, "clip information, stream and BD-J object", writeClips);

}  // namespace

}  // namespace morvex::demo

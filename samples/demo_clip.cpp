// Demo disc clips: clip information for the menu clip 00000 and the feature clips
// 00001/00002, a small generated stream file for 00001 (video 0x1011, audio 0x1100 and
// 0x1101, subtitles 0x1200, menu 0x1400) whose EP map and packet count the clip
// information describes, and the BD-J object 00001 the index's BD-J title names.
#include <filesystem>

#include "clip/clpi.h"
#include "clip/ep_map.h"
#include "clip/ts_synth.h"
#include "core/binary.h"
#include "core/save.h"
#include "demo_registry.h"

namespace fs = std::filesystem;

namespace morvex::demo {

namespace {

using namespace morvex::clip;

TClipStream video() {
  TClipStream s;
  s.PID = 0x1011, s.coding_info_length = 21, s.coding_type = 0x1B, s.video_format = 6, s.frame_rate = 1,
  s.aspect_ratio = 3;
  return s;
}

TClipStream audio(uint16_t pid, const char* lang) {
  TClipStream s;
  s.PID = pid, s.coding_info_length = 21, s.coding_type = 0x81, s.audio_presentation_type = 6,
  s.sampling_frequency = 1, s.audio_language = lang;
  return s;
}

TClipStream graphics(uint16_t pid, uint8_t type, const char* lang) {
  TClipStream s;
  s.PID = pid, s.coding_info_length = 21, s.coding_type = type;
  (type == 0x90 ? s.PG_language : s.IG_language) = lang;
  return s;
}

// A clip of one program, one ATC and one STC sequence; times in 90 kHz.
TCLPI clipInfo(std::vector<TClipStream> streams, uint32_t packets, uint32_t firstPts, uint32_t endPts) {
  TCLPI c;
  c.type_indicator = "HDMV";
  c.version = "0200";
  c.ClipInfo.clip_stream_type = 1;
  c.ClipInfo.application_type = 1;
  c.ClipInfo.TS_recording_rate = 6000000;  // 48 Mbit/s in bytes per second
  c.ClipInfo.number_of_source_packets = packets;
  c.ClipInfo.TS_type_info_length = 30;
  c.ClipInfo.validity_flags = 0x80;
  c.ClipInfo.format_identifier = "HDMV";
  TATC_sequences a;
  a.STC_sequences.push_back({0x1001, 0, firstPts / 2, endPts / 2});
  c.SequenceInfo.ATC_sequences.push_back(a);
  c.SequenceInfo.length = 2 + 6 + 14;
  TProgram_sequences p;
  p.program_map_PID = 0x0100;
  p.streams = std::move(streams);
  c.ProgramInfo.length = uint32_t(2 + 8 + 24 * p.streams.size());
  c.ProgramInfo.program_sequences.push_back(std::move(p));
  c.CPI.length = 0;
  return c;
}

bool saveClip(DemoContext& ctx, const std::string& name, TCLPI c) {
  core::SaveSettings s;
  s.backup = false;
  return saveCLPI(c, ctx.bdmv / "CLIPINF", name + ".clpi", s, ctx.log);
}

// A BD-J object with one application, assembled field by field: TerminalInfo, an
// empty cache, one accessible playlist started automatically, the application, no key
// interest and no file access paths.
core::Bytes bdjObject() {
  core::ByteWriter w;
  w.addstring("BDJO", 4);
  w.addstring("0200", 4);
  w.addzeros(24 + 16);
  w.addlong(10);
  w.addstring("*****", 5);
  w.addbyte(0x30);  // HAVi configuration 3 (1920x1080)
  w.addzeros(4);
  w.putlong(uint32_t(w.outlen()), 12);
  w.addlong(2);  // AppCacheInfo: no entries
  w.addzeros(2);
  w.putlong(uint32_t(w.outlen()), 16);
  w.addlong(10);
  w.addword((1 << 5) | 0x08);  // one playlist, autostart
  w.addzeros(2);
  w.addstring("00001", 5);
  w.addzeros(1);
  const size_t amt = w.outlen();
  w.putlong(uint32_t(amt), 20);
  w.addlong(0);  // length, put below
  w.addbyte(1);
  w.addbyte(0);
  w.addbyte(1);            // control code: autostart
  w.addbyte(0x10);         // type: BD-J application, in the high four bits as discs store it
  w.addlong(0x56000001);   // organization id
  w.addword(0x4000);       // application id
  w.addbyte(0x00);         // descriptor tag
  w.addbyte(0);
  w.addlong(0);
  w.addzeros(4);
  w.addword(0x1000);  // one profile
  w.addword(1);
  w.addbyte(1), w.addbyte(0), w.addbyte(2), w.addbyte(0);
  w.addbyte(1);     // priority
  w.addbyte(0x30);  // binding 0, visibility 3
  const std::string name = "Morvex demo game";
  w.addword(uint32_t(4 + name.size()));
  w.addstring("eng", 3);
  w.addbyte(uint32_t(name.size()));
  w.addstring(name, name.size());
  auto text = [&w](const std::string& t) {
    w.addbyte(uint32_t(t.size()));
    w.addstring(t, t.size());
    if (w.outlen() & 1) w.addbyte(0);
  };
  if (w.outlen() & 1) w.addbyte(0);
  text("");  // icon locator
  w.addword(0);
  text("00001");
  text("");
  text("demo.Game");
  w.addbyte(0);  // no parameters
  if (w.outlen() & 1) w.addbyte(0);
  w.putlong(uint32_t(w.outlen() - amt - 4), amt);
  w.putlong(uint32_t(w.outlen()), 24);
  w.addlong(0xC0000000);  // Play and Stop keys
  w.putlong(uint32_t(w.outlen()), 28);
  w.addword(0);
  return w.take();
}

bool writeClips(DemoContext& ctx) {
  std::error_code ec;
  for (const char* d : {"CLIPINF", "STREAM", "BDJO"}) fs::create_directories(ctx.bdmv / d, ec);
  // The feature's first clip gets a real stream file, about 3 MB.
  SynthOptions o;
  o.targetBytes = 3 << 20;
  o.secondAudio = true;
  o.seed = 2026;
  o.videoBitrate = 2000000;  // a dozen seconds in 3 MB
  // Its interactive graphics are the demo menu, as a disc repeats the menu's display
  // set along the feature.
  o.igSegments = demoMenuSegments(ctx.log);
  if (o.igSegments.empty()) return false;
  SynthStats st;
  std::string err;
  if (!writeSyntheticStream(ctx.bdmv / "STREAM" / "00001.m2ts", o, err, &st)) {
    ctx.log.erlog(err);
    return false;
  }
  TCLPI feature = clipInfo({video(), audio(0x1100, "eng"), audio(0x1101, "fre"), graphics(0x1200, 0x90, "eng"),
                            graphics(0x1400, 0x91, "eng")},
                           uint32_t(st.packets), st.firstPts, st.lastPts + 3754);
  std::vector<EntryPoint> points;
  for (const auto& k : st.keyFrames) points.push_back({k.spn, k.pts, 1});
  setSingleEPMap(feature, 0x1011, points);

  // Clips without stream files: the menu loop and the feature's second half.
  TCLPI menu = clipInfo({video(), audio(0x1100, "eng"), graphics(0x1400, 0x91, "eng")}, 250000, 900000,
                        900000 + 30 * 90000);
  TCLPI second = clipInfo({video(), audio(0x1100, "eng"), audio(0x1101, "fre"), graphics(0x1200, 0x90, "eng")},
                          1500000, 900000, 900000 + 60 * 90000);

  std::string bdjErr;
  return saveClip(ctx, "00000", menu) && saveClip(ctx, "00001", feature) && saveClip(ctx, "00002", second) &&
         core::writeFileAtomic(ctx.bdmv / "BDJO" / "00001.bdjo", bdjObject(), bdjErr);
}

const DemoStep step(45, "clip information, stream and BD-J object", writeClips);

}  // namespace

}  // namespace morvex::demo

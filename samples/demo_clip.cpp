// Demo disc clips: the streams of the menu clip 00000 and the feature clips 00001/00002
// (video 0x1011, audio 0x1100 and 0x1101; the menu clip adds its menu on 0x1400), their
// clip information computed from the streams, and the BD-J object 00001 the index's
// BD-J title names.
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "clip/clpi.h"
#include "clip/stream_clip.h"
#include "igs/mux_into.h"
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

ClipStream audio(uint16_t pid, const char* lang) {
  ClipStream s;
  s.pid = pid, s.codingInfoLength = 21, s.codingType = codingValue(StreamCoding::DolbyDigital),
  s.audioPresentationType = 6, s.samplingFrequency = 1, s.audioLanguage = lang;
  return s;
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
  const size_t descriptor = w.length();
  w.addU32(0);  // descriptor length: from after this field to the application's end, put below
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
  w.putU32(uint32_t(w.length() - descriptor - 4), descriptor);
  w.putU32(uint32_t(w.length() - amt - 4), amt);
  w.putU32(uint32_t(w.length()), 24);
  w.addU32(0xC0000000);  // Play and Stop keys
  w.putU32(uint32_t(w.length()), 28);
  w.addU16(0);
  return w.take();
}

// The demo's pictures and sound, encoded by ffmpeg at generation time: a few seconds
// of 1080p 23.976 H.264 (a key frame every second, one encoder thread and bit-exact
// output, so the same ffmpeg writes the same bytes) and two AC-3 tracks, written as a
// BD AV stream with the usual disc PIDs: video 0x1011, audio 0x1100 and 0x1101.
bool encodeAvStream(const fs::path& out, core::Log& log) {
  const std::string cmd =
      "ffmpeg -nostdin -hide_banner -loglevel error -y"
      " -f lavfi -i \"testsrc2=size=1920x1080:rate=24000/1001:duration=5\""
      " -f lavfi -i \"sine=frequency=440:sample_rate=48000:duration=5\""
      " -f lavfi -i \"sine=frequency=660:sample_rate=48000:duration=5\""
      " -map 0:v -map 1:a -map 2:a"
      " -c:v libx264 -preset veryfast -profile:v high -level 4.1 -pix_fmt yuv420p -crf 30"
      " -x264-params \"threads=1:keyint=24:min-keyint=24:scenecut=0:bframes=0:aud=1\" -threads 1"
      " -c:a ac3 -b:a 192k -ac 2 -metadata:s:a:0 language=eng -metadata:s:a:1 language=fre"
      " -bitexact -fflags +bitexact -flags:v +bitexact -flags:a +bitexact"
      " -f mpegts -mpegts_m2ts_mode 1 -mpegts_pmt_start_pid 0x100"
      " -streamid 0:0x1011 -streamid 1:0x1100 -streamid 2:0x1101 \"" +
      out.string() + "\"";
  if (std::system(cmd.c_str()) != 0) {
    log.error("ffmpeg could not encode the demo's video and audio (is ffmpeg installed?)");
    return false;
  }
  return true;
}

bool writeClips(DemoContext& ctx) {
  std::error_code ec;
  for (const char* d : {"CLIPINF", "STREAM", "BDJO"}) fs::create_directories(ctx.bdmv / d, ec);
  const fs::path stream = ctx.bdmv / "STREAM";
  // The feature's two clips are the encoded stream as it is.
  if (!encodeAvStream(stream / "00001.m2ts", ctx.log)) return false;
  fs::copy_file(stream / "00001.m2ts", stream / "00002.m2ts", fs::copy_options::overwrite_existing, ec);
  if (ec) return false;
  const StreamFacts base = scanStream(stream / "00001.m2ts", 0x1011);
  if (!base.ok) {
    ctx.log.error("the encoded demo stream: " + base.error);
    return false;
  }
  const std::vector<ClipStream> av = {avcVideoStream(0x1011), audio(0x1100, "eng"), audio(0x1101, "fre")};
  ClipInfo feature = clipInfoOfStream(base, av, 0x1011);

  // The menu clip: the same pictures with the demo menu muxed in through the menu
  // muxer, its display set stamped at the clip's first picture (the PlayItem's IN time).
  igs::Menu menu;
  if (!demoMenu(ctx.log, menu)) return false;
  igs::MuxIntoOptions mo;
  mo.at = base.firstPts;
  const igs::MuxIntoResult mux =
      igs::muxMenuInto(igs::stampedMenuPes(menu, mo.at), stream / "00001.m2ts", stream / "00000.m2ts", mo, ctx.log);
  if (!mux.ok) return false;
  ClipInfo menuClip = clipInfoOfStream(base, av, 0x1011);
  igs::updateClipForMux(menuClip, mux, mo.pid, "eng");

  std::string bdjErr;
  return saveClip(ctx, "00000", menuClip) && saveClip(ctx, "00001", feature) && saveClip(ctx, "00002", feature) &&
         core::writeFileAtomic(ctx.bdmv / "BDJO" / "00001.bdjo", bdjObject(), bdjErr);
}

const DemoStep step(45, "clip information, stream and BD-J object", writeClips);

}  // namespace

}  // namespace morvex::demo

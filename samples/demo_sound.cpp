// Demo disc: AUXDATA/sound.bdmv with two short button sounds, generated here.
#include <cstdint>

#include "demo_registry.h"
#include "sound/sound.h"

namespace morvex::demo {
namespace {

// A tone as 16-bit big-endian samples: a triangle wave with a linear fade-out, in
// integer arithmetic so every build writes the same bytes.
sound::SoundEntry tone(unsigned channels, uint32_t frames, uint32_t period, int32_t peak) {
  sound::SoundEntry e;
  e.channelConfiguration = channels == 2 ? 3 : 1;
  e.data.reserve(frames * channels * 2);
  for (uint32_t i = 0; i < frames; ++i) {
    uint32_t phase = i % period;
    int64_t tri = phase < period / 2 ? int64_t(phase) * 4 * peak / period - peak
                                     : int64_t(period - phase) * 4 * peak / period - peak;
    int64_t v = tri * int64_t(frames - i) / frames;
    for (unsigned c = 0; c < channels; ++c) {
      auto s = static_cast<uint16_t>(static_cast<int16_t>(c == 1 ? v / 2 : v));
      e.data.push_back(static_cast<uint8_t>(s >> 8));
      e.data.push_back(static_cast<uint8_t>(s & 0xFF));
    }
  }
  e.length = static_cast<uint32_t>(e.data.size());
  return e;
}

DemoStep soundFile(30, "sound.bdmv", [](DemoContext& ctx) {
  sound::SoundFile s = sound::newSoundFile();
  sound::insertSound(s, -1, tone(2, 4800, 55, 12000));  // 0.1 s, 880 Hz: button selected
  sound::insertSound(s, 0, tone(1, 7201, 109, 16000));  // 0.15 s, 440 Hz: button activated
  core::SaveSettings settings;
  settings.backup = false;
  sound::settleSoundFile(s);
  return sound::saveSoundFile(s, ctx.bdmv / "AUXDATA", "sound.bdmv", settings, ctx.log).ok;
});

}  // namespace
}  // namespace morvex::demo

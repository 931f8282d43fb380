// sound.bdmv reader and writer, and the WAV import on the same bytes.
#include <cstddef>
#include <cstdint>

#include "sound/sound.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  morvex::core::Bytes image(data, data + size);
  morvex::sound::SoundFile s;
  morvex::core::NullLog log;
  morvex::sound::readSoundFile(image, "sound.bdmv", s, log);
  (void)morvex::sound::writeSoundFile(s);
  morvex::sound::SoundEntry e;
  std::string err;
  if (morvex::sound::wavToEntry(image, e, err)) (void)morvex::sound::makeWav(e);
  return 0;
}

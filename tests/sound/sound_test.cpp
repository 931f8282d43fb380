#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "sound/sound.h"
#include "support/test_support.h"

using namespace morvex;
using namespace morvex::sound;
using core::Bytes;

namespace {

// A little-endian PCM WAV image; extra chunks go between "fmt " and "data".
Bytes wavImage(unsigned channels, uint32_t rate, unsigned bits, size_t frames, uint16_t format = 1,
               const Bytes& extraChunk = {}) {
  auto le16 = [](Bytes& b, uint32_t v) { b.push_back(uint8_t(v)); b.push_back(uint8_t(v >> 8)); };
  auto le32 = [&](Bytes& b, uint32_t v) { le16(b, v & 0xFFFF); le16(b, v >> 16); };
  Bytes data;
  for (size_t i = 0; i < frames * channels; ++i) le16(data, static_cast<uint16_t>(i * 257 + 3));
  Bytes b{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
  le32(b, 16);
  le16(b, format);
  le16(b, channels);
  le32(b, rate);
  le32(b, rate * channels * bits / 8);
  le16(b, channels * bits / 8);
  le16(b, bits);
  b.insert(b.end(), extraChunk.begin(), extraChunk.end());
  b.insert(b.end(), {'d', 'a', 't', 'a'});
  le32(b, static_cast<uint32_t>(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  uint32_t riff = static_cast<uint32_t>(b.size() - 8);
  for (int i = 0; i < 4; ++i) b[4 + i] = uint8_t(riff >> (8 * i));
  return b;
}

SoundEntry entryOf(uint8_t channels, size_t bytes, uint8_t seed = 1) {
  SoundEntry e;
  e.channelConfiguration = channels;
  e.data.resize(bytes);
  for (size_t i = 0; i < bytes; ++i) e.data[i] = static_cast<uint8_t>(i * seed + seed);
  e.length = static_cast<uint32_t>(bytes);
  return e;
}

}  // namespace

TEST(SoundFile, LayoutWithPaddingAndExtensionData) {
  SoundFile s = newSoundFile();
  ASSERT_EQ(insertSound(s, -1, entryOf(3, 192000)), 0);
  ASSERT_EQ(insertSound(s, 0, entryOf(1, 96002, 3)), 1);
  s.extensionData.length = 8;
  s.extensionData.dataBlockStartAddress = 12;
  s.extensionData.data = {1, 2, 3, 4};
  s.extensionDataStartAddress = 1;  // stale: the writer places the block itself
  Bytes b = writeSoundFile(s);
  settleSoundFile(s);
  EXPECT_EQ(s.soundDataStartAddress, 66u);
  EXPECT_EQ(s.entries[0].startOffset, 0u);
  EXPECT_EQ(s.entries[1].startOffset, 192000u);
  EXPECT_EQ(s.extensionDataStartAddress, 66u + 192000 + 96002 + 2);
  EXPECT_EQ(core::be32(&b[8]), 66u);
  EXPECT_EQ(core::be32(&b[12]), s.extensionDataStartAddress);
  EXPECT_EQ(core::be32(&b[40]), 22u);  // 2 + 10 n
  EXPECT_EQ(b[66 + 192000 + 96002], 0);
  EXPECT_EQ(b[66 + 192000 + 96003], 0);
  EXPECT_EQ(b.size(), s.extensionDataStartAddress + 16u);

  SoundFile back;
  core::MemoryLog log;
  auto res = readSoundFile(b, "sound.bdmv", back, log);
  EXPECT_TRUE(res.usable());
  EXPECT_FALSE(res.partial());
  EXPECT_EQ(back, s);
  EXPECT_EQ(writeSoundFile(back), b);
  EXPECT_EQ(log.plainLines().back(), " Found 2 sound entries");
}

// A stored sound data address or ExtensionData address that disagrees with what was
// read makes the read partial and names the field.
TEST(SoundFile, LayoutFieldsThatDisagreeMakeTheReadPartial) {
  SoundFile s = newSoundFile();
  ASSERT_EQ(insertSound(s, -1, entryOf(1, 4000)), 0);
  ASSERT_EQ(insertSound(s, 0, entryOf(1, 4000)), 1);
  s.extensionData.length = 8;
  s.extensionData.dataBlockStartAddress = 12;
  settleSoundFile(s);
  const Bytes good = writeSoundFile(s);
  struct Case {
    size_t at;
    uint32_t value;
    const char* field;
  } cases[] = {
      {8, 50, "sound data start address"},
      {12, 66 + 4000, "ExtensionData start address"},
  };
  for (const auto& c : cases) {
    Bytes b = good;
    for (int i = 0; i < 4; ++i) b[c.at + i] = uint8_t(c.value >> (24 - 8 * i));
    SoundFile back;
    core::NullLog log;
    const auto res = readSoundFile(b, "sound.bdmv", back, log);
    EXPECT_TRUE(res.partial()) << c.field;
    EXPECT_NE(res.summary().find(c.field), std::string::npos) << res.summary();
  }
  SoundFile back;
  core::NullLog log;
  EXPECT_TRUE(readSoundFile(good, "sound.bdmv", back, log).complete());
}

TEST(SoundFile, WrongTypeOrVersionIsNotRead) {
  SoundFile s = newSoundFile();
  insertSound(s, -1, entryOf(1, 8));
  Bytes b = writeSoundFile(s);
  b[5] = '3';  // "0300"
  SoundFile back;
  core::MemoryLog log;
  EXPECT_FALSE(readSoundFile(b, "sound.bdmv", back, log).usable());
  EXPECT_TRUE(back.entries.empty());
  EXPECT_FALSE(log.hadError());
  EXPECT_EQ(log.plainLines().back(), " Found 0 sound entry");
}

TEST(SoundFile, TableTexts) {
  EXPECT_EQ(lengthText(9600), "0.05 s");
  EXPECT_EQ(lengthText(192000), "1 s");
  EXPECT_EQ(lengthText(192000 + 96000), "1.5 s");
  EXPECT_EQ(lengthText(1919), "0 s");
  EXPECT_EQ(soundNumberText(7), "007");
  EXPECT_EQ(channelText(2), "-");
  SoundFile s = newSoundFile();
  EXPECT_EQ(selectionText(s, 0), "");
  insertSound(s, -1, entryOf(3, 1000));
  insertSound(s, 0, entryOf(3, 1234567));
  settleSoundFile(s);
  EXPECT_EQ(selectionText(s, 1),
            "Data start: 000003E8 (1,000)  Length: 0012D687 (1,234,567)  Total data length: 0012DA6F(1,235,567)");
}

TEST(SoundFile, InsertAndDeleteKeepTheIndexCounts) {
  SoundFile s = newSoundFile();
  insertSound(s, -1, entryOf(1, 4, 1));
  insertSound(s, 0, entryOf(1, 4, 2));
  insertSound(s, 0, entryOf(1, 4, 3));  // after entry 0: entry 0 kept
  EXPECT_EQ(s.entries[0].data, entryOf(1, 4, 1).data);
  EXPECT_EQ(s.entries[1].data, entryOf(1, 4, 3).data);
  EXPECT_EQ(s.soundIndexLength, 32u);
  EXPECT_EQ(s.soundDataStartAddress, 76u);
  EXPECT_TRUE(deleteSound(s, 1));
  EXPECT_FALSE(deleteSound(s, 5));
  EXPECT_EQ(s.soundIndexLength, 22u);
  EXPECT_EQ(s.soundDataStartAddress, 66u);
  for (int i = 0; i < 300; ++i) insertSound(s, 0, entryOf(1, 2));
  EXPECT_EQ(s.entries.size(), kMaxSounds);
  EXPECT_EQ(insertSound(s, 0, entryOf(1, 2)), -1);
}

TEST(SoundFile, WavImportAndExport) {
  // Mono 48 kHz 16-bit, 4800 samples: 9600 bytes, shown as 0.05 s.
  SoundEntry e;
  std::string err;
  Bytes wav = wavImage(1, 48000, 16, 4800);
  ASSERT_TRUE(wavToEntry(wav, e, err)) << err;
  EXPECT_EQ(e.channelConfiguration, 1);
  EXPECT_EQ(e.length, 9600u);
  EXPECT_EQ(channelText(e.channelConfiguration) + frequencyText(e.samplingFrequency) + bitsText(e.bitsPerSample),
            "Mono48kHz16");
  EXPECT_EQ(lengthText(e.length), "0.05 s");
  // Samples become big-endian in the model.
  EXPECT_EQ(e.data[0], wav[44 + 1]);
  EXPECT_EQ(e.data[1], wav[44]);
  // Export gives back the same WAV, and importing it again the same entry.
  EXPECT_EQ(makeWav(e), wav);
  SoundEntry again;
  ASSERT_TRUE(wavToEntry(makeWav(e), again, err));
  EXPECT_EQ(again, e);

  // Stereo, with a LIST chunk of odd size (pad byte) before the data.
  Bytes list{'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
  ASSERT_TRUE(wavToEntry(wavImage(2, 48000, 16, 10, 1, list), e, err)) << err;
  EXPECT_EQ(e.channelConfiguration, 3);
  EXPECT_EQ(e.length, 40u);
  Bytes header = makeWav(e);
  EXPECT_EQ(header[22], 2);
  EXPECT_EQ(core::be32(&header[28]), 0x00EE0200u);  // 192000 little-endian
}

TEST(SoundFile, WavRefusals) {
  SoundEntry e;
  std::string err;
  EXPECT_FALSE(wavToEntry(wavImage(2, 44100, 16, 10), e, err));
  EXPECT_EQ(err, "Wave format error! (Mandatory 48 kHz, 16 bit, PCM)");
  EXPECT_FALSE(wavToEntry(wavImage(2, 48000, 24, 10), e, err));
  EXPECT_EQ(err, kWaveFormatError);
  EXPECT_FALSE(wavToEntry(wavImage(2, 48000, 16, 10, 3), e, err));
  EXPECT_EQ(err, kWaveFormatError);
  EXPECT_FALSE(wavToEntry(Bytes{'R', 'I', 'F', 'F'}, e, err));
  EXPECT_EQ(err, kWaveFormatError);
  // No data chunk: the walk runs off the end.
  Bytes noData = wavImage(1, 48000, 16, 4);
  std::copy_n("junk", 4, noData.begin() + 36);
  EXPECT_FALSE(wavToEntry(noData, e, err));
  EXPECT_EQ(err, kWaveReadError);
  // A chunk size pointing far beyond the file.
  Bytes huge = wavImage(1, 48000, 16, 4, 1, Bytes{'j', 'u', 'n', 'k', 0xF0, 0xFF, 0xFF, 0xFF});
  EXPECT_FALSE(wavToEntry(huge, e, err));
  // A data chunk claiming more than the file holds keeps the bytes present.
  Bytes claim = wavImage(1, 48000, 16, 4);
  claim[40] = claim[41] = claim[42] = claim[43] = 0xFF;
  ASSERT_TRUE(wavToEntry(claim, e, err));
  EXPECT_EQ(e.length, 8u);
}

TEST(SoundFile, SaveCreatesAuxdataAndPassesThePolicy) {
  test::TempDir d;
  SoundFile s = newSoundFile();
  insertSound(s, -1, entryOf(3, 6));
  s.soundDataStartAddress = 999;  // fixed by the settling that precedes a save
  core::MemoryLog log;
  core::SaveSettings settings;
  settleSoundFile(s);
  ASSERT_TRUE(saveSoundFile(s, d / "AUXDATA", "sound.bdmv", settings, log));
  EXPECT_EQ(s.soundDataStartAddress, 56u);
  Bytes b = test::readFile(d / "AUXDATA" / "sound.bdmv");
  EXPECT_EQ(b, writeSoundFile(s));
  EXPECT_EQ(b.size(), 56u + 6 + 2);
  EXPECT_EQ(log.plainLines().front(), "Saving sound.bdmv");
  ASSERT_TRUE(saveSoundFile(s, d / "AUXDATA", "sound.bdmv", settings, log));
  EXPECT_TRUE(std::filesystem::exists(d / "AUXDATA" / "sound.bdmv.backup"));
}

TEST(SoundFile, ShortAndCorruptFilesNeverCrash) {
  SoundFile s = newSoundFile();
  insertSound(s, -1, entryOf(1, 30));
  insertSound(s, 0, entryOf(3, 16));
  s.extensionData.length = 4;
  s.extensionData.dataBlockStartAddress = 12;
  Bytes full = writeSoundFile(s);
  for (size_t cut = 0; cut < full.size(); ++cut) {
    Bytes b(full.begin(), full.begin() + cut);
    SoundFile back;
    core::NullLog log;
    auto res = readSoundFile(b, "sound.bdmv", back, log);
    if (cut >= 8) {
      EXPECT_TRUE(res.partial()) << cut;
      EXPECT_NE(back, s) << cut;
    }
    size_t held = 0;
    for (const auto& e : back.entries) held += e.data.size();
    EXPECT_LE(held, cut);
  }
  std::mt19937 rng(5);
  for (int round = 0; round < 3000; ++round) {
    Bytes b = full;
    for (int k = 0; k <= round % 5; ++k) b[rng() % b.size()] = static_cast<uint8_t>(rng());
    SoundFile back;
    core::NullLog log;
    readSoundFile(b, "sound.bdmv", back, log);
    writeSoundFile(back);
    EXPECT_LE(back.entries.size(), b.size() / 10);
  }
}

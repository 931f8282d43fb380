#pragma once
// sound.bdmv (AUXDATA): the short uncompressed sounds menu buttons play.
//
// Layout (big-endian):
//   0 "BCLK"  4 version  8 SoundData start  12 ExtensionData start  16 24 zero bytes
//  40 SoundIndex length (2 + 10 n, or 0)  44 reserved byte  45 n
//  46 + 10 i: channel configuration (high nibble) and sampling frequency (low nibble),
//     bits per sample (bits 7-6), start offset (4, relative to SoundData), length (4)
//  SoundData: the samples (16-bit big-endian, channels interleaved) in index order,
//  each followed by 2 zero bytes when the bytes written so far are not a multiple of 4.
//  ExtensionData() after the last sound.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/binary.h"
#include "core/extension_data.h"
#include "core/log.h"
#include "core/read_result.h"
#include "core/save.h"
#include "core/write_result.h"

namespace morvex::sound {

constexpr size_t kMaxSounds = 255;
constexpr uint32_t kSampleRate = 48000;

struct SoundEntry {
  uint8_t channelConfiguration = 1;  // 1 mono, 3 stereo
  uint8_t samplingFrequency = 1;     // 1 = 48 kHz
  uint8_t bitsPerSample = 1;         // 1 = 16 bits
  uint32_t startOffset = 0;          // relative to the SoundData start
  uint32_t length = 0;               // bytes of sound data
  core::Bytes data;                  // 16-bit big-endian samples
  bool operator==(const SoundEntry&) const = default;
};

struct SoundFile {
  std::string typeIndicator = "BCLK";
  std::string version = "0200";
  uint32_t soundDataStartAddress = 46;
  uint32_t extensionDataStartAddress = 0;
  uint32_t soundIndexLength = 2;
  std::vector<SoundEntry> entries;  // n = entries.size(), at most 255
  core::ExtensionData extensionData;
  bool operator==(const SoundFile&) const = default;
};

// The empty file "Create sound.bdmv" starts from: version 0200, no entries.
SoundFile newSoundFile();

// Reads a sound.bdmv image. A wrong type or version leaves the model empty without an
// error line and is refused; the found line is logged in every case. Entries and data
// the file cannot hold are not taken (a sound's data is cut at the end of the file)
// and make the result partial.
core::ReadResult readSoundFile(const core::Bytes& image, const std::string& fileName, SoundFile& snd, core::Log& log);

// Fixes the layout the writer produces and stores it in the model: start offsets
// (each sound after the previous one and its padding), lengths from the data, the
// SoundData start right after the index and the ExtensionData start after the last
// sound (0 without a block).
void settleSoundFile(SoundFile& snd);
// The file image, laid out as settleSoundFile settles it whatever the model holds; the
// model is not changed.
core::Bytes writeSoundFile(const SoundFile& snd);
// Writes folder/fileName (a disc's sound file is <BDMV folder>/AUXDATA/sound.bdmv)
// through the saving policy, creating the folder when missing. The model is not
// changed: an editor settles it first, so that it holds the layout written.
core::WriteResult saveSoundFile(const SoundFile& snd, const std::filesystem::path& folder, const std::string& fileName,
                                const core::SaveSettings& settings, core::Log& log);

// The WAV image of one entry (44-byte little-endian header, samples swapped to
// little-endian).
core::Bytes makeWav(const SoundEntry& entry);

inline constexpr const char* kWaveFormatError = "Wave format error! (Mandatory 48 kHz, 16 bit, PCM)";
inline constexpr const char* kWaveReadError = "Stream read error";
inline constexpr const char* kTooManySounds = "sound.bdmv cannot hold more than 255 sounds";

// Builds an entry from a WAV image: RIFF/WAVE, fmt with PCM, 48000 Hz, 16 bits (the
// channel count is not checked: one channel gives mono, any other stereo). On failure
// returns false with the message in `error`: kWaveFormatError, or kWaveReadError when
// the chunk walk runs off the end without finding "data".
bool wavToEntry(const core::Bytes& wav, SoundEntry& entry, std::string& error);

// Inserts `entry` after entry `row` (row < 0 or an empty list: at the front; row past
// the end: at the end). Returns the new entry's index, or -1 when the file is full.
int insertSound(SoundFile& snd, int row, SoundEntry entry);
// Removes entry i (moving the later ones down). False when i does not exist.
bool deleteSound(SoundFile& snd, size_t i);

// Texts of the "Sound entries" table.
std::string soundNumberText(size_t i);             // "007"
std::string channelText(uint8_t configuration);    // "Mono", "Stereo", "-"
std::string frequencyText(uint8_t frequency);      // "48kHz", "-"
std::string bitsText(uint8_t bitsPerSample);       // "16", "-"
std::string lengthText(uint32_t length);           // "0.05 s" (divisor assumes 48 kHz stereo)
// Status text for a selected row ("Data start: ..."); empty when there are no entries.
std::string selectionText(const SoundFile& snd, size_t row);
// The found line of the reader: " Found [b]n[/b] sound entry"/"entries".
std::string foundLine(size_t n);

}  // namespace morvex::sound

#include "sound/sound.h"
#include "core/text.h"

#include <algorithm>

namespace morvex::sound {

namespace {

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
void addLe16(core::Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void addLe32(core::Bytes& b, uint32_t v) {
  addLe16(b, v & 0xFFFF);
  addLe16(b, v >> 16);
}
void addTag(core::Bytes& b, const char* tag) { b.insert(b.end(), tag, tag + 4); }

bool hasBlock(const SoundFile& snd) { return snd.extensionDataStartAddress != 0 || !snd.extensionData.empty(); }

std::string withThousands(uint64_t v) {
  std::string digits = std::to_string(v);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back(',');
    out.push_back(digits[i]);
  }
  return out;
}

std::string hex(uint64_t v, int width) {
  return core::hexText(v, width);
}

}  // namespace

SoundFile newSoundFile() { return SoundFile{}; }

std::string foundLine(size_t n) {
  return " Found [b]" + std::to_string(n) + "[/b] sound entr" + (n > 1 ? "ies" : "y");
}

core::ReadResult readSoundFile(const core::Bytes& image, const std::string& fileName, SoundFile& snd, core::Log& log) {
  core::ReadResult res;
  log.stage("Reading " + fileName);
  snd.entries.clear();
  snd.extensionData = core::ExtensionData{};
  core::Reader r(image);
  std::string type = r.readString(4);
  std::string version = r.readString(4);
  if (type != "BCLK" || (version != "0100" && version != "0200")) {
    log.info(foundLine(0));
    if (type == "BCLK" && image.size() >= 8)
      res.refuse(core::ReadIssue::UnsupportedVersion, 4, core::unsupportedVersionMessage(fileName, version));
    else
      res.refuse(core::ReadIssue::WrongKind, 0, fileName + ": not a sound file");
    return res;
  }
  auto endsEarly = [&](const std::string& where) {
    res.addPartial(core::ReadIssue::EndsEarly, image.size(),
                   fileName + " ends early at " + std::to_string(image.size()) + " (" + where + ")");
  };
  snd.typeIndicator = type;
  snd.version = version;
  snd.soundDataStartAddress = r.readU32();
  snd.extensionDataStartAddress = r.readU32();
  r.skip(24);
  snd.soundIndexLength = r.readU32();
  // A SoundIndex length of 0 means the file has no index: no count byte follows.
  unsigned n = 0;
  if (snd.soundIndexLength != 0) {
    r.skip(1);
    n = r.readU8();
  }
  if (r.overrun()) endsEarly("inside the head");
  snd.entries.reserve(std::min<size_t>(n, r.remaining() / 10));
  for (unsigned i = 0; i < n; ++i) {
    if (!r.has(10)) {
      endsEarly(std::to_string(i) + " of " + std::to_string(n) + " entries read");
      break;
    }
    SoundEntry e;
    uint8_t a = r.readU8(), b = r.readU8();
    e.channelConfiguration = a >> 4;
    e.samplingFrequency = a & 0x0F;
    e.bitsPerSample = b >> 6;
    e.startOffset = r.readU32();
    e.length = r.readU32();
    snd.entries.push_back(std::move(e));
  }
  for (size_t i = 0; i < snd.entries.size(); ++i) {
    auto& e = snd.entries[i];
    uint64_t at = uint64_t(snd.soundDataStartAddress) + e.startOffset;
    if (at > image.size()) {
      res.addPartial(core::ReadIssue::SectionOutside, at,
                     fileName + ": data of sound " + std::to_string(i) + " starts at " + std::to_string(at) +
                         ", outside the file");
      continue;
    }
    r.seek(static_cast<size_t>(at));
    // Only the bytes the file holds are taken: a length never drives an allocation.
    e.data = r.readBytes(e.length);
    if (e.data.size() < e.length) endsEarly("inside the data of sound " + std::to_string(i));
  }
  if (snd.extensionDataStartAddress != 0) {
    if (snd.extensionDataStartAddress <= image.size()) {
      r.seek(snd.extensionDataStartAddress);
      core::readExtensionData(r, snd.extensionData);
      if (r.overrun()) endsEarly("inside ExtensionData");
    } else {
      res.addPartial(core::ReadIssue::SectionOutside, snd.extensionDataStartAddress,
                     fileName + ": ExtensionData starts at " + std::to_string(snd.extensionDataStartAddress) +
                         ", outside the file");
    }
  }
  // The stored addresses agree with what was read: the sound data starts after the
  // index and ExtensionData after the last sound (padding may lie between, never an
  // overlap). The SoundIndex length only says whether an index follows and is kept as
  // held.
  if (res.complete()) {
    const uint64_t indexEnd = 44 + (snd.soundIndexLength != 0 ? 2 + 10 * uint64_t(n) : 0);
    if (snd.soundDataStartAddress < indexEnd && !snd.entries.empty())
      res.addLayoutMismatch(fileName, "sound data start address", snd.soundDataStartAddress, indexEnd);
    uint64_t dataEnd = snd.soundDataStartAddress;
    for (const auto& e : snd.entries)
      dataEnd = std::max<uint64_t>(dataEnd, uint64_t(snd.soundDataStartAddress) + e.startOffset + e.length);
    if (snd.extensionDataStartAddress != 0 && snd.extensionDataStartAddress < dataEnd)
      res.addLayoutMismatch(fileName, "ExtensionData start address", snd.extensionDataStartAddress, dataEnd);
  }
  log.info(foundLine(snd.entries.size()));
  return res;
}

void settleSoundFile(SoundFile& snd) {
  const size_t n = snd.entries.size();
  snd.soundDataStartAddress = snd.soundIndexLength != 0 ? static_cast<uint32_t>(46 + 10 * n) : 44u;
  uint64_t off = 0;
  for (auto& e : snd.entries) {
    e.length = static_cast<uint32_t>(e.data.size());
    e.startOffset = static_cast<uint32_t>(off);
    off += e.length;
    if (off % 4 != 0) off += 2;
  }
  snd.extensionDataStartAddress = hasBlock(snd) ? static_cast<uint32_t>(snd.soundDataStartAddress + off) : 0u;
}

core::Bytes writeSoundFile(const SoundFile& model) {
  SoundFile snd = model;
  settleSoundFile(snd);
  core::ByteWriter w;
  w.putString(snd.typeIndicator, 0, 4);
  w.putString(snd.version, 4, 4);
  w.putU32(snd.soundDataStartAddress, 8);
  w.putU32(snd.extensionDataStartAddress, 12);
  w.putU32(0, 36);  // 24 reserved zero bytes from 16
  w.addU32(snd.soundIndexLength);
  if (snd.soundIndexLength != 0) {
    w.addU8(0);
    w.addU8(static_cast<uint32_t>(snd.entries.size()));
    for (const auto& e : snd.entries) {
      w.addU8(uint32_t(e.channelConfiguration & 0x0F) << 4 | (e.samplingFrequency & 0x0F));
      w.addU8(uint32_t(e.bitsPerSample & 3) << 6);
      w.addU32(e.startOffset);
      w.addU32(e.length);
    }
  }
  size_t written = 0;
  for (const auto& e : snd.entries) {
    w.addBytes(e.data);
    written += e.data.size();
    if (written % 4 != 0) {
      w.addZeros(2);
      written += 2;
    }
  }
  if (hasBlock(snd)) core::writeExtensionData(w, snd.extensionData);
  return w.take();
}

core::WriteResult saveSoundFile(const SoundFile& snd, const std::filesystem::path& folder, const std::string& fileName,
                                const core::SaveSettings& settings, core::Log& log) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  core::SaveRequest req;
  req.folder = folder;
  req.fileName = fileName;
  req.startMessage = "Saving [bl]" + fileName + "[/bl]";
  return core::saveFile(log, settings, req, writeSoundFile(snd));
}

core::Bytes makeWav(const SoundEntry& entry) {
  const uint32_t channels = entry.channelConfiguration == 3 ? 2 : 1;
  const uint32_t align = channels * 2;
  const uint32_t length = static_cast<uint32_t>(entry.data.size());
  core::Bytes b;
  b.reserve(44 + length);
  addTag(b, "RIFF");
  addLe32(b, 36 + length);
  addTag(b, "WAVE");
  addTag(b, "fmt ");
  addLe32(b, 16);
  addLe16(b, 1);
  addLe16(b, channels);
  addLe32(b, kSampleRate);
  addLe32(b, align * kSampleRate);
  addLe16(b, align);
  addLe16(b, 16);
  addTag(b, "data");
  addLe32(b, length);
  size_t start = b.size();
  b.insert(b.end(), entry.data.begin(), entry.data.end());
  for (size_t i = start; i + 1 < b.size(); i += 2) std::swap(b[i], b[i + 1]);
  return b;
}

bool wavToEntry(const core::Bytes& wav, SoundEntry& entry, std::string& error) {
  const uint8_t* p = wav.data();
  if (wav.size() < 38 || std::string(p, p + 4) != "RIFF" || std::string(p + 8, p + 12) != "WAVE" ||
      std::string(p + 12, p + 16) != "fmt " || le16(p + 20) != 1 || le32(p + 24) != kSampleRate || le16(p + 34) != 16) {
    error = kWaveFormatError;
    return false;
  }
  const unsigned channels = le16(p + 22);
  uint64_t pos = 20 + uint64_t(le32(p + 16));
  for (;;) {
    if (pos + 8 > wav.size()) {
      error = kWaveReadError;
      return false;
    }
    std::string id(p + pos, p + pos + 4);
    uint64_t size = le32(p + pos + 4);
    pos += 8;
    if (id == "data") {
      // A data chunk may claim more than the file holds (streamed recordings): take
      // what is there, in whole 16-bit samples.
      uint64_t take = std::min<uint64_t>(size, wav.size() - pos) & ~uint64_t(1);
      entry = SoundEntry{};
      entry.channelConfiguration = channels == 1 ? 1 : 3;
      entry.samplingFrequency = 1;
      entry.bitsPerSample = 1;
      entry.data.assign(p + pos, p + pos + take);
      for (size_t i = 0; i + 1 < entry.data.size(); i += 2) std::swap(entry.data[i], entry.data[i + 1]);
      entry.length = static_cast<uint32_t>(entry.data.size());
      return true;
    }
    // Chunks of odd size are followed by a pad byte.
    pos += size + (size & 1);
  }
}

int insertSound(SoundFile& snd, int row, SoundEntry entry) {
  if (snd.entries.size() >= kMaxSounds) return -1;
  size_t at = 0;
  if (row >= 0 && !snd.entries.empty()) at = std::min<size_t>(size_t(row) + 1, snd.entries.size());
  entry.length = static_cast<uint32_t>(entry.data.size());
  if (snd.soundIndexLength == 0) {
    snd.soundIndexLength = 2;
    snd.soundDataStartAddress += 2;
  }
  snd.soundIndexLength += 10;
  snd.soundDataStartAddress += 10;
  snd.entries.insert(snd.entries.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
  return static_cast<int>(at);
}

bool deleteSound(SoundFile& snd, size_t i) {
  if (i >= snd.entries.size()) return false;
  snd.entries.erase(snd.entries.begin() + static_cast<std::ptrdiff_t>(i));
  snd.soundIndexLength -= 10;
  snd.soundDataStartAddress -= 10;
  return true;
}

std::string soundNumberText(size_t i) { return core::decimalText(i, 3); }
std::string channelText(uint8_t c) { return c == 1 ? "Mono" : c == 3 ? "Stereo" : "-"; }
std::string frequencyText(uint8_t f) { return f == 1 ? "48kHz" : "-"; }
std::string bitsText(uint8_t b) { return b == 1 ? "16" : "-"; }

std::string lengthText(uint32_t length) {
  // Hundredths of a second, truncated; the divisor 480 x 4 assumes 48 kHz stereo.
  uint64_t hundredths = length / 480 / 4;
  std::string s = std::to_string(hundredths / 100);
  unsigned frac = static_cast<unsigned>(hundredths % 100);
  if (frac != 0) {
    s += '.';
    s += char('0' + frac / 10);
    if (frac % 10 != 0) s += char('0' + frac % 10);
  }
  return s + " s";
}

std::string selectionText(const SoundFile& snd, size_t row) {
  if (snd.entries.empty() || row >= snd.entries.size()) return "";
  const auto& e = snd.entries[row];
  const auto& last = snd.entries.back();
  uint64_t total = uint64_t(last.startOffset) + last.length;
  return "Data start: " + hex(e.startOffset, 8) + " (" + withThousands(e.startOffset) + ")  Length: " +
         hex(e.length, 8) + " (" + withThousands(e.length) + ")  Total data length: " + hex(total, 8) + "(" +
         withThousands(total) + ")";
}

}  // namespace morvex::sound

// sound.bdmv: "dump", "resave", and "sound export" / "sound import" for WAV files.
#include <functional>
#include <iostream>

#include <nlohmann/json.hpp>

#include "cli/json_text.h"
#include "cli/output_guard.h"
#include "cli/registry.h"
#include "core/save.h"
#include "sound/sound.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace morvex::cli {

namespace navfmt {
nlohmann::json extensionDataJson(const core::ExtensionData& x);
bool readQuietly(const std::function<core::ReadResult(core::Log&)>& read);
int writeOutput(const fs::path& out, const core::Bytes& bytes);
}  // namespace navfmt

namespace {

using namespace navfmt;

bool readSoundOrReport(const fs::path& p, const core::Bytes& bytes, sound::SoundFile& s) {
  return readQuietly([&](core::Log& log) { return sound::readSoundFile(bytes, p.filename().string(), s, log); });
}

bool loadSoundFile(const fs::path& p, sound::SoundFile& s) {
  core::Bytes bytes;
  std::string err;
  if (!core::readWholeFile(p, bytes, err)) {
    fail(core::displayPath(p) + ": " + err);
    return false;
  }
  return readSoundOrReport(p, bytes, s);
}

int dumpSound(const fs::path& p, const core::Bytes& bytes, bool asJson) {
  sound::SoundFile s;
  if (!readSoundOrReport(p, bytes, s)) return 1;
  if (asJson) {
    json entries = json::array();
    for (const auto& e : s.entries)
      entries.push_back({{"channelConfiguration", e.channelConfiguration},
                         {"samplingFrequency", e.samplingFrequency},
                         {"bitsPerSample", e.bitsPerSample},
                         {"startOffset", e.startOffset},
                         {"length", e.length}});
    json j = {{"typeIndicator", s.typeIndicator},
              {"version", s.version},
              {"soundDataStartAddress", s.soundDataStartAddress},
              {"extensionDataStartAddress", s.extensionDataStartAddress},
              {"soundIndexLength", s.soundIndexLength},
              {"numberOfEntries", s.entries.size()},
              {"entries", entries},
              {"extensionData", extensionDataJson(s.extensionData)}};
    std::cout << jsonText(j) << '\n';
    return 0;
  }
  std::cout << p.filename().string() << ": " << s.typeIndicator << " version " << s.version << '\n'
            << "SoundData start address: " << s.soundDataStartAddress << '\n'
            << "ExtensionData start address: " << s.extensionDataStartAddress << '\n'
            << "SoundIndex length: " << s.soundIndexLength << '\n'
            << "Sound entries: " << s.entries.size() << '\n'
            << "No.  channel  frequency  bits/sample  length\n";
  for (size_t i = 0; i < s.entries.size(); ++i) {
    const auto& e = s.entries[i];
    std::cout << sound::soundNumberText(i) << "  " << sound::channelText(e.channelConfiguration) << "  "
              << sound::frequencyText(e.samplingFrequency) << "  " << sound::bitsText(e.bitsPerSample) << "  "
              << sound::lengthText(e.length) << "  (offset " << e.startOffset << ", " << e.length << " bytes)\n";
  }
  std::cout << "ExtensionData: " << core::extensionDataCaption(s.extensionData) << '\n';
  return 0;
}

static CommandRegistrar reg(20, [](CLI::App& app) {
  registerFileKind(FileKind{
      "sound", [](const fs::path&, const core::Bytes& b) { return hasTypeIndicator(b, "BCLK"); }, dumpSound,
      [](const fs::path& in, const core::Bytes& b, const fs::path& out) {
        sound::SoundFile s;
        if (!readSoundOrReport(in, b, s)) return 1;
        return writeOutput(out, sound::writeSoundFile(s));
      }});

  auto* snd = sharedSubcommand(app, "sound", "Export or import the sounds of a sound.bdmv file");
  snd->require_subcommand(1);

  auto* exp = snd->add_subcommand("export", "Write one sound entry as a WAV file");
  static std::string expFile, expOut;
  static int expEntry = -1;
  exp->add_option("FILE", expFile, "sound.bdmv file")->required();
  exp->add_option("--entry", expEntry, "number of the sound entry, from 0")->required();
  exp->add_option("-o,--output", expOut, "WAV file to write")->required();
  exp->callback([] {
    sound::SoundFile s;
    if (!loadSoundFile(expFile, s)) return;
    if (expEntry < 0 || size_t(expEntry) >= s.entries.size()) {
      fail(core::displayPath(expFile) + ": no sound entry " + std::to_string(expEntry) + " (the file has " +
           std::to_string(s.entries.size()) + ")");
      return;
    }
    if (outputIsAnInput(expOut, {expFile})) return;
    writeOutput(expOut, sound::makeWav(s.entries[size_t(expEntry)]));
  });

  auto* imp = snd->add_subcommand("import", "Add a WAV file (48 kHz, 16 bit, PCM) as a new sound entry");
  static std::string impFile, impWav, impOut;
  static int impAfter = -1;
  imp->add_option("FILE", impFile, "sound.bdmv file")->required();
  imp->add_option("WAV", impWav, "WAV file to import")->required();
  imp->add_option("--after", impAfter, "insert after this entry (default: at the end)");
  imp->add_option("-o,--output", impOut, "sound.bdmv file to write")->required();
  imp->callback([] {
    sound::SoundFile s;
    if (!loadSoundFile(impFile, s)) return;
    allowInPlace(impFile);
    core::Bytes wav;
    std::string err;
    if (!core::readWholeFile(impWav, wav, err)) {
      fail(core::displayPath(impWav) + ": " + err);
      return;
    }
    sound::SoundEntry entry;
    if (!sound::wavToEntry(wav, entry, err)) {
      fail(core::displayPath(impWav) + ": " + err);
      return;
    }
    int after = impAfter;
    if (after < 0) {
      after = static_cast<int>(s.entries.size()) - 1;
    } else if (size_t(after) >= s.entries.size()) {
      fail(core::displayPath(impFile) + ": no sound entry " + std::to_string(after) + " (the file has " +
           std::to_string(s.entries.size()) + ")");
      return;
    }
    int at = sound::insertSound(s, after, std::move(entry));
    if (at < 0) {
      fail(core::displayPath(impFile) + ": " + sound::kTooManySounds);
      return;
    }
    sound::settleSoundFile(s);
    if (writeOutput(impOut, sound::writeSoundFile(s)) == 0) std::cout << "Sound entry " << sound::soundNumberText(size_t(at)) << " added\n";
  });
});

}  // namespace
}  // namespace morvex::cli

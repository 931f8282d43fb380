// morvex-cli sound export / import and the sound.bdmv kind of dump and resave.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sys/wait.h>

#include "sound/sound.h"
#include "support/test_support.h"
#include "cli/run_cli.h"

using namespace morvex;
namespace fs = std::filesystem;

namespace {

using CliRun = morvex::test::CliResult;

CliRun cli(const std::string& args) { return morvex::test::runCli(args, morvex::test::CliStderr::Separate); }

std::string q(const fs::path& p) { return "'" + p.string() + "'"; }

// A 48 kHz 16-bit PCM WAV of a short ramp.
core::Bytes wav(unsigned channels, uint32_t rate, size_t frames) {
  core::Bytes b;
  auto le = [&](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(uint8_t(v >> (8 * i)));
  };
  b = {'R', 'I', 'F', 'F'};
  le(36 + uint32_t(frames * channels * 2), 4);
  for (char c : std::string("WAVEfmt ")) b.push_back(uint8_t(c));
  le(16, 4), le(1, 2), le(channels, 2), le(rate, 4), le(rate * channels * 2, 4), le(channels * 2, 2), le(16, 2);
  for (char c : std::string("data")) b.push_back(uint8_t(c));
  le(uint32_t(frames * channels * 2), 4);
  for (size_t i = 0; i < frames * channels; ++i) le(uint32_t(i * 97), 2);
  return b;
}

}  // namespace

TEST(SoundCli, ImportExportRoundTrip) {
  test::TempDir t;
  sound::SoundFile s = sound::newSoundFile();
  sound::SoundEntry e;
  e.channelConfiguration = 3;
  e.data.assign(400, 0x11);
  sound::insertSound(s, -1, e);
  test::writeFile(t / "sound.bdmv", sound::writeSoundFile(s));
  test::writeFile(t / "in.wav", wav(1, 48000, 4800));

  CliRun r = cli("sound import " + q(t / "sound.bdmv") + " " + q(t / "in.wav") + " --after 0 -o " + q(t / "new.bdmv"));
  ASSERT_EQ(r.status, 0) << r.err;
  r = cli("dump --json " + q(t / "new.bdmv"));
  ASSERT_EQ(r.status, 0) << r.err;
  auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["numberOfEntries"], 2);
  EXPECT_EQ(j["soundDataStartAddress"], 66);
  EXPECT_EQ(j["entries"][1]["channelConfiguration"], 1);
  EXPECT_EQ(j["entries"][1]["startOffset"], 400);
  EXPECT_EQ(j["entries"][1]["length"], 9600);

  r = cli("sound export " + q(t / "new.bdmv") + " --entry 1 -o " + q(t / "out.wav"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(test::readFile(t / "out.wav"), test::readFile(t / "in.wav"));

  // resave reproduces the file the import wrote.
  r = cli("resave " + q(t / "new.bdmv") + " -o " + q(t / "again.bdmv"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(test::readFile(t / "again.bdmv"), test::readFile(t / "new.bdmv"));
}

TEST(SoundCli, RefusalsWriteNothing) {
  test::TempDir t;
  test::writeFile(t / "sound.bdmv", sound::writeSoundFile(sound::newSoundFile()));
  test::writeFile(t / "cd.wav", wav(2, 44100, 10));
  CliRun r = cli("sound import " + q(t / "sound.bdmv") + " " + q(t / "cd.wav") + " -o " + q(t / "out.bdmv"));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("Wave format error! (Mandatory 48 kHz, 16 bit, PCM)"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(t / "out.bdmv"));

  r = cli("sound export " + q(t / "sound.bdmv") + " --entry 0 -o " + q(t / "x.wav"));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("no sound entry 0"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(t / "x.wav"));

  test::writeFile(t / "ok.wav", wav(2, 48000, 10));
  r = cli("sound import " + q(t / "sound.bdmv") + " " + q(t / "ok.wav") + " --after 3 -o " + q(t / "out.bdmv"));
  EXPECT_NE(r.status, 0);
  EXPECT_FALSE(fs::exists(t / "out.bdmv"));
}

// Every writer keeps the same promise about its model: it leaves the model as it was,
// and settling a model the writer lays out itself (clip information, sound, menu)
// changes nothing that is written. Every
// saver reports in its result what the log says: the file and its size when written,
// the failure line and no bytes when the save stopped.
#include <gtest/gtest.h>

#include <functional>

#include "clip/clpi.h"
#include "igs/igs_test_util.h"
#include "igs/writer.h"
#include "nav/index.h"
#include "nav/movie_object.h"
#include "playlist/mpls_writer.h"
#include "playlist/synth.h"
#include "sound/sound.h"
#include "support/test_support.h"

using namespace morvex;
namespace fs = std::filesystem;

namespace {

struct Format {
  std::string fileName;
  // Writes the format's model (held inside the closures) and tells whether the model
  // is still what it was before the write; settles it; saves it.
  std::function<core::Bytes()> write;
  std::function<bool()> unchanged;
  std::function<void()> settle;
  std::function<core::WriteResult(const fs::path&, const core::SaveSettings&, core::Log&)> save;
};

template <class Model>
Format format(std::string fileName, Model model, std::function<core::Bytes(const Model&)> write,
              std::function<void(Model&)> settle,
              std::function<core::WriteResult(const Model&, const fs::path&, const std::string&,
                                              const core::SaveSettings&, core::Log&)>
                  save) {
  auto held = std::make_shared<Model>(std::move(model));
  auto before = std::make_shared<Model>(*held);
  Format f;
  f.fileName = fileName;
  f.write = [=] { return write(*held); };
  f.unchanged = [=] { return *held == *before; };
  f.settle = [=] {
    settle(*held);
    *before = *held;
  };
  f.save = [=](const fs::path& folder, const core::SaveSettings& s, core::Log& log) {
    return save(*held, folder, fileName, s, log);
  };
  return f;
}

// Models whose stored lengths and addresses do not yet describe the file, where the
// format has such values, so that a writer which settled its input would show it.
std::vector<Format> formats() {
  std::vector<Format> v;
  nav::IndexTable indx;
  indx.indexes.titles.resize(3);
  v.push_back(format<nav::IndexTable>("index.bdmv", indx, nav::writeIndexTable, [](nav::IndexTable&) {},
                                      nav::saveIndexTable));
  nav::MovieObjectFile mobj;
  mobj.movieObjects.objects.resize(2);
  mobj.movieObjects.objects[1].commands.resize(2);
  mobj.movieObjects.length = nav::movieObjectsLength(mobj.movieObjects);
  v.push_back(format<nav::MovieObjectFile>("MovieObject.bdmv", mobj, nav::writeMovieObjectFile,
                                           [](nav::MovieObjectFile&) {}, nav::saveMovieObjectFile));
  sound::SoundFile snd = sound::newSoundFile();
  sound::SoundEntry e;
  e.data.assign(402, 7);  // length and start offsets left to the settling step
  snd.entries.push_back(e);
  snd.entries.push_back(e);
  v.push_back(format<sound::SoundFile>("sound.bdmv", snd, sound::writeSoundFile, sound::settleSoundFile,
                                       sound::saveSoundFile));
  // A playlist's writer puts back the lengths it holds; settled, they describe the file.
  playlist::Playlist pl = playlist::synth::writable(playlist::synth::twoItems(false));
  v.push_back(format<playlist::Playlist>("00001.mpls", pl, playlist::writePlaylist, playlist::updateLengths,
                                         playlist::savePlaylist));
  clip::ClipInfo clpi;
  clpi.typeIndicator = "HDMV";
  clpi.version = "0200";
  clpi.clipInfo.isAtcDelta = 1;  // on without entries: settled off
  clpi.sequenceInfoStart = 7;    // addresses that do not follow the sections
  clpi.cpiStart = 9;
  v.push_back(format<clip::ClipInfo>("00001.clpi", clpi, clip::writeClipInfo, clip::settleClipInfo,
                                     clip::saveClipInfo));
  v.push_back(format<igs::Menu>(
      "menu.mnu", igs::test::syntheticMenu(4),
      [](const igs::Menu& m) { return igs::writeMenu(m, igs::SaveForm::MenuFile); },
      [](igs::Menu& m) {
        core::NullLog quiet;
        igs::settleMenu(m, quiet);
      },
      igs::saveMenuFile));
  return v;
}

}  // namespace

TEST(WriterContract, WritersLeaveTheirModelAndSettlingChangesNoByte) {
  for (auto& f : formats()) {
    SCOPED_TRACE(f.fileName);
    const core::Bytes first = f.write();
    EXPECT_FALSE(first.empty());
    EXPECT_TRUE(f.unchanged());
    EXPECT_EQ(f.write(), first);  // nothing of the first write carried over
    f.settle();
    EXPECT_EQ(f.write(), first);
    EXPECT_TRUE(f.unchanged());
  }
}

TEST(WriterContract, SaversReportTheFileWrittenOrTheLineTheyStoppedWith) {
  for (auto& f : formats()) {
    SCOPED_TRACE(f.fileName);
    test::TempDir d;
    core::SaveSettings s;
    core::MemoryLog log;
    const core::WriteResult ok = f.save(d.path(), s, log);
    ASSERT_TRUE(ok) << log.text();
    EXPECT_EQ(ok.path, d / f.fileName);
    EXPECT_TRUE(ok.error.empty());
    EXPECT_FALSE(log.hadError());
    const core::Bytes written = test::readFile(d / f.fileName);
    EXPECT_EQ(written, f.write());
    EXPECT_EQ(ok.bytesWritten, written.size());
    EXPECT_TRUE(f.unchanged());

    // A folder that is a plain file cannot take the new file: the save stops, the
    // result and the log say the same.
    test::writeFile(d / "plain", core::Bytes{1});
    core::MemoryLog failLog;
    const core::WriteResult stopped = f.save(d / "plain", s, failLog);
    EXPECT_FALSE(stopped);
    EXPECT_TRUE(stopped.failed());
    EXPECT_EQ(stopped.path, d / "plain" / f.fileName);
    EXPECT_EQ(stopped.bytesWritten, 0u);
    EXPECT_EQ(stopped.error.rfind(core::displayPath(stopped.path) + ": ", 0), 0u) << stopped.error;
    EXPECT_TRUE(failLog.hadError());
    ASSERT_FALSE(failLog.plainLines().empty());
    EXPECT_EQ(failLog.plainLines().back(), "ERROR: " + stopped.error);

    // A backup that may not be replaced stops the save before the file changes.
    s.backupMode = core::BackupMode::StopIfExists;
    test::writeFile(d / (f.fileName + ".backup"), core::Bytes{0});
    core::MemoryLog backupLog;
    const core::WriteResult refused = f.save(d.path(), s, backupLog);
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.error, "Cannot create backup file.");
    EXPECT_EQ(refused.path, d / f.fileName);
    EXPECT_EQ(test::readFile(d / f.fileName), written);
  }
}

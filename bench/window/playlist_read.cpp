// Reading a large playlist into the PLAYLIST tab: 500 PlayItems (each with a video,
// two audio and two subtitle streams) and 999 marks, from pressing Read to the filled
// grids.
//
//   bench_playlist_read [repeats]
//
// Budget: 50 ms (median). The program prints "over budget" beside a figure that misses
// it and exits with 1 then.
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "core/save.h"
#include "nav/index.h"
#include "nav/movie_object.h"
#include "playlist/mpls_writer.h"
#include "app/playlist/playlist_tab.h"
#include "app/window/main_window.h"

namespace fs = std::filesystem;
using namespace morvex;

namespace {

playlist::Stream stream(uint8_t coding, uint16_t pid, const char* lang) {
  playlist::Stream s;
  s.entry.type = 1;
  s.entry.mainPID = pid;
  s.attr.codingType = coding;
  s.attr.videoFormat = 6;
  s.attr.frameRate = 1;
  s.attr.audioPresentation = 3;
  s.attr.samplingFrequency = 1;
  s.attr.language = lang;
  return s;
}

playlist::Playlist bigPlaylist() {
  playlist::Playlist m;
  m.typeIndicator = "MPLS";
  m.version = "0200";
  m.markStart = 1;
  m.appInfo.playbackType = 1;
  char name[16];
  for (int i = 0; i < 500; ++i) {
    playlist::PlayItem pi;
    std::snprintf(name, sizeof name, "%05d", i);
    pi.clipName = name;
    pi.codecId = "M2TS";
    pi.inTime = 27000000;
    pi.outTime = 27000000 + 45000 * 60;
    pi.stn.video = {stream(0x1B, 0x1011, "")};
    pi.stn.audio = {stream(0x81, 0x1100, "eng"), stream(0x81, 0x1101, "deu")};
    pi.stn.pg = {stream(0x90, 0x1200, "eng"), stream(0x90, 0x1201, "deu")};
    pi.stn.numVideo = 1;
    pi.stn.numAudio = 2;
    pi.stn.numPG = 2;
    m.playList.playItems.push_back(pi);
  }
  for (int k = 0; k < 999; ++k) {
    playlist::Mark mk;
    mk.playItemRef = uint16_t(k % 500);
    mk.timeStamp = 27000000 + uint32_t(k / 500) * 45000 * 30;
    m.playListMark.marks.push_back(mk);
  }
  playlist::updateLengths(m);
  return m;
}

fs::path makeDisc(const fs::path& root) {
  const fs::path bdmv = root / "BDMV";
  for (const char* d : {"PLAYLIST", "CLIPINF", "BACKUP", "STREAM", "BDJO", "AUXDATA"}) fs::create_directories(bdmv / d);
  std::string err;
  core::writeFileAtomic(bdmv / "PLAYLIST" / "00000.mpls", playlist::writePlaylist(bigPlaylist()), err);
  nav::MovieObjectFile m;
  m.movieObjects.objects.resize(1);
  m.movieObjects.objects[0].commands.push_back({0x50400001u, 0, 0});
  m.movieObjects.length = nav::movieObjectsLength(m.movieObjects);
  nav::IndexTable ix;
  ix.contentProviderData = "bench";
  ix.indexes.topMenu.objectId = 0xFFFF;
  ix.indexes.length = 26;
  core::writeFileAtomic(bdmv / "index.bdmv", nav::writeIndexTable(ix), err);
  core::writeFileAtomic(bdmv / "MovieObject.bdmv", nav::writeMovieObjectFile(m), err);
  for (const char* f : {"index.bdmv", "MovieObject.bdmv"}) fs::copy_file(bdmv / f, bdmv / "BACKUP" / f);
  return bdmv;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication qapp(argc, argv);
  QApplication::setOrganizationName("Vantoro Software");
  QApplication::setApplicationName("Morvex bench");
  QTemporaryDir store, scratch;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, store.path());
  const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;

  const fs::path bdmv = makeDisc(fs::path(scratch.path().toStdString()));
  app::MainWindow w({QString::fromStdString((bdmv / "index.bdmv").string())});
  w.show();
  w.startUp();
  auto* tab = w.findChild<app::PlaylistTab*>();
  w.tabs()->setCurrentWidget(tab);
  QApplication::processEvents();
  auto* read = tab->findChild<QPushButton*>("readPlaylistButton");
  std::vector<double> ms;
  for (int i = 0; i < repeats + 1; ++i) {
    QElapsedTimer t;
    t.start();
    read->click();
    QApplication::processEvents();
    if (i > 0) ms.push_back(double(t.nsecsElapsed()) / 1e6);  // the first run warms up
  }
  std::sort(ms.begin(), ms.end());
  const double median = ms[ms.size() / 2];
  const int rows = tab->findChild<QTableWidget*>("playItemTable")->rowCount();
  const int marks = tab->findChild<QTableWidget*>("markTable")->rowCount();
  std::printf("read playlist into the tab (%d PlayItems, %d marks; median of %d)   %8.1f ms%s\n", rows, marks, repeats,
              median, median > 50 ? "   over budget (50 ms)" : "");
  w.endOfRun();
  return median > 50 || rows != 500 || marks != 999 ? 1 : 0;
}

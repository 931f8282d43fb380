#include "gui_test_support.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QSettings>
#include <QTest>

#include "core/log.h"
#include "core/save.h"
#include "app/settings/app_settings.h"

namespace morvex::guitest {

namespace fs = std::filesystem;

fs::path writeDisc(const fs::path& root, const nav::IndexTable& indx, const nav::MovieObjectFile& mobj) {
  const fs::path bdmv = root / "BDMV";
  for (const char* d : {"PLAYLIST", "CLIPINF", "BACKUP", "STREAM"}) fs::create_directories(bdmv / d);
  std::string err;
  core::writeFileAtomic(bdmv / "index.bdmv", nav::writeIndexTable(indx), err);
  core::writeFileAtomic(bdmv / "MovieObject.bdmv", nav::writeMovieObjectFile(mobj), err);
  return bdmv;
}

nav::MovieObjectFile makeMobj(const std::vector<hdmv::CommandList>& programs) {
  nav::MovieObjectFile m;
  for (const auto& p : programs) {
    nav::MovieObject o;
    o.commands = p;
    m.movieObjects.objects.push_back(o);
  }
  m.movieObjects.length = nav::movieObjectsLength(m.movieObjects);
  return m;
}

nav::IndexTable makeIndex(int titles, int objects) {
  nav::IndexTable ix;
  ix.contentProviderData = "Morvex tests";
  ix.indexes.firstPlayback.objectId = 0;
  ix.indexes.topMenu.objectId = 0xFFFF;
  for (int i = 0; i < titles; ++i) {
    nav::Title t;
    t.titleNumber = uint32_t(i + 1);
    t.objectId = uint16_t(objects > 0 ? i % objects : 0);
    ix.indexes.titles.push_back(t);
  }
  ix.indexes.length = 26 + 12 * uint32_t(titles);
  return ix;
}

std::unique_ptr<app::MainWindow> startWindow(const QStringList& args) {
  auto w = std::make_unique<app::MainWindow>(args);
  w->show();
  w->activateWindow();
  // Offscreen a window need not become active; the tests drive it either way.
  (void)QTest::qWaitForWindowActive(w.get());
  w->startUp();
  return w;
}

nav::IndexTable readIndexFile(const fs::path& p) {
  nav::IndexTable ix;
  core::MemoryLog log;
  nav::readIndexTable(test::readFile(p), p.filename().string(), ix, log);
  return ix;
}

nav::MovieObjectFile readMobjFile(const fs::path& p) {
  nav::MovieObjectFile m;
  core::MemoryLog log;
  nav::readMovieObjectFile(test::readFile(p), p.filename().string(), m, log);
  return m;
}

QFileDialog* visibleFileDialog() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* fd = qobject_cast<QFileDialog*>(w); fd && fd->isVisible()) return fd;
  return nullptr;
}

bool answerFileDialog(QFileDialog* dlg, const QString& path) {
  auto* name = dlg->findChild<QLineEdit*>("fileNameEdit");
  if (!name) return false;
  // Key events go straight to the field, so a completer popup the typing opens cannot
  // take them; Enter in the field is the dialog's default button, Open or Save.
  name->setFocus();
  name->selectAll();
  QTest::keyClicks(name, path);
  QTest::keyClick(name, Qt::Key_Return);
  return true;
}

QString cell(QTableWidget* t, int r, int c) {
  auto* it = t->item(r, c);
  return it ? it->text() : QString();
}

fs::path demoDisc(const fs::path& scratch) {
#ifdef MORVEX_MAKE_DEMO
  const fs::path out = scratch / "demo" / "BDMV";
  if (QProcess::execute(MORVEX_MAKE_DEMO, {QString::fromStdString(out.string())}) != 0) return {};
  return out;
#else
  (void)scratch;
  return {};
#endif
}

void clearSettings() {
  QSettings s(app::kOrganisation, app::kApplication);
  s.clear();
  s.sync();
}

}  // namespace morvex::guitest

#pragma once
// Helpers of the GUI tests: a small disc folder written with the engine's writers,
// a freshly started main window, and table access.
#include <QFileDialog>
#include <QTableWidget>
#include <QString>
#include <filesystem>
#include <memory>

#include "hdmv/command.h"
#include "nav/index.h"
#include "nav/movie_object.h"
#include "app/window/main_window.h"
#include "support/test_support.h"

// Ends the current test for want of something it needs (a fixture disc, the demo
// disc, a program built or installed beside the tests): a skip with `reason`, or under
// CI (CI=true) a failure with it, so that a CI run cannot pass on tests it never ran.
#define MORVEX_QSKIP_OR_FAIL(reason)                                                      \
  do {                                                                                    \
    if (::morvex::test::missingFails())                                                   \
      QFAIL(QByteArray(reason).append(" (CI=true: this fails rather than skips)").constData()); \
    else                                                                                  \
      QSKIP(reason);                                                                      \
  } while (0)

namespace morvex::guitest {

// Writes <root>/BDMV with PLAYLIST, CLIPINF, BACKUP and the two navigation files.
std::filesystem::path writeDisc(const std::filesystem::path& root, const nav::IndexTable& indx, const nav::MovieObjectFile& mobj);

// A movie-object file holding the given programs (flags 0).
nav::MovieObjectFile makeMobj(const std::vector<hdmv::CommandList>& programs);
// An index with n HDMV titles, title i playing object i % objects.
nav::IndexTable makeIndex(int titles, int objects);

// A started main window (settings from the test store) with the given arguments.
std::unique_ptr<app::MainWindow> startWindow(const QStringList& args = {});

// A command of the given opcode and operands.
inline hdmv::Command cmd(uint32_t op, uint32_t dst, uint32_t src) { return {op, dst, src}; }

// The index or movie-object file at `p` as the engine reads it (what a save wrote).
nav::IndexTable readIndexFile(const std::filesystem::path& p);
nav::MovieObjectFile readMobjFile(const std::filesystem::path& p);

// Cell text.
QString cell(QTableWidget* t, int r, int c);

// The demo disc generated into a scratch folder, or empty when the generator is
// not part of this build.
std::filesystem::path demoDisc(const std::filesystem::path& scratch);

// The file dialog a user would be looking at: the visible QFileDialog among the top-level
// windows, or null. Found this way rather than as the active modal widget, which names
// whichever modal window the platform last activated and need not be the dialog.
QFileDialog* visibleFileDialog();

// Answers `dlg` as a user does: the name typed into its file-name field (replacing what
// is there), then Enter. Returns false when the dialog has no such field.
bool answerFileDialog(QFileDialog* dlg, const QString& path);

// Clears the test settings store.
void clearSettings();

}  // namespace morvex::guitest

#pragma once
// The discs and menus opened last, most recent first: a disc by its BDMV folder, a
// menu by its .mnu file. The list lives in the settings store under "Recent", written
// as soon as it changes, so the next run offers the same entries even after a crash.
#include <QString>
#include <QStringList>

namespace morvex::app {

namespace recent {

// At most this many entries are kept; the oldest goes first.
inline constexpr int kMaxEntries = 10;

// The stored list (paths as they were noted, most recent first).
QStringList entries();
// Puts `path` first (a path already listed moves up rather than appearing twice).
void note(const QString& path);
// Takes `path` off the list (it no longer exists).
void forget(const QString& path);

}  // namespace recent

}  // namespace morvex::app

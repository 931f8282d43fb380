#pragma once
// The program's own temporary files live in the system's temporary folder and are
// named "Morvex_<pid>_..." or "_Morvex_<pid>_...", so two running instances never
// share or delete each other's work files.
#include <QString>
#include <filesystem>

namespace morvex::app {

// "Morvex_<pid>_" + name in the system's temporary folder.
std::filesystem::path tempFilePath(const QString& name);
// Removes every "Morvex_<pid>_*" and "_Morvex_<pid>_*" file of this process; returns
// how many were removed.
int removeOwnTempFiles();
// True when a file name belongs to the process `pid`.
bool isOwnTempFile(const QString& fileName, qint64 pid);

}  // namespace morvex::app

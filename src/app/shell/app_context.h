#pragma once
// What the tabs share for the whole run: the settings, the log, the disc session,
// the command clipboard and the player. The window owns one context; every page
// receives a reference to it.
#include <QDir>
#include <QString>
#include <filesystem>

#include "core/log.h"
#include "core/save.h"
#include "hdmv/interpreter.h"
#include "hdmv/registers.h"
#include "nav/index.h"
#include "nav/movie_object.h"
#include "app/settings/app_settings.h"
#include "app/shell/disc_session.h"

namespace morvex::app {

struct AppContext {
  AppSettings settings;
  core::Log* log = nullptr;

  // The disc folder and everything read from it.
  DiscSession session;

  // Commands copied or cut in any command table (cmdClipboard).
  hdmv::CommandList cmdClipboard;

  // The player registers and the interpreter, one of each for the whole run.
  hdmv::Registers regs;
  hdmv::Interpreter interp{regs};

  hdmv::RegisterOptions registerOptions() const {
    hdmv::RegisterOptions o;
    o.realPsrs = settings.realPSRs;
    o.countryCode = uint32_t(settings.countryCode);
    o.region = settings.region;
    return o;
  }

  core::FileNames names() const { return core::FileNames::make(settings.names83); }
  core::SaveSettings saveSettings() const {
    core::SaveSettings s;
    s.backup = settings.backup;
    s.backupMode = core::BackupMode(settings.backupMode);
    s.saveBackupDir = settings.saveBACKUP;
    return s;
  }
  // The starting folder of file dialogs: the work folder when one is set, else the
  // disc folder, else the home folder (never the file system root).
  QString dialogFolder() const {
    if (!settings.workFolder.isEmpty()) return settings.workFolder;
    if (!session.folder().empty()) return QString::fromStdString(session.folder().string());
    return QDir::homePath();
  }
};

}  // namespace morvex::app

#pragma once
// What the tabs share for the whole run: the settings, the log, the disc folder and
// the models of the files read from it. The window owns one context; every page
// receives a reference to it.
#include <QString>
#include <filesystem>

#include "core/log.h"
#include "core/save.h"
#include "hdmv/interpreter.h"
#include "hdmv/registers.h"
#include "nav/index.h"
#include "nav/movie_object.h"
#include "settings/app_settings.h"

namespace morvex::app {

struct AppContext {
  AppSettings settings;
  core::Log* log = nullptr;

  // The BDMV folder itself, as chosen (shown with a trailing "/").
  std::filesystem::path discFolder;
  // True once a load passed its check; Save never writes into a folder that failed.
  bool discLoaded = false;

  // The models of the files read from the folder.
  nav::TINDX indx;
  nav::TMOBJ mobj;
  bool indexRead = false;

  // Commands copied or cut in any command table (cmdClipboard).
  hdmv::TCommands cmdClipboard;

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
  // The starting folder of file dialogs: the work folder when one is set.
  QString dialogFolder() const { return settings.workFolder; }
};

}  // namespace morvex::app

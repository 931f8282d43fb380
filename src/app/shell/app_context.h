#pragma once
// What the tabs share for the whole run: the settings, the log, the disc folder and
// the models of the files read from it. The window owns one context; every page
// receives a reference to it.
#include <QString>
#include <filesystem>

#include "core/log.h"
#include "core/save.h"
#include "settings/app_settings.h"

namespace morvex::app {

struct AppContext {
  AppSettings settings;
  core::Log* log = nullptr;

  // The BDMV folder itself, as chosen (shown with a trailing "/").
  std::filesystem::path discFolder;
  // True once a load passed its check; Save never writes into a folder that failed.
  bool discLoaded = false;

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

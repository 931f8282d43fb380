// "info DIR": check and load a disc folder and print the load's log.
#include <iostream>

#include "cli/registry.h"
#include "disc/disc_load.h"

namespace morvex::cli {
namespace {

static CommandRegistrar reg(5, [](CLI::App& app) {
  auto* info = app.add_subcommand("info", "Check and load a disc folder (the disc root or its BDMV folder)");
  static std::string dir;
  static bool use83 = false;
  info->add_option("DIR", dir, "disc folder")->required();
  info->add_flag("--83", use83, "use 8.3 file names (INDEX.BDM, MOVIEOBJ.BDM, .MPL, .CPI, .MTS)");
  info->callback([] {
    ConsoleLog log;
    disc::LoadOptions opt;
    opt.use83names = use83;
    auto result = disc::loadDisc(disc::discFolderFor(dir), opt, log);
    if (!result.checkPassed || result.stopped) exitStatus() = 1;
  });
});

}  // namespace
}  // namespace morvex::cli

// "info DIR": check and load a disc folder and print the load's log.
#include <filesystem>
#include <iostream>

#include "cli/registry.h"
#include "clip/clpi.h"
#include "disc/disc_load.h"
#include "playlist/mpls_reader.h"

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
    // A file inside the disc folder (index.bdmv, say) stands for its folder.
    std::filesystem::path chosen = dir;
    std::error_code ec;
    if (std::filesystem::is_regular_file(chosen, ec)) chosen = chosen.parent_path();
    const std::filesystem::path bdmv = disc::discFolderFor(chosen);
    auto result = disc::loadDisc(bdmv, opt, log);
    // The load lists playlists and clip information by name; the command reads each
    // one too, so that a damaged or wrong kind of file fails it as it fails "check".
    if (result.complete) {
      ConsoleLog quiet(ConsoleLog::Show::Nothing);
      for (const auto& name : result.playlists) {
        playlist::Playlist m;
        playlist::ReadOptions ro;
        ro.silent = true;
        result.reads.push_back(
            playlist::readPlaylistFile(bdmv / "PLAYLIST" / (name + result.names.playlistext), m, quiet, ro));
      }
      for (const auto& name : result.clipinfos) {
        clip::ClipInfo c;
        result.reads.push_back(clip::readClipInfoFile(bdmv / "CLIPINF" / (name + result.names.clipinfext), c, quiet));
      }
    }
    // Any file that was refused or read only in part makes the check fail; the
    // reasons close the report on stderr.
    for (const auto& r : result.reads)
      for (const auto& p : r.problems) std::cerr << "morvex-cli: " << p.message << '\n';
    if (!result.checkPassed || result.stopped || !result.allReadsComplete()) exitStatus() = 1;
  });
});

}  // namespace
}  // namespace morvex::cli

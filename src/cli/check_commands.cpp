// "check DIR": the disc checker. Findings are printed grouped by file, or as a JSON
// array a script can filter. Exit 0 without errors, 1 with errors, 2 when the folder
// cannot be checked at all.
#include <filesystem>
#include <iostream>

#include <nlohmann/json.hpp>

#include "check/checker.h"
#include "cli/json_text.h"
#include "cli/registry.h"

namespace morvex::cli {
namespace {

static CommandRegistrar reg(6, [](CLI::App& app) {
  auto* cmd = app.add_subcommand("check", "Check a disc folder: lengths, references, commands and menus");
  static std::string dir;
  static bool json = false, use83 = false;
  static std::string severity = "warning";
  static std::vector<std::string> menus;
  cmd->add_option("DIR", dir, "disc folder (the disc root or its BDMV folder)")->required();
  cmd->add_flag("--json", json, "print the findings as a JSON array");
  cmd->add_option("--severity", severity, "least severity shown: error, warning (default) or info")
      ->check(CLI::IsMember({"error", "warning", "info"}));
  cmd->add_option("--menu", menus, "also check this menu file (may be repeated)");
  cmd->add_flag("--83", use83, "use 8.3 file names");
  cmd->callback([] {
    check::CheckOptions opt;
    opt.use83names = use83;
    for (const auto& m : menus) opt.menuFiles.emplace_back(m);
    const auto report = check::checkDisc(dir, opt);
    if (!report.checked) {
      // A folder that cannot be checked is a failed check, not a usage error.
      fail(report.failure, 1);
      return;
    }
    const auto shown = check::atLeast(report.findings, *check::parseSeverity(severity));
    if (json) {
      auto arr = nlohmann::json::array();
      for (const auto& f : shown) {
        nlohmann::json j;
        j["severity"] = check::severityName(f.severity);
        j["code"] = f.code;
        putText(j, "file", f.file);
        j["location"] = f.location;
        if (f.offset) j["offset"] = *f.offset;
        putText(j, "message", f.message);
        arr.push_back(std::move(j));
      }
      std::cout << jsonText(arr) << '\n';
    } else {
      std::string file;
      for (const auto& f : shown) {
        if (f.file != file) {
          file = f.file;
          std::cout << file << '\n';
        }
        std::cout << "  " << check::severityName(f.severity) << "  " << f.code << "  " << f.location << ": "
                  << f.message << '\n';
      }
      std::cout << report.count(core::Severity::Error) << " error(s), " << report.count(core::Severity::Warning)
                << " warning(s), " << report.count(core::Severity::Info) << " note(s) in "
                << report.folder.string() << '\n';
    }
    exitStatus() = report.hasErrors() ? 1 : 0;
  });
});

}  // namespace
}  // namespace morvex::cli

// morvex-cli: the command-line face of the Morvex engine.
#include <algorithm>
#include <exception>
#include <iostream>

#include "cli/registry.h"
#include "core/save.h"

int main(int argc, char** argv) {
  // Work files of earlier runs that were killed before they could clean up.
  morvex::core::removeStaleTemporaries();
  CLI::App app{"Morvex command-line tool: inspect, check and rewrite Blu-ray navigation files"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "morvex-cli 0.1.0");

  auto& regs = morvex::cli::registrations();
  std::stable_sort(regs.begin(), regs.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& [order, fn] : regs) fn(app);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  } catch (const std::exception& e) {
    std::cerr << "morvex-cli: " << e.what() << '\n';
    return 1;
  }
  return morvex::cli::exitStatus();
}

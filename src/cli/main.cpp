// morvex-cli: the command-line face of the Morvex engine.
#include <algorithm>
#include <exception>
#include <functional>
#include <iostream>

#include "cli/registry.h"
#include "core/save.h"

int main(int argc, char** argv) {
  // Work files of earlier runs that were killed before they could clean up.
  morvex::core::removeStaleTemporaries();
  // Every file a command reads is noted, so that no output replaces one of them.
  morvex::core::trackInputs(true);
  CLI::App app{"Morvex command-line tool: inspect, check and rewrite Blu-ray navigation files"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "morvex-cli " MORVEX_VERSION);

  auto& regs = morvex::cli::registrations();
  std::stable_sort(regs.begin(), regs.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& [order, fn] : regs) fn(app);

  // Every command that reads an input accepts --force: write the output even from a
  // partial read.
  std::function<void(CLI::App*)> addForce = [&](CLI::App* a) {
    for (CLI::App* sub : a->get_subcommands([](CLI::App*) { return true; })) {
      if (sub->get_subcommands([](CLI::App*) { return true; }).empty())
        sub->add_flag("--force", morvex::cli::forced(),
                      "write the output even when an input was read only in part (the exit status stays 1)");
      else
        addForce(sub);
    }
  };
  addForce(&app);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // Help and version exit 0; every other parse failure is a usage error.
    return app.exit(e) == 0 ? 0 : 2;
  } catch (const std::exception& e) {
    std::cerr << "morvex-cli: " << e.what() << '\n';
    return 1;
  }
  return morvex::cli::exitStatus();
}

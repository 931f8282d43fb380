#include "cli/registry.h"

#include <algorithm>
#include <iostream>
#include <unistd.h>

namespace morvex::cli {

void ConsoleLog::appendLine(const core::FormattedLine& line) {
  if (quiet_) return;
  std::string text = line.text.empty() ? std::string() : line.text.substr(1);
  std::cout << text << '\n';
}

int& exitStatus() {
  static int status = 0;
  return status;
}

void fail(const std::string& message, int status) {
  std::cerr << "morvex-cli: " << message << '\n';
  exitStatus() = status;
}

std::vector<std::pair<int, Registration>>& registrations() {
  static std::vector<std::pair<int, Registration>> r;
  return r;
}

CommandRegistrar::CommandRegistrar(int order, Registration fn) { registrations().emplace_back(order, std::move(fn)); }

CLI::App* sharedSubcommand(CLI::App& app, const std::string& name, const std::string& description) {
  for (auto* sub : app.get_subcommands([&](CLI::App* s) { return s->get_name() == name; })) return sub;
  return app.add_subcommand(name, description);
}

}  // namespace morvex::cli

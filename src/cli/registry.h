#pragma once
// Subcommand registration for morvex-cli. Each area's <area>_commands.cpp defines a
// static CommandRegistrar whose function adds that area's subcommands to the app;
// main() runs every registrar, so no file grows into a switchboard.
#include <functional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "core/log.h"

namespace morvex::cli {

// Log that prints plain text to stdout (tags removed; red ERROR lines to stderr).
class ConsoleLog : public core::Log {
public:
  explicit ConsoleLog(bool quiet = false) : quiet_(quiet) {}

protected:
  void appendLine(const core::FormattedLine& line) override;

private:
  bool quiet_;
};

// Exit status a subcommand's handler leaves for main().
int& exitStatus();

// Convenience: print "morvex-cli: <msg>" on stderr and set a non-zero exit status.
void fail(const std::string& message, int status = 1);

using Registration = std::function<void(CLI::App&)>;

struct CommandRegistrar {
  CommandRegistrar(int order, Registration fn);
};

// All registrations, in their order key.
std::vector<std::pair<int, Registration>>& registrations();

// Finds or creates a subcommand shared by several areas (such as "dump"), so each
// area can add its own file kinds to it.
CLI::App* sharedSubcommand(CLI::App& app, const std::string& name, const std::string& description);

}  // namespace morvex::cli

#include <filesystem>
#include "core/binary.h"

namespace morvex::cli {

// A disc-file kind that "dump" and "resave" understand. Kinds are matched by their
// type indicator (the first four bytes) or, failing that, by file name.
struct FileKind {
  std::string name;  // for messages: "index", "MovieObject", "playlist", ...
  std::function<bool(const std::filesystem::path&, const core::Bytes&)> matches;
  // Prints the file; returns the exit status.
  std::function<int(const std::filesystem::path&, const core::Bytes&, bool json)> dump;
  // Reads with the reader and writes with the writer to `out`; returns the exit status.
  std::function<int(const std::filesystem::path& in, const core::Bytes&, const std::filesystem::path& out)> resave;
};

void registerFileKind(FileKind kind);
const std::vector<FileKind>& fileKinds();

// True when the image starts with the four characters `tag`.
bool hasTypeIndicator(const core::Bytes& b, const char* tag);

}  // namespace morvex::cli

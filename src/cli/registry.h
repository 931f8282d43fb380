#pragma once
// Subcommand registration for morvex-cli. Each area's <area>_commands.cpp defines a
// static CommandRegistrar whose function adds that area's subcommands to the app;
// main() runs every registrar, so no file grows into a switchboard.
#include <filesystem>
#include <functional>
#include <memory>
#include <streambuf>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "core/binary.h"
#include "core/log.h"
#include "core/read_result.h"

namespace morvex::cli {

// The command line's one log. Lines are printed as plain text (tags removed): error
// lines on stderr, the rest on stdout. With `ErrorsOnly` only the errors are printed
// (commands whose stdout is their output); with `Nothing` the log is silent.
class ConsoleLog : public core::Log {
public:
  enum class Show { Everything, ErrorsOnly, Nothing };
  explicit ConsoleLog(Show show = Show::Everything) : show_(show) {}

  // Long work (a demux): the status line ("Packet: ...") is shown on stderr while it
  // runs, when stderr is a terminal.
  bool progressOnTerminal = false;

protected:
  void appendLine(const core::FormattedLine& line) override;
  // A status-bar error that no error line carried ("File format error") is printed on
  // stderr as "ERROR: <text>".
  void showError(const std::string& text) override;
  void setStatus(core::StatusPanel panel, const std::string& text) override;

private:
  Show show_;
  std::string lastError_;
};

// While it lives, what is printed on standard output has its control characters (other
// than line feed and tab) shown as "\xHH": a text dump prints disc texts, and their
// bytes must not drive the terminal (ESC, BEL).
class EscapedOutput {
public:
  EscapedOutput();
  ~EscapedOutput();
  EscapedOutput(const EscapedOutput&) = delete;
  EscapedOutput& operator=(const EscapedOutput&) = delete;

private:
  std::streambuf* original_;
  std::unique_ptr<std::streambuf> filter_;
};

// True when the user gave --force: commands write their output even from a partial
// read (the exit status stays 1).
bool& forced();

// The verdict on one read of an input. A complete read goes on. A partial read prints
// its problems on stderr, sets exit status 1 and goes on only with --force. A refused
// read prints its reason, sets exit status 1 and stops.
bool acceptRead(const core::ReadResult& result);

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

// True when the image starts with the four characters `tag`.
bool hasTypeIndicator(const core::Bytes& b, const char* tag);

}  // namespace morvex::cli

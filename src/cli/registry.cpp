#include "cli/registry.h"

#include <algorithm>
#include <iostream>
#include <unistd.h>

namespace morvex::cli {

void ConsoleLog::appendLine(const core::FormattedLine& line) {
  if (show_ == Show::Nothing) return;
  std::string text = line.text.empty() ? std::string() : line.text.substr(1);
  if (line.severity == core::Severity::Error) {
    std::cout << std::flush;
    std::cerr << text << '\n';
    // An error prints its line and then shows the same text as the status error.
    lastError_ = core::stripTags(text.rfind("ERROR: ", 0) == 0 ? text.substr(7) : text);
    return;
  }
  if (show_ == Show::Everything) std::cout << text << '\n';
}

void ConsoleLog::showError(const std::string& text) {
  if (show_ == Show::Nothing) return;
  if (text == lastError_) return;
  lastError_ = text;
  std::cout << std::flush;
  std::cerr << "ERROR: " << text << '\n';
}

void ConsoleLog::setStatus(core::StatusPanel panel, const std::string& text) {
  if (progressOnTerminal && panel == core::StatusPanel::Main && !text.empty() && isatty(2)) std::cerr << '\r' << text << std::flush;
}

namespace {

class ControlEscapeBuf : public std::streambuf {
public:
  explicit ControlEscapeBuf(std::streambuf* to) : to_(to) {}

protected:
  int overflow(int c) override {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    const auto b = static_cast<unsigned char>(c);
    if ((b < 0x20 && b != '\n' && b != '\t') || b == 0x7F) {
      static const char digits[] = "0123456789ABCDEF";
      const char text[4] = {'\\', 'x', digits[b >> 4], digits[b & 15]};
      return to_->sputn(text, 4) == 4 ? c : traits_type::eof();
    }
    return to_->sputc(char(b)) == traits_type::eof() ? traits_type::eof() : c;
  }
  int sync() override { return to_->pubsync(); }

private:
  std::streambuf* to_;
};

}  // namespace

EscapedOutput::EscapedOutput() : original_(std::cout.rdbuf()), filter_(std::make_unique<ControlEscapeBuf>(original_)) {
  std::cout.rdbuf(filter_.get());
}

EscapedOutput::~EscapedOutput() {
  std::cout.flush();
  std::cout.rdbuf(original_);
}

bool& forced() {
  static bool force = false;
  return force;
}

bool acceptRead(const core::ReadResult& result) {
  if (result.complete()) return true;
  for (const auto& p : result.problems) std::cerr << "morvex-cli: " << p.message << '\n';
  exitStatus() = 1;
  if (result.refused()) return false;
  if (forced()) {
    std::cerr << "morvex-cli: going on with what was read (--force)\n";
    return true;
  }
  std::cerr << "morvex-cli: nothing written (the read was partial; --force writes what was read)\n";
  return false;
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

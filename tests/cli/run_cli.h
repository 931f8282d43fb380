#pragma once
// Runs the real morvex-cli executable for the command-line tests and collects its exit
// status and output. Arguments are passed to the shell as written, so callers quote
// paths with shellQuote().
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>

#include "support/test_support.h"

namespace morvex::test {

struct CliResult {
  int status = -1;  // exit status, -1 when the program did not exit normally
  std::string out;  // stdout (with stderr when merged)
  std::string err;  // stderr when kept apart
};

enum class CliStderr { Merge, Drop, Separate };

inline std::string shellQuote(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

inline CliResult runCli(const std::string& args, CliStderr mode = CliStderr::Merge,
                        const std::filesystem::path& cwd = {}) {
  CliResult r;
  std::string cmd = std::string("'") + MORVEX_CLI_PATH + "' " + args;
  if (!cwd.empty()) cmd = "cd " + shellQuote(cwd) + " && " + cmd;
  if (mode == CliStderr::Separate) {
    TempDir t;
    cmd += " >" + shellQuote(t / "out") + " 2>" + shellQuote(t / "err");
    const int rc = std::system(cmd.c_str());
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    auto o = readFile(t / "out"), e = readFile(t / "err");
    r.out.assign(o.begin(), o.end());
    r.err.assign(e.begin(), e.end());
    return r;
  }
  cmd += mode == CliStderr::Merge ? " 2>&1" : " 2>/dev/null";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
  const int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

}  // namespace morvex::test

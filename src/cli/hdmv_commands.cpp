// "disasm", "run" and "regs": the navigation commands of a movie-object file as text,
// run in the interpreter, and the player registers after a reset.
#include <algorithm>
#include <cctype>
#include <iostream>
#include <map>

#include <nlohmann/json.hpp>

#include "cli/output_guard.h"
#include "cli/json_text.h"
#include "cli/registry.h"
#include "core/text.h"
#include "core/save.h"
#include "hdmv/command_edit.h"
#include "hdmv/command_text.h"
#include "hdmv/interpreter.h"
#include "hdmv/registers.h"
#include "nav/movie_object.h"

namespace fs = std::filesystem;

namespace morvex::cli {

namespace {

bool loadMovieObjects(const std::string& file, nav::MovieObjectFile& mobj) {
  core::Bytes bytes;
  std::string err;
  if (!core::readWholeFile(file, bytes, err)) {
    fail(core::displayPath(file) + ": " + err);
    return false;
  }
  // Errors of its contents go to stderr; the result decides.
  ConsoleLog log(ConsoleLog::Show::ErrorsOnly);
  return acceptRead(nav::readMovieObjectFile(bytes, fs::path(file).filename().string(), mobj, log));
}

bool checkObject(const nav::MovieObjectFile& mobj, int object) {
  const auto count = mobj.movieObjects.objects.size();
  if (object < 0 || static_cast<size_t>(object) >= count) {
    fail("object " + std::to_string(object) + " not found (the file has " + std::to_string(count) + " objects)");
    return false;
  }
  return true;
}

// The list's lines end in CR LF in a file; on the terminal they end in LF.
std::string unixLines(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

// Options shared by "run" and "regs".
struct RegOptionArgs {
  bool realPsrs = false;
  std::string region = "A";
  std::string country;
};

void addRegOptions(CLI::App* cmd, RegOptionArgs& a) {
  cmd->add_flag("--real-psrs", a.realPsrs, "Init PSRs with 'real' values");
  cmd->add_option("--region", a.region, "region code A, B or C")->check(CLI::IsMember({"A", "B", "C"}));
  cmd->add_option("--country", a.country, "country code, two letters (AA..ZZ)");
}

bool regOptions(const RegOptionArgs& a, hdmv::RegisterOptions& o) {
  o.realPsrs = a.realPsrs;
  o.region = a.region.empty() ? 0 : a.region[0] - 'A';
  if (!a.country.empty()) {
    if (a.country.size() != 2 || !std::isalpha(static_cast<unsigned char>(a.country[0])) ||
        !std::isalpha(static_cast<unsigned char>(a.country[1]))) {
      fail("--country takes two letters, such as US", 2);
      return false;
    }
    const uint32_t hi = static_cast<uint32_t>(std::toupper(static_cast<unsigned char>(a.country[0])));
    const uint32_t lo = static_cast<uint32_t>(std::toupper(static_cast<unsigned char>(a.country[1])));
    o.countryCode = hdmv::clampCountryCode((hi << 8) | lo);
  }
  return true;
}

// "GPR7=5", "PSR10=0x1F": a register and a value (decimal or 0x hexadecimal).
bool parseAssignment(const std::string& text, hdmv::Registers& regs) {
  const auto eq = text.find('=');
  std::string name = eq == std::string::npos ? text : text.substr(0, eq);
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
  const bool psr = name.rfind("PSR", 0) == 0;
  const bool gpr = name.rfind("GPR", 0) == 0;
  std::optional<int> number;
  if (psr || gpr) number = hdmv::panelRegisterNumber(psr ? hdmv::RegFile::Psr : hdmv::RegFile::Gpr, name.substr(3));
  uint64_t value = 0;
  bool ok = eq != std::string::npos && number.has_value();
  if (ok) {
    auto parsed = core::parseNumber(text.substr(eq + 1), 0xFFFFFFFFull);
    ok = parsed.has_value();
    if (ok) value = *parsed;
  }
  if (!ok) {
    fail("--set " + text + ": expected GPRn=value (n 0-4095) or PSRn=value (n 0-127)", 2);
    return false;
  }
  (psr ? regs.psr[*number] : regs.gpr[*number]) = static_cast<uint32_t>(value);
  return true;
}

std::string registerLine(const char* file, int n, uint32_t v) {
  return std::string(file) + std::to_string(n) + ": " + hdmv::panelValueText(v) + " (" + std::to_string(v) + ")";
}

struct DisasmArgs {
  std::string file;
  int object = -1;
  std::string format = "lst";
  std::string output;
  bool json = false;
};

// One movie object as JSON: its flags and its commands, each with the three words
// and the command's text.
nlohmann::json objectJson(const nav::MovieObject& o, size_t number) {
  nlohmann::json j;
  j["object"] = number;
  j["resume"] = nav::resumeText(o.resumeIntentionFlag);
  j["menuCall"] = nav::maskText(o.menuCallMask);
  j["titleSearch"] = nav::maskText(o.titleSearchMask);
  auto cmds = nlohmann::json::array();
  for (size_t i = 0; i < o.commands.size(); ++i) {
    const auto& c = o.commands[i];
    const auto row = hdmv::comm2str(c, static_cast<int>(i), hdmv::CmdContext::MovieObject);
    nlohmann::json k;
    k["line"] = i;
    k["opcode"] = hdmv::hexWord(c.opcode);
    k["dst"] = hdmv::hexWord(c.dst);
    k["src"] = hdmv::hexWord(c.src);
    k["valid"] = hdmv::isValid(c.opcode);
    k["text"] = row.cells[4];
    cmds.push_back(std::move(k));
  }
  j["commands"] = std::move(cmds);
  return j;
}

void writeText(const std::string& text, const std::string& output, const std::string& input) {
  if (!output.empty()) {
    if (outputIsAnInput(output, {input})) return;
    std::string err;
    if (!writeCommandOutput(output, core::Bytes(text.begin(), text.end()), err))
      fail(core::displayPath(output) + ": " + err);
    return;
  }
  std::cout << text;
}

void disasm(const DisasmArgs& a) {
  nav::MovieObjectFile mobj;
  if (!loadMovieObjects(a.file, mobj)) return;
  const auto& objects = mobj.movieObjects.objects;
  if (a.json) {
    if (a.format == "bin") {
      fail("--json and --format bin exclude each other", 2);
      return;
    }
    if (a.object >= 0 && !checkObject(mobj, a.object)) return;
    auto arr = nlohmann::json::array();
    for (size_t i = 0; i < objects.size(); ++i)
      if (a.object < 0 || static_cast<size_t>(a.object) == i) arr.push_back(objectJson(objects[i], i));
    writeText(jsonText(arr) + "\n", a.output, a.file);
    return;
  }
  if (a.object >= 0 || a.format == "bin") {
    if (a.object < 0) {
      fail("--format bin writes the program of one object: add --object N", 2);
      return;
    }
    if (!checkObject(mobj, a.object)) return;
    const auto& program = objects[static_cast<size_t>(a.object)].commands;
    core::Bytes bytes;
    if (a.format == "bin") {
      bytes = hdmv::programBinary(program);
    } else {
      const std::string text = hdmv::programList(program);
      bytes.assign(text.begin(), text.end());
    }
    if (!a.output.empty()) {
      if (outputIsAnInput(a.output, {a.file})) return;
      std::string err;
      if (!writeCommandOutput(a.output, bytes, err)) fail(core::displayPath(a.output) + ": " + err);
      return;
    }
    if (a.format == "bin") std::cout.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    else std::cout << unixLines(std::string(bytes.begin(), bytes.end()));
    return;
  }
  // Every object: a line naming the object and its flags, then its command rows.
  std::string text;
  for (size_t i = 0; i < objects.size(); ++i) {
    const auto& o = objects[i];
    char head[160];
    std::snprintf(head, sizeof head, "; MovieObject %03zu: resume %s, menu call %s, title search %s, %zu commands\r\n", i,
                  nav::resumeText(o.resumeIntentionFlag).c_str(), nav::maskText(o.menuCallMask).c_str(),
                  nav::maskText(o.titleSearchMask).c_str(), o.commands.size());
    text += head;
    for (size_t j = 0; j < o.commands.size(); ++j) {
      const auto row = hdmv::comm2str(o.commands[j], static_cast<int>(j), hdmv::CmdContext::MovieObject);
      text += row.cells[0] + "  [" + row.cells[1] + "," + row.cells[2] + "," + row.cells[3] + "]  " + row.cells[4] +
              "\r\n";
    }
  }
  if (!a.output.empty()) {
    if (outputIsAnInput(a.output, {a.file})) return;
    std::string err;
    if (!writeCommandOutput(a.output, core::Bytes(text.begin(), text.end()), err))
      fail(core::displayPath(a.output) + ": " + err);
    return;
  }
  std::cout << unixLines(text);
}

struct RunArgs {
  std::string file;
  int object = 0;
  bool trace = false;
  uint64_t maxSteps = 1000000;
  RegOptionArgs regs;
  std::vector<std::string> sets;
  bool json = false;
};

void runObject(const RunArgs& a) {
  nav::MovieObjectFile mobj;
  if (!loadMovieObjects(a.file, mobj)) return;
  if (!checkObject(mobj, a.object)) return;
  hdmv::RegisterOptions options;
  if (!regOptions(a.regs, options)) return;
  hdmv::Registers regs;
  hdmv::resetRegisters(regs, options);
  for (const auto& s : a.sets)
    if (!parseAssignment(s, regs)) return;
  const hdmv::Registers before = regs;

  // With --json the events of the run are collected in order (traced lines and the
  // interpreter's reports) and printed with the registers the run changed.
  auto events = nlohmann::json::array();
  const auto& program = mobj.movieObjects.objects[static_cast<size_t>(a.object)].commands;
  hdmv::Interpreter it(regs);
  it.curLine = 0;
  it.executeCommand(program);
  uint64_t steps = 0;
  while (it.inProgress() && steps < a.maxSteps) {
    if (a.trace && it.curLine >= 0 && static_cast<size_t>(it.curLine) < it.program().size()) {
      const std::string t =
          hdmv::traceText(it.program()[static_cast<size_t>(it.curLine)], it.curLine, hdmv::CmdContext::MovieObject);
      if (a.json) events.push_back({{"kind", "trace"}, {"line", it.curLine}, {"text", t}});
      else std::cout << t << '\n';
    }
    it.run(1);
    ++steps;
    for (const auto& e : it.takeEvents())
      if (e.kind == hdmv::RunEventKind::Report) {
        if (a.json) events.push_back({{"kind", "report"}, {"text", e.text}});
        else std::cout << e.text << '\n';
      }
  }
  const bool stopped = it.inProgress();
  const int32_t stopLine = it.curLine;
  if (stopped) {
    if (!a.json)
      std::cout << "Stopped after " << steps << " steps at line " << it.curLine << " (the program was still running)\n";
    it.cancel();
    it.takeEvents();
  }
  auto changed = nlohmann::json::array();
  std::vector<std::string> lines;
  for (int n = 0; n < hdmv::kPsrCount; ++n)
    if (regs.psr[n] != before.psr[n]) {
      changed.push_back({{"register", "PSR" + std::to_string(n)}, {"before", before.psr[n]}, {"after", regs.psr[n]}});
      lines.push_back(registerLine("PSR", n, regs.psr[n]));
    }
  for (int n = 0; n < hdmv::kGprCount; ++n)
    if (regs.gpr[n] != before.gpr[n]) {
      changed.push_back({{"register", "GPR" + std::to_string(n)}, {"before", before.gpr[n]}, {"after", regs.gpr[n]}});
      lines.push_back(registerLine("GPR", n, regs.gpr[n]));
    }
  if (a.json) {
    nlohmann::json j;
    j["object"] = a.object;
    j["steps"] = steps;
    j["stopped"] = stopped;
    if (stopped) j["stoppedAtLine"] = stopLine;
    j["events"] = std::move(events);
    j["changed"] = std::move(changed);
    std::cout << jsonText(j) << '\n';
    return;
  }
  if (lines.empty()) {
    std::cout << "No register changed.\n";
    return;
  }
  std::cout << "Changed registers:\n";
  for (const auto& l : lines) std::cout << "  " << l << '\n';
}

CommandRegistrar reg(30, [](CLI::App& app) {
  static DisasmArgs d;
  auto* dis = app.add_subcommand("disasm", "Show the navigation commands of a MovieObject.bdmv file");
  dis->add_option("MOBJ", d.file, "MovieObject.bdmv file")->required();
  dis->add_option("--object", d.object, "only this movie object (number from 0)");
  dis->add_option("--format", d.format, "lst (program list) or bin (12 bytes per command)")
      ->check(CLI::IsMember({"lst", "bin"}));
  dis->add_option("-o,--output", d.output, "write to this file instead of the terminal");
  dis->add_flag("--json", d.json, "print the objects and their commands as JSON");
  dis->callback([] { disasm(d); });

  static RunArgs r;
  auto* run = app.add_subcommand("run", "Run a movie object's commands in the interpreter");
  run->add_option("MOBJ", r.file, "MovieObject.bdmv file")->required();
  run->add_option("--object", r.object, "movie object number (from 0)")->required();
  run->add_flag("--trace", r.trace, "print each line before it runs");
  run->add_flag("--json", r.json, "print the run's events in order and the changed registers as JSON");
  run->add_option("--max-steps", r.maxSteps, "stop after this many commands (default 1000000)");
  addRegOptions(run, r.regs);
  run->add_option("--set", r.sets, "set a register before the run: GPR7=5, PSR10=0x1F")->take_all();
  run->callback([] { runObject(r); });

  static RegOptionArgs g;
  auto* regsCmd = app.add_subcommand("regs", "Print the player status registers after a reset");
  addRegOptions(regsCmd, g);
  regsCmd->callback([] {
    hdmv::RegisterOptions options;
    if (!regOptions(g, options)) return;
    hdmv::Registers regs;
    hdmv::resetRegisters(regs, options);
    ConsoleLog log;
    hdmv::logPsrs(regs, log);
  });
});

}  // namespace

}  // namespace morvex::cli

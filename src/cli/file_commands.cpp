// "dump" and "resave": dispatch a disc file to the reader and writer of its kind.
#include <algorithm>
#include <iostream>
#include <optional>

#include "cli/output_guard.h"
#include "cli/registry.h"
#include "core/save.h"

namespace fs = std::filesystem;

namespace morvex::cli {

static std::vector<FileKind>& kinds() {
  static std::vector<FileKind> k;
  return k;
}

void registerFileKind(FileKind kind) { kinds().push_back(std::move(kind)); }

bool hasTypeIndicator(const core::Bytes& b, const char* tag) {
  return b.size() >= 4 && b[0] == uint8_t(tag[0]) && b[1] == uint8_t(tag[1]) && b[2] == uint8_t(tag[2]) &&
         b[3] == uint8_t(tag[3]);
}

static const FileKind* findKind(const fs::path& p, const core::Bytes& bytes) {
  for (const auto& k : kinds())
    if (k.matches && k.matches(p, bytes)) return &k;
  return nullptr;
}

static bool loadInput(const fs::path& p, core::Bytes& bytes) {
  std::string err;
  if (!core::readWholeFile(p, bytes, err)) {
    fail(core::displayPath(p) + ": " + err);
    return false;
  }
  return true;
}

static CommandRegistrar reg(0, [](CLI::App& app) {
  auto* dump = app.add_subcommand("dump", "Print every field of a disc file (text or --json)");
  static std::string dumpFile;
  static bool json = false;
  dump->add_option("FILE", dumpFile, "file to dump")->required();
  dump->add_flag("--json", json, "machine-readable JSON output");
  dump->callback([] {
    core::Bytes bytes;
    if (!loadInput(dumpFile, bytes)) return;
    const FileKind* k = findKind(dumpFile, bytes);
    if (!k || !k->dump) {
      fail(core::displayPath(dumpFile) + ": unknown file kind");
      return;
    }
    std::optional<EscapedOutput> escaped;
    if (!json) escaped.emplace();  // disc texts never reach the terminal raw
    exitStatus() = std::max(exitStatus(), k->dump(dumpFile, bytes, json));
  });

  auto* resave = app.add_subcommand("resave", "Read a disc file and write it back unchanged to OUT");
  static std::string inFile, outFile;
  resave->add_option("FILE", inFile, "file to read")->required();
  resave->add_option("-o,--output", outFile, "file to write")->required();
  resave->callback([] {
    core::Bytes bytes;
    if (!loadInput(inFile, bytes)) return;
    const FileKind* k = findKind(inFile, bytes);
    if (!k || !k->resave) {
      fail(core::displayPath(inFile) + ": unknown file kind");
      return;
    }
    allowInPlace(inFile);
    exitStatus() = std::max(exitStatus(), k->resave(inFile, bytes, outFile));
  });
});

}  // namespace morvex::cli

#include "cli/output_guard.h"

#include <vector>

#include "cli/registry.h"
#include "core/save.h"

namespace morvex::cli {

namespace {
std::vector<std::filesystem::path>& inPlaceInputs() {
  static std::vector<std::filesystem::path> inputs;
  return inputs;
}
}  // namespace

bool outputIsAnInput(const std::filesystem::path& output, std::initializer_list<std::filesystem::path> inputs) {
  for (const auto& in : inputs)
    if (core::sameFile(output, in)) {
      fail(core::displayPath(output) + ": the output file is " + core::displayPath(in) + ", which is being read");
      return true;
    }
  return false;
}

void allowInPlace(const std::filesystem::path& input) {
  core::allowRewrite(input);
  inPlaceInputs().push_back(input);
}

bool writeCommandOutput(const std::filesystem::path& output, const core::Bytes& bytes, std::string& error) {
  for (const auto& in : inPlaceInputs()) {
    if (!core::sameFile(output, in)) continue;
    // An in-place edit: the saving policy keeps the original first.
    core::SaveSettings settings;
    settings.backup = true;
    settings.backupMode = core::BackupMode::OnlyFirst;
    core::SaveRequest req;
    req.folder = output.parent_path();
    req.fileName = output.filename().string();
    ConsoleLog quiet(ConsoleLog::Show::Nothing);
    const core::WriteResult r = core::saveFile(quiet, settings, req, bytes);
    if (!r) error = r.error.rfind(core::displayPath(output) + ": ", 0) == 0
                        ? r.error.substr(core::displayPath(output).size() + 2)
                        : r.error;
    return bool(r);
  }
  return core::writeFileAtomic(output, bytes, error);
}

}  // namespace morvex::cli

#include "cli/output_guard.h"

#include "cli/registry.h"
#include "core/save.h"

namespace morvex::cli {

bool outputIsAnInput(const std::filesystem::path& output, std::initializer_list<std::filesystem::path> inputs) {
  for (const auto& in : inputs)
    if (core::sameFile(output, in)) {
      fail(core::displayPath(output) + ": the output file is " + core::displayPath(in) + ", which is being read");
      return true;
    }
  return false;
}

}  // namespace morvex::cli

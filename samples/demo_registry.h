#pragma once
// The demo disc is assembled by steps, one file per area (demo_<area>.cpp), each
// writing its part of the folder with Morvex's own writers. Steps run in order of
// their key; the generator is deterministic: the same build writes the same bytes.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/log.h"

namespace morvex::demo {

struct DemoContext {
  std::filesystem::path bdmv;  // the BDMV folder being written
  core::Log& log;
};

using DemoStepFn = std::function<bool(DemoContext&)>;  // false = failed

struct DemoStep {
  DemoStep(int order, std::string name, DemoStepFn fn);
};

struct RegisteredStep {
  int order;
  std::string name;
  DemoStepFn fn;
};
std::vector<RegisteredStep>& demoSteps();

}  // namespace morvex::demo

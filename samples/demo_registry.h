#pragma once
// The demo disc is assembled by steps, one file per area (demo_<area>.cpp), each
// writing its part of the folder with Morvex's own writers. Steps run in order of
// their key; the generator is deterministic: the same build writes the same bytes.
#include <filesystem>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/log.h"
#include "igs/model.h"

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

// The demo's IG menu as its display set, one segment (type, length, body) per entry:
// the menu stream carries it alone and the feature stream along with its video.
// Empty when an authoring step was refused (logged).
std::vector<std::vector<uint8_t>> demoMenuSegments(core::Log& log);

// The demo's IG menu as authored; false when an authoring step was refused (logged).
bool demoMenu(core::Log& log, igs::Menu& menu);

}  // namespace morvex::demo

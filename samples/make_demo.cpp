// morvex-make-demo [BDMV-FOLDER]: writes the demo disc (default samples/demo/BDMV).
#include <algorithm>
#include <iostream>

#include "demo_registry.h"

namespace morvex::demo {

std::vector<RegisteredStep>& demoSteps() {
  static std::vector<RegisteredStep> steps;
  return steps;
}

DemoStep::DemoStep(int order, std::string name, DemoStepFn fn) {
  demoSteps().push_back({order, std::move(name), std::move(fn)});
}

namespace {
class QuietLog : public core::Log {
protected:
  void appendLine(const core::FormattedLine& line) override {
    if (line.text.find("ERROR") != std::string::npos) std::cerr << line.text << '\n';
  }
};
}  // namespace

}  // namespace morvex::demo

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  fs::path out = argc > 1 ? fs::path(argv[1]) : fs::path("samples/demo/BDMV");
  std::error_code ec;
  fs::remove_all(out, ec);
  fs::create_directories(out, ec);
  if (ec) {
    std::cerr << "morvex-make-demo: cannot create " << out.generic_string() << ": " << ec.message() << '\n';
    return 1;
  }
  morvex::demo::QuietLog log;
  morvex::demo::DemoContext ctx{out, log};
  auto& steps = morvex::demo::demoSteps();
  std::stable_sort(steps.begin(), steps.end(), [](const auto& a, const auto& b) { return a.order < b.order; });
  for (auto& s : steps) {
    if (!s.fn(ctx)) {
      std::cerr << "morvex-make-demo: step \"" << s.name << "\" failed\n";
      return 1;
    }
  }
  std::cout << "Demo disc written to " << out.generic_string() << '\n';
  return 0;
}

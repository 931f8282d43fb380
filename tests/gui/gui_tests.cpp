#include "gui_tests.h"

namespace morvex::guitest {
std::vector<TestFactory>& testClasses() {
  static std::vector<TestFactory> classes;
  return classes;
}
}  // namespace morvex::guitest

#pragma once
// Every test class registers a factory here; main runs them in order.
#include <QObject>
#include <functional>
#include <memory>
#include <vector>

namespace morvex::guitest {

using TestFactory = std::function<std::unique_ptr<QObject>()>;
std::vector<TestFactory>& testClasses();

template <class T>
struct RegisterTest {
  RegisterTest() {
    testClasses().push_back([] { return std::unique_ptr<QObject>(new T()); });
  }
};

}  // namespace morvex::guitest

#define MORVEX_GUI_TEST(Class) static ::morvex::guitest::RegisterTest<Class> registered_##Class;

// morvex-cli reports the version the project declares in its CMakeLists.txt.
#include <gtest/gtest.h>

#include <regex>

#include "cli/run_cli.h"

using namespace morvex::test;

TEST(VersionCli, IsTheProjectVersion) {
  const auto bytes = readFile(std::filesystem::path(MORVEX_SOURCE_DIR) / "CMakeLists.txt");
  const std::string cmake(bytes.begin(), bytes.end());
  std::smatch m;
  ASSERT_TRUE(std::regex_search(cmake, m, std::regex(R"(project\(Morvex VERSION ([0-9]+\.[0-9]+\.[0-9]+))")));
  const CliResult r = runCli("--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "morvex-cli " + m[1].str() + "\n");
}

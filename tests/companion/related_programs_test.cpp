// Installing the checked related programs.
#include "companion/related_programs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "companion/launcher.h"
#include "platform/registry_store.h"
#include "tests/support/test_support.h"

namespace {

struct InstallCase {
  std::vector<bool> checked;
  std::vector<int> results;  // what each install attempt returns, in order
  std::vector<std::string> tried;
  int failedRow;
};
class RelatedInstall : public ::testing::TestWithParam<InstallCase> {};

// Rows go in table order, unchecked rows are skipped, and the first failure
// (or cancel) ends the run.
TEST_P(RelatedInstall, StopsAtTheFirstRowThatDoesNotInstall) {
  const InstallCase& c = GetParam();
  std::vector<std::string> tried;
  int failed = InstallRelatedPrograms(c.checked, [&](const LRelatedProgram& row) {
    tried.push_back(row.productKey);
    return c.results.at(tried.size() - 1);
  });
  EXPECT_EQ(tried, c.tried);
  EXPECT_EQ(failed, c.failedRow);
}
INSTANTIATE_TEST_SUITE_P(
    Cases, RelatedInstall,
    ::testing::Values(
        InstallCase{{true, false, true, false, true}, {0, 0, 0}, {"Soundsmith", "Scribewise", "Pagecast"}, -1},
        InstallCase{{false, true, true, true, false}, {0, 2}, {"Wordwell", "Scribewise"}, 2},
        InstallCase{{true, true, false, false, false}, {1}, {"Soundsmith"}, 0},
        InstallCase{{false, false, false, false, false}, {}, {}, -1}));

TEST(RelatedMissing, AnEmptyTemplateCountsAsMissing) {
  const std::string key = "Software\\Kestrelon\\Wordwell\\Settings";
  EXPECT_TRUE(CompanionMissing("Wordwell", "Run"));
  RegistrySetValue(RegistryScope::Machine, key, "Run", "");
  EXPECT_TRUE(CompanionMissing("Wordwell", "Run"));
  RegistrySetValue(RegistryScope::Machine, key, "Run", "wordwell %s");
  EXPECT_FALSE(CompanionMissing("Wordwell", "Run"));
  RegistryDeleteKey(RegistryScope::Machine, key);
}

// A related program installed as a package (its program on PATH, no settings) is not offered.
TEST(RelatedMissing, AProgramOnThePathCountsAsInstalled) {
  testsupport::TempFolder bin;
  for (const LRelatedProgram& row : RelatedPrograms()) {
    testsupport::WriteFileText(bin.File(row.program), "#!/bin/sh\n");
    chmod(bin.File(row.program).c_str(), 0755);
  }
  const char* path = getenv("PATH");
  testsupport::ScopedEnv onPath("PATH", (bin.Path() + ":" + (path ? path : "")).c_str());
  EXPECT_FALSE(AnyRelatedProgramMissing());
  unlink(bin.File("pagecast").c_str());
  EXPECT_TRUE(AnyRelatedProgramMissing());
}

}  // namespace

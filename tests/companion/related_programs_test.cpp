// Installing the checked related programs.
#include "companion/related_programs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "companion/launcher.h"
#include "platform/registry_store.h"
#include "tests/support/test_support.h"

namespace {

// Rows go in table order, unchecked rows are skipped, and the first failure
// (or cancel) ends the run.
TEST(RelatedPrograms, InstallStopsAtTheFirstFailureAndOnlyMissingOnesAreOffered) {
  struct {
    std::vector<bool> checked;
    std::vector<int> results;  // what each install attempt returns, in order
    std::vector<std::string> tried;
    int failedRow;
  } cases[] = {{{true, false, true, false, true}, {0, 0, 0}, {"Soundsmith", "Scribewise", "Pagecast"}, -1},
               {{false, true, true, true, false}, {0, 2}, {"Wordwell", "Scribewise"}, 2},
               {{true, true, false, false, false}, {1}, {"Soundsmith"}, 0},
               {{false, false, false, false, false}, {}, {}, -1}};
  for (const auto& c : cases) {
    std::vector<std::string> tried;
    int failed = InstallRelatedPrograms(c.checked, [&](const LRelatedProgram& row) {
      tried.push_back(row.productKey);
      return c.results.at(tried.size() - 1);
    });
    EXPECT_EQ(tried, c.tried);
    EXPECT_EQ(failed, c.failedRow) << testing::PrintToString(c.tried);
  }
  // An empty template counts as missing; a related program installed as a
  // package (its program on PATH, no settings) is not offered.
  const std::string key = "Software\\Kestrelon\\Wordwell\\Settings";
  RegistrySetValue(RegistryScope::Machine, key, "Run", "");
  EXPECT_TRUE(CompanionMissing("Wordwell", "Run"));
  RegistryDeleteKey(RegistryScope::Machine, key);
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

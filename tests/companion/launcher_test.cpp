// Starting a companion program with a file, waiting for it, and what happens
// when it is missing.
#include "companion/launcher.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>

#include "framework/widgets/message_box.h"
#include "framework/widgets/win_defs.h"
#include "platform/program_start.h"
#include "platform/registry_store.h"
#include "tests/support/test_support.h"

namespace {

const char* const kKey = "Software\\Kestrelon\\Soundsmith\\Settings";

struct FakeProgress : LCopyProgress {
  void SetText(const std::string&, int) override {}
  void SetProgress(double) override {}
  bool Cancelled() override { return ++polls > cancelAfter; }
  int polls = 0;
  int cancelAfter = 1 << 30;
};

struct Launcher : ::testing::Test {
  void SetUp() override {
    testsupport::WriteFileText(
        stub_, "#!/bin/sh\nsleep \"${STUB_SLEEP:-0}\"\nprintf '%s\\n' \"$@\" > \"" + folder_.File("args") + "\"\n");
    chmod(stub_.c_str(), 0755);
    request_.argument = folder_.File("it's \"a\" b;$(x).wav");
    request_.productKey = "Soundsmith";
    request_.valueName = "RunEdit";
    request_.setupName = "soundsmith-setup";
    request_.displayName = "Soundsmith";
    request_.wait = true;
    LSetMessageBoxHook([this](const LMessageBoxCall& call) {
      asked_.push_back(call.caption);
      return IDNO;
    });
    CompanionSetInstaller([this](LCopyProgress&, const std::string& setup) {
      installs_.push_back(setup);
      RegistrySetValue(RegistryScope::Machine, kKey, "RunEdit", "'" + stub_ + "' %s");
      return kCompanionDone;
    });
  }
  void TearDown() override {
    LSetMessageBoxHook(nullptr);
    CompanionSetInstaller(nullptr);
    RegistryDeleteKey(RegistryScope::Machine, kKey);
  }
  testsupport::TempFolder folder_;
  std::string stub_ = folder_.File("stub editor");
  LLaunchRequest request_;
  std::vector<std::string> asked_, installs_;
};

// Waited: the editor has written its arguments before the launcher returns;
// Cancel ends the wait at once. An empty template offers the download and
// installs nothing; a missing one installs and starts what the setup registered.
TEST_F(Launcher, TheFileReachesTheEditorAsOneArgumentTheLauncherWaitsAndAMissingEditorIsInstalled) {
  RegistrySetValue(RegistryScope::Machine, kKey, "RunEdit", "'" + stub_ + "' --edit %s");
  FakeProgress progress;
  testsupport::ScopedEnv slow("STUB_SLEEP", "0.3");
  EXPECT_EQ(ProcessLLaunchApplication(progress, request_), kCompanionDone);
  EXPECT_EQ(testsupport::CommandOutput("cat '" + folder_.File("args") + "'"), "--edit\n" + request_.argument + "\n");
  {
    testsupport::ScopedEnv slower("STUB_SLEEP", "20");
    progress.cancelAfter = progress.polls + 2;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ProcessLLaunchApplication(progress, request_), kCompanionDone);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  }
  progress.cancelAfter = 1 << 30;
  RegistrySetValue(RegistryScope::Machine, kKey, "RunEdit", "");
  EXPECT_EQ(ProcessLLaunchApplication(progress, request_), kCompanionFailed);
  EXPECT_EQ(asked_, std::vector<std::string>{"Download Required"});
  EXPECT_TRUE(installs_.empty());
  RegistryDeleteKey(RegistryScope::Machine, kKey);
  asked_.clear();
  EXPECT_EQ(ProcessLLaunchApplication(progress, request_), kCompanionDone);
  EXPECT_EQ(installs_, std::vector<std::string>{"soundsmith-setup"});
  EXPECT_EQ(testsupport::CommandOutput("cat '" + folder_.File("args") + "'"), request_.argument + "\n");
  EXPECT_TRUE(asked_.empty());
  // Quotes and blanks in the template group words; a missing program does not start.
  EXPECT_EQ(LCommandFromTemplate("\"/opt/my editor/run\" -a 'x y' --file=%s", "f g"),
            (std::vector<std::string>{"/opt/my editor/run", "-a", "x y", "--file=f g"}));
  EXPECT_EQ(LCommandFromTemplate("edit", "a;b"), (std::vector<std::string>{"edit", "a;b"}));
  EXPECT_TRUE(LCommandFromTemplate("   ", "x").empty());
  LChildProcess process;
  EXPECT_FALSE(process.Start({"/nonexistent/program", "x"}));
}

}  // namespace

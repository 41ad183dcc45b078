#include "platform/registry_store.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/child_process.h"
#include "tests/support/test_support.h"

using testsupport::ScopedEnv;
using testsupport::TempFolder;

namespace {

const std::string kSettings = "Software\\Kestrelon\\Orativo\\Settings";

// Every test gets stores of its own.
class RegistryStore : public ::testing::Test {
 protected:
  TempFolder home_;
  ScopedEnv env_{"ORATIVO_HOME", home_.Path().c_str()};

  std::string Get(RegistryScope scope, const std::string& subKey, const std::string& name) {
    std::string value;
    return RegistryGetValue(scope, subKey, name, &value) ? value : "<missing>";
  }
};

}  // namespace

TEST_F(RegistryStore, MissingValueDiffersFromEmptyValue) {
  EXPECT_EQ(Get(RegistryScope::User, kSettings, "AddImageDir"), "<missing>");
  ASSERT_TRUE(RegistrySetValue(RegistryScope::User, kSettings, "AddImageDir", ""));
  EXPECT_EQ(Get(RegistryScope::User, kSettings, "AddImageDir"), "");
  ASSERT_TRUE(RegistryDeleteValue(RegistryScope::User, kSettings, "AddImageDir"));
  EXPECT_EQ(Get(RegistryScope::User, kSettings, "AddImageDir"), "<missing>");
  // Deleting what is not there is no failure, and creates no store.
  EXPECT_TRUE(RegistryDeleteValue(RegistryScope::Machine, kSettings, "Nothing"));
  EXPECT_TRUE(RegistryDeleteKey(RegistryScope::Machine, kSettings));
  EXPECT_FALSE(std::filesystem::exists(RegistryStorePath(RegistryScope::Machine)));
}

TEST_F(RegistryStore, SectionAndValueNamesIgnoreCase) {
  ASSERT_TRUE(RegistrySetValue(RegistryScope::Machine, kSettings, "SoundInDevice", "2"));
  EXPECT_EQ(Get(RegistryScope::Machine, "software\\kestrelon\\orativo\\SETTINGS", "soundindevice"), "2");
  ASSERT_TRUE(RegistrySetValue(RegistryScope::Machine, "Software/Kestrelon/Orativo/settings", "SOUNDINDEVICE", "3"));
  EXPECT_EQ(Get(RegistryScope::Machine, kSettings, "SoundInDevice"), "3");
  // One value, kept under the spelling it was created with.
  std::string content = testsupport::CommandOutput("cat '" + RegistryStorePath(RegistryScope::Machine) + "'");
  EXPECT_NE(content.find("[Settings]\nSoundInDevice=3\n"), std::string::npos) << content;
  EXPECT_EQ(content.find("SOUNDINDEVICE"), std::string::npos);
}

TEST_F(RegistryStore, SectionIsTheLastPartOfTheProgramKey) {
  EXPECT_EQ(RegistrySectionOf("Software\\Kestrelon\\Orativo\\MainWindow"), "MainWindow");
  EXPECT_EQ(RegistrySectionOf("/SOFTWARE/Kestrelon/Orativo/SystemFolders/"), "SystemFolders");
  // Keys elsewhere keep their whole path, so equal last parts do not collide.
  EXPECT_EQ(RegistrySectionOf("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orativo"),
            "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orativo");
  ASSERT_TRUE(RegistrySetValue(RegistryScope::Machine, "Software\\Kestrelon\\Editor\\Settings", "Path", "a"));
  ASSERT_TRUE(RegistrySetValue(RegistryScope::Machine, kSettings, "Path", "b"));
  EXPECT_EQ(Get(RegistryScope::Machine, "Software\\Kestrelon\\Editor\\Settings", "Path"), "a");
  EXPECT_EQ(Get(RegistryScope::Machine, kSettings, "Path"), "b");
}

TEST_F(RegistryStore, ScopesAreSeparateFiles) {
  ASSERT_TRUE(RegistrySetValue(RegistryScope::Machine, kSettings, "Mode", "machine"));
  ASSERT_TRUE(RegistrySetValue(RegistryScope::User, kSettings, "Mode", "user"));
  EXPECT_EQ(Get(RegistryScope::Machine, kSettings, "Mode"), "machine");
  EXPECT_EQ(Get(RegistryScope::User, kSettings, "Mode"), "user");
  EXPECT_EQ(std::filesystem::status(RegistryStorePath(RegistryScope::User)).permissions(),
            std::filesystem::perms(0600));
}

TEST_F(RegistryStore, AnyTextRoundTrips) {
  std::vector<std::string> values = {
      "  leading and trailing  ", "\ttab", "back\\slash", "\\x41 is not A", "a=b;c [d]", "ü €", "\\", " ", "=",
      std::string("nul\0byte", 8)};
  values.insert(values.end(), {"two\nlines", "cr\r\nlf"});
  for (size_t i = 0; i < values.size(); ++i)
    ASSERT_TRUE(RegistrySetValue(RegistryScope::User, kSettings, "Value" + std::to_string(i), values[i]));
  // Names with INI punctuation survive as well.
  ASSERT_TRUE(RegistrySetValue(RegistryScope::User, "Software\\Odd [x]=y", " a=b;[c] ", "odd"));
  for (size_t i = 0; i < values.size(); ++i)
    EXPECT_EQ(Get(RegistryScope::User, kSettings, "Value" + std::to_string(i)), values[i]) << i;
  EXPECT_EQ(Get(RegistryScope::User, "Software\\Odd [x]=y", " a=b;[c] "), "odd");
  // The file stays one value per line: comment, blank, header, values, blank, header, value.
  std::string content = testsupport::CommandOutput("cat '" + RegistryStorePath(RegistryScope::User) + "'");
  EXPECT_EQ(std::count(content.begin(), content.end(), '\n'), 3 + long(values.size()) + 3) << content;
}

TEST_F(RegistryStore, ReadsAHandEditedStore) {
  std::string path = RegistryStorePath(RegistryScope::Machine);
  ASSERT_TRUE(testsupport::WriteFileText(path,
                                         "; edited by hand\r\n\r\n[ Settings ]\r\n  SoundOutDevice =  1 \r\n"
                                         "junk line\r\n[MainWindow]\nX=10\n"));
  EXPECT_EQ(Get(RegistryScope::Machine, kSettings, "SoundOutDevice"), "1");
  EXPECT_EQ(Get(RegistryScope::Machine, "Software\\Kestrelon\\Orativo\\MainWindow", "X"), "10");
  ASSERT_TRUE(RegistrySetValue(RegistryScope::Machine, kSettings, "SoundInDevice", "0"));
  EXPECT_EQ(Get(RegistryScope::Machine, kSettings, "SoundOutDevice"), "1");
  EXPECT_EQ(Get(RegistryScope::Machine, "Software\\Kestrelon\\Orativo\\MainWindow", "X"), "10");
}

TEST_F(RegistryStore, DeleteKeyRemovesAllItsValues) {
  const std::string window = "Software\\Kestrelon\\Orativo\\MainWindow";
  ASSERT_TRUE(RegistrySetValue(RegistryScope::Machine, window, "X", "1"));
  ASSERT_TRUE(RegistrySetValue(RegistryScope::Machine, window, "Y", "2"));
  ASSERT_TRUE(RegistrySetValue(RegistryScope::Machine, kSettings, "X", "3"));
  ASSERT_TRUE(RegistryDeleteKey(RegistryScope::Machine, "software\\kestrelon\\orativo\\mainwindow"));
  EXPECT_EQ(Get(RegistryScope::Machine, window, "X"), "<missing>");
  EXPECT_EQ(Get(RegistryScope::Machine, window, "Y"), "<missing>");
  EXPECT_EQ(Get(RegistryScope::Machine, kSettings, "X"), "3");
}

TEST_F(RegistryStore, ConcurrentWritersLoseNoValue) {
  constexpr int kWriters = 3, kValues = 60;
  ASSERT_TRUE(testsupport::RunInChildren(kWriters, [](int writer) {
    for (int i = 0; i < kValues; ++i) {
      std::string name = "W" + std::to_string(writer) + "-" + std::to_string(i);
      if (!RegistrySetValue(RegistryScope::User, kSettings, name, std::to_string(i * 7))) return false;
    }
    return true;
  }));
  for (int writer = 0; writer < kWriters; ++writer)
    for (int i = 0; i < kValues; ++i)
      EXPECT_EQ(Get(RegistryScope::User, kSettings, "W" + std::to_string(writer) + "-" + std::to_string(i)),
                std::to_string(i * 7));
}

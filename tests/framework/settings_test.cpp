#include "framework/settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <ctime>

#include "platform/registry_store.h"
#include "tests/framework/scoped_time_zone.h"
#include "tests/support/test_support.h"

using testsupport::ScopedEnv;
using testsupport::TempFolder;

namespace {

class Settings : public ::testing::Test {
 protected:
  TempFolder home_;
  ScopedEnv env_{"ORATIVO_HOME", home_.Path().c_str()};
};

class Profile : public ::testing::Test {
 protected:
  TempFolder folder_;
  std::string file_ = folder_.File("lesson.ini");
};

}  // namespace

TEST_F(Settings, IntegersReadTheLeadingDigits) {
  // "" gives the default.
  const char* stored[] = {"", "-18", "+3", "12abc", "abc", " 7", "99999999999", "-99999999999", "-2147483648"};
  const int expected[] = {77, -18, 3, 12, 0, 7, INT_MAX, INT_MIN, INT_MIN};
  for (size_t i = 0; i < std::size(stored); ++i) {
    RegSetSetting("Settings", "Number", stored[i]);
    EXPECT_EQ(RegGetSettingInt("Settings", "Number", 77), expected[i]) << '"' << stored[i] << '"';
    RegSetUserSetting("Settings", "Number", stored[i]);
    EXPECT_EQ(RegGetUserSettingInt("Settings", "Number", 77), expected[i]) << '"' << stored[i] << '"';
  }
  RegSetUserSettingInt("Settings", "DefaultSampleRate", INT_MIN);
  EXPECT_EQ(RegGetUserSettingInt("Settings", "DefaultSampleRate", 4), INT_MIN);
}

TEST_F(Settings, BooleansAreTrueUnlessTheyStartWithZero) {
  const std::pair<const char*, bool> cases[] = {{"0", false},    {"1", true},     {"yes", true},
                                                {"false", true}, {"0abc", false}, {" 0", true}};
  for (const auto& [stored, expected] : cases) {
    RegSetSetting("MainWindow", "Maximized", stored);
    EXPECT_EQ(RegGetSettingBool("MainWindow", "Maximized", !expected), expected) << stored;
  }
  RegSetSetting("MainWindow", "Maximized", "");
  EXPECT_TRUE(RegGetSettingBool("MainWindow", "Maximized", true));
  EXPECT_FALSE(RegGetSettingBool("MainWindow", "Maximized", false));
  RegSetUserSettingBool("Settings", "PromptSampleAndChannels", false);
  EXPECT_FALSE(RegGetUserSettingBool("Settings", "PromptSampleAndChannels", true));
}

TEST_F(Settings, ValuesLongerThan259CharactersCannotBeRead) {
  std::string fits(259, 'a'), tooLong(260, 'b');
  RegSetUserSetting("SystemFolders", "TutorLessons", fits);
  EXPECT_EQ(RegGetUserSetting("SystemFolders", "TutorLessons", "default"), fits);
  RegSetUserSetting("SystemFolders", "TutorLessons", tooLong);
  EXPECT_EQ(RegGetUserSetting("SystemFolders", "TutorLessons", "default"), "default");
  // Stored in full all the same: the limit is the reader's.
  std::string stored;
  ASSERT_TRUE(
      RegistryGetValue(RegistryScope::User, "Software\\Kestrelon\\Orativo\\SystemFolders", "TutorLessons", &stored));
  EXPECT_EQ(stored, tooLong);
  RegSetSetting("Settings", "SoundInDevice", std::string(300, '5'));
  EXPECT_EQ(RegGetSettingInt("Settings", "SoundInDevice", 3), 3);
}

TEST_F(Profile, BooleansNeedALowerCaseT) {
  ASSERT_TRUE(testsupport::WriteFileText(file_, "[Lesson]\r\nA=True\r\nB=t\r\nC=true\r\nD=\r\nE=false\r\n"));
  EXPECT_FALSE(ProfileReadBool(file_, "Lesson", "A", true));
  EXPECT_TRUE(ProfileReadBool(file_, "Lesson", "B", false));
  EXPECT_TRUE(ProfileReadBool(file_, "lesson", "c", false));
  EXPECT_FALSE(ProfileReadBool(file_, "Lesson", "D", true));  // present but empty: not the default
  EXPECT_TRUE(ProfileReadBool(file_, "Lesson", "Missing", true));
  ProfileWriteBool(file_, "Lesson", "F", true);
  EXPECT_EQ(ProfileReadString(file_, "Lesson", "F", ""), "true");
}

TEST_F(Profile, IntegersAndStrings) {
  ASSERT_TRUE(testsupport::WriteFileText(file_, "[Audio]\r\nEmpty=\r\nWord=abc\r\nQuoted=\"12\"\r\n"));
  EXPECT_EQ(ProfileReadInt(file_, "Audio", "Empty", 9), 9);
  EXPECT_EQ(ProfileReadInt(file_, "Audio", "Word", 9), 0);
  EXPECT_EQ(ProfileReadInt(file_, "Audio", "Quoted", 9), 12);
  ProfileWriteInt(file_, "Audio", "Length", -2500);
  EXPECT_EQ(ProfileReadString(file_, "Audio", "Length", ""), "-2500");
  // Every read goes through a 259-character buffer.
  ProfileWriteString(file_, "Audio", "Long", std::string(400, 'z'));
  EXPECT_EQ(ProfileReadString(file_, "Audio", "Long", ""), std::string(259, 'z'));
  ProfileFlush(file_);
  EXPECT_EQ(ProfileReadInt(file_, "Audio", "Length", 0), -2500);
}

TEST_F(Profile, DateTimesRoundTrip) {
  ScopedTimeZone tz("CET-1CEST,M3.5.0,M10.5.0/3");
  LDateTime fallback(1234567);
  EXPECT_EQ(ProfileReadDateTime(file_, "Lesson", "Created", fallback), fallback);
  LDateTime created;
  ASSERT_TRUE(created.SetDateTimeText("05/03/07-14:02:09"));
  ProfileWriteDateTime(file_, "Lesson", "Created", created);
  EXPECT_EQ(ProfileReadString(file_, "Lesson", "Created", ""), "05/03/07-14:02:09");
  EXPECT_EQ(ProfileReadDateTime(file_, "Lesson", "Created", fallback), created);
  // An unset time is written as an empty text, which reads as the default.
  ProfileWriteDateTime(file_, "Lesson", "Created", LDateTime());
  EXPECT_EQ(ProfileReadString(file_, "Lesson", "Created", "x"), "");
  EXPECT_EQ(ProfileReadDateTime(file_, "Lesson", "Created", fallback), fallback);
}

#include "framework/settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <ctime>

#include "framework/ldatetime.h"
#include "platform/registry_store.h"
#include "tests/support/test_support.h"

// Integers read their leading digits ("" gives the default; both scopes share
// the reading, the user's round-trips an extreme); booleans are
// true unless they start with 0; values longer than 259 characters cannot be
// read, though stored in full: the limit is the reader's.
TEST(Settings, ValuesReadLikeTheOldStore) {
  testsupport::PrivateHome home;
  const char* stored[] = {"", "-18", "+3", "12abc", "abc", " 7", "99999999999", "-99999999999", "-2147483648"};
  const int expected[] = {77, -18, 3, 12, 0, 7, INT_MAX, INT_MIN, INT_MIN};
  for (size_t i = 0; i < std::size(stored); ++i) {
    RegSetSetting("Settings", "Number", stored[i]);
    EXPECT_EQ(RegGetSettingInt("Settings", "Number", 77), expected[i]) << '"' << stored[i] << '"';
  }
  RegSetUserSettingInt("Settings", "DefaultSampleRate", INT_MIN);
  EXPECT_EQ(RegGetUserSettingInt("Settings", "DefaultSampleRate", 4), INT_MIN);

  const std::pair<const char*, bool> cases[] = {{"0", false},    {"1", true},     {"yes", true},
                                                {"false", true}, {"0abc", false}, {" 0", true}};
  for (const auto& [text, value] : cases) {
    RegSetSetting("MainWindow", "Maximized", text);
    EXPECT_EQ(RegGetSettingBool("MainWindow", "Maximized", !value), value) << text;
  }
  RegSetSetting("MainWindow", "Maximized", "");
  EXPECT_TRUE(RegGetSettingBool("MainWindow", "Maximized", true));
  EXPECT_FALSE(RegGetSettingBool("MainWindow", "Maximized", false));
  RegSetUserSettingBool("Settings", "PromptSampleAndChannels", false);
  EXPECT_FALSE(RegGetUserSettingBool("Settings", "PromptSampleAndChannels", true));

  std::string fits(259, 'a'), tooLong(260, 'b'), kept;
  RegSetUserSetting("SystemFolders", "TutorLessons", fits);
  EXPECT_EQ(RegGetUserSetting("SystemFolders", "TutorLessons", "default"), fits);
  RegSetUserSetting("SystemFolders", "TutorLessons", tooLong);
  EXPECT_EQ(RegGetUserSetting("SystemFolders", "TutorLessons", "default"), "default");
  ASSERT_TRUE(
      RegistryGetValue(RegistryScope::User, "Software\\Kestrelon\\Orativo\\SystemFolders", "TutorLessons", &kept));
  EXPECT_EQ(kept, tooLong);
  RegSetSetting("Settings", "SoundInDevice", std::string(300, '5'));
  EXPECT_EQ(RegGetSettingInt("Settings", "SoundInDevice", 3), 3);
}

namespace {

// Sets TZ for the scope; local-time conversions follow it only after tzset(),
// called again once the old TZ is back (members end in reverse order).
struct TzSetAtEnd {
  ~TzSetAtEnd() { tzset(); }
};
struct ScopedTimeZone {
  explicit ScopedTimeZone(const char* zone) : env("TZ", zone) { tzset(); }
  TzSetAtEnd last;
  testsupport::ScopedEnv env;
};

// The local calendar fields of a time, as "yyyy-mm-dd hh:mm:ss" (both cleared
// for a time that has none).
std::string Local(const LDateTime& value) {
  std::string date = "x", time = "x";
  GetDateYYYYHMMHDDTimeHHCMM(value, &date, &time);
  return date + " " + time;
}

LDateTime Parse(const std::string& text) {
  LDateTime value(42);
  EXPECT_TRUE(value.SetDateTimeText(text)) << text;
  return value;
}

}  // namespace

// The stored form parses and prints in local time (summer time is the
// library's to decide); two-digit years before 70 are this century's, past
// 2038 too.
TEST(LDateTime, ParsesAndPrintsTheLocalForm) {
  ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
  LDateTime value = Parse("05/03/07-14:02:09");
  EXPECT_EQ(value.GetDateTimeText(), "05/03/07-14:02:09");
  EXPECT_EQ(value.GetTime(), 1173099729);  // 13:02:09 UTC
  EXPECT_EQ(Parse("05/07/07-14:02:09").GetDateTimeText(), "05/07/07-14:02:09");
  // Other characters are skipped, "-" jumps to the hours, out-of-range fields normalise.
  EXPECT_EQ((std::vector<std::string>{Local(Parse("5.3.99")), Local(Parse("5\\3\\99")), Local(Parse("d05/m03/y07")),
                                      Local(Parse("1/2/2003-9")), Local(Parse("31/2/07")), Local(Parse("1/1/1850")),
                                      Local(Parse("29/2/2000"))}),
            (std::vector<std::string>{"1999-03-05 00:00:00", "1999-03-05 00:00:00", "2007-03-05 00:00:00",
                                      "2003-02-01 09:00:00", "2007-03-03 00:00:00", "1850-01-01 00:00:00",
                                      "2000-02-29 00:00:00"}));

  LDateTime late = Parse("1/1/69");
  EXPECT_EQ(Local(late), "2069-01-01 00:00:00");  // past 2038: needs the 64-bit count
  EXPECT_EQ(late.GetDateTimeText(), "01/01/69-00:00:00");
  EXPECT_EQ(Parse(late.GetDateTimeText()), late);
  EXPECT_EQ(Parse("1/1/70").GetTime(), -3600);  // midnight in Central Europe is 23:00 UTC the day before

  // Odd texts stay bounded; unset and unconvertible times print empty texts.
  EXPECT_EQ(Parse("no date here").GetTime(), 0);
  // Digits after the seconds and extra separators are ignored.
  EXPECT_EQ(Parse("1/2/3-4:5:6:7:8/9"), Parse("1/2/3-4:5:6"));
  // Endless digits neither overflow nor fail: the fields stop growing.
  EXPECT_TRUE(Parse(std::string(500, '9') + "/" + std::string(500, '9') + "-" + std::string(500, '9')).IsSet());
  for (LDateTime unset : {LDateTime(), LDateTime(INT64_MAX)}) EXPECT_EQ(Local(unset) + unset.GetDateTimeText(), " ");
}

// Booleans need a lower-case t; present but empty is not the default; every
// read goes through a 259-character buffer; a time is stored in local time,
// an unset one as an empty text.
TEST(Profile, BooleansIntegersStringsAndTimes) {
  testsupport::TempFolder folder;
  const std::string file = folder.File("lesson.ini");
  ASSERT_TRUE(testsupport::WriteFileText(file,
                                         "[Lesson]\r\nA=True\r\nB=t\r\nC=true\r\nD=\r\nE=false\r\n"
                                         "[Audio]\r\nEmpty=\r\nWord=abc\r\nQuoted=\"12\"\r\n"));
  EXPECT_EQ((std::vector<bool>{ProfileReadBool(file, "Lesson", "A", true), ProfileReadBool(file, "Lesson", "B", false),
                               ProfileReadBool(file, "lesson", "c", false), ProfileReadBool(file, "Lesson", "D", true),
                               ProfileReadBool(file, "Lesson", "Missing", true)}),
            (std::vector<bool>{false, true, true, false, true}));
  ProfileWriteBool(file, "Lesson", "F", true);
  EXPECT_EQ(ProfileReadString(file, "Lesson", "F", ""), "true");

  EXPECT_EQ((std::vector<int>{ProfileReadInt(file, "Audio", "Empty", 9), ProfileReadInt(file, "Audio", "Word", 9),
                              ProfileReadInt(file, "Audio", "Quoted", 9)}),
            (std::vector<int>{9, 0, 12}));
  ProfileWriteInt(file, "Audio", "Length", -2500);
  EXPECT_EQ(ProfileReadString(file, "Audio", "Length", ""), "-2500");
  ProfileWriteString(file, "Audio", "Long", std::string(400, 'z'));
  EXPECT_EQ(ProfileReadString(file, "Audio", "Long", ""), std::string(259, 'z'));
  ProfileFlush(file);
  EXPECT_EQ(ProfileReadInt(file, "Audio", "Length", 0), -2500);
  LDateTime created = Parse("05/03/07-14:02:09"), fallback(1234567);
  EXPECT_EQ(ProfileReadDateTime(file, "Lesson", "Created", fallback), fallback);
  ProfileWriteDateTime(file, "Lesson", "Created", created);
  EXPECT_EQ(ProfileReadString(file, "Lesson", "Created", ""), "05/03/07-14:02:09");
  EXPECT_EQ(ProfileReadDateTime(file, "Lesson", "Created", fallback), created);
  ProfileWriteDateTime(file, "Lesson", "Created", LDateTime());
  EXPECT_EQ(ProfileReadString(file, "Lesson", "Created", "x"), "");
  EXPECT_EQ(ProfileReadDateTime(file, "Lesson", "Created", fallback), fallback);
}

#include "framework/ldatetime.h"

#include <gtest/gtest.h>

#include <climits>
#include <ctime>

#include "tests/framework/scoped_time_zone.h"

namespace {

constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

// The local calendar fields of a time, as "yyyy-mm-dd hh:mm:ss".
std::string Local(const LDateTime& value) {
  std::string date, time;
  GetDateYYYYHMMHDDTimeHHCMM(value, &date, &time);
  return date + " " + time;
}

LDateTime Parse(const std::string& text) {
  LDateTime value(42);
  EXPECT_TRUE(value.SetDateTimeText(text)) << text;
  return value;
}

}  // namespace

TEST(LDateTime, ParsesAndPrintsTheStoredForm) {
  ScopedTimeZone zone(kCentralEurope);
  LDateTime value = Parse("05/03/07-14:02:09");
  EXPECT_EQ(Local(value), "2007-03-05 14:02:09");
  EXPECT_EQ(value.GetDateTimeText(), "05/03/07-14:02:09");
  EXPECT_EQ(value.GetTime(), 1173099729);  // 13:02:09 UTC
  // Summer time is the library's to decide.
  EXPECT_EQ(Parse("05/07/07-14:02:09").GetDateTimeText(), "05/07/07-14:02:09");
  EXPECT_EQ(Local(Parse("5.3.99")), "1999-03-05 00:00:00");
  EXPECT_EQ(Local(Parse("5\\3\\99")), "1999-03-05 00:00:00");
  EXPECT_EQ(Local(Parse("d05/m03/y07")), "2007-03-05 00:00:00");  // other characters are skipped
  EXPECT_EQ(Local(Parse("1/2/2003-9")), "2003-02-01 09:00:00");   // "-" jumps to the hours
  EXPECT_EQ(Local(Parse("31/2/07")), "2007-03-03 00:00:00");      // out-of-range fields normalise
}

TEST(LDateTime, TwoDigitYears) {
  ScopedTimeZone zone(kCentralEurope);
  LDateTime late = Parse("1/1/69");
  EXPECT_EQ(Local(late), "2069-01-01 00:00:00");
  EXPECT_GT(late.GetTime(), int64_t(INT32_MAX));  // past 2038: needs the 64-bit count
  EXPECT_EQ(late.GetDateTimeText(), "01/01/69-00:00:00");
  EXPECT_EQ(Parse(late.GetDateTimeText()), late);
  LDateTime early = Parse("1/1/70");
  EXPECT_EQ(Local(early), "1970-01-01 00:00:00");
  EXPECT_EQ(early.GetTime(), -3600);  // midnight in Central Europe is 23:00 UTC the day before
  EXPECT_EQ(Local(Parse("1/1/1850")), "1850-01-01 00:00:00");
  EXPECT_EQ(Local(Parse("29/2/2000")), "2000-02-29 00:00:00");
}

TEST(LDateTime, OddTextsStayBounded) {
  ScopedTimeZone zone("UTC0");
  EXPECT_EQ(Parse("no date here").GetTime(), 0);
  // Digits after the seconds and extra separators are ignored.
  EXPECT_EQ(Parse("1/2/3-4:5:6:7:8/9"), Parse("1/2/3-4:5:6"));
  // Endless digits neither overflow nor fail: the fields stop growing.
  LDateTime value = Parse(std::string(500, '9') + "/" + std::string(500, '9') + "-" + std::string(500, '9'));
  EXPECT_TRUE(value.IsSet());
}

TEST(LDateTime, UnsetAndUnconvertibleTimesPrintEmptyTexts) {
  for (LDateTime value : {LDateTime(), LDateTime(INT64_MAX)}) {
    std::string date = "x", time = "x";
    GetDateYYYYHMMHDDTimeHHCMM(value, &date, &time);
    EXPECT_EQ(date + time + value.GetDateTimeText(), "");
  }
}

#pragma once
// A calendar time (seconds since 1 January 1970 UTC) and its two text forms:
// "dd/mm/yy-hh:mm:ss" as profile files keep it, and "yyyy-mm-dd" / "hh:mm:ss"
// as the lesson description shows it. Both are in local time. 0 means "not
// set" and every formatter writes "" for it.
//
// The count is 64-bit: two-digit years below 70 are 2000-2069, past 2038.
#include <cstdint>
#include <string>

class LDateTime {
 public:
  LDateTime() = default;
  explicit LDateTime(int64_t seconds) : time_(seconds) {}

  static LDateTime Now();
  void SetNow();

  int64_t GetTime() const { return time_; }
  void SetTime(int64_t seconds) { time_ = seconds; }
  bool IsSet() const { return time_ != 0; }

  // "%.2d/%.2d/%.2d-%.2d:%.2d:%.2d": day, month, year modulo 100, hours,
  // minutes, seconds; "" when not set or not convertible.
  std::string GetDateTimeText() const;
  // Parses day/month/year-hours:minutes:seconds; digits fill the fields in
  // order, "/", "\", "." and ":" move to the next field, "-" jumps to the
  // hours, anything else is skipped. Years below 70 are 2000 + year, 70-99
  // 1900 + year. A text without digits or separators sets 0. False (value
  // unchanged) when the local-time conversion fails.
  bool SetDateTimeText(const std::string& text);

  friend bool operator==(const LDateTime&, const LDateTime&) = default;

 private:
  int64_t time_ = 0;
};

// "%.4d-%.2d-%.2d" and "%.2d:%.2d:%.2d" of the time in local time; both ""
// for 0 or when the conversion fails. Either output may be null.
void GetDateYYYYHMMHDDTimeHHCMM(const LDateTime& time, std::string* dateOut, std::string* timeOut);

#include "framework/ldatetime.h"

#include <climits>
#include <cstdio>
#include <ctime>

#include "platform/debug_log.h"

namespace {

// Field values stop growing here: a long run of digits must not overflow,
// and anything larger is no date anyway.
constexpr int kFieldCap = 1000000;

bool LocalTime(int64_t seconds, struct tm* out) {
  time_t value = time_t(seconds);
  if (int64_t(value) != seconds) return false;
  return localtime_r(&value, out) != nullptr;
}

}  // namespace

LDateTime LDateTime::Now() { return LDateTime(int64_t(std::time(nullptr))); }

void LDateTime::SetNow() { time_ = int64_t(std::time(nullptr)); }

std::string LDateTime::GetDateTimeText() const {
  struct tm local;
  if (time_ == 0 || !LocalTime(time_, &local)) return "";
  char text[64];
  std::snprintf(text, sizeof text, "%.2d/%.2d/%.2d-%.2d:%.2d:%.2d", local.tm_mday, local.tm_mon + 1,
                int((local.tm_year + 1900LL) % 100), local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

bool LDateTime::SetDateTimeText(const std::string& text) {
  enum { kDay, kMonth, kYear, kHours, kMinutes, kSeconds, kFields };
  int fields[kFields] = {1, 0, 0, 0, 0, 0};
  bool fresh[kFields] = {true, true, true, true, true, true};  // first digit replaces the start value
  int index = kDay;
  bool moved = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      moved = true;
      if (index >= kFields) continue;  // digits past the seconds are ignored
      int& field = fields[index];
      if (fresh[index]) {
        field = 0;
        fresh[index] = false;
      }
      field = field >= kFieldCap ? kFieldCap : field * 10 + (c - '0');
    } else if (c == '/' || c == '\\' || c == '.' || c == ':') {
      moved = true;
      if (index < kFields) ++index;
    } else if (c == '-') {
      moved = true;
      index = kHours;
    }
  }
  if (!moved) {
    time_ = 0;
    return true;
  }
  int year = fields[kYear];
  if (year < 70)
    year += 2000;
  else if (year < 100)
    year += 1900;
  struct tm local = {};
  local.tm_mday = fields[kDay];
  local.tm_mon = fields[kMonth] - 1;
  local.tm_year = year - 1900;
  local.tm_hour = fields[kHours];
  local.tm_min = fields[kMinutes];
  local.tm_sec = fields[kSeconds];
  local.tm_isdst = -1;
  local.tm_wday = -1;  // mktime sets it on success; -1 is also a valid time, so it cannot tell
  time_t value = mktime(&local);
  if (local.tm_wday < 0) {
    LDebugLog("LDateTime::SetDateTimeText cannot convert \"%s\"", text.c_str());
    return false;
  }
  time_ = int64_t(value);
  return true;
}

void GetDateYYYYHMMHDDTimeHHCMM(const LDateTime& time, std::string* dateOut, std::string* timeOut) {
  if (dateOut) dateOut->clear();
  if (timeOut) timeOut->clear();
  if (!time.IsSet()) return;
  struct tm local;
  if (!LocalTime(time.GetTime(), &local)) {
    LDebugLog("GetDateYYYYHMMHDDTimeHHCMM localtime returned NULL!");
    return;
  }
  char text[64];
  if (dateOut) {
    std::snprintf(text, sizeof text, "%.4lld-%.2d-%.2d", local.tm_year + 1900LL, local.tm_mon + 1, local.tm_mday);
    *dateOut = text;
  }
  if (timeOut) {
    std::snprintf(text, sizeof text, "%.2d:%.2d:%.2d", local.tm_hour, local.tm_min, local.tm_sec);
    *timeOut = text;
  }
}

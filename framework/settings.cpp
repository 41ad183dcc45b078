#include "framework/settings.h"

#include <climits>

#include "platform/debug_log.h"
#include "platform/private_profile.h"
#include "platform/registry_store.h"

namespace {

std::string KeyPath(const std::string& section) { return std::string(kRegistryProgramKey) + "\\" + section; }

// The one place the registry's read limit is kept: a value that does not fit
// the reader's buffer with its terminator cannot be read.
std::string GetSetting(RegistryScope scope, const std::string& section, const std::string& key,
                       const std::string& defaultText) {
  std::string value;
  if (RegistryGetValue(scope, KeyPath(section), key, &value)) {
    value = value.substr(0, value.find('\0'));
    if (value.size() < kRegistryValueBytes) return value;
  }
  return defaultText.substr(0, kRegistryValueBytes - 1);
}

void SetSetting(RegistryScope scope, const std::string& section, const std::string& key, const std::string& text) {
  if (!RegistrySetValue(scope, KeyPath(section), key, text))
    LDebugLog("RegSetSetting cannot write %s\\%s", section.c_str(), key.c_str());
}

int GetSettingInt(RegistryScope scope, const std::string& section, const std::string& key, int defaultValue) {
  std::string text = GetSetting(scope, section, key, "");
  return text.empty() ? defaultValue : SettingsLeadingInt(text);
}

bool GetSettingBool(RegistryScope scope, const std::string& section, const std::string& key, bool defaultValue) {
  std::string text = GetSetting(scope, section, key, "");
  return text.empty() ? defaultValue : text[0] != '0';
}

}  // namespace

int SettingsLeadingInt(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > 1LL + INT_MAX) value = 1LL + INT_MAX;  // saturate, keeping room for INT_MIN
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return int(value);
}

std::string RegGetSetting(const std::string& section, const std::string& key, const std::string& defaultText) {
  return GetSetting(RegistryScope::Machine, section, key, defaultText);
}
void RegSetSetting(const std::string& section, const std::string& key, const std::string& text) {
  SetSetting(RegistryScope::Machine, section, key, text);
}
int RegGetSettingInt(const std::string& section, const std::string& key, int defaultValue) {
  return GetSettingInt(RegistryScope::Machine, section, key, defaultValue);
}
void RegSetSettingInt(const std::string& section, const std::string& key, int value) {
  SetSetting(RegistryScope::Machine, section, key, std::to_string(value));
}
bool RegGetSettingBool(const std::string& section, const std::string& key, bool defaultValue) {
  return GetSettingBool(RegistryScope::Machine, section, key, defaultValue);
}
void RegSetSettingBool(const std::string& section, const std::string& key, bool value) {
  SetSetting(RegistryScope::Machine, section, key, value ? "1" : "0");
}

std::string RegGetUserSetting(const std::string& section, const std::string& key, const std::string& defaultText) {
  return GetSetting(RegistryScope::User, section, key, defaultText);
}
void RegSetUserSetting(const std::string& section, const std::string& key, const std::string& text) {
  SetSetting(RegistryScope::User, section, key, text);
}
int RegGetUserSettingInt(const std::string& section, const std::string& key, int defaultValue) {
  return GetSettingInt(RegistryScope::User, section, key, defaultValue);
}
void RegSetUserSettingInt(const std::string& section, const std::string& key, int value) {
  SetSetting(RegistryScope::User, section, key, std::to_string(value));
}
bool RegGetUserSettingBool(const std::string& section, const std::string& key, bool defaultValue) {
  return GetSettingBool(RegistryScope::User, section, key, defaultValue);
}
void RegSetUserSettingBool(const std::string& section, const std::string& key, bool value) {
  SetSetting(RegistryScope::User, section, key, value ? "1" : "0");
}

void ProfileFlush(const std::string&) {}

std::string ProfileReadString(const std::string& file, const std::string& section, const std::string& key,
                              const std::string& defaultText) {
  return PrivateProfileGetString(file, section, key, defaultText, kProfileReadBytes);
}

bool ProfileWriteString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& text) {
  if (PrivateProfileWriteString(file, section, key, text)) return true;
  LDebugLog("ProfileWriteString cannot write [%s] %s to %s", section.c_str(), key.c_str(), file.c_str());
  return false;
}

bool ProfileWriteInt(const std::string& file, const std::string& section, const std::string& key, int value) {
  return ProfileWriteString(file, section, key, std::to_string(value));
}

int ProfileReadInt(const std::string& file, const std::string& section, const std::string& key, int defaultValue) {
  std::string text = ProfileReadString(file, section, key, "");
  return text.empty() ? defaultValue : SettingsLeadingInt(text);
}

bool ProfileWriteBool(const std::string& file, const std::string& section, const std::string& key, bool value) {
  return ProfileWriteString(file, section, key, value ? "true" : "false");
}

bool ProfileReadBool(const std::string& file, const std::string& section, const std::string& key, bool defaultValue) {
  std::string text = ProfileReadString(file, section, key, defaultValue ? "true" : "");
  return !text.empty() && text[0] == 't';
}

bool ProfileWriteDateTime(const std::string& file, const std::string& section, const std::string& key,
                          const LDateTime& value) {
  return ProfileWriteString(file, section, key, value.IsSet() ? value.GetDateTimeText() : "");
}

LDateTime ProfileReadDateTime(const std::string& file, const std::string& section, const std::string& key,
                              const LDateTime& defaultValue) {
  std::string text = ProfileReadString(file, section, key, "");
  if (text.empty()) return defaultValue;
  LDateTime value = defaultValue;
  value.SetDateTimeText(text);
  return value;
}

#pragma once
// The program's settings functions: named text values in the machine-wide and
// the per-user store (platform/registry_store.h) under
// "Software\Kestrelon\Orativo\<section>", and values in profile files (lesson
// files, audio records) through platform/private_profile.h.
//
// Settings are read when used and never cached. Reads never fail: a missing or
// unreadable value yields the default. A failed write leaves the old value;
// profile writes tell whether the file holds the new value.
#include <string>

#include "framework/ldatetime.h"

// A value read back is at most this many bytes with its terminator: a longer
// stored text cannot be read and yields the default.
constexpr size_t kRegistryValueBytes = 260;
// Every profile read goes through a buffer of this many bytes (259 characters).
constexpr size_t kProfileReadBytes = 260;

// Machine-wide values.
std::string RegGetSetting(const std::string& section, const std::string& key, const std::string& defaultText);
void RegSetSetting(const std::string& section, const std::string& key, const std::string& text);
int RegGetSettingInt(const std::string& section, const std::string& key, int defaultValue);
void RegSetSettingInt(const std::string& section, const std::string& key, int value);
bool RegGetSettingBool(const std::string& section, const std::string& key, bool defaultValue);
void RegSetSettingBool(const std::string& section, const std::string& key, bool value);

// Per-user values.
std::string RegGetUserSetting(const std::string& section, const std::string& key, const std::string& defaultText);
void RegSetUserSetting(const std::string& section, const std::string& key, const std::string& text);
int RegGetUserSettingInt(const std::string& section, const std::string& key, int defaultValue);
void RegSetUserSettingInt(const std::string& section, const std::string& key, int value);
bool RegGetUserSettingBool(const std::string& section, const std::string& key, bool defaultValue);
void RegSetUserSettingBool(const std::string& section, const std::string& key, bool value);

// The decimal value of the text's leading digits (blanks, then an optional
// sign); 0 when there are none, clamped to the int range.
int SettingsLeadingInt(const std::string& text);

// Profile files, given by full path.
// Nothing is cached, so there is nothing to write out; callers still call it
// before they move or delete a profile file or its folder.
void ProfileFlush(const std::string& file);
std::string ProfileReadString(const std::string& file, const std::string& section, const std::string& key,
                              const std::string& defaultText);
bool ProfileWriteString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& text);
bool ProfileWriteInt(const std::string& file, const std::string& section, const std::string& key, int value);
int ProfileReadInt(const std::string& file, const std::string& section, const std::string& key, int defaultValue);
// Writes "true" or "false".
bool ProfileWriteBool(const std::string& file, const std::string& section, const std::string& key, bool value);
// True when the text starts with a lower-case "t"; a missing key gives the default.
bool ProfileReadBool(const std::string& file, const std::string& section, const std::string& key, bool defaultValue);
// An unset time writes an empty text.
bool ProfileWriteDateTime(const std::string& file, const std::string& section, const std::string& key,
                          const LDateTime& value);
// An empty or missing text gives the default.
LDateTime ProfileReadDateTime(const std::string& file, const std::string& section, const std::string& key,
                              const LDateTime& defaultValue);

// A named lock the program holds for as long as it runs, so that other
// programs can see it running; nothing waits on it. On this platform the
// single running copy is found by other means, so it only keeps its name.
class LSystemLockMutex {
 public:
  explicit LSystemLockMutex(const std::string& name) : name_(name) {}
  LSystemLockMutex(const LSystemLockMutex&) = delete;
  LSystemLockMutex& operator=(const LSystemLockMutex&) = delete;

  void Unlock() {}  // it is never acquired
  const std::string& Name() const { return name_; }

 private:
  std::string name_;
};

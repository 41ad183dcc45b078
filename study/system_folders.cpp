#include "study/system_folders.h"

#include <unistd.h>

#include <algorithm>

#include "framework/settings.h"
#include "lessons/lesson.h"
#include "platform/app_paths.h"
#include "platform/program_start.h"
#include "platform/registry_store.h"

namespace {

constexpr char kFolders[] = "SystemFolders";

}  // namespace

std::string SystemFolderKey(bool lessons, bool tutorMode) {
  return std::string(tutorMode ? "Tutor" : "Student") + (lessons ? "Lessons" : "Recordings");
}

std::string ReadSystemFolder(const std::string& key) {
  bool tutor = key.rfind("Tutor", 0) == 0;
  bool lessons = key.size() >= 7 && key.compare(key.size() - 7, 7, "Lessons") == 0;
  return lessons ? LLesson::GetLessonsFolder(tutor) : LLesson::GetRecordingsFolder(tutor);
}

namespace {
// "/a/b/" and "/a/b" are one folder.
std::string WithoutTrailingSlash(std::string text) {
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}
}  // namespace

bool CheckFolderField(const std::string& key, const std::string& field, std::string* message) {
  const std::string text = WithoutTrailingSlash(field);
  if (text.empty() || text == ReadSystemFolder(key)) return true;
  // The settings store reads back at most 259 bytes: a longer path would silently become the default.
  if (text.size() <= 259 && text.front() == '/' && PlatformMakeFolders(text) && access(text.c_str(), W_OK | X_OK) == 0)
    return true;
  if (message)
    *message =
        "The folder \"" + text + "\" cannot be used: it cannot be created or written.\r\rPlease choose another folder.";
  return false;
}

FolderStore StoreSystemFolder(const std::string& key, const std::string& field, bool* foldersChanged) {
  const std::string text = WithoutTrailingSlash(field);
  std::string before = ReadSystemFolder(key);
  FolderStore result = FolderStore::kUnchanged;
  if (text.empty()) {
    std::string stored;
    if (!RegistryGetValue(RegistryScope::User, std::string(kRegistryProgramKey) + "\\" + kFolders, key, &stored))
      return FolderStore::kUnchanged;
    RegistryDeleteValue(RegistryScope::User, std::string(kRegistryProgramKey) + "\\" + kFolders, key);
    result = FolderStore::kRemoved;
  } else if (text != before) {
    RegSetUserSetting(kFolders, key, text);
    result = FolderStore::kStored;
  }
  if (result != FolderStore::kUnchanged && foldersChanged && ReadSystemFolder(key) != before) *foldersChanged = true;
  return result;
}

int SilenceGapFromText(const std::string& text) {
  long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = std::min<long>(value * 10 + (c - '0'), kMaxSilenceGap);
  }
  return int(value);
}

int ReadSilenceGap(const std::string& key) {
  return std::clamp(RegGetUserSettingInt("Settings", key, kDefaultSilenceGap), 0, kMaxSilenceGap);
}

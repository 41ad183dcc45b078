#include "lessons/sample_lessons.h"

#include <filesystem>
#include <system_error>

#include "framework/settings.h"
#include "lessons/lesson.h"
#include "platform/app_paths.h"
#include "platform/debug_log.h"

namespace fs = std::filesystem;

std::vector<std::string> InstallSampleLessons(const std::string& samplesFolder, const std::string& lessonsFolder) {
  std::vector<std::string> copied;
  std::error_code ec;
  if (!fs::is_directory(samplesFolder, ec) || !fs::is_directory(lessonsFolder, ec)) return copied;
  if (!LLesson::ListLessons(lessonsFolder).empty()) return copied;
  for (const std::string& name : LLesson::ListLessons(samplesFolder)) {
    if (!LLesson::FindLesson(lessonsFolder, name).empty()) continue;
    // A hidden work name first, so a failed copy never looks like a lesson.
    const fs::path work = fs::path(lessonsFolder) / ("." + name + ".part");
    const fs::path target = fs::path(lessonsFolder) / name;
    fs::remove_all(work, ec);
    fs::copy(fs::path(samplesFolder) / name, work, fs::copy_options::recursive, ec);
    if (!ec) fs::rename(work, target, ec);
    if (ec) {
      LDebugLog("InstallSampleLessons %s: %s", name.c_str(), ec.message().c_str());
      fs::remove_all(work, ec);
      continue;
    }
    copied.push_back(name);
  }
  return copied;
}

void OfferSampleLessonsOnce(const std::string& samplesFolder, const std::string& lessonsFolder) {
  if (RegGetUserSettingBool("Settings", "SampleLessonsOffered", false)) return;
  PlatformMakeFolders(lessonsFolder);
  // Offered once the folder holds a lesson: a failed copy is tried again next time.
  if (!InstallSampleLessons(samplesFolder, lessonsFolder).empty() || !LLesson::ListLessons(lessonsFolder).empty())
    RegSetUserSettingBool("Settings", "SampleLessonsOffered", true);
}

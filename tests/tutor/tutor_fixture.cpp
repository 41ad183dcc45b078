#include "tutor_fixture.h"

#include <algorithm>
#include <filesystem>

#include "framework/settings.h"
#include "lessons/lesson.h"
#include "tutor/expression_drop.h"

TutorLessons::TutorLessons() { RegSetUserSetting("SystemFolders", "TutorLessons", folder_.Path()); }

TutorLessons::~TutorLessons() { RegSetUserSetting("SystemFolders", "TutorLessons", ""); }

std::string TutorLessons::MakeLesson(const std::string& name, const std::vector<std::string>& expressions,
                                     const std::vector<int>& orders) {
  std::string lesson;
  LLesson::CreateLesson(folder_.Path(), name, lesson);
  for (size_t i = 0; i < expressions.size(); ++i) {
    std::string record = Record(lesson, expressions[i]);
    ProfileWriteString(record, "raf", "audiotype", "0");
    WriteExpressionOrder(record, i < orders.size() ? orders[i] : int(i));
  }
  return lesson;
}

std::string TutorLessons::Record(const std::string& lessonPath, const std::string& name) {
  return ExpressionRecordPath(lessonPath, name);
}

int TutorLessons::Order(const std::string& lessonPath, const std::string& name) {
  return ReadExpressionOrder(Record(lessonPath, name));
}

std::vector<std::pair<std::string, std::vector<uint8_t>>> TutorLessons::Snapshot(const std::string& lessonPath) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(lessonPath).parent_path()))
    files.emplace_back(entry.path().filename().string(), testsupport::ReadFileBytes(entry.path().string()));
  std::sort(files.begin(), files.end());
  return files;
}

#include "study/lesson_list.h"

#include <strings.h>

#include <algorithm>

#include "framework/settings.h"
#include "lessons/lesson_files.h"

std::string StudyLessonFolder(const std::string& lessonPath) {
  size_t cut = lessonPath.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : lessonPath.substr(0, cut);
}

std::string StudyLessonName(const std::string& lessonPath) {
  size_t cut = lessonPath.find_last_of("\\/");
  std::string name = cut == std::string::npos ? lessonPath : lessonPath.substr(cut + 1);
  size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::vector<StudyExpression> StudyLessonExpressions(const std::string& lessonPath) {
  std::vector<StudyExpression> list;
  if (lessonPath.empty()) return list;
  std::string folder = StudyLessonFolder(lessonPath);
  std::vector<std::string> files = lessonfiles::RecordNames(folder);
  // Name order, without regard to case first so that a lesson copied from
  // Windows with changed letter case keeps its order.
  std::sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
    int c = strcasecmp(a.c_str(), b.c_str());
    return c != 0 ? c < 0 : a < b;
  });
  for (const std::string& file : files) {
    StudyExpression e;
    e.record = folder + "/" + file;
    e.name = file.substr(0, file.size() - 4);
    e.order = ProfileReadInt(e.record, "expression", "order", 0);
    auto at = std::find_if(list.begin(), list.end(), [&](const StudyExpression& x) { return x.order >= e.order; });
    list.insert(at, std::move(e));
  }
  return list;
}

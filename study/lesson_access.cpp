#include "study/lesson_access.h"

#include "framework/settings.h"
#include "lessons/lesson.h"

namespace {

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
  for (size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

bool NeedsQuotes(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '"' || c == '\''; }

}  // namespace

std::string EncodeLessonPassword(const std::string& password) {
  std::string encoded = password;
  for (char& c : encoded) c = char(static_cast<unsigned char>(c) + 1);
  return encoded;
}

std::string ProfileTextFor(const std::string& value) {
  if (value.empty() || (!NeedsQuotes(value.front()) && !NeedsQuotes(value.back()))) return value;
  return "\"" + value + "\"";
}

bool LessonIsProtected(const std::string& lessonPath) {
  return ProfileReadBool(LLesson::ResolveLessonFile(lessonPath), "password", "enabled", false);
}

bool LessonLoginAccepts(const std::string& lessonPath, const std::string& user, const std::string& password) {
  std::string file = LLesson::ResolveLessonFile(lessonPath);
  std::string storedUser = ProfileReadString(file, "user", "name", "");
  std::string storedPassword = ProfileReadString(file, "user", "pw", "");
  return EqualNoCase(user, storedUser) && EqualNoCase(EncodeLessonPassword(password), storedPassword);
}

#include "tutor/lesson_props.h"

#include <cstdlib>

#include "framework/lfile.h"
#include "framework/settings.h"
#include "lessons/lesson.h"
#include "study/lesson_access.h"

namespace {

std::string NameOf(const std::string& lessonPath) {
  std::string title;
  LFile::_GetFileTitleFromPath(title, lessonPath);
  return title;
}

std::string LessonsFolderOf(const std::string& lessonPath) {
  std::string folder, parent;
  LFile::_GetFolderFromPath(folder, lessonPath);
  LFile::_GetFolderFromPath(parent, folder);
  return parent;
}

}  // namespace

LessonProps ReadLessonProps(const std::string& lessonPath) {
  std::string file = LLesson::ResolveLessonFile(lessonPath);
  LessonProps props;
  props.name = NameOf(lessonPath);
  props.mode = ProfileReadInt(file, "study", "mode", 0);
  if (props.mode < 0 || props.mode > 1) props.mode = 0;
  props.protect = ProfileReadBool(file, "password", "enabled", false);
  props.user = ProfileReadString(file, "user", "name", "");
  return props;
}

std::string LessonPropsMessage(LessonPropsError error, const LessonProps& props) {
  switch (error) {
    case LessonPropsError::kNoUser:
      return "Please enter user name for editing this lesson.";
    case LessonPropsError::kNoPassword:
      return "Please enter password for editing this lesson.";
    case LessonPropsError::kNameTaken:
      return "A lesson named \"" + props.name + "\" already exists. Please choose another name.";
    case LessonPropsError::kRenameFailed:
      return "The lesson cannot be renamed to \"" + props.name + "\".";
    case LessonPropsError::kNone:
      break;
  }
  return "";
}

LessonPropsError CheckLessonProps(const std::string& lessonPath, const LessonProps& props) {
  if (props.protect && props.user.empty()) return LessonPropsError::kNoUser;
  if (props.protect && props.password.empty()) return LessonPropsError::kNoPassword;
  std::string clean;
  if (LFile::_GetValidFileName(clean, props.name) && clean != NameOf(lessonPath)) {
    std::string existing = LLesson::FindLesson(LessonsFolderOf(lessonPath), clean);
    // The lesson itself, renamed in letter case only, is no clash.
    std::string own = NameOf(lessonPath);
    if (!existing.empty() && existing != own) return LessonPropsError::kNameTaken;
  }
  return LessonPropsError::kNone;
}

LessonPropsError ApplyLessonProps(std::string& lessonPath, const LessonProps& props) {
  LessonPropsError error = CheckLessonProps(lessonPath, props);
  if (error != LessonPropsError::kNone) return error;
  std::string clean;
  // A name that holds nothing usable keeps the old one, as before.
  if (LFile::_GetValidFileName(clean, props.name) && clean != NameOf(lessonPath)) {
    std::string renamed = lessonPath;
    if (!LLesson::SetName(renamed, clean)) return LessonPropsError::kRenameFailed;
    lessonPath = renamed;
  }
  std::string file = LLesson::ResolveLessonFile(lessonPath);
  ProfileWriteInt(file, "study", "mode", props.mode);
  ProfileWriteBool(file, "password", "enabled", props.protect);
  ProfileWriteString(file, "user", "name", ProfileTextFor(props.user));
  std::string encoded = props.protect ? EncodeLessonPassword(props.password) : std::string();
  ProfileWriteString(file, "user", "pw", ProfileTextFor(encoded));
  return LessonPropsError::kNone;
}

bool ParseNewSampleRate(const std::string& text, int* rate) {
  size_t start = text.find_first_not_of(" \t");
  if (start == std::string::npos) return false;
  const char* begin = text.c_str() + start;
  char* end = nullptr;
  long value = std::strtol(begin, &end, 10);
  if (end == begin || (*end && std::string(end).find_first_not_of(" \t") != std::string::npos)) return false;
  if (value < kMinNewSampleRate || value > kMaxNewSampleRate) return false;
  if (rate) *rate = int(value);
  return true;
}

#include "tutor/lesson_props.h"

#include <cstdlib>

#include "framework/lfile.h"
#include "framework/settings.h"
#include "lessons/lesson.h"
#include "study/lesson_access.h"

namespace {

std::string NameOf(const std::string& lessonPath) {
  std::string title;
  LFile::GetFileTitleFromPath(title, lessonPath);
  return title;
}

std::string LessonsFolderOf(const std::string& lessonPath) {
  std::string folder, parent;
  LFile::GetFolderFromPath(folder, lessonPath);
  LFile::GetFolderFromPath(parent, folder);
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
    case LessonPropsError::kControlCharacter:
      return "The user name and password cannot hold tabs or other control characters.";
    case LessonPropsError::kNameTaken:
      return "A lesson named \"" + props.name + "\" already exists. Please choose another name.";
    case LessonPropsError::kRenameFailed:
      return "The lesson cannot be renamed to \"" + props.name + "\".";
    case LessonPropsError::kWriteFailed:
      return "The lesson's properties could not be saved: its files cannot be written.";
    case LessonPropsError::kNone:
      break;
  }
  return "";
}

LessonPropsError CheckLessonProps(const std::string& lessonPath, const LessonProps& props) {
  if (props.protect && props.user.empty()) return LessonPropsError::kNoUser;
  if (props.protect && props.password.empty()) return LessonPropsError::kNoPassword;
  auto control = [](const std::string& text) {
    for (char c : text)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
  };
  if (props.protect && (control(props.user) || control(props.password))) return LessonPropsError::kControlCharacter;
  std::string clean;
  if (LFile::GetValidFileName(clean, props.name) && clean != NameOf(lessonPath)) {
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
  if (LFile::GetValidFileName(clean, props.name) && clean != NameOf(lessonPath)) {
    std::string renamed = lessonPath;
    if (!LLesson::SetName(renamed, clean)) return LessonPropsError::kRenameFailed;
    lessonPath = renamed;
  }
  std::string file = LLesson::ResolveLessonFile(lessonPath);
  std::string encoded = props.protect ? EncodeLessonPassword(props.password) : std::string();
  auto credentials = [&] {
    std::string oldUser = ProfileReadString(file, "user", "name", "");
    if (!ProfileWriteString(file, "user", "name", ProfileTextFor(props.user))) return false;
    if (ProfileWriteString(file, "user", "pw", ProfileTextFor(encoded))) return true;
    ProfileWriteString(file, "user", "name", ProfileTextFor(oldUser));  // never a new name with the old password
    return false;
  };
  auto protection = [&] { return ProfileWriteBool(file, "password", "enabled", props.protect); };
  // Protection goes on only after its credentials are in, and off before they
  // go, so a write that fails half-way never locks the lesson with a password
  // nobody gave.
  bool written = props.protect ? credentials() && protection() : protection() && credentials();
  if (!written || !ProfileWriteInt(file, "study", "mode", props.mode)) return LessonPropsError::kWriteFailed;
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

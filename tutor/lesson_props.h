#pragma once
// A lesson's properties as the Lesson Properties dialog edits them, checked
// as a whole before anything is written. No widgets here.
#include <string>

struct LessonProps {
  std::string name;  // the lesson's (folder's) name
  int mode = 0;      // default study mode: 0 "Listen All", 1 "Listen then Repeat"
  bool protect = false;
  std::string user;
  std::string password;  // as typed; never read back from the file
};

// What the lesson file holds now (password left empty). An unreadable file
// gives an unprotected lesson with mode 0 and no user name.
LessonProps ReadLessonProps(const std::string& lessonPath);

enum class LessonPropsError { kNone, kNoUser, kNoPassword, kControlCharacter, kNameTaken, kRenameFailed, kWriteFailed };
// The user-facing text of an error ("" for kNone).
std::string LessonPropsMessage(LessonPropsError error, const LessonProps& props);

// Refuses what would leave the lesson half-changed or locked: protection
// without a user name or password, a control character in either (it would
// not survive the lesson file), or a new name another lesson already has.
LessonPropsError CheckLessonProps(const std::string& lessonPath, const LessonProps& props);
// Checks, then renames the lesson (lessonPath follows it) and writes mode,
// protection, user name and encoded password (empty without protection).
// Nothing is written unless the checks pass; kWriteFailed when the lesson
// file refuses a write, which never leaves protection on without credentials.
LessonPropsError ApplyLessonProps(std::string& lessonPath, const LessonProps& props);

// Sample rates a new recording may have.
constexpr int kMinNewSampleRate = 6000;
constexpr int kMaxNewSampleRate = 196000;
// The typed sample rate: a whole signed number within the limits, else false.
bool ParseNewSampleRate(const std::string& text, int* rate);

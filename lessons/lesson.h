#pragma once
// Lessons on disk: {lessons folder}/{name}/{name}.ini plus the expression files.
#include <string>
#include <vector>

// Why a lesson could not be created or renamed.
enum class LLessonError { kNone, kInvalidName, kNameTooLong, kNameInUse, kCannotWrite };

class LLesson {
 public:
  static std::string GetLessonsFolder(bool tutorMode);
  static std::string GetRecordingsFolder(bool tutorMode);
  static std::string GetLessonPath(const std::string& lessonsFolder, const std::string& name);
  static std::vector<std::string> ListLessons(const std::string& lessonsFolder);
  // The existing lesson folder whose name matches without regard to case, or "".
  static std::string FindLesson(const std::string& lessonsFolder, const std::string& name);
  // Whether the lesson path of name stays within the path limit; a longer
  // name would be cut, giving a lesson nobody can delete or rename.
  static bool NameFits(const std::string& lessonsFolder, const std::string& name);
  // The longest lesson name that fits the lessons folder (0: none does).
  static size_t MaxNameChars(const std::string& lessonsFolder);
  // The text the windows show when creating or renaming a lesson failed.
  static std::string ErrorMessage(LLessonError error, const std::string& lessonsFolder);
  static bool CreateLesson(const std::string& lessonsFolder, const std::string& cleanName, std::string& lessonPath,
                           LLessonError* error = nullptr);
  static bool ReplaceLesson(const std::string& lessonsFolder, const std::string& cleanName);
  // Whether lessonPath is laid out as a lesson: {folder}/{name}/{name}.ini.
  // Only such a lesson may be deleted or renamed, which act on its folder.
  static bool IsLessonPath(const std::string& lessonPath);
  static bool DeleteLesson(const std::string& lessonPath);
  static bool SetName(std::string& lessonPath, const std::string& newName, LLessonError* error = nullptr);
  static std::string GetDescription(const std::string& lessonPath);
  // Whether every file of the expression of recordPath, its record and page
  // included, keeps its whole name under newName within the path limit; a
  // longer one would be cut ("X.raf" to "X.ra") and the expression lost.
  static bool ExpressionNameFits(const std::string& recordPath, const std::string& newName);
  static bool RenameExpressionFiles(const std::string& recordPath, const std::string& newName);
  static std::vector<std::string> ListExpressions(const std::string& lessonPath);
  static bool ExpressionExists(const std::string& lessonPath, const std::string& cleanName);
  // The lesson file, found also when a copy from Windows changed its letter case.
  static std::string ResolveLessonFile(const std::string& lessonPath);
};

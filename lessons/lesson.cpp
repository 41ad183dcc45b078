#include "lessons/lesson.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "framework/ldatetime.h"
#include "framework/lfile.h"
#include "framework/settings.h"
#include "lessons/expression_page.h"
#include "lessons/lesson_files.h"
#include "platform/debug_log.h"

namespace {

std::string FolderOf(const std::string& path) {
  std::string out;
  LFile::GetFolderFromPath(out, path);
  return out;
}

// Moves without ever replacing an existing file or folder.
bool MoveNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  struct stat st;
  if (lstat(to.c_str(), &st) == 0) {
    errno = EEXIST;
    return false;
  }
  return rename(from.c_str(), to.c_str()) == 0;
}

std::string DefaultFolder(bool shared, const char* name) {
  std::string folder;
  if (shared)
    LFile::GetSharedProgramDataFolder(folder);
  else
    LFile::GetUserProgramDataFolder(folder);
  LFile::FilePathCat(folder, name);
  mkdir(folder.c_str(), 0755);
  return folder;
}

}  // namespace

std::string LLesson::GetLessonsFolder(bool tutorMode) {
  std::string fallback = DefaultFolder(true, "Lessons");
  return RegGetUserSetting("SystemFolders", tutorMode ? "TutorLessons" : "StudentLessons", fallback);
}

std::string LLesson::GetRecordingsFolder(bool tutorMode) {
  std::string fallback = DefaultFolder(false, "Recordings");
  return RegGetUserSetting("SystemFolders", tutorMode ? "TutorRecordings" : "StudentRecordings", fallback);
}

std::string LLesson::GetLessonPath(const std::string& lessonsFolder, const std::string& name) {
  std::string path = lessonsFolder;
  LFile::FilePathCat(path, name);
  LFile::FilePathCat(path, name, ".ini");
  return path;
}

std::vector<std::string> LLesson::ListLessons(const std::string& lessonsFolder) {
  return lessonfiles::ListEntries(lessonsFolder, true);
}

std::string LLesson::FindLesson(const std::string& lessonsFolder, const std::string& name) {
  for (const std::string& entry : ListLessons(lessonsFolder)) {
    if (lessonfiles::EqualNoCase(entry, name)) return entry;
  }
  return "";
}

std::string LLesson::ResolveLessonFile(const std::string& lessonPath) { return lessonfiles::ResolveCase(lessonPath); }

size_t LLesson::MaxNameChars(const std::string& lessonsFolder) {
  // {folder}/{name}/{name}.ini
  size_t fixed = lessonsFolder.size() + 6;
  if (!lessonsFolder.empty() && LFile::IsSeparator(lessonsFolder.back())) --fixed;
  return fixed >= LFile::kMaxPathChars ? 0 : (LFile::kMaxPathChars - fixed) / 2;
}

bool LLesson::NameFits(const std::string& lessonsFolder, const std::string& name) {
  return name.size() <= MaxNameChars(lessonsFolder);
}

std::string LLesson::ErrorMessage(LLessonError error, const std::string& lessonsFolder) {
  switch (error) {
    case LLessonError::kNone:
      return "";
    case LLessonError::kInvalidName:
      return "The lesson name has no characters a file name can hold. Please enter another name.";
    case LLessonError::kNameTooLong: {
      size_t most = MaxNameChars(lessonsFolder);
      if (most == 0) return "The path of the lessons folder is too long to hold any lesson.";
      return "The lesson name is too long. In this lessons folder a lesson name can have at most " +
             std::to_string(most) + " characters.";
    }
    case LLessonError::kNameInUse:
      return "A lesson of that name already exists. Please enter another name.";
    case LLessonError::kCannotWrite:
      break;
  }
  return "The lesson could not be written to the lessons folder.";
}

bool LLesson::CreateLesson(const std::string& lessonsFolder, const std::string& cleanName, std::string& lessonPath,
                           LLessonError* error) {
  LLessonError failure = LLessonError::kNone;
  if (cleanName.empty()) {
    failure = LLessonError::kInvalidName;
  } else if (!NameFits(lessonsFolder, cleanName)) {
    failure = LLessonError::kNameTooLong;
  } else {
    std::string folder = lessonsFolder;
    LFile::FilePathCat(folder, cleanName);
    std::string path = GetLessonPath(lessonsFolder, cleanName);
    const bool made = mkdir(folder.c_str(), 0755) == 0;
    if ((!made && errno != EEXIST) || !ProfileWriteString(path, "create", "date", LDateTime::Now().GetDateTimeText()) ||
        !lessonfiles::FileExists(path)) {
      if (made) rmdir(folder.c_str());  // no empty folder that reads as a lesson
      failure = LLessonError::kCannotWrite;
    } else {
      ProfileFlush(path);
      lessonPath = path;
    }
  }
  if (error) *error = failure;
  return failure == LLessonError::kNone;
}

bool LLesson::ReplaceLesson(const std::string& lessonsFolder, const std::string& cleanName) {
  std::string existing = FindLesson(lessonsFolder, cleanName);
  if (existing.empty()) return true;
  std::string folder = lessonsFolder;
  LFile::FilePathCat(folder, existing);
  ProfileFlush(GetLessonPath(lessonsFolder, existing));
  return LFile::DeleteFolderAndFiles(folder);
}

bool LLesson::IsLessonPath(const std::string& lessonPath) {
  if (lessonPath.empty()) return false;
  std::string folder = FolderOf(lessonPath), folderName, title, file;
  LFile::GetFileFromPath(folderName, folder);
  LFile::GetFileTitleFromPath(title, lessonPath);
  LFile::GetFileFromPath(file, lessonPath);
  return !folder.empty() && !folderName.empty() && lessonfiles::EqualNoCase(folderName, title) &&
         lessonfiles::EqualNoCase(file, title + ".ini");
}

bool LLesson::DeleteLesson(const std::string& lessonPath) {
  // Only a real lesson folder is emptied: a stray path must never take
  // another folder's files with it.
  if (!IsLessonPath(lessonPath)) return false;
  ProfileFlush(lessonPath);
  return LFile::DeleteFolderAndFiles(FolderOf(lessonPath));
}

bool LLesson::SetName(std::string& lessonPath, const std::string& newName, LLessonError* error) {
  LLessonError failure = LLessonError::kCannotWrite;
  if (error) *error = failure;
  // The rename moves the containing folder: a loose lesson file (say
  // ~/Documents/Greetings.ini) must never move the folder it lies in.
  if (!IsLessonPath(lessonPath)) return false;
  ProfileFlush(lessonPath);
  std::string clean;
  std::string folder = FolderOf(lessonPath);
  std::string parent = FolderOf(folder);
  if (!LFile::GetValidFileName(clean, newName)) {
    failure = LLessonError::kInvalidName;
  } else if (!NameFits(parent, clean)) {
    failure = LLessonError::kNameTooLong;
  } else {
    std::string newFolder = parent;
    LFile::FilePathCat(newFolder, clean);
    if (MoveNoReplace(folder, newFolder)) {
      std::string oldName;
      LFile::GetFileFromPath(oldName, folder);
      std::string oldFile = newFolder;
      LFile::FilePathCat(oldFile, oldName, ".ini");
      std::string newFile = newFolder;
      LFile::FilePathCat(newFile, clean, ".ini");
      if (!MoveNoReplace(lessonfiles::ResolveCase(oldFile), newFile))
        LDebugLog("LLesson::SetName lesson file keeps its old name");
      lessonPath = newFile;
      failure = LLessonError::kNone;
    } else if (errno == EEXIST || errno == ENOTEMPTY) {
      failure = LLessonError::kNameInUse;
    }
  }
  if (error) *error = failure;
  return failure == LLessonError::kNone;
}

std::string LLesson::GetDescription(const std::string& lessonPath) {
  std::string title;
  LFile::GetFileTitleFromPath(title, lessonPath);
  std::string text = "Lesson Name: " + title + "\r\n";
  LDateTime created = ProfileReadDateTime(ResolveLessonFile(lessonPath), "create", "date", LDateTime());
  if (created.IsSet()) {
    std::string date;
    GetDateYYYYHMMHDDTimeHHCMM(created, &date, nullptr);
    text += "Create Date: " + date + "\r\n";
  }
  text += "Expression(s): \r\n";
  for (const std::string& record : ListExpressions(lessonPath))
    text += "   " + record.substr(0, record.size() - 4) + "\r\n";
  return text;
}

std::vector<std::string> LLesson::ListExpressions(const std::string& lessonPath) {
  return lessonfiles::RecordNames(FolderOf(lessonPath));
}

bool LLesson::ExpressionExists(const std::string& lessonPath, const std::string& cleanName) {
  for (const std::string& record : ListExpressions(lessonPath)) {
    if (lessonfiles::EqualNoCase(record, cleanName + ".raf")) return true;
  }
  return false;
}

bool LLesson::ExpressionNameFits(const std::string& recordPath, const std::string& newName) {
  std::string folder = FolderOf(recordPath), stem;
  LFile::GetFileTitleFromPath(stem, recordPath);
  size_t longestExt = 4;  // ".raf", ".htm"
  for (const std::string& file : lessonfiles::ExpressionFiles(folder.empty() ? "." : folder, stem)) {
    std::string name;
    LFile::GetFileFromPath(name, file);
    longestExt = std::max(longestExt, name.size() - stem.size());
  }
  return folder.size() + 1 + newName.size() + longestExt <= LFile::kMaxPathChars;
}

bool LLesson::RenameExpressionFiles(const std::string& recordPath, const std::string& newName) {
  if (!ExpressionNameFits(recordPath, newName)) return false;
  ProfileFlush(recordPath);
  std::string folder = FolderOf(recordPath), stem;
  LFile::GetFileTitleFromPath(stem, recordPath);
  std::vector<std::string> files = lessonfiles::ExpressionFiles(folder, stem);
  std::vector<std::pair<std::string, std::string>> moved;
  std::vector<std::string> pages;
  for (const std::string& file : files) {
    std::string name;
    LFile::GetFileFromPath(name, file);
    std::string ext = name.substr(stem.size());
    if (lessonfiles::EqualNoCase(ext, ".htm")) {
      pages.push_back(file);
      continue;
    }
    std::string target = folder;
    LFile::FilePathCat(target, newName + ext);
    if (!MoveNoReplace(file, target)) {
      // Undo, so every file stays reachable under the old name.
      for (auto it = moved.rbegin(); it != moved.rend(); ++it) rename(it->second.c_str(), it->first.c_str());
      return false;
    }
    moved.emplace_back(file, target);
  }
  for (const std::string& page : pages) unlink(page.c_str());
  std::string newRecord = folder;
  LFile::FilePathCat(newRecord, newName, ".raf");
  std::string newPage = folder;
  LFile::FilePathCat(newPage, newName, ".htm");
  WriteExpressionPage(newRecord, newPage, true);
  ProfileFlush(newRecord);
  return true;
}

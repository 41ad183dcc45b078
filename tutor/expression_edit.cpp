#include "tutor/expression_edit.h"

#include "framework/lfile.h"
#include "lessons/lesson.h"
#include "lessons/lesson_files.h"
#include "lessons/rich_audio_file.h"

namespace {

std::string FolderOf(const std::string& path) {
  std::string folder;
  LFile::GetFolderFromPath(folder, path);
  return folder;
}

}  // namespace

NewExpressionResult CreateExpression(const std::string& lessonPath, std::string& recordPath) {
  recordPath.clear();
  if (lessonPath.empty()) return NewExpressionResult::kFailed;
  std::string folder = FolderOf(lessonPath) + "/";
  if (LRichAudioFile::New(recordPath, folder, kNewExpressionBase) && lessonfiles::FileExists(recordPath))
    return NewExpressionResult::kDone;
  recordPath.clear();
  if (!LRichAudioFile::IsNameAvailable(folder, kNewExpressionBase)) {
    for (int n = 2; n < LRichAudioFile::kMaxNameNumber; ++n)
      if (LRichAudioFile::IsNameAvailable(folder, std::string(kNewExpressionBase) + " " + std::to_string(n)))
        return NewExpressionResult::kFailed;
    return NewExpressionResult::kNoFreeName;
  }
  return NewExpressionResult::kFailed;
}

RenameOutcome RenameExpression(const std::string& recordPath, const std::string& text) {
  RenameOutcome out;
  if (recordPath.empty()) {
    out.result = RenameResult::kNoRecord;
    return out;
  }
  std::string clean;
  LFile::GetValidFileName(clean, text);
  // Blanks around a typed name are never meant: " Merci ?" is Merci.
  size_t first = clean.find_first_not_of(' '), last = clean.find_last_not_of(' ');
  clean = first == std::string::npos ? "" : clean.substr(first, last - first + 1);
  if (clean.empty()) {
    out.result = RenameResult::kNameInvalid;
    return out;
  }
  if (!LLesson::ExpressionNameFits(recordPath, clean)) {
    out.result = RenameResult::kTooLong;
    return out;
  }
  std::string folder = FolderOf(recordPath);
  for (const std::string& record : lessonfiles::RecordNames(folder)) {
    if (lessonfiles::EqualNoCase(record, clean + ".raf")) {
      out.result = RenameResult::kExists;
      return out;
    }
  }
  if (LLesson::RenameExpressionFiles(recordPath, clean)) {
    out.result = RenameResult::kDone;
    out.newRecord = folder;
    LFile::FilePathCat(out.newRecord, clean, ".raf");
    return out;
  }
  // Nothing was renamed: find the file that stands where one would go.
  std::string stem;
  LFile::GetFileTitleFromPath(stem, recordPath);
  for (const std::string& file : lessonfiles::ExpressionFiles(folder, stem)) {
    std::string name, ext;
    LFile::GetFileFromPath(name, file);
    ext = name.substr(stem.size());
    std::string target = folder;
    LFile::FilePathCat(target, clean + ext);
    if (!lessonfiles::EqualNoCase(ext, ".htm") && lessonfiles::FileExists(target)) {
      out.result = RenameResult::kBlocked;
      out.blockingFile = clean + ext;
      return out;
    }
  }
  out.result = RenameResult::kFailed;
  return out;
}

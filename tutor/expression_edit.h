#pragma once
// Creating and renaming expressions of a lesson, with the checks and the
// reasons the tutor window tells the tutor.
#include <string>

// The base name of new expressions and how many numbered names are tried.
constexpr char kNewExpressionBase[] = "Expression";

enum class NewExpressionResult { kDone, kNoFreeName, kFailed };
// Creates the record of the first free name "Expression", "Expression 2", ...
NewExpressionResult CreateExpression(const std::string& lessonPath, std::string& recordPath);

enum class RenameResult { kDone, kNoRecord, kNameInvalid, kTooLong, kExists, kBlocked, kFailed };
struct RenameOutcome {
  RenameResult result = RenameResult::kFailed;
  std::string newRecord;     // kDone
  std::string blockingFile;  // kBlocked: the file that stands where one would go
};
// Renames every file of the expression of recordPath to the cleaned text.
// Refuses a name of no usable characters and any existing expression's name
// in any letter case, its own included.
RenameOutcome RenameExpression(const std::string& recordPath, const std::string& text);

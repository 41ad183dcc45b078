// New names and renames on real lesson folders; drops are tested through the window.
#include <gtest/gtest.h>

#include "framework/lfile.h"
#include "lessons/lesson_files.h"
#include "lessons/rich_audio_file.h"
#include "tutor/expression_edit.h"
#include "tutor_fixture.h"

// Refused renames, and one blocked by a stray file that names it, move
// nothing. An expression may carry the lesson's own name; its files are never
// the lesson file. New expressions take the first free number.
TEST(ExpressionEdit, RenamesAndNewNamesKeepEveryOtherFileAndTheLessonFile) {
  TutorLessons lessons;
  std::string lesson =
      lessons.MakeLesson("Greetings", {"Bonjour", "Merci", "greetings", "Expression", "Expression 2", "expression 4"});
  auto lessonBytes = testsupport::ReadFileBytes(lesson);
  std::string folder = lesson.substr(0, lesson.rfind('/'));
  std::string record = ExpressionRecordPath(lesson, "Bonjour");
  LRichAudioFile::WriteExplanation(record, "hello");
  testsupport::WriteFileText(folder + "/Bonjour.jpeg", "picture");  // the longest extension
  testsupport::WriteFileText(folder + "/Salut.scp", "someone else's");
  auto before = TutorLessons::Snapshot(lesson);
  for (const char* name : {"Bonjour", "BONJOUR", "merci", " Merci ?"})
    EXPECT_EQ(RenameExpression(record, name).result, RenameResult::kExists) << name;
  EXPECT_EQ(RenameExpression(record, "..").result, RenameResult::kNameInvalid);
  RenameOutcome blocked = RenameExpression(record, "Salut");
  EXPECT_EQ(blocked.result, RenameResult::kBlocked);
  EXPECT_EQ(blocked.blockingFile, "Salut.scp");
  // One more character would cut "x.jpeg" to "x.jpe" at the path limit.
  const size_t fits = LFile::kMaxPathChars - folder.size() - 1 - 5;
  EXPECT_EQ(RenameExpression(record, std::string(fits + 1, 'x')).result, RenameResult::kTooLong);
  EXPECT_EQ(TutorLessons::Snapshot(lesson), before);
  ASSERT_EQ(RenameExpression(record, std::string(fits, 'x')).result, RenameResult::kDone);
  for (const char* ext : {".raf", ".scp", ".jpeg"})
    EXPECT_TRUE(lessonfiles::FileExists(folder + "/" + std::string(fits, 'x') + ext)) << ext;
  RenameOutcome outcome = RenameExpression(ExpressionRecordPath(lesson, "greetings"), "Hello");
  ASSERT_EQ(outcome.result, RenameResult::kDone);
  EXPECT_EQ(testsupport::ReadFileBytes(lesson), lessonBytes);
  EXPECT_TRUE(lessonfiles::FileExists(outcome.newRecord));
  ASSERT_EQ(RenameExpression(outcome.newRecord, "Greetings").result, RenameResult::kDone);
  record = ExpressionRecordPath(lesson, "Greetings");
  LRichAudioFile::Delete(record);
  EXPECT_FALSE(lessonfiles::FileExists(ExpressionRecordPath(lesson, "Greetings")));
  EXPECT_EQ(testsupport::ReadFileBytes(lesson), lessonBytes);
  // New expressions take the first free number and say when none is left.
  ASSERT_EQ(CreateExpression(lesson, record), NewExpressionResult::kDone);
  EXPECT_EQ(record, ExpressionRecordPath(lesson, "Expression 3"));
  for (int n = 5; n < LRichAudioFile::kMaxNameNumber; ++n)
    ASSERT_EQ(CreateExpression(lesson, record), NewExpressionResult::kDone) << n;
  EXPECT_EQ(CreateExpression(lesson, record), NewExpressionResult::kNoFreeName);
  EXPECT_TRUE(record.empty());
}

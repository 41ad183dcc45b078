// New names and renames on real lesson folders; drops are tested through the window.
#include <gtest/gtest.h>

#include "framework/lfile.h"
#include "lessons/lesson_files.h"
#include "lessons/rich_audio_file.h"
#include "tutor/expression_edit.h"
#include "tutor_fixture.h"

TEST(ExpressionEdit, NewExpressionsTakeTheFirstFreeNumberAndSayWhenNoneIsLeft) {
  TutorLessons lessons;
  std::string lesson = lessons.MakeLesson("Names", {"Expression", "Expression 2", "expression 4"});
  std::string record;
  ASSERT_EQ(CreateExpression(lesson, record), NewExpressionResult::kDone);
  EXPECT_EQ(record, TutorLessons::Record(lesson, "Expression 3"));
  for (int n = 5; n < LRichAudioFile::kMaxNameNumber; ++n)
    ASSERT_EQ(CreateExpression(lesson, record), NewExpressionResult::kDone) << n;
  EXPECT_EQ(CreateExpression(lesson, record), NewExpressionResult::kNoFreeName);
  EXPECT_TRUE(record.empty());
}

TEST(ExpressionEdit, RenameRefusesExistingAndTooLongNamesAndLeavesEveryByte) {
  TutorLessons lessons;
  std::string lesson = lessons.MakeLesson("Rename", {"Bonjour", "Merci"});
  std::string folder = lesson.substr(0, lesson.rfind('/'));
  LRichAudioFile::WriteExplanation(TutorLessons::Record(lesson, "Bonjour"), "hello");
  testsupport::WriteFileText(folder + "/Bonjour.jpeg", "picture");  // the longest extension
  auto before = TutorLessons::Snapshot(lesson);
  for (const char* name : {"Bonjour", "BONJOUR", "merci", " Merci ?"})
    EXPECT_EQ(RenameExpression(TutorLessons::Record(lesson, "Bonjour"), name).result, RenameResult::kExists) << name;
  EXPECT_EQ(RenameExpression(TutorLessons::Record(lesson, "Bonjour"), "..").result, RenameResult::kNameInvalid);
  // One more character would cut "x.jpeg" to "x.jpe" at the path limit.
  const size_t fits = LFile::kMaxPathChars - folder.size() - 1 - 5;
  EXPECT_EQ(RenameExpression(TutorLessons::Record(lesson, "Bonjour"), std::string(fits + 1, 'x')).result,
            RenameResult::kTooLong);
  EXPECT_EQ(TutorLessons::Snapshot(lesson), before);
  RenameOutcome done = RenameExpression(TutorLessons::Record(lesson, "Bonjour"), std::string(fits, 'x'));
  ASSERT_EQ(done.result, RenameResult::kDone);
  for (const char* ext : {".raf", ".scp", ".jpeg"})
    EXPECT_TRUE(lessonfiles::FileExists(folder + "/" + std::string(fits, 'x') + ext)) << ext;
}

TEST(ExpressionEdit, RenameBlockedByAStrayFileNamesItAndMovesNothing) {
  TutorLessons lessons;
  std::string lesson = lessons.MakeLesson("Stray", {"Bonjour"});
  LRichAudioFile::WriteExplanation(TutorLessons::Record(lesson, "Bonjour"), "hello");
  std::string folder = lesson.substr(0, lesson.rfind('/'));
  testsupport::WriteFileText(folder + "/Salut.scp", "someone else's");
  auto before = TutorLessons::Snapshot(lesson);
  RenameOutcome outcome = RenameExpression(TutorLessons::Record(lesson, "Bonjour"), "Salut");
  EXPECT_EQ(outcome.result, RenameResult::kBlocked);
  EXPECT_EQ(outcome.blockingFile, "Salut.scp");
  EXPECT_EQ(TutorLessons::Snapshot(lesson), before);
}

// An expression may carry the lesson's own name; its files are never the lesson file.
TEST(ExpressionEdit, TheLessonFileSurvivesAnExpressionNamedLikeTheLesson) {
  TutorLessons lessons;
  std::string lesson = lessons.MakeLesson("Greetings", {"greetings", "Other"});
  auto lessonBytes = testsupport::ReadFileBytes(lesson);
  RenameOutcome outcome = RenameExpression(TutorLessons::Record(lesson, "greetings"), "Hello");
  ASSERT_EQ(outcome.result, RenameResult::kDone);
  EXPECT_EQ(testsupport::ReadFileBytes(lesson), lessonBytes);
  EXPECT_TRUE(lessonfiles::FileExists(outcome.newRecord));
  ASSERT_EQ(RenameExpression(outcome.newRecord, "Greetings").result, RenameResult::kDone);
  std::string record = TutorLessons::Record(lesson, "Greetings");
  LRichAudioFile::Delete(record);
  EXPECT_FALSE(lessonfiles::FileExists(TutorLessons::Record(lesson, "Greetings")));
  EXPECT_EQ(testsupport::ReadFileBytes(lesson), lessonBytes);
}

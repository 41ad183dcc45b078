// The lesson list: order, ties, and lessons written on Windows.
#include "study/lesson_list.h"

#include <gtest/gtest.h>

#include "lessons/rich_audio_file.h"
#include "tests/study/study_fixture.h"

using namespace studytest;

namespace {
std::vector<std::string> Names(const std::string& lessonPath) {
  std::vector<std::string> out;
  for (const auto& e : StudyLessonExpressions(lessonPath)) out.push_back(e.name);
  return out;
}
}  // namespace

TEST(StudyLessonExpressions, AscendingOrderWithTiesAlikeOnEveryMachine) {
  Lesson lesson("Order");
  // Created in an order no file system keeps: ties must not depend on it.
  for (auto [name, order] :
       std::vector<std::pair<std::string, int>>{{"m", 2}, {"b", 1}, {"z", 1}, {"a", 3}, {"k", 1}, {"c", -4}})
    ASSERT_TRUE(lesson.Add(name, order, kAudioTypeWav, {}));
  // Ties are found in name order and each stands before the earlier found.
  EXPECT_EQ(Names(lesson.Path()), (std::vector<std::string>{"c", "z", "k", "b", "m", "a"}));
  EXPECT_TRUE(StudyLessonExpressions("").empty());
}

TEST(StudyLessonExpressions, ALessonMadeOnWindows) {
  Lesson lesson("Windows");
  ASSERT_TRUE(testsupport::WriteFileText(lesson.Folder() + "/HELLO.RAF",
                                         "[raf]\r\naudiotype=0\r\n[expression]\r\norder=1\r\n"));
  ASSERT_TRUE(testsupport::WriteFileText(lesson.Folder() + "/Bye.Raf", "[expression]\r\norder=1\r\n"));
  ASSERT_TRUE(testsupport::WriteFileText(lesson.Folder() + "/first.raf", "[expression]\r\norder = 0\r\n"));
  EXPECT_EQ(Names(lesson.Path()), (std::vector<std::string>{"first", "HELLO", "Bye"}));
  EXPECT_EQ(StudyLessonName(lesson.Path()), "Windows");
}

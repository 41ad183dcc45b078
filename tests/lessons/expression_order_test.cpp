// A lesson's expressions in study order: by `order`, ties alike on every
// machine, and lessons written on Windows.
#include "lessons/expression_order.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace {

std::vector<std::string> Names(const std::string& lessonPath) {
  std::vector<std::string> out;
  for (const auto& e : ListExpressionsInOrder(lessonPath)) out.push_back(e.name);
  return out;
}

void Record(const testsupport::TempFolder& lesson, const std::string& file, const std::string& order) {
  ASSERT_TRUE(testsupport::WriteFileText(lesson.File(file), "[raf]\r\naudiotype=0\r\n[expression]\r\norder" + order));
}

}  // namespace

TEST(ListExpressionsInOrder, AscendingOrderWithTiesAlikeOnEveryMachine) {
  testsupport::TempFolder lesson;
  // Created in an order no file system keeps: ties must not depend on it.
  for (auto [name, order] :
       std::vector<std::pair<std::string, int>>{{"m", 2}, {"b", 1}, {"z", 1}, {"a", 3}, {"k", 1}, {"c", -4}})
    Record(lesson, name + ".raf", "=" + std::to_string(order) + "\r\n");
  // Ties are found in name order and each stands before the earlier found.
  EXPECT_EQ(Names(lesson.File("x.ini")), (std::vector<std::string>{"c", "z", "k", "b", "m", "a"}));
  EXPECT_TRUE(ListExpressionsInOrder("").empty());
}

TEST(ListExpressionsInOrder, ALessonMadeOnWindows) {
  testsupport::TempFolder lesson;
  Record(lesson, "HELLO.RAF", "=1\r\n");
  Record(lesson, "Bye.Raf", "=1\r\n");
  Record(lesson, "first.raf", " = 0\r\n");
  Record(lesson, "notes.txt", "=-9\r\n");
  auto list = ListExpressionsInOrder(lesson.File("x.ini"));
  EXPECT_EQ(Names(lesson.File("x.ini")), (std::vector<std::string>{"first", "HELLO", "Bye"}));
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[1].record, lesson.File("HELLO.RAF"));
}

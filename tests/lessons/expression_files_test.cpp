#include "lessons/expression_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/test_support.h"

namespace {

using testsupport::TempFolder;
using testsupport::WriteFileText;

TEST(ExpressionFiles, ExactNameWinsOverCaseVariants) {
  TempFolder temp;
  ASSERT_TRUE(WriteFileText(temp.File("Hello.wav"), "upper"));
  ASSERT_TRUE(WriteFileText(temp.File("hello.wav"), "lower"));
  EXPECT_EQ(FindExpressionFile(temp.Path(), "Hello.wav"), temp.File("Hello.wav"));
  EXPECT_EQ(FindExpressionFile(temp.Path(), "hello.wav"), temp.File("hello.wav"));
  EXPECT_EQ(FindExpressionFile(temp.Path(), "HELLO.wav"), temp.File("Hello.wav"));  // first in name order
}

TEST(ExpressionFiles, FindsFilesCopiedFromCaseBlindSystems) {
  TempFolder temp;
  ASSERT_TRUE(WriteFileText(temp.File("\xC3\x89T\xC3\x89.WAV"), "x"));  // "ÉTÉ.WAV"
  EXPECT_EQ(FindExpressionFile(temp.Path(), "\xC3\xA9t\xC3\xA9.wav"), temp.File("\xC3\x89T\xC3\x89.WAV"));
  ASSERT_TRUE(WriteFileText(temp.File("a[1]*?.RAF"), "x"));
  EXPECT_EQ(FindExpressionFile(temp.Path(), "A[1]*?.raf"), temp.File("a[1]*?.RAF"));
}

TEST(ExpressionFiles, LookAlikesAndFoldersAreNotFound) {
  TempFolder temp;
  ASSERT_TRUE(WriteFileText(temp.File("Hello world.wav"), "x"));
  ASSERT_EQ(mkdir(temp.File("hello.wav").c_str(), 0755), 0);
  EXPECT_EQ(FindExpressionFile(temp.Path(), "Hello.wav"), "");
  EXPECT_EQ(FindExpressionFile(temp.Path(), "H?llo world.wav"), "");
  EXPECT_EQ(FindExpressionFile(temp.File("missing folder"), "Hello.wav"), "");
}

}  // namespace

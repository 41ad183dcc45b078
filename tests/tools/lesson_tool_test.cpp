// orativo-lesson on real folders: what it writes, and that bad input changes nothing.
#include <gtest/gtest.h>

#include <filesystem>

#include "lessons/lesson.h"
#include "lessons/sample_lessons.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;
using testsupport::Snapshot;
using testsupport::TempFolder;

namespace {

int Tool(const std::vector<std::string>& arguments, std::string* output = nullptr) {
  return testsupport::RunTool("orativo-lesson", arguments, output);
}

class LessonTool : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_COMMAND("espeak-ng");
    fs::create_directories(lessons_);
    fs::create_directories(media_);
    for (const char* word : {"uno", "dos", "tres"})
      ASSERT_EQ(0, testsupport::RunCommand("espeak-ng -v es -w '" + media_ + "/" + word + ".wav' " + word));
    ASSERT_EQ(0, Tool({"new", "Numbers", "--folder", lessons_}));
  }

  TempFolder folder_;
  std::string lessons_ = folder_.File("lessons"), media_ = folder_.File("media"), lesson_ = lessons_ + "/Numbers";
};

TEST_F(LessonTool, ImportTakesFilesInNameOrderWithTheirTextAndShowsThem) {
  testsupport::WriteFileText(media_ + "/dos.txt", "two");
  ASSERT_EQ(0, Tool({"import", lesson_, media_}));
  std::string shown;
  EXPECT_EQ(0, Tool({"show", lesson_}, &shown));
  size_t dos = shown.find("dos"), tres = shown.find("tres"), uno = shown.find("uno");
  ASSERT_NE(std::string::npos, uno);
  EXPECT_LT(dos, tres);
  EXPECT_LT(tres, uno);
  EXPECT_NE(std::string::npos, shown.find("\"two\""));
  EXPECT_EQ(0, Tool({"check", lesson_}));
}

TEST_F(LessonTool, BadInputChangesNothing) {
  ASSERT_EQ(0, Tool({"add", lesson_, media_ + "/uno.wav"}));
  testsupport::WriteFileText(media_ + "/broken.wav", "RIFF but not really");
  const auto before = Snapshot(lessons_);
  EXPECT_NE(0, Tool({"import", lesson_, media_}));            // one damaged file: nothing imported
  EXPECT_NE(0, Tool({"add", lesson_, media_ + "/uno.wav"}));  // name taken
  EXPECT_NE(0, Tool({"add", lesson_, media_ + "/dos.wav", "--image", media_ + "/none.png"}));
  EXPECT_NE(0, Tool({"add", lesson_, media_ + "/dos.wav", "--name", "***"}));
  EXPECT_NE(0, Tool({"add", lesson_, media_ + "/broken.wav"}));
  EXPECT_NE(0, Tool({"add", lessons_ + "/Missing", media_ + "/dos.wav"}));
  EXPECT_NE(0, Tool({"new", "Numbers", "--folder", lessons_}));
  EXPECT_EQ(before, Snapshot(lessons_));
}

TEST_F(LessonTool, CheckNamesDamagedAndMissingAudio) {
  fs::remove(media_ + "/tres.wav");
  ASSERT_EQ(0, Tool({"import", lesson_, media_}));
  EXPECT_EQ(0, Tool({"check", lesson_}));
  testsupport::WriteFileText(lesson_ + "/dos.wav", "RIFF");
  fs::resize_file(lesson_ + "/uno.wav", fs::file_size(lesson_ + "/uno.wav") / 2);  // a copy cut off
  std::string report;
  EXPECT_NE(0, Tool({"check", lesson_}, &report));
  EXPECT_NE(std::string::npos, report.find("dos:"));
  EXPECT_NE(std::string::npos, report.find("uno:"));
}

TEST(SampleLesson, CopiedOnceIntoAnEmptyFolderAndNeverOverALesson) {
  EXPECT_EQ(0, Tool({"check", std::string(ORATIVO_SAMPLES) + "/First Steps"})) << "the built sample";
  TempFolder folder;
  const std::string lessons = folder.File("lessons"), other = folder.File("other");
  fs::create_directories(lessons);
  fs::create_directories(other + "/first steps");
  testsupport::WriteFileText(other + "/first steps/first steps.ini", "[create]\r\n");
  // A folder with a lesson of the same name (another letter case) keeps it.
  EXPECT_TRUE(InstallSampleLessons(ORATIVO_SAMPLES, other).empty());
  EXPECT_EQ(1u, LLesson::ListLessons(other).size());

  OfferSampleLessonsOnce(ORATIVO_SAMPLES, lessons);
  ASSERT_EQ(std::vector<std::string>{"First Steps"}, LLesson::ListLessons(lessons));
  EXPECT_EQ(0, Tool({"check", lessons + "/First Steps"}));
  fs::remove_all(lessons + "/First Steps");
  OfferSampleLessonsOnce(ORATIVO_SAMPLES, lessons);  // the second start
  EXPECT_TRUE(LLesson::ListLessons(lessons).empty());
}

}  // namespace

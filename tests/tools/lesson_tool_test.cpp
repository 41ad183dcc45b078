// orativo-lesson on real folders: what it writes, and that bad input changes nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "framework/settings.h"
#include "lessons/lesson.h"
#include "lessons/sample_lessons.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;
using testsupport::CommandOutput;
using testsupport::RunCommand;
using testsupport::TempFolder;

namespace {

std::string Q(const std::string& s) { return "'" + s + "'"; }

int Tool(const std::string& arguments) {
  return RunCommand(Q(testsupport::ToolPath("orativo-lesson")) + " " + arguments + " >/dev/null 2>&1");
}

// Every file of a folder with its bytes, to show that nothing changed.
std::map<std::string, std::vector<uint8_t>> Snapshot(const std::string& folder) {
  std::map<std::string, std::vector<uint8_t>> files;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.is_regular_file()) files[e.path().string()] = testsupport::ReadFileBytes(e.path().string());
  return files;
}

class LessonTool : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_COMMAND("espeak-ng");
    lessons_ = folder_.File("lessons");
    fs::create_directories(lessons_);
    media_ = folder_.File("media");
    fs::create_directories(media_);
    for (const char* word : {"uno", "dos", "tres"})
      ASSERT_EQ(0, RunCommand("espeak-ng -v es -w " + Q(media_ + "/" + word + ".wav") + " " + word));
    ASSERT_EQ(0, Tool("new Numbers --folder " + Q(lessons_)));
    lesson_ = lessons_ + "/Numbers";
  }

  TempFolder folder_;
  std::string lessons_, media_, lesson_;
};

TEST_F(LessonTool, ImportTakesFilesInNameOrderWithTheirTextAndShowsThem) {
  testsupport::WriteFileText(media_ + "/dos.txt", "two");
  ASSERT_EQ(0, Tool("import " + Q(lesson_) + " " + Q(media_)));
  std::string shown = CommandOutput(Q(testsupport::ToolPath("orativo-lesson")) + " show " + Q(lesson_));
  size_t dos = shown.find("dos"), tres = shown.find("tres"), uno = shown.find("uno");
  ASSERT_NE(std::string::npos, uno);
  EXPECT_LT(dos, tres);
  EXPECT_LT(tres, uno);
  EXPECT_NE(std::string::npos, shown.find("\"two\""));
  EXPECT_EQ(0, Tool("check " + Q(lesson_)));
}

TEST_F(LessonTool, BadInputChangesNothing) {
  ASSERT_EQ(0, Tool("add " + Q(lesson_) + " " + Q(media_ + "/uno.wav")));
  testsupport::WriteFileText(media_ + "/broken.wav", "RIFF but not really");
  const auto before = Snapshot(lessons_);
  EXPECT_NE(0, Tool("import " + Q(lesson_) + " " + Q(media_)));            // one damaged file: nothing imported
  EXPECT_NE(0, Tool("add " + Q(lesson_) + " " + Q(media_ + "/uno.wav")));  // name taken
  EXPECT_NE(0, Tool("add " + Q(lesson_) + " " + Q(media_ + "/dos.wav") + " --image " + Q(media_ + "/none.png")));
  EXPECT_NE(0, Tool("add " + Q(lesson_) + " " + Q(media_ + "/dos.wav") + " --name '***'"));
  EXPECT_NE(0, Tool("add " + Q(lesson_) + " " + Q(media_ + "/broken.wav")));
  EXPECT_NE(0, Tool("add " + Q(lessons_ + "/Missing") + " " + Q(media_ + "/dos.wav")));
  EXPECT_NE(0, Tool("new Numbers --folder " + Q(lessons_)));
  EXPECT_EQ(before, Snapshot(lessons_));
}

TEST_F(LessonTool, CheckNamesDamagedAndMissingAudio) {
  fs::remove(media_ + "/tres.wav");
  ASSERT_EQ(0, Tool("import " + Q(lesson_) + " " + Q(media_)));
  EXPECT_EQ(0, Tool("check " + Q(lesson_)));
  testsupport::WriteFileText(lesson_ + "/dos.wav", "RIFF");
  fs::resize_file(lesson_ + "/uno.wav", fs::file_size(lesson_ + "/uno.wav") / 2);  // a copy cut off
  std::string report = CommandOutput(Q(testsupport::ToolPath("orativo-lesson")) + " check " + Q(lesson_));
  EXPECT_NE(std::string::npos, report.find("dos:"));
  EXPECT_NE(std::string::npos, report.find("uno:"));
  EXPECT_NE(0, Tool("check " + Q(lesson_)));
}

TEST(SampleLesson, BuiltLessonPassesCheck) {
  EXPECT_EQ(0, Tool("check " + Q(std::string(ORATIVO_SAMPLES) + "/First Steps")));
}

TEST(SampleLesson, CopiedOnceIntoAnEmptyFolderAndNeverOverALesson) {
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
  EXPECT_EQ(0, Tool("check " + Q(lessons + "/First Steps")));
  fs::remove_all(lessons + "/First Steps");
  OfferSampleLessonsOnce(ORATIVO_SAMPLES, lessons);  // the second start
  EXPECT_TRUE(LLesson::ListLessons(lessons).empty());
}

}  // namespace

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

// Bad input changes nothing (one damaged file: nothing imported); an import
// takes the files in name order with their text; check names damaged and
// cut-off audio.
TEST(LessonTool, BadInputChangesNothingImportShowAndCheck) {
  REQUIRE_COMMAND("espeak-ng");
  TempFolder folder;
  const std::string lessons = folder.File("lessons"), media = folder.File("media"), lesson = lessons + "/Numbers";
  for (const std::string& made : {lessons, media}) fs::create_directories(made);
  for (const char* word : {"uno", "dos", "tres"})
    ASSERT_EQ(0, testsupport::RunCommand("espeak-ng -v es -w '" + media + "/" + word + ".wav' " + word));
  ASSERT_EQ(0, Tool({"new", "Numbers", "--folder", lessons}));
  ASSERT_EQ(0, Tool({"add", lesson, media + "/uno.wav"}));
  testsupport::WriteFileText(media + "/broken.wav", "RIFF but not really");
  const auto before = Snapshot(lessons);
  EXPECT_NE(0, Tool({"import", lesson, media}));            // one damaged file: nothing imported
  EXPECT_NE(0, Tool({"add", lesson, media + "/uno.wav"}));  // name taken
  EXPECT_NE(0, Tool({"add", lesson, media + "/dos.wav", "--image", media + "/none.png"}));
  EXPECT_NE(0, Tool({"add", lesson, media + "/dos.wav", "--name", "***"}));
  EXPECT_NE(0, Tool({"add", lesson, media + "/broken.wav"}));
  EXPECT_NE(0, Tool({"add", lessons + "/Missing", media + "/dos.wav"}));
  EXPECT_NE(0, Tool({"new", "Numbers", "--folder", lessons}));
  EXPECT_EQ(before, Snapshot(lessons));

  fs::remove(media + "/broken.wav");
  testsupport::WriteFileText(media + "/dos.txt", "two");
  const std::string other = lessons + "/Other";
  ASSERT_EQ(0, Tool({"new", "Other", "--folder", lessons}));
  ASSERT_EQ(0, Tool({"import", other, media}));
  std::string shown;
  EXPECT_EQ(0, Tool({"show", other}, &shown));
  size_t dos = shown.find("dos"), tres = shown.find("tres"), uno = shown.find("uno");
  EXPECT_TRUE(dos < tres && tres < uno && uno != std::string::npos) << shown;
  EXPECT_NE(std::string::npos, shown.find("\"two\""));
  EXPECT_EQ(0, Tool({"check", other}));
  testsupport::WriteFileText(other + "/dos.wav", "RIFF");
  fs::resize_file(other + "/uno.wav", fs::file_size(other + "/uno.wav") / 2);  // a copy cut off
  std::string report;
  EXPECT_NE(0, Tool({"check", other}, &report));
  EXPECT_TRUE(report.find("dos:") != std::string::npos && report.find("uno:") != std::string::npos) << report;
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
  EXPECT_EQ(0, Tool({"check", lessons + "/First Steps"})) << "the built sample, as copied";
  fs::remove_all(lessons + "/First Steps");
  OfferSampleLessonsOnce(ORATIVO_SAMPLES, lessons);  // the second start
  EXPECT_TRUE(LLesson::ListLessons(lessons).empty());
}

}  // namespace

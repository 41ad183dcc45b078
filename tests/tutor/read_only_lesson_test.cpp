// Lesson files that cannot be written: the tutor is told, and nothing is left half-changed.
#include <sys/stat.h>

#include <QPlainTextEdit>

#include "lessons/rich_audio_file.h"
#include "study/lesson_access.h"
#include "tutor/lesson_props.h"
#include "tutor_fixture.h"

TEST_F(TutorWindowTest, ExplanationThatCannotBeWrittenIsReportedOnceAndLeftAlone) {
  std::string lesson = lessons.MakeLesson("Locked", {"One"});
  std::string record = ExpressionRecordPath(lesson, "One");
  ASSERT_TRUE(LRichAudioFile::WriteExplanation(record, "old"));
  std::string scp = record.substr(0, record.size() - 4) + ".scp";
  ASSERT_EQ(chmod(scp.c_str(), 0444), 0);
  Run(lesson, [&] {
    auto* edit = window.ControlAs<QPlainTextEdit>(MainDialog::kExplanation);
    for (const char* typed : {" new", " newer"}) {
      QTest::keyClicks(edit, typed);
      QTest::qWait(ExplanationSaver::kSaveDelayMs + 300);
      window.SendMessage(WM_ACTIVATE, 0);  // as the message box takes the focus and gives it back
    }
    EXPECT_EQ(edit->toPlainText().toStdString(), " new newerold") << "the unsaved text stays to be copied";
    window.SendCommand(MainDialog::CM_LESSON_CLOSE);  // opened again, the edit shows the file
    window.OpenLesson(lesson);
    EXPECT_EQ(edit->toPlainText().toStdString(), "old");
  });
  EXPECT_EQ(boxes, std::vector<std::string>{"Explanation"});
  EXPECT_EQ(LRichAudioFile::ReadExplanation(record).value_or(""), "old");
}

TEST_F(TutorWindowTest, PropertiesThatCannotBeWrittenAreReportedAndLeaveTheLessonOpen) {
  std::string lesson = lessons.MakeLesson("Locked", {});
  ASSERT_EQ(chmod(LLesson::ResolveLessonFile(lesson).c_str(), 0444), 0);
  EXPECT_EQ(ApplyLessonProps(lesson, {"Locked", 1, true, "Bob", "pw"}), LessonPropsError::kWriteFailed);
  EXPECT_FALSE(LessonIsProtected(lesson));
}

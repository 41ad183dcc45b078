// A read-only explanation: the tutor is told once, and the file stays as it was.
#include <sys/stat.h>

#include <QPlainTextEdit>
#include <QTest>

#include "lessons/rich_audio_file.h"
#include "tutor_fixture.h"

TEST_F(TutorWindowTest, ExplanationThatCannotBeWrittenIsReportedOnceAndLeftAlone) {
  std::string lesson = lessons.MakeLesson("Locked", {"One"});
  std::string record = TutorLessons::Record(lesson, "One");
  ASSERT_TRUE(LRichAudioFile::WriteExplanation(record, "old"));
  std::string scp = record.substr(0, record.size() - 4) + ".scp";
  ASSERT_EQ(chmod(scp.c_str(), 0444), 0);
  Run(lesson, [&] {
    auto* edit = window.ControlAs<QPlainTextEdit>(MainDialog::kExplanation);
    for (const char* typed : {" new", " newer"}) {
      QTest::keyClicks(edit, typed);
      QTest::qWait(ExplanationSaver::kSaveDelayMs + 300);
    }
  });
  EXPECT_EQ(boxes, std::vector<std::string>{"Explanation"});
  EXPECT_EQ(LRichAudioFile::ReadExplanation(record).value_or(""), "old");
}

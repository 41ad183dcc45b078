// The tutor's flow on the real program: Xvfb as the display, xdotool as the
// tutor, the private sound server. Opens a lesson from the command line, hands
// a blank picture to the image editor with F8, adds and names an expression,
// types its explanation and leaves by the menu.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>
#include <QProcess>
#include <QTest>

#include "framework/widgets/window_size.h"
#include "lessons/lesson_files.h"
#include "lessons/rich_audio_file.h"
#include "tutor_fixture.h"

using testsupport::WaitFor;

TEST(TutorProgram, OpensTheCommandLineLessonEditsAPictureAndBuildsAnExpression) {
  REQUIRE_COMMAND("Xvfb");
  REQUIRE_COMMAND("xdotool");
  testsupport::PrivateHome home;
  TutorLessons lessons;
  std::string lesson = lessons.MakeLesson("Flow", {"it's a b;c"});
  std::string stub = home.File("editor"), args = home.File("args");
  testsupport::WriteFileText(stub, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + args + "'\n");
  chmod(stub.c_str(), 0755);
  RegSetUserSetting("Settings", "ImageEditor", "'" + stub + "' %s");
  for (const auto& [name, value] : std::initializer_list<std::pair<const char*, int>>{
           {"Maximized", 0}, {"X", 0}, {"Y", 0}, {"Width", 800}, {"Height", 600}, {"TextDividerY", 206}})
    LWindowSettingSetInt("MainWindow", name, value);
  testsupport::XDisplay display;

  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("DISPLAY", QString::fromStdString(display.Name()));
  env.insert("QT_QPA_PLATFORM", "xcb");
  env.remove("ORATIVO_AUDIO");
  QString pulse = QString::fromStdString(testsupport::CommandOutput("cat /tmp/orativo-pulse/server 2>/dev/null"));
  if (!pulse.trimmed().isEmpty()) env.insert("PULSE_SERVER", pulse.trimmed());
  program.setProcessEnvironment(env);
  // The folder, not the file: both name a lesson.
  program.start(ORATIVO_BINARY, {"-x", "Tutor", QString::fromStdString(lesson.substr(0, lesson.rfind('/')))});
  std::string window = display.Search("^Orativo \\[Flow\\]");
  ASSERT_FALSE(window.empty()) << "the window shows the command line's lesson";
  display.Xdo("windowfocus --sync " + window);

  display.Xdo("key F8");
  std::string image = std::filesystem::path(ExpressionRecordPath(lesson, "it's a b;c")).replace_extension(".bmp");
  auto said = [&] { return testsupport::CommandOutput("cat '" + args + "' 2>/dev/null"); };
  EXPECT_TRUE(WaitFor([&] { return said() == image + "\n"; }, 5000)) << "one argument, the picture's path: " << said();
  EXPECT_EQ(QImage(QString::fromStdString(image)).size(), QSize(320, 240));

  display.Xdo("windowfocus --sync " + window);
  display.Xdo("key --window " + window + " ctrl+e");
  std::string record = ExpressionRecordPath(lesson, "Expression");
  ASSERT_TRUE(WaitFor([&] { return lessonfiles::FileExists(record); }, 5000));
  QTest::qWait(300);
  display.Xdo("type --delay 20 'Bonjour'");
  display.Xdo("key Return");
  std::string named = ExpressionRecordPath(lesson, "Bonjour");
  ASSERT_TRUE(WaitFor([&] { return lessonfiles::FileExists(named); }, 5000)) << "the label edit renames the files";
  EXPECT_FALSE(lessonfiles::FileExists(record));
  EXPECT_EQ(ReadExpressionOrder(ExpressionRecordPath(lesson, "Bonjour")), 1);

  // The first row is selected after a rename; Down moves to the new expression.
  display.Xdo("key Down");
  QTest::qWait(300);
  // The explanation edit lies in the right column, below the page (and left of the splash).
  display.Xdo("mousemove --window " + window + " 350 450 click 1");
  display.Xdo("type --delay 20 'Hello there'");
  EXPECT_TRUE(WaitFor([&] { return LRichAudioFile::ReadExplanation(named).value_or("") == "Hello there"; }, 5000))
      << "Bonjour: " << LRichAudioFile::ReadExplanation(named).value_or("(none)");

  // Lesson, Exit; the program must end with code 0.
  display.Xdo("key alt+l");
  QTest::qWait(300);
  display.Xdo("key x");
  ASSERT_TRUE(program.waitForFinished(10000)) << "the program ends";
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);
}

// The tutor's flows on the real program: Xvfb as the display, xdotool as the
// tutor, the private sound server. Opens a lesson from the command line, adds
// and names an expression, types its explanation and leaves by the menu; F8
// hands a blank picture to the image editor.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>
#include <QProcess>
#include <QTest>
#include <fstream>

#include "framework/settings.h"
#include "framework/widgets/window_size.h"
#include "lessons/lesson_files.h"
#include "lessons/rich_audio_file.h"
#include "tutor_fixture.h"

namespace {

// The tutor on display with arguments, sound through the private server.
void StartTutor(QProcess& program, const testsupport::XDisplay& display, const QStringList& arguments) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("DISPLAY", QString::fromStdString(display.Name()));
  env.insert("QT_QPA_PLATFORM", "xcb");
  env.remove("ORATIVO_AUDIO");
  std::ifstream server("/tmp/orativo-pulse/server");
  std::string pulse;
  if (std::getline(server, pulse) && !pulse.empty()) env.insert("PULSE_SERVER", QString::fromStdString(pulse));
  program.setProcessEnvironment(env);
  program.start(ORATIVO_BINARY, QStringList{"-x", "Tutor"} + arguments);
}

// Lesson, Exit; the program must end with code 0.
void ExitByTheMenu(QProcess& program, const testsupport::XDisplay& display) {
  display.Xdo("key alt+l");
  QTest::qWait(300);
  display.Xdo("key x");
  ASSERT_TRUE(program.waitForFinished(10000)) << "the program ends";
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);
}

}  // namespace

TEST(TutorProgram, OpensTheCommandLineLessonAndBuildsAnExpression) {
  REQUIRE_COMMAND("Xvfb");
  REQUIRE_COMMAND("xdotool");
  testsupport::PrivateHome home;
  TutorLessons lessons;
  std::string lesson = lessons.MakeLesson("Flow", {"Merci"});
  LWindowSettingSetInt("MainWindow", "Maximized", 0);
  LWindowSettingSetInt("MainWindow", "X", 0);
  LWindowSettingSetInt("MainWindow", "Y", 0);
  LWindowSettingSetInt("MainWindow", "Width", 800);
  LWindowSettingSetInt("MainWindow", "Height", 600);
  LWindowSettingSetInt("MainWindow", "TextDividerY", 206);
  testsupport::XDisplay display;
  ASSERT_FALSE(display.Name().empty()) << "no display could be started";

  QProcess program;
  // The folder, not the file: both name a lesson.
  StartTutor(program, display, {QString::fromStdString(lesson.substr(0, lesson.rfind('/')))});
  ASSERT_TRUE(program.waitForStarted());

  std::string window = display.Search("^Orativo \\[Flow\\]");
  ASSERT_FALSE(window.empty()) << "the window shows the command line's lesson";
  display.Xdo("windowfocus --sync " + window);
  display.Xdo("key --window " + window + " ctrl+e");
  std::string record = TutorLessons::Record(lesson, "Expression");
  ASSERT_TRUE(testsupport::WaitFor([&] { return lessonfiles::FileExists(record); }, 5000));
  QTest::qWait(300);
  display.Xdo("type --delay 20 'Bonjour'");
  display.Xdo("key Return");
  std::string named = TutorLessons::Record(lesson, "Bonjour");
  ASSERT_TRUE(testsupport::WaitFor([&] { return lessonfiles::FileExists(named); }, 5000))
      << "the label edit renames the files";
  EXPECT_FALSE(lessonfiles::FileExists(record));
  EXPECT_EQ(TutorLessons::Order(lesson, "Bonjour"), 1);

  // The first row is selected after a rename; Down moves to the new expression.
  display.Xdo("key Down");
  QTest::qWait(300);
  // The explanation edit lies in the right column, below the page (and left of the splash).
  display.Xdo("mousemove --window " + window + " 350 450 click 1");
  display.Xdo("type --delay 20 'Hello there'");
  EXPECT_TRUE(
      testsupport::WaitFor([&] { return LRichAudioFile::ReadExplanation(named).value_or("") == "Hello there"; }, 5000))
      << "Bonjour: " << LRichAudioFile::ReadExplanation(named).value_or("(none)")
      << ", Merci: " << LRichAudioFile::ReadExplanation(TutorLessons::Record(lesson, "Merci")).value_or("(none)");

  ExitByTheMenu(program, display);
}

// F8 on the real program: a blank picture the image editor gets as one argument.
TEST(TutorProgram, CreateNewImageOpensABlankPictureInTheEditor) {
  REQUIRE_COMMAND("Xvfb");
  REQUIRE_COMMAND("xdotool");
  testsupport::PrivateHome home;
  TutorLessons lessons;
  std::string lesson = lessons.MakeLesson("Pictures", {"it's a b;c"});
  std::string stub = home.File("editor"), args = home.File("args");
  testsupport::WriteFileText(stub, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + args + "'\n");
  chmod(stub.c_str(), 0755);
  RegSetUserSetting("Settings", "ImageEditor", "'" + stub + "' %s");
  testsupport::XDisplay display;
  ASSERT_FALSE(display.Name().empty()) << "no display could be started";
  QProcess program;
  StartTutor(program, display, {QString::fromStdString(lesson)});
  ASSERT_TRUE(program.waitForStarted());
  std::string window = display.Search("^Orativo \\[Pictures\\]");
  ASSERT_FALSE(window.empty());
  display.Xdo("windowfocus --sync " + window);
  display.Xdo("key F8");
  std::string record = TutorLessons::Record(lesson, "it's a b;c");
  std::string image = record.substr(0, record.size() - 4) + ".bmp";
  EXPECT_TRUE(testsupport::WaitFor([&] { return testsupport::ReadFileBytes(args).size() > 0; }, 5000));
  auto said = testsupport::ReadFileBytes(args);
  EXPECT_EQ(std::string(said.begin(), said.end()), image + "\n") << "one argument, the picture's path";
  EXPECT_EQ(QImage(QString::fromStdString(image)).size(), QSize(320, 240));
  ExitByTheMenu(program, display);
}

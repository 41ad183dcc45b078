// The tutor's flow on the real program: Xvfb as the display, xdotool as the
// tutor, the private sound server. Opens a lesson from the command line, adds
// and names an expression, types its explanation and leaves by the menu.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTest>
#include <cstdlib>
#include <fstream>

#include "framework/settings.h"
#include "framework/widgets/window_size.h"
#include "lessons/lesson_files.h"
#include "lessons/rich_audio_file.h"
#include "tutor_fixture.h"

namespace {

bool Required(const char* tool) {
  if (testsupport::HaveCommand(tool)) return true;
  if (std::getenv("ORATIVO_CI")) ADD_FAILURE() << tool << " is needed in CI";
  return false;
}

std::string Trim(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

// Polls until done() holds or about timeoutMs passed.
bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeoutMs) return false;
    QTest::qWait(100);
  }
  return true;
}

class XDisplay {
 public:
  XDisplay() {
    for (int n = 120; n < 400; ++n) {
      if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)) ||
          QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
        continue;
      name_ = ":" + std::to_string(n);
      server_.start("Xvfb", {QString::fromStdString(name_), "-screen", "0", "1280x900x24", "-nolisten", "tcp"});
      if (server_.waitForStarted() &&
          WaitFor([n] { return QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)); }, 5000) &&
          server_.state() == QProcess::Running)
        return;
      server_.kill();
      server_.waitForFinished();
    }
    name_.clear();
  }
  ~XDisplay() {
    server_.terminate();
    if (!server_.waitForFinished(3000)) server_.kill();
  }
  const std::string& Name() const { return name_; }
  std::string Run(const std::string& args) const {
    return Trim(testsupport::CommandOutput("DISPLAY=" + name_ + " xdotool " + args + " 2>/dev/null"));
  }

 private:
  std::string name_;
  QProcess server_;
};

// Starts the tutor on display with arguments, sound through the private server.
void StartTutor(QProcess& program, const XDisplay& display, const QStringList& arguments) {
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

}  // namespace

TEST(TutorProgram, OpensTheCommandLineLessonAndBuildsAnExpression) {
  if (!Required("Xvfb") || !Required("xdotool")) GTEST_SKIP() << "Xvfb and xdotool are needed";
  TutorLessons lessons;
  std::string lesson = lessons.MakeLesson("Flow", {"Merci"});
  LWindowSettingSetInt("MainWindow", "Maximized", 0);
  LWindowSettingSetInt("MainWindow", "X", 0);
  LWindowSettingSetInt("MainWindow", "Y", 0);
  LWindowSettingSetInt("MainWindow", "Width", 800);
  LWindowSettingSetInt("MainWindow", "Height", 600);
  LWindowSettingSetInt("MainWindow", "TextDividerY", 206);
  XDisplay display;
  ASSERT_FALSE(display.Name().empty()) << "no display could be started";

  QProcess program;
  // The folder, not the file: both name a lesson.
  StartTutor(program, display, {QString::fromStdString(lesson.substr(0, lesson.rfind('/')))});
  ASSERT_TRUE(program.waitForStarted());

  std::string window = display.Run("search --sync --onlyvisible --name '^Orativo \\[Flow\\]'");
  ASSERT_FALSE(window.empty()) << "the window shows the command line's lesson";
  window = window.substr(0, window.find('\n'));
  display.Run("windowfocus --sync " + window);
  display.Run("key --window " + window + " ctrl+e");
  std::string record = TutorLessons::Record(lesson, "Expression");
  ASSERT_TRUE(WaitFor([&] { return lessonfiles::FileExists(record); }, 5000));
  QTest::qWait(300);
  display.Run("type --delay 20 'Bonjour'");
  display.Run("key Return");
  std::string named = TutorLessons::Record(lesson, "Bonjour");
  ASSERT_TRUE(WaitFor([&] { return lessonfiles::FileExists(named); }, 5000)) << "the label edit renames the files";
  EXPECT_FALSE(lessonfiles::FileExists(record));
  EXPECT_EQ(TutorLessons::Order(lesson, "Bonjour"), 1);

  // The first row is selected after a rename; Down moves to the new expression.
  display.Run("key Down");
  QTest::qWait(300);
  // The explanation edit lies in the right column, below the page (and left of the splash).
  display.Run("mousemove --window " + window + " 350 450 click 1");
  display.Run("type --delay 20 'Hello there'");
  EXPECT_TRUE(WaitFor([&] { return LRichAudioFile::ReadExplanation(named).value_or("") == "Hello there"; }, 5000))
      << "Bonjour: " << LRichAudioFile::ReadExplanation(named).value_or("(none)")
      << ", Merci: " << LRichAudioFile::ReadExplanation(TutorLessons::Record(lesson, "Merci")).value_or("(none)");

  // Leave through the menu: Lesson, Exit.
  display.Run("key alt+l");
  QTest::qWait(300);
  display.Run("key x");
  ASSERT_TRUE(program.waitForFinished(10000)) << "the program ends";
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);
}

// A lesson file lying loose among other files is refused with a message, so
// that no later rename or delete can act on the folder around it.
TEST(TutorProgram, RefusesALooseLessonFileFromTheCommandLine) {
  if (!Required("Xvfb") || !Required("xdotool")) GTEST_SKIP() << "Xvfb and xdotool are needed";
  testsupport::TempFolder home;
  const std::string loose = home.Path() + "/Greetings.ini";
  testsupport::WriteFileText(loose, "[create]\n");
  testsupport::WriteFileText(home.Path() + "/notes.txt", "mine");
  XDisplay display;
  ASSERT_FALSE(display.Name().empty()) << "no display could be started";
  QProcess program;
  StartTutor(program, display, {QString::fromStdString(loose)});
  ASSERT_TRUE(program.waitForStarted());
  std::string box = display.Run("search --sync --onlyvisible --name '^Open Lesson$'");
  ASSERT_FALSE(box.empty()) << "the tutor is told why the lesson is not opened";
  display.Run("windowfocus --sync " + box.substr(0, box.find('\n')));
  display.Run("key Return");
  std::string window = display.Run("search --sync --onlyvisible --name '^Orativo$'");
  ASSERT_FALSE(window.empty()) << "the window is up with no lesson";
  display.Run("windowfocus --sync " + window.substr(0, window.find('\n')));
  display.Run("key alt+l");
  QTest::qWait(300);
  display.Run("key x");
  ASSERT_TRUE(program.waitForFinished(10000)) << "the program ends";
  EXPECT_EQ(program.exitCode(), 0);
  EXPECT_TRUE(lessonfiles::FileExists(loose));
  EXPECT_TRUE(lessonfiles::FileExists(home.Path() + "/notes.txt"));
}

// F8 on the real program: a blank picture the image editor gets as one argument.
TEST(TutorProgram, CreateNewImageOpensABlankPictureInTheEditor) {
  if (!Required("Xvfb") || !Required("xdotool")) GTEST_SKIP() << "Xvfb and xdotool are needed";
  TutorLessons lessons;
  std::string lesson = lessons.MakeLesson("Pictures", {"it's a b;c"});
  testsupport::TempFolder work;
  std::string stub = work.File("editor"), args = work.File("args");
  testsupport::WriteFileText(stub, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + args + "'\n");
  chmod(stub.c_str(), 0755);
  RegSetUserSetting("Settings", "ImageEditor", "'" + stub + "' %s");
  XDisplay display;
  ASSERT_FALSE(display.Name().empty()) << "no display could be started";
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("DISPLAY", QString::fromStdString(display.Name()));
  env.insert("QT_QPA_PLATFORM", "xcb");
  program.setProcessEnvironment(env);
  program.start(ORATIVO_BINARY, {"-x", "Tutor", QString::fromStdString(lesson)});
  ASSERT_TRUE(program.waitForStarted());
  std::string window = display.Run("search --sync --onlyvisible --name '^Orativo \\[Pictures\\]'");
  ASSERT_FALSE(window.empty());
  window = window.substr(0, window.find('\n'));
  display.Run("windowfocus --sync " + window);
  display.Run("key F8");
  std::string record = TutorLessons::Record(lesson, "it's a b;c");
  std::string image = record.substr(0, record.size() - 4) + ".bmp";
  EXPECT_TRUE(WaitFor([&] { return testsupport::ReadFileBytes(args).size() > 0; }, 5000));
  std::ifstream in(args);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, image);
  EXPECT_EQ(QImage(QString::fromStdString(image)).size(), QSize(320, 240));
  RegSetUserSetting("Settings", "ImageEditor", "");
  display.Run("key alt+l");
  QTest::qWait(300);
  display.Run("key x");
  ASSERT_TRUE(program.waitForFinished(10000));
}

// One running copy: a second start asks the first to show its window and
// ends with exit code 0. These tests start the real program.
#include "app/running_copy.h"

#include <QFile>
#include <QProcess>
#include <QWidget>

#include "tests/study/study_fixture.h"

namespace {

QProcessEnvironment ProgramEnvironment(const std::string& log) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.insert("ORATIVO_LOG", QString::fromStdString(log));
  return environment;  // ORATIVO_HOME is this test run's private home
}

// Runs the program in folder to its end (a minute at most) while this process
// keeps handling events.
int RunToEnd(const QStringList& arguments, const testsupport::TempFolder& folder, const std::string& log) {
  QProcess process;
  process.setWorkingDirectory(QString::fromStdString(folder.Path()));
  process.setProcessEnvironment(ProgramEnvironment(folder.File(log)));
  process.start(ORATIVO_BINARY, arguments);
  if (!testsupport::WaitFor([&] { return process.state() == QProcess::NotRunning; }, 60000)) return -1;
  return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// Waits (a minute at most) for text in the program's log.
bool WaitForLog(const std::string& log, const char* text) {
  auto logged = [&] {
    QFile file(QString::fromStdString(log));
    return file.open(QIODevice::ReadOnly) && file.readAll().contains(text);
  };
  return testsupport::WaitFor(logged, 60000);
}

}  // namespace

// A second start shows the running copy's window as it was and hands over its
// lesson, given by its folder relative to where the user started it; the
// socket a dead copy left does not stand in the way.
TEST(LRunningCopy, ASecondStartShowsTheWindowHandsItsLessonAndExitsZero) {
  testsupport::TempFolder folder;
  studytest::Lesson lesson("Verbs", 1, folder.Path());
  testsupport::WriteFileText(LRunningCopy::SocketPath(), "");  // what a crashed copy leaves: taken over
  LRunningCopy copy;
  std::vector<std::string> handed;
  copy.SetLessonHandler([&](const std::string& lesson) { handed.push_back(lesson); });
  ASSERT_TRUE(copy.Listen());
  LRunningCopy other;
  EXPECT_FALSE(other.Listen()) << "a second listener while the first answers";

  // Only a window titled as the program's own answers.
  QWidget window;
  window.showMinimized();
  for (auto [title, answers] : {std::pair{"Preview Lesson [French]", false},
                                {"Orativo Help", false},
                                {"Orativo", true},
                                {"Orativo [Verbs]", true}}) {
    window.setWindowTitle(title);
    EXPECT_EQ(LRunningCopy::FindCopyWindow(), answers ? &window : nullptr) << title;
  }
  EXPECT_EQ(RunToEnd({"-x", "Tutor", "Verbs"}, folder, "second.log"), 0);
  EXPECT_FALSE(window.windowState() & Qt::WindowMinimized);
  EXPECT_TRUE(WaitForLog(folder.File("second.log"), "running copy shown restored"));

  window.showMaximized();
  EXPECT_EQ(RunToEnd({"Nouns"}, folder, "third.log"), 0);  // a name that is no lesson
  EXPECT_TRUE(window.windowState() & Qt::WindowMaximized) << "a maximised window stays maximised";
  EXPECT_TRUE(WaitForLog(folder.File("third.log"), "running copy shown maximized"));
  EXPECT_EQ(handed, std::vector<std::string>{lesson.Path()});
}

TEST(LRunningCopy, TwoRealCopiesTheSecondBringsTheFirstToTheFront) {
  testsupport::TempFolder folder;
  std::string firstLog = folder.File("first.log");
  QProcess first;
  first.setProcessEnvironment(ProgramEnvironment(firstLog));
  first.start(ORATIVO_BINARY, {});
  ASSERT_TRUE(WaitForLog(firstLog, "LRunningCopy::Listen listening"));

  EXPECT_EQ(RunToEnd({"-x", "Tutor"}, folder, "second.log"), 0);
  EXPECT_TRUE(WaitForLog(firstLog, "LRunningCopy::ShowCopyWindow"));
  EXPECT_EQ(first.state(), QProcess::Running) << "the first copy keeps running";
  first.terminate();
  EXPECT_TRUE(first.waitForFinished(10000));
}

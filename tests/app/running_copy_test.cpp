// One running copy: a second start asks the first to show its window and
// ends with exit code 0. These tests start the real program.
#include "app/running_copy.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QTimer>
#include <QWidget>

#include "tests/support/test_support.h"

namespace {

QProcessEnvironment ProgramEnvironment(const std::string& log) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.insert("ORATIVO_LOG", QString::fromStdString(log));
  return environment;  // ORATIVO_HOME is this test run's private home
}

// Runs the program to its end while this process keeps handling events.
int RunToEnd(QProcess& process, const QStringList& arguments, const std::string& log) {
  process.setProcessEnvironment(ProgramEnvironment(log));
  QEventLoop loop;
  QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
  QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
  QTimer guard;
  QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
  guard.start(60000);  // a hung program fails the test instead of blocking it
  process.start(ORATIVO_BINARY, arguments);
  loop.exec();
  if (process.state() != QProcess::NotRunning) {
    process.kill();
    process.waitForFinished();
    return -1;
  }
  return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

bool LogContains(const std::string& log, const char* text) {
  QFile file(QString::fromStdString(log));
  return file.open(QIODevice::ReadOnly) && file.readAll().contains(text);
}

bool WaitForLog(const std::string& log, const char* text) {
  return testsupport::WaitFor([&] { return LogContains(log, text); }, 60000);
}

}  // namespace

TEST(LRunningCopy, OnlyTheOrativoTitledWindowAnswers) {
  QWidget preview;
  preview.setWindowTitle("Preview Lesson [French]");
  preview.show();
  EXPECT_EQ(LRunningCopy::FindCopyWindow(), nullptr);
  QWidget lookalike;
  lookalike.setWindowTitle("Orativo Help");
  lookalike.show();
  EXPECT_EQ(LRunningCopy::FindCopyWindow(), nullptr);
  QWidget tutor;
  tutor.setWindowTitle("Orativo [French]");
  tutor.show();
  EXPECT_EQ(LRunningCopy::FindCopyWindow(), &tutor);
  tutor.setWindowTitle("Orativo");
  EXPECT_EQ(LRunningCopy::FindCopyWindow(), &tutor);
}

// A second start shows the running copy's window as it was and hands over its
// lesson, given by its folder relative to where the user started it.
TEST(LRunningCopy, ASecondStartShowsTheWindowHandsItsLessonAndExitsZero) {
  testsupport::TempFolder folder;
  std::string lessonFolder = folder.File("Verbs");
  ASSERT_EQ(testsupport::RunCommand("mkdir -p '" + lessonFolder + "'"), 0);
  ASSERT_TRUE(testsupport::WriteFileText(lessonFolder + "/Verbs.ini", "[study]\r\nmode=1\r\n"));
  LRunningCopy copy;
  std::vector<std::string> handed;
  copy.SetLessonHandler([&](const std::string& lesson) { handed.push_back(lesson); });
  ASSERT_TRUE(copy.Listen());
  LRunningCopy other;
  EXPECT_FALSE(other.Listen()) << "a second listener while the first answers";

  QWidget window;
  window.setWindowTitle("Orativo [Verbs]");
  window.showMinimized();
  QProcess second;
  second.setWorkingDirectory(QString::fromStdString(folder.Path()));
  EXPECT_EQ(RunToEnd(second, {"-x", "Tutor", "Verbs"}, folder.File("second.log")), 0);
  EXPECT_FALSE(window.windowState() & Qt::WindowMinimized);
  EXPECT_TRUE(LogContains(folder.File("second.log"), "running copy shown restored"));

  window.showMaximized();
  QProcess third;  // a name that is no lesson
  third.setWorkingDirectory(QString::fromStdString(folder.Path()));
  EXPECT_EQ(RunToEnd(third, {"Nouns"}, folder.File("third.log")), 0);
  EXPECT_TRUE(window.windowState() & Qt::WindowMaximized) << "a maximised window stays maximised";
  EXPECT_TRUE(LogContains(folder.File("third.log"), "running copy shown maximized"));
  EXPECT_EQ(handed, std::vector<std::string>{lessonFolder + "/Verbs.ini"});
}

TEST(LRunningCopy, ASocketLeftByADeadCopyIsTakenOver) {
  std::string path = LRunningCopy::SocketPath();
  testsupport::WriteFileText(path, "");  // what a crashed copy leaves
  LRunningCopy copy;
  EXPECT_TRUE(copy.Listen());
  QLocalSocket socket;
  socket.connectToServer(QString::fromStdString(path));
  EXPECT_TRUE(socket.waitForConnected(5000));
}

TEST(LRunningCopy, TwoRealCopiesTheSecondBringsTheFirstToTheFront) {
  testsupport::TempFolder folder;
  std::string firstLog = folder.File("first.log");
  QProcess first;
  first.setProcessEnvironment(ProgramEnvironment(firstLog));
  first.start(ORATIVO_BINARY, {});
  ASSERT_TRUE(first.waitForStarted());
  ASSERT_TRUE(WaitForLog(firstLog, "LRunningCopy::Listen listening"));

  QProcess second;
  EXPECT_EQ(RunToEnd(second, {"-x", "Tutor"}, folder.File("second.log")), 0);
  EXPECT_TRUE(WaitForLog(firstLog, "LRunningCopy::ShowCopyWindow"));
  EXPECT_EQ(first.state(), QProcess::Running) << "the first copy keeps running";
  first.terminate();
  if (!first.waitForFinished(10000)) {
    first.kill();
    first.waitForFinished();
  }
}

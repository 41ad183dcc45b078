#pragma once
// A tutor lessons folder of its own, lessons made on disk for the tests, and
// the tutor window over them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>

#include "framework/settings.h"
#include "framework/widgets/file_dialogs.h"
#include "framework/widgets/message_box.h"
#include "framework/widgets/run_mode.h"
#include "framework/widgets/win_defs.h"
#include "lessons/lesson.h"
#include "tests/support/test_support.h"
#include "tutor/main_dialog.h"

struct TutorLessons {
  TutorLessons() { RegSetUserSetting("SystemFolders", "TutorLessons", folder_.Path()); }
  ~TutorLessons() { RegSetUserSetting("SystemFolders", "TutorLessons", ""); }
  const std::string& Folder() const { return folder_.Path(); }
  // A lesson with one record per name, orders as given (default 0, 1, 2, ...).
  std::string MakeLesson(const std::string& name, const std::vector<std::string>& expressions,
                         const std::vector<int>& orders = {}) {
    std::string lesson;
    LLesson::CreateLesson(folder_.Path(), name, lesson);
    for (size_t i = 0; i < expressions.size(); ++i) {
      ProfileWriteString(ExpressionRecordPath(lesson, expressions[i]), "raf", "audiotype", "0");
      WriteExpressionOrder(ExpressionRecordPath(lesson, expressions[i]), i < orders.size() ? orders[i] : int(i));
    }
    return lesson;
  }
  // Every file of the lesson's folder with its bytes, for before/after comparisons.
  static std::map<std::string, std::vector<uint8_t>> Snapshot(const std::string& lessonPath) {
    return testsupport::Snapshot(std::filesystem::path(lessonPath).parent_path().string());
  }
  testsupport::TempFolder folder_;
};

// The tutor window in a private home; message boxes are answered with
// `answer` and their captions kept in `boxes`.
struct TutorWindowTest : ::testing::Test {
  TutorWindowTest() {
    SetModeWord("Tutor");
    LSetMessageBoxHook([this](const LMessageBoxCall& call) {
      boxes.push_back(call.caption);
      return answer;
    });
  }
  ~TutorWindowTest() override {
    LSetMessageBoxHook(nullptr);
    LSetFileDialogHook(nullptr);
    SetModeWord("");
  }
  // Runs body in the window's loop over lesson (may be ""), then closes it.
  void Run(const std::string& lesson, const std::function<void()>& body) {
    window.SetStartLesson(lesson);
    QTimer::singleShot(0, [&] {
      body();
      window.SendCommand(MainDialog::CM_EXIT);
    });
    EXPECT_TRUE(window.Run());
  }
  QTreeWidget* List() { return window.ControlAs<QTreeWidget>(MainDialog::kList); }
  std::vector<std::string> Rows() {
    std::vector<std::string> rows;
    for (int i = 0; i < List()->topLevelItemCount(); ++i)
      rows.push_back(List()->topLevelItem(i)->text(0).toStdString());
    return rows;
  }
  QPoint RowCenter(int row) { return List()->visualItemRect(List()->topLevelItem(row)).center(); }
  // A mouse event where the windowing system would deliver it: to the
  // widget holding the mouse, else to the list.
  void Mouse(QEvent::Type type, QPoint inList, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods = {}) {
    QPoint global = List()->viewport()->mapToGlobal(inList);
    QWidget* to = QWidget::mouseGrabber() ? QWidget::mouseGrabber() : List()->viewport();
    Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, to->mapFromGlobal(global), global, button, buttons, mods);
    QApplication::sendEvent(to, &event);
  }
  void Click(int row, Qt::KeyboardModifiers mods = {}) {
    Mouse(QEvent::MouseButtonPress, RowCenter(row), Qt::LeftButton, mods);
    Mouse(QEvent::MouseButtonRelease, RowCenter(row), Qt::NoButton, mods);
  }

  testsupport::PrivateHome home;
  TutorLessons lessons;
  MainDialog window;
  std::vector<std::string> boxes;
  int answer = IDOK;
};

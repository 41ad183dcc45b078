#pragma once
// A tutor lessons folder of its own, lessons made on disk for the tests, and
// the tutor window over them.
#include <gtest/gtest.h>

#include <QTreeWidget>
#include <functional>
#include <string>
#include <vector>

#include "framework/widgets/win_defs.h"
#include "tests/support/test_support.h"
#include "tutor/main_dialog.h"

class TutorLessons {
 public:
  TutorLessons();
  ~TutorLessons();
  const std::string& Folder() const { return folder_.Path(); }
  // A lesson with one record per name, orders as given (default 0, 1, 2, ...).
  std::string MakeLesson(const std::string& name, const std::vector<std::string>& expressions,
                         const std::vector<int>& orders = {});
  static std::string Record(const std::string& lessonPath, const std::string& name);
  static int Order(const std::string& lessonPath, const std::string& name);
  // Every file of the lesson's folder with its bytes, for before/after comparisons.
  static std::map<std::string, std::vector<uint8_t>> Snapshot(const std::string& lessonPath);

 private:
  testsupport::TempFolder folder_;
};

// The tutor window in a private home; message boxes are answered with
// `answer` and their captions kept in `boxes`.
class TutorWindowTest : public ::testing::Test {
 protected:
  TutorWindowTest();
  ~TutorWindowTest() override;
  // Runs body in the window's loop over lesson (may be ""), then closes it.
  void Run(const std::string& lesson, const std::function<void()>& body);
  QTreeWidget* List() { return window.ControlAs<QTreeWidget>(MainDialog::kList); }
  std::vector<std::string> Rows();
  void Select(int row);

  testsupport::PrivateHome home;
  TutorLessons lessons;
  MainDialog window;
  std::vector<std::string> boxes;
  int answer = IDOK;
};

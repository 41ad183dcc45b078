#pragma once
// A tutor lessons folder of its own and lessons made on disk for the tests.
#include <string>
#include <vector>

#include "tests/support/test_support.h"

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
  static std::vector<std::pair<std::string, std::vector<uint8_t>>> Snapshot(const std::string& lessonPath);

 private:
  testsupport::TempFolder folder_;
};

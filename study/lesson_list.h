#pragma once
// The expressions of a lesson in study order: ascending `order`. The folder is
// read in name order so that every machine lists a lesson alike, and a later
// expression of equal order stands before an earlier one.
#include <string>
#include <vector>

struct StudyExpression {
  std::string name;    // the record's file name without extension
  std::string record;  // full path of the ".raf" file as found on disk
  int order = 0;
};

std::vector<StudyExpression> StudyLessonExpressions(const std::string& lessonPath);
// The folder part of a lesson path, and the lesson's name (file name without extension).
std::string StudyLessonFolder(const std::string& lessonPath);
std::string StudyLessonName(const std::string& lessonPath);

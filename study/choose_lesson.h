#pragma once
// The one place where the study window asks the student for a lesson.
#include <string>

class LDialog;

// Lets the user pick a lesson; on OK sets lessonPath to its lesson file and
// returns true. Cancel leaves lessonPath as it was.
bool StudyChooseLesson(LDialog& owner, std::string& lessonPath);
// A lesson given by its lesson file or its folder: the full path of its lesson
// file, "" when there is no such lesson.
std::string StudyResolveLessonArgument(const std::string& path);

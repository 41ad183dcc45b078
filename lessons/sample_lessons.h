#pragma once
// The sample lessons that ship beside the program, copied into an empty
// lessons folder on a first start.
#include <string>
#include <vector>

// Copies every lesson folder of samplesFolder into lessonsFolder, but only when
// lessonsFolder holds no lesson, and never over a lesson of the same name
// (compared without regard to case). Each lesson appears whole or not at all.
// Returns the names copied.
std::vector<std::string> InstallSampleLessons(const std::string& samplesFolder, const std::string& lessonsFolder);

// Once per user: the first start offers the samples, later starts never do,
// even after the user deleted every lesson.
void OfferSampleLessonsOnce(const std::string& samplesFolder, const std::string& lessonsFolder);

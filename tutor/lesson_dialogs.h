#pragma once
// The dialogs the tutor window runs for its lesson commands, one call each,
// so the window does not care how each dialog is built.
#include <string>

class QWidget;

// Open Lesson: true with lessonPath set to the chosen lesson on OK.
bool RunOpenLessonDialog(QWidget* owner, std::string& lessonPath);
// The Login of a protected lesson: true when the lesson asks for none or the
// tutor logged in, false on Cancel.
bool RunLessonLogin(QWidget* owner, const std::string& lessonPath);
// Lesson Properties on lessonPath: true on OK (the lesson may have a new path).
bool RunLessonPropertiesDialog(QWidget* owner, std::string& lessonPath);
// Settings: true on OK; foldersChanged tells that a system folder changed.
bool RunSettingsDialog(QWidget* owner, bool& foldersChanged);

#include "tutor/lesson_dialogs.h"

// The lesson dialogs arrive with their own work; until then they answer Cancel.
bool RunOpenLessonDialog(QWidget* /*owner*/, std::string& /*lessonPath*/) { return false; }

bool RunLessonPropertiesDialog(QWidget* /*owner*/, std::string& /*lessonPath*/) { return false; }

bool RunSettingsDialog(QWidget* /*owner*/, bool& foldersChanged) {
  foldersChanged = false;
  return false;
}

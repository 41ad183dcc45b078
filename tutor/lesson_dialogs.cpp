#include "tutor/lesson_dialogs.h"

#include "framework/widgets/win_defs.h"
#include "study/lesson_access.h"
#include "study/lesson_secure_dlg.h"
#include "study/open_lesson_dlg.h"
#include "tutor/lesson_prop_dlg.h"
#include "tutor/set_dlg.h"

bool RunOpenLessonDialog(QWidget* owner, std::string& lessonPath) {
  OpenLessonDlg dialog(lessonPath);
  return dialog.Run(owner) == IDOK;
}

bool RunLessonLogin(QWidget* owner, const std::string& lessonPath) {
  if (!LessonIsProtected(lessonPath)) return true;
  LessonSecureDlg login(lessonPath);
  return login.Run(owner) == IDOK;
}

bool RunLessonPropertiesDialog(QWidget* owner, std::string& lessonPath) {
  LessonPropDlg dialog(lessonPath);
  return dialog.Run(owner) == IDOK;
}

bool RunSettingsDialog(QWidget* owner, bool& foldersChanged) {
  foldersChanged = false;
  SetDlg dialog(&foldersChanged);
  return dialog.Run(owner) == IDOK;
}

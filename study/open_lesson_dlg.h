#pragma once
// "Open Lesson": lists the lessons of the mode's lessons folder, shows the
// selected one's description and, in tutor mode, asks for the login of a
// protected lesson before it accepts it.
#include <string>

#include "framework/widgets/dialog.h"

class OpenLessonDlg : public LDialog {
 public:
  enum : int { kList = 101, kDescription = 102 };
  static constexpr int kTutorHelp = 101;
  static constexpr int kStudentHelp = 102;

  // lessonPath belongs to the caller; it is written only when OK ends the dialog.
  explicit OpenLessonDlg(std::string& lessonPath) : lessonPath_(lessonPath) {}
  static const LDialogTemplate& Template();
  // IDOK with the chosen lesson's path in the caller's buffer, else IDCANCEL.
  int Run(QWidget* owner) { return DoModal(Template(), owner); }

  void InitDialog() override;
  bool CmOk() override;
  void CmHelp() override;
  void UpdateControls() override;

  void InitLessonList();
  void InitLessonDetails();
  // The selected row's lesson path, "" when no row is selected.
  std::string GetSelectedLessonPath() const;

 private:
  std::string& lessonPath_;
  std::string lessonsFolder_;
};

#pragma once
// "Login": the user name and password a protected lesson asks for.
#include <string>

#include "framework/widgets/dialog.h"

class LessonSecureDlg : public LDialog {
 public:
  enum : int { kUser = 101, kPassword = 102 };

  explicit LessonSecureDlg(const std::string& lessonPath) : lessonPath_(lessonPath) {}
  static const LDialogTemplate& Template();
  // IDOK once the typed user name and password match the lesson's, else IDCANCEL.
  int Run(QWidget* owner) { return DoModal(Template(), owner); }

  bool CmOk() override;

 private:
  const std::string& lessonPath_;
};

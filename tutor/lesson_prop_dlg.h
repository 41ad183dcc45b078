#pragma once
// "Lesson Properties": the lesson's name, default study mode and password
// protection. OK writes nothing until everything typed is acceptable.
#include <string>

#include "framework/widgets/dialog.h"

class LessonPropDlg : public LDialog {
 public:
  enum : int { kName = 101, kMode = 102, kProtect = 103, kUser = 104, kPassword = 105 };
  enum : int { kUserLabel = 106, kPasswordLabel = 107 };
  static constexpr int kHelpTopic = 101;

  // lessonPath belongs to the caller and follows a rename.
  explicit LessonPropDlg(std::string& lessonPath) : lessonPath_(lessonPath) {}
  static const LDialogTemplate& Template();
  // IDOK once the lesson file holds the new properties, else IDCANCEL.
  int Run(QWidget* owner) { return DoModal(Template(), owner); }

  void InitDialog() override;
  bool CmOk() override;
  void CmHelp() override;
  void UpdateControls() override;

 private:
  std::string& lessonPath_;
};

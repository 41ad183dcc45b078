#include "study/lesson_secure_dlg.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "framework/widgets/controls.h"
#include "framework/widgets/message_box.h"
#include "framework/widgets/win_defs.h"
#include "study/dialog_layout.h"
#include "study/lesson_access.h"

namespace {

constexpr int kMaxField = 100;

bool BuildLogin(QDialog* window) {
  window->setWindowTitle(QStringLiteral("Login"));
  auto* layout = new QVBoxLayout(window);
  layout->addWidget(new QLabel(QStringLiteral("Please enter the user name and password:"), window));
  auto* form = new QFormLayout;
  auto* user = new QLineEdit(window);
  user->setMaxLength(kMaxField);
  form->addRow(QStringLiteral("User Name:"), LSetControlId(user, LessonSecureDlg::kUser));
  auto* password = new QLineEdit(window);
  password->setMaxLength(kMaxField);
  password->setEchoMode(QLineEdit::Password);
  form->addRow(QStringLiteral("Password:"), LSetControlId(password, LessonSecureDlg::kPassword));
  layout->addLayout(form);
  AddDialogButtons(window, layout);
  return true;
}

}  // namespace

const LDialogTemplate& LessonSecureDlg::Template() {
  static const LDialogTemplate kTemplate{"LESSONSECUREDLG", BuildLogin};
  return kTemplate;
}

bool LessonSecureDlg::CmOk() {
  if (LessonLoginAccepts(lessonPath_, LGetControlText(*this, kUser), LGetControlText(*this, kPassword))) return true;
  LMessageBox(Window(), "Invalid username or password for opening this lesson. Please try again.", "",
              MB_OK | MB_ICONERROR);
  return false;
}

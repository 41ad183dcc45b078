#include "tutor/lesson_prop_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "framework/widgets/controls.h"
#include "framework/widgets/help.h"
#include "framework/widgets/message_box.h"
#include "framework/widgets/win_defs.h"
#include "study/dialog_layout.h"
#include "tutor/lesson_props.h"

namespace {

constexpr int kMaxName = 259;
constexpr int kMaxField = 100;

bool BuildLessonProp(QDialog* window) {
  window->setWindowTitle(QStringLiteral("Lesson Properties"));
  auto* layout = new QVBoxLayout(window);
  auto* nameRow = new QFormLayout;
  auto* name = new QLineEdit(window);
  name->setMaxLength(kMaxName);
  name->setMinimumWidth(220);
  nameRow->addRow(QStringLiteral("Lesson Name:"), LSetControlId(name, LessonPropDlg::kName));
  layout->addLayout(nameRow);
  auto* modeGroup = AddGroup(window, layout, QStringLiteral("Default Study Mode"));
  auto* modeRow = new QFormLayout(modeGroup);
  modeRow->addRow(QStringLiteral("Study Mode:"), LSetControlId(new QComboBox(modeGroup), LessonPropDlg::kMode));
  auto* guard = AddGroup(window, layout, QStringLiteral("Password Protected"));
  auto* grid = new QGridLayout(guard);
  grid->addWidget(
      LSetControlId(new QCheckBox(QStringLiteral("Enable Password Protected"), guard), LessonPropDlg::kProtect), 0, 0,
      1, 2);
  grid->addWidget(LSetControlId(new QLabel(QStringLiteral("User Name:"), guard), LessonPropDlg::kUserLabel), 1, 0);
  auto* user = new QLineEdit(guard);
  user->setMaxLength(kMaxField);
  grid->addWidget(LSetControlId(user, LessonPropDlg::kUser), 1, 1);
  grid->addWidget(LSetControlId(new QLabel(QStringLiteral("Password:"), guard), LessonPropDlg::kPasswordLabel), 2, 0);
  auto* password = new QLineEdit(guard);
  password->setMaxLength(kMaxField);
  password->setEchoMode(QLineEdit::Password);
  grid->addWidget(LSetControlId(password, LessonPropDlg::kPassword), 2, 1);
  AddDialogButtons(window, layout);
  return true;
}

}  // namespace

const LDialogTemplate& LessonPropDlg::Template() {
  static const LDialogTemplate kTemplate{"LESSONPROPDLG", BuildLessonProp};
  return kTemplate;
}

void LessonPropDlg::InitDialog() {
  LessonProps props = ReadLessonProps(lessonPath_);
  LSetControlText(*this, kName, props.name);
  static const char* const kModes[] = {"Listen All", "Listen then Repeat", nullptr};
  LFillComboBox(*this, kMode, kModes);
  if (auto* mode = ControlAs<QComboBox>(kMode)) mode->setCurrentIndex(props.mode);
  if (auto* protect = ControlAs<QCheckBox>(kProtect)) protect->setChecked(props.protect);
  LSetControlText(*this, kUser, props.user);
}

void LessonPropDlg::UpdateControls() {
  auto* protect = ControlAs<QCheckBox>(kProtect);
  LEnableControls(*this, kUser, kPasswordLabel, protect && protect->isChecked());
}

bool LessonPropDlg::CmOk() {
  LessonProps props;
  props.name = LGetControlText(*this, kName);
  auto* mode = ControlAs<QComboBox>(kMode);
  props.mode = mode ? std::max(0, mode->currentIndex()) : 0;
  auto* protect = ControlAs<QCheckBox>(kProtect);
  props.protect = protect && protect->isChecked();
  props.user = LGetControlText(*this, kUser);
  props.password = LGetControlText(*this, kPassword);
  LessonPropsError error = ApplyLessonProps(lessonPath_, props);
  if (error == LessonPropsError::kNone) return true;
  LMessageBox(Window(), LessonPropsMessage(error, props), "", MB_OK | MB_ICONERROR);
  return false;
}

void LessonPropDlg::CmHelp() { DisplayHelp(kHelpTopic); }

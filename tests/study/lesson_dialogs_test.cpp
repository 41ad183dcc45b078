// The Open Lesson and Login dialogs and the password protection they read.

#include <QTreeWidget>

#include "dialog_test_util.h"
#include "framework/widgets/dialog_items.h"
#include "lessons/lesson.h"
#include "study/lesson_access.h"
#include "study/lesson_secure_dlg.h"
#include "study/open_lesson_dlg.h"
#include "tests/support/test_support.h"

using namespace dialogtest;

namespace {

// A lesson in folder, made the lessons folder of both modes; protected when a user is given.
std::string MakeLesson(const testsupport::TempFolder& folder, const std::string& name, const std::string& user = "",
                       const std::string& password = "") {
  RegSetUserSetting("SystemFolders", "TutorLessons", folder.Path());
  RegSetUserSetting("SystemFolders", "StudentLessons", folder.Path());
  std::string path;
  EXPECT_TRUE(LLesson::CreateLesson(folder.Path(), name, path));
  if (!user.empty()) {
    ProfileWriteBool(path, "password", "enabled", true);
    ProfileWriteString(path, "user", "name", ProfileTextFor(user));
    ProfileWriteString(path, "user", "pw", ProfileTextFor(EncodeLessonPassword(password)));
  }
  return path;
}

void Login(LDialog& login, const std::string& user, const std::string& password) {
  LSetControlText(login, LessonSecureDlg::kUser, user);
  LSetControlText(login, LessonSecureDlg::kPassword, password);
  login.SendCommand(IDOK);
}

}  // namespace

// Tutor mode: a protected lesson opens only after a good login; a refused
// login keeps Open Lesson open. Student mode never asks.
TEST(OpenLessonDlg, PasswordsSurviveTheLessonFileAndOnlyTheTutorLogsIn) {
  // Blanks and quotes at either end, stored and read back through the profile
  // file, must still log in; a wrong password must not.
  const std::pair<std::string, std::string> cases[] = {{"Anna", "secret"},   {" Anna", "pw "}, {"'Anna'", "\"quoted\""},
                                                       {"Anna\"", "!start"}, {"Anna", "end&"}, {"\"", "&"}};
  for (const auto& [user, password] : cases) {
    SCOPED_TRACE(user + "/" + password);
    testsupport::TempFolder folder;
    std::string path = MakeLesson(folder, "Guarded", user, password);
    EXPECT_EQ(ProfileReadString(path, "user", "name", "?"), user);
    EXPECT_EQ(ProfileReadString(path, "user", "pw", "?"), EncodeLessonPassword(password));
    EXPECT_TRUE(LessonLoginAccepts(path, user, password));
    EXPECT_FALSE(LessonLoginAccepts(path, user, password + "x"));
    EXPECT_FALSE(LessonLoginAccepts(path, user + " ", password));
  }
  testsupport::TempFolder folder;
  std::string guarded = MakeLesson(folder, "Guarded", "Anna", " pw");
  BoxRecorder boxes;
  {
    ScopedModeWord tutor("Tutor");
    std::string path;
    OpenLessonDlg dialog(path);
    QTimer::singleShot(0, [&] {
      WhenModal(
          [&](LDialog& login) {
            Login(login, "Anna", "pw");  // the leading blank is part of the password
            ASSERT_EQ(boxes.boxes.size(), 1u);
            EXPECT_EQ(boxes.boxes[0].type, MB_OK | MB_ICONERROR);
            EXPECT_NE(login.Window(), nullptr);
            login.SendCommand(IDCANCEL);
            QTimer::singleShot(0, [&] {
              EXPECT_NE(dialog.Window(), nullptr) << "a refused login keeps Open Lesson open";
              WhenModal([&](LDialog& again) { Login(again, "anna", " pw"); }, dialog.Window());
              dialog.SendCommand(IDOK);
            });
          },
          dialog.Window());
      dialog.SendCommand(IDOK);
    });
    EXPECT_EQ(dialog.Run(nullptr), IDOK);
    EXPECT_EQ(path, guarded);
  }
  // Student mode: the selection drives the description and OK; a double click opens.
  ScopedModeWord student("");
  MakeLesson(folder, "Alpha");
  std::string path;
  OpenLessonDlg dialog(path);
  QTimer::singleShot(0, [&] {
    auto* list = dialog.ControlAs<QTreeWidget>(OpenLessonDlg::kList);
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_TRUE(dialog.Control(IDOK)->isEnabled());
    list->clearSelection();
    EXPECT_FALSE(dialog.Control(IDOK)->isEnabled());
    EXPECT_EQ(LGetControlText(dialog, OpenLessonDlg::kDescription), "");
    dialog.SendCommand(IDOK);
    ASSERT_NE(dialog.Window(), nullptr) << "OK without a row stays open";
    QTreeWidgetItem* item = list->findItems("Guarded", Qt::MatchExactly).value(0);
    item->setSelected(true);
    EXPECT_TRUE(dialog.Control(IDOK)->isEnabled());
    EXPECT_NE(LGetControlText(dialog, OpenLessonDlg::kDescription).find("Lesson Name: Guarded"), std::string::npos);
    emit list->itemDoubleClicked(item, 0);
  });
  EXPECT_EQ(dialog.Run(nullptr), IDOK);
  EXPECT_EQ(path, guarded);
  EXPECT_EQ(boxes.boxes.size(), 1u) << "no login asked";
}

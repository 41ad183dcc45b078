// The Open Lesson and Login dialogs and the password protection they read.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTreeWidget>

#include "dialog_test_util.h"
#include "framework/widgets/controls.h"
#include "lessons/lesson.h"
#include "study/lesson_access.h"
#include "study/lesson_secure_dlg.h"
#include "study/open_lesson_dlg.h"
#include "tests/support/test_support.h"

using namespace dialogtest;

namespace {

// A lessons folder for both modes with lessons made on disk.
class LessonsFolder {
 public:
  LessonsFolder() {
    RegSetUserSetting("SystemFolders", "TutorLessons", folder_.Path());
    RegSetUserSetting("SystemFolders", "StudentLessons", folder_.Path());
  }
  std::string Add(const std::string& name) {
    std::string path;
    EXPECT_TRUE(LLesson::CreateLesson(folder_.Path(), name, path));
    return path;
  }
  std::string Protect(const std::string& name, const std::string& user, const std::string& password) {
    std::string path = Add(name);
    ProfileWriteBool(path, "password", "enabled", true);
    ProfileWriteString(path, "user", "name", ProfileTextFor(user));
    ProfileWriteString(path, "user", "pw", ProfileTextFor(EncodeLessonPassword(password)));
    return path;
  }

 private:
  testsupport::TempFolder folder_;
};

void Login(LDialog& login, const std::string& user, const std::string& password) {
  LSetControlText(login, LessonSecureDlg::kUser, user);
  LSetControlText(login, LessonSecureDlg::kPassword, password);
  login.SendCommand(IDOK);
}

}  // namespace

struct Credentials {
  const char* user;
  const char* password;
};

class LessonPassword : public testing::TestWithParam<Credentials> {};

// Blanks and quotes at either end, stored and read back through the profile
// file, must still log in; a wrong password must not.
TEST_P(LessonPassword, SurvivesTheLessonFileAndLogsIn) {
  LessonsFolder lessons;
  const Credentials& c = GetParam();
  std::string path = lessons.Protect("Guarded", c.user, c.password);
  EXPECT_EQ(ProfileReadString(path, "user", "name", "?"), c.user);
  EXPECT_EQ(ProfileReadString(path, "user", "pw", "?"), EncodeLessonPassword(c.password));
  EXPECT_TRUE(LessonLoginAccepts(path, c.user, c.password));
  EXPECT_FALSE(LessonLoginAccepts(path, c.user, std::string(c.password) + "x"));
  EXPECT_FALSE(LessonLoginAccepts(path, std::string(c.user) + " ", c.password));
}

INSTANTIATE_TEST_SUITE_P(Edges, LessonPassword,
                         testing::Values(Credentials{"Anna", "secret"}, Credentials{" Anna", "pw "},
                                         Credentials{"'Anna'", "\"quoted\""}, Credentials{"Anna\"", "!start"},
                                         Credentials{"Anna", "end&"}, Credentials{"\"", "&"}));

TEST(LessonPassword, LetterCaseIsIgnoredOnBothFields) {
  LessonsFolder lessons;
  std::string path = lessons.Protect("Guarded", "Anna", "Secret");
  EXPECT_TRUE(LessonLoginAccepts(path, "anna", "sECRET"));
  EXPECT_FALSE(LessonLoginAccepts(path, "anna", ""));
}

TEST(OpenLessonDlg, EmptyFolderLeavesNothingToOpen) {
  LessonsFolder lessons;
  std::string path = "unchanged";
  OpenLessonDlg dialog(path);
  QTimer::singleShot(0, [&] {
    EXPECT_FALSE(dialog.Control(IDOK)->isEnabled());
    EXPECT_EQ(LGetControlText(dialog, OpenLessonDlg::kDescription), "");
    dialog.SendCommand(IDOK);
    EXPECT_NE(dialog.Window(), nullptr) << "OK without a row stays open";
    dialog.SendCommand(IDCANCEL);
  });
  EXPECT_EQ(dialog.Run(nullptr), IDCANCEL);
  EXPECT_EQ(path, "unchanged");
}

TEST(OpenLessonDlg, SelectionDrivesDescriptionAndOpen) {
  LessonsFolder lessons;
  lessons.Add("Alpha");
  std::string beta = lessons.Add("Beta");
  std::string path;
  OpenLessonDlg dialog(path);
  QTimer::singleShot(0, [&] {
    auto* list = dialog.ControlAs<QTreeWidget>(OpenLessonDlg::kList);
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_TRUE(dialog.Control(IDOK)->isEnabled());
    list->clearSelection();
    EXPECT_FALSE(dialog.Control(IDOK)->isEnabled());
    EXPECT_EQ(LGetControlText(dialog, OpenLessonDlg::kDescription), "");
    QTreeWidgetItem* item = list->findItems("Beta", Qt::MatchExactly).value(0);
    ASSERT_NE(item, nullptr);
    item->setSelected(true);
    EXPECT_TRUE(dialog.Control(IDOK)->isEnabled());
    EXPECT_NE(LGetControlText(dialog, OpenLessonDlg::kDescription).find("Lesson Name: Beta"), std::string::npos);
    emit list->itemDoubleClicked(item, 0);  // a double click opens
  });
  EXPECT_EQ(dialog.Run(nullptr), IDOK);
  EXPECT_EQ(path, beta);
}

// Tutor mode: a protected lesson opens only after a good login; a refused
// login keeps Open Lesson open. Student mode never asks.
TEST(OpenLessonDlg, ProtectedLessonAsksTheTutorOnly) {
  LessonsFolder lessons;
  std::string guarded = lessons.Protect("Guarded", "Anna", " pw");
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
  ScopedModeWord student("");
  std::string path;
  OpenLessonDlg dialog(path);
  QTimer::singleShot(0, [&] { dialog.SendCommand(IDOK); });
  EXPECT_EQ(dialog.Run(nullptr), IDOK);
  EXPECT_EQ(path, guarded);
  EXPECT_EQ(boxes.boxes.size(), 1u);
}

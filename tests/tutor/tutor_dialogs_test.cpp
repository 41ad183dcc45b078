// Lesson Properties, Record New and the tutor's Settings.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>

#include "dialog_test_util.h"
#include "framework/widgets/dialog_items.h"
#include "framework/widgets/file_dialogs.h"
#include "lessons/lesson.h"
#include "study/lesson_access.h"
#include "tests/support/test_support.h"
#include "tutor/audio_new_dlg.h"
#include "tutor/lesson_prop_dlg.h"
#include "tutor/set_dlg.h"

using namespace dialogtest;

namespace {

// The lesson name, user and password typed, and the protection chosen.
struct PropsInput {
  const char *name, *user, *password;
  bool protect;
};

// Types into the dialog and presses OK; returns whether it closed.
bool SubmitProps(std::string& path, const PropsInput& input) {
  LessonPropDlg dialog(path);
  QTimer::singleShot(0, [&] {
    LSetControlText(dialog, LessonPropDlg::kName, input.name);
    dialog.ControlAs<QComboBox>(LessonPropDlg::kMode)->setCurrentIndex(0);
    dialog.ControlAs<QCheckBox>(LessonPropDlg::kProtect)->setChecked(input.protect);
    dialog.SendCommand(LessonPropDlg::kProtect, BN_CLICKED);
    EXPECT_EQ(dialog.Control(LessonPropDlg::kUser)->isEnabled(), input.protect);
    EXPECT_EQ(dialog.Control(LessonPropDlg::kPassword)->isEnabled(), input.protect);
    LSetControlText(dialog, LessonPropDlg::kUser, input.user);
    LSetControlText(dialog, LessonPropDlg::kPassword, input.password);
    dialog.SendCommand(IDOK);
    if (dialog.Window()) dialog.SendCommand(IDCANCEL);
  });
  return dialog.Run(nullptr) == IDOK;
}

}  // namespace

// A refused OK must leave the lesson exactly as it was: no byte of its file,
// no name of its folder.
TEST(LessonPropDlg, RefusesBadInputUntouchedThenStoresRenamesAndClearsThePassword) {
  testsupport::TempFolder folder;
  std::string other, path;
  ASSERT_TRUE(LLesson::CreateLesson(folder.Path(), "Other", other));
  ASSERT_TRUE(LLesson::CreateLesson(folder.Path(), "Guarded", path));
  ProfileWriteInt(path, "study", "mode", 1);
  ProfileWriteBool(path, "password", "enabled", true);
  ProfileWriteString(path, "user", "name", "Anna");
  ProfileWriteString(path, "user", "pw", EncodeLessonPassword("old"));
  const std::string original = path;
  const auto before = testsupport::Snapshot(folder.Path());
  BoxRecorder boxes;
  for (const PropsInput& input : {PropsInput{"Renamed", "", "pw", true}, PropsInput{"Renamed", "Bob", "", true},
                                  PropsInput{"other", "", "", false}, PropsInput{"OTHER", "Bob", "pw", true},
                                  PropsInput{"Renamed", "Bob", "p\tw", true}}) {
    boxes.boxes.clear();
    EXPECT_FALSE(SubmitProps(path, input)) << input.name << " " << input.user << " " << input.password;
    EXPECT_EQ(boxes.boxes.size(), 1u) << "one message says why";
    EXPECT_EQ(path, original);
    EXPECT_EQ(testsupport::Snapshot(folder.Path()), before);
  }
  boxes.boxes.clear();
  // Quotes and blanks at either end survive the lesson file and log in.
  ASSERT_TRUE(SubmitProps(path, {"Renamed", " 'Anna' ", "!pw\"", true}));
  EXPECT_EQ(path, LLesson::GetLessonPath(folder.Path(), "Renamed"));
  EXPECT_EQ(ProfileReadInt(path, "study", "mode", -1), 0);
  EXPECT_TRUE(LessonLoginAccepts(path, " 'anna' ", "!PW\""));
  EXPECT_FALSE(LessonLoginAccepts(path, "'Anna'", "!pw\""));

  ASSERT_TRUE(SubmitProps(path, {"renamed", "Anna", "typed but off", false})) << "letter case only";
  EXPECT_EQ(path, LLesson::GetLessonPath(folder.Path(), "renamed"));
  EXPECT_FALSE(LessonIsProtected(path));
  EXPECT_EQ(ProfileReadString(path, "user", "pw", "?"), "");
  EXPECT_TRUE(boxes.boxes.empty());
}

// Record New accepts only rates within limits; the tutor's Settings share its
// 44100 Hz default and flag a changed lessons folder.
TEST(RecordFormatDialogs, RecordNewAcceptsRatesWithinLimitsAndSettingsShareItsDefault) {
  struct {
    const char* text;
    bool accepted;
  } cases[] = {{"6000", true},    {"196000", true}, {"5999", false},   {"196001", false},
               {"44100x", false}, {"", false},      {"-44100", false}, {"99999999999", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    RegSetUserSettingInt("Settings", "SelectedSampleRate", 22050);
    RegSetUserSettingInt("Settings", "SelectedChannels", 2);
    BoxRecorder boxes;
    AudioNewDlg dialog;
    QTimer::singleShot(0, [&] {
      auto* rate = dialog.ControlAs<QComboBox>(AudioNewDlg::kRate);
      EXPECT_EQ(rate->currentText(), "22050");
      EXPECT_TRUE(dialog.ControlAs<QRadioButton>(AudioNewDlg::kStereo)->isChecked());
      rate->setEditText(c.text);
      dialog.ControlAs<QRadioButton>(AudioNewDlg::kMono)->setChecked(true);
      dialog.SendCommand(IDOK);
      if (dialog.Window()) dialog.SendCommand(IDCANCEL);
    });
    EXPECT_EQ(dialog.Run(nullptr) == IDOK, c.accepted);
    EXPECT_EQ(boxes.boxes.size(), c.accepted ? 0u : 1u);
    EXPECT_EQ(AudioNewDlg::SelectedRate(), c.accepted ? std::atoi(c.text) : 22050);
    EXPECT_EQ(AudioNewDlg::SelectedChannels(), c.accepted ? 1 : 2);
  }

  // The tutor's Settings agree with Record New's default and flag a changed folder.
  for (bool other : {false, true}) {
    testsupport::PrivateHome temp;
    RegSetUserSetting("SystemFolders", "TutorLessons", temp.Path());
    const std::string pick = other ? temp.File("Other") : temp.Path();
    bool changed = false;
    SetDlg dialog(&changed);
    std::string startedAt;
    LSetFileDialogHook([&](const std::string&, const std::string& start) {
      startedAt = start;
      return pick;
    });
    QTimer::singleShot(0, [&] {
      auto* rate = dialog.ControlAs<QComboBox>(SetDlg::kRate);
      EXPECT_EQ(rate->currentText(), "44100");
      EXPECT_FALSE(rate->isEnabled());
      dialog.ControlAs<QRadioButton>(SetDlg::kUseDefault)->setChecked(true);
      dialog.SendCommand(SetDlg::kUseDefault, BN_CLICKED);
      EXPECT_TRUE(rate->isEnabled());
      dialog.SendCommand(SetDlg::kBrowse, BN_CLICKED);
      EXPECT_EQ(startedAt, temp.Path());
      dialog.SendCommand(IDOK);
    });
    EXPECT_EQ(dialog.Run(nullptr), IDOK);
    LSetFileDialogHook(nullptr);
    EXPECT_EQ(changed, other);
    EXPECT_EQ(RegGetUserSetting("SystemFolders", "TutorLessons", ""), pick);
    EXPECT_EQ(RegGetUserSettingInt("Settings", "DefaultSampleRate", -1), 6);
    EXPECT_FALSE(RegGetUserSettingBool("Settings", "PromptSampleAndChannels", true));
  }
}

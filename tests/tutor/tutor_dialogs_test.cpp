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

struct Lessons {
  testsupport::TempFolder folder;
  std::string Add(const std::string& name, bool protect = false) {
    std::string path;
    EXPECT_TRUE(LLesson::CreateLesson(folder.Path(), name, path));
    ProfileWriteInt(path, "study", "mode", 1);
    if (protect) {
      ProfileWriteBool(path, "password", "enabled", true);
      ProfileWriteString(path, "user", "name", "Anna");
      ProfileWriteString(path, "user", "pw", EncodeLessonPassword("old"));
    }
    return path;
  }
};

struct PropsInput {
  const char* name;  // the lesson name typed
  bool protect;
  const char* user;
  const char* password;
};

// Types into the dialog and presses OK; returns whether it closed.
bool SubmitProps(std::string& path, const PropsInput& input, BoxRecorder& boxes) {
  bool closed = false;
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
    size_t before = boxes.boxes.size();
    dialog.SendCommand(IDOK);
    closed = dialog.Window() == nullptr;
    if (!closed) {
      EXPECT_EQ(boxes.boxes.size(), before + 1);
      dialog.SendCommand(IDCANCEL);
    }
  });
  dialog.Run(nullptr);
  return closed;
}

}  // namespace

class RefusedProperties : public testing::TestWithParam<PropsInput> {};

// A refused OK must leave the lesson exactly as it was: no byte of its file,
// no name of its folder.
TEST_P(RefusedProperties, ChangeNoByteOfTheLesson) {
  Lessons lessons;
  lessons.Add("Other");
  std::string path = lessons.Add("Guarded", true);
  const auto before = testsupport::Snapshot(lessons.folder.Path());
  std::string original = path;
  BoxRecorder boxes;
  EXPECT_FALSE(SubmitProps(path, GetParam(), boxes));
  EXPECT_EQ(path, original);
  EXPECT_EQ(testsupport::Snapshot(lessons.folder.Path()), before);
}

INSTANTIATE_TEST_SUITE_P(Inputs, RefusedProperties,
                         testing::Values(PropsInput{"Renamed", true, "", "pw"}, PropsInput{"Renamed", true, "Bob", ""},
                                         PropsInput{"other", false, "", ""}, PropsInput{"OTHER", true, "Bob", "pw"},
                                         PropsInput{"Renamed", true, "Bob", "p\tw"}));

TEST(LessonPropDlg, StoresRenamesAndClearsThePasswordWithProtectionOff) {
  Lessons lessons;
  std::string path = lessons.Add("Guarded", true);
  BoxRecorder boxes;
  // Quotes and blanks at either end survive the lesson file and log in.
  ASSERT_TRUE(SubmitProps(path, {"Renamed", true, " 'Anna' ", "!pw\""}, boxes));
  EXPECT_EQ(path, LLesson::GetLessonPath(lessons.folder.Path(), "Renamed"));
  EXPECT_EQ(ProfileReadInt(path, "study", "mode", -1), 0);
  EXPECT_TRUE(LessonLoginAccepts(path, " 'anna' ", "!PW\""));
  EXPECT_FALSE(LessonLoginAccepts(path, "'Anna'", "!pw\""));

  ASSERT_TRUE(SubmitProps(path, {"renamed", false, "Anna", "typed but off"}, boxes)) << "letter case only";
  EXPECT_EQ(path, LLesson::GetLessonPath(lessons.folder.Path(), "renamed"));
  EXPECT_FALSE(LessonIsProtected(path));
  EXPECT_EQ(ProfileReadString(path, "user", "pw", "?"), "");
  EXPECT_TRUE(boxes.boxes.empty());
}

struct RateCase {
  const char* text;
  bool accepted;
};

class RecordNewRate : public testing::TestWithParam<RateCase> {};

TEST_P(RecordNewRate, AcceptsOnlyRatesWithinLimits) {
  RegSetUserSettingInt("Settings", "SelectedSampleRate", 22050);
  RegSetUserSettingInt("Settings", "SelectedChannels", 2);
  BoxRecorder boxes;
  AudioNewDlg dialog;
  QTimer::singleShot(0, [&] {
    auto* rate = dialog.ControlAs<QComboBox>(AudioNewDlg::kRate);
    EXPECT_EQ(rate->currentText(), "22050");
    EXPECT_TRUE(dialog.ControlAs<QRadioButton>(AudioNewDlg::kStereo)->isChecked());
    rate->setEditText(GetParam().text);
    dialog.ControlAs<QRadioButton>(AudioNewDlg::kMono)->setChecked(true);
    dialog.SendCommand(IDOK);
    if (dialog.Window()) dialog.SendCommand(IDCANCEL);
  });
  int code = dialog.Run(nullptr);
  EXPECT_EQ(code == IDOK, GetParam().accepted);
  EXPECT_EQ(boxes.boxes.size(), GetParam().accepted ? 0u : 1u);
  EXPECT_EQ(AudioNewDlg::SelectedRate(), GetParam().accepted ? std::atoi(GetParam().text) : 22050);
  EXPECT_EQ(AudioNewDlg::SelectedChannels(), GetParam().accepted ? 1 : 2);
}

INSTANTIATE_TEST_SUITE_P(Limits, RecordNewRate,
                         testing::Values(RateCase{"6000", true}, RateCase{"196000", true}, RateCase{"5999", false},
                                         RateCase{"196001", false}, RateCase{"44100x", false}, RateCase{"", false},
                                         RateCase{"-44100", false}, RateCase{"99999999999", false}));

TEST(SetDlg, DefaultsAgreeWithRecordNewAndFolderChangesAreFlagged) {
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

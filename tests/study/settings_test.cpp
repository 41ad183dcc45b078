// The settings behind the study window's pages, and the pages themselves.
#include <sys/stat.h>

#include <QComboBox>
#include <tuple>

#include "controls/db_edit.h"
#include "dialog_test_util.h"
#include "framework/widgets/dialog_items.h"
#include "framework/widgets/file_dialogs.h"
#include "platform/program_start.h"
#include "platform/registry_store.h"
#include "study/settings_pages.h"
#include "study/system_folders.h"
#include "tests/support/test_support.h"
#include "tests/support/virtual_audio_scope.h"

using namespace dialogtest;

namespace {

// Changes an LDBEdit as the user would: the value, then its notice.
void UserSets(LDialog& page, int id, int db) {
  auto* edit = page.ControlAs<LDBEdit>(id);
  edit->SetValue(db);
  emit edit->Command(id, LDBEdit::kNotifyChange);
}

void Choose(LDialog& page, int id, int index) {
  auto* combo = page.ControlAs<QComboBox>(id);
  combo->setCurrentIndex(index);
  page.SendCommand(id, CBN_SELCHANGE);
}

// Runs page alone in a settings sheet; body runs in its loop and ends it with `ending`.
void RunSheet(LPropertyPage& page, int ending, const std::function<void(LPropertySheet&)>& body) {
  LPropertySheet sheet("Settings", LPropertySheet::kNoApply);
  sheet.AddPage(&page);
  QTimer::singleShot(0, [&] { body(sheet); });
  EXPECT_EQ(sheet.Run(nullptr), ending);
}

}  // namespace

// Only real changes are stored and flagged: the letter case counts, an
// emptied field removes the setting, a new folder is made; unusable folders
// are refused.
TEST(SystemFolder, StoresAndFlagsOnlyRealChangesAndRefusesUnusableFolders) {
  // "records" stored before or not, the folder typed below the home (or
  // nothing), whether that changed the folders and leaves a stored setting.
  using Case = std::tuple<const char*, bool, std::string, bool, bool>;
  const Case cases[] = {{"Same", true, "records", false, true},
                        {"LetterCaseOnly", true, "RECORDS", true, true},
                        {"NewFolderIsMade", true, "new/deeper", true, true},
                        {"EmptiedRemovesSetting", true, "", true, false},
                        {"EmptyWithNothingStored", false, "", false, false}};
  for (const auto& [name, storedBefore, below, changesFolders, storedAfter] : cases) {
    SCOPED_TRACE(name);
    testsupport::PrivateHome temp;
    if (storedBefore) {
      mkdir(temp.File("records").c_str(), 0755);
      RegSetUserSetting("SystemFolders", "StudentRecordings", temp.File("records"));
    }
    std::string typed = below.empty() ? "" : temp.File(below), message, after;
    ASSERT_TRUE(CheckFolderField("StudentRecordings", typed, &message)) << message;
    bool changed = false;
    StoreSystemFolder("StudentRecordings", typed, &changed);
    EXPECT_EQ(changed, changesFolders);
    EXPECT_EQ(RegistryGetValue(RegistryScope::User, std::string(kRegistryProgramKey) + "\\SystemFolders",
                               "StudentRecordings", &after),
              storedAfter);
    EXPECT_EQ(after, typed);
  }

  // Unusable folders are refused.
  testsupport::PrivateHome temp;
  ASSERT_TRUE(testsupport::WriteFileText(temp.File("file"), "x"));
  mkdir(temp.File("locked").c_str(), 0555);
  std::vector<std::string> bad = {temp.File("file"), temp.File("file/below"), "relative/folder"};
  if (geteuid() != 0) bad.push_back(temp.File("locked"));  // root writes anywhere
  for (const std::string& folder : bad) {
    std::string message;
    EXPECT_FALSE(CheckFolderField("StudentRecordings", folder, &message)) << folder;
    EXPECT_NE(message.find(folder), std::string::npos);
  }
  // A stored folder that went bad does not block an OK that leaves it alone.
  RegSetUserSetting("SystemFolders", "StudentRecordings", temp.File("file"));
  EXPECT_TRUE(CheckFolderField("StudentRecordings", temp.File("file"), nullptr));
  chmod(temp.File("locked").c_str(), 0755);
}

TEST(LGeneralPage, TutorModeLocksLessonsAndStoresGapsOfDigitsOnlyClamped) {
  ScopedModeWord tutor("Tutor");
  testsupport::PrivateHome temp;
  ASSERT_TRUE(testsupport::WriteFileText(temp.File("file"), "x"));
  BoxRecorder boxes;
  RegSetUserSetting("SystemFolders", "TutorLessons", temp.Path());
  bool changed = false;
  LGeneralPage page(&changed);
  std::string startedAt;
  LSetFileDialogHook([&](const std::string&, const std::string& start) {
    startedAt = start;
    return start;  // the same folder again
  });
  RunSheet(page, IDOK, [&](LPropertySheet& sheet) {
    EXPECT_EQ(LGetControlText(page, LGeneralPage::kLessons), temp.Path());
    EXPECT_FALSE(page.Control(LGeneralPage::kLessons)->isEnabled());
    std::string recordings = LGetControlText(page, LGeneralPage::kRecordings);
    page.SendCommand(LGeneralPage::kRecordingsBrowse, BN_CLICKED);
    EXPECT_EQ(startedAt, recordings) << "the picker starts at the field's folder";
    LSetControlText(page, LGeneralPage::kRecordings, temp.File("file"));
    sheet.PressOk();
    EXPECT_EQ(boxes.boxes.size(), 1u) << "an unusable folder is reported";
    ASSERT_TRUE(sheet.Window()->isVisible());
    LSetControlText(page, LGeneralPage::kRecordings, recordings);
    LSetControlText(page, LGeneralPage::kPlayGap, "900");
    LSetControlText(page, LGeneralPage::kRecordGap, "");
    sheet.PressOk();
  });
  LSetFileDialogHook(nullptr);
  EXPECT_FALSE(changed) << "browsing to the stored folder changes nothing";
  EXPECT_EQ(RegGetUserSettingInt("Settings", "PlaySilenceGaps", -1), 600);
  EXPECT_EQ(RegGetUserSettingInt("Settings", "RecordSilenceGaps", -1), 0);
  // Gaps typed: digits only, clamped.
  const std::pair<const char*, int> cases[] = {
      {"", 0}, {"0", 0}, {"7", 7}, {"600", 600}, {"601", 600}, {"99999999999", 600}, {"-3", 0}, {"1x", 0}, {" 5", 0}};
  for (const auto& [text, gap] : cases) EXPECT_EQ(SilenceGapFromText(text), gap) << text;

  // The whole sheet tells its window which changes need acting on.
  for (bool changeFolder : {false, true}) {
    RegSetUserSettingInt("Settings", "RecordSilenceGaps", 2);
    RegSetUserSetting("SystemFolders", "TutorRecordings", temp.File("a"));  // the tutor's, in tutor mode
    StudySettingsResult result;
    FillAndOk({{LGeneralPage::kRecordGap, changeFolder ? "2" : "4"},
               {LGeneralPage::kRecordings, QString::fromStdString(temp.File(changeFolder ? "b" : "a"))}});
    EXPECT_EQ(RunStudySettings(nullptr, &result), IDOK);
    EXPECT_EQ(result.foldersChanged, changeFolder);
    EXPECT_EQ(result.gapsChanged, !changeFolder);
  }
}

TEST(LAudioPage, DevicesLinesSwapVolumesThatOutliveCancelAndTheSoundSettingsProgram) {
  // The sound settings program: found on PATH in order of preference, started without a shell.
  testsupport::TempFolder a, b;
  auto makeProgram = [](const std::string& path, bool executable) {
    testsupport::WriteFileText(path, "#!/bin/sh\ntouch \"$0.ran-$1\"\n");
    chmod(path.c_str(), executable ? 0755 : 0644);
  };
  EXPECT_TRUE(FindSoundSettings(a.Path() + ":" + b.Path()).program.empty());
  makeProgram(a.File("pavucontrol"), false);  // not executable: not a program
  makeProgram(b.File("kcmshell5"), true);
  EXPECT_EQ(FindSoundSettings(a.Path() + ":" + b.Path()).program, b.File("kcmshell5"));
  makeProgram(b.File("gnome-control-center"), true);
  ProgramCall call = FindSoundSettings(a.Path() + "::" + b.Path());
  EXPECT_EQ(call.program, b.File("gnome-control-center"));
  ASSERT_EQ(call.arguments.size(), 1u);
  // An argument with shell characters arrives as one word.
  call.arguments = {"a b;c"};
  ASSERT_TRUE(StartSoundSettings(call));
  std::string ran = b.File("gnome-control-center.ran-a b;c");
  EXPECT_TRUE(testsupport::WaitFor([&] { return access(ran.c_str(), F_OK) == 0; }, 2000));
  EXPECT_FALSE(StartSoundSettings(FindSoundSettings("")));

  testsupport::PrivateHome home;
  testsupport::VirtualAudioScope audio;
  audio.Change([](LVirtualAudioConfig& c) {
    c.inputDevices = c.outputDevices = 2;
    c.inputLines = {"Microphone", "Line In"};
  });
  RegSetSettingInt("Settings", "SoundInDevice", 2);
  RegSetSettingInt("Settings", "SoundInChannel", 0);
  RegSetUserSettingInt("Settings", "VoiceActivateLevel", -3);
  testsupport::TempFolder emptyPath;
  testsupport::ScopedEnv path("PATH", emptyPath.Path().c_str());
  LAudioPage page;
  RunSheet(page, IDCANCEL, [&](LPropertySheet& sheet) {
    auto* devices = page.ControlAs<QComboBox>(LAudioPage::kInDevice);
    ASSERT_EQ(devices->count(), 3);
    EXPECT_EQ(devices->currentIndex(), 2);
    auto* lines = page.ControlAs<QComboBox>(LAudioPage::kInChannel);
    ASSERT_EQ(lines->count(), 3);
    EXPECT_EQ(lines->currentIndex(), 1);
    EXPECT_EQ(lines->itemText(2), "Line In");
    EXPECT_EQ(page.ControlAs<LDBEdit>(LAudioPage::kVoiceLevel)->GetValue(), -6) << "kept within -40..-6";
    EXPECT_TRUE(page.Control(LAudioPage::kInVolume)->isVisibleTo(page.Window()));
    EXPECT_FALSE(page.Control(LAudioPage::kMixer)->isVisibleTo(page.Window()));

    const int linesPicked = LVirtualAudio::Mixer().lineSelections;
    UserSets(page, LAudioPage::kInVolume, -12);
    EXPECT_EQ(LAudioRecordVolume(), -12);
    EXPECT_EQ(LVirtualAudio::Mixer().lineSelections, linesPicked) << "a volume change picks no line";
    UserSets(page, LAudioPage::kOutVolume, -20);
    EXPECT_EQ(LAudioPlayVolume(), -20);

    Choose(page, LAudioPage::kInChannel, 0);
    EXPECT_FALSE(page.Control(LAudioPage::kInVolume)->isVisibleTo(page.Window()));
    EXPECT_TRUE(page.Control(LAudioPage::kMixer)->isVisibleTo(page.Window()));
    EXPECT_FALSE(page.Control(LAudioPage::kMixer)->isEnabled()) << "no sound settings program on PATH";
    Choose(page, LAudioPage::kInDevice, 0);
    EXPECT_EQ(lines->count(), 3) << "the default device's lines";
    sheet.PressCancel();
  });
  EXPECT_EQ(RegGetUserSettingInt("Settings", "SoundInVolume", 0), -12);
  EXPECT_EQ(RegGetUserSettingInt("Settings", "SoundOutVolume", 0), -20);
  EXPECT_EQ(RegGetSettingInt("Settings", "SoundInDevice", 0), 2) << "Cancel stores no device";

  LAudioPage again;
  RunSheet(again, IDOK, [&](LPropertySheet& second) {
    EXPECT_EQ(again.ControlAs<LDBEdit>(LAudioPage::kInVolume)->GetValue(), -12);
    Choose(again, LAudioPage::kInChannel, 0);
    Choose(again, LAudioPage::kOutDevice, 2);
    second.PressOk();
  });
  EXPECT_EQ(RegGetSettingInt("Settings", "SoundInChannel", 5), -1);
  EXPECT_EQ(RegGetSettingInt("Settings", "SoundOutDevice", 0), 2);
}

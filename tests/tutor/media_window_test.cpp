// The tutor window's audio and image commands on a real lesson, playing on
// the virtual audio device.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QRadioButton>

#include "controls/db_edit.h"
#include "controls/level_meter.h"
#include "framework/widgets/key_codes.h"
#include "platform/audio/mixer.h"
#include "platform/registry_store.h"
#include "tests/controls/panel_test_support.h"
#include "tutor/audio_new_dlg.h"
#include "tutor/media_commands.h"
#include "tutor_fixture.h"

namespace {

using testsupport::WaitFor;

using MediaWindow = TutorWindowTest;

// After the setup the window offers the missing related programs; an
// installed one cannot be checked. F9 toggles play, the thumb seeks, the meter
// and the volume follow. The image commands ask before replacing and keep the
// chosen name. Record New asks for the format first: Cancel records nothing,
// the chosen rate and channels are what the expression's new audio holds.
TEST_F(MediaWindow, PlayImageAndRecordCommandsAndTheRelatedProgramsOffer) {
  std::string lesson = lessons.MakeLesson("Play", {"Silent", "Tone"});
  std::string wav = home.File("tone.wav");
  ASSERT_TRUE(testsupport::WriteWav16(wav, 8000, 1, testsupport::Tone(8000, 1, 80000, 440, 8000)));
  ASSERT_EQ(media::LoadAudio(ExpressionRecordPath(lesson, "Tone"), wav), media::LoadResult::kDone);
  std::string record = ExpressionRecordPath(lesson, "Silent");
  std::string chosen = home.File("photo.JPG");
  testsupport::WriteFileBytes(chosen, std::vector<uint8_t>(5000, 0x42));
  LSetFileDialogHook([&](const std::string&, const std::string&) { return chosen; });
  const std::string key = "Software\\Kestrelon\\Soundsmith\\Settings";
  RegistrySetValue(RegistryScope::Machine, key, "RunEdit", "soundsmith %s");
  std::map<QString, bool> enabled;  // the check boxes and buttons offered
  RegSetUserSettingBool("Settings", "PromptSampleAndChannels", true);
  LRecordOptions{.autoTrim = false}.Store();
  int prompts = 0, panels = 0, recordingTicks = 0;
  QTimer driver;
  QObject::connect(&driver, &QTimer::timeout, [&] {
    LDialog* dialog = LDialogWindow::ObjectOf(QApplication::activeModalWidget());
    if (!dialog) dialog = LKeyDialog::Running();  // the panel runs its own loop
    if (auto* ask = dynamic_cast<AudioNewDlg*>(dialog)) {
      ask->ControlAs<QComboBox>(AudioNewDlg::kRate)->setEditText("16000");
      ask->ControlAs<QRadioButton>(AudioNewDlg::kStereo)->setChecked(true);
      ask->SendCommand(++prompts == 1 ? IDCANCEL : IDOK);  // the first prompt is cancelled
    } else if (auto* sheet = qobject_cast<QDialog*>(QApplication::activeModalWidget());
               sheet && sheet->windowTitle() == "Related Programs") {
      for (QCheckBox* box : sheet->findChildren<QCheckBox*>()) enabled[box->text()] = box->isEnabled();
      for (QPushButton* button : sheet->findChildren<QPushButton*>()) enabled[button->text()] = button->isEnabled();
      sheet->reject();
    } else if (auto* panel = dynamic_cast<LRecordDlg*>(dialog)) {
      if (panel->Recorder().GetState() == LSoundRecorder::kIdle || ++recordingTicks < 6) return;
      ++panels;
      panel->SendCommand(LPlayerBaseDlg::kStop);
      panel->SendCommand(IDOK);
    }
  });
  driver.start(50);
  window.SetOfferRelatedPrograms(true);
  Run(lesson, [&] {
    WaitFor([&] { return !enabled.empty(); }, 5000);
    RegistryDeleteKey(RegistryScope::Machine, key);
    EXPECT_FALSE(enabled["Soundsmith"]);
    EXPECT_TRUE(enabled["Wordwell"]);
    EXPECT_TRUE(enabled.count("Install"));
    Click(0);
    window.EvKeyDown(VK_F9);
    QTest::qWait(100);
    EXPECT_FALSE(window.AudioPlaying()) << "no audio, nothing plays";
    Click(1);
    window.EvKeyDown(VK_F9);
    ASSERT_TRUE(WaitFor([&] { return window.AudioPlaying(); }));
    auto* meter = window.ControlAs<LDBDisplay>(MainDialog::kLevel);
    ASSERT_NE(meter, nullptr);
    EXPECT_TRUE(WaitFor([&] { return meter->Level(0) > -30; })) << "the tone is at -12 dB";
    window.EvScroll(5, 50);
    EXPECT_EQ(window.PlayPositionMs(), 5000);
    // The player reports from the new place on, not from the start.
    ASSERT_TRUE(WaitFor([&] { return window.PlayPositionMs() > 5000; }));
    window.EvScroll(0, 0);
    EXPECT_LT(window.PlayPositionMs(), 5000);
    window.EvKeyDown(VK_F9);
    EXPECT_TRUE(WaitFor([&] { return !window.AudioPlaying(); }));
    EXPECT_EQ(meter->Level(0), LDBDisplay::kMinDB) << "silence";
    // The volume control drives the program's play volume, -36 dB (silent) to +10 dB.
    auto* volume = window.ControlAs<LDBEdit>(MainDialog::kVolume);
    ASSERT_TRUE(volume && volume->isEnabled());
    for (const auto& [typed, db] :
         {std::pair{"-50", -36}, std::pair{"99", 10}, std::pair{"-12", -12}, std::pair{"-36", -36}}) {
      volume->EditField()->clear();
      QTest::keyClicks(volume->EditField(), typed);
      EXPECT_EQ(LAudioPlayVolume(), db) << typed;
    }
    // Another window set the program's volume behind the control's back: playing restores it.
    LAudioSetPlayVolume(0);
    window.EvKeyDown(VK_F9);
    EXPECT_EQ(LAudioPlayVolume(), -36);
    window.EvKeyDown(VK_F9);
    EXPECT_TRUE(WaitFor([&] { return !window.AudioPlaying(); }));
    Click(0);
    window.EvKeyDown('I' + KEY_CTRL);
    EXPECT_EQ(media::ImageFile(record).substr(media::ImageFile(record).size() - 4), ".JPG");
    answer = IDCANCEL;
    window.EvKeyDown(VK_F8);
    EXPECT_EQ(boxes, std::vector<std::string>{"Confirm Replace"});
    EXPECT_EQ(testsupport::ReadFileBytes(media::ImageFile(record)).size(), 5000u) << "Cancel keeps the image";
    answer = IDOK;
    window.SendCommand(MainDialog::CM_IMAGE_REMOVE);
    EXPECT_FALSE(media::HasImage(record));
    paneltest::Microphone mic(paneltest::ToneBetween(16000, 0, 60, 3277));
    Click(0);
    window.EvKeyDown(VK_F5);
    EXPECT_EQ(panels, 0) << "Cancel in the prompt opens no panel";
    window.EvKeyDown(VK_F5);
  });
  LAudioSetPlayVolume(0);
  EXPECT_EQ(panels, 1);
  int rate = 0, channels = 0;
  std::vector<int16_t> samples;
  ASSERT_TRUE(testsupport::ReadWav16(record.substr(0, record.size() - 4) + ".wav", &rate, &channels, &samples));
  EXPECT_EQ(std::pair(rate, channels), std::pair(16000, 2)) << "the prompt's rate and channels";
  EXPECT_FALSE(samples.empty());
}

}  // namespace

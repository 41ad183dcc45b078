// Slow replay in the study window: the tutor's recording at the student's
// speed for Go, Redo and Play (the student's own take at normal speed), "slow,
// then normal" in Listen All, and the setting kept from one window to the next.

#include <QCheckBox>
#include <QComboBox>
#include <tuple>

#include "framework/widgets/help.h"
#include "framework/widgets/status_bar.h"
#include "framework/widgets/window_size.h"
#include "platform/registry_store.h"
#include "study/preview_dlg.h"
#include "study/replay_speed.h"
#include "tests/study/dialog_test_util.h"
#include "tests/study/study_fixture.h"

using namespace studytest;
using dialogtest::Press;

namespace {

// The device played these notes first (and no others when all is set).
void ExpectNotes(const std::vector<std::pair<double, double>>& expected, bool all = false) {
  std::vector<Note> runs = Notes(LVirtualAudio::CapturedOutput(), 22050, {440, 880, 1760});
  if (all) {
    EXPECT_EQ(runs.size(), expected.size());
  }
  ASSERT_GE(runs.size(), expected.size());
  for (size_t k = 0; k < expected.size(); ++k) {
    EXPECT_EQ(runs[k].hz, expected[k].first) << k;
    // A block either side for where the note changes.
    EXPECT_NEAR(runs[k].endMs - runs[k].startMs, expected[k].second, 20) << k;
  }
}

using SlowReplayTest = RunnerTest;

// Listen All plays each expression at the speed, then (slow, then normal) at
// once at normal speed, then the gap.
TEST_F(SlowReplayTest, ListenAllPlayAndRedoSlowOnlyTheTutor) {
  Lesson lesson("Slow");
  ASSERT_TRUE(lesson.Add("one", 0, kAudioTypeWav, TwoTones(200, 440, 880)));
  ASSERT_TRUE(lesson.Add("two", 1, kAudioTypeWav, TwoTones(200, 440, 880)));
  // The speed, "slow, then normal", each note of the first pass, whether a normal pass follows.
  using Case = std::tuple<int, bool, double, bool>;
  const Case cases[] = {{50, true, 400, true}, {75, false, 200 / 0.75, false}, {100, true, 200, false}};
  for (const auto& [speed, slowThenNormal, slowMs, normalPass] : cases) {
    SCOPED_TRACE(speed);
    StoreReplaySpeed(speed);
    StoreSlowThenNormal(slowThenNormal);
    LVirtualAudio::ClearCapture();
    Session s(lesson);
    s.runner.CmLessonStart();
    ASSERT_TRUE(s.WaitIdle(20000));
    std::vector<std::pair<double, double>> one = {{440, slowMs}, {880, slowMs}};
    if (normalPass) one.insert(one.end(), {{440, 200}, {880, 200}});
    std::vector<std::pair<double, double>> expected = one;
    expected.insert(expected.end(), one.begin(), one.end());
    ExpectNotes(expected, true);
    const int plays = normalPass ? 2 : 1;
    EXPECT_EQ(s.view.Count("status Playing..."), 2 * plays);
    // The normal pass follows at once; the gap comes after it.
    if (normalPass) {
      EXPECT_LT(MsSince(s.view.When("status Waiting...", 0), s.view.When("status Playing...", 1)), 500);
    }
    EXPECT_GE(MsSince(s.view.When("status Waiting...", plays - 1), s.view.When("status Playing...", plays)), 1000);
  }

  // Play: the tutor slowed, then the student's own take at normal speed. Redo:
  // the tutor slowed, and the student may take as long as the slowed recording
  // and 2 s to repeat it.
  SetGaps(1, 0);
  StoreReplaySpeed(70);
  Session s(lesson);
  ASSERT_EQ(testsupport::RunCommand("mkdir -p '" + recordings.Path() + "/Slow'"), 0);
  ASSERT_TRUE(testsupport::WriteWav16(s.runner.GetStudentRecordingPath(0), 22050, 1, Tone(300, 1760)));
  LVirtualAudio::ClearCapture();
  s.runner.CmPlay(0);
  ASSERT_TRUE(s.WaitIdle(15000));
  ExpectNotes({{440, 200 / 0.7}, {880, 200 / 0.7}, {1760, 300}});

  mic.phrases = {Noise(300, 3)};
  mic.Install();
  LVirtualAudio::ClearCapture();
  s.view.Clear();
  s.runner.CmRedo(0);
  ASSERT_TRUE(WaitFor([&] { return s.view.Count("status Speak Now...") == 1; }, 15000));
  ExpectNotes({{440, 200 / 0.7}, {880, 200 / 0.7}});
  ASSERT_TRUE(s.WaitIdle(15000));
  EXPECT_GE(MsSince(s.view.When("status Waiting..."), s.view.When("status Ready!")), 400 / 0.7 + 2000 - 1);
}

// The student's window starts without a lesson and everything idle; the
// toolbar's controls store what the student picks; the next window shows it.
TEST(SlowReplaySetting, TheStudentWindowStartsIdleTheToolbarControlsPersistAndGarbageReadsAsNormal) {
  testsupport::PrivateHome home;
  SetModeWord("");
  LSetHelpFolder(ORATIVO_HELP_SOURCE);
  std::string path;
  for (int round = 0; round < 2; ++round) {
    PreviewDlg window(path);
    QTimer::singleShot(0, [&] {
      auto* speed = window.ControlAs<QComboBox>(PreviewDlg::kReplaySpeed);
      auto* both = window.ControlAs<QCheckBox>(PreviewDlg::kSlowThenNormal);
      if (round == 0) {
        EXPECT_EQ(window.Window()->windowTitle(), "Orativo");
        EXPECT_TRUE(window.Window()->windowState() & Qt::WindowMaximized) << "students start maximised";
        for (int id : {PreviewDlg::kList, PreviewDlg::kMode, PreviewDlg::kPage})
          EXPECT_FALSE(window.Control(id)->isEnabled()) << id;
        for (int id : {PreviewDlg::CM_GO, PreviewDlg::CM_STOP, PreviewDlg::CM_REDO, PreviewDlg::CM_PLAY})
          EXPECT_FALSE(window.ToolBar().IsButtonEnabled(id)) << id;
        EXPECT_EQ(window.ControlAs<LStatusBar>(PreviewDlg::kStatus)->Text(2), "") << "no expression count";
        // Esc and Enter never close the study window; F1 opens its topic.
        for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_F1}) Press(window.Control(PreviewDlg::kList), key);
        EXPECT_NE(window.Window(), nullptr);
        EXPECT_EQ(LHelpShownFile(), std::string(ORATIVO_HELP_SOURCE) + "/105.html");
        LHelpWindow()->close();
        EXPECT_FALSE(both->isEnabled()) << "nothing is slow at normal speed";
        speed->setCurrentIndex(speed->findData(65));
        EXPECT_TRUE(both->isEnabled());
        both->setChecked(true);
      } else {
        EXPECT_EQ(speed->currentData().toInt(), 65);
        EXPECT_TRUE(both->isChecked());
        // From the keyboard, a step at a time, within the range.
        for (int k = 0; k < 4; ++k) Press(window.Window(), Qt::Key_Down, Qt::ControlModifier);
        EXPECT_EQ(ReadReplaySpeed(), 50);
        Press(window.Window(), Qt::Key_Up, Qt::ControlModifier);
        EXPECT_EQ(ReadReplaySpeed(), 55);
        StoreReplaySpeed(65);
      }
      window.SendCommand(PreviewDlg::CM_EXIT);
    });
    EXPECT_TRUE(window.Run(nullptr));
  }
  EXPECT_EQ(ReadReplaySpeed(), 65);
  EXPECT_TRUE(ReadSlowThenNormal());
  EXPECT_EQ(LWindowSettingGetInt("StudentWindow", "Maximized", 0), 1);
  LSetHelpFolder("");

  // Stored by hand: snapped to the steps, garbage read as normal.
  const std::pair<const char*, int> cases[] = {{"75", 75},    {"63", 65},   {"62", 60},   {"20", 50},
                                               {"300", 100},  {"abc", 100}, {"-5", 100},  {"0.75", 75},
                                               {" 0.6 ", 60}, {"1.0", 100}, {"0.3", 100}, {"0.75x", 100}};
  for (const auto& [text, percent] : cases) {
    RegSetUserSetting("Settings", "TutorSpeed", text);
    EXPECT_EQ(ReadReplaySpeed(), percent) << text;
  }
  RegistryDeleteValue(RegistryScope::User, std::string(kRegistryProgramKey) + "\\Settings", "TutorSpeed");
  EXPECT_EQ(ReadReplayTempo(), 1.0);
  const std::pair<const char*, bool> switches[] = {{"1", true},  {"TRUE", true},   {"yes", true}, {"On", true},
                                                   {"0", false}, {"false", false}, {"no", false}, {"off", false},
                                                   {"", false},  {"2", false}};
  for (const auto& [text, on] : switches) {
    RegSetUserSetting("Settings", "SlowThenNormal", text);
    EXPECT_EQ(ReadSlowThenNormal(), on) << text;
  }
}

}  // namespace

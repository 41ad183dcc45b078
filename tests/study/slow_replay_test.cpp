// Slow replay in the study window: the tutor's recording at the student's
// speed for Go, Redo and Play (the student's own take at normal speed), "slow,
// then normal" in Listen All, and the setting kept from one window to the next.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QTimer>

#include "framework/widgets/run_mode.h"
#include "platform/registry_store.h"
#include "study/preview_dlg.h"
#include "study/replay_speed.h"
#include "tests/study/dialog_test_util.h"
#include "tests/study/study_fixture.h"

using namespace studytest;

namespace {

// A clip of 200 ms at 440 Hz, then 200 ms at 880 Hz.
std::vector<int16_t> TwoNotes() {
  std::vector<int16_t> clip = Tone(200, 440), high = Tone(200, 880);
  clip.insert(clip.end(), high.begin(), high.end());
  return clip;
}

struct Note {
  int hz;     // 440, 880 or 1760
  double ms;  // how long it sounded
};

// What the device played as runs of notes, told apart by their zero crossings
// in 10 ms blocks; silence and runs shorter than 30 ms (joins) are left out.
std::vector<Note> Notes(const std::vector<int16_t>& out) {
  const int block = 22050 / 100;
  std::vector<Note> runs;
  int current = 0, blocks = 0;
  auto close = [&] {
    if (current && blocks >= 3) runs.push_back({current, blocks * 10.0});
  };
  for (size_t at = 0; at + size_t(block) <= out.size(); at += size_t(block)) {
    int crossings = 0, loud = 0;
    for (int i = 1; i < block; ++i) {
      crossings += (out[at + size_t(i) - 1] < 0) != (out[at + size_t(i)] < 0);
      loud += std::abs(out[at + size_t(i)]) > 4000;
    }
    const double hz = crossings * 50.0;
    int note = loud < block / 4 ? 0 : hz < 660 ? 440 : hz < 1320 ? 880 : 1760;
    if (note != current) {
      close();
      current = note;
      blocks = 0;
    }
    ++blocks;
  }
  close();
  return runs;
}

// The device played these notes first (and no others when all is set).
void ExpectNotes(const std::vector<Note>& expected, bool all = false) {
  std::vector<Note> runs = Notes(LVirtualAudio::CapturedOutput());
  if (all) {
    EXPECT_EQ(runs.size(), expected.size());
  }
  ASSERT_GE(runs.size(), expected.size());
  for (size_t k = 0; k < expected.size(); ++k) {
    EXPECT_EQ(runs[k].hz, expected[k].hz) << k;
    // A block either side for where the note changes.
    EXPECT_NEAR(runs[k].ms, expected[k].ms, 20) << k;
  }
}

using SlowReplayTest = RunnerTest;

// Listen All plays each expression at the speed, then (slow, then normal) at
// once at normal speed, then the gap.
TEST_F(SlowReplayTest, ListenAllPlayAndRedoSlowOnlyTheTutor) {
  Lesson lesson("Slow");
  ASSERT_TRUE(lesson.Add("one", 0, kAudioTypeWav, TwoNotes()));
  ASSERT_TRUE(lesson.Add("two", 1, kAudioTypeWav, TwoNotes()));
  const struct {
    int speed;
    bool slowThenNormal;
    double slowMs;  // each note of the first pass
    bool normalPass;
  } cases[] = {{50, true, 400, true}, {75, false, 200 / 0.75, false}, {100, true, 200, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.speed);
    StoreReplaySpeed(c.speed);
    StoreSlowThenNormal(c.slowThenNormal);
    LVirtualAudio::ClearCapture();
    Session s(lesson);
    s.runner.CmLessonStart();
    ASSERT_TRUE(s.WaitIdle(20000));
    std::vector<Note> one = {{440, c.slowMs}, {880, c.slowMs}};
    if (c.normalPass) one.insert(one.end(), {{440, 200}, {880, 200}});
    std::vector<Note> expected = one;
    expected.insert(expected.end(), one.begin(), one.end());
    ExpectNotes(expected, true);
    const int plays = c.normalPass ? 2 : 1;
    EXPECT_EQ(s.view.Count("status Playing..."), 2 * plays);
    // The normal pass follows at once; the gap comes after it.
    if (c.normalPass) {
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
  ASSERT_TRUE(Pump([&] { return s.view.Count("status Speak Now...") == 1; }, 15000));
  ExpectNotes({{440, 200 / 0.7}, {880, 200 / 0.7}});
  ASSERT_TRUE(s.WaitIdle(15000));
  EXPECT_GE(MsSince(s.view.When("status Waiting..."), s.view.When("status Ready!")), 400 / 0.7 + 2000 - 1);
}

TEST(SlowReplaySetting, SnapsToTheStepsAndReadsGarbageAsNormal) {
  testsupport::PrivateHome home;
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

// The toolbar's controls store what the student picks; the next window shows it.
TEST(SlowReplaySetting, TheToolbarControlsPersist) {
  testsupport::PrivateHome home;
  SetModeWord("");
  std::string path;
  for (int round = 0; round < 2; ++round) {
    PreviewDlg window(path);
    QTimer::singleShot(0, [&] {
      auto* speed = window.ControlAs<QComboBox>(PreviewDlg::kReplaySpeed);
      auto* both = window.ControlAs<QCheckBox>(PreviewDlg::kSlowThenNormal);
      ASSERT_NE(speed, nullptr);
      ASSERT_NE(both, nullptr);
      EXPECT_EQ(speed->count(), 11);
      if (round == 0) {
        EXPECT_FALSE(both->isEnabled()) << "nothing is slow at normal speed";
        speed->setCurrentIndex(speed->findData(65));
        EXPECT_TRUE(both->isEnabled());
        both->setChecked(true);
      } else {
        EXPECT_EQ(speed->currentData().toInt(), 65);
        EXPECT_EQ(speed->currentText().toStdString(), "0.65\xC3\x97");
        EXPECT_TRUE(both->isChecked());
        // From the keyboard, a step at a time, within the range.
        for (int k = 0; k < 4; ++k) dialogtest::Press(window.Window(), Qt::Key_Down, Qt::ControlModifier);
        EXPECT_EQ(ReadReplaySpeed(), 50);
        dialogtest::Press(window.Window(), Qt::Key_Up, Qt::ControlModifier);
        EXPECT_EQ(ReadReplaySpeed(), 55);
        StoreReplaySpeed(65);
      }
      window.SendCommand(PreviewDlg::CM_EXIT);
    });
    EXPECT_TRUE(window.Run(nullptr));
  }
  EXPECT_EQ(ReadReplaySpeed(), 65);
  EXPECT_TRUE(ReadSlowThenNormal());
}

}  // namespace

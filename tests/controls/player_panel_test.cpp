// The player panel on the virtual device, which runs as fast as it is fed:
// what is heard is checked in the device's captured output.
#include "controls/player_panel.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QScrollBar>
#include <vector>

#include "controls/wave_window.h"
#include "framework/widgets/dialog_items.h"
#include "tests/controls/panel_test_support.h"
#include "tests/support/test_support.h"
#include "tests/support/virtual_audio_scope.h"

using paneltest::Shown;
using paneltest::WaitFor;

namespace {

constexpr int kRampRate = 8000;
constexpr int kFramesPerStep = 16;  // each 16-bit value of the ramp file stands for 16 frames
constexpr int VK_F10 = 0x79;

// The source frame a value of the ramp file stands for.
int64_t RampFrame(int16_t value) { return (int64_t(value) + 15000) * kFramesPerStep; }

class PlayerPanel : public ::testing::Test {
 protected:
  testsupport::VirtualAudioScope audio_;

  // seconds of mono 8 kHz whose samples name their own position.
  std::string RampFile(int seconds) {
    std::vector<int16_t> samples(size_t(seconds) * kRampRate);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = int16_t(int64_t(i) / kFramesPerStep - 15000);
    std::string path = folder_.File("ramp.wav");
    EXPECT_TRUE(testsupport::WriteWav16(path, kRampRate, 1, samples));
    return path;
  }
  // Noise, so that any shift or gap shows.
  std::string NoiseFile(int rate, int frames, std::vector<int16_t>* samples) {
    samples->resize(size_t(frames));
    uint32_t seed = 7;
    for (auto& s : *samples) {
      seed = seed * 1664525u + 1013904223u;
      s = int16_t(seed >> 16);
    }
    std::string path = folder_.File("noise.wav");
    EXPECT_TRUE(testsupport::WriteWav16(path, rate, 1, *samples));
    return path;
  }

  testsupport::TempFolder folder_;
};

bool Idle(const LPlayerBaseDlg& panel) { return !panel.Player().IsOpen(); }

}  // namespace

// A held arrow plays through the time stretch with the 8-second ramp: the
// sample heard after 8 s of output tells where in the file the run is.
struct RunCase {
  int key;
  int32_t fromMs;
  double expectedAt8s;
  int32_t endMs;  // where the run stops by itself
};

class PlayerPanelRun : public PlayerPanel, public ::testing::WithParamInterface<RunCase> {};

TEST_P(PlayerPanelRun, EightSecondsOfOutputCoverTheRamp) {
  const RunCase& run = GetParam();
  LPanelFile file("ramp", RampFile(60));
  Shown<LPlayerBaseDlg> panel(file);
  ASSERT_TRUE(panel.Show());
  panel.SetPosition(run.fromMs);
  EXPECT_TRUE(panel.Key(run.key));
  ASSERT_TRUE(panel.Player().IsOpen());
  // The display server's repeated releases while the key is held change
  // nothing, also when the toolkit did not mark them.
  for (bool marked : {true, false}) {
    EXPECT_TRUE(panel.Key(run.key, false, marked));
    EXPECT_TRUE(panel.Key(run.key, true, marked));
  }
  EXPECT_TRUE(panel.Player().IsOpen());
  ASSERT_TRUE(WaitFor([&] { return Idle(panel); }));
  std::vector<int16_t> heard = LVirtualAudio::CapturedOutput();
  ASSERT_GT(heard.size(), size_t(8 * kRampRate + 100));
  // The first half of each stretch block is the file itself, unmixed.
  const size_t at = size_t(8 * kRampRate);
  double seconds = double(RampFrame(heard[at])) / kRampRate;
  EXPECT_NEAR(seconds, run.expectedAt8s, 0.5);
  EXPECT_EQ(panel.Position(), run.endMs);
  EXPECT_TRUE(panel.Key(run.key, false));
  EXPECT_TRUE(WaitFor([&] { return !panel.SeekRun().AnyActive(); }));
  EXPECT_TRUE(Idle(panel));
}

INSTANTIATE_TEST_SUITE_P(Runs, PlayerPanelRun,
                         ::testing::Values(RunCase{VK_RIGHT, 0, 34.0, 60000}, RunCase{VK_LEFT, 60000, 30.0, 0}));

// Releasing Rewind or Forward gives back what the player did before.
struct RestoreCase {
  int startKey;  // 0: idle
  int arrow;
};

class PlayerPanelRestore : public PlayerPanel, public ::testing::WithParamInterface<RestoreCase> {};

TEST_P(PlayerPanelRestore, ReleaseRestoresTheEarlierState) {
  LVirtualAudio::SetStall(true, false);  // the device keeps its buffers: playing goes on
  LPanelFile file("ramp", RampFile(20), 8000, 1, LPanelFile::kNameReadOnly);
  Shown<LPlayerBaseDlg> panel(file);
  ASSERT_TRUE(panel.Show());
  panel.SetPosition(10000);
  if (GetParam().startKey) panel.Key(GetParam().startKey);
  const bool open = panel.Player().IsOpen();
  const uint16_t cue = panel.Player().GetFlags() & LSoundPlayer::kCueLoop;
  ASSERT_EQ(open, GetParam().startKey != 0);
  ASSERT_EQ(cue != 0, GetParam().startKey == VK_F10 || GetParam().startKey == VK_SPACE);
  panel.Key(GetParam().arrow);
  EXPECT_TRUE(panel.Player().IsOpen());
  EXPECT_FALSE(panel.Player().GetFlags() & LSoundPlayer::kCueLoop);
  panel.Key(GetParam().arrow, false);
  ASSERT_TRUE(WaitFor([&] { return !panel.SeekRun().AnyActive(); }));
  EXPECT_EQ(panel.Player().IsOpen(), open);
  EXPECT_EQ(panel.Player().GetFlags() & LSoundPlayer::kCueLoop, cue);
  auto* play = panel.ControlAs<QAbstractButton>(LPlayerBaseDlg::kPlay);
  auto* stop = panel.ControlAs<QAbstractButton>(LPlayerBaseDlg::kStop);
  EXPECT_EQ(play->isChecked(), open && !cue);
  EXPECT_EQ(stop->isChecked(), !open);
}

INSTANTIATE_TEST_SUITE_P(States, PlayerPanelRestore,
                         ::testing::Values(RestoreCase{0, VK_RIGHT}, RestoreCase{VK_F9, VK_RIGHT},
                                           RestoreCase{VK_F10, VK_LEFT}, RestoreCase{VK_SPACE, VK_RIGHT}));

// F9 plays from the position, sample for sample; Alt+F9 plays the last three
// seconds, or all of a shorter file.
struct PlayCase {
  int seconds;
  int32_t positionMs;
  int key;
  int fromSecond;
};

class PlayerPanelPlay : public PlayerPanel, public ::testing::WithParamInterface<PlayCase> {};

TEST_P(PlayerPanelPlay, HeardFromTheRightSample) {
  const PlayCase& play = GetParam();
  std::vector<int16_t> samples;
  LPanelFile file("noise", NoiseFile(8000, 8000 * play.seconds, &samples));
  Shown<LPlayerBaseDlg> panel(file);
  ASSERT_TRUE(panel.Show());
  panel.SetPosition(play.positionMs);
  panel.EvKeyDown(play.key);
  ASSERT_TRUE(WaitFor([&] { return Idle(panel); }));
  std::vector<int16_t> heard = LVirtualAudio::CapturedOutput();
  EXPECT_TRUE(heard == std::vector<int16_t>(samples.begin() + play.fromSecond * 8000, samples.end()));
  EXPECT_EQ(panel.Position(), play.seconds * 1000);
}

INSTANTIATE_TEST_SUITE_P(Keys, PlayerPanelPlay,
                         ::testing::Values(PlayCase{7, 5000, VK_F9, 5}, PlayCase{2, 0, VK_F9 + KEY_ALT, 0},
                                           PlayCase{8, 0, VK_F9 + KEY_ALT, 5}));

// The time display follows the waveform's clicked sample to the hundredth,
// rounded; the scroll bar stays within its range beyond the end.
TEST_F(PlayerPanel, ClickAndScrollPositions) {
  std::vector<int16_t> samples;
  LPanelFile file("noise", NoiseFile(44100, 44100 * 8, &samples));
  Shown<LPlayerBaseDlg> panel(file);
  ASSERT_TRUE(panel.Show());
  panel.StartWaveScan();
  auto* wave = panel.ControlAs<LWaveWindow>(LPlayerBaseDlg::kWave);
  const struct {
    int32_t sample;
    const char* text;
  } clicks[] = {{220500, "0:00:05.00"}, {220280, "0:00:05.00"}, {220279, "0:00:04.99"}, {0, "0:00:00.00"}};
  for (const auto& click : clicks) {
    wave->SetSelection(click.sample, 0);
    panel.SendCommand(LPlayerBaseDlg::kWave, LWaveWindow::kNotifyClick);
    EXPECT_EQ(LGetControlText(panel, LPlayerBaseDlg::kTimeDisplay), click.text) << click.sample;
  }
  auto* scroll = panel.ControlAs<QScrollBar>(LPlayerBaseDlg::kScroll);
  panel.SetPosition(7000);
  panel.SendMessage(WM_HSCROLL, MakeWParam(kScrollPageRight, 0), 0);
  EXPECT_EQ(LGetControlText(panel, LPlayerBaseDlg::kTimeDisplay), "0:00:09.00");
  EXPECT_EQ(scroll->value(), 100);
  panel.SendMessage(WM_HSCROLL, MakeWParam(kScrollThumbTrack, 50), 0);
  EXPECT_EQ(panel.Position(), 4000);
  EXPECT_EQ(scroll->value(), 50);
}

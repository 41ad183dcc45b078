// The record panel on the virtual device: takes from a generated input,
// what ends up in the file, and what is left alone.
#include "controls/record_panel.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QTimer>
#include <filesystem>
#include <vector>

#include "framework/widgets/dialog_items.h"
#include "tests/controls/panel_test_support.h"
#include "tests/support/test_support.h"

using paneltest::Microphone;
using paneltest::Pump;
using paneltest::Shown;
using paneltest::ToneBetween;
using paneltest::WaitFor;

namespace {

constexpr int kRate = 22050;
constexpr int kChannels = 2;
constexpr double kTone = 3277;  // -20 dBFS
constexpr int VK_F6 = 0x75;
constexpr int VK_F7 = 0x76;

class RecordPanel : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = folder_.File("hello.wav");
    // The old audio: a short mono tone at another rate.
    ASSERT_TRUE(testsupport::WriteWav16(path_, 8000, 1, testsupport::Tone(8000, 1, 4000, 300, 8000)));
    oldBytes_ = testsupport::ReadFileBytes(path_);
    Options(true, false);
  }

  static void Options(bool autoTrim, bool voice) {
    LRecordOptions options;
    options.autoTrim = autoTrim;
    options.voiceOperated = voice;
    options.Store();
  }

  // Stops the take once the input has held still and the recorder has caught up.
  static void StopWhenPaused(LRecordDlg& panel, Microphone& mic) {
    ASSERT_TRUE(mic.WaitPaused());
    Pump(500);
    panel.SendCommand(LPlayerBaseDlg::kStop);
    EXPECT_EQ(panel.Recorder().GetState(), LSoundRecorder::kIdle);
  }

  // The file's frames as mono values of channel 0; checks its rate and channels.
  std::vector<int16_t> Take(size_t* frames = nullptr) {
    int rate = 0, channels = 0;
    std::vector<int16_t> samples;
    EXPECT_TRUE(testsupport::ReadWav16(path_, &rate, &channels, &samples));
    EXPECT_EQ(rate, kRate);
    EXPECT_EQ(channels, kChannels);
    std::vector<int16_t> left;
    for (size_t i = 0; i + 1 < samples.size(); i += kChannels) left.push_back(samples[i]);
    if (frames) *frames = left.size();
    return left;
  }

  bool WorkFileExists() const { return std::filesystem::exists(LPanelTake::WorkPathFor(path_)); }

  testsupport::TempFolder folder_;
  std::string path_;
  std::vector<uint8_t> oldBytes_;
};

// Seconds from the first to the last sample above the silence.
struct Span {
  double first = -1, last = -1;
};
Span Loud(const std::vector<int16_t>& samples) {
  Span span;
  for (size_t i = 0; i < samples.size(); ++i)
    if (std::abs(samples[i]) > 64) {
      if (span.first < 0) span.first = double(i) / kRate;
      span.last = double(i + 1) / kRate;
    }
  return span;
}

}  // namespace

// 0.5 s silence, 2 s tone, 1 s silence: without AutoTrim all of it, with it
// the tone and little around it.
TEST_F(RecordPanel, AutoTrimKeepsTheToneAndLittleAround) {
  for (bool autoTrim : {false, true}) {
    SCOPED_TRACE(autoTrim);
    Options(autoTrim, false);
    Microphone mic(ToneBetween(kRate, 0.5, 2.5, kTone));
    mic.PauseAt(int64_t(3.5 * kRate));
    {
      LPanelFile file("hello", path_, kRate, kChannels, LPanelFile::kNameReadOnly);
      int result = LRecordDlg::kDone;
      Shown<LRecordDlg> panel(file, &result);
      ASSERT_TRUE(panel.Show());
      EXPECT_NE(panel.Recorder().GetState(), LSoundRecorder::kIdle);
      EXPECT_TRUE(panel.ControlAs<QAbstractButton>(LRecordDlg::kRecord)->isChecked());
      StopWhenPaused(panel, mic);
      panel.Hide();
      EXPECT_EQ(result, LRecordDlg::kDone);
    }
    size_t frames = 0;
    std::vector<int16_t> take = Take(&frames);
    Span tone = Loud(take);
    double length = double(frames) / kRate;
    if (!autoTrim) {
      EXPECT_NEAR(length, 3.5, 0.1);
      EXPECT_NEAR(tone.first, 0.5, 0.01);
    } else {
      EXPECT_LE(tone.first, 0.1);
      EXPECT_NEAR(tone.last - tone.first, 2.0, 0.01);
      EXPECT_LE(length - tone.last, 0.15);
    }
    EXPECT_FALSE(WorkFileExists());
  }
}

// Voice-activated recording cuts a 6 s pause between two tones.
TEST_F(RecordPanel, VoiceActivatedCutsALongPause) {
  Options(true, true);
  Microphone mic(ToneBetween(kRate, 0, 1, kTone, ToneBetween(kRate, 7, 8, kTone)));
  mic.PauseAt(int64_t(8.5 * kRate));
  {
    LPanelFile file("hello", path_, kRate, kChannels);
    int result = LRecordDlg::kDone;
    Shown<LRecordDlg> panel(file, &result);
    ASSERT_TRUE(panel.Show());
    StopWhenPaused(panel, mic);
  }
  std::vector<int16_t> take = Take();
  // The quiet stretch inside the take.
  Span first = Loud(std::vector<int16_t>(take.begin(), take.begin() + kRate));
  size_t secondStart = 0;
  for (size_t i = size_t(first.last * kRate) + 1; i < take.size(); ++i)
    if (std::abs(take[i]) > 64) {
      secondStart = i;
      break;
    }
  double pause = double(secondStart) / kRate - first.last;
  EXPECT_GE(pause, 0.45);
  EXPECT_LE(pause, 0.65);
}

// F8 records from the position, F7 again from there: what came before stays
// bit for bit; F6 starts over.
TEST_F(RecordPanel, RetakeKeepsTheFirstPartBitExactAndRestartStartsOver) {
  Options(false, false);
  uint32_t seed = 1;
  Microphone mic([&seed](int64_t) {
    seed = seed * 1664525u + 1013904223u;
    return int16_t(int32_t(seed >> 16) / 4);
  });
  mic.PauseAt(3 * kRate);
  LPanelFile file("hello", path_, kRate, kChannels);
  int result = LRecordDlg::kDone;
  Shown<LRecordDlg> panel(file, &result);
  ASSERT_TRUE(panel.Show());
  StopWhenPaused(panel, mic);
  const std::string work = LPanelTake::WorkPathFor(path_);
  std::vector<uint8_t> first = testsupport::ReadFileBytes(work);
  const size_t kept = 46 + size_t(kRate) * kChannels * 2;  // header and one second
  ASSERT_GT(first.size(), kept);

  panel.SetPosition(1000);
  mic.PauseAt(kRate);
  panel.Key(VK_F8);
  EXPECT_EQ(panel.RetakeStart(), 1000);
  ASSERT_TRUE(mic.WaitPaused());
  mic.PauseAt(2 * kRate);
  panel.Key(VK_F7);
  EXPECT_EQ(panel.RetakeStart(), 1000);
  StopWhenPaused(panel, mic);
  std::vector<uint8_t> retaken = testsupport::ReadFileBytes(work);
  ASSERT_GT(retaken.size(), kept);
  EXPECT_TRUE(std::equal(first.begin() + 46, first.begin() + long(kept), retaken.begin() + 46));
  EXPECT_NEAR(double(retaken.size() - 46) / (kRate * kChannels * 2), 3.0, 0.1);

  mic.PauseAt(kRate / 2);
  panel.Key(VK_F6);
  EXPECT_EQ(panel.RetakeStart(), 0);
  StopWhenPaused(panel, mic);

  // A recording that cannot start leaves the take as it was.
  LVirtualAudioConfig config = LVirtualAudio::GetConfig();
  config.failOpen = true;
  LVirtualAudio::SetConfig(config);
  panel.SetPosition(200);
  panel.Key(VK_F8);
  EXPECT_TRUE(panel.Control(LRecordDlg::kStatus)->isVisible());
  panel.Hide();
  EXPECT_EQ(result, LRecordDlg::kDone);
  size_t frames = 0;
  Take(&frames);
  EXPECT_NEAR(double(frames) / kRate, 0.5, 0.1);
}

// Nothing recorded, or no recorder at all, also from a later point (where
// the take begins as a copy of the old audio): the old audio stays byte for byte.
TEST_F(RecordPanel, EmptyTakeOrFailedStartLeaveTheOldAudio) {
  ASSERT_TRUE(
      testsupport::WriteWav16(path_, kRate, kChannels, testsupport::Tone(kRate, kChannels, kRate / 2, 300, 8000)));
  oldBytes_ = testsupport::ReadFileBytes(path_);
  for (bool fail : {false, true}) {
    SCOPED_TRACE(fail);
    Microphone mic([](int64_t) { return int16_t(0); });
    mic.PauseAt(kRate);
    if (fail) {
      LVirtualAudioConfig config = LVirtualAudio::GetConfig();
      config.failOpen = true;
      LVirtualAudio::SetConfig(config);
    }
    LPanelFile file("hello", path_, kRate, kChannels);
    int result = -1;
    QTimer::singleShot(0, [&] {
      auto* panel = static_cast<LRecordDlg*>(LKeyDialog::Running());
      ASSERT_NE(panel, nullptr);
      QWidget* status = panel->Control(LRecordDlg::kStatus);
      EXPECT_EQ(status->isVisible(), fail);
      EXPECT_EQ(LGetControlText(*panel, LRecordDlg::kStatus).empty(), !fail);
      if (!fail) {
        EXPECT_TRUE(mic.WaitPaused());
      }
      panel->EvKeyDown(VK_ESCAPE);
      panel->SetPosition(250);
      panel->EvKeyDown(VK_F8);
      // A panel whose recorder failed shows the old audio.
      if (fail) {
        EXPECT_EQ(panel->Length(), 500);
      }
      panel->Window()->close();
    });
    result = LRecordDlg::Run(nullptr, file);
    EXPECT_EQ(result, fail ? LRecordDlg::kFailed : LRecordDlg::kDone);
    EXPECT_EQ(testsupport::ReadFileBytes(path_), oldBytes_);
    EXPECT_FALSE(WorkFileExists());
  }
}

// F5 finishes with "Record Next"; the player's keys work in the record panel.
TEST_F(RecordPanel, RecordNextAndPlayerKeys) {
  Options(false, false);
  Microphone mic(ToneBetween(kRate, 0, 10, kTone));
  mic.PauseAt(kRate);
  LPanelFile file("hello", path_, kRate, kChannels);
  QTimer::singleShot(0, [&] {
    auto* panel = static_cast<LRecordDlg*>(LKeyDialog::Running());
    ASSERT_TRUE(mic.WaitPaused());
    Pump(200);
    EXPECT_TRUE(panel->EvKeyDown(VK_ESCAPE));  // the player's Stop
    EXPECT_EQ(panel->Recorder().GetState(), LSoundRecorder::kIdle);
    // Recording while an arrow is held ends its run.
    panel->EvKeyDown(VK_RIGHT);
    panel->EvKeyDown(VK_F8);
    panel->EvKeyUp(VK_RIGHT);
    panel->EvKeyDown(VK_ESCAPE);
    EXPECT_FALSE(panel->SeekRun().AnyActive());
    // A held End's repeats stay with the panel, never picking the last input line.
    auto* lines = panel->ControlAs<QComboBox>(LRecordDlg::kInputLine);
    ASSERT_GT(lines->count(), 1);
    lines->setCurrentIndex(0);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier, QString(), true);
    QCoreApplication::sendEvent(lines, &repeat);
    EXPECT_EQ(lines->currentIndex(), 0);
    EXPECT_TRUE(panel->EvKeyDown(VK_HOME));
    EXPECT_EQ(panel->Position(), 0);
    EXPECT_TRUE(panel->EvKeyDown(VK_F9));
    EXPECT_TRUE(panel->Player().IsOpen());
    EXPECT_TRUE(panel->EvKeyDown(VK_F5));
  });
  EXPECT_EQ(LRecordDlg::Run(nullptr, file), LRecordDlg::kRecordNext);
  size_t frames = 0;
  Take(&frames);
  EXPECT_NEAR(double(frames) / kRate, 1.0, 0.1);
}

// A take always ends up as WAV data under a WAV name; one that cannot be put
// in place stays beside the file.
// A caller keeping the audio's type records it while both files are there.
TEST_F(RecordPanel, TakeGoesInPlaceAsWavOrStaysBeside) {
  struct Typed : LPanelFile {
    using LPanelFile::LPanelFile;
    bool refuse = false;
    bool bothThere = false;
    bool PutTakeInPlace(const std::string& takePath) override {
      std::string replaced;
      if (refuse || !PlaceTake(takePath, &replaced)) return false;
      bothThere = std::filesystem::exists(replaced) && std::filesystem::exists(path);
      RemoveReplaced(replaced);
      return true;
    }
  };
  Options(false, false);
  for (int mode : {0, 1, 2}) {  // plain, typed, refusing
    SCOPED_TRACE(mode);
    const bool refuse = mode == 2;
    std::string mp3 = folder_.File("hello.mp3");
    ASSERT_TRUE(testsupport::WriteFileText(mp3, "not really an MP3"));
    Microphone mic(ToneBetween(kRate, 0, 10, kTone));
    mic.PauseAt(kRate);
    Typed typed("hello", mp3, kRate, kChannels);
    typed.refuse = refuse;
    LPanelFile plain("hello", mp3, kRate, kChannels);
    LPanelFile& file = mode == 0 ? plain : typed;
    int result = LRecordDlg::kDone;
    {
      Shown<LRecordDlg> panel(file, &result);
      ASSERT_TRUE(panel.Show());
      StopWhenPaused(panel, mic);
    }
    EXPECT_EQ(result, refuse ? LRecordDlg::kFailed : LRecordDlg::kDone);
    EXPECT_EQ(std::filesystem::exists(mp3), refuse);
    EXPECT_EQ(WorkFileExists(), refuse);
    EXPECT_EQ(file.path, refuse ? mp3 : path_);
    EXPECT_EQ(typed.bothThere, mode == 1);
    if (!refuse) {
      EXPECT_NEAR(double(Take().size()) / kRate, 1.0, 0.1);
    }
    std::filesystem::remove(LPanelTake::WorkPathFor(path_));
  }
}

TEST(LRecordDlgAdvanced, VoiceAndThresholdNeedAutoTrim) {
  LRecordOptions{true, true, -30}.Store();
  LRecordDlgAdvanced advanced;
  QTimer::singleShot(0, [&] {
    auto* autoTrim = advanced.ControlAs<QAbstractButton>(LRecordDlgAdvanced::kAutoTrim);
    EXPECT_TRUE(advanced.Control(LRecordDlgAdvanced::kThreshold)->isEnabled());
    autoTrim->click();
    EXPECT_FALSE(advanced.Control(LRecordDlgAdvanced::kVoice)->isEnabled());
    EXPECT_FALSE(advanced.Control(LRecordDlgAdvanced::kThreshold)->isEnabled());
    advanced.SendCommand(IDOK);
  });
  advanced.DoModal(LRecordDlgAdvanced::Template(), nullptr);
  LRecordOptions stored = LRecordOptions::Load();
  EXPECT_FALSE(stored.autoTrim);
  EXPECT_TRUE(stored.voiceOperated);
  EXPECT_EQ(stored.thresholdDb, -30);
}

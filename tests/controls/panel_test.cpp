// The player and record panels on the virtual device, which runs as fast as
// it is fed: what is heard is checked in the device's captured output, what
// is recorded comes from a generated input, and the take's file is checked
// for what ends up in it and what is left alone.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "controls/record_panel.h"
#include "controls/wave_window.h"
#include "framework/widgets/dialog_items.h"
#include "framework/widgets/win_defs.h"
#include "tests/controls/panel_test_support.h"
#include "tests/support/test_support.h"
#include "tests/support/virtual_audio_scope.h"

namespace {

using paneltest::Microphone;
using paneltest::ToneBetween;

constexpr int kRampRate = 8000;
constexpr int kRate = 22050, kChannels = 2;  // of the takes
constexpr double kTone = 3277;               // -20 dBFS
enum { VK_F6 = 0x75, VK_F7 = 0x76, VK_F10 = 0x79 };

// A panel shown without a modal loop.
template <class Panel>
class Shown : public Panel {
 public:
  using Panel::DestroyWindowNow;
  using Panel::Panel;
  ~Shown() override { DestroyWindowNow(); }
  bool Show() {
    if (auto* window = this->CreateFromTemplate(Panel::Template(), nullptr)) window->show();
    return this->Window() != nullptr;
  }
  bool Key(int virtualKey, bool down = true, bool repeat = false) {
    return this->TranslateKey({unsigned(down ? WM_KEYDOWN : WM_KEYUP), virtualKey, repeat, {}});
  }
};

// Mono samples whose values name their own position, each value standing for
// 16 frames: the source frame a value stands for is RampFrame(value).
std::vector<int16_t> Ramp(int seconds) {
  std::vector<int16_t> samples(size_t(seconds) * kRampRate);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = int16_t(int64_t(i) / 16 - 15000);
  return samples;
}
int64_t RampFrame(int16_t value) { return (int64_t(value) + 15000) * 16; }

// Noise, so that any shift or gap shows.
std::vector<int16_t> Noise(int frames) {
  std::vector<int16_t> samples(static_cast<size_t>(frames));
  std::generate(samples.begin(), samples.end(),
                [random = std::minstd_rand(7)]() mutable { return int16_t(random() >> 8); });
  return samples;
}

// The samples of a 16-bit WAV file; checks its rate and channels.
std::vector<int16_t> Samples(const std::string& path, int rate, int channels) {
  int fileRate = 0, fileChannels = 0;
  std::vector<int16_t> samples;
  EXPECT_TRUE(testsupport::ReadWav16(path, &fileRate, &fileChannels, &samples)) << path;
  EXPECT_EQ(std::tie(fileRate, fileChannels), std::tie(rate, channels));
  return samples;
}

// Seconds from the first to the last sample above the silence, and the
// longest quiet stretch between.
struct Span {
  double first = -1, last = -1, longestQuiet = 0;
};
Span Loud(const std::vector<int16_t>& samples) {
  Span span;
  for (size_t i = 0; i < samples.size(); ++i)
    if (std::abs(samples[i]) > 64) {
      if (span.first < 0) span.first = double(i) / kRate;
      span.longestQuiet = std::max(span.longestQuiet, double(i) / kRate - std::max(span.last, span.first));
      span.last = double(i + 1) / kRate;
    }
  return span;
}

class PlayerPanel : public ::testing::Test {
 protected:
  void SetUp() override {
    // The old audio: a short mono tone at another rate. Takes keep every sample.
    ASSERT_TRUE(testsupport::WriteWav16(path_, 8000, 1, testsupport::Tone(8000, 1, 4000, 300, 8000)));
    LRecordOptions{false, false}.Store();
  }

  // A mono 16-bit WAV of samples.
  std::string WavFile(int rate, const std::vector<int16_t>& samples) {
    std::string path = folder_.File("audio.wav");
    EXPECT_TRUE(testsupport::WriteWav16(path, rate, 1, samples));
    return path;
  }

  // Stops the take once the input has held still and the recorder has caught up.
  static void StopWhenPaused(LRecordDlg& panel, Microphone& mic) {
    ASSERT_TRUE(mic.WaitPaused());
    testsupport::Pump(500);
    panel.SendCommand(LPlayerBaseDlg::kStop);
    EXPECT_EQ(panel.Recorder().GetState(), LSoundRecorder::kIdle);
  }

  // Records into file until the microphone holds still; the take is put in
  // place unless the panel ends otherwise than expected.
  void RecordTake(LPanelFile& file, Microphone& mic, int expected = LRecordDlg::kDone) {
    int result = LRecordDlg::kDone;
    Shown<LRecordDlg> panel(file, &result);
    ASSERT_TRUE(panel.Show());
    EXPECT_NE(panel.Recorder().GetState(), LSoundRecorder::kIdle);
    EXPECT_TRUE(panel.ControlAs<QAbstractButton>(LRecordDlg::kRecord)->isChecked());
    StopWhenPaused(panel, mic);
    panel.DestroyWindowNow();
    EXPECT_EQ(result, expected);
    EXPECT_EQ(std::filesystem::exists(LPanelTake::WorkPathFor(path_)), expected != LRecordDlg::kDone);
  }

  // Channel 0 of the take's frames.
  std::vector<int16_t> Take() {
    std::vector<int16_t> samples = Samples(path_, kRate, kChannels), left;
    for (size_t i = 0; i + 1 < samples.size(); i += kChannels) left.push_back(samples[i]);
    return left;
  }
  double TakeSeconds() { return double(Take().size()) / kRate; }

  testsupport::VirtualAudioScope audio_;
  testsupport::TempFolder folder_;
  std::string path_ = folder_.File("hello.wav");
};
using RecordPanel = PlayerPanel;

}  // namespace

// A first take from a later point continues the file's own audio, bit for
// bit, when the formats agree; otherwise it starts at the beginning.
TEST_F(RecordPanel, FirstTakeFromLaterContinuesTheFilesAudio) {
  std::vector<int16_t> old = testsupport::Tone(8000, 2, 16000, 300, 9000);
  ASSERT_TRUE(testsupport::WriteWav16(path_, 8000, 2, old));
  for (int32_t rate : {8000, 11025}) {
    SCOPED_TRACE(rate);
    LPanelFile file("hello", path_, rate, 2);
    LPanelTake take(file);
    LSoundSinkRef sink = take.OpenSink(1000);
    ASSERT_TRUE(sink.IsUsable());
    const int32_t start = rate == 8000 ? 8000 : 0;
    EXPECT_EQ(sink->sPosition, start);
    EXPECT_FALSE(take.TakeHoldsAudio());  // the copy alone is no recording
    std::vector<int32_t> added(size_t(4000) * 2, SampleFrom16(1234));
    sink->Write(added.data(), 4000);
    sink.Release();
    std::vector<int16_t> expected(old.begin(), old.begin() + start * 2);
    expected.resize(size_t(start + 4000) * 2, 1234);
    EXPECT_EQ(Samples(take.WorkPath(), rate, 2), expected);
    EXPECT_TRUE(take.TakeHoldsAudio());
  }
  // Neither take was finished: the work file is gone.
  EXPECT_FALSE(std::filesystem::exists(folder_.File("hello.take.wav")));
}

// A held arrow plays through the time stretch with the 60-second ramp: the
// sample heard after 8 s of output tells where in the file the run is. The
// display server's repeated releases while the key is held change nothing,
// also when the toolkit did not mark them.
TEST_F(PlayerPanel, HeldArrowRunsThroughTheRamp) {
  LPanelFile file("ramp", WavFile(kRampRate, Ramp(60)));
  const struct {
    int key;
    int32_t fromMs;
    double secondAt8s;
    int32_t endMs;  // where the run stops by itself
  } runs[] = {{VK_RIGHT, 0, 34.0, 60000}, {VK_LEFT, 60000, 30.0, 0}};
  for (const auto& run : runs) {
    SCOPED_TRACE(run.key);
    LVirtualAudio::ClearCapture();
    Shown<LPlayerBaseDlg> panel(file);
    ASSERT_TRUE(panel.Show());
    panel.SetPosition(run.fromMs);
    EXPECT_TRUE(panel.Key(run.key));
    for (bool marked : {true, false}) {
      EXPECT_TRUE(panel.Key(run.key, false, marked));
      EXPECT_TRUE(panel.Key(run.key, true, marked));
    }
    EXPECT_TRUE(panel.Player().IsOpen());
    ASSERT_TRUE(testsupport::WaitFor([&] { return !panel.Player().IsOpen(); }));
    std::vector<int16_t> heard = LVirtualAudio::CapturedOutput();
    ASSERT_GT(heard.size(), size_t(8 * kRampRate + 100));
    // The first half of each stretch block is the file itself, unmixed.
    EXPECT_NEAR(double(RampFrame(heard[8 * kRampRate])) / kRampRate, run.secondAt8s, 0.5);
    EXPECT_EQ(panel.Position(), run.endMs);
    EXPECT_TRUE(panel.Key(run.key, false));
    EXPECT_TRUE(testsupport::WaitFor([&] { return !panel.SeekRun().AnyActive(); }));
    EXPECT_FALSE(panel.Player().IsOpen());
  }
}

// Releasing Rewind or Forward gives back what the player did before: idle,
// playing, or playing the cue loop.
TEST_F(PlayerPanel, ReleaseRestoresTheEarlierState) {
  LVirtualAudio::SetStall(true, false);  // the device keeps its buffers: playing goes on
  LPanelFile file("ramp", WavFile(kRampRate, Ramp(20)), 8000, 1, LPanelFile::kNameReadOnly);
  const std::pair<int, int> cases[] = {{0, VK_RIGHT}, {VK_F9, VK_RIGHT}, {VK_F10, VK_LEFT}, {VK_SPACE, VK_RIGHT}};
  for (auto [startKey, arrow] : cases) {
    SCOPED_TRACE(startKey);
    Shown<LPlayerBaseDlg> panel(file);
    ASSERT_TRUE(panel.Show());
    panel.SetPosition(10000);
    if (startKey) panel.Key(startKey);
    const bool open = panel.Player().IsOpen();
    const uint16_t cue = panel.Player().GetFlags() & LSoundPlayer::kCueLoop;
    ASSERT_EQ(open, startKey != 0);
    ASSERT_EQ(cue != 0, startKey == VK_F10 || startKey == VK_SPACE);
    panel.Key(arrow);
    EXPECT_TRUE(panel.Player().IsOpen());
    EXPECT_FALSE(panel.Player().GetFlags() & LSoundPlayer::kCueLoop);
    panel.Key(arrow, false);
    ASSERT_TRUE(testsupport::WaitFor([&] { return !panel.SeekRun().AnyActive(); }));
    EXPECT_EQ(panel.Player().IsOpen(), open);
    EXPECT_EQ(panel.Player().GetFlags() & LSoundPlayer::kCueLoop, cue);
    EXPECT_EQ(panel.ControlAs<QAbstractButton>(LPlayerBaseDlg::kPlay)->isChecked(), open && !cue);
    EXPECT_EQ(panel.ControlAs<QAbstractButton>(LPlayerBaseDlg::kStop)->isChecked(), !open);
  }
}

// F9 plays from the position, sample for sample; Alt+F9 plays the last three
// seconds, or all of a shorter file.
TEST_F(PlayerPanel, PlayKeysAreHeardFromTheRightSample) {
  const struct {
    int seconds;
    int32_t positionMs;
    int key;
    int fromSecond;
  } plays[] = {{7, 5000, VK_F9, 5}, {2, 0, VK_F9 + KEY_ALT, 0}, {8, 0, VK_F9 + KEY_ALT, 5}};
  for (const auto& play : plays) {
    SCOPED_TRACE(play.seconds);
    LVirtualAudio::ClearCapture();
    std::vector<int16_t> samples = Noise(8000 * play.seconds);
    LPanelFile file("noise", WavFile(8000, samples));
    Shown<LPlayerBaseDlg> panel(file);
    ASSERT_TRUE(panel.Show());
    panel.SetPosition(play.positionMs);
    panel.EvKeyDown(play.key);
    ASSERT_TRUE(testsupport::WaitFor([&] { return !panel.Player().IsOpen(); }));
    EXPECT_TRUE(LVirtualAudio::CapturedOutput() ==
                std::vector<int16_t>(samples.begin() + play.fromSecond * 8000, samples.end()));
    EXPECT_EQ(panel.Position(), play.seconds * 1000);
  }
}

// The time display follows the waveform's clicked sample to the hundredth,
// rounded; the scroll bar stays within its range beyond the end.
TEST_F(PlayerPanel, ClickAndScrollPositions) {
  LPanelFile file("noise", WavFile(44100, Noise(44100 * 8)));
  Shown<LPlayerBaseDlg> panel(file);
  ASSERT_TRUE(panel.Show());
  panel.StartWaveScan();
  const struct {
    int32_t sample;
    const char* text;
  } clicks[] = {{220500, "0:00:05.00"}, {220280, "0:00:05.00"}, {220279, "0:00:04.99"}, {0, "0:00:00.00"}};
  for (const auto& click : clicks) {
    panel.ControlAs<LWaveWindow>(LPlayerBaseDlg::kWave)->SetSelection(click.sample, 0);
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

// 0.5 s silence, 2 s tone, 1 s silence: without AutoTrim all of it, with it
// the tone and little around it. Voice-activated recording cuts a 6 s pause
// between two tones.
TEST_F(RecordPanel, AutoTrimAndVoiceActivation) {
  for (int mode : {0, 1, 2}) {  // all, AutoTrim, voice-activated
    SCOPED_TRACE(mode);
    LRecordOptions{mode > 0, mode == 2}.Store();
    Microphone mic(mode < 2 ? ToneBetween(kRate, 0.5, 2.5, kTone)
                            : ToneBetween(kRate, 0, 1, kTone, ToneBetween(kRate, 7, 8, kTone)));
    mic.PauseAt(int64_t((mode < 2 ? 3.5 : 8.5) * kRate));
    LPanelFile file("hello", path_, kRate, kChannels, LPanelFile::kNameReadOnly);
    RecordTake(file, mic);
    std::vector<int16_t> take = Take();
    Span tone = Loud(take);
    double length = double(take.size()) / kRate;
    if (mode == 0) {
      EXPECT_NEAR(length, 3.5, 0.1);
      EXPECT_NEAR(tone.first, 0.5, 0.01);
    } else if (mode == 1) {
      EXPECT_LE(tone.first, 0.1);
      EXPECT_NEAR(tone.last - tone.first, 2.0, 0.01);
      EXPECT_LE(length - tone.last, 0.15);
    } else {
      EXPECT_GE(tone.longestQuiet, 0.45);
      EXPECT_LE(tone.longestQuiet, 0.65);
    }
  }
}

// F8 records from the position, F7 again from there: what came before stays
// bit for bit; F6 starts over.
TEST_F(RecordPanel, RetakeKeepsTheFirstPartBitExactAndRestartStartsOver) {
  Microphone mic([random = std::minstd_rand(1)](int64_t) mutable { return int16_t(int16_t(random() >> 8) / 4); });
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
  ASSERT_TRUE(mic.WaitPaused());
  mic.PauseAt(2 * kRate);
  panel.Key(VK_F7);
  StopWhenPaused(panel, mic);
  std::vector<uint8_t> retaken = testsupport::ReadFileBytes(work);
  ASSERT_GT(retaken.size(), kept);
  EXPECT_TRUE(std::equal(first.begin() + 46, first.begin() + long(kept), retaken.begin() + 46));
  EXPECT_NEAR(double(retaken.size() - 46) / (kRate * kChannels * 2), 3.0, 0.1);

  mic.PauseAt(kRate / 2);
  panel.Key(VK_F6);
  StopWhenPaused(panel, mic);

  // A recording that cannot start leaves the take as it was.
  testsupport::VirtualAudioScope::Change([](LVirtualAudioConfig& config) { config.failOpen = true; });
  panel.SetPosition(200);
  panel.Key(VK_F8);
  EXPECT_TRUE(panel.Control(LRecordDlg::kStatus)->isVisible());
  panel.DestroyWindowNow();
  EXPECT_EQ(result, LRecordDlg::kDone);
  EXPECT_NEAR(TakeSeconds(), 0.5, 0.1);
}

// Nothing recorded, or no recorder at all, also from a later point (where
// the take begins as a copy of the old audio): the old audio stays byte for byte.
TEST_F(RecordPanel, EmptyTakeOrFailedStartLeaveTheOldAudio) {
  LRecordOptions{true, false}.Store();  // silence is no recording
  ASSERT_TRUE(
      testsupport::WriteWav16(path_, kRate, kChannels, testsupport::Tone(kRate, kChannels, kRate / 2, 300, 8000)));
  const std::vector<uint8_t> oldBytes = testsupport::ReadFileBytes(path_);
  for (bool fail : {false, true}) {
    SCOPED_TRACE(fail);
    Microphone mic([](int64_t) { return int16_t(0); });
    mic.PauseAt(kRate);
    if (fail) testsupport::VirtualAudioScope::Change([](LVirtualAudioConfig& config) { config.failOpen = true; });
    LPanelFile file("hello", path_, kRate, kChannels);
    QTimer::singleShot(0, [&] {
      auto* panel = static_cast<LRecordDlg*>(LKeyDialog::Running());
      ASSERT_NE(panel, nullptr);
      EXPECT_EQ(panel->Control(LRecordDlg::kStatus)->isVisible(), fail);
      EXPECT_EQ(LGetControlText(*panel, LRecordDlg::kStatus).empty(), !fail);
      EXPECT_TRUE(fail || mic.WaitPaused());
      panel->EvKeyDown(VK_ESCAPE);
      panel->SetPosition(250);
      panel->EvKeyDown(VK_F8);
      // A panel whose recorder failed shows the old audio.
      EXPECT_TRUE(!fail || panel->Length() == 500) << panel->Length();
      panel->Window()->close();
    });
    EXPECT_EQ(LRecordDlg::Run(nullptr, file), fail ? LRecordDlg::kFailed : LRecordDlg::kDone);
    EXPECT_EQ(testsupport::ReadFileBytes(path_), oldBytes);
    EXPECT_FALSE(std::filesystem::exists(LPanelTake::WorkPathFor(path_)));
  }
}

// F5 finishes with "Record Next"; the player's keys work in the record panel.
TEST_F(RecordPanel, RecordNextAndPlayerKeys) {
  Microphone mic(ToneBetween(kRate, 0, 10, kTone));
  mic.PauseAt(kRate);
  LPanelFile file("hello", path_, kRate, kChannels);
  QTimer::singleShot(0, [&] {
    auto* panel = static_cast<LRecordDlg*>(LKeyDialog::Running());
    ASSERT_TRUE(mic.WaitPaused());
    testsupport::Pump(200);
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
  EXPECT_NEAR(TakeSeconds(), 1.0, 0.1);
}

// A take always ends up as WAV data under a WAV name; one that cannot be put
// in place stays beside the file. A caller keeping the audio's type records
// it while both files are there.
TEST_F(RecordPanel, TakeGoesInPlaceAsWavOrStaysBeside) {
  struct Typed : LPanelFile {
    using LPanelFile::LPanelFile;
    bool refuse = false, bothThere = false;
    bool PutTakeInPlace(const std::string& takePath) override {
      std::string replaced;
      if (refuse || !PlaceTake(takePath, &replaced)) return false;
      bothThere = std::filesystem::exists(replaced) && std::filesystem::exists(path);
      RemoveReplaced(replaced);
      return true;
    }
  };
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
    RecordTake(file, mic, refuse ? LRecordDlg::kFailed : LRecordDlg::kDone);
    EXPECT_EQ(std::filesystem::exists(mp3), refuse);
    EXPECT_EQ(file.path, refuse ? mp3 : path_);
    EXPECT_EQ(typed.bothThere, mode == 1);
    if (!refuse) {
      EXPECT_NEAR(TakeSeconds(), 1.0, 0.1);
    }
  }
}

TEST(LRecordDlgAdvanced, VoiceAndThresholdNeedAutoTrim) {
  LRecordOptions{true, true, -30}.Store();
  LRecordDlgAdvanced advanced;
  QTimer::singleShot(0, [&] {
    EXPECT_TRUE(advanced.Control(LRecordDlgAdvanced::kThreshold)->isEnabled());
    advanced.ControlAs<QAbstractButton>(LRecordDlgAdvanced::kAutoTrim)->click();
    EXPECT_FALSE(advanced.Control(LRecordDlgAdvanced::kVoice)->isEnabled());
    EXPECT_FALSE(advanced.Control(LRecordDlgAdvanced::kThreshold)->isEnabled());
    advanced.SendCommand(IDOK);
  });
  advanced.DoModal(LRecordDlgAdvanced::Template(), nullptr);
  LRecordOptions stored = LRecordOptions::Load();
  EXPECT_EQ(std::tie(stored.autoTrim, stored.voiceOperated, stored.thresholdDb), std::make_tuple(false, true, -30));
}

// A held arrow key on a real display server (Xvfb, driven by xdotool): the
// server repeats the key as release and press pairs, and the run must last
// until the key is really released.
TEST_F(PlayerPanel, HeldArrowOnADisplayRewindsUntilReleased) {
  if (!std::getenv("ORATIVO_PANEL_ON_DISPLAY")) {
    REQUIRE_COMMAND("Xvfb");
    REQUIRE_COMMAND("xdotool");
    testsupport::XDisplay display;
    ASSERT_FALSE(display.Name().empty()) << "no display could be started";
    // This test again, as a child on the display.
    EXPECT_EQ(testsupport::RunCommand("ORATIVO_PANEL_ON_DISPLAY=1 DISPLAY=" + display.Name() +
                                      " QT_QPA_PLATFORM=xcb timeout 60 '" +
                                      std::filesystem::read_symlink("/proc/self/exe").string() +
                                      "' --gtest_filter=PlayerPanel.HeldArrowOnADisplayRewindsUntilReleased"),
              0);
    return;
  }
  testsupport::VirtualAudioScope::Change([](LVirtualAudioConfig& config) { config.speed = 1; });
  LPanelFile file("hello", WavFile(8000, testsupport::Tone(8000, 1, 8000 * 60, 300, 6000)), 8000, 1,
                  LPanelFile::kNameReadOnly);
  LPlayerBaseDlg panel(file);
  const int32_t from = 40000;
  QTimer::singleShot(0, [&] {
    panel.SetPosition(from);
    // The key goes down and stays down until the test lets it go.
    testsupport::RunCommand(
        "timeout 20 xdotool search --sync --onlyvisible --name '^Player$' windowfocus --sync %1 keydown Left");
    EXPECT_TRUE(testsupport::WaitFor([&] { return panel.SeekRun().AnyActive(); }, 15000));
    testsupport::Pump(1600);  // well past the server's repeat delay
    EXPECT_TRUE(panel.SeekRun().AnyActive() && panel.Player().IsOpen()) << "held through the repeats";
    testsupport::RunCommand("timeout 20 xdotool keyup Left");
    EXPECT_TRUE(testsupport::WaitFor([&] { return !panel.SeekRun().AnyActive(); }, 5000));
    EXPECT_LT(panel.Position(), from);  // how far depends on how loaded the machine is
    EXPECT_GT(panel.Position(), 0);
    panel.Close();
  });
  panel.Open(nullptr, LPlayerBaseDlg::Template());
}

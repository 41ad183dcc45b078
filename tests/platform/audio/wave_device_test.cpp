#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <numeric>
#include <thread>
#include <tuple>

#include "platform/audio/audio_backend.h"
#include "platform/audio/mixer.h"
#include "platform/audio/virtual_audio.h"
#include "tests/support/test_support.h"
#include "tests/support/virtual_audio_scope.h"

using testsupport::VirtualAudioScope;
using testsupport::WaitFor;

namespace {

using namespace std::chrono_literals;

// A buffer of 16-bit samples counting up from `first`, a loop when `loops` is given.
struct Buffer {
  explicit Buffer(int frames, int first = 0, uint32_t loops = 0) : samples(size_t(frames)) {
    std::iota(samples.begin(), samples.end(), int16_t(first));
    header.data = reinterpret_cast<uint8_t*>(samples.data());
    header.bufferLength = uint32_t(samples.size() * 2);
    header.flags = kWaveHeaderPrepared | (loops ? kWaveHeaderBeginLoop | kWaveHeaderEndLoop : 0);
    header.loops = loops;
  }
  std::vector<int16_t> samples;
  LWaveHeader header;
};

constexpr LWaveDeviceFormat kMono{8000, 1, 16};
using Flags = std::vector<bool>;
using Ints = std::vector<int>;
using Names = std::vector<std::string>;

}  // namespace

// A loop repeats until broken, then the next buffer follows at once; a finite
// loop count ends, and an empty loop does not spin.
TEST(WaveOutQueue, LoopsRepeatEndAndNeverSpin) {
  Buffer loop(4, 0, 0x7FFFFFFF), next(2, 100);
  LWaveOutQueue q;
  q.Add(&loop.header);
  q.Add(&next.header);
  std::vector<int16_t> out;
  bool finished = false;
  auto take = [&](size_t frames) {
    out.resize(frames);
    out.resize(q.Take(reinterpret_cast<uint8_t*>(out.data()), frames * 2, &finished) / 2);
    return out.size();
  };
  ASSERT_EQ(take(20), 20u);
  EXPECT_EQ((Flags{finished, loop.header.IsDone()}), Flags(2, false));
  for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], int16_t(i % 4)) << i;
  // Mid-pass: the pass completes, then the next buffer follows at once.
  take(2);
  q.BreakLoop();
  take(8);
  EXPECT_EQ(out, (std::vector<int16_t>{2, 3, 100, 101}));
  EXPECT_EQ((Flags{finished, loop.header.IsDone(), next.header.IsDone(), q.Empty()}), Flags(4, true));

  Buffer twice(3, 0, 2), empty(0, 0, 1000000);
  q.Add(&twice.header);
  q.Add(&empty.header);
  EXPECT_EQ(take(50), 6u);
  EXPECT_EQ((Flags{twice.header.IsDone(), empty.header.IsDone()}), Flags(2, true));
}

// Pause holds buffers and reset returns them; headers are checked; a played
// buffer takes about its length at real-time speed (a clock that ignores its
// speed would finish at once: not a speed target).
TEST(VirtualDevice, OutputPausesResetsChecksHeadersAndKeepsTime) {
  VirtualAudioScope audio;
  std::atomic<int> signals{0};
  std::unique_ptr<LWaveOut> out;
  ASSERT_EQ(LWaveOutOpen(&out, 0, kMono, false, [&] { signals++; }), kWaveOk);
  out->Pause();
  Buffer a(800), b(10), c(1600);
  out->Write(&a.header);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ((Flags{a.header.IsDone(), LVirtualAudio::CapturedOutput().empty()}), (Flags{false, true}));
  out->Reset();
  EXPECT_EQ(std::tuple(a.header.IsDone(), signals.load()), std::tuple(true, 1));

  for (LWaveDeviceFormat bad : {LWaveDeviceFormat{8000, 0, 16}, LWaveDeviceFormat{8000, 1, 24}})
    EXPECT_EQ(LWaveOutOpen(&out, -1, bad, false, nullptr), kWaveBadFormat);
  ASSERT_EQ(LWaveOutOpen(&out, -1, kMono, false, nullptr), kWaveOk);
  b.header.flags = 0;
  EXPECT_EQ(out->Write(&b.header), kWaveUnprepared);
  out->Prepare(&b.header);
  LVirtualAudio::SetStall(true, false);
  EXPECT_EQ((Ints{out->Write(&b.header), out->Write(&b.header), out->Unprepare(&b.header)}),
            (Ints{kWaveOk, kWaveStillPlaying, kWaveStillPlaying}));
  out->Reset();
  EXPECT_EQ((Ints{b.header.IsDone(), out->Unprepare(&b.header)}), (Ints{true, kWaveOk}));

  LVirtualAudio::SetStall(false, false);
  LVirtualAudio::SetSpeed(1.0);
  ASSERT_EQ(LWaveOutOpen(&out, -1, kMono, false, nullptr), kWaveOk);
  auto start = std::chrono::steady_clock::now();
  out->Write(&c.header);
  ASSERT_TRUE(WaitFor([&] { return c.header.IsDone(); }));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
}

// Device numbers: 0 is the default, n the list's entry n; the mixer counts
// from 0. Line names and counts stay within the old mixer's limits; line -1
// keeps the port.
TEST(VirtualDevice, DeviceNumbersOpenFailuresAndMixerLines) {
  VirtualAudioScope audio;
  std::unique_ptr<LWaveOut> out;
  std::unique_ptr<LWaveIn> in;
  EXPECT_EQ(LWaveOutOpen(&out, 1, kMono, false, nullptr), kWaveOk);
  out.reset();
  EXPECT_EQ(LWaveOutOpen(&out, 2, kMono, false, nullptr), kWaveBadDevice);
  EXPECT_EQ(LWaveInOpen(&in, 5, kMono, false, nullptr), kWaveBadDevice);
  VirtualAudioScope::Change([](LVirtualAudioConfig& c) { c.rejectUnmapped = true; });
  EXPECT_NE(LWaveOutOpen(&out, -1, kMono, false, nullptr), kWaveOk);
  EXPECT_EQ(LWaveOutOpen(&out, -1, kMono, true, nullptr), kWaveOk);
  out.reset();
  VirtualAudioScope::Change([](LVirtualAudioConfig& c) { c.failOpen = true; });
  EXPECT_NE(LWaveInOpen(&in, -1, kMono, true, nullptr), kWaveOk);
  EXPECT_FALSE(in);
  EXPECT_EQ(LVirtualAudio::OpenOutputs(), 0);

  EXPECT_EQ((Names{LSoundPlayDevice::GetText(2), LSoundPlayDevice::GetText(3)}),
            (Names{LSoundOutDeviceList().at(2), ""}));
  LVirtualAudio::SetDefaultInputIndex(1);
  EXPECT_EQ((Ints{GetDefaultInputDevice(), LMixerInputIndex(0), LMixerInputIndex(3)}), (Ints{2, 1, 2}));
  LVirtualAudio::SetDefaultInputIndex(-1);
  EXPECT_EQ((Ints{GetDefaultInputDevice(), LMixerInputIndex(0)}), (Ints{0, -1}));
  LVirtualAudio::SetDefaultInputIndex(0);

  EXPECT_EQ((Ints{LMixer::GetInputChannelCount(-1), int(LMixer::GetInputChannelName(0, 2).size())}), (Ints{0, 0}));
  VirtualAudioScope::Change([](LVirtualAudioConfig& c) {
    c.inputLines.clear();
    for (int i = 0; i < 200; ++i) c.inputLines.push_back("Line " + std::to_string(i) + std::string(40, 'x'));
  });
  EXPECT_EQ((Ints{LMixer::GetInputChannelCount(1), int(LMixer::GetInputChannelName(1, 150).size()),
                  int(LMixer::GetInputChannelName(1, 3).size())}),
            (Ints{127, 0, 31}));
  LMixer::SetInputChannel(1, 5, -40);
  const int selections = LVirtualAudio::Mixer().lineSelections;
  EXPECT_EQ((Ints{LVirtualAudio::Mixer().inputLine, LAudioRecordVolume()}), (Ints{5, -40}));
  LMixer::SetInputChannel(1, -1, 3);
  const LVirtualAudio::MixerState mixer = LVirtualAudio::Mixer();
  EXPECT_EQ((Ints{mixer.inputLine, mixer.lineSelections, LAudioRecordVolume()}), (Ints{5, selections, 3}));
  SetOutputVolume(0, 120, 100);  // the sum is clamped
  EXPECT_EQ(LAudioPlayVolume(), 127);
}

// Input from a WAV ends in silence or loops, a mono file feeding both
// channels; input never drops audio while no buffer is queued.
TEST(VirtualDevice, InputFollowsItsSourceWithoutGaps) {
  VirtualAudioScope audio;
  testsupport::TempFolder folder;
  ASSERT_TRUE(testsupport::WriteWav16(folder.File("in.wav"), 8000, 1, {10, 20, 30, 40, 50}));
  std::unique_ptr<LWaveIn> in;
  for (bool loop : {false, true}) {
    VirtualAudioScope::Change([&](LVirtualAudioConfig& c) {
      c.inputFile = folder.File("in.wav");
      c.inputLoop = loop;
    });
    std::atomic<int> signals{0};
    ASSERT_EQ(LWaveInOpen(&in, -1, LWaveDeviceFormat{8000, 2, 16}, false, [&] { signals++; }), kWaveOk);
    Buffer a(8), b(8);  // 4 stereo frames each
    in->AddBuffer(&a.header);
    in->AddBuffer(&b.header);
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(a.header.IsDone()) << "capture before Start";
    in->Start();
    ASSERT_TRUE(WaitFor([&] { return b.header.IsDone(); }));
    a.samples.insert(a.samples.end(), b.samples.begin(), b.samples.end());
    std::vector<int16_t> want = {10, 10, 20, 20, 30, 30, 40, 40, 50, 50, 10, 10, 20, 20, 30, 30};
    if (!loop) std::fill(want.begin() + 10, want.end(), 0);  // silence after the end
    EXPECT_EQ(a.samples, want) << "loop " << loop;
    EXPECT_GE(signals.load(), 1);
    in.reset();
  }

  VirtualAudioScope::Change([](LVirtualAudioConfig& c) {
    c.inputFile.clear();
    c.inputGenerator = [](int16_t* s, int frames, int channels, int64_t pos) {
      for (int i = 0; i < frames * channels; ++i) s[i] = int16_t(pos + i / channels);
    };
  });
  ASSERT_EQ(LWaveInOpen(&in, -1, kMono, false, nullptr), kWaveOk);
  in->Start();
  Buffer a(150), b(100), c(1000);
  in->AddBuffer(&a.header);
  ASSERT_TRUE(WaitFor([&] { return a.header.IsDone(); }));
  std::this_thread::sleep_for(30ms);
  in->AddBuffer(&b.header);
  ASSERT_TRUE(WaitFor([&] { return b.header.IsDone(); }));
  EXPECT_EQ(b.samples, Buffer(100, 150).samples);
  // Reset hands back a partly filled buffer with its byte count.
  in->Stop();
  in->AddBuffer(&c.header);
  in->Reset();
  EXPECT_TRUE(c.header.IsDone() && c.header.bytesRecorded < c.header.bufferLength);
}

// Play and record volumes scale the program's own streams, also one already
// open; the capture file is a valid WAV of what was played.
TEST(VirtualDevice, StreamVolumesScaleTheirDirectionAtOnceAndCaptureIsAWav) {
  VirtualAudioScope audio;
  const int16_t level = 8000;
  VirtualAudioScope::Change([&](LVirtualAudioConfig& c) {
    c.inputGenerator = [&](int16_t* s, int frames, int channels, int64_t) {
      std::fill(s, s + frames * channels, level);
    };
  });
  // (input, volume in dB, the factor it scales by)
  const std::tuple<bool, int, double> cases[] = {{false, 0, 1.0},       {false, -12, 0.251189}, {false, -36, 0.0},
                                                 {true, -12, 0.251189}, {true, 6, 1.995262},    {true, -36, 0.0}};
  for (auto [input, volumeDb, factor] : cases) {
    SCOPED_TRACE(std::to_string(input) + " " + std::to_string(volumeDb));
    LAudioSetPlayVolume(0);
    LAudioSetRecordVolume(0);
    LVirtualAudio::ClearCapture();
    Buffer b(800);
    if (!input) std::fill(b.samples.begin(), b.samples.end(), level);
    std::unique_ptr<LWaveIn> in;
    std::unique_ptr<LWaveOut> out;
    if (input) {
      ASSERT_EQ(LWaveInOpen(&in, -1, kMono, false, nullptr), kWaveOk);
      LAudioSetRecordVolume(volumeDb);
      in->AddBuffer(&b.header);
      in->Start();
    } else {
      ASSERT_EQ(LWaveOutOpen(&out, -1, kMono, false, nullptr), kWaveOk);
      LAudioSetPlayVolume(volumeDb);
      out->Write(&b.header);
    }
    ASSERT_TRUE(WaitFor([&] { return b.header.IsDone(); }));
    const std::vector<int16_t> got = input ? b.samples : LVirtualAudio::CapturedOutput();
    ASSERT_EQ(got.size(), 800u);
    for (int16_t v : got) ASSERT_NEAR(v, level * factor, 1.0);
    EXPECT_EQ(input ? LAudioPlayVolume() : LAudioRecordVolume(), 0) << "the other direction is untouched";
  }

  LAudioSetPlayVolume(0);
  testsupport::TempFolder folder;
  VirtualAudioScope::Change([&](LVirtualAudioConfig& c) { c.captureFile = folder.File("out.wav"); });
  Buffer played(300, 5);
  std::unique_ptr<LWaveOut> out;
  ASSERT_EQ(LWaveOutOpen(&out, -1, LWaveDeviceFormat{22050, 1, 16}, false, nullptr), kWaveOk);
  out->Write(&played.header);
  ASSERT_TRUE(WaitFor([&] { return played.header.IsDone(); }));
  out.reset();  // closes the capture file
  ASSERT_TRUE(testsupport::WriteWav16(folder.File("want.wav"), 22050, 1, Buffer(300, 5).samples));
  EXPECT_EQ(testsupport::ReadFileBytes(folder.File("out.wav")), testsupport::ReadFileBytes(folder.File("want.wav")));
}

// The environment wins over the setting; without a server the lists hold only
// the defaults and opens fail.
TEST(PulseDevice, EnvironmentWinsAndNoServerMeansOnlyDefaults) {
  {
    testsupport::ScopedEnv audio("ORATIVO_AUDIO", nullptr);
    LAudioSelectBackend("virtual");
    EXPECT_TRUE(LAudioIsVirtual());
    LAudioSelectBackend("pulse");
    EXPECT_FALSE(LAudioIsVirtual());
  }
  testsupport::ScopedEnv virtualAudio("ORATIVO_AUDIO", "virtual");
  EXPECT_TRUE(LAudioIsVirtual());

  testsupport::TempFolder folder;
  testsupport::ScopedEnv audio("ORATIVO_AUDIO", "pulse");
  testsupport::ScopedEnv server("PULSE_SERVER", ("unix:" + folder.File("no-such-socket")).c_str());
  EXPECT_FALSE(LAudioIsVirtual());
  EXPECT_EQ(LSoundOutDeviceList(), Names{"[Default Sound Out]"});
  EXPECT_EQ(LSoundInDeviceList(), Names{"[Default Sound In]"});
  std::unique_ptr<LWaveOut> out;
  EXPECT_NE(LWaveOutOpen(&out, -1, kMono, true, nullptr), kWaveOk);
  std::unique_ptr<LWaveIn> in;
  EXPECT_NE(LWaveInOpen(&in, -1, kMono, true, nullptr), kWaveOk);
  EXPECT_EQ((Ints{GetDefaultInputDevice(), LMixer::GetInputChannelCount(0)}), (Ints{0, 0}));
}

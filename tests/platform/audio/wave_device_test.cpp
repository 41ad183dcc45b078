#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <tuple>

#include "platform/audio/audio_backend.h"
#include "platform/audio/mixer.h"
#include "platform/audio/virtual_audio.h"
#include "tests/support/test_support.h"
#include "tests/support/virtual_audio_scope.h"

namespace {

using namespace std::chrono_literals;

// A buffer of 16-bit mono samples counting up from `first`.
struct Buffer {
  explicit Buffer(int frames, int first = 0) : bytes(size_t(frames) * 2) {
    for (int i = 0; i < frames; ++i) {
      int16_t v = int16_t(first + i);
      std::memcpy(&bytes[size_t(i) * 2], &v, 2);
    }
    header.data = bytes.data();
    header.bufferLength = uint32_t(bytes.size());
    header.flags = kWaveHeaderPrepared;
  }
  std::vector<uint8_t> bytes;
  LWaveHeader header;
};

std::vector<int16_t> AsSamples(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> s(bytes.size() / 2);
  std::memcpy(s.data(), bytes.data(), s.size() * 2);
  return s;
}

template <typename Pred>
bool WaitUntil(Pred pred, std::chrono::milliseconds limit = 5000ms) {
  auto end = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

constexpr LWaveDeviceFormat kMono{8000, 1, 16};

class VirtualDevice : public ::testing::Test {
 protected:
  testsupport::VirtualAudioScope audio_;
};

}  // namespace

TEST(WaveOutQueue, LoopRepeatsUntilBrokenThenGoesOn) {
  Buffer loop(4, 0), next(2, 100);
  loop.header.flags |= kWaveHeaderBeginLoop | kWaveHeaderEndLoop;
  loop.header.loops = 0x7FFFFFFF;
  LWaveOutQueue q;
  q.Add(&loop.header);
  q.Add(&next.header);
  std::vector<uint8_t> out(20 * 2);
  bool finished = false;
  ASSERT_EQ(q.Take(out.data(), out.size(), &finished), out.size());
  EXPECT_FALSE(finished);
  EXPECT_FALSE(loop.header.IsDone());
  std::vector<int16_t> s = AsSamples(out);
  for (size_t i = 0; i < s.size(); ++i) ASSERT_EQ(s[i], int16_t(i % 4)) << i;

  // Mid-pass: the pass completes, then the next buffer follows at once.
  std::vector<uint8_t> two(2 * 2);
  q.Take(two.data(), two.size(), &finished);
  q.BreakLoop();
  std::vector<uint8_t> rest(8 * 2);
  size_t got = q.Take(rest.data(), rest.size(), &finished);
  EXPECT_EQ(got, 4u * 2);  // two frames of the loop, two of the next buffer
  rest.resize(got);
  EXPECT_EQ(AsSamples(rest), (std::vector<int16_t>{2, 3, 100, 101}));
  EXPECT_TRUE(finished);
  EXPECT_TRUE(loop.header.IsDone());
  EXPECT_TRUE(next.header.IsDone());
  EXPECT_TRUE(q.Empty());
}

TEST(WaveOutQueue, FiniteLoopCountAndEmptyLoopDoNotSpin) {
  Buffer loop(3, 0), empty(0);
  loop.header.flags |= kWaveHeaderBeginLoop | kWaveHeaderEndLoop;
  loop.header.loops = 2;
  empty.header.flags |= kWaveHeaderBeginLoop | kWaveHeaderEndLoop;
  empty.header.loops = 1000000;
  LWaveOutQueue q;
  q.Add(&loop.header);
  q.Add(&empty.header);
  std::vector<uint8_t> out(100);
  bool finished = false;
  EXPECT_EQ(q.Take(out.data(), out.size(), &finished), 6u * 2);
  EXPECT_TRUE(loop.header.IsDone());
  EXPECT_TRUE(empty.header.IsDone());
}

TEST_F(VirtualDevice, HeaderChecks) {
  std::unique_ptr<LWaveOut> out;
  ASSERT_EQ(LWaveOutOpen(&out, -1, kMono, false, nullptr), kWaveOk);
  Buffer b(10);
  b.header.flags = 0;
  EXPECT_EQ(out->Write(&b.header), kWaveUnprepared);
  out->Prepare(&b.header);
  LVirtualAudio::SetStall(true, false);
  EXPECT_EQ(out->Write(&b.header), kWaveOk);
  EXPECT_EQ(out->Write(&b.header), kWaveStillPlaying);
  EXPECT_EQ(out->Unprepare(&b.header), kWaveStillPlaying);
  out->Reset();
  EXPECT_TRUE(b.header.IsDone());
  EXPECT_EQ(out->Unprepare(&b.header), kWaveOk);
  for (LWaveDeviceFormat bad : {LWaveDeviceFormat{8000, 0, 16}, LWaveDeviceFormat{8000, 1, 24}})
    EXPECT_EQ(LWaveOutOpen(&out, -1, bad, false, nullptr), kWaveBadFormat);
}

TEST_F(VirtualDevice, PauseHoldsBuffersAndResetReturnsThem) {
  std::atomic<int> signals{0};
  std::unique_ptr<LWaveOut> out;
  ASSERT_EQ(LWaveOutOpen(&out, 0, kMono, false, [&] { signals++; }), kWaveOk);
  out->Pause();
  Buffer a(800);
  out->Write(&a.header);
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(a.header.IsDone());
  EXPECT_TRUE(LVirtualAudio::CapturedOutput().empty());
  out->Reset();
  EXPECT_TRUE(a.header.IsDone());
  EXPECT_EQ(signals.load(), 1);
}

TEST_F(VirtualDevice, RealTimeSpeedTakesAboutTheAudioLength) {
  // Not a speed target: a clock that ignores its speed would finish at once.
  LVirtualAudio::SetSpeed(1.0);
  std::unique_ptr<LWaveOut> out;
  ASSERT_EQ(LWaveOutOpen(&out, -1, kMono, false, nullptr), kWaveOk);
  Buffer a(1600);
  auto start = std::chrono::steady_clock::now();
  out->Write(&a.header);
  ASSERT_TRUE(WaitUntil([&] { return a.header.IsDone(); }));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
}

TEST_F(VirtualDevice, OpenFailuresAndDeviceNumbers) {
  LVirtualAudioConfig config = LVirtualAudio::GetConfig();
  std::unique_ptr<LWaveOut> out;
  std::unique_ptr<LWaveIn> in;
  EXPECT_EQ(LWaveOutOpen(&out, 1, kMono, false, nullptr), kWaveOk);
  out.reset();
  EXPECT_EQ(LWaveOutOpen(&out, 2, kMono, false, nullptr), kWaveBadDevice);
  EXPECT_EQ(LWaveInOpen(&in, 5, kMono, false, nullptr), kWaveBadDevice);
  config.rejectUnmapped = true;
  LVirtualAudio::SetConfig(config);
  EXPECT_NE(LWaveOutOpen(&out, -1, kMono, false, nullptr), kWaveOk);
  EXPECT_EQ(LWaveOutOpen(&out, -1, kMono, true, nullptr), kWaveOk);
  out.reset();
  config.failOpen = true;
  LVirtualAudio::SetConfig(config);
  EXPECT_NE(LWaveInOpen(&in, -1, kMono, true, nullptr), kWaveOk);
  EXPECT_FALSE(in);
  EXPECT_EQ(LVirtualAudio::OpenOutputs(), 0);
}

TEST_F(VirtualDevice, CaptureFileIsAValidWav) {
  testsupport::TempFolder folder;
  LVirtualAudioConfig config = LVirtualAudio::GetConfig();
  config.captureFile = folder.File("out.wav");
  LVirtualAudio::SetConfig(config);
  {
    std::unique_ptr<LWaveOut> out;
    ASSERT_EQ(LWaveOutOpen(&out, -1, LWaveDeviceFormat{22050, 1, 16}, false, nullptr), kWaveOk);
    Buffer a(300, 5);
    out->Write(&a.header);
    ASSERT_TRUE(WaitUntil([&] { return a.header.IsDone(); }));
  }
  int rate = 0, channels = 0;
  std::vector<int16_t> samples;
  ASSERT_TRUE(testsupport::ReadWav16(folder.File("out.wav"), &rate, &channels, &samples));
  EXPECT_EQ(std::make_pair(rate, channels), std::make_pair(22050, 1));
  EXPECT_EQ(samples, AsSamples(Buffer(300, 5).bytes));
}

TEST_F(VirtualDevice, InputFromWavEndsInSilenceOrLoops) {
  testsupport::TempFolder folder;
  std::vector<int16_t> mono = {10, 20, 30, 40, 50};
  ASSERT_TRUE(testsupport::WriteWav16(folder.File("in.wav"), 8000, 1, mono));
  for (bool loop : {false, true}) {
    LVirtualAudioConfig config = LVirtualAudio::GetConfig();
    config.inputFile = folder.File("in.wav");
    config.inputLoop = loop;
    LVirtualAudio::SetConfig(config);
    std::atomic<int> signals{0};
    // Stereo device: the mono file feeds both channels.
    std::unique_ptr<LWaveIn> in;
    ASSERT_EQ(LWaveInOpen(&in, -1, LWaveDeviceFormat{8000, 2, 16}, false, [&] { signals++; }), kWaveOk);
    Buffer a(8), b(8);  // 4 stereo frames each
    in->AddBuffer(&a.header);
    in->AddBuffer(&b.header);
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(a.header.IsDone()) << "capture before Start";
    in->Start();
    ASSERT_TRUE(WaitUntil([&] { return b.header.IsDone(); }));
    a.bytes.insert(a.bytes.end(), b.bytes.begin(), b.bytes.end());
    std::vector<int16_t> want = {10, 10, 20, 20, 30, 30, 40, 40, 50, 50, 10, 10, 20, 20, 30, 30};
    if (!loop) std::fill(want.begin() + 10, want.end(), 0);  // silence after the end
    EXPECT_EQ(AsSamples(a.bytes), want) << "loop " << loop;
    EXPECT_GE(signals.load(), 1);
  }
}

TEST_F(VirtualDevice, InputNeverDropsAudioWhileNoBufferIsQueued) {
  LVirtualAudioConfig config = LVirtualAudio::GetConfig();
  config.inputGenerator = [](int16_t* s, int frames, int channels, int64_t pos) {
    for (int f = 0; f < frames; ++f)
      for (int c = 0; c < channels; ++c) s[f * channels + c] = int16_t(pos + f);
  };
  LVirtualAudio::SetConfig(config);
  std::unique_ptr<LWaveIn> in;
  ASSERT_EQ(LWaveInOpen(&in, -1, kMono, false, nullptr), kWaveOk);
  in->Start();
  Buffer a(150);
  in->AddBuffer(&a.header);
  ASSERT_TRUE(WaitUntil([&] { return a.header.IsDone(); }));
  std::this_thread::sleep_for(30ms);
  Buffer b(100);
  in->AddBuffer(&b.header);
  ASSERT_TRUE(WaitUntil([&] { return b.header.IsDone(); }));
  EXPECT_EQ(AsSamples(b.bytes), AsSamples(Buffer(100, 150).bytes));
  // Reset hands back a partly filled buffer with its byte count.
  in->Stop();
  Buffer c(1000);
  in->AddBuffer(&c.header);
  in->Reset();
  EXPECT_TRUE(c.header.IsDone());
  EXPECT_LT(c.header.bytesRecorded, c.header.bufferLength);
}

// Line names and counts stay within the old mixer's limits; line -1 keeps the port.
TEST_F(VirtualDevice, MixerLinesAndVolumes) {
  EXPECT_EQ(LMixer::GetInputChannelCount(-1), 0);
  EXPECT_EQ(LMixer::GetInputChannelName(0, 2), "");
  LVirtualAudioConfig config = LVirtualAudio::GetConfig();
  config.inputLines.clear();
  for (int i = 0; i < 200; ++i) config.inputLines.push_back("Line " + std::to_string(i) + std::string(40, 'x'));
  LVirtualAudio::SetConfig(config);
  EXPECT_EQ(LMixer::GetInputChannelCount(1), 127);
  EXPECT_EQ(LMixer::GetInputChannelName(1, 150), "");
  EXPECT_EQ(LMixer::GetInputChannelName(1, 3).size(), 31u);

  LMixer::SetInputChannel(1, 5, -40);
  const int selections = LVirtualAudio::Mixer().lineSelections;
  EXPECT_EQ(LVirtualAudio::Mixer().inputLine, 5);
  EXPECT_EQ(LAudioRecordVolume(), -40);
  LMixer::SetInputChannel(1, -1, 3);
  EXPECT_EQ(LVirtualAudio::Mixer().inputLine, 5);
  EXPECT_EQ(LVirtualAudio::Mixer().lineSelections, selections);
  EXPECT_EQ(LAudioRecordVolume(), 3);
  SetOutputVolume(0, 120, 100);  // the sum is clamped
  EXPECT_EQ(LAudioPlayVolume(), 127);
}

// Play and record volumes scale the program's own streams, also one already open.
TEST_F(VirtualDevice, StreamVolumesScaleTheirDirectionAtOnce) {
  const int16_t level = 8000;
  LVirtualAudioConfig config = LVirtualAudio::GetConfig();
  config.inputGenerator = [&](int16_t* s, int frames, int channels, int64_t) {
    std::fill(s, s + frames * channels, level);
  };
  LVirtualAudio::SetConfig(config);
  // (input, volume in dB, the factor it scales by)
  const std::tuple<bool, int, double> cases[] = {{false, 0, 1.0},       {false, -12, 0.251189}, {false, -36, 0.0},
                                                 {true, -12, 0.251189}, {true, 6, 1.995262},    {true, -36, 0.0}};
  for (auto [input, volumeDb, factor] : cases) {
    SCOPED_TRACE(std::to_string(input) + " " + std::to_string(volumeDb));
    LAudioSetPlayVolume(0);
    LAudioSetRecordVolume(0);
    LVirtualAudio::ClearCapture();
    Buffer b(800);
    std::vector<int16_t> got;
    if (input) {
      std::unique_ptr<LWaveIn> in;
      ASSERT_EQ(LWaveInOpen(&in, -1, kMono, false, nullptr), kWaveOk);
      LAudioSetRecordVolume(volumeDb);
      in->AddBuffer(&b.header);
      in->Start();
      ASSERT_TRUE(WaitUntil([&] { return b.header.IsDone(); }));
      got = AsSamples(b.bytes);
    } else {
      std::unique_ptr<LWaveOut> out;
      ASSERT_EQ(LWaveOutOpen(&out, -1, kMono, false, nullptr), kWaveOk);
      LAudioSetPlayVolume(volumeDb);
      std::fill(reinterpret_cast<int16_t*>(b.bytes.data()), reinterpret_cast<int16_t*>(b.bytes.data()) + 800, level);
      out->Write(&b.header);
      ASSERT_TRUE(WaitUntil([&] { return b.header.IsDone(); }));
      got = LVirtualAudio::CapturedOutput();
    }
    ASSERT_EQ(got.size(), 800u);
    for (int16_t v : got) ASSERT_NEAR(v, level * factor, 1.0);
    EXPECT_EQ(input ? LAudioPlayVolume() : LAudioRecordVolume(), 0) << "the other direction is untouched";
  }
}

// Device numbers: 0 is the default, n the list's entry n; the mixer counts from 0.
TEST_F(VirtualDevice, DeviceNumbersAndDefaultInput) {
  std::vector<std::string> outs = LSoundOutDeviceList();
  ASSERT_EQ(outs.size(), 3u);
  EXPECT_EQ(LSoundPlayDevice::GetText(2), outs[2]);
  EXPECT_EQ(LSoundPlayDevice::GetText(3), "");
  LVirtualAudio::SetDefaultInputIndex(1);
  EXPECT_EQ(GetDefaultInputDevice(), 2);
  EXPECT_EQ(LMixerInputIndex(0), 1);
  EXPECT_EQ(LMixerInputIndex(3), 2);
  LVirtualAudio::SetDefaultInputIndex(-1);
  EXPECT_EQ(GetDefaultInputDevice(), 0);
  EXPECT_EQ(LMixerInputIndex(0), -1);
  LVirtualAudio::SetDefaultInputIndex(0);
}

TEST(PulseDevice, WithoutAServerListsHoldOnlyTheDefaultAndOpenFails) {
  testsupport::TempFolder folder;
  testsupport::ScopedEnv audio("ORATIVO_AUDIO", "pulse");
  testsupport::ScopedEnv server("PULSE_SERVER", ("unix:" + folder.File("no-such-socket")).c_str());
  EXPECT_FALSE(LAudioIsVirtual());
  EXPECT_EQ(LSoundOutDeviceList(), (std::vector<std::string>{"[Default Sound Out]"}));
  EXPECT_EQ(LSoundInDeviceList(), (std::vector<std::string>{"[Default Sound In]"}));
  std::unique_ptr<LWaveOut> out;
  EXPECT_NE(LWaveOutOpen(&out, -1, kMono, true, nullptr), kWaveOk);
  std::unique_ptr<LWaveIn> in;
  EXPECT_NE(LWaveInOpen(&in, -1, kMono, true, nullptr), kWaveOk);
  EXPECT_EQ(GetDefaultInputDevice(), 0);
  EXPECT_EQ(LMixer::GetInputChannelCount(0), 0);
}

TEST(AudioBackend, EnvironmentWinsOverTheSetting) {
  {
    testsupport::ScopedEnv audio("ORATIVO_AUDIO", nullptr);
    LAudioSelectBackend("virtual");
    EXPECT_TRUE(LAudioIsVirtual());
    LAudioSelectBackend("pulse");
    EXPECT_FALSE(LAudioIsVirtual());
  }
  testsupport::ScopedEnv audio("ORATIVO_AUDIO", "virtual");
  EXPECT_TRUE(LAudioIsVirtual());
}

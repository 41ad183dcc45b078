#include "sound/sound_recorder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "tests/sound/audio_test_util.h"

using namespace audiotest;

namespace {

// Input at 8000 Hz whose 100 ms buffers (800 frames) follow a script: the
// 16-bit value of each frame is a function of its buffer and place in it.
using Script = std::function<int16_t(int buffer, int frameInBuffer, int channel)>;

void FeedScript(Script script, double speed = 0) {
  LVirtualAudioConfig config;
  config.speed = speed;
  config.inputGenerator = [script](int16_t* s, int frames, int channels, int64_t position) {
    for (int f = 0; f < frames; ++f) {
      int64_t at = position + f;
      for (int c = 0; c < channels; ++c) s[f * channels + c] = script(int(at / 800), int(at % 800), c);
    }
  };
  LVirtualAudio::SetConfig(config);
}

// 1024 (16-bit) is 16384 internally: -18 dB; 625 is -22; 562 is -23.
int16_t Alternate(int value, int frame) { return int16_t(frame % 2 ? value : -value); }
const Script kVoice = [](int, int f, int) { return Alternate(3000, f); };

// A recorder on the virtual input, writing to a sink in memory.
struct RecorderFixture : ::testing::Test {
  RecorderFixture() { recorder.SetNotify(&log, 0); }
  bool Start(int startLevel = -18, int32_t maxTime = 0, int mode = 0) {
    return recorder.Start(ref, maxTime, startLevel, 4000, mode);
  }
  void SetOpen(bool fail, int delayMs) {
    audio.Change([&](LVirtualAudioConfig& c) { c.failOpen = fail, c.openDelayMs = delayMs; });
  }

  VirtualAudioScope audio;
  RecorderLog log;
  MemorySink* sink = new MemorySink(8000, 1);
  LSoundSinkRef ref{sink};
  LSoundRecorder recorder;
};

// The voice activation alone, fed 100 ms buffers of 800 frames at 8000 Hz.
struct VoiceRun {
  explicit VoiceRun(int startLevel, int32_t maxTime = 0) {
    voice.Configure(startLevel, 4000, maxTime);
    voice.Begin(LVoiceActivation::WAITING, 0);
  }
  // Feeds buffers [from, to) of the script; returns the buffers where the state changed.
  std::vector<int> Feed(const Script& script, int from, int to) {
    std::vector<int> changes;
    std::vector<int32_t> samples(800);
    for (int b = from; b < to; ++b) {
      for (int f = 0; f < 800; ++f) samples[size_t(f)] = script(b, f, 0) * 16;
      LVoiceActivation::Step step = voice.Buffer(sink, samples.data(), 800, 1);
      if (step.stateChanged) changes.push_back(b);
      if (step.maxTimeReached && maxTimeAt < 0) maxTimeAt = LSoundTime::FramesToMs(sink.sPosition, 8000);
    }
    return changes;
  }
  MemorySink sink{8000, 1};
  LVoiceActivation voice;
  int maxTimeAt = -1;
};

}  // namespace

TEST(VoiceActivation, ThresholdsHoldCutBackTrailingCutPreRollAndMaxTime) {
  // Quiet marker, then -18 (starts), -22 (keeps), then -23 for ever (quiet).
  Script script = [](int b, int f, int) -> int16_t {
    if (b < 5) return 3;
    if (b < 10) return Alternate(1024, f);
    if (b < 20) return Alternate(625, f);
    return Alternate(562, f);
  };
  VoiceRun run(-18);
  // Pre-roll (half of buffer 4) + buffers 5..19 were loud: 1550 ms. The
  // quiet stretch was cut back to 450 ms after that once it passed 4 s.
  EXPECT_EQ(run.Feed(script, 0, 80), (std::vector<int>{5, 60}));
  EXPECT_EQ(run.sink.seeks.back(), (1550 + 450) * 8);
  EXPECT_EQ(run.voice.GetState(), LVoiceActivation::WAITING);
  run.voice.Finish(run.sink);
  EXPECT_EQ(run.voice.GetState(), LVoiceActivation::kIdle);
  ASSERT_EQ(run.sink.samples.size(), size_t(1550 + 50) * 8);
  EXPECT_EQ(run.sink.samples[0], 3 * 16);                 // pre-roll
  EXPECT_EQ(std::abs(run.sink.samples[400]), 1024 * 16);  // the voice
  EXPECT_EQ(std::abs(run.sink.samples[12399]), 625 * 16);
  EXPECT_EQ(std::abs(run.sink.samples[12400]), 562 * 16);  // the 50 ms kept

  // No pre-roll for voice in the second half of a buffer; the lowest start
  // level records from the first buffer.
  VoiceRun late(-18);
  late.Feed(
      [](int b, int f, int) -> int16_t {
        if (b < 3) return int16_t(f < 400 ? 2 : 3);
        if (b == 3 && f < 400) return 5;
        return Alternate(4000, f);
      },
      0, 5);
  ASSERT_GE(late.sink.samples.size(), 800u);
  EXPECT_EQ(late.sink.samples[0], 5 * 16);
  EXPECT_EQ(std::abs(late.sink.samples[400]), 4000 * 16);
  VoiceRun lowest(-127, 5000);
  EXPECT_EQ(lowest.Feed([](int, int, int) -> int16_t { return 0; }, 0, 60), std::vector<int>{0});
  EXPECT_EQ(lowest.maxTimeAt, 5100);
}

// Restart starts over empty; the maximum time stops the recording by itself.
TEST_F(RecorderFixture, RecordAtOnceRestartAndMaxTime) {
  FeedScript(kVoice);
  EXPECT_FALSE(recorder.Restart());
  ASSERT_TRUE(Start(100, 0, LSoundRecorder::kRecordAtOnce));  // no voice could start it
  EXPECT_EQ(log.events.front().what, "record");
  ASSERT_TRUE(WaitFor([&] { return log.levels >= 3; }));
  ASSERT_TRUE(recorder.Restart());
  EXPECT_EQ(log.events.back().what, "wait");
  EXPECT_EQ(log.lastTime, 0);
  EXPECT_EQ(recorder.GetState(), LSoundRecorder::WAITING);
  EXPECT_EQ(sink->seeks.back(), 0);
  recorder.Stop();
  EXPECT_EQ(sink->sPosition, 0);  // waited for voice that never came
  FeedScript(kVoice, 10.0);
  ASSERT_TRUE(Start(-18, 5000));
  ASSERT_TRUE(WaitFor([&] { return log.Count("stop") == 2; }, 20000));
  int ms = LSoundTime::FramesToMs(sink->sPosition, 8000);
  EXPECT_GT(ms, 5000);
  EXPECT_LT(ms, 5600);
}

TEST_F(RecorderFixture, StereoLevelUsesTheLouderChannelAndDestructionStops) {
  FeedScript([](int, int f, int c) -> int16_t { return c == 1 ? Alternate(1100, f) : 10; });
  {
    LSoundRecorder other;
    other.SetNotify(&log, 0);
    ASSERT_TRUE(other.Start(LSoundSinkRef(new MemorySink(8000, 2)), 0, -18, 4000));
    ASSERT_TRUE(WaitFor([&] { return log.Count("record") == 1 && log.levels > 0; }));
    EXPECT_EQ(log.lastLevel.channels, 2);
    EXPECT_EQ(log.lastLevel.level[0], LVoiceActivation::PeakLevel(160));
    EXPECT_EQ(log.lastLevel.level[1], LVoiceActivation::PeakLevel(1100 * 16));
    EXPECT_EQ(LVirtualAudio::LastInputFormat().channels, 2);
  }
  EXPECT_EQ(log.events.back().what, "stop");
  EXPECT_EQ(LVirtualAudio::OpenInputs(), 0);
}

// Unusable sinks and devices fail at once and silently. A device that opens
// slowly and then fails: Start or Restart has already reported success, so
// the end must still reach the owner.
TEST_F(RecorderFixture, FailuresAtOnceReturnFalseAndLaterOnesArriveAsStop) {
  FeedScript(kVoice);
  EXPECT_FALSE(recorder.Start(LSoundSinkRef(), 0, -18, 4000));
  EXPECT_FALSE(recorder.Start(LSoundSinkRef(new MemorySink(8000, 0)), 0, -18, 4000));  // no channels: unusable
  SetOpen(true, 0);
  EXPECT_FALSE(Start());
  EXPECT_EQ(sink->refCount, 1);  // released again
  EXPECT_EQ(recorder.GetState(), LSoundRecorder::kIdle);
  recorder.Stop();
  Pump(50);
  EXPECT_TRUE(log.events.empty());  // no start, no stop
  for (bool restart : {false, true}) {
    SCOPED_TRACE(restart);
    log.events.clear();
    SetOpen(false, 0);
    ASSERT_TRUE(!restart || Start());
    // Two open attempts (exact, then mapped), each longer than half the wait.
    SetOpen(true, restart ? 500 : 1000);
    ASSERT_TRUE(restart ? recorder.Restart() : Start());
    ASSERT_TRUE(WaitFor([&] { return log.Count("stop") == 1; }, 10000));
    EXPECT_EQ(recorder.GetState(), LSoundRecorder::kIdle);
    EXPECT_EQ(sink->refCount, 1);
    Pump(100);
    EXPECT_EQ(log.Count("stop"), 1);
  }
}

TEST_F(RecorderFixture, StalledInputEndsTheRecordingWithWhatItHolds) {
  FeedScript(kVoice, 1.0);
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitFor([&] { return log.levels >= 3; }));
  LVirtualAudio::SetInputStall(true);
  auto stalled = std::chrono::steady_clock::now();
  ASSERT_TRUE(WaitFor([&] { return log.Count("stop") == 1; }, 10000));
  EXPECT_GE(std::chrono::steady_clock::now() - stalled, std::chrono::milliseconds(1500));
  EXPECT_EQ(recorder.GetState(), LSoundRecorder::kIdle);
  EXPECT_GE(sink->sPosition, 3 * 800);
  EXPECT_EQ(LVirtualAudio::OpenInputs(), 0);
}

// Long pauses between phrases go, the phrases stay, through the recorder's thread.
TEST_F(RecorderFixture, PausesBetweenPhrasesAreCutAndThePhrasesKept) {
  // Three 1.5 s phrases, each followed by 6.5 s of silence.
  FeedScript([](int b, int f, int) { return int16_t(b < 240 && b % 80 >= 10 && b % 80 < 25 ? Alternate(3000, f) : 0); },
             20);
  ASSERT_TRUE(Start());
  // Start, then one return to waiting after each phrase.
  ASSERT_TRUE(WaitFor([&] { return log.Count("wait") == 4; }, 60000)) << log.Count("record");
  recorder.Stop();
  EXPECT_EQ(log.Count("record"), 3);
  // Every loud frame kept, in three stretches between the shortened pauses.
  size_t loud = 0, quiet = 8000;
  int stretches = 0;
  for (int32_t s : sink->samples) {
    loud += s != 0;
    stretches += s != 0 && quiet >= 3200;
    quiet = s != 0 ? 0 : quiet + 1;
  }
  EXPECT_EQ(loud, 3u * 1500 * 8);
  EXPECT_EQ(stretches, 3);
  EXPECT_LE(sink->samples.size(), 6u * 8000);
}

#include "sound/sound_recorder.h"

#include <gtest/gtest.h>

#include <cmath>

#include "sound/files/wave_file.h"
#include "tests/sound/audio_test_util.h"
#include "tests/support/test_support.h"

using namespace audiotest;

namespace {

class RecorderLog : public LSoundRecorderNotify {
 public:
  void srntfRecord(uint32_t) override { events.push_back({"record"}); }
  void srntfWait(uint32_t) override { events.push_back({"wait"}); }
  void srntfStop(uint32_t) override { events.push_back({"stop"}); }
  void srntfTime(int32_t ms, uint32_t) override { lastTime = ms; }
  void srntfLevel(const LLevelRecord& l, uint32_t) override {
    lastLevel = l;
    levels++;
  }
  int Count(const std::string& what) const {
    int n = 0;
    for (const Event& e : events) n += e.what == what;
    return n;
  }
  std::vector<Event> events;
  int lastTime = -1;
  int levels = 0;
  LLevelRecord lastLevel;
};

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

struct RecorderFixture : ::testing::Test {
  void TearDown() override { LVirtualAudio::SetConfig(LVirtualAudioConfig()); }
  std::shared_ptr<MemorySink> NewSink(unsigned channels = 1) {
    return std::shared_ptr<MemorySink>(new MemorySink(8000, channels), [](MemorySink*) {});
  }
};

}  // namespace

TEST(SoundRecorder, PeakLevels) {
  EXPECT_EQ(LVoiceActivation::PeakLevel(16384), -18);
  EXPECT_EQ(LVoiceActivation::PeakLevel(10000), -22);
  EXPECT_EQ(LVoiceActivation::PeakLevel(9000), -23);
  EXPECT_EQ(LVoiceActivation::PeakLevel(131072), 0);
  EXPECT_EQ(LVoiceActivation::PeakLevel(0x7FFF0), 12);
  EXPECT_EQ(LVoiceActivation::PeakLevel(0), -127);
  EXPECT_EQ(LVoiceActivation::PeakLevel(1), -102);
  std::vector<int32_t> stereo = {100, -16384, 200, 5};
  LLevelRecord levels;
  EXPECT_EQ(LVoiceActivation::ComputePeakLevels(stereo.data(), 2, 2, &levels), -18);
  std::vector<int32_t> three = {100, 200, -16384, 50, 0, 9000};  // the third channel is ignored
  EXPECT_EQ(LVoiceActivation::ComputePeakLevels(three.data(), 2, 3, &levels), LVoiceActivation::PeakLevel(200));
  EXPECT_EQ(levels.channels, 3);
  EXPECT_EQ(levels.level[2], -18);
}

TEST_F(RecorderFixture, ThresholdsHoldCutBackAndTrailingCut) {
  // Quiet marker, then -18 (starts), -22 (keeps), then -23 for ever (quiet).
  FeedScript(
      [](int b, int f, int) -> int16_t {
        if (b < 5) return 3;
        if (b < 10) return Alternate(1024, f);
        if (b < 20) return Alternate(625, f);
        return Alternate(562, f);
      },
      20.0);  // state changes come too fast for the window thread at full speed
  MemorySink* sink = new MemorySink(8000, 1);
  LSoundSinkRef ref(sink);
  RecorderLog log;
  LSoundRecorder recorder;
  recorder.SetNotify(&log, 0);
  ASSERT_TRUE(recorder.Start(ref, 0, -18, 4000));
  EXPECT_EQ(recorder.GetState(), LSoundRecorder::WAITING);
  ASSERT_TRUE(PumpUntil([&] { return log.Count("wait") == 2; }));
  EXPECT_EQ(log.Count("record"), 1);
  // Pre-roll (half of buffer 4) + buffers 5..19 were loud: 1550 ms. The
  // quiet stretch was cut back to 450 ms after that.
  ASSERT_FALSE(sink->seeks.empty());
  EXPECT_EQ(sink->seeks.back(), (1550 + 450) * 8);
  recorder.Stop();
  EXPECT_EQ(log.events.back().what, "stop");
  EXPECT_EQ(sink->sPosition, (1550 + 50) * 8);
  ASSERT_EQ(sink->samples.size(), size_t(12800));
  EXPECT_EQ(sink->samples[0], 3 * 16);                 // pre-roll
  EXPECT_EQ(std::abs(sink->samples[400]), 1024 * 16);  // the voice
  EXPECT_EQ(std::abs(sink->samples[12399]), 625 * 16);
  EXPECT_EQ(std::abs(sink->samples[12400]), 562 * 16);  // the 50 ms kept
  EXPECT_EQ(recorder.GetState(), LSoundRecorder::kIdle);
}

TEST_F(RecorderFixture, PreRollOnlyForVoiceInTheFirstHalf) {
  for (bool firstHalf : {true, false}) {
    FeedScript([firstHalf](int b, int f, int) -> int16_t {
      if (b < 3) return int16_t(f < 400 ? 2 : 3);
      if (b == 3 && !firstHalf && f < 400) return 5;
      return Alternate(4000, f);
    });
    MemorySink* sink = new MemorySink(8000, 1);
    LSoundSinkRef ref(sink);
    RecorderLog log;
    LSoundRecorder recorder;
    recorder.SetNotify(&log, 0);
    ASSERT_TRUE(recorder.Start(ref, 0, -18, 4000));
    ASSERT_TRUE(PumpUntil([&] { return log.Count("record") == 1; }));
    recorder.Stop();
    ASSERT_GE(sink->samples.size(), 800u);
    if (firstHalf) {
      EXPECT_EQ(sink->samples[0], 3 * 16) << "second half of the previous buffer first";
      EXPECT_EQ(std::abs(sink->samples[400]), 4000 * 16);
    } else {
      EXPECT_EQ(sink->samples[0], 5 * 16) << "no pre-roll";
      EXPECT_EQ(std::abs(sink->samples[400]), 4000 * 16);
    }
  }
}

TEST_F(RecorderFixture, LowestStartLevelRecordsFromTheFirstBuffer) {
  FeedScript([](int, int, int) -> int16_t { return 0; });
  MemorySink* sink = new MemorySink(8000, 1);
  LSoundSinkRef ref(sink);
  RecorderLog log;
  LSoundRecorder recorder;
  recorder.SetNotify(&log, 0);
  ASSERT_TRUE(recorder.Start(ref, 0, -127, 4000));
  ASSERT_TRUE(PumpUntil([&] { return log.Count("record") == 1; }));
  recorder.Stop();
  EXPECT_GE(sink->sPosition, 800);
}

TEST_F(RecorderFixture, MaxTimeStopsByItself) {
  FeedScript([](int, int f, int) { return Alternate(3000, f); }, 10.0);
  MemorySink* sink = new MemorySink(8000, 1);
  LSoundSinkRef ref(sink);
  RecorderLog log;
  LSoundRecorder recorder;
  recorder.SetNotify(&log, 0);
  ASSERT_TRUE(recorder.Start(ref, 5000, -18, 4000));
  ASSERT_TRUE(PumpUntil([&] { return log.Count("stop") == 1; }, 20000));
  EXPECT_EQ(recorder.GetState(), LSoundRecorder::kIdle);
  int ms = LSoundTime::FramesToMs(sink->sPosition, 8000);
  EXPECT_GT(ms, 5000);
  EXPECT_LT(ms, 5600);
  EXPECT_GT(log.levels, 0);
}

TEST_F(RecorderFixture, RecordAtOnceAndRestartStartsOverEmpty) {
  FeedScript([](int, int f, int) { return Alternate(3000, f); });
  MemorySink* sink = new MemorySink(8000, 1);
  LSoundSinkRef ref(sink);
  RecorderLog log;
  LSoundRecorder recorder;
  recorder.SetNotify(&log, 0);
  EXPECT_FALSE(recorder.Restart());
  ASSERT_TRUE(recorder.Start(ref, 0, 100, 4000, LSoundRecorder::kRecordAtOnce));  // no voice could start it
  EXPECT_EQ(log.events.front().what, "record");
  ASSERT_TRUE(PumpUntil([&] { return log.levels >= 3; }));
  ASSERT_TRUE(recorder.Restart());
  EXPECT_EQ(log.events.back().what, "wait");
  EXPECT_EQ(log.lastTime, 0);
  EXPECT_EQ(recorder.GetState(), LSoundRecorder::WAITING);
  EXPECT_EQ(sink->seeks.back(), 0);
  recorder.Stop();
  EXPECT_EQ(sink->sPosition, 0);  // waited for voice that never came
}

TEST_F(RecorderFixture, StereoLevelUsesTheLouderChannel) {
  FeedScript([](int, int f, int c) -> int16_t { return c == 1 ? Alternate(1100, f) : 10; });
  MemorySink* sink = new MemorySink(8000, 2);
  LSoundSinkRef ref(sink);
  RecorderLog log;
  LSoundRecorder recorder;
  recorder.SetNotify(&log, 0);
  ASSERT_TRUE(recorder.Start(ref, 0, -18, 4000));
  ASSERT_TRUE(PumpUntil([&] { return log.Count("record") == 1 && log.levels > 0; }));
  EXPECT_EQ(log.lastLevel.channels, 2);
  EXPECT_EQ(log.lastLevel.level[0], LVoiceActivation::PeakLevel(160));
  EXPECT_EQ(log.lastLevel.level[1], LVoiceActivation::PeakLevel(1100 * 16));
  EXPECT_EQ(LVirtualAudio::LastInputFormat().channels, 2);
  recorder.Stop();
}

TEST_F(RecorderFixture, FailuresReturnFalse) {
  FeedScript([](int, int, int) -> int16_t { return 0; });
  RecorderLog log;
  LSoundRecorder recorder;
  recorder.SetNotify(&log, 0);
  EXPECT_FALSE(recorder.Start(LSoundSinkRef(), 0, -18, 4000));
  MemorySink* broken = new MemorySink(8000, 0);  // no channels: unusable
  EXPECT_FALSE(recorder.Start(LSoundSinkRef(broken), 0, -18, 4000));
  EXPECT_TRUE(log.events.empty());
  LVirtualAudioConfig config = LVirtualAudio::GetConfig();
  config.failOpen = true;
  LVirtualAudio::SetConfig(config);
  MemorySink* sink = new MemorySink(8000, 1);
  LSoundSinkRef ref(sink);
  EXPECT_FALSE(recorder.Start(ref, 0, -18, 4000));
  EXPECT_EQ(sink->refCount, 1);  // released again
  EXPECT_EQ(recorder.GetState(), LSoundRecorder::kIdle);
  EXPECT_TRUE(log.events.empty());
  recorder.Stop();
  EXPECT_TRUE(log.events.empty());
}

TEST_F(RecorderFixture, DestructionStopsAndNotifies) {
  FeedScript([](int, int f, int) { return Alternate(3000, f); });
  RecorderLog log;
  {
    LSoundRecorder recorder;
    recorder.SetNotify(&log, 0);
    ASSERT_TRUE(recorder.Start(LSoundSinkRef(new MemorySink(8000, 1)), 0, -18, 4000));
  }
  EXPECT_EQ(log.events.back().what, "stop");
  EXPECT_EQ(LVirtualAudio::OpenInputs(), 0);
}

// Real speech with long pauses: the pauses go, the phrases stay.
TEST_F(RecorderFixture, VoiceActivationOnSpokenPhrases) {
  REQUIRE_COMMAND("espeak-ng");
  testsupport::TempFolder folder;
  const char* phrases[] = {"good morning", "where is the station", "thank you very much"};
  std::vector<int16_t> input;
  int rate = 0, channels = 0;
  size_t voiced = 0;
  for (int p = 0; p < 3; ++p) {
    std::string file = folder.File("p" + std::to_string(p) + ".wav");
    ASSERT_EQ(testsupport::RunCommand("espeak-ng -w '" + file + "' '" + phrases[p] + "'"), 0);
    std::vector<int16_t> speech;
    ASSERT_TRUE(testsupport::ReadWav16(file, &rate, &channels, &speech));
    ASSERT_EQ(channels, 1);
    for (int16_t s : speech) voiced += std::abs(int(s)) > 300;
    input.insert(input.end(), speech.begin(), speech.end());
    input.insert(input.end(), size_t(rate * (p < 2 ? 6 : 5)), int16_t(0));
  }
  ASSERT_TRUE(testsupport::WriteWav16(folder.File("mic.wav"), rate, 1, input));
  LVirtualAudioConfig config;
  config.speed = 20;  // fast, yet slow enough for every state change to reach the window thread
  config.inputFile = folder.File("mic.wav");
  LVirtualAudio::SetConfig(config);

  RecorderLog log;
  {
    LSoundSinkRef sink = LWaveFile::OpenSinkPCM(folder.File("rec.wav"), uint32_t(rate), 1, 16, 0);
    ASSERT_TRUE(sink.IsUsable());
    LSoundRecorder recorder;
    recorder.SetNotify(&log, 0);
    ASSERT_TRUE(recorder.Start(sink, 14400000, -18, 4000));
    // Start, then one return to waiting after each phrase.
    ASSERT_TRUE(PumpUntil([&] { return log.Count("wait") == 4; }, 60000)) << [&] {
      std::string t;
      for (const Event& e : log.events) t += e.what + " ";
      return t;
    }();
    recorder.Stop();
  }
  EXPECT_EQ(log.Count("record"), 3);
  std::vector<int16_t> recording;
  int recRate = 0, recChannels = 0;
  ASSERT_TRUE(testsupport::ReadWav16(folder.File("rec.wav"), &recRate, &recChannels, &recording));
  EXPECT_EQ(recRate, rate);
  EXPECT_LE(recording.size() + size_t(rate) * 10, input.size());
  size_t kept = 0;
  for (int16_t s : recording) kept += std::abs(int(s)) > 300;
  EXPECT_GE(kept, voiced * 98 / 100);
  // Three stretches of speech separated by the shortened pauses.
  int stretches = 0;
  size_t quiet = size_t(rate);
  for (int16_t s : recording) {
    if (std::abs(int(s)) > 300) {
      if (quiet >= size_t(rate) * 4 / 10) stretches++;
      quiet = 0;
    } else {
      quiet++;
    }
  }
  EXPECT_EQ(stretches, 3);
}

#include "sound/sound_player.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <thread>

#include "sound/processors.h"
#include "tests/sound/audio_test_util.h"

using namespace audiotest;

namespace {

// What RampSource plays from frame from to frame to.
std::vector<int16_t> Ramp16(int from, int to) {
  std::vector<int16_t> v;
  for (int i = from; i < to; ++i) v.push_back(int16_t(i % 30000));
  return v;
}

// A player on the virtual output at full speed (tests slow it where timing matters).
struct PlayerFixture : ::testing::Test {
  PlayerFixture() { player.SetNotify(&log, 0); }
  bool PlayToEnd() {
    return WaitFor([&] { return log.Count("stop") == 1; });
  }

  VirtualAudioScope audio{0};
  PlayerLog log;
  LSoundPlayer player;
};

int NiceOfThisThread() { return getpriority(PRIO_PROCESS, id_t(gettid())); }

}  // namespace

TEST_F(PlayerFixture, QuarterSecondAt8000HzPlaysThreeBuffersAndReportsEach) {
  LVirtualAudio::SetSpeed(1.0);  // real time, so every buffer's report arrives on its own
  ASSERT_TRUE(player.Start(RampSource(8000, 2000)));
  ASSERT_TRUE(PlayToEnd());
  EXPECT_EQ(LVirtualAudio::WrittenBufferFrames(), (std::vector<int>{800, 800, 400}));
  // Each finished buffer reports its end, the last one just before the stop;
  // reports that pile up while the window thread is busy arrive as the latest one.
  std::vector<int> times = log.Times();
  EXPECT_EQ(times.front(), 0);
  for (int t : times) EXPECT_TRUE(t == 0 || t == 100 || t == 200 || t == 250) << t;
  EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
  ASSERT_GE(log.events.size(), 2u);
  EXPECT_EQ(log.events[log.events.size() - 2].value, 250);
  EXPECT_EQ(log.events.back().what, "stop");
  EXPECT_EQ(LVirtualAudio::CapturedOutput(), Ramp16(0, 2000));
  EXPECT_EQ(LVirtualAudio::OpenOutputs(), 0);
}

// Buffers stay within their limits at extreme rates; a prefill start restarts
// once the queue is full. The peak limiter comes in only above full scale.
TEST_F(PlayerFixture, PlaysEveryFrameInBuffersWithinLimitsAndLimitsOnlyAboveFullScale) {
  struct {
    int rate, frames, mode, firstBuffer;
  } cases[] = {{5, 20000, 0, 20}, {196000, 20000, 0, 8192}, {8000, 8000, LSoundPlayer::kStartPrefill, 800}};
  auto loud = [](int f, int) { return (f % 2) ? 0x100000 : -0x100000; };
  LSoundSourceRef exact = Generated(8000, 1, 8000, loud, 0x7FFF0);
  ASSERT_TRUE(player.Start(exact));
  EXPECT_EQ(player.Source().Get(), exact.Get());
  player.Stop();
  LVirtualAudio::ClearCapture();
  log.events.clear();
  ASSERT_TRUE(player.Start(Generated(8000, 1, 8000, loud, 0x7FFF1)));
  EXPECT_NE(dynamic_cast<LSRCPeakLimit*>(player.Source().Get()), nullptr);
  ASSERT_TRUE(PlayToEnd());
  // Limited output never wraps around.
  std::vector<int16_t> out = LVirtualAudio::CapturedOutput();
  ASSERT_EQ(out.size(), 8000u);
  for (size_t i = 100; i < out.size(); ++i) ASSERT_EQ(out[i] > 0, (i % 2) == 1) << i;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rate);
    LVirtualAudio::ClearCapture();
    log.events.clear();
    ASSERT_TRUE(player.Start(RampSource(c.rate, c.frames), c.mode));
    EXPECT_EQ(log.events.front().what, "play");
    ASSERT_TRUE(PlayToEnd());
    EXPECT_EQ(LVirtualAudio::WrittenBufferFrames().at(0), c.firstBuffer);
    EXPECT_EQ(LVirtualAudio::CapturedOutput(), Ramp16(0, c.frames));
  }
}

// Calls to an idle player are silent; a failed start leaves it idle, a
// destroyed one stops.
TEST_F(PlayerFixture, StartFailuresAndIdleCallsAreSilentAndDestructionStops) {
  EXPECT_FALSE(player.Start(LSoundSourceRef::Null(kSoundCannotOpen)));
  audio.Change([](LVirtualAudioConfig& c) { c.failOpen = true; });
  EXPECT_FALSE(player.Start(RampSource(8000, 100)));
  EXPECT_FALSE(player.IsOpen());
  EXPECT_TRUE(player.Source()->error != kSoundOk);  // released again
  // A device that wants the "mapped" open still plays.
  audio.Change([](LVirtualAudioConfig& c) { c.failOpen = false, c.rejectUnmapped = true; });
  {
    LSoundPlayer other;
    other.SetNotify(&log, 3);
    other.Stop();
    other.Pause();
    other.Play();
    other.Seek(10);
    other.Cue();
    player.Stop();
    EXPECT_TRUE(log.events.empty());
    ASSERT_TRUE(other.Start(RampSource(8000, 80000), LSoundPlayer::kStartPaused));
  }
  EXPECT_EQ(log.events.back().what, "stop");
  EXPECT_EQ(LVirtualAudio::OpenOutputs(), 0);
}

// A seek while paused stays paused and reports at once; a cue loops the
// 25 ms snippet there and Play goes on from its end without a gap. Pause twice
// notifies once, Play always. Seek and Cue run on the window thread: the
// worker's priority changes, not the caller's (nor that of threads it starts).
TEST_F(PlayerFixture, PauseSeekAndCueLoopFromTheWindowThread) {
  LThread::SetCurrentThreadPriority(kThreadPriorityNormal);
  const int nice = NiceOfThisThread();
  LVirtualAudio::SetSpeed(1.0);
  ASSERT_TRUE(player.Start(RampSource(8000, 80000), LSoundPlayer::kStartPaused));
  EXPECT_EQ(log.events.front().what, "pause");
  auto seekWhilePaused = [&](int frame) {
    player.Seek(frame);
    ASSERT_EQ(log.events.back().what, "time");
    EXPECT_EQ(log.events.back().value, frame / 8);
    const size_t heard = LVirtualAudio::CapturedOutput().size();
    Pump(200);
    EXPECT_TRUE(player.IsPaused());
    EXPECT_TRUE(LVirtualAudio::OutputPaused());
    EXPECT_EQ(LVirtualAudio::CapturedOutput().size(), heard);
    LVirtualAudio::ClearCapture();
  };
  seekWhilePaused(16000);
  player.Cue();
  EXPECT_EQ(log.Count("cue"), 1);
  // Take-off is brief: the worker may already have cleared it.
  EXPECT_EQ(player.GetFlags() & ~LSoundPlayer::kTakeOff, LSoundPlayer::kOpen | LSoundPlayer::kCueLoop);
  Pump(250);  // a few passes of the snippet
  player.Play();
  std::vector<int16_t> out;
  size_t i = 0;
  ASSERT_TRUE(WaitFor([&] {  // whole passes, then a good stretch of what follows
    out = LVirtualAudio::CapturedOutput();
    for (i = 0; i < out.size() && out[i] == int16_t(16000 + i % 200);) ++i;
    return out.size() >= i + 1000;
  }));
  ASSERT_GE(i, 400u);
  EXPECT_EQ(i % 200, 0u);
  EXPECT_EQ(std::vector<int16_t>(out.begin() + long(i), out.end()), Ramp16(16200, 16200 + int(out.size() - i)));
  player.Play();  // not paused: still reported
  EXPECT_EQ(log.Count("play"), 2);
  player.Pause();
  player.Pause();
  EXPECT_EQ(log.Count("pause"), 2);
  seekWhilePaused(72000);
  player.Play();
  EXPECT_FALSE(player.IsPaused());
  EXPECT_FALSE(LVirtualAudio::OutputPaused());
  EXPECT_EQ(LThread::GetCurrentThreadPriority(), kThreadPriorityNormal);
  EXPECT_EQ(NiceOfThisThread(), nice);
  int childNice = -100;
  std::thread([&] { childNice = NiceOfThisThread(); }).join();
  EXPECT_EQ(childNice, nice);
  LThread::SetCurrentThreadPriority(kThreadPriorityNormal);
  ASSERT_TRUE(PlayToEnd());
  EXPECT_EQ(LVirtualAudio::CapturedOutput(), Ramp16(72000, 80000));
}

// The watchdog stops a player whose device keeps its buffers. A paused
// device keeps its buffers as long as the pause lasts, and a cue loop goes on
// as long as it is wanted: the watchdog must end neither.
TEST_F(PlayerFixture, WatchdogStopsAStalledDeviceButNoPauseOrCueLoop) {
  LVirtualAudio::SetStall(true, true);  // wakes the worker, never returns a buffer
  ASSERT_TRUE(player.Start(RampSource(8000, 800000)));
  ASSERT_TRUE(PlayToEnd());  // long before the 100 s of material could end
  EXPECT_EQ(LVirtualAudio::WrittenBufferFrames().size(), 64u);
  for (bool cue : {false, true}) {
    SCOPED_TRACE(cue);
    LVirtualAudio::ClearCapture();
    log.events.clear();
    ASSERT_TRUE(player.Start(RampSource(8000, 4000), LSoundPlayer::kStartPaused));
    if (cue) {
      player.Cue();
      player.Seek(2000);  // in the loop: the snippet there instead
    }
    LVirtualAudio::SetStall(true, true);  // wakes the worker every few ms: a long pause in a short time
    Pump(600);
    EXPECT_EQ(log.Count("stop"), 0);
    LVirtualAudio::SetStall(false, false);
    player.Play();
    ASSERT_TRUE(PlayToEnd());
    if (!cue) {
      EXPECT_EQ(LVirtualAudio::CapturedOutput(), Ramp16(0, 4000));
    }
  }
}

TEST(SoundPlayer, RmsLevelsFollowTheMeanSquare) {
  LLevelRecord levels;
  std::vector<int32_t> square(800 * 2, 0);  // channel 1 silent
  for (size_t i = 0; i < square.size(); i += 2) square[i] = (i / 2) % 2 ? 0x7FFF0 : -0x7FFF0;
  LSoundPlayer::ComputeRmsLevels(square.data(), 800, 2, &levels);
  EXPECT_EQ(levels.channels, 2);
  EXPECT_EQ(levels.level[0], 15);  // 10 log10(16383^2 / 8388626) = 15.05
  EXPECT_EQ(levels.level[1], -127);
  // Out-of-range material does not wrap into a quiet level.
  std::vector<int32_t> huge(100, 0x7FFFFFFF);
  LSoundPlayer::ComputeRmsLevels(huge.data(), 100, 1, &levels);
  EXPECT_GT(levels.level[0], 80);
}

TEST(PlayResourceSound, CueSoundPlaysItsSamples) {
  VirtualAudioScope audio(0);
  EXPECT_FALSE(LPlayResourceSound(2));
  ASSERT_TRUE(LPlayResourceSound(1));
  ASSERT_TRUE(WaitFor([] { return LVirtualAudio::OpenOutputs() == 0; }));
  EXPECT_EQ(LVirtualAudio::CapturedOutput(), LCueSoundSamples());
  EXPECT_EQ(LVirtualAudio::LastOutputFormat().sampleRate, 8000u);
  audio.Change([](LVirtualAudioConfig& c) { c.failOpen = true; });
  EXPECT_FALSE(LPlayResourceSound(1));
}

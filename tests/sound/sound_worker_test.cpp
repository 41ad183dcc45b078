#include "sound/sound_worker.h"

#include <gtest/gtest.h>

#include <atomic>

#include "framework/settings.h"
#include "sound/audio_backend_setting.h"
#include "tests/sound/audio_test_util.h"
#include "tests/support/test_support.h"

namespace {

class Worker : public LSoundWorker, public LSoundNotifyPost {
 public:
  ~Worker() override { StopThreadTimed(5000); }
  LSoundEvent work;
  std::atomic<int> wakes{0}, runs{0};
  int notified = 0;
  std::thread::id notifiedOn;

 protected:
  void ThreadFunction() override {
    runs++;
    while (!IsToStop()) {
      if (WaitSignalDual(work, 10000) && work.IsSet()) {
        work.Reset();
        wakes++;
        Post();
        Post();
        Post();
      }
    }
  }
  void EvNotify() override {
    notified++;
    notifiedOn = std::this_thread::get_id();
  }
};

}  // namespace

TEST(SoundWorker, EventWakesTheWorkerAndPostsReachTheWindowThread) {
  Worker worker;
  worker.Start(-1);
  worker.Start(0);  // already running: nothing changes
  worker.work.Set();
  ASSERT_TRUE(audiotest::PumpUntil([&] { return worker.notified == 3; }));
  EXPECT_EQ(worker.wakes.load(), 1);
  EXPECT_EQ(worker.notifiedOn, std::this_thread::get_id());
  worker.StopThreadTimed(5000);  // the stop signal ends a 10 s wait at once
  EXPECT_EQ(worker.runs.load(), 1);
  worker.Start(0);  // a fresh run after a stop sees no stale stop signal
  worker.work.Set();
  ASSERT_TRUE(audiotest::PumpUntil([&] { return worker.wakes == 2; }));
  EXPECT_EQ(worker.runs.load(), 2);
}

TEST(SoundWorker, WaitTimesOutWithoutASignal) {
  LSoundEvent a, b;
  EXPECT_FALSE(a.WaitSignalDual(b, 20));
  b.Set();
  EXPECT_TRUE(a.WaitSignalDual(b, 10000));
  b.Reset();
  a.Set();
  EXPECT_TRUE(a.WaitSignalDual(a, 10000));
}

TEST(SoundWorker, PostsAfterDestructionAreDropped) {
  auto* worker = new Worker;
  worker->Post();
  delete worker;
  audiotest::PumpFor(50);  // nothing runs on a dead object
}

TEST(AudioBackendSetting, TheSettingPicksTheDevicesUnlessTheEnvironmentDoes) {
  {
    testsupport::ScopedEnv audio("ORATIVO_AUDIO", nullptr);
    RegSetSetting("Settings", "AudioBackend", "virtual");
    LSoundApplyAudioBackendSetting();
    EXPECT_TRUE(LAudioIsVirtual());
    RegSetSetting("Settings", "AudioBackend", "pulse");
    LSoundApplyAudioBackendSetting();
    EXPECT_FALSE(LAudioIsVirtual());
    RegSetSetting("Settings", "AudioBackend", "virtual");
    LSoundApplyAudioBackendSetting();
  }
  testsupport::ScopedEnv audio("ORATIVO_AUDIO", "virtual");
  RegSetSetting("Settings", "AudioBackend", "pulse");
  LSoundApplyAudioBackendSetting();
  EXPECT_TRUE(LAudioIsVirtual());
}

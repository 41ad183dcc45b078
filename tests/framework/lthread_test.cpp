#include "framework/lthread.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <atomic>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

#include "platform/debug_log.h"
#include "tests/support/test_support.h"

namespace {

// A worker whose body is given by the test.
class TestThread : public LThread {
 public:
  std::function<void(TestThread&)> body;
  std::atomic<int> bodies{0};
  ~TestThread() override { StopThreadTimed(kThreadStopTimeoutMs); }
  bool ToStop() const { return IsToStop(); }

 protected:
  void ThreadFunction() override {
    ++bodies;
    if (body) body(*this);
  }
};

// Waits (without a time limit of interest) until condition holds, pumping events.
void SpinUntil(const std::function<bool()>& condition) {
  while (!condition()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::yield();
  }
}

TEST(LThread, StartWhileRunningCreatesNoSecondThread) {
  TestThread thread;
  LSignalObject release;
  thread.body = [&](TestThread& self) {
    PlatformEvent never;
    while (!self.ToStop() && !release.Test()) release.WaitSignalDual(never, -1);
  };
  thread.Start(kThreadPriorityNormal);
  SpinUntil([&] { return thread.bodies.load() == 1; });
  thread.Start(kThreadPriorityNormal);
  EXPECT_TRUE(thread.IsRunning());
  release.Set();
  thread.StopThreadTimed(kThreadStopTimeoutMs);
  EXPECT_EQ(thread.bodies.load(), 1);
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_FALSE(thread.HasThread());
}

TEST(LThread, StartAfterTheBodyReturnedRunsAFreshBody) {
  TestThread thread;
  thread.body = [&](TestThread& self) { EXPECT_FALSE(self.ToStop()) << "body " << thread.bodies.load(); };
  thread.Start(kThreadPriorityBelowNormal);
  SpinUntil([&] { return !thread.IsRunning(); });
  EXPECT_TRUE(thread.HasThread());  // finished but not yet reaped

  thread.StopSignal().Set();  // a stale stop must not reach the next body
  thread.Start(kThreadPriorityLowest);
  SpinUntil([&] { return thread.bodies.load() == 2 && !thread.IsRunning(); });
}

// A worker that misses the time-out is never abandoned: the stop logs the
// time-out and returns only once the body has really finished.
TEST(LThread, StopWaitsForAWorkerThatIgnoresTheStop) {
  TestThread thread;
  LSignalObject release;
  std::atomic<bool> bodyDone{false};
  thread.body = [&](TestThread&) {
    PlatformEvent never;
    release.WaitSignalDual(never, -1);
    bodyDone = true;
  };
  thread.Start(kThreadPriorityNormal);
  SpinUntil([&] { return thread.bodies.load() == 1; });

  LDebugLogCapture capture;
  std::thread releaser([&] {
    while (!capture.Contains("LThread::StopThreadTimed TimeOut ERROR")) std::this_thread::yield();
    release.Set();
  });
  thread.StopThreadTimed(20);
  releaser.join();
  EXPECT_TRUE(bodyDone.load());
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_FALSE(thread.HasThread());
}

TEST(LSignalObject, ManualResetAndTimeOut) {
  LSignalObject signal;
  PlatformEvent other;
  EXPECT_FALSE(signal.Test());
  EXPECT_FALSE(signal.WaitSignalDual(other, 5));
  signal.Set();
  EXPECT_TRUE(signal.WaitSignalDual(other, 0));
  EXPECT_TRUE(signal.Test());  // stays set for every waiter
  signal.Reset();
  EXPECT_FALSE(signal.Test());
  other.Set();
  EXPECT_TRUE(signal.WaitSignalDual(other, 0));
  EXPECT_FALSE(signal.WaitSignalDual(signal, 0));  // the same event twice is one event
}

// Many waiters and setters at once: every wait ends, none is lost.
TEST(LSignalObject, NoWakeUpIsLost) {
  for (int round = 0; round < 200; ++round) {
    LSignalObject a;
    PlatformEvent b;
    std::vector<std::thread> waiters;
    std::atomic<int> woken{0};
    for (int i = 0; i < 4; ++i)
      waiters.emplace_back([&] {
        if (a.WaitSignalDual(b, -1)) ++woken;
      });
    (round % 2 ? static_cast<PlatformEvent&>(a) : b).Set();
    for (auto& waiter : waiters) waiter.join();
    EXPECT_EQ(woken.load(), 4);
  }
}

class CountingNotify : public LThreadQueuedNotify {
 public:
  std::atomic<int> calls{0};
  std::function<void()> onNotify;

 protected:
  void EvNotify() override {
    EXPECT_EQ(std::this_thread::get_id(), constructedOn_) << "notified on another thread";
    ++calls;
    if (onNotify) onNotify();
  }
  const std::thread::id constructedOn_ = std::this_thread::get_id();
};

TEST(LThreadQueuedNotify, EveryPostArrivesOnTheConstructingThread) {
  CountingNotify notify;
  constexpr int kPosts = 1000;
  std::thread worker([&] {
    for (int i = 0; i < kPosts; ++i) notify.PostNotify();
  });
  worker.join();  // the window thread is busy: nothing is delivered yet
  EXPECT_EQ(notify.calls.load(), 0);
  SpinUntil([&] { return notify.calls.load() >= kPosts; });
  QCoreApplication::processEvents();
  EXPECT_EQ(notify.calls.load(), kPosts);
}

TEST(LThreadQueuedNotify, PostsFromTheWindowThreadAreQueuedToo) {
  CountingNotify notify;
  notify.onNotify = [&] {
    if (notify.calls.load() < 3) notify.PostNotify();  // no recursion: each post is a later call
  };
  notify.PostNotify();
  EXPECT_EQ(notify.calls.load(), 0);
  SpinUntil([&] { return notify.calls.load() == 3; });
}

TEST(LThreadQueuedNotify, DestructionRacingAWorkerIsSafe) {
  for (int round = 0; round < 50; ++round) {
    auto notify = std::make_unique<CountingNotify>();
    LThreadQueuedNotify::Poster poster = notify->GetPoster();
    std::atomic<bool> stop{false};
    std::thread worker([&] {
      while (!stop) poster.Post();
    });
    QCoreApplication::processEvents();
    notify.reset();
    stop = true;
    worker.join();
    QCoreApplication::processEvents();
  }
}

// Process runner --------------------------------------------------------------

// Runs children; Command() is one that writes its pid to a file and then
// sleeps, killed at the end.
class ProcessRunner : public ::testing::Test {
 protected:
  std::string Command() {
    testsupport::WriteFileText(temp_.File("sleeper.sh"), "echo $$ > \"$1\"\nexec sleep 60\n");
    return "sh \"" + temp_.File("sleeper.sh") + "\" \"" + temp_.File("pid") + "\"";
  }
  // Waits for the child's pid; true when the child still runs.
  bool ChildRuns() {
    for (std::ifstream in; pid_ == 0; std::this_thread::yield()) {
      in = std::ifstream(temp_.File("pid"));
      in >> pid_;
    }
    return kill(pid_, 0) == 0;
  }
  ~ProcessRunner() override {
    if (pid_ > 0) kill(pid_, SIGKILL);
  }
  testsupport::TempFolder temp_;
  pid_t pid_ = 0;
};

TEST_F(ProcessRunner, FinishedChildGivesTrueUnstartableFalse) {
  EXPECT_FALSE(ProcessRunCommandLineProcess(nullptr, "/no/such/program --flag", 60000));
  EXPECT_FALSE(ProcessRunCommandLineProcess(nullptr, "", 60000));
  std::string marker = temp_.File("ran marker");
  TestThread thread;
  // Command lines quote with double quotes, as on the desktop they come from.
  ASSERT_TRUE(testsupport::WriteFileText(temp_.File("mark.sh"), "echo done > \"$1\"\n"));
  EXPECT_TRUE(ProcessRunCommandLineProcess(&thread, "sh \"" + temp_.File("mark.sh") + "\" \"" + marker + "\"", 60000));
  EXPECT_EQ(testsupport::ReadFileBytes(marker), (std::vector<uint8_t>{'d', 'o', 'n', 'e', '\n'}));
}

TEST_F(ProcessRunner, TimeOutLeavesTheChildRunning) {
  EXPECT_FALSE(ProcessRunCommandLineProcess(nullptr, Command(), 50));
  EXPECT_TRUE(ChildRuns()) << "the time-out leaves the child running";
}

TEST_F(ProcessRunner, StopSignalEndsTheWait) {
  TestThread thread;
  std::atomic<bool> result{true};
  thread.body = [&](TestThread& self) { result = ProcessRunCommandLineProcess(&self, Command(), 600000); };
  thread.Start(kThreadPriorityNormal);
  ASSERT_TRUE(ChildRuns());
  thread.StopThreadTimed(kThreadStopTimeoutMs);
  EXPECT_FALSE(result.load());
  EXPECT_TRUE(ChildRuns()) << "the stop leaves the child running";
}

}  // namespace

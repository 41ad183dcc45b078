#include "framework/lthread.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <atomic>
#include <fstream>
#include <functional>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/debug_log.h"
#include "tests/support/test_support.h"

using testsupport::WaitFor;

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

// A start while the body runs creates no second thread; a start after it
// returned runs a fresh body that no stale stop reaches; a worker that misses
// the stop's time-out is never abandoned: the stop logs the time-out and
// returns only once the body has really finished.
TEST(LThread, StartsOneBodyAtATimeAndStopWaitsForIt) {
  TestThread thread;
  LSignalObject release;
  std::atomic<bool> bodyDone{false};
  auto untilReleased = [&](TestThread& self) {  // a stop alone does not wake it
    PlatformEvent never;
    while (!self.ToStop() && !release.Test()) release.WaitSignalDual(never, -1);
    bodyDone = true;
  };
  thread.body = untilReleased;
  thread.Start(kThreadPriorityNormal);
  ASSERT_TRUE(WaitFor([&] { return thread.bodies.load() == 1; }));
  thread.Start(kThreadPriorityNormal);
  EXPECT_TRUE(thread.IsRunning());
  release.Set();
  thread.StopThreadTimed(kThreadStopTimeoutMs);
  EXPECT_EQ(std::tuple(thread.bodies.load(), thread.IsRunning(), thread.HasThread()), std::tuple(1, false, false));

  thread.body = [&](TestThread& self) { EXPECT_FALSE(self.ToStop()) << "body " << thread.bodies.load(); };
  thread.Start(kThreadPriorityBelowNormal);
  ASSERT_TRUE(WaitFor([&] { return !thread.IsRunning(); }));
  EXPECT_TRUE(thread.HasThread());  // finished but not yet reaped
  thread.StopSignal().Set();        // a stale stop must not reach the next body
  thread.Start(kThreadPriorityLowest);
  ASSERT_TRUE(WaitFor([&] { return thread.bodies.load() == 3 && !thread.IsRunning(); }));

  release.Reset();
  bodyDone = false;
  thread.body = untilReleased;
  thread.Start(kThreadPriorityNormal);
  ASSERT_TRUE(WaitFor([&] { return thread.bodies.load() == 4; }));
  LDebugLogCapture capture;
  std::thread releaser([&] {
    while (!capture.Contains("LThread::StopThreadTimed TimeOut ERROR")) std::this_thread::yield();
    release.Set();
  });
  thread.StopThreadTimed(20);
  releaser.join();
  EXPECT_EQ(std::tuple(bodyDone.load(), thread.IsRunning(), thread.HasThread()), std::tuple(true, false, false));
}

// Manual reset, time-outs, either event waking the wait; with many waiters
// and setters at once every wait ends, none is lost.
TEST(LSignalObject, ManualResetAndNoWakeUpIsLost) {
  LSignalObject signal;
  PlatformEvent other;
  EXPECT_FALSE(signal.WaitSignalDual(other, 5));
  signal.Set();
  EXPECT_TRUE(signal.WaitSignalDual(other, 0) && signal.Test());  // stays set for every waiter
  signal.Reset();
  other.Set();
  EXPECT_TRUE(signal.WaitSignalDual(other, 0));
  EXPECT_FALSE(signal.WaitSignalDual(signal, 0));  // the same event twice is one event, and it is reset

  for (int round = 0; round < 200; ++round) {
    LSignalObject a;
    PlatformEvent b;
    std::vector<std::thread> waiters;
    std::atomic<int> woken{0};
    for (int i = 0; i < 4; ++i) waiters.emplace_back([&] { woken += a.WaitSignalDual(b, -1); });
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

// Every post arrives, on the constructing thread, also those from that thread
// itself (queued, never recursive); destruction racing a worker is safe.
TEST(LThreadQueuedNotify, EveryPostArrivesLaterOnTheConstructingThread) {
  CountingNotify notify;
  constexpr int kPosts = 1000;
  std::thread worker([&] {
    for (int i = 0; i < kPosts; ++i) notify.PostNotify();
  });
  worker.join();  // the window thread is busy: nothing is delivered yet
  EXPECT_EQ(notify.calls.load(), 0);
  ASSERT_TRUE(WaitFor([&] { return notify.calls.load() >= kPosts; }));
  QCoreApplication::processEvents();
  EXPECT_EQ(notify.calls.load(), kPosts);

  notify.onNotify = [&] {
    if (notify.calls.load() < kPosts + 3) notify.PostNotify();  // no recursion: each post is a later call
  };
  notify.PostNotify();
  EXPECT_EQ(notify.calls.load(), kPosts);
  ASSERT_TRUE(WaitFor([&] { return notify.calls.load() == kPosts + 3; }));

  for (int round = 0; round < 50; ++round) {
    auto racing = std::make_unique<CountingNotify>();
    LThreadQueuedNotify::Poster poster = racing->GetPoster();
    std::atomic<bool> stop{false};
    std::thread posting([&] {
      while (!stop) poster.Post();
    });
    QCoreApplication::processEvents();
    racing.reset();
    stop = true;
    posting.join();
    QCoreApplication::processEvents();
  }
}

// True only for a child that ran and finished (command lines quote with
// double quotes, as on the desktop they come from); a time-out or the
// thread's stop ends the wait and leaves the child running.
TEST(ProcessRunner, FinishedChildGivesTrueTimeOutAndStopLeaveItRunning) {
  testsupport::TempFolder temp;
  EXPECT_FALSE(ProcessRunCommandLineProcess(nullptr, "/no/such/program --flag", 60000) ||
               ProcessRunCommandLineProcess(nullptr, "", 60000));
  ASSERT_TRUE(testsupport::WriteFileText(temp.File("run.sh"), "echo $$ > \"$1\"\nexec sleep \"$2\"\n"));
  auto command = [&](const char* pidFile, int seconds) {
    return "sh \"" + temp.File("run.sh") + "\" \"" + temp.File(pidFile) + "\" " + std::to_string(seconds);
  };
  TestThread thread;
  EXPECT_TRUE(ProcessRunCommandLineProcess(&thread, command("ran marker", 0), 60000));
  EXPECT_FALSE(testsupport::ReadFileBytes(temp.File("ran marker")).empty());

  std::vector<pid_t> children;
  std::shared_ptr<void> endChildren(nullptr, [&](void*) {  // however the test ends
    for (pid_t pid : children) kill(pid, SIGKILL);
  });
  auto runs = [&](const char* pidFile) {  // waits for the child's pid
    pid_t pid = 0;
    for (std::ifstream in; pid == 0; std::this_thread::yield()) {
      in = std::ifstream(temp.File(pidFile));
      in >> pid;
    }
    children.push_back(pid);
    return kill(pid, 0) == 0;
  };
  EXPECT_FALSE(ProcessRunCommandLineProcess(nullptr, command("timed out", 60), 50));
  EXPECT_TRUE(runs("timed out")) << "the time-out leaves the child running";
  std::atomic<bool> result{true};
  thread.body = [&](TestThread& self) { result = ProcessRunCommandLineProcess(&self, command("stopped", 60), 600000); };
  thread.Start(kThreadPriorityNormal);
  ASSERT_TRUE(runs("stopped"));
  thread.StopThreadTimed(kThreadStopTimeoutMs);
  EXPECT_FALSE(result.load());
  EXPECT_TRUE(runs("stopped")) << "the stop leaves the child running";
}

}  // namespace

#pragma once
// Worker threads and the way they wake the window thread.
//
//   LThread              owns one worker thread and its stop signal
//   LSignalObject        the stop signal (manual-reset event) and the waits workers use
//   LThreadQueuedNotify  turns a post from any thread into an EvNotify() call on the
//                        thread that constructed it, through that thread's Qt event loop
//
// Workers never touch windows: they set flags under their owner's lock and post;
// EvNotify reads and clears the flags on the window thread.
#include <pthread.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "platform/signal_event.h"

class QObject;

// Thread priorities, the relative values the callers use.
constexpr int kThreadPriorityLowest = -2;
constexpr int kThreadPriorityBelowNormal = -1;
constexpr int kThreadPriorityNormal = 0;
constexpr int kThreadPriorityAboveNormal = 1;
constexpr int kThreadPriorityHighest = 2;
constexpr int kThreadPriorityTimeCritical = 15;

// Stop time-out used by every owner.
constexpr int kThreadStopTimeoutMs = 5000;

class LSignalObject : public PlatformEvent {
 public:
  void Signal() { Set(); }
  // True when signalled, without waiting.
  bool Test() const { return IsSet(); }
  // Waits until this or other is signalled or timeoutMs passes; true when signalled.
  bool WaitSignalDual(PlatformEvent& other, int timeoutMs) { return WaitAny(*this, other, timeoutMs); }
};

class LThread {
 public:
  LThread();
  // Stops the thread (kThreadStopTimeoutMs). Too late for a derived class whose
  // ThreadFunction uses its own members: such a class stops the thread in its
  // own destructor first.
  virtual ~LThread();
  LThread(const LThread&) = delete;
  LThread& operator=(const LThread&) = delete;

  // Starts the worker; ignored (with a diagnostic) while the body still runs.
  void Start(int priority);
  // Signals stop and waits for the worker. A thread cannot be killed safely
  // here, so a worker that misses the time-out is logged and then waited for
  // without bound: its object is never freed under it. Call from the owner's thread.
  void StopThreadTimed(int timeoutMs);

  bool IsRunning() const { return m_bRunning.load(); }
  bool HasThread() const { return m_bHasThread; }
  LSignalObject& StopSignal() { return m_StopSignal; }
  std::recursive_mutex& Lock() { return m_Lock; }

  // Best effort on this platform (nice values); never fails. The value set
  // last on the calling thread is what GetCurrentThreadPriority returns.
  static void SetCurrentThreadPriority(int priority);
  static int GetCurrentThreadPriority();

 protected:
  // The thread body; runs on the worker thread.
  virtual void ThreadFunction() = 0;
  bool IsToStop() const { return m_StopSignal.Test(); }

  LSignalObject m_StopSignal;
  std::recursive_mutex m_Lock;  // serialises Start; derived classes guard their shared state with it

 private:
  static void* ThreadFunc(void* object);
  void Reap();

  pthread_t m_hThread{};
  bool m_bHasThread = false;  // owner's thread only
  std::atomic<bool> m_bRunning{false};
  std::atomic<pthread_t> m_WorkerId{};
  std::atomic<int> m_WorkerTid{0};
  std::atomic<int> m_Priority{0};
  PlatformEvent m_Ended;  // set by the worker as its very last step
};

class LThreadQueuedNotify {
 public:
  // Binds delivery to the calling thread, which must run a Qt event loop.
  LThreadQueuedNotify();
  // Call on the constructing thread; posts still queued are dropped.
  virtual ~LThreadQueuedNotify();
  LThreadQueuedNotify(const LThreadQueuedNotify&) = delete;
  LThreadQueuedNotify& operator=(const LThreadQueuedNotify&) = delete;

  // Any thread: queues one EvNotify() call; no result is awaited.
  void PostNotify();

  // A copyable handle that may outlive the notifier; its posts after the
  // notifier is gone are lost.
  class Poster {
   public:
    void Post() const;

   private:
    friend class LThreadQueuedNotify;
    struct Channel;
    std::shared_ptr<Channel> channel_;
  };
  Poster GetPoster() const { return poster_; }

 protected:
  // Runs on the constructing thread, once for every post that arrives.
  virtual void EvNotify() = 0;

 private:
  Poster poster_;
};

// Runs commandLine as a child process and waits for it, honouring thread's stop
// signal (thread may be null). True only when the child ended by itself within
// timeoutMs; on time-out or stop the child is left running (and reaped when it ends).
bool ProcessRunCommandLineProcess(LThread* thread, const std::string& commandLine, int timeoutMs);

#pragma once
// The player's and recorder's worker machinery: a worker thread with a stop
// signal and a bounded stop, manual-reset events a worker can wait on
// together with its stop signal, and a post that becomes one EvNotify call
// on the thread that constructed the object (the window thread).
#include <QObject>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

class LSoundEvent {
 public:
  LSoundEvent() = default;
  LSoundEvent(const LSoundEvent&) = delete;
  LSoundEvent& operator=(const LSoundEvent&) = delete;

  void Set();
  void Reset();
  bool IsSet();
  // Waits until this or other is set, at most timeoutMs; true when one is.
  bool WaitSignalDual(LSoundEvent& other, int timeoutMs);

 private:
  struct Waiter {
    std::mutex lock;
    std::condition_variable cv;
    bool fired = false;
  };
  void Attach(Waiter* waiter);
  void Detach(Waiter* waiter);

  std::mutex lock_;
  bool set_ = false;
  std::vector<Waiter*> waiters_;
};

class LSoundWorker {
 public:
  LSoundWorker() = default;
  virtual ~LSoundWorker();
  LSoundWorker(const LSoundWorker&) = delete;
  LSoundWorker& operator=(const LSoundWorker&) = delete;

  // Priorities: -2 lowest, -1 below normal, 0 normal, 2 highest, 15 time
  // critical; applied as far as the system lets an ordinary process.
  void Start(int priority);
  // Signals stop and waits up to timeoutMs; a worker that does not end in
  // time is left to finish on its own.
  void StopThreadTimed(int timeoutMs);

 protected:
  virtual void ThreadFunction() = 0;
  bool IsToStop() { return stopSignal_.IsSet(); }
  bool WaitSignalDual(LSoundEvent& other, int timeoutMs) { return stopSignal_.WaitSignalDual(other, timeoutMs); }
  static void SetThreadPriority(int priority);  // of the calling thread

 private:
  LSoundEvent stopSignal_;
  LSoundEvent finished_;
  std::thread thread_;
  std::atomic<int> startPriority_{0};
};

class LSoundNotifyPost {
 public:
  LSoundNotifyPost();
  virtual ~LSoundNotifyPost();
  LSoundNotifyPost(const LSoundNotifyPost&) = delete;
  LSoundNotifyPost& operator=(const LSoundNotifyPost&) = delete;

  // From any thread: EvNotify runs once, later, on the constructing thread.
  void Post();

 protected:
  virtual void EvNotify() = 0;

 private:
  QObject* receiver_;
};

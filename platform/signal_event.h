#pragma once
// A manual-reset event: once set it stays set until reset, and every waiter
// sees it. One wait can watch two events at once (WaitAny), which is what the
// workers need: their stop signal and a work event such as a device's
// buffer-done event. Lives here, below the framework, so device layers can
// hand out events that the workers wait on.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

class PlatformEvent {
 public:
  PlatformEvent() = default;
  ~PlatformEvent();
  PlatformEvent(const PlatformEvent&) = delete;
  PlatformEvent& operator=(const PlatformEvent&) = delete;

  void Set();
  void Reset();
  bool IsSet() const { return set_.load(std::memory_order_acquire); }
  // Waits until set or timeoutMs passes (negative: no limit); true when set.
  bool Wait(int timeoutMs);
  // Waits until a or b is set or timeoutMs passes (negative: no limit); true when one is set.
  static bool WaitAny(PlatformEvent& a, PlatformEvent& b, int timeoutMs);

 private:
  struct Waiter {
    std::mutex lock;
    std::condition_variable wake;
  };
  static bool WaitList(PlatformEvent* const* events, int count, int timeoutMs);
  void AddWaiter(Waiter* waiter);
  void RemoveWaiter(Waiter* waiter);

  std::atomic<bool> set_{false};
  std::mutex lock_;               // guards waiters_
  std::vector<Waiter*> waiters_;  // the waits now watching this event
};

#include "platform/signal_event.h"

#include <algorithm>
#include <chrono>

PlatformEvent::~PlatformEvent() = default;

void PlatformEvent::Set() {
  std::lock_guard<std::mutex> guard(lock_);
  set_.store(true, std::memory_order_release);
  // Taking each waiter's lock before notifying closes the gap between a
  // waiter's test of the flag and its sleep.
  for (Waiter* waiter : waiters_) {
    std::lock_guard<std::mutex> waiterGuard(waiter->lock);
    waiter->wake.notify_all();
  }
}

void PlatformEvent::Reset() { set_.store(false, std::memory_order_release); }

bool PlatformEvent::Wait(int timeoutMs) {
  PlatformEvent* events[] = {this};
  return WaitList(events, 1, timeoutMs);
}

bool PlatformEvent::WaitAny(PlatformEvent& a, PlatformEvent& b, int timeoutMs) {
  PlatformEvent* events[] = {&a, &b};
  return WaitList(events, &a == &b ? 1 : 2, timeoutMs);
}

void PlatformEvent::AddWaiter(Waiter* waiter) {
  std::lock_guard<std::mutex> guard(lock_);
  waiters_.push_back(waiter);
}

void PlatformEvent::RemoveWaiter(Waiter* waiter) {
  std::lock_guard<std::mutex> guard(lock_);
  waiters_.erase(std::remove(waiters_.begin(), waiters_.end(), waiter), waiters_.end());
}

bool PlatformEvent::WaitList(PlatformEvent* const* events, int count, int timeoutMs) {
  auto anySet = [&] {
    for (int i = 0; i < count; ++i)
      if (events[i]->IsSet()) return true;
    return false;
  };
  if (anySet()) return true;
  if (timeoutMs == 0) return false;

  Waiter waiter;
  for (int i = 0; i < count; ++i) events[i]->AddWaiter(&waiter);
  bool result;
  {
    std::unique_lock<std::mutex> hold(waiter.lock);
    if (timeoutMs < 0) {
      waiter.wake.wait(hold, anySet);
      result = true;
    } else {
      auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
      result = waiter.wake.wait_until(hold, until, anySet);
    }
  }
  for (int i = 0; i < count; ++i) events[i]->RemoveWaiter(&waiter);
  return result;
}

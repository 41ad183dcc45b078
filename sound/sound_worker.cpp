#include "sound/sound_worker.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>

#include "platform/debug_log.h"

void LSoundEvent::Set() {
  std::lock_guard<std::mutex> guard(lock_);
  set_ = true;
  for (Waiter* w : waiters_) {
    std::lock_guard<std::mutex> wake(w->lock);
    w->fired = true;
    w->cv.notify_all();
  }
}

void LSoundEvent::Reset() {
  std::lock_guard<std::mutex> guard(lock_);
  set_ = false;
}

bool LSoundEvent::IsSet() {
  std::lock_guard<std::mutex> guard(lock_);
  return set_;
}

void LSoundEvent::Attach(Waiter* waiter) {
  std::lock_guard<std::mutex> guard(lock_);
  waiters_.push_back(waiter);
  if (set_) {
    std::lock_guard<std::mutex> wake(waiter->lock);
    waiter->fired = true;
  }
}

void LSoundEvent::Detach(Waiter* waiter) {
  std::lock_guard<std::mutex> guard(lock_);
  std::erase(waiters_, waiter);
}

bool LSoundEvent::WaitSignalDual(LSoundEvent& other, int timeoutMs) {
  Waiter waiter;
  Attach(&waiter);
  if (&other != this) other.Attach(&waiter);
  {
    std::unique_lock<std::mutex> wait(waiter.lock);
    waiter.cv.wait_for(wait, std::chrono::milliseconds(timeoutMs), [&] { return waiter.fired; });
  }
  Detach(&waiter);
  if (&other != this) other.Detach(&waiter);
  return IsSet() || other.IsSet();
}

LSoundWorker::~LSoundWorker() { StopThreadTimed(5000); }

void LSoundWorker::SetThreadPriority(int priority) {
  // A thread that lowered itself could not rise again without the privilege
  // to raise priorities, and would play at the low one: then none is changed.
  static const bool canRaise = [] {
    rlimit limit;
    return geteuid() == 0 || (getrlimit(RLIMIT_NICE, &limit) == 0 && limit.rlim_cur >= 30);
  }();
  if (!canRaise) return;
  int nice = priority <= -2 ? 10 : priority == -1 ? 5 : priority == 0 ? 0 : priority < 15 ? -5 : -10;
  setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), nice);
}

void LSoundWorker::Start(int priority) {
  if (thread_.joinable()) {
    if (!finished_.IsSet()) {
      LDebugLog("LThread::Start Thread is already running!");
      return;
    }
    thread_.join();
  }
  stopSignal_.Reset();
  finished_.Reset();
  startPriority_ = priority;
  thread_ = std::thread([this] {
    SetThreadPriority(startPriority_);
    ThreadFunction();
    finished_.Set();
  });
}

void LSoundWorker::StopThreadTimed(int timeoutMs) {
  if (!thread_.joinable()) return;
  stopSignal_.Set();
  if (finished_.WaitSignalDual(finished_, timeoutMs)) {
    thread_.join();
  } else {
    LDebugLog("LThread::StopThreadTimed TimeOut ERROR");
    thread_.detach();
  }
}

LSoundNotifyPost::LSoundNotifyPost() : receiver_(new QObject) {}

LSoundNotifyPost::~LSoundNotifyPost() { delete receiver_; }  // pending posts go with it

void LSoundNotifyPost::Post() {
  QMetaObject::invokeMethod(
      receiver_, [this] { EvNotify(); }, Qt::QueuedConnection);
}

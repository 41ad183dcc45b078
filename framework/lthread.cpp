#include "framework/lthread.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/debug_log.h"

extern char** environ;

namespace {

thread_local int tCurrentPriority = kThreadPriorityNormal;

int CurrentTid() { return static_cast<int>(syscall(SYS_gettid)); }

// Relative priority to a nice value. Raising above normal needs privileges
// that a desktop user rarely has; the attempt simply fails then.
int NiceForPriority(int priority) {
  if (priority >= kThreadPriorityTimeCritical) return -15;
  priority = std::clamp(priority, kThreadPriorityLowest, kThreadPriorityHighest);
  return -5 * priority;
}

void ApplyPriority(int tid, int priority) {
  setpriority(PRIO_PROCESS, static_cast<id_t>(tid), NiceForPriority(priority));
}

}  // namespace

// ---------------------------------------------------------------------------
// LThread

LThread::LThread() = default;

LThread::~LThread() { StopThreadTimed(kThreadStopTimeoutMs); }

void LThread::SetCurrentThreadPriority(int priority) {
  tCurrentPriority = priority;
  ApplyPriority(CurrentTid(), priority);
}

int LThread::GetCurrentThreadPriority() { return tCurrentPriority; }

void LThread::Start(int priority) {
  std::lock_guard<std::recursive_mutex> guard(m_Lock);
  if (m_bHasThread && m_bRunning.load()) {
    LDebugLog("LThread::Start Thread is already running!");
    return;
  }
  // The previous body has returned; only its last steps may still be running.
  if (m_bHasThread) Reap();

  m_StopSignal.Reset();
  m_Ended.Reset();
  m_Priority.store(priority);
  m_WorkerTid.store(0);
  m_WorkerId.store(pthread_t{});
  m_bRunning.store(true);
  int error = pthread_create(&m_hThread, nullptr, &LThread::ThreadFunc, this);
  if (error != 0) {
    LDebugLog("LThread::Start Unable to CreateThread FAILED");
    m_bRunning.store(false);
    m_bHasThread = false;
    return;
  }
  m_bHasThread = true;
}

void* LThread::ThreadFunc(void* object) {
  LThread* thread = static_cast<LThread*>(object);
  if (!thread) {
    LDebugLog("LThread::ThreadFunc bgp == NULL");
    return nullptr;
  }
  thread->m_WorkerId.store(pthread_self());
  thread->m_WorkerTid.store(CurrentTid());
  SetCurrentThreadPriority(thread->m_Priority.load());
  LDebugLog("LThread::ThreadFunc Thread is starting...");
  thread->ThreadFunction();
  LDebugLog("LThread::ThreadFunc ... Thread has terminated.");
  thread->m_bRunning.store(false);
  // Last touch of the object: after this the owner may free it.
  thread->m_Ended.Set();
  return nullptr;
}

void LThread::Reap() {
  pthread_join(m_hThread, nullptr);
  m_bHasThread = false;
}

void LThread::StopThreadTimed(int timeoutMs) {
  if (!m_bHasThread) return;
  m_StopSignal.Set();
  if (pthread_equal(m_WorkerId.load(), pthread_self()) && m_bRunning.load()) {
    // Waiting for ourselves would never end; the owner's stop reaps us later.
    LDebugLog("LThread::StopThreadTimed called on the worker itself");
    return;
  }
  // Keep a low-priority worker from starving while we wait for it.
  if (int tid = m_WorkerTid.load()) ApplyPriority(tid, GetCurrentThreadPriority());
  if (!m_Ended.Wait(timeoutMs)) {
    LDebugLog("LThread::StopThreadTimed TimeOut ERROR");
    // Forced termination would leave locks held and the body running on
    // memory we are about to free; waiting on is the only safe choice.
    m_Ended.Wait(-1);
  }
  Reap();
  m_bRunning.store(false);
}

// ---------------------------------------------------------------------------
// LThreadQueuedNotify

struct LThreadQueuedNotify::Poster::Channel {
  std::mutex lock;                       // guards both pointers against the destructor
  LThreadQueuedNotify* owner = nullptr;  // null once the notifier is gone
  QObject* receiver = nullptr;           // lives on the constructing thread
};

LThreadQueuedNotify::LThreadQueuedNotify() {
  poster_.channel_ = std::make_shared<Poster::Channel>();
  poster_.channel_->owner = this;
  poster_.channel_->receiver = new QObject;
}

LThreadQueuedNotify::~LThreadQueuedNotify() {
  QObject* receiver;
  {
    std::lock_guard<std::mutex> guard(poster_.channel_->lock);
    poster_.channel_->owner = nullptr;
    receiver = poster_.channel_->receiver;
    poster_.channel_->receiver = nullptr;
  }
  // Deleting the receiver drops the calls still queued for it.
  delete receiver;
}

void LThreadQueuedNotify::PostNotify() { poster_.Post(); }

void LThreadQueuedNotify::Poster::Post() const {
  if (!channel_) return;
  std::lock_guard<std::mutex> guard(channel_->lock);
  if (!channel_->receiver) return;
  std::weak_ptr<Channel> weak = channel_;
  QMetaObject::invokeMethod(
      channel_->receiver,
      [weak] {
        // Runs on the receiver's thread, where the notifier is also destroyed,
        // so it cannot vanish between this test and the call.
        std::shared_ptr<Channel> channel = weak.lock();
        if (!channel) return;
        LThreadQueuedNotify* owner;
        {
          std::lock_guard<std::mutex> guard(channel->lock);
          owner = channel->owner;
        }
        if (owner) owner->EvNotify();
      },
      Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------
// ProcessRunCommandLineProcess

namespace {

// Shared by the waiting caller and the reaper thread, which outlives the
// caller when the child is left running.
struct ChildWatch {
  pid_t pid = 0;
  PlatformEvent ended;
};

void* ReapChild(void* argument) {
  auto* holder = static_cast<std::shared_ptr<ChildWatch>*>(argument);
  std::shared_ptr<ChildWatch> watch = *holder;
  delete holder;
  int status;
  while (waitpid(watch->pid, &status, 0) < 0 && errno == EINTR) {
  }
  watch->ended.Set();
  return nullptr;
}

}  // namespace

bool ProcessRunCommandLineProcess(LThread* thread, const std::string& commandLine, int timeoutMs) {
  QStringList parts = QProcess::splitCommand(QString::fromStdString(commandLine));
  std::vector<std::string> arguments;
  for (const QString& part : parts) arguments.push_back(part.toStdString());
  if (arguments.empty()) {
    LDebugLog("ProcessRunCommandLineProcess FAILED");
    return false;
  }
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
#ifdef POSIX_SPAWN_SETSID
  // Its own session, like a console of its own: the child outlives us undisturbed.
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
#endif
  auto watch = std::make_shared<ChildWatch>();
  int error = posix_spawnp(&watch->pid, argv[0], nullptr, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) {
    LDebugLog("ProcessRunCommandLineProcess FAILED");
    return false;
  }

  pthread_t reaper;
  auto* holder = new std::shared_ptr<ChildWatch>(watch);
  if (pthread_create(&reaper, nullptr, &ReapChild, holder) != 0) {
    delete holder;
    LDebugLog("ProcessRunCommandLineProcess FAILED");
    return false;
  }
  pthread_detach(reaper);

  PlatformEvent never;
  PlatformEvent& stop = thread ? static_cast<PlatformEvent&>(thread->StopSignal()) : never;
  bool finished = false;
  if (!PlatformEvent::WaitAny(stop, watch->ended, timeoutMs)) {
    LDebugLog("ProcessRunCommandLineProcess TIME-OUT");
  } else if (stop.IsSet()) {
    LDebugLog("ProcessRunCommandLineProcess STOPPED");
  } else {
    finished = true;
  }
  LDebugLog("~ProcessRunCommandLineProcess");
  return finished;
}

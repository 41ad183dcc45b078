#include "sound/sound_recorder.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>

#include "platform/debug_log.h"
#include "sound/audio_backend_setting.h"

LSoundRecorder::LSoundRecorder() = default;

LSoundRecorder::~LSoundRecorder() {
  Stop();
  StopThreadTimed(kThreadStopTimeoutMs);
  sink_.Release();
}

void LSoundRecorder::SetNotify(LSoundRecorderNotify* listener, uint32_t user) {
  listener_ = listener ? listener : &defaultListener_;
  user_ = user;
}

// True when the worker is capturing, or still opening the device after
// waitMs; false (worker stopped) when it ended at once.
bool LSoundRecorder::StartWorker(int waitMs, const char* waitFailed) {
  LSoundApplyAudioBackendSetting();
  started_.Reset();
  ended_ = false;
  LThread::Start(LThread::GetCurrentThreadPriority());
  if (!HasThread()) return false;  // no worker, so no end would ever be reported
  // A slow device may still open later; should it fail then, the worker's
  // end arrives as srntfStop.
  if (!started_.Wait(waitMs)) LDebugLog("%s", waitFailed);
  if (!ended_) return true;
  StopThreadTimed(kThreadStopTimeoutMs);
  return false;
}

bool LSoundRecorder::Start(const LSoundSinkRef& sink, int32_t maxTime, int startLevel, int32_t hold, int mode) {
  if (GetState() != kIdle) Stop();
  if (!sink.IsUsable()) {
    LDebugLog("LSoundRecorder::Start Sink Error");
    return false;
  }
  sink_ = sink;
  voice_.Configure(startLevel, hold, maxTime);
  LSoundTime t;
  t.SetSamples(sink_->sPosition, int32_t(sink_->sampleRate));
  voice_.Begin((mode & kRecordAtOnce) ? RECORDING : WAITING, t.ms);
  if (StartWorker(1500, "LSoundRecorder::Start Wait for Start FAILED")) {
    if (mode & kRecordAtOnce)
      listener_->srntfRecord(user_);
    else
      listener_->srntfWait(user_);
    listener_->srntfTime(voice_.Time(), user_);
    return true;
  }
  voice_.SetIdle();
  sink_.Release();
  LDebugLog("LSoundRecorder::Start ThreadStart must have failed so return false");
  return false;
}

void LSoundRecorder::ThreadFunction() {
  LDebugLog("LSoundRecorder::ThreadFunction()");
  pthread_setname_np(pthread_self(), "orativo-record");
  PlatformEvent completion;
  const int channels = sink_.IsEmpty() ? 1 : sink_->channels;
  LWaveDeviceFormat format;
  format.channels = uint16_t(channels);
  format.sampleRate = sink_.IsEmpty() ? 44100 : sink_->sampleRate;
  format.bitsPerSample = 16;
  std::unique_ptr<LWaveIn> waveIn;
  auto done = [&completion] { completion.Set(); };
  int deviceId = int(device_) - 1;
  if (LWaveInOpen(&waveIn, deviceId, format, false, done) != kWaveOk &&
      LWaveInOpen(&waveIn, deviceId, format, true, done) != kWaveOk) {
    LDebugLog("LSoundRecorder::ThreadFunction waveInOpen Error");
    ended_ = true;
    started_.Set();
    PostNotify();
    return;
  }
  waveIn->Stop();
  const int frames = std::clamp(int(format.sampleRate / 10), 20, 8192);
  const size_t samplesPerBuffer = size_t(channels) * size_t(frames);
  const size_t bytesPerBuffer = samplesPerBuffer * 2;
  std::vector<int32_t> current(samplesPerBuffer);
  std::vector<uint8_t> block(bytesPerBuffer * kBufferCount, 0);
  std::vector<LWaveHeader> headers(kBufferCount);
  for (int k = 0; k < kBufferCount; ++k) {
    LWaveHeader& h = headers[size_t(k)];
    h.data = block.data() + size_t(k) * bytesPerBuffer;
    h.bufferLength = uint32_t(bytesPerBuffer);
    h.flags = 0;
    if (waveIn->Prepare(&h) != kWaveOk) LDebugLog("LSoundRecorder::ThreadFunction() waveInPrepareHeader FAILED");
    if (waveIn->AddBuffer(&h) != kWaveOk) LDebugLog("LSoundRecorder::ThreadFunction() waveInAddBuffer FAILED");
  }
  started_.Set();
  LThread::SetCurrentThreadPriority(kThreadPriorityHighest);
  LDebugLog("LSoundRecorder::ThreadFunction() MainLoop Start");
  waveIn->Start();

  auto convert = [&](const LWaveHeader& h, int count) {
    for (size_t s = 0; s < size_t(count) * size_t(channels); ++s)
      current[s] = SampleFrom16(int16_t(uint16_t(h.data[2 * s] | (h.data[2 * s + 1] << 8))));
  };
  using Clock = std::chrono::steady_clock;
  Clock::time_point lastBuffer = Clock::now();
  bool stalled = false;
  int i = 0;
  do {
    completion.Reset();
    LWaveHeader& h = headers[size_t(i)];
    if (!h.IsDone()) {
      if (Clock::now() - lastBuffer > std::chrono::milliseconds(kInputStallMs)) {
        LDebugLog("LSoundRecorder::ThreadFunction the input stopped delivering: recording ends");
        stalled = true;
        break;
      }
      m_StopSignal.WaitSignalDual(completion, kWaitMs);
      continue;
    }
    lastBuffer = Clock::now();
    convert(h, frames);
    h.ClearFlag(kWaveHeaderDone);
    waveIn->AddBuffer(&h);
    LVoiceActivation::Step step = voice_.Buffer(*sink_.Get(), current.data(), frames, channels);
    if (step.stateChanged) statePending_ = true;
    if (step.maxTimeReached) maxTimePending_ = true;
    {
      std::lock_guard<std::mutex> guard(levelLock_);
      level_ = step.levels;
    }
    levelPending_ = true;
    PostNotify();
    i = (i + 1) % kBufferCount;
  } while (!IsToStop());

  LDebugLog("LSoundRecorder::ThreadFunction waveInReset");
  if (waveIn->Reset() != kWaveOk) LDebugLog("LSoundRecorder::ThreadFunction() waveInReset Failed");
  if (voice_.GetState() == RECORDING) {
    // What the device captured after the last full buffer, oldest first.
    for (int k = 0; k < kBufferCount; ++k, i = (i + 1) % kBufferCount) {
      LWaveHeader& h = headers[size_t(i)];
      if (!h.IsDone()) break;
      h.ClearFlag(kWaveHeaderDone);
      int n = int(h.bytesRecorded / 2 / uint32_t(channels));
      if (n > 0 && n <= frames) {
        convert(h, n);
        voice_.Remainder(*sink_.Get(), current.data(), n);
      }
    }
    LDebugLog("LSoundRecorder::ThreadFunction return pending");
  }
  for (LWaveHeader& h : headers)
    if (waveIn->Unprepare(&h) != kWaveOk) LDebugLog("LSoundRecorder::ThreadFunction waveInUnprepareHeader FAILED");
  maxTimePending_ = false;
  levelPending_ = false;
  statePending_ = false;
  waveIn.reset();
  if (stalled) {
    ended_ = true;
    PostNotify();
  }
  LDebugLog("LSoundRecorder::~ThreadFunction()");
}

void LSoundRecorder::EvNotify() {
  if (GetState() == kIdle) return;
  if (maxTimePending_ || ended_) {
    Stop();
    return;
  }
  if (levelPending_.exchange(false)) {
    LLevelRecord level;
    {
      std::lock_guard<std::mutex> guard(levelLock_);
      level = level_;
    }
    listener_->srntfTime(voice_.Time(), user_);
    listener_->srntfLevel(level, user_);
  }
  if (statePending_.exchange(false)) {
    if (GetState() == WAITING)
      listener_->srntfWait(user_);
    else
      listener_->srntfRecord(user_);
  }
}

void LSoundRecorder::Stop() {
  if (GetState() == kIdle) return;
  LDebugLog("LSoundRecorder::Stop");
  StopThreadTimed(kThreadStopTimeoutMs);
  voice_.Finish(*sink_.Get());
  sink_.Release();
  ended_ = false;
  listener_->srntfStop(user_);
  LDebugLog("LSoundRecorder::~Stop");
}

bool LSoundRecorder::Restart() {
  if (GetState() == kIdle) return false;
  StopThreadTimed(kThreadStopTimeoutMs);
  sink_->Seek(0);
  voice_.Begin(WAITING, 0);
  if (StartWorker(700, "LSoundRecorder::Restart Wait for Start FAILED")) {
    listener_->srntfWait(user_);
    listener_->srntfTime(voice_.Time(), user_);
    return true;
  }
  voice_.SetIdle();
  sink_.Release();
  listener_->srntfStop(user_);
  LDebugLog("LSoundRecorder::Restart ThreadStart must have failed");
  return false;
}

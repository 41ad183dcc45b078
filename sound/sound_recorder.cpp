#include "sound/sound_recorder.h"

#include <pthread.h>

#include <algorithm>
#include <cmath>
#include <cstring>

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

int LSoundRecorder::PeakLevel(int32_t peak) {
  if (peak <= 0) return -127;
  double db = 20.0 * std::log10(double(peak) / 131072.0);
  db += peak >= 131072 ? 0.5 : -0.5;
  return std::clamp(int(db), -127, 127);
}

int LSoundRecorder::ComputeLevels(const int32_t* samples, int frames, int channels, LLevelRecord* levels) {
  levels->channels = uint8_t(channels);
  for (int c = 0; c < channels; ++c) {
    int64_t peak = 0;
    for (int f = 0; f < frames; ++f)
      peak = std::max<int64_t>(peak, std::abs(int64_t(samples[size_t(f) * size_t(channels) + size_t(c)])));
    levels->level[c] = int8_t(PeakLevel(int32_t(std::min<int64_t>(peak, INT32_MAX))));
  }
  if (channels < 1) return -127;
  if (channels == 1) return levels->level[0];
  return std::max(levels->level[0], levels->level[1]);
}

int32_t LSoundRecorder::SinkMs() const {
  if (sink_.IsEmpty() || sink_->sampleRate == 0) return 0;
  return LSoundTime::FramesToMs(sink_->sPosition, int32_t(sink_->sampleRate));
}

bool LSoundRecorder::StartWorker(int waitMs) {
  LSoundApplyAudioBackendSetting();
  started_.Reset();
  LThread::Start(LThread::GetCurrentThreadPriority());
  if (!started_.Wait(waitMs)) return false;
  return true;
}

bool LSoundRecorder::Start(const LSoundSinkRef& sink, int32_t maxTime, int startLevel, int32_t hold, int mode) {
  if (state_ != kIdle) Stop();
  if (!sink.IsUsable()) {
    LDebugLog("LSoundRecorder::Start Sink Error");
    return false;
  }
  sink_ = sink;
  MaxTime = maxTime;
  startLevel_ = std::clamp(startLevel, -127, 127);
  stopLevel_ = std::max(startLevel_ - 4, -127);
  hold_ = hold;
  LSoundTime t;
  t.SetSamples(sink_->sPosition, int32_t(sink_->sampleRate));
  time_ = t.ms;
  state_ = (mode & kRecordAtOnce) ? RECORDING : WAITING;
  if (!StartWorker(1500)) LDebugLog("LSoundRecorder::Start Wait for Start FAILED");
  if (state_ != kIdle) {
    if (mode & kRecordAtOnce)
      listener_->srntfRecord(user_);
    else
      listener_->srntfWait(user_);
    listener_->srntfTime(time_, user_);
    return true;
  }
  StopThreadTimed(kThreadStopTimeoutMs);
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
    state_ = kIdle;
    started_.Set();
    return;
  }
  waveIn->Stop();
  const int frames = std::clamp(int(format.sampleRate / 10), 20, 8192);
  const size_t samplesPerBuffer = size_t(channels) * size_t(frames);
  const size_t bytesPerBuffer = samplesPerBuffer * 2;
  std::vector<int32_t> current(samplesPerBuffer), previous(samplesPerBuffer, 0);
  bool havePreroll = false;
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
  LThread::SetCurrentThreadPriority(2);
  LDebugLog("LSoundRecorder::ThreadFunction() MainLoop Start");
  waveIn->Start();

  auto convert = [&](const LWaveHeader& h, int count) {
    for (size_t s = 0; s < size_t(count) * size_t(channels); ++s)
      current[s] = SampleFrom16(int16_t(uint16_t(h.data[2 * s] | (h.data[2 * s + 1] << 8))));
  };
  const int32_t rate = int32_t(format.sampleRate);
  int i = 0;
  do {
    completion.Reset();
    LWaveHeader& h = headers[size_t(i)];
    if (!h.IsDone()) {
      m_StopSignal.WaitSignalDual(completion, kWaitMs);
      continue;
    }
    convert(h, frames);
    h.ClearFlag(kWaveHeaderDone);
    waveIn->AddBuffer(&h);
    LLevelRecord levels;
    int L = ComputeLevels(current.data(), frames, channels, &levels);
    if (state_ == WAITING) {
      if (L < startLevel_) {
        previous = current;
        havePreroll = true;
      } else {
        int L2 = ComputeLevels(current.data(), frames / 2, channels, &levels);
        int rest = frames - frames / 2;
        if (L2 >= startLevel_ && havePreroll) sink_->Write(previous.data() + size_t(frames / 2) * channels, rest);
        sink_->Write(current.data(), frames);
        state_ = RECORDING;
        statePending_ = true;
        LDebugLog("LSoundRecorder::WindowProcWIMData VoiceActivatedStart WAITING->RECORDING");
      }
    } else if (state_ == RECORDING) {
      sink_->Write(current.data(), frames);
      int32_t t = LSoundTime::FramesToMs(sink_->sPosition, rate);
      if (L < stopLevel_) {
        if (t - time_ > hold_) {
          sink_->Seek(LSoundTime::MsToFrames(time_ + kCutBackMs, rate));
          state_ = WAITING;
          previous = current;
          havePreroll = true;
          statePending_ = true;
          LDebugLog("LSoundRecorder::ThreadFunction VoiceActivatedStop RECORDING->WAITING");
        }
      } else {
        time_ = t;
      }
      if (MaxTime > 0 && t > MaxTime) {
        maxTimePending_ = true;
        LDebugLog("LSoundRecorder::ThreadFunction Stop because MaxTime reached");
      }
    }
    {
      std::lock_guard<std::mutex> guard(levelLock_);
      level_ = levels;
    }
    levelPending_ = true;
    PostNotify();
    i = (i + 1) % kBufferCount;
  } while (!IsToStop());

  LDebugLog("LSoundRecorder::ThreadFunction waveInReset");
  if (waveIn->Reset() != kWaveOk) LDebugLog("LSoundRecorder::ThreadFunction() waveInReset Failed");
  if (state_ == RECORDING) {
    // What the device captured after the last full buffer, oldest first.
    for (int k = 0; k < kBufferCount; ++k, i = (i + 1) % kBufferCount) {
      LWaveHeader& h = headers[size_t(i)];
      if (!h.IsDone()) break;
      h.ClearFlag(kWaveHeaderDone);
      int n = int(h.bytesRecorded / 2 / uint32_t(channels));
      if (n > 0 && n <= frames) {
        convert(h, n);
        sink_->Write(current.data(), n);
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
  LDebugLog("LSoundRecorder::~ThreadFunction()");
}

void LSoundRecorder::EvNotify() {
  if (state_ == kIdle) return;
  if (maxTimePending_) {
    Stop();
    return;
  }
  if (levelPending_.exchange(false)) {
    LLevelRecord level;
    {
      std::lock_guard<std::mutex> guard(levelLock_);
      level = level_;
    }
    listener_->srntfTime(time_, user_);
    listener_->srntfLevel(level, user_);
  }
  if (statePending_.exchange(false)) {
    if (state_ == WAITING)
      listener_->srntfWait(user_);
    else
      listener_->srntfRecord(user_);
  }
}

void LSoundRecorder::Stop() {
  if (state_ == kIdle) return;
  LDebugLog("LSoundRecorder::Stop");
  StopThreadTimed(kThreadStopTimeoutMs);
  time_ += kTrailMs;
  if (SinkMs() > time_) sink_->Seek(LSoundTime::MsToFrames(time_, int32_t(sink_->sampleRate)));
  sink_.Release();
  time_ = 0;
  state_ = kIdle;
  listener_->srntfStop(user_);
  LDebugLog("LSoundRecorder::~Stop");
}

bool LSoundRecorder::Restart() {
  if (state_ == kIdle) return false;
  StopThreadTimed(kThreadStopTimeoutMs);
  sink_->Seek(0);
  time_ = 0;
  state_ = WAITING;
  if (!StartWorker(700)) LDebugLog("LSoundRecorder::Restart Wait for Start FAILED");
  if (state_ != kIdle) {
    listener_->srntfWait(user_);
    listener_->srntfTime(time_, user_);
    return true;
  }
  StopThreadTimed(kThreadStopTimeoutMs);
  sink_.Release();
  listener_->srntfStop(user_);
  LDebugLog("LSoundRecorder::Restart ThreadStart must have failed");
  return false;
}

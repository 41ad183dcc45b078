#include "sound/sound_player.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "platform/debug_log.h"
#include "sound/audio_backend_setting.h"
#include "sound/processors.h"

namespace {

void Put16(uint8_t* data, int32_t sample) {
  uint16_t v = uint16_t(SampleTo16(sample));
  data[0] = uint8_t(v);
  data[1] = uint8_t(v >> 8);
}

}  // namespace

LSoundPlayer::LSoundPlayer() = default;

LSoundPlayer::~LSoundPlayer() {
  Stop();
  StopThreadTimed(kThreadStopTimeoutMs);
}

void LSoundPlayer::SetNotify(LSoundPlayerNotify* listener, uint32_t user) {
  listener_ = listener ? listener : &defaultListener_;
  user_ = user;
}

int LSoundPlayer::FramesPerBufferFor(int32_t sampleRate) {
  return std::clamp(sampleRate / 10, kMinFramesPerBuffer, kMaxFramesPerBuffer);
}

int32_t LSoundPlayer::Ms(int32_t frames) const { return LSoundTime::FramesToMs(frames, lssSource->sampleRate); }

void LSoundPlayer::ComputeRmsLevels(const int32_t* samples, int frames, int channels, LLevelRecord* levels) {
  levels->channels = uint8_t(channels);
  for (int c = 0; c < channels; ++c) {
    // Squares in two 13-bit pieces keep the sums exact within 32 bits for
    // 16-bit material; 64-bit sums keep louder input from wrapping.
    uint64_t high = 0, low = 0;
    for (int f = 0; f < frames; ++f) {
      int64_t s = samples[size_t(f) * size_t(channels) + size_t(c)] >> 5;
      uint64_t sq = uint64_t(s * s);
      high += sq >> 13;
      low += sq & 8191;
    }
    uint64_t sum = high + (low >> 13);
    uint64_t mean =
        frames > 0 ? (sum / uint64_t(frames)) * 8192 + ((sum % uint64_t(frames)) * 8192) / uint64_t(frames) : 0;
    int level = -127;
    if (mean > 0) {
      double db = 10.0 * std::log10(double(mean) / 8388626.0);
      db += mean >= 8388626 ? 0.5 : -0.5;
      level = std::clamp(int(db), -127, 127);
    }
    levels->level[c] = int8_t(level);
  }
}

bool LSoundPlayer::Start(const LSoundSourceRef& source, int mode) {
  Stop();
  if (!source.IsUsable()) {
    LDebugLog("LSoundPlayer::Start Source Error");
    return false;
  }
  lssSource = source;
  if (lssSource->maxAmplitude > kSampleFullScale) {
    lssSource = LSoundSourceRef(new LSRCPeakLimit(source, kSampleFullScale));
    if (!lssSource.IsUsable()) {
      LDebugLog("LSoundPlayer::Start Peak Limit Error");
      lssSource.Reset();
      return false;
    }
  }
  LSoundApplyAudioBackendSetting();
  channels_ = std::max<uint8_t>(lssSource->channels, 1);
  LWaveDeviceFormat format;
  format.sampleRate = uint32_t(lssSource->sampleRate);
  format.channels = channels_;
  format.bitsPerSample = 16;
  auto done = [this] { bufferEvent_.Set(); };
  int deviceId = int(device_) - 1;
  if (LWaveOutOpen(&waveOut_, deviceId, format, false, done) != kWaveOk &&
      LWaveOutOpen(&waveOut_, deviceId, format, true, done) != kWaveOk) {
    LDebugLog("LSoundPlayer::Start waveOutOpen Error");
    lssSource.Reset();
    return false;
  }
  framesPerBuffer_ = FramesPerBufferFor(lssSource->sampleRate);
  conversion_.assign(size_t(channels_) * size_t(framesPerBuffer_), 0);
  uint32_t capacity = uint32_t(channels_) * uint32_t(framesPerBuffer_) * 2;
  memory_.assign(size_t(capacity) * kBufferCount, 0);
  for (int i = 0; i < kBufferCount; ++i) {
    LSoundPlayerWaveHeader& b = buffers_[size_t(i)];
    b.capacity = capacity;
    b.header.data = memory_.data() + size_t(i) * capacity;
    b.header.bufferLength = capacity;
    b.header.flags = 0;
    b.header.loops = 0;
    if (waveOut_->Prepare(&b.header) != kWaveOk) LDebugLog("LSoundPlayerWaveHeader::Create waveOutPrepareHeader ERROR");
    b.header.SetFlag(kWaveHeaderDone);
    b.header.user = kNoPosition;
    b.level = LLevelRecord();
  }
  {
    std::lock_guard<std::mutex> guard(lock_);
    flags_ = kOpen | kTakeOff;
    if (mode & (kStartPaused | kStartPrefill)) {
      waveOut_->Pause();
      flags_ |= (mode & kStartPaused) ? kPaused : kPrefill;
    }
    stopPending_ = false;
    timePending_ = false;
    workerPriority_ = kNoPriority;
    currentBuffer_ = 0;
    position_ = lssSource->GetPosition();
  }
  LThread::Start(kThreadPriorityBelowNormal);
  if (mode & kStartPaused)
    listener_->spntfPause(user_);
  else
    listener_->spntfPlay(user_);
  listener_->spntfTime(Ms(position_), user_);
  LDebugLog("LSoundPlayer::Start end");
  return true;
}

void LSoundPlayer::ThreadFunction() {
  pthread_setname_np(pthread_self(), "orativo-player");
  int iCountFail = 0;
  for (;;) {
    bufferEvent_.Reset();
    std::unique_lock<std::mutex> guard(lock_);
    if (workerPriority_ != kNoPriority) {
      LThread::SetCurrentThreadPriority(workerPriority_);
      workerPriority_ = kNoPriority;
    }
    LSoundPlayerWaveHeader& b = buffers_[currentBuffer_];
    if (!b.header.IsDone()) {
      if (flags_ & kTakeOff) {
        LThread::SetCurrentThreadPriority(kThreadPriorityTimeCritical);
        flags_ &= uint16_t(~kTakeOff);
        LDebugLog("LSoundPlayer::ThreadFunction() Takeoff-complete lock thread to high priority");
      }
      // A paused device rightly keeps its buffers, for as long as the pause lasts.
      if (flags_ & kPaused) iCountFail = 0;
      if (++iCountFail > kMaxFailedChecks) {
        if (flags_ & kCueLoop) {
          iCountFail = 0;
        } else {
          stopPending_ = true;
          PostNotify();
          LDebugLog("LSoundPlayer::ThreadFunction() iCountFail so stop - buffers are not being returned");
        }
      }
      guard.unlock();
      m_StopSignal.WaitSignalDual(bufferEvent_, kBufferWaitMs);
    } else {
      iCountFail = 0;
      if (b.header.user != kNoPosition) {
        position_ = int32_t(b.header.user);
        level_ = b.level;
        timePending_ = true;
        PostNotify();
      }
      int todo = lssSource->GetLength() - lssSource->GetPosition();
      if (todo < 1) {
        b.header.user = kNoPosition;
        // A source shorter than the prefill would otherwise never start.
        if (flags_ & kPrefill) {
          flags_ &= uint16_t(~kPrefill);
          waveOut_->Restart();
        }
        bool allDone = std::all_of(buffers_.begin(), buffers_.end(),
                                   [](const LSoundPlayerWaveHeader& h) { return h.header.IsDone(); });
        if (allDone) {
          stopPending_ = true;
          PostNotify();
          LDebugLog("LSoundPlayer::ThreadFunction() All buffers empty so notify stopped");
          break;
        }
      } else {
        todo = std::min(todo, framesPerBuffer_);
        int before = lssSource->GetPosition();
        lssSource->Read(conversion_.data(), todo);
        size_t samples = size_t(todo) * channels_;
        for (size_t i = 0; i < samples; ++i) Put16(b.header.data + 2 * i, conversion_[i]);
        b.header.bufferLength = uint32_t(samples * 2);
        b.header.user = uint32_t(before + todo);
        b.header.ClearFlag(kWaveHeaderDone | kWaveHeaderBeginLoop | kWaveHeaderEndLoop);
        if (waveOut_->Write(&b.header) != kWaveOk) LDebugLog("LSoundPlayerWaveHeader::Write waveOutWrite ERROR");
        ComputeRmsLevels(conversion_.data(), todo, channels_, &b.level);
      }
      currentBuffer_ = uint8_t((currentBuffer_ + 1) % kBufferCount);
      if (currentBuffer_ == kPrefillBuffers && (flags_ & kPrefill)) {
        flags_ &= uint16_t(~kPrefill);
        waveOut_->Restart();
      }
    }
    if (guard.owns_lock()) guard.unlock();
    if (IsToStop()) {
      LDebugLog("LSoundPlayer::ThreadFunction() IsToStop - waveOutReset");
      break;
    }
  }
  waveOut_->Reset();
}

// Only the worker changes its own priority: a window-thread call must not
// change the window thread's, nor that of every thread it starts later.
void LSoundPlayer::SetWorkerPriority(int priority) { workerPriority_ = priority; }

void LSoundPlayer::ForgetPositions() {
  for (LSoundPlayerWaveHeader& b : buffers_) b.header.user = kNoPosition;
}

void LSoundPlayer::CueBuffer(LLevelRecord* cueLevel) {
  if (flags_ == 0) {
    LDebugLog("LSoundPlayer::CueBuffer() called when not playing ERROR");
    return;
  }
  const int fpb = framesPerBuffer_;
  const int q = (fpb + 3) / 4;
  const size_t frameBytes = size_t(channels_) * 2;
  LSoundPlayerWaveHeader& b = buffers_[0];
  lssSource->Read(conversion_.data(), q);
  for (size_t i = 0; i < size_t(q) * channels_; ++i) Put16(b.header.data + 2 * i, conversion_[i]);
  std::memcpy(b.header.data + size_t(q) * frameBytes, b.header.data, size_t(q) * frameBytes);
  std::memcpy(b.header.data + size_t(2 * q) * frameBytes, b.header.data, size_t(q) * frameBytes);
  std::memcpy(b.header.data + size_t(3 * q) * frameBytes, b.header.data, size_t(fpb - 3 * q) * frameBytes);
  b.header.bufferLength = b.capacity;
  b.header.user = uint32_t(lssSource->GetPosition());
  b.header.ClearFlag(kWaveHeaderDone);
  b.header.SetFlag(kWaveHeaderBeginLoop | kWaveHeaderEndLoop);
  b.header.loops = 0x7FFFFFFF;
  if (waveOut_->Write(&b.header) != kWaveOk) LDebugLog("LSoundPlayerWaveHeader::Write waveOutWrite ERROR");
  currentBuffer_ = 1;
  ComputeRmsLevels(conversion_.data(), q, channels_, &b.level);
  *cueLevel = b.level;
  LDebugLog("LSoundPlayer::CueBuffer end");
}

void LSoundPlayer::Cue() {
  if (flags_ == 0 || ((flags_ & kCueLoop) && !(flags_ & kPaused))) return;
  if ((flags_ & kPaused) && (flags_ & kCueLoop)) {
    std::lock_guard<std::mutex> guard(lock_);
    waveOut_->Restart();
    flags_ &= uint16_t(~kPaused);
    return;
  }
  LLevelRecord cueLevel;
  int32_t position;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (waveOut_->Reset() != kWaveOk) LDebugLog("LSoundPlayer::Cue waveOutReset ERROR");
    ForgetPositions();
    lssSource->Seek(position_);
    position_ = lssSource->GetPosition();
    position = position_;
    CueBuffer(&cueLevel);
    flags_ = kOpen | kCueLoop | kTakeOff;
    stopPending_ = false;
    timePending_ = false;
    SetWorkerPriority(kThreadPriorityLowest);
  }
  // Listeners are called outside the lock: they may call back into the player.
  listener_->spntfLevel(cueLevel, user_);
  listener_->spntfCue(user_);
  listener_->spntfTime(Ms(position), user_);
}

void LSoundPlayer::Play() {
  if (!(flags_ & kOpen)) return;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (flags_ & kCueLoop) {
      waveOut_->BreakLoop();
      flags_ &= uint16_t(~kCueLoop);
    }
    if (flags_ & kPaused) {
      waveOut_->Restart();
      flags_ &= uint16_t(~kPaused);
    }
  }
  listener_->spntfPlay(user_);
}

void LSoundPlayer::Pause() {
  if (flags_ == 0 || (flags_ & kPaused)) return;
  {
    std::lock_guard<std::mutex> guard(lock_);
    waveOut_->Pause();
    flags_ |= kPaused;
  }
  listener_->spntfPause(user_);
}

void LSoundPlayer::Seek(int position) {
  if (flags_ == 0) return;
  LLevelRecord cueLevel;
  bool cue;
  int32_t now;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (waveOut_->Reset() != kWaveOk) LDebugLog("LSoundPlayer::Seek waveOutReset ERROR");
    ForgetPositions();
    lssSource->Seek(position);
    position_ = lssSource->GetPosition();
    now = position_;
    if (flags_ & kPaused) waveOut_->Pause();
    cue = (flags_ & kCueLoop) != 0;
    if (!cue)
      currentBuffer_ = 0;
    else
      CueBuffer(&cueLevel);
    SetWorkerPriority(kThreadPriorityLowest);
    flags_ |= kTakeOff;
    stopPending_ = false;
    timePending_ = false;
  }
  if (cue) listener_->spntfLevel(cueLevel, user_);
  listener_->spntfTime(Ms(now), user_);
}

void LSoundPlayer::Stop() {
  if (flags_ == 0) return;
  StopThreadTimed(kThreadStopTimeoutMs);
  LDebugLog("LSoundPlayer::Stop waveOutReset");
  if (waveOut_->Reset() != kWaveOk) LDebugLog("LSoundPlayer::Stop waveOutReset ERROR");
  int budget = 1000;
  for (LSoundPlayerWaveHeader& b : buffers_) {
    b.header.bufferLength = b.capacity;
    for (;;) {
      int result = waveOut_->Unprepare(&b.header);
      if (result == kWaveOk) break;
      if (result != kWaveStillPlaying) {
        LDebugLog("LSoundPlayerWaveHeader::Destroy waveOutUnprepareHeader FAILED");
        break;
      }
      if (budget <= 0) {
        LDebugLog("LSoundPlayerWaveHeader::Destroy waveOutUnprepareHeader TIMEOUT");
        break;
      }
      LDebugLog("LSoundPlayerWaveHeader::Destroy waveOutUnprepareHeader failed wait while WAVERR_STILLPLAYING");
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      budget -= 50;
    }
  }
  // Closing the device returns whatever it still holds before the memory goes.
  waveOut_.reset();
  memory_.clear();
  memory_.shrink_to_fit();
  conversion_.clear();
  conversion_.shrink_to_fit();
  LDebugLog("LSoundPlayer::Stop Close lssSource");
  lssSource.Reset();
  {
    std::lock_guard<std::mutex> guard(lock_);
    position_ = 0;
    flags_ = 0;
    stopPending_ = false;
    timePending_ = false;
  }
  listener_->spntfStop(user_);
}

void LSoundPlayer::EvNotify() {
  bool stop, time;
  int32_t position;
  LLevelRecord level;
  {
    std::lock_guard<std::mutex> guard(lock_);
    stop = stopPending_;
    time = timePending_;
    if (!stop && time) timePending_ = false;
    position = position_;
    level = level_;
  }
  if (flags_ == 0) return;
  if (stop) {
    listener_->spntfTime(Ms(lssSource->GetLength()), user_);
    bool still;
    {
      std::lock_guard<std::mutex> guard(lock_);
      still = stopPending_;
    }
    if (still && flags_ != 0) {
      LDebugLog("LSoundPlayer::EvNotify() bNotifyStop");
      Stop();
    }
  } else if (time) {
    listener_->spntfTime(Ms(position), user_);
    listener_->spntfLevel(level, user_);
  }
}

// The cue sound: a 100 ms beep at 8000 Hz with a soft attack and decay.

std::vector<int16_t> LCueSoundSamples() {
  constexpr int kFrames = 800;
  constexpr double kRate = 8000.0, kPi = 3.14159265358979323846;
  std::vector<int16_t> samples(kFrames);
  for (int i = 0; i < kFrames; ++i) {
    double t = i / kRate;
    double attack = std::min(1.0, i / 80.0);                  // 10 ms
    double decay = std::min(1.0, (kFrames - 1 - i) / 320.0);  // 40 ms
    double envelope = std::sin(0.5 * kPi * attack) * std::sin(0.5 * kPi * decay);
    // A fifth above the fundamental makes the beep less harsh than a bare sine.
    double v = 0.8 * std::sin(2 * kPi * 880.0 * t) + 0.2 * std::sin(2 * kPi * 1320.0 * t);
    samples[size_t(i)] = int16_t(std::lround(v * envelope * 12000.0));
  }
  return samples;
}

bool LPlayResourceSound(int resourceId) {
  if (resourceId != 1) {
    LDebugLog("LPlayResourceSound FAILED - it is possible you have not included the sound resource in the RC: %d",
              resourceId);
    return false;
  }
  struct Playing {
    std::vector<uint8_t> bytes;
    LWaveHeader header;
    std::unique_ptr<LWaveOut> device;
  };
  LSoundApplyAudioBackendSetting();
  auto playing = std::make_shared<Playing>();
  std::vector<int16_t> samples = LCueSoundSamples();
  playing->bytes.resize(samples.size() * 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    playing->bytes[2 * i] = uint8_t(samples[i]);
    playing->bytes[2 * i + 1] = uint8_t(uint16_t(samples[i]) >> 8);
  }
  playing->header.data = playing->bytes.data();
  playing->header.bufferLength = uint32_t(playing->bytes.size());
  LWaveDeviceFormat format;
  format.sampleRate = 8000;
  format.channels = 1;
  if (LWaveOutOpen(&playing->device, -1, format, true, nullptr) != kWaveOk ||
      playing->device->Prepare(&playing->header) != kWaveOk || playing->device->Write(&playing->header) != kWaveOk) {
    LDebugLog("LPlayResourceSound FAILED - it is possible you have not included the sound resource in the RC: %d",
              resourceId);
    return false;
  }
  // The device closes by itself once the sound is done (or after a second).
  std::thread([playing] {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (!playing->header.IsDone() && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    playing->device.reset();
  }).detach();
  return true;
}

#pragma once
// LSoundPlayer plays one source on an output device: a worker thread keeps
// up to 64 buffers of 100 ms queued and reports position, levels and state
// changes to a listener, always on the window thread (through EvNotify).
// Besides playing it pauses, seeks while playing or paused, and "cues":
// loops a quarter buffer at the current position until Play goes on from
// there.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "framework/lthread.h"
#include "platform/audio/wave_device.h"
#include "sound/level_record.h"
#include "sound/sound_stream.h"

class LSoundPlayerNotify {
 public:
  virtual ~LSoundPlayerNotify() = default;
  virtual void spntfPlay(uint32_t /*user*/) {}
  virtual void spntfStop(uint32_t /*user*/) {}
  virtual void spntfCue(uint32_t /*user*/) {}
  virtual void spntfPause(uint32_t /*user*/) {}
  virtual void spntfTime(int32_t /*milliseconds*/, uint32_t /*user*/) {}
  virtual void spntfLevel(const LLevelRecord& /*levels*/, uint32_t /*user*/) {}
};

struct LSoundPlayerWaveHeader {
  uint32_t capacity = 0;
  LWaveHeader header;
  LLevelRecord level;
};

class LSoundPlayer : public LThread, public LThreadQueuedNotify {
 public:
  static constexpr int kBufferCount = 64;
  static constexpr int kMinFramesPerBuffer = 20;
  static constexpr int kMaxFramesPerBuffer = 8192;
  static constexpr int kMaxFailedChecks = 64;  // more checks of a held buffer end playing
  static constexpr int kBufferWaitMs = 150;
  static constexpr int kPrefillBuffers = 42;
  static constexpr uint32_t kNoPosition = 0x80000000;

  enum Flags : uint16_t { kOpen = 0x01, kPaused = 0x02, kCueLoop = 0x04, kPrefill = 0x08, kTakeOff = 0x10 };
  enum StartMode { kStartPaused = 1, kStartPrefill = 2 };

  LSoundPlayer();
  ~LSoundPlayer() override;

  // 0 = the default output device, n >= 1 = output device n - 1.
  void SetDevice(uint32_t device) { device_ = device; }
  void SetNotify(LSoundPlayerNotify* listener, uint32_t user);

  bool Start(const LSoundSourceRef& source, int mode = 0);
  void Stop();
  void Pause();
  void Play();
  void Cue();
  void Seek(int position);

  bool IsOpen() const { return flags_ & kOpen; }
  bool IsPaused() const { return flags_ & kPaused; }
  uint16_t GetFlags() const { return flags_; }
  int FramesPerBuffer() const { return framesPerBuffer_; }
  // The source being played (the peak limiter when one was put in front).
  const LSoundSourceRef& Source() const { return lssSource; }

  // Frames per 100 ms buffer at a sample rate, within the limits above.
  static int FramesPerBufferFor(int32_t sampleRate);
  // The RMS level of each channel of frames x channels samples, in dB as the player reports it.
  static void ComputeRmsLevels(const int32_t* samples, int frames, int channels, LLevelRecord* levels);

 protected:
  void ThreadFunction() override;
  void EvNotify() override;

 private:
  void CueBuffer(LLevelRecord* cueLevel);
  int32_t Ms(int32_t frames) const;
  void ForgetPositions();
  void SetWorkerPriority(int priority);

  std::mutex lock_;
  PlatformEvent bufferEvent_;
  uint32_t device_ = 0;
  LSoundPlayerNotify defaultListener_;
  LSoundPlayerNotify* listener_ = &defaultListener_;
  uint32_t user_ = 0;
  int32_t position_ = 0;
  // Changed under lock_ (the window thread also reads it without).
  std::atomic<uint16_t> flags_{0};
  // A priority for the worker to take on at its next turn (kNoPriority: none).
  static constexpr int kNoPriority = -100;
  int workerPriority_ = kNoPriority;
  bool stopPending_ = false;
  bool timePending_ = false;
  std::vector<uint8_t> memory_;
  LSoundSourceRef lssSource;
  LLevelRecord level_;
  std::vector<int32_t> conversion_;
  std::unique_ptr<LWaveOut> waveOut_;
  int framesPerBuffer_ = 0;
  uint8_t channels_ = 1;
  std::array<LSoundPlayerWaveHeader, kBufferCount> buffers_;
  uint8_t currentBuffer_ = 0;
};

// Plays one of the program's own sounds asynchronously on the default output
// device; false when there is no such sound or no device. Sound 1 is the cue
// played before the student is recorded.
bool LPlayResourceSound(int resourceId);
// The samples of sound 1: 100 ms, 8000 Hz, mono, 16-bit.
std::vector<int16_t> LCueSoundSamples();

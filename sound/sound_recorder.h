#pragma once
// LSoundRecorder captures an input device into a sink. Voice activated
// (LVoiceActivation decides what is kept): it waits until a buffer is loud
// enough, keeps half a buffer of pre-roll, records, and after a quiet hold
// time cuts the pause back and waits again, so long pauses leave the
// recording. Reports levels, time and state to a listener on the window
// thread (through EvNotify); the worker only moves buffers.
//
//   idle -Start-> WAITING <-> RECORDING ; any -Stop / MaxTime-> idle
//
// Whenever the worker ends, the owner hears of it: a start that fails in time
// returns false; a worker that ends later by itself (a device that opened too
// slowly and failed, an input that stopped delivering for 2 s) ends the
// recording with what it holds and notifies srntfStop.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "framework/lthread.h"
#include "platform/audio/wave_device.h"
#include "sound/level_record.h"
#include "sound/sound_recorder_voice.h"
#include "sound/sound_stream.h"

class LSoundRecorderNotify {
 public:
  virtual ~LSoundRecorderNotify() = default;
  virtual void srntfRecord(uint32_t /*user*/) {}
  virtual void srntfWait(uint32_t /*user*/) {}
  virtual void srntfStop(uint32_t /*user*/) {}
  virtual void srntfTime(int32_t /*milliseconds*/, uint32_t /*user*/) {}
  virtual void srntfLevel(const LLevelRecord& /*levels*/, uint32_t /*user*/) {}
};

class LSoundRecorder : public LThread, public LThreadQueuedNotify {
 public:
  using State = LVoiceActivation::State;
  static constexpr State kIdle = LVoiceActivation::kIdle;
  static constexpr State WAITING = LVoiceActivation::WAITING;
  static constexpr State RECORDING = LVoiceActivation::RECORDING;
  enum StartMode { kRecordAtOnce = 2 };
  static constexpr int kBufferCount = 30;
  static constexpr int kWaitMs = 200;
  static constexpr int kInputStallMs = 2000;  // no buffer for longer ends the recording

  LSoundRecorder();
  ~LSoundRecorder() override;

  // 0 = the default input device, n >= 1 = input device n - 1.
  void SetDevice(uint8_t device) { device_ = device; }
  void SetNotify(LSoundRecorderNotify* listener, uint32_t user);

  bool Start(const LSoundSinkRef& sink, int32_t maxTime, int startLevel, int32_t hold, int mode = 0);
  bool Restart();
  void Stop();

  uint8_t GetState() const { return voice_.GetState(); }

 protected:
  void ThreadFunction() override;
  void EvNotify() override;

 private:
  bool StartWorker(int waitMs);

  uint8_t device_ = 0;
  LSoundRecorderNotify defaultListener_;
  LSoundRecorderNotify* listener_ = &defaultListener_;
  uint32_t user_ = 0;
  LVoiceActivation voice_;
  LSoundSinkRef sink_;
  PlatformEvent started_;
  std::mutex levelLock_;
  LLevelRecord level_;
  // Set by a worker that ended by itself (failed open, stalled input).
  std::atomic<bool> ended_{false};
  std::atomic<bool> maxTimePending_{false};
  std::atomic<bool> levelPending_{false};
  std::atomic<bool> statePending_{false};
};

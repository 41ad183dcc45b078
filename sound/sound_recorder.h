#pragma once
// LSoundRecorder captures an input device into a sink. Voice activated: it
// waits until a buffer is loud enough, keeps half a buffer of pre-roll,
// records, and after a quiet hold time cuts the pause back and waits again,
// so long pauses leave the recording. Reports levels, time and state to a
// listener on the window thread (through EvNotify).
//
//   idle -Start-> WAITING <-> RECORDING ; any -Stop / MaxTime-> idle
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "framework/lthread.h"
#include "platform/audio/wave_device.h"
#include "sound/level_record.h"
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
  enum State : uint8_t { kIdle = 0, WAITING = 1, RECORDING = 2 };
  enum StartMode { kRecordAtOnce = 2 };
  static constexpr int kBufferCount = 30;
  static constexpr int kWaitMs = 200;
  static constexpr int kCutBackMs = 450;  // a long pause is cut to this
  static constexpr int kTrailMs = 50;     // quiet kept after the last loud buffer at Stop

  LSoundRecorder();
  ~LSoundRecorder() override;

  // 0 = the default input device, n >= 1 = input device n - 1.
  void SetDevice(uint8_t device) { device_ = device; }
  void SetNotify(LSoundRecorderNotify* listener, uint32_t user);

  bool Start(const LSoundSinkRef& sink, int32_t maxTime, int startLevel, int32_t hold, int mode = 0);
  bool Restart();
  void Stop();

  uint8_t GetState() const { return state_; }

  // Whole dB of a peak on the internal scale (131072 = 0 dB), -127 for 0.
  static int PeakLevel(int32_t peak);
  // Per-channel peak levels of frames; returns the buffer level (channel 0,
  // or the louder of channels 0 and 1).
  static int ComputeLevels(const int32_t* samples, int frames, int channels, LLevelRecord* levels);

 protected:
  void ThreadFunction() override;
  void EvNotify() override;

 private:
  bool StartWorker(int waitMs);
  int32_t SinkMs() const;

  uint8_t device_ = 0;
  LSoundRecorderNotify defaultListener_;
  LSoundRecorderNotify* listener_ = &defaultListener_;
  uint32_t user_ = 0;
  std::atomic<uint8_t> state_{kIdle};
  LSoundSinkRef sink_;
  std::atomic<int32_t> time_{0};
  PlatformEvent started_;
  std::mutex levelLock_;
  LLevelRecord level_;
  int32_t MaxTime = 0;
  int startLevel_ = -127;
  int stopLevel_ = -127;
  int32_t hold_ = 0;
  std::atomic<bool> maxTimePending_{false};
  std::atomic<bool> levelPending_{false};
  std::atomic<bool> statePending_{false};
};

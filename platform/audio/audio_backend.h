#pragma once
// Inside the device layer: what each implementation provides, and the buffer
// queues both share (loops, done marking, reset) so that the two behave alike.
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/audio/wave_device.h"

class LAudioBackend {
 public:
  virtual ~LAudioBackend() = default;
  virtual int OpenOut(std::unique_ptr<LWaveOut>* device, int deviceId, const LWaveDeviceFormat& format, bool mapped,
                      LWaveDoneCallback done) = 0;
  virtual int OpenIn(std::unique_ptr<LWaveIn>* device, int deviceId, const LWaveDeviceFormat& format, bool mapped,
                     LWaveDoneCallback done) = 0;
  virtual std::vector<std::string> OutputNames() = 0;
  virtual std::vector<std::string> InputNames() = 0;
  // Input lines of input device index (0-based); names in line order.
  virtual std::vector<std::string> InputLines(int deviceIndex) = 0;
  // Makes line the device's selected input line.
  virtual void SetInputLine(int deviceIndex, int line) = 0;
  // Gives every open stream the current stream volume (LAudioStreamVolumeDb).
  virtual void ApplyStreamVolumes() = 0;
  // 0-based index of the default input device, -1 when unknown.
  virtual int DefaultInputIndex() = 0;
};

LAudioBackend& LAudioCurrentBackend();

// The stream volume of output (input = false) or input streams in dB, and as
// a factor on the samples (0 when silent).
int LAudioStreamVolumeDb(bool input);
double LAudioStreamGain(bool input);
LAudioBackend& LAudioVirtualBackend();
LAudioBackend& LAudioPulseBackend();

// Output buffers in play order. Not locked: the owner holds its own lock.
class LWaveOutQueue {
 public:
  void Add(LWaveHeader* header);
  // Copies up to bytes of queued audio to dst (null: discard); returns the
  // bytes taken. Sets *finished when a buffer became done. With `taken`,
  // finished buffers are handed there instead (still queued, not done) for
  // a device that marks them done once they have really been played.
  size_t Take(uint8_t* dst, size_t bytes, bool* finished, std::vector<LWaveHeader*>* taken = nullptr);
  // Marks every queued buffer done; true when there was any.
  bool ReturnAll();
  void BreakLoop() { breakLoop_ = true; }
  bool Empty() const { return queue_.empty(); }

 private:
  std::deque<LWaveHeader*> queue_;
  size_t current_ = 0;  // index of the buffer being played
  size_t offset_ = 0;   // bytes of it already taken
  bool inLoop_ = false;
  uint32_t loopsLeft_ = 0;
  bool breakLoop_ = false;
  size_t loopPassBytes_ = 0;
};

// Input buffers in fill order.
class LWaveInQueue {
 public:
  void Add(LWaveHeader* header);
  // Stores bytes of captured audio; returns how many found room.
  size_t Put(const uint8_t* src, size_t bytes, bool* finished);
  bool ReturnAll();
  bool Empty() const { return queue_.empty(); }

 private:
  std::deque<LWaveHeader*> queue_;
};

// Result of the common header checks of Write/AddBuffer.
int LWaveCheckQueueable(LWaveHeader* header);

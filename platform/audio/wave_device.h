#pragma once
// Waveform devices: the small set of output and input operations the sound
// player and recorder are written against. Buffers ("headers") are queued at
// a device, which marks each one done when it has taken (output) or filled
// (input) it and then calls the completion callback given at open.
//
// Threads: every operation may be called from any thread. The completion
// callback runs on the device's own thread (the sound server's mainloop or
// the virtual clock) and must not block; owners use it to set an event their
// worker waits on together with its stop signal.
//
// Two implementations sit behind the factory functions: the sound server
// (PulseAudio client library) and a virtual device with its own clock
// (platform/audio/virtual_audio.h). ORATIVO_AUDIO=virtual or
// LAudioSelectBackend picks the virtual one.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/wave_format.h"

// Result codes of device operations.
enum LWaveResult : int {
  kWaveOk = 0,
  kWaveError = 1,
  kWaveBadDevice = 2,  // no such device, or no sound server
  kWaveBadFormat = 32,
  kWaveStillPlaying = 33,  // the buffer is still queued at the device
  kWaveUnprepared = 34,
};

// Header flags.
constexpr uint32_t kWaveHeaderDone = 0x01;
constexpr uint32_t kWaveHeaderPrepared = 0x02;
constexpr uint32_t kWaveHeaderBeginLoop = 0x04;
constexpr uint32_t kWaveHeaderEndLoop = 0x08;
constexpr uint32_t kWaveHeaderInQueue = 0x10;

// A device is opened with a PCM wave-format record: {rate, channels, bits}.
using LWaveDeviceFormat = LWaveFormat;

// One buffer. The owner keeps the memory; the device touches data and
// bytesRecorded only while the buffer is queued (flag kWaveHeaderInQueue).
struct LWaveHeader {
  uint8_t* data = nullptr;
  uint32_t bufferLength = 0;   // bytes to play, or room to record into
  uint32_t bytesRecorded = 0;  // input: bytes filled
  uint32_t user = 0;
  std::atomic<uint32_t> flags{0};
  uint32_t loops = 0;  // with kWaveHeaderBeginLoop: times to play the loop

  bool IsDone() const { return (flags.load() & kWaveHeaderDone) != 0; }
  void SetFlag(uint32_t f) { flags.fetch_or(f); }
  void ClearFlag(uint32_t f) { flags.fetch_and(~f); }
};

using LWaveDoneCallback = std::function<void()>;

class LWaveOut {
 public:
  virtual ~LWaveOut() = default;  // closes the device; queued buffers are returned done
  virtual int Prepare(LWaveHeader* header);
  virtual int Unprepare(LWaveHeader* header);  // kWaveStillPlaying while queued
  virtual int Write(LWaveHeader* header) = 0;
  virtual int Pause() = 0;
  virtual int Restart() = 0;
  // Stops output and returns every queued buffer as done; the position
  // restarts at 0 and a paused device is no longer paused.
  virtual int Reset() = 0;
  // The loop that is playing finishes its current pass, then the queue goes on.
  virtual int BreakLoop() = 0;
  // Frames taken by the device since open or the last reset.
  virtual int64_t GetPosition() = 0;
};

class LWaveIn {
 public:
  virtual ~LWaveIn() = default;
  virtual int Prepare(LWaveHeader* header);
  virtual int Unprepare(LWaveHeader* header);
  virtual int AddBuffer(LWaveHeader* header) = 0;
  virtual int Start() = 0;
  virtual int Stop() = 0;
  // Stops capture and returns every queued buffer as done (bytesRecorded
  // tells how much of each was filled).
  virtual int Reset() = 0;
  virtual int64_t GetPosition() = 0;
};

// deviceId: -1 = the default device (what a stored device number 0 selects),
// n >= 0 = the n-th device of the list (stored number n + 1). mapped: let the
// system route and convert rather than insist on that exact device.
int LWaveOutOpen(std::unique_ptr<LWaveOut>* device, int deviceId, const LWaveDeviceFormat& format, bool mapped,
                 LWaveDoneCallback done);
int LWaveInOpen(std::unique_ptr<LWaveIn>* device, int deviceId, const LWaveDeviceFormat& format, bool mapped,
                LWaveDoneCallback done);

// Names of the devices (without the default entry), in device order; empty
// when no sound server can be reached.
std::vector<std::string> LWaveOutDeviceNames();
std::vector<std::string> LWaveInDeviceNames();

// Picks the implementation: "virtual" or "pulse". The environment variable
// ORATIVO_AUDIO (when set) wins over this; the default is "pulse".
void LAudioSelectBackend(const std::string& name);
bool LAudioIsVirtual();

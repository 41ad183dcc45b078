#pragma once
// The recorder's voice activation, apart from any device: it sees the input
// one buffer at a time and decides what of it goes to the sink.
//
//   WAITING --a buffer at or above the start level--> RECORDING
//       the second half of the buffer before goes first (pre-roll) when the
//       voice is already in the first half of this one
//   RECORDING --quiet (below start level - 4 dB) for longer than the hold-->
//       WAITING, the sink cut back to 450 ms after the last loud buffer
//
// Time is the sink's length in ms after the last buffer at or above the stop
// level. The worker feeds buffers; state and time may be read on any thread.
#include <atomic>
#include <cstdint>
#include <vector>

#include "sound/level_record.h"
#include "sound/sound_stream.h"

class LVoiceActivation {
 public:
  enum State : uint8_t { kIdle = 0, WAITING = 1, RECORDING = 2 };
  static constexpr int kCutBackMs = 450;  // a long pause is cut to this
  static constexpr int kTrailMs = 50;     // quiet kept after the last loud buffer at the end

  // What one buffer did.
  struct Step {
    LLevelRecord levels;  // the levels to report
    bool stateChanged = false;
    bool maxTimeReached = false;
  };

  // Whole dB of a peak on the internal scale (131072 = 0 dB), -127 for 0.
  static int PeakLevel(int32_t peak);
  // Per-channel peak levels of frames; returns the buffer level (channel 0,
  // or the louder of channels 0 and 1).
  static int ComputePeakLevels(const int32_t* samples, int frames, int channels, LLevelRecord* levels);

  // Start level in dB (the stop level is 4 dB below), hold in ms, maximum
  // length in ms (0 or less: none).
  void Configure(int startLevel, int32_t hold, int32_t maxTime);
  // Begins anew in state, the sink being timeMs long; no pre-roll yet.
  void Begin(State state, int32_t timeMs);
  // One buffer of frames x channels samples on the internal scale.
  Step Buffer(LSoundSinkBase& sink, const int32_t* samples, int frames, int channels);
  // Input captured after the last whole buffer: kept only while recording.
  void Remainder(LSoundSinkBase& sink, const int32_t* samples, int frames);
  // The end: the recording keeps 50 ms after its last loud buffer; idle after.
  void Finish(LSoundSinkBase& sink);
  void SetIdle() { state_ = kIdle; }

  State GetState() const { return State(state_.load()); }
  int32_t Time() const { return time_; }

 private:
  std::atomic<uint8_t> state_{kIdle};
  std::atomic<int32_t> time_{0};
  int startLevel_ = -127;
  int stopLevel_ = -127;
  int32_t hold_ = 0;
  int32_t maxTime_ = 0;
  std::vector<int32_t> previous_;
  bool havePreroll_ = false;
};

#pragma once
// The panel tests' virtual microphone (the tutor's tests record with it too).
#include <atomic>
#include <cmath>
#include <functional>
#include <memory>

#include "controls/record_panel.h"
#include "platform/audio/virtual_audio.h"
#include "tests/support/test_support.h"

namespace paneltest {

// Input frames come from signal(frame) (mono value, 16-bit) on every channel,
// eight times faster than real time: fast, yet slow enough for the recorder
// to keep up. At pauseAt frames the device's clock nearly stops, so a take
// holds the input up to there (plus at most one 10 ms device step) however
// fast the device runs.
class Microphone {
 public:
  using Signal = std::function<int16_t(int64_t frame)>;
  struct State {
    std::atomic<int64_t> pauseAt{INT64_MAX};
    std::atomic<bool> reached{false};
  };

  explicit Microphone(Signal signal) : state_(std::make_shared<State>()) {
    LVirtualAudioConfig config;
    config.speed = 8;
    config.inputGenerator = [state = state_, signal](int16_t* samples, int frames, int channels, int64_t position) {
      if (position >= state->pauseAt && !state->reached) {
        state->reached = true;
        LVirtualAudio::SetSpeed(0.0001);
      }
      for (int f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c) samples[f * channels + c] = signal(position + f);
    };
    LVirtualAudio::SetConfig(config);
  }
  ~Microphone() { LVirtualAudio::SetConfig(LVirtualAudioConfig()); }

  // Runs again and holds at frame.
  void PauseAt(int64_t frame) {
    state_->reached = false;
    state_->pauseAt = frame;
    LVirtualAudio::SetSpeed(8);
  }
  bool WaitPaused() {
    return testsupport::WaitFor([this] { return state_->reached.load(); });
  }

 private:
  std::shared_ptr<State> state_;
};

// A tone of amplitude (16-bit) between from and to seconds at rate, else otherwise.
inline Microphone::Signal ToneBetween(int rate, double from, double to, double amplitude,
                                      Microphone::Signal otherwise = nullptr) {
  return [=](int64_t frame) -> int16_t {
    double t = double(frame) / rate;
    if (t >= from && t < to) return int16_t(std::lround(amplitude * std::sin(2 * M_PI * 440 * t)));
    return otherwise ? otherwise(frame) : int16_t(0);
  };
}

}  // namespace paneltest

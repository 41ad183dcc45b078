#pragma once
// Helpers of the player and recorder tests: a source computed per frame,
// listeners that log what they hear, and a wait that runs the event loop.
#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/mixer.h"
#include "platform/audio/virtual_audio.h"
#include "sound/sound_player.h"
#include "sound/sound_recorder.h"
#include "sound/sound_stream.h"
#include "tests/support/memory_audio.h"
#include "tests/support/virtual_audio_scope.h"

namespace audiotest {

// Runs the window thread's event loop until pred holds or the limit passes.
inline bool PumpUntil(const std::function<bool()>& pred, int limitMs = 10000) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

inline void PumpFor(int ms) {
  PumpUntil([] { return false; }, ms);
}

// Frames from a function of (frame, channel), already on the internal scale.
class FunctionSource : public LSoundSourceBase {
 public:
  FunctionSource(int32_t rate, unsigned channels, int length, std::function<int32_t(int, int)> sample,
                 uint32_t maxAmplitude = kSampleFullScale)
      : LSoundSourceBase(rate, channels, maxAmplitude), length_(length), sample_(std::move(sample)) {}
  void Read(int32_t* buffer, int frames) override {
    for (int f = 0; f < frames; ++f, ++position_)
      for (int c = 0; c < channels; ++c)
        buffer[f * channels + c] = position_ >= 0 && position_ < length_ ? sample_(position_, c) : 0;
  }
  int GetPosition() override { return position_; }
  int GetLength() override { return length_; }
  void Seek(int position) override { position_ = position; }

 private:
  int position_ = 0;
  int length_;
  std::function<int32_t(int, int)> sample_;
};

// A source whose 16-bit output is its frame number (mod 30000): gaps and
// repeats show in what the device played.
inline LSoundSourceRef RampSource(int32_t rate, int length, unsigned channels = 1) {
  return LSoundSourceRef(new FunctionSource(rate, channels, length, [](int f, int) { return (f % 30000) * 16; }));
}

using testsupport::MemorySink;

struct Event {
  std::string what;
  int value = 0;
};

// What a listener heard, in order.
struct EventLog {
  int Count(const std::string& what) const {
    return int(std::count_if(events.begin(), events.end(), [&](const Event& e) { return e.what == what; }));
  }
  // The time reports, repeats dropped.
  std::vector<int> Times() const {
    std::vector<int> t;
    for (const Event& e : events)
      if (e.what == "time" && (t.empty() || t.back() != e.value)) t.push_back(e.value);
    return t;
  }
  std::vector<Event> events;
};

class PlayerLog : public LSoundPlayerNotify, public EventLog {
 public:
  void spntfPlay(uint32_t) override { events.push_back({"play"}); }
  void spntfStop(uint32_t) override { events.push_back({"stop"}); }
  void spntfCue(uint32_t) override { events.push_back({"cue"}); }
  void spntfPause(uint32_t) override { events.push_back({"pause"}); }
  void spntfTime(int32_t ms, uint32_t) override { events.push_back({"time", ms}); }
  void spntfLevel(const LLevelRecord& l, uint32_t) override { events.push_back({"level", l.level[0]}); }
};

// Times and levels are kept apart: they come with every buffer.
class RecorderLog : public LSoundRecorderNotify, public EventLog {
 public:
  void srntfRecord(uint32_t) override { events.push_back({"record"}); }
  void srntfWait(uint32_t) override { events.push_back({"wait"}); }
  void srntfStop(uint32_t) override { events.push_back({"stop"}); }
  void srntfTime(int32_t ms, uint32_t) override { lastTime = ms; }
  void srntfLevel(const LLevelRecord& l, uint32_t) override {
    lastLevel = l;
    levels++;
  }
  int lastTime = -1;
  int levels = 0;
  LLevelRecord lastLevel;
};

using testsupport::VirtualAudioScope;

}  // namespace audiotest

#pragma once
// Helpers of the player and recorder tests: a source computed per frame and
// listeners that log what they hear.
#include <algorithm>

#include "sound/sound_player.h"
#include "sound/sound_recorder.h"
#include "tests/support/memory_audio.h"
#include "tests/support/test_support.h"
#include "tests/support/virtual_audio_scope.h"

namespace audiotest {

using namespace testsupport;

// Frames from a function of (frame, channel), already on the internal scale.
inline LSoundSourceRef Generated(int32_t rate, unsigned channels, int length,
                                 const std::function<int32_t(int, int)>& sample,
                                 uint32_t maxAmplitude = kSampleFullScale) {
  std::vector<int32_t> samples(size_t(length) * channels);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = sample(int(i / channels), int(i % channels));
  return LSoundSourceRef(new testsupport::MemorySource(std::move(samples), rate, channels, maxAmplitude));
}

// A source whose 16-bit output is its frame number (mod 30000): gaps and
// repeats show in what the device played.
inline LSoundSourceRef RampSource(int32_t rate, int length) {
  return Generated(rate, 1, length, [](int f, int) { return (f % 30000) * 16; });
}

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

}  // namespace audiotest

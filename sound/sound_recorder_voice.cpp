#include "sound/sound_recorder_voice.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/debug_log.h"

int LVoiceActivation::PeakLevel(int32_t peak) {
  if (peak <= 0) return -127;
  double db = 20.0 * std::log10(double(peak) / 131072.0);
  db += peak >= 131072 ? 0.5 : -0.5;
  return std::clamp(int(db), -127, 127);
}

int LVoiceActivation::ComputePeakLevels(const int32_t* samples, int frames, int channels, LLevelRecord* levels) {
  levels->channels = uint8_t(channels);
  for (int c = 0; c < channels; ++c) {
    int64_t peak = 0;
    for (int f = 0; f < frames; ++f)
      peak = std::max<int64_t>(peak, std::abs(int64_t(samples[size_t(f) * size_t(channels) + size_t(c)])));
    levels->level[c] = int8_t(PeakLevel(int32_t(std::min<int64_t>(peak, INT32_MAX))));
  }
  if (channels < 1) return -127;
  if (channels == 1) return levels->level[0];
  return std::max(levels->level[0], levels->level[1]);
}

void LVoiceActivation::Configure(int startLevel, int32_t hold, int32_t maxTime) {
  startLevel_ = std::clamp(startLevel, -127, 127);
  stopLevel_ = std::max(startLevel_ - 4, -127);
  hold_ = hold;
  maxTime_ = maxTime;
}

void LVoiceActivation::Begin(State state, int32_t timeMs) {
  state_ = state;
  time_ = timeMs;
  havePreroll_ = false;
}

LVoiceActivation::Step LVoiceActivation::Buffer(LSoundSinkBase& sink, const int32_t* samples, int frames,
                                                int channels) {
  Step step;
  const int32_t rate = int32_t(sink.sampleRate);
  const size_t count = size_t(frames) * size_t(channels);
  int level = ComputePeakLevels(samples, frames, channels, &step.levels);
  if (GetState() == WAITING) {
    if (level < startLevel_) {
      previous_.assign(samples, samples + count);
      havePreroll_ = true;
    } else {
      // The reported levels become those of the first half.
      int firstHalf = ComputePeakLevels(samples, frames / 2, channels, &step.levels);
      if (firstHalf >= startLevel_ && havePreroll_)
        sink.Write(previous_.data() + size_t(frames / 2) * size_t(channels), frames - frames / 2);
      sink.Write(samples, frames);
      state_ = RECORDING;
      step.stateChanged = true;
      LDebugLog("LSoundRecorder::WindowProcWIMData VoiceActivatedStart WAITING->RECORDING");
    }
  } else if (GetState() == RECORDING) {
    sink.Write(samples, frames);
    int32_t t = LSoundTime::FramesToMs(sink.sPosition, rate);
    if (level < stopLevel_) {
      if (t - time_ > hold_) {
        sink.Seek(LSoundTime::MsToFrames(time_ + kCutBackMs, rate));
        state_ = WAITING;
        previous_.assign(samples, samples + count);
        havePreroll_ = true;
        step.stateChanged = true;
        LDebugLog("LSoundRecorder::ThreadFunction VoiceActivatedStop RECORDING->WAITING");
      }
    } else {
      time_ = t;
    }
    if (maxTime_ > 0 && t > maxTime_) {
      step.maxTimeReached = true;
      LDebugLog("LSoundRecorder::ThreadFunction Stop because MaxTime reached");
    }
  }
  return step;
}

void LVoiceActivation::Remainder(LSoundSinkBase& sink, const int32_t* samples, int frames) {
  if (GetState() == RECORDING && frames > 0) sink.Write(samples, frames);
}

void LVoiceActivation::Finish(LSoundSinkBase& sink) {
  time_ += kTrailMs;
  if (sink.sampleRate > 0 && LSoundTime::FramesToMs(sink.sPosition, int32_t(sink.sampleRate)) > time_)
    sink.Seek(LSoundTime::MsToFrames(time_, int32_t(sink.sampleRate)));
  state_ = kIdle;
  time_ = 0;
}

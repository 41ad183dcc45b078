#include "controls/panel_logic.h"

#include <algorithm>

#include "framework/settings.h"
#include "sound/sound_stream.h"

std::string LPanelTimeText(int32_t ms) { return LSoundTime(std::max(ms, 0)).GetTextHundredths(); }

int LPanelScrollPercent(int32_t positionMs, int32_t lengthMs) {
  if (lengthMs <= 0 || positionMs <= 0) return 0;
  return int(std::min<int64_t>(int64_t(positionMs) * 100 / lengthMs, 100));
}

int32_t LPanelScrollTarget(int code, int thumb, int32_t positionMs, int32_t lengthMs) {
  switch (code) {
    case kScrollLineLeft:
    case kScrollPageLeft:
      return std::max(positionMs - 2000, 0);
    case kScrollLineRight:
    case kScrollPageRight:
      return int32_t(std::min<int64_t>(int64_t(positionMs) + 2000, INT32_MAX));
    case kScrollThumbPosition:
    case kScrollThumbTrack:
      return int32_t(double(lengthMs) * thumb * 0.01);
    default:
      return -1;
  }
}

LPanelWaveView LPanelWaveViewAt(int32_t positionMs, int32_t rate, bool cueing, int32_t playerRate) {
  LPanelWaveView view;
  view.selectionStart = LSoundTime::MsToFrames(positionMs, rate);
  view.selectionLength = cueing ? LSoundTime::MsToFrames(25, playerRate) : 0;
  view.viewStart = std::max(view.selectionStart - rate, 0);
  view.viewLength = 2 * rate;
  return view;
}

LSeekRun::Speeds LSeekRun::SpeedsFor(Direction direction, PlayerState before) {
  // Scrubbing creeps; from idle or play the run starts near play speed.
  if (before == kCueing) return direction == kBack ? Speeds{-0.1, -3.0} : Speeds{0.1, 3.0};
  return direction == kBack ? Speeds{-0.5, -7.0} : Speeds{1.5, 7.0};
}

void LSeekRun::Begin(Direction direction, PlayerState before) {
  active_[direction] = true;
  before_ = before;
}

LSeekRun::PlayerState LSeekRun::End() {
  active_[kBack] = active_[kForward] = false;
  return before_;
}

LRecordOptions LRecordOptions::Load() {
  LRecordOptions options;
  options.autoTrim = RegGetSettingBool("Recorder", "Autotrim", true);
  options.voiceOperated = RegGetSettingBool("Recorder", "Vor", false);
  options.thresholdDb = std::clamp(RegGetSettingInt("Recorder", "Threshold", -24), kMinThreshold, kMaxThreshold);
  return options;
}

void LRecordOptions::Store() const {
  RegSetSettingBool("Recorder", "Autotrim", autoTrim);
  RegSetSettingBool("Recorder", "Vor", voiceOperated);
  RegSetSettingInt("Recorder", "Threshold", std::clamp(thresholdDb, kMinThreshold, kMaxThreshold));
}

int LRecordOptions::StartLevel() const { return autoTrim ? thresholdDb : -127; }

int32_t LRecordOptions::HoldMs() const { return autoTrim && voiceOperated ? kVoiceHoldMs : kNeverPauseMs; }

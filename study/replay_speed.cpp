#include "study/replay_speed.h"

#include <algorithm>
#include <cstdio>

#include "framework/settings.h"

namespace {

constexpr char kSection[] = "Settings";

}  // namespace

int SnapReplaySpeed(int percent) {
  int clamped = std::clamp(percent, kReplaySpeedMin, kReplaySpeedMax);
  int steps = (clamped - kReplaySpeedMin + kReplaySpeedStep / 2) / kReplaySpeedStep;
  return kReplaySpeedMin + steps * kReplaySpeedStep;
}

int ReadReplaySpeed() {
  int stored = RegGetUserSettingInt(kSection, "TutorSpeed", kReplaySpeedMax);
  // An unreadable text reads as 0: normal speed, not the slowest.
  return SnapReplaySpeed(stored > 0 ? stored : kReplaySpeedMax);
}

void StoreReplaySpeed(int percent) { RegSetUserSettingInt(kSection, "TutorSpeed", SnapReplaySpeed(percent)); }

double ReadReplayTempo() { return ReadReplaySpeed() / 100.0; }

bool ReadSlowThenNormal() { return RegGetUserSettingBool(kSection, "SlowThenNormal", false); }

void StoreSlowThenNormal(bool on) { RegSetUserSettingBool(kSection, "SlowThenNormal", on); }

std::vector<int> ReplaySpeedSteps() {
  std::vector<int> steps;
  for (int p = kReplaySpeedMax; p >= kReplaySpeedMin; p -= kReplaySpeedStep) steps.push_back(p);
  return steps;
}

std::string ReplaySpeedText(int percent) {
  char text[16];
  if (percent % 10 == 0)
    std::snprintf(text, sizeof text, "%d.%d\xC3\x97", percent / 100, percent / 10 % 10);
  else
    std::snprintf(text, sizeof text, "%d.%02d\xC3\x97", percent / 100, percent % 100);
  return text;
}

#include "study/replay_speed.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "framework/settings.h"

namespace {

constexpr char kSection[] = "Settings";

std::string_view Trimmed(std::string_view text) {
  const auto space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  return text;
}

// A speed written by hand as a factor ("0.75") rather than a percent; 0 if it is not one.
int PercentOfFactor(std::string_view text) {
  text = Trimmed(text);
  if (text.find('.') == std::string_view::npos) return 0;
  double factor = 0;
  // from_chars ignores the locale, which the application sets from the environment.
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), factor);
  if (error != std::errc() || end != text.data() + text.size() || !(factor >= 0.5 && factor <= 1.0)) return 0;
  return int(std::lround(factor * 100));
}

}  // namespace

int SnapReplaySpeed(int percent) {
  int clamped = std::clamp(percent, kReplaySpeedMin, kReplaySpeedMax);
  int steps = (clamped - kReplaySpeedMin + kReplaySpeedStep / 2) / kReplaySpeedStep;
  return kReplaySpeedMin + steps * kReplaySpeedStep;
}

int ReadReplaySpeed() {
  if (int percent = PercentOfFactor(RegGetUserSetting(kSection, "TutorSpeed", "")); percent > 0)
    return SnapReplaySpeed(percent);
  int stored = RegGetUserSettingInt(kSection, "TutorSpeed", kReplaySpeedMax);
  // An unreadable text reads as 0: normal speed, not the slowest.
  return SnapReplaySpeed(stored > 0 ? stored : kReplaySpeedMax);
}

void StoreReplaySpeed(int percent) { RegSetUserSettingInt(kSection, "TutorSpeed", SnapReplaySpeed(percent)); }

double ReadReplayTempo() { return ReadReplaySpeed() / 100.0; }

bool ReadSlowThenNormal() {
  // Edited by hand it may read "false" or "off": only a plain yes turns it on.
  std::string text(Trimmed(RegGetUserSetting(kSection, "SlowThenNormal", "")));
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
  return text == "1" || text == "true" || text == "yes" || text == "on";
}

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

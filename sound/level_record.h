#pragma once
// The level record the player and recorder report and the level meters show:
// a channel count n and n levels in whole dB relative to full scale.
#include <cstdint>

constexpr int8_t kLevelSilence = -127;

struct LLevelRecord {
  uint8_t channels = 1;
  int8_t level[256] = {kLevelSilence};

  static LLevelRecord Silence() { return LLevelRecord(); }
};

#pragma once
// The sample <-> pixel mapping of a waveform view and the column peaks.
// Window-free, so the view's arithmetic is tested without a window.
#include <array>
#include <cstdint>
#include <functional>

#include "sound/sound_stream.h"

constexpr int kWaveMaxColumns = 2048;
using LWaveColumns = std::array<uint8_t, kWaveMaxColumns>;

struct LWaveMapping {
  int width = 1;       // pixel columns, 1..kWaveMaxColumns
  double scale = 1.0;  // pixels per sample
  int32_t firstSample = 0;
  int32_t visibleLength = 0;  // 0: nothing computed yet
  int32_t scrollOffset = 0;   // first sample x scale, truncated

  // -1 when nothing is mapped or the sample lies left of the view; at most width.
  int SampleToPixel(int32_t sample) const;
  int32_t PixelToSample(int pixel) const;

  // Which columns a new view request leaves to compute, and how far the
  // columns already computed move (shift > 0: to the right).
  struct Change {
    int first = 0;
    int last = 0;  // exclusive
    int shift = 0;
  };
  Change Apply(int32_t start, int32_t length);
};

// Moves computed columns by shift (as the window content moves) and clears the uncovered ones.
void ShiftColumns(LWaveColumns& columns, int width, int shift);

// Column value of a peak: 255 above half of full scale, else the peak / 1024.
inline uint8_t ColumnValueOfPeak(uint32_t peak) { return peak > 0x3FC00 ? 255 : uint8_t(peak >> 10); }

// Computes columns [first, last) from source, reading in pieces of at most
// 8192 frames. After each column, columnDone(k) may say to stop (false);
// returns false then.
bool ComputeColumns(LSoundSourceBase& source, const LWaveMapping& mapping, int first, int last, LWaveColumns& columns,
                    const std::function<bool(int column)>& columnDone);

#pragma once
// The sample <-> pixel mapping of a waveform view, the column peaks, and the
// peak summary that coarse views are computed from.
// Window-free, so the view's arithmetic is tested without a window.
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

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

// The peaks of every kWavePeakBlock frames of a source, read once from its
// start and extended as far as views need, so that zooms and scrolls of a
// long file never read it again. Used by one thread at a time.
constexpr int kWavePeakBlock = 256;

class LWavePeakSummary {
 public:
  void Clear() { peaks_ = {}; }
  int64_t CoveredFrames() const { return int64_t(peaks_.size()) * kWavePeakBlock; }
  // Reads on from the covered end until at least upTo frames are covered, in
  // pieces of 8192 frames; keepGoing() after each piece may stop it (false).
  bool Extend(LSoundSourceBase& source, int64_t upTo, const std::function<bool()>& keepGoing);
  // The peak of the blocks that start within frames [from, to); 0 for blocks
  // not read yet.
  uint32_t Peak(int64_t from, int64_t to) const;

 private:
  std::vector<uint32_t> peaks_;
  std::vector<int32_t> buffer_;
};

// Views with at least a block's frames to each column come from the summary.
inline bool UsesPeakSummary(const LWaveMapping& mapping) { return mapping.scale * kWavePeakBlock <= 1.0; }

// ComputeColumns for such views: extends the summary as far as the columns
// need (never past the source's length) and takes their peaks from it.
bool ComputeColumnsFromSummary(LWavePeakSummary& summary, LSoundSourceBase& source, const LWaveMapping& mapping,
                               int first, int last, LWaveColumns& columns,
                               const std::function<bool(int column)>& columnDone,
                               const std::function<bool()>& keepGoing);

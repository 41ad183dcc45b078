#include "controls/wave_mapping.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

int LWaveMapping::SampleToPixel(int32_t sample) const {
  if (visibleLength == 0) return -1;
  double pixel = std::trunc(double(sample) * scale) - scrollOffset;
  if (pixel < 0) return -1;
  return int(std::min<double>(pixel, width));
}

int32_t LWaveMapping::PixelToSample(int pixel) const { return int32_t(std::trunc((pixel + scrollOffset) / scale)); }

LWaveMapping::Change LWaveMapping::Apply(int32_t start, int32_t length) {
  Change change;
  if (length <= 0) {  // nothing to show
    firstSample = start;
    visibleLength = 0;
    return change;
  }
  if (length != visibleLength) {
    scale = double(std::max(width, 8)) / length;
    scrollOffset = int32_t(std::trunc(start * scale));
    firstSample = start;
    visibleLength = length;
    change.last = width;
    return change;
  }
  if (start == firstSample) return change;
  int32_t newOffset = int32_t(std::trunc(start * scale));
  int shift = int(scrollOffset - newOffset);
  scrollOffset = newOffset;
  firstSample = start;
  change.shift = shift;
  if (shift == 0) return change;
  if (std::abs(shift) >= width) {
    change.last = width;
  } else if (shift > 0) {
    change.last = std::min(shift + 1, width);
  } else {
    change.first = std::max(0, width + shift - 1);
    change.last = width;
  }
  return change;
}

void ShiftColumns(LWaveColumns& columns, int width, int shift) {
  width = std::clamp(width, 0, kWaveMaxColumns);
  if (shift == 0) return;
  if (std::abs(shift) >= width) {
    std::memset(columns.data(), 0, size_t(width));
  } else if (shift > 0) {
    std::memmove(columns.data() + shift, columns.data(), size_t(width - shift));
    std::memset(columns.data(), 0, size_t(shift));
  } else {
    int s = -shift;
    std::memmove(columns.data(), columns.data() + s, size_t(width - s));
    std::memset(columns.data() + width - s, 0, size_t(s));
  }
}

bool ComputeColumns(LSoundSourceBase& source, const LWaveMapping& mapping, int first, int last, LWaveColumns& columns,
                    const std::function<bool(int column)>& columnDone) {
  constexpr int kPiece = 8192;
  first = std::clamp(first, 0, kWaveMaxColumns);
  last = std::clamp(last, first, kWaveMaxColumns);
  if (first == last) return true;
  const int channels = source.channels;
  std::vector<int32_t> buffer(size_t(kPiece) * channels);
  // The position is counted here, not asked of the source, so a faulty
  // source cannot hold the worker in an endless loop.
  int64_t position = mapping.PixelToSample(first);
  source.Seek(int32_t(position));
  for (int k = first; k < last; ++k) {
    const int64_t end = mapping.PixelToSample(k + 1);
    uint32_t peak = 0;
    while (position < end) {
      int frames = int(std::min<int64_t>(kPiece, end - position));
      source.Read(buffer.data(), frames);
      position += frames;
      for (size_t i = 0, n = size_t(frames) * channels; i < n; ++i)
        peak = std::max(peak, uint32_t(std::abs(int64_t(buffer[i]))));
    }
    columns[size_t(k)] = ColumnValueOfPeak(peak);
    if (columnDone && !columnDone(k)) return false;
  }
  return true;
}

namespace {

// Highest and lowest apart: a plain reduction the compiler vectorises.
inline uint32_t PeakOf(const int32_t* samples, size_t count) {
  int32_t high = 0, low = 0;
  for (size_t i = 0; i < count; ++i) {
    high = std::max(high, samples[i]);
    low = std::min(low, samples[i]);
  }
  return std::max(uint32_t(high), uint32_t(0) - uint32_t(low));
}

// With the block's sample count fixed at compile time, for the common layouts.
template <size_t kSamples>
void AppendBlockPeaks(const int32_t* samples, size_t blocks, std::vector<uint32_t>& peaks) {
  for (size_t block = 0; block < blocks; ++block) peaks.push_back(PeakOf(samples + block * kSamples, kSamples));
}

}  // namespace

bool LWavePeakSummary::Extend(LSoundSourceBase& source, int64_t upTo, const std::function<bool()>& keepGoing) {
  constexpr int kPiece = 32 * kWavePeakBlock;
  // Sources that scan their own bytes take larger pieces: each costs far less than a decode.
  constexpr size_t kDirectPieceBlocks = 256;
  if (CoveredFrames() >= upTo) return true;
  const int channels = source.channels;
  // Grown by doubling: views extend the summary a column at a time.
  const size_t needed = size_t((upTo + kWavePeakBlock - 1) / kWavePeakBlock) + kDirectPieceBlocks;
  if (needed > peaks_.capacity()) peaks_.reserve(std::max(needed, 2 * peaks_.capacity()));
  // A seek can cost a decode from a key point: only when another read moved the source.
  if (source.GetPosition() != CoveredFrames()) source.Seek(int32_t(CoveredFrames()));
  while (CoveredFrames() < upTo) {
    const size_t covered = peaks_.size();
    peaks_.resize(covered + kDirectPieceBlocks);
    if (!source.ReadBlockPeaks(peaks_.data() + covered, kDirectPieceBlocks, kWavePeakBlock)) {
      peaks_.resize(covered);
      buffer_.resize(size_t(kPiece) * channels);
      source.Read(buffer_.data(), kPiece);
      const size_t blocks = kPiece / kWavePeakBlock;
      if (channels == 1)
        AppendBlockPeaks<kWavePeakBlock>(buffer_.data(), blocks, peaks_);
      else if (channels == 2)
        AppendBlockPeaks<2 * kWavePeakBlock>(buffer_.data(), blocks, peaks_);
      else
        for (size_t block = 0; block < blocks; ++block)
          peaks_.push_back(
              PeakOf(buffer_.data() + block * kWavePeakBlock * channels, size_t(kWavePeakBlock) * channels));
    }
    if (keepGoing && !keepGoing()) return false;
  }
  return true;
}

uint32_t LWavePeakSummary::Peak(int64_t from, int64_t to) const {
  auto firstBlockAt = [this](int64_t frame) {
    int64_t block = frame <= 0 ? 0 : (frame + kWavePeakBlock - 1) / kWavePeakBlock;
    return size_t(std::min<int64_t>(block, int64_t(peaks_.size())));
  };
  const size_t begin = firstBlockAt(from), end = firstBlockAt(to);
  uint32_t peak = 0;
  for (size_t b = begin; b < end; ++b) peak = std::max(peak, peaks_[b]);
  return peak;
}

bool ComputeColumnsFromSummary(LWavePeakSummary& summary, LSoundSourceBase& source, const LWaveMapping& mapping,
                               int first, int last, LWaveColumns& columns,
                               const std::function<bool(int column)>& columnDone,
                               const std::function<bool()>& keepGoing) {
  first = std::clamp(first, 0, kWaveMaxColumns);
  last = std::clamp(last, first, kWaveMaxColumns);
  const int64_t length = std::max(source.GetLength(), 0);
  for (int k = first; k < last; ++k) {
    const int64_t from = mapping.PixelToSample(k), to = mapping.PixelToSample(k + 1);
    if (!summary.Extend(source, std::min(to, length), keepGoing)) return false;
    columns[size_t(k)] = ColumnValueOfPeak(summary.Peak(from, to));
    if (columnDone && !columnDone(k)) return false;
  }
  return true;
}

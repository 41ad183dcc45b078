#include "analysis/pitch_track.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kWindowSeconds = 0.025;
constexpr int kSmoothRadius = 7;    // frames either side for the octave check
constexpr int kShortestVoiced = 3;  // shorter voiced runs are taken as noise

// The period of one frame in samples, or 0 when unvoiced. x starts at the
// frame's first sample and holds window + maxLag + 1 samples.
double FramePeriod(const float* x, int window, int minLag, int maxLag, double threshold, std::vector<float>& d) {
  d[0] = 1;
  double running = 0;
  for (int tau = 1; tau <= maxLag; ++tau) {
    // Eight independent sums let the compiler use vector lanes without
    // reordering a single float sum.
    float lanes[8] = {};
    int j = 0;
    for (; j + 8 <= window; j += 8)
      for (int k = 0; k < 8; ++k) {
        float diff = x[j + k] - x[j + k + tau];
        lanes[k] += diff * diff;
      }
    float sum = ((lanes[0] + lanes[1]) + (lanes[2] + lanes[3])) + ((lanes[4] + lanes[5]) + (lanes[6] + lanes[7]));
    for (; j < window; ++j) {
      float diff = x[j] - x[j + tau];
      sum += diff * diff;
    }
    running += sum;
    d[size_t(tau)] = running > 0 ? float(sum * tau / running) : 1.0f;
  }
  int tau = -1;
  for (int t = minLag; t <= maxLag; ++t) {
    if (d[size_t(t)] < threshold) {
      while (t + 1 <= maxLag && d[size_t(t + 1)] < d[size_t(t)]) ++t;
      tau = t;
      break;
    }
  }
  if (tau < 0) return 0;
  double refined = tau;
  if (tau > 1 && tau < maxLag) {
    double a = d[size_t(tau - 1)], b = d[size_t(tau)], c = d[size_t(tau + 1)];
    double denominator = a - 2 * b + c;
    if (denominator > 0) refined += std::clamp(0.5 * (a - c) / denominator, -1.0, 1.0);
  }
  return refined;
}

// Frames an octave away from their neighbours' median are moved back to it;
// voiced runs too short to be speech are dropped.
void Smooth(std::vector<float>& hz) {
  const int n = int(hz.size());
  std::vector<float> octaves(hz.size());
  for (int i = 0; i < n; ++i) octaves[size_t(i)] = hz[size_t(i)] > 0 ? std::log2(hz[size_t(i)]) : 0;
  std::vector<float> around;
  for (int i = 0; i < n; ++i) {
    if (hz[size_t(i)] <= 0) continue;
    around.clear();
    for (int k = std::max(0, i - kSmoothRadius); k <= std::min(n - 1, i + kSmoothRadius); ++k)
      if (hz[size_t(k)] > 0) around.push_back(octaves[size_t(k)]);
    std::nth_element(around.begin(), around.begin() + around.size() / 2, around.end());
    float jump = octaves[size_t(i)] - around[around.size() / 2];
    if (std::fabs(jump - 1) < 0.3f)
      hz[size_t(i)] /= 2;
    else if (std::fabs(jump + 1) < 0.3f)
      hz[size_t(i)] *= 2;
  }
  for (int i = 0; i < n;) {
    if (hz[size_t(i)] <= 0) {
      ++i;
      continue;
    }
    int end = i;
    while (end < n && hz[size_t(end)] > 0) ++end;
    if (end - i < kShortestVoiced) std::fill(hz.begin() + i, hz.begin() + end, 0.0f);
    i = end;
  }
}

}  // namespace

int PitchFrames(size_t samples, int rate) {
  if (rate < 1000 || samples == 0) return 0;
  return int(double(samples) / (rate * kPitchFrameSeconds)) + 1;
}

std::vector<float> TrackPitch(const std::vector<float>& samples, int rate, const LPitchOptions& options,
                              const LAnalysisCancel& cancel) {
  if (rate < 1000 || samples.empty() || !(options.minHz > 0) || !(options.maxHz > options.minHz)) return {};
  const int window = int(rate * kWindowSeconds);
  const int minLag = std::max(2, int(rate / options.maxHz));
  const int maxLag = std::max(minLag + 2, int(std::ceil(rate / options.minHz)));
  const int span = window + maxLag + 1;
  const double hop = rate * kPitchFrameSeconds;
  const int frames = PitchFrames(samples.size(), rate);
  // Zeros around the recording, so every frame reads a whole span.
  std::vector<float> padded(size_t(span) + samples.size() + size_t(span), 0.0f);
  std::copy(samples.begin(), samples.end(), padded.begin() + span);
  std::vector<float> d(size_t(maxLag) + 1);
  std::vector<float> hz(size_t(frames), 0.0f);
  for (int i = 0; i < frames; ++i) {
    if (i % kCancelCheckFrames == 0 && AnalysisCancelled(cancel)) return {};
    const int64_t first = std::llround(i * hop) - span / 2 + span;
    double period = FramePeriod(padded.data() + first, window, minLag, maxLag, options.threshold, d);
    if (period > 0) hz[size_t(i)] = float(rate / period);
  }
  Smooth(hz);
  return hz;
}

#include "analysis/harmonic_clarity.h"

#include <cmath>
#include <numbers>

#include "analysis/pitch_track.h"

namespace {

// Energy at hz of x[0, n) under a Hann window.
double EnergyAt(const float* x, int n, double hz, int rate, const std::vector<float>& window) {
  const double step = 2 * std::numbers::pi * hz / rate;
  // The rotation by recurrence: one complex multiply a sample.
  const double c = std::cos(step), s = std::sin(step);
  double re = 0, im = 0, cr = 1, ci = 0;
  for (int i = 0; i < n; ++i) {
    double v = double(window[size_t(i)]) * x[i];
    re += v * cr;
    im += v * ci;
    double next = cr * c - ci * s;
    ci = cr * s + ci * c;
    cr = next;
  }
  return re * re + im * im;
}

}  // namespace

LHarmonicClarity MeasureHarmonicClarity(const std::vector<float>& samples, int rate, double maxHz) {
  LHarmonicClarity result;
  if (rate <= 0 || samples.empty()) return result;
  const std::vector<float> pitch = TrackPitch(samples, rate);
  double at = 0, between = 0;
  std::vector<float> window;
  for (size_t i = 1; i + 1 < pitch.size(); ++i) {
    // Steady voicing only: a frame whose neighbours are voiced near the same pitch.
    const double f0 = pitch[i];
    if (f0 <= 0 || pitch[i - 1] <= 0 || pitch[i + 1] <= 0) continue;
    if (std::fabs(pitch[i - 1] / f0 - 1) > 0.03 || std::fabs(pitch[i + 1] / f0 - 1) > 0.03) continue;
    const int n = int(std::lround(6 * rate / f0));
    const long start = long(std::lround(i * kPitchFrameSeconds * rate)) - n / 2;
    if (start < 0 || start + n > long(samples.size())) continue;
    if (window.size() != size_t(n)) {
      window.resize(size_t(n));
      for (int k = 0; k < n; ++k) window[size_t(k)] = float(0.5 - 0.5 * std::cos(2 * std::numbers::pi * k / n));
    }
    const float* x = samples.data() + start;
    for (int k = 1; (k + 0.5) * f0 < std::min(maxHz, rate / 2.0); ++k) {
      at += EnergyAt(x, n, k * f0, rate, window);
      between += EnergyAt(x, n, (k + 0.5) * f0, rate, window);
    }
    ++result.voicedFrames;
  }
  if (at > 0 && between > 0) result.betweenDb = 10 * std::log10(between / at);
  return result;
}

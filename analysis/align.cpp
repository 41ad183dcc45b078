#include "analysis/align.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>

#include "analysis/fft.h"

namespace {

constexpr double kWindowSeconds = 0.025, kShortestWindowSeconds = 0.02;
constexpr int kMelBands = 24;
constexpr int kCepstra = 12;
constexpr double kLowHz = 100, kHighHz = 6000;
constexpr int64_t kMinBand = 50;           // frames: a student may start half a second off the diagonal
constexpr int64_t kMaxCells = 16'000'000;  // 64 MB of path costs

double Mel(double hz) { return 2595 * std::log10(1 + hz / 700); }
double HzOfMel(double mel) { return 700 * (std::pow(10, mel / 2595) - 1); }

}  // namespace

std::vector<std::vector<float>> CepstralFeatures(const std::vector<float>& samples, int rate,
                                                 const LAnalysisCancel& cancel) {
  if (rate < 1000 || samples.empty()) return {};
  // 20 to 25 ms: the window is cut to the transform size rather than
  // doubling the transform for a few samples.
  int fftSize = 1;
  while (fftSize < int(rate * kShortestWindowSeconds)) fftSize <<= 1;
  const int window = std::min(fftSize, int(rate * kWindowSeconds));
  const double hop = rate * kAlignFrameSeconds;
  const int frames = int(double(samples.size()) / hop) + 1;

  // Triangular mel filters over the FFT bins.
  const double high = std::min(kHighHz, rate / 2.0);
  std::vector<double> edges(kMelBands + 2);
  for (int b = 0; b < kMelBands + 2; ++b)
    edges[size_t(b)] = HzOfMel(Mel(kLowHz) + (Mel(high) - Mel(kLowHz)) * b / (kMelBands + 1));
  const int bins = fftSize / 2 + 1;
  // Each filter as its first bin and weights, since most bins are outside it.
  std::vector<int> filterStart(kMelBands);
  std::vector<std::vector<float>> filters(kMelBands);
  for (int b = 0; b < kMelBands; ++b)
    for (int k = 0; k < bins; ++k) {
      double hz = double(k) * rate / fftSize, lo = edges[size_t(b)], mid = edges[size_t(b) + 1],
             hi = edges[size_t(b) + 2];
      if (hz <= lo || hz >= hi) continue;
      if (filters[size_t(b)].empty()) filterStart[size_t(b)] = k;
      filters[size_t(b)].push_back(float(hz <= mid ? (hz - lo) / (mid - lo) : (hi - hz) / (hi - mid)));
    }
  std::vector<float> dct(size_t(kCepstra) * kMelBands);
  for (int c = 1; c <= kCepstra; ++c)
    for (int b = 0; b < kMelBands; ++b)
      dct[size_t((c - 1) * kMelBands + b)] = float(std::cos(std::numbers::pi * c * (b + 0.5) / kMelBands));
  std::vector<float> hann(static_cast<size_t>(window));
  for (int i = 0; i < window; ++i) hann[size_t(i)] = float(0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / window));

  std::vector<std::vector<float>> energies(static_cast<size_t>(frames), std::vector<float>(kMelBands));
  std::vector<std::complex<float>> spectrum(static_cast<size_t>(fftSize));
  const LFft fft{size_t(fftSize)};
  float loudest = 0;
  std::vector<float> power[2] = {std::vector<float>(size_t(bins)), std::vector<float>(size_t(bins))};
  // Two real frames per transform, one as the real part and one as the
  // imaginary part, taken apart again by the spectrum's symmetry.
  for (int f = 0; f < frames; f += 2) {
    if (f % kCancelCheckFrames == 0 && AnalysisCancelled(cancel)) return {};
    std::fill(spectrum.begin(), spectrum.end(), std::complex<float>(0, 0));
    for (int part = 0; part < 2 && f + part < frames; ++part) {
      const int64_t first = std::llround((f + part) * hop) - window / 2;
      for (int i = 0; i < window; ++i) {
        int64_t j = first + i;
        if (j < 0 || j >= int64_t(samples.size())) continue;
        float v = samples[size_t(j)] * hann[size_t(i)];
        spectrum[size_t(i)] += part == 0 ? std::complex<float>(v, 0) : std::complex<float>(0, v);
      }
    }
    fft.Transform(spectrum.data());
    for (int k = 0; k < bins; ++k) {
      const std::complex<float> z = spectrum[size_t(k)], mirror = std::conj(spectrum[size_t((fftSize - k) % fftSize)]);
      power[0][size_t(k)] = 0.25f * std::norm(z + mirror);
      power[1][size_t(k)] = 0.25f * std::norm(z - mirror);
    }
    for (int part = 0; part < 2 && f + part < frames; ++part) {
      for (int b = 0; b < kMelBands; ++b) {
        float e = 0;
        const float* at = power[part].data() + filterStart[size_t(b)];
        for (size_t k = 0; k < filters[size_t(b)].size(); ++k) e += filters[size_t(b)][k] * at[k];
        energies[size_t(f + part)][size_t(b)] = e;
        loudest = std::max(loudest, e);
      }
    }
  }
  // A floor 60 dB under the loudest band keeps silence from ruling the distances.
  const float floor = std::max(loudest * 1e-6f, 1e-20f);
  std::vector<std::vector<float>> features(size_t(frames), std::vector<float>(kCepstra, 0.0f));
  std::vector<double> mean(kCepstra, 0.0);
  for (int f = 0; f < frames; ++f) {
    for (float& e : energies[size_t(f)]) e = std::log(e + floor);
    for (int c = 0; c < kCepstra; ++c) {
      float sum = 0;
      for (int b = 0; b < kMelBands; ++b) sum += energies[size_t(f)][size_t(b)] * dct[size_t(c * kMelBands + b)];
      features[size_t(f)][size_t(c)] = sum;
      mean[size_t(c)] += sum;
    }
  }
  // Removing the mean takes out the microphone's and the voice's fixed colouring.
  for (auto& row : features)
    for (int c = 0; c < kCepstra; ++c) row[size_t(c)] -= float(mean[size_t(c)] / frames);
  return features;
}

std::vector<LAlignPair> AlignFeatures(const std::vector<std::vector<float>>& tutor,
                                      const std::vector<std::vector<float>>& student, const LAnalysisCancel& cancel) {
  const int64_t n = int64_t(tutor.size()), m = int64_t(student.size());
  if (n == 0 || m == 0) return {};
  // Row i may use columns [lo[i], hi[i]] around the diagonal i (m-1)/(n-1).
  const int64_t slope = (m + n - 1) / n;
  // Long recordings get a narrower band, so memory stays bounded.
  const int64_t widest = std::max<int64_t>(kMinBand, kMaxCells / n / 2);
  const int64_t band = std::max(std::min<int64_t>(std::max<int64_t>(kMinBand, std::max(n, m) / 5), widest), slope + 1);
  std::vector<int64_t> lo(static_cast<size_t>(n)), hi(static_cast<size_t>(n)), offset(size_t(n) + 1, 0);
  for (int64_t i = 0; i < n; ++i) {
    int64_t centre = n > 1 ? i * (m - 1) / (n - 1) : 0;
    lo[size_t(i)] = std::max<int64_t>(0, centre - band);
    hi[size_t(i)] = std::min<int64_t>(m - 1, centre + band);
    offset[size_t(i) + 1] = offset[size_t(i)] + hi[size_t(i)] - lo[size_t(i)] + 1;
  }
  constexpr float kInf = std::numeric_limits<float>::infinity();
  std::vector<float> cost(static_cast<size_t>(offset.back()), kInf);
  auto at = [&](int64_t i, int64_t j) -> float {
    if (i < 0 || j < lo[size_t(i)] || j > hi[size_t(i)]) return kInf;
    return cost[size_t(offset[size_t(i)] + j - lo[size_t(i)])];
  };
  for (int64_t i = 0; i < n; ++i) {
    if (i % kCancelCheckFrames == 0 && AnalysisCancelled(cancel)) return {};
    for (int64_t j = lo[size_t(i)]; j <= hi[size_t(i)]; ++j) {
      float d = 0;
      for (size_t c = 0; c < tutor[size_t(i)].size(); ++c) {
        float diff = tutor[size_t(i)][c] - student[size_t(j)][c];
        d += diff * diff;
      }
      d = std::sqrt(d);
      float best = i == 0 && j == 0 ? 0 : std::min({at(i - 1, j - 1) + 2 * d, at(i - 1, j) + d, at(i, j - 1) + d});
      if (i == 0 && j == 0) best = d;
      cost[size_t(offset[size_t(i)] + j - lo[size_t(i)])] = best;
    }
  }
  // Back from the end, collecting each tutor frame's student frames.
  std::vector<double> sum(size_t(n), 0.0);
  std::vector<int> count(size_t(n), 0);
  int64_t i = n - 1, j = m - 1;
  for (;;) {
    sum[size_t(i)] += double(j);
    ++count[size_t(i)];
    if (i == 0 && j == 0) break;
    float diagonal = i > 0 && j > 0 ? at(i - 1, j - 1) : kInf, up = i > 0 ? at(i - 1, j) : kInf,
          left = j > 0 ? at(i, j - 1) : kInf;
    if (diagonal <= up && diagonal <= left)
      --i, --j;
    else if (up <= left)
      --i;
    else
      --j;
  }
  std::vector<LAlignPair> pairs(static_cast<size_t>(n));
  for (int64_t k = 0; k < n; ++k)
    pairs[size_t(k)] = {double(k) * kAlignFrameSeconds, sum[size_t(k)] / count[size_t(k)] * kAlignFrameSeconds};
  return pairs;
}

std::vector<LAlignPair> AlignRecordings(const std::vector<float>& tutor, int tutorRate,
                                        const std::vector<float>& student, int studentRate,
                                        const LAnalysisCancel& cancel) {
  auto tutorFeatures = CepstralFeatures(tutor, tutorRate, cancel);
  auto studentFeatures = CepstralFeatures(student, studentRate, cancel);
  return AlignFeatures(tutorFeatures, studentFeatures, cancel);
}

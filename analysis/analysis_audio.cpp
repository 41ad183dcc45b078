#include "analysis/analysis_audio.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "sound/files/audio_file_open.h"

namespace {

constexpr int kTargetRate = 16000;
constexpr int kMaxSeconds = 300;  // expressions are seconds long; this bounds memory

// Windowed-sinc low-pass at 90% of the new Nyquist frequency, then every factor-th sample.
std::vector<float> Decimate(const std::vector<float>& x, int factor, const LAnalysisCancel& cancel) {
  const int half = 8 * factor;
  const double cutoff = 0.9 * 0.5 / factor;  // in cycles per input sample
  std::vector<float> taps(static_cast<size_t>(2 * half + 1));
  double sum = 0;
  for (int k = -half; k <= half; ++k) {
    double sinc = k == 0 ? 2 * cutoff : std::sin(2 * std::numbers::pi * cutoff * k) / (std::numbers::pi * k);
    double w = 0.5 + 0.5 * std::cos(std::numbers::pi * k / (half + 1));
    taps[size_t(k + half)] = float(sinc * w);
    sum += sinc * w;
  }
  for (float& t : taps) t = float(t / sum);
  std::vector<float> y(x.size() / size_t(factor));
  const int64_t n = int64_t(x.size());
  for (size_t i = 0; i < y.size(); ++i) {
    if (i % 16384 == 0 && AnalysisCancelled(cancel)) return {};
    int64_t c = int64_t(i) * factor;
    float acc = 0;
    for (int k = -half; k <= half; ++k) {
      int64_t j = c + k;
      if (j >= 0 && j < n) acc += taps[size_t(k + half)] * x[size_t(j)];
    }
    y[i] = acc;
  }
  return y;
}

}  // namespace

LAnalysisAudio AnalysisAudioFrom(const LSoundSourceRef& source, const LAnalysisCancel& cancel) {
  LAnalysisAudio audio;
  if (!source.IsUsable() || source->sampleRate < 1000 || source->channels < 1) return audio;
  const int channels = source->channels;
  const int frames =
      int(std::clamp<int64_t>(source->GetLength(), 0, int64_t(kMaxSeconds) * std::min(source->sampleRate, 192000)));
  std::vector<float> mono(static_cast<size_t>(frames));
  std::vector<int32_t> block(size_t(4096) * channels);
  source->Seek(0);
  const float scale = 1.0f / float(kSampleFullScale) / float(channels);
  for (int done = 0; done < frames;) {
    if (AnalysisCancelled(cancel)) return audio;
    int n = std::min(4096, frames - done);
    source->Read(block.data(), n);
    for (int f = 0; f < n; ++f) {
      float sum = 0;
      for (int c = 0; c < channels; ++c) sum += float(block[size_t(f * channels + c)]);
      mono[size_t(done + f)] = sum * scale;
    }
    done += n;
  }
  const int factor = std::max(1, source->sampleRate / kTargetRate);
  audio.samples = factor > 1 ? Decimate(mono, factor, cancel) : std::move(mono);
  if (AnalysisCancelled(cancel)) return {};
  audio.rate = source->sampleRate / factor;
  return audio;
}

LAnalysisAudio AnalysisAudioFromFile(const std::string& path) { return AnalysisAudioFrom(OpenAudioFileSource(path)); }

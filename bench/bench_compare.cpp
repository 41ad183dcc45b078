// The compare view over a 10 s pair: the analysis the worker does (pitch of
// both takes, alignment, tracks) and the drawing of the result, apart and
// together. The goal for both together is 200 ms.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "study/compare_view.h"

namespace {

constexpr int kRate = 16000;

// Voiced syllables (harmonic glides under an envelope) with short pauses.
LAnalysisAudio Syllables(double seconds, double f0) {
  LAnalysisAudio audio{std::vector<float>(size_t(seconds * kRate)), kRate};
  double phase = 0;
  for (size_t i = 0; i < audio.samples.size(); ++i) {
    double t = double(i) / kRate, syllable = std::fmod(t, 0.25) / 0.25;
    phase += 2 * std::numbers::pi * f0 * (1 + 0.3 * std::sin(t * 1.7)) / kRate;
    double s = 0;
    for (int k = 1; k <= 10; ++k) s += std::sin(k * phase) / k;
    audio.samples[i] = float((syllable < 0.8 ? std::sin(std::numbers::pi * syllable / 0.8) : 0) * s * 0.3);
  }
  return audio;
}

const LAnalysisAudio& Tutor() {
  static const LAnalysisAudio a = Syllables(10, 120);
  return a;
}
const LAnalysisAudio& Student() {
  static const LAnalysisAudio a = Syllables(11.5, 210);
  return a;
}

void Draw(CompareView& view) {
  QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
  view.render(&image);
  benchmark::DoNotOptimize(image.constBits());
}

void AnalyseAndDraw(benchmark::State& state) {
  CompareView view;
  view.resize(760, 360);
  for (auto _ : state) {
    view.SetResult(AnalyseTakes(Tutor(), Student()));
    Draw(view);
  }
}
BENCHMARK(AnalyseAndDraw)->Unit(benchmark::kMillisecond);

void DrawOnly(benchmark::State& state) {
  CompareView view;
  view.resize(760, 360);
  view.SetResult(AnalyseTakes(Tutor(), Student()));
  for (auto _ : state) Draw(view);
}
BENCHMARK(DrawOnly)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

// VOK decoding speed: frames decoded per second, shown as a multiple of real time.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "sound/files/vok_encoder.h"
#include "sound/files/vok_file.h"

namespace {

// Ten seconds of a voice-like signal (a few harmonics under a slow envelope), encoded once.
std::string MakeFile(int rate, int channels) {
  const std::string path = "/tmp/bench_vok_" + std::to_string(getpid()) + "_" + std::to_string(rate) + "_" +
                           std::to_string(channels) + ".vok";
  const int frames = rate * 10;
  std::vector<int32_t> samples(size_t(frames) * channels);
  for (int i = 0; i < frames; ++i) {
    const double t = double(i) / rate;
    const double envelope = 0.5 + 0.5 * std::sin(2 * M_PI * 3 * t);
    const double v = envelope * (0.5 * std::sin(2 * M_PI * 140 * t) + 0.3 * std::sin(2 * M_PI * 420 * t) +
                                 0.2 * std::sin(2 * M_PI * 1310 * t));
    for (int q = 0; q < channels; ++q) samples[size_t(i) * channels + q] = int32_t(v * 300000 / (q + 1));
  }
  WriteVOKFile(path, samples, uint32_t(rate), unsigned(channels));
  return path;
}

void DecodeVOK(benchmark::State& state) {
  const int rate = int(state.range(0));
  const int channels = int(state.range(1));
  const std::string path = MakeFile(rate, channels);
  LSRCVOKFile source(path);
  if (source.error != kSoundOk) {
    state.SkipWithError("cannot open the encoded file");
    return;
  }
  const int length = source.GetLength();
  std::vector<int32_t> buffer(size_t(8192) * channels);
  int64_t frames = 0;
  for (auto _ : state) {
    source.Seek(0);
    for (int done = 0; done < length; done += 8192) {
      source.Read(buffer.data(), 8192);
      benchmark::DoNotOptimize(buffer.data());
    }
    frames += length;
  }
  state.counters["x_realtime"] = benchmark::Counter(double(frames) / rate, benchmark::Counter::kIsRate);
  state.SetItemsProcessed(frames);
  std::remove(path.c_str());
}
BENCHMARK(DecodeVOK)->Args({22050, 1})->Args({44100, 2})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

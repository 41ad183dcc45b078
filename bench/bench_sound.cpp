// Sound engine throughput: WAV reading against a plain read()+convert loop,
// the peak limiter on speech that needs no gain against a plain copy, and
// the time stretch as a multiple of real time.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sound/files/wave_file.h"
#include "sound/processors.h"

namespace {

constexpr int kRate = 44100;
constexpr int kFrames = kRate * 20;  // 20 s of stereo

// Speech-like material (tones under an uneven envelope) peaking at peak.
std::vector<int16_t> Speech(int frames, double peak) {
  std::vector<int16_t> v(size_t(frames) * 2);
  for (int i = 0; i < frames; ++i) {
    double t = double(i) / kRate;
    double envelope = std::fabs(std::sin(t * 3.1)) * (0.6 + 0.4 * std::sin(t * 11.0));
    double s =
        0.5 * std::sin(t * 2 * M_PI * 180) + 0.3 * std::sin(t * 2 * M_PI * 730) + 0.2 * std::sin(t * 2 * M_PI * 2300);
    v[2 * size_t(i)] = v[2 * size_t(i) + 1] = int16_t(peak * envelope * s);
  }
  return v;
}

const std::string& WavePath() {
  static const std::string path = [] {
    const char* folder = std::getenv("TMPDIR");
    std::string p = std::string(folder ? folder : "/tmp") + "/bench_sound_" + std::to_string(getpid()) + ".wav";
    std::vector<int16_t> samples = Speech(kFrames, 30000);
    std::vector<int32_t> internal(samples.begin(), samples.end());
    for (int32_t& s : internal) s = SampleFrom16(int16_t(s));
    LWaveFile::OpenSinkPCM(p, kRate, 2, 16, 0)->Write(internal.data(), kFrames);
    std::atexit([] { unlink(WavePath().c_str()); });
    return p;
  }();
  return path;
}

// Samples in memory, repeated without end in both directions.
class LoopSource : public LSoundSourceBase {
 public:
  explicit LoopSource(std::vector<int32_t> samples)
      : LSoundSourceBase(kRate, 2, 0x200000), samples_(std::move(samples)) {}
  void Read(int32_t* buffer, int frames) override {
    const int length = GetLength();
    while (frames > 0) {
      int at = ((position_ % length) + length) % length;
      int n = std::min(frames, length - at);
      std::memcpy(buffer, samples_.data() + size_t(at) * 2, size_t(n) * 2 * sizeof(int32_t));
      buffer += size_t(n) * 2;
      frames -= n;
      position_ += n;
    }
  }
  int GetPosition() override { return position_; }
  int GetLength() override { return int(samples_.size() / 2); }
  void Seek(int position) override { position_ = position; }

 private:
  std::vector<int32_t> samples_;
  int position_ = 0;
};

std::vector<int32_t> SpeechInternal(double peak) {
  std::vector<int16_t> s = Speech(kRate * 5, peak);
  std::vector<int32_t> v(s.size());
  for (size_t i = 0; i < s.size(); ++i) v[i] = SampleFrom16(s[i]);
  return v;
}

void WaveRead(benchmark::State& state) {
  std::vector<int32_t> buffer(size_t(kWaveFramesPerBlock) * 2);
  int64_t frames = 0;
  for (auto _ : state) {
    LSoundSourceRef source = LWaveFile::OpenSource(WavePath());
    while (source->GetPosition() < source->GetLength()) {
      source->Read(buffer.data(), kWaveFramesPerBlock);
      frames += kWaveFramesPerBlock;
    }
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetItemsProcessed(frames);
}
BENCHMARK(WaveRead)->Unit(benchmark::kMillisecond);

// The baseline: read() 8192 frames at a time and widen them.
void WavePlainLoop(benchmark::State& state) {
  std::vector<int16_t> bytes(size_t(kWaveFramesPerBlock) * 2);
  std::vector<int32_t> buffer(bytes.size());
  int64_t frames = 0;
  for (auto _ : state) {
    int fd = open(WavePath().c_str(), O_RDONLY);
    lseek(fd, kWaveSinkHeaderSize, SEEK_SET);
    ssize_t got;
    while ((got = read(fd, bytes.data(), bytes.size() * 2)) > 0) {
      size_t samples = size_t(got) / 2;
      for (size_t i = 0; i < samples; ++i) buffer[i] = int32_t(bytes[i]) * 16;
      frames += int64_t(samples / 2);
    }
    close(fd);
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetItemsProcessed(frames);
}
BENCHMARK(WavePlainLoop)->Unit(benchmark::kMillisecond);

// Speech that needs no gain, read in player-sized blocks.
void PlainCopy(benchmark::State& state) {
  LSoundSourceRef source(new LoopSource(SpeechInternal(30000)));
  std::vector<int32_t> buffer(size_t(kWaveFramesPerBlock) * 2);
  for (auto _ : state) {
    source->Read(buffer.data(), kWaveFramesPerBlock);
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetItemsProcessed(state.iterations() * kWaveFramesPerBlock);
}
BENCHMARK(PlainCopy);

void PeakLimitQuietSpeech(benchmark::State& state) {
  LSoundSourceRef source(new LSRCPeakLimit(LSoundSourceRef(new LoopSource(SpeechInternal(30000))), kSampleFullScale));
  std::vector<int32_t> buffer(size_t(kWaveFramesPerBlock) * 2);
  for (auto _ : state) {
    source->Read(buffer.data(), kWaveFramesPerBlock);
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetItemsProcessed(state.iterations() * kWaveFramesPerBlock);
}
BENCHMARK(PeakLimitQuietSpeech);

void PeakLimitLoudSpeech(benchmark::State& state) {
  std::vector<int32_t> loud = SpeechInternal(30000);
  for (int32_t& s : loud) s *= 3;
  LSoundSourceRef source(new LSRCPeakLimit(LSoundSourceRef(new LoopSource(loud)), kSampleFullScale));
  std::vector<int32_t> buffer(size_t(kWaveFramesPerBlock) * 2);
  for (auto _ : state) {
    source->Read(buffer.data(), kWaveFramesPerBlock);
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetItemsProcessed(state.iterations() * kWaveFramesPerBlock);
}
BENCHMARK(PeakLimitLoudSpeech);

// The same comparison with a WAV file as the inner source, as when playing.
void WaveSourceAlone(benchmark::State& state) {
  LSoundSourceRef source = LWaveFile::OpenSource(WavePath());
  std::vector<int32_t> buffer(size_t(kWaveFramesPerBlock) * 2);
  for (auto _ : state) {
    if (source->GetPosition() >= source->GetLength()) source->Seek(0);
    source->Read(buffer.data(), kWaveFramesPerBlock);
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetItemsProcessed(state.iterations() * kWaveFramesPerBlock);
}
BENCHMARK(WaveSourceAlone);

void PeakLimitOverWave(benchmark::State& state) {
  LSoundSourceRef source(new LSRCPeakLimit(LWaveFile::OpenSource(WavePath()), kSampleFullScale));
  std::vector<int32_t> buffer(size_t(kWaveFramesPerBlock) * 2);
  for (auto _ : state) {
    if (source->GetPosition() >= source->GetLength()) source->Seek(0);
    source->Read(buffer.data(), kWaveFramesPerBlock);
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetItemsProcessed(state.iterations() * kWaveFramesPerBlock);
}
BENCHMARK(PeakLimitOverWave);

// Output frames per second over the rate: how many times faster than real time.
void TimeStretch(benchmark::State& state) {
  double speed = double(state.range(0)) / 10;
  LSoundSourceRef source(new LSRCTimeStretch(LSoundSourceRef(new LoopSource(SpeechInternal(30000))), speed, speed, 0));
  std::vector<int32_t> buffer(size_t(kWaveFramesPerBlock) * 2);
  for (auto _ : state) {
    source->Read(buffer.data(), kWaveFramesPerBlock);
    benchmark::DoNotOptimize(buffer.data());
  }
  state.counters["x_realtime"] =
      benchmark::Counter(double(state.iterations()) * kWaveFramesPerBlock / kRate, benchmark::Counter::kIsRate);
}
BENCHMARK(TimeStretch)->Arg(10)->Arg(20)->Arg(-20);

}  // namespace

BENCHMARK_MAIN();

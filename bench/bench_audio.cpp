// CPU cost of the player's and the recorder's worker threads, as a fraction
// of one core per second of audio. The virtual device runs as fast as the
// workers go (speed 0), so the workers never wait for a clock; their own
// thread CPU time is read from /proc while they run.
#include <benchmark/benchmark.h>
#include <dirent.h>

#include <QCoreApplication>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "platform/audio/virtual_audio.h"
#include "sound/sound_player.h"
#include "sound/sound_recorder.h"

namespace {

// CPU nanoseconds of the thread named name, or -1 when none is running.
int64_t ThreadCpuNs(const std::string& name) {
  DIR* dir = opendir("/proc/self/task");
  if (!dir) return -1;
  int64_t ns = -1;
  while (dirent* entry = readdir(dir)) {
    std::string task = std::string("/proc/self/task/") + entry->d_name;
    std::ifstream comm(task + "/comm");
    std::string n;
    if (!std::getline(comm, n) || n != name) continue;
    std::ifstream sched(task + "/schedstat");
    sched >> ns;
    break;
  }
  closedir(dir);
  return ns;
}

// One second of a stereo tone, looped for as long as asked.
class LoopSource : public LSoundSourceBase {
 public:
  LoopSource(int32_t rate, unsigned channels, int length)
      : LSoundSourceBase(rate, channels, kSampleFullScale), length_(length) {
    table_.resize(size_t(rate) * channels);
    for (size_t i = 0; i < table_.size(); ++i)
      table_[i] = int32_t(std::lround(8000.0 * std::sin(2 * M_PI * 441.0 * double(i / channels) / rate))) * 16;
  }
  void Read(int32_t* buffer, int frames) override {
    const size_t period = table_.size();
    size_t at = (size_t(position_) * channels) % period;
    for (size_t i = 0; i < size_t(frames) * channels; ++i) {
      buffer[i] = table_[at];
      if (++at == period) at = 0;
    }
    position_ += frames;
  }
  int GetPosition() override { return position_; }
  int GetLength() override { return length_; }
  void Seek(int p) override { position_ = p; }

 private:
  std::vector<int32_t> table_;
  int position_ = 0;
  int length_;
};

class CountingSink : public LSoundSinkBase {
 public:
  CountingSink(uint32_t rate, unsigned channels) : LSoundSinkBase(rate, channels) {}
  void Write(const int32_t*, int frames) override { sPosition += frames; }
};

class TimeListener : public LSoundPlayerNotify {
 public:
  void spntfTime(int32_t ms, uint32_t) override { lastMs = ms; }
  int lastMs = 0;
};

void Pump(int ms) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

void BM_PlayerWorker44kStereo(benchmark::State& state) {
  LVirtualAudioConfig config;
  config.speed = 0;
  config.captureOutput = false;
  LVirtualAudio::SetConfig(config);
  double fraction = 0;
  for (auto _ : state) {
    TimeListener listener;
    LSoundPlayer player;
    player.SetNotify(&listener, 0);
    player.Start(LSoundSourceRef(new LoopSource(44100, 2, 0x7FFF0000)));
    Pump(300);  // past the first fill of the queue
    int64_t cpu0 = ThreadCpuNs("orativo-player");
    int ms0 = listener.lastMs;
    Pump(2000);
    int64_t cpu1 = ThreadCpuNs("orativo-player");
    int ms1 = listener.lastMs;
    player.Stop();
    if (cpu0 < 0 || cpu1 < 0 || ms1 <= ms0) {
      state.SkipWithError(("player worker not observed " + std::to_string(cpu0) + " " + std::to_string(cpu1) + " " +
                           std::to_string(ms0) + " " + std::to_string(ms1))
                              .c_str());
      return;
    }
    fraction = double(cpu1 - cpu0) / 1e9 / ((ms1 - ms0) / 1000.0);
  }
  state.counters["core_fraction_per_audio_second"] = fraction;
}
BENCHMARK(BM_PlayerWorker44kStereo)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_RecorderWorker22kMono(benchmark::State& state) {
  LVirtualAudioConfig config;
  config.speed = 0;
  config.inputGenerator = [](int16_t* s, int frames, int channels, int64_t position) {
    for (int i = 0; i < frames * channels; ++i) s[i] = int16_t(((position + i) % 50) * 200 - 5000);
  };
  LVirtualAudio::SetConfig(config);
  double fraction = 0;
  for (auto _ : state) {
    CountingSink* sink = new CountingSink(22050, 1);
    LSoundSinkRef ref(sink);
    LSoundRecorder recorder;
    recorder.Start(ref, 0, -30, 4000, LSoundRecorder::kRecordAtOnce);
    Pump(300);
    int64_t cpu0 = ThreadCpuNs("orativo-record");
    int32_t frames0 = sink->sPosition;
    Pump(2000);
    int64_t cpu1 = ThreadCpuNs("orativo-record");
    int32_t frames1 = sink->sPosition;
    recorder.Stop();
    if (cpu0 < 0 || cpu1 < 0 || frames1 <= frames0) {
      state.SkipWithError("recorder worker not observed");
      return;
    }
    fraction = double(cpu1 - cpu0) / 1e9 / (double(frames1 - frames0) / 22050.0);
  }
  state.counters["core_fraction_per_audio_second"] = fraction;
}
BENCHMARK(BM_RecorderWorker22kMono)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("ORATIVO_AUDIO", "virtual", 1);
  setenv("ORATIVO_LOG", "off", 0);
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

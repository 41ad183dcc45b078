// Waveform overview cost: a full overview of a long recording computed by the
// view's worker, the zooms and scrolls that follow it, and the longest stall
// of the window thread meanwhile.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "controls/wave_window.h"
#include "sound/files/audio_file_open.h"
#include "sound/files/wave_file.h"

namespace {

std::string BenchFolder() {
  std::string folder = std::filesystem::temp_directory_path() / "orativo-bench-controls";
  std::filesystem::create_directories(folder);
  return folder;
}

// minutes of 44.1 kHz stereo noise-modulated tone, written once through our own sink.
std::string LongWav(int minutes) {
  std::string path = BenchFolder() + "/long-" + std::to_string(minutes) + ".wav";
  if (std::filesystem::exists(path)) return path;
  LSoundSinkRef sink = LWaveFile::OpenSinkPCM(path, 44100, 2, 16, 0);
  std::vector<int32_t> block(size_t(8192) * 2);
  uint32_t seed = 1;
  for (int64_t frame = 0; frame < int64_t(minutes) * 60 * 44100; frame += 8192) {
    for (auto& s : block) {
      seed = seed * 1664525u + 1013904223u;
      s = int32_t(seed >> 13) - 0x40000;
    }
    sink->Write(block.data(), 8192);
  }
  return path;
}

std::string LongMp3(int minutes) {
  std::string path = BenchFolder() + "/long-" + std::to_string(minutes) + ".mp3";
  if (std::filesystem::exists(path)) return path;
  std::string command = "sox -n -r 44100 -c 2 -b 16 -t wav - synth " + std::to_string(minutes * 60) +
                        " pinknoise vol 0.3 2>/dev/null | lame --quiet -b 128 - '" + path + "'";
  if (std::system(command.c_str()) != 0) return "";
  return path;
}

// Processor time of the whole process (the view's worker and the window
// thread): unlike the elapsed time it holds on a machine busy with other work,
// where the worker's lowest priority lets others go first.
double ProcessSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) + now.tv_nsec / 1e9;
}

// Shows the view and waits for it as the window thread would: handling
// events (the worker's repaints among them) and sleeping in between. The
// stall is the longest the thread was kept from its timer of pollMs.
double ShowView(LWaveWindow& view, int32_t start, int32_t length, double* longestStallMs, int pollMs,
                double* processorSeconds = nullptr) {
  QElapsedTimer clock;
  clock.start();
  const double processorStart = ProcessSeconds();
  view.SetView(start, length);
  while (!view.IsViewComputed()) {
    QElapsedTimer tick;
    tick.start();
    QEventLoop loop;
    QTimer::singleShot(pollMs, &loop, &QEventLoop::quit);
    loop.exec();
    *longestStallMs = std::max(*longestStallMs, tick.nsecsElapsed() / 1e6 - pollMs);
  }
  if (processorSeconds) *processorSeconds = ProcessSeconds() - processorStart;
  return clock.nsecsElapsed() / 1e9;
}

void Overview(benchmark::State& state, const std::string& path) {
  if (path.empty()) {
    state.SkipWithError("could not make the file (sox, lame)");
    return;
  }
  double longestStallMs = 0, processor = 0;
  for (auto _ : state) {
    LWaveWindow view;
    view.resize(1002, 101);
    view.show();
    LSoundSourceRef source = OpenAudioFileSource(path);
    view.Start(source);
    state.SetIterationTime(ShowView(view, 0, source->GetLength(), &longestStallMs, 10, &processor));
    view.Stop();
  }
  state.counters["cpu_ms"] = processor * 1e3;
  state.counters["window_stall_ms"] = longestStallMs;
}

// After the first overview: zooms in by steps down to 1/8192 of the file
// (finer than the summary, so read from the source) with a scroll at each
// step; the time is the slowest of them.
void ZoomAndScroll(benchmark::State& state, const std::string& path) {
  if (path.empty()) {
    state.SkipWithError("could not make the file (sox, lame)");
    return;
  }
  double overviewStallMs = 0, longestStallMs = 0, slowest = 0, total = 0, slowestProcessor = 0;
  int views = 0;
  for (auto _ : state) {
    LWaveWindow view;
    view.resize(1002, 101);
    view.show();
    LSoundSourceRef source = OpenAudioFileSource(path);
    view.Start(source);
    const int32_t length = source->GetLength();
    ShowView(view, 0, length, &overviewStallMs, 10);
    for (int32_t part = 2; part <= 8192; part *= 4) {
      const int32_t visible = length / part;
      for (int32_t start : {length / 3, length / 3 + visible / 10, length / 3 - visible / 2}) {
        double processor = 0;
        double seconds = ShowView(view, start, visible, &longestStallMs, 1, &processor);
        slowest = std::max(slowest, seconds);
        slowestProcessor = std::max(slowestProcessor, processor);
        total += seconds;
        ++views;
      }
    }
    state.SetIterationTime(slowest);
    view.Stop();
  }
  state.counters["views"] = views;
  state.counters["mean_ms"] = total / std::max(views, 1) * 1e3;
  state.counters["slowest_cpu_ms"] = slowestProcessor * 1e3;
  state.counters["overview_stall_ms"] = overviewStallMs;
  state.counters["window_stall_ms"] = longestStallMs;
}

// The floors the figures above are read against: one plain read of the whole
// source, and one column pass over half of it as views were computed before
// the summary.
void PlainRead(benchmark::State& state, const std::string& path) {
  if (path.empty()) {
    state.SkipWithError("could not make the file (sox, lame)");
    return;
  }
  for (auto _ : state) {
    LSoundSourceRef source = OpenAudioFileSource(path);
    double seconds = 0, processor = 0;
    // At the view worker's priority, so that the two compare on a busy machine too.
    std::thread reader([&] {
      LThread::SetCurrentThreadPriority(kThreadPriorityLowest);
      std::vector<int32_t> buffer(size_t(8192) * source->channels);
      QElapsedTimer clock;
      clock.start();
      const double processorStart = ProcessSeconds();
      for (int32_t at = 0, length = source->GetLength(); at < length; at += 8192) source->Read(buffer.data(), 8192);
      benchmark::DoNotOptimize(buffer.data());
      processor = ProcessSeconds() - processorStart;
      seconds = clock.nsecsElapsed() / 1e9;
    });
    reader.join();
    state.SetIterationTime(seconds);
    state.counters["cpu_ms"] = processor * 1e3;
  }
}

void DirectHalfView(benchmark::State& state, const std::string& path) {
  if (path.empty()) {
    state.SkipWithError("could not make the file (sox, lame)");
    return;
  }
  for (auto _ : state) {
    LSoundSourceRef source = OpenAudioFileSource(path);
    LWaveMapping mapping;
    mapping.width = 1000;
    mapping.Apply(source->GetLength() / 3, source->GetLength() / 2);
    LWaveColumns columns{};
    QElapsedTimer clock;
    clock.start();
    ComputeColumns(*source, mapping, 0, mapping.width, columns, nullptr);
    state.SetIterationTime(clock.nsecsElapsed() / 1e9);
  }
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("ORATIVO_LOG", "off", 0);
  QApplication app(argc, argv);
  benchmark::RegisterBenchmark("WaveOverview/wav_60min_44k_stereo",
                               [](benchmark::State& s) { Overview(s, LongWav(60)); })
      ->UseManualTime()
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("WaveOverview/mp3_60min_128k_stereo",
                               [](benchmark::State& s) { Overview(s, LongMp3(60)); })
      ->UseManualTime()
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("WaveZoomAndScroll/mp3_60min_128k_stereo",
                               [](benchmark::State& s) { ZoomAndScroll(s, LongMp3(60)); })
      ->UseManualTime()
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("PlainRead/wav_60min_44k_stereo", [](benchmark::State& s) { PlainRead(s, LongWav(60)); })
      ->UseManualTime()
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("DirectHalfView/mp3_60min_128k_stereo",
                               [](benchmark::State& s) { DirectHalfView(s, LongMp3(60)); })
      ->UseManualTime()
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}

// Waveform overview cost: a full overview of a long recording computed by the
// view's worker, and the longest stall of the window thread meanwhile.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <cstdlib>
#include <filesystem>
#include <string>
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

void Overview(benchmark::State& state, const std::string& path) {
  if (path.empty()) {
    state.SkipWithError("could not make the file (sox, lame)");
    return;
  }
  double longestStallMs = 0;
  for (auto _ : state) {
    LWaveWindow view;
    view.resize(1002, 101);
    LSoundSourceRef source = OpenAudioFileSource(path);
    view.Start(source);
    view.SetView(0, source->GetLength());
    QElapsedTimer clock, tick;
    clock.start();
    tick.start();
    // The window thread keeps painting and handling events while the worker runs.
    while (!view.IsViewComputed()) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      view.repaint();
      longestStallMs = std::max(longestStallMs, tick.nsecsElapsed() / 1e6);
      tick.restart();
    }
    state.SetIterationTime(clock.nsecsElapsed() / 1e9);
    view.Stop();
  }
  state.counters["window_stall_ms"] = longestStallMs;
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
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}

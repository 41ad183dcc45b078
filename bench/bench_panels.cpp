// CPU the record panel costs while it records, as a fraction of one core,
// side by side with the bare recorder writing the same input to a WAV file:
// the difference is the panel's own work (time display, level meter,
// transport states). Both run on the virtual device in real time.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <string>

#include "controls/record_panel.h"
#include "platform/audio/virtual_audio.h"
#include "sound/files/wave_file.h"

namespace {

constexpr int kSeconds = 5;
constexpr int kRate = 44100;

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

std::string Folder() {
  std::string folder = std::filesystem::temp_directory_path() / "orativo-bench-panels";
  std::filesystem::create_directories(folder);
  return folder;
}

// A voice-like input: a tone under a syllable envelope, in real time.
void UseVoiceInput() {
  LVirtualAudioConfig config;
  config.speed = 1;
  config.captureOutput = false;
  config.inputGenerator = [](int16_t* samples, int frames, int channels, int64_t position) {
    for (int f = 0; f < frames; ++f) {
      double t = double(position + f) / kRate;
      double envelope = std::max(0.0, std::sin(M_PI * t * 2.5));
      int16_t v = int16_t(9000 * envelope * std::sin(2 * M_PI * 180 * t));
      for (int c = 0; c < channels; ++c) samples[f * channels + c] = v;
    }
  };
  LVirtualAudio::SetConfig(config);
}

// Waits in the event loop without spinning, as the program does.
void RunEvents(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

void Report(benchmark::State& state, double cpu, double wall) {
  state.SetIterationTime(wall);
  state.counters["core_fraction"] = cpu / wall;
}

void BareRecorder(benchmark::State& state) {
  UseVoiceInput();
  for (auto _ : state) {
    LSoundRecorder recorder;
    double cpu = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    recorder.Start(LWaveFile::OpenSinkPCM(Folder() + "/bare.wav", kRate, 1, 16, 0), 0, -127, 216000000);
    RunEvents(kSeconds * 1000);
    recorder.Stop();
    Report(state, CpuSeconds() - cpu, wall.nsecsElapsed() / 1e9);
  }
}

void RecordPanel(benchmark::State& state) {
  UseVoiceInput();
  for (auto _ : state) {
    LPanelFile file("bench", Folder() + "/panel.wav", kRate, 1);
    double cpu = 0;
    QElapsedTimer wall;
    QTimer::singleShot(0, [&] {
      auto* panel = LKeyDialog::Running();
      cpu = CpuSeconds();
      wall.start();
      RunEvents(kSeconds * 1000);
      cpu = CpuSeconds() - cpu;
      panel->Close();
    });
    LRecordDlg::Run(nullptr, file);
    Report(state, cpu, wall.nsecsElapsed() / 1e9);
  }
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("ORATIVO_LOG", "off", 0);
  setenv("ORATIVO_AUDIO", "virtual", 1);
  std::string home = Folder() + "/home";
  std::filesystem::create_directories(home);
  setenv("ORATIVO_HOME", home.c_str(), 0);
  QApplication app(argc, argv);
  benchmark::RegisterBenchmark("Recording/bare_recorder_44k_mono", BareRecorder)
      ->UseManualTime()
      ->Iterations(2)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Recording/record_panel_44k_mono", RecordPanel)
      ->UseManualTime()
      ->Iterations(2)
      ->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}

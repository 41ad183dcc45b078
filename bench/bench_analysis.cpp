// The compare view's work: a 10 s tutor/student pair analysed (read and
// reduced, pitch of both, alignment) against the 200 ms it may take, and the
// slow replay side by side with the scrubbing time stretch at the same speed,
// and with soundstretch on the harmonic syllables and on espeak-ng speech:
// run time, length, pitch and the energy between the harmonics.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "analysis/align.h"
#include "analysis/analysis_audio.h"
#include "analysis/harmonic_clarity.h"
#include "analysis/pitch_track.h"
#include "sound/files/wave_file.h"
#include "sound/processors.h"

namespace {

constexpr int kRate = 44100;

// Voiced syllables (harmonic glides under an envelope) with short pauses, mono.
std::vector<int32_t> Syllables(double seconds, double f0) {
  std::vector<int32_t> v(size_t(seconds * kRate));
  double phase = 0;
  for (size_t i = 0; i < v.size(); ++i) {
    double t = double(i) / kRate, syllable = std::fmod(t, 0.25) / 0.25;
    double hz = f0 * (1 + 0.3 * std::sin(t * 1.7));
    phase += 2 * std::numbers::pi * hz / kRate;
    double s = 0;
    for (int k = 1; k <= 10; ++k) s += std::sin(k * phase) / k;
    double envelope = syllable < 0.8 ? std::sin(std::numbers::pi * syllable / 0.8) : 0;
    v[i] = int32_t(envelope * s * 150000);
  }
  return v;
}

class MemorySource : public LSoundSourceBase {
 public:
  explicit MemorySource(const std::vector<int32_t>& samples)
      : LSoundSourceBase(kRate, 1, kSampleFullScale), samples_(samples) {}
  void Read(int32_t* buffer, int frames) override {
    for (int f = 0; f < frames; ++f, ++position_)
      buffer[f] = position_ >= 0 && position_ < GetLength() ? samples_[size_t(position_)] : 0;
  }
  int GetPosition() override { return position_; }
  int GetLength() override { return int(samples_.size()); }
  void Seek(int position) override { position_ = position; }

 private:
  const std::vector<int32_t>& samples_;
  int position_ = 0;
};

const std::vector<int32_t>& Tutor() {
  static const std::vector<int32_t> v = Syllables(10, 120);
  return v;
}
const std::vector<int32_t>& Student() {
  static const std::vector<int32_t> v = Syllables(11.5, 210);
  return v;
}

void AnalysePair(benchmark::State& state) {
  for (auto _ : state) {
    LAnalysisAudio tutor = AnalysisAudioFrom(LSoundSourceRef(new MemorySource(Tutor())));
    LAnalysisAudio student = AnalysisAudioFrom(LSoundSourceRef(new MemorySource(Student())));
    benchmark::DoNotOptimize(TrackPitch(tutor.samples, tutor.rate).data());
    benchmark::DoNotOptimize(TrackPitch(student.samples, student.rate).data());
    benchmark::DoNotOptimize(AlignRecordings(tutor.samples, tutor.rate, student.samples, student.rate).data());
  }
}
BENCHMARK(AnalysePair)->Unit(benchmark::kMillisecond);

// The parts of the above, to see where the time goes.
void ReadAndReduce(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(AnalysisAudioFrom(LSoundSourceRef(new MemorySource(Tutor()))).samples.data());
}
BENCHMARK(ReadAndReduce)->Unit(benchmark::kMillisecond);

void PitchTenSeconds(benchmark::State& state) {
  LAnalysisAudio tutor = AnalysisAudioFrom(LSoundSourceRef(new MemorySource(Tutor())));
  for (auto _ : state) benchmark::DoNotOptimize(TrackPitch(tutor.samples, tutor.rate).data());
}
BENCHMARK(PitchTenSeconds)->Unit(benchmark::kMillisecond);

void AlignPair(benchmark::State& state) {
  LAnalysisAudio tutor = AnalysisAudioFrom(LSoundSourceRef(new MemorySource(Tutor())));
  LAnalysisAudio student = AnalysisAudioFrom(LSoundSourceRef(new MemorySource(Student())));
  for (auto _ : state)
    benchmark::DoNotOptimize(AlignRecordings(tutor.samples, tutor.rate, student.samples, student.rate).data());
}
BENCHMARK(AlignPair)->Unit(benchmark::kMillisecond);

// Output frames per second over the rate: how many times faster than real time.
template <bool slowReplay>
void Stretch(benchmark::State& state) {
  const double speed = 0.75;
  LSoundSourceRef inner(new MemorySource(Tutor()));
  LSoundSourceRef source =
      slowReplay ? LTempoProcessor(speed).Open(inner) : LSoundSourceRef(new LSRCTimeStretch(inner, speed, speed, 0));
  std::vector<int32_t> buffer(4096);
  int64_t frames = 0;
  for (auto _ : state) {
    if (source->GetPosition() >= source->GetLength()) source->Seek(0);
    source->Read(buffer.data(), 4096);
    frames += 4096;
    benchmark::DoNotOptimize(buffer.data());
  }
  state.counters["x_realtime"] = benchmark::Counter(double(frames) / kRate, benchmark::Counter::kIsRate);
}
BENCHMARK(Stretch<true>)->Name("SlowReplay075");
BENCHMARK(Stretch<false>)->Name("ScrubStretch075");

// The 10 s tutor through orativo-decode --tempo 0.75 and through soundstretch
// at the same tempo, each a whole run of the program on a WAV file.
std::string Folder() {
  const char* tmp = std::getenv("TMPDIR");
  static const std::string folder = std::string(tmp ? tmp : "/tmp") + "/bench_analysis_" + std::to_string(getpid());
  return folder;
}

std::string TutorWav() {
  static const std::string path = [] {
    std::filesystem::create_directories(Folder());
    std::string p = Folder() + "/tutor.wav";
    LWaveFile::OpenSinkPCM(p, kRate, 1, 16, 0)->Write(Tutor().data(), int(Tutor().size()));
    std::atexit([] { std::filesystem::remove_all(Folder()); });
    return p;
  }();
  return path;
}

void SlowReplayProgram(benchmark::State& state, const std::string& command) {
  const std::string line = command + " >/dev/null 2>&1";
  for (auto _ : state)
    if (std::system(line.c_str()) != 0) state.SkipWithError(("failed: " + command).c_str());
}

std::string DecodeTool() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "tools" / "orativo-decode";
}

// A French phrase from espeak-ng, made once; empty when espeak-ng is missing.
std::string SpeechWav() {
  static const std::string path = [] {
    TutorWav();  // makes the folder and its clean-up
    std::string p = Folder() + "/speech.wav";
    const std::string line = "espeak-ng -v fr -s 140 -w " + p +
                             " \"Bonjour, je voudrais un billet pour Marseille, s'il vous plait.\" >/dev/null 2>&1";
    return std::system(line.c_str()) == 0 ? p : std::string();
  }();
  return path;
}

std::string Ours(const std::string& in, const std::string& out) {
  return DecodeTool() + " --tempo 0.75 " + in + " " + out;
}
std::string Theirs(const std::string& in, const std::string& out) {
  return "soundstretch " + in + " " + out + " -tempo=-25";
}

BENCHMARK_CAPTURE(SlowReplayProgram, OrativoDecode075, Ours(TutorWav(), Folder() + "/ours.wav"))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(SlowReplayProgram, Soundstretch075, Theirs(TutorWav(), Folder() + "/theirs.wav"))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(SlowReplayProgram, OrativoDecodeSpeech075, Ours(SpeechWav(), Folder() + "/ours-speech.wav"))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(SlowReplayProgram, SoundstretchSpeech075, Theirs(SpeechWav(), Folder() + "/theirs-speech.wav"))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The figures of both stretchers at 0.75 as counters: output length over the
// ideal, median pitch difference from the original in cents (frame i against
// frame i / 0.75, voiced in both) and the energy between the harmonics in dB.
void SlowReplayFigures(benchmark::State& state, bool speech) {
  const std::string in = speech ? SpeechWav() : TutorWav();
  if (in.empty()) {
    state.SkipWithError("espeak-ng is needed for the speech");
    for (auto _ : state) {
    }
    return;
  }
  const std::string ours = in + ".ours.wav", theirs = in + ".theirs.wav";
  for (auto _ : state)
    if (std::system((Ours(in, ours) + " && " + Theirs(in, theirs) + " >/dev/null 2>&1").c_str()) != 0)
      state.SkipWithError("a stretcher failed");
  LAnalysisAudio original = AnalysisAudioFromFile(in);
  std::vector<float> originalPitch = TrackPitch(original.samples, original.rate);
  const std::pair<const char*, std::string> outputs[] = {{"ours", ours}, {"soundstretch", theirs}};
  for (const auto& [name, file] : outputs) {
    LAnalysisAudio slow = AnalysisAudioFromFile(file);
    std::vector<float> pitch = TrackPitch(slow.samples, slow.rate);
    std::vector<double> cents;
    for (size_t i = 0; i < originalPitch.size(); ++i) {
      size_t j = size_t(std::lround(i / 0.75));
      if (j < pitch.size() && originalPitch[i] > 0 && pitch[j] > 0)
        cents.push_back(std::fabs(1200 * std::log2(pitch[j] / originalPitch[i])));
    }
    std::nth_element(cents.begin(), cents.begin() + long(cents.size() / 2), cents.end());
    const std::string n = name;
    state.counters[n + "_length"] = double(slow.samples.size()) / (original.samples.size() / 0.75);
    state.counters[n + "_cents"] = cents.empty() ? -1 : cents[cents.size() / 2];
    state.counters[n + "_between_dB"] = MeasureHarmonicClarity(slow.samples, slow.rate).betweenDb;
  }
}
BENCHMARK_CAPTURE(SlowReplayFigures, Syllables, false)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SlowReplayFigures, Speech, true)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

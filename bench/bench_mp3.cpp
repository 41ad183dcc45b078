// MP3 decoding speed: LMP3Source against libmpg123 (16-bit output) on the
// same 60-second 128 kbit/s stereo file, made here with sox and lame.
#include <benchmark/benchmark.h>
#include <mpg123.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "sound/files/mp3_source.h"

namespace {

std::string g_file;
double g_oursSeconds = 0, g_referenceSeconds = 0;  // best whole-file decode, CPU seconds
constexpr double kAudioSeconds = 60.0;

// CPU time of this thread: the machine may be shared, and one core is what counts.
double Now() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + t.tv_nsec * 1e-9;
}

void Keep(double* best, double seconds) {
  if (*best == 0 || seconds < *best) *best = seconds;
}

void BM_LMP3Source(benchmark::State& state) {
  std::vector<int32_t> buffer(8192 * 2);
  for (auto _ : state) {
    const double start = Now();
    LMP3Source source(g_file);
    int64_t frames = 0;
    while (source.GetPosition() < source.GetLength()) {
      source.Read(buffer.data(), 8192);
      frames += 8192;
    }
    benchmark::DoNotOptimize(buffer.data());
    Keep(&g_oursSeconds, Now() - start);
    state.counters["frames"] = double(frames);
  }
}
BENCHMARK(BM_LMP3Source)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_Mpg123(benchmark::State& state) {
  std::vector<unsigned char> buffer(8192 * 4);
  for (auto _ : state) {
    const double start = Now();
    int err = 0;
    mpg123_handle* mh = mpg123_new(nullptr, &err);
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_format_none(mh);
    mpg123_format(mh, 44100, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    mpg123_open(mh, g_file.c_str());
    size_t done = 0;
    for (;;) {
      const int r = mpg123_read(mh, buffer.data(), buffer.size(), &done);
      benchmark::DoNotOptimize(buffer.data());
      if (r != MPG123_OK && r != MPG123_NEW_FORMAT) break;
    }
    mpg123_close(mh);
    mpg123_delete(mh);
    Keep(&g_referenceSeconds, Now() - start);
  }
}
BENCHMARK(BM_Mpg123)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  char folder[] = "/tmp/bench_mp3_XXXXXX";
  if (!mkdtemp(folder)) return 1;
  const std::string wav = std::string(folder) + "/in.wav";
  g_file = std::string(folder) + "/in.mp3";
  const std::string make = "sox -n -r 44100 -c 2 '" + wav +
                           "' synth 60 pinknoise vol 0.2 synth 60 sine mix 200-3000 vol 0.5 2>/dev/null && "
                           "lame --quiet -b 128 -m j '" +
                           wav + "' '" + g_file + "'";
  if (std::system(make.c_str()) != 0) {
    std::fprintf(stderr, "bench_mp3: sox and lame are needed to make the test file\n");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_oursSeconds > 0 && g_referenceSeconds > 0) {
    std::printf("LMP3Source: %.1f x real time (%.1f ms per 60 s)\n", kAudioSeconds / g_oursSeconds,
                g_oursSeconds * 1000);
    std::printf("libmpg123:  %.1f x real time (%.1f ms per 60 s)\n", kAudioSeconds / g_referenceSeconds,
                g_referenceSeconds * 1000);
    std::printf("speed ratio LMP3Source / libmpg123: %.2f\n", g_referenceSeconds / g_oursSeconds);
  }
  std::remove(wav.c_str());
  std::remove(g_file.c_str());
  rmdir(folder);
  return 0;
}

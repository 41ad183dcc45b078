// Slow replay: length and the cleanness of the joins (the pitch is checked
// with the tracker in the analysis tests), read the way the
// player reads, and through orativo-decode as a teacher would use it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>
#include <tuple>
#include <vector>

#include "sound/processors.h"
#include "tests/sound/audio_test_util.h"
#include "tests/support/test_support.h"

namespace {

constexpr double kPi = std::numbers::pi;

// A 150 Hz tone with eight harmonics, as voiced speech has.
int32_t Harmonic(int frame, int rate, double f0 = 150) {
  double t = double(frame) / rate, s = 0;
  for (int k = 1; k <= 8; ++k) s += std::sin(2 * kPi * k * f0 * t + k) / k;
  return int32_t(s * 120000);
}

// Energy at hz in a Hann-windowed stretch of x (one channel of interleaved samples).
double EnergyAt(const std::vector<int32_t>& x, int channels, int from, int frames, int rate, double hz) {
  double re = 0, im = 0;
  for (int i = 0; i < frames; ++i) {
    double w = 0.5 - 0.5 * std::cos(2 * kPi * i / frames);
    double v = w * x[size_t(from + i) * channels];
    re += v * std::cos(2 * kPi * hz * i / rate);
    im += v * std::sin(2 * kPi * hz * i / rate);
  }
  return re * re + im * im;
}

// Energy halfway between the harmonics of Harmonic(f0) over the energy at
// them, in the second second of x.
double BetweenHarmonicsDb(const std::vector<int32_t>& x, int channels, int rate, double f0 = 150) {
  const int from = rate, n = rate;
  double harmonics = 0, between = 0;
  for (int k = 1; k <= 8; ++k) {
    harmonics += EnergyAt(x, channels, from, n, rate, f0 * k);
    between += EnergyAt(x, channels, from, n, rate, f0 * (k + 0.5));
  }
  return 10 * std::log10(between / harmonics);
}

std::vector<int32_t> ReadAll(LSoundSourceRef& source) {
  std::vector<int32_t> out;
  std::vector<int32_t> block(size_t(1000) * source->channels);
  static const int pieces[] = {1, 1000, 77, 441, 3};
  for (int k = 0; source->GetPosition() < source->GetLength(); ++k) {
    int n = std::min(pieces[k % 5], source->GetLength() - source->GetPosition());
    source->Read(block.data(), n);
    out.insert(out.end(), block.begin(), block.begin() + n * source->channels);
  }
  return out;
}

class TempoTest : public ::testing::TestWithParam<std::tuple<double, int, int>> {};

TEST_P(TempoTest, LengthPitchAndCleanJoins) {
  const auto [tempo, rate, channels] = GetParam();
  const int inFrames = rate * 2;
  LSoundSourceRef inner(new audiotest::FunctionSource(rate, unsigned(channels), inFrames,
                                                      [rate = rate](int f, int) { return Harmonic(f, rate); }));
  LSoundSourceRef source = LTempoProcessor(tempo).Open(inner);
  std::vector<int32_t> out = ReadAll(source);
  const double frames = double(out.size()) / channels;
  EXPECT_NEAR(frames, inFrames / tempo, inFrames / tempo * 0.01);

  // Joins without phase jumps leave little energy between the harmonics.
  EXPECT_LT(BetweenHarmonicsDb(out, channels, rate), -30.0);
  for (int c = 1; c < channels; ++c) EXPECT_EQ(out[size_t(rate) * channels + c], out[size_t(rate) * channels]);
}

INSTANTIATE_TEST_SUITE_P(Tempos, TempoTest,
                         ::testing::Values(std::make_tuple(0.5, 44100, 1), std::make_tuple(0.75, 44100, 2),
                                           std::make_tuple(0.9, 16000, 1), std::make_tuple(0.65, 8000, 2)));

TEST(Tempo, SeekMapsOutputToInputAndFullSpeedIsUntouched) {
  const int rate = 16000;
  auto ramp = [](int f, int) { return (f % 5000) * 16; };
  LSoundSourceRef inner(new audiotest::FunctionSource(rate, 1, rate * 3, ramp));
  EXPECT_EQ(LTempoProcessor(1.0).Open(inner).Get(), inner.Get());
  LSoundSourceRef source = LTempoProcessor(0.5).Open(inner);
  EXPECT_EQ(source->GetLength(), rate * 6);
  source->Seek(10000);
  EXPECT_EQ(source->GetPosition(), 10000);
  // The first hop after a seek is the input at output position x tempo.
  std::vector<int32_t> block(100);
  source->Read(block.data(), 100);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(block[size_t(i)], ramp(5000 + i, 0)) << i;
  EXPECT_EQ(source->GetPosition(), 10100);
}

TEST(Tempo, DecodeToolWritesTheSlowReplay) {
  std::string decode = testsupport::ToolPath("orativo-decode");
  testsupport::TempFolder folder;
  const int rate = 22050;
  std::vector<int16_t> in(size_t(rate) * 3);
  // 137 Hz: a period of no whole number of samples, as in a real voice.
  for (int i = 0; i < int(in.size()); ++i) in[size_t(i)] = int16_t(Harmonic(i, rate, 137) / 16);
  ASSERT_TRUE(testsupport::WriteWav16(folder.File("in.wav"), rate, 1, in));
  ASSERT_EQ(testsupport::RunCommand(decode + " --tempo 0.75 " + folder.File("in.wav") + " " + folder.File("out.wav")),
            0);
  int outRate = 0, channels = 0;
  std::vector<int16_t> out;
  ASSERT_TRUE(testsupport::ReadWav16(folder.File("out.wav"), &outRate, &channels, &out));
  EXPECT_EQ(outRate, rate);
  EXPECT_NEAR(double(out.size()), in.size() / 0.75, in.size() / 0.75 * 0.01);
  // At least as clean as a widely used stretcher at the same tempo.
  const char* ci = std::getenv("ORATIVO_CI");
  if (testsupport::HaveCommand("soundstretch")) {
    ASSERT_EQ(testsupport::RunCommand("soundstretch " + folder.File("in.wav") + " " + folder.File("ref.wav") +
                                      " -tempo=-25 >/dev/null 2>&1"),
              0);
    std::vector<int16_t> reference;
    ASSERT_TRUE(testsupport::ReadWav16(folder.File("ref.wav"), &outRate, &channels, &reference));
    std::vector<int32_t> ours(out.begin(), out.end()), theirs(reference.begin(), reference.end());
    EXPECT_LE(BetweenHarmonicsDb(ours, 1, rate, 137), BetweenHarmonicsDb(theirs, 1, rate, 137) + 1.0);
  } else if (ci && std::string(ci) == "1") {
    ADD_FAILURE() << "soundstretch is needed for the comparison";
  }
  for (const char* bad : {"0.4", "1.5", "x"})
    EXPECT_EQ(testsupport::RunCommand(decode + " --tempo " + bad + " " + folder.File("in.wav") + " " +
                                      folder.File("bad.wav") + " 2>/dev/null"),
              2)
        << bad;
}

}  // namespace

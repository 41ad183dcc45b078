// Slow replay: length and the cleanness of the joins, read the way the player
// reads (the pitch and orativo-decode are checked in the analysis tests).
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <tuple>

#include "sound/processors.h"
#include "tests/sound/audio_test_util.h"

namespace {

constexpr double kPi = std::numbers::pi;

// A 150 Hz tone with eight harmonics, as voiced speech has.
int32_t Harmonic(int frame, int rate) {
  double t = double(frame) / rate, s = 0;
  for (int k = 1; k <= 8; ++k) s += std::sin(2 * kPi * k * 150 * t + k) / k;
  return int32_t(s * 120000);
}

// Energy halfway between the harmonics of Harmonic() over the energy at them
// (Hann-windowed), in the second second of x (one channel of interleaved samples).
double BetweenHarmonicsDb(const std::vector<int32_t>& x, int channels, int rate) {
  auto energyAt = [&](double hz) {
    double re = 0, im = 0;
    for (int i = 0; i < rate; ++i) {
      double v = (0.5 - 0.5 * std::cos(2 * kPi * i / rate)) * x[size_t(rate + i) * channels];
      re += v * std::cos(2 * kPi * hz * i / rate);
      im += v * std::sin(2 * kPi * hz * i / rate);
    }
    return re * re + im * im;
  };
  double harmonics = 0, between = 0;
  for (int k = 1; k <= 8; ++k) {
    harmonics += energyAt(150.0 * k);
    between += energyAt(150 * (k + 0.5));
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

TEST(Tempo, LengthAndCleanJoins) {
  for (auto [tempo, rate, channels] :
       {std::tuple{0.5, 44100, 1}, std::tuple{0.75, 44100, 2}, std::tuple{0.9, 16000, 1}, std::tuple{0.65, 8000, 2}}) {
    SCOPED_TRACE(tempo);
    const int inFrames = rate * 2;
    LSoundSourceRef source = LTempoProcessor(tempo).Open(audiotest::Generated(
        rate, unsigned(channels), inFrames, [rate = rate](int f, int) { return Harmonic(f, rate); }));
    std::vector<int32_t> out = ReadAll(source);
    EXPECT_NEAR(double(out.size()) / channels, inFrames / tempo, inFrames / tempo * 0.01);
    // Joins without phase jumps leave little energy between the harmonics.
    EXPECT_LT(BetweenHarmonicsDb(out, channels, rate), -30.0);
    for (int c = 1; c < channels; ++c) EXPECT_EQ(out[size_t(rate) * channels + c], out[size_t(rate) * channels]);
  }
}

TEST(Tempo, SeekMapsOutputToInputAndFullSpeedIsUntouched) {
  const int rate = 16000;
  auto ramp = [](int f, int) { return (f % 5000) * 16; };
  LSoundSourceRef inner = audiotest::Generated(rate, 1, rate * 3, ramp);
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

}  // namespace

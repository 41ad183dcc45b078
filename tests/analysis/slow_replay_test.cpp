// Slow replay at 0.75 through orativo-decode, on a harmonic tone and on
// espeak-ng speech: as long as it should be, at the pitch of the original by
// our tracker, and at least as clean between the harmonics as soundstretch
// at the same tempo.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "analysis/analysis_audio.h"
#include "analysis/harmonic_clarity.h"
#include "analysis/pitch_track.h"
#include "tests/support/test_support.h"

using namespace testsupport;

namespace {

constexpr double kTempo = 0.75;

// Frame i of the original against frame i / tempo of the slow replay, where both are voiced.
std::vector<double> CentsApart(const std::vector<float>& original, const std::vector<float>& slowed) {
  std::vector<double> cents;
  for (size_t i = 0; i < original.size(); ++i) {
    size_t j = size_t(std::lround(i / kTempo));
    if (j < slowed.size() && original[i] > 0 && slowed[j] > 0)
      cents.push_back(std::fabs(1200 * std::log2(slowed[j] / original[i])));
  }
  std::sort(cents.begin(), cents.end());
  return cents;
}

class SlowReplay : public ::testing::TestWithParam<bool> {};

TEST_P(SlowReplay, KeepsLengthAndPitchAndIsAsCleanAsSoundstretch) {
  const bool speech = GetParam();
  if (speech) REQUIRE_COMMAND("espeak-ng");
  REQUIRE_COMMAND("soundstretch");
  TempFolder folder;
  const std::string in = folder.File("in.wav"), ours = folder.File("ours.wav"), theirs = folder.File("theirs.wav");
  if (speech) {
    ASSERT_EQ(RunCommand("espeak-ng -v fr -s 140 -w " + in +
                         " \"Bonjour, je voudrais un billet pour Marseille, s'il vous plait.\""),
              0);
  } else {
    // 137 Hz: a period of no whole number of samples, with eight harmonics.
    const int rate = 22050;
    std::vector<int16_t> pcm(size_t(rate) * 3);
    for (size_t i = 0; i < pcm.size(); ++i) {
      double t = double(i) / rate, s = 0;
      for (int k = 1; k <= 8; ++k) s += std::sin(2 * std::numbers::pi * k * 137 * t + k) / k;
      pcm[i] = int16_t(std::lrint(s * 7000));
    }
    ASSERT_TRUE(WriteWav16(in, rate, 1, pcm));
  }
  const std::string decode = ToolPath("orativo-decode");
  ASSERT_EQ(RunCommand(decode + " --tempo 0.75 " + in + " " + ours), 0);
  ASSERT_EQ(RunCommand("soundstretch " + in + " " + theirs + " -tempo=-25 >/dev/null 2>&1"), 0);
  for (const char* bad : {"0.4", "1.5", "x"})
    EXPECT_EQ(RunCommand(decode + " --tempo " + bad + " " + in + " " + folder.File("bad.wav") + " 2>/dev/null"), 2)
        << bad;

  int rate = 0, slowRate = 0, channels = 0;
  std::vector<int16_t> original, slowed;
  ASSERT_TRUE(ReadWav16(in, &rate, &channels, &original));
  ASSERT_TRUE(ReadWav16(ours, &slowRate, &channels, &slowed));
  EXPECT_EQ(slowRate, rate);
  const double expected = original.size() / kTempo;
  EXPECT_NEAR(double(slowed.size()), expected, expected * 0.01);

  LAnalysisAudio a = AnalysisAudioFromFile(in), b = AnalysisAudioFromFile(ours), c = AnalysisAudioFromFile(theirs);
  ASSERT_GT(a.rate, 0);
  const std::vector<double> apart = CentsApart(TrackPitch(a.samples, a.rate), TrackPitch(b.samples, b.rate));
  ASSERT_GT(apart.size(), 50u);
  const double cents = apart[apart.size() / 2];
  EXPECT_LT(cents, 10.0);

  const LHarmonicClarity mine = MeasureHarmonicClarity(b.samples, b.rate);
  const LHarmonicClarity reference = MeasureHarmonicClarity(c.samples, c.rate);
  ASSERT_GT(mine.voicedFrames, 50);
  ASSERT_GT(reference.voicedFrames, 50);
  EXPECT_LE(mine.betweenDb, reference.betweenDb);
  std::printf(
      "[ measured ] %s at 0.75: length %.4f of the ideal, pitch %.1f cents (median), between harmonics "
      "%.1f dB, soundstretch %.1f dB\n",
      speech ? "speech" : "tone", slowed.size() / expected, cents, mine.betweenDb, reference.betweenDb);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, SlowReplay, ::testing::Values(false, true),
                         [](const auto& info) { return std::string(info.param ? "Speech" : "Tone"); });

}  // namespace

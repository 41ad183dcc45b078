// The pitch tracker on harmonic tones gliding between 80 and 400 Hz, with
// white noise 20 dB under the tone throughout and silences between them.
#include "analysis/pitch_track.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <sstream>

#include "analysis/analysis_audio.h"
#include "sound/processors.h"
#include "tests/support/memory_audio.h"
#include "tests/support/test_support.h"

using namespace testsupport;

namespace {

struct Synthetic {
  std::vector<float> samples;
  std::vector<double> truthHz;  // per 10 ms frame, 0 in the gaps
};

constexpr double kSegment = 1.5, kGap = 0.5;

// Gap, glide, gap, glide, ..., gap; exponential glides, 8 harmonics at 1/k.
Synthetic Make(int rate, const std::vector<std::pair<double, double>>& glides) {
  const double total = kGap + glides.size() * (kSegment + kGap);
  auto hzAt = [&](double t) {  // 0 in the gaps
    double local = std::fmod(t - kGap, kSegment + kGap);
    int which = int((t - kGap) / (kSegment + kGap));
    if (t < kGap || local >= kSegment || which >= int(glides.size())) return 0.0;
    auto [from, to] = glides[size_t(which)];
    return from * std::pow(to / from, local / kSegment);
  };
  Synthetic s;
  s.samples.assign(size_t(total * rate), 0.0f);
  double phase = 0, power = 0;
  int voiced = 0;
  for (size_t i = 0; i < s.samples.size(); ++i) {
    double hz = hzAt(double(i) / rate), v = 0;
    if (hz == 0) continue;
    phase += 2 * std::numbers::pi * hz / rate;
    for (int k = 1; k <= 8 && k * hz < rate / 2.0; ++k) v += std::sin(k * phase) / k;
    s.samples[i] = float(0.3 * v);
    power += 0.09 * v * v, ++voiced;
  }
  std::mt19937 random(7);
  std::normal_distribution<double> noise(0, std::sqrt(power / voiced / 100));  // 20 dB under the tone
  for (float& v : s.samples) v += float(noise(random));
  for (double t = 0; t < total; t += 0.01) s.truthHz.push_back(hzAt(t));
  return s;
}

}  // namespace

// Through orativo-analyse where the rate is high.
TEST(PitchTrack, MedianErrorUnder20CentsAndVoicingRight) {
  const struct {
    int rate;
    std::vector<std::pair<double, double>> glides;
  } cases[] = {{16000, {{80, 160}, {200, 400}, {300, 100}}},
               {16000, {{400, 250}, {90, 110}, {120, 350}}},
               {44100, {{100, 220}, {380, 180}}},
               {8000, {{150, 300}, {260, 85}}}};
  TempFolder folder;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rate);
    Synthetic s = Make(c.rate, c.glides);
    std::vector<float> hz;
    if (c.rate <= 16000) {
      hz = TrackPitch(s.samples, c.rate);
    } else {
      // As the tool reads files: stereo, through the source and the rate reduction.
      std::vector<int16_t> pcm;
      for (float v : s.samples) pcm.insert(pcm.end(), 2, int16_t(std::lrint(v * 32767)));
      ASSERT_TRUE(WriteWav16(folder.File("glides.wav"), c.rate, 2, pcm));
      EXPECT_LE(AnalysisAudioFromFile(folder.File("glides.wav")).rate, 24000);
      std::istringstream out(CommandOutput(ToolPath("orativo-analyse") + " pitch " + folder.File("glides.wav")));
      for (double t, f; out >> t >> f;) {
        EXPECT_NEAR(t, hz.size() * 0.01, 1e-9);
        hz.push_back(float(f));
      }
    }
    ASSERT_NEAR(double(hz.size()), double(s.truthHz.size()), 2) << "one frame a line";
    const size_t frames = std::min(hz.size(), s.truthHz.size());
    std::vector<double> cents;
    int right = 0;
    for (size_t i = 0; i < frames; ++i) {
      bool truth = s.truthHz[i] > 0, found = hz[i] > 0;
      right += truth == found;
      if (truth && found) cents.push_back(std::fabs(1200 * std::log2(hz[i] / s.truthHz[i])));
    }
    ASSERT_FALSE(cents.empty());
    std::nth_element(cents.begin(), cents.begin() + long(cents.size() / 2), cents.end());
    EXPECT_LT(cents[cents.size() / 2], 20.0) << "median";
    EXPECT_GE(double(right) / frames, 0.95);
    // Octave errors would show as 1200-cent outliers even when the median is good.
    EXPECT_LT(std::count_if(cents.begin(), cents.end(), [](double e) { return e > 600; }), long(cents.size()) / 50);
  }
}

TEST(PitchTrack, SilenceAndEmptyInputAreUnvoicedAndNoFileAnError) {
  EXPECT_EQ(TrackPitch(std::vector<float>(16000, 0.0f), 16000), std::vector<float>(101, 0.0f));
  EXPECT_TRUE(TrackPitch({}, 16000).empty());
  EXPECT_TRUE(TrackPitch(std::vector<float>(100, 0.5f), 0).empty());
  EXPECT_NE(RunCommand(ToolPath("orativo-analyse") + " pitch /nonexistent/none.wav 2>/dev/null"), 0);
}

// Slow replay keeps the pitch, long periods included: the track of slowed
// steady tones at t / tempo is the original's at t, within 10 cents.
TEST(PitchTrack, SlowReplayKeepsThePitchContour) {
  const int rate = 16000;
  const double tempo = 0.75;
  Synthetic s = Make(rate, {{95, 95}, {180, 180}, {340, 340}});
  std::vector<int32_t> pcm;
  for (float v : s.samples) pcm.push_back(int32_t(std::lrint(v * float(kSampleFullScale))));
  LAnalysisAudio slow = AnalysisAudioFrom(LTempoProcessor(tempo).Open(
      LSoundSourceRef(new testsupport::MemorySource(std::move(pcm), rate, 1, kSampleFullScale))));
  EXPECT_NEAR(double(slow.samples.size()), s.samples.size() / tempo, s.samples.size() / tempo * 0.01);
  std::vector<float> original = TrackPitch(s.samples, rate), slowed = TrackPitch(slow.samples, slow.rate);
  std::vector<double> cents;
  for (size_t i = 0; i < original.size(); ++i) {
    size_t j = size_t(std::lround(i / tempo));
    if (j < slowed.size() && original[i] > 0 && slowed[j] > 0)
      cents.push_back(std::fabs(1200 * std::log2(slowed[j] / original[i])));
  }
  ASSERT_GT(cents.size(), 250u);
  std::nth_element(cents.begin(), cents.begin() + long(cents.size() / 2), cents.end());
  EXPECT_LT(cents[cents.size() / 2], 10.0) << "median";
}

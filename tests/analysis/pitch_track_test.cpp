// The pitch tracker on harmonic tones gliding between 80 and 400 Hz, with
// white noise 20 dB under the tone throughout and silences between them.
#include "analysis/pitch_track.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <sstream>
#include <vector>

#include "analysis/analysis_audio.h"
#include "sound/processors.h"
#include "tests/sound/audio_test_util.h"
#include "tests/support/test_support.h"

namespace {

struct Glide {
  double fromHz, toHz;
};

struct Synthetic {
  std::vector<float> samples;
  std::vector<double> truthHz;  // per 10 ms frame, 0 in the gaps
};

constexpr double kSegment = 1.5, kGap = 0.5;

// Gap, glide, gap, glide, ..., gap; exponential glides, 8 harmonics at 1/k.
Synthetic Make(int rate, const std::vector<Glide>& glides) {
  const double total = kGap + glides.size() * (kSegment + kGap);
  auto hzAt = [&](double t) {  // 0 in the gaps
    double local = std::fmod(t - kGap, kSegment + kGap);
    int which = int((t - kGap) / (kSegment + kGap));
    if (t < kGap || local >= kSegment || which >= int(glides.size())) return 0.0;
    const Glide& g = glides[size_t(which)];
    return g.fromHz * std::pow(g.toHz / g.fromHz, local / kSegment);
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

// The samples as a source of the given channels, as the tools read files.
LSoundSourceRef SourceOf(std::vector<float> samples, int rate, int channels) {
  const int frames = int(samples.size());
  return LSoundSourceRef(new audiotest::FunctionSource(rate, channels, frames, [samples](int f, int) {
    return int32_t(std::lrint(samples[size_t(f)] * float(kSampleFullScale)));
  }));
}

double Median(std::vector<double> values) {
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

struct PitchCase {
  int rate;
  std::vector<Glide> glides;
};

class PitchTrackTest : public ::testing::TestWithParam<PitchCase> {};

TEST_P(PitchTrackTest, MedianErrorUnder20CentsAndVoicingRight) {
  const PitchCase& c = GetParam();
  Synthetic s = Make(c.rate, c.glides);
  std::vector<float> hz;
  if (c.rate > 16000) {
    // The way the tools read files: through the source and the rate reduction.
    LAnalysisAudio audio = AnalysisAudioFrom(SourceOf(s.samples, c.rate, 2));
    ASSERT_LE(audio.rate, 24000);
    hz = TrackPitch(audio.samples, audio.rate);
  } else {
    hz = TrackPitch(s.samples, c.rate);
  }
  const size_t frames = std::min(hz.size(), s.truthHz.size());
  ASSERT_GE(frames + 2, s.truthHz.size());
  std::vector<double> cents;
  int right = 0;
  for (size_t i = 0; i < frames; ++i) {
    bool truth = s.truthHz[i] > 0, found = hz[i] > 0;
    right += truth == found;
    if (truth && found) cents.push_back(std::fabs(1200 * std::log2(hz[i] / s.truthHz[i])));
  }
  ASSERT_FALSE(cents.empty());
  EXPECT_LT(Median(cents), 20.0);
  EXPECT_GE(double(right) / frames, 0.95);
  // Octave errors would show as 1200-cent outliers even when the median is good.
  int octaveErrors = int(std::count_if(cents.begin(), cents.end(), [](double e) { return e > 600; }));
  EXPECT_LT(octaveErrors, int(cents.size()) / 50);
}

INSTANTIATE_TEST_SUITE_P(Glides, PitchTrackTest,
                         ::testing::Values(PitchCase{16000, {{80, 160}, {200, 400}, {300, 100}}},
                                           PitchCase{16000, {{400, 250}, {90, 110}, {120, 350}}},
                                           PitchCase{44100, {{100, 220}, {380, 180}}},
                                           PitchCase{8000, {{150, 300}, {260, 85}}}),
                         [](const ::testing::TestParamInfo<PitchCase>& info) {
                           return std::to_string(info.param.rate) + "Hz" + std::to_string(info.index);
                         });

TEST(PitchTrack, SilenceAndEmptyInputAreUnvoiced) {
  std::vector<float> hz = TrackPitch(std::vector<float>(16000, 0.0f), 16000);
  EXPECT_EQ(hz.size(), 101u);
  EXPECT_TRUE(std::all_of(hz.begin(), hz.end(), [](float v) { return v == 0; }));
  EXPECT_TRUE(TrackPitch({}, 16000).empty());
  EXPECT_TRUE(TrackPitch(std::vector<float>(100, 0.5f), 0).empty());
}

// Slow replay keeps the pitch: the track of slowed steady tones at t / tempo
// is the original's at t, within 10 cents. (On glides the segments' timing
// shifts of up to 10 ms show as pitch differences that are not there.)
TEST(PitchTrack, SlowReplayKeepsThePitchContour) {
  const int rate = 16000;
  Synthetic s = Make(rate, {{95, 95}, {180, 180}, {340, 340}});
  const double tempo = 0.75, slowLength = s.samples.size() / tempo;
  LAnalysisAudio slow = AnalysisAudioFrom(LTempoProcessor(tempo).Open(SourceOf(s.samples, rate, 1)));
  EXPECT_NEAR(double(slow.samples.size()), slowLength, slowLength * 0.01);
  std::vector<float> original = TrackPitch(s.samples, rate), slowed = TrackPitch(slow.samples, slow.rate);
  std::vector<double> cents;
  for (size_t i = 0; i < original.size(); ++i) {
    size_t j = size_t(std::lround(i / tempo));
    if (j < slowed.size() && original[i] > 0 && slowed[j] > 0)
      cents.push_back(std::fabs(1200 * std::log2(slowed[j] / original[i])));
  }
  ASSERT_GT(cents.size(), 250u);
  EXPECT_LT(Median(cents), 10.0);
}

TEST(PitchTrack, AnalyseToolPrintsOneFrameALine) {
  testsupport::TempFolder folder;
  const int rate = 22050;
  Synthetic s = Make(rate, {{200, 200}});
  std::vector<int16_t> pcm(s.samples.size());
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = int16_t(std::lrint(s.samples[i] * 32767));
  ASSERT_TRUE(testsupport::WriteWav16(folder.File("tone.wav"), rate, 1, pcm));
  std::string out =
      testsupport::CommandOutput(testsupport::ToolPath("orativo-analyse") + " pitch " + folder.File("tone.wav"));
  std::vector<std::pair<double, double>> lines;
  std::istringstream in(out);
  for (double t, hz; in >> t >> hz;) lines.emplace_back(t, hz);
  ASSERT_NEAR(double(lines.size()), 250, 2);
  EXPECT_DOUBLE_EQ(lines[100].first, 1.0);
  EXPECT_NEAR(lines[100].second, 200, 2);
  EXPECT_EQ(lines[10].second, 0);
  EXPECT_NE(testsupport::RunCommand(testsupport::ToolPath("orativo-analyse") + " pitch " + folder.File("none.wav") +
                                    " 2>/dev/null"),
            0);
}

}  // namespace

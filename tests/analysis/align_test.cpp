// Alignment of a spoken phrase with the same phrase stretched unevenly by
// rubberband (a key-frame map): a late start, the first 1.2 s stretched by the
// parameter, the rest by its inverse. The student time found for each marked
// tutor time is checked against that warp.
#include "analysis/align.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <sstream>

#include "analysis/pitch_track.h"
#include "tests/support/test_support.h"

using namespace testsupport;

TEST(Align, MedianErrorAtMarkedPointsUnder30Ms) {
  REQUIRE_COMMAND("espeak-ng");
  REQUIRE_COMMAND("rubberband");
  TempFolder folder;
  const std::string tutor = folder.File("tutor.wav"), student = folder.File("student.wav");
  ASSERT_EQ(RunCommand("espeak-ng -v fr -s 140 -w " + tutor +
                       " \"Bonjour, je voudrais un billet pour Marseille, s'il vous plait.\""),
            0);
  int rate = 0, channels = 0;
  std::vector<int16_t> pcm;
  ASSERT_TRUE(ReadWav16(tutor, &rate, &channels, &pcm));
  // Marked points: every 50 ms where the tutor speaks (within 25 dB of the loudest 10 ms).
  const size_t frame = size_t(rate / 100) * channels;
  std::vector<double> energy;
  for (size_t at = 0; at + frame <= pcm.size(); at += frame)
    energy.push_back(std::inner_product(&pcm[at], &pcm[at] + frame, &pcm[at], 0.0));
  const double loudest = *std::max_element(energy.begin(), energy.end());

  for (double stretch : {0.7, 0.85, 1.2, 1.4}) {
    SCOPED_TRACE(stretch);
    const double half = 1.2, late = 0.3;
    const long frames = long(pcm.size()) / channels, halfFrames = std::lround(half * rate);
    const long total = std::lround(halfFrames * stretch + (frames - halfFrames) / stretch);
    ASSERT_TRUE(WriteFileText(folder.File("map.txt"), "0 0\n" + std::to_string(halfFrames) + " " +
                                                          std::to_string(std::lround(halfFrames * stretch)) + "\n" +
                                                          std::to_string(frames) + " " + std::to_string(total) + "\n"));
    ASSERT_EQ(RunCommand("rubberband -q -M " + folder.File("map.txt") + " -D " + std::to_string(double(total) / rate) +
                         " " + tutor + " " + folder.File("stretched.wav") + " >/dev/null 2>&1"),
              0);
    int stretchedRate = 0;
    std::vector<int16_t> stretched;
    ASSERT_TRUE(ReadWav16(folder.File("stretched.wav"), &stretchedRate, &channels, &stretched));
    stretched.insert(stretched.begin(), size_t(std::lround(late * rate)) * channels, int16_t(0));
    ASSERT_TRUE(WriteWav16(student, stretchedRate, channels, stretched));
    auto truth = [&](double t) { return late + (t < half ? t * stretch : half * stretch + (t - half) / stretch); };

    std::istringstream out(CommandOutput(ToolPath("orativo-analyse") + " align " + tutor + " " + student));
    std::vector<double> studentAt;
    for (double t, s; out >> t >> s;) {
      EXPECT_NEAR(t, studentAt.size() * 0.01, 1e-6);
      studentAt.push_back(s);
    }
    ASSERT_NEAR(double(studentAt.size()), double(energy.size()), 3);
    std::vector<double> errors;
    for (size_t i = 0; i < energy.size() && i < studentAt.size(); i += 5)
      if (energy[i] > loudest * std::pow(10, -2.5)) errors.push_back(std::fabs(studentAt[i] - truth(i * 0.01)));
    ASSERT_GT(errors.size(), 20u);
    std::nth_element(errors.begin(), errors.begin() + long(errors.size() / 2), errors.end());
    EXPECT_LT(errors[errors.size() / 2], 0.030);
    // The path runs forward only.
    EXPECT_TRUE(std::is_sorted(studentAt.begin(), studentAt.end()));
  }
}

TEST(Align, EmptyOrSilentInputGivesAPathAnyway) {
  EXPECT_TRUE(AlignRecordings({}, 16000, std::vector<float>(1600, 0.0f), 16000).empty());
  std::vector<LAlignPair> pairs =
      AlignRecordings(std::vector<float>(3200, 0.0f), 16000, std::vector<float>(160, 0.0f), 16000);
  ASSERT_EQ(pairs.size(), 21u);
  EXPECT_EQ(pairs.back().studentSeconds, 0.01);
}

TEST(Align, ACancelStopsTheFrameLoopsPartWay) {
  // Twenty seconds of buzz; the cancel answers no once, then yes.
  std::vector<float> buzz(size_t(16000 * 20));
  for (size_t i = 0; i < buzz.size(); ++i) buzz[i] = float(i % 80) / 80 - 0.5f;
  int asked = 0;
  const LAnalysisCancel cancel = [&asked] { return ++asked > 1; };
  const auto features = CepstralFeatures(buzz, 16000);
  EXPECT_TRUE(CepstralFeatures(buzz, 16000, cancel).empty());
  EXPECT_EQ(asked, 2);
  asked = 0;
  EXPECT_TRUE(AlignFeatures(features, features, cancel).empty());
  EXPECT_EQ(asked, 2);
  asked = 0;
  EXPECT_TRUE(TrackPitch(buzz, 16000, {}, cancel).empty());
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(AlignFeatures(features, features).size(), features.size()) << "no cancel: the whole path";
}

// Pitch comparison over an alignment: a high and a low voice with the same
// melody match; a melody that falls where the tutor's rises is marked there.
#include "analysis/compare.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Hz per 10 ms frame: a rise over the first half, then the shape given.
std::vector<float> Contour(int frames, double base, bool secondHalfFalls) {
  std::vector<float> hz(size_t(frames), 0.0f);
  for (int i = 10; i < frames - 10; ++i) {
    double x = double(i) / frames;
    double semitones = x < 0.5 ? 8 * x : (secondHalfFalls ? 4 - 16 * (x - 0.5) : 4 + 4 * (x - 0.5));
    hz[size_t(i)] = float(base * std::pow(2, semitones / 12));
  }
  return hz;
}

std::vector<LAlignPair> Stretched(int frames, double stretch) {
  std::vector<LAlignPair> path;
  for (int i = 0; i < frames; ++i) path.push_back({i * 0.01, i * 0.01 * stretch});
  return path;
}

TEST(ComparePitch, SameMelodyMatchesAndAFallWhereTheTutorRisesIsMarkedThere) {
  LPitchComparison same = ComparePitch(Contour(200, 110, false), Contour(260, 230, false), Stretched(200, 1.3));
  EXPECT_TRUE(same.differences.empty());
  EXPECT_GT(same.similarity, 0.95);
  LPitchComparison c = ComparePitch(Contour(200, 110, false), Contour(160, 230, true), Stretched(200, 0.8));
  ASSERT_EQ(c.differences.size(), 1u);
  // The fall drifts 3 semitones from the rise (about the medians) at around
  // two thirds of the phrase and stays apart until the student's voicing
  // ends (student frame 149, tutor time 1.49 / 0.8).
  EXPECT_GT(c.differences[0].fromSeconds, 1.1);
  EXPECT_LT(c.differences[0].fromSeconds, 1.6);
  EXPECT_NEAR(c.differences[0].toSeconds, 1.87, 0.015);
  EXPECT_LT(c.similarity, 0.8);
  EXPECT_EQ(ComparePitch({}, Contour(100, 200, false), {}).similarity, 0);
}

}  // namespace

#include "analysis/compare.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/pitch_track.h"

namespace {

constexpr int kShortestDifference = 5;  // frames: shorter differences are not heard as a different melody

}  // namespace

std::vector<float> SemitonesAboutMedian(const std::vector<float>& hz) {
  std::vector<float> voiced;
  for (float f : hz)
    if (f > 0) voiced.push_back(f);
  std::vector<float> out(hz.size(), std::numeric_limits<float>::quiet_NaN());
  if (voiced.empty()) return out;
  std::nth_element(voiced.begin(), voiced.begin() + voiced.size() / 2, voiced.end());
  const float median = voiced[voiced.size() / 2];
  for (size_t i = 0; i < hz.size(); ++i)
    if (hz[i] > 0) out[i] = 12 * std::log2(hz[i] / median);
  return out;
}

LPitchComparison ComparePitch(const std::vector<float>& tutorHz, const std::vector<float>& studentHz,
                              const std::vector<LAlignPair>& path) {
  LPitchComparison c;
  c.tutorSemitones = SemitonesAboutMedian(tutorHz);
  c.studentSemitones = SemitonesAboutMedian(studentHz);
  const size_t frames = std::min(c.tutorSemitones.size(), path.size());
  int voiced = 0, matched = 0;
  size_t runStart = 0, runLength = 0;
  auto closeRun = [&](size_t end) {
    if (runLength >= size_t(kShortestDifference))
      c.differences.push_back({runStart * kPitchFrameSeconds, end * kPitchFrameSeconds});
    runLength = 0;
  };
  for (size_t i = 0; i < frames; ++i) {
    const float tutor = c.tutorSemitones[i];
    const long j = std::lround(path[i].studentSeconds / kPitchFrameSeconds);
    const float student = j >= 0 && size_t(j) < c.studentSemitones.size() ? c.studentSemitones[size_t(j)]
                                                                          : std::numeric_limits<float>::quiet_NaN();
    if (std::isnan(tutor)) {
      closeRun(i);
      continue;
    }
    ++voiced;
    if (!std::isnan(student) && std::fabs(tutor - student) < kMarkedSemitones) {
      ++matched;
      closeRun(i);
    } else if (!std::isnan(student)) {
      if (runLength++ == 0) runStart = i;
    } else {
      closeRun(i);  // an unvoiced student frame is a matter of voicing, not melody
    }
  }
  closeRun(frames);
  c.similarity = voiced > 0 ? double(matched) / voiced : 0;
  return c;
}

#pragma once
// What the compare view draws, worked out away from it: both pitch contours
// in semitones about each speaker's own median (so a low and a high voice
// compare fairly), the places where the aligned contours differ by 3
// semitones or more, and a similarity that may suggest practising again.
#include <vector>

#include "analysis/align.h"

constexpr double kMarkedSemitones = 3.0;

struct LPitchDifference {
  double fromSeconds, toSeconds;  // tutor time
};

struct LPitchComparison {
  std::vector<float> tutorSemitones, studentSemitones;  // per 10 ms frame; NaN where unvoiced
  std::vector<LPitchDifference> differences;
  // The share of the tutor's voiced frames the student matches within the
  // mark (voiced, and closer than 3 semitones); 0 when the tutor has none.
  double similarity = 0;
};

// Semitones about the median of the voiced frames; NaN where unvoiced.
std::vector<float> SemitonesAboutMedian(const std::vector<float>& hz);

// path: for each tutor frame, its student time (AlignRecordings).
LPitchComparison ComparePitch(const std::vector<float>& tutorHz, const std::vector<float>& studentHz,
                              const std::vector<LAlignPair>& path);

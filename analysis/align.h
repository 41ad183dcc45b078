#pragma once
// Time alignment of two recordings of the same phrase: dynamic time warping
// over short-time cepstra (10 ms frames), kept within a band around the
// diagonal so that cost stays linear in length.
#include <vector>

#include "analysis/cancel.h"

constexpr double kAlignFrameSeconds = 0.01;

// Mel-frequency cepstra (c1..c12, mean removed), one row per 10 ms frame.
// Empty when cancelled, as are the alignments below.
std::vector<std::vector<float>> CepstralFeatures(const std::vector<float>& samples, int rate,
                                                 const LAnalysisCancel& cancel = {});

struct LAlignPair {
  double tutorSeconds;
  double studentSeconds;
};

// For every tutor frame, the student time it matches (the mean of the
// student frames the warping path gives it). Empty when either has no frames.
std::vector<LAlignPair> AlignRecordings(const std::vector<float>& tutor, int tutorRate,
                                        const std::vector<float>& student, int studentRate,
                                        const LAnalysisCancel& cancel = {});
// The same over features already made.
std::vector<LAlignPair> AlignFeatures(const std::vector<std::vector<float>>& tutor,
                                      const std::vector<std::vector<float>>& student,
                                      const LAnalysisCancel& cancel = {});

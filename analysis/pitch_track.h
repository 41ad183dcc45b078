#pragma once
// Voice pitch, one value per 10 ms frame: a difference-function tracker with
// cumulative mean normalisation, parabolic refinement and a voicing
// threshold, followed by octave-jump smoothing.
#include <cstddef>
#include <vector>

#include "analysis/cancel.h"

constexpr double kPitchFrameSeconds = 0.01;

struct LPitchOptions {
  double minHz = 70;
  double maxHz = 500;
  double threshold = 0.2;  // normalised difference below which a frame is voiced
};

// The number of frames TrackPitch gives for a recording of this length.
int PitchFrames(size_t samples, int rate);
// Hz of frame i (centred on i x 10 ms), 0 where unvoiced; empty when cancelled.
std::vector<float> TrackPitch(const std::vector<float>& samples, int rate, const LPitchOptions& options = {},
                              const LAnalysisCancel& cancel = {});

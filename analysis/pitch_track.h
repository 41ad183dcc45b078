#pragma once
// Voice pitch, one value per 10 ms frame: a difference-function tracker with
// cumulative mean normalisation, parabolic refinement and a voicing
// threshold, followed by octave-jump smoothing.
#include <vector>

constexpr double kPitchFrameSeconds = 0.01;

struct LPitchOptions {
  double minHz = 70;
  double maxHz = 500;
  double threshold = 0.2;  // normalised difference below which a frame is voiced
};

// Hz of frame i (centred on i x 10 ms), 0 where unvoiced.
std::vector<float> TrackPitch(const std::vector<float>& samples, int rate, const LPitchOptions& options = {});

#pragma once
// How clean voiced sound is, as a stretcher leaves it: in the frames the
// pitch tracker finds voiced, the energy halfway between the harmonics of
// that frame's pitch over the energy at them, in dB (lower is cleaner).
// Segments joined out of phase spread energy between the harmonics; a
// clean stretch keeps it on them.
#include <vector>

struct LHarmonicClarity {
  double betweenDb = 0;  // 0 when no frame is voiced
  int voicedFrames = 0;  // frames measured
};

// Harmonics up to maxHz; each frame is measured over six of its periods.
LHarmonicClarity MeasureHarmonicClarity(const std::vector<float>& samples, int rate, double maxHz = 4000);

#pragma once
// Recordings as the analysis wants them: one channel of floats (full scale
// 1.0) at a rate of about 16 kHz, enough for voice pitch and spectra.
#include <string>
#include <vector>

#include "analysis/cancel.h"
#include "sound/sound_stream.h"

struct LAnalysisAudio {
  std::vector<float> samples;
  int rate = 0;
};

// The source from its start (at most its first five minutes), channels averaged, lowered by an integer
// factor towards 16 kHz behind an anti-alias filter. Empty (rate 0) when the
// source is unusable or cancel says so.
LAnalysisAudio AnalysisAudioFrom(const LSoundSourceRef& source, const LAnalysisCancel& cancel = {});
LAnalysisAudio AnalysisAudioFromFile(const std::string& path);

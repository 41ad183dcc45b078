#include "sound/processors.h"

LSoundFilterBase::LSoundFilterBase(const LSoundSourceRef& inner)
    : LSoundSourceBase(inner->sampleRate, inner->channels, inner->maxAmplitude), inner_(inner) {
  if (inner_->error != kSoundOk) error = kSoundInnerError;
}

LSoundSourceRef LPeakLimitProcessor::Open(const LSoundSourceRef& source) const {
  if (source->maxAmplitude <= limit) return source;
  return LSoundSourceRef(new LSRCPeakLimit(source, limit));
}

LSoundSourceRef LTimeStretchProcessor::Open(const LSoundSourceRef& source) const {
  return LSoundSourceRef(new LSRCTimeStretch(source, startSpeed, endSpeed, rampMilliseconds));
}

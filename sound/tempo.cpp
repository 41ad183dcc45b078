#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "sound/processors.h"

namespace {

constexpr int kInnerReadFrames = 4096;

}  // namespace

LSoundSourceRef LTempoProcessor::Open(const LSoundSourceRef& source) const {
  if (!(tempo < 1.0)) return source;
  return LSoundSourceRef(new LSRCTempo(source, tempo));
}

LSRCTempo::LSRCTempo(const LSoundSourceRef& inner, double tempo) : LSoundFilterBase(inner) {
  ch_ = std::max<int32_t>(channels, 1);
  tempo_ = std::isfinite(tempo) ? std::clamp(tempo, 0.5, 1.0) : 1.0;
  const int32_t rate = std::clamp<int32_t>(sampleRate, 1000, 768000);
  hop_ = rate * 15 / 1000;
  search_ = rate / 100;
  coarse_ = std::max(1, rate / 11025);
  coarseTarget_.resize(size_t(hop_ / coarse_ + 1));
  coarseBase_.resize(size_t((2 * search_ + hop_) / coarse_ + 1));
  coarseEnergy_.resize(coarseBase_.size() + 1);
  window_.resize(size_t(2 * hop_));
  // Periodic Hann: segments one hop apart sum to exactly one.
  for (int32_t i = 0; i < 2 * hop_; ++i) window_[size_t(i)] = float(0.5 - 0.5 * std::cos(std::numbers::pi * i / hop_));
  tail_.resize(size_t(hop_) * ch_);
  out_.resize(size_t(hop_) * ch_);
  const size_t capacity = size_t(2 * search_ + 3 * hop_ + 2);
  cache_.resize(capacity * ch_);
  mono_.resize(capacity);
  readBuffer_.resize(size_t(kInnerReadFrames) * ch_);
  // Output frame 0 is input frame 0, so positions keep their meaning.
  Start(int64_t(std::llround(inner_->GetPosition() / tempo_)));
}

void LSRCTempo::Seek(int position) { Start(position); }

int LSRCTempo::GetPosition() {
  int64_t frame = originOut_ + (steps_ > 0 ? (steps_ - 1) * hop_ + outIndex_ : 0);
  return int(std::clamp<int64_t>(frame, INT32_MIN, INT32_MAX));
}

int LSRCTempo::GetLength() {
  return int(std::min<int64_t>(int64_t(std::ceil(inner_->GetLength() / tempo_)), INT32_MAX));
}

void LSRCTempo::Start(int64_t outputFrame) {
  originOut_ = outputFrame;
  originIn_ = std::llround(double(outputFrame) * tempo_);
  steps_ = 0;
  outIndex_ = hop_;
  cacheFrames_ = 0;
  cacheStart_ = originIn_ - search_;
  // The first segment follows an imagined one that ended exactly at the
  // start, so the first hop is the input unchanged.
  previous_ = originIn_ - hop_;
  Ensure(originIn_ - search_, originIn_ + hop_);
  const float* x = cache_.data() + (originIn_ - cacheStart_) * ch_;
  for (int32_t i = 0; i < hop_; ++i)
    for (int32_t c = 0; c < ch_; ++c) tail_[size_t(i * ch_ + c)] = x[i * ch_ + c] * window_[size_t(hop_ + i)];
}

void LSRCTempo::Ensure(int64_t from, int64_t to) {
  const int64_t capacity = int64_t(mono_.size());
  if (from < cacheStart_ || to - from > capacity) {
    cacheStart_ = from;
    cacheFrames_ = 0;
  }
  if (from > cacheStart_) {
    int64_t drop = std::min(from - cacheStart_, cacheFrames_);
    std::memmove(cache_.data(), cache_.data() + drop * ch_, size_t((cacheFrames_ - drop) * ch_) * sizeof(float));
    std::memmove(mono_.data(), mono_.data() + drop, size_t(cacheFrames_ - drop) * sizeof(float));
    cacheFrames_ -= drop;
    cacheStart_ = from;  // when everything was dropped, reading restarts at from
  }
  int64_t end = cacheStart_ + cacheFrames_;
  if (to <= end) return;
  // Read ahead to fill the cache, so the inner source sees few, large reads.
  int64_t fillTo = cacheStart_ + capacity;
  if (end < INT32_MIN || fillTo > INT32_MAX) {
    std::fill(cache_.begin() + cacheFrames_ * ch_, cache_.end(), 0.0f);
    std::fill(mono_.begin() + cacheFrames_, mono_.end(), 0.0f);
    cacheFrames_ = capacity;
    innerNext_ = INT64_MIN;
    return;
  }
  if (innerNext_ != end) inner_->Seek(int(end));
  while (end < fillTo) {
    int piece = int(std::min<int64_t>(fillTo - end, kInnerReadFrames));
    inner_->Read(readBuffer_.data(), piece);
    float* c = cache_.data() + cacheFrames_ * ch_;
    float* m = mono_.data() + cacheFrames_;
    for (int f = 0; f < piece; ++f) {
      float sum = 0;
      for (int32_t k = 0; k < ch_; ++k) sum += c[f * ch_ + k] = float(readBuffer_[size_t(f * ch_ + k)]);
      m[f] = sum;
    }
    cacheFrames_ += piece;
    end += piece;
  }
  innerNext_ = end;
}

namespace {

// Normalised cross-correlation of cand with target over n samples: the
// match, without favouring loud candidates.
double Similarity(const float* cand, const float* target, int32_t n) {
  // Eight independent sums let the compiler use vector lanes.
  float dots[8] = {}, energies[8] = {};
  int32_t i = 0;
  for (; i + 8 <= n; i += 8)
    for (int k = 0; k < 8; ++k) {
      dots[k] += cand[i + k] * target[i + k];
      energies[k] += cand[i + k] * cand[i + k];
    }
  float dot = 0, energy = 0;
  for (int k = 0; k < 8; ++k) dot += dots[k], energy += energies[k];
  for (; i < n; ++i) {
    dot += cand[i] * target[i];
    energy += cand[i] * cand[i];
  }
  return energy > 1e-3f ? dot / std::sqrt(double(energy)) : -2.0;
}

}  // namespace

// The start within +-search_ of ideal whose first hop best matches the
// natural continuation of the previous segment: first over every coarse_-th
// offset and sample (about 11 kHz, plenty for a voice), then exactly around
// the best of those.
int64_t LSRCTempo::BestStart(int64_t ideal) {
  const float* target = mono_.data() + (previous_ + hop_ - cacheStart_);
  const float* base = mono_.data() + (ideal - search_ - cacheStart_);
  const int32_t span = 2 * search_, step = coarse_;
  // Every step-th sample side by side, so the rough search runs on contiguous data.
  const int32_t n = hop_ / step, candidates = (span + hop_) / step;
  for (int32_t k = 0; k < n; ++k) coarseTarget_[size_t(k)] = target[k * step];
  for (int32_t k = 0; k < candidates; ++k) coarseBase_[size_t(k)] = base[k * step];
  // Candidate energies from running sums, so the loop below only correlates.
  coarseEnergy_[0] = 0;
  for (int32_t k = 0; k < candidates; ++k)
    coarseEnergy_[size_t(k) + 1] = coarseEnergy_[size_t(k)] + double(coarseBase_[size_t(k)]) * coarseBase_[size_t(k)];
  double best = -2;
  int32_t bestOffset = search_;
  for (int32_t d = 0; d <= span && d / step + n <= candidates; d += step) {
    const float* cand = coarseBase_.data() + d / step;
    float lanes[8] = {};
    int32_t i = 0;
    for (; i + 8 <= n; i += 8)
      for (int k = 0; k < 8; ++k) lanes[k] += cand[i + k] * coarseTarget_[size_t(i + k)];
    float dot = 0;
    for (int k = 0; k < 8; ++k) dot += lanes[k];
    for (; i < n; ++i) dot += cand[i] * coarseTarget_[size_t(i)];
    const double energy = coarseEnergy_[size_t(d / step + n)] - coarseEnergy_[size_t(d / step)];
    if (energy <= 1e-3) continue;
    double score = dot / std::sqrt(energy);
    if (score > best) best = score, bestOffset = d;
  }
  if (best <= -2) return ideal;  // silence: nothing to match
  if (step > 1) {
    const int32_t around = bestOffset;
    best = -2;
    for (int32_t d = std::max(0, around - step + 1); d <= std::min(span, around + step - 1); ++d) {
      double score = Similarity(base + d, target, hop_);
      if (score > best) best = score, bestOffset = d;
    }
  }
  return ideal - search_ + bestOffset;
}

void LSRCTempo::NextFrame() {
  const int64_t ideal = originIn_ + std::llround(double(steps_) * hop_ * tempo_);
  // The search reaches from ideal - search_; the new segment and the
  // previous one's continuation lie inside [that, ideal + search_ + 2 hops).
  Ensure(ideal - search_, ideal + search_ + 2 * hop_);
  const int64_t start = steps_ == 0 ? ideal : BestStart(ideal);
  const float* x = cache_.data() + (start - cacheStart_) * ch_;
  for (int32_t i = 0; i < hop_; ++i) {
    for (int32_t c = 0; c < ch_; ++c) {
      const size_t k = size_t(i * ch_ + c);
      float v = tail_[k] + x[k] * window_[size_t(i)];
      out_[k] = int32_t(std::lrint(v));
      tail_[k] = x[size_t((hop_ + i) * ch_ + c)] * window_[size_t(hop_ + i)];
    }
  }
  previous_ = start;
  ++steps_;
  outIndex_ = 0;
}

void LSRCTempo::Read(int32_t* buffer, int frames) {
  int64_t remaining = std::max(frames, 0);
  while (remaining > 0) {
    if (outIndex_ >= hop_) NextFrame();
    int64_t n = std::min<int64_t>(hop_ - outIndex_, remaining);
    std::memcpy(buffer, out_.data() + size_t(outIndex_) * ch_, size_t(n * ch_) * sizeof(int32_t));
    buffer += n * ch_;
    outIndex_ += int32_t(n);
    remaining -= n;
  }
}

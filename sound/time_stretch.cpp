#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "sound/processors.h"

namespace {

constexpr int64_t kUnity = 0x1000000;  // 1.0 in 8.24
constexpr int kCacheBlocks = 8;
constexpr int kInnerReadFrames = 8192;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

int64_t AdvanceFor(double speed, int32_t blockLength) {
  if (!std::isfinite(speed)) speed = 1.0;
  speed = std::clamp(speed, -10000.0, 10000.0);  // keeps positions far from overflow
  return int64_t(blockLength * speed);
}

}  // namespace

LSRCTimeStretch::LSRCTimeStretch(const LSoundSourceRef& inner, double startSpeed, double endSpeed,
                                 int32_t rampMilliseconds)
    : LSoundFilterBase(inner) {
  ch_ = std::max<int32_t>(channels, 1);
  blockLength_ = ch_ * std::clamp(sampleRate / 90, 20, 2730);
  const int32_t L = blockLength_;
  window_.resize(size_t(L));
  const int32_t half = L / 2, n = L - half;
  for (int32_t i = 0; i < half; ++i) window_[size_t(i)] = uint32_t(kUnity);
  for (int32_t j = 0; j < n; ++j)
    window_[size_t(half + j)] = uint32_t((0.5 * std::cos(std::numbers::pi * j / n) + 0.5) * double(kUnity) + 0.5);
  advance_ = AdvanceFor(startSpeed, L);
  targetAdvance_ = AdvanceFor(endSpeed, L);
  rampRemaining_ = rampMilliseconds > 0 ? int64_t(LSoundTime::MsToFrames(rampMilliseconds, sampleRate)) * ch_ : 0;
  startAdvance_ = advance_;
  rampTotal_ = rampRemaining_;
  out_.resize(size_t(L));
  continuation_.resize(size_t(L));
  cache_.resize(size_t(kCacheBlocks) * size_t(L));
  Start(inner_->GetPosition());
}

void LSRCTimeStretch::Start(int64_t framePosition) {
  int64_t start = framePosition * ch_;
  if (advance_ < 0) start -= blockLength_;  // the first snippet ends where playing backward begins
  nextA_ = nextB_ = currentB_ = start;
  outIndex_ = blockLength_;
}

void LSRCTimeStretch::Seek(int position) { Start(position); }

int LSRCTimeStretch::GetPosition() {
  int64_t sample = outIndex_ < blockLength_ ? currentB_ + outIndex_ : nextB_;
  int64_t frame = FloorDiv(sample, ch_);
  if (advance_ < 0) frame = std::max<int64_t>(frame, 0);  // backward play ends at the start
  return int(std::clamp<int64_t>(frame, INT32_MIN, INT32_MAX));
}

int LSRCTimeStretch::GetLength() {
  if (advance_ >= 0) return inner_->GetLength();
  return int(std::min<int64_t>(2 * int64_t(GetPosition()), INT32_MAX));
}

void LSRCTimeStretch::Fetch(int64_t from, int64_t to, int32_t* out) {
  int64_t frame = from / ch_, frames = (to - from) / ch_;
  // Far outside what a 32-bit position can address there is only silence.
  if (frame < INT32_MIN || frame + frames > INT32_MAX) {
    std::fill(out, out + (to - from), 0);
    innerPosition_ = INT64_MIN;
    return;
  }
  if (innerPosition_ != from) inner_->Seek(int(frame));
  while (frames > 0) {
    int piece = int(std::min<int64_t>(frames, kInnerReadFrames));
    inner_->Read(out, piece);
    out += int64_t(piece) * ch_;
    frames -= piece;
  }
  innerPosition_ = to;
}

void LSRCTimeStretch::Ensure(int64_t from, int64_t to) {
  const int64_t capacity = int64_t(cache_.size());
  const int64_t cacheEnd = cacheStart_ + cacheUsed_;
  if (from >= cacheStart_ && to <= cacheEnd) return;
  // Moving forward the cache starts at from; moving back it ends at to.
  int64_t start = from >= cacheStart_ ? from : to - capacity;
  int64_t end = start + capacity;
  int64_t keepFrom = std::max(start, cacheStart_), keepTo = std::min(end, cacheEnd);
  if (keepFrom < keepTo) {
    std::memmove(cache_.data() + (keepFrom - start), cache_.data() + (keepFrom - cacheStart_),
                 size_t(keepTo - keepFrom) * sizeof(int32_t));
    if (start < keepFrom) Fetch(start, keepFrom, cache_.data());
    if (keepTo < end) Fetch(keepTo, end, cache_.data() + (keepTo - start));
  } else {
    Fetch(start, end, cache_.data());
  }
  cacheStart_ = start;
  cacheUsed_ = capacity;
}

void LSRCTimeStretch::NextBlock() {
  const int32_t L = blockLength_;
  const int64_t a = nextA_, b = nextB_;
  if (a == b) {
    // Both segments read the same samples: the block is the input itself.
    Ensure(b, b + 2 * int64_t(L));
    std::memcpy(out_.data(), cache_.data() + (b - cacheStart_), size_t(L) * sizeof(int32_t));
  } else {
    Ensure(a, a + L);
    std::memcpy(continuation_.data(), cache_.data() + (a - cacheStart_), size_t(L) * sizeof(int32_t));
    Ensure(b, b + 2 * int64_t(L));  // the second half continues the next block
    const int32_t* x = cache_.data() + (b - cacheStart_);
    const int32_t half = L / 2;
    std::memcpy(out_.data(), continuation_.data(), size_t(half) * sizeof(int32_t));
    // x(a) w + x(b) (1 - w), formed so that equal inputs give exactly that input.
    for (int32_t i = half; i < L; ++i) {
      int64_t from = continuation_[size_t(i)], to = x[i];
      out_[size_t(i)] = int32_t(to + (((from - to) * int64_t(window_[size_t(i)])) >> 24));
    }
  }
  currentB_ = b;
  outIndex_ = 0;
  nextA_ = b + L;
  nextB_ = b + (advance_ - advance_ % ch_);
  if (rampRemaining_ > 0) {
    // From the start value each time: stepping by the remaining distance in
    // integers rounds every early step to nothing and holds the start speed.
    rampRemaining_ -= L;
    advance_ = rampRemaining_ < 1 ? targetAdvance_
                                  : targetAdvance_ - (targetAdvance_ - startAdvance_) * rampRemaining_ / rampTotal_;
  }
}

void LSRCTimeStretch::Read(int32_t* buffer, int frames) {
  int64_t remaining = int64_t(std::max(frames, 0)) * ch_;
  while (remaining > 0) {
    if (outIndex_ >= blockLength_) NextBlock();
    int64_t n = std::min<int64_t>(blockLength_ - outIndex_, remaining);
    std::memcpy(buffer, out_.data() + outIndex_, size_t(n) * sizeof(int32_t));
    buffer += n;
    outIndex_ += int32_t(n);
    remaining -= n;
  }
}

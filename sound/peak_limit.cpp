#include <algorithm>
#include <cstring>

#include "sound/processors.h"

namespace {

constexpr uint32_t kUnity = 0x1000000;  // 1.0 in 8.24

// s x g / 2^24 with 12-bit halves, the product of the two low parts dropped.
inline int32_t ApplyGain(int32_t s, uint32_t g) {
  int64_t sHigh = s >> 12, sLow = s & 0xFFF;
  int64_t gHigh = g >> 12, gLow = g & 0xFFF;
  return int32_t(sHigh * gHigh + ((sLow * gHigh) >> 12) + ((sHigh * gLow) >> 12));
}

// Whether any sample lies outside [-limit, limit]. Most blocks need no gain,
// so this is the limiter's common cost: eight lanes of compares, built a
// second time for AVX2 where the processor has it.
#if defined(__x86_64__) && defined(__linux__)
__attribute__((target_clones("avx2", "default")))
#endif
bool AnyOutside(const int32_t* p, size_t n, int32_t limit) {
  using Lanes = int32_t __attribute__((vector_size(32)));  // GCC and Clang vector extension
  const Lanes high = {limit, limit, limit, limit, limit, limit, limit, limit}, low = -high;
  Lanes outside = {};
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    Lanes v;
    std::memcpy(&v, p + i, sizeof v);
    outside |= (v > high) | (v < low);
  }
  int over = 0;
  for (int j = 0; j < 8; ++j) over |= outside[j];
  for (; i < n; ++i) over |= (p[i] > limit) | (p[i] < -limit);
  return over != 0;
}

}  // namespace

LSRCPeakLimit::LSRCPeakLimit(const LSoundSourceRef& inner, uint32_t limit) : LSoundFilterBase(inner) {
  maxAmplitude = std::min(limit, kPeakLimitMax);
  block_ = std::clamp(sampleRate / 35, 20, 8192);
  index_ = 3 * block_;
  for (auto& buffer : buffers_) buffer.resize(size_t(block_) * channels);
}

uint32_t LSRCPeakLimit::BlockGain(uint32_t peak, uint32_t limit) {
  if (peak <= limit) return kUnity;
  uint64_t scaled = uint64_t(limit) * 512 / ((uint64_t(peak) + 64) / 64);
  return uint32_t(scaled * 512);
}

void LSRCPeakLimit::ReadBlock(int which) {
  std::vector<int32_t>& buffer = buffers_[order_[which]];
  inner_->Read(buffer.data(), block_);
  // Most blocks need no gain: first only ask whether any sample is outside
  // the limit, with compares the compiler can run as vector instructions.
  const int32_t* p = buffer.data();
  const size_t n = buffer.size();
  const int32_t limit = int32_t(maxAmplitude);
  bool over = AnyOutside(p, n, limit);
  uint32_t peak = 0;
  if (over) {
    for (size_t i = 0; i < n; ++i) {
      uint32_t magnitude = p[i] < 0 ? 0u - uint32_t(p[i]) : uint32_t(p[i]);
      peak = std::max(peak, magnitude);
    }
  }
  gains_[which + 1] = BlockGain(peak, maxAmplitude);
}

void LSRCPeakLimit::SetUpRamp() {
  uint32_t average = uint32_t((uint64_t(gains_[0]) + gains_[1] + gains_[2] + gains_[3]) / 4);
  uint32_t target = std::min({gains_[1], gains_[2], average});
  int64_t delta = int64_t(target) - int64_t(gain_);
  step_ = int32_t(delta / block_);
  gain_ = uint32_t(int64_t(gain_) + delta % block_);  // the ramp then ends exactly at the target
}

void LSRCPeakLimit::FillFromStart() {
  for (int i = 0; i < 3; ++i) {
    order_[i] = i;
    ReadBlock(i);
  }
  gains_[0] = gains_[1];
  gain_ = gains_[1];
  SetUpRamp();
  index_ = 0;
}

void LSRCPeakLimit::NextBlock() {
  int used = order_[0];
  order_[0] = order_[1];
  order_[1] = order_[2];
  order_[2] = used;
  gains_[0] = gains_[1];
  gains_[1] = gains_[2];
  gains_[2] = gains_[3];
  ReadBlock(2);
  SetUpRamp();
  index_ = 0;
}

void LSRCPeakLimit::Read(int32_t* buffer, int frames) {
  while (frames > 0) {
    if (index_ == 3 * block_)
      FillFromStart();
    else if (index_ >= block_)
      NextBlock();
    int count = std::min(block_ - index_, frames);
    const int32_t* from = buffers_[order_[0]].data() + size_t(index_) * channels;
    size_t samples = size_t(count) * channels;
    if (gain_ >= kUnity && step_ == 0) {
      std::memcpy(buffer, from, samples * sizeof(int32_t));
    } else {
      for (size_t i = 0; i < samples;) {
        for (unsigned c = 0; c < channels; ++c, ++i) buffer[i] = ApplyGain(from[i], gain_);
        gain_ = uint32_t(int64_t(gain_) + step_);
      }
    }
    buffer += samples;
    index_ += count;
    frames -= count;
  }
}

int LSRCPeakLimit::GetPosition() {
  int64_t position = int64_t(inner_->GetPosition()) - (3 * block_ - index_);
  return int(std::max<int64_t>(position, INT32_MIN));
}

void LSRCPeakLimit::Seek(int position) {
  inner_->Seek(position);
  index_ = 3 * block_;  // filled afresh by the next Read
}

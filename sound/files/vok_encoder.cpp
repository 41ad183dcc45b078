#include "sound/files/vok_encoder.h"

#include <algorithm>

#include "platform/file_handle.h"
#include "sound/files/vok_file.h"
#include "sound/sound_stream.h"

namespace {

// The decoder stops its samples at full scale; the search stays inside it so
// the predictor never runs away from what is heard.
constexpr int32_t kLowest = -int32_t(kSampleFullScale);
constexpr int32_t kHighest = int32_t(kSampleFullScale);

struct HalfBlock {
  int64_t error = 0;
  int32_t last = 0;  // predictor after the half block
  int8_t deltas[8] = {};
};

// Codes frames [0, count) of a half block (count may be below 8: the rest is
// padding) with one step, starting from the decoder's value y.
HalfBlock CodeHalf(const int32_t* x, int stride, int count, int32_t y, int32_t step) {
  HalfBlock half;
  for (int j = 0; j < count; ++j) {
    const int32_t target = x[j * stride];
    const int32_t e = target - y;
    int32_t q = e >= 0 ? (e + step / 2) / step : -((-e + step / 2) / step);
    q = std::clamp(q, -128, 127);
    int32_t v = y + q * step;
    if (v > kHighest) {
      q -= (v - kHighest + step - 1) / step;
    } else if (v < kLowest) {
      q += (kLowest - v + step - 1) / step;
    }
    y += q * step;
    const int64_t diff = int64_t(target) - y;
    half.error += diff * diff;
    half.deltas[j] = int8_t(q);
  }
  half.last = y;
  return half;
}

}  // namespace

LVOKEncoder::LVOKEncoder(unsigned channels) : channels_(channels), predictors_(channels, 0) {}

void LVOKEncoder::EncodeBlock(const int32_t* samples, int frames, std::vector<uint8_t>* out) {
  frames = std::clamp(frames, 0, kVOKBlockFrames);
  const size_t start = out->size();
  out->resize(start + size_t(kVOKBlockBytesPerChannel) * channels_, 0);
  for (unsigned q = 0; q < channels_; ++q) EncodeChannel(samples, frames, int(q), out->data() + start);
}

void LVOKEncoder::EncodeChannel(const int32_t* samples, int frames, int q, uint8_t* block) {
  const int stride = int(channels_);
  const int32_t s = predictors_[size_t(q)];
  const int32_t y0 = s - (s >> 4);
  const int firstCount = std::min(frames, 8);
  const int secondCount = std::max(frames - 8, 0);

  HalfBlock first[kVOKStepCount];
  for (int i1 = 0; i1 < kVOKStepCount; ++i1)
    first[i1] = CodeHalf(samples + q, stride, firstCount, y0, kVOKStepTable[i1]);

  int64_t bestError = INT64_MAX;
  int bestI1 = 0, bestD = 3;
  HalfBlock bestSecond;
  for (int i1 = 0; i1 < kVOKStepCount; ++i1) {
    if (first[i1].error >= bestError) continue;
    int lastI2 = -1;
    for (int d = 0; d < 8; ++d) {
      const int i2 = VOKStepIndex2(uint8_t(i1 << 3 | d));
      if (i2 == lastI2) continue;  // clamped at the table's ends
      lastI2 = i2;
      HalfBlock second = CodeHalf(samples + q + 8 * stride, stride, secondCount, first[i1].last, kVOKStepTable[i2]);
      const int64_t total = first[i1].error + second.error;
      if (total < bestError) {
        bestError = total;
        bestI1 = i1;
        bestD = d;
        bestSecond = second;
      }
    }
  }

  block[q] = uint8_t(bestI1 << 3 | bestD);
  for (int j = 0; j < 8; ++j) block[(1 + j) * stride + q] = uint8_t(first[bestI1].deltas[j]);
  for (int j = 0; j < 8; ++j) block[(9 + j) * stride + q] = uint8_t(bestSecond.deltas[j]);
  // Padding frames carry zero deltas, so the last real value is what the decoder keeps.
  predictors_[size_t(q)] = secondCount > 0 ? bestSecond.last : first[bestI1].last;
}

std::vector<uint8_t> EncodeVOK(const std::vector<int32_t>& samples, uint32_t rate, unsigned channels) {
  if (rate < 1 || rate > 0xFFFFFF || channels < 1 || channels > 255) return {};
  const size_t frames = samples.size() / channels;
  VOKHeader header;
  header.SetFormat(rate, channels);
  header.length = uint32_t(std::min<size_t>(frames, INT32_MAX));
  std::vector<uint8_t> out(kVOKHeaderBytes);
  header.Store(out.data());
  out.reserve(kVOKHeaderBytes + (frames / kVOKBlockFrames + 1) * kVOKBlockBytesPerChannel * channels);

  LVOKEncoder encoder(channels);
  std::vector<int32_t> block(size_t(kVOKBlockFrames) * channels, 0);
  for (size_t frame = 0; frame < header.length; frame += kVOKBlockFrames) {
    const size_t count = std::min<size_t>(kVOKBlockFrames, header.length - frame);
    std::fill(block.begin(), block.end(), 0);
    std::copy_n(samples.begin() + ptrdiff_t(frame * channels), count * channels, block.begin());
    encoder.EncodeBlock(block.data(), int(count), &out);
  }
  return out;
}

bool WriteVOKFile(const std::string& path, const std::vector<int32_t>& samples, uint32_t rate, unsigned channels) {
  const std::vector<uint8_t> bytes = EncodeVOK(samples, rate, channels);
  if (bytes.empty()) return false;
  PlatformFile file = PlatformFile::Create(path);
  return file.IsOpen() && file.Write(bytes.data(), bytes.size()) == bytes.size();
}

bool WriteVOKFromSource(const std::string& path, LSoundSourceBase* source) {
  if (source->error != kSoundOk || source->sampleRate > 0xFFFFFF) return false;
  const unsigned channels = source->channels;
  const int length = std::max(source->GetLength(), 0);
  PlatformFile file = PlatformFile::Create(path);
  if (!file.IsOpen()) return false;
  VOKHeader header;
  header.SetFormat(uint32_t(source->sampleRate), channels);
  header.length = uint32_t(length);
  uint8_t headerBytes[kVOKHeaderBytes];
  header.Store(headerBytes);
  if (file.Write(headerBytes, sizeof headerBytes) != sizeof headerBytes) return false;

  constexpr int kReadFrames = 8192;  // a whole number of blocks
  LVOKEncoder encoder(channels);
  std::vector<int32_t> samples(size_t(kReadFrames) * channels);
  std::vector<uint8_t> coded;
  source->Seek(0);
  for (int done = 0; done < length;) {
    const int frames = std::min(kReadFrames, length - done);
    source->Read(samples.data(), frames);
    coded.clear();
    for (int frame = 0; frame < frames; frame += kVOKBlockFrames) {
      // A last part block's missing frames are never looked at.
      const int count = std::min(kVOKBlockFrames, frames - frame);
      encoder.EncodeBlock(samples.data() + size_t(frame) * channels, count, &coded);
    }
    if (file.Write(coded.data(), coded.size()) != coded.size()) return false;
    done += frames;
  }
  return true;
}

// IMA ADPCM and Microsoft ADPCM: blocks of a per-channel header followed by
// 4-bit codes. Every block restarts the decoder from its header, so blocks
// decode independently and a damaged header ends the audio at its block.
#include <algorithm>
#include <vector>

#include "platform/codec/wave_decoders.h"
#include "platform/debug_log.h"
#include "platform/little_endian.h"

namespace {

int16_t Clip16(int32_t v) { return int16_t(std::clamp(v, -32768, 32767)); }

// Frames per block from the record's extra bytes, checked against what the
// block can hold. 0 when the record contradicts itself.
uint32_t SamplesPerBlock(const LWaveFormat& format, uint32_t capacity, uint32_t minimum) {
  uint32_t spb = capacity;
  if (format.extra.size() >= 2) spb = uint32_t(format.extra[0] | (format.extra[1] << 8));
  if (spb < minimum || spb > capacity) {
    LDebugLog("CreateWaveDecoder %u samples per block do not fit a block of %u bytes (at most %u)", spb,
              format.blockAlign, capacity);
    return 0;
  }
  return spb;
}

// ---------------------------------------------------------------- IMA ADPCM
// Block: per channel a 4-byte header (first sample, step index, reserved);
// then per channel in turn 4 bytes holding 8 codes, low nibble first.

const int16_t kImaStep[89] = {7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
                              25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
                              88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
                              307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
                              1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
                              3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
                              12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
const int8_t kImaIndexStep[8] = {-1, -1, -1, -1, 2, 4, 6, 8};

// The ADPCM formats decode one block at a time; a block the decoder rejects
// ends the run there, and a cut last block decodes the frames it holds.
class AdpcmDecoder : public WaveDecoder {
 public:
  using WaveDecoder::WaveDecoder;

  size_t DecodeBlocks(const uint8_t* source, size_t blocks, int16_t* out) override {
    for (size_t b = 0; b < blocks; b++) {
      if (!DecodeBlock(source, FramesPerBlock(), out)) return b;
      source += BlockAlign();
      out += size_t(FramesPerBlock()) * Channels();
    }
    return blocks;
  }

  bool DecodePartial(const uint8_t* source, size_t bytes, int16_t* out) override {
    uint32_t frames = PartialFrames(bytes);
    return frames > 0 && DecodeBlock(source, frames, out);
  }

 protected:
  virtual bool DecodeBlock(const uint8_t* block, uint32_t frames, int16_t* out) = 0;
};

class ImaAdpcmDecoder : public AdpcmDecoder {
 public:
  using AdpcmDecoder::AdpcmDecoder;

  uint32_t PartialFrames(size_t bytes) const override {
    size_t header = 4 * Channels();
    if (bytes < header) return 0;
    size_t frames = (bytes - header) / header * 8 + 1;
    return uint32_t(std::min<size_t>(frames, FramesPerBlock()));
  }

 private:
  bool DecodeBlock(const uint8_t* block, uint32_t frames, int16_t* out) override {
    const unsigned channels = Channels();
    const uint8_t* codes = block + 4 * channels;
    for (unsigned c = 0; c < channels; c++) {
      const uint8_t* header = block + 4 * c;
      int32_t sample = int16_t(LeGet16(header));
      int index = header[2];
      if (index > 88) {
        LDebugLog("ImaAdpcmDecoder::DecodeBlock step index %d out of range", index);
        return false;
      }
      out[c] = int16_t(sample);
      for (uint32_t n = 1; n < frames; n++) {
        uint32_t k = n - 1;  // code number within the channel
        uint8_t byte = codes[(k / 8) * 4 * channels + 4 * c + (k % 8) / 2];
        int code = (k & 1) ? byte >> 4 : byte & 0x0F;
        int step = kImaStep[index];
        int32_t diff = step >> 3;
        if (code & 4) diff += step;
        if (code & 2) diff += step >> 1;
        if (code & 1) diff += step >> 2;
        sample = Clip16((code & 8) ? sample - diff : sample + diff);
        index = std::clamp(index + kImaIndexStep[code & 7], 0, 88);
        out[size_t(n) * channels + c] = int16_t(sample);
      }
    }
    return true;
  }
};

// ---------------------------------------------------------- Microsoft ADPCM
// Block: per-channel arrays of predictor index (1 byte), delta, second and
// first sample (16 bits each); the first sample is output first. Then codes,
// high nibble first, channels interleaved.

const int32_t kMsAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230};
// Large enough for any real stream (the delta of a 16-bit signal stays far
// below it) and small enough that the adaptation cannot overflow.
constexpr int32_t kMsDeltaLimit = INT32_MAX / 768;

class MsAdpcmDecoder : public AdpcmDecoder {
 public:
  MsAdpcmDecoder(unsigned channels, uint32_t blockAlign, uint32_t framesPerBlock, std::vector<int32_t> coefficients)
      : AdpcmDecoder(channels, blockAlign, framesPerBlock), coefficients_(std::move(coefficients)) {}

  uint32_t PartialFrames(size_t bytes) const override {
    size_t header = 7 * Channels();
    if (bytes < header) return 0;
    size_t frames = (bytes - header) * 2 / Channels() + 2;
    return uint32_t(std::min<size_t>(frames, FramesPerBlock()));
  }

 private:
  struct Channel {
    int32_t coef1, coef2, delta, sample1, sample2;
  };

  bool DecodeBlock(const uint8_t* block, uint32_t frames, int16_t* out) override {
    const unsigned channels = Channels();
    state_.resize(channels);
    for (unsigned c = 0; c < channels; c++) {
      unsigned predictor = block[c];
      if (predictor >= coefficients_.size() / 2) {
        LDebugLog("MsAdpcmDecoder::DecodeBlock predictor %u beyond the %zu coefficient pairs", predictor,
                  coefficients_.size() / 2);
        return false;
      }
      Channel& s = state_[c];
      s.coef1 = coefficients_[2 * predictor];
      s.coef2 = coefficients_[2 * predictor + 1];
      s.delta = int16_t(LeGet16(block + channels + 2 * c));
      s.sample1 = int16_t(LeGet16(block + 3 * channels + 2 * c));
      s.sample2 = int16_t(LeGet16(block + 5 * channels + 2 * c));
      out[c] = int16_t(s.sample2);
      if (frames > 1) out[channels + c] = int16_t(s.sample1);
    }
    const uint8_t* codes = block + 7 * channels;
    size_t count = frames > 2 ? size_t(frames - 2) * channels : 0;
    int16_t* o = out + 2 * channels;
    for (size_t i = 0; i < count; i++) {
      Channel& s = state_[i % channels];
      int code = (i & 1) ? codes[i / 2] & 0x0F : codes[i / 2] >> 4;
      int64_t predicted = (int64_t(s.sample1) * s.coef1 + int64_t(s.sample2) * s.coef2) >> 8;
      int32_t sample = int32_t(std::clamp<int64_t>(predicted + int64_t((code ^ 8) - 8) * s.delta, -32768, 32767));
      s.sample2 = s.sample1;
      s.sample1 = sample;
      s.delta = std::clamp((kMsAdaptation[code] * s.delta) >> 8, int32_t(16), kMsDeltaLimit);
      o[i] = int16_t(sample);
    }
    return true;
  }

  std::vector<int32_t> coefficients_;  // pairs
  std::vector<Channel> state_;
};

}  // namespace

std::unique_ptr<WaveDecoder> CreateImaAdpcmDecoder(const LWaveFormat& format) {
  uint32_t header = 4u * format.channels;
  if (format.bitsPerSample != 4 || format.blockAlign < header) {
    LDebugLog("CreateWaveDecoder IMA ADPCM needs 4 bits and a block of at least %u bytes (%u bits, %u bytes)", header,
              format.bitsPerSample, format.blockAlign);
    return nullptr;
  }
  uint32_t capacity = (format.blockAlign - header) / header * 8 + 1;
  uint32_t spb = SamplesPerBlock(format, capacity, 1);
  if (spb == 0) return nullptr;
  return std::make_unique<ImaAdpcmDecoder>(format.channels, format.blockAlign, spb);
}

std::unique_ptr<WaveDecoder> CreateMsAdpcmDecoder(const LWaveFormat& format) {
  uint32_t header = 7u * format.channels;
  if (format.bitsPerSample != 4 || format.blockAlign < header) {
    LDebugLog("CreateWaveDecoder MS ADPCM needs 4 bits and a block of at least %u bytes (%u bits, %u bytes)", header,
              format.bitsPerSample, format.blockAlign);
    return nullptr;
  }
  const std::vector<uint8_t>& x = format.extra;
  size_t pairs = x.size() >= 4 ? size_t(x[2] | (x[3] << 8)) : 0;
  if (pairs == 0 || 4 + 4 * pairs > x.size()) {
    LDebugLog("CreateWaveDecoder MS ADPCM coefficient table of %zu pairs does not fit %zu extra bytes", pairs,
              x.size());
    return nullptr;
  }
  uint32_t capacity = (format.blockAlign - header) * 2 / format.channels + 2;
  uint32_t spb = SamplesPerBlock(format, capacity, 2);
  if (spb == 0) return nullptr;
  std::vector<int32_t> coefficients(2 * pairs);
  for (size_t i = 0; i < 2 * pairs; i++) coefficients[i] = int16_t(LeGet16(x.data() + 4 + 2 * i));
  return std::make_unique<MsAdpcmDecoder>(format.channels, format.blockAlign, spb, std::move(coefficients));
}
